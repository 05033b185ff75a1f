// The main window over a fixture log: its parts, the drill-down with the
// subreport frame below, the exports through the frame's commands, the update
// answers, the date pickers, dropped files, and the close that waits for a
// running job and saves the window state.
#include <gtest/gtest.h>
// Before the date picker: on GTK the calendar class is a name for the native one.
#include <wx/calctrl.h>
#include <wx/dateevt.h>
#include <wx/datectrl.h>
#include <wx/combo.h>
#include <wx/dnd.h>
#include <wx/notebook.h>
#include <wx/statusbr.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>
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
#include "tests/ui/datefilter.h"
#include "tests/ui/fixtureproject.h"
#include "tests/ui/listpick.h"
#include "tests/ui/wxtest.h"
#include "ui/app/mainview.h"
#include "ui/app/mainwindow.h"
#include "ui/app/subreportframe.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/reportcells.h"
#include "ui/core/reportcommands.h"
#include "ui/core/uistate.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/navigatortree.h"
#include "ui/panes/reportpanes.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/splitter.h"
#include "ui/widgets/toolbar.h"
#include "ui/widgets/worker.h"

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
    frame->SetSize(10, 10, 1180, 940);
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
    wxtest::UseFixtureWorkspace(FixturePath());
    SwitchTopReport(kind);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(GetCurrentReportType(), kind);
  }

  static CReportPane* ShownList() { return ListPane(CurrentPaneSlot()); }

  // Selects the first row after the totals (the one with the most hits).
  static void ChooseRow() {
    CSortListCtrl* list = ShownList()->reportList;
    ASSERT_TRUE(wxtest::ChooseListRow(list, static_cast<long>(list->leadingRows)));
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
  // The navigator is as wide as its longest label needs, never below 190.
  // Under a window manager the splitter is laid out once the frame is mapped.
  wxtest::PumpUntil([&] { return outer->GetColumnSize(0) > 0; }, 3000);
  const int navigatorWidth = outer->GetColumnSize(0);
  EXPECT_EQ(navigatorWidth, std::max(190, frame->Navigator()->DefaultWidth()));
  {
    wxTreeCtrl* tree = frame->Navigator()->Tree();
    wxtest::Pump(100);
    std::vector<wxTreeItemId> items{tree->GetRootItem()};
    int labels = 0;
    while (!items.empty()) {
      wxTreeItemId item = items.back();
      items.pop_back();
      wxRect text;
      ASSERT_TRUE(tree->GetBoundingRect(item, text, true));
      EXPECT_LE(text.GetRight(), tree->GetClientSize().GetWidth() - 4) << tree->GetItemText(item);
      ++labels;
      wxTreeItemIdValue cookie;
      for (wxTreeItemId c = tree->GetFirstChild(item, cookie); c.IsOk(); c = tree->GetNextChild(item, cookie))
        items.push_back(c);
    }
    EXPECT_EQ(labels, 1 + 1 + 5 + 29);
  }
  EXPECT_EQ(inner->GetPane(0, 0), frame->View());
  EXPECT_EQ(inner->GetPane(1, 0), frame->AuxFrame());
  EXPECT_FALSE(inner->IsPaneVisible(1, 0));
  EXPECT_FALSE(frame->SubreportShown());
  EXPECT_EQ(Navigator(), frame->Navigator());
  // A view smaller than 150 by 150 keeps its panes at that size.
  frame->View()->SetSize(100, 80);
  wxtest::Pump(50);
  EXPECT_EQ(ReportPane(CurrentPaneSlot())->GetSize(), wxSize(150, 150));
  frame->InnerSplitter()->RecalcLayout();
  wxtest::Pump(50);
  EXPECT_GT(ReportPane(CurrentPaneSlot())->GetSize().GetHeight(), 150);

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
  // No tip where the pointer happens to be.
  wxUIActionSimulator().MouseMove(1275, 1020);
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
  for (int i = 0; i < charts; ++i)
    if (table[i].kind == kReportDate) aux->Tabs()->SetSelection(static_cast<size_t>(i));
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(aux->SubreportChart()->reportKind, kReportDate);
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_subreport_chart"));

  // Hosts have no chart picture: no chart frame.
  EXPECT_FALSE(Answer(ID_VIEW_CHART_FRAME).enabled);
  Command(ID_VIEW_CHART_FRAME);
  EXPECT_FALSE(aux->ChartFrameInUse());

  // Back to the pages above.
  Command(ID_GO_PREVIOUS);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 0);

  // A subreport list closes on a move to another level.
  ChooseRow();
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(frame->SubreportShown());
  Command(ID_GO_HOSTS);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 1);
  EXPECT_FALSE(frame->SubreportShown());
  EXPECT_EQ(g_nav.previewMode, -1);
}

// The first-column texts of the list's items after the totals, in list order.
std::vector<std::string> ListKeys(CSortListCtrl* list) {
  std::vector<std::string> keys;
  for (long i = static_cast<long>(list->leadingRows); i < list->GetItemCount(); ++i)
    keys.push_back(tv::WxToBytes(list->GetItemText(i, 0)));
  return keys;
}

TEST_F(MainFrameTest, ExportsWriteTheReportInTheListsOrder) {
  Open(kReportPage);
  CSortListCtrl* list = ShownList()->reportList;
  // Sorted by the page text, not the kind's own order by hits.
  list->SetSortColumn(0, true);
  list->RefreshItemCount();
  const std::vector<std::string> keys = ListKeys(list);
  ASSERT_GE(keys.size(), 3u);
  ASSERT_TRUE(std::is_sorted(keys.begin(), keys.end()));

  const std::string dir = tvtest::NewDir("frame-export");
  std::vector<wxString> proposed;
  CMainFrame::ExportPathChooser() = [&](wxWindow*, const wxString& extension) {
    proposed.push_back(extension);
    return tv::BytesToWx(dir + "report." + tv::WxToBytes(extension));
  };
  Command(ID_REPORT_EXPORT_TEXT);
  Command(ID_REPORT_EXPORT_CSV);
  Command(ID_REPORT_EXPORT_HTML);
  EXPECT_EQ(proposed, (std::vector<wxString>{"txt", "csv", "html"}));
  EXPECT_FALSE(IsWorkerBusy());

  // The same as the writer gives for the table in the list's order.
  SetReportSortParameters(list->columns[0].type, true, kReportPage, &GetCurrentQueryState());
  ASSERT_TRUE(ExportReportToText((dir + "expected.txt").c_str(), kReportPage, GetCurrentQueryState(), g_uiQuery,
                                 CompareReportRows));
  const std::string text = tvtest::ReadFile(dir + "report.txt");
  EXPECT_EQ(text, tvtest::ReadFile(dir + "expected.txt"));
  // Each page once, in the list's order.
  size_t at = 0;
  for (const std::string& key : keys) {
    size_t found = text.find("|" + key + "\n", at);
    ASSERT_NE(found, std::string::npos) << key;
    at = found + 1;
  }
  const std::string csv = tvtest::ReadFile(dir + "report.csv");
  at = 0;
  for (const std::string& key : keys) {
    size_t found = csv.find("\n\"" + key + "\",", at);
    ASSERT_NE(found, std::string::npos) << key;
    at = found + 1;
  }

  // Cancelled: nothing written.
  CMainFrame::ExportPathChooser() = [](wxWindow*, const wxString&) { return wxString(); };
  std::remove((dir + "report.txt").c_str());
  Command(ID_REPORT_EXPORT_TEXT);
  EXPECT_TRUE(tvtest::ReadFile(dir + "report.txt").empty());

  // A file that cannot be made is said.
  std::vector<wxString> messages;
  CMainFrame::FrameMessage() = [&](const wxString& text, long) {
    messages.push_back(text);
    return wxOK;
  };
  CMainFrame::ExportPathChooser() = [&](wxWindow*, const wxString&) {
    return tv::BytesToWx(dir + "no-such-folder/report.txt");
  };
  Command(ID_REPORT_EXPORT_TEXT);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].Find("no-such-folder/report.txt"), wxNOT_FOUND);

  // The mail message goes to the launcher.
  Command(ID_REPORT_SEND_MAIL);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0], MailMessagePath());
  EXPECT_NE(tvtest::ReadFile(launched[0]).find("MIME-Version"), std::string::npos);
}

TEST_F(MainFrameTest, UpdateAnswersWhilePendingWithoutAndWithARowAndWithTheSubreport) {
  EXPECT_FALSE(Answer(ID_REPORT_EXPORT_TEXT).enabled);
  Open(kReportHost);
  // Pending: a job was asked for and has not shown its result.
  RerunAllOnWorker(nullptr);
  ASSERT_TRUE(IsWorkerBusy());
  EXPECT_FALSE(Answer(ID_REPORT_EXPORT_TEXT).enabled);
  EXPECT_FALSE(Answer(ID_DATE_FROM).enabled);
  EXPECT_FALSE(Answer(ID_VIEW_TABLE).enabled);
  ASSERT_TRUE(WaitJob());
  // No row chosen.
  EXPECT_TRUE(Answer(ID_REPORT_EXPORT_TEXT).enabled);
  EXPECT_TRUE(Answer(ID_DATE_FROM).enabled);
  EXPECT_EQ(Answer(ID_VIEW_TABLE).checked, 1);
  EXPECT_FALSE(Answer(ID_EDIT_COPY).enabled);
  EXPECT_FALSE(Answer(ID_GO_BROWSERS).enabled);
  EXPECT_FALSE(Answer(ID_GO_WHOIS).enabled);
  EXPECT_FALSE(Answer(ID_VIEW_CLOSE_SUBREPORT).enabled);
  // A row chosen.
  ChooseRow();
  EXPECT_TRUE(Answer(ID_EDIT_COPY).enabled);
  EXPECT_TRUE(Answer(ID_GO_BROWSERS).enabled);
  EXPECT_TRUE(Answer(ID_GO_WHOIS).enabled);
  EXPECT_FALSE(Answer(ID_GO_PREVIOUS).enabled);
  // The subreport frame shown: Close is enabled, in the menu too.
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  EXPECT_TRUE(Answer(ID_VIEW_CLOSE_SUBREPORT).enabled);
  EXPECT_FALSE(Answer(ID_VIEW_SUBREPORT_TABLE).enabled);
  EXPECT_TRUE(Answer(ID_VIEW_SUBREPORT_CHART).enabled);
  wxMenuItem* close = frame->GetMenuBar()->FindItem(ID_VIEW_CLOSE_SUBREPORT);
  ASSERT_NE(close, nullptr);
  frame->DoMenuUpdates();
  EXPECT_TRUE(close->IsEnabled());
  Command(ID_VIEW_CLOSE_SUBREPORT);
  frame->DoMenuUpdates();
  EXPECT_FALSE(close->IsEnabled());
  EXPECT_TRUE(Answer(ID_VIEW_SUBREPORT_TABLE).enabled);

  // Hosts have no chart picture: Chart is off and does nothing.
  EXPECT_FALSE(Answer(ID_VIEW_CHART).enabled);
  Command(ID_VIEW_CHART);
  EXPECT_FALSE(g_nav.chartMode);
  // Browsers have one: the chart in place of the table closes the subreport
  // row; Ctrl+T turns back.
  GoToReport(kReportBrowser, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentReportType(), kReportBrowser);
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(frame->SubreportShown());
  Command(ID_VIEW_CHART);
  EXPECT_TRUE(g_nav.chartMode);
  EXPECT_FALSE(frame->SubreportShown());
  EXPECT_EQ(CurrentPaneSlot(), FirstPaneSlot(kPaneChart));
  EXPECT_EQ(Answer(ID_VIEW_CHART).checked, 1);
  EXPECT_EQ(Answer(ID_VIEW_TABLE).checked, 0);
  EXPECT_FALSE(Answer(ID_VIEW_SUBREPORT_TABLE).enabled);
  Command(ID_VIEW_CHART_TABLE);
  EXPECT_FALSE(g_nav.chartMode);
  EXPECT_NE(CurrentPaneSlot(), FirstPaneSlot(kPaneChart));
}

wxDateTime Date(int day, int month, int year) {
  return wxDateTime(static_cast<wxDateTime::wxDateTime_t>(day), static_cast<wxDateTime::Month>(month - 1), year);
}

TEST_F(MainFrameTest, PickersShowTheAnalysedSpanAndAChosenDateFilters) {
  Open(kReportPage);
  // The analysis gave the fixture's span.
  EXPECT_TRUE(frame->FromPicker()->GetValue().IsSameDate(Date(5, 3, 2024)));
  EXPECT_TRUE(frame->ToPicker()->GetValue().IsSameDate(Date(7, 3, 2024)));
  EXPECT_EQ(g_uiQuery.dateFromOn, 0u);

  frame->SetDateFilterPickers(PackDate(17, 4, 1975), PackDate(2, 1, 2031));
  EXPECT_TRUE(frame->FromPicker()->GetValue().IsSameDate(Date(17, 4, 1980)));
  EXPECT_TRUE(frame->ToPicker()->GetValue().IsSameDate(Date(2, 1, 2031)));
  frame->SetDateFilterPickers(0, PackDate(2, 1, 2031));  // no dates: today
  EXPECT_TRUE(frame->FromPicker()->GetValue().IsSameDate(wxDateTime::Today()));

  // The user picks a date: the filter takes it and the report runs again.
  const uint32_t allHits = GetCurrentQueryState().totals.hits;
  frame->FromPicker()->SetValue(Date(7, 3, 2024));
  wxDateEvent changed(frame->FromPicker(), Date(7, 3, 2024), wxEVT_DATE_CHANGED);
  frame->FromPicker()->GetEventHandler()->ProcessEvent(changed);
  ASSERT_TRUE(IsWorkerBusy());
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.dateFromOn, 1u);
  EXPECT_EQ(g_uiQuery.dateFrom, PackDate(7, 3, 2024));
  const uint32_t fromHits = GetCurrentQueryState().totals.hits;
  EXPECT_LT(fromHits, allHits);
  EXPECT_GT(fromHits, 0u);

  // With "From" set, an analysis changes neither picker.
  frame->SetDateFilterPickers(PackDate(1, 1, 2020), PackDate(1, 2, 2020));
  EXPECT_TRUE(frame->FromPicker()->GetValue().IsSameDate(Date(7, 3, 2024)));
  EXPECT_TRUE(frame->ToPicker()->GetValue().IsSameDate(wxDateTime::Today()));

  // "No date" ends the filter.
  frame->FromPicker()->SetValue(wxDefaultDateTime);
  wxDateEvent cleared(frame->FromPicker(), wxDefaultDateTime, wxEVT_DATE_CHANGED);
  frame->FromPicker()->GetEventHandler()->ProcessEvent(cleared);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.dateFromOn, 0u);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, allHits);
}

using wxtest::ComboOf;
using wxtest::HitsBetween;

class PickerInput {
 public:
  explicit PickerInput(wxFrame* frame) : m_frame(frame) {
    frame->Raise();
    frame->SetFocus();
    wxtest::Pump(100);
  }
  void ClickAt(wxWindow* window, const wxPoint& at) {
    m_sim.MouseMove(window->ClientToScreen(at));
    wxtest::Pump(30);
    m_sim.MouseClick();
    wxtest::Pump(80);
  }
  // Clicks into the picker's field, selects what it holds and types text;
  // nothing confirmed yet.
  void TypeInto(wxDatePickerCtrl* picker, const char* text) {
    wxTextCtrl* field = ComboOf(picker)->GetTextCtrl();
    ClickAt(field, wxPoint(10, field->GetSize().y / 2));
    // The picker stands for its parts to the focus.
    wxtest::PumpUntil([&] { return wxWindow::FindFocus() == picker || wxWindow::FindFocus() == field; }, 2000);
    m_sim.Char('a', wxMOD_CONTROL);
    wxtest::Pump(30);
    if (*text) m_sim.Text(text);
    else m_sim.Char(WXK_BACK);
    wxtest::Pump(150);
  }
  void Key(int key) {
    m_sim.Char(key);
    wxtest::Pump(80);
  }
  wxUIActionSimulator& Sim() { return m_sim; }

 private:
  wxFrame* m_frame;
  wxUIActionSimulator m_sim;
};

TEST_F(MainFrameTest, TypedDatesRunTheReportWhenConfirmedAndAnEmptyFieldEndsTheFilter) {
  std::vector<std::string> said;
  CMainFrame::FrameMessage() = [&](const wxString& text, long) {
    said.push_back(tv::WxToBytes(text));
    return wxOK;
  };
  Open(kReportPage);
  const uint32_t all = GetCurrentQueryState().totals.hits;
  const uint32_t march6 = PackDate(6, 3, 2024);
  ASSERT_GT(all, 0u);
  PickerInput input(frame);
  wxTextCtrl* toField = ComboOf(frame->ToPicker())->GetTextCtrl();

  // Every prefix of the date that reads as one ("03/0", "03/06/2" is the
  // year 2) leaves the report alone; Enter takes the whole date.
  input.TypeInto(frame->ToPicker(), "03/06/2024");
  EXPECT_FALSE(IsWorkerBusy());
  EXPECT_EQ(g_uiQuery.dateToOn, 0u) << "taken before it was confirmed";
  EXPECT_EQ(toField->GetValue(), "03/06/2024") << "the typing was cut";
  input.Key(WXK_RETURN);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.dateToOn, 1u);
  EXPECT_EQ(g_uiQuery.dateTo, march6);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, HitsBetween(0, march6));
  EXPECT_LT(GetCurrentQueryState().totals.hits, all);
  EXPECT_GT(GetCurrentQueryState().totals.hits, 0u);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_picker_typed_to"));

  // "From" typed and left with Tab: the field losing the focus confirms it.
  input.TypeInto(frame->FromPicker(), "03/06/2024");
  EXPECT_FALSE(IsWorkerBusy());
  input.Key(WXK_TAB);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.dateFromOn, 1u);
  EXPECT_EQ(g_uiQuery.dateFrom, march6);
  const uint32_t oneDay = HitsBetween(march6, march6);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, oneDay);

  // A "From" after "To" is refused with a message; the filter stays.
  input.TypeInto(frame->FromPicker(), "03/07/2024");
  input.Key(WXK_RETURN);
  wxtest::Pump(100);
  EXPECT_FALSE(IsWorkerBusy());
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("later than"), std::string::npos) << said[0];
  EXPECT_EQ(g_uiQuery.dateFrom, march6);
  EXPECT_TRUE(frame->FromPicker()->GetValue().IsSameDate(Date(6, 3, 2024)));
  EXPECT_EQ(GetCurrentQueryState().totals.hits, oneDay);

  // Emptying "To" turns its filter off and runs the report at once.
  input.TypeInto(frame->ToPicker(), "");
  EXPECT_EQ(toField->GetValue(), "");
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.dateToOn, 0u);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, HitsBetween(march6, 0));
  EXPECT_GT(HitsBetween(march6, 0), oneDay);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_picker_emptied_to"));
}

// No two of these windows' rectangles (in the same parent) overlap.
void ExpectApart(const std::vector<wxWindow*>& windows, const char* what) {
  for (size_t i = 0; i < windows.size(); ++i)
    for (size_t j = i + 1; j < windows.size(); ++j) {
      const wxRect a = windows[i]->GetRect(), b = windows[j]->GetRect();
      EXPECT_FALSE(a.Intersects(b)) << what << ": " << i << " (" << a.x << "," << a.y << " " << a.width << "x"
                                    << a.height << ") covers " << j << " (" << b.x << "," << b.y << " " << b.width
                                    << "x" << b.height << ")";
    }
}

TEST_F(MainFrameTest, SmallWindowKeepsPanesApartAndButtonsWholeAndStopsAtTheirMinimum) {
  // The workspace pane with a log and the subreport row, at the smallest
  // size the window is used at.
  wxtest::UseFixtureWorkspace(FixturePath());
  frame->ShowSubreportPane(1);
  frame->SetSize(10, 10, 640, 480);
  wxtest::Pump(300);
  ASSERT_EQ(frame->GetSize(), wxSize(640, 480)) << "the window does not go down to 640 x 480";
  CWorkspaceDlg* pane = WorkspacePane();
  ASSERT_NE(pane, nullptr);
  ASSERT_TRUE(pane->IsShownOnScreen());
  std::vector<wxWindow*> buttons, parts;
  for (wxWindow* child : pane->GetChildren()) {
    if (auto* button = dynamic_cast<wxButton*>(child)) {
      buttons.push_back(button);
      EXPECT_GE(button->GetSize().GetWidth(), button->GetBestSize().GetWidth())
          << "\"" << tv::WxToBytes(button->GetLabel()) << "\" is cut";
    }
  }
  ASSERT_EQ(buttons.size(), 7u);
  ExpectApart(buttons, "buttons");
  // The log list, the buttons under it and the group box side by side.
  for (wxWindow* child : pane->GetChildren())
    if (!dynamic_cast<wxButton*>(child) && child != pane->groupList) parts.push_back(child);
  for (int i = 0; i < 3; ++i) parts.push_back(buttons[static_cast<size_t>(i)]);
  ExpectApart(parts, "workspace pane");
  // Every part inside the pane.
  for (wxWindow* child : pane->GetChildren())
    EXPECT_TRUE(wxRect(pane->GetClientSize()).Contains(child->GetRect())) << tv::WxToBytes(child->GetName());
  ExpectApart({frame->Navigator(), frame->InnerSplitter()}, "outer splitter");
  ExpectApart({frame->View(), frame->AuxFrame()}, "inner splitter");
  EXPECT_GE(frame->AuxFrame()->GetSize().GetHeight(), frame->AuxFrame()->GetMinSize().GetHeight());
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_small_640x480"));
  // A report with its filters beside the list fits as well.
  SwitchTopReport(kReportPage);
  ASSERT_TRUE(WaitJob());
  frame->ShowSubreportPane(1);
  frame->SetSize(10, 10, 640, 480);
  wxtest::Pump(300);
  EXPECT_EQ(frame->GetSize(), wxSize(640, 480));
  ExpectApart({frame->View(), frame->AuxFrame()}, "inner splitter with a report");
  EXPECT_GE(frame->AuxFrame()->GetSize().GetHeight(), frame->AuxFrame()->GetMinSize().GetHeight());
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_small_640x480_report"));
  SwitchTopReport(0);
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(pane->IsShownOnScreen());

  // Smaller than the panes allow: the window stops at their minimum.
  frame->SetSize(10, 10, 320, 240);
  wxtest::Pump(300);
  const wxSize least = frame->GetSize();
  EXPECT_GT(least.GetWidth(), 320);
  EXPECT_GT(least.GetHeight(), 240);
  EXPECT_LE(least.GetWidth(), 640);
  EXPECT_LE(least.GetHeight(), 480);
  for (wxWindow* button : buttons) EXPECT_GE(button->GetSize().GetWidth(), button->GetBestSize().GetWidth());
  ExpectApart(buttons, "buttons at the least size");
  EXPECT_GE(frame->View()->GetSize().GetWidth(), pane->GetMinSize().GetWidth());
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_smallest"));
}

TEST_F(MainFrameTest, SplitterBarsStopAtTheEdgeAndAtThePanesMinimum) {
  Open(kReportPage);
  frame->ShowSubreportPane(1);
  wxtest::Pump(200);
  frame->Raise();
  wxtest::Pump(100);
  wxUIActionSimulator sim;
  CHideSplitterWnd* outer = frame->OuterSplitter();
  CHideSplitterWnd* inner = frame->InnerSplitter();
  auto drag = [&](wxWindow* splitter, const wxPoint& from, const wxPoint& to) {
    sim.MouseMove(splitter->ClientToScreen(from));
    wxtest::Pump(50);
    sim.MouseDown();
    wxtest::Pump(50);
    // In steps, as a hand moves.
    for (int i = 1; i <= 10; ++i) {
      const wxPoint at = from + wxPoint((to.x - from.x) * i / 10, (to.y - from.y) * i / 10);
      sim.MouseMove(splitter->ClientToScreen(at));
      wxtest::Pump(20);
    }
    sim.MouseUp();
    wxtest::Pump(100);
  };
  // The navigator's bar to the window's right edge and beyond.
  const int navBar = outer->GetColumnSize(0) + 2;
  drag(outer, wxPoint(navBar, 200), wxPoint(outer->GetClientSize().x + 40, 200));
  EXPECT_GE(outer->GetColumnSize(1), outer->ColumnMinimum(1)) << "the report was covered";
  EXPECT_LE(outer->GetColumnSize(0) + CHideSplitterWnd::kBarSize + outer->GetColumnSize(1), outer->GetClientSize().x);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_splitter_navigator_right"));
  // It can be taken again and brought back.
  drag(outer, wxPoint(outer->GetColumnSize(0) + 2, 200), wxPoint(250, 200));
  EXPECT_EQ(outer->GetColumnSize(0), 250);
  // To the left edge: the navigator keeps its minimum.
  drag(outer, wxPoint(outer->GetColumnSize(0) + 2, 200), wxPoint(-30, 200));
  EXPECT_EQ(outer->GetColumnSize(0), outer->ColumnMinimum(0));

  // The subreport's bar to the bottom and beyond: the subreport keeps its minimum.
  const int subBar = inner->GetRowSize(0) + 2;
  drag(inner, wxPoint(100, subBar), wxPoint(100, inner->GetClientSize().y + 60));
  EXPECT_GE(inner->GetRowSize(1), inner->RowMinimum(1));
  EXPECT_LE(inner->GetRowSize(0) + CHideSplitterWnd::kBarSize + inner->GetRowSize(1), inner->GetClientSize().y);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_splitter_subreport_bottom"));
  drag(inner, wxPoint(100, inner->GetRowSize(0) + 2), wxPoint(100, 300));
  EXPECT_EQ(inner->GetRowSize(0), std::max(300, inner->RowMinimum(0)));
  // To the top: the view keeps its minimum.
  drag(inner, wxPoint(100, inner->GetRowSize(0) + 2), wxPoint(100, -40));
  EXPECT_EQ(inner->GetRowSize(0), inner->RowMinimum(0));
  EXPECT_GE(inner->RowMinimum(0), CTrailvaneView::kMinPaneSize);

  // Hidden and shown again, the subreport comes back at a size it can show.
  frame->ShowSubreportPane(0);
  frame->ShowSubreportPane(1);
  wxtest::Pump(100);
  EXPECT_GE(inner->GetRowSize(1), inner->RowMinimum(1));
}

TEST_F(MainFrameTest, DroppedFilesReplaceTheSourcesAndAreAnalysed) {
  Open(kReportPage);
  const uint32_t oneLog = GetCurrentQueryState().totals.hits;
  const std::string dir = tvtest::NewDir("frame-drop");
  wxArrayString paths;
  for (const char* name : {"a.log", "b.log", "c.log"}) {
    tvtest::WriteFile(dir + name, tvtest::ReadFile(FixturePath()));
    paths.Add(tv::BytesToWx(dir + name));
  }
  // Not while a job reads the sources.
  RerunAllOnWorker(nullptr);
  ASSERT_TRUE(IsWorkerBusy());
  EXPECT_FALSE(frame->DropFiles(paths));
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_project.sources.Count(), 1);

  g_workspace.ClearDirty();
  auto* target = dynamic_cast<wxFileDropTarget*>(frame->GetDropTarget());
  ASSERT_NE(target, nullptr);
  EXPECT_TRUE(target->OnDropFiles(10, 10, paths));
  EXPECT_TRUE(IsWorkerBusy());
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(g_project.sources.Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::string(g_project.sources[i].file), tv::WxToBytes(paths[i]));
  EXPECT_TRUE(g_workspace.IsDirty());
  EXPECT_EQ(GetCurrentReportType(), kReportPage);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, 3 * oneLog);
}

TEST_F(MainFrameTest, CloseDuringAJobWaitsForItsEndThenSavesAndCloses) {
  Open(kReportPage);
  tv::RegWriteDword("MaxWin", 7);
  RerunAllOnWorker(nullptr);
  ASSERT_TRUE(IsWorkerBusy());
  EXPECT_FALSE(frame->Close());
  EXPECT_TRUE(frame->ClosePending());
  EXPECT_TRUE(StopRequested());
  EXPECT_EQ(MainFrame(), frame);
  // The end of the job closes the window; nothing else has to happen.
  ASSERT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 20000));
  frame = nullptr;
  EXPECT_FALSE(IsWorkerBusy());
  uint32_t value = 0;
  ASSERT_TRUE(tv::RegReadDword("MaxWin", &value));
  EXPECT_EQ(value, 0u);
  ASSERT_TRUE(tv::RegReadDword("WinAMenu", &value));
  EXPECT_EQ(value, static_cast<uint32_t>(kReportPage));
  ASSERT_TRUE(tv::RegReadDword("WinRight", &value));
  ASSERT_TRUE(tv::RegReadDword("WinLeft", &value));
}

// A maximised window, whatever the window manager of the test display does.
class MaximisedFrame : public CMainFrame {
 public:
  bool IsMaximized() const override { return true; }
};

TEST_F(MainFrameTest, ClosingMaximisedKeepsTheLastNormalPlacement) {
  frame->Destroy();
  wxtest::Pump(50);
  frame = new MaximisedFrame;
  ASSERT_TRUE(frame->Create());
  frame->Show();
  int cleanups = 0;
  frame->SetCleanupHook([&] { ++cleanups; });
  const char* names[] = {"WinTop", "WinBotton", "WinLeft", "WinRight"};
  for (uint32_t i = 0; i < 4; ++i) tv::RegWriteDword(names[i], 100 + i);
  tv::RegWriteDword("MaxWin", 0);
  ASSERT_TRUE(frame->Close());
  ASSERT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 5000));
  frame = nullptr;
  EXPECT_EQ(cleanups, 1);
  uint32_t value = 0;
  ASSERT_TRUE(tv::RegReadDword("MaxWin", &value));
  EXPECT_EQ(value, 1u);
  for (uint32_t i = 0; i < 4; ++i) {
    ASSERT_TRUE(tv::RegReadDword(names[i], &value));
    EXPECT_EQ(value, 100 + i) << names[i];
  }
}

// A job that holds the worker until the test lets it go.
std::atomic<bool> s_holdWorker{false};
uint32_t HoldJob(void*) {
  while (s_holdWorker) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  SendJobDone();
  return 1;
}
int32_t HoldDone(int32_t) { return 0; }

// A filter clicked while a job runs is not lost: one re-run follows the job
// and the list then counts what the switches on screen say.
TEST_F(MainFrameTest, FilterClickedWhileAJobRunsIsRunAfterIt) {
  Open(kReportPage);
  // A result on show: the toolbar's buttons are usable at once.
  for (int id : {static_cast<int>(wxID_NEW), static_cast<int>(wxID_OPEN), static_cast<int>(wxID_SAVE),
                 static_cast<int>(ID_REPORT_RELOAD), static_cast<int>(ID_REPORT_WORKSPACE_SETTINGS)})
    EXPECT_TRUE(frame->ToolBar()->GetToolEnabled(id)) << "toolbar button " << id;
  auto* pane = dynamic_cast<CReportListDlg*>(ShownList());
  ASSERT_NE(pane, nullptr);
  frame->Raise();
  wxtest::Pump(100);
  s_holdWorker = true;
  RunInWorkerThread(HoldJob, nullptr, HoldDone);
  ASSERT_TRUE(IsWorkerBusy());
  // Errors only: a report of other rows than the one on show.
  wxRadioButton* without = pane->ResponseButton(2);
  wxUIActionSimulator sim;
  sim.MouseMove(without->GetScreenRect().GetLeft() + 8, without->GetScreenRect().GetTop() + without->GetSize().y / 2);
  wxtest::Pump(50);
  sim.MouseClick();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return without->GetValue(); }, 3000)) << "the click did not reach the radio";
  s_holdWorker = false;
  ASSERT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending; }, 20000));
  wxtest::Pump(200);
  ASSERT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending; }, 20000));
  EXPECT_TRUE(without->GetValue());
  EXPECT_EQ(g_uiQuery.successOn, 0u);
  EXPECT_EQ(g_uiQuery.errorsOn, 1u);
  // An independent run with the switches on screen.
  CRowTable expected;
  RunQuery(g_project, kReportPage, expected, g_uiQuery);
  CQueryParams all = g_uiQuery;
  all.successOn = 1;
  CRowTable before;
  RunQuery(g_project, kReportPage, before, all);
  ASSERT_NE(SortedHits(before), SortedHits(expected)) << "the fixture shows no change";
  EXPECT_EQ(SortedHits(GetCurrentQueryState()), SortedHits(expected));
  EXPECT_EQ(pane->shownTable, &GetCurrentQueryState());
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_filter_after_job"));
}

// The chart of a report: Pie clicked on one report is kept for its level, a
// new top report keeps the chart mode with its own default chart, and Ctrl+T
// turns back to the table at once.
TEST_F(MainFrameTest, ChartChoiceIsKeptPerReportAndCtrlTTurnsBack) {
  Open(kReportBrowser);
  frame->Raise();
  wxtest::Pump(100);
  Command(ID_VIEW_CHART);
  ASSERT_TRUE(g_nav.chartMode);
  CChartDlg* chart = ChartPane();
  ASSERT_EQ(CurrentPaneSlot(), FirstPaneSlot(kPaneChart));
  wxRadioButton* pie = dynamic_cast<wxRadioButton*>(chart->FindWindow(1003));
  ASSERT_NE(pie, nullptr);
  wxUIActionSimulator sim;
  // The pane was just laid out: a click may land before it is on screen.
  for (int tries = 0; tries < 3 && chart->chartType != 1; ++tries) {
    wxtest::Pump(200);
    sim.MouseMove(pie->GetScreenRect().GetLeft() + 8, pie->GetScreenRect().GetTop() + pie->GetSize().y / 2);
    wxtest::Pump(50);
    sim.MouseClick();
    wxtest::PumpUntil([&] { return chart->chartType == 1; }, 1500);
  }
  ASSERT_EQ(chart->chartType, 1) << "the click did not reach Pie";
  EXPECT_EQ(g_nav.chartType[0], 1);

  // Another top report: still a chart, with the default type of its own.
  SwitchTopReport(kReportCountry);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentReportType(), kReportCountry);
  EXPECT_TRUE(g_nav.chartMode);
  EXPECT_EQ(CurrentPaneSlot(), FirstPaneSlot(kPaneChart));
  EXPECT_EQ(chart->reportKind, kReportCountry);
  EXPECT_EQ(chart->chartType, 0);
  EXPECT_FALSE(pie->GetValue());
  wxtest::Pump(200);
  EXPECT_TRUE(wxtest::SaveScreenshot("mainframe_chart_countries"));

  // Ctrl+T from the keyboard, no click first: the table again.
  sim.Char('t', wxMOD_CONTROL);
  EXPECT_TRUE(wxtest::PumpUntil([] { return !g_nav.chartMode; }, 3000)) << "Ctrl+T did not reach the frame";
  EXPECT_EQ(CurrentPaneSlot(), g_nav.levelPane[0]);

  // A kind without a chart: the switch shows its table.
  Command(ID_VIEW_CHART);
  ASSERT_TRUE(g_nav.chartMode);
  SwitchTopReport(kReportPage);
  ASSERT_TRUE(WaitJob());
  EXPECT_FALSE(g_nav.chartMode);
  EXPECT_EQ(CurrentPaneSlot(), g_nav.levelPane[0]);
}

// Every Alt key of the Go commands that a chosen page row allows, pressed on
// the keyboard: the report one level down opens (controls of hidden panes and
// the menu bar's mnemonics never take the key). Then Alt+Left and Alt+Right.
TEST_F(MainFrameTest, GoKeysBackAndNextFromTheKeyboard) {
  Open(kReportPage);
  frame->Raise();
  wxtest::Pump(100);
  struct Key {
    char letter;
    int kind;
  } keys[] = {{'T', kReportHost},    {'V', kReportVisitor}, {'H', kReportPath},
              {'M', kReportItems},   {'R', kReportReferrer}, {'G', kReportReferringSite}, {'Y', kReportReferrerType},
              {'C', kReportCountry}, {'I', kReportCity},    {'N', kReportRegion},   {'O', kReportOs},
              {'B', kReportBrowser}, {'D', kReportDate},    {'U', kReportHour},     {'W', kReportWeekday}};
  wxUIActionSimulator sim;
  for (const Key& k : keys) {
    ChooseRow();
    ShownList()->reportList->SetFocus();
    wxtest::Pump(30);
    if (!CanDrillDown(k.kind)) {
      ADD_FAILURE() << "Alt+" << k.letter << " not enabled on a page row";
      continue;
    }
    sim.Char(tolower(k.letter), wxMOD_ALT);
    const bool opened = wxtest::PumpUntil([&] { return !IsWorkerBusy() && GetCurrentLevel() == 1; }, 5000);
    EXPECT_TRUE(opened) << "Alt+" << k.letter;
    if (!opened) continue;
    EXPECT_EQ(GetCurrentReportType(), k.kind) << "Alt+" << k.letter;
    EXPECT_EQ(tv::WxToBytes(frame->GetTitle()),
              std::string(ColumnTerm(kReportPage)) + " / " + ColumnTerm(k.kind) + " - Trailvane");
    sim.KeyDown(WXK_LEFT, wxMOD_ALT);
    sim.KeyUp(WXK_LEFT, wxMOD_ALT);
    ASSERT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy() && GetCurrentLevel() == 0; }, 5000))
        << "Alt+Left after Alt+" << k.letter;
    ShownList()->reportList->SetFocus();
    wxtest::Pump(30);
    sim.KeyDown(WXK_RIGHT, wxMOD_ALT);
    sim.KeyUp(WXK_RIGHT, wxMOD_ALT);
    ASSERT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy() && GetCurrentLevel() == 1; }, 5000))
        << "Alt+Right after Alt+" << k.letter;
    EXPECT_EQ(GetCurrentReportType(), k.kind);
    sim.KeyDown(WXK_LEFT, wxMOD_ALT);
    sim.KeyUp(WXK_LEFT, wxMOD_ALT);
    ASSERT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy() && GetCurrentLevel() == 0; }, 5000));
  }
}

}  // namespace
