// Histogram binning, box-plot statistics, normal scores and nice axis ranges (see chart_math.h).
//
// Bin count: Sturges (1926), k = floor(1 + 3.3 log10(n + 1)). Nice widths: the raw width is written
// as f x m with m a power of ten (the integer part of log10 r, plus one when r >= 1) and f replaced by
// the closest of 0.1, 0.2, 0.25, 0.5 (the later one on a tie).
#include "addin/charts/chart_math.h"

#include <algorithm>
#include <cmath>

#include "addin/numerics/descriptives.h"
#include "addin/numerics/rounding.h"

namespace qs::charts {

namespace {

const double kNaN = numerics::MissingValue();

std::vector<double> Present(const std::vector<double>& values) {
    std::vector<double> out;
    out.reserve(values.size());
    for (double v : values)
        if (std::isfinite(v)) out.push_back(v);
    return out;
}

}  // namespace

int SturgesBins(std::size_t n) {
    return static_cast<int>(std::floor(1.0 + 3.3 * std::log10(static_cast<double>(n) + 1.0)));
}

double NiceWidth(double raw) {
    if (!(raw > 0) || !std::isfinite(raw)) return kNaN;
    const double exponent = std::trunc(std::log10(raw)) + (raw >= 1.0 ? 1.0 : 0.0);
    const double m = std::pow(10.0, exponent);
    static const double kSteps[] = {0.1, 0.2, 0.25, 0.5};
    const double f = std::fabs(raw / m);
    double best = kSteps[0];
    for (double s : kSteps)
        if (std::fabs(f - s) <= std::fabs(f - best)) best = s;
    return best * m;
}

Bins BinValues(const std::vector<double>& values, double start, double end, double width) {
    Bins b;
    const std::vector<double> x = Present(values);
    b.n = x.size();
    if (x.empty()) return b;
    const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
    const bool startGiven = !std::isnan(start);
    double span;
    if (!startGiven || std::isnan(end)) {
        span = *hi - *lo;
        if (!startGiven) start = *lo;
    } else {
        span = end - start;
    }
    std::size_t k;
    if (std::isnan(width)) {
        k = static_cast<std::size_t>(std::max(1, SturgesBins(b.n)));
        const double raw = span / static_cast<double>(k);
        if (!startGiven && raw > 0) {
            width = NiceWidth(raw);
            start = std::floor(start / width) * width;
            k = static_cast<std::size_t>(std::ceil(numerics::NoiseFreeDifference(*hi, start) / width));
        } else {
            width = raw;
        }
    } else {
        k = width > 0 ? static_cast<std::size_t>(std::floor(span / width)) : 0;
    }
    // A constant variable (or a span shorter than one width) still gets one bin.
    if (!(width > 0) || !std::isfinite(width)) {
        width = 1.0;
        k = 1;
    }
    k = std::clamp<std::size_t>(k, 1, kChartListLimit);
    b.start = start;
    b.width = width;
    b.counts.assign(k, 0.0);
    for (double u : x) {
        double q = std::floor((u - start) / width);
        if (q < 0) continue;
        std::size_t j = q >= static_cast<double>(k) ? k - 1 : static_cast<std::size_t>(q);
        if (j + 1 < k && u >= start + width * static_cast<double>(j + 1)) ++j;  // rounding at an edge
        b.counts[j] += 1.0;
    }
    b.edges.resize(k + 1);
    for (std::size_t j = 0; j <= k; ++j) b.edges[j] = start + width * static_cast<double>(j);
    return b;
}

void FitNormal(Bins& b, double mean, double sd) {
    b.normal.clear();
    if (std::isnan(sd) || std::isnan(mean) || !(sd > 0)) return;
    for (double e : b.edges)
        b.normal.push_back(numerics::NormalDensity((e - mean) / sd, 0.0, 1.0) / sd * static_cast<double>(b.n) *
                           b.width);
}

BoxStatistics BoxStatisticsOf(const std::vector<double>& values, double percentile) {
    BoxStatistics s;
    numerics::Descriptives d(values);
    s.n = d.N();
    if (s.n == 0) return s;
    s.q1 = d.FirstQuartile();
    s.median = d.Median();
    s.q3 = d.ThirdQuartile();
    s.mean = d.Mean();
    s.sd = d.SD();
    if (!std::isnan(percentile)) {
        s.lowTick = d.Percentile(percentile, numerics::kPercentileEmpirical);
        s.highTick = d.Percentile(100.0 - percentile, numerics::kPercentileEmpirical);
    }
    std::vector<double> sorted = Present(values);
    std::sort(sorted.begin(), sorted.end());
    if (std::isnan(s.q1) || std::isnan(s.q3)) {
        // Too few values for quartiles: the whiskers span the data.
        s.lowerWhisker = sorted.front();
        s.upperWhisker = sorted.back();
        return s;
    }
    const double iqr = s.q3 - s.q1;
    s.lowerInner = s.q1 - 1.5 * iqr;
    s.upperInner = s.q3 + 1.5 * iqr;
    s.lowerOuter = s.q1 - 3.0 * iqr;
    s.upperOuter = s.q3 + 3.0 * iqr;
    std::size_t i = 0;
    for (; i < sorted.size() && sorted[i] < s.lowerInner; ++i)
        (sorted[i] >= s.lowerOuter ? s.nearOutliers : s.farOutliers).push_back(sorted[i]);
    s.lowerWhisker = i < sorted.size() ? std::min(sorted[i], s.q1) : s.q1;
    std::size_t j = sorted.size();
    for (; j > 0 && sorted[j - 1] > s.upperInner; --j)
        (sorted[j - 1] <= s.upperOuter ? s.nearOutliers : s.farOutliers).push_back(sorted[j - 1]);
    s.upperWhisker = j > 0 ? std::max(sorted[j - 1], s.q3) : s.q3;
    return s;
}

std::vector<double> NormalScores(const std::vector<double>& values, std::vector<double>& sorted) {
    sorted = Present(values);
    std::sort(sorted.begin(), sorted.end());
    const double n = static_cast<double>(sorted.size());
    std::vector<double> q(sorted.size());
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        double sum = 0;
        for (; j < sorted.size() && sorted[j] == sorted[i]; ++j)
            sum += numerics::NormalQuantile((static_cast<double>(j) + 0.5) / n, 0.0, 1.0, numerics::kLowerTail);
        const double shared = sum / static_cast<double>(j - i);
        for (std::size_t t = i; t < j; ++t) q[t] = shared;
        i = j;
    }
    return q;
}

AxisRange NiceRange(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high)) return {kNaN, kNaN};
    if (high < low) std::swap(low, high);
    if (high == low) {
        const double pad = low == 0 ? 1.0 : std::fabs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    const double raw = (high - low) / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double f : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        step = f * power;
        if (step >= raw) break;
    }
    return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

}  // namespace qs::charts
