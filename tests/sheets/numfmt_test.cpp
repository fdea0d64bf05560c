// Number formats as a cell shows them, against what spreadsheets display for the same code.
#include <gtest/gtest.h>

#include "sheets/numfmt/number_format.h"

using namespace sheets;

TEST(NumberFormat, GeneralUsesElevenCharacters) {
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(1026), "1026");
  EXPECT_EQ(FormatGeneral(-2.5), "-2.5");
  EXPECT_EQ(FormatGeneral(1.0 / 3), "0.333333333");
  EXPECT_EQ(FormatGeneral(2.0 / 3), "0.666666667");
  EXPECT_EQ(FormatGeneral(123456.789012345), "123456.789");
  EXPECT_EQ(FormatGeneral(12345678901.0), "12345678901");
  EXPECT_EQ(FormatGeneral(123456789012.0), "1.23457E+11");
  EXPECT_EQ(FormatGeneral(0.0000000001234), "1.234E-10");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
}

TEST(NumberFormat, FixedThousandsPercentScientificAndLiterals) {
  struct {
    double v;
    const char* code;
    const char* shown;
  } cases[] = {
      {3.14159, "0.00", "3.14"},
      {2.5, "0", "3"},
      {-2.5, "0", "-3"},
      {0.5, "#.##", ".5"},
      {1234567.891, "#,##0.00", "1,234,567.89"},
      {999.5, "#,##0", "1,000"},
      {0.256, "0.0%", "25.6%"},
      {0.001234, "0.00E+00", "1.23E-03"},
      {12345, "0.0E+0", "1.2E+4"},
      {12345, "##0.0E+0", "12.3E+3"},
      {1234567, "#,##0,", "1,235"},
      {2.5, "\"kg\" 0.0", "kg 2.5"},
      {2.5, "0.0\\ \"m\"", "2.5 m"},
      {-4, "0;(0)", "(4)"},
      {0, "0;-0;\"zero\"", "zero"},
      {-0.001, "0.0", "0.0"},
      {5, "[Red]0.00", "5.00"},
      {150, "[>100]\"big\";\"small\"", "big"},
      {50, "[>100]\"big\";\"small\"", "small"},
      {7, "00000", "00007"},
      {1.5, "# ?/?", "1 1/2"},
      {0.75, "?/?", "3/4"},
      {3.125, "# ?/8", "3 1/8"},
      {42, "General", "42"},
      {-42, "\"x\"General", "x-42"},
      {1.5, "0.0_);(0.0)", "1.5 "},
      {1.005, "0.00", "1.01"},
      {0.125, "0.00", "0.13"},
      {2.675, "0.00", "2.68"},
      {-0.5, "0", "-1"},
      {1234.5, "[$$-409]#,##0.00", "$1,234.50"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatNumber(c.v, c.code), c.shown) << c.code << " " << c.v;
}

TEST(NumberFormat, DatesAndTimesInThe1900System) {
  EXPECT_EQ(FormatNumber(1, "yyyy-mm-dd"), "1900-01-01");
  EXPECT_EQ(FormatNumber(60, "yyyy-mm-dd"), "1900-02-29");  // the day that system counts
  EXPECT_EQ(FormatNumber(61, "yyyy-mm-dd"), "1900-03-01");
  EXPECT_EQ(FormatNumber(43831, "d-mmm-yy"), "1-Jan-20");
  EXPECT_EQ(FormatNumber(43831, "dddd, mmmm d, yyyy"), "Wednesday, January 1, 2020");
  EXPECT_EQ(FormatNumber(45000.75, "m/d/yyyy h:mm"), "3/15/2023 18:00");
  EXPECT_EQ(FormatNumber(0.5, "h:mm AM/PM"), "12:00 PM");
  EXPECT_EQ(FormatNumber(0.25, "hh:mm:ss"), "06:00:00");
  EXPECT_EQ(FormatNumber(1.5, "[h]:mm"), "36:00");
  EXPECT_EQ(FormatNumber(0.000011574, "mm:ss.0"), "00:01.0");
  EXPECT_EQ(FormatNumber(0.999999999, "hh:mm:ss"), "00:00:00");  // rounds to the next day
  EXPECT_EQ(FormatNumber(2958465, "yyyy-mm-dd"), "9999-12-31");
  EXPECT_TRUE(IsDateFormat("d-mmm-yy"));
  EXPECT_TRUE(IsDateFormat("[h]:mm:ss"));
  EXPECT_FALSE(IsDateFormat("0.00"));
  EXPECT_FALSE(IsDateFormat("\"d\"0"));
  for (int y : {1900, 1901, 1999, 2000, 2024, 9999})
    for (int m : {1, 2, 3, 12}) {
      auto d = SerialToDate(DateToSerial(y, m, 28));
      ASSERT_TRUE(d);
      EXPECT_EQ(d->year, y);
      EXPECT_EQ(d->month, m);
      EXPECT_EQ(d->day, 28);
    }
}

TEST(NumberFormat, TextAndOtherValues) {
  EXPECT_EQ(FormatValue(Value::Text("abc"), "0.00"), "abc");
  EXPECT_EQ(FormatValue(Value::Text("abc"), "@"), "abc");
  EXPECT_EQ(FormatValue(Value::Text("abc"), "0;0;0;\"<\"@\">\""), "<abc>");
  EXPECT_EQ(FormatValue(Value::Boolean(true), "0.00"), "TRUE");
  EXPECT_EQ(FormatValue(Value::Error(ErrorCode::Div0), "0.00"), "#DIV/0!");
  EXPECT_EQ(FormatValue(Value(), "0.00"), "");
  EXPECT_EQ(FormatValue(Value::Number(5), "@"), "5");
}
