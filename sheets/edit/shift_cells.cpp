// Inserting and deleting cells: the references first (formulas, names, charts of every workbook
// given), then the cells and what the sheet keeps by cell address.
#include "sheets/edit/shift_cells.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "sheets/edit/formula_refs.h"
#include "sheets/edit/shift_kept.h"
#include "sheets/io/preserved.h"
#include "sheets/model/model_error.h"
#include "sheets/model/workbook.h"

namespace sheets {

namespace {

bool IsDown(const CellShift& shift) { return shift.axis == ShiftAxis::Down; }

// The band of the shift across its axis (columns when cells move down), and along it.
struct Band {
  uint32_t cross_first, cross_last;  // the columns (rows) whose cells move
  uint32_t from, to;                 // the rows (columns) inserted or deleted
  uint32_t count;                    // how many
  uint32_t max;                      // the last row (column) of the sheet
};

Band BandOf(const CellShift& shift) {
  const RangeAddress& a = shift.area;
  const SheetLimits& limits = shift.sheet->limits();
  Band b{};
  if (IsDown(shift)) {
    b = {a.first.col, a.last.col, a.first.row, a.last.row, 0, limits.rows - 1};
  } else {
    b = {a.first.row, a.last.row, a.first.col, a.last.col, 0, limits.cols - 1};
  }
  b.count = b.to - b.from + 1;
  return b;
}

// The file name an external reference's workbook part names: "Book.xlsx" of "C:\dir\Book.xlsx",
// and for a numbered link ("1", as files store them) the file of that link of the home workbook.
std::string_view ExternalFileName(std::string_view workbook, const FormulaHome& home) {
  if (workbook.find_first_not_of("0123456789") == std::string_view::npos && home.book && home.book->preserved()) {
    const std::vector<std::string>& links = home.book->preserved()->external_links;
    size_t index = 0;
    for (char c : workbook) index = std::min<size_t>(index * 10 + size_t(c - '0'), links.size() + 1);
    if (index >= 1 && index <= links.size()) workbook = links[index - 1];
  }
  size_t slash = workbook.find_last_of("/\\");
  return slash == std::string_view::npos ? workbook : workbook.substr(slash + 1);
}

}  // namespace

std::optional<RangeAddress> ShiftedArea(const AreaRef& area, const CellShift& shift) {
  const bool down = IsDown(shift);
  RangeAddress r = area.range;
  // Whole columns span every row whatever moves along them; whole rows likewise.
  if ((down && area.kind == AreaRef::Kind::Columns) || (!down && area.kind == AreaRef::Kind::Rows)) return r;
  const Band b = BandOf(shift);
  uint32_t cross_first = down ? r.first.col : r.first.row, cross_last = down ? r.last.col : r.last.row;
  if (cross_first < b.cross_first || cross_last > b.cross_last) return r;  // only part of its cells would move
  uint32_t& first = down ? r.first.row : r.first.col;
  uint32_t& last = down ? r.last.row : r.last.col;
  if (last < b.from) return r;
  if (shift.insert) {
    if (first >= b.from) {
      if (uint64_t(first) + b.count > b.max) return std::nullopt;  // pushed off the sheet
      first += b.count;
    }
    last = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(last) + b.count, b.max));
    return r;
  }
  if (first >= b.from && last <= b.to) return std::nullopt;  // wholly deleted
  // A range reaching the sheet's end keeps reaching it.
  const bool to_end = first != last && last == b.max;
  if (first > b.to) {
    first -= b.count;
    last -= b.count;
  } else {
    // Partly deleted: what is left before the band stays, what is left after it closes up.
    last = last > b.to ? last - b.count : b.from - 1;
    first = std::min(first, b.from);
  }
  if (to_end) last = b.max;
  return r;
}

bool RefersToShiftedSheet(const Reference& ref, const FormulaHome& home, const CellShift& shift) {
  if (!ref.last_sheet.empty()) return false;  // 3-D references stay
  const Workbook* book = shift.sheet->workbook();
  if (ref.IsExternal()) {
    if (!book || !NamesEqual(ExternalFileName(ref.workbook, home), book->name())) return false;
  } else if (home.book != book) {
    return false;
  }
  if (ref.sheet.empty()) return home.sheet == shift.sheet;
  return NamesEqual(ref.sheet, shift.sheet->name());
}

namespace {

// The new text of a reference into the shifted sheet (its area moved, or #REF!), keeping the sheet
// and workbook as written; nullopt when it stays.
ReferenceEdit ShiftEdit(const FormulaHome& home, const CellShift& shift) {
  return [home, &shift](const Reference& ref, std::string_view text) -> std::optional<std::string> {
    if (!RefersToShiftedSheet(ref, home, shift)) return std::nullopt;
    std::optional<RangeAddress> moved = ShiftedArea(ref.area, shift);
    if (!moved) return "#REF!";
    if (*moved == ref.area.range) return std::nullopt;
    AreaRef area = ref.area;
    area.range = *moved;
    size_t bang = text.rfind('!');
    return std::string(bang == std::string_view::npos ? std::string_view() : text.substr(0, bang + 1)) +
           FormatArea(area, RefStyle::A1);
  };
}

const SheetLimits& LimitsOf(const FormulaHome& home, const CellShift& shift) {
  return home.book ? home.book->limits() : shift.sheet->limits();
}

}  // namespace

std::optional<std::string> ShiftFormulaText(std::string_view formula, const FormulaHome& home, const CellShift& shift) {
  return EditFormulaReferences(formula, LimitsOf(home, shift), ShiftEdit(home, shift));
}

std::optional<std::string> ShiftReferenceListText(std::string_view text, const FormulaHome& home,
                                                  const CellShift& shift) {
  return EditReferenceList(text, LimitsOf(home, shift), ShiftEdit(home, shift));
}

void MoveAnchor(CellAddress& from, CellAddress* to, const CellShift& shift) {
  const bool down = IsDown(shift);
  const Band b = BandOf(shift);
  uint32_t cross = down ? from.col : from.row;
  uint32_t along = down ? from.row : from.col;
  if (cross < b.cross_first || cross > b.cross_last || along < b.from) return;
  int64_t n = shift.insert ? int64_t(b.count) : -int64_t(b.count);
  auto move = [&](uint32_t& v) { v = static_cast<uint32_t>(std::clamp<int64_t>(int64_t(v) + n, 0, b.max)); };
  move(down ? from.row : from.col);
  if (to) move(down ? to->row : to->col);
}

namespace {

// Cell formulas, names and charts of one sheet.
void ShiftSheetReferences(Sheet& s, const CellShift& shift) {
  const FormulaHome home{s.workbook(), &s};
  // A formula of another sheet reaches the shifted one only through its name (or its workbook's).
  std::string_view needle;
  if (home.book != shift.sheet->workbook())
    needle = "[";
  else if (&s != shift.sheet && shift.sheet->name().find('\'') == std::string::npos)  // quoted, ' is ''
    needle = shift.sheet->name();
  EditSheetReferences(s, ShiftEdit(home, shift), needle);
}

void ShiftReferences(const CellShift& shift, const std::vector<Workbook*>& books) {
  for (Workbook* book : books) {
    const FormulaHome home{book, nullptr};
    EditNameReferences(book->names(), book->limits(), ShiftEdit(home, shift));
    for (size_t i = 0; i < book->sheet_count(); ++i) ShiftSheetReferences(book->sheet(i), shift);
  }
}

// Why the shift cannot be done on its sheet, or empty.
std::string ShiftProblem(const Sheet& s, const CellShift& shift) {
  const bool down = IsDown(shift);
  const Band b = BandOf(shift);
  if (shift.insert) {
    // The last rows (columns) of the band are pushed off the sheet: they must hold nothing.
    RangeAddress edge = down ? RangeAddress{{b.max - b.count + 1, b.cross_first}, {b.max, b.cross_last}}
                             : RangeAddress{{b.cross_first, b.max - b.count + 1}, {b.cross_last, b.max}};
    if (b.count > b.max) edge = shift.area;
    bool filled = false;
    s.ForEachCellIn(edge, [&](uint32_t, uint32_t, const CellView& v) {
      if (v.type != ValueType::Empty || v.HasFormula()) filled = true;
    });
    if (filled) return "cells holding something would be pushed off the sheet";
  }
  for (const auto& [first, range] : s.array_formulas()) {
    AreaRef area = AreaRef::Absolute(range);
    std::optional<RangeAddress> moved = ShiftedArea(area, shift);
    uint32_t cross_first = down ? range.first.col : range.first.row;
    uint32_t cross_last = down ? range.last.col : range.last.row;
    uint32_t along_last = down ? range.last.row : range.last.col;
    bool beside = cross_first < b.cross_first || cross_last > b.cross_last;
    bool touched = cross_last >= b.cross_first && cross_first <= b.cross_last && along_last >= b.from;
    bool split = beside ? touched : moved && (moved->Rows() != range.Rows() || moved->Cols() != range.Cols());
    if (split) return "part of the array formula in " + RangeName(range) + " would move";
  }
  return {};
}

// One stored cell, to be written elsewhere.
struct Moved {
  CellAddress at;
  Value value;
  std::string formula;
  uint32_t format;
};

std::vector<Moved> Take(Sheet& s, const RangeAddress& r) {
  std::vector<Moved> cells;
  s.ForEachCellIn(r, [&](uint32_t row, uint32_t col, const CellView& v) {
    cells.push_back({{row, col}, v.ToValue(), std::string(v.formula), v.format});
  });
  s.ClearRange(r);
  return cells;
}

// Writes cells back moved by (rows, cols); the array formulas among them (by their first cell)
// are entered again over their moved ranges.
void Put(Sheet& s, const std::vector<Moved>& cells, int64_t rows, int64_t cols,
         const std::map<CellAddress, RangeAddress>& arrays) {
  for (const Moved& m : cells) {
    int64_t row = m.at.row + rows, col = m.at.col + cols;
    if (row >= s.limits().rows || col >= s.limits().cols) continue;  // a format pushed off the sheet
    auto r = static_cast<uint32_t>(row), c = static_cast<uint32_t>(col);
    auto array = arrays.find(m.at);
    if (array != arrays.end()) {
      RangeAddress to = array->second;
      to.first = {static_cast<uint32_t>(to.first.row + rows), static_cast<uint32_t>(to.first.col + cols)};
      to.last = {static_cast<uint32_t>(to.last.row + rows), static_cast<uint32_t>(to.last.col + cols)};
      s.AppendArrayFormula(to, m.formula, m.value);
    } else if (!m.formula.empty()) {
      s.AppendFormula(r, c, m.formula, m.value);
    } else if (!m.value.IsEmpty()) {
      s.SetValue(r, c, m.value);
    }
    s.SetFormat(r, c, m.format);
  }
}

// Moves the cells beyond the band (and, deleting, drops those inside it).
void MoveStoredCells(Sheet& s, const CellShift& shift) {
  const bool down = IsDown(shift);
  const Band b = BandOf(shift);
  auto region = [&](uint32_t along_first, uint32_t along_last) {
    return down ? RangeAddress{{along_first, b.cross_first}, {along_last, b.cross_last}}
                : RangeAddress{{b.cross_first, along_first}, {b.cross_last, along_last}};
  };
  const int64_t n = shift.insert ? int64_t(b.count) : -int64_t(b.count);
  RangeAddress moving;
  if (shift.insert) {
    if (b.count > b.max - b.from) {
      s.ClearRange(region(b.from, b.max));  // nothing stays on the sheet; it held only formats (checked)
      return;
    }
    moving = region(b.from, b.max - b.count);
  } else {
    s.ClearRange(shift.area);
    if (b.to >= b.max) return;
    moving = region(b.to + 1, b.max);
  }
  std::map<CellAddress, RangeAddress> arrays;
  for (const auto& [first, range] : s.array_formulas())
    if (moving.Contains(first)) arrays.emplace(first, range);
  std::vector<Moved> cells = Take(s, region(down ? moving.first.row : moving.first.col, b.max));
  Put(s, cells, down ? n : 0, down ? 0 : n, arrays);
}

// Heights of whole rows and widths of whole columns move with them.
void MoveRowsAndColumns(Sheet& s, const CellShift& shift) {
  const Band b = BandOf(shift);
  const SheetLimits& limits = s.limits();
  auto moved = [&](uint32_t i) -> std::optional<uint32_t> {
    if (i < b.from) return i;
    if (shift.insert) return uint64_t(i) + b.count <= b.max ? std::optional<uint32_t>(i + b.count) : std::nullopt;
    if (i <= b.to) return std::nullopt;
    return i - b.count;
  };
  if (IsDown(shift) && b.cross_first == 0 && b.cross_last == limits.cols - 1) {
    std::map<uint32_t, RowInfo> rows = s.rows();
    for (const auto& [row, info] : rows)
      if (row >= b.from) s.SetRow(row, RowInfo{});
    for (const auto& [row, info] : rows)
      if (row >= b.from)
        if (std::optional<uint32_t> to = moved(row)) s.SetRow(*to, info);
  } else if (!IsDown(shift) && b.cross_first == 0 && b.cross_last == limits.rows - 1) {
    std::vector<std::pair<uint32_t, ColumnSpan>> spans;
    for (const auto& [first, span] : s.columns())
      if (span.last >= b.from) spans.emplace_back(first, span);
    s.SetColumns(b.from, b.max, ColumnInfo{});
    for (const auto& [first, span] : spans)
      for (uint32_t col = std::max(first, b.from); col <= span.last; ++col)
        if (std::optional<uint32_t> to = moved(col)) s.SetColumn(*to, span.info);
  }
}

// Merged areas follow as references do (one cut to a single cell is dropped); drawing objects
// whose top-left cell lies in the moved band move, keeping their size in cells.
void MoveMergesAndDrawings(Sheet& s, const CellShift& shift) {
  std::vector<RangeAddress> merges = s.merged();
  for (const RangeAddress& m : merges) {
    std::optional<RangeAddress> moved = ShiftedArea(AreaRef::Absolute(m), shift);
    if (moved && *moved == m) continue;
    s.Unmerge(m);
    if (!moved || moved->IsSingleCell()) continue;
    try {
      s.Merge(*moved);
    } catch (const ModelError&) {
      // Cells moved beside an area reaching out of the band now meet it: the moved one stays unmerged.
    }
  }
  for (auto& object : s.drawings()) MoveAnchor(object->anchor.from, &object->anchor.to, shift);
}

bool Shift(Sheet& sheet, const RangeAddress& area, ShiftAxis axis, bool insert, const std::vector<Workbook*>& others,
           std::string* why) {
  const SheetLimits& limits = sheet.limits();
  if (area.first.row > area.last.row || area.first.col > area.last.col || area.last.row >= limits.rows ||
      area.last.col >= limits.cols) {
    if (why) *why = "the range " + RangeName(area) + " is not on the sheet";
    return false;
  }
  const CellShift shift{&sheet, area, axis, insert};
  if (std::string problem = ShiftProblem(sheet, shift); !problem.empty()) {
    if (why) *why = problem;
    return false;
  }
  std::vector<Workbook*> books;
  if (sheet.workbook()) books.push_back(sheet.workbook());
  for (Workbook* b : others)
    if (b && std::find(books.begin(), books.end(), b) == books.end()) books.push_back(b);
  ShiftReferences(shift, books);
  MoveStoredCells(sheet, shift);
  MoveRowsAndColumns(sheet, shift);
  MoveMergesAndDrawings(sheet, shift);
  ShiftKeptParts(sheet, shift);
  sheet.Touch();
  return true;
}

}  // namespace

bool InsertCells(Sheet& sheet, const RangeAddress& area, ShiftAxis axis, const std::vector<Workbook*>& others,
                 std::string* why) {
  return Shift(sheet, area, axis, true, others, why);
}

bool DeleteCells(Sheet& sheet, const RangeAddress& area, ShiftAxis axis, const std::vector<Workbook*>& others,
                 std::string* why) {
  return Shift(sheet, area, axis, false, others, why);
}

}  // namespace sheets
