#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/readers/ncsareader.h"
#include "tests/engine/logfixture.h"
#include "tests/engine/readtest.h"

namespace {

using logfixture::Fixture;
using logfixture::Want;
using readtest::Text;

constexpr uint32_t kDay = 3600 * 24;

TEST(NcsaReader, EveryVariantThroughTheFileReader) {
  const std::string iis1 =
      "10.0.0.5, -, 3/15/04, 17:20:30, W3SVC1, SRV, 10.0.0.1, 15, 300, 4500, 200, 0, GET, /iis/a.asp, x=1,\r\n";
  const std::string iis2 =
      "host.example, fred, 3/16/2004, 8:00:00, W3SVC1, SRV, 10.0.0.1, 15, 300, 45, 304, 0, POST, /iis/, -,\r\n";
  std::vector<Fixture> fixtures = {
      {"common",
       "10.1.2.3 - bob [06/May/2004:07:08:09 +0200] \"POST /shop/cart.php?id=7 HTTP/1.1\" 404 1234\n"
       "client.example - - [31/Dec/99:23:59:59 -0500] \"HEAD / HTTP/1.0\" 200 -\n",
       kLogFormatApache,
       {{"/shop/cart.php?id=7", 0x0A010203, nullptr, 6, 5, 2004, 7 * 3600 + 8 * 60 + 9, 404, 1234, nullptr, nullptr,
         "bob", nullptr, kHitPost | kHitQuery},
        {"/", 0, "client.example", 31, 12, 2099, kDay - 1, 200, 0, nullptr, nullptr, nullptr, nullptr, kHitHead}}},
      {"combined",
       "10.0.0.1 - - [01/Mar/2024:00:00:01 +0000] \"GET /a/index.html HTTP/1.1\" 200 512 \"http://ref.example/x\" "
       "\"Mozilla/5.0 (X11; Linux)\"\n"
       "10.0.0.1 - - [01/Mar/2024:00:00:02 +0000] \"GET /b.gif HTTP/1.1\" 304 - \"-\" \"curl/8\" \"ID=abc; x=1\"\n"
       "10.0.0.1 - - [01/Mar/2024:00:00:03 +0000] \"GET /c.css HTTP/1.1\" 200 7 \"-\" \"curl/8\" ID=xyz; y=2\r\n"
       "10.0.0.2 - - [01/Mar/2024:00:00:04 +0000] \"GET http://www.example.com/p/q.html?z=1 HTTP/1.1\" 200 10 "
       "\"-\" \"-\" -\n",
       kLogFormatApache,
       {{"/a/", 0x0A000001, nullptr, 1, 3, 2024, 1, 200, 512, "http://ref.example/x", "Mozilla/5.0 (X11; Linux)",
         nullptr, nullptr},
        {"/b.gif", 0x0A000001, nullptr, 1, 3, 2024, 2, 304, 0, nullptr, "curl/8", nullptr, "ID=abc; x=1"},
        {"/c.css", 0x0A000001, nullptr, 1, 3, 2024, 3, 200, 7, nullptr, "curl/8", nullptr, "ID=xyz; y=2"},
        {"/p/q.html?z=1", 0x0A000002, nullptr, 1, 3, 2024, 4, 200, 10, nullptr, nullptr, nullptr, nullptr,
         kHitQuery}}},
      {"webstar-clf",
       "!!WebSTAR STARTUP\r!!LOG_FORMAT COMMON_LOG_FORMAT\r"
       "10.0.0.3 - - [02/Feb/2004:10:00:00 +0000] \"GET /w.html HTTP/1.0\" 200 99\r",
       kLogFormatWebStarClf,
       {{"/w.html", 0x0A000003, nullptr, 2, 2, 2004, 10 * 3600, 200, 99, nullptr, nullptr, nullptr, nullptr}},
       0,
       2},
      {"webstar",
       "!!LOG_FORMAT DATE TIME URL\n"
       "10.0.0.3 - - [02/Feb/2004:10:00:00 +0000] \"GET /w.html HTTP/1.0\" 200 99\n",
       kLogFormatWebStar,
       {{"/w.html", 0x0A000003, nullptr, 2, 2, 2004, 10 * 3600, 200, 99, nullptr, nullptr, nullptr, nullptr}},
       0,
       1},
      {"fasthosts",
       "www.example.com: [03/Apr/2004:01:02:03 +0100] 10.0.0.4 \"GET /f.html HTTP/1.1\" 200 77 "
       "\"http://r.example/\" \"Agent/1\"\n"
       "www.example.com: [03/Apr/2004:01:02:04 +0100] visitor.example \"GET /g.html HTTP/1.1\" 404 0\n"
       "shop.example.com: [03/Apr/2004:01:02:05 +0100] 10.0.0.6 \"POST /h HTTP/1.1\" 200 1 \"-\" \"Agent/2\"\n"
       "shop.example.com: [03/Apr/2004:01:02:06 +0100] 10.0.0.6 \"GET /i HTTP/1.1\" 200 2 \"-\" \"Agent/2\"\n",
       kLogFormatFasthosts,
       {{"/f.html", 0x0A000004, nullptr, 3, 4, 2004, 3723, 200, 77, "http://r.example/", "Agent/1", nullptr, nullptr},
        {"/g.html", 0, "visitor.example", 3, 4, 2004, 3724, 404, 0, nullptr, nullptr, nullptr, nullptr},
        {"/h", 0x0A000006, nullptr, 3, 4, 2004, 3725, 200, 1, nullptr, "Agent/2", nullptr, nullptr, kHitPost},
        {"/i", 0x0A000006, nullptr, 3, 4, 2004, 3726, 200, 2, nullptr, "Agent/2", nullptr, nullptr}}},
      {"iis-comma",
       iis1 + iis2,
       kLogFormatApache,
       {{"/iis/a.asp", 0x0A000005, nullptr, 15, 3, 2004, 17 * 3600 + 20 * 60 + 30, 200, 4500, nullptr, nullptr,
         nullptr, nullptr},
        {"/iis/", 0, "host.example", 16, 3, 2004, 8 * 3600, 304, 45, nullptr, nullptr, "fred", nullptr, kHitPost}}},
  };
  logfixture::CheckFixtures(fixtures);
}

class Ncsa : public ::testing::Test {
 protected:
  void SetUp() override {
    readtest::ResetLoadState();
    ParseIndexNames("index.html", &index);
  }
  void TearDown() override { readtest::ResetLoadState(); }

  int Read(const std::string& text, const char* format = kLogFormatApache) {
    block = text + ' ';
    return ParseCommonLogBlock(&store, block.data(), block.data() + text.size(), masks, index, format);
  }
  std::vector<CHitRecord*> Records() { return readtest::Records(store); }

  CHitStore store;
  CGroupMaskList masks;
  CIndexNames index;
  std::string block;
};

const char kLineHead[] = "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"";

TEST_F(Ncsa, PageOfTheRequest) {
  struct Case {
    const char* request;
    const char* page;
  } cases[] = {
      {"GET /a.html HTTP/1.0", "/a.html"},
      {"GET http://www.x.com/b/c.html?q=1 HTTP/1.1", "/b/c.html?q=1"},  // scheme and host skipped
      {"GET https://h.example:8443/s HTTP/1.1", "/s"},
      {"GET http://www.x.com HTTP/1.0", "/"},  // the host alone: its root, not "/1.0"
      {"GET //double/x HTTP/1.0", "/double/x"},
      {"GET /no-protocol", "/no-protocol"},
      {"-", "-"},  // no '/' inside the quotes: none is taken from the referrer or the next line
      {"", "-"},
  };
  std::string text;
  for (const Case& c : cases)
    text += std::string(kLineHead) + c.request + "\" 408 - \"http://ref.example/r\" \"Agent/1.0\"\n";
  Read(text);
  auto recs = Records();
  ASSERT_EQ(recs.size(), std::size(cases));
  for (size_t i = 0; i < recs.size(); ++i) {
    EXPECT_STREQ(recs[i]->PageText(), cases[i].page) << cases[i].request;
    EXPECT_EQ(Text(g_pools.referrers, recs[i]->GetReferrer()), "http://ref.example/r") << cases[i].request;
  }
  EXPECT_EQ(store.ignoredLines, 0u);
}

TEST(NcsaReader, OnlyNameValuePairsLookLikeACookie) {
  struct Case {
    const char* text;
    bool cookie;
  } cases[] = {
      {"sid=ab12; lang=en", true},
      {"ID=xyz; y=2", true},
      {"sid=ab12", true},
      {"a=1;b=2", true},
      {"a=1; ", true},                       // a trailing separator
      {"_ga=GA1.2.3.4; t=x==; u=(a|b)", true},  // '=' and other marks inside values
      {"e=", true},                          // an empty value
      {"0.004", false},                      // nginx's $request_time
      {"0.004 0.002", false},
      {"443", false},                        // a port
      {"-", false},
      {"", false},
      {"www.example.com", false},            // a virtual host
      {"=x", false},                         // no name
      {"a=1 0.004", false},                  // a pair and another field
      {"a=1; flag", false},
      {"a b=1", false},
      {"a,b=1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(LooksLikeCookie(c.text, strlen(c.text)), c.cookie) << '"' << c.text << '"';
}

TEST_F(Ncsa, MonthFromNameComparesWholeNames) {
  const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (unsigned m = 0; m < 12; ++m) EXPECT_EQ(MonthFromName(names[m]), m + 1) << names[m];
  for (const char* other : {"ebM", "anF", "jan", "DEC", "Xyz", "   "}) EXPECT_EQ(MonthFromName(other), 1u) << other;

  // A month name not among the twelve dates the line in January.
  Read(std::string("1.2.3.4 - - [15/ebM/2004:00:00:00 +0000] \"GET / HTTP/1.0\" 200 1\n"));
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0]->Month(), 1);
  EXPECT_EQ(Records()[0]->Day(), 15);
}

TEST_F(Ncsa, IdentityIsTheSubdomainWhenAsked) {
  const std::string lines =
      "1.2.3.4 www.site.example alice [01/Jan/2004:00:00:00 +0000] \"GET / HTTP/1.0\" 200 1\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET / HTTP/1.0\" 200 1\n";
  Read(lines);
  ASSERT_EQ(Records().size(), 2u);
  EXPECT_EQ(Records()[0]->GetSubdomain(), kNoText);
  EXPECT_EQ(Text(g_pools.users, Records()[0]->GetUserName()), "alice");

  g_project.subdomain = 1;
  CHitStore fresh;
  store = std::move(fresh);
  Read(lines);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(Text(g_pools.subdomains, recs[0]->GetSubdomain()), "www.site.example");
  EXPECT_EQ(recs[1]->GetSubdomain(), kNoText);
}

TEST_F(Ncsa, MalformedLinesAreCountedAndSkipped) {
  const std::string good = "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /good HTTP/1.0\" 200 5\n";
  const std::string text =
      good +
      "client-without-a-blank\n"
      "1.2.3.4 - - 01/Jan/2004:00:00:00 +0000 \"GET /no-bracket HTTP/1.0\" 200 1\n"
      "1.2.3.4 - - [1/Jan/2004:0:00:00 +0000] \"GET /bad-time HTTP/1.0\" 200 1\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00+0000] \"GET /no-zone-blank HTTP/1.0\" 200 1\n"
      "1.2.3.4 - - [01/Jan/04/00:00:00 +0000] \"GET /bad-year HTTP/1.0\" 200 1\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /open-quote HTTP/1.0 200 1\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /bad-status HTTP/1.0\" OK 1\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /no-bytes HTTP/1.0\" 200\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /bad-bytes HTTP/1.0\" 200 12x\n"
      "1.2.3.4 - - [01/Ja\n"
      "\x01\x02\xff\xfe binary [\"\n" +
      good +
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /open-referrer HTTP/1.0\" 200 5 \"http://r.example/\n"
      "!! a server note\n"
      "1.2.3.4 - - [01/Jan/2004:00:00:00 +0000] \"GET /last HTTP/1.0\" 200 5";  // cut by the block's end
  Read(text);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_STREQ(recs[0]->PageText(), "/good");
  EXPECT_STREQ(recs[1]->PageText(), "/good");
  EXPECT_STREQ(recs[2]->PageText(), "/open-referrer");
  EXPECT_EQ(recs[2]->GetReferrer(), kNoText);
  EXPECT_STREQ(recs[3]->PageText(), "/last");
  EXPECT_EQ(store.ignoredLines, 11u);
  EXPECT_EQ(store.headerLines, 1u);
  EXPECT_EQ(block.substr(0, text.size()), text);  // nothing written into the block
}

TEST_F(Ncsa, FasthostsReadsTheClientBehindTheDate) {
  // Read as a plain common log, the site token would be the client.
  const std::string line =
      "site.example: [01/Jan/2004:00:00:00 +0000] 10.9.8.7 \"GET /f HTTP/1.0\" 200 3 \"-\" \"A\"\n";
  Read(line, kLogFormatFasthosts);
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0]->Address(), 0x0A090807u);
  EXPECT_EQ(Records()[0]->GetUserName(), kNoText);
  // A date with nothing behind it fails the line.
  Read("site.example: [01/Jan/2004:00:00:00 +0000]\nsite.example: [01/Jan/2004:00:00:00 +0000] x\n",
       kLogFormatFasthosts);
  EXPECT_EQ(store.RecordCount(), 1u);
  EXPECT_EQ(store.ignoredLines, 2u);
}

}  // namespace
