// Categorical summary descriptives: the frequency table and mode of one categorical variable, with a
// bar chart of the counts.
#include "addin/framework/selection.h"
#include "addin/procedures/descriptives.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace descriptive_labels;

// One category of the summary table: its name and count.
struct CategoryRow : Results {
    CSharedString name;
    uint32_t n = 0;
    const FieldTable& GetFields() const override {
        static const FieldTable table =
            FieldTableOf<CategoryRow>().Text(kLabelGroup, &CategoryRow::name).Count(kLabelN, &CategoryRow::n).Build();
        return table;
    }
    size_t Size() const override { return 8; }
};

class SummaryDescriptivesCategorical : public Test {
public:
    const Info& GetInfo() const override { return SummaryDescriptivesCategoricalinfo; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::Variable403, m_variables);
        p.CheckVariableCount(1);
        p.CheckVariableTypes();
        p.CheckObservations(1);
    }

    void Compute() override {
        RequireVariables(m_variables, 1, params::Variable403);
        VariableSource& source = *m_variables[0].variable;
        const ValueVector& values = source.Values();
        const std::vector<CRef<Category>>& order = source.categories->Order();
        // Counts by category number, then listed in the categories' display order (the missing
        // category, first in that order, is left out).
        int highest = 0;
        for (const CRef<Category>& c : order) highest = std::max(highest, c->number);
        std::vector<int32_t> numbers(values.categories.begin(), values.categories.end());
        numerics::DescriptivesCategorical counts(numbers, highest);
        m_n = counts.Total();
        m_rows.clear();
        std::vector<double> plotted;
        for (const CRef<Category>& c : order) {
            if (c->first) continue;
            CategoryRow row;
            row.name = c->name;
            row.n = c->number >= 1 ? counts.Counts()[static_cast<size_t>(c->number - 1)] : 0;
            m_rows.push_back(row);
            plotted.push_back(row.n);
        }
        m_groups = static_cast<uint32_t>(m_rows.size());
        const Category* mode = counts.Mode() ? source.categories->ByNumber(counts.Mode()) : nullptr;
        m_mode = mode ? CSharedString(mode->name) : CSharedString();
        m_chart.index = 1;
        m_chart.SetCounts(m_variables[0].name, plotted);
    }

    const FieldTable& GetFields() const override {
        using S = SummaryDescriptivesCategorical;
        static const FieldTable table = FieldTableOf<S>()
                                            .Count(kLabelN, &S::m_n)
                                            .Count(kLabelGroups, &S::m_groups)
                                            .Text(kLabelMode, &S::m_mode)
                                            .Rows(kLabelSummaryTable, &S::m_rows)
                                            .Nested(chart_labels::kTitleHistogram, &S::m_chart)
                                            .Build();
        return table;
    }
    size_t Size() const override { return sizeof(*this); }

private:
    std::vector<VariableChoice> m_variables;
    uint32_t m_n = 0, m_groups = 0;
    CSharedString m_mode;
    std::vector<CategoryRow> m_rows;
    BarChart m_chart;
};

}  // namespace

const Test::Info SummaryDescriptivesCategoricalinfo(1009, []() -> Test* { return new SummaryDescriptivesCategorical; });

}  // namespace qs
