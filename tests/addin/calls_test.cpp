// The wrapper around Excel4v, the typed calls, coercion and the value type.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "addin/host/exceptions.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlvalue.h"
#include "fake_host.h"

using namespace qs;

namespace {
class Calls : public ::testing::Test {
protected:
    void SetUp() override { fake::host().Reset(); }
};

std::string Caught(const std::function<void()>& f, uint16_t* code = nullptr) {
    try {
        f();
    } catch (XlException* e) {
        std::string t = e->Text().str();
        if (code) *code = e->XlError();
        e->Delete();
        return t;
    } catch (CException* e) {
        e->Delete();
        return "<other exception>";
    }
    return "<no exception>";
}
}  // namespace

TEST_F(Calls, MissingArgumentsTrailingDroppedMiddleKept) {
    XlValue a(1.0), b("x"), explicitMissing;
    XlCall(XLF_COUNT, {a, nullptr, b, explicitMissing, nullptr});
    ASSERT_EQ(fake::host().calls.size(), 1u);
    const fake::Call& c = fake::host().calls[0];
    EXPECT_EQ(c.fn, XLF_COUNT | XLBIT_INTL) << "the international bit is added";
    ASSERT_EQ(c.args.size(), 3u);
    EXPECT_EQ(c.args[1], "<missing>");
    EXPECT_EQ(c.args[2], "\"x\"");

    XlCallResult(xlSheetNm, {a});
    EXPECT_EQ(fake::host().calls.back().fn, xlSheetNm) << "special functions get no international bit";
}

TEST_F(Calls, OwnershipFlagsHiddenFromHostAndRestored) {
    XlValue text("abc");
    text.xltype |= XLBIT_DLLFREE;
    XLREF area{3, 7, 1, 2};
    XlValue sref = XlValue::SRef(area);
    sref.val.sref.count = 9;  // whatever it held: the host sees one area
    uint16_t seenType = 0, seenCount = 0;
    fake::host().answers[XLF_TEXT] = [&](int, int, XLOPER** args, XLOPER*) {
        seenType = args[0]->xltype;
        seenCount = args[1]->val.sref.count;
        return XLRET_SUCCESS;
    };
    XlCall(XLF_TEXT, {text, sref});
    EXPECT_EQ(seenType, XLTYPE_STR);
    EXPECT_EQ(seenCount, 1);
    EXPECT_EQ(text.xltype, XLTYPE_STR | XLBIT_DLLFREE);
}

TEST_F(Calls, LongTextArrivesCutTo255BytesOnACharacterBoundary) {
    XlCall(XLF_TEXT, {std::string(300, 'a')});
    EXPECT_EQ(fake::host().calls[0].args[0], "\"" + std::string(255, 'a') + "\"");

    std::string name = std::string(254, 'x') + "µmol";  // µ is two bytes, at 254 and 255
    XlValue v(name);
    EXPECT_EQ(v.TextView().size(), 254u);
    EXPECT_EQ(XlValue("Glucose µmol/L").Text(), "Glucose µmol/L");
}

TEST_F(Calls, FailureTextNamesFunctionArgumentsAndResult) {
    fake::host().answers[XLF_GET_CELL] = [](int, int, XLOPER**, XLOPER*) { return XLRET_INVALID_VALUE; };
    fake::host().answers[XLF_REFTEXT] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetText(r, "A1");
        return XLRET_SUCCESS;
    };
    XlValue a1 = XlValue::SRef(XLREF{0, 0, 0, 0});
    uint16_t code = 0;
    std::string text = Caught([&] { XlCall(XLF_GET_CELL, {48, a1}); }, &code);
    EXPECT_EQ(text, "Excel function failed: fn=185(48, A1)");
    EXPECT_EQ(code, XLERR_NA);

    fake::host().answers[XLF_GET_CELL] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetError(r, XLERR_VALUE);
        return XLRET_SUCCESS;
    };
    text = Caught([&] { XlCallNumber(XLF_GET_CELL, {48, a1}); });
    EXPECT_EQ(text, "Excel function failed: fn=185(48, A1) rv = #VALUE");

    text = Caught([&] { XlCallResult(XLF_GET_CELL, {48, a1}); });
    EXPECT_EQ(text, "<no exception>") << "success with an error value is no failure of the call itself";
}

TEST_F(Calls, AbortAndUncalculatedRaiseOutOfMemory) {
    for (int rc : {XLRET_ABORT, XLRET_UNCALCED}) {
        fake::host().answers[XLF_NOW] = [rc](int, int, XLOPER**, XLOPER*) { return rc; };
        bool memory = false;
        try {
            XlCall(XLF_NOW);
        } catch (CMemoryException* e) {
            memory = true;
            e->Delete();
        } catch (CException* e) {
            e->Delete();
        }
        EXPECT_TRUE(memory) << rc;
    }
}

TEST_F(Calls, ValueTextsOfEveryType) {
    XlValue arr = XlValue::Array(2, 2);
    arr.At(0, 0).SetNumber(1.5);
    arr.At(0, 1).SetText("t");
    arr.At(1, 0).SetBool(true);
    arr.At(1, 1).SetError(XLERR_DIV0);
    EXPECT_EQ(XlValueText(arr), "{1.5, \"t\"; TRUE, #DIV/0}");
    EXPECT_EQ(XlValueText(XlValue::Nil()), "#EMPTY");
    EXPECT_EQ(XlValueText(XlValue::Int(-3)), "-3");
    EXPECT_EQ(XlValueText(XlValue::Error(99)), "#UNKNOWN ERROR");
    EXPECT_EQ(XlValueText(XlValue()), "");
    EXPECT_EQ(XlValueText(XlValue::Bool(false)), "FALSE");
    XlValue odd;
    odd.xltype = XLTYPE_FLOW;
    EXPECT_EQ(XlValueText(odd), "#UNKNOWN XLTYPE");
}

TEST_F(Calls, HostResultsAreGivenBackWithXlFree) {
    fake::host().allocated = 0;
    {
        XlValue r = XlCallResult(xlGetName);
        EXPECT_EQ(r.xltype, XLTYPE_STR | XLBIT_XLFREE);
        EXPECT_EQ(r.Text(), "/opt/quelstat/quelstat.xll");
        XlValue copy = r;  // a deep copy of the text, owned by the add-in
        EXPECT_EQ(copy.xltype, XLTYPE_STR);
        r.Release();
        EXPECT_EQ(copy.Text(), "/opt/quelstat/quelstat.xll");
    }
    EXPECT_EQ(fake::host().freed, 1);
    EXPECT_EQ(fake::host().allocated, 0);

    // Re-using a result slot releases what it held first.
    XlValue slot;
    XlCallV(xlGetName, &slot, 0, nullptr);
    XlCallV(xlGetName, &slot, 0, nullptr);
    EXPECT_EQ(fake::host().freed, 2);
}

TEST_F(Calls, TypedCalls) {
    fake::host().answers[XLF_GET_NAME] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetError(r, XLERR_NA);
        return XLRET_SUCCESS;
    };
    EXPECT_TRUE(XlCallText(XLF_GET_NAME, {"x"}).empty());

    fake::host().answers[XLF_SELECTION] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetText(r, "Sheet1!A1");
        return XLRET_SUCCESS;
    };
    fake::host().answers[XLF_TEXTREF] = [](int, int, XLOPER**, XLOPER* r) {
        r->xltype = XLTYPE_SREF;
        r->val.sref.count = 1;
        r->val.sref.ref = XLREF{4, 4, 2, 2};
        return XLRET_SUCCESS;
    };
    XlValue ref = XlCallRef(XLF_SELECTION);
    ASSERT_TRUE(ref.Is(XLTYPE_SREF));
    EXPECT_EQ(fake::host().CallsOf(XLF_TEXTREF).at(0).args.at(0), "\"Sheet1!A1\"");

    fake::host().answers[XLF_GET_WINDOW] = [](int, int, XLOPER**, XLOPER* r) {
        auto* el = static_cast<XLOPER*>(calloc(3, sizeof(XLOPER)));
        fake::SetNumber(&el[0], 3);
        fake::SetNumber(&el[1], 12);
        fake::SetNumber(&el[2], 7);
        r->xltype = XLTYPE_MULTI;
        r->val.array = {el, 1, 3};
        ++fake::host().allocated;
        return XLRET_SUCCESS;
    };
    EXPECT_EQ(XlHighestPane(14), 12);
    uint16_t code = 0;
    std::string t = Caught([] { XlGetWindowText({1}); }, &code);
    EXPECT_EQ(t, "An Excel operation failed.");
    EXPECT_EQ(code, XLERR_NA);

    fake::host().answers[XLF_COUNT] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetNumber(r, 41.9);
        return XLRET_SUCCESS;
    };
    EXPECT_EQ(XlCallInt(XLF_COUNT), 41);
    EXPECT_NE(Caught([] { XlCallBool(XLF_COUNT); }), "<no exception>");
}

TEST_F(Calls, Coercion) {
    uint16_t code = 0;
    EXPECT_EQ(Caught([] { XlCoerce(XlValue::Error(XLERR_DIV0), XLTYPE_NUM); }, &code), "Unable to coerce type");
    EXPECT_EQ(code, XLERR_DIV0);
    EXPECT_EQ(Caught([] { XlCoerce(XlValue(), XLTYPE_NUM); }, &code), "Unable to coerce type");
    EXPECT_EQ(code, XLERR_VALUE);
    EXPECT_EQ(Caught(
                  [] {
                      XlCoerce(XlValue::SRef(XLREF{0, 1, 0, 0}), XLTYPE_NUM);
                  },
                  &code),
              "Unable to coerce array....");
    EXPECT_EQ(code, XLERR_VALUE);
    EXPECT_EQ(Caught([] { XlCoerce(XlValue::Array(1, 2), XLTYPE_STR); }, &code), "Unable to coerce array....");

    EXPECT_TRUE(fake::host().calls.empty()) << "none of these reach the host";
    XlValue same = XlCoerce(XlValue(4.0), XLTYPE_NUM | XLTYPE_STR);
    EXPECT_EQ(same.Number(), 4.0);
    EXPECT_TRUE(fake::host().calls.empty());

    XlValue n = XlCoerce(XlValue("2.5"), XLTYPE_NUM);
    EXPECT_EQ(n.Number(), 2.5);
    EXPECT_EQ(fake::host().CallsOf(xlCoerce).size(), 1u);
    // A one-cell reference may be coerced to a single value.
    XlCoerce(XlValue::SRef(XLREF{2, 2, 1, 1}), XLTYPE_NUM);
    EXPECT_EQ(fake::host().CallsOf(xlCoerce).size(), 2u);
}

TEST(XlValueTest, ArrayCopyMovesOwnershipSoElementsAreFreedOnce) {
    XlValue a = XlValue::Array(1, 2);
    a.At(0, 0).SetText("one");
    XlValue b(a);
    EXPECT_EQ(b.xltype, XLTYPE_MULTI | XLBIT_DLLFREE);
    EXPECT_EQ(a.xltype, XLTYPE_MULTI) << "the source no longer owns the elements";
    EXPECT_EQ(a.val.array.lparray, b.val.array.lparray);
    XlValue c;
    c.CopyFrom(b, false);
    EXPECT_EQ(c.xltype, XLTYPE_MULTI);
    EXPECT_EQ(b.xltype, XLTYPE_MULTI | XLBIT_DLLFREE) << "a copy without moving leaves ownership";
    a.Release();
    c.Release();
    EXPECT_EQ(b.At(0, 0).Text(), "one");  // still alive: b owns it
}

TEST(XlValueTest, EqualityRules) {
    EXPECT_TRUE(XlValue(2.0) == XlValue(2));
    EXPECT_FALSE(XlValue(1.0) == XlValue("1"));
    EXPECT_FALSE(XlValue("abc") == XlValue("ABC"));
    EXPECT_TRUE(XlValue("abc").Equals(XlValue("ABC"), true));
    EXPECT_FALSE(XlValue("ab").Equals(XlValue("abc"), true));
    EXPECT_TRUE(XlValue::Error(7) == XlValue::Error(7));
    EXPECT_FALSE(XlValue::Error(7) == XlValue::Error(15));
    EXPECT_FALSE(XlValue::Bool(true) == XlValue::Bool(false));
    EXPECT_TRUE(XlValue::SRef(XLREF{0, 0, 0, 0}) == XlValue::SRef(XLREF{5, 5, 5, 5}));
    EXPECT_TRUE(XlValue().IsMissing());
    XlValue released("x");
    released.Release();
    EXPECT_TRUE(released.IsNil());
}

TEST(XlValueTest, ReferencesCopyDeeply) {
    XlValue r = XlValue::Ref(7, {XLREF{0, 9, 0, 1}, XLREF{20, 20, 3, 3}});
    XlValue copy = r;
    EXPECT_NE(copy.val.mref.lpmref, r.val.mref.lpmref);
    r.Release();
    auto areas = copy.Areas();
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[1].rwFirst, 20);
    EXPECT_EQ(copy.SheetId(), 7u);
}
