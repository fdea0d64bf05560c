// The parametric tests of location and spread: the one-sample Z test, the three t tests sharing the
// base TTest (a difference, its standard error and degrees of freedom turned into the interval, t
// and p), and the F test of two variances. The classes live in their own units; their catalogue
// objects are declared in catalogue.h.
#pragma once

#include <string>
#include <vector>

#include "addin/framework/selection.h"
#include "addin/framework/test.h"
#include "addin/numerics/descriptives.h"
#include "addin/procedures/catalogue.h"
#include "addin/procedures/effect_size.h"
#include "addin/procedures/location_math.h"
#include "addin/resources/string_ids.h"

namespace qs {

// The label and string ids these tests use are the string tables' named constants (ids::kLabelN,
// ids::kStringMeanSymbol ...); result_labels is the name their field tables use.
namespace result_labels = ids;

// One row of a "Descriptive" table: the variable or group, its n, mean, SD and SE.
struct DescriptiveRow : Results {
    CSharedString group;
    uint32_t n = 0;
    double mean = numerics::MissingValue();
    double sd = numerics::MissingValue();
    double se = numerics::MissingValue();
    uint32_t missing = 0;     // observations left out: empty cells (and incomplete pairs)
    uint32_t notNumbers = 0;  // observations left out: cells holding something other than a number
    void Set(const std::string& name, const numerics::Descriptives& d);
    void SetLeftOut(const LeftOut& left) {
        missing = left.missing;
        notNumbers = left.notNumbers;
    }
    const FieldTable& GetFields() const override;  // Group, n, Mean, SD, SE, Missing, Not a number
    size_t Size() const override { return 32; }
};

// The same with the variance (the F test's table).
struct VarianceRow : DescriptiveRow {
    double variance = numerics::MissingValue();
    void Set(const std::string& name, const numerics::Descriptives& d);
    const FieldTable& GetFields() const override;  // Group, n, Mean, SD, SE, Variance
    size_t Size() const override { return 40; }
};

// The effect-size block of the t tests: Cohen's d and Hedges' g, each with its interval, and the
// correction J between them.
struct EffectSize : Results {
    VCI d, g;
    double correction = numerics::MissingValue();
    CSharedString level;  // "95% CI"
    void Set(const procedures::EffectSizeResult& r, double levelPercent);
    // Cohen's d, Hedges' g (value, CI), Hedges' correction, Confidence level
    const FieldTable& GetFields() const override;
    size_t Size() const override { return sizeof(*this); }
};

// What a report states about the question asked: the alternative in words ("mean ≠ 5.5") and
// the interval's level ("95% CI").
std::string AlternativeText(numerics::Tail tail, const std::string& left, const std::string& right);
std::string LevelText(double level);
struct Question : Results {
    CSharedString alternative, level;
    void Set(numerics::Tail tail, const std::string& left, const std::string& right, double levelPercent) {
        alternative = AlternativeText(tail, left, right);
        level = LevelText(levelPercent);
    }
    const FieldTable& GetFields() const override;  // Alternative hypothesis, Confidence level
    size_t Size() const override { return sizeof(*this); }
};

// The base of the t tests. Derived classes declare their parameters and call SetResult from
// Compute with the difference tested.
class TTest : public Test {
public:
    // n, Descriptive, Difference between means, CI, t, DF, p, Effect size, Alternative hypothesis,
    // Confidence level
    const FieldTable& GetFields() const override;
    size_t Size() const override { return sizeof(*this); }

protected:
    // Declares the confidence level after the hypothesis (every test ends with it).
    void ExchangeLevel();
    double Alpha() const { return 1.0 - m_level / 100.0; }
    // Declares the alternative hypothesis with the texts either side of the dialog's sign, and the
    // words the report states it in ("mean", "5.5").
    void ExchangeHypothesis(Parameters& p, const std::string& left, const std::string& right,
                            const std::string& reportLeft, const std::string& reportRight);
    // Fills the difference, SE, df, t, interval and p; method is the P block's method (0: none).
    void SetResult(const procedures::LocationResult& r, unsigned method = 0);

    // Parameters.
    std::vector<VariableChoice> m_variables;
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    // Results.
    uint32_t m_n = 0;
    std::vector<DescriptiveRow> m_descriptive;
    double m_difference = numerics::MissingValue();
    double m_se = numerics::MissingValue();
    double m_df = numerics::MissingValue();
    double m_t = numerics::MissingValue();
    CI m_ci;
    P m_p;
    EffectSize m_effect;
    Question m_question;
    std::string m_reportLeft, m_reportRight;  // the alternative's sides as the report words them
};

// Puts selected variables in the order the dataset lists them, so that the first group (and so
// the sign of a difference, the side of a ratio) does not depend on the order of selection.
void InDatasetOrder(std::vector<VariableChoice>& variables, DatasetSourceExcel* dataset);
// Compute's own guard for a selection that did not pass through the checks (message 6002 with
// the parameter's label): `count` variables must be selected in `variables`.
void RequireVariables(const std::vector<VariableChoice>& variables, size_t count, const ParameterDescriptor& d);
// The same for at least `count` variables.
void RequireAtLeastVariables(const std::vector<VariableChoice>& variables, size_t count, const ParameterDescriptor& d);
// The descriptives of a one-sample test's variable (the one of `variables`), its count `n` and its
// row of the Descriptive table `rows`.
numerics::Descriptives OneSampleDescriptives(const std::vector<VariableChoice>& variables, uint32_t& n,
                                             std::vector<DescriptiveRow>& rows);
// Declares the selector of one continuous variable with its checks: one variable, at least two
// observations.
void ExchangeOneVariable(Parameters& p, std::vector<VariableChoice>& variables);
// Declares the selector of two groups of one variable with its checks; the groups are put in the
// dataset's order.
void ExchangeTwoGroups(Parameters& p, std::vector<VariableChoice>& variables, DatasetSourceExcel* dataset);
// The name of the i-th selected variable (empty when there is none yet), for the hypothesis control.
std::string NameAt(const std::vector<VariableChoice>& variables, size_t i);
// The i-th selected variable's name as the report's alternative words it: groups or measures of one
// variable by their last level ("Low fat"), within the text `format` ("mean(%1)").
std::string WordedName(unsigned format, const std::vector<VariableChoice>& variables, size_t i);
// A number as the hypothesis control shows it (empty when not given).
std::string HypothesisNumber(double value);

}  // namespace qs
