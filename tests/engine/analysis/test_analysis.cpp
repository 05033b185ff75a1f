#include "engine/analysis/analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/msgsink.h"
#include "engine/analysis/dnscache.h"
#include "engine/display/display.h"
#include "engine/sources/odbcload.h"
#include "engine/store/project.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxdb.h"
#include "platform/resolver.h"
#include "tests/common/testenv.h"
#include "tests/engine/readtest.h"

namespace {

// One log line: time of 2004-01-02 as "hh:mm:ss", client, page, agent, cookie ("-" none).
struct Line {
  std::string time, client, page, agent, cookie = "-";
};

std::string W3c(const std::vector<Line>& lines, const std::string& date = "2004-01-02") {
  std::string s = "#Software: Microsoft Internet Information Services 6.0\n"
                  "#Fields: date time c-ip cs-uri-stem cs(User-Agent) cs(Cookie)\n";
  for (const Line& l : lines)
    s += date + " " + l.time + " " + l.client + " " + l.page + " " + l.agent + " " + l.cookie + "\n";
  return s;
}

// A combined line at the given second from 2024-03-01 00:00:00, with what
// follows the agent as written (a cookie or any other field).
struct Hit {
  int64_t second;
  std::string client, agent, tail;
};
std::string Combined(const Hit& h) {
  char date[40];
  int64_t s = h.second;
  snprintf(date, sizeof date, "%02d/Mar/2024:%02d:%02d:%02d +0000", static_cast<int>(1 + s / 86400),
           static_cast<int>(s / 3600 % 24), static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return h.client + " - - [" + date + "] \"GET /p.html HTTP/1.1\" 200 5 \"-\" \"" + h.agent + "\"" + h.tail + "\n";
}
std::string CombinedLog(const std::vector<Hit>& hits, size_t from = 0, size_t to = SIZE_MAX) {
  std::string s;
  for (size_t i = from; i < hits.size() && i < to; ++i) s += Combined(hits[i]);
  return s;
}

// The visits by the plain rule: per client and agent, the hits sorted by time,
// a new visit wherever the gap exceeds the session length.
size_t ReferenceVisits(const std::vector<Hit>& hits, int64_t sessionSeconds) {
  std::map<std::pair<std::string, std::string>, std::vector<int64_t>> times;
  for (const Hit& h : hits) times[{h.client, h.agent}].push_back(h.second);
  size_t visits = 0;
  for (auto& [who, t] : times) {
    std::sort(t.begin(), t.end());
    for (size_t i = 0; i < t.size(); ++i) visits += i == 0 || t[i] - t[i - 1] > sessionSeconds;
  }
  return visits;
}

// Answers every name with 10.9.<len>.1 and no address with a name.
class NameOnlyResolver : public tv::Resolver {
 public:
  bool NameOf(uint32_t, std::string*) override { return false; }
  bool AddressOf(const char* name, uint32_t* address) override {
    *address = 10u << 24 | 9u << 16 | static_cast<uint32_t>(strlen(name)) << 8 | 1u;
    return true;
  }
};

int g_confirmCalls = 0;
bool g_confirmAnswer = false;
bool ConfirmHook(int32_t, int32_t) {
  ++g_confirmCalls;
  return g_confirmAnswer;
}
int g_reportCalls = 0;
void ReportHook(const CLogFileReportList&) { ++g_reportCalls; }

class AnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    readtest::ResetLoadState();
    g_project.dns_lookup = 0;
    g_project.session = 30;
    g_project.display.not_use_cookie = 0;
    g_auxDatabases = CAuxDatabases();
    FeedCommitTables();
    g_analysisOptions = CAnalysisOptions();
    SetSpiderConfirmHook(nullptr);
    SetLogFileReportHook(nullptr);
    g_confirmCalls = g_reportCalls = 0;
    dir_ = tvtest::NewDir("analysis");
  }
  void TearDown() override {
    SetSpiderConfirmHook(nullptr);
    SetLogFileReportHook(nullptr);
    SetDnsResolver(nullptr);
    g_project.Reset();
    g_auxDatabases = CAuxDatabases();
    FeedCommitTables();
  }
  void AddSource(const std::string& name, const std::string& text) {
    std::string path = dir_ + name;
    tvtest::WriteFile(path, text);
    CLogSource s;
    CLogSourceList::InitEntry(&s);
    s.file = const_cast<char*>(path.c_str());
    g_project.sources.Add(s);
    s.file = nullptr;
  }
  int Run() { return AnalyseLogs(g_project, 0, 0, LoadOdbcTable, "index.html"); }
  // A fresh pass over new sources.
  void Restart() {
    InvalidateLogData(g_project);
    g_project.sources.Clear();
  }
  // Distinct visitor numbers over every source.
  size_t Visitors() {
    std::set<uint32_t> ids;
    for (int i = 0; i < g_project.sources.Count(); ++i)
      for (CHitRecord* r : Hits(i)) ids.insert(r->VisitorId());
    return ids.size();
  }
  // The visitor number of the hit of client at second.
  uint32_t VisitorOf(const std::string& client, int64_t second) {
    for (int i = 0; i < g_project.sources.Count(); ++i)
      for (CHitRecord* r : Hits(i)) {
        uint32_t a = r->Address();
        std::string text = std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." +
                           std::to_string(a >> 8 & 255) + "." + std::to_string(a & 255);
        if (text == client && r->Day() == 1 + second / 86400 && r->Seconds() == second % 86400) return r->VisitorId();
      }
    return 0;
  }
  std::vector<CHitRecord*> Hits(int source = 0) { return readtest::Records(g_project.sources[source].records); }
  static std::string Agent(const CHitRecord* r) { return readtest::Text(g_pools.agents, r->GetUserAgent()); }
  static bool Spider(const CHitRecord* r) { return (r->Flags() & kHitRobot) != 0; }

  std::string dir_;
};

TEST_F(AnalysisTest, VisitsEndAfterTheSessionLengthAndDifferByHostAndAgent) {
  AddSource("a.log", W3c({{"10:00:00", "10.0.0.1", "/a.html", "A"},
                          {"10:29:00", "10.0.0.1", "/b.html", "A"},    // 29 minutes: same visit
                          {"11:00:01", "10.0.0.1", "/c.html", "A"},    // 31 minutes after: new visit
                          {"11:00:02", "10.0.0.1", "/d.html", "B"},    // other agent
                          {"11:00:03", "10.0.0.2", "/e.html", "A"}}));  // other host
  ASSERT_EQ(Run(), 1);
  std::vector<uint32_t> ids;
  for (CHitRecord* r : Hits()) ids.push_back(r->VisitorId());
  EXPECT_EQ(ids, (std::vector<uint32_t>{1, 1, 2, 3, 4}));
  EXPECT_FALSE(g_cookiesInUse);

  // A second pass numbers from 1 again.
  InvalidateLogData(g_project);
  EXPECT_TRUE(g_logsStale);
  EXPECT_EQ(g_project.sources[0].records.RecordCount(), 0u);
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Hits()[0]->VisitorId(), 1u);
}

TEST_F(AnalysisTest, HitsGoingBackInTimeAreNumberedAsInOrder) {
  AddSource("a.log", W3c({{"10:40:00", "10.0.0.1", "/a.html", "A"},
                          {"10:00:00", "10.0.0.1", "/b.html", "A"},    // 40 minutes before: another visit
                          {"10:05:00", "10.0.0.1", "/c.html", "A"}}));  // joins it
  ASSERT_EQ(Run(), 1);
  std::vector<uint32_t> ids;
  for (CHitRecord* r : Hits()) ids.push_back(r->VisitorId());
  EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 2}));
}

// A log in time order, numbered as it comes, and the same log with one more hit
// that goes back in time, numbered by the general search: the common hits get
// the same numbers.
TEST_F(AnalysisTest, BothWaysOfNumberingAgree) {
  std::vector<Line> lines;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  int seconds = 0;
  for (int i = 0; i < 3000; ++i) {
    seconds += static_cast<int>(next(25));  // about ten hours in all, one day
    char time[16];
    snprintf(time, sizeof time, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    std::string host = next(4) == 0 ? "h" + std::to_string(next(5)) + ".example.org"
                                    : "10.0.0." + std::to_string(next(20) + 1);
    lines.push_back({time, host, "/p.html", "Agent" + std::to_string(next(3))});
  }
  AddSource("a.log", W3c(lines));
  ASSERT_EQ(Run(), 1);
  std::vector<uint32_t> inOrder;
  for (CHitRecord* r : Hits()) inOrder.push_back(r->VisitorId());

  InvalidateLogData(g_project);
  g_project.sources.Clear();
  lines.push_back({"00:00:00", lines[0].client, "/p.html", lines[0].agent});
  AddSource("b.log", W3c(lines));
  ASSERT_EQ(Run(), 1);
  std::vector<uint32_t> general;
  for (CHitRecord* r : Hits()) general.push_back(r->VisitorId());
  general.pop_back();
  EXPECT_EQ(general, inOrder);
  EXPECT_GT(inOrder.back(), 50u);  // many visits, not one per host
}

TEST_F(AnalysisTest, CookiesIdentifyVisitorsAcrossHostsUnlessSwitchedOff) {
  std::vector<Line> lines = {{"10:00:00", "10.0.0.1", "/a.html", "A", "id=1"},
                             {"10:01:00", "10.0.0.2", "/b.html", "B", "id=1"},
                             {"10:02:00", "10.0.0.1", "/c.html", "A", "id=2"}};
  AddSource("a.log", W3c(lines));
  ASSERT_EQ(Run(), 1);
  EXPECT_TRUE(g_cookiesInUse);
  std::vector<CHitRecord*> h = Hits();
  EXPECT_EQ(h[0]->VisitorId(), h[1]->VisitorId());
  EXPECT_NE(h[0]->VisitorId(), h[2]->VisitorId());

  InvalidateLogData(g_project);
  g_project.display.not_use_cookie = 1;
  ASSERT_EQ(Run(), 1);
  h = Hits();
  EXPECT_NE(h[0]->VisitorId(), h[1]->VisitorId());
  EXPECT_EQ(h[0]->VisitorId(), h[2]->VisitorId());
}

// Rotated logs of one site: a visit goes on across the files, so the same hits
// give the same visitors whole, as three sources or as one source whose files
// come newest first.
TEST_F(AnalysisTest, VisitorsDoNotDependOnHowTheHitsAreSplitIntoFiles) {
  std::vector<Hit> hits;
  uint32_t seed = 4711;
  auto next = [&seed](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  const int64_t start = 21 * 3600;  // 21:00 on the 1st, on to the small hours of the 2nd
  for (int c = 0; c < 40; ++c) {
    std::string client = "10.0.1." + std::to_string(c + 1);
    for (int a = 0; a < 2; ++a) {
      std::string agent = "Agent/" + std::to_string(a);
      int64_t t = start + next(3600);
      for (int k = 0, n = 5 + static_cast<int>(next(30)); k < n; ++k) {
        hits.push_back({t, client, agent, ""});
        uint32_t kind = next(100);  // mostly within a visit, often near the limit, sometimes far beyond
        t += kind < 65 ? 10 + next(600) : kind < 85 ? 1700 + next(200) : 3000 + next(4000);
      }
    }
  }
  // The hits of the example that showed it: 23:28 and 23:56 in one file, 00:01 in the next.
  for (int64_t t : {23 * 3600 + 28 * 60, 23 * 3600 + 56 * 60, 24 * 3600 + 60}) hits.push_back({t, "10.9.9.9", "B", ""});
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.second < b.second; });
  const size_t want = ReferenceVisits(hits, 30 * 60);

  // Cut at midnight and half-way to it, each cut inside some visit.
  size_t midnight = 0, middle = 0;
  while (hits[midnight].second < 24 * 3600) ++midnight;
  while (hits[middle].second < 22 * 3600 + 30 * 60) ++middle;
  auto visitSpans = [&hits](size_t cut) {
    for (size_t i = 0; i < cut; ++i)
      for (size_t j = cut; j < hits.size() && hits[j].second - hits[i].second <= 30 * 60; ++j)
        if (hits[i].client == hits[j].client && hits[i].agent == hits[j].agent) return true;
    return false;
  };
  ASSERT_TRUE(visitSpans(middle));
  ASSERT_TRUE(visitSpans(midnight));
  const std::string older = CombinedLog(hits, 0, middle), old = CombinedLog(hits, middle, midnight),
                    current = CombinedLog(hits, midnight);

  AddSource("whole.log", CombinedLog(hits));
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(Visitors(), want);
  EXPECT_GT(want, 200u);  // many visits, not one per client
  EXPECT_EQ(VisitorOf("10.9.9.9", 23 * 3600 + 28 * 60), VisitorOf("10.9.9.9", 24 * 3600 + 60));

  Restart();
  AddSource("access.log.2", older);
  AddSource("access.log.1", old);
  AddSource("access.log", current);
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(g_project.sources.Count(), 3);
  EXPECT_EQ(Visitors(), want);
  EXPECT_EQ(VisitorOf("10.9.9.9", 23 * 3600 + 28 * 60), VisitorOf("10.9.9.9", 24 * 3600 + 60));
  EXPECT_NE(VisitorOf("10.9.9.9", 24 * 3600 + 60), 0u);

  // One source over the same files: its wildcard reads them in name order, newest first.
  Restart();
  std::string mask = dir_ + "access.log*";
  CLogSource s;
  CLogSourceList::InitEntry(&s);
  s.file = mask.data();
  g_project.sources.Add(s);
  s.file = nullptr;
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(Hits().size(), hits.size());
  EXPECT_EQ(Visitors(), want);
  EXPECT_EQ(VisitorOf("10.9.9.9", 23 * 3600 + 28 * 60), VisitorOf("10.9.9.9", 24 * 3600 + 60));
}

// Fields behind the agent that are no cookie leave visitors to the session
// rule; a real cookie still names its visitor across hosts.
TEST_F(AnalysisTest, OnlyCookieShapedFieldsIdentifyVisitors) {
  // A honeypot's log with the port behind the agent: hosts that share a port
  // are not one visitor.
  std::vector<Hit> hits;
  for (int c = 0; c < 6; ++c)
    for (int k = 0; k < 4; ++k)
      hits.push_back({36000 + c * 10 + k * 1500 * (c % 3), "10.0.2." + std::to_string(c + 1), "scanner",
                      k % 2 ? " 443" : " 80"});
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.second < b.second; });
  AddSource("honeypot.log", CombinedLog(hits));
  ASSERT_EQ(Run(), 1);
  EXPECT_FALSE(g_cookiesInUse);
  EXPECT_EQ(Visitors(), ReferenceVisits(hits, 30 * 60));
  EXPECT_GT(Visitors(), 6u);

  // The four kinds of line together: only the real cookie is one.
  Restart();
  AddSource("mixed.log", CombinedLog({{36000, "10.0.3.1", "A", " 0.004"},
                                      {36001, "10.0.3.2", "A", " 0.004"},
                                      {36002, "10.0.3.3", "A", " 443"},
                                      {36003, "10.0.3.4", "A", " 443"},
                                      {36004, "10.0.3.5", "A", " \"-\""},
                                      {36005, "10.0.3.6", "A", " \"sid=ab12; lang=en\""},
                                      {36006, "10.0.3.7", "B", " \"sid=ab12; lang=en\""},
                                      {36007, "10.0.3.6", "A", " \"sid=cd34; lang=en\""}}));
  ASSERT_EQ(Run(), 1);
  EXPECT_TRUE(g_cookiesInUse);
  std::vector<CHitRecord*> h = Hits();
  ASSERT_EQ(h.size(), 8u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(h[i]->GetCookie(), kNoText) << i;
  EXPECT_EQ(h[5]->VisitorId(), h[6]->VisitorId());  // one cookie, two hosts
  EXPECT_NE(h[5]->VisitorId(), h[7]->VisitorId());  // one host, two cookies
  EXPECT_EQ(Visitors(), 7u);
}

TEST_F(AnalysisTest, SourcesGoLatestFirstAndVisitorsAreNumberedInThatOrder) {
  AddSource("old.log", W3c({{"10:00:00", "10.0.0.1", "/old.html", "A"}}, "2004-01-01"));
  AddSource("empty.log", W3c({}));
  AddSource("new.log", W3c({{"10:00:00", "10.0.0.2", "/new.html", "A"}}, "2004-03-01"));
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(g_project.sources.Count(), 3);
  EXPECT_EQ(Hits(0)[0]->PageText(), std::string("/new.html"));
  EXPECT_EQ(Hits(0)[0]->VisitorId(), 1u);
  EXPECT_EQ(Hits(1)[0]->PageText(), std::string("/old.html"));
  EXPECT_EQ(Hits(1)[0]->VisitorId(), 2u);
  EXPECT_EQ(g_project.sources[2].records.RecordCount(), 0u);

  // The empty file is in the log-file report, and the report hook hears of it.
  EXPECT_EQ(g_logFileReport.Count(), 3);
  EXPECT_TRUE(g_logFileReport.HasEmptyFile());
  InvalidateLogData(g_project);
  SetLogFileReportHook(ReportHook);
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(g_reportCalls, 1);
  uint32_t lines = 0;
  for (const auto& e : g_logFileReport.entries) lines += e.lines;
  EXPECT_EQ(lines, 2u);
}

TEST_F(AnalysisTest, APassOverCurrentSourcesKeepsTheResultsButFindsANewFileUnderAWildcard) {
  tvtest::WriteFile(dir_ + "a.log", W3c({{"10:00:00", "10.0.0.1", "/a.html", "A"}}));
  CLogSource s;
  CLogSourceList::InitEntry(&s);
  std::string mask = dir_ + "*.log";
  s.file = const_cast<char*>(mask.c_str());
  g_project.sources.Add(s);
  s.file = nullptr;
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(Hits().size(), 1u);

  // Nothing new: no re-read, the cached results and the file report stand.
  uint32_t generation = g_queryGeneration;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(g_queryGeneration, generation);
  EXPECT_EQ(Hits().size(), 1u);
  EXPECT_EQ(g_logFileReport.Count(), 1);

  // A file that now matches the wildcard is read on the next pass.
  tvtest::WriteFile(dir_ + "b.log", W3c({{"11:00:00", "10.0.0.2", "/b.html", "A"}}));
  ASSERT_EQ(Run(), 1);
  EXPECT_NE(g_queryGeneration, generation);
  EXPECT_EQ(Hits().size(), 2u);
  EXPECT_EQ(g_logFileReport.Count(), 2);
}

TEST_F(AnalysisTest, NoSourcesMeansNothingRuns) {
  g_visitorCounter = 77;
  SetLogFileReportHook(ReportHook);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(g_visitorCounter, 77u);
  EXPECT_EQ(g_reportCalls, 0);
}

TEST_F(AnalysisTest, SpidersAreThePairsThatAskedForRobotsTxt) {
  g_analysisOptions.auto_robot = 1;
  g_analysisOptions.confirmation_robot = 0;
  g_auxDatabases.robots.resize(3);  // robot numbers of new spiders follow the robot table
  AddSource("a.log", W3c({{"10:00:00", "10.0.0.5", "/robots.txt", "BotA"},
                          {"10:00:01", "10.0.0.5", "/index.html", "BotA"},
                          {"10:00:02", "10.0.0.5", "/index.html", "BrowserB"},
                          {"10:00:03", "10.0.0.6", "/index.html", "BotA"},       // other host
                          {"10:00:04", "10.0.0.7", "/ROBOTS.TXT", "Other"},      // case counts
                          {"10:00:05", "crawl.example.org", "/robots.txt", "BotC"},
                          {"10:00:06", "crawl.example.org", "/x.html", "BotC"},
                          {"10:00:07", "10.0.0.8", "/robots.txt", "-"}}));  // no agent
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(g_auxDatabases.newSpiderStart, 0);
  ASSERT_EQ(g_auxDatabases.autoRobots.size(), 2u);
  std::map<std::string, int> spiderHits;
  for (CHitRecord* r : Hits())
    if (Spider(r)) {
      ++spiderHits[Agent(r)];
      const AuxSpiderRow& row = g_auxDatabases.autoRobots[r->RobotIndex() - 3];
      EXPECT_EQ(Agent(r), row.Agent());
    }
  EXPECT_EQ(spiderHits, (std::map<std::string, int>{{"BotA", 2}, {"BotC", 2}}));
  // The rows: address rows hold no host; name rows no address.
  for (const AuxSpiderRow& row : g_auxDatabases.autoRobots) {
    EXPECT_EQ(row.bytes[0], 0);
    if (row.Address()) EXPECT_STREQ(row.Host(), "");
    else EXPECT_STREQ(row.Host(), "crawl.example.org");
  }

  // A second pass over the same log finds only known pairs.
  InvalidateLogData(g_project);
  ASSERT_EQ(Run(), 1);
  EXPECT_EQ(g_auxDatabases.newSpiderStart, -1);
  EXPECT_EQ(g_auxDatabases.autoRobots.size(), 2u);
}

TEST_F(AnalysisTest, ExcludedPairsAndOverlongTextsAddNoRow) {
  g_analysisOptions.auto_robot = 1;
  g_analysisOptions.confirmation_robot = 0;
  g_auxDatabases.excluded.push_back(AuxSpiderRow::Make(10u << 24 | 5, "BotA", nullptr));
  std::string longAgent(251, 'x'), fitAgent(250, 'y');
  std::string longHost = std::string(124, 'h') + ".org";  // 128 characters
  AddSource("a.log", W3c({{"10:00:00", "10.0.0.5", "/robots.txt", "BotA"},
                          {"10:00:01", "10.0.0.6", "/robots.txt", longAgent},
                          {"10:00:02", longHost, "/robots.txt", "BotH"},
                          {"10:00:03", "10.0.0.7", "/robots.txt", fitAgent}}));
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(g_auxDatabases.autoRobots.size(), 1u);
  EXPECT_EQ(g_auxDatabases.autoRobots[0].Agent(), fitAgent);
  for (CHitRecord* r : Hits()) EXPECT_EQ(Spider(r), Agent(r) == fitAgent) << Agent(r).substr(0, 8);
}

TEST_F(AnalysisTest, ConfirmedSpidersLoggedByNameMatchAfterTheDnsPass) {
  NameOnlyResolver resolver;
  SetDnsResolver(&resolver);
  g_project.dns_lookup = 1;
  g_analysisOptions.auto_robot = 1;
  g_analysisOptions.confirmation_robot = 1;
  AddSource("a.log", W3c({{"10:00:00", "crawl.example.org", "/robots.txt", "BotC"},
                          {"10:00:01", "crawl.example.org", "/x.html", "BotC"},
                          {"10:00:02", "10.0.0.5", "/robots.txt", "BotA"}}));
  // Without a hook the new spiders wait for the user interface.
  ASSERT_EQ(Run(), 1);
  ASSERT_EQ(g_auxDatabases.newSpiderStart, 0);
  for (CHitRecord* r : Hits()) EXPECT_FALSE(Spider(r));
  ASSERT_NE(Hits()[0]->Address(), 0u) << "the DNS pass gave the named host an address";
  ApplyDetectedSpiders();
  for (CHitRecord* r : Hits()) EXPECT_TRUE(Spider(r)) << Agent(r);

  // Through the hook: a refusal leaves the hits alone, an acceptance marks them.
  for (bool answer : {false, true}) {
    InvalidateLogData(g_project);
    g_auxDatabases.autoRobots.clear();
    FeedCommitTables();
    g_confirmAnswer = answer;
    SetSpiderConfirmHook(ConfirmHook);
    g_confirmCalls = 0;
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(g_confirmCalls, 1);
    for (CHitRecord* r : Hits()) EXPECT_EQ(Spider(r), answer) << Agent(r);
  }
}

TEST_F(AnalysisTest, VisitorNumbersStopAtTheLargestWithOneMessage) {
  AddSource("a.log", W3c({{"10:00:00", "10.0.0.1", "/a.html", "A"},
                          {"10:00:01", "10.0.0.2", "/a.html", "A"},
                          {"10:00:02", "10.0.0.3", "/a.html", "A"},
                          {"10:00:03", "10.0.0.1", "/b.html", "A"}}));
  ASSERT_EQ(Run(), 1);
  tvtest::MessageCapture capture;
  NumberVisitors(g_project.sources, kMaxVisitorId - 1);
  std::vector<uint32_t> ids;
  for (CHitRecord* r : Hits()) ids.push_back(r->VisitorId());
  EXPECT_EQ(ids, (std::vector<uint32_t>{kMaxVisitorId, kMaxVisitorId, kMaxVisitorId, kMaxVisitorId}));
  EXPECT_EQ(g_visitorCounter, kMaxVisitorId);
  EXPECT_EQ(capture.messages.size(), 1u);
}

TEST_F(AnalysisTest, PeriodIsAskedForOdbcSources) {
  EXPECT_FALSE(g_project.NeedPeriodDialog(1));
  CLogSource s;
  CLogSourceList::InitEntry(&s);
  s.type = kSourceOdbc;
  g_project.sources.Add(s);
  EXPECT_TRUE(g_project.NeedPeriodDialog(0));
  EXPECT_FALSE(g_project.NeedPeriodDialog(0));
  EXPECT_TRUE(g_project.NeedPeriodDialog(1));
}

TEST(LogFileReportList, AddFreeAndEmptyFiles) {
  CLogFileReportList list;
  EXPECT_FALSE(list.HasEmptyFile());
  EXPECT_EQ(list.Add("a.log", 100, 3), 1);
  EXPECT_FALSE(list.HasEmptyFile());
  EXPECT_EQ(list.Add("b.log", 0, 0), 1);
  EXPECT_TRUE(list.HasEmptyFile());
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.entries[0].name, "a.log");
  list.Free();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
