// Tests of normality.
//
// Shapiro-Wilk: P. Royston, "Remark AS R94: A remark on algorithm AS 181: the W-test for
// normality", Applied Statistics 44 (1995) 547-551, and "Approximating the Shapiro-Wilk W-test for
// non-normality", Statistics and Computing 2 (1992) 117-119. This version departs from the published
// routine where the product's definition does: the coefficients a(i) are kept in single precision,
// W is the squared sum of a(i) (x(n+1-i) - x(i)) over the sum of squared deviations (not the
// squared correlation of AS R94), n = 3 uses a = 0.70711 and the exact asin(sqrt(3/4)), and a W
// beyond the small-sample bound gives p = 1e-20. No censoring, no n limit.
//
// Anderson-Darling and Kolmogorov-Smirnov with estimated mean and SD: M. A. Stephens, "EDF
// statistics for goodness of fit and some comparisons", JASA 69 (1974) 730-737; the p-value
// formulas of the modified A* from R. B. D'Agostino and M. A. Stephens, "Goodness-of-Fit
// Techniques" (1986), table 4.9, with their coefficients kept in single precision; the KS p-value
// interpolates Stephens' table of the modified D*. ln F(i) and ln(1 - F(i)) are each taken from
// their own tail, so that values far from the mean neither lose digits nor make A squared infinite.
#include "addin/numerics/normality.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "addin/numerics/descriptives.h"
#include "addin/numerics/distributions.h"

namespace qs::numerics {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<double> SortedPresent(const std::vector<double>& values) {
    std::vector<double> x;
    x.reserve(values.size());
    for (double v : values)
        if (std::isfinite(v)) x.push_back(v);
    std::sort(x.begin(), x.end());
    return x;
}

// c[0] + c[1] x + ... + c[k-1] x^(k-1)
template <size_t K>
double Poly(const double (&c)[K], double x) {
    double s = 0;
    for (size_t i = K; i-- > 0;) s = s * x + c[i];
    return s;
}

// Sum of squared deviations about the mean (two passes).
double SumSquaredDeviations(const std::vector<double>& x) {
    Descriptives d(x);
    return d.SumSquaredDeviations();
}

// ln P[Z > z] for the standard normal Z. Where the tail underflows (z beyond about 37.5) the
// asymptotic series of Mills' ratio: ln phi(z) - ln z + ln(1 - 1/z^2 + 3/z^4 - 15/z^6).
double LogUpperTail(double z) {
    const double p = NormalP(z, 0.0, 1.0, kUpperTail);
    if (p > 1e-300 || z < 30) return std::log(p);
    const double z2 = z * z;
    return -0.5 * z2 - std::log(z) - 0.91893853320467274178 /* ln sqrt(2 pi) */ +
           std::log1p(-1.0 / z2 + 3.0 / (z2 * z2) - 15.0 / (z2 * z2 * z2));
}

// The normal distribution function at each sorted value with the sample mean and SD: the
// standardised values z, and F = P[Z <= z] with its logarithm and that of 1 - F, each from its own
// tail so that neither loses digits (or underflows) far out.
struct NormalTails {
    std::vector<double> f, logF, logOneMinusF;
};
bool NormalProbabilities(const std::vector<double>& x, NormalTails& t) {
    Descriptives d(x);
    const double mean = d.Mean(), sd = d.SD();
    if (!(sd > 0) || std::isnan(mean)) return false;
    t.f.resize(x.size());
    t.logF.resize(x.size());
    t.logOneMinusF.resize(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const double z = (x[i] - mean) / sd;
        t.f[i] = NormalP(z, 0.0, 1.0, kLowerTail);
        t.logF[i] = LogUpperTail(-z);
        t.logOneMinusF[i] = LogUpperTail(z);
    }
    return true;
}

}  // namespace

double ShapiroWilkP(double w, int n) {
    if (std::isnan(w) || n < 3) return kNaN;
    if (n == 3) {
        // The published factor (6 / pi to 7 digits; a little above it): p is kept within [0, 1].
        constexpr double kSixOverPi = 1.9098593496814322;
        return std::clamp((std::asin(std::sqrt(w)) - std::asin(std::sqrt(0.75))) * kSixOverPi, 0.0, 1.0);
    }
    const double an = n;
    double y = std::log(1.0 - w);
    double mean, sd;
    if (n <= 11) {
        const double gamma = -2.273 + 0.459 * an;
        if (y >= gamma) return 1e-20;
        y = -std::log(gamma - y);
        static const double c3[] = {0.544, -0.39978, 0.025054, -6.714e-4};
        static const double c4[] = {1.3822, -0.77857, 0.062767, -0.0020322};
        mean = Poly(c3, an);
        sd = std::exp(Poly(c4, an));
    } else {
        const double ln = std::log(an);
        static const double c5[] = {-1.5861, -0.31082, -0.083751, 0.0038915};
        static const double c6[] = {-0.4803, -0.082676, 0.0030302};
        mean = Poly(c5, ln);
        sd = std::exp(Poly(c6, ln));
    }
    return NormalP(y, mean, sd, kUpperTail);
}

NormalityResult ShapiroWilk(const std::vector<double>& values) {
    const std::vector<double> x = SortedPresent(values);
    const size_t n = x.size();
    NormalityResult r{kNaN, kNaN, kNaN};
    if (n < 3) return r;
    const size_t half = n / 2;
    std::vector<float> a(half);
    if (n == 3) {
        a[0] = 0.70711f;
    } else {
        static const double c1[] = {0.0, 0.221157, -0.147981, -2.07119, 4.434685, -2.706056};
        static const double c2[] = {0.0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633};
        const double an25 = static_cast<double>(n) + 0.25;
        std::vector<double> m(half);
        double summ2 = 0;
        for (size_t i = 0; i < half; ++i) {
            m[i] = NormalQuantile((static_cast<double>(i + 1) - 0.375) / an25, 0.0, 1.0, kLowerTail);
            summ2 += m[i] * m[i];
        }
        summ2 *= 2.0;
        const double ssumm2 = std::sqrt(summ2), rsn = 1.0 / std::sqrt(static_cast<double>(n));
        const double a1 = Poly(c1, rsn) - m[0] / ssumm2;
        double phi;
        size_t first = 1;
        a[0] = static_cast<float>(a1);
        if (n > 5) {
            const double a2 = Poly(c2, rsn) - m[1] / ssumm2;
            a[1] = static_cast<float>(a2);
            phi = (summ2 - 2.0 * m[0] * m[0] - 2.0 * m[1] * m[1]) / (1.0 - 2.0 * a1 * a1 - 2.0 * a2 * a2);
            first = 2;
        } else {
            phi = (summ2 - 2.0 * m[0] * m[0]) / (1.0 - 2.0 * a1 * a1);
        }
        const double root = std::sqrt(phi);
        for (size_t i = first; i < half; ++i) a[i] = static_cast<float>(-m[i] / root);
    }
    const double ss = SumSquaredDeviations(x);
    if (!(ss > 0)) return r;  // all values equal
    double sum = 0;
    for (size_t i = 0; i < half; ++i) sum += static_cast<double>(a[i]) * (x[n - 1 - i] - x[i]);
    r.raw = r.statistic = sum * sum / ss;
    r.p = ShapiroWilkP(r.statistic, static_cast<int>(n));
    return r;
}

double AndersonDarlingP(double a) {
    if (std::isnan(a)) return kNaN;
    // The published coefficients, as single-precision numbers.
    auto f = [](float c) { return static_cast<double>(c); };
    if (a >= 0.6) return std::exp(f(1.2937f) - f(5.709f) * a + f(0.0186f) * a * a);
    if (a > 0.34) return std::exp(f(0.9177f) - f(4.279f) * a - f(1.38f) * a * a);
    if (a > 0.2) return 1.0 - std::exp(f(-8.318f) + f(42.796f) * a - f(59.938f) * a * a);
    return 1.0 - std::exp(f(-13.436f) + f(101.14f) * a - f(223.73f) * a * a);
}

NormalityResult AndersonDarling(const std::vector<double>& values) {
    const std::vector<double> x = SortedPresent(values);
    NormalityResult r{kNaN, kNaN, kNaN};
    NormalTails t;
    if (x.size() < 3 || !NormalProbabilities(x, t)) return r;
    const double n = static_cast<double>(x.size());
    double s = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        const double i = static_cast<double>(k + 1);
        s += (2.0 * i - 1.0) * t.logF[k] + (2.0 * n - 2.0 * i + 1.0) * t.logOneMinusF[k];
    }
    r.raw = -n - s / n;
    r.statistic = r.raw * (1.0 + 0.75 / n + 2.25 / (n * n));
    r.p = AndersonDarlingP(r.statistic);
    return r;
}

double KolmogorovSmirnovP(double d) {
    if (std::isnan(d)) return kNaN;
    static const double kD[] = {0.775, 0.819, 0.895, 0.955, 1.035};
    static const double kP[] = {0.15, 0.10, 0.05, 0.025, 0.01};
    if (d < kD[0]) return INFINITY;   // shown as "> 0.15"
    if (d > kD[4]) return -INFINITY;  // shown as "< 0.01"
    for (size_t i = 0; i + 1 < 5; ++i)
        if (d <= kD[i + 1]) return kP[i] + (d - kD[i]) * (kP[i + 1] - kP[i]) / (kD[i + 1] - kD[i]);
    return kP[4];
}

NormalityResult KolmogorovSmirnov(const std::vector<double>& values) {
    const std::vector<double> x = SortedPresent(values);
    NormalityResult r{kNaN, kNaN, kNaN};
    NormalTails t;
    if (x.size() < 3 || !NormalProbabilities(x, t)) return r;
    const std::vector<double>& f = t.f;
    const double n = static_cast<double>(x.size());
    double d = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        const double i = static_cast<double>(k + 1);
        d = std::max(d, std::max(i / n - f[k], f[k] - (i - 1.0) / n));
    }
    r.raw = d;
    r.statistic = d * (std::sqrt(n) - 0.01 + 0.85 / std::sqrt(n));
    r.p = KolmogorovSmirnovP(r.statistic);
    return r;
}

}  // namespace qs::numerics
