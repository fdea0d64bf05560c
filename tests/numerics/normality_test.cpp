// The branches of the normality tests' p-values and their edge cases; the statistics themselves are
// checked against R on many datasets by tests/procedures/descriptives_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "addin/numerics/normality.h"

namespace qs::numerics {
namespace {

TEST(ShapiroWilk, ClosedFormForThreeAndTheSmallSampleBound) {
    // n = 3: p = (asin(sqrt W) - asin(sqrt 3/4)) 6 / pi, 0 at W = 3/4.
    EXPECT_EQ(ShapiroWilkP(0.75, 3), 0.0);
    // The published factor 1.9098593496814322 is a little above 6 / pi: W = 1 would give
    // 1.000000017; a probability stays at most 1.
    EXPECT_EQ(ShapiroWilkP(1.0, 3), 1.0);
    // 4 <= n <= 11 with ln(1 - W) at or above gamma = -2.273 + 0.459 n: p = 1e-20. Only n = 4 reaches
    // it (gamma >= 0 from n = 5): there W <= 1 - exp(-0.437) = 0.354.
    const double bound = 1.0 - std::exp(-2.273 + 0.459 * 4);
    EXPECT_EQ(ShapiroWilkP(bound - 1e-9, 4), 1e-20);
    // Just inside the bound the approximation goes on (its p is far below 1e-20 there).
    EXPECT_NE(ShapiroWilkP(bound + 1e-3, 4), 1e-20);
    EXPECT_LT(ShapiroWilkP(bound + 1e-3, 4), 1e-3);
    // Three values, two of them equal: the largest possible departure from normality.
    NormalityResult r = ShapiroWilk({1, 1, 2});
    EXPECT_NEAR(r.statistic, 0.75, 1e-4);  // 0.70711 squared x 1.5
    EXPECT_LT(r.p, 1e-3);
}

TEST(ShapiroWilk, ConstantOrTooFewValuesAreNotComputed) {
    EXPECT_TRUE(std::isnan(ShapiroWilk({4.2, 4.2, 4.2, 4.2}).statistic));
    EXPECT_TRUE(std::isnan(ShapiroWilk({1, 2}).statistic));
    EXPECT_TRUE(std::isnan(AndersonDarling({5, 5, 5}).statistic));
    EXPECT_TRUE(std::isnan(KolmogorovSmirnov({5, 5, 5}).p));
    // Missing values are left out.
    const double nan = std::nan("");
    EXPECT_EQ(ShapiroWilk({3, nan, 1, 2, 7}).statistic, ShapiroWilk({1, 2, 3, 7}).statistic);
}

TEST(AndersonDarling, PValueFormulasByRegion) {
    // A* = 0.6 takes the first formula: exp(1.2937 - 5.709 x 0.6 + 0.0186 x 0.36), about 0.119.
    EXPECT_NEAR(AndersonDarlingP(0.6), std::exp(1.2937 - 5.709 * 0.6 + 0.0186 * 0.36), 1e-6);
    EXPECT_NEAR(AndersonDarlingP(0.6), 0.119, 5e-4);
    EXPECT_NEAR(AndersonDarlingP(0.5), std::exp(0.9177 - 4.279 * 0.5 - 1.38 * 0.25), 1e-6);
    EXPECT_NEAR(AndersonDarlingP(0.3), 1 - std::exp(-8.318 + 42.796 * 0.3 - 59.938 * 0.09), 1e-6);
    EXPECT_NEAR(AndersonDarlingP(0.1), 1 - std::exp(-13.436 + 101.14 * 0.1 - 223.73 * 0.01), 1e-6);
}

TEST(AndersonDarling, FarValuesGiveAFiniteStatistic) {
    // One value 60 SDs out: 1 - F underflows, its logarithm does not.
    std::vector<double> x(200);
    for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(static_cast<double>(i));
    x.back() = 1e4;
    NormalityResult r = AndersonDarling(x);
    EXPECT_TRUE(std::isfinite(r.statistic));
    EXPECT_GT(r.statistic, 10);
}

TEST(KolmogorovSmirnov, TableInterpolationAndItsBounds) {
    EXPECT_EQ(KolmogorovSmirnovP(0.7), INFINITY);   // shown as "> 0.15"
    EXPECT_EQ(KolmogorovSmirnovP(1.1), -INFINITY);  // shown as "< 0.01"
    EXPECT_NEAR(KolmogorovSmirnovP(0.857), 0.075, 1e-12);
    EXPECT_NEAR(KolmogorovSmirnovP(1.035), 0.01, 1e-15);
    EXPECT_NEAR(KolmogorovSmirnovP(0.775), 0.15, 1e-15);
    EXPECT_NEAR(KolmogorovSmirnovP(0.955), 0.025, 1e-15);
}

}  // namespace
}  // namespace qs::numerics
