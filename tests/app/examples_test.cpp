// The example workbooks of the tests not built yet open in the host, and the dataset found in each
// has the layout its test asks for (two raters, two methods with their replicates, a day and
// runs of duplicates, a true state beside measurements ...).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

struct Expected {
  const char* file;
  const char* cell;
  std::vector<std::pair<std::string, int>> lines;  // text in the detect output, and how often
};

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

TEST(ExampleLayouts, EachExampleHoldsTheDatasetItsTestNeeds) {
  char tmpl[] = "/tmp/qsexamples.XXXXXX";
  fs::path home = ::mkdtemp(tmpl);
  ::setenv("QUELSTAT_HOME", home.c_str(), 1);
  ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
  const std::vector<Expected> examples = {
      {"Kappa.xlsx", "B5", {{"Layout: list", 1}, {"Radiologist 1: nominal", 1}, {"Radiologist 2: nominal", 1}}},
      {"BiasPlot.xlsx", "B5", {{"Laboratory (mmol/L): continuous, n = 40", 1}, {"Meter (mmol/L): continuous", 1}}},
      {"Deming.xlsx",
       "B5",
       {{": continuous, n = 36", 4}, {"repeat of Analyser A (mmol/L)", 2}, {"repeat of Analyser B (mmol/L)", 2}}},
      {"Passing.xlsx",
       "B5",
       {{"Jaffe (\xC2\xB5mol/L): continuous, n = 50", 1}, {"Enzymatic (\xC2\xB5mol/L): continuous", 1}}},
      {"RefIntvl.xlsx", "C5", {{"Potassium (mmol/L): continuous, n = 120", 1}}},
      {"ROCcurve.xlsx", "C5", {{"Diagnosis: nominal", 1}, {": continuous, n = 80", 3}}},
      {"Screen.xlsx", "B5", {{"FOB test: nominal", 1}, {"Colonoscopy: nominal", 1}}},
      {"Precsn.xlsx", "B5", {{"Day: continuous, n = 20", 1}, {"repeat of Glucose (mmol/L)", 4}}},
      {"PrecsnPf.xlsx", "B5", {{"Level (mU/L): continuous, n = 60", 1}, {"repeat of TSH (mU/L)", 2}}},
      {"polyreg.xlsx", "B5", {{": continuous", 2}}},
      {"lreg.xlsx", "B5", {{"Age (years): continuous, n = 40", 1}, {"Systolic BP (mmHg): continuous", 1}}},
      {"2indep.xlsx", "A5", {{"Layout: tabular", 1}, {"Smoking: nominal, n = 40", 1}}},
      {"2paired.xlsx", "B5", {{"repeat of Systolic BP (mmHg)", 2}}},
      {"linearty.xlsx", "A5", {{": continuous, n = 21", 2}}},
  };
  for (const Expected& e : examples) {
    fs::path book = fs::path(QUELSTAT_SOURCE) / "examples" / e.file;
    apptest::Outcome shown = apptest::RunQuelstat(home, {"show", book.string()});
    EXPECT_EQ(shown.status, 0) << e.file << ": " << shown.err;
    apptest::Outcome found = apptest::RunQuelstat(home, {"detect", book.string(), "--cell", e.cell});
    ASSERT_EQ(found.status, 0) << e.file << ": " << found.err;
    for (const auto& [text, times] : e.lines)
      EXPECT_EQ(Count(found.out, text), size_t(times)) << e.file << " \"" << text << "\" in\n" << found.out;
  }
  fs::remove_all(home);
  ::unsetenv("QUELSTAT_HOME");
}

}  // namespace
