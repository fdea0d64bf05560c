// The bodies of the add-in's exports (the extern "C" entry points forward here).
#pragma once

#include "xll/xlcall.h"

namespace qs {

int ExportAutoOpen();
int ExportAutoClose();
int ExportAutoAdd();
int ExportAutoRemove();
XLOPER* ExportAutoRegister(XLOPER* name);
void ExportAutoFree(XLOPER* value);
XLOPER* ExportAddInManagerInfo(XLOPER* action);
XLOPER* ExportPreExecuteCommand(int id);
short ExportExecuteCommand();
short ExportOnSheetActivated();
short ExportOnSheetDeactivated();
short ExportOnWindow();
short ExportOnTCard(int id);
short ExportInitialiseOLE();

}  // namespace qs
