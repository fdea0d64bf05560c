// Whole runs of the tests on counts and the correlation tests on workbooks: list datasets built from
// the R fixtures' tables and samples (one row per observation), and the contingency-table workbook
// of the dataset tests. The results must be R's, read through the report's field tables.
#include <map>
#include <sstream>

#include "addin/procedures/counts.h"
#include "tests/procedures/named_fixtures.h"
#include "tests/procedures/run_harness.h"

namespace dstest {
namespace {

using qs::procedures::testing::FixtureRow;
using qs::procedures::testing::ReadFixture;

const qs::P* PBlock(const qs::Results& root) {
    const qs::Results* owner = nullptr;
    FindField(root, 2113, &owner);
    return dynamic_cast<const qs::P*>(owner);
}

class CountRuns : public TestRun {
protected:
    // A list dataset of two categorical columns "Row" and "Column", one row per observation of a
    // 2 x 2 table: categories "R1", "R2" and "C1", "C2" in that order.
    void BuildTable(const qs::Test::Info& info, const FixtureRow& t) {
        BuildTable(info, {t["a"], t["b"], t["c"], t["d"]});
    }
    void BuildTable(const qs::Test::Info& info, const std::vector<double>& t) {
        NewBook();
        sheets::Sheet& sh = Sheet();
        sh.SetText(0, 0, "Row");
        sh.SetText(0, 1, "Column");
        uint32_t r = 1;
        const char* cells[4][2] = {{"R1", "C1"}, {"R1", "C2"}, {"R2", "C1"}, {"R2", "C2"}};
        for (size_t k = 0; k < 4; ++k)
            for (int i = 0; i < static_cast<int>(t[k]); ++i, ++r) {
                sh.SetText(r, 0, cells[k][0]);
                sh.SetText(r, 1, cells[k][1]);
            }
        Bind(info, {"Row", "Column"});
    }
    void Bind(const qs::Test::Info& info, const std::vector<std::string>& nominal) {
        source = Find("A2");
        for (const std::string& name : nominal) Var(*source, name)->SetType(qs::kTypeNominal);
        test = info.Create();
        test->Bind(source.get());
    }
    void SetTail(int tail) { SetWhole("Alternative hypothesis", tail); }
    void ExpectEffect(const FixtureRow& row) {
        const qs::Results* block = Nested(*test, 2098);
        ASSERT_TRUE(block);
        EXPECT_CLOSE(Number(*block, 2041), row["estimate"], 1e-10, row);
        const auto ci = Pair(*block, 2064);
        EXPECT_CLOSE(ci.first, row["lower"], 1e-7, row);
        EXPECT_CLOSE(ci.second, row["upper"], 1e-7, row);
    }
    // The rows of a fixture file for its first `datasets` datasets.
    // One row of a 2 x 2 test's reference results: its table (built anew when the row starts another
    // dataset), effect measure, tail and level; the effect and p compared with R's.
    void CheckTwoByTwoRow(const qs::Test::Info& info, const FixtureRow& row, int& dataset) {
        if (row.Int("dataset") != dataset) {
            dataset = row.Int("dataset");
            BuildTable(info, row);
            SetVariables("Factor A (row)", {"Row"});
            SetVariables("Factor B (column)", {"Column"});
        }
        SetWhole("Point estimate", row.Int("measure"));
        SetTail(row.Int("tail"));
        SetNumber("Confidence interval", row["level"]);
        Compute();
        ExpectEffect(row);
        EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
    }
    static std::vector<FixtureRow> RowsOf(const std::string& file, int datasets) {
        std::vector<FixtureRow> out;
        for (const FixtureRow& r : ReadFixture(file))
            if (r.Int("dataset") <= datasets) out.push_back(r);
        return out;
    }
};

TEST_F(CountRuns, FisherOnCrossTabulatedListData) {
    int dataset = 0;
    for (const FixtureRow& row : RowsOf("fisher_results.csv", 4)) {
        CheckTwoByTwoRow(qs::FisherExactTestinfo, row, dataset);
        EXPECT_EQ(Number(*test, 2017), row["a"] + row["b"] + row["c"] + row["d"]);
    }
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Factor A (row)", "Factor B (column)", "Point estimate",
                                                      "Alternative hypothesis", "Confidence interval"}));
    // The table as the report shows it: rows R1, R2 with the counts of C1 and C2.
    const auto rows = Rows(*test, 2228);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Text(*rows[0], 2176), "R1");
    EXPECT_EQ(Text(*test, 2142), "C1 | C2");
    EXPECT_EQ(Text(*PBlock(*test), 2068), "1-tailed, exact");
    SetTail(0);
    Compute();
    EXPECT_EQ(Text(*PBlock(*test), 2068), "2-tailed, exact, double 1-tailed p");
}

TEST_F(CountRuns, McNemarOnPairedCategories) {
    int dataset = 0;
    for (const FixtureRow& row : RowsOf("mcnemar_results.csv", 3)) CheckTwoByTwoRow(qs::McNemarTestinfo, row, dataset);
    // Only two effect measures: the relative risk is refused.
    SetWhole("Point estimate", 2);
    EXPECT_NE(CheckMessage(), "");
}

TEST_F(CountRuns, ChiSquareOnAContingencyTableDataset) {
    Open("contingency.xlsx");
    Select("B3");
    source = Find("B3");
    qs::DatasetProperties p = qs::CurrentProperties(*source);
    p.layoutIndex = 2;
    p.factors = 2;
    qs::ConfirmDataset(*source, p);
    ASSERT_TRUE(source->dataset->IsContingency());
    test = qs::ChiSquareTestinfo.Create();
    test->Bind(source.get());
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Factor A (row)", "Factor B (column)", "Continuity correction"}));
    SetVariables("Factor A (row)", {"Treatment"});
    SetVariables("Factor B (column)", {"Outcome"});
    Compute();
    // R: chisq.test(matrix(c(24, 6, 15, 15, 0, 20), 3, byrow = TRUE)), dataset 3 of the fixtures.
    const FixtureRow row = RowsOf("chisq_results.csv", 3).back();
    ASSERT_EQ(row.Text("cells"), "24;6;15;15;0;20");
    EXPECT_CLOSE(Number(*test, 2126), row["statistic"], 1e-10, row);
    EXPECT_EQ(Number(*test, 2038), 2);
    EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
    EXPECT_EQ(Text(*PBlock(*test), 2068), "");  // no tail, no method
    const auto cells = Rows(*test, 2228);
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(Text(*cells[0], 2176), "Drug - Improved");
    EXPECT_EQ(Number(*cells[0], 2139), 24);
    EXPECT_NEAR(Number(*cells[0], 2140), 30.0 * 39 / 80, 1e-12);
    // A 3 x 2 table is no table for Fisher's test.
    test = qs::FisherExactTestinfo.Create();
    test->Bind(source.get());
    SetVariables("Factor A (row)", {"Treatment"});
    SetVariables("Factor B (column)", {"Outcome"});
    test->parameters->Run(qs::Parameters::kUpdate);
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }), "Contingency table must be 2 x 2.");
}

// A contingency-table dataset typed in: rows "Drug", "Placebo", "None" under "Treatment", columns
// "Improved", "Not improved" under "Outcome", with the counts given.
class TypedTable : public CountRuns {
protected:
    void Build(const std::vector<double>& counts) {
        NewBook();
        sheets::Sheet& sh = Sheet();
        sh.SetText(0, 0, "Patients");
        sh.SetText(0, 1, "Outcome");
        sh.SetText(1, 0, "Treatment");
        sh.SetText(1, 1, "Improved");
        sh.SetText(1, 2, "Not improved");
        const char* rows[3] = {"Drug", "Placebo", "None"};
        for (uint32_t r = 0; r < 3; ++r) {
            sh.SetText(r + 2, 0, rows[r]);
            sh.SetNumber(r + 2, 1, counts[2 * r]);
            sh.SetNumber(r + 2, 2, counts[2 * r + 1]);
        }
        source = Find("B3");
        qs::DatasetProperties p = qs::CurrentProperties(*source);
        p.layoutIndex = 2;
        p.factors = 2;
        qs::ConfirmDataset(*source, p);
        test = qs::ChiSquareTestinfo.Create();
        test->Bind(source.get());
        SetVariables("Factor A (row)", {"Treatment"});
        SetVariables("Factor B (column)", {"Outcome"});
        test->parameters->Run(qs::Parameters::kUpdate);
    }
};

TEST_F(TypedTable, ChiSquareStopsOnAnEmptyTableOrAZeroMargin) {
    Build({24, 6, 15, 15, 0, 20});
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }), "");
    Build({24, 6, 0, 0, 0, 20});  // nobody on placebo: a row total is zero
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }),
              "Test cannot be computed.  Contingency table marginal total is zero.");
    Build({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }),
              "Test cannot be computed.  Contingency table contains no observations.");
}

TEST_F(CountRuns, ChiSquareMessagesAndTheContinuitySwitch) {
    for (const FixtureRow& row : ReadFixture("chisq_results.csv")) {
        if (row.Int("rows") != 2 || row.Int("columns") != 2) continue;
        std::stringstream cells(row.Text("cells"));
        std::string a, b, c, d;
        std::getline(cells, a, ';'), std::getline(cells, b, ';'), std::getline(cells, c, ';'),
            std::getline(cells, d, ';');
        BuildTable(qs::ChiSquareTestinfo, {std::stod(a), std::stod(b), std::stod(c), std::stod(d)});
        SetVariables("Factor A (row)", {"Row"});
        SetVariables("Factor B (column)", {"Column"});
        SetBoolean("Continuity correction", row.Int("continuity") == 1);
        Compute();
        EXPECT_CLOSE(Number(*test, 2126), row["statistic"], 1e-10, row);
        EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
        EXPECT_EQ(Text(*PBlock(*test), 2068), row.Int("continuity") == 1 ? "corrected for continuity" : "");
        break;
    }
    // Observations in one column only: a column total is zero.
    BuildTable(qs::ChiSquareTestinfo, {3, 0, 4, 0});
    SetVariables("Factor A (row)", {"Row"});
    SetVariables("Factor B (column)", {"Column"});
    test->parameters->Run(qs::Parameters::kUpdate);
    // One column category is met in the data: the table is 2 x 1.
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }), "Contingency table must be at least 2 x 2.");
}

TEST_F(CountRuns, BinomialOnADichotomousVariable) {
    // 7 "No" of 20 (the first category in display order), against 0.5 and 0.3.
    NewBook();
    sheets::Sheet& sh = Sheet();
    sh.SetText(0, 0, "Answer");
    for (uint32_t r = 1; r <= 20; ++r) sh.SetText(r, 0, r % 3 == 1 ? "No" : "Yes");
    Bind(qs::BinomialTestinfo, {"Answer"});
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable", "Hypothesised proportion", "Alternative hypothesis",
                                                      "Confidence interval"}));
    SetVariables("Variable", {"Answer"});
    EXPECT_EQ(CheckMessage(), "Hypothesised proportion must be between 0 and 1 exclusive.");
    for (const FixtureRow& row : RowsOf("binomial_results.csv", 1)) {  // 7 of 20 against 0.5
        SetNumber("Hypothesised proportion", row["expected"]);
        SetTail(row.Int("tail"));
        SetNumber("Confidence interval", row["level"]);
        Compute();
        EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
        const qs::Results* observed = Nested(*test, 2132);
        ASSERT_TRUE(observed);
        EXPECT_CLOSE(Number(*observed, 2041), row["estimate"], 1e-10, row);
        const auto ci = Pair(*observed, 2064);
        EXPECT_CLOSE(ci.first, row["lower"], 1e-7, row);
        EXPECT_CLOSE(ci.second, row["upper"], 1e-7, row);
    }
    SetTail(0);
    Compute();
    EXPECT_EQ(Text(*PBlock(*test), 2068), "2-tailed, exact");  // 0.5: no "double 1-tailed p"
    SetNumber("Hypothesised proportion", 0.3);
    Compute();
    EXPECT_EQ(Text(*PBlock(*test), 2068), "2-tailed, exact, double 1-tailed p");
    EXPECT_EQ(Item("Alternative hypothesis").hypothesisLeft, "π");
    EXPECT_EQ(Item("Alternative hypothesis").hypothesisRight, "0.3");
    const auto rows = Rows(*test, 2016);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Text(*rows[0], 2176), "No");  // the first category
    EXPECT_EQ(Number(*rows[0], 2017), 7);
}

TEST_F(CountRuns, CochranQOnRepeatedDichotomousMeasures) {
    std::map<int, std::map<int, double>> subjects;  // dataset 1: three drugs, 46 subjects
    for (const FixtureRow& row : ReadFixture("cochranq_data.csv"))
        if (row.Int("dataset") == 1) subjects[row.Int("subject")][row.Int("treatment")] = row["value"];
    NewBook();
    sheets::Sheet& sh = Sheet();
    const char* names[3] = {"Drug A", "Drug B", "Drug C"};
    for (uint32_t j = 0; j < 3; ++j) sh.SetText(0, j, names[j]);
    uint32_t r = 1;
    for (const auto& [i, values] : subjects) {
        for (const auto& [j, v] : values)
            sh.SetText(r, static_cast<uint32_t>(j - 1), v == 1 ? "Favourable" : "Unfavourable");
        ++r;
    }
    // One subject with a missing measure takes no part.
    sh.SetText(r, 0, "Favourable");
    Bind(qs::CochranQTestinfo, {"Drug A", "Drug B", "Drug C"});
    SetVariables("Variables", {"Drug A", "Drug B", "Drug C"});
    ASSERT_EQ(MessageOf([&] { Compute(); }), "");
    const FixtureRow row = ReadFixture("cochranq_results.csv").front();
    EXPECT_EQ(Number(*test, 2017), 46);
    EXPECT_CLOSE(Number(*test, 2129), row["statistic"], 1e-10, row);
    EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
    EXPECT_EQ(Text(*PBlock(*test), 2068), "chisqr approximation");
    // Every selected variable takes part: a table row each, with the counts of both outcomes.
    const auto rows = Rows(*test, 2228);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(Text(*rows[2], 2176), "Drug C");
    EXPECT_EQ(Number(*rows[2], 2138), 46);
}

class CorrelationRuns : public CountRuns {
protected:
    // Dataset k of correlation_data.csv as columns X and Y (missing values as empty cells).
    void BuildSample(const qs::Test::Info& info, int k) {
        NewBook();
        sheets::Sheet& sh = Sheet();
        sh.SetText(0, 0, "X");
        sh.SetText(0, 1, "Y");
        uint32_t r = 1;
        for (const FixtureRow& row : ReadFixture("correlation_data.csv")) {
            if (row.Int("dataset") != k) continue;
            if (!std::isnan(row["x"])) sh.SetNumber(r, 0, row["x"]);
            if (!std::isnan(row["y"])) sh.SetNumber(r, 1, row["y"]);
            ++r;
        }
        Bind(info, {});
        SetVariables("Variable X", {"X"});
        SetVariables("Variable Y", {"Y"});
    }
    void Check(const qs::Test::Info& info, const std::string& name, unsigned label, int k) {
        BuildSample(info, k);
        for (const FixtureRow& row : ReadFixture("correlation_results.csv")) {
            if (row.Int("dataset") != k || row.Text("test") != name) continue;
            SetTail(row.Int("tail"));
            if (name != "kendall") SetNumber("Confidence interval", row["level"]);
            Compute();
            EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
            if (name == "kendall") {
                EXPECT_CLOSE(Number(*test, 2120), row["statistic"], 1e-10, row);
                EXPECT_EQ(Number(*test, 2141), row["estimate"]);
                continue;
            }
            const qs::Results* coefficient = Nested(*test, label);
            ASSERT_TRUE(coefficient);
            EXPECT_CLOSE(Number(*coefficient, 2041), row["estimate"], 1e-10, row);
            EXPECT_CLOSE(Number(*test, 2115), row["statistic"], 1e-10, row);
            const auto ci = Pair(*coefficient, 2064);
            EXPECT_CLOSE(ci.first, row["lower"], 1e-7, row);
            EXPECT_CLOSE(ci.second, row["upper"], 1e-7, row);
        }
    }
};

TEST_F(CorrelationRuns, PearsonSpearmanKendallAgreeWithR) {
    for (int k : {1, 6, 7}) {  // Hollander & Wolfe; ties in both; missing values in both
        Check(qs::PearsonCorrelationinfo, "pearson", 2118, k);
        Check(qs::SpearmanCorrelationinfo, "spearman", 2119, k);
        Check(qs::KendallCorrelationinfo, "kendall", 2120, k);
    }
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable X", "Variable Y", "Alternative hypothesis"}));
    EXPECT_EQ(Text(*PBlock(*test), 2068).substr(0, 25), "1-tailed, normal approxim");
    BuildSample(qs::SpearmanCorrelationinfo, 6);
    Compute();
    EXPECT_EQ(Text(*PBlock(*test), 2068), "2-tailed, t approximation, corrected for ties");
    BuildSample(qs::KendallCorrelationinfo, 6);  // 8 pairs, tied: exact tables with ties
    Compute();
    // x ties 5 of 8 values, y 4 of 8: the percentages add up.
    EXPECT_EQ(Text(*PBlock(*test), 2068), "2-tailed, exact tables used, 113% ties, corrected for ties");
}

}  // namespace
}  // namespace dstest
