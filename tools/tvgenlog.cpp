// tvgenlog: writes realistic web-server logs of any size for tests and benchmarks.
//   tvgenlog FORMAT LINES [SEED] > file
// The same format, line count and seed always give the same bytes. A format is
// a header writer and a line writer over the same generated hits, so adding one
// is adding a row to kFormats.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Deterministic randomness

struct Rng {
  uint64_t state;
  uint64_t Next() {  // splitmix64
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  // Skewed towards small indexes, as popular pages and busy clients are.
  uint32_t Skewed(uint32_t n) {
    uint32_t a = Below(n), b = Below(n);
    return a < b ? a : b;
  }
};

// ---------------------------------------------------------------------------
// What a hit is made of

const char* const kAgents[] = {
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/122.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.3 Safari/605.1.15",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:123.0) Gecko/20100101 Firefox/123.0",
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/121.0.0.0 Safari/537.36",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_3 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.3 Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/122.0.0.0 Mobile Safari/537.36",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/122.0.0.0 Safari/537.36 Edg/122.0.0.0",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)",
    "Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)",
    "curl/8.5.0",
    "Wget/1.21.4",
};
constexpr uint32_t kAgentCount = sizeof kAgents / sizeof kAgents[0];

const char* const kFolders[] = {"", "/products", "/blog/2024", "/support/kb", "/news", "/shop/cart", "/docs/api/v2"};
const char* const kPageNames[] = {"index", "default", "item", "article", "list", "search", "contact", "about", "view"};
const char* const kPageExts[] = {".html", ".htm", ".asp", ".aspx", ".php"};
const char* const kAssets[] = {"/images/logo.gif", "/images/banner.jpg", "/css/site.css", "/js/app.js",
                               "/favicon.ico", "/images/photo.png", "/js/jquery.min.js"};
const char* const kDownloads[] = {"/downloads/setup.exe", "/downloads/manual.pdf", "/downloads/data.zip"};
const char* const kWords[] = {"log",     "analyser",  "web",   "statistics", "traffic", "report", "server",
                              "visitor", "free",      "tool",  "download",   "how",     "to",     "read",
                              "access",  "referrer",  "best",  "cheap",      "hotel",   "flights"};
constexpr uint32_t kWordCount = sizeof kWords / sizeof kWords[0];

struct Engine {
  const char* prefix;  // up to the keyword parameter
  const char* suffix;
};
const Engine kEngines[] = {
    {"https://www.google.com/search?q=", "&hl=en"},
    {"https://www.google.co.uk/search?hl=en&q=", ""},
    {"https://www.bing.com/search?q=", "&form=QBLH"},
    {"https://search.yahoo.com/search?p=", "&fr=yfp-t"},
    {"https://duckduckgo.com/?q=", "&ia=web"},
    {"http://www.google.de/search?q=", ""},
    {"https://yandex.ru/search/?text=", "&lr=213"},
};
const char* const kSites[] = {"https://news.example.org/links.html", "http://forum.example.net/thread/88123",
                              "https://www.partner-site.com/", "https://t.co/AbCdEf"};

struct CivilDay {
  int year, month, day;
};

void NextDay(CivilDay* d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (d->year % 4 == 0 && d->year % 100 != 0) || d->year % 400 == 0;
  int last = d->month == 2 && leap ? 29 : kDays[d->month - 1];
  if (++d->day > last) {
    d->day = 1;
    if (++d->month > 12) {
      d->month = 1;
      ++d->year;
    }
  }
}

struct Hit {
  CivilDay date;
  uint32_t seconds;
  uint32_t ip;
  bool newDay;  // the first hit of a day (servers write a new "#Date:" then)
  const char* method;
  std::string page;
  std::string query;  // without '?', empty for none
  int status;
  uint32_t bytes;
  uint32_t bytesIn;
  uint32_t timeTaken;
  std::string referrer;  // empty for none
  const char* agent;
  std::string cookie;  // empty for none
  const char* user;    // null for none
};

class HitMaker {
 public:
  explicit HitMaker(uint64_t seed) : m_rng{seed} {
    for (uint32_t i = 0; i < 6000; ++i) {
      uint32_t ip = (m_rng.Chance(30) ? 10u << 24 : (static_cast<uint32_t>(20 + m_rng.Below(200)) << 24)) |
                    (m_rng.Below(256) << 16) | (m_rng.Below(256) << 8) | (1 + m_rng.Below(254));
      m_clients.push_back(ip);
      m_clientAgent.push_back(m_rng.Skewed(kAgentCount));
    }
  }

  void Next(Hit* h) {
    Rng& r = m_rng;
    m_seconds += r.Below(3);
    h->newDay = m_first;
    m_first = false;
    if (m_seconds >= 86400) {
      m_seconds -= 86400;
      NextDay(&m_date);
      h->newDay = true;
    }
    h->date = m_date;
    h->seconds = m_seconds;
    uint32_t client = r.Skewed(static_cast<uint32_t>(m_clients.size()));
    h->ip = m_clients[client];
    h->agent = kAgents[m_clientAgent[client]];
    h->method = r.Chance(6) ? "POST" : r.Chance(2) ? "HEAD" : "GET";
    h->query.clear();
    unsigned kind = r.Below(100);
    if (kind < 45) {
      h->page = kFolders[r.Skewed(7)];
      if (r.Chance(15)) {
        h->page += '/';
      } else {
        h->page += '/';
        h->page += kPageNames[r.Skewed(9)];
        if (r.Chance(50)) h->page += std::to_string(r.Skewed(400));
        h->page += kPageExts[r.Skewed(5)];
      }
      if (r.Chance(25)) {
        h->query = "id=" + std::to_string(r.Skewed(5000));
        if (r.Chance(40)) h->query += "&lang=en";
        if (r.Chance(10)) h->query += "&utm_source=newsletter&utm_medium=email";
      }
    } else if (kind < 97) {
      h->page = kAssets[r.Skewed(7)];
    } else {
      h->page = kDownloads[r.Below(3)];
    }
    unsigned s = r.Below(1000);
    h->status = s < 820 ? 200 : s < 930 ? 304 : s < 970 ? 404 : s < 985 ? 301 : s < 995 ? 302 : 500;
    h->bytes = h->status == 304 ? 0 : 200 + r.Below(kind < 45 ? 40000 : kind < 97 ? 15000 : 3000000);
    h->bytesIn = 200 + r.Below(900);
    h->timeTaken = r.Below(2000);
    h->referrer.clear();
    unsigned ref = r.Below(100);
    if (ref < 35) {
      // none
    } else if (ref < 70) {
      h->referrer = "https://www.example.com" + std::string(kFolders[r.Skewed(7)]) + "/";
    } else if (ref < 92) {
      const Engine& e = kEngines[r.Skewed(7)];
      h->referrer = e.prefix;
      int words = 1 + static_cast<int>(r.Below(4));
      for (int w = 0; w < words; ++w) {
        if (w) h->referrer += '+';
        h->referrer += kWords[r.Below(kWordCount)];
      }
      h->referrer += e.suffix;
    } else {
      h->referrer = kSites[r.Below(4)];
    }
    h->cookie.clear();
    if (client % 3 != 0) {
      char buf[96];
      snprintf(buf, sizeof buf, "ASPSESSIONIDQQ%04X=%08XKLMNOP; lang=en", client & 0xFFFF, client * 2654435761u);
      h->cookie = buf;
    }
    h->user = client % 97 == 0 ? "jsmith" : nullptr;
  }

 private:
  Rng m_rng;
  std::vector<uint32_t> m_clients;
  std::vector<uint32_t> m_clientAgent;
  CivilDay m_date{2024, 3, 1};
  uint32_t m_seconds = 0;
  bool m_first = true;
};

// ---------------------------------------------------------------------------
// Output

class Out {
 public:
  ~Out() { Flush(); }
  void Put(const char* s) { m_buf += s; }
  void Put(const std::string& s) { m_buf += s; }
  void Put(char c) { m_buf += c; }
  void Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    char tmp[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(tmp, sizeof tmp, fmt, ap);
    va_end(ap);
    if (n > 0) m_buf.append(tmp, static_cast<size_t>(n) < sizeof tmp ? static_cast<size_t>(n) : sizeof tmp - 1);
  }
  void MaybeFlush() {
    if (m_buf.size() > (1u << 20)) Flush();
  }
  void Flush() {
    if (!m_buf.empty() && fwrite(m_buf.data(), 1, m_buf.size(), stdout) != m_buf.size()) {
      perror("tvgenlog");
      exit(1);
    }
    m_buf.clear();
  }

 private:
  std::string m_buf;
};

std::string IpText(uint32_t ip) {
  char b[16];
  snprintf(b, sizeof b, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255);
  return b;
}

// Blanks become '+', as IIS writes texts into blank-separated columns.
std::string Plus(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c == ' ') c = '+';
  return r;
}

std::string OrDash(const std::string& s) { return s.empty() ? "-" : s; }

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void ClockText(Out& o, uint32_t s) { o.Printf("%02u:%02u:%02u", s / 3600, s / 60 % 60, s % 60); }

// W3C extended as IIS writes it; every 20th line has its agent quoted instead.
void W3cHeader(Out& o, const Hit& h) {
  o.Put("#Software: Microsoft Internet Information Services 10.0\r\n#Version: 1.0\r\n");
  o.Printf("#Date: %04d-%02d-%02d ", h.date.year, h.date.month, h.date.day);
  ClockText(o, h.seconds);
  o.Put(
      "\r\n#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
      "cs-version cs(User-Agent) cs(Cookie) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes "
      "time-taken\r\n");
}
void W3cLine(Out& o, const Hit& h, uint64_t n) {
  if (h.newDay && n) W3cHeader(o, h);
  o.Printf("%04d-%02d-%02d ", h.date.year, h.date.month, h.date.day);
  ClockText(o, h.seconds);
  o.Put(" W3SVC1 192.168.0.10 ");
  o.Put(h.method);
  o.Put(' ');
  o.Put(h.page);
  o.Put(' ');
  o.Put(OrDash(h.query));
  o.Put(" 443 ");
  o.Put(h.user ? h.user : "-");
  o.Put(' ');
  o.Put(IpText(h.ip));
  o.Put(" HTTP/1.1 ");
  if (n % 20 == 7) {
    o.Put('"');
    o.Put(h.agent);
    o.Put('"');
  } else {
    o.Put(Plus(h.agent));
  }
  o.Put(' ');
  o.Put(OrDash(Plus(h.cookie)));
  o.Put(' ');
  o.Put(OrDash(h.referrer));
  o.Printf(" %d 0 0 %u %u %u\r\n", h.status, h.bytes, h.bytesIn, h.timeTaken);
}

// ISA Server, tab-separated, with the full URL in cs-uri.
void IsaHeader(Out& o, const Hit& h) {
  o.Put("#Software: Microsoft(R) Internet Security and Acceleration Server 2004\r\n#Version: 1.0\r\n");
  o.Printf("#Date: %04d-%02d-%02d ", h.date.year, h.date.month, h.date.day);
  ClockText(o, h.seconds);
  o.Put(
      "\r\n#Fields: c-ip\tcs-username\tc-agent\tsc-authenticated\tdate\ttime\ts-svcname\ts-computername\t"
      "cs-referred\tr-host\tr-ip\tr-port\ttime-taken\tcs-bytes\tsc-bytes\tcs-protocol\tcs-transport\t"
      "s-operation\tcs-uri\tcs-mime-type\ts-object-source\tsc-status\r\n");
}
void IsaLine(Out& o, const Hit& h, uint64_t n) {
  if (h.newDay && n) IsaHeader(o, h);
  o.Put(IpText(h.ip));
  o.Put('\t');
  o.Put(h.user ? h.user : "anonymous");
  o.Put('\t');
  o.Put(h.agent);
  o.Printf("\t%c\t%04d-%02d-%02d\t", h.user ? 'Y' : 'N', h.date.year, h.date.month, h.date.day);
  ClockText(o, h.seconds);
  o.Printf("\tw3proxy\tISA1\t-\twww.example.com\t93.184.216.34\t80\t%u\t%u\t%u\thttp\tTCP\t%s\thttp://www.example.com",
           h.timeTaken, h.bytesIn, h.bytes, h.method);
  o.Put(h.page);
  if (!h.query.empty()) {
    o.Put('?');
    o.Put(h.query);
  }
  o.Printf("\ttext/html\tInternet\t%d\r\n", h.status);
}

// The older IIS comma-separated line.
void IisCsvLine(Out& o, const Hit& h, uint64_t) {
  o.Put(IpText(h.ip));
  o.Put(", ");
  o.Put(h.user ? h.user : "-");
  o.Printf(", %d/%d/%d, %u:%02u:%02u, W3SVC1, WEBSRV, 192.168.0.10, %u, %u, %u, %d, 0, %s, ", h.date.month,
           h.date.day, h.date.year, h.seconds / 3600, h.seconds / 60 % 60, h.seconds % 60, h.timeTaken, h.bytesIn,
           h.bytes, h.status, h.method);
  o.Put(h.page);
  o.Put(", ");
  o.Put(OrDash(h.query));
  o.Put(",\r\n");
}

void NcsaRequest(Out& o, const Hit& h) {
  o.Put(IpText(h.ip));
  o.Put(" - ");
  o.Put(h.user ? h.user : "-");
  o.Printf(" [%02d/%s/%04d:", h.date.day, kMonths[h.date.month - 1], h.date.year);
  ClockText(o, h.seconds);
  o.Put(" +0000] \"");
  o.Put(h.method);
  o.Put(' ');
  o.Put(h.page);
  if (!h.query.empty()) {
    o.Put('?');
    o.Put(h.query);
  }
  o.Printf(" HTTP/1.1\" %d ", h.status);
  if (h.bytes) o.Printf("%u", h.bytes);
  else o.Put('-');
}
void CommonLine(Out& o, const Hit& h, uint64_t) {
  NcsaRequest(o, h);
  o.Put('\n');
}
void CombinedLine(Out& o, const Hit& h, uint64_t) {
  NcsaRequest(o, h);
  o.Put(" \"");
  o.Put(OrDash(h.referrer));
  o.Put("\" \"");
  o.Put(h.agent);
  o.Put("\"\n");
}

// WebSTAR's common log: "!!" header lines, Mac line ends.
void WebStarHeader(Out& o, const Hit&) {
  o.Put("!!WebSTAR STARTUP\r!!LOG_FORMAT COMMON_LOG_FORMAT\r");
}
void WebStarLine(Out& o, const Hit& h, uint64_t) {
  NcsaRequest(o, h);
  o.Put('\r');
}

// Fasthosts: the site in front, the client behind the date.
void FasthostsLine(Out& o, const Hit& h, uint64_t) {
  o.Printf("www.example.com: [%02d/%s/%04d:", h.date.day, kMonths[h.date.month - 1], h.date.year);
  ClockText(o, h.seconds);
  o.Put(" +0000] ");
  o.Put(IpText(h.ip));
  o.Put(" \"");
  o.Put(h.method);
  o.Put(' ');
  o.Put(h.page);
  if (!h.query.empty()) {
    o.Put('?');
    o.Put(h.query);
  }
  o.Printf(" HTTP/1.1\" %d %u \"", h.status, h.bytes);
  o.Put(OrDash(h.referrer));
  o.Put("\" \"");
  o.Put(h.agent);
  o.Put("\"\n");
}

// A server that declares its layout with "format=".
void NetscapeHeader(Out& o, const Hit&) {
  o.Put(
      "format=%Ses->client.ip% - %Req->vars.auth-user% [%SYSDATE%] \"%Req->reqpb.clf-request%\" "
      "%Req->srvhdrs.clf-status% %Req->srvhdrs.content-length% \"%Req->headers.referer%\" "
      "\"%Req->headers.user-agent%\" %Req->headers.cookie.name%\n");
}
void NetscapeLine(Out& o, const Hit& h, uint64_t) {
  NcsaRequest(o, h);
  o.Put(" \"");
  o.Put(OrDash(h.referrer));
  o.Put("\" \"");
  o.Put(h.agent);
  o.Put("\" ");
  o.Put(OrDash(h.cookie));
  o.Put('\n');
}

// MS Proxy 2: ", "-separated; the agent loses its commas, which would end its field.
void MsProxyLine(Out& o, const Hit& h, uint64_t) {
  std::string agent = h.agent;
  for (char& c : agent)
    if (c == ',') c = ' ';
  o.Put(IpText(h.ip));
  o.Put(", ");
  o.Put(h.user ? h.user : "anonymous");
  o.Put(", ");
  o.Put(agent);
  o.Printf(", %c, %d/%d/%02d, ", h.user ? 'Y' : 'N', h.date.month, h.date.day, h.date.year % 100);
  ClockText(o, h.seconds);
  o.Printf(", W3Proxy, PROXY1, -, www.example.com, 93.184.216.34, 80, %u, %u, %u, http, TCP, %s, http://www.example.com",
           h.timeTaken, h.bytes, h.bytesIn, h.method);
  o.Put(h.page);
  if (!h.query.empty()) {
    o.Put('?');
    o.Put(h.query);
  }
  o.Printf(", text/html, Inet, %d, 0\r\n", h.status);
}

// Squid's native access log: a UTC time stamp in seconds.
int64_t UnixDay(const CivilDay& d) {
  int y = d.year - (d.month <= 2);
  int era = (y >= 0 ? y : y - 399) / 400;
  int yoe = y - era * 400;
  int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<int64_t>(era) * 146097 + doe - 719468;
}
void SquidLine(Out& o, const Hit& h, uint64_t n) {
  long long stamp = UnixDay(h.date) * 86400 + h.seconds;
  o.Printf("%lld.%03u %6u %s TCP_%s/%d %u %s http://www.example.com", stamp, static_cast<unsigned>(n % 1000),
           h.timeTaken, IpText(h.ip).c_str(), h.status == 304 ? "IMS_HIT" : "MISS", h.status, h.bytes, h.method);
  o.Put(h.page);
  if (!h.query.empty()) {
    o.Put('?');
    o.Put(h.query);
  }
  o.Printf(" %s DIRECT/93.184.216.34 text/html\n", h.user ? h.user : "-");
}

struct Format {
  const char* name;
  void (*header)(Out&, const Hit&);  // null: none
  void (*line)(Out&, const Hit&, uint64_t n);
  const char* about;
};
const Format kFormats[] = {
    {"w3c", W3cHeader, W3cLine, "W3C extended as IIS writes it (blank-separated, '+' agents, cookies)"},
    {"isa", IsaHeader, IsaLine, "ISA Server W3C, tab-separated"},
    {"iiscsv", nullptr, IisCsvLine, "older IIS comma-separated lines"},
    {"common", nullptr, CommonLine, "NCSA common log"},
    {"combined", nullptr, CombinedLine, "NCSA combined log (referrer and agent)"},
    {"webstar", WebStarHeader, WebStarLine, "WebSTAR common log (\"!!\" headers, CR line ends)"},
    {"fasthosts", nullptr, FasthostsLine, "Fasthosts: site, date, then the client"},
    {"netscape", NetscapeHeader, NetscapeLine, "layout declared by a \"format=\" line"},
    {"msproxy", nullptr, MsProxyLine, "MS Proxy 2 (\", \"-separated)"},
    {"squid", nullptr, SquidLine, "Squid native access log"},
};

void Usage() {
  fprintf(stderr, "usage: tvgenlog FORMAT LINES [SEED] > FILE\nformats:\n");
  for (const Format& f : kFormats) fprintf(stderr, "  %-9s %s\n", f.name, f.about);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    Usage();
    return 2;
  }
  const Format* format = nullptr;
  for (const Format& f : kFormats)
    if (strcmp(argv[1], f.name) == 0) format = &f;
  char* stop = nullptr;
  unsigned long long lines = strtoull(argv[2], &stop, 10);
  if (!format || !stop || *stop) {
    Usage();
    return 2;
  }
  uint64_t seed = argc == 4 ? strtoull(argv[3], nullptr, 10) : 1;
  HitMaker maker(seed);
  Out out;
  Hit hit;
  for (uint64_t n = 0; n < lines; ++n) {
    maker.Next(&hit);
    if (n == 0 && format->header) format->header(out, hit);
    format->line(out, hit, n);
    out.MaybeFlush();
  }
  return 0;
}
