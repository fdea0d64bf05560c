#include "setup/engine/installer.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/text.h"
#include "setup/cab/cabinet.h"
#include "setup/cab/member_file.h"
#include "setup/core/cabinet_errors.h"
#include "setup/core/exceptions.h"
#include "setup/engine/ini_file.h"
#include "setup/engine/system.h"

namespace quelstat::setup {

const std::vector<std::string>& excelOptionKeys() {
    // Excel 8 reads its start-up list from "...\\8.0\\Excel\\Microsoft Excel", as the add-in
    // and the host do; the "...\\8.0\\Excel\\Options" key is kept in the walk as well, so that an
    // entry written there by an earlier installer is also cleaned up.
    static const std::vector<std::string> keys = {
        "SOFTWARE\\Microsoft\\Office\\9.0\\Excel\\Options",
        "SOFTWARE\\Microsoft\\Office\\8.0\\Excel\\Options",
        "SOFTWARE\\Microsoft\\Office\\8.0\\Excel\\Microsoft Excel",
        "SOFTWARE\\Microsoft\\Excel\\7.0\\Microsoft Excel",
    };
    return keys;
}

const std::vector<std::string>& excelAddinManagerKeys() {
    static const std::vector<std::string> keys = {
        "SOFTWARE\\Microsoft\\Office\\9.0\\Excel\\Add-in Manager",
        "SOFTWARE\\Microsoft\\Office\\8.0\\Excel\\Add-in Manager",
        "SOFTWARE\\Microsoft\\Excel\\7.0\\Add-in Manager",
    };
    return keys;
}

namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string openName(int i) { return i == 0 ? std::string("OPEN") : "OPEN" + std::to_string(i); }

void makeFolders(const std::string& folder) {
    if (!cab::createParentFolders(withSlash(folder))) throw systemException(IDS_ERR_CREATE_DIR, {folder});
}

// The folder `relative` below the installation folder `base`, created as needed and reached
// without following links (message 2004 naming the folder that could not be made or opened).
cab::OpenFolder openInstallFolder(const std::string& base, const std::string& relative, bool create = true) {
    std::string failed;
    cab::OpenFolder dir = cab::openFolderBelow(base, relative, create, &failed);
    if (!dir && create) throw systemException(IDS_ERR_CREATE_DIR, {failed});
    return dir;
}

// Passes writes on and moves the progress bar by the bytes written.
class CountingHandler : public cab::CabinetHandler {
public:
    CountingHandler(std::unique_ptr<cab::CabinetHandler> inner, Progress& progress)
        : inner_(std::move(inner)), progress_(progress) {}
    int close() override { return inner_->close(); }
    std::int64_t seek(std::int64_t offset, int origin) override { return inner_->seek(offset, origin); }
    std::int64_t read(void* buffer, std::size_t count) override { return inner_->read(buffer, count); }
    std::int64_t write(const void* buffer, std::size_t count) override {
        std::int64_t n = inner_->write(buffer, count);
        if (n > 0) progress_.advance(static_cast<std::uint64_t>(n));
        return n;
    }

private:
    std::unique_ptr<cab::CabinetHandler> inner_;
    Progress& progress_;
};

class GroupExtractor : public cab::CabinetNotify {
public:
    GroupExtractor(const Installer& installer, Progress& progress) : installer_(installer), progress_(progress) {}

    std::unique_ptr<cab::CabinetHandler> copyFile(const cab::CabinetFile& file) override {
        const FileGroup* group = file.name.empty() ? nullptr : findGroup(file.name);
        if (!group) return nullptr;  // not part of the installation
        std::string folder = installer_.path + (group->folder.empty() ? "" : group->folder + "/");
        if (group != lastGroup_) {
            progress_.status(loadString(IDS_STATUS_COPYING) + " " +
                             platform::WithoutAccelerators(loadString(group->caption)));
            lastGroup_ = group;
        }
        // Below the installation folder no link is followed: the installer usually runs as
        // root, and a link planted there must not carry its files anywhere else.
        cab::OpenFolder dir = openInstallFolder(installer_.path, group->folder);
        target_ = folder + file.name;
        written_ = target_;
        auto out = cab::openMemberOutput(dir, file.name);
        if (!out && errno == ETXTBSY) {
            // In use: the new copy waits beside it until the next run puts it in place.
            written_ = target_ + ".qsnew";
            out = cab::openMemberOutput(dir, file.name + ".qsnew");
        }
        if (!out) throw systemException(IDS_ERR_OPEN_FILE, {target_, lastErrorText()});
        current_ = out.get();
        return std::make_unique<CountingHandler>(std::move(out), progress_);
    }

    bool closeFileInfo(const cab::CabinetFile& file, std::unique_ptr<cab::CabinetHandler> out) override {
        cab::applyMemberTimeAndAttributes(current_->descriptor(), file.date, file.time, file.attributes);
        current_ = nullptr;
        if (out->close() != 0) return false;
        if (written_ != target_) scheduleReplacement(installer_.services().settingsFolder, target_, written_);
        return true;
    }

private:
    const Installer& installer_;
    Progress& progress_;
    const FileGroup* lastGroup_ = nullptr;
    std::string target_, written_;
    cab::CabinetFileHandler* current_ = nullptr;  // the member being written, owned by the reader
};

std::unique_ptr<cab::CabinetHandler> openInstallCabinet(const std::string& name) {
    auto source = cab::openCabinet(name);
    if (!source) raiseCabinetError(cab::CabinetError::CabinetNotFound, name);
    return source;
}

// Deletes the entries of `folder` that stand for `listed` (any case, either format).
void deleteListed(const cab::OpenFolder& folder, const std::string& listed) {
    int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0) ::close(fd);
        return;
    }
    std::vector<std::string> doomed;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (memberStandsFor(name, listed) ||
            (name.size() > 6 && name.ends_with(".qsnew") && memberStandsFor(name.substr(0, name.size() - 6), listed)))
            doomed.push_back(name);
    }
    ::closedir(dir);
    for (const auto& name : doomed) ::unlinkat(folder.fd(), name.c_str(), 0);
}

}  // namespace

void updateStartupList(RegistryStore& registry, const std::string& optionsKey, const std::string& addinFile,
                       const std::string& fullPath, bool on) {
    std::vector<RegValue> survivors;
    int oldCount = 0;
    for (;; ++oldCount) {
        auto value = registry.get(Hive::CurrentUser, optionsKey, openName(oldCount));
        if (!value) break;
        if (value->type == RegValue::Type::String && platform::ContainsNoCase(value->text, addinFile)) continue;
        survivors.push_back(*value);
    }
    if (on) survivors.push_back(RegValue::string("/R \"" + fullPath + "\""));
    int written = 0;
    for (const RegValue& v : survivors) registry.set(Hive::CurrentUser, optionsKey, openName(written++), v);
    for (int i = written; i < oldCount; ++i) registry.deleteValue(Hive::CurrentUser, optionsKey, openName(i));
}

Installer::Installer(Services services) : services_(std::move(services)), registry_(*services_.registry) {}

void Installer::parseCommandLine(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = platform::FoldCase(args[i]);
        if (a.size() == 2 && (a[0] == '/' || a[0] == '-')) {
            switch (a[1]) {
                case 'u': switchRemove = true; break;
                case 'c': switchChange = true; break;
                case 'r': switchRestart = true; break;
                case 'n': switchNoLookup = true; break;
                case 't': {
                    switchTidy = true;
                    std::string rest;
                    for (std::size_t k = i + 1; k < args.size(); ++k) rest += (rest.empty() ? "" : " ") + args[k];
                    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
                        rest = rest.substr(1, rest.size() - 2);
                    tidyFolder = withSlash(rest);
                    return;
                }
                default: break;
            }
        }
    }
}

std::string Installer::defaultFolder() const {
    auto base = registry_.getString(Hive::LocalMachine, kWindowsKey, "ProgramFilesDir");
    return withSlash(base ? *base : kDefaultProgramFiles) + kProductFolder;
}

void Installer::readSettings() {
    std::string programFolder = folderOf(services_.programPath);
    IniFile ini = IniFile::load(programFolder + kSetupIni);
    if (!switchNoLookup)
        if (auto p = registry_.getString(Hive::LocalMachine, kAppKey, "Path"); p && !p->empty()) path = withSlash(*p);
    if (auto d = ini.get("Options", "Directory"); d && !d->empty()) path = withSlash(*d);
    int registryModules = static_cast<int>(registry_.getNumber(Hive::LocalMachine, kAppKey, "Modules").value_or(3));
    modules = registryModules;
    ui = ini.getInt("Options", "UI", 1);
    type = ini.getInt("Options", "Type", 0);
    autoload = ini.getInt("Options", "AutoLoad", 2);
    users = ini.getInt("Options", "Users", 1);
    modules = ini.getInt("Options", "Modules", modules);
    if (switchNoLookup) type = NetworkServer;
    if (switchRestart) ui = 4;
    if (switchRemove) {
        action = Remove;
    } else if (switchChange) {
        action = Change;
        ui = 1;
        modules = registryModules;
    }
    // Values outside their ranges fall back to the defaults rather than meaning something odd.
    if (ui < 0 || ui > 4) ui = 1;
    if (type < 0 || type > 2) type = StandAlone;
    if (autoload < 0 || autoload > 2) autoload = 2;
    users = users ? 1 : 0;
    modules &= 3;
    clientAutoload = autoload;
    if (type == NetworkClient || ui == 4 || action == Change) {
        // The program runs from the installation's System folder.
        std::string parent = programFolder.substr(0, programFolder.size() - 1);
        path = folderOf(parent);
    }
}

bool Installer::startupDecidedLater() const { return autoload == 2 && (ui == 1 || ui == 2 || ui == 3); }

std::uint64_t Installer::installSize() const {
    auto source = openInstallCabinet(services_.cabinet);
    cab::CabinetDirectory dir;
    auto error = cab::readCabinetDirectory(*source, dir);
    raiseCabinetError(error, services_.cabinet);
    std::uint64_t total = 0;
    for (const auto& f : dir.files)
        if (!f.name.empty() && findGroup(f.name)) total += f.size;
    return total;
}

void Installer::extractGroups(Progress& progress) {
    progress.range(installSize());
    auto source = openInstallCabinet(services_.cabinet);
    GroupExtractor notify(*this, progress);
    auto error = cab::copyCabinet(*source, notify);
    raiseCabinetError(error, services_.cabinet);
}

void Installer::copyProgramAndSettings() {
    std::string system = systemFolder();
    cab::OpenFolder dir = openInstallFolder(path, kSystemFolder);
    std::string target = system + kSetupProgram;
    if (!sameFile(services_.programPath, target)) {
        if (!copyFileInto(services_.programPath, dir, kSetupProgram, 0755)) {
            if (errno != ETXTBSY) throw systemException(IDS_ERR_OPEN_FILE, {target, lastErrorText()});
            // The installed program is running: its replacement waits for the next run.
            std::string waiting = target + ".qsnew";
            if (!copyFileInto(services_.programPath, dir, std::string(kSetupProgram) + ".qsnew", 0755))
                throw systemException(IDS_ERR_OPEN_FILE, {waiting, lastErrorText()});
            scheduleReplacement(services_.settingsFolder, target, waiting);
        }
    }
    // The tutorial hook's program arrives as a plain member of the cabinet; the tutorial pages'
    // links run it. It is reached as the files were written, without following a link.
    int hook = ::openat(dir.fd(), kTutorialProgram, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (hook >= 0) {
        struct stat st {};
        if (::fstat(hook, &st) == 0 && S_ISREG(st.st_mode)) (void)::fchmod(hook, (st.st_mode & 07777) | 0111);
        ::close(hook);
    }
    std::string iniPath = system + kSetupIni;
    IniFile ini = IniFile::load(iniPath);
    ini.set("Options", "Directory", path);
    if (type == NetworkServer) {
        // Clients run the shared program and install from this copy.
        ini.set("Options", "Type", "2");
        ini.set("Options", "UI", std::to_string(clientUi));
        ini.set("Options", "AutoLoad", std::to_string(clientAutoload));
    } else if (action == Install) {
        // A change of modules keeps how the installation was made (its switch forces the wizard).
        ini.set("Options", "Type", std::to_string(type));
        ini.set("Options", "UI", std::to_string(ui == 4 ? 1 : ui));
        ini.set("Options", "AutoLoad", std::to_string(autoload));
    }
    ini.set("Options", "Users", std::to_string(users));
    ini.set("Options", "Modules", std::to_string(modules));
    std::string text = ini.text();
    auto out = cab::openMemberOutput(dir, kSetupIni);
    if (!out || out->write(text.data(), text.size()) != static_cast<std::int64_t>(text.size()) || out->close() != 0)
        throw systemException(IDS_ERR_OPEN_FILE, {iniPath, lastErrorText()});
}

void Installer::writeRegistry() {
    registry_.setString(Hive::LocalMachine, kAppKey, "Path", path);
    registry_.setNumber(Hive::LocalMachine, kAppKey, "Modules", static_cast<std::uint32_t>(modules));

    std::string program = path + kSystemFolder + "/" + kSetupProgram;
    registry_.setString(Hive::LocalMachine, kUninstallKey, "DisplayName", "Quelstat for Excel");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "UninstallString", program + " /u");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "ModifyPath", program + " /c");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "DisplayIcon", path + kAddinFile + ",-1");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "DisplayVersion", "1.0");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "Publisher", "Quelstat");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "HelpLink", "https://quelstat.example.org/support");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "HelpTelephone", "See https://quelstat.example.org/support");
    registry_.setString(Hive::LocalMachine, kUninstallKey, "InstallLocation", path);

    if (ui == 3) registry_.setString(Hive::LocalMachine, kRunOnceKey, "Quelstat", program + " /r");

    // A network server's autoload choice is for its clients; the server's own Excel is left
    // as it is.
    if (type == NetworkServer) return;
    if (startupDecidedLater())
        registerWithExcel(false);  // the finishing page decides the start-up entry
    else
        registerWithExcel(autoload != 0);
}

void Installer::install(Progress& progress) {
    if (path.empty() || path[0] != '/') throw systemException(IDS_ERR_CREATE_DIR, {path});
    makeFolders(path);
    // A network client uses the files of the shared copy where they are.
    if (type != NetworkClient) {
        extractGroups(progress);
        copyProgramAndSettings();
    }
    progress.status(loadString(IDS_STATUS_REGISTRY));
    writeRegistry();
    if (type != NetworkServer) createShortcuts();
}

std::vector<std::string> Installer::shortcutPaths() const {
    if (services_.shortcutFolder.empty()) return {};
    std::string folder = withSlash(services_.shortcutFolder);
    return {folder + "quelstat.desktop", folder + "quelstat-setup.desktop", folder + "quelstat-tutorial.desktop"};
}

void Installer::createShortcuts() {
    auto paths = shortcutPaths();
    if (paths.empty()) return;
    // Desktop entry values quote their argument; a path with a quote or backslash is escaped.
    auto quoted = [](const std::string& s) {
        std::string out = "\"";
        for (char c : s) {
            if (c == '"' || c == '\\' || c == '`' || c == '$') out.push_back('\\');
            out.push_back(c);
        }
        return out + "\"";
    };
    const std::string texts[] = {
        "[Desktop Entry]\nType=Application\nName=Quelstat\nComment=Statistics for spreadsheet users\nExec=xdg-open " +
            quoted(addinPath()) + "\nCategories=Office;Science;\n",
        "[Desktop Entry]\nType=Application\nName=Quelstat Setup\nComment=Change or remove Quelstat\nExec=" +
            quoted(systemFolder() + kSetupProgram) + " /c\nTerminal=true\nCategories=Settings;\n",
        // The handler of the tutorial pages' quelstat-tutorial: links (the tutorial hook's program).
        "[Desktop Entry]\nType=Application\nName=Quelstat Tutorial\nComment=Runs the steps of the Quelstat "
        "tutorials\nExec=" +
            quoted(systemFolder() + kTutorialProgram) +
            " %u\nMimeType=x-scheme-handler/quelstat-tutorial;\n"
            "NoDisplay=true\nTerminal=false\n",
    };
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!cab::createParentFolders(paths[i])) throw systemException(IDS_ERR_SHORTCUT, {paths[i], lastErrorText()});
        std::ofstream out(paths[i], std::ios::binary | std::ios::trunc);
        out << texts[i];
        if (!out.flush()) throw systemException(IDS_ERR_SHORTCUT, {paths[i], lastErrorText()});
    }
    registerTutorialLinks(true);
}

// The tutorial entry as the default handler of quelstat-tutorial: links, in the mimeapps.list of
// the desktop entries' folder (other entries of the list are kept).
void Installer::registerTutorialLinks(bool install) {
    if (services_.shortcutFolder.empty()) return;
    std::string list = withSlash(services_.shortcutFolder) + "mimeapps.list";
    IniFile ini = IniFile::load(list);
    if (install)
        ini.set(kMimeDefaults, kTutorialScheme, "quelstat-tutorial.desktop");
    else if (ini.get(kMimeDefaults, kTutorialScheme))
        ini.remove(kMimeDefaults, kTutorialScheme);
    else
        return;
    if (!ini.save(list) && install) throw systemException(IDS_ERR_SHORTCUT, {list, lastErrorText()});
}

void Installer::registerWithExcel(bool load) {
    for (const auto& key : excelOptionKeys()) updateStartupList(registry_, key, kAddinFile, addinPath(), load);
    for (const auto& key : excelAddinManagerKeys()) registry_.setString(Hive::CurrentUser, key, addinPath(), "");
}

void Installer::unregisterFromExcel() {
    for (const auto& key : excelOptionKeys()) updateStartupList(registry_, key, kAddinFile, addinPath(), false);
    // The Add-in Manager entries go too: a list entry for a file that no longer exists would
    // only make Excel complain at start.
    for (const auto& key : excelAddinManagerKeys())
        for (const auto& name : registry_.valueNames(Hive::CurrentUser, key))
            if (platform::ContainsNoCase(name, kAddinFile)) registry_.deleteValue(Hive::CurrentUser, key, name);
}

void Installer::remove(Progress& progress, bool startTidyUp) {
    if (path.empty() || path[0] != '/') throw systemException(IDS_NOT_INSTALLED, {});
    const FileGroup* last = nullptr;
    for (const FileGroup& group : fileGroups()) {
        if (&group == &fileGroups().front() || last == nullptr || group.caption != last->caption)
            progress.status(loadString(IDS_STATUS_REMOVING) + " " +
                            platform::WithoutAccelerators(loadString(group.caption)));
        last = &group;
        // Reached as the files were written, without following links: a link planted in the
        // installation never makes removal delete files elsewhere.
        cab::OpenFolder folder = openInstallFolder(path, group.folder, false);
        if (!folder) continue;
        for (const auto& file : group.files) deleteListed(folder, file);
    }
    if (cab::OpenFolder system = openInstallFolder(path, kSystemFolder, false))
        for (const char* folder : {"template", "examples", "tutorial"}) ::unlinkat(system.fd(), folder, AT_REMOVEDIR);

    for (const auto& shortcut : shortcutPaths()) ::unlink(shortcut.c_str());
    registerTutorialLinks(false);
    unregisterFromExcel();
    registry_.deleteTree(Hive::LocalMachine, kVendorKey);
    registry_.deleteTree(Hive::LocalMachine, kUninstallKey);
    registry_.deleteValue(Hive::LocalMachine, kRunOnceKey, "Quelstat");

    if (!startTidyUp) return;
    // The program may be the installed copy: a copy of it in the temporary folder removes it
    // and the emptied folders once this run has ended.
    char temp[] = "/tmp/asuXXXXXX";
    int fd = ::mkstemp(temp);
    if (fd < 0) return;
    ::close(fd);
    if (copyFile(services_.programPath, temp) && ::chmod(temp, 0700) == 0)
        startProgram(temp, {"/t", "\"" + path + "\""});
}

void Installer::tidyUp(const std::string& folder) {
    if (folder.empty() || folder[0] != '/') return;
    // The System folder is reached without following links, as everything installed there was.
    if (cab::OpenFolder system = openInstallFolder(folder, kSystemFolder, false)) {
        // Bounded: a program that cannot be deleted in two minutes is left for the user.
        for (int attempt = 0; attempt < 240; ++attempt) {
            if (::unlinkat(system.fd(), kSetupProgram, 0) == 0 || errno == ENOENT) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        ::unlinkat(system.fd(), kSetupIni, 0);
        ::unlinkat(system.fd(), (std::string(kSetupProgram) + ".qsnew").c_str(), 0);
        // Only emptied folders go: anything the user keeps there stays.
        for (const char* sub : {"template", "examples"}) ::unlinkat(system.fd(), sub, AT_REMOVEDIR);
    }
    ::rmdir((folder + kSystemFolder).c_str());
    ::rmdir(folder.c_str());
    std::string self = services_.programPath;
    if (self.rfind("/tmp/asu", 0) == 0) ::unlink(self.c_str());
}

}  // namespace quelstat::setup
