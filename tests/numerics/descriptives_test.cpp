// The summary kernel: counts and missing values, sums, means, moments and their tests,
// percentiles and their intervals, the mode, ranks, categorical and paired summaries, rounding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "addin/numerics/descriptives.h"
#include "addin/numerics/ranks.h"
#include "addin/numerics/rounding.h"
#include "tests/numerics/fixture.h"

namespace qs::numerics {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<double> Values(const std::string& csv) {
    std::vector<double> v;
    std::istringstream s(csv);
    for (std::string token; std::getline(s, token, ',');) v.push_back(std::stod(token));
    return v;
}

TEST(Descriptives, SingleObservationHasCountAndSumOnly) {
    const Descriptives d({5.0});
    EXPECT_EQ(d.N(), 1u);
    EXPECT_EQ(d.Sum(), 5.0);
    for (double v : {d.Mean(), d.SD(), d.SE(), d.Variance(), d.RootMeanSquare(), d.GeometricMean(), d.Median(),
                     d.Minimum(), d.Percentile(50, 1), d.Skewness().coefficient, d.Kurtosis().sample})
        EXPECT_TRUE(std::isnan(v));
}

TEST(Descriptives, NonFiniteValuesAreMissing) {
    const Descriptives d({1.0, kNaN, 3.0, kInf, -kInf});
    EXPECT_EQ(d.Total(), 5u);
    EXPECT_EQ(d.Missing(), 3u);
    EXPECT_EQ(d.N(), 2u);
    EXPECT_EQ(d.Mean(), 2.0);
    EXPECT_EQ(d.Maximum(), 3.0);
    EXPECT_NEAR(d.SD(), std::sqrt(2.0), 1e-15);
}

TEST(Descriptives, StoredSumsAreRoundedButTheMeanIsNot) {
    const Descriptives d({0.1, 0.2});
    EXPECT_EQ(d.Sum(), 0.3);  // 0.1 + 0.2 is 0.30000000000000004 in binary
    EXPECT_EQ(d.SumSquares(), 0.05);
    EXPECT_EQ(d.Mean(), (0.1 + 0.2) / 2);
    EXPECT_NEAR(d.RootMeanSquare(), std::sqrt(0.025), 1e-16);
}

TEST(Descriptives, MomentsOfKnownData) {
    const Descriptives d({2, 4, 4, 4, 5, 5, 7, 9});
    EXPECT_EQ(d.Mean(), 5.0);
    EXPECT_EQ(d.PopulationVariance(), 4.0);
    EXPECT_EQ(d.PopulationSD(), 2.0);
    EXPECT_NEAR(d.Variance(), 32.0 / 7, 1e-15);
    EXPECT_NEAR(d.SE(), std::sqrt(32.0 / 7 / 8), 1e-15);
    EXPECT_EQ(d.MeanAbsDeviation(), 1.5);
    EXPECT_NEAR(d.CV(), std::sqrt(32.0 / 7) / 5, 1e-15);
    EXPECT_EQ(d.SumCubedDeviations(), 42.0);
    EXPECT_EQ(d.SumFourthDeviations(), 356.0);
    EXPECT_EQ(d.SumAbsDeviations(), 12.0);
}

TEST(Descriptives, GeometricAndHarmonicMeans) {
    const Descriptives d({1, 2, 4});
    EXPECT_NEAR(d.GeometricMean(), 2.0, 1e-15);
    EXPECT_NEAR(d.HarmonicMean(), 3 / 1.75, 1e-15);
    EXPECT_TRUE(std::isnan(Descriptives({1, 0, 4}).GeometricMean()));
    EXPECT_TRUE(std::isnan(Descriptives({1, -2, 4}).HarmonicMean()));
}

TEST(Descriptives, MomentsAndTheirTestsMatchR) {
    testing::ErrorTable t;
    for (const auto& r : testing::ReadFixture("moments.txt", 6)) {
        const Descriptives d(Values(r.rest));
        const auto skew = d.Skewness();
        const auto kurt = d.Kurtosis();
        t.Add("sample skewness", r.region, testing::RelativeError(skew.sample, r.values[0]), "");
        t.Add("skewness coefficient", r.region, testing::RelativeError(skew.coefficient, r.values[1]), "");
        t.Add("D'Agostino p", r.region, testing::RelativeError(skew.p, r.values[2]), "");
        t.Add("sample kurtosis", r.region, testing::RelativeError(kurt.sample, r.values[3]), "");
        t.Add("kurtosis coefficient", r.region, testing::RelativeError(kurt.coefficient, r.values[4]), "");
        t.Add("Anscombe-Glynn p", r.region, testing::RelativeError(kurt.p, r.values[5]), "");
    }
    t.Report("moments");
    for (const char* f : {"sample skewness", "skewness coefficient", "D'Agostino p", "sample kurtosis",
                          "kurtosis coefficient", "Anscombe-Glynn p"})
        EXPECT_LE(t.Worst(f), 1e-11) << f;
}

TEST(Descriptives, MomentTestsNeedEnoughValuesAndSpread) {
    EXPECT_TRUE(std::isnan(SkewnessTestP(1.0, 7)));
    EXPECT_FALSE(std::isnan(SkewnessTestP(1.0, 8)));
    EXPECT_TRUE(std::isnan(KurtosisTestP(3.0, 19)));
    EXPECT_FALSE(std::isnan(KurtosisTestP(3.0, 20)));
    const Descriptives constant(std::vector<double>(30, 4.0));
    EXPECT_EQ(constant.SD(), 0.0);
    EXPECT_TRUE(std::isnan(constant.Skewness().coefficient));
    EXPECT_TRUE(std::isnan(constant.Skewness().sample));
    EXPECT_TRUE(std::isnan(constant.Kurtosis().p));
    const Descriptives four({1, 2, 3, 10});
    EXPECT_FALSE(std::isnan(four.Skewness().sample));
    EXPECT_TRUE(std::isnan(four.Kurtosis().sample));  // needs n > 4
}

TEST(Percentiles, EmpiricalPositions) {
    const Descriptives four({4, 1, 3, 2});
    EXPECT_EQ(four.Median(), 2.5);
    EXPECT_EQ(four.FirstQuartile(), 1.75);
    EXPECT_EQ(four.ThirdQuartile(), 3.25);
    EXPECT_EQ(four.TriMean(), 2.5);
    EXPECT_EQ(four.IQR(), 1.5);
    EXPECT_EQ(four.Range(), 3.0);
    const Descriptives six({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(six.FirstQuartile(), 2.25);
    EXPECT_EQ(six.ThirdQuartile(), 4.75);
    const Descriptives five({1, 2, 3, 4, 5});
    EXPECT_TRUE(std::isnan(five.Percentile(10, 0)));  // position 0.6
    EXPECT_TRUE(std::isnan(five.Percentile(90, 0)));  // position 5.4
    EXPECT_EQ(five.Percentile(50, 0), 3.0);
    EXPECT_TRUE(std::isnan(five.Percentile(50, 2)));
}

TEST(Percentiles, NormalMethod) {
    const Descriptives d({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_NEAR(d.Percentile(50, 1), 5.5, 1e-14);
    EXPECT_NEAR(d.Percentile(97.5, 1), 5.5 + d.SD() * 1.959963984540054, 1e-12);
    const Interval ci = d.PercentileCI(50, 95, 1);
    EXPECT_NEAR(ci.lower, 5.5 - 1.959963984540054 * d.SE(), 1e-12);
    EXPECT_NEAR(ci.upper, 5.5 + 1.959963984540054 * d.SE(), 1e-12);
}

TEST(Percentiles, OrderStatisticIntervalsMatchR) {
    int cases = 0;
    for (const auto& r : testing::ReadFixture("percentile_ci.txt")) {
        const int n = int(r.values[0]);
        std::vector<double> v(n);
        for (int i = 0; i < n; ++i) v[i] = n - i;  // 1..n in reverse order
        const Interval ci = Descriptives(v).PercentileCI(r.values[1], r.values[2], 0);
        EXPECT_EQ(ci.lower, r.values[3]) << r.region << " P " << r.values[1] << " conf " << r.values[2];
        EXPECT_EQ(ci.upper, r.values[4]) << r.region << " P " << r.values[1] << " conf " << r.values[2];
        EXPECT_NEAR(ci.alpha, r.values[5], 1e-12) << r.region;
        ++cases;
    }
    EXPECT_GT(cases, 20);
}

TEST(Percentiles, MeanAndMedianIntervals) {
    std::vector<double> v;
    for (int i = 1; i <= 10; ++i) v.push_back(i);
    const Descriptives d(v);
    const Interval mean = d.MeanCI(95);
    EXPECT_NEAR(mean.lower, 3.3341494103318308, 1e-7);  // t.test(1:10)
    EXPECT_NEAR(mean.upper, 7.6658505896681692, 1e-7);
    const Interval median = d.MedianCI(90);
    EXPECT_EQ(median.lower, 2.0);
    EXPECT_EQ(median.upper, 9.0);
    EXPECT_TRUE(std::isnan(Descriptives({1, 2, 3}).MedianCI(95).lower));
    // Fewer than 5 values still have an interval where the confidence allows one: for three
    // values at 50%, the smallest and the largest, attained alpha 2/8.
    const Interval three = Descriptives({7, 3, 5}).MedianCI(50);
    EXPECT_EQ(three.lower, 3.0);
    EXPECT_EQ(three.upper, 7.0);
    EXPECT_NEAR(three.alpha, 0.25, 1e-12);
    const Interval four = Descriptives({4, 1, 3, 2}).PercentileCI(60, 40, 0);
    EXPECT_EQ(four.lower, 2.0);  // qbinom(0.3, 4, 0.6) = 2
    EXPECT_EQ(four.upper, 4.0);  // qbinom(0.7, 4, 0.6) + 1 = 4
}

TEST(Percentiles, PartitionedOrderStatisticsEqualTheSortedOnes) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(0, 50);  // plenty of ties
    std::vector<double> v(501);
    for (double& x : v) x = value(random);
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    const Descriptives d(v);
    std::vector<int> ks(sorted.size());
    for (std::size_t i = 0; i < ks.size(); ++i) ks[i] = int(i) + 1;
    std::shuffle(ks.begin(), ks.end(), random);
    for (std::size_t i = 0; i < ks.size(); ++i) {
        if (i == ks.size() / 2) d.Mode();  // switches to the fully sorted view midway
        ASSERT_EQ(d.OrderStatistic(ks[i]), sorted[ks[i] - 1]) << ks[i];
    }
    EXPECT_TRUE(std::isnan(d.OrderStatistic(0)));
    EXPECT_TRUE(std::isnan(d.OrderStatistic(502)));
}

TEST(Descriptives, NewValuesRecomputeEverything) {
    Descriptives d({1, 2, 3});
    EXPECT_EQ(d.Mean(), 2.0);
    EXPECT_EQ(d.Median(), 2.0);
    EXPECT_TRUE(std::isnan(d.Mode()));
    d.SetValues({10, 20, 20, 40});
    EXPECT_EQ(d.N(), 4u);
    EXPECT_EQ(d.Mean(), 22.5);
    EXPECT_EQ(d.Median(), 20.0);
    EXPECT_EQ(d.Mode(), 20.0);
    EXPECT_EQ(d.Maximum(), 40.0);
}

TEST(Mode, UniqueLongestRunOnly) {
    EXPECT_TRUE(std::isnan(Descriptives({1, 1, 2, 2}).Mode()));
    EXPECT_EQ(Descriptives({1, 1, 2}).Mode(), 1.0);
    EXPECT_TRUE(std::isnan(Descriptives({1, 2, 3}).Mode()));
    EXPECT_EQ(Descriptives({3, 1, 2, 1, 2, 1}).Mode(), 1.0);
    EXPECT_EQ(Descriptives({2, 2, 2, 1, 1}).Mode(), 2.0);
    EXPECT_EQ(Descriptives({1, 1, 2, 2, 2}).Mode(), 2.0);
}

TEST(Ranks, MidRanksAndTieRecord) {
    TieRecord ties;
    const std::vector<float> r = MidRanks(std::vector<double>{3, 1, 3, 2}, false, &ties);
    EXPECT_EQ(r, (std::vector<float>{3.5f, 1.0f, 3.5f, 2.0f}));
    EXPECT_EQ(ties.tie_sizes, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(ties.untied, 2u);
    EXPECT_EQ(ties.total, 4u);
    EXPECT_EQ(ties.PercentTied(), 50.0);
    EXPECT_EQ(ties.TieCorrection(), 6.0);
}

TEST(Ranks, AbsoluteValuesAndMissing) {
    TieRecord ties;
    const std::vector<float> r = MidRanks(std::vector<double>{-2, 1, kNaN, 2, -1, 5}, true, &ties);
    EXPECT_EQ(r[0], 3.5f);
    EXPECT_EQ(r[1], 1.5f);
    EXPECT_TRUE(std::isnan(r[2]));
    EXPECT_EQ(r[3], 3.5f);
    EXPECT_EQ(r[4], 1.5f);
    EXPECT_EQ(r[5], 5.0f);
    EXPECT_EQ(ties.tie_sizes, (std::vector<std::uint32_t>{2, 2}));
    EXPECT_EQ(ties.total, 5u);
    EXPECT_EQ(RankVariableName("Weight", false), "ranks of Weight");
    EXPECT_EQ(RankVariableName("Weight", true), "ranks of Weight without regard to sign");
}

TEST(Categorical, CountsAndModeWithTies) {
    const std::vector<std::int32_t> c{1, 2, 2, 0, 3, 2, 1, 9};
    const DescriptivesCategorical d(c, 3);
    EXPECT_EQ(d.Counts(), (std::vector<std::uint32_t>{2, 3, 1}));
    EXPECT_EQ(d.Total(), 6u);
    EXPECT_EQ(d.Missing(), 2u);
    EXPECT_EQ(d.Mode(), 2);
    const std::vector<std::int32_t> tie{1, 2, 1, 2, 3};
    EXPECT_EQ(DescriptivesCategorical(tie, 3).Mode(), 0);
    const std::vector<std::int32_t> later{1, 1, 2, 2, 3, 3, 3};
    EXPECT_EQ(DescriptivesCategorical(later, 3).Mode(), 3);
}

TEST(CoDescriptives, PairsWithBothValuesPresent) {
    const std::vector<double> x{1, 2, 3, 4, kNaN, 6};
    const std::vector<double> y{2, 4, 6, 8, 10, kNaN};
    const CoDescriptives c(x, y);
    EXPECT_EQ(c.N(), 4u);
    EXPECT_EQ(c.MeanX(), 2.5);
    EXPECT_EQ(c.MeanY(), 5.0);
    EXPECT_NEAR(c.Covariance(), 10.0 / 3, 1e-15);
    EXPECT_NEAR(c.Correlation(), 1.0, 1e-15);
    const std::vector<double> z{4, 3, 2, 1, 0, -1};
    EXPECT_NEAR(CoDescriptives(x, z).Correlation(), -1.0, 1e-15);
}

TEST(Rounding, SignificantDigitsAndNoiseFreeDifference) {
    EXPECT_EQ(RoundSignificant(0.1 + 0.2, 14), 0.3);
    EXPECT_EQ(RoundSignificant(123456.789, 3), 123000.0);
    EXPECT_EQ(RoundSignificant(-0.000123456, 2), -0.00012);
    EXPECT_TRUE(std::isnan(RoundSignificant(kNaN, 5)));
    EXPECT_EQ(RoundSignificant(kInf, 5), kInf);
    EXPECT_EQ(NoiseFreeDifference(1.1, 1.0), 0.1);  // raw 0.10000000000000009
    EXPECT_EQ(NoiseFreeDifference(5.0, 5.0), 0.0);
    EXPECT_EQ(NoiseFreeDifference(0.0, -1.0), 1.0);
    EXPECT_EQ(NoiseFreeDifference(100.3, 100.1), NoiseFreeDifference(100.3, 100.1));
    EXPECT_EQ(NoiseFreeDifference(100.3, 100.1), 0.2);
    // A difference at the noise level keeps one significant digit rather than six.
    const double noise = NoiseFreeDifference(0.1 + 0.2, 0.3);
    EXPECT_EQ(noise, RoundSignificant(noise, 1));
}

}  // namespace
}  // namespace qs::numerics
