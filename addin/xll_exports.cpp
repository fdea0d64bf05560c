// The add-in's entry points, as the host finds them with dlsym. The application object is made when
// the library is loaded, before the host calls any of them.
#include <dlfcn.h>

#include <memory>
#include <string>

#include "addin/host/exports.h"
#include "addin/host/platform_bridge.h"
#include "addin/host/quelstat_app.h"
#include "addin/host/worksheet_functions.h"
#include "addin/framework/services.h"
#include "addin/framework/run.h"
#include "addin/framework/update.h"
#include "addin/tutorial/tutorial_host.h"
#include "addin/ui/install.h"

#define QS_EXPORT extern "C" __attribute__((visibility("default")))

QS_EXPORT int xlAutoOpen(void);

namespace {
std::string OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&xlAutoOpen), &info) && info.dli_fname) return info.dli_fname;
    return {};
}

// Application load: the machine's services first (the counters are read from its settings store).
std::unique_ptr<qs::XllQuelstat> MakeApplication() {
    qs::UsePlatformServices();
    // The layers built into this add-in put their services in place.
    qs::InstallFrameworkServices();
    qs::InstallRunServices();
    qs::InstallReportServices();
    qs::InstallUserInterface();
    qs::InstallTutorial();
    return std::make_unique<qs::XllQuelstat>(OwnPath());
}
std::unique_ptr<qs::XllQuelstat> g_app = MakeApplication();
}  // namespace

QS_EXPORT int xlAutoOpen(void) { return qs::ExportAutoOpen(); }
QS_EXPORT int xlAutoClose(void) { return qs::ExportAutoClose(); }
QS_EXPORT int xlAutoAdd(void) { return qs::ExportAutoAdd(); }
QS_EXPORT int xlAutoRemove(void) { return qs::ExportAutoRemove(); }
QS_EXPORT XLOPER* xlAutoRegister(XLOPER* name) { return qs::ExportAutoRegister(name); }
QS_EXPORT void xlAutoFree(XLOPER* value) { qs::ExportAutoFree(value); }
QS_EXPORT XLOPER* xlAddInManagerInfo(XLOPER* action) { return qs::ExportAddInManagerInfo(action); }
QS_EXPORT XLOPER* xlPreExecuteCommand(int id) { return qs::ExportPreExecuteCommand(id); }
QS_EXPORT short xlExecuteCommand(void) { return qs::ExportExecuteCommand(); }
QS_EXPORT short xlOnSheetActivated(void) { return qs::ExportOnSheetActivated(); }
QS_EXPORT short xlOnSheetDeactivated(void) { return qs::ExportOnSheetDeactivated(); }
QS_EXPORT short xlOnWindow(void) { return qs::ExportOnWindow(); }
QS_EXPORT short xlOnTCard(int id) { return qs::ExportOnTCard(id); }
QS_EXPORT short xlInitialiseOLE(void) { return qs::ExportInitialiseOLE(); }
QS_EXPORT XLOPER* xlLU(XLOPER* t, XLOPER* k, XLOPER* x) { return qs::LuFunction(qs::LuResult::Both, t, k, x); }
QS_EXPORT XLOPER* xlLUPP(XLOPER* t, XLOPER* k, XLOPER* x) { return qs::LuFunction(qs::LuResult::Power, t, k, x); }
QS_EXPORT XLOPER* xlLUPhase(XLOPER* t, XLOPER* k, XLOPER* x) { return qs::LuFunction(qs::LuResult::Phase, t, k, x); }
