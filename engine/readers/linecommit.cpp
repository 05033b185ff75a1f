#include "engine/readers/linecommit.h"

#include <strings.h>

#include <cstring>
#include <string>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/readers/logread.h"
#include "engine/store/project.h"
#include "engine/tables/auxtables.h"
#include "engine/tables/urltext.h"
#include "platform/clock.h"

namespace {

uint16_t g_previousYear = 0;
TextHandle g_previousCookie = kNoText;
bool g_singleCookie = true;

// Scratch copies, kept between lines so a line allocates nothing once they have grown.
std::string g_agentCopy;
std::string g_filterText;

// Copies n bytes from in to out with every '+' written as a blank.
void PlusToBlank(char* out, const char* in, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i plus = _mm_set1_epi8('+'), blank = _mm_set1_epi8(' ');
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    __m128i m = _mm_cmpeq_epi8(x, plus);
    x = _mm_or_si128(_mm_andnot_si128(m, x), _mm_and_si128(m, blank));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);
  }
#endif
  for (; i < n; ++i) out[i] = in[i] == '+' ? ' ' : in[i];
}

// Texts are kept up to a NUL they may hold (a binary file): the pools store C strings.
inline size_t TextLength(const char* p, size_t len) { return strnlen(p, len); }

inline TextHandle InternText(CStringPool& pool, const char* p, size_t len) {
  return p ? pool.Intern(p, TextLength(p, len)) : kNoText;
}

void DropDashOrEmpty(const char** p, size_t* len, bool dash) {
  if (!*p) return;
  if (*len == 0 || (dash && *len == 1 && **p == '-')) {
    *p = nullptr;
    *len = 0;
  }
}

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Compared from the end, where domains differ first.
bool EndsWithNoCase(const char* text, size_t len, const char* suffix, size_t slen) {
  if (slen > len) return false;
  const char* t = text + len - slen;
  for (size_t i = slen; i-- > 0;)
    if (AsciiLower(t[i]) != AsciiLower(suffix[i])) return false;
  return true;
}

// A NUL-terminated copy of a line text for the helpers that take C strings.
const char* FilterCopy(const char* p, size_t len) {
  g_filterText.assign(p, TextLength(p, len));
  return g_filterText.c_str();
}

bool FindPattern(const char* text, size_t len, const std::string& pattern) {
  return memmem(text, len, pattern.data(), pattern.size()) != nullptr;
}

// The pattern as a search form writes it when '=' is escaped.
bool FindEscapedPattern(const char* text, size_t len, const std::string& pattern) {
  if (pattern.find('=') == std::string::npos) return false;
  std::string escaped;
  for (char c : pattern) {
    if (c == '=') escaped += "%3D";
    else escaped += c;
  }
  return FindPattern(text, len, escaped);
}

void ClassifySearchEngine(CHitRecord* record) {
  const char* ref = g_line.referrer;
  size_t len = g_line.referrerLen;
  size_t scheme;
  if (len >= 7 && strncasecmp(ref, "http://", 7) == 0) scheme = 7;
  else if (len >= 8 && strncasecmp(ref, "https://", 8) == 0) scheme = 8;
  else return;
  const char* host = ref + scheme;
  const char* slash = static_cast<const char*>(memchr(host, '/', len - scheme));
  if (!slash) return;
  size_t hostLen = static_cast<size_t>(slash - host);
  if (hostLen > 0 && host[hostLen - 1] == '.') --hostLen;
  const char* rest = slash + 1;
  size_t restLen = len - static_cast<size_t>(rest - ref);
  bool countryForm = hostLen >= 3 && host[hostLen - 3] == '.';
  for (const CSearchEngineRow& row : g_auxTables.searchEngines) {
    size_t dlen = row.domainLength;
    if (dlen > hostLen) return;
    if (dlen > row.domain.size()) dlen = row.domain.size();
    size_t hlen = row.countrySuffix && countryForm ? hostLen - 3 : hostLen;
    // The domain must be whole labels of the host: "notgoogle.de" is not "google".
    if (!EndsWithNoCase(host, hlen, row.domain.data(), dlen) || (hlen > dlen && host[hlen - dlen - 1] != '.'))
      continue;
    if (row.engine >= g_auxTables.keywords.size()) return;
    for (const std::string& pattern : g_auxTables.keywords[row.engine].patterns) {
      if (pattern.empty()) continue;
      if (pattern == "/" || FindPattern(rest, restLen, pattern) || FindEscapedPattern(rest, restLen, pattern)) {
        record->SetRobotIndex(row.engine);
        record->SetFlags(record->Flags() | kHitSearchEngine);
        return;
      }
    }
    return;
  }
}

// The robot row of an agent only depends on the agent's text, and a log repeats
// a few agents on most of its lines: the last answers per agent are kept.
struct RobotAnswer {
  uint64_t hash = 0;
  std::string agent;
  int row = -1;  // -1: no robot row
  bool used = false;
};
constexpr size_t kRobotAnswers = 1024;
std::vector<RobotAnswer> g_robotAnswers;
const CRobotRow* g_robotAnswersFor = nullptr;  // the table the answers were found in
size_t g_robotAnswersRows = 0;

uint64_t HashAgent(const char* p, size_t len) {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ len;
  for (; len >= 8; p += 8, len -= 8) {
    uint64_t w;
    memcpy(&w, p, 8);
    h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 31;
  }
  uint64_t w = 0;
  memcpy(&w, p, len);
  h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
  return h ^ (h >> 31);
}

int FindRobotRow(const char* agent, size_t len) {
  const std::vector<CRobotRow>& robots = g_auxTables.robots;
  for (size_t i = 0; i < robots.size(); ++i) {
    const std::string& m = robots[i].match;
    bool hit = robots[i].wholeText ? len == m.size() && memcmp(agent, m.data(), len) == 0
                                   : !m.empty() && FindPattern(agent, len, m);
    if (hit) return static_cast<int>(i);
  }
  return -1;
}

int RobotRowOf(const char* agent, size_t len) {
  const std::vector<CRobotRow>& robots = g_auxTables.robots;
  if (robots.empty()) return -1;
  if (g_robotAnswersFor != robots.data() || g_robotAnswersRows != robots.size() || g_robotAnswers.empty()) {
    g_robotAnswers.assign(kRobotAnswers, RobotAnswer());
    g_robotAnswersFor = robots.data();
    g_robotAnswersRows = robots.size();
  }
  uint64_t h = HashAgent(agent, len);
  RobotAnswer& a = g_robotAnswers[h % kRobotAnswers];
  if (a.used && a.hash == h && a.agent.size() == len && memcmp(a.agent.data(), agent, len) == 0) return a.row;
  a.row = FindRobotRow(agent, len);
  a.hash = h;
  a.agent.assign(agent, len);
  a.used = true;
  return a.row;
}

void ClassifyRobot(CHitRecord* record) {
  const char* agent = g_line.agent;
  size_t len = g_line.agentLen;
  if (!agent) return;
  const std::vector<CRobotRow>& robots = g_auxTables.robots;
  int row = RobotRowOf(agent, len);
  if (row >= 0) {
    record->SetRobotIndex(static_cast<uint16_t>(row));
    record->SetFlags(record->Flags() | kHitRobot);
    return;
  }
  const std::vector<CAutoRobotRow>& autos = g_auxTables.autoRobots;
  for (size_t i = 0; i < autos.size(); ++i) {
    const CAutoRobotRow& row = autos[i];
    if (len != row.agent.size() || memcmp(agent, row.agent.data(), len) != 0) continue;
    bool sameClient = record->Address() != 0
                          ? record->Address() == row.address
                          : g_line.host && g_line.hostLen == row.host.size() &&
                                memcmp(g_line.host, row.host.data(), g_line.hostLen) == 0;
    if (sameClient) {
      record->SetRobotIndex(static_cast<uint16_t>(robots.size() + i));
      record->SetFlags(record->Flags() | kHitRobot);
      return;
    }
  }
}

// Whether the filter applies to this line at all, and if so whether it matches.
bool FilterMatches(const CFilter& f, const CHitRecord& rec, bool* tested) {
  *tested = true;
  if (FilterUsesText(f.type) && (!f.text || !*f.text)) {
    *tested = false;
    return false;
  }
  switch (f.type) {
    case kFilterIp:
      return !g_line.host && rec.Address() == f.ip1;
    case kFilterIpRange:
      return !g_line.host && rec.Address() >= f.ip1 && rec.Address() <= f.ip2;
    case kFilterHost:
      if (!g_line.host) {
        *tested = false;
        return false;
      }
      return g_line.hostLen == strlen(f.text) && memcmp(g_line.host, f.text, g_line.hostLen) == 0;
    case kFilterPage:
      return MatchPattern(g_line.page ? FilterCopy(g_line.page, g_line.pageLen) : "", f.text, 0);
    case kFilterReferrer:
      return g_line.referrer && !SameUrlIgnoringScheme(FilterCopy(g_line.referrer, g_line.referrerLen), f.text);
    case kFilterRefDomain: {
      if (!g_line.referrer) return false;
      char domain[101];
      DomainOfUrl(domain, FilterCopy(g_line.referrer, g_line.referrerLen), sizeof domain);
      return strcasecmp(domain, f.text) == 0;
    }
    case kFilterStatus:
      return g_line.status == static_cast<uint16_t>(f.status);
    case kFilterStatusRange:
      return g_line.status >= f.status && g_line.status <= f.status2;
    case kFilterMethod: {
      unsigned bit = (rec.Flags() & kHitPost) ? kMethodPost : (rec.Flags() & kHitHead) ? kMethodHead : kMethodGet;
      return (f.method & bit) != 0;
    }
    case kFilterSite: {
      if (!g_line.referrer) return false;
      char site[701];
      CopyUrlWithoutScheme(site, FilterCopy(g_line.referrer, g_line.referrerLen), sizeof site, 0);
      std::string want(f.text);
      if (want.back() != '/') want += '/';
      return strcasecmp(site, want.c_str()) == 0;
    }
    default:
      *tested = false;
      return false;
  }
}

// A line is kept when no exclude filter matches and every filter type that has
// include filters has at least one that matched.
bool PassesFilters(const CHitRecord& rec) {
  const CFilterList& filters = g_project.filters;
  unsigned includeTypes = 0, matchedTypes = 0;
  for (int i = 0; i < filters.Count(); ++i) {
    const CFilter& f = filters[i];
    bool tested;
    bool match = FilterMatches(f, rec, &tested);
    if (!tested) continue;
    if (!f.include) {
      if (match) return false;
      continue;
    }
    includeTypes |= f.type;
    if (match) matchedTypes |= f.type;
  }
  return (includeTypes & ~matchedTypes) == 0;
}

void ShiftTimeZone(CHitRecord* rec) {
  int shift = g_project.display.zone_server + g_project.display.zone_report;
  if (shift == 0) return;
  int64_t seconds = static_cast<int64_t>(rec->Seconds()) + static_cast<int64_t>(shift) * 3600;
  if (seconds >= 0 && seconds < 86400) {
    rec->SetSeconds(static_cast<uint32_t>(seconds));
    return;
  }
  int64_t days = tv::DaysFromCivil(rec->Year(), rec->Month(), rec->Day());
  int64_t dayShift = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  seconds -= dayShift * 86400;
  tv::CivilDate d = tv::CivilFromDays(days + dayShift);
  if (d.year < 0 || d.year > 0xFFFF) return;  // beyond what a record holds: leave it
  rec->SetDate(static_cast<unsigned>(d.day), static_cast<unsigned>(d.month), static_cast<unsigned>(d.year));
  rec->SetSeconds(static_cast<uint32_t>(seconds));
}

}  // namespace

int ReportUnusableFilters(const CFilterList& filters) {
  int count = 0;
  std::string text;
  for (int i = 0; i < filters.Count(); ++i) {
    const CFilter& f = filters[i];
    const char* why = nullptr;
    if (f.type != kFilterIp && f.type != kFilterIpRange && !FilterUsesText(f.type) && f.type != kFilterStatus &&
        f.type != kFilterStatusRange && f.type != kFilterMethod)
      why = "is of an unknown type and is ignored";
    else if (FilterUsesText(f.type) && (!f.text || !*f.text))
      why = "has no text and is ignored";
    else if ((f.type == kFilterIpRange && f.ip1 > f.ip2) || (f.type == kFilterStatusRange && f.status > f.status2))
      why = "has a range whose first end lies above its second: it matches no line";
    else if (f.type == kFilterMethod && (f.method & (kMethodGet | kMethodHead | kMethodPost)) == 0)
      why = "names no method: it matches no line";
    if (!why) continue;
    // One message for all of them, so the start asks for one answer.
    if (count++) text += '\n';
    text += "Filter " + std::to_string(i + 1) + " " + why + ".";
  }
  if (count) EngineError(text.c_str());
  return count;
}

void ResetCommitState() {
  g_robotAnswers.clear();  // the tables may have been reloaded since the last load
  g_previousYear = 0;
  g_previousCookie = kNoText;
  g_singleCookie = true;
}

bool LoadHasSingleCookie() { return g_singleCookie; }

void ClassifyLogLine(CHitRecord* record) {
  CLineValues& l = g_line;
  DropDashOrEmpty(&l.referrer, &l.referrerLen, true);
  DropDashOrEmpty(&l.cookie, &l.cookieLen, true);
  DropDashOrEmpty(&l.agent, &l.agentLen, true);
  DropDashOrEmpty(&l.user, &l.userLen, true);
  DropDashOrEmpty(&l.subdomain, &l.subdomainLen, false);
  if (g_logFormat == kLogFormatIis && l.agent) {
    // The reader's buffer stays as read; the agent is changed in a copy.
    if (g_agentCopy.size() < l.agentLen) g_agentCopy.resize(l.agentLen);
    PlusToBlank(g_agentCopy.data(), l.agent, l.agentLen);
    l.agent = g_agentCopy.data();
  }
  ClassifyRobot(record);
  if (l.referrer) ClassifySearchEngine(record);
}

void CommitLogLine(CHitStore* store) {
  CHitRecord* rec = store->Current();
  if (!rec) return;

  unsigned year = rec->Year(), month = rec->Month(), day = rec->Day();
  if (year < 100) year += year > 80 ? 1900 : 2000;
  if (month < 1 || month > 12) month = 1;
  if (day < 1 || day > 31) day = 1;
  if (rec->Seconds() >= 86400) rec->SetSeconds(0);
  if (year < 1989 && year < g_previousYear) year = g_previousYear;
  g_previousYear = static_cast<uint16_t>(year);
  rec->SetDate(day, month, year);

  uint32_t date = rec->PackedDate();
  if (g_project.from_date && date < g_project.from_date) return;
  if (g_project.to_date && date > g_project.to_date) return;

  ClassifyLogLine(rec);
  if (g_project.filters.Count() && !PassesFilters(*rec)) return;

  CRecordPools& pools = g_pools;
  TextHandle page = kNoText;
  if (g_line.page) {
    bool whole = (rec->Flags() & kHitQuery) && g_project.display.ignore_argm;
    size_t len = whole && g_line.pageQueryLen > g_line.pageLen ? g_line.pageQueryLen : g_line.pageLen;
    page = InternText(pools.pages, g_line.page, len);
    if (whole) pools.pages.CutAtQuery(page);
  }
  TextHandle host = InternText(pools.hosts, g_line.host, g_line.hostLen);
  TextHandle agent = InternText(pools.agents, g_line.agent, g_line.agentLen);
  TextHandle user = InternText(pools.users, g_line.user, g_line.userLen);
  TextHandle referrer = InternText(pools.referrers, g_line.referrer, g_line.referrerLen);
  TextHandle cookie = InternText(pools.cookies, g_line.cookie, g_line.cookieLen);
  TextHandle subdomain = InternText(pools.subdomains, g_line.subdomain, g_line.subdomainLen);
  rec->SetPage(page != kNoText ? page : kEmptyText);

  ShiftTimeZone(rec);

  // Optional fields in their stored order, each with its presence bit.
  uint8_t flags = rec->Flags();
  uint16_t status = g_line.status & kHitStatusMask;
  size_t off = CHitRecord::kHeadSize;
  auto put = [&](uint32_t v) {
    rec->Put<uint32_t>(off, v);
    off += 4;
  };
  if (referrer) {
    flags |= kHitReferrer;
    put(referrer);
  }
  if (agent) {
    flags |= kHitAgent;
    put(agent);
  }
  if (cookie) {
    status |= kHitCookie;
    put(cookie);
  }
  if (host || g_project.ip_lookup) {
    status |= kHitHostName;
    put(host);
  }
  if (user) {
    status |= kHitUserName;
    put(user);
  }
  if (g_line.bytesReceived && g_project.send_receive) {
    status |= kHitBytesReceived;
    put(g_line.bytesReceived);
  }
  if (subdomain && g_project.subdomain) {
    status |= kHitSubdomain;
    put(subdomain);
  }
  rec->SetFlags(flags);
  rec->SetStatusWord(status);

  if (g_previousCookie != kNoText && cookie != g_previousCookie) g_singleCookie = false;
  g_previousCookie = cookie;

  date = rec->PackedDate();
  uint32_t secs = rec->Seconds();
  CProject& p = g_project;
  if (p.first_date == 0 || date < p.first_date || (date == p.first_date && secs < p.first_time)) {
    p.first_date = date;
    p.first_time = secs;
  }
  if (p.last_date == 0 || date > p.last_date || (date == p.last_date && secs > p.last_time)) {
    p.last_date = date;
    p.last_time = secs;
  }
  store->CommitCurrent();
}
