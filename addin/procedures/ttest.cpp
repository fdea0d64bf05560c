#include "addin/procedures/ttest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "addin/host/messages.h"

namespace qs {

using namespace result_labels;

void DescriptiveRow::Set(const std::string& name, const numerics::Descriptives& d) {
    group = name;
    n = d.N();
    mean = d.Mean();
    sd = d.SD();
    se = d.SE();
}

const FieldTable& DescriptiveRow::GetFields() const {
    static const FieldTable table = FieldTableOf<DescriptiveRow>()
                                        .Text(kLabelGroup, &DescriptiveRow::group)
                                        .Count(kLabelN, &DescriptiveRow::n)
                                        .Number(kLabelMean, &DescriptiveRow::mean)
                                        .Number(kLabelSD, &DescriptiveRow::sd)
                                        .Number(kLabelSE, &DescriptiveRow::se)
                                        .Count(kLabelMissing, &DescriptiveRow::missing)
                                        .Count(kLabelNotANumber, &DescriptiveRow::notNumbers)
                                        .Build();
    return table;
}

void VarianceRow::Set(const std::string& name, const numerics::Descriptives& d) {
    DescriptiveRow::Set(name, d);
    variance = d.Variance();
}

const FieldTable& VarianceRow::GetFields() const {
    static const FieldTable table = FieldTableOf<VarianceRow>()
                                        .Include(DescriptiveRow::GetFields())
                                        .Number(kLabelVariance, &VarianceRow::variance)
                                        .Build();
    return table;
}

void EffectSize::Set(const procedures::EffectSizeResult& r, double levelPercent) {
    level = LevelText(levelPercent);
    d.value = r.d;
    d.ci.lower = r.dLower;
    d.ci.upper = r.dUpper;
    g.value = r.g;
    g.ci.lower = r.gLower;
    g.ci.upper = r.gUpper;
    correction = r.correction;
}

const FieldTable& EffectSize::GetFields() const {
    static const FieldTable table = FieldTableOf<EffectSize>()
                                        .Nested(kLabelCohensD, &EffectSize::d)
                                        .Nested(kLabelHedgesG, &EffectSize::g)
                                        .Number(kLabelHedgesCorrection, &EffectSize::correction)
                                        .Text(kLabelConfidenceLevel, &EffectSize::level)
                                        .Build();
    return table;
}

namespace {
constexpr const char* kTailSigns[] = {"\u2260", "<", ">"};  // by Tail: two-sided, lower, upper
}

std::string AlternativeText(numerics::Tail tail, const std::string& left, const std::string& right) {
    if (tail < numerics::kTwoSided || tail > numerics::kUpperTail) return {};
    return left + " " + kTailSigns[tail] + " " + right;
}

std::string LevelText(double level) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%g%% CI", level);
    return buffer;
}

const FieldTable& Question::GetFields() const {
    static const FieldTable table = FieldTableOf<Question>()
                                        .Text(kLabelAlternativeHypothesis, &Question::alternative)
                                        .Text(kLabelConfidenceLevel, &Question::level)
                                        .Build();
    return table;
}

const FieldTable& TTest::GetFields() const {
    static const FieldTable table = FieldTableOf<TTest>()
                                        .Count(kLabelN, &TTest::m_n)
                                        .Rows(kLabelDescriptive, &TTest::m_descriptive)
                                        .Number(kLabelDifference, &TTest::m_difference)
                                        .Nested(kLabelCI, &TTest::m_ci, kFieldTransparent)
                                        .Number(kLabelT, &TTest::m_t)
                                        .Number(kLabelDF, &TTest::m_df)
                                        .Nested(kLabelP, &TTest::m_p, kFieldTransparent)
                                        .Nested(kLabelEffectSize, &TTest::m_effect)
                                        .Nested(kLabelAlternativeHypothesis, &TTest::m_question, kFieldTransparent)
                                        .Build();
    return table;
}

void TTest::ExchangeHypothesis(Parameters& p, const std::string& left, const std::string& right,
                               const std::string& reportLeft, const std::string& reportRight) {
    p.Hypothesis(params::AlternativeHypothesis, m_tail, left, right);
    m_reportLeft = reportLeft;
    m_reportRight = reportRight;
}

void TTest::ExchangeLevel() { Parameters::Current()->Percentage(params::ConfidenceInterval, m_level); }

void TTest::SetResult(const procedures::LocationResult& r, unsigned method) {
    m_difference = r.difference;
    m_se = r.se;
    m_df = r.df;
    m_t = r.statistic;
    m_ci.Set(r.ci);
    m_p.Set(r.p, m_tail, method);
    m_question.Set(m_tail, m_reportLeft, m_reportRight, m_level);
}

void InDatasetOrder(std::vector<VariableChoice>& variables, DatasetSourceExcel* dataset) {
    if (!dataset || variables.size() < 2) return;
    const std::vector<VariableChoice> list = ListVariables(*dataset);
    auto position = [&](const VariableChoice& v) {
        return static_cast<size_t>(std::find(list.begin(), list.end(), v) - list.begin());
    };
    std::stable_sort(variables.begin(), variables.end(),
                     [&](const VariableChoice& a, const VariableChoice& b) { return position(a) < position(b); });
}

void RequireVariables(const std::vector<VariableChoice>& variables, size_t count, const ParameterDescriptor& d) {
    if (variables.size() == count) return;
    ThrowMessage(ids::kMessageVariableCount, "%s%s", LoadString(d.label).c_str(),
                 FormatMessage(ids::kCountExactly, "%d", static_cast<int>(count)).c_str());
}

void RequireAtLeastVariables(const std::vector<VariableChoice>& variables, size_t count, const ParameterDescriptor& d) {
    if (variables.size() >= count) return;
    ThrowMessage(ids::kMessageVariableCount, "%s%s", LoadString(d.label).c_str(),
                 FormatMessage(ids::kCountAtLeast, "%d", static_cast<int>(count)).c_str());
}

std::string WordedName(unsigned format, const std::vector<VariableChoice>& variables, size_t i) {
    std::string name = NameAt(variables, i);
    const std::string parent = i < variables.size() ? variables[i].Parent() : std::string();
    if (!parent.empty() &&
        std::all_of(variables.begin(), variables.end(), [&](const VariableChoice& v) { return v.Parent() == parent; }))
        name = name.substr(std::min(name.size(), parent.size() + 3));  // after "PARENT - "
    return FormatMessage(format, "%s", name.c_str()).str();
}

std::string NameAt(const std::vector<VariableChoice>& variables, size_t i) {
    return i < variables.size() ? variables[i].name : std::string();
}

std::string HypothesisNumber(double value) {
    if (!std::isfinite(value)) return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

numerics::Descriptives OneSampleDescriptives(const std::vector<VariableChoice>& variables, uint32_t& n,
                                             std::vector<DescriptiveRow>& rows) {
    RequireVariables(variables, 1, params::Variable404);
    const VariableChoice& v = variables[0];
    numerics::Descriptives d(ChoiceValues(v));
    n = d.N();
    rows.assign(1, {});
    rows[0].Set(v.name, d);
    rows[0].SetLeftOut(LeftOutOf(v));
    return d;
}

void ExchangeOneVariable(Parameters& p, std::vector<VariableChoice>& variables) {
    p.Variables(params::Variable404, variables);
    p.CheckVariableCount(1);
    p.CheckVariableTypes();
    p.CheckObservations(2);
}

void ExchangeTwoGroups(Parameters& p, std::vector<VariableChoice>& variables, DatasetSourceExcel* dataset) {
    p.Variables(params::VariableGroups2404, variables);
    InDatasetOrder(variables, dataset);
    p.CheckVariableCount(2);
    p.CheckVariableTypes();
    p.CheckGroupsFromOneVariable();
    p.CheckObservations(2);
}

}  // namespace qs
