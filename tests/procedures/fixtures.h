// The reference results of tests/data/procedures: observations per dataset and R's results per
// dataset, alternative and confidence level.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qs::procedures::testing {

// Observations of one dataset: group 1 and group 2 (for paired data the two columns in pair
// order; NaN where a value is missing).
struct Sample {
    std::vector<double> first, second;
};
std::map<int, Sample> ReadSamples(const std::string& file);

struct Reference {
    int dataset = 0;
    int tail = 0;
    double level, mu, sigma, unequal, estimate, statistic, df1, df2, p, lower, upper;
    std::string Where() const;  // "dataset 3, tail 1, level 95"
};
std::vector<Reference> ReadReferences(const std::string& file);

// R's effect sizes of the t tests (effect_sizes.csv): Cohen's d, its limits, Hedges' J and g with
// its limits, for one test's rows.
struct EffectReference {
    std::string test;  // ttest1, ttesti, ttestp
    int dataset = 0;
    int tail = 0;
    double level, mu, d, dLower, dUpper, j, g, gLower, gUpper;
    std::string Where() const;
};
std::vector<EffectReference> ReadEffectSizes(const std::string& test);

// |a - r| / |r|, 0 when both are the same infinity or both NaN, infinite when only one is.
double RelativeError(double a, double r);

}  // namespace qs::procedures::testing
