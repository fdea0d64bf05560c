// Hypergeometric probabilities P[X <= x] and P[X = x].
//
// Method: Lund, "Algorithm AS 152: Cumulative hypergeometric probabilities", Applied Statistics
// 29 (1980) 221-223: argument checks (fault 1, then 2), trivial tables, a normal approximation
// with continuity correction for large populations (N > 1000 and
// 16 max(K / (N - K), (N - K) / K) < min(n, N - n)), otherwise the point probability followed by
// the sum of neighbouring terms through the ratio of successive probabilities.
// This version: the point probability is formed as Freeman's product of ratios rather than from
// log-factorials, and both it and the tail sum carry a separate binary exponent, which does in
// double precision what the published scale factor 1e35 and underflow limit exp(-88) do in
// single: nothing underflows until the final result, so the sum keeps full relative accuracy.
// The tail summed is the one on the far side of the mode from the rest of the mass, so the
// smaller tail is never formed by subtraction. Fault 3 marks a cumulative result whose point
// probability lies below the smallest double. The normal approximation uses Cody's normal
// integral (normal.cpp) in place of AS 66.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "addin/numerics/cdf.h"
#include "addin/numerics/distributions.h"

namespace qs::numerics {

namespace {

constexpr double kSqrt2Pi = 2.5066282;  // root of 2 pi of the published point approximation
constexpr double kExpLimit = -88.0;     // exp below this counts as zero in the approximation
constexpr std::int64_t kApproxPopulation = 1000;

// A positive number as mantissa * 2^exponent, so long products neither overflow nor underflow.
struct Scaled {
    double m = 1.0;
    long e = 0;
    void mul(double f) {
        m *= f;
        if (m > 0x1p+500 || m < 0x1p-500) {
            int k = 0;
            m = std::frexp(m, &k);
            e += k;
        }
    }
    double value() const { return std::ldexp(m, static_cast<int>(std::clamp(e, -4000L, 4000L))); }
};

}  // namespace

double HypergeometricP(bool point, std::int32_t sample, std::int32_t x, std::int32_t population, std::int32_t successes,
                       int& fault) {
    const std::int64_t n = sample, N = population, K = successes, l = x;
    fault = 1;
    if (K < 0 || N < K || n < 0 || n > N) return 0.0;
    fault = 2;
    if (l < 0 || n - l > N - K) return 0.0;
    if (l > K || l > n) return point ? 0.0 : 1.0;
    fault = 0;
    if (n == 0 || n == N || K == 0 || K == N) return 1.0;
    if (!point && l == std::min(n, K)) return 1.0;

    const double ratio = static_cast<double>(K) / static_cast<double>(N - K);
    if (static_cast<double>(std::min(n, N - n)) > 16.0 * std::max(ratio, 1.0 / ratio) && N > kApproxPopulation) {
        const double mean = static_cast<double>(n) * static_cast<double>(K) / N;
        const double sig = std::sqrt(mean * (static_cast<double>(N - K) / N) * (static_cast<double>(N - n) / (N - 1)));
        if (point) {
            const double arg = -0.5 * std::pow((l - mean) / sig, 2);
            return arg >= kExpLimit ? std::exp(arg) / (sig * kSqrt2Pi) : 0.0;
        }
        double cum, ccum;
        cumnor((l + 0.5 - mean) / sig, cum, ccum);
        return cum;
    }

    // Point probability C(K, l) C(N - K, n - l) / C(N, n) as a product of ratios.
    Scaled prob;
    for (std::int64_t i = 0; i < l; ++i)
        prob.mul((static_cast<double>(K - i) / (l - i)) * (static_cast<double>(n - i) / (N - i)));
    for (std::int64_t i = l; i < n; ++i) prob.mul(static_cast<double>(N - K - (i - l)) / static_cast<double>(N - i));
    if (point) return prob.value();

    // Sum the tail away from the mode, relative to the point probability.
    const std::int64_t lowest = std::max<std::int64_t>(0, n - (N - K));
    const std::int64_t highest = std::min(n, K);
    const double mode = std::floor((n + 1.0) * (K + 1.0) / (N + 2.0));
    double result;
    if (l < mode) {
        // P[X <= l] = P(l) (1 + r_l + r_l r_{l-1} + ...), r_j = P(j - 1) / P(j)
        double term = 1.0, sum = 1.0;
        for (std::int64_t j = l; j > lowest; --j) {
            term *= (static_cast<double>(j) / (K - j + 1)) * (static_cast<double>(N - K - n + j) / (n - j + 1));
            sum += term;
            if (term < sum * 1e-17) break;
        }
        Scaled total = prob;
        total.mul(sum);
        result = total.value();
    } else {
        // P[X > l] = P(l) (s_l + s_l s_{l+1} + ...), s_j = P(j + 1) / P(j)
        double term = 1.0, sum = 0.0;
        for (std::int64_t j = l; j < highest; ++j) {
            term *= (static_cast<double>(K - j) / (j + 1)) * (static_cast<double>(n - j) / (N - K - n + j + 1));
            sum += term;
            if (term < sum * 1e-17) break;
        }
        Scaled upper = prob;
        upper.mul(sum);
        result = 1.0 - upper.value();
    }
    if (prob.value() == 0.0 && prob.e < -1000) fault = 3;
    return result;
}

}  // namespace qs::numerics
