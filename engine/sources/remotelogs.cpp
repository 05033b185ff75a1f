#include "engine/sources/remotelogs.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <set>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/store/project.h"
#include "platform/curltransfer.h"

namespace {

const char kNoMessageText[] =
    "An exception occurred when attempting to create an WinINet connection. Please check your internet "
    "configuration and make sure your environment is set up with WININET.DLL in the path.";

// A listing larger than this is not a folder of logs.
constexpr size_t kMaxListing = 64u << 20;

std::atomic<uint32_t> g_timeoutMs{30000};
std::atomic<uint32_t> g_lowSpeedBytes{1024};
std::atomic<uint32_t> g_lowSpeedMs{60000};
std::chrono::steady_clock::time_point g_deadline{};  // set and read on the loading thread
std::string g_lastFailure;

struct FtpConnection {
  std::unique_ptr<tv::NetConnection> net;
  std::string base;    // "ftp://host:port/"
  std::string folder;  // the current folder: "" the login folder, else ending in '/'
};

struct HttpConnection {
  std::unique_ptr<tv::NetConnection> net;
  std::string base;  // "http://host[:port]"
  std::unique_ptr<CHttpFile> file;  // the reply in hand, if any
};

std::unique_ptr<CTransferSession> g_session;
std::unique_ptr<FtpConnection> g_ftp;
std::unique_ptr<HttpConnection> g_http;

std::string Str(const char* s) { return s ? s : ""; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  size_t n = strlen(prefix);
  return s.size() >= n && strncasecmp(s.c_str(), prefix, n) == 0;
}

std::string WithScheme(const std::string& text, const char* scheme) {
  return StartsWithNoCase(text, scheme) ? text : scheme + text;
}

std::string WithoutLineEnds(std::string s) {
  std::string out;
  for (char c : s)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

struct Url {
  std::string scheme;
  std::string host;
  uint16_t port = 0;
  bool hasPort = false;
};

// scheme "://" [userinfo "@"] host [":" port] [path]. Credentials written in
// the address are not used; they come only from the parameters.
bool CrackUrl(const std::string& text, Url* url) {
  size_t sep = text.find("://");
  if (sep == std::string::npos || sep == 0) return false;
  url->scheme = text.substr(0, sep);
  for (char c : url->scheme)
    if (!IsLetter(c)) return false;
  size_t start = sep + 3;
  size_t end = text.find_first_of("/?#", start);
  std::string authority = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  std::string portText;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    url->host = authority.substr(1, close - 1);
    std::string rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return false;
      portText = rest.substr(1);
      url->hasPort = true;
    }
  } else {
    size_t colon = authority.find(':');
    url->host = authority.substr(0, colon);
    if (colon != std::string::npos) {
      portText = authority.substr(colon + 1);
      url->hasPort = true;
    }
  }
  if (url->host.empty()) return false;
  for (unsigned char c : url->host)
    if (c <= ' ' || c == 0x7f || c == '\\' || c == '%') return false;
  if (url->hasPort) {
    if (portText.empty() || portText.size() > 5) return false;
    unsigned long port = 0;
    for (char c : portText) {
      if (c < '0' || c > '9') return false;
      port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port == 0 || port > 65535) return false;
    url->port = static_cast<uint16_t>(port);
  }
  return true;
}

std::string HostForUrl(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

void OnNetEvent(int event, const char* info) {
  if (g_session) g_session->OnStatusCallback(event, info);
}

tv::NetSettings BaseSettings(bool ftp, const std::string& host) {
  tv::NetSettings s;
  s.ftp = ftp;
  s.host = host;
  s.connectTimeoutMs = s.ioTimeoutMs = static_cast<long>(g_timeoutMs.load());
  s.lowSpeedBytes = static_cast<long>(g_lowSpeedBytes.load());
  s.lowSpeedMs = static_cast<long>(g_lowSpeedMs.load());
  s.deadline = g_deadline;
  s.userAgent = "iNetClientEx";
  s.onEvent = &OnNetEvent;
  s.shouldStop = [] { return StopRequested(); };
  return s;
}

// A failure's status line, kept for LastTransferFailure.
void InfoFailure(const std::string& text) {
  g_lastFailure = text;
  EngineInfo(text.c_str());
}

void ReportFailure(const tv::NetResult& r) {
  if (!r.lastReply.empty()) EngineInfo(WithoutLineEnds(r.lastReply).c_str());
  std::string message = WithoutLineEnds(r.error);
  InfoFailure(message.empty() ? kNoMessageText : message);
  // The server's last word, unless it was a plain HTTP success.
  bool success = r.lastReply.rfind("HTTP/", 0) == 0 && r.status >= 200 && r.status < 300;
  if (!message.empty() && !r.lastReply.empty() && !success)
    g_lastFailure = message + " (" + WithoutLineEnds(r.lastReply) + ")";
}

// --- FTP paths -------------------------------------------------------------

// Each piece escaped; a leading '/' (an absolute folder) becomes %2F, which
// tells libcurl to start from the root instead of the login folder.
std::string EscapePath(const std::string& path) {
  std::string out;
  size_t i = 0;
  if (!path.empty() && path[0] == '/') {
    out = "%2F";
    i = 1;
  }
  while (i < path.size()) {
    size_t slash = path.find('/', i);
    std::string piece = path.substr(i, slash == std::string::npos ? std::string::npos : slash - i);
    out += tv::UrlEscape(piece);
    if (slash == std::string::npos) break;
    out += '/';
    i = slash + 1;
  }
  return out;
}

std::string JoinFolder(const std::string& current, const std::string& folder) {
  std::string dir = folder;
  for (char& c : dir)
    if (c == '\\') c = '/';
  if (dir.empty()) return current;
  if (dir[0] != '/') dir = current + dir;
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string FolderUrl(const FtpConnection& ftp, const std::string& folder) { return ftp.base + EscapePath(folder); }

std::string FileUrl(const FtpConnection& ftp, const std::string& folder, const std::string& name) {
  return FolderUrl(ftp, folder) + tv::UrlEscape(name);
}

bool MaskMatches(const std::string& name, const char* mask) {
  if (!mask || !*mask || strcmp(mask, "*") == 0 || strcmp(mask, "*.*") == 0) return true;
  return MatchPattern(name.c_str(), mask, 1);
}

// A name that can stand for a file of this folder and is wanted.
bool Wanted(const std::string& name, const char* mask) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\0' || c == '\r' || c == '\n') return false;
  return MaskMatches(name, mask);
}

uint32_t ClampSize(uint64_t size) {
  return size > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                     : static_cast<uint32_t>(size);
}

void SetDateFromUnix(int64_t t, ServerFileInfo* info) {
  int64_t days = t / 86400;
  int64_t secs = t % 86400;
  if (secs < 0) {
    secs += 86400;
    days -= 1;
  }
  tv::CivilDate d = tv::CivilFromDays(days);
  if (d.year < 1 || d.year > 65535) return;
  info->day = static_cast<uint8_t>(d.day);
  info->month = static_cast<uint8_t>(d.month);
  info->year = static_cast<uint16_t>(d.year);
  info->seconds = static_cast<uint32_t>(secs);
}

// SIZE and MDTM of one name; false when it is no file we can fetch.
bool AskSizeAndDate(FtpConnection& ftp, const std::string& folder, ServerFileInfo* info) {
  tv::NetResult r = ftp.net->Perform(FileUrl(ftp, folder, info->name), tv::NetRequest::Info, {});
  if (!r.ok || r.length < 0) return false;
  info->size = ClampSize(static_cast<uint64_t>(r.length));
  if (r.fileTime >= 0) SetDateFromUnix(r.fileTime, info);
  return true;
}

template <class F>
void ForEachLine(const std::string& text, F f) {
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string::npos ? text.size() : nl;
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(line);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
}

tv::NetSink Collector(std::string* text) {
  return [text](const char* data, size_t size) {
    if (text->size() + size > kMaxListing) return false;
    text->append(data, size);
    return true;
  };
}

// --- list parsing ----------------------------------------------------------

struct Tok {
  size_t b, e;
};

std::vector<Tok> Tokens(std::string_view s) {
  std::vector<Tok> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    size_t b = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    out.push_back({b, i});
  }
  return out;
}

bool IsDigits(std::string_view t) {
  if (t.empty()) return false;
  for (char c : t)
    if (c < '0' || c > '9') return false;
  return true;
}

bool ToNumber(std::string_view t, uint64_t* value) {
  if (!IsDigits(t) || t.size() > 19) return false;
  uint64_t v = 0;
  for (char c : t) v = v * 10 + static_cast<uint64_t>(c - '0');
  *value = v;
  return true;
}

int MonthOf(std::string_view t) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  if (t.size() != 3) return 0;
  for (int i = 0; i < 12; ++i)
    if (strncasecmp(t.data(), kMonths[i], 3) == 0) return i + 1;
  return 0;
}

bool EqualsNoCase(std::string_view a, const char* b) {
  return a.size() == strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// "HH:MM" or "HH:MM:SS".
bool ParseClock(std::string_view t, uint32_t* seconds, bool allowSeconds) {
  uint64_t h = 0, m = 0, s = 0;
  size_t c1 = t.find(':');
  if (c1 == std::string_view::npos || !ToNumber(t.substr(0, c1), &h) || c1 > 2) return false;
  std::string_view rest = t.substr(c1 + 1);
  size_t c2 = rest.find(':');
  if (c2 != std::string_view::npos) {
    if (!allowSeconds || !ToNumber(rest.substr(c2 + 1), &s) || rest.size() - c2 - 1 != 2) return false;
    rest = rest.substr(0, c2);
  }
  if (rest.size() != 2 || !ToNumber(rest, &m)) return false;
  if (h > 23 || m > 59 || s > 60) return false;
  *seconds = static_cast<uint32_t>(h * 3600 + m * 60 + (s > 59 ? 59 : s));
  return true;
}

int FullYear(uint64_t y) { return y < 70 ? static_cast<int>(2000 + y) : y < 100 ? static_cast<int>(1900 + y) : static_cast<int>(y); }

bool FillDate(int year, int month, int day, uint32_t seconds, FtpListEntry* e) {
  if (year < 1 || year > 9999 || !tv::IsValidDate(year, month, day)) return false;
  e->year = static_cast<uint16_t>(year);
  e->month = static_cast<uint8_t>(month);
  e->day = static_cast<uint8_t>(day);
  e->seconds = seconds;
  return true;
}

// Unix: type and permissions, links, owner, group (either may be missing), size,
// month, day, "HH:MM" or year, then the name after one blank.
bool ParseUnixLine(std::string_view line, const std::vector<Tok>& toks, const tv::CivilDate& today,
                   FtpListEntry* e) {
  auto tok = [&](size_t i) { return line.substr(toks[i].b, toks[i].e - toks[i].b); };
  std::string_view mode = tok(0);
  if (mode.size() < 10 || !strchr("-dlbcps", mode[0])) return false;
  for (size_t i = 1; i < 10; ++i)
    if (!strchr("rwxsStTl-", mode[i])) return false;
  for (size_t i = 2; i + 3 < toks.size(); ++i) {
    int month = MonthOf(tok(i));
    uint64_t day = 0, size = 0, year = 0;
    if (!month || !ToNumber(tok(i + 1), &day) || day < 1 || day > 31 || !ToNumber(tok(i - 1), &size)) continue;
    std::string_view when = tok(i + 2);
    uint32_t seconds = 0;
    int y = 0;
    if (ParseClock(when, &seconds, false)) {
      // No year: the latest one that does not put the date more than a day ahead.
      y = today.year;
      if (!tv::IsValidDate(y, month, static_cast<int>(day)) ||
          tv::DaysFromCivil(y, month, static_cast<int>(day)) > tv::DaysFromCivil(today.year, today.month, today.day) + 1)
        --y;
    } else if (when.size() == 4 && ToNumber(when, &year)) {
      y = static_cast<int>(year);
    } else {
      continue;
    }
    if (!FillDate(y, month, static_cast<int>(day), seconds, e)) return false;
    std::string_view name = line.substr(toks[i + 2].e + 1);
    e->type = mode[0];
    if (e->type == 'l') {
      size_t arrow = name.find(" -> ");
      if (arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    if (name.empty()) return false;
    e->name.assign(name);
    e->size = size;
    return true;
  }
  return false;
}

// DOS and IIS: "MM-DD-YY  HH:MMAM  <DIR>|size  name".
bool ParseDosLine(std::string_view line, const std::vector<Tok>& toks, FtpListEntry* e) {
  if (toks.size() < 4) return false;
  auto tok = [&](size_t i) { return line.substr(toks[i].b, toks[i].e - toks[i].b); };
  std::string_view date = tok(0);
  char sep = date.size() > 2 ? date[2] : 0;
  if (sep != '-' && sep != '/') return false;
  size_t s2 = date.find(sep, 3);
  uint64_t mm = 0, dd = 0, yy = 0;
  if (s2 == std::string_view::npos || !ToNumber(date.substr(0, 2), &mm) || !ToNumber(date.substr(3, s2 - 3), &dd) ||
      !ToNumber(date.substr(s2 + 1), &yy))
    return false;
  size_t yearDigits = date.size() - s2 - 1;
  if (yearDigits != 2 && yearDigits != 4) return false;
  std::string_view clock = tok(1);
  int pm = -1;
  if (clock.size() > 2 && (EqualsNoCase(clock.substr(clock.size() - 2), "AM") || EqualsNoCase(clock.substr(clock.size() - 2), "PM"))) {
    pm = EqualsNoCase(clock.substr(clock.size() - 2), "PM") ? 1 : 0;
    clock.remove_suffix(2);
  }
  uint32_t seconds = 0;
  if (!ParseClock(clock, &seconds, false)) return false;
  if (pm >= 0) {
    uint32_t hour = seconds / 3600;
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) seconds -= 12 * 3600;
    if (pm) seconds += 12 * 3600;
  }
  std::string_view what = tok(2);
  uint64_t size = 0;
  if (EqualsNoCase(what, "<DIR>")) e->type = 'd';
  else if (ToNumber(what, &size)) e->type = '-';
  else return false;
  size_t n = toks[2].e;
  while (n < line.size() && (line[n] == ' ' || line[n] == '\t')) ++n;
  if (n >= line.size()) return false;
  if (!FillDate(yearDigits == 2 ? FullYear(yy) : static_cast<int>(yy), static_cast<int>(mm), static_cast<int>(dd),
                seconds, e))
    return false;
  e->name.assign(line.substr(n));
  e->size = size;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

class CHttpFile {
 public:
  tv::NetConnection* net = nullptr;  // the connection it came over
  tv::NetResult head;                // what Begin returned
};

FtpLine ParseFtpListLine(std::string_view line, const tv::CivilDate& today, FtpListEntry* entry) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  std::vector<Tok> toks = Tokens(line);
  if (toks.empty()) return FtpLine::Skip;
  auto tok = [&](size_t i) { return line.substr(toks[i].b, toks[i].e - toks[i].b); };
  if (toks.size() == 2 && EqualsNoCase(tok(0), "total") && IsDigits(tok(1))) return FtpLine::Skip;
  FtpListEntry e;
  if (ParseUnixLine(line, toks, today, &e) || ParseDosLine(line, toks, &e)) {
    *entry = std::move(e);
    return FtpLine::Entry;
  }
  return FtpLine::Unknown;
}

bool ParseHttpDate(std::string_view text, ServerFileInfo* date) {
  std::vector<std::string_view> t;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && strchr(" \t,-", text[i])) ++i;
    if (i >= text.size()) break;
    size_t b = i;
    while (i < text.size() && !strchr(" \t,-", text[i])) ++i;
    t.push_back(text.substr(b, i - b));
  }
  // Drop the weekday.
  if (!t.empty() && IsLetter(t[0][0]) && !MonthOf(t[0]))
    t.erase(t.begin());
  if (t.size() < 4) return false;
  uint64_t day = 0, year = 0;
  uint32_t seconds = 0;
  int month = 0;
  size_t yearDigits = 0;
  if (ToNumber(t[0], &day) && (month = MonthOf(t[1])) && ToNumber(t[2], &year) && ParseClock(t[3], &seconds, true)) {
    yearDigits = t[2].size();  // RFC 1123 and RFC 850
  } else if ((month = MonthOf(t[0])) && ToNumber(t[1], &day) && ParseClock(t[2], &seconds, true) &&
             ToNumber(t[3], &year)) {
    yearDigits = t[3].size();  // asctime
  } else {
    return false;
  }
  if (yearDigits != 2 && yearDigits != 4) return false;
  int y = yearDigits == 2 ? FullYear(year) : static_cast<int>(year);
  if (day > 31 || !tv::IsValidDate(y, month, static_cast<int>(day))) return false;
  date->day = static_cast<uint8_t>(day);
  date->month = static_cast<uint8_t>(month);
  date->year = static_cast<uint16_t>(y);
  date->seconds = seconds;
  return true;
}

TransferParams TransferParamsOf(const CLogSource& source) {
  TransferParams p;
  uint32_t prop = source.prop;
  bool anonymous = source.type == kSourceFtp && (prop & 16);
  p.user = anonymous ? nullptr : source.user;
  p.password = source.psw;
  p.server = source.server;
  p.passive = prop & 2;
  p.port = source.port;
  p.useFirewall = prop & 1;
  p.firewall = source.firewall;
  p.firewallPort = source.port_fw;
  p.passiveFirewall = prop & 4;
  p.url = source.url;
  p.useProxy = prop & 8;
  p.proxy = source.proxy;
  p.proxyPort = source.port_proxy;
  return p;
}

void CTransferSession::OnStatusCallback(int status, const char* info) {
  const char* name = info ? info : "";
  switch (status) {
    case 10: EngineInfoF("resolving name for %s", name); break;
    case 11: EngineInfoF("resolved name for %s!", name); break;
    case 20: EngineInfo("Connecting to server..."); break;
    case 21: EngineInfo("Connected to server!"); break;
    case 30:
    case 31:
    case 40:
    case 41: break;
    case 50: EngineInfo("Closing connection..."); break;
    case 51: EngineInfo("Connection close!"); break;
    case 60: EngineInfo("Connection created!"); break;
    case 70: EngineInfo("Closing Connection..."); break;
    case 100: EngineInfo("request complete"); break;
    case 110: EngineInfo("Redirected to URL"); break;
    case 200: EngineInfo("Busy"); break;
    default: EngineInfoF("Unknown status: %d", status); break;
  }
}

void SetTransferTimeout(uint32_t ms) { g_timeoutMs.store(ms ? ms : 1); }
uint32_t TransferTimeout() { return g_timeoutMs.load(); }
void SetTransferLowSpeed(uint32_t bytesPerSecond, uint32_t ms) {
  g_lowSpeedBytes.store(bytesPerSecond);
  g_lowSpeedMs.store(ms);
}
void SetTransferDeadline(uint32_t ms) {
  g_deadline = ms ? std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)
                  : std::chrono::steady_clock::time_point{};
}
std::string LastTransferFailure() { return g_lastFailure; }

int CloseInternetSessions() {
  if (g_ftp) {
    EngineInfo("Closing existing FTP session...");
    g_ftp.reset();
  }
  if (g_http) {
    EngineInfo("Closing existing HTTP session...");
    g_http.reset();
  }
  if (g_session) {
    EngineInfo("Closing existing Internet Session...");
    g_session.reset();
  }
  return 1;
}

namespace {

int OpenServerConnection(int kind, const TransferParams& p, int attempts) {
  CloseInternetSessions();
  bool ftp = kind == kTransferFtp;
  if (!ftp && kind != kTransferHttp) return 0;

  std::string address, proxy;
  uint16_t port = 0;
  bool passive = false;
  bool hasUser = false, hasPassword = false;
  std::string user = Str(p.user), password = Str(p.password);
  if (ftp && p.useFirewall) {
    if (Str(p.firewall).empty()) {
      EngineInfo("Please enter a valid name of firewall.");
      return 0;
    }
    address = WithScheme(Str(p.firewall), "ftp://");
    port = p.firewallPort ? p.firewallPort : 21;
    passive = p.passiveFirewall;
    // The firewall learns from the user name which server to reach.
    std::string server = Str(p.server);
    Url target;
    uint16_t serverPort = p.port;
    std::string host;
    if (CrackUrl(WithScheme(server, "ftp://"), &target)) {
      host = target.host;
      if (target.hasPort) serverPort = target.port;
    } else {
      host = StartsWithNoCase(server, "ftp://") ? server.substr(6) : server;
      if (!host.empty() && (host.back() == '/' || host.back() == '\\')) host.pop_back();
    }
    user = (user.empty() ? std::string("anonymous") : user) + "@" + host;
    if (serverPort != 0 && serverPort != 21) user += ":" + std::to_string(serverPort);
    hasUser = true;
    hasPassword = !password.empty();
  } else if (ftp) {
    address = WithScheme(Str(p.server), "ftp://");
    port = p.port ? p.port : 21;
    passive = p.passive;
    // No user name: libcurl's anonymous login.
    hasUser = !user.empty();
    hasPassword = hasUser && !password.empty();
  } else {
    address = WithScheme(Str(p.url), "http://");
    port = 80;
    if (p.useProxy && !Str(p.proxy).empty()) {
      proxy = p.proxyPort ? Str(p.proxy) + ":" + std::to_string(p.proxyPort) : Str(p.proxy);
      port = 0;
    }
    hasUser = !user.empty();
    hasPassword = !password.empty();
  }

  EngineInfo("Checking URL...");
  Url url;
  if (!CrackUrl(address, &url)) {
    EngineInfo("Please enter a valid URL.");
    return 0;
  }
  EngineInfo("URL was successfully parsed.");
  EngineInfo("Opening Internet Session...");
  g_session.reset(new (std::nothrow) CTransferSession);
  if (!g_session) {
    EngineInfo("Cannot open an Internet Session. Please check your internet configuration.");
    return 0;
  }
  if (strcasecmp(url.scheme.c_str(), ftp ? "ftp" : "http") != 0) {
    EngineInfo("Please enter a valid URL.");
    return 0;
  }
  if (url.hasPort) port = url.port;

  std::string base = (ftp ? "ftp://" : "http://") + HostForUrl(url.host);
  if (port) base += ":" + std::to_string(port);
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (StopRequested()) return 0;
    EngineInfoF("Connecting to: %s (Attempt %d of %d)", url.host.c_str(), attempt, attempts);
    tv::NetSettings s = BaseSettings(ftp, proxy.empty() ? url.host : Str(p.proxy));
    s.hasUser = hasUser;
    s.user = user;
    s.hasPassword = hasPassword;
    s.password = password;
    s.proxy = proxy;
    s.passive = passive;
    if (!ftp) s.headers = {"Accept: */*", "Content-Type: application/x-www-form-urlencoded"};
    std::unique_ptr<tv::NetConnection> net = tv::NetConnection::Open(std::move(s));
    if (!net) {
      EngineInfo(kNoMessageText);
      continue;
    }
    if (ftp) {
      tv::NetResult r = net->Perform(base + "/", tv::NetRequest::Probe, {});
      if (!r.ok) {
        ReportFailure(r);
        net.reset();
        // Another try cannot make a refused login good.
        if (r.loginDenied || r.stopped) return 0;
        continue;
      }
      g_ftp.reset(new FtpConnection{std::move(net), base + "/", ""});
    } else {
      g_http.reset(new HttpConnection{std::move(net), base, nullptr});
    }
    EngineInfoF("Successfully connected to: '%s'.", url.host.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int ConnectToServer(int kind, const TransferParams& params, int attempts) {
  g_lastFailure.clear();
  int ok = OpenServerConnection(kind, params, attempts);
  if (!ok) {
    std::string why = g_lastFailure;
    InfoFailure("Connection could not be made.");
    if (!why.empty()) g_lastFailure += " " + why;
  }
  return ok;
}

int getServerFiles(CServerFileList& list, const char* folder, const char* mask) {
  list.Clear();
  if (!g_ftp) return 0;
  EngineInfoF("Mask: %s, Dir: %s", mask ? mask : "", folder ? folder : "");
  try {
    FtpConnection& ftp = *g_ftp;
    std::string dir = JoinFolder(ftp.folder, Str(folder));
    std::string text;
    tv::NetResult r = ftp.net->Perform(FolderUrl(ftp, dir), tv::NetRequest::List, Collector(&text));
    if (r.stopped) {
      EngineInfoF("Found files: %i", 0);
      return 1;
    }
    if (!r.ok) {
      if (r.connectionLost) InfoFailure("Connection lost.");
      else InfoFailure("InternetException (getServerFiles): " + WithoutLineEnds(r.error));
      return 0;
    }
    ftp.folder = dir;

    tv::CivilDate today = tv::Today();
    std::vector<FtpListEntry> entries;
    bool unknownLines = false;
    ForEachLine(text, [&](std::string_view line) {
      FtpListEntry e;
      FtpLine kind = ParseFtpListLine(line, today, &e);
      if (kind == FtpLine::Entry) entries.push_back(std::move(e));
      else if (kind == FtpLine::Unknown) unknownLines = true;
    });

    std::set<std::string> listed;
    for (const FtpListEntry& e : entries) {
      if (StopRequested()) break;
      listed.insert(e.name);
      if (!Wanted(e.name, mask) || (e.type != '-' && e.type != 'l')) continue;
      ServerFileInfo info;
      info.name = e.name;
      // A link's own size and date say nothing about the file it leads to.
      if (e.type == 'l') {
        if (!AskSizeAndDate(ftp, dir, &info)) continue;
      } else {
        info.size = ClampSize(e.size);
        info.day = e.day;
        info.month = e.month;
        info.year = e.year;
        info.seconds = e.seconds;
      }
      list.Add(std::move(info));
    }

    // Lines of no form we know: take the names from NLST and ask for each.
    if (unknownLines && !StopRequested()) {
      std::string names;
      tv::NetResult n = ftp.net->Perform(FolderUrl(ftp, dir), tv::NetRequest::NameList, Collector(&names));
      if (n.ok) {
        ForEachLine(names, [&](std::string_view line) {
          if (StopRequested()) return;
          std::string name(line);
          size_t slash = name.rfind('/');
          if (slash != std::string::npos) name.erase(0, slash + 1);
          if (listed.count(name) || !Wanted(name, mask)) return;
          listed.insert(name);
          ServerFileInfo info;
          info.name = name;
          if (AskSizeAndDate(ftp, dir, &info)) list.Add(std::move(info));
        });
      }
    }
    EngineInfoF("Found files: %i", list.Count());
    return 1;
  } catch (...) {
    list.Clear();
    EngineInfo("getServerFiles: unhandled exception.");
    return 0;
  }
}

CHttpFile* OpenRemoteFile(const char* url, uint32_t* size, ServerFileInfo* date) {
  if (size) *size = 0;
  if (date) {
    date->day = date->month = 0;
    date->year = 0;
    date->seconds = 0;
  }
  if (!g_http || !url) return nullptr;
  HttpConnection& http = *g_http;
  http.file.reset();

  std::string rest = url;
  if (StartsWithNoCase(rest, "ftp://")) rest.erase(0, 6);
  else if (StartsWithNoCase(rest, "http://")) rest.erase(0, 7);
  size_t slash = rest.find('/');
  // An address without a path asks for the root.
  std::string object = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
  std::string request = http.base + "/";
  for (unsigned char c : object) {
    if (c <= ' ' || c == 0x7f) request += tv::UrlEscape(std::string(1, static_cast<char>(c)));
    else request += static_cast<char>(c);
  }

  auto file = std::make_unique<CHttpFile>();
  file->net = http.net.get();
  file->head = http.net->Begin(request);
  const tv::NetResult& r = file->head;
  if (!r.ok) {
    if (!r.stopped) ReportFailure(r);
    return nullptr;
  }
  if (r.status < 200 || r.status > 299) {
    // An error page is no log.
    http.net->Cancel();
    InfoFailure(WithoutLineEnds(r.lastReply.empty() ? "HTTP status " + std::to_string(r.status) : r.lastReply));
    return nullptr;
  }
  for (const std::string& h : r.headers) {
    size_t colon = h.find(':');
    if (colon == std::string::npos) continue;
    std::string name = h.substr(0, colon);
    std::string_view value(h);
    value.remove_prefix(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    uint64_t length = 0;
    if (strcasecmp(name.c_str(), "Content-Length") == 0 && size && ToNumber(value, &length)) *size = ClampSize(length);
    if (strcasecmp(name.c_str(), "Last-Modified") == 0 && date) ParseHttpDate(value, date);
  }
  http.file = std::move(file);
  return http.file.get();
}

void CloseRemoteFile(CHttpFile* file) {
  if (!file || !g_http || g_http->file.get() != file) return;
  if (g_http->net->Started()) g_http->net->Cancel();
  g_http->file.reset();
}

namespace {

struct TargetWriter {
  int fd = -1;
  bool ok = true;
  bool Write(const char* data, size_t size) {
    while (size > 0) {
      ssize_t n = write(fd, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return ok = false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
};

uint32_t Clamp32(int64_t v) {
  return v < 0 ? 0 : v > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                                 : static_cast<uint32_t>(v);
}

}  // namespace

bool DownloadRemoteFile(const char* remoteName, uint32_t expectedSize, const char* localTarget, CHttpFile* file,
                        uint64_t maxBytes) {
  if (!localTarget || !*localTarget) return false;
  std::string name = Str(remoteName);
  const std::string tooLarge = "'" + name + "' is larger than " + std::to_string(maxBytes) + " bytes and was refused.";
  if (maxBytes && expectedSize > maxBytes) {
    if (file) CloseRemoteFile(file);
    g_lastFailure = tooLarge;
    EngineError(tooLarge.c_str());
    return false;
  }
  bool overCap = false;
  // Never through a link someone left in place of the target.
  TargetWriter out;
  out.fd = open(localTarget, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out.fd < 0) {
    EngineErrorF("can't open file '%s'", localTarget);
    return false;
  }
  EngineInfoF("Downloading the file '%s'.", name.c_str());
  EngineInfoF("Target file: %s", localTarget);

  tv::NetResult r;
  bool haveSource = false;
  int64_t got = 0;
  if (g_ftp) {
    haveSource = true;
    if (expectedSize) EngineProgress(expectedSize, 1);
    tv::NetSink sink = [&](const char* data, size_t size) {
      if (maxBytes && static_cast<uint64_t>(got) + size > maxBytes) {
        overCap = true;
        return false;
      }
      if (!out.Write(data, size)) return false;
      got += static_cast<int64_t>(size);
      if (expectedSize) EngineProgress(Clamp32(got), 0);
      return true;
    };
    r = g_ftp->net->Perform(FileUrl(*g_ftp, g_ftp->folder, name), tv::NetRequest::Get, sink);
  } else if (g_http) {
    if (!file || g_http->file.get() != file) {
      uint32_t size = 0;
      ServerFileInfo date;
      file = OpenRemoteFile(remoteName, &size, &date);
    }
    if (file) {
      haveSource = true;
      if (expectedSize) EngineProgress(expectedSize / 1024, 1);
      tv::NetSink sink = [&](const char* data, size_t size) {
        if (maxBytes && static_cast<uint64_t>(got) + size > maxBytes) {
        overCap = true;
        return false;
      }
        if (!out.Write(data, size)) return false;
        got += static_cast<int64_t>(size);
        if (expectedSize) EngineProgress(Clamp32(got / 1024), 0);
        return true;
      };
      r = file->head.bodyPending ? file->net->Finish(sink) : file->head;
      CloseRemoteFile(file);
    }
  }
  if (close(out.fd) != 0) out.ok = false;

  bool stopped = StopRequested() || r.stopped;
  bool complete = haveSource && r.ok && out.ok && (expectedSize == 0 || got >= expectedSize);
  if (!complete || stopped) {
    unlink(localTarget);
    if (stopped) {
      EngineInfo("Finished(stop)");
    } else if (haveSource) {
      if (overCap) {
        g_lastFailure = tooLarge;
        EngineError(tooLarge.c_str());
      } else if (!out.ok) {
        g_lastFailure = "write error in the file";
        EngineError("write error in the file");
      } else if (!r.ok) {
        ReportFailure(r);
      } else {
        InfoFailure("Only " + std::to_string(got) + " of " + std::to_string(expectedSize) + " bytes arrived.");
      }
    }
    EngineProgress(0, 0);
    return false;
  }
  EngineInfo("Finished!");
  EngineProgress(0, 0);
  return true;
}
