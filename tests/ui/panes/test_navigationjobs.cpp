// Drill-down through the navigator and the panes over a fixture log: after
// every move the title, the navigator and the list's rows must agree with
// what the query engine gives for the same levels.
#include <gtest/gtest.h>
#include <wx/wx.h>

#include <wx/uiaction.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/analysis/analysis.h"
#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/listpick.h"
#include "tests/ui/navwindow.h"
#include "tests/ui/wxtest.h"
#include "ui/app/analysisstart.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportpanes.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/worker.h"

namespace {

std::string FixturePath() { return std::string(TV_UI_TEST_DATA_DIR) + "/panes.log"; }

bool WaitJob() { return wxtest::PumpUntil([] { return TestNavWindow::Idle(); }, 20000); }

std::vector<uint32_t> SortedHits(const CRowTable& table) {
  std::vector<uint32_t> hits;
  for (int32_t i = 0; i < table.RowCount(); ++i) hits.push_back(table.GetRow(i)->Hits());
  std::sort(hits.begin(), hits.end());
  return hits;
}

// The chosen rows' levels above, as the user picked them.
struct Pick {
  int kind;
  CHitRecord* record;
  int flags;
};

class NavigationWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    window = TestNavWindow::OpenForSuite(FixturePath(), kReportPage);
    ASSERT_NE(window, nullptr);
  }
  static void TearDownTestSuite() { TestNavWindow::CloseForSuite(window); }

  static CReportPane* ShownList() { return ListPane(CurrentPaneSlot()); }

  // Chooses the list item with the most hits (the first item after the sort).
  static Pick ChooseRow() {
    CReportPane* pane = ShownList();
    EXPECT_NE(pane, nullptr);
    CSortListCtrl* list = pane->reportList;
    long item = static_cast<long>(list->leadingRows);
    EXPECT_TRUE(wxtest::ChooseListRow(list, item));
    CRow* row = list->RowOfItem(item);
    return {GetCurrentReportType(), row ? row->Record() : nullptr, row ? row->Flags() & kRowFlagMask : 0};
  }

  // Title, navigator and rows of the level on show against picks (the rows
  // chosen above) and kind.
  static void Check(const std::vector<Pick>& picks, int kind) {
    const int level = static_cast<int>(picks.size());
    std::string title;
    for (const Pick& p : picks) title += std::string(ColumnTerm(p.kind)) + " / ";
    title += std::string(ColumnTerm(kind)) + " - Trailvane";
    EXPECT_EQ(tv::WxToBytes(window->GetTitle()), title);
    EXPECT_EQ(GetCurrentLevel(), level);
    EXPECT_EQ(GetCurrentReportType(), kind);

    CRMenu* nav = window->navigator;
    wxTreeItemId top = nav->ItemOfKind(picks.empty() ? kind : picks[0].kind);
    EXPECT_EQ(nav->ShownLevels(), level);
    wxTreeItemId parent = top;
    for (int i = 1; i <= level; ++i) {
      wxTreeItemId item = nav->LevelItem(i);
      ASSERT_TRUE(item.IsOk()) << i;
      EXPECT_EQ(nav->Tree()->GetItemParent(item), parent);
      int k = i < level ? picks[i].kind : kind;
      EXPECT_EQ(tv::WxToBytes(nav->Tree()->GetItemText(item)), ColumnTerm(k));
      parent = item;
    }
    EXPECT_EQ(nav->Tree()->GetChildrenCount(parent, false), 0u);
    EXPECT_EQ(nav->Tree()->GetSelection(), level ? nav->LevelItem(level) : top);

    CQueryParams params;
    params.levelCount = level;
    for (int i = 0; i < level; ++i) params.levels[i] = MakeLevelFilter(picks[i].kind, picks[i].record, picks[i].flags);
    params.levels[level].kind = static_cast<uint32_t>(kind);
    CRowTable expected;
    RunQuery(g_project, kind, expected, params);
    CReportPane* pane = ShownList();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->IsShown());
    ASSERT_NE(pane->reportList->rowTable, nullptr);
    EXPECT_EQ(pane->reportList->rowTable, &GetCurrentQueryState());
    EXPECT_EQ(pane->reportList->rows.Count(), static_cast<uint32_t>(expected.RowCount()));
    EXPECT_EQ(SortedHits(*pane->reportList->rowTable), SortedHits(expected));
    EXPECT_GT(expected.RowCount(), 0);
    EXPECT_FALSE(g_runPending);
  }

  static TestNavWindow* window;
};
TestNavWindow* NavigationWindow::window = nullptr;

TEST_F(NavigationWindow, DrillDownBackNextAndSwitchFromTheNavigator) {
  Check({}, kReportPage);
  Pick page = ChooseRow();
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  Check({page}, kReportHost);
  Pick host = ChooseRow();
  GoToReport(kReportBrowser, 1);
  ASSERT_TRUE(WaitJob());
  Check({page, host}, kReportBrowser);
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("nav_drilldown"));

  GoBackToLevel(-1);
  ASSERT_TRUE(WaitJob());
  Check({page}, kReportHost);
  GoBackToLevel(-1);
  ASSERT_TRUE(WaitJob());
  Check({}, kReportPage);
  GoForwardLevel();
  ASSERT_TRUE(WaitJob());
  Check({page}, kReportHost);

  // The report item of the kind already at the top returns to its level 0.
  window->navigator->Tree()->SelectItem(window->navigator->ItemOfKind(kReportPage));
  ASSERT_TRUE(WaitJob());
  Check({}, kReportPage);

  window->navigator->Tree()->SelectItem(window->navigator->ItemOfKind(kReportReferrer));
  ASSERT_TRUE(WaitJob());
  Check({}, kReportReferrer);
  // Switching to the kind on show does nothing.
  SwitchTopReport(kReportReferrer);
  EXPECT_FALSE(IsWorkerBusy());

  window->navigator->Tree()->SelectItem(window->navigator->ItemOfKind(kReportPage));
  ASSERT_TRUE(WaitJob());
  Check({}, kReportPage);
}

// The navigator holds every report kind under its group, in the order the
// user reads them, each with its image, every group open; a real click on a
// report's line opens that report.
TEST_F(NavigationWindow, NavigatorGroupsOrderAndIconsAndAClickOpensAReport) {
  wxTreeCtrl* tree = window->navigator->Tree();
  struct Group {
    const char* title;
    std::vector<int> kinds;
  };
  const Group groups[] = {
      {"Access Stats", {1, 11, 12, 24, 15, 16, 22, 23, 14, 28}},
      {"Visitor Stats", {2, 19, 7, 21, 20}},
      {"Referrer Stats", {3, 6, 4, 5, 17, 32}},
      {"User Agent Stats", {8, 9, 26, 25}},
      {"Activity Stats", {10, 13, 18, 27}},
  };
  // The image of each kind in the report image strip; 25 is the group image.
  const std::map<int, int> icons = {{0, 0},   {1, 2},   {2, 3},   {3, 4},   {4, 5},   {5, 6},   {6, 7},
                                    {7, 24},  {8, 10},  {9, 11},  {10, 12}, {11, 13}, {12, 14}, {13, 16},
                                    {14, 15}, {15, 19}, {16, 17}, {17, 18}, {18, 35}, {19, 21}, {20, 25},
                                    {21, 25}, {22, 3},  {23, 23}, {24, 34}, {25, 9},  {26, 9},  {27, 20},
                                    {28, 25}, {31, 1},  {32, 25}};
  auto children = [tree](wxTreeItemId parent) {
    std::vector<wxTreeItemId> items;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId c = tree->GetFirstChild(parent, cookie); c.IsOk(); c = tree->GetNextChild(parent, cookie))
      items.push_back(c);
    return items;
  };
  auto expectItem = [&](wxTreeItemId item, const std::string& text, int image) {
    EXPECT_EQ(tv::WxToBytes(tree->GetItemText(item)), text);
    EXPECT_EQ(tree->GetItemImage(item, wxTreeItemIcon_Normal), image) << text;
    EXPECT_EQ(tree->GetItemImage(item, wxTreeItemIcon_Selected), image) << text;
  };

  wxTreeItemId root = tree->GetRootItem();
  ASSERT_TRUE(root.IsOk());
  expectItem(root, "Log files", 0);
  EXPECT_TRUE(tree->IsExpanded(root));
  std::vector<wxTreeItemId> top = children(root);
  ASSERT_EQ(top.size(), 6u);
  expectItem(top[0], ColumnTerm(kReportSummary), 1);
  EXPECT_EQ(window->navigator->ItemOfKind(kReportSummary), top[0]);
  int kindItems = 0;
  for (size_t g = 0; g < 5; ++g) {
    SCOPED_TRACE(groups[g].title);
    expectItem(top[g + 1], groups[g].title, 25);
    EXPECT_TRUE(tree->IsExpanded(top[g + 1]));
    std::vector<wxTreeItemId> items = children(top[g + 1]);
    // Level items may hang under the report on show; the group's own lines are these.
    ASSERT_EQ(items.size(), groups[g].kinds.size());
    for (size_t i = 0; i < items.size(); ++i) {
      int kind = groups[g].kinds[i];
      std::string text = kind == 25 ? std::string(ReportKindTitle(25)) + " (Tree)" : ColumnTerm(kind);
      expectItem(items[i], text, icons.at(kind));
      EXPECT_EQ(window->navigator->ItemOfKind(kind), items[i]) << kind;
      ++kindItems;
    }
  }
  EXPECT_EQ(kindItems, 29);
  EXPECT_EQ(ColumnTerm(kReportTopDomain), std::string("Top Level Domains"));

  // A click on "Top Level Domains" opens that report.
  wxTreeItemId domains = window->navigator->ItemOfKind(kReportTopDomain);
  tree->EnsureVisible(domains);
  wxtest::Pump(100);
  wxRect line;
  ASSERT_TRUE(tree->GetBoundingRect(domains, line, true));
  // The whole label shows in the tree.
  EXPECT_LE(line.GetRight(), tree->GetClientSize().GetWidth());
  wxPoint at = tree->ClientToScreen(wxPoint(line.x + line.width / 2, line.y + line.height / 2));
  window->Raise();
  wxUIActionSimulator sim;
  sim.MouseMove(at);
  wxtest::Pump(50);
  sim.MouseClick();
  ASSERT_TRUE(wxtest::PumpUntil([] { return GetCurrentReportType() == kReportTopDomain; }, 5000))
      << "the click did not open the report";
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_topReportKind, kReportTopDomain);
  EXPECT_EQ(tree->GetSelection(), domains);
  EXPECT_EQ(tv::WxToBytes(window->GetTitle()), std::string("Top Level Domains - Trailvane"));
  EXPECT_TRUE(wxtest::SaveScreenshot("nav_groups"));

  SwitchTopReport(kReportPage);
  ASSERT_TRUE(WaitJob());
}

TEST_F(NavigationWindow, SummaryLineOpensItsReportAndTheListsMenuIsTheKinds) {
  SwitchTopReport(kReportSummary);
  ASSERT_TRUE(WaitJob());
  CSortListCtrl* summary = ShownList()->reportList;
  ASSERT_EQ(summary->reportKind, kReportSummary);
  g_uiQuery.spidersOn = 0;
  // Line 0 (hosts): a double-click opens the hosts with the spiders counted.
  summary->SelectOnly(0);
  wxMouseEvent click(wxEVT_LEFT_DCLICK);
  click.SetEventObject(summary);
  summary->GetEventHandler()->ProcessEvent(click);
  ASSERT_TRUE(wxtest::PumpUntil([] { return GetCurrentLevel() == 1 && TestNavWindow::Idle(); }, 20000));
  EXPECT_EQ(GetCurrentReportType(), kReportHost);
  EXPECT_EQ(g_uiQuery.spidersOn, 1u);
  EXPECT_EQ(tv::WxToBytes(window->GetTitle()),
            std::string(ColumnTerm(kReportSummary)) + " / " + ColumnTerm(kReportHost) + " - Trailvane");
  CReportPane* hosts = ShownList();
  ASSERT_NE(hosts, nullptr);
  EXPECT_GT(hosts->reportList->rows.Count(), 0u);
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("nav_summary_hosts"));

  // A right-click on a host row shows the hosts' menu over the frame.
  std::vector<int> ids;
  wxWindow* owner = nullptr;
  ContextMenuPopupFn before = SetContextMenuPopup([&](wxWindow* w, wxMenu* menu, const wxPoint&) {
    owner = w;
    for (wxMenuItem* item : menu->GetMenuItems()) ids.push_back(item->GetId());
  });
  wxListEvent right(wxEVT_LIST_ITEM_RIGHT_CLICK, hosts->reportList->GetId());
  right.SetEventObject(hosts->reportList);
  right.m_itemIndex = static_cast<long>(hosts->reportList->leadingRows);
  hosts->reportList->GetEventHandler()->ProcessEvent(right);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return !ids.empty(); }, 5000));
  SetContextMenuPopup(before);
  EXPECT_EQ(owner, window);
  EXPECT_TRUE(HasSelectedRow());
  auto has = [&](int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
  EXPECT_TRUE(has(ID_GO_PREVIOUS));
  EXPECT_TRUE(has(ID_HOST_COMMENT));
  EXPECT_FALSE(has(ID_GO_OPEN_IN_BROWSER));

  // The switches were saved at level 0: the next top-level report gets them back.
  GoBackToLevel(-1);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentReportType(), kReportSummary);
  SwitchTopReport(kReportPage);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.spidersOn, 0u);
  g_uiQuery.spidersOn = 1;
}

TEST_F(NavigationWindow, PreviewShowsTheNextLevelOfEachSelection) {
  Check({}, kReportPage);
  CReportPane* preview = ListPane(FirstPaneSlot(kPaneSubreportList));
  ASSERT_NE(preview, nullptr);
  PushLevelFrame(preview, kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(preview->reportList->rowTable, &g_nav.previewTable);
  EXPECT_EQ(preview->reportList->rows.Count(), 0u);  // nothing chosen yet
  Pick page = ChooseRow();
  ASSERT_TRUE(WaitJob());
  CQueryParams params;
  params.levelCount = 1;
  params.levels[0] = MakeLevelFilter(page.kind, page.record, page.flags);
  params.levels[1].kind = kReportHost;
  CRowTable expected;
  RunQuery(g_project, kReportHost, expected, params);
  EXPECT_GT(expected.RowCount(), 0);
  EXPECT_EQ(SortedHits(*preview->reportList->rowTable), SortedHits(expected));
  EXPECT_EQ(preview->reportList->inSubreportFrame, 1u);
  // Hosts below a page have no group columns.
  EXPECT_EQ(preview->reportList->GetColumnCount(), static_cast<int>(ReportColumnDefs(kReportHost, kReportPage).size()));
  preview->Show();
  preview->Raise();
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("nav_preview"));
  preview->Hide();
  // The preview moves no level, and once ended a selection runs nothing.
  PushLevelFrame(nullptr, 0, -1);
  Check({}, kReportPage);
  GoDownAndRun();
  EXPECT_FALSE(IsWorkerBusy());
}

TEST_F(NavigationWindow, NavigatorSelectionsMadeByNavigationDoNotMoveAgain) {
  Pick page = ChooseRow();
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  // The navigator brought in line selects the top item first: that must not
  // count as the user's return to level 0.
  window->navigator->SelectReportInTree(true);
  EXPECT_FALSE(IsWorkerBusy());
  ASSERT_TRUE(WaitJob());
  Check({page}, kReportHost);
  // Filling again adds nothing.
  size_t items = window->navigator->Tree()->GetCount();
  window->navigator->FillTree();
  EXPECT_EQ(window->navigator->Tree()->GetCount(), items);
  GoBackToLevel(0);
  ASSERT_TRUE(WaitJob());
  Check({}, kReportPage);
}

TEST_F(NavigationWindow, NoMoveOrReopenRacesARunningJob) {
  ChooseRow();
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(IsWorkerBusy());
  // While the drill-down runs, Back must not query the tables too.
  GoBackToLevel(0);
  // A workspace opened now waits for the job before it resets the state.
  RefreshAfterNewDocument();
  ASSERT_TRUE(WaitJob());
  Check({}, kReportPage);
}

TEST_F(NavigationWindow, ReanalysisFindsEverySourceCurrentAndKeepsTheResults) {
  uint32_t generation = g_queryGeneration;
  std::vector<uint32_t> before = SortedHits(GetCurrentQueryState());
  RerunAllOnWorker(nullptr);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_queryGeneration, generation);
  EXPECT_FALSE(g_lastQueryRan);  // the held result was shown again
  EXPECT_EQ(SortedHits(GetCurrentQueryState()), before);
  Check({}, kReportPage);
}

TEST_F(NavigationWindow, LogFileReportOnlyWhenSomebodyIsThere) {
  g_workspace.common.display_bad_file = 2;
  uint32_t pickedFrom = 0, pickedTo = 0;
  g_setDateFilterPickers = [&](uint32_t first, uint32_t last) {
    EXPECT_TRUE(wxIsMainThread());
    pickedFrom = first;
    pickedTo = last;
  };
  {
    wxtest::DialogScript script;
    script.Answer(wxID_OK);
    ResetNavigation(1);
    RerunAllOnWorker(nullptr);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(script.titles.size(), 1u);
  }
  g_setDateFilterPickers = nullptr;
  // The pickers get the analysed span.
  EXPECT_NE(pickedFrom, 0u);
  EXPECT_EQ(pickedFrom, g_project.first_date);
  EXPECT_EQ(pickedTo, g_project.last_date);
  g_unattended = true;
  {
    wxtest::DialogScript script;  // no dialog may open
    ResetNavigation(1);
    RerunAllOnWorker(nullptr);
    ASSERT_TRUE(WaitJob());
  }
  g_unattended = false;
  g_workspace.common.display_bad_file = 0;
  Check({}, kReportPage);
}

}  // namespace
