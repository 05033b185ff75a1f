#include "engine/display/display.h"

#include <strings.h>

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/display/urldecode.h"
#include "engine/display/vocab.h"
#include "engine/store/hittext.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"
#include "platform/clock.h"

bool g_cookiesInUse = false;

namespace {

const char* const kEmpty = "";

const CDisplayOptions& Options() { return g_project.display; }

const char* CopyOut(char* out, size_t size, const char* text, size_t len) {
  if (!out || size == 0) return kEmpty;
  if (len >= size) len = size - 1;
  memcpy(out, text, len);
  out[len] = 0;
  return out;
}

const char* CopyOut(char* out, size_t size, const char* text) {
  return CopyOut(out, size, text ? text : "", text ? strlen(text) : 0);
}

const char* Format(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
const char* Format(char* out, size_t size, const char* format, ...) {
  if (!out || size == 0) return kEmpty;
  va_list args;
  va_start(args, format);
  vsnprintf(out, size, format, args);
  va_end(args);
  return out;
}

int Sign(int64_t v) { return v < 0 ? -1 : v > 0; }

bool IsSlash(char c) { return c == '/' || c == '\\'; }

const char* PoolText(const CStringPool& pool, TextHandle h) {
  const char* t = pool.Text(h);
  return t ? t : "";
}
// The pooled text, or null when the record has none (or an empty one).
const char* Present(const CStringPool& pool, TextHandle h) {
  const char* t = pool.Text(h);
  return t && *t ? t : nullptr;
}

// The civil date of a packed date, false when it does not exist.
bool Civil(uint32_t packed, int* day, int* month, int* year) {
  *day = static_cast<int>(packed & 0xFF);
  *month = static_cast<int>((packed >> 8) & 0xFF);
  *year = static_cast<int>(packed >> 16);
  return tv::IsValidDate(*year, *month, *day);
}

// "12" for midnight and noon, the rest of the 12-hour clock as it is.
int TwelveHour(int hour) {
  int h = hour % 12;
  return h == 0 ? 12 : h;
}
const char* Meridiem(int hour) { return hour % 24 < 12 ? "AM" : "PM"; }

// The translated term when mode asks for it and there is one, else English.
const char* TermIn(int id, int mode) { return GetTerm(id, mode == 1 ? 1 : 0); }

const char* ShortMonthName(int month) {
  return month >= 1 && month <= 12 ? GetTerm(kTermSmonth0 + month - 1, 1) : kEmpty;
}

struct StatusEntry {
  uint16_t code;
  const char* text;
};
constexpr StatusEntry kStatusTable[] = {
    {100, "100 - Continue"},
    {101, "101 - Switching Protocols"},
    {200, "200 - OK"},
    {201, "201 - Created"},
    {202, "202 - Accepted"},
    {203, "203 - Non-Authoritative Information"},
    {204, "204 - No Content"},
    {205, "205 - Reset Content"},
    {206, "206 - Partial Content"},
    {300, "300 - Multiple Choices"},
    {301, "301 - Moved Permanently"},
    {302, "302 - Found"},
    {303, "303 - See Other"},
    {304, "304 - Not Modified"},
    {305, "305 - Use Proxy"},
    {307, "307 - Moved Temporarily"},
    {400, "400 - Bad Request"},
    {401, "401 - Unauthorized"},
    {402, "402 - Payment Required"},
    {403, "403 - Forbidden"},
    {404, "404 - Not Found"},
    {405, "405 - Method Not Allowed"},
    {406, "406 - Not Acceptable"},
    {407, "407 - Proxy Authentication Required"},
    {408, "408 - Request Timeout"},
    {409, "409 - Conflict"},
    {410, "410 - Gone"},
    {411, "411 - Length Required"},
    {412, "412 - Precondition Failed"},
    {413, "413 - Request Entity Too Large"},
    {414, "414 - Request-URI Too Long"},
    {415, "415 - Unsupported Media Type"},
    {416, "416 - Requested Range Not Satisfiable"},
    {417, "417 - Expectation Failed"},
    {500, "500 - Internal Server Error"},
    {501, "501 - Not Implemented"},
    {502, "502 - Bad Gateway"},
    {503, "503 - Service Unavailable"},
    {504, "504 - Gateway Timeout"},
    {505, "505 - HTTP Version Not Supported"},
};

// Item n of a ';'-list, without the blanks around it; false when the list is
// shorter. Site addresses and default documents are typed as such lists.
std::string SiteItem(const char* list, int n, bool* found) {
  *found = false;
  if (!list) return {};
  const char* p = list;
  for (int i = 0; i < n; ++i) {
    p = strchr(p, ';');
    if (!p) return {};
    ++p;
  }
  *found = true;
  size_t len = strcspn(p, ";");
  while (len && IsBlank(*p)) ++p, --len;
  while (len && IsBlank(p[len - 1])) --len;
  return std::string(p, len);
}

// A text without one trailing '/'.
size_t LengthWithoutSlash(const char* text) {
  size_t n = strlen(text);
  return n && text[n - 1] == '/' ? n - 1 : n;
}

// The page text, or a copy cut to size - 1 characters when it is as long as the buffer.
const char* PageRule(char* out, size_t size, const char* text) {
  if (!text) return kEmpty;
  size_t len = strlen(text);
  if (len >= size) return CopyOut(out, size, text, len);
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Numbers, dates and times

const char* FormatTimeOfDay(char* out, size_t size, const CHitRecord* record) {
  uint32_t s = record->Seconds();
  int h = static_cast<int>(s / 3600), m = static_cast<int>(s % 3600 / 60), sec = static_cast<int>(s % 60);
  if (!Options().tm_format) return Format(out, size, "%02i:%02i:%02i", h, m, sec);
  return Format(out, size, "%02i:%02i:%02i %s", TwelveHour(h), m, sec, Meridiem(h));
}

const char* FormatHour(char* out, size_t size, int hour) {
  if (!Options().tm_format) return Format(out, size, "%i", hour);
  return Format(out, size, "%2i %s", TwelveHour(hour), Meridiem(hour));
}

const char* FormatHourOfSeconds(char* out, size_t size, uint32_t seconds) {
  return FormatHour(out, size, static_cast<int>(HourOfSeconds(seconds)));
}

int DayOfWeek(uint32_t packedDate) {
  int d, m, y;
  if (!Civil(packedDate, &d, &m, &y)) return 7;
  int w = tv::DayOfWeek(tv::DaysFromCivil(y, m, d));
  return Options().dt_dweek ? (w + 6) % 7 : w;
}

uint32_t AddDaysToDate(uint32_t packedDate, int days) {
  int d, m, y;
  if (!Civil(packedDate, &d, &m, &y)) return packedDate;
  tv::CivilDate c = tv::CivilFromDays(tv::DaysFromCivil(y, m, d) + days);
  if (c.year < 0 || c.year > 0xFFFF) return packedDate;
  return PackDate(static_cast<unsigned>(c.day), static_cast<unsigned>(c.month), static_cast<unsigned>(c.year));
}

int64_t HitTimeOf(const CHitRecord* record) {
  return tv::DaysFromCivil(record->Year(), record->Month(), record->Day()) * 86400 + record->Seconds();
}

const char* WeekdayName(int index, int mode) {
  if (index < 0 || index > 6) return kEmpty;
  int sundayFirst = Options().dt_dweek ? (index + 1) % 7 : index;
  return TermIn(kTermWday0 + sundayFirst, mode);
}

const char* MonthName(int month, int mode) {
  return month >= 1 && month <= 12 ? TermIn(kTermLmonth0 + month - 1, mode) : kEmpty;
}

const char* FormatDate(char* out, size_t size, uint32_t packedDate, bool withWeekday) {
  if (!out || size == 0) return kEmpty;
  const CDisplayOptions& o = Options();
  int day = static_cast<int>(packedDate & 0xFF);
  int month = static_cast<int>((packedDate >> 8) & 0xFF);
  int year = static_cast<int>(packedDate >> 16);
  char monthText[64] = "";
  if (month >= 1 && month <= 12) {
    if (o.dt_fmnth) snprintf(monthText, sizeof monthText, "%02i", month);
    else snprintf(monthText, sizeof monthText, "%s", ShortMonthName(month));
  }
  char sep = o.dt_separator == 1 ? '-' : o.dt_separator == 2 ? '.' : '/';
  char yearText[16];
  if (o.dt_4year) snprintf(yearText, sizeof yearText, "%02i", year % 100);
  else snprintf(yearText, sizeof yearText, "%i", year);
  if (o.dt_format == 1) snprintf(out, size, "%s%c%s%c%02i", yearText, sep, monthText, sep, day);
  else if (o.dt_format == 2) snprintf(out, size, "%s%c%02i%c%s", monthText, sep, day, sep, yearText);
  else snprintf(out, size, "%02i%c%s%c%s", day, sep, monthText, sep, yearText);
  if (g_settings.add_day_week && withWeekday) {
    size_t len = strlen(out);
    snprintf(out + len, size - len, " (%s)", WeekdayName(DayOfWeek(packedDate)));
  }
  return out;
}

const char* StatusCodeText(char* out, size_t size, int code, bool withText) {
  if (withText)
    for (const StatusEntry& e : kStatusTable)
      if (e.code == code) return e.text;
  return Format(out, size, "%i", code);
}

// ---------------------------------------------------------------------------
// Hosts and visitors

const char* FormatHostText(char* out, size_t size, const CHitRecord* record, bool withGeo, bool withComment) {
  if (!out || size == 0) return kEmpty;
  uint32_t a = record->Address();
  char address[16];
  snprintf(address, sizeof address, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
  const char* name = Present(g_pools.hosts, record->GetHostName());
  std::string text;
  if (a == 0 && name) {
    text = name;  // a client logged by name has no address to show
  } else {
    switch (Options().host_represnt) {
      case 0: text = name ? name : address; break;
      case 2: text = name ? std::string(name) + "," + address : address; break;
      case 3: text = name ? std::string(address) + "," + name : address; break;
      default: text = address; break;
    }
  }
  if (withComment) {
    const char* comment = g_project.host_comments.Find(text.c_str());
    if (comment && *comment) text = comment;
  }
  if (withGeo && g_settings.add_contry && a != 0) {
    const char *country, *region, *city;
    LookupGeoAddress(a, kGeoBest, &country, &region, &city);
    if (*region || *city) text = text + " (" + city + "," + region + "," + country + ")";
    else if (*country) text = text + " (" + country + ")";
  }
  return CopyOut(out, size, text.c_str(), text.size());
}

int CompareByHost(const CHitRecord* a, const CHitRecord* b) {
  uint32_t aa = a->Address(), ba = b->Address();
  if (aa && ba) return aa < ba ? -1 : aa > ba;
  const char* an = Present(g_pools.hosts, a->GetHostName());
  const char* bn = Present(g_pools.hosts, b->GetHostName());
  if (!an && !bn) return aa < ba ? -1 : aa > ba;
  if (!an) return -1;
  if (!bn) return 1;
  return Sign(strcmp(an, bn));
}

int CompareVisitors(const CHitRecord* a, const CHitRecord* b, const CHitRecord* lastOfVisitor) {
  int c;
  TextHandle ac = a->GetCookie(), bc = b->GetCookie();
  if (g_cookiesInUse && !Options().not_use_cookie && (ac || bc)) {
    // Cookie presence orders first, so the identity stays one total order.
    if (!ac || !bc) c = ac ? -1 : 1;
    else c = ac == bc ? 0 : Sign(strcmp(PoolText(g_pools.cookies, ac), PoolText(g_pools.cookies, bc)));
  } else {
    c = CompareByHost(a, b);
    if (c == 0) {
      const char* ag = AgentOf(a);
      const char* bg = AgentOf(b);
      if (!ag || !bg) c = ag ? -1 : bg ? 1 : 0;
      else c = ag == bg ? 0 : Sign(strcmp(ag, bg));
    }
  }
  if (c != 0 || !lastOfVisitor) return c;
  int64_t limit = static_cast<int64_t>(g_project.session) * 60;
  int64_t gap = HitTimeOf(a) - HitTimeOf(lastOfVisitor);
  return gap > limit ? 1 : gap < -limit ? -1 : 0;
}

int CompareVisitorNumbers(const CHitRecord* a, const CHitRecord* b) {
  uint32_t av = a->VisitorId(), bv = b->VisitorId();
  return av < bv ? -1 : av > bv;
}

// ---------------------------------------------------------------------------
// URLs and pages

bool IsSiteUrlUnset(const char* url) { return !url || !*url || strcmp(url, "http://") == 0; }

const char* JoinSiteUrl(char* out, size_t size, const char* siteUrl, const char* page) {
  if (!out || size == 0) return kEmpty;
  out[0] = 0;
  bool found = false;
  std::string site = SiteItem(siteUrl, 0, &found);
  if (!found || IsSiteUrlUnset(site.c_str()) || site.size() >= kUrlTextSize) return out;
  const char* p = page ? page : "";
  bool siteSlash = site.back() == '/';
  if (siteSlash && *p == '/') ++p;
  else if (!siteSlash && *p != '/') site += '/';
  site += p;
  return CopyOut(out, size < kUrlTextSize ? size : kUrlTextSize, site.c_str(), site.size());
}

bool IsIpHostUrl(const char* url) {
  if (!url) return false;
  const char* p = url;
  if (strncasecmp(p, "http://", 7) == 0) p += 7;
  else if (strncasecmp(p, "https://", 8) == 0) p += 8;
  for (int group = 0; group < 4; ++group) {
    if (group && *p++ != '.') return false;
    if (*p < '0' || *p > '9') return false;
    while (*p >= '0' && *p <= '9') ++p;
  }
  return *p == 0 || *p == '/';
}

bool MatchUrlList(const char* url, char* buffer, size_t size) {
  if (!url) return false;
  char local[kUrlTextSize];
  if (!buffer || size < 2) {
    buffer = local;
    size = sizeof local;
  }
  CopyUrlWithoutScheme(buffer, url, size, 1);
  size_t siteLen = LengthWithoutSlash(buffer);
  for (int n = 0;; ++n) {
    bool found = false;
    std::string item = SiteItem(g_project.url, n, &found);
    if (!found) return false;
    size_t len = LengthWithoutSlash(item.c_str());
    if (len && len == siteLen && strncasecmp(item.c_str(), buffer, len) == 0) return true;
  }
}

const char* QueryPartOfUrl(TextHandle page) {
  const char* text = g_pools.pages.Text(page);
  if (!text) return kEmpty;
  const char* q = strchr(text, '?');
  if (q) return q + 1;
  // Only a text marked when it was stored keeps its query behind its terminator.
  if (g_pools.pages.Marker(page) != '?') return kEmpty;
  return text + strlen(text) + 1;
}

const char* FileNameOfPath(const char* path) {
  if (!path) return kEmpty;
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (IsSlash(*p)) name = p + 1;
  return name;
}

const char* FolderOfUrl(char* out, const char* page, size_t size) {
  if (!out || size == 0) return kEmpty;
  const char* p = page ? page : "";
  size_t end = strcspn(p, "?");
  size_t len = 0;
  for (size_t i = 0; i < end; ++i)
    if (IsSlash(p[i])) len = i + 1;
  return CopyOut(out, size, p, len);
}

const char* ExtensionOfPath(char* out, const char* page, size_t size) {
  if (!out || size == 0) return kEmpty;
  const char* p = page ? page : "";
  size_t end = strcspn(p, "?");
  size_t dot = end;
  for (size_t i = end; i > 0; --i) {
    if (IsSlash(p[i - 1])) break;
    if (p[i - 1] == '.') {
      dot = i - 1;
      break;
    }
  }
  if (dot < end) return CopyOut(out, size, p + dot, end - dot);
  // A folder or a name without extension is served by the default document.
  bool found = false;
  std::string index = SiteItem(g_project.index, 0, &found);
  const char* ext = found ? strrchr(FileNameOfPath(index.c_str()), '.') : nullptr;
  return CopyOut(out, size, ext ? ext : "");
}

const char* FormatKeyText(char* out, const char* referrer, int siteIndex, size_t size) {
  if (!out || size == 0) return kEmpty;
  out[0] = 0;
  if (!referrer) return out;
  std::string words(size, '\0');
  SearchKeyword(words.data(), size, referrer, siteIndex);
  bool raw = siteIndex >= 0 && static_cast<size_t>(siteIndex) < g_auxDatabases.sites.size() &&
             g_auxDatabases.sites[static_cast<size_t>(siteIndex)].charset != 0;
  // Decoded once: a '%' the searcher typed ("%25") stays a '%'.
  DecodeUrlText(words.c_str(), out, size, raw);
  return out;
}

// ---------------------------------------------------------------------------
// Referrers and table rows

int ClassifyReferrer(const CHitRecord* record) {
  if (g_project.adwords.Count() > 0) {
    std::string page = PoolText(g_pools.pages, record->Page());
    if (Options().ignore_argm && (record->Flags() & kHitQuery)) {
      const char* query = QueryPartOfUrl(record->Page());
      if (*query && page.find('?') == std::string::npos) page = page + "?" + query;
    }
    for (int i = 0; i < g_project.adwords.Count(); ++i) {
      const CAdword& ad = g_project.adwords[i];
      if (!ad.url || !*ad.url) continue;
      if (ad.type != 0 ? page.find(ad.url) != std::string::npos : strcasecmp(page.c_str(), ad.url) == 0)
        return kRefPayPerClick;
    }
  }
  if (record->Flags() & kHitSearchEngine) return kRefSearchEngine;
  if (record->Flags() & kHitRobot) return kRefSpider;
  const char* referrer = ReferrerOf(record);
  if (!referrer) return kRefNone;
  char site[kUrlTextSize];
  if (MatchUrlList(referrer, site, sizeof site)) return kRefInternal;
  if (g_auxDatabases.adHostsLoaded) {
    CopyUrlWithoutScheme(site, referrer, sizeof site, 0);
    size_t len = LengthWithoutSlash(site);
    for (const AuxAdHostRow& row : g_auxDatabases.adHosts)
      if (strlen(row.host) == len && strncasecmp(row.host, site, len) == 0) return kRefAdvert;
  }
  return kRefExternal;
}

const char* ReferrerTypeText(const CHitRecord* record) {
  switch (ClassifyReferrer(record)) {
    case kRefNone: return GetTerm(kTermNoRefer);
    case kRefSearchEngine: return GetTerm(kTermSe);
    case kRefSpider: return GetTerm(kTermRobot);
    case kRefPayPerClick: return "pay-per-click";
    case kRefAdvert: return "AdSense";
    case kRefInternal: return "Internal referrer";
  }
  return "External referrer";
}

const char* FileTypeGroupName(int group) {
  const CGroup* g = g_project.groups.Get(group);
  if (!g) return GetTerm(kTermOther);
  return g->name ? g->name : kEmpty;
}

// ---------------------------------------------------------------------------
// Report texts

const char* GetHitFieldText(int kind, char* out, const CHitRecord* record, size_t size, bool longForm) {
  if (!out || size == 0 || !record) return kEmpty;
  switch (kind) {
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportChildPages:
    case kReportPageName:
    case kReportFile:
    case kReportError:
      return PageRule(out, size, record->PageText());
    case kReportHost:
    case kReportVisitor:
      return FormatHostText(out, size, record, longForm, true);
    case kReportReferrer: {
      const char* referrer = ReferrerOf(record);
      return referrer ? PageRule(out, size, referrer) : GetTerm(kTermNoRefer);
    }
    case kReportKeyword:
      return FormatKeyText(out, ReferrerOf(record), record->RobotIndex(), size);
    case kReportSearchEngine:
      // A row beyond the table gives "-", an unnamed row its empty name.
      return record->RobotIndex() < g_auxDatabases.sites.size() ? SiteName(record->RobotIndex()) : "-";
    case kReportReferringSite: {
      const char* referrer = ReferrerOf(record);
      return referrer ? CopyUrlWithoutScheme(out, referrer, size, 1) : GetTerm(kTermNoRefer);
    }
    case kReportCountry:
      return GetCountryOf(record);
    case kReportOs: {
      const char* agent = AgentOf(record);
      return agent ? FindOperatingSystem(agent) : GetTerm(kTermNoUsera);
    }
    case kReportBrowser:
    case kReportSpiderAgent:
    case kReportDownloadManager:
    case kReportSpider:
      if (!AgentOf(record)) return GetTerm(kTermNoUsera);
      if (longForm && kind != kReportSpider) return FormatBrowser(record, out, size);
      return FormatBrowser(record, nullptr, 0);
    case kReportHour:
      return FormatHourOfSeconds(out, size, record->Seconds());
    case kReportWeekday:
      return WeekdayName(DayOfWeek(record->PackedDate()));
    case kReportGroup:
      return FileTypeGroupName(record->PageType());
    case kReportFileType:
      return ExtensionOfPath(out, record->PageText(), size);
    case kReportFolder:
      return FolderOfUrl(out, record->PageText(), size);
    case kReportTopDomain: {
      const char* referrer = ReferrerOf(record);
      return referrer ? DomainOfUrl(out, referrer, size) : GetTerm(kTermNoRefer);
    }
    case kReportMonth:
      return MonthName(record->Month());
    case kReportCity:
      return GetCityRegionCountryOf(out, size, record, longForm);
    case kReportRegion:
      return GetRegionCountryOf(out, size, record, longForm);
    case kReportUser: {
      const char* user = Present(g_pools.users, record->GetUserName());
      return user ? user : "-";
    }
    case kReportStatus:
    case kReportErrorCode:
      return StatusCodeText(out, size, record->Status(), longForm);
    case kReportDate:
      return FormatDate(out, size, record->PackedDate(), true);
    case kReportSubdomain: {
      const char* sub = Present(g_pools.subdomains, record->GetSubdomain());
      return sub ? sub : "-";
    }
    case kReportArgument:
      return QueryPartOfUrl(record->Page());
    case kReportReferrerType:
      return ReferrerTypeText(record);
  }
  return kEmpty;
}

const char* ReportKindTitle(int kind) {
  static const int kTitles[kMaxReportKind + 1] = {
      -1,           kTermPgFl,      kTermHost,    kTermRefer,      kTermKeyword, kTermSe,
      kTermReferSite, kTermContry,  kTermOs,      kTermBrowser,    kTermHour,    kTermEntry,
      kTermExit,    kTermDayWeek,   kTermGroup,   kTermTpFile,     kTermDir,     kTermTopDomain,
      kTermMonth,   kTermVisitor,   kTermCity,    kTermRegion,     kTermUser,    kTermStatus,
      kTermPath,    kTermRobot,     kTermRobot,   kTermDate,       kTermSubdom,  kTermChildPage,
      kTermArgm,    kTermSummarySt, kTermTypeRef, kTermSubfolder,  kTermPage,    kTermFile,
      kTermError,   kTermRobot,     kTermError,   kTermDownMan,    -1,           -1,
      -1,           kTermItems,
  };
  if (kind < 0 || kind > kMaxReportKind || kTitles[kind] < 0) return kEmpty;
  return GetTerm(kTitles[kind]);
}

const char* ColumnTerm(int kind, int mode) {
  static const int kColumns[kMaxReportKind + 1] = {
      -1,            kTermPgFls,     kTermHosts,     kTermRefers,     kTermKeywords,  kTermSes,
      kTermReferSites, kTermContrys, kTermOss,       kTermBrowsers,   kTermByHours,   kTermEntrys,
      kTermExits,    kTermByDayWk,   kTermGroups,    kTermTpFiles,    kTermDirs,      kTermTopDomains,
      kTermByMonth,  kTermVisitors,  kTermCitys,     kTermRegions,    kTermUsers,     kTermRCodes,
      kTermPaths,    kTermRobots,    kTermRobotss,   kTermDaily,      kTermSubdoms,   kTermChildPage,
      kTermArgms,    kTermSummarySt, kTermTypeRefs,  kTermSubfolder,  kTermPages,     kTermFiles,
      kTermErrors,   kTermRobots,    kTermType,      kTermDownMans,   kTermAllReports, -1,
      -1,            kTermItems,
  };
  if (kind < 0 || kind > kMaxReportKind || kColumns[kind] < 0) return "(*)";
  const char* term = GetTerm(kColumns[kind], mode);
  return term ? term : kEmpty;
}

const char* ReportGroupTitle(int n) {
  static const int kGroups[] = {kTermStGeneral, kTermStAccess, kTermStVisitor, kTermStReferer,
                                kTermStUcera,   kTermStActiv,  kTermStError,   kTermComplate};
  return n >= 0 && n < 8 ? GetTerm(kGroups[n]) : kEmpty;
}
