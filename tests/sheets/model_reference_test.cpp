#include <gtest/gtest.h>

#include "sheets/model/defined_name.h"
#include "sheets/model/formula_text.h"
#include "sheets/model/reference.h"

using namespace sheets;

namespace {
const SheetLimits kClassic = SheetLimits::Classic();
const SheetLimits kLarge = SheetLimits::Large();
}  // namespace

TEST(ColumnLetters, RoundTripsAtTheBoundaries) {
  struct {
    uint32_t col;
    const char* text;
  } cases[] = {{0, "A"},    {25, "Z"},   {26, "AA"},   {51, "AZ"},    {52, "BA"},
               {255, "IV"}, {701, "ZZ"}, {702, "AAA"}, {16383, "XFD"}};
  for (auto& c : cases) {
    EXPECT_EQ(ColumnLetters(c.col), c.text);
    EXPECT_EQ(ParseColumnLetters(c.text, kLarge.cols), c.col) << c.text;
  }
  EXPECT_EQ(ParseColumnLetters("iv", kClassic.cols), 255u);
  EXPECT_FALSE(ParseColumnLetters("IW", kClassic.cols));
  EXPECT_FALSE(ParseColumnLetters("XFE", kLarge.cols));
  EXPECT_FALSE(ParseColumnLetters("AAAA", kLarge.cols));
  EXPECT_FALSE(ParseColumnLetters("", kLarge.cols));
  EXPECT_FALSE(ParseColumnLetters("A1", kLarge.cols));
}

TEST(ParseA1, CellsRangesRowsAndColumnsWithAbsoluteFlags) {
  auto r = ParseA1("$B$3", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.kind, AreaRef::Kind::Cell);
  EXPECT_EQ(r->area.range, RangeAddress::Cell(2, 1));
  EXPECT_TRUE(r->area.first_row_abs && r->area.first_col_abs);

  r = ParseA1("A$1:$C10", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.kind, AreaRef::Kind::Range);
  EXPECT_EQ(r->area.range, (RangeAddress{{0, 0}, {9, 2}}));
  EXPECT_TRUE(r->area.first_row_abs);
  EXPECT_FALSE(r->area.first_col_abs);
  EXPECT_TRUE(r->area.last_col_abs);
  EXPECT_FALSE(r->area.last_row_abs);

  r = ParseA1("B:D", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.kind, AreaRef::Kind::Columns);
  EXPECT_EQ(r->area.range, (RangeAddress{{0, 1}, {65535, 3}}));

  r = ParseA1("$3:5", kLarge);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.kind, AreaRef::Kind::Rows);
  EXPECT_EQ(r->area.range, (RangeAddress{{2, 0}, {4, 16383}}));

  // Corners given the wrong way round are put in order, each keeping its own $ sign.
  r = ParseA1("$C$5:A1", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.range, (RangeAddress{{0, 0}, {4, 2}}));
  EXPECT_FALSE(r->area.first_row_abs);
  EXPECT_TRUE(r->area.last_row_abs);
}

TEST(ParseA1, RefusesTextThatIsNotAReferenceOrLiesBeyondTheLimits) {
  for (const char* bad :
       {"",        "A",    "3",    "A0",         "A1:",        ":A1",           "A1:B2:C3",   "A1 ",
        " A1",     "$$A1", "A$$1", "1A",         "A1B",        "A-1",           "IW1",        "A65537",
        "Sheet1!", "!A1",  "A:1",  "'Sheet1!A1", "'Sheet1'A1", "[Book.xlsx!A1", "A1234567890"}) {
    EXPECT_FALSE(ParseA1(bad, kClassic)) << bad;
  }
  EXPECT_TRUE(ParseA1("XFD1048576", kLarge));
  EXPECT_FALSE(ParseA1("XFD1048577", kLarge));
  EXPECT_FALSE(ParseA1("XFD1", kClassic));
}

TEST(ParseA1, SheetAndWorkbookPrefixes) {
  auto r = ParseA1("'My data'!$A$1:$B$9", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sheet, "My data");
  EXPECT_TRUE(r->workbook.empty());

  r = ParseA1("'It''s'!A1", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sheet, "It's");

  r = ParseA1("[Book.xlsx]Sheet!A1:B2", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->workbook, "Book.xlsx");
  EXPECT_EQ(r->sheet, "Sheet");
  EXPECT_TRUE(r->IsExternal());

  r = ParseA1("'C:\\data\\[My book.xlsx]Sheet 1'!$C$3", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->workbook, "C:\\data\\My book.xlsx");
  EXPECT_EQ(r->sheet, "Sheet 1");

  r = ParseA1("Sheet1:Sheet3!B2", kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sheet, "Sheet1");
  EXPECT_EQ(r->last_sheet, "Sheet3");

  r = ParseA1("[1]Sheet1!$A$1", kClassic);  // indexed external link as files store it
  ASSERT_TRUE(r);
  EXPECT_EQ(r->workbook, "1");

  EXPECT_FALSE(ParseA1("My data!A1", kClassic));  // a space needs quotes
}

TEST(FormatReference, QuotesOnlyWhereNeededAndRoundTrips) {
  EXPECT_TRUE(SheetNameNeedsQuotes("My data"));
  EXPECT_TRUE(SheetNameNeedsQuotes("2019"));
  EXPECT_TRUE(SheetNameNeedsQuotes("A1"));
  EXPECT_TRUE(SheetNameNeedsQuotes("R1C1"));
  EXPECT_TRUE(SheetNameNeedsQuotes("Données"));
  EXPECT_FALSE(SheetNameNeedsQuotes("Sheet1"));
  EXPECT_FALSE(SheetNameNeedsQuotes("Data_2.old"));

  for (const char* text :
       {"$A$1", "A1:B2", "Sheet1!$B$2:$C$4", "'My data'!A1", "'It''s'!$A:$A", "[Book.xlsx]Sheet!A1:B2",
        "'[My book.xlsx]Sheet1'!A1", "'C:\\d\\[B.xlsx]S'!$A$1", "Sheet1:Sheet3!B2", "$3:$5", "C:E"}) {
    auto r = ParseA1(text, kClassic);
    ASSERT_TRUE(r) << text;
    EXPECT_EQ(FormatReference(*r, RefStyle::A1), text);
  }
}

TEST(R1C1, AbsoluteAndRelativePartsAgainstABaseCell) {
  CellAddress base{4, 2};  // C5
  auto r = ParseR1C1("R1C1", base, kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.range, RangeAddress::Cell(0, 0));
  EXPECT_TRUE(r->area.first_row_abs && r->area.first_col_abs);

  r = ParseR1C1("R[-1]C[2]", base, kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.range, RangeAddress::Cell(3, 4));
  EXPECT_FALSE(r->area.first_row_abs);

  r = ParseR1C1("rc", base, kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.range, RangeAddress::Cell(4, 2));

  r = ParseR1C1("R2C3:R[5]C[1]", base, kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.range, (RangeAddress{{1, 2}, {9, 3}}));

  r = ParseR1C1("R3", base, kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.kind, AreaRef::Kind::Rows);
  EXPECT_EQ(r->area.range, (RangeAddress{{2, 0}, {2, 255}}));

  r = ParseR1C1("C2:C4", base, kClassic);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->area.kind, AreaRef::Kind::Columns);

  // Offsets that leave the sheet are not references.
  EXPECT_FALSE(ParseR1C1("R[-5]C", base, kClassic));
  EXPECT_FALSE(ParseR1C1("RC[254]", base, kClassic));
  EXPECT_FALSE(ParseR1C1("R0C1", base, kClassic));
  EXPECT_FALSE(ParseR1C1("R1C1X", base, kClassic));
  EXPECT_FALSE(ParseR1C1("R[1C1", base, kClassic));

  for (const char* text : {"R1C1", "R[-1]C[2]", "RC", "R2C3:R[5]C[1]", "R3", "C[1]:C[3]", "Sheet1!R1C1:R2C2"}) {
    auto p = ParseR1C1(text, base, kClassic);
    ASSERT_TRUE(p) << text;
    EXPECT_EQ(FormatReference(*p, RefStyle::R1C1, base), text);
  }
  // The same reference written in the other style.
  EXPECT_EQ(FormatReference(*ParseR1C1("R[-1]C[2]", base, kClassic), RefStyle::A1), "E4");
  EXPECT_EQ(FormatReference(*ParseA1("Sheet1!$A$1:B2", kClassic), RefStyle::R1C1, base), "Sheet1!R1C1:R[-3]C[-1]");
}

TEST(ReferenceList, UnionsSplitOutsideQuotes) {
  auto list = ParseReferenceList("A1:B2,'a,b'!C3,[x.xlsx]S!D4", RefStyle::A1, {}, kClassic);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[1].sheet, "a,b");
  EXPECT_EQ((*list)[2].workbook, "x.xlsx");
  EXPECT_EQ(FormatReferenceList(*list, RefStyle::A1), "A1:B2,'a,b'!C3,[x.xlsx]S!D4");
  EXPECT_FALSE(ParseReferenceList("A1,", RefStyle::A1, {}, kClassic));
  EXPECT_FALSE(ParseReferenceList("A1,B", RefStyle::A1, {}, kClassic));
  EXPECT_FALSE(ParseReferenceList("'a!A1", RefStyle::A1, {}, kClassic));
}

TEST(RenameSheetsInFormula, RenamesPlainReferencesOnlyQuotingAsNeeded) {
  SheetRenameFn rename = [](std::string_view name) -> std::optional<std::string> {
    if (sheets::NamesEqual(name, "Data")) return std::string("My data");
    if (sheets::NamesEqual(name, "My data")) return std::string("Data");  // a swap
    if (sheets::NamesEqual(name, "Jan")) return std::string("Winter");
    return std::nullopt;
  };
  EXPECT_EQ(RenameSheetsInFormula("SUM(Data!A1:B2)+'My data'!$C$3", rename), "SUM('My data'!A1:B2)+Data!$C$3");
  EXPECT_EQ(RenameSheetsInFormula("data!A1", rename), "'My data'!A1");  // names match whatever their case
  EXPECT_EQ(RenameSheetsInFormula("SUM(Jan:Mar!B1)", rename), "SUM(Winter:Mar!B1)");
  EXPECT_EQ(RenameSheetsInFormula("Jan!A1", [](std::string_view) { return std::optional<std::string>("Q1"); }),
            "'Q1'!A1");
  // Other workbooks, other sheets, text and names that only look alike stay.
  for (const char* same : {"[1]Data!A1", "'[Book.xlsx]Data'!A1", "Other!A1", "\"Data!A1\"&Data2!A1", "MyData!A1",
                           "Data", "IF(A1,\"it's\",'Other sheet'!B2)"})
    EXPECT_EQ(RenameSheetsInFormula(same, rename), same) << same;
  EXPECT_EQ(RenameSheetsInFormula("'Data'!A1&\"x\"", rename), "'My data'!A1&\"x\"");
}
