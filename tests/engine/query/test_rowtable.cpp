#include <gtest/gtest.h>

#include "base/msgsink.h"
#include "engine/query/rowtable.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct GroupSlots {
  explicit GroupSlots(uint32_t n) { g_groupSlots = n; }
  ~GroupSlots() { g_groupSlots = 0; }
};

TEST(RowTable, BlocksOfRowsAndTheRowLayout) {
  GroupSlots slots(0);
  CRowTable table;
  table.Reset(2);
  EXPECT_EQ(table.RowSize(), CRow::kHeadSize + 8);
  std::vector<uint8_t> records(1100 * CHitRecord::kHeadSize);
  auto rec = [&](int i) { return reinterpret_cast<CHitRecord*>(&records[static_cast<size_t>(i) * CHitRecord::kHeadSize]); };
  for (int i = 0; i < 1024; ++i) ASSERT_NE(table.AddRow(rec(i)), nullptr);
  EXPECT_EQ(table.BlockCount(), 1);  // row 1,023 is the last of the first block
  CRow* second = table.AddRow(rec(1024));
  EXPECT_EQ(table.BlockCount(), 2);
  EXPECT_EQ(table.RowCount(), 1025);
  EXPECT_EQ(table.GetRow(1024), second);
  EXPECT_EQ(table.GetRow(1023), reinterpret_cast<CRow*>(reinterpret_cast<uint8_t*>(table.GetRow(0)) + 1023 * table.RowSize()));
  for (int i : {0, 1023, 1024}) {
    CRow* row = table.GetRow(i);
    EXPECT_EQ(row->Record(), rec(i));
    EXPECT_EQ(row->Hits() + row->Visitors() + row->Pages() + row->Flags(), 0u);
    EXPECT_EQ(row->BytesSent() + row->BytesReceived(), 0u);
  }
  // With per-group counting off the extra columns follow the head.
  CRow* row = table.GetRow(5);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(table.RowField(row, 0)), reinterpret_cast<uint8_t*>(row) + CRow::kHeadSize);
  *table.RowField(row, 1) = 7;
  EXPECT_EQ(*table.RowField(table.GetRow(6), 0), 0u);  // inside its own row
}

TEST(RowTable, GroupSlotsAndExtraColumnsKeepApart) {
  GroupSlots slots(3);
  CRowTable table;
  table.Reset(2);
  EXPECT_EQ(table.GroupSlots(), 3u);
  EXPECT_EQ(table.RowSize(), CRow::kHeadSize + 12 * 3 + 8);
  alignas(8) uint8_t buf[64] = {};
  auto* hit = reinterpret_cast<CHitRecord*>(buf);
  hit->SetBytesSent(100);
  hit->SetFlags(kHitQuery | kHitReferrer);  // the referrer bit is no row flag
  hit->SetPageType(2);
  CRow* a = table.AddRow(hit);
  CRow* b = table.AddRow(hit);
  a->AddHit(hit, table.GroupSlots());
  a->AddHit(hit, table.GroupSlots());
  *table.RowField(a, 0) = 11;
  *table.RowField(a, 1) = 12;
  EXPECT_EQ(a->Hits(), 2u);
  EXPECT_EQ(a->Flags(), kHitQuery);
  EXPECT_EQ(a->BytesSent(), 200u);
  EXPECT_EQ(a->GroupHits(2), 2u);
  EXPECT_EQ(a->GroupBytes(2), 200u);
  EXPECT_EQ(a->GroupHits(0) + a->GroupHits(1), 0u);
  EXPECT_EQ(*table.RowField(a, 0), 11u);
  EXPECT_EQ(*table.RowField(a, 1), 12u);
  EXPECT_EQ(b->Record(), hit);
  EXPECT_EQ(b->Hits(), 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(table.RowField(b, 0)) % alignof(uint32_t), 0u);
  hit->SetPageType(3);  // no slot of its own
  a->AddHit(hit, table.GroupSlots());
  EXPECT_EQ(*table.RowField(a, 0), 11u);
  EXPECT_EQ(a->BytesSent(), 300u);
}

TEST(RowTable, AddRowWhileStoppingAddsNothing) {
  CRowTable table;
  table.Reset(0);
  RequestStop();
  EXPECT_EQ(table.AddRow(nullptr), nullptr);
  ClearStop();
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(table.BlockCount(), 0);
}

TEST(RowTable, MoveHandsOverTheRowsAndFreesTheReceiversOwn) {
  CRowTable from, to;
  from.Reset(1);
  to.Reset(1);
  std::vector<uint8_t> records(3000);
  for (int i = 0; i < 2000; ++i) *from.RowField(from.AddRow(reinterpret_cast<CHitRecord*>(&records[i])), 0) = i;
  for (int i = 0; i < 3; ++i) to.AddRow(nullptr);  // these blocks must not leak
  to.Move(from);
  EXPECT_EQ(from.RowCount(), 0);
  EXPECT_EQ(from.BlockCount(), 0);
  EXPECT_EQ(from.KeyCount(), 1u);
  ASSERT_EQ(to.RowCount(), 2000);
  EXPECT_EQ(to.GetRow(1500)->Record(), reinterpret_cast<CHitRecord*>(&records[1500]));
  EXPECT_EQ(*to.RowField(to.GetRow(1999), 0), 1999u);
  from.AddRow(nullptr);  // the source is usable again
  EXPECT_EQ(from.RowCount(), 1);
}

// ---------------------------------------------------------------------------

long g_compares = 0;

int CompareInts(const void* a, const void* b) {
  ++g_compares;
  int x, y;
  memcpy(&x, a, sizeof x);
  memcpy(&y, b, sizeof y);
  return x < y ? -1 : x > y;
}

int CompareByFirstInt(const void* a, const void* b) { return CompareInts(a, b); }

std::mt19937 g_rng(20240601);

int Contrary(const void*, const void*) { return static_cast<int>(g_rng() % 3) - 1; }

TEST(SortBlock, OrdersLikeStdSortInLinearithmicTimeOnEveryShape) {
  const int n = 100000;
  struct Shape {
    const char* name;
    int (*make)(int i);
  };
  const Shape shapes[] = {
      {"random", [](int) { return static_cast<int>(g_rng() % 1000); }},
      {"sorted", [](int i) { return i; }},
      {"reversed", [](int i) { return n - i; }},
      {"equal", [](int) { return 42; }},
      {"organ pipe", [](int i) { return i < n / 2 ? i : n - i; }},
      {"two values", [](int i) { return i % 2; }},
  };
  const double bound = 4.0 * n * 17;  // 4 n log2 n
  for (const Shape& s : shapes) {
    std::vector<int> v(n);
    for (int i = 0; i < n; ++i) v[i] = s.make(i);
    std::vector<int> expected = v;
    std::sort(expected.begin(), expected.end());
    g_compares = 0;
    SortBlock(v.data(), v.size(), sizeof(int), CompareInts);
    EXPECT_EQ(v, expected) << s.name;
    EXPECT_LT(g_compares, bound) << s.name;
  }
}

TEST(SortBlock, EdgeSizesWideElementsAndAContraryComparator) {
  int one = 5;
  SortBlock(nullptr, 0, sizeof(int), CompareInts);
  SortBlock(&one, 1, sizeof(int), CompareInts);
  EXPECT_EQ(one, 5);

  // Elements of 12 bytes sort by their first int and keep their other bytes.
  struct Wide {
    int key, a, b;
  };
  std::vector<Wide> w(5000);
  for (int i = 0; i < 5000; ++i) w[i] = {static_cast<int>(g_rng() % 100), i, -i};
  SortBlock(w.data(), w.size(), sizeof(Wide), CompareByFirstInt);
  for (size_t i = 1; i < w.size(); ++i) ASSERT_LE(w[i - 1].key, w[i].key);
  for (const Wide& x : w) ASSERT_EQ(x.a, -x.b);

  // A comparator that contradicts itself still leaves the same elements.
  std::vector<int> v(20000);
  for (int i = 0; i < 20000; ++i) v[i] = i;
  SortBlock(v.data(), v.size(), sizeof(int), Contrary);
  std::sort(v.begin(), v.end());
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(v[i], i);
}

int ByHitsDescending(const void* a, const void* b) {
  const CRow* x = *static_cast<CRow* const*>(a);
  const CRow* y = *static_cast<CRow* const*>(b);
  return x->Hits() < y->Hits() ? 1 : x->Hits() > y->Hits() ? -1 : 0;
}

TEST(RowIndex, BuildsInRowOrderAndSortsLikeStdSort) {
  CRowTable table;
  table.Reset(0);
  for (int i = 0; i < 3000; ++i) table.AddRow(nullptr)->SetHits(static_cast<uint32_t>(g_rng() % 50));
  CRowIndex index;
  index.Build(table);
  ASSERT_EQ(index.Count(), 3000u);
  for (uint32_t i = 0; i < index.Count(); ++i) ASSERT_EQ(index[i], table.GetRow(static_cast<int32_t>(i)));

  std::vector<uint32_t> expected;
  for (uint32_t i = 0; i < index.Count(); ++i) expected.push_back(index[i]->Hits());
  std::sort(expected.begin(), expected.end(), std::greater<>());
  index.Sort(ByHitsDescending);
  std::vector<CRow*> sorted(index.Rows(), index.Rows() + index.Count());
  for (uint32_t i = 0; i < index.Count(); ++i) ASSERT_EQ(index[i]->Hits(), expected[i]);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());  // each row once

  CRowTable empty;
  index.Build(empty);
  EXPECT_EQ(index.Count(), 0u);
  index.Sort(ByHitsDescending);
}

}  // namespace
