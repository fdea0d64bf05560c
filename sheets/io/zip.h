// The zip container of xlsx packages: a reader that checks every bound of limits.h before and while
// it inflates, and a streaming writer.
//
// The reader works on bytes in memory (the whole file), so fuzz targets and tests need no files.
// Supported: stored and deflated entries, no encryption, no ZIP64, no multi-disk archives: none of
// these occur in workbooks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace sheets {

struct ZipEntry {
  std::string name;
  uint16_t method = 0;  // 0 stored, 8 deflated
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;  // as declared; enforced while inflating
  uint64_t data_offset = 0;        // start of the compressed data in the archive
};

class ZipReader {
 public:
  // Reads the central directory; throws FormatError when the archive is truncated, malformed, or
  // breaks a bound (entries, names, declared sizes, inflate ratio, duplicate or unsafe names,
  // overlapping entries).
  explicit ZipReader(std::span<const uint8_t> archive);

  const std::vector<ZipEntry>& entries() const { return entries_; }
  // Index of the entry with this name (ASCII case-insensitive, as package part names compare), or -1.
  int Find(std::string_view name) const;

  // Inflates an entry, handing the bytes to sink in chunks. Throws FormatError when the data are
  // corrupt, inflate beyond the declared size or a bound, or fail the CRC check.
  void Read(size_t index, const std::function<void(std::string_view chunk)>& sink);
  // The whole entry as a string, refused beyond max_bytes.
  std::string ReadAll(size_t index, uint64_t max_bytes);

 private:
  std::span<const uint8_t> data_;
  std::vector<ZipEntry> entries_;
  uint64_t total_inflated_ = 0;
};

// Where a writer puts its bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const void* data, size_t size) = 0;
  virtual void WriteAt(uint64_t position, const void* data, size_t size) = 0;
  virtual uint64_t Position() const = 0;
};

class MemorySink : public ByteSink {
 public:
  void Write(const void* data, size_t size) override;
  void WriteAt(uint64_t position, const void* data, size_t size) override;
  uint64_t Position() const override { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class ZipWriter {
 public:
  explicit ZipWriter(ByteSink& sink);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Streams one deflated entry: Begin, any number of Write, End.
  void Begin(std::string_view name, int level = 6);
  void Write(std::string_view data);
  void End();
  // A whole entry at once.
  void Add(std::string_view name, std::string_view data, int level = 6);
  // A whole entry copied as stored bytes (no compression), for parts that are compressed already.
  void AddStored(std::string_view name, std::string_view data);
  // Writes the central directory. No entry may be added afterwards.
  void Finish();
  // True when an entry of this name, in any letter case, has been written. Writing a second one
  // throws std::runtime_error.
  bool Holds(std::string_view name) const;

 private:
  struct Written {
    std::string name;
    uint16_t method;
    uint32_t crc;
    uint64_t compressed, uncompressed, header_offset;
  };
  void WriteLocalHeader(const Written& w);
  void Deflate(const void* data, size_t size, int flush);
  void Claim(std::string_view name);

  ByteSink& sink_;
  std::vector<Written> done_;
  std::unordered_set<std::string> names_;  // lower-case names written
  struct Stream;
  std::unique_ptr<Stream> stream_;
  bool finished_ = false;
};

}  // namespace sheets
