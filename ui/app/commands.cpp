#include "ui/app/commands.h"

#include <wx/clipbrd.h>
#include <wx/cmndata.h>
#include <wx/msgdlg.h>
#include <wx/printdlg.h>

#include <algorithm>
#include <vector>

#include "base/msgsink.h"
#include "engine/analysis/analysis.h"
#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "output/textexport.h"
#include "platform/launcher.h"
#include "platform/wx/wxtext.h"
#include "ui/app/application.h"
#include "ui/app/exportalllogs.h"
#include "ui/app/findinreport.h"
#include "ui/app/helpviewer.h"
#include "ui/app/mainwindow.h"
#include "ui/core/helppages.h"
#include "ui/core/navigationstate.h"
#include "ui/core/uistate.h"
#include "ui/core/whois.h"
#include "ui/core/workspaceoptions.h"
#include "ui/dialogs/databaseupdate.h"
#include "ui/dialogs/filterdialogs.h"
#include "ui/dialogs/hostlookup.h"
#include "ui/dialogs/options.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/dialogs/textprompt.h"
#include "ui/dialogs/workspacesettings.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportprint.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/opener.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

namespace {

int Message(wxWindow* parent, const wxString& text, long style) {
  if (CMainFrame::FrameMessage()) return CMainFrame::FrameMessage()(text, style);
  return wxMessageBox(text, "Trailvane", style, parent);
}

// Where a file or page the user asked for did not open, the message says so.
void SayOpenFailed(const wxString& message) { Message(nullptr, message, wxOK | wxICON_EXCLAMATION); }

// Nothing that reads or changes the analysed data may start while a job runs.
bool Idle() { return !IsWorkerBusy() && !g_runPending; }

const CLevelFilter& CurrentLevelEntry() { return g_uiQuery.levels[GetCurrentLevel()]; }

bool ReportShown() {
  const int kind = GetCurrentReportType();
  return kind != 0 && kind != kReportSpiderTree;
}

void MarkRowVisited() {
  if (CurrentReportList) CurrentReportList->MarkSelectedRow();
}

// -------------------------------------------------------------------------
// File

void OnPrintSetup(CMainFrame* frame) {
  wxPageSetupDialogData data(ProgramPrintData());
  wxPageSetupDialog dialog(frame, &data);
  if (dialog.ShowModal() != wxID_OK) return;
  ProgramPrintData() = dialog.GetPageSetupDialogData().GetPrintData();
}

void OnPrint(CMainFrame* frame) {
  if (!ReportShown() || !Idle() || !CurrentReportList) return;
  Print(CurrentReportList, frame);
}

// -------------------------------------------------------------------------
// View

void ReloadReports() {
  LoadDocumentOptions();
  ResetNavigation(1);
  RerunAllOnWorker(nullptr);
}

void OnCustomizeColumn(CMainFrame* frame) {
  const int kind = GetCurrentReportType();
  if (kind == 0 || kind == kReportSpiderTree || kind == kReportSummary || !Idle()) return;
  CCustomizeColumnDlg dlg(frame);
  dlg.m_kind = kind;
  int codes[kMaxExtraColumns] = {};
  const int count = ParseColumnMarks(g_workspace.GetColumnsCfg(static_cast<uint16_t>(kind)), codes);
  dlg.m_choice.codes.assign(codes, codes + count);
  if (dlg.ShowModal() != wxID_OK) return;
  const int n = std::min<int>(static_cast<int>(dlg.m_choice.codes.size()), kMaxExtraColumns);
  int chosen[kMaxExtraColumns] = {};
  for (int i = 0; i < n; ++i) chosen[i] = dlg.m_choice.codes[static_cast<size_t>(i)];
  char marks[8 * kMaxExtraColumns + 1];
  BuildColumnMarks(marks, sizeof marks, chosen, n);
  if (g_workspace.SetColumnsCfg(static_cast<uint16_t>(kind), marks)) g_workspace.SetDirty();
  if (TopKindSet()) ReloadReports();
}

void OnOptions(CMainFrame* frame) {
  if (!Idle() || !RunOptionsDialog(frame)) return;
  ResetNavigation(1);
  RerunAllOnWorker(nullptr);
}

// -------------------------------------------------------------------------
// Report

void OnExportAllLogsToCsv(CMainFrame* frame) {
  if (!TopKindSet() || !Idle()) return;
  wxString path = ChooseExportPath(frame, "csv");
  if (path.empty()) return;
  // Said before the analysis runs, as the other exports say it.
  const std::string bytes = tv::WxToBytes(path);
  if (!ExportFileCreatable(frame, bytes)) return;
  ExportAllLogsToCsv(bytes);
}

void OnReload() {
  if (!TopKindSet() || !Idle()) return;
  ReloadReports();
}

void OnFilterHistory(CMainFrame* frame) {
  if (!Idle()) return;
  CFilterHistoryDlg dlg(frame);
  dlg.ShowModal();
}

void OnEnvironmentFilters(CMainFrame* frame) {
  if (!Idle()) return;
  CEnvironmentFiltersDlg dlg(frame, g_uiQuery, GetCurrentReportType(), g_project.groups);
  if (dlg.ShowModal() == wxID_OK) RerunAllOnWorker(nullptr);
}

void OnConfirmSpiders(CMainFrame* frame) {
  if (!Idle()) return;
  // The dialog works on a copy: Cancel leaves the table as it was.
  std::vector<AuxSpiderRow> candidates = g_auxDatabases.autoRobots;
  CConfirmSpidersDlg dlg(frame, &candidates);
  if (dlg.ShowModal() != wxID_OK) return;
  std::copy(candidates.begin(), candidates.end(), g_auxDatabases.autoRobots.begin());
  {
    wxBusyCursor wait;
    SaveSpiderTables();
  }
  ApplyDetectedSpiders(g_project);
  if (CurrentReportList) CurrentReportList->Refresh();
}

void OnLogFileReport(CMainFrame* frame) {
  // The analysis writes the list while it runs.
  if (g_logFileReport.Count() == 0 || IsWorkerBusy()) return;
  CLogFileReportDlg dlg(frame, g_logFileReport, true);
  dlg.ShowModal();
}

void OnUpdateDatabases(CMainFrame* frame) {
  if (!Idle()) return;
  std::string host;
  uint16_t port = 0;
  if (!RunUpdateDialog(frame, &host, &port)) return;
  SetUpdateProxy(host.substr(0, 249), port);
  RunInWorkerThread(UpdateFetchListThread, nullptr, UpdateListDone);
}

void OnWorkspaceSettingsCommand(CMainFrame* frame) {
  if (!Idle()) return;
  OnWorkspaceSettings(frame);
}

// -------------------------------------------------------------------------
// Go

void OnOpenInBrowser() {
  if (!CanOpenInBrowser()) return;
  OpenSelectedInBrowser(ReportFailure(SayOpenFailed));
  MarkRowVisited();
}

void OnWhois() {
  if (!CanEditHostName()) return;
  const char* templ = g_workspace.common.whois_url ? g_workspace.common.whois_url : "";
  OpenWhois(templ, CurrentLevelEntry().Record(), ReportFailure(SayOpenFailed));
  MarkRowVisited();
}

void OnChildPages(CMainFrame* frame) {
  if (!HasSelectedRow()) return;
  if (IsSiteUrlUnset(g_project.url)) Message(frame, "Please enter a valid URL (workspase settings)", wxOK);
  GoToReport(kReportChildPages, 1);
}

// -------------------------------------------------------------------------
// Help

void OnSendBugReport() {
  const std::string path = WriteSupportMail(BugLogPath().c_str(), "Bug report", BugReportSubject().c_str());
  if (!path.empty()) OpenOrReport(path, SayOpenFailed);
}

}  // namespace

std::string BugReportSubject() { return std::string("=[") + kProductName + " " + kProductVersion + "]= Bug Report!"; }

std::string CurrentReportText() {
  if (!ReportShown()) return {};
  const int kind = GetCurrentReportType();
  CRowTable& table = GetCurrentQueryState();
  std::string text;
  WriteReportTable(text, kind, table, kTableText, g_uiQuery, ReportListComparator(kind, table));
  return text;
}

bool CopyReportToClipboard() {
  if (!HasSelectedRow() || !Idle()) return false;
  const std::string text = CurrentReportText();
  if (text.empty()) return false;
  wxWindow* parent = MainFrame();
  wxClipboardLocker locker;
  if (!locker) {
    Message(parent, "The clipboard is temporarily unavailable", wxOK | wxICON_ERROR);
    return false;
  }
  // Log texts are bytes as read: the desktop's clipboard wants Unicode text,
  // which it hands on as UTF-8.
  if (!wxTheClipboard->SetData(new wxTextDataObject(tv::BytesToWx(text)))) {
    Message(parent, "The clipboard cannot be emptied", wxOK | wxICON_ERROR);
    return false;
  }
  // Still there for other programs when this one has ended.
  wxTheClipboard->Flush();
  return true;
}

void EditHostComment(CMainFrame* frame) {
  if (!CanEditHostName()) return;
  char host[kUrlTextSize];
  FormatHostText(host, sizeof host, CurrentLevelEntry().Record(), false, false);
  if (!*host) return;
  const char* present = g_project.host_comments.Find(host);
  CPromptDlg dlg(frame, tv::BytesToWx(host), tv::BytesToWx(present && *present ? present : host));
  if (dlg.ShowModal() != wxID_OK) return;
  const std::string entered = tv::WxToBytes(dlg.m_answer);
  if (entered == host) return;
  g_project.host_comments.Set(host, entered.c_str());
  if (CurrentReportList) CurrentReportList->Refresh();
  g_workspace.SetDirty();
}

void BindApplicationCommands(CMainFrame* frame) {
  auto on = [frame](int id, auto handler) {
    frame->Bind(wxEVT_MENU, [handler](wxCommandEvent&) { handler(); }, id);
  };
  on(wxID_PRINT_SETUP, [frame] { OnPrintSetup(frame); });
  on(wxID_PRINT, [frame] { OnPrint(frame); });
  on(wxID_COPY, [] { CopyReportToClipboard(); });
  on(ID_EDIT_FIND_IN_REPORT, [] { OnFindInReport(); });
  on(ID_EDIT_FIND_AGAIN, [] { OnFindAgain(); });
  on(ID_VIEW_CUSTOMIZE_COLUMN, [frame] { OnCustomizeColumn(frame); });
  on(ID_VIEW_OPTIONS, [frame] { OnOptions(frame); });
  on(ID_REPORT_EXPORT_ALL_CSV, [frame] { OnExportAllLogsToCsv(frame); });
  on(ID_REPORT_HOST_LOOKUP, [frame] {
    CHostLookupDlg dlg(frame);
    dlg.ShowModal();
  });
  on(ID_REPORT_RELOAD, [] { OnReload(); });
  on(ID_REPORT_FILTER_HISTORY, [frame] { OnFilterHistory(frame); });
  on(ID_REPORT_ENVIRONMENT_FILTERS, [frame] { OnEnvironmentFilters(frame); });
  on(ID_REPORT_CONFIRM_SPIDERS, [frame] { OnConfirmSpiders(frame); });
  on(ID_REPORT_LOG_FILE_REPORT, [frame] { OnLogFileReport(frame); });
  on(ID_REPORT_UPDATE_DATABASES, [frame] { OnUpdateDatabases(frame); });
  on(ID_REPORT_WORKSPACE_SETTINGS, [frame] { OnWorkspaceSettingsCommand(frame); });
  on(ID_GO_OPEN_IN_BROWSER, [] { OnOpenInBrowser(); });
  on(ID_GO_WHOIS, [] { OnWhois(); });
  on(ID_HOST_COMMENT, [frame] { EditHostComment(frame); });
  on(ID_GO_CHILD_PAGES, [frame] { OnChildPages(frame); });
  on(ID_HELP_INDEX, [] { ShowHelpPage(kHelpStart); });
  on(ID_HELP_LOG_FORMATS, [] { ShowHelpPage(kHelpLogFormats); });
  on(ID_HELP_SUPPORT, [] { ShowHelpPage(kHelpSupport); });
  on(ID_HELP_BUG_REPORT, [] { OnSendBugReport(); });
}
