// Memory for the big arrays of the cell store and the string pools.
//
// A large sheet touches tens of megabytes as it is filled; taken from the heap 4 KB page by page,
// every page costs a fault (thousands for a million cells, and a fault is dear under a
// hypervisor). Blocks of kHugePageBytes and more are therefore mapped straight from the kernel on a
// 2 MB boundary and marked for transparent huge pages, which fault in 2 MB at a time where the
// kernel offers them (and as ordinary pages where it does not). Smaller blocks come from the heap,
// so small sheets stay small.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace sheets::detail {

inline constexpr size_t kHugePageBytes = size_t(2) << 20;

// One zero-filled block of memory; move-only.
class LargeBlock {
 public:
  LargeBlock() = default;
  // Throws std::bad_alloc when the memory cannot be had.
  explicit LargeBlock(size_t bytes);
  LargeBlock(LargeBlock&& o) noexcept { *this = std::move(o); }
  LargeBlock& operator=(LargeBlock&& o) noexcept;
  LargeBlock(const LargeBlock&) = delete;
  LargeBlock& operator=(const LargeBlock&) = delete;
  ~LargeBlock() { Release(); }

  // Grows the block to at least bytes, keeping its contents. A mapped block keeps its pages: they are
  // moved to the larger mapping, not copied, and nothing already touched is zeroed again.
  void Grow(size_t bytes);

  char* data() const { return data_; }
  size_t size() const { return size_; }  // bytes usable (the request, rounded up when mapped)
  bool mapped() const { return mapped_; }

 private:
  void Release();
  char* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
};

// A growable array of a trivially copyable type in one LargeBlock: a std::vector without
// constructors, whose big sizes come from huge-page mappings.
template <typename T>
class LargeVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  LargeVector() = default;
  LargeVector(LargeVector&&) noexcept = default;
  LargeVector& operator=(LargeVector&&) noexcept = default;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t capacity() const { return block_.size() / sizeof(T); }
  T* data() { return reinterpret_cast<T*>(block_.data()); }
  const T* data() const { return reinterpret_cast<const T*>(block_.data()); }
  T& operator[](size_t i) { return data()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }
  T& back() { return data()[size_ - 1]; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }

  void push_back(const T& v) {
    if (size_ == capacity()) Grow(size_ + 1);
    data()[size_++] = v;
  }
  void reserve(size_t n) {
    if (n > capacity()) Grow(n);
  }
  // Sets every element to zero bits and the size to n (the memory is mapped afresh when it grows).
  void assign_zero(size_t n) {
    if (n > capacity())
      block_ = LargeBlock(n * sizeof(T));
    else if (n)
      std::memset(static_cast<void*>(data()), 0, n * sizeof(T));
    size_ = n;
  }
  // Sets the size to n, every element to v.
  void assign(size_t n, const T& v) {
    if (n > capacity()) block_ = LargeBlock(n * sizeof(T));
    size_ = n;
    for (size_t i = 0; i < n; ++i) data()[i] = v;
  }
  void swap(LargeVector& o) noexcept {
    std::swap(block_, o.block_);
    std::swap(size_, o.size_);
  }

 private:
  void Grow(size_t need) {
    size_t cap = capacity() ? capacity() * 2 : 16;
    while (cap < need) cap *= 2;
    if (block_.mapped()) {
      block_.Grow(cap * sizeof(T));
      return;
    }
    LargeBlock bigger(cap * sizeof(T));
    if (size_) std::memcpy(bigger.data(), block_.data(), size_ * sizeof(T));
    block_ = std::move(bigger);
  }
  LargeBlock block_;
  size_t size_ = 0;
};

}  // namespace sheets::detail
