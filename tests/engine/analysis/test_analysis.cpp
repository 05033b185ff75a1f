#include "engine/analysis/analysis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
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
