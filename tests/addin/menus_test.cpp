// The menu engine: item names, the four walks, module availability, localized menus, the report
// command set and toolbar.
#include <gtest/gtest.h>

#include <algorithm>

#include "addin/host/commandset.h"
#include "addin/host/settings.h"
#include "addin/host/xlstate.h"
#include "fake_host.h"

using namespace qs;

namespace {
class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        fake::host().Reset();
        settings = std::make_shared<MemorySettingsBackend>();
        SetSettingsBackend(settings);
        ClearCommandRecords();
        ResetLocalizedMenuNames();
        HostInfo() = XlHostInfo();
        HostInfo().version = 8;
        XlCommandSet::SetHelpFile("/q/system/quelstat.hlp");
    }
    std::vector<std::string> Texts(int fn) {
        std::vector<std::string> out;
        for (const auto& c : fake::host().CallsOf(fn)) out.push_back(c.Text());
        return out;
    }
    static size_t Count(const std::vector<std::string>& v, const std::string& needle) {
        return static_cast<size_t>(std::count_if(
            v.begin(), v.end(), [&](const std::string& s) { return s.find(needle) != std::string::npos; }));
    }
    std::shared_ptr<MemorySettingsBackend> settings;
};
}  // namespace

TEST(MenuItemNames, Grammar) {
    MenuItemName a = MenuItemName::Parse("^8,&Quelstat");
    EXPECT_EQ(a.position, 8);
    EXPECT_FALSE(a.exists);
    EXPECT_EQ(a.text, "&Quelstat");
    MenuItemName b = MenuItemName::Parse("=10");
    EXPECT_TRUE(b.exists);
    EXPECT_TRUE(b.isNumber);
    EXPECT_EQ(b.number, 10);
    MenuItemName c = MenuItemName::Parse("-1");
    EXPECT_TRUE(c.isNumber);
    EXPECT_EQ(c.number, -1);
    MenuItemName d = MenuItemName::Parse("^2,=Help");
    EXPECT_EQ(d.position, 2);
    EXPECT_TRUE(d.exists);
    EXPECT_FALSE(d.isNumber);
    EXPECT_EQ(MenuItemName::Parse("Linearity").text, "Linearity");
}

TEST_F(Menus, MainMenuInstallAndRemove) {
    CommandsQuelstat menu;
    menu.Install();
    auto menus = Texts(XLF_ADD_MENU);
    ASSERT_EQ(menus.size(), 12u);
    EXPECT_EQ(menus[0], "152(10, {\"&Quelstat\",\"\"}, 8)");
    EXPECT_EQ(menus[1], "152(10, {\"&Descriptive\",\"\"}, <missing>, \"&Quelstat\")");
    auto commands = Texts(XLF_ADD_COMMAND);
    EXPECT_EQ(commands[0],
              "153(10, \"&Quelstat\", {\"&Summary (continuous)...\",\"QUELSTAT.COMMAND(1008)\",\"\","
              "\"Continuous summary descriptives\",\"/q/system/quelstat.hlp!1008\"}, <missing>, \"&Descriptive\")");
    EXPECT_EQ(Count(commands, "QUELSTAT.COMMAND("), 41u);
    // Separators: 3 between groups of submenus, 11 inside submenus.
    EXPECT_EQ(Count(commands, "{\"-\",\"\"}"), 14u);
    EXPECT_EQ(Count(commands, "153(10, \"&Quelstat\", {\"-\",\"\"})"), 3u);
    // Dynamic items are none here: nothing to disable.
    EXPECT_TRUE(Texts(XLF_ENABLE_COMMAND).empty());

    fake::host().calls.clear();
    fake::host().answers[XLF_DELETE_COMMAND] = [](int, int, XLOPER**, XLOPER*) { return XLRET_FAILED; };
    menu.Remove();  // failures while removing are dropped
    EXPECT_EQ(Texts(XLF_DELETE_COMMAND).size(), 41u);
    auto deleted = Texts(XLF_DELETE_MENU);
    ASSERT_EQ(deleted.size(), 12u);
    EXPECT_EQ(deleted[0], "158(10, \"&Quelstat\", \"&Descriptive\")");
    EXPECT_EQ(deleted.back(), "158(10, \"&Quelstat\")");
    EXPECT_TRUE(CommandRecordFor(1008).places.empty());
}

TEST_F(Menus, UnavailableModuleDropsSubmenusAndDanglingSeparators) {
    SettingsKey(SettingsRoot::LocalMachine, kQuelstatKey).WriteNumber("", "Modules", 1);
    CommandsQuelstat menu;
    EXPECT_FALSE(menu.IsCommandAvailable(1235));
    EXPECT_TRUE(menu.IsCommandAvailable(1026));
    EXPECT_TRUE(menu.IsCommandAvailable(10002)) << "not a test";
    menu.Install();
    auto menus = Texts(XLF_ADD_MENU);
    EXPECT_EQ(Count(menus, "A&greement"), 0u);
    EXPECT_EQ(Count(menus, "Diagnostic &Testing"), 0u);
    EXPECT_EQ(Count(menus, "Linearity"), 0u);
    EXPECT_EQ(Count(menus, "&Regression"), 1u);
    auto commands = Texts(XLF_ADD_COMMAND);
    EXPECT_EQ(Count(commands, "153(10, \"&Quelstat\", {\"-\",\"\"})"), 2u) << "the last group has no item";
    EXPECT_EQ(Count(commands, "{\"-\",\"\"}, <missing>, \"&Regression\")"), 0u) << "Deming and P&B are gone";
    EXPECT_EQ(Count(commands, "QUELSTAT.COMMAND(12"), 0u);
}

TEST_F(Menus, LocalizedDataAndHelpMenus) {
    fake::host().answers[XLF_GET_BAR] = [](int, int count, XLOPER** args, XLOPER* r) {
        if ((args[1]->xltype & XLTYPE_MASK) == XLTYPE_STR) {
            fake::SetError(r, XLERR_NA);  // no menu of that English name
        } else {
            fake::SetText(r, args[1]->val.num == 7 ? "Da&ten" : "&?");
        }
        (void)count;
        return XLRET_SUCCESS;
    };
    XlCommandSet data(121), help(151);
    data.Install();
    help.Install();
    auto commands = Texts(XLF_ADD_COMMAND);
    EXPECT_EQ(commands[0], "153(10, \"Da&ten\", {\"-\",\"\"})");
    EXPECT_EQ(Count(commands, "153(10, \"Da&ten\", {\"&Dataset...\""), 1u);
    auto menus = Texts(XLF_ADD_MENU);
    ASSERT_EQ(menus.size(), 1u) << "bar 3 is skipped from version 8 on";
    EXPECT_EQ(menus[0], "152(10, {\"Quelstat Help\",\"\"}, 2, \"&?\")");
    EXPECT_EQ(Texts(XLF_GET_BAR).size(), 4u) << "looked up once";
}

TEST_F(Menus, VersionSevenAlsoUsesTheEmptyBar) {
    HostInfo().version = 7;
    XlCommandSet help(151);
    help.Install();
    auto menus = Texts(XLF_ADD_MENU);
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1], "152(3, {\"Quelstat Help\",\"\"}, 2, \"Help\")");
}

TEST_F(Menus, ReportToolbarAndDynamicItems) {
    ReportToolbar reports;
    reports.SetUp("/q/system/quelstat8.xlb", 8);
    auto shows = Texts(XLC_SHOW_TOOLBAR);
    ASSERT_GE(shows.size(), 2u);
    EXPECT_EQ(shows[0], "220(\"Report\", FALSE, <missing>, <missing>, <missing>, 640, 1)");
    EXPECT_EQ(shows[1], "220(\"Report\", FALSE, <missing>, 660, 135, 640)");
    EXPECT_EQ(CommandRecordFor(28674).toolbarPosition, 7);
    EXPECT_EQ(CommandRecordFor(20095).toolbarPosition, 4);
    EXPECT_TRUE(Texts(XLF_ADD_COMMAND).empty()) << "bar -1 is never added";
    auto tools = Texts(XLF_ENABLE_TOOL);
    ASSERT_EQ(tools.size(), 5u);
    EXPECT_EQ(tools[0], "265(\"Report\", 1, FALSE)");

    struct Fake : ActiveReport {
        bool onSheet = false;
        bool IsOnActiveSheet() const override { return onSheet; }
    };
    auto* report = new Fake;
    fake::host().calls.clear();
    reports.SetCurrentReport(report);
    EXPECT_TRUE(reports.Commands().Enabled());
    EXPECT_EQ(Count(Texts(XLF_ENABLE_TOOL), "TRUE)"), 5u);
    EXPECT_EQ(Texts(XLC_SHOW_TOOLBAR).back(), "220(\"Report\", TRUE)");
    report->onSheet = true;
    reports.SetCurrentReport(nullptr);
    EXPECT_EQ(reports.CurrentReport(), report) << "still on its own sheet";
    report->onSheet = false;
    fake::host().calls.clear();
    reports.SetCurrentReport(nullptr);
    EXPECT_EQ(reports.CurrentReport(), nullptr);
    EXPECT_EQ(Count(Texts(XLF_ENABLE_TOOL), "FALSE)"), 5u);
    reports.Commands().SetEnabled(false);
    EXPECT_EQ(Texts(XLF_ENABLE_TOOL).size(), 5u) << "no change, no calls";
}
