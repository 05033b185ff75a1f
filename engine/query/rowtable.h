// Report rows: one fixed-size row per distinct key value, kept in blocks of
// 1,024 rows that never move, and a sortable index of row pointers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/query/queryparams.h"
#include "engine/store/hitstore.h"

// Per-group counters carried by every row (0: per-group counting off). Set at the
// start of each analysis pass, never while a query runs; a table reset takes the
// value it finds.
constexpr uint32_t kMaxGroupSlots = 8;
extern uint32_t g_groupSlots;

// Flag bits a row ORs together from its hits: query, robot, search engine,
// entry/exit mark, POST, HEAD.
constexpr uint8_t kRowFlagMask = 0x3F;

// A view over the bytes of one row, read and written in place at fixed offsets:
//   0 first hit record of the group (the representative record), 8 hits,
//   12 visitors, 16 pages, 20 bytes sent (u64), 28 bytes received (u64),
//   36 flags (u8), 37-39 unused (keeps the u32 columns 4-byte aligned),
//   40 per group slot {u32 hits; u64 bytes sent}, then u32 extra columns.
struct CRow {
  static constexpr size_t kHeadSize = 40;
  static constexpr size_t kGroupSize = 12;

  uint8_t bytes[kHeadSize];

  // The group slots and extra columns lie past the head, so offsets are taken
  // from the row's address rather than from the head array.
  template <typename T>
  T Get(size_t off) const {
    T v;
    memcpy(&v, reinterpret_cast<const uint8_t*>(this) + off, sizeof v);
    return v;
  }
  template <typename T>
  void Put(size_t off, T v) {
    memcpy(reinterpret_cast<uint8_t*>(this) + off, &v, sizeof v);
  }

  CHitRecord* Record() const { return Get<CHitRecord*>(0); }
  void SetRecord(CHitRecord* r) { Put(0, r); }
  uint32_t Hits() const { return Get<uint32_t>(8); }
  void SetHits(uint32_t n) { Put(8, n); }
  uint32_t Visitors() const { return Get<uint32_t>(12); }
  void SetVisitors(uint32_t n) { Put(12, n); }
  uint32_t Pages() const { return Get<uint32_t>(16); }
  void SetPages(uint32_t n) { Put(16, n); }
  uint64_t BytesSent() const { return Get<uint64_t>(20); }
  void SetBytesSent(uint64_t n) { Put(20, n); }
  uint64_t BytesReceived() const { return Get<uint64_t>(28); }
  void SetBytesReceived(uint64_t n) { Put(28, n); }
  uint8_t Flags() const { return bytes[36]; }
  void SetFlags(uint8_t f) { bytes[36] = f; }

  // Group slot g; the caller keeps g below the table's group-slot count.
  uint32_t GroupHits(uint32_t g) const { return Get<uint32_t>(kHeadSize + kGroupSize * g); }
  void SetGroupHits(uint32_t g, uint32_t n) { Put(kHeadSize + kGroupSize * g, n); }
  uint64_t GroupBytes(uint32_t g) const { return Get<uint64_t>(kHeadSize + kGroupSize * g + 4); }
  void SetGroupBytes(uint32_t g, uint64_t n) { Put(kHeadSize + kGroupSize * g + 4, n); }

  // Adds a hit's bytes sent and received, and its group's hit and bytes when
  // the group is below groupSlots. Hits and flags are the caller's.
  void AddBytes(const CHitRecord* r, uint32_t groupSlots) {
    uint32_t sent = r->BytesSent();
    SetBytesSent(BytesSent() + sent);
    SetBytesReceived(BytesReceived() + r->GetBytesReceived());
    uint32_t g = r->PageType();
    if (g < groupSlots) {
      SetGroupHits(g, GroupHits(g) + 1);
      SetGroupBytes(g, GroupBytes(g) + sent);
    }
  }
  // One more hit of the group: hits + 1, flags, bytes and group counters.
  void AddHit(const CHitRecord* r, uint32_t groupSlots) {
    SetHits(Hits() + 1);
    SetFlags(static_cast<uint8_t>(Flags() | (r->Flags() & kRowFlagMask)));
    AddBytes(r, groupSlots);
  }
};

// A table's totals, filled by the query that made its rows.
struct CRowTotals {
  static constexpr int kMaxExtra = 5;
  uint32_t hits = 0;
  uint32_t visitors = 0;
  uint32_t pages = 0;
  uint64_t bytesSent = 0;
  uint64_t bytesReceived = 0;
  struct Group {
    uint32_t hits = 0;
    uint64_t bytesSent = 0;
  } groups[kMaxGroupSlots];
  uint32_t extra[kMaxExtra] = {};
};

class CRowTable {
 public:
  static constexpr int32_t kRowsPerBlock = 1024;
  static constexpr uint32_t kMaxKeys = CRowTotals::kMaxExtra;

  CRowTable() { Reset(0); }
  ~CRowTable() { Free(); }
  CRowTable(const CRowTable&) = delete;
  CRowTable& operator=(const CRowTable&) = delete;

  // Frees the rows and sets the row layout: keys extra columns (at most 5) and
  // the current group-slot count.
  void Reset(uint32_t keys);
  void Free() { Reset(0); }

  // Appends a zeroed row whose first field is record. Null (nothing added) when
  // the stop flag is set or memory runs out; the latter also sets the stop flag.
  CRow* AddRow(CHitRecord* record);
  // Row i, 0 <= i < RowCount().
  CRow* GetRow(int32_t i) const {
    return reinterpret_cast<CRow*>(m_blocks[static_cast<size_t>(i) / kRowsPerBlock] +
                                   static_cast<size_t>(i) % kRowsPerBlock * m_rowSize);
  }
  // Takes over the rows of from, freeing this table's own; from is left empty
  // with its key count. The rows keep the layout they were made with.
  void Move(CRowTable& from);
  // Extra column i of a row of this table.
  uint32_t* RowField(CRow* row, uint32_t i) const {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(row) + CRow::kHeadSize +
                                       4 * (static_cast<size_t>(i) + 3 * m_groupSlots));
  }

  int32_t RowCount() const { return m_rowCount; }
  int32_t BlockCount() const { return static_cast<int32_t>(m_blocks.size()); }
  uint32_t RowSize() const { return m_rowSize; }
  uint32_t KeyCount() const { return m_keyCount; }
  uint32_t GroupSlots() const { return m_groupSlots; }

  CRowTotals totals;
  // The parameters of the query that made the rows, and everything else its
  // result depends on (the query engine's cache key; empty: no result held).
  CQueryParams params;
  std::string queryKey;

 private:
  std::vector<uint8_t*> m_blocks;
  uint32_t m_rowSize = 0;
  uint32_t m_keyCount = 0;
  uint32_t m_groupSlots = 0;
  int32_t m_rowCount = 0;
};

// Compares two elements of the array being sorted (given their addresses):
// negative, zero or positive.
using SortCompareFn = int (*)(const void* a, const void* b);

// In-place sort of n elements of size bytes. O(n log n) in every case, sorted and
// all-equal input included; not stable. A comparator that contradicts itself
// yields some order of the same elements, never a crash.
void SortBlock(void* base, size_t n, size_t size, SortCompareFn compare);

// The rows of a table as a sortable array of row pointers.
class CRowIndex {
 public:
  CRowIndex() { Init(); }
  ~CRowIndex() { Free(); }
  CRowIndex(const CRowIndex&) = delete;
  CRowIndex& operator=(const CRowIndex&) = delete;

  void Init() {
    m_rows = nullptr;
    m_count = 0;
  }
  void Free();

  // Every row of the table in row order; empty when the array cannot be allocated.
  void Build(const CRowTable& table);
  // The comparator receives the addresses of two elements (each a CRow*).
  void Sort(SortCompareFn compare);

  uint32_t Count() const { return m_count; }
  CRow* operator[](uint32_t i) const { return m_rows[i]; }
  CRow* const* Rows() const { return m_rows; }
  CRow** Rows() { return m_rows; }

 private:
  CRow** m_rows;
  uint32_t m_count;
};
