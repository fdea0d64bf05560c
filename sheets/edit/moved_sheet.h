// References when a sheet moves or is copied to another place, as spreadsheets keep them:
//
//   sheet copied within its workbook ("Data" -> "Data (2)"): the copy's references to "Data" now
//     mean the copy;
//   sheet moved or copied into another workbook: its references to the other sheets of the workbook
//     it came from become external references ("[Data.xlsx]Data!A1", with the folder when that
//     workbook has a file), and its external references into the workbook it arrives in become
//     plain ones; a moved sheet's old workbook now refers to it as an external reference.
//
// Cell formulas, defined names of the sheet (the names travel with the sheet) and chart series
// follow; references to other sheets of the same workbook and 3-D references stay.
#pragma once

#include <string_view>

namespace sheets {

class Sheet;
class Workbook;

// After `sheet` arrived (moved or copied) from workbook `from`, where it was (or its original is)
// named old_name.
void RebaseArrivedSheet(Sheet& sheet, const Workbook& from, std::string_view old_name);

// After `moved` left workbook `from`, where it was named old_name: references in `from` to it
// become external references into its new workbook.
void ReferToDepartedSheet(Workbook& from, std::string_view old_name, const Sheet& moved);

}  // namespace sheets
