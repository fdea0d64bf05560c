// The reference tables of tests/data/procedures (CSV files with a header row, written by the R
// scripts there): any table by its column names, and the readers of the z, t and F tests' tables
// built on it, observations per dataset and R's results per dataset, alternative and level.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qs::procedures::testing {

// One CSV table of tests/data/procedures, its cells reached by column name. Numbers read "NA" as
// NaN and "Inf", "-Inf" as infinities. A column a table lacks, a row of the wrong width and a
// cell that is no number throw std::runtime_error naming the file.
class Table {
public:
    explicit Table(const std::string& file);
    size_t Rows() const { return m_rows.size(); }
    bool Has(const std::string& column) const { return m_columns.count(column) != 0; }
    const std::string& Text(size_t row, const std::string& column) const;
    double Number(size_t row, const std::string& column) const;
    int Integer(size_t row, const std::string& column) const;

private:
    size_t Column(const std::string& column) const;
    std::string m_file;
    std::map<std::string, size_t> m_columns;
    std::vector<std::vector<std::string>> m_rows;
};

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
