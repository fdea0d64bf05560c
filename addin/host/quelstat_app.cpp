#include "addin/host/quelstat_app.h"

#include <cstdio>
#include <cstring>

#include "addin/host/addin_services.h"
#include "addin/host/messages.h"
#include "addin/host/settings.h"
#include "addin/host/test_catalogue.h"
#include "addin/host/xlcalls.h"
#include "addin/host/xlstate.h"

namespace qs {

AddinServices& Services() {
    static AddinServices services;
    return services;
}

namespace {
SettingsKey UserKey() { return SettingsKey(SettingsRoot::CurrentUser, kQuelstatKey); }
SettingsKey MachineKey() { return SettingsKey(SettingsRoot::LocalMachine, kQuelstatKey); }

template <class F>
void Guarded(F&& f) {
    try {
        f();
    } catch (CException* e) {
        e->Delete();
    }
}

// Shown for a command whose layer is not part of this build yet.
void NotAvailable(const std::string& what) { ShowMessage(57600, MB_OK | MB_ICONINFORMATION, "%s", what.c_str()); }

// Hosts without a help viewer or browser: the target is printed.
void ShowHelpTopic(const std::string& file, int command, long context) {
    if (Services().showHelp) {
        Services().showHelp(file, command, context);
        return;
    }
    std::fprintf(stderr, "Quelstat help: %s (command %d, context %ld)\n", file.c_str(), command, context);
}

void OpenUrl(const std::string& url) {
    if (Services().openUrl) {
        Services().openUrl(url);
        return;
    }
    std::fprintf(stderr, "Quelstat: %s\n", url.c_str());
}

constexpr const char* kWebSite = "https://quelstat.example.org/";
}  // namespace

XllQuelstat::XllQuelstat(const std::string& modulePath) {
    size_t slash = modulePath.find_last_of('/');
    m_programFolder = slash == std::string::npos ? std::string("./") : modulePath.substr(0, slash + 1);
    m_systemFolder = m_programFolder + "system/";
    m_templateFolder = m_systemFolder + "template/";
    m_helpFile = m_systemFolder + "quelstat.hlp";
    m_tutorialHelpFile = m_systemFolder + "tutorial.hlp";
    XlCommandSet::SetHelpFile(m_helpFile);

    // Usage counters: shorter stored blocks are extended with zeros.
    Guarded([&] { MachineKey().ReadBinaryInto("", "Usage", m_usage.data(), sizeof m_usage); });
    m_usage[1] += 1;
    m_loadedAt = std::time(nullptr);
}

void XllQuelstat::CountTestRun(int testId) {
    if (testId >= 1008 && testId <= 1241) m_usage[static_cast<size_t>(testId - 993)] += 1;
}

void XllQuelstat::SaveUsage() {
    std::time_t now = std::time(nullptr);
    if (now > m_loadedAt) m_usage[0] += static_cast<uint32_t>(now - m_loadedAt);
    m_loadedAt = now;
    MachineKey().WriteBinary("", "Usage", m_usage.data(), sizeof m_usage);
}

// ---- life cycle -------------------------------------------------------------------------------------

void XllQuelstat::AutoOpen() {
    XLL::AutoOpen();
    if (Services().loadParameters) Services().loadParameters();
    if (Started()) return;
    try {
        StartUp();
    } catch (CException* e) {
        if (e != CancelKeyException::Instance()) ShowException(e, MB_OK | MB_ICONERROR);
        AutoClose();
        throw;
    }
}

void XllQuelstat::StartUp() {
    XlStateScope scope(15, 0, true);
    // The splash window belongs to a graphical front end; a console host shows the status text.
    ConnectAutomation();
    XlCall(XLF_APP_TITLE, {LoadString(3)});
    m_versionText = XlCallText(XLF_GET_WORKSPACE, {2}).str();
    m_userName = XlCallText(XLF_GET_WORKSPACE, {26}).str();

    m_helpMenu.Install();
    m_reports.SetUp(m_systemFolder + (Version() <= 7 ? "quelstat5.xlb" : "quelstat8.xlb"), Version());
    m_dataMenu.Install();

    InstallSheetHooks(true);
    SheetActivated();

    m_mainMenu.Remove();
    m_mainMenu.Install();

    bool canShow = Services().tutorial && (!Services().helpViewerPresent || Services().helpViewerPresent());
    if (UserKey().ReadNumber("", "ShowWelcome", 1) != 0 && canShow) {
        // Welcome: the Getting Started tutorial, once. Without a tutorial driver in this build, or
        // without a desktop to show the topic on (a terminal or a script), the value stays set, so
        // the welcome still comes once it can be seen.
        TCard(400);
        UserKey().WriteNumber("", "ShowWelcome", 0);
    }
}

void XllQuelstat::AutoClose() {
    Guarded([&] { SaveUsage(); });
    if (Started()) {
        // Each step on its own: one failing removal must not leave the rest behind.
        Guarded([] { XlCall(XLF_APP_TITLE); });
        Guarded([] { XlCall(XLF_DELETE_TOOLBAR, {ReportToolbar::kName}); });
        Guarded([&] { m_helpMenu.Remove(); });
        Guarded([&] { m_dataMenu.Remove(); });
        Guarded([&] { m_mainMenu.Remove(); });
        Guarded([&] { m_reports.Commands().Remove(); });
        if (Services().saveParameters) Guarded([] { Services().saveParameters(); });
        ReleaseAutomation();
    }
    XLL::AutoClose();
}

void XllQuelstat::TCard(int id) {
    if (Services().tutorial) {
        Services().tutorial(id);
        return;
    }
    NotAvailable(id == 400 ? "Getting Started" : id == 500 ? "Tutorials" : "The tutorial");
}

bool XllQuelstat::TutorialStepWindowOpen() const {
    return Services().tutorialStepWindowOpen && Services().tutorialStepWindowOpen();
}

void XllQuelstat::CloseTutorialStepWindow() {
    if (Services().closeTutorialStepWindow) Services().closeTutorialStepWindow();
}

void XllQuelstat::SheetActivated() {
    ActiveReport* report = Services().reportForActiveSheet ? Services().reportForActiveSheet() : nullptr;
    if (report) m_reports.SetCurrentReport(report);
}

void XllQuelstat::SheetDeactivated() { m_reports.SetCurrentReport(nullptr); }

// ---- commands -------------------------------------------------------------------------------------

int XllQuelstat::ActiveSheetKind() {
    XlValue type;
    try {
        type = XlCallResult(XLF_GET_DOCUMENT, {3});
    } catch (CException* e) {
        e->Delete();
        return 0;
    }
    if (!type.Is(XLTYPE_NUM) || type.Number() != 1) return 0;
    if (Services().reportForActiveSheet) {
        CRef<ActiveReport> report(Services().reportForActiveSheet());
        if (report) return 2;
    }
    return 1;
}

bool XllQuelstat::ExecuteCommand(int id) {
    try {
        int kind = ActiveSheetKind();
        switch (id) {
            case 10002: {
                char version[16];
                std::snprintf(version, sizeof version, "%d.%02d", kVersionNumber / 100, kVersionNumber % 100);
                ShowMessage(57601, MB_OK | MB_ICONINFORMATION, "%s%s%s", version, kBuildDate,
                            LoadString(57344).c_str());
                break;
            }
            case 20113: OpenUrl(kWebSite); break;
            case 20116: TCard(400); break;
            case 20117: ShowHelpTopic(m_helpFile, 11, 0); break;
            case 20118: ShowHelpTopic(m_helpFile + ">notmain", 1, 246); break;
            case 20120: TCard(500); break;
            case 20127: NotAvailable("Check for updates"); break;
            case 20093:
            case 20094:
            case 20095:
            case 28673:
            case 28674:
                if (kind == 2 && m_reports.CurrentReport()) ReportCommandOnCurrent(id);
                break;
            default:
                if (id == 10004 || id == 10012 || FindTestEntry(static_cast<unsigned>(id))) {
                    if (kind == 1 || kind == 2) DatasetCommand(id);
                }
                break;
        }
    } catch (...) {
        CException* e = CaughtException();
        if (e != CancelKeyException::Instance()) ShowException(e);
        e->Delete();
    }
    return false;
}

void XllQuelstat::ReportCommandOnCurrent(int id) {
    if (!Services().reportCommand) {
        NotAvailable(LoadString(static_cast<unsigned>(id)).str());
        return;
    }
    CRef<ActiveReport> report(m_reports.CurrentReport());
    Services().reportCommand(id, *report);
    SheetDeactivated();
    SheetActivated();
}

void XllQuelstat::DatasetCommand(int id) {
    XlValue selection = XlCallResult(XLF_SELECTION);
    if (!(selection.Is(XLTYPE_REF) || selection.Is(XLTYPE_SREF))) ThrowMessage(64);
    XlValue sheetOfSelection = XlCallResultNA(xlSheetNm, {selection});

    XlStateScope scope(0, 0, false);
    if (id == 10004 || id == 10012) {
        auto& service = id == 10004 ? Services().datasetProperties : Services().variableProperties;
        if (!service) {
            NotAvailable(id == 10004 ? "Dataset properties" : "Variable properties");
            return;
        }
        XlStateScope screen(true);
        service(selection);
    } else {
        bool built = Services().runTest && (!Services().testAvailable || Services().testAvailable(id));
        if (!built) {
            NotAvailable(LoadString(static_cast<unsigned>(id)).str());
            return;
        }
        Services().runTest(id, selection);
        SheetDeactivated();
        SheetActivated();
    }
    // Back to the selection the command started from, when its sheet is still the active one.
    int kind = ActiveSheetKind();
    if (kind == 1 || kind == 2) {
        Guarded([&] {
            XlValue activeName = XlCallResultNA(xlSheetNm, {XlCallResult(XLF_SELECTION)});
            if (activeName.Equals(sheetOfSelection, true)) XlCall(XLC_SELECT, {selection});
        });
    }
}

}  // namespace qs
