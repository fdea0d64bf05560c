// Cohen's d, Hedges' g and their noncentral-t intervals against R (pt and uniroot, in
// tests/data/procedures/make_fixtures.R) on the generated datasets of the t tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "addin/numerics/noncentral_t.h"
#include "addin/procedures/effect_size.h"
#include "addin/procedures/location_math.h"
#include "tests/procedures/fixtures.h"

namespace qs::procedures {
namespace {

using numerics::Descriptives;
using testing::EffectReference;

constexpr double kTolerance = 1e-7;

// The error of a value measured against the larger of the value and 1: limits near zero come from
// a root that is found to an absolute accuracy.
double Error(double got, double want) {
    if (std::isinf(want) || std::isinf(got)) return got == want ? 0 : std::numeric_limits<double>::infinity();
    if (std::isnan(want) || std::isnan(got)) return std::isnan(want) && std::isnan(got) ? 0 : 1;
    return std::fabs(got - want) / std::max(1.0, std::fabs(want));
}

void Compare(const EffectSizeResult& got, const EffectReference& r, double& worst) {
    const std::pair<double, double> pairs[] = {{got.d, r.d},          {got.dLower, r.dLower}, {got.dUpper, r.dUpper},
                                               {got.correction, r.j}, {got.g, r.g},           {got.gLower, r.gLower},
                                               {got.gUpper, r.gUpper}};
    const char* names[] = {"d", "d lower", "d upper", "J", "g", "g lower", "g upper"};
    for (size_t i = 0; i < std::size(pairs); ++i) {
        const double e = Error(pairs[i].first, pairs[i].second);
        worst = std::max(worst, e);
        EXPECT_LE(e, kTolerance) << r.Where() << ": " << names[i] << " got " << pairs[i].first << ", R "
                                 << pairs[i].second;
    }
}

double Alpha(const EffectReference& r) { return 1 - r.level / 100; }

void Report(const char* what, double worst, size_t rows) {
    std::printf("  %s worst error %.2e over %zu rows\n", what, worst, rows);
    EXPECT_GE(rows, 30u * 3u * 5u) << "too few reference rows";
}

TEST(EffectSizeAgainstR, OneSample) {
    const auto samples = testing::ReadSamples("one_sample_data.csv");
    const auto refs = testing::ReadEffectSizes("ttest1");
    double worst = 0;
    for (const EffectReference& r : refs)
        Compare(OneSampleEffect(Descriptives(samples.at(r.dataset).first), r.mu, Alpha(r), r.tail), r, worst);
    Report("one sample", worst, refs.size());
}

TEST(EffectSizeAgainstR, IndependentPooled) {
    const auto samples = testing::ReadSamples("two_group_data.csv");
    const auto refs = testing::ReadEffectSizes("ttesti");
    double worst = 0;
    for (const EffectReference& r : refs) {
        const auto& s = samples.at(r.dataset);
        Compare(TwoSampleEffect(Descriptives(s.first), Descriptives(s.second), Alpha(r), r.tail), r, worst);
    }
    Report("independent", worst, refs.size());
}

TEST(EffectSizeAgainstR, PairedWithIncompletePairs) {
    const auto samples = testing::ReadSamples("paired_data.csv");
    const auto refs = testing::ReadEffectSizes("ttestp");
    double worst = 0;
    for (const EffectReference& r : refs) {
        const auto& s = samples.at(r.dataset);
        Compare(PairedEffect(Descriptives(PairDifferences(s.first, s.second)), Alpha(r), r.tail), r, worst);
    }
    Report("paired", worst, refs.size());
}

TEST(EffectSizeAgainstR, NoncentralTOnAGridThroughBothOfRsMethods) {
    // pt(t, df, ncp) from R on a grid that takes R's series and its normal approximation (large ncp
    // or df); the same methods give the same probabilities.
    const testing::Table grid("noncentral_t.csv");
    double worst = 0;
    const size_t rows = grid.Rows();
    for (size_t i = 0; i < rows; ++i) {
        const double t = grid.Number(i, "t"), df = grid.Number(i, "df"), ncp = grid.Number(i, "ncp");
        const double want = grid.Number(i, "p");
        const double got = numerics::NoncentralTLower(t, df, ncp);
        worst = std::max(worst, std::fabs(got - want));
        EXPECT_NEAR(got, want, 1e-9) << "pt(" << t << ", " << df << ", " << ncp << ")";
    }
    std::printf("  noncentral t worst absolute error %.2e over %zu points\n", worst, rows);
    EXPECT_EQ(rows, 384u);
}

TEST(EffectSizeKnownAnswers, CentralCaseAndSymmetry) {
    // ncp 0 is the central t: P(T <= 0) = 1/2, and the reflection P(T <= -t; -ncp) = 1 - P(T <= t; ncp).
    EXPECT_NEAR(numerics::NoncentralTLower(0, 7, 0), 0.5, 1e-15);
    EXPECT_NEAR(numerics::NoncentralTLower(-1.3, 9, -0.7), 1 - numerics::NoncentralTLower(1.3, 9, 0.7), 1e-14);
    // A sample whose mean equals mu: d = 0 and a two-sided interval symmetric about it.
    const Descriptives x(std::vector<double>{1, 2, 3, 4, 5});
    const EffectSizeResult e = OneSampleEffect(x, 3, 0.05, numerics::kTwoSided);
    EXPECT_EQ(e.d, 0);
    EXPECT_NEAR(e.dLower, -e.dUpper, 1e-10);
    // One tail leaves the other side open, as the test's own interval.
    const EffectSizeResult greater = OneSampleEffect(x, 2, 0.05, numerics::kUpperTail);
    EXPECT_EQ(greater.dUpper, std::numeric_limits<double>::infinity());
    EXPECT_LT(greater.dLower, greater.d);
    EXPECT_TRUE(std::isnan(numerics::NoncentralityFor(1, 5, 0)));
}

}  // namespace
}  // namespace qs::procedures
