// The arithmetic of the z, t and F tests over plain summaries of the observations, kept apart from
// the Test classes so that it can be checked without a host.
//
// Alpha is 1 - level / 100; the tail is 0 two-sided, 1 lower ("less than"), 2 upper ("greater
// than"). Intervals are intervals of the difference (or of the variance ratio), never of the
// means; with one tail the open side is infinite. Nothing here throws: what cannot be computed is
// NaN, and a zero standard error gives what the arithmetic gives (infinite t, p 0 or 1, interval
// limits NaN).
#pragma once

#include <span>
#include <vector>

#include "addin/numerics/descriptives.h"
#include "addin/numerics/distributions.h"

namespace qs::procedures {

// A difference tested against zero through its standard error: the interval, the statistic
// (t or Z) and the p-value. df is NaN for the normal (Z) tests.
struct LocationResult {
    double difference = numerics::MissingValue();
    double se = numerics::MissingValue();
    double df = numerics::MissingValue();
    double statistic = numerics::MissingValue();
    double p = numerics::MissingValue();
    numerics::Interval ci{numerics::MissingValue(), numerics::MissingValue(), numerics::MissingValue()};
};

// The ratio of two sample variances with its degrees of freedom.
struct VarianceRatioResult {
    double ratio = numerics::MissingValue();
    double df1 = numerics::MissingValue();
    double df2 = numerics::MissingValue();
    double p = numerics::MissingValue();
    numerics::Interval ci{numerics::MissingValue(), numerics::MissingValue(), numerics::MissingValue()};
};

// The core shared by every t test: interval from the t quantile, t = difference / se, p from t.
LocationResult TFromDifference(double difference, double se, double df, double alpha, numerics::Tail tail);

// One sample t: difference mean - mu, SE = SD / sqrt(n), df = n - 1.
LocationResult OneSampleT(const numerics::Descriptives& x, double mu, double alpha, numerics::Tail tail);

// One sample Z with a known population SD: SE = sigma / sqrt(n), normal interval and p.
LocationResult OneSampleZ(const numerics::Descriptives& x, double mu, double sigma, double alpha, numerics::Tail tail);

// Two independent samples, difference mean(x) - mean(y). Pooled: df = n1 + n2 - 2 and
// SE = sqrt((SS1 + SS2) / df (1/n1 + 1/n2)). Unequal variances (Welch): SE = sqrt(a + b) with
// a = s1^2/n1, b = s2^2/n2, df = (a + b)^2 / (a^2/(n1 - 1) + b^2/(n2 - 1)), not rounded.
LocationResult TwoSampleT(const numerics::Descriptives& x, const numerics::Descriptives& y, bool unequal, double alpha,
                          numerics::Tail tail);

// x - y over the observations where both are present (finite); the pairs beyond the shorter
// vector are incomplete.
std::vector<double> PairDifferences(std::span<const double> x, std::span<const double> y);

// Paired t: the one sample t of the pair differences against zero.
LocationResult PairedT(const numerics::Descriptives& differences, double alpha, numerics::Tail tail);

// F = s1^2 / s2^2 with df1 = n1 - 1, df2 = n2 - 1; the interval is that of the ratio of the
// population variances.
VarianceRatioResult VarianceRatio(const numerics::Descriptives& x, const numerics::Descriptives& y, double alpha,
                                  numerics::Tail tail);

}  // namespace qs::procedures
