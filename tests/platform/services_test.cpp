#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/msgbox.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "temp_home.h"

using namespace platform;

// Several processes changing different values of one key at once: every change survives
// (each write is a read-modify-write of the whole file under the lock).
TEST(SettingsKey, ConcurrentWritersLoseNothing) {
  TempHome home;
  const int kProcesses = 4, kWrites = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      SettingsKey key(Hive::LocalMachine, "SOFTWARE\\Quelstat");
      for (int i = 0; i < kWrites; ++i) key.WriteDword("", "p" + std::to_string(p) + "v" + std::to_string(i), i);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(registry::ValueNames(Hive::LocalMachine, "SOFTWARE\\Quelstat").size(),
            static_cast<std::size_t>(kProcesses * kWrites));
  SettingsKey key(Hive::LocalMachine, "SOFTWARE\\Quelstat");
  EXPECT_EQ(key.ReadDword("", "p3v24", 0), 24u);
}

TEST(MessageBox, FrontEndAnswersElseTheFirstButton) {
  EXPECT_EQ(DefaultAnswer(MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(DefaultAnswer(MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(DefaultAnswer(MB_OK), IDOK);
  std::string seen;
  MessageBoxHandler old =
      SetMessageBoxHandler([&](const std::string& caption, const std::string& text, unsigned, unsigned help) {
        seen = caption + "|" + text + "|" + std::to_string(help);
        return IDNO;
      });
  EXPECT_EQ(MessageBox("Quelstat", "Replace?", MB_YESNO, 64), IDNO);
  EXPECT_EQ(seen, "Quelstat|Replace?|64");
  SetMessageBoxHandler(old);
}

TEST(Shell, WithoutADesktopTargetsArePrinted) {
  ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
  EXPECT_FALSE(HasDesktop());
  EXPECT_EQ(HelpPage("/opt/q/system/quelstat.hlp", kHelpContext, 246), "/opt/q/system/quelstat/246.html");
  EXPECT_EQ(HelpPage("/opt/q/system/quelstat.hlp>notmain", kHelpContext, 246), "/opt/q/system/quelstat/246.html");
  EXPECT_EQ(HelpPage("/opt/q/system/quelstat.hlp", kHelpFinder, 0), "/opt/q/system/quelstat/index.html");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(ShowHelp("/opt/q/system/quelstat.hlp", kHelpContext, 246));
  EXPECT_TRUE(ShellOpen("https://example.org/quelstat"));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Help: /opt/q/system/quelstat.hlp topic 246: /opt/q/system/quelstat/246.html\n"
            "Open: https://example.org/quelstat\n");
  ::unsetenv("QUELSTAT_NO_DESKTOP");
}
