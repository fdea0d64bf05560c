// Formula parsing, evaluation and recalculation order.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>

#include "sheets/calc/calculator.h"
#include "sheets/io/workbook_io.h"
#include "sheets/show.h"

namespace sheets::calc {
namespace {

class CalcTest : public ::testing::Test {
 protected:
  Workbook book{"Book1", SheetLimits::Classic()};
  Sheet& data = book.AddSheet("Data");
  Sheet& other = book.AddSheet("My data");

  Value Eval(std::string_view text) {
    Formula f = ParseFormula(text, book.limits());
    EXPECT_TRUE(f.ok) << text << ": " << f.error;
    return ScalarOf(Evaluate(f, {&book, &data, {}, nullptr}));
  }
  double Num(std::string_view text) {
    Value v = Eval(text);
    EXPECT_EQ(v.type, ValueType::Number) << text << " gave " << v;
    return v.number;
  }
  void Fill(Sheet& s, uint32_t col, std::vector<double> xs) {
    for (uint32_t i = 0; i < xs.size(); ++i) s.SetNumber(i, col, xs[i]);
  }
};

TEST_F(CalcTest, OperatorsFollowPrecedence) {
  EXPECT_EQ(Num("1+2*3"), 7);
  EXPECT_EQ(Num("=(1+2)*3"), 9);
  EXPECT_EQ(Num("-2^2"), 4);    // negation binds before the power
  EXPECT_EQ(Num("2^3^2"), 64);  // left to right
  EXPECT_EQ(Num("50%*4"), 2);
  EXPECT_EQ(Eval("1+2=3"), Value::Boolean(true));
  EXPECT_EQ(Eval("\"a\"&1.5&TRUE"), Value::Text("a1.5TRUE"));
  EXPECT_EQ(Eval("(0.1+0.2)&\"\""), Value::Text("0.3"));
  EXPECT_EQ(Eval("\"abc\"<\"ABD\""), Value::Boolean(true));
  EXPECT_EQ(Eval("1<\"a\""), Value::Boolean(true));  // numbers sort before texts
  EXPECT_EQ(Eval("2<>2"), Value::Boolean(false));
  EXPECT_EQ(Eval("1/0"), Value::Error(ErrorCode::Div0));
  EXPECT_EQ(Eval("\"x\"+1"), Value::Error(ErrorCode::Value));
  EXPECT_EQ(Eval("#N/A+1"), Value::Error(ErrorCode::NA));
  EXPECT_EQ(Num("\" 2 \"*3"), 6);
}

TEST_F(CalcTest, ParserRefusesBrokenText) {
  for (const char* bad : {"1+", "SUM(1,2", "(1", "\"open", "{1,2", "1 2", "#BAD!", "'Sheet"}) {
    Formula f = ParseFormula(bad, book.limits());
    EXPECT_FALSE(f.ok) << bad;
    EXPECT_FALSE(f.error.empty()) << bad;
  }
  std::string deep(5000, '(');
  EXPECT_FALSE(ParseFormula(deep + "1", book.limits()).ok);
  std::string minus(5000, '-');
  EXPECT_FALSE(ParseFormula(minus + "1", book.limits()).ok);
  std::string sum = "1";
  for (int i = 0; i < 3000; ++i) sum += "+1";
  EXPECT_EQ(Num(sum), 3001);
  for (int i = 0; i < 100000; ++i) sum += "+1";
  EXPECT_EQ(ParseFormula(sum, book.limits()).error, "formula too long");
}

TEST_F(CalcTest, ReferencesReadCellsOfAnySheet) {
  Fill(data, 0, {1, 2, 3, 4});
  data.SetText(4, 0, "text");
  Fill(other, 1, {10, 20});
  EXPECT_EQ(Num("A1+$A$2*A3"), 7);
  EXPECT_EQ(Num("SUM(A1:A5)"), 10);  // text in a range is skipped
  EXPECT_EQ(Num("SUM(A:A)"), 10);
  EXPECT_EQ(Num("'My data'!B1+SUM('My data'!B1:B2)"), 40);
  EXPECT_EQ(Num("Data!A4"), 4);
  EXPECT_EQ(Eval("Nowhere!A1"), Value::Error(ErrorCode::Ref));
  EXPECT_EQ(Num("B7+1"), 1);  // an empty cell is 0
  book.names().Define("Values", "Data!$A$1:$A$4", book.limits());
  EXPECT_EQ(Num("AVERAGE(Values)"), 2.5);
  EXPECT_EQ(Eval("NoSuchName"), Value::Error(ErrorCode::Name));
}

TEST_F(CalcTest, AggregatesAndStatistics) {
  Fill(data, 0, {2, 4, 4, 4, 5, 5, 7, 9});
  data.SetBoolean(8, 0, true);  // booleans in ranges are not numbers
  EXPECT_EQ(Num("COUNT(A1:A9)"), 8);
  EXPECT_EQ(Num("COUNTA(A1:A9,\"x\")"), 10);
  EXPECT_EQ(Num("AVERAGE(A1:A9)"), 5);
  EXPECT_EQ(Num("MEDIAN(A1:A8)"), 4.5);
  EXPECT_EQ(Num("MIN(A1:A8,-1)"), -1);
  EXPECT_EQ(Num("MAX(A1:A8)"), 9);
  EXPECT_NEAR(Num("VAR(A1:A8)"), 32.0 / 7, 1e-14);
  EXPECT_NEAR(Num("STDEV(A1:A8)"), std::sqrt(32.0 / 7), 1e-14);
  EXPECT_EQ(Num("SUM(1,TRUE,\"2\")"), 4);  // direct arguments are coerced
  EXPECT_EQ(Eval("SUM(1,\"x\")"), Value::Error(ErrorCode::Value));
  EXPECT_EQ(Eval("AVERAGE(C1:C5)"), Value::Error(ErrorCode::Div0));
  EXPECT_EQ(Eval("VAR(1)"), Value::Error(ErrorCode::Div0));
  data.SetError(9, 0, ErrorCode::NA);
  EXPECT_EQ(Eval("SUM(A1:A10)"), Value::Error(ErrorCode::NA));
  EXPECT_EQ(Num("COUNT(A1:A10)"), 8);
}

TEST_F(CalcTest, ScalarFunctionsLogicAndArrays) {
  EXPECT_EQ(Num("ROUND(2.675,2)"), 2.68);
  EXPECT_EQ(Num("ROUND(-2.5,0)"), -3);
  EXPECT_EQ(Num("ROUND(1234.5,-2)"), 1200);
  EXPECT_EQ(Eval("SQRT(-1)"), Value::Error(ErrorCode::Num));
  EXPECT_EQ(Eval("LN(0)"), Value::Error(ErrorCode::Num));
  EXPECT_NEAR(Num("EXP(LN(5))"), 5, 1e-14);
  EXPECT_EQ(Num("POWER(2,10)+ABS(-1)"), 1025);
  EXPECT_EQ(Num("IF(1>2,\"no\",7)"), 7);
  EXPECT_EQ(Eval("IF(FALSE,1)"), Value::Boolean(false));
  EXPECT_EQ(Eval("AND(TRUE,1,OR(FALSE,0))"), Value::Boolean(false));
  EXPECT_EQ(Eval("NOT(0)"), Value::Boolean(true));
  EXPECT_EQ(Eval("ISNUMBER(\"1\")"), Value::Boolean(false));
  EXPECT_EQ(Eval("ISBLANK(A1)"), Value::Boolean(true));
  data.SetText(0, 0, "");
  EXPECT_EQ(Eval("ISBLANK(A1)"), Value::Boolean(false));
  EXPECT_EQ(Num("INDEX({1,2;3,4},2,1)"), 3);
  EXPECT_EQ(Num("INDEX({5,6,7},3)"), 7);
  EXPECT_EQ(Num("ROWS({1,2;3,4;5,6})*COLUMNS(B2:D2)"), 9);
  EXPECT_EQ(Num("SUM({1,2;3,4}*10)"), 100);
  EXPECT_EQ(Num("SUM(IF({1,0,1},{1,2,3},0))"), 4);
  Fill(data, 1, {1, 2, 3});
  EXPECT_EQ(Num("INDEX(B1:B3,2)*10+SUM(INDEX(B1:B3,0,1))"), 26);
  EXPECT_EQ(Eval("INDEX(B1:B3,4)"), Value::Error(ErrorCode::Ref));
  EXPECT_EQ(Eval("NOSUCH(1)"), Value::Error(ErrorCode::Name));
  // Whole-sheet arrays are refused rather than made; whole-sheet sums read only stored cells.
  EXPECT_EQ(Eval("SUM(A:IV*2)"), Value::Error(ErrorCode::Num));
  EXPECT_EQ(Eval("SUM(IF(A:IV>0,1,0))"), Value::Error(ErrorCode::Num));
  EXPECT_EQ(Num("SUM(A:IV)"), 6);
}

TEST_F(CalcTest, RangeOperatorUnionsAndThreeDimensionalReferences) {
  Fill(data, 0, {1, 2, 3, 4, 5, 6});
  Fill(data, 1, {10, 20, 30});
  // The range operator between any two references: the box around both.
  EXPECT_EQ(Num("SUM(A1:INDEX(A:A,4))"), 10);
  EXPECT_EQ(Num("SUM(INDEX(A:A,2):INDEX(A:A,5))"), 14);
  EXPECT_EQ(Num("SUM(A2:(B1))"), 33);        // A1:B2
  EXPECT_EQ(Num("SUM(A1:A2:B3)"), 66);       // chained: A1:B3
  EXPECT_EQ(Num("-SUM(B3:A1)"), -66);        // written backwards
  EXPECT_EQ(Num("SUM(2:3)+ROWS(1:2)"), 57);  // whole rows
  EXPECT_EQ(Eval("SUM(A1:5)"), Value::Error(ErrorCode::Value));
  std::string chain = "SUM(A1";  // read an operator at a time, so a long chain is no trouble
  for (int i = 0; i < 3000; ++i) chain += ":A" + std::to_string(i % 6 + 1);
  EXPECT_EQ(Num(chain + ")"), 21);
  EXPECT_EQ(Eval("SUM(A1:'My data'!B2)"), Value::Error(ErrorCode::Value));
  // Unions in parentheses: aggregates read every area, a single value cannot be had.
  EXPECT_EQ(Num("SUM((A1:A2,B1:B3))"), 63);
  EXPECT_EQ(Num("COUNT((A1,B1,A1))+MAX((A:A,B2))"), 3 + 20);
  EXPECT_EQ(Num("INDEX((A1:A6,B1:B3),2,1,2)"), 20);
  EXPECT_EQ(Eval("INDEX((A1:A6,B1:B3),1,1,3)"), Value::Error(ErrorCode::Ref));
  EXPECT_EQ(Eval("ROWS((A1,B1))"), Value::Error(ErrorCode::Value));
  EXPECT_EQ(Eval("(A1,B1)+1"), Value::Error(ErrorCode::Value));
  EXPECT_EQ(Eval("SUM((A1,2))"), Value::Error(ErrorCode::Value));
  book.names().Define("Both", "Data!$A$1,Data!$B$1", book.limits());
  EXPECT_EQ(Num("SUM(Both)"), 11);
  // 3-D references: the same area on every sheet from the first to the last named.
  Sheet& third = book.AddSheet("Third");
  Fill(other, 0, {100});
  Fill(third, 0, {1000});
  EXPECT_EQ(Num("SUM(Data:Third!A1)"), 1101);
  EXPECT_EQ(Num("SUM(Third:Data!A1:A2)"), 1103);  // either end first
  EXPECT_EQ(Num("COUNT('Data:My data'!A1:A6)"), 7);
  EXPECT_EQ(Eval("SUM(Data:Nowhere!A1)"), Value::Error(ErrorCode::Ref));
  EXPECT_TRUE(UnknownPart(ParseFormula("SUM(Data:Third!A1)", book.limits()), &book, nullptr).empty());
}

// Random formulas of references, range operators, unions and calls, some with a stray piece put in:
// parsing always ends, and what parses evaluates and joins the graph without fault.
TEST_F(CalcTest, RandomReferenceFormulasParseEvaluateAndCalculateSafely) {
  Sheet& third = book.AddSheet("Third");
  Fill(data, 0, {1, 2, 3});
  Fill(third, 1, {4, 5});
  book.names().Define("Pair", "Data!$A$1,Third!$B$1:$B$2", book.limits());
  const char* refs[] = {"A1", "B2:C3", "$A$3", "1:2", "A:A", "Data:Third!A1:B2", "'My data'!B1", "Third!B2", "Pair"};
  const char* calls[] = {"SUM(", "INDEX(", "ROWS(", "COUNT(", "-(", "ISBLANK("};
  const char* strays[] = {":", ",", "(", ")", "!", "Data:", "2", " ", "#REF!"};
  uint32_t seed = 20261208;
  auto pick = [&](uint32_t n) { return ((seed = seed * 1664525u + 1013904223u) >> 8) % n; };
  std::function<std::string(int)> expr = [&](int depth) -> std::string {
    switch (depth > 3 ? 0 : pick(5)) {
      case 0: return refs[pick(std::size(refs))];
      case 1: return expr(depth + 1) + ":" + expr(depth + 1);
      case 2: return "(" + expr(depth + 1) + "," + expr(depth + 1) + ")";
      case 3: return std::string(calls[pick(std::size(calls))]) + expr(depth + 1) + (pick(2) ? ",2)" : ")");
      default: return expr(depth + 1) + (pick(2) ? "+" : "*") + expr(depth + 1);
    }
  };
  size_t parsed = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string text = expr(0);
    if (pick(4) == 0) text.insert(pick(uint32_t(text.size()) + 1), strays[pick(std::size(strays))]);
    Formula f = ParseFormula(text, book.limits());
    if (!f.ok) continue;
    ++parsed;
    Evaluate(f, {&book, &data, {20, 5}, nullptr});
    data.SetFormula(20 + uint32_t(i % 50), 5, text);
  }
  EXPECT_GT(parsed, 1000u);
  Calculator calc(book);
  CalcReport report = calc.RecalculateAll();
  EXPECT_EQ(report.calculated + report.kept.size() + report.circular.size(), calc.FormulaCount());
}

TEST_F(CalcTest, RangesUnionsAndThreeDimensionalReferencesFeedTheGraph) {
  Sheet& third = book.AddSheet("Third");
  Fill(data, 0, {1, 2, 3, 4});
  data.SetFormula(0, 2, "SUM(A1:INDEX(A:A,3))");
  data.SetFormula(1, 2, "SUM(A1:(A3))");
  data.SetFormula(2, 2, "SUM((A4,'My data'!B1))");
  data.SetFormula(3, 2, "SUM(Data:Third!A1)");
  Calculator calc(book);
  calc.RecalculateAll();
  EXPECT_EQ(data.GetValue(0, 2), Value::Number(6));
  EXPECT_EQ(data.GetValue(1, 2), Value::Number(6));
  data.SetNumber(1, 0, 20);  // A2 lies between the ends of both ranges
  EXPECT_EQ(calc.Recalculate(data, {{1, 0}}).calculated, 2u);
  EXPECT_EQ(data.GetValue(0, 2), Value::Number(24));
  EXPECT_EQ(data.GetValue(1, 2), Value::Number(24));
  other.SetNumber(0, 1, 5);
  EXPECT_EQ(calc.Recalculate(other, {{0, 1}}).calculated, 1u);
  EXPECT_EQ(data.GetValue(2, 2), Value::Number(9));
  third.SetNumber(0, 0, 100);
  EXPECT_EQ(calc.Recalculate(third, {{0, 0}}).calculated, 1u);
  EXPECT_EQ(data.GetValue(3, 2), Value::Number(101));
  // A block written at once recalculates what reads any of its cells.
  other.SetNumber(0, 0, 7);
  third.SetNumber(0, 0, 7);
  EXPECT_EQ(calc.RecalculateRanges(other, {{{0, 0}, {9, 1}}}).calculated, 2u);
  EXPECT_EQ(data.GetValue(3, 2), Value::Number(15));
}

TEST_F(CalcTest, RecalculatesInDependencyOrderAndOnlyDependents) {
  // Formulas entered out of order: C1 reads B1, which reads A1.
  data.SetFormula(0, 2, "B1*2");
  data.SetFormula(0, 1, "A1+1");
  data.SetFormula(0, 3, "SUM('My data'!A1:A3)");
  data.SetNumber(0, 0, 1);
  Fill(other, 0, {1, 2, 3});
  Calculator calc(book);
  CalcReport report = calc.RecalculateAll();
  EXPECT_EQ(report.calculated, 3u);
  EXPECT_EQ(data.GetValue(0, 2), Value::Number(4));
  EXPECT_EQ(data.GetValue(0, 3), Value::Number(6));

  data.SetNumber(0, 0, 10);
  report = calc.Recalculate(data, {{0, 0}});
  EXPECT_EQ(report.calculated, 2u);  // B1 and C1, not D1
  EXPECT_EQ(data.GetValue(0, 2), Value::Number(22));
  other.SetNumber(1, 0, 20);
  report = calc.Recalculate(other, {{1, 0}});
  EXPECT_EQ(report.calculated, 1u);
  EXPECT_EQ(data.GetValue(0, 3), Value::Number(24));
}

TEST_F(CalcTest, CircularReferencesGiveAnErrorWithoutHanging) {
  data.SetFormula(0, 0, "B1+1");
  data.SetFormula(0, 1, "A1+1");
  data.SetFormula(0, 2, "C1");
  data.SetFormula(0, 3, "SUM(D1:D2)");
  data.SetFormula(5, 0, "A1*2");  // after the cycle
  data.SetFormula(6, 0, "7");
  Calculator calc(book);
  CalcReport report = calc.RecalculateAll();
  EXPECT_EQ(report.calculated, 1u);
  EXPECT_EQ(report.circular.size(), 5u);
  for (auto [r, c] : {std::pair{0, 0}, {0, 1}, {0, 2}, {0, 3}, {5, 0}})
    EXPECT_EQ(data.GetValue(r, c), Value::Error(kCircularError)) << r << "," << c;
  EXPECT_EQ(data.GetValue(6, 0), Value::Number(7));
}

TEST_F(CalcTest, LongChainsNeedNoRecursion) {
  const uint32_t n = 60000;
  data.SetNumber(0, 0, 1);
  for (uint32_t r = 1; r < n; ++r) data.SetFormula(r, 0, "A" + std::to_string(r) + "+1");
  Calculator calc(book);
  CalcReport report = calc.RecalculateAll();
  EXPECT_EQ(report.calculated, n - 1);
  EXPECT_EQ(data.GetValue(n - 1, 0), Value::Number(n));
}

TEST_F(CalcTest, UnknownFunctionsKeepTheirCachedValue) {
  data.SetFormula(0, 0, "FANCY(1)+1", Value::Number(42));
  data.SetFormula(1, 0, "A1*2", Value::Number(0));
  data.SetFormula(2, 0, "[Other.xlsx]Sheet1!A1", Value::Text("kept"));
  Calculator calc(book);
  CalcReport report = calc.RecalculateAll();
  ASSERT_EQ(report.kept.size(), 2u);
  EXPECT_EQ(report.kept[0].why, "unknown function FANCY");
  EXPECT_EQ(data.GetValue(0, 0), Value::Number(42));
  EXPECT_EQ(data.GetValue(1, 0), Value::Number(84));  // computed from the kept value
  EXPECT_EQ(data.GetValue(2, 0), Value::Text("kept"));
  EXPECT_EQ(calc.NotCalculated(data, {0, 0}), "unknown function FANCY");
  EXPECT_EQ(calc.NotCalculated(data, {1, 0}), "");
  std::ostringstream shown;
  PrintNotCalculated(data, shown);
  EXPECT_EQ(shown.str(),
            "Not calculated here, the value saved in the file is shown:\n"
            "  A1 =FANCY(1)+1: unknown function FANCY\n"
            "  A3 =[Other.xlsx]Sheet1!A1: reference to another workbook\n");
}

TEST_F(CalcTest, ArrayFormulasFillTheirRangeAndFeedDependents) {
  Fill(data, 0, {1, 2, 3});
  data.SetArrayFormula({{0, 1}, {2, 1}}, "A1:A3*2");
  data.SetArrayFormula({{0, 2}, {0, 4}}, "{7,8}");
  data.SetFormula(4, 0, "SUM(B1:B3)+E1");
  Calculator calc(book);
  calc.RecalculateAll();
  EXPECT_EQ(data.GetValue(2, 1), Value::Number(6));
  EXPECT_EQ(data.GetValue(0, 3), Value::Number(8));
  EXPECT_EQ(data.GetValue(0, 4), Value::Error(ErrorCode::NA));
  EXPECT_EQ(data.GetValue(4, 0), Value::Error(ErrorCode::NA));
  data.SetNumber(1, 0, 5);
  calc.Recalculate(data, {{1, 0}});
  EXPECT_EQ(data.GetValue(1, 1), Value::Number(10));
  EXPECT_TRUE(data.Get(0, 1).HasFormula());
}

}  // namespace
}  // namespace sheets::calc

namespace sheets::calc {
namespace {

// The fixtures were calculated by LibreOffice (the make_lo_*.py scripts beside them): with the
// cached values of sheet "Calc" wiped, recalculation must give LibreOffice's values back.
void ExpectLibreOfficesValues(const std::string& file, size_t formulas) {
  auto book = ReadWorkbook(std::string(QS_SHEETS_DATA) + "/calc/" + file);
  Sheet& calc = *book->FindSheet("Calc");
  std::vector<std::pair<CellAddress, Value>> expected;
  calc.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
    if (v.HasFormula()) expected.push_back({{r, c}, v.ToValue()});
  });
  ASSERT_EQ(expected.size(), formulas);
  for (auto& [at, value] : expected) calc.SetCachedValue(at.row, at.col, Value::Text("stale"));
  Calculator calculator(*book);
  CalcReport report = calculator.RecalculateAll();
  EXPECT_EQ(report.calculated, formulas);
  EXPECT_TRUE(report.kept.empty() && report.circular.empty());
  for (auto& [at, value] : expected) {
    Value got = calc.GetValue(at.row, at.col);
    if (value.type == ValueType::Number && got.type == ValueType::Number)
      EXPECT_NEAR(got.number, value.number, 1e-12 * std::max(1.0, std::fabs(value.number))) << CellName(at);
    else
      EXPECT_EQ(got, value) << CellName(at);
  }
}

TEST(CalcAgainstLibreOffice, RecalculationGivesLibreOfficesCachedValues) {
  ExpectLibreOfficesValues("lo_formulas.xlsx", 25);
}

// Range operators between references, unions and 3-D references.
TEST(CalcAgainstLibreOffice, RangesUnionsAndThreeDimensionalReferencesAsLibreOffice) {
  ExpectLibreOfficesValues("lo_ranges.xlsx", 16);
}

}  // namespace
}  // namespace sheets::calc
