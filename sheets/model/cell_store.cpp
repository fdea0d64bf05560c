#include "sheets/model/cell_store.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace sheets::detail {

namespace {
constexpr uint32_t kFirstCapacity = 4;
constexpr size_t kFirstRegionBlocks = 4;
constexpr size_t kMaxRegionBlocks = kHugePageBytes / kBlockBytes;

CellSlot* HeapSlots(uint32_t capacity) {
  void* p = std::malloc(size_t(capacity) * sizeof(CellSlot));
  if (!p) throw std::bad_alloc();
  return static_cast<CellSlot*>(p);
}

void InitSlot(CellSlot& s, uint32_t row) {
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  s.row = row;
}
}  // namespace

// ---- pool -----------------------------------------------------------------------------------------

CellSlot* SlotBlockPool::Take() {
  if (!free_.empty()) {
    CellSlot* b = free_.back();
    free_.pop_back();
    return b;
  }
  if (next_ == end_) {
    // Regions double from 4 blocks up to a huge page's worth, then stay at that.
    size_t blocks =
        regions_.empty() ? kFirstRegionBlocks : std::min(kMaxRegionBlocks, 2 * (regions_.back().size() / kBlockBytes));
    regions_.emplace_back(blocks * kBlockBytes);
    next_ = regions_.back().data();
    end_ = next_ + blocks * kBlockBytes;
  }
  CellSlot* b = reinterpret_cast<CellSlot*>(next_);
  next_ += kBlockBytes;
  return b;
}

size_t SlotBlockPool::MemoryUsed() const {
  size_t n = regions_.capacity() * sizeof(LargeBlock) + free_.capacity() * sizeof(CellSlot*);
  for (const auto& r : regions_) n += r.size();
  return n;
}

// ---- column ---------------------------------------------------------------------------------------

size_t CellColumn::BlockFor(uint32_t row) const {
  size_t n = blocks_.size();
  if (n == 0) return 0;
  const Block& last = blocks_[n - 1];
  if (last.last_row() < row) return n;
  // Cells mostly arrive in row order or near the end: look at the last block first.
  if (n == 1 || last.first_row() <= row) return n - 1;
  size_t lo = 0, hi = n - 1;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (blocks_[mid].last_row() < row)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

namespace {
uint32_t LowerIndex(const CellColumn::Block& b, uint32_t row) {
  uint32_t lo = 0, hi = b.size;
  while (lo < hi) {
    uint32_t mid = (lo + hi) / 2;
    if (b.slots[mid].row < row)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}
}  // namespace

CellSlot* CellColumn::Find(uint32_t row) {
  size_t b = BlockFor(row);
  if (b == blocks_.size()) return nullptr;
  Block& blk = blocks_[b];
  uint32_t i = LowerIndex(blk, row);
  return i < blk.size && blk.slots[i].row == row ? &blk.slots[i] : nullptr;
}

CellColumn::Pos CellColumn::LowerBound(uint32_t row) const {
  size_t b = BlockFor(row);
  if (b == blocks_.size()) return {b, 0};
  return {b, LowerIndex(blocks_[b], row)};  // below size: the block's last row is at least row
}

CellSlot& CellColumn::FindOrInsert(uint32_t row, bool* inserted, SlotBlockPool& pool) {
  size_t n = blocks_.size();
  if (n == 0) {
    blocks_.push_back({HeapSlots(kFirstCapacity), 0, kFirstCapacity});
    *inserted = true;
    return InsertAt(0, 0, row, pool);
  }
  size_t b = BlockFor(row);
  if (b == n) {  // past the last row: the append path of readers writing row by row
    Block& last = blocks_[n - 1];
    *inserted = true;
    if (last.size < last.capacity) {
      CellSlot& s = last.slots[last.size++];
      InitSlot(s, row);
      return s;
    }
    return InsertAt(n - 1, last.size, row, pool);
  }
  Block& blk = blocks_[b];
  uint32_t i = LowerIndex(blk, row);
  if (blk.slots[i].row == row) {
    *inserted = false;
    return blk.slots[i];
  }
  *inserted = true;
  return InsertAt(b, i, row, pool);
}

void CellColumn::Grow(Block& b, SlotBlockPool& pool) {
  uint32_t capacity = b.capacity * 4 < kBlockSlots ? b.capacity * 4 : kBlockSlots;
  CellSlot* slots = capacity == kBlockSlots ? pool.Take() : HeapSlots(capacity);
  std::memcpy(static_cast<void*>(slots), b.slots, size_t(b.size) * sizeof(CellSlot));
  std::free(b.slots);  // a block smaller than kBlockSlots is always from the heap
  b.slots = slots;
  b.capacity = capacity;
}

CellSlot& CellColumn::InsertAt(size_t b, uint32_t pos, uint32_t row, SlotBlockPool& pool) {
  if (blocks_[b].size == blocks_[b].capacity) {
    if (blocks_[b].capacity < kBlockSlots) {
      Grow(blocks_[b], pool);
    } else if (pos == blocks_[b].size && b + 1 == blocks_.size()) {
      blocks_.push_back({pool.Take(), 0, kBlockSlots});  // appending: a new last block
      ++b;
      pos = 0;
    } else if (pos == 0 && b == 0) {
      blocks_.insert(blocks_.begin(), Block{pool.Take(), 0, kBlockSlots});  // before the first row: a new first block
    } else if (pos == 0 && b > 0 && blocks_[b - 1].size < kBlockSlots) {
      --b;  // the row falls between two blocks: the end of the previous one has room
      pos = blocks_[b].size;
    } else {
      // Split: the upper half moves to a new block after this one.
      CellSlot* upper = pool.Take();
      uint32_t half = blocks_[b].size / 2;
      uint32_t moved = blocks_[b].size - half;
      std::memcpy(static_cast<void*>(upper), blocks_[b].slots + half, size_t(moved) * sizeof(CellSlot));
      blocks_[b].size = half;
      blocks_.insert(blocks_.begin() + std::ptrdiff_t(b) + 1, Block{upper, moved, kBlockSlots});
      if (pos > half) {
        ++b;
        pos -= half;
      }
    }
  }
  Block& blk = blocks_[b];
  if (pos < blk.size)
    std::memmove(static_cast<void*>(blk.slots + pos + 1), blk.slots + pos, size_t(blk.size - pos) * sizeof(CellSlot));
  ++blk.size;
  InitSlot(blk.slots[pos], row);
  return blk.slots[pos];
}

bool CellColumn::Erase(uint32_t row, SlotBlockPool& pool) {
  size_t b = BlockFor(row);
  if (b == blocks_.size()) return false;
  Block& blk = blocks_[b];
  uint32_t i = LowerIndex(blk, row);
  if (blk.slots[i].row != row) return false;
  std::memmove(static_cast<void*>(blk.slots + i), blk.slots + i + 1, size_t(blk.size - i - 1) * sizeof(CellSlot));
  if (--blk.size == 0) {
    FreeBlock(blk, pool);
    blocks_.erase(blocks_.begin() + std::ptrdiff_t(b));
  } else {
    MergeAround(b, pool);
  }
  return true;
}

void CellColumn::FreeBlock(Block& b, SlotBlockPool& pool) {
  if (b.capacity == kBlockSlots)
    pool.Give(b.slots);
  else
    std::free(b.slots);
  b.slots = nullptr;
  b.size = 0;
}

void CellColumn::MergeAround(size_t b, SlotBlockPool& pool) {
  // Blocks of a column with several blocks are all full-size, so either can take the other's slots.
  auto merge_next = [&](size_t i) {
    if (i + 1 >= blocks_.size()) return false;
    Block& left = blocks_[i];
    Block& right = blocks_[i + 1];
    if (left.size + right.size > kBlockSlots / 2) return false;
    std::memcpy(static_cast<void*>(left.slots + left.size), right.slots, size_t(right.size) * sizeof(CellSlot));
    left.size += right.size;
    FreeBlock(right, pool);
    blocks_.erase(blocks_.begin() + std::ptrdiff_t(i) + 1);
    return true;
  };
  if (b >= blocks_.size()) return;
  merge_next(b);
  if (b > 0) merge_next(b - 1);
}

void CellColumn::Release(SlotBlockPool& pool) {
  for (Block& b : blocks_) FreeBlock(b, pool);
  blocks_.clear();
}

size_t CellColumn::MemoryUsed() const {
  size_t n = blocks_.capacity() * sizeof(Block);
  for (const Block& b : blocks_)
    if (b.capacity < kBlockSlots) n += size_t(b.capacity) * sizeof(CellSlot);
  return n;
}

// ---- store ----------------------------------------------------------------------------------------

CellStore::~CellStore() {
  for (auto& c : columns_) c.Release(pool_);
}

size_t CellStore::MemoryUsed() const {
  size_t n = columns_.capacity() * sizeof(CellColumn) + pool_.MemoryUsed();
  for (const auto& c : columns_) n += c.MemoryUsed();
  return n;
}

}  // namespace sheets::detail
