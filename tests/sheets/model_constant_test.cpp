#include <gtest/gtest.h>

#include <cmath>

#include "sheets/model/constant.h"
#include "sheets/model/string_pool.h"

using namespace sheets;

TEST(Constant, ParsesEachKindAndRefusesTheRest) {
  EXPECT_EQ(ParseConstant(" 12 "), Value::Number(12));
  EXPECT_EQ(ParseConstant("-1.5E+3"), Value::Number(-1500));
  EXPECT_EQ(ParseConstant(".5"), Value::Number(0.5));
  EXPECT_EQ(ParseConstant("\"a \"\"b\"\"\""), Value::Text("a \"b\""));
  EXPECT_EQ(ParseConstant("\"\""), Value::Text(""));
  EXPECT_EQ(ParseConstant("true"), Value::Boolean(true));
  EXPECT_EQ(ParseConstant("FALSE"), Value::Boolean(false));
  EXPECT_EQ(ParseConstant("#N/A"), Value::Error(ErrorCode::NA));
  EXPECT_EQ(ParseConstant("#div/0!"), Value::Error(ErrorCode::Div0));
  for (const char* bad : {"", "1,5", "1e999", "\"abc", "\"a\"b\"", "#WHAT", "A1", "nan", "inf", "1 2"})
    EXPECT_FALSE(ParseConstant(bad)) << bad;
}

TEST(Constant, NumbersAreWrittenShortestAndReadBackExactly) {
  for (double d : {0.1, 1.0 / 3, 1e300, -2.5e-310, 123456789012345.0, 1026.0}) {
    std::string text = FormatNumberLiteral(d);
    auto back = ParseNumberText(text);
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(*back, d) << text;
  }
  EXPECT_EQ(FormatNumberLiteral(0.1), "0.1");
  EXPECT_EQ(FormatNumberLiteral(1e300), "1E+300");
  EXPECT_EQ(FormatNumberLiteral(-0.0), "0");
}

TEST(ArrayConstant, RowsColumnsAndMixedElements) {
  auto a = ParseArrayConstant("{1;1026;\"text\"}");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->rows, 3u);
  EXPECT_EQ(a->cols, 1u);
  EXPECT_EQ(a->At(1, 0), Value::Number(1026));
  EXPECT_EQ(a->At(2, 0), Value::Text("text"));

  a = ParseArrayConstant("{1, \"a;b\" ,TRUE;#N/A,-2,\"\"\"\"}");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->rows, 2u);
  EXPECT_EQ(a->cols, 3u);
  EXPECT_EQ(a->At(0, 1), Value::Text("a;b"));
  EXPECT_EQ(a->At(1, 0), Value::Error(ErrorCode::NA));
  EXPECT_EQ(a->At(1, 2), Value::Text("\""));
  EXPECT_EQ(FormatArrayConstant(*a), "{1,\"a;b\",TRUE;#N/A,-2,\"\"\"\"}");
  EXPECT_EQ(ParseArrayConstant(FormatArrayConstant(*a)), a);

  for (const char* bad :
       {"{}", "{1;2,3}", "{1,2;3}", "{1,}", "{,1}", "{1", "1}", "{1}}", "{{1}}", "{\"a}", "{A1}", "{1;;2}"})
    EXPECT_FALSE(ParseArrayConstant(bad)) << bad;
}

TEST(StringPool, InternsOnceAndKeepsViewsValidAsItGrows) {
  StringPool pool;
  uint32_t a = pool.Intern("alpha");
  std::string_view view = pool.Get(a);
  std::string big(300000, 'x');  // larger than a chunk
  uint32_t b = pool.Intern(big);
  for (int i = 0; i < 100000; ++i) pool.Intern("s" + std::to_string(i));
  EXPECT_EQ(pool.Intern("alpha"), a);
  EXPECT_EQ(pool.Intern(big), b);
  EXPECT_EQ(view, "alpha");  // still pointing at live bytes
  EXPECT_EQ(pool.Get(b).size(), big.size());
  EXPECT_EQ(pool.Get(pool.Intern("s99999")), "s99999");
  EXPECT_EQ(pool.size(), 100002u);
  EXPECT_EQ(pool.Intern(""), pool.Intern(std::string_view()));
}
