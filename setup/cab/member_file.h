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

// Opens a member's output file for binary sequential writing, creating it. A read-only file
// left by an earlier extraction is made writable first. Null with errno set on failure.
std::unique_ptr<CabinetHandler> openMemberOutput(const std::string& path);

// Sets the member's time as the file's modification time, and its attributes: read-only
// clears the write permissions, execute sets the execute permissions, and the hidden, system
// and archive bits are kept in the extended attribute "user.dos.attrib" where the file system
// holds one. Returns false when the time or permissions cannot be set.
bool applyMemberTimeAndAttributes(const std::string& path, std::uint16_t date, std::uint16_t time,
                                  std::uint16_t attributes);

// "rhsa" style letters for a listing ('-' for a clear bit).
std::string attributeLetters(std::uint16_t attributes);

}  // namespace quelstat::cab
