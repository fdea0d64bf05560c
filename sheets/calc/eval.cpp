// The evaluator: walks a formula's nodes, reading cells through the workbook model, applying the
// operators element by element and calling built-in or external functions.
#include "sheets/calc/eval.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sheets/calc/builtins.h"

namespace sheets::calc {

Operand Operand::OfArray(Matrix m) {
  Operand o;
  o.kind = Kind::Array;
  o.array = std::make_shared<const Matrix>(std::move(m));
  return o;
}

Operand Operand::OfArea(const Sheet* sheet, const RangeAddress& range) {
  Operand o;
  o.kind = Kind::Area;
  o.area = {sheet, range};
  return o;
}

Operand Operand::OfAreas(std::vector<Area> list) {
  if (list.size() == 1) return OfArea(list[0].sheet, list[0].range);
  Operand o;
  o.kind = Kind::Union;
  o.areas = std::make_shared<const std::vector<Area>>(std::move(list));
  return o;
}

std::vector<Area> Operand::Areas() const {
  if (kind == Kind::Area) return {area};
  if (kind == Kind::Union) return *areas;
  return {};
}

uint32_t Operand::Rows() const {
  return kind == Kind::Array ? array->rows : kind == Kind::Area ? area.range.Rows() : 1;
}
uint32_t Operand::Cols() const {
  return kind == Kind::Array ? array->cols : kind == Kind::Area ? area.range.Cols() : 1;
}

Value Operand::At(uint32_t r, uint32_t c) const {
  if (kind == Kind::Scalar) return value;
  if (kind == Kind::Union) return Value::Error(ErrorCode::Value);
  if (r >= Rows() || c >= Cols()) return Value::Error(ErrorCode::NA);
  if (kind == Kind::Array) return array->At(r, c);
  return area.sheet->GetValue(area.range.first.row + r, area.range.first.col + c);
}

Value ScalarOf(const Operand& operand) { return operand.At(0, 0); }

Matrix MatrixOf(const Operand& operand) {
  if (operand.kind == Operand::Kind::Array) return *operand.array;
  Matrix m;
  if (uint64_t(operand.Rows()) * operand.Cols() > kMaxArrayElements || operand.kind == Operand::Kind::Union) {
    m.rows = m.cols = 1;
    m.values = {Value::Error(operand.kind == Operand::Kind::Union ? ErrorCode::Value : ErrorCode::Num)};
    return m;
  }
  m.rows = operand.Rows();
  m.cols = operand.Cols();
  m.values.resize(size_t(m.rows) * m.cols);
  if (operand.kind != Operand::Kind::Area) {
    m.values[0] = operand.value;
    return m;
  }
  const RangeAddress& r = operand.area.range;
  operand.area.sheet->ForEachCellIn(r, [&](uint32_t row, uint32_t col, const CellView& v) {
    m.values[size_t(row - r.first.row) * m.cols + (col - r.first.col)] = v.ToValue();
  });
  return m;
}

std::optional<double> NumberOf(const Value& v) {
  switch (v.type) {
    case ValueType::Number: return v.number;
    case ValueType::Boolean: return v.boolean ? 1.0 : 0.0;
    case ValueType::Empty: return 0.0;
    case ValueType::Text: {
      size_t a = v.text.find_first_not_of(' '), b = v.text.find_last_not_of(' ');
      if (a == std::string::npos) return std::nullopt;
      return ParseNumberText(std::string_view(v.text).substr(a, b - a + 1));
    }
    default: return std::nullopt;
  }
}

bool IsBuiltinFunction(std::string_view name) { return FindBuiltin(name) != nullptr; }

const Sheet* SheetOfReference(const Reference& ref, const Workbook* book, const Sheet* from) {
  if (ref.IsExternal() || !ref.last_sheet.empty()) return nullptr;
  if (ref.sheet.empty()) return from;
  return book ? book->FindSheet(ref.sheet) : nullptr;
}

std::vector<const Sheet*> SheetsOfReference(const Reference& ref, const Workbook* book, const Sheet* from) {
  if (ref.last_sheet.empty()) {
    const Sheet* one = SheetOfReference(ref, book, from);
    return one ? std::vector<const Sheet*>{one} : std::vector<const Sheet*>{};
  }
  if (ref.IsExternal() || !book) return {};
  int a = book->SheetIndex(book->FindSheet(ref.sheet)), b = book->SheetIndex(book->FindSheet(ref.last_sheet));
  if (a < 0 || b < 0) return {};
  std::vector<const Sheet*> sheets;
  for (int i = std::min(a, b); i <= std::max(a, b); ++i) sheets.push_back(&book->sheet(size_t(i)));
  return sheets;
}

RangeAddress RangeOnSheet(const Reference& ref, const Sheet& sheet) {
  RangeAddress r = ref.area.range;
  if (ref.area.kind == AreaRef::Kind::Columns) r.last.row = sheet.limits().rows - 1;
  if (ref.area.kind == AreaRef::Kind::Rows) r.last.col = sheet.limits().cols - 1;
  return r;
}

namespace {

// The references a defined name stands for (several for a union); null when it is no name of
// references.
const ReferenceList* NameReferences(const std::string& name, const Workbook* book, const Sheet* sheet) {
  const DefinedName* d = sheet ? sheet->names().Find(name) : nullptr;
  if (!d && book) d = book->names().Find(name);
  if (!d || d->kind != DefinedName::Kind::References || d->references.empty()) return nullptr;
  return &d->references;
}

std::string TextOf(const Value& v) {
  switch (v.type) {
    case ValueType::Number: {
      // As a cell shows it: at most 15 significant digits (0.1+0.2 joins as "0.3").
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.15G", v.number);
      return buf;
    }
    case ValueType::Text: return v.text;
    case ValueType::Boolean: return v.boolean ? "TRUE" : "FALSE";
    default: return {};
  }
}

int CompareNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i])), y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Orders values as comparisons do: numbers before texts before booleans; an empty value is 0, ""
// or FALSE as the other side needs.
int CompareValues(Value a, Value b) {
  auto rank = [](const Value& v) { return v.type == ValueType::Number ? 0 : v.type == ValueType::Text ? 1 : 2; };
  if (a.IsEmpty() && b.IsEmpty()) return 0;
  if (a.IsEmpty())
    a = b.type == ValueType::Text      ? Value::Text("")
        : b.type == ValueType::Boolean ? Value::Boolean(false)
                                       : Value::Number(0);
  if (b.IsEmpty())
    b = a.type == ValueType::Text      ? Value::Text("")
        : a.type == ValueType::Boolean ? Value::Boolean(false)
                                       : Value::Number(0);
  if (rank(a) != rank(b)) return rank(a) < rank(b) ? -1 : 1;
  if (a.type == ValueType::Number) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
  if (a.type == ValueType::Text) return CompareNoCase(a.text, b.text);
  return a.boolean == b.boolean ? 0 : a.boolean ? 1 : -1;
}

Value Arithmetic(char op, const Value& a, const Value& b) {
  if (a.type == ValueType::Error) return a;
  if (b.type == ValueType::Error) return b;
  auto x = NumberOf(a), y = NumberOf(b);
  if (!x || !y) return Value::Error(ErrorCode::Value);
  double r = 0;
  switch (op) {
    case '+': r = *x + *y; break;
    case '-': r = *x - *y; break;
    case '*': r = *x * *y; break;
    case '/':
      if (*y == 0) return Value::Error(ErrorCode::Div0);
      r = *x / *y;
      break;
    default:
      if (*x == 0 && *y <= 0) return Value::Error(*y == 0 ? ErrorCode::Num : ErrorCode::Div0);
      r = std::pow(*x, *y);
  }
  return std::isfinite(r) ? Value::Number(r) : Value::Error(ErrorCode::Num);
}

Value ApplyBinary(char op, const Value& a, const Value& b) {
  switch (op) {
    case '+':
    case '-':
    case '*':
    case '/':
    case '^': return Arithmetic(op, a, b);
    default: break;
  }
  if (a.type == ValueType::Error) return a;
  if (b.type == ValueType::Error) return b;
  if (op == '&') return Value::Text(TruncateUtf8(TextOf(a) + TextOf(b), kMaxCellTextBytes));
  int c = CompareValues(a, b);
  switch (op) {
    case '=': return Value::Boolean(c == 0);
    case 'n': return Value::Boolean(c != 0);
    case '<': return Value::Boolean(c < 0);
    case '>': return Value::Boolean(c > 0);
    case 'l': return Value::Boolean(c <= 0);
    default: return Value::Boolean(c >= 0);
  }
}

Value ApplyUnary(char op, const Value& a) {
  if (a.type == ValueType::Error) return a;
  auto x = NumberOf(a);
  if (!x) return Value::Error(ErrorCode::Value);
  return Value::Number(op == '-' ? -*x : op == '%' ? *x / 100 : *x);
}

bool IsScalarLike(const Operand& o) { return o.Rows() == 1 && o.Cols() == 1; }

// Element (r, c) with a single row or column repeated along the other direction.
Value Broadcast(const Operand& o, uint32_t r, uint32_t c) { return o.At(o.Rows() == 1 ? 0 : r, o.Cols() == 1 ? 0 : c); }

// Applies fn element by element over one or two operands, as arrays do in formulas.
template <typename Fn>
Operand Elementwise(const Operand& a, const Operand* b, Fn fn) {
  if (IsScalarLike(a) && (!b || IsScalarLike(*b))) return Operand::Of(fn(ScalarOf(a), b ? ScalarOf(*b) : Value()));
  Matrix m;
  m.rows = std::max(a.Rows(), b ? b->Rows() : 0u);
  m.cols = std::max(a.Cols(), b ? b->Cols() : 0u);
  if (uint64_t(m.rows) * m.cols > kMaxArrayElements) return Operand::Err(ErrorCode::Num);
  m.values.reserve(size_t(m.rows) * m.cols);
  for (uint32_t r = 0; r < m.rows; ++r)
    for (uint32_t c = 0; c < m.cols; ++c) m.values.push_back(fn(Broadcast(a, r, c), b ? Broadcast(*b, r, c) : Value()));
  return Operand::OfArray(std::move(m));
}

class Evaluator {
 public:
  Evaluator(const Formula& f, const EvalContext& ctx) : f_(f), ctx_(ctx) {}

  Operand Eval(uint32_t index) {
    const calc::Node& n = f_.nodes[index];
    switch (n.kind) {
      case NodeKind::Constant: return Operand::Of(n.constant);
      case NodeKind::Missing: return Operand::Of(Value());
      case NodeKind::Array: return ArrayOperand(f_.arrays[n.array]);
      case NodeKind::Ref: return RefOperand(n.ref);
      case NodeKind::Name: {
        const ReferenceList* refs = NameReferences(n.name, ctx_.book, ctx_.sheet);
        if (!refs) return Operand::Err(ErrorCode::Name);
        std::vector<Area> areas;
        for (const Reference& ref : *refs) {
          Operand one = RefOperand(ref);
          if (one.kind == Operand::Kind::Scalar) return one;  // #REF!
          for (const Area& area : one.Areas()) areas.push_back(area);
        }
        return Operand::OfAreas(std::move(areas));
      }
      case NodeKind::Unary: {
        Operand a = Eval(n.args[0]);
        return Elementwise(a, nullptr, [&](const Value& x, const Value&) { return ApplyUnary(n.op, x); });
      }
      case NodeKind::Binary: {
        Operand a = Eval(n.args[0]), b = Eval(n.args[1]);
        if (n.op == ':') return RangeBetween(a, b);
        if (n.op == ',') return UnionOf(a, b);
        return Elementwise(a, &b, [&](const Value& x, const Value& y) { return ApplyBinary(n.op, x, y); });
      }
      case NodeKind::Function: return Function(n);
    }
    return Operand::Err(ErrorCode::Value);
  }

 private:
  const Formula& f_;
  const EvalContext& ctx_;

  static Operand ArrayOperand(const ArrayConstant& a) {
    Matrix m;
    m.rows = a.rows;
    m.cols = a.cols;
    m.values = a.values;
    return Operand::OfArray(std::move(m));
  }

  // A reference's cells; a 3-D reference gives the area on each of its sheets (chart sheets among
  // them hold no cells and are passed over).
  Operand RefOperand(const Reference& ref) const {
    std::vector<Area> areas;
    for (const Sheet* sheet : SheetsOfReference(ref, ctx_.book, ctx_.sheet))
      if (sheet->IsWorksheet()) areas.push_back({sheet, RangeOnSheet(ref, *sheet)});
    if (areas.empty()) return Operand::Err(ErrorCode::Ref);
    return Operand::OfAreas(std::move(areas));
  }

  // The range operator: the smallest area holding both areas, which must lie on one sheet.
  static Operand RangeBetween(const Operand& a, const Operand& b) {
    if (a.kind == Operand::Kind::Scalar && a.value.type == ValueType::Error) return a;
    if (b.kind == Operand::Kind::Scalar && b.value.type == ValueType::Error) return b;
    if (a.kind != Operand::Kind::Area || b.kind != Operand::Kind::Area || a.area.sheet != b.area.sheet)
      return Operand::Err(ErrorCode::Value);
    const RangeAddress &x = a.area.range, &y = b.area.range;
    RangeAddress box{{std::min(x.first.row, y.first.row), std::min(x.first.col, y.first.col)},
                     {std::max(x.last.row, y.last.row), std::max(x.last.col, y.last.col)}};
    return Operand::OfArea(a.area.sheet, box);
  }

  // The union operator: the areas of both sides in order.
  static Operand UnionOf(const Operand& a, const Operand& b) {
    if (a.kind == Operand::Kind::Scalar && a.value.type == ValueType::Error) return a;
    if (b.kind == Operand::Kind::Scalar && b.value.type == ValueType::Error) return b;
    std::vector<Area> areas = a.Areas(), more = b.Areas();
    if (areas.empty() || more.empty()) return Operand::Err(ErrorCode::Value);
    areas.insert(areas.end(), more.begin(), more.end());
    return Operand::OfAreas(std::move(areas));
  }

  Operand Function(const calc::Node& n) {
    std::vector<Operand> args;
    args.reserve(n.args.size());
    for (uint32_t a : n.args) args.push_back(Eval(a));
    if (Builtin fn = FindBuiltin(n.name)) return fn(args, ctx_);
    if (ctx_.external && ctx_.external->Has(n.name)) return ctx_.external->Call(n.name, args);
    return Operand::Err(ErrorCode::Name);
  }
};

}  // namespace

Operand Map(const Operand& a, const Operand* b, const std::function<Value(const Value&, const Value&)>& fn) {
  return Elementwise(a, b, fn);
}

Operand Evaluate(const Formula& formula, const EvalContext& context) {
  if (!formula.ok || formula.nodes.empty()) return Operand::Err(ErrorCode::Name);
  return Evaluator(formula, context).Eval(formula.root);
}

std::string UnknownPart(const Formula& formula, const Workbook* book, const ExternalFunctions* external) {
  if (!formula.ok) return "unreadable formula: " + formula.error;
  for (const calc::Node& n : formula.nodes) {
    if (n.kind == NodeKind::Function && !FindBuiltin(n.name) && !(external && external->Has(n.name)))
      return "unknown function " + n.name;
    if (n.kind == NodeKind::Name && !NameReferences(n.name, book, nullptr)) {
      bool sheetName = false;
      if (book)
        for (size_t i = 0; i < book->sheet_count() && !sheetName; ++i)
          sheetName = book->sheet(i).names().Find(n.name) != nullptr;
      if (!sheetName) return "unknown name " + n.name;
    }
    if (n.kind == NodeKind::Ref && n.ref.IsExternal()) return "reference to another workbook";
  }
  return {};
}

}  // namespace sheets::calc
