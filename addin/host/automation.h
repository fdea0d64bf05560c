// The host application's automation object, as the add-in uses it: calls by dispatch id with variant
// arguments. Two calls are made: 350 evaluates a macro call in the application's context
// (ExecuteExcel4Macro), and 1439 gives the command bar collection, from which a bar is taken by name
// and its property 0x60040005 (enabled) set.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace qs {

using AutoVariant = std::variant<std::monostate, double, bool, std::string>;

constexpr long kDispExecuteExcel4Macro = 350;
constexpr long kDispCommandBars = 1439;
constexpr long kDispCommandBarEnabled = 0x60040005;

class AutomationApp {
public:
    virtual ~AutomationApp() = default;
    // Calls method `dispid` of the application. Raises COleDispatchException on failure.
    virtual AutoVariant Invoke(long dispid, const std::vector<AutoVariant>& args) = 0;
    // Sets property `property` of the item `name` of the collection that `collection` gives.
    virtual void SetItemProperty(long collection, const std::string& name, long property, const AutoVariant& value) = 0;
};

// Finds the running application object of the given version (the one registered as running in this
// settings folder), or null when none is registered. Without a connector set, the application that
// loaded the add-in is reached through its own macro evaluation (EVALUATE) in this process.
using AutomationConnector = std::unique_ptr<AutomationApp> (*)(int excelVersion);
AutomationConnector SetAutomationConnector(AutomationConnector connector);
std::unique_ptr<AutomationApp> ConnectRunningApplication(int excelVersion);

// ExecuteExcel4Macro(text) on `app`.
AutoVariant ExecuteExcel4Macro(AutomationApp& app, const std::string& macro);
// Switches command bar `name` on or off.
void SetCommandBarEnabled(AutomationApp& app, const std::string& name, bool enabled);

}  // namespace qs
