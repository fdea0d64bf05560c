// The host and the add-in together, as a user runs them: menus, version check, start-up list and
// two hosts on one settings folder.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "run_program.h"

namespace {

const std::string kXll = std::filesystem::weakly_canonical(QUELSTAT_XLL).string();
const char* kExcelKey = "SOFTWARE\\Microsoft\\Office\\8.0\\Excel";
const char* kVersionMessage =
    "This version of Quelstat is for Excel 95/97.  Please contact your supplier for the appropriate version.";
const char* kOleMessage =
    "Unable to initalise OLE automation.  If you have more than one copy of Microsoft Excel running "
    "please close them and try again.";

using apptest::Outcome;
using apptest::Slurp;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class HostRun : public apptest::ScratchSettings {
 protected:
  platform::SettingsKey ExcelKey() { return platform::SettingsKey(platform::Hive::CurrentUser, kExcelKey); }
  std::string Entry(const std::string& name) { return ExcelKey().ReadString("Microsoft Excel", name, "<none>"); }
};

// Checks that the lines appear in this order in the text (other lines may come between).
void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines) {
  std::size_t at = 0;
  for (const std::string& l : lines) {
    std::size_t found = text.find(l, at);
    ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": \"" << l << "\"\n" << text;
    at = found + l.size();
  }
}

std::string Item(const std::string& indent, const std::string& text, int id, bool enabled = true) {
  std::string left = indent + text;
  if (left.size() < 44) left += std::string(44 - left.size(), ' ');
  std::string idText = std::to_string(id);
  return left + " " + std::string(6 - idText.size(), ' ') + idText + "  " + (enabled ? "enabled" : "disabled");
}

}  // namespace

// Loading the add-in runs nothing of it but its units' own initialisation: the application object,
// which reads the machine's settings, is made by the first export a host calls.
TEST_F(HostRun, LoadingTheAddInTouchesNoSettings) {
  void* addin = ::dlopen(kXll.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(addin, nullptr) << ::dlerror();
  EXPECT_NE(::dlsym(addin, "xlAutoOpen"), nullptr);
  EXPECT_FALSE(std::filesystem::exists(settings)) << "the settings folder was opened at load";
  ::dlclose(addin);
  EXPECT_FALSE(std::filesystem::exists(settings)) << "the settings folder was opened at unload";
}

TEST_F(HostRun, MenuListsTheInstalledMenusInOrder) {
  Outcome r = Quelstat({"menu"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string s = "      ";  // items of a submenu
  ExpectInOrder(r.out, {
                           "Menu bar 10",
                           "  7. &Data\n    ----\n" + Item("    ", "&Dataset...", 10004) + "\n" +
                               Item("    ", "&Variable...", 10012),
                           "  8. &Quelstat  >\n    &Descriptive  >\n" + Item(s, "&Summary (continuous)...", 1008),
                           Item(s, "Summary (cate&gorical)...", 1009),
                           Item(s, "&Comparative...", 1013),
                           "    ----\n    &Parametric  >\n" + Item(s, "One Sample &z-test...", 1024) +
                               "\n      ----\n" + Item(s, "One Sample &t-test...", 1025),
                           Item(s, "&Paired Samples t-test...", 1027),
                           Item(s, "&Independent Samples t-test...", 1026),
                           "      ----\n" + Item(s, "&F-Test...", 1028),
                           "    &ANOVA  >",
                           Item(s, "&1-way...", 1029),
                           Item(s, "&2-way...", 1031),
                           "      ----\n" + Item(s, "1-way &repeated measures...", 1030),
                           "    &Non-parametric  >",
                           Item(s, "&Runs...", 1040),
                           Item(s, "&Sign...", 1041),
                           Item(s, "&Wilcoxon...", 1042),
                           Item(s, "&Friedman...", 1046),
                           Item(s, "M&edian...", 1044),
                           Item(s, "&Mann Whitney...", 1043),
                           Item(s, "&Kruskal Wallis...", 1045),
                           "    Rates &+ Proportions  >",
                           Item(s, "&Binomial...", 1056),
                           Item(s, "&McNemar...", 1058),
                           Item(s, "&Cochran...", 1060),
                           Item(s, "&Fisher Exact...", 1057),
                           Item(s, "Chi-&Square...", 1059),
                           "    ----\n    &Correlation  >",
                           Item(s, "&Pearson...", 1072),
                           Item(s, "&Spearman...", 1073),
                           Item(s, "&Kendall...", 1074),
                           "    &Regression  >",
                           Item(s, "&Linear...", 1088),
                           Item(s, "&Polynomial...", 1089),
                           Item(s, "&Deming...", 1201),
                           Item(s, "&Passing and Bablok...", 1202),
                           "    A&greement  >",
                           Item(s, "&Bias Plot...", 1200),
                           Item(s, "&Linear...", 1240),
                           Item(s, "&Deming...", 1239),
                           Item(s, "&Passing and Bablok...", 1238),
                           Item(s, "&Kappa...", 1235),
                           "    ----\n    Diagnostic &Testing  >",
                           Item(s, "Reference &Interval...", 1232),
                           Item(s, "&ROC Curves...", 1233),
                           Item(s, "&Screening...", 1234),
                           "    Pr&ecision  >",
                           Item(s, "1 && 2 &Run...", 1216),
                           Item(s, "&Profile...", 1217),
                           "    Linearity  >",
                           Item(s, "NCCLS EP6-P", 1241),
                           "  9. &Window",
                           "  10. &Help\n    Quelstat Help  >\n" + Item(s, "Contents and Index...", 20117),
                           Item(s, "Getting Started...", 20116),
                           Item(s, "Tutorials...", 20120),
                           "      ----\n" + Item(s, "Visit our Web site", 20113),
                           Item(s, "&Check for updates...", 20127),
                           Item(s, "How to contact us...", 20118),
                           "      ----\n" + Item(s, "About &Quelstat", 10002),
                           "Toolbar \"Report\" (hidden)",
                           Item("  1. ", "Move To Dataset Workbook", 20093, false),
                           Item("  2. ", "Discard", 20094, false),
                           "  3. ----",
                           Item("  4. ", "Update", 20095, false),
                           Item("  5. ", "Update All", 28673, false),
                           "  6. ----",
                           Item("  7. ", "Edit Test Parameters", 28674, false),
                       });
  // Bar 3 is left alone from version 8 on.
  std::string bar3 = r.out.substr(r.out.find("Menu bar 3"));
  EXPECT_EQ(bar3.find("Quelstat Help"), std::string::npos) << bar3;
}

TEST_F(HostRun, UnsupportedVersionShowsItsMessageOnceAndInstallsNothing) {
  Outcome r = Quelstat({"--excel-version", "10", "menu"});
  EXPECT_EQ(Count(r.err, kVersionMessage), 1) << r.err;
  EXPECT_EQ(r.out.find("Quelstat"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  8. &Window"), std::string::npos) << r.out;
}

TEST_F(HostRun, StartupListEntriesFollowEnableAndDisable) {
  // Another add-in at OPEN, this one at OPEN1.
  ExcelKey().WriteString("Microsoft Excel", "OPEN", "/R \"/opt/other/other.xll\"");
  ExcelKey().WriteString("Microsoft Excel", "OPEN1", "/R \"" + kXll + "\"");
  Outcome q = Quelstat({"addins"});
  ASSERT_EQ(q.status, 0) << q.err;
  EXPECT_NE(q.out.find("opened at start-up"), std::string::npos) << q.out;
  EXPECT_EQ(q.out.find("not opened"), std::string::npos) << q.out;

  Outcome off = Quelstat({"addins", "--disable"});
  ASSERT_EQ(off.status, 0) << off.err;
  EXPECT_NE(off.out.find("not opened at start-up"), std::string::npos) << off.out;
  EXPECT_EQ(Entry("OPEN"), "/R \"/opt/other/other.xll\"");
  EXPECT_EQ(Entry("OPEN1"), "<none>");
  // The add-in stays listed in the Add-in Manager.
  EXPECT_TRUE(ExcelKey().Exists("Add-in Manager", kXll));

  Outcome on = Quelstat({"addins", "--enable"});
  ASSERT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(Entry("OPEN"), "/R \"/opt/other/other.xll\"");
  EXPECT_EQ(Entry("OPEN1"), "/R \"" + kXll + "\"");
  EXPECT_NE(on.out.find("OPEN1=/R \"" + kXll + "\""), std::string::npos) << on.out;
}

TEST_F(HostRun, StaleEntriesFromAnotherFolderAreDroppedAndTheListClosesUp) {
  ExcelKey().WriteString("Microsoft Excel", "OPEN", "/R \"/old/place/quelstat.xll\"");
  ExcelKey().WriteString("Microsoft Excel", "OPEN1", "/R \"/opt/other/other.xll\"");
  Outcome q = Quelstat({"addins"});
  ASSERT_EQ(q.status, 0) << q.err;
  EXPECT_NE(q.out.find("not opened at start-up"), std::string::npos) << q.out;
  EXPECT_EQ(Entry("OPEN"), "/R \"/opt/other/other.xll\"");
  EXPECT_EQ(Entry("OPEN1"), "<none>");
}

TEST_F(HostRun, SecondHostOnTheSameSettingsWaitsThenSaysWhichFolderIsInUse) {
  // The first host runs a script fed from a pipe and stays up until its input ends.
  int toFirst[2], fromFirst[2];
  ASSERT_EQ(::pipe(toFirst), 0);
  ASSERT_EQ(::pipe(fromFirst), 0);
  pid_t first = ::fork();
  if (first == 0) {
    ::dup2(toFirst[0], 0);
    ::dup2(fromFirst[1], 1);
    ::close(toFirst[1]);
    ::close(fromFirst[0]);
    ::execl(QUELSTAT_EXE, QUELSTAT_EXE, "script", "-", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(toFirst[0]);
  ::close(fromFirst[1]);
  const char* hello = "echo ready\n";
  ASSERT_EQ(::write(toFirst[1], hello, std::strlen(hello)), static_cast<ssize_t>(std::strlen(hello)));
  std::string got;
  char buf[4096];
  pollfd p{fromFirst[0], POLLIN, 0};
  while (got.find("ready\n") == std::string::npos && ::poll(&p, 1, 20000) > 0) {
    ssize_t n = ::read(fromFirst[0], buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  ASSERT_NE(got.find("ready\n"), std::string::npos) << got;

  // The second waits for the first (here a second, where it would wait half a minute), then says
  // which folder another quelstat is using, without starting half-way.
  ::setenv("QUELSTAT_WAIT", "1", 1);
  Outcome second = Quelstat({"menu"});
  ::unsetenv("QUELSTAT_WAIT");
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("quelstat: waiting for another quelstat that is using the settings folder " +
                            std::string(std::getenv("QUELSTAT_HOME"))),
            std::string::npos)
      << second.err;
  EXPECT_NE(second.err.find("quelstat: another quelstat is using the settings folder " +
                            std::string(std::getenv("QUELSTAT_HOME"))),
            std::string::npos)
      << second.err;
  EXPECT_EQ(Count(second.err, kOleMessage), 0) << second.err;
  EXPECT_EQ(second.out.find("Quelstat"), std::string::npos) << second.out;

  // The first host still has its menus.
  const char* menu = "menu\n";
  ASSERT_EQ(::write(toFirst[1], menu, 5), 5);
  ::close(toFirst[1]);
  got.clear();
  for (;;) {
    ssize_t n = ::read(fromFirst[0], buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  int status = 0;
  ::waitpid(first, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(got.find("8. &Quelstat"), std::string::npos) << got;
  ::close(fromFirst[0]);
}

TEST_F(HostRun, ScriptRunsMenuCommandsAndReportsBadLines) {
  Outcome help = Quelstat({"script", "--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* verb : {"open FILE", "select REF", "command ID", "menu", "save [FILE]", "quit"})
    EXPECT_NE(help.out.find(verb), std::string::npos) << verb;

  Outcome r = Quelstat({"script", "-"},
                       "# about box\nanswer ok\ncommand 10002\ncommand 20093\nfrobnicate\n"
                       "answer maybe\nquit\necho not reached\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Quelstat: Quelstat 1.61"), std::string::npos) << r.err;  // the About box
  EXPECT_NE(r.err.find("line 6: answer takes"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("line 4: no menu command 20093"), std::string::npos) << r.err;  // toolbar only
  EXPECT_NE(r.err.find("line 5: unknown action \"frobnicate\""), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("not reached"), std::string::npos);

  Outcome usage = Quelstat({"--excel-version", "x", "menu"});
  EXPECT_EQ(usage.status, 2);
}

TEST_F(HostRun, CtrlCEndsAWaitingScriptWithStatus130) {
  int toHost[2];
  ASSERT_EQ(::pipe(toHost), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(toHost[0], 0);
    ::close(toHost[1]);
    int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, 1);
    ::dup2(devnull, 2);
    ::execl(QUELSTAT_EXE, QUELSTAT_EXE, "script", "-", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(toHost[0]);
  // Wait until the host is up: its channel window is published in the run folder.
  for (int i = 0; i < 200; ++i) {
    bool up = false;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(settings / "run", ec))
      up = up || e.path().filename().string().find("QuelstatChannel") != std::string::npos;
    if (up) break;
    ::usleep(50000);
  }
  ::usleep(100000);
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(toHost[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
}

TEST_F(HostRun, ScriptOpensSelectsAndSavesWorkbooks) {
  const std::string fixture = std::string(QUELSTAT_SOURCE) + "/tests/data/sheets/libreoffice-features.xlsx";
  const std::string saved = (home / "copy.xlsx").string();
  Outcome r = Quelstat({"script", "-"}, "open " + fixture + "\nselect Data!B2:B6\nsave " + saved +
                                            "\nnew\nsave\nselect Nowhere!A1\nquit\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 5: Book"), std::string::npos) << r.err;  // never saved: needs a name
  EXPECT_NE(r.err.find("line 6: \"Nowhere!A1\" is not a reference"), std::string::npos) << r.err;
  Outcome shown = Quelstat({"show", saved});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Glucose \xC2\xB5mol/L"), std::string::npos) << shown.out;
  // The input was read, not written.
  EXPECT_TRUE(std::filesystem::exists(fixture));
  Outcome missing = Quelstat({"script", "-"}, "open " + (home / "none.xlsx").string() + "\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.xlsx"), std::string::npos) << missing.err;
}

TEST_F(HostRun, AddinsFailsWhenTheAddInCannotStartAndToolbarButtonsFollowTheirState) {
  Outcome r = Quelstat({"--excel-version", "10", "addins"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("channel window is missing"), std::string::npos) << r.err;

  Outcome t = Quelstat({"script", "-"}, "tool Report 4\ntool Report 3\ntool Nope 1\n");
  EXPECT_EQ(t.status, 1);
  EXPECT_NE(t.err.find("line 1: the toolbar \"Report\" is hidden"), std::string::npos) << t.err;
  EXPECT_NE(t.err.find("line 2: the toolbar \"Report\" has no button at 3"), std::string::npos) << t.err;
  EXPECT_NE(t.err.find("line 3: no toolbar \"Nope\""), std::string::npos) << t.err;
}

TEST_F(HostRun, GermanMenuNamesAreFoundByTheirPlace) {
  Outcome r = Quelstat({"--language", "de", "menu"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectInOrder(r.out, {"  7. Date&n\n    ----\n" + Item("    ", "&Dataset...", 10004), "  8. &Quelstat  >",
                        "  9. &Fenster", "  10. &?\n    Quelstat Help  >"});
}

TEST_F(HostRun, ClosingAChangedWorkbookAsksAndNothingIsDroppedSilently) {
  const std::string file = (home / "book.xlsx").string();
  // Saved once, changed, then closed: Cancel keeps it open, Yes saves it.
  Outcome r = Quelstat({"script", "-"}, "select B3\nenter 42.5\nsave " + file +
                                            "\nenter Glucose\n"
                                            "answer cancel\nclose\nanswer yes\nclose\nnew\nenter lost?\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Count(r.err, "Do you want to save the changes you made to 'book.xlsx'?"), 2) << r.err;
  EXPECT_NE(r.err.find("line 6: closing book.xlsx was cancelled"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the changes to Book"), std::string::npos) << r.err;  // the new one, at the end
  Outcome shown = Quelstat({"show", file});
  EXPECT_NE(shown.out.find("Glucose"), std::string::npos) << shown.out;
}
