#include "addin/host/automation.h"

#include "addin/host/exceptions.h"
#include "addin/host/xlcalls.h"

namespace qs {

namespace {
// The application that loaded the add-in, reached through its own macro evaluation: used when the
// platform offers no running-object registration. It is always this process's application.
class InProcessApplication : public AutomationApp {
public:
    AutoVariant Invoke(long dispid, const std::vector<AutoVariant>& args) override {
        if (dispid != kDispExecuteExcel4Macro || args.size() != 1 || !std::holds_alternative<std::string>(args[0]))
            throw new COleDispatchException(CSharedString("Unknown automation call"));
        XlValue r = XlCallResult(XLF_EVALUATE, {std::get<std::string>(args[0])});
        if (r.Is(XLTYPE_NUM)) return r.Number();
        if (r.Is(XLTYPE_BOOL)) return r.val.xbool != 0;
        if (r.Is(XLTYPE_STR)) return r.Text();
        return {};
    }
    // Such a host has no command bars to switch.
    void SetItemProperty(long, const std::string&, long, const AutoVariant&) override {}
};

std::unique_ptr<AutomationApp> InProcess(int) { return std::make_unique<InProcessApplication>(); }

AutomationConnector g_connector = &InProcess;
}  // namespace

AutomationConnector SetAutomationConnector(AutomationConnector connector) {
    AutomationConnector old = g_connector;
    g_connector = connector ? connector : &InProcess;
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
