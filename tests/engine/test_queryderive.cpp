#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "engine/queryderive.h"

namespace {

using query_detail::DistinctSet;

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

}  // namespace
