// The critical-value tables of the Tukey and Dunnett error protection, in single precision as
// printed tables give them (about three significant figures). Each row is its degrees of freedom
// followed by the values for k = 2 groups upwards; the last row's DF is the largest float and
// stands for infinity. The values live in tables/*.inc (source stated there).
#include <cfloat>
#include <cmath>

#include "addin/procedures/anova_model.h"

namespace qs::procedures {

namespace {

// Studentized range q(alpha; k, DF): DF 1 to 20, 24, 30, 40, 60, 120, infinity; k = 2 to 20.
constexpr int kRangeRows = 26, kRangeColumns = 20;
const float kRange05[kRangeRows * kRangeColumns] = {
#include "addin/procedures/tables/studentized_range_05.inc"
};
const float kRange01[kRangeRows * kRangeColumns] = {
#include "addin/procedures/tables/studentized_range_01.inc"
};

// Dunnett's two-sided many-against-control d(alpha; k, DF), k groups including the control: DF 5
// to 20, 24, 30, 40, 60, 120, infinity; k = 2 to 10.
constexpr int kDunnettRows = 22, kDunnettColumns = 10;
const float kDunnett05[kDunnettRows * kDunnettColumns] = {
#include "addin/procedures/tables/dunnett_05.inc"
};
const float kDunnett01[kDunnettRows * kDunnettColumns] = {
#include "addin/procedures/tables/dunnett_01.inc"
};

constexpr double kAlphaOnePercent = 0.01;

}  // namespace

CriticalTable TableData(RangeTable table, bool onePercent) {
    if (table == RangeTable::kDunnett) return {onePercent ? kDunnett01 : kDunnett05, kDunnettRows, kDunnettColumns};
    return {onePercent ? kRange01 : kRange05, kRangeRows, kRangeColumns};
}

double TableValue(RangeTable table, int k, double df, double alpha) {
    const CriticalTable t = TableData(table, alpha == kAlphaOnePercent);
    if (k < 2 || k > t.columns || !(df >= t.data[0])) return std::nan("");
    // The row of the largest tabulated DF not above df; the infinity row (largest float) is
    // reached only above the last finite row.
    int row = 0;
    while (row + 1 < t.rows && t.data[(row + 1) * t.columns] <= df) ++row;
    if (row == t.rows - 2 && df > t.data[row * t.columns]) row = t.rows - 1;
    return t.data[row * t.columns + (k - 1)];
}

}  // namespace qs::procedures
