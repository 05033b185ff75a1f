// The display-free side of the report panes: which pane shows a kind, the
// filters' query switches, the chart's size and place, the spider visit tree
// and the workspace options the engine takes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/textutil.h"
#include "engine/analysis/analysis.h"
#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/store/reportkind.h"
#include "output/chart.h"
#include "tests/engine/hitmaker.h"
#include "ui/core/chartlayout.h"
#include "ui/core/detailtree.h"
#include "ui/core/panetables.h"
#include "ui/core/workspaceoptions.h"

namespace {

int Slot(PaneClass cls, int number = 0) { return FirstPaneSlot(cls) + number; }

TEST(PaneTables, KindsGoToTheirPanesAtTopLevelAndInDrillDowns) {
  EXPECT_EQ(kPaneSlotCount, 23);
  struct Case {
    int kind, top, drill;
  } cases[] = {
      {kReportNone, Slot(kPaneWorkspace), -1},
      {kReportSpiderTree, Slot(kPaneDetailTree), Slot(kPaneDetailTree)},
      {kReportSummary, Slot(kPaneSummary), -1},
      {kReportBrowser, Slot(kPaneAgent), Slot(kPaneAgent)},
      {kReportPage, Slot(kPaneReportList, 0), Slot(kPaneReportList, 0)},
      {kReportFileType, Slot(kPaneReportList, 1), -1},
      {kReportChildPages, Slot(kPaneStart), Slot(kPaneReportList, 1)},
      {kReportHost, Slot(kPaneUserList, 0), Slot(kPaneUserList, 0)},
      {kReportReferringSite, Slot(kPaneUserList, 6), Slot(kPaneUserList, 6)},
      {kReportKeyword, Slot(kPaneSubreportList, 0), Slot(kPaneSubreportList, 0)},
      {kReportStatus, Slot(kPaneSubreportList, 2), -1},
      {kReportUser, Slot(kPaneSubreportList, 3), Slot(kPaneSubreportList, 2)},
      {kReportArgument, Slot(kPaneStart), Slot(kPaneSubreportList, 5)},
      {kReportDate, Slot(kPaneSubreportList, 2), Slot(kPaneSubreportList, 6)},
      {kReportItems, Slot(kPaneStart), Slot(kPaneSubreportList, 7)},
      {kReportError, Slot(kPaneStart), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TopLevelPaneSlot(c.kind), c.top) << "kind " << c.kind;
    EXPECT_EQ(DrillDownPaneSlot(c.kind), c.drill) << "kind " << c.kind;
  }
  // Every slot maps back to its class and number.
  EXPECT_EQ(PaneSlot(Slot(kPaneUserList, 6)).cls, kPaneUserList);
  EXPECT_EQ(PaneSlot(Slot(kPaneUserList, 6)).number, 6);
  EXPECT_EQ(PaneSlot(kPaneSlotCount - 1).cls, kPaneStart);
  // No kind lands in the chart pane or outside the slots.
  for (int kind = 0; kind <= kMaxReportKind; ++kind) {
    EXPECT_NE(TopLevelPaneSlot(kind), Slot(kPaneChart));
    EXPECT_LT(TopLevelPaneSlot(kind), kPaneSlotCount);
    EXPECT_LT(DrillDownPaneSlot(kind), kPaneSlotCount);
  }
}

TEST(PaneFilters, RadioValuesSetTheQuerySwitchesAndReadBack) {
  struct Case {
    int value;
    uint32_t first, second;  // spiders/errors, humans/successful
  } cases[] = {{0, 1, 1}, {1, 0, 1}, {2, 1, 0}};
  for (const Case& c : cases) {
    CQueryParams p;
    ApplySpiderChoice(c.value, p);
    EXPECT_EQ(p.spidersOn, c.first);
    EXPECT_EQ(p.humansOn, c.second);
    EXPECT_EQ(SpiderChoiceOf(p), c.value);
    ApplyResponseChoice(c.value, p);
    EXPECT_EQ(p.errorsOn, c.first);
    EXPECT_EQ(p.successOn, c.second);
    EXPECT_EQ(ResponseChoiceOf(p), c.value);
  }
}

TEST(ChartLayout, PictureIsClampedAndCentredByItsOwnSize) {
  struct Case {
    int paneWidth, paneHeight, width, height, x, y;
  } cases[] = {
      {300, 150, 400, 200, kChartLeft, 0},             // narrow: clamped up, never left of the room
      {800, 600, 655, 550, kChartLeft + 25, 25},       // wide: 705 - 50, centred in 705
      {600, 400, 505, 400, kChartLeft, 0},             // between the clamps: fills the room
      {1200, 900, 1055, 850, kChartLeft + 25, 25},
  };
  for (const Case& c : cases) {
    ChartPlacement p = PlaceChart(c.paneWidth - kChartLeft, c.paneHeight);
    EXPECT_EQ(p.width, c.width) << c.paneWidth;
    EXPECT_EQ(p.height, c.height) << c.paneHeight;
    EXPECT_EQ(p.x, c.x) << c.paneWidth;
    EXPECT_EQ(p.y, c.y) << c.paneHeight;
    // The picture never runs past the room's right edge when the room is wide enough.
    if (c.paneWidth - kChartLeft >= 400) {
      EXPECT_LE(p.x + p.width, c.paneWidth);
    }
  }
}

TEST(ChartLayout, StyleOfTypeAndSource) {
  EXPECT_EQ(ChartStyleOf(0, 0), 0x09u);
  EXPECT_EQ(ChartStyleOf(1, 1), kChartForcePie | kChartHits);
  EXPECT_EQ(ChartStyleOf(2, 2), kChartForceBar | kChartBytes);
  EXPECT_EQ(ChartStyleOf(7, 3), 1u | kChartVisitors);
}

class DetailTree : public ::testing::Test {
 protected:
  CRowTable table;
  hitmaker::Hits hits;
  void Add(unsigned day, uint16_t spider, const char* page, uint16_t status = 200) {
    hitmaker::Hit h;
    h.day = day;
    h.index = spider;
    h.page = page;
    h.status = status;
    table.AddRow(hits.Make(h))->SetHits(1);
  }
  // Level and text of every node, as the tree shows them.
  std::vector<std::string> Walk(int order) {
    std::vector<std::string> out;
    WalkDetailTree(table, order, [&](const DetailNode& n) {
      std::string key = n.key == kDetailDate ? "D" : n.key == kDetailSpider ? "S" : "P";
      std::string text = n.key == kDetailPage ? n.text : key + std::to_string(n.key == kDetailDate ? n.row->Record()->Day() : n.row->Record()->RobotIndex());
      out.push_back(std::to_string(n.level) + ":" + text + "#" + std::to_string(n.image));
    });
    return out;
  }
};

TEST_F(DetailTree, RepeatedVisitsShareTheirParentsAndOrdersRegroup) {
  Add(6, 2, "/b.html");
  Add(5, 1, "/a.html");
  Add(5, 1, "/a.html");
  Add(5, 2, "/gone.html", 404);
  Add(5, 1, "");  // no page: not shown
  std::vector<std::string> dateFirst = {"0:D5#16", "1:S1#9",         "2:/a.html#2", "2:/a.html#2",
                                        "1:S2#9",  "2:/gone.html#8", "0:D6#16",     "1:S2#9", "2:/b.html#2"};
  EXPECT_EQ(Walk(0), dateFirst);
  std::vector<std::string> pageFirst = {"0:/a.html#2", "1:S1#9", "2:D5#16", "2:D5#16", "0:/b.html#2",
                                        "1:S2#9",      "2:D6#16", "0:/gone.html#8", "1:S2#9", "2:D5#16"};
  EXPECT_EQ(Walk(5), pageFirst);
  // Spider, page, date: the 404 page keeps its image as a second level.
  std::vector<std::string> spiderFirst = {"0:S1#9", "1:/a.html#2", "2:D5#16", "2:D5#16", "0:S2#9",
                                          "1:/b.html#2", "2:D6#16", "1:/gone.html#8", "2:D5#16"};
  EXPECT_EQ(Walk(3), spiderFirst);
}

TEST_F(DetailTree, NoRowsAndOrdersOutOfRange) {
  EXPECT_TRUE(Walk(0).empty());
  Add(5, 3, "/z.html");
  Add(5, 1, "/y.html");
  CRowIndex index;
  index.Build(table);
  SortDetailItems(9, index);  // left as it was
  EXPECT_EQ(index[0]->Record()->RobotIndex(), 3);
  SortDetailItems(2, index);
  EXPECT_EQ(index[0]->Record()->RobotIndex(), 1);
}

TEST(DocumentOptions, CopiesExactlyTheListedValues) {
  CWorkspaceFile ws;
  WorkspaceCommon& c = ws.common;
  c.add_countr = 0, c.sh_no_refer = 0, c.add_day_week = 0;
  c.dt_format = 1, c.dt_separator = 2, c.dt_4year = 1, c.dt_fmnth = 1, c.dt_dweek = 1, c.tm_format = 1;
  c.zone_server = -3, c.zone_report = 4;
  c.ignore_argm = 1, c.case_page = 1, c.auto_robot = 1, c.save_a_robot = 0, c.confirmation_robot = 0;
  c.not_use_cookie = 1, c.case_kwd = 0, c.host_represnt = 2;
  c.int_reff = 0, c.reff_se = 0, c.dns_lookup = 1, c.ip_lookup = 1, c.session = 45, c.send_receive = 1;
  c.expand_groups = 0, c.subdomain = 1;
  SetStr(&c.URL, "www.example.org");
  SetStr(&c.index, "index.html;default.htm");
  SetStr(&c.language, "Deutsch");
  ws.groups.Insert(0, "Pages", ".html", kGroupPages);
  ws.groups.Insert(1, "Images", ".png", kGroupOther);

  CProject project;
  SettingsBlock saved = g_settings;
  CAnalysisOptions savedAnalysis = g_analysisOptions;
  LoadDocumentOptions(ws, project);

  EXPECT_EQ(g_settings.add_contry, 0);
  EXPECT_EQ(g_settings.no_refer, 0);
  EXPECT_EQ(g_settings.add_day_week, 0);
  EXPECT_EQ(g_settings.dt_format, 1);
  EXPECT_EQ(g_settings.dt_separator, 2);
  EXPECT_EQ(g_settings.zone_server, -3);
  EXPECT_EQ(g_settings.zone_report, 4);
  EXPECT_EQ(g_settings.add_proc_h, saved.add_proc_h);  // not a workspace value
  EXPECT_STREQ(g_settings.Language, saved.Language);   // the language stays with the workspace
  EXPECT_EQ(project.display.dt_format, 1);
  EXPECT_EQ(project.display.ignore_argm, 1);
  EXPECT_EQ(project.display.case_page, 1);
  EXPECT_EQ(project.display.not_use_cookie, 1);
  EXPECT_EQ(project.display.case_kwd, 0);
  EXPECT_EQ(project.display.host_represnt, 2);
  EXPECT_EQ(g_analysisOptions.auto_robot, 1);
  EXPECT_EQ(g_analysisOptions.save_a_robot, 0);
  EXPECT_EQ(g_analysisOptions.confirmation_robot, 0);
  EXPECT_EQ(project.int_reff, 0u);
  EXPECT_EQ(project.dns_lookup, 1u);
  EXPECT_EQ(project.ip_lookup, 1u);
  EXPECT_EQ(project.session, 45u);
  EXPECT_EQ(project.send_receive, 1u);
  EXPECT_EQ(project.expand_groups, 0u);
  EXPECT_EQ(project.subdomain, 1u);
  EXPECT_STREQ(project.url, "www.example.org");
  EXPECT_NE(project.url, c.URL);  // a copy
  EXPECT_STREQ(project.index, "index.html;default.htm");
  EXPECT_EQ(project.options_copied, 1u);
  ASSERT_EQ(project.groups.Count(), 2);
  EXPECT_STREQ(project.groups[1].name, "Images");
  EXPECT_FALSE(ws.IsDirty());

  g_settings = saved;
  g_analysisOptions = savedAnalysis;
}

TEST(WorkspaceLists, LinesOfSourcesAndGroups) {
  CLogSourceList list;
  CLogSource* s = list.AddEmpty();
  CLogSourceList::InitEntry(s);
  EXPECT_EQ(LogSourceLine(*s), "-");
  SetStr(&s->file, "/var/log/a.log;/var/log/b.log");
  EXPECT_EQ(LogSourceLine(*s), "/var/log/a.log;/var/log/b.log");
  s->type = kSourceOdbc;
  SetStr(&s->db_dns, "weblogs");
  SetStr(&s->db_table, "hits");
  EXPECT_EQ(LogSourceLine(*s), "ODBC (DNS='weblogs', Table='hits')");
  s->type = kSourceFtp;
  SetStr(&s->server, "ftp.example.org");
  EXPECT_EQ(LogSourceLine(*s), "FTP (Server='ftp.example.org')");
  s->type = kSourceHttp;
  EXPECT_EQ(LogSourceLine(*s), "HTTP (URL='')");
  CGroupList groups;
  groups.Insert(0, "", ".x", kGroupOther);
  EXPECT_EQ(GroupLine(groups[0]), "-");
}

}  // namespace
