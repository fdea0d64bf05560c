// The one sample Z-test: the mean of one variable against a hypothesised mean, with the
// population SD known.
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace result_labels;

class ZTest1 : public Test {
public:
    const Info& GetInfo() const override { return ZTest1info; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<ZTest1>()
                                            .Count(kLabelN, &ZTest1::m_n)
                                            .Rows(kLabelDescriptive, &ZTest1::m_descriptive)
                                            .Number(kLabelHypothesisedMean, &ZTest1::m_mu)
                                            .Number(kLabelPopulationSD, &ZTest1::m_sigma)
                                            .Number(kLabelDifference, &ZTest1::m_difference)
                                            .Nested(kLabelCI, &ZTest1::m_ci, kFieldTransparent)
                                            .Number(kLabelZ, &ZTest1::m_z)
                                            .Nested(kLabelP, &ZTest1::m_p, kFieldTransparent)
                                            .Nested(kLabelAlternativeHypothesis, &ZTest1::m_question, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeOneVariable(p, m_variables);
        p.Number(params::HypothesisedMean, m_mu);
        p.CheckRequired();
        p.Number(params::PopulationSD, m_sigma);
        p.CheckRequired();
        p.CheckPositive();
        p.Hypothesis(params::AlternativeHypothesis, m_tail, LoadString(ids::kStringMeanSymbol).str(),
                     HypothesisNumber(m_mu));
        p.Percentage(params::ConfidenceInterval, m_level);
    }

    void Compute() override {
        const numerics::Descriptives d = OneSampleDescriptives(m_variables, m_n, m_descriptive);
        const auto r = procedures::OneSampleZ(d, m_mu, m_sigma, 1.0 - m_level / 100.0, m_tail);
        m_difference = r.difference;
        m_z = r.statistic;
        m_ci.Set(r.ci);
        m_p.Set(r.p, m_tail, 0);
        m_question.Set(m_tail, LoadString(ids::kStringMean).str(), HypothesisNumber(m_mu), m_level);
    }

private:
    // Parameters.
    std::vector<VariableChoice> m_variables;
    double m_mu = numerics::MissingValue();
    double m_sigma = numerics::MissingValue();
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    // Results.
    uint32_t m_n = 0;
    std::vector<DescriptiveRow> m_descriptive;
    double m_difference = numerics::MissingValue();
    double m_z = numerics::MissingValue();
    CI m_ci;
    P m_p;
    Question m_question;
};

}  // namespace

const Test::Info ZTest1info(1024, []() -> Test* { return new ZTest1; });

}  // namespace qs
