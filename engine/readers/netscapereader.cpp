#include "engine/readers/netscapereader.h"

#include <strings.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "base/msgsink.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/linescan.h"
#include "engine/readers/logread.h"
#include "engine/readers/ncsareader.h"
#include "engine/readers/w3creader.h"

namespace {

// A field handler reads the text of its field; 0 when the line is malformed.
using NetscapeFieldHandler = int (*)(char* text, size_t len, CHitRecord* record);

struct NetscapeTables {
  NetscapeFieldHandler handlers[kNetscapeMaxFields];
  char terminators[kNetscapeMaxFields][kNetscapeMaxTerminator + 1];
  uint8_t terminatorLengths[kNetscapeMaxFields];
  bool quoted[kNetscapeMaxFields];  // between quotes: an escaped quote does not end it
};

struct NetscapeState {
  std::unique_ptr<NetscapeTables> tables;
  int fieldCount = 0;
  bool declared = false;  // a "format=" line was seen in this file
  bool toldTooManyFields = false;
  const CGroupMaskList* masks = nullptr;
  const CIndexNames* index = nullptr;
};
NetscapeState g_ns;

char g_dashPage[] = "-";

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

uint32_t LeadingDecimal(const char* p, size_t len, uint32_t limit) {
  uint64_t v = 0;
  for (size_t i = 0; i < len && IsDigit(p[i]); ++i) {
    v = v * 10 + static_cast<unsigned>(p[i] - '0');
    if (v > limit) return limit;
  }
  return static_cast<uint32_t>(v);
}

int NetscapeFieldSkip(char*, size_t, CHitRecord*) { return 1; }

int NetscapeFieldClientIp(char* text, size_t len, CHitRecord* record) {
  if (len > 10000) return 0;  // as for any client text given apart from its column
  ParseIpAddress(text, len, record);
  return 1;
}

int NetscapeFieldAuthUser(char* text, size_t len, CHitRecord*) {
  g_line.user = text;
  g_line.userLen = len;
  return 1;
}

int NetscapeFieldRequest(char* text, size_t len, CHitRecord* record) {
  if (len && text[0] == 'P') record->SetFlags(record->Flags() | kHitPost);
  else if (len && text[0] == 'H') record->SetFlags(record->Flags() | kHitHead);
  char* page;
  size_t pageLen;
  // The page is the first word that is a path or a full URL (never the
  // protocol's "/1.0"); a request for "*" or "host:443" has none.
  char* end = text + len;
  char* w = text;
  for (;;) {
    while (w < end && *w == ' ') ++w;
    if (w >= end) return 0;
    char* we = static_cast<char*>(memchr(w, ' ', static_cast<size_t>(end - w)));
    if (!we) we = end;
    bool path;
    if (PageOfTarget(w, we, &page, &pageLen, &path) && path) break;
    w = we;
  }
  ClassifyRequestPage(record, page, pageLen, *g_ns.masks, *g_ns.index);
  return 1;
}

int NetscapeFieldSysDate(char* text, size_t len, CHitRecord* record) {
  return ParseClfDate(text, text + len, record) ? 1 : 0;
}

int NetscapeFieldStatus(char* text, size_t len, CHitRecord*) {
  g_line.status = static_cast<uint16_t>(LeadingDecimal(text, len, 0xFFFF));
  return 1;
}

int NetscapeFieldLength(char* text, size_t len, CHitRecord* record) {
  record->SetBytesSent(LeadingDecimal(text, len, 0xFFFFFFFFu));
  return 1;
}

int NetscapeFieldReferer(char* text, size_t len, CHitRecord*) {
  g_line.referrer = text;
  g_line.referrerLen = len;
  return 1;
}

int NetscapeFieldUserAgent(char* text, size_t len, CHitRecord*) {
  g_line.agent = text;
  g_line.agentLen = len;
  return 1;
}

int NetscapeFieldCookie(char* text, size_t len, CHitRecord*) {
  g_line.cookie = text;
  g_line.cookieLen = len;
  return 1;
}

struct Token {
  const char* text;
  NetscapeFieldHandler handler;
};
const Token kTokens[] = {
    {"%Ses->client.ip%", NetscapeFieldClientIp},
    {"%Req->vars.auth-user%", NetscapeFieldAuthUser},
    {"%Req->reqpb.clf-request%", NetscapeFieldRequest},
    {"%Req->reqpb.proxy-request%", NetscapeFieldRequest},
    {"%SYSDATE%", NetscapeFieldSysDate},
    {"%Req->srvhdrs.clf-status%", NetscapeFieldStatus},
    {"%Req->srvhdrs.content-length%", NetscapeFieldLength},
    {"%Req->vars.p2c-cl%", NetscapeFieldLength},
    {"%Req->headers.referer%", NetscapeFieldReferer},
    {"%Req->headers.user-agent%", NetscapeFieldUserAgent},
    {"%Req->headers.cookie.name%", NetscapeFieldCookie},
};

// The first occurrence of [text, text + n) in [p, end), or null. Literal texts
// between fields are short, where a first-byte scan beats a general search.
char* FindText(char* p, char* end, const char* text, size_t n) {
  while (static_cast<size_t>(end - p) >= n) {
    p = static_cast<char*>(memchr(p, text[0], static_cast<size_t>(end - p) - n + 1));
    if (!p) return nullptr;
    if (memcmp(p + 1, text + 1, n - 1) == 0) return p;
    ++p;
  }
  return nullptr;
}

// FindText for the closing text of a quoted field: a quote behind an odd run of
// backslashes belongs to the field.
char* FindQuotedFieldEnd(char* p, char* end, const char* text, size_t n) {
  for (char* from = p;;) {
    char* f = FindText(from, end, text, n);
    if (!f) return nullptr;
    if (!BackslashEscaped(p, f)) return f;
    from = f + 1;
  }
}

// Runs the fields of the layout over the line [p, lineEnd) and commits it. False
// when no record could be reserved.
bool ReadNetscapeLine(CHitStore* store, char* p, char* lineEnd) {
  CHitRecord* rec = store->NewRecord();
  if (!rec) return false;
  NetscapeTables& t = *g_ns.tables;
  char* c = p;
  for (int i = 0; i < g_ns.fieldCount; ++i) {
    size_t tl = t.terminatorLengths[i];
    char* fieldEnd = lineEnd;
    if (tl) {
      // Only this line is searched: a field whose text is missing is passed over.
      fieldEnd = t.quoted[i] ? FindQuotedFieldEnd(c, lineEnd, t.terminators[i], tl)
                             : FindText(c, lineEnd, t.terminators[i], tl);
      if (!fieldEnd) continue;
    }
    if (!t.handlers[i](c, static_cast<size_t>(fieldEnd - c), rec)) {
      ++store->ignoredLines;
      return true;
    }
    c = fieldEnd + tl;
  }
  if (!g_ns.declared) {
    ++store->ignoredLines;
    return true;
  }
  if (!g_line.page) {
    g_line.page = g_dashPage;
    g_line.pageLen = g_line.pageQueryLen = 1;
    rec->SetPageType(0);
  }
  CommitLogLine(store);
  return true;
}

}  // namespace

void InitNetscapeReader() {
  g_ns.fieldCount = 0;
  g_ns.declared = false;
  g_ns.toldTooManyFields = false;
  g_ns.tables.reset(new (std::nothrow) NetscapeTables);
  if (!g_ns.tables) return;
  for (int i = 0; i < kNetscapeMaxFields; ++i) {
    g_ns.tables->handlers[i] = NetscapeFieldSkip;
    g_ns.tables->terminators[i][0] = 0;
    g_ns.tables->terminatorLengths[i] = 0;
    g_ns.tables->quoted[i] = false;
  }
}

void FreeNetscapeReader() {
  g_ns.tables.reset();
  g_ns.fieldCount = 0;
  g_ns.declared = false;
}

int NetscapeFieldCount() { return g_ns.fieldCount; }

void ParseNetscapeFormat(const char* line, const char* lineEnd) {
  if (!g_ns.tables) return;
  NetscapeTables& t = *g_ns.tables;
  g_ns.declared = true;
  g_ns.fieldCount = 0;
  const char* p = line + 7 <= lineEnd ? line + 7 : lineEnd;
  // Literal text in front of the first field is not kept.
  p = static_cast<const char*>(memchr(p, '%', static_cast<size_t>(lineEnd - p)));
  if (!p) return;
  while (p < lineEnd && g_ns.fieldCount < kNetscapeMaxFields) {
    NetscapeFieldHandler handler = NetscapeFieldSkip;
    size_t left = static_cast<size_t>(lineEnd - p);
    bool known = false;
    for (const Token& tok : kTokens) {
      size_t n = strlen(tok.text);
      if (n <= left && strncasecmp(p, tok.text, n) == 0) {
        handler = tok.handler;
        p += n;
        known = true;
        break;
      }
    }
    if (!known) {
      // An unknown %token%: up to and over its closing '%'.
      const char* close = static_cast<const char*>(memchr(p + 1, '%', static_cast<size_t>(lineEnd - p - 1)));
      p = close ? close + 1 : lineEnd;
    }
    const char* next = static_cast<const char*>(memchr(p, '%', static_cast<size_t>(lineEnd - p)));
    if (!next) next = lineEnd;
    size_t n = static_cast<size_t>(next - p);
    if (n > static_cast<size_t>(kNetscapeMaxTerminator)) n = kNetscapeMaxTerminator;
    int i = g_ns.fieldCount++;
    t.handlers[i] = handler;
    memcpy(t.terminators[i], p, n);
    t.terminators[i][n] = 0;
    t.terminatorLengths[i] = static_cast<uint8_t>(n);
    t.quoted[i] = n > 0 && p[0] == '"' && i > 0 && t.terminatorLengths[i - 1] > 0 &&
                  t.terminators[i - 1][t.terminatorLengths[i - 1] - 1] == '"';
    p = next;
  }
  if (p < lineEnd && !g_ns.toldTooManyFields) {
    g_ns.toldTooManyFields = true;
    EngineInfoF("Custom log format: fields beyond the first %d are ignored", kNetscapeMaxFields);
  }
  while (g_ns.fieldCount > 0 && t.handlers[g_ns.fieldCount - 1] == NetscapeFieldSkip) --g_ns.fieldCount;
}

int ReadNetscapeLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                    const CIndexNames& index) {
  if (!g_ns.tables) return 0;
  g_ns.masks = &masks;
  g_ns.index = &index;
  char* p = SkipWhite(block, end);
  while (p < end) {
    if (StopRequested()) return 1;
    char* lineEnd = FindLineEnd(p, end);
    if (lineEnd - p >= 7 && strncasecmp(p, "format=", 7) == 0) {
      ParseNetscapeFormat(p, lineEnd);
      ++store->headerLines;
    } else if (!ReadNetscapeLine(store, p, lineEnd)) {
      return 0;
    }
    p = SkipLineBreaks(lineEnd, end);
  }
  return 1;
}
