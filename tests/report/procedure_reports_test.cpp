// The z, t and F tests run end to end with their installed templates: the report sheet holds the
// test's results in the template's cells, and every slot of every template names a field its test
// has.
#include <cmath>
#include <filesystem>

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

// Every built test's template: each slot of the test's part names a field of the test's field
// table, and each slot of a block array's rows a field of its rows.
TEST(TemplateSlots, EverySlotNamesAFieldOfItsTest) {
    size_t checked = 0;
    for (const qs::Test::Info* info : qs::Catalogue()) {
        std::string path = std::string(TEMPLATE_FOLDER) + "/" + info->templateName + ".xlt";
        if (!std::filesystem::exists(path)) continue;
        SCOPED_TRACE(path);
        ++checked;
        qs::CRef<qs::Test> test(info->Create());
        ASSERT_TRUE(test);
        auto tpl = sheets::ReadWorkbook(path);
        for (const sheets::DefinedName& n : tpl->sheet(0).names().entries()) {
            qs::SlotName slot;
            if (!qs::ParseSlotName(n.name, slot) || slot.root != "0") continue;
            qs::FieldLocation at;
            ASSERT_TRUE(qs::LocateField(*test, slot.path, at)) << n.name;
            EXPECT_EQ(at.arrayField != nullptr, slot.kind == 'S') << n.name;
            if (at.arrayField && !at.rest.empty()) {
                ASSERT_TRUE(at.arrayField->row) << n.name;
                qs::FieldLocation cell;
                EXPECT_TRUE(qs::LocateField(*at.arrayField->row(), at.rest, cell)) << n.name;
            }
        }
    }
    EXPECT_GE(checked, 5u);  // the z, t and F tests at least
}

}  // namespace
}  // namespace rptest
