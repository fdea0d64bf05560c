// Console operations over the wrappers, the distribution core and the summary kernel.
#include "addin/numerics/console.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "addin/numerics/cdf.h"
#include "addin/numerics/descriptives.h"
#include "addin/numerics/distributions.h"
#include "addin/numerics/numerics_error.h"
#include "addin/numerics/ranks.h"
#include "addin/numerics/rounding.h"

namespace qs::numerics {

namespace {

struct BadArguments : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string format_number(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

std::string join(const std::vector<double>& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += ' ';
        out += format_number(values[i]);
    }
    return out;
}

std::string format_interval(const Interval& i) { return join({i.alpha, i.lower, i.upper}); }

double parse_number(const std::string& token) {
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(token.c_str(), &end);
    if (end == token.c_str() || *end != '\0') throw BadArguments("not a number: '" + token + "'");
    return v;
}

// Arguments of one call, read in order.
class Args {
public:
    Args(std::string name, std::vector<double> values) : name_(std::move(name)), v_(std::move(values)) {}
    void Expect(std::size_t count) const {
        if (v_.size() != count)
            throw BadArguments(name_ + " takes " + std::to_string(count) + " arguments, got " +
                               std::to_string(v_.size()));
    }
    void ExpectAtLeast(std::size_t count) const {
        if (v_.size() < count)
            throw BadArguments(name_ + " takes at least " + std::to_string(count) + " arguments, got " +
                               std::to_string(v_.size()));
    }
    double operator[](std::size_t i) const { return v_[i]; }
    int Integer(std::size_t i) const {
        const double v = v_[i];
        if (!(v == std::floor(v)) || std::fabs(v) > 2147483647.0)
            throw BadArguments(name_ + ": argument " + std::to_string(i + 1) + " must be an integer");
        return static_cast<int>(v);
    }
    std::vector<double> From(std::size_t i) const {
        return std::vector<double>(v_.begin() + static_cast<std::ptrdiff_t>(std::min(i, v_.size())), v_.end());
    }
    std::size_t Size() const { return v_.size(); }

private:
    std::string name_;
    std::vector<double> v_;
};

using Operation = std::function<std::string(const Args&)>;

// Operations on a Descriptives built from the values after `skip` leading arguments.
Operation summary(std::function<std::vector<double>(const Descriptives&)> read, std::size_t skip = 0) {
    return [read, skip](const Args& a) {
        a.ExpectAtLeast(skip);
        return join(read(Descriptives(a.From(skip))));
    };
}

std::vector<double> moment(const Descriptives::Moment& m) { return {m.sample, m.coefficient, m.p}; }

const std::map<std::string, Operation>& operations() {
    static const std::map<std::string, Operation> table = {
        // Wrappers
        {"TailP",
         [](const Args& a) {
             a.Expect(2);
             return format_number(TailP(a[0], a.Integer(1)));
         }},
        {"NormalP",
         [](const Args& a) {
             a.Expect(4);
             return format_number(NormalP(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"NormalQuantile",
         [](const Args& a) {
             a.Expect(4);
             return format_number(NormalQuantile(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"NormalDensity",
         [](const Args& a) {
             a.Expect(3);
             return format_number(NormalDensity(a[0], a[1], a[2]));
         }},
        {"NormalCI",
         [](const Args& a) {
             a.Expect(4);
             return format_interval(NormalCI(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"TP",
         [](const Args& a) {
             a.Expect(3);
             return format_number(TP(a[0], a[1], a.Integer(2)));
         }},
        {"TQuantile",
         [](const Args& a) {
             a.Expect(3);
             return format_number(TQuantile(a[0], a[1], a.Integer(2)));
         }},
        {"TCI",
         [](const Args& a) {
             a.Expect(5);
             return format_interval(TCI(a[0], a[1], a[2], a[3], a.Integer(4)));
         }},
        {"ChiSquareP",
         [](const Args& a) {
             a.Expect(3);
             return format_number(ChiSquareP(a[0], a[1], a.Integer(2)));
         }},
        {"FP",
         [](const Args& a) {
             a.Expect(4);
             return format_number(FP(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"FQuantile",
         [](const Args& a) {
             a.Expect(4);
             return format_number(FQuantile(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"FRatioCI",
         [](const Args& a) {
             a.Expect(5);
             return format_interval(FRatioCI(a[0], a[1], a[2], a[3], a.Integer(4)));
         }},
        {"BinomialP",
         [](const Args& a) {
             a.Expect(4);
             return format_number(BinomialP(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"BinomialQuantile",
         [](const Args& a) {
             a.Expect(4);
             return format_number(BinomialQuantile(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"BinomialProportionBound",
         [](const Args& a) {
             a.Expect(4);
             return format_number(BinomialProportionBound(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"BinomialProportionCI",
         [](const Args& a) {
             a.Expect(4);
             return format_interval(BinomialProportionCI(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"BinomialRankCI",
         [](const Args& a) {
             a.Expect(4);
             return format_interval(BinomialRankCI(a[0], a[1], a[2], a.Integer(3)));
         }},
        {"HypergeometricP",
         [](const Args& a) {
             a.Expect(5);
             int fault = 0;
             const double p =
                 HypergeometricP(a.Integer(0) != 0, a.Integer(1), a.Integer(2), a.Integer(3), a.Integer(4), fault);
             return join({p, static_cast<double>(fault)});
         }},
        {"DiscreteTailPrep",
         [](const Args& a) {
             // statistic centre lowest highest tail step -> flag, adjusted statistic, p
             a.Expect(6);
             double statistic = a[0];
             double p = MissingValue();
             const bool evaluate = DiscreteTailPrep(statistic, p, a[1], a[2], a[3], a.Integer(4), a[5]);
             return join({evaluate ? 1.0 : 0.0, statistic, p});
         }},
        {"LogFactorial",
         [](const Args& a) {
             a.Expect(1);
             return format_number(LogFactorial(a.Integer(0)));
         }},
        {"BinomialCoefficient",
         [](const Args& a) {
             a.Expect(2);
             return format_number(BinomialCoefficient(a.Integer(0), a.Integer(1)));
         }},
        // Distribution core: all arguments after the call, then status and bound
        {"cdfnor",
         [](const Args& a) {
             a.Expect(6);
             int which = a.Integer(0), status = 0;
             double p = a[1], q = a[2], x = a[3], mean = a[4], sd = a[5], bound = 0;
             cdfnor(which, p, q, x, mean, sd, status, bound);
             return join({p, q, x, mean, sd, static_cast<double>(status), bound});
         }},
        {"cdft",
         [](const Args& a) {
             a.Expect(5);
             int which = a.Integer(0), status = 0;
             double p = a[1], q = a[2], t = a[3], df = a[4], bound = 0;
             cdft(which, p, q, t, df, status, bound);
             return join({p, q, t, df, static_cast<double>(status), bound});
         }},
        {"cdfchi",
         [](const Args& a) {
             a.Expect(5);
             int which = a.Integer(0), status = 0;
             double p = a[1], q = a[2], x = a[3], df = a[4], bound = 0;
             cdfchi(which, p, q, x, df, status, bound);
             return join({p, q, x, df, static_cast<double>(status), bound});
         }},
        {"cdff",
         [](const Args& a) {
             a.Expect(6);
             int which = a.Integer(0), status = 0;
             double p = a[1], q = a[2], f = a[3], dfn = a[4], dfd = a[5], bound = 0;
             cdff(which, p, q, f, dfn, dfd, status, bound);
             return join({p, q, f, dfn, dfd, static_cast<double>(status), bound});
         }},
        {"cdfbin",
         [](const Args& a) {
             a.Expect(7);
             int which = a.Integer(0), status = 0;
             double p = a[1], q = a[2], s = a[3], xn = a[4], pr = a[5], ompr = a[6], bound = 0;
             cdfbin(which, p, q, s, xn, pr, ompr, status, bound);
             return join({p, q, s, xn, pr, ompr, static_cast<double>(status), bound});
         }},
        // Summary kernel: values follow the leading parameters
        {"N", summary([](const Descriptives& d) { return std::vector<double>{double(d.N())}; })},
        {"Missing", summary([](const Descriptives& d) { return std::vector<double>{double(d.Missing())}; })},
        {"Sum", summary([](const Descriptives& d) { return std::vector<double>{d.Sum()}; })},
        {"SumSquares", summary([](const Descriptives& d) { return std::vector<double>{d.SumSquares()}; })},
        {"Mean", summary([](const Descriptives& d) { return std::vector<double>{d.Mean()}; })},
        {"RootMeanSquare", summary([](const Descriptives& d) { return std::vector<double>{d.RootMeanSquare()}; })},
        {"GeometricMean", summary([](const Descriptives& d) { return std::vector<double>{d.GeometricMean()}; })},
        {"HarmonicMean", summary([](const Descriptives& d) { return std::vector<double>{d.HarmonicMean()}; })},
        {"SumAbsDeviations", summary([](const Descriptives& d) { return std::vector<double>{d.SumAbsDeviations()}; })},
        {"SumSquaredDeviations",
         summary([](const Descriptives& d) { return std::vector<double>{d.SumSquaredDeviations()}; })},
        {"SumCubedDeviations",
         summary([](const Descriptives& d) { return std::vector<double>{d.SumCubedDeviations()}; })},
        {"SumFourthDeviations",
         summary([](const Descriptives& d) { return std::vector<double>{d.SumFourthDeviations()}; })},
        {"PopulationVariance",
         summary([](const Descriptives& d) { return std::vector<double>{d.PopulationVariance()}; })},
        {"PopulationSD", summary([](const Descriptives& d) { return std::vector<double>{d.PopulationSD()}; })},
        {"MeanAbsDeviation", summary([](const Descriptives& d) { return std::vector<double>{d.MeanAbsDeviation()}; })},
        {"Variance", summary([](const Descriptives& d) { return std::vector<double>{d.Variance()}; })},
        {"SD", summary([](const Descriptives& d) { return std::vector<double>{d.SD()}; })},
        {"SE", summary([](const Descriptives& d) { return std::vector<double>{d.SE()}; })},
        {"CV", summary([](const Descriptives& d) { return std::vector<double>{d.CV()}; })},
        {"Skewness", summary([](const Descriptives& d) { return moment(d.Skewness()); })},
        {"Kurtosis", summary([](const Descriptives& d) { return moment(d.Kurtosis()); })},
        {"Mode", summary([](const Descriptives& d) { return std::vector<double>{d.Mode()}; })},
        {"Minimum", summary([](const Descriptives& d) { return std::vector<double>{d.Minimum()}; })},
        {"Median", summary([](const Descriptives& d) { return std::vector<double>{d.Median()}; })},
        {"Maximum", summary([](const Descriptives& d) { return std::vector<double>{d.Maximum()}; })},
        {"Range", summary([](const Descriptives& d) { return std::vector<double>{d.Range()}; })},
        {"FirstQuartile", summary([](const Descriptives& d) { return std::vector<double>{d.FirstQuartile()}; })},
        {"ThirdQuartile", summary([](const Descriptives& d) { return std::vector<double>{d.ThirdQuartile()}; })},
        {"TriMean", summary([](const Descriptives& d) { return std::vector<double>{d.TriMean()}; })},
        {"IQR", summary([](const Descriptives& d) { return std::vector<double>{d.IQR()}; })},
        {"Percentile",
         [](const Args& a) {
             // P method values...
             a.ExpectAtLeast(2);
             return format_number(Descriptives(a.From(2)).Percentile(a[0], a.Integer(1)));
         }},
        {"PercentileCI",
         [](const Args& a) {
             // P confidence method values...
             a.ExpectAtLeast(3);
             return format_interval(Descriptives(a.From(3)).PercentileCI(a[0], a[1], a.Integer(2)));
         }},
        {"MeanCI",
         [](const Args& a) {
             a.ExpectAtLeast(1);
             return format_interval(Descriptives(a.From(1)).MeanCI(a[0]));
         }},
        {"MedianCI",
         [](const Args& a) {
             a.ExpectAtLeast(1);
             return format_interval(Descriptives(a.From(1)).MedianCI(a[0]));
         }},
        {"SkewnessTestP",
         [](const Args& a) {
             a.Expect(2);
             return format_number(SkewnessTestP(a[0], a[1]));
         }},
        {"KurtosisTestP",
         [](const Args& a) {
             a.Expect(2);
             return format_number(KurtosisTestP(a[0], a[1]));
         }},
        {"Ranks",
         [](const Args& a) {
             const std::vector<double> v = a.From(0);
             std::vector<double> out;
             for (const float r : MidRanks(v, false, nullptr)) out.push_back(r);
             return join(out);
         }},
        {"RanksAbs",
         [](const Args& a) {
             const std::vector<double> v = a.From(0);
             std::vector<double> out;
             for (const float r : MidRanks(v, true, nullptr)) out.push_back(r);
             return join(out);
         }},
        {"Ties",
         [](const Args& a) {
             // by-absolute-value flag, values... -> untied, total, percent tied, group sizes...
             a.ExpectAtLeast(1);
             const std::vector<double> v = a.From(1);
             TieRecord record;
             MidRanks(v, a.Integer(0) != 0, &record);
             std::vector<double> out{double(record.untied), double(record.total), record.PercentTied()};
             for (const auto t : record.tie_sizes) out.push_back(t);
             return join(out);
         }},
        {"Categorical",
         [](const Args& a) {
             // category count, categories... -> total, missing, mode, counts...
             a.ExpectAtLeast(1);
             std::vector<std::int32_t> categories;
             for (std::size_t i = 1; i < a.Size(); ++i) categories.push_back(a.Integer(i));
             const DescriptivesCategorical d(categories, a.Integer(0));
             std::vector<double> out{double(d.Total()), double(d.Missing()), double(d.Mode())};
             for (const auto c : d.Counts()) out.push_back(c);
             return join(out);
         }},
        {"CoDescriptives",
         [](const Args& a) {
             // x1 y1 x2 y2 ... -> n, mean x, mean y, covariance, correlation
             if (a.Size() % 2 != 0) throw BadArguments("CoDescriptives takes pairs of values");
             std::vector<double> x, y;
             for (std::size_t i = 0; i < a.Size(); i += 2) {
                 x.push_back(a[i]);
                 y.push_back(a[i + 1]);
             }
             const CoDescriptives c(x, y);
             return join({double(c.N()), c.MeanX(), c.MeanY(), c.Covariance(), c.Correlation()});
         }},
        {"RoundSignificant",
         [](const Args& a) {
             a.Expect(2);
             return format_number(RoundSignificant(a[0], a.Integer(1)));
         }},
        {"NoiseFreeDifference",
         [](const Args& a) {
             a.Expect(2);
             return format_number(NoiseFreeDifference(a[0], a[1]));
         }},
    };
    return table;
}

}  // namespace

std::string EvaluateConsoleLine(const std::string& line) {
    std::istringstream in(line);
    std::string name;
    if (!(in >> name) || name[0] == '#') return "";
    const auto& table = operations();
    const auto found = table.find(name);
    if (found == table.end()) return "error: unknown operation '" + name + "'";
    try {
        std::vector<double> values;
        std::string token;
        while (in >> token) values.push_back(parse_number(token));
        return found->second(Args(name, std::move(values)));
    } catch (const BadArguments& e) {
        return std::string("error: ") + e.what();
    } catch (const NumericsError& e) {
        return std::string("error: ") + e.what();
    }
}

std::string ConsoleOperationNames() {
    std::string names;
    for (const auto& entry : operations()) {
        if (!names.empty()) names += ' ';
        names += entry.first;
    }
    return names;
}

}  // namespace qs::numerics
