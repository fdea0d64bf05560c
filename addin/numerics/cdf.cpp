// cdfnor, cdft, cdfchi, cdff, cdfbin and their cumulative functions.
//
// Method: DCDFLIB (B. W. Brown, J. Lovato, K. Russell, M. D. Anderson Cancer Center). The
// cumulative functions reduce to Cody's normal integral (normal.cpp), the incomplete gamma ratio
// of TOMS 654 (chi-square, gratio.cpp) and the incomplete beta ratio of TOMS 708 (t, F,
// binomial, bratio.cpp). Inversion for any parameter but the normal ones is a bracketing search
// (search.h) started at 5, or at the Cornish-Fisher type approximation dt1 for t.
// Settings: step 0.5 absolute and relative, step multiplier 5, tolerance 1e-50 absolute and
// 1e-8 relative. Ranges: t in [-1e300, 1e300]; df of t in [1e-300, 1e10]; chi-square x and F f
// in [0, 1e300]; other dfs in [1e-300, 1e300]; binomial s in [0, xn], xn in [1e-300, 1e300],
// pr by the zero finder on [0, 1].
// This version:
// - the searched function is scaled by 1 / min(p, q) (search_scale), so targets near 1e-300
//   do not push the zero finder into subnormal arithmetic;
// - cumt forms df / t^2 without overflow for |t| >= 1e150 and takes the tail from its logarithm
//   when that ratio underflows (the published t * t overflows beyond 1.3e154 and gives a zero
//   tail, wrong for df below about 2);
// - cumt for df = 1 takes the closed form atan2(1, |t|) / pi of its tail instead of the series
//   for I_x(1/2, 1/2) (faster, and within 1.4e-16 relative where the series erred by 3.5e-14);
// - the search of cdft which = 2 keeps bratio's shape constants for its df (BetaShapeMemo)
//   and evaluates the two ends of its range once; neither changes a result;
// - an infinite chi-square argument gives the limit (the published gratio forms inf - inf);
// - which = 1 of cdfchi reports status 10 when gratio flags an error;
// - cdfbin which = 4 refines the smaller of pr and 1 - pr (refine_small_probability);
// - cdfbin which = 2 starts at min(5, xn): the published start of 5 lies outside the range
//   [0, xn] for fewer than 5 trials, and the search would reject it instead of answering.
#include "addin/numerics/cdf.h"

#include <algorithm>
#include <cmath>

#include "addin/numerics/search.h"
#include "addin/numerics/special.h"

namespace qs::numerics {

namespace {

constexpr double kInf = 1.0e300;    // search bound standing for infinity
constexpr double kZero = 1.0e-300;  // search bound standing for zero
constexpr double kMaxDfT = 1.0e10;  // largest df searched for t
constexpr double kAbsTol = 1.0e-50;
constexpr double kRelTol = 1.0e-8;
constexpr double kStep = 0.5;
constexpr double kStepMul = 5.0;
constexpr double kPi = 3.141592653589793;

detail::SearchRange range(double small, double big) { return {small, big, kStep, kStep, kStepMul, kAbsTol, kRelTol}; }

bool sum_is_not_one(double a, double b) { return std::fabs(((a + b) - 0.5) - 0.5) > 3.0 * detail::kEpsilon; }

void cumbet(double x, double y, double a, double b, double& cum, double& ccum, detail::BetaShapeMemo* memo = nullptr) {
    if (x <= 0.0) {
        cum = 0.0;
        ccum = 1.0;
        return;
    }
    if (y <= 0.0) {
        cum = 1.0;
        ccum = 0.0;
        return;
    }
    int ierr;
    detail::bratio(a, b, x, y, cum, ccum, ierr, memo);
}

void cumgam(double x, double a, double& cum, double& ccum) {
    if (x <= 0.0) {
        cum = 0.0;
        ccum = 1.0;
        return;
    }
    if (std::isinf(x)) {
        cum = 1.0;
        ccum = 0.0;
        return;
    }
    cum = 2.0;
    ccum = 2.0;
    detail::gratio(a, x, cum, ccum, 0);
}

// The searches solve cum - p = 0 (or ccum - q = 0 for the smaller q). For p near 1e-300 the
// function values, and the divided differences the zero finder forms from them, fall into the
// subnormal range and the iteration loses its way. Dividing by the smaller of p and q changes
// no iterate in exact arithmetic (every test in dinvr and dzror is invariant under scaling f)
// but keeps the values near 1.
double search_scale(double p, double q) {
    const double porq = std::fmin(p, q);
    return porq > 0.0 ? 1.0 / porq : 1.0;
}

// Status and bound after a failed search.
void search_failure(const detail::SearchOutcome& o, double low, double high, int& status, double& bound) {
    if (o.status != -1) return;
    if (o.qleft) {
        status = 1;
        bound = low;
    } else {
        status = 2;
        bound = high;
    }
}

// dt1 coefficients: terms of the expansion in x^2, degree 1..4 in 1/df.
constexpr double kDt1Coef[4][5] = {{1.0, 1.0, 0.0, 0.0, 0.0},
                                   {3.0, 16.0, 5.0, 0.0, 0.0},
                                   {-15.0, 17.0, 19.0, 3.0, 0.0},
                                   {-945.0, -1920.0, 1482.0, 776.0, 79.0}};
constexpr int kDt1Degree[4] = {2, 3, 4, 5};
constexpr double kDt1Denom[4] = {4.0, 96.0, 384.0, 92160.0};

// cumt, with the incomplete beta's shape constants kept in memo when one is given (a search
// over t at fixed df).
void cumt_with(double t, double df, double& cum, double& ccum, detail::BetaShapeMemo* memo) {
    if (df == 1.0) {
        // I_x(1/2, 1/2) = (2 / pi) asin(sqrt(x)) in closed form; with x = 1 / (1 + t^2) the
        // tail beyond |t| is atan(1 / |t|) / pi, formed without rounding 1 / |t|.
        const double tail = std::atan2(1.0, std::fabs(t)) / kPi;
        if (t <= 0.0) {
            cum = tail;
            ccum = 1.0 - tail;
        } else {
            ccum = tail;
            cum = 1.0 - tail;
        }
        return;
    }
    double xx, yy;
    if (std::fabs(t) < 1e150) {
        const double tt = t * t;
        const double dfptt = df + tt;
        xx = df / dfptt;
        yy = tt / dfptt;
    } else {
        // t * t would overflow: xx = df / (df + t^2) is df / t^2 to working precision, and may
        // itself underflow while the tail it gives, about xx^(df / 2), is still a normal number.
        // Below 1e-300 the incomplete beta ratio is its leading power-series term,
        // I_x(a, 1/2) = x^a / (a B(a, 1/2)), exactly to double precision.
        xx = (df / std::fabs(t)) / std::fabs(t);
        if (xx < 1e-300) {
            const double a = 0.5 * df;
            const double lnx = std::log(df) - 2.0 * std::log(std::fabs(t));
            // a B(a, 1/2) >= 1, so the exponent is at most a ln x: below -746 exp gives 0 anyway.
            const double tail =
                (a * lnx < -746.0) ? 0.0 : 0.5 * std::exp(a * lnx - std::log(a) - detail::betaln(a, 0.5));
            if (t <= 0.0) {
                cum = tail;
                ccum = 1.0 - tail;
            } else {
                ccum = tail;
                cum = 1.0 - tail;
            }
            return;
        }
        yy = 1.0 - xx;
    }
    double a, oma;
    cumbet(xx, yy, 0.5 * df, 0.5, a, oma, memo);
    if (t <= 0.0) {
        cum = 0.5 * a;
        ccum = oma + cum;
    } else {
        ccum = 0.5 * a;
        cum = oma + ccum;
    }
}

}  // namespace

void cumt(double t, double df, double& cum, double& ccum) { cumt_with(t, df, cum, ccum, nullptr); }

void cumchi(double x, double df, double& cum, double& ccum) { cumgam(x * 0.5, df * 0.5, cum, ccum); }

void cumf(double f, double dfn, double dfd, double& cum, double& ccum) {
    if (f <= 0.0) {
        cum = 0.0;
        ccum = 1.0;
        return;
    }
    const double prod = dfn * f;
    // The smaller of xx and yy is formed directly, the larger as its complement.
    const double dsum = dfd + prod;
    double xx = dfd / dsum;
    double yy;
    if (xx > 0.5) {
        yy = prod / dsum;
        xx = 1.0 - yy;
    } else {
        yy = 1.0 - xx;
    }
    int ierr;
    detail::bratio(dfd * 0.5, dfn * 0.5, xx, yy, ccum, cum, ierr);
}

void cumbin(double s, double xn, double pr, double ompr, double& cum, double& ccum) {
    if (s < xn) {
        cumbet(pr, ompr, s + 1.0, xn - s, ccum, cum);
    } else {
        cum = 1.0;
        ccum = 0.0;
    }
}

double dt1(double p, double q, double df) {
    const double x = std::fabs(dinvnr(p, q));
    const double xx = x * x;
    double sum = x;
    double denpow = 1.0;
    for (int i = 0; i < 4; ++i) {
        double term = 0.0;
        for (int k = kDt1Degree[i] - 1; k >= 0; --k) term = term * xx + kDt1Coef[i][k];
        term *= x;
        denpow *= df;
        sum += term / (denpow * kDt1Denom[i]);
    }
    return (p >= 0.5) ? sum : -sum;
}

void cdfnor(int& which, double& p, double& q, double& x, double& mean, double& sd, int& status, double& bound) {
    status = 0;
    bound = 0.0;
    if (which < 1 || which > 4) {
        bound = (which < 1) ? 1.0 : 4.0;
        status = -1;
        return;
    }
    if (which != 1) {
        if (p <= 0.0 || p > 1.0) {
            bound = (p <= 0.0) ? 0.0 : 1.0;
            status = -2;
            return;
        }
        if (q <= 0.0 || q > 1.0) {
            bound = (q <= 0.0) ? 0.0 : 1.0;
            status = -3;
            return;
        }
        if (sum_is_not_one(p, q)) {
            bound = (p + q < 0.0) ? 0.0 : 1.0;
            status = 3;
            return;
        }
    }
    if (which != 4 && sd <= 0.0) {
        bound = 0.0;
        status = -6;
        return;
    }
    switch (which) {
        case 1: cumnor((x - mean) / sd, p, q); break;
        case 2: x = sd * dinvnr(p, q) + mean; break;
        case 3: mean = x - sd * dinvnr(p, q); break;
        case 4: sd = (x - mean) / dinvnr(p, q); break;
    }
}

void cdft(int& which, double& p, double& q, double& t, double& df, int& status, double& bound) {
    status = 0;
    bound = 0.0;
    if (which < 1 || which > 3) {
        bound = (which < 1) ? 1.0 : 3.0;
        status = -1;
        return;
    }
    if (which != 1) {
        if (p <= 0.0 || p > 1.0) {
            bound = (p <= 0.0) ? 0.0 : 1.0;
            status = -2;
            return;
        }
        if (q <= 0.0 || q > 1.0) {
            bound = (q <= 0.0) ? 0.0 : 1.0;
            status = -3;
            return;
        }
        if (sum_is_not_one(p, q)) {
            bound = (p + q < 0.0) ? 0.0 : 1.0;
            status = 3;
            return;
        }
    }
    if (which != 3 && df <= 0.0) {
        bound = 0.0;
        status = -5;
        return;
    }
    const bool qporq = p <= q;
    const double scale = search_scale(p, q);
    auto target = [&](double cum, double ccum) { return (qporq ? cum - p : ccum - q) * scale; };
    if (which == 1) {
        cumt(t, df, p, q);
    } else if (which == 2) {
        t = dt1(p, q, df);
        // Every evaluation is at the same df: the incomplete beta's constants are formed once,
        // and the two ends of the range, where cumt(-v) is cumt(v) with the tails exchanged,
        // share one evaluation.
        detail::BetaShapeMemo memo;
        double far_cum, far_ccum;  // at -kInf
        cumt_with(-kInf, df, far_cum, far_ccum, &memo);
        const auto o = detail::dinvr(range(-kInf, kInf), t, [&](double v) {
            double cum, ccum;
            if (v == -kInf) {
                cum = far_cum;
                ccum = far_ccum;
            } else if (v == kInf) {
                cum = far_ccum;
                ccum = far_cum;
            } else {
                cumt_with(v, df, cum, ccum, &memo);
            }
            return target(cum, ccum);
        });
        search_failure(o, -kInf, kInf, status, bound);
    } else {
        df = 5.0;
        const auto o = detail::dinvr(range(kZero, kMaxDfT), df, [&](double v) {
            double cum, ccum;
            cumt(t, v, cum, ccum);
            return target(cum, ccum);
        });
        search_failure(o, kZero, kMaxDfT, status, bound);
    }
}

void cdfchi(int& which, double& p, double& q, double& x, double& df, int& status, double& bound) {
    status = 0;
    bound = 0.0;
    if (which < 1 || which > 3) {
        bound = (which < 1) ? 1.0 : 3.0;
        status = -1;
        return;
    }
    if (which != 1) {
        if (p < 0.0 || p > 1.0) {
            bound = (p < 0.0) ? 0.0 : 1.0;
            status = -2;
            return;
        }
        if (q <= 0.0 || q > 1.0) {
            bound = (q <= 0.0) ? 0.0 : 1.0;
            status = -3;
            return;
        }
    }
    if (which != 2 && x < 0.0) {
        bound = 0.0;
        status = -4;
        return;
    }
    if (which != 3 && df <= 0.0) {
        bound = 0.0;
        status = -5;
        return;
    }
    bool qporq = true;
    double porq = 0.0;
    if (which != 1) {
        if (sum_is_not_one(p, q)) {
            bound = (p + q < 0.0) ? 0.0 : 1.0;
            status = 3;
            return;
        }
        qporq = p <= q;
        porq = qporq ? p : q;
    }
    if (which == 1) {
        cumchi(x, df, p, q);
        if (p > 1.5) status = 10;
        return;
    }
    bool failed = false;  // gratio could not answer during the search
    const double scale = search_scale(p, q);
    auto f = [&](double cum, double ccum) {
        const double fx = qporq ? cum - p : ccum - q;
        if (fx + porq > 1.5) failed = true;
        return fx * scale;
    };
    detail::SearchOutcome o;
    if (which == 2) {
        x = 5.0;
        o = detail::dinvr(range(0.0, kInf), x, [&](double v) {
            double cum, ccum;
            cumchi(v, df, cum, ccum);
            return f(cum, ccum);
        });
        search_failure(o, 0.0, kInf, status, bound);
    } else {
        df = 5.0;
        o = detail::dinvr(range(kZero, kInf), df, [&](double v) {
            double cum, ccum;
            cumchi(x, v, cum, ccum);
            return f(cum, ccum);
        });
        search_failure(o, kZero, kInf, status, bound);
    }
    if (failed) status = 10;
}

void cdff(int& which, double& p, double& q, double& f, double& dfn, double& dfd, int& status, double& bound) {
    status = 0;
    bound = 0.0;
    if (which < 1 || which > 4) {
        bound = (which < 1) ? 1.0 : 4.0;
        status = -1;
        return;
    }
    if (which != 1) {
        if (p < 0.0 || p > 1.0) {
            bound = (p < 0.0) ? 0.0 : 1.0;
            status = -2;
            return;
        }
        if (q <= 0.0 || q > 1.0) {
            bound = (q <= 0.0) ? 0.0 : 1.0;
            status = -3;
            return;
        }
    }
    if (which != 2 && f < 0.0) {
        bound = 0.0;
        status = -4;
        return;
    }
    if (which != 3 && dfn <= 0.0) {
        bound = 0.0;
        status = -5;
        return;
    }
    if (which != 4 && dfd <= 0.0) {
        bound = 0.0;
        status = -6;
        return;
    }
    if (which != 1 && sum_is_not_one(p, q)) {
        bound = (p + q < 0.0) ? 0.0 : 1.0;
        status = 3;
        return;
    }
    const bool qporq = p <= q;
    const double scale = search_scale(p, q);
    auto target = [&](double cum, double ccum) { return (qporq ? cum - p : ccum - q) * scale; };
    detail::SearchOutcome o;
    switch (which) {
        case 1: cumf(f, dfn, dfd, p, q); return;
        case 2:
            f = 5.0;
            o = detail::dinvr(range(0.0, kInf), f, [&](double v) {
                double cum, ccum;
                cumf(v, dfn, dfd, cum, ccum);
                return target(cum, ccum);
            });
            search_failure(o, 0.0, kInf, status, bound);
            return;
        case 3:
            dfn = 5.0;
            o = detail::dinvr(range(kZero, kInf), dfn, [&](double v) {
                double cum, ccum;
                cumf(f, v, dfd, cum, ccum);
                return target(cum, ccum);
            });
            search_failure(o, kZero, kInf, status, bound);
            return;
        default:
            dfd = 5.0;
            o = detail::dinvr(range(kZero, kInf), dfd, [&](double v) {
                double cum, ccum;
                cumf(f, dfn, v, cum, ccum);
                return target(cum, ccum);
            });
            search_failure(o, kZero, kInf, status, bound);
            return;
    }
}

namespace {
// The zero finder settles the variable it searched (pr when p <= q, else ompr) to a relative
// 1e-8, so when the answer makes the other one the smaller, that one is only known to an
// absolute 1e-8 (a lower confidence limit of 1e-7 would carry a 10% error). A second zero
// search in the smaller variable, bracketed around the first answer, restores its relative
// accuracy; if the bracket fails to hold a sign change the first answer stands.
void refine_small_probability(double s, double xn, double p, double q, bool qporq, double& pr, double& ompr) {
    const bool pr_is_small = pr < ompr;
    if (pr_is_small == qporq) return;  // the small one was searched already
    const double v0 = pr_is_small ? pr : ompr;
    const double width = 4.0 * kRelTol;
    const double lo = std::max(0.0, v0 - width), hi = std::min(1.0, v0 + width);
    double v = v0;
    const auto o = detail::dzror(lo, hi, kAbsTol, kRelTol, v, [&](double u) {
        double cum, ccum;
        if (pr_is_small)
            cumbin(s, xn, u, 1.0 - u, cum, ccum);
        else
            cumbin(s, xn, 1.0 - u, u, cum, ccum);
        return (qporq ? cum - p : ccum - q) * search_scale(p, q);
    });
    if (o.status != 0) return;
    if (pr_is_small) {
        pr = v;
        ompr = 1.0 - v;
    } else {
        ompr = v;
        pr = 1.0 - v;
    }
}
}  // namespace

void cdfbin(int& which, double& p, double& q, double& s, double& xn, double& pr, double& ompr, int& status,
            double& bound) {
    status = 0;
    bound = 0.0;
    if (which < 1 || which > 4) {
        bound = (which < 1) ? 1.0 : 4.0;
        status = -1;
        return;
    }
    if (which != 1) {
        if (p < 0.0 || p > 1.0) {
            bound = (p < 0.0) ? 0.0 : 1.0;
            status = -2;
            return;
        }
        if (q < 0.0 || q > 1.0) {
            bound = (q < 0.0) ? 0.0 : 1.0;
            status = -3;
            return;
        }
    }
    if (which != 3 && xn <= 0.0) {
        bound = 0.0;
        status = -5;
        return;
    }
    if (which != 2 && (s < 0.0 || (which != 3 && s > xn))) {
        bound = (s < 0.0) ? 0.0 : xn;
        status = -4;
        return;
    }
    if (which != 4) {
        if (pr < 0.0 || pr > 1.0) {
            bound = (pr < 0.0) ? 0.0 : 1.0;
            status = -6;
            return;
        }
        if (ompr < 0.0 || ompr > 1.0) {
            bound = (ompr < 0.0) ? 0.0 : 1.0;
            status = -7;
            return;
        }
    }
    if (which != 1 && sum_is_not_one(p, q)) {
        bound = (p + q < 0.0) ? 0.0 : 1.0;
        status = 3;
        return;
    }
    if (which != 4 && sum_is_not_one(pr, ompr)) {
        bound = (pr + ompr < 0.0) ? 0.0 : 1.0;
        status = 4;
        return;
    }
    const bool qporq = p <= q;
    const double scale = search_scale(p, q);
    auto target = [&](double cum, double ccum) { return (qporq ? cum - p : ccum - q) * scale; };
    if (which == 1) {
        cumbin(s, xn, pr, ompr, p, q);
    } else if (which == 2) {
        s = std::min(5.0, xn);  // the usual start of 5 would lie outside [0, xn] for xn < 5
        const auto o = detail::dinvr(range(0.0, xn), s, [&](double v) {
            double cum, ccum;
            cumbin(v, xn, pr, ompr, cum, ccum);
            return target(cum, ccum);
        });
        search_failure(o, 0.0, xn, status, bound);
    } else if (which == 3) {
        xn = 5.0;
        const auto o = detail::dinvr(range(kZero, kInf), xn, [&](double v) {
            double cum, ccum;
            cumbin(s, v, pr, ompr, cum, ccum);
            return target(cum, ccum);
        });
        search_failure(o, kZero, kInf, status, bound);
    } else {
        detail::SearchOutcome o;
        if (qporq) {
            o = detail::dzror(0.0, 1.0, kAbsTol, kRelTol, pr, [&](double v) {
                double cum, ccum;
                cumbin(s, xn, v, 1.0 - v, cum, ccum);
                return (cum - p) * scale;
            });
            ompr = 1.0 - pr;
        } else {
            o = detail::dzror(0.0, 1.0, kAbsTol, kRelTol, ompr, [&](double v) {
                double cum, ccum;
                cumbin(s, xn, 1.0 - v, v, cum, ccum);
                return (ccum - q) * scale;
            });
            pr = 1.0 - ompr;
        }
        search_failure(o, 0.0, 1.0, status, bound);
        if (status == 0) refine_small_probability(s, xn, p, q, qporq, pr, ompr);
    }
}

}  // namespace qs::numerics
