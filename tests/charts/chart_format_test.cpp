// The add-in's chart operations (ChartFormat) on a chart of the host's workbook model: each selects
// its item and runs one command; a missing chart or item is skipped without raising.
#include <cmath>

#include "addin/charts/chart_format.h"
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
