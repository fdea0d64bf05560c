// Files we write, read by the other programs users have: openpyxl and LibreOffice. Each test skips
// with a clear line when the program is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "sheets/io/workbook_io.h"

using namespace sheets;
namespace fs = std::filesystem;

namespace {

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    *status = -1;
    return out;
  }
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  *status = ::pclose(p);
  return out;
}

bool HaveOpenpyxl() {
  int status = 0;
  RunCommand("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null", &status);
  return status == 0;
}

bool HaveLibreOffice() {
  int status = 0;
  RunCommand("command -v soffice >/dev/null 2>&1", &status);
  return status == 0;
}

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("qs-ext-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  static inline int counter = 0;
};

std::unique_ptr<Workbook> Sample() {
  auto book = std::make_unique<Workbook>("Sample");
  Sheet& s = book->AddSheet("Data");
  s.SetText(0, 0, "x");
  s.SetText(0, 1, "Glucose µmol/L");
  for (uint32_t r = 1; r <= 5; ++r) {
    s.SetNumber(r, 0, r);
    s.SetNumber(r, 1, r * 1.5 + 0.25);
  }
  s.SetBoolean(6, 0, false);
  s.SetFormula(6, 1, "SUM(B2:B6)", Value::Number(23.75));
  CellFormat f;
  f.number_format = "0.000";
  f.font.bold = true;
  f.horizontal = HorizontalAlignment::CenterAcrossSelection;
  f.borders.bottom = {BorderStyle::Thick, Color::Rgb(0xFF00FF00)};
  f.fill.pattern = FillPattern::Solid;
  f.fill.foreground = Color::Rgb(0xFFFFFF00);
  s.SetFormat(1, 1, book->formats().Intern(f));
  s.Merge({{8, 0}, {9, 2}});
  s.SetRowOutlineLevel(3, 1);
  s.names().Define("__sm_TV_0", "1", book->limits(), true);
  book->names().Define("Values", "Data!$B$2:$B$6", book->limits());
  Chart c;
  c.type = ChartType::Scatter;
  c.title = "Fit";
  ChartSeries se;
  se.name = "S1";
  se.x_values = "Data!$A$2:$A$6";
  se.y_values = "Data!$B$2:$B$6";
  Trendline t;
  se.trendlines.push_back(t);
  c.series.push_back(se);
  s.AddChart(c, {{1, 4}, 0, 0, {15, 10}, 0, 0});
  return book;
}

}  // namespace

TEST(ExternalRoundTrip, OpenpyxlReadsWhatWeWrite) {
  if (!HaveOpenpyxl())
    GTEST_SKIP() << "openpyxl for /usr/bin/python3 is not installed (apt-get install python3-openpyxl)";
  TempDir dir;
  std::string path = (dir.path / "ours.xlsx").string();
  auto book = Sample();
  SaveWorkbook(*book, path);
  std::string script = (dir.path / "check.py").string();
  std::ofstream(script) << R"(import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb["Data"]
print(ws["A1"].value, "|", ws["B1"].value, "|", ws["B2"].value, "|", ws["A7"].value, "|", ws["B7"].value)
c = ws["B2"]
print(c.number_format, c.font.b, c.alignment.horizontal, c.border.bottom.style, c.border.bottom.color.rgb, c.fill.patternType, c.fill.fgColor.rgb)
print([str(r) for r in ws.merged_cells.ranges], ws.row_dimensions[4].outline_level)
print(sorted((n.name, n.attr_text, n.localSheetId, bool(n.hidden)) for n in wb.defined_names.definedName))
print(len(ws._charts))
)";
  int status = 0;
  std::string out = RunCommand("/usr/bin/python3 " + script + " " + path + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "x | Glucose µmol/L | 1.75 | False | =SUM(B2:B6)\n"
            "0.000 True centerContinuous thick FF00FF00 solid FFFFFF00\n"
            "['A9:C10'] 1\n"
            "[('Values', 'Data!$B$2:$B$6', None, False), ('__sm_TV_0', '1', 0, True)]\n"
            "1\n");
}

TEST(ExternalRoundTrip, LibreOfficeOpensWhatWeWriteAndWeReadWhatItSaves) {
  if (!HaveLibreOffice())
    GTEST_SKIP() << "LibreOffice (soffice) is not installed (apt-get install libreoffice-calc-nogui)";
  TempDir dir;
  std::string path = (dir.path / "ours.xlsx").string();
  auto book = Sample();
  SaveWorkbook(*book, path);
  int status = 0;
  std::string profile = "file://" + (dir.path / "profile").string();
  std::string cmd = "cd " + dir.path.string() + " && soffice --headless -env:UserInstallation=" + profile +
                    " --convert-to xlsx:\"Calc MS Excel 2007 XML\" --outdir lo ours.xlsx 2>&1";
  std::string out = RunCommand(cmd, &status);
  ASSERT_EQ(status, 0) << out;
  auto back = ReadWorkbook((dir.path / "lo" / "ours.xlsx").string());
  const Sheet& s = back->sheet(0);
  for (uint32_t r = 0; r <= 6; ++r)
    for (uint32_t c = 0; c <= 1; ++c) EXPECT_EQ(s.GetValue(r, c), book->sheet(0).GetValue(r, c)) << CellName({r, c});
  EXPECT_EQ(s.Get(6, 1).formula, "SUM(B2:B6)");
  const CellFormat& f = back->formats().Get(s.Get(1, 1).format);
  EXPECT_EQ(f.number_format, "0.000");
  EXPECT_TRUE(f.font.bold);
  // LibreOffice reads centre-across-selection as plain centre.
  EXPECT_TRUE(f.horizontal == HorizontalAlignment::CenterAcrossSelection ||
              f.horizontal == HorizontalAlignment::Center);
  EXPECT_EQ(f.borders.bottom.style, BorderStyle::Thick);
  EXPECT_EQ(f.fill.pattern, FillPattern::Solid);
  EXPECT_EQ(s.merged(), book->sheet(0).merged());
  EXPECT_EQ(s.GetRow(3).outline_level, 1);
  ASSERT_NE(back->names().Find("Values"), nullptr);
  EXPECT_EQ(back->names().Find("Values")->refers_to, "Data!$B$2:$B$6");
  ASSERT_EQ(s.drawings().size(), 1u);
  ASSERT_TRUE(s.drawings()[0]->chart);
  EXPECT_EQ(s.drawings()[0]->chart->type, ChartType::Scatter);
  EXPECT_EQ(s.drawings()[0]->chart->series.at(0).y_values, "Data!$B$2:$B$6");
  EXPECT_EQ(s.drawings()[0]->chart->series.at(0).trendlines.size(), 1u);
}
