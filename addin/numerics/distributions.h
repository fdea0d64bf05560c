// Statistical wrappers over the distribution core: p-values with a tail, quantiles, confidence
// intervals, exact binomial and hypergeometric probabilities, and the discrete-tail rule shared
// by every exact p-value. Every p-value, critical value and confidence limit of the add-in comes
// from here.
//
// Conventions
// - Tail: 0 two-sided, 1 lower tail ("less than"), 2 upper tail ("greater than"); always last.
// - A result that cannot be computed (bad arguments, NaN in) is the quiet NaN; open ends of
//   one-sided intervals are -inf and +inf. Nothing here throws, except that the core's search
//   may raise "error in iterative routine" (numerics_error.h), which only BinomialQuantile
//   catches.
// - Upper tails are taken from the core's complementary probability q, never formed as 1 - p,
//   so that tiny upper-tail p-values keep their relative accuracy. Where 1 - p is exact the two
//   agree; the two-sided value is 2 min(p, q) and is never capped.
#pragma once

#include <cstdint>

namespace qs::numerics {

using Tail = int;
inline constexpr Tail kTwoSided = 0;
inline constexpr Tail kLowerTail = 1;
inline constexpr Tail kUpperTail = 2;

// First member: the alpha asked for (continuous intervals) or the attained alpha (exact
// binomial intervals); then the lower and upper limits.
struct Interval {
    double alpha;
    double lower;
    double upper;
};

// The quiet NaN (bits 0xFFF8000000000000) that marks missing or impossible values.
double MissingValue();

// p-value from a lower-tail probability: tail 1 p, tail 2 1 - p, tail 0 2 min(p, 1 - p).
double TailP(double p, Tail tail);
// The same from both tails: tail 1 p, tail 2 q, tail 0 2 min(p, q).
double TailP(double p, double q, Tail tail);

double NormalP(double x, double mean, double sd, Tail tail);
double NormalQuantile(double alpha, double mean, double sd, Tail tail);
double NormalDensity(double x, double mean, double sd);
Interval NormalCI(double alpha, double estimate, double se, Tail tail);

double TP(double t, double df, Tail tail);
double TQuantile(double alpha, double df, Tail tail);
Interval TCI(double alpha, double estimate, double se, double df, Tail tail);

double ChiSquareP(double x, double df, Tail tail);

double FP(double f, double dfn, double dfd, Tail tail);
double FQuantile(double alpha, double dfn, double dfd, Tail tail);
Interval FRatioCI(double alpha, double ratio, double df1, double df2, Tail tail);

double BinomialP(double n, double s, double pr, Tail tail);
double BinomialQuantile(double alpha, double n, double pr, Tail tail);
double BinomialProportionBound(double p, double n, double s, Tail tail);
Interval BinomialProportionCI(double alpha, double n, double proportion, Tail tail);
// Ranks of the order statistics bounding the quantile pr (0.5 for the median), counted from
// 0 (rank 0 is the smallest value): the lower rank is the integer part of the binomial quantile
// at a = alpha (tail 2) or alpha / 2 (tail 0), the upper one that of the quantile at 1 - a,
// plus 1. The first member is the attained alpha, P[X <= lower] + P[X > upper].
Interval BinomialRankCI(double alpha, double n, double pr, Tail tail);

// P[X <= x] (point false) or P[X = x] (point true) for a sample of size sample drawn without
// replacement from population items of which successes are successes (AS 152). fault: 0 ok,
// 1 and 2 argument errors (result 0, or 1 for the cumulative with x out of range), 3 precision
// lost in the summation.
double HypergeometricP(bool point, std::int32_t sample, std::int32_t x, std::int32_t population, std::int32_t successes,
                       int& fault);

// Prepares an exact discrete p-value. Returns true when the caller must evaluate the lower
// cumulative probability P[X <= statistic] at the adjusted statistic and pass it to TailP with
// the same tail; otherwise p already holds the lower-tail probability to pass on.
bool DiscreteTailPrep(double& statistic, double& p, double centre, double lowest, double highest, Tail tail,
                      double step);

double LogFactorial(std::int32_t n);
double BinomialCoefficient(std::int32_t a, std::int32_t b);

}  // namespace qs::numerics
