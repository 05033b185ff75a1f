// The main window's display-free rules: the dates its pickers show after an
// analysis and the update answers of its commands in the states that matter.
#include <gtest/gtest.h>

#include "engine/analysis/analysis.h"
#include "engine/display/display.h"
#include "engine/store/reportkind.h"
#include "ui/core/mainwindowrules.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/reportcommands.h"
#include "ui/core/uistate.h"

namespace {

TEST(PickerDate, YearsFrom1980OnAreKeptOthersMovedIntoTheRange) {
  struct Case {
    uint32_t in, out;
  } cases[] = {
      {PackDate(17, 4, 1975), PackDate(17, 4, 1980)},  // raised
      {PackDate(1, 1, 1980), PackDate(1, 1, 1980)},
      {PackDate(5, 3, 2024), PackDate(5, 3, 2024)},
      {PackDate(31, 12, 2031), PackDate(31, 12, 2031)},  // kept: a current log's dates
      {PackDate(19, 1, 2038), PackDate(19, 1, 2038)},
      {PackDate(29, 2, 2024), PackDate(29, 2, 2024)},
      {PackDate(29, 2, 1976), PackDate(29, 2, 1980)},    // leap year to leap year
      {PackDate(29, 2, 60000), PackDate(28, 2, 9999)},   // far future: the last year a picker shows
      {PackDate(3, 7, 0), PackDate(3, 7, 1980)},
      {0, 0},                                            // no date
      {PackDate(31, 2, 2024), 0},                        // no such day
      {PackDate(1, 13, 2024), 0},
      {PackDate(0, 5, 2024), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(PickerDate(c.in), c.out) << std::hex << c.in;
}

class FrameCommandUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_uiQuery = CQueryParams{};
    g_nav.highestLevel = 0;
    g_nav.chartMode = false;
    g_nav.previewMode = -1;
    g_runPending = false;
    g_topReportKind = kNoTopReportKind;
    g_logFileReport.Free();
  }
  void TearDown() override { SetUp(); }

  // Hosts at level 0, with or without a chosen row.
  static void ShowHosts(bool rowChosen) {
    g_topReportKind = kReportHost;
    g_uiQuery.levels[0].kind = kReportHost;
    g_uiQuery.levels[0].rowFlags = rowChosen ? 0 : -1;
  }

  static CommandUiAnswer Ask(int command, FrameUiContext context = {}) {
    CommandUiAnswer a;
    EXPECT_TRUE(FrameCommandUi(command, context, &a)) << command;
    return a;
  }
};

constexpr int kPrevious = 32773, kNext = 32774, kChart = 32805, kTable = 32811, kExportText = 32803;
constexpr int kCopy = 57634, kWhois = 32818, kSubTable = 32841, kSubChart = 32840, kCloseSub = 32842;
constexpr int kOptions = 32796, kFind = 32806, kLogReport = 32846, kReload = 32813;

TEST_F(FrameCommandUiTest, NoReportYet) {
  EXPECT_FALSE(Ask(kExportText).enabled);
  EXPECT_FALSE(Ask(kCopy).enabled);
  EXPECT_FALSE(Ask(kReload).enabled);
  EXPECT_FALSE(Ask(kChart).enabled);
  EXPECT_FALSE(Ask(ReportCommandOf(kReportPage).commandId).enabled);
  EXPECT_TRUE(Ask(kOptions).enabled);
  EXPECT_FALSE(Ask(kLogReport).enabled);
  g_logFileReport.Add("access.log", 10, 1);
  EXPECT_TRUE(Ask(kLogReport).enabled);
  // Commands of others are not answered here.
  CommandUiAnswer a;
  EXPECT_FALSE(FrameCommandUi(32816, {}, &a));  // Host Lookup
}

TEST_F(FrameCommandUiTest, ReportShownWithAndWithoutARowAndWhilePending) {
  ShowHosts(false);
  FrameUiContext list;
  list.reportListCurrent = true;
  EXPECT_TRUE(Ask(kExportText).enabled);
  EXPECT_TRUE(Ask(kReload).enabled);
  EXPECT_TRUE(Ask(kFind, list).enabled);
  EXPECT_FALSE(Ask(kFind).enabled);  // no list current
  EXPECT_FALSE(Ask(kCopy).enabled);
  EXPECT_FALSE(Ask(kWhois).enabled);
  EXPECT_FALSE(Ask(ReportCommandOf(kReportBrowser).commandId).enabled);
  EXPECT_FALSE(Ask(kPrevious).enabled);
  EXPECT_EQ(Ask(kChart).checked, 0);
  EXPECT_EQ(Ask(kTable).checked, 1);

  ShowHosts(true);
  EXPECT_TRUE(Ask(kCopy).enabled);
  EXPECT_TRUE(Ask(kWhois).enabled);
  EXPECT_TRUE(Ask(ReportCommandOf(kReportBrowser).commandId).enabled);
  // Visitors are answered as hosts: not from the hosts report itself.
  EXPECT_FALSE(Ask(ReportCommandOf(kReportVisitor).commandId).enabled);
  EXPECT_FALSE(Ask(ReportCommandOf(kReportHost).commandId).enabled);

  g_runPending = true;
  for (int command : {kExportText, kReload, kOptions, kChart, kTable, kNext, 32775, 32776})
    EXPECT_FALSE(Ask(command).enabled) << command;
  EXPECT_FALSE(Ask(kFind, list).enabled);
  EXPECT_FALSE(Ask(ReportCommandOf(kReportBrowser).commandId).enabled);
}

// Chart and Chart Frame only for the kinds that have a chart picture.
TEST_F(FrameCommandUiTest, ChartOnlyForKindsWithAPicture) {
  constexpr int kChartFrame = 32845;
  struct Case {
    int kind;
    bool chart;
  } cases[] = {
      {kReportPage, false},    {kReportHost, false},        {kReportVisitor, false}, {kReportSummary, false},
      {kReportSpiderTree, false}, {kReportBrowser, true},   {kReportCountry, true},  {kReportHour, true},
      {kReportWeekday, true}, {kReportSearchEngine, true}, {kReportDate, true},
  };
  for (const Case& c : cases) {
    g_topReportKind = static_cast<uint16_t>(c.kind);
    g_uiQuery.levels[0].kind = c.kind;
    g_uiQuery.levels[0].rowFlags = -1;
    EXPECT_EQ(Ask(kChart).enabled, c.chart) << "kind " << c.kind;
    EXPECT_EQ(Ask(kChartFrame).enabled, c.chart) << "kind " << c.kind;
    EXPECT_EQ(CanShowChart(), c.chart) << "kind " << c.kind;
  }
}

TEST_F(FrameCommandUiTest, LevelsBackAndNext) {
  ShowHosts(true);
  g_uiQuery.levelCount = 1;
  g_uiQuery.levels[1].kind = kReportBrowser;
  g_uiQuery.levels[1].rowFlags = -1;
  g_nav.highestLevel = 2;
  EXPECT_TRUE(Ask(kPrevious).enabled);
  EXPECT_TRUE(Ask(kNext).enabled);
  g_nav.highestLevel = 1;
  EXPECT_FALSE(Ask(kNext).enabled);
}

TEST_F(FrameCommandUiTest, SubreportCommandsFollowTheFrame) {
  ShowHosts(true);
  FrameUiContext hidden, shown;
  shown.subreportShown = true;
  EXPECT_TRUE(Ask(kSubTable, hidden).enabled);
  EXPECT_TRUE(Ask(kSubChart, hidden).enabled);
  EXPECT_FALSE(Ask(kCloseSub, hidden).enabled);
  // Shown as a table: the chart can replace it, the table is there already.
  g_nav.previewMode = 1;
  EXPECT_FALSE(Ask(kSubTable, shown).enabled);
  EXPECT_TRUE(Ask(kSubChart, shown).enabled);
  EXPECT_TRUE(Ask(kCloseSub, shown).enabled);
  g_nav.previewMode = 0;
  EXPECT_TRUE(Ask(kSubTable, shown).enabled);
  EXPECT_FALSE(Ask(kSubChart, shown).enabled);
  // Close is there exactly while the frame is, whatever is on show above it.
  g_nav.chartMode = true;
  EXPECT_FALSE(Ask(kSubTable, hidden).enabled);
  EXPECT_TRUE(Ask(kCloseSub, shown).enabled);
  g_nav.chartMode = false;
  g_uiQuery.levels[0].kind = kReportSummary;
  EXPECT_FALSE(Ask(kSubTable, hidden).enabled);
  EXPECT_TRUE(Ask(kCloseSub, shown).enabled);
}

TEST_F(FrameCommandUiTest, EveryListedCommandIsAnswered) {
  CommandUiAnswer a;
  for (int command : FrameUiCommands()) EXPECT_TRUE(FrameCommandUi(command, {}, &a)) << command;
}

}  // namespace
