// RoundSignificant and the noise-free difference.
//
// Both go through the C library's decimal conversion ("%.*g", then strtod), so the result is
// the double nearest to the decimal shown with that many digits, as a user would read it.
// This version: the digit count is kept within 1..17. Above 17 nothing changes (17 significant
// digits reproduce any double); below 1 "%.*g" would silently fall back to 6 digits for a
// negative precision, so a difference at or below the noise level (|a - b| about 1e-14 of the
// operands or less) keeps one significant digit instead. Non-finite inputs pass through.
#include "addin/numerics/rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qs::numerics {

double RoundSignificant(double x, int digits) {
    if (!std::isfinite(x)) return x;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", std::clamp(digits, 1, 17), x);
    return std::strtod(buffer, nullptr);
}

double NoiseFreeDifference(double a, double b) {
    const double d = a - b;
    if (d == 0.0) return 0.0;
    if (!std::isfinite(d)) return d;
    const double q = std::fabs(std::max(a, b) / d);
    // q = 0 (max(a, b) = 0) means the difference dwarfs the operands: keep every digit.
    const double lq = std::log10(q);
    const int digits = std::isfinite(lq) ? 14 - static_cast<int>(std::trunc(std::clamp(lq, -100.0, 100.0))) : 17;
    return RoundSignificant(d, digits);
}

}  // namespace qs::numerics
