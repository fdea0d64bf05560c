// The run-test flow and the report output against the real host engine: a small test of our own
// runs on a workbook and its report lands in "Unfiled reports" with the template's slots filled.
#include <cmath>
#include <filesystem>

#include "addin/dataset/dataset_commands.h"
#include "addin/framework/report.h"
#include "addin/framework/run.h"
#include "addin/framework/selection.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "sheets/io/workbook_io.h"
#include "tests/dataset/dataset_harness.h"

namespace rptest {
namespace {

using qs::CSharedString;

// A small test: one variable, the confidence level, and blocks of every kind the output writes.
struct Row : qs::Results {
    CSharedString group;
    uint32_t n = 0;
    double mean = 0;
    const qs::FieldTable& GetFields() const override {
        static const qs::FieldTable table =
            qs::FieldTableOf<Row>().Text(2176, &Row::group).Count(2017, &Row::n).Number(2021, &Row::mean).Build();
        return table;
    }
    size_t Size() const override { return 16; }
};

class TinyTest : public qs::Test {
public:
    static int rowsWanted;
    static bool fail;
    static bool pressEscape;
    static std::string statusComputing, statusOutputting;
    static bool screenWhileComputing;

    std::vector<qs::VariableChoice> variables;
    double level = 95;
    qs::N count;
    std::vector<Row> rows;
    qs::CI ci;
    std::vector<double> values;

    void ExchangeParameters() override {
        qs::Parameters& p = *qs::Parameters::Current();
        p.Variables(qs::params::Variable404, variables);
        p.CheckVariableCount(1);
        p.Percentage(qs::params::ConfidenceInterval, level);
    }
    const Info& GetInfo() const override;
    void Compute() override {
        if (fail) qs::ThrowMessage(144, "%s%s", "SD", "Weight");
        values = qs::ChoiceValues(variables.at(0));
        count.n = static_cast<uint32_t>(values.size());
        rows.clear();
        for (int i = 0; i < rowsWanted; ++i) {
            Row r;
            r.group = CSharedString("G" + std::to_string(i + 1));
            r.n = static_cast<uint32_t>(i + 1);
            r.mean = 10.5 + i;
            rows.push_back(r);
        }
        ci.lower = level;
        ci.upper = INFINITY;
        if (pressEscape) xlm::Host::Get().escPending = true;
        statusComputing = xlm::Host::Get().statusText;
        screenWhileComputing = xlm::Host::Get().screenUpdating;
    }
    void AfterOutput(qs::ReportExcel&) override { statusOutputting = xlm::Host::Get().statusText; }
    const qs::FieldTable& GetFields() const override {
        static const qs::FieldTable table = qs::FieldTableOf<TinyTest>()
                                                .Nested(2017, &TinyTest::count, qs::kFieldTransparent)
                                                .Rows(2016, &TinyTest::rows)
                                                .Nested(2064, &TinyTest::ci, qs::kFieldTransparent)
                                                .Numbers(2066, &TinyTest::values)
                                                .Build();
        return table;
    }
    size_t Size() const override { return sizeof(*this); }
};
int TinyTest::rowsWanted = 1;
bool TinyTest::fail = false;
bool TinyTest::pressEscape = false;
std::string TinyTest::statusComputing, TinyTest::statusOutputting;
bool TinyTest::screenWhileComputing = true;

// Catalogue entry 1232 (template "reflimit", module Clinical Laboratory), which no test of this build
// claims.
constexpr unsigned kTinyId = 1232;
const qs::Test::Info TinyTestInfo(kTinyId, []() -> qs::Test* { return new TinyTest; });
const qs::Test::Info& TinyTest::GetInfo() const { return TinyTestInfo; }

std::vector<std::string> g_messages;
int g_answer = qs::IDOK;
int Record(const char* text, unsigned, unsigned) {
    g_messages.push_back(text);
    return g_answer;
}
bool ConfirmAsShown(qs::DatasetSourceExcel& s) {
    qs::ConfirmDataset(s, qs::CurrentProperties(s));
    return true;
}

// Writes the small test's template: header slots, a table row, content below it, an interval and
// an array at the bottom.
void WriteTemplate(const std::filesystem::path& folder, unsigned recordId, const std::string& sheetName = "t-test",
                   bool valuesAtTop = false, bool secondSheet = false) {
    sheets::Workbook book("template");
    sheets::Sheet& s = book.AddSheet(sheetName);
    auto slot = [&](const std::string& name, const std::string& ref) {
        s.names().Define(name, "'" + sheetName + "'!" + ref, book.limits());
    };
    s.SetText(0, 0, "Tiny report");
    slot("__sm_RR__7d0_7d1", "$B$3");
    slot("__sm_RR__7d0_7d5", "$B$4");
    slot("__sm_RR__7d0_7d6", "$B$5");
    slot("__sm_RR__7d0_7d2", "$G$6");
    slot("__sm_RR__7d0_7d4", "$H$2");
    s.SetText(8, 0, "n");
    slot("__sm_RR_0_7e1", "$B$9");
    s.SetText(10, 0, "Descriptive");
    slot("__sm_SR_0_7e0_880", "$B$11");
    if (valuesAtTop) slot("__sm_RR_0_812", "$F$3");  // between two slots of the table's row
    slot("__sm_SR_0_7e0_7e1", "$C$11");
    slot("__sm_SR_0_7e0_7e5", "$D$11");
    s.SetText(11, 0, "after table");
    s.SetText(13, 0, "CI");
    slot("__sm_RR_0_810", "$B$14:$C$14");
    s.SetText(15, 0, "values");
    slot("__sm_RR_0_842", "$B$16");  // 0x842 (2114) names no field: left alone
    if (!valuesAtTop) slot("__sm_RR_0_812", "$C$16");
    s.SetText(16, 0, "end");
    sheets::ArrayConstant record;
    record.rows = 3;
    record.cols = 1;
    record.values = {sheets::Value::Number(1), sheets::Value::Number(recordId), sheets::Value::Text("Tiny")};
    s.names().Define("__sm_TV_0", sheets::FormatArrayConstant(record), book.limits());
    if (secondSheet) book.AddSheet("Notes").SetText(0, 0, "not part of the report");
    sheets::SaveWorkbook(book, (folder / "reflimit.xlt").string(), sheets::FileFormat::Xltx);
}

class RunFlow : public dstest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        previous = qs::SetMessageBoxFrontEnd(Record);
        qs::SetDatasetPropertiesDialog(ConfirmAsShown);
        g_messages.clear();
        g_answer = qs::IDOK;
        TinyTest::rowsWanted = 1;
        TinyTest::fail = TinyTest::pressEscape = false;
        templates = home / "template";
        std::filesystem::create_directories(templates);
        WriteTemplate(templates, kTinyId);
        qs::SetTemplateFolder(templates.string() + "/");
    }
    void TearDown() override {
        qs::SetTemplateFolder("");
        qs::SetMessageBoxFrontEnd(previous);
        qs::SetDatasetPropertiesDialog(nullptr);
        HostTest::TearDown();
    }

    // A list dataset: Weight in A1:A7.
    void DataBook() {
        NewBook();
        Sheet().SetText(0, 0, "Weight");
        for (int i = 0; i < 6; ++i) Sheet().SetNumber(1 + i, 0, 60 + 2.5 * i);
        Select("A3");
        ASSERT_TRUE(qs::EnsureConfirmed(qs::FindDatasetForCommand()));  // its layout is set up
        g_messages.clear();
    }
    void BackToData() {
        std::string error;
        ASSERT_TRUE(docs->ActivateSheet("[Book1]Sheet1", error)) << error;
        Select("A3");
    }
    // Runs the small test as its menu command does.
    void RunTiny() {
        try {
            qs::RunTest(kTinyId, qs::XlCallResult(XLF_SELECTION));
        } catch (qs::CException* e) {
            g_messages.push_back(dstest::ExceptionText(e));
        }
    }
    sheets::Workbook* Reports() { return docs->FindBook("Unfiled reports"); }
    static std::string TextAt(const sheets::Sheet& s, uint32_t row, uint32_t col) {
        sheets::Value v = s.GetValue(row, col);
        return v.type == sheets::ValueType::Text ? v.text : std::string();
    }
    static double NumberAt(const sheets::Sheet& s, uint32_t row, uint32_t col) {
        sheets::Value v = s.GetValue(row, col);
        return v.type == sheets::ValueType::Number ? v.number : NAN;
    }

    std::filesystem::path templates;
    qs::MessageBoxFrontEnd previous = nullptr;
};

TEST_F(RunFlow, ReportLandsInUnfiledReportsWithSlotsFilledAndRecordsKept) {
    DataBook();
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    sheets::Workbook* reports = Reports();
    ASSERT_NE(reports, nullptr);
    ASSERT_EQ(reports->sheet_count(), 1u);        // the new workbook's own first sheet is gone
    EXPECT_EQ(docs->WorkbookNames().size(), 2u);  // data and reports; the template workbook closed
    const sheets::Sheet& s = reports->sheet(0);
    EXPECT_EQ(s.name().rfind("t-test ", 0), 0u) << s.name();

    EXPECT_EQ(TextAt(s, 2, 1), "Reference interval");
    EXPECT_EQ(TextAt(s, 3, 1), "Dataset 1");
    EXPECT_EQ(TextAt(s, 4, 1), "Weight");
    EXPECT_EQ(TextAt(s, 1, 7), "Clinical Laboratory");
    EXPECT_GT(NumberAt(s, 5, 6), 40000);  // a date serial
    EXPECT_EQ(NumberAt(s, 8, 1), 6);
    EXPECT_EQ(TextAt(s, 10, 1), "G1");
    EXPECT_EQ(NumberAt(s, 10, 2), 1);
    EXPECT_EQ(NumberAt(s, 10, 3), 10.5);
    EXPECT_EQ(NumberAt(s, 13, 1), 95);
    EXPECT_EQ(TextAt(s, 13, 2), "\xE2\x88\x9E");  // an open end shows as the infinity sign
    for (int i = 0; i < 6; ++i) EXPECT_EQ(NumberAt(s, 15 + i, 2), 60 + 2.5 * i);
    EXPECT_EQ(s.GetValue(15, 1).type, sheets::ValueType::Empty);
    EXPECT_EQ(TextAt(s, 21, 0), "end");  // moved down by the five added array rows

    // Only the report's own records are left.
    std::vector<std::string> names;
    for (const sheets::DefinedName& n : s.names().entries()) names.push_back(n.name);
    EXPECT_EQ(names, (std::vector<std::string>{"__sm_TV_0", "__sm_ER_0", "__sm_EV_1", "__sm_VV_0", "__sm_VV_1"}));
    EXPECT_EQ(s.names().Find("__sm_ER_0")->refers_to, "[Book1]Sheet1!$A$1:$A$7");
    EXPECT_EQ(s.names().Find("__sm_EV_1")->refers_to, "{2;\"Dataset 1\";FALSE}");
    EXPECT_EQ(s.names().Find("__sm_TV_0")->refers_to, "{1;1232;\"Reference interval\"}");
    EXPECT_EQ(s.names().Find("__sm_VV_1")->refers_to.substr(0, 10), "{134218756");  // 0x08000404, a number

    // The finished sheet: view options, A1 selected, a report sheet to the add-in.
    EXPECT_FALSE(s.view().headings);
    EXPECT_TRUE(s.view().gridlines);
    EXPECT_EQ(s.view().active_cell, (sheets::CellAddress{0, 0}));
    EXPECT_TRUE(qs::IsReportSheet("[" + reports->name() + "]" + s.name()));
    ASSERT_NE(qs::LastCompletedTest(), nullptr);
    EXPECT_EQ(qs::LastCompletedTest()->GetInfo().id, kTinyId);

    // What the status bar said, and the screen kept still meanwhile.
    EXPECT_EQ(TinyTest::statusComputing, "Updating report: calculating...  (ESC to cancel)");
    EXPECT_EQ(TinyTest::statusOutputting, "Updating report: outputting...  (ESC to cancel)");
    EXPECT_FALSE(TinyTest::screenWhileComputing);
}

TEST_F(RunFlow, RunningTwiceNumbersTheSheetsOneAfterTheOther) {
    DataBook();
    RunTiny();
    BackToData();
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    sheets::Workbook* reports = Reports();
    ASSERT_NE(reports, nullptr);
    ASSERT_EQ(reports->sheet_count(), 2u);
    long first = std::stol(reports->sheet(0).name().substr(7));
    EXPECT_EQ(reports->sheet(1).name(), "t-test " + std::to_string(first + 1));
    EXPECT_EQ(docs->WorkbookNames().size(), 2u);
}

TEST_F(RunFlow, ALongTemplateSheetNameIsCutToLeaveRoomForTheNumber) {
    const std::string stem = "Comparison of two group means X";  // 31 characters
    WriteTemplate(templates, kTinyId, stem);
    DataBook();
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    const std::string name = Reports()->sheet(0).name();
    EXPECT_EQ(name.size(), 31u) << name;
    EXPECT_EQ(name.rfind("Comparison of two group mea", 0), 0u) << name;
    EXPECT_GT(std::stol(name.substr(name.rfind(' ') + 1)), 0) << name;  // "... <n>"
    EXPECT_EQ(Reports()->sheet(0).GetValue(8, 1).number, 6);
}

TEST_F(RunFlow, ArrayRowsAreInsertedAndContentBelowMoves) {
    DataBook();
    TinyTest::rowsWanted = 4;
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    const sheets::Sheet& s = Reports()->sheet(0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(TextAt(s, 10 + i, 1), "G" + std::to_string(i + 1));
        EXPECT_EQ(NumberAt(s, 10 + i, 3), 10.5 + i);
    }
    EXPECT_EQ(TextAt(s, 14, 0), "after table");
    EXPECT_EQ(NumberAt(s, 16, 1), 95);  // the interval moved down with its slot
    EXPECT_EQ(NumberAt(s, 18, 2), 60);
    EXPECT_EQ(TextAt(s, 24, 0), "end");
}

// An array above a table, named between the table's own slots: each still gets its rows once.
TEST_F(RunFlow, ArraysGrowOnceWhateverTheOrderOfTheSlotNames) {
    WriteTemplate(templates, kTinyId, "t-test", true);
    DataBook();
    TinyTest::rowsWanted = 3;
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    const sheets::Sheet& s = Reports()->sheet(0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(NumberAt(s, 2 + i, 5), 60 + 2.5 * i);
    EXPECT_EQ(TextAt(s, 15, 0), "Descriptive");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(TextAt(s, 15 + i, 1), "G" + std::to_string(i + 1));
        EXPECT_EQ(NumberAt(s, 15 + i, 2), i + 1);
    }
    EXPECT_EQ(TextAt(s, 18, 0), "after table");
    EXPECT_EQ(TextAt(s, 23, 0), "end");
}

// A table never passes row 16384: longer arrays are cut there.
TEST_F(RunFlow, ArraysStopAtRow16384) {
    DataBook();
    TinyTest::rowsWanted = 16500;
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    const sheets::Sheet& s = Reports()->sheet(0);
    EXPECT_EQ(TextAt(s, 16383, 1), "G16374");  // the table starts on row 11
    EXPECT_EQ(NumberAt(s, 16383, 3), 10.5 + 16373);
    EXPECT_EQ(s.Get(16383, 3).format, s.Get(10, 3).format);
    EXPECT_EQ(s.GetValue(16384, 1).type, sheets::ValueType::Empty);
    EXPECT_EQ(TextAt(s, 16384, 0), "after table");  // pushed down below the full table
}

TEST_F(RunFlow, ATemplatesOtherSheetsDoNotStayBehind) {
    WriteTemplate(templates, kTinyId, "t-test", false, true);
    DataBook();
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    EXPECT_EQ(docs->WorkbookNames().size(), 2u);
    EXPECT_EQ(Reports()->sheet_count(), 1u);
}

TEST_F(RunFlow, ForeignTemplateGives137AndLeavesNoWorkbook) {
    WriteTemplate(templates, 1009);
    DataBook();
    RunTiny();
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0],
              "The Quelstat report template for this test is corrupt (n=1, id=1009, rid=1232). Please re-install "
              "Quelstat to repair the corrupted template file.");
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book1"});
}

TEST_F(RunFlow, MissingTemplateGives137) {
    std::filesystem::remove(templates / "reflimit.xlt");
    DataBook();
    RunTiny();
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].substr(0, 77),
              "The Quelstat report template for this test is corrupt (n=0, id=-1, rid=1232).");
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book1"});
}

TEST_F(RunFlow, FailingComputeLeavesNoSheetAndNoWorkbook) {
    DataBook();
    TinyTest::fail = true;
    RunTiny();
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Test cannot be computed.  SD of Weight is zero.");
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book1"});

    // With a reports workbook already there, only the half-made sheet goes.
    TinyTest::fail = false;
    g_messages.clear();
    BackToData();
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    ASSERT_NE(Reports(), nullptr);
    BackToData();
    TinyTest::fail = true;
    RunTiny();
    EXPECT_EQ(Reports()->sheet_count(), 1u);
    EXPECT_EQ(docs->WorkbookNames().size(), 2u);
}

TEST_F(RunFlow, EscapeDuringComputeShows307AndLeavesNoSheet) {
    DataBook();
    TinyTest::pressEscape = true;
    RunTiny();
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Interrupted - ESC key pressed.\n\nTest has not been performed.");
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book1"});
    xlm::Host::Get().escPending = false;
}

TEST_F(RunFlow, CancelledNewDatasetPromptLeavesNoWorkbook) {
    NewBook();
    Sheet().SetText(0, 0, "Weight");
    for (int i = 0; i < 6; ++i) Sheet().SetNumber(1 + i, 0, 60 + i);
    Select("A3");
    g_answer = qs::IDCANCEL;
    RunTiny();
    ASSERT_EQ(g_messages.size(), 1u);  // only the question
    EXPECT_EQ(g_messages[0].rfind("Quelstat has found a new dataset", 0), 0u);
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book1"});
}

TEST_F(RunFlow, DatasetThatCannotServeTheTestGivesItsRequirementMessage) {
    NewBook();
    Sheet().SetText(0, 0, "Name");
    for (int i = 1; i < 7; ++i) Sheet().SetText(static_cast<uint32_t>(i), 0, "x" + std::to_string(i));
    Select("A3");
    RunTiny();
    ASSERT_EQ(g_messages.size(), 2u);  // the new-dataset question, then the requirement
    EXPECT_EQ(g_messages[1], "Dataset for Reference interval must contain a continuous variable.");
    EXPECT_EQ(docs->WorkbookNames(), std::vector<std::string>{"Book1"});
}

TEST_F(RunFlow, SmallScreensGetZoom85) {
    xlm::HostOptions options;
    options.screenWidth = 640;
    options.screenHeight = 480;
    xlm::Host::Reset(options);
    xlm::InstallModelDocuments();
    docs = static_cast<xlm::ModelDocuments*>(xlm::Host::Get().documents);
    DataBook();
    RunTiny();
    ASSERT_TRUE(g_messages.empty()) << g_messages.front();
    EXPECT_EQ(Reports()->sheet(0).view().zoom, 85u);
}

TEST_F(RunFlow, ReportSheetsAreRecognisedByTheirTestRecord) {
    NewBook();
    EXPECT_FALSE(qs::IsReportSheet("[Book1]Sheet1"));
    Sheet().names().Define("__sm_TV_0", "{1;1026;\"Independent samples t-test\"}", Sheet().limits());
    EXPECT_TRUE(qs::IsReportSheet("[Book1]Sheet1"));
    // A workbook-level name of that spelling does not make a sheet a report.
    NewBook();
    docs->ActiveBook()->names().Define("__sm_TV_0", "1", Sheet().limits());
    EXPECT_FALSE(qs::IsReportSheet("[Book2]Sheet1"));
}

}  // namespace
}  // namespace rptest
