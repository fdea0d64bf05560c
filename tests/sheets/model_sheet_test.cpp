#include <gtest/gtest.h>

#include <vector>

#include "sheets/model/model_error.h"
#include "sheets/model/workbook.h"

using namespace sheets;

TEST(SheetCells, StoresEveryValueTypeAndFormulaWithCachedValue) {
  Workbook book;
  Sheet& s = book.AddSheet("Data");
  s.SetNumber(0, 0, 2.5);
  s.SetText(0, 1, "Glucose µmol/L");
  s.SetBoolean(1, 0, true);
  s.SetError(1, 1, ErrorCode::Div0);
  s.SetFormula(2, 0, "=SUM(A1:A2)", Value::Number(3.5));
  EXPECT_EQ(s.GetValue(0, 0), Value::Number(2.5));
  EXPECT_EQ(s.GetValue(0, 1), Value::Text("Glucose µmol/L"));
  EXPECT_EQ(s.GetValue(1, 0), Value::Boolean(true));
  EXPECT_EQ(s.GetValue(1, 1), Value::Error(ErrorCode::Div0));
  CellView f = s.Get(2, 0);
  EXPECT_EQ(f.formula, "SUM(A1:A2)");
  EXPECT_EQ(f.ToValue(), Value::Number(3.5));
  s.SetCachedValue(2, 0, Value::Text("x"));
  EXPECT_EQ(s.Get(2, 0).formula, "SUM(A1:A2)");
  EXPECT_EQ(s.GetValue(2, 0), Value::Text("x"));
  s.SetNumber(2, 0, 1);  // a constant replaces the formula
  EXPECT_FALSE(s.Get(2, 0).HasFormula());
  EXPECT_TRUE(s.Get(500, 200).type == ValueType::Empty);
  EXPECT_EQ(s.CellCount(), 5u);
  EXPECT_TRUE(book.dirty());
}

TEST(SheetCells, RefusesCellsBeyondTheLimitsAndOverlongText) {
  Workbook book("Book1", SheetLimits::Classic());
  Sheet& s = book.AddSheet("S");
  EXPECT_NO_THROW(s.SetNumber(65535, 255, 1));
  EXPECT_THROW(s.SetNumber(65536, 0, 1), ModelError);
  EXPECT_THROW(s.SetNumber(0, 256, 1), ModelError);
  EXPECT_THROW(s.Get(0, 256), ModelError);
  std::string longest(kMaxCellTextBytes, 'a');
  EXPECT_NO_THROW(s.SetText(0, 0, longest));
  EXPECT_EQ(s.Get(0, 0).text.size(), kMaxCellTextBytes);
  EXPECT_THROW(s.SetText(0, 1, longest + "a"), ModelError);
  EXPECT_THROW(s.SetValue(0, 1, Value::Text(longest + "a")), ModelError);
  EXPECT_EQ(s.Get(0, 1).type, ValueType::Empty);

  Workbook big("Big", SheetLimits::Large());
  EXPECT_NO_THROW(big.AddSheet("S").SetNumber(1048575, 16383, 1));
}

TEST(SheetCells, FormatsStayOnClearedCellsAndEmptyCellsAreNotStored) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  CellFormat bold;
  bold.font.bold = true;
  uint32_t f = book.formats().Intern(bold);
  s.SetNumber(3, 3, 1);
  s.SetFormat(3, 3, f);
  s.ClearContents(3, 3);
  EXPECT_EQ(s.CellCount(), 1u);
  EXPECT_EQ(s.Get(3, 3).format, f);
  EXPECT_EQ(s.Get(3, 3).type, ValueType::Empty);
  s.SetFormat(3, 3, 0);
  EXPECT_EQ(s.CellCount(), 0u);
  s.SetValue(4, 4, Value::Empty());
  EXPECT_EQ(s.CellCount(), 0u);
  EXPECT_FALSE(s.UsedRange());

  // A new cell in a formatted column takes the column's format.
  ColumnInfo col;
  col.format = f;
  s.SetColumn(7, col);
  s.SetNumber(10, 7, 5);
  EXPECT_EQ(s.Get(10, 7).format, f);
}

TEST(SheetCells, VisitsRowByRowWhateverTheOrderOfWriting) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  s.SetNumber(5, 2, 3);
  s.SetNumber(0, 9, 2);
  s.SetNumber(5, 0, 1);
  s.SetNumber(0, 1, 0);
  s.SetNumber(9, 1, 4);
  std::vector<double> seen;
  s.ForEachCell([&](uint32_t, uint32_t, const CellView& v) { seen.push_back(v.number); });
  EXPECT_EQ(seen, (std::vector<double>{0, 2, 1, 3, 4}));
  EXPECT_EQ(s.UsedRange(), (RangeAddress{{0, 0}, {9, 9}}));
  seen.clear();
  s.ForEachCellIn({{1, 0}, {9, 2}}, [&](uint32_t, uint32_t, const CellView& v) { seen.push_back(v.number); });
  EXPECT_EQ(seen, (std::vector<double>{1, 3, 4}));
  s.ClearRange({{0, 0}, {5, 9}});
  EXPECT_EQ(s.CellCount(), 1u);
  EXPECT_EQ(s.GetValue(9, 1), Value::Number(4));
}

TEST(SheetCells, AMillionNumbersStayWellUnderTheMemoryBudget) {
  Workbook book("B", SheetLimits::Large());
  Sheet& s = book.AddSheet("S");
  for (uint32_t r = 0; r < 100000; ++r)
    for (uint32_t c = 0; c < 10; ++c) s.SetNumber(r, c, r * 10.0 + c);
  EXPECT_EQ(s.CellCount(), 1000000u);
  EXPECT_LT(s.CellMemoryUsed(), 1000000u * 48);
  EXPECT_EQ(s.GetValue(54321, 7), Value::Number(543217));
}

TEST(SheetLayout, MergesOutlinesAndRowInfo) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  s.Merge({{0, 0}, {0, 3}});
  EXPECT_THROW(s.Merge({{0, 3}, {1, 4}}), ModelError);
  EXPECT_THROW(s.Merge(RangeAddress::Cell(5, 5)), ModelError);
  s.Merge({{1, 0}, {2, 0}});
  EXPECT_EQ(s.MergedAreaAt({0, 2}), (RangeAddress{{0, 0}, {0, 3}}));
  EXPECT_FALSE(s.MergedAreaAt({3, 0}));
  EXPECT_EQ(s.Unmerge({{0, 0}, {5, 0}}), 2u);
  EXPECT_TRUE(s.merged().empty());

  s.SetRowOutlineLevel(4, 2);
  s.SetColumnOutlineLevel(1, 7);
  EXPECT_THROW(s.SetRowOutlineLevel(4, 8), ModelError);
  EXPECT_EQ(s.GetRow(4).outline_level, 2);
  EXPECT_EQ(s.GetColumn(1).outline_level, 7);
  s.SetRowOutlineLevel(4, 0);
  EXPECT_TRUE(s.rows().empty());
}

TEST(SheetDrawings, ChartsAndTextBoxesGetIdsAndNames) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  Chart c;
  c.type = ChartType::Scatter;
  ChartSeries series;
  series.name = "S1";
  series.x_values = "S!$A$2:$A$9";
  series.y_values = "S!$B$2:$B$9";
  c.series.push_back(series);
  auto& chart = s.AddChart(c, {{1, 1}, 0, 0, {10, 6}, 5, 5});
  auto& box = s.AddTextBox("Too many points", chart.anchor);
  EXPECT_EQ(chart.name, "Chart 1");
  EXPECT_EQ(box.name, "Text Box 2");
  EXPECT_EQ(s.FindDrawing("chart 1")->chart->series[0].y_values, "S!$B$2:$B$9");

  Sheet& cs = book.AddSheet("Chart1", SheetKind::Chart);
  EXPECT_THROW(cs.SetNumber(0, 0, 1), ModelError);
  EXPECT_THROW(cs.AddChart(c, {}), ModelError);
  cs.chart().title = "Fit";
  EXPECT_EQ(cs.chart_if_any()->title, "Fit");
  EXPECT_THROW(s.chart(), ModelError);
}

// ---- array formulas -------------------------------------------------------------------------------

TEST(SheetArrayFormulas, FirstCellHoldsTheTextOtherCellsTheirCachedValues) {
  Workbook book;
  Sheet& s = book.AddSheet("Data");
  s.SetText(2, 2, "old");                      // C3: inside the range, loses its content
  s.SetFormula(1, 3, "A1", Value::Number(1));  // D2: ordinary formula inside, goes too
  s.SetNumber(1, 2, 5);
  s.SetFormat(1, 2, 3);                      // C2: keeps its format
  s.SetNumber(3, 1, 9);                      // B4: outside, untouched
  const RangeAddress range{{0, 1}, {2, 3}};  // B1:D3
  s.SetArrayFormula(range, "=A1:A3*{1,2,3}", Value::Number(10));
  EXPECT_EQ(s.Get(0, 1).formula, "A1:A3*{1,2,3}");
  EXPECT_EQ(s.GetValue(0, 1), Value::Number(10));
  EXPECT_EQ(s.Get(2, 2).type, ValueType::Empty);
  EXPECT_FALSE(s.Get(1, 3).HasFormula());
  EXPECT_EQ(s.Get(1, 3).type, ValueType::Empty);
  EXPECT_EQ(s.Get(1, 2).type, ValueType::Empty);
  EXPECT_EQ(s.Get(1, 2).format, 3u);
  EXPECT_EQ(s.GetValue(3, 1), Value::Number(9));
  EXPECT_EQ(s.CellCount(), 3u);  // B1, C2 (format), B4

  // Cached values of the other cells are set as values; the array stays.
  s.SetNumber(0, 2, 20);
  s.SetText(2, 3, "x");
  s.SetCachedValue(0, 1, Value::Number(11));
  ASSERT_EQ(s.array_formulas().size(), 1u);
  EXPECT_EQ(s.array_formulas().begin()->second, range);
  EXPECT_EQ(s.GetValue(0, 2), Value::Number(20));
  EXPECT_FALSE(s.Get(0, 2).HasFormula());
  for (uint32_t r = 0; r < 5; ++r)
    for (uint32_t c = 0; c < 5; ++c) {
      auto expected = range.Contains({r, c}) ? std::optional<RangeAddress>(range) : std::nullopt;
      EXPECT_EQ(s.ArrayFormulaAt({r, c}), expected) << CellName({r, c});
    }
}

TEST(SheetArrayFormulas, RefusesOverlapsAndFormulasOfTheirOwnInside) {
  Workbook book;
  Sheet& s = book.AddSheet("Data");
  s.SetArrayFormula({{1, 1}, {3, 2}}, "A1:B3");                        // B2:C4
  EXPECT_THROW(s.SetArrayFormula({{3, 2}, {4, 4}}, "X"), ModelError);  // shares C4
  EXPECT_THROW(s.SetArrayFormula({{0, 0}, {1, 1}}, "X"), ModelError);  // shares B2
  EXPECT_THROW(s.SetFormula(2, 2, "1+1"), ModelError);
  EXPECT_THROW(s.SetArrayFormula({{0, 0}, {0, 0}}, ""), ModelError);
  EXPECT_THROW(s.SetArrayFormula({{2, 2}, {1, 1}}, "X"), ModelError);
  EXPECT_THROW(s.SetArrayFormula({{0, 0}, {0, s.limits().cols}}, "X"), ModelError);
  EXPECT_EQ(s.array_formulas().size(), 1u);
  // Entering a new one at the same first cell replaces it, here with a smaller range.
  s.SetArrayFormula({{1, 1}, {1, 1}}, "SUM(A1:A3*B1:B3)");
  ASSERT_EQ(s.array_formulas().size(), 1u);
  EXPECT_EQ(*s.ArrayFormulaAt({1, 1}), (RangeAddress{{1, 1}, {1, 1}}));
  EXPECT_FALSE(s.ArrayFormulaAt({2, 2}));
  s.SetFormula(2, 2, "1+1");  // no longer inside
  EXPECT_EQ(s.Get(2, 2).formula, "1+1");
}

TEST(SheetArrayFormulas, EndWhenTheirFirstCellChangesOrIsCleared) {
  Workbook book;
  Sheet& s = book.AddSheet("Data");
  const RangeAddress a{{0, 0}, {1, 1}};
  auto fresh = [&] {
    s.SetArrayFormula(a, "B5:C6");
    s.SetNumber(1, 1, 4);
  };

  fresh();
  s.SetNumber(0, 0, 1);
  EXPECT_TRUE(s.array_formulas().empty());
  EXPECT_FALSE(s.Get(0, 0).HasFormula());

  fresh();
  s.SetFormula(0, 0, "B5");
  EXPECT_TRUE(s.array_formulas().empty());
  EXPECT_EQ(s.Get(0, 0).formula, "B5");

  fresh();
  s.SetText(0, 0, "t");
  EXPECT_TRUE(s.array_formulas().empty());

  fresh();
  s.ClearContents(0, 0);
  EXPECT_TRUE(s.array_formulas().empty());

  fresh();
  s.ClearCell(0, 0);
  EXPECT_TRUE(s.array_formulas().empty());

  fresh();
  s.ClearRange({{1, 0}, {5, 5}});  // other cells only: the array stays, its cached value goes
  EXPECT_EQ(s.array_formulas().size(), 1u);
  EXPECT_EQ(s.Get(1, 1).type, ValueType::Empty);
  s.ClearRange({{0, 0}, {0, 0}});
  EXPECT_TRUE(s.array_formulas().empty());

  fresh();
  s.SetValue(0, 0, Value::Empty());
  EXPECT_TRUE(s.array_formulas().empty());
}

TEST(SheetArrayFormulas, LookupAgreesWithAPlainSearchAmongManyShapes) {
  // Tall, wide and single-cell arrays packed next to each other; every cell of the area is asked.
  Workbook book;
  Sheet& s = book.AddSheet("Data");
  std::vector<RangeAddress> placed;
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % 7;
  };
  for (uint32_t r = 0; r < 60; ++r)
    for (uint32_t c = 0; c < 30; ++c) {
      RangeAddress want{{r, c}, {r + next() % 5, c + next() % 4}};
      if (next() == 0) want.last.row = r + 20;  // some tall ones
      bool free = true;
      for (const auto& p : placed) free = free && !p.Intersects(want);
      if (!free || next() < 3) continue;
      s.SetArrayFormula(want, "1");
      placed.push_back(want);
    }
  ASSERT_GT(placed.size(), 50u);
  EXPECT_EQ(s.array_formulas().size(), placed.size());
  for (uint32_t r = 0; r < 90; ++r)
    for (uint32_t c = 0; c < 40; ++c) {
      std::optional<RangeAddress> expected;
      for (const auto& p : placed)
        if (p.Contains({r, c})) expected = p;
      EXPECT_EQ(s.ArrayFormulaAt({r, c}), expected) << CellName({r, c});
    }
}

TEST(SheetColumns, SettingsAreSpansThatSplitAndJoin) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  ColumnInfo wide, wider;
  wide.width = 5;
  wider.width = 7;
  s.SetColumns(0, 255, wide);
  s.SetColumns(3, 4, wider);
  ASSERT_EQ(s.columns().size(), 3u);
  EXPECT_EQ(s.GetColumn(2).width, 5);
  EXPECT_EQ(s.GetColumn(3).width, 7);
  EXPECT_EQ(s.GetColumn(5).width, 5);
  EXPECT_EQ(s.columns().at(5).last, 255u);
  s.SetColumn(4, wide);  // the gap closes from the right
  s.SetColumn(3, wide);
  ASSERT_EQ(s.columns().size(), 1u);
  EXPECT_EQ(s.columns().at(0).last, 255u);
  s.SetColumns(100, 199, ColumnInfo{});  // a default removes the settings
  EXPECT_EQ(s.columns().size(), 2u);
  EXPECT_EQ(s.GetColumn(150), ColumnInfo{});
  EXPECT_EQ(s.GetColumn(200).width, 5);
  EXPECT_THROW(s.SetColumns(5, 256, wide), ModelError);
}

TEST(SheetMerges, ManyAreasAreCheckedAgainstEachOtherAndTheSheet) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  s.Merge(RangeAddress({10, 0}, {12, 1}));
  std::vector<RangeAddress> areas;
  for (uint32_t r = 0; r < 10; ++r) areas.push_back(RangeAddress({r, 0}, {r, 1}));
  s.MergeAll(areas);
  EXPECT_EQ(s.merged().size(), 11u);
  // One reaching into an area already there, or two new ones crossing: none is added.
  EXPECT_THROW(s.MergeAll({RangeAddress({20, 5}, {21, 6}), RangeAddress({12, 1}, {13, 2})}), ModelError);
  EXPECT_THROW(s.MergeAll({RangeAddress({30, 0}, {40, 0}), RangeAddress({35, 0}, {35, 3})}), ModelError);
  EXPECT_EQ(s.merged().size(), 11u);
}
