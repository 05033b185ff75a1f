// The main window over a fixture log: its parts, the drill-down with the
// subreport frame below, the exports through the frame's commands, the update
// answers, the date pickers, dropped files, and the close that waits for a
// running job and saves the window state.
#include <gtest/gtest.h>
#include <wx/datectrl.h>
#include <wx/notebook.h>
#include <wx/statusbr.h>
#include <wx/wx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/analysis/analysis.h"
#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "output/reportrows.h"
#include "output/textexport.h"
#include "platform/launcher.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/fixtureproject.h"
#include "tests/ui/wxtest.h"
#include "ui/auxframe.h"
#include "ui/chartdlg.h"
#include "ui/core/navigation.h"
#include "ui/core/panes.h"
#include "ui/core/reportcells.h"
#include "ui/core/reportcmd.h"
#include "ui/core/uistate.h"
#include "ui/hidesplitter.h"
#include "ui/ids.h"
#include "ui/mainframe.h"
#include "ui/navigation.h"
#include "ui/reportpanes.h"
#include "ui/rmenu.h"
#include "ui/toolbar.h"
#include "ui/view.h"
#include "ui/worker.h"

namespace {

std::string FixturePath() { return std::string(TV_UI_TEST_DATA_DIR) + "/panes.log"; }
std::string StripPath() { return std::string(TV_UI_TEST_DATA_DIR) + "/../../../res/report_images.png"; }

bool WaitJob() { return wxtest::PumpUntil([] { return !IsWorkerBusy(); }, 20000); }

std::vector<uint32_t> SortedHits(const CRowTable& table) {
  std::vector<uint32_t> hits;
  for (int32_t i = 0; i < table.RowCount(); ++i) hits.push_back(table.GetRow(i)->Hits());
  std::sort(hits.begin(), hits.end());
  return hits;
}

class MainFrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(StripPath()));
    LoadAuxDatabases(false);
  }
  static void TearDownTestSuite() { FreeAuxDatabases(); }

  void SetUp() override {
    launched.clear();
    tv::SetLauncher([this](const std::string& target) {
      launched.push_back(target);
      return true;
    });
    frame = new CMainFrame;
    ASSERT_TRUE(frame->Create());
    frame->LoadIconMenu();
    frame->SetSize(20, 20, 1100, 760);
    frame->Show();
    wxtest::Pump(50);
  }

  void TearDown() override {
    if (frame) {
      frame->Destroy();
      frame = nullptr;
    }
    wxtest::Pump(50);
    tv::SetLauncher(nullptr);
    CMainFrame::ExportPathChooser() = nullptr;
    CMainFrame::FrameMessage() = nullptr;
    g_project.Reset();
    g_workspace.groups.Clear();
    g_uiQuery = CQueryParams{};
    g_topReportKind = kNoTopReportKind;
  }

  // The fixture log as the only source, then kind at the top level.
  void Open(int kind) {
    wxtest::UseFixtureLog(FixturePath());
    g_workspace.groups.Clear();
    wxtest::InsertFixtureGroups(g_workspace.groups);
    g_workspace.common.dns_lookup = 0;
    g_workspace.common.auto_robot = 0;
    g_workspace.common.display_bad_file = 0;
    g_workspace.common.expand_groups = 1;
    g_uiQuery = CQueryParams{};
    ResetNavigation(0);
    g_topReportKind = kNoTopReportKind;
    SwitchTopReport(kind);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(GetCurrentReportType(), kind);
  }

  static CReportPane* ShownList() { return ListPane(CurrentPaneSlot()); }

  // Selects the first row after the totals (the one with the most hits).
  static void ChooseRow() {
    CSortListCtrl* list = ShownList()->reportList;
    long item = static_cast<long>(list->leadingRows);
    list->SelectOnly(item);
    if (!HasSelectedRow()) {
      wxListEvent event(wxEVT_LIST_ITEM_SELECTED, list->GetId());
      event.SetEventObject(list);
      event.m_itemIndex = item;
      list->GetEventHandler()->ProcessEvent(event);
    }
    ASSERT_TRUE(HasSelectedRow());
  }

  void Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
  }

  // The frame's answer for a command, as a menu asks it.
  CommandUiAnswer Answer(int id) {
    wxUpdateUIEvent event(id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
    CommandUiAnswer a;
    a.enabled = event.GetSetEnabled() ? event.GetEnabled() : true;
    a.checked = event.GetSetChecked() ? (event.GetChecked() ? 1 : 0) : -1;
    return a;
  }

  CMainFrame* frame = nullptr;
  std::vector<std::string> launched;
};

TEST_F(MainFrameTest, PartsAreInPlaceAndTheSubreportRowStartsHidden) {
  EXPECT_EQ(MainFrame(), frame);
  ASSERT_NE(frame->ToolBar(), nullptr);
  EXPECT_EQ(frame->GetToolBar(), frame->ToolBar());
  ASSERT_NE(frame->FromPicker(), nullptr);
  ASSERT_NE(frame->ToPicker(), nullptr);
  EXPECT_EQ(frame->FromPicker()->GetParent(), frame->ToolBar());
  EXPECT_EQ(frame->FromPicker()->GetId(), ID_DATE_FROM);
  EXPECT_EQ(frame->ToPicker()->GetId(), ID_DATE_TO);
  EXPECT_TRUE(frame->FromPicker()->HasFlag(wxDP_ALLOWNONE));
  EXPECT_FALSE(frame->FromPicker()->GetValue().IsValid());
  EXPECT_FALSE(frame->ToPicker()->GetValue().IsValid());
  ASSERT_NE(frame->GetStatusBar(), nullptr);
  EXPECT_EQ(frame->GetStatusBar()->GetFieldsCount(), 4);

  CHideSplitterWnd* outer = frame->OuterSplitter();
  CHideSplitterWnd* inner = frame->InnerSplitter();
  EXPECT_EQ(outer->GetPane(0, 0), frame->Navigator());
  EXPECT_EQ(outer->GetPane(0, 1), inner);
  EXPECT_EQ(outer->GetColumnSize(0), 190);
  EXPECT_EQ(inner->GetPane(0, 0), frame->View());
  EXPECT_EQ(inner->GetPane(1, 0), frame->AuxFrame());
  EXPECT_FALSE(inner->IsPaneVisible(1, 0));
  EXPECT_FALSE(frame->SubreportShown());
  EXPECT_EQ(Navigator(), frame->Navigator());
  // The engine's status line reaches the first pane.
  AppendProgressText("Testing the status");
  wxtest::Pump(50);
  EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Testing the status");
}

TEST_F(MainFrameTest, DrillDownAndTheSubreportFrameAsTableAndChart) {
  Open(kReportPage);
  ChooseRow();
  const CLevelFilter pageLevel = g_uiQuery.levels[0];
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentLevel(), 1);
  ASSERT_EQ(GetCurrentReportType(), kReportHost);
  EXPECT_EQ(tv::WxToBytes(frame->GetTitle()),
            std::string(ColumnTerm(kReportPage)) + " / " + ColumnTerm(kReportHost) + " - Trailvane");
  ChooseRow();
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_drilldown"));

  // The subreport frame: one tab per kind that may be opened below hosts.
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(frame->SubreportShown());
  EXPECT_TRUE(frame->InnerSplitter()->IsPaneVisible(1, 0));
  CAuxFrame* aux = frame->AuxFrame();
  ReportCommand table[kMaxReportCommands];
  int count = BuildReportCommandTable(kReportHost, table, true, false);
  ASSERT_EQ(aux->Tabs()->GetPageCount(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    EXPECT_EQ(tv::WxToBytes(aux->Tabs()->GetPageText(static_cast<size_t>(i))), ColumnTerm(table[i].kind));
  EXPECT_EQ(aux->Tabs()->GetSelection(), 0);

  // A tab shows the level below the chosen host, and the level stays as it was.
  int browserTab = -1;
  for (int i = 0; i < count; ++i)
    if (table[i].kind == kReportBrowser) browserTab = i;
  ASSERT_GE(browserTab, 0);
  aux->Tabs()->SetSelection(static_cast<size_t>(browserTab));
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(aux->ListPane()->IsShown());
  CSortListCtrl* list = aux->ListPane()->reportList;
  ASSERT_NE(list->rowTable, nullptr);
  CQueryParams params;
  params.levelCount = 2;
  params.levels[0] = pageLevel;
  params.levels[1] = g_uiQuery.levels[1];
  params.levels[2].kind = kReportBrowser;
  CRowTable expected;
  RunQuery(g_project, kReportBrowser, expected, params);
  EXPECT_GT(expected.RowCount(), 0);
  EXPECT_EQ(list->rows.Count(), static_cast<uint32_t>(expected.RowCount()));
  EXPECT_EQ(SortedHits(*list->rowTable), SortedHits(expected));
  EXPECT_EQ(GetCurrentLevel(), 1);
  EXPECT_EQ(CAuxFrame::RememberedTab(CAuxFrame::kTableMode, kReportHost), browserTab);
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_subreport"));

  // Opened again, the tab last chosen for hosts comes back.
  Command(ID_VIEW_CLOSE_SUBREPORT);
  EXPECT_FALSE(frame->SubreportShown());
  EXPECT_EQ(g_nav.previewMode, -1);
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(aux->Tabs()->GetSelection(), browserTab);

  // As chart: only the kinds with a chart picture, drawn in the chart pane.
  Command(ID_VIEW_CLOSE_SUBREPORT);
  Command(ID_VIEW_SUBREPORT_CHART);
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(frame->SubreportShown());
  int charts = BuildReportCommandTable(kReportHost, table, false, false);
  EXPECT_EQ(aux->Tabs()->GetPageCount(), static_cast<size_t>(charts));
  EXPECT_TRUE(aux->SubreportChart()->IsShown());
  EXPECT_FALSE(aux->ListPane()->IsShown());
  EXPECT_EQ(g_nav.previewMode, 0);
  EXPECT_EQ(aux->SubreportChart()->reportKind, table[aux->Tabs()->GetSelection()].kind);
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_subreport_chart"));

  // Back closes the row, the level above is shown again.
  Command(ID_GO_PREVIOUS);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 0);
  EXPECT_FALSE(frame->SubreportShown());
}

}  // namespace
