// The one sample t-test: the mean of one variable against a hypothesised mean.
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

class TTest1 : public TTest {
public:
    const Info& GetInfo() const override { return TTest1info; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeOneVariable(p, m_variables);
        p.Number(params::HypothesisedMean, m_mu);
        p.CheckRequired();
        ExchangeHypothesis(p, LoadString(ids::kStringMeanSymbol).str(), HypothesisNumber(m_mu),
                           LoadString(ids::kStringMean).str(), HypothesisNumber(m_mu));
        ExchangeLevel();
    }

    void Compute() override {
        RequireVariables(m_variables, 1, params::Variable404);
        const VariableChoice& v = m_variables[0];
        const numerics::Descriptives d(ChoiceValues(v));
        m_n = d.N();
        m_descriptive.assign(1, {});
        m_descriptive[0].Set(v.name, d);
        m_descriptive[0].SetLeftOut(LeftOutOf(v));
        SetResult(procedures::OneSampleT(d, m_mu, Alpha(), m_tail));
        m_effect.Set(procedures::OneSampleEffect(d, m_mu, Alpha(), m_tail), m_level);
    }

private:
    double m_mu = numerics::MissingValue();
};

}  // namespace

const Test::Info TTest1info(1025, []() -> Test* { return new TTest1; });

}  // namespace qs
