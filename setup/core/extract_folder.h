// Extraction of every member of a cabinet into one folder, refusing any member whose name
// would land outside it.
#pragma once

#include <string>

namespace quelstat::setup {

// Extracts the cabinet `cabinet` (a file path, or the name of a "CAB" resource) into `folder`,
// which is created when missing. Throws an ExceptionX with message 2001, 2002, 2004, 2005 or 2006.
void extractCabinetToFolder(const std::string& cabinet, const std::string& folder);

}  // namespace quelstat::setup
