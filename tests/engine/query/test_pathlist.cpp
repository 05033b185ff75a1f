#include <gtest/gtest.h>

#include "engine/query/pathlist.h"

#include <array>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

class PathList : public ::testing::Test {
 protected:
  CHitRecord* Hit(const char* page) {
    m_buf.emplace_back();
    auto* r = reinterpret_cast<CHitRecord*>(m_buf.back().data());
    r->SetPage(g_pools.pages.Intern(page));
    return r;
  }
  std::string Text(uint32_t visitor) {
    std::string text = "stale";
    EXPECT_TRUE(list.PathText(visitor, &text));
    return text;
  }

  CPathList list;

 private:
  std::deque<std::array<uint8_t, CHitRecord::kMaxSize>> m_buf;
};

TEST_F(PathList, ARepeatedPageDoesNotLengthenThePath) {
  for (const char* page : {"/a", "/a", "/b", "/a"}) list.AddHit(4, Hit(page));
  const CPathEntry* e = list.FindVisitor(4);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->visitor, 4u);
  EXPECT_EQ(e->count, 3);
  EXPECT_EQ(Text(4), "/a -> /b -> /a");
  list.AddHit(4, Hit("/B"));  // case counts
  EXPECT_EQ(Text(4), "/a -> /b -> /a -> /B");
}

TEST_F(PathList, VisitorsInAnyOrderAndUnknownOnes) {
  list.AddHit(9, Hit("/nine"));
  list.AddHit(3, Hit("/three"));  // below the maximum, met for the first time
  list.AddHit(3, Hit("/three/next"));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.MaxVisitor(), 9);
  EXPECT_EQ(Text(3), "/three -> /three/next");
  EXPECT_EQ(Text(9), "/nine");
  EXPECT_EQ(list.FindVisitor(5), nullptr);
  EXPECT_EQ(list.FindVisitor(1u << 20), nullptr);
  EXPECT_EQ(Text(5), "");
  EXPECT_EQ(Text(0xFFFFFFFFu), "");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FindVisitor(3), nullptr);
  EXPECT_EQ(Text(3), "");
}

TEST_F(PathList, InterleavedVisitsMatchAReference) {
  std::mt19937 rng(11);
  std::map<uint32_t, std::vector<CHitRecord*>> expected;
  const char* pages[] = {"/", "/x", "/y", "/z"};
  for (int i = 0; i < 50000; ++i) {
    uint32_t visitor = 1 + rng() % 3000;
    CHitRecord* hit = Hit(pages[rng() % 4]);
    list.AddHit(visitor, hit);
    std::vector<CHitRecord*>& path = expected[visitor];
    if (path.empty() || path.back()->Page() != hit->Page()) path.push_back(hit);
  }
  ASSERT_EQ(list.Count(), static_cast<int32_t>(expected.size()));
  for (const auto& [visitor, path] : expected) {
    const CPathEntry* e = list.FindVisitor(visitor);
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(std::vector<CHitRecord*>(e->hits, e->hits + e->count), path);
  }
}

}  // namespace
