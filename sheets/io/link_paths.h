// Where the workbooks that external references name are. A name's reference to another workbook
// holds that workbook's path in memory ("/data/[Sales.xlsx]Sheet1!$A$1"); a file holds it as its
// external link's target, relative to the file's own folder where it can be, as spreadsheets write
// it, so that a workbook and its data moved together still find each other.
#pragma once

#include <string>

namespace sheets {

class Workbook;

// The link target to write for an external workbook: an absolute path relative to `folder` (the
// folder of the file being written); anything else as it is.
std::string LinkTargetFor(const std::string& workbook, const std::string& folder);

// The external workbook a link target read from a file in `folder` means: a relative target
// ("Sales.xlsx", "../data/Sales.xlsx") or a file URL as an absolute path; link numbers and
// targets of other systems ("C:\data\Sales.xlsx", "https://...") as they are.
std::string LinkPathFrom(const std::string& target, const std::string& folder);

// After reading a file in `folder`: the external workbooks of every defined name, and the link
// targets kept for the next save, as paths.
void ResolveLinkPaths(Workbook& book, const std::string& folder);

}  // namespace sheets
