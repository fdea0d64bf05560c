// The statistical wrappers: tails, quantiles and intervals over cdfnor, cdft, cdfchi, cdff and
// cdfbin (cdf.h).
//
// Quantiles hand the core the probability alpha (tail 1), 1 - alpha (tail 2) or alpha / 2
// (tail 0) and its complement; the complement is passed as computed from alpha (alpha itself for
// tail 2), not as 1 minus the rounded probability, so that small upper-tail alphas stay exact.
// A core routine that rejects its arguments leaves its output untouched; the wrappers start the
// output at NaN, so a rejected call yields NaN rather than a stale number.
#include "addin/numerics/distributions.h"

#include <cmath>
#include <limits>

#include "addin/numerics/cdf.h"
#include "addin/numerics/numerics_error.h"

namespace qs::numerics {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kRootTwoPi = 2.506628274631;  // sqrt(2 pi) of the normal density
constexpr double kEffectivelyZero = 1e-14;     // standard errors below this have no interval

template <class... T>
bool any_nan(T... v) {
    return (std::isnan(v) || ...);
}

bool valid_tail(Tail tail) { return tail == kTwoSided || tail == kLowerTail || tail == kUpperTail; }

// Lower-tail probability handed to the core for a quantile, and its complement.
struct TailProbability {
    double p;
    double q;
};
TailProbability quantile_probability(double alpha, Tail tail) {
    switch (tail) {
        case kLowerTail: return {alpha, 1.0 - alpha};
        case kUpperTail: return {1.0 - alpha, alpha};
        default: return {alpha / 2.0, 1.0 - alpha / 2.0};
    }
}

double normal_inverse(double p, double q, double mean, double sd) {
    int which = 2, status = 0;
    double x = kNaN, bound = 0.0;
    cdfnor(which, p, q, x, mean, sd, status, bound);
    return x;
}

double t_inverse(double p, double q, double df) {
    int which = 2, status = 0;
    double t = kNaN, bound = 0.0;
    cdft(which, p, q, t, df, status, bound);
    return t;
}

double f_inverse(double p, double q, double dfn, double dfd) {
    int which = 2, status = 0;
    double f = kNaN, bound = 0.0;
    cdff(which, p, q, f, dfn, dfd, status, bound);
    return f;
}

// Lower and upper binomial tails at s: P[X <= s] and P[X > s].
TailProbability binomial_tails(double n, double s, double pr) {
    int which = 1, status = 0;
    double p = kNaN, q = kNaN, bound = 0.0;
    double ompr = 1.0 - pr;
    cdfbin(which, p, q, s, n, pr, ompr, status, bound);
    return {p, q};
}

// Continuous binomial quantile s with P[X <= s] = p (the core's search), NaN on any failure.
double binomial_inverse(double p, double q, double n, double pr) {
    int which = 2, status = 0;
    double s = kNaN, bound = 0.0;
    double ompr = 1.0 - pr;
    try {
        cdfbin(which, p, q, s, n, pr, ompr, status, bound);
    } catch (const NumericsError&) {
        return kNaN;
    }
    if (status != 0 || s < 0.0 || s > n) return kNaN;
    return s;
}

}  // namespace

double MissingValue() { return kNaN; }

double TailP(double p, Tail tail) { return TailP(p, 1.0 - p, tail); }

double TailP(double p, double q, Tail tail) {
    switch (tail) {
        case kLowerTail: return p;
        case kUpperTail: return q;
        case kTwoSided: return 2.0 * std::fmin(p, q);
        default: return kNaN;
    }
}

double NormalP(double x, double mean, double sd, Tail tail) {
    if (any_nan(x, mean, sd) || !valid_tail(tail)) return kNaN;
    int which = 1, status = 0;
    double p = kNaN, q = kNaN, bound = 0.0;
    cdfnor(which, p, q, x, mean, sd, status, bound);
    return TailP(p, q, tail);
}

double NormalQuantile(double alpha, double mean, double sd, Tail tail) {
    if (any_nan(alpha, mean, sd) || !valid_tail(tail)) return kNaN;
    const TailProbability pq = quantile_probability(alpha, tail);
    return normal_inverse(pq.p, pq.q, mean, sd);
}

double NormalDensity(double x, double mean, double sd) {
    const double z = (x - mean) / sd;
    return std::exp(-z * z / 2.0) / (sd * kRootTwoPi);
}

Interval NormalCI(double alpha, double estimate, double se, Tail tail) {
    if (!valid_tail(tail)) return {alpha, kNaN, kNaN};
    const double a = (tail == kTwoSided) ? alpha / 2.0 : alpha;
    // z = NormalQuantile(1 - a, 0, 1, lower tail), with the complement a passed exactly.
    const double z = any_nan(alpha) ? kNaN : normal_inverse(1.0 - a, a, 0.0, 1.0);
    const double half = se * z;
    switch (tail) {
        case kLowerTail: return {alpha, -kInfinity, estimate + half};
        case kUpperTail: return {alpha, estimate - half, kInfinity};
        default: return {alpha, estimate - half, estimate + half};
    }
}

double TP(double t, double df, Tail tail) {
    if (any_nan(t, df) || !valid_tail(tail)) return kNaN;
    int which = 1, status = 0;
    double p = kNaN, q = kNaN, bound = 0.0;
    cdft(which, p, q, t, df, status, bound);
    return TailP(p, q, tail);
}

double TQuantile(double alpha, double df, Tail tail) {
    if (any_nan(alpha, df) || !valid_tail(tail)) return kNaN;
    const TailProbability pq = quantile_probability(alpha, tail);
    return t_inverse(pq.p, pq.q, df);
}

Interval TCI(double alpha, double estimate, double se, double df, Tail tail) {
    if (!valid_tail(tail)) return {alpha, kNaN, kNaN};
    const double a = (tail == kTwoSided) ? alpha / 2.0 : alpha;
    double t = kNaN;
    if (!any_nan(alpha, df) && std::fabs(se) >= kEffectivelyZero) t = t_inverse(1.0 - a, a, df);
    const double half = se * t;
    switch (tail) {
        case kLowerTail: return {alpha, -kInfinity, estimate + half};
        case kUpperTail: return {alpha, estimate - half, kInfinity};
        default: return {alpha, estimate - half, estimate + half};
    }
}

double ChiSquareP(double x, double df, Tail tail) {
    if (any_nan(x, df) || !valid_tail(tail)) return kNaN;
    int which = 1, status = 0;
    double p = kNaN, q = kNaN, bound = 0.0;
    cdfchi(which, p, q, x, df, status, bound);
    if (status == 10) return kNaN;
    return TailP(p, q, tail);
}

double FP(double f, double dfn, double dfd, Tail tail) {
    if (any_nan(f, dfn, dfd) || !valid_tail(tail)) return kNaN;
    int which = 1, status = 0;
    double p = kNaN, q = kNaN, bound = 0.0;
    cdff(which, p, q, f, dfn, dfd, status, bound);
    return TailP(p, q, tail);
}

double FQuantile(double alpha, double dfn, double dfd, Tail tail) {
    if (any_nan(alpha, dfn, dfd) || !valid_tail(tail)) return kNaN;
    const TailProbability pq = quantile_probability(alpha, tail);
    return f_inverse(pq.p, pq.q, dfn, dfd);
}

Interval FRatioCI(double alpha, double ratio, double df1, double df2, Tail tail) {
    if (!valid_tail(tail)) return {alpha, kNaN, kNaN};
    const double a = (tail == kTwoSided) ? alpha / 2.0 : alpha;
    const bool bad = any_nan(alpha, ratio, df1, df2);
    double lower = 0.0;
    double upper = kInfinity;
    if (tail != kLowerTail) lower = bad ? kNaN : ratio / f_inverse(1.0 - a, a, df1, df2);
    if (tail != kUpperTail) upper = bad ? kNaN : ratio * f_inverse(1.0 - a, a, df2, df1);
    return {alpha, lower, upper};
}

bool DiscreteTailPrep(double& statistic, double& p, double centre, double lowest, double /*highest*/, Tail tail,
                      double step) {
    if (tail == kTwoSided && std::floor(statistic) == centre) {
        p = 0.5;
        return false;
    }
    if (tail == kUpperTail || (tail == kTwoSided && statistic > centre)) {
        statistic = std::floor(statistic - step);
        if (statistic >= lowest) return true;
        p = 0.0;
        return false;
    }
    statistic = std::ceil(statistic);
    return true;
}

double BinomialP(double n, double s, double pr, Tail tail) {
    if (any_nan(n, s, pr) || !valid_tail(tail)) return kNaN;
    double p = kNaN;
    if (!DiscreteTailPrep(s, p, n * pr, 0.0, n, tail, 1.0)) return TailP(p, tail);
    const TailProbability pq = binomial_tails(n, s, pr);
    return TailP(pq.p, pq.q, tail);
}

double BinomialQuantile(double alpha, double n, double pr, Tail tail) {
    if (any_nan(alpha, n, pr) || !valid_tail(tail)) return kNaN;
    const TailProbability pq = quantile_probability(alpha, tail);
    return binomial_inverse(pq.p, pq.q, n, pr);
}

double BinomialProportionBound(double p, double n, double s, Tail tail) {
    if (any_nan(p, n, s) || !valid_tail(tail)) return kNaN;
    int which = 4, status = 0;
    double q = 1.0 - p, bound = 0.0;
    double pr = kNaN, ompr = kNaN;
    cdfbin(which, p, q, s, n, pr, ompr, status, bound);
    switch (tail) {
        case kLowerTail: return pr;
        case kUpperTail: return ompr;  // 1 - pr, as the core carries it
        default: return pr / 2.0;
    }
}

Interval BinomialProportionCI(double alpha, double n, double proportion, Tail tail) {
    if (!valid_tail(tail)) return {alpha, kNaN, kNaN};
    if (any_nan(alpha, n, proportion)) return {alpha, kNaN, kNaN};
    // s is a count: n x (s / n) misses the integer by a rounding (24354 * (1 / 156346) * ...),
    // and a count of 24353.999999999996 would move the discrete tail by a whole term. Products
    // within 1e-9 of an integer are that integer.
    double s = n * proportion;
    if (std::fabs(s - std::round(s)) <= 1e-9 * std::fmax(1.0, std::fabs(s))) s = std::round(s);
    const double a = (tail == kTwoSided) ? alpha / 2.0 : alpha;
    double attained = 0.0;
    double lower = 0.0;
    double upper = 1.0;
    if (tail != kLowerTail) {
        lower = BinomialProportionBound(a, n, n - s, kUpperTail);
        if (lower != 0.0) attained = BinomialP(n, s, lower, kUpperTail);
    }
    if (tail != kUpperTail) {
        upper = BinomialProportionBound(a, n, s, kLowerTail);
        if (upper != 1.0) attained += BinomialP(n, s, upper, kLowerTail);
    }
    return {attained, lower, upper};
}

Interval BinomialRankCI(double alpha, double n, double pr, Tail tail) {
    if (!valid_tail(tail) || any_nan(alpha, n, pr)) return {alpha, kNaN, kNaN};
    double attained = 0.0;
    double lower = -kInfinity;
    double upper = kInfinity;
    double a = alpha;
    if (tail != kLowerTail) {
        a = (tail == kUpperTail) ? alpha : alpha / 2.0;
        lower = std::trunc(binomial_inverse(a, 1.0 - a, n, pr));
        if (!std::isnan(lower)) attained = BinomialP(n, lower, pr, kLowerTail);
    }
    if (tail != kUpperTail) {
        // Quantile at 1 - a, its complement a passed exactly.
        upper = std::trunc(binomial_inverse(1.0 - a, a, n, pr) + 1.0);
        if (!std::isnan(upper)) attained += binomial_tails(n, upper, pr).q;  // P[X > upper]
        if (n <= upper) upper = kNaN;
    }
    if (std::isnan(lower) || std::isnan(upper)) return {alpha, kNaN, kNaN};
    return {attained, lower, upper};
}

}  // namespace qs::numerics
