#include <gtest/gtest.h>

#include <string>

#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "tests/engine/auxfixture.h"
#include "tests/engine/hitmaker.h"

namespace {

using hitmaker::Hit;
using hitmaker::Ip;

// A clean slate of every option and table the formatting reads, with the page
// pool marked as after a load.
class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(false); }
  void TearDown() override {
    Reset(false);
    g_pools.pages.SetQueryMarker(false, false);
  }

  static void Reset(bool ignoreArgm) {
    g_project.Clear();
    g_project.display = CDisplayOptions{};
    g_project.display.ignore_argm = ignoreArgm;
    g_settings.add_day_week = 1;
    g_settings.add_contry = 1;
    g_cookiesInUse = false;
    g_auxDatabases = CAuxDatabases();
    FreeLanguageTexts();
    g_pools.pages.FreeAll();
    g_pools.pages.SetQueryMarker(true, ignoreArgm);
  }

  CDisplayOptions& Options() { return g_project.display; }

  hitmaker::Hits hits;
  char out[kUrlTextSize];
};

TEST_F(DisplayTest, FormatSize) {
  struct Case {
    int64_t bytes;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {1023, "1023"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1048575, "1024.00 KB"},
      {1048576, "1.00 MB"},
      {1073741824, "1.00 GB"},
      {5LL << 40, "5120.00 GB"},
      {-5, "-5"},
  };
  for (const Case& c : cases) EXPECT_STREQ(FormatSize(out, sizeof out, c.bytes), c.expected) << c.bytes;
  EXPECT_STREQ(FormatSize(out, 4, 1024), "1.0");
}

TEST_F(DisplayTest, TimesAndHours) {
  struct Case {
    uint32_t seconds;
    int twelve;
    const char* time;
    const char* hour;
  } cases[] = {
      {0, 0, "00:00:00", "0"},
      {3661, 0, "01:01:01", "1"},
      {86399, 0, "23:59:59", "23"},
      {0, 1, "12:00:00 AM", "12 AM"},  // midnight
      {300, 1, "12:05:00 AM", "12 AM"},
      {11 * 3600, 1, "11:00:00 AM", "11 AM"},
      {12 * 3600 + 1800, 1, "12:30:00 PM", "12 PM"},  // noon
      {13 * 3600, 1, "01:00:00 PM", " 1 PM"},
      {9 * 3600, 1, "09:00:00 AM", " 9 AM"},
      {86399, 1, "11:59:59 PM", "11 PM"},
  };
  for (const Case& c : cases) {
    Options().tm_format = static_cast<int16_t>(c.twelve);
    Hit h;
    h.seconds = c.seconds;
    EXPECT_STREQ(FormatTimeOfDay(out, sizeof out, hits.Make(h)), c.time) << c.seconds;
    EXPECT_STREQ(FormatHourOfSeconds(out, sizeof out, c.seconds), c.hour) << c.seconds;
    EXPECT_STREQ(FormatHour(out, sizeof out, static_cast<int>(c.seconds / 3600)), c.hour) << c.seconds;
  }
}

TEST_F(DisplayTest, CalendarArithmetic) {
  struct Week {
    uint32_t date;
    int sundayFirst, mondayFirst;
  } weeks[] = {
      {PackDate(7, 3, 2004), 0, 6},   // a Sunday
      {PackDate(8, 3, 2004), 1, 0},
      {PackDate(5, 3, 2004), 5, 4},
      {PackDate(29, 2, 2004), 0, 6},  // leap day
      {PackDate(1, 1, 1970), 4, 3},
      {PackDate(29, 2, 2003), 7, 7},  // no such day
      {PackDate(31, 4, 2004), 7, 7},
      {0, 7, 7},
  };
  for (const Week& w : weeks) {
    Options().dt_dweek = 0;
    EXPECT_EQ(DayOfWeek(w.date), w.sundayFirst) << std::hex << w.date;
    Options().dt_dweek = 1;
    EXPECT_EQ(DayOfWeek(w.date), w.mondayFirst) << std::hex << w.date;
  }

  struct Move {
    uint32_t date;
    int days;
    uint32_t expected;
  } moves[] = {
      {PackDate(28, 2, 2004), 1, PackDate(29, 2, 2004)},
      {PackDate(28, 2, 2003), 1, PackDate(1, 3, 2003)},
      {PackDate(31, 12, 2003), 1, PackDate(1, 1, 2004)},
      {PackDate(1, 1, 2004), -1, PackDate(31, 12, 2003)},
      {PackDate(27, 3, 2004), 1, PackDate(28, 3, 2004)},  // across a clock change
      {PackDate(31, 10, 2004), -15, PackDate(16, 10, 2004)},
      {PackDate(31, 2, 2004), 3, PackDate(31, 2, 2004)},  // no such day: unchanged
  };
  for (const Move& m : moves) EXPECT_EQ(AddDaysToDate(m.date, m.days), m.expected) << std::hex << m.date;

  Hit a, b;
  a.day = 27, b.day = 28;
  a.seconds = b.seconds = 2 * 3600 + 1800;
  EXPECT_EQ(HitTimeOf(hits.Make(b)) - HitTimeOf(hits.Make(a)), 86400) << "no daylight-saving hour";
}

TEST_F(DisplayTest, WeekdayAndMonthNames) {
  struct Case {
    int index, mondayFirst;
    const char* expected;
  } cases[] = {
      {0, 0, "Sunday"}, {6, 0, "Saturday"}, {0, 1, "Monday"}, {6, 1, "Sunday"},
      {7, 1, ""},       {7, 0, ""},         {-1, 0, ""},
  };
  for (const Case& c : cases) {
    Options().dt_dweek = static_cast<int16_t>(c.mondayFirst);
    EXPECT_STREQ(WeekdayName(c.index), c.expected) << c.index << "/" << c.mondayFirst;
  }
  SetTerm(kTermWday1, "Montag");
  SetTerm(kTermLmonth2, "M\xe4rz");
  Options().dt_dweek = 1;
  EXPECT_STREQ(WeekdayName(0), "Montag");
  EXPECT_STREQ(WeekdayName(0, 137), "Monday") << "charts may ask for English";
  EXPECT_STREQ(MonthName(3), "M\xe4rz");
  EXPECT_STREQ(MonthName(3, 9), "March");
  EXPECT_STREQ(MonthName(12), "December");
  EXPECT_STREQ(MonthName(0), "");
  EXPECT_STREQ(MonthName(13), "");
}

TEST_F(DisplayTest, FormatDateInEveryOrderAndSeparator) {
  struct Case {
    uint32_t date;
    int format, separator, twoDigitYear, monthNumber, dayWeek;
    bool withWeekday;
    const char* expected;
  } cases[] = {
      {PackDate(5, 3, 2004), 0, 1, 0, 0, 1, false, "05-Mar-2004"},
      {PackDate(5, 3, 2004), 0, 0, 0, 0, 1, false, "05/Mar/2004"},
      {PackDate(5, 3, 2004), 1, 0, 0, 0, 1, false, "2004/Mar/05"},
      {PackDate(5, 3, 2004), 2, 2, 0, 0, 1, false, "Mar.05.2004"},
      {PackDate(5, 3, 2004), 7, 9, 0, 0, 1, false, "05/Mar/2004"},  // unknown order and separator
      {PackDate(5, 3, 2004), 0, 0, 1, 0, 1, false, "05/Mar/04"},
      {PackDate(5, 1, 2009), 1, 2, 1, 1, 1, false, "09.01.05"},
      {PackDate(5, 3, 2004), 1, 1, 0, 1, 1, false, "2004-03-05"},
      {PackDate(5, 3, 2004), 0, 0, 0, 0, 1, true, "05/Mar/2004 (Friday)"},
      {PackDate(5, 3, 2004), 0, 0, 0, 0, 0, true, "05/Mar/2004"},
      {PackDate(5, 13, 2004), 0, 0, 0, 0, 0, false, "05//2004"},
      {PackDate(5, 13, 2004), 0, 0, 0, 1, 0, false, "05//2004"},
  };
  for (const Case& c : cases) {
    Options().dt_format = static_cast<int16_t>(c.format);
    Options().dt_separator = static_cast<int16_t>(c.separator);
    Options().dt_4year = static_cast<int16_t>(c.twoDigitYear);
    Options().dt_fmnth = static_cast<int16_t>(c.monthNumber);
    g_settings.add_day_week = c.dayWeek;
    EXPECT_STREQ(FormatDate(out, sizeof out, c.date, c.withWeekday), c.expected) << c.expected;
  }
  Options() = CDisplayOptions{};
  SetTerm(kTermSmonth2, "M\xe4r");
  EXPECT_STREQ(FormatDate(out, sizeof out, PackDate(5, 3, 2004), false), "05/M\xe4r/2004");
  EXPECT_STREQ(FormatDate(out, 6, PackDate(5, 3, 2004), true), "05/M\xe4");
}

TEST_F(DisplayTest, StatusTexts) {
  struct Case {
    int code;
    bool withText;
    const char* expected;
  } cases[] = {
      {404, true, "404 - Not Found"}, {404, false, "404"},     {307, true, "307 - Moved Temporarily"},
      {100, true, "100 - Continue"},  {505, true, "505 - HTTP Version Not Supported"},
      {418, true, "418"},             {0, true, "0"},
  };
  for (const Case& c : cases) EXPECT_STREQ(StatusCodeText(out, sizeof out, c.code, c.withText), c.expected);
  EXPECT_FALSE(IsErrorStatus(399));
  EXPECT_TRUE(IsErrorStatus(400));
  EXPECT_TRUE(IsErrorStatus(599));
  EXPECT_FALSE(IsErrorStatus(600));
}

TEST_F(DisplayTest, HostTexts) {
  Hit named, bare, logged;
  named.address = Ip(10, 1, 2, 3);
  named.host = "client.example";
  bare.address = Ip(192, 168, 0, 1);
  logged.host = "logged.example";
  const CHitRecord* n = hits.Make(named);
  const CHitRecord* b = hits.Make(bare);
  const CHitRecord* l = hits.Make(logged);
  struct Case {
    const CHitRecord* record;
    int represent;
    const char* expected;
  } cases[] = {
      {n, 0, "client.example"}, {n, 1, "10.1.2.3"}, {n, 2, "client.example,10.1.2.3"},
      {n, 3, "10.1.2.3,client.example"}, {n, 9, "10.1.2.3"}, {b, 0, "192.168.0.1"}, {b, 2, "192.168.0.1"},
      {b, 3, "192.168.0.1"}, {l, 1, "logged.example"},  // a host logged by name has no address to show
  };
  for (const Case& c : cases) {
    Options().host_represnt = static_cast<int16_t>(c.represent);
    EXPECT_STREQ(FormatHostText(out, sizeof out, c.record, true, true), c.expected) << c.expected;
  }

  Options().host_represnt = 0;
  g_project.host_comments.Set("CLIENT.example", "Office");
  EXPECT_STREQ(FormatHostText(out, sizeof out, n, false, true), "Office");
  EXPECT_STREQ(FormatHostText(out, sizeof out, n, false, false), "client.example");
  EXPECT_STREQ(FormatHostText(out, 5, n, false, false), "clie");

  // Geography: the country, or city, region and country once the city tables are loaded.
  auxfixture::SetGeoNames(kGeoCountry, {"deGermany"});
  auxfixture::SetGeoRanges(kGeoCountry, 10, {{Ip(10, 0, 0, 0), 0, auxfile::kNoName, auxfile::kNoName}});
  EXPECT_STREQ(FormatHostText(out, sizeof out, n, true, true), "Office (Germany)");
  EXPECT_STREQ(FormatHostText(out, sizeof out, n, false, false), "client.example");
  EXPECT_STREQ(FormatHostText(out, sizeof out, b, true, false), "192.168.0.1") << "no range, nothing added";
  EXPECT_STREQ(FormatHostText(out, sizeof out, l, true, false), "logged.example");
  g_settings.add_contry = 0;
  EXPECT_STREQ(FormatHostText(out, sizeof out, n, true, false), "client.example");
  g_settings.add_contry = 1;
  auxfixture::SetGeoNames(kGeoRegion, {"Bavaria"});
  auxfixture::SetGeoNames(kGeoCity, {"Munich"});
  auxfixture::SetGeoRanges(kGeoCity, 10, {{Ip(10, 0, 0, 0), 0, 0, 0}});
  g_auxDatabases.geoLoaded = true;
  EXPECT_STREQ(FormatHostText(out, sizeof out, n, true, false), "client.example (Munich,Bavaria,Germany)");
}

TEST_F(DisplayTest, HostAndVisitorOrder) {
  auto make = [&](uint32_t address, const char* name, const char* agent = "A", uint32_t seconds = 0,
                  const char* cookie = nullptr) {
    Hit h;
    h.address = address;
    h.host = name;
    h.agent = agent;
    h.seconds = seconds;
    h.cookie = cookie;
    return hits.Make(h);
  };
  struct HostCase {
    const CHitRecord *a, *b;
    int expected;
  } hosts[] = {
      {make(Ip(1, 0, 0, 1), nullptr), make(Ip(1, 0, 0, 2), nullptr), -1},
      {make(Ip(200, 0, 0, 1), "z"), make(Ip(10, 0, 0, 1), "a"), 1},  // addresses as unsigned numbers
      {make(0, "b.example"), make(0, "a.example"), 1},
      {make(0, "a.example"), make(0, "a.example"), 0},
      {make(Ip(9, 0, 0, 9), nullptr), make(0, "a.example"), -1},  // no name before a name
      {make(0, "a.example"), make(Ip(9, 0, 0, 9), nullptr), 1},
  };
  for (const HostCase& c : hosts) EXPECT_EQ(CompareByHost(c.a, c.b), c.expected);

  const CHitRecord* first = make(Ip(1, 2, 3, 4), nullptr, "A", 3600);
  struct VisitCase {
    const CHitRecord* later;
    int expected;
  } visits[] = {
      {make(Ip(1, 2, 3, 4), nullptr, "A", 3600 + 29 * 60), 0},
      {make(Ip(1, 2, 3, 4), nullptr, "A", 3600 + 30 * 60), 0},
      {make(Ip(1, 2, 3, 4), nullptr, "A", 3600 + 31 * 60), 1},
      {make(Ip(1, 2, 3, 4), nullptr, "A", 3600 - 31 * 60), -1},
  };
  for (const VisitCase& c : visits) {
    EXPECT_EQ(CompareVisitors(c.later, first, first), c.expected);
    EXPECT_EQ(CompareVisitors(c.later, first, nullptr), 0);
  }
  EXPECT_NE(CompareVisitors(make(Ip(1, 2, 3, 4), nullptr, "B"), first, nullptr), 0);
  EXPECT_EQ(CompareVisitors(make(Ip(1, 2, 3, 4), nullptr, "A"), make(Ip(1, 2, 3, 4), nullptr, nullptr), nullptr), -1)
      << "a missing agent sorts after a present one";

  const CHitRecord* c1 = make(Ip(5, 0, 0, 1), nullptr, "A", 0, "id=7");
  const CHitRecord* c2 = make(Ip(6, 0, 0, 1), nullptr, "B", 0, "id=7");
  EXPECT_NE(CompareVisitors(c1, c2, nullptr), 0) << "cookies count only once a hit carried one";
  g_cookiesInUse = true;
  EXPECT_EQ(CompareVisitors(c1, c2, nullptr), 0);
  EXPECT_EQ(CompareVisitors(c1, make(Ip(5, 0, 0, 1), nullptr, "A"), nullptr), -1) << "a cookie before none";
  Options().not_use_cookie = 1;
  EXPECT_NE(CompareVisitors(c1, c2, nullptr), 0);

  Hit v1, v2;
  v1.visitor = 0x10;
  v2.visitor = 0xFFFFFF;
  EXPECT_EQ(CompareVisitorNumbers(hits.Make(v1), hits.Make(v2)), -1);
}

TEST_F(DisplayTest, SiteAddresses) {
  struct Unset {
    const char* url;
    bool unset;
  } unsets[] = {{nullptr, true}, {"", true}, {"http://", true}, {"http://a", false}, {"HTTP://", false}};
  for (const Unset& c : unsets) EXPECT_EQ(IsSiteUrlUnset(c.url), c.unset) << (c.url ? c.url : "null");

  std::string longSite = "http://" + std::string(693, 'a');  // 700 characters
  std::string nearSite = "http://" + std::string(683, 'a');  // 690
  struct Join {
    std::string site;
    const char* page;
    std::string expected;
  };
  std::string longPage = "/" + std::string(40, 'p');
  const Join joins[] = {
      {"http://s.com/", "/p.html", "http://s.com/p.html"},
      {"http://s.com", "p.html", "http://s.com/p.html"},
      {"http://s.com", "/p", "http://s.com/p"},
      {"http://s.com/", "p", "http://s.com/p"},
      {"http://s.com", nullptr, "http://s.com/"},
      {"http://", "/p", ""},
      {"", "/p", ""},
      {"http://a.com;http://b.com/", "/p", "http://a.com/p"},  // the first of the site addresses
      {" http://a.com/ ; http://b.com", "/p", "http://a.com/p"},
      {longSite, "/p", ""},
      {nearSite, longPage.c_str(), nearSite + "/" + std::string(8, 'p')},  // cut to 699
  };
  for (const Join& c : joins) EXPECT_EQ(JoinSiteUrl(out, sizeof out, c.site.c_str(), c.page), c.expected) << c.site;

  struct Ip4 {
    const char* url;
    bool ip;
  } ips[] = {
      {"http://10.0.0.1/x", true}, {"10.0.0.1", true},          {"https://1.2.3.4", true},
      {"http://1.2.3/", false},    {"http://1.2.3.4.5/", false}, {"http://1.2.3.4:80/", false},
      {"http://a.b.c.d/", false},  {"http://1..3.4/", false},    {nullptr, false},
  };
  for (const Ip4& c : ips) EXPECT_EQ(IsIpHostUrl(c.url), c.ip) << (c.url ? c.url : "null");

  SetStr(&g_project.url, "http://www.site.com/; https://shop.site.com");
  struct Match {
    const char* url;
    bool match;
  } matches[] = {
      {"http://WWW.site.com/page", true}, {"https://shop.site.com/x?y", true}, {"http://www.site.com", true},
      {"http://other.com/", false},       {"https://www.site.com/", false},    {"www.site.com/", false},
      {nullptr, false},
  };
  for (const Match& c : matches) EXPECT_EQ(MatchUrlList(c.url, out, sizeof out), c.match) << (c.url ? c.url : "null");
  MatchUrlList("http://WWW.site.com/page", out, sizeof out);
  EXPECT_STREQ(out, "http://WWW.site.com/");
}

TEST_F(DisplayTest, PagesFoldersAndExtensions) {
  struct Name {
    const char* path;
    const char* name;
  } names[] = {{"/a/b.html", "b.html"}, {"c:\\x\\y.log", "y.log"}, {"name", "name"}, {"/dir/", ""}};
  for (const Name& c : names) EXPECT_STREQ(FileNameOfPath(c.path), c.name);

  struct Folder {
    const char* page;
    size_t size;
    const char* folder;
  } folders[] = {
      {"/a/b/c.html", 700, "/a/b/"}, {"/a/b/", 700, "/a/b/"}, {"/x.html", 700, "/"}, {"/a/b?c=/d/e", 700, "/a/"},
      {"noslash", 700, ""},          {"\\w\\x.asp", 700, "\\w\\"}, {"/a/b/c.html", 4, "/a/"},
  };
  for (const Folder& c : folders) EXPECT_STREQ(FolderOfUrl(out, c.page, c.size), c.folder) << c.page;

  SetStr(&g_project.index, "default.HTM;index.html");
  struct Ext {
    const char* page;
    const char* ext;
  } exts[] = {
      {"/a/b.html", ".html"}, {"/a/B.PHP?x=1.2", ".PHP"}, {"/a/", ".HTM"},    {"/a/readme", ".HTM"},
      {"/v1.2/readme", ".HTM"}, {"/a.b/c.tar.gz", ".gz"}, {"", ".HTM"},      {"/a\\", ".HTM"},
  };
  for (const Ext& c : exts) EXPECT_STREQ(ExtensionOfPath(out, c.page, sizeof out), c.ext) << c.page;
  SetStr(&g_project.index, nullptr);
  EXPECT_STREQ(ExtensionOfPath(out, "/a/", sizeof out), "");
}

TEST_F(DisplayTest, QueryParts) {
  Hit h;
  h.page = "/s?q=1&x";
  EXPECT_STREQ(QueryPartOfUrl(hits.Make(h)->Page()), "q=1&x");
  h.page = "/s";
  EXPECT_STREQ(QueryPartOfUrl(hits.Make(h)->Page()), "");
  EXPECT_STREQ(QueryPartOfUrl(kNoText), "");

  // With ignore_argm the pool keeps the query behind the cut page; a page
  // without one has nothing there to read.
  Reset(true);
  h.page = "/t";
  TextHandle plain = hits.Make(h)->Page();
  h.page = "/s?q=2";
  TextHandle marked = hits.Make(h)->Page();
  EXPECT_STREQ(g_pools.pages.Text(marked), "/s");
  EXPECT_STREQ(QueryPartOfUrl(marked), "q=2");
  EXPECT_STREQ(QueryPartOfUrl(plain), "");
}

TEST_F(DisplayTest, SearchKeywords) {
  g_auxDatabases.sites = {auxfixture::Site("Google", 0, {"q=", "as_q="}), auxfixture::Site("Yandex", 1, {"text="}),
                          auxfixture::Site("Tags", 0, {"/"})};
  struct Case {
    const char* referrer;
    int site;
    size_t size;
    const char* expected;
  } cases[] = {
      {"http://www.google.com/search?hl=en&q=Hello+World+&x=1", 0, 200, "hello world"},
      {"http://g.com/search?as_q=a&q=", 0, 200, "a"},  // the first non-empty parameter wins
      {"http://g.com/?q=%D0%96%D0%B8", 0, 200, "\xC6\xE8"},
      {"http://y.ru/?text=%D0%96", 1, 200, "\xD0\x96"},  // the site's code asks for raw bytes
      {"http://g.com/?q=100%2525", 0, 200, "100%25"},    // decoded once: "%25" is what was typed
      {"http://g.com/?q=%25Text%25", 0, 200, "%text%"},
      {"http://s.com/tag/url?sa=t", 2, 200, ""},         // a query is no keyword of the path
      {"http://s.com/tag/Blue+Sky", 2, 200, "blue sky"},
      {"http://g.com/?x=1", 0, 200, ""},
      {"http://g.com/?q=a", 9, 200, ""},
      {nullptr, 0, 200, ""},
      {"http://www.google.com/search?q=hello+world", 0, 6, "hello"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(FormatKeyText(out, c.referrer, c.site, c.size), c.expected) << (c.referrer ? c.referrer : "null");
  }
}

TEST_F(DisplayTest, ReferrerClasses) {
  CAdword exact, part;
  exact.url = strdup("/landing");
  exact.type = 0;
  part.url = strdup("campaign=");
  part.type = 1;
  g_project.adwords.Add(&exact);
  g_project.adwords.Add(&part);
  SetStr(&g_project.url, "http://www.site.com");
  g_auxDatabases.adHostsLoaded = true;
  g_auxDatabases.adHosts.push_back({"googleads.g.doubleclick.net"});

  auto make = [&](const char* page, const char* referrer, uint8_t flags = 0) {
    Hit h;
    h.page = page;
    h.referrer = referrer;
    h.flags = flags;
    return hits.Make(h);
  };
  struct Case {
    const CHitRecord* record;
    int cls;
    const char* text;
  } cases[] = {
      {make("/Landing", nullptr), kRefPayPerClick, "pay-per-click"},
      {make("/p?campaign=7", "http://x.com/", kHitQuery), kRefPayPerClick, "pay-per-click"},
      {make("/p", "http://www.google.com/?q=a", kHitSearchEngine), kRefSearchEngine, "Search Engine"},
      {make("/p", "http://x.com/", kHitRobot), kRefSpider, "Spider"},
      {make("/p", nullptr), kRefNone, "No Referrer"},
      {make("/p", "http://WWW.site.com/x"), kRefInternal, "Internal referrer"},
      {make("/p", "https://googleads.g.doubleclick.net/pagead?id=1"), kRefAdvert, "AdSense"},
      {make("/p", "http://other.com/"), kRefExternal, "External referrer"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyReferrer(c.record), c.cls) << c.text;
    EXPECT_STREQ(ReferrerTypeText(c.record), c.text);
  }
  g_auxDatabases.adHostsLoaded = false;
  EXPECT_EQ(ClassifyReferrer(cases[6].record), kRefExternal);

  // With ignore_argm the pay-per-click test sees the query the pool keeps.
  Reset(true);
  g_project.adwords.Add(&part);
  EXPECT_EQ(ClassifyReferrer(make("/p?campaign=7", nullptr, kHitQuery)), kRefPayPerClick);
  EXPECT_EQ(ClassifyReferrer(make("/p", nullptr)), kRefNone);
}

TEST_F(DisplayTest, GroupNamesAndTitles) {
  g_project.groups.Insert(0, "Pages", "*.html", kGroupPages);
  struct Group {
    int n;
    const char* name;
  } groups[] = {{0, "Pages"}, {1, "Other"}, {8, "Other"}, {-1, "Other"}};
  for (const Group& c : groups) EXPECT_STREQ(FileTypeGroupName(c.n), c.name);

  struct Kind {
    int kind;
    const char* title;
    const char* column;
  } kinds[] = {
      {0, "", "(*)"},
      {1, "Page(File)", "Pages(Files)"},
      {13, "Day of Week", "By Day of Week"},
      {19, "Visitor", "Visitors"},
      {24, "Path", "Paths"},
      {25, "Spider", "Spiders"},
      {26, "Spider", "Spiders Summary"},
      {27, "Date", "Daily"},
      {29, "Child Pages", "Child Pages"},
      {31, "Summary Stats", "Summary Stats"},
      {33, "Subfolder", "Subfolder"},
      {36, "Error", "Errors"},
      {37, "Spider", "Spiders"},
      {38, "Error", "Type"},
      {39, "Download Manager", "Download Managers"},
      {40, "", "All Reports"},
      {41, "", "(*)"},
      {42, "", "(*)"},
      {43, "Items", "Items"},
      {44, "", "(*)"},
      {-3, "", "(*)"},
  };
  for (const Kind& c : kinds) {
    EXPECT_STREQ(ReportKindTitle(c.kind), c.title) << c.kind;
    EXPECT_STREQ(ColumnTerm(c.kind), c.column) << c.kind;
  }
  for (int kind = 1; kind <= 39; ++kind) EXPECT_STRNE(ReportKindTitle(kind), "") << kind;
  EXPECT_STREQ(ColumnTerm(1, 2), "") << "no translation";
  SetTerm(kTermPgFls, "Seiten");
  EXPECT_STREQ(ColumnTerm(1, 2), "Seiten");
  EXPECT_STREQ(ColumnTerm(1, 0), "Pages(Files)");

  const char* groupTitles[] = {"General Stats", "Access Stats",  "Visitor Stats", "Referrer Stats",
                               "User Agent Stats", "Activity Stats", "Error Stats", "Complete"};
  for (int n = 0; n < 8; ++n) EXPECT_STREQ(ReportGroupTitle(n), groupTitles[n]);
  EXPECT_STREQ(ReportGroupTitle(8), "");
  EXPECT_STREQ(ReportGroupTitle(-1), "");
}

TEST_F(DisplayTest, KeyTextOfEveryKind) {
  g_auxDatabases.sites = {auxfixture::Site("Google", 0, {"q="})};
  g_auxDatabases.os = {auxfixture::Os("Windows NT 10", "Windows 10")};
  g_auxDatabases.browsers = {auxfixture::Browser(0, "Firefox", "Firefox"), auxfixture::Browser(1, "GetRight", "GetRight")};
  auxfixture::SetGeoNames(kGeoCountry, {"deGermany"});
  auxfixture::SetGeoRanges(kGeoCountry, 10, {{Ip(10, 0, 0, 0), 0, auxfile::kNoName, auxfile::kNoName}});
  g_project.groups.Insert(0, "Pages", "*.php", kGroupPages);

  Hit full;
  full.page = "/shop/cart.php";
  full.address = Ip(10, 1, 2, 3);
  full.host = "client.example";
  full.seconds = 13 * 3600 + 5;
  full.status = 404;
  full.flags = kHitSearchEngine;
  full.referrer = "http://www.google.de/search?q=Red+Shoes";
  full.agent = "Mozilla/5.0 (Windows NT 10.0) Firefox/99";
  full.user = "bob";
  full.subdomain = "shop";
  const CHitRecord* r = hits.Make(full);
  Hit bare;
  bare.page = "/p?a=1";
  bare.index = 7;
  const CHitRecord* b = hits.Make(bare);

  struct Case {
    int kind;
    const char* full;        // short form
    const char* fullLong;    // long form
    const char* bare;        // short form
  } cases[] = {
      {1, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {2, "client.example", "client.example (Germany)", "0.0.0.0"},
      {3, "http://www.google.de/search?q=Red+Shoes", "http://www.google.de/search?q=Red+Shoes", "No Referrer"},
      {4, "red shoes", "red shoes", ""},
      {5, "Google", "Google", "-"},
      {6, "http://www.google.de/", "http://www.google.de/", "No Referrer"},
      {7, "Germany", "Germany", "Unknown"},  // no address: the country of the host name
      {8, "Windows 10", "Windows 10", "No User Agent"},
      {9, "Firefox", "Firefox", "No User Agent"},
      {10, "13", "13", "0"},
      {11, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {12, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {13, "Friday", "Friday", "Friday"},
      {14, "Pages", "Pages", "Pages"},
      {15, ".php", ".php", ""},
      {16, "/shop/", "/shop/", "/"},
      {17, ".de", ".de", "No Referrer"},
      {18, "March", "March", "March"},
      {19, "client.example", "client.example (Germany)", "0.0.0.0"},
      {20, "", ", , Germany", ""},
      {21, "", ", Germany", ""},
      {22, "bob", "bob", "-"},
      {23, "404", "404 - Not Found", "200"},
      {24, "", "", ""},
      {25, "", "", ""},
      {26, "Firefox", "Firefox", "No User Agent"},
      {27, "05/Mar/2004 (Friday)", "05/Mar/2004 (Friday)", "05/Mar/2004 (Friday)"},
      {28, "shop", "shop", "-"},
      {29, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {30, "", "", "a=1"},
      {31, "", "", ""},
      {32, "Search Engine", "Search Engine", "No Referrer"},
      {33, "", "", ""},
      {34, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {35, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {36, "/shop/cart.php", "/shop/cart.php", "/p?a=1"},
      {37, "Firefox", "Firefox", "No User Agent"},
      {38, "404", "404 - Not Found", "200"},
      {39, "Firefox", "Firefox", "No User Agent"},
      {40, "", "", ""},
      {41, "", "", ""},
      {42, "", "", ""},
      {43, "", "", ""},
      {0, "", "", ""},
      {-1, "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(GetHitFieldText(c.kind, out, r, sizeof out, false), c.full) << c.kind;
    EXPECT_STREQ(GetHitFieldText(c.kind, out, r, sizeof out, true), c.fullLong) << c.kind;
    EXPECT_STREQ(GetHitFieldText(c.kind, out, b, sizeof out, false), c.bare) << c.kind;
  }

  // Pooled texts are handed out as they are; only a text as long as the buffer is cut into it.
  EXPECT_EQ(GetHitFieldText(kReportPage, out, r, sizeof out, false), r->PageText());
  Hit longPage;
  std::string page = "/" + std::string(800, 'x');
  longPage.page = page.c_str();
  const CHitRecord* l = hits.Make(longPage);
  const char* text = GetHitFieldText(kReportPage, out, l, sizeof out, false);
  EXPECT_EQ(text, out);
  EXPECT_EQ(strlen(text), sizeof out - 1);
  EXPECT_EQ(GetHitFieldText(kReportPage, out, l, 1000, false), l->PageText());

  Hit numeric = full;
  numeric.referrer = "http://10.0.0.1/x";
  EXPECT_STREQ(GetHitFieldText(kReportTopDomain, out, hits.Make(numeric), sizeof out, false), "-");

  Hit manager = full;
  manager.agent = "GetRight/6.0";
  const CHitRecord* m = hits.Make(manager);
  EXPECT_STREQ(GetHitFieldText(kReportBrowser, out, m, sizeof out, true), "GetRight (Download Manager)");
  EXPECT_STREQ(GetHitFieldText(kReportSpider, out, m, sizeof out, true), "GetRight") << "never the long form";
  EXPECT_STREQ(GetHitFieldText(kReportBrowser, out, m, sizeof out, false), "GetRight");
  EXPECT_STREQ(GetHitFieldText(kReportPage, nullptr, r, 0, false), "");
}

}  // namespace
