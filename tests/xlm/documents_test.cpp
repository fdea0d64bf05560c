#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
  ASSERT_TRUE(docs->Close(error));
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
