// The chart classes: their series descriptors and filling operations. A subclass keeps the series
// of its base and adds its own.
#include <algorithm>
#include <cmath>

#include "addin/charts/chart.h"
#include "addin/host/messages.h"
#include "addin/numerics/descriptives.h"

namespace qs {

using namespace chart_labels;

namespace {

const double kNaN = numerics::MissingValue();

SeriesTable Extend(const SeriesTable& base, std::initializer_list<SeriesDescriptor> more) {
    SeriesTable t = base;
    t.insert(t.end(), more);
    return t;
}

// Appends a polyline to a series; a gap (an empty cell) separates it from what the series holds.
void Polyline(SeriesData& s, std::initializer_list<std::pair<double, double>> points) {
    if (!s.x.empty()) {
        s.x.push_back(kNaN);
        s.y.push_back(kNaN);
    }
    for (const auto& [x, y] : points) {
        s.x.push_back(x);
        s.y.push_back(y);
    }
}

// The box of one group drawn in the slot [at, at + 1).
void DrawBox(Chart& c, const charts::BoxStatistics& b, double at, int percentiles, int whiskers, int sd, int mean,
             int box, int median, int nearOut, int farOut) {
    if (b.n == 0) return;
    const double left = at + 0.35, right = at + 0.65, middle = at + 0.5;
    if (percentiles && !std::isnan(b.lowTick) && !std::isnan(b.highTick)) {
        Polyline(c.Series(percentiles), {{at + 0.4, b.lowTick}, {at + 0.6, b.lowTick}});
        Polyline(c.Series(percentiles), {{at + 0.4, b.highTick}, {at + 0.6, b.highTick}});
    }
    if (!std::isnan(b.q1)) {
        Polyline(c.Series(whiskers), {{middle, b.lowerWhisker}, {middle, b.q1}});
        Polyline(c.Series(whiskers), {{middle, b.q3}, {middle, b.upperWhisker}});
        Polyline(c.Series(box), {{left, b.q1}, {right, b.q1}, {right, b.q3}, {left, b.q3}, {left, b.q1}});
    } else {
        Polyline(c.Series(whiskers), {{middle, b.lowerWhisker}, {middle, b.upperWhisker}});
    }
    if (!std::isnan(b.median)) Polyline(c.Series(median), {{left, b.median}, {right, b.median}});
    // Mean and SD beside the box: a mark at the mean and a bar from mean - SD to mean + SD.
    if (!std::isnan(b.mean)) Polyline(c.Series(mean), {{at + 0.15, b.mean}, {at + 0.25, b.mean}});
    if (!std::isnan(b.sd)) Polyline(c.Series(sd), {{at + 0.2, b.mean - b.sd}, {at + 0.2, b.mean + b.sd}});
    for (double v : b.nearOutliers) {
        c.Series(nearOut).x.push_back(middle);
        c.Series(nearOut).y.push_back(v);
    }
    for (double v : b.farOutliers) {
        c.Series(farOut).x.push_back(middle);
        c.Series(farOut).y.push_back(v);
    }
}

}  // namespace

void Chart::SetValueBounds(const std::vector<double>& values) {
    double low = INFINITY, high = -INFINITY;
    for (double v : values)
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    if (!std::isfinite(low)) return;
    const charts::AxisRange r = charts::NiceRange(low, high);
    yMinimum = r.minimum;
    yMaximum = r.maximum;
    bound = r.minimum;
}

// ---------------------------------------------------------------- X-Y scatter and line fits

const SeriesTable& ChartXYscatter::Descriptors() const {
    static const SeriesTable t{{1, kSeriesXY, kStylePoints}};
    return t;
}

void ChartXYscatter::AxisTitles(const Test&) {
    if (xTitle.empty()) xTitle = m_xName;
    if (yTitle.empty()) yTitle = m_yName;
}

void ChartXYscatter::SetData(const std::string& xName, const std::vector<double>& x, const std::string& yName,
                             const std::vector<double>& y) {
    m_xName = xName;
    m_yName = yName;
    SeriesData& s = Series(1);
    s.x.clear();
    s.y.clear();
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
        s.x.push_back(x[i]);
        s.y.push_back(y[i]);
    }
}

const SeriesTable& LineFitPlot::Descriptors() const {
    static const SeriesTable t =
        Extend(ChartXYscatter().Descriptors(), {{2, kSeriesFittedY, kStylePoints},
                                                {3, kSeriesConfidenceInterval, kStylePoints},
                                                {4, kSeriesConfidenceInterval + kRepeat, kStylePoints},
                                                {5, kSeriesPredictionInterval, kStylePoints},
                                                {6, kSeriesPredictionInterval + kRepeat, kStylePoints},
                                                {8, kSeriesIdentity, kStyleLine}});
    return t;
}

const SeriesTable& LineFitPlot1::Descriptors() const {
    static const SeriesTable t = Extend(ChartXYscatter().Descriptors(), {{2, kSeriesIdentity, kStyleLine},
                                                                         {3, kSeriesFittedY, kStyleLine},
                                                                         {4, kSeriesConfidenceInterval, kStyleLine}});
    return t;
}

void LineFitPlot1::SetData(const std::string& xName, const std::vector<double>& x, const std::string& yName,
                           const std::vector<double>& y, double a, double b, bool identity) {
    ChartXYscatter::SetData(xName, x, yName, y);
    const SeriesData& points = Series(1);
    if (points.x.empty()) return;
    const auto [lo, hi] = std::minmax_element(points.x.begin(), points.x.end());
    SetLine(3, *lo, a + b * *lo, *hi, a + b * *hi);
    if (identity) {
        SetIdentityLine(2);
        flags[2] = 1;
    }
}

// ---------------------------------------------------------------- bias plots

const SeriesTable& BiasPlot::Descriptors() const {
    static const SeriesTable t{{1, kSeriesXY, kStylePoints}, {6, kSeriesXY + kRepeat, kStylePoints},
                               {2, kSeriesSD, kStyleLine},   {3, kSeriesSDUpper, kStyleLine},
                               {4, kSeriesMean, kStyleLine}, {9, kSeriesZero, kStyleLine}};
    return t;
}

void BiasPlot::AxisTitles(const Test&) {
    if (xTitle.empty()) xTitle = m_xName.rfind("Mean of ", 0) == 0 ? std::string("Mean of all methods") : m_xName;
}

void BiasPlot::SetData(const std::string& xName, const std::vector<double>& x,
                       const std::vector<std::vector<double>>& y, double mean, double lower, double upper) {
    m_xName = xName;
    for (size_t list = 0; list < y.size() && list < 2; ++list) {
        SeriesData& s = Series(list == 0 ? 1 : 6);
        s.x.clear();
        s.y.clear();
        for (size_t i = 0; i < x.size() && i < y[list].size(); ++i) {
            if (!std::isfinite(x[i]) || !std::isfinite(y[list][i])) continue;
            s.x.push_back(x[i]);
            s.y.push_back(y[list][i]);
        }
    }
    SetHorizontalLine(9, 0.0);
    SetHorizontalLine(4, mean);
    SetHorizontalLine(2, lower);
    SetHorizontalLine(3, upper);
}

const SeriesTable& XYscatterIdentity::Descriptors() const {
    static const SeriesTable t{
        {1, kSeriesXY, kStylePoints}, {6, kSeriesXY + kRepeat, kStylePoints}, {3, kSeriesFittedY, kStyleLine}};
    return t;
}

void XYscatterIdentity::SetData(const std::vector<std::vector<double>>& x, const std::vector<std::vector<double>>& y) {
    const size_t replicates = (x.size() >= 2 && y.size() >= 2) ? 2 : 1;
    for (size_t r = 0; r < replicates && r < x.size() && r < y.size(); ++r) {
        SeriesData& s = Series(r == 0 ? 1 : 6);
        s.x.clear();
        s.y.clear();
        for (size_t i = 0; i < x[r].size() && i < y[r].size(); ++i) {
            if (!std::isfinite(x[r][i]) || !std::isfinite(y[r][i])) continue;
            s.x.push_back(x[r][i]);
            s.y.push_back(y[r][i]);
        }
    }
    SetIdentityLine(3);
    flags[2] = 1;
}

// ---------------------------------------------------------------- histograms and bar charts

const SeriesTable& FrequencyHistogram::Descriptors() const {
    static const SeriesTable t{{1, kSeriesFrequencyCount, kStyleBars}, {2, kSeriesFittedY, kStylePoints}};
    return t;
}

void FrequencyHistogram::AxisTitles(const Test&) {
    if (xTitle.empty()) xTitle = m_name;
    if (yTitle.empty()) yTitle = LoadString(kSeriesFrequencyCount);
}

void FrequencyHistogram::Bin(const std::string& name, const std::vector<double>& values, double start, double end,
                             double width, bool normalFit) {
    m_name = name;
    m_bins = charts::BinValues(values, start, end, width);
    if (normalFit) {
        numerics::Descriptives d(values);
        charts::FitNormal(m_bins, d.Mean(), d.SD());
    }
    // The bars: the outline of each bin from the axis up to its count and down again, so that the
    // bars stand on the bin edges of the value axis the curve shares.
    SeriesData& bars = Series(1);
    bars.x.clear();
    bars.y.clear();
    for (size_t j = 0; j < m_bins.counts.size(); ++j) {
        const double a = m_bins.edges[j], b = m_bins.edges[j + 1], c = m_bins.counts[j];
        for (auto [px, py] : {std::pair{a, 0.0}, {a, c}, {b, c}, {b, 0.0}}) {
            bars.x.push_back(px);
            bars.y.push_back(py);
        }
    }
    SeriesData& curve = Series(2);
    curve.x.clear();
    curve.y.clear();
    if (!m_bins.normal.empty()) {
        curve.x = m_bins.edges;
        curve.y = m_bins.normal;
    }
}

const SeriesTable& BarChart::Descriptors() const {
    static const SeriesTable t{{1, kSeriesFrequencyCount, kStyleBars}};
    return t;
}

void BarChart::AxisTitles(const Test&) {
    if (xTitle.empty()) xTitle = m_name;
    if (yTitle.empty()) yTitle = LoadString(kSeriesFrequencyCount);
}

void BarChart::SetCounts(const std::string& name, const std::vector<double>& counts) {
    m_name = name;
    SeriesData& s = Series(1);
    s.x.clear();
    s.y = counts;
}

// ---------------------------------------------------------------- precision and ROC

const SeriesTable& PrecisionPlot::Descriptors() const {
    static const SeriesTable t{{2, kSeriesXY, kStyleProfile},
                               {3, kSeriesXY + kRepeat, kStyleProfile},
                               {5, kSeriesXY + 2 * kRepeat, kStyleProfile},
                               {6, kSeriesXY + 3 * kRepeat, kStyleProfile},
                               {7, kSeriesZero, kStyleLine}};
    return t;
}

const SeriesTable& ChartPrecisionProfile::Descriptors() const {
    static const SeriesTable t{{1, kSeriesXY, kStylePoints}, {2, kSeriesXY + kRepeat, kStylePoints}};
    return t;
}

const SeriesTable& ROCPlot::Descriptors() const {
    static const SeriesTable t{{1, kSeriesROCCurves, kStylePoints},
                               {2, kSeriesROCCurves + kRepeat, kStylePoints},
                               {3, kSeriesROCCurves + 2 * kRepeat, kStylePoints}};
    return t;
}

// ---------------------------------------------------------------- box plots

const SeriesTable& BoxPlot::Descriptors() const {
    static const SeriesTable t{{1, kSeriesPercentiles, kStyleLine}, {2, kSeriesWhiskers, kStyleLine},
                               {3, kSeriesSD, kStyleLine},          {4, kSeriesMean, kStyleLine},
                               {5, kSeriesBox, kStyleLine},         {6, kSeriesMedian, kStyleLine},
                               {7, kSeriesOutliers, kStylePoints},  {8, kSeriesFarOutliers, kStylePoints}};
    return t;
}

void BoxPlot::AxisTitles(const Test&) {
    if (yTitle.empty()) yTitle = m_name;
}

void BoxPlot::SetData(const std::string& name, const std::vector<double>& values, double percentile) {
    m_name = name;
    Clear();
    m_box = charts::BoxStatisticsOf(values, percentile);
    for (const SeriesDescriptor& d : Descriptors()) Series(d.number);
    DrawBox(*this, m_box, 0.0, 1, 2, 3, 4, 5, 6, 7, 8);
    xMinimum = 0;
    xMaximum = 1;
    SetValueBounds(values);
}

const SeriesTable& BoxPlots::Descriptors() const {
    static const SeriesTable t{{1, kSeriesInterQuartile, kStyleProfile},
                               {2, kSeriesOutliers, kStylePoints},
                               {3, kSeriesFarOutliers, kStylePoints},
                               {4, kSeriesWhiskers, kStyleLine},
                               {5, kSeriesBox, kStyleLine},
                               {6, kSeriesMedian, kStyleLine},
                               {7, kSeriesSD, kStyleLine},
                               {8, kSeriesMean, kStyleLine}};
    return t;
}

void BoxPlots::AxisTitles(const Test&) {
    if (yTitle.empty()) yTitle = m_name;
    if (xTitle.empty()) xTitle = m_groups;
}

void BoxPlots::AddGroup(const std::string& group, const std::vector<double>& values) {
    m_groups += (m_groups.empty() ? "" : ", ") + group;
    if (m_boxes.empty())
        for (const SeriesDescriptor& d : Descriptors()) Series(d.number);
    m_boxes.push_back(charts::BoxStatisticsOf(values, kNaN));
    const charts::BoxStatistics& b = m_boxes.back();
    const double at = static_cast<double>(m_boxes.size() - 1);
    // The inter-quartile range as a point pair at the box's middle (data series of the legend).
    if (!std::isnan(b.q1)) Polyline(Series(1), {{at + 0.5, b.q1}, {at + 0.5, b.q3}});
    DrawBox(*this, b, at, 0, 4, 7, 8, 5, 6, 2, 3);
    xMinimum = 0;
    xMaximum = static_cast<double>(m_boxes.size());
    m_all.insert(m_all.end(), values.begin(), values.end());
    SetValueBounds(m_all);
}

// ---------------------------------------------------------------- normal probability plot

const SeriesTable& NormalProbabilityPlot::Descriptors() const {
    static const SeriesTable t{{1, kSeriesXY, kStyleNormalPoints}, {2, kSeriesNormalFit, kStyleLine}};
    return t;
}

void NormalProbabilityPlot::AxisTitles(const Test&) {
    if (xTitle.empty()) xTitle = m_name;
    if (yTitle.empty()) yTitle = LoadString(kLabelNormalQuantile);
}

void NormalProbabilityPlot::SetData(const std::string& name, const std::vector<double>& values, double mean,
                                    double sd) {
    m_name = name;
    std::vector<double> sorted;
    std::vector<double> q = charts::NormalScores(values, sorted);
    SeriesData& points = Series(1);
    points.x = sorted;
    points.y = q;
    minimumQuantile = q.empty() ? kNaN : q.front();
    maximumQuantile = q.empty() ? kNaN : q.back();
    // The quantile axis is kept for the extremes; the observations' axis sits at its bottom.
    if (!q.empty()) {
        const double reach = std::ceil(std::max(std::fabs(minimumQuantile), std::fabs(maximumQuantile)) + 0.25);
        yMinimum = -reach;
        yMaximum = reach;
        bound = -reach;
    }
    // The normal fit: x = mean + SD z, drawn between the smallest and largest quantile.
    if (!q.empty() && sd > 0)
        SetLine(2, mean + sd * minimumQuantile, minimumQuantile, mean + sd * maximumQuantile, maximumQuantile);
    else
        SetLine(2, kNaN, kNaN, kNaN, kNaN);
}

}  // namespace qs
