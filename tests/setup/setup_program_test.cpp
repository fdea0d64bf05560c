// The setup program end to end: silent install from a media folder, a second install while a
// host runs, files in use, and removal, with the settings folder in a temporary folder.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

#include "setup/cab/cabinet.h"
#include "setup/engine/file_groups.h"
#include "setup/engine/ini_file.h"
#include "setup/engine/installer.h"
#include "setup/engine/registry.h"
#include "tests/setup/test_util.h"
#ifdef HAVE_HOST_STARTUP_LIST
#include "sheets/xlm/startup.h"
#endif

extern char** environ;

namespace fs = std::filesystem;
using namespace quelstat::setup;
using quelstat::testing::readAll;
using quelstat::testing::run;
using quelstat::testing::TempFolder;

namespace {

const char* const kOptions9 = "SOFTWARE\\Microsoft\\Office\\9.0\\Excel\\Options";

std::vector<std::string> startupList(const RegistryStore& reg, const std::string& key) {
    std::vector<std::string> out;
    for (int i = 0;; ++i) {
        auto v = reg.getString(Hive::CurrentUser, key, i == 0 ? "OPEN" : "OPEN" + std::to_string(i));
        if (!v) break;
        out.push_back(*v);
    }
    return out;
}

// A program started by the test, ended by its own id.
class Child {
public:
    Child(const std::string& program, std::vector<std::string> args) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

#ifdef QUELSTAT_EXE
// The spreadsheet host running a script from a pipe: it stays up, with its main window, until
// its input ends.
class HostProcess {
public:
    explicit HostProcess(const std::string& environment) {
        std::string cmd = environment + "QUELSTAT_NO_DESKTOP=1 '" QUELSTAT_EXE "' script - 2>/dev/null";
        int toHost[2], fromHost[2];
        if (::pipe(toHost) != 0 || ::pipe(fromHost) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toHost[0], 0);
            ::dup2(fromHost[1], 1);
            ::close(toHost[1]);
            ::close(fromHost[0]);
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toHost[0]);
        ::close(fromHost[1]);
        input_ = toHost[1];
        output_ = fromHost[0];
        const char hello[] = "echo ready\n";
        if (::write(input_, hello, sizeof hello - 1) != static_cast<ssize_t>(sizeof hello - 1)) return;
        std::string got;
        char buf[4096];
        pollfd p{output_, POLLIN, 0};
        while (got.find("ready\n") == std::string::npos && ::poll(&p, 1, 20000) > 0) {
            ssize_t n = ::read(output_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        ready_ = got.find("ready\n") != std::string::npos;
    }
    ~HostProcess() {
        if (input_ >= 0) ::close(input_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        if (output_ >= 0) ::close(output_);
    }
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
    bool ready_ = false;
};
#endif

struct Machine {
    TempFolder temp;
    fs::path media, home, folder;
    Machine() {
        media = temp.path() / "media";
        home = temp.path() / "home";
        folder = temp.path() / "Quelstat Stats";
        fs::create_directories(media);
        fs::create_directories(home);
        fs::copy_file(SETUP_PATH, media / "setup");
    }
    void ini(const std::string& text) { std::ofstream(media / "setup.ini") << text; }
    int setup(const std::string& program, const std::string& args, std::string* err = nullptr) {
        std::string errFile = (temp.path() / "stderr.txt").string();
        int rc = run(environment() + "'" + program + "' " + args + " </dev/null >/dev/null 2>'" + errFile + "'");
        if (err) {
            std::ifstream in(errFile);
            err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return rc;
    }
    std::string installed() const { return folder.string() + "/"; }
    // Settings and menu entries stay inside the test's folder.
    std::string environment() const {
        return "QUELSTAT_HOME='" + home.string() + "' XDG_DATA_HOME='" + (temp.path() / "data").string() + "' ";
    }
    // This process reads the same settings folder as the programs it starts.
    void useSettings() const { ::setenv("QUELSTAT_HOME", home.c_str(), 1); }
    fs::path shortcut(const std::string& name) const { return temp.path() / "data" / "applications" / name; }
};

#define REQUIRE_INSTALL_CABINET()                                            \
    if (!fs::exists(INSTALL_CABINET) || fs::file_size(INSTALL_CABINET) == 0) \
    GTEST_SKIP() << "setup was built without its installation cabinet (gcab not installed)"

bool waitUntilGone(const fs::path& p) {
    for (int i = 0; i < 200 && fs::exists(p); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !fs::exists(p);
}

}  // namespace

TEST(SetupProgram, SilentInstallHostCheckAndRemoval) {
    REQUIRE_INSTALL_CABINET();
    Machine m;
    m.ini("[Options]\nUI=0\nAutoLoad=1\nDirectory=" + m.folder.string() + "\n");
    m.useSettings();
    {
        // Two other add-ins open at start in every Excel.
        PlatformRegistryStore seed;
        for (const auto& key : excelOptionKeys()) {
            seed.setString(Hive::CurrentUser, key, "OPEN", "/R \"/opt/a.xla\"");
            seed.setString(Hive::CurrentUser, key, "OPEN1", "/R \"/opt/b.xla\"");
        }
    }
    std::string err;
    ASSERT_EQ(m.setup((m.media / "setup").string(), "", &err), 0) << err;

    // Every member of the embedded cabinet that a group names is in its folder, byte for byte.
    auto source = quelstat::cab::openCabinet(INSTALL_CABINET);
    ASSERT_TRUE(source);
    quelstat::cab::CabinetDirectory dir;
    ASSERT_EQ(quelstat::cab::readCabinetDirectory(*source, dir), quelstat::cab::CabinetError::None);
    ASSERT_FALSE(dir.files.empty());
    for (const auto& f : dir.files) {
        const FileGroup* g = findGroup(f.name);
        ASSERT_TRUE(g) << f.name;
        fs::path p = m.folder / g->folder / f.name;
        ASSERT_TRUE(fs::exists(p)) << p;
        EXPECT_EQ(fs::file_size(p), f.size) << p;
    }
    EXPECT_TRUE(readAll(m.folder / "system" / "setup") == readAll(SETUP_PATH));
    EXPECT_TRUE(fs::exists(m.shortcut("quelstat.desktop")));
    EXPECT_TRUE(fs::exists(m.shortcut("quelstat-setup.desktop")));
    // The tutorial pages' quelstat-tutorial: links go to the installed tutorial hook program.
    auto bytes = readAll(m.shortcut("quelstat-tutorial.desktop"));
    std::string handler(bytes.begin(), bytes.end());
    EXPECT_NE(handler.find("MimeType=x-scheme-handler/quelstat-tutorial;"), std::string::npos) << handler;
    EXPECT_NE(handler.find("system/tutorhost\" %u"), std::string::npos) << handler;
    EXPECT_NE(fs::status(m.folder / "system" / "tutorhost").permissions() & fs::perms::owner_exec, fs::perms::none);
    auto mime = readAll(m.shortcut("mimeapps.list"));
    EXPECT_NE(std::string(mime.begin(), mime.end())
                  .find("[Default Applications]\nx-scheme-handler/quelstat-tutorial=quelstat-tutorial.desktop"),
              std::string::npos);

    m.useSettings();
    PlatformRegistryStore reg;
    std::string path = m.installed();
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kAppKey, "Path"), path);
    EXPECT_EQ(*reg.getNumber(Hive::LocalMachine, kAppKey, "Modules"), 3u);
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kUninstallKey, "UninstallString"), path + "system/setup /u");
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kUninstallKey, "DisplayName"), "Quelstat for Excel");
    EXPECT_EQ(startupList(reg, kOptions9),
              (std::vector<std::string>{"/R \"/opt/a.xla\"", "/R \"/opt/b.xla\"", "/R \"" + path + "quelstat.xll\""}));
    for (const auto& key : excelOptionKeys())
        EXPECT_EQ(startupList(reg, key).back(), "/R \"" + path + "quelstat.xll\"");
#ifdef HAVE_HOST_STARTUP_LIST
    // The spreadsheet host reads the same lists: every Excel version it can stand for finds the
    // add-in to open at start and in its Add-in Manager.
    for (int version : {7, 8, 9}) {
        auto list = xlm::ReadStartupList(version);
        ASSERT_FALSE(list.empty()) << version;
        EXPECT_EQ(list.back().path, path + "quelstat.xll") << version;
        EXPECT_EQ(list.back().options, "/R") << version;
        auto manager = xlm::AddInManagerList(version);
        EXPECT_NE(std::find(manager.begin(), manager.end(), path + "quelstat.xll"), manager.end()) << version;
    }
#endif

#ifdef QUELSTAT_EXE
    // The host, started from anywhere, opens the installed add-in from its start-up list (the
    // list is not empty, so the host's own default add-in is not what shows the menu).
    std::string menus;
    run("cd / && " + m.environment() + "QUELSTAT_NO_DESKTOP=1 '" QUELSTAT_EXE "' menu 2>&1", &menus);
    EXPECT_NE(menus.find("&Quelstat  >"), std::string::npos) << menus;

    // A second silent install while a host runs does nothing and says why.
    {
        HostProcess host(m.environment());
        ASSERT_TRUE(host.ready()) << "the host did not start";
        m.ini("[Options]\nUI=0\nAutoLoad=1\nDirectory=" + (m.temp.path() / "second").string() + "\n");
        EXPECT_EQ(m.setup((m.media / "setup").string(), "", &err), 1);
        EXPECT_EQ(err,
                  "setup: Microsoft Excel is currently running.  You must quit Excel to continue installation "
                  "of Quelstat.\n");
        EXPECT_FALSE(fs::exists(m.temp.path() / "second"));
        EXPECT_EQ(*reg.getString(Hive::LocalMachine, kAppKey, "Path"), path);
    }
#endif

    // Removal with the installed program: files, keys and the entries go; the other add-ins
    // stay in their order.
    ASSERT_EQ(m.setup((m.folder / "system" / "setup").string(), "/u", &err), 0) << err;
    EXPECT_TRUE(waitUntilGone(m.folder)) << "installation folder left behind";
    EXPECT_FALSE(fs::exists(m.shortcut("quelstat.desktop")));
    EXPECT_FALSE(fs::exists(m.shortcut("quelstat-tutorial.desktop")));
    auto left = readAll(m.shortcut("mimeapps.list"));
    EXPECT_EQ(std::string(left.begin(), left.end()).find("quelstat-tutorial"), std::string::npos);
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kVendorKey));
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kUninstallKey));
    for (const auto& key : excelOptionKeys())
        EXPECT_EQ(startupList(reg, key), (std::vector<std::string>{"/R \"/opt/a.xla\"", "/R \"/opt/b.xla\""})) << key;
    for (const auto& key : excelAddinManagerKeys()) EXPECT_TRUE(reg.valueNames(Hive::CurrentUser, key).empty());
#ifdef QUELSTAT_EXE
    // With the other add-ins still listed, the host opens no Quelstat any more.
    run("cd / && " + m.environment() + "QUELSTAT_NO_DESKTOP=1 '" QUELSTAT_EXE "' menu 2>&1", &menus);
    EXPECT_EQ(menus.find("&Quelstat  >"), std::string::npos) << menus;
#endif
}

TEST(SetupProgram, ProgramInUseIsReplacedByTheNextRun) {
    REQUIRE_INSTALL_CABINET();
    Machine m;
    m.ini("[Options]\nUI=0\nAutoLoad=0\nDirectory=" + m.folder.string() + "\n");
    std::string err;
    ASSERT_EQ(m.setup((m.media / "setup").string(), "", &err), 0) << err;
    // Something runs the installed program's file: it cannot be rewritten now.
    fs::path installed = m.folder / "system" / "setup";
    fs::remove(installed);
    fs::copy_file("/bin/sleep", installed);
    {
        Child busy(installed.string(), {"30"});
        ASSERT_TRUE(busy.started());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(m.setup((m.media / "setup").string(), "", &err), 0) << err;
        IniFile pending = IniFile::load((m.home / "wininit.ini").string());
        EXPECT_EQ(pending.get("Rename", installed.string()).value_or(""), installed.string() + ".qsnew");
        EXPECT_TRUE(readAll(installed) == readAll("/bin/sleep"));
    }
    // The next run of the installer puts the waiting copy in place first.
    ASSERT_EQ(m.setup((m.media / "setup").string(), "/t", &err), 0) << err;
    EXPECT_TRUE(readAll(installed) == readAll(SETUP_PATH));
    EXPECT_FALSE(fs::exists(installed.string() + ".qsnew"));
    EXPECT_FALSE(IniFile::load((m.home / "wininit.ini").string()).get("Rename", installed.string()));
}

TEST(SetupProgram, ConsoleWizardAnsweredFromSetupIni) {
    REQUIRE_INSTALL_CABINET();
    Machine m;
    m.ini("[Options]\nUI=1\nAutoLoad=2\nDirectory=" + m.folder.string() +
          "\n[Wizard]\nLicence=0\nAutoLoad=yes\nStart=no\n");
    std::string err;
    std::string out;
    int rc = run(m.environment() + "'" + (m.media / "setup").string() + "' </dev/null 2>&1", &out);
    ASSERT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("This wizard installs Quelstat for Microsoft Excel on your computer."), std::string::npos);
    EXPECT_NE(out.find("You have successfully installed Quelstat."), std::string::npos);
    m.useSettings();
    PlatformRegistryStore reg;
    EXPECT_EQ(startupList(reg, kOptions9), (std::vector<std::string>{"/R \"" + m.installed() + "quelstat.xll\""}));
}

TEST(SetupProgram, ChangeOfModulesRunsFromTheInstalledProgram) {
    REQUIRE_INSTALL_CABINET();
    Machine m;
    m.ini("[Options]\nUI=0\nAutoLoad=0\nDirectory=" + m.folder.string() + "\n");
    std::string err;
    ASSERT_EQ(m.setup((m.media / "setup").string(), "", &err), 0) << err;
    // The change run shows the wizard (answered here from the installed setup.ini) and reads
    // the folder from where it runs.
    {
        std::ofstream ini(m.folder / "system" / "setup.ini", std::ios::app);
        ini << "[Wizard]\nClinical=no\nAutoLoad=no\n";
    }
    std::string out;
    ASSERT_EQ(run(m.environment() + "'" + (m.folder / "system" / "setup").string() + "' /c </dev/null 2>&1", &out), 0)
        << out;
    EXPECT_NE(out.find("Which modules do you want to install ?"), std::string::npos);
    m.useSettings();
    PlatformRegistryStore reg;
    EXPECT_EQ(*reg.getNumber(Hive::LocalMachine, kAppKey, "Modules"), 1u);
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kAppKey, "Path"), m.installed());
    EXPECT_TRUE(readAll(m.folder / "system" / "setup") == readAll(SETUP_PATH));
    // The installation stays a silent one: its removal shows nothing either.
    EXPECT_EQ(IniFile::load((m.folder / "system" / "setup.ini").string()).get("Options", "UI").value_or(""), "0");
}

// Run as root over a folder where someone planted a link to a file of theirs, the program refuses
// with the copy message, and the linked file keeps its contents.
TEST(SetupProgram, PlantedLinkInTheFolderIsRefused) {
    REQUIRE_INSTALL_CABINET();
    Machine m;
    m.ini("[Options]\nUI=0\nDirectory=" + m.folder.string() + "\n");
    fs::create_directories(m.folder);
    fs::path victim = m.temp.path() / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, m.folder / "quelstat.xll");
    std::string err;
    EXPECT_EQ(m.setup((m.media / "setup").string(), "", &err), 1);
    EXPECT_EQ(err, "setup: Unable to open file '" + m.installed() +
                       "quelstat.xll'. Is a symbolic link, which is not followed.\n");
    EXPECT_EQ(readAll(victim).size(), 8u);
    EXPECT_TRUE(fs::is_symlink(m.folder / "quelstat.xll"));
}
