#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/readers/netscapereader.h"
#include "tests/engine/logfixture.h"
#include "tests/engine/readtest.h"

namespace {

using logfixture::Fixture;
using logfixture::Want;
using readtest::Text;

const char kNetscapeFormat[] =
    "format=%Ses->client.ip% - %Req->vars.auth-user% [%SYSDATE%] \"%Req->reqpb.clf-request%\" "
    "%Req->srvhdrs.clf-status% %Req->srvhdrs.content-length% \"%Req->headers.referer%\" "
    "\"%Req->headers.user-agent%\" %Req->headers.cookie.name%\n";

TEST(CustomAndProxyReaders, EveryFormatThroughTheFileReader) {
  std::vector<Fixture> fixtures = {
      {"netscape",
       std::string(kNetscapeFormat) +
           "10.0.0.1 - carol [05/Jun/2004:12:00:00 +0000] \"GET http://www.x.com/n/a.html?b=2 HTTP/1.0\" 200 321 "
           "\"http://r.example/\" \"Agent (X)\" ID=1; v=2\n"
           "host.example - - [05/Jun/04:12:00:01 +0000] \"HEAD /n/ HTTP/1.0\" 304 - \"-\" \"-\" -\n",
       kLogFormatNetscape,
       {{"/n/a.html?b=2", 0x0A000001, nullptr, 5, 6, 2004, 43200, 200, 321, "http://r.example/", "Agent (X)", "carol",
         "ID=1; v=2", kHitQuery},
        {"/n/", 0, "host.example", 5, 6, 2004, 43201, 304, 0, nullptr, nullptr, nullptr, nullptr, kHitHead}},
       0,
       1},
      {"msproxy",
       "10.0.0.1, anonymous, Mozilla/4.0 (compatible), N, 3/7/04, 10:00:00, W3Proxy, PROXY1, -, www.x.com, 1.2.3.4, "
       "80, 10, 300, 4000, http, TCP, GET, http://www.x.com/a.html?q=1, -, Inet, 200, 0\r\n"
       "10.0.0.2, bob, curl/8, Y, 12/31/2003, 23:59:59, W3Proxy, PROXY1, -, www.x.com, 1.2.3.4, 80, 10, 5, 6, http, "
       "TCP, POST, http://www.x.com/, -, Inet, 404, 0\r\n",
       kLogFormatMsProxy,
       // The third field is the agent (no referrer); the URL keeps its scheme and host.
       {{"http://www.x.com/a.html?q=1", 0x0A000001, nullptr, 7, 3, 2004, 36000, 200, 300, nullptr,
         "Mozilla/4.0 (compatible)", "anonymous", nullptr, kHitQuery},
        {"http://www.x.com/", 0x0A000002, nullptr, 31, 12, 2003, 86399, 404, 5, nullptr, "curl/8", "bob", nullptr,
         kHitPost}}},
      {"squid",
       "1066036250.608    120 192.168.0.5 TCP_MISS/200 1234 GET http://www.x.com/s.html - DIRECT/1.2.3.4 text/html\n"
       "1066036251.000 5 192.168.0.6 TCP_DENIED/403 0 POST http://www.x.com/p?x=1 - NONE/- -\n",
       kLogFormatSquid,
       {{"http://www.x.com/s.html", 0xC0A80005, nullptr, 13, 10, 2003, 9 * 3600 + 10 * 60 + 50, 200, 1234, nullptr,
         nullptr, nullptr, nullptr},
        {"http://www.x.com/p?x=1", 0xC0A80006, nullptr, 13, 10, 2003, 9 * 3600 + 10 * 60 + 51, 403, 0, nullptr,
         nullptr, nullptr, nullptr, kHitPost | kHitQuery}}},
  };
  logfixture::CheckFixtures(fixtures);
}

class BlockReader : public ::testing::Test {
 protected:
  void SetUp() override {
    readtest::ResetLoadState();
    InitNetscapeReader();
    ParseIndexNames("index.html", &index);
  }
  void TearDown() override {
    FreeNetscapeReader();
    readtest::ResetLoadState();
  }
  using Reader = int (*)(CHitStore*, char*, char*, const CGroupMaskList&, const CIndexNames&);
  int Read(const std::string& text, Reader reader = ReadNetscapeLog) {
    block = text + ' ';
    return reader(&store, block.data(), block.data() + text.size(), masks, index);
  }
  std::vector<CHitRecord*> Records() { return readtest::Records(store); }

  CHitStore store;
  CGroupMaskList masks;
  CIndexNames index;
  std::string block;
};

TEST_F(BlockReader, CustomFormatDeclaredAnewInMidFile) {
  Read(
      "10.0.0.9 before any format\n"
      "format=%Ses->client.ip% %Req->srvhdrs.clf-status%\n"
      "10.0.0.1 200\n"
      "FORMAT=%Ses->client.ip% %x-unknown% %Req->reqpb.clf-request%\n"
      "10.0.0.2 skipped GET /b HTTP/1.0\n");
  auto recs = Records();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0]->Address(), 0x0A000001u);
  EXPECT_EQ(recs[0]->Status(), 200);
  EXPECT_STREQ(recs[0]->PageText(), "-");  // no request field
  EXPECT_EQ(recs[1]->Address(), 0x0A000002u);
  EXPECT_STREQ(recs[1]->PageText(), "/b");  // the unknown field took "skipped"
  EXPECT_EQ(recs[1]->Status(), 0);
  EXPECT_EQ(store.ignoredLines, 1u);
  EXPECT_EQ(store.headerLines, 2u);
}

TEST_F(BlockReader, CustomFieldTextsStayOnTheirLine) {
  const std::string text =
      "format=%Ses->client.ip% [%SYSDATE%] %Req->reqpb.clf-request%\n"
      "10.0.0.1 no-date GET /x\n"  // " [" and "] " are missing: both fields are passed over
      "10.0.0.2 [01/Feb/2004:00:00:05 +0000] GET /y\n"
      "10.0.0.3 [01/Feb/2004:00:00:05] GET /date-without-zone\n"
      "10.0.0.4 [01/Feb/2004:00:00:05 +0000] no-page\n";
  Read(text);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0]->Address(), 0u);
  EXPECT_STREQ(recs[0]->PageText(), "/x");
  EXPECT_EQ(recs[1]->Address(), 0x0A000002u);
  EXPECT_STREQ(recs[1]->PageText(), "/y");
  EXPECT_EQ(recs[1]->Day(), 1);
  EXPECT_EQ(recs[1]->Month(), 2);
  EXPECT_EQ(recs[1]->Seconds(), 5u);
  EXPECT_EQ(store.ignoredLines, 2u);
  EXPECT_EQ(block.substr(0, text.size()), text);  // no field is cut by writing into the block
}

TEST_F(BlockReader, CustomFormatLimits) {
  std::string format = "format=";
  std::string line;
  for (int i = 1; i <= 60; ++i) {
    format += "%Req->srvhdrs.clf-status% ";
    line += std::to_string(i) + " ";
  }
  Read(format + "\n" + line + "\n");
  EXPECT_EQ(NetscapeFieldCount(), kNetscapeMaxFields);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0]->Status(), 50);  // the last field read

  CHitStore fresh;
  store = std::move(fresh);
  const std::string dashes(80, '-');
  Read("format=%Ses->client.ip%" + dashes + "%Req->srvhdrs.content-length%\n10.0.0.1" + dashes + "77\n");
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0]->Address(), 0x0A000001u);  // the long literal text was cut, not overrun
}

TEST_F(BlockReader, NotPreparedReadsNothing) {
  FreeNetscapeReader();
  EXPECT_EQ(Read(std::string(kNetscapeFormat) + "10.0.0.1 - - [05/Jun/2004:12:00:00 +0000] \"GET / HTTP/1.0\" 200 1"),
            0);
  EXPECT_EQ(store.RecordCount(), 0u);
}

const char kProxyTail[] =
    "W3Proxy, PROXY1, -, www.x.com, 1.2.3.4, 80, 10, 300, 4000, http, TCP, GET, http://www.x.com/, -, Inet, 200, 0\n";

TEST_F(BlockReader, MsProxyLinesThatDoNotFit) {
  Read(std::string("proxy.example, anonymous, A, N, 3/7/04, 10:00:00, ") + kProxyTail +  // a host name
       "10.0.0.1, anonymous, A, N, 3/7/04, 10:00:00,\n" + kProxyTail +  // broken after a comma
       "10.0.0.1, anonymous, A, X, 3/7/04, 10:00:00, " + kProxyTail +   // no Y or N
       "10.0.0.1, anonymous, A, N, 3/7/04, 10:00:00, W3Proxy, PROXY1, -, www.x.com, 1.2.3.4, 80, 10, 300, 4000, "
       "http, TCP, GET, http://www.x.com/ends-at-comma, -, Inet, 200,\n" +
       "10.0.0.2, anonymous, A, N, 3/7/04, 10:00:00, " + kProxyTail,
       ReadMsProxyLog);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0]->Address(), 0x0A000002u);
  EXPECT_EQ(store.ignoredLines, 5u);
}

TEST_F(BlockReader, SquidTimesAreUtcWhateverTheZone) {
  const char* old = getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "Pacific/Kiritimati", 1);  // UTC+14: local time would already be 1 March
  tzset();
  Read(
      "1709251199.100 7 10.0.0.1 TCP_HIT/200 10 GET http://x.example/a.gif - NONE/- image/gif\n"
      "1709251200.000 7 proxy.example TCP_HIT/200 10 GET http://x.example/host - NONE/- -\n"
      "99999999999999999999.000 7 10.0.0.2 TCP_HIT/200 10 HEAD http://x.example/far -\n",
      ReadSquidLog);
  if (old) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
  auto recs = Records();
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0]->Day(), 29);
  EXPECT_EQ(recs[0]->Month(), 2);
  EXPECT_EQ(recs[0]->Year(), 2024);
  EXPECT_EQ(recs[0]->Seconds(), 86399u);
  EXPECT_EQ(recs[1]->Day(), 1);
  EXPECT_EQ(recs[1]->Month(), 3);
  EXPECT_EQ(recs[1]->Seconds(), 0u);
  // A time stamp beyond any calendar leaves the line without a date; it is kept.
  EXPECT_STREQ(recs[2]->PageText(), "http://x.example/far");
  EXPECT_TRUE(recs[2]->Flags() & kHitHead);
  EXPECT_EQ(store.ignoredLines, 0u);
}

}  // namespace
