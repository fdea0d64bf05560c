// The normality test: Shapiro-Wilk, Anderson-Darling or Kolmogorov-Smirnov on one continuous
// variable, with a normal probability plot.
#include "addin/framework/selection.h"
#include "addin/procedures/descriptives.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace descriptive_labels;

class NormalityTest : public Test {
public:
    const Info& GetInfo() const override { return NormalityTestinfo; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        // Shapiro-Wilk needs three observations; so do the others to estimate mean and SD usefully.
        p.Variables(params::Variable404, m_variables);
        p.CheckVariableCount(1);
        p.CheckVariableTypes();
        p.CheckObservations(3);
        p.Choice(params::NormalityTest3, m_method);
    }

    void Compute() override {
        RequireVariables(m_variables, 1, params::Variable404);
        const VariableChoice& v = m_variables[0];
        const std::vector<double> values = ChoiceValues(v);
        const numerics::Descriptives d(values);
        m_result.Compute(d, values, m_method);
        m_plot.index = 1;
        m_plot.SetData(v.name, values, d.Mean(), d.SD());
    }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<NormalityTest>()
                                            .Nested(kLabelNormalityTest, &NormalityTest::m_result, kFieldTransparent)
                                            .Nested(chart_labels::kTitleNormalProbabilityPlot, &NormalityTest::m_plot)
                                            .Build();
        return table;
    }
    size_t Size() const override { return sizeof(*this); }

private:
    std::vector<VariableChoice> m_variables;
    int m_method = NormalityBlock::kShapiroWilk;
    NormalityBlock m_result;
    NormalProbabilityPlot m_plot;
};

}  // namespace

const Test::Info NormalityTestinfo(1011, []() -> Test* { return new NormalityTest; });

}  // namespace qs
