#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/display/display.h"
#include "engine/query/levelfilter.h"
#include "engine/query/query.h"
#include "engine/query/recordtree.h"
#include "engine/store/reportkind.h"
#include "tests/engine/queryfixture.h"

namespace {

using queryfixture::QueryFixture;

struct Expected {
  int kind;
  int32_t rows;
  uint32_t hits, visitors, pages;
  uint64_t bytes;
};

// Worked out by hand from the fixture's seventeen hits (25,630 bytes).
const Expected kTable[] = {
    {kReportPage, 11, 17, 12, 0, 25630},
    {kReportHost, 3, 17, 0, 10, 25630},
    {kReportReferrer, 7, 17, 9, 13, 25630},
    // Two search-engine hits; the visitor's five later hits add their bytes.
    {kReportKeyword, 1, 2, 1, 1, 7600},
    {kReportSearchEngine, 1, 2, 1, 1, 7600},
    {kReportReferringSite, 5, 17, 8, 13, 25630},
    {kReportCountry, 1, 17, 3, 8, 25630},
    {kReportOs, 3, 13, 3, 7, 23500},
    {kReportBrowser, 4, 17, 4, 10, 25630},
    {kReportHour, 4, 17, 5, 13, 25630},
    {kReportEntry, 3, 3, 3, 0, 4050},
    {kReportExit, 3, 3, 3, 0, 2000},
    {kReportWeekday, 4, 17, 6, 12, 25630},
    {kReportGroup, 4, 17, 7, 0, 25630},
    {kReportFileType, 4, 17, 7, 8, 25630},
    {kReportFolder, 1, 17, 3, 8, 25630},
    {kReportTopDomain, 4, 17, 7, 13, 25630},
    {kReportMonth, 2, 17, 4, 9, 25630},
    {kReportVisitor, 3, 17, 0, 10, 25630},
    {kReportUser, 2, 17, 4, 9, 25630},
    {kReportStatus, 3, 17, 6, 10, 25630},
    {kReportPath, 3, 17, 3, 0, 25630},
    {kReportSpiderTree, 4, 4, 0, 0, 2130},
    {kReportSpider, 1, 4, 0, 3, 2130},
    {kReportDate, 4, 17, 6, 12, 25630},
    {kReportSubdomain, 1, 17, 3, 8, 25630},
    {kReportChildPages, 0, 0, 0, 0, 0},
    {kReportArgument, 1, 1, 1, 1, 400},
    {kReportReferrerType, 5, 17, 7, 13, 25630},
    {kReportError, 2, 3, 3, 3, 180},
    {kReportSpiderAgent, 1, 4, 1, 3, 2130},
    {kReportErrorCode, 2, 3, 3, 3, 180},
    {kReportDownloadManager, 4, 17, 4, 10, 25630},
    {kReportVisits, 0, 0, 0, 0, 0},
    {kReportItems, 17, 17, 0, 0, 25630},
};

TEST_F(QueryFixture, EveryKindGivesItsRowsAndTotals) {
  for (const Expected& e : kTable) {
    SCOPED_TRACE("kind " + std::to_string(e.kind));
    CRowTable table;
    EXPECT_EQ(RunQuery(g_project, e.kind, table, All()), 1);
    EXPECT_EQ(table.RowCount(), e.rows);
    EXPECT_EQ(table.totals.hits, e.hits);
    EXPECT_EQ(table.totals.visitors, e.visitors);
    EXPECT_EQ(table.totals.pages, e.pages);
    EXPECT_EQ(table.totals.bytesSent, e.bytes);
    EXPECT_EQ(table.params.kind, static_cast<uint32_t>(e.kind));
  }
}

TEST_F(QueryFixture, PageRowsKeepSpiderAndErrorHitsApart) {
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  std::vector<std::string> index;
  for (int32_t i = 0; i < table.RowCount(); ++i) {
    CRow* row = table.GetRow(i);
    if (std::string(row->Record()->PageText()) == "/index.html")
      index.push_back(std::to_string(row->Hits()) + ((row->Record()->Flags() & kHitRobot) ? " spider" : ""));
    if (std::string(row->Record()->PageText()) == "/shop.html")
      index.push_back(std::to_string(row->Hits()) + (row->Record()->Status() == 404 ? " error" : ""));
  }
  EXPECT_EQ(index, (std::vector<std::string>{"3", "2", "1 error", "2 spider"}));
}

TEST_F(QueryFixture, KeywordRowGetsTheVisitorsLaterBytesAndGroupsButNotTheirHits) {
  CRowTable table;
  RunQuery(g_project, kReportKeyword, table, All());
  ASSERT_EQ(table.RowCount(), 1);
  CRow* row = table.GetRow(0);
  EXPECT_EQ(row->Record(), H('a'));
  EXPECT_EQ(row->Hits(), 2u);
  EXPECT_EQ(row->GroupHits(0), 6u);  // a, h and the credited b, d, n, o
  EXPECT_EQ(row->GroupHits(1), 1u);  // c
  EXPECT_EQ(row->GroupBytes(1), 500u);
  char text[kUrlTextSize];
  EXPECT_STREQ(GetHitFieldText(kReportKeyword, text, row->Record(), sizeof text, false), "red shoes");
}

TEST_F(QueryFixture, KeywordHitsBeforeAnySearchEngineHitAddNothing) {
  // Visitor 1's first search-engine hit comes last now: only h counts, with the
  // bytes of n and o that follow it.
  H('a')->SetFlags(H('a')->Flags() & ~kHitSearchEngine);
  CRowTable table;
  RunQuery(g_project, kReportKeyword, table, All());
  ASSERT_EQ(table.RowCount(), 1);
  EXPECT_EQ(table.GetRow(0)->Hits(), 1u);
  EXPECT_EQ(table.GetRow(0)->BytesSent(), 1000u + 2000u + 1000u);
}

TEST_F(QueryFixture, EntryAndExitMarkOnlyTheirOwnQuerysHits) {
  auto marked = [&] {
    std::string s;
    for (char c = 'a'; c <= 'q'; ++c)
      if (H(c)->Flags() & kHitEntryExit) s += c;
    return s;
  };
  H('f')->SetFlags(H('f')->Flags() | kHitEntryExit);  // a stale mark
  CRowTable entry, exit;
  RunQuery(g_project, kReportEntry, entry, All());
  EXPECT_EQ(marked(), "aei");
  RunQuery(g_project, kReportExit, exit, All());
  EXPECT_EQ(marked(), "opq");
  // The Exit rows are the pages of o, q and p, one visit each.
  ASSERT_EQ(exit.RowCount(), 3);
  EXPECT_EQ(exit.GetRow(0)->Record(), H('o'));
  EXPECT_EQ(exit.GetRow(1)->Record(), H('q'));
  EXPECT_EQ(exit.GetRow(2)->Record(), H('p'));
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(exit.GetRow(i)->Visitors(), 1u);
}

TEST_F(QueryFixture, EntryExtraColumnsCountIntoThePageRows) {
  // The first pass counts the columns by visit; they must reach the page rows
  // that replace the visit rows.
  CRowTable table;
  const uint32_t extras[] = {kPairHost, kPairPage, 0};
  RunQuery(g_project, kReportEntry, table, All(), extras);
  ASSERT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.KeyCount(), 2u);
  // Each visit's hosts and pages count into its entry row.
  EXPECT_EQ(*table.RowField(table.GetRow(0), 0), 1u);  // visitor 1's host
  EXPECT_EQ(*table.RowField(table.GetRow(0), 1), 3u);  // index, shop, logo
  EXPECT_EQ(*table.RowField(table.GetRow(1), 1), 4u);  // about, find, logo, dl
  EXPECT_EQ(table.totals.extra[0], 3u);
  EXPECT_EQ(table.totals.extra[1], 10u);
}

TEST_F(QueryFixture, MonthRowJoinsYears) {
  CRowTable table;
  RunQuery(g_project, kReportMonth, table, All());
  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.GetRow(0)->Hits(), 14u);  // March 2004 and March 2005
  EXPECT_EQ(table.GetRow(1)->Hits(), 3u);
}

TEST_F(QueryFixture, FiltersOfTheParameters) {
  struct Case {
    const char* what;
    void (*set)(CQueryParams&);
    int kind;
    uint32_t hits;
  } cases[] = {
      {"no spiders", [](CQueryParams& p) { p.spidersOn = 0; }, kReportHost, 13},
      {"no humans", [](CQueryParams& p) { p.humansOn = 0; }, kReportHost, 4},
      {"no errors", [](CQueryParams& p) { p.errorsOn = 0; }, kReportPage, 14},
      {"errors only", [](CQueryParams& p) { p.successOn = 0; }, kReportPage, 3},
      {"default groups", [](CQueryParams& p) { p.groupOn[8] = 0; }, kReportHost, 16},
      {"group 1 off", [](CQueryParams& p) { p.groupOn[1] = 0; }, kReportHost, 15},
      {"from 6 March 2004", [](CQueryParams& p) { p.dateFromOn = 1, p.dateFrom = PackDate(6, 3, 2004); }, kReportHost,
       6},
      {"to 6 March 2004", [](CQueryParams& p) { p.dateToOn = 1, p.dateTo = PackDate(6, 3, 2004); }, kReportHost, 13},
      {"browsers only", [](CQueryParams& p) { p.browserClass1On = 0, p.otherAgentsOn = 0, p.spidersOn = 0; },
       kReportBrowser, 12},
      {"download managers", [](CQueryParams& p) { p.browserClass0On = 0, p.spidersOn = 0; }, kReportDownloadManager, 1},
      {"spider kind ignores spider switch", [](CQueryParams& p) { p.spidersOn = 0; }, kReportSpider, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CQueryParams p = queryfixture::QueryFixture::All();
    c.set(p);
    CRowTable table;
    RunQuery(g_project, c.kind, table, p);
    EXPECT_EQ(table.totals.hits, c.hits);
  }
}

TEST_F(QueryFixture, ReferrerOptions) {
  CRowTable table;
  g_project.int_reff = 0;  // hits from the site's own pages go
  RunQuery(g_project, kReportReferrer, table, All());
  EXPECT_EQ(table.totals.hits, 13u);
  g_project.reff_se = 0;  // and so do search-engine hits
  RunQuery(g_project, kReportReferrer, table, All());
  EXPECT_EQ(table.totals.hits, 11u);
  g_settings.no_refer = 0;  // and hits without a referrer
  RunQuery(g_project, kReportReferringSite, table, All());
  EXPECT_EQ(table.totals.hits, 2u);
}

TEST_F(QueryFixture, LevelsRestrictTheHits) {
  CQueryParams p = All();
  // Two levels of one kind: only the deeper one counts.
  p.levelCount = 2;
  p.levels[0] = MakeLevelFilter(kReportHost, H('a'));
  p.levels[1] = MakeLevelFilter(kReportHost, H('e'));
  CRowTable table;
  RunQuery(g_project, kReportPage, table, p);
  EXPECT_EQ(table.totals.hits, 6u);  // visitor 2's hits
  // One level with two alternatives takes the hits of either row.
  CLevelFilter both[2] = {MakeLevelFilter(kReportHost, H('a')), MakeLevelFilter(kReportHost, H('i'))};
  p.levelCount = 1;
  p.levels[0] = both[0];
  p.alternatives[0] = {2, both};
  RunQuery(g_project, kReportPage, table, p);
  EXPECT_EQ(table.totals.hits, 11u);
  // Child pages of /index.html: the hits referred from it.
  CQueryParams child = All();
  child.levelCount = 1;
  child.levels[0] = MakeLevelFilter(kReportPage, H('a'));
  RunQuery(g_project, kReportChildPages, table, child);
  EXPECT_EQ(table.totals.hits, 2u);  // b and n
  EXPECT_EQ(table.RowCount(), 1);
}

TEST_F(QueryFixture, ArgumentsWithIgnoredQueriesCountTheQueryFlagOnly) {
  g_project.display.ignore_argm = 1;
  CQueryParams p = All();
  p.dateToOn = 1;
  p.dateTo = PackDate(1, 1, 2000);  // every hit is later
  CRowTable table;
  RunQuery(g_project, kReportArgument, table, p);
  EXPECT_EQ(table.totals.hits, 1u);
}

TEST_F(QueryFixture, CachedResultIsKeptUntilSomethingItDependsOnChanges) {
  CRowTable table;
  CQueryParams p = All();
  ASSERT_EQ(RunQuery(g_project, kReportPage, table, p), 1);
  CRow* first = table.GetRow(0);
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 0);
  EXPECT_EQ(table.GetRow(0), first);
  table.Free();  // a table emptied by its owner is filled again
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 1);
  EXPECT_EQ(table.RowCount(), 11);

  const uint32_t extras[] = {kPairHost, 0};
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p, extras), 1);
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p, extras), 0);
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 1);

  struct Change {
    const char* what;
    void (*apply)();
  } changes[] = {
      {"case_page", [] { g_project.display.case_page = 1; }},
      {"int_reff", [] { g_project.int_reff = 0; }},
      {"reff_se", [] { g_project.reff_se = 0; }},
      {"ignore_argm", [] { g_project.display.ignore_argm = 1; }},
      {"no_refer", [] { g_settings.no_refer = 0; }},
      {"session", [] { g_project.session = 5; }},
      {"not_use_cookie", [] { g_project.display.not_use_cookie = 1; }},
      {"a load", [] { BumpQueryGeneration(); }},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    c.apply();
    EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 1);
    EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 0);
  }
  EXPECT_EQ(RunQuery(g_project, kReportHost, table, p), 1);  // another kind

  // Alternatives are part of the result.
  CLevelFilter alts[2] = {MakeLevelFilter(kReportHost, H('a')), MakeLevelFilter(kReportHost, H('e'))};
  p.levelCount = 1;
  p.levels[0] = alts[0];
  p.alternatives[0] = {2, alts};
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 1);
  EXPECT_EQ(table.totals.hits, 13u);
  alts[1] = MakeLevelFilter(kReportHost, H('i'));
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, p), 1);
  EXPECT_EQ(table.totals.hits, 11u);
}

TEST_F(QueryFixture, StopFlagEndsTheRunWithoutKeepingIt) {
  CRowTable table;
  RequestStop();
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, All()), 1);
  EXPECT_EQ(table.RowCount(), 0);
  ClearStop();
  EXPECT_EQ(RunQuery(g_project, kReportPage, table, All()), 1);
  EXPECT_EQ(table.RowCount(), 11);
}

TEST_F(QueryFixture, LevelCountIsClampedAndAgentSwitchesDefaultOn) {
  CQueryParams p;
  EXPECT_EQ(p.browserClass0On, 1u);
  EXPECT_EQ(p.browserClass1On, 1u);
  EXPECT_EQ(p.otherAgentsOn, 1u);
  EXPECT_EQ(p.groupOn[8], 0u);
  p.levelCount = 40;
  CRowTable table;
  EXPECT_EQ(RunQuery(g_project, kReportHost, table, p), 1);
  EXPECT_EQ(table.params.levelCount, 5);
  p.levelCount = -3;
  EXPECT_EQ(RunQuery(g_project, kReportHost, table, p), 1);
  EXPECT_EQ(table.params.levelCount, 0);
  EXPECT_EQ(table.totals.hits, 16u);
}

TEST_F(QueryFixture, EmptyProjectGivesAnEmptyTable) {
  g_project.Clear();
  for (const Expected& e : kTable) {
    CRowTable table;
    RunQuery(g_project, e.kind, table, All());
    EXPECT_EQ(table.RowCount(), 0);
    EXPECT_EQ(table.totals.hits, 0u);
    EXPECT_EQ(table.totals.bytesSent, 0u);
  }
}

TEST_F(QueryFixture, ComparatorsPutMissingValuesLast) {
  EXPECT_GT(CompareRecordsByReferrer(H('d'), H('a')), 0);
  EXPECT_LT(CompareRecordsByReferrer(H('a'), H('d')), 0);
  EXPECT_EQ(CompareRecordsByReferrer(H('d'), H('f')), 0);
  EXPECT_GT(CompareRecordsByReferringSite(H('d'), H('b')), 0);
  EXPECT_EQ(CompareRecordsByReferringSite(H('b'), H('c')), 0);
  EXPECT_EQ(CompareRecordsByKeyword(H('a'), H('h')), 0);
  EXPECT_EQ(CompareRecordsBySearchEngine(H('a'), H('h')), 0);
  EXPECT_GT(CompareRecordsByUserName(H('a'), H('o')), 0);
  EXPECT_EQ(CompareRecordsByMonth(H('a'), H('o')), 0);
  EXPECT_NE(CompareRecordsByDate(H('a'), H('o')), 0);
  EXPECT_NE(CompareRecordsByPage(H('b'), H('d')), 0);  // same page, one an error
  EXPECT_NE(CompareRecordsByPage(H('a'), H('j')), 0);  // same page, one a spider
  EXPECT_EQ(CompareRecordsByFileType(H('a'), H('f')), 0);
  EXPECT_EQ(CompareRecordsByBrowser(H('i'), H('j')), 0);
  EXPECT_NE(CompareRecordsByBrowser(H('a'), H('e')), 0);
  EXPECT_EQ(CompareRecordsByOperatingSystem(H('a'), H('b')), 0);
  EXPECT_EQ(CompareRecordsByHour(H('a'), H('d')), 0);
  EXPECT_EQ(CompareRecordsByError(H('d'), H('k')), 0);
  g_project.display.case_page = 1;
  CHitRecord* upper = hits.Make({"/INDEX.html"});
  CHitRecord* lower = hits.Make({"/index.html"});
  EXPECT_EQ(CompareRecordsByPage(upper, lower), 0);
  g_project.display.case_page = 0;
  EXPECT_NE(CompareRecordsByPage(upper, lower), 0);
}

TEST_F(QueryFixture, PageCaseRuleJoinsRows) {
  Add(1, 'r',
      {"/INDEX.HTML", hitmaker::Ip(1, 2, 3, 4), nullptr, 6, 3, 2004, 41200, 200, 0, 0, 1, 0, nullptr,
       queryfixture::kFirefox},
      0);
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  EXPECT_EQ(table.RowCount(), 12);
  g_project.display.case_page = 1;
  RunQuery(g_project, kReportPage, table, All());
  EXPECT_EQ(table.RowCount(), 11);
}

TEST_F(QueryFixture, VisitorsWithTheSamePageSequenceShareAPathRow) {
  auto visit = [&](char name, uint32_t visitor, const char* page, uint32_t seconds) {
    Add(1, name,
        {page, hitmaker::Ip(10, 0, 0, static_cast<uint8_t>(visitor)), nullptr, 8, 4, 2004, seconds, 200, 0, 0, visitor,
         0, nullptr, queryfixture::kOpera},
        10);
  };
  visit('r', 4, "/about.html", 100);
  visit('s', 4, "/shop.html", 200);
  visit('t', 5, "/about.html", 300);
  visit('u', 5, "/shop.html", 400);
  visit('v', 6, "/shop.html", 500);  // the same pages the other way round
  visit('w', 6, "/about.html", 600);
  CRowTable table;
  RunQuery(g_project, kReportPath, table, All());
  ASSERT_EQ(table.RowCount(), 5);
  int joined = 0;
  for (int32_t i = 0; i < table.RowCount(); ++i) {
    const CRow* row = table.GetRow(i);
    if (row->Visitors() == 2) {
      ++joined;
      EXPECT_EQ(row->Hits(), 4u);
    }
  }
  EXPECT_EQ(joined, 1);
}

}  // namespace
