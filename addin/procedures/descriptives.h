// Descriptive statistics and normality tests: the continuous and categorical summaries, the
// comparative descriptives of groups, and the normality test. The blocks they share are declared
// here; the classes live in their own units.
#pragma once

#include <string>
#include <vector>

#include "addin/charts/chart.h"
#include "addin/framework/test.h"
#include "addin/numerics/descriptives.h"
#include "addin/numerics/normality.h"
#include "addin/procedures/catalogue.h"
#include "addin/resources/string_ids.h"

namespace qs {

// The label ids of these tests' fields are the string files' named constants (ids::kLabelSum ...).
namespace descriptive_labels = ids;

// The confidence level as the choice "99%", "95%", "90%", "80%", "None" (index 0 to 4).
double LevelOfChoice(int index);  // percent; NaN for "None"

// A sample moment with its coefficient and the p-value of its test (skewness, kurtosis).
struct MomentBlock : Results {
    double sample = numerics::MissingValue();
    double coefficient = numerics::MissingValue();
    double p = numerics::MissingValue();
    void Set(const numerics::Descriptives::Moment& m);
    const FieldTable& GetFields() const override;  // value (2041), Coefficient (2034), p (2113)
    size_t Size() const override { return 32; }
};

// A value with its interval (the mean with its t interval, the median with its distribution-free one).
struct ValueCI : Results {
    double value = numerics::MissingValue();
    double lower = numerics::MissingValue();
    double upper = numerics::MissingValue();
    const FieldTable& GetFields() const override;  // value (2041), CI (2064) pair
    size_t Size() const override { return 24; }
};

// The normality test's results: n, mean, SD, skewness, kurtosis, the method, its statistic and p.
struct NormalityBlock : Results {
    enum Method : int { kShapiroWilk = 0, kAndersonDarling = 1, kKolmogorovSmirnov = 2, kNone = 3 };
    uint32_t n = 0;
    double mean = numerics::MissingValue();
    double sd = numerics::MissingValue();
    MomentBlock skewness, kurtosis;
    int method = kShapiroWilk;
    CSharedString methodName;
    double statistic = numerics::MissingValue();
    double p = numerics::MissingValue();  // KS: +inf "> 0.15", -inf "< 0.01"
    // Computes the test by `method` on the values.
    void Compute(const numerics::Descriptives& d, const std::vector<double>& values, int method);
    const FieldTable& GetFields() const override;
    size_t Size() const override { return 96; }
};

}  // namespace qs
