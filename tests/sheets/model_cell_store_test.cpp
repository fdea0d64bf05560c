// The block cell store and the string pool, checked against plain reference containers under
// insertion orders that exercise appends, block splits, merges and pool reuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <unordered_map>

#include "sheets/model/cell_store.h"
#include "sheets/model/sheet.h"
#include "sheets/model/string_pool.h"
#include "sheets/model/workbook.h"

using namespace sheets;
using detail::CellColumn;
using detail::CellSlot;
using detail::CellStore;
using detail::kBlockSlots;

namespace {

// Every structural rule of a column, and its contents against the reference (row -> number).
void ExpectColumnMatches(const CellStore& store, uint32_t col, const std::map<uint32_t, double>& ref) {
  SCOPED_TRACE("column " + std::to_string(col));
  if (col >= store.column_count()) {
    EXPECT_TRUE(ref.empty());
    return;
  }
  const CellColumn& c = store.column(col);
  const auto& blocks = c.blocks();
  size_t total = 0;
  for (size_t b = 0; b < blocks.size(); ++b) {
    ASSERT_GT(blocks[b].size, 0u) << "empty block " << b;
    ASSERT_LE(blocks[b].size, blocks[b].capacity);
    if (blocks.size() > 1) {
      ASSERT_EQ(blocks[b].capacity, kBlockSlots) << "small block in a column of several";
    }
    for (uint32_t i = 1; i < blocks[b].size; ++i) ASSERT_LT(blocks[b].slots[i - 1].row, blocks[b].slots[i].row);
    if (b > 0) {
      ASSERT_LT(blocks[b - 1].last_row(), blocks[b].first_row());
    }
    total += blocks[b].size;
  }
  ASSERT_EQ(total, ref.size());
  // Walking the column from the start gives the reference in order.
  auto it = ref.begin();
  for (auto p = c.LowerBound(0); !c.AtEnd(p); c.Advance(p), ++it) {
    ASSERT_NE(it, ref.end());
    ASSERT_EQ(c.At(p).row, it->first);
    ASSERT_EQ(c.At(p).number, it->second);
  }
  EXPECT_EQ(it, ref.end());
}

double Payload(uint32_t row, int round) { return row * 10.0 + round; }

}  // namespace

TEST(CellStore, RandomInsertsOverwritesAndErasesAgreeWithAMap) {
  struct Order {
    const char* name;
    uint32_t rows;  // rows drawn from [0, rows)
    double erase;   // share of operations that erase
  };
  for (Order order : {Order{"dense", 12000, 0.2}, Order{"sparse", 4000000, 0.1}, Order{"churn", 9000, 0.5}}) {
    SCOPED_TRACE(order.name);
    std::mt19937 rng(1234);
    CellStore store;
    std::map<uint32_t, double> ref[3];
    for (int op = 0; op < 40000; ++op) {
      uint32_t col = rng() % 3;
      uint32_t row = rng() % order.rows;
      if (std::uniform_real_distribution<double>(0, 1)(rng) < order.erase) {
        EXPECT_EQ(store.Erase(row, col), ref[col].erase(row) == 1);
      } else {
        bool inserted = false;
        CellSlot& s = store.FindOrInsert(row, col, &inserted);
        EXPECT_EQ(inserted, ref[col].count(row) == 0);
        if (inserted) {
          EXPECT_EQ(s.number, 0.0) << "a new slot starts zero-filled";
        }
        EXPECT_EQ(s.row, row);
        s.number = Payload(row, op);
        ref[col][row] = s.number;
      }
      if (op % 5000 == 0)
        for (uint32_t c = 0; c < 3; ++c) ExpectColumnMatches(store, c, ref[c]);
    }
    for (uint32_t c = 0; c < 3; ++c) {
      ExpectColumnMatches(store, c, ref[c]);
      for (uint32_t probe = 0; probe < 2000; ++probe) {
        uint32_t row = rng() % order.rows;
        const CellSlot* s = store.Find(row, c);
        auto it = ref[c].find(row);
        ASSERT_EQ(s != nullptr, it != ref[c].end()) << "row " << row;
        if (s) {
          EXPECT_EQ(s->number, it->second);
        }
      }
    }
  }
}

TEST(CellStore, AscendingDescendingAndInterleavedFillsKeepOrder) {
  // Appends fill blocks completely; descending inserts split at the front; a second pass into the
  // gaps inserts between and inside full blocks.
  const uint32_t n = 3 * kBlockSlots + 17;
  CellStore store;
  std::map<uint32_t, double> up, down, gaps;
  for (uint32_t r = 0; r < n; ++r) {
    bool inserted;
    store.FindOrInsert(2 * r, 0, &inserted).number = Payload(2 * r, 0);
    up[2 * r] = Payload(2 * r, 0);
    store.FindOrInsert(n - r, 1, &inserted).number = Payload(n - r, 1);
    down[n - r] = Payload(n - r, 1);
  }
  ExpectColumnMatches(store, 0, up);
  EXPECT_EQ(store.column(0).blocks().size(), size_t(n / kBlockSlots + 1)) << "in-order appends leave full blocks";
  ExpectColumnMatches(store, 1, down);
  for (uint32_t r = 0; r < n; ++r) {
    bool inserted;
    store.FindOrInsert(2 * r + 1, 0, &inserted).number = Payload(2 * r + 1, 2);
    EXPECT_TRUE(inserted);
    up[2 * r + 1] = Payload(2 * r + 1, 2);
  }
  ExpectColumnMatches(store, 0, up);
}

TEST(CellStore, RangeRemovalAcrossBlocksMergesAndReusesBlocks) {
  CellStore store;
  std::map<uint32_t, double> ref;
  const uint32_t n = 10 * kBlockSlots;
  for (uint32_t r = 0; r < n; ++r) {
    bool inserted;
    store.FindOrInsert(r, 0, &inserted).number = r;
    ref[r] = r;
  }
  size_t memory = store.MemoryUsed();
  // Remove odd rows in the middle (keeping a thin remainder), then everything in another range.
  size_t removed = store.RemoveIf(0, kBlockSlots, 8 * kBlockSlots, [](CellSlot& s) { return s.row % 8 != 0; });
  size_t expected = 0;
  for (auto it = ref.lower_bound(kBlockSlots); it != ref.end() && it->first <= 8 * kBlockSlots;)
    if (it->first % 8 != 0) {
      it = ref.erase(it);
      ++expected;
    } else {
      ++it;
    }
  EXPECT_EQ(removed, expected);
  ExpectColumnMatches(store, 0, ref);
  // Thinned blocks were merged: no two neighbours hold together less than half a block.
  const auto& blocks = store.column(0).blocks();
  for (size_t b = 1; b < blocks.size(); ++b)
    EXPECT_GT(blocks[b - 1].size + blocks[b].size, kBlockSlots / 2) << "blocks " << b - 1 << " and " << b;
  EXPECT_EQ(store.RemoveIf(0, 5, 5 * kBlockSlots, [](CellSlot&) { return true; }),
            size_t(std::distance(ref.lower_bound(5), ref.upper_bound(5 * kBlockSlots))));
  ref.erase(ref.lower_bound(5), ref.upper_bound(5 * kBlockSlots));
  ExpectColumnMatches(store, 0, ref);
  // Blocks given back are taken again: emptying the column and filling another as large leaves the
  // pool as it was.
  EXPECT_EQ(store.RemoveIf(0, 0, UINT32_MAX, [](CellSlot&) { return true; }), ref.size());
  EXPECT_TRUE(store.column(0).empty());
  std::map<uint32_t, double> other;
  for (uint32_t r = 0; r < n; ++r) {
    bool inserted;
    store.FindOrInsert(r, 1, &inserted).number = r;
    other[r] = r;
  }
  ExpectColumnMatches(store, 1, other);
  EXPECT_LE(store.MemoryUsed(), memory + 4096);
}

TEST(CellStore, MemoryStaysNearTheCellsWhateverTheOrder) {
  const size_t cells = 200000;
  auto bytes_per_cell = [&](auto row_of) {
    CellStore store;
    bool inserted;
    for (size_t i = 0; i < cells; ++i) store.FindOrInsert(row_of(i), uint32_t(i % 4), &inserted);
    return double(store.MemoryUsed()) / cells;
  };
  std::mt19937 rng(7);
  std::vector<uint32_t> shuffled(cells / 4);
  for (size_t i = 0; i < shuffled.size(); ++i) shuffled[i] = uint32_t(i);
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  double in_order = bytes_per_cell([](size_t i) { return uint32_t(i / 4); });
  double reversed = bytes_per_cell([&](size_t i) { return uint32_t(cells / 4 - i / 4); });
  double random = bytes_per_cell([&](size_t i) { return shuffled[i / 4]; });
  EXPECT_LT(in_order, 26 + 12);    // a 24-byte slot and the last, partly filled region
  EXPECT_LT(reversed, 26 + 12);    // cells before the first row start a new first block
  EXPECT_LT(random, 24 * 2 + 12);  // splits leave blocks at least half full
  // One cell in each of many columns and far-apart rows: small first blocks, no full block each.
  CellStore sparse;
  bool inserted;
  for (uint32_t c = 0; c < 16384; ++c) sparse.FindOrInsert(1048575 - c * 61, c, &inserted);
  EXPECT_LT(sparse.MemoryUsed(), 16384u * 200);
}

TEST(SheetCells, ClearingAndArrayFormulasAcrossManyBlocksAgreeWithAMap) {
  Workbook book("b", SheetLimits::Large());
  Sheet& s = book.AddSheet("S");
  std::map<std::pair<uint32_t, uint32_t>, double> ref;  // (row, col) -> number
  std::mt19937 rng(99);
  const uint32_t rows = 4 * kBlockSlots;
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t c = 0; c < 3; ++c)
      if (rng() % 4) {
        s.SetNumber(r, c, r * 3.0 + c);
        ref[{r, c}] = r * 3.0 + c;
      }
  auto in = [](const RangeAddress& a, uint32_t r, uint32_t c) {
    return r >= a.first.row && r <= a.last.row && c >= a.first.col && c <= a.last.col;
  };
  RangeAddress cleared{{100, 0}, {2 * kBlockSlots + 50, 1}};
  s.ClearRange(cleared);
  std::erase_if(ref, [&](const auto& e) { return in(cleared, e.first.first, e.first.second); });
  s.SetFormat(2 * kBlockSlots + 100, 2, 5);  // a formatted cell keeps its format through the array formula
  RangeAddress array{{kBlockSlots - 2, 1}, {3 * kBlockSlots + 1, 2}};
  s.SetArrayFormula(array, "ROW()", Value::Number(-1));
  std::erase_if(ref, [&](const auto& e) { return in(array, e.first.first, e.first.second); });
  ref[{array.first.row, array.first.col}] = -1;

  size_t formatted = 0;
  std::map<std::pair<uint32_t, uint32_t>, double> seen;
  s.ForEachCell([&](uint32_t r, uint32_t c, const CellView& v) {
    if (v.type == ValueType::Number)
      seen[{r, c}] = v.number;
    else if (v.format == 5)
      ++formatted;
  });
  EXPECT_EQ(seen, ref);
  EXPECT_EQ(formatted, 1u);
  EXPECT_EQ(s.CellCount(), ref.size() + formatted);
  // A window in the middle sees only its part, row by row.
  RangeAddress window{{rows - 500, 1}, {rows - 100, 2}};
  std::vector<std::pair<uint32_t, uint32_t>> order;
  s.ForEachCellIn(window, [&](uint32_t r, uint32_t c, const CellView&) { order.emplace_back(r, c); });
  std::vector<std::pair<uint32_t, uint32_t>> expected;
  for (const auto& [rc, v] : ref)
    if (in(window, rc.first, rc.second)) expected.push_back(rc);
  EXPECT_EQ(order, expected);
}

TEST(StringPool, InternsManyTextsOfEveryLengthAcrossGrowth) {
  StringPool pool;
  std::unordered_map<std::string, uint32_t> ref;
  std::vector<std::string_view> views;
  std::mt19937 rng(5);
  for (int i = 0; i < 60000; ++i) {
    // Lengths 0..40 cover the word-at-a-time loop and each tail length; some texts differ only in
    // a last or embedded zero byte, some repeat.
    std::string t(rng() % 41, 'a');
    for (char& ch : t) ch = char(rng() % 4 == 0 ? 0 : 'a' + rng() % 3);
    if (i % 7 == 0 && !ref.empty()) t = ref.begin()->first;
    uint32_t id = pool.Intern(t);
    auto [it, added] = ref.emplace(t, id);
    EXPECT_EQ(id, it->second) << "same text, same id";
    if (added) {
      EXPECT_EQ(id, views.size()) << "ids are dense";
      views.push_back(pool.Get(id));
    }
  }
  EXPECT_EQ(pool.size(), ref.size());
  for (const auto& [text, id] : ref) {
    EXPECT_EQ(pool.Get(id), text);
    EXPECT_EQ(views[id].data(), pool.Get(id).data()) << "views stay where they were";
  }
}

TEST(StringPool, AppendedTextsAreFoundByLaterInterns) {
  StringPool pool;
  uint32_t a = pool.Append("alpha");
  uint32_t b = pool.Append("alpha");  // appended twice: two ids
  EXPECT_NE(a, b);
  EXPECT_EQ(pool.Intern("alpha"), a);
  uint32_t c = pool.Intern("beta");
  for (int i = 0; i < 5000; ++i) pool.Append("t" + std::to_string(i));
  EXPECT_EQ(pool.Intern("beta"), c);
  EXPECT_EQ(pool.Intern("t4999"), c + 5000);
  uint32_t empty = pool.Intern("");
  EXPECT_EQ(empty, pool.size() - 1);
  EXPECT_EQ(pool.Get(empty), "");
  EXPECT_EQ(pool.Intern(""), empty);
  std::string longest(kMaxCellTextBytes, 'x');
  uint32_t l = pool.Intern(longest);
  EXPECT_EQ(pool.Get(l), longest);
  EXPECT_EQ(pool.Intern(longest), l);
}

TEST(LargeVector, KeepsItsContentsAcrossGrowthFromTheHeapToMappedBlocks) {
  // 24-byte elements: growth goes from heap blocks to mapped ones and then moves mapped pages.
  struct Item {
    uint64_t a, b, c;
  };
  detail::LargeVector<Item> v;
  const uint64_t n = 600000;  // about 14 MB
  for (uint64_t i = 0; i < n; ++i) {
    v.push_back({i, i * i, ~i});
    if (i == 1000 || i == 100000) {
      for (uint64_t j = 0; j <= i; j += 97) ASSERT_EQ(v[j].b, j * j);
    }
  }
  ASSERT_EQ(v.size(), n);
  for (uint64_t i = 0; i < n; ++i) {
    ASSERT_EQ(v[i].a, i);
    ASSERT_EQ(v[i].b, i * i);
    ASSERT_EQ(v[i].c, ~i);
  }
  EXPECT_GE(v.capacity(), n);
  detail::LargeVector<uint32_t> z;
  z.assign_zero(3u << 20);  // mapped, zero-filled
  uint64_t sum = 0;
  for (size_t i = 0; i < z.size(); i += 4096) sum += z[i];
  EXPECT_EQ(sum, 0u);
  z.assign(10, 7);
  EXPECT_EQ(z.size(), 10u);
  EXPECT_EQ(z[9], 7u);
}
