// Menu texts, the report command table and the Whois address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/config/workspace.h"
#include "engine/store/reportkind.h"
#include "platform/launcher.h"
#include "ui/core/menutext.h"
#include "ui/core/reportcommands.h"
#include "ui/core/whois.h"

namespace {

TEST(MenuText, SlipsInAcceleratorsBecomeTheKeysTheyMean) {
  struct Case {
    const char* written;
    const char* meant;
  } cases[] = {
      {"&Pages\tAltr+P", "&Pages\tAlt+P"},
      {"&Referrer Pages\tAtl+R", "&Referrer Pages\tAlt+R"},
      {"Days Of &Week\tAtt+W", "Days Of &Week\tAlt+W"},
      {"Copy To Clipboard\t\tCtrl+C", "Copy To Clipboard\tCtrl+C"},
      {"&Back\tAlt+<-", "&Back\tAlt+Left"},
      {"&Next\tAlt+->", "&Next\tAlt+Right"},
      {"&Reload Log Files\tF5", "&Reload Log Files\tF5"},
      {"Zoom\tCtrl++", "Zoom\tCtrl++"},
      {"Users", "Users"},
      {"Odd\t", "Odd"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeMenuText(c.written), c.meant) << c.written;
}

std::vector<int> Kinds(const ReportCommand* table, int n, int marked) {
  std::vector<int> kinds;
  for (int i = 0; i < n; ++i)
    if (table[i].marked == marked) kinds.push_back(table[i].kind);
  return kinds;
}

TEST(ReportCommands, TableOfHostsWithCityData) {
  ReportCommand table[kMaxReportCommands];
  int n = BuildReportCommandTable(kReportHost, table, true, true);
  EXPECT_EQ(Kinds(table, n, 0), (std::vector<int>{43, 1, 24, 6, 4, 5, 32, 22, 26, 27, 10, 13, 30}));
  EXPECT_EQ(Kinds(table, n, 1), (std::vector<int>{7, 20, 21, 3, 8, 9, 28}));
  // The marked entries come last.
  for (int i = 13; i < n; ++i) EXPECT_EQ(table[i].marked, 1);
  EXPECT_EQ(table[0].commandId, 32795u);
  EXPECT_EQ(table[0].key, 'M');

  // Pages: child pages join, no cities without city data.
  n = BuildReportCommandTable(kReportPage, table, true, false);
  std::vector<int> all = Kinds(table, n, 0);
  for (int k : Kinds(table, n, 1)) all.push_back(k);
  EXPECT_EQ(all, (std::vector<int>{43, 2, 19, 24, 7, 3, 6, 4, 5, 32, 22, 26, 27, 10, 13, 30, 8, 9, 28, 29}));

  // Without all commands only the kinds that have a chart picture stay
  // (search engines, referrer types, spiders, dates, hours, weekdays,
  // countries, cities, regions, systems, browsers), in the same order and
  // with their marks.
  n = BuildReportCommandTable(kReportHost, table, false, true);
  EXPECT_EQ(Kinds(table, n, 0), (std::vector<int>{5, 32, 26, 27, 10, 13}));
  EXPECT_EQ(Kinds(table, n, 1), (std::vector<int>{7, 20, 21, 8, 9}));
  for (int i = 0; i < n; ++i) EXPECT_EQ(table[i].marked, i >= 6 ? 1 : 0) << i;
  // Without city data neither cities nor regions.
  n = BuildReportCommandTable(kReportHost, table, false, false);
  EXPECT_EQ(Kinds(table, n, 1), (std::vector<int>{7, 8, 9}));
}

TEST(ReportCommands, MenuTextGetsTheAcceleratorLetter) {
  ReportCommand table[kMaxReportCommands];
  int n = BuildReportCommandTable(kReportHost, table, true, false);
  std::vector<std::string> texts;
  for (int i = 0; i < n; ++i) texts.push_back(ReportCommandText(table[i]));
  EXPECT_EQ(texts[0], "Ite&ms\tAlt+M");
  EXPECT_EQ(texts[1], "&Pages(Files)\tAlt+P");
  bool users = false;
  for (const std::string& t : texts) {
    EXPECT_EQ(t.find('/'), std::string::npos) << t;
    EXPECT_EQ(t.find("\t\t"), std::string::npos) << t;
    if (t == "Users") users = true;  // no letter: the name as it stands
  }
  EXPECT_TRUE(users);
}

TEST(ReportCommands, FilterFlagsOfAKind) {
  struct Case {
    int kind;
    bool spiders, responses, groups;
  } cases[] = {{0, false, false, false}, {1, true, true, true},   {26, false, true, true},
               {23, true, false, true},  {14, true, true, false}, {40, false, false, false}};
  for (const Case& c : cases) {
    FilterFlags f = GetFilterFlagsForType(c.kind);
    EXPECT_EQ(f.spiders, c.spiders) << c.kind;
    EXPECT_EQ(f.responses, c.responses) << c.kind;
    EXPECT_EQ(f.groups, c.groups) << c.kind;
  }
}

class Whois : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = tv::SetLauncher([this](const std::string& target) {
      opened.push_back(target);
      return true;
    });
  }
  void TearDown() override { tv::SetLauncher(m_old); }
  std::vector<std::string> opened;

 private:
  tv::LaunchFn m_old;
};

TEST_F(Whois, AddressPreferredPlaceholderInAnyCaseHostEncoded) {
  const std::string t = "https://whois.test/q?h=[URL]&again=[url]";
  EXPECT_TRUE(OpenWhois(t, "host.example", 0x0A000102));
  EXPECT_TRUE(OpenWhois(t, "h\xC3\xA9 st&x", 0));
  EXPECT_FALSE(OpenWhois(t, "", 0));  // neither name nor address
  EXPECT_FALSE(OpenWhois("", "host.example", 1));
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], "https://whois.test/q?h=10.0.1.2&again=10.0.1.2");
  EXPECT_EQ(opened[1], "https://whois.test/q?h=h%C3%A9%20st%26x&again=h%C3%A9%20st%26x");

  // The shipped template is a public web service taking the host in its address.
  EXPECT_TRUE(OpenWhois(kDefaultWhoisUrl, "", 0x08080404));
  EXPECT_EQ(opened.back(), "https://www.whois.com/whois/8.8.4.4");

  // Long hosts and templates are kept whole.
  std::string host(3000, 'a');
  std::string longTemplate = std::string(2000, 'x') + "[Url]" + std::string(2000, 'y');
  EXPECT_EQ(FillWhoisTemplate(longTemplate, host), std::string(2000, 'x') + host + std::string(2000, 'y'));
  EXPECT_EQ(FillWhoisTemplate("no placeholder [UR", "h"), "no placeholder [UR");
}

}  // namespace
