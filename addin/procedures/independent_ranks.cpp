// The rank tests of independent groups (groups of one variable, or variables side by side):
// Mann-Whitney's test of two with the Hodges-Lehmann shift, Kruskal-Wallis' test of two or more,
// and the median test.
#include <cmath>
#include <cstdint>

#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/ranks.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;
using namespace rank_labels;

class IndependentRanksTest : public Test {
public:
    size_t Size() const override { return sizeof(*this); }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        if (!Several()) {
            ExchangeTwoGroups(p, m_variables, dataset.get());
            p.Hypothesis(params::AlternativeHypothesis, m_tail, NameAt(m_variables, 0), NameAt(m_variables, 1));
            p.Percentage(params::ConfidenceInterval, m_level);
            return;
        }
        p.Variables(params::VariableGroups2406, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        p.CheckVariableCount(2, -1);
        p.CheckVariableTypes();
        p.CheckGroupsFromOneVariable();
        p.CheckObservations(1);
    }

protected:
    virtual bool Several() const { return true; }
    // Each selected group's observations, missing values left out.
    std::vector<std::vector<double>> Groups() {
        if (m_variables.size() < 2)
            ThrowMessage(kMessageVariableCount, "%s%s", LoadString(params::VariableGroups2406.label).c_str(),
                         FormatMessage(kCountAtLeast, "%d", 2).c_str());
        std::vector<std::vector<double>> groups;
        m_n = 0;
        for (const VariableChoice& v : m_variables) {
            groups.push_back(ChoiceValues(v));
            m_n += static_cast<uint32_t>(groups.back().size());
        }
        return groups;
    }
    // The ranks table: each group's rank sum among all observations.
    void SetRanks(const std::vector<std::vector<double>>& groups) {
        std::vector<double> all;
        for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
        const std::vector<float> ranks = numerics::MidRanks(all, false, nullptr);
        m_ranks.assign(groups.size(), {});
        size_t at = 0;
        for (size_t j = 0; j < groups.size(); ++j) {
            double sum = 0;
            for (size_t i = 0; i < groups[j].size(); ++i) sum += ranks[at++];
            m_ranks[j].Set(m_variables[j].name, static_cast<double>(groups[j].size()), sum);
        }
    }

public:  // read by the field tables
    std::vector<VariableChoice> m_variables;
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    uint32_t m_n = 0;
    std::vector<TableRanks> m_ranks;
    std::vector<TableCategories> m_table;
    double m_statistic = numerics::MissingValue();
    double m_df = numerics::MissingValue();
    double m_median = numerics::MissingValue();
    VCI m_estimate;
    P m_p;
};

using T = IndependentRanksTest;

class MannWhitneyTest : public IndependentRanksTest {
public:
    const Info& GetInfo() const override { return MannWhitneyTestinfo; }
    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<T>()
                                            .Count(kLabelN, &T::m_n)
                                            .Rows(kLabelRanks, &T::m_ranks)
                                            .Number(kLabelU, &T::m_statistic)
                                            .Nested(kLabelPointEstimate, &T::m_estimate)
                                            .Nested(kLabelP, &T::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }
    void Compute() override {
        RequireVariables(m_variables, 2, params::VariableGroups2404);
        const std::vector<std::vector<double>> groups = Groups();
        const procedures::RankResult r = procedures::MannWhitney(groups[0], groups[1], 1.0 - m_level / 100.0, m_tail);
        SetRanks(groups);
        const double n1 = r.n1, n2 = r.n2;
        m_ranks[0].u = n1 * (n1 + 1) / 2 + n1 * n2 - m_ranks[0].rankSum;
        m_ranks[1].u = n2 * (n2 + 1) / 2 + n1 * n2 - m_ranks[1].rankSum;
        m_statistic = m_ranks[0].u;
        m_estimate.value = r.estimate;
        m_estimate.ci.Set(r.ci);
        SetRankP(m_p, r, m_tail);
    }

protected:
    bool Several() const override { return false; }
};

class KruskalWallisTest : public IndependentRanksTest {
public:
    const Info& GetInfo() const override { return KruskalWallisTestinfo; }
    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<T>()
                                            .Count(kLabelN, &T::m_n)
                                            .Rows(kLabelRanks, &T::m_ranks)
                                            .Number(kLabelKW, &T::m_statistic)
                                            .Number(kLabelDF, &T::m_df)
                                            .Nested(kLabelP, &T::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }
    void Compute() override {
        const std::vector<std::vector<double>> groups = Groups();
        const procedures::RankResult r = procedures::KruskalWallis(groups);
        SetRanks(groups);
        m_statistic = r.statistic;
        m_df = r.df;
        m_p.Set(r.p, P::kNoTailShown, r.method, r.flags);
        m_p.tiesPercent = r.tiesPercent;
    }
};

class MedianTest : public IndependentRanksTest {
public:
    const Info& GetInfo() const override { return MedianTestinfo; }
    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<T>()
                                            .Count(kLabelN, &T::m_n)
                                            .Number(kLabelMedian, &T::m_median)
                                            .Rows(kLabelContingencyTable, &T::m_table)
                                            .Nested(kLabelP, &T::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }
    void Compute() override {
        const std::vector<std::vector<double>> groups = Groups();
        const procedures::MedianTestResult r = procedures::MedianTest(groups);
        m_median = r.median;
        m_table.assign(groups.size(), {});
        for (size_t j = 0; j < groups.size(); ++j) {
            m_table[j].group = m_variables[j].name;
            m_table[j].first = r.above[j];
            m_table[j].second = r.notAbove[j];
            m_table[j].total = r.above[j] + r.notAbove[j];
        }
        if (!std::isfinite(r.test.p)) ThrowMessage(kMessageZeroMargin);  // every value on one side of the median
        m_p.Set(r.test.p, P::kNoTailShown, r.test.method, r.test.flags);
    }
};

}  // namespace

const Test::Info MannWhitneyTestinfo(1043, []() -> Test* { return new MannWhitneyTest; });
const Test::Info KruskalWallisTestinfo(1045, []() -> Test* { return new KruskalWallisTest; });
const Test::Info MedianTestinfo(1044, []() -> Test* { return new MedianTest; });

}  // namespace qs
