// The ANOVA tests through `quelstat run`: the NIST StRD analysis-of-variance data sets against their
// certified values (and against R's aov and the exact values of the stored data,
// tests/data/procedures/strd_anova.txt), the example workbooks, the messages that stop a run, and
// the largest dataset a sheet holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using apptest::Outcome;

const fs::path kSource = QUELSTAT_SOURCE;

using AnovaRun = apptest::ScratchSettings;

// The number after "KEY": (the first after `from`); NaN when absent or null.
double Json(const std::string& json, const std::string& key, size_t from = 0) {
  size_t at = json.find("\"" + key + "\":", from);
  if (at == std::string::npos) return NAN;
  at += key.size() + 3;
  if (json.compare(at, 4, "null") == 0) return NAN;
  return std::strtod(json.c_str() + at, nullptr);
}

// Log relative error (correct significant digits), 15 at most.
double Lre(double got, double want) {
  if (got == want) return 15;
  return std::fmin(15, -std::log10(std::fabs(got - want) / std::fabs(want)));
}

struct StrdValues {
  std::map<std::string, double> certified, r, exact;
};

std::map<std::string, StrdValues> ReadStrd() {
  std::ifstream in(kSource / "tests/data/procedures/strd_anova.txt");
  std::map<std::string, StrdValues> out;
  std::string line;
  std::getline(in, line);
  std::string name, quantity;
  double c, r, e;
  while (in >> name >> quantity >> c >> r >> e) {
    out[name].certified[quantity] = c;
    out[name].r[quantity] = r;
    out[name].exact[quantity] = e;
  }
  return out;
}

TEST_F(AnovaRun, StrdDataSetsReachTheCertifiedValues) {
  const std::map<std::string, StrdValues> strd = ReadStrd();
  ASSERT_EQ(strd.size(), 11u);
  std::printf("\n  %-8s %-4s %9s %9s %9s\n", "data set", "", "LRE", "R's LRE", "data's");
  for (const auto& [name, values] : strd) {
    const fs::path book = Copy(kSource / "tests/data/procedures/strd" / (name + ".xlsx"));
    Outcome r = Quelstat({"variable", book.string(), "--cell", "A2", "--type", "nominal", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Quelstat({"run", book.string(), "--cell", "B2", "--test", "anova1b", "--json"});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    std::map<std::string, double> ours;
    ours["ssb"] = Json(r.out, "SS", r.out.find("\"ANOVA\""));
    ours["msb"] = Json(r.out, "MS", r.out.find("\"ANOVA\""));
    ours["f"] = Json(r.out, "F", r.out.find("\"ANOVA\""));
    ours["ssw"] = Json(r.out, "SS within");
    ours["msw"] = Json(r.out, "MS within");
    ours["r2"] = ours["ssb"] / Json(r.out, "SS total");
    ours["sd"] = std::sqrt(ours["msw"]);
    const bool hardest = name == "SmLs07" || name == "SmLs08" || name == "SmLs09";
    for (const auto& [quantity, certified] : values.certified) {
      const double lre = Lre(ours[quantity], certified);
      const double rLre = Lre(values.r.at(quantity), certified);
      const double dataLre = Lre(values.exact.at(quantity), certified);
      std::printf("  %-8s %-4s %9.1f %9.1f %9.1f\n", name.c_str(), quantity.c_str(), lre, rLre, dataLre);
      // As the stored data allow: within 1e-9 of the exact value of the doubles in the workbook.
      EXPECT_LE(std::fabs(ours[quantity] - values.exact.at(quantity)), 1e-9 * std::fabs(values.exact.at(quantity)))
          << name << " " << quantity;
      // At least R's accuracy, where R is not closer by chance than the data themselves allow.
      EXPECT_GE(lre + 0.05, std::fmin(rLre, dataLre)) << name << " " << quantity;
      if (!hardest) {
        EXPECT_GE(lre, 9) << name << " " << quantity;
      }
    }
  }
}

TEST_F(AnovaRun, ExamplesRunAndMessagesStopTheRun) {
  const fs::path oneWay = Copy(kSource / "examples/ANOVA1w.xlsx");
  Outcome r = Quelstat({"run", oneWay.string(), "--cell", "B5", "--test", "anova1b", "--set",
                        "Contrasts=many against control", "--set", "Error protection=Dunnett", "--set",
                        "Control group=Control", "--set", "Confidence interval=99", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"Group\":\"Nitrogen v Control\",\"Contrast\":"), std::string::npos) << r.out;
  EXPECT_EQ(Json(r.out, "DF within"), 36);
  // The report sheet of the same run, and the Tukey table at a level it has no table for.
  fs::remove(work / "ANOVA1w-reports.xlsx");
  r = Quelstat({"run", oneWay.string(), "--cell", "B5", "--test", "anova1b", "--set", "Contrasts=all pairwise", "--set",
                "Error protection=Tukey", "--set", "Confidence interval=90"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Quelstat: Confidence interval must be 95% or 99% for Tukey or Dunnet error protection."),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(work / "ANOVA1w-reports.xlsx"));
  r = Quelstat({"run", oneWay.string(), "--cell", "B5", "--test", "anova1b", "--set", "Contrasts=all pairwise", "--set",
                "Error protection=Tukey"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Control v Nitrogen"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Within groups"), std::string::npos) << r.out;
  // The error protection appears once the contrasts ask for it: answered in either order.
  r = Quelstat({"run", oneWay.string(), "--cell", "B5", "--test", "anova1b", "--set", "Error protection=Scheffe",
                "--set", "Contrasts=all pairwise", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"Error protection\":\"Scheffe\""), std::string::npos) << r.out;

  const fs::path repeated = Copy(kSource / "examples/ANOVA1wr.xlsx");
  r = Quelstat({"run", repeated.string(), "--cell", "C5", "--test", "anova1w", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"Group\":\"Reaction time (ms)\",\"SS\":"), std::string::npos) << r.out;
  EXPECT_EQ(Json(r.out, "DF within"), 33);  // 3 doses by 11 subjects

  const fs::path twoWay = Copy(kSource / "examples/ANOVA2w.xlsx");
  r = Quelstat({"run", twoWay.string(), "--cell", "C5", "--test", "anova2b", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("{\"Group\":\"Variety by Irrigation\",\"SS\":"), std::string::npos) << r.out;
  EXPECT_EQ(Json(r.out, "DF within"), 27);
  // Both factors the same: the cells lie on a diagonal, and the design is not balanced.
  r = Quelstat({"run", twoWay.string(), "--cell", "C5", "--test", "anova2b", "--set", "Factor B (column)=Variety"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Quelstat: All cells must contain the same number of observations.  Unbalanced 2-way "
                       "ANOVAs are not supported."),
            std::string::npos)
      << r.err;
}

// A list workbook of `rows` observations written as CSV and saved as .xlsx by the host itself.
fs::path LargeBook(const fs::path& work, const std::string& name, int rows, bool twoFactors) {
  const fs::path csv = work / (name + ".csv"), book = work / (name + ".xlsx");
  std::ofstream out(csv);
  out << (twoFactors ? "Dose,Site,Value\n" : "Batch,Value\n");
  unsigned state = 12345;
  auto next = [&] { return (state = state * 1103515245u + 12345u) >> 8; };
  for (int i = 0; i < rows; ++i) {
    const double noise = static_cast<double>(next() % 10000) / 1000.0;
    if (twoFactors)
      out << "D" << i % 4 << ",S" << (i / 4) % 3 << "," << 10 + (i % 4) + noise << "\n";
    else
      out << "B" << 10 + i % 20 << "," << 50 + (i % 20) * 0.1 + noise << "\n";
  }
  out.close();
  return book;
}

TEST_F(AnovaRun, LargestSheetRuns) {
  // 65,535 observations: one header row and every other row of a sheet of 65,536.
  const fs::path oneWay = LargeBook(work, "batches", 65535, false);
  const fs::path twoWay = LargeBook(work, "doses", 65532, true);  // 12 cells of 5,461
  std::ofstream script(work / "make.txt");
  for (const fs::path& book : {oneWay, twoWay}) {
    fs::path csv = book;
    csv.replace_extension(".csv");
    script << "open " << csv.string() << "\nsave " << book.string() << "\nclose\n";
  }
  script << "quit\n";
  script.close();
  Outcome r = Quelstat({"script", (work / "make.txt").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Quelstat({"variable", oneWay.string(), "--cell", "A2", "--type", "nominal", "--save"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Quelstat({"run", oneWay.string(), "--cell", "B2", "--test", "anova1b", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Json(r.out, "DF within"), 65535 - 20);
  EXPECT_EQ(Json(r.out, "DF total"), 65534);
  for (const char* cell : {"A2", "B2"}) {
    r = Quelstat({"variable", twoWay.string(), "--cell", cell, "--type", "nominal", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  r = Quelstat({"run", twoWay.string(), "--cell", "C2", "--test", "anova2b", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Json(r.out, "DF within"), 65532 - 12);
  EXPECT_NE(r.out.find("\"Group\":\"Dose by Site\""), std::string::npos) << r.out.substr(0, 400);
}

}  // namespace
