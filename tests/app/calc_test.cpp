// The host calculating cells: the add-in's Fourier functions in cells and arrays, recalculation when
// their data change, saved values other programs read, and the calc command.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using apptest::Outcome;
using apptest::Slurp;

// fourier_reference.txt (made by fourier_reference.R): the data and, per K, R's power and phase.
struct Reference {
  std::vector<std::string> t, x;
  std::map<std::string, std::pair<double, double>> byK;  // "1".."8", and "changed" (K = 2, B1 = 20)
};

Reference ReadReference() {
  std::ifstream in(std::string(QUELSTAT_SOURCE) + "/tests/data/app/calc/fourier_reference.txt");
  Reference ref;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string tag, word;
    words >> tag;
    if (tag == "t" || tag == "x") {
      while (words >> word) (tag == "t" ? ref.t : ref.x).push_back(word);
    } else if (tag == "K") {
      double p, ph;
      words >> word >> p >> ph;
      ref.byK[word] = {p, ph};
    } else if (tag == "changed") {
      double p, ph;
      words >> p >> ph;
      ref.byK["changed"] = {p, ph};
    }
  }
  return ref;
}

// The numbers a script's evaluate lines printed, in order ("{a,b}" gives two).
std::vector<double> Numbers(const std::string& out) {
  std::vector<double> xs;
  std::string text = out;
  for (char& c : text)
    if (c == '{' || c == '}' || c == ',') c = ' ';
  std::istringstream in(text);
  std::string word;
  while (in >> word) xs.push_back(std::strtod(word.c_str(), nullptr));
  return xs;
}

void ExpectClose(double got, double want, const std::string& what) {
  EXPECT_NEAR(got, want, 1e-12 * std::max(1.0, std::fabs(want))) << what;
}

using HostCalc = apptest::ScratchSettings;

TEST_F(HostCalc, FourierFunctionsInCellsGiveRsValuesAndFollowTheirData) {
  Reference ref = ReadReference();
  ASSERT_EQ(ref.t.size(), 16u);
  ASSERT_EQ(ref.byK.size(), 5u);
  std::string script = "new\n";
  for (size_t i = 0; i < 16; ++i) {
    script += "select A" + std::to_string(i + 1) + "\nenter " + ref.t[i] + "\n";
    script += "select B" + std::to_string(i + 1) + "\nenter " + ref.x[i] + "\n";
  }
  const std::vector<std::string> ks = {"1", "2", "3", "8"};
  for (size_t i = 0; i < ks.size(); ++i) {
    std::string row = std::to_string(i + 1);
    script += "select C" + row + "\nenter =A.LU.PP(A1:A16," + ks[i] + ",B1:B16)\n";
    script += "select D" + row + "\nenter =A.LU.PHASE($A$1:$A$16,1+" + ks[i] + "-1,B$1:B$16)\n";
  }
  script += "select E1:F1\nenter {=A.LU(A1:A16,2,B1:B16)}\n";
  script += "select G1\nenter =E1+F1*0\n";  // reads one cell of the array
  std::string show;
  for (size_t i = 0; i < ks.size(); ++i)
    show += "evaluate C" + std::to_string(i + 1) + "\nevaluate D" + std::to_string(i + 1) + "\n";
  show += "evaluate E1\nevaluate F1\nevaluate G1\nevaluate A.LU(A1:A16,2,B1:B16)\n";
  std::string saved = (home / "fourier.xlsx").string();
  script += show + "select B1\nenter 20\nevaluate C2\nevaluate E1\nevaluate F1\nevaluate G1\nsave " + saved + "\n";

  Outcome r = Quelstat({"script", "-"}, script);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<double> xs = Numbers(r.out);
  ASSERT_EQ(xs.size(), 8u + 5u + 4u) << r.out;
  for (size_t i = 0; i < ks.size(); ++i) {
    ExpectClose(xs[2 * i], ref.byK[ks[i]].first, "power K=" + ks[i]);
    ExpectClose(xs[2 * i + 1], ref.byK[ks[i]].second, "phase K=" + ks[i]);
  }
  ExpectClose(xs[8], ref.byK["2"].first, "array power");
  ExpectClose(xs[9], ref.byK["2"].second, "array phase");
  ExpectClose(xs[10], ref.byK["2"].first, "a cell reading the array");
  ExpectClose(xs[11], ref.byK["2"].first, "evaluate of an array");
  ExpectClose(xs[12], ref.byK["2"].second, "evaluate of an array");
  // B1 changed: the formulas that read it follow, through the array to G1.
  ExpectClose(xs[13], ref.byK["changed"].first, "power after the change");
  ExpectClose(xs[14], ref.byK["changed"].first, "array power after the change");
  ExpectClose(xs[15], ref.byK["changed"].second, "array phase after the change");
  ExpectClose(xs[16], ref.byK["changed"].first, "dependent of the array after the change");

  // The saved file carries the calculated values as its cached values, which other programs show.
  Outcome shown = Quelstat({"show", saved});
  EXPECT_NE(shown.out.find("25.25688238"), std::string::npos) << shown.out;
  // openpyxl reads the cached values (when the system Python has it).
  if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0) {
    std::string py = "/usr/bin/python3 -c \"import openpyxl; ws = openpyxl.load_workbook('" + saved +
                     "', data_only=True).active; print(repr(ws['C2'].value), repr(ws['F1'].value))\" > '" +
                     (home / "openpyxl.txt").string() + "'";
    ASSERT_EQ(std::system(py.c_str()), 0);
    std::vector<double> seen = Numbers(Slurp(home / "openpyxl.txt"));
    ASSERT_EQ(seen.size(), 2u);
    ExpectClose(seen[0], ref.byK["changed"].first, "openpyxl C2");
    ExpectClose(seen[1], ref.byK["changed"].second, "openpyxl F1");
  } else {
    std::printf("openpyxl is not installed for /usr/bin/python3: its check is skipped\n");
  }
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
  std::string profile = "file://" + (home / "lo-profile").string();
  std::string convert = "cd '" + home.string() + "' && timeout 120 soffice -env:UserInstallation=" + profile +
                        " --headless --convert-to csv '" + saved + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(convert.c_str()), 0);
  std::string csv = Slurp(home / "fourier.csv");
  EXPECT_NE(csv.find("25.256882376816"), std::string::npos) << csv;
  EXPECT_NE(csv.find("70.792584092695"), std::string::npos) << csv;
}

TEST_F(HostCalc, FourierFunctionsOnArrayConstantsAndTheirErrors) {
  Outcome r = Quelstat({"script", "-"},
                       "evaluate A.LU.PP({0;1;2;3},1,{1;0;-1;0})\n"
                       "evaluate A.LU.PHASE({0;1;2;3},1,{1;0;-1;0})\n"
                       "evaluate A.LU({0;1;2;3},0,{1;2;3;4})\n"
                       "evaluate A.LU.PP({0;1;2;3},1,{1;\"x\";-1;0})\n"
                       "evaluate A.LU({0;1;2;3},1,{1;0})\n"
                       "evaluate A.LU.PHASE({0;1;2;3},\"one\",{1;0;-1;0})\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // K = 0: no sine part, so the phase is 0 (or 180); a text value or too few values: #NUM!; a
  // frequency that cannot be made a number fails the coercion, which the function reports as #N/A.
  EXPECT_EQ(r.out, "1\n0\n{25,0}\n#NUM!\n{#NUM!,#NUM!}\n#N/A\n");
}

TEST_F(HostCalc, CalcCommandRecalculatesAndReportsWhatItCannot) {
  // A workbook LibreOffice calculated, plus formulas this host cannot calculate or that loop.
  fs::path book = home / "book.xlsx";
  fs::copy_file(std::string(QUELSTAT_SOURCE) + "/tests/data/sheets/calc/lo_formulas.xlsx", book);
  std::string script = "open " + book.string() +
                       "\nactivate Calc\nselect C1\nenter =A1*2\n"
                       "select C2\nenter =C3+1\nselect C3\nenter =C2+1\nsave\n";
  Outcome made = Quelstat({"script", "-"}, script);
  ASSERT_EQ(made.status, 0) << made.err;
  Outcome r = Quelstat({"calc", book.string(), "--save"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("calculated 26 formulas"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Calc!C2: circular reference, set to #REF!"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Calc!C3: circular reference"), std::string::npos) << r.out;
  Outcome shown = Quelstat({"show", book.string(), "--sheet", "Calc"});
  EXPECT_NE(shown.out.find("1122.38"), std::string::npos) << shown.out;  // C1 = 2 * SUM
  Outcome bad = Quelstat({"calc", (home / "none.xlsx").string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_FALSE(bad.err.empty());
}

}  // namespace
