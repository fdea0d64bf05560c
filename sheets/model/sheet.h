// A sheet of a workbook: a worksheet (cells, formats, merged areas, outline, names, drawing objects)
// or a chart sheet (one chart).
//
// Cell store: per column, 24-byte slots sorted by row in blocks of 64 KB (cell_store.h). Text and
// formula text live in the sheet's string pools, so a cell never owns heap memory; reading a file in
// row order appends to the last block of each column. A cell that is empty, unformatted and without formula is not
// stored at all.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/model/cell_store.h"
#include "sheets/model/chart.h"
#include "sheets/model/defined_name.h"
#include "sheets/model/reference.h"
#include "sheets/model/string_pool.h"
#include "sheets/model/value.h"

namespace sheets {

class Workbook;
struct SheetPreserved;  // file parts of a sheet that the model does not interpret (sheets/io)

enum class SheetKind : uint8_t { Worksheet, Chart };
enum class SheetVisibility : uint8_t { Visible, Hidden, VeryHidden };

// What a window shows of this sheet.
struct SheetView {
  uint32_t zoom = 100;  // percent, 10..400
  bool gridlines = true;
  bool headings = true;
  bool outline_symbols = true;
  bool zero_values = true;
  bool page_break_preview = false;
  bool selected = false;  // the sheet's tab is selected (grouped sheets)
  CellAddress top_left;   // scroll position: the top-left visible cell
  uint32_t frozen_rows = 0, frozen_cols = 0;
  CellAddress active_cell;
  std::vector<RangeAddress> selection;  // empty: the active cell alone
  uint32_t window = 0;                  // the workbook window showing this view (index into Workbook::windows())
  friend bool operator==(const SheetView&, const SheetView&) = default;
};

enum class Orientation : uint8_t { Default, Portrait, Landscape };

struct PageSetup {
  uint32_t paper_size = 0;  // paper code as in the xlsx/BIFF vocabulary (1 Letter, 9 A4); 0 = not set
  Orientation orientation = Orientation::Default;
  uint32_t scale = 100;                          // percent
  uint32_t fit_to_width = 0, fit_to_height = 0;  // 0: not fitted
  friend bool operator==(const PageSetup&, const PageSetup&) = default;
};

struct RowInfo {
  double height = 0;  // points; 0 = default height
  bool hidden = false;
  bool collapsed = false;
  uint8_t outline_level = 0;       // 0..7
  std::optional<uint32_t> format;  // row format index
  friend bool operator==(const RowInfo&, const RowInfo&) = default;
};

struct ColumnInfo {
  double width = 0;  // characters of the default font; 0 = default width
  bool hidden = false;
  bool collapsed = false;
  uint8_t outline_level = 0;
  std::optional<uint32_t> format;
  friend bool operator==(const ColumnInfo&, const ColumnInfo&) = default;
};

// Columns first..last (0-based, inclusive) sharing one ColumnInfo.
struct ColumnSpan {
  uint32_t last = 0;
  ColumnInfo info;
  friend bool operator==(const ColumnSpan&, const ColumnSpan&) = default;
};

// What a cell holds, as a light view: text and formula point into the sheet's pools and stay valid
// as long as the sheet lives.
struct CellView {
  ValueType type = ValueType::Empty;
  double number = 0;
  std::string_view text;
  bool boolean = false;
  ErrorCode error = ErrorCode::NA;
  std::string_view formula;  // without '='; empty when the cell holds a constant
  uint32_t format = 0;
  uint32_t text_id = 0;  // Text: the text's id in the sheet's pool (equal ids, equal texts); for writers

  bool HasFormula() const { return !formula.empty(); }
  Value ToValue() const;
};

class Sheet {
 public:
  Sheet(Workbook* owner, std::string name, SheetKind kind, SheetLimits limits);
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;
  ~Sheet();

  const std::string& name() const { return name_; }
  SheetKind kind() const { return kind_; }
  bool IsWorksheet() const { return kind_ == SheetKind::Worksheet; }
  SheetVisibility visibility() const { return visibility_; }
  void set_visibility(SheetVisibility v);
  const SheetLimits& limits() const { return limits_; }
  Workbook* workbook() const { return owner_; }

  // ---- cells -------------------------------------------------------------------------------------
  // Throws ModelError when (row, col) is beyond the sheet's limits or the text is too long
  // (kMaxCellTextBytes). Setting a value removes any formula of the cell; the format stays.
  CellView Get(uint32_t row, uint32_t col) const;
  Value GetValue(uint32_t row, uint32_t col) const { return Get(row, col).ToValue(); }
  void SetValue(uint32_t row, uint32_t col, const Value& value);
  void SetNumber(uint32_t row, uint32_t col, double number);
  void SetText(uint32_t row, uint32_t col, std::string_view text);
  void SetBoolean(uint32_t row, uint32_t col, bool value);
  void SetError(uint32_t row, uint32_t col, ErrorCode error);
  // Formula text without '=' (a leading '=' is dropped) and the value it last gave.
  void SetFormula(uint32_t row, uint32_t col, std::string_view formula, const Value& cached = {});
  // Replaces the text of a formula cell's formula, nothing else (its cached value, format and array
  // formula stay); false when the cell has no formula.
  bool ReplaceFormulaText(uint32_t row, uint32_t col, std::string_view formula);
  // Replaces the cached value of a formula cell (or the value of a constant cell) keeping the formula.
  void SetCachedValue(uint32_t row, uint32_t col, const Value& cached);
  void SetFormat(uint32_t row, uint32_t col, uint32_t format);
  // Removes value and formula; keeps the format.
  void ClearContents(uint32_t row, uint32_t col);
  // Removes everything, format included.
  void ClearCell(uint32_t row, uint32_t col);
  void ClearRange(const RangeAddress& range);

  // ---- array formulas ------------------------------------------------------------------------------
  // An array formula computes one result over a whole range. Its text is the formula of the range's
  // first (top-left) cell, which Get shows as any formula; the other cells of the range hold only the
  // values it last gave, set with SetValue/SetCachedValue. Entering one clears the other cells of its
  // range; it throws ModelError when the range leaves the sheet or meets another array formula.
  // Giving the first cell a value or an ordinary formula, or clearing it, ends the array formula;
  // an ordinary formula in another cell of the range throws ModelError.
  void SetArrayFormula(const RangeAddress& range, std::string_view formula, const Value& cached = {});
  // The range of the array formula holding the cell, if any. Looks at the array formulas starting
  // at most the tallest one's height above the cell (one per row); so do SetArrayFormula and
  // SetFormula when the sheet has array formulas. File readers use AppendFormula/AppendArrayFormula.
  std::optional<RangeAddress> ArrayFormulaAt(CellAddress cell) const;
  // Every array formula's range, keyed by its first cell.
  const std::map<CellAddress, RangeAddress>& array_formulas() const { return arrays_; }

  // Number of stored cells (with a value, a formula or a format).
  size_t CellCount() const { return cell_count_; }
  // The smallest range holding every stored cell; nullopt for an empty sheet.
  std::optional<RangeAddress> UsedRange() const;
  // Calls fn for every stored cell, row by row and left to right within a row.
  void ForEachCell(const std::function<void(uint32_t row, uint32_t col, const CellView&)>& fn) const;
  // Calls fn for every stored cell inside range, row by row.
  void ForEachCellIn(const RangeAddress& range,
                     const std::function<void(uint32_t row, uint32_t col, const CellView&)>& fn) const;

  // ---- rows, columns, merges ------------------------------------------------------------------------
  const std::map<uint32_t, RowInfo>& rows() const { return rows_; }
  // Column settings as spans keyed by their first column: adjacent columns with equal settings form
  // one span, so a setting over the whole width is one entry however it was made.
  const std::map<uint32_t, ColumnSpan>& columns() const { return columns_; }
  RowInfo GetRow(uint32_t row) const;
  ColumnInfo GetColumn(uint32_t col) const;
  void SetRow(uint32_t row, const RowInfo& info);  // a default RowInfo removes the entry
  void SetColumn(uint32_t col, const ColumnInfo& info);
  // Columns first..last take info (a default ColumnInfo removes their settings); in logarithmic time.
  void SetColumns(uint32_t first, uint32_t last, const ColumnInfo& info);
  // Outline level 0..7; throws ModelError beyond.
  void SetRowOutlineLevel(uint32_t row, uint8_t level);
  void SetColumnOutlineLevel(uint32_t col, uint8_t level);

  const std::vector<RangeAddress>& merged() const { return merged_; }
  // Throws ModelError when the range overlaps a merged area already there or is a single cell.
  void Merge(const RangeAddress& range);
  // Merges many areas at once, checking them against each other and the sheet's own in n log n
  // time (Merge checks each against every one there); throws as Merge does, adding none then.
  void MergeAll(const std::vector<RangeAddress>& ranges);
  // Removes every merged area that intersects range; returns how many.
  size_t Unmerge(const RangeAddress& range);
  // The merged area holding the cell, if any.
  std::optional<RangeAddress> MergedAreaAt(CellAddress cell) const;

  // ---- names, view, page setup, drawings -----------------------------------------------------------
  NameTable& names() { return names_; }
  const NameTable& names() const { return names_; }
  SheetView& view() { return view_; }
  const SheetView& view() const { return view_; }
  // The sheet's views in the workbook's other windows, when it has any; view() is the first one.
  std::vector<SheetView>& other_views() { return other_views_; }
  const std::vector<SheetView>& other_views() const { return other_views_; }
  PageSetup& page_setup() { return page_setup_; }
  const PageSetup& page_setup() const { return page_setup_; }

  // Drawing objects in z-order (first is at the back). Objects are held by pointer so that a reference
  // to one stays valid while others are added or removed.
  std::vector<std::unique_ptr<DrawingObject>>& drawings() { return drawings_; }
  const std::vector<std::unique_ptr<DrawingObject>>& drawings() const { return drawings_; }
  // Adds an embedded chart; the object gets the next free id and the name "Chart <id>".
  DrawingObject& AddChart(const Chart& chart, const ObjectAnchor& anchor);
  DrawingObject& AddTextBox(std::string_view text, const ObjectAnchor& anchor);
  DrawingObject* FindDrawing(std::string_view name);

  // Chart sheets: their one chart (created on demand); throws ModelError on a worksheet.
  Chart& chart();
  const Chart* chart_if_any() const { return chart_sheet_chart_.get(); }

  // Parts of the sheet's file form that the model does not interpret; kept for saving.
  std::shared_ptr<SheetPreserved>& preserved() { return preserved_; }
  const std::shared_ptr<SheetPreserved>& preserved() const { return preserved_; }

  // For file readers: adds a text to the sheet's pool without searching for it, and stores a cell
  // holding a text by its id. Checks as SetText does.
  uint32_t AppendText(std::string_view text);
  void SetTextId(uint32_t row, uint32_t col, uint32_t text_id);
  // For file readers that store cells in row order and check array formula ranges themselves: a
  // formula stored without asking whether its cell lies inside an array formula, and an array
  // formula entered without looking for overlaps or clearing its range (none of its other cells has
  // been read yet). Checks cells and lengths as SetFormula does.
  void AppendFormula(uint32_t row, uint32_t col, std::string_view formula, const Value& cached);
  void AppendArrayFormula(const RangeAddress& range, std::string_view formula, const Value& cached);

  // Number of texts in the sheet's pool (text ids are below this), and the text of an id.
  size_t TextPoolSize() const { return texts_.size(); }
  // False when no cell of the sheet ever held a formula (so none holds one now).
  bool EverHadFormulas() const { return formulas_.size() > 0; }
  std::string_view TextAt(uint32_t text_id) const { return texts_.Get(text_id); }
  // Memory held by the cell store, in bytes (benchmarks).
  size_t CellMemoryUsed() const;

  // Marks the owning workbook changed.
  void Touch();

 private:
  friend class Workbook;

  // Slot flags in Slot::type.
  static constexpr uint8_t kTypeMask = 0x0F;
  static constexpr uint8_t kHasFormula = 0x10;

  using Slot = detail::CellSlot;

  void CheckCell(uint32_t row, uint32_t col) const;
  Slot* Find(uint32_t row, uint32_t col);
  const Slot* Find(uint32_t row, uint32_t col) const;
  Slot& FindOrInsert(uint32_t row, uint32_t col);
  void EraseIfBare(uint32_t row, uint32_t col);
  void StoreValue(Slot& s, const Value& value);
  void DropArrayAt(uint32_t row, uint32_t col);
  void StoreFormula(uint32_t row, uint32_t col, std::string_view formula, const Value& cached, bool check_arrays);
  void CheckArrayRange(const RangeAddress& range,
                       std::string_view formula) const;  // ends the array formula whose first cell this is
  CellView ViewOf(const Slot& s) const;

  Workbook* owner_;
  std::string name_;
  SheetKind kind_;
  SheetVisibility visibility_ = SheetVisibility::Visible;
  SheetLimits limits_;

  detail::CellStore cells_;
  size_t cell_count_ = 0;
  StringPool texts_;
  StringPool formulas_;

  std::map<uint32_t, RowInfo> rows_;
  std::map<uint32_t, ColumnSpan> columns_;  // by first column; never overlapping
  std::vector<RangeAddress> merged_;
  std::map<CellAddress, RangeAddress> arrays_;  // array formulas by first cell; never overlapping
  uint32_t array_max_rows_ = 0;                 // height of the tallest array formula ever entered
  NameTable names_;
  SheetView view_;
  std::vector<SheetView> other_views_;
  PageSetup page_setup_;
  std::vector<std::unique_ptr<DrawingObject>> drawings_;
  std::unique_ptr<Chart> chart_sheet_chart_;
  std::shared_ptr<SheetPreserved> preserved_;
};

}  // namespace sheets
