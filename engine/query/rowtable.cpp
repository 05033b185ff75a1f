#include "engine/query/rowtable.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "base/msgsink.h"

uint32_t g_groupSlots = 0;

void CRowTable::Reset(uint32_t keys) {
  for (uint8_t* block : m_blocks) free(block);
  m_blocks.clear();
  m_rowCount = 0;
  m_keyCount = std::min(keys, kMaxKeys);
  m_groupSlots = std::min(g_groupSlots, kMaxGroupSlots);
  m_rowSize = static_cast<uint32_t>(CRow::kHeadSize) + 4 * (m_keyCount + 3 * m_groupSlots);
}

CRow* CRowTable::AddRow(CHitRecord* record) {
  if (StopRequested()) return nullptr;
  size_t n = static_cast<size_t>(m_rowCount);
  size_t b = n / kRowsPerBlock;
  if (b >= m_blocks.size()) {
    try {
      if (m_blocks.size() == m_blocks.capacity()) m_blocks.reserve(std::max<size_t>(16, 2 * m_blocks.size()));
    } catch (const std::bad_alloc&) {
      EngineOutOfMemory(65);
      RequestStop();
      return nullptr;
    }
    auto* block = static_cast<uint8_t*>(calloc(kRowsPerBlock, m_rowSize));
    if (!block) {
      EngineOutOfMemory(74);
      RequestStop();
      return nullptr;
    }
    m_blocks.push_back(block);  // room reserved above
  }
  ++m_rowCount;
  CRow* row = reinterpret_cast<CRow*>(m_blocks[b] + n % kRowsPerBlock * m_rowSize);
  row->SetRecord(record);
  return row;
}

void CRowTable::Move(CRowTable& from) {
  if (&from == this) return;
  Reset(m_keyCount);
  m_blocks.swap(from.m_blocks);
  m_rowCount = from.m_rowCount;
  // Rows are read with the layout they were made with, so that travels with them.
  m_rowSize = from.m_rowSize;
  m_keyCount = from.m_keyCount;
  m_groupSlots = from.m_groupSlots;
  from.Reset(from.m_keyCount);
}

// ---------------------------------------------------------------------------
// Sorting

namespace {

class Sorter {
 public:
  Sorter(void* base, size_t size, SortCompareFn compare)
      : m_base(static_cast<uint8_t*>(base)), m_size(size), m_compare(compare) {}

  void Sort(size_t n) {
    struct Range {
      size_t lo, hi;
      unsigned budget;
    };
    // The smaller part is sorted first and the larger waits, so the stack never
    // holds more than log2(n) ranges.
    Range stack[64];
    int top = 0;
    unsigned budget = 0;
    for (size_t m = n; m > 1; m >>= 1) budget += 2;
    Range r{0, n - 1, budget};
    for (;;) {
      while (r.hi - r.lo >= kSmall) {
        if (r.budget == 0) {  // partitions keep coming out lopsided
          HeapSort(r.lo, r.hi);
          break;
        }
        --r.budget;
        size_t p = Partition(r.lo, r.hi);
        Range left{r.lo, p == r.lo ? r.lo : p - 1, r.budget};
        Range right{p + 1, r.hi, r.budget};
        bool leftEmpty = p == r.lo, rightEmpty = p == r.hi;
        if (leftEmpty) {
          r = right;
        } else if (rightEmpty) {
          r = left;
        } else if (left.hi - left.lo < right.hi - right.lo) {
          stack[top++] = right;
          r = left;
        } else {
          stack[top++] = left;
          r = right;
        }
      }
      if (r.hi - r.lo < kSmall) InsertionSort(r.lo, r.hi);
      if (top == 0) return;
      r = stack[--top];
    }
  }

 private:
  static constexpr size_t kSmall = 16;

  uint8_t* At(size_t i) const { return m_base + i * m_size; }
  int Compare(size_t i, size_t j) const { return m_compare(At(i), At(j)); }

  void Swap(size_t i, size_t j) {
    if (i == j) return;
    uint8_t* a = At(i);
    uint8_t* b = At(j);
    if (m_size == 8) {
      uint64_t t, u;
      memcpy(&t, a, 8);
      memcpy(&u, b, 8);
      memcpy(a, &u, 8);
      memcpy(b, &t, 8);
    } else if (m_size == 4) {
      uint32_t t, u;
      memcpy(&t, a, 4);
      memcpy(&u, b, 4);
      memcpy(a, &u, 4);
      memcpy(b, &t, 4);
    } else {
      for (size_t k = 0; k < m_size; ++k) std::swap(a[k], b[k]);
    }
  }

  // Median of three as the pivot, then a partition whose scans both stop on
  // elements equal to the pivot, so runs of equal keys split evenly. Every scan
  // is bounded by the range, whatever the comparator answers.
  size_t Partition(size_t lo, size_t hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (Compare(mid, lo) < 0) Swap(mid, lo);
    if (Compare(hi, mid) < 0) {
      Swap(hi, mid);
      if (Compare(mid, lo) < 0) Swap(mid, lo);
    }
    Swap(lo, mid);  // the pivot waits at lo
    size_t i = lo, j = hi + 1;
    for (;;) {
      while (Compare(++i, lo) < 0)
        if (i == hi) break;
      while (Compare(lo, --j) < 0)
        if (j == lo) break;
      if (i >= j) break;
      Swap(i, j);
    }
    Swap(lo, j);
    return j;
  }

  void InsertionSort(size_t lo, size_t hi) {
    for (size_t i = lo + 1; i <= hi; ++i)
      for (size_t j = i; j > lo && Compare(j - 1, j) > 0; --j) Swap(j - 1, j);
  }

  void SiftDown(size_t lo, size_t root, size_t n) {
    for (;;) {
      size_t child = 2 * root + 1;
      if (child >= n) return;
      if (child + 1 < n && Compare(lo + child, lo + child + 1) < 0) ++child;
      if (Compare(lo + root, lo + child) >= 0) return;
      Swap(lo + root, lo + child);
      root = child;
    }
  }

  void HeapSort(size_t lo, size_t hi) {
    size_t n = hi - lo + 1;
    for (size_t i = n / 2; i-- > 0;) SiftDown(lo, i, n);
    for (size_t end = n - 1; end > 0; --end) {
      Swap(lo, lo + end);
      SiftDown(lo, 0, end);
    }
  }

  uint8_t* m_base;
  size_t m_size;
  SortCompareFn m_compare;
};

}  // namespace

void SortBlock(void* base, size_t n, size_t size, SortCompareFn compare) {
  if (n < 2 || size == 0 || !compare) return;
  Sorter(base, size, compare).Sort(n);
}

void CRowIndex::Free() {
  free(m_rows);
  Init();
}

void CRowIndex::Build(const CRowTable& table) {
  uint32_t n = static_cast<uint32_t>(table.RowCount());
  if (n > m_count || !m_rows) {
    void* grown = realloc(m_rows, std::max<size_t>(n, 1) * sizeof(CRow*));
    if (!grown) {
      Free();
      return;
    }
    m_rows = static_cast<CRow**>(grown);
  }
  m_count = n;
  for (uint32_t i = 0; i < n; ++i) m_rows[i] = table.GetRow(static_cast<int32_t>(i));
}

void CRowIndex::Sort(SortCompareFn compare) { SortBlock(m_rows, m_count, sizeof(CRow*), compare); }
