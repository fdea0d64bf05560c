#include "xll/xlcall.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
struct Seen {
    int fn = -1;
    int count = -1;
    std::vector<XLOPER*> args;
    XLOPER* result = nullptr;
} g_seen;
}  // namespace

extern "C" int MdCallBack(int xlfn, int coper, XLOPER** rgpxloper, XLOPER* xloperRes) {
    g_seen.fn = xlfn;
    g_seen.count = coper;
    g_seen.args.assign(rgpxloper, rgpxloper + coper);
    g_seen.result = xloperRes;
    if (xloperRes) {
        xloperRes->xltype = XLTYPE_NUM;
        xloperRes->val.num = coper;
    }
    return xlfn == 9999 ? XLRET_INVALID_FN : XLRET_SUCCESS;
}

TEST(Excel4v, ReachesTheHostWithArgumentsAndResult) {
    XLOPER a{}, b{}, res{};
    a.xltype = XLTYPE_NUM;
    a.val.num = 2;
    b.xltype = XLTYPE_BOOL;
    b.val.xbool = 1;
    XLOPER* args[] = {&a, &b};
    EXPECT_EQ(Excel4v(XLF_GET_WORKSPACE, &res, 2, args), XLRET_SUCCESS);
    EXPECT_EQ(g_seen.fn, 186);
    EXPECT_EQ(g_seen.count, 2);
    ASSERT_EQ(g_seen.args.size(), 2u);
    EXPECT_EQ(g_seen.args[0], &a);
    EXPECT_EQ(g_seen.args[1], &b);
    EXPECT_EQ(res.xltype, XLTYPE_NUM);
    EXPECT_EQ(res.val.num, 2.0);

    EXPECT_EQ(Excel4(XLC_ECHO, nullptr, 1, &b), XLRET_SUCCESS);
    EXPECT_EQ(g_seen.fn, 0x808D);
    EXPECT_EQ(g_seen.result, nullptr);
    ASSERT_EQ(g_seen.args.size(), 1u);
    EXPECT_EQ(g_seen.args[0], &b);

    EXPECT_EQ(Excel4v(9999, nullptr, 0, nullptr), XLRET_INVALID_FN);
}

TEST(Excel4v, RefusesBadArgumentLists) {
    g_seen = {};
    XLOPER a{};
    std::vector<XLOPER*> many(XL_MAX_ARGS + 1, &a);
    EXPECT_EQ(Excel4v(XLF_COUNT, nullptr, XL_MAX_ARGS + 1, many.data()), XLRET_INVALID_COUNT);
    EXPECT_EQ(Excel4v(XLF_COUNT, nullptr, -1, nullptr), XLRET_INVALID_COUNT);
    XLOPER* holes[] = {&a, nullptr};
    EXPECT_EQ(Excel4v(XLF_COUNT, nullptr, 2, holes), XLRET_INVALID_VALUE);
    EXPECT_EQ(g_seen.fn, -1) << "the host must not be called";
    EXPECT_EQ(Excel4v(XLF_COUNT, nullptr, XL_MAX_ARGS, many.data()), XLRET_SUCCESS);
}

TEST(ValueLayout, NumbersOfTheInterface) {
    EXPECT_EQ(sizeof(XLOPER), 24u);
    EXPECT_EQ(XLTYPE_MASK & (XLTYPE_STR | XLBIT_XLFREE | XLBIT_DLLFREE), XLTYPE_STR);
    EXPECT_EQ(XLC_ON_SHEET, 0x81D7);
    EXPECT_EQ(XLC_FORMAT_NUMBER | XLBIT_PROMPT, 0x902A);
    EXPECT_EQ(xlDisableXLMsgs, 0x400B);
    EXPECT_EQ(XlMrefSize(2), 14u);
}

TEST(Utf8Cut, NeverSplitsASequence) {
    // 254 ASCII bytes then "µ" (2 bytes): the cut at 255 would split it, so both bytes go.
    std::string s(254, 'a');
    s += "\xC2\xB5xyz";
    EXPECT_EQ(XlUtf8CutLength(s.data(), s.size(), 255), 254u);
    // 253 bytes then the 2-byte sequence fits exactly.
    std::string t(253, 'a');
    t += "\xC2\xB5xyz";
    EXPECT_EQ(XlUtf8CutLength(t.data(), t.size(), 255), 255u);
    // A 4-byte sequence straddling the limit.
    std::string u(253, 'a');
    u += "\xF0\x9F\x98\x80";
    EXPECT_EQ(XlUtf8CutLength(u.data(), u.size(), 255), 253u);
    // Short text is kept whole; malformed runs of continuation bytes are cut at the limit.
    EXPECT_EQ(XlUtf8CutLength("abc", 3, 255), 3u);
    std::string bad(300, '\x80');
    EXPECT_EQ(XlUtf8CutLength(bad.data(), bad.size(), 255), 255u);
}
