// The binomial test: the proportion of a dichotomous variable's first category against an expected
// proportion, with its exact interval.
#include "addin/host/messages.h"
#include "addin/procedures/counts.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;

class BinomialTest : public Test {
public:
    const Info& GetInfo() const override { return BinomialTestinfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<BinomialTest>()
                                            .Count(kLabelN, &BinomialTest::m_n)
                                            .Rows(kLabelDescriptive, &BinomialTest::m_counts)
                                            .Number(kLabelExpectedProportion, &BinomialTest::m_expected)
                                            .Nested(kLabelObservedProportion, &BinomialTest::m_observed)
                                            .Nested(kLabelP, &BinomialTest::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeDichotomous(p, m_variables);
        p.Proportion(params::HypothesisedProportion, m_expected);
        p.Hypothesis(params::AlternativeHypothesis, m_tail, LoadString(kStringProportionSymbol).str(),
                     HypothesisNumber(m_expected));
        p.Percentage(params::ConfidenceInterval, m_level);
    }

    void Compute() override {
        RequireVariables(m_variables, 1, params::Variable403);
        const ContingencyTable t = MakeContingencyTable(*m_variables[0].variable, nullptr);
        if (t.total == 0) ThrowMessage(kMessageNoObservations);
        if (t.rows > 2)  // a dichotomous variable: the first category met and the other one
            ThrowNotDichotomous(m_variables[0].name);
        m_n = static_cast<uint32_t>(t.total);
        m_counts.assign(static_cast<size_t>(t.rows), {});
        for (int i = 0; i < t.rows; ++i) {
            m_counts[static_cast<size_t>(i)].group = t.crosstab->RowFactor()->GroupName(i);
            m_counts[static_cast<size_t>(i)].n = t.rowTotals[static_cast<size_t>(i)];
        }
        const procedures::CountResult r =
            procedures::Binomial(t.rowTotals[0], t.total, m_expected, 1.0 - m_level / 100.0, m_tail);
        m_observed.value = r.estimate;
        m_observed.ci.Set(r.ci);
        SetP(m_p, r, m_tail);
    }

    std::vector<VariableChoice> m_variables;
    double m_expected = numerics::MissingValue();
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    uint32_t m_n = 0;
    std::vector<TableNs> m_counts;
    VCI m_observed;
    P m_p;
};

}  // namespace

const Test::Info BinomialTestinfo(1056, []() -> Test* { return new BinomialTest; });

}  // namespace qs
