// Interned UTF-8 strings for cell texts and formulas.
//
// Strings live in large chunks, so one string costs its bytes plus a 12-byte entry and two to four
// 8-byte slots of the hash index, never a heap allocation of its own. Views handed out stay valid for the life of the
// pool: chunks are never moved or freed.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace sheets {

class StringPool {
 public:
  StringPool() = default;
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;
  StringPool(StringPool&&) = default;
  StringPool& operator=(StringPool&&) = default;

  // Returns the id of text, adding it when it is new. Ids are dense, from 0.
  uint32_t Intern(std::string_view text);
  // Adds text without looking for it first (a file reader that knows its texts are distinct). The
  // index is rebuilt on the next Intern; an equal text added twice keeps two ids.
  uint32_t Append(std::string_view text);
  std::string_view Get(uint32_t id) const {
    const Entry& e = entries_[id];
    return {chunks_[e.chunk].get() + e.offset, e.size};
  }
  size_t size() const { return entries_.size(); }
  // Bytes held by the pool (chunks, entries, index), for the memory benchmark.
  size_t MemoryUsed() const;

 private:
  struct Entry {
    uint32_t chunk;
    uint32_t offset;
    uint32_t size;
  };
  static uint64_t Hash(std::string_view s);
  void Rehash(size_t new_capacity);
  uint32_t Store(std::string_view text);

  static constexpr size_t kChunkSize = 256 * 1024;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<size_t> chunk_sizes_;
  size_t used_in_last_ = 0;
  std::vector<Entry> entries_;
  // Open addressing: 0 = free, else (hash high 32 bits << 32) | (id + 1). Keeping part of the hash
  // in the slot skips most look-ups of strings that do not match.
  std::vector<uint64_t> index_;
  bool unindexed_ = false;  // Append added entries the index does not hold
};

}  // namespace sheets
