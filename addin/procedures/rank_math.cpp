#include "addin/procedures/rank_math.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "addin/numerics/distributions.h"
#include "addin/numerics/ranks.h"

namespace qs::procedures {

using numerics::Tail;

namespace {

const double kNaN = numerics::MissingValue();
const double kInfinity = INFINITY;

// ---------------------------------------------------------------- selection in a sorted matrix

// A matrix given by rows whose entries increase along each row (columns rowStart(i)..columns - 1)
// and down each column, as the Walsh sums of sorted x (row i from column i) and the differences
// of sorted x and y taken in descending order are. Entries are compared as computed by `value`.
struct SortedMatrix {
    std::size_t rows, columns;
    std::function<std::size_t(std::size_t)> rowStart;
    std::function<double(std::size_t, std::size_t)> value;
};

// For each row, the first column whose entry is above t (strict: at or above t): the column
// boundaries fall as the row index rises, so one sweep finds them all.
void Boundaries(const SortedMatrix& m, double t, bool strict, std::vector<std::size_t>& out) {
    std::size_t p = m.columns;
    for (std::size_t i = 0; i < m.rows; ++i) {
        const std::size_t start = m.rowStart(i);
        p = std::max(p, start);
        while (p > start && (strict ? m.value(i, p - 1) >= t : m.value(i, p - 1) > t)) --p;
        out[i] = p;
    }
}

// The k-th smallest entry (0-based): random pivots among the entries still in play, each round
// keeping the side of the pivot where rank k lies, until few enough remain to select directly.
double SelectInMatrix(const SortedMatrix& m, std::int64_t k) {
    std::vector<std::size_t> left(m.rows), right(m.rows, m.columns), less(m.rows), notAbove(m.rows);
    for (std::size_t i = 0; i < m.rows; ++i) left[i] = m.rowStart(i);
    std::int64_t below = 0;  // entries left of the rows' ranges: all below rank k
    std::mt19937_64 random(0x5EEDu);
    const std::int64_t direct = std::max<std::int64_t>(64, static_cast<std::int64_t>(m.rows));
    for (;;) {
        std::int64_t active = 0;
        for (std::size_t i = 0; i < m.rows; ++i) active += static_cast<std::int64_t>(right[i] - left[i]);
        if (active <= direct) {
            std::vector<double> rest;
            for (std::size_t i = 0; i < m.rows; ++i)
                for (std::size_t j = left[i]; j < right[i]; ++j) rest.push_back(m.value(i, j));
            auto at = rest.begin() + (k - below);
            std::nth_element(rest.begin(), at, rest.end());
            return *at;
        }
        std::int64_t pick = std::uniform_int_distribution<std::int64_t>(0, active - 1)(random);
        double pivot = kNaN;
        for (std::size_t i = 0; i < m.rows; ++i) {
            const auto width = static_cast<std::int64_t>(right[i] - left[i]);
            if (pick < width) {
                pivot = m.value(i, left[i] + static_cast<std::size_t>(pick));
                break;
            }
            pick -= width;
        }
        Boundaries(m, pivot, true, less);
        Boundaries(m, pivot, false, notAbove);
        std::int64_t countLess = 0, countNotAbove = 0;
        for (std::size_t i = 0; i < m.rows; ++i) {
            countLess += static_cast<std::int64_t>(less[i] - m.rowStart(i));
            countNotAbove += static_cast<std::int64_t>(notAbove[i] - m.rowStart(i));
        }
        if (k >= countLess && k < countNotAbove) return pivot;
        if (k < countLess) {
            for (std::size_t i = 0; i < m.rows; ++i) right[i] = std::min(right[i], std::max(less[i], left[i]));
        } else {
            below = 0;
            for (std::size_t i = 0; i < m.rows; ++i) {
                left[i] = std::min(right[i], std::max(left[i], notAbove[i]));
                below += static_cast<std::int64_t>(left[i] - m.rowStart(i));
            }
        }
    }
}

std::vector<double> Sorted(std::span<const double> x) {
    std::vector<double> s(x.begin(), x.end());
    std::sort(s.begin(), s.end());
    return s;
}

// The median of `count` ordered values read by `at`, as the 50th percentile reads it.
double MedianOf(std::int64_t count, const std::function<double(std::int64_t)>& at) {
    if (count <= 0) return kNaN;
    if (count % 2 == 1) return at(count / 2);
    return 0.5 * at(count / 2 - 1) + 0.5 * at(count / 2);
}

// The largest c in [0, top] with P[X <= c] <= a for an exact distribution, searched from a start;
// -1 when even P[X <= 0] exceeds a. The attained probability is returned in `attained`.
double CriticalCount(double a, double start, double top, const std::function<double(double)>& cdf, double& attained) {
    double c = std::clamp(std::floor(start), 0.0, top);
    while (c >= 0 && cdf(c) > a) --c;
    while (c + 1 <= top && cdf(c + 1) <= a) ++c;
    attained = c >= 0 ? cdf(c) : 0.0;
    return c;
}

// The distribution-free interval of a Hodges-Lehmann estimate: order statistics c and
// count - (c + 1) of the pairs, c from the exact distribution or the normal quantile.
numerics::Interval PairInterval(double alpha, Tail tail, double count, bool exact, double mean, double sd,
                                const std::function<double(double)>& cdf, double shift,
                                const std::function<double(std::int64_t)>& at) {
    const double a = tail == numerics::kTwoSided ? alpha / 2 : alpha;
    double c, attained = kNaN;
    const double normal = std::floor(numerics::NormalQuantile(a, mean, sd, numerics::kLowerTail)) - shift;
    if (exact) {
        c = CriticalCount(a, normal, count, cdf, attained);
        if (tail == numerics::kTwoSided) attained *= 2;
    } else {
        c = normal;
    }
    c = std::clamp(c, 0.0, count - 1);
    numerics::Interval ci{exact ? attained : alpha, at(static_cast<std::int64_t>(c)),
                          at(static_cast<std::int64_t>(count - (c + 1)))};
    if (tail == numerics::kLowerTail) ci.lower = -kInfinity;
    if (tail == numerics::kUpperTail) ci.upper = kInfinity;
    return ci;
}

// The p-value of a rank statistic W: from its exact distribution (both tails at the statistic as
// the discrete-tail rule adjusts it), or from the normal approximation without continuity correction.
void SetP(RankResult& r, double W, bool exact, double mean, double sd, double lowest, double highest, Tail tail,
          const std::function<Tails(double)>& tails) {
    if (!exact) {
        r.p = numerics::NormalP(W, mean, sd, tail);
        r.method = kMethodNormal;
        return;
    }
    double w = W, p = kNaN;
    if (numerics::DiscreteTailPrep(w, p, mean, lowest, highest, tail, 1)) {
        const Tails t = tails(w);
        r.p = numerics::TailP(t.lower, t.upper, tail);
    } else {
        r.p = numerics::TailP(p, tail);
    }
    r.method = kMethodExact;
}

void SetTies(RankResult& r, const numerics::TieRecord& ties, bool exact) {
    r.tiesPercent = ties.PercentTied();
    if (!exact && !ties.tie_sizes.empty()) r.flags |= kFlagTies;
}

}  // namespace

// ---------------------------------------------------------------- exact distributions

Tails SignedRankTails(int n, double w) {
    // Subset counts of {1..n} by sum, kept for the last n asked for.
    static int cachedN = -1;
    static std::vector<std::uint64_t> cumulative;
    if (n != cachedN) {
        const std::size_t top = static_cast<std::size_t>(n) * (n + 1) / 2;
        std::vector<std::uint64_t> counts(top + 1, 0);
        counts[0] = 1;
        for (int r = 1; r <= n; ++r)
            for (std::size_t s = top; s >= static_cast<std::size_t>(r); --s) counts[s] += counts[s - r];
        cumulative = counts;
        for (std::size_t s = 1; s <= top; ++s) cumulative[s] += cumulative[s - 1];
        cachedN = n;
    }
    const double at = std::floor(w);
    if (at < 0) return {0.0, 1.0};
    if (at >= static_cast<double>(cumulative.size() - 1)) return {1.0, 0.0};
    const double total = static_cast<double>(cumulative.back());
    const std::uint64_t count = cumulative[static_cast<std::size_t>(at)];
    return {static_cast<double>(count) / total, static_cast<double>(cumulative.back() - count) / total};
}

Tails RankSumTails(int m, int n, double u) {
    // Frequencies of U for sizes (m, n) by the recurrence f(a, b, u) = f(a - 1, b, u - b) +
    // f(a, b - 1, u), kept for the last pair asked for. Counts up to C(30, 15) are whole numbers
    // held exactly in double precision.
    static int cachedM = -1, cachedN = -1;
    static std::vector<double> cumulative;
    if (m != cachedM || n != cachedN) {
        const int top = m * n;
        std::vector<std::vector<double>> previous(static_cast<std::size_t>(n + 1)), current;
        for (int b = 0; b <= n; ++b) previous[static_cast<std::size_t>(b)] = {1.0};  // a = 0
        for (int a = 1; a <= m; ++a) {
            current.assign(static_cast<std::size_t>(n + 1), {});
            current[0] = {1.0};
            for (int b = 1; b <= n; ++b) {
                std::vector<double>& f = current[static_cast<std::size_t>(b)];
                f.assign(static_cast<std::size_t>(a * b + 1), 0.0);
                const std::vector<double>& fewerX = previous[static_cast<std::size_t>(b)];
                const std::vector<double>& fewerY = current[static_cast<std::size_t>(b - 1)];
                for (std::size_t v = 0; v < fewerY.size(); ++v) f[v] += fewerY[v];
                for (std::size_t v = 0; v < fewerX.size(); ++v) f[v + static_cast<std::size_t>(b)] += fewerX[v];
            }
            previous.swap(current);
        }
        cumulative = previous[static_cast<std::size_t>(n)];
        cumulative.resize(static_cast<std::size_t>(top + 1), 0.0);
        for (std::size_t v = 1; v < cumulative.size(); ++v) cumulative[v] += cumulative[v - 1];
        cachedM = m;
        cachedN = n;
    }
    const double at = std::floor(u);
    if (at < 0) return {0.0, 1.0};
    if (at >= static_cast<double>(cumulative.size() - 1)) return {1.0, 0.0};
    const double total = cumulative.back(), count = cumulative[static_cast<std::size_t>(at)];
    return {count / total, (total - count) / total};
}

// ---------------------------------------------------------------- order statistics of pairs

double WalshAverageAt(std::span<const double> x, std::int64_t k) {
    const std::vector<double> s = Sorted(x);
    const SortedMatrix m{s.size(), s.size(), [](std::size_t i) { return i; },
                         [&s](std::size_t i, std::size_t j) { return s[i] + s[j]; }};
    return SelectInMatrix(m, k) / 2;
}

double PairDifferenceAt(std::span<const double> x, std::span<const double> y, std::int64_t k) {
    const std::vector<double> sx = Sorted(x);
    std::vector<double> sy = Sorted(y);
    std::reverse(sy.begin(), sy.end());
    const SortedMatrix m{sx.size(), sy.size(), [](std::size_t) { return std::size_t{0}; },
                         [&sx, &sy](std::size_t i, std::size_t j) { return sx[i] - sy[j]; }};
    return SelectInMatrix(m, k);
}

double WalshMedian(std::span<const double> x) {
    const auto n = static_cast<std::int64_t>(x.size());
    return MedianOf(n * (n + 1) / 2, [&](std::int64_t k) { return WalshAverageAt(x, k); });
}

double DifferenceMedian(std::span<const double> x, std::span<const double> y) {
    const auto count = static_cast<std::int64_t>(x.size()) * static_cast<std::int64_t>(y.size());
    return MedianOf(count, [&](std::int64_t k) { return PairDifferenceAt(x, y, k); });
}

std::vector<double> AllWalshAverages(std::span<const double> x) {
    std::vector<double> out;
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t j = i; j < x.size(); ++j) out.push_back((x[i] + x[j]) / 2);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<double> AllPairDifferences(std::span<const double> x, std::span<const double> y) {
    std::vector<double> out;
    for (double a : x)
        for (double b : y) out.push_back(a - b);
    std::sort(out.begin(), out.end());
    return out;
}

// ---------------------------------------------------------------- the tests

RankResult Runs(std::span<const int> sequence, Tail tail) {
    RankResult r;
    int previous = -1, first = -1;
    double runs = 0;
    for (int code : sequence) {
        if (code != 0 && code != 1) continue;
        if (first < 0) first = code;
        (code == first ? r.n1 : r.n2) += 1;
        if (code != previous) runs += 1;
        previous = code;
    }
    const double n1 = r.n1, n2 = r.n2, N = n1 + n2;
    r.statistic = runs;
    r.expected = 2 * n1 * n2 / N + 1;
    if ((n1 > 25 && n2 > 25) || N > 49) {
        const double sd = std::sqrt(2 * n1 * n2 * (2 * n1 * n2 - N) / (N * N * (N - 1)));
        const double moved = runs < r.expected ? runs + 0.5 : runs > r.expected ? runs - 0.5 : runs;
        r.p = numerics::NormalP(moved, r.expected, sd, tail);
        r.method = kMethodNormal;
        return r;
    }
    const auto a = static_cast<std::int32_t>(n1), b = static_cast<std::int32_t>(n2);
    const double all = numerics::BinomialCoefficient(a + b, a);
    auto point = [&](int u) {
        using numerics::BinomialCoefficient;
        if (u % 2 == 0) return 2 * BinomialCoefficient(a - 1, u / 2 - 1) * BinomialCoefficient(b - 1, u / 2 - 1) / all;
        const int h = (u - 1) / 2;
        auto term = [](std::int32_t top, std::int32_t k) {
            return k < 0 || k > top ? 0.0 : numerics::BinomialCoefficient(top, k);
        };
        return (term(a - 1, h) * term(b - 1, h - 1) + term(a - 1, h - 1) * term(b - 1, h)) / all;
    };
    const int most = 2 * static_cast<int>(std::min(n1, n2)) + (n1 != n2 ? 1 : 0);
    double at = runs;
    if (tail == numerics::kUpperTail || (tail == numerics::kTwoSided && runs >= r.expected)) at -= 1;
    // Both tails summed term by term, so that a small upper tail keeps its accuracy.
    double lower = 0, upper = 0;
    for (int u = 2; u <= most; ++u) (u <= at ? lower : upper) += point(u);
    if (at >= most) lower = 1, upper = 0;
    if (at < 2) lower = 0, upper = 1;
    r.p = numerics::TailP(lower, upper, tail);
    r.method = kMethodExact;
    return r;
}

RankResult Sign(std::span<const double> differences, double alpha, Tail tail) {
    RankResult r;
    std::vector<double> nonZero;
    double positives = 0;
    for (double d : differences) {
        if (!std::isfinite(d)) continue;
        // A zero difference is zero whatever its sign bit (-0 arises from -0 - 0): counted apart.
        if (d == 0) {
            r.zeros += 1;
            continue;
        }
        if (d > 0) positives += 1;
        nonZero.push_back(d);
    }
    const double n = static_cast<double>(nonZero.size());
    r.n1 = n;
    r.statistic = positives;
    r.p = numerics::BinomialP(n, positives, 0.5, tail);
    r.method = kMethodExact;
    std::vector<double> all;
    for (double d : differences)
        if (std::isfinite(d)) all.push_back(d);
    std::sort(all.begin(), all.end());
    r.estimate = MedianOf(static_cast<std::int64_t>(all.size()),
                          [&](std::int64_t k) { return all[static_cast<std::size_t>(k)]; });
    std::sort(nonZero.begin(), nonZero.end());
    const numerics::Interval ranks = numerics::BinomialRankCI(alpha, n, 0.5, tail);
    auto read = [&](double rank) { return rank >= 0 && rank < n ? nonZero[static_cast<std::size_t>(rank)] : kNaN; };
    r.ci = {ranks.alpha, tail == numerics::kLowerTail ? -kInfinity : read(ranks.lower),
            tail == numerics::kUpperTail ? kInfinity : read(ranks.upper)};
    return r;
}

RankResult SignedRanks(std::span<const double> differences, double alpha, Tail tail) {
    RankResult r;
    std::vector<double> nonZero;
    double total = 0;
    for (double d : differences) {
        if (!std::isfinite(d)) continue;
        total += 1;
        if (d == 0)
            r.zeros += 1;
        else
            nonZero.push_back(d);
    }
    numerics::TieRecord ties;
    const std::vector<float> ranks = numerics::MidRanks(nonZero, true, &ties);
    const double n = static_cast<double>(nonZero.size());
    double W = 0;
    for (std::size_t i = 0; i < nonZero.size(); ++i)
        if (nonZero[i] > 0) W += ranks[i];
    r.n1 = n;
    r.statistic = W;
    const double top = n * (n + 1) / 2, mean = n * (n + 1) / 4;
    r.expected = mean;
    const double sd = std::sqrt(n * (n + 1) * (2 * n + 1) / 24 - ties.TieCorrection() / 48);
    const bool exact = total <= 25;
    const int size = static_cast<int>(n);
    SetP(r, W, exact, mean, sd, 0, top, tail, [size](double w) { return SignedRankTails(size, w); });
    SetTies(r, ties, exact);
    if (nonZero.empty()) return r;
    const std::vector<double> sorted = Sorted(nonZero);
    r.estimate = WalshMedian(sorted);
    r.ci = PairInterval(
        alpha, tail, top, exact, mean, sd, [size](double c) { return SignedRankTails(size, c).lower; }, 0,
        [&sorted](std::int64_t k) { return WalshAverageAt(sorted, k); });
    return r;
}

RankResult MannWhitney(std::span<const double> x, std::span<const double> y, double alpha, Tail tail) {
    RankResult r;
    std::vector<double> all(x.begin(), x.end());
    all.insert(all.end(), y.begin(), y.end());
    numerics::TieRecord ties;
    const std::vector<float> ranks = numerics::MidRanks(all, false, &ties);
    const double n1 = static_cast<double>(x.size()), n2 = static_cast<double>(y.size()), N = n1 + n2;
    double W = 0;
    for (std::size_t i = 0; i < x.size(); ++i) W += ranks[i];
    r.n1 = n1;
    r.n2 = n2;
    r.statistic = W;
    const double mean = n1 * (N + 1) / 2, lowest = n1 * (n1 + 1) / 2;
    r.expected = mean;
    const double sd = std::sqrt(n1 * n2 / (N * (N - 1)) * ((N * N * N - N) / 12 - ties.TieCorrection() / 12));
    const bool exact = n1 <= 15 && n2 <= 15;
    const int m = static_cast<int>(n1), n = static_cast<int>(n2);
    SetP(r, W, exact, mean, sd, lowest, lowest + n1 * n2, tail,
         [m, n, lowest](double w) { return RankSumTails(m, n, w - lowest); });
    SetTies(r, ties, exact);
    if (x.empty() || y.empty()) return r;
    r.estimate = DifferenceMedian(x, y);
    // The interval from the smaller sample's rank sum, shifted to the scale of U.
    const double small = std::min(n1, n2);
    const double smallMean = small * (N + 1) / 2;
    const std::vector<double> sx = Sorted(x), sy = Sorted(y);
    r.ci = PairInterval(
        alpha, tail, n1 * n2, exact, smallMean, sd,
        [m, n](double c) { return RankSumTails(std::min(m, n), std::max(m, n), c).lower; }, small * (small + 1) / 2,
        [&](std::int64_t k) { return PairDifferenceAt(sx, sy, k); });
    return r;
}

RankResult KruskalWallis(const std::vector<std::vector<double>>& groups) {
    RankResult r;
    std::vector<double> all;
    for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
    numerics::TieRecord ties;
    const std::vector<float> ranks = numerics::MidRanks(all, false, &ties);
    const double N = static_cast<double>(all.size());
    double sum = 0;
    std::size_t at = 0;
    for (const auto& g : groups) {
        double rankSum = 0;
        for (std::size_t i = 0; i < g.size(); ++i) rankSum += ranks[at++];
        if (!g.empty()) sum += rankSum * rankSum / static_cast<double>(g.size());
    }
    double H = 12 / (N * (N + 1)) * sum - 3 * (N + 1);
    if (H != 0 && !ties.tie_sizes.empty()) {
        H /= 1 - ties.TieCorrection() / (N * N * N - N);
        r.flags |= kFlagTies;
    }
    r.tiesPercent = ties.PercentTied();
    r.statistic = H;
    r.df = static_cast<double>(groups.size()) - 1;
    r.p = numerics::ChiSquareP(H, r.df, numerics::kUpperTail);
    r.method = kMethodChiSquare;
    return r;
}

RankResult Friedman(const std::vector<std::vector<double>>& blocks, std::vector<double>* rankSums) {
    RankResult r;
    const double b = static_cast<double>(blocks.size());
    const std::size_t k = blocks.empty() ? 0 : blocks[0].size();
    std::vector<double> R(k, 0.0);
    double T = 0, tiedValues = 0, values = 0;
    bool anyTie = false;
    for (const auto& block : blocks) {
        numerics::TieRecord ties;
        const std::vector<float> ranks = numerics::MidRanks(block, false, &ties);
        for (std::size_t j = 0; j < k; ++j) R[j] += ranks[j];
        T += static_cast<double>(ties.untied);
        for (double t : ties.tie_sizes) T += t * t * t, tiedValues += t;
        values += static_cast<double>(ties.total);
        anyTie = anyTie || !ties.tie_sizes.empty();
    }
    const double K = static_cast<double>(k);
    double sumSquares = 0;
    for (double s : R) sumSquares += s * s;
    const double D = 12 * sumSquares - 3 * b * b * K * (K + 1) * (K + 1);
    r.statistic = D == 0 ? 0.0 : D / (b * K * (K + 1) + (b * K - T) / (K - 1));
    if (anyTie) r.flags |= kFlagTies;
    r.tiesPercent = values > 0 ? 100 * tiedValues / values : 0;
    r.df = K - 1;
    r.p = numerics::ChiSquareP(r.statistic, r.df, numerics::kUpperTail);
    r.method = kMethodChiSquare;
    if (rankSums) *rankSums = R;
    return r;
}

MedianTestResult MedianTest(const std::vector<std::vector<double>>& groups) {
    MedianTestResult out;
    std::vector<double> all;
    for (const auto& g : groups) all.insert(all.end(), g.begin(), g.end());
    std::sort(all.begin(), all.end());
    out.median = MedianOf(static_cast<std::int64_t>(all.size()),
                          [&](std::int64_t k) { return all[static_cast<std::size_t>(k)]; });
    for (const auto& g : groups) {
        double above = 0;
        for (double v : g) above += v > out.median;
        out.above.push_back(above);
        out.notAbove.push_back(static_cast<double>(g.size()) - above);
    }
    const std::size_t k = groups.size();
    if (k == 2) {
        const CountResult f =
            FisherP({out.above[0], out.above[1], out.notAbove[0], out.notAbove[1]}, numerics::kTwoSided);
        static_cast<CountResult&>(out.test) = f;
    } else {
        std::vector<double> cells(out.above);
        cells.insert(cells.end(), out.notAbove.begin(), out.notAbove.end());
        static_cast<CountResult&>(out.test) = ChiSquare(cells, 2, static_cast<int>(k), false);
    }
    return out;
}

}  // namespace qs::procedures
