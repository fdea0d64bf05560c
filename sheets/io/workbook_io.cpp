#include "sheets/io/workbook_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "sheets/io/limits.h"
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

std::unique_ptr<Workbook> ReadWorkbookBytes(std::span<const uint8_t> bytes, const std::string& name,
                                            const ReadOptions& options) {
  try {
    std::unique_ptr<Workbook> book;
    switch (DetectFormat(bytes)) {
      case FileFormat::Xlsx: book = ReadXlsx(bytes, name, options.preserve); break;
      case FileFormat::Xls: book = ReadXls(bytes, name); break;
      case FileFormat::Csv: book = ReadCsv(bytes, name, options.text_limits); break;
      default: throw FormatError("not a workbook file (neither a zip package, a compound file nor text)");
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
      throw FileError(path, n < 0 ? std::string("cannot read: ") + std::strerror(errno) : "file shrank while being read");
    }
    got += size_t(n);
  }
  ::close(fd);
  auto book = ReadWorkbookBytes(bytes, path, options);
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
  auto ends = [&](std::string_view ext) {
    if (path.size() < ext.size()) return false;
    for (size_t i = 0; i < ext.size(); ++i) {
      char c = path[path.size() - ext.size() + i];
      if (c >= 'A' && c <= 'Z') c = char(c + 32);
      if (c != ext[i]) return false;
    }
    return true;
  };
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

void SaveWorkbook(Workbook& book, const std::string& path, FileFormat format) {
  if (format != FileFormat::Xlsx && format != FileFormat::Xlsm && format != FileFormat::Xltx && format != FileFormat::Xltm)
    format = FileFormat::Xlsx;
  struct stat target {};
  bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && !S_ISREG(target.st_mode)) throw FileError(path, "cannot save: not a regular file");
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string tmpl = folder + "/." + base + ".XXXXXX";
  std::vector<char> tmp(tmpl.begin(), tmpl.end());
  tmp.push_back('\0');
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
    WriteXlsxPackage(book, format, sink);
    if (::fsync(fd) != 0) throw std::runtime_error(std::string("cannot flush: ") + std::strerror(errno));
    if (::close(fd) != 0) {
      fd = -1;
      throw std::runtime_error(std::string("cannot close: ") + std::strerror(errno));
    }
    fd = -1;
    if (::rename(tmp_path.c_str(), path.c_str()) != 0)
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
