#include "engine/query/summary.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/query/queryderive.h"
#include "engine/store/hittext.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"

using query_detail::FlatMap;
using query_detail::Memo;
using query_detail::PooledTextIds;
using query_detail::TextIds;

namespace {

bool InDatesAndGroups(const CHitRecord* r, const CQueryParams& p) {
  if (p.dateFromOn && r->PackedDate() < p.dateFrom) return false;
  if (p.dateToOn && r->PackedDate() > p.dateTo) return false;
  uint32_t g = r->PageType();
  return p.groupOn[g > 8 ? 8 : g] != 0;
}

const char* KeywordText(char* out, size_t size, const CHitRecord* r) {
  const char* ref = ReferrerOf(r);
  return FormatKeyText(out, ref ? ref : "", r->RobotIndex(), size < kKeywordSize ? size : kKeywordSize);
}

}  // namespace

int CompareRecordsByKeywordText(const CHitRecord* a, const CHitRecord* b) {
  char ka[kKeywordSize], kb[kKeywordSize];
  KeywordText(ka, sizeof ka, a);
  KeywordText(kb, sizeof kb, b);
  int c = g_project.display.case_kwd ? strcmp(ka, kb) : strcasecmp(ka, kb);
  return c < 0 ? -1 : c > 0;
}

int RunSummaryQuery(CProject& project, CSummaryStats& stats, const CQueryParams& params) {
  CQueryParams p = params;
  p.kind = kReportSummary;
  std::string key;
  AppendQueryOptionsKey(key, p);
  if (!stats.cacheKey.empty() && stats.cacheKey == key) return 0;

  EngineInfo("Run query...");
  stats = CSummaryStats();
  stats.params = p;
  LogQueryType(kReportSummary);

  try {
    FlatMap keywords, engines, spiders, pages, hosts, sites, countries, referrers, entryPages;
    Memo keywordIds, engineIds, spiderIds;
    TextIds siteTexts, countryTexts;
    // Distinct texts, not handles: a text has a handle per load, a page cut at
    // its query one per query.
    PooledTextIds pageIds(g_pools.pages, project.display.case_page != 0, false, true);
    PooledTextIds referrerIds(g_pools.referrers, false);
    PooledTextIds hostIds(g_pools.hosts, false, true);
    // Visitor numbers are dense: one bit each for "seen" and "entry counted".
    std::vector<uint8_t> visitorBits;
    const bool switchOn = project.options_copied != 0;
    const bool kwdIgnoreCase = project.display.case_kwd == 0;

    auto pageKey = [&](const CHitRecord* r) {
      return pageIds.Id(r->Page()) | uint64_t{r->PageType()} << 32 | uint64_t{(r->Flags() & kHitRobot) != 0} << 40 |
             uint64_t{IsErrorStatus(r->Status())} << 41;
    };
    // Each distinct referrer text is judged once: internal referrers are
    // skipped, the others count as a referrer and name their site.
    auto countReferrer = [&](const CHitRecord* r) {
      if (!referrers.Insert(referrerIds.Id(r->GetReferrer()))) return;
      const char* ref = ReferrerOf(r);
      char buf[kUrlTextSize];
      if (!project.int_reff && r->GetReferrer() && MatchUrlList(ref, buf, sizeof buf)) return;
      ++stats.referrers;
      sites.Insert(ref ? siteTexts.Intern(CopyUrlWithoutScheme(buf, ref, sizeof buf, 1), true) : 0);
    };
    uint64_t lastHost = ~0ull, lastPage = ~0ull;

    for (int s = 0; s < project.sources.Count() && !StopRequested(); ++s) {
      CHitStore& store = project.sources[s].records;
      const uint64_t n = store.RecordCount();
      CHitRecord* r = n ? store.First() : nullptr;
      for (uint64_t i = 0; i < n && r; ++i, r = i < n ? store.Next() : nullptr) {
        if (StopRequested()) break;
        if (switchOn ? !InDatesAndGroups(r, p) : !RecordMatchesKind(kReportSummary, r, p)) continue;
        bool spider = (r->Flags() & kHitRobot) != 0;
        if (spider) {
          spiders.Insert(spiderIds.Get(r->RobotIndex(),
                                       [r](TextIds& t) { return t.Intern(FormatBrowser(r, nullptr, 0), false); }));
        }
        uint32_t group = r->PageType();
        const CGroup* g = group != 8 ? project.groups.Get(static_cast<int>(group)) : nullptr;
        if (g && g->type == kGroupPages && !(switchOn && spider)) ++stats.pageViews;
        if (IsErrorStatus(r->Status())) ++stats.errors;
        ++stats.hits;
        stats.bytesSent += r->BytesSent();
        stats.bytesReceived += r->GetBytesReceived();
        uint64_t host = r->Address() ? r->Address() : (uint64_t{1} << 32 | hostIds.Id(r->GetHostName()));
        if (host != lastHost) {
          lastHost = host;
          // A new host brings its country.
          if (hosts.Insert(host))
            countries.Insert(countryTexts.Intern(GetCountryOf(r), false));
        }
        uint32_t visitor = r->VisitorId();
        if (visitor >= visitorBits.size()) visitorBits.resize(std::max<size_t>(size_t{visitor} + 1, visitorBits.size() * 2), 0);
        uint8_t& bits = visitorBits[visitor];
        if (!(bits & 1)) {
          bits |= 1;
          ++stats.visitors;
        }
        if (r->GetReferrer() || g_settings.no_refer) countReferrer(r);
        if (*(r->PageText() ? r->PageText() : "")) {
          uint64_t page = pageKey(r);
          if (page != lastPage) {
            lastPage = page;
            pages.Insert(page);
          }
        }
        if (r->Flags() & kHitSearchEngine) {
          keywords.Insert(
              keywordIds.Get(uint64_t{r->GetReferrer()} << 16 | r->RobotIndex(), [r, kwdIgnoreCase](TextIds& t) {
                char buf[kKeywordSize];
                return t.Intern(KeywordText(buf, sizeof buf, r), kwdIgnoreCase);
              }));
          engines.Insert(
              engineIds.Get(r->RobotIndex(), [r](TextIds& t) { return t.Intern(SiteName(r->RobotIndex()), false); }));
        }
        if (group != 8 && !(bits & 2)) {
          bits |= 2;
          entryPages.Insert(pageKey(r));
        }
      }
    }
    stats.hosts = static_cast<uint32_t>(hosts.Size());
    stats.pages = static_cast<uint32_t>(pages.Size());
    stats.keywords = static_cast<uint32_t>(keywords.Size());
    stats.searchEngines = static_cast<uint32_t>(engines.Size());
    stats.spiders = static_cast<uint32_t>(spiders.Size());
    stats.referringSites = static_cast<uint32_t>(sites.Size());
    stats.countries = static_cast<uint32_t>(countries.Size());
    stats.entryPages = static_cast<uint32_t>(entryPages.Size());
  } catch (const std::bad_alloc&) {
    // The counts made so far are returned.
    EngineOutOfMemory(124);
    RequestStop();
  }
  stats.firstDate = project.first_date;
  stats.firstTime = project.first_time;
  stats.lastDate = project.last_date;
  stats.lastTime = project.last_time;
  char line[40];
  snprintf(line, sizeof line, "Hts=%u", stats.hits);
  WriteBugLog(line);
  EngineInfo("");
  if (!StopRequested()) stats.cacheKey = key;
  return 1;
}
