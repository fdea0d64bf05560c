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
        const numerics::Descriptives d = OneSampleDescriptives(m_variables, m_n, m_descriptive);
        SetResult(procedures::OneSampleT(d, m_mu, Alpha(), m_tail));
        m_effect.Set(procedures::OneSampleEffect(d, m_mu, Alpha(), m_tail), m_level);
    }

private:
    double m_mu = numerics::MissingValue();
};

}  // namespace

const Test::Info TTest1info(1025, []() -> Test* { return new TTest1; });

}  // namespace qs
