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
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * kMul;
  }
  return uint32_t(Mix(h) >> 32);
}

size_t StringPool::MemoryUsed() const {
  size_t n = entries_.capacity() * sizeof(Entry) + index_.capacity() * sizeof(uint64_t) +
             chunks_.capacity() * sizeof(detail::LargeBlock);
  for (const auto& c : chunks_) n += c.size();
  return n;
}

void StringPool::Rehash(size_t new_capacity) {
  detail::LargeVector<uint64_t> index;
  index.assign_zero(new_capacity);
  size_t mask = new_capacity - 1;
  auto put = [&](uint64_t v) {
    size_t slot = (v >> 32) & mask;
    while (index[slot] != 0) slot = (slot + 1) & mask;
    index[slot] = v;
  };
  // What the old index holds moves with its stored hash; entries appended since are hashed now.
  for (size_t i = 0; i < index_.size(); ++i)
    if (index_[i]) put(index_[i]);
  for (size_t id = indexed_; id < entries_.size(); ++id) put((uint64_t(Hash(Get(uint32_t(id)))) << 32) | (id + 1));
  indexed_ = entries_.size();
  index_.swap(index);
}

uint32_t StringPool::Append(std::string_view text) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("string pool full");
  return Store(text);
}

uint32_t StringPool::Intern(std::string_view text) {
  if (entries_.size() >= 0xFFFFFFF0u) throw std::length_error("string pool full");
  if (indexed_ < entries_.size() || (entries_.size() + 1) * 2 > index_.size()) {
    size_t capacity = index_.empty() ? 64 : index_.size();
    while ((entries_.size() + 1) * 2 > capacity) capacity *= 2;
    Rehash(capacity);
  }
  size_t mask = index_.size() - 1;
  uint64_t h = Hash(text);
  uint64_t tag = h << 32;
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
  indexed_ = entries_.size();
  return id;
}

uint32_t StringPool::Store(std::string_view text) {
  // The bytes go into the current chunk when they fit, else into a new one: 4 KB, 32 KB, 256 KB,
  // then 2 MB each, or the text's own size when larger.
  if (chunks_.empty() || used_in_last_ + text.size() > chunks_.back().size()) {
    size_t size = chunks_.empty() ? 4096 : chunks_.size() == 1 ? 32768 : chunks_.size() == 2 ? 262144 : detail::kHugePageBytes;
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
