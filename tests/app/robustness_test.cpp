// The program with hostile surroundings: damaged or unusable settings, read-only workbooks, files
// that are not what their names say, and several quelstat processes sharing one settings folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"
#include "sheets/io/workbook_io.h"

namespace {

namespace fs = std::filesystem;

using apptest::Outcome;
using apptest::Slurp;

class Robustness : public apptest::ScratchSettings {
 protected:
  void SetUp() override {
    ScratchSettings::SetUp();
    fs::create_directories(settings);
  }
  Outcome TTest(const fs::path& book, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"run",           book.string(), "--cell",
                                     "Diet study!B8", "--test",      "Independent samples t-test"};
    args.insert(args.end(), more.begin(), more.end());
    return Quelstat(args);
  }
};

TEST_F(Robustness, DamagedSettingsGiveDefaultsAndAMessageAndStayAsTheyWere) {
  const std::string damaged = std::string("[SOFTWARE\\Quelstat]\n\"Path\"=\"cut\0 in the mid", 40);
  { std::ofstream(settings / "user.reg", std::ios::binary) << damaged; }
  for (const char* command : {"menu", "addins"}) {
    Outcome r = Quelstat({command});
    EXPECT_TRUE(r.status == 0 || r.status == 1) << command << " exited with " << r.status << "\n" << r.err;
    EXPECT_NE(r.err.find((settings / "user.reg").string() + ":2: malformed text value"), std::string::npos)
        << command << "\n"
        << r.err;
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
  }
  Outcome r = TTest(Example("cholesterol-diet.xlsx"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(settings / "user.reg"), damaged);
}

TEST_F(Robustness, ASettingsFolderThatIsAFileOrReadOnlyStopsNothing) {
  std::ofstream(home / "plain") << "not a folder";
  ::setenv("QUELSTAT_HOME", (home / "plain").c_str(), 1);
  Outcome r = TTest(Example("cholesterol-diet.xlsx"));
  EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.err;
  EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find((home / "plain").string()), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(home / "plain"), "not a folder");
  // A read-only folder, for a user other than root (root writes anyway, so the test takes another
  // user where the system has one to take).
  if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "needs root and setpriv to act as another user";
  ::setenv("QUELSTAT_HOME", settings.c_str(), 1);
  fs::permissions(home, fs::perms(0755));
  fs::permissions(work, fs::perms(0777));
  fs::permissions(settings, fs::perms(0555));
  fs::path book = Example("cholesterol-diet.xlsx");
  fs::permissions(book, fs::perms(0644));
  std::string command =
      "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups -- '" + std::string(QUELSTAT_EXE) + "' run '" +
      book.string() + "' --cell 'Diet study!B8' --test 'Independent samples t-test' --reports '" +
      (work / "r.xlsx").string() + "' >'" + (work / "out.txt").string() + "' 2>'" + (work / "err.txt").string() + "'";
  int status = std::system(command.c_str());
  std::string err = Slurp(work / "err.txt");
  ASSERT_TRUE(WIFEXITED(status)) << err;
  EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1) << WEXITSTATUS(status) << "\n" << err;
  EXPECT_EQ(err.find("terminate called"), std::string::npos) << err;
  EXPECT_NE(err.find("quelstat: settings: cannot make the lock file " + (settings / ".user.lock").string() +
                     ": Permission denied; the change is not remembered"),
            std::string::npos)
      << err;
  EXPECT_TRUE(fs::is_empty(settings));
}

TEST_F(Robustness, AReadOnlyWorkbookIsNeverReplacedAlsoForRoot) {
  fs::path book = Example("cholesterol-diet.xlsx");
  fs::permissions(book, fs::perms(0444));
  std::string before = Slurp(book);
  Outcome r = TTest(book, {"--save", "--reports", (work / "r.xlsx").string()});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find(book.string() + ": cannot save: the file is read-only"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(book), before);
  EXPECT_EQ(fs::status(book).permissions(), fs::perms(0444));
}

TEST_F(Robustness, FilesThatAreNotWhatTheirNamesSayAreRefusedAsSuch) {
  std::ofstream(work / "data.xlsx") << "Group,Value\nA,1\nB,2\n";
  Outcome r = Quelstat({"detect", (work / "data.xlsx").string(), "--cell", "A1"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("the name says .xlsx but the file holds text"), std::string::npos) << r.err;
  // detect --save follows the rule of every saving command: a .csv is not written over with xlsx.
  std::ofstream(work / "data.csv") << "Group,Value\nA,1\nB,2\n";
  r = Quelstat({"detect", (work / "data.csv").string(), "--cell", "A1", "--save"});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("--save writes .xlsx and .xlsm workbooks only"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(work / "data.csv"), "Group,Value\nA,1\nB,2\n");
}

TEST_F(Robustness, AColumnLongerThanTheHostsRowsIsNamedAsSuch) {
  sheets::Workbook book("long.xlsx", sheets::SheetLimits::Large());
  sheets::Sheet& s = book.AddSheet("Data");
  s.SetText(0, 0, "Weight");
  for (uint32_t r = 1; r <= 65536; ++r) s.SetNumber(r, 0, 50 + r % 40);
  sheets::SaveWorkbook(book, (work / "long.xlsx").string());
  for (const char* command : {"detect", "run"}) {
    std::vector<std::string> args = {command, (work / "long.xlsx").string(), "--cell", "A2"};
    if (std::string(command) == "run") args.insert(args.end(), {"--test", "One sample t-test"});
    Outcome r = Quelstat(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("the data at Data!A2 runs to row 65537, which exceeds the 65,536 rows a dataset can have in "
                         "this host"),
              std::string::npos)
        << r.err;
  }
}

TEST_F(Robustness, SeveralProcessesOnOneSettingsFolderEachFinish) {
  fs::path book = Example("cholesterol-diet.xlsx");
  std::vector<Outcome> outcomes(4);
  std::vector<std::thread> runs;
  for (int i = 0; i < 4; ++i)
    runs.emplace_back([&, i] {
      fs::path own = home / ("p" + std::to_string(i));
      fs::create_directories(own);
      outcomes[size_t(i)] = apptest::RunQuelstat(
          own, {"run", book.string(), "--cell", "Diet study!B8", "--test", "Independent samples t-test", "--reports",
                (work / ("r" + std::to_string(i) + ".xlsx")).string()});
    });
  for (auto& t : runs) t.join();
  for (const Outcome& o : outcomes) {
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.find("no menu command"), std::string::npos) << o.err;
  }
}

}  // namespace
