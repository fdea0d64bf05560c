// Interned UTF-8 strings for cell texts and formulas.
//
// Strings live in large chunks, so one string costs its bytes plus a 12-byte entry and a slot of the
// hash index, never a heap allocation of its own. Views handed out stay valid for the life of the
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

  static constexpr size_t kChunkSize = 256 * 1024;
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<size_t> chunk_sizes_;
  size_t used_in_last_ = 0;
  std::vector<Entry> entries_;
  std::vector<uint32_t> index_;  // open addressing; 0 = free, else id + 1
};

}  // namespace sheets
