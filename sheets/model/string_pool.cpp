#include "sheets/model/string_pool.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace sheets {

namespace {
constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

// Differs from run to run (the address is placed at random by the loader), so that texts chosen to
// collide in one run do not collide in another.
uint64_t Seed() {
  static const uint64_t seed = Mix(reinterpret_cast<uintptr_t>(&seed) ^ 0x5bd1e9955bd1e995ull);
  return seed;
}
}  // namespace

uint32_t StringPool::Hash(std::string_view s) {
  // Eight bytes at a time, then a full mix; the length goes in first so that texts differing only
  // by trailing zero bytes differ.
  uint64_t h = Seed() ^ (uint64_t(s.size()) * kMul);
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * kMul;
    h ^= h >> 29;
  }
  if (n) {
    // The last one to seven bytes in one word, by loads that may overlap (the length is already in
    // the hash); copying them byte by byte into a word would stall on reading it back.
    uint64_t w;
    if (n >= 4) {
      uint32_t lo, hi;
      std::memcpy(&lo, p, 4);
      std::memcpy(&hi, p + n - 4, 4);
      w = uint64_t(lo) | (uint64_t(hi) << 32);
    } else {
      w = uint64_t(uint8_t(p[0])) | (uint64_t(uint8_t(p[n / 2])) << 8) | (uint64_t(uint8_t(p[n - 1])) << 16);
    }
    h = (h ^ w) * kMul;
  }
  return uint32_t(Mix(h) >> 32);
}

size_t StringPool::MemoryUsed() const {
  size_t n = entries_.capacity() * sizeof(Entry) + tags_.capacity() + ids_.capacity() * sizeof(uint32_t) +
             chunks_.capacity() * sizeof(detail::LargeBlock);
  for (const auto& c : chunks_) n += c.size();
  return n;
}

namespace {
uint8_t TagOf(uint32_t h) { return uint8_t(0x80 | (h >> 25)); }
}  // namespace

void StringPool::Rehash(size_t new_capacity) {
  // Hashing again reads the strings in the order they were stored, which is cheap; the new slots
  // are written at random, but a write does not wait for memory as a read does.
  tags_.assign_zero(0);
  tags_.assign_zero(new_capacity);
  ids_.assign_zero(0);
  ids_.assign_zero(new_capacity);
  size_t mask = new_capacity - 1;
  for (size_t id = 0; id < entries_.size(); ++id) {
    uint32_t h = Hash(Get(uint32_t(id)));
    size_t slot = h & mask;
    while (tags_[slot] != 0) slot = (slot + 1) & mask;
    tags_[slot] = TagOf(h);
    ids_[slot] = uint32_t(id);
  }
  indexed_ = entries_.size();
}

uint32_t StringPool::Append(std::string_view text) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("string pool full");
  return Store(text);
}

uint32_t StringPool::Intern(std::string_view text) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("string pool full");
  if (indexed_ < entries_.size() || (entries_.size() + 1) * 2 > tags_.size()) {
    size_t capacity = tags_.empty() ? 64 : tags_.size();
    while ((entries_.size() + 1) * 2 > capacity) capacity *= 2;
    Rehash(capacity);
  }
  size_t mask = tags_.size() - 1;
  uint32_t h = Hash(text);
  uint8_t tag = TagOf(h);
  size_t slot = h & mask;
  for (uint8_t t; (t = tags_[slot]) != 0; slot = (slot + 1) & mask)
    if (t == tag && Get(ids_[slot]) == text) return ids_[slot];
  uint32_t id = Store(text);
  tags_[slot] = tag;
  ids_[slot] = id;
  indexed_ = entries_.size();
  return id;
}

uint32_t StringPool::Store(std::string_view text) {
  // The bytes go into the current chunk when they fit, else into a new one: 4 KB, 32 KB, 256 KB,
  // then 2 MB each, or the text's own size when larger.
  if (chunks_.empty() || used_in_last_ + text.size() > chunks_.back().size()) {
    size_t size = chunks_.empty()       ? 4096
                  : chunks_.size() == 1 ? 32768
                  : chunks_.size() == 2 ? 262144
                                        : detail::kHugePageBytes;
    if (text.size() > size) size = text.size();
    chunks_.emplace_back(size);
    used_in_last_ = 0;
  }
  Entry e{uint32_t(chunks_.size() - 1), uint32_t(used_in_last_), uint32_t(text.size())};
  if (!text.empty()) std::memcpy(chunks_.back().data() + used_in_last_, text.data(), text.size());
  used_in_last_ += text.size();
  entries_.push_back(e);
  return uint32_t(entries_.size() - 1);
}

}  // namespace sheets
