#include "ui/panes/navigationjobs.h"

#include <wx/app.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "base/msgsink.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "platform/wx/wxtext.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/detailtreepane.h"
#include "ui/panes/navigatortree.h"
#include "ui/panes/reportpanes.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/menus.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

namespace {

wxTopLevelWindow* s_frame = nullptr;
void (*s_rerunCallback)() = nullptr;
void (*s_rerunWorkerTail)() = nullptr;
ContextMenuPopupFn s_popup;
std::function<void()> s_levelMoved;
bool s_jobOk = false;
// A filter change asked for a re-run while another job ran: one re-run
// follows that job, so the report always matches the switches on screen.
bool s_rerunQueued = false;

// Looks again shortly while a job runs: the queued re-run starts once the
// running job's completion has shown its result.
wxTimer* s_rerunTimer = nullptr;

void RunQueuedRerun() {
  if (!s_rerunQueued) return;
  if (IsWorkerBusy()) {
    if (s_rerunTimer) s_rerunTimer->StartOnce(30);
    return;
  }
  s_rerunQueued = false;
  RerunAllOnWorker(nullptr);
}

void QueueRerun() {
  s_rerunQueued = true;
  if (!s_rerunTimer) {
    s_rerunTimer = new wxTimer;
    s_rerunTimer->Bind(wxEVT_TIMER, [](wxTimerEvent&) { RunQueuedRerun(); });
  }
  if (!s_rerunTimer->IsRunning()) s_rerunTimer->StartOnce(30);
}

int LevelSlot() { return g_nav.levelPane[GetCurrentLevel()]; }

// The level's pane on show with its result, the title and the navigator.
void ShowLevel(bool selectInTree) {
  ShowQueryResult();
  int slot = g_nav.chartMode && CanShowChart() ? FirstPaneSlot(kPaneChart) : LevelSlot();
  if (slot >= 0) {
    ShowPaneSlot(slot);
    if (CReportPane* pane = ListPane(slot)) pane->reportList->SetFocus();
  }
  UpdateMainTitle();
  if (CRMenu* tree = Navigator()) tree->SelectReportInTree(selectInTree);
  AppendProgressText(nullptr);
}

void LevelMoved() {
  if (s_levelMoved) s_levelMoved();
}

uint32_t GoToReportJob(void*) {
  s_jobOk = DrillDownToReport(g_nav.goKind);
  SendJobDone();
  return 1;
}

int32_t GoToReportDone(int32_t) {
  if (!s_jobOk) {
    g_runPending = false;
    return 0;
  }
  ShowLevel(false);
  LevelMoved();
  return 0;
}

uint32_t RefreshJob(void*) {
  RunCurrentQuery();
  SendJobDone();
  return 1;
}

int32_t RefreshDone(int32_t) {
  ShowLevel(false);
  LevelMoved();
  return 0;
}

uint32_t SwitchTopReportJob(void*) {
  if (RestartAtTopLevel()) {
    if (LevelSlot() != FirstPaneSlot(kPaneWorkspace)) ReanalyzeWorkspace();
    RunCurrentQuery();
  }
  SendJobDone();
  return 1;
}

int32_t SwitchTopReportDone(int32_t) {
  if (wxWindow* previous = ReportPane(g_nav.previousPane); previous && g_nav.previousPane != LevelSlot())
    previous->Hide();
  ShowLevel(true);
  LevelMoved();
  return 0;
}

uint32_t RerunAllJob(void*) {
  ReanalyzeWorkspace();
  RunCurrentQuery();
  if (s_rerunWorkerTail) s_rerunWorkerTail();
  s_rerunWorkerTail = nullptr;
  SendJobDone();
  return 1;
}

int32_t RerunAllDone(int32_t) {
  ShowLevel(false);
  void (*callback)() = s_rerunCallback;
  s_rerunCallback = nullptr;
  if (callback) callback();
  return 0;
}

wxWindow* s_previewFrame = nullptr;
CRowTable* s_previewTable = nullptr;

uint32_t PreviewJob(void*) {
  s_previewTable = RunPreviewQuery();
  SendJobDone();
  return 1;
}

// A row chosen in the level's list while a preview ran; taken up when it ends
// (a preview leaves the level's rows in place).
struct PendingSelection {
  bool set = false;
  CRow* row = nullptr;
  long item = -1;
  std::vector<CRow*> selected;
};
PendingSelection s_pendingSelection;
bool s_previewRunning = false;

void TakePendingSelection() {
  if (!s_pendingSelection.set) return;
  PendingSelection p = std::move(s_pendingSelection);
  s_pendingSelection = {};
  StoreLevelSelection(p.row, p.item, static_cast<int>(p.selected.size()), p.selected.data());
  GoDownAndRun();
}

int32_t PreviewDone(int32_t) {
  g_runPending = false;
  s_previewRunning = false;
  if (!s_previewTable || !s_previewFrame || g_nav.previewMode < 0) {
    s_pendingSelection = {};
    return 0;
  }
  if (g_nav.previewMode == 1) {
    if (auto* pane = dynamic_cast<CReportPane*>(s_previewFrame)) {
      pane->reportList->inSubreportFrame = 1;
      // Filled as the level below, so its columns follow the kind above.
      SyncLevelState();
      const int level = g_navLevel;
      const int below = g_levelKinds[level + 1];
      g_navLevel = level + 1;
      g_levelKinds[level + 1] = g_nav.previewKind;
      pane->ShowReport(g_nav.previewKind, s_previewTable, false);
      g_navLevel = level;
      g_levelKinds[level + 1] = below;
    }
  } else if (auto* chart = dynamic_cast<CChartDlg*>(s_previewFrame)) {
    chart->SetChartPaneData(g_nav.previewKind, s_previewTable);
  }
  AppendProgressText(nullptr);
  TakePendingSelection();
  return 0;
}

void OnListSelection(CRow* row, long item, bool inSubreportFrame, const std::vector<CRow*>& selected) {
  if (inSubreportFrame) return;
  if (IsWorkerBusy()) {
    // Only a preview keeps the level's rows; any other job refills the list.
    if (s_previewRunning) s_pendingSelection = {true, row, item, selected};
    return;
  }
  StoreLevelSelection(row, item, static_cast<int>(selected.size()), selected.data());
  if (g_nav.previewMode != -1) GoDownAndRun();
}

}  // namespace

void InstallNavigation(wxTopLevelWindow* frame) {
  s_frame = frame;
  ReportPaneHooks().rerunAll = [] { RerunAllOnWorker(nullptr); };
  ReportPaneHooks().resetNavigation = [](int reload) { ResetNavigation(reload); };
  ReportListNavigation().setSubreportKey = OnListSelection;
  ReportListNavigation().rowsHeldWhilePending = [] { return s_previewRunning; };
  ReportListNavigation().openSummaryRowReport = [](long row) { OpenSummaryRowReport(row); };
  ReportListNavigation().showReportContextMenu = [](const wxPoint& at, bool sub) { ShowReportContextMenu(at, sub); };
  g_nav.chartMode = false;
  g_nav.reportsShown = false;
  g_nav.savedFlag = false;
  g_nav.levelPane[0] = FirstPaneSlot(kPaneWorkspace);
  // A choice in the level's chart pane is kept for that level.
  if (CChartDlg* chart = ChartPane())
    chart->redrawLevel = [chart] {
      const int level = GetCurrentLevel();
      g_nav.chartType[level] = g_chartType;
      g_nav.chartSource[level] = g_chartSource;
      chart->Refresh();
    };
}

void UninstallNavigation() {
  FinishRunningJob();
  s_frame = nullptr;
  ReportPaneHooks().rerunAll = nullptr;
  ReportPaneHooks().resetNavigation = nullptr;
  ReportListNavigation().setSubreportKey = nullptr;
  ReportListNavigation().rowsHeldWhilePending = nullptr;
  ReportListNavigation().openSummaryRowReport = nullptr;
  ReportListNavigation().showReportContextMenu = nullptr;
  s_previewFrame = nullptr;
  g_nav.previewMode = -1;
  s_rerunQueued = false;
  if (s_rerunTimer) s_rerunTimer->Stop();
  if (CChartDlg* chart = ChartPane()) chart->redrawLevel = nullptr;
}

void GoToReport(int kind, int check) {
  if ((check && !CanDrillDown(kind)) || IsWorkerBusy()) return;
  char status[64];
  snprintf(status, sizeof status, "+Go subrep [%i]", kind);
  AppendProgressText(status);
  if (CurrentReportList) {
    CurrentReportList->MarkSelectedRow();
    CurrentReportList->SaveColumnState();
  }
  g_nav.goKind = static_cast<uint16_t>(kind);
  g_runPending = true;
  RunInWorkerThread(GoToReportJob, nullptr, GoToReportDone);
}

void GoBackToLevel(int level) {
  if (level == -1) level = GetCurrentLevel() - 1;
  // The query of the level goes through the worker like every other, so it
  // never meets a running job in the tables.
  if (level < 0 || IsWorkerBusy()) return;
  if (!MoveToLevel(level)) return;
  g_runPending = true;
  RunInWorkerThread(RefreshJob, nullptr, RefreshDone);
}

void GoForwardLevel() {
  int next = GetCurrentLevel() + 1;
  if (next > g_nav.highestLevel) return;
  GoBackToLevel(next);
}

void SwitchTopReport(int kind) {
  if (kind == g_topReportKind || IsWorkerBusy()) return;
  // The chart mode stays: the result shows as a chart when its kind has one.
  if (CChartDlg* chart = ChartPane()) chart->SetChartPaneData(-1, nullptr);
  g_nav.requestedKind = static_cast<uint16_t>(kind);
  g_runPending = true;
  RunInWorkerThread(SwitchTopReportJob, nullptr, SwitchTopReportDone);
}

void RerunAllOnWorker(void (*callback)()) { RerunAllOnWorkerThen(nullptr, callback); }

void RerunAllOnWorkerThen(void (*workerTail)(), void (*callback)()) {
  if (IsWorkerBusy()) {
    // A plain re-run (a filter changed) is never dropped; one with work of
    // its own is the caller's to repeat.
    if (!workerTail && !callback) QueueRerun();
    return;
  }
  g_runPending = true;
  s_rerunCallback = callback;
  s_rerunWorkerTail = workerTail;
  RunInWorkerThread(RerunAllJob, nullptr, RerunAllDone);
}

void ResetPaneFilters() {
  g_uiQuery.successOn = g_uiQuery.humansOn = 1;
  g_uiQuery.browserClass0On = g_uiQuery.browserClass1On = 1;
  g_uiQuery.errorsOn = g_uiQuery.spidersOn = g_uiQuery.otherAgentsOn = 0;
  uint16_t kind = g_topReportKind;
  if (kind == kNoTopReportKind) return;
  g_topReportKind = kNoTopReportKind;
  SwitchTopReport(kind);
}

void FinishRunningJob() {
  if (!IsWorkerBusy()) return;
  RequestStop();
  while (IsWorkerBusy()) {
    if (wxTheApp) wxTheApp->Yield(true);
    wxMilliSleep(1);
  }
}

void RefreshAfterNewDocument() {
  FinishRunningJob();
  // The workspace pane shows the new workspace's sources and groups at once,
  // before any report is chosen.
  if (CWorkspaceDlg* ws = WorkspacePane()) {
    ws->FillLogSourceList(0);
    ws->FillGroupList(0);
  }
  if (!g_nav.reportsShown) {
    // The loading's status lines are over: nothing more runs.
    AppendProgressText(nullptr);
    return;
  }
  if (wxWindow* shown = ReportPane(CurrentPaneSlot())) shown->Hide();
  ResetNavigation(1);
  g_runPending = true;
  RunInWorkerThread(RerunAllJob, nullptr, RefreshDone);
}

void ShowQueryResult() {
  const int slot = LevelSlot();
  const int kind = GetCurrentReportType();
  g_runPending = false;
  if (slot < 0 || PaneSlot(slot).cls == kPaneStart) return;
  CurrentReportList = nullptr;
  CRowTable* table = &GetCurrentQueryState();
  switch (PaneSlot(slot).cls) {
    case kPaneWorkspace:
      if (CWorkspaceDlg* ws = WorkspacePane()) {
        ws->FillLogSourceList(0);
        ws->FillGroupList(0);
      }
      break;
    case kPaneDetailTree:
      DetailTreePane()->SetDetailRows(table);
      DetailTreePane()->RefreshDetailTree();
      break;
    case kPaneSummary: ListPane(slot)->ShowReport(kind, nullptr, false); break;
    case kPaneChart: break;
    default:
      if (CReportPane* pane = ListPane(slot)) pane->ShowReport(kind, table, false);
      break;
  }
  if (g_nav.chartMode) ShowPane(CanShowChart() ? 1 : 0);
}

void ShowPane(int chart) {
  CChartDlg* chartPane = ChartPane();
  if (chart && CanShowChart() && chartPane) {
    g_nav.chartMode = true;
    const int level = GetCurrentLevel();
    chartPane->chartType = g_nav.chartType[level];
    chartPane->chartSource = g_nav.chartSource[level];
    chartPane->TransferToChoices();
    chartPane->SetChartPaneData(GetCurrentReportType(), &GetCurrentQueryState());
    ShowPaneSlot(FirstPaneSlot(kPaneChart));
    // The keys (Ctrl+T back to the table) reach the frame from the pane.
    chartPane->SetFocus();
    return;
  }
  g_nav.chartMode = false;
  int slot = LevelSlot();
  if (slot < 0) return;
  ShowPaneSlot(slot);
  if (CReportPane* pane = ListPane(slot)) pane->reportList->SetFocus();
  else if (wxWindow* window = ReportPane(slot)) window->SetFocus();
}

void UpdateMainTitle() {
  if (s_frame) s_frame->SetTitle(tv::BytesToWx(BuildMainTitle()));
}

void PushLevelFrame(wxWindow* frame, int kind, int previewMode) {
  s_previewFrame = previewMode < 0 ? nullptr : frame;
  g_nav.previewKind = kind;
  g_nav.previewMode = static_cast<int16_t>(previewMode < 0 ? -1 : previewMode);
  if (s_previewFrame) GoDownAndRun();
}

void GoDownAndRun() {
  // Through the worker like every query, so it never meets a running job in the tables.
  if (g_nav.previewMode < 0 || !s_previewFrame || IsWorkerBusy()) return;
  g_runPending = true;
  s_previewRunning = true;
  RunInWorkerThread(PreviewJob, nullptr, PreviewDone);
}

void OpenSummaryRowReport(long row) {
  if (IsWorkerBusy() || GetCurrentReportType() != kReportSummary || row < 0) return;
  int kind = PrepareSummaryRowReport(static_cast<int>(row));
  if (kind >= 0) GoToReport(kind, 0);
}

void ShowReportContextMenu(const wxPoint& screenPos, bool inSubreportFrame) {
  if (!s_frame) return;
  const bool cityData = g_auxDatabases.geoLoaded && g_auxDatabases.geo[kGeoCity].names.count > 0;
  std::unique_ptr<CIconMenu> menu(
      CIconMenu::CreateReportContextMenu(GetCurrentReportType(), inSubreportFrame, cityData));
  if (!menu) return;
  const wxPoint at = s_frame->ScreenToClient(screenPos);
  if (s_popup) s_popup(s_frame, menu.get(), at);
  else s_frame->PopupMenu(menu.get(), at);
}

void SetLevelMovedHook(std::function<void()> hook) { s_levelMoved = std::move(hook); }

ContextMenuPopupFn SetContextMenuPopup(ContextMenuPopupFn fn) {
  ContextMenuPopupFn before = std::move(s_popup);
  s_popup = std::move(fn);
  return before;
}
