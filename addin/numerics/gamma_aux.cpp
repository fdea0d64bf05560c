// Gamma-function family: 1/Gamma(a+1) - 1, ln Gamma(1+a), ln Gamma(a), Gamma(a), the Stirling
// remainders behind ln(Gamma(b)/Gamma(a+b)) and ln Beta(a, b), and the digamma function.
//
// Method and constants: GAM1, GAMLN1, GAMLN, GAMMA, ALGDIV, BCORR, BETALN, GSUMLN of Didonato
// and Morris, ACM TOMS 18 (1992) 360-373 (Algorithm 708); PSI after Cody, Strecok and Thacher,
// "Chebyshev approximations for the psi function", Math. Comp. 27 (1973) 123-127, as adapted
// by A. H. Morris for the same package.
#include <algorithm>
#include <cmath>

#include "addin/numerics/special.h"

namespace qs::numerics::detail {

namespace {
// Stirling remainder del(x) coefficients shared by gamln, algdiv and bcorr.
constexpr double kDel[] = {0.833333333333333e-01,  -0.277777777760991e-02, 0.793650666825390e-03,
                           -0.595202931351870e-03, 0.837308034031215e-03,  -0.165322962780713e-02};

// gam1 on [-0.5, 0): r / s, and on (0, 1.5]: p / q (t reduced to [-0.5, 0.5])
constexpr double kGam1P[] = {0.577215664901533e+00, -0.409078193005776e+00, -0.230975380857675e+00,
                             0.597275330452234e-01, 0.766968181649490e-02,  -0.514889771323592e-02,
                             0.589597428611429e-03};
constexpr double kGam1Q[] = {0.100000000000000e+01, 0.427569613095214e+00, 0.158451672430138e+00, 0.261132021441447e-01,
                             0.423244297896961e-02};
constexpr double kGam1R[] = {-0.422784335098468e+00, -0.771330383816272e+00, -0.244757765222226e+00,
                             0.118378989872749e+00,  0.930357293360349e-03,  -0.118290993445146e-01,
                             0.223047661158249e-02,  0.266505979058923e-03,  -0.132674909766242e-03};
constexpr double kGam1S[] = {0.273076135303957e+00, 0.559398236957378e-01};

// gamln1: ln Gamma(1 + a) for a < 0.6 (p / q) and a >= 0.6 (r / s, in x = a - 1)
constexpr double kGamln1P[] = {0.577215664901533e+00,  0.844203922187225e+00,  -0.168860593646662e+00,
                               -0.780427615533591e+00, -0.402055799310489e+00, -0.673562214325671e-01,
                               -0.271935708322958e-02};
constexpr double kGamln1Q[] = {0.288743195473681e+01, 0.312755088914843e+01, 0.156875193295039e+01,
                               0.361951990101499e+00, 0.325038868253937e-01, 0.667465618796164e-03};
constexpr double kGamln1R[] = {0.422784335098467e+00, 0.848044614534529e+00, 0.565221050691933e+00,
                               0.156513060486551e+00, 0.170502484022650e-01, 0.497958207639485e-03};
constexpr double kGamln1S[] = {0.124313399877507e+01, 0.548042109832463e+00, 0.101552187439830e+00,
                               0.713309612391000e-02, 0.116165475989616e-03};

// Gamma(1 + x), 0 <= x < 1, as p(x) / q(x) (highest degree first)
constexpr double kGammaP[] = {0.539637273585445e-03,
                              0.261939260042690e-02,
                              0.204493667594920e-01,
                              0.730981088720487e-01,
                              0.279648642639792e+00,
                              0.553413866010467e+00,
                              1.0};
constexpr double kGammaQ[] = {-0.832979206704073e-03,
                              0.470059485860584e-02,
                              0.225211131035340e-01,
                              -0.170458969313360e+00,
                              -0.567902761974940e-01,
                              0.113062953091122e+01,
                              1.0};
// Gamma asymptotic sum for |a| >= 15
constexpr double kGammaR[] = {0.820756370353826e-03, -0.595156336428591e-03, 0.793650663183693e-03,
                              -0.277777777770481e-02, 0.833333333333333e-01};

// psi: p1 / q1 on [0.5, 3], p2 / q2 in 1/x^2 beyond
constexpr double kPsiP1[] = {0.895385022981970e-02, 0.477762828042627e+01, 0.142441585084029e+03, 0.118645200713425e+04,
                             0.363351846806499e+04, 0.413810161269013e+04, 0.130560269827897e+04};
constexpr double kPsiQ1[] = {0.448452573429826e+02, 0.520752771467162e+03, 0.221000799247830e+04,
                             0.364127349079381e+04, 0.190831076596300e+04, 0.691091682714533e-05};
constexpr double kPsiP2[] = {-0.212940445131011e+01, -0.701677227766759e+01, -0.448616543918019e+01,
                             -0.648157123766197e+00};
constexpr double kPsiQ2[] = {0.322703493791143e+02, 0.892920700481861e+02, 0.546117738103215e+02,
                             0.777788548522962e+01};

constexpr double kHalfLn2PiMinusHalf = 0.418938533204673;  // 0.5 (ln 2 pi - 1)
constexpr double kHalfLn2Pi = 0.918938533204673;           // 0.5 ln 2 pi

// The sums s_n = (1 - x^n) / (1 - x) and the series w of algdiv and bcorr.
double del_difference(double x, double b, double c) {
    const double x2 = x * x;
    const double s3 = 1.0 + (x + x2);
    const double s5 = 1.0 + (x + x2 * s3);
    const double s7 = 1.0 + (x + x2 * s5);
    const double s9 = 1.0 + (x + x2 * s7);
    const double s11 = 1.0 + (x + x2 * s9);
    const double t = (1.0 / b) * (1.0 / b);
    double w =
        ((((kDel[5] * s11 * t + kDel[4] * s9) * t + kDel[3] * s7) * t + kDel[2] * s5) * t + kDel[1] * s3) * t + kDel[0];
    return w * (c / b);
}
}  // namespace

double gam1(double a) {
    double t = a;
    const double d = a - 0.5;
    if (d > 0.0) t = d - 0.5;
    if (t < 0.0) {
        const double* r = kGam1R;
        const double top =
            (((((((r[8] * t + r[7]) * t + r[6]) * t + r[5]) * t + r[4]) * t + r[3]) * t + r[2]) * t + r[1]) * t + r[0];
        const double bot = (kGam1S[1] * t + kGam1S[0]) * t + 1.0;
        const double w = top / bot;
        if (d > 0.0) return t * w / a;
        return a * ((w + 0.5) + 0.5);
    }
    if (t == 0.0) return 0.0;
    const double* p = kGam1P;
    const double* q = kGam1Q;
    const double top = (((((p[6] * t + p[5]) * t + p[4]) * t + p[3]) * t + p[2]) * t + p[1]) * t + p[0];
    const double bot = (((q[4] * t + q[3]) * t + q[2]) * t + q[1]) * t + 1.0;
    const double w = top / bot;
    if (d > 0.0) return (t / a) * ((w - 0.5) - 0.5);
    return a * w;
}

double gamln1(double a) {
    if (a < 0.6) {
        const double* p = kGamln1P;
        const double* q = kGamln1Q;
        const double w = ((((((p[6] * a + p[5]) * a + p[4]) * a + p[3]) * a + p[2]) * a + p[1]) * a + p[0]) /
                         ((((((q[5] * a + q[4]) * a + q[3]) * a + q[2]) * a + q[1]) * a + q[0]) * a + 1.0);
        return -a * w;
    }
    const double x = (a - 0.5) - 0.5;
    const double* r = kGamln1R;
    const double* s = kGamln1S;
    const double w = (((((r[5] * x + r[4]) * x + r[3]) * x + r[2]) * x + r[1]) * x + r[0]) /
                     (((((s[4] * x + s[3]) * x + s[2]) * x + s[1]) * x + s[0]) * x + 1.0);
    return x * w;
}

double gamln(double a) {
    if (a <= 0.8) return gamln1(a) - std::log(a);
    if (a <= 2.25) return gamln1((a - 0.5) - 0.5);
    if (a < 10.0) {
        const int n = static_cast<int>(a - 1.25);
        double t = a;
        double w = 1.0;
        for (int i = 1; i <= n; ++i) {
            t -= 1.0;
            w *= t;
        }
        return gamln1(t - 1.0) + std::log(w);
    }
    const double t = (1.0 / a) * (1.0 / a);
    const double w = (((((kDel[5] * t + kDel[4]) * t + kDel[3]) * t + kDel[2]) * t + kDel[1]) * t + kDel[0]) / a;
    return kHalfLn2PiMinusHalf + w + (a - 0.5) * (std::log(a) - 1.0);
}

double gamma_fn(double a) {
    double x = a;
    if (std::fabs(a) < 15.0) {
        double t = 1.0;
        int m = static_cast<int>(a) - 1;
        if (m >= 0) {
            for (int j = 1; j <= m; ++j) {
                x -= 1.0;
                t *= x;
            }
            x -= 1.0;
        } else {
            t = a;
            if (a <= 0.0) {
                m = -m - 1;
                for (int j = 1; j <= m; ++j) {
                    x += 1.0;
                    t *= x;
                }
                x += 1.0;
                t *= x;
                if (t == 0.0) return 0.0;
            }
            if (std::fabs(t) < 1.0e-30) {
                if (std::fabs(t) * kHuge <= 1.0001) return 0.0;
                return 1.0 / t;
            }
        }
        double top = kGammaP[0];
        double bot = kGammaQ[0];
        for (int i = 1; i < 7; ++i) {
            top = kGammaP[i] + x * top;
            bot = kGammaQ[i] + x * bot;
        }
        const double g = top / bot;
        return (a >= 1.0) ? g * t : g / t;
    }
    if (std::fabs(a) >= 1.0e3) return 0.0;
    double s = 0.0;
    if (a <= 0.0) {
        constexpr double pi = 3.1415926535898;
        x = -a;
        const int n = static_cast<int>(x);
        double t = x - n;
        if (t > 0.9) t = 1.0 - t;
        s = std::sin(pi * t) / pi;
        if (n % 2 == 0) s = -s;
        if (s == 0.0) return 0.0;
    }
    const double t = 1.0 / (x * x);
    double g = ((((kGammaR[0] * t + kGammaR[1]) * t + kGammaR[2]) * t + kGammaR[3]) * t + kGammaR[4]) / x;
    g = (kHalfLn2PiMinusHalf + g) + (x - 0.5) * (std::log(x) - 1.0);
    if (g > 0.99999 * exparg(0)) return 0.0;
    double result = std::exp(g);
    if (a < 0.0) result = 1.0 / (result * s) / x;
    return result;
}

double algdiv(double a, double b) {
    double h, c, x, d;
    if (a > b) {
        h = b / a;
        c = 1.0 / (1.0 + h);
        x = h / (1.0 + h);
        d = a + (b - 0.5);
    } else {
        h = a / b;
        c = h / (1.0 + h);
        x = 1.0 / (1.0 + h);
        d = b + (a - 0.5);
    }
    const double w = del_difference(x, b, c);
    const double u = d * alnrel(a / b);
    const double v = a * (std::log(b) - 1.0);
    if (u > v) return (w - v) - u;
    return (w - u) - v;
}

double bcorr(double a0, double b0) {
    const double a = std::min(a0, b0);
    const double b = std::max(a0, b0);
    const double h = a / b;
    const double c = h / (1.0 + h);
    const double x = 1.0 / (1.0 + h);
    const double w = del_difference(x, b, c);
    const double t = (1.0 / a) * (1.0 / a);
    return (((((kDel[5] * t + kDel[4]) * t + kDel[3]) * t + kDel[2]) * t + kDel[1]) * t + kDel[0]) / a + w;
}

double gsumln(double a, double b) {
    const double x = a + b - 2.0;
    if (x <= 0.25) return gamln1(1.0 + x);
    if (x <= 1.25) return gamln1(x) + alnrel(x);
    return gamln1(x - 1.0) + std::log(x * (1.0 + x));
}

double betaln(double a0, double b0) {
    double a = std::min(a0, b0);
    double b = std::max(a0, b0);
    if (a >= 8.0) {
        const double w = bcorr(a, b);
        const double h = a / b;
        const double c = h / (1.0 + h);
        const double u = -(a - 0.5) * std::log(c);
        const double v = b * alnrel(h);
        if (u > v) return (((-0.5 * std::log(b) + kHalfLn2Pi) + w) - v) - u;
        return (((-0.5 * std::log(b) + kHalfLn2Pi) + w) - u) - v;
    }
    if (a < 1.0) {
        if (b >= 8.0) return gamln(a) + algdiv(a, b);
        return gamln(a) + (gamln(b) - gamln(a + b));
    }
    double w = 0.0;
    if (a <= 2.0) {
        if (b <= 2.0) return gamln(a) + gamln(b) - gsumln(a, b);
        if (b >= 8.0) return gamln(a) + algdiv(a, b);
    } else {
        // Reduce a to (1, 2].
        const int n = static_cast<int>(a - 1.0);
        if (b > 1000.0) {
            double wp = 1.0;
            for (int i = 1; i <= n; ++i) {
                a -= 1.0;
                wp *= a / (1.0 + a / b);
            }
            return (std::log(wp) - n * std::log(b)) + (gamln(a) + algdiv(a, b));
        }
        double wp = 1.0;
        for (int i = 1; i <= n; ++i) {
            a -= 1.0;
            const double h = a / b;
            wp *= h / (1.0 + h);
        }
        w = std::log(wp);
        if (b >= 8.0) return w + gamln(a) + algdiv(a, b);
    }
    // Reduce b to (1, 2].
    const int n = static_cast<int>(b - 1.0);
    double z = 1.0;
    for (int i = 1; i <= n; ++i) {
        b -= 1.0;
        z *= b / (a + b);
    }
    return w + std::log(z) + (gamln(a) + (gamln(b) - gsumln(a, b)));
}

double psi(double xx) {
    constexpr double dx0 = 1.461632144968362341262659542325721325;  // zero of psi
    constexpr double piov4 = 0.785398163397448;
    constexpr double xmax1 = 2147483647.0;
    constexpr double xsmall = 1.0e-9;
    double x = xx;
    double aug = 0.0;
    if (x < 0.5) {
        // Reflection: psi(1 - x) = psi(x) + pi cot(pi x)
        if (std::fabs(x) <= xsmall) {
            if (x == 0.0) return 0.0;
            aug = -1.0 / x;
        } else {
            double w = -x;
            double sgn = piov4;
            if (w <= 0.0) {
                w = -w;
                sgn = -sgn;
            }
            if (w >= xmax1) return 0.0;
            int nq = static_cast<int>(w);
            w -= nq;
            nq = static_cast<int>(w * 4.0);
            w = 4.0 * (w - nq * 0.25);
            int n = nq / 2;
            if (n + n != nq) w = 1.0 - w;
            const double z = piov4 * w;
            int m = n / 2;
            if (m + m != n) sgn = -sgn;
            n = (nq + 1) / 2;
            m = n / 2;
            m += m;
            if (m == n) {
                if (z == 0.0) return 0.0;
                aug = sgn * (std::cos(z) / std::sin(z) * 4.0);
            } else {
                aug = sgn * (std::sin(z) / std::cos(z) * 4.0);
            }
        }
        x = 1.0 - x;
    }
    if (x <= 3.0) {
        double den = x;
        double upper = kPsiP1[0] * x;
        for (int i = 1; i <= 5; ++i) {
            den = (den + kPsiQ1[i - 1]) * x;
            upper = (upper + kPsiP1[i]) * x;
        }
        den = (upper + kPsiP1[6]) / (den + kPsiQ1[5]);
        return den * (x - dx0) + aug;
    }
    if (x < xmax1) {
        const double w = 1.0 / (x * x);
        double den = w;
        double upper = kPsiP2[0] * w;
        for (int i = 1; i <= 3; ++i) {
            den = (den + kPsiQ2[i - 1]) * w;
            upper = (upper + kPsiP2[i]) * w;
        }
        aug = upper / (den + kPsiQ2[3]) - 0.5 / x + aug;
    }
    return aug + std::log(x);
}

}  // namespace qs::numerics::detail
