// Formulas through a read and a save: array formulas stay array formulas over the same range with
// their cached values, and shared formulas read from a file keep each cell's meaning once saved.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sheets/io/file_error.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/zip.h"
#include "tests/bounds.h"

using namespace sheets;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<Workbook> ReadBytes(const std::string& bytes) {
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "t.xlsx");
}

std::string SheetXml(const std::string& bytes) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  return zip.ReadAll(size_t(zip.Find("xl/worksheets/sheet1.xml")), 1 << 24);
}

// A workbook file of our own whose first sheet's cells are replaced by sheet_data (the inside of
// <sheetData>), for cells as other programs write them.
std::string WithSheetData(const std::string& sheet_data) {
  Workbook book("T");
  book.AddSheet("Data").SetNumber(0, 0, 1);
  book.AddSheet("Other").SetNumber(0, 0, 2);
  std::string bytes = WriteXlsxBytes(book);
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  MemorySink sink;
  ZipWriter w(sink);
  for (size_t i = 0; i < zip.entries().size(); ++i) {
    std::string name = zip.entries()[i].name;
    std::string data = zip.ReadAll(i, 1 << 24);
    if (name == "xl/worksheets/sheet1.xml") {
      size_t a = data.find("<sheetData");
      size_t b = data.find("</sheetData>");
      EXPECT_NE(a, std::string::npos);
      EXPECT_NE(b, std::string::npos);
      data = data.substr(0, a) + "<sheetData>" + sheet_data + data.substr(b);
    }
    w.Add(name, data);
  }
  w.Finish();
  return sink.bytes();
}

size_t Count(const std::string& hay, const std::string& needle) {
  size_t n = 0;
  for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
  return n;
}

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

}  // namespace

TEST(ArrayFormulaRoundTrip, OurWriterAndReaderKeepRangesTextsAndCachedValues) {
  Workbook book("A");
  Sheet& s = book.AddSheet("Data");
  for (uint32_t r = 0; r < 3; ++r) {
    s.SetNumber(r, 0, r + 1);
    s.SetNumber(r, 1, 10 * (r + 1));
  }
  // D1:E3 with cached values of every kind in its other cells.
  s.SetArrayFormula({{0, 3}, {2, 4}}, "IF(A1:A3>1,A1:A3*B1:B3,\"none\")", Value::Text("none"));
  s.SetNumber(1, 3, 40);
  s.SetNumber(2, 3, 90);
  s.SetText(0, 4, "none");
  s.SetBoolean(1, 4, true);
  s.SetError(2, 4, ErrorCode::Value);
  // One-cell array next to the same text as an ordinary formula: they compute differently.
  s.SetArrayFormula({{0, 6}, {0, 6}}, "SUM(A1:A3*B1:B3)", Value::Number(140));
  s.SetFormula(1, 6, "SUM(A1:A3*B1:B3)", Value::Error(ErrorCode::Value));
  // Another array on a later sheet row, after a gap; its other cells have no cached values.
  s.SetArrayFormula({{5, 0}, {6, 1}}, "MMULT(A1:B2,A2:B3)", Value::Number(1));

  std::string bytes = WriteXlsxBytes(book);
  std::string xml = SheetXml(bytes);
  EXPECT_NE(xml.find("<c r=\"D1\" t=\"str\"><f t=\"array\" ref=\"D1:E3\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<f t=\"array\" ref=\"G1\">SUM(A1:A3*B1:B3)</f>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<c r=\"G2\" t=\"e\"><f>SUM(A1:A3*B1:B3)</f>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<f t=\"array\" ref=\"A6:B7\">"), std::string::npos) << xml;
  EXPECT_EQ(Count(xml, "<f"), 4u) << xml;  // the other cells of the ranges hold values only

  auto back = ReadBytes(bytes);
  const Sheet& b = back->sheet(0);
  EXPECT_EQ(b.array_formulas(), s.array_formulas());
  s.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
    CellView w = b.Get(r, c);
    EXPECT_EQ(w.formula, v.formula) << CellName({r, c});
    EXPECT_EQ(w.ToValue(), v.ToValue()) << CellName({r, c});
  });
  EXPECT_EQ(b.CellCount(), s.CellCount());
  EXPECT_FALSE(b.ArrayFormulaAt({1, 6}));
  // A second save writes the same sheet.
  EXPECT_EQ(SheetXml(WriteXlsxBytes(*back)), xml);
}

TEST(ArrayFormulaRoundTrip, ReaderRefusesArraysThatDoNotFitTheirCells) {
  // The range must start at its own cell.
  EXPECT_THROW(ReadBytes(WithSheetData(R"(<row r="1"><c r="B1"><f t="array" ref="A1:B2">1</f><v>1</v></c></row>)")),
               FileError);
  EXPECT_THROW(ReadBytes(WithSheetData(R"(<row r="1"><c r="A1"><f t="array" ref="A1:">1</f><v>1</v></c></row>)")),
               FileError);
  // A cell inside someone else's array with a formula of its own.
  EXPECT_THROW(ReadBytes(WithSheetData(R"(<row r="1"><c r="A1"><f t="array" ref="A1:B2">1</f><v>1</v></c></row>)"
                                       R"(<row r="2"><c r="B2"><f>3</f><v>3</v></c></row>)")),
               FileError);
  // Overlapping arrays.
  EXPECT_THROW(ReadBytes(WithSheetData(R"(<row r="1"><c r="A1"><f t="array" ref="A1:B2">1</f><v>1</v></c>)"
                                       R"(<c r="B1"><f t="array" ref="B1:C1">1</f><v>1</v></c></row>)")),
               FileError);
  // Without ref, the array is the cell alone.
  auto book = ReadBytes(WithSheetData(R"(<row r="1"><c r="C1"><f t="array">SUM(A1:A2*B1:B2)</f><v>7</v></c></row>)"));
  EXPECT_EQ(book->sheet(0).ArrayFormulaAt({0, 2}), (RangeAddress{{0, 2}, {0, 2}}));
  EXPECT_EQ(book->sheet(0).GetValue(0, 2), Value::Number(7));
}

TEST(ArrayFormulaRoundTrip, ManyArraysBesideATallOneReadInLinearTime) {
  // A tall array in column A, then a one-cell array and an ordinary formula on each of its rows: each
  // check for overlaps and for formulas inside arrays must not look back over all rows above.
  const uint32_t rows = 100000;
  std::string data = R"(<row r="1"><c r="A1"><f t="array" ref="A1:A100000">ROW(B1:B100000)</f><v>1</v></c>)"
                     R"(<c r="B1"><f t="array">1</f><v>1</v></c><c r="C1"><f>B1</f><v>1</v></c></row>)";
  for (uint32_t r = 2; r <= rows; ++r) {
    std::string n = std::to_string(r);
    data += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n + "\"><f t=\"array\">" + n +
            "</f><v>" + n + "</v></c><c r=\"C" + n + "\"><f>B" + n + "</f><v>" + n + "</v></c></row>";
  }
  std::string bytes = WithSheetData(data);
  double start = test_bounds::CpuSeconds();
  auto book = ReadBytes(bytes);
  EXPECT_LT(test_bounds::CpuSeconds() - start, test_bounds::Seconds(20.0));
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.array_formulas().size(), size_t(rows) + 1);
  EXPECT_EQ(s.ArrayFormulaAt({rows - 1, 0}), (RangeAddress{{0, 0}, {rows - 1, 0}}));
  EXPECT_EQ(s.ArrayFormulaAt({rows - 1, 1}), (RangeAddress{{rows - 1, 1}, {rows - 1, 1}}));
  EXPECT_FALSE(s.ArrayFormulaAt({rows - 1, 2}));
  EXPECT_EQ(s.GetValue(rows - 1, 0), Value::Number(rows));
  // The reader's own checks still refuse a formula inside the tall array far below its first cell.
  std::string bad = R"(<row r="1"><c r="A1"><f t="array" ref="A1:A100000">1</f><v>1</v></c></row>)"
                    R"(<row r="99999"><c r="B99999"><f t="array" ref="B99999:B100000">1</f><v>1</v></c></row>)"
                    R"(<row r="100000"><c r="A100000"><f>1</f><v>1</v></c></row>)";
  EXPECT_THROW(ReadBytes(WithSheetData(bad)), FileError);
}

TEST(SharedFormulaRoundTrip, EveryCellKeepsItsMeaningWhenSaved) {
  // One shared formula over B1:C3 written once in B1; the others give only its index. Relative parts
  // move with the cell, absolute parts, quoted text, other sheets' absolute cells and function
  // names stay.
  std::string data =
      R"(<row r="1"><c r="A1"><v>1</v></c>)"
      R"(<c r="B1"><f t="shared" ref="B1:C3" si="0">A1*$E$1+SUM(A$1:A1)+Other!$A$1+LOG10(A1)&amp;"A1"</f><v>0</v></c>)"
      R"(<c r="C1"><f t="shared" si="0"/><v>0</v></c></row>)"
      R"(<row r="2"><c r="A2"><v>2</v></c><c r="B2"><f t="shared" si="0"/><v>0</v></c>)"
      R"(<c r="C2"><f t="shared" si="0"/><v>0</v></c></row>)"
      R"(<row r="3"><c r="B3"><f t="shared" si="0"/><v>0</v></c><c r="C3"><f t="shared" si="0"/><v>5</v></c>)"
      R"(<c r="D3"><f t="shared" ref="D3:D4" si="1">$A1-A$1</f><v>0</v></c></row>)"
      R"(<row r="4"><c r="D4"><f t="shared" si="1"/><v>0</v></c></row>)";
  auto book = ReadBytes(WithSheetData(data));
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.Get(0, 1).formula, "A1*$E$1+SUM(A$1:A1)+Other!$A$1+LOG10(A1)&\"A1\"");
  EXPECT_EQ(s.Get(0, 2).formula, "B1*$E$1+SUM(B$1:B1)+Other!$A$1+LOG10(B1)&\"A1\"");
  EXPECT_EQ(s.Get(1, 1).formula, "A2*$E$1+SUM(A$1:A2)+Other!$A$1+LOG10(A2)&\"A1\"");
  EXPECT_EQ(s.Get(2, 2).formula, "B3*$E$1+SUM(B$1:B3)+Other!$A$1+LOG10(B3)&\"A1\"");
  EXPECT_EQ(s.GetValue(2, 2), Value::Number(5));
  EXPECT_EQ(s.Get(2, 3).formula, "$A1-A$1");
  EXPECT_EQ(s.Get(3, 3).formula, "$A2-A$1");
  EXPECT_TRUE(s.array_formulas().empty());

  // Saved, each cell carries its own formula text: nothing refers to a shared index any more.
  std::string saved = WriteXlsxBytes(*book);
  std::string xml = SheetXml(saved);
  EXPECT_EQ(xml.find("t=\"shared\""), std::string::npos) << xml;
  EXPECT_EQ(Count(xml, "<f>"), 8u) << xml;
  auto back = ReadBytes(saved);
  s.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
    EXPECT_EQ(back->sheet(0).Get(r, c).formula, v.formula) << CellName({r, c});
    EXPECT_EQ(back->sheet(0).GetValue(r, c), v.ToValue()) << CellName({r, c});
  });
}

TEST(ArrayFormulaRoundTrip, OpenpyxlFixtureSavedByUsReadsBackInOpenpyxl) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/openpyxl-array.xlsx");
  const Sheet& s = book->sheet(0);
  std::map<CellAddress, RangeAddress> expected{{{0, 3}, {{0, 3}, {3, 3}}},   // D1:D4
                                               {{0, 4}, {{0, 4}, {0, 4}}},   // E1
                                               {{0, 5}, {{0, 5}, {1, 6}}}};  // F1:G2
  EXPECT_EQ(s.array_formulas(), expected);
  EXPECT_EQ(s.Get(0, 3).formula, "A1:A4*B1:B4");
  EXPECT_EQ(s.Get(0, 5).formula, "MMULT(A1:B2,A3:B4)");
  EXPECT_EQ(s.Get(1, 4).formula, "SUM(A1:A4*B1:B4)");
  EXPECT_FALSE(s.ArrayFormulaAt({1, 4}));

  if (::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "openpyxl for /usr/bin/python3 is not installed (apt-get install python3-openpyxl); "
                    "the openpyxl read-back is not checked";
  fs::path dir = fs::temp_directory_path() / ("qs-array-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "saved.xlsx").string();
  SaveWorkbook(*book, path);
  std::string script = (dir / "check.py").string();
  // openpyxl 3.0 keeps array attributes in formula_attributes, 3.1 in ArrayFormula values.
  std::ofstream(script) << R"(import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1])["Data"]
for name in ("D1", "D2", "E1", "E2", "F1", "G2"):
    v = ws[name].value
    if hasattr(v, "ref"):
        print(name, "array", v.ref, v.text)
    elif name in getattr(ws, "formula_attributes", {}):
        a = ws.formula_attributes[name]
        print(name, a.get("t"), a.get("ref"), v)
    else:
        print(name, "plain", v)
)";
  int status = 0;
  std::string out = RunCommand("/usr/bin/python3 " + script + " " + path + " 2>&1", &status);
  fs::remove_all(dir);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out,
            "D1 array D1:D4 =A1:A4*B1:B4\n"
            "D2 plain None\n"
            "E1 array E1 =SUM(A1:A4*B1:B4)\n"
            "E2 plain =SUM(A1:A4*B1:B4)\n"
            "F1 array F1:G2 =MMULT(A1:B2,A3:B4)\n"
            "G2 plain None\n");
}
