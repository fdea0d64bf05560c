#include "setup/cab/member_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "setup/cab/cabinet.h"

namespace quelstat::cab {

bool safeMemberPath(const std::string& name, std::string& relative)
{
    relative.clear();
    if (name.empty())
        return false;
    std::string path = name;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (path[0] == '/')
        return false;
    if (path.size() >= 2 && path[1] == ':')
        return false;  // "C:..." names a drive
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find('/', start);
        std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    relative = path;
    return true;
}

std::time_t dosToUnixTime(std::uint16_t date, std::uint16_t time)
{
    std::tm tm{};
    tm.tm_year = (date >> 9) + 80;
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = time >> 11;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    // Stored values outside their ranges are clamped rather than rolled into the next unit.
    if (tm.tm_mon < 0)
        tm.tm_mon = 0;
    if (tm.tm_mon > 11)
        tm.tm_mon = 11;
    if (tm.tm_mday < 1)
        tm.tm_mday = 1;
    if (tm.tm_hour > 23)
        tm.tm_hour = 23;
    if (tm.tm_min > 59)
        tm.tm_min = 59;
    if (tm.tm_sec > 59)
        tm.tm_sec = 59;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

bool createParentFolders(const std::string& path)
{
    std::size_t pos = 0;
    while ((pos = path.find('/', pos + 1)) != std::string::npos) {
        std::string folder = path.substr(0, pos);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0)
            return false;
        if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    return true;
}

std::unique_ptr<CabinetHandler> openMemberOutput(const std::string& path)
{
    auto out = CabinetFileHandler::openWrite(path);
    if (!out && errno == EACCES) {
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0)
            out = CabinetFileHandler::openWrite(path);
        else
            errno = EACCES;
    }
    return out;
}

bool applyMemberTimeAndAttributes(const std::string& path, std::uint16_t date, std::uint16_t time,
                                  std::uint16_t attributes)
{
    bool ok = true;
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = dosToUnixTime(date, time);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        ok = false;

    std::uint16_t kept = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    if (kept & (kAttrHidden | kAttrSystem | kAttrArchive)) {
        char value[8];
        int n = std::snprintf(value, sizeof value, "0x%x", kept);
        // Best effort: not every file system keeps user attributes.
        (void)::setxattr(path.c_str(), "user.dos.attrib", value, static_cast<std::size_t>(n), 0);
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrExecute)
        mode |= (mode & 0444) >> 2;
    if (kept & kAttrReadOnly)
        mode &= ~static_cast<mode_t>(0222);
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0)
        ok = false;
    return ok;
}

std::string attributeLetters(std::uint16_t attributes)
{
    std::string s = "----";
    if (attributes & kAttrReadOnly)
        s[0] = 'r';
    if (attributes & kAttrHidden)
        s[1] = 'h';
    if (attributes & kAttrSystem)
        s[2] = 's';
    if (attributes & kAttrArchive)
        s[3] = 'a';
    return s;
}

}  // namespace quelstat::cab
