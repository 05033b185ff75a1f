#include "engine/query/levelfilter.h"

#include <strings.h>

#include <cstring>

#include "engine/display/display.h"
#include "engine/query/pathlist.h"
#include "engine/store/hittext.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"

namespace {

constexpr size_t kExtensionSize = 150;


bool CasePage() { return g_project.display.case_page != 0; }

bool SameText(const char* a, const char* b) { return strcmp(a ? a : "", b ? b : "") == 0; }

bool SamePage(const CHitRecord* a, const CHitRecord* b, bool ignoreCase) {
  return ignoreCase ? strcasecmp(PageOf(a), PageOf(b)) == 0 : strcmp(PageOf(a), PageOf(b)) == 0;
}

// The hit's folder begins with the level's folder, which is no longer than it.
bool InFolder(const CHitRecord* hit, const CHitRecord* level) {
  char mine[kUrlTextSize], theirs[kUrlTextSize];
  FolderOfUrl(mine, PageOf(hit), sizeof mine);
  FolderOfUrl(theirs, PageOf(level), sizeof theirs);
  size_t n = strlen(theirs);
  if (strlen(mine) < n) return false;
  return CasePage() ? strncasecmp(mine, theirs, n) == 0 : strncmp(mine, theirs, n) == 0;
}

bool SameKeyword(const CHitRecord* a, const CHitRecord* b) {
  char ka[kKeywordSize], kb[kKeywordSize];
  FormatKeyText(ka, ReferrerOf(a), a->RobotIndex(), sizeof ka);
  FormatKeyText(kb, ReferrerOf(b), b->RobotIndex(), sizeof kb);
  return strcasecmp(ka, kb) == 0;
}

bool SameSite(const char* a, const char* b) {
  char sa[kUrlTextSize] = "", sb[kUrlTextSize] = "";
  if (a) CopyUrlWithoutScheme(sa, a, sizeof sa, 1);
  if (b) CopyUrlWithoutScheme(sb, b, sizeof sb, 1);
  return strcasecmp(sa, sb) == 0;
}

bool SameDomain(const char* a, const char* b) {
  char da[kUrlTextSize], db[kUrlTextSize];
  DomainOfUrl(da, a, sizeof da);
  DomainOfUrl(db, b, sizeof db);
  return strcasecmp(da, db) == 0;
}

// The referrer rules of the site and domain levels: the same pooled text passes,
// one missing fails, else the compare decides.
template <typename Compare>
bool ReferrersMatch(const CHitRecord* hit, const CHitRecord* level, Compare compare) {
  if (hit->GetReferrer() == level->GetReferrer()) return true;
  const char* a = ReferrerOf(hit);
  const char* b = ReferrerOf(level);
  if (!a || !b) return false;
  return compare(a, b);
}

bool IsSpider(const CHitRecord* r) { return (r->Flags() & kHitRobot) != 0; }
bool FromSearchEngine(const CHitRecord* r) { return (r->Flags() & kHitSearchEngine) != 0; }

// One hit of a visit's path against the level, for the visit test.
bool PathHitMatches(uint32_t levelKind, const CHitRecord* hit, const CHitRecord* level) {
  switch (levelKind) {
    case kReportPage:
      return SamePage(hit, level, CasePage());
    case kReportReferrer:
      return ReferrersMatch(hit, level, [](const char* a, const char* b) { return strcmp(a, b) == 0; });
    case kReportKeyword:
      return FromSearchEngine(level) && FromSearchEngine(hit) && SameKeyword(hit, level);
    case kReportSearchEngine:
      return FromSearchEngine(level) && FromSearchEngine(hit) && hit->RobotIndex() == level->RobotIndex();
    case kReportReferringSite:
      return hit->GetReferrer() == level->GetReferrer() || SameSite(ReferrerOf(hit), ReferrerOf(level));
    case kReportFolder:
      return InFolder(hit, level);
    case kReportTopDomain:
      return ReferrersMatch(hit, level, SameDomain);
    case kReportSpider:
      return IsSpider(level) && IsSpider(hit) &&
             strcmp(AgentTableEntry(hit->RobotIndex()), AgentTableEntry(level->RobotIndex())) == 0;
    case kReportReferrerType:
      return ClassifyReferrer(hit) == ClassifyReferrer(level);
  }
  return false;
}

// The hit's own test by the level's kind.
bool HitMatches(int kind, const CLevelFilter& filter, const CHitRecord* hit) {
  const CHitRecord* level = filter.Record();
  switch (filter.kind) {
    case kReportPage:
    case kReportChildPages:
      if (kind == kReportChildPages) return true;
      return ComparePagesForKind(kind, hit, level) == 0 &&
             IsErrorStatus(hit->Status()) == IsErrorStatus(level->Status());
    case kReportHost:
      return CompareByHost(hit, level) == 0;
    case kReportReferrer:
      return ReferrersMatch(hit, level, [](const char* a, const char* b) { return strcmp(a, b) == 0; });
    case kReportKeyword:
      return FromSearchEngine(hit) && SameKeyword(hit, level);
    case kReportSearchEngine:
      return FromSearchEngine(hit) && hit->RobotIndex() == filter.index;
    case kReportReferringSite:
      return ReferrersMatch(hit, level, SameSite);
    case kReportCountry:
      return SameText(GetCountryOf(hit), filter.text);
    case kReportOs:
      return AgentOf(hit) && SameText(FindOperatingSystem(AgentOf(hit)), filter.text);
    case kReportBrowser:
    case kReportDownloadManager:
      return AgentOf(hit) && SameText(FormatBrowser(hit, nullptr, 0), filter.text);
    case kReportHour:
      return HourOfSeconds(hit->Seconds()) == filter.value;
    case kReportEntry:
    case kReportExit:
      return (hit->Flags() & kHitEntryExit) && ComparePagesForKind(kind, hit, level) == 0;
    case kReportWeekday:
      return static_cast<uint32_t>(DayOfWeek(hit->PackedDate())) == filter.value;
    case kReportGroup:
      return hit->PageType() == level->PageType();
    case kReportFileType: {
      char a[kExtensionSize], b[kExtensionSize];
      return strcasecmp(ExtensionOfPath(a, PageOf(hit), sizeof a), ExtensionOfPath(b, PageOf(level), sizeof b)) == 0;
    }
    case kReportFolder:
      return InFolder(hit, level);
    case kReportTopDomain:
      return ReferrersMatch(hit, level, SameDomain);
    case kReportMonth:
      return hit->Month() == level->Month();
    case kReportVisitor:
      return hit->VisitorId() == level->VisitorId();
    case kReportCity: {
      char a[kUrlTextSize], b[kUrlTextSize];
      return strcmp(GetCityRegionCountryOf(a, sizeof a, hit, true), GetCityRegionCountryOf(b, sizeof b, level, true)) == 0;
    }
    case kReportRegion: {
      char a[kUrlTextSize], b[kUrlTextSize];
      return strcmp(GetRegionCountryOf(a, sizeof a, hit, true), GetRegionCountryOf(b, sizeof b, level, true)) == 0;
    }
    case kReportUser: {
      if (hit->GetUserName() == level->GetUserName()) return true;
      const char* a = g_pools.users.Text(hit->GetUserName());
      const char* b = g_pools.users.Text(level->GetUserName());
      return a && b && strcmp(a, b) == 0;
    }
    case kReportStatus:
      return hit->Status() == level->Status();
    case kReportPath:
      return CompareRecordsByPath(hit, level) == 0;
    case kReportDate:
      return hit->PackedDate() == level->PackedDate();
    case kReportSubdomain:
      return CompareRecordsBySubdomain(hit, level) == 0;
    case kReportSpider:
    case kReportSpiderAgent:
      return IsSpider(hit) && strcmp(AgentTableEntry(hit->RobotIndex()), AgentTableEntry(static_cast<int>(filter.index))) == 0;
    case kReportArgument:
      return (hit->Flags() & kHitQuery) && strcasecmp(QueryPartOfUrl(hit->Page()), QueryPartOfUrl(level->Page())) == 0;
    case kReportReferrerType:
      return ClassifyReferrer(hit) == ClassifyReferrer(level);
  }
  return true;  // the kinds without a key of their own restrict nothing
}

}  // namespace

CLevelFilter MakeLevelFilter(uint32_t kind, const CHitRecord* record, int32_t rowFlags) {
  CLevelFilter f;
  f.rowFlags = rowFlags;
  f.kind = kind;
  if (!record) return f;
  memcpy(f.record, record, record->GetSize());
  f.index = record->RobotIndex();
  switch (kind) {
    case kReportCountry:
      f.text = GetCountryOf(record);
      break;
    case kReportOs:
      if (const char* agent = AgentOf(record)) f.text = FindOperatingSystem(agent);
      break;
    case kReportBrowser:
    case kReportDownloadManager:
      f.text = FormatBrowser(record, nullptr, 0);
      break;
    case kReportHour:
      f.value = HourOfSeconds(record->Seconds());
      break;
    case kReportWeekday:
      f.value = static_cast<uint32_t>(DayOfWeek(record->PackedDate()));
      break;
  }
  return f;
}

bool IsPathFilterKind(int kind, const CLevelFilter& filter) {
  if (kind != kReportPath && kind != kReportVisits) return false;
  switch (filter.kind) {
    case kReportPage:
    case kReportReferrer:
    case kReportKeyword:
    case kReportSearchEngine:
    case kReportReferringSite:
    case kReportEntry:
    case kReportExit:
    case kReportFolder:
    case kReportTopDomain:
    case kReportReferrerType:
      return true;
  }
  return false;
}

bool PathLevelMatches(int kind, const CHitRecord* record, const CLevelFilter& filter, int32_t* result) {
  if (kind != kReportPath && kind != kReportVisits) return false;
  const CPathEntry* path = g_pathList.FindVisitor(record->VisitorId());
  if (!path || path->count <= 0) return false;
  *result = 1;
  const CHitRecord* level = filter.Record();
  if (filter.kind == kReportEntry || filter.kind == kReportExit) {
    const CHitRecord* end = path->hits[filter.kind == kReportEntry ? 0 : path->count - 1];
    int c = strcmp(PageOf(end), PageOf(level));
    *result = c < 0 ? -1 : c > 0;
    return true;
  }
  for (int32_t i = 0; i < path->count; ++i) {
    if (PathHitMatches(filter.kind, path->hits[i], level)) {
      *result = 0;
      return true;
    }
  }
  switch (filter.kind) {
    case kReportPage:
    case kReportReferrer:
    case kReportKeyword:
    case kReportSearchEngine:
    case kReportReferringSite:
    case kReportFolder:
    case kReportTopDomain:
    case kReportSpider:
      return true;  // no hit of the visit matches: the visit fails the level
  }
  return false;
}

int LevelFilterMatches(int kind, const CLevelFilter& filter, CHitRecord* record) {
  bool pathKind = IsPathFilterKind(kind, filter);
  if (kind == kReportVisits && pathKind) g_pathList.AddHit(record->VisitorId(), record);
  int32_t result = 1;
  if (PathLevelMatches(kind, record, filter, &result)) {
    if (result != 0) return 0;
    if (kind == kReportVisits && pathKind) return 2;
  }
  return HitMatches(kind, filter, record) ? 1 : 0;
}

int ComparePagesForKind(int kind, const CHitRecord* a, const CHitRecord* b) {
  const char* pa = PageOf(a);
  const char* pb = PageOf(b);
  if (kind != kReportArgument || g_project.display.ignore_argm) {
    int c = strcmp(pa, pb);
    return c < 0 ? -1 : c > 0;
  }
  size_t la = (a->Flags() & kHitQuery) ? strcspn(pa, "?") : strlen(pa);
  size_t lb = (b->Flags() & kHitQuery) ? strcspn(pb, "?") : strlen(pb);
  int c = memcmp(pa, pb, la < lb ? la : lb);
  if (c == 0) return la < lb ? -1 : la > lb;
  return c < 0 ? -1 : 1;
}

int CompareRecordsByPath(const CHitRecord* a, const CHitRecord* b) {
  if (a->VisitorId() == b->VisitorId()) return 0;
  const CPathEntry* pa = g_pathList.FindVisitor(a->VisitorId());
  const CPathEntry* pb = g_pathList.FindVisitor(b->VisitorId());
  if (!pa || !pb) return 0;
  int32_t n = pa->count < pb->count ? pa->count : pb->count;
  for (int32_t i = 0; i < n; ++i) {
    int c = strcmp(PageOf(pa->hits[i]), PageOf(pb->hits[i]));
    if (c) return c < 0 ? -1 : 1;
  }
  return pa->count > pb->count ? -1 : pa->count < pb->count;
}

int CompareRecordsBySubdomain(const CHitRecord* a, const CHitRecord* b) {
  const char* sa = g_pools.subdomains.Text(a->GetSubdomain());
  const char* sb = g_pools.subdomains.Text(b->GetSubdomain());
  int c = strcmp(sa && *sa ? sa : "-", sb && *sb ? sb : "-");
  return c < 0 ? -1 : c > 0;
}
