// Inserting and deleting cells: the rules by which references follow, and everything of a
// workbook (and of other workbooks) that holds references.
#include <gtest/gtest.h>

#include "sheets/edit/shift_cells.h"
#include "sheets/io/preserved.h"
#include "sheets/model/workbook.h"

using namespace sheets;

namespace {

RangeAddress R(std::string_view a1) { return ParseA1(a1, SheetLimits::Classic())->area.range; }
std::string Name(const RangeAddress& r) { return RangeName(r); }

// The area text after a shift of Data (or #REF!).
class ShiftRules : public ::testing::Test {
 protected:
  Workbook book{"Data.xlsx"};
  Sheet& data = book.AddSheet("Data");
  Sheet& other = book.AddSheet("Other");

  std::string After(std::string_view ref, std::string_view area, ShiftAxis axis, bool insert) {
    CellShift shift{&data, R(area), axis, insert};
    std::optional<RangeAddress> moved = ShiftedArea(ParseA1(ref, data.limits())->area, shift);
    return moved ? Name(*moved) : "#REF!";
  }
  std::string Formula(std::string_view formula, std::string_view area, ShiftAxis axis, bool insert,
                      const Sheet* home = nullptr) {
    CellShift shift{&data, R(area), axis, insert};
    std::optional<std::string> text = ShiftFormulaText(formula, FormulaHome{&book, home ? home : &other}, shift);
    return text ? *text : std::string(formula);
  }
};

}  // namespace

TEST_F(ShiftRules, InsertedRowsMoveGrowOrLeaveAreas) {
  const ShiftAxis down = ShiftAxis::Down;
  EXPECT_EQ(After("A1:B4", "A5:IV6", down, true), "A1:B4");   // before
  EXPECT_EQ(After("A1:B5", "A5:IV6", down, true), "A1:B7");   // inside: grows
  EXPECT_EQ(After("A5:B9", "A5:IV6", down, true), "A7:B11");  // at its first row: moves
  EXPECT_EQ(After("C1", "A1:IV1", down, true), "C2");         // row 1
  EXPECT_EQ(After("A65536", "A5:IV6", down, true), "#REF!");  // pushed off the sheet
  EXPECT_EQ(After("A9:A65536", "A5:IV6", down, true), "A11:A65536");
  EXPECT_EQ(After("A:A", "A5:IV6", down, true), "A1:A65536");  // whole columns stay
  EXPECT_EQ(After("3:9", "A5:IV6", down, true), "A3:IV11");    // whole rows grow
  // Cells inserted in columns A:B only: an area reaching beside them stays, one within moves.
  EXPECT_EQ(After("A1:C9", "A5:B6", down, true), "A1:C9");
  EXPECT_EQ(After("B7:B9", "A5:B6", down, true), "B9:B11");
  EXPECT_EQ(After("3:9", "A5:B6", down, true), "A3:IV9");
}

TEST_F(ShiftRules, DeletedCellsCloseUpShrinkOrGiveRef) {
  const ShiftAxis right = ShiftAxis::Right;
  EXPECT_EQ(After("A1:H2", "C1:D65536", right, false), "A1:F2");  // shrinks
  EXPECT_EQ(After("D1:H2", "C1:D65536", right, false), "C1:F2");  // its first columns gone
  EXPECT_EQ(After("C1:D9", "C1:D65536", right, false), "#REF!");  // wholly deleted
  EXPECT_EQ(After("E5", "C1:D65536", right, false), "C5");
  EXPECT_EQ(After("A1:IV1", "C1:D65536", right, false), "A1:IV1");  // reaching the end keeps reaching it
  EXPECT_EQ(After("IV1", "C1:D65536", right, false), "IT1");
  EXPECT_EQ(After("1:1", "C1:D65536", right, false), "A1:IV1");  // whole rows stay
  EXPECT_EQ(After("A:A", "A1:A65536", right, false), "#REF!");
}

TEST_F(ShiftRules, FormulasKeepTheirTextButTheMovedAreas) {
  const ShiftAxis down = ShiftAxis::Down;
  // Absolute and relative parts alike; sheets written in quotes stay so; texts and function names
  // that look like cells are no references.
  EXPECT_EQ(Formula("SUM(Data!A1:A10)+'Data'!$B$5*Data!B$4&\"Data!A5\"+LOG10(4)", "A5:IV5", down, true),
            "SUM(Data!A1:A11)+'Data'!$B$6*Data!B$4&\"Data!A5\"+LOG10(4)");
  // Other sheets' references and references without a sheet (the formula's own sheet: Other).
  EXPECT_EQ(Formula("Other!A9+A9", "A5:IV5", down, true), "Other!A9+A9");
  EXPECT_EQ(Formula("=A9+Data!A9", "A5:IV5", down, true, &data), "=A10+Data!A10");
  EXPECT_EQ(Formula("SUM(Data!B2:B3)*Data!B4", "A2:IV3", down, false), "SUM(#REF!)*Data!B2");
  // 3-D references stay; so does text that does not parse.
  EXPECT_EQ(Formula("SUM(Data:Other!A9)", "A5:IV5", down, true), "SUM(Data:Other!A9)");
  EXPECT_EQ(Formula("SUM(Data!A9", "A5:IV5", down, true), "SUM(Data!A9");
}

TEST_F(ShiftRules, ExternalReferencesMatchTheWorkbookByItsFileName) {
  Workbook reports("Reports.xlsx");
  Sheet& sheet = reports.AddSheet("Report");
  CellShift shift{&data, R("A2:IV2"), ShiftAxis::Down, false};
  auto shifted = [&](std::string_view f) {
    return ShiftFormulaText(f, FormulaHome{&reports, &sheet}, shift).value_or(std::string(f));
  };
  EXPECT_EQ(shifted("[Data.xlsx]Data!$A$1:$C$9"), "[Data.xlsx]Data!$A$1:$C$8");
  EXPECT_EQ(shifted("'/home/u/[data.XLSX]Data'!B5"), "'/home/u/[data.XLSX]Data'!B4");
  EXPECT_EQ(shifted("[Other.xlsx]Data!B5+Data!B5"), "[Other.xlsx]Data!B5+Data!B5");
  // A file's numbered links stand for the workbooks their parts name.
  reports.preserved() = std::make_shared<PackagePreserved>();
  reports.preserved()->external_links = {"Other.xlsx", "file:///home/u/Data.xlsx"};
  EXPECT_EQ(shifted("[2]Data!B5+[1]Data!B5"), "[2]Data!B4+[1]Data!B5");
}

namespace {

class ShiftWorkbook : public ::testing::Test {
 protected:
  Workbook book{"Data.xlsx"};
  Sheet& data = book.AddSheet("Data");
  Sheet& report = book.AddSheet("Report");
  std::string why;

  void SetUp() override {
    for (uint32_t r = 0; r < 10; ++r) data.SetNumber(r, 0, r + 1);  // A1:A10
    data.SetFormula(10, 0, "SUM(A1:A10)", Value::Number(55));       // A11
    report.SetFormula(0, 0, "Data!A11/COUNT(Data!$A$1:$A$10)");
    report.names().Define("__sm_ER_0", "Data!$A$1:$A$10", book.limits());
    report.names().Define("__sm_TV_0", "{1;1026;\"t-test\"}", book.limits());
    report.names().Define("Here", "$B$2", book.limits());  // no sheet: the report's own
    book.names().Define("Total", "Data!$A$11", book.limits());
    book.names().Define("Konst", "42", book.limits());
    book.names().Define("Grown", "OFFSET(Data!$A$1,0,0,COUNT(Data!$A$1:$A$10),1)", book.limits());
  }
  std::string Refers(const NameTable& t, std::string_view name) { return t.Find(name)->refers_to; }
  std::string FormulaAt(const Sheet& s, uint32_t row, uint32_t col) { return std::string(s.Get(row, col).formula); }
};

}  // namespace

TEST_F(ShiftWorkbook, RowsInsertedAndDeletedInsideTheDatasetMoveFormulasAndNames) {
  ASSERT_TRUE(InsertCells(data, R("A4:IV5"), ShiftAxis::Down, {}, &why)) << why;
  EXPECT_EQ(data.GetValue(5, 0).number, 4);  // A4 moved to A6
  EXPECT_EQ(FormulaAt(data, 12, 0), "SUM(A1:A12)");
  EXPECT_EQ(FormulaAt(report, 0, 0), "Data!A13/COUNT(Data!$A$1:$A$12)");
  EXPECT_EQ(Refers(report.names(), "__sm_ER_0"), "Data!$A$1:$A$12");
  EXPECT_EQ(Refers(book.names(), "Total"), "Data!$A$13");
  EXPECT_EQ(Refers(book.names(), "Grown"), "OFFSET(Data!$A$1,0,0,COUNT(Data!$A$1:$A$12),1)");
  EXPECT_EQ(Refers(book.names(), "Konst"), "42");
  EXPECT_EQ(Refers(report.names(), "Here"), "$B$2");  // on the report, not on Data

  ASSERT_TRUE(DeleteCells(data, R("A1:IV3"), ShiftAxis::Down, {}, &why)) << why;
  EXPECT_EQ(Refers(report.names(), "__sm_ER_0"), "Data!$A$1:$A$9");
  EXPECT_EQ(FormulaAt(data, 9, 0), "SUM(A1:A9)");
  ASSERT_TRUE(DeleteCells(data, R("A1:IV9"), ShiftAxis::Down, {}, &why)) << why;
  EXPECT_EQ(Refers(report.names(), "__sm_ER_0"), "#REF!");
  EXPECT_EQ(FormulaAt(data, 0, 0), "SUM(#REF!)");
  EXPECT_EQ(FormulaAt(report, 0, 0), "Data!A1/COUNT(#REF!)");
  EXPECT_EQ(Refers(report.names(), "__sm_TV_0"), "{1;1026;\"t-test\"}");
}

TEST_F(ShiftWorkbook, NamesOfTheShiftedSheetWithoutSheetFollowItsCells) {
  ASSERT_TRUE(InsertCells(report, R("A1:A65536"), ShiftAxis::Right, {}, &why)) << why;
  EXPECT_EQ(Refers(report.names(), "Here"), "$C$2");
  EXPECT_EQ(FormulaAt(report, 0, 1), "Data!A11/COUNT(Data!$A$1:$A$10)");  // moved, refers to Data still
  EXPECT_EQ(Refers(report.names(), "__sm_ER_0"), "Data!$A$1:$A$10");
}

TEST_F(ShiftWorkbook, ChartsAndOtherWorkbooksFollow) {
  Chart chart;
  ChartSeries series;
  series.x_values = "Data!$A$1:$A$10";
  series.y_values = "{1,2,3}";
  chart.series.push_back(series);
  report.AddChart(chart, ObjectAnchor{});
  Workbook reports("Reports.xlsx");
  Sheet& far = reports.AddSheet("t-test 1");
  far.SetFormula(0, 0, "SUM([Data.xlsx]Data!A1:A10)");
  far.SetFormula(0, 1, "SUM(Data!A1:A10)");  // its own sheet Data, which does not exist: no match
  far.names().Define("__sm_ER_0", "[Data.xlsx]Data!$A$1:$A$10", reports.limits());
  ASSERT_TRUE(DeleteCells(data, R("A2:IV3"), ShiftAxis::Down, {&reports}, &why)) << why;
  EXPECT_EQ(report.drawings()[0]->chart->series[0].x_values, "Data!$A$1:$A$8");
  EXPECT_EQ(report.drawings()[0]->chart->series[0].y_values, "{1,2,3}");
  EXPECT_EQ(FormulaAt(far, 0, 0), "SUM([Data.xlsx]Data!A1:A8)");
  EXPECT_EQ(FormulaAt(far, 0, 1), "SUM(Data!A1:A10)");
  EXPECT_EQ(Refers(far.names(), "__sm_ER_0"), "[Data.xlsx]Data!$A$1:$A$8");
}

TEST_F(ShiftWorkbook, MergesArraysAndRowHeightsMoveAndWhatCannotMoveIsRefused) {
  data.Merge(R("B2:C3"));
  data.SetArrayFormula(R("D1:D2"), "A1:A2*2");
  RowInfo tall;
  tall.height = 30;
  data.SetRow(6, tall);
  ASSERT_TRUE(InsertCells(data, R("A1:IV2"), ShiftAxis::Down, {}, &why)) << why;
  EXPECT_EQ(data.merged(), std::vector<RangeAddress>{R("B4:C5")});
  ASSERT_EQ(data.array_formulas().size(), 1u);
  EXPECT_EQ(data.array_formulas().begin()->second, R("D3:D4"));
  EXPECT_EQ(FormulaAt(data, 2, 3), "A3:A4*2");
  EXPECT_EQ(data.GetRow(8).height, 30.0);
  EXPECT_EQ(data.GetRow(6).height, 0.0);

  // Splitting the array formula, or pushing a filled cell off the sheet, changes nothing.
  EXPECT_FALSE(InsertCells(data, R("D4"), ShiftAxis::Down, {}, &why));
  EXPECT_NE(why.find("array formula in D3:D4"), std::string::npos) << why;
  EXPECT_FALSE(DeleteCells(data, R("A4:IV4"), ShiftAxis::Down, {}, &why));
  data.SetText(65535, 7, "last");
  EXPECT_FALSE(InsertCells(data, R("H1"), ShiftAxis::Down, {}, &why));
  EXPECT_NE(why.find("pushed off"), std::string::npos) << why;
  EXPECT_EQ(data.GetValue(65535, 7).text, "last");
  EXPECT_TRUE(InsertCells(data, R("G1"), ShiftAxis::Down, {}, &why)) << why;  // beside it

  // A merged area reaching beside the moved cells stays where it is (as report templates have
  // them); one moved onto it stays unmerged rather than overlap it.
  data.Merge(R("J6:L6"));
  data.Merge(R("J3:K3"));
  ASSERT_TRUE(InsertCells(data, R("J1:K3"), ShiftAxis::Down, {}, &why)) << why;
  EXPECT_EQ(data.MergedAreaAt({5, 9}), R("J6:L6"));
  EXPECT_EQ(data.merged().size(), 2u);  // B4:C5 and J6:L6
}

TEST_F(ShiftWorkbook, KeptPartsOfTheSheetFileFollowTheirCells) {
  // As a file read keeps them: a conditional format over two areas with its rule's formula, and
  // hyperlinks on cells.
  XmlNode rule{"cfRule", {{"type", "expression"}}, {XmlNode{"formula", {}, {}, "A2>B$1"}}, ""};
  XmlNode format{"conditionalFormatting", {{"sqref", "A2:A5 C9"}}, {rule}, ""};
  XmlNode links{"hyperlinks", {}, {XmlNode{"hyperlink", {{"ref", "B3"}, {"r:id", "rId1"}}, {}, ""}}, ""};
  // And a picture over C4:E8 (cells counted from 0 in drawing anchors).
  auto corner = [](const char* which, const char* col, const char* row) {
    return XmlNode{which, {}, {XmlNode{"xdr:col", {}, {}, col}, XmlNode{"xdr:row", {}, {}, row}}, ""};
  };
  XmlNode picture{"xdr:twoCellAnchor", {}, {corner("xdr:from", "2", "3"), corner("xdr:to", "4", "7")}, ""};
  data.preserved() = std::make_shared<SheetPreserved>();
  data.preserved()->elements = {format, links};
  data.preserved()->drawing_anchors = {picture};
  ASSERT_TRUE(DeleteCells(data, R("A3:IV4"), ShiftAxis::Down, {}, &why)) << why;
  const std::vector<XmlNode>& kept = data.preserved()->elements;
  ASSERT_EQ(kept.size(), 1u);  // the only hyperlink's cell is gone, and the list with it
  EXPECT_EQ(kept[0].AttrOr("sqref", ""), "A2:A3 C7");
  EXPECT_EQ(kept[0].children[0].children[0].text, "A2>B$1");
  ASSERT_TRUE(InsertCells(data, R("A1:IV1"), ShiftAxis::Down, {}, &why)) << why;
  EXPECT_EQ(data.preserved()->elements[0].AttrOr("sqref", ""), "A3:A4 C8");
  EXPECT_EQ(data.preserved()->elements[0].children[0].children[0].text, "A3>B$2");
  const XmlNode& moved = data.preserved()->drawing_anchors[0];
  EXPECT_EQ(moved.children[0].children[1].text, "2");  // row 4, less 2 deleted, plus 1 inserted (from 0)
  EXPECT_EQ(moved.children[1].children[1].text, "6");
  EXPECT_EQ(moved.children[0].children[0].text, "2");
}
