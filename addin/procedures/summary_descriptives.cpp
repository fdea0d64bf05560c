// Continuous summary descriptives: moments, means, order statistics, percentiles and the intervals
// of the mean and median of one continuous variable, an optional normality test, the percentile
// plot and the histogram with its normal fit.
#include <cmath>

#include "addin/framework/selection.h"
#include "addin/numerics/rounding.h"
#include "addin/procedures/descriptives.h"
#include "addin/procedures/ttest.h"

namespace qs {
namespace {

using namespace descriptive_labels;

struct PercentileRow : Results {
    double percent = numerics::MissingValue();
    double value = numerics::MissingValue();
    const FieldTable& GetFields() const override {
        static const FieldTable table = FieldTableOf<PercentileRow>()
                                            .Number(kLabelPercentile, &PercentileRow::percent)
                                            .Number(kLabelValue, &PercentileRow::value)
                                            .Build();
        return table;
    }
    size_t Size() const override { return 16; }
};

// The percentiles listed: 25, 50 and 75 between the pair bounding the central range of the level.
std::vector<double> ListedPercentiles(double level) {
    if (std::isnan(level)) return {25, 50, 75};
    const double tail = (100.0 - level) / 2.0;
    return {tail, 25, 50, 75, 100.0 - tail};
}

class SummaryDescriptives : public Test {
public:
    const Info& GetInfo() const override { return SummaryDescriptivesinfo; }

    void ExchangeParameters() override {
        Parameters& p = *Parameters::Current();
        ExchangeOneVariable(p, m_variables);
        p.Choice(params::PercentilePlot, m_levelChoice);
        p.Choice(params::NormalityTest4, m_normality);
    }

    void Compute() override {
        RequireVariables(m_variables, 1, params::Variable404);
        const VariableChoice& v = m_variables[0];
        const std::vector<double> values = ChoiceValues(v);
        const numerics::Descriptives d(values);
        const double level = LevelOfChoice(m_levelChoice);
        FillMoments(d, MissingCount(v));
        FillOrder(d, level);
        if (m_normality != NormalityBlock::kNone) m_normalityBlock.Compute(d, values, m_normality);
        m_plot.index = 1;
        m_plot.SetData(v.name, values, std::isnan(level) ? numerics::MissingValue() : (100.0 - level) / 2.0);
        m_histogram.index = 2;
        m_histogram.Bin(v.name, values, numerics::MissingValue(), numerics::MissingValue(), numerics::MissingValue(),
                        true);
    }

    const FieldTable& GetFields() const override;
    size_t Size() const override { return sizeof(*this); }

private:
    void FillMoments(const numerics::Descriptives& d, uint32_t missing) {
        m_n = d.N();
        m_missing = missing;
        m_sum = d.Sum();
        m_ss = d.SumSquares();
        m_mean.value = d.Mean();
        m_se = d.SE();
        m_variance = d.Variance();
        m_sd = d.SD();
        m_cv = d.CV();
        m_skewness.Set(d.Skewness());
        m_kurtosis.Set(d.Kurtosis());
        m_absoluteDeviation = d.MeanAbsDeviation();
        m_rootMeanSquare = d.RootMeanSquare();
        m_geometricMean = d.GeometricMean();
        m_harmonicMean = d.HarmonicMean();
    }

    void FillOrder(const numerics::Descriptives& d, double level) {
        const numerics::Interval meanCI = std::isnan(level) ? numerics::Interval{} : d.MeanCI(level);
        m_mean.lower = std::isnan(level) ? numerics::MissingValue() : meanCI.lower;
        m_mean.upper = std::isnan(level) ? numerics::MissingValue() : meanCI.upper;
        m_median.value = d.Median();
        const numerics::Interval medianCI = std::isnan(level) ? numerics::Interval{} : d.MedianCI(level);
        m_median.lower = std::isnan(level) ? numerics::MissingValue() : medianCI.lower;
        m_median.upper = std::isnan(level) ? numerics::MissingValue() : medianCI.upper;
        m_triMean = d.TriMean();
        m_iqr = d.IQR();
        m_mode = d.Mode();
        m_range = d.Range();
        m_percentiles.clear();
        for (double p : ListedPercentiles(level)) {
            PercentileRow row;
            row.percent = p;
            row.value = d.Percentile(p, numerics::kPercentileEmpirical);
            m_percentiles.push_back(row);
        }
    }

    // The normality block, absent with the option "None".
    const NormalityBlock* Normality() const {
        return m_normality != NormalityBlock::kNone ? &m_normalityBlock : nullptr;
    }

    std::vector<VariableChoice> m_variables;
    int m_levelChoice = 1;  // 95%
    int m_normality = NormalityBlock::kShapiroWilk;

    uint32_t m_n = 0, m_missing = 0;
    double m_sum = numerics::MissingValue(), m_ss = numerics::MissingValue();
    ValueCI m_mean, m_median;
    double m_se = numerics::MissingValue(), m_variance = numerics::MissingValue(), m_sd = numerics::MissingValue();
    double m_cv = numerics::MissingValue();
    MomentBlock m_skewness, m_kurtosis;
    double m_absoluteDeviation = numerics::MissingValue(), m_rootMeanSquare = numerics::MissingValue();
    double m_geometricMean = numerics::MissingValue(), m_harmonicMean = numerics::MissingValue();
    double m_triMean = numerics::MissingValue(), m_iqr = numerics::MissingValue();
    double m_mode = numerics::MissingValue(), m_range = numerics::MissingValue();
    std::vector<PercentileRow> m_percentiles;
    NormalityBlock m_normalityBlock;
    BoxPlot m_plot;
    FrequencyHistogram m_histogram;
};

const FieldTable& SummaryDescriptives::GetFields() const {
    using S = SummaryDescriptives;
    static const FieldTable table = [] {
        // The normality block is absent (nothing written) when the option is "None".
        Field normality{kLabelNormalityTest, FieldKind::Block, kFieldIndirect};
        normality.block = [](const Results& r) -> const Results* { return static_cast<const S&>(r).Normality(); };
        return FieldTableOf<S>()
            .Count(kLabelN, &S::m_n)
            .Count(kLabelMissing, &S::m_missing)
            .Number(kLabelSum, &S::m_sum)
            .Number(kLabelSS, &S::m_ss)
            .Nested(kLabelMean, &S::m_mean)
            .Number(kLabelSE, &S::m_se)
            .Number(kLabelVariance, &S::m_variance)
            .Number(kLabelSD, &S::m_sd)
            .Number(kLabelCV, &S::m_cv)
            .Nested(kLabelSkewness, &S::m_skewness)
            .Nested(kLabelKurtosis, &S::m_kurtosis)
            .Number(kLabelAbsoluteMeanDeviation, &S::m_absoluteDeviation)
            .Number(kLabelRootMeanSquare, &S::m_rootMeanSquare)
            .Number(kLabelGeometricMean, &S::m_geometricMean)
            .Number(kLabelHarmonicMean, &S::m_harmonicMean)
            .Nested(kLabelMedian, &S::m_median)
            .Number(kLabelTriMean, &S::m_triMean)
            .Number(kLabelIQR, &S::m_iqr)
            .Number(kLabelMode, &S::m_mode)
            .Number(kLabelRange, &S::m_range)
            .Rows(kLabelPercentile, &S::m_percentiles)
            .Add(normality)
            .Nested(chart_labels::kTitlePercentilePlot, &S::m_plot)
            .Nested(chart_labels::kTitleHistogram, &S::m_histogram)
            .Build();
    }();
    return table;
}

}  // namespace

const Test::Info SummaryDescriptivesinfo(1008, []() -> Test* { return new SummaryDescriptives; });

}  // namespace qs
