#include <gtest/gtest.h>

#include "sheets/model/model_error.h"
#include "sheets/model/chart.h"
#include "sheets/model/workbook.h"

using namespace sheets;

TEST(WorkbookSheets, NamesAreCheckedAndCompareWithoutCase) {
  Workbook book;
  book.AddSheet("Data");
  EXPECT_THROW(book.AddSheet("DATA"), ModelError);
  for (const char* bad :
       {"", "a/b", "a:b", "x[1]", "what?", "star*", "'quoted", "quoted'", "this name is far too long for a tab"})
    EXPECT_THROW(book.AddSheet(bad), ModelError) << bad;
  EXPECT_NO_THROW(book.AddSheet("Glucose µmol·L ²"));
  EXPECT_NE(book.FindSheet("data"), nullptr);
  EXPECT_EQ(book.NextSheetName(), "Sheet1");
  book.RenameSheet(0, "data");  // changing only the case of its own name is fine
  EXPECT_EQ(book.sheet(0).name(), "data");
  EXPECT_THROW(book.RenameSheet(1, "Data"), ModelError);
}

TEST(WorkbookSheets, ActiveSheetFollowsMovesAndRemovals) {
  Workbook book;
  book.AddSheet("A");
  book.AddSheet("B");
  book.AddSheet("C");
  book.set_active_sheet(1);
  book.MoveSheet(1, 2);
  EXPECT_EQ(book.sheet(2).name(), "B");
  EXPECT_EQ(book.active_sheet(), 2u);
  book.RemoveSheet(0);
  EXPECT_EQ(book.active_sheet(), 1u);
  EXPECT_EQ(book.sheet(book.active_sheet()).name(), "B");
  book.RemoveSheet(1);
  EXPECT_EQ(book.active_sheet(), 0u);
  book.AddSheet("First", SheetKind::Worksheet, 0);
  EXPECT_EQ(book.sheet(book.active_sheet()).name(), "C");
}

TEST(WorkbookSheets, AMovedSheetKeepsItsFormatsNamesAndCells) {
  Workbook from, to;
  CellFormat pct;
  pct.number_format = "0.0%";
  CellFormat red;
  red.font.color = Color::Rgb(0xFFFF0000);
  Sheet& src = from.AddSheet("Report");
  from.formats().Intern(red);  // so the two tables number formats differently
  uint32_t f = from.formats().Intern(pct);
  src.SetNumber(0, 0, 0.25);
  src.SetFormat(0, 0, f);
  src.names().Define("__sm_TV_0", "1", from.limits(), true);
  Sheet& dst_existing = to.AddSheet("Sheet1");
  (void)dst_existing;

  Sheet& moved = to.AdoptSheet(from.DetachSheet(0), from.formats(), 0);
  EXPECT_EQ(from.sheet_count(), 0u);
  EXPECT_EQ(to.sheet(0).name(), "Report");
  EXPECT_EQ(moved.workbook(), &to);
  EXPECT_EQ(to.formats().Get(moved.Get(0, 0).format).number_format, "0.0%");
  EXPECT_EQ(moved.GetValue(0, 0), Value::Number(0.25));
  ASSERT_NE(moved.names().Find("__SM_TV_0"), nullptr);
  EXPECT_TRUE(moved.names().Find("__sm_TV_0")->hidden);
}

TEST(DefinedNames, RefersToIsKeptAsWrittenAndParsed) {
  Workbook book;
  auto& lim = book.limits();
  auto& n = book.names();
  auto& r = n.Define("Data", "=Sheet1!$A$1:$B$10,Sheet1!$D$1", lim);
  EXPECT_EQ(r.refers_to, "Sheet1!$A$1:$B$10,Sheet1!$D$1");
  ASSERT_EQ(r.kind, DefinedName::Kind::References);
  EXPECT_EQ(r.references.size(), 2u);

  auto& ext = n.Define("Ext", "'C:\\x\\[Other book.xlsx]Sheet 1'!$A$1", lim);
  ASSERT_EQ(ext.kind, DefinedName::Kind::References);
  EXPECT_EQ(ext.references[0].workbook, "C:\\x\\Other book.xlsx");

  EXPECT_EQ(n.Define("Alpha", "0.05", lim).constant, Value::Number(0.05));
  EXPECT_EQ(n.Define("Label", "\"Mean\"", lim).constant, Value::Text("Mean"));
  auto& arr = n.Define("Ids", "{1;1026;\"text\"}", lim);
  ASSERT_EQ(arr.kind, DefinedName::Kind::Array);
  EXPECT_EQ(arr.array.rows, 3u);
  EXPECT_EQ(n.Define("F", "SUM(Sheet1!A1:A3)*2", lim).kind, DefinedName::Kind::Formula);
  EXPECT_EQ(n.Define("Broken", "#REF!", lim).constant, Value::Error(ErrorCode::Ref));

  // Redefining keeps the first spelling and the position.
  n.Define("ALPHA", "0.01", lim, true);
  EXPECT_EQ(n.entries()[2].name, "Alpha");
  EXPECT_EQ(n.entries()[2].constant, Value::Number(0.01));
  EXPECT_TRUE(n.entries()[2].hidden);
  EXPECT_TRUE(n.Remove("alpha"));
  EXPECT_EQ(n.Find("Alpha"), nullptr);
}

TEST(DefinedNames, SpellingRules) {
  for (const char* good : {"Data", "_x", "\\y", "a.b?c", "__sm_CR_1a2b", "Mesure_µ", "RC1x", "AB"})
    EXPECT_TRUE(IsValidDefinedName(good)) << good;
  for (const char* bad : {"", "1a", ".a", "?a", "a b", "A1", "xfd1", "R1C1", "R", "c", "R[1]C", "a-b", "a!b"})
    EXPECT_FALSE(IsValidDefinedName(bad)) << bad;
  EXPECT_FALSE(IsValidDefinedName(std::string(256, 'a')));
  Workbook book;
  EXPECT_THROW(book.names().Define("A1", "1", book.limits()), ModelError);
}

TEST(FormatTable, InternsEqualFormatsOnce) {
  FormatTable t;
  CellFormat a;
  a.horizontal = HorizontalAlignment::CenterAcrossSelection;
  a.borders.bottom = {BorderStyle::Double, Color::Indexed(10)};
  CellFormat b = a;
  EXPECT_EQ(t.Intern(a), t.Intern(b));
  b.borders.bottom.color = Color::Theme(4, -0.25);
  EXPECT_NE(t.Intern(a), t.Intern(b));
  EXPECT_EQ(t.Intern(CellFormat{}), 0u);
  EXPECT_EQ(t.size(), 3u);
}

TEST(WorkbookSheets, RenamingASheetCarriesFormulasAndChartSeriesWithIt) {
  Workbook book;
  book.AddSheet("Data");
  Sheet& report = book.AddSheet("Report");
  report.SetFormula(0, 0, "SUM(Data!A1:A3)+'Data'!B1+Other!C1", Value::Number(6));
  report.SetArrayFormula(RangeAddress{{2, 0}, {3, 0}}, "Data!A1:A2*2", Value::Number(2));
  report.SetCachedValue(3, 0, Value::Number(4));
  report.SetFormula(5, 0, "\"Data!A1\"&[1]Data!A1", Value::Number(0));
  auto chart = std::make_shared<Chart>();
  ChartSeries series;
  series.name_ref = "Data!$B$1";
  series.x_values = "Data!$A$1:$A$3";
  series.y_values = "Data!$B$1:$B$3";
  chart->series.push_back(series);
  auto object = std::make_unique<DrawingObject>();
  object->chart = chart;
  report.drawings().push_back(std::move(object));

  book.RenameSheet(0, "New data");
  EXPECT_EQ(report.Get(0, 0).formula, "SUM('New data'!A1:A3)+'New data'!B1+Other!C1");
  EXPECT_EQ(report.Get(0, 0).number, 6);
  // The array formula keeps its range and every cached value.
  EXPECT_EQ(report.Get(2, 0).formula, "'New data'!A1:A2*2");
  ASSERT_TRUE(report.ArrayFormulaAt({3, 0}).has_value());
  EXPECT_EQ(report.Get(3, 0).number, 4);
  // Text in quotes and references into other workbooks are not the sheet.
  EXPECT_EQ(report.Get(5, 0).formula, "\"Data!A1\"&[1]Data!A1");
  const ChartSeries& s = report.drawings()[0]->chart->series[0];
  EXPECT_EQ(s.name_ref, "'New data'!$B$1");
  EXPECT_EQ(s.x_values, "'New data'!$A$1:$A$3");
  EXPECT_EQ(s.y_values, "'New data'!$B$1:$B$3");
  // The chart object the drawing shared before is left as it was (a copy of the sheet keeps it).
  EXPECT_EQ(chart->series[0].y_values, "Data!$B$1:$B$3");
}
