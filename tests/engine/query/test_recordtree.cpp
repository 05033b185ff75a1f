#include <gtest/gtest.h>

#include "base/msgsink.h"
#include "engine/query/recordtree.h"
#include "engine/query/rowtable.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <random>
#include <vector>

namespace {

// Hit records for the tests, each at a stable address.
class Hits {
 public:
  CHitRecord* New(TextHandle page, uint32_t bytes = 0, uint8_t flags = 0, uint8_t group = 0) {
    m_buf.emplace_back();
    auto* r = reinterpret_cast<CHitRecord*>(m_buf.back().data());
    r->SetPage(page);
    r->SetBytesSent(bytes);
    r->SetFlags(flags);
    r->SetPageType(group);
    return r;
  }

 private:
  std::deque<std::array<uint8_t, CHitRecord::kMaxSize>> m_buf;
};

int g_calls = 0;

int ByPage(const CHitRecord* a, const CHitRecord* b, const CHitRecord*) {
  ++g_calls;
  return a->Page() < b->Page() ? -1 : a->Page() > b->Page();
}

// Depth of the leaves; fails the test when a node breaks the size rules or the
// keys are out of order.
int CheckNode(const CTreeNode* node, bool root, std::vector<TextHandle>* keys) {
  EXPECT_LE(node->count, CTreeNode::kMaxKeys);
  if (!root) {
    EXPECT_GE(node->count, 15);
  }
  int depth = -1;
  for (int i = 0; i <= node->count; ++i) {
    const CTreeNode* child = node->entries[i].child;
    int d = child ? CheckNode(child, false, keys) + 1 : 0;
    if (depth < 0) depth = d;
    EXPECT_EQ(d, depth);  // every leaf at the same depth
    if (i < node->count) keys->push_back(node->entries[i].Last()->Page());
  }
  return depth;
}

TEST(RecordTree, ThirtySecondKeySplitsTheRootSixteenAndFifteen) {
  Hits hits;
  CRecordTree tree;
  tree.SetCompare(ByPage, CRecordTree::kCompareOnly);
  for (TextHandle k = 1; k <= 31; ++k) ASSERT_NE(tree.FindOrInsert(hits.New(k * 10), nullptr), nullptr);
  EXPECT_EQ(tree.Root().count, 31);
  EXPECT_EQ(tree.NodeCount(), 0u);
  tree.FindOrInsert(hits.New(5), nullptr);  // goes first: key 16 of 0..31 is page 160
  const CTreeNode& root = tree.Root();
  ASSERT_EQ(root.count, 1);
  const CTreeNode* left = root.entries[0].child;
  const CTreeNode* right = root.entries[1].child;
  EXPECT_EQ(root.entries[0].KeyRecord()->Page(), 160u);
  ASSERT_EQ(left->count, 16);
  ASSERT_EQ(right->count, 15);
  EXPECT_EQ(left->entries[0].KeyRecord()->Page(), 5u);
  EXPECT_EQ(left->entries[15].KeyRecord()->Page(), 150u);
  EXPECT_EQ(right->entries[0].KeyRecord()->Page(), 170u);
  EXPECT_EQ(right->entries[14].KeyRecord()->Page(), 310u);
  EXPECT_EQ(tree.Levels(), 2u);
  EXPECT_EQ(tree.NodeCount(), 2u);
  EXPECT_EQ(tree.PageCount(), 1);
  EXPECT_EQ(tree.Count(), 32u);
}

uint64_t PageDigest(const CHitRecord* r) { return r->Page(); }
uint64_t CoarseDigest(const CHitRecord* r) { return r->Page() / 8; }  // leaves ties to the comparator

TEST(RecordTree, RandomInsertsMatchStdMapInOrderCountAndHits) {
  std::mt19937 rng(7);
  struct Case {
    uint32_t distinct;
    RecordDigestFn digest;
    bool digestIsKey;
  };
  const Case cases[] = {{50, nullptr, false},        {3000, nullptr, false},    {60000, nullptr, false},
                        {3000, CoarseDigest, false}, {60000, PageDigest, true}};
  for (const Case& c : cases) {
    uint32_t distinct = c.distinct;
    Hits hits;
    CRowTable table;
    table.Reset(0);
    CRecordTree tree;
    tree.SetCompare(ByPage, CRecordTree::kRows, c.digest, c.digestIsKey);
    std::map<TextHandle, uint32_t> expected;
    for (uint32_t i = 0; i < 4 * distinct; ++i) {
      TextHandle page = 2 + rng() % distinct;
      // Runs of one key, as logs have them, exercise the last-position shortcut.
      for (uint32_t run = rng() % 3 + 1; run > 0; --run) {
        auto* row = static_cast<CRow*>(tree.FindOrInsert(hits.New(page), &table));
        ASSERT_NE(row, nullptr);
        ASSERT_EQ(row->Record()->Page(), page);
        ++expected[page];
      }
    }
    ASSERT_EQ(tree.Count(), expected.size());
    ASSERT_EQ(static_cast<size_t>(table.RowCount()), expected.size());
    std::vector<TextHandle> keys;
    EXPECT_LE(CheckNode(&tree.Root(), true, &keys) + 1, CRecordTree::kMaxLevels);
    EXPECT_EQ(keys.size(), expected.size());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end(), std::greater_equal<>()), keys.end());

    // Forward and backward walks give the map's order and its counts.
    auto it = expected.begin();
    for (const CTreeEntry* e = tree.SeekEnd(0); e; e = tree.Step(0), ++it) {
      ASSERT_NE(it, expected.end());
      ASSERT_EQ(e->Row()->Record()->Page(), it->first);
      ASSERT_EQ(e->Row()->Hits(), it->second);
      ASSERT_EQ(e->Last()->Page(), it->first);
    }
    EXPECT_EQ(it, expected.end());
    EXPECT_EQ(tree.Depth(), 0u);
    auto back = expected.rbegin();
    for (const CTreeEntry* e = tree.SeekEnd(1); e; e = tree.Step(1), ++back)
      ASSERT_EQ(e->Row()->Record()->Page(), back->first);
    EXPECT_EQ(back, expected.rend());
  }
}

// Equal within 1: an answer that finds two neighbours equal to the same hit.
int Near(const CHitRecord* a, const CHitRecord* b, const CHitRecord*) {
  int d = static_cast<int>(a->Page()) - static_cast<int>(b->Page());
  return d > 1 ? 1 : d < -1 ? -1 : 0;
}

TEST(RecordTree, AHitIsCountedOnceWhateverTheSearchCompares) {
  Hits hits;
  CRowTable table;
  table.Reset(0);
  CRecordTree tree;
  tree.SetCompare(Near);
  for (TextHandle page : {10, 12, 14}) tree.FindOrInsert(hits.New(page), &table);
  tree.FindOrInsert(hits.New(11), &table);  // equal to 10 and to 12
  tree.FindOrInsert(hits.New(13), &table);
  uint32_t total = 0;
  for (int32_t i = 0; i < table.RowCount(); ++i) total += table.GetRow(i)->Hits();
  EXPECT_EQ(table.RowCount(), 3);
  EXPECT_EQ(total, 5u);
}

TEST(RecordTree, TwoHitsOfOneGroupShareARow) {
  g_groupSlots = 2;
  Hits hits;
  CRowTable table;
  table.Reset(0);
  CRecordTree tree;
  tree.SetCompare(ByPage);
  CHitRecord* first = hits.New(7, 100, kHitQuery | kHitReferrer, 1);
  first->SetStatusWord(200 | kHitBytesReceived);
  first->Put<uint32_t>(33, 40);  // bytes received, behind the referrer
  CHitRecord* second = hits.New(7, 50, kHitPost, 1);
  CHitRecord* other = hits.New(7, 1000, 0, 5);  // a group beyond the counters
  auto* row = static_cast<CRow*>(tree.FindOrInsert(first, &table));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Hits(), 1u);
  EXPECT_EQ(row->BytesReceived(), 40u);
  EXPECT_EQ(row->GroupHits(1), 1u);
  EXPECT_EQ(tree.FindOrInsert(second, &table), row);
  EXPECT_EQ(row->Hits(), 2u);
  EXPECT_EQ(row->BytesSent(), 150u);
  EXPECT_EQ(row->BytesReceived(), 40u);
  EXPECT_EQ(row->Flags(), kHitQuery | kHitPost);
  EXPECT_EQ(row->GroupHits(1), 2u);
  EXPECT_EQ(row->GroupBytes(1), 150u);
  EXPECT_EQ(row->Record(), first);
  EXPECT_EQ(tree.SeekEnd(0)->Last(), second);
  // AddRecord adds bytes and group counters, never a hit.
  EXPECT_EQ(tree.AddRecord(other), row);
  EXPECT_EQ(row->Hits(), 2u);
  EXPECT_EQ(row->BytesSent(), 1150u);
  EXPECT_EQ(row->GroupHits(1), 2u);
  EXPECT_EQ(tree.AddRecord(hits.New(8)), nullptr);
  EXPECT_EQ(table.RowCount(), 1);
  g_groupSlots = 0;
}

TEST(RecordTree, TheLastElementIsComparedFirst) {
  Hits hits;
  CRowTable table;
  table.Reset(0);
  CRecordTree tree;
  tree.SetCompare(ByPage);
  for (TextHandle p = 2; p < 2000; p += 3) tree.FindOrInsert(hits.New(p), &table);
  tree.FindOrInsert(hits.New(1001), &table);  // a known group, found from the root
  g_calls = 0;
  tree.FindOrInsert(hits.New(1001), &table);
  EXPECT_EQ(g_calls, 1);
  g_calls = 0;
  tree.FindOrInsert(hits.New(1004), &table);  // another group searches from the root
  EXPECT_GT(g_calls, 2);
}

TEST(RecordTree, EmptyTreeEndOfWalkAndStopFlag) {
  Hits hits;
  CRecordTree tree;
  tree.SetCompare(ByPage, CRecordTree::kCompareOnly);
  EXPECT_EQ(tree.SeekEnd(0), nullptr);
  EXPECT_EQ(tree.SeekEnd(1), nullptr);
  EXPECT_EQ(tree.Step(0), nullptr);
  EXPECT_EQ(tree.GetPayload(hits.New(1)), nullptr);

  CHitRecord* a = hits.New(1);
  tree.FindOrInsert(a, nullptr);
  EXPECT_EQ(tree.GetPayload(hits.New(1)), a);
  EXPECT_EQ(tree.SeekEnd(0)->KeyRecord(), a);
  EXPECT_EQ(tree.Step(0), nullptr);
  EXPECT_EQ(tree.Depth(), 0u);
  EXPECT_EQ(tree.Step(0), nullptr);  // and stays at the end

  RequestStop();
  EXPECT_EQ(tree.FindOrInsert(hits.New(2), nullptr), nullptr);
  ClearStop();
  EXPECT_EQ(tree.Count(), 1u);

  tree.FreeNodes();  // empty, same mode
  EXPECT_EQ(tree.Count(), 0u);
  EXPECT_EQ(tree.SeekEnd(0), nullptr);
  CHitRecord* b = hits.New(2);
  EXPECT_EQ(tree.FindOrInsert(b, nullptr), b);
  EXPECT_EQ(tree.FindOrInsert(hits.New(2), nullptr), b);
  EXPECT_EQ(tree.Count(), 1u);
}

TEST(RecordTree, CompareOnlyCountsDistinctValuesAndTouchesNoRow) {
  Hits hits;
  CRowTable table;
  table.Reset(0);
  CRecordTree tree;
  tree.SetCompare(ByPage, CRecordTree::kCompareOnly);
  CHitRecord* first = hits.New(3);
  for (TextHandle p : {3, 4, 3, 5, 4, 3}) tree.FindOrInsert(p == 3 && !tree.Count() ? first : hits.New(p), &table);
  EXPECT_EQ(tree.Count(), 3u);
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(tree.SeekEnd(0)->KeyRecord(), first);
}

// One visitor per address while hits lie at most 1,800 s after the visit's last one.
int ByAddressInSession(const CHitRecord* a, const CHitRecord* b, const CHitRecord* last) {
  if (a->Address() != b->Address()) return a->Address() < b->Address() ? -1 : 1;
  int64_t gap = static_cast<int64_t>(a->Seconds()) - last->Seconds();
  return gap > 1800 ? 1 : gap < -1800 ? -1 : 0;
}

TEST(RecordTree, VisitorsTakeTheNumberOfTheirVisit) {
  Hits hits;
  CRecordTree tree;
  tree.SetCompare(ByAddressInSession, CRecordTree::kVisitors);
  g_visitorCounter = 0;
  struct Case {
    uint32_t address, seconds, visitor;
  };
  // The session runs from the visit's last hit, so a visit can outlast it.
  const Case cases[] = {{1, 0, 1}, {2, 100, 2}, {1, 1000, 1}, {1, 2500, 1}, {1, 5000, 3}, {2, 1500, 2}};
  for (const Case& c : cases) {
    CHitRecord* r = hits.New(1);
    r->SetAddress(c.address);
    r->SetSeconds(c.seconds);
    ASSERT_NE(tree.FindOrInsert(r, nullptr), nullptr);
    EXPECT_EQ(r->VisitorId(), c.visitor) << c.address << " at " << c.seconds;
  }
  EXPECT_EQ(g_visitorCounter, 3u);
  EXPECT_EQ(tree.Count(), 3u);
}

TEST(RecordTree, TextAndNumberKeys) {
  CIndexedKey a{0x0A000001, "Host.Example"}, b{0x0A000002, "other"}, c{0x0A000001, "third"};
  CRecordTree names;
  names.SetTextKeys();
  EXPECT_EQ(names.FindOrInsert(&a, nullptr), &a);
  EXPECT_EQ(names.FindOrInsert(&b, nullptr), &b);
  CIndexedKey probe{0, "host.EXAMPLE"};
  EXPECT_EQ(names.GetPayload(&probe), &a);
  EXPECT_EQ(names.FindOrInsert(&probe, nullptr), &a);
  CIndexedKey missing{0, "host.example.org"};
  EXPECT_EQ(names.GetPayload(&missing), nullptr);
  EXPECT_EQ(names.Count(), 2u);

  CRecordTree numbers;
  numbers.SetNumberKeys();
  numbers.FindOrInsert(&a, nullptr);
  EXPECT_EQ(numbers.FindOrInsert(&c, nullptr), &a);
  EXPECT_EQ(numbers.FindOrInsert(&b, nullptr), &b);
  EXPECT_EQ(numbers.Count(), 2u);
  EXPECT_EQ(numbers.SeekEnd(1)->key, &b);
}

TEST(RecordTree, PairsCountDistinctValuesPerRow) {
  Hits hits;
  CRowTable table;
  table.Reset(0);
  CRow* r1 = table.AddRow(nullptr);
  CRow* r2 = table.AddRow(nullptr);
  TextHandle upper = g_pools.pages.Intern("/Index.html");
  TextHandle lower = g_pools.pages.Intern("/index.html");
  for (bool ignoreCase : {false, true}) {
    CRecordTree pages;
    pages.SetPairCompare(nullptr, ignoreCase);
    for (CRow* owner : {r1, r2, r1})
      for (TextHandle page : {upper, lower, upper}) {
        CPairKey key{kPairPage, owner, hits.New(page), 0, page, kNoText};
        EXPECT_EQ(pages.FindOrInsert(&key, nullptr), owner);
      }
    EXPECT_EQ(pages.Count(), ignoreCase ? 2u : 4u);
    EXPECT_EQ(pages.AddRecord(hits.New(upper)), nullptr);  // no visitor to go by
  }

  struct Case {
    uint32_t kind;
    uint32_t addrA, addrB;
    TextHandle hostA, hostB;
    uint8_t flagsA, flagsB;
    uint16_t robotA, robotB;
    bool equal;
  };
  const Case cases[] = {
      {kPairHost, 5, 5, 0, 0, 0, 0, 0, 0, true},
      {kPairHost, 5, 6, 0, 0, 0, 0, 0, 0, false},
      {kPairHost, 0, 0, 9, 9, 0, 0, 0, 0, true},   // both by name
      {kPairHost, 0, 7, 9, 0, 0, 0, 0, 0, false},  // a name against none
      {kPairRobot, 0, 0, 0, 0, kHitRobot, kHitRobot, 3, 3, true},
      {kPairRobot, 0, 0, 0, 0, kHitRobot, kHitRobot, 3, 4, false},
      {kPairRobot, 0, 0, 0, 0, kHitSearchEngine, kHitSearchEngine, 3, 4, true},  // no robot either
  };
  for (const Case& c : cases) {
    CHitRecord* a = hits.New(1, 0, c.flagsA);
    CHitRecord* b = hits.New(1, 0, c.flagsB);
    a->SetAddress(c.addrA);
    b->SetAddress(c.addrB);
    a->SetRobotIndex(c.robotA);
    b->SetRobotIndex(c.robotB);
    for (auto [r, h] : {std::pair{a, c.hostA}, std::pair{b, c.hostB}}) {
      if (!h) continue;
      r->SetStatusWord(kHitHostName);
      r->Put<uint32_t>(29, h);
    }
    CPairKey key{c.kind, r1, a, a->Flags(), kNoText, kNoText};
    EXPECT_EQ(ComparePairValues(key, reinterpret_cast<uintptr_t>(b), false) == 0, c.equal)
        << c.kind << " " << c.addrA << "/" << c.addrB;
  }
}

TEST(RecordTree, AVisitorsBytesGoToItsFirstPairInOrder) {
  g_groupSlots = 1;
  Hits hits;
  CRowTable table;
  table.Reset(0);
  std::vector<CRow*> rows;
  for (int i = 0; i < 300; ++i) rows.push_back(table.AddRow(nullptr));
  CRecordTree pairs;
  pairs.Reset();
  std::mt19937 rng(3);
  // Visitor 7 has pairs with many rows, spread over nodes and levels among the
  // pairs of other visitors; its first pair in order is the lowest row.
  std::vector<int> order(300);
  for (int i = 0; i < 300; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (int i : order) {
    for (uint32_t v : {3u, 7u, 11u}) {
      if (v == 7 && i < 40) continue;
      CHitRecord* hit = hits.New(1);
      hit->SetVisitorId(v);
      CPairKey key{kPairVisitor, rows[i], hit, 0, 1, kNoText};
      pairs.FindOrInsert(&key, nullptr);
      pairs.FindOrInsert(&key, nullptr);  // once only
    }
  }
  EXPECT_EQ(pairs.Count(), 300u * 3 - 40);
  EXPECT_GE(pairs.Levels(), 2u);
  CHitRecord* later = hits.New(2, 500, 0, 0);
  later->SetVisitorId(7);
  EXPECT_EQ(pairs.AddRecord(later), rows[40]);
  EXPECT_EQ(rows[40]->BytesSent(), 500u);
  EXPECT_EQ(rows[40]->GroupHits(0), 1u);
  EXPECT_EQ(rows[40]->Hits(), 0u);
  CHitRecord* stranger = hits.New(2, 500);
  stranger->SetVisitorId(8);
  EXPECT_EQ(pairs.AddRecord(stranger), nullptr);
  g_groupSlots = 0;
}

}  // namespace
