#include "addin/host/automation.h"

#include "addin/host/exceptions.h"

namespace qs {

namespace {
AutomationConnector g_connector = nullptr;
}

AutomationConnector SetAutomationConnector(AutomationConnector connector) {
    AutomationConnector old = g_connector;
    g_connector = connector;
    return old;
}

std::unique_ptr<AutomationApp> ConnectRunningApplication(int excelVersion) {
    if (!g_connector) return nullptr;
    return g_connector(excelVersion);
}

AutoVariant ExecuteExcel4Macro(AutomationApp& app, const std::string& macro) {
    return app.Invoke(kDispExecuteExcel4Macro, {AutoVariant(macro)});
}

void SetCommandBarEnabled(AutomationApp& app, const std::string& name, bool enabled) {
    app.SetItemProperty(kDispCommandBars, name, kDispCommandBarEnabled, AutoVariant(enabled));
}

}  // namespace qs
