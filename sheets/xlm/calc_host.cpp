#include "sheets/xlm/calc_host.h"

#include "sheets/xlm/values.h"

namespace xlm {

using sheets::calc::Matrix;
using sheets::calc::Operand;

bool RegisteredFunctions::Has(const std::string& name) const {
  const Registered* r = host_.FindRegistered(name);
  return r && r->named && r->macroType != 2;
}

void RegisteredFunctions::ArgumentOf(const Operand& a, XLOPER* out) {
  constexpr uint32_t kRefRows = 65536, kRefCols = 256;  // what an XLREF can address
  if (a.kind == Operand::Kind::Scalar) {
    if (a.value.IsEmpty())
      SetMissing(out);
    else
      SetCellValue(out, a.value);
    return;
  }
  // Areas (a union's too, when all lie on one sheet) go as one reference of one or more areas.
  std::vector<sheets::calc::Area> areas = a.Areas();
  bool addressable = docs_ && !areas.empty();
  for (const sheets::calc::Area& area : areas)
    addressable =
        addressable && area.sheet == areas[0].sheet && area.range.last.row < kRefRows && area.range.last.col < kRefCols;
  if (addressable) {
    std::vector<XLREF> refs;
    for (const sheets::calc::Area& area : areas) {
      XLREF ref{};
      ref.rwFirst = static_cast<uint16_t>(area.range.first.row);
      ref.rwLast = static_cast<uint16_t>(area.range.last.row);
      ref.colFirst = static_cast<uint8_t>(area.range.first.col);
      ref.colLast = static_cast<uint8_t>(area.range.last.col);
      refs.push_back(ref);
    }
    SetRef(out, docs_->IdOf(areas[0].sheet), refs);
    return;
  }
  constexpr uint64_t kMaxArrayCells = 1'000'000;
  if (uint64_t(a.Rows()) * a.Cols() > kMaxArrayCells || a.kind == Operand::Kind::Union) {
    SetError(out, XLERR_VALUE);
    return;
  }
  Matrix m = sheets::calc::MatrixOf(a);
  std::vector<XLOPER> cells(m.values.size());
  for (size_t i = 0; i < m.values.size(); ++i) SetCellValue(&cells[i], m.values[i]);
  SetArray(out, static_cast<int>(m.rows), static_cast<int>(m.cols), cells);
}

Operand RegisteredFunctions::Call(const std::string& name, const std::vector<Operand>& args) {
  const Registered* r = host_.FindRegistered(name);
  if (!r) return Operand::Err(sheets::ErrorCode::Name);
  Registered copy = *r;  // the call may register or delete names
  std::vector<XLOPER> values(args.size());
  std::vector<const XLOPER*> pointers;
  for (size_t i = 0; i < args.size(); ++i) {
    ArgumentOf(args[i], &values[i]);
    pointers.push_back(&values[i]);
  }
  HostValue result;
  std::string error;
  bool ok = host_.CallRegistered(copy, pointers, &result.v, error);
  for (XLOPER& v : values) FreeValue(&v);
  if (!ok) {
    if (host_.report) host_.report(error);
    return Operand::Err(sheets::ErrorCode::Value);
  }
  if (TypeOf(&result.v) == XLTYPE_MULTI) {
    Table t = TableOf(&result.v);
    Matrix m;
    m.rows = static_cast<uint32_t>(t.rows);
    m.cols = static_cast<uint32_t>(t.columns);
    for (const XLOPER* cell : t.cells)
      m.values.push_back(ModelValue(cell).value_or(sheets::Value::Error(sheets::ErrorCode::Value)));
    return Operand::OfArray(std::move(m));
  }
  return Operand::Of(ModelValue(&result.v).value_or(sheets::Value::Error(sheets::ErrorCode::Value)));
}

sheets::calc::CalcReport Recalculate(sheets::Workbook& book, const sheets::Sheet* sheet,
                                     const std::vector<sheets::CellAddress>& changed) {
  Host& host = Host::Get();
  RegisteredFunctions functions(host, dynamic_cast<ModelDocuments*>(host.documents));
  sheets::calc::Calculator calc(book, &functions);
  if (!sheet || changed.empty()) return calc.RecalculateAll();
  return calc.Recalculate(*sheet, changed);
}

sheets::calc::CalcReport RecalculateWritten(sheets::Sheet& sheet, const std::vector<sheets::RangeAddress>& written) {
  if (!sheet.workbook() || written.empty()) return {};
  Host& host = Host::Get();
  RegisteredFunctions functions(host, dynamic_cast<ModelDocuments*>(host.documents));
  sheets::calc::Calculator calc(*sheet.workbook(), &functions);
  if (!calc.FormulaCount()) return {};
  return calc.RecalculateRanges(sheet, written);
}

bool EvaluateFormula(const std::string& text, XLOPER* result, std::string& error) {
  Host& host = Host::Get();
  auto* docs = dynamic_cast<ModelDocuments*>(host.documents);
  sheets::Sheet* sheet = docs ? docs->ActiveSheet() : nullptr;
  sheets::Workbook* book = sheet ? sheet->workbook() : nullptr;
  sheets::SheetLimits limits = sheet ? sheet->limits() : sheets::SheetLimits::ForVersion(host.ExcelVersion());
  sheets::calc::Formula f = sheets::calc::ParseFormula(text, limits);
  if (!f.ok) {
    error = "cannot evaluate \"" + text + "\": " + f.error;
    return false;
  }
  RegisteredFunctions functions(host, docs);
  sheets::calc::EvalContext ctx{book, sheet, sheet ? sheet->view().active_cell : sheets::CellAddress{}, &functions};
  Operand value = sheets::calc::Evaluate(f, ctx);
  if (value.kind == Operand::Kind::Scalar || (value.Rows() == 1 && value.Cols() == 1)) {
    SetCellValue(result, sheets::calc::ScalarOf(value));
    return true;
  }
  Matrix m = sheets::calc::MatrixOf(value);
  std::vector<XLOPER> cells(m.values.size());
  for (size_t i = 0; i < m.values.size(); ++i) SetCellValue(&cells[i], m.values[i]);
  SetArray(result, static_cast<int>(m.rows), static_cast<int>(m.cols), cells);
  return true;
}

std::string CellLabel(const sheets::calc::CalcProblem& p) {
  return sheets::FormatSheetPrefix({}, p.sheet ? p.sheet->name() : std::string()) + sheets::CellName(p.cell);
}

}  // namespace xlm
