// The paired rank tests on repeat measures of one variable (or variables side by side): the sign
// test and Wilcoxon's signed ranks test of two measures, and Friedman's test of two or more.
#include <cmath>
#include <cstdint>

#include "addin/dataset/criteria.h"
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/procedures/ranks.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace count_labels;
using namespace rank_labels;

class PairedRanksTest : public Test {
public:
    size_t Size() const override { return sizeof(*this); }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        p.Variables(params::Variables2406, m_variables);
        InDatasetOrder(m_variables, dataset.get());
        if (Several())
            p.CheckVariableCount(2, -1);
        else
            p.CheckVariableCount(2);
        p.CheckVariableTypes();
        p.CheckSameType();
        p.CheckRepeatsFromOneVariable();
        if (Several()) return;
        p.Hypothesis(params::AlternativeHypothesis, m_tail, NameAt(m_variables, 0), NameAt(m_variables, 1));
        p.Percentage(params::ConfidenceInterval, m_level);
    }

protected:
    virtual bool Several() const { return false; }
    // The pair differences first - second over the complete pairs, with the table of pairs.
    std::vector<double> Differences() {
        RequireVariables(m_variables, 2, params::Variables2406);
        const PairedValues pairs = PairedChoiceValues(m_variables[0], m_variables[1]);
        if (pairs.first.empty()) ThrowMessage(kMessageNoObservations);
        return procedures::PairDifferences(pairs.first, pairs.second);
    }
    void SetPairs(const procedures::RankResult& r) {
        m_pairs.assign(1, {});
        // The pair by its measures' own names ("Before - After"), the variable's name being in the header.
        m_pairs[0].group = m_variables[0].variable->name + " - " + m_variables[1].variable->name;
        m_pairs[0].n = r.n1;
        m_pairs[0].zeros = r.zeros;
        m_n = static_cast<uint32_t>(r.n1 + r.zeros);
        m_estimate.value = r.estimate;
        m_estimate.ci.Set(r.ci);
        m_statistic = r.statistic;
        SetRankP(m_p, r, m_tail);
    }

public:  // read by the field tables
    std::vector<VariableChoice> m_variables;
    numerics::Tail m_tail = numerics::kTwoSided;
    double m_level = 95;

    uint32_t m_n = 0;
    std::vector<TablePairedNs> m_pairs;
    std::vector<TablePairedRanks> m_ranks;  // Wilcoxon: positive, negative; Friedman: by treatment
    double m_statistic = numerics::MissingValue();
    double m_df = numerics::MissingValue();
    VCI m_estimate;
    P m_p;
};

using T = PairedRanksTest;

// The field table of a test of two measures: n, the pairs, the ranks (when `ranks`), the statistic
// under the label `statistic`, the median difference with its interval, and p.
FieldTable TwoMeasureFields(unsigned statistic, bool ranks) {
    FieldTableOf<T> fields;
    fields.Count(kLabelN, &T::m_n).Rows(kLabelDescriptive, &T::m_pairs);
    if (ranks) fields.Rows(kLabelRanks, &T::m_ranks);
    return fields.Number(statistic, &T::m_statistic)
        .Nested(kLabelMedian, &T::m_estimate)
        .Nested(kLabelP, &T::m_p, kFieldTransparent)
        .Build();
}

class SignTest : public PairedRanksTest {
public:
    const Info& GetInfo() const override { return SignTestinfo; }
    const FieldTable& GetFields() const override {
        static const FieldTable table = TwoMeasureFields(kLabelSignTest, false);
        return table;
    }
    void Compute() override {
        const std::vector<double> d = Differences();
        SetPairs(procedures::Sign(d, 1.0 - m_level / 100.0, m_tail));
    }
};

class WilcoxonSignedRanksTest : public PairedRanksTest {
public:
    const Info& GetInfo() const override { return WilcoxonSignedRanksTestinfo; }
    const FieldTable& GetFields() const override {
        static const FieldTable table = TwoMeasureFields(kLabelWilcoxonW, true);
        return table;
    }
    void Compute() override {
        const std::vector<double> d = Differences();
        const procedures::RankResult r = procedures::SignedRanks(d, 1.0 - m_level / 100.0, m_tail);
        SetPairs(r);
        // The ranks of the positive and of the negative differences.
        std::vector<double> nonZero;
        for (double x : d)
            if (x != 0) nonZero.push_back(x);
        const std::vector<float> ranks = numerics::MidRanks(nonZero, true, nullptr);
        double positive = 0, negative = 0, sumPositive = 0, sumNegative = 0;
        for (size_t i = 0; i < nonZero.size(); ++i) {
            if (nonZero[i] > 0) {
                positive += 1;
                sumPositive += ranks[i];
            } else {
                negative += 1;
                sumNegative += ranks[i];
            }
        }
        m_ranks.assign(2, {});
        m_ranks[0].Set(LoadString(kStringPositive).str(), positive, sumPositive);
        m_ranks[1].Set(LoadString(kStringNegative).str(), negative, sumNegative);
    }
};

class FriedmanTest : public PairedRanksTest {
public:
    const Info& GetInfo() const override { return FriedmanTestinfo; }
    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<T>()
                                            .Count(kLabelN, &T::m_n)
                                            .Rows(kLabelRanks, &T::m_ranks)
                                            .Number(kLabelFr, &T::m_statistic)
                                            .Number(kLabelDF, &T::m_df)
                                            .Nested(kLabelP, &T::m_p, kFieldTransparent)
                                            .Build();
        return table;
    }
    void Compute() override;

protected:
    bool Several() const override { return true; }
};

void FriedmanTest::Compute() {
    RequireAtLeastVariables(m_variables, 2, params::Variables2406);
    // The blocks: the observations where every measure is present.
    std::vector<std::vector<double>> columns;
    size_t length = SIZE_MAX;
    for (const VariableChoice& v : m_variables) {
        columns.push_back(ObservationValues(*v.variable, nullptr));
        length = std::min(length, columns.back().size());
    }
    std::vector<std::vector<double>> blocks;
    for (size_t i = 0; i < length; ++i) {
        std::vector<double> block;
        for (const auto& c : columns)
            if (std::isfinite(c[i])) block.push_back(c[i]);
        if (block.size() == columns.size()) blocks.push_back(std::move(block));
    }
    if (blocks.empty()) ThrowMessage(kMessageNoObservations);
    std::vector<double> rankSums;
    const procedures::RankResult r = procedures::Friedman(blocks, &rankSums);
    m_n = static_cast<uint32_t>(blocks.size());
    m_ranks.assign(m_variables.size(), {});
    for (size_t j = 0; j < m_variables.size(); ++j)
        m_ranks[j].Set(m_variables[j].name, static_cast<double>(blocks.size()), rankSums[j]);
    m_statistic = r.statistic;
    m_df = r.df;
    m_p.Set(r.p, P::kNoTailShown, r.method, r.flags);
    m_p.tiesPercent = r.tiesPercent;
}

}  // namespace

const Test::Info SignTestinfo(1041, []() -> Test* { return new SignTest; });
const Test::Info WilcoxonSignedRanksTestinfo(1042, []() -> Test* { return new WilcoxonSignedRanksTest; });
const Test::Info FriedmanTestinfo(1046, []() -> Test* { return new FriedmanTest; });

}  // namespace qs
