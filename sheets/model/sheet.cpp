#include "sheets/model/sheet.h"

#include <algorithm>

#include "sheets/model/model_error.h"
#include "sheets/model/workbook.h"

namespace sheets {

Value CellView::ToValue() const {
  switch (type) {
    case ValueType::Empty: return Value::Empty();
    case ValueType::Number: return Value::Number(number);
    case ValueType::Text: return Value::Text(text);
    case ValueType::Boolean: return Value::Boolean(boolean);
    case ValueType::Error: return Value::Error(error);
  }
  return {};
}

Sheet::Sheet(Workbook* owner, std::string name, SheetKind kind, SheetLimits limits)
    : owner_(owner), name_(std::move(name)), kind_(kind), limits_(limits) {}

Sheet::~Sheet() = default;

void Sheet::Touch() {
  if (owner_) owner_->set_dirty(true);
}

void Sheet::set_visibility(SheetVisibility v) {
  visibility_ = v;
  Touch();
}

void Sheet::CheckCell(uint32_t row, uint32_t col) const {
  if (kind_ != SheetKind::Worksheet) throw ModelError("Sheet \"" + name_ + "\" is a chart sheet and holds no cells");
  if (row >= limits_.rows || col >= limits_.cols)
    throw ModelError("Cell R" + std::to_string(uint64_t(row) + 1) + "C" + std::to_string(uint64_t(col) + 1) +
                     " is beyond the sheet's limits of " + std::to_string(limits_.rows) + " rows and " +
                     std::to_string(limits_.cols) + " columns");
}

const Sheet::Slot* Sheet::Find(uint32_t row, uint32_t col) const { return cells_.Find(row, col); }

Sheet::Slot* Sheet::Find(uint32_t row, uint32_t col) { return cells_.Find(row, col); }

Sheet::Slot& Sheet::FindOrInsert(uint32_t row, uint32_t col) {
  bool inserted = false;
  Slot& s = cells_.FindOrInsert(row, col, &inserted);
  if (!inserted) return s;
  s.type = uint8_t(ValueType::Empty);
  // A new cell takes the format of its row, else of its column, as a typed-in cell does.
  if (!rows_.empty() || !columns_.empty()) {
    auto r = rows_.find(row);
    if (r != rows_.end() && r->second.format)
      s.format = *r->second.format;
    else if (!columns_.empty())
      if (std::optional<uint32_t> f = GetColumn(col).format) s.format = *f;
  }
  ++cell_count_;
  return s;
}

void Sheet::EraseIfBare(uint32_t row, uint32_t col) {
  const Slot* s = Find(row, col);
  if (!s) return;
  if ((s->type & kTypeMask) == uint8_t(ValueType::Empty) && !(s->type & kHasFormula) && s->format == 0) {
    cells_.Erase(row, col);
    --cell_count_;
  }
}

void Sheet::StoreValue(Slot& s, const Value& value) {
  uint8_t flags = s.type & ~kTypeMask;
  s.small = 0;
  s.number = 0;
  switch (value.type) {
    case ValueType::Empty: break;
    case ValueType::Number: s.number = value.number; break;
    case ValueType::Text: s.text = texts_.Intern(value.text); break;
    case ValueType::Boolean: s.small = value.boolean ? 1 : 0; break;
    case ValueType::Error: s.small = uint8_t(value.error); break;
  }
  s.type = uint8_t(uint8_t(value.type) | flags);
}

CellView Sheet::ViewOf(const Slot& s) const {
  CellView v;
  v.type = ValueType(s.type & kTypeMask);
  v.format = s.format;
  switch (v.type) {
    case ValueType::Empty: break;
    case ValueType::Number: v.number = s.number; break;
    case ValueType::Text:
      v.text = texts_.Get(s.text);
      v.text_id = s.text;
      break;
    case ValueType::Boolean: v.boolean = s.small != 0; break;
    case ValueType::Error: v.error = ErrorCode(s.small); break;
  }
  if (s.type & kHasFormula) v.formula = formulas_.Get(s.formula);
  return v;
}

CellView Sheet::Get(uint32_t row, uint32_t col) const {
  CheckCell(row, col);
  const Slot* s = Find(row, col);
  if (!s) return {};
  return ViewOf(*s);
}

void Sheet::SetValue(uint32_t row, uint32_t col, const Value& value) {
  CheckCell(row, col);
  if (value.type == ValueType::Text && value.text.size() > kMaxCellTextBytes)
    throw ModelError("Text of " + std::to_string(value.text.size()) + " bytes is longer than the " +
                     std::to_string(kMaxCellTextBytes) + " bytes a cell can hold");
  Touch();
  DropArrayAt(row, col);
  if (value.type == ValueType::Empty) {
    Slot* s = Find(row, col);
    if (!s) return;
    s->type = uint8_t(ValueType::Empty);
    EraseIfBare(row, col);
    return;
  }
  Slot& s = FindOrInsert(row, col);
  s.type = uint8_t(ValueType::Empty);  // drops the formula flag
  StoreValue(s, value);
}

void Sheet::SetNumber(uint32_t row, uint32_t col, double number) { SetValue(row, col, Value::Number(number)); }
void Sheet::SetBoolean(uint32_t row, uint32_t col, bool value) { SetValue(row, col, Value::Boolean(value)); }
void Sheet::SetError(uint32_t row, uint32_t col, ErrorCode error) { SetValue(row, col, Value::Error(error)); }

void Sheet::SetText(uint32_t row, uint32_t col, std::string_view text) {
  CheckCell(row, col);
  if (text.size() > kMaxCellTextBytes)
    throw ModelError("Text of " + std::to_string(text.size()) + " bytes is longer than the " +
                     std::to_string(kMaxCellTextBytes) + " bytes a cell can hold");
  Touch();
  DropArrayAt(row, col);
  Slot& s = FindOrInsert(row, col);
  s.type = uint8_t(ValueType::Text);
  s.small = 0;
  s.text = texts_.Intern(text);
}

uint32_t Sheet::AppendText(std::string_view text) {
  if (text.size() > kMaxCellTextBytes)
    throw ModelError("Text of " + std::to_string(text.size()) + " bytes is longer than the " +
                     std::to_string(kMaxCellTextBytes) + " bytes a cell can hold");
  return texts_.Append(text);
}

void Sheet::SetTextId(uint32_t row, uint32_t col, uint32_t text_id) {
  CheckCell(row, col);
  if (text_id >= texts_.size()) throw ModelError("Unknown text id");
  Touch();
  DropArrayAt(row, col);
  Slot& s = FindOrInsert(row, col);
  s.type = uint8_t(ValueType::Text);
  s.small = 0;
  s.text = text_id;
}

void Sheet::SetFormula(uint32_t row, uint32_t col, std::string_view formula, const Value& cached) {
  StoreFormula(row, col, formula, cached, true);
}

bool Sheet::ReplaceFormulaText(uint32_t row, uint32_t col, std::string_view formula) {
  if (!formula.empty() && formula.front() == '=') formula.remove_prefix(1);
  if (formula.empty()) return false;
  if (formula.size() > kMaxCellTextBytes) throw ModelError("Formula is longer than a cell can hold");
  Slot* s = Find(row, col);
  if (!s || !(s->type & kHasFormula)) return false;
  Touch();
  s->formula = formulas_.Intern(formula);
  return true;
}

void Sheet::AppendFormula(uint32_t row, uint32_t col, std::string_view formula, const Value& cached) {
  StoreFormula(row, col, formula, cached, false);
}

void Sheet::StoreFormula(uint32_t row, uint32_t col, std::string_view formula, const Value& cached, bool check_arrays) {
  if (!formula.empty() && formula.front() == '=') formula.remove_prefix(1);
  if (formula.empty()) {
    SetValue(row, col, cached);
    return;
  }
  CheckCell(row, col);
  if (formula.size() > kMaxCellTextBytes) throw ModelError("Formula is longer than a cell can hold");
  if (cached.type == ValueType::Text && cached.text.size() > kMaxCellTextBytes)
    throw ModelError("Text is longer than a cell can hold");
  if (!arrays_.empty()) {
    auto array = check_arrays ? ArrayFormulaAt({row, col}) : std::nullopt;
    if (array && array->first != CellAddress{row, col})
      throw ModelError("Cell " + CellName({row, col}) + " is part of the array formula in " + RangeName(*array) +
                       " and cannot hold a formula of its own");
    DropArrayAt(row, col);
  }
  Touch();
  Slot& s = FindOrInsert(row, col);
  s.formula = formulas_.Intern(formula);
  s.type = kHasFormula;
  StoreValue(s, cached);
}

void Sheet::SetCachedValue(uint32_t row, uint32_t col, const Value& cached) {
  CheckCell(row, col);
  Slot* s = Find(row, col);
  if (!s || !(s->type & kHasFormula)) {
    SetValue(row, col, cached);
    return;
  }
  if (cached.type == ValueType::Text && cached.text.size() > kMaxCellTextBytes)
    throw ModelError("Text is longer than a cell can hold");
  StoreValue(*s, cached);
}

void Sheet::SetFormat(uint32_t row, uint32_t col, uint32_t format) {
  CheckCell(row, col);
  Touch();
  if (format == 0) {
    Slot* s = Find(row, col);
    if (!s) return;
    s->format = 0;
    EraseIfBare(row, col);
    return;
  }
  FindOrInsert(row, col).format = format;
}

void Sheet::ClearContents(uint32_t row, uint32_t col) {
  CheckCell(row, col);
  Slot* s = Find(row, col);
  if (!s) return;
  Touch();
  DropArrayAt(row, col);
  s->type = uint8_t(ValueType::Empty);
  EraseIfBare(row, col);
}

void Sheet::ClearCell(uint32_t row, uint32_t col) {
  CheckCell(row, col);
  Slot* s = Find(row, col);
  if (!s) return;
  Touch();
  DropArrayAt(row, col);
  s->type = uint8_t(ValueType::Empty);
  s->format = 0;
  EraseIfBare(row, col);
}

void Sheet::ClearRange(const RangeAddress& range) {
  for (auto it = arrays_.begin(); it != arrays_.end();) {
    if (range.Contains(it->first)) {
      it = arrays_.erase(it);
      Touch();
    } else {
      ++it;
    }
  }
  for (uint32_t c = range.first.col; c <= range.last.col && c < cells_.column_count(); ++c) {
    size_t n = cells_.RemoveIf(c, range.first.row, range.last.row, [](Slot&) { return true; });
    if (n) {
      cell_count_ -= n;
      Touch();
    }
  }
}

void Sheet::DropArrayAt(uint32_t row, uint32_t col) {
  if (!arrays_.empty()) arrays_.erase(CellAddress{row, col});
}

void Sheet::CheckArrayRange(const RangeAddress& range, std::string_view formula) const {
  if (formula.empty()) throw ModelError("An array formula needs formula text");
  if (range.first.row > range.last.row || range.first.col > range.last.col)
    throw ModelError("Array formula range " + RangeName(range) + " is not top-left to bottom-right");
  CheckCell(range.first.row, range.first.col);
  CheckCell(range.last.row, range.last.col);
}

void Sheet::AppendArrayFormula(const RangeAddress& range, std::string_view formula, const Value& cached) {
  if (!formula.empty() && formula.front() == '=') formula.remove_prefix(1);
  CheckArrayRange(range, formula);
  StoreFormula(range.first.row, range.first.col, formula, cached, false);
  arrays_[range.first] = range;
  array_max_rows_ = std::max(array_max_rows_, range.Rows());
}

void Sheet::SetArrayFormula(const RangeAddress& range, std::string_view formula, const Value& cached) {
  if (!formula.empty() && formula.front() == '=') formula.remove_prefix(1);
  CheckArrayRange(range, formula);
  if (!arrays_.empty()) {
    // Arrays never overlap, so one reaching into range has its first cell within the tallest height above.
    uint32_t top = range.first.row >= array_max_rows_ ? range.first.row - array_max_rows_ + 1 : 0;
    for (auto it = arrays_.lower_bound({top, 0}); it != arrays_.end() && it->first.row <= range.last.row; ++it)
      if (it->second.Intersects(range) && it->first != range.first)
        throw ModelError("Array formula range " + RangeName(range) + " overlaps the array formula in " +
                         RangeName(it->second));
  }
  SetFormula(range.first.row, range.first.col, formula, cached);  // ends an array formula starting here
  // The other cells of the range lose what they held; formats stay.
  for (uint32_t c = range.first.col; c <= range.last.col && c < cells_.column_count(); ++c) {
    cell_count_ -= cells_.RemoveIf(c, range.first.row, range.last.row, [&](Slot& s) {
      if (s.row == range.first.row && c == range.first.col) return false;
      s.type = uint8_t(ValueType::Empty);
      return s.format == 0;
    });
  }
  arrays_[range.first] = range;
  array_max_rows_ = std::max(array_max_rows_, range.Rows());
}

std::optional<RangeAddress> Sheet::ArrayFormulaAt(CellAddress cell) const {
  if (arrays_.empty()) return std::nullopt;
  // Candidates start at most array_max_rows_ - 1 rows above; in each row only the last one to the
  // left can reach the cell, as arrays sharing a row do not overlap.
  uint32_t top = cell.row >= array_max_rows_ ? cell.row - array_max_rows_ + 1 : 0;
  uint32_t r = cell.row;
  for (;;) {
    auto it = arrays_.upper_bound(CellAddress{r, cell.col});
    if (it == arrays_.begin()) break;
    --it;  // the last first cell at or before (r, column of cell)
    if (it->first.row < top) break;
    if (it->first.row < r) {
      r = it->first.row;
      continue;
    }
    if (it->second.Contains(cell)) return it->second;
    if (r == 0) break;
    --r;
  }
  return std::nullopt;
}

std::optional<RangeAddress> Sheet::UsedRange() const {
  std::optional<RangeAddress> r;
  for (uint32_t c = 0; c < cells_.column_count(); ++c) {
    const auto& col = cells_.column(c);
    if (col.empty()) continue;
    if (!r) {
      r = RangeAddress{{col.first_row(), c}, {col.last_row(), c}};
    } else {
      r->first.row = std::min(r->first.row, col.first_row());
      r->last.row = std::max(r->last.row, col.last_row());
      r->last.col = c;
    }
  }
  return r;
}

void Sheet::ForEachCell(const std::function<void(uint32_t, uint32_t, const CellView&)>& fn) const {
  auto used = UsedRange();
  if (used) ForEachCellIn(*used, fn);
}

void Sheet::ForEachCellIn(const RangeAddress& range,
                          const std::function<void(uint32_t, uint32_t, const CellView&)>& fn) const {
  // A cursor per non-empty column; each step emits the row that is smallest over all cursors.
  struct Cursor {
    uint32_t col;
    const detail::CellColumn* column;
    detail::CellColumn::Pos pos;
  };
  std::vector<Cursor> cursors;
  for (uint32_t c = range.first.col; c <= range.last.col && c < cells_.column_count(); ++c) {
    const auto& col = cells_.column(c);
    if (col.empty()) continue;
    auto pos = col.LowerBound(range.first.row);
    if (!col.AtEnd(pos) && col.At(pos).row <= range.last.row) cursors.push_back({c, &col, pos});
  }
  while (!cursors.empty()) {
    uint32_t row = UINT32_MAX;
    for (const auto& cur : cursors) row = std::min(row, cur.column->At(cur.pos).row);
    bool finished = false;
    for (auto& cur : cursors) {
      const Slot& s = cur.column->At(cur.pos);
      if (s.row != row) continue;
      fn(row, cur.col, ViewOf(s));
      cur.column->Advance(cur.pos);
      if (cur.column->AtEnd(cur.pos) || cur.column->At(cur.pos).row > range.last.row) finished = true;
    }
    if (finished)
      std::erase_if(
          cursors, [&](const Cursor& c) { return c.column->AtEnd(c.pos) || c.column->At(c.pos).row > range.last.row; });
  }
}

RowInfo Sheet::GetRow(uint32_t row) const {
  auto it = rows_.find(row);
  return it == rows_.end() ? RowInfo{} : it->second;
}

ColumnInfo Sheet::GetColumn(uint32_t col) const {
  auto it = columns_.upper_bound(col);
  if (it == columns_.begin()) return ColumnInfo{};
  --it;
  return it->second.last >= col ? it->second.info : ColumnInfo{};
}

void Sheet::SetRow(uint32_t row, const RowInfo& info) {
  if (row >= limits_.rows)
    throw ModelError("Row " + std::to_string(uint64_t(row) + 1) + " is beyond the sheet's limits");
  if (info.outline_level > 7) throw ModelError("Outline levels go from 0 to 7");
  Touch();
  if (info == RowInfo{})
    rows_.erase(row);
  else
    rows_[row] = info;
}

void Sheet::SetColumn(uint32_t col, const ColumnInfo& info) { SetColumns(col, col, info); }

void Sheet::SetColumns(uint32_t first, uint32_t last, const ColumnInfo& info) {
  if (last >= limits_.cols || first > last)
    throw ModelError("Column " + std::to_string(uint64_t(std::max(first, last)) + 1) + " is beyond the sheet's limits");
  if (info.outline_level > 7) throw ModelError("Outline levels go from 0 to 7");
  Touch();
  // Cut the spans that reach into first..last at its edges, then drop what lies inside.
  auto it = columns_.upper_bound(first);
  if (it != columns_.begin()) {
    auto before = std::prev(it);
    if (before->second.last >= first) {
      ColumnSpan tail = before->second;
      before->second.last = first - 1;
      if (before->first == first) columns_.erase(before);
      if (tail.last > last) columns_[last + 1] = {tail.last, tail.info};
    }
  }
  it = columns_.lower_bound(first);
  while (it != columns_.end() && it->first <= last) {
    if (it->second.last > last) columns_[last + 1] = {it->second.last, it->second.info};
    it = columns_.erase(it);
  }
  if (info == ColumnInfo{}) return;
  // Join equal neighbours, so that equal settings are always one span.
  uint32_t lo = first, hi = last;
  auto next = columns_.find(last + 1);
  if (next != columns_.end() && next->second.info == info) {
    hi = next->second.last;
    columns_.erase(next);
  }
  auto prev = columns_.lower_bound(first);
  if (prev != columns_.begin() && (--prev)->second.last + 1 == first && prev->second.info == info) {
    prev->second.last = hi;
    return;
  }
  columns_[lo] = {hi, info};
}

void Sheet::SetRowOutlineLevel(uint32_t row, uint8_t level) {
  RowInfo info = GetRow(row);
  info.outline_level = level;
  SetRow(row, info);
}

void Sheet::SetColumnOutlineLevel(uint32_t col, uint8_t level) {
  ColumnInfo info = GetColumn(col);
  info.outline_level = level;
  SetColumn(col, info);
}

void Sheet::Merge(const RangeAddress& range) {
  CheckCell(range.last.row, range.last.col);
  if (range.first.row > range.last.row || range.first.col > range.last.col)
    throw ModelError("Merged area " + RangeName(range) + " is not a valid range");
  if (range.IsSingleCell()) throw ModelError("A merged area needs more than one cell");
  for (const auto& m : merged_)
    if (m.Intersects(range))
      throw ModelError("Merged area " + RangeName(range) + " overlaps merged area " + RangeName(m));
  Touch();
  merged_.push_back(range);
}

void Sheet::MergeAll(const std::vector<RangeAddress>& ranges) {
  // Sweep down the rows: the areas whose rows reach the sweep row must lie in separate columns, so
  // they are kept by first column and each new area is checked against its left neighbour only.
  std::vector<std::pair<RangeAddress, bool>> all;  // (area, already on the sheet)
  all.reserve(merged_.size() + ranges.size());
  for (const auto& m : merged_) all.emplace_back(m, true);
  for (const auto& r : ranges) {
    CheckCell(r.last.row, r.last.col);
    if (r.first.row > r.last.row || r.first.col > r.last.col)
      throw ModelError("Merged area " + RangeName(r) + " is not a valid range");
    if (r.IsSingleCell()) throw ModelError("A merged area needs more than one cell");
    all.emplace_back(r, false);
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const auto& a, const auto& b) { return a.first.first.row < b.first.first.row; });
  std::map<uint32_t, RangeAddress> live;
  std::multimap<uint32_t, uint32_t> ends;  // last row -> first column of each live area
  for (const auto& [r, old] : all) {
    while (!ends.empty() && ends.begin()->first < r.first.row) {
      live.erase(ends.begin()->second);
      ends.erase(ends.begin());
    }
    auto it = live.upper_bound(r.last.col);
    if (it != live.begin() && std::prev(it)->second.last.col >= r.first.col) {
      const RangeAddress& other = std::prev(it)->second;
      throw ModelError("Merged area " + RangeName(old ? other : r) + " overlaps merged area " +
                       RangeName(old ? r : other));
    }
    live[r.first.col] = r;
    ends.emplace(r.last.row, r.first.col);
  }
  if (ranges.empty()) return;
  Touch();
  merged_.insert(merged_.end(), ranges.begin(), ranges.end());
}

size_t Sheet::Unmerge(const RangeAddress& range) {
  size_t n = std::erase_if(merged_, [&](const RangeAddress& m) { return m.Intersects(range); });
  if (n) Touch();
  return n;
}

std::optional<RangeAddress> Sheet::MergedAreaAt(CellAddress cell) const {
  for (const auto& m : merged_)
    if (m.Contains(cell)) return m;
  return std::nullopt;
}

namespace {
uint32_t NextDrawingId(const std::vector<std::unique_ptr<DrawingObject>>& drawings) {
  uint32_t id = 0;
  for (const auto& d : drawings) id = std::max(id, d->id);
  return id + 1;
}
}  // namespace

DrawingObject& Sheet::AddChart(const Chart& chart, const ObjectAnchor& anchor) {
  if (kind_ != SheetKind::Worksheet) throw ModelError("Charts are embedded in worksheets only");
  auto d = std::make_unique<DrawingObject>();
  d->kind = DrawingObject::Kind::Chart;
  d->id = NextDrawingId(drawings_);
  d->name = "Chart " + std::to_string(d->id);
  d->anchor = anchor;
  d->chart = std::make_shared<Chart>(chart);
  Touch();
  drawings_.push_back(std::move(d));
  return *drawings_.back();
}

DrawingObject& Sheet::AddTextBox(std::string_view text, const ObjectAnchor& anchor) {
  if (kind_ != SheetKind::Worksheet) throw ModelError("Text boxes are placed on worksheets only");
  auto d = std::make_unique<DrawingObject>();
  d->kind = DrawingObject::Kind::TextBox;
  d->id = NextDrawingId(drawings_);
  d->name = "Text Box " + std::to_string(d->id);
  d->anchor = anchor;
  d->text = std::string(text);
  Touch();
  drawings_.push_back(std::move(d));
  return *drawings_.back();
}

DrawingObject* Sheet::FindDrawing(std::string_view name) {
  for (auto& d : drawings_)
    if (NamesEqual(d->name, name)) return d.get();
  return nullptr;
}

Chart& Sheet::chart() {
  if (kind_ != SheetKind::Chart) throw ModelError("Sheet \"" + name_ + "\" is not a chart sheet");
  if (!chart_sheet_chart_) chart_sheet_chart_ = std::make_unique<Chart>();
  return *chart_sheet_chart_;
}

size_t Sheet::CellMemoryUsed() const { return cells_.MemoryUsed() + texts_.MemoryUsed() + formulas_.MemoryUsed(); }

}  // namespace sheets
