// Mid-ranks with a record of ties, as every rank test uses them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qs::numerics {

// Sizes of the tied groups (only groups of two or more), the number of untied values and the
// number of values ranked. Ranking appends to the record.
struct TieRecord {
    std::vector<std::uint32_t> tie_sizes;
    std::uint32_t untied = 0;
    std::uint32_t total = 0;

    // Percentage of ranked values that share their rank with another.
    double PercentTied() const;
    // Sum over the tied groups of t^3 - t (the usual tie correction).
    double TieCorrection() const;
};

// Mid-ranks of the non-missing (finite) values, aligned with the input; missing values get
// NaN. Values are compared exactly, by absolute value when asked. Ranks are single precision.
std::vector<float> MidRanks(std::span<const double> values, bool by_absolute_value, TieRecord* ties);

// Name of the rank variable made from a variable called source.
std::string RankVariableName(const std::string& source, bool by_absolute_value);

}  // namespace qs::numerics
