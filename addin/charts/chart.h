// Chart blocks: result blocks whose content is plotted by a chart object of the report template.
// A test fills a chart's series (data lists and reference lines), axis bounds and titles; the report
// writer writes every series into the cells the template chart's series refer to, binds the series
// to exactly the cells written, and applies titles and bounds through the host's chart commands.
//
// Every chart class keeps a static table of series descriptors: the series number in the template
// chart (the host names it "S<number>"), the legend label (a string id; bits above the low 12 are a
// repeat index: 4096 the second series of that label, 8192 the third ...) and a style code handed
// to the report writer unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addin/charts/chart_math.h"
#include "addin/framework/results.h"
#include "addin/resources/string_ids.h"

namespace qs {

class ReportExcel;
class Test;

// Style codes of series descriptors.
enum : unsigned {
    kStyleProfile = 0x10000,        // precision-plot and inter-quartile data series
    kStylePoints = 0x20000,         // data points
    kStyleBars = 0x30000,           // count bars
    kStyleLine = 0xa0000,           // reference lines, whiskers, boxes, fitted lines
    kStyleNormalPoints = 0x120000,  // normal probability plot data
};

// Label ids: block titles (ids::kTitle...), series legend labels (ids::kSeries...), the lists of a
// series (ids::kLabelX, kLabelY), all the string files' named constants; and the repeat index.
namespace chart_labels {
using namespace ids;
constexpr unsigned kRepeat = 4096;  // added to a label for its second, third, fourth series
}  // namespace chart_labels

struct SeriesDescriptor {
    int number;      // series number in the template chart
    unsigned label;  // legend label string id, with the repeat index in the bits above 12
    unsigned style;  // style code
};
using SeriesTable = std::vector<SeriesDescriptor>;

// The two lists of one series.
struct SeriesData : Results {
    std::vector<double> x;  // empty: the host numbers the points 1, 2, 3 ...
    std::vector<double> y;
    const FieldTable& GetFields() const override;  // x (2620), y (2621)
    size_t Size() const override { return 2 * sizeof(std::vector<double>); }
};

class Chart : public Results {
public:
    Chart() = default;
    Chart(const Chart&) = default;
    Chart& operator=(const Chart&) = default;

    // Axis bounds (missing: left to the host) and the further bound: the value on the value axis
    // where the horizontal axis crosses it.
    double xMinimum = numerics::MissingValue();
    double xMaximum = numerics::MissingValue();
    double yMinimum = numerics::MissingValue();
    double yMaximum = numerics::MissingValue();
    double bound = numerics::MissingValue();
    uint8_t flags[3] = {0, 0, 0};  // flags[2]: both axes show the same scale
    int index = 0;                 // position in the report's chart blocks (1, 2 ...): the template chart object
    // Axis and chart titles; empty ones take the defaults of AxisTitles and ChartTitle.
    CSharedString xTitle, yTitle, title;

    virtual const SeriesTable& Descriptors() const = 0;
    virtual unsigned TitleLabel() const = 0;
    // Fills xTitle and yTitle where they are empty.
    virtual void AxisTitles(const Test& test);
    // The chart's title: by default its block title.
    virtual std::string ChartTitle(const Test& test) const;

    // The fields: one nested block per series (keyed by its legend label), lists x and y.
    const FieldTable& GetFields() const override;
    size_t Size() const override { return sizeof(Chart); }

    // The lists of the series with this number (created on first use).
    SeriesData& Series(int number);
    const SeriesData* FindSeries(int number) const;
    // A reference line from (x1, y1) to (x2, y2); not drawn (left empty) when a value is missing.
    void SetLine(int number, double x1, double y1, double x2, double y2);
    void SetHorizontalLine(int number, double y) { SetLine(number, -charts::kFar, y, charts::kFar, y); }
    void SetIdentityLine(int number) { SetLine(number, -charts::kFar, -charts::kFar, charts::kFar, charts::kFar); }
    // Empties every series.
    void Clear();
    // The value axis spans the values on round bounds (box plots: the data, not zero, set the scale),
    // the horizontal axis crossing it at the bottom.
    void SetValueBounds(const std::vector<double>& values);
    bool EqualScale() const { return flags[2] != 0; }

    // The range an axis (1 horizontal, 2 value) shows: its bounds where given, else a round range
    // around the series' values (the far ends of reference lines left out). Binding hooks give one
    // chart another's range through it.
    charts::AxisRange Scale(int axis) const;

    // Writes the chart into the report (titles, series, bounds); false when the template has no
    // chart object for it.
    bool Output(ReportExcel& report, const Test& test);

private:
    std::vector<std::pair<int, SeriesData>> m_series;  // by series number, in descriptor order
};

// Every chart block reachable from `root` through its fields, in block order.
std::vector<Chart*> ChartBlocks(const Results& root);

// ---------------------------------------------------------------- the chart classes

class ChartXYscatter : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleXYScatter; }
    void AxisTitles(const Test& test) override;
    // Y against X over the observations where both are present.
    void SetData(const std::string& xName, const std::vector<double>& x, const std::string& yName,
                 const std::vector<double>& y);

protected:
    std::string m_xName, m_yName;
};

// Fitted curve with confidence and prediction bands, identity line when asked.
class LineFitPlot : public ChartXYscatter {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleLineFitPlot; }
};

// Fitted straight line between X's extremes, optional identity and confidence-limit lines.
class LineFitPlot1 : public ChartXYscatter {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleLineFitPlot; }
    void SetData(const std::string& xName, const std::vector<double>& x, const std::string& yName,
                 const std::vector<double>& y, double a, double b, bool identity);
    // A confidence-limit line (series 4) through two points.
    void SetConfidenceLine(double x1, double y1, double x2, double y2) { SetLine(4, x1, y1, x2, y2); }
};

class BiasPlot : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleBiasplot; }
    void AxisTitles(const Test& test) override;
    // Y (one or two lists) against X; zero line; horizontal lines at the mean, lower and upper
    // value, each only when not missing.
    void SetData(const std::string& xName, const std::vector<double>& x, const std::vector<std::vector<double>>& y,
                 double mean, double lower, double upper);

private:
    std::string m_xName;
};

class XYscatterIdentity : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleXYScatter; }
    // Replicate 1 of Y against replicate 1 of X, replicate 2 against 2 when both have two.
    void SetData(const std::vector<std::vector<double>>& x, const std::vector<std::vector<double>>& y);
};

class FrequencyHistogram : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleHistogram; }
    void AxisTitles(const Test& test) override;
    // Bins the variable (start, end, width may be missing) and, when `normalFit`, adds the normal
    // curve at the bin edges. The counts are drawn as bars standing on the bin edges.
    void Bin(const std::string& name, const std::vector<double>& values, double start, double end, double width,
             bool normalFit);
    const charts::Bins& bins() const { return m_bins; }

private:
    std::string m_name;
    charts::Bins m_bins;
};

class BarChart : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleHistogram; }
    void AxisTitles(const Test& test) override;
    // Counts per category (drawn as bars one unit wide at 1, 2, 3 ...).
    void SetCounts(const std::string& name, const std::vector<double>& counts);

private:
    std::string m_name;
};

class PrecisionPlot : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleBiasplot; }
};

class ChartPrecisionProfile : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitlePrecisionProfileSD; }
};

class ROCPlot : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleROC; }
};

// One box: percentile ticks, whiskers, SD and mean marks, box, median, outliers.
class BoxPlot : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitlePercentilePlot; }
    void AxisTitles(const Test& test) override;
    // `percentile` in percent (ticks at it and at 100 - it); missing: no ticks.
    void SetData(const std::string& name, const std::vector<double>& values, double percentile);
    const charts::BoxStatistics& box() const { return m_box; }

private:
    std::string m_name;
    charts::BoxStatistics m_box;
};

// One box per group.
class BoxPlots : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleBoxplots; }
    // The value axis is titled with the variable's name, the horizontal one with the groups' names
    // in their order.
    void AxisTitles(const Test& test) override;
    void AddGroup(const std::string& group, const std::vector<double>& values);
    void SetName(const std::string& name) { m_name = name; }
    const std::vector<charts::BoxStatistics>& boxes() const { return m_boxes; }

private:
    std::string m_name, m_groups;
    std::vector<charts::BoxStatistics> m_boxes;
    std::vector<double> m_all;  // every group's values, for the value axis
};

class NormalProbabilityPlot : public Chart {
public:
    const SeriesTable& Descriptors() const override;
    unsigned TitleLabel() const override { return chart_labels::kTitleNormalProbabilityPlot; }
    void AxisTitles(const Test& test) override;
    // Observations against their normal quantiles, with the line of the normal fit (mean, SD).
    void SetData(const std::string& name, const std::vector<double>& values, double mean, double sd);
    double minimumQuantile = numerics::MissingValue();
    double maximumQuantile = numerics::MissingValue();

private:
    std::string m_name;
};

}  // namespace qs
