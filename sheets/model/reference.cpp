#include "sheets/model/reference.h"

#include <algorithm>
#include <utility>

namespace sheets {

SheetLimits SheetLimits::ForVersion(int version) { return version >= 12 ? Large() : Classic(); }

AreaRef AreaRef::Absolute(const RangeAddress& r) {
  AreaRef a;
  a.range = r;
  a.kind = r.IsSingleCell() ? Kind::Cell : Kind::Range;
  a.first_row_abs = a.first_col_abs = a.last_row_abs = a.last_col_abs = true;
  return a;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

// Reads an unsigned decimal number (no sign) of at most 9 digits; advances pos.
std::optional<uint32_t> ReadNumber(std::string_view s, size_t& pos) {
  size_t start = pos;
  uint64_t v = 0;
  while (pos < s.size() && IsDigit(s[pos])) {
    if (pos - start >= 9) return std::nullopt;
    v = v * 10 + uint64_t(s[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return uint32_t(v);
}

// One end of an A1 area: a cell ($A$1), a column ($A) or a row ($1).
struct A1Part {
  enum Kind { Cell, Column, Row } kind;
  uint32_t row = 0, col = 0;
  bool row_abs = false, col_abs = false;
};

std::optional<A1Part> ParseA1Part(std::string_view s, const SheetLimits& limits) {
  A1Part p{};
  size_t pos = 0;
  bool col_dollar = false;
  if (pos < s.size() && s[pos] == '$') {
    col_dollar = true;
    ++pos;
  }
  size_t letters_start = pos;
  while (pos < s.size() && IsAsciiLetter(s[pos])) ++pos;
  std::string_view letters = s.substr(letters_start, pos - letters_start);
  if (letters.empty()) {
    // A row: $1 or 1.
    auto row = ReadNumber(s, pos);
    if (!row || pos != s.size() || *row == 0 || *row > limits.rows) return std::nullopt;
    p.kind = A1Part::Row;
    p.row = *row - 1;
    p.row_abs = col_dollar;
    return p;
  }
  auto col = ParseColumnLetters(letters, limits.cols);
  if (!col) return std::nullopt;
  p.col = *col;
  p.col_abs = col_dollar;
  if (pos == s.size()) {
    p.kind = A1Part::Column;
    return p;
  }
  if (s[pos] == '$') {
    p.row_abs = true;
    ++pos;
  }
  auto row = ReadNumber(s, pos);
  if (!row || pos != s.size() || *row == 0 || *row > limits.rows) return std::nullopt;
  p.kind = A1Part::Cell;
  p.row = *row - 1;
  return p;
}

// One R1C1 coordinate after its letter: "" (relative 0), "5" (absolute), "[-2]" (relative).
bool ParseR1C1Coord(std::string_view s, size_t& pos, uint32_t base, uint32_t limit, uint32_t& value, bool& absolute) {
  if (pos < s.size() && s[pos] == '[') {
    ++pos;
    bool negative = false;
    if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) {
      negative = s[pos] == '-';
      ++pos;
    }
    auto off = ReadNumber(s, pos);
    if (!off || pos >= s.size() || s[pos] != ']') return false;
    ++pos;
    int64_t v = int64_t(base) + (negative ? -int64_t(*off) : int64_t(*off));
    if (v < 0 || v >= int64_t(limit)) return false;
    value = uint32_t(v);
    absolute = false;
    return true;
  }
  if (pos < s.size() && IsDigit(s[pos])) {
    auto n = ReadNumber(s, pos);
    if (!n || *n == 0 || *n > limit) return false;
    value = *n - 1;
    absolute = true;
    return true;
  }
  value = base;
  absolute = false;
  return true;
}

std::optional<A1Part> ParseR1C1Part(std::string_view s, CellAddress base, const SheetLimits& limits) {
  A1Part p{};
  size_t pos = 0;
  bool has_row = false, has_col = false;
  if (pos < s.size() && Upper(s[pos]) == 'R') {
    ++pos;
    has_row = true;
    if (!ParseR1C1Coord(s, pos, base.row, limits.rows, p.row, p.row_abs)) return std::nullopt;
  }
  if (pos < s.size() && Upper(s[pos]) == 'C') {
    ++pos;
    has_col = true;
    if (!ParseR1C1Coord(s, pos, base.col, limits.cols, p.col, p.col_abs)) return std::nullopt;
  }
  if (pos != s.size() || (!has_row && !has_col)) return std::nullopt;
  p.kind = has_row && has_col ? A1Part::Cell : has_row ? A1Part::Row : A1Part::Column;
  return p;
}

std::optional<AreaRef> MakeArea(const A1Part& a, std::optional<A1Part> b, const SheetLimits& limits) {
  AreaRef r;
  if (!b) {
    if (a.kind == A1Part::Cell) {
      r.kind = AreaRef::Kind::Cell;
      r.range = RangeAddress::Cell(a.row, a.col);
      r.first_row_abs = r.last_row_abs = a.row_abs;
      r.first_col_abs = r.last_col_abs = a.col_abs;
      return r;
    }
    // A single row or column stands for the whole row or column only in R1C1 ("R3", "C2").
    b = a;
  }
  if (a.kind != b->kind) return std::nullopt;
  A1Part lo = a, hi = *b;
  // Keep first <= last in each direction, as a spreadsheet does when it reads B2:A1.
  if (hi.row < lo.row) {
    std::swap(lo.row, hi.row);
    std::swap(lo.row_abs, hi.row_abs);
  }
  if (hi.col < lo.col) {
    std::swap(lo.col, hi.col);
    std::swap(lo.col_abs, hi.col_abs);
  }
  switch (a.kind) {
    case A1Part::Cell:
      r.kind = AreaRef::Kind::Range;
      r.range = {{lo.row, lo.col}, {hi.row, hi.col}};
      break;
    case A1Part::Row:
      r.kind = AreaRef::Kind::Rows;
      r.range = {{lo.row, 0}, {hi.row, limits.cols - 1}};
      lo.col_abs = hi.col_abs = true;
      break;
    case A1Part::Column:
      r.kind = AreaRef::Kind::Columns;
      r.range = {{0, lo.col}, {limits.rows - 1, hi.col}};
      lo.row_abs = hi.row_abs = true;
      break;
  }
  r.first_row_abs = lo.row_abs;
  r.first_col_abs = lo.col_abs;
  r.last_row_abs = hi.row_abs;
  r.last_col_abs = hi.col_abs;
  return r;
}

// Splits "prefix!area" where prefix may be quoted. Fills book/sheet/last_sheet; returns the area text.
std::optional<std::string_view> SplitPrefix(std::string_view text, Reference& ref) {
  std::string prefix;
  std::string_view rest;
  if (!text.empty() && text[0] == '\'') {
    size_t pos = 1;
    for (;;) {
      if (pos >= text.size()) return std::nullopt;
      if (text[pos] == '\'') {
        if (pos + 1 < text.size() && text[pos + 1] == '\'') {
          prefix += '\'';
          pos += 2;
          continue;
        }
        break;
      }
      prefix += text[pos++];
    }
    ++pos;
    if (pos >= text.size() || text[pos] != '!') return std::nullopt;
    rest = text.substr(pos + 1);
    if (prefix.empty()) return std::nullopt;
  } else {
    size_t bang = text.rfind('!');
    if (bang == std::string_view::npos) return text;
    prefix = std::string(text.substr(0, bang));
    rest = text.substr(bang + 1);
    if (prefix.empty()) return std::nullopt;
    for (char c : prefix)
      if (c == ' ' || c == '\'' || c == '!' || c == ',' || c == '(' || c == ')') return std::nullopt;
  }
  std::string_view p = prefix;
  size_t open = p.find('[');
  if (open != std::string_view::npos) {
    size_t close = p.find(']', open);
    if (close == std::string_view::npos || close == open + 1) return std::nullopt;
    ref.workbook = std::string(p.substr(0, open)) + std::string(p.substr(open + 1, close - open - 1));
    p = p.substr(close + 1);
  }
  size_t colon = p.find(':');
  if (colon != std::string_view::npos) {
    ref.sheet = std::string(p.substr(0, colon));
    ref.last_sheet = std::string(p.substr(colon + 1));
    if (ref.last_sheet.empty()) return std::nullopt;
  } else {
    ref.sheet = std::string(p);
  }
  if (ref.sheet.empty() && ref.workbook.empty()) return std::nullopt;
  return rest;
}

std::string RowText(uint32_t row, bool abs, uint32_t base, RefStyle style, char letter) {
  if (style == RefStyle::A1) return (abs ? "$" : "") + std::to_string(row + 1);
  std::string out(1, letter);
  if (abs) return out + std::to_string(row + 1);
  int64_t off = int64_t(row) - int64_t(base);
  if (off != 0) out += "[" + std::to_string(off) + "]";
  return out;
}

std::string ColText(uint32_t col, bool abs, uint32_t base, RefStyle style) {
  if (style == RefStyle::A1) return (abs ? "$" : "") + ColumnLetters(col);
  return RowText(col, abs, base, style, 'C');
}

bool LooksLikeCellName(std::string_view name) {
  // Letters then digits within the large grid (A1 ... XFD1048576), or an R1C1 form.
  size_t pos = 0;
  while (pos < name.size() && IsAsciiLetter(name[pos])) ++pos;
  if (pos > 0 && pos <= 3 && pos < name.size()) {
    size_t digits = pos;
    while (digits < name.size() && IsDigit(name[digits])) ++digits;
    if (digits == name.size() && ParseA1Part(name, SheetLimits::Large())) return true;
  }
  return ParseR1C1Part(name, {}, SheetLimits::Large()).has_value();
}

bool WorkbookNeedsQuotes(std::string_view name) {
  for (char c : name) {
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.')) return true;
  }
  return false;
}

}  // namespace

std::string ColumnLetters(uint32_t col) {
  std::string out;
  uint64_t n = uint64_t(col) + 1;
  while (n > 0) {
    uint64_t rem = (n - 1) % 26;
    out.insert(out.begin(), char('A' + rem));
    n = (n - 1) / 26;
  }
  return out;
}

std::optional<uint32_t> ParseColumnLetters(std::string_view letters, uint32_t max_cols) {
  if (letters.empty() || letters.size() > 3) return std::nullopt;
  uint32_t v = 0;
  for (char c : letters) {
    if (!IsAsciiLetter(c)) return std::nullopt;
    v = v * 26 + uint32_t(Upper(c) - 'A' + 1);
  }
  if (v == 0 || v > max_cols) return std::nullopt;
  return v - 1;
}

std::string CellName(CellAddress a) { return ColumnLetters(a.col) + std::to_string(a.row + 1); }

std::string RangeName(const RangeAddress& r) {
  if (r.IsSingleCell()) return CellName(r.first);
  return CellName(r.first) + ":" + CellName(r.last);
}

namespace {
std::optional<Reference> ParseOne(std::string_view text, RefStyle style, CellAddress base, const SheetLimits& limits) {
  if (text.empty() || limits.rows == 0 || limits.cols == 0) return std::nullopt;
  Reference ref;
  auto area_text = SplitPrefix(text, ref);
  if (!area_text || area_text->empty()) return std::nullopt;
  std::string_view a = *area_text, b;
  size_t colon = a.find(':');
  bool has_second = colon != std::string_view::npos;
  if (has_second) {
    b = a.substr(colon + 1);
    a = a.substr(0, colon);
    if (b.find(':') != std::string_view::npos) return std::nullopt;
  }
  auto parse_part = [&](std::string_view s) {
    return style == RefStyle::A1 ? ParseA1Part(s, limits) : ParseR1C1Part(s, base, limits);
  };
  auto pa = parse_part(a);
  if (!pa) return std::nullopt;
  std::optional<A1Part> pb;
  if (has_second) {
    pb = parse_part(b);
    if (!pb) return std::nullopt;
  } else if (style == RefStyle::A1 && pa->kind != A1Part::Cell) {
    return std::nullopt;  // "A" or "3" alone is a name, not a reference
  }
  auto area = MakeArea(*pa, pb, limits);
  if (!area) return std::nullopt;
  ref.area = *area;
  return ref;
}
}  // namespace

std::optional<Reference> ParseA1(std::string_view text, const SheetLimits& limits) {
  return ParseOne(text, RefStyle::A1, {}, limits);
}

std::optional<Reference> ParseR1C1(std::string_view text, CellAddress base, const SheetLimits& limits) {
  return ParseOne(text, RefStyle::R1C1, base, limits);
}

std::optional<Reference> ParseReference(std::string_view text, RefStyle style, CellAddress base,
                                        const SheetLimits& limits) {
  return ParseOne(text, style, base, limits);
}

std::optional<ReferenceList> ParseReferenceList(std::string_view text, RefStyle style, CellAddress base,
                                                const SheetLimits& limits) {
  ReferenceList out;
  size_t start = 0;
  bool quoted = false;
  int bracket = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size()) {
      char c = text[i];
      if (c == '\'')
        quoted = !quoted;  // '' inside quotes toggles twice: harmless
      else if (!quoted && c == '[')
        ++bracket;
      else if (!quoted && c == ']')
        --bracket;
      if (quoted || bracket > 0 || c != ',') continue;
    }
    auto ref = ParseOne(text.substr(start, i - start), style, base, limits);
    if (!ref) return std::nullopt;
    out.push_back(std::move(*ref));
    start = i + 1;
  }
  if (quoted || bracket != 0 || out.empty()) return std::nullopt;
  return out;
}

std::string FormatArea(const AreaRef& area, RefStyle style, CellAddress base) {
  const auto& r = area.range;
  switch (area.kind) {
    case AreaRef::Kind::Cell:
      if (style == RefStyle::A1)
        return ColText(r.first.col, area.first_col_abs, base.col, style) +
               RowText(r.first.row, area.first_row_abs, base.row, style, 'R');
      return RowText(r.first.row, area.first_row_abs, base.row, style, 'R') +
             ColText(r.first.col, area.first_col_abs, base.col, style);
    case AreaRef::Kind::Range: {
      AreaRef a = area, b = area;
      a.kind = b.kind = AreaRef::Kind::Cell;
      b.range.first = r.last;
      b.first_row_abs = area.last_row_abs;
      b.first_col_abs = area.last_col_abs;
      return FormatArea(a, style, base) + ":" + FormatArea(b, style, base);
    }
    case AreaRef::Kind::Rows: {
      std::string first = RowText(r.first.row, area.first_row_abs, base.row, style, 'R');
      if (style == RefStyle::R1C1 && r.first.row == r.last.row && area.first_row_abs == area.last_row_abs) return first;
      return first + ":" + RowText(r.last.row, area.last_row_abs, base.row, style, 'R');
    }
    case AreaRef::Kind::Columns: {
      std::string first = ColText(r.first.col, area.first_col_abs, base.col, style);
      if (style == RefStyle::R1C1 && r.first.col == r.last.col && area.first_col_abs == area.last_col_abs) return first;
      return first + ":" + ColText(r.last.col, area.last_col_abs, base.col, style);
    }
  }
  return {};
}

bool SheetNameNeedsQuotes(std::string_view name) {
  if (name.empty()) return true;
  if (IsDigit(name[0])) return true;
  for (char c : name) {
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.')) return true;
  }
  return LooksLikeCellName(name) || LooksLikeCellName(name.substr(0, name.find('.')));
}

std::string FormatSheetPrefix(std::string_view workbook, std::string_view sheet, std::string_view last_sheet) {
  if (workbook.empty() && sheet.empty()) return {};
  std::string inner;
  bool quote = SheetNameNeedsQuotes(sheet) && !sheet.empty();
  if (!last_sheet.empty()) quote = quote || SheetNameNeedsQuotes(last_sheet);
  if (!workbook.empty()) {
    size_t slash = workbook.find_last_of("\\/");
    std::string_view folder = slash == std::string_view::npos ? std::string_view{} : workbook.substr(0, slash + 1);
    std::string_view file = slash == std::string_view::npos ? workbook : workbook.substr(slash + 1);
    inner += folder;
    inner += '[';
    inner += file;
    inner += ']';
    quote = quote || WorkbookNeedsQuotes(workbook);
  }
  inner += sheet;
  if (!last_sheet.empty()) {
    inner += ':';
    inner += last_sheet;
  }
  if (!quote) return inner + "!";
  std::string out = "'";
  for (char c : inner) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'!";
}

std::string FormatReference(const Reference& ref, RefStyle style, CellAddress base) {
  return FormatSheetPrefix(ref.workbook, ref.sheet, ref.last_sheet) + FormatArea(ref.area, style, base);
}

std::string FormatReferenceList(const ReferenceList& refs, RefStyle style, CellAddress base) {
  std::string out;
  for (size_t i = 0; i < refs.size(); ++i) {
    if (i) out += ',';
    out += FormatReference(refs[i], style, base);
  }
  return out;
}

}  // namespace sheets
