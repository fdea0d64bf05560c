// Error function and complementary error function (optionally scaled by exp(x^2)).
//
// Method and constants: ERF and ERFC1 of Didonato and Morris, ACM TOMS 18 (1992) 360-373
// (Algorithm 708): rational approximations on |x| <= 0.5, 0.5 < |x| <= 4 and |x| > 4.
#include <cmath>

#include "addin/numerics/special.h"

namespace qs::numerics::detail {

namespace {
constexpr double kRtpiInv = 0.564189583547756;  // 1 / sqrt(pi)
constexpr double kA[] = {0.771058495001320e-04, -0.133733772997339e-02, 0.323076579225834e-01, 0.479137145607681e-01,
                         0.128379167095513e+00};
constexpr double kB[] = {0.301048631703895e-02, 0.538971687740286e-01, 0.375795757275549e+00};
constexpr double kP[] = {-1.36864857382717e-07, 5.64195517478974e-01, 7.21175825088309e+00, 4.31622272220567e+01,
                         1.52989285046940e+02,  3.39320816734344e+02, 4.51918953711873e+02, 3.00459261020162e+02};
constexpr double kQ[] = {1.00000000000000e+00, 1.27827273196294e+01, 7.70001529352295e+01, 2.77585444743988e+02,
                         6.38980264465631e+02, 9.31354094850610e+02, 7.90950925327898e+02, 3.00459260956983e+02};
constexpr double kR[] = {2.10144126479064e+00, 2.62370141675169e+01, 2.13688200555087e+01, 4.65807828718470e+00,
                         2.82094791773523e-01};
constexpr double kS[] = {9.41537750555460e+01, 1.87114811799590e+02, 9.90191814623914e+01, 1.80124575948747e+01};

double small_ratio(double t) {  // |x| <= 0.5, t = x^2
    const double top = (((kA[0] * t + kA[1]) * t + kA[2]) * t + kA[3]) * t + kA[4] + 1.0;
    const double bot = ((kB[0] * t + kB[1]) * t + kB[2]) * t + 1.0;
    return top / bot;
}
double mid_ratio(double ax) {  // 0.5 < |x| <= 4
    double top = kP[0];
    double bot = kQ[0];
    for (int i = 1; i < 8; ++i) {
        top = top * ax + kP[i];
        bot = bot * ax + kQ[i];
    }
    return top / bot;
}
double large_ratio(double x) {  // |x| > 4, in t = 1/x^2
    const double t = (1.0 / x) * (1.0 / x);
    const double top = (((kR[0] * t + kR[1]) * t + kR[2]) * t + kR[3]) * t + kR[4];
    const double bot = (((kS[0] * t + kS[1]) * t + kS[2]) * t + kS[3]) * t + 1.0;
    return t * top / bot;
}
}  // namespace

double erf_fn(double x) {
    const double ax = std::fabs(x);
    if (ax <= 0.5) return x * small_ratio(x * x);
    double e;
    if (ax <= 4.0) {
        e = 0.5 + (0.5 - std::exp(-x * x) * mid_ratio(ax));
    } else if (ax < 5.8) {
        const double x2 = x * x;
        e = 0.5 + (0.5 - std::exp(-x2) * ((kRtpiInv - large_ratio(x)) / ax));
    } else {
        e = 1.0;
    }
    return (x < 0.0) ? -e : e;
}

double erfc1(int ind, double x) {
    const double ax = std::fabs(x);
    if (ax <= 0.5) {
        const double t = x * x;
        double r = 0.5 + (0.5 - x * small_ratio(t));
        if (ind != 0) r = std::exp(t) * r;
        return r;
    }
    double r;
    if (ax <= 4.0) {
        r = mid_ratio(ax);
    } else {
        if (x <= -5.6) {
            return (ind != 0) ? 2.0 * std::exp(x * x) : 2.0;
        }
        if (ind == 0 && (x > 100.0 || x * x > -exparg(1))) return 0.0;
        r = (kRtpiInv - large_ratio(x)) / ax;
    }
    if (ind != 0) {
        if (x < 0.0) r = 2.0 * std::exp(x * x) - r;
        return r;
    }
    r = std::exp(-x * x) * r;
    if (x < 0.0) r = 2.0 - r;
    return r;
}

}  // namespace qs::numerics::detail
