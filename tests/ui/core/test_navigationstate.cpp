// The navigation state without windows: levels, the drill-down rules, the
// switches some kinds change and give back, and the title.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/display/display.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "platform/launcher.h"
#include "tests/common/testenv.h"
#include "tests/engine/hitmaker.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"

namespace {

class Navigation : public ::testing::Test {
 protected:
  void SetUp() override {
    g_project.Reset();
    g_uiQuery = CQueryParams{};
    ResetNavigation(0);
    g_topReportKind = kNoTopReportKind;
    Top(kReportPage);
  }
  void TearDown() override {
    g_uiQuery = CQueryParams{};
    ResetNavigation(0);
    g_topReportKind = kNoTopReportKind;
    g_runPending = false;
  }
  static void Top(int kind) {
    g_nav.requestedKind = static_cast<uint16_t>(kind);
    RestartAtTopLevel();
    RunCurrentQuery();
    g_runPending = false;
  }
  // A selected row at the current level with the given flag bits.
  static void Select(int flags) {
    CLevelFilter& entry = g_uiQuery.levels[GetCurrentLevel()];
    entry.rowFlags = flags;
  }
};

TEST_F(Navigation, DrillsDownFiveLevelsAndRefusesASixthBelowTheTop) {
  tvtest::MessageCapture capture;
  const int kinds[] = {kReportHost, kReportReferrer, kReportCountry, kReportHour, kReportOs};
  for (int kind : kinds) {
    Select(0);
    EXPECT_TRUE(CanDrillDown(kReportBrowser));
    ASSERT_TRUE(DrillDownToReport(kind));
    g_runPending = false;
  }
  EXPECT_EQ(GetCurrentLevel(), 5);
  Select(0);
  EXPECT_FALSE(CanDrillDown(kReportBrowser));
  EXPECT_FALSE(DrillDownToReport(kReportBrowser));
  EXPECT_EQ(GetCurrentLevel(), 5);
  EXPECT_EQ(GetCurrentReportType(), kReportOs);
  EXPECT_NE(capture.AllErrors().find("Max levels=6!"), std::string::npos);
  EXPECT_EQ(BuildMainTitle().substr(BuildMainTitle().size() - 12), " - Trailvane");

  // Back keeps the higher levels for Next; a new drill-down from below drops them.
  ASSERT_TRUE(MoveToLevel(2));
  EXPECT_EQ(GetCurrentReportType(), kReportReferrer);
  EXPECT_TRUE(MoveToLevel(5));
  ASSERT_TRUE(MoveToLevel(1));
  Select(0);
  ASSERT_TRUE(DrillDownToReport(kReportFolder));
  EXPECT_FALSE(MoveToLevel(3));
  EXPECT_FALSE(MoveToLevel(-1));
}

TEST_F(Navigation, DrillDownRulesByKindAndRow) {
  EXPECT_FALSE(CanDrillDown(kReportHost));  // no row chosen
  struct Case {
    int current, flags, kind;
    bool allowed;
  } cases[] = {
      {kReportPage, 0, kReportHost, true},
      {kReportPage, 0, kReportPage, false},  // the kind on show
      {kReportPage, 0, kReportKeyword, false},
      {kReportPage, 4, kReportKeyword, true},  // a referrer from a search engine
      {kReportPage, 4, kReportSearchEngine, true},
      {kReportPage, 0, kReportSpider, false},
      {kReportPage, 2, kReportSpider, true},
      {kReportBrowser, 2, kReportSpider, false},
      {kReportPage, 0, kReportArgument, false},
      {kReportPage, 1, kReportArgument, true},
      {kReportItems, 0, kReportCountry, true},
      {kReportItems, 0, kReportBrowser, true},
      {kReportItems, 0, kReportHost, false},
      {kReportItems, 0, kReportPage, false},
  };
  for (const Case& c : cases) {
    g_uiQuery.levels[0].kind = static_cast<uint32_t>(c.current);
    Select(c.flags);
    EXPECT_EQ(CanDrillDown(c.kind), c.allowed) << c.current << " -> " << c.kind << " flags " << c.flags;
  }
  g_uiQuery.levels[0].kind = kReportPage;
  g_runPending = true;  // a pending result disables every Go command
  EXPECT_FALSE(CanDrillDown(kReportHost));
}

TEST_F(Navigation, ArgumentsAndPagesOpenInTheBrowserOnlyWithASiteAddress) {
  for (int kind : {kReportArgument, kReportPage}) {
    g_uiQuery.levels[0].kind = static_cast<uint32_t>(kind);
    Select(0);
    free(g_project.url);
    g_project.url = nullptr;
    EXPECT_FALSE(CanOpenInBrowser()) << kind;
    g_project.url = strdup("http://www.example.com");
    EXPECT_TRUE(CanOpenInBrowser()) << kind;
  }
  free(g_project.url);
  g_project.url = nullptr;
}

TEST_F(Navigation, SpidersAtTheTopTurnTheirSwitchesOnAndAnotherKindGetsThemBack) {
  g_uiQuery.spidersOn = 0;
  g_uiQuery.errorsOn = 0;
  g_uiQuery.groupOn[8] = 0;
  Top(kReportSpider);
  EXPECT_EQ(g_uiQuery.spidersOn, 1u);
  EXPECT_EQ(g_uiQuery.errorsOn, 1u);
  EXPECT_EQ(g_uiQuery.groupOn[8], 1u);
  EXPECT_EQ(g_uiQuery.browserClass0On, 0u);
  EXPECT_EQ(BuildMainTitle(), std::string(ColumnTerm(kReportSpider)) + " - Trailvane");
  Top(kReportHost);
  EXPECT_EQ(g_uiQuery.spidersOn, 0u);
  EXPECT_EQ(g_uiQuery.errorsOn, 0u);
  EXPECT_EQ(g_uiQuery.groupOn[8], 0u);
  EXPECT_EQ(g_uiQuery.browserClass0On, 1u);
  EXPECT_FALSE(g_nav.savedFlag);
}

TEST_F(Navigation, OpenInBrowserHandsTheRowsAddressToTheLauncher) {
  std::vector<std::string> opened;
  tv::LaunchFn before = tv::SetLauncher([&](const std::string& target) {
    opened.push_back(target);
    return true;
  });
  hitmaker::Hits made;
  hitmaker::Hit page{"/shop/cart.html"};
  page.referrer = "https://blog.example.org/post?id=3";
  hitmaker::Hit bare{"/index.html"};
  struct Case {
    int kind;
    const hitmaker::Hit* hit;
    const char* site;
    std::string key, target;  // empty: nothing
  } cases[] = {
      {kReportPage, &page, "http://www.site.com/", "/shop/cart.html", "http://www.site.com/shop/cart.html"},
      {kReportEntry, &page, nullptr, "/shop/cart.html", ""},  // no site address
      {kReportReferrer, &page, nullptr, "https://blog.example.org/post?id=3", "https://blog.example.org/post?id=3"},
      {kReportReferrer, &bare, nullptr, "", ""},  // "No Referrer" is no address
      {kReportReferringSite, &page, nullptr, "https://blog.example.org/", "https://blog.example.org/"},
      {kReportReferringSite, &bare, nullptr, "", ""},
      {kReportHost, &page, "http://www.site.com", "0.0.0.0", ""},
  };
  for (const Case& c : cases) {
    opened.clear();
    free(g_project.url);
    g_project.url = c.site ? strdup(c.site) : nullptr;
    g_uiQuery.levels[0].kind = static_cast<uint32_t>(c.kind);
    CRowTable table;
    CRow* row = table.AddRow(made.Make(*c.hit));
    StoreLevelSelection(row, 1, 1, &row);
    std::string key;
    EXPECT_EQ(GetCurrentSubreportKey(&key), !c.key.empty()) << c.kind;
    EXPECT_EQ(key, c.key) << c.kind;
    EXPECT_EQ(OpenSelectedInBrowser(), !c.target.empty()) << c.kind;
    EXPECT_EQ(opened, c.target.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.target}) << c.kind;
    // No row: nothing to open and no key.
    StoreLevelSelection(nullptr, 0, 0, nullptr);
    EXPECT_FALSE(GetCurrentSubreportKey(&key));
    EXPECT_FALSE(OpenSelectedInBrowser());
  }
  free(g_project.url);
  g_project.url = nullptr;
  tv::SetLauncher(before);
}

TEST_F(Navigation, SummaryLinesOpenTheirReportWithTheirSwitches) {
  g_project.groups.Insert(0, "Pages", ".html", kGroupPages);
  g_project.groups.Insert(1, "Images", ".gif", kGroupOther);
  struct Case {
    int sendReceive, row, kind;
    uint32_t errors, success, spiders, humans, noGroup;
  } cases[] = {
      {1, 0, kReportHost, 1, 1, 1, 1, 0},        {1, 6, kReportPage, 1, 0, 1, 1, 0},
      {0, 5, kReportPage, 1, 0, 1, 1, 0},        // no Receive line: Errors is one up
      {1, 12, kReportEntry, 1, 1, 1, 1, 0},      {0, 13, kReportPage, 1, 1, 0, 1, 0},
      {1, 13, kReportSpiderTree, 1, 1, 1, 1, 0}, {1, 16, -1, 1, 1, 1, 1, 0},
  };
  for (const Case& c : cases) {
    g_uiQuery = CQueryParams{};
    g_uiQuery.spidersOn = g_uiQuery.errorsOn = 0;
    g_uiQuery.levels[0].kind = kReportSummary;
    g_nav.savedFlag = false;
    g_project.send_receive = static_cast<uint8_t>(c.sendReceive);
    EXPECT_EQ(PrepareSummaryRowReport(c.row), c.kind) << c.row;
    EXPECT_TRUE(g_nav.savedFlag);
    EXPECT_EQ(g_nav.saved.spidersOn, 0u);  // what Back gives back
    if (c.kind == kReportHost || c.kind == kReportPage || c.kind == kReportEntry) {
      EXPECT_EQ(g_uiQuery.spidersOn, c.spiders) << c.row;
      EXPECT_EQ(g_uiQuery.humansOn, c.humans) << c.row;
    }
    if (c.kind == kReportPage || c.kind == kReportEntry) {
      EXPECT_EQ(g_uiQuery.errorsOn, c.errors) << c.row;
      EXPECT_EQ(g_uiQuery.successOn, c.success) << c.row;
      EXPECT_EQ(g_uiQuery.groupOn[8], c.noGroup) << c.row;
    }
  }
  // The page views line counts only the groups of pages.
  PrepareSummaryRowReport(13);
  EXPECT_EQ(g_uiQuery.groupOn[0], 1u);
  EXPECT_EQ(g_uiQuery.groupOn[1], 0u);
  g_project.send_receive = 0;
}

}  // namespace
