// Compensated summation (Neumaier's variant of Kahan's method): the running sum carries the
// low-order bits lost in each addition, so a sum of n terms is accurate to about one rounding
// regardless of n and of cancellation between large terms.
// A. Neumaier, "Rundungsfehleranalyse einiger Verfahren zur Summation endlicher Summen",
// ZAMM 54 (1974) 39-51.
#pragma once

#include <cmath>

namespace qs::numerics {

class CompensatedSum {
public:
    void Add(double x) {
        const double t = sum_ + x;
        if (std::fabs(sum_) >= std::fabs(x))
            compensation_ += (sum_ - t) + x;
        else
            compensation_ += (x - t) + sum_;
        sum_ = t;
    }
    double Value() const { return sum_ + compensation_; }

private:
    double sum_ = 0.0;
    double compensation_ = 0.0;
};

}  // namespace qs::numerics
