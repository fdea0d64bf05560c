// The F test: the ratio of the variances of two groups of one variable.
#include "addin/framework/selection.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace result_labels;

class FTest : public Test {
public:
    const Info& GetInfo() const override { return FTestinfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<FTest>()
                                            .Rows(kLabelDescriptive, &FTest::m_descriptive)
                                            .Count(kLabelN, &FTest::m_n)
                                            .Number(kLabelF, &FTest::m_f)
                                            .Pair(kLabelDF, &FTest::m_df1, &FTest::m_df2)
                                            .Nested(kLabelP, &FTest::m_p, kFieldTransparent)
                                            .Nested(kLabelCI, &FTest::m_ci, kFieldTransparent)
                                            .Nested(kLabelAlternativeHypothesis, &FTest::m_question, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeTwoGroups(p, m_variables, dataset.get());
        p.Hypothesis(params::AlternativeHypothesis, m_tail, NameAt(m_variables, 0), NameAt(m_variables, 1));
        p.Percentage(params::ConfidenceInterval, m_level);
    }

    void Compute() override {
        RequireVariables(m_variables, 2, params::VariableGroups2404);
        const std::vector<double> firstValues = ChoiceValues(m_variables[0]);
        const std::vector<double> secondValues = ChoiceValues(m_variables[1]);
        // A group whose values are all equal has no variance: the ratio would be 0 or infinite
        // depending only on which group comes first, so neither side may be constant.
        CheckNotAllEqual(firstValues, m_variables[0].name);
        CheckNotAllEqual(secondValues, m_variables[1].name);
        const numerics::Descriptives first(firstValues), second(secondValues);
        m_n = first.N() + second.N();
        m_descriptive.assign(2, {});
        m_descriptive[0].Set(m_variables[0].name, first);
        m_descriptive[1].Set(m_variables[1].name, second);
        for (size_t i = 0; i < 2; ++i) m_descriptive[i].SetLeftOut(LeftOutOf(m_variables[i]));
        const auto r = procedures::VarianceRatio(first, second, 1.0 - m_level / 100.0, m_tail);
        m_f = r.ratio;
        m_df1 = r.df1;
        m_df2 = r.df2;
        m_ci.Set(r.ci);
        m_p.Set(r.p, m_tail, 0);
        m_question.Set(m_tail, WordedName(ids::kStringVarianceOf, m_variables, 0),
                       WordedName(ids::kStringVarianceOf, m_variables, 1), m_level);
    }

private:
    // Parameters.
    std::vector<VariableChoice> m_variables;
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    // Results.
    std::vector<VarianceRow> m_descriptive;
    uint32_t m_n = 0;
    double m_f = numerics::MissingValue();
    double m_df1 = numerics::MissingValue();
    double m_df2 = numerics::MissingValue();
    CI m_ci;
    P m_p;
    Question m_question;
};

}  // namespace

const Test::Info FTestinfo(1028, []() -> Test* { return new FTest; });

}  // namespace qs
