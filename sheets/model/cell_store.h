// The cell store of a worksheet: per column, the cells sorted by row in blocks of 24-byte slots.
//
// A column starts as one small block that grows by copying until it reaches kBlockSlots slots (64 KB);
// from then on its blocks all have that capacity, come from the sheet's block pool and are never
// copied as the column grows: a cell appended past the last row goes into the last block or a new
// one, a cell inserted into a full block splits it in two. A block emptied is given back to the
// pool, and two neighbours holding together at most half a block are merged, so the store stays
// within a small multiple of its cells however they were inserted and removed.
//
// The pool carves blocks out of regions that grow from 256 KB to 2 MB; regions of 2 MB are mapped
// for huge pages (large_memory.h), so a million cells fault in a dozen pages instead of thousands.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sheets/model/large_memory.h"

namespace sheets::detail {

struct CellSlot {
  uint32_t row;
  uint32_t format;
  uint32_t formula;  // id in the sheet's formula pool when the type has the formula flag
  uint8_t type;      // value type and flags, as the sheet defines them
  uint8_t small;     // boolean or error code
  uint16_t unused;
  union {
    double number;
    uint32_t text;  // id in the sheet's text pool
  };
};
static_assert(sizeof(CellSlot) == 24, "cell slot must stay 24 bytes");

inline constexpr uint32_t kBlockSlots = 2730;  // 65,520 bytes: 32 blocks to a 2 MB region
inline constexpr size_t kBlockBytes = 65536;

// Full-size blocks for one sheet. Blocks given back are reused; the memory goes with the pool.
class SlotBlockPool {
 public:
  CellSlot* Take();
  void Give(CellSlot* block) { free_.push_back(block); }
  size_t MemoryUsed() const;

 private:
  std::vector<LargeBlock> regions_;
  std::vector<CellSlot*> free_;
  char* next_ = nullptr;
  char* end_ = nullptr;
};

class CellColumn {
 public:
  struct Block {
    CellSlot* slots;
    uint32_t size;
    uint32_t capacity;  // kBlockSlots: from the pool; less: the column's single block, from the heap
    uint32_t first_row() const { return slots[0].row; }
    uint32_t last_row() const { return slots[size - 1].row; }
  };
  // A place in the column: block and slot within it; block == blocks().size() at the end.
  struct Pos {
    size_t block;
    uint32_t index;
  };

  bool empty() const { return blocks_.empty(); }
  uint32_t first_row() const { return blocks_.front().first_row(); }
  uint32_t last_row() const { return blocks_.back().last_row(); }
  const std::vector<Block>& blocks() const { return blocks_; }

  CellSlot* Find(uint32_t row);
  // The slot of row; when absent, a zero-filled slot holding the row is inserted and *inserted set.
  CellSlot& FindOrInsert(uint32_t row, bool* inserted, SlotBlockPool& pool);
  bool Erase(uint32_t row, SlotBlockPool& pool);
  // Calls remove(slot) for every slot whose row is in [first, last]; takes out those it returns
  // true for. Returns how many were taken out.
  template <typename Remove>
  size_t RemoveIf(uint32_t first, uint32_t last, Remove remove, SlotBlockPool& pool);

  // The first slot at or after row.
  Pos LowerBound(uint32_t row) const;
  bool AtEnd(const Pos& p) const { return p.block >= blocks_.size(); }
  const CellSlot& At(const Pos& p) const { return blocks_[p.block].slots[p.index]; }
  void Advance(Pos& p) const {
    if (++p.index == blocks_[p.block].size) {
      ++p.block;
      p.index = 0;
    }
  }

  template <typename Fn>
  void ForEachSlot(Fn fn) {
    for (Block& b : blocks_)
      for (uint32_t i = 0; i < b.size; ++i) fn(b.slots[i]);
  }

  void Release(SlotBlockPool& pool);
  size_t MemoryUsed() const;  // the column's own: block list and heap block, not the pool's

 private:
  size_t BlockFor(uint32_t row) const;
  CellSlot& InsertAt(size_t b, uint32_t pos, uint32_t row, SlotBlockPool& pool);
  void Grow(Block& b, SlotBlockPool& pool);
  void FreeBlock(Block& b, SlotBlockPool& pool);
  void MergeAround(size_t b, SlotBlockPool& pool);

  std::vector<Block> blocks_;
};

class CellStore {
 public:
  CellStore() = default;
  CellStore(const CellStore&) = delete;
  CellStore& operator=(const CellStore&) = delete;
  ~CellStore();

  size_t column_count() const { return columns_.size(); }
  const CellColumn& column(uint32_t c) const { return columns_[c]; }

  CellSlot* Find(uint32_t row, uint32_t col) { return col < columns_.size() ? columns_[col].Find(row) : nullptr; }
  const CellSlot* Find(uint32_t row, uint32_t col) const { return const_cast<CellStore*>(this)->Find(row, col); }
  CellSlot& FindOrInsert(uint32_t row, uint32_t col, bool* inserted) {
    if (col >= columns_.size()) columns_.resize(size_t(col) + 1);
    return columns_[col].FindOrInsert(row, inserted, pool_);
  }
  bool Erase(uint32_t row, uint32_t col) { return col < columns_.size() && columns_[col].Erase(row, pool_); }
  template <typename Remove>
  size_t RemoveIf(uint32_t col, uint32_t first_row, uint32_t last_row, Remove remove) {
    return col < columns_.size() ? columns_[col].RemoveIf(first_row, last_row, remove, pool_) : 0;
  }
  template <typename Fn>
  void ForEachSlot(Fn fn) {
    for (auto& c : columns_) c.ForEachSlot(fn);
  }
  size_t MemoryUsed() const;

 private:
  std::vector<CellColumn> columns_;
  SlotBlockPool pool_;
};

template <typename Remove>
size_t CellColumn::RemoveIf(uint32_t first, uint32_t last, Remove remove, SlotBlockPool& pool) {
  size_t removed = 0;
  size_t start = BlockFor(first);
  size_t b = start;
  while (b < blocks_.size() && blocks_[b].first_row() <= last) {
    Block& blk = blocks_[b];
    uint32_t kept = 0;
    for (uint32_t i = 0; i < blk.size; ++i) {
      CellSlot& s = blk.slots[i];
      if (s.row >= first && s.row <= last && remove(s)) {
        ++removed;
        continue;
      }
      if (kept != i) blk.slots[kept] = s;
      ++kept;
    }
    blk.size = kept;
    if (kept == 0) {
      FreeBlock(blk, pool);
      blocks_.erase(blocks_.begin() + std::ptrdiff_t(b));
    } else {
      ++b;
    }
  }
  if (removed) {
    // Merge what became small, from the block before the range to the one after it.
    size_t from = start ? start - 1 : 0;
    for (size_t i = std::min(b + 1, blocks_.size()); i-- > from;) MergeAround(i, pool);
  }
  return removed;
}

}  // namespace sheets::detail
