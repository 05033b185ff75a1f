#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>
#include <vector>

#include "engine/query/queryderive.h"

namespace {

using query_detail::CanonOf;
using query_detail::DistinctSet;
using query_detail::PooledTextIds;

// A low compaction mark makes it sort many times on the way; the values
// spread over every digit of the sort so that none of its passes is skipped by luck.
TEST(DistinctSet, GivesEachValueOnceInOrderAcrossCompactions) {
  std::mt19937_64 rng(7);
  DistinctSet set(256);
  std::set<uint64_t> expected;
  const size_t n = 50000;
  for (size_t i = 0; i < n; ++i) {
    uint64_t v = (rng() % 3 == 0) ? (rng() % 1000) : rng() % (uint64_t{1} << 40) << (rng() % 24);
    set.Add(v);
    expected.insert(v);
  }
  set.Add(~0ull);
  expected.insert(~0ull);
  std::vector<uint64_t> got;
  set.ForEach([&](uint64_t v) { got.push_back(v); });
  EXPECT_EQ(got, std::vector<uint64_t>(expected.begin(), expected.end()));
  EXPECT_EQ(set.Count(), expected.size());
  set.Add(got[0]);  // a value already present stays one
  EXPECT_EQ(set.Count(), expected.size());
}

TEST(DistinctSet, EmptyAndRepeatedValues) {
  DistinctSet set;
  EXPECT_EQ(set.Count(), 0u);
  for (int i = 0; i < 10; ++i) set.Add(0);
  EXPECT_EQ(set.Count(), 1u);
  set.Clear();
  EXPECT_EQ(set.Count(), 0u);
}

// Texts stored again after the index was dropped, and pages cut at their
// queries, get handles of their own; their ids stay those of the first handle.
TEST(PooledTextIds, OneIdPerTextUnderTheCaseRule) {
  CStringPool pool;
  pool.SetQueryMarker(true, true);
  TextHandle a = pool.Intern("/a.htm");
  TextHandle b = pool.Intern("/B.htm");
  {
    PooledTextIds ids(pool, false, false, true);
    EXPECT_TRUE(ids.Distinct());
    EXPECT_EQ(ids.Id(a), a);
    EXPECT_EQ(ids.Id(kNoText), kEmptyText);  // a page without text reads as ""
  }
  TextHandle q = pool.Intern("/a.htm?x=1");
  pool.CutAtQuery(q);
  pool.FreeIndex();
  TextHandle a2 = pool.Intern("/a.htm");
  TextHandle b2 = pool.Intern("/b.htm");
  ASSERT_NE(a2, a);

  PooledTextIds exact(pool, false);
  EXPECT_FALSE(exact.Distinct());
  for (int round = 0; round < 2; ++round) {  // the second round reads the cache
    EXPECT_EQ(exact.Id(q), a);
    EXPECT_EQ(exact.Id(a2), a);
    EXPECT_EQ(exact.Id(b2), b2);
    EXPECT_EQ(exact.Id(b), b);
    EXPECT_EQ(exact.Id(kNoText), kNoText);
  }
  PooledTextIds lower(pool, true);
  EXPECT_EQ(lower.Id(b2), b);
  EXPECT_EQ(lower.Id(q), a);

  // A stored empty text is the empty text, or none.
  CStringPool hosts;
  TextHandle name = hosts.Intern("h");
  TextHandle blank = hosts.Intern("");
  ASSERT_GT(blank, kEmptyText);
  PooledTextIds names(hosts, false, true);
  EXPECT_EQ(names.Id(blank), kNoText);
  EXPECT_EQ(names.Id(kEmptyText), kNoText);
  EXPECT_EQ(names.Id(name), name);
  PooledTextIds texts(hosts, false);
  EXPECT_EQ(texts.Id(blank), kEmptyText);
  EXPECT_EQ(texts.Id(kNoText), kNoText);
}

TEST(PooledTextIds, CanonFollowsThePoolAsItGrows) {
  CStringPool pool;
  TextHandle a = pool.Intern("a");
  auto first = CanonOf(pool, false);
  EXPECT_EQ(CanonOf(pool, false), first);  // shared while the pool is unchanged
  EXPECT_TRUE(first->Distinct());
  pool.FreeIndex();
  TextHandle again = pool.Intern("a");
  auto second = CanonOf(pool, false);
  EXPECT_NE(second, first);
  EXPECT_FALSE(second->Distinct());
  EXPECT_EQ(second->Of(again), a);
  EXPECT_TRUE(first->Distinct());  // a query holding the old one is not disturbed
}

}  // namespace

// Another pool at the same address with as many texts as the last one (a test
// pool on the stack, say) must not be judged by what was worked out before.
TEST(PooledTextIds, CanonIsWorkedOutAgainForAnotherPoolAtTheSameAddress) {
  std::optional<CStringPool> pool;
  pool.emplace();
  pool->Intern("a");
  pool->FreeIndex();
  pool->Intern("a");  // two handles of one text
  EXPECT_FALSE(CanonOf(*pool, false)->Distinct());
  pool.reset();
  pool.emplace();
  TextHandle x = pool->Intern("x");
  pool->FreeIndex();
  TextHandle y = pool->Intern("y");
  auto canon = CanonOf(*pool, false);
  EXPECT_TRUE(canon->Distinct());
  EXPECT_EQ(canon->Of(x), x);
  EXPECT_EQ(canon->Of(y), y);
}
