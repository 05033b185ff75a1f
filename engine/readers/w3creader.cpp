#include "engine/readers/w3creader.h"

#include <strings.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/linescan.h"
#include "engine/readers/logread.h"

namespace {

// A column handler: reads the text of its column into the record or g_line;
// 0 when the line is malformed.
using W3cFieldHandler = int (*)(char* text, size_t len, CHitRecord* record);

struct W3cReaderState {
  bool prepared = false;
  W3cFieldHandler handlers[kW3cMaxFields] = {};
  int fieldCount = 0;
  uint32_t defaultDate = 0;  // packed, from the last "#Date:"
  bool accounting = false;   // "#SubComponent: Process Accounting" seen since the last data line
  bool toldTooManyFields = false;
  std::vector<char> lineBuffer;  // where the stem, '?' and the query are joined
  char* stem = nullptr;
  size_t stemLen = 0;
  char* query = nullptr;
  size_t queryLen = 0;
};
W3cReaderState g_w3c;

std::string g_patternPage;  // C-string copy of a page for wildcard masks

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Leading decimal digits, capped at limit; "-" and no digits give 0.
uint32_t ParseDecimal(const char* p, size_t len, uint32_t limit) {
  uint64_t v = 0;
  for (size_t i = 0; i < len && IsDigit(p[i]); ++i) {
    v = v * 10 + static_cast<unsigned>(p[i] - '0');
    if (v > limit) return limit;
  }
  return static_cast<uint32_t>(v);
}

// All digits, at least one; the value in *out.
bool ReadDigits(const char* p, size_t len, unsigned* out) {
  if (len == 0 || len > 9) return false;
  unsigned v = 0;
  for (size_t i = 0; i < len; ++i) {
    if (!IsDigit(p[i])) return false;
    v = v * 10 + static_cast<unsigned>(p[i] - '0');
  }
  *out = v;
  return true;
}

bool ParseDateText(const char* p, size_t len, unsigned* day, unsigned* month, unsigned* year) {
  auto isSep = [](char c) { return c == '-' || c == '/'; };
  size_t y = 0;
  while (y < len && !isSep(p[y])) ++y;
  if (y != 2 && y != 4) return false;
  size_t m = y + 1;
  size_t me = m;
  while (me < len && !isSep(p[me])) ++me;
  if (me >= len || me - m < 1 || me - m > 2) return false;
  if (!ReadDigits(p, y, year) || !ReadDigits(p + m, me - m, month)) return false;
  if (!ReadDigits(p + me + 1, len - me - 1, day) || len - me - 1 > 2) return false;
  if (y == 2) *year += 2000;
  return true;
}

// Column handlers, looked up by the names of a "#Fields:" line.
int W3cFieldSkip(char*, size_t, CHitRecord*) { return 1; }

int W3cFieldClientIp(char* text, size_t len, CHitRecord* record) {
  ParseIpAddress(text, len, record);
  return 1;
}

int W3cFieldDate(char* text, size_t len, CHitRecord* record) { return ParseW3cDate(text, len, record); }

int W3cFieldTime(char* text, size_t len, CHitRecord* record) { return ParseTimeOfDay(text, len, record); }

int W3cFieldUriStem(char* text, size_t len, CHitRecord*) {
  g_w3c.stem = text;
  g_w3c.stemLen = len;
  return 1;
}

int W3cFieldUriQuery(char* text, size_t len, CHitRecord*) {
  if (len == 1 && text[0] == '-') return 1;
  g_w3c.query = text;
  g_w3c.queryLen = len;
  return 1;
}

int W3cFieldReferer(char* text, size_t len, CHitRecord*) {
  g_line.referrer = text;
  g_line.referrerLen = len;
  return 1;
}

int W3cFieldStatus(char* text, size_t len, CHitRecord*) {
  g_line.status = static_cast<uint16_t>(ParseDecimal(text, len, 0xFFFF));
  return 1;
}

int W3cFieldBytesSent(char* text, size_t len, CHitRecord* record) {
  record->SetBytesSent(ParseDecimal(text, len, 0xFFFFFFFFu));
  return 1;
}

int W3cFieldBytesReceived(char* text, size_t len, CHitRecord*) {
  g_line.bytesReceived = ParseDecimal(text, len, 0xFFFFFFFFu);
  return 1;
}

int W3cFieldUserAgent(char* text, size_t len, CHitRecord*) {
  g_line.agent = text;
  g_line.agentLen = len;
  return 1;
}

int W3cFieldCookie(char* text, size_t len, CHitRecord*) {
  g_line.cookie = text;
  g_line.cookieLen = len;
  return 1;
}

int W3cFieldMethod(char* text, size_t len, CHitRecord* record) {
  if (len && text[0] == 'P') record->SetFlags(record->Flags() | kHitPost);
  else if (len && text[0] == 'H') record->SetFlags(record->Flags() | kHitHead);
  return 1;
}

int W3cFieldUserName(char* text, size_t len, CHitRecord*) {
  g_line.user = text;
  g_line.userLen = len;
  return 1;
}

struct FieldName {
  const char* name;
  W3cFieldHandler handler;
};
const FieldName kFieldNames[] = {
    {"c-ip", W3cFieldClientIp},
    {"src-ip", W3cFieldClientIp},
    {"date", W3cFieldDate},
    {"time", W3cFieldTime},
    {"cs-uri-stem", W3cFieldUriStem},
    {"dst-ip", W3cFieldUriStem},
    {"cs-uri", W3cFieldUriStem},
    {"cs-uri-query", W3cFieldUriQuery},
    {"cs(Referer)", W3cFieldReferer},
    {"sc-status", W3cFieldStatus},
    {"sc-bytes", W3cFieldBytesSent},
    {"size", W3cFieldBytesSent},
    {"cs-bytes", W3cFieldBytesReceived},
    {"cs(User-Agent)", W3cFieldUserAgent},
    {"c-agent", W3cFieldUserAgent},
    {"cs(Cookie)", W3cFieldCookie},
    {"cs-method", W3cFieldMethod},
    {"cs-username", W3cFieldUserName},
};

W3cFieldHandler LookupField(const char* name, size_t len) {
  for (const FieldName& f : kFieldNames) {
    if (strlen(f.name) == len && strncasecmp(f.name, name, len) == 0) return f.handler;
  }
  return W3cFieldSkip;
}

bool StartsWith(const char* p, const char* end, const char* prefix) {
  size_t n = strlen(prefix);
  return static_cast<size_t>(end - p) >= n && memcmp(p, prefix, n) == 0;
}

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameLettersNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

uint8_t PageTypeOf(const char* page, size_t len, const CGroupMaskList& masks) {
  if (len && page[len - 1] == '/') return static_cast<uint8_t>(masks.folder_group);
  if (masks.entries.empty()) return static_cast<uint8_t>(CGroupMaskList::kNoGroup);
  const char* dot = static_cast<const char*>(memrchr(page, '.', len));
  size_t extLen = dot ? len - static_cast<size_t>(dot - page) : 0;
  bool copied = false;
  for (const CGroupMask& m : masks.entries) {
    if (!m.not_ext) {
      // The mask's length is extLen when its terminator stands there.
      if (dot && extLen < sizeof m.mask && m.mask[extLen] == 0 && m.mask[extLen - 1] != 0 &&
          SameLettersNoCase(m.mask, dot, extLen))
        return static_cast<uint8_t>(m.group);
      continue;
    }
    if (!copied) {
      g_patternPage.assign(page, strnlen(page, len));
      copied = true;
    }
    if (MatchPattern(g_patternPage.c_str(), m.mask, 0)) return static_cast<uint8_t>(m.group);
  }
  return static_cast<uint8_t>(CGroupMaskList::kNoGroup);
}

// The quote that closes a quoted column whose text starts at p, or the line
// break or end met first. A quote written twice or behind a backslash is part
// of the text (both ways of writing one occur).
char* FindColumnQuote(char* p, char* end) {
  for (char* from = p;;) {
    char* q = FindAnyOf(from, end, '"', '\n', '\r');
    if (q == end || *q != '"') return q;
    if (BackslashEscaped(p, q)) {
      from = q + 1;
    } else if (q + 1 < end && q[1] == '"') {
      from = q + 2;
    } else {
      return q;
    }
  }
}

// Page, '?' and query joined in the line buffer, or the stem alone.
bool JoinStemAndQuery(char** page, size_t* len) {
  if (!g_w3c.query) {
    *page = g_w3c.stem;
    *len = g_w3c.stemLen;
    return true;
  }
  size_t need = g_w3c.stemLen + 1 + g_w3c.queryLen;
  if (g_w3c.lineBuffer.size() < need) {
    try {
      g_w3c.lineBuffer.resize(need);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  char* buf = g_w3c.lineBuffer.data();
  memcpy(buf, g_w3c.stem, g_w3c.stemLen);
  buf[g_w3c.stemLen] = '?';
  memcpy(buf + g_w3c.stemLen + 1, g_w3c.query, g_w3c.queryLen);
  *page = buf;
  *len = need;
  return true;
}

char g_dashPage[] = "-";

}  // namespace

void InitW3cReader() {
  g_w3c.fieldCount = 0;
  g_w3c.defaultDate = 0;
  g_w3c.accounting = false;
  g_w3c.toldTooManyFields = false;
  g_w3c.stem = g_w3c.query = nullptr;
  g_w3c.prepared = false;
  try {
    // A page and its query never exceed the block they come from.
    g_w3c.lineBuffer.assign(kLogBufferSize, 0);
    g_w3c.prepared = true;
  } catch (const std::bad_alloc&) {
  }
}

void FreeW3cReader() {
  g_w3c.prepared = false;
  g_w3c.fieldCount = 0;
  std::vector<char>().swap(g_w3c.lineBuffer);
}

int W3cFieldCount() { return g_w3c.fieldCount; }

int ParseW3cDate(const char* text, size_t len, CHitRecord* record) {
  unsigned d, m, y;
  if (!ParseDateText(text, len, &d, &m, &y)) return 0;
  record->SetDate(d, m, y);
  return 1;
}

int ParseTimeOfDay(const char* t, size_t len, CHitRecord* record) {
  if (len != 8 || t[2] != ':' || t[5] != ':') return 0;
  unsigned h, m, s;
  if (!ReadDigits(t, 2, &h) || !ReadDigits(t + 3, 2, &m) || !ReadDigits(t + 6, 2, &s)) return 0;
  record->SetSeconds(h * 3600 + m * 60 + s);
  return 1;
}

void ParseHostName(CHitRecord* record, const char* text, size_t len) {
  record->SetAddress(0);
  g_line.host = len ? text : nullptr;
  g_line.hostLen = len;
}

void ParseIpAddress(const char* text, size_t len, CHitRecord* record) {
  uint32_t address = 0;
  size_t i = 0;
  for (int octet = 0; octet < 4; ++octet) {
    size_t start = i;
    unsigned v = 0;
    while (i < len && IsDigit(text[i])) {
      v = v * 10 + static_cast<unsigned>(text[i] - '0');
      if (v > 255) return ParseHostName(record, text, len);  // no octet: a name such as 1000.example
      ++i;
    }
    if (i == start) return ParseHostName(record, text, len);
    address = (address << 8) | v;
    if (octet < 3) {
      if (i >= len || text[i] != '.') return ParseHostName(record, text, len);
      ++i;
    }
  }
  if (i < len && text[i] != ':') return ParseHostName(record, text, len);  // a port follows ':'
  record->SetAddress(address);
  g_line.host = nullptr;
  g_line.hostLen = 0;
}

int ParseIpFromString(const char* text, CHitRecord* record) {
  if (!text) return 0;
  size_t len = strnlen(text, 10001);
  if (len > 10000) return 0;
  ParseIpAddress(text, len, record);
  return 1;
}

void ClassifyRequestPage(CHitRecord* record, char* page, size_t len, const CGroupMaskList& masks,
                         const CIndexNames& index) {
  char* q = static_cast<char*>(memchr(page, '?', len));
  size_t cut = q ? static_cast<size_t>(q - page) : len;
  if (q) record->SetFlags(record->Flags() | kHitQuery);
  size_t named = CutIndexName(page, cut, index);
  if (named < cut) {
    // "/a/index.html?x" becomes "/a/?x": the query moves up behind the folder.
    if (q) memmove(page + named, page + cut, len - cut);
    len -= cut - named;
    cut = named;
  }
  record->SetPageType(PageTypeOf(page, cut, masks));
  g_line.page = page;
  g_line.pageQueryLen = len;
  g_line.pageLen = q && !g_project.display.ignore_argm ? len : cut;
}

int ParseW3cDirective(const char* line, const char* lineEnd) {
  if (StartsWith(line, lineEnd, "#Fields:")) {
    g_w3c.fieldCount = 0;
    const char* p = line + 8;
    while (p < lineEnd && (*p == ' ' || *p == '\t')) ++p;
    while (p < lineEnd && g_w3c.fieldCount < kW3cMaxFields) {
      const char* e = p;
      while (e < lineEnd && *e != ' ' && *e != '\t') ++e;
      g_w3c.handlers[g_w3c.fieldCount++] = LookupField(p, static_cast<size_t>(e - p));
      if (e >= lineEnd) break;
      p = e + 1;
    }
    if (g_w3c.fieldCount == kW3cMaxFields && !g_w3c.toldTooManyFields) {
      int named = g_w3c.fieldCount;
      for (const char* q = p; q < lineEnd;) {
        while (q < lineEnd && (*q == ' ' || *q == '\t')) ++q;
        if (q == lineEnd) break;
        ++named;
        while (q < lineEnd && *q != ' ' && *q != '\t') ++q;
      }
      if (named > kW3cMaxFields) {
        g_w3c.toldTooManyFields = true;
        EngineInfoF("W3C log: the #Fields line names %d fields; fields beyond the first %d are ignored", named,
                    kW3cMaxFields);
      }
    }
    // Unknown last columns need not even be scanned.
    while (g_w3c.fieldCount > 0 && g_w3c.handlers[g_w3c.fieldCount - 1] == W3cFieldSkip) --g_w3c.fieldCount;
    return 1;
  }
  // The date is followed by a blank (its time) in tab-separated files too.
  if (StartsWith(line, lineEnd, "#Date:") && line + 6 < lineEnd && (line[6] == ' ' || line[6] == '\t')) {
    const char* p = line + 7;
    while (p < lineEnd && (*p == ' ' || *p == '\t')) ++p;
    const char* e = p;
    while (e < lineEnd && *e != ' ' && *e != '\t') ++e;
    unsigned d, m, y;
    if (ParseDateText(p, static_cast<size_t>(e - p), &d, &m, &y)) g_w3c.defaultDate = d | (m << 8) | (y << 16);
  }
  return 0;
}

namespace {

// Runs the column handlers over the data line at p and commits it. Returns the
// line's end (a line break or end), or null when no record could be reserved.
char* ReadW3cLine(CHitStore* store, char* p, char* end, char sep, const CGroupMaskList& masks,
                  const CIndexNames& index) {
  g_w3c.stem = g_w3c.query = nullptr;
  CHitRecord* rec = store->NewRecord();
  if (!rec) return nullptr;
  uint32_t d = g_w3c.defaultDate;
  rec->SetDate(d & 0xFF, (d >> 8) & 0xFF, d >> 16);
  // Columns are found by one scan that also stops at the line's end; a line
  // that ends early gives the remaining columns empty texts.
  char* c = p;
  for (int i = 0; i < g_w3c.fieldCount; ++i) {
    char* text;
    size_t len;
    if (c < end && *c == '"') {
      char* close = FindColumnQuote(c + 1, end);
      if (close == end || *close != '"') {
        ++store->ignoredLines;
        return FindLineEnd(close, end);
      }
      text = c + 1;
      len = static_cast<size_t>(close - text);
      c = close + 1;
      if (c < end && *c == sep) ++c;
    } else {
      char* s = FindAnyOf(c, end, sep, '\n', '\r');
      text = c;
      len = static_cast<size_t>(s - c);
      c = s < end && *s == sep ? s + 1 : s;
    }
    if (!g_w3c.handlers[i](text, len, rec)) {
      ++store->ignoredLines;
      return FindLineEnd(c, end);
    }
    while (c < end && (*c == ' ' || *c == '\t')) ++c;
  }
  char* lineEnd = FindLineEnd(c, end);
  if (!g_w3c.stem) {
    g_line.page = g_dashPage;
    g_line.pageLen = g_line.pageQueryLen = 1;
    rec->SetPageType(0);
  } else {
    char* page;
    size_t pageLen;
    if (!JoinStemAndQuery(&page, &pageLen)) return nullptr;
    ClassifyRequestPage(rec, page, pageLen, masks, index);
  }
  CommitLogLine(store);
  return lineEnd;
}

}  // namespace

int ReadW3cLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks, const CIndexNames& index,
               bool blankSeparated) {
  if (!g_w3c.prepared) return 0;
  const char sep = blankSeparated ? ' ' : '\t';
  char* p = SkipWhite(block, end);
  while (p < end) {
    if (StopRequested()) return 1;
    char* lineEnd;
    if (*p == '#' || *p == '!') {
      lineEnd = FindLineEnd(p, end);
      ++store->headerLines;
      if (*p == '#') {
        if (StartsWith(p, lineEnd, "#SubComponent: Process Accounting")) g_w3c.accounting = true;
        if (ParseW3cDirective(p, lineEnd) && g_w3c.accounting) g_w3c.fieldCount = 0;
      }
    } else if (g_w3c.fieldCount == 0) {
      g_w3c.accounting = false;
      lineEnd = FindLineEnd(p, end);
    } else {
      g_w3c.accounting = false;
      lineEnd = ReadW3cLine(store, p, end, sep, masks, index);
      if (!lineEnd) return 0;
    }
    p = SkipLineBreaks(lineEnd, end);
  }
  return 1;
}

int ParseIisLine(const CGroupMaskList& masks, CHitRecord* record, char** cursor, char* end,
                 const CIndexNames& index) {
  char* p = *cursor;
  char* lineEnd = FindLineEnd(p, end);
  // The next ", "-separated field; false when the line ends before its ','.
  auto field = [&](char** text, size_t* len) {
    while (p < lineEnd && *p == ' ') ++p;
    char* comma = static_cast<char*>(memchr(p, ',', static_cast<size_t>(lineEnd - p)));
    if (!comma) return false;
    *text = p;
    *len = static_cast<size_t>(comma - p);
    p = comma + 1;
    return true;
  };
  char* t;
  size_t n;
  if (!field(&t, &n)) return 0;
  if (!(n == 1 && t[0] == '-')) {
    g_line.user = t;
    g_line.userLen = n;
  }

  // Date: month, day and year separated by '/', '.' or '-'.
  if (!field(&t, &n)) return 0;
  unsigned part[3];
  size_t i = 0;
  for (int k = 0; k < 3; ++k) {
    size_t start = i;
    while (i < n && IsDigit(t[i])) ++i;
    if (!ReadDigits(t + start, i - start, &part[k])) return 0;
    if (k < 2) {
      if (i >= n || !strchr("/.-", t[i])) return 0;
      ++i;
    }
  }
  if (i != n) return 0;
  record->SetDate(part[1], part[0], part[2]);

  // Time: hours, then minutes and seconds of two digits.
  if (!field(&t, &n)) return 0;
  const char* colon = static_cast<const char*>(memchr(t, ':', n));
  unsigned h, m, s;
  if (!colon) return 0;
  size_t hl = static_cast<size_t>(colon - t);
  if (n != hl + 6 || colon[3] != ':' || !ReadDigits(t, hl, &h) || !ReadDigits(colon + 1, 2, &m) ||
      !ReadDigits(colon + 4, 2, &s))
    return 0;
  record->SetSeconds(h * 3600 + m * 60 + s);

  // Service, server, server address, time taken, bytes received.
  for (int k = 0; k < 5; ++k)
    if (!field(&t, &n)) return 0;
  if (!field(&t, &n)) return 0;
  record->SetBytesSent(ParseDecimal(t, n, 0xFFFFFFFFu));
  if (!field(&t, &n)) return 0;
  g_line.status = static_cast<uint16_t>(ParseDecimal(t, n, 0xFFFF));
  if (!field(&t, &n)) return 0;  // the Windows status is not the method
  if (!field(&t, &n)) return 0;
  if (n && t[0] == 'P') record->SetFlags(record->Flags() | kHitPost);
  else if (n && t[0] == 'H') record->SetFlags(record->Flags() | kHitHead);
  if (!field(&t, &n)) return 0;
  ClassifyRequestPage(record, t, n, masks, index);
  *cursor = p;
  return 1;
}
