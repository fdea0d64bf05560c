// The arithmetic of the tests on counts and proportions and of the correlation tests against R
// (tests/data/procedures/make_counts_fixtures.R says which R function or written-out rule each
// reference comes from). Statistics and p-values agree to 1e-10 relative, interval limits to 1e-7.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "addin/procedures/counts_math.h"
#include "tests/procedures/fixtures.h"
#include "tests/procedures/named_fixtures.h"

namespace {

using namespace qs::procedures;
using qs::procedures::testing::FixtureRow;
using qs::procedures::testing::ReadFixture;
using qs::procedures::testing::RelativeError;

constexpr double kStatisticTolerance = 1e-10;
constexpr double kLimitTolerance = 1e-7;

void ExpectInterval(const CountResult& r, const FixtureRow& row) {
    EXPECT_CLOSE(r.ci.lower, row["lower"], kLimitTolerance, row);
    EXPECT_CLOSE(r.ci.upper, row["upper"], kLimitTolerance, row);
}

TEST(BinomialTest, AgreesWithR) {
    const auto rows = ReadFixture("binomial_results.csv");
    ASSERT_GE(rows.size(), 30u * 9);
    for (const FixtureRow& row : rows) {
        const CountResult r = Binomial(row["s"], row["n"], row["expected"], 1 - row["level"] / 100, row.Int("tail"));
        EXPECT_CLOSE(r.estimate, row["estimate"], kStatisticTolerance, row);
        EXPECT_CLOSE(r.p, row["p"], kStatisticTolerance, row);
        ExpectInterval(r, row);
        EXPECT_EQ(r.method, kMethodExact);
        // Twice the smaller tail is said so, except for the symmetric null where it is the usual p.
        EXPECT_EQ((r.flags & kFlagDouble1Tailed) != 0, row.Int("tail") == 0 && row["expected"] != 0.5) << row.Where();
    }
}

Table2x2 TableOf(const FixtureRow& row) { return {row["a"], row["b"], row["c"], row["d"]}; }

TEST(FisherExactTest, EffectsAndPAgreeWithR) {
    const auto rows = ReadFixture("fisher_results.csv");
    ASSERT_GE(rows.size(), 30u * 27);
    for (const FixtureRow& row : rows) {
        const Table2x2 t = TableOf(row);
        const CountResult e = TableEffect(t, row.Int("measure"), 1 - row["level"] / 100, row.Int("tail"));
        EXPECT_CLOSE(e.estimate, row["estimate"], kStatisticTolerance, row);
        ExpectInterval(e, row);
        const CountResult p = FisherP(t, row.Int("tail"));
        EXPECT_CLOSE(p.p, row["p"], kStatisticTolerance, row);
        EXPECT_EQ((p.flags & kFlagDouble1Tailed) != 0, row.Int("tail") == 0);
    }
}

TEST(FisherExactTest, ZeroCellLeavesTheRatiosEmptyButNotThePValue) {
    const Table2x2 t{0, 5, 6, 4};
    for (int measure : {kEffectOddsRatio, kEffectRelativeRisk}) {
        const CountResult e = TableEffect(t, measure, 0.05, 0);
        EXPECT_TRUE(std::isnan(e.estimate) && std::isnan(e.ci.lower) && std::isnan(e.ci.upper));
    }
    EXPECT_GT(FisherP(t, 0).p, 0);
    EXPECT_EQ(TableEffect(t, kEffectOddsRatio, 0.05, 0).ciMethod, kMethodNone);
    EXPECT_EQ(TableEffect({1, 2, 3, 4}, kEffectOddsRatio, 0.05, 0).ciMethod, kMethodWoolf);
    // A row without observations has no proportion: no difference either.
    EXPECT_TRUE(std::isnan(TableEffect({0, 0, 3, 4}, kEffectDifference, 0.05, 0).estimate));
}

TEST(McNemarTest, AgreesWithRsExactBinomial) {
    const auto rows = ReadFixture("mcnemar_results.csv");
    ASSERT_GE(rows.size(), 30u * 18);
    for (const FixtureRow& row : rows) {
        const CountResult r = McNemar(row["b"], row["c"], row["a"] + row["b"] + row["c"] + row["d"], row.Int("measure"),
                                      1 - row["level"] / 100, row.Int("tail"));
        EXPECT_CLOSE(r.estimate, row["estimate"], kStatisticTolerance, row);
        EXPECT_CLOSE(r.p, row["p"], kStatisticTolerance, row);
        ExpectInterval(r, row);
    }
}

TEST(McNemarTest, NoDiscordantPairsGiveNoEffectAndNoEvidence) {
    const CountResult r = McNemar(0, 0, 20, kEffectDifference, 0.05, 0);
    EXPECT_EQ(r.estimate, 0);
    EXPECT_TRUE(std::isnan(r.ci.lower) && std::isnan(r.ci.upper));
    EXPECT_EQ(r.p, 1);
    // All discordant pairs one way: the odds ratio is infinite, its upper limit too.
    const CountResult one = McNemar(6, 0, 20, kEffectOddsRatio, 0.05, 0);
    EXPECT_TRUE(std::isinf(one.estimate));
    EXPECT_TRUE(std::isinf(one.ci.upper));
    EXPECT_NEAR(one.p, 2 * std::pow(0.5, 6), 1e-15);
}

std::vector<double> Cells(const std::string& text) {
    std::vector<double> out;
    std::stringstream s(text);
    std::string cell;
    while (std::getline(s, cell, ';')) out.push_back(std::stod(cell));
    return out;
}

TEST(ChiSquareTest, AgreesWithR) {
    const auto rows = ReadFixture("chisq_results.csv");
    ASSERT_GE(rows.size(), 30u);
    for (const FixtureRow& row : rows) {
        const std::vector<double> cells = Cells(row.Text("cells"));
        const CountResult r = ChiSquare(cells, row.Int("rows"), row.Int("columns"), row.Int("continuity") == 1);
        EXPECT_CLOSE(r.statistic, row["statistic"], kStatisticTolerance, row);
        EXPECT_EQ(r.df, row["df"]);
        EXPECT_CLOSE(r.p, row["p"], kStatisticTolerance, row);
        EXPECT_EQ((r.flags & kFlagContinuity) != 0, row.Int("continuity") == 1);
        EXPECT_EQ(r.method, kMethodNone);
    }
}

TEST(ChiSquareTest, ContinuityCorrectionIsTheHalfNTermAndAZeroMarginIsNoNumber) {
    const std::vector<double> cells{12, 5, 3, 9};
    const double N = 29, ad_bc = 12 * 9 - 5 * 3, margins = 17.0 * 15 * 14 * 12;
    EXPECT_NEAR(ChiSquare(cells, 2, 2, false).statistic, N * ad_bc * ad_bc / margins, 1e-12);
    EXPECT_NEAR(ChiSquare(cells, 2, 2, true).statistic, N * (ad_bc - N / 2) * (ad_bc - N / 2) / margins, 1e-12);
    const std::vector<double> emptyColumn{3, 0, 4, 0};
    EXPECT_FALSE(std::isfinite(ChiSquare(emptyColumn, 2, 2, false).statistic));
    EXPECT_FALSE(std::isfinite(ChiSquare(emptyColumn, 2, 2, true).statistic));
}

TEST(CochranQTest, AgreesWithTheFormulaInR) {
    std::map<int, std::map<int, std::map<int, double>>> data;  // dataset -> subject -> treatment
    for (const FixtureRow& row : ReadFixture("cochranq_data.csv"))
        data[row.Int("dataset")][row.Int("subject")][row.Int("treatment")] = row["value"];
    const auto rows = ReadFixture("cochranq_results.csv");
    ASSERT_GE(rows.size(), 30u);
    for (const FixtureRow& row : rows) {
        const auto& subjects = data[row.Int("dataset")];
        std::vector<double> C(subjects.begin()->second.size(), 0.0), R;
        for (const auto& [i, values] : subjects) {
            double sum = 0;
            for (const auto& [j, v] : values) {
                C[static_cast<size_t>(j - 1)] += v;
                sum += v;
            }
            R.push_back(sum);
        }
        const CountResult r = CochranQ(C, R);
        EXPECT_CLOSE(r.statistic, row["statistic"], kStatisticTolerance, row);
        EXPECT_EQ(r.df, row["df"]);
        EXPECT_CLOSE(r.p, row["p"], kStatisticTolerance, row);
        EXPECT_EQ(r.method, kMethodChiSquare);
    }
}

// Complete pairs of a correlation dataset.
std::map<int, std::pair<std::vector<double>, std::vector<double>>> CorrelationData() {
    std::map<int, std::pair<std::vector<double>, std::vector<double>>> out;
    for (const FixtureRow& row : ReadFixture("correlation_data.csv")) {
        if (std::isnan(row["x"]) || std::isnan(row["y"])) continue;
        out[row.Int("dataset")].first.push_back(row["x"]);
        out[row.Int("dataset")].second.push_back(row["y"]);
    }
    return out;
}

TEST(CorrelationTests, AgreeWithR) {
    const auto data = CorrelationData();
    const auto rows = ReadFixture("correlation_results.csv");
    ASSERT_GE(rows.size(), 30u * 27);
    for (const FixtureRow& row : rows) {
        const auto& [x, y] = data.at(row.Int("dataset"));
        const double alpha = 1 - row["level"] / 100;
        const int tail = row.Int("tail");
        const std::string& test = row.Text("test");
        if (test == "kendall") {
            const CountResult r = Kendall(x, y, tail);
            EXPECT_EQ(r.estimate, row["estimate"]) << row.Where();  // S, a whole number
            EXPECT_CLOSE(r.statistic, row["statistic"], kStatisticTolerance, row);
            EXPECT_CLOSE(r.p, row["p"], kStatisticTolerance, row);
            EXPECT_EQ(r.method, x.size() < 11 ? kMethodExact : kMethodNormal) << row.Where();
            continue;
        }
        const CountResult r = test == "pearson" ? Pearson(x, y, alpha, tail) : Spearman(x, y, alpha, tail);
        EXPECT_CLOSE(r.estimate, row["estimate"], kStatisticTolerance, row);
        EXPECT_CLOSE(r.statistic, row["statistic"], kStatisticTolerance, row);
        EXPECT_EQ(r.df, row["df"]);
        EXPECT_CLOSE(r.p, row["p"], kStatisticTolerance, row);
        ExpectInterval(r, row);
        EXPECT_EQ(r.method, kMethodT);
    }
}

TEST(CorrelationTests, PearsonWithThreePairsHasNoInterval) {
    const std::vector<double> x{1, 2, 3}, y{2, 1, 3};
    const CountResult r = Pearson(x, y, 0.05, 0);
    EXPECT_TRUE(std::isnan(r.ci.lower) && std::isnan(r.ci.upper));
    EXPECT_TRUE(std::isfinite(r.p));
}

TEST(CorrelationTests, SpearmanAndKendallReportTheirTies) {
    const std::vector<double> x{1, 2, 2, 3, 4}, y{5, 6, 7, 8, 9};
    const CountResult s = Spearman(x, y, 0.05, 0);
    EXPECT_NE(s.flags & kFlagTies, 0u);
    EXPECT_DOUBLE_EQ(s.tiesPercent, 40);  // two of five x values, none of y
    const CountResult k = Kendall(x, y, 0);
    EXPECT_NE(k.flags & kFlagTies, 0u);
    EXPECT_DOUBLE_EQ(k.tiesPercent, 40);
    EXPECT_EQ(Kendall(y, y, 0).flags & kFlagTies, 0u);
}

TEST(KendallCorrelation, KnightsCountsEqualTheDirectCountsOnSmallSamples) {
    std::mt19937 rng(1074);
    for (int trial = 0; trial < 300; ++trial) {
        const size_t n = 1 + static_cast<size_t>(trial % 40);
        const int spread = 1 + trial % 7;  // few distinct values: many ties in x, y and both
        std::uniform_int_distribution<int> value(0, spread);
        std::vector<double> x(n), y(n);
        for (size_t i = 0; i < n; ++i) x[i] = value(rng), y[i] = value(rng) + (trial % 3 == 0 ? x[i] : 0);
        EXPECT_EQ(KendallPairCounts(x, y), KendallPairCountsDirect(x, y)) << "trial " << trial;
    }
}

TEST(KendallCorrelation, TenPairsAreExactAndElevenNormal) {
    std::vector<double> x, y;
    for (int i = 0; i < 11; ++i) x.push_back(i), y.push_back((i * 7) % 11);
    EXPECT_EQ(Kendall(std::span(x).first(10), std::span(y).first(10), 0).method, kMethodExact);
    EXPECT_EQ(Kendall(x, y, 0).method, kMethodNormal);
    // At the centre of the exact distribution the two-sided p is 1.
    const std::vector<double> a{1, 2, 3, 4}, b{2, 4, 1, 3};  // S = 0
    EXPECT_EQ(Kendall(a, b, 0).estimate, 0);
    EXPECT_EQ(Kendall(a, b, 0).p, 1);
}

}  // namespace
