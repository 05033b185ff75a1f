// Lines as other servers and proxies write them, read through the file reader:
// request targets that are no path, escaped quotes inside quoted fields, Squid
// users and clients that are no dotted address, lines longer than a block and
// "#Fields:" lines naming more columns than are kept, fields behind the agent
// that are no cookie and clients written with a port.
#include <gtest/gtest.h>

#include <string>

#include "engine/readers/w3creader.h"
#include "tests/engine/logfixture.h"

namespace {

using logfixture::Fixture;
using logfixture::Want;

// A combined line of 2024-03-01 from 10.0.0.1 at the given second.
std::string Combined(int second, const std::string& request, const std::string& tail = " 200 5 \"-\" \"A\"") {
  char head[80];
  snprintf(head, sizeof head, "10.0.0.1 - - [01/Mar/2024:00:00:%02d +0000] \"", second);
  return head + request + "\"" + tail + "\n";
}
Want Good(const char* page, uint32_t second, uint16_t status = 200, uint32_t bytes = 5, const char* agent = "A") {
  return {page, 0x0A000001, nullptr, 1, 3, 2024, second, status, bytes, nullptr, agent, nullptr, nullptr};
}

// A line of exactly 64 KB up to the block's cut, with a whole forged line behind
// the cut inside its agent.
std::string Overlong() {
  std::string head = "10.0.0.2 - - [01/Mar/2024:00:00:09 +0000] \"GET /long HTTP/1.1\" 200 5 \"-\" \"";
  std::string line = head + std::string(kLogBlockSize - head.size(), 'x');
  return line + "10.6.6.6 - - [01/Mar/2024:00:00:09 +0000] \"GET /forged HTTP/1.1\" 200 5 \"-\" \"F\"\r\n";
}

// A "#Fields:" line of 75 names: the first six are read, the rest unknown.
std::string ManyFields() {
  std::string s = "#Fields: date time c-ip cs-uri-stem sc-status cs(User-Agent)";
  for (int i = 6; i < 75; ++i) s += " x-extra";
  return s + "\n";
}

const char kNetscapeFormat[] =
    "format=%Ses->client.ip% - %Req->vars.auth-user% [%SYSDATE%] \"%Req->reqpb.clf-request%\" "
    "%Req->srvhdrs.clf-status% %Req->srvhdrs.content-length% \"%Req->headers.referer%\" "
    "\"%Req->headers.user-agent%\" %Req->headers.cookie.name%\n";
std::string NetscapeLine(int second, const std::string& request, const std::string& agent) {
  char head[80];
  snprintf(head, sizeof head, "10.0.0.1 - - [05/Jun/2004:12:00:%02d +0000] \"", second);
  return head + request + "\" 200 1 \"-\" \"" + agent + "\" ID=1\n";
}

TEST(ThirdPartyLogs, EveryReaderCase) {
  const std::string good = Combined(1, "GET /good1 HTTP/1.1") + Combined(2, "GET /good2 HTTP/1.1");
  const std::string after = Combined(3, "GET /good3 HTTP/1.1");
  const std::string w3cLine = "2024-03-01 00:00:01 10.0.0.1 /w 200 \"Agent \"\"one\"\" \\\"two\\\"\"";
  std::string w3cExtra;
  for (int i = 6; i < 75; ++i) w3cExtra += " x";

  std::vector<Fixture> fixtures = {
      // The page is the target as written, never the protocol's "/1.0".
      {"request-targets",
       Combined(1, "OPTIONS * HTTP/1.0") + Combined(2, "CONNECT example.org:443 HTTP/1.1", " 400 0 \"-\" \"A\"") +
           Combined(3, "GET index.html HTTP/1.0", " 404 0 \"-\" \"A\"") + Combined(4, "GET   /spaced HTTP/1.1"),
       kLogFormatApache,
       {Good("*", 1), Good("example.org:443", 2, 400, 0), Good("index.html", 3, 404, 0), Good("/spaced", 4)}},

      // A quote the server escaped as \" ends no field; \\ before a quote is a backslash.
      {"escaped-quotes",
       Combined(1, "GET /q\\\"x HTTP/1.1",
                " 200 5 \"http://r.example/?a=\\\"b\\\"\" \"Mozilla/5.0 \\\"quoted\\\" (X)\" \"ID=1\"") +
           Combined(2, "GET /b HTTP/1.1", " 200 5 \"-\" \"Agent\\\\\" \"ID=2\"") +
           Combined(3, "GET /c HTTP/1.1", " 200 5 \"-\" \"A \\\"B\\\"\" ID=3"),
       kLogFormatApache,
       {{"/q\\\"x", 0x0A000001, nullptr, 1, 3, 2024, 1, 200, 5, "http://r.example/?a=\\\"b\\\"",
         "Mozilla/5.0 \\\"quoted\\\" (X)", nullptr, "ID=1"},
        {"/b", 0x0A000001, nullptr, 1, 3, 2024, 2, 200, 5, nullptr, "Agent\\\\", nullptr, "ID=2"},
        {"/c", 0x0A000001, nullptr, 1, 3, 2024, 3, 200, 5, nullptr, "A \\\"B\\\"", nullptr, "ID=3"}}},

      // The custom format needs a path: a request for "*" or a bare name is ignored.
      {"netscape-targets",
       std::string(kNetscapeFormat) + NetscapeLine(0, "GET index.html HTTP/1.0", "A") +
           NetscapeLine(1, "OPTIONS * HTTP/1.0", "A") + NetscapeLine(2, "GET /n.html HTTP/1.0", "Agent \\\"q\\\" x"),
       kLogFormatNetscape,
       {{"/n.html", 0x0A000001, nullptr, 5, 6, 2004, 43202, 200, 1, nullptr, "Agent \\\"q\\\" x", nullptr, "ID=1"}},
       2,
       1},

      // Squid: the user column is read; a client that is a name or IPv6 is its host text.
      {"squid-users",
       "1709251199.100 7 10.0.0.1 TCP_MISS/200 10 GET http://x.example/a alice DIRECT/1.2.3.4 text/html\n"
       "1709251199.200 7 2001:db8::1 TCP_MISS/200 11 GET http://x.example/b bob DIRECT/1.2.3.4 text/html\n"
       "1709251199.300 7 client.example TCP_DENIED/407 0 CONNECT example.org:443 - NONE/- -\n"
       "1709251199.400 7 10.0.0.3 TCP_HIT/200 12 GET http://x.example/c\n",
       kLogFormatSquid,
       {{"http://x.example/a", 0x0A000001, nullptr, 29, 2, 2024, 86399, 200, 10, nullptr, nullptr, "alice", nullptr},
        {"http://x.example/b", 0, "2001:db8::1", 29, 2, 2024, 86399, 200, 11, nullptr, nullptr, "bob", nullptr},
        {"example.org:443", 0, "client.example", 29, 2, 2024, 86399, 407, 0, nullptr, nullptr, nullptr, nullptr},
        {"http://x.example/c", 0x0A000003, nullptr, 29, 2, 2024, 86399, 200, 12, nullptr, nullptr, nullptr,
         nullptr}}},

      // Fields that servers append behind the agent (nginx's request times, a
      // port, a virtual host) are no cookie; a Cookie header as Apache writes it is.
      {"fields-after-agent",
       Combined(1, "GET /t HTTP/1.1", " 200 5 \"-\" \"A\" 0.004") +
           Combined(2, "GET /p HTTP/1.1", " 200 5 \"-\" \"A\" 443") +
           Combined(3, "GET /d HTTP/1.1", " 200 5 \"-\" \"A\" \"-\"") +
           Combined(4, "GET /u HTTP/1.1", " 200 5 \"-\" \"A\" 0.004 0.002") +
           Combined(5, "GET /v HTTP/1.1", " 200 5 \"-\" \"A\" \"www.example.com\"") +
           Combined(6, "GET /c HTTP/1.1", " 200 5 \"-\" \"A\" \"sid=ab12; lang=en\"") +
           Combined(7, "GET /k HTTP/1.1", " 200 5 \"-\" \"A\" sid=ab12; lang=en"),
       kLogFormatApache,
       {Good("/t", 1), Good("/p", 2), Good("/d", 3), Good("/u", 4), Good("/v", 5),
        {"/c", 0x0A000001, nullptr, 1, 3, 2024, 6, 200, 5, nullptr, "A", nullptr, "sid=ab12; lang=en"},
        {"/k", 0x0A000001, nullptr, 1, 3, 2024, 7, 200, 5, nullptr, "A", nullptr, "sid=ab12; lang=en"}}},

      // A client written with its port is host text as written; only a dotted
      // address that ends the column is an address.
      {"client-with-port",
       "127.0.0.1:80 - - [01/Mar/2024:00:00:01 +0000] \"GET /a HTTP/1.1\" 200 5 \"-\" \"A\"\n"
       "10.0.0.1 - - [01/Mar/2024:00:00:02 +0000] \"GET /b HTTP/1.1\" 200 5 \"-\" \"A\"\n"
       "10.0.0.1:8080 - - [01/Mar/2024:00:00:03 +0000] \"GET /c HTTP/1.1\" 200 5 \"-\" \"A\"\n"
       "www.example.com:443 - - [01/Mar/2024:00:00:04 +0000] \"GET /d HTTP/1.1\" 200 5 \"-\" \"A\"\n"
       "[2001:db8::1]:443 - - [01/Mar/2024:00:00:05 +0000] \"GET /e HTTP/1.1\" 200 5 \"-\" \"A\"\n",
       kLogFormatApache,
       {{"/a", 0, "127.0.0.1:80", 1, 3, 2024, 1, 200, 5, nullptr, "A", nullptr, nullptr},
        Good("/b", 2),
        {"/c", 0, "10.0.0.1:8080", 1, 3, 2024, 3, 200, 5, nullptr, "A", nullptr, nullptr},
        {"/d", 0, "www.example.com:443", 1, 3, 2024, 4, 200, 5, nullptr, "A", nullptr, nullptr},
        {"/e", 0, "[2001:db8::1]:443", 1, 3, 2024, 5, 200, 5, nullptr, "A", nullptr, nullptr}}},

      // A line longer than a block is one ignored line: what stands behind the
      // cut is not read as a line of its own, wherever the long line is.
      {"overlong-middle", good + Overlong() + after, kLogFormatApache,
       {Good("/good1", 1), Good("/good2", 2), Good("/good3", 3)}, 1, 0,
       "'overlong-middle': 1 line longer than 64 KB ignored"},
      {"overlong-first", Overlong() + good + Overlong() + Overlong() + after, kLogFormatApache,
       {Good("/good1", 1), Good("/good2", 2), Good("/good3", 3)}, 3, 0,
       "'overlong-first': 3 lines longer than 64 KB ignored"},
      {"overlong-last", good + Overlong().substr(0, kLogBlockSize + 30), kLogFormatApache,
       {Good("/good1", 1), Good("/good2", 2)}, 1},
      {"fits-a-block", good + std::string(kLogBlockSize - 1, 'y') + "\n" + after, kLogFormatApache,
       {Good("/good1", 1), Good("/good2", 2), Good("/good3", 3)}, 1},

      // Columns beyond the 70 kept are ignored, said once; the kept ones are
      // read, and a quote written twice or as \" stays inside its column.
      {"w3c-many-fields",
       "#Software: Microsoft Internet Information Services 10.0\n" + ManyFields() + w3cLine + w3cExtra + "\n" +
           ManyFields() + w3cLine + w3cExtra + "\n",
       kLogFormatIis,
       {Good("/w", 1, 200, 0, "Agent \"\"one\"\" \\\"two\\\""), Good("/w", 1, 200, 0, "Agent \"\"one\"\" \\\"two\\\"")},
       0, 3, "W3C log: the #Fields line names 75 fields; fields beyond the first 70 are ignored"},
  };
  logfixture::CheckFixtures(fixtures);
  EXPECT_EQ(kW3cMaxFields, 70);
}

}  // namespace
