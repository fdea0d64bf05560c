// Reports with charts, end to end: the descriptive and normality tests run by quelstat on the example
// workbooks; the charts are read back by a second reader (openpyxl) and drawn by LibreOffice (PDF,
// then a bitmap of the page through pdftoppm); a long series is cut at the chart limit with message
// 136 over the chart; NIST StRD data sets through quelstat run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using apptest::Outcome;
using apptest::Slurp;

const fs::path kSource = QUELSTAT_SOURCE;
const char* kMessage136 =
    "Unfortunately there are too many data-points to display chart. Current Quelstat & Microsoft Excel "
    "limitations mean only 4,000 points can be shown on the chart.";

bool Have(const std::string& command) {
  return std::system(("command -v " + command + " >/dev/null 2>&1").c_str()) == 0;
}
bool HaveOpenpyxl() { return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0; }

// Output of a shell command.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    ::pclose(p);
  }
  return out;
}

class ReportCharts : public apptest::ScratchSettings {
 protected:
  // Runs a test and returns the reports workbook.
  fs::path Run(const fs::path& book, const std::string& cell, const std::string& test,
               std::vector<std::string> more = {}) {
    fs::path reports = work / (book.stem().string() + "-" + test + ".xlsx");
    std::vector<std::string> args{"run", book.string(), "--cell", cell, "--test", test, "--reports", reports.string()};
    args.insert(args.end(), more.begin(), more.end());
    Outcome r = Quelstat(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return reports;
  }

  // openpyxl's reading of every series: "SHEET CHART SERIES POINTS ok|differ" lines.
  std::vector<std::string> SeriesAsOpenpyxlReadsThem(const fs::path& reports) {
    std::string out = Capture("/usr/bin/python3 '" + (kSource / "tests/app/data/chart_check.py").string() +
                              "' series '" + reports.string() + "' 2>&1");
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // LibreOffice draws the reports workbook; each band of colour on the first page is "TOP BOTTOM
  // LEFT RIGHT" (coloured pixels in each half of the page).
  std::vector<std::vector<int>> InkBands(const fs::path& reports) {
    std::string profile = "file://" + (home / "lo-profile").string();
    std::string convert = "cd '" + work.string() + "' && timeout 180 soffice -env:UserInstallation=" + profile +
                          " --headless --convert-to pdf '" + reports.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(convert.c_str()), 0);
    fs::path pdf = work / (reports.stem().string() + ".pdf");
    EXPECT_TRUE(fs::exists(pdf)) << pdf;
    std::string page = (work / reports.stem()).string();
    EXPECT_EQ(std::system(("pdftoppm -r 50 -f 1 -l 1 -singlefile '" + pdf.string() + "' '" + page + "'").c_str()), 0);
    // The page as PNG beside it, for a person to look at when the test fails.
    std::system(("pdftoppm -r 60 -png -f 1 -l 1 -singlefile '" + pdf.string() + "' '" + page + "'").c_str());
    std::string out = Capture("/usr/bin/python3 '" + (kSource / "tests/app/data/chart_check.py").string() + "' ink '" +
                              page + ".ppm'");
    std::vector<std::vector<int>> bands;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::vector<int> band(4);
      if (fields >> band[0] >> band[1] >> band[2] >> band[3]) bands.push_back(band);
    }
    return bands;
  }
};

struct Case {
  const char* example;
  const char* cell;
  const char* test;
  int charts;       // chart objects in the report
  bool sideBySide;  // two charts next to each other
};

TEST_F(ReportCharts, EveryChartPointsAtItsCellsAndIsDrawn) {
  const Case cases[] = {{"contdesc.xlsx", "B5", "dscrptv", 2, true},
                        {"contdesc.xlsx", "B5", "normalty", 1, false},
                        {"catdesc.xlsx", "B5", "dscrptvn", 1, false},
                        {"compdesc.xlsx", "C5", "dscrptvc", 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.test);
    fs::path reports = Run(Example(c.example), c.cell, c.test);
    // quelstat show --charts lists each chart's series with their ranges and values.
    Outcome shown = Quelstat({"show", reports.string(), "--charts"});
    EXPECT_EQ(shown.status, 0);
    std::size_t charts = 0;
    for (std::size_t at = shown.out.find("\" on \""); at != std::string::npos; at = shown.out.find("\" on \"", at + 1))
      ++charts;
    EXPECT_EQ(charts, static_cast<std::size_t>(c.charts)) << shown.out;
    EXPECT_NE(shown.out.find("y values: "), std::string::npos) << shown.out;

    if (HaveOpenpyxl()) {
      std::vector<std::string> lines = SeriesAsOpenpyxlReadsThem(reports);
      EXPECT_FALSE(lines.empty());
      for (const std::string& line : lines) EXPECT_NE(line.find(" ok"), std::string::npos) << line;
    } else {
      std::printf("openpyxl is not installed: the series references are not read back\n");
    }
    if (!Have("soffice") || !Have("pdftoppm")) {
      std::printf("soffice or pdftoppm is not installed: the charts are not drawn\n");
      continue;
    }
    std::vector<std::vector<int>> bands = InkBands(reports);
    bool drawn = false;
    for (const auto& b : bands) drawn = drawn || (c.sideBySide ? b[2] > 50 && b[3] > 50 : b[2] + b[3] > 50);
    EXPECT_TRUE(drawn) << "no chart drawn in colour on the first page of " << reports;
  }
}

TEST_F(ReportCharts, ASeriesOfMoreThan4000ValuesIsCutWithMessage136) {
  fs::path book = work / "long.csv";
  {
    std::ofstream out(book);
    out << "Value\n";
    for (int i = 0; i < 4001; ++i) out << 10 + std::sin(i * 0.37) * 3 + (i % 7) * 0.01 << "\n";
  }
  fs::path reports = Run(book, "A2", "normalty", {"--set", "Normality test=Anderson-Darling"});
  Outcome shown = Quelstat({"show", reports.string(), "--charts"});
  // The data series holds 4,000 points; the text box with message 136 lies over the chart.
  EXPECT_NE(shown.out.find("$K$24:$K$4023"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("(4000 values)"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("text box"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find(std::string(kMessage136).substr(0, 50)), std::string::npos) << shown.out;
  const std::string chartAt = "\"Chart 1\" on \"Normality 1\" at ";
  const std::size_t chart = shown.out.find(chartAt);
  const std::size_t box = shown.out.find("text box ");
  ASSERT_NE(chart, std::string::npos);
  ASSERT_NE(box, std::string::npos);
  // Same corners as the chart ("A23:I45").
  const std::size_t from = chart + chartAt.size();
  const std::string corners = shown.out.substr(from, shown.out.find(":\n", from) - from);
  EXPECT_NE(shown.out.find(" at " + corners + ":", box), std::string::npos) << corners << "\n" << shown.out;
  // The statistic is still computed on all 4,001 values.
  Outcome json = Quelstat({"run", book.string(), "--cell", "A2", "--test", "normalty", "--json"});
  EXPECT_NE(json.out.find("\"n\":4001"), std::string::npos);
  if (HaveOpenpyxl()) {
    for (const std::string& line : SeriesAsOpenpyxlReadsThem(reports)) {
      if (line.rfind("Normality_1 1 1 ", 0) == 0) {
        EXPECT_EQ(line, "Normality_1 1 1 4000 ok");
      }
    }
  }
}

// ------------------------------------------------------------------ NIST StRD through quelstat run

struct Certified {
  std::vector<std::string> values;  // as published
  double mean = NAN, sd = NAN;
  int meanDigits = 15;
};

Certified ReadStrd(const std::string& name) {
  std::ifstream in((kSource / "tests/data/numerics/strd" / (name + ".dat")).string());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  Certified c;
  std::size_t first = 0, last = 0;
  const std::regex range(R"(^\s*Data\s*:\s*lines\s+(\d+)\s+to\s+(\d+))");
  const std::regex mean(R"(ybar:\s*([-+0-9.eE]+))"), sd(R"(\bs:\s*([-+0-9.eE]+))");
  for (const std::string& line : lines) {
    std::smatch m;
    if (!first && std::regex_search(line, m, range)) {
      first = std::stoul(m[1]);
      last = std::stoul(m[2]);
    } else if (line.find("Sample Mean") != std::string::npos && std::regex_search(line, m, mean)) {
      c.mean = std::stod(m[1]);
      // Digits the certified mean carries (trailing zeros of the published 15 included).
      std::string digits = m[1];
      digits.erase(std::remove_if(digits.begin(), digits.end(), [](char ch) { return !std::isdigit(ch); }),
                   digits.end());
      c.meanDigits = static_cast<int>(std::min<std::size_t>(
          15, digits.find_first_not_of('0') == std::string::npos ? 15 : digits.size() - digits.find_first_not_of('0')));
    } else if (line.find("Sample Standard Deviation") != std::string::npos && std::regex_search(line, m, sd)) {
      c.sd = std::stod(m[1]);
    }
  }
  for (std::size_t i = first; i && i <= last && i <= lines.size(); ++i) {
    std::string v = lines[i - 1];
    v.erase(0, v.find_first_not_of(" \t"));
    v.erase(v.find_last_not_of(" \t\r") + 1);
    c.values.push_back(v);
  }
  return c;
}

double Lre(double got, double certified) {
  if (got == certified) return 15;
  return std::fmin(15, -std::log10(std::fabs(got - certified) / std::fabs(certified)));
}

double JsonNumber(const std::string& json, const std::string& key) {
  std::size_t at = json.find("\"" + key + "\":");
  return at == std::string::npos ? NAN : std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

TEST_F(ReportCharts, StrdUnivariateThroughQuelstatRun) {
  // R's mean() and sd() on the same data (tests/data/numerics/make_fixtures.R).
  std::ifstream r((kSource / "tests/data/numerics/strd_r.txt").string());
  std::string name;
  double rMean, rSd;
  int sets = 0;
  std::printf("  %-10s %9s %9s %9s\n", "data set", "mean LRE", "sd LRE", "R sd LRE");
  for (std::string line; std::getline(r, line);) {
    std::istringstream fields(line);
    if (line.empty() || line[0] == '#' || !(fields >> name >> rMean >> rSd)) continue;
    Certified c = ReadStrd(name);
    ASSERT_FALSE(c.values.empty()) << name;
    fs::path book = work / (name + ".csv");
    {
      std::ofstream out(book);
      out << name << "\n";
      for (const std::string& v : c.values) out << v << "\n";
    }
    Outcome run = Quelstat({"run", book.string(), "--cell", "A2", "--test", "dscrptv", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const double mean = JsonNumber(run.out, "value"), sdValue = JsonNumber(run.out, "SD");
    const double meanLre = Lre(mean, c.mean), sdLre = Lre(sdValue, c.sd), rLre = Lre(rSd, c.sd);
    std::printf("  %-10s %9.2f %9.2f %9.2f\n", name.c_str(), meanLre, sdLre, rLre);
    EXPECT_GE(meanLre, std::min(15, c.meanDigits) - 1e-9) << name << " mean " << mean;
    EXPECT_GE(sdLre, rLre - 1e-9) << name << " SD " << sdValue;
    ++sets;
  }
  EXPECT_EQ(sets, 9);
}

}  // namespace
