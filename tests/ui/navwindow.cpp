#include "tests/ui/navwindow.h"

#include <wx/sizer.h>

#include <algorithm>

#include "engine/analysis/analysis.h"
#include "engine/config/workspace.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "tests/common/testenv.h"
#include "tests/ui/fixtureproject.h"
#include "tests/ui/wxtest.h"
#include "ui/app/analysisstart.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"
#include "ui/panes/navigationjobs.h"
#include "ui/widgets/worker.h"

TestNavWindow::TestNavWindow() : wxFrame(nullptr, wxID_ANY, "Trailvane", wxPoint(0, 0), wxSize(1000, 600)) {
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  navigator = new CRMenu;
  navigator->Create(this);
  navigator->SetMinSize(wxSize(220, -1));
  row->Add(navigator, 0, wxEXPAND);
  view = new wxPanel(this);
  row->Add(view, 1, wxEXPAND | wxLEFT, 5);
  SetSizer(row);
  panes = std::make_unique<CReportPanes>();
  CreateReportPaneWindows(view);
  view->Bind(wxEVT_SIZE, [](wxSizeEvent& event) {
    ResizeReportPanes(0, std::max(event.GetSize().GetWidth(), 150), std::max(event.GetSize().GetHeight(), 150));
  });
  Bind(EVT_JOB_DONE, &TestNavWindow::OnJobDone, this);
  SetWorkerView(this);
  InstallNavigation(this);
  InstallAnalysisStart();
  Layout();
}

TestNavWindow::~TestNavWindow() {
  UninstallNavigation();
  ReportPaneHooks().runAnalysis = nullptr;
  SetWorkerView(nullptr);
}

bool TestNavWindow::Idle() { return !IsWorkerBusy(); }

void TestNavWindow::Open(const std::string& logPath, int kind) {
  wxtest::UseFixtureWorkspace(logPath);
  SwitchTopReport(kind);
}

void TestNavWindow::OnJobDone(wxThreadEvent&) { EndWorkerJob(); }

TestNavWindow* TestNavWindow::OpenForSuite(const std::string& logPath, int kind) {
  const std::string strip = std::string(TV_UI_TEST_DATA_DIR) + "/../../../res/report_images.png";
  tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(strip));
  LoadAuxDatabases(false);
  auto* window = new TestNavWindow;
  window->Show();
  window->Open(logPath, kind);
  if (!wxtest::PumpUntil([] { return Idle(); }, 20000)) return nullptr;
  return window;
}

void TestNavWindow::CloseForSuite(TestNavWindow*& window) {
  if (window) {
    window->panes.reset();
    window->Destroy();
    window = nullptr;
  }
  wxtest::Pump(50);
  g_project.Reset();
  g_workspace.groups.Clear();
  g_uiQuery = CQueryParams{};
  g_topReportKind = kNoTopReportKind;
  FreeAuxDatabases();
}
