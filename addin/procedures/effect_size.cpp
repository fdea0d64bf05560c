#include "addin/procedures/effect_size.h"

#include <cmath>
#include <limits>

#include "addin/numerics/noncentral_t.h"

namespace qs::procedures {

namespace {

using numerics::Descriptives;
using numerics::Tail;

constexpr double kInf = std::numeric_limits<double>::infinity();

// d = t k with its interval: the noncentralities that give t the tail probabilities.
EffectSizeResult FromT(double t, double df, double k, double alpha, Tail tail) {
    EffectSizeResult r;
    r.d = t * k;
    const double upperTail = tail == numerics::kTwoSided ? alpha / 2 : alpha;
    r.dLower = tail == numerics::kLowerTail ? -kInf : k * numerics::NoncentralityFor(t, df, 1 - upperTail);
    r.dUpper = tail == numerics::kUpperTail ? kInf : k * numerics::NoncentralityFor(t, df, upperTail);
    r.correction = HedgesCorrection(df);
    r.g = r.correction * r.d;
    r.gLower = r.correction * r.dLower;
    r.gUpper = r.correction * r.dUpper;
    return r;
}

}  // namespace

double HedgesCorrection(double df) {
    if (!(df >= 1)) return numerics::MissingValue();  // 0 at df = 1, where Gamma((df-1)/2) is infinite
    return std::exp(std::lgamma(df / 2) - std::lgamma((df - 1) / 2) - 0.5 * std::log(df / 2));
}

EffectSizeResult OneSampleEffect(const Descriptives& x, double mu, double alpha, Tail tail) {
    const double n = x.N();
    const double k = 1 / std::sqrt(n);
    return FromT((x.Mean() - mu) / x.SD() / k, n - 1, k, alpha, tail);
}

EffectSizeResult PairedEffect(const Descriptives& differences, double alpha, Tail tail) {
    return OneSampleEffect(differences, 0.0, alpha, tail);
}

EffectSizeResult TwoSampleEffect(const Descriptives& x, const Descriptives& y, double alpha, Tail tail) {
    const double n1 = x.N(), n2 = y.N();
    const double df = n1 + n2 - 2;
    const double pooled = std::sqrt((x.SumSquaredDeviations() + y.SumSquaredDeviations()) / df);
    const double k = std::sqrt(1 / n1 + 1 / n2);
    return FromT((x.Mean() - y.Mean()) / pooled / k, df, k, alpha, tail);
}

}  // namespace qs::procedures
