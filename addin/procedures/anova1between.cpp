// The one-way between subjects ANOVA: the groups of one variable (or separate variables side by
// side) compared by their means, with the contrasts of their means under a choice of error
// protection.
#include <algorithm>
#include <cmath>

#include "addin/dataset/criteria.h"
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/anova.h"
#include "addin/resources/string_ids.h"

namespace qs {
namespace {

using namespace result_labels;
using procedures::ContrastKind;
using procedures::ErrorProtection;

// The name of a group among the compared ones: its category, or the variable's own name.
std::string LevelName(const VariableChoice& c) {
    if (!c.IsGroup()) return c.name;
    const std::string parent = c.Parent();
    return parent.empty() ? c.name : c.name.substr(parent.size() + 3);
}

// The observations of each selected group. Groups of one variable by one factor are split in one
// pass over the data (not one pass per group).
std::vector<std::vector<double>> GroupedValues(const std::vector<VariableChoice>& choices) {
    std::vector<std::vector<double>> out;
    const bool oneSplit = !choices.empty() && std::all_of(choices.begin(), choices.end(), [&](const VariableChoice& c) {
        return c.IsGroup() && c.variable.get() == choices[0].variable.get() &&
               c.factor.get() == choices[0].factor.get();
    });
    if (!oneSplit) {
        for (const VariableChoice& c : choices) out.push_back(ChoiceValues(c));
        return out;
    }
    CRef<Criteria> split = ChoiceCriteria(choices[0]);
    std::vector<std::vector<double>> groups = GroupValues(*choices[0].variable, *split);
    for (const VariableChoice& c : choices) {
        const int g = GroupIndexOf(c, *split);
        out.push_back(g >= 0 ? groups[static_cast<size_t>(g)] : std::vector<double>());
    }
    return out;
}

class ANOVA1between : public Test {
public:
    const Info& GetInfo() const override { return ANOVA1betweeninfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<ANOVA1between>()
                                            .Rows(kLabelN, &ANOVA1between::m_ns)
                                            .Rows(kLabelDescriptive, &ANOVA1between::m_descriptive)
                                            .Nested(kLabelANOVA, &ANOVA1between::m_anova)
                                            .Rows(kLabelContrasts, &ANOVA1between::m_contrastRows)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::VariableGroups2404, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        p.CheckVariableCount(2, -1);
        p.CheckVariableTypes();
        p.CheckGroupsFromOneVariable();
        if (p.mode == Parameters::kCheck)  // every group at least two observations, in one pass
            for (const std::vector<double>& x : GroupedValues(m_variables))
                if (x.size() < 2)
                    ThrowMessage(ids::kMessageObservationCount, "%s%s",
                                 LoadString(params::VariableGroups2404.label).c_str(),
                                 FormatMessage(ids::kRangeAtLeast, "%d", 2).c_str());
        p.Choice(params::Contrasts, m_kind);
        // Dunnett's table compares with one control only; Tukey's range covers all pairs.
        if (m_kind == procedures::kContrastControl) {
            p.Choice(params::ErrorProtection29, m_protection);
        } else {
            p.Choice(params::ErrorProtection30, m_protection);
            p.Hide(m_kind == procedures::kContrastNone);
        }
        std::vector<std::string> levels;
        for (const VariableChoice& c : m_variables) levels.push_back(LevelName(c));
        if (levels.empty()) levels.push_back(std::string());
        p.Choice(params::ControlGroup, m_control, levels);
        p.Hide(m_kind != procedures::kContrastControl);
        p.Percentage(params::ConfidenceInterval, m_level);
        if (p.mode != Parameters::kCheck) return;
        const unsigned refused = procedures::ContrastLimitMessage(static_cast<ContrastKind>(m_kind),
                                                                  static_cast<ErrorProtection>(m_protection),
                                                                  static_cast<int>(m_variables.size()), m_level);
        if (refused) ThrowMessage(refused);
    }

    void Compute() override {
        RequireAtLeastVariables(m_variables, 2, params::VariableGroups2404);
        procedures::AnovaFactor factor;
        factor.name = m_variables[0].IsGroup() ? m_variables[0].factor->name : LoadString(kStringGroups).str();
        const std::vector<std::vector<double>> values = GroupedValues(m_variables);
        for (const VariableChoice& c : m_variables) factor.levels.push_back(LevelName(c));
        const int k = static_cast<int>(values.size());
        procedures::AnovaModel model({factor});
        m_ns.assign(values.size(), {});
        m_descriptive.assign(values.size(), {});
        for (int g = 0; g < k; ++g) {
            const std::vector<double>& x = values[static_cast<size_t>(g)];
            for (double v : x) model.Add(&g, v);
            m_ns[static_cast<size_t>(g)].group = factor.levels[static_cast<size_t>(g)];
            m_ns[static_cast<size_t>(g)].n = static_cast<uint32_t>(x.size());
            m_descriptive[static_cast<size_t>(g)].Set(factor.levels[static_cast<size_t>(g)], numerics::Descriptives(x));
        }
        model.Fit();
        const procedures::AnovaTable table = model.Table();
        m_anova.Set(table);
        SetContrasts(model, table, factor.levels);
    }

private:
    // (100 - level) / 100 rather than 1 - level / 100: a level of 99 gives alpha 0.01 exactly, which
    // is what selects the 1% tables (1 - 0.99 is 0.010000000000000009).
    double Alpha() const { return (100.0 - m_level) / 100.0; }

    void SetContrasts(const procedures::AnovaModel& model, const procedures::AnovaTable& table,
                      const std::vector<std::string>& levels) {
        m_contrastRows.clear();
        const auto kind = static_cast<ContrastKind>(m_kind);
        const auto protection = static_cast<ErrorProtection>(m_protection);
        const int k = static_cast<int>(levels.size());
        const int m = procedures::ContrastCount(kind, k);
        if (m == 0) return;
        std::vector<double> means;
        std::vector<uint32_t> counts;
        for (int g = 0; g < k; ++g)
            means.push_back(model.CentredMean(static_cast<size_t>(g))),
                counts.push_back(model.Count(static_cast<size_t>(g)));
        const double critical = procedures::CriticalValue(protection, k, m, table.dfWithin, Alpha());
        const std::string method = LoadString(ids::kStringDunnett + static_cast<unsigned>(m_protection)).str();
        const std::string mark = LoadString(kStringSignificant).str();
        for (const procedures::ContrastRow& r :
             procedures::Contrasts(kind, m_control, means, counts, table.msWithin, critical)) {
            ContrastResult row;
            row.group = levels[static_cast<size_t>(r.first)] + " v " + levels[static_cast<size_t>(r.second)];
            row.contrast = r.difference;
            row.ci.lower = r.lower;
            row.ci.upper = r.upper;
            row.significant = r.significant ? mark : std::string();
            row.protection = method;
            m_contrastRows.push_back(row);
        }
    }

    // Parameters.
    std::vector<VariableChoice> m_variables;
    int m_kind = procedures::kContrastNone;
    int m_protection = procedures::kTukey;
    int m_control = 0;
    double m_level = 95;

    // Results.
    std::vector<CountRow> m_ns;
    std::vector<DescriptiveRow> m_descriptive;
    TableANOVA m_anova;
    std::vector<ContrastResult> m_contrastRows;
};

}  // namespace

const Test::Info ANOVA1betweeninfo(1029, []() -> Test* { return new ANOVA1between; });

}  // namespace qs
