// The independent samples t-test: the means of two groups of one variable, with the variances
// pooled or, when they are not assumed equal, Welch's approximation.
#include "addin/framework/selection.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

class TTestIndependent : public TTest {
public:
    const Info& GetInfo() const override { return TTestIndependentinfo; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeTwoGroups(p, m_variables, dataset.get());
        p.CheckBox(params::UnequalVariances, m_unequal);
        ExchangeHypothesis(p, NameAt(m_variables, 0), NameAt(m_variables, 1),
                           WordedName(ids::kStringMeanOf, m_variables, 0),
                           WordedName(ids::kStringMeanOf, m_variables, 1));
        ExchangeLevel();
    }

    void Compute() override {
        RequireVariables(m_variables, 2, params::VariableGroups2404);
        const numerics::Descriptives first(ChoiceValues(m_variables[0]));
        const numerics::Descriptives second(ChoiceValues(m_variables[1]));
        m_n = first.N() + second.N();
        m_descriptive.assign(2, {});
        m_descriptive[0].Set(m_variables[0].name, first);
        m_descriptive[1].Set(m_variables[1].name, second);
        for (size_t i = 0; i < 2; ++i) m_descriptive[i].SetLeftOut(LeftOutOf(m_variables[i]));
        SetResult(procedures::TwoSampleT(first, second, m_unequal, Alpha(), m_tail), m_unequal ? kWelch : 0);
        m_effect.Set(procedures::TwoSampleEffect(first, second, Alpha(), m_tail), m_level);
    }

private:
    static constexpr unsigned kWelch = 5;  // "Welch's approximation for unequal variances"
    bool m_unequal = false;
};

}  // namespace

const Test::Info TTestIndependentinfo(1026, []() -> Test* { return new TTestIndependent; });

}  // namespace qs
