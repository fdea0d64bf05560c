// NIST StRD univariate summary statistics: mean and standard deviation against the certified
// values, as log relative error (LRE, about the number of correct significant digits). The
// kernel must be at least as accurate as R's mean() and sd() on every data set (R's values are
// in strd_r.txt), and give every mean to at least 14 digits.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "addin/numerics/descriptives.h"
#include "tests/numerics/fixture.h"

namespace qs::numerics {
namespace {

struct StrdSet {
    std::vector<double> values;
    double mean = NAN, sd = NAN;
};

// Reads a data set as published: the header names the data lines, the certified values follow
// "ybar:" and "s:".
StrdSet ReadStrd(const std::string& name) {
    std::ifstream in(testing::DataPath("strd/" + name + ".dat"));
    EXPECT_TRUE(in) << name;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    StrdSet set;
    std::size_t first = 0, last = 0;
    const std::regex data_range(R"(^\s*Data\s*:\s*lines\s+(\d+)\s+to\s+(\d+))");
    const std::regex mean(R"(ybar:\s*([-+0-9.eE]+))");
    const std::regex sd(R"(\bs:\s*([-+0-9.eE]+))");
    for (const auto& line : lines) {
        std::smatch m;
        if (first == 0 && std::regex_search(line, m, data_range)) {
            first = std::stoul(m[1]);
            last = std::stoul(m[2]);
        } else if (line.find("Sample Mean") != std::string::npos && std::regex_search(line, m, mean)) {
            set.mean = std::stod(m[1]);
        } else if (line.find("Sample Standard Deviation") != std::string::npos && std::regex_search(line, m, sd)) {
            set.sd = std::stod(m[1]);
        }
    }
    for (std::size_t i = first; i <= last && i <= lines.size(); ++i) set.values.push_back(std::stod(lines[i - 1]));
    EXPECT_EQ(set.values.size(), last - first + 1) << name;
    return set;
}

// Log relative error, capped at 15 digits (the precision of the certified values' use).
double Lre(double got, double certified) {
    const double e = testing::RelativeError(got, certified);
    if (e == 0.0) return 15.0;
    return std::fmin(15.0, -std::log10(e));
}

TEST(StrdUnivariate, MeanAndSdAtLeastAsAccurateAsR) {
    std::printf("\n  %-10s %9s %9s %9s %9s\n", "data set", "mean LRE", "R mean", "sd LRE", "R sd");
    const auto r_values = testing::ReadFixture("strd_r.txt");
    ASSERT_EQ(r_values.size(), 9u);
    for (const auto& row : r_values) {
        const StrdSet set = ReadStrd(row.region);
        ASSERT_FALSE(set.values.empty());
        const Descriptives d(set.values);
        const double lre_mean = Lre(d.Mean(), set.mean);
        const double lre_sd = Lre(d.SD(), set.sd);
        const double r_mean = Lre(row.values[0], set.mean);
        const double r_sd = Lre(row.values[1], set.sd);
        std::printf("  %-10s %9.2f %9.2f %9.2f %9.2f\n", row.region.c_str(), lre_mean, r_mean, lre_sd, r_sd);
        EXPECT_GE(lre_mean, 14.0) << row.region;
        EXPECT_GE(lre_mean, r_mean) << row.region;
        EXPECT_GE(lre_sd, r_sd) << row.region;
    }
}

}  // namespace
}  // namespace qs::numerics
