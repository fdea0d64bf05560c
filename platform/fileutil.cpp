#include "platform/fileutil.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
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

namespace {

// Removes temporary files "<name>.tmp<pid>.<n>" beside path whose process is gone (a write that was
// killed outright); those of live processes are being written.
void RemoveStaleTemporaries(const std::filesystem::path& path) {
  std::error_code ec;
  const std::string prefix = path.filename().string() + ".tmp";
  std::filesystem::path dir = path.parent_path().empty() ? "." : path.parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::size_t dot = name.find('.', prefix.size());
    std::string digits = name.substr(prefix.size(), dot == std::string::npos ? std::string::npos : dot - prefix.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) std::filesystem::remove(entry.path(), ec);
  }
}

}  // namespace

void WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path dir = path.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir);
  RemoveStaleTemporaries(path);
  // A file its owner made read-only stays as it is (the permission bits decide, also for root), and
  // a replaced file keeps its mode.
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if ((st.st_mode & 0222) == 0 || (::geteuid() != 0 && ::access(path.c_str(), W_OK) != 0))
      throw SettingsError(path.string() + " is read-only");
    mode = st.st_mode & 07777;
  }
  std::filesystem::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
  // Termination waits until the temporary file is renamed or removed.
  sigset_t hold, old;
  sigemptyset(&hold);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&hold, sig);
  ::pthread_sigmask(SIG_BLOCK, &hold, &old);
  struct Restore {
    sigset_t* old;
    ~Restore() { ::pthread_sigmask(SIG_SETMASK, old, nullptr); }
  } restore{&old};
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw SettingsError("cannot write " + tmp.string() + ": " + std::strerror(errno));
  ::fchmod(fd, mode);
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
  std::error_code made;
  std::filesystem::create_directories(lockFile.parent_path(), made);
  fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  const int why = errno;  // of making the lock file, the problem to tell
  if (fd_ < 0) fd_ = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    // Files are replaced by renaming, so a reader sees a whole file without the lock; only a writer
    // needs it (and could not write in a folder where the lock cannot be made anyway).
    if (!exclusive) return;
    if (made) throw SettingsError("cannot make the folder " + lockFile.parent_path().string() + ": " + made.message());
    throw SettingsError("cannot make the lock file " + lockFile.string() + ": " + std::strerror(why));
  }
  while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno != EINTR) {
      int e = errno;
      ::close(fd_);
      fd_ = -1;
      throw SettingsError("cannot lock " + lockFile.string() + ": " + std::strerror(e));
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace platform
