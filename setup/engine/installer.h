// The installer engine: one run installs, changes, prepares a network copy, removes, or tidies
// up after a removal. The wizard (wizard.h) and the silent paths both drive it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setup/engine/file_groups.h"
#include "setup/engine/registry.h"

namespace quelstat::setup {

// Registry keys and value names the installation writes.
inline constexpr const char* kAppKey = "SOFTWARE\\Quelstat\\Quelstat for Excel\\1.0";
inline constexpr const char* kVendorKey = "SOFTWARE\\Quelstat";
inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quelstat for Excel";
inline constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kWindowsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* kCabinetName = "quelstat.1";
inline constexpr const char* kProductFolder = "Quelstat/";
inline constexpr const char* kDefaultProgramFiles = "/opt/";

// The start-up lists (values "OPEN", "OPEN1" ...) and Add-in Manager lists of each Excel.
const std::vector<std::string>& excelOptionKeys();
const std::vector<std::string>& excelAddinManagerKeys();

// The status line and progress bar of the progress page (or nothing, for silent runs).
class Progress {
public:
    virtual ~Progress() = default;
    virtual void status(const std::string& text) { (void)text; }
    virtual void range(std::uint64_t total) { (void)total; }
    virtual void advance(std::uint64_t bytes) { (void)bytes; }
};

// Walks one start-up list: drops every entry naming `addinFile` (without regard to case),
// closes up the survivors in order, adds "/R \"fullPath\"" at the end when `on`, and deletes
// the names beyond the last one written. The walk stops at the first missing name.
void updateStartupList(RegistryStore& registry, const std::string& optionsKey, const std::string& addinFile,
                       const std::string& fullPath, bool on);

class Installer {
public:
    enum Action { Install = 0, Remove = 1, Change = 2 };
    enum Type { StandAlone = 0, NetworkServer = 1, NetworkClient = 2 };

    struct Services {
        RegistryStore* registry = nullptr;
        std::function<bool()> hostRunning;   // the "Excel is running" check
        std::string programPath;             // the running setup program
        std::string settingsFolder;          // where pending replacements are kept
        std::string cabinet = kCabinetName;  // resource name, or a file path
        std::string shortcutFolder;          // desktop menu entries go here; empty for none
    };

    explicit Installer(Services services);

    // Settings of the run.
    int action = Install;
    int type = StandAlone;
    int ui = 1;
    int autoload = 2;
    int users = 1;
    int modules = 3;
    std::string path;  // installation folder, with a trailing '/'
    bool failed = false;
    // Chosen on the network-options page for the clients of a network server installation.
    int clientUi = 1;
    int clientAutoload = 2;
    // Switches seen.
    bool switchRemove = false;
    bool switchChange = false;
    bool switchRestart = false;
    bool switchNoLookup = false;
    bool switchTidy = false;
    std::string tidyFolder;

    // Reads the switches: each is a whole argument ("/u", "/c", "/r", "/n", "/t", case
    // ignored); "/t" takes the folder from the argument after it.
    void parseCommandLine(const std::vector<std::string>& args);
    // Folder, modules and the setup.ini options, in that order, then the switches' effects.
    void readSettings();
    // The folder offered when nothing else names one.
    std::string defaultFolder() const;

    // Extracts every group into its folder, copies the program and writes setup.ini, then the
    // registry. The start-up list is decided here unless a finishing page will ask.
    void install(Progress& progress);
    // Registers with every Excel: Add-in Manager entries always, the start-up entry when `load`.
    void registerWithExcel(bool load);
    void unregisterFromExcel();
    // Deletes the groups' files, unregisters, deletes the keys, and starts the tidy-up copy.
    void remove(Progress& progress, bool startTidyUp = true);
    // The tidy-up run: waits for the first program to go, then removes the emptied folders.
    void tidyUp(const std::string& folder);

    // Whether the start-up list is to be decided at the end of the run (finishing page).
    bool startupDecidedLater() const;

    // The total bytes of the members the groups install (for the progress bar).
    std::uint64_t installSize() const;

    std::string systemFolder() const { return path + kSystemFolder + "/"; }
    std::string addinPath() const { return path + kAddinFile; }
    const Services& services() const { return services_; }

    // The menu entries: one that opens the add-in, one that changes or removes the installation.
    std::vector<std::string> shortcutPaths() const;

private:
    void extractGroups(Progress& progress);
    void createShortcuts();
    void registerTutorialLinks(bool install);
    void copyProgramAndSettings();
    void writeRegistry();

    Services services_;
    RegistryStore& registry_;
};

}  // namespace quelstat::setup
