// The noncentral t distribution.
//
// Method: the lower tail is Lenth's algorithm AS 243 (Applied Statistics 38, 1989, 185-189): a sum
// of incomplete beta ratios weighted by Poisson probabilities in ncp^2 / 2, with the error bound of
// the truncated series, plus Phi(-ncp). The beta ratios come from TOMS 708 (bratio.cpp), the normal
// integral from Cody's (normal.cpp). A negative t is reflected: P(T <= -t; -ncp) = 1 - P(T <= t; ncp).
// Where the Poisson weights underflow (ncp^2 / 2 beyond 1021 ln 2) or df exceeds 4e5, T is taken
// as normal with mean ncp and variance 1 + t^2 / (2 df) evaluated at t (1 - 1 / (4 df)), as R's pt
// does (Abramowitz and Stegun 26.7.10).
// This version:
// - the series stops at an error bound of 1e-13 (the published 1e-12) or after 2000 terms;
// - NoncentralityFor brackets the root by steps that double from ncp = t, then bisects to the
//   last representable digit (the lower tail is monotone in ncp, so no step can miss the root).
#include "addin/numerics/noncentral_t.h"

#include <cmath>
#include <limits>

#include "addin/numerics/cdf.h"
#include "addin/numerics/special.h"

namespace qs::numerics {

namespace {

constexpr double kErrorBound = 1e-13;
constexpr int kMaxTerms = 2000;
constexpr double kLnSqrtPi = 0.572364942924700087071713675677;     // ln(sqrt(pi))
constexpr double kSqrt2OverPi = 0.797884560802865355879892119869;  // sqrt(2 / pi)
constexpr int kMaxBisections = 200;
constexpr double kLargeDf = 4e5;
constexpr double kLargeLambda = 2 * 0.693147180559945309417232121458 * 1021;  // 2 ln 2 (-DBL_MIN_EXP)

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// I_x(a, b), the regularised incomplete beta ratio.
double BetaRatio(double x, double a, double b) {
    double w = 0, w1 = 0;
    int ierr = 0;
    detail::bratio(a, b, x, 0.5 - x + 0.5, w, w1, ierr);
    return ierr == 0 ? w : kNaN;
}

// The series of AS 243 for t >= 0: P(0 < T <= t) less the normal part.
double Series(double t, double df, double del) {
    const double x = t * t / (t * t + df);
    if (x <= 0) return 0;
    const double lambda = del * del;
    double p = 0.5 * std::exp(-0.5 * lambda);
    double q = kSqrt2OverPi * p * del;
    double s = 0.5 - p;
    if (s < 1e-7) s = -0.5 * std::expm1(-0.5 * lambda);  // keeps the digits of a small ncp
    double a = 0.5;
    const double b = 0.5 * df;
    const double rxb = std::pow(1 - x, b);
    const double albeta = kLnSqrtPi + std::lgamma(b) - std::lgamma(0.5 + b);
    double xodd = BetaRatio(x, a, b);
    double godd = 2 * rxb * std::exp(a * std::log(x) - albeta);
    double tnc = b * x;
    double xeven = tnc < detail::kEpsilon ? tnc : 1 - rxb;
    double geven = tnc * rxb;
    tnc = p * xodd + q * xeven;
    for (int it = 1; it <= kMaxTerms; ++it) {
        a += 1;
        xodd -= godd;
        xeven -= geven;
        godd *= x * (a + b - 1) / a;
        geven *= x * (a + b - 0.5) / (a + 0.5);
        p *= lambda / (2 * it);
        q *= lambda / (2 * it + 1);
        tnc += p * xodd + q * xeven;
        s -= p;
        if (s <= 0 && it > 1) break;
        if (std::fabs(2 * s * (xodd - godd)) < kErrorBound && it > 1) break;
    }
    return tnc;
}

}  // namespace

double NoncentralTLower(double t, double df, double ncp) {
    if (std::isnan(t) || std::isnan(df) || std::isnan(ncp) || !(df > 0)) return kNaN;
    if (std::isinf(t)) return t > 0 ? 1.0 : 0.0;
    const bool negative = t < 0;
    const double tt = negative ? -t : t;
    const double del = negative ? -ncp : ncp;
    double cum = 0, ccum = 0;
    if (df > kLargeDf || del * del > kLargeLambda) {
        const double s = 1 / (4 * df);
        cumnor((tt * (1 - s) - del) / std::sqrt(1 + tt * tt * 2 * s), cum, ccum);
        return negative ? ccum : cum;
    }
    cumnor(-del, cum, ccum);
    double tnc = Series(tt, df, del) + cum;  // P(T' <= tt) for T' with ncp del
    if (tnc > 1) tnc = 1;
    if (tnc < 0) tnc = 0;
    return negative ? 1 - tnc : tnc;
}

double NoncentralityFor(double t, double df, double p) {
    if (!std::isfinite(t) || !(df > 0) || !(p > 0 && p < 1)) return kNaN;
    auto above = [&](double ncp) { return NoncentralTLower(t, df, ncp) > p; };  // root lies higher
    double lo = t, hi = t;
    double step = 1;
    if (above(t)) {
        do {
            lo = hi;
            hi = t + step;
            step *= 2;
            if (step > 1e9) return kNaN;
        } while (above(hi));
    } else {
        do {
            hi = lo;
            lo = t - step;
            step *= 2;
            if (step > 1e9) return kNaN;
        } while (!above(lo));
    }
    for (int i = 0; i < kMaxBisections; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi) break;
        (above(mid) ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

}  // namespace qs::numerics
