// Small operations on formula text that need no full parser.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sheets/model/reference.h"

namespace sheets {

// Moves the relative parts of every A1 cell reference in formula by (rows, cols), as copying the
// formula to another cell does; absolute parts ($A$1) stay. Text in double quotes, names and function
// names are left alone. A reference moved off the sheet becomes #REF!.
std::string ShiftFormulaReferences(std::string_view formula, int64_t rows, int64_t cols, const SheetLimits& limits);

// Gives the sheet names of references ("Data!A1", "'My data'!A1:B2", "Jan:Mar!A1") the new names
// rename returns (nullopt: the name stays), quoting them where needed. References into other
// workbooks ("[1]Data!A1") and text in double quotes are left alone.
using SheetRenameFn = std::function<std::optional<std::string>(std::string_view)>;
std::string RenameSheetsInFormula(std::string_view formula, const SheetRenameFn& rename);

}  // namespace sheets
