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

using apptest::Outcome;
using apptest::Slurp;

const fs::path kExamples = fs::path(QUELSTAT_SOURCE) / "examples";

class RunCommand : public ::testing::Test {
 protected:
  fs::path home, work;
  void SetUp() override {
    char tmpl[] = "/tmp/qsrun.XXXXXX";
    home = ::mkdtemp(tmpl);
    work = home / "work";
    fs::create_directories(work);
    ::setenv("QUELSTAT_HOME", (home / "settings").c_str(), 1);
    ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
    ::unsetenv("QUELSTAT_SLOW_ESC_MS");
  }
  void TearDown() override {
    fs::remove_all(home);
    ::unsetenv("QUELSTAT_HOME");
    ::unsetenv("QUELSTAT_SLOW_ESC_MS");
  }

  // A copy of an example workbook in the test's folder (the reports land beside it).
  fs::path Example(const std::string& name) {
    fs::copy_file(kExamples / name, work / name, fs::copy_options::overwrite_existing);
    return work / name;
  }

  // Runs quelstat. With `interruptWhen`, sends SIGINT once standard error contains that text.
  Outcome Quelstat(std::vector<std::string> args, const std::string& input = "",
                   const std::string& interruptWhen = "") {
    return apptest::RunQuelstat(home, std::move(args), input, interruptWhen);
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
  r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--set", "Confidence interval=80",
                "--set", "Confidence levle=80"});
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
      std::vector<std::string> args{"run", Example(c.file).string(), "--cell", c.cell, "--test", c.test, "--json",
                                    "--reports", (work / (c.prefix + ".xlsx")).string()};
      for (const std::string& s : c.set) args.insert(args.end(), {"--set", s});
      Outcome r = Quelstat(args);
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
      for (const std::string& piece : c.contains) EXPECT_NE(r.out.find(piece), std::string::npos) << piece << "\n" << r.out;
      EXPECT_TRUE(fs::exists(work / (c.prefix + ".xlsx")));
    }
  }
};

TEST_F(RunJson, IndependentGroupsAgreeWithR) {
  Check({{"cholesterol-diet.xlsx", "B7", "Independent samples t-test", "diet_pooled", "ttesti", "t", {},
          {"{\"n\":45,\"Descriptive\":[{\"Group\":\"Cholesterol - Low fat\",\"n\":24,\"Mean\":5.42875,",
           "{\"Group\":\"Cholesterol - Mediterranean\",\"n\":21,", "\"DF\":43,"}},
         {"cholesterol-diet.xlsx", "B7", "TTESTI", "diet_welch", "ttesti", "t", {"Unequal variances=yes"}, {}},
         {"cholesterol-diet.xlsx", "B7", "1026", "diet_pooled_less", "ttesti", "t",
          {"Alternative hypothesis=less than", "Confidence interval=90"},
          {"\"CI\":[\"-inf\","}},
         // Answers are remembered between runs: the level of the run before is set back.
         {"cholesterol-diet.xlsx", "A3", "F test", "diet_f", "ftest", "F",
          {"Confidence interval=95", "Alternative hypothesis=not equal"}, {"\"DF\":[23,20]"}}});
}

TEST_F(RunJson, PairedAndOneSampleAgreeWithR) {
  Check({{"weight-programme.xlsx", "B5", "ttestp", "weight_paired", "ttestp", "t", {}, {}},
         {"control-material.xlsx", "B10", "ttest1", "qc", "ttest1", "t", {"Hypothesised mean=5.5"}, {}},
         {"control-material.xlsx", "B10", "One sample Z-test", "qc_z", "ztest1", "Z",
          {"Hypothesised mean=5.5", "Population SD=0.12"}, {"\"Population SD\":0.12,"}}});
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
  Outcome r = Quelstat({"run", book.string(), "--cell", "A5", "--test", "ttesti", "--dialog-trace"}, "",
                       "answered:");
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
  Outcome r = Quelstat({"run", book.string(), "--cell", "Diet study!B8", "--test", "Independent samples t-test", "--save",
                        "--name", "Diet trial", "--reports", (work / "out.xlsx").string()});
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
  // A category the variable does not have is a usage error; nothing is saved either.
  r = Quelstat({"variable", book.string(), "--cell", "A3", "--type", "ordinal", "--value", "low=1", "--value",
                "medium=2", "--value", "high=3", "--value", "very high=4", "--save"});
  EXPECT_EQ(r.status, 2) << r.err;
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
      {"fisher.xlsx", "B5", "fisher", "fisher_rr", "value",
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
    std::vector<std::string> args{"run", Example(c.file).string(), "--cell", c.cell, "--test", c.test, "--json",
                                  "--reports", (work / (c.prefix + "-reports.xlsx")).string()};
    for (const std::string& s : c.set) args.insert(args.end(), {"--set", s});
    Outcome r = Quelstat(args);
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
      {"fisher.xlsx", "correls", "Quelstat: Spearman rank correlation requires a list dataset, containing 2 at least "
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
  Outcome r = apptest::RunProgram(QUELSTAT_FAULTS_EXE, home, {"run", book.string(), "--cell", "A5", "--test", "ttesti"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(work / "cholesterol-diet-reports.xlsx"));
}
