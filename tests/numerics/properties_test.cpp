// Properties that must hold for any arguments, checked over a fixed pseudo-random sweep that
// reaches the extremes (tiny and huge degrees of freedom, far tails, values near the overflow
// limit): every call returns, probabilities lie in [0, 1], the two tails add up to 1, and
// quantiles invert the distribution functions.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "addin/numerics/distributions.h"
#include "addin/numerics/numerics_error.h"

namespace qs::numerics {
namespace {

class Sweep {
public:
    explicit Sweep(unsigned seed) : random_(seed) {}
    // Log-uniform positive value over 10^lo .. 10^hi.
    double Positive(double lo, double hi) {
        return std::pow(10.0, std::uniform_real_distribution<double>(lo, hi)(random_));
    }
    double Signed(double lo, double hi) { return (random_() % 2 ? 1 : -1) * Positive(lo, hi); }
    double Probability() { return Positive(-300, std::log10(0.5)); }

private:
    std::mt19937_64 random_;
};

bool IsProbability(double p) { return p >= 0.0 && p <= 1.0; }

TEST(Properties, TailsAreProbabilitiesThatAddUpToOne) {
    Sweep s(11);
    for (int i = 0; i < 4000; ++i) {
        const double df = s.Positive(-3, 8), df2 = s.Positive(-3, 8);
        const double t = s.Signed(-5, 200), x = s.Positive(-10, 8), f = s.Positive(-12, 12);
        const double lt = TP(t, df, kLowerTail), ut = TP(t, df, kUpperTail);
        const double lc = ChiSquareP(x, df, kLowerTail), uc = ChiSquareP(x, df, kUpperTail);
        const double lf = FP(f, df, df2, kLowerTail), uf = FP(f, df, df2, kUpperTail);
        for (double p : {lt, ut, lc, uc, lf, uf, TP(t, df, kTwoSided), ChiSquareP(x, df, kTwoSided)})
            ASSERT_TRUE(IsProbability(p)) << t << ' ' << x << ' ' << f << ' ' << df << ' ' << df2;
        EXPECT_NEAR(lt + ut, 1.0, 1e-13) << t << ' ' << df;
        EXPECT_NEAR(lc + uc, 1.0, 1e-13) << x << ' ' << df;
        EXPECT_NEAR(lf + uf, 1.0, 1e-13) << f << ' ' << df << ' ' << df2;
    }
}

TEST(Properties, QuantilesInvertTheDistributionFunctions) {
    Sweep s(12);
    for (int i = 0; i < 1500; ++i) {
        const double alpha = s.Probability(), df = s.Positive(-1, 7), df2 = s.Positive(-1, 7);
        const double t = TQuantile(alpha, df, kUpperTail);
        // The answer is settled to a relative 1e-8: alpha must lie between the tails at t (1 -+ 1e-7).
        if (std::isfinite(t) && t < 1e299) {
            EXPECT_GE(TP(t * (1 - 1e-7), df, kUpperTail), alpha) << alpha << ' ' << df << ' ' << t;
            EXPECT_LE(TP(t * (1 + 1e-7), df, kUpperTail), alpha) << alpha << ' ' << df << ' ' << t;
        }
        const double f = FQuantile(alpha, df, df2, kUpperTail);
        if (std::isfinite(f) && f < 1e299) {
            EXPECT_GE(FP(f * (1 - 1e-7), df, df2, kUpperTail), alpha) << alpha << ' ' << df << ' ' << df2 << ' ' << f;
            EXPECT_LE(FP(f * (1 + 1e-7), df, df2, kUpperTail), alpha) << alpha << ' ' << df << ' ' << df2 << ' ' << f;
        }
        const double z = NormalQuantile(alpha, 0, 1, kLowerTail);
        EXPECT_NEAR(NormalP(z, 0, 1, kLowerTail) / alpha, 1.0, 1e-12) << alpha;
    }
}

TEST(Properties, BinomialTailsAndIntervals) {
    Sweep s(13);
    for (int i = 0; i < 1500; ++i) {
        const double n = std::floor(s.Positive(0, 6.5)), pr = s.Positive(-6, 0) * 0.999;
        const double k = std::floor(n * s.Positive(-3, 0));
        const double low = BinomialP(n, k, pr, kLowerTail), up = BinomialP(n, k + 1, pr, kUpperTail);
        ASSERT_TRUE(IsProbability(low) && IsProbability(up)) << n << ' ' << k << ' ' << pr;
        if (k < n) {
            EXPECT_NEAR(low + up, 1.0, 1e-12) << n << ' ' << k << ' ' << pr;
        }
        const Interval ci = BinomialProportionCI(0.05, n, k / n, kTwoSided);
        EXPECT_LE(ci.lower, k / n + 1e-12) << n << ' ' << k;
        EXPECT_GE(ci.upper, k / n - 1e-12) << n << ' ' << k;
        // The limits are settled to a relative 1e-8 in the proportion; with a million trials the
        // tail there moves by up to 1e-5 of itself, so the attained alpha may exceed 0.05 by that.
        EXPECT_TRUE(ci.alpha >= 0.0 && ci.alpha <= 0.05 * (1 + 1e-4)) << n << ' ' << k << ' ' << ci.alpha;
    }
}

}  // namespace
}  // namespace qs::numerics
