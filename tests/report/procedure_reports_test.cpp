// The z, t and F tests run end to end with their installed templates: the report sheet holds the
// test's results in the template's cells, and every slot of every template names a field its test
// has.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "addin/dataset/dataset_commands.h"
#include "addin/framework/dialogs.h"
#include "addin/framework/run.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/procedures/anova.h"
#include "addin/procedures/ttest.h"
#include "sheets/io/workbook_io.h"
#include "tests/dataset/dataset_harness.h"

namespace rptest {
namespace {

std::vector<std::string> g_shown;
int Record(const char* text, unsigned, unsigned) {
    g_shown.push_back(text);
    return qs::IDOK;
}
bool Confirm(qs::DatasetSourceExcel& s) {
    qs::ConfirmDataset(s, qs::CurrentProperties(s));
    return true;
}
// The dialog answered as a user would: the groups Low and Medium, the rest as offered.
bool LowAndMedium(qs::Parameters& p, const qs::CellRange&) {
    std::vector<qs::VariableChoice> list = qs::ListVariables(*p.dataset);
    qs::ParameterItem* item = p.FindByLabel("Variable - Groups");
    const qs::VariableChoice* low = qs::FindVariableChoice(list, "Low");
    const qs::VariableChoice* medium = qs::FindVariableChoice(list, "Medium");
    if (!item || !low || !medium) return false;
    item->value.variables = {*low, *medium};
    p.Run(qs::Parameters::kUpdate);
    p.Run(qs::Parameters::kCheck);
    return true;
}

class ProcedureReports : public dstest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        previous = qs::SetMessageBoxFrontEnd(Record);
        qs::SetDatasetPropertiesDialog(Confirm);
        qs::SetParameterDialog(LowAndMedium);
        qs::SetTemplateFolder(std::string(TEMPLATE_FOLDER) + "/");
        g_shown.clear();
    }
    void TearDown() override {
        qs::SetParameterDialog(nullptr);
        qs::SetDatasetPropertiesDialog(nullptr);
        qs::SetMessageBoxFrontEnd(previous);
        qs::SetTemplateFolder("");
        HostTest::TearDown();
    }
    qs::MessageBoxFrontEnd previous = nullptr;
};

TEST_F(ProcedureReports, ValuesLandInTheTemplatesCells) {
    ASSERT_EQ(qs::TTestIndependentinfo.id, 1026u);
    Open("groups_by_title.xlsx");
    Select("A3");
    qs::RunTest(1026, qs::XlCallResult(XLF_SELECTION));
    ASSERT_TRUE(g_shown.size() <= 1) << g_shown.back();  // at most the new-dataset question
    sheets::Workbook* reports = docs->FindBook("Unfiled reports");
    ASSERT_NE(reports, nullptr);
    const sheets::Sheet& s = reports->sheet(reports->sheet_count() - 1);
    EXPECT_EQ(s.name().rfind("t-test ", 0), 0u) << s.name();
    auto num = [&](const char* ref) {
        auto r = sheets::ParseA1(ref, s.limits());
        sheets::Value v = s.GetValue(r->area.range.first.row, r->area.range.first.col);
        return v.type == sheets::ValueType::Number ? v.number : NAN;
    };
    auto text = [&](const char* ref) {
        auto r = sheets::ParseA1(ref, s.limits());
        return s.GetValue(r->area.range.first.row, r->area.range.first.col).text;
    };
    EXPECT_EQ(text("B3"), "Independent samples t-test");
    EXPECT_EQ(text("B5"), "Weight - Low, Weight - Medium");
    EXPECT_EQ(text("H2"), "General");
    EXPECT_EQ(num("B9"), 12);
    // The table took a second row: everything from row 12 on moved down by one.
    EXPECT_EQ(text("B11"), "Weight - Low");
    EXPECT_EQ(text("B12"), "Weight - Medium");
    EXPECT_EQ(num("C11"), 5);
    EXPECT_EQ(num("C12"), 7);
    EXPECT_NEAR(num("D11"), 61.4, 1e-12);
    EXPECT_NEAR(num("D12"), 475.0 / 7, 1e-12);
    EXPECT_EQ(s.Get(11, 3).format, s.Get(10, 3).format);  // the new row has the slot row's formats
    EXPECT_EQ(text("A16"), "Difference between means");
    EXPECT_NEAR(num("B16"), 61.4 - 475.0 / 7, 1e-12);
    EXPECT_LT(num("B17"), num("B16"));
    EXPECT_GT(num("C17"), num("B16"));
    EXPECT_EQ(text("A19"), "t");
    EXPECT_EQ(num("B20"), 10);  // pooled: n1 + n2 - 2
    EXPECT_GT(num("B21"), 0);
    EXPECT_LT(num("B21"), 0.01);

    // The sheet's values are the test's own.
    qs::Test* test = qs::LastCompletedTest();
    ASSERT_NE(test, nullptr);
    qs::FieldLocation t;
    ASSERT_TRUE(qs::LocateField(*test, {0x843}, t));
    EXPECT_EQ(num("B19"), t.field->number(*t.owner));
    for (const sheets::DefinedName& n : s.names().entries()) EXPECT_NE(n.name.substr(0, 7), "__sm_RR") << n.name;
    ASSERT_NE(s.names().Find("__sm_VV_3"), nullptr);  // four parameters stored
}

// Answers for any of the tests: the variables by name (by the item's label where a test has several
// variable items), a hypothesised mean, a population SD, and all pairwise contrasts.
std::vector<std::string> g_variables;
std::map<std::string, std::vector<std::string>> g_variablesByLabel;
bool AnswerByLabel(qs::Parameters& p, const qs::CellRange&) {
    std::vector<qs::VariableChoice> list = qs::ListVariables(*p.dataset);
    for (qs::ParameterItem& item : p.items) {
        if (item.descriptor->Kind() == qs::kKindVariable) {
            item.value.variables.clear();
            const auto byLabel = g_variablesByLabel.find(item.label);
            for (const std::string& name : byLabel != g_variablesByLabel.end() ? byLabel->second : g_variables)
                if (const qs::VariableChoice* c = qs::FindVariableChoice(list, name)) item.value.variables.push_back(*c);
        } else if (item.label == "Hypothesised mean") {
            item.value.number = 60;
        } else if (item.label == "Population SD") {
            item.value.number = 5;
        } else if (item.label == "Contrasts") {
            item.value.type = qs::kValueWhole;
            item.value.number = 1;  // all pairwise: the contrasts' slots get rows
        }
    }
    p.Run(qs::Parameters::kUpdate);
    p.Run(qs::Parameters::kCheck);
    return true;
}

struct Case {
    const qs::Test::Info& info;  // named, so that the linker keeps the test's unit
    unsigned id;
    const char* stem;
    const char* workbook;
    const char* cell;
    std::vector<std::string> variables;
    std::map<std::string, std::vector<std::string>> variablesByLabel = {};
};

TEST_F(ProcedureReports, EveryTemplateSlotNamesAFieldOfItsTest) {
    qs::SetParameterDialog(AnswerByLabel);
    const Case cases[] = {
        {qs::ZTest1info, 1024, "ztest1", "list_one_header.xlsx", "A3", {"Weight"}},
        {qs::TTest1info, 1025, "ttest1", "list_one_header.xlsx", "A3", {"Weight"}},
        {qs::TTestIndependentinfo, 1026, "ttesti", "groups_by_title.xlsx", "A3", {"Low", "Medium"}},
        {qs::TTestPairedinfo, 1027, "ttestp", "list_repeat_measures.xlsx", "B3", {"Day 1", "Day 2"}},
        {qs::FTestinfo, 1028, "ftest", "groups_by_title.xlsx", "A3", {"Low", "High"}},
        {qs::ANOVA1betweeninfo, 1029, "anova1b", "groups_by_title.xlsx", "A3", {"Low", "Medium", "High"}},
        {qs::ANOVA1withininfo, 1030, "anova1w", "list_repeat_measures.xlsx", "B3", {"Day 1", "Day 2", "Day 3"}},
        {qs::ANOVA2betweeninfo, 1031, "anova2b", "tabular_two_factors.xlsx", "C5", {"Yield"},
         {{"Factor A (row)", {"Region"}}, {"Factor B (column)", {"Fertiliser"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        ASSERT_EQ(c.info.id, c.id);
        g_shown.clear();
        g_variables = c.variables;
        g_variablesByLabel = c.variablesByLabel;
        Open(c.workbook);
        Select(c.cell);
        qs::Test* before = qs::LastCompletedTest();
        qs::RunTest(static_cast<int>(c.id), qs::XlCallResult(XLF_SELECTION));
        qs::Test* test = qs::LastCompletedTest();
        ASSERT_TRUE(test && test != before) << (g_shown.empty() ? "no report" : g_shown.back());
        ASSERT_EQ(test->GetInfo().id, c.id);
        auto tpl = sheets::ReadWorkbook(std::string(TEMPLATE_FOLDER) + "/" + c.stem + ".xlt");
        for (const sheets::DefinedName& n : tpl->sheet(0).names().entries()) {
            qs::SlotName slot;
            if (!qs::ParseSlotName(n.name, slot) || slot.root != "0") continue;
            qs::FieldLocation at;
            ASSERT_TRUE(qs::LocateField(*test, slot.path, at)) << n.name;
            if (at.arrayField && !at.rest.empty()) {
                std::vector<const qs::Results*> rows = at.arrayField->blocks(*at.arrayOwner);
                ASSERT_FALSE(rows.empty()) << n.name;
                qs::FieldLocation cell;
                EXPECT_TRUE(qs::LocateField(*rows.front(), at.rest, cell)) << n.name;
            }
        }
    }
    sheets::Workbook* reports = docs->FindBook("Unfiled reports");
    ASSERT_NE(reports, nullptr);
    EXPECT_EQ(reports->sheet_count(), 8u);
}

}  // namespace
}  // namespace rptest
