// Calculation in the host: cell formulas are calculated by the sheet engine, and the functions
// add-ins register are called through their exports, as a worksheet cell calls them.
#pragma once

#include <string>
#include <vector>

#include "sheets/calc/calculator.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"

namespace xlm {

// The registered functions (not commands) of the host's add-ins, by their function text.
class RegisteredFunctions : public sheets::calc::ExternalFunctions {
 public:
  RegisteredFunctions(Host& host, ModelDocuments* docs) : host_(host), docs_(docs) {}
  bool Has(const std::string& name) const override;
  sheets::calc::Operand Call(const std::string& name, const std::vector<sheets::calc::Operand>& args) override;

 private:
  // An argument as the export receives it: areas as references (values when the area lies beyond
  // what a reference can address; a union on one sheet as a reference of several areas, on several
  // sheets #VALUE!), arrays as arrays, an empty argument as missing.
  void ArgumentOf(const sheets::calc::Operand& a, XLOPER* out);
  Host& host_;
  ModelDocuments* docs_;
};

// Recalculates a workbook of the host: everything when `changed` is empty, else what depends on
// the changed cells of `sheet` (formulas among them included).
sheets::calc::CalcReport Recalculate(sheets::Workbook& book, const sheets::Sheet* sheet = nullptr,
                                     const std::vector<sheets::CellAddress>& changed = {});
// After cells of `sheet` were written (by a person or an add-in: xlSet, CLEAR, PASTE.SPECIAL):
// recalculates the formulas among them and what depends on them.
sheets::calc::CalcReport RecalculateWritten(sheets::Sheet& sheet, const std::vector<sheets::RangeAddress>& written);

// Evaluates formula text ("=SUM(A1:A4)/2", "A.LU.PP(A1:A4,1,B1:B4)") on the active sheet (without
// a workbook open, references give #REF!). False with a message when the text is no formula.
bool EvaluateFormula(const std::string& text, XLOPER* result, std::string& error);

// What a report line calls a cell: "Sheet1!B3".
std::string CellLabel(const sheets::calc::CalcProblem& p);

}  // namespace xlm
