// Cell and name functions used by add-ins that read datasets out of worksheets: cell properties
// (GET.CELL type numbers for alignment, borders, fonts, fills, outline levels and merged areas), the
// current region (SELECT.SPECIAL 5), sheet-level names (NAMES, DEFINE.NAME, DELETE.NAME, EVALUATE of
// array constants), TEXT through the full number-format renderer, and the formatting commands
// ALIGNMENT, BORDER, FORMAT.FONT and PATTERNS on the selection.
//
// These handlers are installed after the workbook family; a call they do not answer goes on to the
// handler that was there before.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "sheets/model/constant.h"
#include "sheets/numfmt/number_format.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/functions.h"

namespace xlm {

namespace {

using sheets::CellAddress;
using sheets::RangeAddress;
using sheets::Sheet;

Handler g_previousGetCell = nullptr;
Handler g_previousEvaluate = nullptr;
Handler g_previousSelectSpecial = nullptr;
Handler g_previousText = nullptr;
Handler g_previousPatterns = nullptr;

ModelDocuments* Docs(Call& c) { return dynamic_cast<ModelDocuments*>(c.host.documents); }

struct Target {
  Sheet* sheet = nullptr;
  std::vector<RangeAddress> areas;
};

std::optional<Target> TargetOf(ModelDocuments& d, const XLOPER* v) {
  Target t;
  if (TypeOf(v) == XLTYPE_SREF) {
    t.sheet = d.ActiveSheet();
    const XLREF& r = v->val.sref.ref;
    t.areas.push_back({{r.rwFirst, r.colFirst}, {r.rwLast, r.colLast}});
  } else if (TypeOf(v) == XLTYPE_REF) {
    t.sheet = d.SheetOf(v->val.mref.idSheet);
    if (v->val.mref.lpmref)
      for (uint16_t i = 0; i < v->val.mref.lpmref->count; ++i) {
        const XLREF& r = v->val.mref.lpmref->reftbl[i];
        t.areas.push_back({{r.rwFirst, r.colFirst}, {r.rwLast, r.colLast}});
      }
  } else {
    return std::nullopt;
  }
  if (!t.sheet || t.areas.empty()) return std::nullopt;
  return t;
}

// Areas of the selection of the active sheet (the active cell when nothing is selected).
std::optional<Target> SelectionOf(ModelDocuments& d) {
  Sheet* s = d.ActiveSheet();
  if (!s) return std::nullopt;
  Target t{s, s->view().selection};
  if (t.areas.empty()) t.areas.push_back(RangeAddress::Cell(s->view().active_cell.row, s->view().active_cell.col));
  return t;
}

double ColorNumber(const sheets::Color& c) {
  switch (c.kind) {
    case sheets::Color::Kind::Auto: return 0;
    case sheets::Color::Kind::Indexed: return c.value;
    // Colours outside the palette: distinct numbers above the palette's range.
    case sheets::Color::Kind::Rgb: return 0x1000000 + (c.value & 0xFFFFFF);
    case sheets::Color::Kind::Theme: return 0x2000000 + c.value * 1000 + std::round(c.tint * 100);
  }
  return 0;
}

sheets::Color ColorOf(double n) {
  if (n <= 0) return sheets::Color::Auto();
  if (n < 0x1000000) return sheets::Color::Indexed(static_cast<uint32_t>(n));
  return sheets::Color::Rgb(0xFF000000u | (static_cast<uint32_t>(n) & 0xFFFFFF));
}

// The format the cell shows: its own, else its row's, else its column's.
const sheets::CellFormat& FormatAt(const Sheet& s, uint32_t row, uint32_t col) {
  const sheets::FormatTable& formats = s.workbook()->formats();
  sheets::CellView v = s.Get(row, col);
  if (v.format) return formats.Get(v.format);
  if (std::optional<uint32_t> f = s.GetRow(row).format) return formats.Get(*f);
  return formats.Get(s.GetColumn(col).format.value_or(0));
}

int GetCell(Call& c) {
  ModelDocuments* d = Docs(c);
  std::optional<double> type = Number(c.Arg(0));
  if (!d || !type) return g_previousGetCell(c);
  std::optional<Target> t = c.Has(1) ? TargetOf(*d, c.Arg(1)) : SelectionOf(*d);
  if (!t) return g_previousGetCell(c);
  CellAddress at = t->areas[0].first;
  const Sheet& s = *t->sheet;
  const sheets::CellFormat& f = FormatAt(s, at.row, at.col);
  auto style = [](const sheets::BorderLine& b) { return static_cast<double>(b.style); };
  switch (static_cast<int>(*type)) {
    case 8: SetNumber(c.result, static_cast<int>(f.horizontal) + 1); break;
    case 9: SetNumber(c.result, style(f.borders.left)); break;
    case 10: SetNumber(c.result, style(f.borders.right)); break;
    case 11: SetNumber(c.result, style(f.borders.top)); break;
    case 12: SetNumber(c.result, style(f.borders.bottom)); break;
    case 13: SetNumber(c.result, static_cast<int>(f.fill.pattern)); break;
    case 18: SetText(c.result, f.font.name); break;
    case 19: SetNumber(c.result, f.font.size); break;
    case 20: SetBool(c.result, f.font.bold); break;
    case 21: SetBool(c.result, f.font.italic); break;
    case 24: SetNumber(c.result, ColorNumber(f.font.color)); break;
    case 28: SetNumber(c.result, s.GetRow(at.row).outline_level); break;
    case 29: SetNumber(c.result, s.GetColumn(at.col).outline_level); break;
    case 34: SetNumber(c.result, ColorNumber(f.borders.left.color)); break;
    case 35: SetNumber(c.result, ColorNumber(f.borders.right.color)); break;
    case 36: SetNumber(c.result, ColorNumber(f.borders.top.color)); break;
    case 37: SetNumber(c.result, ColorNumber(f.borders.bottom.color)); break;
    // The cell's colour: a solid fill shows its foreground colour, a pattern sits on its background.
    case 63:
      SetNumber(c.result,
                ColorNumber(f.fill.pattern == sheets::FillPattern::Solid ? f.fill.foreground : f.fill.background));
      break;
    case 64: SetNumber(c.result, ColorNumber(f.fill.foreground)); break;
    case XL_GETCELL_MERGED: {
      std::optional<RangeAddress> m = s.MergedAreaAt(at);
      SetBool(c.result, m && !m->IsSingleCell());
      break;
    }
    default: return g_previousGetCell(c);
  }
  return XLRET_SUCCESS;
}

// A formula counts even when the file kept no value for it.
bool Filled(const Sheet& s, uint32_t row, uint32_t col) {
  sheets::CellView v = s.Get(row, col);
  return v.type != sheets::ValueType::Empty || v.HasFormula();
}

bool RowHasCell(const Sheet& s, uint32_t row, uint32_t c0, uint32_t c1) {
  for (uint32_t c = c0; c <= c1; ++c)
    if (Filled(s, row, c)) return true;
  return false;
}

bool ColumnHasCell(const Sheet& s, uint32_t col, uint32_t r0, uint32_t r1) {
  for (uint32_t r = r0; r <= r1; ++r)
    if (Filled(s, r, col)) return true;
  return false;
}

}  // namespace

// The current region: the smallest rectangle around the cell bounded on every side by empty rows
// and columns (or the sheet's edges), diagonal neighbours included.
RangeAddress CurrentRegion(const Sheet& s, CellAddress cell) {
  RangeAddress r = RangeAddress::Cell(cell.row, cell.col);
  const uint32_t lastRow = s.limits().rows - 1, lastCol = s.limits().cols - 1;
  bool grew = true;
  while (grew) {
    grew = false;
    // The band just outside each side, corners included.
    uint32_t c0 = r.first.col ? r.first.col - 1 : 0, c1 = std::min(r.last.col + 1, lastCol);
    while (r.last.row < lastRow && RowHasCell(s, r.last.row + 1, c0, c1)) ++r.last.row, grew = true;
    while (r.first.row > 0 && RowHasCell(s, r.first.row - 1, c0, c1)) --r.first.row, grew = true;
    uint32_t r0 = r.first.row ? r.first.row - 1 : 0, r1 = std::min(r.last.row + 1, lastRow);
    while (r.last.col < lastCol && ColumnHasCell(s, r.last.col + 1, r0, r1)) ++r.last.col, grew = true;
    while (r.first.col > 0 && ColumnHasCell(s, r.first.col - 1, r0, r1)) --r.first.col, grew = true;
  }
  return r;
}

namespace {

// SELECT.SPECIAL(5): selects the current region around the active cell, which stays active.
int SelectSpecial(Call& c) {
  ModelDocuments* d = Docs(c);
  if (!d || Number(c.Arg(0)).value_or(0) != 5) {
    if (g_previousSelectSpecial) return g_previousSelectSpecial(c);
    return c.Refuse();
  }
  Sheet* s = d->ActiveSheet();
  if (!s || !s->IsWorksheet()) return c.Refuse();
  CellAddress active = s->view().active_cell;
  s->view().selection = {CurrentRegion(*s, active)};
  return c.Done();
}

// Wildcard match as names and the find box use it: * any run, ? one character, ~ quotes the next;
// letters compared without case.
bool Matches(std::string_view pattern, std::string_view text) {
  auto lower = [](char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; };
  std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p, ++t;
    } else if (p < pattern.size()) {
      char want = pattern[p];
      std::size_t step = 1;
      if (want == '~' && p + 1 < pattern.size()) want = pattern[p + 1], step = 2;
      if (lower(want) == lower(text[t])) {
        p += step, ++t;
      } else if (star != std::string_view::npos) {
        p = star + 1, t = ++mark;
      } else {
        return false;
      }
    } else if (star != std::string_view::npos) {
      p = star + 1, t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The name table a document argument designates: a sheet ("[Book]Sheet", "Sheet" or a reference)
// gives its own names; a workbook ("[Book]" or "Book") or nothing gives the workbook's.
sheets::NameTable* NameTableOf(ModelDocuments& d, const XLOPER* arg) {
  if (IsMissing(arg)) {
    sheets::Workbook* b = d.ActiveBook();
    return b ? &b->names() : nullptr;
  }
  if (std::optional<Target> t = TargetOf(d, arg)) return &t->sheet->names();
  std::optional<std::string> text = Text(arg);
  if (!text) return nullptr;
  std::string name = *text;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  if (sheets::Workbook* b = d.FindBook(name)) return &b->names();
  if (Sheet* s = d.FindSheet(*text)) return &s->names();
  return nullptr;
}

// NAMES(document, type, match): the names as a one-row array; type 1 visible, 2 hidden, 3 all.
int Names(Call& c) {
  ModelDocuments* d = Docs(c);
  if (!d) return c.Fail(XLERR_NA);
  sheets::NameTable* table = NameTableOf(*d, c.Arg(0));
  if (!table) return c.Fail(XLERR_REF);
  int type = static_cast<int>(Number(c.Arg(1)).value_or(1));
  std::string pattern = Text(c.Arg(2)).value_or("*");
  std::vector<XLOPER> out;
  for (const sheets::DefinedName& n : table->entries()) {
    if ((type == 1 && n.hidden) || (type == 2 && !n.hidden)) continue;
    if (!Matches(pattern, n.name)) continue;
    XLOPER v;
    SetText(&v, n.name);
    out.push_back(v);
  }
  if (out.empty()) return c.Fail(XLERR_NA);
  SetArray(c.result, 1, static_cast<int>(out.size()), out);
  return XLRET_SUCCESS;
}

// Splits "Sheet!name" into its table and name; a plain name is looked up in the active sheet's
// names first, then the workbook's (for deleting and evaluating).
struct NameAt {
  sheets::NameTable* table = nullptr;
  std::string name;
};

std::optional<NameAt> FindName(ModelDocuments& d, const std::string& text, bool mustExist) {
  std::size_t bang = text.rfind('!');
  if (bang != std::string::npos) {
    std::string sheet = text.substr(0, bang);
    if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') sheet = sheet.substr(1, sheet.size() - 2);
    Sheet* s = d.FindSheet(sheet);
    if (!s) return std::nullopt;
    NameAt at{&s->names(), text.substr(bang + 1)};
    if (mustExist && !at.table->Find(at.name)) return std::nullopt;
    return at;
  }
  if (Sheet* s = d.ActiveSheet(); s && s->names().Find(text)) return NameAt{&s->names(), text};
  if (sheets::Workbook* b = d.ActiveBook(); b && (!mustExist || b->names().Find(text)))
    return NameAt{&b->names(), text};
  return std::nullopt;
}

std::optional<sheets::Value> ConstantOf(const XLOPER* v) {
  switch (TypeOf(v)) {
    case XLTYPE_NUM:
      // A workbook cannot hold a NaN or an infinity: it is kept as #NUM!.
      if (!std::isfinite(v->val.num)) return sheets::Value::Error(sheets::ErrorCode::Num);
      return sheets::Value::Number(v->val.num);
    case XLTYPE_INT: return sheets::Value::Number(v->val.w);
    case XLTYPE_STR: return sheets::Value::Text(*Text(v));
    case XLTYPE_BOOL: return sheets::Value::Boolean(v->val.xbool != 0);
    case XLTYPE_ERR: return sheets::Value::Error(static_cast<sheets::ErrorCode>(v->val.err));
    case XLTYPE_MISSING:
    case XLTYPE_NIL: return sheets::Value::Empty();
    default: return std::nullopt;
  }
}

// A name's reference to a range of another workbook keeps where that workbook is, as spreadsheets
// keep an external reference: its path when it was read from or saved to a file, else its name.
std::string RefText(const Target& t, const sheets::Workbook* from) {
  std::string out;
  for (std::size_t i = 0; i < t.areas.size(); ++i) {
    sheets::Reference r;
    const sheets::Workbook* book = t.sheet->workbook();
    if (book != from) r.workbook = book->path().empty() ? book->name() : book->path();
    r.sheet = t.sheet->name();
    r.area = sheets::AreaRef::Absolute(t.areas[i]);
    if (i) out += ",";
    out += sheets::FormatReference(r, sheets::RefStyle::A1);
  }
  return out;
}

// DEFINE.NAME(name, refers_to, macro_type, shortcut, hidden, category, local): refers_to is a
// reference, an array, a constant or formula text ("=..."); local TRUE defines a name of the active
// sheet.
int DefineName(Call& c) {
  ModelDocuments* d = Docs(c);
  std::optional<std::string> name = Text(c.Arg(0));
  sheets::Workbook* b = d ? d->ActiveBook() : nullptr;
  if (!name || !b) return c.Refuse(XLERR_NAME);
  bool local = Bool(c.Arg(6)).value_or(false);
  bool hidden = Bool(c.Arg(4)).value_or(false);
  sheets::NameTable* table = &b->names();
  std::string bare = *name;
  if (std::size_t bang = bare.rfind('!'); bang != std::string::npos) {
    Sheet* s = d->FindSheet(bare.substr(0, bang));
    if (!s) return c.Refuse(XLERR_REF);
    table = &s->names();
    b = s->workbook();  // references are written as seen from the name's own workbook
    bare = bare.substr(bang + 1);
  } else if (local) {
    Sheet* s = d->ActiveSheet();
    if (!s) return c.Refuse(XLERR_REF);
    table = &s->names();
  }
  std::string refersTo;
  const XLOPER* value = c.Arg(1);
  if (IsMissing(value)) {
    Sheet* s = d->ActiveSheet();
    std::optional<Target> sel = SelectionOf(*d);
    if (!s || !sel) return c.Refuse();
    refersTo = RefText(*sel, b);
  } else if (std::optional<Target> t = TargetOf(*d, value)) {
    refersTo = RefText(*t, b);
  } else if (TypeOf(value) == XLTYPE_MULTI) {
    Table tab = TableOf(value);
    sheets::ArrayConstant array;
    array.rows = static_cast<uint32_t>(tab.rows);
    array.cols = static_cast<uint32_t>(tab.columns);
    if (array.rows * static_cast<std::size_t>(array.cols) > sheets::kMaxArrayConstantElements) return c.Refuse();
    for (const XLOPER* cell : tab.cells) {
      std::optional<sheets::Value> v = ConstantOf(cell);
      if (!v) return c.Refuse();
      array.values.push_back(*v);
    }
    refersTo = sheets::FormatArrayConstant(array);
  } else if (std::optional<std::string> text = Text(value); text && !text->empty() && (*text)[0] == '=') {
    refersTo = text->substr(1);
  } else if (std::optional<sheets::Value> v = ConstantOf(value)) {
    refersTo = sheets::FormatConstant(*v);
  } else {
    return c.Refuse();
  }
  try {
    table->Define(bare, refersTo, d->Limits(), hidden);
  } catch (const std::exception&) {
    return c.Refuse(XLERR_NAME);
  }
  return c.Done();
}

// DELETE.NAME(name): a name of the active sheet ("Sheet!name" for another sheet's) or workbook.
int DeleteName(Call& c) {
  ModelDocuments* d = Docs(c);
  std::optional<std::string> name = Text(c.Arg(0));
  if (!d || !name) return c.Refuse(XLERR_NAME);
  std::optional<NameAt> at = FindName(*d, *name, true);
  if (!at || !at->table->Remove(at->name)) return c.Refuse(XLERR_NAME);
  return c.Done();
}

void SetValueOf(XLOPER* out, const sheets::Value& v) {
  switch (v.type) {
    case sheets::ValueType::Number: SetNumber(out, v.number); break;
    case sheets::ValueType::Text: SetText(out, v.text); break;
    case sheets::ValueType::Boolean: SetBool(out, v.boolean); break;
    case sheets::ValueType::Error: SetError(out, static_cast<int>(v.error)); break;
    default: SetNil(out);
  }
}

// EVALUATE of a name that holds an array constant, and of "Sheet!name"; everything else goes on to
// the workbook family's evaluation.
int Evaluate(Call& c) {
  ModelDocuments* d = Docs(c);
  std::optional<std::string> text = Text(c.Arg(0));
  if (d && text) {
    std::string body = *text;
    if (!body.empty() && body[0] == '=') body.erase(0, 1);
    if (sheets::IsValidDefinedName(body) || body.find('!') != std::string::npos) {
      if (std::optional<NameAt> at = FindName(*d, body, true)) {
        const sheets::DefinedName* n = at->table->Find(at->name);
        if (n && n->kind == sheets::DefinedName::Kind::Array) {
          std::vector<XLOPER> cells;
          for (const sheets::Value& v : n->array.values) {
            XLOPER x;
            SetValueOf(&x, v);
            cells.push_back(x);
          }
          SetArray(c.result, static_cast<int>(n->array.rows), static_cast<int>(n->array.cols), cells);
          return XLRET_SUCCESS;
        }
        if (n && n->kind == sheets::DefinedName::Kind::Constant) {
          SetValueOf(c.result, n->constant);
          return XLRET_SUCCESS;
        }
        if (n && body.find('!') != std::string::npos) {
          // A name of another sheet: its references, read as that sheet would.
          std::vector<XLOPER> none;
          HostValue refers;
          SetText(&refers.v, "=" + n->refers_to);
          Call inner = c;
          inner.args = {&refers.v};
          return g_previousEvaluate(inner);
        }
      }
    }
  }
  return g_previousEvaluate(c);
}

// TEXT(value, format) through the number-format renderer.
int TextFn(Call& c) {
  std::optional<std::string> format = Text(c.Arg(1));
  if (TypeOf(c.Arg(0)) == XLTYPE_NUM || TypeOf(c.Arg(0)) == XLTYPE_INT) {
    double n = *Number(c.Arg(0));
    SetText(c.result, sheets::FormatNumber(n, format.value_or("General")));
    return XLRET_SUCCESS;
  }
  if (TypeOf(c.Arg(0)) == XLTYPE_BOOL) {
    SetText(c.result, c.Arg(0)->val.xbool ? "TRUE" : "FALSE");
    return XLRET_SUCCESS;
  }
  return g_previousText(c);
}

// Applies `change` to the format of every cell of the selection.
template <class F>
int ChangeSelection(Call& c, F change) {
  ModelDocuments* d = Docs(c);
  std::optional<Target> sel = d ? SelectionOf(*d) : std::nullopt;
  if (!sel) return c.Refuse();
  Sheet& s = *sel->sheet;
  sheets::FormatTable& formats = s.workbook()->formats();
  for (const RangeAddress& r : sel->areas) {
    if (r.CellCount() > 20'000'000) return c.Refuse();
    for (uint32_t row = r.first.row; row <= r.last.row; ++row)
      for (uint32_t col = r.first.col; col <= r.last.col; ++col) {
        sheets::CellFormat f = FormatAt(s, row, col);
        change(f, r, row, col);
        s.SetFormat(row, col, formats.Intern(f));
      }
  }
  return c.Done();
}

// ALIGNMENT(horizontal, wrap, vertical, orientation, indent, shrink, merge): horizontal 1 general,
// 2 left, 3 centre, 4 right, 5 fill, 6 justify, 7 centre across selection; merge TRUE merges each
// area of the selection, FALSE unmerges it.
int Alignment(Call& c) {
  std::optional<double> h = Number(c.Arg(0));
  std::optional<bool> wrap = Bool(c.Arg(1));
  if (h && (*h < 1 || *h > 8)) return c.Refuse();
  int rc = ChangeSelection(c, [&](sheets::CellFormat& f, const RangeAddress&, uint32_t, uint32_t) {
    if (h) f.horizontal = static_cast<sheets::HorizontalAlignment>(static_cast<int>(*h) - 1);
    if (wrap) f.wrap_text = *wrap;
  });
  if (rc != XLRET_SUCCESS) return rc;
  if (std::optional<bool> merge = Bool(c.Arg(6))) {
    ModelDocuments* d = Docs(c);
    std::optional<Target> sel = SelectionOf(*d);
    for (const RangeAddress& r : sel->areas) {
      sel->sheet->Unmerge(r);
      if (*merge && !r.IsSingleCell()) sel->sheet->Merge(r);
    }
  }
  return XLRET_SUCCESS;
}

// BORDER(outline, left, right, top, bottom, shade, outline colour, left colour, right colour, top
// colour, bottom colour): line styles 0 none, 1 thin, 2 medium, 3 dashed, 4 dotted, 5 thick, 6 double,
// 7 hair; outline draws the outer edges of each area.
int Border(Call& c) {
  auto line = [&](std::size_t i) -> std::optional<sheets::BorderStyle> {
    std::optional<double> v = Number(c.Arg(i));
    if (!v) return std::nullopt;
    return static_cast<sheets::BorderStyle>(std::clamp(static_cast<int>(*v), 0, 7));
  };
  auto colour = [&](std::size_t i) -> std::optional<sheets::Color> {
    std::optional<double> v = Number(c.Arg(i));
    if (!v) return std::nullopt;
    return ColorOf(*v);
  };
  std::optional<sheets::BorderStyle> outline = line(0), left = line(1), right = line(2), top = line(3),
                                     bottom = line(4);
  std::optional<sheets::Color> outlineColour = colour(6);
  auto set = [](sheets::BorderLine& b, std::optional<sheets::BorderStyle> style, std::optional<sheets::Color> col) {
    if (!style) return;
    b.style = *style;
    if (col) b.color = *col;
  };
  return ChangeSelection(c, [&](sheets::CellFormat& f, const RangeAddress& r, uint32_t row, uint32_t col) {
    set(f.borders.left, left, colour(7));
    set(f.borders.right, right, colour(8));
    set(f.borders.top, top, colour(9));
    set(f.borders.bottom, bottom, colour(10));
    if (outline) {
      if (col == r.first.col) set(f.borders.left, outline, outlineColour);
      if (col == r.last.col) set(f.borders.right, outline, outlineColour);
      if (row == r.first.row) set(f.borders.top, outline, outlineColour);
      if (row == r.last.row) set(f.borders.bottom, outline, outlineColour);
    }
  });
}

// FORMAT.FONT(name, size, bold, italic, underline, strike, colour).
int FormatFont(Call& c) {
  std::optional<std::string> name = Text(c.Arg(0));
  std::optional<double> size = Number(c.Arg(1));
  std::optional<bool> bold = Bool(c.Arg(2)), italic = Bool(c.Arg(3)), underline = Bool(c.Arg(4)),
                      strike = Bool(c.Arg(5));
  std::optional<double> colour = Number(c.Arg(6));
  if (size && (*size < 1 || *size > 409)) return c.Refuse();
  return ChangeSelection(c, [&](sheets::CellFormat& f, const RangeAddress&, uint32_t, uint32_t) {
    if (name && !name->empty()) f.font.name = *name;
    if (size) f.font.size = *size;
    if (bold) f.font.bold = *bold;
    if (italic) f.font.italic = *italic;
    if (underline) f.font.underline = *underline ? sheets::Underline::Single : sheets::Underline::None;
    if (strike) f.font.strike = *strike;
    if (colour) f.font.color = ColorOf(*colour);
  });
}

// PATTERNS(pattern, foreground, background) on cells: pattern 0 none, 1 solid, 2.. the shadings.
int Patterns(Call& c) {
  ModelDocuments* d = Docs(c);
  Sheet* s = d ? d->ActiveSheet() : nullptr;
  // A selected drawing object takes the pattern itself.
  if (!s || !s->IsWorksheet() || !d->selectedObject.empty())
    return g_previousPatterns ? g_previousPatterns(c) : c.Refuse();
  std::optional<double> pattern = Number(c.Arg(0));
  std::optional<double> fore = Number(c.Arg(1)), back = Number(c.Arg(2));
  if (pattern && (*pattern < 0 || *pattern > 18)) return c.Refuse();
  return ChangeSelection(c, [&](sheets::CellFormat& f, const RangeAddress&, uint32_t, uint32_t) {
    if (pattern) f.fill.pattern = static_cast<sheets::FillPattern>(static_cast<int>(*pattern));
    if (fore) f.fill.foreground = ColorOf(*fore);
    if (back) f.fill.background = ColorOf(*back);
    if (f.fill.pattern == sheets::FillPattern::None) f.fill = sheets::Fill{};
  });
}

}  // namespace

void AddDatasetFunctions(FunctionTable& t) {
  auto previous = [&](int fn) -> Handler {
    auto it = t.find(fn);
    return it == t.end() ? nullptr : it->second;
  };
  g_previousGetCell = previous(XLF_GET_CELL);
  g_previousEvaluate = previous(XLF_EVALUATE);
  g_previousSelectSpecial = previous(XLC_SELECT_SPECIAL);
  g_previousText = previous(XLF_TEXT);
  g_previousPatterns = previous(XLC_PATTERNS);
  if (g_previousGetCell) t[XLF_GET_CELL] = GetCell;
  if (g_previousEvaluate) t[XLF_EVALUATE] = Evaluate;
  if (g_previousText) t[XLF_TEXT] = TextFn;
  t[XLC_SELECT_SPECIAL] = SelectSpecial;
  t[XLC_PATTERNS] = Patterns;
  // Functions no other family answers yet; a family that answers one later keeps its own.
  for (auto [fn, handler] : {std::pair<int, Handler>{XLF_NAMES, Names},
                             {XLC_DEFINE_NAME, DefineName},
                             {XLC_DELETE_NAME, DeleteName},
                             {XLC_ALIGNMENT, Alignment},
                             {XLC_BORDER, Border},
                             {XLC_FORMAT_FONT, FormatFont}})
    t.emplace(fn, handler);
}

}  // namespace xlm
