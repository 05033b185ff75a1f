#include <gtest/gtest.h>

#include "engine/display/display.h"
#include "engine/query/summary.h"
#include "tests/engine/queryfixture.h"

namespace {

class SummaryTest : public queryfixture::QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    g_project.groups.Insert(0, "Pages", ".html", kGroupPages);
    g_project.first_date = PackDate(5, 3, 2004);
    g_project.first_time = 3600;
    g_project.last_date = PackDate(7, 4, 2004);
    g_project.last_time = 50200;
  }
};

TEST_F(SummaryTest, CountsEveryTotalInOnePass) {
  CSummaryStats s;
  ASSERT_EQ(RunSummaryQuery(g_project, s, All()), 1);
  EXPECT_EQ(s.hits, 17u);
  EXPECT_EQ(s.bytesSent, 25630u);
  EXPECT_EQ(s.errors, 3u);
  EXPECT_EQ(s.hosts, 3u);
  EXPECT_EQ(s.visitors, 3u);
  EXPECT_EQ(s.pages, 11u);  // as the Page rows: spider and error hits apart
  EXPECT_EQ(s.keywords, 1u);
  EXPECT_EQ(s.searchEngines, 1u);
  EXPECT_EQ(s.spiders, 1u);
  EXPECT_EQ(s.referringSites, 5u);
  EXPECT_EQ(s.referrers, 7u);
  EXPECT_EQ(s.countries, 1u);
  // Visitor 3's first hit is in no group: its entry page is its next one.
  EXPECT_EQ(s.entryPages, 3u);
  EXPECT_EQ(s.pageViews, 13u);
  EXPECT_EQ(s.firstDate, PackDate(5, 3, 2004));
  EXPECT_EQ(s.lastTime, 50200u);
  EXPECT_EQ(s.params.kind, 31u);
}

TEST_F(SummaryTest, EqualParametersAreNotRunAgain) {
  CSummaryStats s;
  CQueryParams p = All();
  ASSERT_EQ(RunSummaryQuery(g_project, s, p), 1);
  s.hits = 99;
  EXPECT_EQ(RunSummaryQuery(g_project, s, p), 0);
  EXPECT_EQ(s.hits, 99u);
  p.levelCount = 1;  // levels play no part
  EXPECT_EQ(RunSummaryQuery(g_project, s, p), 0);
  p.spidersOn = 0;
  EXPECT_EQ(RunSummaryQuery(g_project, s, p), 1);
  EXPECT_EQ(s.hits, 13u);
  g_project.int_reff = 0;  // the site's own referrers go
  EXPECT_EQ(RunSummaryQuery(g_project, s, p), 1);
  EXPECT_EQ(s.referrers, 4u);
}

TEST_F(SummaryTest, WithTheOptionsCopiedOnlyDatesAndGroupsFilter) {
  g_project.options_copied = 1;
  Add(1, 'r', {"", hitmaker::Ip(1, 2, 3, 4)}, 7);
  CQueryParams p = All();
  p.spidersOn = 0;  // not consulted now
  CSummaryStats s;
  RunSummaryQuery(g_project, s, p);
  EXPECT_EQ(s.hits, 18u);
  EXPECT_EQ(s.pages, 11u);
  EXPECT_EQ(s.bytesSent, 25637u);
  EXPECT_EQ(s.pageViews, 11u);  // spider hits are no page views; the new hit is one
}

TEST_F(SummaryTest, ByteSumsDoNotWrap) {
  for (int i = 0; i < 3; ++i) Add(1, 'r', {"/big.zip", hitmaker::Ip(1, 2, 3, 4)}, 0xF0000000u);
  CSummaryStats s;
  RunSummaryQuery(g_project, s, All());
  EXPECT_EQ(s.bytesSent, 25630u + 3ull * 0xF0000000u);
}

TEST_F(SummaryTest, EmptyProjectCountsNothing) {
  for (int i = 0; i < g_project.sources.Count(); ++i) g_project.sources[i].records.Free();
  BumpQueryGeneration();
  CSummaryStats s;
  ASSERT_EQ(RunSummaryQuery(g_project, s, All()), 1);
  EXPECT_EQ(s.hits, 0u);
  EXPECT_EQ(s.pages, 0u);
  EXPECT_EQ(s.entryPages, 0u);
  EXPECT_EQ(s.bytesSent, 0u);
  EXPECT_EQ(s.firstDate, PackDate(5, 3, 2004));
}

TEST_F(SummaryTest, KeywordTextComparison) {
  EXPECT_EQ(CompareRecordsByKeywordText(H('a'), H('h')), 0);  // FormatKeyText lowers both
  EXPECT_NE(CompareRecordsByKeywordText(H('a'), H('b')), 0);
}

}  // namespace
