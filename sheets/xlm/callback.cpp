// MdCallBack: the door through which add-ins call the host (Excel4v finds it in the process).
#include <exception>

#include "sheets/xlm/functions.h"

namespace xlm {

const FunctionTable& Functions() {
  static const FunctionTable table = [] {
    FunctionTable t;
    AddWorkspaceFunctions(t);
    AddMenuFunctions(t);
    AddRegisterFunctions(t);
    AddDocumentFunctions(t);
    AddDatasetFunctions(t);
    return t;
  }();
  return table;
}

}  // namespace xlm

extern "C" __attribute__((visibility("default"))) int MdCallBack(int xlfn, int coper, XLOPER** rgpxloper,
                                                                 XLOPER* xloperRes) {
  using namespace xlm;
  if (coper < 0 || coper > XL_MAX_ARGS || (coper > 0 && !rgpxloper)) return XLRET_INVALID_COUNT;
  const FunctionTable& table = Functions();
  auto it = table.find(FunctionKey(xlfn));
  if (it == table.end()) return XLRET_INVALID_FN;
  // Cells written by xlSet are recalculated before anything else can read them (xlFree reads none).
  if (FunctionKey(xlfn) != xlSet && FunctionKey(xlfn) != xlFree && Host::Get().documents)
    Host::Get().documents->SettleWrites();
  XLOPER scratch;
  SetNil(&scratch);
  Call call{Host::Get(), FunctionKey(xlfn), (xlfn & XLBIT_PROMPT) != 0, {}, xloperRes ? xloperRes : &scratch};
  for (int i = 0; i < coper; ++i) call.args.push_back(rgpxloper[i]);
  SetNil(call.result);
  int rc;
  try {
    rc = it->second(call);
  } catch (const std::exception& e) {
    FreeValue(call.result);
    call.host.report(std::string("host function ") + std::to_string(xlfn & 0xFFFF) + " failed: " + e.what());
    rc = XLRET_FAILED;
  } catch (...) {
    FreeValue(call.result);
    rc = XLRET_FAILED;
  }
  if (!xloperRes) FreeValue(&scratch);
  return rc;
}
