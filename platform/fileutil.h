// Small file helpers shared by the platform services.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/text.h"  // FoldCase and EqualNoCase, for key, section and window names

namespace platform {

// The whole file as bytes, or nothing when it does not exist. Throws SettingsError when it
// exists but cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);
// Writes the bytes to a temporary file beside `path` and renames it over `path`.
void WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes);

// An advisory lock on a file (flock), held for the object's life.
class FileLock {
 public:
  FileLock(const std::filesystem::path& lockFile, bool exclusive);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace platform
