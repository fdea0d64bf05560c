// The runs test: whether the two categories of a dichotomous variable follow each other at random
// in dataset order, from the number of runs.
#include "addin/host/messages.h"
#include "addin/procedures/ranks.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;
using namespace rank_labels;

class RunsTest : public Test {
public:
    const Info& GetInfo() const override { return RunsTestinfo; }
    size_t Size() const override { return sizeof(*this); }

    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<RunsTest>()
                                            .Count(kLabelN, &RunsTest::m_n)
                                            .Rows(kLabelDescriptive, &RunsTest::m_counts)
                                            .Number(kLabelRuns, &RunsTest::m_runs)
                                            .Number(kLabelExpected, &RunsTest::m_expected)
                                            .Nested(kLabelP, &RunsTest::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeDichotomous(p, m_variables);
        p.Hypothesis(params::AlternativeHypothesis, m_tail, LoadString(kLabelRuns).str(),
                     LoadString(kLabelExpected).str());
    }

    void Compute() override {
        RequireVariables(m_variables, 1, params::Variable403);
        VariableSource& v = *m_variables[0].variable;
        const ValueVector& values = v.Values();
        // Codes in dataset order: 0 for the first category met, 1 for the other.
        std::vector<int> codes;
        int first = -1, second = -1;
        for (size_t i = 0; i < values.categories.size(); ++i) {
            const int c = values.categories[i];
            if (c == 0) continue;  // missing
            if (first < 0)
                first = c;
            else if (c != first && second < 0)
                second = c;
            else if (c != first && c != second)
                ThrowNotDichotomous(m_variables[0].name);
            codes.push_back(c == first ? 0 : 1);
        }
        if (second < 0) ThrowMessage(kMessageAllEqual, "%s", m_variables[0].name.c_str());  // one category only
        const procedures::RankResult r = procedures::Runs(codes, m_tail);
        m_n = static_cast<uint32_t>(codes.size());
        m_counts.assign(2, {});
        m_counts[0].group = v.categories->ByNumber(first)->name;
        m_counts[0].n = r.n1;
        m_counts[1].group = v.categories->ByNumber(second)->name;
        m_counts[1].n = r.n2;
        m_runs = r.statistic;
        m_expected = r.expected;
        SetRankP(m_p, r, m_tail);
    }

    std::vector<VariableChoice> m_variables;
    numerics::Tail m_tail = numerics::kTwoSided;

    uint32_t m_n = 0;
    std::vector<TableNs> m_counts;
    double m_runs = numerics::MissingValue();
    double m_expected = numerics::MissingValue();
    P m_p;
};

}  // namespace

const Test::Info RunsTestinfo(1040, []() -> Test* { return new RunsTest; });

}  // namespace qs
