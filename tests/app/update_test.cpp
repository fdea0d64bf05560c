// quelstat update and quelstat reports end to end: reports made with quelstat run, data edited by
// another program (openpyxl), reports brought up to date and checked against R; the failures of
// an update (dataset workbook moved, columns renamed, ESC) and what they leave behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "sheets/io/workbook_io.h"
#include "sheets/model/workbook.h"

namespace {

namespace fs = std::filesystem;

using apptest::Outcome;
using apptest::Slurp;

const fs::path kSource(QUELSTAT_SOURCE);
const fs::path kHelper = kSource / "tests/app/data/update_sales.py";

bool HaveOpenpyxl() { return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0; }

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

std::string Helper(const std::string& action, const fs::path& file) {
  return Capture("/usr/bin/python3 '" + kHelper.string() + "' " + action + " '" + file.string() + "' 2>&1");
}

// R's values on the changed data (tests/app/data/update_reference.R): "name value" lines.
std::map<std::string, double> Reference() {
  std::map<std::string, double> ref;
  std::ifstream in(kSource / "tests/app/data/update_reference.txt");
  std::string name, value;
  while (in >> name >> value) ref[name] = std::strtod(value.c_str(), nullptr);
  return ref;
}

struct Stats {
  double t = NAN, df = NAN, p = NAN;
};
// Each report sheet's t, DF and p as openpyxl reads them.
std::map<std::string, Stats> ReportStats(const fs::path& book) {
  std::map<std::string, Stats> out;
  std::istringstream lines(Helper("stats", book));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string sheet, t, df, p;
    if (!std::getline(fields, sheet, '\t') || !std::getline(fields, t, '\t') || !std::getline(fields, df, '\t') ||
        !std::getline(fields, p))
      continue;
    out[sheet] = {std::strtod(t.c_str(), nullptr), std::strtod(df.c_str(), nullptr), std::strtod(p.c_str(), nullptr)};
  }
  return out;
}

// The lines of a text that start with a prefix.
std::string LinesStarting(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) out += line + "\n";
  return out;
}

class UpdateCommand : public ::testing::Test {
 protected:
  fs::path home, data, reports;
  void SetUp() override {
    if (!HaveOpenpyxl()) GTEST_SKIP() << "openpyxl is not installed (python3-openpyxl): the data are not edited";
    char tmpl[] = "/tmp/qsupd.XXXXXX";
    home = ::mkdtemp(tmpl);
    fs::create_directories(home / "data");
    fs::create_directories(home / "reports");
    data = home / "data" / "sales.xlsx";
    reports = home / "reports" / "sales-reports.xlsx";
    ::setenv("QUELSTAT_HOME", (home / "settings").c_str(), 1);
    ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
  }
  void TearDown() override {
    if (!home.empty()) fs::remove_all(home);
    ::unsetenv("QUELSTAT_HOME");
    ::unsetenv("QUELSTAT_FAULT");
  }

  Outcome Quelstat(std::vector<std::string> args, const std::string& input = "") {
    return apptest::RunQuelstat(home, std::move(args), input);
  }

  // The Sales data with three reports in a reports workbook of another folder: the one sample
  // t-tests of North and South against 100, and of North against 110, one-sided.
  void MakeReports() {
    ASSERT_EQ(Helper("make", data), "");
    const std::vector<std::vector<std::string>> runs = {
        {"--cell", "Data!A2", "--test", "ttest1", "--set", "Variable=North", "--set", "Hypothesised mean=100"},
        {"--cell", "Data!B2", "--test", "ttest1", "--set", "Variable=South", "--set", "Hypothesised mean=100"},
        {"--cell", "Data!A2", "--test", "ttest1", "--set", "Variable=North", "--set", "Hypothesised mean=110", "--set",
         "Alternative hypothesis=greater than"}};
    for (const auto& run : runs) {
      std::vector<std::string> args{"run", data.string()};
      args.insert(args.end(), run.begin(), run.end());
      args.insert(args.end(), {"--name", "Sales", "--save", "--reports", reports.string(), "--defaults"});
      Outcome r = Quelstat(args);
      ASSERT_EQ(r.status, 0) << r.err;
    }
  }

  void ExpectChangedValues(const std::map<std::string, Stats>& stats, const std::string& sheet,
                           const std::string& name) {
    std::map<std::string, double> ref = Reference();
    auto it = stats.find(sheet);
    ASSERT_NE(it, stats.end()) << sheet;
    EXPECT_NEAR(it->second.t, ref[name + "_t"], 1e-9 * std::fabs(ref[name + "_t"])) << sheet;
    EXPECT_EQ(it->second.df, ref[name + "_df"]) << sheet;
    EXPECT_NEAR(it->second.p, ref[name + "_p"], 1e-9 * ref[name + "_p"]) << sheet;
  }
};

TEST_F(UpdateCommand, ReportsInAnotherFolderFollowTheirEditedData) {
  MakeReports();
  std::map<std::string, Stats> before = ReportStats(reports);
  ASSERT_EQ(before.size(), 3u);
  Outcome listed = Quelstat({"reports", reports.string()});
  ASSERT_EQ(listed.status, 0) << listed.err;
  // The dataset is found by where its workbook is, not only by its file name.
  EXPECT_NE(listed.out.find("dataset: '" + (home / "data").string() + "/[sales.xlsx]Data'!$A$1:$B$11"),
            std::string::npos)
      << listed.out;
  EXPECT_NE(listed.out.find("'Sales', layout"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("parameter 0 (variables): North"), std::string::npos) << listed.out;

  ASSERT_EQ(Helper("change", data), "");
  std::string dataAfterEdit = Slurp(data);
  std::string dumpBefore = Helper("dump", reports);
  Outcome r = Quelstat({"update", reports.string(), "--all"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "updated: t-test 1\nupdated: t-test 2\nupdated: t-test 3\n");
  EXPECT_NE(r.err.find("3 reports updated and saved in"), std::string::npos) << r.err;

  std::map<std::string, Stats> after = ReportStats(reports);
  ExpectChangedValues(after, "t-test 1", "north");
  ExpectChangedValues(after, "t-test 2", "south");
  ExpectChangedValues(after, "t-test 3", "greater");
  // The data workbook was opened to find the data and closed again, unwritten.
  EXPECT_TRUE(Slurp(data) == dataAfterEdit);
  // The reports keep their sheets, in order, and their records (the same names).
  std::string dumpAfter = Helper("dump", reports);
  EXPECT_EQ(LinesStarting(dumpAfter, "name "), LinesStarting(dumpBefore, "name "));
  EXPECT_EQ(LinesStarting(dumpAfter, "t-test 1!A"), LinesStarting(dumpBefore, "t-test 1!A"));

  // LibreOffice opens the updated workbook.
  if (std::system("command -v soffice >/dev/null 2>&1") == 0) {
    fs::path out = home / "lo";
    std::string command = "cd '" + home.string() + "' && HOME='" + home.string() +
                          "' timeout 120 soffice --headless --convert-to csv --outdir '" + out.string() + "' '" +
                          reports.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(Slurp(out / "sales-reports.csv").find("One sample t-test"), std::string::npos);
  } else {
    std::printf("LibreOffice is not installed: the updated workbook is not opened by it\n");
  }
}

TEST_F(UpdateCommand, AReportMovedIntoItsDatasetWorkbookFollowsItsData) {
  MakeReports();
  // The first report moved into the dataset's workbook with its command, and saved there.
  std::string script = "open " + reports.string() + "\nactivate t-test 1\nreport move\nsave\n";
  Outcome moved = Quelstat({"script", "-"}, script);
  ASSERT_EQ(moved.status, 0) << moved.err;
  Outcome listed = Quelstat({"reports", data.string()});
  EXPECT_NE(listed.out.find("dataset: Data!$A$1:$B$11 'Sales'"), std::string::npos) << listed.out;

  ASSERT_EQ(Helper("change", data), "");
  std::string dataSheet = LinesStarting(Helper("dump", data), "Data!");
  Outcome r = Quelstat({"update", data.string(), "--all"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "updated: t-test 1\n");
  ExpectChangedValues(ReportStats(data), "t-test 1", "north");
  EXPECT_EQ(LinesStarting(Helper("dump", data), "Data!"), dataSheet);
}

// Edit Test Parameters: the stored answers in the dialog, one changed; the run as JSON.
TEST_F(UpdateCommand, EditingAReportChangesItsStoredAnswers) {
  MakeReports();
  Outcome r = Quelstat(
      {"update", reports.string(), "--sheet", "t-test 2", "--edit", "--set", "Confidence interval=99", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"Confidence interval\":99"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Hypothesised mean\":100"), std::string::npos) << r.out;
  Outcome listed = Quelstat({"reports", reports.string(), "--json"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::size_t second = listed.out.find("\"sheet\": \"t-test 2\"");
  ASSERT_NE(second, std::string::npos) << listed.out;
  std::string entry = listed.out.substr(second, listed.out.find("\"sheet\"", second + 1) - second);
  EXPECT_NE(entry.find("\"values\": [99]"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\"values\": [\"South\"]"), std::string::npos) << entry;
}

TEST_F(UpdateCommand, AMovedDatasetWorkbookIsNamedAndNothingIsWritten) {
  MakeReports();
  std::string bytes = Slurp(reports);
  fs::create_directories(home / "elsewhere");
  fs::rename(data, home / "elsewhere" / "sales.xlsx");
  Outcome r = Quelstat({"update", reports.string(), "--sheet", "t-test 2"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Quelstat: Cannot find workbook '" + data.string() +
                       "' containing dataset 'Sales'.  The workbook has either been moved or deleted."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "not updated: t-test 2\n");
  EXPECT_TRUE(Slurp(reports) == bytes);
  // A reports workbook that travels with its data finds it beside itself.
  fs::rename(home / "elsewhere" / "sales.xlsx", home / "reports" / "sales.xlsx");
  r = Quelstat({"update", reports.string(), "--sheet", "t-test 2"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(UpdateCommand, RenamedColumnsAskForTheVariablesAgain) {
  MakeReports();
  ASSERT_EQ(Helper("rename", data), "");
  std::string bytes = Slurp(reports);
  // Without an answer the dialog is not confirmed with variables nobody chose: nothing is updated.
  Outcome r = Quelstat({"update", reports.string(), "--all"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, "not updated: t-test 1\nnot updated: t-test 2\nnot updated: t-test 3\n");
  EXPECT_TRUE(Slurp(reports) == bytes);
  r = Quelstat({"update", reports.string(), "--sheet", "t-test 1", "--set", "Variable=North (EUR)", "--dialog-trace"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Report cannot be updated because the original variable's names have changed.  Select "
                       "different variables and re-run."),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("North (EUR)"), std::string::npos) << r.err;
  EXPECT_FALSE(Slurp(reports) == bytes);
  Outcome listed = Quelstat({"reports", reports.string()});
  EXPECT_NE(listed.out.find("parameter 0 (variables): North (EUR)"), std::string::npos) << listed.out;
  // The stored hypothesised mean came through the dialog unchanged.
  EXPECT_NE(listed.out.find("(number): 100"), std::string::npos) << listed.out;
  // An answer for a variable the dataset does not have is refused, and nothing is written.
  bytes = Slurp(reports);
  r = Quelstat({"update", reports.string(), "--sheet", "t-test 2", "--set", "Variable=South"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(Slurp(reports) == bytes);
}

// Rows inserted above the data and deleted inside it through the host, with the reports workbook
// open: its dataset references follow, and the update finds the data that are left.
TEST_F(UpdateCommand, RowsInsertedAndDeletedThroughTheHostDoNotBreakAnUpdate) {
  MakeReports();
  std::string script = "open " + reports.string() + "\nopen " + data.string() +
                       "\ninsert rows Data!A1:A2\ndelete rows Data!A5:A6\nsave\nopen " + reports.string() + "\nsave\n";
  Outcome edited = Quelstat({"script", "-"}, script);
  ASSERT_EQ(edited.status, 0) << edited.err;
  Outcome listed = Quelstat({"reports", reports.string()});
  EXPECT_NE(listed.out.find("[sales.xlsx]Data'!$A$3:$B$11 'Sales'"), std::string::npos) << listed.out;
  Outcome r = Quelstat({"update", reports.string(), "--all"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectChangedValues(ReportStats(reports), "t-test 1", "deleted");
}

TEST_F(UpdateCommand, ASheetCarryingACopiedTestRecordIsAReport) {
  MakeReports();
  {
    std::unique_ptr<sheets::Workbook> book = sheets::ReadWorkbook(reports.string());
    sheets::Sheet& copy = book->AddSheet("Copied");
    for (const sheets::DefinedName& n : book->sheet(0).names().entries())
      copy.names().Define(n.name, n.refers_to, book->limits());
    sheets::SaveWorkbook(*book, reports.string());
  }
  ASSERT_EQ(Helper("change", data), "");
  Outcome r = Quelstat({"update", reports.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("updated: Copied\n"), std::string::npos) << r.out;
  ExpectChangedValues(ReportStats(reports), "Copied", "north");
}

TEST_F(UpdateCommand, EscDuringTheThirdReportKeepsTheTwoUpdated) {
  MakeReports();
  std::map<std::string, Stats> before = ReportStats(reports);
  std::string third = LinesStarting(Helper("dump", reports), "t-test 3!");
  ASSERT_EQ(Helper("change", data), "");
  // The ESC key pressed while the third report computes.
  ::setenv("QUELSTAT_FAULT", "esc@compute#3", 1);
  Outcome r = apptest::RunProgram(QUELSTAT_FAULTS_EXE, home, {"update", reports.string(), "--all"});
  ::unsetenv("QUELSTAT_FAULT");
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("Interrupted - ESC key pressed.  \n\n2 reports have been updated."), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "updated: t-test 1\nupdated: t-test 2\nnot updated: t-test 3\n");
  std::map<std::string, Stats> after = ReportStats(reports);
  ExpectChangedValues(after, "t-test 1", "north");
  ExpectChangedValues(after, "t-test 2", "south");
  EXPECT_EQ(after["t-test 3"].t, before["t-test 3"].t);
  EXPECT_EQ(LinesStarting(Helper("dump", reports), "t-test 3!"), third);
}

TEST_F(UpdateCommand, AFailedUpdateLeavesTheReportAsItWas) {
  MakeReports();
  ASSERT_EQ(Helper("change", data), "");
  fs::path copy = home / "copy.xlsx";
  // The update fails after the new report was written; the workbook is then saved as it stands.
  ::setenv("QUELSTAT_FAULT", "runtime@output", 1);
  std::string script = "open " + reports.string() + "\nactivate t-test 2\nreport update\nsave " + copy.string() + "\n";
  Outcome r = apptest::RunProgram(QUELSTAT_FAULTS_EXE, home, {"script", "-"}, script);
  ::unsetenv("QUELSTAT_FAULT");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("injected fault"), std::string::npos) << r.err;
  EXPECT_EQ(Helper("dump", copy), Helper("dump", reports));
  // Without a save asked for, nothing is written.
  std::string bytes = Slurp(reports);
  ::setenv("QUELSTAT_FAULT", "runtime@output", 1);
  r = apptest::RunProgram(QUELSTAT_FAULTS_EXE, home, {"update", reports.string(), "--all"});
  ::unsetenv("QUELSTAT_FAULT");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(Slurp(reports) == bytes);
}

// The report toolbar's commands are enabled on a report sheet only; Discard deletes the sheet.
TEST_F(UpdateCommand, TheReportCommandsFollowTheActiveSheet) {
  MakeReports();
  fs::path kept = home / "kept.xlsx";
  std::string script = "open " + reports.string() + "\nactivate t-test 2\nmenu\nopen " + data.string() +
                       "\nmenu\nreport update\nopen " + reports.string() +
                       "\nactivate t-test 2\nreport discard\nsave " + kept.string() + "\n";
  Outcome r = Quelstat({"script", "-"}, script);
  EXPECT_EQ(r.status, 1) << r.err;  // Update on the data sheet is no report command's place
  std::string onReport = r.out.substr(0, r.out.find("Toolbar \"Report\"", r.out.find("Toolbar \"Report\"") + 1));
  EXPECT_NE(onReport.find("Update                                   20095  enabled"), std::string::npos) << r.out;
  std::string onData = r.out.substr(onReport.size());
  EXPECT_NE(onData.find("Update                                   20095  disabled"), std::string::npos) << r.out;
  std::unique_ptr<sheets::Workbook> book = sheets::ReadWorkbook(kept.string());
  ASSERT_EQ(book->sheet_count(), 2u);
  EXPECT_EQ(book->sheet(0).name(), "t-test 1");
  EXPECT_EQ(book->sheet(1).name(), "t-test 3");
}

TEST_F(UpdateCommand, UsageErrors) {
  EXPECT_EQ(Quelstat({"update"}).status, 2);
  EXPECT_EQ(Quelstat({"update", "x.xlsx", "--all", "--sheet", "a"}).status, 2);
  EXPECT_EQ(Quelstat({"update", "x.xlsx", "--edit"}).status, 2);
  EXPECT_EQ(Quelstat({"update", "x.csv"}).status, 2);
  EXPECT_EQ(Quelstat({"reports"}).status, 2);
}

}  // namespace
