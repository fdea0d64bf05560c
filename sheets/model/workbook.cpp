#include "sheets/model/workbook.h"

#include <algorithm>

#include "sheets/model/defined_name.h"
#include "sheets/model/formula_text.h"
#include "sheets/model/model_error.h"

namespace sheets {

std::string_view FileFormatExtension(FileFormat format) {
  switch (format) {
    case FileFormat::None: return "";
    case FileFormat::Xlsx: return "xlsx";
    case FileFormat::Xlsm: return "xlsm";
    case FileFormat::Xltx: return "xltx";
    case FileFormat::Xltm: return "xltm";
    case FileFormat::Xls: return "xls";
    case FileFormat::Csv: return "csv";
  }
  return "";
}

namespace {
// Characters of a UTF-8 string (continuation bytes do not count).
size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}
}  // namespace

std::string SheetNameProblem(std::string_view name) {
  if (name.empty()) return "a sheet name cannot be empty";
  if (Utf8Length(name) > kMaxSheetNameChars) return "a sheet name has at most 31 characters";
  for (char c : name) {
    if (c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']')
      return "a sheet name cannot contain any of : \\ / ? * [ ]";
    if (static_cast<unsigned char>(c) < 0x20) return "a sheet name cannot contain control characters";
  }
  if (name.front() == '\'' || name.back() == '\'') return "a sheet name cannot begin or end with an apostrophe";
  return {};
}

Workbook::Workbook(std::string name, SheetLimits limits) : name_(std::move(name)), limits_(limits) {
  windows_.push_back(Window{});
}

Workbook::~Workbook() = default;

void Workbook::set_path(std::string path) {
  path_ = std::move(path);
  size_t slash = path_.find_last_of('/');
  name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

Sheet* Workbook::FindSheet(std::string_view name) {
  for (auto& s : sheets_)
    if (NamesEqual(s->name(), name)) return s.get();
  return nullptr;
}

const Sheet* Workbook::FindSheet(std::string_view name) const { return const_cast<Workbook*>(this)->FindSheet(name); }

int Workbook::SheetIndex(const Sheet* sheet) const {
  for (size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i].get() == sheet) return int(i);
  return -1;
}

void Workbook::CheckNewName(std::string_view name, const Sheet* except) const {
  std::string problem = SheetNameProblem(name);
  if (!problem.empty()) throw ModelError("\"" + std::string(name) + "\" is not a valid sheet name: " + problem);
  const Sheet* other = FindSheet(name);
  if (other && other != except) throw ModelError("A sheet named \"" + std::string(name) + "\" already exists");
}

Sheet& Workbook::AddSheet(std::string_view name, SheetKind kind, size_t position) {
  CheckNewName(name, nullptr);
  auto sheet = std::make_unique<Sheet>(this, std::string(name), kind, limits_);
  if (position > sheets_.size()) position = sheets_.size();
  Sheet& ref = *sheet;
  size_t old_count = sheets_.size();
  sheets_.insert(sheets_.begin() + std::ptrdiff_t(position), std::move(sheet));
  // A sheet inserted before the active one moves it right; one added at the end does not.
  for (auto& w : windows_)
    if (position < old_count && w.active_sheet >= position) ++w.active_sheet;
  dirty_ = true;
  return ref;
}

void Workbook::RenameSheet(size_t index, std::string_view new_name) {
  Sheet& s = sheet(index);
  CheckNewName(new_name, &s);
  const std::string old = s.name_;
  s.name_ = std::string(new_name);
  dirty_ = true;
  if (old == s.name_) return;
  // References to the sheet in formulas and chart series follow it, as they do in any spreadsheet.
  const SheetRenameFn rename = [&](std::string_view name) -> std::optional<std::string> {
    if (NamesEqual(name, old)) return s.name_;
    return std::nullopt;
  };
  for (auto& sheet : sheets_) {
    std::vector<std::pair<CellAddress, std::string>> changed;
    sheet->ForEachCell([&](uint32_t row, uint32_t col, const CellView& cell) {
      if (!cell.HasFormula()) return;
      std::string text = RenameSheetsInFormula(cell.formula, rename);
      if (text != cell.formula) changed.push_back({CellAddress{row, col}, std::move(text)});
    });
    for (const auto& [at, text] : changed) sheet->ReplaceFormulaText(at.row, at.col, text);
    auto renamedSeries = [&](const Chart& chart) {
      std::vector<ChartSeries> series = chart.series;
      for (ChartSeries& one : series)
        for (std::string* ref : {&one.name_ref, &one.x_values, &one.y_values})
          if (!ref->empty()) *ref = RenameSheetsInFormula(*ref, rename);
      return series;
    };
    for (auto& object : sheet->drawings()) {
      if (object->kind != DrawingObject::Kind::Chart || !object->chart) continue;
      std::vector<ChartSeries> series = renamedSeries(*object->chart);
      if (series == object->chart->series) continue;
      // A chart object may be shared with a copy of the sheet: the copy keeps its references.
      object->chart = std::make_shared<Chart>(*object->chart);
      object->chart->series = std::move(series);
    }
    if (sheet->chart_if_any()) sheet->chart().series = renamedSeries(sheet->chart());
  }
}

void Workbook::MoveSheet(size_t from, size_t to) {
  if (from >= sheets_.size() || to >= sheets_.size()) throw ModelError("Sheet position out of range");
  if (from == to) return;
  Sheet* active = windows_.empty() || sheets_.empty() ? nullptr : sheets_[active_sheet()].get();
  auto s = std::move(sheets_[from]);
  sheets_.erase(sheets_.begin() + std::ptrdiff_t(from));
  sheets_.insert(sheets_.begin() + std::ptrdiff_t(to), std::move(s));
  if (active)
    for (auto& w : windows_) w.active_sheet = uint32_t(SheetIndex(active));
  dirty_ = true;
}

void Workbook::FixWindowsAfterRemoval(size_t index) {
  for (auto& w : windows_) {
    if (w.active_sheet > index || (w.active_sheet == index && w.active_sheet > 0 && index >= sheets_.size()))
      --w.active_sheet;
    if (w.first_visible_tab >= sheets_.size() && w.first_visible_tab > 0) w.first_visible_tab = 0;
  }
}

void Workbook::RemoveSheet(size_t index) { DetachSheet(index); }

std::unique_ptr<Sheet> Workbook::DetachSheet(size_t index) {
  if (index >= sheets_.size()) throw ModelError("Sheet position out of range");
  auto s = std::move(sheets_[index]);
  sheets_.erase(sheets_.begin() + std::ptrdiff_t(index));
  FixWindowsAfterRemoval(index);
  s->owner_ = nullptr;
  dirty_ = true;
  return s;
}

Sheet& Workbook::AdoptSheet(std::unique_ptr<Sheet> sheet, const FormatTable& source_formats, size_t position) {
  CheckNewName(sheet->name(), nullptr);
  if (&source_formats != &formats_) {
    std::vector<uint32_t> map(source_formats.size(), UINT32_MAX);
    auto remap = [&](uint32_t f) {
      if (f >= map.size()) return 0u;
      if (map[f] == UINT32_MAX) map[f] = formats_.Intern(source_formats.Get(f));
      return map[f];
    };
    sheet->cells_.ForEachSlot([&](detail::CellSlot& slot) { slot.format = remap(slot.format); });
    for (auto& [r, info] : sheet->rows_)
      if (info.format) info.format = remap(*info.format);
    for (auto& [c, span] : sheet->columns_)
      if (span.info.format) span.info.format = remap(*span.info.format);
  }
  sheet->owner_ = this;
  // The sheet keeps its own limits, so no cell is lost on the way.
  if (position > sheets_.size()) position = sheets_.size();
  Sheet& ref = *sheet;
  size_t old_count = sheets_.size();
  sheets_.insert(sheets_.begin() + std::ptrdiff_t(position), std::move(sheet));
  // A sheet inserted before the active one moves it right; one added at the end does not.
  for (auto& w : windows_)
    if (position < old_count && w.active_sheet >= position) ++w.active_sheet;
  dirty_ = true;
  return ref;
}

std::string Workbook::NextSheetName(SheetKind kind) const {
  std::string stem = kind == SheetKind::Chart ? "Chart" : "Sheet";
  for (size_t n = 1;; ++n) {
    std::string candidate = stem + std::to_string(n);
    if (!FindSheet(candidate)) return candidate;
  }
}

size_t Workbook::active_sheet() const {
  if (windows_.empty() || sheets_.empty()) return 0;
  return std::min<size_t>(windows_[0].active_sheet, sheets_.size() - 1);
}

void Workbook::set_active_sheet(size_t index) {
  if (index >= sheets_.size()) throw ModelError("Sheet position out of range");
  if (windows_.empty()) windows_.push_back(Window{});
  windows_[0].active_sheet = uint32_t(index);
}

}  // namespace sheets
