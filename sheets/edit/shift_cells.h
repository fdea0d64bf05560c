// Inserting and deleting cells, rows and columns, with every reference following the cells it
// points at, as in any spreadsheet:
//
//   std::string why;
//   if (!sheets::InsertCells(sheet, {{4, 0}, {5, 255}}, sheets::ShiftAxis::Down, others, &why)) ...
//
// Cells beyond the inserted area move down (or right); cells beyond a deleted area move up (or
// left). What follows them: cell formulas on every sheet of the workbook and of the other open
// workbooks given (their external references "[Book.xlsx]Sheet!A1"), defined names of workbook
// and sheet level, chart series, merged areas, array formulas, drawing objects, the heights and
// widths of whole rows and columns, and what a file read keeps of the sheet by cell address
// (conditional formats, validations, hyperlinks, pictures, cell notes). A reference moves with its cells, grows when cells are
// inserted inside it, shrinks when part of it is deleted and becomes #REF! when all of it is
// deleted or pushed off the sheet; absolute and relative references alike. A reference only part of
// whose cells move (it reaches beside the moved band) stays, as do 3-D references (Jan:Mar!A1),
// whole columns under rows moving and whole rows under columns moving.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/model/reference.h"

namespace sheets {

class Sheet;
class Workbook;

// Which way the cells beyond the area move: Down and Right for an insertion (the deletion moves
// them back, up and left).
enum class ShiftAxis : uint8_t { Down, Right };

// Cells inserted or deleted on one sheet. For whole rows the area spans every column, for whole
// columns every row.
struct CellShift {
  const Sheet* sheet = nullptr;
  RangeAddress area;
  ShiftAxis axis = ShiftAxis::Down;
  bool insert = true;
};

// Where a reference's cells are read from: its workbook, and the sheet that a reference without a
// sheet name means (a cell formula's own sheet, a sheet-level name's sheet; null for a
// workbook-level name).
struct FormulaHome {
  const Workbook* book = nullptr;
  const Sheet* sheet = nullptr;
};

// Where an area on the shifted sheet is after the shift; nullopt when all its cells are gone.
std::optional<RangeAddress> ShiftedArea(const AreaRef& area, const CellShift& shift);

// True when the reference, read from home, points at the shifted sheet.
bool RefersToShiftedSheet(const Reference& ref, const FormulaHome& home, const CellShift& shift);

// The formula text (with or without '=') with its references into the shifted sheet adjusted;
// nullopt when none changes or the text is not a formula the engine reads.
std::optional<std::string> ShiftFormulaText(std::string_view formula, const FormulaHome& home, const CellShift& shift);

// A reference list ("Data!$A$1:$B$9", "Data!$A$1,Data!$C$3") adjusted; an area whose cells are
// all gone is written "#REF!". nullopt when nothing changes or the text is no reference list.
std::optional<std::string> ShiftReferenceListText(std::string_view text, const FormulaHome& home,
                                                  const CellShift& shift);

// Inserts cells over area (moving what is there and beyond along axis) or deletes them. Fails,
// changing nothing and saying why, when cells holding something would be pushed off the sheet or
// part of an array formula would move without the rest. `others`: the other open workbooks, whose
// references into this sheet follow.
bool InsertCells(Sheet& sheet, const RangeAddress& area, ShiftAxis axis, const std::vector<Workbook*>& others,
                 std::string* why);
bool DeleteCells(Sheet& sheet, const RangeAddress& area, ShiftAxis axis, const std::vector<Workbook*>& others,
                 std::string* why);

}  // namespace sheets
