// quelstat run, tests and variable end to end: the real program with the real add-in on the example
// workbooks, as a user runs them from a shell.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

using apptest::kExamples;
using apptest::Outcome;
using apptest::Slurp;

class RunCommand : public apptest::ScratchSettings {
 protected:
  // Runs a test with --json on a copy of an example workbook, each of `set` as a --set answer.
  Outcome RunExampleJson(const std::string& file, const std::string& cell, const std::string& test,
                         const std::vector<std::string>& set, const fs::path& reports) {
    std::vector<std::string> args{"run",       Example(file).string(), "--cell", cell, "--test", test, "--json",
                                  "--reports", reports.string()};
    for (const std::string& s : set) args.insert(args.end(), {"--set", s});
    return Quelstat(args);
  }
};

// The number after "KEY": in a JSON text (the first occurrence after `from`), NaN when absent.
double JsonNumber(const std::string& json, const std::string& key, std::size_t from = 0) {
  std::size_t at = json.find("\"" + key + "\":", from);
  if (at == std::string::npos) return std::nan("");
  at += key.size() + 3;
  while (at < json.size() && (json[at] == ' ' || json[at] == '[')) ++at;
  return std::strtod(json.c_str() + at, nullptr);
}

// Reference values made by R (tests/app/data/examples_reference.R): "name value" lines.
std::map<std::string, double> Reference() {
  std::map<std::string, double> ref;
  std::ifstream in(fs::path(QUELSTAT_SOURCE) / "tests/app/data/examples_reference.txt");
  std::string name, value;
  while (in >> name >> value) ref[name] = std::strtod(value.c_str(), nullptr);  // takes R's "-Inf" too
  return ref;
}

void ExpectClose(double got, double want, double relative, const std::string& what) {
  EXPECT_LE(std::fabs(got - want), relative * std::fabs(want)) << what << ": got " << got << ", R gives " << want;
}

}  // namespace

TEST_F(RunCommand, UsageErrorsExitTwoAndWriteNothing) {
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "no such test"});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("no test \"no such test\""), std::string::npos) << r.err;
  r = Quelstat({"run", book.string(), "--test", "ttesti"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("run needs --cell"), std::string::npos) << r.err;
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--set", "no equals sign"});
  EXPECT_EQ(r.status, 2);
  // An answer for an item the dialog does not have cancels the dialog: nothing runs, and the answers
  // given with it are not remembered for the next run.
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--set", "Confidence interval=80", "--set",
                "Confidence levle=80"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("\"Confidence levle=...\" matched no item"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--dialog-trace"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("field \"Confidence interval:\" = \"95\""), std::string::npos) << r.err;
  fs::remove(work / "cholesterol-diet-reports.xlsx");
  // The reports never replace the input.
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--reports", book.string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("names the input workbook"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(book), Slurp(kExamples / "cholesterol-diet.xlsx"));
  EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
}

TEST_F(RunCommand, TestsListsTheCatalogueWithWhatThisBuildRuns) {
  Outcome r = Quelstat({"tests"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::map<std::string, std::string> rows;  // id -> its line
  int count = 0;
  while (std::getline(lines, line))
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) rows[line.substr(0, 4)] = line, ++count;
  EXPECT_EQ(count, 42);
  for (const char* id : {"1024", "1025", "1026", "1027", "1028", "1029", "1030", "1031"}) {
    ASSERT_TRUE(rows.count(id)) << id;
    EXPECT_EQ(rows[id].substr(rows[id].size() - 3), "yes") << rows[id];
  }
  EXPECT_NE(rows["1026"].find("Independent samples t-test"), std::string::npos) << rows["1026"];
  EXPECT_NE(rows["1026"].find("ttesti"), std::string::npos);
  EXPECT_EQ(rows["1241"].substr(rows["1241"].size() - 2), "no") << rows["1241"];

  r = Quelstat({"tests", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"id\": 1027, \"name\": \"Paired samples t-test\", \"module\": \"General\", "
                       "\"template\": \"ttestp\", \"built\": true"),
            std::string::npos)
      << r.out;
}

TEST_F(RunCommand, TwoGroupExamplePrintsTheReportAndSavesTheReportsWorkbook) {
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Independent samples t-test"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2.98"), std::string::npos) << "R's t = 2.9816 is not in the report:\n" << r.out;
  fs::path reports = work / "cholesterol-diet-reports.xlsx";
  ASSERT_TRUE(fs::exists(reports));
  EXPECT_NE(r.err.find("\"t-test 1\" saved in"), std::string::npos) << r.err;
  // The report sheet is in the saved workbook; the input stays as it was (no --save).
  Outcome shown = Quelstat({"show", reports.string(), "--sheet", "t-test 1"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out, r.out);
  EXPECT_EQ(Slurp(book), Slurp(kExamples / "cholesterol-diet.xlsx"));
  // No temporary file of the atomic save is left beside it.
  int files = 0;
  for (const auto& e : fs::directory_iterator(work)) files += e.is_regular_file();
  EXPECT_EQ(files, 2);
}

struct JsonCase {
  std::string file, cell, test, prefix, templateName, statistic;
  std::vector<std::string> set;
  std::vector<std::string> contains;  // pieces of the JSON text, for its shape
};

// Runs each case with --json and compares the statistic, degrees of freedom, p and the interval with R.
class RunJson : public RunCommand {
 protected:
  void Check(const std::vector<JsonCase>& cases) {
    std::map<std::string, double> ref = Reference();
    ASSERT_FALSE(ref.empty()) << "tests/app/data/examples_reference.txt is missing";
    for (const JsonCase& c : cases) {
      SCOPED_TRACE(c.prefix);
      if (!fs::exists(fs::path(QUELSTAT_XLL).parent_path() / "system/template" / (c.templateName + ".xlt"))) {
        std::cout << "[  SKIPPED ] " << c.prefix << ": no report template " << c.templateName << " in this build\n";
        continue;
      }
      Outcome r = RunExampleJson(c.file, c.cell, c.test, c.set, work / (c.prefix + ".xlsx"));
      ASSERT_EQ(r.status, 0) << r.err;
      ASSERT_EQ(r.out.substr(0, 1), "{") << r.out;
      ASSERT_EQ(r.out.substr(r.out.size() - 2), "}\n") << r.out;
      ExpectClose(JsonNumber(r.out, c.statistic), ref[c.prefix + "_t"], 1e-10, c.statistic);
      if (ref.count(c.prefix + "_df")) ExpectClose(JsonNumber(r.out, "DF"), ref[c.prefix + "_df"], 1e-10, "DF");
      ExpectClose(JsonNumber(r.out, "p"), ref[c.prefix + "_p"], 1e-10, "p");
      std::size_t ci = r.out.find("\"CI\":");
      ASSERT_NE(ci, std::string::npos) << r.out;
      double lo = ref[c.prefix + "_lo"], hi = ref[c.prefix + "_hi"];
      if (std::isfinite(lo)) ExpectClose(JsonNumber(r.out, "CI"), lo, 1e-7, "lower");
      std::size_t comma = r.out.find(',', ci);
      ExpectClose(std::strtod(r.out.c_str() + comma + 1, nullptr), hi, 1e-7, "upper");
      for (const std::string& piece : c.contains)
        EXPECT_NE(r.out.find(piece), std::string::npos) << piece << "\n" << r.out;
      EXPECT_TRUE(fs::exists(work / (c.prefix + ".xlsx")));
    }
  }
};

TEST_F(RunJson, IndependentGroupsAgreeWithR) {
  Check({{"cholesterol-diet.xlsx",
          "B7",
          "Independent samples t-test",
          "diet_pooled",
          "ttesti",
          "t",
          {},
          {"{\"n\":45,\"Descriptive\":[{\"Group\":\"Cholesterol - Low fat\",\"n\":24,\"Mean\":5.42875,",
           "{\"Group\":\"Cholesterol - Mediterranean\",\"n\":21,", "\"DF\":43,"}},
         {"cholesterol-diet.xlsx", "B7", "TTESTI", "diet_welch", "ttesti", "t", {"Unequal variances=yes"}, {}},
         {"cholesterol-diet.xlsx",
          "B7",
          "1026",
          "diet_pooled_less",
          "ttesti",
          "t",
          {"Alternative hypothesis=less than", "Confidence interval=90"},
          {"\"CI\":[\"-inf\","}},
         // Answers are remembered between runs: the level of the run before is set back.
         {"cholesterol-diet.xlsx",
          "A3",
          "F test",
          "diet_f",
          "ftest",
          "F",
          {"Confidence interval=95", "Alternative hypothesis=not equal"},
          {"\"DF\":[23,20]"}}});
}

TEST_F(RunJson, PairedAndOneSampleAgreeWithR) {
  Check({{"weight-programme.xlsx", "B5", "ttestp", "weight_paired", "ttestp", "t", {}, {}},
         {"control-material.xlsx", "B10", "ttest1", "qc", "ttest1", "t", {"Hypothesised mean=5.5"}, {}},
         {"control-material.xlsx",
          "B10",
          "One sample Z-test",
          "qc_z",
          "ztest1",
          "Z",
          {"Hypothesised mean=5.5", "Population SD=0.12"},
          {"\"Population SD\":0.12,"}}});
}

TEST_F(RunCommand, AnOutOfRangeAnswerEndsWithTheMessageAndNoReports) {
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--set", "Confidence interval=100"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Quelstat: Confidence interval must be a percentage between 50% and 100%"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
  // An answer for an item the dialog does not have is a usage error, and nothing is written either.
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--set", "Confidence level=90"});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("Confidence level"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
}

TEST_F(RunCommand, CtrlCDuringTheComputationLeavesNoReport) {
  fs::path book = Example("cholesterol-diet.xlsx");
  ::setenv("QUELSTAT_SLOW_ESC_MS", "400", 1);
  // The parameter dialog's answers are traced just before the computation starts.
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--dialog-trace"}, "", "answered:");
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("Interrupted - ESC key pressed.\n\nTest has not been performed."), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
}

TEST_F(RunCommand, TwoRunsInOneSessionMakeNumberedSheets) {
  fs::path book = Example("cholesterol-diet.xlsx");
  fs::path saved = work / "both.xlsx";
  std::string script = "open " + book.string() + "\nselect A5\ncommand 1026\n" + "open " + book.string() +
                       "\nselect B9\ncommand 1026\nsave " + saved.string() + "\n";
  Outcome r = Quelstat({"script", "-"}, script);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* sheet : {"t-test 1", "t-test 2"}) {
    Outcome shown = Quelstat({"show", saved.string(), "--sheet", sheet});
    EXPECT_EQ(shown.status, 0) << sheet << ": " << shown.err;
    EXPECT_NE(shown.out.find("Independent samples t-test"), std::string::npos) << shown.out;
  }
  EXPECT_NE(Quelstat({"show", saved.string(), "--sheet", "t-test 3"}).status, 0);
}

TEST_F(RunCommand, CancellingTheNewDatasetPromptLeavesNoWorkbook) {
  fs::path book = Example("cholesterol-diet.xlsx");
  // The host starts with one empty workbook and opens the data: after the cancelled command exactly
  // these two are open, so the third close finds none (a stray report or template workbook would
  // be closed instead, or refuse to close unsaved).
  std::string script = "open " + book.string() + "\nselect A5\nanswer cancel\ncommand 1026\nclose\nclose\nclose\n";
  Outcome r = Quelstat({"script", "-"}, script);
  EXPECT_NE(r.err.find("Quelstat has found a new dataset"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("quelstat: line 7: no workbook is open"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("line 5"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("line 6"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(book), Slurp(kExamples / "cholesterol-diet.xlsx"));
}

TEST_F(RunCommand, SaveKeepsTheConfirmedDatasetInTheInput) {
  fs::path book = Example("cholesterol-diet.xlsx");
  // A sheet name with a blank, typed without quotes as a shell user would.
  Outcome r = Quelstat({"run", book.string(), "--cell", "Diet study!B8", "--test", "Independent samples t-test",
                        "--save", "--name", "Diet trial", "--reports", (work / "out.xlsx").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  Outcome d = Quelstat({"detect", book.string(), "--cell", "B4"});
  ASSERT_EQ(d.status, 0) << d.err;
  EXPECT_NE(d.out.find("Name: Diet trial (user)"), std::string::npos) << d.out;
  EXPECT_EQ(d.out.find("not confirmed"), std::string::npos) << d.out;
}

TEST_F(RunCommand, VariableCommandSetsTypeAndCategoryValues) {
  // A list of grades and scores, typed in as a user would.
  fs::path book = work / "grades.xlsx";
  std::string script = "select A1\nenter Grade\nselect B1\nenter Score\n";
  const char* grades[] = {"low", "high", "medium", "low", "high", "medium"};
  for (int i = 0; i < 6; ++i)
    script += "select A" + std::to_string(i + 2) + "\nenter " + grades[i] + "\nselect B" + std::to_string(i + 2) +
              "\nenter " + std::to_string(3 + i) + ".5\n";
  ASSERT_EQ(Quelstat({"script", "-"}, script + "save " + book.string() + "\n").status, 0);
  std::string typed = Slurp(book);

  // Ordinal needs a value for every category: the dialog refuses with its message, nothing is saved.
  Outcome r = Quelstat({"variable", book.string(), "--cell", "A3", "--type", "ordinal", "--save"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Quelstat: "), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(book), typed);
  // A category the variable does not have is a refused value; nothing is saved either.
  r = Quelstat({"variable", book.string(), "--cell", "A3", "--type", "ordinal", "--value", "low=1", "--value",
                "medium=2", "--value", "high=3", "--value", "very high=4", "--save"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("very high"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(book), typed);

  r = Quelstat({"variable", book.string(), "--cell", "A3", "--type", "ordinal", "--value", "low=1", "--value",
                "medium=2", "--value", "high=3", "--save"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Grade: ordinal"), std::string::npos) << r.out;
  // Stored in the workbook: a later command finds the same properties.
  Outcome d = Quelstat({"detect", book.string(), "--cell", "B4"});
  EXPECT_NE(d.out.find("Grade: ordinal"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("medium (= 2)"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("high (= 3)"), std::string::npos) << d.out;
}

TEST_F(RunCommand, LibreOfficeOpensTheReportsWorkbook) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti"});
  ASSERT_EQ(r.status, 0) << r.err;
  fs::path reports = work / "cholesterol-diet-reports.xlsx";
  std::string profile = "file://" + (home / "lo-profile").string();
  std::string convert = "cd '" + work.string() + "' && timeout 120 soffice -env:UserInstallation=" + profile +
                        " --headless --convert-to ";
  ASSERT_EQ(std::system((convert + "pdf '" + reports.string() + "' >/dev/null 2>&1").c_str()), 0);
  EXPECT_GT(fs::file_size(work / "cholesterol-diet-reports.pdf"), 1000u);
  // The values are in the cells LibreOffice reads: the report sheet as CSV holds R's t statistic.
  ASSERT_EQ(std::system((convert + "csv '" + reports.string() + "' >/dev/null 2>&1").c_str()), 0);
  std::string csv = Slurp(work / "cholesterol-diet-reports.csv");
  EXPECT_NE(csv.find("Independent samples t-test"), std::string::npos) << csv;
  EXPECT_NE(csv.find("2.98"), std::string::npos) << csv;
  // A second report joins the first: LibreOffice reads the workbook with both sheets and writes it
  // back with both.
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ftest"});
  ASSERT_EQ(r.status, 0) << r.err;
  fs::create_directories(work / "lo");
  ASSERT_EQ(std::system(
                (convert + "xlsx --outdir '" + (work / "lo").string() + "' '" + reports.string() + "' >/dev/null 2>&1")
                    .c_str()),
            0);
  for (const char* sheet : {"t-test 1", "F-test 2"}) {
    Outcome shown = Quelstat({"show", (work / "lo" / "cholesterol-diet-reports.xlsx").string(), "--sheet", sheet});
    EXPECT_EQ(shown.status, 0) << sheet << ": " << shown.err;
  }
}

TEST_F(RunCommand, ReportsAccumulateInTheReportsWorkbookAndContinueTheirCount) {
  fs::path book = Example("cholesterol-diet.xlsx");
  fs::path reports = work / "cholesterol-diet-reports.xlsx";
  ASSERT_EQ(Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti"}).status, 0);
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ftest"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("report \"F-test 2\" saved"), std::string::npos) << r.err;
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* sheet : {"t-test 1", "F-test 2", "t-test 3"}) {
    Outcome shown = Quelstat({"show", reports.string(), "--sheet", sheet});
    EXPECT_EQ(shown.status, 0) << sheet << ": " << shown.err;
  }
  EXPECT_NE(Quelstat({"show", reports.string(), "--sheet", "t-test 2"}).status, 0);
}

TEST_F(RunCommand, AReportsFileThatIsNoReportsWorkbookIsRefusedAndKept) {
  fs::path book = Example("cholesterol-diet.xlsx");
  fs::path notes = Example("control-material.xlsx");  // somebody's workbook, not reports
  fs::path text = work / "notes.xlsx";
  std::ofstream(text) << "a text file under a workbook's name\n";
  for (const fs::path& target : {notes, text}) {
    const std::string before = Slurp(target);
    Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--reports", target.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("it is kept as it is"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Slurp(target), before) << target;
  }
}

TEST_F(RunCommand, RememberedAnswersAreNamedAndDefaultsLeaveThemAlone) {
  fs::path diet = Example("cholesterol-diet.xlsx");
  fs::path qc = Example("control-material.xlsx");
  ASSERT_EQ(
      Quelstat({"run", diet.string(), "--cell", "A5", "--test", "ttesti", "--set", "Confidence interval=90"}).status,
      0);
  const std::vector<std::string> oneSample{"run",    qc.string(), "--cell", "B10",
                                           "--test", "ttest1",    "--set",  "Hypothesised mean=5.5"};
  Outcome r = Quelstat(oneSample);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("90% CI"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("mean \u2260 5.5"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("using remembered Confidence interval=90"), std::string::npos) << r.err;
  std::vector<std::string> defaults = oneSample;
  defaults.push_back("--defaults");
  r = Quelstat(defaults);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("95% CI"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find("remembered"), std::string::npos) << r.err;
  // --defaults changed nothing: the next run still has 90, and says so.
  r = Quelstat(oneSample);
  EXPECT_NE(r.out.find("90% CI"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("using remembered Confidence interval=90"), std::string::npos) << r.err;
  // An answer given on the command line is no remembered one.
  std::vector<std::string> given = oneSample;
  given.insert(given.end(), {"--set", "Confidence interval=90"});
  r = Quelstat(given);
  EXPECT_EQ(r.err.find("remembered"), std::string::npos) << r.err;
}

TEST_F(RunCommand, RefusedSetValuesGiveTheirRuleAndExitOne) {
  fs::path qc = Example("control-material.xlsx");
  struct Case {
    std::string answer;
    int status;
    std::string message;
  } cases[] = {
      {"Population SD=-1", 1, "--set Population SD=-1: must be greater than zero"},
      {"Population SD=0", 1, "Quelstat: Population SD must be greater than zero"},  // the dialog's check
      {"Hypothesised mean=abc", 1, "--set Hypothesised mean=abc: not a number"},
      {"Hypothesised mean=1e400", 1, "--set Hypothesised mean=1e400: out of range"},
      {"Confidence interval=-90", 1, "must be greater than 50 and less than 100"},
      {"Populaton SD=1", 2, "\"Populaton SD=...\" matched no item"},
  };
  for (const Case& c : cases) {
    Outcome r = Quelstat({"run", qc.string(), "--cell", "B10", "--test", "ztest1", "--set", "Hypothesised mean=5.5",
                          "--set", "Population SD=0.1", "--set", c.answer});
    EXPECT_EQ(r.status, c.status) << c.answer << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.answer << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.answer;
    EXPECT_FALSE(fs::exists(work / "control-material-reports.xlsx")) << c.answer;
  }
}

TEST_F(RunCommand, PromptsTheOptionsAnswerAreShownOnlyWhenAskedFor) {
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--layout", "tabular"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("found a new dataset"), std::string::npos) << r.err;
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Quelstat: Quelstat has found a new dataset"), std::string::npos) << r.err;
  // Sheet names as spreadsheets take them: blanks without quotes, any letter case.
  r = Quelstat({"run", book.string(), "--cell", "diet STUDY!B8", "--test", "ttesti"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Quelstat({"run", book.string(), "--cell", "'DIET study'!B8", "--test", "ttesti"});
  EXPECT_EQ(r.status, 0) << r.err;
  // A cell on a sheet that is not there names the workbook and its sheets.
  r = Quelstat({"run", book.string(), "--cell", "Results 2024!A3", "--test", "ttesti"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("(its sheets: Diet study"), std::string::npos) << r.err;
}

TEST_F(RunCommand, ObservationsLeftOutAreCountedInTheReport) {
  // A CSV list with a text among the numbers and two blank cells (one in the last case): all are
  // left out, and said so, each with its reason; the reports go beside it as an .xlsx workbook.
  fs::path csv = work / "scores.csv";
  std::ofstream(csv) << "Case,Score\na,12.5\nb,14\nc,9.5\nd,n/a\ne,16.5\nf,\ng,11\nh,13.5\ni,\n";
  Outcome r =
      Quelstat({"run", csv.string(), "--cell", "B2", "--test", "ttest1", "--set", "Hypothesised mean=12", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"n\":6,\"Mean\":"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Missing\":2,\"Not a number\":1}"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"parameters\":{\"Variable\":[\"Score\"],\"Hypothesised mean\":12,"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"test\":{\"id\":1025,\"name\":\"One sample t-test\"}"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(work / "scores-reports.xlsx"));
}

TEST_F(RunCommand, ForcedTabularLayoutNeverTakesDataForGroupNames) {
  // Two columns side by side under one plain header row: --layout tabular reads the header as the
  // group names (R: t.test(c(1.2,1.5,1.1,1.7,1.3), c(2.3,2.9,2.2,2.8,2.5), var.equal = TRUE)).
  fs::path csv = work / "sides.csv";
  std::ofstream(csv) << "Left,Right\n1.2,2.3\n1.5,2.9\n1.1,2.2\n1.7,2.8\n1.3,2.5\n";
  Outcome r = Quelstat({"run", csv.string(), "--cell", "A2", "--test", "ttesti", "--layout", "tabular", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"Group\":\"Data - Left\",\"n\":5,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("{\"Group\":\"Data - Right\",\"n\":5,"), std::string::npos) << r.out;
  ExpectClose(JsonNumber(r.out, "t"), -6.79013698425154, 1e-9, "t");
}

TEST_F(RunCommand, ATextColumnOfTwoValuesIsNamedAndTypeMakesItGroups) {
  fs::path csv = work / "diets.csv";
  std::ofstream(csv) << "Diet,Chol\nA,5.1\nB,4.9\nA,5.5\nB,4.7\nA,5.2\nB,4.8\n";
  const std::string before = Slurp(csv);
  Outcome r = Quelstat({"run", csv.string(), "--cell", "B2", "--test", "ttesti"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("the column \"Diet\" is read as text"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--type \"Diet=nominal\""), std::string::npos) << r.err;
  r = Quelstat({"run", csv.string(), "--cell", "B2", "--test", "ttesti", "--type", "diet=nominal", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"Group\":\"Chol - A\",\"n\":3,"), std::string::npos) << r.out;
  EXPECT_EQ(Slurp(csv), before);  // the run changes nothing in its input
  r = Quelstat({"run", csv.string(), "--cell", "B2", "--test", "ttesti", "--type", "Dite=nominal"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("no column headed \"Dite\""), std::string::npos) << r.err;
  r = Quelstat({"run", csv.string(), "--cell", "B2", "--test", "ttesti", "--type", "Diet=groups"});
  EXPECT_EQ(r.status, 2) << r.err;
  // Numbers with a decimal comma, and quoted numbers, are text: the message says why.
  fs::path comma = work / "comma.csv";
  std::ofstream(comma) << "Group;Value\nA;1,5\nB;2,5\nA;3,5\nB;4,25\n";
  r = Quelstat({"run", comma.string(), "--cell", "B2", "--test", "ttesti", "--type", "Group=nominal"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("the column \"Value\" holds numbers written with a decimal comma"), std::string::npos) << r.err;
  fs::path quoted = work / "quoted.csv";
  std::ofstream(quoted) << "Value\n\"1.5\"\n\"2.5\"\n\"3.5\"\n";
  r = Quelstat({"run", quoted.string(), "--cell", "A2", "--test", "ttest1", "--set", "Hypothesised mean=1"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("the column \"Value\" holds numbers stored as text"), std::string::npos) << r.err;
}

TEST_F(RunCommand, LayoutOptionsDecideWhereDetectionCannotReadTheHeader) {
  // Plain repeat measures under a merged title beside an identifier column (made by
  // tests/data/dataset/make_fixtures.py): detection alone refuses the block; the options read it.
  fs::path book = work / "trial.xlsx";
  fs::copy_file(fs::path(QUELSTAT_SOURCE) / "tests/data/dataset/plain_repeat_measures.xlsx", book);
  Outcome r = Quelstat({"run", book.string(), "--cell", "B4", "--test", "ttestp"});
  EXPECT_EQ(r.status, 1) << r.err;
  r = Quelstat({"run", book.string(), "--cell", "B4", "--test", "ttestp", "--layout", "list", "--repeat-measures",
                "--id-label", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"Group\":\"Weight - Before\",\"n\":5,"), std::string::npos) << r.out;
  // R: t.test(c(80, 92, 75, 88, 70), c(78, 90.5, 74, 85, 69.5), paired = TRUE)
  ExpectClose(JsonNumber(r.out, "t"), 3.71992443980222, 1e-9, "t");
}

// The tests on counts, the correlation and the rank-based tests on their example workbooks, against R
// (tests/app/data/examples_reference.R): the statistic or estimate under its JSON key, the degrees
// of freedom where there are some, p, and the interval where the test has one.
TEST_F(RunCommand, CountCorrelationAndRankExamplesAgreeWithR) {
  struct Case {
    std::string file, cell, test, prefix, key;
    std::vector<std::string> set;
  };
  const std::vector<Case> cases = {
      {"binomial.xlsx", "B5", "binomial", "binomial", "value", {"Hypothesised proportion=0.9"}},
      {"fisher.xlsx",
       "B5",
       "fisher",
       "fisher_rr",
       "value",
       {"Factor A (row)=Dressing", "Factor B (column)=Infection", "Point estimate=Relative risk"}},
      {"mcnemar.xlsx", "B5", "mcnemar", "mcnemar", "value", {"Factor A (row)=Before", "Factor B (column)=After"}},
      {"chisq.xlsx", "B5", "chisq", "chisq", "X²", {"Factor A (row)=Region", "Factor B (column)=Blood group"}},
      {"cochranq.xlsx", "B5", "cochranq", "cochranq", "Cochran's Q", {"Variables=Engine fire,Bird strike,Hydraulics"}},
      {"nonpcorr.xlsx", "B5", "correlp", "pearson", "value", {"Variable X=Judge A", "Variable Y=Judge B"}},
      {"nonpcorr.xlsx", "B5", "correls", "spearman", "value", {"Variable X=Judge A", "Variable Y=Judge B"}},
      {"nonpcorr.xlsx", "B5", "correlk", "kendall", "tau", {"Variable X=Judge A", "Variable Y=Judge B"}},
      {"runs.xlsx", "B5", "runs", "runs", "Runs", {}},
      {"sign.xlsx", "B5", "sign", "sign", "Sign test", {"Variables=Baseline,Week 6"}},
      {"sign.xlsx", "B5", "wilcoxon", "wilcoxon", "Wilcoxon's W", {"Variables=Baseline,Week 6"}},
      {"sign.xlsx", "B5", "friedman", "friedman", "Fr", {"Variables=Baseline,Week 2,Week 6"}},
      {"cholesterol-diet.xlsx", "A5", "mannwht", "mannwht", "U", {}},
      {"cholesterol-diet.xlsx", "A5", "kruskal", "kruskal", "KW", {}},
      {"cholesterol-diet.xlsx", "A5", "median", "median", "Median", {}},
  };
  std::map<std::string, double> ref = Reference();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefix);
    Outcome r = RunExampleJson(c.file, c.cell, c.test, c.set, work / (c.prefix + "-reports.xlsx"));
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(ref.count(c.prefix + "_t")) << "no reference for " << c.prefix;
    ExpectClose(JsonNumber(r.out, c.key), ref[c.prefix + "_t"], 1e-10, c.key);
    if (ref.count(c.prefix + "_df")) ExpectClose(JsonNumber(r.out, "DF"), ref[c.prefix + "_df"], 1e-10, "DF");
    ExpectClose(JsonNumber(r.out, "p"), ref[c.prefix + "_p"], 1e-10, "p");
    if (!ref.count(c.prefix + "_lo")) continue;
    const std::size_t ci = r.out.find("\"CI\":[");
    ASSERT_NE(ci, std::string::npos) << r.out;
    ExpectClose(std::strtod(r.out.c_str() + ci + 6, nullptr), ref[c.prefix + "_lo"], 1e-7, "lower");
    ExpectClose(std::strtod(r.out.c_str() + r.out.find(',', ci) + 1, nullptr), ref[c.prefix + "_hi"], 1e-7, "upper");
  }
}

TEST_F(RunCommand, ATableThatIsNotTwoByTwoEndsWithTheMessageAndNoReport) {
  fs::path book = Example("chisq.xlsx");
  Outcome r = Quelstat({"run", book.string(), "--cell", "B5", "--test", "fisher", "--set", "Factor A (row)=Region",
                        "--set", "Factor B (column)=Blood group"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Quelstat: Contingency table must be 2 x 2."), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(work / "chisq-reports.xlsx"));
}

TEST_F(RunCommand, ADatasetWithoutWhatTheTestNeedsEndsWithItsRequirement) {
  struct Case {
    std::string file, test, message;
  };
  const std::vector<Case> cases = {
      {"nonpcorr.xlsx", "fisher",
       "Quelstat: Dataset for Fisher exact test must be either a:\n\n · 2-way contingency table, \n · list dataset, "
       "containing 2 categorical variables.."},
      {"fisher.xlsx", "correls",
       "Quelstat: Spearman rank correlation requires a list dataset, containing 2 at least "
       "ordinal variables."},
      {"nonpcorr.xlsx", "binomial", "Quelstat: Dataset for Binomial test must contain a dichotomous variable."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.test);
    fs::path book = Example(c.file);
    Outcome r = Quelstat({"run", book.string(), "--cell", "B5", "--test", c.test});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(work / "nonpcorr-reports.xlsx"));
  EXPECT_FALSE(fs::exists(work / "fisher-reports.xlsx"));
}

// The error contract through the whole program: the fault-injection build of the add-in throws the
// numerics' error, memory exhaustion or a plain std::runtime_error while the test computes or while
// its report is written. Each ends with its message and exit status 1, no reports workbook, and
// the saved input workbook without a new sheet.
TEST_F(RunCommand, AnyExceptionEndsWithItsMessageAndNoReport) {
  const struct {
    const char* kind;
    const char* message;
  } faults[] = {
      {"numerics", "Quelstat: error in iterative routine\n"},
      {"memory", "Quelstat: Out of memory.\n"},
      {"runtime", "Quelstat: Quelstat has stopped the command because of an unexpected error: injected fault\n"},
  };
  auto sheets = [&](const fs::path& book) {
    std::string shown = Quelstat({"show", book.string()}).out;
    int n = 0;
    for (std::size_t at = shown.find("Sheet \""); at != std::string::npos; at = shown.find("Sheet \"", at + 1)) ++n;
    return n;
  };
  for (const char* stage : {"compute", "output"}) {
    for (const auto& f : faults) {
      SCOPED_TRACE(std::string(f.kind) + "@" + stage);
      fs::path book = Example("cholesterol-diet.xlsx");
      int before = sheets(book);
      ASSERT_GT(before, 0);
      ::setenv("QUELSTAT_FAULT", (std::string(f.kind) + "@" + stage).c_str(), 1);
      Outcome r = apptest::RunProgram(QUELSTAT_FAULTS_EXE, home,
                                      {"run", book.string(), "--cell", "A5", "--test", "ttesti", "--save"});
      ::unsetenv("QUELSTAT_FAULT");
      EXPECT_EQ(r.status, 1) << r.err;
      EXPECT_NE(r.err.find(f.message), std::string::npos) << r.err;
      EXPECT_EQ(r.out, "");
      EXPECT_FALSE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
      EXPECT_EQ(sheets(book), before);
    }
  }
  // The same build without a fault makes its report.
  fs::path book = Example("cholesterol-diet.xlsx");
  Outcome r =
      apptest::RunProgram(QUELSTAT_FAULTS_EXE, home, {"run", book.string(), "--cell", "A5", "--test", "ttesti"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
}
