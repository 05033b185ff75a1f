#include "engine/readers/proxyreader.h"

#include <cstring>

#include "base/msgsink.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/linescan.h"
#include "engine/readers/logread.h"
#include "engine/readers/w3creader.h"
#include "platform/clock.h"

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run of digits at p (bounded by end), capped at limit; false when there is none.
bool ReadNumber(const char*& p, const char* end, uint64_t limit, uint64_t* value) {
  const char* start = p;
  uint64_t v = 0;
  while (p < end && IsDigit(*p)) {
    v = v * 10 + static_cast<unsigned>(*p - '0');
    if (v > limit) v = limit;
    ++p;
  }
  *value = v;
  return p > start;
}

// Four runs of digits separated by '.'; each run keeps its low 8 bits.
bool ReadDottedQuad(const char*& p, const char* end, uint32_t* address) {
  uint32_t a = 0;
  for (int k = 0; k < 4; ++k) {
    uint64_t v;
    if (!ReadNumber(p, end, 0xFFFF, &v)) return false;
    a = (a << 8) | static_cast<uint32_t>(v & 0xFF);
    if (k < 3) {
      if (p >= end || *p != '.') return false;
      ++p;
    }
  }
  *address = a;
  return true;
}

// Text of exactly a number (or "-", read as 0).
bool WholeNumber(const char* t, size_t n, uint32_t* value) {
  if (n == 1 && t[0] == '-') {
    *value = 0;
    return true;
  }
  const char* p = t;
  uint64_t v;
  if (!ReadNumber(p, t + n, 0xFFFFFFFFu, &v) || p != t + n) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool TwoDigits(const char* t, unsigned* v) {
  if (!IsDigit(t[0]) || !IsDigit(t[1])) return false;
  *v = static_cast<unsigned>((t[0] - '0') * 10 + (t[1] - '0'));
  return true;
}

}  // namespace

bool ParseMsProxyLine(const char** cursor, const char* end, CMsProxyLine* line) {
  const char* p = *cursor;
  const char* lineEnd = FindLineEnd(p, end);
  // Each field ends at a ',' and the next begins two characters behind it.
  const char* t = nullptr;
  size_t n = 0;
  auto field = [&]() {
    const char* comma = static_cast<const char*>(memchr(p, ',', static_cast<size_t>(lineEnd - p)));
    // The character behind the comma is passed over, but never the line's end.
    if (!comma || lineEnd - comma < 2) return false;
    t = p;
    n = static_cast<size_t>(comma - p);
    p = comma + 2;
    return true;
  };
  bool ok = [&]() {
    if (!field()) return false;
    const char* q = t;
    if (!ReadDottedQuad(q, t + n, &line->address) || q != t + n) return false;
    if (!field()) return false;
    line->user = t;
    line->userLen = n;
    if (!field()) return false;
    line->agent = t;
    line->agentLen = n;
    if (!field() || n != 1 || (t[0] != 'Y' && t[0] != 'N')) return false;
    // Date: month/day/year.
    if (!field()) return false;
    uint64_t v[3];
    q = t;
    const char* te = t + n;
    for (int k = 0; k < 3; ++k) {
      const char* start = q;
      if (!ReadNumber(q, te, 9999, &v[k])) return false;
      size_t digits = static_cast<size_t>(q - start);
      if (k < 2 ? digits > 2 : (digits != 2 && digits != 4)) return false;
      if (k < 2) {
        if (q >= te || *q != '/') return false;
        ++q;
      }
    }
    if (q != te) return false;
    line->month = static_cast<unsigned>(v[0]);
    line->day = static_cast<unsigned>(v[1]);
    line->year = static_cast<unsigned>(v[2]);
    // Time: hh:mm:ss.
    if (!field() || n != 8 || t[2] != ':' || t[5] != ':') return false;
    unsigned h, m, s;
    if (!TwoDigits(t, &h) || !TwoDigits(t + 3, &m) || !TwoDigits(t + 6, &s)) return false;
    line->seconds = h * 3600 + m * 60 + s;
    // Service, server name, referred server, destination host and address,
    // destination port, processing time.
    for (int k = 0; k < 7; ++k)
      if (!field()) return false;
    if (!field() || !WholeNumber(t, n, &line->bytesSent)) return false;
    if (!field() || !WholeNumber(t, n, &line->bytesReceived)) return false;
    if (!field() || !field()) return false;  // protocol, transport
    if (!field()) return false;
    line->post = n && t[0] == 'P';
    line->head = n && t[0] == 'H';
    if (!field()) return false;
    line->url = t;
    line->urlLen = n;
    if (!field() || !field()) return false;  // object source, MIME type
    uint32_t status;
    if (!field() || !WholeNumber(t, n, &status)) return false;
    line->status = static_cast<uint16_t>(status > 0xFFFF ? 0xFFFF : status);
    return true;
  }();
  *cursor = p;
  return ok;
}

bool ParseSquidLine(const char** cursor, const char* end, CSquidLine* line) {
  const char* p = SkipWhite(*cursor, end);
  const char* lineEnd = FindLineEnd(p, end);
  auto blanks = [&]() {
    if (p >= lineEnd || *p != ' ') return false;
    while (p < lineEnd && *p == ' ') ++p;
    return true;
  };
  bool ok = [&]() {
    uint64_t v;
    if (!ReadNumber(p, lineEnd, UINT64_MAX / 16, &line->timestamp)) return false;
    if (p >= lineEnd || *p != '.') return false;
    ++p;
    if (!ReadNumber(p, lineEnd, UINT64_MAX / 16, &v) || !blanks()) return false;
    if (!ReadNumber(p, lineEnd, UINT64_MAX / 16, &v) || !blanks()) return false;  // elapsed time
    // The client: a dotted address, else (a host name, an IPv6 address) its text.
    const char* client = p;
    if (!ReadDottedQuad(p, lineEnd, &line->address) || p >= lineEnd || *p != ' ') {
      line->address = 0;
      p = client;
      while (p < lineEnd && *p != ' ') ++p;
      if (p == client) return false;
      line->host = client;
      line->hostLen = static_cast<size_t>(p - client);
    }
    if (!blanks()) return false;
    // Action code: the text up to '/' is skipped, the number behind it is the status.
    while (p < lineEnd && *p != '/' && *p != ' ') ++p;
    if (p >= lineEnd || *p != '/') return false;
    ++p;
    if (!ReadNumber(p, lineEnd, 0xFFFF, &v) || !blanks()) return false;
    line->status = static_cast<uint16_t>(v);
    if (!ReadNumber(p, lineEnd, 0xFFFFFFFFu, &v) || !blanks()) return false;
    line->bytesSent = static_cast<uint32_t>(v);
    if (p >= lineEnd) return false;
    line->post = *p == 'P';
    line->head = *p == 'H';
    while (p < lineEnd && *p != ' ') ++p;
    if (!blanks()) return false;
    line->url = p;
    while (p < lineEnd && *p != ' ') ++p;
    line->urlLen = static_cast<size_t>(p - line->url);
    // The user name ("-" when none) may follow; the later columns are not read.
    while (p < lineEnd && *p == ' ') ++p;
    line->user = p;
    while (p < lineEnd && *p != ' ') ++p;
    line->userLen = static_cast<size_t>(p - line->user);
    if (!line->userLen) line->user = nullptr;
    return true;
  }();
  *cursor = p;
  return ok;
}

namespace {

template <typename Line, bool (*Parse)(const char**, const char*, Line*)>
bool AnyOfFirstLines(const char* block, size_t length) {
  const char* end = block + length;
  const char* p = SkipLineBreaks(block, end);
  for (int i = 0; i < 12 && p < end; ++i) {
    const char* c = p;
    Line line;
    if (Parse(&c, end, &line)) return true;
    p = SkipLineBreaks(FindLineEnd(p, end), end);
  }
  return false;
}

}  // namespace

bool IsMsProxyLog(const char* block, size_t length) {
  return AnyOfFirstLines<CMsProxyLine, ParseMsProxyLine>(block, length);
}

bool IsSquidLog(const char* block, size_t length) { return AnyOfFirstLines<CSquidLine, ParseSquidLine>(block, length); }

namespace {

char g_dashPage[] = "-";

// The page of a proxy line is its URL as logged, scheme and host included.
void FinishProxyPage(CHitRecord* rec, char* url, size_t len, const CGroupMaskList& masks,
                     const CIndexNames& index) {
  if (!len) {
    g_line.page = g_dashPage;
    g_line.pageLen = g_line.pageQueryLen = 1;
    rec->SetPageType(0);
    return;
  }
  ClassifyRequestPage(rec, url, len, masks, index);
}

void SetMethodFlags(CHitRecord* rec, bool post, bool head) {
  if (post) rec->SetFlags(rec->Flags() | kHitPost);
  else if (head) rec->SetFlags(rec->Flags() | kHitHead);
}

// The parsers read const text; what they point at lies in the block.
inline char* InBlock(char* block, const char* p) { return block + (p - block); }

void StoreMsProxyLine(const CMsProxyLine& m, CHitRecord* rec, char* block, const CGroupMaskList& masks,
                      const CIndexNames& index) {
  rec->SetAddress(m.address);
  g_line.user = m.user;
  g_line.userLen = m.userLen;
  g_line.agent = m.agent;
  g_line.agentLen = m.agentLen;
  rec->SetDate(m.day, m.month, m.year);  // a two-digit year is completed by the commit
  rec->SetSeconds(m.seconds);
  rec->SetBytesSent(m.bytesSent);
  g_line.bytesReceived = m.bytesReceived;
  SetMethodFlags(rec, m.post, m.head);
  g_line.status = m.status;
  FinishProxyPage(rec, InBlock(block, m.url), m.urlLen, masks, index);
}

void StoreSquidLine(const CSquidLine& s, CHitRecord* rec, char* block, const CGroupMaskList& masks,
                    const CIndexNames& index) {
  // The time stamp is UTC; no time zone of this machine applies. One beyond
  // what a record's year holds leaves the record without a date.
  static const uint64_t kLastDay = static_cast<uint64_t>(tv::DaysFromCivil(0xFFFF, 12, 31));
  if (s.timestamp / 86400 <= kLastDay) {
    tv::CivilDate d = tv::CivilFromDays(static_cast<int64_t>(s.timestamp / 86400));
    rec->SetDate(static_cast<unsigned>(d.day), static_cast<unsigned>(d.month), static_cast<unsigned>(d.year));
    rec->SetSeconds(static_cast<uint32_t>(s.timestamp % 86400));
  }
  rec->SetAddress(s.address);
  g_line.host = s.host;
  g_line.hostLen = s.hostLen;
  g_line.user = s.user;
  g_line.userLen = s.userLen;
  g_line.status = s.status;
  rec->SetBytesSent(s.bytesSent);
  SetMethodFlags(rec, s.post, s.head);
  FinishProxyPage(rec, InBlock(block, s.url), s.urlLen, masks, index);
}

template <typename Line, bool (*Parse)(const char**, const char*, Line*),
          void (*Store)(const Line&, CHitRecord*, char*, const CGroupMaskList&, const CIndexNames&)>
int ReadProxyLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks, const CIndexNames& index) {
  char* p = SkipWhite(block, end);
  while (p < end) {
    if (StopRequested()) return 1;
    CHitRecord* rec = store->NewRecord();
    if (!rec) return 0;
    const char* c = p;
    Line line;
    if (Parse(&c, end, &line)) {
      Store(line, rec, block, masks, index);
      CommitLogLine(store);
    } else {
      ++store->ignoredLines;
    }
    // The parser stops within the line it read (it may have passed over blank lines first).
    p = SkipLineBreaks(FindLineEnd(InBlock(block, c), end), end);
  }
  return 1;
}

}  // namespace

int ReadMsProxyLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                   const CIndexNames& index) {
  return ReadProxyLog<CMsProxyLine, ParseMsProxyLine, StoreMsProxyLine>(store, block, end, masks, index);
}

int ReadSquidLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks, const CIndexNames& index) {
  return ReadProxyLog<CSquidLine, ParseSquidLine, StoreSquidLine>(store, block, end, masks, index);
}
