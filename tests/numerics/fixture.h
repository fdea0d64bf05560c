// Reading the reference tables of tests/data/numerics and keeping score of relative errors.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qs::numerics::testing {

struct FixtureRow {
    std::string region;
    std::vector<double> values;  // the numeric columns after the region
    std::string rest;            // everything after the numeric columns (unparsed), if asked
};

// Rows of a table; the header line is skipped. numeric_columns limits how many columns after
// the region are read as numbers (the remainder goes to rest); -1 reads them all.
std::vector<FixtureRow> ReadFixture(const std::string& name, int numeric_columns = -1);

std::string DataPath(const std::string& name);

// Relative error of a against the reference r (absolute error when r is 0; 0 when both are
// the same infinity or both NaN).
double RelativeError(double a, double r);

// Worst relative error per function and region, printed by Report().
class ErrorTable {
public:
    void Add(const std::string& function, const std::string& region, double error, const std::string& where);
    double Worst(const std::string& function) const;
    void Report(const std::string& title) const;

private:
    struct Entry {
        double worst = 0.0;
        std::string where;
        int count = 0;
    };
    std::map<std::string, std::map<std::string, Entry>> entries_;
};

}  // namespace qs::numerics::testing
