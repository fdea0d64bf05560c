// Elementary functions accurate near their cancellation points: exp(x) - 1, ln(1 + a),
// x - 1 - ln x, x - ln(1 + x), exp(mu + x) without premature overflow, and the limits of exp.
//
// Method and constants: the rational approximations REXP, ALNREL, RLOG, RLOG1, ESUM and EXPARG
// of Didonato and Morris, "Significant digit computation of the incomplete beta function
// ratios", ACM TOMS 18 (1992) 360-373 (Algorithm 708), also used by Algorithm 654.
// This version: exparg is computed for IEEE double directly (no ipmpar table).
#include <cmath>

#include "addin/numerics/special.h"

namespace qs::numerics::detail {

namespace {
// rexp: exp(x) - 1 on |x| <= 0.15
constexpr double kRexpP[] = {0.914041914819518e-09, 0.238082361044469e-01};
constexpr double kRexpQ[] = {-0.499999999085958e+00, 0.107141568980644e+00, -0.119041179760821e-01,
                             0.595130811860248e-03};
// alnrel: ln(1 + a) on |a| <= 0.375, in t = a / (a + 2)
constexpr double kAlnrelP[] = {-0.129418923021993e+01, 0.405303492862024e+00, -0.178874546012214e-01};
constexpr double kAlnrelQ[] = {-0.162752256355323e+01, 0.747811014037616e+00, -0.845104217945565e-01};
// rlog, rlog1: shared series and reduction constants
constexpr double kRlogA = 0.566749439387324e-01;  // rlog1(-0.3)  reduction
constexpr double kRlogB = 0.456512608815524e-01;  // rlog1(0.25) reduction
constexpr double kRlogP[] = {0.333333333333333e+00, -0.224696413112536e+00, 0.620886815375787e-02};
constexpr double kRlogQ[] = {-0.127408923933623e+01, 0.354508718369557e+00};

double rlog_series(double u, double w1) {
    const double r = u / (u + 2.0);
    const double t = r * r;
    const double w = ((kRlogP[2] * t + kRlogP[1]) * t + kRlogP[0]) / ((kRlogQ[1] * t + kRlogQ[0]) * t + 1.0);
    return 2.0 * t * (1.0 / (1.0 - r) - r * w) + w1;
}
}  // namespace

double exparg(int l) {
    constexpr double lnb = 0.69314718055995;  // ln 2
    const double m = (l == 0) ? 1024.0 : -1022.0;
    return 0.99999 * (m * lnb);
}

double esum(int mu, double x) {
    if (x > 0.0) {
        if (mu <= 0) {
            const double w = mu + x;
            if (w < 0.0) return std::exp(w);
        }
    } else {
        if (mu >= 0) {
            const double w = mu + x;
            if (w > 0.0) return std::exp(w);
        }
    }
    return std::exp(static_cast<double>(mu)) * std::exp(x);
}

double rexp(double x) {
    if (std::fabs(x) <= 0.15) {
        return x * (((kRexpP[1] * x + kRexpP[0]) * x + 1.0) /
                    ((((kRexpQ[3] * x + kRexpQ[2]) * x + kRexpQ[1]) * x + kRexpQ[0]) * x + 1.0));
    }
    const double w = std::exp(x);
    if (x > 0.0) return w * (0.5 + (0.5 - 1.0 / w));
    return (w - 0.5) - 0.5;
}

double alnrel(double a) {
    if (std::fabs(a) > 0.375) return std::log(1.0 + a);
    const double t = a / (a + 2.0);
    const double t2 = t * t;
    const double w = (((kAlnrelP[2] * t2 + kAlnrelP[1]) * t2 + kAlnrelP[0]) * t2 + 1.0) /
                     (((kAlnrelQ[2] * t2 + kAlnrelQ[1]) * t2 + kAlnrelQ[0]) * t2 + 1.0);
    return 2.0 * t * w;
}

double rlog(double x) {
    if (x < 0.61 || x > 1.57) return (x - 0.5 - 0.5) - std::log(x);
    if (x < 0.82) {
        const double u = (x - 0.7) / 0.7;
        return rlog_series(u, kRlogA - u * 0.3);
    }
    if (x > 1.18) {
        const double u = 0.75 * x - 1.0;
        return rlog_series(u, kRlogB + u / 3.0);
    }
    return rlog_series((x - 0.5) - 0.5, 0.0);
}

double rlog1(double x) {
    if (x < -0.39 || x > 0.57) {
        const double w = (x + 0.5) + 0.5;
        return x - std::log(w);
    }
    if (x < -0.18) {
        const double h = (x + 0.3) / 0.7;
        return rlog_series(h, kRlogA - h * 0.3);
    }
    if (x > 0.18) {
        const double h = 0.75 * x - 0.25;
        return rlog_series(h, kRlogB + h / 3.0);
    }
    return rlog_series(x, 0.0);
}

}  // namespace qs::numerics::detail
