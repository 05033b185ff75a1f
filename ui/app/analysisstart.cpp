#include "ui/app/analysisstart.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <cstdlib>
#include <string>

#include "base/msgsink.h"
#include "engine/analysis/analysis.h"
#include "engine/config/workspace.h"
#include "engine/sources/logcache.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/wx/uithread.h"
#include "platform/wx/wxtext.h"
#include "ui/core/navigationstate.h"
#include "ui/core/workspaceoptions.h"
#include "ui/dialogs/odbcperiod.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/panes/reportpanes.h"

bool g_unattended = false;
std::function<void(uint32_t, uint32_t)> g_setDateFilterPickers;

namespace {

bool IsDownload(const CLogSource& s) { return s.type == kSourceFtp || s.type == kSourceHttp; }

// A remote source's local copy: the first file the last load read.
bool LocalCopyPresent(const CLogSource& s) {
  if (!s.files || !*s.files) return false;
  std::string first = SplitFileList(s.files).front();
  return !first.empty() && tv::FileExists(first.c_str());
}

wxWindow* DialogParent() { return wxTheApp ? wxTheApp->GetTopWindow() : nullptr; }

}  // namespace

void InstallAnalysisStart() {
  ReportPaneHooks().runAnalysis = [](int force) { RunAnalysis(force); };
}

void AskReloadDownloadedLogs() {
  if (g_unattended) return;
  bool any = false;
  for (int n = 0; n < g_project.sources.Count(); ++n)
    any = any || (IsDownload(g_project.sources[n]) && LocalCopyPresent(g_project.sources[n]));
  if (!any) return;
  std::string text = std::string("Log files already loaded: ") + g_workspace.common.download_dt + ".\nReload it?";
  int answer = wxNO;
  tv::RunOnUiThread([&] {
    answer = wxMessageBox(tv::BytesToWx(text), "Trailvane", wxYES_NO | wxICON_QUESTION, DialogParent());
  });
  if (answer != wxYES) return;  // the loader reads the copies already there
  for (int n = 0; n < g_project.sources.Count(); ++n) {
    CLogSource& s = g_project.sources[n];
    if (!IsDownload(s)) continue;
    free(s.files);
    s.files = nullptr;
    g_project.sources.ResetEntryRecords(n);
  }
  free(g_workspace.common.download_dt);
  g_workspace.common.download_dt = nullptr;
  if (!g_workspace.IsDirty()) g_workspace.Save();
}

AnalysisOutcome RunAnalysis(int force) {
  LoadDocumentOptions();
  ClearStop();
  uint32_t from = 0, to = 0;
  // Nobody answers the period in the unattended run: the stored period holds.
  if (!g_unattended && g_project.NeedPeriodDialog(force)) {
    bool ok = false;
    tv::RunOnUiThread([&] { ok = RunPeriodDialog(DialogParent(), &from, &to); });
    if (!ok) return kAnalysisCancelled;
  }
  if (!force && !g_nav.reloadNeeded) {
    if (g_workspace.common.download_dt) AskReloadDownloadedLogs();
  } else {
    ResetNavigation(0);
    g_project.sources.ResetRecords();
  }
  bool analysed = false;
  if (AnalyseLogs(g_project, from, to, g_project.OdbcLoader(), g_project.index ? g_project.index : "") ||
      StopRequested()) {
    ResetNavigation(0);
    uint32_t first = g_project.first_date, last = g_project.last_date;
    if (g_setDateFilterPickers) tv::RunOnUiThread([first, last] { g_setDateFilterPickers(first, last); });
    analysed = true;
  }

  const CAuxDatabases& aux = g_auxDatabases;
  if (!g_unattended && g_analysisOptions.confirmation_robot && aux.newSpiderStart >= 0 &&
      aux.newSpiderStart < static_cast<int32_t>(aux.autoRobots.size())) {
    bool ok = false;
    tv::RunOnUiThread([&] {
      std::vector<AuxSpiderRow> candidates(g_auxDatabases.autoRobots.begin() + g_auxDatabases.newSpiderStart,
                                           g_auxDatabases.autoRobots.end());
      CConfirmSpidersDlg dlg(DialogParent(), &candidates);
      ok = dlg.ShowModal() == wxID_OK;
      if (ok) {
        std::copy(candidates.begin(), candidates.end(),
                  g_auxDatabases.autoRobots.begin() + g_auxDatabases.newSpiderStart);
        wxBusyCursor wait;
        SaveSpiderTables();
      }
    });
    if (ok) ApplyDetectedSpiders(g_project);
  }

  const int mode = g_workspace.common.display_bad_file;
  if (analysed && !g_unattended && (mode == 2 || (mode == 1 && g_logFileReport.HasEmptyFile()))) {
    tv::RunOnUiThread([mode] {
      CLogFileReportDlg dlg(DialogParent(), g_logFileReport, mode == 2);
      dlg.ShowModal();
    });
  }
  g_nav.reloadNeeded = false;
  return analysed ? kAnalysisDone : kAnalysisNothingNew;
}
