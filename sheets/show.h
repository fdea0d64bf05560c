// The show command: prints a workbook's sheet as an aligned text table, and optionally its defined
// names and its charts with their series references.
//
//   show FILE [--sheet NAME] [--names] [--charts]
//
// args are the words after "show". Returns the exit status: 0 shown, 1 the file could not be read
// (message on err), 2 usage error.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sheets/calc/eval.h"
#include "sheets/model/workbook.h"

namespace sheets {

int RunShowCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The pieces, for hosts that already hold a workbook.
void PrintSheetTable(const Sheet& sheet, const FormatTable& formats, std::ostream& out, bool date_1904 = false);
void PrintDefinedNames(const Workbook& book, std::ostream& out);
// Lists the formulas of a sheet that the calculation engine cannot calculate (a function neither
// built in nor in `external`, a name that is no reference), whose cells show the file's value.
void PrintNotCalculated(const Sheet& sheet, std::ostream& out, const calc::ExternalFunctions* external = nullptr);
void PrintCharts(const Workbook& book, std::ostream& out);

// The text a cell shows: its value through its number format (dates of 1904-system workbooks
// moved to the 1900 system first).
std::string CellDisplayText(const CellView& cell, const FormatTable& formats, bool date_1904 = false);

}  // namespace sheets
