// Tests of normality: Shapiro-Wilk (AS R94), Anderson-Darling and Kolmogorov-Smirnov (Lilliefors)
// with estimated mean and SD. Missing values (not finite) are left out; results that cannot be
// computed (too few values, all values equal) are NaN.
#pragma once

#include <vector>

namespace qs::numerics {

struct NormalityResult {
    double statistic;  // W, A* (modified A squared) or D* (modified D)
    double raw;        // W, A squared, D
    double p;          // KS: -inf for "< 0.01", +inf for "> 0.15"
};

// Shapiro-Wilk W and p for 3 <= n (Royston's approximation; p is meant for n <= 5000).
NormalityResult ShapiroWilk(const std::vector<double>& values);
// Anderson-Darling A squared, A* = A squared (1 + 0.75/n + 2.25/n^2) and p (D'Agostino and Stephens).
NormalityResult AndersonDarling(const std::vector<double>& values);
// Kolmogorov-Smirnov D, D* = D (sqrt n - 0.01 + 0.85/sqrt n) and p from Stephens' table.
NormalityResult KolmogorovSmirnov(const std::vector<double>& values);

// The p-value parts alone (exposed for the tests of their branches).
double ShapiroWilkP(double w, int n);
double AndersonDarlingP(double aStar);
double KolmogorovSmirnovP(double dStar);

}  // namespace qs::numerics
