// Built-in worksheet functions: aggregates over areas and arrays, scalar mathematics applied element
// by element, logic, information and lookup into arrays.
#include "sheets/calc/builtins.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace sheets::calc {
namespace {

using Args = std::vector<Operand>;

bool IsError(const Value& v) { return v.type == ValueType::Error; }

// Calls fn(value, direct) for every value the arguments hold: each cell of an area or of every area
// of a union (empty ones skipped), each element of an array, each scalar argument (direct = true).
// Stops when fn is false.
template <typename Fn>
void ForEachValue(const Args& args, Fn fn) {
  for (const Operand& a : args) {
    if (a.kind == Operand::Kind::Scalar) {
      if (!fn(a.value, true)) return;
    } else if (a.kind == Operand::Kind::Array) {
      for (const Value& v : a.array->values)
        if (!fn(v, false)) return;
    } else {
      bool go = true;
      for (const Area& area : a.Areas()) {
        area.sheet->ForEachCellIn(area.range, [&](uint32_t, uint32_t, const CellView& c) {
          if (go && c.type != ValueType::Empty) go = fn(c.ToValue(), false);
        });
        if (!go) return;
      }
    }
  }
}

// The numbers aggregates use: numbers in areas and arrays, numbers, booleans and numeric text given
// directly. The first error met, or #VALUE! for a direct non-numeric text, is returned instead.
std::optional<Value> CollectNumbers(const Args& args, std::vector<double>& out) {
  std::optional<Value> error;
  ForEachValue(args, [&](const Value& v, bool direct) {
    if (IsError(v)) return error = v, false;
    if (v.type == ValueType::Number)
      out.push_back(v.number);
    else if (direct && !v.IsEmpty()) {
      auto n = NumberOf(v);
      if (!n) return error = Value::Error(ErrorCode::Value), false;
      out.push_back(*n);
    }
    return true;
  });
  return error;
}

// An aggregate over the collected numbers.
template <typename Fn>
Operand Aggregate(const Args& args, Fn fn) {
  std::vector<double> xs;
  if (auto e = CollectNumbers(args, xs)) return Operand::Of(*e);
  Value v = fn(xs);
  if (v.type == ValueType::Number && !std::isfinite(v.number)) v = Value::Error(ErrorCode::Num);
  return Operand::Of(v);
}

Value Num(double x) { return Value::Number(x); }
Value Err(ErrorCode e) { return Value::Error(e); }

double Sum(const std::vector<double>& xs) {
  double s = 0;
  for (double x : xs) s += x;
  return s;
}

Value Variance(const std::vector<double>& xs, bool sample) {
  size_t n = xs.size();
  if (n < (sample ? 2u : 1u)) return Err(ErrorCode::Div0);
  double mean = Sum(xs) / double(n), ss = 0;
  for (double x : xs) ss += (x - mean) * (x - mean);
  return Num(ss / double(sample ? n - 1 : n));
}

Operand FnSum(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) { return Num(Sum(xs)); });
}
Operand FnAverage(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) { return xs.empty() ? Err(ErrorCode::Div0) : Num(Sum(xs) / double(xs.size())); });
}
Operand FnMin(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) { return Num(xs.empty() ? 0 : *std::min_element(xs.begin(), xs.end())); });
}
Operand FnMax(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) { return Num(xs.empty() ? 0 : *std::max_element(xs.begin(), xs.end())); });
}
Operand FnProduct(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) {
    double p = xs.empty() ? 0 : 1;
    for (double x : xs) p *= x;
    return Num(p);
  });
}
Operand FnSumSq(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) {
    double s = 0;
    for (double x : xs) s += x * x;
    return Num(s);
  });
}
Operand FnVar(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) { return Variance(xs, true); });
}
Operand FnVarP(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) { return Variance(xs, false); });
}
Operand FnStdev(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) {
    Value v = Variance(xs, true);
    return IsError(v) ? v : Num(std::sqrt(v.number));
  });
}
Operand FnStdevP(const Args& a, const EvalContext&) {
  return Aggregate(a, [](auto& xs) {
    Value v = Variance(xs, false);
    return IsError(v) ? v : Num(std::sqrt(v.number));
  });
}
Operand FnMedian(const Args& a, const EvalContext&) {
  return Aggregate(a, [](std::vector<double>& xs) {
    if (xs.empty()) return Err(ErrorCode::Num);
    std::sort(xs.begin(), xs.end());
    size_t n = xs.size();
    return Num(n % 2 ? xs[n / 2] : (xs[n / 2 - 1] + xs[n / 2]) / 2);
  });
}

Operand FnCount(const Args& args, const EvalContext&) {
  double n = 0;
  ForEachValue(args, [&](const Value& v, bool direct) {
    if (v.type == ValueType::Number || (direct && !v.IsEmpty() && !IsError(v) && NumberOf(v))) ++n;
    return true;
  });
  return Operand::Of(Num(n));
}
Operand FnCountA(const Args& args, const EvalContext&) {
  double n = 0;
  ForEachValue(args, [&](const Value& v, bool) {
    if (!v.IsEmpty()) ++n;
    return true;
  });
  return Operand::Of(Num(n));
}

// ---- element-wise mathematics ----

template <typename Fn>
Operand Math1(const Args& a, Fn fn) {
  if (a.size() != 1) return Operand::Err(ErrorCode::Value);
  return Map(a[0], nullptr, [&](const Value& v, const Value&) {
    if (IsError(v)) return v;
    auto x = NumberOf(v);
    if (!x) return Err(ErrorCode::Value);
    double r = fn(*x);
    return std::isfinite(r) ? Num(r) : Err(ErrorCode::Num);
  });
}

template <typename Fn>
Operand Math2(const Args& a, Fn fn) {
  if (a.size() != 2) return Operand::Err(ErrorCode::Value);
  return Map(a[0], &a[1], [&](const Value& v, const Value& w) {
    if (IsError(v)) return v;
    if (IsError(w)) return w;
    auto x = NumberOf(v), y = NumberOf(w);
    if (!x || !y) return Err(ErrorCode::Value);
    return fn(*x, *y);
  });
}

double RoundTo(double x, double digits) {
  double scale = std::pow(10.0, std::trunc(digits));
  // Through 15 significant digits first, so 2.675 (stored as 2.67499..) rounds as written.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", x * scale);
  return std::round(std::strtod(buf, nullptr)) / scale;
}

Operand FnAbs(const Args& a, const EvalContext&) {
  return Math1(a, [](double x) { return std::fabs(x); });
}
Operand FnSqrt(const Args& a, const EvalContext&) {
  return Math1(a, [](double x) { return x < 0 ? NAN : std::sqrt(x); });
}
Operand FnLn(const Args& a, const EvalContext&) {
  return Math1(a, [](double x) { return x <= 0 ? NAN : std::log(x); });
}
Operand FnLog10(const Args& a, const EvalContext&) {
  return Math1(a, [](double x) { return x <= 0 ? NAN : std::log10(x); });
}
Operand FnExp(const Args& a, const EvalContext&) {
  return Math1(a, [](double x) { return std::exp(x); });
}
Operand FnInt(const Args& a, const EvalContext&) {
  return Math1(a, [](double x) { return std::floor(x); });
}
Operand FnRound(const Args& a, const EvalContext&) {
  return Math2(a, [](double x, double d) {
    double r = RoundTo(x, d);
    return std::isfinite(r) ? Num(r) : Err(ErrorCode::Num);
  });
}
Operand FnPower(const Args& a, const EvalContext&) {
  return Math2(a, [](double x, double y) {
    if (x == 0 && y <= 0) return Err(y == 0 ? ErrorCode::Num : ErrorCode::Div0);
    double r = std::pow(x, y);
    return std::isfinite(r) ? Num(r) : Err(ErrorCode::Num);
  });
}
Operand FnMod(const Args& a, const EvalContext&) {
  return Math2(a, [](double x, double y) {
    if (y == 0) return Err(ErrorCode::Div0);
    return Num(x - y * std::floor(x / y));
  });
}
Operand FnPi(const Args& a, const EvalContext&) {
  return a.empty() ? Operand::Of(Num(3.14159265358979323846)) : Operand::Err(ErrorCode::Value);
}

// ---- logic ----

std::optional<bool> Truth(const Value& v) {
  if (v.type == ValueType::Boolean) return v.boolean;
  if (v.type == ValueType::Number) return v.number != 0;
  if (v.IsEmpty()) return false;
  if (v.type == ValueType::Text) {
    if (v.text == "TRUE" || v.text == "true") return true;
    if (v.text == "FALSE" || v.text == "false") return false;
  }
  return std::nullopt;
}

Operand FnIf(const Args& a, const EvalContext&) {
  if (a.size() < 2 || a.size() > 3) return Operand::Err(ErrorCode::Value);
  auto pick = [&](const Value& cond, uint32_t r, uint32_t c) -> Value {
    if (IsError(cond)) return cond;
    auto t = Truth(cond);
    if (!t) return Err(ErrorCode::Value);
    if (*t) return a[1].At(a[1].Rows() == 1 ? 0 : r, a[1].Cols() == 1 ? 0 : c);
    if (a.size() < 3) return Value::Boolean(false);
    return a[2].At(a[2].Rows() == 1 ? 0 : r, a[2].Cols() == 1 ? 0 : c);
  };
  const Operand& cond = a[0];
  if (cond.Rows() == 1 && cond.Cols() == 1) {
    auto t = Truth(ScalarOf(cond));
    if (IsError(ScalarOf(cond)) || !t) return Operand::Of(pick(ScalarOf(cond), 0, 0));
    if (*t) return a[1];
    return a.size() < 3 ? Operand::Of(Value::Boolean(false)) : a[2];
  }
  if (uint64_t(cond.Rows()) * cond.Cols() > kMaxArrayElements) return Operand::Err(ErrorCode::Num);
  Matrix m;
  m.rows = cond.Rows();
  m.cols = cond.Cols();
  for (uint32_t r = 0; r < m.rows; ++r)
    for (uint32_t c = 0; c < m.cols; ++c) m.values.push_back(pick(cond.At(r, c), r, c));
  return Operand::OfArray(std::move(m));
}

Operand Logical(const Args& args, bool isAnd) {
  std::optional<bool> result;
  std::optional<Value> error;
  ForEachValue(args, [&](const Value& v, bool direct) {
    if (IsError(v)) return error = v, false;
    if (v.type == ValueType::Text && !direct) return true;
    auto t = Truth(v);
    if (!t) return error = Err(ErrorCode::Value), false;
    result = result ? (isAnd ? (*result && *t) : (*result || *t)) : *t;
    return true;
  });
  if (error) return Operand::Of(*error);
  return result ? Operand::Of(Value::Boolean(*result)) : Operand::Err(ErrorCode::Value);
}
Operand FnAnd(const Args& a, const EvalContext&) { return Logical(a, true); }
Operand FnOr(const Args& a, const EvalContext&) { return Logical(a, false); }
Operand FnNot(const Args& a, const EvalContext&) {
  if (a.size() != 1) return Operand::Err(ErrorCode::Value);
  return Map(a[0], nullptr, [](const Value& v, const Value&) {
    if (IsError(v)) return v;
    auto t = Truth(v);
    return t ? Value::Boolean(!*t) : Err(ErrorCode::Value);
  });
}
Operand FnIfError(const Args& a, const EvalContext&) {
  if (a.size() != 2) return Operand::Err(ErrorCode::Value);
  return Map(a[0], &a[1], [](const Value& v, const Value& w) { return IsError(v) ? w : v; });
}

// ---- information ----

template <typename Fn>
Operand Is(const Args& a, Fn test) {
  if (a.size() != 1) return Operand::Err(ErrorCode::Value);
  return Map(a[0], nullptr, [&](const Value& v, const Value&) { return Value::Boolean(test(v)); });
}
Operand FnIsNumber(const Args& a, const EvalContext&) {
  return Is(a, [](const Value& v) { return v.type == ValueType::Number; });
}
Operand FnIsText(const Args& a, const EvalContext&) {
  return Is(a, [](const Value& v) { return v.type == ValueType::Text; });
}
Operand FnIsError(const Args& a, const EvalContext&) {
  return Is(a, [](const Value& v) { return IsError(v); });
}
Operand FnIsNA(const Args& a, const EvalContext&) {
  return Is(a, [](const Value& v) { return IsError(v) && v.error == ErrorCode::NA; });
}
Operand FnIsBlank(const Args& a, const EvalContext&) {
  // Only a cell can be blank; an empty argument written in the call is not a cell.
  if (a.size() != 1 || a[0].kind == Operand::Kind::Scalar) return Operand::Of(Value::Boolean(false));
  return Is(a, [](const Value& v) { return v.IsEmpty(); });
}
Operand FnNA(const Args& a, const EvalContext&) { return Operand::Err(a.empty() ? ErrorCode::NA : ErrorCode::Value); }

// ---- arrays ----

// ROWS and COLUMNS of a union of areas have no answer: #VALUE!.
Operand FnRows(const Args& a, const EvalContext&) {
  if (a.size() != 1) return Operand::Err(ErrorCode::Value);
  return a[0].kind == Operand::Kind::Union ? Operand::Err(ErrorCode::Value) : Operand::Of(Num(a[0].Rows()));
}
Operand FnColumns(const Args& a, const EvalContext&) {
  if (a.size() != 1) return Operand::Err(ErrorCode::Value);
  return a[0].kind == Operand::Kind::Union ? Operand::Err(ErrorCode::Value) : Operand::Of(Num(a[0].Cols()));
}

// INDEX(array, row, [column], [area]): one element, or a whole row or column when that number is 0.
// An area gives back an area (a reference), so INDEX(A1:B9,2,1):... reads as a cell; of a union,
// the area-th area (1 when not given) is the one indexed.
Operand FnIndex(const Args& a, const EvalContext&) {
  if (a.size() < 2 || a.size() > 4) return Operand::Err(ErrorCode::Value);
  auto number = [&](size_t i) -> std::optional<double> {
    if (i >= a.size()) return 0.0;
    Value v = ScalarOf(a[i]);
    return v.IsEmpty() ? std::optional<double>(0.0) : NumberOf(v);
  };
  auto r = number(1), c = number(2), k = number(3);
  if (!r || !c || !k || *r < 0 || *c < 0 || *k < 0) return Operand::Err(ErrorCode::Value);
  std::vector<Area> areas = a[0].Areas();
  size_t which = *k >= 1 ? size_t(*k) : 1;
  if ((a.size() == 4 || a[0].kind == Operand::Kind::Union) && which > std::max<size_t>(areas.size(), 1))
    return Operand::Err(ErrorCode::Ref);
  const Operand src =
      a[0].kind == Operand::Kind::Union ? Operand::OfArea(areas[which - 1].sheet, areas[which - 1].range) : a[0];
  uint32_t row = uint32_t(*r), col = uint32_t(*c);
  if (a.size() == 2 && src.Rows() == 1) std::swap(row, col);  // INDEX(one row, n) counts columns
  if (a.size() == 2 && src.Cols() == 1 && col == 0) col = 1;
  if (row > src.Rows() || col > src.Cols()) return Operand::Err(ErrorCode::Ref);
  uint32_t r0 = row ? row - 1 : 0, r1 = row ? row - 1 : src.Rows() - 1;
  uint32_t c0 = col ? col - 1 : 0, c1 = col ? col - 1 : src.Cols() - 1;
  if (src.kind == Operand::Kind::Area) {
    const CellAddress& f = src.area.range.first;
    return Operand::OfArea(src.area.sheet, {{f.row + r0, f.col + c0}, {f.row + r1, f.col + c1}});
  }
  if (uint64_t(r1 - r0 + 1) * (c1 - c0 + 1) > kMaxArrayElements) return Operand::Err(ErrorCode::Num);
  Matrix m;
  m.rows = r1 - r0 + 1;
  m.cols = c1 - c0 + 1;
  for (uint32_t i = r0; i <= r1; ++i)
    for (uint32_t j = c0; j <= c1; ++j) m.values.push_back(src.At(i, j));
  return m.values.size() == 1 ? Operand::Of(m.values[0]) : Operand::OfArray(std::move(m));
}

const std::map<std::string, Builtin, std::less<>>& Table() {
  static const std::map<std::string, Builtin, std::less<>> table = {
      {"ABS", FnAbs},         {"AND", FnAnd},       {"AVERAGE", FnAverage},
      {"COLUMNS", FnColumns}, {"COUNT", FnCount},   {"COUNTA", FnCountA},
      {"EXP", FnExp},         {"IF", FnIf},         {"IFERROR", FnIfError},
      {"INDEX", FnIndex},     {"INT", FnInt},       {"ISBLANK", FnIsBlank},
      {"ISERROR", FnIsError}, {"ISNA", FnIsNA},     {"ISNUMBER", FnIsNumber},
      {"ISTEXT", FnIsText},   {"LN", FnLn},         {"LOG10", FnLog10},
      {"MAX", FnMax},         {"MEDIAN", FnMedian}, {"MIN", FnMin},
      {"MOD", FnMod},         {"NA", FnNA},         {"NOT", FnNot},
      {"OR", FnOr},           {"PI", FnPi},         {"POWER", FnPower},
      {"PRODUCT", FnProduct}, {"ROUND", FnRound},   {"ROWS", FnRows},
      {"SQRT", FnSqrt},       {"STDEV", FnStdev},   {"STDEVP", FnStdevP},
      {"SUM", FnSum},         {"SUMSQ", FnSumSq},   {"VAR", FnVar},
      {"VARP", FnVarP},       {"STDEV.S", FnStdev}, {"STDEV.P", FnStdevP},
      {"VAR.S", FnVar},       {"VAR.P", FnVarP},
  };
  return table;
}

}  // namespace

Builtin FindBuiltin(std::string_view name) {
  constexpr std::string_view kFuturePrefix = "_XLFN.";
  if (name.substr(0, kFuturePrefix.size()) == kFuturePrefix) name.remove_prefix(kFuturePrefix.size());
  auto it = Table().find(name);
  return it == Table().end() ? nullptr : it->second;
}

}  // namespace sheets::calc
