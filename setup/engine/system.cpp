#include "setup/engine/system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/windows.h"
#include "setup/engine/ini_file.h"

extern char** environ;

namespace quelstat::setup {

std::string programPath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "setup";
    buf[n] = '\0';
    return buf;
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool hostRunning() {
    // The spreadsheet's main window, as Excel's "XLMAIN" window is looked for on Windows. Hosts
    // publish their windows in the settings folder's run folder, so only hosts sharing these
    // settings (the ones whose start-up list this installer writes) count.
    for (platform::WindowHandle w : platform::EnumWindows())
        if (platform::GetClassName(w) == "XLMAIN") return true;
    return false;
}

namespace {

// Copies the rest of `in` to `out`; false with errno set on failure.
bool copyBytes(int in, int out) {
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || ::write(out, buf, static_cast<std::size_t>(n)) != n) return false;
    }
}

}  // namespace

bool copyFile(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    ::fstat(in, &st);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        int saved = errno;
        ::close(in);
        errno = saved;
        return false;
    }
    bool ok = copyBytes(in, out);
    int saved = errno;
    ::close(in);
    if (::close(out) != 0) ok = false;
    errno = saved;
    return ok;
}

bool copyFileInto(const std::string& from, const cab::OpenFolder& folder, const std::string& name, mode_t mode) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    auto out = cab::openMemberOutput(folder, name);
    bool ok = out && copyBytes(in, out->descriptor()) && ::fchmod(out->descriptor(), mode) == 0;
    int saved = errno;
    ::close(in);
    if (out && out->close() != 0) ok = false;
    errno = saved;
    return ok;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void scheduleReplacement(const std::string& settings, const std::string& target, const std::string& replacement) {
    ::mkdir(settings.c_str(), 0700);
    std::string path = settings + "/wininit.ini";
    IniFile ini = IniFile::load(path);
    ini.set("Rename", target, replacement);
    ini.save(path);
}

std::vector<std::string> applyPendingReplacements(const std::string& settings) {
    std::string path = settings + "/wininit.ini";
    IniFile ini = IniFile::load(path);
    std::vector<std::string> busy;
    std::ifstream in(path);
    std::string line;
    std::vector<std::string> targets;
    bool inRename = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inRename = line == "[Rename]";
            continue;
        }
        auto eq = line.find('=');
        if (inRename && eq != std::string::npos) targets.push_back(line.substr(0, eq));
    }
    if (targets.empty()) return busy;
    for (const std::string& target : targets) {
        auto replacement = ini.get("Rename", target);
        if (!replacement) continue;
        if (std::rename(replacement->c_str(), target.c_str()) == 0 || errno == ENOENT)
            ini.remove("Rename", target);
        else
            busy.push_back(target);
    }
    ini.save(path);
    return busy;
}

bool startProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

}  // namespace quelstat::setup
