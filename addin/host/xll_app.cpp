#include "addin/host/xll_app.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "addin/host/channel.h"
#include "addin/host/messages.h"
#include "addin/host/startup_list.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"
#include "addin/resources/string_ids.h"
#include "platform/text.h"

namespace qs {

namespace {
XLL* g_instance = nullptr;

XlFunctionEntry g_standardTable[] = {
    {"xlPreExecuteCommand", "PJ", 0, 0, ids::kMacroCommand, 0, 0},
    {"xlExecuteCommand", "A", 0, 0, 0, 0, 0},
    {"xlOnSheetActivated", "A", 0, 0, ids::kMacroSheetActivated, 0, 0},
    {"xlOnSheetDeactivated", "A", 0, 0, ids::kMacroSheetDeactivated, 0, 0},
    {"xlOnWindow", "A", 0, 0, ids::kMacroWindow, 0, 0},
    {"xlOnTCard", "AJ", 0, 0, ids::kMacroTCard, 0, 0},
    {"xlInitialiseOLE", "A", 0, 0, ids::kMacroInitialiseOLE, 0, 0},
    {"xlLUPhase", "RRRR", 1, 0, ids::kFunctionLUPhase, 3, 0},
    {"xlLUPP", "RRRR", 1, 0, ids::kFunctionLUPP, 3, 0},
    {"xlLU", "RRRR", 1, 0, ids::kFunctionLU, 3, 0},
    {nullptr, nullptr, 0, 0, 0, 0, 0},
};

// Thrown when a call is refused on an unsupported host version after the message was shown once.
class UnsupportedVersion : public CStdException {
public:
    UnsupportedVersion() : CStdException(CSharedString(), ids::kMessageWrongExcelVersion) {}
};
}  // namespace

XlFunctionEntry* StandardFunctionTable() { return g_standardTable; }

XLL::XLL(unsigned nameId, unsigned descriptionId, XlFunctionEntry* extraTable)
    : m_nameId(nameId), m_descriptionId(descriptionId), m_table(g_standardTable), m_extra(extraTable) {
    g_instance = this;
}

XLL::~XLL() {
    if (g_instance == this) g_instance = nullptr;
    if (HostInfo().automation == m_automation.get()) HostInfo().automation = nullptr;
}

XLL* XLL::Instance() { return g_instance; }

std::string XLL::Name() const { return LoadString(m_nameId).str(); }
std::string XLL::ChannelTitle() const { return Name() + "Channel"; }

const std::string& XLL::ModulePath() {
    if (m_modulePath.empty()) m_modulePath = XlCallText(xlGetName).str();
    return m_modulePath;
}

uint64_t XLL::MainWindow() {
    if (m_mainWindow == 0) {
        XlValue h = XlCallResult(xlGetHwnd);
        // An integer (16 bits, possibly negative) or a number.
        long low = h.Is(XLTYPE_INT) ? h.val.w : h.Is(XLTYPE_NUM) ? static_cast<long>(h.Number()) : 0;
        m_mainWindow = ChannelWindows().FindByClassAndLowBits("XLMAIN", static_cast<uint16_t>(low & 0xFFFF));
    }
    return m_mainWindow;
}

// ---- frame ------------------------------------------------------------------------------------------

void XLL::PrepareHost() {
    if (!m_versionChecked) {
        m_versionChecked = true;
        std::string text;
        try {
            text = XlCallText(XLF_GET_WORKSPACE, {2}).str();
        } catch (CException* e) {
            e->Delete();
        }
        m_version = std::atoi(text.c_str());
        m_lastRow = m_version < 8 ? 0x3FFF : 0xFFFF;
        HostInfo().version = m_version;
        if (m_version == 7) Guarded([&] { HostInfo().mainWindow = MainWindow(); });
        if (m_version < 7 || m_version > 9) {
            ShowMessage(ids::kMessageWrongExcelVersion, MB_OK | MB_ICONERROR, "%s", "95/97");
            ThrowMessage(ids::kMessageWrongExcelVersion, "%s", "95/97");
        }
    } else if (m_version < 7 || m_version > 9) {
        // The message was shown on the first call; later calls are refused quietly, so that nothing
        // is installed on a host this add-in does not support.
        throw new UnsupportedVersion();
    }
    Guarded([] { XlCall(XLC_ERROR, {false}); });
}

bool RunFramed(void (*op)(void*), void* context, uint16_t* error) {
    XLL* app = XLL::Instance();
    try {
        if (app) app->PrepareHost();
        XlStateScope scope(0, 0, true);
        op(context);
        XlCall(XLC_ERROR, {true});
        return true;
    } catch (...) {
        // Any exception becomes the add-in's own (an unexpected one is logged there).
        CException* e = CaughtException();
        if (error) {
            auto* xl = dynamic_cast<XlException*>(e);
            *error = xl ? xl->XlError() : static_cast<uint16_t>(XLERR_NA);
        }
        e->Delete();
    }
    Guarded([] { XlCall(XLC_ERROR, {true}); });
    return false;
}

// ---- registration -----------------------------------------------------------------------------------

XlValue XLL::RegisterRow(XlFunctionEntry& row) {
    std::vector<XlValue> args;
    args.emplace_back(ModulePath());
    args.emplace_back(row.procedure);
    args.emplace_back(row.typeText);
    if (row.functionTextId) {
        unsigned n = row.functionTextId;
        args.emplace_back(LoadString(n));
        args.emplace_back(row.macroType == 0 ? std::string() : LoadString(n + 1).str());
        args.emplace_back(row.macroType);
        if (row.macroType != 0) {
            if (row.category <= 14)
                args.emplace_back(row.category);
            else
                args.emplace_back(LoadString(static_cast<unsigned>(row.category)));
            args.emplace_back("");  // shortcut
            args.emplace_back("");  // help topic
            args.emplace_back(LoadString(n + 2));
            for (int i = 0; i < row.argHelpCount; ++i) args.emplace_back(LoadString(n + 3 + static_cast<unsigned>(i)));
        }
    }
    std::vector<const XlValue*> ptrs;
    for (const XlValue& v : args) ptrs.push_back(&v);
    XlValue result;
    XlCallV(XLF_REGISTER, &result, static_cast<int>(ptrs.size()), ptrs.data());
    row.registerId = result.Is(XLTYPE_NUM) ? result.Number() : 0;
    XlValue copy;
    copy.CopyFrom(result, false);
    return copy;
}

XlFunctionEntry* XLL::FindEntry(const char* procedure) {
    for (XlFunctionEntry* t : {m_table, m_extra}) {
        for (XlFunctionEntry* r = t; r && r->procedure; ++r)
            if (std::strcmp(r->procedure, procedure) == 0) return r;
    }
    return nullptr;
}

double XLL::RegisterIdOf(const char* procedure) {
    XlFunctionEntry* e = FindEntry(procedure);
    return e ? e->registerId : 0;
}

XlValue XLL::AutoRegister(const std::string& name) {
    XlValue result = XlValue::Error(XLERR_VALUE);
    for (XlFunctionEntry* t : {m_table, m_extra}) {
        if (!t) continue;
        for (XlFunctionEntry* r = t; r->procedure; ++r) {
            if (!platform::EqualNoCase(r->procedure, name)) continue;
            result = RegisterRow(*r);
            break;
        }
        if (!result.Is(XLTYPE_ERR)) break;
    }
    return result;
}

void XLL::UnregisterAll() {
    for (XlFunctionEntry* t : {m_table, m_extra}) {
        for (XlFunctionEntry* r = t; r && r->procedure; ++r) {
            if (!r->functionTextId) continue;
            CSharedString text = LoadString(r->functionTextId);
            Guarded([&] { XlCall(XLF_SET_NAME, {text}); });
        }
    }
}

// ---- default operations -------------------------------------------------------------------------

void XLL::AutoOpen() {
    for (XlFunctionEntry* r = m_table; r && r->procedure; ++r) RegisterRow(*r);
    for (XlFunctionEntry* r = m_extra; r && r->procedure; ++r) RegisterRow(*r);
    CreateChannel();
}

void XLL::AutoClose() {
    Guarded([&] { InstallSheetHooks(false); });
    UnregisterAll();
    DestroyChannel();
}

bool XLL::ExecuteCommand(int) { return false; }
void XLL::TCard(int) {}
void XLL::SheetActivated() {}
void XLL::SheetDeactivated() {}
void XLL::AutoAdd() {}
void XLL::AutoRemove() {}

// ---- hooks, channel, automation ---------------------------------------------------------------

void XLL::InstallSheetHooks(bool install) {
    if (install == m_hooksInstalled) return;
    std::string deactivated = install ? LoadString(ids::kMacroSheetDeactivated).str() : std::string();
    std::string activated = install ? LoadString(ids::kMacroSheetActivated).str() : std::string();
    XlCall(XLC_ON_SHEET, {nullptr, deactivated, false});
    XlCall(XLC_ON_SHEET, {nullptr, activated, true});
    m_hooksInstalled = install;
}

bool XLL::CreateChannel() {
    if (m_channel) return true;
    m_channel = ChannelWindows().Create(
        ChannelTitle(), [this](unsigned m, uintptr_t w, intptr_t l) { return OnChannelMessage(m, w, l); });
    return m_channel;
}

void XLL::DestroyChannel() {
    if (!m_channel) return;
    ChannelWindows().Destroy(ChannelTitle());
    m_channel = false;
}

// The host's screen in pixels (its workspace in points at 96 pixels per inch), packed as the channel's
// screen query answers it; 0 when the host does not give both.
intptr_t XLL::ScreenSetting() {
    XlValue width = XlCallResultNA(XLF_GET_WORKSPACE, {13});
    XlValue height = XlCallResultNA(XLF_GET_WORKSPACE, {14});
    if (!width.Is(XLTYPE_NUM) || !height.Is(XLTYPE_NUM)) return 0;
    long w = std::lround(width.Number() / 0.75), h = std::lround(height.Number() / 0.75);
    if (w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF) return 0;
    return static_cast<intptr_t>(w) * 65536 + h;
}

intptr_t XLL::OnChannelMessage(unsigned message, uintptr_t wParam, intptr_t) {
    try {
        if (message == WM_TCARD) {
            int id = static_cast<int>(wParam);
            if (TutorialStepWindowOpen() && id > 30019) {
                CloseTutorialStepWindow();
                Framed([&] { TCard(id); });
            } else if (m_automation) {
                ExecuteExcel4Macro(*m_automation, LoadString(ids::kMacroTCard).str() + "(" + std::to_string(id) + ")");
            }
            return 0;
        }
        if (message == kChannelScreenQuery) return ScreenSetting();
        if (message == WM_USER) {
            StartupList list(m_version ? m_version : 8, ModulePath());
            if (wParam == 0xFFFF) return list.Query() ? 1 : 0;
            list.Set(wParam != 0);
            return static_cast<intptr_t>(wParam);
        }
    } catch (CException* e) {
        e->Delete();
    } catch (...) {}
    return 0;
}

void XLL::ConnectAutomation() {
    if (m_version >= 8) {
        // Makes the application publish itself as the running object.
        XlStateScope scope(false);
        XlCall(XLC_NEW, {6});
        XlCall(XLC_CLOSE, {false});
    }
    m_automation = ConnectRunningApplication(m_version);
    if (!m_automation) ThrowMessage(ids::kMessageNoAutomation);
    m_oleReached = false;
    try {
        ExecuteExcel4Macro(*m_automation, LoadString(ids::kMacroInitialiseOLE).str() + "()");
    } catch (CException* e) {
        e->Delete();  // unreachable counts as another instance's object
    }
    if (!m_oleReached) {
        m_automation.reset();
        ThrowMessage(ids::kMessageNoAutomation);
    }
    HostInfo().automation = m_automation.get();
}

void XLL::ReleaseAutomation() {
    if (HostInfo().automation == m_automation.get()) HostInfo().automation = nullptr;
    m_automation.reset();
}

}  // namespace qs
