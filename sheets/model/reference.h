// Cell and range addresses and the text of references.
//
// Addresses are 0-based (row 0 is row 1 on screen, column 0 is column A). Reference text is parsed and
// written in both styles a spreadsheet user meets:
//   A1:    A1, $B$2, A1:C10, A:C (whole columns), 3:5 (whole rows), Sheet1!A1, 'My data'!$A$1:$B$9,
//          [Book.xlsx]Sheet1!A1:B2, '[My book.xlsx]Sheet 1'!A1, 'C:\dir\[Book.xlsx]Sheet1'!A1
//   R1C1:  R1C1, R[1]C[-2], RC, R2C3:R4C5, R3 (a row), C2:C4 (columns), relative parts counted from a
//          base cell
// A reference list is a union of such references separated by commas (A1:B2,Sheet2!C3).
//
// Every parse takes the sheet limits it is checked against: a row or column beyond them is not a
// reference (as "XFD1" is not one in a 256-column sheet).
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sheets {

// Size of a worksheet grid. The host sets it from the spreadsheet version it reports; file readers of
// newer formats accept the large grid.
struct SheetLimits {
  uint32_t rows = 65536;
  uint32_t cols = 256;

  // 65536 x 256 for versions up to 11, 1048576 x 16384 from version 12 on.
  static SheetLimits ForVersion(int version);
  static constexpr SheetLimits Classic() { return {65536, 256}; }
  static constexpr SheetLimits Large() { return {1048576, 16384}; }
  friend bool operator==(const SheetLimits&, const SheetLimits&) = default;
};

struct CellAddress {
  uint32_t row = 0;
  uint32_t col = 0;
  friend auto operator<=>(const CellAddress&, const CellAddress&) = default;
};

// An inclusive rectangle; first is the top-left, last the bottom-right cell.
struct RangeAddress {
  CellAddress first;
  CellAddress last;

  static RangeAddress Cell(uint32_t row, uint32_t col) { return {{row, col}, {row, col}}; }
  uint32_t Rows() const { return last.row - first.row + 1; }
  uint32_t Cols() const { return last.col - first.col + 1; }
  uint64_t CellCount() const { return uint64_t(Rows()) * Cols(); }
  bool IsSingleCell() const { return first == last; }
  bool Contains(CellAddress a) const {
    return a.row >= first.row && a.row <= last.row && a.col >= first.col && a.col <= last.col;
  }
  bool Intersects(const RangeAddress& o) const {
    return !(o.last.row < first.row || o.first.row > last.row || o.last.col < first.col || o.first.col > last.col);
  }
  friend bool operator==(const RangeAddress&, const RangeAddress&) = default;
};

// One rectangular area as written, with its $ signs.
struct AreaRef {
  enum class Kind : uint8_t { Cell, Range, Rows, Columns };
  RangeAddress range;
  Kind kind = Kind::Cell;
  bool first_row_abs = false, first_col_abs = false;
  bool last_row_abs = false, last_col_abs = false;

  static AreaRef Absolute(const RangeAddress& r);
  friend bool operator==(const AreaRef&, const AreaRef&) = default;
};

// A reference to one area, possibly on a named sheet of this or another workbook.
struct Reference {
  std::string workbook;    // external workbook as written inside [...], with any folder before it
                           // ("Book.xlsx", "C:\data\Book.xlsx", "1" for an indexed external link);
                           // empty for this workbook
  std::string sheet;       // sheet name, empty when none was written
  std::string last_sheet;  // last sheet of a 3-D reference (Sheet1:Sheet3!A1), else empty
  AreaRef area;

  bool IsExternal() const { return !workbook.empty(); }
  friend bool operator==(const Reference&, const Reference&) = default;
};

using ReferenceList = std::vector<Reference>;

enum class RefStyle : uint8_t { A1, R1C1 };

// Column letters: 0 -> "A", 25 -> "Z", 26 -> "AA", 16383 -> "XFD".
std::string ColumnLetters(uint32_t col);
// Inverse of ColumnLetters (case-insensitive); nullopt for anything else or beyond max_cols.
std::optional<uint32_t> ParseColumnLetters(std::string_view letters, uint32_t max_cols);

// "B3" for {2, 1}.
std::string CellName(CellAddress a);
// "A1:B2", or "A1" for a single cell (no sheet, relative).
std::string RangeName(const RangeAddress& r);

// Parses one reference (no unions). Surrounding spaces are not allowed; a leading '=' is not part of
// a reference.
std::optional<Reference> ParseA1(std::string_view text, const SheetLimits& limits);
std::optional<Reference> ParseR1C1(std::string_view text, CellAddress base, const SheetLimits& limits);
std::optional<Reference> ParseReference(std::string_view text, RefStyle style, CellAddress base,
                                        const SheetLimits& limits);
// Parses a union "A1:B2,Sheet2!C3" (commas outside quotes separate the areas).
std::optional<ReferenceList> ParseReferenceList(std::string_view text, RefStyle style, CellAddress base,
                                                const SheetLimits& limits);

// Writes the area alone ("$A$1:$B$2", "R1C1:R[2]C", "A:C", "R3").
std::string FormatArea(const AreaRef& area, RefStyle style, CellAddress base = {});
// Writes the reference with its sheet and workbook prefix, quoting where needed.
std::string FormatReference(const Reference& ref, RefStyle style, CellAddress base = {});
std::string FormatReferenceList(const ReferenceList& refs, RefStyle style, CellAddress base = {});

// The "[Book]Sheet!" or "Sheet!" prefix, quoted when the names need it; empty when both are empty.
std::string FormatSheetPrefix(std::string_view workbook, std::string_view sheet, std::string_view last_sheet = {});
// True when a sheet name must be quoted in a reference ('My data'!A1, '2019'!A1, 'A1'!B2).
bool SheetNameNeedsQuotes(std::string_view name);

}  // namespace sheets
