// Histogram binning, box-plot fences and outliers, normal scores and nice axis ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "addin/charts/chart_math.h"
#include "addin/numerics/distributions.h"

namespace {

using namespace qs::charts;
const double kNaN = std::nan("");

std::vector<double> Sequence(int n, double from, double step) {
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = from + step * i;
    return v;
}

TEST(HistogramBins, SturgesCountAndNiceWidths) {
    EXPECT_EQ(SturgesBins(99), 7);  // floor(1 + 3.3 log10 100) = 7
    EXPECT_EQ(SturgesBins(1), 1);
    EXPECT_EQ(SturgesBins(65535), 16);
    EXPECT_DOUBLE_EQ(NiceWidth(3.7), 2.5);
    EXPECT_DOUBLE_EQ(NiceWidth(0.37), 0.25);
    EXPECT_DOUBLE_EQ(NiceWidth(37), 25);
    EXPECT_DOUBLE_EQ(NiceWidth(0.037), 0.025);
    EXPECT_DOUBLE_EQ(NiceWidth(1), 1);    // 0.1 x 10
    EXPECT_DOUBLE_EQ(NiceWidth(1.6), 2);  // 0.16 is nearest 0.2
    EXPECT_DOUBLE_EQ(NiceWidth(7.6), 5);  // 0.76 is nearest 0.5
    // A tie between 0.25 and 0.5 (0.375, exact in binary) takes the later value.
    EXPECT_DOUBLE_EQ(NiceWidth(3.75), 5);
    EXPECT_TRUE(std::isnan(NiceWidth(0)));
}

TEST(HistogramBins, NinetyNineObservationsWithoutGivenBins) {
    // 99 values over [0, 25.9]: raw width 25.9 / 7 = 3.7 becomes 2.5, the start 0, and
    // ceil(25.9 / 2.5) = 11 bins of 2.5 reach the maximum.
    std::vector<double> x = Sequence(99, 0, 25.9 / 98);
    Bins b = BinValues(x, kNaN, kNaN, kNaN);
    EXPECT_DOUBLE_EQ(b.width, 2.5);
    EXPECT_DOUBLE_EQ(b.start, 0);
    ASSERT_EQ(b.counts.size(), 11u);
    EXPECT_EQ(std::accumulate(b.counts.begin(), b.counts.end(), 0.0), 99);
    EXPECT_EQ(b.edges.size(), 12u);
    EXPECT_DOUBLE_EQ(b.edges.back(), 27.5);
}

TEST(HistogramBins, StartRoundedDownAndEdgesCountedAbove) {
    // Range 10.3 .. 14.0 (n = 9, 4 bins): raw 0.925 gives 0.5; start 10; ceil(4 / 0.5) = 8 bins.
    std::vector<double> x{10.3, 11.0, 11.0, 11.5, 12.0, 12.999999999999, 13.0, 13.4, 14.0};
    Bins b = BinValues(x, kNaN, kNaN, kNaN);
    EXPECT_DOUBLE_EQ(b.width, 0.5);
    EXPECT_DOUBLE_EQ(b.start, 10);
    // 11.0, 12.0 and 13.0 sit on edges and count in the bin above; 14.0 is the last edge and is
    // clamped to the last bin.
    EXPECT_EQ(b.counts, (std::vector<double>{1, 0, 2, 1, 1, 1, 2, 1}));
}

TEST(HistogramBins, GivenStartEndAndWidth) {
    std::vector<double> x{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // Start and end given, width not: Sturges' k = 4 bins of the span / 4, from the start.
    Bins a = BinValues(x, 0, 12, kNaN);
    EXPECT_DOUBLE_EQ(a.start, 0);
    EXPECT_DOUBLE_EQ(a.width, 3);
    EXPECT_EQ(a.counts, (std::vector<double>{2, 3, 3, 2}));
    // Width given: floor(span / width) bins; values beyond the end go to the last one and values
    // below the start are not counted.
    Bins b = BinValues(x, 3, 9, 2);
    EXPECT_EQ(b.counts, (std::vector<double>{2, 2, 4}));
    // A constant variable still has one bin holding everything.
    Bins c = BinValues({5, 5, 5}, kNaN, kNaN, kNaN);
    ASSERT_EQ(c.counts.size(), 1u);
    EXPECT_EQ(c.counts[0], 3);
}

TEST(HistogramBins, NormalFitIsTheDensityScaledToCounts) {
    std::vector<double> x = Sequence(50, -2, 0.08);
    Bins b = BinValues(x, kNaN, kNaN, kNaN);
    FitNormal(b, 0.5, 1.25);
    ASSERT_EQ(b.normal.size(), b.edges.size());
    for (size_t j = 0; j < b.edges.size(); ++j) {
        double z = (b.edges[j] - 0.5) / 1.25;
        double want = std::exp(-z * z / 2) / std::sqrt(2 * M_PI) / 1.25 * 50 * b.width;
        EXPECT_NEAR(b.normal[j], want, 1e-13 * want) << j;
    }
    FitNormal(b, 0.5, kNaN);
    EXPECT_TRUE(b.normal.empty());  // no fit without an SD
}

TEST(BoxStatistics, NoValuesBeyondTheFencesWhiskersAtTheExtremes) {
    BoxStatistics s = BoxStatisticsOf({3, 4, 5, 6, 7, 8, 9}, kNaN);
    EXPECT_TRUE(s.nearOutliers.empty());
    EXPECT_TRUE(s.farOutliers.empty());
    EXPECT_EQ(s.lowerWhisker, 3);
    EXPECT_EQ(s.upperWhisker, 9);
    // Tukey's hinges: positions (n + 3) / 4 = 2.5 and (3n + 1) / 4 = 5.5.
    EXPECT_DOUBLE_EQ(s.q1, 4.5);
    EXPECT_DOUBLE_EQ(s.q3, 7.5);
    EXPECT_DOUBLE_EQ(s.median, 6);
}

TEST(BoxStatistics, NearAndFarOutliersOnBothSides) {
    // Q1 = 10, Q3 = 12 (IQR 2): inner fences 7 and 15, outer fences 4 and 18.
    std::vector<double> x{1, 5, 9, 10, 10, 10, 11, 11, 12, 12, 12, 13, 16, 30};
    BoxStatistics s = BoxStatisticsOf(x, kNaN);
    ASSERT_DOUBLE_EQ(s.q1, 10);
    ASSERT_DOUBLE_EQ(s.q3, 12);
    EXPECT_EQ(s.lowerInner, 7);
    EXPECT_EQ(s.upperOuter, 18);
    EXPECT_EQ(s.farOutliers, (std::vector<double>{1, 30}));
    EXPECT_EQ(s.nearOutliers, (std::vector<double>{5, 16}));
    EXPECT_EQ(s.lowerWhisker, 9);
    EXPECT_EQ(s.upperWhisker, 13);
    // A value exactly on the upper inner fence is not an outlier (strictly greater only).
    BoxStatistics t = BoxStatisticsOf({10, 10, 10, 11, 11, 12, 12, 12, 15}, kNaN);
    EXPECT_TRUE(t.nearOutliers.empty());
    EXPECT_EQ(t.upperWhisker, 15);
}

TEST(BoxStatistics, PercentileTicks) {
    std::vector<double> x = Sequence(99, 1, 1);
    BoxStatistics s = BoxStatisticsOf(x, 5);
    EXPECT_DOUBLE_EQ(s.lowTick, 5);  // position 5 (n + 1) / 100 = 5
    EXPECT_DOUBLE_EQ(s.highTick, 95);
    EXPECT_TRUE(std::isnan(BoxStatisticsOf(x, kNaN).lowTick));
}

TEST(NormalScores, PlottingPositionsAndSharedTies) {
    std::vector<double> sorted;
    std::vector<double> q = NormalScores({3, 1, 2, 2, kNaN}, sorted);
    EXPECT_EQ(sorted, (std::vector<double>{1, 2, 2, 3}));
    ASSERT_EQ(q.size(), 4u);
    auto z = [](double p) { return qs::numerics::NormalQuantile(p, 0, 1, qs::numerics::kLowerTail); };
    EXPECT_DOUBLE_EQ(q[0], z(0.5 / 4));
    EXPECT_DOUBLE_EQ(q[1], (z(1.5 / 4) + z(2.5 / 4)) / 2);  // the tie shares the mean: 0 here
    EXPECT_NEAR(q[1], 0, 1e-15);
    EXPECT_EQ(q[1], q[2]);
    EXPECT_DOUBLE_EQ(q[3], z(3.5 / 4));
}

TEST(NiceRange, HoldsTheDataOnRoundBounds) {
    AxisRange r = NiceRange(0.13, 9.7);
    EXPECT_DOUBLE_EQ(r.minimum, 0);
    EXPECT_DOUBLE_EQ(r.maximum, 10);
    AxisRange s = NiceRange(-3.2, 41);
    EXPECT_LE(s.minimum, -3.2);
    EXPECT_GE(s.maximum, 41);
    AxisRange c = NiceRange(5, 5);  // a single value gets room around it
    EXPECT_LT(c.minimum, 5);
    EXPECT_GT(c.maximum, 5);
}

}  // namespace
