// Rewriting the references of formula text in place, through the engine's formula parser: every
// other character of the text (spaces, function names as written, texts) stays as it was.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sheets/model/reference.h"

namespace sheets {

// Gives the new text of one reference (ref as read from text, which is the reference as written,
// with its sheet and workbook), or nullopt to keep it.
using ReferenceEdit = std::function<std::optional<std::string>(const Reference& ref, std::string_view text)>;

// Formula text (with or without '=') with its references edited; nullopt when none changes or the
// text is not a formula the engine reads.
std::optional<std::string> EditFormulaReferences(std::string_view formula, const SheetLimits& limits,
                                                 const ReferenceEdit& edit);

// A reference list ("Data!$A$1:$B$9", "Data!$A$1,Data!$C$3", as names and chart series hold them)
// with its areas edited; nullopt when none changes or the text is no reference list.
std::optional<std::string> EditReferenceList(std::string_view text, const SheetLimits& limits,
                                             const ReferenceEdit& edit);

class NameTable;
class Sheet;

// Edits the references of every name of a table (refers-to texts read with limits); constants stay.
void EditNameReferences(NameTable& table, const SheetLimits& limits, const ReferenceEdit& edit);

// Edits the references of a sheet: its cell formulas (only those whose text holds `needle`, in any
// case, when needle is not empty), its names and the series of its charts.
void EditSheetReferences(Sheet& sheet, const ReferenceEdit& edit, std::string_view needle = {});

}  // namespace sheets
