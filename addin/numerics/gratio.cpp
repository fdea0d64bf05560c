// Incomplete gamma function ratios P(a, x) and Q(a, x) = 1 - P(a, x).
//
// Method: Didonato and Morris, "Computation of the incomplete gamma function ratios and their
// inverse", ACM TOMS 12 (1986) 377-393 (Algorithm 654, routine GRATIO): Taylor series for small
// x, continued fraction and asymptotic series for large x, finite sums when 2a is an integer,
// and Temme's uniform expansion when a is large and x close to a. The accuracy indicator ind
// selects the tolerances; the numerics always call it with ind = 0 (about 14 significant
// digits). Both ratios are produced, the smaller one directly.
// This version: for a >= 20, 1 - x/a and x/a - 1 - ln(x/a) are formed from (x - a) / a rather
// than from the rounded ratio x/a, whose rounding error is multiplied by a in Temme's
// exponent (a relative 4e-12 at a = 5e6 otherwise). ans = 2 signals the published error returns (negative arguments, both zero,
// or an indeterminate result for a above about 6.6e28 with x close to a). Series and fractions
// stop after 1e5 terms, a safety stop that no usable argument reaches.
#include <algorithm>
#include <cmath>

#include "addin/numerics/special.h"

namespace qs::numerics::detail {

namespace {
constexpr double kAcc0[] = {5.0e-15, 5.0e-7, 5.0e-4};  // requested accuracy per ind
constexpr double kBig[] = {20.0, 14.0, 10.0};          // a from which Temme is tried
constexpr double kE00[] = {0.25e-3, 0.25e-1, 0.14};    // |1 - x/a| of the L = 1 expansion
constexpr double kX00[] = {31.0, 17.0, 9.7};           // x from which the asymptotic series runs
constexpr double kAlog10 = 2.30258509299405;           // ln 10
constexpr double kRt2PiInv = 0.398942280401433;        // 1 / sqrt(2 pi)
constexpr double kRtPi = 1.77245385090552;             // sqrt(pi)
constexpr double kThird = 0.333333333333333;
constexpr double kMaxIterations = 1.0e5;  // terms of any series or fraction (a safety stop)

// Coefficients of Temme's expansion: c_k(z) = sum d_k[j] z^j (constant term listed first).
constexpr double kD0[] = {0.833333333333333e-01,  -0.148148148148148e-01, 0.115740740740741e-02,
                          0.352733686067019e-03,  -0.178755144032922e-03, 0.391926317852244e-04,
                          -0.218544851067999e-05, -0.185406221071516e-05, 0.829671134095309e-06,
                          -0.176659527368261e-06, 0.670785354340150e-08,  0.102618097842403e-07,
                          -0.438203601845335e-08};
constexpr double kD10 = -0.185185185185185e-02;
constexpr double kD1[] = {-0.347222222222222e-02, 0.264550264550265e-02,  -0.990226337448560e-03,
                          0.205761316872428e-03,  -0.401877572016461e-06, -0.180985503344900e-04,
                          0.764916091608111e-05,  -0.161209008945634e-05, 0.464712780280743e-08,
                          0.137863344691572e-06,  -0.575254560351770e-07, 0.119516285997781e-07};
constexpr double kD20 = 0.413359788359788e-02;
constexpr double kD2[] = {-0.268132716049383e-02, 0.771604938271605e-03,  0.200938786008230e-05, -0.107366532263652e-03,
                          0.529234488291201e-04,  -0.127606351886187e-04, 0.342357873409614e-07, 0.137219573090629e-05,
                          -0.629899213838006e-06, 0.142806142060642e-06};
constexpr double kD30 = 0.649434156378601e-03;
constexpr double kD3[] = {0.229472093621399e-03,  -0.469189494395256e-03, 0.267720632062839e-03,
                          -0.756180167188398e-04, -0.239650511386730e-06, 0.110826541153473e-04,
                          -0.567495282699160e-05, 0.142309007324359e-05};
constexpr double kD40 = -0.861888290916712e-03;
constexpr double kD4[] = {0.784039221720067e-03, -0.299072480303190e-03, -0.146384525788434e-05,
                          0.664149821546512e-04, -0.396836504717943e-04, 0.113757269706784e-04};
constexpr double kD50 = -0.336798553366358e-03;
constexpr double kD5[] = {-0.697281375836586e-04, 0.277275324495939e-03, -0.199325705161888e-03, 0.679778047793721e-04};
constexpr double kD60 = 0.531307936463992e-03;
constexpr double kD6[] = {-0.592166437353694e-03, 0.270878209671804e-03};
constexpr double kD70 = 0.344367606892378e-03;

// c0 + z (d[0] + z (d[1] + ... + z d[n-1]))
double poly(double c0, const double* d, int n, double z) {
    double s = 0.0;
    for (int i = n - 1; i >= 0; --i) s = s * z + d[i];
    return s * z + c0;
}

// Temme's sum t for the L = 1 case and |s| <= 1e-3 (short) or the general case (full).
double temme_sum(int iop, bool full, double z, double u) {
    if (iop == 1) {
        const int n0 = full ? 13 : 7, n1 = full ? 12 : 6, n2 = full ? 10 : 5, n3 = full ? 8 : 4, n4 = full ? 6 : 2,
                  n5 = full ? 4 : 2, n6 = full ? 2 : 1;
        const double c0 = poly(-kThird, kD0, n0, z);
        const double c1 = poly(kD10, kD1, n1, z);
        const double c2 = poly(kD20, kD2, n2, z);
        const double c3 = poly(kD30, kD3, n3, z);
        const double c4 = poly(kD40, kD4, n4, z);
        const double c5 = poly(kD50, kD5, n5, z);
        const double c6 = poly(kD60, kD6, n6, z);
        return ((((((kD70 * u + c6) * u + c5) * u + c4) * u + c3) * u + c2) * u + c1) * u + c0;
    }
    if (iop == 2) {
        if (full) {
            const double c0 = poly(-kThird, kD0, 6, z);
            const double c1 = poly(kD10, kD1, 4, z);
            const double c2 = poly(kD20, kD2, 1, z);
            return (c2 * u + c1) * u + c0;
        }
        const double c0 = poly(-kThird, kD0, 2, z);
        const double c1 = poly(kD10, kD1, 1, z);
        return (kD20 * u + c1) * u + c0;
    }
    return full ? poly(-kThird, kD0, 3, z) : poly(-kThird, kD0, 1, z);
}
}  // namespace

void gratio(double a, double x, double& ans, double& qans, int ind) {
    constexpr double e = kEpsilon;
    if (a < 0.0 || x < 0.0 || (a == 0.0 && x == 0.0)) {
        ans = 2.0;
        return;
    }
    auto set_by_side = [&]() {  // the ratio is 0 or 1 according to the side of a
        if (x <= a) {
            ans = 0.0;
            qans = 1.0;
        } else {
            ans = 1.0;
            qans = 0.0;
        }
    };
    if (a * x == 0.0) {
        set_by_side();
        return;
    }
    const int iop = (ind == 0) ? 1 : (ind == 1) ? 2 : 3;
    const double acc = std::max(kAcc0[iop - 1], e);
    const double e0 = kE00[iop - 1];
    const double x0 = kX00[iop - 1];

    auto from_q = [&](double q) {
        qans = q;
        ans = 0.5 + (0.5 - q);
    };
    auto from_p = [&](double p) {
        ans = p;
        qans = 0.5 + (0.5 - p);
    };

    auto continued_fraction = [&](double r) {
        const double tol = std::max(5.0 * e, acc);
        double a2nm1 = 1.0, a2n = 1.0;
        double b2nm1 = x;
        double b2n = x + (1.0 - a);
        double c = 1.0;
        double am0, an0;
        do {
            a2nm1 = x * a2n + c * a2nm1;
            b2nm1 = x * b2n + c * b2nm1;
            am0 = a2nm1 / b2nm1;
            c += 1.0;
            const double cma = c - a;
            a2n = a2nm1 + cma * a2n;
            b2n = b2nm1 + cma * b2n;
            an0 = a2n / b2n;
        } while (std::fabs(an0 - am0) >= tol * an0 && c < kMaxIterations);
        from_q(r * an0);
    };

    double r = 0.0;
    if (a < 1.0) {
        if (a == 0.5) {
            if (x >= 0.25)
                from_q(erfc1(0, std::sqrt(x)));
            else
                from_p(erf_fn(std::sqrt(x)));
            return;
        }
        if (x < 1.1) {
            // Taylor series for P(a, x) / x^a
            double an = 3.0;
            double c = x;
            double sum = x / (a + 3.0);
            const double tol = 3.0 * acc / (a + 1.0);
            double t;
            do {
                an += 1.0;
                c = -(c * (x / an));
                t = c / (a + an);
                sum += t;
            } while (std::fabs(t) > tol && an < kMaxIterations);
            const double j = a * x * ((sum / 6.0 - 0.5 / (a + 2.0)) * x + 1.0 / (a + 1.0));
            const double z = a * std::log(x);
            const double h = gam1(a);
            const double g = 1.0 + h;
            const bool via_q = (x < 0.25) ? (z > -0.13394) : (a < x / 2.59);
            if (via_q) {
                const double l = rexp(z);
                const double w = 0.5 + (0.5 + l);
                const double q = (w * j - l) * g - h;
                if (q < 0.0) {
                    ans = 1.0;
                    qans = 0.0;
                    return;
                }
                from_q(q);
                return;
            }
            from_p(std::exp(z) * g * (0.5 + (0.5 - j)));
            return;
        }
        const double t1 = a * std::log(x) - x;
        const double u = a * std::exp(t1);
        if (u == 0.0) {
            ans = 1.0;
            qans = 0.0;
            return;
        }
        continued_fraction(u * (1.0 + gam1(a)));
        return;
    }

    if (a < kBig[iop - 1]) {
        if (a <= x && x < x0) {
            const double twoa = a + a;
            const int m = static_cast<int>(twoa);
            if (twoa == static_cast<double>(m)) {
                // Finite sums for Q when a >= 1 and 2a is an integer.
                const int i = m / 2;
                double sum, t, c;
                int n;
                if (a == static_cast<double>(i)) {
                    sum = std::exp(-x);
                    t = sum;
                    n = 1;
                    c = 0.0;
                } else {
                    const double rtx = std::sqrt(x);
                    sum = erfc1(0, rtx);
                    t = std::exp(-x) / (kRtPi * rtx);
                    n = 0;
                    c = -0.5;
                }
                while (n != i) {
                    n += 1;
                    c += 1.0;
                    t = x * t / c;
                    sum += t;
                }
                from_q(sum);
                return;
            }
        }
        const double t1 = a * std::log(x) - x;
        r = std::exp(t1) / gamma_fn(a);
    } else {
        const double l = x / a;
        if (l == 0.0) {
            ans = 0.0;
            qans = 1.0;
            return;
        }
        // Near l = 1, 1 - l and rlog(l) = l - 1 - ln l come from the exact difference x - a;
        // far from it the rounded l is harmless and ln l is taken directly.
        const double d = (x - a) / a;
        const double s = -d;
        double z = (std::fabs(d) < 0.5) ? rlog1(d) : rlog(l);
        if (z >= 700.0 / a) {
            if (std::fabs(s) <= 2.0 * e) {
                ans = 2.0;
                return;
            }
            set_by_side();
            return;
        }
        const double y = a * z;
        const double rta = std::sqrt(a);
        if (std::fabs(s) <= e0 / rta) {
            // Temme expansion for L = 1
            if (a * e * e > 3.28e-3) {
                ans = 2.0;
                return;
            }
            const double c = 0.5 + (0.5 - y);
            const double w = (0.5 - std::sqrt(y) * (0.5 + (0.5 - y / 3.0)) / kRtPi) / c;
            const double u = 1.0 / a;
            z = std::sqrt(z + z);
            if (l < 1.0) z = -z;
            const double t = temme_sum(iop, false, z, u);
            if (l >= 1.0)
                from_q(c * (w + kRt2PiInv * t / rta));
            else
                from_p(c * (w - kRt2PiInv * t / rta));
            return;
        }
        if (std::fabs(s) <= 0.4) {
            // General Temme expansion
            if (std::fabs(s) <= 2.0 * e && a * e * e > 3.28e-3) {
                ans = 2.0;
                return;
            }
            const double c = std::exp(-y);
            const double w = 0.5 * erfc1(1, std::sqrt(y));
            const double u = 1.0 / a;
            z = std::sqrt(z + z);
            if (l < 1.0) z = -z;
            const bool full = !(iop == 1 && std::fabs(s) <= 1.0e-3);
            const double t = temme_sum(iop, full, z, u);
            if (l >= 1.0)
                from_q(c * (w + kRt2PiInv * t / rta));
            else
                from_p(c * (w - kRt2PiInv * t / rta));
            return;
        }
        const double t = (1.0 / a) * (1.0 / a);
        double t1 = (((0.75 * t - 1.0) * t + 3.5) * t - 105.0) / (a * 1260.0);
        t1 -= y;
        r = kRt2PiInv * rta * std::exp(t1);
    }

    if (r == 0.0) {
        set_by_side();
        return;
    }
    if (x > std::max(a, kAlog10)) {
        if (x < x0) {
            continued_fraction(r);
            return;
        }
        // Asymptotic expansion
        double wk[20];
        double amn = a - 1.0;
        double t = amn / x;
        wk[0] = t;
        int n = 2;
        for (; n <= 20; ++n) {
            amn -= 1.0;
            t *= amn / x;
            if (std::fabs(t) <= 1.0e-3) break;
            wk[n - 1] = t;
        }
        if (n > 20) n = 20;
        double sum = t;
        while (std::fabs(t) > acc && amn > -kMaxIterations) {
            amn -= 1.0;
            t *= amn / x;
            sum += t;
        }
        for (int m = n - 1; m >= 1; --m) sum += wk[m - 1];
        from_q((r / x) * (1.0 + sum));
        return;
    }
    // Taylor series for P / r
    double wk[20];
    double apn = a + 1.0;
    double t = x / apn;
    wk[0] = t;
    int n = 2;
    for (; n <= 20; ++n) {
        apn += 1.0;
        t *= x / apn;
        if (t <= 1.0e-3) break;
        wk[n - 1] = t;
    }
    if (n > 20) n = 20;
    double sum = t;
    const double tol = 0.5 * acc;
    do {
        apn += 1.0;
        t *= x / apn;
        sum += t;
    } while (t > tol && apn < a + kMaxIterations);
    // Add the stored leading terms, smallest first.
    for (int m = n - 1; m >= 1; --m) sum += wk[m - 1];
    from_p((r / a) * (1.0 + sum));
}

}  // namespace qs::numerics::detail
