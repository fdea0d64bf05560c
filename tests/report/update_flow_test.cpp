// Report update in the host engine: a report made by the independent-samples t-test is computed again
// in place after its data changed; an update that cannot find its dataset, or meets ESC, leaves the
// old sheet as it was and says why.
#include <cmath>

#include "addin/framework/update.h"
#include "addin/host/xlcalls.h"
#include "addin/resources/string_ids.h"
#include "tests/report/report_harness.h"

namespace rptest {
namespace {

// What a sheet holds, cells and names, as text: two equal fingerprints are the same sheet content.
std::string Fingerprint(const sheets::Sheet& s) {
    std::string out;
    s.ForEachCell([&](uint32_t row, uint32_t col, const sheets::CellView& cell) {
        out += std::to_string(row) + "," + std::to_string(col) + "=";
        if (cell.type == sheets::ValueType::Number) out += std::to_string(cell.number);
        if (cell.type == sheets::ValueType::Text) out += std::string(cell.text);
        out += "\n";
    });
    for (const sheets::DefinedName& n : s.names().entries()) out += n.name + "=" + n.refers_to + "\n";
    return out;
}

class UpdateFlow : public ReportRun {
protected:
    // The t-test on the fixture's groups Low and Medium; its report sheet.
    void MakeReport() {
        Open("groups_by_title.xlsx");
        dataBook = docs->ActiveBook()->name();
        Select("A3");
        qs::RunTest(1026, qs::XlCallResult(XLF_SELECTION));
        Shown().clear();
        reports = docs->FindBook("Unfiled reports");
        ASSERT_NE(reports, nullptr);
        ASSERT_EQ(reports->sheet_count(), 1u);
        reports->sheet(0).page_setup().paper_size = 9;
        sheetName = reports->sheet(0).name();
    }
    std::string Key() const { return "[" + reports->name() + "]" + sheetName; }
    qs::CRef<qs::ReportExcel> Report() {
        return qs::CRef<qs::ReportExcel>(new qs::ReportExcel(qs::XlCallResult(xlSheetId, {Key()}).SheetId(), true));
    }
    double Mean(const sheets::Sheet& s) { return s.GetValue(10, 3).number; }  // D11: Low's mean
    const sheets::Sheet& ReportSheet() { return *reports->FindSheet(sheetName); }
    sheets::Sheet& DataSheet() { return docs->FindBook(dataBook)->sheet(0); }

    // The report cannot be updated: the message, and the sheet is as it was.
    void ExpectRefused(const std::string& message) {
        std::string before = Fingerprint(ReportSheet());
        const sheets::Sheet* sheet = &ReportSheet();
        qs::CRef<qs::ReportExcel> report = Report();
        EXPECT_FALSE(qs::UpdateReport(*report, false, false));
        EXPECT_EQ(LastShown(), message);
        EXPECT_EQ(reports->sheet_count(), 1u);
        EXPECT_EQ(&ReportSheet(), sheet);
        EXPECT_EQ(Fingerprint(ReportSheet()), before);
    }
    void Redefine(const std::string& name, const std::string& refersTo) {
        reports->FindSheet(sheetName)->names().Define(name, refersTo, reports->limits());
    }

    sheets::Workbook* reports = nullptr;
    std::string dataBook, sheetName;
};

TEST_F(UpdateFlow, UpdateComputesTheReportAgainInItsPlace) {
    MakeReport();
    double mean = Mean(ReportSheet());
    EXPECT_NEAR(mean, 61.4, 1e-12);
    std::string names;
    for (const sheets::DefinedName& n : ReportSheet().names().entries()) names += n.name + " ";
    // A value of the group Low changes by 5: its mean moves by 1.
    sheets::CellAddress changed{};
    DataSheet().ForEachCell([&](uint32_t row, uint32_t col, const sheets::CellView& cell) {
        if (cell.type == sheets::ValueType::Number && changed.row == 0) changed = {row, col};
    });
    DataSheet().SetNumber(changed.row, changed.col, DataSheet().GetValue(changed.row, changed.col).number + 5);
    const sheets::Sheet* old = &ReportSheet();
    size_t books = docs->WorkbookNames().size();

    qs::CRef<qs::ReportExcel> report = Report();
    qs::CRef<qs::ReportExcel> updated = qs::UpdateReport(*report, false, false);
    ASSERT_TRUE(updated) << LastShown();
    EXPECT_TRUE(Shown().empty()) << LastShown();
    ASSERT_EQ(reports->sheet_count(), 1u);
    EXPECT_NE(&reports->sheet(0), old);  // a new sheet took the old one's place and name
    EXPECT_EQ(reports->sheet(0).name(), sheetName);
    EXPECT_NEAR(Mean(reports->sheet(0)), mean + 1, 1e-12);
    EXPECT_EQ(reports->sheet(0).page_setup().paper_size, 9u);
    std::string after;
    for (const sheets::DefinedName& n : reports->sheet(0).names().entries()) after += n.name + " ";
    EXPECT_EQ(after, names);
    EXPECT_EQ(docs->WorkbookNames().size(), books);  // no template workbook left behind
}

// Rows deleted inside the dataset through the host's Delete command: the update finds the data that
// are left.
TEST_F(UpdateFlow, RowsDeletedInsideTheDatasetDoNotBreakAnUpdate) {
    MakeReport();
    std::string error;
    ASSERT_TRUE(docs->ActivateSheet("[" + dataBook + "]Groups", error)) << error;
    Select("A4:C4");  // Low 62, Medium 68, High 78
    qs::XlCall(XLC_EDIT_DELETE, {2});
    qs::CRef<qs::ReportExcel> report = Report();
    ASSERT_TRUE(qs::UpdateReport(*report, false, false)) << LastShown();
    EXPECT_TRUE(Shown().empty()) << LastShown();
    EXPECT_EQ(ReportSheet().GetValue(10, 2).number, 4);  // Low's n
    EXPECT_NEAR(Mean(ReportSheet()), 61.25, 1e-12);
    EXPECT_EQ(ReportSheet().GetValue(11, 2).number, 6);  // Medium's n
}

// A dataset in a workbook that is not open: the update opens it, hidden, and closes it again as it was.
TEST_F(UpdateFlow, TheDatasetsWorkbookIsOpenedForTheUpdateAndClosedAgain) {
    MakeReport();
    sheets::Workbook* data = docs->FindBook(dataBook);
    ASSERT_NE(data, nullptr);
    ASSERT_FALSE(data->path().empty());
    docs->CloseBook(data);
    size_t books = docs->WorkbookNames().size();
    qs::CRef<qs::ReportExcel> report = Report();
    ASSERT_TRUE(qs::UpdateReport(*report, false, false)) << LastShown();
    EXPECT_EQ(docs->FindBook(dataBook), nullptr);
    EXPECT_EQ(docs->WorkbookNames().size(), books);
    EXPECT_NEAR(Mean(ReportSheet()), 61.4, 1e-12);
}

TEST_F(UpdateFlow, AReportWhoseDatasetCannotBeFoundStaysAsItWas) {
    MakeReport();
    const sheets::DefinedName* layout = ReportSheet().names().Find("__sm_EV_1");
    ASSERT_TRUE(layout && layout->kind == sheets::DefinedName::Kind::Array && layout->array.values.size() == 3);
    std::string name = layout->array.values[1].text;
    std::string shownName = name.empty() ? "" : " '" + name + "'";
    int code = static_cast<int>(layout->array.values[0].number);
    std::string reference = ReportSheet().names().Find("__sm_ER_0")->refers_to;

    // The layout stored differs from the dataset's now.
    Redefine("__sm_EV_1", "{" + std::to_string(code + 1) + ";\"" + name + "\";FALSE}");
    ExpectRefused(qs::FormatMessage(qs::ids::kMessageLayoutChanged, "%s", shownName.c_str()).str());
    Redefine("__sm_EV_1", "{" + std::to_string(code) + ";\"" + name + "\";FALSE}");
    // The dataset's sheet is gone.
    Redefine("__sm_ER_0", "[" + dataBook + "]Gone!$A$1:$C$9");
    ExpectRefused(
        qs::FormatMessage(qs::ids::kMessageDatasetNotFound, "%s%s", dataBook.c_str(), shownName.c_str()).str());
    // No dataset record: the stored parameters are of no use.
    reports->FindSheet(sheetName)->names().Remove("__sm_ER_0");
    ExpectRefused(qs::LoadString(qs::ids::kMessageParametersInvalid).str());
    // A stored variable the dataset no longer has: message 138, then the dialog (which picks the
    // groups again), and the report is updated.
    Redefine("__sm_ER_0", reference);
    Redefine("__sm_VV_0", "{16;9222;2;\"Weight - Lost\";\"Weight - Medium\"}");
    qs::CRef<qs::ReportExcel> report = Report();
    Shown().clear();
    EXPECT_TRUE(qs::UpdateReport(*report, false, false)) << LastShown();
    ASSERT_FALSE(Shown().empty());
    EXPECT_EQ(Shown().front(), qs::LoadString(qs::ids::kMessageVariablesRenamed).str());
}

// The dialog of a user who puts the confidence level right.
bool LevelOf95(qs::Parameters& p, const qs::CellRange&) {
    qs::ParameterItem* level = p.FindByLabel("Confidence interval");
    if (!level) return false;
    level->value.number = 95;
    p.Run(qs::Parameters::kUpdate);
    p.Run(qs::Parameters::kCheck);
    return true;
}

// A stored answer that today's checks refuse: message 133 with the check's text, then the dialog.
TEST_F(UpdateFlow, AStoredAnswerTheChecksRefuseIsEditedInTheDialog) {
    MakeReport();
    const sheets::DefinedName* level = ReportSheet().names().Find("__sm_VV_3");
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(level->refers_to, "{134218756;258;95}");  // a number (0x08000404), word 0x102, 95
    Redefine("__sm_VV_3", "{134218756;258;200}");
    qs::SetParameterDialog(LevelOf95);
    qs::CRef<qs::ReportExcel> report = Report();
    EXPECT_TRUE(qs::UpdateReport(*report, false, false)) << LastShown();
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown().front(),
              "Confidence interval must be a percentage between 50% and 100%. Edit the test parameters and re-run.");
    EXPECT_EQ(ReportSheet().names().Find("__sm_VV_3")->refers_to, "{134218756;258;95}");
}

TEST_F(UpdateFlow, EscDuringAnUpdateKeepsTheOldReport) {
    MakeReport();
    std::string before = Fingerprint(ReportSheet());
    qs::CRef<qs::ReportExcel> report = Report();
    xlm::Host::Get().escPending = true;
    EXPECT_FALSE(qs::UpdateReport(*report, false, false));
    xlm::Host::Get().escPending = false;
    EXPECT_EQ(LastShown(), qs::LoadString(qs::ids::kMessageUpdateInterrupted).str());
    EXPECT_EQ(reports->sheet_count(), 1u);
    EXPECT_EQ(Fingerprint(ReportSheet()), before);
    // Update All stopped during its first report: none updated.
    xlm::Host::Get().escPending = true;
    EXPECT_EQ(qs::UpdateAllReports(reports->name()), 0);
    xlm::Host::Get().escPending = false;
    EXPECT_EQ(LastShown(), qs::LoadString(qs::ids::kMessageNoReportsUpdated).str());
    EXPECT_EQ(Fingerprint(ReportSheet()), before);
}

TEST_F(UpdateFlow, TheDatasetReferenceIsSplitIntoItsParts) {
    qs::DatasetReference r;
    ASSERT_TRUE(qs::SplitDatasetReference("='/data/q''s/[Sales.xlsx]Year 1'!$A$3:$C$40", r));
    EXPECT_EQ(r.workbook, "/data/q's/Sales.xlsx");
    EXPECT_EQ(r.sheet, "Year 1");
    EXPECT_EQ(r.range, "$A$3:$C$40");
    ASSERT_TRUE(qs::SplitDatasetReference("=[Sales.xlsx]Data!$A$1:$B$9", r));
    EXPECT_EQ(r.workbook, "Sales.xlsx");
    EXPECT_EQ(r.sheet, "Data");
    ASSERT_TRUE(qs::SplitDatasetReference("=Data!$A$1", r));
    EXPECT_EQ(r.workbook, "");
    EXPECT_EQ(r.range, "$A$1");
    EXPECT_FALSE(qs::SplitDatasetReference("=$A$1", r));
    EXPECT_FALSE(qs::SplitDatasetReference("='Data!$A$1", r));
    EXPECT_FALSE(qs::SplitDatasetReference("=Data!$A$1,Data!$C$1", r));
}

}  // namespace
}  // namespace rptest
