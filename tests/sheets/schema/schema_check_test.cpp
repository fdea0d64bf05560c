// The checker and its table: packages LibreOffice and openpyxl wrote pass (which checks the table),
// and parts with purpose-made faults fail with the part, the path and the fault named (which
// checks the checker).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "schema_check.h"
#include "schema_test_support.h"
#include "sheets/io/zip.h"

using schemacheck::CheckPackage;
using schemacheck::Problem;
using schemacheck::ReadFile;
using schemacheck::Schema;
using schemacheck::Table;

namespace {

std::string Joined(const std::vector<Problem>& problems) {
  std::string out;
  for (const auto& p : problems) out += p.ToString() + "\n";
  return out;
}

constexpr std::string_view kWorksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr std::string_view kStyles = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
constexpr std::string_view kChart = "application/vnd.openxmlformats-officedocument.drawingml.chart+xml";

std::string Sheet(std::string_view body, std::string_view root_attrs = "") {
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"" +
         std::string(root_attrs) + ">" + std::string(body) + "</worksheet>";
}

std::vector<Problem> CheckSheet(std::string_view body, std::string_view root_attrs = "") {
  return Table().CheckPart("xl/worksheets/sheet1.xml", kWorksheet, Sheet(body, root_attrs));
}

// Expects exactly one problem, whose text contains each of the fragments.
void ExpectOneProblem(const std::vector<Problem>& problems, std::initializer_list<std::string_view> fragments) {
  ASSERT_EQ(problems.size(), 1u) << Joined(problems);
  std::string text = problems[0].ToString();
  for (auto f : fragments) EXPECT_NE(text.find(f), std::string::npos) << "missing \"" << f << "\" in: " << text;
}

// Expects a problem whose text contains each of the fragments, among any number.
void ExpectProblem(const std::vector<Problem>& problems, std::initializer_list<std::string_view> fragments) {
  for (const auto& p : problems) {
    std::string text = p.ToString();
    bool all = true;
    for (auto f : fragments) all = all && text.find(f) != std::string::npos;
    if (all) return;
  }
  ADD_FAILURE() << "no problem with all of the fragments among:\n" << Joined(problems);
}

}  // namespace

TEST(SchemaTable, AcceptsEveryModelledPartOfTheLibreOfficeAndOpenpyxlFixtures) {
  size_t packages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QS_SHEETS_DATA)) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".xlsx" || !(name.starts_with("libreoffice-") || name.starts_with("openpyxl-")))
      continue;
    SCOPED_TRACE(name);
    ++packages;
    auto report = CheckPackage(Table(), ReadFile(entry.path().string()));
    // openpyxl leaves out a scatter chart's style, which the chart schema requires (the producer's
    // fault, not the table's): that and nothing else is let through.
    std::erase_if(report.problems, [&](const Problem& p) {
      return name.starts_with("openpyxl-") && p.path.ends_with("/scatterChart[1]/ser[1]") &&
             p.message == "<ser> out of order in c.CT_ScatterChart; expected: scatterStyle";
    });
    EXPECT_TRUE(report.problems.empty()) << report.Summary();
    // Workbook, styles, at least one sheet, the content types and relationships were checked.
    EXPECT_GE(report.checked.size(), 5u);
    // What the table leaves aside is only what the writer copies untouched: themes, comments,
    // VML, custom properties, images.
    for (const auto& [part, type] : report.not_checked)
      EXPECT_TRUE(type.find("theme") != std::string::npos || type.find("comments") != std::string::npos ||
                  type.find("vml") != std::string::npos || type.find("custom-properties") != std::string::npos ||
                  type.starts_with("image/"))
          << part << " " << type;
  }
  EXPECT_GE(packages, 8u);
}

TEST(SchemaChecker, AcceptsAMinimalSheetAndHonoursNamespacesAndIgnorableMarkup) {
  EXPECT_TRUE(CheckSheet("<sheetData/>").empty());
  // Prefixed names resolve through their declarations, whatever the prefix.
  EXPECT_TRUE(
      Table()
          .CheckPart("s.xml", kWorksheet,
                     "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                     "<x:sheetData><x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c></x:row></x:sheetData></x:worksheet>")
          .empty());
  // Attributes and elements of a namespace declared ignorable are skipped; the same undeclared are faults.
  const std::string ignorable =
      " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" xmlns:x14ac=\"urn:x14ac\" "
      "mc:Ignorable=\"x14ac\"";
  EXPECT_TRUE(
      CheckSheet("<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\"/></sheetData><x14ac:extra/>", ignorable).empty());
  ExpectOneProblem(
      CheckSheet("<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\"/></sheetData>", " xmlns:x14ac=\"urn:x14ac\""),
      {"row[1]", "unknown attribute x14ac:dyDescent"});
  ExpectOneProblem(
      CheckSheet("<sheetData/>",
                 " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x14ac\""),
      {"/worksheet", "prefix x14ac, which is not declared"});
  // Alternate content is checked through its fallback.
  const std::string mc = " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";
  EXPECT_TRUE(
      CheckSheet("<mc:AlternateContent><mc:Choice Requires=\"x14\"><x14:whatever xmlns:x14=\"urn:x14\"/></mc:Choice>"
                 "<mc:Fallback><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews></mc:Fallback>"
                 "</mc:AlternateContent><sheetData/>",
                 mc)
          .empty());
  ExpectOneProblem(
      CheckSheet("<sheetData/><mc:AlternateContent><mc:Fallback><sheetViews><sheetView workbookViewId=\"0\"/>"
                 "</sheetViews></mc:Fallback></mc:AlternateContent>",
                 mc),
      {"sheetViews", "out of order"});
  // xml:space is an attribute of texts only.
  EXPECT_TRUE(
      CheckSheet("<sheetData><row><c t=\"inlineStr\"><is><t xml:space=\"preserve\"> a </t></is></c></row></sheetData>")
          .empty());
  ExpectOneProblem(CheckSheet("<sheetData xml:space=\"preserve\"/>"), {"unknown attribute xml:space"});
}

TEST(SchemaChecker, FindsPurposeMadeFaultsWithTheirPartAndPath) {
  // Two children swapped.
  ExpectOneProblem(
      CheckSheet("<sheetData/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"),
      {"xl/worksheets/sheet1.xml", "/worksheet/sheetViews[1]", "<sheetViews> out of order", "after <sheetData>"});
  ExpectOneProblem(CheckSheet("<sheetData/><pageSetup paperSize=\"9\"/><pageMargins left=\"1\" right=\"1\" top=\"1\" "
                              "bottom=\"1\" header=\"0\" footer=\"0\"/>"),
                   {"pageMargins", "out of order"});
  // An element the parent does not allow, and one the table does not know at all.
  ExpectOneProblem(CheckSheet("<sheetData><row><v>1</v></row></sheetData>"),
                   {"/worksheet/sheetData[1]/row[1]/v[1]", "not allowed in CT_Row"});
  ExpectOneProblem(CheckSheet("<sheetData/><frobnicate/>"), {"<frobnicate> is not allowed"});
  // A required child missing, and too many of one.
  ExpectOneProblem(CheckSheet("<dimension ref=\"A1\"/>"), {"/worksheet", "required child missing", "sheetData"});
  ExpectOneProblem(CheckSheet("<sheetData/><sheetData/>"), {"too many <sheetData>"});
  ExpectOneProblem(
      CheckSheet("<sheetViews><sheetView workbookViewId=\"0\"><selection/><selection/><selection/><selection/>"
                 "<selection/></sheetView></sheetViews><sheetData/>"),
      {"selection[5]", "too many <selection>"});
  // Attributes: required one missing, unknown one, values outside their types.
  ExpectOneProblem(CheckSheet("<sheetViews><sheetView/></sheetViews><sheetData/>"),
                   {"sheetView[1]", "required attribute workbookViewId"});
  ExpectOneProblem(CheckSheet("<sheetData><row r=\"1\" height=\"3\"/></sheetData>"), {"unknown attribute height"});
  ExpectOneProblem(
      CheckSheet("<sheetViews><sheetView workbookViewId=\"0\" view=\"preview\"/></sheetViews><sheetData/>"),
      {"attribute view", "\"preview\" is not a valid ST_SheetViewType"});
  ExpectOneProblem(CheckSheet("<sheetViews><sheetView workbookViewId=\"0\" zoomScale=\"5\"/></sheetViews><sheetData/>"),
                   {"zoomScale", "Zoom"});
  ExpectOneProblem(CheckSheet("<sheetData><row r=\"0\"/></sheetData>"), {"row[1]", "\"0\" is not a valid Row"});
  ExpectOneProblem(CheckSheet("<sheetData><row><c r=\"A1\" t=\"x\"/></row></sheetData>"), {"ST_CellType"});
  ExpectOneProblem(CheckSheet("<sheetData><row><c r=\"AAAA1\"/></row></sheetData>"), {"attribute r"});
  ExpectOneProblem(CheckSheet("<sheetData><row hidden=\"yes\"/></sheetData>"), {"\"yes\" is not a valid Bool"});
  ExpectOneProblem(CheckSheet("<sheetData/><mergeCells><mergeCell ref=\"A1:B\"/></mergeCells>"),
                   {"mergeCell[1]", "ref"});
  ExpectOneProblem(CheckSheet("<sheetData/><drawing/>"), {"required attribute id"});
  // Text where none belongs, and a namespaced attribute in the wrong namespace.
  ExpectOneProblem(CheckSheet("<sheetData>x</sheetData>"), {"text not allowed"});
  auto wrong_ns = CheckSheet("<sheetData/><drawing r:id=\"rId1\" xmlns:r=\"urn:other\"/>");
  ASSERT_EQ(wrong_ns.size(), 2u) << Joined(wrong_ns);
  EXPECT_NE(wrong_ns[0].message.find("unknown attribute r:id"), std::string::npos) << Joined(wrong_ns);
  EXPECT_NE(wrong_ns[1].message.find("required attribute id"), std::string::npos) << Joined(wrong_ns);

  ExpectOneProblem(
      Table().CheckPart("xl/styles.xml", kStyles,
                        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                        "<borders count=\"1\"><border><left style=\"heavy\"/></border></borders></styleSheet>"),
      {"xl/styles.xml", "/styleSheet/borders[1]/border[1]/left[1]", "ST_BorderStyle"});
  ExpectOneProblem(Table().CheckPart("xl/styles.xml", kStyles,
                                     "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                     "<borders count=\"1\"><border><top/><left/></border></borders></styleSheet>"),
                   {"<left> out of order"});
  ExpectOneProblem(
      Table().CheckPart("xl/styles.xml", kStyles,
                        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                        "<fills count=\"1\"><fill><patternFill patternType=\"striped\"/></fill></fills></styleSheet>"),
      {"ST_PatternType"});
  // Charts: a text series under values, and a scatter series with X values after Y values.
  const std::string head =
      "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart><c:plotArea>";
  const std::string tail =
      "<c:axId val=\"1\"/><c:axId val=\"2\"/></c:scatterChart></c:plotArea></c:chart></c:chartSpace>";
  EXPECT_TRUE(
      Table()
          .CheckPart("c.xml", kChart,
                     head +
                         "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                         "<c:order val=\"0\"/><c:xVal><c:strRef><c:f>S!A1</c:f></c:strRef></c:xVal><c:yVal><c:numRef>"
                         "<c:f>S!B1</c:f></c:numRef></c:yVal></c:ser>" +
                         tail)
          .empty());
  ExpectProblem(
      Table().CheckPart("c.xml", kChart,
                        head +
                            "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                            "<c:order val=\"0\"/><c:yVal><c:strRef><c:f>S!B1</c:f></c:strRef></c:yVal></c:ser>" +
                            tail),
      {"yVal[1]/c:strRef[1]", "not allowed in c.CT_NumDataSource"});
  ExpectOneProblem(Table().CheckPart(
                       "c.xml", kChart,
                       head +
                           "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                           "<c:order val=\"0\"/><c:yVal><c:numRef><c:f>S!B1</c:f></c:numRef></c:yVal><c:xVal><c:numRef>"
                           "<c:f>S!A1</c:f></c:numRef></c:xVal></c:ser>" +
                           tail),
                   {"<xVal> out of order"});
  ExpectOneProblem(
      Table().CheckPart("c.xml", kChart,
                        head +
                            "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                            "<c:order val=\"0\"/><c:trendline><c:trendlineType val=\"cubic\"/></c:trendline></c:ser>" +
                            tail),
      {"ST_TrendlineType"});
  ExpectOneProblem(
      Table().CheckPart("c.xml", kChart,
                        head + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/>"
                               "<c:axId val=\"1\"/></c:scatterChart></c:plotArea></c:chart></c:chartSpace>"),
      {"c:scatterChart[1]", "required child missing", "axId"});
  // A malformed part is a problem, not a crash.
  ExpectOneProblem(Table().CheckPart("x.xml", kWorksheet, "<worksheet"), {"not well-formed"});
  ExpectOneProblem(Table().CheckPart("x.xml", kWorksheet,
                                     "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>"),
                   {"root element"});
}

TEST(SchemaChecker, TableFaultsAreReportedWithTheirLine) {
  EXPECT_THROW(Schema::FromText("type T\n  child Missing\nend\n"), std::runtime_error);
  EXPECT_THROW(Schema::FromText("simple S enum\n"), std::runtime_error);
  EXPECT_THROW(Schema::FromText("type T\n  x String 3\nend\n"), std::runtime_error);
  try {
    Schema::FromText("simple S string\n\ntype T\n  @a Nope\nend\n");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
  }
}

namespace {

// A package made of the given parts, in order.
std::string Package(const std::vector<std::pair<std::string, std::string>>& parts) {
  sheets::MemorySink sink;
  sheets::ZipWriter zip(sink);
  for (const auto& [name, bytes] : parts) zip.Add(name, bytes);
  zip.Finish();
  return sink.bytes();
}

const std::string kTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "</Types>";
const std::string kRootRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";
const std::string kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/></Relationships>";
std::string WorkbookXml(std::string_view rid) {
  return "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
         "<sheet name=\"S\" sheetId=\"1\" r:id=\"" +
         std::string(rid) + "\"/></sheets></workbook>";
}

}  // namespace

TEST(SchemaChecker, PackagesAreCheckedAsAWhole) {
  const std::string sheet = Sheet("<sheetData/>");
  auto sound = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes},
                                              {"_rels/.rels", kRootRels},
                                              {"xl/workbook.xml", WorkbookXml("rId1")},
                                              {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                              {"xl/worksheets/sheet1.xml", sheet}}));
  EXPECT_TRUE(sound.problems.empty()) << sound.Summary();
  EXPECT_EQ(sound.checked.size(), 5u);

  // A relationship id the part's relationships lack.
  auto dangling = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes},
                                                 {"_rels/.rels", kRootRels},
                                                 {"xl/workbook.xml", WorkbookXml("rId7")},
                                                 {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                                 {"xl/worksheets/sheet1.xml", sheet}}));
  ExpectOneProblem(dangling.problems, {"xl/workbook.xml", "sheet", "r:id names relationship \"rId7\""});
  // A relationship to a part the package lacks, and an override for it.
  auto missing = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes},
                                                {"_rels/.rels", kRootRels},
                                                {"xl/workbook.xml", WorkbookXml("rId1")},
                                                {"xl/_rels/workbook.xml.rels", kWorkbookRels}}));
  ExpectProblem(missing.problems, {"xl/_rels/workbook.xml.rels", "targets a missing part xl/worksheets/sheet1.xml"});
  ExpectProblem(missing.problems, {"[Content_Types].xml", "override for a part the package lacks"});
  // A part without a content type.
  auto untyped = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes},
                                                {"_rels/.rels", kRootRels},
                                                {"xl/workbook.xml", WorkbookXml("rId1")},
                                                {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                                {"xl/worksheets/sheet1.xml", sheet},
                                                {"xl/media/image1.png", "PNG"}}));
  ExpectOneProblem(untyped.problems, {"xl/media/image1.png", "no content type"});
  // No content types part at all.
  auto bare = CheckPackage(Table(), Package({{"xl/workbook.xml", WorkbookXml("rId1")}}));
  ExpectOneProblem(bare.problems, {"no content types part"});
}

namespace {

// A workbook package of one sheet with styles and shared strings, from the parts' XML bodies.
std::string Book(std::string_view sheet_body, std::string_view styles_body, std::string_view sst_body,
                 std::string_view sheets = "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                 std::string_view names = "") {
  const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  const std::string types =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "<Override PartName=\"/xl/sharedStrings.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
      "</Types>";
  const std::string rels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
      "Target=\"worksheets/sheet1.xml\"/>"
      "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
      "Target=\"styles.xml\"/>"
      "<Relationship Id=\"rId3\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
      "Target=\"sharedStrings.xml\"/>"
      "</Relationships>";
  const std::string workbook = "<workbook " + ns +
                               " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                               "<sheets>" +
                               std::string(sheets) + "</sheets>" + std::string(names) + "</workbook>";
  return Package({{"[Content_Types].xml", types},
                  {"_rels/.rels", kRootRels},
                  {"xl/workbook.xml", workbook},
                  {"xl/_rels/workbook.xml.rels", rels},
                  {"xl/worksheets/sheet1.xml", Sheet(sheet_body)},
                  {"xl/styles.xml", "<styleSheet " + ns + ">" + std::string(styles_body) + "</styleSheet>"},
                  {"xl/sharedStrings.xml", "<sst " + ns + ">" + std::string(sst_body) + "</sst>"}});
}

const std::string kStyleSheet =
    "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.0\"/></numFmts>"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Arial\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
    "patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border/></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
    "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"1\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>";
const std::string kStrings = "<si><t>a</t></si><si><t>b</t></si>";
const std::string kCells =
    "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\" t=\"s\"><v>1</v></c><c r=\"C1\"><v>2</v></c></row>"
    "<row r=\"3\"><c r=\"B3\" s=\"0\"/></row></sheetData><mergeCells><mergeCell ref=\"A5:B6\"/>"
    "<mergeCell ref=\"C5:C6\"/></mergeCells>";

std::vector<Problem> BookProblems(std::string_view sheet_body, std::string_view styles_body = kStyleSheet,
                                  std::string_view sst_body = kStrings,
                                  std::string_view sheets = "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                                  std::string_view names = "") {
  return CheckPackage(Table(), Book(sheet_body, styles_body, sst_body, sheets, names)).problems;
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

}  // namespace

// Beyond the content models: what Excel checks across parts, and repairs when it fails.
TEST(SchemaChecker, IndexesAcrossPartsAndTheOrderOfCellsAreChecked) {
  EXPECT_TRUE(BookProblems(kCells).empty()) << Joined(BookProblems(kCells));
  // Cells: a format beyond the cell formats, a shared string beyond the strings, rows and cells out
  // of order, a cell in the wrong row, merged areas overlapping.
  ExpectOneProblem(BookProblems(Replaced(kCells, "s=\"0\"", "s=\"2\"")),
                   {"row[2]", "cell B3 has format 2 but 2 cell formats"});
  ExpectOneProblem(BookProblems(Replaced(kCells, "<v>1</v>", "<v>2</v>")), {"cell A1 names shared string 2 of 2"});
  ExpectOneProblem(BookProblems(Replaced(kCells, "<row r=\"3\"><c r=\"B3\"", "<row r=\"1\"><c r=\"B1\"")),
                   {"row 1 does not come after row 1"});
  ExpectOneProblem(BookProblems(Replaced(kCells, "r=\"C1\"", "r=\"A1\"")), {"cell A1 does not come after"});
  ExpectOneProblem(BookProblems(Replaced(kCells, "r=\"B3\"", "r=\"B4\"")), {"cell B4 in row 3"});
  ExpectOneProblem(BookProblems(Replaced(kCells, "C5:C6", "B6:C7")), {"merged areas A5:B6 and B6:C7 overlap"});
  EXPECT_TRUE(BookProblems("<cols><col min=\"1\" max=\"2\"/><col min=\"3\" max=\"3\"/></cols>" + kCells).empty());
  ExpectOneProblem(BookProblems("<cols><col min=\"1\" max=\"2\"/><col min=\"2\" max=\"3\"/></cols>" + kCells),
                   {"columns 2:3 overlap"});
  // Styles: a font, fill or border beyond its table, a number format never defined.
  ExpectOneProblem(BookProblems(kCells, Replaced(kStyleSheet, "fillId=\"1\"", "fillId=\"2\"")),
                   {"xl/styles.xml", "cellXfs/xf[2]", "fillId 2 but 2 fills"});
  ExpectOneProblem(BookProblems(kCells, Replaced(kStyleSheet, "numFmtId=\"164\" fontId", "numFmtId=\"165\" fontId")),
                   {"number format 165 is not defined"});
  ExpectOneProblem(BookProblems(kCells, Replaced(kStyleSheet, "xfId=\"0\" builtinId", "xfId=\"1\" builtinId")),
                   {"cellStyle[1]", "xfId 1"});
  // Workbook: sheet names twice (in any case), a name twice in one scope, a name of a missing sheet.
  ExpectProblem(
      BookProblems(kCells, kStyleSheet, kStrings,
                   "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"s\" sheetId=\"2\" r:id=\"rId1\"/>"),
      {"sheet name \"s\" used twice"});
  ExpectOneProblem(
      BookProblems(kCells, kStyleSheet, kStrings, "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                   "<definedNames><definedName name=\"X\">1</definedName><definedName name=\"x\">2</definedName>"
                   "<definedName name=\"x\" localSheetId=\"0\">3</definedName></definedNames>"),
      {"name x defined twice in one scope"});
  ExpectOneProblem(
      BookProblems(kCells, kStyleSheet, kStrings, "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                   "<definedNames><definedName name=\"X\" localSheetId=\"1\">1</definedName></definedNames>"),
      {"name X belongs to sheet 1 of 1"});
  // Two shapes of one drawing with the same id.
  const std::string anchor =
      "<xdr:twoCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>0</xdr:row><xdr:rowOff>0</"
      "xdr:rowOff>"
      "</xdr:from><xdr:to><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row><xdr:rowOff>0</"
      "xdr:rowOff></xdr:to>"
      "<xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"2\" name=\"Box\"/><xdr:cNvSpPr "
      "txBox=\"1\"/></xdr:nvSpPr><xdr:spPr/></xdr:sp>"
      "<xdr:clientData/></xdr:twoCellAnchor>";
  auto drawing = [&](int anchors) {
    std::string xml =
        "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">";
    for (int i = 0; i < anchors; ++i) xml += anchor;
    return CheckPackage(Table(),
                        Package({{"[Content_Types].xml",
                                  Replaced(kTypes, "</Types>",
                                           "<Override PartName=\"/xl/drawings/drawing1.xml\" ContentType="
                                           "\"application/vnd.openxmlformats-officedocument.drawing+xml\"/></Types>")},
                                 {"_rels/.rels", kRootRels},
                                 {"xl/workbook.xml", WorkbookXml("rId1")},
                                 {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                 {"xl/worksheets/sheet1.xml", Sheet("<sheetData/>")},
                                 {"xl/drawings/drawing1.xml", xml + "</xdr:wsDr>"}}))
        .problems;
  };
  EXPECT_TRUE(drawing(1).empty()) << Joined(drawing(1));
  ExpectOneProblem(drawing(2), {"xl/drawings/drawing1.xml", "shape id 2 used twice"});
  // Every sheet hidden, and a hidden sheet active.
  ExpectProblem(
      BookProblems(kCells, kStyleSheet, kStrings, "<sheet name=\"S\" sheetId=\"1\" state=\"hidden\" r:id=\"rId1\"/>"),
      {"no sheet is visible"});
  ExpectOneProblem(BookProblems(kCells, kStyleSheet, kStrings,
                                "<sheet name=\"S\" sheetId=\"1\" state=\"veryHidden\" r:id=\"rId1\"/><sheet name=\"T\" "
                                "sheetId=\"2\" r:id=\"rId1\"/>",
                                "<definedNames/>"),
                   {"the active sheet 0 is hidden"});
}

// The checker's content models on a small table of its own: nested groups, bounds, text types.
TEST(SchemaChecker, NestedGroupsAndBoundsAreMatchedExactly) {
  const Schema t = Schema::FromText(R"(
ns t urn:t
default t
simple Small int 1..3
simple Kind enum a b
type Root
  @kind Kind req
  head Small
  choice 1..2
    seq
      x Empty
      y Empty ?
    end
    z Empty 2..3
  end
  tail Small *
end
type Empty
end
part test/root t:root Root
)");
  auto check = [&](std::string_view body, std::string_view attrs = " kind=\"a\"") {
    return t.CheckPart("p", "test/root",
                       "<root xmlns=\"urn:t\"" + std::string(attrs) + ">" + std::string(body) + "</root>");
  };
  EXPECT_TRUE(check("<head>2</head><x/>").empty());
  EXPECT_TRUE(check("<head>2</head><x/><y/><z/><z/><tail>1</tail><tail>3</tail>").empty());
  EXPECT_TRUE(check("<head>2</head><z/><z/><z/><x/>").empty());
  ExpectOneProblem(check("<head>2</head><z/>"), {"required child missing", "expected: z"});
  ExpectOneProblem(check("<head>2</head><x/><x/><x/>"), {"x[3]", "too many <x>"});
  ExpectOneProblem(check("<head>2</head><y/>"), {"<y> out of order"});
  ExpectOneProblem(check("<head>2</head><x/><head>1</head>"), {"head[2]", "out of order"});
  ExpectOneProblem(check("<head>4</head><x/>"), {"/root/head[1]", "text: \"4\" is not a valid Small"});
  ExpectOneProblem(check("<head>1</head><x>text</x>"), {"text not allowed in Empty"});
  ExpectOneProblem(check("<head>1</head><x/>", ""), {"required attribute kind"});
  ExpectOneProblem(check("<head>1</head><x/>", " kind=\"c\""), {"\"c\" is not a valid Kind (a b)"});
  ExpectOneProblem(check("<head>1</head><x/><tail>0</tail>"), {"tail[1]", "Small"});
}
