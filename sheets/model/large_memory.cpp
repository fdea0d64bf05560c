#include "sheets/model/large_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace sheets::detail {

namespace {
size_t RoundToHugePages(size_t bytes) {
  size_t rounded = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  if (rounded < bytes) throw std::bad_alloc();
  return rounded;
}

// Maps size bytes (a multiple of 2 MB) starting on a 2 MB boundary: a huge page more than needed,
// then the parts before the first boundary and after the size are given back.
char* MapAligned(size_t size, int prot) {
  size_t span = size + kHugePageBytes;
  void* p = mmap(nullptr, span, prot, MAP_PRIVATE | MAP_ANONYMOUS | (prot == PROT_NONE ? MAP_NORESERVE : 0), -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  uintptr_t start = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = (start + kHugePageBytes - 1) & ~uintptr_t(kHugePageBytes - 1);
  size_t head = aligned - start;
  size_t tail = span - head - size;
  if (head) munmap(p, head);
  if (tail) munmap(reinterpret_cast<void*>(aligned + size), tail);
  return reinterpret_cast<char*>(aligned);
}

void AdviseHuge(char* p, size_t size) {
#ifdef MADV_HUGEPAGE
  madvise(p, size, MADV_HUGEPAGE);  // advice only: failure is harmless
#else
  (void)p;
  (void)size;
#endif
}
}  // namespace

LargeBlock::LargeBlock(size_t bytes) {
  if (bytes == 0) return;
  if (bytes < kHugePageBytes) {
    data_ = static_cast<char*>(std::calloc(bytes, 1));
    if (!data_) throw std::bad_alloc();
    size_ = bytes;
    return;
  }
  size_t rounded = RoundToHugePages(bytes);
  data_ = MapAligned(rounded, PROT_READ | PROT_WRITE);
  size_ = rounded;
  mapped_ = true;
  AdviseHuge(data_, size_);
}

void LargeBlock::Grow(size_t bytes) {
  if (bytes <= size_) return;
  if (!mapped_) {
    LargeBlock bigger(bytes);
    if (size_) std::memcpy(bigger.data_, data_, size_);
    *this = std::move(bigger);
    return;
  }
  size_t rounded = RoundToHugePages(bytes);
  // Extended where it lies when the addresses after it are free, else moved onto a fresh range
  // on a 2 MB boundary (reserved first, so that the move replaces nothing else).
  void* p = mremap(data_, size_, rounded, 0);
  if (p == MAP_FAILED) {
    char* target = MapAligned(rounded, PROT_NONE);
    p = mremap(data_, size_, rounded, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (p == MAP_FAILED) {
      munmap(target, rounded);
      throw std::bad_alloc();
    }
  }
  data_ = static_cast<char*>(p);
  size_ = rounded;
  AdviseHuge(data_, size_);
}

LargeBlock& LargeBlock::operator=(LargeBlock&& o) noexcept {
  if (this != &o) {
    Release();
    data_ = std::exchange(o.data_, nullptr);
    size_ = std::exchange(o.size_, 0);
    mapped_ = std::exchange(o.mapped_, false);
  }
  return *this;
}

void LargeBlock::Release() {
  if (!data_) return;
  if (mapped_)
    munmap(data_, size_);
  else
    std::free(data_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace sheets::detail
