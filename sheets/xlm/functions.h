// The host's function table: one handler per function number, grouped in families
// (fn_*.cpp), each adding its handlers with its Add...Functions call.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sheets/xlm/host.h"
#include "sheets/xlm/values.h"

namespace xlm {

struct Call {
  Host& host;
  int fn;       // number with the command and special bits, without the international bit
  bool prompt;  // the caller asked for the command's dialog (0x1000)
  std::vector<const XLOPER*> args;
  XLOPER* result;  // never null: a scratch value when the caller wants no result

  const XLOPER* Arg(std::size_t i) const { return i < args.size() ? args[i] : nullptr; }
  bool Has(std::size_t i) const { return !IsMissing(Arg(i)); }
  // Sets #VALUE! and gives the failure code of a command, or success for a function.
  int Fail(int error = XLERR_VALUE) {
    SetError(result, error);
    return (fn & XLBIT_COMMAND) ? XLRET_FAILED : XLRET_SUCCESS;
  }
  // Sets #VALUE! and fails the call (for functions that change the host's state).
  int Refuse(int error = XLERR_VALUE) {
    SetError(result, error);
    return XLRET_FAILED;
  }
  int Done(bool value = true) {
    SetBool(result, value);
    return XLRET_SUCCESS;
  }
};

using Handler = int (*)(Call&);
using FunctionTable = std::map<int, Handler>;

// The number a function is filed under: command and special bits kept, international and
// prompt bits dropped.
inline int FunctionKey(int xlfn) { return xlfn & ~(XLBIT_INTL | XLBIT_PROMPT); }

void AddWorkspaceFunctions(FunctionTable& table);
void AddMenuFunctions(FunctionTable& table);
void AddRegisterFunctions(FunctionTable& table);
void AddDocumentFunctions(FunctionTable& table);
void AddDatasetFunctions(FunctionTable& table);  // after the document family: extends it

const FunctionTable& Functions();

}  // namespace xlm
