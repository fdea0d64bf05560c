// Mid-ranks: sort the non-missing values (by absolute value when asked), walk runs of equal
// keys; a run of length t starting at position w (1-based) ranks all its members
// w + (t - 1) / 2. Runs longer than one go to the tie record, single values to its untied count.
#include "addin/numerics/ranks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace qs::numerics {

namespace {
constexpr const char* kRankNameFormat = "ranks of %1";
constexpr const char* kWithoutSignSuffix = " without regard to sign";
}  // namespace

double TieRecord::PercentTied() const {
    if (total == 0) return 0.0;
    return 100.0 * static_cast<double>(total - untied) / total;
}

double TieRecord::TieCorrection() const {
    double s = 0.0;
    for (const std::uint32_t t : tie_sizes) s += static_cast<double>(t) * t * t - t;
    return s;
}

std::vector<float> MidRanks(std::span<const double> values, bool by_absolute_value, TieRecord* ties) {
    std::vector<float> ranks(values.size(), std::numeric_limits<float>::quiet_NaN());
    auto key = [&](std::size_t i) { return by_absolute_value ? std::fabs(values[i]) : values[i]; };
    std::vector<std::size_t> order;
    order.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        if (std::isfinite(values[i])) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    std::size_t start = 0;
    while (start < order.size()) {
        std::size_t end = start + 1;
        while (end < order.size() && key(order[end]) == key(order[start])) ++end;
        const std::size_t t = end - start;
        const double rank = (start + 1.0) + (t - 1.0) / 2.0;
        for (std::size_t j = start; j < end; ++j) ranks[order[j]] = static_cast<float>(rank);
        if (ties) {
            if (t > 1)
                ties->tie_sizes.push_back(static_cast<std::uint32_t>(t));
            else
                ++ties->untied;
            ties->total += static_cast<std::uint32_t>(t);
        }
        start = end;
    }
    return ranks;
}

std::string RankVariableName(const std::string& source, bool by_absolute_value) {
    std::string name = kRankNameFormat;
    name.replace(name.find("%1"), 2, source);
    if (by_absolute_value) name += kWithoutSignSuffix;
    return name;
}

}  // namespace qs::numerics
