#include <gtest/gtest.h>

#include "base/msgsink.h"
#include "engine/store/strpool.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <unordered_map>

namespace {

TEST(StringPool, InternsOnceAndKeepsCase) {
  CStringPool pool;
  TextHandle a = pool.Intern("/index.html");
  EXPECT_EQ(pool.Intern("/index.html"), a);
  EXPECT_NE(pool.Intern("/INDEX.html"), a);
  EXPECT_STREQ(pool.Text(a), "/index.html");
  EXPECT_EQ(pool.Intern(nullptr), kNoText);
  EXPECT_EQ(pool.Text(kNoText), nullptr);
  EXPECT_STREQ(pool.Text(kEmptyText), "");
  EXPECT_EQ(pool.InternedCount(), 2u);
}

TEST(StringPool, SixteenthKeySplitsTheRoot) {
  CStringPool pool;
  std::vector<TextHandle> h;
  for (int i = 0; i < 16; ++i) {
    char key[8];
    snprintf(key, sizeof key, "k%02d", i);
    h.push_back(pool.Intern(key));
    if (i < 15) {
      EXPECT_EQ(pool.RootKeyCount(), i + 1);
    }
  }
  ASSERT_EQ(pool.RootKeyCount(), 1);
  EXPECT_STREQ(pool.Text(pool.RootKey(0)), "k08");
  EXPECT_EQ(pool.RootChildKeyCount(0), 8);
  EXPECT_EQ(pool.RootChildKeyCount(1), 7);
  for (int i = 0; i < 16; ++i) {
    char key[8];
    snprintf(key, sizeof key, "k%02d", i);
    EXPECT_EQ(pool.Intern(key), h[i]);
  }
}

TEST(StringPool, ManyTextsRoundTripThroughAGrowingTree) {
  // Enough distinct texts for a deep tree, with the cache both hitting and colliding.
  CStringPool pool;
  std::mt19937 rng(7);
  std::unordered_map<std::string, TextHandle> seen;
  for (int i = 0; i < 200000; ++i) {
    std::string s = "/p/" + std::to_string(rng() % 120000) + ".html";
    TextHandle h = pool.Intern(s.c_str());
    auto [it, fresh] = seen.emplace(s, h);
    ASSERT_EQ(it->second, h) << s;
    if (fresh) {
      ASSERT_STREQ(pool.Text(h), s.c_str());
    }
  }
  EXPECT_EQ(pool.InternedCount(), seen.size());
  // After the index is dropped the texts stay, and the same text is stored anew.
  std::string any = seen.begin()->first;
  TextHandle old = seen.begin()->second;
  pool.FreeIndex();
  EXPECT_STREQ(pool.Text(old), any.c_str());
  EXPECT_NE(pool.Intern(any.c_str()), old);
}

TEST(StringPool, LongTextGetsABlockOfItsOwn) {
  CStringPool pool;
  pool.Intern("small");
  std::string big(20000, 'x');
  TextHandle b = pool.Intern(big.c_str());
  EXPECT_EQ(pool.BlockCount(), 2);
  EXPECT_EQ(strlen(pool.Text(b)), big.size());
  // Small texts keep filling the first block.
  pool.Intern("another");
  EXPECT_EQ(pool.BlockCount(), 2);
}

TEST(StringPool, QueryMarkerKeepsQueriesApart) {
  CStringPool pool;
  pool.SetQueryMarker(true, true);
  TextHandle q1 = pool.Intern("/a.php?x=1");
  pool.CutAtQuery(q1);
  TextHandle q2 = pool.Intern("/a.php?x=2");
  pool.CutAtQuery(q2);
  TextHandle bare = pool.Intern("/a.php");
  EXPECT_NE(q1, q2);
  EXPECT_NE(bare, q1);
  EXPECT_NE(bare, q2);
  EXPECT_STREQ(pool.Text(q1), "/a.php");
  EXPECT_STREQ(pool.Text(q2), "/a.php");
  EXPECT_STREQ(pool.Text(q1) + strlen(pool.Text(q1)) + 1, "x=1");  // the query stays behind
  EXPECT_EQ(pool.Marker(q1), '?');
  EXPECT_EQ(pool.Marker(bare), 0);
  // The cut keys still compare as their whole text.
  EXPECT_EQ(pool.Intern("/a.php?x=1"), q1);
  EXPECT_EQ(pool.Intern("/a.php"), bare);
  pool.FreeIndex();
  TextHandle again = pool.Intern("/a.php?x=2");
  EXPECT_NE(again, q2);
}

// Pages cut at their query (one with an empty query), an uncut text holding
// '?', the empty text and a text of a block of its own: each comes once, with
// its handle and the text it reads as.
TEST(StringPool, ForEachTextVisitsEveryStoredText) {
  for (bool marked : {false, true}) {
    SCOPED_TRACE(marked ? "marked pool" : "plain pool");
    CStringPool pool;
    pool.SetQueryMarker(marked, true);
    std::string big(20000, 'y');
    std::vector<std::pair<TextHandle, std::string>> want;
    for (const char* t : {"/a.php?x=1", "/a.php", "/b?", "/c?d?e", "", big.c_str(), "/after"}) {
      TextHandle h = pool.Intern(t);
      // Only a marked pool cuts; one of its texts stays whole.
      if (marked && strcmp(t, "/c?d?e") != 0) pool.CutAtQuery(h);
      want.push_back({h, pool.Text(h)});
    }
    EXPECT_EQ(pool.Intern("/a.php"), want[1].first);  // stored once
    std::vector<std::pair<TextHandle, std::string>> got;
    pool.ForEachText([&](TextHandle h, const char* text) { got.push_back({h, text}); });
    // Blocks come in their order; "/after" went back into the first block.
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].first, want[i].first) << i;
      EXPECT_TRUE(got[i].second == want[i].second) << i;  // not printed: one is 20,000 characters
    }
  }
}

TEST(StringPool, ResetStringPoolsTracesAndDropsIndexes) {
  tv::ResetFolders();
  SetEngineTrace([](const char* t) { WriteBugLog(t); });
  std::remove(BugLogPath().c_str());
  TextHandle h = g_pools.agents.Intern("Mozilla/5.0");
  g_pools.pages.Intern("/x");
  ResetStringPools();
  SetEngineTrace(nullptr);
  EXPECT_NE(g_pools.agents.Intern("Mozilla/5.0"), h);
  std::string log = tvtest::ReadFile(BugLogPath());
  EXPECT_EQ(log.rfind("pg sz=", 0), 0u) << log;
}

}  // namespace
