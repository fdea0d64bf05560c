#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/automation.h"
#include "platform/settings.h"
#include "sheets/xlm/application.h"
#include "sheets/xlm/documents.h"
#include "sheets/xlm/host.h"
#include "sheets/xlm/startup.h"
#include "sheets/xlm/values.h"

using namespace xlm;

namespace {

struct Value {
  XLOPER v{};
  Value() { SetMissing(&v); }
  explicit Value(double d) { SetNumber(&v, d); }
  explicit Value(const char* s) { SetText(&v, s); }
  explicit Value(bool b) { SetBool(&v, b); }
  Value(int rows, int cols, std::vector<const char*> texts) {
    std::vector<XLOPER> cells;
    for (const char* t : texts) {
      XLOPER c;
      if (t)
        SetText(&c, t);
      else
        SetMissing(&c);
      cells.push_back(c);
    }
    SetArray(&v, rows, cols, cells);
  }
  ~Value() { FreeValue(&v); }
  Value(const Value&) = delete;
};

struct Result {
  int rc = -1;
  HostValue value;
};

// Calls the host as an add-in would (Excel4v with the international bit).
template <typename... V>
int HostCall(int fn, HostValue& result, V&... args) {
  XLOPER* a[] = {&args.v..., nullptr};
  FreeValue(&result.v);  // the previous result goes back first, as an add-in does
  return MdCallBack(fn | XLBIT_INTL, static_cast<int>(sizeof...(args)), a, &result.v);
}

std::string Str(const HostValue& h) { return Display(&h.v); }

class HostTest : public ::testing::Test {
 protected:
  std::filesystem::path home;
  void SetUp() override {
    char tmpl[] = "/tmp/qsxlm.XXXXXX";
    home = ::mkdtemp(tmpl);
    ::setenv("QUELSTAT_HOME", home.c_str(), 1);
    Host::Reset(HostOptions{});
  }
  void TearDown() override {
    Host::Shutdown();
    std::filesystem::remove_all(home);
  }
  std::string Menus() {
    std::ostringstream out;
    Host::Get().PrintMenus(out);
    return out.str();
  }
};

}  // namespace

TEST_F(HostTest, MenusAreAddedFoundEnabledAndRemovedByNameOrPosition) {
  HostValue r;
  Value bar(10.0), none;
  Value quelstat(1, 2, {"&Quelstat", ""}), at8(8.0);
  ASSERT_EQ(HostCall(XLF_ADD_MENU, r, bar, quelstat, at8), XLRET_SUCCESS);
  EXPECT_EQ(Str(r), "8");
  // A submenu inside it, then commands with a separator into the submenu.
  Value sub(1, 2, {"&Descriptive", ""}), parent("Quelstat");
  ASSERT_EQ(HostCall(XLF_ADD_MENU, r, bar, sub, none, parent), XLRET_SUCCESS);
  Value items(3, 5,
              {"&Summary...", "QUELSTAT.COMMAND(1008)", "", "Summary", "h!1008", "-", "", "", "", "", "&Comparative...",
               "QUELSTAT.COMMAND(1013)", "", "", ""});
  Value menu("&Quelstat"), subName("&Descriptive");
  ASSERT_EQ(HostCall(XLF_ADD_COMMAND, r, bar, menu, items, none, subName), XLRET_SUCCESS);
  // Into an existing menu found under another spelling, at the end.
  Value data("data"), dataset(1, 5, {"&Dataset...", "QUELSTAT.COMMAND(10004)", "", "", ""});
  ASSERT_EQ(HostCall(XLF_ADD_COMMAND, r, bar, data, dataset), XLRET_SUCCESS);

  // GET.BAR gives a menu's name by name or by position; an unknown name gives an error.
  Value zero(0.0), seven(7.0), nope("Daten");
  HostCall(XLF_GET_BAR, r, bar, data, zero);
  EXPECT_EQ(Str(r), "&Data");
  HostCall(XLF_GET_BAR, r, bar, seven, zero);
  EXPECT_EQ(Str(r), "&Data");
  HostCall(XLF_GET_BAR, r, bar, nope, zero);
  EXPECT_EQ(TypeOf(&r.v), XLTYPE_ERR);

  Value comparative("&Comparative..."), off(false);
  ASSERT_EQ(HostCall(XLF_ENABLE_COMMAND, r, bar, menu, comparative, off, subName), XLRET_SUCCESS);
  std::string text = Menus();
  EXPECT_NE(text.find("  7. &Data\n    &Dataset..."), std::string::npos) << text;
  EXPECT_NE(text.find("  8. &Quelstat  >\n    &Descriptive  >\n      &Summary..."), std::string::npos) << text;
  EXPECT_NE(text.find("1008  enabled\n      ----\n      &Comparative..."), std::string::npos) << text;
  EXPECT_NE(text.find("1013  disabled"), std::string::npos) << text;
  EXPECT_NE(text.find("  9. &Window"), std::string::npos) << text;
  EXPECT_EQ(Host::Get().FindCommand(1013)->enabled, false);

  // Deleting: a command that is not there fails; the submenu, then the menu, go.
  Value summary("&Summary...");
  EXPECT_EQ(HostCall(XLF_DELETE_COMMAND, r, bar, menu, summary, subName), XLRET_SUCCESS);
  EXPECT_NE(HostCall(XLF_DELETE_COMMAND, r, bar, menu, summary, subName), XLRET_SUCCESS);
  EXPECT_EQ(HostCall(XLF_DELETE_MENU, r, bar, menu, subName), XLRET_SUCCESS);
  EXPECT_EQ(Host::Get().FindCommand(1013), nullptr);
  EXPECT_EQ(HostCall(XLF_DELETE_MENU, r, bar, menu), XLRET_SUCCESS);
  EXPECT_NE(HostCall(XLF_DELETE_MENU, r, bar, menu), XLRET_SUCCESS);
  EXPECT_EQ(Menus().find("Quelstat"), std::string::npos);
  // A menu on a bar that does not exist is refused.
  Value bar99(99.0);
  EXPECT_NE(HostCall(XLF_ADD_MENU, r, bar99, quelstat), XLRET_SUCCESS);
}

TEST_F(HostTest, ToolbarsLoadFromTheirFileAndFollowShowEnableDelete) {
  std::filesystem::path file = home / "bars.xlb";
  {
    std::ofstream out(file);
    out << "# report bar\ntoolbar Report\n  button Move | QUELSTAT.COMMAND(20093)\n  separator\n"
           "  button Update | QUELSTAT.COMMAND(20095)\n";
  }
  HostValue r;
  Value path(file.c_str()), name("Report"), seven(7.0), six(6.0), two(2.0), three(3.0), off(false), on(true), none,
      x(660.0), y(135.0), w(640.0);
  ASSERT_EQ(MdCallBack(XLC_OPEN, 1, std::vector<XLOPER*>{&path.v}.data(), &r.v), XLRET_SUCCESS);
  HostCall(XLF_GET_TOOLBAR, r, seven, name);
  EXPECT_EQ(Str(r), "FALSE");
  ASSERT_EQ(HostCall(XLC_SHOW_TOOLBAR, r, name, on, none, x, y, w), XLRET_SUCCESS);
  HostCall(XLF_GET_TOOLBAR, r, seven, name);
  EXPECT_EQ(Str(r), "TRUE");
  HostCall(XLF_GET_TOOLBAR, r, six, name);
  EXPECT_EQ(Str(r), "5");
  EXPECT_EQ(HostCall(XLF_ENABLE_TOOL, r, name, three, off), XLRET_SUCCESS);
  EXPECT_NE(HostCall(XLF_ENABLE_TOOL, r, name, two, off), XLRET_SUCCESS);  // a separator
  std::string text = Menus();
  EXPECT_NE(text.find("Toolbar \"Report\" (shown)"), std::string::npos) << text;
  EXPECT_NE(text.find("20093  enabled\n  2. ----\n  3. Update"), std::string::npos) << text;
  EXPECT_NE(text.find("20095  disabled"), std::string::npos) << text;
  EXPECT_EQ(HostCall(XLF_DELETE_TOOLBAR, r, name), XLRET_SUCCESS);
  HostCall(XLF_GET_TOOLBAR, r, seven, name);
  EXPECT_EQ(TypeOf(&r.v), XLTYPE_ERR);
  Value standard("Standard");
  EXPECT_NE(HostCall(XLF_DELETE_TOOLBAR, r, standard), XLRET_SUCCESS);

  std::filesystem::path bad = home / "bad.xlb";
  std::ofstream(bad) << "toolbar X\nbutten Y\n";
  Value badPath(bad.c_str());
  Host::Get().report = [](const std::string&) {};
  EXPECT_NE(MdCallBack(XLC_OPEN, 1, std::vector<XLOPER*>{&badPath.v}.data(), &r.v), XLRET_SUCCESS);
}

TEST_F(HostTest, WorkspaceStatusBarAndConversions) {
  HostOptions o;
  o.excelVersion = 10;
  o.userName = "Ann";
  Host::Reset(o);
  HostValue r;
  Value two(2.0), user(26.0), forty(40.0), off(false), on(true);
  HostCall(XLF_GET_WORKSPACE, r, two);
  EXPECT_EQ(Str(r), "10.0");
  HostCall(XLF_GET_WORKSPACE, r, user);
  EXPECT_EQ(Str(r), "Ann");
  HostCall(XLC_ECHO, r, off);
  HostCall(XLF_GET_WORKSPACE, r, forty);
  EXPECT_EQ(Str(r), "FALSE");
  Value text("Loading...");
  HostCall(XLC_MESSAGE, r, on, text);
  EXPECT_EQ(Host::Get().statusText, "Loading...");
  HostCall(XLC_MESSAGE, r, off);
  EXPECT_FALSE(Host::Get().statusShown);

  // Text results keep whole UTF-8 sequences within 255 bytes.
  std::string longText(254, 'a');
  longText += "\xC2\xB5";  // a two-byte character straddling the limit
  HostValue t;
  SetText(&t.v, longText);
  EXPECT_EQ(t.v.val.str[0], 254);

  Value numText("12.5"), numType(static_cast<double>(XLTYPE_NUM)), strType(static_cast<double>(XLTYPE_STR)),
      bad("twelve");
  ASSERT_EQ(HostCall(xlCoerce, r, numText, numType), XLRET_SUCCESS);
  EXPECT_EQ(r.v.val.num, 12.5);
  Value n(3.25);
  HostCall(xlCoerce, r, n, strType);
  EXPECT_EQ(Str(r), "3.25");
  EXPECT_NE(HostCall(xlCoerce, r, bad, numType), XLRET_SUCCESS);
  EXPECT_EQ(MdCallBack(0x0FFF, 0, nullptr, &r.v), XLRET_INVALID_FN);
}

TEST_F(HostTest, AddInRegistersAndRunsItsCommandsInTwoSteps) {
  std::string error;
  AddIn* a = Host::Get().LoadAddIn(TEST_ADDIN, error);
  ASSERT_NE(a, nullptr) << error;
  Host& host = Host::Get();
  // Its menu went in before the Window menu.
  EXPECT_NE(Menus().find("  8. &Test  >\n    &Run..."), std::string::npos) << Menus();

  // Choosing the item: the macro stores the id and names the command that then runs.
  const MenuNode* item = host.FindCommand(77);
  ASSERT_NE(item, nullptr);
  ASSERT_TRUE(host.RunMacro(item->macro, error)) << error;
  HostValue v;
  ASSERT_TRUE(host.Evaluate("TEST.STATE(1)", &v.v, error)) << error;
  EXPECT_EQ(Str(v), "77");
  // A text result the add-in owns is copied and handed back to it.
  ASSERT_TRUE(host.Evaluate("TEST.STATE(3)", &v.v, error));
  EXPECT_EQ(Str(v), std::string(TEST_ADDIN));
  FreeValue(&v.v);
  // An unknown name gives #NAME?; a malformed call is refused.
  ASSERT_TRUE(host.Evaluate("NO.SUCH.FUNCTION(1)", &v.v, error));
  EXPECT_EQ(Str(v), "#NAME?");
  EXPECT_FALSE(host.Evaluate("TEST.STATE(1", &v.v, error));

  // Sheet hooks run when the active sheet changes, not when it stays.
  SheetChanged("", "[Book1]Sheet1");
  SheetChanged("[Book1]Sheet1", "[Book1]Sheet1");
  SheetChanged("[Book1]Sheet1", "[Book1]Sheet2");
  ASSERT_TRUE(host.Evaluate("TEST.STATE(2)", &v.v, error));
  EXPECT_EQ(Str(v), "2");

  // The running application answers macro calls by automation, in this process.
  ASSERT_TRUE(host.PublishRunningInstance());
  auto app = platform::GetActiveObject(ApplicationClassId(8));
  platform::Variant got =
      app->Invoke(kDispExecuteExcel4Macro, platform::kMethod, {platform::Variant::Of("TEST.STATE(1)")});
  EXPECT_EQ(got.d, 77);
  platform::Variant bars = app->Invoke(kDispCommandBars, platform::kPropertyGet, {});
  platform::Variant chart = bars.object->Invoke(0, platform::kMethod, {platform::Variant::Of("Chart")});
  chart.object->Invoke(kDispCommandBarEnabled, platform::kPropertyPut, {platform::Variant::Of(false)});
  EXPECT_FALSE(host.commandBarEnabled["Chart"]);
  EXPECT_THROW(bars.object->Invoke(0, platform::kMethod, {platform::Variant::Of("Nope")}), platform::DispatchError);

  // xlAutoClose deletes the command's name.
  host.UnloadAll();
  EXPECT_EQ(host.FindRegistered("TEST.COMMAND"), nullptr);
}

TEST_F(HostTest, StartupListReadsUpToTheFirstGap) {
  platform::SettingsKey excel(platform::Hive::CurrentUser, ApplicationKey(8));
  excel.WriteString(StartupSubkey(8), "OPEN", "/R \"/opt/other/other.xll\"");
  excel.WriteString(StartupSubkey(8), "OPEN1", "/R /F \"/opt/q s/quelstat.xll\"");
  excel.WriteString(StartupSubkey(8), "OPEN3", "/R \"/never/read.xll\"");
  std::vector<StartupEntry> list = ReadStartupList(8);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].path, "/opt/other/other.xll");
  EXPECT_EQ(list[1].name, "OPEN1");
  EXPECT_EQ(list[1].options, "/R /F");
  EXPECT_EQ(list[1].path, "/opt/q s/quelstat.xll");
  EXPECT_EQ(ParseStartupValue("/home/u/book.xls").path, "/home/u/book.xls");
  EXPECT_TRUE(ReadStartupList(9).empty());  // another version's key
  EXPECT_EQ(ApplicationKey(10), "SOFTWARE\\Microsoft\\Office\\9.0\\Excel");
  EXPECT_EQ(StartupSubkey(10), "Options");
}

TEST_F(HostTest, RefusesWhatCannotBeDone) {
  HostValue r;
  Host::Get().report = [](const std::string&) {};
  // REGISTER outside an add-in, and of a procedure the add-in does not export.
  Value module(TEST_ADDIN), proc("tstNoSuchExport"), type("A");
  EXPECT_NE(HostCall(XLF_REGISTER, r, module, proc, type), XLRET_SUCCESS);
  std::string error;
  ASSERT_NE(Host::Get().LoadAddIn(TEST_ADDIN, error), nullptr) << error;
  AddIn* addin = Host::Get().AddIns().back().get();
  {
    CallerScope scope(Host::Get(), addin);
    EXPECT_NE(HostCall(XLF_REGISTER, r, module, proc, type), XLRET_SUCCESS);
    Value state("tstState"), odd("BRR");  // a double result is not a type this host calls
    ASSERT_EQ(HostCall(XLF_REGISTER, r, module, state, odd), XLRET_SUCCESS);
    const Registered* reg = Host::Get().FindRegisteredId(r.v.val.num);
    ASSERT_NE(reg, nullptr);
    HostValue out;
    EXPECT_FALSE(Host::Get().CallRegistered(*reg, {}, &out.v, error));
    EXPECT_NE(error.find("not supported"), std::string::npos);
  }
  // xlGetName needs a calling add-in.
  EXPECT_NE(MdCallBack(xlGetName, 0, nullptr, &r.v), XLRET_SUCCESS);
  // Not an add-in at all.
  std::filesystem::path notXll = home / "plain.xll";
  std::ofstream(notXll) << "not a shared library";
  EXPECT_EQ(Host::Get().LoadAddIn(notXll.string(), error), nullptr);
  EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
}

TEST_F(HostTest, EscKeyIsReportedUntilCleared) {
  HostValue r;
  EXPECT_EQ(MdCallBack(xlAbort, 0, nullptr, &r.v), XLRET_SUCCESS);
  EXPECT_EQ(Str(r), "FALSE");
  g_escSignal = 1;  // as the Ctrl-C handler does
  MdCallBack(xlAbort, 0, nullptr, &r.v);
  EXPECT_EQ(Str(r), "TRUE");
  MdCallBack(xlAbort, 0, nullptr, &r.v);  // still pending: nobody cleared it
  EXPECT_EQ(Str(r), "TRUE");
  Value keep(false);
  HostCall(xlAbort, r, keep);
  EXPECT_EQ(Str(r), "TRUE");
  MdCallBack(xlAbort, 0, nullptr, &r.v);
  EXPECT_EQ(Str(r), "FALSE");
}
