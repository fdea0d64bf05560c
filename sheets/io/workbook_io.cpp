#include "sheets/io/workbook_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <charconv>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "sheets/io/limits.h"
#include "sheets/io/link_paths.h"
#include "sheets/io/zip.h"
#include "sheets/model/model_error.h"

namespace sheets {

FileFormat DetectFormat(std::span<const uint8_t> b) {
  if (b.size() >= 4 && b[0] == 'P' && b[1] == 'K' && b[2] == 3 && b[3] == 4) return FileFormat::Xlsx;
  static const uint8_t kCfb[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (b.size() >= 8 && std::memcmp(b.data(), kCfb, 8) == 0) return FileFormat::Xls;
  // Text: no NUL bytes in the first 64 KB (an empty file is an empty CSV).
  size_t n = std::min<size_t>(b.size(), 65536);
  for (size_t i = 0; i < n; ++i)
    if (b[i] == 0) return FileFormat::None;
  return FileFormat::Csv;
}

namespace {

// The absolute folder of a file (links in it are relative to that); empty when it cannot be told.
std::string AbsoluteFolderOf(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? std::string() : full.lexically_normal().parent_path().string();
}

bool EndsWithNoCase(std::string_view s, std::string_view ext) {
  if (s.size() < ext.size()) return false;
  for (size_t i = 0; i < ext.size(); ++i) {
    char c = s[s.size() - ext.size() + i];
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
    if (c != ext[i]) return false;
  }
  return true;
}

// Why bytes that are neither a package nor a compound file are not read as text either: UTF-16
// text (with a byte-order mark, or with every other byte zero), text holding a NUL byte, or binary.
std::string NotTextProblem(std::span<const uint8_t> b) {
  if (b.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
    return std::string("text in UTF-16 (") + (b[0] == 0xFF ? "little" : "big") +
           "-endian, with a byte-order mark), which is not read: save it as UTF-8";
  size_t n = std::min<size_t>(b.size() & ~size_t(1), 512), zero_odd = 0, zero_even = 0;
  for (size_t i = 0; i < n; i += 2) {
    zero_even += b[i] == 0;
    zero_odd += b[i + 1] == 0;
  }
  if (n >= 8 && (zero_odd == n / 2 || zero_even == n / 2) && zero_odd + zero_even < n)
    return std::string("text in UTF-16 (") + (zero_odd ? "little" : "big") +
           "-endian, without a byte-order mark), which is not read: save it as UTF-8";
  size_t nul = 0;
  uint64_t line = 1;
  for (; nul < b.size() && b[nul] != 0; ++nul) {
    if (b[nul] < 0x20 && b[nul] != '\t' && b[nul] != '\n' && b[nul] != '\r')
      return "not a workbook file (neither a zip package, a compound file nor text)";
    line += b[nul] == '\n';
  }
  if (nul == 0) return "not a workbook file (neither a zip package, a compound file nor text)";
  return "text with a NUL byte at offset " + std::to_string(nul) + " (line " + std::to_string(line) +
         "), which is not read as a table";
}

// A name that promises a spreadsheet format is not read as text: a text file called .xlsx is a
// mistake (a renamed export, a damaged download), and reading it as CSV would hide that.
void CheckNamePromise(const std::string& name, FileFormat found) {
  if (found != FileFormat::Csv) return;
  for (std::string_view ext : {".xlsx", ".xlsm", ".xltx", ".xltm", ".xls"})
    if (EndsWithNoCase(name, ext))
      throw FormatError("the name says " + std::string(ext) + " but the file holds text, not a " +
                        (ext == ".xls" ? "compound-file workbook" : "workbook package"));
}

}  // namespace

std::unique_ptr<Workbook> ReadWorkbookBytes(std::span<const uint8_t> bytes, const std::string& name,
                                            const ReadOptions& options) {
  try {
    std::unique_ptr<Workbook> book;
    FileFormat format = DetectFormat(bytes);
    CheckNamePromise(name, format);
    switch (format) {
      case FileFormat::Xlsx: book = ReadXlsx(bytes, name, options.preserve); break;
      case FileFormat::Xls: book = ReadXls(bytes, name); break;
      case FileFormat::Csv: book = ReadCsv(bytes, name, options.text_limits); break;
      default: throw FormatError(NotTextProblem(bytes));
    }
    book->set_dirty(false);
    return book;
  } catch (const FormatError& e) {
    throw FileError(name, e.what());
  } catch (const ModelError& e) {
    throw FileError(name, e.what());
  } catch (const std::bad_alloc&) {
    throw FileError(name, "out of memory while reading");
  } catch (const std::length_error& e) {
    throw FileError(name, std::string("too large: ") + e.what());
  }
}

std::unique_ptr<Workbook> ReadWorkbook(const std::string& path, const ReadOptions& options) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError(path, std::string("cannot open: ") + std::strerror(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw FileError(path, "not a regular file");
  }
  if (uint64_t(st.st_size) > limits::kMaxFileBytes) {
    ::close(fd);
    throw FileError(path, "larger than the limit of " + std::to_string(limits::kMaxFileBytes) + " bytes");
  }
  std::vector<uint8_t> bytes(size_t(st.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      throw FileError(path,
                      n < 0 ? std::string("cannot read: ") + std::strerror(errno) : "file shrank while being read");
    }
    got += size_t(n);
  }
  ::close(fd);
  auto book = ReadWorkbookBytes(bytes, path, options);
  ResolveLinkPaths(*book, AbsoluteFolderOf(path));
  book->set_path(path);
  book->set_dirty(false);
  return book;
}

std::unique_ptr<Workbook> NewWorkbookFromTemplate(const std::string& path, const std::string& name,
                                                  const ReadOptions& options) {
  auto book = ReadWorkbook(path, options);
  book->set_path("");
  book->set_name(name);
  book->set_format(FileFormat::None);
  book->set_dirty(false);
  return book;
}

FileFormat SaveFormatForPath(const std::string& path) {
  auto ends = [&](std::string_view ext) { return EndsWithNoCase(path, ext); };
  if (ends(".xlsm")) return FileFormat::Xlsm;
  if (ends(".xltx")) return FileFormat::Xltx;
  if (ends(".xltm")) return FileFormat::Xltm;
  return FileFormat::Xlsx;
}

namespace {

class FdSink : public ByteSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  void Write(const void* data, size_t size) override {
    WriteAt(pos_, data, size);
    pos_ += size;
  }
  void WriteAt(uint64_t position, const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::pwrite(fd_, p, size, off_t(position));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw std::runtime_error(std::string("cannot write: ") + std::strerror(errno));
      p += n;
      size -= size_t(n);
      position += uint64_t(n);
    }
  }
  uint64_t Position() const override { return pos_; }

 private:
  int fd_;
  uint64_t pos_ = 0;
};

}  // namespace

void SaveWorkbook(Workbook& book, const std::string& path) { SaveWorkbook(book, path, SaveFormatForPath(path)); }

namespace {

// A temporary file of a save older than this, or whose process is gone, is a leftover of a save
// that was killed (a save writes its temporary file continuously, and is done in minutes at most).
constexpr int64_t kStaleTemporarySeconds = 24 * 3600;

// The file a save to path replaces: symbolic links are followed to their target, so that the link
// stays and the file it names is updated.
std::string SaveTarget(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 4095) + 1);
    ssize_t n = ::readlink(target.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) throw FileError(path, std::string("cannot save: cannot follow the link: ") + std::strerror(errno));
    std::string next(buf.data(), size_t(n));
    size_t slash = target.find_last_of('/');
    if (next.empty() || next[0] != '/') next = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + next;
    target = next;
  }
  throw FileError(path, "cannot save: too many levels of symbolic links");
}

// Refuses a save that would not land in the file the user meant, or would replace a file the user
// protected: read-only files (by their permission bits, also for root), and files with several
// hard links, which a replacement would split from each other.
void CheckReplaceable(const std::string& path, const struct stat& st) {
  if (!S_ISREG(st.st_mode)) throw FileError(path, "cannot save: not a regular file");
  if ((st.st_mode & 0222) == 0 || (::geteuid() != 0 && ::access(path.c_str(), W_OK) != 0))
    throw FileError(path, "cannot save: the file is read-only");
  if (st.st_nlink > 1)
    throw FileError(path, "cannot save: the file has " + std::to_string(st.st_nlink) +
                              " hard links, which replacing it would split; save it under another name");
}

// Removes temporary files of earlier saves of base in folder that were left behind by a process that
// was killed: ours are ".<base>.qs<pid>.XXXXXX".
void RemoveStaleTemporaries(const std::string& folder, const std::string& base) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const std::string prefix = "." + base + ".qs";
  while (dirent* e = ::readdir(dir)) {
    std::string_view name(e->d_name);
    if (name.size() <= prefix.size() + 7 || name.substr(0, prefix.size()) != prefix) continue;
    std::string_view rest = name.substr(prefix.size());
    size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || rest.size() - dot != 7) continue;
    long pid = 0;
    auto parsed = std::from_chars(rest.data(), rest.data() + dot, pid);
    if (parsed.ptr != rest.data() + dot || pid <= 0) continue;
    std::string full = folder + "/" + std::string(name);
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    bool gone = ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
    bool old = ::time(nullptr) - st.st_mtime > kStaleTemporarySeconds;
    if ((gone || old) && pid != ::getpid()) ::unlink(full.c_str());
  }
  ::closedir(dir);
}

// Holds back termination signals while a temporary file exists, so that an interrupted save
// finishes (or cleans up) before the signal takes effect: the old file or the new one, never a
// temporary file left behind.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, sig);
    ::pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

}  // namespace

void SaveWorkbook(Workbook& book, const std::string& path, FileFormat format) {
  if (format != FileFormat::Xlsx && format != FileFormat::Xlsm && format != FileFormat::Xltx &&
      format != FileFormat::Xltm)
    format = FileFormat::Xlsx;
  const std::string target_path = SaveTarget(path);
  struct stat target {};
  bool exists = ::stat(target_path.c_str(), &target) == 0;
  if (exists) CheckReplaceable(path, target);
  size_t slash = target_path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : target_path.substr(0, slash == 0 ? 1 : slash);
  std::string base = slash == std::string::npos ? target_path : target_path.substr(slash + 1);
  RemoveStaleTemporaries(folder, base);
  std::string tmpl = folder + "/." + base + ".qs" + std::to_string(::getpid()) + ".XXXXXX";
  std::vector<char> tmp(tmpl.begin(), tmpl.end());
  tmp.push_back('\0');
  SignalsHeld held;
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) throw FileError(path, std::string("cannot save: ") + std::strerror(errno));
  std::string tmp_path(tmp.data());
  try {
    mode_t mode;
    if (exists) {
      mode = target.st_mode & 07777;
    } else {
      mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    FdSink sink(fd);
    WriteXlsxPackage(book, format, sink, AbsoluteFolderOf(target_path));
    if (::fsync(fd) != 0) throw std::runtime_error(std::string("cannot flush: ") + std::strerror(errno));
    if (::close(fd) != 0) {
      fd = -1;
      throw std::runtime_error(std::string("cannot close: ") + std::strerror(errno));
    }
    fd = -1;
    if (::rename(tmp_path.c_str(), target_path.c_str()) != 0)
      throw std::runtime_error(std::string("cannot replace the file: ") + std::strerror(errno));
  } catch (const std::exception& e) {
    if (fd >= 0) ::close(fd);
    ::unlink(tmp_path.c_str());
    throw FileError(path, std::string("not saved: ") + e.what());
  }
  book.set_path(path);
  book.set_format(format);
  book.set_dirty(false);
}

}  // namespace sheets
