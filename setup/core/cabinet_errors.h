// Turns the cabinet reader's error into the installer's message.
#pragma once

#include <string>

#include "setup/cab/cabinet.h"

namespace quelstat::setup {

// Raises the exception that stands for `error` (nothing for None or a code without a message):
// 2001 when the cabinet is missing, 2002 when it is damaged or uses a method this reader does
// not have, memoryException for memory, 2006 with the system's text for a failed write.
void raiseCabinetError(cab::CabinetError error, const std::string& cabinetName);

}  // namespace quelstat::setup
