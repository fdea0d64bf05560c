#include "addin/procedures/counts_math.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "addin/numerics/descriptives.h"
#include "addin/numerics/ranks.h"

namespace qs::procedures {

using numerics::Interval;
using numerics::Tail;

namespace {

const double kNaN = numerics::MissingValue();
const double kInfinity = INFINITY;

// P[X <= x] for a hypergeometric sample; NaN when the arguments are out of range.
double HypergeometricLower(double sample, double x, double population, double successes) {
    if (x < 0) return 0.0;
    int fault = 0;
    const double p =
        numerics::HypergeometricP(false, static_cast<std::int32_t>(sample), static_cast<std::int32_t>(x),
                                  static_cast<std::int32_t>(population), static_cast<std::int32_t>(successes), fault);
    return fault == 1 || fault == 2 ? kNaN : p;
}

// Pairs of a tie group: t(t - 1)/2.
std::int64_t Pairs(std::int64_t t) { return t * (t - 1) / 2; }

}  // namespace

CountResult Binomial(double s, double n, double expected, double alpha, Tail tail) {
    CountResult r;
    r.estimate = s / n;
    r.ci = numerics::BinomialProportionCI(alpha, n, s / n, tail);
    r.p = numerics::BinomialP(n, s, expected, tail);
    r.method = kMethodExact;
    if (tail == numerics::kTwoSided && expected != 0.5) r.flags |= kFlagDouble1Tailed;
    return r;
}

CountResult TableEffect(const Table2x2& t, int measure, double alpha, Tail tail) {
    CountResult r;
    const double n1 = t.a + t.b, n2 = t.c + t.d;
    if (measure == kEffectDifference) {
        if (n1 == 0 || n2 == 0) return r;
        const double p1 = t.a / n1, p2 = t.c / n2;
        r.estimate = p1 - p2;
        const double se = std::sqrt(p2 * (1 - p2) / n2 + p1 * (1 - p1) / n1);
        r.ci = numerics::NormalCI(alpha, r.estimate, se, tail);
        // A difference of proportions lies in [-1, 1]: the open side ends there.
        if (tail == numerics::kLowerTail) r.ci.lower = -1;
        if (tail == numerics::kUpperTail) r.ci.upper = 1;
        r.ciMethod = kMethodNormal;
        return r;
    }
    if (t.a == 0 || t.b == 0 || t.c == 0 || t.d == 0) return r;
    double logEstimate, se;
    if (measure == kEffectOddsRatio) {
        logEstimate = std::log(t.a * t.d / (t.b * t.c));
        se = std::sqrt(1 / t.a + 1 / t.b + 1 / t.c + 1 / t.d);
    } else {
        logEstimate = std::log((t.a / n1) / (t.c / n2));
        se = std::sqrt(1 / t.a - 1 / n1 + 1 / t.c - 1 / n2);
    }
    const Interval log = numerics::NormalCI(alpha, logEstimate, se, tail);
    r.estimate = std::exp(logEstimate);
    r.ci = {log.alpha, tail == numerics::kLowerTail ? 0.0 : std::exp(log.lower),
            tail == numerics::kUpperTail ? kInfinity : std::exp(log.upper)};
    r.ciMethod = kMethodWoolf;
    return r;
}

CountResult FisherP(const Table2x2& table, Tail tail) {
    CountResult r;
    Table2x2 t = table;
    if (t.a * t.d - t.b * t.c < 0) t = {t.c, t.d, t.a, t.b};
    const double N = t.N();
    const double x = std::min(t.b, t.c);
    double sample, successes;
    if (t.b <= t.c) {
        sample = t.b + t.d;
        successes = t.a + t.b;
    } else {
        sample = t.a + t.c;
        successes = t.c + t.d;
    }
    // Both tails are summed directly (the upper one as the lower tail of the complementary
    // counts), so a tiny upper tail keeps its relative accuracy.
    auto upperFrom = [&](double k) {  // P[X >= k]
        if (k <= 0) return 1.0;
        return HypergeometricLower(sample, sample - k, N, N - successes);
    };
    switch (tail) {
        case numerics::kLowerTail: r.p = HypergeometricLower(sample, x, N, successes); break;
        case numerics::kUpperTail: r.p = upperFrom(x); break;
        default: r.p = numerics::TailP(HypergeometricLower(sample, x, N, successes), upperFrom(x + 1), tail); break;
    }
    r.method = kMethodExact;
    if (tail == numerics::kTwoSided) r.flags |= kFlagDouble1Tailed;
    return r;
}

CountResult McNemar(double g, double h, double N, int measure, double alpha, Tail tail) {
    CountResult r;
    const Interval proportion = numerics::BinomialProportionCI(alpha, g + h, g / (g + h), tail);
    const double L = proportion.lower, U = proportion.upper;
    if (measure == kEffectDifference) {
        r.estimate = (g - h) / N;
        r.ci = {proportion.alpha, (g + h) / N * (2 * L - 1), (g + h) / N * (2 * U - 1)};
        if (tail == numerics::kLowerTail) r.ci.lower = -1;
        if (tail == numerics::kUpperTail) r.ci.upper = 1;
    } else {
        r.estimate = g / h;
        r.ci = {proportion.alpha, L / (1 - L), U / (1 - U)};
        if (tail == numerics::kLowerTail) r.ci.lower = 0;
        if (tail == numerics::kUpperTail) r.ci.upper = kInfinity;
    }
    r.ciMethod = kMethodExact;
    r.p = numerics::BinomialP(g + h, g, 0.5, tail);
    r.method = kMethodExact;
    return r;
}

CountResult ChiSquare(std::span<const double> cells, int rows, int columns, bool continuity) {
    CountResult r;
    std::vector<double> rowTotals(static_cast<size_t>(rows), 0.0), columnTotals(static_cast<size_t>(columns), 0.0);
    double N = 0;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double o = cells[static_cast<size_t>(i * columns + j)];
            rowTotals[static_cast<size_t>(i)] += o;
            columnTotals[static_cast<size_t>(j)] += o;
            N += o;
        }
    if (continuity && rows == 2 && columns == 2) {
        const double a = cells[0], b = cells[1], c = cells[2], d = cells[3];
        const double excess = std::fabs(a * d - b * c) - N / 2;
        r.statistic = N * excess * excess / ((a + b) * (a + c) * (b + d) * (c + d));
        r.flags |= kFlagContinuity;
    } else {
        double x2 = 0;
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j) {
                const double expected = rowTotals[static_cast<size_t>(i)] * columnTotals[static_cast<size_t>(j)] / N;
                const double o = cells[static_cast<size_t>(i * columns + j)];
                x2 += (o - expected) * (o - expected) / expected;
            }
        r.statistic = x2;
    }
    r.df = static_cast<double>(rows - 1) * (columns - 1);
    r.p = numerics::ChiSquareP(r.statistic, r.df, numerics::kUpperTail);
    return r;
}

CountResult CochranQ(std::span<const double> treatmentSuccesses, std::span<const double> subjectSuccesses) {
    CountResult r;
    const double k = static_cast<double>(treatmentSuccesses.size());
    const double mean = std::accumulate(treatmentSuccesses.begin(), treatmentSuccesses.end(), 0.0) / k;
    double spread = 0, sumR = 0, sumR2 = 0;
    for (double c : treatmentSuccesses) spread += (c - mean) * (c - mean);
    for (double s : subjectSuccesses) {
        sumR += s;
        sumR2 += s * s;
    }
    r.statistic = k * (k - 1) * spread / (k * sumR - sumR2);
    r.df = k - 1;
    r.p = numerics::ChiSquareP(r.statistic, r.df, numerics::kUpperTail);
    r.method = kMethodChiSquare;
    return r;
}

CountResult CorrelationFromR(double r, double n, double alpha, Tail tail) {
    CountResult out;
    out.estimate = r;
    out.statistic = r * std::sqrt((n - 2) / (1 - r * r));
    out.df = n - 2;
    out.p = numerics::TP(out.statistic, out.df, tail);
    out.method = kMethodT;
    if (n > 3 && std::isfinite(r)) {
        const double z = 0.5 * std::log((1 + r) / (1 - r));
        const Interval zi = numerics::NormalCI(alpha, z, 1 / std::sqrt(n - 3), tail);
        auto back = [](double limit, double infinite) {
            if (std::isinf(limit)) return infinite;
            return (std::exp(2 * limit) - 1) / (std::exp(2 * limit) + 1);
        };
        out.ci = {zi.alpha, back(zi.lower, -1.0), back(zi.upper, 1.0)};
    } else {
        out.ci = {alpha, kNaN, kNaN};
    }
    return out;
}

CountResult Pearson(std::span<const double> x, std::span<const double> y, double alpha, Tail tail) {
    const numerics::CoDescriptives co(x, y);
    return CorrelationFromR(co.Correlation(), co.N(), alpha, tail);
}

CountResult Spearman(std::span<const double> x, std::span<const double> y, double alpha, Tail tail) {
    numerics::TieRecord tx, ty;
    const std::vector<float> rx = numerics::MidRanks(x, false, &tx);
    const std::vector<float> ry = numerics::MidRanks(y, false, &ty);
    const double n = static_cast<double>(rx.size());
    double D = 0;
    for (size_t i = 0; i < rx.size(); ++i) {
        const double d = static_cast<double>(rx[i]) - static_cast<double>(ry[i]);
        D += d * d;
    }
    const double sx = (n * n * n - n - tx.TieCorrection()) / 12;
    const double sy = (n * n * n - n - ty.TieCorrection()) / 12;
    const double rs = (sx + sy - D) / (2 * std::sqrt(sx * sy));
    CountResult r = CorrelationFromR(rs, n, alpha, tail);
    if (!tx.tie_sizes.empty() || !ty.tie_sizes.empty()) r.flags |= kFlagTies;
    r.tiesPercent = tx.PercentTied() + ty.PercentTied();
    return r;
}

KendallCounts KendallPairCounts(std::span<const double> x, std::span<const double> y) {
    const size_t n = std::min(x.size(), y.size());
    std::vector<std::pair<double, double>> pairs(n);
    for (size_t i = 0; i < n; ++i) pairs[i] = {x[i], y[i]};
    std::sort(pairs.begin(), pairs.end());
    // Pairs tied in x (n1) and in both (n3), from the runs of the sorted pairs.
    std::int64_t tiedXAll = 0, tiedBoth = 0;
    for (size_t i = 0; i < n;) {
        size_t j = i, k = i;
        while (j < n && pairs[j].first == pairs[i].first) ++j;
        tiedXAll += Pairs(static_cast<std::int64_t>(j - i));
        for (k = i; k < j;) {
            size_t m = k;
            while (m < j && pairs[m].second == pairs[k].second) ++m;
            tiedBoth += Pairs(static_cast<std::int64_t>(m - k));
            k = m;
        }
        i = j;
    }
    // A bottom-up merge sort by y; every element a merge moves ahead of elements of the left run
    // that are strictly greater is one exchange per such element: one discordant pair each.
    std::vector<double> ys(n), buffer(n);
    for (size_t i = 0; i < n; ++i) ys[i] = pairs[i].second;
    std::int64_t exchanges = 0;
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, out = lo;
            while (i < mid && j < hi) {
                if (ys[j] < ys[i]) {
                    exchanges += static_cast<std::int64_t>(mid - i);
                    buffer[out++] = ys[j++];
                } else {
                    buffer[out++] = ys[i++];
                }
            }
            while (i < mid) buffer[out++] = ys[i++];
            while (j < hi) buffer[out++] = ys[j++];
        }
        ys.swap(buffer);
    }
    std::int64_t tiedYAll = 0;
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && ys[j] == ys[i]) ++j;
        tiedYAll += Pairs(static_cast<std::int64_t>(j - i));
        i = j;
    }
    KendallCounts c;
    c.discordant = exchanges;
    c.concordant = Pairs(static_cast<std::int64_t>(n)) - tiedXAll - tiedYAll + tiedBoth - exchanges;
    c.tiedX = tiedXAll - tiedBoth;
    c.tiedY = tiedYAll - tiedBoth;
    return c;
}

KendallCounts KendallPairCountsDirect(std::span<const double> x, std::span<const double> y) {
    KendallCounts c;
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j) {
            const double dx = x[i] - x[j], dy = y[i] - y[j];
            if (dx == 0 && dy == 0) continue;
            if (dx == 0)
                ++c.tiedX;
            else if (dy == 0)
                ++c.tiedY;
            else if ((dx > 0) == (dy > 0))
                ++c.concordant;
            else
                ++c.discordant;
        }
    return c;
}

KendallTails KendallExactCdf(int n, double s) {
    // The cumulative distribution of the number of inversions of a permutation of n, counted in
    // single precision as the exact table is kept (the counts stay below 10! < 2^24, so they are
    // exact) and divided by n! in double precision when read.
    static int cachedN = -1;
    static std::vector<float> cumulative;
    if (n != cachedN) {
        const int top = n * (n - 1) / 2;
        std::vector<float> counts(static_cast<size_t>(top + 1), 0.0f), next;
        counts[0] = 1;
        for (int m = 2; m <= n; ++m) {  // inserting the m-th element adds 0..m-1 inversions
            next.assign(counts.size(), 0.0f);
            for (int k = 0; k <= top; ++k)
                for (int add = 0; add < m && k + add <= top; ++add)
                    next[static_cast<size_t>(k + add)] += counts[static_cast<size_t>(k)];
            counts.swap(next);
        }
        cumulative = counts;
        for (size_t k = 1; k < cumulative.size(); ++k) cumulative[k] += cumulative[k - 1];
        cachedN = n;
    }
    const double top = n * (n - 1) / 2.0;
    const double index = std::ceil((s + top) / 2);
    if (index < 0) return {0.0, 1.0};
    if (index >= static_cast<double>(cumulative.size())) return {1.0, 0.0};
    // The upper tail from the counts, not as 1 - P: both are whole numbers, so it stays exact.
    const double total = cumulative.back(), at = cumulative[static_cast<size_t>(index)];
    return {at / total, (total - at) / total};
}

CountResult Kendall(std::span<const double> x, std::span<const double> y, Tail tail) {
    CountResult r;
    const KendallCounts c = KendallPairCounts(x, y);
    const double C = static_cast<double>(c.concordant), D = static_cast<double>(c.discordant);
    r.statistic =
        (C - D) / (std::sqrt(C + D + static_cast<double>(c.tiedX)) * std::sqrt(C + D + static_cast<double>(c.tiedY)));
    double S = C - D;
    r.estimate = S;
    numerics::TieRecord tx, ty;
    numerics::MidRanks(x, false, &tx);
    numerics::MidRanks(y, false, &ty);
    if (!tx.tie_sizes.empty() || !ty.tie_sizes.empty()) r.flags |= kFlagTies;
    r.tiesPercent = tx.PercentTied() + ty.PercentTied();
    const double n = static_cast<double>(std::min(x.size(), y.size()));
    if (n < 11) {
        const double top = n * (n - 1) / 2;
        double p = kNaN;
        if (numerics::DiscreteTailPrep(S, p, 0.0, -top, top, tail, 2.0)) {
            const KendallTails t = KendallExactCdf(static_cast<int>(n), S);
            r.p = numerics::TailP(t.lower, t.upper, tail);
        } else {
            r.p = numerics::TailP(p, tail);
        }
        r.method = kMethodExact;
        return r;
    }
    auto sums = [](const numerics::TieRecord& t, double& v, double& a, double& b) {
        for (double s : t.tie_sizes) {
            v += s * (s - 1) * (2 * s + 5);
            a += s * (s - 1) * (s - 2);
            b += s * (s - 1);
        }
    };
    double vx = 0, ax = 0, bx = 0, vy = 0, ay = 0, by = 0;
    sums(tx, vx, ax, bx);
    sums(ty, vy, ay, by);
    const double variance = (n * (n - 1) * (2 * n + 5) - vx - vy) / 18 + ax * ay / (9 * n * (n - 1) * (n - 2)) +
                            bx * by / (2 * n * (n - 1));
    r.p = numerics::NormalP(S, 0.0, std::sqrt(variance), tail);
    r.method = kMethodNormal;
    return r;
}

}  // namespace qs::procedures
