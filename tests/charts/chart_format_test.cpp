// The chart classes' content, and the add-in's chart operations (ChartFormat) on a chart of the
// host's workbook model: each selects its item and runs one command; a missing chart or item is
// skipped without raising.
#include <cmath>

#include "addin/charts/chart.h"
#include "addin/charts/chart_format.h"
#include "addin/framework/report.h"
#include "addin/host/xlcalls.h"
#include "addin/procedures/descriptives.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {
namespace {

class ChartOperations : public HostTest {
protected:
    sheets::DrawingObject& AddChart() {
        NewBook();
        sheets::Chart chart;
        chart.series.resize(3);
        for (auto& s : chart.series) s.y_values = "Sheet1!$A$1:$A$3";
        chart.series[0].trendlines.resize(1);
        sheets::ObjectAnchor anchor;
        anchor.from = {1, 1};
        anchor.to = {12, 7};
        return Sheet().AddChart(chart, anchor);
    }
};

TEST_F(ChartOperations, EachOperationChangesItsItem) {
    sheets::DrawingObject& o = AddChart();
    qs::ChartFormat chart(static_cast<int>(o.id));
    ASSERT_TRUE(chart.Exists());
    EXPECT_EQ(chart.ObjectName(), o.name);
    EXPECT_TRUE(chart.Scale(2, -1, 5, -1));
    EXPECT_EQ(o.chart->y_axis.scale.minimum, -1.0);
    EXPECT_EQ(o.chart->y_axis.scale.maximum, 5.0);
    EXPECT_EQ(o.chart->x_axis.scale.crosses_at, -1.0);
    EXPECT_TRUE(chart.Scale(2, NAN, 6, NAN));  // the minimum automatic again
    EXPECT_FALSE(o.chart->y_axis.scale.minimum.has_value());
    EXPECT_TRUE(chart.AxisTitle(1, "Glucose"));
    EXPECT_EQ(o.chart->x_axis.title, "Glucose");
    EXPECT_TRUE(chart.SeriesPattern(2, false, 8));
    EXPECT_FALSE(o.chart->series[1].line);
    EXPECT_EQ(o.chart->series[1].marker, sheets::MarkerStyle::Circle);
    // The trendline of series 1 becomes polynomial of order 3, then is deleted with series 3.
    EXPECT_TRUE(chart.Trendline("S1T1", 3, 3));
    EXPECT_EQ(o.chart->series[0].trendlines[0].type, sheets::TrendlineType::Polynomial);
    EXPECT_EQ(o.chart->series[0].trendlines[0].order, 3);
    EXPECT_TRUE(chart.Trendline("S1T1", 1, 0, 0, true));
    EXPECT_EQ(o.chart->series[0].trendlines[0].intercept, 0.0);
    EXPECT_TRUE(chart.Delete("S1T1"));
    EXPECT_TRUE(o.chart->series[0].trendlines.empty());
    EXPECT_TRUE(chart.Delete("S3"));
    EXPECT_EQ(o.chart->series.size(), 2u);
    // The plot area and labels have no layout of their own in the model: moving and sizing them is
    // accepted and changes nothing; the object itself is sized in points.
    EXPECT_TRUE(chart.Move("Plot", 10, 20));
    EXPECT_TRUE(chart.Size("Plot", 200, 200));
    EXPECT_TRUE(chart.Size("", 200, 200));
    EXPECT_EQ(o.anchor.from, (sheets::CellAddress{1, 1}));
}

TEST_F(ChartOperations, AMissingChartOrItemIsSkipped) {
    sheets::DrawingObject& o = AddChart();
    qs::ChartFormat none(99);
    EXPECT_FALSE(none.Exists());
    EXPECT_FALSE(none.Scale(1, 0, 1, NAN));
    EXPECT_FALSE(none.Delete("S1"));
    qs::ChartFormat chart(static_cast<int>(o.id));
    EXPECT_FALSE(chart.Delete("S7"));
    EXPECT_FALSE(chart.Trendline("S2T1", 1));
    EXPECT_FALSE(chart.Select("Title"));  // the chart shows no title
    EXPECT_EQ(o.chart->series.size(), 3u);
}

}  // namespace
}  // namespace dstest

// The chart classes' content, as the report writer receives it.
namespace dstest {
namespace {

using qs::SeriesData;

TEST(ChartClasses, BiasPlotDrawsOnlyTheLinesItHasValuesFor) {
    qs::BiasPlot plot;
    plot.SetData("Mean of A and B", {1, 2, 3}, {{0.1, -0.2, NAN}}, NAN, -1.5, 1.5);
    const SeriesData* zero = plot.FindSeries(9);
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->x, (std::vector<double>{-1e30, 1e30}));
    EXPECT_EQ(zero->y, (std::vector<double>{0, 0}));
    EXPECT_TRUE(plot.FindSeries(4)->y.empty());  // no mean: no mean line
    EXPECT_EQ(plot.FindSeries(2)->y, (std::vector<double>{-1.5, -1.5}));
    EXPECT_EQ(plot.FindSeries(1)->x, (std::vector<double>{1, 2}));  // pairs with a value only
    // Clipped reference lines: the horizontal axis spans the data, not the far ends.
    EXPECT_EQ(plot.Scale(1).minimum, 1);
    EXPECT_EQ(plot.Scale(1).maximum, 2);
}

TEST(ChartClasses, LineFitsAndIdentity) {
    qs::LineFitPlot1 fit;
    fit.SetData("X", {2, 4, 9}, "Y", {3, 5, 8}, 1.0, 0.5, true);
    EXPECT_EQ(fit.FindSeries(3)->x, (std::vector<double>{2, 9}));  // X's minimum and maximum
    EXPECT_EQ(fit.FindSeries(3)->y, (std::vector<double>{2, 5.5}));
    EXPECT_EQ(fit.FindSeries(2)->x, (std::vector<double>{-1e30, 1e30}));
    EXPECT_TRUE(fit.EqualScale());
    qs::XYscatterIdentity identity;
    identity.SetData({{1, 2}, {1.1, 2.1}}, {{1.2, 1.9}, {0.9, 2.2}});
    EXPECT_EQ(identity.FindSeries(6)->y, (std::vector<double>{0.9, 2.2}));
    EXPECT_TRUE(identity.EqualScale());
    // The descriptors of a subclass keep its base's series first.
    EXPECT_EQ(qs::LineFitPlot().Descriptors().front().number, 1);
    EXPECT_EQ(qs::LineFitPlot().Descriptors().back().label, 2616u);
    EXPECT_EQ(qs::LineFitPlot().Descriptors()[3].label, 2604u + 4096u);  // the second "Confidence interval"
}

TEST(ChartClasses, HistogramBarsStandOnTheBinEdges) {
    qs::FrequencyHistogram h;
    h.Bin("Weight", {1, 2, 2, 3, 3, 3}, 0.5, 3.5, 1, true);
    ASSERT_EQ(h.bins().counts, (std::vector<double>{1, 2, 3}));
    const SeriesData* bars = h.FindSeries(1);
    ASSERT_EQ(bars->x.size(), 12u);  // four corners per bin
    EXPECT_EQ(bars->x[0], 0.5);
    EXPECT_EQ(bars->y[1], 1);
    EXPECT_EQ(bars->x[10], 3.5);
    EXPECT_EQ(h.FindSeries(2)->x, h.bins().edges);  // the normal curve at the edges
}

TEST(ChartClasses, BoxPlotSlotsAndOutliers) {
    qs::BoxPlots boxes;
    boxes.AddGroup("North", {3, 4, 5, 6, 7, 8, 9});
    boxes.AddGroup("South", {1, 5, 9, 10, 10, 10, 11, 11, 12, 12, 12, 13, 16, 30});
    const SeriesData* box = boxes.FindSeries(5);
    ASSERT_TRUE(box);
    // First box: edges at 0.35 and 0.65; the second one unit further, after a gap.
    EXPECT_EQ(box->x[0], 0.35);
    EXPECT_EQ(box->x[1], 0.65);
    EXPECT_TRUE(std::isnan(box->x[5]));
    EXPECT_EQ(box->x[6], 1.35);
    EXPECT_EQ(boxes.FindSeries(3)->y, (std::vector<double>{1, 30}));     // far outliers
    EXPECT_EQ(boxes.FindSeries(2)->x, (std::vector<double>{1.5, 1.5}));  // near outliers at the middle
    EXPECT_EQ(boxes.xMaximum, 2);
    EXPECT_LE(boxes.yMinimum, 1);
    EXPECT_GE(boxes.yMaximum, 30);
}

TEST(ChartClasses, NormalProbabilityPlotAndItsJson) {
    qs::NormalProbabilityPlot plot;
    plot.SetData("Glucose", {5.1, 4.9, 5.6, NAN}, 5.2, 0.36);
    ASSERT_EQ(plot.FindSeries(1)->x, (std::vector<double>{4.9, 5.1, 5.6}));
    EXPECT_LT(plot.minimumQuantile, 0);
    EXPECT_EQ(plot.FindSeries(2)->y, (std::vector<double>{plot.minimumQuantile, plot.maximumQuantile}));
    EXPECT_NEAR(plot.FindSeries(2)->x[0], 5.2 + 0.36 * plot.minimumQuantile, 1e-15);
    // JSON: one object per series, keyed by its legend label, with lists x and y.
    const std::string json = qs::ResultsJson(plot);
    EXPECT_EQ(json.rfind("{\"X & Y\":{\"x\":[4.9,5.1,5.6],\"y\":[", 0), 0u) << json;
    EXPECT_NE(json.find("\"Normal Fit\":{\"x\":["), std::string::npos) << json;
}

}  // namespace
}  // namespace dstest

// Chart::Output on a template chart of the host's model: the lists go into the cells its series name,
// the series are bound to exactly those cells, a series the template lacks is skipped, and a list
// longer than the chart limit is cut under message 136.
namespace dstest {
namespace {

class ChartOutput : public HostTest {
protected:
    sheets::DrawingObject& Template(int series) {
        NewBook();
        sheets::Chart chart;
        chart.title = "Placeholder";
        for (int i = 0; i < series; ++i) {
            chart.series.emplace_back();
            chart.series.back().x_values = "Sheet1!$" + std::string(1, static_cast<char>('K' + 2 * i)) + "$2";
            chart.series.back().y_values = "Sheet1!$" + std::string(1, static_cast<char>('L' + 2 * i)) + "$2";
        }
        sheets::ObjectAnchor anchor;
        anchor.from = {1, 0};
        anchor.to = {20, 6};
        return Sheet().AddChart(chart, anchor);
    }
    bool Output(qs::Chart& chart, unsigned id) {
        qs::ReportExcel report(qs::XlCallResult(xlSheetId).SheetId(), false);
        qs::CRef<qs::Test> test(qs::NormalityTestinfo.Create());
        chart.index = static_cast<int>(id);
        return chart.Output(report, *test);
    }
};

TEST_F(ChartOutput, ListsFillTheTemplateCellsAndBindTheSeries) {
    sheets::DrawingObject& o = Template(1);  // the normal fit's series 2 is missing
    qs::NormalProbabilityPlot plot;
    plot.SetData("Glucose", {5.1, 4.9, 5.6, 6.0}, 5.4, 0.5);
    ASSERT_TRUE(Output(plot, o.id));
    EXPECT_EQ(o.chart->series.size(), 1u);
    EXPECT_EQ(o.chart->series[0].x_values, "'Sheet1'!$K$2:$K$5");
    EXPECT_EQ(o.chart->series[0].y_values, "'Sheet1'!$L$2:$L$5");
    EXPECT_EQ(Sheet().GetValue(1, 10).number, 4.9);
    EXPECT_EQ(Sheet().GetValue(4, 10).number, 6.0);
    EXPECT_NEAR(Sheet().GetValue(4, 11).number, plot.maximumQuantile, 1e-15);
    EXPECT_EQ(o.chart->title, "Normal Probability Plot");
    EXPECT_EQ(o.chart->x_axis.title, "Glucose");
    EXPECT_EQ(o.chart->y_axis.title, "Normal quantile");
    EXPECT_EQ(o.chart->y_axis.scale.minimum, -plot.yMaximum);
    EXPECT_EQ(o.chart->x_axis.scale.crosses_at, plot.yMinimum);
    EXPECT_EQ(Sheet().drawings().size(), 1u);  // no message
    qs::NormalProbabilityPlot other;
    EXPECT_FALSE(Output(other, o.id + 5));  // no chart object of that number: nothing happens
}

TEST_F(ChartOutput, MoreThan4000PointsAreCutUnderMessage136) {
    sheets::DrawingObject& o = Template(2);
    qs::BiasPlot plot;  // series 1 the points, 6 the second list (absent from this template)
    std::vector<double> x(4001), y(4001);
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<double>(i);
        y[i] = std::sin(static_cast<double>(i));
    }
    plot.SetData("X", x, {y}, 0.1, -1, 1);
    ASSERT_TRUE(Output(plot, o.id));
    EXPECT_EQ(o.chart->series[0].y_values, "'Sheet1'!$L$2:$L$4001");
    EXPECT_TRUE(Sheet().GetValue(4001, 11).IsEmpty());
    ASSERT_EQ(Sheet().drawings().size(), 2u);
    const sheets::DrawingObject& box = *Sheet().drawings()[1];
    EXPECT_EQ(box.kind, sheets::DrawingObject::Kind::TextBox);
    EXPECT_EQ(box.text.rfind("Unfortunately there are too many data-points", 0), 0u);
    EXPECT_EQ(box.anchor, o.anchor);
    // Series 2 of the template is the "SD" line at -1, drawn across the plot: the horizontal axis is
    // given bounds around the data so that the host clips the line.
    EXPECT_EQ(o.chart->series[1].y_values, "'Sheet1'!$N$2:$N$3");
    EXPECT_EQ(o.chart->x_axis.scale.minimum, 0.0);
    EXPECT_GE(o.chart->x_axis.scale.maximum.value_or(0), 4000.0);
}

}  // namespace
}  // namespace dstest
