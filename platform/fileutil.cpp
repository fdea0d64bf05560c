#include "platform/fileutil.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/settings.h"

namespace platform {

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return std::nullopt;
    throw SettingsError("cannot read " + path.string() + ": " + std::strerror(errno));
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) throw SettingsError("cannot read " + path.string());
  return buf.str();
}

void WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path dir = path.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir);
  std::filesystem::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw SettingsError("cannot write " + tmp.string() + ": " + std::strerror(errno));
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      throw SettingsError("cannot write " + tmp.string() + ": " + std::strerror(e));
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    ::unlink(tmp.c_str());
    throw SettingsError("cannot write " + tmp.string());
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int e = errno;
    ::unlink(tmp.c_str());
    throw SettingsError("cannot replace " + path.string() + ": " + std::strerror(e));
  }
}

FileLock::FileLock(const std::filesystem::path& lockFile, bool exclusive) {
  std::error_code ec;
  std::filesystem::create_directories(lockFile.parent_path(), ec);
  fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) throw SettingsError("cannot open lock " + lockFile.string());
  while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      throw SettingsError("cannot lock " + lockFile.string());
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace platform
