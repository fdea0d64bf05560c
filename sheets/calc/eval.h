// Evaluating parsed formulas against a workbook: operands (values, arrays, areas of cells), the
// built-in functions and the hook through which the host supplies the functions add-ins register.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sheets/calc/formula.h"
#include "sheets/model/sheet.h"
#include "sheets/model/workbook.h"

namespace sheets::calc {

// Largest array an expression may make (elements), so that A:XFD*2 gives #NUM! instead of
// exhausting memory.
inline constexpr uint64_t kMaxArrayElements = uint64_t(1) << 22;

struct Matrix {
  uint32_t rows = 0, cols = 0;
  std::vector<Value> values;  // row by row
  const Value& At(uint32_t r, uint32_t c) const { return values[size_t(r) * cols + c]; }
};

// A rectangle of cells on one sheet.
struct Area {
  const Sheet* sheet = nullptr;
  RangeAddress range;
};

// What an expression gives: one value, an array of values, an area of cells, or several areas (a
// union (A1:A3,C1:C3) or a 3-D reference Sheet1:Sheet3!A1, possibly on several sheets).
struct Operand {
  enum class Kind : uint8_t { Scalar, Array, Area, Union };
  Kind kind = Kind::Scalar;
  Value value;
  std::shared_ptr<const Matrix> array;
  Area area;
  std::shared_ptr<const std::vector<Area>> areas;  // Union

  static Operand Of(Value v) {
    Operand o;
    o.value = std::move(v);
    return o;
  }
  static Operand OfArray(Matrix m);
  static Operand OfArea(const Sheet* sheet, const RangeAddress& range);
  // One area gives an Area operand, more a Union.
  static Operand OfAreas(std::vector<Area> areas);
  static Operand Err(ErrorCode e) { return Of(Value::Error(e)); }
  // The areas of an Area or Union operand (empty for values and arrays).
  std::vector<Area> Areas() const;
  // A union counts as one element that is #VALUE!, as it reads where one value is wanted.
  uint32_t Rows() const;
  uint32_t Cols() const;
  // Element (r, c); a scalar is the same at every position, outside an array or area gives #N/A.
  Value At(uint32_t r, uint32_t c) const;
};

// Functions the evaluator does not have itself (add-in functions).
class ExternalFunctions {
 public:
  virtual ~ExternalFunctions() = default;
  virtual bool Has(const std::string& name) const = 0;
  virtual Operand Call(const std::string& name, const std::vector<Operand>& args) = 0;
};

struct EvalContext {
  const Workbook* book = nullptr;  // may be null: references then give #REF!
  const Sheet* sheet = nullptr;    // the formula's sheet
  CellAddress cell;
  ExternalFunctions* external = nullptr;
};

Operand Evaluate(const Formula& formula, const EvalContext& context);

// The value a formula shows in one cell: the top-left element of an array or area.
Value ScalarOf(const Operand& operand);
// Every element as a matrix (an area read cell by cell).
Matrix MatrixOf(const Operand& operand);

// True for the functions the evaluator calculates itself ("SUM"; a "_xlfn." prefix is ignored).
bool IsBuiltinFunction(std::string_view name);

// Why a formula cannot be calculated here: its first function that neither the evaluator nor
// `external` knows, or its first name that is not a defined reference; empty when it can.
std::string UnknownPart(const Formula& formula, const Workbook* book, const ExternalFunctions* external);

// The sheet a reference names, seen from `from` (empty sheet name: `from` itself); null when the
// reference is external, spans several sheets or the sheet does not exist.
const Sheet* SheetOfReference(const Reference& ref, const Workbook* book, const Sheet* from);
// Every sheet a reference names, in workbook order: the one of SheetOfReference, or those from the
// first to the last sheet of a 3-D reference (either may be named first). Empty when a sheet does
// not exist or the reference is external.
std::vector<const Sheet*> SheetsOfReference(const Reference& ref, const Workbook* book, const Sheet* from);
// The cells a reference covers on a sheet: whole rows and columns reach the sheet's edge.
RangeAddress RangeOnSheet(const Reference& ref, const Sheet& sheet);

// Applies fn element by element over one or two operands (b may be null), as arrays do in
// formulas: a single row or column is repeated to the other's size; a scalar stays a scalar.
Operand Map(const Operand& a, const Operand* b, const std::function<Value(const Value&, const Value&)>& fn);

// Number coercion as operators apply it: numbers, booleans (1/0), empty (0), numeric text.
std::optional<double> NumberOf(const Value& v);

}  // namespace sheets::calc
