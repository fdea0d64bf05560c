// The checker and its table: packages LibreOffice and openpyxl wrote pass (which checks the table),
// and parts with purpose-made faults fail with the part, the path and the fault named (which
// checks the checker).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "schema_check.h"
#include "sheets/io/zip.h"

using schemacheck::CheckPackage;
using schemacheck::Problem;
using schemacheck::Schema;

namespace {

const Schema& Table() {
  static const Schema schema = Schema::FromFile(QS_SCHEMA_TABLE);
  return schema;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

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
    if (entry.path().extension() != ".xlsx" || !(name.starts_with("libreoffice-") || name.starts_with("openpyxl-"))) continue;
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
  EXPECT_TRUE(Table()
                  .CheckPart("s.xml", kWorksheet,
                             "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                             "<x:sheetData><x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c></x:row></x:sheetData></x:worksheet>")
                  .empty());
  // Attributes and elements of a namespace declared ignorable are skipped; the same undeclared are faults.
  const std::string ignorable =
      " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" xmlns:x14ac=\"urn:x14ac\" mc:Ignorable=\"x14ac\"";
  EXPECT_TRUE(CheckSheet("<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\"/></sheetData><x14ac:extra/>", ignorable).empty());
  ExpectOneProblem(CheckSheet("<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\"/></sheetData>", " xmlns:x14ac=\"urn:x14ac\""),
                   {"row[1]", "unknown attribute x14ac:dyDescent"});
  // Alternate content is checked through its fallback.
  const std::string mc = " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";
  EXPECT_TRUE(CheckSheet("<mc:AlternateContent><mc:Choice Requires=\"x14\"><x14:whatever xmlns:x14=\"urn:x14\"/></mc:Choice>"
                         "<mc:Fallback><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews></mc:Fallback>"
                         "</mc:AlternateContent><sheetData/>",
                         mc)
                  .empty());
  ExpectOneProblem(CheckSheet("<sheetData/><mc:AlternateContent><mc:Fallback><sheetViews><sheetView workbookViewId=\"0\"/>"
                              "</sheetViews></mc:Fallback></mc:AlternateContent>",
                              mc),
                   {"sheetViews", "out of order"});
  // xml:space is an attribute of texts only.
  EXPECT_TRUE(CheckSheet("<sheetData><row><c t=\"inlineStr\"><is><t xml:space=\"preserve\"> a </t></is></c></row></sheetData>").empty());
  ExpectOneProblem(CheckSheet("<sheetData xml:space=\"preserve\"/>"), {"unknown attribute xml:space"});
}

TEST(SchemaChecker, FindsPurposeMadeFaultsWithTheirPartAndPath) {
  // Two children swapped.
  ExpectOneProblem(CheckSheet("<sheetData/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"),
                   {"xl/worksheets/sheet1.xml", "/worksheet/sheetViews[1]", "<sheetViews> out of order", "after <sheetData>"});
  ExpectOneProblem(CheckSheet("<sheetData/><pageSetup paperSize=\"9\"/><pageMargins left=\"1\" right=\"1\" top=\"1\" "
                              "bottom=\"1\" header=\"0\" footer=\"0\"/>"),
                   {"pageMargins", "out of order"});
  // An element the parent does not allow, and one the table does not know at all.
  ExpectOneProblem(CheckSheet("<sheetData><row><v>1</v></row></sheetData>"), {"/worksheet/sheetData[1]/row[1]/v[1]", "not allowed in CT_Row"});
  ExpectOneProblem(CheckSheet("<sheetData/><frobnicate/>"), {"<frobnicate> is not allowed"});
  // A required child missing, and too many of one.
  ExpectOneProblem(CheckSheet("<dimension ref=\"A1\"/>"), {"/worksheet", "required child missing", "sheetData"});
  ExpectOneProblem(CheckSheet("<sheetData/><sheetData/>"), {"too many <sheetData>"});
  ExpectOneProblem(CheckSheet("<sheetViews><sheetView workbookViewId=\"0\"><selection/><selection/><selection/><selection/>"
                              "<selection/></sheetView></sheetViews><sheetData/>"),
                   {"selection[5]", "too many <selection>"});
  // Attributes: required one missing, unknown one, values outside their types.
  ExpectOneProblem(CheckSheet("<sheetViews><sheetView/></sheetViews><sheetData/>"), {"sheetView[1]", "required attribute workbookViewId"});
  ExpectOneProblem(CheckSheet("<sheetData><row r=\"1\" height=\"3\"/></sheetData>"), {"unknown attribute height"});
  ExpectOneProblem(CheckSheet("<sheetViews><sheetView workbookViewId=\"0\" view=\"preview\"/></sheetViews><sheetData/>"),
                   {"attribute view", "\"preview\" is not a valid ST_SheetViewType"});
  ExpectOneProblem(CheckSheet("<sheetViews><sheetView workbookViewId=\"0\" zoomScale=\"5\"/></sheetViews><sheetData/>"),
                   {"zoomScale", "Zoom"});
  ExpectOneProblem(CheckSheet("<sheetData><row r=\"0\"/></sheetData>"), {"row[1]", "\"0\" is not a valid Row"});
  ExpectOneProblem(CheckSheet("<sheetData><row><c r=\"A1\" t=\"x\"/></row></sheetData>"), {"ST_CellType"});
  ExpectOneProblem(CheckSheet("<sheetData><row><c r=\"AAAA1\"/></row></sheetData>"), {"attribute r"});
  ExpectOneProblem(CheckSheet("<sheetData><row hidden=\"yes\"/></sheetData>"), {"\"yes\" is not a valid Bool"});
  ExpectOneProblem(CheckSheet("<sheetData/><mergeCells><mergeCell ref=\"A1:B\"/></mergeCells>"), {"mergeCell[1]", "ref"});
  ExpectOneProblem(CheckSheet("<sheetData/><drawing/>"), {"required attribute id"});
  // Text where none belongs, and a namespaced attribute in the wrong namespace.
  ExpectOneProblem(CheckSheet("<sheetData>x</sheetData>"), {"text not allowed"});
  auto wrong_ns = CheckSheet("<sheetData/><drawing r:id=\"rId1\" xmlns:r=\"urn:other\"/>");
  ASSERT_EQ(wrong_ns.size(), 2u) << Joined(wrong_ns);
  EXPECT_NE(wrong_ns[0].message.find("unknown attribute r:id"), std::string::npos) << Joined(wrong_ns);
  EXPECT_NE(wrong_ns[1].message.find("required attribute id"), std::string::npos) << Joined(wrong_ns);

  ExpectOneProblem(Table().CheckPart("xl/styles.xml", kStyles,
                                     "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                     "<borders count=\"1\"><border><left style=\"heavy\"/></border></borders></styleSheet>"),
                   {"xl/styles.xml", "/styleSheet/borders[1]/border[1]/left[1]", "ST_BorderStyle"});
  ExpectOneProblem(Table().CheckPart("xl/styles.xml", kStyles,
                                     "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                     "<borders count=\"1\"><border><top/><left/></border></borders></styleSheet>"),
                   {"<left> out of order"});
  ExpectOneProblem(Table().CheckPart("xl/styles.xml", kStyles,
                                     "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                     "<fills count=\"1\"><fill><patternFill patternType=\"striped\"/></fill></fills></styleSheet>"),
                   {"ST_PatternType"});
  // Charts: a text series under values, and a scatter series with X values after Y values.
  const std::string head = "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart><c:plotArea>";
  const std::string tail = "<c:axId val=\"1\"/><c:axId val=\"2\"/></c:scatterChart></c:plotArea></c:chart></c:chartSpace>";
  EXPECT_TRUE(Table().CheckPart("c.xml", kChart, head + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                                "<c:order val=\"0\"/><c:xVal><c:strRef><c:f>S!A1</c:f></c:strRef></c:xVal><c:yVal><c:numRef>"
                                "<c:f>S!B1</c:f></c:numRef></c:yVal></c:ser>" + tail).empty());
  ExpectProblem(Table().CheckPart("c.xml", kChart, head + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                                     "<c:order val=\"0\"/><c:yVal><c:strRef><c:f>S!B1</c:f></c:strRef></c:yVal></c:ser>" + tail),
                   {"yVal[1]/c:strRef[1]", "not allowed in c.CT_NumDataSource"});
  ExpectOneProblem(Table().CheckPart("c.xml", kChart, head + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                                     "<c:order val=\"0\"/><c:yVal><c:numRef><c:f>S!B1</c:f></c:numRef></c:yVal><c:xVal><c:numRef>"
                                     "<c:f>S!A1</c:f></c:numRef></c:xVal></c:ser>" + tail),
                   {"<xVal> out of order"});
  ExpectOneProblem(Table().CheckPart("c.xml", kChart, head + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:ser><c:idx val=\"0\"/>"
                                     "<c:order val=\"0\"/><c:trendline><c:trendlineType val=\"cubic\"/></c:trendline></c:ser>" + tail),
                   {"ST_TrendlineType"});
  ExpectOneProblem(Table().CheckPart("c.xml", kChart, head + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/>"
                                     "<c:axId val=\"1\"/></c:scatterChart></c:plotArea></c:chart></c:chartSpace>"),
                   {"c:scatterChart[1]", "required child missing", "axId"});
  // A malformed part is a problem, not a crash.
  ExpectOneProblem(Table().CheckPart("x.xml", kWorksheet, "<worksheet"), {"not well-formed"});
  ExpectOneProblem(Table().CheckPart("x.xml", kWorksheet, "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>"),
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
    "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "</Types>";
const std::string kRootRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";
const std::string kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/></Relationships>";
std::string WorkbookXml(std::string_view rid) {
  return "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
         "<sheet name=\"S\" sheetId=\"1\" r:id=\"" + std::string(rid) + "\"/></sheets></workbook>";
}

}  // namespace

TEST(SchemaChecker, PackagesAreCheckedAsAWhole) {
  const std::string sheet = Sheet("<sheetData/>");
  auto sound = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                                              {"xl/workbook.xml", WorkbookXml("rId1")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                              {"xl/worksheets/sheet1.xml", sheet}}));
  EXPECT_TRUE(sound.problems.empty()) << sound.Summary();
  EXPECT_EQ(sound.checked.size(), 5u);

  // A relationship id the part's relationships lack.
  auto dangling = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                                                 {"xl/workbook.xml", WorkbookXml("rId7")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                                 {"xl/worksheets/sheet1.xml", sheet}}));
  ExpectOneProblem(dangling.problems, {"xl/workbook.xml", "sheet", "r:id names relationship \"rId7\""});
  // A relationship to a part the package lacks, and an override for it.
  auto missing = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                                                {"xl/workbook.xml", WorkbookXml("rId1")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels}}));
  ExpectProblem(missing.problems, {"xl/_rels/workbook.xml.rels", "targets a missing part xl/worksheets/sheet1.xml"});
  ExpectProblem(missing.problems, {"[Content_Types].xml", "override for a part the package lacks"});
  // A part without a content type.
  auto untyped = CheckPackage(Table(), Package({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                                                {"xl/workbook.xml", WorkbookXml("rId1")}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                                {"xl/worksheets/sheet1.xml", sheet}, {"xl/media/image1.png", "PNG"}}));
  ExpectOneProblem(untyped.problems, {"xl/media/image1.png", "no content type"});
  // No content types part at all.
  auto bare = CheckPackage(Table(), Package({{"xl/workbook.xml", WorkbookXml("rId1")}}));
  ExpectOneProblem(bare.problems, {"no content types part"});
}
