#include "tests/ui/testwindow.h"

#include <wx/sizer.h>
#include <wx/splitter.h>

#include "engine/analysis/analysis.h"
#include "engine/query/query.h"
#include "engine/query/summary.h"
#include "engine/sources/odbcload.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "tests/ui/fixtureproject.h"
#include "ui/core/uistate.h"
#include "ui/panes/reportlist.h"
#include "ui/widgets/worker.h"

namespace {

// The completion has no argument; one window loads at a time.
TestReportWindow* s_loading = nullptr;

}  // namespace

TestReportWindow::TestReportWindow() : wxFrame(nullptr, wxID_ANY, "Report list", wxDefaultPosition, wxSize(1000, 560)) {
  auto* outer = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_LIVE_UPDATE);
  auto* left = new wxSplitterWindow(outer, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_LIVE_UPDATE);
  groupsList = new wxListCtrl(left, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_LIST);
  summaryList = new CSortListCtrl(left, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                  wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL);
  left->SplitHorizontally(groupsList, summaryList, 110);
  reportList = new CSortListCtrl(outer);
  reportList->SetImageList(ReportImages(), wxIMAGE_LIST_SMALL);
  outer->SplitVertically(left, reportList, 380);
  Bind(EVT_JOB_DONE, &TestReportWindow::OnJobDone, this);
  SetWorkerView(this);
}

TestReportWindow::~TestReportWindow() {
  SetWorkerView(nullptr);
  if (s_loading == this) s_loading = nullptr;
}

void TestReportWindow::Load(const std::string& logPath) {
  wxtest::UseFixtureLog(logPath);
  wxtest::InsertFixtureGroups(g_project.groups);
  g_project.expand_groups = 1;
  g_project.dns_lookup = 0;
  g_analysisOptions.auto_robot = 1;
  g_analysisOptions.confirmation_robot = 0;
  g_uiQuery = CQueryParams{};
  g_uiQuery.groupOn[1] = 0;  // one group unchecked in the side list
  g_runPending = true;
  m_loaded = false;
  s_loading = this;
  RunInWorkerThread(&TestReportWindow::Job, this, &TestReportWindow::Completion);
}

uint32_t TestReportWindow::Job(void* arg) {
  auto* window = static_cast<TestReportWindow*>(arg);
  if (AnalyseLogs(g_project, 0, 0, LoadOdbcTable, "index.html")) {
    BumpQueryGeneration();
    RunQuery(g_project, kReportPage, window->table, g_uiQuery);
    RunSummaryQuery(g_project, g_summaryStats, g_uiQuery);
  }
  SendJobDone();
  return 1;
}

int32_t TestReportWindow::Completion(int32_t) {
  TestReportWindow* window = s_loading;
  s_loading = nullptr;
  if (!window) return 0;
  g_runPending = false;
  g_lastQueryRan = true;
  g_navLevel = 0;
  g_levelKinds[0] = kReportPage;
  ShowReportInList(kReportSummary, window->summaryList, nullptr, nullptr, false);
  ShowReportInList(kReportPage, window->reportList, &window->table, window->groupsList, false);
  window->m_loaded = true;
  return 0;
}

void TestReportWindow::OnJobDone(wxThreadEvent&) { EndWorkerJob(); }
