// Recalculating a workbook: every formula cell parsed once, a dependency graph between formula
// cells (through the cells and ranges they refer to, on any sheet of the workbook), and evaluation in
// dependency order, so each formula reads the fresh values of the formulas it depends on.
//
//   sheets::calc::Calculator calc(book, &addinFunctions);
//   auto report = calc.RecalculateAll();            // after reading a file
//   sheet.SetNumber(0, 0, 5);
//   calc.Recalculate(sheet, {{0, 0}});              // just what depends on A1
//
// A formula that cannot be calculated here (a function neither built in nor supplied, a name that
// is no reference, unreadable text) keeps the value the file carries, and is listed in the report.
// Formulas in a circular chain, and formulas that depend on one, get #REF! and are listed; the
// evaluation order is found without recursion, so long chains and cycles never hang or overflow.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sheets/calc/eval.h"

namespace sheets::calc {

struct CalcProblem {
  const Sheet* sheet = nullptr;
  CellAddress cell;
  std::string why;
};

struct CalcReport {
  size_t calculated = 0;
  std::vector<CalcProblem> kept;      // not calculated: the cached value stays
  std::vector<CalcProblem> circular;  // in or after a circular reference: #REF!
};

// The value a circular reference gives.
inline constexpr ErrorCode kCircularError = ErrorCode::Ref;

class Calculator {
 public:
  // Parses every formula of the workbook and builds the graph; call Rebuild after formulas change.
  explicit Calculator(Workbook& book, ExternalFunctions* external = nullptr);
  void Rebuild();

  CalcReport RecalculateAll();
  // Recalculates the formulas that depend, directly or not, on the given cells of sheet (and the
  // cells themselves when they hold formulas).
  CalcReport Recalculate(const Sheet& sheet, const std::vector<CellAddress>& changed);
  // The same for whole ranges of changed cells (a block written at once).
  CalcReport RecalculateRanges(const Sheet& sheet, const std::vector<RangeAddress>& changed);

  // Why the formula of a cell is not calculated; empty when it is (or holds no formula).
  std::string NotCalculated(const Sheet& sheet, CellAddress cell) const;
  size_t FormulaCount() const { return cells_.size(); }

 private:
  struct Precedent {
    uint32_t sheet;
    RangeAddress range;
  };
  struct FormulaCell {
    uint32_t sheet;
    RangeAddress range;  // the cell, or an array formula's whole range
    bool array = false;
    Formula formula;
    std::string unknown;
    std::vector<Precedent> precedents;
  };
  using ColumnIndex = std::map<uint32_t, std::vector<std::pair<uint32_t, uint32_t>>>;  // col -> (row, id)

  void AddFormula(uint32_t sheet, const RangeAddress& range, bool array, std::string_view text);
  void CollectPrecedents(FormulaCell& fc);
  template <typename Fn>
  void ForEachFormulaIn(uint32_t sheet, const RangeAddress& range, Fn fn) const;
  void BuildEdges();
  CalcReport Run(const std::vector<uint32_t>& ids);
  void Store(const FormulaCell& fc, const Operand& result);

  Workbook& book_;
  ExternalFunctions* external_;
  std::vector<FormulaCell> cells_;
  std::vector<ColumnIndex> index_;                 // per sheet
  std::vector<std::vector<uint32_t>> dependents_;  // id -> ids that read it
};

}  // namespace sheets::calc
