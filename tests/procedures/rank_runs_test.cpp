// Whole runs of the rank-based tests on workbooks: the R fixtures' samples laid out as columns (one
// column per group or measure), the results read through the report's field tables, and the checks
// of the paired and repeated tests' variables.
#include <map>

#include "addin/procedures/ranks.h"
#include "tests/procedures/named_fixtures.h"
#include "tests/procedures/run_harness.h"

namespace dstest {
namespace {

using qs::procedures::testing::FixtureRow;
using qs::procedures::testing::ReadFixture;

std::map<int, std::vector<double>> DatasetGroups(int dataset) {
    std::map<int, std::vector<double>> out;
    for (const FixtureRow& row : ReadFixture("rank_data.csv"))
        if (row.Int("dataset") == dataset) out[row.Int("group")].push_back(row["value"]);
    return out;
}

std::string P_Text(const qs::Results& root) {
    const qs::Results* owner = nullptr;
    FindField(root, 2113, &owner);
    return owner ? Text(*owner, 2068) : std::string();
}

class RankRuns : public TestRun {
protected:
    // Columns "G1", "G2" ... holding the groups of a fixture dataset (for the paired tests, G1 the
    // differences and G2 zeros, so that the pair differences are the fixture's).
    void Build(const qs::Test::Info& info, int dataset, bool paired) {
        auto groups = DatasetGroups(dataset);
        if (paired) groups[2] = std::vector<double>(groups[1].size(), 0.0);
        NewBook();
        sheets::Sheet& sh = Sheet();
        names.clear();
        for (const auto& [g, values] : groups) {
            const auto column = static_cast<uint32_t>(g - 1);
            names.push_back("G" + std::to_string(g));
            sh.SetText(0, column, names.back());
            for (uint32_t r = 0; r < values.size(); ++r) sh.SetNumber(r + 1, column, values[r]);
        }
        source = Find("A2");
        test = info.Create();
        test->Bind(source.get());
    }
    void Levels(const FixtureRow& row) {
        SetWhole("Alternative hypothesis", row.Int("tail"));
        SetNumber("Confidence interval", row["level"]);
    }
    void ExpectEstimate(unsigned label, const FixtureRow& row, const char* estimate) {
        const qs::Results* block = Nested(*test, label);
        ASSERT_TRUE(block);
        EXPECT_CLOSE(Number(*block, 2041), row[estimate], 1e-12, row);
        const auto ci = Pair(*block, 2064);
        EXPECT_CLOSE(ci.first, row["lower"], 1e-12, row);
        EXPECT_CLOSE(ci.second, row["upper"], 1e-12, row);
    }
    std::vector<std::string> names;
};

// Datasets of the fixtures: the first paired one (Hollander & Wolfe's depression scale), and the
// first two-sample and k-sample ones, found by the files they have results in.
int FirstDataset(const std::string& file) { return ReadFixture(file).front().Int("dataset"); }

TEST_F(RankRuns, SignAndWilcoxonOnPairedColumns) {
    const int dataset = FirstDataset("wilcoxon_results.csv");
    for (const auto* info : {&qs::SignTestinfo, &qs::WilcoxonSignedRanksTestinfo}) {
        const bool wilcoxon = info == &qs::WilcoxonSignedRanksTestinfo;
        Build(*info, dataset, true);
        EXPECT_EQ(ItemLabels(),
                  (std::vector<std::string>{"Variables", "Alternative hypothesis", "Confidence interval"}));
        SetVariables("Variables", {"G1", "G2"});
        for (const FixtureRow& row : ReadFixture(wilcoxon ? "wilcoxon_results.csv" : "sign_results.csv")) {
            if (row.Int("dataset") != dataset) continue;
            Levels(row);
            Compute();
            EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
            if (wilcoxon) {
                EXPECT_EQ(Number(*test, 2123), row["W"]);
                ExpectEstimate(2143, row, "estimate");
            } else {
                EXPECT_EQ(Number(*test, 2144), row["positives"]);
                ExpectEstimate(2143, row, "median");
            }
        }
    }
    // Nine pairs: exact, with the ranks of the positive and negative differences.
    const auto ranks = Rows(*test, 2145);
    ASSERT_EQ(ranks.size(), 2u);
    EXPECT_EQ(Number(*ranks[0], 2134) + Number(*ranks[1], 2134), 9 * 10 / 2);
    EXPECT_EQ(P_Text(*test).substr(0, 14), "1-tailed, exac");
}

TEST_F(RankRuns, PairedTestsRefuseMixedTypesAndRepeatsOfDifferentVariables) {
    Build(qs::SignTestinfo, FirstDataset("wilcoxon_results.csv"), true);
    Var(*source, "G2")->SetType(qs::kTypeOrdinal);
    SetVariables("Variables", {"G1", "G2"});
    EXPECT_EQ(CheckMessage(), "All selected variables must have the same type.");
    // Repeat measures of one variable with a variable of its own.
    Start(qs::WilcoxonSignedRanksTestinfo, "list_repeat_measures.xlsx", "B3");
    SetVariables("Variables", {"Day 1", "Subject"});
    EXPECT_EQ(CheckMessage(), "Repeat-measures must be selected from the same variable.");
    SetVariables("Variables", {"Day 1", "Day 3"});
    EXPECT_EQ(CheckMessage(), "");
    test = qs::FriedmanTestinfo.Create();
    test->Bind(source.get());
    SetVariables("Variables", {"Day 1", "Subject"});
    EXPECT_EQ(CheckMessage(), "Repeat-measures must be selected from the same variable.");
}

TEST_F(RankRuns, MannWhitneyOnTwoColumns) {
    const int dataset = FirstDataset("mannwhitney_results.csv");
    Build(qs::MannWhitneyTestinfo, dataset, false);
    SetVariables("Variable - Groups", {"G1", "G2"});
    for (const FixtureRow& row : ReadFixture("mannwhitney_results.csv")) {
        if (row.Int("dataset") != dataset) continue;
        Levels(row);
        Compute();
        EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
        ExpectEstimate(2098, row, "estimate");
        const auto ranks = Rows(*test, 2145);
        ASSERT_EQ(ranks.size(), 2u);
        EXPECT_EQ(Number(*ranks[0], 2134), row["W"]);
        // U of the first group: n1 n2 + n1(n1 + 1)/2 - R1; the two U add up to n1 n2.
        EXPECT_EQ(Number(*ranks[0], 2121) + Number(*ranks[1], 2121), 10 * 5);
    }
}

TEST_F(RankRuns, KruskalWallisMedianAndFriedmanOnColumns) {
    const int dataset = FirstDataset("kruskal_results.csv");
    Build(qs::KruskalWallisTestinfo, dataset, false);
    SetVariables("Variable - Groups", {"G1", "G2", "G3"});
    Compute();
    const FixtureRow kw = ReadFixture("kruskal_results.csv").front();
    EXPECT_CLOSE(Number(*test, 2122), kw["statistic"], 1e-10, kw);
    EXPECT_CLOSE(Number(*test, 2113), kw["p"], 1e-10, kw);
    EXPECT_EQ(P_Text(*test), "chisqr approximation");

    Build(qs::MedianTestinfo, dataset, false);
    SetVariables("Variable - Groups", {"G1", "G2", "G3"});
    Compute();
    const FixtureRow median = ReadFixture("median_results.csv").front();
    EXPECT_CLOSE(Number(*test, 2143), median["median"], 1e-12, median);
    EXPECT_CLOSE(Number(*test, 2113), median["p"], 1e-10, median);

    const FixtureRow fr = ReadFixture("friedman_results.csv").front();
    Build(qs::FriedmanTestinfo, fr.Int("dataset"), false);
    SetVariables("Variables", {"G1", "G2", "G3"});
    Compute();
    EXPECT_CLOSE(Number(*test, 2124), fr["statistic"], 1e-10, fr);
    EXPECT_CLOSE(Number(*test, 2113), fr["p"], 1e-10, fr);
    EXPECT_EQ(Number(*test, 2017), 22);
}

TEST_F(RankRuns, RunsOfACategoricalSequence) {
    const FixtureRow row = ReadFixture("runs_results.csv").front();  // 0 1 0 1 ... 30 values: 30 runs
    NewBook();
    sheets::Sheet& sh = Sheet();
    sh.SetText(0, 0, "Coin");
    const auto codes = DatasetGroups(row.Int("dataset"))[1];
    for (uint32_t r = 0; r < codes.size(); ++r) sh.SetText(r + 1, 0, codes[r] == 0 ? "Tails" : "Heads");
    source = Find("A2");
    Var(*source, "Coin")->SetType(qs::kTypeNominal);
    test = qs::RunsTestinfo.Create();
    test->Bind(source.get());
    SetVariables("Variable", {"Coin"});
    SetWhole("Alternative hypothesis", 0);
    Compute();
    EXPECT_EQ(Number(*test, 2125), row["runs"]);
    EXPECT_CLOSE(Number(*test, 2113), row["p"], 1e-10, row);
    const auto counts = Rows(*test, 2016);
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(Text(*counts[0], 2176), "Tails");  // the category met first
    // A third category is no dichotomy.
    sh.SetText(5, 0, "Edge");
    source = Find("A2");
    Var(*source, "Coin")->SetType(qs::kTypeNominal);
    test = qs::RunsTestinfo.Create();
    test->Bind(source.get());
    SetVariables("Variable", {"Coin"});
    test->parameters->Run(qs::Parameters::kUpdate);
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }), "Coin must contain 2 categories.");
}

}  // namespace
}  // namespace dstest

namespace dstest {
namespace {

TEST_F(RankRuns, ExactTablesSayTheirShareOfTies) {
    // Ten differences, two of them tied in absolute value: a fifth of the values share a rank.
    NewBook();
    sheets::Sheet& sh = Sheet();
    sh.SetText(0, 0, "Before");
    sh.SetText(0, 1, "After");
    const double d[] = {1, -2, 3, 3, 5, 6, -7, 8, 9, 10};
    for (uint32_t r = 0; r < 10; ++r) {
        sh.SetNumber(r + 1, 0, 20 + d[r]);
        sh.SetNumber(r + 1, 1, 20);
    }
    source = Find("A2");
    test = qs::WilcoxonSignedRanksTestinfo.Create();
    test->Bind(source.get());
    SetVariables("Variables", {"Before", "After"});
    Compute();
    EXPECT_EQ(P_Text(*test), "2-tailed, exact tables used, 20% ties");
}

}  // namespace
}  // namespace dstest
