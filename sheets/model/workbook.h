// The workbook: its file (path, format, dirty flag), sheets in order, workbook-level names, formats,
// and the windows that show it.
//
// Typical use:
//   sheets::Workbook book("Book1");
//   sheets::Sheet& s = book.AddSheet("Data");
//   s.SetNumber(0, 0, 1.5);
//   s.SetFormat(0, 0, book.formats().Intern(bold_format));
//   book.names().Define("Total", "Data!$A$1", book.limits());
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/model/cell_format.h"
#include "sheets/model/defined_name.h"
#include "sheets/model/sheet.h"

namespace sheets {

struct PackagePreserved;  // file parts the model does not interpret (sheets/io)

enum class FileFormat : uint8_t {
  None,  // never saved
  Xlsx,
  Xlsm,
  Xltx,
  Xltm,
  Xls,
  Csv
};
// "xlsx", "xls" ... ("" for None).
std::string_view FileFormatExtension(FileFormat format);

// A window on the workbook. The per-sheet view (zoom, gridlines, scroll position, selection) is in
// each sheet's SheetView.
struct Window {
  std::string title;  // as shown; empty: the workbook's name
  bool hidden = false;
  int32_t x = 0, y = 0;
  int32_t width = 0, height = 0;  // 0: the host's default size
  uint32_t active_sheet = 0;      // index into sheets
  uint32_t first_visible_tab = 0;
  uint32_t tab_ratio = 600;  // tab bar width, per mille of the window's width
  bool show_tabs = true;
  bool show_horizontal_scroll = true;
  bool show_vertical_scroll = true;
  friend bool operator==(const Window&, const Window&) = default;
};

// Longest sheet name in characters (bytes for ASCII names).
inline constexpr size_t kMaxSheetNameChars = 31;

// Empty when name is a valid sheet name, else why not.
std::string SheetNameProblem(std::string_view name);

class Workbook {
 public:
  // An untitled workbook called name ("Book1"), with one window and no sheets.
  explicit Workbook(std::string name = "Book1", SheetLimits limits = SheetLimits::Classic());
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // ---- file ------------------------------------------------------------------------------------------
  const std::string& name() const { return name_; }  // file name without folder ("Data.xlsx") or "Book1"
  void set_name(std::string name) { name_ = std::move(name); }
  const std::string& path() const { return path_; }  // empty: never saved
  // Sets path and name (the file name part of path).
  void set_path(std::string path);
  FileFormat format() const { return format_; }
  void set_format(FileFormat f) { format_ = f; }
  bool dirty() const { return dirty_; }
  void set_dirty(bool d) { dirty_ = d; }
  const SheetLimits& limits() const { return limits_; }
  // Dates count from 1904-01-01 (serial 0) instead of the 1900 system; files made on old Macs use it.
  bool date_1904() const { return date_1904_; }
  void set_date_1904(bool d) { date_1904_ = d; }

  // ---- sheets ------------------------------------------------------------------------------------------
  size_t sheet_count() const { return sheets_.size(); }
  Sheet& sheet(size_t index) { return *sheets_.at(index); }
  const Sheet& sheet(size_t index) const { return *sheets_.at(index); }
  Sheet* FindSheet(std::string_view name);  // case-insensitive; nullptr when absent
  const Sheet* FindSheet(std::string_view name) const;
  // Index of the sheet, or -1 when it does not belong to this workbook.
  int SheetIndex(const Sheet* sheet) const;
  // Adds a sheet at position (default: at the end). Throws ModelError for an invalid or taken name.
  Sheet& AddSheet(std::string_view name, SheetKind kind = SheetKind::Worksheet, size_t position = SIZE_MAX);
  // Renames a sheet; cell formulas and chart series of this workbook that refer to it follow it.
  void RenameSheet(size_t index, std::string_view new_name);
  void MoveSheet(size_t from, size_t to);
  void RemoveSheet(size_t index);
  // A name "Sheet<n>" (or "Chart<n>") not yet taken.
  std::string NextSheetName(SheetKind kind = SheetKind::Worksheet) const;
  // Takes a sheet out of this workbook, to be given to another with AdoptSheet.
  std::unique_ptr<Sheet> DetachSheet(size_t index);
  // Inserts a sheet detached from another workbook: its cell, row and column formats are re-interned
  // into this workbook's format table. Throws ModelError when its name is taken here.
  Sheet& AdoptSheet(std::unique_ptr<Sheet> sheet, const FormatTable& source_formats, size_t position = SIZE_MAX);

  // ---- names, formats, windows -------------------------------------------------------------------------
  NameTable& names() { return names_; }
  const NameTable& names() const { return names_; }
  FormatTable& formats() { return formats_; }
  const FormatTable& formats() const { return formats_; }
  std::vector<Window>& windows() { return windows_; }
  const std::vector<Window>& windows() const { return windows_; }
  // The sheet shown by the first window (0 when there is no window).
  size_t active_sheet() const;
  void set_active_sheet(size_t index);

  std::shared_ptr<PackagePreserved>& preserved() { return preserved_; }
  const std::shared_ptr<PackagePreserved>& preserved() const { return preserved_; }

 private:
  void CheckNewName(std::string_view name, const Sheet* except) const;
  void FixWindowsAfterRemoval(size_t index);

  std::string name_;
  std::string path_;
  FileFormat format_ = FileFormat::None;
  bool dirty_ = false;
  bool date_1904_ = false;
  SheetLimits limits_;
  std::vector<std::unique_ptr<Sheet>> sheets_;
  NameTable names_;
  FormatTable formats_;
  std::vector<Window> windows_;
  std::shared_ptr<PackagePreserved> preserved_;
};

}  // namespace sheets
