// Every report kind against a plain reference grouping of the same hits: a
// std::map over the texts the kind compares. Logs are read through the whole
// analysis pass, so pages cut at their query, and texts stored again by a
// second load, reach the queries with handles of their own.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/analysis/analysis.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/query/pathlist.h"
#include "engine/query/query.h"
#include "engine/query/recordtree.h"
#include "engine/query/rowtable.h"
#include "engine/query/summary.h"
#include "engine/sources/odbcload.h"
#include "engine/store/hittext.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"
#include "tests/common/testenv.h"
#include "tests/engine/auxfixture.h"
#include "tests/engine/readtest.h"

namespace {

constexpr const char* kFirefox = "Mozilla Firefox (Windows NT 10)";
constexpr const char* kOpera = "Opera (Linux)";
constexpr const char* kGetRight = "GetRight/6";
constexpr const char* kCrawler = "crawl/1.0";
constexpr const char* kRedShoes = "http://www.google.com/search?q=Red+Shoes";

struct Line {
  const char *client, *user, *time, *page;
  int status, bytes;
  const char *referrer, *agent;
};

std::string Combined(const std::vector<Line>& lines) {
  std::string s;
  for (const Line& l : lines) {
    s += std::string(l.client) + " - " + l.user + " [05/Mar/2004:" + l.time + " +0000] \"GET " + l.page +
         " HTTP/1.1\" " + std::to_string(l.status) + " " + std::to_string(l.bytes) + " \"" + l.referrer + "\" \"" +
         l.agent + "\"\n";
  }
  return s;
}

// The first log: one page with and without queries and in two cases, a client
// logged by name, users in two cases, keywords in two cases, errors, a spider.
const std::vector<Line> kFirstLog = {
    {"10.0.0.1", "-", "10:00:00", "/a.htm?x=1", 200, 100, kRedShoes, kFirefox},
    {"10.0.0.1", "-", "10:01:00", "/a.htm?y=2", 200, 110, "http://www.site.com/a.htm", kFirefox},
    {"10.0.0.1", "-", "10:02:00", "/a.htm", 200, 120, "-", kFirefox},
    {"10.0.0.1", "-", "10:03:00", "/A.htm", 200, 130, "http://Blog.Example.org/post", kFirefox},
    {"10.0.0.1", "-", "10:04:00", "/logo.gif", 200, 50, "http://www.site.com/a.htm", kFirefox},
    {"client.example.net", "alice", "10:05:00", "/a.htm?x=1", 200, 140, "http://blog.example.org/post", kOpera},
    {"client.example.net", "alice", "10:06:00", "/b/c.html", 404, 10, "http://blog.example.org/post", kOpera},
    {"client.example.net", "Alice", "10:07:00", "/B/c.html?q=z", 200, 150, "http://www.google.com/search?q=red+shoes",
     kOpera},
    {"10.0.0.2", "bob", "10:08:00", "/missing.htm", 404, 20, "-", kGetRight},
    {"10.0.0.2", "bob", "10:09:00", "/a.htm?X=1", 500, 30, "http://www.site.com/a.htm", kGetRight},
    {"10.0.0.9", "-", "10:10:00", "/robots.txt", 200, 5, "-", kCrawler},
    {"10.0.0.9", "-", "10:11:00", "/a.htm?x=1", 200, 100, "-", kCrawler},
    {"other.example.net", "-", "10:12:00", "/a.htm", 200, 100, "-", "-"},
    {"10.0.0.1", "-", "10:13:00", "/a.htm?x=1", 200, 100, "http://www.google.com/search?q=Blue", kFirefox},
};

// The source a second load adds: the same texts again, minutes later.
const std::vector<Line> kSecondLog = {
    {"client.example.net", "alice", "10:20:00", "/a.htm?x=1", 200, 140, "http://blog.example.org/post", kOpera},
    {"client.example.net", "alice", "10:21:00", "/a.htm", 200, 140, kRedShoes, kOpera},
    {"10.0.0.1", "-", "10:22:00", "/a.htm?z=3", 200, 100, kRedShoes, kFirefox},
    {"10.0.0.1", "-", "10:23:00", "/A.htm", 200, 100, "http://Blog.Example.org/post", kFirefox},
    {"10.0.0.2", "bob", "10:24:00", "/missing.htm", 404, 20, "-", kGetRight},
    {"10.0.0.9", "-", "10:25:00", "/a.htm", 200, 100, "-", kCrawler},
    {"other.example.net", "-", "10:26:00", "/b/c.html?x=1", 200, 10, "http://blog.example.org/other", "-"},
    {"client.example.net", "Alice", "10:27:00", "/B/c.html", 200, 10, "-", kOpera},
};

const std::string kNone = "\x01none";

std::string Or(const char* t) { return t ? std::string(t) : kNone; }
std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}
bool Spider(const CHitRecord* r) { return (r->Flags() & kHitRobot) != 0; }
bool FromEngine(const CHitRecord* r) { return (r->Flags() & kHitSearchEngine) != 0; }
bool Error(const CHitRecord* r) { return IsErrorStatus(r->Status()); }

// The texts the kinds compare, as the options say.
std::string PageText(const CHitRecord* r) {
  return g_project.display.case_page ? Lower(PageOf(r)) : std::string(PageOf(r));
}
std::string PageRowKey(const CHitRecord* r) {
  return std::to_string(r->PageType()) + "|" + PageText(r) + "|" + std::to_string(Spider(r)) + "|" +
         std::to_string(Error(r));
}
std::string HostKey(const CHitRecord* r) {
  if (r->Address()) return "a" + std::to_string(r->Address());
  const char* name = g_pools.hosts.Text(r->GetHostName());
  return name && *name ? "n" + std::string(name) : kNone;
}
std::string Keyword(const CHitRecord* r, size_t size) {
  if (!FromEngine(r) || !ReferrerOf(r)) return kNone;
  std::vector<char> buf(size);
  std::string k = FormatKeyText(buf.data(), ReferrerOf(r), r->RobotIndex(), size);
  return g_project.display.case_kwd ? k : Lower(k);
}
std::string Site(const CHitRecord* r) {
  char buf[kUrlTextSize];
  return ReferrerOf(r) ? Lower(CopyUrlWithoutScheme(buf, ReferrerOf(r), sizeof buf, 1)) : kNone;
}
std::string Browser(const CHitRecord* r) { return Spider(r) || AgentOf(r) ? FormatBrowser(r, nullptr, 0) : kNone; }

// The hits a kind counts with every switch on.
bool Counts(int kind, const CHitRecord* r) {
  switch (kind) {
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportFileType:
    case kReportFolder: return *PageOf(r) != 0;
    case kReportError:
    case kReportErrorCode: return Error(r);
    case kReportOs: return !Spider(r);
    case kReportSpider:
    case kReportSpiderAgent: return Spider(r);
    case kReportArgument:
      return g_project.display.ignore_argm ? (r->Flags() & kHitQuery) != 0 : strchr(PageOf(r), '?') != nullptr;
  }
  return true;
}

// The visitors' paths: their page texts in project order, a repeat of the
// last page left out.
using Paths = std::map<uint32_t, std::vector<std::string>>;

std::string KeyOf(int kind, const CHitRecord* r, const Paths& paths) {
  char buf[kUrlTextSize];
  const char* ref = ReferrerOf(r);
  switch (kind) {
    case kReportPage:
    case kReportEntry:
    case kReportExit: return PageRowKey(r);
    case kReportHost: return HostKey(r);
    case kReportReferrer: return Or(ref);
    case kReportKeyword: return Keyword(r, 290);
    case kReportSearchEngine: return SiteName(r->RobotIndex());
    case kReportReferringSite: return Site(r);
    case kReportCountry: return GetCountryOf(r);
    case kReportOs: return AgentOf(r) ? FindOperatingSystem(AgentOf(r)) : kNone;
    case kReportBrowser:
    case kReportSpider:
    case kReportDownloadManager: return Browser(r);
    case kReportHour: return std::to_string(HourOfSeconds(r->Seconds()));
    case kReportWeekday: return std::to_string(DayOfWeek(r->PackedDate()));
    case kReportGroup: return std::to_string(r->PageType());
    case kReportFileType: return Lower(ExtensionOfPath(buf, PageOf(r), sizeof buf));
    case kReportFolder: {
      std::string f = FolderOfUrl(buf, PageOf(r), sizeof buf);
      return g_project.display.case_page ? Lower(f) : f;
    }
    case kReportTopDomain: return ref ? Lower(DomainOfUrl(buf, ref, sizeof buf)) : kNone;
    case kReportMonth: return std::to_string(r->Month());
    case kReportVisitor: return std::to_string(r->VisitorId());
    case kReportCity: return GetCityRegionCountryOf(buf, sizeof buf, r, true);
    case kReportRegion: return GetRegionCountryOf(buf, sizeof buf, r, true);
    case kReportUser: return Or(g_pools.users.Text(r->GetUserName()));
    case kReportStatus:
    case kReportErrorCode: return std::to_string(r->Status());
    case kReportPath: {
      std::string p;
      for (const std::string& page : paths.at(r->VisitorId())) p += page + "\n";
      return p;
    }
    case kReportDate: return std::to_string(r->PackedDate());
    case kReportSubdomain: return "-";
    case kReportArgument: return Lower(QueryPartOfUrl(r->Page()));
    case kReportReferrerType: return std::to_string(ClassifyReferrer(r));
    case kReportError: return std::to_string(r->Status()) + "|" + Or(ref);
    case kReportSpiderAgent: return Browser(r) + "|" + Or(AgentOf(r));
  }
  ADD_FAILURE() << "no key for kind " << kind;
  return "";
}

// Extra columns asked of every kind, and the value of a hit for each.
const uint32_t kExtras[] = {kPairPage, kPairHost, kPairReferrer, kPairKeyword, kPairSite, 0};
constexpr int kExtraCount = 5;

std::string ExtraValue(int e, const CHitRecord* r) {
  switch (kExtras[e]) {
    case kPairPage: return PageText(r);
    case kPairHost: return HostKey(r);
    case kPairReferrer: return Or(ReferrerOf(r));
    case kPairKeyword: return Keyword(r, 290);
    case kPairSite: return Site(r);
  }
  return "";
}

// hits, visitors, pages, bytes sent, the extra columns.
using Figures = std::array<uint64_t, 4 + kExtraCount>;

struct Group {
  uint64_t hits = 0, bytes = 0;
  std::set<uint32_t> visitors;
  std::set<std::string> pages;
  std::set<std::string> extras[kExtraCount];
  void Add(const CHitRecord* r) {
    ++hits;
    bytes += r->BytesSent();
    visitors.insert(r->VisitorId());
    pages.insert(PageText(r));
    AddExtras(r);
  }
  void AddExtras(const CHitRecord* r) {
    for (int e = 0; e < kExtraCount; ++e) extras[e].insert(ExtraValue(e, r));
  }
};

struct KindCase {
  int kind;
  bool visitors, pages;  // the distinct counts the kind has
};

const KindCase kKinds[] = {
    {kReportPage, true, false},         {kReportHost, false, true},           {kReportReferrer, true, true},
    {kReportKeyword, true, true},       {kReportSearchEngine, true, true},    {kReportReferringSite, true, true},
    {kReportCountry, true, true},       {kReportOs, true, true},              {kReportBrowser, true, true},
    {kReportHour, true, true},          {kReportEntry, true, false},          {kReportExit, true, false},
    {kReportWeekday, true, true},       {kReportGroup, true, false},          {kReportFileType, true, true},
    {kReportFolder, true, true},        {kReportTopDomain, true, true},       {kReportMonth, true, true},
    {kReportVisitor, false, true},      {kReportCity, true, true},            {kReportRegion, true, true},
    {kReportUser, true, true},          {kReportStatus, true, true},          {kReportPath, true, false},
    {kReportSpider, false, true},       {kReportDate, true, true},            {kReportSubdomain, true, true},
    {kReportArgument, true, true},      {kReportReferrerType, true, true},    {kReportError, true, true},
    {kReportSpiderAgent, true, true},   {kReportErrorCode, true, true},       {kReportDownloadManager, true, true},
};

class QueryOracle : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = tvtest::NewDir("oracle"); }
  void TearDown() override {
    g_pathList.Clear();
    g_project.Clear();
    g_auxDatabases = CAuxDatabases();
    FeedCommitTables();
    readtest::ResetLoadState();
  }

  // A project of its own, and pools that hold none of the texts of earlier runs.
  void Fresh() {
    g_project.Clear();
    g_pathList.Clear();
    readtest::ResetLoadState();
    g_project.display = CDisplayOptions{};
    g_settings = SettingsBlock{};
    g_analysisOptions = CAnalysisOptions();
    g_auxDatabases = CAuxDatabases();
    g_auxDatabases.sites = {auxfixture::Site("Google", 0, {"q="})};
    g_auxDatabases.searchEngines = {AuxSearchEngineRow{0, 10, 0, "google.com"}};
    g_auxDatabases.os = {auxfixture::Os("Windows NT 10", "Windows 10"), auxfixture::Os("Linux", "Linux")};
    g_auxDatabases.browsers = {auxfixture::Browser(0, "Firefox", "Firefox"), auxfixture::Browser(0, "Opera", "Opera"),
                               auxfixture::Browser(1, "GetRight", "GetRight")};
    g_auxDatabases.robots = {auxfixture::Robot("Crawler", "crawl")};
    FeedCommitTables();
    for (CStringPool* p : {&g_pools.pages, &g_pools.referrers, &g_pools.hosts, &g_pools.users, &g_pools.agents})
      p->FreeAll();
  }

  void Load(const std::vector<std::vector<Line>>& logs, bool ignoreArgm) {
    g_project.display.ignore_argm = ignoreArgm;
    g_project.groups.Insert(0, "Pages", ".htm;.html", kGroupPages);
    g_project.groups.Insert(1, "Images", ".gif", kGroupOther);
    g_project.expand_groups = 1;
    SetStr(&g_project.url, "http://www.site.com");
    g_project.options_copied = 1;
    for (size_t i = 0; i < logs.size(); ++i) {
      std::string path = dir_ + (ignoreArgm ? "on" : "off") + std::to_string(i) + ".log";
      tvtest::WriteFile(path, Combined(logs[i]));
      CLogSource s;
      CLogSourceList::InitEntry(&s);
      s.file = const_cast<char*>(path.c_str());
      g_project.sources.Add(s);
      s.file = nullptr;
      // Each source comes with a load of its own, as when the user adds a log.
      ASSERT_EQ(AnalyseLogs(g_project, 0, 0, LoadOdbcTable, "index.html"), 1);
    }
  }

  std::vector<CHitRecord*> AllHits() {
    std::vector<CHitRecord*> all;
    for (int s = 0; s < g_project.sources.Count(); ++s)
      for (CHitRecord* r : readtest::Records(g_project.sources[s].records)) all.push_back(r);
    return all;
  }

  // The reference rows of a kind, by key.
  std::map<std::string, Figures> Reference(const KindCase& k, const std::vector<CHitRecord*>& hits,
                                           const Paths& paths) {
    std::map<std::string, Group> groups;
    if (k.kind == kReportKeyword || k.kind == kReportSearchEngine) {
      // Search-engine hits with a keyword make the rows; the visitor's other
      // hits add their bytes to the first row the visitor was counted in.
      std::vector<std::string> order;
      std::map<uint32_t, size_t> firstRow;
      for (CHitRecord* r : hits) {
        if (!FromEngine(r)) {
          auto it = firstRow.find(r->VisitorId());
          if (it != firstRow.end()) groups[order[it->second]].bytes += r->BytesSent();
          continue;
        }
        if (Keyword(r, 290).empty()) continue;
        std::string key = KeyOf(k.kind, r, paths);
        if (!groups.count(key)) order.push_back(key);
        groups[key].Add(r);
        size_t row = std::find(order.begin(), order.end(), key) - order.begin();
        auto [it, fresh] = firstRow.try_emplace(r->VisitorId(), row);
        if (!fresh && row < it->second) it->second = row;
      }
    } else if (k.kind == kReportEntry || k.kind == kReportExit) {
      // A visit's first (last) counted hit on its page's row; every counted
      // hit of the visit adds to that row's extra columns.
      std::map<uint32_t, std::vector<CHitRecord*>> visits;
      for (CHitRecord* r : hits)
        if (Counts(k.kind, r)) visits[r->VisitorId()].push_back(r);
      for (auto& [visitor, list] : visits) {
        CHitRecord* chosen = k.kind == kReportEntry ? list.front() : list.back();
        Group& g = groups[KeyOf(k.kind, chosen, paths)];
        g.Add(chosen);
        for (CHitRecord* r : list) g.AddExtras(r);
      }
    } else {
      for (CHitRecord* r : hits)
        if (Counts(k.kind, r)) groups[KeyOf(k.kind, r, paths)].Add(r);
    }
    std::map<std::string, Figures> out;
    for (auto& [key, g] : groups) {
      Figures f{g.hits, k.visitors ? g.visitors.size() : 0, k.pages ? g.pages.size() : 0, g.bytes};
      for (int e = 0; e < kExtraCount; ++e) f[4 + e] = g.extras[e].size();
      out[key] = f;
    }
    return out;
  }

  std::string dir_;
};

TEST_F(QueryOracle, EveryKindGroupsByTheTextsItCompares) {
  struct Variant {
    bool ignoreArgm, secondLoad;
  };
  for (Variant v : {Variant{false, false}, Variant{true, false}, Variant{false, true}, Variant{true, true}}) {
    Fresh();
    Load(v.secondLoad ? std::vector<std::vector<Line>>{kFirstLog, kSecondLog} : std::vector<std::vector<Line>>{kFirstLog},
         v.ignoreArgm);
    std::vector<CHitRecord*> hits = AllHits();
    ASSERT_EQ(hits.size(), kFirstLog.size() + (v.secondLoad ? kSecondLog.size() : 0));

    // The fixture does reach the queries with one text under several handles.
    std::set<TextHandle> pageHandles, referrerHandles;
    std::set<std::string> pageTexts, referrerTexts;
    for (CHitRecord* r : hits) {
      pageHandles.insert(r->Page());
      pageTexts.insert(PageOf(r));
      referrerHandles.insert(r->GetReferrer());
      referrerTexts.insert(Or(ReferrerOf(r)));
    }
    EXPECT_EQ(pageHandles.size() > pageTexts.size(), v.ignoreArgm || v.secondLoad);
    EXPECT_EQ(referrerHandles.size() > referrerTexts.size(), v.secondLoad);
    // The client logged by name stays one visitor across both sources.
    std::set<uint32_t> named;
    for (CHitRecord* r : hits)
      if (HostKey(r) == "nclient.example.net") named.insert(r->VisitorId());
    EXPECT_EQ(named.size(), 1u);

    Paths paths;
    for (CHitRecord* r : hits) {
      std::vector<std::string>& p = paths[r->VisitorId()];
      if (p.empty() || p.back() != PageOf(r)) p.push_back(PageOf(r));
    }

    for (int caseRules = 0; caseRules < 2; ++caseRules) {
      g_project.display.case_page = static_cast<int16_t>(caseRules);
      g_project.display.case_kwd = static_cast<int16_t>(1 - caseRules);
      SCOPED_TRACE(std::string("ignore_argm ") + (v.ignoreArgm ? "on" : "off") +
                   (v.secondLoad ? ", two loads" : ", one load") +
                   (caseRules ? ", pages without case, keywords without case" : ", default case rules"));
      CQueryParams all;
      all.groupOn[8] = 1;
      for (const KindCase& k : kKinds) {
        SCOPED_TRACE("kind " + std::to_string(k.kind));
        CRowTable table;
        ASSERT_EQ(RunQuery(g_project, k.kind, table, all, kExtras), 1);
        std::map<std::string, Figures> got;
        for (int32_t i = 0; i < table.RowCount(); ++i) {
          CRow* row = table.GetRow(i);
          Figures f{row->Hits(), row->Visitors(), row->Pages(), row->BytesSent()};
          for (int e = 0; e < kExtraCount; ++e) f[4 + e] = *table.RowField(row, static_cast<uint32_t>(e));
          std::string key = KeyOf(k.kind, row->Record(), paths);
          EXPECT_TRUE(got.emplace(key, f).second) << "two rows for " << key;
        }
        EXPECT_EQ(got, Reference(k, hits, paths));
      }

      // The summary's distinct counts, by the same texts.
      std::set<std::string> hosts, pages, referrers, sites, keywords, engines, entryPages;
      std::set<uint32_t> visitors, entered;
      for (CHitRecord* r : hits) {
        hosts.insert(HostKey(r));
        visitors.insert(r->VisitorId());
        if (*PageOf(r)) pages.insert(PageRowKey(r));
        referrers.insert(Or(ReferrerOf(r)));
        sites.insert(Site(r));
        if (FromEngine(r)) {
          keywords.insert(Keyword(r, kKeywordSize));
          engines.insert(SiteName(r->RobotIndex()));
        }
        if (r->PageType() != 8 && entered.insert(r->VisitorId()).second) entryPages.insert(PageRowKey(r));
      }
      CSummaryStats stats;
      ASSERT_EQ(RunSummaryQuery(g_project, stats, all), 1);
      EXPECT_EQ(stats.hits, hits.size());
      EXPECT_EQ(stats.hosts, hosts.size());
      EXPECT_EQ(stats.visitors, visitors.size());
      EXPECT_EQ(stats.pages, pages.size());
      EXPECT_EQ(stats.referrers, referrers.size());
      EXPECT_EQ(stats.referringSites, sites.size());
      EXPECT_EQ(stats.keywords, keywords.size());
      EXPECT_EQ(stats.searchEngines, engines.size());
      EXPECT_EQ(stats.entryPages, entryPages.size());
    }
  }
}

}  // namespace
