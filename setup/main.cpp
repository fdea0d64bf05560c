// setup: installs, changes, removes and tidies up Quelstat. See engine/installer.h.
#include <cstdlib>
#include <iostream>
#include <unistd.h>

#include "setup/core/exceptions.h"
#include "setup/engine/installer.h"
#include "setup/engine/registry.h"
#include "setup/engine/system.h"
#include "setup/engine/wizard.h"

using namespace quelstat::setup;

namespace {

const char* kUsage =
    "usage: setup [/u] [/c] [/r] [/n] [/t FOLDER]\n"
    "\n"
    "Installs Quelstat, or changes or removes an installation; answers are asked on the terminal\n"
    "(or read from setup.ini beside the program). Switches may also start with '-'.\n"
    "  /u         remove the installation\n"
    "  /c         change an installation: add or remove modules\n"
    "  /r         finish an installation that needed a restart (no questions)\n"
    "  /n         do not look up an earlier installation's folder; install as a network server\n"
    "  /t FOLDER  tidy up: remove what a removal left in FOLDER\n"
    "  --help     print this text\n";

bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h" || a == "/?" || a == "-?" || a == "/h") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {  // before anything is read or changed
        std::cout << kUsage;
        return 0;
    }
    try {
        std::string settings = settingsFolder();
        applyPendingReplacements(settings);
        PlatformRegistryStore registry;
        Installer::Services services;
        services.registry = &registry;
        services.hostRunning = hostRunning;
        services.programPath = programPath();
        services.settingsFolder = settings;
        if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
            services.shortcutFolder = std::string(data) + "/applications";
        else if (const char* home = std::getenv("HOME"); home && *home)
            services.shortcutFolder = std::string(home) + "/.local/share/applications";
        Installer installer(services);
        installer.parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (installer.switchTidy) {
            installer.tidyUp(installer.tidyFolder);
            return 0;
        }
        installer.readSettings();
        if (installer.path.empty() && installer.action != Installer::Remove) installer.path = installer.defaultFolder();
        Answers answers(IniFile::load(folderOf(services.programPath) + kSetupIni), std::cin, std::cout,
                        ::isatty(STDIN_FILENO) != 0);
        SetupWizard wizard(installer, answers, std::cout, std::cerr);
        return wizard.run();
    } catch (const std::bad_alloc&) {
        std::cerr << "setup: " << loadString(IDS_ERR_MEMORY) << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "setup: " << e.what() << '\n';
        return 1;
    }
}
