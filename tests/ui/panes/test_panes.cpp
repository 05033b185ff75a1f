// The report panes in a test window: each pane filled from a fixture log, the
// filters re-running the report, the workspace pane's edits, the chart and
// the detail tree; one screenshot per pane kind.
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "base/textutil.h"
#include "engine/analysis/analysis.h"
#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/store/hittext.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/panewindow.h"
#include "tests/ui/wxtest.h"
#include "ui/core/chartlayout.h"
#include "ui/core/uistate.h"
#include "ui/core/workspaceoptions.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/detailtreepane.h"
#include "ui/panes/reportpanes.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/worker.h"

namespace {

std::string FixturePath() { return std::string(TV_UI_TEST_DATA_DIR) + "/panes.log"; }
std::string ShippedTable(const char* name) {
  return std::string(TV_UI_SCREENSHOT_DIR) + "/../../share/trailvane/" + name;
}
std::string StripPath() { return std::string(TV_UI_TEST_DATA_DIR) + "/../../../res/report_images.png"; }

// What the fixture holds, read from its lines: a reference for the reports.
struct FixtureCounts {
  int lines = 0, spiderLines = 0, errorLines = 0;
  std::set<std::string> spiderPages;
  std::set<std::string> spiderDates;
};
FixtureCounts CountFixture() {
  FixtureCounts c;
  std::ifstream in(FixturePath());
  std::regex line(R"re(\[(\d+)/[^\]]+\] "GET (\S+) [^"]*" (\d+) .*"([^"]*)"$)re");
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (!std::regex_search(text, m, line)) continue;
    ++c.lines;
    bool spider = m[4].str().find("bot") != std::string::npos;
    if (spider) {
      ++c.spiderLines;
      // The default document name goes, as the analysis is told.
      std::string page = m[2];
      if (page.size() >= 10 && page.compare(page.size() - 10, 10, "index.html") == 0) page.resize(page.size() - 10);
      c.spiderPages.insert(page);
      c.spiderDates.insert(m[1]);
    }
    if (std::stoi(m[3]) >= 400) ++c.errorLines;
  }
  return c;
}

void Click(wxRadioButton* button) {
  button->SetValue(true);
  wxCommandEvent event(wxEVT_RADIOBUTTON, button->GetId());
  event.SetEventObject(button);
  event.SetInt(1);
  button->GetEventHandler()->ProcessEvent(event);
}

void Toggle(wxCheckBox* box) {
  box->SetValue(!box->GetValue());
  wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
  event.SetEventObject(box);
  event.SetInt(box->GetValue());
  box->GetEventHandler()->ProcessEvent(event);
}

void Press(wxWindow* window, int key) {
  wxKeyEvent event(wxEVT_KEY_DOWN);
  event.m_keyCode = key;
  event.SetEventObject(window);
  window->GetEventHandler()->ProcessEvent(event);
}

// The pointer over a window's centre, which under a bare X server also
// gives it the keys.
void PointAt(wxUIActionSimulator& sim, wxWindow* window) {
  wxGetTopLevelParent(window)->Raise();
  wxRect r = window->GetScreenRect();
  sim.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
  wxtest::Pump(50);
}

uint64_t TotalHits(const CRowTable& table) {
  uint64_t hits = 0;
  for (int32_t i = 0; i < table.RowCount(); ++i) hits += table.GetRow(i)->Hits();
  return hits;
}

class PanesWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(StripPath()));
    // The shipped robot table, so the fixture's spiders are known as such.
    tvtest::WriteFile(tvtest::Home() + "robot.dat", tvtest::ReadFile(ShippedTable("robot.dat")));
    LoadAuxDatabases(false);
    counts = CountFixture();
    window = new TestPaneWindow;
    window->Show();
    window->Load(FixturePath());
    ASSERT_TRUE(wxtest::PumpUntil([] { return window->Idle(); }, 30000));
  }
  static void TearDownTestSuite() {
    window->panes.reset();
    window->Destroy();
    window = nullptr;
    wxtest::Pump(50);
    g_project.Reset();
    g_workspace.groups.Clear();
    g_uiQuery = CQueryParams{};
    FreeAuxDatabases();
    tv::RemoveFile(tvtest::Home() + "robot.dat");
  }
  void SetUp() override {
    ASSERT_NE(window, nullptr);
    g_uiQuery = CQueryParams{};
    g_uiQuery.groupOn[8] = 1;
  }
  static bool Show(int kind, bool chart = false) {
    window->ShowKind(kind, chart);
    return wxtest::PumpUntil([] { return window->Idle(); }, 20000);
  }
  static bool WaitJob() { return wxtest::PumpUntil([] { return window->Idle(); }, 20000); }
  static int VisiblePanes() {
    int shown = 0;
    for (int slot = 0; slot < kPaneSlotCount; ++slot) shown += ReportPane(slot)->IsShown();
    return shown;
  }

  static TestPaneWindow* window;
  static FixtureCounts counts;
};
TestPaneWindow* PanesWindow::window = nullptr;
FixtureCounts PanesWindow::counts;

TEST_F(PanesWindow, EveryPaneMadeOnceAndOneShownAtATime) {
  for (int slot = 0; slot < kPaneSlotCount; ++slot) {
    ASSERT_NE(ReportPane(slot), nullptr) << slot;
    EXPECT_EQ(ReportPane(slot)->GetParent(), window->view);
  }
  EXPECT_NE(ListPane(FirstPaneSlot(kPaneReportList)), nullptr);
  EXPECT_EQ(ListPane(FirstPaneSlot(kPaneChart)), nullptr);
  for (int slot : {FirstPaneSlot(kPaneStart), FirstPaneSlot(kPaneUserList) + 3, FirstPaneSlot(kPaneWorkspace)}) {
    ShowPaneSlot(slot);
    EXPECT_EQ(CurrentPaneSlot(), slot);
    EXPECT_TRUE(ReportPane(slot)->IsShown());
    EXPECT_EQ(VisiblePanes(), 1);
  }
  EXPECT_EQ(ListPane(FirstPaneSlot(kPaneReportList))->reportList->GetToolTipText(),
            "Double click on item to detail report");
}

// Enter and Esc pressed in a pane's list (the OK and Cancel keys of a
// dialog) leave the pane, its report and the window as they were.
TEST_F(PanesWindow, EnterAndEscInAPaneCloseNothing) {
  wxtest::DialogScript none;  // and no dialog opens
  wxUIActionSimulator sim;
  for (int kind : {kReportPage, kReportPath, kReportHour}) {
    SCOPED_TRACE(kind);
    ASSERT_TRUE(Show(kind));
    const int slot = CurrentPaneSlot();
    CReportPane* pane = ListPane(slot);
    ASSERT_NE(pane, nullptr);
    const int items = pane->reportList->GetItemCount();
    ASSERT_GT(items, 0);
    PointAt(sim, pane->reportList);
    pane->reportList->SetFocus();
    wxtest::Pump(50);
    for (int key : {WXK_RETURN, WXK_ESCAPE, WXK_RETURN, WXK_ESCAPE}) {
      sim.Char(key);
      wxtest::Pump(80);
    }
    ASSERT_TRUE(WaitJob());
    EXPECT_EQ(CurrentPaneSlot(), slot);
    EXPECT_TRUE(pane->IsShown());
    EXPECT_TRUE(window->IsShown());
    EXPECT_EQ(pane->reportList->GetItemCount(), items);
    EXPECT_EQ(VisiblePanes(), 1);
  }
}

// The plain list pane's tip covers the whole pane, with its own delays: it
// shows once the pointer has rested for the initial delay, not before, and
// goes when the pointer leaves the pane.
TEST_F(PanesWindow, PlainPaneTipShowsAfterItsDelayAndGoesWhenThePointerLeaves) {
  ASSERT_TRUE(Show(kReportPath));
  auto* pane = dynamic_cast<CSubreportListDlg*>(ReportPane(CurrentPaneSlot()));
  ASSERT_NE(pane, nullptr);
  CPaneTip* tip = pane->Tip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->Text(), "Double click on item to detail report");
  EXPECT_EQ(tip->InitialDelay(), 200);
  EXPECT_EQ(tip->PopDownDelay(), 32767);
  EXPECT_EQ(tip->ReshowDelay(), 200);
  // The list itself has no tip of its own here: one tip, not two.
  EXPECT_EQ(pane->reportList->GetToolTip(), nullptr);

  wxUIActionSimulator sim;
  wxRect outside = window->GetScreenRect();
  sim.MouseMove(outside.GetRight() + 40, outside.GetBottom() + 40);
  wxtest::Pump(100);
  EXPECT_FALSE(tip->IsShown());

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round ? "the pointer back" : "the pointer first in");
    wxRect list = pane->reportList->GetScreenRect();
    window->Raise();
    sim.MouseMove(list.x + list.width / 2, list.y + list.height / 2);
    wxStopWatch watch;
    wxtest::Pump(60);
    sim.MouseMove(list.x + list.width / 2 + 3, list.y + list.height / 2 + 2);
    watch.Start();
    wxtest::Pump(120);
    EXPECT_FALSE(tip->IsShown()) << "shown before the pointer rested 200 ms";
    ASSERT_TRUE(wxtest::PumpUntil([&] { return tip->IsShown(); }, 3000)) << "the tip never showed";
    EXPECT_GE(watch.Time(), 190);
    wxWindow* shown = tip->TipWindow();
    ASSERT_NE(shown, nullptr);
    // Near the pointer, on the screen, showing its whole text.
    wxRect at = shown->GetScreenRect();
    EXPECT_LE(std::abs(at.y - (list.y + list.height / 2 + 22)), 30);
    EXPECT_GE(at.width, shown->GetTextExtent(tip->Text()).GetWidth());
    if (round == 0) {
      EXPECT_TRUE(wxtest::SaveScreenshot("panes_plain_tip"));
    }

    // Moving inside the pane keeps it; leaving the pane takes it away.
    sim.MouseMove(list.x + 20, list.y + list.height / 2);
    wxtest::Pump(100);
    EXPECT_TRUE(tip->IsShown());
    sim.MouseMove(outside.GetRight() + 40, outside.GetBottom() + 40);
    ASSERT_TRUE(wxtest::PumpUntil([&] { return !tip->IsShown(); }, 2000)) << "the tip stayed";
  }

  // Another report put in front takes the tip away.
  {
    wxRect list = pane->reportList->GetScreenRect();
    sim.MouseMove(list.x + list.width / 2, list.y + list.height / 2);
    ASSERT_TRUE(wxtest::PumpUntil([&] { return tip->IsShown(); }, 3000));
    ASSERT_TRUE(Show(kReportPage));
    EXPECT_FALSE(tip->IsShown());
    sim.MouseMove(outside.GetRight() + 40, outside.GetBottom() + 40);
    wxtest::Pump(50);
    ASSERT_TRUE(Show(kReportPath));
  }

  // A click in the pane takes the tip away until the pointer has left.
  wxRect list = pane->reportList->GetScreenRect();
  sim.MouseMove(list.x + list.width / 2, list.y + list.height / 2);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return tip->IsShown(); }, 3000));
  sim.MouseClick();
  wxtest::Pump(500);
  EXPECT_FALSE(tip->IsShown());
  sim.MouseMove(outside.GetRight() + 40, outside.GetBottom() + 40);
  wxtest::Pump(50);
}

TEST(StartPane, TextStaysCentredAndNeverLeavesThePane) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "Start", wxPoint(0, 0), wxSize(900, 600));
  auto* start = new CChooseReportDlg;
  ASSERT_TRUE(start->Create(frame));
  frame->Show();
  wxtest::Pump(50);
  EXPECT_EQ(start->Text()->GetLabel(), "Choose the report");
  wxSize text = start->Text()->GetSize();
  for (wxSize size : {wxSize(800, 500), wxSize(text.GetWidth() - 40, 20), wxSize(640, 300)}) {
    start->SetSize(size);
    wxtest::Pump(20);
    wxPoint at = start->Text()->GetPosition();
    EXPECT_EQ(at.x, std::max((size.GetWidth() - text.GetWidth()) / 2, 0)) << size.GetWidth();
    EXPECT_EQ(at.y, std::max(size.GetHeight() / 2 - text.GetHeight(), 0)) << size.GetHeight();
  }
  frame->Destroy();
  wxtest::Pump(20);
}

TEST_F(PanesWindow, ListFiltersRerunTheReportOnTheWorker) {
  ASSERT_GT(counts.spiderLines, 0);
  ASSERT_GT(counts.errorLines, 0);
  ASSERT_TRUE(Show(kReportPage));
  auto* pane = static_cast<CReportListDlg*>(ListPane(TopLevelPaneSlot(kReportPage)));
  ASSERT_TRUE(pane->IsShown());
  CRowTable& table = window->tables[kReportPage];
  EXPECT_EQ(TotalHits(table), static_cast<uint64_t>(counts.lines));
  EXPECT_TRUE(pane->SpiderButton(0)->GetValue());

  Click(pane->SpiderButton(2));  // "Spiders only"
  EXPECT_TRUE(IsWorkerBusy());
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(TotalHits(table), static_cast<uint64_t>(counts.spiderLines));
  EXPECT_EQ(static_cast<size_t>(table.RowCount()), counts.spiderPages.size());
  for (int32_t i = 0; i < table.RowCount(); ++i) {
    EXPECT_TRUE(table.GetRow(i)->Flags() & kHitRobot);
    EXPECT_TRUE(counts.spiderPages.count(PageOf(table.GetRow(i)->Record())));
  }
  // The list shows the new rows, with the totals row.
  EXPECT_EQ(pane->reportList->GetItemCount(), table.RowCount() + (table.RowCount() >= 2 ? 1 : 0));

  Click(pane->SpiderButton(2));  // the same choice again: no re-run
  EXPECT_FALSE(IsWorkerBusy());
  Click(pane->SpiderButton(0));
  ASSERT_TRUE(WaitJob());
  Click(pane->ResponseButton(2));  // "Errors"
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(TotalHits(table), static_cast<uint64_t>(counts.errorLines));
  EXPECT_EQ(g_uiQuery.successOn, 0u);
  EXPECT_EQ(g_uiQuery.errorsOn, 1u);
  ASSERT_TRUE(wxtest::SaveScreenshot("panes_list"));

  Click(pane->ResponseButton(0));
  ASSERT_TRUE(WaitJob());
  // The groups list: "Pages" unchecked leaves no page of that group.
  ASSERT_EQ(pane->groupsList->GetItemCount(), 4);
  pane->ToggleGroupItem(0);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.groupOn[0], 0u);
  for (int32_t i = 0; i < table.RowCount(); ++i) {
    std::string page = PageOf(table.GetRow(i)->Record());
    EXPECT_EQ(page.find(".htm"), std::string::npos) << page;
    EXPECT_EQ(page.find(".php"), std::string::npos) << page;
  }
  pane->ToggleGroupItem(3);  // "All Others": the hits in no group
  EXPECT_EQ(g_uiQuery.groupOn[8], 0u);
  ASSERT_TRUE(WaitJob());
  wxListItem item;
  item.SetId(3);
  item.SetMask(wxLIST_MASK_IMAGE);
  pane->groupsList->GetItem(item);
  EXPECT_EQ(item.GetImage(), 28);
}

TEST_F(PanesWindow, UserAndAgentPanesFilterSpiders) {
  ASSERT_TRUE(Show(kReportHost));
  auto* users = static_cast<CUserListDlg*>(ListPane(TopLevelPaneSlot(kReportHost)));
  EXPECT_EQ(users->SpiderButton(0)->GetLabel(), "All users");
  Click(users->SpiderButton(1));  // without spiders
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(TotalHits(window->tables[kReportHost]), static_cast<uint64_t>(counts.lines - counts.spiderLines));

  g_uiQuery = CQueryParams{};
  ASSERT_TRUE(Show(kReportBrowser));
  auto* agents = static_cast<CAgentListDlg*>(ListPane(TopLevelPaneSlot(kReportBrowser)));
  EXPECT_TRUE(agents->AgentBox(2)->GetValue());
  Toggle(agents->AgentBox(2));  // spiders off: every click re-runs
  EXPECT_TRUE(IsWorkerBusy());
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.spidersOn, 0u);
  const CRowTable& table = window->tables[kReportBrowser];
  for (int32_t i = 0; i < table.RowCount(); ++i) EXPECT_FALSE(table.GetRow(i)->Flags() & kHitRobot);
  Toggle(agents->AgentBox(0));
  EXPECT_TRUE(IsWorkerBusy());
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_uiQuery.browserClass0On, 0u);
}

TEST_F(PanesWindow, SummaryPaneShowsTheStatistics) {
  ASSERT_TRUE(Show(kReportSummary));
  CReportPane* pane = ListPane(TopLevelPaneSlot(kReportSummary));
  EXPECT_TRUE(pane->IsShown());
  EXPECT_EQ(pane->reportList->GetItemCount(), g_project.send_receive ? 16 : 15);
  EXPECT_EQ(pane->reportList->GetImageList(wxIMAGE_LIST_SMALL), nullptr);
  ASSERT_TRUE(wxtest::SaveScreenshot("panes_summary"));
}

TEST_F(PanesWindow, DetailTreeGroupsSpiderVisitsInEveryOrder) {
  ASSERT_TRUE(Show(kReportSpiderTree));
  CDetailTreeDlg* pane = DetailTreePane();
  ASSERT_TRUE(pane->IsShown());
  wxTreeCtrl* tree = pane->Tree();
  EXPECT_EQ(pane->order, 0);
  wxTreeItemIdValue cookie;
  EXPECT_EQ(tree->GetChildrenCount(tree->GetRootItem(), false), counts.spiderDates.size());
  EXPECT_EQ(tree->GetChildrenCount(tree->GetRootItem(), true),
            counts.spiderDates.size() + static_cast<size_t>(counts.spiderLines) +
                [&] {  // one spider node per date and spider
                  size_t n = 0;
                  for (auto d = tree->GetFirstChild(tree->GetRootItem(), cookie); d.IsOk(); d = tree->GetNextSibling(d))
                    n += tree->GetChildrenCount(d, false);
                  return n;
                }());
  // The last date: Googlebot's two visits of /about.html are two leaves under one spider.
  wxTreeItemId lastDate = tree->GetLastChild(tree->GetRootItem());
  int aboutLeaves = 0;
  for (auto s = tree->GetFirstChild(lastDate, cookie); s.IsOk(); s = tree->GetNextSibling(s)) {
    wxTreeItemIdValue inner;
    if (tree->GetItemText(s) != "Googlebot") continue;
    EXPECT_EQ(tree->GetItemImage(s), 9);
    for (auto p = tree->GetFirstChild(s, inner); p.IsOk(); p = tree->GetNextSibling(p))
      aboutLeaves += tree->GetItemText(p) == "/about.html";
  }
  EXPECT_GE(aboutLeaves, 2);
  tree->ExpandAll();
  ASSERT_TRUE(wxtest::SaveScreenshot("panes_detailtree"));

  int builds = pane->BuildCount();
  Click(pane->OrderButton(4));  // page first
  EXPECT_EQ(pane->BuildCount(), builds + 1);
  EXPECT_EQ(tree->GetChildrenCount(tree->GetRootItem(), false), counts.spiderPages.size());
  Click(pane->OrderButton(4));  // the same order: no rebuild
  EXPECT_EQ(pane->BuildCount(), builds + 1);
}

TEST_F(PanesWindow, ChartPaneDrawsBarsAndPieAndLeavesNoFiles) {
  ASSERT_TRUE(Show(kReportHour, true));
  CChartDlg* chart = ChartPane();
  ASSERT_TRUE(chart->IsShown());
  EXPECT_EQ(VisiblePanes(), 1);
  chart->chartType = 2;
  chart->TransferToChoices();
  int draws = chart->DrawCount();
  chart->Refresh();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return chart->DrawCount() > draws; }));
  ASSERT_TRUE(chart->ChartBitmap().IsOk());
  ChartPlacement place = PlaceChart(chart->paneWidth - chart->ChartLeft(), chart->paneHeight, chart->ChartLeft());
  EXPECT_EQ(chart->ChartBitmap().GetWidth(), place.width);
  EXPECT_EQ(chart->ChartPosition(), wxPoint(place.x, place.y));
  EXPECT_FALSE(tv::FileExists(tv::TempDir() + "chart.png"));
  EXPECT_FALSE(tv::FileExists(tv::TempDir() + "chart.bmp"));
  ASSERT_TRUE(wxtest::SaveScreenshot("panes_chart_bars"));

  // A real click on the pie radio: the choice goes to the pane and the
  // program-wide chart type, and the chart is drawn again.
  wxRadioButton* pie = static_cast<wxRadioButton*>(chart->FindWindow(1003));
  ASSERT_NE(pie, nullptr);
  ASSERT_FALSE(pie->GetValue());
  draws = chart->DrawCount();
  wxUIActionSimulator sim;
  PointAt(sim, pie);
  sim.MouseClick();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return chart->chartType == 1; }, 3000)) << "the click did not reach the radio";
  EXPECT_TRUE(pie->GetValue());
  EXPECT_EQ(g_chartType, 1);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return chart->DrawCount() > draws; }));
  ASSERT_TRUE(wxtest::SaveScreenshot("panes_chart_pie"));
  EXPECT_FALSE(tv::FileExists(tv::TempDir() + "chart.png"));
  EXPECT_FALSE(tv::FileExists(tv::TempDir() + "chart.bmp"));

  // A narrow pane: the picture keeps its least width and starts right of the choices.
  wxBitmap target(300, 200);
  wxMemoryDC dc(target);
  ASSERT_TRUE(chart->DrawReportChart(dc, 300 - chart->ChartLeft(), 200));
  EXPECT_EQ(chart->ChartBitmap().GetWidth(), 400);
  EXPECT_EQ(chart->ChartBitmap().GetHeight(), 200);
  EXPECT_EQ(chart->ChartPosition(), wxPoint(chart->ChartLeft(), 0));

  // A kind without a chart: nothing drawn, nothing left, no crash.
  chart->SetChartPaneData(kReportPage, &window->tables[kReportHour]);
  EXPECT_FALSE(chart->DrawReportChart(dc, 300, 200));
  EXPECT_FALSE(tv::FileExists(tv::TempDir() + "chart.png"));
  chart->SetChartPaneData(kReportHour, &window->tables[kReportHour]);
}

TEST_F(PanesWindow, WorkspacePaneEditsSourcesAndGroups) {
  ShowPaneSlot(FirstPaneSlot(kPaneWorkspace));
  CWorkspaceDlg* pane = WorkspacePane();
  auto& dialogs = CWorkspaceDlg::PaneDialogs();
  auto saved = dialogs;
  int answer = wxYES;
  std::string lastMessage;
  dialogs.message = [&](const wxString& text, long) {
    lastMessage = tv::WxToBytes(text);
    return answer;
  };
  // The dialog stand-in: OK with the initial source and a new path, or Cancel.
  bool ok = true;
  std::string newPath = "/logs/edited.log";
  bool initialBlank = false;
  dialogs.editSource = [&](wxWindow*, const CLogSource& initial, const CWorkspaceDlg::TakeSource& take) {
    initialBlank = !initial.proxy && !initial.file && initial.type == kSourceLocal;
    if (!ok) return false;
    CLogSourceList copy;
    CLogSource* edited = copy.Add(initial);
    SetStr(&edited->file, newPath.c_str());
    take(*edited);
    return true;
  };
  int resets = 0;
  ReportPaneHooks().resetNavigation = [&](int mode) { resets += mode == 1; };

  const int loaded = g_project.sources.Count();
  g_workspace.ClearDirty();
  ok = false;
  pane->AddLogSource();  // Cancel: nothing changes
  EXPECT_EQ(g_project.sources.Count(), loaded);
  EXPECT_FALSE(g_workspace.IsDirty());
  EXPECT_TRUE(initialBlank);  // the dialog presets a blank source's proxy
  ok = true;
  Press(pane->logList, WXK_INSERT);
  ASSERT_EQ(g_project.sources.Count(), loaded + 1);
  EXPECT_STREQ(g_project.sources[loaded].file, "/logs/edited.log");
  EXPECT_TRUE(g_workspace.IsDirty());
  EXPECT_TRUE(pane->logList->IsSelected(loaded));

  // Update keeps every field the dialog does not show.
  CLogSource& second = g_project.sources[loaded];
  second.type = kSourceOdbc;
  SetStr(&second.db_dns, "weblogs");
  SetStr(&second.db_table, "hits");
  SetStr(&second.user, "reader");
  second.prop = 5;
  pane->FillLogSourceList(loaded);
  EXPECT_EQ(tv::WxToBytes(pane->logList->GetString(loaded)), "ODBC (DNS='weblogs', Table='hits')");
  SetStr(&second.file, "/logs/before.log");
  Press(pane->logList, WXK_RETURN);
  EXPECT_STREQ(second.file, "/logs/edited.log");
  EXPECT_STREQ(second.db_table, "hits");
  EXPECT_STREQ(second.user, "reader");
  EXPECT_EQ(second.prop, 5u);
  EXPECT_EQ(second.type, kSourceOdbc);
  ok = false;
  SetStr(&second.file, "/logs/before.log");
  pane->UpdateLogSource();
  EXPECT_STREQ(second.file, "/logs/before.log");

  // Delete: "No" keeps all; "Yes" on the last keeps the selection on the new last.
  answer = wxNO;
  Press(pane->logList, WXK_DELETE);
  EXPECT_EQ(lastMessage, "Delete the selection log file(s) from workspace?");
  EXPECT_EQ(g_project.sources.Count(), loaded + 1);
  answer = wxYES;
  Press(pane->logList, WXK_DELETE);
  EXPECT_EQ(g_project.sources.Count(), loaded);
  EXPECT_TRUE(pane->logList->IsSelected(loaded - 1));
  EXPECT_EQ(resets, 1);

  // A local ';' list adds one source per file not in the workspace yet.
  ok = true;
  newPath = "/logs/one.log;" + std::string(g_project.sources[0].file) + ";/logs/two.log";
  pane->AddLogSource();
  ASSERT_EQ(g_project.sources.Count(), loaded + 2);
  EXPECT_STREQ(g_project.sources[loaded].file, "/logs/one.log");
  EXPECT_STREQ(g_project.sources[loaded + 1].file, "/logs/two.log");

  // Groups: added at the selection, moved, refused past eight, deleted.
  g_workspace.groups.Clear();
  g_workspace.groups.Insert(0, "Pages", ".html;.htm;.php", kGroupPages);
  g_workspace.groups.Insert(1, "Images", ".gif;.jpg;.png", kGroupOther);
  g_workspace.groups.Insert(2, "Downloads", ".zip;.pdf", kGroupDownloads);
  pane->FillGroupList(1);
  int named = 0;
  dialogs.editGroup = [&](wxWindow*, std::string& name, std::string& masks, uint16_t& type) {
    name = "Style " + std::to_string(++named);
    masks = ".css";
    type = kGroupOther;
    return true;
  };
  pane->AddGroup();
  ASSERT_EQ(g_workspace.groups.Count(), 4);
  EXPECT_STREQ(g_workspace.groups[1].name, "Style 1");
  EXPECT_STREQ(g_project.groups[1].name, "Style 1");  // the engine took the groups
  EXPECT_EQ(pane->groupList->GetSelection(), 1);
  EXPECT_EQ(pane->groupList->GetCount(), 5u);  // and an empty line after them
  pane->MoveGroup(false);
  EXPECT_STREQ(g_workspace.groups[2].name, "Style 1");
  EXPECT_EQ(pane->groupList->GetSelection(), 2);
  pane->MoveGroup(true);
  pane->MoveGroup(true);
  EXPECT_STREQ(g_workspace.groups[0].name, "Style 1");
  while (g_workspace.groups.Count() < CGroupList::kMaxGroups) pane->AddGroup();
  lastMessage.clear();
  pane->AddGroup();
  EXPECT_EQ(lastMessage, "Too many groups");
  EXPECT_EQ(g_workspace.groups.Count(), CGroupList::kMaxGroups);
  while (g_workspace.groups.Count() > 3) {
    pane->groupList->SetSelection(0);
    pane->DeleteGroup();
  }
  EXPECT_EQ(lastMessage, "Delete the selection group from workspace?");
  EXPECT_STREQ(g_workspace.groups[0].name, "Pages");
  pane->groupList->SetSelection(2);
  answer = wxNO;
  pane->DeleteGroup();
  EXPECT_EQ(g_workspace.groups.Count(), 3);

  // A second source for the screenshot.
  CLogSource ftp;
  CLogSourceList::InitEntry(&ftp);
  ftp.type = kSourceFtp;
  SetStr(&ftp.server, "ftp.example.org");
  g_project.sources.Add(ftp);
  pane->FillLogSourceList(0);
  pane->FillGroupList(0);
  ASSERT_TRUE(wxtest::SaveScreenshot("panes_workspace"));
  g_project.sources.Delete(g_project.sources.Count() - 1);
  g_project.groups.CopyFrom(g_workspace.groups);
  ReportPaneHooks() = PaneHooks();
  dialogs = saved;
}

// Two lines chosen with a click and a Ctrl+click: Update, by its button and
// by Enter, edits the line clicked last, not the first of the selection.
TEST_F(PanesWindow, WorkspacePaneUpdatesTheFocusedOfSeveralSources) {
  ShowPaneSlot(FirstPaneSlot(kPaneWorkspace));
  CWorkspaceDlg* pane = WorkspacePane();
  auto& dialogs = CWorkspaceDlg::PaneDialogs();
  auto saved = dialogs;
  const int before = g_project.sources.Count();
  CLogSource s;
  CLogSourceList::InitEntry(&s);
  for (const char* path : {"/logs/a.log", "/logs/b.log", "/logs/c.log"}) {
    SetStr(&s.file, path);
    ASSERT_NE(g_project.sources.Add(s), nullptr);
  }
  CLogSourceList::FreeEntry(&s);
  std::string edited;
  dialogs.editSource = [&](wxWindow*, const CLogSource& initial, const CWorkspaceDlg::TakeSource& take) {
    edited = initial.file ? initial.file : "";
    CLogSourceList copy;
    CLogSource* result = copy.Add(initial);
    SetStr(&result->file, (edited + ".new").c_str());
    take(*result);
    return true;
  };
  window->Raise();
  wxtest::Pump(100);
  wxUIActionSimulator sim;
  auto clickAt = [&](wxWindow* w, wxPoint at) {
    sim.MouseMove(w->ClientToScreen(at));
    wxtest::Pump(30);
    sim.MouseClick();
    wxtest::Pump(100);
  };
  auto clickRow = [&](int row) {
    wxRect r;
    ASSERT_TRUE(pane->logList->GetItemRect(row, r));
    clickAt(pane->logList, wxPoint(r.x + 20, r.y + r.height / 2));
  };
  auto chooseTwo = [&](int first, int last) {
    pane->FillLogSourceList(first);
    pane->logList->EnsureVisible(last);
    wxtest::Pump(50);
    clickRow(first);
    sim.KeyDown(WXK_CONTROL);
    wxtest::Pump(30);
    clickRow(last);
    sim.KeyUp(WXK_CONTROL);
    wxtest::Pump(50);
    wxArrayInt selected;
    ASSERT_EQ(pane->logList->GetSelections(selected), 2) << "click and Ctrl+click";
  };
  const int a = before, c = before + 2;

  chooseTwo(a, c);
  wxtest::SaveScreenshot("panes_workspace_two_selected");
  wxWindow* update = pane->FindWindow(1000);
  ASSERT_NE(update, nullptr);
  clickAt(update, wxPoint(update->GetSize().x / 2, update->GetSize().y / 2));
  EXPECT_EQ(edited, "/logs/c.log") << "the button";
  EXPECT_STREQ(g_project.sources[c].file, "/logs/c.log.new");
  EXPECT_STREQ(g_project.sources[a].file, "/logs/a.log");

  edited.clear();
  chooseTwo(c, a);
  sim.Char(WXK_RETURN);
  wxtest::Pump(100);
  EXPECT_EQ(edited, "/logs/a.log") << "Enter";
  EXPECT_STREQ(g_project.sources[a].file, "/logs/a.log.new");
  EXPECT_STREQ(g_project.sources[c].file, "/logs/c.log.new");

  while (g_project.sources.Count() > before) g_project.sources.Delete(g_project.sources.Count() - 1);
  pane->FillLogSourceList(0);
  dialogs = saved;
}

// A workspace of many sources: the pane fills its list in one batch. The time
// is printed, not bounded.
TEST_F(PanesWindow, WorkspacePaneShowsManySourcesInOneBatch) {
  ShowPaneSlot(FirstPaneSlot(kPaneWorkspace));
  CWorkspaceDlg* pane = WorkspacePane();
  const int before = g_project.sources.Count();
  CLogSource s;
  CLogSourceList::InitEntry(&s);
  for (int i = 0; i < 100000; ++i) {
    SetStr(&s.file, ("/logs/access-" + std::to_string(i) + ".log").c_str());
    ASSERT_NE(g_project.sources.Add(s), nullptr);
  }
  CLogSourceList::FreeEntry(&s);
  auto t0 = std::chrono::steady_clock::now();
  pane->FillLogSourceList(before + 99999);
  auto t1 = std::chrono::steady_clock::now();
  pane->logList->Update();
  wxtest::Pump(20);
  auto t2 = std::chrono::steady_clock::now();
  printf("[ timing ] 100000 sources: list filled in %.3f s, drawn after %.3f s more\n",
         std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
  ASSERT_EQ(pane->logList->GetCount(), static_cast<unsigned>(before + 100000));
  EXPECT_EQ(tv::WxToBytes(pane->logList->GetString(before + 99999)),
            LogSourceLine(g_project.sources[before + 99999]));
  wxArrayInt selected;
  ASSERT_EQ(pane->logList->GetSelections(selected), 1);
  EXPECT_EQ(selected[0], before + 99999);
  while (g_project.sources.Count() > before) g_project.sources.Delete(g_project.sources.Count() - 1);
  pane->FillLogSourceList(0);
}

TEST(ReanalyzeWorkspace, AnalysesOnlyWithAReportOpen) {
  int analyses = 0, force = -1;
  ReportPaneHooks().runAnalysis = [&](int f) {
    ++analyses;
    force = f;
  };
  uint16_t savedKind = g_topReportKind;
  SettingsBlock savedSettings = g_settings;
  CAnalysisOptions savedAnalysis = g_analysisOptions;
  CDisplayOptions savedDisplay = g_project.display;
  g_project.options_copied = 0;
  g_topReportKind = kNoTopReportKind;
  g_runPending = false;
  ReanalyzeWorkspace();
  EXPECT_TRUE(g_runPending);
  EXPECT_EQ(analyses, 0);
  EXPECT_EQ(g_project.options_copied, 0u);
  g_topReportKind = kReportPage;
  ReanalyzeWorkspace();
  EXPECT_EQ(analyses, 1);
  EXPECT_EQ(force, 0);
  EXPECT_EQ(g_project.options_copied, 1u);  // the workspace's options went in first
  g_topReportKind = savedKind;
  g_settings = savedSettings;
  g_analysisOptions = savedAnalysis;
  g_project.display = savedDisplay;
  g_runPending = false;
  ReportPaneHooks() = PaneHooks();
}

}  // namespace
