#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <string>

#include "engine/readers/linecommit.h"
#include "tests/common/testenv.h"
#include "tests/engine/readtest.h"

namespace {

using readtest::Text;

class LineCommit : public ::testing::Test {
 protected:
  void SetUp() override { readtest::ResetLoadState(); }
  void TearDown() override { readtest::ResetLoadState(); }

  // Reserves a record for a line of the given date and time with page "/p".
  CHitRecord* Line(unsigned day, unsigned month, unsigned year, uint32_t seconds = 0) {
    CHitRecord* r = store.NewRecord();
    r->SetDate(day, month, year);
    r->SetSeconds(seconds);
    SetText(&g_line.page, &g_line.pageLen, "/p");
    return r;
  }
  // Points a g_line text at a copy that lives as long as the test.
  void SetText(const char** p, size_t* len, const std::string& text) {
    texts.push_back(text);
    *p = texts.back().data();
    *len = texts.back().size();
  }
  // Commits and returns the record, or null when the line was dropped.
  CHitRecord* Commit() {
    uint64_t n = store.RecordCount();
    CommitLogLine(&store);
    return store.RecordCount() > n ? store.Last() : nullptr;
  }
  void AddFilter(uint16_t type, bool include, const char* text = nullptr, int16_t status = 0, int16_t status2 = 0,
                 uint32_t ip1 = 0, uint32_t ip2 = 0, uint16_t method = 0) {
    CFilter f;
    f.type = type;
    f.include = include;
    f.text = text ? strdup(text) : nullptr;
    f.status = status;
    f.status2 = status2;
    f.ip1 = ip1;
    f.ip2 = ip2;
    f.method = method;
    g_project.filters.Add(f);
  }

  CHitStore store;
  std::list<std::string> texts;
};

TEST_F(LineCommit, RepairsDates) {
  struct Case {
    unsigned day, month, year;
    uint32_t seconds;
    unsigned wantDay, wantMonth, wantYear;
    uint32_t wantSeconds;
  } cases[] = {
      {5, 6, 99, 10, 5, 6, 1999, 10},        {5, 6, 4, 10, 5, 6, 2004, 10},
      {5, 6, 80, 10, 5, 6, 2080, 10},        {5, 6, 81, 10, 5, 6, 1981, 10},
      {0, 13, 2004, 86400, 1, 1, 2004, 0},   {32, 0, 2004, 86399, 1, 1, 2004, 86399},
  };
  for (const Case& c : cases) {
    ResetCommitState();
    Line(c.day, c.month, c.year, c.seconds);
    CHitRecord* r = Commit();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Day(), c.wantDay) << c.year;
    EXPECT_EQ(r->Month(), c.wantMonth) << c.year;
    EXPECT_EQ(r->Year(), c.wantYear) << c.year;
    EXPECT_EQ(r->Seconds(), c.wantSeconds) << c.year;
  }
}

TEST_F(LineCommit, OldYearTakesThePreviousLinesYear) {
  Line(1, 1, 1985);
  EXPECT_EQ(Commit()->Year(), 1985);  // the first line of a load keeps its year
  Line(1, 1, 2004);
  Commit();
  Line(1, 1, 1970);
  EXPECT_EQ(Commit()->Year(), 2004);
  ResetCommitState();
  Line(1, 1, 1970);
  EXPECT_EQ(Commit()->Year(), 1970);
}

TEST_F(LineCommit, DateRangeDropsByDateOnly) {
  g_project.from_date = (2004u << 16) | (3u << 8) | 10u;
  g_project.to_date = (2004u << 16) | (3u << 8) | 20u;
  Line(9, 3, 2004, 86399);
  EXPECT_EQ(Commit(), nullptr);
  Line(10, 3, 2004, 0);
  EXPECT_NE(Commit(), nullptr);
  Line(20, 3, 2004, 86399);
  EXPECT_NE(Commit(), nullptr);
  Line(21, 3, 2004, 0);
  EXPECT_EQ(Commit(), nullptr);
  EXPECT_EQ(store.RecordCount(), 2u);
}

// Each filter type as a lone include filter: is the line kept?
TEST_F(LineCommit, FilterTypes) {
  struct Case {
    const char* name;
    uint16_t type;
    const char* text;
    int16_t status, status2;
    uint32_t ip1, ip2;
    uint16_t method;
    // the line
    uint32_t address;
    const char* host;
    const char* page;
    const char* referrer;
    uint16_t lineStatus;
    uint8_t flags;
    bool kept;
  } cases[] = {
      {"ip equal", kFilterIp, nullptr, 0, 0, 0x0A000001, 0, 0, 0x0A000001, nullptr, "/", nullptr, 200, 0, true},
      {"ip other", kFilterIp, nullptr, 0, 0, 0x0A000001, 0, 0, 0x0A000002, nullptr, "/", nullptr, 200, 0, false},
      {"ip vs host", kFilterIp, nullptr, 0, 0, 0, 0, 0, 0, "h.example", "/", nullptr, 200, 0, false},
      {"range in", kFilterIpRange, nullptr, 0, 0, 0x0A000001, 0xC0000000, 0, 0xA0000000, nullptr, "/", nullptr, 200,
       0, true},
      {"range out", kFilterIpRange, nullptr, 0, 0, 0x0A000001, 0x0A0000FF, 0, 0x0A000100, nullptr, "/", nullptr, 200,
       0, false},
      {"host equal", kFilterHost, "h.example", 0, 0, 0, 0, 0, 0, "h.example", "/", nullptr, 200, 0, true},
      {"host case", kFilterHost, "H.example", 0, 0, 0, 0, 0, 0, "h.example", "/", nullptr, 200, 0, false},
      {"host untested", kFilterHost, "h.example", 0, 0, 0, 0, 0, 0x01020304, nullptr, "/", nullptr, 200, 0, true},
      {"page pattern", kFilterPage, "/shop/*.HTML", 0, 0, 0, 0, 0, 1, nullptr, "/shop/a.html", nullptr, 200, 0, true},
      {"page other", kFilterPage, "/shop/*", 0, 0, 0, 0, 0, 1, nullptr, "/blog/a.html", nullptr, 200, 0, false},
      {"page no text", kFilterPage, "", 0, 0, 0, 0, 0, 1, nullptr, "/blog/a.html", nullptr, 200, 0, true},
      {"referrer other", kFilterReferrer, "http://www.mysite.com/*", 0, 0, 0, 0, 0, 1, nullptr, "/",
       "http://elsewhere.org/x", 200, 0, true},
      {"referrer own", kFilterReferrer, "http://www.mysite.com/*", 0, 0, 0, 0, 0, 1, nullptr, "/",
       "http://www.mysite.com/a", 200, 0, false},
      {"referrer none", kFilterReferrer, "http://www.mysite.com/*", 0, 0, 0, 0, 0, 1, nullptr, "/", nullptr, 200, 0,
       false},
      {"domain", kFilterRefDomain, ".ORG", 0, 0, 0, 0, 0, 1, nullptr, "/", "http://www.x.org:8080/a", 200, 0, true},
      {"domain other", kFilterRefDomain, ".org", 0, 0, 0, 0, 0, 1, nullptr, "/", "http://www.x.com/", 200, 0, false},
      {"status", kFilterStatus, nullptr, 404, 0, 0, 0, 0, 1, nullptr, "/", nullptr, 404, 0, true},
      {"status other", kFilterStatus, nullptr, 404, 0, 0, 0, 0, 1, nullptr, "/", nullptr, 200, 0, false},
      {"status range", kFilterStatusRange, nullptr, 400, 499, 0, 0, 0, 1, nullptr, "/", nullptr, 499, 0, true},
      {"status out", kFilterStatusRange, nullptr, 400, 499, 0, 0, 0, 1, nullptr, "/", nullptr, 500, 0, false},
      {"post", kFilterMethod, nullptr, 0, 0, 0, 0, kMethodPost, 1, nullptr, "/", nullptr, 200, kHitPost, true},
      {"get vs post", kFilterMethod, nullptr, 0, 0, 0, 0, kMethodPost, 1, nullptr, "/", nullptr, 200, 0, false},
      {"get", kFilterMethod, nullptr, 0, 0, 0, 0, kMethodGet | kMethodHead, 1, nullptr, "/", nullptr, 200, 0, true},
      {"site", kFilterSite, "WWW.x.org", 0, 0, 0, 0, 0, 1, nullptr, "/", "https://www.x.org/a/b", 200, 0, true},
      {"site slash", kFilterSite, "www.x.org/", 0, 0, 0, 0, 0, 1, nullptr, "/", "http://www.x.org", 200, 0, true},
      {"site other", kFilterSite, "www.x.org", 0, 0, 0, 0, 0, 1, nullptr, "/", "http://x.org/", 200, 0, false},
  };
  for (const Case& c : cases) {
    g_project.filters.Clear();
    AddFilter(c.type, true, c.text, c.status, c.status2, c.ip1, c.ip2, c.method);
    CHitRecord* r = Line(1, 1, 2004);
    r->SetAddress(c.address);
    r->SetFlags(c.flags);
    if (c.host) SetText(&g_line.host, &g_line.hostLen, c.host);
    SetText(&g_line.page, &g_line.pageLen, c.page);
    if (c.referrer) SetText(&g_line.referrer, &g_line.referrerLen, c.referrer);
    g_line.status = c.lineStatus;
    EXPECT_EQ(Commit() != nullptr, c.kept) << c.name;
  }
}

TEST_F(LineCommit, IncludeFiltersOfSeveralTypesMustAllMatch) {
  auto run = [&](const char* page, uint16_t status) {
    Line(1, 1, 2004);
    SetText(&g_line.page, &g_line.pageLen, page);
    g_line.status = status;
    return Commit() != nullptr;
  };
  // Page filters around a status filter: the line must match a page filter and
  // the status filter, in whatever order they stand.
  AddFilter(kFilterPage, true, "/a*");
  AddFilter(kFilterStatus, true, nullptr, 404);
  AddFilter(kFilterPage, true, "/b*");
  EXPECT_FALSE(run("/a1", 200));
  EXPECT_FALSE(run("/c1", 404));
  EXPECT_TRUE(run("/a1", 404));
  EXPECT_TRUE(run("/b1", 404));

  // An exclude filter drops a line that an include filter already kept.
  g_project.filters.Clear();
  AddFilter(kFilterPage, true, "/a*");
  AddFilter(kFilterStatus, false, nullptr, 404);
  EXPECT_TRUE(run("/a1", 200));
  EXPECT_FALSE(run("/a1", 404));
}

TEST_F(LineCommit, OptionalFieldsAndTexts) {
  g_project.send_receive = 1;
  g_project.subdomain = 1;
  CHitRecord* r = Line(2, 3, 2004, 100);
  SetText(&g_line.referrer, &g_line.referrerLen, "http://r.example/");
  SetText(&g_line.agent, &g_line.agentLen, "Agent/1.0");
  SetText(&g_line.cookie, &g_line.cookieLen, "id=1");
  SetText(&g_line.host, &g_line.hostLen, "client.example");
  SetText(&g_line.user, &g_line.userLen, "bob");
  SetText(&g_line.subdomain, &g_line.subdomainLen, "shop.example");
  g_line.bytesReceived = 512;
  g_line.status = 2047 + 2048;  // only the low 11 bits are the status
  r = Commit();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GetSize(), 57u);
  EXPECT_EQ(r->Status(), 2047);
  EXPECT_EQ(Text(g_pools.referrers, r->GetReferrer()), "http://r.example/");
  EXPECT_EQ(Text(g_pools.agents, r->GetUserAgent()), "Agent/1.0");
  EXPECT_EQ(Text(g_pools.cookies, r->GetCookie()), "id=1");
  EXPECT_EQ(Text(g_pools.hosts, r->GetHostName()), "client.example");
  EXPECT_EQ(Text(g_pools.users, r->GetUserName()), "bob");
  EXPECT_EQ(r->GetBytesReceived(), 512u);
  EXPECT_EQ(Text(g_pools.subdomains, r->GetSubdomain()), "shop.example");
  EXPECT_EQ(r->PageText(), std::string("/p"));

  // "-" and empty texts are absent; without send_receive no bytes received; a
  // text holding a NUL (a binary file) is kept up to it.
  g_project.send_receive = 0;
  Line(2, 3, 2004);
  SetText(&g_line.referrer, &g_line.referrerLen, "-");
  SetText(&g_line.agent, &g_line.agentLen, "");
  SetText(&g_line.cookie, &g_line.cookieLen, std::string("ab\0cd", 5));
  SetText(&g_line.user, &g_line.userLen, "-");
  g_line.page = nullptr;
  g_line.bytesReceived = 512;
  r = Commit();
  EXPECT_EQ(r->GetSize(), 33u);
  EXPECT_EQ(Text(g_pools.cookies, r->GetCookie()), "ab");
  EXPECT_EQ(r->Page(), kEmptyText);
  EXPECT_STREQ(r->PageText(), "");
}

TEST_F(LineCommit, IpLookupReservesAHostSlot) {
  g_project.ip_lookup = 1;
  CHitRecord* r = Line(1, 1, 2004);
  r->SetAddress(0x01020304);
  r = Commit();
  EXPECT_EQ(r->GetSize(), 33u);
  EXPECT_EQ(r->GetHostName(), kNoText);
  r->SetHostName(g_pools.hosts.Intern("resolved.example"));
  EXPECT_EQ(Text(g_pools.hosts, r->GetHostName()), "resolved.example");
}

TEST_F(LineCommit, TimeZoneShiftRollsTheCalendar) {
  struct Case {
    int16_t server, report;
    unsigned day, month, year;
    uint32_t seconds;
    unsigned wantDay, wantMonth, wantYear;
    uint32_t wantSeconds;
  } cases[] = {
      {1, 1, 5, 6, 2004, 10 * 3600, 5, 6, 2004, 12 * 3600},
      {2, 0, 31, 12, 2023, 23 * 3600 + 1800, 1, 1, 2024, 3600 + 1800},
      {0, -3, 1, 3, 2024, 3600, 29, 2, 2024, 22 * 3600},
      {-1, 0, 1, 1, 2000, 0, 31, 12, 1999, 23 * 3600},
      {24, 0, 28, 2, 2023, 5, 1, 3, 2023, 5},
  };
  for (const Case& c : cases) {
    g_project.display.zone_server = c.server;
    g_project.display.zone_report = c.report;
    Line(c.day, c.month, c.year, c.seconds);
    CHitRecord* r = Commit();
    EXPECT_EQ(r->Day(), c.wantDay) << c.day << "/" << c.month;
    EXPECT_EQ(r->Month(), c.wantMonth) << c.day << "/" << c.month;
    EXPECT_EQ(r->Year(), c.wantYear) << c.day << "/" << c.month;
    EXPECT_EQ(r->Seconds(), c.wantSeconds) << c.day << "/" << c.month;
  }
}

TEST_F(LineCommit, FirstAndLastHitAndSingleCookie) {
  const char* cookies[] = {"a", "a", nullptr, "b"};
  const uint32_t times[] = {500, 100, 900, 300};
  const unsigned days[] = {2, 2, 2, 1};
  bool single[4];
  for (int i = 0; i < 4; ++i) {
    Line(days[i], 5, 2004, times[i]);
    if (cookies[i]) SetText(&g_line.cookie, &g_line.cookieLen, cookies[i]);
    Commit();
    single[i] = LoadHasSingleCookie();
  }
  EXPECT_TRUE(single[0]);
  EXPECT_TRUE(single[1]);
  EXPECT_FALSE(single[2]);  // a line without the cookie differs from it
  EXPECT_FALSE(single[3]);
  EXPECT_EQ(g_project.first_date, (2004u << 16) | (5u << 8) | 1u);
  EXPECT_EQ(g_project.first_time, 300u);
  EXPECT_EQ(g_project.last_date, (2004u << 16) | (5u << 8) | 2u);
  EXPECT_EQ(g_project.last_time, 900u);
  BeginLogLoad();
  EXPECT_TRUE(LoadHasSingleCookie());
  EXPECT_EQ(g_project.first_date, 0u);
}

TEST_F(LineCommit, IgnoreArgmInternsWholeQueriesAndShowsThePath) {
  g_project.display.ignore_argm = 1;
  BeginLogLoad();
  auto commit = [&](const std::string& page, size_t cut) {
    CHitRecord* r = Line(1, 1, 2004);
    SetText(&g_line.page, &g_line.pageLen, page);
    g_line.pageQueryLen = page.size();
    g_line.pageLen = cut;
    if (cut < page.size()) r->SetFlags(kHitQuery);
    return Commit()->Page();
  };
  TextHandle a = commit("/cart.asp?id=1", 9);
  TextHandle b = commit("/cart.asp?id=2", 9);
  TextHandle c = commit("/cart.asp", 9);
  TextHandle a2 = commit("/cart.asp?id=1", 9);
  EXPECT_NE(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(b, c);
  EXPECT_EQ(a, a2);
  EXPECT_STREQ(g_pools.pages.Text(a), "/cart.asp");
  EXPECT_STREQ(g_pools.pages.Text(b), "/cart.asp");
  EXPECT_STREQ(g_pools.pages.Text(a) + 10, "id=1");  // the query stays behind the path
}

TEST_F(LineCommit, Robots) {
  g_auxTables.robots = {{"Googlebot", false}, {"curl", true}};
  g_auxTables.autoRobots = {{0x01020304, "Fetcher", ""}, {0, "Fetcher", "crawl.example"}};
  struct Case {
    const char* agent;
    uint32_t address;
    const char* host;
    bool robot;
    uint16_t index;
  } cases[] = {
      {"Mozilla/5.0 (compatible; Googlebot/2.1)", 0x0A000001, nullptr, true, 0},
      {"googlebot", 0x0A000001, nullptr, false, 0},  // case counts
      {"curl", 0x0A000001, nullptr, true, 1},
      {"curl/8.0", 0x0A000001, nullptr, false, 0},  // whole-text row
      {"Fetcher", 0x01020304, nullptr, true, 2},
      {"Fetcher", 0x01020305, nullptr, false, 0},
      {"Fetcher", 0, "crawl.example", true, 3},
      {"Fetcher", 0, "other.example", false, 0},
  };
  // Twice: an agent seen before is answered as the first time.
  for (int pass = 0; pass < 2; ++pass) {
    for (const Case& c : cases) {
      CHitRecord* r = Line(1, 1, 2004);
      r->SetAddress(c.address);
      SetText(&g_line.agent, &g_line.agentLen, c.agent);
      if (c.host) SetText(&g_line.host, &g_line.hostLen, c.host);
      r = Commit();
      EXPECT_EQ((r->Flags() & kHitRobot) != 0, c.robot) << c.agent;
      EXPECT_EQ(r->RobotIndex(), c.index) << c.agent;
    }
  }
  // New tables between loads give new answers.
  BeginLogLoad();
  g_auxTables.robots = {{"curl", false}};
  Line(1, 1, 2004);
  SetText(&g_line.agent, &g_line.agentLen, "curl/8.0");
  EXPECT_TRUE(Commit()->Flags() & kHitRobot);
}

TEST_F(LineCommit, IisAgentsHaveBlanksForPlus) {
  g_logFormat = kLogFormatIis;
  g_auxTables.robots = {{"Mozilla/4.0 (compatible", false}};
  std::string agent = "Mozilla/4.0+(compatible;+MSIE+6.0)";
  Line(1, 1, 2004);
  SetText(&g_line.agent, &g_line.agentLen, agent);
  CHitRecord* r = Commit();
  EXPECT_EQ(Text(g_pools.agents, r->GetUserAgent()), "Mozilla/4.0 (compatible; MSIE 6.0)");
  EXPECT_TRUE(r->Flags() & kHitRobot);
  EXPECT_EQ(texts.back(), agent);  // the reader's text is left as read

  g_logFormat = nullptr;  // no other format changes the agent
  Line(1, 1, 2004);
  SetText(&g_line.agent, &g_line.agentLen, agent);
  EXPECT_EQ(Text(g_pools.agents, Commit()->GetUserAgent()), agent);
}

TEST_F(LineCommit, SearchEngineReferrers) {
  // Rows in ascending order of domain length, as the tables keep them.
  g_auxTables.searchEngines = {
      {3, 6, false, "yc.com"},
      {1, 6, true, "google"},
      {1, 9, true, "google.co"},
      {1, 10, false, "google.com"},
      {2, 16, false, "search.yahoo.com"},
  };
  g_auxTables.keywords.resize(4);
  g_auxTables.keywords[1].patterns[1] = "q=";
  g_auxTables.keywords[2].patterns[0] = "p=";
  g_auxTables.keywords[3].patterns[2] = "/";
  struct Case {
    const char* referrer;
    bool engine;
    uint16_t number;
  } cases[] = {
      {"http://www.google.com/search?q=log+files", true, 1},
      {"https://www.google.com/search?q=log+files", true, 1},
      {"HTTPS://WWW.GOOGLE.COM/search?hl=en&q=x", true, 1},
      {"https://www.google.co.uk/search?q=x", true, 1},      // country suffix
      {"https://www.google.com./url?q%3Dx", true, 1},        // trailing dot, escaped '='
      {"https://www.google.com/", false, 0},                 // the site without a keyword
      {"https://www.google.com", false, 0},                  // no '/' after the host
      {"ftp://www.google.com/search?q=x", false, 0},
      {"https://search.yahoo.com/search?p=x", true, 2},
      {"https://yahoo.com/search?p=x", false, 0},            // shorter host than the domain
      {"https://news.yc.com/item", true, 3},                 // "/" matches any path
      {"https://www.example.com/?q=x", false, 0},
      // Domains match whole labels at the end of the host.
      {"https://www.google.de/search?q=x", true, 1},
      {"https://google.com/search?q=x", true, 1},
      {"https://notgoogle.de/search?q=x", false, 0},
      {"https://notgoogle.com/search?q=x", false, 0},
      {"https://www.notgoogle.co.uk/search?q=x", false, 0},
      {"https://hnyc.com/item", false, 0},
      {"https://google.de.evil.com/search?q=x", false, 0},
      {"https://www.google.com.evil.de/search?q=x", false, 0},
  };
  for (const Case& c : cases) {
    Line(1, 1, 2004);
    SetText(&g_line.referrer, &g_line.referrerLen, c.referrer);
    CHitRecord* r = Commit();
    EXPECT_EQ((r->Flags() & kHitSearchEngine) != 0, c.engine) << c.referrer;
    EXPECT_EQ(r->RobotIndex(), c.number) << c.referrer;
    EXPECT_EQ(Text(g_pools.referrers, r->GetReferrer()), c.referrer);
  }
}

TEST_F(LineCommit, FiltersItCannotUseAreReportedInOneMessage) {
  AddFilter(kFilterPage, false, "/ok*");
  AddFilter(kFilterPage, true, "");
  AddFilter(kFilterIpRange, true, nullptr, 0, 0, 0x0A000002, 0x0A000001);
  AddFilter(kFilterStatusRange, false, nullptr, 499, 400);
  AddFilter(kFilterMethod, true);
  AddFilter(77, true);
  AddFilter(kFilterStatusRange, false, nullptr, 400, 400);
  tvtest::MessageCapture capture;
  EXPECT_EQ(ReportUnusableFilters(g_project.filters), 5);
  ASSERT_EQ(capture.errors.size(), 1u);
  const std::string& text = capture.errors[0];
  for (const char* line : {"Filter 2 has no text", "Filter 3 has a range", "Filter 4 has a range",
                           "Filter 5 names no method", "Filter 6 is of an unknown type"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.find("Filter 1 "), std::string::npos);
  EXPECT_EQ(text.find("Filter 7 "), std::string::npos);

  g_project.filters.Clear();
  AddFilter(kFilterPage, true, "*");
  EXPECT_EQ(ReportUnusableFilters(g_project.filters), 0);
  EXPECT_TRUE(capture.errors.size() == 1u);
}

// Texts typed into the wizard go to the commit as they are.
TEST_F(LineCommit, WildcardOnlyAndLongFilterTextsNeverCrash) {
  const std::string stars(10000, '*'), mixed = [] {
    std::string s;
    for (int i = 0; i < 5000; ++i) s += "*?";
    return s;
  }();
  const std::string longText(10000, 'a');
  struct Case {
    uint16_t type;
    std::string text;
    bool kept;  // by an include filter, for page "/p" and referrer "http://www.x.org/a"
                // (a referrer filter matches the referrers that are not its pattern)
  } cases[] = {
      {kFilterPage, "*", true},       {kFilterPage, stars, true},        {kFilterPage, mixed, false},
      {kFilterPage, "?*", true},      {kFilterPage, longText, false},    {kFilterHost, longText, true},
      {kFilterReferrer, stars, false}, {kFilterReferrer, longText, true}, {kFilterRefDomain, longText, false},
      {kFilterSite, longText, false}, {kFilterSite, stars, false},
  };
  for (const Case& c : cases) {
    g_project.filters.Clear();
    AddFilter(c.type, true, c.text.c_str());
    Line(1, 1, 2004);
    SetText(&g_line.referrer, &g_line.referrerLen, "http://www.x.org/a");
    EXPECT_EQ(Commit() != nullptr, c.kept) << c.type << " " << c.text.substr(0, 8);
  }
}

TEST_F(LineCommit, StoreWithoutCurrentRecordIsLeftAlone) {
  CHitStore empty;
  CommitLogLine(&empty);
  EXPECT_EQ(empty.RecordCount(), 0u);
}

}  // namespace
