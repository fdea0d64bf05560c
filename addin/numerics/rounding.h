// Rounding that fixes how sums are kept and removes floating-point noise from differences.
#pragma once

namespace qs::numerics {

// x printed with "%.*g" at the given number of significant digits and read back.
double RoundSignificant(double x, int digits);

// a - b, rounded to the digits that are not noise: with q = |max(a, b) / (a - b)|, the
// difference keeps 14 - trunc(log10 q) significant digits. Exactly equal operands give 0.
double NoiseFreeDifference(double a, double b);

}  // namespace qs::numerics
