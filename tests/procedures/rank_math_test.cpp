// The arithmetic of the rank-based tests against R (tests/data/procedures/make_rank_fixtures.R says
// which R function or written-out rule each reference comes from), and the fast Hodges-Lehmann
// selection against the direct sort of every pair.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "addin/procedures/rank_math.h"
#include "tests/procedures/fixtures.h"
#include "tests/procedures/named_fixtures.h"

namespace {

using namespace qs::procedures;
using qs::procedures::testing::FixtureRow;
using qs::procedures::testing::ReadFixture;
using qs::procedures::testing::RelativeError;

// dataset -> group -> values, in file order.
using Data = std::map<int, std::map<int, std::vector<double>>>;
const Data& RankData() {
    static const Data data = [] {
        Data d;
        for (const FixtureRow& row : ReadFixture("rank_data.csv"))
            d[row.Int("dataset")][row.Int("group")].push_back(row["value"]);
        return d;
    }();
    return data;
}
std::vector<std::vector<double>> Groups(int dataset) {
    std::vector<std::vector<double>> out;
    for (const auto& [g, values] : RankData().at(dataset)) out.push_back(values);
    return out;
}

TEST(RunsTest, AgreesWithTheDefinitionInR) {
    const auto rows = ReadFixture("runs_results.csv");
    ASSERT_GE(rows.size(), 30u * 3);
    for (const FixtureRow& row : rows) {
        std::vector<int> codes;
        const auto groups = Groups(row.Int("dataset"));
        for (double v : groups[0]) codes.push_back(static_cast<int>(v));
        // The test's codes: 0 for the category met first.
        const int first = codes[0];
        for (int& c : codes) c = c == first ? 0 : 1;
        const RankResult r = Runs(codes, row.Int("tail"));
        EXPECT_EQ(r.statistic, row["runs"]) << row.Where();
        EXPECT_CLOSE(r.expected, row["expected"], 1e-12, row);
        EXPECT_CLOSE(r.p, row["p"], 1e-10, row);
    }
}

TEST(RunsTest, ThirtyAndThirtyAreNormalTwentyAndTwentyNineExact) {
    std::vector<int> codes;
    for (int i = 0; i < 60; ++i) codes.push_back(i < 30 ? 0 : 1);
    EXPECT_EQ(Runs(codes, 0).method, kMethodNormal);
    codes.assign(49, 1);
    for (int i = 0; i < 20; ++i) codes[static_cast<size_t>(2 * i)] = 0;
    EXPECT_EQ(Runs(codes, 0).method, kMethodExact);
    EXPECT_EQ(Runs(codes, 0).n1, 20);
}

TEST(SignTest, AgreesWithR) {
    const auto rows = ReadFixture("sign_results.csv");
    ASSERT_GE(rows.size(), 30u * 9);
    for (const FixtureRow& row : rows) {
        const RankResult r = Sign(Groups(row.Int("dataset"))[0], 1 - row["level"] / 100, row.Int("tail"));
        EXPECT_EQ(r.statistic, row["positives"]) << row.Where();
        EXPECT_EQ(r.n1, row["n"]) << row.Where();
        EXPECT_CLOSE(r.p, row["p"], 1e-10, row);
        EXPECT_CLOSE(r.estimate, row["median"], 1e-12, row);
        EXPECT_CLOSE(r.ci.lower, row["lower"], 1e-12, row);
        EXPECT_CLOSE(r.ci.upper, row["upper"], 1e-12, row);
    }
}

TEST(SignTest, ANegativeZeroIsAZeroDifference) {
    const std::vector<double> d{-0.0, 0.0, 1, 2, -3};
    const RankResult r = Sign(d, 0.05, 0);
    EXPECT_EQ(r.zeros, 2);
    EXPECT_EQ(r.statistic, 2);
    EXPECT_EQ(r.n1, 3);
}

TEST(WilcoxonSignedRanksTest, AgreesWithR) {
    const auto rows = ReadFixture("wilcoxon_results.csv");
    ASSERT_GE(rows.size(), 30u * 9);
    for (const FixtureRow& row : rows) {
        const RankResult r = SignedRanks(Groups(row.Int("dataset"))[0], 1 - row["level"] / 100, row.Int("tail"));
        EXPECT_EQ(r.statistic, row["W"]) << row.Where();
        EXPECT_CLOSE(r.p, row["p"], 1e-10, row);
        EXPECT_CLOSE(r.estimate, row["estimate"], 1e-12, row);
        EXPECT_CLOSE(r.ci.lower, row["lower"], 1e-12, row);
        EXPECT_CLOSE(r.ci.upper, row["upper"], 1e-12, row);
    }
}

TEST(WilcoxonSignedRanksTest, TwentyFivePairsAreExactTwentySixNormalZerosCounting) {
    std::vector<double> d;
    for (int i = 1; i <= 25; ++i) d.push_back(i % 2 ? i : -i * 0.5);
    EXPECT_EQ(SignedRanks(d, 0.05, 0).method, kMethodExact);
    d.push_back(0);  // a zero difference counts towards the threshold, not towards n
    const RankResult r = SignedRanks(d, 0.05, 0);
    EXPECT_EQ(r.method, kMethodNormal);
    EXPECT_EQ(r.n1, 25);
    EXPECT_EQ(r.zeros, 1);
    // Every difference zero: n = 0, no estimate.
    const RankResult zero = SignedRanks(std::vector<double>(5, 0.0), 0.05, 0);
    EXPECT_EQ(zero.n1, 0);
    EXPECT_TRUE(std::isnan(zero.estimate));
    // W at the centre of the exact distribution: two-sided p is 1.
    const std::vector<double> centre{1, -2, -3, 4};  // W = 1 + 4 = 5 = 4 * 5 / 4
    EXPECT_EQ(SignedRanks(centre, 0.05, 0).statistic, 5);
    EXPECT_EQ(SignedRanks(centre, 0.05, 0).p, 1);
}

TEST(MannWhitneyTest, AgreesWithR) {
    const auto rows = ReadFixture("mannwhitney_results.csv");
    ASSERT_GE(rows.size(), 30u * 9);
    for (const FixtureRow& row : rows) {
        const auto g = Groups(row.Int("dataset"));
        const RankResult r = MannWhitney(g[0], g[1], 1 - row["level"] / 100, row.Int("tail"));
        EXPECT_EQ(r.statistic, row["W"]) << row.Where();
        EXPECT_CLOSE(r.p, row["p"], 1e-10, row);
        EXPECT_CLOSE(r.estimate, row["estimate"], 1e-12, row);
        EXPECT_CLOSE(r.ci.lower, row["lower"], 1e-12, row);
        EXPECT_CLOSE(r.ci.upper, row["upper"], 1e-12, row);
    }
}

TEST(MannWhitneyTest, FifteenAndFifteenAreExactSixteenAndThreeNormal) {
    std::vector<double> x(15), y(15);
    for (int i = 0; i < 15; ++i) x[static_cast<size_t>(i)] = i, y[static_cast<size_t>(i)] = i + 0.5;
    EXPECT_EQ(MannWhitney(x, y, 0.05, 0).method, kMethodExact);
    x.push_back(20);
    y.resize(3);
    EXPECT_EQ(MannWhitney(x, y, 0.05, 0).method, kMethodNormal);
}

TEST(KruskalWallisTest, AgreesWithR) {
    const auto rows = ReadFixture("kruskal_results.csv");
    ASSERT_GE(rows.size(), 30u);
    for (const FixtureRow& row : rows) {
        const RankResult r = KruskalWallis(Groups(row.Int("dataset")));
        EXPECT_CLOSE(r.statistic, row["statistic"], 1e-10, row);
        EXPECT_EQ(r.df, row["df"]);
        EXPECT_CLOSE(r.p, row["p"], 1e-10, row);
    }
    // All observations equal: H = 0, no division by the tie correction (which is 0 too).
    const RankResult equal = KruskalWallis({{5, 5, 5}, {5, 5}});
    EXPECT_EQ(equal.statistic, 0);
    EXPECT_EQ(equal.flags & kFlagTies, 0u);
    EXPECT_EQ(equal.p, 1);
}

TEST(FriedmanTest, AgreesWithR) {
    const auto rows = ReadFixture("friedman_results.csv");
    ASSERT_GE(rows.size(), 30u);
    for (const FixtureRow& row : rows) {
        const auto columns = Groups(row.Int("dataset"));
        std::vector<std::vector<double>> blocks(columns[0].size());
        for (const auto& c : columns)
            for (size_t i = 0; i < c.size(); ++i) blocks[i].push_back(c[i]);
        const RankResult r = Friedman(blocks);
        EXPECT_CLOSE(r.statistic, row["statistic"], 1e-10, row);
        EXPECT_EQ(r.df, row["df"]);
        EXPECT_CLOSE(r.p, row["p"], 1e-10, row);
    }
}

TEST(MedianTest, AgreesWithR) {
    const auto rows = ReadFixture("median_results.csv");
    ASSERT_GE(rows.size(), 30u);
    for (const FixtureRow& row : rows) {
        const MedianTestResult r = MedianTest(Groups(row.Int("dataset")));
        EXPECT_CLOSE(r.median, row["median"], 1e-12, row);
        EXPECT_CLOSE(r.test.p, row["p"], 1e-10, row);
    }
}

// The selection finds what sorting every pair finds, ties and all, at every rank of small samples.
TEST(HodgesLehmann, SelectionEqualsTheSortOfAllPairs) {
    std::mt19937 rng(1043);
    for (int trial = 0; trial < 60; ++trial) {
        const size_t n = 1 + static_cast<size_t>(trial % 23), m = 1 + static_cast<size_t>((trial * 7) % 19);
        std::uniform_int_distribution<int> value(-6, 6);
        std::normal_distribution<double> normal(0, 3);
        std::vector<double> x(n), y(m);
        for (double& v : x) v = trial % 2 ? value(rng) : normal(rng);
        for (double& v : y) v = trial % 3 ? value(rng) * 0.5 : normal(rng);
        const std::vector<double> walsh = AllWalshAverages(x), diffs = AllPairDifferences(x, y);
        for (size_t k = 0; k < walsh.size(); ++k)
            ASSERT_EQ(WalshAverageAt(x, static_cast<std::int64_t>(k)), walsh[k]) << trial << " " << k;
        for (size_t k = 0; k < diffs.size(); ++k)
            ASSERT_EQ(PairDifferenceAt(x, y, static_cast<std::int64_t>(k)), diffs[k]) << trial << " " << k;
    }
    // Larger samples than the direct selection threshold, at a few ranks.
    std::vector<double> x(400), y(300);
    std::normal_distribution<double> normal(0, 1);
    for (double& v : x) v = std::round(normal(rng) * 20) / 4;
    for (double& v : y) v = normal(rng);
    const std::vector<double> walsh = AllWalshAverages(x), diffs = AllPairDifferences(x, y);
    for (size_t k : {size_t{0}, size_t{1}, size_t{4000}, walsh.size() / 2, walsh.size() - 1})
        EXPECT_EQ(WalshAverageAt(x, static_cast<std::int64_t>(k)), walsh[k]) << k;
    for (size_t k : {size_t{0}, size_t{17}, diffs.size() / 2, diffs.size() - 2, diffs.size() - 1})
        EXPECT_EQ(PairDifferenceAt(x, y, static_cast<std::int64_t>(k)), diffs[k]) << k;
}

}  // namespace
