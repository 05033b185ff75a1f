#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/levelfilter.h"
#include "engine/query/pathlist.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "tests/engine/auxfixture.h"
#include "tests/engine/hitmaker.h"

namespace {

using hitmaker::Hit;
using hitmaker::Ip;

class LevelFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_project.Clear();
    g_project.display = CDisplayOptions{};
    g_auxDatabases = CAuxDatabases();
    g_auxDatabases.sites = {auxfixture::Site("Google", 0, {"q="})};
    FreeLanguageTexts();
    g_pools.pages.FreeAll();
    g_pools.pages.SetQueryMarker(true, false);
    g_pathList.Clear();
  }
  void TearDown() override {
    g_pathList.Clear();
    g_project.Clear();
    g_auxDatabases = CAuxDatabases();
    g_pools.pages.SetQueryMarker(false, false);
  }

  hitmaker::Hits hits;
};

// Three visits over a small site. Letters name the hits in log order; the
// first hit of each visit carries the entry mark, as an Entry query leaves it.
class PathFixture : public LevelFilterTest {
 protected:
  void SetUp() override {
    LevelFilterTest::SetUp();
    SetStr(&g_project.url, "http://www.site.com");
    const char* google = "http://www.google.de/search?q=Red+Shoes";
    Add(1, "/index.html", google, kHitSearchEngine | kHitEntryExit);              // a
    Add(1, "/shop/list.html", "http://www.site.com/index.html");                   // b
    Add(1, "/shop/shoes/red.html", "http://www.site.com/shop/list.html");          // c
    Add(1, "/shop/list.html", "http://www.site.com/shop/shoes/red.html", 0, 404);  // d: an error hit
    Add(2, "/shop/list.html", "http://blog.example.org/post", kHitEntryExit);      // e
    Add(2, "/about.html", "https://www.site.com/shop/list.html");                  // f: the site under https
    Add(3, "/about.html", nullptr, kHitEntryExit);                                 // g
    Add(3, "/shop/shoes/blue.html", "https://www.google.com/search?q=RED+SHOES", kHitSearchEngine);  // h
    Add(3, "/index.html", "http://www.site.com/shop/shoes/blue.html");             // i
  }

  void Add(uint32_t visitor, const char* page, const char* referrer, uint8_t flags = 0, uint16_t status = 200) {
    Hit h;
    h.visitor = visitor;
    h.page = page;
    h.referrer = referrer;
    h.flags = flags;
    h.status = status;
    h.seconds = 36000 + 60 * static_cast<uint32_t>(m_hits.size());
    m_hits.push_back(hits.Make(h));
  }

  CHitRecord* At(char name) { return m_hits[static_cast<size_t>(name - 'a')]; }

  // The hits a query of that kind keeps under one level, as the query engine
  // walks them: the Path report first builds the paths (kind 41) under the level.
  std::string Run(int kind, const CLevelFilter& level) {
    g_pathList.Clear();
    if (kind == kReportPath || kind == kReportVisits) {
      std::string built = Pass(kReportVisits, level, true);
      if (kind == kReportVisits) return built;
    } else {
      for (CHitRecord* r : m_hits) g_pathList.AddHit(r->VisitorId(), r);  // paths of an earlier Path query
    }
    return Pass(kind, level, false);
  }

  std::string Pass(int kind, const CLevelFilter& level, bool buildPaths) {
    std::string kept;
    for (size_t i = 0; i < m_hits.size(); ++i) {
      if (LevelFilterMatches(kind, level, m_hits[i]) == 0) continue;
      kept += static_cast<char>('a' + i);
      if (buildPaths) g_pathList.AddHit(m_hits[i]->VisitorId(), m_hits[i]);
    }
    return kept;
  }

  std::vector<CHitRecord*> m_hits;
};

TEST_F(PathFixture, LevelsKeepTheHitsOfTheChosenRow) {
  struct Case {
    int level;   // the level's report kind
    char row;    // the representative record of the chosen row
    int query;   // the kind of the query run under the level
    const char* kept;
  } cases[] = {
      // A folder keeps its hits and those of every folder below it.
      {kReportFolder, 'b', kReportPage, "bcdeh"},
      {kReportFolder, 'c', kReportPage, "ch"},
      // An entry level keeps the marked hits on its page only.
      {kReportEntry, 'e', kReportPage, "e"},
      {kReportEntry, 'a', kReportReferrer, "a"},
      // A page row holds the page's hits apart from its error hits.
      {kReportPage, 'b', kReportReferrer, "be"},
      {kReportPage, 'd', kReportReferrer, "d"},
      // The Path report: only visits that meet the level, and their hits that do.
      {kReportPage, 'b', kReportPath, "be"},
      {kReportEntry, 'a', kReportPath, "a"},        // visit 3 reaches /index.html, but not first
      {kReportFolder, 'c', kReportPath, "ch"},      // visit 3 starts in the root folder
      {kReportKeyword, 'a', kReportPath, "ah"},     // "RED SHOES" is the same keyword
      {kReportSearchEngine, 'a', kReportPath, "ah"},
      // The path-building pass: a page level from its first hit on, an entry level whole visits.
      {kReportPage, 'b', kReportVisits, "bcdef"},
      {kReportEntry, 'a', kReportVisits, "abcd"},
      {kReportEntry, 'g', kReportVisits, "ghi"},
      {kReportFolder, 'c', kReportVisits, "cdhi"},
      // Referrer levels.
      {kReportKeyword, 'a', kReportPage, "ah"},
      {kReportSearchEngine, 'h', kReportPage, "ah"},
      {kReportReferringSite, 'b', kReportPage, "bcdi"},  // not f: the same host under another scheme
      {kReportReferringSite, 'f', kReportPage, "f"},
      {kReportTopDomain, 'e', kReportPage, "e"},
      {kReportTopDomain, 'b', kReportPage, "bcdfhi"},
      {kReportReferrer, 'b', kReportPage, "b"},
      {kReportReferrer, 'g', kReportPage, "g"},  // the row of hits without a referrer
      {kReportReferrerType, 'a', kReportPage, "ah"},
      {kReportReferrerType, 'b', kReportPage, "bcdi"},
      {kReportReferrerType, 'e', kReportPath, "ef"},
      // A visit's path as the key; a Child Pages query is not restricted by its page level.
      {kReportPath, 'f', kReportPage, "ef"},
      {kReportPage, 'b', kReportChildPages, "abcdefghi"},
  };
  for (const Case& c : cases) {
    CLevelFilter level = MakeLevelFilter(static_cast<uint32_t>(c.level), At(c.row));
    EXPECT_EQ(Run(c.query, level), c.kept) << "level " << c.level << " row " << c.row << " query " << c.query;
  }
}

TEST_F(PathFixture, VisitTestDecidesOnlyForPathKindsAndKnownLevels) {
  for (CHitRecord* r : m_hits) g_pathList.AddHit(r->VisitorId(), r);
  int32_t result = 99;
  CLevelFilter page = MakeLevelFilter(kReportPage, At('b'));
  EXPECT_FALSE(PathLevelMatches(kReportPage, At('a'), page, &result)) << "not a path kind";
  EXPECT_TRUE(PathLevelMatches(kReportPath, At('a'), page, &result));
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(PathLevelMatches(kReportPath, At('g'), page, &result));
  EXPECT_NE(result, 0);

  CLevelFilter entry = MakeLevelFilter(kReportEntry, At('a'));
  EXPECT_TRUE(PathLevelMatches(kReportPath, At('i'), entry, &result));
  EXPECT_NE(result, 0);
  CLevelFilter exit = MakeLevelFilter(kReportExit, At('i'));
  EXPECT_TRUE(PathLevelMatches(kReportPath, At('g'), exit, &result));
  EXPECT_EQ(result, 0) << "visit 3 ends on /index.html";

  CLevelFilter host = MakeLevelFilter(kReportHost, At('a'));
  EXPECT_FALSE(PathLevelMatches(kReportPath, At('a'), host, &result)) << "a level the visit test does not cover";
  CLevelFilter type = MakeLevelFilter(kReportReferrerType, At('e'));
  EXPECT_FALSE(PathLevelMatches(kReportPath, At('g'), type, &result)) << "no hit of the class: no decision";

  Hit stranger;
  stranger.visitor = 77;
  EXPECT_FALSE(PathLevelMatches(kReportPath, hits.Make(stranger), page, &result)) << "a visitor without a path";

  struct Kind {
    int query, level;
    bool path;
  } kinds[] = {
      {kReportPath, kReportPage, true},       {kReportVisits, kReportReferrer, true},
      {kReportPath, kReportKeyword, true},    {kReportPath, kReportSearchEngine, true},
      {kReportPath, kReportReferringSite, true}, {kReportPath, kReportEntry, true},
      {kReportPath, kReportExit, true},       {kReportPath, kReportFolder, true},
      {kReportPath, kReportTopDomain, true},  {kReportPath, kReportReferrerType, true},
      {kReportPath, kReportSpider, false},    {kReportPath, kReportHost, false},
      {kReportPage, kReportPage, false},      {kReportChildPages, kReportFolder, false},
  };
  for (const Kind& k : kinds) {
    CLevelFilter f;
    f.kind = static_cast<uint32_t>(k.level);
    EXPECT_EQ(IsPathFilterKind(k.query, f), k.path) << k.query << "/" << k.level;
  }
}

TEST_F(LevelFilterTest, EachKindComparesItsOwnKey) {
  g_auxDatabases.os = {auxfixture::Os("Windows NT 10", "Windows 10"), auxfixture::Os("Linux", "Linux")};
  g_auxDatabases.browsers = {auxfixture::Browser(0, "Firefox", "Firefox"), auxfixture::Browser(0, "Opera", "Opera")};
  g_auxDatabases.robots = {auxfixture::Robot("Crawler", "crawl"), auxfixture::Robot("Other", "other")};
  auxfixture::SetGeoNames(kGeoCountry, {"deGermany", "frFrance"});
  auxfixture::SetGeoRanges(kGeoCountry, 10,
                           {{Ip(10, 0, 0, 0), 0, auxfile::kNoName, auxfile::kNoName},
                            {Ip(10, 128, 0, 0), 1, auxfile::kNoName, auxfile::kNoName}});

  Hit base;
  base.page = "/a/b.HTML";
  base.address = Ip(10, 1, 1, 1);
  base.seconds = 9 * 3600 + 5;
  base.agent = "Mozilla (Windows NT 10.0) Firefox";
  base.user = "bob";
  base.subdomain = "shop";
  base.visitor = 4;
  base.group = 1;
  struct Case {
    int kind;
    Hit hit;  // differs from base in the field the kind compares, or not
    bool match;
  };
  auto with = [&](auto change) {
    Hit h = base;
    change(h);
    return h;
  };
  const Case cases[] = {
      {kReportHost, base, true},
      {kReportHost, with([](Hit& h) { h.address = Ip(10, 1, 1, 2); }), false},
      {kReportCountry, with([](Hit& h) { h.address = Ip(10, 2, 0, 0); }), true},
      {kReportCountry, with([](Hit& h) { h.address = Ip(10, 200, 0, 0); }), false},
      {kReportOs, with([](Hit& h) { h.agent = "Opera (Windows NT 10.0)"; }), true},
      {kReportOs, with([](Hit& h) { h.agent = "Mozilla (Linux) Firefox"; }), false},
      {kReportOs, with([](Hit& h) { h.agent = nullptr; }), false},
      {kReportBrowser, with([](Hit& h) { h.agent = "Mozilla (Linux) Firefox"; }), true},
      {kReportBrowser, with([](Hit& h) { h.agent = "Opera (Windows NT 10.0)"; }), false},
      {kReportHour, with([](Hit& h) { h.seconds = 9 * 3600 + 3599; }), true},
      {kReportHour, with([](Hit& h) { h.seconds = 10 * 3600; }), false},
      {kReportWeekday, with([](Hit& h) { h.day = 12; }), true},  // a week later
      {kReportWeekday, with([](Hit& h) { h.day = 6; }), false},
      {kReportGroup, with([](Hit& h) { h.page = "/z"; }), true},
      {kReportGroup, with([](Hit& h) { h.group = 2; }), false},
      {kReportFileType, with([](Hit& h) { h.page = "/x/y.html?q=1"; }), true},
      {kReportFileType, with([](Hit& h) { h.page = "/x/y.htm"; }), false},
      {kReportMonth, with([](Hit& h) { h.year = 2003; }), true},
      {kReportMonth, with([](Hit& h) { h.month = 4; }), false},
      {kReportVisitor, with([](Hit& h) { h.page = "/z"; }), true},
      {kReportVisitor, with([](Hit& h) { h.visitor = 5; }), false},
      {kReportUser, with([](Hit& h) { h.user = "ann"; }), false},
      {kReportUser, with([](Hit& h) { h.user = nullptr; }), false},
      {kReportStatus, with([](Hit& h) { h.status = 404; }), false},
      {kReportDate, with([](Hit& h) { h.seconds = 0; }), true},
      {kReportDate, with([](Hit& h) { h.year = 2005; }), false},
      {kReportSubdomain, with([](Hit& h) { h.subdomain = "www"; }), false},
      {kReportCity, with([](Hit& h) { h.address = Ip(10, 3, 0, 0); }), true},
      {kReportRegion, with([](Hit& h) { h.address = Ip(10, 200, 0, 0); }), false},
      {kReportArgument, with([](Hit& h) { h.page = "/x?ID=7"; }), false},  // no query flag
      // Kinds without a key of their own restrict nothing.
      {kReportSpiderTree, with([](Hit& h) { h.address = 1; }), true},
      {kReportSummary, with([](Hit& h) { h.address = 1; }), true},
      {kReportErrorCode, with([](Hit& h) { h.status = 500; }), true},
      {42, with([](Hit& h) { h.address = 1; }), true},
  };
  for (const Case& c : cases) {
    CLevelFilter level = MakeLevelFilter(static_cast<uint32_t>(c.kind), hits.Make(base));
    EXPECT_EQ(LevelFilterMatches(kReportPage, level, hits.Make(c.hit)), c.match ? 1 : 0) << "kind " << c.kind;
  }

  // Queries, spiders and pages that count up to their query part.
  Hit q1 = base, q2 = base;
  q1.page = "/x?id=7";
  q2.page = "/y?ID=7";
  q1.flags = q2.flags = kHitQuery;
  CLevelFilter argument = MakeLevelFilter(kReportArgument, hits.Make(q1));
  EXPECT_EQ(LevelFilterMatches(kReportPage, argument, hits.Make(q2)), 1);
  Hit q3 = q1;
  q3.page = "/x?id=8";
  CLevelFilter page = MakeLevelFilter(kReportPage, hits.Make(q1));
  EXPECT_EQ(LevelFilterMatches(kReportPage, page, hits.Make(q3)), 0);
  EXPECT_EQ(LevelFilterMatches(kReportArgument, page, hits.Make(q3)), 1) << "the Argument report's pages end at '?'";

  Hit s1 = base, s2 = base;
  s1.flags = s2.flags = kHitRobot;
  s2.index = 1;
  CLevelFilter spider = MakeLevelFilter(kReportSpider, hits.Make(s1));
  EXPECT_EQ(LevelFilterMatches(kReportPage, spider, hits.Make(s1)), 1);
  EXPECT_EQ(LevelFilterMatches(kReportPage, spider, hits.Make(s2)), 0);
  EXPECT_EQ(LevelFilterMatches(kReportPage, spider, hits.Make(base)), 0) << "not a spider hit";
  CLevelFilter spiderAgent = MakeLevelFilter(kReportSpiderAgent, hits.Make(s2));
  EXPECT_EQ(LevelFilterMatches(kReportPage, spiderAgent, hits.Make(s2)), 1);

  // Case of folders follows case_page.
  Hit upper = base;
  upper.page = "/A/c.html";
  CLevelFilter folder = MakeLevelFilter(kReportFolder, hits.Make(base));
  EXPECT_EQ(LevelFilterMatches(kReportPage, folder, hits.Make(upper)), 0);
  g_project.display.case_page = 1;
  EXPECT_EQ(LevelFilterMatches(kReportPage, folder, hits.Make(upper)), 1);
}

TEST_F(LevelFilterTest, LevelKeepsTheWholeRecord) {
  Hit full;
  full.referrer = "http://r.example/";
  full.agent = "Agent";
  full.cookie = "id=1";
  full.host = "h.example";
  full.user = "bob";
  full.received = 1234;
  full.subdomain = "shop";
  const CHitRecord* r = hits.Make(full);
  ASSERT_EQ(r->GetSize(), CHitRecord::kMaxSize);
  CLevelFilter level = MakeLevelFilter(kReportSubdomain, r, -1);
  EXPECT_EQ(level.rowFlags, -1);
  EXPECT_EQ(level.Record()->GetSubdomain(), r->GetSubdomain());
  EXPECT_EQ(memcmp(level.record, r, CHitRecord::kMaxSize), 0);

  Hit same = full, other = full;
  other.subdomain = "www";
  EXPECT_EQ(LevelFilterMatches(kReportPage, level, hits.Make(same)), 1);
  EXPECT_EQ(LevelFilterMatches(kReportPage, level, hits.Make(other)), 0);
  EXPECT_TRUE(MakeLevelFilter(kReportSubdomain, r, -1) == level);

  Hit small;
  CLevelFilter shortLevel = MakeLevelFilter(kReportPage, hits.Make(small));
  for (size_t i = CHitRecord::kHeadSize; i < CHitRecord::kMaxSize; ++i) EXPECT_EQ(shortLevel.record[i], 0);
}

TEST_F(LevelFilterTest, RecordComparatorsOfPathsAndSubdomains) {
  auto make = [&](uint32_t visitor, const char* page, const char* sub = nullptr) {
    Hit h;
    h.visitor = visitor;
    h.page = page;
    h.subdomain = sub;
    CHitRecord* r = hits.Make(h);
    g_pathList.AddHit(visitor, r);
    return r;
  };
  CHitRecord* a1 = make(1, "/a");
  make(1, "/b");
  CHitRecord* b1 = make(2, "/a");
  make(2, "/b");
  make(2, "/c");
  CHitRecord* c1 = make(3, "/a");
  make(3, "/b");
  Hit lone;
  lone.visitor = 9;
  EXPECT_EQ(CompareRecordsByPath(a1, c1), 0);
  EXPECT_EQ(CompareRecordsByPath(a1, b1), 1) << "the longer path first";
  EXPECT_EQ(CompareRecordsByPath(b1, a1), -1);
  EXPECT_EQ(CompareRecordsByPath(a1, hits.Make(lone)), 0);

  EXPECT_EQ(CompareRecordsBySubdomain(make(4, "/", "-"), make(5, "/")), 0) << "a missing subdomain is \"-\"";
  EXPECT_EQ(CompareRecordsBySubdomain(make(4, "/", "a"), make(5, "/", "b")), -1);
}

}  // namespace
