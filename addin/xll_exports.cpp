// The add-in's entry points, as the host finds them with dlsym. The application object is made by
// the first of them the host calls (xlAutoOpen as a rule), not while the library's units are being
// initialised: making it reads what other units set up (services, settings, the catalogue of
// tests), which is whole only once every unit is.
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

// The one application object of this load, made on first use.
void EnsureApplication() { static const std::unique_ptr<qs::XllQuelstat> application = MakeApplication(); }

// An entry point of the application: the application first, then `F`.
template <auto F, class... Args>
auto Entry(Args... args) {
    EnsureApplication();
    return F(args...);
}
}  // namespace

QS_EXPORT int xlAutoOpen(void) { return Entry<qs::ExportAutoOpen>(); }
QS_EXPORT int xlAutoClose(void) { return Entry<qs::ExportAutoClose>(); }
QS_EXPORT int xlAutoAdd(void) { return Entry<qs::ExportAutoAdd>(); }
QS_EXPORT int xlAutoRemove(void) { return Entry<qs::ExportAutoRemove>(); }
QS_EXPORT XLOPER* xlAutoRegister(XLOPER* name) { return Entry<qs::ExportAutoRegister>(name); }
QS_EXPORT void xlAutoFree(XLOPER* value) { return Entry<qs::ExportAutoFree>(value); }
QS_EXPORT XLOPER* xlAddInManagerInfo(XLOPER* action) { return Entry<qs::ExportAddInManagerInfo>(action); }
QS_EXPORT XLOPER* xlPreExecuteCommand(int id) { return Entry<qs::ExportPreExecuteCommand>(id); }
QS_EXPORT short xlExecuteCommand(void) { return Entry<qs::ExportExecuteCommand>(); }
QS_EXPORT short xlOnSheetActivated(void) { return Entry<qs::ExportOnSheetActivated>(); }
QS_EXPORT short xlOnSheetDeactivated(void) { return Entry<qs::ExportOnSheetDeactivated>(); }
QS_EXPORT short xlOnWindow(void) { return Entry<qs::ExportOnWindow>(); }
QS_EXPORT short xlOnTCard(int id) { return Entry<qs::ExportOnTCard>(id); }
QS_EXPORT short xlInitialiseOLE(void) { return Entry<qs::ExportInitialiseOLE>(); }
QS_EXPORT XLOPER* xlLU(XLOPER* t, XLOPER* k, XLOPER* x) { return qs::LuFunction(qs::LuResult::Both, t, k, x); }
QS_EXPORT XLOPER* xlLUPP(XLOPER* t, XLOPER* k, XLOPER* x) { return qs::LuFunction(qs::LuResult::Power, t, k, x); }
QS_EXPORT XLOPER* xlLUPhase(XLOPER* t, XLOPER* k, XLOPER* x) { return qs::LuFunction(qs::LuResult::Phase, t, k, x); }
