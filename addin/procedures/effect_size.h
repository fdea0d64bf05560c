// Standardised effect sizes of the t tests: Cohen's d with its interval from the noncentral t
// distribution, and Hedges' small-sample correction of it (g = J d, with the exact
// J = Gamma(df/2) / (sqrt(df/2) Gamma((df-1)/2)), the interval scaled by the same J).
//
// One sample: d = (mean - mu) / SD. Paired: d = mean / SD of the pair differences (d_z). Two
// independent samples: d = (mean(x) - mean(y)) / the pooled SD, whether or not the test assumed
// equal variances. With t = d / k (k = 1 / sqrt(n), or sqrt(1/n1 + 1/n2)) and df that of the
// pooled t, the limits are k times the noncentralities that put t at the interval's tail
// probabilities; with one tail the open side is infinite, as the test's own interval.
#pragma once

#include "addin/numerics/descriptives.h"
#include "addin/numerics/distributions.h"

namespace qs::procedures {

struct EffectSizeResult {
    double d = numerics::MissingValue();
    double dLower = numerics::MissingValue(), dUpper = numerics::MissingValue();
    double correction = numerics::MissingValue();  // J
    double g = numerics::MissingValue();
    double gLower = numerics::MissingValue(), gUpper = numerics::MissingValue();
};

// Hedges' J for df degrees of freedom (0 at df = 1, NaN below).
double HedgesCorrection(double df);

EffectSizeResult OneSampleEffect(const numerics::Descriptives& x, double mu, double alpha, numerics::Tail tail);
EffectSizeResult PairedEffect(const numerics::Descriptives& differences, double alpha, numerics::Tail tail);
EffectSizeResult TwoSampleEffect(const numerics::Descriptives& x, const numerics::Descriptives& y, double alpha,
                                 numerics::Tail tail);

}  // namespace qs::procedures
