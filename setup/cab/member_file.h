// What a member becomes on disk: a safe relative path, its time and its attributes.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "setup/cab/cab_handler.h"

namespace quelstat::cab {

// Turns a member name (UTF-8, '\' or '/' between folders) into a relative path that stays
// inside the folder it is extracted to. Returns false for empty names, absolute paths, drive
// letters, empty, "." or ".." components.
bool safeMemberPath(const std::string& name, std::string& relative);

// Seconds since the epoch for a DOS date and time read as local time.
std::time_t dosToUnixTime(std::uint16_t date, std::uint16_t time);

// Creates every missing folder of `path` (not the last component). Returns false with errno set.
bool createParentFolders(const std::string& path);

// An open folder, closed when it goes.
class OpenFolder {
public:
    OpenFolder() = default;
    explicit OpenFolder(int fd) : fd_(fd) {}
    OpenFolder(OpenFolder&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    OpenFolder& operator=(OpenFolder&& other) noexcept;
    ~OpenFolder();
    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Opens the folder `relative` ('/' between folders, empty for `base` itself) below `base`,
// creating the missing ones when `create`. `base` is the folder the user named and may be
// reached through links; below it no symbolic link is followed, so nothing written through the
// result can land outside `base`: a link where a folder belongs fails with ELOOP, anything else
// that is not a folder with ENOTDIR. On failure errno is set and `failed` (when given) receives
// the folder that could not be made or opened.
OpenFolder openFolderBelow(const std::string& base, const std::string& relative, bool create,
                           std::string* failed = nullptr);

// Opens `name` in `folder` for binary sequential writing, creating it or emptying it. Only a
// plain file is written: a symbolic link is refused with ELOOP, a folder with EISDIR, any other
// kind of file with EINVAL, and a file with further hard links (whose other names would change
// with it) with EMLINK. A read-only file left by an earlier extraction is made writable first.
// Null with errno set on failure.
std::unique_ptr<CabinetFileHandler> openMemberOutput(const OpenFolder& folder, const std::string& name);

// Sets the member's time as the open file's modification time, and its attributes: read-only
// clears the write permissions, execute sets the execute permissions, and the hidden, system
// and archive bits are kept in the extended attribute "user.dos.attrib" where the file system
// holds one. Returns false when the time or permissions cannot be set.
bool applyMemberTimeAndAttributes(int fd, std::uint16_t date, std::uint16_t time, std::uint16_t attributes);

// "rhsa" style letters for a listing ('-' for a clear bit).
std::string attributeLetters(std::uint16_t attributes);

}  // namespace quelstat::cab
