// The arithmetic of the tests on counts and proportions and of the correlation tests, over plain
// counts and vectors, kept apart from the Test classes so that it can be checked without a host.
//
// Alpha is 1 - level / 100; the tail is 0 two-sided, 1 lower, 2 upper. Nothing here throws: what
// cannot be computed is NaN (the tests turn the cases their users must hear about into messages).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "addin/numerics/distributions.h"

namespace qs::procedures {

// The p-value block's method codes and flag bits, as the report's P block reads them.
enum CountMethod : unsigned {
    kMethodNone = 0,
    kMethodExact = 1,
    kMethodNormal = 2,
    kMethodChiSquare = 3,
    kMethodT = 4,
    kMethodWoolf = 6,
};
enum CountFlags : unsigned { kFlagTies = 0x100, kFlagDouble1Tailed = 0x200, kFlagContinuity = 0x400 };

// An estimate with its interval, a statistic with its degrees of freedom, and a p-value with how it
// was obtained. Fields a test does not have stay NaN.
struct CountResult {
    double estimate = numerics::MissingValue();
    numerics::Interval ci{numerics::MissingValue(), numerics::MissingValue(), numerics::MissingValue()};
    unsigned ciMethod = kMethodNone;  // how the interval was obtained (0: nothing to say)
    double statistic = numerics::MissingValue();
    double df = numerics::MissingValue();
    double p = numerics::MissingValue();
    unsigned method = kMethodNone;
    unsigned flags = 0;
    double tiesPercent = 0;
};

// Exact binomial test of s successes in n against the expected proportion; the estimate is s / n
// with its exact (Clopper-Pearson) interval. Two-sided with an expected proportion other than 0.5,
// the p-value is twice the smaller tail (flag "double 1-tailed p").
CountResult Binomial(double s, double n, double expected, double alpha, numerics::Tail tail);

// A 2 x 2 table: a b in the first row, c d in the second.
struct Table2x2 {
    double a = 0, b = 0, c = 0, d = 0;
    double N() const { return a + b + c + d; }
};

// Effect measures of a 2 x 2 table (the options of the "Point estimate" parameter).
enum EffectMeasure : int { kEffectDifference = 0, kEffectOddsRatio = 1, kEffectRelativeRisk = 2 };

// The effect of the first row against the second with its interval: the difference of the row
// proportions (normal interval kept inside [-1, 1] on the open side), or the odds ratio or relative
// risk (Woolf's interval on the log scale; NaN with a zero cell). The fields ci and estimate only.
CountResult TableEffect(const Table2x2& t, int measure, double alpha, numerics::Tail tail);

// Fisher's exact p-value of a 2 x 2 table: the tail of the hypergeometric distribution of the
// smaller off-diagonal count once the rows are ordered so that a d >= b c; two-sided is twice the
// smaller tail (flag "double 1-tailed p").
CountResult FisherP(const Table2x2& t, numerics::Tail tail);

// McNemar's change test on the discordant counts g (row 1, column 2) and h (row 2, column 1) of N
// pairs: the exact binomial p of g in g + h, and the difference (g - h) / N or the odds ratio g / h
// with limits from the exact interval of g / (g + h).
CountResult McNemar(double g, double h, double N, int measure, double alpha, numerics::Tail tail);

// Pearson's chi-square of an r x c table given row by row (2 x 2 with Yates' continuity correction
// when asked). The statistic is NaN (or infinite) when a marginal total is zero.
CountResult ChiSquare(std::span<const double> cells, int rows, int columns, bool continuity);

// Cochran's Q of k dichotomous repeated measures: treatmentSuccesses[j] = C(j), subjectSuccesses[i]
// = R(i).
CountResult CochranQ(std::span<const double> treatmentSuccesses, std::span<const double> subjectSuccesses);

// The t test of a correlation coefficient r of n pairs with its Fisher z interval (n > 3).
CountResult CorrelationFromR(double r, double n, double alpha, numerics::Tail tail);

// Pearson's r of the complete pairs of x and y, tested by t.
CountResult Pearson(std::span<const double> x, std::span<const double> y, double alpha, numerics::Tail tail);

// Spearman's rank correlation with mid-ranks, tested by t (flag "corrected for ties" when either
// variable has ties; tiesPercent the sum of both variables' percentages).
CountResult Spearman(std::span<const double> x, std::span<const double> y, double alpha, numerics::Tail tail);

// The pair counts of Kendall's tau: concordant, discordant, tied only in x, tied only in y.
struct KendallCounts {
    std::int64_t concordant = 0, discordant = 0, tiedX = 0, tiedY = 0;
    friend bool operator==(const KendallCounts&, const KendallCounts&) = default;
};
// Knight's O(n log n) counting: sort by (x, y), count the ties, then count discordant pairs as the
// exchanges of a merge sort by y. x and y hold complete pairs only.
KendallCounts KendallPairCounts(std::span<const double> x, std::span<const double> y);
// The same over all n(n - 1)/2 pairs, O(n^2): the reference the tests compare the fast one with.
KendallCounts KendallPairCountsDirect(std::span<const double> x, std::span<const double> y);

// P[S <= s] and P[S > s] for Kendall's S = C - D of n untied pairs (n < 11), from the distribution
// of the number of inversions of a permutation, built once per n and kept.
struct KendallTails {
    double lower, upper;
};
KendallTails KendallExactCdf(int n, double s);

// Kendall's tau-b of the complete pairs, its S tested exactly for n < 11, by the normal
// approximation with the tie-corrected variance otherwise. statistic is tau, estimate is S.
CountResult Kendall(std::span<const double> x, std::span<const double> y, numerics::Tail tail);

}  // namespace qs::procedures
