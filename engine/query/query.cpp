#include "engine/query/query.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/query/pathlist.h"
#include "engine/query/queryderive.h"
#include "engine/query/recordtree.h"
#include "engine/store/hittext.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"

using query_detail::FlatMap;
using query_detail::DistinctSet;
using query_detail::Memo;
using query_detail::PooledTextIds;
using query_detail::TextIds;

namespace {

constexpr size_t kQueryKeywordSize = 290;

bool SamePath(const CPathEntry* a, const CPathEntry* b) {
  if (!a || !b || a->count != b->count) return false;
  for (int32_t i = 0; i < a->count; ++i)
    if (!SamePageText(a->hits[i], b->hits[i])) return false;
  return true;
}
bool IsSpider(const CHitRecord* r) { return (r->Flags() & kHitRobot) != 0; }
bool FromSearchEngine(const CHitRecord* r) { return (r->Flags() & kHitSearchEngine) != 0; }
bool PagesIgnoreCase() { return g_project.display.case_page != 0; }
bool KeywordsIgnoreCase() { return g_project.display.case_kwd == 0; }

int Sign(int c) { return c < 0 ? -1 : c > 0; }
template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : a > b;
}

// The key text of a text-keyed kind; null when the record has no value.
const char* KeyText(int kind, const CHitRecord* r, char* buf, size_t size) {
  switch (kind) {
    case kReportKeyword: {
      const char* ref = ReferrerOf(r);
      if (!ref || !FromSearchEngine(r)) return nullptr;
      return FormatKeyText(buf, ref, r->RobotIndex(), size < kQueryKeywordSize ? size : kQueryKeywordSize);
    }
    case kReportSearchEngine: return FromSearchEngine(r) ? SiteName(r->RobotIndex()) : nullptr;
    case kReportReferringSite: {
      const char* ref = ReferrerOf(r);
      return ref ? CopyUrlWithoutScheme(buf, ref, size, 1) : nullptr;
    }
    case kReportTopDomain: {
      const char* ref = ReferrerOf(r);
      return ref ? DomainOfUrl(buf, ref, size) : nullptr;
    }
    case kReportCountry: return GetCountryOf(r);
    case kReportCity: return GetCityRegionCountryOf(buf, size, r, true);
    case kReportRegion: return GetRegionCountryOf(buf, size, r, true);
    case kReportOs: {
      const char* agent = AgentOf(r);
      return agent ? FindOperatingSystem(agent) : nullptr;
    }
    case kReportBrowser:
    case kReportSpider:
    case kReportDownloadManager: return IsSpider(r) || AgentOf(r) ? FormatBrowser(r, nullptr, 0) : nullptr;
    case kReportFileType: return ExtensionOfPath(buf, PageOf(r), size);
    case kReportFolder: return FolderOfUrl(buf, PageOf(r), size);
    case kReportArgument: return QueryPartOfUrl(r->Page());
    case kReportSubdomain: {
      const char* s = g_pools.subdomains.Text(r->GetSubdomain());
      return s && *s ? s : "-";
    }
    case kReportUser: return g_pools.users.Text(r->GetUserName());
  }
  return nullptr;
}

bool KeyIgnoresCase(int kind) {
  switch (kind) {
    case kReportKeyword: return KeywordsIgnoreCase();
    case kReportFolder: return PagesIgnoreCase();
    case kReportReferringSite:
    case kReportTopDomain:
    case kReportFileType:
    case kReportArgument: return true;
  }
  return false;
}

int CompareKeyTexts(int kind, const CHitRecord* a, const CHitRecord* b) {
  char ba[kUrlTextSize], bb[kUrlTextSize];
  const char* ta = KeyText(kind, a, ba, sizeof ba);
  const char* tb = KeyText(kind, b, bb, sizeof bb);
  if (!ta || !tb) return (ta == nullptr) - (tb == nullptr);
  return Sign(KeyIgnoresCase(kind) ? strcasecmp(ta, tb) : strcmp(ta, tb));
}

// The input a kind's key text is a function of, for the memo tables.
uint64_t KeyInput(int kind, const CHitRecord* r) {
  switch (kind) {
    case kReportKeyword: return FromSearchEngine(r) ? (uint64_t{r->GetReferrer()} << 16 | r->RobotIndex()) : 0;
    case kReportSearchEngine: return FromSearchEngine(r) ? uint64_t{r->RobotIndex()} + 1 : 0;
    case kReportReferringSite:
    case kReportTopDomain: return r->GetReferrer();
    case kReportCountry:
    case kReportCity:
    case kReportRegion: return r->Address() ? r->Address() : (uint64_t{1} << 32 | r->GetHostName());
    case kReportOs: return r->GetUserAgent();
    case kReportBrowser:
    case kReportSpider:
    case kReportDownloadManager: return IsSpider(r) ? (uint64_t{1} << 40 | r->RobotIndex()) : r->GetUserAgent();
    case kReportFileType:
    case kReportFolder:
    case kReportArgument: return r->Page();
    case kReportSubdomain: return r->GetSubdomain();
    case kReportUser: return r->GetUserName();
  }
  return 0;
}

// While a query runs: the browser-table class of each agent text met so far.
FlatMap* s_agentClasses = nullptr;

int AgentClass(const CHitRecord* r, const char* agent) {
  if (!s_agentClasses) return FindBrowser(agent);
  bool inserted;
  uint32_t& v = s_agentClasses->Get(r->GetUserAgent(), 0, &inserted);
  if (inserted) v = static_cast<uint32_t>(FindBrowser(agent) + 1);
  return static_cast<int>(v) - 1;
}

bool HasStatusError(const CHitRecord* r) { return IsErrorStatus(r->Status()); }

bool CommonFilter(const CHitRecord* r, const CQueryParams& p, bool spiderTest) {
  if (spiderTest) {
    if (IsSpider(r) ? !p.spidersOn : !p.humansOn) return false;
  }
  if (p.dateFromOn && r->PackedDate() < p.dateFrom) return false;
  if (p.dateToOn && r->PackedDate() > p.dateTo) return false;
  uint32_t g = r->PageType();
  if (g > 8) g = 8;
  return p.groupOn[g] != 0;
}

bool ErrorRule(const CHitRecord* r, const CQueryParams& p) {
  bool error = HasStatusError(r);
  if (!p.errorsOn && error) return false;
  if (!p.successOn && !error) return false;
  return true;
}

void AppendBytes(std::string& key, const void* p, size_t n) { key.append(static_cast<const char*>(p), n); }
template <typename T>
void AppendValue(std::string& key, T v) {
  AppendBytes(key, &v, sizeof v);
}
void AppendText(std::string& key, const char* text) {
  if (text) key.append(text);
  key.push_back('\0');
}
void AppendLevel(std::string& key, const CLevelFilter& f) {
  AppendValue(key, f.rowFlags);
  AppendValue(key, f.kind);
  AppendValue(key, f.value);
  AppendText(key, f.text);
  AppendValue(key, f.index);
  AppendBytes(key, f.record, sizeof f.record);
}

}  // namespace

// ---------------------------------------------------------------------------
// Comparators

int CompareRecordsByPage(const CHitRecord* a, const CHitRecord* b) {
  if (int c = Order(a->PageType(), b->PageType())) return c;
  if (int c = Sign(PagesIgnoreCase() ? strcasecmp(PageOf(a), PageOf(b)) : strcmp(PageOf(a), PageOf(b)))) return c;
  if (int c = Order(IsSpider(a), IsSpider(b))) return c;
  return Order(HasStatusError(a), HasStatusError(b));
}
int CompareRecordsByReferrer(const CHitRecord* a, const CHitRecord* b) {
  const char* ra = ReferrerOf(a);
  const char* rb = ReferrerOf(b);
  if (!ra || !rb) return (ra == nullptr) - (rb == nullptr);
  return Sign(strcmp(ra, rb));
}
int CompareRecordsByKeyword(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportKeyword, a, b); }
int CompareRecordsBySearchEngine(const CHitRecord* a, const CHitRecord* b) {
  return CompareKeyTexts(kReportSearchEngine, a, b);
}
int CompareRecordsByReferringSite(const CHitRecord* a, const CHitRecord* b) {
  return CompareKeyTexts(kReportReferringSite, a, b);
}
int CompareRecordsByCountry(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportCountry, a, b); }
int CompareRecordsByOperatingSystem(const CHitRecord* a, const CHitRecord* b) {
  return CompareKeyTexts(kReportOs, a, b);
}
int CompareRecordsByBrowser(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportBrowser, a, b); }
int CompareRecordsByHour(const CHitRecord* a, const CHitRecord* b) {
  return Order(HourOfSeconds(a->Seconds()), HourOfSeconds(b->Seconds()));
}
int CompareRecordsByWeekday(const CHitRecord* a, const CHitRecord* b) {
  return Order(DayOfWeek(a->PackedDate()), DayOfWeek(b->PackedDate()));
}
int CompareRecordsByGroup(const CHitRecord* a, const CHitRecord* b) { return Order(a->PageType(), b->PageType()); }
int CompareRecordsByFileType(const CHitRecord* a, const CHitRecord* b) {
  return CompareKeyTexts(kReportFileType, a, b);
}
int CompareRecordsByFolder(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportFolder, a, b); }
int CompareRecordsByReferringDomain(const CHitRecord* a, const CHitRecord* b) {
  return CompareKeyTexts(kReportTopDomain, a, b);
}
int CompareRecordsByMonth(const CHitRecord* a, const CHitRecord* b) { return Order(a->Month(), b->Month()); }
int CompareRecordsByCity(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportCity, a, b); }
int CompareRecordsByRegion(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportRegion, a, b); }
int CompareRecordsByUserName(const CHitRecord* a, const CHitRecord* b) { return CompareKeyTexts(kReportUser, a, b); }
int CompareRecordsByStatus(const CHitRecord* a, const CHitRecord* b) { return Order(a->Status(), b->Status()); }
int CompareRecordsByDate(const CHitRecord* a, const CHitRecord* b) { return Order(a->PackedDate(), b->PackedDate()); }
int CompareRecordsByArguments(const CHitRecord* a, const CHitRecord* b) {
  return CompareKeyTexts(kReportArgument, a, b);
}
int CompareRecordsByReferrerType(const CHitRecord* a, const CHitRecord* b) {
  return Order(ClassifyReferrer(a), ClassifyReferrer(b));
}
int CompareRecordsByError(const CHitRecord* a, const CHitRecord* b) {
  if (int c = CompareRecordsByStatus(a, b)) return c;
  return CompareRecordsByReferrer(a, b);
}
int CompareRecordsBySpider(const CHitRecord* a, const CHitRecord* b) {
  if (int c = CompareRecordsByBrowser(a, b)) return c;
  const char* ua = AgentOf(a);
  const char* ub = AgentOf(b);
  if (!ua || !ub) return (ua == nullptr) - (ub == nullptr);
  return Sign(strcmp(ua, ub));
}
namespace {
int CompareHosts(const CHitRecord* a, const CHitRecord* b) { return CompareByHost(a, b); }
int CompareVisitorIds(const CHitRecord* a, const CHitRecord* b) { return CompareVisitorNumbers(a, b); }
}  // namespace

QueryCompareFn QueryComparatorOf(int kind) {
  switch (kind) {
    case kReportPage:
    case kReportChildPages:
    case kReportEntry:
    case kReportExit: return CompareRecordsByPage;
    case kReportHost: return CompareHosts;
    case kReportReferrer: return CompareRecordsByReferrer;
    case kReportKeyword: return CompareRecordsByKeyword;
    case kReportSearchEngine: return CompareRecordsBySearchEngine;
    case kReportReferringSite: return CompareRecordsByReferringSite;
    case kReportCountry: return CompareRecordsByCountry;
    case kReportOs: return CompareRecordsByOperatingSystem;
    case kReportBrowser:
    case kReportSpider:
    case kReportDownloadManager: return CompareRecordsByBrowser;
    case kReportHour: return CompareRecordsByHour;
    case kReportWeekday: return CompareRecordsByWeekday;
    case kReportGroup: return CompareRecordsByGroup;
    case kReportFileType: return CompareRecordsByFileType;
    case kReportFolder: return CompareRecordsByFolder;
    case kReportTopDomain: return CompareRecordsByReferringDomain;
    case kReportMonth: return CompareRecordsByMonth;
    case kReportVisitor: return CompareVisitorIds;
    case kReportCity: return CompareRecordsByCity;
    case kReportRegion: return CompareRecordsByRegion;
    case kReportUser: return CompareRecordsByUserName;
    case kReportStatus:
    case kReportErrorCode: return CompareRecordsByStatus;
    case kReportPath: return CompareRecordsByPath;
    case kReportDate: return CompareRecordsByDate;
    case kReportSubdomain: return CompareRecordsBySubdomain;
    case kReportArgument: return CompareRecordsByArguments;
    case kReportReferrerType: return CompareRecordsByReferrerType;
    case kReportError: return CompareRecordsByError;
    case kReportSpiderAgent: return CompareRecordsBySpider;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Filters

bool RecordMatchesKind(int kind, const CHitRecord* r, const CQueryParams& p) {
  switch (kind) {
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportFileType:
    case kReportFolder:
    case kReportSummary:
      if (!*PageOf(r)) return false;
      if (!ErrorRule(r, p)) return false;
      break;
    case kReportError:
    case kReportErrorCode:
      if (!HasStatusError(r)) return false;
      break;
    case kReportReferrer:
    case kReportReferringSite:
    case kReportReferrerType:
      if (!r->GetReferrer() && !g_settings.no_refer) return false;
      break;
    case kReportOs:
      if (!r->GetUserAgent() && !g_settings.no_user_a) return false;
      if (IsSpider(r)) return false;
      break;
    case kReportBrowser:
    case kReportDownloadManager: {
      const char* agent = AgentOf(r);
      if (!agent && !p.otherAgentsOn) return false;
      if (IsSpider(r)) {
        if (!p.spidersOn) return false;
        return CommonFilter(r, p, false);
      }
      int cls = agent ? AgentClass(r, agent) : -1;
      uint32_t on = cls == 0 ? p.browserClass0On : cls == 1 ? p.browserClass1On : p.otherAgentsOn;
      if (!on) return false;
      break;
    }
    case kReportSpider:
    case kReportSpiderAgent:
      if (!IsSpider(r)) return false;
      return CommonFilter(r, p, false);
    case kReportChildPages: {
      if (!r->GetReferrer() || p.levelCount < 1) return false;
      char target[kUrlTextSize];
      int deepest = std::min(p.levelCount, kMaxQueryLevels) - 1;
      JoinSiteUrl(target, sizeof target, g_project.url, PageOf(p.levels[deepest].Record()));
      if (strcmp(ReferrerOf(r), target) != 0) return false;
      break;
    }
    case kReportArgument:
      if (g_project.display.ignore_argm) return (r->Flags() & kHitQuery) != 0;
      if (!strchr(PageOf(r), '?')) return false;
      break;
  }
  return CommonFilter(r, p, true);
}

void WalkRecordsInPeriod(CHitStore& store, CRowTable& table, const CQueryParams& p) {
  uint64_t n = store.RecordCount();
  CHitRecord* r = n ? store.First() : nullptr;
  for (uint64_t i = 0; i < n && r && !StopRequested(); ++i, r = i < n ? store.Next() : nullptr) {
    if (!IsSpider(r)) continue;
    if (p.dateFromOn && r->PackedDate() < p.dateFrom) continue;
    if (p.dateToOn && r->PackedDate() > p.dateTo) continue;
    CRow* row = table.AddRow(r);
    if (!row) break;
    row->AddHit(r, table.GroupSlots());
  }
}

void AppendQueryOptionsKey(std::string& key, const CQueryParams& p) {
  AppendValue(key, p.errorsOn);
  AppendValue(key, p.successOn);
  AppendValue(key, p.spidersOn);
  AppendValue(key, p.kind);
  AppendValue(key, p.humansOn);
  AppendValue(key, p.browserClass0On);
  AppendValue(key, p.browserClass1On);
  AppendValue(key, p.otherAgentsOn);
  AppendBytes(key, p.groupOn, sizeof p.groupOn);
  AppendValue(key, p.dateFromOn);
  AppendValue(key, p.dateToOn);
  AppendValue(key, p.dateFrom);
  AppendValue(key, p.dateTo);
  const CDisplayOptions& d = g_project.display;
  AppendValue(key, d.case_page);
  AppendValue(key, d.case_kwd);
  AppendValue(key, d.ignore_argm);
  AppendValue(key, d.not_use_cookie);
  AppendValue(key, g_project.int_reff);
  AppendValue(key, g_project.reff_se);
  AppendValue(key, g_project.session);
  AppendValue(key, g_project.options_copied);
  AppendValue(key, g_settings.no_refer);
  AppendValue(key, g_settings.no_user_a);
  AppendValue(key, g_groupSlots);
  AppendText(key, g_project.url);
  AppendValue(key, g_queryGeneration);
  AppendValue(key, g_project.sources.Count());
  for (int i = 0; i < g_project.sources.Count(); ++i) {
    AppendValue(key, &g_project.sources[i]);
    AppendValue(key, g_project.sources[i].records.RecordCount());
  }
}

// ---------------------------------------------------------------------------
// The query pass

namespace {

class CQueryRun {
 public:
  CQueryRun(int kind, CRowTable& table, const CQueryParams& params, const uint32_t* extras, int extraCount)
      : m_kind(kind), m_table(table), m_params(params), m_extraCount(extraCount) {
    for (int i = 0; i < extraCount; ++i) m_extraKinds[i] = extras[i];
    m_groupSlots = table.GroupSlots();
    // While every text of the pool has one handle, these keys are their handles.
    switch (kind) {
      case kReportPage:
      case kReportChildPages: m_keyIsCheap = m_pageIds.Distinct(); break;
      case kReportReferrer:
      case kReportError: m_keyIsCheap = m_referrerIds.Distinct(); break;
      case kReportHost: m_keyIsCheap = m_hostIds.Distinct(); break;
    }
    m_emptyKeyword = m_memo[kReportKeyword].texts.Intern("", false);
  }

  void Pass(CHitStore& store, int kind);
  void SecondPassOfVisits();
  void CountDistinct();

 private:
  bool ReferrerSkipped(const CHitRecord* r);
  int TestLevels(int kind, CHitRecord* r);
  // Texts are told apart by their ids, never by their handles: one text has a
  // handle per load, and a page cut at its query one per query.
  uint32_t PageId(const CHitRecord* r) { return m_pageIds.Id(r->Page()); }
  uint64_t PageKey(const CHitRecord* r) { return PageBits(r) | PageId(r); }
  static uint64_t PageBits(const CHitRecord* r) {
    return uint64_t{r->PageType()} << 32 | uint64_t{IsSpider(r)} << 40 | uint64_t{HasStatusError(r)} << 41;
  }
  // By address; a client logged by name (or one without either) by the name's text.
  uint64_t HostKey(const CHitRecord* r) {
    return r->Address() ? r->Address() : (uint64_t{1} << 32 | m_hostIds.Id(r->GetHostName()));
  }
  uint32_t TextKey(int kind, const CHitRecord* r);
  uint32_t PageTextHash(const CHitRecord* r);
  uint32_t PathId(const CHitRecord* r);
  // Kind 24: path ids are dense, so their rows sit in a plain array.
  int32_t PathRow(CHitRecord* r);
  // The row key: equal exactly for the hits the kind's comparator finds equal.
  uint64_t Key(const CHitRecord* r);
  // Kinds keyed by a pooled text: a key of handles that is equal only for hits
  // of one row, so that the text's id is looked up once per distinct handle.
  uint64_t RawKey(const CHitRecord* r);
  uint64_t ExtraValue(uint32_t pairKind, const CHitRecord* r);
  // The row of the record's key, made when new; -1 when none could be made.
  int32_t RowFor(CHitRecord* r);
  void AddPairs(int32_t row, const CHitRecord* r);
  void AddExtraPairs(int32_t row, const CHitRecord* r);

  int m_kind;
  CRowTable& m_table;
  const CQueryParams& m_params;
  uint32_t m_extraKinds[CRowTotals::kMaxExtra] = {};
  int m_extraCount;
  uint32_t m_groupSlots;
  bool m_keyIsCheap = true;  // the key is looked up per hit, without a raw key
  uint32_t m_emptyKeyword = 0;

  FlatMap m_rows;        // raw key (the key itself for numbers) -> row index
  FlatMap m_rowsByKey;   // key -> row index
  PooledTextIds m_pageIds{g_pools.pages, PagesIgnoreCase(), false, true};
  PooledTextIds m_referrerIds{g_pools.referrers, false};
  PooledTextIds m_hostIds{g_pools.hosts, false, true};
  PooledTextIds m_agentIds{g_pools.agents, false};
  uint64_t m_lastKey = ~0ull;
  int32_t m_lastRow = -1;
  DistinctSet m_visitorPairs, m_pagePairs;  // row << 32 | value
  DistinctSet m_extraPairs[CRowTotals::kMaxExtra];
  FlatMap m_extraValueIds[CRowTotals::kMaxExtra];
  FlatMap m_firstRowOfVisitor;  // kinds 4 and 5
  FlatMap m_internal;           // referrer -> matches the site
  Memo m_memo[kMaxReportKind + 1];
  FlatMap m_pageHashes;                    // page handle -> hash of its text
  struct PageHashSlot {
    uint64_t key = 0;  // page handle + 1; 0 = empty
    uint32_t hash = 0;
  };
  static constexpr int kPageHashCacheBits = 14;
  std::vector<PageHashSlot> m_pageHashCache = std::vector<PageHashSlot>(size_t{1} << kPageHashCacheBits);
  std::vector<int32_t> m_rowOfPath;          // path id -> row, -1 = none yet
  std::vector<uint64_t> m_pathHashOfVisitor; // hash of the visitor's path so far
  FlatMap m_pathIds;                       // path hash -> path id from 1
  std::vector<uint32_t> m_pathFirstVisitor;  // path id - 1 -> a visitor on it
  std::vector<uint32_t> m_pathOfVisitor;     // visitor -> path id + 1, 0 = not yet known
  FlatMap m_referrerTypes;

  // Kinds 11 and 12: visits of the first pass, by visitor number.
  struct Visit {
    uint32_t visitor;
    CHitRecord* first;
    CHitRecord* last;
  };
  FlatMap m_visitIndex;
  std::vector<Visit> m_visits;
  std::vector<std::pair<uint32_t, uint64_t>> m_visitExtras[CRowTotals::kMaxExtra];  // (visit, value id)
};

bool CQueryRun::ReferrerSkipped(const CHitRecord* r) {
  if (!g_project.int_reff && r->GetReferrer()) {
    bool inserted;
    uint32_t& v = m_internal.Get(r->GetReferrer(), 0, &inserted);
    if (inserted) {
      char site[kUrlTextSize];
      v = MatchUrlList(ReferrerOf(r), site, sizeof site) ? 1 : 0;
    }
    if (v) return true;
  }
  return !g_project.reff_se && FromSearchEngine(r);
}

int CQueryRun::TestLevels(int kind, CHitRecord* r) {
  int count = std::clamp(m_params.levelCount, 0, kMaxQueryLevels - 1);
  for (int i = 0; i < count; ++i) {
    bool later = false;
    for (int j = i + 1; j < count && !later; ++j) later = m_params.levels[j].kind == m_params.levels[i].kind;
    if (later) continue;
    const CLevelAlternatives& alt = m_params.alternatives[i];
    if (alt.count >= 2 && alt.filters) {
      int best = 0;
      for (int a = 0; a < alt.count && best < 2; ++a)
        best = std::max(best, LevelFilterMatches(kind, alt.filters[a], r));
      if (best == 0) return 0;
      if (best == 2) return 1;
    } else {
      int m = LevelFilterMatches(kind, m_params.levels[i], r);
      if (m == 0) return 0;
      if (m == 2) return 1;
    }
  }
  return 1;
}

uint32_t CQueryRun::TextKey(int kind, const CHitRecord* r) {
  return m_memo[kind].Get(KeyInput(kind, r), [kind, r](TextIds& t) {
    char buf[kUrlTextSize];
    return t.Intern(KeyText(kind, r, buf, sizeof buf), KeyIgnoresCase(kind));
  });
}

uint32_t CQueryRun::PageTextHash(const CHitRecord* r) {
  // A few pages take most hits: a small direct-mapped cache in front of the
  // map keeps them out of the map's cache misses.
  const uint64_t key = uint64_t{r->Page()} + 1;
  PageHashSlot& slot = m_pageHashCache[(r->Page() * 0x9E3779B1u) >> (32 - kPageHashCacheBits)];
  if (slot.key == key) return slot.hash;
  bool inserted;
  uint32_t& h = m_pageHashes.Get(r->Page(), 0, &inserted);
  if (inserted) {
    uint32_t x = 2166136261u;
    for (const char* p = PageOf(r); *p; ++p) x = (x ^ static_cast<unsigned char>(*p)) * 16777619u;
    h = x;
  }
  slot = PageHashSlot{key, h};
  return h;
}

int32_t CQueryRun::PathRow(CHitRecord* r) {
  uint32_t id = PathId(r);
  if (id >= m_rowOfPath.size()) m_rowOfPath.resize(std::max<size_t>(size_t{id} + 1, m_rowOfPath.size() * 2), -1);
  int32_t& row = m_rowOfPath[id];
  if (row < 0) {
    if (!m_table.AddRow(r)) return -1;
    row = m_table.RowCount() - 1;
  }
  return row;
}

// Paths are told apart by their page texts; the sequence is hashed from
// per-page hashes (while the paths are built) and checked against the first
// visitor of that hash, so no path text is built.
uint32_t CQueryRun::PathId(const CHitRecord* r) {
  uint32_t visitor = r->VisitorId();
  if (visitor >= m_pathOfVisitor.size()) m_pathOfVisitor.resize(size_t{visitor} + 1, 0);
  uint32_t& memo = m_pathOfVisitor[visitor];
  if (memo) return memo - 1;
  const CPathEntry* e = g_pathList.FindVisitor(visitor);
  if (!e) {
    memo = 1;  // the empty path is id 0
    return 0;
  }
  uint64_t h = (visitor < m_pathHashOfVisitor.size() ? m_pathHashOfVisitor[visitor] : 0) ^
               (0x243F6A8885A308D3ull * static_cast<uint64_t>(e->count));
  for (;; h = h * 0x9E3779B97F4A7C15ull + 1) {
    if (h == ~0ull) continue;
    bool inserted;
    uint32_t& id = m_pathIds.Get(h, static_cast<uint32_t>(m_pathFirstVisitor.size() + 1), &inserted);
    if (inserted) m_pathFirstVisitor.push_back(visitor);
    if (inserted || SamePath(g_pathList.FindVisitor(m_pathFirstVisitor[id - 1]), e)) {
      memo = id + 1;
      return id;
    }
  }
}

uint64_t CQueryRun::Key(const CHitRecord* r) {
  switch (m_kind) {
    case kReportPage:
    case kReportChildPages: return PageKey(r);
    case kReportHost: return HostKey(r);
    case kReportReferrer: return m_referrerIds.Id(r->GetReferrer());
    case kReportHour: return HourOfSeconds(r->Seconds());
    case kReportWeekday: return static_cast<uint32_t>(DayOfWeek(r->PackedDate()));
    case kReportGroup: return r->PageType();
    case kReportMonth: return r->Month();
    case kReportVisitor: return r->VisitorId();
    case kReportStatus:
    case kReportErrorCode: return r->Status();
    case kReportDate: return r->PackedDate();
    case kReportPath: return PathId(r);
    case kReportReferrerType: {
      if (g_project.adwords.Count() > 0) return static_cast<uint32_t>(ClassifyReferrer(r));
      bool inserted;
      uint32_t& v = m_referrerTypes.Get(uint64_t{r->GetReferrer()} << 8 | (r->Flags() & (kHitRobot | kHitSearchEngine)),
                                        0, &inserted);
      if (inserted) v = static_cast<uint32_t>(ClassifyReferrer(r));
      return v;
    }
    case kReportError: return uint64_t{r->Status()} << 32 | m_referrerIds.Id(r->GetReferrer());
    case kReportSpiderAgent: return uint64_t{TextKey(kReportBrowser, r)} << 32 | m_agentIds.Id(r->GetUserAgent());
    case kReportSpider:
    case kReportDownloadManager: return TextKey(kReportBrowser, r);
  }
  return TextKey(m_kind, r);
}

uint64_t CQueryRun::RawKey(const CHitRecord* r) {
  switch (m_kind) {
    case kReportPage:
    case kReportChildPages: return PageBits(r) | r->Page();
    case kReportHost: return r->Address() ? r->Address() : (uint64_t{1} << 32 | r->GetHostName());
    case kReportReferrer: return r->GetReferrer();
    case kReportError: return uint64_t{r->Status()} << 32 | r->GetReferrer();
  }
  return Key(r);
}

uint64_t CQueryRun::ExtraValue(uint32_t pairKind, const CHitRecord* r) {
  switch (pairKind) {
    case kPairVisitor: return r->VisitorId();
    case kPairPage: return PageId(r);
    case kPairHost: return HostKey(r);
    case kPairReferrer: return m_referrerIds.Id(r->GetReferrer());
    case kPairKeyword: return TextKey(kReportKeyword, r);
    case kPairRobot: return r->RobotIndex();
    case kPairSite: return TextKey(kReportReferringSite, r);
    case kPairCountry: return TextKey(kReportCountry, r);
  }
  return 0;
}

int32_t CQueryRun::RowFor(CHitRecord* r) {
  const bool cheap = m_keyIsCheap;
  const uint64_t raw = cheap ? Key(r) : RawKey(r);
  if (raw == m_lastKey && m_lastRow >= 0) return m_lastRow;
  bool inserted;
  uint32_t& v = m_rows.Get(raw, 0, &inserted);
  if (inserted) {
    bool fresh = true;
    uint32_t* row = cheap ? &v : &m_rowsByKey.Get(Key(r), 0, &fresh);
    if (fresh) {
      if (!m_table.AddRow(r)) return -1;
      *row = static_cast<uint32_t>(m_table.RowCount() - 1);
    }
    v = *row;
  }
  m_lastKey = raw;
  m_lastRow = static_cast<int32_t>(v);
  return m_lastRow;
}

void CQueryRun::AddPairs(int32_t row, const CHitRecord* r) {
  uint64_t base = uint64_t(uint32_t(row)) << 32;
  bool visitors = true, pages = true;
  switch (m_kind) {
    case kReportHost:
    case kReportVisitor:
    case kReportSpider: visitors = false; break;
    case kReportPage:
    case kReportGroup:
    case kReportPath:
    case kReportChildPages: pages = false; break;
  }
  if (visitors) m_visitorPairs.Add(base | r->VisitorId());
  if (pages) m_pagePairs.Add(base | PageId(r));
}

void CQueryRun::AddExtraPairs(int32_t row, const CHitRecord* r) {
  for (int i = 0; i < m_extraCount; ++i) {
    bool inserted;
    uint64_t v = ExtraValue(m_extraKinds[i], r);
    uint32_t& id = m_extraValueIds[i].Get(v, static_cast<uint32_t>(m_extraValueIds[i].Size()), &inserted);
    m_extraPairs[i].Add(uint64_t(uint32_t(row)) << 32 | id);
  }
}

void CQueryRun::Pass(CHitStore& store, int kind) {
  const bool referrerKind = kind == kReportReferrer || kind == kReportReferringSite || kind == kReportReferrerType;
  const bool visits = kind == kReportEntry || kind == kReportExit;
  const uint64_t n = store.RecordCount();
  CHitRecord* r = n ? store.First() : nullptr;
  for (uint64_t i = 0; i < n && r; ++i, r = i < n ? store.Next() : nullptr) {
    if (StopRequested()) return;
    if (referrerKind && ReferrerSkipped(r)) continue;
    bool counted = RecordMatchesKind(kind, r, m_params) && TestLevels(kind, r);
    // The marks of earlier Entry and Exit queries go before this one sets its own.
    if (visits) r->SetFlags(static_cast<uint8_t>(r->Flags() & ~kHitEntryExit));
    if (!counted) continue;

    if (visits) {
      bool inserted;
      uint32_t& v = m_visitIndex.Get(r->VisitorId(), static_cast<uint32_t>(m_visits.size()), &inserted);
      if (inserted)
        m_visits.push_back({r->VisitorId(), r, r});
      else
        m_visits[v].last = r;
      for (int e = 0; e < m_extraCount; ++e) {
        bool fresh;
        uint64_t value = ExtraValue(m_extraKinds[e], r);
        uint32_t& id = m_extraValueIds[e].Get(value, static_cast<uint32_t>(m_extraValueIds[e].Size()), &fresh);
        m_visitExtras[e].push_back({v, id});
      }
      continue;
    }
    if (kind == kReportKeyword || kind == kReportSearchEngine) {
      if (FromSearchEngine(r)) {
        if (TextKey(kReportKeyword, r) == m_emptyKeyword) continue;
        int32_t row = RowFor(r);
        if (row < 0) return;
        m_table.GetRow(row)->AddHit(r, m_groupSlots);
        AddPairs(row, r);
        bool inserted;
        uint32_t& first = m_firstRowOfVisitor.Get(r->VisitorId(), static_cast<uint32_t>(row), &inserted);
        if (!inserted && static_cast<uint32_t>(row) < first) first = static_cast<uint32_t>(row);
        AddExtraPairs(row, r);
      } else if (const uint32_t* row = m_firstRowOfVisitor.Find(r->VisitorId())) {
        m_table.GetRow(static_cast<int32_t>(*row))->AddBytes(r, m_groupSlots);
      }
      continue;
    }
    if (kind == kReportItems) {
      CRow* row = m_table.AddRow(r);
      if (!row) return;
      row->AddHit(r, m_groupSlots);
      AddExtraPairs(m_table.RowCount() - 1, r);
      continue;
    }
    if (kind == kReportVisits) {
      if (m_kind != kReportPath) {
        g_pathList.AddHit(r->VisitorId(), r);
        continue;
      }
      // The path's hash grows with it while the hit is at hand.
      const uint32_t visitor = r->VisitorId();
      const CPathEntry* e = g_pathList.FindVisitor(visitor);
      const int32_t before = e ? e->count : 0;
      g_pathList.AddHit(visitor, r);
      e = g_pathList.FindVisitor(visitor);
      if (e && e->count != before) {
        if (visitor >= m_pathHashOfVisitor.size())
          m_pathHashOfVisitor.resize(std::max<size_t>(size_t{visitor} + 1, m_pathHashOfVisitor.size() * 2), 0);
        uint64_t& h = m_pathHashOfVisitor[visitor];
        h = (h ^ PageTextHash(r)) * 0x100000001B3ull + 0x9E3779B97F4A7C15ull;
      }
      continue;
    }
    int32_t row = kind == kReportPath ? PathRow(r) : RowFor(r);
    if (row < 0) return;
    m_table.GetRow(row)->AddHit(r, m_groupSlots);
    AddPairs(row, r);
    AddExtraPairs(row, r);
  }
}

void CQueryRun::SecondPassOfVisits() {
  std::vector<uint32_t> order(m_visits.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [this](uint32_t a, uint32_t b) { return m_visits[a].visitor < m_visits[b].visitor; });
  CRowTable pages;
  pages.Reset(m_table.KeyCount());
  FlatMap byPage;
  std::vector<int32_t> rowOfVisit(m_visits.size(), -1);
  for (uint32_t v : order) {
    if (StopRequested()) break;
    CHitRecord* hit = m_kind == kReportEntry ? m_visits[v].first : m_visits[v].last;
    hit->SetFlags(static_cast<uint8_t>(hit->Flags() | kHitEntryExit));
    bool inserted;
    uint32_t& idx = byPage.Get(PageKey(hit), 0, &inserted);
    if (inserted) {
      if (!pages.AddRow(hit)) break;
      idx = static_cast<uint32_t>(pages.RowCount() - 1);
    }
    pages.GetRow(static_cast<int32_t>(idx))->AddHit(hit, m_groupSlots);
    rowOfVisit[v] = static_cast<int32_t>(idx);
    m_visitorPairs.Add(uint64_t{idx} << 32 | hit->VisitorId());
  }
  // The extra pairs of the first pass name visits; they move to the visit's page row.
  for (int e = 0; e < m_extraCount; ++e) {
    for (const auto& [visit, id] : m_visitExtras[e])
      if (rowOfVisit[visit] >= 0) m_extraPairs[e].Add(uint64_t(uint32_t(rowOfVisit[visit])) << 32 | id);
    m_visitExtras[e].clear();
  }
  m_table.Move(pages);
}

void CQueryRun::CountDistinct() {
  CRowTable& t = m_table;
  int32_t rows = t.RowCount();
  m_visitorPairs.ForEach([&](uint64_t k) {
    int32_t i = static_cast<int32_t>(k >> 32);
    if (i < rows) t.GetRow(i)->SetVisitors(t.GetRow(i)->Visitors() + 1);
  });
  m_pagePairs.ForEach([&](uint64_t k) {
    int32_t i = static_cast<int32_t>(k >> 32);
    if (i < rows) t.GetRow(i)->SetPages(t.GetRow(i)->Pages() + 1);
  });
  for (int e = 0; e < m_extraCount; ++e) {
    m_extraPairs[e].ForEach([&](uint64_t k) {
      int32_t i = static_cast<int32_t>(k >> 32);
      if (i < rows) ++*t.RowField(t.GetRow(i), static_cast<uint32_t>(e));
    });
  }
}

void SumTotals(CRowTable& t, int extraCount) {
  t.totals = CRowTotals();
  uint32_t slots = std::min(t.GroupSlots(), kMaxGroupSlots);
  for (int32_t i = 0; i < t.RowCount(); ++i) {
    CRow* row = t.GetRow(i);
    t.totals.hits += row->Hits();
    t.totals.visitors += row->Visitors();
    t.totals.pages += row->Pages();
    t.totals.bytesSent += row->BytesSent();
    t.totals.bytesReceived += row->BytesReceived();
    for (uint32_t g = 0; g < slots; ++g) {
      t.totals.groups[g].hits += row->GroupHits(g);
      t.totals.groups[g].bytesSent += row->GroupBytes(g);
    }
    for (int e = 0; e < extraCount; ++e) t.totals.extra[e] += *t.RowField(row, static_cast<uint32_t>(e));
  }
}

}  // namespace

int RunQuery(CProject& project, int kind, CRowTable& table, const CQueryParams& params, const uint32_t* extraKinds) {
  CQueryParams p = params;
  p.kind = static_cast<uint32_t>(kind);
  p.levelCount = std::clamp(p.levelCount, 0, kMaxQueryLevels - 1);
  int extraCount = 0;
  while (extraKinds && extraCount < CRowTotals::kMaxExtra && extraKinds[extraCount] != 0) ++extraCount;

  std::string key;
  AppendQueryOptionsKey(key, p);
  AppendValue(key, p.levelCount);
  for (int i = 0; i < p.levelCount; ++i) {
    AppendLevel(key, p.levels[i]);
    const CLevelAlternatives& alt = p.alternatives[i];
    int32_t count = alt.filters ? alt.count : 0;
    AppendValue(key, count);
    for (int a = 0; count >= 2 && a < count; ++a) AppendLevel(key, alt.filters[a]);
  }
  AppendValue(key, p.levels[p.levelCount].kind);
  AppendValue(key, extraCount);
  for (int e = 0; e < extraCount; ++e) AppendValue(key, extraKinds[e]);
  // The rows the run left are part of the key, so a table emptied since then
  // is filled again.
  std::string held = key;
  AppendValue(held, table.RowCount());
  if (!table.queryKey.empty() && table.queryKey == held) return 0;

  EngineInfo("Run query...");
  table.Reset(static_cast<uint32_t>(extraCount));
  table.queryKey.clear();
  table.params = p;
  LogQueryType(kind);

  FlatMap agentClasses;
  s_agentClasses = &agentClasses;
  try {
    CQueryRun run(kind, table, p, extraKinds, extraCount);
    CLogSourceList& sources = project.sources;
    if (kind == kReportSpiderTree) {
      for (int s = 0; s < sources.Count() && !StopRequested(); ++s) WalkRecordsInPeriod(sources[s].records, table, p);
    } else if (kind == kReportPath) {
      g_pathList.Clear();
      for (int s = 0; s < sources.Count(); ++s) run.Pass(sources[s].records, kReportVisits);
      for (int s = 0; s < sources.Count(); ++s) run.Pass(sources[s].records, kReportPath);
    } else if (QueryComparatorOf(kind) || kind == kReportItems || kind == kReportVisits) {
      for (int s = 0; s < sources.Count(); ++s) run.Pass(sources[s].records, kind);
      if (kind == kReportEntry || kind == kReportExit) run.SecondPassOfVisits();
    }
    // Kinds without rows of their own here (31, 33-35, 40, 42) leave the table empty.
    if (kind != kReportSpiderTree) run.CountDistinct();
  } catch (const std::bad_alloc&) {
    // The rows made so far stay; the distinct counts may be short.
    EngineOutOfMemory(123);
    RequestStop();
  }
  s_agentClasses = nullptr;
  SumTotals(table, extraCount);
  char line[40];
  snprintf(line, sizeof line, "items=%i", table.RowCount());
  WriteBugLog(line);
  EngineInfo("");
  // A run cut short by the stop flag is not a result to keep.
  if (!StopRequested()) {
    AppendValue(key, table.RowCount());
    table.queryKey = key;
  }
  return 1;
}
