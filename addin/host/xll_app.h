// XLL: the application object behind the add-in's exports. Exactly one exists while the library is
// loaded; every part of the add-in reaches it through XLL::Instance().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "addin/host/automation.h"
#include "addin/host/exceptions.h"
#include "addin/host/xlvalue.h"
#include "addin/resources/string_ids.h"

namespace qs {

// One row of the registration table.
struct XlFunctionEntry {
    const char* procedure;    // exported symbol; null ends the table
    const char* typeText;     // argument and result types
    int macroType;            // 0 hidden, 1 worksheet function
    int category;             // number when <= 14, else the string id of its name
    unsigned functionTextId;  // string id of the function text, 0 = none
    int argHelpCount;         // number of argument help strings
    double registerId;        // filled by REGISTER
};

class XLL {
public:
    explicit XLL(unsigned nameId = ids::kStringQuelstat, unsigned descriptionId = ids::kStringDescription,
                 XlFunctionEntry* extraTable = nullptr);
    virtual ~XLL();
    XLL(const XLL&) = delete;
    XLL& operator=(const XLL&) = delete;

    static XLL* Instance();

    // ---- operations the exports run -------------------------------------------------------------
    virtual void AutoOpen();
    virtual void AutoClose();
    virtual bool ExecuteCommand(int id);
    virtual void TCard(int id);
    virtual void SheetActivated();
    virtual void SheetDeactivated();
    virtual void AutoAdd();
    virtual void AutoRemove();
    // Registers the table row whose procedure is `name` (no case) and gives REGISTER's result;
    // #VALUE! when there is none.
    virtual XlValue AutoRegister(const std::string& name);

    // ---- the common frame ---------------------------------------------------------------------
    // Version check (first call only) and ERROR(FALSE). Raises CStdException when the host's
    // version is not supported, after showing message 57499.
    void PrepareHost();
    int Version() const { return m_version; }
    // Last worksheet row index: 16383 below version 8, else 65535.
    uint16_t LastRow() const { return m_lastRow; }
    // For tests: forget the cached version so the next framed call checks again.
    void ResetVersionCheck() { m_versionChecked = false; }

    // ---- state ---------------------------------------------------------------------------------
    unsigned NameId() const { return m_nameId; }
    std::string Name() const;         // string 1
    const std::string& ModulePath();  // the add-in's full path (xlGetName), read once
    bool Started() const { return m_automation != nullptr; }
    AutomationApp* Automation() const { return m_automation.get(); }
    XlFunctionEntry* Table() { return m_table; }
    XlFunctionEntry* FindEntry(const char* procedure);
    double RegisterIdOf(const char* procedure);
    bool HooksInstalled() const { return m_hooksInstalled; }
    // The host's main window: the host gives only the low 16 bits of its handle (xlGetHwnd); the
    // window is the first top-level window of class "XLMAIN" with those bits. Found once; 0 when
    // there is none.
    uint64_t MainWindow();

    // Stored command id between xlPreExecuteCommand and xlExecuteCommand.
    int StoredCommand() const { return m_storedCommand; }
    void StoreCommand(int id) { m_storedCommand = id; }

    // Set by xlInitialiseOLE when the automation object reached this add-in.
    void SetOleReached() { m_oleReached = true; }

    // ---- pieces of the life cycle ----------------------------------------------------------------
    // Registers one row and stores its register id; gives REGISTER's result.
    XlValue RegisterRow(XlFunctionEntry& row);
    void UnregisterAll();
    void InstallSheetHooks(bool install);
    bool CreateChannel();
    void DestroyChannel();
    std::string ChannelTitle() const;  // add-in name + "Channel"
    // Connects the running application's automation object; raises message 57503 when it belongs to
    // another instance or cannot be had.
    void ConnectAutomation();
    void ReleaseAutomation();

    // The channel window's message handler.
    intptr_t OnChannelMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
    intptr_t ScreenSetting();
    // Tutorial step window (later: the tutorial driver): open, and closing it.
    virtual bool TutorialStepWindowOpen() const { return false; }
    virtual void CloseTutorialStepWindow() {}

protected:
    unsigned m_nameId;
    unsigned m_descriptionId;
    XlFunctionEntry* m_table;
    XlFunctionEntry* m_extra;

private:
    std::unique_ptr<AutomationApp> m_automation;
    std::string m_modulePath;
    bool m_versionChecked = false;
    int m_version = 0;
    uint16_t m_lastRow = 0xFFFF;
    bool m_hooksInstalled = false;
    bool m_channel = false;
    int m_storedCommand = 0;
    bool m_oleReached = false;
    uint64_t m_mainWindow = 0;
};

// The standard registration table of the add-in (ten rows and an empty one).
XlFunctionEntry* StandardFunctionTable();

// Runs `op` inside the common frame of an export. Returns true when it completed; false when an
// exception ended it, with *error set to the spreadsheet error code an export that returns a value
// gives back (the XlException's code, else #N/A).
bool RunFramed(void (*op)(void*), void* context, uint16_t* error = nullptr);

template <class F>
bool Framed(F&& f, uint16_t* error = nullptr) {
    using Fn = std::remove_reference_t<F>;
    return RunFramed([](void* c) { (*static_cast<Fn*>(c))(); }, &f, error);
}

}  // namespace qs
