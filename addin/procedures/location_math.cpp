#include "addin/procedures/location_math.h"

#include <algorithm>
#include <cmath>

namespace qs::procedures {

using numerics::Descriptives;
using numerics::Tail;

LocationResult TFromDifference(double difference, double se, double df, double alpha, Tail tail) {
    LocationResult r;
    r.difference = difference;
    r.se = se;
    r.df = df;
    r.ci = numerics::TCI(alpha, difference, se, df, tail);
    r.statistic = difference / se;
    r.p = numerics::TP(r.statistic, df, tail);
    return r;
}

LocationResult OneSampleT(const Descriptives& x, double mu, double alpha, Tail tail) {
    const double n = x.N();
    return TFromDifference(x.Mean() - mu, x.SD() / std::sqrt(n), n - 1.0, alpha, tail);
}

LocationResult OneSampleZ(const Descriptives& x, double mu, double sigma, double alpha, Tail tail) {
    LocationResult r;
    const double n = x.N();
    r.difference = x.Mean() - mu;
    r.se = sigma / std::sqrt(n);
    r.ci = numerics::NormalCI(alpha, r.difference, r.se, tail);
    r.statistic = r.difference / r.se;
    r.p = numerics::NormalP(r.statistic, 0.0, 1.0, tail);
    return r;
}

LocationResult TwoSampleT(const Descriptives& x, const Descriptives& y, bool unequal, double alpha, Tail tail) {
    const double n1 = x.N(), n2 = y.N();
    const double difference = x.Mean() - y.Mean();
    if (unequal) {
        const double a = x.Variance() / n1;
        const double b = y.Variance() / n2;
        const double df = (a + b) * (a + b) / (a * a / (n1 - 1.0) + b * b / (n2 - 1.0));
        return TFromDifference(difference, std::sqrt(a + b), df, alpha, tail);
    }
    const double df = n1 + n2 - 2.0;
    const double se = std::sqrt((x.SumSquaredDeviations() + y.SumSquaredDeviations()) / df * (1.0 / n1 + 1.0 / n2));
    return TFromDifference(difference, se, df, alpha, tail);
}

std::vector<double> PairDifferences(std::span<const double> x, std::span<const double> y) {
    std::vector<double> d;
    const size_t n = std::min(x.size(), y.size());
    d.reserve(n);
    for (size_t i = 0; i < n; ++i)
        if (std::isfinite(x[i]) && std::isfinite(y[i])) d.push_back(x[i] - y[i]);
    return d;
}

LocationResult PairedT(const Descriptives& differences, double alpha, Tail tail) {
    return OneSampleT(differences, 0.0, alpha, tail);
}

VarianceRatioResult VarianceRatio(const Descriptives& x, const Descriptives& y, double alpha, Tail tail) {
    VarianceRatioResult r;
    r.ratio = x.Variance() / y.Variance();
    r.df1 = x.N() - 1.0;
    r.df2 = y.N() - 1.0;
    r.ci = numerics::FRatioCI(alpha, r.ratio, r.df1, r.df2, tail);
    r.p = numerics::FP(r.ratio, r.df1, r.df2, tail);
    return r;
}

}  // namespace qs::procedures
