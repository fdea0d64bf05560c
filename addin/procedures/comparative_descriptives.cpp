// Comparative descriptives: the main descriptives of one continuous variable in each group of a
// grouping (one table row per group), with a box plot per group.
#include <cmath>

#include "addin/framework/selection.h"
#include "addin/procedures/descriptives.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace descriptive_labels;

constexpr double kLevel = 95;  // the intervals of the mean and the median

struct GroupRow : Results {
    CSharedString group;
    uint32_t n = 0;
    double mean = numerics::MissingValue(), meanLower = numerics::MissingValue(), meanUpper = numerics::MissingValue();
    double se = numerics::MissingValue(), sd = numerics::MissingValue(), median = numerics::MissingValue();
    double medianLower = numerics::MissingValue(), medianUpper = numerics::MissingValue();
    double iqr = numerics::MissingValue(), range = numerics::MissingValue();

    void Set(const std::string& name, const numerics::Descriptives& d, double level) {
        group = name;
        n = d.N();
        mean = d.Mean();
        const numerics::Interval m = d.MeanCI(level);
        meanLower = m.lower;
        meanUpper = m.upper;
        se = d.SE();
        sd = d.SD();
        median = d.Median();
        const numerics::Interval md = d.MedianCI(level);
        medianLower = md.lower;
        medianUpper = md.upper;
        iqr = d.IQR();
        range = d.Range();
    }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<GroupRow>()
                                            .Text(kLabelGroup, &GroupRow::group)
                                            .Count(kLabelN, &GroupRow::n)
                                            .Number(kLabelMean, &GroupRow::mean)
                                            .Pair(kLabelCI, &GroupRow::meanLower, &GroupRow::meanUpper)
                                            .Number(kLabelSE, &GroupRow::se)
                                            .Number(kLabelSD, &GroupRow::sd)
                                            .Number(kLabelMedian, &GroupRow::median)
                                            .Pair(kLabelLimits, &GroupRow::medianLower, &GroupRow::medianUpper)
                                            .Number(kLabelIQR, &GroupRow::iqr)
                                            .Number(kLabelRange, &GroupRow::range)
                                            .Build();
        return table;
    }
    size_t Size() const override { return 88; }
};

class ComparativeDescriptives : public Test {
public:
    const Info& GetInfo() const override { return ComparativeDescriptivesinfo; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::VariableGroups2404, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        p.CheckVariableCount(1, -1);
        p.CheckVariableTypes();
        p.CheckGroupsFromOneVariable();
        p.CheckObservations(1);
    }

    void Compute() override {
        if (m_variables.empty()) RequireVariables(m_variables, 1, params::VariableGroups2404);
        m_rows.clear();
        m_chart = BoxPlots();
        m_chart.index = 1;
        m_chart.SetName(m_variables.front().IsGroup() ? m_variables.front().Parent() : std::string());
        for (const VariableChoice& v : m_variables) {
            const std::vector<double> values = ChoiceValues(v);
            const numerics::Descriptives d(values);
            m_rows.emplace_back();
            m_rows.back().Set(v.name, d, kLevel);
            // The box is named by its category (the part after the variable's name).
            const std::string& parent = v.Parent();
            m_chart.AddGroup(v.IsGroup() && !parent.empty() ? v.name.substr(parent.size() + 3) : v.name, values);
        }
    }

    const FieldTable& GetFields() const override {
        using S = ComparativeDescriptives;
        static const FieldTable table = FieldTableOf<S>()
                                            .Rows(kLabelDescriptive, &S::m_rows)
                                            .Nested(chart_labels::kTitleBoxplots, &S::m_chart)
                                            .Build();
        return table;
    }
    size_t Size() const override { return sizeof(*this); }

private:
    std::vector<VariableChoice> m_variables;
    std::vector<GroupRow> m_rows;
    BoxPlots m_chart;
};

}  // namespace

const Test::Info ComparativeDescriptivesinfo(1013, []() -> Test* { return new ComparativeDescriptives; });

}  // namespace qs
