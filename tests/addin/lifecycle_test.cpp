// The application object behind the exports: registration, the common frame, the version check,
// start-up and shut-down, automation, the start-up list and the channel window, command dispatch,
// the worksheet functions.
#include <gtest/gtest.h>

#include <cmath>

#include "addin/host/addin_services.h"
#include "addin/host/automation.h"
#include "addin/host/channel.h"
#include "addin/host/exports.h"
#include "addin/host/messages.h"
#include "addin/host/quelstat_app.h"
#include "addin/host/settings.h"
#include "addin/host/startup_list.h"
#include "addin/host/worksheet_functions.h"
#include "addin/host/xlstate.h"
#include "fake_host.h"

using namespace qs;

namespace {
constexpr const char* kPath = "/opt/quelstat/quelstat.xll";

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        fake::host().Reset();
        fake::CaptureMessages();
        settings = std::make_shared<MemorySettingsBackend>();
        SetSettingsBackend(settings);
        windows = std::make_shared<LocalChannelWindows>();
        SetChannelWindowService(windows);
        SetAutomationConnector(nullptr);
        Services() = AddinServices();
        HostInfo() = XlHostInfo();
        ClearCommandRecords();
        ResetLocalizedMenuNames();
        app = std::make_unique<XllQuelstat>(kPath);
    }
    void TearDown() override {
        app.reset();
        SetMessageBoxFrontEnd(nullptr);
    }
    std::vector<std::string> Shown() const { return fake::host().messages; }

    std::shared_ptr<MemorySettingsBackend> settings;
    std::shared_ptr<LocalChannelWindows> windows;
    std::unique_ptr<XllQuelstat> app;
};

std::string ResultText(XLOPER* r) { return fake::ValueText(*r); }
}  // namespace

TEST_F(Lifecycle, RegistrationArgumentCounts) {
    ExportAutoOpen();
    auto regs = fake::host().CallsOf(XLF_REGISTER);
    ASSERT_EQ(regs.size(), 10u);
    EXPECT_EQ(regs[0].Text(),
              "149(\"/opt/quelstat/quelstat.xll\", \"xlPreExecuteCommand\", \"PJ\", \"QUELSTAT.COMMAND\", \"\", 0)");
    EXPECT_EQ(regs[1].args.size(), 3u) << "no function text";
    EXPECT_EQ(regs[5].args[2], "\"AJ\"");
    EXPECT_EQ(
        regs[7].Text(),
        "149(\"/opt/quelstat/quelstat.xll\", \"xlLUPhase\", \"RRRR\", \"A.LU.PHASE\", \" \", 1, 0, \"\", \"\", \" \", "
        "\"xsubp\", \"K\", \"fun\")");
    EXPECT_EQ(regs[9].args[3], "\"A.LU\"");
    EXPECT_EQ(app->Table()[1].registerId, 101);
    EXPECT_TRUE(windows->Exists("QuelstatChannel"));
}

TEST_F(Lifecycle, StartUpInstallsEverythingAndCloseRemovesIt) {
    ExportAutoOpen();
    EXPECT_TRUE(app->Started());
    EXPECT_TRUE(Shown().empty()) << (Shown().empty() ? "" : Shown()[0]);
    EXPECT_EQ(fake::host().CallsOf(XLF_APP_TITLE).at(0).args.at(0), "\"Microsoft Excel + Quelstat\"");
    auto hooks = fake::host().CallsOf(XLC_ON_SHEET);
    ASSERT_EQ(hooks.size(), 2u);
    EXPECT_EQ(hooks[0].Text(), "471(<missing>, \"QUELSTAT.ONSHEET.DEACTIVATED\", FALSE)");
    EXPECT_EQ(hooks[1].Text(), "471(<missing>, \"QUELSTAT.ONSHEET.ACTIVATED\", TRUE)");
    EXPECT_EQ(fake::host().CallsOf(XLC_OPEN).at(0).args.at(0), "\"/opt/quelstat/system/quelstat8.xlb\"");
    bool mainMenu = false;
    for (const auto& c : fake::host().CallsOf(XLF_ADD_MENU))
        if (c.Text() == "152(10, {\"&Quelstat\",\"\"}, 8)") mainMenu = true;
    EXPECT_TRUE(mainMenu);
    bool loading = false;
    for (const auto& c : fake::host().CallsOf(XLC_MESSAGE))
        if (c.Text() == "122(TRUE, \"Loading Quelstat...\")") loading = true;
    EXPECT_TRUE(loading) << "the status bar says so during start-up";

    size_t added = fake::host().CallsOf(XLF_ADD_COMMAND).size();
    fake::host().calls.clear();
    ExportAutoClose();
    EXPECT_FALSE(app->Started());
    EXPECT_EQ(fake::host().CallsOf(XLF_APP_TITLE).at(0).args.size(), 0u) << "the title is restored";
    EXPECT_EQ(fake::host().CallsOf(XLF_DELETE_TOOLBAR).at(0).args.at(0), "\"Report\"");
    // Every command added is deleted again: 41 tests, 2 Data entries, 7 Help items (bar 3 is not
    // used from version 8 on); the rest of the additions were separators.
    EXPECT_EQ(fake::host().CallsOf(XLF_DELETE_COMMAND).size(), 41u + 2u + 7u);
    EXPECT_GT(added, 50u);
    EXPECT_EQ(fake::host().CallsOf(XLF_SET_NAME).size(), 9u);
    EXPECT_EQ(fake::host().CallsOf(XLC_ON_SHEET).size(), 2u);
    EXPECT_EQ(fake::host().CallsOf(XLC_ON_SHEET)[0].args[1], "\"\"");
    EXPECT_FALSE(windows->Exists("QuelstatChannel"));
    // Usage counters: one load, written back as 996 bytes.
    SettingsKey machine(SettingsRoot::LocalMachine, kQuelstatKey);
    auto usage = machine.ReadBinary("", "Usage");
    ASSERT_TRUE(usage);
    EXPECT_EQ(usage->size(), 996u);
    EXPECT_EQ((*usage)[4], 1);
}

TEST_F(Lifecycle, TwoStepCommandAndManagerInfo) {
    ExportAutoOpen();
    XLOPER* id = ExportPreExecuteCommand(10004);
    EXPECT_EQ(ResultText(id), "101");
    EXPECT_EQ(app->StoredCommand(), 10004);
    fake::host().messages.clear();
    EXPECT_EQ(ExportExecuteCommand(), 0);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0], "Dataset properties is not available in this build of Quelstat.");

    XlValue one(1.0), two(2.0), text("abc");
    EXPECT_EQ(ResultText(ExportAddInManagerInfo(&one)), "\"Quelstat\"");
    EXPECT_EQ(ResultText(ExportAddInManagerInfo(&two)), "#15");
    EXPECT_EQ(ResultText(ExportAddInManagerInfo(&text)), "#15");

    XlValue name("XLLU"), unknown("xlNothing");
    std::string registered = fake::ValueText(*ExportAutoRegister(&name));
    EXPECT_EQ(registered, std::to_string(fake::host().nextRegisterId - 1));
    EXPECT_EQ(fake::host().CallsOf(XLF_REGISTER).back().args.at(1), "\"xlLU\"");
    EXPECT_EQ(ResultText(ExportAutoRegister(&unknown)), "#15");
}

TEST_F(Lifecycle, UnsupportedVersionShowsTheMessageOnceAndInstallsNothing) {
    fake::host().version = "10.0";
    EXPECT_EQ(ExportAutoOpen(), 1);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(
        Shown()[0],
        "This version of Quelstat is for Excel 95/97.  Please contact your supplier for the appropriate version.");
    EXPECT_TRUE(fake::host().CallsOf(XLF_REGISTER).empty());
    ExportAutoOpen();
    ExportOnSheetActivated();
    EXPECT_EQ(Shown().size(), 1u);
    EXPECT_TRUE(fake::host().CallsOf(XLF_ADD_MENU).empty());
    size_t versionReads = 0;
    for (const auto& c : fake::host().CallsOf(XLF_GET_WORKSPACE)) versionReads += c.args.at(0) == "2";
    EXPECT_EQ(versionReads, 1u) << "the version is read once";
}

TEST_F(Lifecycle, VersionSevenUsesTheShorterSheet) {
    fake::host().version = "7.0a";
    ExportOnWindow();
    EXPECT_EQ(app->Version(), 7);
    EXPECT_EQ(app->LastRow(), 16383);
    EXPECT_TRUE(Shown().empty());
}

namespace {
// Another running instance's application: evaluating the macro never reaches this add-in.
class ElsewhereApp : public AutomationApp {
public:
    AutoVariant Invoke(long, const std::vector<AutoVariant>&) override { return true; }
    void SetItemProperty(long, const std::string&, long, const AutoVariant&) override {}
};
}  // namespace

TEST_F(Lifecycle, AutomationOfAnotherInstanceStopsStartUp) {
    SetAutomationConnector([](int) -> std::unique_ptr<AutomationApp> { return std::make_unique<ElsewhereApp>(); });
    ExportAutoOpen();
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0],
              "Unable to initalise OLE automation.  If you have more than one copy of Microsoft Excel "
              "running please close them and try again.");
    EXPECT_FALSE(app->Started());
    EXPECT_TRUE(fake::host().CallsOf(XLF_ADD_MENU).empty());
    EXPECT_TRUE(fake::host().CallsOf(XLF_ADD_COMMAND).empty());
    EXPECT_FALSE(windows->Exists("QuelstatChannel")) << "the partial start-up is undone";
    EXPECT_EQ(fake::host().CallsOf(XLF_SET_NAME).size(), 9u);
    SetAutomationConnector(nullptr);
}

TEST_F(Lifecycle, StartupListDisableAndEnable) {
    SettingsKey excel(SettingsRoot::CurrentUser, StartupList::ApplicationKey(8));
    excel.WriteText("Microsoft Excel", "OPEN", "/R \"/opt/other/tools.xll\"");
    excel.WriteText("Microsoft Excel", "OPEN1", "/R \"/opt/quelstat/quelstat.xll\"");
    StartupList list(8, kPath);
    EXPECT_TRUE(list.Query());
    list.Set(false);
    EXPECT_EQ(list.Entries(), std::vector<std::string>{"/R \"/opt/other/tools.xll\""});
    EXPECT_FALSE(list.Query());
    list.Set(true);
    EXPECT_EQ(excel.ReadText("Microsoft Excel", "OPEN1"), "/R \"/opt/quelstat/quelstat.xll\"");
    EXPECT_EQ(list.Entries().size(), 2u);
    EXPECT_TRUE(settings->Read(SettingsRoot::CurrentUser, StartupList::ApplicationKey(8) + "\\Add-in Manager", kPath));
}

TEST_F(Lifecycle, StartupListQueryDropsStaleEntriesAndKeepsOthers) {
    SettingsKey excel(SettingsRoot::CurrentUser, StartupList::ApplicationKey(9));
    excel.WriteText("Options", "OPEN", "/R \"/old/place/quelstat.xll\"");
    excel.WriteText("Options", "OPEN1", "/R \"/opt/tools/myquelstat.xll\"");
    excel.WriteText("Options", "OPEN2", "/R \"/opt/quelstat/quelstat.xll\"");
    excel.WriteText("Options", "OPEN4", "/R \"/after/a/gap.xll\"");  // not read: OPEN3 is missing
    StartupList list(9, kPath);
    EXPECT_TRUE(list.Query());
    EXPECT_EQ(list.Entries(),
              (std::vector<std::string>{"/R \"/opt/tools/myquelstat.xll\"", "/R \"/opt/quelstat/quelstat.xll\""}));
    EXPECT_EQ(excel.ReadText("Options", "OPEN2"), "");
    // Version 7 keeps its list elsewhere.
    EXPECT_EQ(StartupList::ApplicationKey(7), "SOFTWARE\\Microsoft\\Excel\\7.0");
    EXPECT_FALSE(StartupList(7, kPath).Query());
}

TEST_F(Lifecycle, ChannelWindowMessages) {
    ExportAutoOpen();
    bool found = false;
    EXPECT_EQ(windows->Send("QuelstatChannel", WM_USER, 0xFFFF, 0, &found), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(windows->Send("QuelstatChannel", WM_USER, 1, 0, &found), 1);
    EXPECT_EQ(windows->Send("QuelstatChannel", WM_USER, 0xFFFF, 0, &found), 1);
    EXPECT_EQ(windows->Send("QuelstatChannel", WM_USER, 0, 0, &found), 0);
    EXPECT_EQ(windows->Send("QuelstatChannel", WM_USER, 0xFFFF, 0, &found), 0);

    // A tutorial step goes through the application's macro evaluation.
    fake::host().calls.clear();
    windows->Send("QuelstatChannel", WM_TCARD, 30021, 0, &found);
    auto evals = fake::host().CallsOf(XLF_EVALUATE);
    ASSERT_EQ(evals.size(), 1u);
    EXPECT_EQ(evals[0].args[0], "\"QUELSTAT.TCARD(30021)\"");

    // With a tutorial step open, a later step closes it and runs directly.
    bool open = true;
    std::vector<int> ran;
    Services().tutorialStepWindowOpen = [&] { return open; };
    Services().closeTutorialStepWindow = [&] { open = false; };
    Services().tutorial = [&](int id) { ran.push_back(id); };
    fake::host().calls.clear();
    windows->Send("QuelstatChannel", WM_TCARD, 30021, 0, &found);
    EXPECT_FALSE(open);
    EXPECT_EQ(ran, std::vector<int>{30021});
    EXPECT_TRUE(fake::host().CallsOf(XLF_EVALUATE).empty());
    open = true;
    windows->Send("QuelstatChannel", WM_TCARD, 30019, 0, &found);  // not above 30019: through the host
    EXPECT_TRUE(open);
    EXPECT_EQ(fake::host().CallsOf(XLF_EVALUATE).size(), 1u);
}

TEST_F(Lifecycle, TestCommandDispatch) {
    ExportAutoOpen();
    fake::host().messages.clear();
    // A chart sheet: nothing happens.
    fake::host().answers[XLF_GET_DOCUMENT] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetNumber(r, 2);
        return XLRET_SUCCESS;
    };
    fake::host().calls.clear();
    app->ExecuteCommand(1026);
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(fake::host().CallsOf(XLF_SELECTION).empty());
    fake::host().answers.erase(XLF_GET_DOCUMENT);

    app->ExecuteCommand(1026);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0], "Independent samples t-test is not available in this build of Quelstat.");

    int ran = 0;
    Services().runTest = [&](int id, const XlValue& sel) {
        ran = id;
        EXPECT_TRUE(sel.Is(XLTYPE_SREF));
    };
    uint32_t before = app->Usage()[1026 - 993];
    app->ExecuteCommand(1026);
    EXPECT_EQ(ran, 1026);
    // The counter belongs to the run flow, which counts runs that reach the computation; a run the
    // dispatcher hands over may still be cancelled.
    EXPECT_EQ(app->Usage()[1026 - 993], before);

    // A failure inside the command is shown and ends it.
    Services().runTest = [](int, const XlValue&) { ThrowMessage(64); };
    fake::host().messages.clear();
    EXPECT_FALSE(app->ExecuteCommand(1026));
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].substr(0, 40), "Quelstat could not find a dataset surrou");

    // No cell range selected: message 64 before anything else.
    fake::host().answers[XLF_SELECTION] = [](int, int, XLOPER**, XLOPER* r) {
        fake::SetError(r, XLERR_REF);
        return XLRET_SUCCESS;
    };
    ran = 0;
    Services().runTest = [&](int id, const XlValue&) { ran = id; };
    app->ExecuteCommand(1026);
    EXPECT_EQ(ran, 0);
}

TEST_F(Lifecycle, ReportCommandsNeedACurrentReport) {
    ExportAutoOpen();
    fake::host().messages.clear();
    fake::host().calls.clear();
    app->ExecuteCommand(20095);
    EXPECT_TRUE(Shown().empty());
    EXPECT_TRUE(fake::host().CallsOf(XLF_ENABLE_TOOL).empty()) << "menus unchanged";
    app->ExecuteCommand(10002);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_NE(Shown()[0].find("Quelstat 1.61"), std::string::npos);
}

TEST(WorksheetFunctions, FourierComponent) {
    auto c = ComputeFourierComponent({0, 1, 2, 3}, {1, 0, -1, 0}, 1);
    EXPECT_NEAR(c.power, 1, 1e-12);
    EXPECT_NEAR(c.phase, 0, 1e-9);
    auto z = ComputeFourierComponent({0, 1, 2, 3}, {1, 2, 3, 4}, 0);
    EXPECT_TRUE(z.phase == 0 || z.phase == 180);
    EXPECT_NEAR(z.power, 25, 1e-9);  // b = 2 * 10 / 4
    EXPECT_TRUE(std::isnan(ComputeFourierComponent({0, 1}, {1}, 1).power)) << "fewer values than time points";
    EXPECT_TRUE(std::isnan(ComputeFourierComponent({}, {}, 1).power));
    double nan = std::nan("");
    EXPECT_TRUE(std::isnan(ComputeFourierComponent({0, 1}, {1, nan}, 1).phase));
}

TEST_F(Lifecycle, WorksheetFunctionExports) {
    auto column = [](std::vector<XlValue> v) {
        XlValue a = XlValue::Array(static_cast<uint16_t>(v.size()), 1);
        for (size_t i = 0; i < v.size(); ++i) a.At(static_cast<uint16_t>(i), 0) = v[i];
        return a;
    };
    XlValue t = column({XlValue(0.0), XlValue(1.0), XlValue(2.0), XlValue(3.0)});
    XlValue x = column({XlValue(1.0), XlValue(0.0), XlValue(-1.0), XlValue(0.0)});
    XlValue k(1.0);
    EXPECT_EQ(fake::ValueText(*LuFunction(LuResult::Power, &t, &k, &x)), "1");
    EXPECT_EQ(fake::ValueText(*LuFunction(LuResult::Both, &t, &k, &x)), "{1,0}");
    XlValue withText = column({XlValue(1.0), XlValue("n/a"), XlValue(-1.0), XlValue(0.0)});
    EXPECT_EQ(fake::ValueText(*LuFunction(LuResult::Phase, &t, &k, &withText)), "#36");
    EXPECT_EQ(fake::ValueText(*LuFunction(LuResult::Both, &t, &k, &withText)), "{#36,#36}");
    XlValue bad = XlValue::Error(XLERR_DIV0);
    EXPECT_EQ(fake::ValueText(*LuFunction(LuResult::Power, &t, &bad, &x)), "#7") << "the coercion error's code";
}

namespace {
struct WindowsWithMain : LocalChannelWindows {
    uint64_t FindByClassAndLowBits(const std::string& cls, uint16_t low) override {
        return cls == "XLMAIN" && low == 0xBEEF ? 0x1234BEEFull : 0;
    }
};
}  // namespace

TEST_F(Lifecycle, MainWindowFromTheLowBitsOfItsHandle) {
    SetChannelWindowService(std::make_shared<WindowsWithMain>());
    fake::host().answers[xlGetHwnd] = [](int, int, XLOPER**, XLOPER* r) {
        r->xltype = XLTYPE_INT;
        r->val.w = static_cast<int16_t>(0xBEEF);  // the host gives 16 bits, here negative
        return XLRET_SUCCESS;
    };
    EXPECT_EQ(app->MainWindow(), 0x1234BEEFull);
    app->MainWindow();
    EXPECT_EQ(fake::host().CallsOf(xlGetHwnd).size(), 1u) << "found once";
}

TEST_F(Lifecycle, AutoRegisterGivesRegistersResultAndSearchesTheExtraTable) {
    static XlFunctionEntry extra[] = {{"xlExtraProc", "A", 0, 0, 0, 0, 0}, {nullptr, nullptr, 0, 0, 0, 0, 0}};
    struct WithExtra : XLL {
        WithExtra() : XLL(1, 2, extra) {}
    };
    app.reset();
    WithExtra withExtra;
    fake::host().answers[XLF_REGISTER] = [](int, int, XLOPER** args, XLOPER* r) {
        std::string proc(reinterpret_cast<char*>(args[1]->val.str + 1), args[1]->val.str[0]);
        if (proc == "xlOnWindow")
            fake::SetError(r, XLERR_NUM);
        else
            fake::SetNumber(r, 555);
        return XLRET_SUCCESS;
    };
    EXPECT_EQ(withExtra.AutoRegister("XLONWINDOW").Type(), XLTYPE_ERR) << "REGISTER's own answer";
    EXPECT_EQ(withExtra.AutoRegister("xlextraproc").Number(), 555);
    EXPECT_EQ(withExtra.FindEntry("xlExtraProc")->registerId, 555);
}

TEST(AutoFree, ReleasesAnAddinOwnedArrayAndItsTexts) {
    auto* v = new XlValue(XlValue::Array(2, 1));
    v->At(0, 0).SetText("kept until the host is done");
    v->At(1, 0).SetNumber(2);
    ExportAutoFree(v);
    EXPECT_TRUE(v->IsNil());
    delete v;  // the sanitizer build checks that nothing leaked or was freed twice
}
