// The host's cell, name and formatting functions the dataset model calls, through MdCallBack.
#include "sheets/numfmt/number_format.h"
#include "sheets/xlm/values.h"
#include "tests/dataset/dataset_harness.h"

namespace dstest {
namespace {

using xlm::HostValue;

// One argument value made with the host's makers.
struct Arg {
  XLOPER v{};
  Arg() { xlm::SetMissing(&v); }
  explicit Arg(double n) { xlm::SetNumber(&v, n); }
  explicit Arg(const char* s) { xlm::SetText(&v, s); }
  explicit Arg(bool b) { xlm::SetBool(&v, b); }
  ~Arg() { xlm::FreeValue(&v); }
  Arg(const Arg&) = delete;
};

class HostFunctions : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    NewBook();
  }
  int Call(int fn, HostValue& result, std::vector<const XLOPER*> args) {
    xlm::FreeValue(&result.v);
    return MdCallBack(fn | XLBIT_INTL, static_cast<int>(args.size()), const_cast<XLOPER**>(args.data()), &result.v);
  }
  void Ref(HostValue& out, const char* text) {
    Arg t(text), a1(true);
    ASSERT_EQ(Call(XLF_TEXTREF, out, {&t.v, &a1.v}), XLRET_SUCCESS);
  }
  const sheets::CellFormat& Format(uint32_t r, uint32_t c) {
    return Sheet().workbook()->formats().Get(Sheet().Get(r, c).format);
  }
};

constexpr int kNames = 122, kDefineName = 61 | XLBIT_COMMAND, kDeleteName = 110 | XLBIT_COMMAND;
constexpr int kAlignment = 43 | XLBIT_COMMAND, kBorder = 45 | XLBIT_COMMAND, kFont = 150 | XLBIT_COMMAND;

TEST_F(HostFunctions, SheetNamesWithWildcardsArraysAndDeletion) {
  HostValue r, ref, arr;
  Ref(ref, "A1:B1");
  Arg local(true), name1("__sm_DR_1a"), name2("__sm_DV_1a"), other("Other"), m;
  ASSERT_EQ(Call(kDefineName, r, {&name1.v, &ref.v, &m.v, &m.v, &m.v, &m.v, &local.v}), XLRET_SUCCESS);
  ASSERT_EQ(Call(kDefineName, r, {&other.v, &ref.v}), XLRET_SUCCESS);  // a workbook name
  // A one-column array constant with a NaN, which a workbook keeps as #NUM!.
  std::vector<XLOPER> cells(3);
  xlm::SetNumber(&cells[0], 1);
  xlm::SetText(&cells[1], "Trial \"A\"");
  xlm::SetNumber(&cells[2], std::numeric_limits<double>::quiet_NaN());
  xlm::SetArray(&arr.v, 3, 1, cells);
  ASSERT_EQ(Call(kDefineName, r, {&name2.v, &arr.v, &m.v, &m.v, &m.v, &m.v, &local.v}), XLRET_SUCCESS);
  EXPECT_NE(Sheet().names().Find("__sm_DV_1a"), nullptr);
  EXPECT_EQ(Sheet().names().Find("Other"), nullptr);

  Arg sheet("[Book1]Sheet1"), all(3.0), pattern("__sm_?R*");
  ASSERT_EQ(Call(kNames, r, {&sheet.v, &all.v, &pattern.v}), XLRET_SUCCESS);
  ASSERT_EQ(xlm::TypeOf(&r.v), XLTYPE_MULTI);
  xlm::Table t = xlm::TableOf(&r.v);
  ASSERT_EQ(t.columns, 1);
  EXPECT_EQ(xlm::Display(t.At(0, 0)), "__sm_DR_1a");
  Arg none("__sm_VR*");
  Call(kNames, r, {&sheet.v, &all.v, &none.v});
  EXPECT_EQ(xlm::TypeOf(&r.v), XLTYPE_ERR);

  Arg qualified("[Book1]Sheet1!__sm_DV_1a");
  ASSERT_EQ(Call(XLF_EVALUATE, r, {&qualified.v}), XLRET_SUCCESS);
  ASSERT_EQ(xlm::TypeOf(&r.v), XLTYPE_MULTI);
  xlm::Table back = xlm::TableOf(&r.v);
  ASSERT_EQ(back.rows, 3);
  EXPECT_EQ(xlm::Display(back.At(1, 0)), "Trial \"A\"");
  EXPECT_EQ(xlm::TypeOf(back.At(2, 0)), XLTYPE_ERR);
  Arg refName("[Book1]Sheet1!__sm_DR_1a");
  ASSERT_EQ(Call(XLF_EVALUATE, r, {&refName.v}), XLRET_SUCCESS);
  ASSERT_EQ(xlm::TypeOf(&r.v), XLTYPE_REF);

  ASSERT_EQ(Call(kDeleteName, r, {&qualified.v}), XLRET_SUCCESS);
  EXPECT_EQ(Sheet().names().Find("__sm_DV_1a"), nullptr);
  EXPECT_NE(Call(kDeleteName, r, {&qualified.v}), XLRET_SUCCESS);  // gone already
}

TEST_F(HostFunctions, CellPropertiesAndTheCurrentRegion) {
  sheets::Sheet& sh = Sheet();
  sheets::CellFormat f;
  f.horizontal = sheets::HorizontalAlignment::Center;
  f.borders.bottom = {sheets::BorderStyle::Medium, sheets::Color::Indexed(10)};
  f.font.bold = true;
  f.font.name = "Verdana";
  f.fill.pattern = sheets::FillPattern::Solid;
  f.fill.foreground = sheets::Color::Indexed(22);
  sh.SetText(1, 1, "Head");
  sh.SetFormat(1, 1, sh.workbook()->formats().Intern(f));
  sh.SetNumber(2, 2, 1);
  sh.SetFormula(3, 3, "1+1");  // no value kept: still part of the region
  sh.SetRowOutlineLevel(2, 2);
  sh.Merge({{5, 0}, {5, 1}});
  HostValue r, cell;
  Ref(cell, "B2");
  auto get = [&](double type) {
    Arg t(type);
    EXPECT_EQ(Call(XLF_GET_CELL, r, {&t.v, &cell.v}), XLRET_SUCCESS);
    return xlm::Display(&r.v);
  };
  EXPECT_EQ(get(8), "3");
  EXPECT_EQ(get(12), "2");
  EXPECT_EQ(get(37), "10");
  EXPECT_EQ(get(18), "Verdana");
  EXPECT_EQ(get(20), "TRUE");
  EXPECT_EQ(get(21), "FALSE");
  EXPECT_EQ(get(13), "1");
  EXPECT_EQ(get(63), "22");
  EXPECT_EQ(get(100), "FALSE");
  Ref(cell, "C3");
  EXPECT_EQ(get(28), "2");
  Ref(cell, "B6");
  EXPECT_EQ(get(100), "TRUE");

  Select("C3");
  Arg five(5.0);
  ASSERT_EQ(Call(XLC_SELECT_SPECIAL, r, {&five.v}), XLRET_SUCCESS);
  ASSERT_EQ(sh.view().selection.size(), 1u);
  EXPECT_EQ(sh.view().selection[0], (sheets::RangeAddress{{1, 1}, {3, 3}}));
  EXPECT_EQ(sh.view().active_cell, (sheets::CellAddress{2, 2}));
}

TEST_F(HostFunctions, TextUsesNumberFormats) {
  HostValue r;
  auto text = [&](double n, const char* format) {
    Arg v(n), f(format);
    EXPECT_EQ(Call(XLF_TEXT, r, {&v.v, &f.v}), XLRET_SUCCESS);
    return xlm::Display(&r.v);
  };
  EXPECT_EQ(text(1234.5, "#,##0.00"), "1,234.50");
  EXPECT_EQ(text(0.125, "0.0%"), "12.5%");
  EXPECT_EQ(text(0.5, "# ?/?"), "1/2");
  EXPECT_EQ(text(36526, "yyyy-mm-dd"), "2000-01-01");
  EXPECT_EQ(text(-3, "0;(0)"), "(3)");
  EXPECT_EQ(text(2, "0 \"kg\""), "2 kg");
}

TEST_F(HostFunctions, FormattingCommandsChangeTheSelection) {
  sheets::Sheet& sh = Sheet();
  sh.SetText(0, 0, "Wide");
  Select("A1:C1");
  HostValue r;
  Arg centreAcross(7.0), m, yes(true), arial("Arial"), ten(10.0), thin(1.0), none(0.0);
  ASSERT_EQ(Call(kAlignment, r, {&centreAcross.v, &m.v, &m.v, &m.v, &m.v, &m.v, &yes.v}), XLRET_SUCCESS);
  EXPECT_EQ(Format(0, 2).horizontal, sheets::HorizontalAlignment::CenterAcrossSelection);
  ASSERT_TRUE(sh.MergedAreaAt({0, 1}));
  EXPECT_EQ(*sh.MergedAreaAt({0, 1}), (sheets::RangeAddress{{0, 0}, {0, 2}}));
  Select("A2:B4");
  ASSERT_EQ(Call(kBorder, r, {&thin.v}), XLRET_SUCCESS);
  EXPECT_EQ(Format(1, 0).borders.top.style, sheets::BorderStyle::Thin);
  EXPECT_EQ(Format(1, 0).borders.left.style, sheets::BorderStyle::Thin);
  EXPECT_EQ(Format(2, 0).borders.top.style, sheets::BorderStyle::None);  // inside: no line
  EXPECT_EQ(Format(3, 1).borders.bottom.style, sheets::BorderStyle::Thin);
  EXPECT_EQ(Format(3, 1).borders.right.style, sheets::BorderStyle::Thin);
  ASSERT_EQ(Call(kFont, r, {&arial.v, &ten.v, &yes.v}), XLRET_SUCCESS);
  EXPECT_TRUE(Format(2, 1).font.bold);
  Arg solid(1.0), colour(6.0);
  ASSERT_EQ(Call(XLC_PATTERNS, r, {&solid.v, &colour.v}), XLRET_SUCCESS);
  EXPECT_EQ(Format(2, 1).fill.pattern, sheets::FillPattern::Solid);
  ASSERT_EQ(Call(XLC_PATTERNS, r, {&none.v}), XLRET_SUCCESS);
  EXPECT_EQ(Format(2, 1).fill.pattern, sheets::FillPattern::None);
  EXPECT_TRUE(Format(2, 1).font.bold);  // the other attributes stay
}

TEST_F(HostFunctions, AutoFormatMergesWideHeaderRunsAndBordersTheBody) {
  Open("list_repeat_measures.xlsx");
  Select("B4");
  auto s = qs::FindDataset(qs::ActiveCell(), qs::kLayoutDetect, -1, -1, true, true);
  ASSERT_TRUE(s);
  Sheet().Unmerge({{0, 1}, {0, 3}});
  qs::DatasetProperties p = qs::CurrentProperties(*s);
  EXPECT_TRUE(p.repeatMeasures);
  p.autoFormat = true;
  qs::ConfirmDataset(*s, p);
  ASSERT_TRUE(Sheet().MergedAreaAt({0, 2}));
  EXPECT_EQ(*Sheet().MergedAreaAt({0, 2}), (sheets::RangeAddress{{0, 1}, {0, 3}}));
  EXPECT_EQ(Format(0, 1).horizontal, sheets::HorizontalAlignment::CenterAcrossSelection);
  EXPECT_EQ(Format(1, 2).horizontal, sheets::HorizontalAlignment::Center);
  EXPECT_EQ(Format(9, 3).borders.bottom.style, sheets::BorderStyle::Thin);
  EXPECT_EQ(Format(2, 0).borders.top.style, sheets::BorderStyle::Thin);
  EXPECT_EQ(Format(5, 2).font.name, "Arial");
  // The selection the user had is back.
  EXPECT_EQ(Sheet().view().active_cell, (sheets::CellAddress{3, 1}));
  // The repeat measure is found again, from the stored names, as the same group.
  auto again = qs::FindDataset(qs::ActiveCell(), qs::kLayoutDetect, -1, -1, true, true);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->dataset->isNew);
  ASSERT_EQ(again->groups.size(), 1u);
  EXPECT_EQ(again->groups[0]->repeats.size(), 3u);
  // Finding the variable at a cell: a header cell or a data cell of its column.
  qs::CellRange c3 = qs::ActiveCell();
  c3.firstCol = c3.lastCol = 2;
  c3.firstRow = c3.lastRow = 1;
  ASSERT_NE(again->FindVariableAt(c3), nullptr);
  EXPECT_EQ(again->FindVariableAt(c3)->name, "Day 2");
  c3.firstRow = c3.lastRow = 30;
  EXPECT_EQ(again->FindVariableAt(c3), nullptr);
}

}  // namespace
}  // namespace dstest
