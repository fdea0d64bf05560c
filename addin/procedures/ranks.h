// The rank-based tests: the runs test, the paired tests sharing PairedRanksTest (sign, Wilcoxon's
// signed ranks, Friedman) and the independent-group tests sharing IndependentRanksTest
// (Mann-Whitney, Kruskal-Wallis, median test). The arithmetic is in rank_math; the catalogue
// objects are declared in catalogue.h.
#pragma once

#include <string>
#include <vector>

#include "addin/framework/test.h"
#include "addin/numerics/ranks.h"
#include "addin/procedures/catalogue.h"
#include "addin/procedures/counts.h"
#include "addin/procedures/rank_math.h"

namespace qs {

// The label and string ids of these tests are the string tables' named constants too.
namespace rank_labels = ids;

// One row of a table of paired differences: the pair, its non-zero differences and its zeros.
struct TablePairedNs : Results {
    CSharedString group;
    double n = 0, zeros = 0;
    const FieldTable& GetFields() const override;  // Group, n, Zero
    size_t Size() const override { return 24; }
};

// One row of a table of ranks: the group, its n, rank sum, mean rank and (Mann-Whitney) U.
struct TableRanks : Results {
    CSharedString group;
    double n = 0, rankSum = 0, meanRank = numerics::MissingValue(), u = numerics::MissingValue();
    void Set(const std::string& name, double count, double sum);
    const FieldTable& GetFields() const override;  // Group, n, Rank sum, Mean rank, U
    size_t Size() const override { return 40; }
};

// The signed ranks test's table: the same columns for the positive and the negative differences.
using TablePairedRanks = TableRanks;

// The P block of a rank test.
void SetRankP(P& p, const procedures::RankResult& r, numerics::Tail tail);

}  // namespace qs
