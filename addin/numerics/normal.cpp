// Normal distribution: the integral from Cody, its inverse by Newton's method.
//
// cumnor: W. J. Cody, "Rational Chebyshev approximations for the error function", Math. Comp.
// 23 (1969) 631-637, as ANORM in Algorithm 715 (SPECFUN), ACM TOMS 19 (1993) 22-32, adapted in
// DCDFLIB (Brown, Lovato and Russell) to return both tails. The tails are formed without
// subtraction, so each is accurate to full relative precision.
// stvaln: the rational starting approximation of Kennedy and Gentle, Statistical Computing
// (1980), p. 95. dinvnr: Newton iteration on cumnor from stvaln (DCDFLIB), at most 100 steps,
// stopping at a relative step below 1e-13 (or a zero step, which the published test, 0/0 at
// p = 0.5, never recognises).
// This version: an infinite argument gives the exact limits 0 and 1 (the published code forms
// NaN from inf - inf).
#include <cmath>

#include "addin/numerics/special.h"
#include "addin/numerics/cdf.h"

namespace qs::numerics {

namespace {
constexpr double kA[] = {2.2352520354606839287e00, 1.6102823106855587881e02, 1.0676894854603709582e03,
                         1.8154981253343561249e04, 6.5682337918207449113e-2};
constexpr double kB[] = {4.7202581904688241870e01, 9.7609855173777669322e02, 1.0260932208618978205e04,
                         4.5507789335026729956e04};
constexpr double kC[] = {3.9894151208813466764e-1, 8.8831497943883759412e00, 9.3506656132177855979e01,
                         5.9727027639480026226e02, 2.4945375852903726711e03, 6.8481904505362823326e03,
                         1.1602651437647350124e04, 9.8427148383839780218e03, 1.0765576773720192317e-8};
constexpr double kD[] = {2.2266688044328115691e01, 2.3538790178262499861e02, 1.5193775994075548050e03,
                         6.4855582982667607550e03, 1.8615571640885098091e04, 3.4900952721145977266e04,
                         3.8912003286093271411e04, 1.9685429676859990727e04};
constexpr double kP[] = {2.1589853405795699e-1,   1.274011611602473639e-1, 2.2235277870649807e-2,
                         1.421619193227893466e-3, 2.9112874951168792e-5,   2.307344176494017303e-2};
constexpr double kQ[] = {1.28426009614491121e00, 4.68238212480865118e-1, 6.59881378689285515e-2, 3.78239633202758244e-3,
                         7.29751555083966205e-5};
constexpr double kSqrpi = 3.9894228040143267794e-1;  // 1 / sqrt(2 pi)
constexpr double kThrsh = 0.66291;                   // switch to the middle approximation
constexpr double kRoot32 = 5.656854248;              // sqrt(32): switch to the tail
constexpr double kSixteen = 1.60e1;

// stvaln rational approximation, coefficients in increasing powers
constexpr double kStvalnNum[] = {-0.322232431088e0, -1.000000000000e0, -0.342242088547e0, -0.204231210245e-1,
                                 -0.453642210148e-4};
constexpr double kStvalnDen[] = {0.993484626060e-1, 0.588581570495e0, 0.531103462366e0, 0.103537752850e0,
                                 0.38560700634e-2};

double polynomial(const double* c, int n, double x) {
    double s = c[n - 1];
    for (int i = n - 2; i >= 0; --i) s = c[i] + s * x;
    return s;
}

// exp(-y^2/2) with y split so that y^2 is formed exactly in its leading part.
double gauss_tail_factor(double y) {
    const double ysq = std::trunc(y * kSixteen) / kSixteen;
    const double del = (y - ysq) * (y + ysq);
    return std::exp(-ysq * ysq * 0.5) * std::exp(-del * 0.5);
}
}  // namespace

void cumnor(double arg, double& result, double& ccum) {
    constexpr double eps = detail::kEpsilon * 0.5;
    constexpr double min = detail::kTiny;
    if (std::isinf(arg)) {
        result = arg > 0 ? 1.0 : 0.0;
        ccum = arg > 0 ? 0.0 : 1.0;
        return;
    }
    const double x = arg;
    const double y = std::fabs(x);
    if (y <= kThrsh) {
        double xsq = 0.0;
        if (y > eps) xsq = x * x;
        double xnum = kA[4] * xsq;
        double xden = xsq;
        for (int i = 0; i < 3; ++i) {
            xnum = (xnum + kA[i]) * xsq;
            xden = (xden + kB[i]) * xsq;
        }
        const double temp = x * (xnum + kA[3]) / (xden + kB[3]);
        result = 0.5 + temp;
        ccum = 0.5 - temp;
    } else {
        double r;
        if (y <= kRoot32) {
            double xnum = kC[8] * y;
            double xden = y;
            for (int i = 0; i < 7; ++i) {
                xnum = (xnum + kC[i]) * y;
                xden = (xden + kD[i]) * y;
            }
            r = (xnum + kC[7]) / (xden + kD[7]);
        } else {
            const double xsq = 1.0 / (x * x);
            double xnum = kP[5] * xsq;
            double xden = xsq;
            for (int i = 0; i < 4; ++i) {
                xnum = (xnum + kP[i]) * xsq;
                xden = (xden + kQ[i]) * xsq;
            }
            r = xsq * (xnum + kP[4]) / (xden + kQ[4]);
            r = (kSqrpi - r) / y;
        }
        r *= gauss_tail_factor(y);
        result = r;
        ccum = 1.0 - r;
        if (x > 0.0) {
            ccum = r;
            result = 1.0 - r;
        }
    }
    if (result < min) result = 0.0;
    if (ccum < min) ccum = 0.0;
}

double stvaln(double p) {
    double sign, z;
    if (p <= 0.5) {
        sign = -1.0;
        z = p;
    } else {
        sign = 1.0;
        z = 1.0 - p;
    }
    const double y = std::sqrt(-2.0 * std::log(z));
    return sign * (y + polynomial(kStvalnNum, 5, y) / polynomial(kStvalnDen, 5, y));
}

double dinvnr(double p, double q) {
    constexpr int maxit = 100;
    constexpr double r2pi = 0.3989422804014326;
    const bool qporq = p <= q;
    const double pp = qporq ? p : q;
    const double strtx = stvaln(pp);
    double xcur = strtx;
    for (int i = 1; i <= maxit; ++i) {
        double cum, ccum;
        cumnor(xcur, cum, ccum);
        const double dx = (cum - pp) / (r2pi * std::exp(-0.5 * xcur * xcur));
        xcur -= dx;
        if (dx == 0.0 || std::fabs(dx / xcur) < 1.0e-13) return qporq ? xcur : -xcur;
    }
    // Newton failed: the starting value is the answer.
    return qporq ? strtx : -strtx;
}

}  // namespace qs::numerics
