// Whole runs of the z, t and F tests on workbooks in the host's sheet engine: the test is made
// from its catalogue object, bound to the dataset at a cell, given its dialog answers, checked and
// computed; its result blocks are read through their field tables and compared with R.

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "addin/procedures/ttest.h"
#include "tests/procedures/fixtures.h"
#include "tests/procedures/run_harness.h"

namespace dstest {
namespace {

using qs::procedures::testing::Reference;
using qs::procedures::testing::RelativeError;

class TestRuns : public TestRun {
protected:
    void ExpectNear(const char* what, double got, double want, double tolerance, const Reference& r) {
        EXPECT_LE(RelativeError(got, want), tolerance)
            << what << " at " << r.Where() << ": got " << got << ", R " << want;
    }
    void ExpectLocation(const Reference& r, unsigned statisticLabel) {
        const qs::Results& root = *test;
        ExpectNear("difference", Number(root, 2050), r.estimate, 1e-10, r);
        ExpectNear("statistic", Number(root, statisticLabel), r.statistic, 1e-10, r);
        if (!std::isnan(r.df1)) ExpectNear("DF", Number(root, 2038), r.df1, 1e-10, r);
        ExpectNear("p", Number(root, 2113), r.p, 1e-10, r);
        const auto ci = Pair(root, 2064);
        ExpectNear("lower", ci.first, r.lower, 1e-7, r);
        ExpectNear("upper", ci.second, r.upper, 1e-7, r);
    }

    std::vector<Reference> References(int dataset) {
        std::vector<Reference> out;
        for (const Reference& r : qs::procedures::testing::ReadReferences("workbook_results.csv"))
            if (r.dataset == dataset) out.push_back(r);
        EXPECT_EQ(out.size(), 6u);
        return out;
    }
};

TEST_F(TestRuns, ZTestOnOneVariable) {
    Start(qs::ZTest1info, "list_identifier_label.xlsx", "C3");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable", "Hypothesised mean", "Population SD",
                                                      "Alternative hypothesis", "Confidence interval"}));
    SetVariables("Variable", {"Score"});
    SetNumber("Hypothesised mean", 12);
    SetNumber("Population SD", 2);
    for (const Reference& r : References(1)) {
        SetTailAndLevel(r.tail, r.level);
        Compute();
        ExpectLocation(r, 2117);
    }
    // The table's fields in report order, then what the report states of the question (the
    // alternative and the level).
    EXPECT_EQ(FieldLabels(*test),
              (std::vector<unsigned>{2017, 2016, 2099, 2100, 2050, 2064, 2117, 2113, 2068, 5024, 2187}));
    EXPECT_EQ(Number(*test, 2017), 6);
    EXPECT_EQ(Number(*test, 2099), 12);
    EXPECT_EQ(Number(*test, 2100), 2);
    const auto rows = Rows(*test, 2016);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Text(*rows[0], 2176), "Score");
    EXPECT_NEAR(Number(*rows[0], 2021), 12.833333333333334, 1e-12);
    // The hypothesis control shows the mean's symbol against the hypothesised value.
    EXPECT_EQ(Item("Alternative hypothesis").hypothesisLeft, "μ");
    EXPECT_EQ(Item("Alternative hypothesis").hypothesisRight, "12");
    EXPECT_EQ(test->VariablesText(), "Score");
}

TEST_F(TestRuns, ZTestParameterChecks) {
    Start(qs::ZTest1info, "list_identifier_label.xlsx", "C3");
    SetVariables("Variable", {"Score"});
    EXPECT_EQ(CheckMessage(), "Hypothesised mean value must be specified.");
    SetNumber("Hypothesised mean", 12);
    EXPECT_EQ(CheckMessage(), "Population SD value must be specified.");
    SetNumber("Population SD", 0);
    EXPECT_EQ(CheckMessage(), "Population SD must be greater than zero.");
    SetNumber("Population SD", 2);
    SetNumber("Confidence interval", 100);
    EXPECT_EQ(CheckMessage(), "Confidence interval must be a percentage between 50% and 100%");
    SetNumber("Confidence interval", 99.9);
    EXPECT_EQ(CheckMessage(), "");
}

TEST_F(TestRuns, OneSampleT) {
    Start(qs::TTest1info, "list_identifier_label.xlsx", "C3");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable", "Hypothesised mean", "Alternative hypothesis",
                                                      "Confidence interval"}));
    SetVariables("Variable", {"Score"});
    SetNumber("Hypothesised mean", 12);
    for (const Reference& r : References(2)) {
        SetTailAndLevel(r.tail, r.level);
        Compute();
        ExpectLocation(r, 2115);
    }
    // The table's fields, the effect-size block, then the alternative and the level.
    EXPECT_EQ(FieldLabels(*test),
              (std::vector<unsigned>{2017, 2016, 2050, 2064, 2115, 2038, 2113, 2068, 2183, 5024, 2187}));
    // As --json prints it: the last run was one-sided "greater than", its interval open above.
    const std::string json = qs::ResultsJson(*test);
    EXPECT_EQ(json.rfind("{\"n\":6,\"Descriptive\":[{\"Group\":\"Score\",\"n\":6,\"Mean\":", 0), 0u) << json;
    EXPECT_NE(json.find(",\"inf\"],\"t\":"), std::string::npos) << json;
    EXPECT_NE(json.find("\"Alternative hypothesis\":\"mean > 12\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"Hedges' g\":{\"value\":"), std::string::npos) << json;
}

TEST_F(TestRuns, IndependentSamplesPooledAndWelch) {
    Start(qs::TTestIndependentinfo, "groups_by_title.xlsx", "A3");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable - Groups", "Unequal variances",
                                                      "Alternative hypothesis", "Confidence interval"}));
    // Every group of the data variable is offered at first: the test takes two.
    EXPECT_NE(CheckMessage(), "");
    SetVariables("Variable - Groups", {"Low", "Medium"});
    for (int unequal = 0; unequal < 2; ++unequal) {
        SetUnequal(unequal);
        for (const Reference& r : References(3 + unequal)) {
            SetTailAndLevel(r.tail, r.level);
            Compute();
            ExpectLocation(r, 2115);
        }
    }
    const auto rows = Rows(*test, 2016);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Number(*rows[0], 2017), 5);
    EXPECT_EQ(Number(*rows[1], 2017), 7);
    EXPECT_EQ(Number(*test, 2017), 12);
    EXPECT_EQ(Item("Alternative hypothesis").hypothesisLeft, Text(*rows[0], 2176));
    EXPECT_EQ(Item("Alternative hypothesis").hypothesisRight, Text(*rows[1], 2176));
    // The first group is the dataset's first, whatever the order of selection.
    const double difference = Number(*test, 2050);
    SetVariables("Variable - Groups", {"Medium", "Low"});
    Compute();
    EXPECT_EQ(Number(*test, 2050), difference);
    EXPECT_LT(difference, 0);
    // Welch's p is marked as such.
    auto* p = dynamic_cast<const qs::P*>([&] {
        const qs::Results* owner = nullptr;
        FindField(*test, 2113, &owner);
        return owner;
    }());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Method(), 5u);
    // ... and the report says so beside the p-value.
    EXPECT_EQ(Text(*p, 2068), std::string(p->TailCode() == 0 ? "2-tailed" : "1-tailed") +
                                  ", Welch's approximation for unequal variances");
}

TEST_F(TestRuns, PairedSamples) {
    Start(qs::TTestPairedinfo, "list_repeat_measures.xlsx", "B3");
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variables", "Alternative hypothesis", "Confidence interval"}));
    SetVariables("Variables", {"Day 1"});
    EXPECT_EQ(CheckMessage(), "Variables must contain 2 variables.");
    // Compute guards a selection that did not pass the checks in the same words.
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }), "Variables must contain 2 variables.");
    SetVariables("Variables", {"Day 1", "Day 2"});
    for (const Reference& r : References(5)) {
        SetTailAndLevel(r.tail, r.level);
        Compute();
        ExpectLocation(r, 2115);
    }
    const auto rows = Rows(*test, 2016);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(Text(*rows[2], 2176), "Difference");
    EXPECT_NEAR(Number(*rows[2], 2021), Number(*rows[0], 2021) - Number(*rows[1], 2021), 1e-12);
    EXPECT_EQ(Number(*test, 2017), 8);
}

TEST_F(TestRuns, VarianceRatio) {
    Start(qs::FTestinfo, "groups_by_title.xlsx", "A3");
    EXPECT_EQ(ItemLabels(),
              (std::vector<std::string>{"Variable - Groups", "Alternative hypothesis", "Confidence interval"}));
    SetVariables("Variable - Groups", {"Low", "High"});
    for (const Reference& r : References(6)) {
        SetTailAndLevel(r.tail, r.level);
        Compute();
        const qs::Results& root = *test;
        ExpectNear("F", Number(root, 2116), r.statistic, 1e-10, r);
        const auto df = Pair(root, 2038);
        EXPECT_EQ(df.first, r.df1);
        EXPECT_EQ(df.second, r.df2);
        ExpectNear("p", Number(root, 2113), r.p, 1e-10, r);
        const auto ci = Pair(root, 2064);
        ExpectNear("lower", ci.first, r.lower, 1e-7, r);
        ExpectNear("upper", ci.second, r.upper, 1e-7, r);
    }
    EXPECT_EQ(FieldLabels(*test), (std::vector<unsigned>{2016, 2017, 2116, 2038, 2113, 2068, 2064, 5024, 2187}));
    const auto rows = Rows(*test, 2016);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NEAR(Number(*rows[0], 2032) / Number(*rows[1], 2032), Number(*test, 2116), 1e-14);
}

// A list dataset built in the test: values with a grouping column, one group constant.
class ConstantGroup : public TestRuns {
protected:
    // Groups "Spread" (5, 7, 6, 9) and "Tied" (4, 4, 4, 4), in that order; when tiedFirst they
    // are named "B" and "A", so that the constant group comes first in the dataset's order.
    void Build(const qs::Test::Info& info, bool tiedFirst = false) {
        NewBook();
        sheets::Sheet& sh = Sheet();
        sh.SetText(0, 0, "Value");
        sh.SetText(0, 1, "Group");
        const double values[] = {5, 7, 6, 9, 4, 4, 4, 4};
        for (uint32_t r = 0; r < 8; ++r) {
            sh.SetNumber(r + 1, 0, values[r]);
            sh.SetText(r + 1, 1, r < 4 ? (tiedFirst ? "B" : "Spread") : (tiedFirst ? "A" : "Tied"));
        }
        source = Find("A2");
        Var(*source, "Group")->SetType(qs::kTypeNominal);
        Var(*source, "Value")->SetType(qs::kTypeContinuous);
        test = info.Create();
        test->Bind(source.get());
    }
};

TEST_F(ConstantGroup, DividingByAConstantGroupsVarianceIsRefused) {
    Build(qs::FTestinfo);
    SetVariables("Variable - Groups", {"Tied", "Spread"});
    EXPECT_EQ(CheckMessage(), "");
    const std::string message = MessageOf([&] { qs::ComputeTest(*test); });
    EXPECT_EQ(message, "Test cannot be computed.  All observations in 'Value - Tied' are the same.");
    // The same when the constant group is the numerator's.
    Build(qs::FTestinfo, true);
    SetVariables("Variable - Groups", {"A", "B"});
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }),
              "Test cannot be computed.  All observations in 'Value - A' are the same.");
}

TEST_F(ConstantGroup, AConstantGroupIsNoErrorForTheTTest) {
    Build(qs::TTestIndependentinfo);
    SetVariables("Variable - Groups", {"Tied", "Spread"});
    SetUnequal(true);
    Compute();
    // One variance is zero: Welch's df is the other group's n - 1.
    EXPECT_NEAR(Number(*test, 2038), 3.0, 1e-12);
    EXPECT_TRUE(std::isfinite(Number(*test, 2113)));
}

TEST_F(TestRuns, PairedTestNeedsTwoCompletePairs) {
    // Each column has two values, but only one row has both.
    NewBook();
    sheets::Sheet& sh = Sheet();
    sh.SetText(0, 0, "Before");
    sh.SetText(0, 1, "After");
    sh.SetNumber(1, 0, 1);
    sh.SetNumber(2, 0, 3);
    sh.SetNumber(2, 1, 4);
    sh.SetNumber(3, 1, 6);
    source = Find("A2");
    test = qs::TTestPairedinfo.Create();
    test->Bind(source.get());
    SetVariables("Variables", {"Before", "After"});
    test->parameters->Run(qs::Parameters::kUpdate);
    EXPECT_EQ(MessageOf([&] { qs::ComputeTest(*test); }), "Variables must contain at least 2 observations.");
}

}  // namespace
}  // namespace dstest
