// The z, t and F arithmetic against R (t.test, var.test, the z statistic by formula) on the
// generated datasets of tests/data/procedures, and the cases whose answers are known exactly.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>
#include <utility>

#include "addin/procedures/location_math.h"
#include "tests/procedures/fixtures.h"

namespace qs::procedures {
namespace {

using numerics::Descriptives;
using testing::Reference;
using testing::RelativeError;

constexpr double kStatisticTolerance = 1e-10;  // statistics, degrees of freedom, p-values
constexpr double kLimitTolerance = 1e-7;       // interval limits (the quantile search stops at 1e-8)
const double kInf = std::numeric_limits<double>::infinity();

// Keeps the worst relative error of each quantity over all rows and fails with the worst row.
class Score {
public:
    explicit Score(std::string title) : m_title(std::move(title)) {}
    void Add(const std::string& quantity, double got, double want, double tolerance, const Reference& r) {
        Record(quantity, RelativeError(got, want), got, want, tolerance, r);
    }
    // An interval limit is estimate -+ half-width: a limit near zero comes from cancellation, so
    // its error is measured against the larger of the limit and the half-width.
    void AddLimit(const std::string& quantity, double got, double want, const Reference& r) {
        double e = RelativeError(got, want);
        if (std::isfinite(want) && std::isfinite(got)) {
            const double scale = std::max(std::fabs(want), std::fabs(want - r.estimate));
            e = scale > 0 ? std::fabs(got - want) / scale : std::fabs(got - want);
        }
        Record(quantity, e, got, want, kLimitTolerance, r);
    }
    void Record(const std::string& quantity, double e, double got, double want, double tolerance, const Reference& r) {
        if (std::isnan(e)) e = std::numeric_limits<double>::infinity();
        Entry& entry = m_entries[quantity];
        entry.tolerance = tolerance;
        ++entry.count;
        if (e > entry.worst || entry.where.empty()) {
            entry.worst = e;
            std::ostringstream s;
            s.precision(17);
            s << r.Where() << ": got " << got << ", R " << want;
            entry.where = s.str();
        }
    }
    void Expect(size_t rows) const {
        EXPECT_GE(rows, 30u * 3u * 3u) << "too few reference rows";
        for (const auto& [quantity, e] : m_entries) {
            std::printf("  %s %-10s worst relative error %.2e over %zu rows\n", m_title.c_str(), quantity.c_str(),
                        e.worst, e.count);
            EXPECT_LE(e.worst, e.tolerance) << quantity << " worst at " << e.where;
            EXPECT_EQ(e.count, rows) << quantity;
        }
    }

private:
    struct Entry {
        double worst = 0, tolerance = 0;
        size_t count = 0;
        std::string where;
    };
    std::string m_title;
    std::map<std::string, Entry> m_entries;
};

void Compare(Score& score, const LocationResult& got, const Reference& r) {
    score.Add("difference", got.difference, r.estimate, kStatisticTolerance, r);
    score.Add("statistic", got.statistic, r.statistic, kStatisticTolerance, r);
    if (!std::isnan(r.df1)) score.Add("df", got.df, r.df1, kStatisticTolerance, r);
    score.Add("p", got.p, r.p, kStatisticTolerance, r);
    score.AddLimit("lower", got.ci.lower, r.lower, r);
    score.AddLimit("upper", got.ci.upper, r.upper, r);
}

double Alpha(const Reference& r) { return 1.0 - r.level / 100.0; }

TEST(LocationAgainstR, OneSampleZ) {
    const auto samples = testing::ReadSamples("one_sample_data.csv");
    const auto refs = testing::ReadReferences("ztest1_results.csv");
    Score score(::testing::UnitTest::GetInstance()->current_test_info()->name());
    for (const Reference& r : refs) {
        const Descriptives x(samples.at(r.dataset).first);
        Compare(score, OneSampleZ(x, r.mu, r.sigma, Alpha(r), r.tail), r);
    }
    score.Expect(refs.size());
}

TEST(LocationAgainstR, OneSampleT) {
    const auto samples = testing::ReadSamples("one_sample_data.csv");
    const auto refs = testing::ReadReferences("ttest1_results.csv");
    Score score(::testing::UnitTest::GetInstance()->current_test_info()->name());
    for (const Reference& r : refs) {
        const Descriptives x(samples.at(r.dataset).first);
        Compare(score, OneSampleT(x, r.mu, Alpha(r), r.tail), r);
    }
    score.Expect(refs.size());
}

TEST(LocationAgainstR, IndependentSamplesPooledAndWelch) {
    const auto samples = testing::ReadSamples("two_group_data.csv");
    const auto refs = testing::ReadReferences("ttesti_results.csv");
    Score pooled("pooled"), welch("Welch");
    size_t pooledRows = 0;
    for (const Reference& r : refs) {
        const auto& s = samples.at(r.dataset);
        const Descriptives x(s.first), y(s.second);
        const bool unequal = r.unequal != 0;
        Compare(unequal ? welch : pooled, TwoSampleT(x, y, unequal, Alpha(r), r.tail), r);
        pooledRows += !unequal;
    }
    pooled.Expect(pooledRows);
    welch.Expect(refs.size() - pooledRows);
}

TEST(LocationAgainstR, PairedWithIncompletePairs) {
    const auto samples = testing::ReadSamples("paired_data.csv");
    const auto refs = testing::ReadReferences("ttestp_results.csv");
    Score score(::testing::UnitTest::GetInstance()->current_test_info()->name());
    bool incomplete = false;
    for (const Reference& r : refs) {
        const auto& s = samples.at(r.dataset);
        const auto d = PairDifferences(s.first, s.second);
        incomplete |= d.size() < s.first.size();
        Compare(score, PairedT(Descriptives(d), Alpha(r), r.tail), r);
        EXPECT_EQ(r.df1, d.size() - 1.0) << r.Where();
    }
    EXPECT_TRUE(incomplete) << "the fixtures should contain pairs with a value missing";
    score.Expect(refs.size());
}

TEST(LocationAgainstR, VarianceRatio) {
    const auto samples = testing::ReadSamples("two_group_data.csv");
    const auto refs = testing::ReadReferences("ftest_results.csv");
    Score score(::testing::UnitTest::GetInstance()->current_test_info()->name());
    for (const Reference& r : refs) {
        const auto& s = samples.at(r.dataset);
        const auto got = VarianceRatio(Descriptives(s.first), Descriptives(s.second), Alpha(r), r.tail);
        score.Add("F", got.ratio, r.statistic, kStatisticTolerance, r);
        score.Add("df1", got.df1, r.df1, kStatisticTolerance, r);
        score.Add("df2", got.df2, r.df2, kStatisticTolerance, r);
        score.Add("p", got.p, r.p, kStatisticTolerance, r);
        score.AddLimit("lower", got.ci.lower, r.lower, r);
        score.AddLimit("upper", got.ci.upper, r.upper, r);
    }
    score.Expect(refs.size());
}

TEST(LocationKnownAnswers, OneToFiveAgainstThree) {
    const Descriptives x(std::vector<double>{1, 2, 3, 4, 5});
    const auto t = OneSampleT(x, 3.0, 0.05, numerics::kTwoSided);
    EXPECT_EQ(t.difference, 0.0);
    EXPECT_EQ(t.statistic, 0.0);
    EXPECT_EQ(t.df, 4.0);
    EXPECT_DOUBLE_EQ(t.p, 1.0);
    EXPECT_NEAR(t.ci.upper, -t.ci.lower, 1e-12);
    const auto z = OneSampleZ(x, 3.0, 2.0, 0.05, numerics::kTwoSided);
    EXPECT_EQ(z.statistic, 0.0);
    EXPECT_DOUBLE_EQ(z.p, 1.0);
}

TEST(LocationKnownAnswers, WelchDegreesOfFreedomForEqualSizesAndVariances) {
    // Same spread, shifted: equal variances and sizes make Welch's df n1 + n2 - 2 and its SE the
    // pooled one.
    const Descriptives x(std::vector<double>{3, 5, 8, 9, 12, 4});
    const Descriptives y(std::vector<double>{13, 15, 18, 19, 22, 14});
    const auto welch = TwoSampleT(x, y, true, 0.05, numerics::kTwoSided);
    const auto pooled = TwoSampleT(x, y, false, 0.05, numerics::kTwoSided);
    EXPECT_NEAR(welch.df, 10.0, 1e-12);
    EXPECT_NEAR(welch.se, pooled.se, 1e-12);
    EXPECT_NEAR(welch.p, pooled.p, 1e-12);
    EXPECT_EQ(welch.difference, -10.0);
}

TEST(LocationKnownAnswers, EqualVariancesGiveRatioOneAndPOne) {
    const Descriptives x(std::vector<double>{1, 2, 3, 4, 5});
    const Descriptives y(std::vector<double>{11, 12, 13, 14, 15});
    const auto f = VarianceRatio(x, y, 0.05, numerics::kTwoSided);
    EXPECT_EQ(f.ratio, 1.0);
    EXPECT_DOUBLE_EQ(f.p, 1.0);
    EXPECT_EQ(f.df1, 4.0);
    EXPECT_EQ(f.df2, 4.0);
    EXPECT_LT(f.ci.lower, 1.0);
    EXPECT_GT(f.ci.upper, 1.0);
}

TEST(LocationKnownAnswers, OneSidedIntervalsAreOpenOnOneSide) {
    const Descriptives x(std::vector<double>{2.1, 3.4, 1.9, 5.0, 4.2});
    const Descriptives y(std::vector<double>{1.0, 2.2, 0.7, 1.5});
    const auto greater = TwoSampleT(x, y, false, 0.05, numerics::kUpperTail);
    EXPECT_EQ(greater.ci.upper, kInf);
    EXPECT_LT(greater.ci.lower, greater.difference);
    const auto less = TwoSampleT(x, y, true, 0.05, numerics::kLowerTail);
    EXPECT_EQ(less.ci.lower, -kInf);
    EXPECT_GT(less.ci.upper, less.difference);
    EXPECT_EQ(OneSampleZ(x, 0, 1, 0.1, numerics::kUpperTail).ci.upper, kInf);
    const auto f = VarianceRatio(x, y, 0.05, numerics::kUpperTail);
    EXPECT_EQ(f.ci.upper, kInf);
    EXPECT_GT(f.ci.lower, 0.0);
    // The two one-sided p-values of a continuous statistic add up to 1.
    EXPECT_NEAR(greater.p + TwoSampleT(x, y, false, 0.05, numerics::kLowerTail).p, 1.0, 1e-14);
}

TEST(LocationKnownAnswers, ZeroStandardErrorGivesWhatTheArithmeticGives) {
    // Constant data: t is infinite (or 0/0 at the hypothesised mean), the interval has no width
    // to scale and is NaN; nothing throws.
    const Descriptives x(std::vector<double>{4, 4, 4, 4});
    const auto above = OneSampleT(x, 3.0, 0.05, numerics::kTwoSided);
    EXPECT_EQ(above.statistic, kInf);
    EXPECT_EQ(above.p, 0.0);
    EXPECT_TRUE(std::isnan(above.ci.lower));
    EXPECT_TRUE(std::isnan(above.ci.upper));
    const auto greater = OneSampleT(x, 3.0, 0.05, numerics::kUpperTail);
    EXPECT_EQ(greater.p, 0.0);
    const auto less = OneSampleT(x, 3.0, 0.05, numerics::kLowerTail);
    EXPECT_EQ(less.p, 1.0);
    EXPECT_TRUE(std::isnan(OneSampleT(x, 4.0, 0.05, numerics::kTwoSided).statistic));
}

TEST(LocationKnownAnswers, PairDifferencesSkipIncompletePairs) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> x{5, nan, 7, 9, 2};
    const std::vector<double> y{1, 2, kInf, 4};
    EXPECT_EQ(PairDifferences(x, y), (std::vector<double>{4, 5}));
}

}  // namespace
}  // namespace qs::procedures
