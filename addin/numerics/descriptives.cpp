// Descriptives: two passes for the moments, a partitioned copy for the order statistics.
//
// Pass 1 sums x and x^2 (compensated summation, summation.h); the stored sum and sum of squares
// are rounded to 14 significant digits, while the mean and root mean square use the unrounded
// sums. Pass 2 sums |d|, d^2, d^3, d^4 of the deviations d = x - mean. The geometric and
// harmonic means are a group of their own, since they need a logarithm per value.
// Order statistics come from a copy of the non-missing values that std::nth_element partitions
// around each rank asked for, so a handful of percentiles costs a few linear passes; the mode,
// which needs runs of equal values, sorts the copy once.
// Skewness test: R. B. D'Agostino, "Transformation to normality of the null distribution of
// g1", Biometrika 57 (1970) 679-681. Kurtosis test: F. J. Anscombe and W. J. Glynn,
// "Distribution of the kurtosis statistic b2 for normal samples", Biometrika 70 (1983) 227-234.
// This version: the cube root of the Anscombe-Glynn statistic is the real (signed) one, so a
// strongly platykurtic small sample gets a p-value instead of NaN from pow() of a negative base.
#include "addin/numerics/descriptives.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "addin/numerics/rounding.h"
#include "addin/numerics/summation.h"

namespace qs::numerics {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kStoredSumDigits = 14;
bool is_missing(double x) { return !std::isfinite(x); }
}  // namespace

void Descriptives::SetValues(std::vector<double> values) {
    values_ = std::move(values);
    pending_ = ~0u;
    order_.clear();
    order_.shrink_to_fit();
    fixed_.clear();
}

void Descriptives::ComputeSums() const {
    if (!Pending(kSums)) return;
    CompensatedSum sum, squares;
    std::uint32_t n = 0;
    for (const double x : values_) {
        if (is_missing(x)) continue;
        ++n;
        sum.Add(x);
        squares.Add(x * x);
    }
    n_ = n;
    sum_ = sum.Value();
    sum_squares_ = squares.Value();
    pending_ &= ~kSums;
}

void Descriptives::ComputeLogSums() const {
    if (!Pending(kLogSums)) return;
    ComputeSums();
    CompensatedSum logs, reciprocals;
    bool positive = true;
    for (const double x : values_) {
        if (is_missing(x)) continue;
        if (x <= 0.0) {
            positive = false;
            break;
        }
        logs.Add(std::log(x));
        reciprocals.Add(1.0 / x);
    }
    const bool usable = positive && n_ >= 2;
    geometric_ = usable ? std::exp(logs.Value() / n_) : kNaN;
    harmonic_ = usable ? 1.0 / (reciprocals.Value() / n_) : kNaN;
    pending_ &= ~kLogSums;
}

void Descriptives::ComputeDeviations() const {
    if (!Pending(kDeviations)) return;
    ComputeSums();
    const double mean = Mean();
    CompensatedSum s1, s2, s3, s4;
    if (n_ >= 2) {
        for (const double x : values_) {
            if (is_missing(x)) continue;
            const double d = x - mean;
            const double d2 = d * d;
            s1.Add(std::fabs(d));
            s2.Add(d2);
            s3.Add(d2 * d);
            s4.Add(d2 * d2);
        }
    }
    dev_abs_ = s1.Value();
    dev2_ = s2.Value();
    dev3_ = s3.Value();
    dev4_ = s4.Value();
    pending_ &= ~kDeviations;
}

void Descriptives::PrepareOrder() const {
    if (!Pending(kOrder)) return;
    order_.clear();
    order_.reserve(values_.size());
    for (const double x : values_)
        if (!is_missing(x)) order_.push_back(x);
    fixed_.clear();
    pending_ &= ~kOrder;
}

std::uint32_t Descriptives::Missing() const { return Total() - N(); }

std::uint32_t Descriptives::N() const {
    ComputeSums();
    return n_;
}

double Descriptives::Sum() const {
    ComputeSums();
    return RoundSignificant(sum_, kStoredSumDigits);
}

double Descriptives::SumSquares() const {
    ComputeSums();
    return RoundSignificant(sum_squares_, kStoredSumDigits);
}

double Descriptives::Mean() const {
    ComputeSums();
    return n_ > 1 ? sum_ / n_ : kNaN;
}

double Descriptives::RootMeanSquare() const {
    ComputeSums();
    return n_ > 1 ? std::sqrt(sum_squares_ / n_) : kNaN;
}

double Descriptives::GeometricMean() const {
    ComputeLogSums();
    return geometric_;
}

double Descriptives::HarmonicMean() const {
    ComputeLogSums();
    return harmonic_;
}

double Descriptives::SumAbsDeviations() const {
    ComputeDeviations();
    return n_ >= 2 ? dev_abs_ : kNaN;
}
double Descriptives::SumSquaredDeviations() const {
    ComputeDeviations();
    return n_ >= 2 ? dev2_ : kNaN;
}
double Descriptives::SumCubedDeviations() const {
    ComputeDeviations();
    return n_ >= 2 ? dev3_ : kNaN;
}
double Descriptives::SumFourthDeviations() const {
    ComputeDeviations();
    return n_ >= 2 ? dev4_ : kNaN;
}

double Descriptives::PopulationVariance() const { return SumSquaredDeviations() / N(); }
double Descriptives::PopulationSD() const { return std::sqrt(PopulationVariance()); }
double Descriptives::MeanAbsDeviation() const { return SumAbsDeviations() / N(); }
double Descriptives::Variance() const { return SumSquaredDeviations() / (N() - 1.0); }
double Descriptives::SD() const { return std::sqrt(Variance()); }
double Descriptives::SE() const { return std::sqrt(Variance() / N()); }
double Descriptives::CV() const { return SD() / Mean(); }

Descriptives::Moment Descriptives::Skewness() const {
    const double n = N();
    Moment m{kNaN, kNaN, kNaN};
    if (n < 2) return m;
    const double pop_sd = PopulationSD();
    if (std::isfinite(pop_sd) && pop_sd > 0.0) {
        m.coefficient = (SumCubedDeviations() / n) / (pop_sd * pop_sd * pop_sd);
        m.p = SkewnessTestP(m.coefficient, n);
    }
    const double sd = SD();
    if (std::isfinite(sd) && sd > 0.0 && n > 3)
        m.sample = n / ((n - 1.0) * (n - 2.0)) * SumCubedDeviations() / (sd * sd * sd);
    return m;
}

Descriptives::Moment Descriptives::Kurtosis() const {
    const double n = N();
    Moment m{kNaN, kNaN, kNaN};
    if (n < 2) return m;
    const double pop_sd = PopulationSD();
    if (std::isfinite(pop_sd) && pop_sd > 0.0) {
        const double v = pop_sd * pop_sd;
        m.coefficient = (SumFourthDeviations() / n) / (v * v);
        m.p = KurtosisTestP(m.coefficient, n);
    }
    const double sd = SD();
    if (std::isfinite(sd) && sd > 0.0 && n > 4) {
        const double v = sd * sd;
        m.sample = n * (n + 1.0) / ((n - 1.0) * (n - 2.0) * (n - 3.0)) * SumFourthDeviations() / (v * v) -
                   3.0 * (n - 1.0) * (n - 1.0) / ((n - 2.0) * (n - 3.0));
    }
    return m;
}

double Descriptives::Mode() const {
    PrepareOrder();
    if (Pending(kSorted)) {
        std::sort(order_.begin(), order_.end());
        fixed_.clear();
        pending_ &= ~kSorted;
        // Runs of exactly equal values; a run of one never sets the mode.
        double mode = kNaN;
        std::size_t longest = 0, run = 1;
        for (std::size_t i = 1; i < order_.size(); ++i) {
            if (order_[i] == order_[i - 1]) {
                ++run;
                if (run >= longest) {
                    mode = (run == longest) ? kNaN : order_[i];
                    longest = run;
                }
            } else {
                run = 1;
            }
        }
        mode_ = mode;
    }
    return mode_;
}

double Descriptives::OrderStatistic(double k) const {
    PrepareOrder();
    const std::size_t n = order_.size();
    if (!(k >= 1.0 && k <= static_cast<double>(n)) || k != std::floor(k)) return kNaN;
    const std::size_t index = static_cast<std::size_t>(k) - 1;
    if (!Pending(kSorted) || fixed_.count(index)) return order_[index];
    // Partition only between the nearest ranks already in place.
    auto above = fixed_.upper_bound(index);
    const std::size_t end = (above == fixed_.end()) ? n : *above;
    const std::size_t begin = (above == fixed_.begin()) ? 0 : *std::prev(above) + 1;
    std::nth_element(order_.begin() + begin, order_.begin() + index, order_.begin() + end);
    fixed_.insert(index);
    return order_[index];
}

double Descriptives::Percentile(double P, int method) const {
    const std::uint32_t n = N();
    if (n <= 1 || std::isnan(P)) return kNaN;
    if (method == kPercentileNormal) return Mean() + SD() * NormalQuantile(P / 100.0, 0.0, 1.0, kLowerTail);
    if (method != kPercentileEmpirical) return kNaN;
    double pos;
    if (P == 0.0)
        pos = 1.0;
    else if (P == 100.0)
        pos = n;
    else if (P == 25.0)
        pos = (n + 3.0) / 4.0;
    else if (P == 75.0)
        pos = (3.0 * n + 1.0) / 4.0;
    else
        pos = P * (n + 1.0) / 100.0;
    const double k = std::floor(pos);
    const double f = pos - k;
    if (f == 0.0) return OrderStatistic(k);
    if (k < 1.0 || k + 1.0 > n) return kNaN;
    const double lo = OrderStatistic(k);
    const double hi = OrderStatistic(k + 1.0);
    return (1.0 - f) * lo + f * hi;
}

Interval Descriptives::PercentileCI(double P, double confidence, int method) const {
    const double alpha = 1.0 - confidence / 100.0;
    const std::uint32_t n = N();
    if (method == kPercentileNormal) {
        const double z = NormalQuantile(P / 100.0, 0.0, 1.0, kLowerTail);
        return NormalCI(alpha, Percentile(P, method), SE() * std::sqrt((z * z + 2.0) / 2.0), kTwoSided);
    }
    if (method != kPercentileEmpirical) return {alpha, kNaN, kNaN};
    const Interval ranks = BinomialRankCI(alpha, n, P / 100.0, kTwoSided);
    if (std::isnan(ranks.lower) || std::isnan(ranks.upper)) return {alpha, kNaN, kNaN};
    // The ranks count from 0 (the smallest value has rank 0).
    return {ranks.alpha, OrderStatistic(ranks.lower + 1.0), OrderStatistic(ranks.upper + 1.0)};
}

Interval Descriptives::MeanCI(double confidence) const {
    return TCI(1.0 - confidence / 100.0, Mean(), SE(), N() - 1.0, kTwoSided);
}

double SkewnessTestP(double g, double n) {
    if (!(n >= 8) || std::isnan(g)) return kNaN;
    const double y = g * std::sqrt((n + 1.0) * (n + 3.0) / (6.0 * (n - 2.0)));
    const double beta2 =
        3.0 * (n * n + 27.0 * n - 70.0) * (n + 1.0) * (n + 3.0) / ((n - 2.0) * (n + 5.0) * (n + 7.0) * (n + 9.0));
    const double w2 = std::sqrt(2.0 * (beta2 - 1.0)) - 1.0;
    const double delta = 1.0 / std::sqrt(0.5 * std::log(w2));  // ln W, W = sqrt(W^2)
    const double a = std::sqrt(2.0 / (w2 - 1.0));
    const double ya = y / a;
    const double z = delta * std::log(ya + std::sqrt(ya * ya + 1.0));
    return NormalP(z, 0.0, 1.0, kTwoSided);
}

double KurtosisTestP(double b2, double n) {
    if (!(n >= 20) || std::isnan(b2)) return kNaN;
    const double e = 3.0 * (n - 1.0) / (n + 1.0);
    const double var = 24.0 * n * (n - 2.0) * (n - 3.0) / ((n + 1.0) * (n + 1.0) * (n + 3.0) * (n + 5.0));
    const double x = (b2 - e) / std::sqrt(var);
    const double sqrt_beta1 = 6.0 * (n * n - 5.0 * n + 2.0) / ((n + 7.0) * (n + 9.0)) *
                              std::sqrt(6.0 * (n + 3.0) * (n + 5.0) / (n * (n - 2.0) * (n - 3.0)));
    const double beta1 = sqrt_beta1 * sqrt_beta1;
    const double A = 6.0 + (8.0 / sqrt_beta1) * (2.0 / sqrt_beta1 + std::sqrt(1.0 + 4.0 / beta1));
    const double ratio = (1.0 - 2.0 / A) / (1.0 + x * std::sqrt(2.0 / (A - 4.0)));
    const double z = ((1.0 - 2.0 / (9.0 * A)) - std::cbrt(ratio)) / std::sqrt(2.0 / (9.0 * A));
    return NormalP(z, 0.0, 1.0, kTwoSided);
}

DescriptivesCategorical::DescriptivesCategorical(std::span<const std::int32_t> categories, std::int32_t category_count)
    : counts_(static_cast<std::size_t>(std::max(category_count, 0)), 0) {
    for (const std::int32_t c : categories) {
        if (c >= 1 && c <= category_count) {
            ++counts_[static_cast<std::size_t>(c - 1)];
            ++total_;
        } else {
            ++missing_;
        }
    }
    std::uint32_t highest = 0;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        if (counts_[i] > highest) {
            highest = counts_[i];
            mode_ = static_cast<std::int32_t>(i + 1);
        } else if (counts_[i] == highest && highest > 0) {
            mode_ = 0;
        }
    }
}

CoDescriptives::CoDescriptives(std::span<const double> x, std::span<const double> y) : mean_x_(kNaN), mean_y_(kNaN) {
    const std::size_t count = std::min(x.size(), y.size());
    CompensatedSum sx, sy;
    for (std::size_t i = 0; i < count; ++i) {
        if (is_missing(x[i]) || is_missing(y[i])) continue;
        ++n_;
        sx.Add(x[i]);
        sy.Add(y[i]);
    }
    if (n_ == 0) return;
    mean_x_ = sx.Value() / n_;
    mean_y_ = sy.Value() / n_;
    CompensatedSum xx, yy, xy;
    for (std::size_t i = 0; i < count; ++i) {
        if (is_missing(x[i]) || is_missing(y[i])) continue;
        const double dx = x[i] - mean_x_;
        const double dy = y[i] - mean_y_;
        xx.Add(dx * dx);
        yy.Add(dy * dy);
        xy.Add(dx * dy);
    }
    sxx_ = xx.Value();
    syy_ = yy.Value();
    sxy_ = xy.Value();
}

double CoDescriptives::Covariance() const { return n_ > 1 ? sxy_ / (n_ - 1.0) : kNaN; }

double CoDescriptives::Correlation() const {
    if (n_ < 2) return kNaN;
    return sxy_ / std::sqrt(sxx_ * syy_);
}

}  // namespace qs::numerics
