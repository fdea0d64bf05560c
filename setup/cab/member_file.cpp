#include "setup/cab/member_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "setup/cab/cabinet.h"

namespace quelstat::cab {

bool safeMemberPath(const std::string& name, std::string& relative) {
    relative.clear();
    if (name.empty()) return false;
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path[0] == '/') return false;
    if (path.size() >= 2 && path[1] == ':') return false;  // "C:..." names a drive
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find('/', start);
        std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    relative = path;
    return true;
}

std::time_t dosToUnixTime(std::uint16_t date, std::uint16_t time) {
    std::tm tm{};
    tm.tm_year = (date >> 9) + 80;
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = time >> 11;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    // Stored values outside their ranges are clamped rather than rolled into the next unit.
    if (tm.tm_mon < 0) tm.tm_mon = 0;
    if (tm.tm_mon > 11) tm.tm_mon = 11;
    if (tm.tm_mday < 1) tm.tm_mday = 1;
    if (tm.tm_hour > 23) tm.tm_hour = 23;
    if (tm.tm_min > 59) tm.tm_min = 59;
    if (tm.tm_sec > 59) tm.tm_sec = 59;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

bool createParentFolders(const std::string& path) {
    std::size_t pos = 0;
    while ((pos = path.find('/', pos + 1)) != std::string::npos) {
        std::string folder = path.substr(0, pos);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0) return false;
        if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    return true;
}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

OpenFolder::~OpenFolder() {
    if (fd_ >= 0) ::close(fd_);
}

OpenFolder openFolderBelow(const std::string& base, const std::string& relative, bool create, std::string* failed) {
    std::string reached = base.empty() ? std::string(".") : base;
    auto fail = [&] {
        int saved = errno;
        if (failed) *failed = reached;
        errno = saved;
        return OpenFolder();
    };
    if (create && ::mkdir(reached.c_str(), 0777) != 0 && errno != EEXIST) return fail();
    OpenFolder folder(::open(reached.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return fail();
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t slash = relative.find('/', start);
        std::size_t end = slash == std::string::npos ? relative.size() : slash;
        std::string part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        reached += (reached.back() == '/' ? "" : "/") + part;
        // mkdirat never follows a link in the last place, and the open refuses one: a link
        // planted where a folder belongs ends the walk.
        if (create && ::mkdirat(folder.fd(), part.c_str(), 0777) != 0 && errno != EEXIST) return fail();
        OpenFolder next(::openat(folder.fd(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) return fail();
        folder = std::move(next);
    }
    return folder;
}

namespace {

// The errno that refuses an existing entry as an output file, or 0 when it is a plain file
// with no other names.
int refusalOf(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return ELOOP;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    if (st.st_nlink > 1) return EMLINK;
    return 0;
}

// O_NOFOLLOW refuses a link; O_NONBLOCK keeps a planted pipe from blocking the open.
constexpr int kNoFollow = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

int openPlainFile(int dir, const std::string& name) {
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && refusalOf(st) != 0) {
        errno = refusalOf(st);
        return -1;
    }
    int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | kNoFollow, 0666);
    if (fd < 0) return -1;
    // Checked again on what was opened: the entry may have changed since the look above.
    int refusal = ::fstat(fd, &st) == 0 ? refusalOf(st) : errno;
    if (refusal == 0 && (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0)) refusal = errno;
    if (refusal != 0) {
        ::close(fd);
        errno = refusal;
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<CabinetFileHandler> openMemberOutput(const OpenFolder& folder, const std::string& name) {
    int fd = openPlainFile(folder.fd(), name);
    if (fd < 0 && errno == EACCES) {
        // A read-only file of an earlier extraction: made writable through a descriptor of the
        // very file, never through its name.
        int ro = ::openat(folder.fd(), name.c_str(), O_RDONLY | kNoFollow);
        struct stat st;
        bool fixed = ro >= 0 && ::fstat(ro, &st) == 0 && refusalOf(st) == 0 && ::fchmod(ro, st.st_mode | S_IWUSR) == 0;
        if (ro >= 0) ::close(ro);
        errno = EACCES;
        if (fixed) fd = openPlainFile(folder.fd(), name);
    }
    if (fd < 0) return nullptr;
    return CabinetFileHandler::adopt(fd);
}

bool applyMemberTimeAndAttributes(int fd, std::uint16_t date, std::uint16_t time, std::uint16_t attributes) {
    bool ok = true;
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = dosToUnixTime(date, time);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (::futimens(fd, times) != 0) ok = false;

    std::uint16_t kept = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    if (kept & (kAttrHidden | kAttrSystem | kAttrArchive)) {
        char value[8];
        int n = std::snprintf(value, sizeof value, "0x%x", kept);
        // Best effort: not every file system keeps user attributes.
        (void)::fsetxattr(fd, "user.dos.attrib", value, static_cast<std::size_t>(n), 0);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrExecute) mode |= (mode & 0444) >> 2;
    if (kept & kAttrReadOnly) mode &= ~static_cast<mode_t>(0222);
    if (mode != (st.st_mode & 07777) && ::fchmod(fd, mode) != 0) ok = false;
    return ok;
}

std::string attributeLetters(std::uint16_t attributes) {
    std::string s = "----";
    if (attributes & kAttrReadOnly) s[0] = 'r';
    if (attributes & kAttrHidden) s[1] = 'h';
    if (attributes & kAttrSystem) s[2] = 's';
    if (attributes & kAttrArchive) s[3] = 'a';
    return s;
}

}  // namespace quelstat::cab
