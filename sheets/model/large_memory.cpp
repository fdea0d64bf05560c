#include "sheets/model/large_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace sheets::detail {

LargeBlock::LargeBlock(size_t bytes) {
  if (bytes == 0) return;
  if (bytes < kHugePageBytes) {
    data_ = static_cast<char*>(std::calloc(bytes, 1));
    if (!data_) throw std::bad_alloc();
    size_ = bytes;
    return;
  }
  // Map a huge page more than needed, then give back the parts before the first 2 MB boundary and
  // after the rounded size, so that the block starts and ends on a boundary.
  size_t rounded = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  if (rounded < bytes) throw std::bad_alloc();
  size_t span = rounded + kHugePageBytes;
  void* p = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  uintptr_t start = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = (start + kHugePageBytes - 1) & ~uintptr_t(kHugePageBytes - 1);
  size_t head = aligned - start;
  size_t tail = span - head - rounded;
  if (head) munmap(p, head);
  if (tail) munmap(reinterpret_cast<void*>(aligned + rounded), tail);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);  // advice only: failure is harmless
#endif
  data_ = reinterpret_cast<char*>(aligned);
  size_ = rounded;
  mapped_ = true;
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
  if (mapped_) munmap(data_, size_);
  else std::free(data_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace sheets::detail
