// Host functions the run flow relies on: names follow inserted and deleted cells and renamed
// sheets, sheets move between workbooks, templates open by their content.
#include <filesystem>

#include "addin/host/xlcalls.h"
#include "sheets/io/workbook_io.h"
#include "tests/dataset/dataset_harness.h"

namespace rptest {
namespace {

class HostEdit : public dstest::HostTest {
protected:
    std::string RefersTo(const std::string& name) {
        const sheets::DefinedName* n = Sheet().names().Find(name);
        return n ? n->refers_to : "(none)";
    }
    void Define(const std::string& name, const std::string& ref) {
        Sheet().names().Define(name, ref, Sheet().limits());
    }
};

TEST_F(HostEdit, InsertedRowsMoveNamesAndCellsBelowAndGrowNamesAcrossThem) {
    NewBook();
    Define("Above", "Sheet1!$B$2");
    Define("Slot", "Sheet1!$B$3");
    Define("Spanning", "Sheet1!$B$2:$C$6");
    Define("Below", "Sheet1!$B$5:$C$5");
    Define("Beside", "Sheet1!$H$5");  // outside the shifted columns
    Sheet().SetText(4, 0, "caption");
    Sheet().Merge(sheets::RangeAddress{{5, 0}, {5, 2}});
    Select("A4:C5");
    qs::XlCall(XLC_INSERT, {2});
    EXPECT_EQ(RefersTo("Above"), "Sheet1!$B$2");
    EXPECT_EQ(RefersTo("Slot"), "Sheet1!$B$3");
    EXPECT_EQ(RefersTo("Spanning"), "Sheet1!$B$2:$C$8");
    EXPECT_EQ(RefersTo("Below"), "Sheet1!$B$7:$C$7");
    EXPECT_EQ(RefersTo("Beside"), "Sheet1!$H$5");
    EXPECT_EQ(Sheet().GetValue(6, 0).text, "caption");
    ASSERT_EQ(Sheet().merged().size(), 1u);
    EXPECT_EQ(Sheet().merged()[0], (sheets::RangeAddress{{7, 0}, {7, 2}}));

    // Deleting takes them back; a name whose cells are all deleted refers to #REF!.
    Select("A4:C5");
    qs::XlCall(XLC_EDIT_DELETE, {2});
    EXPECT_EQ(RefersTo("Below"), "Sheet1!$B$5:$C$5");
    EXPECT_EQ(RefersTo("Spanning"), "Sheet1!$B$2:$C$6");
    Select("A5:C5");
    qs::XlCall(XLC_EDIT_DELETE, {2});
    EXPECT_EQ(RefersTo("Below"), "#REF!");
    EXPECT_EQ(RefersTo("Spanning"), "Sheet1!$B$2:$C$5");
}

TEST_F(HostEdit, RenamingASheetKeepsItsNamesPointingAtIt) {
    NewBook();
    Define("Local", "Sheet1!$A$1:$B$2");
    docs->ActiveBook()->names().Define("Global", "Sheet1!$C$3", Sheet().limits());
    qs::XlCall(XLC_WORKBOOK_NAME, {"[Book1]Sheet1", "t-test 1"});
    EXPECT_EQ(RefersTo("Local"), "'t-test 1'!$A$1:$B$2");
    EXPECT_EQ(docs->ActiveBook()->names().Find("Global")->refers_to, "'t-test 1'!$C$3");
}

TEST_F(HostEdit, MovingTheOnlySheetClosesItsWorkbookAndATakenNameGetsANumber) {
    NewBook();  // Book1
    Sheet().SetText(0, 0, "kept");
    NewBook();  // Book2, whose Sheet1 clashes
    qs::XlCall(XLC_WORKBOOK_MOVE, {"[Book1]Sheet1", "Book2", 2});
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book2"});
    sheets::Workbook* b = docs->FindBook("Book2");
    ASSERT_EQ(b->sheet_count(), 2u);
    EXPECT_EQ(b->sheet(1).name(), "Sheet1 (2)");
    EXPECT_EQ(b->sheet(1).GetValue(0, 0).text, "kept");
    EXPECT_EQ(docs->ActiveSheet(), &b->sheet(1));
}

TEST_F(HostEdit, TemplatesOpenByContentAndFileNamesIgnoreCase) {
    sheets::Workbook t("t");
    t.AddSheet("Report").SetText(0, 0, "from template");
    std::string folder = home.string();
    sheets::SaveWorkbook(t, folder + "/report.xlt", sheets::FileFormat::Xltx);
    sheets::SaveWorkbook(t, folder + "/plain.xlsx", sheets::FileFormat::Xltx);  // a template named .xlsx
    qs::XlCall(XLC_OPEN, {folder + "/REPORT.XLT"});
    sheets::Workbook* made = docs->ActiveBook();
    EXPECT_EQ(made->name(), "Book1");  // a new untitled workbook
    EXPECT_TRUE(made->path().empty());
    EXPECT_EQ(made->sheet(0).GetValue(0, 0).text, "from template");
    qs::XlCall(XLC_OPEN, {folder + "/plain.xlsx"});
    EXPECT_EQ(docs->ActiveBook()->name(), "Book2");

    // A hidden active window gives way to the one used before it, not merely the last opened.
    NewBook();  // Book3
    qs::XlCall(XLC_ACTIVATE, {"Book1"});
    qs::XlCall(XLC_OPEN, {folder + "/report.xlt"});  // Book4
    qs::XlCall(XLC_HIDE);
    EXPECT_EQ(docs->ActiveBook()->name(), "Book1");
}

}  // namespace
}  // namespace rptest
