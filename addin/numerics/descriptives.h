// The summary kernel: counts, sums, moments, means, order statistics and mode of one variable's
// observations, each computed on first request and kept; percentiles and their confidence
// intervals; the categorical and two-variable companions.
//
// Values that are not finite (NaN, +-inf) are missing: counted, never summed. Every result that
// cannot be computed (n too small, zero SD, non-positive values for the geometric and harmonic
// means, percentile positions outside the data) is NaN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <vector>

#include "addin/numerics/distributions.h"

namespace qs::numerics {

// Percentile methods.
inline constexpr int kPercentileEmpirical = 0;  // interpolated order statistics
inline constexpr int kPercentileNormal = 1;     // mean + SD z

class Descriptives {
public:
    // Bias-corrected sample value, moment coefficient, and the two-sided p-value of its test.
    struct Moment {
        double sample;
        double coefficient;
        double p;
    };

    Descriptives() = default;
    explicit Descriptives(std::vector<double> values) { SetValues(std::move(values)); }

    // New data: everything is computed again on the next read.
    void SetValues(std::vector<double> values);

    std::uint32_t Total() const { return static_cast<std::uint32_t>(values_.size()); }
    std::uint32_t Missing() const;
    std::uint32_t N() const;

    double Sum() const;         // rounded to 14 significant digits
    double SumSquares() const;  // raw sum of x^2, rounded to 14 significant digits
    double Mean() const;
    double RootMeanSquare() const;
    double GeometricMean() const;
    double HarmonicMean() const;

    double SumAbsDeviations() const;
    double SumSquaredDeviations() const;
    double SumCubedDeviations() const;
    double SumFourthDeviations() const;
    double PopulationVariance() const;
    double PopulationSD() const;
    double MeanAbsDeviation() const;
    double Variance() const;
    double SD() const;
    double SE() const;
    double CV() const;
    Moment Skewness() const;
    Moment Kurtosis() const;  // coefficient not minus 3

    double Mode() const;
    double Minimum() const { return Percentile(0.0, kPercentileEmpirical); }
    double Median() const { return Percentile(50.0, kPercentileEmpirical); }
    double Maximum() const { return Percentile(100.0, kPercentileEmpirical); }
    double FirstQuartile() const { return Percentile(25.0, kPercentileEmpirical); }
    double ThirdQuartile() const { return Percentile(75.0, kPercentileEmpirical); }
    double Range() const { return Maximum() - Minimum(); }
    double TriMean() const { return (FirstQuartile() + 2.0 * Median() + ThirdQuartile()) / 4.0; }
    double IQR() const { return ThirdQuartile() - FirstQuartile(); }

    // P in percent.
    double Percentile(double P, int method) const;
    // Confidence in percent; the first member is the attained alpha for the empirical method.
    Interval PercentileCI(double P, double confidence, int method) const;
    Interval MeanCI(double confidence) const;
    Interval MedianCI(double confidence) const { return PercentileCI(50.0, confidence, 0); }

    // The k-th smallest non-missing value, k = 1..N(); NaN outside.
    double OrderStatistic(double k) const;

private:
    enum Group : unsigned { kSums = 1, kLogSums = 2, kDeviations = 4, kOrder = 8, kSorted = 16 };
    bool Pending(Group g) const { return (pending_ & g) != 0; }
    void ComputeSums() const;
    void ComputeLogSums() const;
    void ComputeDeviations() const;
    void PrepareOrder() const;

    std::vector<double> values_;
    mutable unsigned pending_ = ~0u;

    // Pass 1
    mutable std::uint32_t n_ = 0;
    mutable double sum_ = 0, sum_squares_ = 0;  // unrounded
    mutable double geometric_ = 0, harmonic_ = 0;
    // Pass 2
    mutable double dev_abs_ = 0, dev2_ = 0, dev3_ = 0, dev4_ = 0;
    // Order statistics: the non-missing values, partitioned around every rank fixed so far
    // (each nth_element only works between the nearest fixed ranks), fully sorted once the
    // mode asks for runs.
    mutable std::vector<double> order_;
    mutable std::set<std::size_t> fixed_;
    mutable double mode_ = 0;
};

// D'Agostino's test of skewness (coefficient g) and the Anscombe-Glynn test of kurtosis
// (coefficient b2, not minus 3): two-sided p-values; NaN for n < 8 and n < 20.
double SkewnessTestP(double g, double n);
double KurtosisTestP(double b2, double n);

class DescriptivesCategorical {
public:
    // categories: category numbers 1..category_count per observation; 0 (or anything outside
    // the range) is a missing category.
    DescriptivesCategorical(std::span<const std::int32_t> categories, std::int32_t category_count);

    const std::vector<std::uint32_t>& Counts() const { return counts_; }
    std::uint32_t Total() const { return total_; }  // observations with a category
    std::uint32_t Missing() const { return missing_; }
    std::int32_t Mode() const { return mode_; }  // 0 when none (a tie for the highest)

private:
    std::vector<std::uint32_t> counts_;
    std::uint32_t total_ = 0;
    std::uint32_t missing_ = 0;
    std::int32_t mode_ = 0;
};

// Paired summaries of two variables over the observations where both are present.
class CoDescriptives {
public:
    CoDescriptives(std::span<const double> x, std::span<const double> y);

    std::uint32_t N() const { return n_; }
    double MeanX() const { return mean_x_; }
    double MeanY() const { return mean_y_; }
    double SumSquaresX() const { return sxx_; }  // about the mean
    double SumSquaresY() const { return syy_; }
    double SumProducts() const { return sxy_; }  // about the means
    double Covariance() const;
    double Correlation() const;

private:
    std::uint32_t n_ = 0;
    double mean_x_, mean_y_, sxx_ = 0, syy_ = 0, sxy_ = 0;
};

}  // namespace qs::numerics
