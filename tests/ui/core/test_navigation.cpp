// The navigation state without windows: levels, the drill-down rules, the
// switches some kinds change and give back, and the title.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine/display/display.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "tests/common/testenv.h"
#include "ui/core/navigation.h"
#include "ui/core/panes.h"
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

}  // namespace
