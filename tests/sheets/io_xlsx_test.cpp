// xlsx writing and reading: a workbook with every modelled feature reads back as it was written;
// parts the model does not hold survive a read, an edit and a save; saves are atomic.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sheets/io/workbook_io.h"
#include "sheets/io/preserved.h"
#include "sheets/io/zip.h"
#include "sheets/model/model_error.h"

using namespace sheets;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<Workbook> RoundTrip(const Workbook& book, FileFormat format = FileFormat::Xlsx) {
  std::string bytes = WriteXlsxBytes(book, format);
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "rt.xlsx");
}

std::vector<std::string> PartNames(const std::string& bytes) {
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  std::vector<std::string> names;
  for (const auto& e : zip.entries()) names.push_back(e.name);
  return names;
}

// A workbook using everything the model holds.
std::unique_ptr<Workbook> RichWorkbook() {
  auto book = std::make_unique<Workbook>("Rich");
  Sheet& s = book->AddSheet("Data & notes");
  s.SetText(0, 0, "Glucose µmol/L");
  s.SetText(0, 1, "  leading and trailing  ");
  s.SetText(0, 2, "tab\tnew\nline _x0041_ and \x01 control");
  s.SetNumber(1, 0, 0.1);
  s.SetNumber(1, 1, -1e-300);
  s.SetNumber(1, 2, 123456789012345.0);
  s.SetBoolean(2, 0, true);
  s.SetError(2, 1, ErrorCode::Div0);
  s.SetFormula(2, 2, "SUM(A2:B2)*2", Value::Number(0.2));
  s.SetFormula(3, 0, "IF(A3,\"yes\",\"no\")", Value::Text("yes"));
  s.SetFormula(3, 1, "NA()", Value::Error(ErrorCode::NA));
  s.SetText(3, 2, std::string(kMaxCellTextBytes, 'z'));
  s.SetNumber(65535, 255, 7);

  CellFormat f;
  f.number_format = "0.00E+00";
  f.horizontal = HorizontalAlignment::CenterAcrossSelection;
  f.vertical = VerticalAlignment::Center;
  f.wrap_text = true;
  f.borders.left = {BorderStyle::Thin, Color::Rgb(0xFFFF0000)};
  f.borders.bottom = {BorderStyle::Double, Color::Indexed(12)};
  f.borders.top = {BorderStyle::MediumDashDot, Color::Theme(4, -0.25)};
  f.font.name = "Courier New";
  f.font.size = 11.5;
  f.font.bold = f.font.italic = true;
  f.font.underline = Underline::Double;
  f.font.color = Color::Rgb(0xFF0000FF);
  f.fill.pattern = FillPattern::LightTrellis;
  f.fill.foreground = Color::Rgb(0xFF112233);
  f.fill.background = Color::Rgb(0xFF445566);
  s.SetFormat(1, 0, book->formats().Intern(f));
  CellFormat pct;
  pct.number_format = "0.0%;[Red]-0.0%";
  pct.locked = false;
  s.SetFormat(1, 1, book->formats().Intern(pct));
  s.SetFormat(9, 9, book->formats().Intern(pct));  // formatted empty cell

  s.Merge({{5, 0}, {6, 3}});
  s.Merge({{8, 1}, {8, 2}});
  RowInfo row;
  row.outline_level = 2;
  row.height = 30;
  row.collapsed = true;
  s.SetRow(4, row);
  RowInfo hidden;
  hidden.hidden = true;
  hidden.outline_level = 1;
  s.SetRow(20, hidden);  // a row with no cells
  ColumnInfo col;
  col.width = 20.5;
  col.outline_level = 3;
  s.SetColumn(3, col);
  s.SetColumn(4, col);
  s.names().Define("__sm_TV_0", "1", book->limits(), true);
  s.names().Define("Local", "'Data & notes'!$A$1:$C$4", book->limits());

  SheetView& v = s.view();
  v.zoom = 85;
  v.gridlines = false;
  v.headings = false;
  v.zero_values = false;
  v.outline_symbols = false;
  v.top_left = {2, 1};
  v.active_cell = {3, 2};
  v.selection = {{{3, 2}, {4, 4}}};
  s.page_setup().paper_size = 9;
  s.page_setup().orientation = Orientation::Landscape;

  Chart chart;
  chart.type = ChartType::Scatter;
  chart.title = "Fit\nsecond line";
  chart.x_axis.title = "Dose";
  chart.x_axis.scale.minimum = 0;
  chart.x_axis.scale.maximum = 10;
  chart.x_axis.scale.major_unit = 2;
  chart.y_axis.scale.logarithmic = true;
  chart.y_axis.major_gridlines = true;
  chart.y_axis.number_format = "0.0";
  ChartSeries s1;
  s1.name = "S1";
  s1.x_values = "'Data & notes'!$A$2:$A$4";
  s1.y_values = "'Data & notes'!$B$2:$B$4";
  s1.marker = MarkerStyle::Diamond;
  s1.line = false;
  Trendline t;
  t.type = TrendlineType::Polynomial;
  t.order = 3;
  t.display_equation = true;
  t.display_r_squared = true;
  t.forward = 1.5;
  s1.trendlines.push_back(t);
  chart.series.push_back(s1);
  ChartSeries s2;
  s2.name_ref = "'Data & notes'!$A$1";
  s2.name = "Glucose µmol/L";
  s2.y_values = "{1,2,3}";
  chart.series.push_back(s2);
  chart.text_boxes.push_back({"Too many points", 0.1, 0.2, 0.5, 0.25});
  s.AddChart(chart, {{10, 1}, 3, 4, {25, 8}, 0, 0});
  s.AddTextBox("Unfortunately there are too many data-points", {{10, 1}, 0, 0, {14, 6}, 0, 0});
  Chart bars;
  bars.type = ChartType::Bar;
  bars.grouping = ChartGrouping::Stacked;
  bars.legend = LegendPosition::Bottom;
  ChartSeries b;
  b.name = "S1";
  b.x_values = "'Data & notes'!$A$2:$A$4";
  b.y_values = "'Data & notes'!$B$2:$B$4";
  bars.series.push_back(b);
  s.AddChart(bars, {{30, 1}, 0, 0, {45, 8}, 0, 0});

  Sheet& cs = book->AddSheet("Chart sheet", SheetKind::Chart);
  cs.chart().type = ChartType::Line;
  cs.chart().title = "Lines";
  cs.chart().series.push_back(b);
  Sheet& hidden_sheet = book->AddSheet("Hidden");
  hidden_sheet.set_visibility(SheetVisibility::VeryHidden);
  hidden_sheet.view().page_break_preview = true;

  book->names().Define("Total", "'Data & notes'!$B$2:$B$4", book->limits());
  book->names().Define("Ext", "[Other.xlsx]Sheet1!$A$1", book->limits());
  book->names().Define("Alpha", "0.05", book->limits(), true);
  book->names().Define("Ids", "{1;1026;\"text\"}", book->limits());
  book->windows()[0].active_sheet = 1;
  Window second;
  second.hidden = true;
  book->windows().push_back(second);
  return book;
}

void ExpectSameAxis(const ChartAxis& a, const ChartAxis& b) {
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(a.scale.minimum, b.scale.minimum);
  EXPECT_EQ(a.scale.maximum, b.scale.maximum);
  EXPECT_EQ(a.scale.major_unit, b.scale.major_unit);
  EXPECT_EQ(a.scale.minor_unit, b.scale.minor_unit);
  EXPECT_EQ(a.scale.crosses_at, b.scale.crosses_at);
  EXPECT_EQ(a.scale.logarithmic, b.scale.logarithmic);
  EXPECT_EQ(a.scale.reversed, b.scale.reversed);
  EXPECT_EQ(a.visible, b.visible);
  EXPECT_EQ(a.major_gridlines, b.major_gridlines);
  EXPECT_EQ(a.number_format, b.number_format);
}

void ExpectSameChart(const Chart& a, const Chart& b) {
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.grouping, b.grouping);
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(a.legend, b.legend);
  ExpectSameAxis(a.x_axis, b.x_axis);
  ExpectSameAxis(a.y_axis, b.y_axis);
  ASSERT_EQ(a.series.size(), b.series.size());
  for (size_t i = 0; i < a.series.size(); ++i) {
    const ChartSeries& s = a.series[i];
    const ChartSeries& t = b.series[i];
    EXPECT_EQ(s.name_ref, t.name_ref);
    if (s.name_ref.empty()) {
      EXPECT_EQ(s.name, t.name);
    }
    EXPECT_EQ(s.x_values, t.x_values);
    EXPECT_EQ(s.y_values, t.y_values);
    EXPECT_EQ(s.marker, t.marker);
    EXPECT_EQ(s.line, t.line);
    EXPECT_EQ(s.smooth, t.smooth);
    EXPECT_EQ(s.trendlines, t.trendlines);
  }
  EXPECT_EQ(a.text_boxes, b.text_boxes);
}

void ExpectSameSheets(const Workbook& a, const Workbook& b) {
  ASSERT_EQ(a.sheet_count(), b.sheet_count());
  for (size_t i = 0; i < a.sheet_count(); ++i) {
    const Sheet& x = a.sheet(i);
    const Sheet& y = b.sheet(i);
    SCOPED_TRACE(x.name());
    EXPECT_EQ(x.name(), y.name());
    EXPECT_EQ(x.kind(), y.kind());
    EXPECT_EQ(x.visibility(), y.visibility());
    EXPECT_EQ(x.CellCount(), y.CellCount());
    x.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
      CellView w = y.Get(r, c);
      EXPECT_EQ(v.ToValue(), w.ToValue()) << CellName({r, c});
      EXPECT_EQ(v.formula, w.formula) << CellName({r, c});
      EXPECT_EQ(a.formats().Get(v.format), b.formats().Get(w.format)) << CellName({r, c});
    });
    EXPECT_EQ(x.merged(), y.merged());
    EXPECT_EQ(x.rows(), y.rows());
    EXPECT_EQ(x.columns(), y.columns());
    const SheetView& xv = x.view();
    const SheetView& yv = y.view();
    EXPECT_EQ(xv.zoom, yv.zoom);
    EXPECT_EQ(xv.gridlines, yv.gridlines);
    EXPECT_EQ(xv.headings, yv.headings);
    EXPECT_EQ(xv.outline_symbols, yv.outline_symbols);
    EXPECT_EQ(xv.zero_values, yv.zero_values);
    EXPECT_EQ(xv.page_break_preview, yv.page_break_preview);
    EXPECT_EQ(xv.selected, yv.selected);
    EXPECT_EQ(xv.top_left, yv.top_left);
    EXPECT_EQ(xv.active_cell, yv.active_cell);
    EXPECT_EQ(xv.selection, yv.selection);
    EXPECT_EQ(xv.frozen_rows, yv.frozen_rows);
    EXPECT_EQ(x.page_setup(), y.page_setup());
    ASSERT_EQ(x.names().size(), y.names().size());
    for (size_t k = 0; k < x.names().size(); ++k) {
      EXPECT_EQ(x.names().entries()[k].name, y.names().entries()[k].name);
      EXPECT_EQ(x.names().entries()[k].refers_to, y.names().entries()[k].refers_to);
      EXPECT_EQ(x.names().entries()[k].hidden, y.names().entries()[k].hidden);
    }
    ASSERT_EQ(x.drawings().size(), y.drawings().size());
    for (size_t k = 0; k < x.drawings().size(); ++k) {
      const DrawingObject& d = *x.drawings()[k];
      const DrawingObject& e = *y.drawings()[k];
      EXPECT_EQ(d.kind, e.kind);
      EXPECT_EQ(d.name, e.name);
      EXPECT_EQ(d.anchor, e.anchor);
      EXPECT_EQ(d.text, e.text);
      if (d.chart) {
        ASSERT_TRUE(e.chart);
        ExpectSameChart(*d.chart, *e.chart);
      }
    }
    if (x.chart_if_any()) {
      ASSERT_TRUE(y.chart_if_any());
      ExpectSameChart(*x.chart_if_any(), *y.chart_if_any());
    }
  }
}

}  // namespace

TEST(XlsxRoundTrip, EveryModelledFeatureReadsBackAsWritten) {
  auto book = RichWorkbook();
  auto back = RoundTrip(*book);
  ExpectSameSheets(*book, *back);
  ASSERT_EQ(back->names().size(), book->names().size());
  for (size_t k = 0; k < book->names().size(); ++k) {
    const DefinedName& n = book->names().entries()[k];
    const DefinedName* m = back->names().Find(n.name);
    ASSERT_NE(m, nullptr) << n.name;
    EXPECT_EQ(m->refers_to, n.refers_to);
    EXPECT_EQ(m->references, n.references);
    EXPECT_EQ(m->hidden, n.hidden);
    EXPECT_EQ(m->kind, n.kind);
  }
  // A reference to another workbook is stored through an external link, "[1]", and read back
  // with the workbook's name, in its text too; saved again, it keeps that link.
  EXPECT_EQ(back->names().Find("Ext")->refers_to, "[Other.xlsx]Sheet1!$A$1");
  EXPECT_EQ(back->names().Find("Ext")->references[0].workbook, "Other.xlsx");
  std::string again = WriteXlsxBytes(*back);
  auto third = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(again.data()), again.size()}, "3.xlsx");
  EXPECT_EQ(third->names().Find("Ext")->references, back->names().Find("Ext")->references);
  EXPECT_EQ(PartNames(again).size(), PartNames(WriteXlsxBytes(*book)).size());
  ASSERT_EQ(back->windows().size(), book->windows().size());
  for (size_t i = 0; i < book->windows().size(); ++i) {
    EXPECT_EQ(back->windows()[i].hidden, book->windows()[i].hidden);
    EXPECT_EQ(back->windows()[i].active_sheet, book->windows()[i].active_sheet);
    EXPECT_TRUE(back->windows()[i] == book->windows()[i]) << i;
  }
  EXPECT_EQ(back->format(), FileFormat::Xlsx);
  EXPECT_FALSE(back->date_1904());
  book->set_date_1904(true);
  EXPECT_TRUE(RoundTrip(*book)->date_1904());
  book->set_date_1904(false);
  // Written twice, the bytes are the same: nothing depends on the clock or on hash order.
  EXPECT_TRUE(WriteXlsxBytes(*book) == WriteXlsxBytes(*book));
}

TEST(XlsxRoundTrip, TemplatesAndMacroWorkbooksKeepTheirKind) {
  auto book = RichWorkbook();
  EXPECT_EQ(RoundTrip(*book, FileFormat::Xltx)->format(), FileFormat::Xltx);
  EXPECT_EQ(RoundTrip(*book, FileFormat::Xlsm)->format(), FileFormat::Xlsm);
  EXPECT_EQ(RoundTrip(*book, FileFormat::Xltm)->format(), FileFormat::Xltm);
}

TEST(XlsxRoundTrip, OpenpyxlFixtureReadsIntoTheModel) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/openpyxl-features.xlsx");
  ASSERT_EQ(book->sheet_count(), 3u);
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.GetValue(5, 2), Value::Text("Glucose µmol/L"));
  EXPECT_EQ(s.GetValue(1, 3), Value::Boolean(true));
  EXPECT_EQ(s.Get(1, 4).formula, "SUM(B2:B7)");
  EXPECT_EQ(s.GetValue(2, 4), Value::Error(ErrorCode::NA));
  const CellFormat& a1 = book->formats().Get(s.Get(0, 0).format);
  EXPECT_TRUE(a1.font.bold && a1.font.italic);
  EXPECT_EQ(a1.font.size, 12);
  EXPECT_EQ(a1.font.color, Color::Rgb(0xFF0000FF));
  EXPECT_EQ(book->formats().Get(s.Get(0, 1).format).horizontal, HorizontalAlignment::CenterAcrossSelection);
  const CellFormat& b2 = book->formats().Get(s.Get(1, 1).format);
  EXPECT_EQ(b2.borders.left, (BorderLine{BorderStyle::Thin, Color::Rgb(0xFFFF0000)}));
  EXPECT_EQ(b2.borders.bottom.style, BorderStyle::Double);
  EXPECT_EQ(book->formats().Get(s.Get(3, 1).format).fill.pattern, FillPattern::DarkGrid);
  EXPECT_EQ(book->formats().Get(s.Get(3, 4).format).number_format, "0.0%");
  EXPECT_EQ(s.merged(), (std::vector<RangeAddress>{{{0, 6}, {1, 7}}}));
  EXPECT_EQ(s.GetRow(3).outline_level, 1);
  EXPECT_EQ(s.GetColumn(2).outline_level, 2);
  EXPECT_EQ(s.view().zoom, 80u);
  EXPECT_FALSE(s.view().gridlines);
  EXPECT_FALSE(s.view().headings);
  EXPECT_FALSE(s.view().zero_values);
  EXPECT_EQ(s.page_setup().paper_size, 9u);
  EXPECT_EQ(s.page_setup().orientation, Orientation::Landscape);
  EXPECT_EQ(book->names().Find("Ids")->array.rows, 3u);
  EXPECT_EQ(book->names().Find("Ext")->references[0].workbook, "C:\\data\\Other.xlsx");
  ASSERT_NE(s.names().Find("__sm_TV_0"), nullptr);
  EXPECT_TRUE(s.names().Find("__sm_TV_0")->hidden);
  ASSERT_EQ(s.drawings().size(), 5u);
  const Chart& scatter = *s.drawings()[0]->chart;
  EXPECT_EQ(scatter.type, ChartType::Scatter);
  EXPECT_EQ(scatter.title, "Dose response");
  EXPECT_EQ(scatter.x_axis.title, "Dose");
  EXPECT_EQ(scatter.x_axis.scale.maximum, 7);
  EXPECT_EQ(scatter.series[0].x_values, "'Data'!$A$2:$A$7");
  ASSERT_EQ(scatter.series[0].trendlines.size(), 1u);
  EXPECT_TRUE(scatter.series[0].trendlines[0].display_r_squared);
  EXPECT_EQ(s.drawings()[2]->chart->type, ChartType::Bar);
  EXPECT_EQ(s.drawings()[3]->chart->grouping, ChartGrouping::Stacked);
  EXPECT_EQ(s.drawings()[4]->chart->type, ChartType::Area);
  EXPECT_EQ(book->sheet(1).visibility(), SheetVisibility::Hidden);
  EXPECT_TRUE(book->sheet(1).view().page_break_preview);
  ASSERT_EQ(book->sheet(2).kind(), SheetKind::Chart);
  EXPECT_EQ(book->sheet(2).chart_if_any()->title, "On its own sheet");
  // And our save of it reads back the same.
  ExpectSameSheets(*book, *RoundTrip(*book));
}

TEST(XlsxRoundTrip, LibreOfficeFixtureReadsIntoTheModel) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/libreoffice-features.xlsx");
  const Sheet& s = book->sheet(0);
  EXPECT_EQ(s.GetValue(5, 2), Value::Text("Glucose µmol/L"));
  EXPECT_EQ(s.Get(1, 4).formula, "SUM(B2:B7)");
  EXPECT_EQ(s.GetValue(1, 4), Value::Number(42.4));  // LibreOffice stores the computed result
  // LibreOffice writes centre-across-selection as centre, and its own view settings (zoom 100, grid
  // lines on, headings off); the model holds what the file says.
  EXPECT_EQ(book->formats().Get(s.Get(0, 1).format).horizontal, HorizontalAlignment::Center);
  EXPECT_EQ(book->formats().Get(s.Get(6, 4).format).number_format, "\"kg \"0.0");
  EXPECT_EQ(s.merged().size(), 1u);
  EXPECT_EQ(s.GetRow(4).outline_level, 1);
  EXPECT_FALSE(s.view().headings);
  EXPECT_FALSE(s.view().zero_values);
  EXPECT_TRUE(s.view().selected);
  EXPECT_EQ(s.page_setup().paper_size, 9u);
  ASSERT_NE(book->names().Find("Ids"), nullptr);
  EXPECT_EQ(book->names().Find("Ids")->kind, DefinedName::Kind::Array);
  size_t charts = 0;
  for (size_t i = 0; i < book->sheet_count(); ++i)
    for (const auto& d : book->sheet(i).drawings()) charts += d->chart ? 1 : 0;
  EXPECT_EQ(charts, 6u);
  ExpectSameSheets(*book, *RoundTrip(*book));
}

TEST(XlsxKeep, ImageCommentAndConditionalFormatSurviveAnEditAndASave) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/openpyxl-keep.xlsx");
  book->sheet(0).SetNumber(0, 0, 99);
  std::string bytes = WriteXlsxBytes(*book);
  auto parts = PartNames(bytes);
  auto has = [&](std::string_view needle) {
    for (const auto& p : parts)
      if (p.find(needle) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(has("xl/media/image1.png"));
  EXPECT_TRUE(has("comments"));
  EXPECT_TRUE(has("xl/drawings/commentsDrawing1.vml"));
  ZipReader zip({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  std::string sheet = zip.ReadAll(size_t(zip.Find("xl/worksheets/sheet1.xml")), 1 << 20);
  EXPECT_NE(sheet.find("<conditionalFormatting"), std::string::npos);
  EXPECT_NE(sheet.find("<dataValidations"), std::string::npos);
  EXPECT_NE(sheet.find("<legacyDrawing"), std::string::npos);
  EXPECT_LT(sheet.find("<conditionalFormatting"), sheet.find("<dataValidations"));  // schema order
  auto back = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "k.xlsx");
  EXPECT_EQ(back->sheet(0).GetValue(0, 0), Value::Number(99));
  EXPECT_EQ(back->sheet(0).GetValue(9, 0), Value::Number(10));
  // Saved again, nothing more is lost.
  EXPECT_EQ(PartNames(WriteXlsxBytes(*back)).size(), parts.size());
}

TEST(XlsxKeep, MacrosAreDroppedOnlyWhenSavedAsAMacroFreeFormat) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/openpyxl-keep.xlsx");
  auto keep = book->preserved();
  ASSERT_TRUE(keep);
  keep->parts["xl/vbaProject.bin"] = "not really a VBA project";
  keep->content_overrides["xl/vbaProject.bin"] = "application/vnd.ms-office.vbaProject";
  keep->workbook_rels.push_back(
      {"rIdVba", "http://schemas.microsoft.com/office/2006/relationships/vbaProject", "/xl/vbaProject.bin", ""});
  auto parts_xlsm = PartNames(WriteXlsxBytes(*book, FileFormat::Xlsm));
  auto parts_xlsx = PartNames(WriteXlsxBytes(*book, FileFormat::Xlsx));
  EXPECT_NE(std::find(parts_xlsm.begin(), parts_xlsm.end(), "xl/vbaProject.bin"), parts_xlsm.end());
  EXPECT_EQ(std::find(parts_xlsx.begin(), parts_xlsx.end(), "xl/vbaProject.bin"), parts_xlsx.end());
}

TEST(Save, IsAtomicAndLeavesNoTemporaryFileBehind) {
  fs::path dir = fs::temp_directory_path() / ("qs-save-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "out.xlsx").string();
  auto book = RichWorkbook();
  SaveWorkbook(*book, path);
  EXPECT_EQ(book->path(), path);
  EXPECT_EQ(book->name(), "out.xlsx");
  EXPECT_FALSE(book->dirty());
  std::string before;
  {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    before = s.str();
  }
  // A save that fails (a workbook without sheets cannot be written) leaves the old file as it was.
  Workbook empty("Empty");
  EXPECT_THROW(SaveWorkbook(empty, path), FileError);
  {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), before);
  }
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1u);
  try {
    SaveWorkbook(*book, (dir / "no-such-folder" / "x.xlsx").string());
    ADD_FAILURE() << "saved into a missing folder";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("no-such-folder/x.xlsx: cannot save: No such file or directory"),
              std::string::npos)
        << e.what();
  }
  auto back = ReadWorkbook(path);
  ExpectSameSheets(*book, *back);
  fs::remove_all(dir);
}

TEST(Save, TemplatesOpenAsUntitledWorkbooks) {
  fs::path dir = fs::temp_directory_path() / ("qs-tpl-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "report.xltx").string();
  auto book = RichWorkbook();
  SaveWorkbook(*book, path);
  EXPECT_EQ(book->format(), FileFormat::Xltx);
  auto made = NewWorkbookFromTemplate(path, "Book2");
  EXPECT_EQ(made->name(), "Book2");
  EXPECT_TRUE(made->path().empty());
  EXPECT_EQ(made->sheet(0).GetValue(1, 0), Value::Number(0.1));
  fs::remove_all(dir);
}
