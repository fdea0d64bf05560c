// Faults the content-model checker found in the writer, each with the workbook that showed it: the
// package must now be valid, and what the model held must read back where it can.
#include <gtest/gtest.h>

#include <cmath>

#include "schema_check.h"
#include "sheets/io/workbook_io.h"

using namespace sheets;

namespace {

const schemacheck::Schema& Table() {
  static const schemacheck::Schema schema = schemacheck::Schema::FromFile(QS_SCHEMA_TABLE);
  return schema;
}

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// Writes the book, checks the package and returns it read back.
std::unique_ptr<Workbook> WriteCheckRead(const Workbook& book) {
  std::string bytes = WriteXlsxBytes(book);
  auto report = schemacheck::CheckPackage(Table(), bytes);
  EXPECT_TRUE(report.problems.empty()) << report.Summary();
  return ReadWorkbookBytes(Bytes(bytes), "back.xlsx");
}

Chart OneSeries(std::string y) {
  Chart c;
  ChartSeries s;
  s.y_values = std::move(y);
  c.series.push_back(s);
  return c;
}

}  // namespace

// Values and Y values hold numbers only: a series whose values are texts (a reference to text cells,
// a constant of texts) was written as a text source where the schema allows none.
TEST(SchemaWriterFaults, SeriesValuesAreNumericSourcesEvenWhenTheCellsHoldTexts) {
  for (ChartType type : {ChartType::Scatter, ChartType::Line, ChartType::Column, ChartType::Area, ChartType::Pie}) {
    SCOPED_TRACE(int(type));
    Workbook book("B", SheetLimits::Large());
    Sheet& s = book.AddSheet("S");
    s.SetText(0, 0, "a");
    s.SetNumber(1, 0, 2);
    s.SetText(2, 0, "c");
    Chart c = OneSeries("S!$A$1:$A$3");
    c.type = type;
    c.series.push_back(OneSeries("{\"x\",4}").series[0]);
    c.series[1].x_values = "{\"p\",\"q\"}";  // categories may be texts
    s.AddChart(c, {{5, 0}, 0, 0, {15, 5}, 0, 0});
    auto back = WriteCheckRead(book);
    const Chart& r = *back->sheet(0).drawings()[0]->chart;
    EXPECT_EQ(r.series[0].y_values, "S!$A$1:$A$3");  // the reference itself is kept
    EXPECT_EQ(r.series[1].y_values, "{4}");          // a text among constant values counts for nothing
    EXPECT_EQ(r.series[1].x_values, "{\"p\",\"q\"}");
  }
}

// Characters XML cannot hold (C0 controls) went into parts as they were, which made the part
// malformed: formulas now carry them as cell texts do (_xHHHH_), other texts leave them out.
TEST(SchemaWriterFaults, ControlCharactersNeverMakeAPartMalformed) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  s.SetFormula(0, 0, "\"a\x01\"&\"_x0041_\"", Value::Text("a\x01_x0041_"));
  s.SetText(1, 0, "cell\x02");
  Chart c = OneSeries("{1,2}");
  c.title = "Title\x03";
  c.x_axis.title = "Axis\x04";
  c.x_axis.number_format = "0.0\x05";
  c.series[0].name = "Series\x06";
  Trendline t;
  t.name = "Trend\x07";
  c.series[0].trendlines.push_back(t);
  c.text_boxes.push_back({"Box\x08", 0, 0, 0.2, 0.2});
  s.AddChart(c, {{5, 0}, 0, 0, {15, 5}, 0, 0});
  s.AddTextBox("Text box\x0B", {{5, 6}, 0, 0, {8, 9}, 0, 0});
  CellFormat f;
  f.number_format = "0\x0C";
  f.font.name = "Arial\x0E";
  s.SetFormat(1, 0, book.formats().Intern(f));
  book.names().Define("Note", "\"n\x0F\"", book.limits());
  auto back = WriteCheckRead(book);
  // Formula texts read back whole, a literal "_x0041_" in them included.
  EXPECT_EQ(back->sheet(0).Get(0, 0).formula, "\"a\x01\"&\"_x0041_\"");
  EXPECT_EQ(back->sheet(0).GetValue(1, 0), Value::Text("cell\x02"));
  EXPECT_EQ(back->sheet(0).drawings()[0]->chart->title, "Title");
  EXPECT_EQ(back->sheet(0).drawings()[1]->text, "Text box");
  EXPECT_EQ(back->formats().Get(back->sheet(0).Get(1, 0).format).font.name, "Arial");
}

// A chart sheet whose chart was never made lacked the drawing a chart sheet must have.
TEST(SchemaWriterFaults, AChartSheetWithoutAChartStillHasItsDrawing) {
  Workbook book;
  book.AddSheet("S");
  book.AddSheet("Empty chart", SheetKind::Chart);
  auto back = WriteCheckRead(book);
  ASSERT_EQ(back->sheet_count(), 2u);
  EXPECT_FALSE(back->sheet(1).IsWorksheet());
  EXPECT_TRUE(back->sheet(1).chart_if_any() == nullptr || back->sheet(1).chart_if_any()->series.empty());
}

// Numbers outside what the attribute allows: zoom and print scale beyond 10..400 percent, a tab
// ratio beyond 1000 per mille, a rotation given as a negative angle, a tint beyond -1..1, sizes and
// offsets that are not numbers, axis bounds that are not numbers and units not above zero, and
// chart text boxes reaching beyond the chart.
TEST(SchemaWriterFaults, NumbersOutsideTheirRangeAreBroughtIntoIt) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  s.view().zoom = 5;
  s.page_setup().scale = 1000;
  s.page_setup().paper_size = 256;  // a printer's own size: kept as it is
  book.windows()[0].tab_ratio = 2000;
  Sheet& big = book.AddSheet("Big");
  big.view().zoom = 900;
  big.view().page_break_preview = true;

  CellFormat f;
  f.rotation = -45;
  f.font.size = std::nan("");
  f.font.color = Color::Theme(1, 5);
  f.fill.pattern = FillPattern::Solid;
  f.fill.foreground = Color::Rgb(0xFF000000);
  f.fill.foreground.tint = std::nan("");
  s.SetFormat(0, 0, book.formats().Intern(f));
  RowInfo row;
  row.height = INFINITY;
  s.SetRow(0, row);
  ColumnInfo col;
  col.width = std::nan("");
  s.SetColumn(0, col);
  s.AddTextBox("x", {{0, 0}, -5, std::nan(""), {5, 5}, INFINITY, 0});

  Chart c = OneSeries("{1,2}");
  c.y_axis.scale.minimum = std::nan("");
  c.y_axis.scale.maximum = INFINITY;
  c.y_axis.scale.major_unit = -1;
  c.y_axis.scale.minor_unit = 0;
  c.y_axis.scale.crosses_at = std::nan("");
  c.x_axis.scale.major_unit = 2;
  c.text_boxes.push_back({"beyond", 0.8, 0.9, 0.5, 0.5});
  c.text_boxes.push_back({"before", -0.5, -1, 0.2, 0.2});
  s.AddChart(c, {{5, 0}, 0, 0, {15, 5}, 0, 0});

  std::string bytes = WriteXlsxBytes(book);
  auto report = schemacheck::CheckPackage(Table(), bytes);
  EXPECT_TRUE(report.problems.empty()) << report.Summary();
  auto back = ReadWorkbookBytes(Bytes(bytes), "back.xlsx");
  EXPECT_EQ(back->sheet(0).view().zoom, 10u);
  EXPECT_EQ(back->sheet(1).view().zoom, 400u);
  EXPECT_EQ(back->sheet(0).page_setup().scale, 400u);
  EXPECT_EQ(back->sheet(0).page_setup().paper_size, 256u);
  EXPECT_EQ(back->windows()[0].tab_ratio, 1000u);
  const CellFormat& g = back->formats().Get(back->sheet(0).Get(0, 0).format);
  EXPECT_EQ(g.rotation, 135);  // 45 degrees down
  EXPECT_EQ(g.font.color.tint, 1.0);
  EXPECT_EQ(g.font.size, Font{}.size);
  const Chart& r = *back->sheet(0).drawings()[1]->chart;
  EXPECT_FALSE(r.y_axis.scale.minimum || r.y_axis.scale.maximum || r.y_axis.scale.major_unit ||
               r.y_axis.scale.minor_unit || r.y_axis.scale.crosses_at);
  EXPECT_EQ(r.x_axis.scale.major_unit, 2.0);
  ASSERT_EQ(r.text_boxes.size(), 2u);
  EXPECT_DOUBLE_EQ(r.text_boxes[0].x + r.text_boxes[0].width, 1.0);
  EXPECT_DOUBLE_EQ(r.text_boxes[1].x, 0.0);
}

// A workbook whose sheets were all hidden, or whose window showed a hidden sheet, was written so;
// Excel repairs such a file. The active sheet is now written visible when no sheet is, and a window
// shows the first visible sheet instead of a hidden one.
TEST(SchemaWriterFaults, ThereIsAlwaysAVisibleActiveSheet) {
  Workbook book;
  book.AddSheet("A").set_visibility(SheetVisibility::Hidden);
  book.AddSheet("B").set_visibility(SheetVisibility::VeryHidden);
  book.AddSheet("C").set_visibility(SheetVisibility::Hidden);
  book.windows()[0].active_sheet = 1;
  auto back = WriteCheckRead(book);
  EXPECT_EQ(back->sheet(0).visibility(), SheetVisibility::Hidden);
  EXPECT_EQ(back->sheet(1).visibility(), SheetVisibility::Visible);
  EXPECT_EQ(back->sheet(2).visibility(), SheetVisibility::Hidden);
  EXPECT_EQ(back->windows()[0].active_sheet, 1u);

  book.sheet(2).set_visibility(SheetVisibility::Visible);
  back = WriteCheckRead(book);
  EXPECT_EQ(back->sheet(1).visibility(), SheetVisibility::VeryHidden);
  EXPECT_EQ(back->windows()[0].active_sheet, 2u);
}
