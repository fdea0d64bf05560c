#include "sheets/model/string_pool.h"

#include <cstring>
#include <stdexcept>

namespace sheets {

uint64_t StringPool::Hash(std::string_view s) {
  // FNV-1a, then a final mix so that the low bits are usable as a table index.
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

size_t StringPool::MemoryUsed() const {
  size_t n = entries_.capacity() * sizeof(Entry) + index_.capacity() * sizeof(uint64_t);
  for (size_t s : chunk_sizes_) n += s;
  return n;
}

void StringPool::Rehash(size_t new_capacity) {
  std::vector<uint64_t> index(new_capacity, 0);
  size_t mask = new_capacity - 1;
  for (uint32_t id = 0; id < entries_.size(); ++id) {
    uint64_t h = Hash(Get(id));
    size_t slot = h & mask;
    while (index[slot] != 0) slot = (slot + 1) & mask;
    index[slot] = (h & 0xFFFFFFFF00000000ull) | (uint64_t(id) + 1);
  }
  index_.swap(index);
}

uint32_t StringPool::Append(std::string_view text) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("string pool full");
  unindexed_ = true;
  return Store(text);
}

uint32_t StringPool::Intern(std::string_view text) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("string pool full");
  if (unindexed_ || (entries_.size() + 1) * 2 > index_.size()) {
    size_t capacity = index_.empty() ? 64 : index_.size();
    while ((entries_.size() + 1) * 2 > capacity) capacity *= 2;
    Rehash(capacity);
    unindexed_ = false;
  }
  size_t mask = index_.size() - 1;
  uint64_t h = Hash(text);
  uint64_t tag = h & 0xFFFFFFFF00000000ull;
  size_t slot = h & mask;
  while (index_[slot] != 0) {
    uint64_t v = index_[slot];
    if ((v & 0xFFFFFFFF00000000ull) == tag) {
      uint32_t id = uint32_t(v & 0xFFFFFFFFu) - 1;
      if (Get(id) == text) return id;
    }
    slot = (slot + 1) & mask;
  }
  uint32_t id = Store(text);
  index_[slot] = tag | (uint64_t(id) + 1);
  return id;
}

uint32_t StringPool::Store(std::string_view text) {
  // Store the bytes: in the current chunk when they fit, else in a new chunk of at least kChunkSize.
  if (chunks_.empty() || used_in_last_ + text.size() > chunk_sizes_.back()) {
    size_t size = text.size() > kChunkSize ? text.size() : kChunkSize;
    // Small pools start with small chunks so that a workbook of a few cells stays small.
    if (chunks_.empty() && text.size() < 4096) size = 4096;
    else if (chunks_.size() == 1 && text.size() < 32768 && chunk_sizes_[0] == 4096) size = 32768;
    chunks_.push_back(std::make_unique<char[]>(size));
    chunk_sizes_.push_back(size);
    used_in_last_ = 0;
  }
  Entry e{uint32_t(chunks_.size() - 1), uint32_t(used_in_last_), uint32_t(text.size())};
  if (!text.empty()) std::memcpy(chunks_.back().get() + used_in_last_, text.data(), text.size());
  used_in_last_ += text.size();
  entries_.push_back(e);
  return uint32_t(entries_.size() - 1);
}

}  // namespace sheets
