// The paired samples t-test: the differences of two repeat measures, taken pair by pair, against
// zero.
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/ttest.h"
#include "addin/resources/string_ids.h"

namespace qs {
namespace {

class TTestPaired : public TTest {
public:
    const Info& GetInfo() const override { return TTestPairedinfo; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::Variables2404, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        p.CheckVariableCount(2);
        p.CheckVariableTypes();
        p.CheckRepeatsFromOneVariable();
        p.CheckObservations(2);
        ExchangeHypothesis(p, NameAt(m_variables, 0), NameAt(m_variables, 1),
                           WordedName(ids::kStringMeanOf, m_variables, 0),
                           WordedName(ids::kStringMeanOf, m_variables, 1));
        ExchangeLevel();
    }

    void Compute() override {
        RequireVariables(m_variables, 2, params::Variables2404);
        // Only the observations where both measures are present take part, in every row of the
        // table, so that the mean difference is the difference of the means shown.
        const PairedValues pairs = PairedChoiceValues(m_variables[0], m_variables[1]);
        if (pairs.first.size() < 2)  // each measure has two values, but fewer complete pairs
            ThrowMessage(ids::kMessageObservationCount, "%s%s", LoadString(params::Variables2404.label).c_str(),
                         FormatMessage(ids::kRangeAtLeast, "%d", 2).c_str());
        const numerics::Descriptives first(pairs.first), second(pairs.second);
        const numerics::Descriptives differences(procedures::PairDifferences(pairs.first, pairs.second));
        m_n = differences.N();
        m_descriptive.assign(3, {});
        m_descriptive[0].Set(m_variables[0].name, first);
        m_descriptive[1].Set(m_variables[1].name, second);
        m_descriptive[2].Set(LoadString(ids::kStringDifferenceRow).str(), differences);
        // A pair with a value missing on either side is left out of every row; the difference row
        // counts those pairs.
        for (size_t i = 0; i < 2; ++i) m_descriptive[i].SetLeftOut(LeftOutOf(m_variables[i]));
        m_descriptive[2].missing = pairs.excludedMissing;
        SetResult(procedures::PairedT(differences, Alpha(), m_tail));
        m_effect.Set(procedures::PairedEffect(differences, Alpha(), m_tail), m_level);
    }
};

}  // namespace

const Test::Info TTestPairedinfo(1027, []() -> Test* { return new TTestPaired; });

}  // namespace qs
