// What a file read keeps of a sheet by cell address, as parts the model does not interpret,
// follows inserted and deleted cells (shift_cells.h): conditional formats, data validations,
// hyperlinks, filters (their ranges and formulas), pictures and shapes (their anchors), and cell
// notes (the comments part and the note boxes of the VML drawing). Parts this reader cannot take
// stay as they are.
#pragma once

#include "sheets/edit/shift_cells.h"

namespace sheets {

void ShiftKeptParts(Sheet& sheet, const CellShift& shift);

// A drawing object whose top-left cell lies in the moved band moves, keeping its size in cells.
void MoveAnchor(CellAddress& from, CellAddress* to, const CellShift& shift);

}  // namespace sheets
