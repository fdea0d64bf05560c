#include "xll/xlcall.h"

#include <gtest/gtest.h>

// No MdCallBack in this process: every call fails without touching the result.
TEST(Excel4v, FailsWithoutAHost) {
    XLOPER res{};
    res.xltype = XLTYPE_MISSING;
    EXPECT_EQ(Excel4v(XLF_GET_WORKSPACE, &res, 0, nullptr), XLRET_FAILED);
    EXPECT_EQ(res.xltype, XLTYPE_MISSING);
    EXPECT_EQ(Excel4(xlFree, nullptr, 1, &res), XLRET_FAILED);
}
