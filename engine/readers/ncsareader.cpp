#include "engine/readers/ncsareader.h"

#include <cstdint>
#include <cstring>

#include "base/msgsink.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/linescan.h"
#include "engine/readers/logread.h"
#include "engine/readers/w3creader.h"
#include "engine/store/project.h"

namespace {

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

char g_rootPage[] = "/";
char g_dashPage[] = "-";

// The first c on the line from p, or null when the line (or the block) ends first.
inline char* OnLine(char* p, char* end, char c) {
  char* f = FindAnyOf(p, end, c, '\n', '\r');
  return f < end && *f == c ? f : nullptr;
}

// The first c in [a, b), or null.
inline char* FindIn(char* a, char* b, char c) {
  return a < b ? static_cast<char*>(memchr(a, c, static_cast<size_t>(b - a))) : nullptr;
}

inline bool TwoDigits(const char* p, unsigned* v) {
  if (!IsDigit(p[0]) || !IsDigit(p[1])) return false;
  *v = static_cast<unsigned>((p[0] - '0') * 10 + (p[1] - '0'));
  return true;
}

// The client column at p: a dotted address, or the host text; the blank behind
// it, or null when the line ends first. The address must end the column: a
// client with a port ("10.0.0.1:80", as vhost formats and proxies write it) is
// host text as written, not an address that silently loses its port.
char* ReadClient(char* p, char* end, CHitRecord* rec, bool* comma) {
  char* blank = NextSpaceToken(p, end, comma);
  if (blank) {
    size_t n = static_cast<size_t>(blank - p) - (*comma ? 1 : 0);
    if (memchr(p, ':', n)) ParseHostName(rec, p, n);
    else ParseIpAddress(p, n, rec);
  }
  return blank;
}

// Reads the line at p (which is not a '!' line) into a reserved record and
// commits it, or counts it as ignored. Returns where the line ends, or null when
// no record could be reserved.
char* ReadCommonLine(CHitStore* store, char* p, char* end, const CGroupMaskList& masks, const CIndexNames& index,
                     bool fasthosts) {
  CHitRecord* rec = store->NewRecord();
  if (!rec) return nullptr;
  char* c = p;
  auto fail = [&]() {
    ++store->ignoredLines;
    return FindLineEnd(c, end);
  };

  if (!fasthosts) {
    bool iis;
    char* blank = ReadClient(c, end, rec, &iis);
    if (!blank) return fail();
    c = blank;
    if (iis) {
      if (!ParseIisLine(masks, rec, &c, end, index)) return fail();
      CommitLogLine(store);
      return FindLineEnd(c, end);
    }
    // Identity, then user.
    char* id = c + 1;
    char* idEnd = OnLine(id, end, ' ');
    if (!idEnd) return fail();
    if (g_project.subdomain && !(idEnd - id == 1 && *id == '-')) {
      g_line.subdomain = id;
      g_line.subdomainLen = static_cast<size_t>(idEnd - id);
    }
    char* user = idEnd + 1;
    char* userEnd = OnLine(user, end, ' ');
    if (!userEnd) return fail();
    if (!(userEnd - user == 1 && *user == '-')) {
      g_line.user = user;
      g_line.userLen = static_cast<size_t>(userEnd - user);
    }
    c = userEnd;
  }

  char* open = OnLine(c, end, '[');
  if (!open) return fail();
  c = open + 1;
  const char* dateEnd = ParseClfDate(c, end, rec);
  if (!dateEnd) return fail();
  c = const_cast<char*>(dateEnd);

  if (fasthosts) {
    // The client stands two characters behind the date's ']'.
    char* close = OnLine(c, end, ']');
    if (!close || end - close < 3 || IsLineBreak(close[1])) return fail();
    c = close + 2;
    bool comma;
    char* blank = ReadClient(c, end, rec, &comma);
    if (!blank) return fail();
    c = blank;
  }

  // Request: the page is looked for inside the quotes only.
  char* q = OnLine(c, end, '"');
  if (!q) return fail();
  c = q + 1;
  char* qEnd = FindClosingQuote(c, end);
  if (!qEnd) return fail();
  if (*c == 'P') rec->SetFlags(rec->Flags() | kHitPost);
  else if (*c == 'H') rec->SetFlags(rec->Flags() | kHitHead);
  char* page;
  size_t pageLen;
  if (FindRequestPage(c, qEnd, &page, &pageLen)) {
    ClassifyRequestPage(rec, page, pageLen, masks, index);
  } else {
    g_line.page = g_dashPage;
    g_line.pageLen = g_line.pageQueryLen = 1;
    rec->SetPageType(0);
  }

  // Status, two characters behind the closing quote: digits or "-", then a blank.
  c = qEnd;
  if (end - c < 3 || IsLineBreak(c[1])) return fail();
  c += 2;
  if (*c == '-') {
    ++c;
  } else {
    unsigned status = 0;
    char* s = c;
    while (c < end && IsDigit(*c)) {
      if (status < 0xFFFF) status = status * 10 + static_cast<unsigned>(*c - '0');
      ++c;
    }
    if (c == s) return fail();
    g_line.status = static_cast<uint16_t>(status > 0xFFFF ? 0xFFFF : status);
  }
  if (c >= end || *c != ' ') return fail();
  ++c;

  // Bytes sent: a run of digits or '-', ending at a blank or the line's end.
  {
    uint64_t bytes = 0;
    char* s = c;
    while (c < end && (IsDigit(*c) || *c == '-')) {
      if (*c != '-' && bytes <= 0xFFFFFFFFu) bytes = bytes * 10 + static_cast<unsigned>(*c - '0');
      ++c;
    }
    if (c == s || (c < end && *c != ' ' && !IsLineBreak(*c))) return fail();
    rec->SetBytesSent(bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes));
  }

  // Combined: "referrer" "user agent" and an optional cookie, quoted or the rest
  // of the line. What is missing is left out; the line stays good.
  char* lineEnd;
  if (char* r = OnLine(c, end, '"')) {
    char* rEnd = FindClosingQuote(r + 1, end);
    if (!rEnd) {
      lineEnd = FindLineEnd(r + 1, end);
    } else {
      g_line.referrer = r + 1;
      g_line.referrerLen = static_cast<size_t>(rEnd - r - 1);
      char* a = OnLine(rEnd + 1, end, '"');
      char* aEnd = a ? FindClosingQuote(a + 1, end) : nullptr;
      if (!aEnd) {
        lineEnd = FindLineEnd(a ? a + 1 : rEnd + 1, end);
      } else {
        g_line.agent = a + 1;
        g_line.agentLen = static_cast<size_t>(aEnd - a - 1);
        c = aEnd + 1;
        while (c < end && *c == ' ') ++c;
        lineEnd = FindLineEnd(c, end);
        char* cookie = nullptr;
        size_t cookieLen = 0;
        if (c < lineEnd && *c == '"') {
          char* kEnd = FindClosingQuote(c + 1, end);
          cookie = c + 1;
          cookieLen = static_cast<size_t>((kEnd ? kEnd : lineEnd) - c - 1);
        } else if (c < lineEnd) {
          cookie = c;
          cookieLen = static_cast<size_t>(lineEnd - c);
        }
        // Servers append other fields here too (a request time, a port, a
        // virtual host); taken as cookies they would turn the whole load to
        // telling visitors apart by them.
        if (cookie && LooksLikeCookie(cookie, cookieLen)) {
          g_line.cookie = cookie;
          g_line.cookieLen = cookieLen;
        }
      }
    }
  } else {
    lineEnd = FindLineEnd(c, end);
  }
  CommitLogLine(store);
  return lineEnd;
}

}  // namespace

unsigned MonthFromName(const char* name) {
  static const char kNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  for (unsigned m = 0; m < 12; ++m)
    if (name[0] == kNames[3 * m] && name[1] == kNames[3 * m + 1] && name[2] == kNames[3 * m + 2]) return m + 1;
  return 1;
}

bool LooksLikeCookie(const char* text, size_t len) {
  size_t i = 0, pairs = 0;
  while (i < len) {
    while (i < len && text[i] == ' ') ++i;
    if (i < len && text[i] == ';') {  // an empty part, as a trailing "; " leaves
      ++i;
      continue;
    }
    if (i == len) break;
    size_t name = i;
    while (i < len && text[i] != '=' && text[i] != ';' && text[i] != ' ' && text[i] != '"' && text[i] != ',' &&
           text[i] != '\t')
      ++i;
    if (i == name || i == len || text[i] != '=') return false;
    while (i < len && text[i] != ';' && text[i] != ' ') ++i;  // the value
    while (i < len && text[i] == ' ') ++i;
    if (i < len && text[i] != ';') return false;  // a blank inside: two fields, not one pair
    ++pairs;
  }
  return pairs > 0;
}

char* NextSpaceToken(char* p, char* end, bool* comma) {
  char* blank = FindAnyOf(p, end, ' ', '\n', '\r');
  *comma = false;
  if (blank >= end || *blank != ' ') {
    g_line.host = nullptr;
    g_line.hostLen = 0;
    return nullptr;
  }
  size_t n = static_cast<size_t>(blank - p);
  *comma = n > 0 && p[n - 1] == ',';
  if (*comma) --n;
  g_line.host = n ? p : nullptr;
  g_line.hostLen = n;
  return blank;
}

const char* ParseClfDate(const char* p, const char* end, CHitRecord* record) {
  unsigned day = 0;
  const char* s = p;
  while (p < end && IsDigit(*p)) {
    if (day < 1000) day = day * 10 + static_cast<unsigned>(*p - '0');
    ++p;
  }
  if (p == s || p >= end || *p != '/') return nullptr;
  ++p;
  if (end - p < 4 || IsLineBreak(p[0]) || IsLineBreak(p[1]) || IsLineBreak(p[2]) || p[3] != '/') return nullptr;
  unsigned month = MonthFromName(p);
  p += 4;
  unsigned year, lo;
  if (end - p >= 5 && p[4] == ':' && TwoDigits(p, &year) && TwoDigits(p + 2, &lo)) {
    year = year * 100 + lo;
    p += 5;
  } else if (end - p >= 3 && p[2] == ':' && TwoDigits(p, &year)) {
    year += 2000;
    p += 3;
  } else {
    return nullptr;
  }
  unsigned h, m, sec;
  if (end - p < 9 || p[2] != ':' || p[5] != ':' || p[8] != ' ' || !TwoDigits(p, &h) || !TwoDigits(p + 3, &m) ||
      !TwoDigits(p + 6, &sec))
    return nullptr;
  record->SetDate(day > 255 ? 0 : day, month, year);
  record->SetSeconds(h * 3600 + m * 60 + sec);
  return p + 8;
}

char* FindClosingQuote(char* p, char* end) {
  for (;;) {
    char* q = OnLine(p, end, '"');
    if (!q) return nullptr;
    if (!BackslashEscaped(p, q)) return q;
    p = q + 1;
  }
}

bool FindRequestPage(char* p, char* e, char** page, size_t* len) {
  while (p < e && *p == ' ') ++p;
  // The target is the word behind the method; a text without a blank is taken
  // as a target only when it is a path.
  char* t = FindIn(p, e, ' ');
  if (t) {
    while (t < e && *t == ' ') ++t;
  } else if (p < e && *p == '/') {
    t = p;
  } else {
    return false;
  }
  char* te = FindIn(t, e, ' ');
  return PageOfTarget(t, te ? te : e, page, len);
}

bool PageOfTarget(char* t, char* te, char** page, size_t* len, bool* path) {
  if (t >= te) return false;
  char* s = t;
  if (path) *path = true;
  if (*t == '/') {
    // "//x": the page begins at the first '/' not followed by another.
    while (s + 1 < te && s[1] == '/') ++s;
  } else if (char* colon = FindIn(t, te, ':'); colon && te - colon >= 3 && colon[1] == '/' && colon[2] == '/') {
    // A full URL: the page begins behind the host; a host alone asks for its root.
    s = FindIn(colon + 3, te, '/');
    if (!s) {
      *page = g_rootPage;
      *len = 1;
      return true;
    }
  } else if (path) {
    *path = false;
  }
  // Anything else ("*", "host:443", "index.html") is the page as the client wrote it.
  *page = s;
  *len = static_cast<size_t>(te - s);
  return true;
}

int ParseCommonLogBlock(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                        const CIndexNames& index, const char* format) {
  const bool fasthosts = format == kLogFormatFasthosts;
  char* p = SkipLineBreaks(block, end);
  while (p < end) {
    if (StopRequested()) return 1;
    char* lineEnd;
    if (*p == '!') {
      ++store->headerLines;
      lineEnd = FindLineEnd(p, end);
    } else {
      lineEnd = ReadCommonLine(store, p, end, masks, index, fasthosts);
      if (!lineEnd) return 0;
    }
    p = SkipLineBreaks(lineEnd, end);
  }
  return 1;
}
