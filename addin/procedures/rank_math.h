// The arithmetic of the rank-based tests over plain vectors, kept apart from the Test classes so
// that it can be checked without a host: the runs and sign tests, Wilcoxon's signed ranks,
// Mann-Whitney, Kruskal-Wallis, Friedman and the median test, with the exact distributions they
// read (built on demand, kept for the last size asked for) and the Hodges-Lehmann estimates.
//
// The Hodges-Lehmann estimate and limits are order statistics of the n(n + 1)/2 Walsh averages or
// of the n1 n2 differences. They are found by selection over the implicit sorted matrix (Johnson
// and Mizoguchi, "Selecting the kth element in X + Y and X1 + X2 + ... + Xm", SIAM J. Comput. 7
// (1978) 147-153, in the randomised form of Monahan, "Algorithm 616: fast computation of the
// Hodges-Lehmann location estimator", ACM TOMS 10 (1984) 265-270): O(n log n) expected time and
// O(n) memory, never forming the pairs. The direct versions that sort every pair stay here as the
// reference the tests compare them with on small n.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "addin/procedures/counts_math.h"

namespace qs::procedures {

// ---------------------------------------------------------------- exact distributions

// Both tails at w: P[X <= w] and P[X > w].
struct Tails {
    double lower, upper;
};
// Wilcoxon's signed-rank statistic of n untied values (subset sums of 1..n).
Tails SignedRankTails(int n, double w);
// Mann-Whitney's U = W - m(m + 1)/2 for samples of m and n.
Tails RankSumTails(int m, int n, double u);

// ---------------------------------------------------------------- order statistics of pairs

// The k-th smallest (0-based) of the Walsh averages (x[i] + x[j]) / 2, i <= j.
double WalshAverageAt(std::span<const double> x, std::int64_t k);
// The k-th smallest (0-based) of the differences x[i] - y[j].
double PairDifferenceAt(std::span<const double> x, std::span<const double> y, std::int64_t k);
// The median of all Walsh averages / differences (the mean of the two middle ones for an even count).
double WalshMedian(std::span<const double> x);
double DifferenceMedian(std::span<const double> x, std::span<const double> y);
// The direct versions: every pair formed and sorted.
std::vector<double> AllWalshAverages(std::span<const double> x);
std::vector<double> AllPairDifferences(std::span<const double> x, std::span<const double> y);

// ---------------------------------------------------------------- the tests

// What a rank test reports beyond CountResult: the statistic's expected value and the counts.
struct RankResult : CountResult {
    double n1 = 0, n2 = 0, zeros = 0;  // runs: the two categories' counts; paired: n and zeros
    double expected = numerics::MissingValue();
};

// The runs test of a sequence of two categories (codes 0 and 1, others ignored) in dataset order;
// first is the code met first. statistic = R, expected = mu.
RankResult Runs(std::span<const int> sequence, numerics::Tail tail);

// The sign test of the differences (pair differences, or values minus the hypothesised median);
// estimate the median of the differences with the interval from the binomial ranks.
RankResult Sign(std::span<const double> differences, double alpha, numerics::Tail tail);

// Wilcoxon's signed ranks test of the differences; statistic W, estimate the Hodges-Lehmann median
// of the Walsh averages with its distribution-free interval.
RankResult SignedRanks(std::span<const double> differences, double alpha, numerics::Tail tail);

// The Mann-Whitney test of x against y; statistic W = the rank sum of x, estimate the median of
// the differences x - y with its interval.
RankResult MannWhitney(std::span<const double> x, std::span<const double> y, double alpha, numerics::Tail tail);

// Kruskal-Wallis' H of k groups (statistic H, df k - 1).
RankResult KruskalWallis(const std::vector<std::vector<double>>& groups);

// Friedman's test of b blocks of k treatments (blocks[i][j]: block i, treatment j; complete
// blocks only). rankSums receives R(j).
RankResult Friedman(const std::vector<std::vector<double>>& blocks, std::vector<double>* rankSums = nullptr);

// The median test: the grand median of all groups, the 2 x k table of counts above it (row 1) and
// not above (row 2), tested by Fisher's exact test (k = 2, two-sided) or the chi-square test.
struct MedianTestResult {
    double median = numerics::MissingValue();
    std::vector<double> above, notAbove;
    RankResult test;
};
MedianTestResult MedianTest(const std::vector<std::vector<double>>& groups);

}  // namespace qs::procedures
