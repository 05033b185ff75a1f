// The rules behind the small dialogs, without a display.
#include <gtest/gtest.h>

#include "engine/analysis/analysis.h"
#include "ui/core/dialogrules.h"

namespace {

TEST(DialogRules, NewLanguageNamesStayInTheLanguageFolder) {
  struct Case {
    const char* answer;
    const char* fileName;  // null: refused
  } cases[] = {
      {"German", "German.lng"},   {"Swiss.LNG", "Swiss.LNG"}, {"my.lng.txt", "my.lng.txt.lng"},
      {"", nullptr},              {"../German", nullptr},     {"..\\German", nullptr},
      {"sub/German.lng", nullptr}, {"/tmp/x", nullptr},       {"..", nullptr},
      {".", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    std::string name = "unchanged", error;
    bool ok = NewLanguageFileName(c.answer, &name, &error);
    EXPECT_EQ(ok, c.fileName != nullptr);
    if (c.fileName) {
      EXPECT_EQ(name, c.fileName);
    } else {
      EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(error.empty(), ok);
  }
  EXPECT_EQ(LanguageNameOfPath("/data/German.lng"), "German.lng");
  EXPECT_EQ(LanguageNameOfPath(nullptr), "");
}

TEST(DialogRules, PortsFrom0To65535) {
  struct PortCase {
    const char* text;
    int port;  // -1: refused
  } ports[] = {{"0", 0}, {"8080", 8080}, {"65535", 65535}, {"65536", -1}, {"99999", -1},
               {"-1", -1}, {"", -1},     {"80a", -1},      {"123456", -1}, {" 80", -1}};
  for (const PortCase& c : ports) {
    SCOPED_TRACE(c.text);
    uint16_t port = 7;
    EXPECT_EQ(ParsePort(c.text, &port), c.port >= 0);
    if (c.port >= 0) {
      EXPECT_EQ(port, c.port);
    }
  }
}

TEST(DialogRules, AddressesAndNamesToLookUp) {
  uint32_t a = 0;
  ASSERT_TRUE(ParseDottedAddress("192.0.2.10", &a));
  EXPECT_EQ(a, 0xC000020Au);
  EXPECT_EQ(DottedAddress(a), "192.0.2.10");
  EXPECT_EQ(DottedAddress(0xFFFFFFFFu), "255.255.255.255");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4 ", "a.b.c.d", "1.2.3.0004"})
    EXPECT_FALSE(ParseDottedAddress(bad, &a)) << bad;
  for (const char* good : {"www.example.com", "localhost", "a-b_c.example", "1.2.3"})
    EXPECT_TRUE(IsLookupHostName(good)) << good;
  for (const char* bad : {"", "has space.example", "a..b", ".lead", "semi;colon", "tab\tname"})
    EXPECT_FALSE(IsLookupHostName(bad)) << bad;
  EXPECT_FALSE(IsLookupHostName(std::string(64, 'x') + ".example"));
  EXPECT_FALSE(IsLookupHostName(std::string(254, 'x')));
}

TEST(DialogRules, LookupErrorsNameTheirReason) {
  const struct {
    int error;
    const char* text;
  } cases[] = {
      {1, "DNS lookup error! (error# 1: host not found)"},
      {2, "DNS lookup error! (error# 2: temporary failure)"},
      {3, "DNS lookup error! (error# 3: no recovery)"},
      {4, "DNS lookup error! (error# 4: no address)"},
      {0, "DNS lookup error! (error# 0: unknown error)"},
      {5, "DNS lookup error! (error# 5: unknown error)"},
      {-1, "DNS lookup error! (error# -1: unknown error)"},
      {INT32_MIN, "DNS lookup error! (error# -2147483648: unknown error)"},
  };
  for (const auto& c : cases) EXPECT_EQ(DnsErrorText(c.error), c.text) << c.error;
}

TEST(DialogRules, PlacesJoinOnlyTheirKnownParts) {
  const struct {
    std::vector<std::string> parts;
    const char* joined;
  } cases[] = {
      {{"Bavaria", "Germany"}, "Bavaria, Germany"},
      {{"", "Germany"}, "Germany"},
      {{"Bavaria", ""}, "Bavaria"},
      {{"", ""}, ""},
      {{"Berlin", "", "Germany"}, "Berlin, Germany"},
      {{"", "", "Germany"}, "Germany"},
      {{"Munich", "Bavaria", "Germany"}, "Munich, Bavaria, Germany"},
      {{"Munich", "Bavaria", ""}, "Munich, Bavaria"},
      {{"", "", ""}, ""},
      {{}, ""},
      {{"Washington, D.C.", "", "USA"}, "Washington, D.C., USA"},  // a comma inside a name stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.joined);
    EXPECT_EQ(JoinPlaceParts(c.parts), c.joined);
  }
}

TEST(DialogRules, PeriodEndsPackLikeHitDates) {
  CPeriodDate d{31, 12, 2037, true};
  EXPECT_EQ(d.Packed(), 31u | 12u << 8 | 2037u << 16);
  d.valid = false;
  EXPECT_EQ(d.Packed(), 0u);
}

TEST(DialogRules, LogFileReportLines) {
  CLogFileReportList list;
  list.Add("a.log", 5ull << 32, 4000000000u);
  std::vector<CLogReportLine> one = LogReportLines(list, true);
  ASSERT_EQ(one.size(), 1u) << "one file has no total line";
  EXPECT_EQ(one[0].name, "a.log");
  EXPECT_EQ(one[0].image, 0);

  list.Add("empty.log", 10, 0);
  list.Add("b.log", 2048, 4000000000u);
  std::vector<CLogReportLine> all = LogReportLines(list, true);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].image, 2);
  EXPECT_EQ(all[0].name, "Total");
  EXPECT_EQ(all[0].lines, "8000000000") << "totals do not wrap at 32 bits";
  EXPECT_EQ(all[2].image, 1);
  EXPECT_EQ(all[3].size, "2.00 KB");

  std::vector<CLogReportLine> bad = LogReportLines(list, false);
  ASSERT_EQ(bad.size(), 2u);
  EXPECT_EQ(bad[0].image, 2) << "the total line stays";
  EXPECT_EQ(bad[1].name, "empty.log");
}

TEST(DialogRules, ColumnChoice) {
  CColumnChoice c;
  c.codes = {3, 7};
  EXPECT_EQ(c.Candidates(), (std::vector<int32_t>{2, 4, 5, 6}));
  c.Add(5);
  EXPECT_EQ(c.selected, 2);
  c.Up();
  EXPECT_EQ(c.codes, (std::vector<int32_t>{3, 5, 7}));
  EXPECT_EQ(c.selected, 1);
  c.Down();
  c.Down();  // already the last: nothing
  EXPECT_EQ(c.codes, (std::vector<int32_t>{3, 7, 5}));
  EXPECT_EQ(c.selected, 2);
  c.Delete();  // the last: the one before is selected
  EXPECT_EQ(c.codes, (std::vector<int32_t>{3, 7}));
  EXPECT_EQ(c.selected, 1);
  c.selected = 0;
  c.Delete();
  EXPECT_EQ(c.codes, (std::vector<int32_t>{7}));
  EXPECT_EQ(c.selected, 0);
  c.Up();  // the first: nothing
  EXPECT_EQ(c.selected, 0);

  c.codes = {2, 3, 4, 5, 6};
  EXPECT_FALSE(c.CanAdd()) << "five columns at most";
  c.Add(7);
  EXPECT_EQ(c.codes.size(), 5u);
  c.codes = {};
  EXPECT_EQ(c.Candidates().size(), 5u) << "the chooser holds five";
  c.selected = -1;
  c.Delete();
  EXPECT_TRUE(c.codes.empty());
  EXPECT_EQ(ColumnCodeTitle(2), "Hosts");
}

}  // namespace
