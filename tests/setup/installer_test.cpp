// The installer engine in-process: settings, the start-up list walk, install and removal over a
// gcab-made cabinet, and the wizard's pages, with the settings store in memory.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

#include "platform/settings.h"
#include "setup/core/exceptions.h"
#include "setup/engine/file_groups.h"
#include "setup/engine/ini_file.h"
#include "setup/engine/installer.h"
#include "setup/engine/registry.h"
#include "setup/engine/wizard.h"
#include "tests/setup/test_util.h"

namespace fs = std::filesystem;
using namespace quelstat::setup;
using quelstat::testing::TempFolder;

namespace {

const fs::path kData = QUELSTAT_SETUP_TESTDATA;
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

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A media folder: a stand-in program, its setup.ini, and a cabinet with every group's file
// (one example in the newer workbook format) and one file of no group.
struct Media {
    TempFolder temp;
    fs::path program, cabinet, home;
    std::vector<std::string> members;

    explicit Media(const std::string& ini) {
        program = temp.path() / "media" / "setup";
        write(program, "#!/bin/sh\nexit 0\n");
        write(temp.path() / "media" / "setup.ini", ini);
        home = temp.path() / "home";
        fs::create_directories(home);
        fs::path stage = temp.path() / "stage";
        fs::create_directories(stage);
        std::ifstream names(fs::path(QUELSTAT_SETUP_SOURCE) / "res" / "install_files.txt");
        std::string name;
        while (std::getline(names, name)) {
            if (name.empty() || name[0] == '#') continue;
            if (name == "2INDEP.XLS") name = "2INDEP.xlsx";
            write(stage / name, "contents of " + name + "\n");
            members.push_back(name);
        }
        write(stage / "stray.txt", "belongs to no group\n");
        cabinet = temp.path() / "quelstat.1.cab";
        std::string cmd = "cd '" + stage.string() + "' && gcab -c -z '" + cabinet.string() + "'";
        for (const auto& m : members) cmd += " '" + m + "'";
        cmd += " stray.txt";
        if (quelstat::testing::run(cmd + " 2>&1") != 0) members.clear();
    }
};

struct Counting : Progress {
    std::uint64_t total = 0, done = 0;
    std::vector<std::string> statuses;
    void status(const std::string& t) override { statuses.push_back(t); }
    void range(std::uint64_t t) override { total = t; }
    void advance(std::uint64_t n) override { done += n; }
};

Installer makeInstaller(MemoryRegistryStore& reg, const Media& media, bool hostRunning = false) {
    Installer::Services s;
    s.registry = &reg;
    s.hostRunning = [hostRunning] { return hostRunning; };
    s.programPath = media.program.string();
    s.settingsFolder = media.home.string();
    s.cabinet = media.cabinet.string();
    return Installer(s);
}

#define REQUIRE_GCAB() \
    if (!quelstat::testing::haveTool("gcab")) GTEST_SKIP() << "gcab not installed: installer cabinet tests skipped"

}  // namespace

TEST(StartupList, ThisAddinMovesToTheEndWhenOnAndClosesUpWhenOff) {
    MemoryRegistryStore reg;
    reg.setString(Hive::CurrentUser, kOptions9, "OPEN", "/R \"/opt/a.xla\"");
    reg.setString(Hive::CurrentUser, kOptions9, "OPEN1", "/R \"/old/QUELSTAT.XLL\"");
    reg.setString(Hive::CurrentUser, kOptions9, "OPEN2", "/R \"/opt/b.xla\"");
    updateStartupList(reg, kOptions9, "quelstat.xll", "/q/quelstat.xll", true);
    EXPECT_EQ(startupList(reg, kOptions9),
              (std::vector<std::string>{"/R \"/opt/a.xla\"", "/R \"/opt/b.xla\"", "/R \"/q/quelstat.xll\""}));
    updateStartupList(reg, kOptions9, "quelstat.xll", "/q/quelstat.xll", false);
    EXPECT_EQ(startupList(reg, kOptions9), (std::vector<std::string>{"/R \"/opt/a.xla\"", "/R \"/opt/b.xla\""}));
    EXPECT_FALSE(reg.get(Hive::CurrentUser, kOptions9, "OPEN2"));
}

TEST(StartupList, WalkStopsAtTheFirstMissingName) {
    MemoryRegistryStore reg;
    reg.setString(Hive::CurrentUser, kOptions9, "OPEN", "/R \"/opt/a.xla\"");
    reg.setString(Hive::CurrentUser, kOptions9, "OPEN2", "/R \"/opt/quelstat.xll\"");
    updateStartupList(reg, kOptions9, "quelstat.xll", "/q/quelstat.xll", true);
    EXPECT_EQ(*reg.getString(Hive::CurrentUser, kOptions9, "OPEN1"), "/R \"/q/quelstat.xll\"");
    // The value beyond the gap was never visited.
    EXPECT_EQ(*reg.getString(Hive::CurrentUser, kOptions9, "OPEN2"), "/R \"/opt/quelstat.xll\"");
}

TEST(Settings, DefaultsWithoutOptionsSection) {
    Media media("[Other]\nUI=0\n");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    inst.readSettings();
    EXPECT_EQ(inst.ui, 1);
    EXPECT_EQ(inst.type, 0);
    EXPECT_EQ(inst.autoload, 2);
    EXPECT_EQ(inst.users, 1);
    EXPECT_EQ(inst.modules, 3);
    EXPECT_EQ(inst.action, Installer::Install);
    EXPECT_EQ(inst.path, "");
}

TEST(Settings, RegistryThenIniThenSwitches) {
    Media media("[Options]\nDirectory=/srv/q\nUI=0\nAutoLoad=1\nModules=1\n");
    MemoryRegistryStore reg;
    reg.setString(Hive::LocalMachine, kAppKey, "Path", "/old/place");
    reg.setNumber(Hive::LocalMachine, kAppKey, "Modules", 2);
    {
        auto inst = makeInstaller(reg, media);
        inst.readSettings();
        EXPECT_EQ(inst.path, "/srv/q/");
        EXPECT_EQ(inst.modules, 1);
        EXPECT_EQ(inst.autoload, 1);
    }
    {
        // Change: the wizard is shown, the modules come from the registry, and the folder is
        // the one above the program's.
        auto inst = makeInstaller(reg, media);
        inst.parseCommandLine({"/C"});
        inst.readSettings();
        EXPECT_EQ(inst.action, Installer::Change);
        EXPECT_EQ(inst.ui, 1);
        EXPECT_EQ(inst.modules, 2);
        EXPECT_EQ(inst.path, media.temp.path().string() + "/");
    }
    {
        Media bare("");
        auto inst = makeInstaller(reg, bare);
        inst.parseCommandLine({"/n"});
        inst.readSettings();
        EXPECT_EQ(inst.type, Installer::NetworkServer);
        EXPECT_EQ(inst.path, "");  // the previous folder is not looked up
    }
    {
        auto inst = makeInstaller(reg, media);
        inst.parseCommandLine({"/r", "/u"});
        inst.readSettings();
        EXPECT_EQ(inst.ui, 4);
        EXPECT_EQ(inst.action, Installer::Remove);
    }
}

TEST(Settings, SwitchesAreWholeArgumentsNotPartsOfFolderNames) {
    Media media("");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    inst.parseCommandLine({"/usr/cache/tmp/run"});
    EXPECT_FALSE(inst.switchRemove || inst.switchChange || inst.switchTidy || inst.switchRestart);
    inst.parseCommandLine({"/t", "\"/opt/Quelstat Copy/\""});
    EXPECT_TRUE(inst.switchTidy);
    EXPECT_EQ(inst.tidyFolder, "/opt/Quelstat Copy/");
}

TEST(Install, SilentInstallLaysOutEveryGroupAndWritesTheRegistry) {
    REQUIRE_GCAB();
    Media media("[Options]\nUI=0\nAutoLoad=1\nModules=2\n");
    ASSERT_EQ(media.members.size(), 85u);  // every file the groups list, the tutorial pages and program among them
    MemoryRegistryStore reg;
    reg.setString(Hive::CurrentUser, kOptions9, "OPEN", "/R \"/opt/other.xla\"");
    auto inst = makeInstaller(reg, media);
    inst.readSettings();
    inst.path = (media.temp.path() / "Quelstat").string() + "/";
    Counting progress;
    inst.install(progress);

    fs::path root = media.temp.path() / "Quelstat";
    for (const FileGroup& g : fileGroups()) {
        if (g.removeOnly) continue;
        for (std::string f : g.files) {
            if (f == "2INDEP.XLS") f = "2INDEP.xlsx";
            fs::path p = root / g.folder / f;
            ASSERT_TRUE(fs::exists(p)) << p;
            EXPECT_EQ(quelstat::testing::readAll(p).size(), ("contents of " + f + "\n").size());
        }
    }
    EXPECT_TRUE(fs::exists(root / "system" / "setup"));
    EXPECT_FALSE(fs::exists(root / "stray.txt"));
    EXPECT_FALSE(fs::exists(root / "system" / "stray.txt"));
    EXPECT_TRUE(fs::exists(root / "system" / "template" / "anova1b.xlt"));
    EXPECT_TRUE(fs::exists(root / "system" / "examples" / "linearty.xls"));

    // Progress by bytes: the bar ends where its range says.
    EXPECT_GT(progress.total, 0u);
    EXPECT_EQ(progress.done, progress.total);
    EXPECT_EQ(progress.statuses.front(), "Status: Copying Program files...");
    EXPECT_NE(std::find(progress.statuses.begin(), progress.statuses.end(), "Status: Copying Help & Tutorial files..."),
              progress.statuses.end());
    EXPECT_EQ(progress.statuses.back(), "Status: Updating registry...");

    std::string path = root.string() + "/";
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kAppKey, "Path"), path);
    EXPECT_EQ(*reg.getNumber(Hive::LocalMachine, kAppKey, "Modules"), 2u);
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kUninstallKey, "UninstallString"), path + "system/setup /u");
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kUninstallKey, "ModifyPath"), path + "system/setup /c");
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kUninstallKey, "DisplayIcon"), path + "quelstat.xll,-1");
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kUninstallKey, "InstallLocation"), path);
    for (const char* v : {"DisplayName", "DisplayVersion", "Publisher", "HelpLink", "HelpTelephone"})
        EXPECT_TRUE(reg.getString(Hive::LocalMachine, kUninstallKey, v)) << v;
    EXPECT_FALSE(reg.get(Hive::LocalMachine, kRunOnceKey, "Quelstat"));
    for (const auto& key : excelOptionKeys())
        EXPECT_EQ(startupList(reg, key).back(), "/R \"" + path + "quelstat.xll\"") << key;
    EXPECT_EQ(startupList(reg, kOptions9).front(), "/R \"/opt/other.xla\"");
    for (const auto& key : excelAddinManagerKeys())
        EXPECT_EQ(*reg.getString(Hive::CurrentUser, key, path + "quelstat.xll"), "") << key;

    IniFile ini = IniFile::load(path + "system/setup.ini");
    EXPECT_EQ(*ini.get("Options", "Directory"), path);
    EXPECT_EQ(*ini.get("Options", "Modules"), "2");

    // Removal takes everything back and leaves the other add-in in place.
    Counting removal;
    inst.remove(removal, false);
    EXPECT_EQ(removal.statuses.front(), "Status: Removing Program files...");
    EXPECT_FALSE(fs::exists(root / "quelstat.xll"));
    EXPECT_FALSE(fs::exists(root / "system" / "template"));
    EXPECT_FALSE(fs::exists(root / "system" / "examples" / "2INDEP.xlsx"));
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kVendorKey));
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kUninstallKey));
    EXPECT_EQ(startupList(reg, kOptions9), (std::vector<std::string>{"/R \"/opt/other.xla\""}));
    for (const auto& key : excelAddinManagerKeys()) EXPECT_TRUE(reg.valueNames(Hive::CurrentUser, key).empty()) << key;
    // The tidy-up run removes the program, its settings and the emptied folders, but not a
    // file the user keeps there.
    write(root / "my notes.txt", "mine");
    inst.tidyUp(path);
    EXPECT_FALSE(fs::exists(root / "system"));
    EXPECT_TRUE(fs::exists(root / "my notes.txt"));
}

TEST(Install, AfterRestartRunAndAskingLeaveTheStartupListToTheFinishingPage) {
    REQUIRE_GCAB();
    Media media("[Options]\nUI=3\n");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    inst.readSettings();
    inst.path = (media.temp.path() / "Q").string() + "/";
    Progress quiet;
    inst.install(quiet);
    EXPECT_EQ(*reg.getString(Hive::LocalMachine, kRunOnceKey, "Quelstat"), inst.path + "system/setup /r");
    EXPECT_TRUE(startupList(reg, kOptions9).empty());
    EXPECT_TRUE(reg.getString(Hive::CurrentUser, excelAddinManagerKeys()[0], inst.path + "quelstat.xll"));
}

TEST(Install, NetworkServerPreparesTheShareForClients) {
    REQUIRE_GCAB();
    Media media("[Options]\nUI=0\nAutoLoad=1\n");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    inst.parseCommandLine({"/n"});
    inst.readSettings();
    inst.path = (media.temp.path() / "share").string() + "/";
    inst.clientUi = 3;
    inst.clientAutoload = 0;
    Progress quiet;
    inst.install(quiet);
    IniFile shared = IniFile::load(inst.path + "system/setup.ini");
    EXPECT_EQ(*shared.get("Options", "Type"), "2");
    EXPECT_EQ(*shared.get("Options", "UI"), "3");
    EXPECT_EQ(*shared.get("Options", "AutoLoad"), "0");
    EXPECT_EQ(*shared.get("Options", "Modules"), "3");
    EXPECT_TRUE(startupList(reg, kOptions9).empty());  // the server's own Excel is left alone

    // A client runs the shared program: the folder is the share, nothing is copied, and its
    // Excel gets the add-in from the share.
    MemoryRegistryStore clientReg;
    Installer::Services s = inst.services();
    s.registry = &clientReg;
    s.programPath = inst.path + "system/setup";
    Installer client(s);
    client.readSettings();
    EXPECT_EQ(client.type, Installer::NetworkClient);
    EXPECT_EQ(client.path, inst.path);
    auto before = fs::last_write_time(inst.path + "quelstat.xll");
    client.ui = 0;
    client.autoload = 1;
    client.install(quiet);
    EXPECT_EQ(fs::last_write_time(inst.path + "quelstat.xll"), before);
    EXPECT_EQ(startupList(clientReg, kOptions9), (std::vector<std::string>{"/R \"" + inst.path + "quelstat.xll\""}));
}

TEST(Install, MemberOfNoGroupIsSkippedEvenWithAHostileName) {
    Media media("");
    MemoryRegistryStore reg;
    Installer::Services s;
    s.registry = &reg;
    s.hostRunning = [] { return false; };
    s.programPath = media.program.string();
    s.settingsFolder = media.home.string();
    s.cabinet = (kData / "hostile" / "name-dotdot.cab").string();
    Installer inst(s);
    inst.path = (media.temp.path() / "in" / "q").string() + "/";
    Progress quiet;
    EXPECT_NO_THROW(inst.install(quiet));
    EXPECT_FALSE(fs::exists(media.temp.path() / "in" / "evil.txt"));
    EXPECT_TRUE(fs::exists(media.temp.path() / "in" / "q" / "system" / "setup"));
}

// The installer usually runs as root: a link planted in its folder (to a file, to nothing yet,
// or where a folder belongs) ends the install with its message and nothing is written through
// it; removal never deletes through one either.
TEST(Install, PlantedLinksAreRefusedAndNothingIsWrittenThroughThem) {
    REQUIRE_GCAB();
    Media media("[Options]\nUI=0\n");
    fs::path root = media.temp.path() / "Quelstat", outside = media.temp.path() / "outside";
    struct Planted {
        const char* link;  // below the installation folder
        const char* to;    // below `outside`
        int id;
        std::string text;  // '%' stands for the installation folder
    };
    const Planted cases[] = {
        {"quelstat.xll", "victim.txt", 2005,
         "Unable to open file '%quelstat.xll'. Is a symbolic link, which is not followed."},
        {"quelstat.xll", "new.xll", 2005,
         "Unable to open file '%quelstat.xll'. Is a symbolic link, which is not followed."},
        {"system", "", 2004, "Unable to create directory '%system'."},
        {"system/template", "", 2004, "Unable to create directory '%system/template'."},
        {"system/setup", "victim.txt", 2005,
         "Unable to open file '%system/setup'. Is a symbolic link, which is not followed."},
        {"system/setup.ini", "victim.txt", 2005,
         "Unable to open file '%system/setup.ini'. Is a symbolic link, which is not followed."},
    };
    for (const Planted& c : cases) {
        SCOPED_TRACE(c.link);
        fs::remove_all(root);
        fs::remove_all(outside);
        fs::create_directories(outside);
        write(outside / "victim.txt", "precious");
        fs::create_directories((root / c.link).parent_path());
        fs::create_symlink(outside / c.to, root / c.link);
        MemoryRegistryStore reg;
        auto inst = makeInstaller(reg, media);
        inst.readSettings();
        inst.path = root.string() + "/";
        Progress quiet;
        int id = 0;
        std::string text;
        try {
            inst.install(quiet);
        } catch (const ExceptionX& e) {
            id = e.id();
            text = e.what();
        }
        std::string expected = c.text;
        expected.replace(expected.find('%'), 1, inst.path);
        EXPECT_EQ(id, c.id);
        EXPECT_EQ(text, expected);
        std::vector<std::string> left;
        for (auto& e : fs::recursive_directory_iterator(outside)) left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"victim.txt"});
        EXPECT_EQ(quelstat::testing::readAll(outside / "victim.txt").size(), 8u);
        EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kAppKey));
    }

    // Removal: a folder of the installation replaced by a link to a folder holding files of the
    // same names leaves those files alone.
    fs::remove_all(root);
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    inst.readSettings();
    inst.path = root.string() + "/";
    Progress quiet;
    inst.install(quiet);
    fs::remove_all(root / "system" / "examples");
    write(outside / "CHISQ.XLS", "theirs");
    fs::create_directory_symlink(outside, root / "system" / "examples");
    inst.remove(quiet, false);
    EXPECT_TRUE(fs::exists(outside / "CHISQ.XLS"));
    EXPECT_FALSE(fs::exists(root / "quelstat.xll"));
}

TEST(Install, DamagedOrMissingCabinetEndsWithItsMessage) {
    REQUIRE_GCAB();
    Media media("");
    // A data block of an installed member damaged on its way.
    auto bytes = quelstat::testing::readAll(media.cabinet);
    bytes[bytes.size() - 40] ^= 0x55;
    fs::path damaged = media.temp.path() / "damaged.cab";
    std::ofstream(damaged, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    MemoryRegistryStore reg;
    Installer::Services s;
    s.registry = &reg;
    s.hostRunning = [] { return false; };
    s.programPath = media.program.string();
    s.settingsFolder = media.home.string();
    for (auto [cabinet, id] : {std::pair<std::string, int>{damaged.string(), 2002},
                               {(kData / "hostile" / "truncated-header.cab").string(), 2002},
                               {"no-such-resource.1", 2001}}) {
        SCOPED_TRACE(cabinet);
        s.cabinet = cabinet;
        Installer inst(s);
        inst.path = (media.temp.path() / "q").string() + "/";
        Progress quiet;
        try {
            inst.install(quiet);
            ADD_FAILURE() << "installed";
        } catch (const ExceptionX& e) {
            EXPECT_EQ(e.id(), id);
        }
        EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kAppKey));
    }
}

TEST(Wizard, PagesForEachKindOfRun) {
    Media media("");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    std::istringstream in;
    std::ostringstream out, err;
    Answers answers(IniFile(), in, out, false);
    SetupWizard wizard(inst, answers, out, err);
    inst.ui = 1;
    EXPECT_EQ(wizard.pagePlan(), (std::vector<int>{504, 111, 300, 501, 509, 400, 506}));
    inst.type = Installer::NetworkServer;
    EXPECT_EQ(wizard.pagePlan(), (std::vector<int>{504, 111, 300, 501, 505, 509, 400, 500}));
    inst.type = Installer::NetworkClient;
    EXPECT_EQ(wizard.pagePlan(), (std::vector<int>{504, 111, 509, 400, 506}));
    inst.type = Installer::StandAlone;
    inst.action = Installer::Change;
    EXPECT_EQ(wizard.pagePlan(), (std::vector<int>{504, 501, 400, 506}));
    inst.action = Installer::Install;
    inst.ui = 2;
    EXPECT_EQ(wizard.pagePlan(), (std::vector<int>{506}));
    inst.ui = 4;
    EXPECT_EQ(wizard.pagePlan(), (std::vector<int>{506}));
}

TEST(Wizard, FullWizardFromScriptedAnswers) {
    REQUIRE_GCAB();
    Media media("");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media);
    inst.readSettings();
    std::string folder = (media.temp.path() / "wiz").string() + "/";
    std::istringstream in;
    std::ostringstream out, err;
    std::istringstream script("[Wizard]\nLicence=1\n");
    {
        // Declining the licence installs nothing.
        std::string iniPath = (media.temp.path() / "answers.ini").string();
        write(iniPath, "[Wizard]\nLicence=1\nFolder=" + folder + "\n");
        Answers answers(IniFile::load(iniPath), in, out, false);
        SetupWizard wizard(inst, answers, out, err);
        EXPECT_EQ(wizard.run(), 1);
        EXPECT_FALSE(fs::exists(folder));
    }
    std::string iniPath = (media.temp.path() / "answers.ini").string();
    write(iniPath, "[Wizard]\nLicence=0\nFolder=" + folder + "\nClinical=no\nAutoLoad=no\n");
    Answers answers(IniFile::load(iniPath), in, out, false);
    inst.failed = false;
    SetupWizard wizard(inst, answers, out, err);
    EXPECT_EQ(wizard.run(), 0) << err.str();
    EXPECT_TRUE(fs::exists(folder + "quelstat.xll"));
    EXPECT_EQ(*reg.getNumber(Hive::LocalMachine, kAppKey, "Modules"), 1u);
    EXPECT_TRUE(startupList(reg, kOptions9).empty());  // the finishing page's box was left clear
    for (const char* text :
         {"Welcome to the Quelstat Setup Wizard", "End-User Licence Agreement",
          "Where do you want to install the software ?", "Which modules do you want to install ?", "Ready to begin",
          "Status: Copying Template files...", "[##########] 100%", "You have successfully installed Quelstat."})
        EXPECT_NE(out.str().find(text), std::string::npos) << text;
}

TEST(Wizard, SilentRunWithHostRunningDoesNothing) {
    Media media("[Options]\nUI=0\n");
    MemoryRegistryStore reg;
    auto inst = makeInstaller(reg, media, true);
    inst.readSettings();
    inst.path = (media.temp.path() / "q").string() + "/";
    std::istringstream in;
    std::ostringstream out, err;
    Answers answers(IniFile(), in, out, false);
    SetupWizard wizard(inst, answers, out, err);
    EXPECT_EQ(wizard.run(), 1);
    EXPECT_TRUE(inst.failed);
    EXPECT_TRUE(out.str().empty());
    EXPECT_EQ(err.str(),
              "setup: Microsoft Excel is currently running.  You must quit Excel to continue installation "
              "of Quelstat.\n");
    EXPECT_FALSE(fs::exists(inst.path));
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kAppKey));
}

// The installer's values are the ones the host and the add-in read through the settings store.
// With a person to ask, a running host holds the wizard at its welcome page until it goes.
TEST(Wizard, WelcomePageWaitsForTheHostToQuit) {
    REQUIRE_GCAB();
    Media media("[Options]\nUI=1\n");
    MemoryRegistryStore reg;
    int checks = 0;
    Installer::Services s;
    s.registry = &reg;
    s.hostRunning = [&checks] { return ++checks < 5; };
    s.programPath = media.program.string();
    s.settingsFolder = media.home.string();
    s.cabinet = media.cabinet.string();
    Installer inst(s);
    inst.readSettings();
    std::string iniPath = (media.temp.path() / "answers.ini").string();
    write(iniPath, "[Wizard]\nLicence=0\nFolder=" + (media.temp.path() / "w").string() + "\n");
    std::istringstream in;
    std::ostringstream out, err;
    Answers answers(IniFile::load(iniPath), in, out, false);
    SetupWizard wizard(inst, answers, out, err);
    EXPECT_EQ(wizard.run(), 0) << err.str();
    EXPECT_GE(checks, 5);
    EXPECT_NE(out.str().find("Microsoft Excel is currently running."), std::string::npos);
    EXPECT_NE(out.str().find("[115]"), std::string::npos);
    EXPECT_TRUE(fs::exists(media.temp.path() / "w" / "quelstat.xll"));
}

TEST(Registry, PlatformStoreIsWhatTheSettingsKeysSee) {
    TempFolder home;
    ::setenv("QUELSTAT_HOME", home.str().c_str(), 1);
    PlatformRegistryStore reg;
    reg.setString(Hive::LocalMachine, kAppKey, "Path", "/opt/Quoted \"x\"/");
    reg.setNumber(Hive::LocalMachine, kAppKey, "Modules", 3);
    updateStartupList(reg, kOptions9, "quelstat.xll", "/q/quelstat.xll", true);
    platform::SettingsKey machine(platform::Hive::LocalMachine, "software\\quelstat\\QUELSTAT FOR EXCEL\\1.0");
    EXPECT_EQ(machine.ReadString("", "path"), "/opt/Quoted \"x\"/");
    EXPECT_EQ(machine.ReadDword("", "Modules"), 3u);
    platform::SettingsKey excel(platform::Hive::CurrentUser, "SOFTWARE\\Microsoft\\Office\\9.0\\Excel");
    EXPECT_EQ(excel.ReadString("Options", "OPEN"), "/R \"/q/quelstat.xll\"");
    EXPECT_EQ(*reg.getNumber(Hive::LocalMachine, kAppKey, "Modules"), 3u);
    reg.deleteTree(Hive::LocalMachine, kVendorKey);
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kAppKey));
    EXPECT_TRUE(reg.get(Hive::CurrentUser, kOptions9, "OPEN"));
    ::unsetenv("QUELSTAT_HOME");
}

TEST(FileGroups, NamesMatchWithoutCaseAndInThisPlatformsFormats) {
    ASSERT_TRUE(findGroup("QUELSTAT.XLL"));
    EXPECT_EQ(findGroup("QUELSTAT.XLL")->folder, "");
    EXPECT_EQ(findGroup("2indep.xls")->folder, "system/examples");
    EXPECT_EQ(findGroup("2INDEP.xlsx")->folder, "system/examples");
    EXPECT_EQ(findGroup("ttesti.xltx")->folder, "system/template");
    EXPECT_EQ(findGroup("tutorhost.so")->caption, 65);
    EXPECT_FALSE(findGroup("welcome.hlp"));  // only ever removed
    EXPECT_FALSE(findGroup("system/quelstat5.xlb"));
    EXPECT_FALSE(findGroup("2INDEP.xlsxx"));
    // The build's list of installation files is the groups' list.
    std::ifstream names(fs::path(QUELSTAT_SETUP_SOURCE) / "res" / "install_files.txt");
    std::string name;
    std::size_t count = 0;
    while (std::getline(names, name))
        if (!name.empty() && name[0] != '#') {
            EXPECT_TRUE(findGroup(name)) << name;
            ++count;
        }
    std::size_t listed = 0;
    for (const auto& g : fileGroups())
        if (!g.removeOnly) listed += g.files.size();
    EXPECT_EQ(count, listed);
}
