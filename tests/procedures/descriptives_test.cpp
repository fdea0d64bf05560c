// Runs of the descriptive statistics and normality tests on the workbooks of
// tests/data/procedures/descriptives (CSV files the sheet engine reads), compared with R's results
// made by make_fixtures.R there.
// Which reference applies to which number is said in that script: the product's own definitions
// written in R where they differ from R's functions on purpose, R's functions elsewhere.
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "addin/charts/chart.h"
#include "addin/procedures/descriptives.h"
#include "tests/procedures/fixtures.h"
#include "tests/procedures/run_harness.h"

namespace dstest {
namespace {

using qs::procedures::testing::RelativeError;
using qs::procedures::testing::Table;

const std::string kData = std::string(QS_PROCEDURES_DATA_DIR) + "/descriptives/";

// One row of a reference table, its cells by column name (numbers: "NA" is NaN).
struct Row {
    const Table* table;
    size_t row;
    std::string at(const std::string& column) const { return table->Text(row, column); }
};
std::vector<Row> ReadTable(const std::string& file) {
    static std::map<std::string, Table> tables;
    const Table& t = tables.emplace(file, Table("descriptives/" + file)).first->second;
    std::vector<Row> rows;
    for (size_t i = 0; i < t.Rows(); ++i) rows.push_back({&t, i});
    return rows;
}
double Value(const Row& r, const std::string& column) { return r.table->Number(r.row, column); }
double ValueOrNaN(const Row& r, const std::string& column) { return Value(r, column); }

const qs::Results* Nested(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    return f && f->block ? f->block(*owner) : nullptr;
}

class DescriptiveRuns : public TestRun {
protected:
    void Expect(const char* what, double got, double want, double tolerance, const std::string& where) {
        EXPECT_LE(RelativeError(got, want), tolerance) << what << " at " << where << ": got " << got << ", R " << want;
    }
    // Relative error, or absolute below 1e-15 (values near 0).
    double Error(double got, double want) {
        if (std::fabs(want) < 1e-15 && std::fabs(got) < 1e-15) return 0;
        return RelativeError(got, want);
    }
};

TEST_F(DescriptiveRuns, NormalityTestsAgreeWithTheirDefinitionsAndWithR) {
    const std::vector<Row> refs = ReadTable("normality_results.csv");
    ASSERT_GE(refs.size(), 30u);
    Start(qs::NormalityTestinfo, kData + "continuous.csv", "A2");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable", "Normality test"}));
    double worstW = 0, worstP = 0;
    for (const Row& r : refs) {
        const std::string where = "dataset d" + r.at("dataset");
        SetVariables("Variable", {"d" + r.at("dataset")});
        for (int method = 0; method < 3; ++method) {
            SetWhole("Normality test", method);
            Compute();
            const double statistic = Number(*test, 2048), p = Number(*test, 2113);
            if (method == 0) {
                // The product's definition (single-precision coefficients): to 1e-10.
                Expect("W", statistic, ValueOrNaN(r, "sw_w"), 1e-10, where);
                EXPECT_LE(Error(p, ValueOrNaN(r, "sw_p")), 1e-10) << "SW p at " << where << ": " << p;
                // shapiro.test differs by the coefficients' precision and the form of W.
                if (!std::isnan(ValueOrNaN(r, "r_w"))) {
                    worstW = std::max(worstW, RelativeError(statistic, Value(r, "r_w")));
                    if (Value(r, "n") > 11 && Value(r, "r_p") > 1e-10)
                        worstP = std::max(worstP, RelativeError(p, Value(r, "r_p")));
                }
            } else if (method == 1) {
                Expect("A*", statistic, ValueOrNaN(r, "ad_astar"), 1e-10, where);
                EXPECT_LE(Error(p, ValueOrNaN(r, "ad_p")), 1e-10) << "AD p at " << where << ": " << p;
            } else {
                Expect("D*", statistic, ValueOrNaN(r, "ks_dstar"), 1e-10, where);
                Expect("KS p", p, ValueOrNaN(r, "ks_p"), 1e-10, where);
            }
            EXPECT_EQ(Number(*test, 2017), Value(r, "n")) << where;
        }
        // The normal probability plot holds every observation.
        const auto* plot = dynamic_cast<const qs::NormalProbabilityPlot*>(Nested(*test, 2504));
        ASSERT_TRUE(plot);
        ASSERT_TRUE(plot->FindSeries(1));
        EXPECT_EQ(plot->FindSeries(1)->x.size(), Value(r, "n")) << where;
    }
    std::printf("Shapiro-Wilk against shapiro.test: worst relative difference W %.2g, p %.2g (n > 11)\n", worstW,
                worstP);
    EXPECT_LT(worstW, 1e-5);
    EXPECT_LT(worstP, 1e-3);
}

TEST_F(DescriptiveRuns, NormalityTestsBeyondFiveThousandValuesFollowTheirDefinitions) {
    const std::vector<Row> refs = ReadTable("large_results.csv");
    ASSERT_EQ(refs.size(), 1u);
    const Row& r = refs[0];
    Start(qs::NormalityTestinfo, kData + "large.csv", "A2");
    SetVariables("Variable", {"big"});
    const char* columns[3][2] = {{"sw_w", "sw_p"}, {"ad_astar", "ad_p"}, {"ks_dstar", "ks_p"}};
    for (int method = 0; method < 3; ++method) {
        SetWhole("Normality test", method);
        Compute();
        EXPECT_EQ(Number(*test, 2017), Value(r, "n"));
        Expect(columns[method][0], Number(*test, 2048), ValueOrNaN(r, columns[method][0]), 1e-10, "large.csv");
        Expect(columns[method][1], Number(*test, 2113), ValueOrNaN(r, columns[method][1]), 1e-10, "large.csv");
    }
}

TEST_F(DescriptiveRuns, NormalityTestNeedsThreeObservationsAndShowsPBounds) {
    Start(qs::NormalityTestinfo, kData + "continuous.csv", "A2");
    SetVariables("Variable", {"d1"});
    SetWhole("Normality test", 3);  // "None" is not offered here
    EXPECT_NE(CheckMessage(), "");
    SetWhole("Normality test", 2);
    EXPECT_EQ(CheckMessage(), "");
    // The KS p-value outside the table is a bound, written as text.
    Compute();
    const std::string after = qs::ResultsJson(*test);
    EXPECT_TRUE(after.find("\"p\":\"> 0.15\"") != std::string::npos ||
                after.find("\"p\":\"< 0.01\"") != std::string::npos || after.find("\"p\":0.") != std::string::npos)
        << after;
}

TEST_F(DescriptiveRuns, SummaryDescriptivesAgreeWithR) {
    const std::vector<Row> refs = ReadTable("summary_results.csv");
    ASSERT_GE(refs.size(), 30u);
    Start(qs::SummaryDescriptivesinfo, kData + "continuous.csv", "A2");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable", "Percentile plot", "Normality test"}));
    const std::vector<std::pair<unsigned, const char*>> numbers{
        {2017, "n"},  {2018, "sum"},     {2020, "ss"},  {2030, "se"},   {2032, "variance"},
        {2029, "sd"}, {2031, "cv"},      {2024, "amd"}, {2025, "rms"},  {2026, "gm"},
        {2027, "hm"}, {2033, "trimean"}, {2035, "iqr"}, {2036, "mode"}, {2039, "range"}};
    // Every column of the dataset runs to its longest one: cells below a shorter column's values are
    // missing observations of that variable, like the empty cells among them.
    double rows = -1;  // lines of continuous.csv below its header
    {
        std::ifstream in(kData + "continuous.csv");
        for (std::string line; std::getline(in, line);) ++rows;
    }
    for (const Row& r : refs) {
        const std::string where = "dataset d" + r.at("dataset");
        SetVariables("Variable", {"d" + r.at("dataset")});
        SetWhole("Normality test", 3);
        // Percentiles of every level; the other fields at 95%.
        std::map<int, std::string> listed;
        std::stringstream levels(r.at("percentiles"));
        std::string entry;
        while (std::getline(levels, entry, ';')) listed[entry[0] - '0'] = entry.substr(2);
        for (int level = 4; level >= 0; --level) {
            SetWhole("Percentile plot", level);
            Compute();
            std::stringstream pairs(listed[level]);
            std::string pair;
            auto rows = Rows(*test, 2040);
            size_t i = 0;
            while (pairs >> pair) {
                const size_t eq = pair.find('=');
                ASSERT_LT(i, rows.size()) << where;
                EXPECT_EQ(Number(*rows[i], 2040), std::strtod(pair.substr(0, eq).c_str(), nullptr)) << where;
                const std::string want = pair.substr(eq + 1);
                Expect("percentile", Number(*rows[i], 2041),
                       want == "NA" ? std::nan("") : std::strtod(want.c_str(), nullptr), 1e-12, where);
                ++i;
            }
            EXPECT_EQ(i, rows.size()) << where;
            if (level == 4) {  // "None": no intervals
                EXPECT_TRUE(std::isnan(Pair(*Nested(*test, 2021), 2064).first)) << where;
                continue;
            }
            // The mean's t interval and the median's distribution-free one at this level.
            const std::string lv = std::to_string(level);
            const auto mean = Pair(*Nested(*test, 2021), 2064);
            const auto median = Pair(*Nested(*test, 2143), 2064);
            Expect("mean lower", mean.first, ValueOrNaN(r, "mean_lower_" + lv), 1e-7, where + " level " + lv);
            Expect("mean upper", mean.second, ValueOrNaN(r, "mean_upper_" + lv), 1e-7, where + " level " + lv);
            Expect("median lower", median.first, ValueOrNaN(r, "median_lower_" + lv), 1e-12, where + " level " + lv);
            Expect("median upper", median.second, ValueOrNaN(r, "median_upper_" + lv), 1e-12, where + " level " + lv);
        }
        // The other fields at 95%.
        SetWhole("Percentile plot", 1);
        Compute();
        for (const auto& [label, key] : numbers) Expect(key, Number(*test, label), ValueOrNaN(r, key), 1e-10, where);
        EXPECT_EQ(Number(*test, 2191), rows - Value(r, "n")) << where;
        const qs::Results* mean = Nested(*test, 2021);
        ASSERT_TRUE(mean);
        Expect("mean", Number(*mean, 2041), ValueOrNaN(r, "mean"), 1e-12, where);
        const auto ci = Pair(*mean, 2064);
        Expect("mean lower", ci.first, ValueOrNaN(r, "mean_lower"), 1e-7, where);
        Expect("mean upper", ci.second, ValueOrNaN(r, "mean_upper"), 1e-7, where);
        Expect("median", Number(*Nested(*test, 2143), 2041), ValueOrNaN(r, "median"), 1e-12, where);
        const qs::Results* skew = Nested(*test, 2022);
        const qs::Results* kurt = Nested(*test, 2023);
        Expect("skewness", Number(*skew, 2041), ValueOrNaN(r, "skew"), 1e-9, where);
        Expect("skewness coefficient", Number(*skew, 2034), ValueOrNaN(r, "skew_coef"), 1e-9, where);
        Expect("skewness p", Number(*skew, 2113), ValueOrNaN(r, "skew_p"), 1e-9, where);
        Expect("kurtosis", Number(*kurt, 2041), ValueOrNaN(r, "kurt"), 1e-9, where);
        Expect("kurtosis coefficient", Number(*kurt, 2034), ValueOrNaN(r, "kurt_coef"), 1e-9, where);
        Expect("kurtosis p", Number(*kurt, 2113), ValueOrNaN(r, "kurt_p"), 1e-9, where);
        // The histogram counts every observation once.
        const auto* histogram = dynamic_cast<const qs::FrequencyHistogram*>(Nested(*test, 2501));
        ASSERT_TRUE(histogram);
        double counted = 0;
        for (double c : histogram->bins().counts) counted += c;
        EXPECT_EQ(counted, Value(r, "n")) << where;
    }
}

TEST_F(DescriptiveRuns, SummaryWithoutNormalityOmitsTheBlock) {
    Start(qs::SummaryDescriptivesinfo, kData + "continuous.csv", "A2");
    SetVariables("Variable", {"d12"});
    SetWhole("Normality test", 3);
    SetWhole("Percentile plot", 4);
    Compute();
    const std::string json = qs::ResultsJson(*test);
    EXPECT_EQ(json.find("\"Normality test\""), std::string::npos) << json;
    EXPECT_EQ(Rows(*test, 2040).size(), 3u);  // "None": 25, 50, 75 only
    SetWhole("Normality test", 0);
    Compute();
    EXPECT_NE(qs::ResultsJson(*test).find("\"Normality test\":{\"n\":20"), std::string::npos);
}

TEST_F(DescriptiveRuns, CategoricalSummariesAgreeWithR) {
    const std::vector<Row> refs = ReadTable("categorical_results.csv");
    ASSERT_GE(refs.size(), 30u);
    Start(qs::SummaryDescriptivesCategoricalinfo, kData + "categorical.csv", "A2");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable"}));
    for (const Row& r : refs) {
        const std::string where = "dataset c" + r.at("dataset");
        Var(*source, "c" + r.at("dataset"))->SetType(qs::kTypeNominal);
        SetVariables("Variable", {"c" + r.at("dataset")});
        Compute();
        EXPECT_EQ(Number(*test, 2017), Value(r, "n")) << where;
        EXPECT_EQ(Number(*test, 2045), Value(r, "groups")) << where;
        EXPECT_EQ(Text(*test, 2036), r.at("mode")) << where;
        // Counts by name (the table lists the categories in the dataset's order).
        std::map<std::string, double> got;
        for (const qs::Results* row : Rows(*test, 2224)) got[Text(*row, 2176)] = Number(*row, 2017);
        std::stringstream want(r.at("counts"));
        std::string pair;
        size_t listed = 0;
        while (want >> pair) {
            const size_t eq = pair.find('=');
            EXPECT_EQ(got[pair.substr(0, eq)], std::strtod(pair.substr(eq + 1).c_str(), nullptr))
                << where << " " << pair;
            ++listed;
        }
        EXPECT_EQ(got.size(), listed) << where;
    }
}

TEST_F(DescriptiveRuns, ComparativeDescriptivesAgreeWithR) {
    const std::vector<Row> refs = ReadTable("groups_results.csv");
    ASSERT_GE(refs.size(), 60u);
    std::map<int, std::vector<Row>> byDataset;
    for (const Row& r : refs) byDataset[static_cast<int>(Value(r, "dataset"))].push_back(r);
    ASSERT_GE(byDataset.size(), 30u);
    for (const auto& [k, rows] : byDataset) {
        const std::string where = "dataset v" + std::to_string(k);
        // Each dataset is a value column followed by its group column.
        Start(qs::ComparativeDescriptivesinfo, kData + "groups.csv", "B2");
        const std::string name = "v" + std::to_string(k), factor = "g" + std::to_string(k);
        Var(*source, name)->SetType(qs::kTypeContinuous);
        Var(*source, factor)->SetType(qs::kTypeNominal);
        std::vector<std::string> groups;
        for (const Row& r : rows) groups.push_back(name + " - " + r.at("group"));
        SetVariables("Variable - Groups", groups);
        Compute();
        auto got = Rows(*test, 2016);
        ASSERT_EQ(got.size(), rows.size()) << where;
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            // The table follows the dataset's group order; R's rows are sorted by name.
            const qs::Results* row = nullptr;
            for (const qs::Results* g : got)
                if (Text(*g, 2176) == name + " - " + r.at("group")) row = g;
            ASSERT_TRUE(row) << where << " " << r.at("group");
            EXPECT_EQ(Number(*row, 2017), Value(r, "n")) << where;
            Expect("mean", Number(*row, 2021), ValueOrNaN(r, "mean"), 1e-12, where);
            const auto ci = Pair(*row, 2064);
            Expect("lower", ci.first, ValueOrNaN(r, "lower"), 1e-7, where);
            Expect("upper", ci.second, ValueOrNaN(r, "upper"), 1e-7, where);
            Expect("SE", Number(*row, 2030), ValueOrNaN(r, "se"), 1e-10, where);
            Expect("SD", Number(*row, 2029), ValueOrNaN(r, "sd"), 1e-10, where);
            Expect("median", Number(*row, 2143), ValueOrNaN(r, "median"), 1e-12, where);
            Expect("IQR", Number(*row, 2035), ValueOrNaN(r, "iqr"), 1e-10, where);
            Expect("range", Number(*row, 2039), ValueOrNaN(r, "range"), 1e-12, where);
        }
        const auto* boxes = dynamic_cast<const qs::BoxPlots*>(Nested(*test, 2503));
        ASSERT_TRUE(boxes);
        EXPECT_EQ(boxes->boxes().size(), rows.size()) << where;
    }
}

}  // namespace
}  // namespace dstest
