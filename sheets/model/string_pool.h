// Interned UTF-8 strings for cell texts and formulas.
//
// Strings live in chunks, so one string costs its bytes, a 12-byte entry and two to four 5-byte
// slots of the hash index, never a heap allocation of its own. Views handed out stay valid for the
// life of the pool: chunks are never moved or freed. Chunks grow from 4 KB to 2 MB; the big ones, the
// entries and the index come from huge-page blocks (large_memory.h).
//
// The index is two arrays probed together: one byte per slot holding seven bits of the string's
// hash (0 = free), and the ids. A look-up walks the small byte array, which stays in the processor's
// cache far longer than the ids would, and reads an id and its string only where the seven bits
// match: a new string costs no miss into the large array, the common case when a sheet is filled.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sheets/model/large_memory.h"

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
    return {chunks_[e.chunk].data() + e.offset, e.size};
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
  static uint32_t Hash(std::string_view s);
  void Rehash(size_t new_capacity);
  uint32_t Store(std::string_view text);

  std::vector<detail::LargeBlock> chunks_;
  size_t used_in_last_ = 0;
  detail::LargeVector<Entry> entries_;
  // Open addressing, linear probing from the hash modulo the size.
  detail::LargeVector<uint8_t> tags_;  // 0 = free, else 0x80 | the hash's top seven bits
  detail::LargeVector<uint32_t> ids_;  // the id in each used slot
  size_t indexed_ = 0;                 // entries below this are in the index; Append adds entries it does not hold
};

}  // namespace sheets
