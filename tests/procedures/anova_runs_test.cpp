// Whole runs of the ANOVA tests on workbooks in the host's sheet engine: the dialog's items, the
// checks before running, the messages of the computation, and the tables of the same data in its
// list, tabular and repeated-measures layouts, compared with R (anova_tables.csv, datasets 50, 150
// and 250 are the workbooks' data).
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "addin/framework/parameters.h"
#include "addin/framework/selection.h"
#include "addin/framework/test.h"
#include "addin/procedures/anova.h"
#include "tests/dataset/dataset_harness.h"
#include "tests/procedures/csv_table.h"
#include "tests/procedures/fixtures.h"
#include "tests/procedures/run_harness.h"

namespace dstest {
namespace {

using qs::procedures::testing::Csv;
using qs::procedures::testing::RelativeError;

// A nested block by label (null when none).
const qs::Results* BlockField(const qs::Results& block, unsigned label) {
    const qs::Results* owner = nullptr;
    const qs::Field* f = FindField(block, label, &owner);
    return f && f->block ? f->block(*owner) : nullptr;
}

enum : unsigned {
    kN = 2017,
    kDescriptive = 2016,
    kGroup = 2176,
    kSS = 2020,
    kDF = 2038,
    kMS = 2180,
    kF = 2116,
    kP = 2113,
    kANOVA = 2226,
    kContrasts = 2227,
    kContrast = 2052,
    kCI = 2064,
    kSignificant = 2265,
    kProtection = 5042,
    kSSWithin = 2260,
    kDFWithin = 2261,
    kMSWithin = 2262,
    kSSTotal = 2263,
    kDFTotal = 2264
};

class AnovaRuns : public TestRun {
protected:
    using TestRun::Start;
    // A test bound to the dataset found last (a workbook opened or a sheet built in the test).
    void Start(const qs::Test::Info& info) {
        test = info.Create();
        test->Bind(source.get());
        ASSERT_TRUE(test->parameters);
    }
    void SetOption(const std::string& label, int index) {
        test->parameters->Run(qs::Parameters::kUpdate);  // the items the last answers call for
        Item(label).value.type = qs::kValueWhole;
        Item(label).value.number = index;
    }
    void SetLevel(double level) {
        Item("Confidence interval").value.type = qs::kValueNumber;
        Item("Confidence interval").value.number = level;
    }
    // The checking pass and the computation; the message that stopped them (empty when none).
    std::string Run() {
        std::string m = CheckMessage();
        if (!m.empty()) return m;
        return MessageOf([&] { qs::ComputeTest(*test); });
    }
    // The items' labels, the hidden ones too or not.
    std::vector<std::string> ItemLabels(bool visibleOnly = true) const {
        std::vector<std::string> out;
        for (const auto& item : test->parameters->items)
            if (!visibleOnly || !item.hidden) out.push_back(item.label);
        return out;
    }

    // The ANOVA table against R's for one dataset of anova_tables.csv.
    void ExpectTable(int dataset) {
        const qs::Results* table = BlockField(*test, kANOVA);
        ASSERT_TRUE(table);
        const std::vector<const qs::Results*> terms = Rows(*table, kGroup);
        const Csv ref("anova_tables.csv");
        int rows = 0;
        for (size_t r = 0; r < ref.Size(); ++r) {
            if (ref.Whole(r, "dataset") != dataset) continue;
            ++rows;
            const std::string term = ref.Text(r, "term");
            const auto near = [&](double got, const char* column) {
                const double want = ref.Number(r, column);
                EXPECT_LE(RelativeError(got, want), 1e-10) << term << " " << column << ": " << got << ", R " << want;
            };
            if (term == "Within") {
                near(Number(*table, kSSWithin), "ss");
                near(Number(*table, kDFWithin), "df");
                near(Number(*table, kMSWithin), "ms");
            } else if (term == "Total") {
                near(Number(*table, kSSTotal), "ss");
                near(Number(*table, kDFTotal), "df");
            } else {
                const size_t i = term == "A" ? 0 : term == "B" ? 1 : 2;
                ASSERT_LT(i, terms.size());
                near(Number(*terms[i], kSS), "ss");
                near(Number(*terms[i], kDF), "df");
                near(Number(*terms[i], kMS), "ms");
                near(Number(*terms[i], kF), "f");
                near(Number(*terms[i], kP), "p");
            }
        }
        EXPECT_GE(rows, 3) << "dataset " << dataset;
    }
    std::string Json() const { return qs::ResultsJson(*test); }

    // A list dataset built in the test: a value column and grouping columns.
    void ListSheet(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows) {
        NewBook();
        sheets::Sheet& sh = Sheet();
        for (uint32_t c = 0; c < names.size(); ++c) sh.SetText(0, c, names[c]);
        for (uint32_t r = 0; r < rows.size(); ++r)
            for (uint32_t c = 0; c < rows[r].size(); ++c) {
                char* end = nullptr;
                const double v = std::strtod(rows[r][c].c_str(), &end);
                if (rows[r][c].empty()) continue;
                if (*end == '\0')
                    sh.SetNumber(r + 1, c, v);
                else
                    sh.SetText(r + 1, c, rows[r][c]);
            }
        source = Find("A2");
        for (const std::string& n : names)
            if (qs::VariableSource* v = Var(*source, n))
                v->SetType(n == names[0] ? qs::kTypeContinuous : qs::kTypeNominal);
    }
};

// Weight by Diet of groups_by_title.xlsx as a list: Weight, Diet.
const std::vector<std::vector<std::string>> kDietList = [] {
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::pair<const char*, std::vector<int>>> groups = {
        {"Low", {60, 62, 59, 65, 61}}, {"Medium", {66, 68, 70, 64, 69, 71, 67}}, {"High", {75, 78, 74, 80}}};
    for (const auto& [name, values] : groups)
        for (int v : values) rows.push_back({std::to_string(v), name});
    return rows;
}();

TEST_F(AnovaRuns, OneWayTabularAndListGiveRsTable) {
    Open("groups_by_title.xlsx");
    source = Find("A3");
    Start(qs::ANOVA1betweeninfo);
    EXPECT_EQ(ItemLabels(false), (std::vector<std::string>{"Variable - Groups", "Contrasts", "Error protection",
                                                           "Control group", "Confidence interval"}));
    // No contrasts: neither the protection nor the control is asked for.
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable - Groups", "Contrasts", "Confidence interval"}));
    EXPECT_EQ(Run(), "");  // every group of the variable at the cell is offered
    ExpectTable(50);
    const std::string tabular = Json();
    EXPECT_NE(tabular.find("\"Group\":\"Low\",\"n\":5"), std::string::npos) << tabular;
    EXPECT_EQ(Rows(*test, kContrasts).size(), 0u);

    ListSheet({"Weight", "Diet"}, kDietList);
    Start(qs::ANOVA1betweeninfo);
    SetVariables("Variable - Groups", {"Low", "Medium", "High"});
    EXPECT_EQ(Run(), "");
    ExpectTable(50);
    // The list's categories come in their display order; each group's numbers are the tabular ones.
    const std::string list = Json();
    for (const char* group :
         {"{\"Group\":\"Low\",\"n\":5,\"Mean\":61.4,", "{\"Group\":\"High\",\"n\":4,\"Mean\":76.75,"}) {
        EXPECT_NE(list.find(group), std::string::npos) << list;
        EXPECT_NE(tabular.find(group), std::string::npos) << tabular;
    }
}

TEST_F(AnovaRuns, ContrastsWithEveryProtectionAgreeWithR) {
    Open("groups_by_title.xlsx");
    source = Find("A3");
    Start(qs::ANOVA1betweeninfo);
    const Csv ref("anova_contrasts.csv");
    int compared = 0;
    for (size_t r = 0; r < ref.Size(); ++r) {
        if (ref.Whole(r, "dataset") != 50) continue;
        SetOption("Contrasts", ref.Whole(r, "kind"));
        SetOption("Error protection", ref.Whole(r, "protection"));
        if (ref.Whole(r, "kind") == 2) SetOption("Control group", ref.Whole(r, "control"));
        SetLevel(ref.Number(r, "level"));
        ASSERT_EQ(Run(), "") << "line " << r + 2;
        const auto rows = Rows(*test, kContrasts);
        ASSERT_EQ(rows.size(), ref.Whole(r, "kind") == 1 ? 3u : 2u);
        // This line's contrast among the rows, by its levels' names.
        const char* levels[] = {"Low", "Medium", "High"};
        const std::string name = std::string(levels[ref.Whole(r, "first")]) + " v " + levels[ref.Whole(r, "second")];
        const qs::Results* row = nullptr;
        for (const qs::Results* x : rows)
            if (Text(*x, kGroup) == name) row = x;
        ASSERT_TRUE(row) << name;
        const auto ci = Pair(*row, kCI);
        EXPECT_LE(RelativeError(ci.first, ref.Number(r, "lower")), 1e-7) << "line " << r + 2;
        EXPECT_LE(RelativeError(ci.second, ref.Number(r, "upper")), 1e-7) << "line " << r + 2;
        EXPECT_LE(RelativeError(Number(*row, kContrast), ref.Number(r, "difference")), 1e-10);
        const char* names[] = {"Dunnett", "Tukey", "Scheffe", "Bonferroni", "LSD"};
        EXPECT_EQ(Text(*row, kProtection), names[ref.Whole(r, "protection")]);
        EXPECT_EQ(Text(*row, kSignificant),
                  ref.Number(r, "lower") > 0 || ref.Number(r, "upper") < 0 ? "(significant)" : "");
        ++compared;
    }
    EXPECT_GE(compared, 30);
    // Pairwise rows read "first v second" in level order; against a control "level v control".
    SetOption("Contrasts", 1);
    SetOption("Error protection", 1);
    SetLevel(95);
    ASSERT_EQ(Run(), "");
    const auto pairs = Rows(*test, kContrasts);
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(Text(*pairs[0], kGroup), "Low v Medium");
    EXPECT_EQ(Text(*pairs[2], kGroup), "Medium v High");
    SetOption("Contrasts", 2);
    SetOption("Control group", 1);
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable - Groups", "Contrasts", "Error protection",
                                                      "Control group", "Confidence interval"}));
    EXPECT_EQ(Item("Control group").options, (std::vector<std::string>{"Low", "Medium", "High"}));
    ASSERT_EQ(Run(), "");
    const auto control = Rows(*test, kContrasts);
    ASSERT_EQ(control.size(), 2u);
    EXPECT_EQ(Text(*control[0], kGroup), "Low v Medium");
    EXPECT_EQ(Text(*control[1], kGroup), "High v Medium");
}

TEST_F(AnovaRuns, ProtectionMasksAndLimitsRefuseBeforeRunning) {
    // Eleven groups of three in a list.
    std::vector<std::vector<std::string>> rows;
    for (int g = 0; g < 11; ++g)
        for (int r = 0; r < 3; ++r) rows.push_back({std::to_string(10 + g + r * 0.5), "G" + std::to_string(g + 10)});
    ListSheet({"Value", "Batch"}, rows);
    Start(qs::ANOVA1betweeninfo);
    std::vector<std::string> every;
    for (int g = 0; g < 11; ++g) every.push_back("G" + std::to_string(g + 10));
    std::vector<std::string> all = every;
    SetVariables("Variable - Groups", all);
    SetOption("Contrasts", 2);
    SetOption("Error protection", 0);
    EXPECT_EQ(Run(), "Too many contrasts to use Dunnet's error protection (max 10 levels, 10 contrasts).");
    SetOption("Error protection", 1);  // Tukey is not offered against a control
    EXPECT_EQ(Run(), "Error protection must be selected from one of Dunnett, Scheffe, Bonferroni, LSD.");
    SetOption("Contrasts", 1);
    SetOption("Error protection", 0);  // nor Dunnett for all pairs
    EXPECT_EQ(Run(), "Error protection must be selected from one of Tukey, Scheffe, Bonferroni, LSD.");
    all.resize(7);
    SetVariables("Variable - Groups", all);
    SetOption("Error protection", 1);
    EXPECT_EQ(Run(), "Too many contrasts to use Tukey error protection (max 6 levels, 20 contrasts).");
    all.resize(3);
    SetVariables("Variable - Groups", all);
    SetLevel(90);
    EXPECT_EQ(Run(), "Confidence interval must be 95% or 99% for Tukey or Dunnet error protection.");
    SetLevel(99);
    EXPECT_EQ(Run(), "");
    SetOption("Error protection", 2);  // Scheffe takes any level and any number of groups
    SetLevel(90);
    SetVariables("Variable - Groups", every);
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(Rows(*test, kContrasts).size(), 55u);
}

TEST_F(AnovaRuns, RepeatedMeasuresAndSeparateColumnsGiveRsTable) {
    Open("list_repeat_measures.xlsx");
    source = Find("B3");
    Start(qs::ANOVA1withininfo);
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variables"}));
    SetVariables("Variables", {"Day 1", "Day 2", "Day 3"});
    ASSERT_EQ(Run(), "");
    ExpectTable(150);
    const auto terms = Rows(*BlockField(*test, kANOVA), kGroup);
    ASSERT_EQ(terms.size(), 2u);
    EXPECT_EQ(Text(*terms[0], kGroup), "Glucose");
    EXPECT_EQ(Text(*terms[1], kGroup), "Subjects");
    const std::string repeated = Json();

    // The same measures as three plain columns.
    const double days[3][8] = {{5.1, 5.4, 6.0, 4.9, 5.5, 5.8, 6.2, 5.0},
                               {5.3, 5.2, 6.1, 5.0, 5.9, 5.7, 6.0, 5.1},
                               {5.6, 5.5, 6.4, 5.2, 6.0, 6.1, 6.5, 5.4}};
    NewBook();
    for (uint32_t c = 0; c < 3; ++c) {
        Sheet().SetText(0, c, "Day " + std::to_string(c + 1));
        for (uint32_t r = 0; r < 8; ++r) Sheet().SetNumber(r + 1, c, days[c][r]);
    }
    Sheet().SetNumber(9, 0, 7.7);  // a ninth subject missing two measures takes no part
    source = Find("A2");
    Start(qs::ANOVA1withininfo);
    SetVariables("Variables", {"Day 1", "Day 2", "Day 3"});
    ASSERT_EQ(Run(), "");
    ExpectTable(150);
    // Treatments named "Groups" here.
    EXPECT_EQ(Text(*Rows(*BlockField(*test, kANOVA), kGroup)[0], kGroup), "Groups");
    EXPECT_NE(repeated.find("\"Descriptive\":[{\"Group\":\"Day 1\",\"n\":8,"), std::string::npos) << repeated;
}

TEST_F(AnovaRuns, TwoWayTabularAndListGiveRsTable) {
    Open("tabular_two_factors.xlsx");
    source = Find("C5");
    Start(qs::ANOVA2betweeninfo);
    EXPECT_EQ(ItemLabels(), (std::vector<std::string>{"Variable", "Factor A (row)", "Factor B (column)"}));
    SetVariables("Variable", {"Yield"});
    SetVariables("Factor A (row)", {"Region"});
    SetVariables("Factor B (column)", {"Fertiliser"});
    ASSERT_EQ(Run(), "");
    ExpectTable(250);
    const auto terms = Rows(*BlockField(*test, kANOVA), kGroup);
    ASSERT_EQ(terms.size(), 3u);
    EXPECT_EQ(Text(*terms[2], kGroup), "Region by Fertiliser");
    const std::string tabular = Json();

    const char* fertiliser[] = {"None", "Low", "High"};
    const double yield[2][3][3] = {{{4.1, 4.3, 3.9}, {5.0, 5.2, 4.8}, {6.1, 6.0, 5.8}},
                                   {{3.5, 3.6, 3.8}, {4.4, 4.6, 4.5}, {5.2, 5.5, 5.4}}};
    std::vector<std::vector<std::string>> rows;
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 3; ++b)
            for (double v : yield[a][b]) {
                char text[32];
                std::snprintf(text, sizeof text, "%g", v);
                rows.push_back({text, a == 0 ? "North" : "South", fertiliser[b]});
            }
    ListSheet({"Yield", "Region", "Fertiliser"}, rows);
    Start(qs::ANOVA2betweeninfo);
    SetVariables("Variable", {"Yield"});
    SetVariables("Factor A (row)", {"Region"});
    SetVariables("Factor B (column)", {"Fertiliser"});
    ASSERT_EQ(Run(), "");
    ExpectTable(250);
    EXPECT_NE(tabular.find("\"Descriptives A\":[{\"Group\":\"North\",\"n\":9,"), std::string::npos) << tabular;

    // One cell with one observation more: unbalanced.
    rows.push_back({"4.0", "North", "Low"});
    ListSheet({"Yield", "Region", "Fertiliser"}, rows);
    Start(qs::ANOVA2betweeninfo);
    SetVariables("Variable", {"Yield"});
    SetVariables("Factor A (row)", {"Region"});
    SetVariables("Factor B (column)", {"Fertiliser"});
    EXPECT_EQ(Run(),
              "All cells must contain the same number of observations.  Unbalanced 2-way ANOVAs are not supported.  ");
}

TEST_F(AnovaRuns, TwoWayNeedsTwoCategoriesAndReplicates) {
    ListSheet({"Y", "A", "B"}, {{"1", "a", "x"}, {"2", "a", "y"}, {"3", "b", "x"}, {"5", "b", "y"}});
    Start(qs::ANOVA2betweeninfo);
    SetVariables("Variable", {"Y"});
    SetVariables("Factor A (row)", {"A"});
    SetVariables("Factor B (column)", {"B"});
    EXPECT_EQ(Run(), "Cannot compute interaction between factors.  Each cell must have multiple observations.");
    ListSheet({"Y", "A", "B"}, {{"1", "a", "x"}, {"2", "a", "y"}, {"3", "a", "x"}, {"5", "a", "y"}});
    Start(qs::ANOVA2betweeninfo);
    SetVariables("Variable", {"Y"});
    SetVariables("Factor A (row)", {"A"});
    SetVariables("Factor B (column)", {"B"});
    EXPECT_EQ(Run(), "ANOVA dataset is too small.  Both factors must contain at least 2 categories.");
}

TEST_F(AnovaRuns, ConstantDataLeaveFAndPEmpty) {
    ListSheet({"Value", "Group"}, {{"4", "a"}, {"4", "a"}, {"4", "b"}, {"4", "b"}});
    Start(qs::ANOVA1betweeninfo);
    SetVariables("Variable - Groups", {"a", "b"});
    ASSERT_EQ(Run(), "");
    const auto terms = Rows(*BlockField(*test, kANOVA), kGroup);
    ASSERT_EQ(terms.size(), 1u);
    EXPECT_TRUE(std::isnan(Number(*terms[0], kF)));
    EXPECT_TRUE(std::isnan(Number(*terms[0], kP)));
    EXPECT_EQ(Number(*BlockField(*test, kANOVA), kSSTotal), 0);
}

}  // namespace
}  // namespace dstest
