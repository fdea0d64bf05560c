// The arithmetic of the chart blocks, in plain functions that need no host: histogram binning with
// the normal fit, box-plot statistics with fences and outliers, normal scores of a probability plot,
// and the nice axis range a chart with clipped reference lines is given.
#pragma once

#include <cstddef>
#include <vector>

#include "addin/numerics/distributions.h"

namespace qs::charts {

// Reference lines run to +-kFar so that the host clips them to the plot area whatever the data.
constexpr double kFar = 1e30;
// A chart list holds at most this many values: more would be more points than the host draws in a
// chart; the rest is not written and the chart is marked as truncated (message 136).
constexpr std::size_t kChartListLimit = 4000;

struct Bins {
    double start = numerics::MissingValue();
    double width = numerics::MissingValue();
    std::vector<double> counts;  // one per bin
    std::vector<double> edges;   // counts.size() + 1 bin edges, start + j width
    std::vector<double> normal;  // the normal curve at the edges (empty without a fit)
    std::size_t n = 0;           // observations binned
};

// Bins the non-missing values: start, end and width may each be missing (NaN). See the histogram
// rules: Sturges' bin count, a "nice" width of 1, 2, 2.5 or 5 times a power of ten when neither start
// nor width is given, an observation on an edge counted in the bin above it, the last bin taking
// everything beyond. Values below the start are not counted.
Bins BinValues(const std::vector<double>& values, double start, double end, double width);
// The nice width for a raw width r (3.7 -> 2.5, 0.37 -> 0.25).
double NiceWidth(double raw);
// Sturges' number of bins for n observations: floor(1 + 3.3 log10(n + 1)).
int SturgesBins(std::size_t n);
// Adds the normal curve scaled to counts at the bin edges.
void FitNormal(Bins& bins, double mean, double sd);

struct BoxStatistics {
    std::size_t n = 0;
    double q1 = numerics::MissingValue(), median = numerics::MissingValue(), q3 = numerics::MissingValue();
    double lowerWhisker = numerics::MissingValue(), upperWhisker = numerics::MissingValue();
    double lowerInner = numerics::MissingValue(), upperInner = numerics::MissingValue();
    double lowerOuter = numerics::MissingValue(), upperOuter = numerics::MissingValue();
    double mean = numerics::MissingValue(), sd = numerics::MissingValue();
    double lowTick = numerics::MissingValue(), highTick = numerics::MissingValue();  // percentile ticks
    std::vector<double> nearOutliers, farOutliers;
};

// Quartiles by the empirical rule (Tukey's hinges), fences at 1.5 and 3 IQR, outliers beyond them
// and whiskers to the last value inside the inner fences; `percentile` (percent, may be missing)
// gives the ticks at it and at 100 minus it.
BoxStatistics BoxStatisticsOf(const std::vector<double>& values, double percentile);

// The normal quantile of plotting position (i - 0.5) / n for each sorted non-missing value, tied
// values sharing the mean of their quantiles. `sorted` receives the sorted values.
std::vector<double> NormalScores(const std::vector<double>& values, std::vector<double>& sorted);

// An axis range that holds [low, high] with bounds on multiples of a nice step (about five steps).
struct AxisRange {
    double minimum, maximum;
};
AxisRange NiceRange(double low, double high);

}  // namespace qs::charts
