// ln n! and binomial coefficients for the exact tests.
//
// ln n!: a table for n < 7, otherwise the Stirling series of ln Gamma(a), a = n + 1, with terms
// up to 1/a^5: (a - 1/2) ln a - a + ln sqrt(2 pi) + (1/12a - 1/360a^3 + 1/1260a^5 - 1/1680a^7),
// written over the common denominator 5040 a. About 12 significant digits at n = 7, more beyond.
// C(a, b) = exp(ln a! - ln b! - ln (a - b)!) rounded half up to an integer.
#include <cmath>
#include <cstdint>
#include <limits>

#include "addin/numerics/distributions.h"

namespace qs::numerics {

namespace {
constexpr double kLogFactorialTable[7] = {0.0,           0.0,           0.69314718056, 1.79175946923,
                                          3.17805383035, 4.78749174278, 6.57925121101};
constexpr double kLnSqrt2Pi = 0.918938533205;
}  // namespace

double LogFactorial(std::int32_t n) {
    if (n < 0) return std::numeric_limits<double>::quiet_NaN();
    if (n < 7) return kLogFactorialTable[n];
    const double a = n + 1.0;
    const double a2 = a * a;
    return (a - 0.5) * std::log(a) - a + kLnSqrt2Pi +
           (420.0 - 14.0 / a2 + 4.0 / (a2 * a2) - 3.0 / (a2 * a2 * a2)) / (5040.0 * a);
}

double BinomialCoefficient(std::int32_t a, std::int32_t b) {
    if (a == 0) return 1.0;
    const double v = std::exp(LogFactorial(a) - LogFactorial(b) - LogFactorial(a - b));
    const double whole = std::floor(v);
    return (v - whole >= 0.5) ? whole + 1.0 : whole;
}

}  // namespace qs::numerics
