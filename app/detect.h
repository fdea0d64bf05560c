// quelstat detect WORKBOOK --cell REF [options]: the dataset the add-in finds around a cell.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/session.h"

namespace app {

// Opens the workbook, selects the cell, and asks the loaded add-in to find (and, with options, confirm)
// the dataset there; with --save the workbook is written back. Returns an exit status: 0 found,
// 1 the add-in answered with a message, 2 usage.
int DetectCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                  std::ostream& err);

}  // namespace app
