// The z, t and F tests run end to end with their installed templates: the report sheet holds the
// test's results in the template's cells, and every slot of every template names a field its test
// has.
#include <cmath>

#include "addin/host/xlcalls.h"
#include "addin/procedures/ttest.h"
#include "sheets/io/workbook_io.h"
#include "tests/report/report_harness.h"

namespace rptest {
namespace {

using ProcedureReports = ReportRun;

TEST_F(ProcedureReports, ValuesLandInTheTemplatesCells) {
    ASSERT_EQ(qs::TTestIndependentinfo.id, 1026u);
    Open("groups_by_title.xlsx");
    Select("A3");
    qs::RunTest(1026, qs::XlCallResult(XLF_SELECTION));
    ASSERT_TRUE(Shown().size() <= 1) << LastShown();  // at most the new-dataset question
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

// Answers for any of the five tests: the variables by name, a hypothesised mean and a population SD.
std::vector<std::string> g_variables;
bool AnswerByLabel(qs::Parameters& p, const qs::CellRange&) {
    std::vector<qs::VariableChoice> list = qs::ListVariables(*p.dataset);
    for (qs::ParameterItem& item : p.items) {
        if (item.descriptor->Kind() == qs::kKindVariable) {
            item.value.variables.clear();
            for (const std::string& name : g_variables)
                if (const qs::VariableChoice* c = qs::FindVariableChoice(list, name)) item.value.variables.push_back(*c);
        } else if (item.label == "Hypothesised mean") {
            item.value.number = 60;
        } else if (item.label == "Population SD") {
            item.value.number = 5;
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
};

TEST_F(ProcedureReports, EveryTemplateSlotNamesAFieldOfItsTest) {
    qs::SetParameterDialog(AnswerByLabel);
    const Case cases[] = {
        {qs::ZTest1info, 1024, "ztest1", "list_one_header.xlsx", "A3", {"Weight"}},
        {qs::TTest1info, 1025, "ttest1", "list_one_header.xlsx", "A3", {"Weight"}},
        {qs::TTestIndependentinfo, 1026, "ttesti", "groups_by_title.xlsx", "A3", {"Low", "Medium"}},
        {qs::TTestPairedinfo, 1027, "ttestp", "list_repeat_measures.xlsx", "B3", {"Day 1", "Day 2"}},
        {qs::FTestinfo, 1028, "ftest", "groups_by_title.xlsx", "A3", {"Low", "High"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        ASSERT_EQ(c.info.id, c.id);
        Shown().clear();
        g_variables = c.variables;
        Open(c.workbook);
        Select(c.cell);
        qs::Test* before = qs::LastCompletedTest();
        qs::RunTest(static_cast<int>(c.id), qs::XlCallResult(XLF_SELECTION));
        qs::Test* test = qs::LastCompletedTest();
        ASSERT_TRUE(test && test != before) << (Shown().empty() ? "no report" : LastShown());
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
    EXPECT_EQ(reports->sheet_count(), 5u);
}

}  // namespace
}  // namespace rptest
