// Conventions of the statistical wrappers and the distribution core: tails, quantile
// probabilities, interval shapes, discrete tails, exact binomial and hypergeometric edge cases,
// bad and missing arguments, status codes and the one run-time error.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "addin/numerics/cdf.h"
#include "addin/numerics/distributions.h"
#include "addin/numerics/numerics_error.h"
#include "addin/numerics/search.h"
#include "addin/numerics/special.h"

namespace qs::numerics {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TailP, LowerUpperAndUncappedTwoSided) {
    EXPECT_DOUBLE_EQ(TailP(0.5, kTwoSided), 1.0);
    EXPECT_NEAR(TailP(0.9, kTwoSided), 0.2, 1e-15);
    EXPECT_NEAR(TailP(0.9, kUpperTail), 0.1, 1e-15);
    EXPECT_DOUBLE_EQ(TailP(0.9, kLowerTail), 0.9);
    EXPECT_TRUE(std::isnan(TailP(0.3, 3)));
    // From both tails the upper one is q itself, not 1 - p.
    EXPECT_EQ(TailP(1.0, 1e-30, kUpperTail), 1e-30);
    EXPECT_EQ(TailP(1.0, 1e-30, kTwoSided), 2e-30);
}

TEST(TailP, UpperTailsKeepRelativeAccuracy) {
    // 1 - p would be exactly 0 here.
    EXPECT_NEAR(NormalP(20, 0, 1, kUpperTail), 2.7536241186062337e-89, 1e-12 * 2.75e-89);
    EXPECT_EQ(NormalP(20, 0, 1, kUpperTail), NormalP(-20, 0, 1, kLowerTail));
    EXPECT_GT(TP(1e6, 3, kUpperTail), 0.0);
    EXPECT_GT(ChiSquareP(500, 2, kUpperTail), 0.0);
    EXPECT_GT(FP(1e8, 5, 5, kUpperTail), 0.0);
    EXPECT_NEAR(BinomialP(1000, 990, 0.5, kUpperTail) / BinomialP(1000, 10, 0.5, kLowerTail), 1.0, 1e-12);
}

TEST(Quantiles, ProbabilityHandedToTheCorePerTail) {
    EXPECT_NEAR(NormalQuantile(0.05, 0, 1, kTwoSided), -1.9599639845400536, 1e-13);
    EXPECT_NEAR(NormalQuantile(0.05, 0, 1, kLowerTail), -1.6448536269514715, 1e-13);
    EXPECT_NEAR(NormalQuantile(0.05, 0, 1, kUpperTail), 1.6448536269514715, 1e-13);
    EXPECT_NEAR(NormalQuantile(0.05, 10, 2, kUpperTail), 10 + 2 * 1.6448536269514715, 1e-12);
    EXPECT_NEAR(TQuantile(0.05, 9, kTwoSided), -2.2621571627982049, 1e-7);
    EXPECT_NEAR(FQuantile(0.05, 10, 20, kUpperTail), 2.3478775669983119, 1e-7 * 2.35);
    EXPECT_NEAR(NormalQuantile(0.5, 0, 1, kLowerTail), 0.0, 1e-15);
}

TEST(Quantiles, TinyUpperTailAlphaStaysExact) {
    // Handing the core q = alpha (not 1 - (1 - alpha)) keeps these solvable and accurate.
    const double t = TQuantile(1e-20, 3, kUpperTail);
    EXPECT_NEAR(TP(t, 3, kUpperTail) / 1e-20, 1.0, 1e-6);
    const double f = FQuantile(1e-30, 4, 7, kUpperTail);
    EXPECT_NEAR(FP(f, 4, 7, kUpperTail) / 1e-30, 1.0, 1e-6);
    EXPECT_NEAR(NormalQuantile(1e-100, 0, 1, kUpperTail), 21.273453560965319, 1e-12 * 21.3);
}

TEST(Intervals, NormalCIShapesPerTail) {
    const Interval two = NormalCI(0.05, 10, 1, kTwoSided);
    EXPECT_DOUBLE_EQ(two.alpha, 0.05);
    EXPECT_NEAR(two.lower, 8.0400360154599464, 1e-12);
    EXPECT_NEAR(two.upper, 11.959963984540054, 1e-12);
    const Interval lower = NormalCI(0.05, 10, 1, kLowerTail);
    EXPECT_EQ(lower.lower, -kInf);
    EXPECT_NEAR(lower.upper, 11.644853626951472, 1e-12);
    const Interval upper = NormalCI(0.05, 10, 1, kUpperTail);
    EXPECT_NEAR(upper.lower, 8.3551463730485285, 1e-12);
    EXPECT_EQ(upper.upper, kInf);
}

TEST(Intervals, TCIAndZeroStandardError) {
    const Interval ci = TCI(0.05, 5.5, 0.9574271077563381, 9, kTwoSided);  // t.test(1:10)
    EXPECT_NEAR(ci.lower, 3.3341494103318308, 1e-7);
    EXPECT_NEAR(ci.upper, 7.6658505896681692, 1e-7);
    const Interval none = TCI(0.05, 10, 0, 5, kTwoSided);
    EXPECT_DOUBLE_EQ(none.alpha, 0.05);
    EXPECT_TRUE(std::isnan(none.lower) && std::isnan(none.upper));
    const Interval open = TCI(0.05, 10, 1e-15, 5, kLowerTail);
    EXPECT_EQ(open.lower, -kInf);
    EXPECT_TRUE(std::isnan(open.upper));
    EXPECT_EQ(TCI(0.05, 10, 0, 5, kUpperTail).upper, kInf);
}

TEST(Intervals, FRatioCIUsesSwappedDegreesForTheUpperLimit) {
    const Interval two = FRatioCI(0.05, 2, 10, 20, kTwoSided);
    EXPECT_NEAR(two.lower, 2 / 2.7736713751990809, 1e-7);
    EXPECT_NEAR(two.upper, 2 * 3.4185435161850357, 1e-6);
    const Interval lower = FRatioCI(0.05, 2, 10, 20, kLowerTail);
    EXPECT_EQ(lower.lower, 0.0);
    EXPECT_NEAR(lower.upper, 2 * 2.7740163983211224, 1e-6);
    const Interval upper = FRatioCI(0.05, 2, 10, 20, kUpperTail);
    EXPECT_NEAR(upper.lower, 2 / 2.3478775669983119, 1e-7);
    EXPECT_EQ(upper.upper, kInf);
}

TEST(DiscreteTailPrep, AdjustsTheStatisticPerTail) {
    double s = 5, p = kNaN;
    EXPECT_FALSE(DiscreteTailPrep(s, p, 5, 0, 10, kTwoSided, 1));
    EXPECT_EQ(p, 0.5);

    s = 7;
    EXPECT_TRUE(DiscreteTailPrep(s, p, 5, 0, 10, kUpperTail, 1));
    EXPECT_EQ(s, 6);
    s = 7.5;
    EXPECT_TRUE(DiscreteTailPrep(s, p, 5, 0, 10, kTwoSided, 1));
    EXPECT_EQ(s, 6);
    s = 8;  // Kendall's S moves in steps of 2
    EXPECT_TRUE(DiscreteTailPrep(s, p, 0, -20, 20, kUpperTail, 2));
    EXPECT_EQ(s, 6);

    s = 0;
    p = kNaN;
    EXPECT_FALSE(DiscreteTailPrep(s, p, 5, 0, 10, kUpperTail, 1));
    EXPECT_EQ(p, 0.0);

    s = 2.3;
    EXPECT_TRUE(DiscreteTailPrep(s, p, 5, 0, 10, kLowerTail, 1));
    EXPECT_EQ(s, 3);
    s = 4.2;
    EXPECT_TRUE(DiscreteTailPrep(s, p, 5, 0, 10, kTwoSided, 1));
    EXPECT_EQ(s, 5);
}

TEST(Binomial, ExactPValues) {
    EXPECT_EQ(BinomialP(10, 5, 0.5, kTwoSided), 1.0);
    EXPECT_NEAR(BinomialP(10, 9, 0.5, kUpperTail), 11.0 / 1024, 1e-15);
    EXPECT_NEAR(BinomialP(10, 9, 0.5, kTwoSided), 22.0 / 1024, 1e-15);
    EXPECT_NEAR(BinomialP(10, 2, 0.5, kLowerTail), 56.0 / 1024, 1e-15);
    EXPECT_EQ(BinomialP(10, 0, 0.3, kUpperTail), 1.0);
    EXPECT_EQ(BinomialP(10, 10, 0.3, kLowerTail), 1.0);
}

TEST(Binomial, QuantileMapsEveryFailureToNaN) {
    EXPECT_TRUE(std::isnan(BinomialQuantile(1.5, 20, 0.5, kLowerTail)));
    // Below P[X <= 0] = 1/16 the solution lies below the range [0, n].
    EXPECT_TRUE(std::isnan(BinomialQuantile(0.05, 4, 0.5, kLowerTail)));
    const double s = BinomialQuantile(0.05, 20, 0.5, kLowerTail);
    EXPECT_GT(s, 5.0);
    EXPECT_LT(s, 6.0);  // qbinom(0.05, 20, 0.5) = 6
    EXPECT_NEAR(BinomialP(20, std::floor(s), 0.5, kLowerTail), 0.020694732666015625, 1e-12);
}

TEST(Binomial, QuantileWithFewerTrialsThanTheUsualStart) {
    // n = 4, pr = 0.5: P[X <= k] = 1/16, 5/16, 11/16, 15/16, 1 for k = 0..4.
    const double s = BinomialQuantile(0.5, 4, 0.5, kLowerTail);
    EXPECT_GT(s, 1.0);
    EXPECT_LT(s, 2.0);  // qbinom(0.5, 4, 0.5) = 2
    int which = 1, status = 0;
    double p = 0, q = 0, x = s, n = 4, pr = 0.5, ompr = 0.5, bound = 0;
    cdfbin(which, p, q, x, n, pr, ompr, status, bound);
    EXPECT_NEAR(p, 0.5, 1e-7);  // the continuous P[X <= s] solved
    // n = 1: P[X <= s] runs from 1 - pr at s = 0 to 1 at s = 1.
    const double one = BinomialQuantile(0.9, 1, 0.2, kLowerTail);
    EXPECT_GT(one, 0.0);
    EXPECT_LT(one, 1.0);
    EXPECT_TRUE(std::isnan(BinomialQuantile(0.7, 1, 0.2, kLowerTail)));  // below P[X <= 0]
    // Upper and two-sided tails hand the core 1 - alpha and alpha / 2.
    EXPECT_GT(BinomialQuantile(0.1, 3, 0.5, kUpperTail), 2.0);  // P[X <= 2] = 7/8 < 0.9
    EXPECT_LT(BinomialQuantile(0.5, 3, 0.5, kTwoSided), 1.0);   // 1/8 <= 0.25 < 1/2
    // Non-integer n below 5 is searched on its own range as well.
    const double frac = BinomialQuantile(0.5, 2.5, 0.5, kLowerTail);
    EXPECT_GE(frac, 0.0);
    EXPECT_LE(frac, 2.5);
}

TEST(Binomial, ProportionIntervalsAtTheEdges) {
    const Interval none = BinomialProportionCI(0.05, 10, 0.0, kTwoSided);
    EXPECT_EQ(none.lower, 0.0);
    EXPECT_NEAR(none.upper, 1 - std::pow(0.025, 0.1), 1e-9);
    EXPECT_NEAR(none.alpha, 0.025, 1e-9);  // only the upper limit contributes
    const Interval all = BinomialProportionCI(0.05, 10, 1.0, kTwoSided);
    EXPECT_EQ(all.upper, 1.0);
    EXPECT_NEAR(all.lower, std::pow(0.025, 0.1), 1e-9);
    const Interval one_sided = BinomialProportionCI(0.05, 10, 0.3, kLowerTail);
    EXPECT_EQ(one_sided.lower, 0.0);
    EXPECT_NEAR(one_sided.alpha, 0.05, 1e-8);
    EXPECT_NEAR(BinomialProportionBound(0.05, 10, 3, kUpperTail), 1 - BinomialProportionBound(0.05, 10, 3, kLowerTail),
                1e-15);
}

TEST(Binomial, RankIntervalsCountFromZero) {
    const Interval median = BinomialRankCI(0.05, 20, 0.5, kTwoSided);
    EXPECT_EQ(median.lower, 5);   // the 6th smallest value
    EXPECT_EQ(median.upper, 14);  // the 15th
    EXPECT_NEAR(median.alpha, 2 * 0.020694732666015625, 1e-12);
    const Interval lower = BinomialRankCI(0.05, 20, 0.5, kLowerTail);
    EXPECT_EQ(lower.lower, -kInf);
    EXPECT_EQ(lower.upper, 14);  // qbinom(0.95, 20, 0.5) = 14, the 15th value
    const Interval upper = BinomialRankCI(0.05, 20, 0.5, kUpperTail);
    EXPECT_EQ(upper.lower, 5);
    EXPECT_EQ(upper.upper, kInf);
    // Too few values for the confidence asked: both ranks NaN, first member alpha.
    const Interval few = BinomialRankCI(0.05, 5, 0.5, kTwoSided);
    EXPECT_EQ(few.alpha, 0.05);
    EXPECT_TRUE(std::isnan(few.lower) && std::isnan(few.upper));
    // Fewer than 5 values at a confidence they can give: ranks 0 and 3 of 4, the whole sample,
    // attained alpha P[X <= 0] + P[X >= 4] = 2/16.
    const Interval four = BinomialRankCI(0.5, 4, 0.5, kTwoSided);
    EXPECT_EQ(four.lower, 0);
    EXPECT_EQ(four.upper, 3);
    EXPECT_NEAR(four.alpha, 0.125, 1e-12);
}

TEST(Hypergeometric, FaultsAndTrivialTables) {
    int fault = -1;
    EXPECT_EQ(HypergeometricP(false, 60, 3, 50, 20, fault), 0.0);  // sample above population
    EXPECT_EQ(fault, 1);
    EXPECT_EQ(HypergeometricP(false, 10, -1, 50, 20, fault), 0.0);
    EXPECT_EQ(fault, 2);
    EXPECT_EQ(HypergeometricP(false, 10, 0, 12, 5, fault), 0.0);  // at least 3 successes drawn
    EXPECT_EQ(fault, 2);
    EXPECT_EQ(HypergeometricP(false, 10, 11, 50, 20, fault), 1.0);  // above the support
    EXPECT_EQ(HypergeometricP(true, 10, 11, 50, 20, fault), 0.0);
    EXPECT_EQ(HypergeometricP(false, 10, 4, 50, 0, fault), 1.0);  // x above the support
    EXPECT_EQ(fault, 2);
    EXPECT_EQ(HypergeometricP(true, 10, 0, 50, 0, fault), 1.0);  // no successes to draw
    EXPECT_EQ(fault, 0);
    EXPECT_EQ(HypergeometricP(false, 10, 10, 50, 20, fault), 1.0);
    EXPECT_NEAR(HypergeometricP(false, 10, 3, 50, 20, fault), 0.36496828677683674, 1e-14);
    EXPECT_NEAR(HypergeometricP(true, 10, 3, 50, 20, fault), 0.22592962939592981, 1e-14);
}

TEST(Hypergeometric, LargeTablesUseTheNormalApproximation) {
    int fault = -1;
    // N = 10000, K = 5000, n = 1000: 16 max(1, 1) = 16 < 1000.
    const double mean = 500, sig = std::sqrt(500 * 0.5 * 9000.0 / 9999);
    double cum, ccum;
    cumnor((510 + 0.5 - mean) / sig, cum, ccum);
    EXPECT_DOUBLE_EQ(HypergeometricP(false, 1000, 510, 10000, 5000, fault), cum);
    EXPECT_NEAR(HypergeometricP(true, 1000, 500, 10000, 5000, fault), 1 / (sig * 2.5066282), 1e-15);
    EXPECT_EQ(fault, 0);
}

TEST(NormalDensity, AgreesWithTheGaussianDensity) {
    // dnorm(1.5, 1, 2) and dnorm(0); the root of 2 pi carries 13 digits.
    EXPECT_NEAR(NormalDensity(1.5, 1, 2), 0.19333405840142465, 1e-12 * 0.19);
    EXPECT_NEAR(NormalDensity(0, 0, 1), 0.3989422804014327, 1e-12 * 0.4);
}

TEST(Factorials, TableStirlingAndCoefficients) {
    EXPECT_EQ(LogFactorial(6), 6.57925121101);
    EXPECT_EQ(LogFactorial(0), 0.0);
    EXPECT_NEAR(LogFactorial(7), std::log(5040.0), 1e-11);
    EXPECT_NEAR(LogFactorial(170), std::lgamma(171.0), 1e-13 * 706);
    EXPECT_TRUE(std::isnan(LogFactorial(-1)));
    EXPECT_EQ(BinomialCoefficient(0, 0), 1.0);
    EXPECT_EQ(BinomialCoefficient(10, 3), 120.0);
    EXPECT_EQ(BinomialCoefficient(30, 15), 155117520.0);
    EXPECT_EQ(BinomialCoefficient(7, 0), 1.0);
}

TEST(BadArguments, NaNInNaNOutAndRejectedArgumentsGiveNaN) {
    EXPECT_TRUE(std::isnan(TP(kNaN, 3, kTwoSided)));
    EXPECT_TRUE(std::isnan(NormalP(0, kNaN, 1, kLowerTail)));
    EXPECT_TRUE(std::isnan(ChiSquareP(3, kNaN, kUpperTail)));
    EXPECT_TRUE(std::isnan(FQuantile(kNaN, 3, 4, kUpperTail)));
    EXPECT_TRUE(std::isnan(BinomialP(10, kNaN, 0.5, kLowerTail)));
    EXPECT_TRUE(std::isnan(BinomialQuantile(0.05, kNaN, 0.5, kLowerTail)));
    EXPECT_TRUE(std::isnan(NormalCI(kNaN, 1, 1, kTwoSided).lower));
    EXPECT_TRUE(std::isnan(BinomialRankCI(0.05, kNaN, 0.5, kTwoSided).lower));
    EXPECT_TRUE(std::isnan(TP(1, -1, kTwoSided)));          // df <= 0
    EXPECT_TRUE(std::isnan(NormalP(0, 0, 0, kLowerTail)));  // sd <= 0
    EXPECT_TRUE(std::isnan(TQuantile(0, 5, kLowerTail)));
    EXPECT_TRUE(std::isnan(TQuantile(1.5, 5, kLowerTail)));
    EXPECT_TRUE(std::isnan(FP(-1, 2, 3, kLowerTail)));
    EXPECT_TRUE(std::isnan(TP(1, 3, 7)));
}

TEST(BadArguments, InfiniteStatisticsGiveTheLimits) {
    EXPECT_EQ(NormalP(kInf, 0, 1, kLowerTail), 1.0);
    EXPECT_EQ(NormalP(-kInf, 0, 1, kLowerTail), 0.0);
    EXPECT_EQ(TP(-kInf, 5, kLowerTail), 0.0);
    EXPECT_EQ(TP(kInf, 5, kUpperTail), 0.0);
    EXPECT_EQ(ChiSquareP(kInf, 3, kUpperTail), 0.0);
    EXPECT_EQ(ChiSquareP(kInf, 300, kLowerTail), 1.0);
    EXPECT_EQ(FP(kInf, 2, 3, kLowerTail), 1.0);
}

TEST(BadArguments, ArgumentsNearTheOverflowLimitStillReturn) {
    // The continued fraction of the beta ratio once looped for ever here.
    const double f = FQuantile(0.05, 5e307, 10.183382805905564, kLowerTail);
    EXPECT_TRUE(std::isnan(f) || f >= 0.0);
    const double p = FP(1.3, 5e307, 10, kUpperTail);
    EXPECT_TRUE(std::isnan(p) || (p >= 0.0 && p <= 1.0));
    const double t = TQuantile(0.05, 1e300, kTwoSided);
    EXPECT_NEAR(t, -1.959963984540054, 1e-7);
}

TEST(Core, StatusCodesAsPublished) {
    int which = 2, status = 0;
    double p = 0, q = 1, t = 0, df = 5, bound = -1;
    cdft(which, p, q, t, df, status, bound);
    EXPECT_EQ(status, -2);
    EXPECT_EQ(bound, 0.0);

    which = 1;
    double x = -1, dfc = 3;
    cdfchi(which, p, q, x, dfc, status, bound);
    EXPECT_EQ(status, -4);

    which = 2;
    p = 0.3;
    q = 0.6;
    double xn = 0, mean = 0, sd = 1;
    cdfnor(which, p, q, xn, mean, sd, status, bound);
    EXPECT_EQ(status, 3);

    which = 1;
    double s = 3, n = 10, pr = 0.5, ompr = 0.4;
    cdfbin(which, p, q, s, n, pr, ompr, status, bound);
    EXPECT_EQ(status, 4);

    // No df gives P[T <= 2] = 0.99 (its limit is pnorm(2) = 0.977): answer above the range.
    which = 3;
    p = 0.99;
    q = 0.01;
    t = 2;
    cdft(which, p, q, t, df, status, bound);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(bound, 1e10);
}

TEST(Core, InvertsForEveryParameter) {
    int status = 0;
    double bound = 0;
    int which = 3;
    double p = 0.96330598261462974, q = 1 - p, t = 2, df = 0;  // pt(2, 10)
    cdft(which, p, q, t, df, status, bound);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(df, 10, 1e-6);

    which = 3;
    double x = 7.8147279032511792, dfc = 0;  // qchisq(0.95, 3)
    p = 0.95;
    q = 0.05;
    cdfchi(which, p, q, x, dfc, status, bound);
    EXPECT_NEAR(dfc, 3, 1e-6);

    which = 4;
    double f = 2.3478775669983119, dfn = 10, dfd = 0;  // qf(0.95, 10, 20)
    p = 0.95;
    q = 0.05;
    cdff(which, p, q, f, dfn, dfd, status, bound);
    EXPECT_NEAR(dfd, 20, 1e-5);
    // P[F <= f] is not monotone in dfn (here it falls from 1 to 0.95 at dfn = 10 and rises
    // again to 0.988), so the search over [1e-300, 1e300] cannot bracket: status 2, as the
    // published routine warns.
    which = 3;
    dfd = 20;
    cdff(which, p, q, f, dfn, dfd, status, bound);
    EXPECT_EQ(status, 2);

    which = 3;
    double s = 3, n = 0, pr = 0.5, ompr = 0.5;
    p = 0.171875;  // pbinom(3, 10, 0.5)
    q = 1 - p;
    cdfbin(which, p, q, s, n, pr, ompr, status, bound);
    EXPECT_NEAR(n, 10, 1e-6);

    which = 3;
    double xn = 1.96, mean = 0, sd = 1;
    p = 0.975;
    q = 0.025;
    cdfnor(which, p, q, xn, mean, sd, status, bound);
    EXPECT_NEAR(mean, 1.96 - 1.959963984540054, 1e-13);
    which = 4;
    mean = 0;
    cdfnor(which, p, q, xn, mean, sd, status, bound);
    EXPECT_NEAR(sd, 1.96 / 1.959963984540054, 1e-13);
}

// The shape-constant memo only saves work: every path of the incomplete beta gives the same
// bits with it as without, whether the memo is fresh, already holds the shape, holds other
// shapes (t, F and binomial shapes share one memo below, more than it has room for) or has
// its expansion coefficients formed for another b.
TEST(Core, BetaShapeMemoChangesNoResult) {
    detail::BetaShapeMemo shared;
    const double shapes[][2] = {{0.5, 0.5}, {2.5, 0.5},  {15, 0.5},  {100, 0.5}, {0.5, 3},
                                {0.3, 0.7}, {0.05, 0.5}, {3, 7},     {5, 30},    {0.5, 20},
                                {12, 9},    {60, 45},    {200, 150}, {1e-17, 2}, {2, 1e-17}};
    const double xs[] = {1e-12, 1e-4, 0.004, 0.03, 0.09, 0.2, 0.35, 0.5, 0.65, 0.8, 0.97, 0.9999};
    int compared = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& ab : shapes) {
            detail::BetaShapeMemo own;
            for (double x : xs) {
                double w0, w10, w, w1;
                int e0, e;
                detail::bratio(ab[0], ab[1], x, 1 - x, w0, w10, e0);
                for (detail::BetaShapeMemo* memo : {&own, &shared}) {
                    detail::bratio(ab[0], ab[1], x, 1 - x, w, w1, e, memo);
                    EXPECT_EQ(e, e0);
                    EXPECT_EQ(w, w0) << ab[0] << ' ' << ab[1] << ' ' << x;
                    EXPECT_EQ(w1, w10) << ab[0] << ' ' << ab[1] << ' ' << x;
                    ++compared;
                }
            }
        }
    }
    EXPECT_EQ(shared.used, detail::BetaShapeMemo::kEntries);  // full: later shapes compute afresh
    EXPECT_EQ(compared, 2 * 2 * 15 * 12);
}

TEST(Core, BrokenSearchBracketRaisesTheIterativeRoutineError) {
    // A start outside the range searched.
    double x = 6;
    EXPECT_THROW(detail::dinvr({0, 3, 0.5, 0.5, 5, 1e-50, 1e-8}, x, [](double v) { return v - 1; }), NumericsError);
    // A range end that is not a number holds no start.
    int which = 2, status = 0;
    double p = 0.5, q = 0.5, s = 0, n = kNaN, pr = 0.5, ompr = 0.5, bound = 0;
    try {
        cdfbin(which, p, q, s, n, pr, ompr, status, bound);
        FAIL() << "no error raised";
    } catch (const NumericsError& e) {
        EXPECT_STREQ(e.what(), "error in iterative routine");
    }
    EXPECT_THROW(RaiseIterativeRoutineError(), NumericsError);
}

}  // namespace
}  // namespace qs::numerics
