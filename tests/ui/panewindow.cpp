#include "tests/ui/panewindow.h"

#include "engine/analysis/analysis.h"
#include "engine/query/query.h"
#include "engine/query/summary.h"
#include "engine/sources/odbcload.h"
#include "engine/store/project.h"
#include "tests/ui/fixtureproject.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/detailtreepane.h"
#include "ui/panes/reportlist.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/worker.h"

namespace {

TestPaneWindow* s_window = nullptr;  // completions have no argument

}  // namespace

TestPaneWindow::TestPaneWindow() : wxFrame(nullptr, wxID_ANY, "Report panes", wxPoint(0, 0), wxSize(900, 560)) {
  view = new wxPanel(this);
  panes = std::make_unique<CReportPanes>();
  CreateReportPaneWindows(view);
  view->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    ResizeReportPanes(0, std::max(event.GetSize().GetWidth(), 150), std::max(event.GetSize().GetHeight(), 150));
  });
  Bind(EVT_JOB_DONE, &TestPaneWindow::OnJobDone, this);
  SetWorkerView(this);
  s_window = this;
}

TestPaneWindow::~TestPaneWindow() {
  SetWorkerView(nullptr);
  s_window = nullptr;
}

bool TestPaneWindow::Idle() const { return !IsWorkerBusy() && !m_waiting; }

void TestPaneWindow::Load(const std::string& logPath) {
  wxtest::UseFixtureLog(logPath);
  wxtest::InsertFixtureGroups(g_project.groups);
  g_project.expand_groups = 1;
  g_project.dns_lookup = 0;
  g_analysisOptions.auto_robot = 0;
  g_uiQuery = CQueryParams{};
  g_runPending = true;
  m_waiting = true;
  RunInWorkerThread(&TestPaneWindow::LoadJob, this, &TestPaneWindow::LoadDone);
}

uint32_t TestPaneWindow::LoadJob(void*) {
  if (AnalyseLogs(g_project, 0, 0, LoadOdbcTable, "index.html")) BumpQueryGeneration();
  SendJobDone();
  return 1;
}

int32_t TestPaneWindow::LoadDone(int32_t) {
  g_runPending = false;
  if (s_window) s_window->m_waiting = false;
  return 0;
}

void TestPaneWindow::ShowKind(int kind, bool chart) {
  m_kind = kind;
  m_chart = chart;
  m_waiting = true;
  g_runPending = true;
  RunInWorkerThread(&TestPaneWindow::QueryJob, this, &TestPaneWindow::QueryDone);
}

uint32_t TestPaneWindow::QueryJob(void* arg) {
  auto* window = static_cast<TestPaneWindow*>(arg);
  int kind = window->m_kind;
  if (kind == kReportSummary) RunSummaryQuery(g_project, g_summaryStats, g_uiQuery);
  else if (kind > 0) g_lastQueryRan = RunQuery(g_project, kind, window->tables[kind], g_uiQuery) != 0;
  SendJobDone();
  return 1;
}

int32_t TestPaneWindow::QueryDone(int32_t) {
  TestPaneWindow* w = s_window;
  if (!w) return 0;
  int kind = w->m_kind;
  g_runPending = false;
  g_lastQueryRan = true;
  g_navLevel = 0;
  g_levelKinds[0] = kind;
  g_topReportKind = static_cast<uint16_t>(kind);
  if (w->m_chart) {
    ShowPaneSlot(FirstPaneSlot(kPaneChart));
    ChartPane()->SetChartPaneData(kind, &w->tables[kind]);
  } else {
    int slot = TopLevelPaneSlot(kind);
    ShowPaneSlot(slot);
    switch (PaneSlot(slot).cls) {
      case kPaneDetailTree:
        DetailTreePane()->SetDetailRows(&w->tables[kind]);
        DetailTreePane()->RefreshDetailTree();
        break;
      case kPaneSummary: ListPane(slot)->ShowReport(kind, nullptr, false); break;
      case kPaneWorkspace:
        WorkspacePane()->FillLogSourceList(0);
        WorkspacePane()->FillGroupList(0);
        break;
      case kPaneStart: case kPaneChart: break;
      default: ListPane(slot)->ShowReport(kind, &w->tables[kind], false); break;
    }
  }
  w->m_waiting = false;
  return 0;
}

void TestPaneWindow::OnJobDone(wxThreadEvent&) { EndWorkerJob(); }
