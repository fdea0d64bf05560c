#include "setup/engine/system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/windows.h"
#include "setup/engine/ini_file.h"

extern char** environ;

namespace quelstat::setup {

std::string programPath()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "setup";
    buf[n] = '\0';
    return buf;
}

std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool hostRunning()
{
    // The spreadsheet's main window, as Excel's "XLMAIN" window is looked for on Windows.
    for (platform::WindowHandle w : platform::EnumWindows())
        if (platform::GetClassName(w) == "XLMAIN")
            return true;
    // A host that has not (yet) published a window still counts.
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9')
            continue;
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // "pid (comm) state ...": a zombie (state Z) is no longer running.
        auto open = line.find('(');
        auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 >= line.size())
            continue;
        if (line.compare(open + 1, close - open - 1, "quelstat") == 0 && line[close + 2] != 'Z') {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

bool copyFile(const std::string& from, const std::string& to)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    ::fstat(in, &st);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        int saved = errno;
        ::close(in);
        errno = saved;
        return false;
    }
    char buf[1 << 16];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0 || ::write(out, buf, static_cast<std::size_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    int saved = errno;
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    errno = saved;
    return ok;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void scheduleReplacement(const std::string& settings, const std::string& target, const std::string& replacement)
{
    ::mkdir(settings.c_str(), 0700);
    std::string path = settings + "/wininit.ini";
    IniFile ini = IniFile::load(path);
    ini.set("Rename", target, replacement);
    ini.save(path);
}

std::vector<std::string> applyPendingReplacements(const std::string& settings)
{
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
        if (inRename && eq != std::string::npos)
            targets.push_back(line.substr(0, eq));
    }
    if (targets.empty())
        return busy;
    for (const std::string& target : targets) {
        auto replacement = ini.get("Rename", target);
        if (!replacement)
            continue;
        if (std::rename(replacement->c_str(), target.c_str()) == 0 || errno == ENOENT)
            ini.remove("Rename", target);
        else
            busy.push_back(target);
    }
    ini.save(path);
    return busy;
}

bool startProgram(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

}  // namespace quelstat::setup
