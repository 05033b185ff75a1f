#include <gtest/gtest.h>

#include <string>

#include "engine/readers/linecommit.h"
#include "engine/readers/w3creader.h"
#include "tests/engine/readtest.h"

namespace {

using readtest::Text;

class W3c : public ::testing::Test {
 protected:
  void SetUp() override {
    readtest::ResetLoadState();
    InitW3cReader();
    ParseIndexNames("index.html, default.asp", &index);
  }
  void TearDown() override {
    FreeW3cReader();
    readtest::ResetLoadState();
  }

  // Reads text as one block (with the blank the block reader puts behind it).
  int Read(const std::string& text, bool blankSeparated = true) {
    block = text + ' ';
    return ReadW3cLog(&store, block.data(), block.data() + text.size(), masks, index, blankSeparated);
  }
  std::vector<CHitRecord*> Records() { return readtest::Records(store); }

  CHitStore store;
  CGroupMaskList masks;
  CIndexNames index;
  std::string block;
};

const char kIisFields[] =
    "#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query sc-status sc-bytes cs-bytes "
    "cs(User-Agent) cs(Cookie) cs(Referer)\r\n";

TEST_F(W3c, ReadsEveryColumnKind) {
  g_project.send_receive = 1;
  ASSERT_EQ(Read(std::string("#Software: Microsoft Internet Information Services 6.0\r\n") + kIisFields +
                 "2004-05-06 07:08:09 10.1.2.3 bob POST /shop/cart.asp id=7&x=1 404 1234 567 "
                 "Mozilla/4.0+(compatible) ID=abc http://ref.example/a.html\r\n"
                 "04/05/07 23:59:59 client.example - HEAD /a.gif - 200 - - - - -\r\n"),
            1);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 2u);
  CHitRecord* r = recs[0];
  EXPECT_EQ(r->Year(), 2004);
  EXPECT_EQ(r->Month(), 5);
  EXPECT_EQ(r->Day(), 6);
  EXPECT_EQ(r->Seconds(), 7u * 3600 + 8 * 60 + 9);
  EXPECT_EQ(r->Address(), 0x0A010203u);
  EXPECT_EQ(Text(g_pools.users, r->GetUserName()), "bob");
  EXPECT_TRUE(r->Flags() & kHitPost);
  EXPECT_TRUE(r->Flags() & kHitQuery);
  EXPECT_STREQ(r->PageText(), "/shop/cart.asp?id=7&x=1");
  EXPECT_EQ(r->Status(), 404);
  EXPECT_EQ(r->BytesSent(), 1234u);
  EXPECT_EQ(r->GetBytesReceived(), 567u);
  EXPECT_EQ(Text(g_pools.agents, r->GetUserAgent()), "Mozilla/4.0+(compatible)");
  EXPECT_EQ(Text(g_pools.cookies, r->GetCookie()), "ID=abc");
  EXPECT_EQ(Text(g_pools.referrers, r->GetReferrer()), "http://ref.example/a.html");

  r = recs[1];
  EXPECT_EQ(r->Year(), 2004);  // two-digit year, '/' for '-'
  EXPECT_EQ(r->Month(), 5);
  EXPECT_EQ(r->Day(), 7);
  EXPECT_EQ(r->Address(), 0u);
  EXPECT_EQ(Text(g_pools.hosts, r->GetHostName()), "client.example");
  EXPECT_TRUE(r->Flags() & kHitHead);
  EXPECT_FALSE(r->Flags() & kHitQuery);
  EXPECT_STREQ(r->PageText(), "/a.gif");
  EXPECT_EQ(r->GetSize(), 33u);  // only the host name
  EXPECT_EQ(store.headerLines, 2u);
  EXPECT_EQ(store.ignoredLines, 0u);
}

TEST_F(W3c, ClientColumn) {
  struct Case {
    const char* column;
    uint32_t address;
    const char* host;
  } cases[] = {
      {"192.168.1.2", 0xC0A80102, nullptr},
      {"192.168.1.2:8080", 0xC0A80102, nullptr},
      {"192.168.1.256", 0, "192.168.1.256"},  // no octet above 255
      {"1.2.3", 0, "1.2.3"},
      {"1.2.3.4x", 0, "1.2.3.4x"},
      {"::1", 0, "::1"},
      {"www.example.com", 0, "www.example.com"},
  };
  std::string text = "#Fields: date c-ip cs-uri-stem\n";
  for (const Case& c : cases) text += std::string("2004-01-01 ") + c.column + " /\n";
  Read(text);
  auto recs = Records();
  ASSERT_EQ(recs.size(), std::size(cases));
  for (size_t i = 0; i < recs.size(); ++i) {
    EXPECT_EQ(recs[i]->Address(), cases[i].address) << cases[i].column;
    EXPECT_EQ(Text(g_pools.hosts, recs[i]->GetHostName()), cases[i].host ? cases[i].host : "<none>")
        << cases[i].column;
  }
}

TEST_F(W3c, MalformedLinesAreCountedAndSkipped) {
  Read(
      "#Fields: date time cs-uri-stem cs(User-Agent)\n"
      "2004-01-01 10:00:00 /good1 agent\n"
      "2004-13 10:00:00 /bad-date agent\n"
      "2004-01-01 10:0:00 /bad-time agent\n"
      "2004-01-01 10:00:00 /open-quote \"agent without its end\n"
      "2004-01-01 10:00:00 /good2 \"quoted agent (with blanks)\"\n"
      "2004-01-01 10:00:00 /truncated");
  auto recs = Records();
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_STREQ(recs[0]->PageText(), "/good1");
  EXPECT_STREQ(recs[1]->PageText(), "/good2");
  EXPECT_EQ(Text(g_pools.agents, recs[1]->GetUserAgent()), "quoted agent (with blanks)");
  EXPECT_STREQ(recs[2]->PageText(), "/truncated");
  EXPECT_EQ(recs[2]->GetUserAgent(), kNoText);
  EXPECT_EQ(store.ignoredLines, 3u);
}

TEST_F(W3c, DirectivesAndHeaders) {
  Read(
      "2004-01-01 not counted: no fields yet\n"
      "#Date: 2004-02-03 00:00:00\n"
      "#Fields: time cs-uri-stem\n"
      "10:00:00 /a\n"
      "!! a server note\n"
      "#Date: 2004-02-04 00:00:00\n"
      "11:00:00 /b\n"
      "#SubComponent: Process Accounting\n"
      "#Fields: time cs-uri-stem\n"
      "12:00:00 /accounting\n"
      "#Fields: time cs-uri-stem\n"
      "13:00:00 /c\n");
  auto recs = Records();
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0]->Day(), 3);
  EXPECT_EQ(recs[1]->Day(), 4);
  EXPECT_STREQ(recs[2]->PageText(), "/c");
  EXPECT_EQ(recs[2]->Day(), 4);
  EXPECT_EQ(store.headerLines, 7u);
  EXPECT_EQ(store.ignoredLines, 0u);
}

TEST_F(W3c, FieldsLineUsesAtMostSeventyColumns) {
  std::string fields = "#Fields: date cs-uri-stem";
  std::string line = "2004-01-01 /p";
  for (int i = 2; i < 70; ++i) {
    fields += " x-unknown";
    line += " x";
  }
  Read(fields + " sc-status\n" + line + " 404\n");  // the 71st column is not read
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0]->Status(), 0);
  Read(fields + "\n");
  EXPECT_EQ(W3cFieldCount(), 2);  // unknown last columns are dropped
}

TEST_F(W3c, TabSeparatedWithDateDirective) {
  Read(
      "#Software: Microsoft(R) Internet Security and Acceleration Server 2004\r\n"
      "#Date: 2004-07-08 09:10:11\r\n"
      "#Fields: c-ip\tcs-username\tc-agent\ttime\tcs-uri\tsc-status\r\n"
      "10.0.0.1\tanonymous\tMozilla/4.0 (compatible; MSIE 6.0)\t09:10:12\thttp://x.example/a b.html\t200\r\n",
      false);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0]->Day(), 8);
  EXPECT_EQ(recs[0]->Month(), 7);
  EXPECT_EQ(Text(g_pools.agents, recs[0]->GetUserAgent()), "Mozilla/4.0 (compatible; MSIE 6.0)");
  EXPECT_STREQ(recs[0]->PageText(), "http://x.example/a b.html");
  EXPECT_EQ(recs[0]->Status(), 200);
}

TEST_F(W3c, FirewallColumns) {
  Read(
      "#Software: Microsoft Windows Firewall\n"
      "#Fields: date time action protocol src-ip dst-ip src-port dst-port size\n"
      "2004-01-01 10:00:00 DROP TCP 10.0.0.5 10.0.0.1 4000 80 60\n");
  auto recs = Records();
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0]->Address(), 0x0A000005u);
  EXPECT_STREQ(recs[0]->PageText(), "10.0.0.1");
  EXPECT_EQ(recs[0]->BytesSent(), 60u);
}

TEST_F(W3c, LongQueryAndLineEndsStayIntact) {
  std::string stem = "/" + std::string(6000, 's');
  std::string query = "q=" + std::string(9000, 'v');
  std::string text = "#Fields: date cs-uri-stem cs-uri-query\r\n2004-01-01 " + stem + " " + query + "\r\n" +
                     "2004-01-01 /next -\r\n";
  Read(text);
  auto recs = Records();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(std::string(recs[0]->PageText()), stem + "?" + query);
  EXPECT_STREQ(recs[1]->PageText(), "/next");
  EXPECT_EQ(block.substr(0, text.size()), text);  // nothing written into the block
}

TEST_F(W3c, IgnoreArgmCutsTheShownPage) {
  g_project.display.ignore_argm = 1;
  BeginLogLoad();
  Read("#Fields: date cs-uri-stem cs-uri-query\n2004-01-01 /a.asp x=1\n2004-01-01 /a.asp x=2\n");
  auto recs = Records();
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_STREQ(recs[0]->PageText(), "/a.asp");
  EXPECT_NE(recs[0]->Page(), recs[1]->Page());
  EXPECT_TRUE(recs[1]->Flags() & kHitQuery);
}

TEST_F(W3c, ClassifyRequestPage) {
  CGroupList groups;
  groups.Insert(0, "Images", ".gif;.JPG", kGroupOther);
  groups.Insert(1, "Pages", ".html;.asp", kGroupPages);
  groups.Insert(2, "Private", "/private/*", kGroupOther);
  masks.Build(groups);
  struct Case {
    const char* request;
    const char* page;
    uint8_t type;
    bool query;
  } cases[] = {
      {"/img/a.GIF", "/img/a.GIF", 0, false},
      {"/img/b.jpg?size=2", "/img/b.jpg?size=2", 0, true},
      {"/a/b.html", "/a/b.html", 1, false},
      {"/a/", "/a/", 1, false},  // a folder takes the first pages group
      {"/a/index.html", "/a/", 1, false},
      {"/a/Default.ASP?x=1", "/a/?x=1", 1, true},
      {"/a/index.html2", "/a/index.html2", 8, false},
      {"/private/notes", "/private/notes", 2, false},
      {"/v1.2/readme", "/v1.2/readme", 8, false},
      {"/noext", "/noext", 8, false},
  };
  for (const Case& c : cases) {
    std::string text = c.request;
    CHitRecord* r = store.NewRecord();
    ClassifyRequestPage(r, text.data(), text.size(), masks, index);
    EXPECT_EQ(std::string(g_line.page, g_line.pageLen), c.page) << c.request;
    EXPECT_EQ(r->PageType(), c.type) << c.request;
    EXPECT_EQ((r->Flags() & kHitQuery) != 0, c.query) << c.request;
  }
  masks.Clear();
  std::string folder = "/x/";
  ClassifyRequestPage(store.NewRecord(), folder.data(), folder.size(), masks, index);
  EXPECT_EQ(store.Current()->PageType(), CGroupMaskList::kNoGroup);
}

TEST_F(W3c, IisCommaSeparatedLine) {
  struct Case {
    const char* rest;
    bool ok;
  } cases[] = {
      {" -, 3/15/04, 17:20:30, W3SVC1, SRV, 10.0.0.1, 15, 300, 4500, 200, 0, POST, /shop/index.html, a=1,\r\n", true},
      {" -, 3/15/04, 17:20:30, W3SVC1, SRV, 10.0.0.1, 15, 300, 4500, 200, 0, POST\r\n/next, x,", false},
      {" -, 3-15, 17:20:30, W3SVC1, SRV, 10.0.0.1, 15, 300, 4500, 200, 0, GET, /, -,", false},
  };
  for (const Case& c : cases) {
    std::string text = c.rest;
    char* cursor = text.data();
    CHitRecord* r = store.NewRecord();
    EXPECT_EQ(ParseIisLine(masks, r, &cursor, text.data() + text.size(), index) == 1, c.ok) << c.rest;
  }
  std::string text = cases[0].rest;
  char* cursor = text.data();
  CHitRecord* r = store.NewRecord();
  ASSERT_EQ(ParseIisLine(masks, r, &cursor, text.data() + text.size(), index), 1);
  EXPECT_EQ(g_line.user, nullptr);
  EXPECT_EQ(r->Month(), 3);
  EXPECT_EQ(r->Day(), 15);
  EXPECT_EQ(r->Year(), 4);  // completed by the commit
  EXPECT_EQ(r->Seconds(), 17u * 3600 + 20 * 60 + 30);
  EXPECT_EQ(r->BytesSent(), 4500u);
  EXPECT_EQ(g_line.status, 200);
  EXPECT_TRUE(r->Flags() & kHitPost);  // read from the method, not the Windows status
  EXPECT_EQ(std::string(g_line.page, g_line.pageLen), "/shop/");
  CommitLogLine(&store);
  EXPECT_EQ(store.Last()->Year(), 2004);
}

TEST_F(W3c, ParseIpFromString) {
  CHitRecord* r = store.NewRecord();
  EXPECT_EQ(ParseIpFromString("10.20.30.40", r), 1);
  EXPECT_EQ(r->Address(), 0x0A141E28u);
  EXPECT_EQ(g_line.host, nullptr);
  EXPECT_EQ(ParseIpFromString("host.example", r), 1);
  EXPECT_EQ(r->Address(), 0u);
  EXPECT_EQ(std::string(g_line.host, g_line.hostLen), "host.example");
  EXPECT_EQ(ParseIpFromString(std::string(10001, 'h').c_str(), r), 0);
  EXPECT_EQ(ParseIpFromString(nullptr, r), 0);
}

TEST_F(W3c, NotPreparedReadsNothing) {
  FreeW3cReader();
  EXPECT_EQ(Read("#Fields: date\n2004-01-01\n"), 0);
  EXPECT_EQ(store.RecordCount(), 0u);
}

}  // namespace
