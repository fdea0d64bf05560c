#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/msgbox.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"
#include "sheets/xlm/values.h"

using namespace xlm;

namespace {

struct Arg {
  XLOPER v{};
  Arg() { SetMissing(&v); }
  explicit Arg(double d) { SetNumber(&v, d); }
  explicit Arg(const char* s) { SetText(&v, s); }
  explicit Arg(bool b) { SetBool(&v, b); }
  ~Arg() { FreeValue(&v); }
  Arg(const Arg&) = delete;
};

template <typename... V>
int Do(int fn, HostValue& result, const V&... args) {
  XLOPER* a[] = {const_cast<XLOPER*>(&args.v)..., nullptr};
  FreeValue(&result.v);
  return MdCallBack(fn | XLBIT_INTL, static_cast<int>(sizeof...(args)), a, &result.v);
}

class WorkbookFunctions : public ::testing::Test {
 protected:
  std::filesystem::path home;
  ModelDocuments* docs = nullptr;
  void SetUp() override {
    char tmpl[] = "/tmp/qsdoc.XXXXXX";
    home = ::mkdtemp(tmpl);
    ::setenv("QUELSTAT_HOME", home.c_str(), 1);
    Host::Reset(HostOptions{});
    InstallModelDocuments();
    docs = static_cast<ModelDocuments*>(Host::Get().documents);
    std::string error;
    ASSERT_TRUE(docs->New(error)) << error;
  }
  void TearDown() override {
    Host::Shutdown();
    std::filesystem::remove_all(home);
  }
};

}  // namespace

TEST_F(WorkbookFunctions, SelectionReferencesAndTheirTextRoundTrip) {
  std::string error;
  ASSERT_TRUE(docs->Select("B2:C4", error)) << error;
  HostValue sel, text, back, name;
  ASSERT_EQ(Do(XLF_SELECTION, sel), XLRET_SUCCESS);
  ASSERT_EQ(TypeOf(&sel.v), XLTYPE_REF);
  Arg a1(true);
  Do(XLF_REFTEXT, text, Arg(), a1);  // a missing reference is refused
  EXPECT_EQ(TypeOf(&text.v), XLTYPE_ERR);
  XLOPER* args[] = {&sel.v, &a1.v};
  FreeValue(&text.v);
  MdCallBack(XLF_REFTEXT, 2, args, &text.v);
  EXPECT_EQ(Display(&text.v), "[Book1]Sheet1!$B$2:$C$4");
  XLOPER* r1c1[] = {&sel.v};
  HostValue rc;
  MdCallBack(XLF_REFTEXT, 1, r1c1, &rc.v);
  EXPECT_EQ(Display(&rc.v), "[Book1]Sheet1!R2C2:R4C3");
  // TEXTREF reads it back to the same sheet and area.
  Arg ref("[Book1]Sheet1!R2C2:R4C3");
  Do(XLF_TEXTREF, back, ref);
  ASSERT_EQ(TypeOf(&back.v), XLTYPE_REF);
  EXPECT_EQ(back.v.val.mref.idSheet, sel.v.val.mref.idSheet);
  EXPECT_EQ(back.v.val.mref.lpmref->reftbl[0].rwLast, 3);
  EXPECT_EQ(back.v.val.mref.lpmref->reftbl[0].colLast, 2);
  XLOPER* nm[] = {&back.v};
  MdCallBack(xlSheetNm, 1, nm, &name.v);
  EXPECT_EQ(Display(&name.v), "[Book1]Sheet1");
  Arg nowhere("[Nope.xlsx]Sheet1!R1C1");
  Do(XLF_TEXTREF, back, nowhere);
  EXPECT_EQ(TypeOf(&back.v), XLTYPE_ERR);
}

TEST_F(WorkbookFunctions, ValuesAreWrittenAndReadThroughReferences) {
  Arg ref("[Book1]Sheet1!R1C1:R2C2"), a1(false);
  HostValue target, done, values, scalar, count;
  Do(XLF_TEXTREF, target, ref, a1);
  ASSERT_EQ(TypeOf(&target.v), XLTYPE_REF);
  std::vector<XLOPER> cells(4);
  SetNumber(&cells[0], 1.5);
  SetText(&cells[1], "Glucose \xC2\xB5mol/L");
  SetBool(&cells[2], true);
  SetNil(&cells[3]);
  HostValue array;
  SetArray(&array.v, 2, 2, cells);
  XLOPER* set[] = {&target.v, &array.v};
  ASSERT_EQ(MdCallBack(xlSet, 2, set, &done.v), XLRET_SUCCESS);
  XLOPER* get[] = {&target.v};
  ASSERT_EQ(MdCallBack(xlCoerce, 1, get, &values.v), XLRET_SUCCESS);
  ASSERT_EQ(TypeOf(&values.v), XLTYPE_MULTI);
  EXPECT_EQ(values.v.val.array.lparray[0].val.num, 1.5);
  EXPECT_EQ(Display(&values.v.val.array.lparray[1]), "Glucose \xC2\xB5mol/L");
  EXPECT_EQ(TypeOf(&values.v.val.array.lparray[3]), XLTYPE_NIL);
  XLOPER* counts[] = {&target.v};
  MdCallBack(XLF_COUNT, 1, counts, &count.v);
  EXPECT_EQ(count.v.val.num, 1);
  MdCallBack(XLF_COUNTA, 1, counts, &count.v);
  EXPECT_EQ(count.v.val.num, 3);
  // One cell holding a number as text converts to the number; an empty one to 0.
  HostValue one, text;
  Arg cellRef("R3C1"), a1False(false), num(static_cast<double>(XLTYPE_NUM));
  Do(XLF_TEXTREF, one, cellRef, a1False);
  SetText(&text.v, "12.25");
  XLOPER* put[] = {&one.v, &text.v};
  MdCallBack(xlSet, 2, put, &done.v);
  XLOPER* coerce[] = {&one.v, &num.v};
  ASSERT_EQ(MdCallBack(xlCoerce, 2, coerce, &scalar.v), XLRET_SUCCESS);
  EXPECT_EQ(scalar.v.val.num, 12.25);
  Arg emptyRef("R9C9");
  Do(XLF_TEXTREF, one, emptyRef, a1False);
  XLOPER* coerceEmpty[] = {&one.v, &num.v};
  FreeValue(&scalar.v);
  ASSERT_EQ(MdCallBack(xlCoerce, 2, coerceEmpty, &scalar.v), XLRET_SUCCESS);
  EXPECT_EQ(Display(&scalar.v), "0");
}

TEST_F(WorkbookFunctions, SheetsChangeAndHooksFollowTheActiveSheet) {
  // The test add-in hooks the activation of every sheet.
  std::string error;
  ASSERT_NE(Host::Get().LoadAddIn(TEST_ADDIN, error), nullptr) << error;
  auto hooksRun = [] {
    HostValue v;
    std::string e;
    Host::Get().Evaluate("TEST.STATE(2)", &v.v, e);
    return Display(&v.v);
  };
  HostValue r;
  Do(XLC_WORKBOOK_INSERT, r, Arg(1.0));
  EXPECT_EQ(hooksRun(), "1");
  EXPECT_EQ(docs->ActiveSheetKey(), "[Book1]Sheet2");
  Arg oldName("Sheet2"), newName("Data");
  ASSERT_EQ(Do(XLC_WORKBOOK_NAME, r, oldName, newName), XLRET_SUCCESS);
  Arg one(1.0);
  Do(XLF_GET_WORKBOOK, r, one);
  ASSERT_EQ(TypeOf(&r.v), XLTYPE_MULTI);
  EXPECT_EQ(Display(&r.v.val.array.lparray[0]), "[Book1]Data");
  EXPECT_EQ(Display(&r.v.val.array.lparray[1]), "[Book1]Sheet1");
  Arg three(3.0);
  Do(XLF_GET_DOCUMENT, r, three);
  EXPECT_EQ(Display(&r.v), "1");
  // PAGE.SETUP's twelfth argument is the paper size GET.DOCUMENT(77) gives back.
  {
    std::vector<Arg> setup(12);
    SetNumber(&setup[11].v, 9);
    XLOPER* a[12];
    for (int i = 0; i < 12; ++i) a[i] = &setup[static_cast<std::size_t>(i)].v;
    ASSERT_EQ(MdCallBack(XLC_PAGE_SETUP, 12, a, &r.v), XLRET_SUCCESS);
    Arg paper(77.0);
    Do(XLF_GET_DOCUMENT, r, paper);
    EXPECT_EQ(Display(&r.v), "9");
  }

  EXPECT_EQ(hooksRun(), "1");  // renaming is no activation
  // A second workbook; moving a sheet there makes it active in its new place.
  ASSERT_TRUE(docs->New(error));
  EXPECT_EQ(hooksRun(), "2");
  Arg sheet("[Book1]Data"), book("Book2"), position(1.0);
  ASSERT_EQ(Do(XLC_WORKBOOK_MOVE, r, sheet, book, position), XLRET_SUCCESS);
  EXPECT_EQ(docs->ActiveSheetKey(), "[Book2]Data");
  Arg last("[Book1]Sheet1");
  EXPECT_NE(Do(XLC_WORKBOOK_DELETE, r, last), XLRET_SUCCESS);  // a workbook keeps one sheet

  // Closing the active workbook activates the one before it.
  ASSERT_EQ(Do(XLC_CLOSE, r, Arg(false)), XLRET_SUCCESS);
  EXPECT_EQ(docs->ActiveSheetKey(), "[Book1]Sheet1");
  EXPECT_EQ(hooksRun(), "4");  // the moved sheet, then the sheet shown after closing
  // Book1 changed and was never saved: closing asks; "Yes" cannot save it without a name, so it
  // stays open; "No" drops the changes.
  std::vector<int> answers = {platform::IDYES, platform::IDNO};
  int asked = 0;
  auto old = platform::SetMessageBoxHandler([&](const std::string&, const std::string&, unsigned, unsigned) {
    return answers[static_cast<std::size_t>(asked++)];
  });
  EXPECT_FALSE(docs->Close(error));
  EXPECT_NE(error.find("never been saved"), std::string::npos) << error;
  EXPECT_EQ(docs->ActiveSheetKey(), "[Book1]Sheet1");
  ASSERT_TRUE(docs->Close(error)) << error;
  platform::SetMessageBoxHandler(old);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(docs->ActiveSheetKey(), "");
  Do(XLF_SELECTION, r);
  EXPECT_EQ(Display(&r.v), "#REF!");
}

TEST_F(WorkbookFunctions, NamesAndEvaluation) {
  std::string error;
  ASSERT_TRUE(docs->Select("A1:A3", error));
  HostValue sel, r;
  Do(XLF_SELECTION, sel);
  Arg name("Sheet1!__report");
  XLOPER* def[] = {&name.v, &sel.v};
  ASSERT_EQ(MdCallBack(XLF_SET_NAME, 2, def, &r.v), XLRET_SUCCESS);
  Do(XLF_GET_NAME, r, name);
  EXPECT_EQ(Display(&r.v), "=Sheet1!$A$1:$A$3");
  Arg constantName("Level"), level(95.0);
  Do(XLF_SET_NAME, r, constantName, level);
  Arg eval("Level");
  Do(XLF_EVALUATE, r, eval);
  EXPECT_EQ(Display(&r.v), "95");
  Arg evalRef("Sheet1!B2");
  Do(XLF_EVALUATE, r, evalRef);
  EXPECT_EQ(TypeOf(&r.v), XLTYPE_REF);
  Arg unknown("NoSuchName");
  Do(XLF_EVALUATE, r, unknown);
  EXPECT_EQ(Display(&r.v), "#NAME?");
  ASSERT_EQ(Do(XLF_SET_NAME, r, name), XLRET_SUCCESS);  // one argument deletes
  Do(XLF_GET_NAME, r, name);
  EXPECT_EQ(TypeOf(&r.v), XLTYPE_ERR);
  Arg n(1234.5), fmt("#,##0.00"), pct("0.0%");
  Do(XLF_TEXT, r, n, fmt);
  EXPECT_EQ(Display(&r.v), "1,234.50");
  Arg q(0.125);
  Do(XLF_TEXT, r, q, pct);
  EXPECT_EQ(Display(&r.v), "12.5%");
}

TEST_F(WorkbookFunctions, InsertAndDeleteShiftCellsBelowAndBeside) {
  sheets::Sheet& s = *docs->ActiveSheet();
  for (uint32_t r = 0; r < 5; ++r) s.SetNumber(r, 0, r + 1);  // A1:A5 = 1..5
  s.SetText(1, 1, "beside");                                  // B2 stays where it is
  std::string error;
  ASSERT_TRUE(docs->Select("A2:A3", error));
  HostValue r;
  Arg down(2.0);
  ASSERT_EQ(Do(XLC_INSERT, r, down), XLRET_SUCCESS);
  EXPECT_TRUE(s.GetValue(1, 0).IsEmpty());
  EXPECT_EQ(s.GetValue(3, 0).number, 2);  // 2 moved from A2 to A4
  EXPECT_EQ(s.GetValue(6, 0).number, 5);
  EXPECT_EQ(s.GetValue(1, 1).text, "beside");
  ASSERT_EQ(Do(XLC_EDIT_DELETE, r, down), XLRET_SUCCESS);  // and back up
  for (uint32_t row = 0; row < 5; ++row) EXPECT_EQ(s.GetValue(row, 0).number, row + 1);
  EXPECT_TRUE(s.GetValue(5, 0).IsEmpty());
  // The current region around a cell of the block.
  ASSERT_TRUE(docs->Select("A3", error));
  Arg region(5.0);
  ASSERT_EQ(Do(XLC_SELECT_SPECIAL, r, region), XLRET_SUCCESS);
  ASSERT_EQ(s.view().selection.size(), 1u);
  EXPECT_EQ(sheets::RangeName(s.view().selection[0]), "A1:B5");
}

TEST_F(WorkbookFunctions, TextBoxOverAChartAndTrendlinesOfItsSeries) {
  sheets::Sheet& s = *docs->ActiveSheet();
  sheets::Chart chart;
  chart.series.resize(2);
  sheets::ObjectAnchor anchor;
  anchor.from = {1, 1};
  anchor.from_x = 3;
  anchor.to = {10, 6};
  anchor.to_y = 4.5;
  sheets::DrawingObject& o = s.AddChart(chart, anchor);
  HostValue r;
  Arg one(1.0), id(static_cast<double>(o.id)), four(4.0), seven(7.0), nine(9.0);
  Do(XLF_GET_OBJECT, r, one, id);
  EXPECT_EQ(Display(&r.v), "5");
  Do(XLF_GET_OBJECT, r, four, id);
  EXPECT_EQ(Display(&r.v), "R2C2");
  Do(XLF_GET_OBJECT, r, seven, id);
  EXPECT_EQ(Display(&r.v), "R11C7");
  Do(XLF_GET_OBJECT, r, nine, id);
  EXPECT_EQ(Display(&r.v), "4.5");

  Arg six(6.0), from("R2C2"), x1(3.0), y1(0.0), to("R11C7"), x2(0.0), y2(4.5), text("Too many points");
  ASSERT_EQ(Do(XLF_CREATE_OBJECT, r, six, from, x1, y1, to, x2, y2, text), XLRET_SUCCESS);
  ASSERT_EQ(s.drawings().size(), 2u);
  EXPECT_EQ(s.drawings()[1]->text, "Too many points");
  EXPECT_EQ(s.drawings()[1]->anchor, anchor);

  // Select the chart, then its series 2, and give it a polynomial trendline of order 3.
  Arg chartName(o.name.c_str()), s2("S2"), s9("S9"), poly(3.0), order(3.0);
  ASSERT_EQ(Do(XLC_SELECT, r, chartName), XLRET_SUCCESS);
  EXPECT_NE(Do(XLC_SELECT, r, s9), XLRET_SUCCESS);  // no such series
  ASSERT_EQ(Do(XLC_SELECT, r, s2), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_CHART_TREND, r, poly, order), XLRET_SUCCESS);
  ASSERT_EQ(o.chart->series[1].trendlines.size(), 1u);
  EXPECT_EQ(o.chart->series[1].trendlines[0].type, sheets::TrendlineType::Polynomial);
  EXPECT_EQ(o.chart->series[1].trendlines[0].order, 3);
  Arg s2t1("S2T1"), badOrder(9.0);
  ASSERT_EQ(Do(XLC_SELECT, r, s2t1), XLRET_SUCCESS);
  EXPECT_NE(Do(XLC_CHART_TREND, r, poly, badOrder), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_CLEAR, r), XLRET_SUCCESS);  // deletes the selected trendline
  EXPECT_TRUE(o.chart->series[1].trendlines.empty());
  // Axis bounds: numbers set them, TRUE makes them automatic again, an empty range is refused.
  Arg axis("Axis 2"), lo(-1.0), hi(5.0), automatic(true);
  ASSERT_EQ(Do(XLC_SELECT, r, chartName), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_SELECT, r, axis), XLRET_SUCCESS);
  ASSERT_EQ(Do(87 | XLBIT_COMMAND, r, lo, hi), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->y_axis.scale.maximum, 5.0);
  ASSERT_EQ(Do(87 | XLBIT_COMMAND, r, automatic), XLRET_SUCCESS);
  EXPECT_FALSE(o.chart->y_axis.scale.minimum.has_value());
  Arg big(9.0);
  EXPECT_NE(Do(87 | XLBIT_COMMAND, r, big, hi), XLRET_SUCCESS);
  EXPECT_FALSE(o.chart->y_axis.scale.minimum.has_value());  // a refused change changes nothing
}

TEST_F(WorkbookFunctions, SeriesFormulasEditsTextsAndInsertedRowsOfAChart) {
  sheets::Sheet& s = *docs->ActiveSheet();
  sheets::Chart chart;
  chart.series.resize(2);
  chart.series[0].name = "Points";
  chart.series[0].x_values = "Sheet1!$K$5";
  chart.series[0].y_values = "Sheet1!$L$5";
  chart.series[1].y_values = "Sheet1!$M$5";
  chart.title = "Plot";
  sheets::ObjectAnchor anchor;
  anchor.from = {3, 0};
  anchor.to = {20, 6};
  sheets::DrawingObject& o = s.AddChart(chart, anchor);
  HostValue r;
  Arg chartName(o.name.c_str()), s1("S1"), s3("S3");
  ASSERT_EQ(Do(XLC_SELECT, r, chartName), XLRET_SUCCESS);
  // GET.FORMULA of a series names its references.
  ASSERT_EQ(Do(XLF_GET_FORMULA, r, s1), XLRET_SUCCESS);
  EXPECT_EQ(Display(&r.v), "=SERIES(\"Points\",Sheet1!$K$5,Sheet1!$L$5,1)");
  // EDIT.SERIES binds a series to other cells; a missing argument keeps what it has.
  Arg one(1.0), none, x("Sheet1!$K$5:$K$9"), y("'Sheet1'!$L$5:$L$9"), bad("no such cells!");
  ASSERT_EQ(Do(XLC_EDIT_SERIES, r, one, none, x, y), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->series[0].x_values, "Sheet1!$K$5:$K$9");
  EXPECT_EQ(o.chart->series[0].y_values, "'Sheet1'!$L$5:$L$9");
  EXPECT_NE(Do(XLC_EDIT_SERIES, r, one, none, bad), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->series[0].x_values, "Sheet1!$K$5:$K$9");
  // The chart's title and axis titles.
  Arg title("Title"), axis1("Text Axis 1"), text("Glucose"), newTitle("Box plot");
  ASSERT_EQ(Do(XLC_SELECT, r, axis1), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_CHART_TEXT, r, text), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->x_axis.title, "Glucose");
  ASSERT_EQ(Do(XLC_SELECT, r, title), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_CHART_TEXT, r, newTitle), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->title, "Box plot");
  // PATTERNS on a series: no line, circle markers.
  Arg no(false), zero(0.0), eight(8.0);
  ASSERT_EQ(Do(XLC_SELECT, r, s1), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_PATTERNS, r, no, zero, none, none, no, eight), XLRET_SUCCESS);
  EXPECT_FALSE(o.chart->series[0].line);
  EXPECT_EQ(o.chart->series[0].marker, sheets::MarkerStyle::Circle);
  // SCALE's fifth argument: where the other axis crosses this one.
  Arg axis2("Axis 2"), lo(-4.0), hi(4.0);
  ASSERT_EQ(Do(XLC_SELECT, r, axis2), XLRET_SUCCESS);
  ASSERT_EQ(Do(XLC_SCALE, r, lo, hi, none, none, lo), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->x_axis.scale.crosses_at, -4.0);
  // FORMAT.SIZE of the object: 3 default columns (64 px = 48 pt each) and 2 rows (15 pt) from its corner.
  ASSERT_EQ(Do(XLC_SELECT, r, chartName), XLRET_SUCCESS);
  Arg width(144.0 + 10), height(30.0 + 5);
  ASSERT_EQ(Do(XLC_FORMAT_SIZE, r, width, height), XLRET_SUCCESS);
  EXPECT_EQ(o.anchor.to.col, 3u);
  EXPECT_NEAR(o.anchor.to_x, 10, 1e-9);
  EXPECT_EQ(o.anchor.to.row, 5u);
  EXPECT_NEAR(o.anchor.to_y, 5, 1e-9);
  // Rows inserted above the chart's data move the series' cells and the object with them; rows
  // inserted inside a series' range grow it.
  std::string error;
  ASSERT_TRUE(docs->Select("A2:Z3", error));
  Arg down(2.0);
  ASSERT_EQ(Do(XLC_INSERT, r, down), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->series[0].x_values, "Sheet1!$K$7:$K$11");
  EXPECT_EQ(o.chart->series[1].y_values, "Sheet1!$M$7");
  EXPECT_EQ(o.anchor.from.row, 5u);
  ASSERT_TRUE(docs->Select("K8:L8", error));
  ASSERT_EQ(Do(XLC_INSERT, r, down), XLRET_SUCCESS);
  EXPECT_EQ(o.chart->series[0].x_values, "Sheet1!$K$7:$K$12");
  EXPECT_EQ(o.chart->series[1].y_values, "Sheet1!$M$7");  // outside the inserted columns
  // A series that does not exist has no formula.
  ASSERT_EQ(Do(XLC_SELECT, r, chartName), XLRET_SUCCESS);
  EXPECT_NE(Do(XLF_GET_FORMULA, r, s3), XLRET_SUCCESS);
}

TEST_F(WorkbookFunctions, CopiedSheetKeepsCellsFormatsAndNamesUnderANewName) {
  sheets::Sheet& s = *docs->ActiveSheet();
  s.SetNumber(0, 0, 7);
  sheets::CellFormat f;
  f.number_format = "0.000";
  s.SetFormat(0, 0, s.workbook()->formats().Intern(f));
  s.names().Define("__sm_x", "Sheet1!$A$1", s.limits(), true);
  HostValue r;
  Arg name("Sheet1");
  ASSERT_EQ(Do(XLC_WORKBOOK_COPY, r, name), XLRET_SUCCESS);
  sheets::Sheet* copy = docs->ActiveBook()->FindSheet("Sheet1 (2)");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(docs->ActiveSheet(), copy);
  EXPECT_EQ(copy->GetValue(0, 0).number, 7);
  EXPECT_EQ(copy->workbook()->formats().Get(copy->Get(0, 0).format).number_format, "0.000");
  EXPECT_NE(copy->names().Find("__sm_x"), nullptr);
  std::string error;
  ASSERT_TRUE(docs->Select("A1", error));
  Arg code("0.0%");
  ASSERT_EQ(Do(XLC_FORMAT_NUMBER, r, code), XLRET_SUCCESS);
  EXPECT_EQ(copy->workbook()->formats().Get(copy->Get(0, 0).format).number_format, "0.0%");
}

// Cells an add-in writes are calculated as cells a person types: the formulas that read them follow.
TEST_F(WorkbookFunctions, CellsAnAddInWritesRecalculateTheirDependents) {
  std::string error;
  sheets::Sheet& s = *docs->ActiveSheet();
  for (auto [at, text] : {std::pair{"B1", "=SUM(A1:A3)*2"}, {"C1", "=B1+1"}, {"E1", "=SUM(D1:D3)"}}) {
    ASSERT_TRUE(docs->Select(at, error)) << error;
    ASSERT_TRUE(docs->Enter(text, error)) << error;
  }
  auto number = [&](uint32_t row, uint32_t col) { return s.GetValue(row, col).number; };
  // xlSet of a block.
  HostValue target, done;
  Do(XLF_TEXTREF, target, Arg("[Book1]Sheet1!R1C1:R3C1"), Arg(false));
  std::vector<XLOPER> cells(3);
  for (int i = 0; i < 3; ++i) SetNumber(&cells[i], i + 1.0);
  HostValue block;
  SetArray(&block.v, 3, 1, cells);
  XLOPER* set[] = {&target.v, &block.v};
  ASSERT_EQ(MdCallBack(xlSet, 2, set, &done.v), XLRET_SUCCESS);
  EXPECT_EQ(number(0, 1), 12);
  EXPECT_EQ(number(0, 2), 13);
  // CLEAR of the contents of one cell.
  ASSERT_TRUE(docs->Select("A2", error));
  HostValue r;
  ASSERT_EQ(Do(XLC_CLEAR, r, Arg(3.0)), XLRET_SUCCESS);
  EXPECT_EQ(number(0, 2), 9);
  // PASTE.SPECIAL of values under a formula that reads them, and of a formula, which is calculated.
  ASSERT_EQ(Do(XLC_COPY, r, target), XLRET_SUCCESS);
  ASSERT_TRUE(docs->Select("D1", error));
  ASSERT_EQ(Do(XLC_PASTE_SPECIAL, r, Arg(3.0)), XLRET_SUCCESS);
  EXPECT_EQ(number(0, 4), 4);
  HostValue formula;
  Do(XLF_TEXTREF, formula, Arg("[Book1]Sheet1!R1C2"), Arg(false));
  ASSERT_EQ(Do(XLC_COPY, r, formula), XLRET_SUCCESS);
  s.SetNumber(0, 0, 10);  // not announced: only the pasted copy sees it
  ASSERT_TRUE(docs->Select("F1", error));
  ASSERT_EQ(Do(XLC_PASTE_SPECIAL, r, Arg(2.0)), XLRET_SUCCESS);
  EXPECT_EQ(number(0, 5), 26);
  EXPECT_EQ(number(0, 1), 8);
}

// Writes during an add-in call are gathered (a report written cell by cell is recalculated once),
// but settle before the add-in or anyone else can read a cell, and when the call returns.
TEST_F(WorkbookFunctions, WritesDuringAnAddInCallSettleBeforeAnythingReads) {
  std::string error;
  sheets::Sheet& s = *docs->ActiveSheet();
  ASSERT_TRUE(docs->Select("B1", error));
  ASSERT_TRUE(docs->Enter("=SUM(A1:A3)", error)) << error;
  HostValue a1, a2, a3, b1;  // references made before the add-in runs: making one reads nothing
  Do(XLF_TEXTREF, a1, Arg("[Book1]Sheet1!R1C1"), Arg(false));
  Do(XLF_TEXTREF, a2, Arg("[Book1]Sheet1!R2C1"), Arg(false));
  Do(XLF_TEXTREF, a3, Arg("[Book1]Sheet1!R3C1"), Arg(false));
  Do(XLF_TEXTREF, b1, Arg("[Book1]Sheet1!R1C2"), Arg(false));
  auto put = [](HostValue& target, double value) {
    HostValue done;
    Arg v(value);
    XLOPER* set[] = {&target.v, &v.v};
    return MdCallBack(xlSet, 2, set, &done.v);
  };
  AddIn running;  // stands for the add-in whose code runs
  {
    CallerScope scope(Host::Get(), &running);
    ASSERT_EQ(put(a1, 5), XLRET_SUCCESS);
    ASSERT_EQ(put(a2, 6), XLRET_SUCCESS);
    EXPECT_EQ(s.GetValue(0, 1), sheets::Value::Number(0));  // gathered, not yet calculated
    HostValue value;
    XLOPER* get[] = {&b1.v};
    ASSERT_EQ(MdCallBack(xlCoerce, 1, get, &value.v), XLRET_SUCCESS);
    EXPECT_EQ(Display(&value.v), "11");
    ASSERT_EQ(put(a3, 7), XLRET_SUCCESS);
    EXPECT_EQ(s.GetValue(0, 1), sheets::Value::Number(11));
  }
  EXPECT_EQ(s.GetValue(0, 1), sheets::Value::Number(18));
}

TEST_F(WorkbookFunctions, InsertAndDeleteReachOtherOpenWorkbooksAndRefuseToLoseCells) {
  sheets::Workbook& data = *docs->ActiveBook();  // Book1
  sheets::Sheet& s = data.sheet(0);
  for (uint32_t r = 0; r < 6; ++r) s.SetNumber(r, 0, r + 1);  // A1:A6
  std::string error;
  ASSERT_TRUE(docs->New(error)) << error;  // Book2, a reports workbook
  sheets::Sheet& report = *docs->ActiveSheet();
  report.names().Define("__sm_ER_0", "[Book1]Sheet1!$A$1:$A$6", report.limits());
  ASSERT_TRUE(docs->Enter("=SUM([Book1]Sheet1!A5:A6)", error)) << error;

  HostValue r;
  Arg down(2.0), whole(3.0);
  ASSERT_TRUE(docs->Select("[Book1]Sheet1!A2", error)) << error;
  ASSERT_EQ(Do(XLC_INSERT, r, whole), XLRET_SUCCESS);
  EXPECT_EQ(report.names().Find("__sm_ER_0")->refers_to, "[Book1]Sheet1!$A$1:$A$7");
  EXPECT_EQ(report.Get(0, 0).formula, "SUM([Book1]Sheet1!A6:A7)");

  // Deleting the cells a formula of the workbook reads gives #REF!, and its value follows.
  s.SetFormula(0, 2, "A6*2", sheets::Value::Number(10));
  ASSERT_TRUE(docs->Select("[Book1]Sheet1!A6:A7", error)) << error;
  ASSERT_EQ(Do(XLC_EDIT_DELETE, r, down), XLRET_SUCCESS);
  EXPECT_EQ(s.Get(0, 2).formula, "#REF!*2");
  EXPECT_EQ(s.GetValue(0, 2).type, sheets::ValueType::Error);
  EXPECT_EQ(report.Get(0, 0).formula, "SUM(#REF!)");
  EXPECT_EQ(report.names().Find("__sm_ER_0")->refers_to, "[Book1]Sheet1!$A$1:$A$5");

  // Cells that would be pushed off the sheet stop the insertion, which then changes nothing.
  s.SetText(s.limits().rows - 1, 0, "last");
  ASSERT_TRUE(docs->Select("[Book1]Sheet1!A1", error)) << error;
  EXPECT_NE(Do(XLC_INSERT, r, down), XLRET_SUCCESS);
  EXPECT_EQ(s.GetValue(0, 0).number, 1);
  EXPECT_EQ(report.names().Find("__sm_ER_0")->refers_to, "[Book1]Sheet1!$A$1:$A$5");
  EXPECT_FALSE(docs->EditCells(true, 2, "", error));
  EXPECT_NE(error.find("pushed off the sheet"), std::string::npos) << error;
}
