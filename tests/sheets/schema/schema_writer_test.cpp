// Every XML part the writer produces follows the content models of the parts.schema table: a
// workbook using every modelled feature, written as a workbook and as a template; the fixtures read,
// edited and saved again (sheets and charts rewritten over what they kept); workbooks read from xls
// and csv and saved. The order of children the writer uses agrees with LibreOffice's for the same
// content.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "schema_check.h"
#include "schema_test_support.h"
#include "sheets/io/workbook_io.h"
#include "sheets/io/xml.h"
#include "sheets/io/zip.h"

using namespace sheets;
using schemacheck::CheckPackage;
using schemacheck::PackageReport;
using schemacheck::ReadFile;
using schemacheck::Schema;
using schemacheck::Table;

namespace {

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

std::string Fixture(const std::string& name) { return std::string(QS_SHEETS_DATA) + "/" + name; }

// Checks a package the writer made: no problem, and every part but those copied untouched from the
// file read (themes, comments, VML, custom properties, media) was checked.
void ExpectValid(const std::string& package, const std::string& what) {
  SCOPED_TRACE(what);
  PackageReport report = CheckPackage(Table(), package);
  EXPECT_TRUE(report.problems.empty()) << report.Summary();
  for (const auto& [part, type] : report.not_checked)
    EXPECT_TRUE(type.find("theme") != std::string::npos || type.find("comments") != std::string::npos ||
                type.find("vml") != std::string::npos || type.find("custom-properties") != std::string::npos ||
                type.starts_with("image/"))
        << "not checked: " << part << " " << type;
  EXPECT_GE(report.checked.size(), 5u);
}

Chart MakeChart(ChartType type, ChartGrouping grouping, const std::string& sheet) {
  Chart chart;
  chart.type = type;
  chart.grouping = grouping;
  chart.title = "Title of a " + std::to_string(int(type)) + "\nsecond line";
  chart.x_axis.title = "X";
  chart.y_axis.title = "Y";
  chart.x_axis.scale.minimum = -1;
  chart.x_axis.scale.maximum = 11.5;
  chart.x_axis.scale.major_unit = 2;
  chart.x_axis.scale.minor_unit = 0.5;
  chart.x_axis.scale.crosses_at = 0.25;
  chart.x_axis.scale.reversed = true;
  chart.x_axis.minor_gridlines = true;
  chart.y_axis.scale.logarithmic = true;
  chart.y_axis.major_gridlines = true;
  chart.y_axis.number_format = "0.00%";
  chart.y_axis.visible = false;
  chart.legend = LegendPosition(int(type) % 5);
  const std::string q = "'" + sheet + "'!";
  ChartSeries a;
  a.name_ref = q + "$A$1";
  a.x_values = q + "$A$2:$A$6";
  a.y_values = q + "$B$2:$B$6";
  a.marker = MarkerStyle::Triangle;
  a.line = false;
  a.smooth = true;
  int k = 0;
  for (TrendlineType t : {TrendlineType::Linear, TrendlineType::Exponential, TrendlineType::Logarithmic,
                          TrendlineType::Polynomial, TrendlineType::Power, TrendlineType::MovingAverage}) {
    Trendline tr;
    tr.type = t;
    tr.order = 4;
    tr.period = 3;
    if (k % 2) tr.name = "Fit " + std::to_string(k);
    if (k == 0) tr.forward = 1.5, tr.backward = 0.5, tr.intercept = 2;
    tr.display_equation = k % 2 == 0;
    tr.display_r_squared = k % 3 == 0;
    a.trendlines.push_back(tr);
    ++k;
  }
  chart.series.push_back(a);
  ChartSeries b;
  b.name = "Literal";
  b.x_values = "{\"a\",\"b\",\"c\"}";
  b.y_values = "{1,2.5,-3}";
  b.marker = MarkerStyle::None;
  chart.series.push_back(b);
  ChartSeries texts;  // values that are texts: the chart shows zeros
  texts.name = "Texts";
  texts.x_values = q + "$A$2:$A$6";
  texts.y_values = q + "$C$2:$C$6";
  chart.series.push_back(texts);
  ChartSeries text_constants;
  text_constants.y_values = "{\"x\",\"y\"}";
  chart.series.push_back(text_constants);
  chart.text_boxes.push_back({"Note\nof two lines", 0.1, 0.1, 0.4, 0.2});
  return chart;
}

// A workbook using every feature the model holds.
std::unique_ptr<Workbook> EveryFeature() {
  auto book = std::make_unique<Workbook>("Every", SheetLimits::Large());
  Sheet& s = book->AddSheet("Data & notes");
  s.SetText(0, 0, "Dose µg");
  s.SetText(0, 1, " padded ");
  s.SetText(0, 2, "control \x01 and _x0041_");
  for (uint32_t r = 1; r <= 5; ++r) {
    s.SetNumber(r, 0, r);
    s.SetNumber(r, 1, r * r * 1e-3);
    s.SetText(r, 2, "t" + std::to_string(r));
  }
  s.SetBoolean(6, 0, false);
  s.SetError(6, 1, ErrorCode::Value);
  s.SetFormula(6, 2, "SUM(A2:A6)&\"<&>\"", Value::Text("15<&>"));
  s.SetFormula(7, 0, "1/0", Value::Error(ErrorCode::Div0));
  s.SetFormula(7, 1, "TRUE()", Value::Boolean(true));
  s.SetFormula(7, 2, "A2", Value::Number(1));
  s.SetArrayFormula({{8, 0}, {9, 1}}, "A2:B3*2");
  s.SetNumber(1048575, 16383, 1);  // the last cell of the large grid

  // Formats: every border style, pattern, alignment and underline, with colours of each kind.
  const BorderStyle borders[] = {BorderStyle::Thin,          BorderStyle::Medium,       BorderStyle::Dashed,
                                 BorderStyle::Dotted,        BorderStyle::Thick,        BorderStyle::Double,
                                 BorderStyle::Hair,          BorderStyle::MediumDashed, BorderStyle::DashDot,
                                 BorderStyle::MediumDashDot, BorderStyle::DashDotDot,   BorderStyle::MediumDashDotDot,
                                 BorderStyle::SlantDashDot};
  const Color colors[] = {Color::Rgb(0xFF102030), Color::Indexed(10), Color::Theme(4, -0.25), Color::Auto()};
  for (int i = 0; i < 19; ++i) {
    CellFormat f;
    f.number_format = i % 3 == 0 ? "0.00E+00" : i % 3 == 1 ? "#,##0.00" : "\"kg\" 0.0;[Red]-0.0";
    f.fill.pattern = FillPattern(i);
    f.fill.foreground = colors[i % 4];
    f.fill.background = colors[(i + 1) % 4];
    f.borders.left = {borders[i % 13], colors[i % 4]};
    f.borders.right = {borders[(i + 1) % 13], colors[(i + 1) % 4]};
    f.borders.top = {borders[(i + 2) % 13], Color::Auto()};
    f.borders.bottom = {borders[(i + 3) % 13], colors[(i + 2) % 4]};
    f.borders.diagonal = {borders[(i + 4) % 13], colors[(i + 3) % 4]};
    f.borders.diagonal_up = i % 2 == 0;
    f.borders.diagonal_down = i % 3 == 0;
    f.horizontal = HorizontalAlignment(i % 8);
    f.vertical = VerticalAlignment(i % 5);
    f.wrap_text = i % 2 == 1;
    f.indent = uint8_t(i % 4);
    f.rotation = int16_t(i % 2 ? 90 : 255);
    f.font.name = i % 2 ? "Arial" : "Courier New";
    f.font.size = 8 + i * 0.5;
    f.font.bold = i % 2 == 0;
    f.font.italic = i % 3 == 0;
    f.font.strike = i % 4 == 0;
    f.font.underline = Underline(i % 5);
    f.font.color = colors[(i + 2) % 4];
    f.locked = i % 2 == 0;
    f.formula_hidden = i % 5 == 0;
    s.SetFormat(10 + uint32_t(i), 0, book->formats().Intern(f));
    s.SetNumber(10 + uint32_t(i), 0, i);
  }
  CellFormat date;
  date.number_format = "d-mmm-yy";
  s.SetFormat(30, 0, book->formats().Intern(date));

  s.Merge({{40, 0}, {41, 3}});
  s.Merge({{43, 1}, {43, 2}});
  RowInfo row;
  row.outline_level = 2;
  row.height = 30;
  row.collapsed = true;
  row.hidden = true;
  row.format = s.Get(10, 0).format;
  s.SetRow(12, row);
  RowInfo empty_row;
  empty_row.outline_level = 7;
  s.SetRow(50, empty_row);
  ColumnInfo col;
  col.width = 20.5;
  col.outline_level = 3;
  col.hidden = true;
  col.collapsed = true;
  s.SetColumn(3, col);
  s.SetColumn(4, col);
  ColumnInfo narrow;
  narrow.outline_level = 1;
  s.SetColumn(16383, narrow);

  s.names().Define("Local", "'Data & notes'!$A$1:$C$4", book->limits());
  s.names().Define("Hidden", "1", book->limits(), true);
  book->names().Define("Total", "'Data & notes'!$B$2:$B$6", book->limits()).comment = "Sum of \"all\" <doses>";
  book->names().Define("Ext", "[Other.xlsx]Sheet1!$A$1", book->limits());
  book->names().Define("Alpha", "0.05", book->limits(), true);
  book->names().Define("Ids", "{1;1026;\"text\"}", book->limits());

  SheetView& v = s.view();
  v.zoom = 85;
  v.gridlines = v.headings = v.zero_values = v.outline_symbols = false;
  v.top_left = {2, 1};
  v.active_cell = {3, 2};
  v.selection = {{{3, 2}, {4, 4}}, {{7, 7}, {7, 7}}};
  v.frozen_rows = 1;
  v.frozen_cols = 2;
  v.selected = true;
  s.page_setup().paper_size = 9;
  s.page_setup().orientation = Orientation::Landscape;
  s.page_setup().scale = 75;
  s.page_setup().fit_to_width = 1;
  s.page_setup().fit_to_height = 2;

  // Charts of every kind and grouping, each with text boxes, trend lines and scaled axes.
  uint32_t row_at = 60;
  for (auto [type, grouping] :
       std::vector<std::pair<ChartType, ChartGrouping>>{{ChartType::Scatter, ChartGrouping::Standard},
                                                        {ChartType::Line, ChartGrouping::Standard},
                                                        {ChartType::Line, ChartGrouping::Stacked},
                                                        {ChartType::Bar, ChartGrouping::Clustered},
                                                        {ChartType::Bar, ChartGrouping::PercentStacked},
                                                        {ChartType::Column, ChartGrouping::Stacked},
                                                        {ChartType::Area, ChartGrouping::Standard},
                                                        {ChartType::Area, ChartGrouping::PercentStacked},
                                                        {ChartType::Pie, ChartGrouping::Standard}}) {
    s.AddChart(MakeChart(type, grouping, s.name()), {{row_at, 1}, 3, 4, {row_at + 12, 8}, 0, 0}).visible = row_at != 72;
    row_at += 14;
  }
  DrawingObject& box = s.AddTextBox("A note\nover two lines", {{10, 6}, 1, 2, {14, 9}, 0, 0});
  box.fill.pattern = FillPattern::Solid;
  box.fill.foreground = Color::Rgb(0xFFFFFF00);
  box.line_color = Color::Rgb(0xFF0000FF);
  s.AddTextBox("", {{20, 6}, 0, 0, {22, 9}, 0, 0}).visible = false;

  Sheet& cs = book->AddSheet("Chart sheet", SheetKind::Chart);
  cs.chart() = MakeChart(ChartType::Column, ChartGrouping::Clustered, s.name());
  cs.view().zoom = 120;
  cs.page_setup().paper_size = 1;
  cs.page_setup().orientation = Orientation::Portrait;

  Sheet& hidden = book->AddSheet("Hidden");
  hidden.set_visibility(SheetVisibility::VeryHidden);
  hidden.view().page_break_preview = true;
  hidden.view().zoom = 60;
  hidden.view().frozen_rows = 3;
  Sheet& other = book->AddSheet("Other");
  other.set_visibility(SheetVisibility::Hidden);
  other.view().frozen_cols = 1;
  other.SetText(0, 0, "Dose µg");  // a text two sheets share

  book->windows()[0].active_sheet = 1;
  book->windows()[0].width = 16000;
  book->windows()[0].height = 9000;
  book->windows()[0].first_visible_tab = 1;
  Window second;
  second.hidden = true;
  second.show_tabs = false;
  book->windows().push_back(second);
  SheetView in_second = s.view();
  in_second.window = 1;
  s.other_views().push_back(in_second);
  return book;
}

// Opens each part of a package as a tree.
std::map<std::string, XmlNode> Parts(const std::string& package) {
  ZipReader zip(Bytes(package));
  std::map<std::string, XmlNode> out;
  for (size_t i = 0; i < zip.entries().size(); ++i) {
    const std::string& name = zip.entries()[i].name;
    if (name.ends_with(".xml") || name.ends_with(".rels")) out[name] = ParseXmlTree(zip.ReadAll(i, uint64_t(1) << 30));
  }
  return out;
}

}  // namespace

TEST(SchemaWriter, EveryFeatureWrittenAsWorkbookAndAsTemplateIsValid) {
  auto book = EveryFeature();
  std::string xlsx = WriteXlsxBytes(*book, FileFormat::Xlsx);
  ExpectValid(xlsx, "xlsx");
  // The parts that make up every feature are all there (and so were checked).
  auto parts = Parts(xlsx);
  for (const char* name : {"xl/workbook.xml", "xl/styles.xml", "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml",
                           "xl/chartsheets/sheet1.xml", "xl/drawings/drawing1.xml", "xl/charts/chart10.xml",
                           "xl/externalLinks/externalLink1.xml", "[Content_Types].xml", "_rels/.rels"})
    EXPECT_TRUE(parts.count(name)) << name;
  ExpectValid(WriteXlsxBytes(*book, FileFormat::Xltx), "xltx");
  // Read back and written again, without and with the parts kept from the first writing.
  auto back = ReadWorkbookBytes(Bytes(xlsx), "every.xlsx");
  ExpectValid(WriteXlsxBytes(*back), "read and written again");
  back->sheet(0).SetNumber(2, 1, 42);
  back->RenameSheet(0, "Renamed");
  back->sheet(0).drawings()[0]->chart->title = "Edited";
  back->sheet(0).drawings()[0]->chart->series.pop_back();
  ExpectValid(WriteXlsxBytes(*back, FileFormat::Xltx), "edited and written as a template");
}

TEST(SchemaWriter, FixturesReadEditedAndSavedAreValid) {
  for (const auto& entry : std::filesystem::directory_iterator(QS_SHEETS_DATA)) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".xlsx" || !(name.starts_with("libreoffice-") || name.starts_with("openpyxl-")))
      continue;
    SCOPED_TRACE(name);
    std::string bytes = ReadFile(entry.path().string());
    auto book = ReadWorkbookBytes(Bytes(bytes), name);
    ExpectValid(WriteXlsxBytes(*book), name + " saved as read");
    // An edit in every worksheet, a renamed sheet, and every chart changed: the sheets and the
    // charts are rewritten over the elements they kept.
    for (size_t i = 0; i < book->sheet_count(); ++i) {
      Sheet& s = book->sheet(i);
      if (s.IsWorksheet()) {
        s.SetText(0, 0, "edited");
        s.AddTextBox("Added", {{40, 1}, 0, 0, {44, 4}, 0, 0});  // next to the drawings kept
      }
      std::vector<Chart*> charts;
      for (auto& d : s.drawings())
        if (d->chart) charts.push_back(d->chart.get());
      if (!s.IsWorksheet()) charts.push_back(&s.chart());
      for (Chart* c : charts) {
        c->title = "New title";
        c->x_axis.scale.maximum = 100;
        c->y_axis.title = "New axis title";
        c->y_axis.major_gridlines = !c->y_axis.major_gridlines;
        c->legend = c->legend == LegendPosition::None ? LegendPosition::Bottom : LegendPosition::None;
        if (!c->series.empty()) {
          ChartSeries extra = c->series[0];
          extra.name = "Added";
          extra.name_ref.clear();
          extra.marker = MarkerStyle::Star;
          extra.trendlines.push_back({});
          c->series[0].smooth = !c->series[0].smooth;
          c->series[0].line = !c->series[0].line;
          c->series.push_back(extra);
        }
        c->text_boxes.push_back({"Added box", 0.5, 0.5, 0.2, 0.1});
      }
    }
    book->RenameSheet(0, "First renamed");
    ExpectValid(WriteXlsxBytes(*book), name + " edited");
    ExpectValid(WriteXlsxBytes(*book, FileFormat::Xltx), name + " edited, as a template");
    // Read without keeping anything: every part is written anew.
    ReadOptions bare;
    bare.preserve = false;
    ExpectValid(WriteXlsxBytes(*ReadWorkbookBytes(Bytes(bytes), name, bare)), name + " written anew");
  }
}

TEST(SchemaWriter, WorkbooksReadFromXlsAndCsvAreSavedValid) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QS_SHEETS_DATA)) {
    if (entry.path().extension() != ".xls") continue;
    ++files;
    auto book = ReadWorkbook(entry.path().string());
    ExpectValid(WriteXlsxBytes(*book), entry.path().filename().string());
  }
  EXPECT_GE(files, 3u);
  const std::string csv = "\xEF\xBB\xBFname;value;note\n\"a;b\";1.5;\" lead\"\nc;-2e-3;\"multi\nline\"\n;;\n";
  ReadOptions o;
  auto book = ReadWorkbookBytes(Bytes(csv), "data.csv", o);
  ExpectValid(WriteXlsxBytes(*book), "csv");
}

namespace {

// For each parent element, the order in which the children of each name first appear.
void ChildOrders(const XmlNode& n, const std::string& path, std::map<std::string, std::vector<std::string>>& out) {
  std::string here = path + "/" + std::string(n.local());
  auto& order = out[here];
  for (const auto& c : n.children) {
    std::string child(c.local());
    if (std::find(order.begin(), order.end(), child) == order.end()) order.push_back(child);
  }
  for (const auto& c : n.children) ChildOrders(c, here, out);
}

// Pairs of children both documents hold under the same parent, in opposite orders; pairs counts the
// pairs compared.
std::vector<std::string> OrderConflicts(const XmlNode& ours, const XmlNode& theirs, size_t& pairs) {
  std::map<std::string, std::vector<std::string>> a, b;
  ChildOrders(ours, "", a);
  ChildOrders(theirs, "", b);
  std::vector<std::string> out;
  for (const auto& [path, x] : a) {
    auto it = b.find(path);
    if (it == b.end()) continue;
    const auto& y = it->second;
    for (size_t i = 0; i < x.size(); ++i)
      for (size_t j = i + 1; j < x.size(); ++j) {
        auto pi = std::find(y.begin(), y.end(), x[i]), pj = std::find(y.begin(), y.end(), x[j]);
        if (pi == y.end() || pj == y.end()) continue;
        ++pairs;
        if (pj < pi) out.push_back(path + ": " + x[i] + " before " + x[j]);
      }
  }
  return out;
}

}  // namespace

// libreoffice-features.xlsx is LibreOffice's writing of openpyxl-features.xlsx: read (keeping nothing)
// and written anew, each part holds its children in the order LibreOffice's part does (font
// properties too, which the schema would take in any order).
TEST(SchemaWriter, ChildOrderAgreesWithLibreOffice) {
  const std::string theirs_bytes = ReadFile(Fixture("libreoffice-features.xlsx"));
  auto theirs = Parts(theirs_bytes);
  // Parts are compared by kind: LibreOffice numbers charts and drawings in its own way.
  auto kind = [](const std::string& name) {
    std::string k = name;
    k.erase(std::remove_if(k.begin(), k.end(), [](char ch) { return ch >= '0' && ch <= '9'; }), k.end());
    return k;
  };
  std::map<std::string, std::vector<const XmlNode*>> their_kinds;
  for (const auto& [name, tree] : theirs) their_kinds[kind(name)].push_back(&tree);
  // The same content read from LibreOffice's file and from openpyxl's, which LibreOffice converted.
  for (const char* source : {"libreoffice-features.xlsx", "openpyxl-features.xlsx"}) {
    SCOPED_TRACE(source);
    ReadOptions bare;
    bare.preserve = false;
    auto book = ReadWorkbookBytes(Bytes(ReadFile(Fixture(source))), source, bare);
    auto ours = Parts(WriteXlsxBytes(*book));
    std::map<std::string, std::vector<const XmlNode*>> our_kinds;
    for (const auto& [name, tree] : ours) our_kinds[kind(name)].push_back(&tree);
    size_t compared = 0, pairs = 0;
    for (const auto& [k, our_trees] : our_kinds) {
      if (!their_kinds.count(k) || k.find("_rels") != std::string::npos || k == "[Content_Types].xml") continue;
      for (const XmlNode* o : our_trees)
        for (const XmlNode* t : their_kinds[k]) {
          ++compared;
          for (const auto& conflict : OrderConflicts(*o, *t, pairs)) ADD_FAILURE() << k << " " << conflict;
        }
    }
    EXPECT_GE(compared, 10u);
    EXPECT_GE(pairs, 500u);  // the comparison is not vacuous
    for (const char* k : {"xl/workbook.xml", "xl/styles.xml", "xl/worksheets/sheet.xml", "xl/charts/chart.xml",
                          "xl/drawings/drawing.xml", "xl/sharedStrings.xml"})
      EXPECT_TRUE(our_kinds.count(k) && their_kinds.count(k)) << k;
  }
}

namespace {

// The content type of each part, from the package's overrides.
std::map<std::string, std::string> ContentTypes(const std::string& package) {
  std::map<std::string, std::string> out;
  XmlNode types = Parts(package).at("[Content_Types].xml");
  for (const auto& c : types.children)
    if (c.local() == "Override") out[c.AttrOr("PartName", "").substr(1)] = c.AttrOr("ContentType", "");
  out["[Content_Types].xml"] = "application/vnd.openxmlformats-package.content-types";
  return out;
}

struct Swap {
  XmlNode* parent;
  size_t at;  // children at and at + 1 change places
  std::string key;
};

void CollectSwaps(XmlNode& n, const std::string& path, std::vector<Swap>& out, std::set<std::string>& seen) {
  std::string here = path + "/" + n.name;
  for (size_t i = 0; i + 1 < n.children.size(); ++i) {
    const std::string& a = n.children[i].name;
    const std::string& b = n.children[i + 1].name;
    if (a == b) continue;
    std::string key = here + ": " + a + " <-> " + b;
    if (seen.insert(key).second) out.push_back({&n, i, key});
  }
  for (auto& c : n.children) CollectSwaps(c, here, out, seen);
}

}  // namespace

// The table is strict where the content models are: in every part the writer makes, two neighbours
// swapped are refused, except under the few parents whose children may come in any order.
TEST(SchemaWriter, NeighboursSwappedInAnyWrittenPartAreRefused) {
  std::string package = WriteXlsxBytes(*EveryFeature());
  auto types = ContentTypes(package);
  auto parts = Parts(package);
  // Parents whose content model is a repeated choice.
  const std::set<std::string> any_order = {"Types", "font", "xdr:wsDr", "c:userShapes"};
  auto axis = [](const std::string& n) { return n.ends_with("Ax"); };
  size_t refused = 0;
  std::set<std::string> seen;  // each kind of swap once per part kind
  for (auto& [name, tree] : parts) {
    std::string kind = name;
    kind.erase(std::remove_if(kind.begin(), kind.end(), [](char ch) { return ch >= '0' && ch <= '9'; }), kind.end());
    std::vector<Swap> swaps;
    CollectSwaps(tree, kind, swaps, seen);
    for (const Swap& s : swaps) {
      std::swap(s.parent->children[s.at], s.parent->children[s.at + 1]);
      XmlWriter w;
      w.Node(tree);
      auto problems = Table().CheckPart(name, types.at(name), w.buffer());
      std::swap(s.parent->children[s.at], s.parent->children[s.at + 1]);
      const std::string& a = s.parent->children[s.at].name;
      const std::string& b = s.parent->children[s.at + 1].name;
      const bool unordered =
          any_order.count(s.parent->name) > 0 || (s.parent->name == "c:plotArea" && axis(a) && axis(b));
      if (problems.empty() && !unordered) ADD_FAILURE() << "accepted: " << s.key;
      if (!problems.empty() && unordered) ADD_FAILURE() << "refused: " << s.key << "\n" << problems[0].ToString();
      refused += !problems.empty();
    }
  }
  EXPECT_GE(refused, 100u);
}
