// Command sets: menus described by menu resources, installed into the host's menu bars, removed,
// and their dynamic items enabled or disabled, all by one walk over the resource.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "addin/host/shared.h"
#include "addin/host/xlvalue.h"
#include "addin/resources/resources.h"

namespace qs {

// Parsed text of a menu resource item: "^8,&Quelstat", "=Data", "10", "-1".
struct MenuItemName {
    int position = 0;     // the "^" position, 0 when none
    bool exists = false;  // "=": the menu exists already and is not made
    bool isNumber = false;
    int number = 0;
    std::string text;

    static MenuItemName Parse(const std::string& itemText);
    XlValue Value() const;  // the number or the text as a host value
};

// Where a command was added: bar, menu, command name, submenu (missing when none).
struct MenuPlace {
    XlValue bar;
    XlValue menu;
    XlValue command;
    XlValue submenu;
};

struct CommandRecord {
    int id = 0;
    std::vector<MenuPlace> places;
    std::string toolbar;  // report commands: toolbar name and button position
    int toolbarPosition = 0;
};

// The records of all commands, by id (made on first use).
CommandRecord& CommandRecordFor(int id);
void ClearCommandRecords();

// Texts of a command item.
std::string CommandMacroText(int id);      // QUELSTAT.COMMAND(id)
std::string CommandHelpReference(int id);  // help file "!" id

// The localized names of the Data and Help menus (looked up once).
const std::string& DataMenuName();
const std::string& HelpMenuName();
void ResetLocalizedMenuNames();

class XlCommandSet {
public:
    enum Mode { kAdd = 0, kDelete = 1, kEnable = 2, kDisable = 3 };

    explicit XlCommandSet(unsigned resourceId) : m_resourceId(resourceId) {}
    virtual ~XlCommandSet() = default;

    virtual bool IsCommandAvailable(int id) const;

    // Adds the menus and items, then disables the dynamic items.
    void Install();
    // Deletes everything added; disables dynamic items again if they were enabled.
    void Remove();
    // Enables or disables every dynamic item, when the state changes.
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }
    unsigned ResourceId() const { return m_resourceId; }

    void Walk(Mode mode);

protected:
    // Called at the start of every walk (a set may refresh what availability depends on).
    virtual void BeginWalk() {}

public:
    // The help file path used in help references of items.
    static void SetHelpFile(const std::string& path);
    static const std::string& HelpFile();

private:
    void WalkContainer(const res::MenuNode* first, const res::MenuNode* end, Mode mode, const XlValue& bar,
                       const std::vector<XlValue>& path);
    bool HasAvailable(const res::MenuNode* popup) const;
    XlValue MenuValue(const MenuItemName& name) const;

    unsigned m_resourceId;
    bool m_enabled = false;
};

// The main menu: test commands are available when their module is installed.
class CommandsQuelstat : public XlCommandSet {
public:
    CommandsQuelstat() : XlCommandSet(122) {}
    bool IsCommandAvailable(int id) const override;

protected:
    void BeginWalk() override;  // reads the "Modules" setting once per walk

private:
    mutable bool m_modulesRead = false;
    mutable uint32_t m_modules = 0;
};

// A report the add-in shows commands for. The report objects of the report layer derive from it.
class ActiveReport : public CRefCounted {
public:
    // True while the host's active sheet is this report's own sheet.
    virtual bool IsOnActiveSheet() const = 0;
};

// The "Report" toolbar, the report command set (resource 150) and the current report.
class ReportToolbar {
public:
    ReportToolbar() : m_commands(150) {}
    // Opens the toolbar file, places the toolbar, gives the report commands their buttons, hides it
    // and installs the report commands (disabled).
    void SetUp(const std::string& toolbarFile, int version);
    // Shows or hides the toolbar (with `floatingOnly`, hiding happens only for a floating toolbar).
    void Show(bool show, bool floatingOnly = false);
    void SetCurrentReport(ActiveReport* report);
    ActiveReport* CurrentReport() const { return m_current.get(); }
    XlCommandSet& Commands() { return m_commands; }

    static constexpr const char* kName = "Report";

private:
    XlCommandSet m_commands;
    CRef<ActiveReport> m_current;
};

}  // namespace qs
