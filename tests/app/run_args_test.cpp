// The run command's own decisions, without a host: arguments, test look-up, the catalogue text and
// where the reports go.
#include <gtest/gtest.h>

#include "app/dialog_console.h"
#include "app/run.h"
#include "app/run_support.h"

namespace {

std::vector<app::CatalogueEntry> SmallCatalogue() {
  return app::ParseCatalogue(
      "1024\tztest1\t1\t1\tGeneral\tOne sample Z-test\n"
      "1026\tttesti\t1\t1\tGeneral\tIndependent samples t-test\n"
      "broken line without tabs\n"
      "12x\tbad\t1\t1\tGeneral\tBad id\n"
      "1201\tdeming\t0\t0\tClinical Laboratory\tDeming regression\n");
}

}  // namespace

TEST(RunArguments, CatalogueTextAndTestLookUp) {
  std::vector<app::CatalogueEntry> c = SmallCatalogue();
  ASSERT_EQ(c.size(), 3u);  // malformed lines are skipped
  EXPECT_EQ(c[2].module, "Clinical Laboratory");
  EXPECT_FALSE(c[2].built);
  EXPECT_TRUE(c[1].built && c[1].available);

  auto id = [&](const std::string& t) {
    const app::CatalogueEntry* e = app::ResolveTest(c, t);
    return e ? e->id : -1L;
  };
  EXPECT_EQ(id("1026"), 1026);
  EXPECT_EQ(id(" TTESTI "), 1026);
  EXPECT_EQ(id("independent samples T-TEST"), 1026);
  EXPECT_EQ(id("Deming regression"), 1201);  // found, though not built: the caller says so
  EXPECT_EQ(id("1026x"), -1);                // not a number, not a name
  EXPECT_EQ(id("1025"), -1);
  EXPECT_EQ(id(""), -1);
  EXPECT_EQ(id("t-test"), -1);  // no partial names
}

TEST(RunArguments, ParsedAsGivenOrRefusedWithAReason) {
  app::RunArguments a;
  std::string error;
  ASSERT_TRUE(app::ParseRunArguments(
      {"data.xlsx", "--cell", "B2", "--test", "ttesti", "--set", " Confidence interval = 90 ", "--set",
       "Variable - Groups=Weight - A, Weight - B", "--layout", "tabular", "--factors", "2", "--json", "--dialog-trace"},
      a, error))
      << error;
  EXPECT_EQ(a.workbook, "data.xlsx");
  ASSERT_EQ(a.set.size(), 2u);
  EXPECT_EQ(a.set[0], (std::pair<std::string, std::string>("Confidence interval", "90")));
  EXPECT_EQ(a.set[1].second, "Weight - A, Weight - B");  // only the first '=' splits
  EXPECT_EQ(a.layout, "tabular");
  EXPECT_EQ(a.factors, 2);
  EXPECT_TRUE(a.json && a.trace && !a.save);

  struct Bad {
    std::vector<std::string> args;
    std::string reason;
  } bad[] = {
      {{"d.xlsx", "--test", "ttesti"}, "needs --cell"},
      {{"d.xlsx", "--cell", "A1"}, "needs --test"},
      {{"--cell", "A1", "--test", "ttesti"}, "needs a workbook"},
      {{"d.xlsx", "--cell", "A1", "--test", "ttesti", "--set", "=5"}, "LABEL=VALUE"},
      {{"d.xlsx", "--cell", "A1", "--test", "ttesti", "--layout", "wide"}, "--layout takes"},
      {{"d.xlsx", "--cell", "A1", "--test", "ttesti", "--factors", "3"}, "--factors takes"},
      {{"d.xlsx", "--cell", "A1", "--test", "ttesti", "--reports", "./d.xlsx"}, "names the input workbook"},
      {{"d.xls", "--cell", "A1", "--test", "ttesti", "--save"}, ".xlsx and .xlsm"},
      {{"d.xlsx", "--cell", "A1", "--test", "ttesti", "other.xlsx"}, "unexpected argument other.xlsx"},
      {{"d.xlsx", "--cell"}, "--cell needs a value"},
      {{"d.xlsx", "--cell", "A1", "--test", "ttesti", "--reports", "notes.csv"}, "takes an .xlsx or .xlsm"},
  };
  for (const Bad& b : bad) {
    app::RunArguments r;
    std::string why;
    EXPECT_FALSE(app::ParseRunArguments(b.args, r, why)) << b.reason;
    EXPECT_NE(why.find(b.reason), std::string::npos) << why;
  }
}

TEST(RunArguments, ReportsGoBesideTheWorkbook) {
  EXPECT_EQ(app::DefaultReportsPath("data/diet.xlsx"), "data/diet-reports.xlsx");
  EXPECT_EQ(app::DefaultReportsPath("diet.xls"), "diet-reports.xlsx");
  EXPECT_EQ(app::DefaultReportsPath("/tmp/a.b/trial.v2.xlsm"), "/tmp/a.b/trial.v2-reports.xlsx");
}

TEST(RunArguments, SetValuesAreJudgedAsAWholeBeforeTyping) {
  struct Case {
    const char* label;
    const char* value;
    const char* problem;  // empty: typed, and judged by the dialog
  } cases[] = {
      {"Population SD", "-1", "must be greater than zero"},
      {"Population SD", "0", ""},  // the dialog's own check says why
      {"Hypothesised mean", "abc", "not a number"},
      {"Hypothesised mean", "5.5x", "not a number"},
      {"Hypothesised mean", "1e400", "out of range"},
      {"Hypothesised mean", "-1e400", "out of range"},
      {"Hypothesised mean", "nan", "not a number"},
      {"Hypothesised mean", "-3.25", ""},
      {"Hypothesised mean", "", ""},
      {"Confidence interval", "-90", "must be greater than 50 and less than 100"},
      {"confidence interval:", "-90", "must be greater than 50 and less than 100"},
      {"Confidence interval", "100", ""},
      {"Hypothesised proportion", "-0.5", "must be greater than 0 and less than 1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(app::FieldValueProblem(c.label, c.value), c.problem) << c.label << "=" << c.value;
}

TEST(RunArguments, ReportSheetsAreNumberedByTheirLastWord) {
  EXPECT_EQ(app::ReportNumber("t-test 12"), 12);
  EXPECT_EQ(app::ReportNumber("F-test 3"), 3);
  EXPECT_EQ(app::ReportNumber("Notes"), 0);
  EXPECT_EQ(app::ReportNumber("t-test "), 0);
  EXPECT_EQ(app::ReportNumber("t-test 1a"), 0);
  EXPECT_EQ(app::ReportNumber("t-test 99999999999"), 0);  // not a count this program made
}
