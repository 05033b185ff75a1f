#include "ui/app/application.h"

#include <wx/datetime.h>
#include <wx/display.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/snglinst.h>
#include <wx/time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/msgsink.h"
#include "engine/analysis/environment.h"
#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/sources/dbupdate.h"
#include "engine/sources/logload.h"
#include "engine/sources/odbcload.h"
#include "engine/sources/remotelogs.h"
#include "engine/store/project.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/launcher.h"
#include "platform/wx/modalwatch.h"
#include "platform/wx/profile.h"
#include "platform/wx/uithread.h"
#include "platform/wx/wxtext.h"
#include "ui/app/analysisstart.h"
#include "ui/app/commands.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"
#include "ui/app/programend.h"
#include "ui/core/commandline.h"
#include "ui/core/dialogrules.h"
#include "ui/core/documentnames.h"
#include "ui/core/panetables.h"
#include "ui/core/proxysetting.h"
#include "ui/core/uistate.h"
#include "ui/core/windowplacement.h"
#include "ui/dialogs/about.h"
#include "ui/dialogs/databaseupdate.h"
#include "ui/dialogs/filetypegroup.h"
#include "ui/dialogs/logsource.h"
#include "ui/panes/columnprofile.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/navigatortree.h"
#include "ui/panes/reportpanes.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/opener.h"
#include "ui/widgets/toolbar.h"
#include "ui/widgets/worker.h"

namespace {

std::unique_ptr<wxSingleInstanceChecker> s_instance;
bool s_firstInstance = true;
bool s_environmentUp = false;
std::unique_ptr<CTrailvaneDoc> s_document;
// The crash-report mail CheckPreviousRun prepared for this start, or "".
std::string s_crashMail;

std::string s_proxyHost;
uint16_t s_proxyPort = 0;
std::unique_ptr<std::vector<CUpdateEntry>> s_updateEntries;
int s_updateCount = 0;
std::atomic<int> s_exitStatus{0};  // set by the jobs on the worker
// The unattended run got to its own end (not cut short by the program's end).
bool s_runFinished = false;
// The log target before an unattended run replaced it, given back at its end.
wxLog* s_savedLog = nullptr;
bool s_logReplaced = false;
// No server may keep a scheduled run alive for longer than this.
constexpr uint32_t kUnattendedTransferMs = 6 * 3600 * 1000;

// The stored rectangle is believed only when a screen shows some of it.
bool OnSomeScreen(const WindowRect& r) {
  wxRect rect(r.left, r.top, r.Width(), r.Height());
  for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
    if (wxDisplay(i).GetGeometry().Intersects(rect)) return true;
  return false;
}

void PrintEngineError(const char* text) {
  if (text) fprintf(stderr, "trailvane: %s\n", text);
}

// The update's end: back to the user when they stopped it, else the program
// closes. Stopped by the program's end, the run did not do its work.
void EndUnattendedRun() {
  if (StopRequested() && !ProgramEnding()) {
    g_commandLineMode = kModeInteractive;
    return;
  }
  s_runFinished = true;
  if (StopRequested()) {
    PrintEngineError("The update run failed: it was stopped before it was done");
    s_exitStatus = 1;
  }
  CloseMainWindowLater();
}

// An unattended run has nobody to answer a dialog: a message is printed, a
// question gets the answer that does nothing (No, Cancel), and an error or a
// warning fails the run.
// The list of newer tables is shown by design; what it asks is the user's.
int UnattendedAnswer(wxDialog* dialog) {
  if (g_commandLineMode == kModeInteractive) return wxID_NONE;
  if (g_commandLineMode == kModeUpdate)
    for (wxWindow* w = dialog; w; w = w->GetParent())
      if (dynamic_cast<CUpdateListDlg*>(w)) return wxID_NONE;
  wxString text;
  long style = 0;
  if (tv::MessageBoxText(dialog, &text, &style)) {
    PrintEngineError(tv::WxToBytes(text).c_str());
    if (style & (wxICON_ERROR | wxICON_WARNING)) s_exitStatus = 1;
  } else {
    fprintf(stderr, "trailvane: the dialog '%s' was not shown: nobody is there to answer it\n",
            tv::WxToBytes(dialog->GetTitle()).c_str());
  }
  return tv::SafeAnswer(dialog);
}

uint32_t DownloadModeThread(void*) {
  // A top-level report must be set for the workspace to be analysed.
  g_uiQuery.levels[0].kind = 1;
  if (g_topReportKind == kNoTopReportKind) g_topReportKind = 1;
  ReanalyzeWorkspace();
  // A scheduled run has only its exit status to tell what went wrong.
  for (const std::string& problem : LogLoadProblems()) {
    EngineErrorF("The download run failed: %s", problem.c_str());
    s_exitStatus = 1;
  }
  // Stopped (the Stop button, a signal): what was read is kept and saved, but
  // the logs were not all read.
  if (StopRequested()) {
    EngineError("The download run failed: it was stopped before every log was read");
    s_exitStatus = 1;
  }
  std::string stamp = tv::WxToBytes(wxDateTime::Now().Format("%x %X"));
  g_workspace.SetString(&g_workspace.common.download_dt, stamp.c_str());
  if (g_workspace.FileName() && !g_workspace.Save()) {
    int why = g_workspace.SaveErrno();
    EngineErrorF("The download run failed: the workspace '%s' was not saved%s%s", g_workspace.FileName(),
                 why ? ": " : "", why ? strerror(why) : "");
    s_exitStatus = 1;
  }
  SendJobDone();
  return 1;
}

int32_t DownloadModeDone(int32_t) {
  s_runFinished = true;
  // Whatever happened, the run is over: nobody is there to answer "save changes?".
  if (CTrailvaneDoc* doc = TheDocument()) doc->SetModifiedFlag(false);
  g_workspace.ClearDirty();
  g_logFileAdded = false;
  CloseMainWindowLater();
  return 0;
}

uint32_t UpdateDownloadThread(void*) {
  int failed = 0;
  if (s_updateEntries) DownloadDatabaseUpdates(*s_updateEntries, &failed);
  if (failed && g_commandLineMode == kModeUpdate) s_exitStatus = 1;
  SendJobDone();
  return 1;
}

int32_t UpdateDownloadDone(int32_t) {
  s_updateEntries.reset();
  s_updateCount = 0;
  if (g_commandLineMode != kModeInteractive) EndUnattendedRun();
  return 0;
}

// Once the main loop is over: an unattended run that the program's end cut
// short (or that never started its job) did not do its work.
void FailUnfinishedRun() {
  if (g_commandLineMode == kModeInteractive || s_runFinished || s_exitStatus != 0) return;
  PrintEngineError(g_commandLineMode == kModeDownload ? "The download run failed: the program ended before it was done"
                                                      : "The update run failed: the program ended before it was done");
  s_exitStatus = 1;
}

void UpdateModeStart() {
  ProxySetting proxy;
  if (ProxyFromEnvironment(&proxy)) SetUpdateProxy(proxy.host.substr(0, 249), proxy.port);
  else SetUpdateProxy("", 0);
  RunInWorkerThread(UpdateFetchListThread, nullptr, UpdateListDone);
}

}  // namespace

// ---------------------------------------------------------------------------

bool IsFirstInstance() { return s_firstInstance; }

int ProgramExitStatus() { return s_exitStatus; }

void CleanupEnvironmentOnce() {
  if (!s_environmentUp) return;
  s_environmentUp = false;
  CleanupEnvironment();
}

void InitProgramEngine(bool unattended) {
  InstallUiEngineCallbacks();
  // A scheduled run has nobody to close an error box: errors go to the
  // terminal and, as always, to the diagnostics log.
  if (unattended)
    SetEngineCallbacks(&PrintEngineError, &PrintEngineError, nullptr, &AppendProgressText, nullptr, &SetProgressBar);
  std::string folder = tv::ProgramDir();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  InitEnvironment(folder.c_str());
  s_environmentUp = true;
  g_project.SetOdbcLoader(&LoadOdbcTable);
  LoadConfig();
  // Tables downloaded by the update are swapped in on the UI thread, where
  // the report lists read them.
  SetDatabaseReloadRunner([](void (*reload)()) {
    if (!tv::RunOnUiThread(reload)) reload();
  });
  if (!CWorkspaceDlg::PaneDialogs().editSource) CWorkspaceDlg::PaneDialogs().editSource = &ShowLogFileDialog;
  if (!CWorkspaceDlg::PaneDialogs().editGroup) CWorkspaceDlg::PaneDialogs().editGroup = &EditGroupInDialog;
}

void SetPeriodDefaults() {
  const tv::CivilDate& today = EnvironmentToday();
  g_periodTo.valid = true;
  g_periodTo.day = static_cast<uint8_t>(today.day);
  g_periodTo.month = static_cast<uint8_t>(today.month);
  g_periodTo.year = static_cast<uint16_t>(today.year);
  g_periodFrom = g_periodTo;
  g_periodFrom.day = 1;
}

void PlaceMainWindow(CMainFrame* frame) {
  wxPoint at = frame->GetPosition();
  StoredPlacement stored;
  stored.read = tv::RegReadDword("WinTop", &stored.top) && tv::RegReadDword("WinBotton", &stored.bottom) &&
                tv::RegReadDword("WinLeft", &stored.left) && tv::RegReadDword("WinRight", &stored.right);
  // The first size fits the toolbar, the navigator, a report list and its
  // filters, within the screen's work area.
  wxSize fit(std::max(1000, frame->ToolBar() ? frame->ToolBar()->GetBestSize().x + 16 : 0), 700);
  int display = wxDisplay::GetFromWindow(frame);
  const wxRect area = wxDisplay(display == wxNOT_FOUND ? 0 : static_cast<unsigned>(display)).GetClientArea();
  fit.x = std::min(fit.x, area.GetWidth());
  fit.y = std::min(fit.y, area.GetHeight());
  WindowRect r = ChooseWindowRect(at.x, at.y, stored, &OnSomeScreen, fit.x, fit.y);
  frame->SetSize(r.left, r.top, r.Width(), r.Height());
  uint32_t maximised = 0;
  if (tv::RegReadDword("MaxWin", &maximised) && maximised) frame->Maximize(true);
  frame->Show(true);
  // A window manager may place (and size) the window as it likes as it maps
  // it; the first move it reports then puts the window back at the stored
  // rectangle. Only then: a move the user makes later is theirs.
  if (!maximised && stored.read) {
    const wxRect placed(r.left, r.top, r.Width(), r.Height());
    auto done = std::make_shared<bool>(false);
    const wxLongLong shownAt = wxGetLocalTimeMillis();
    frame->Bind(wxEVT_MOVE, [frame, placed, done, shownAt](wxMoveEvent& event) {
      event.Skip();
      if (*done) return;
      *done = true;
      if (wxGetLocalTimeMillis() - shownAt > 3000) return;
      if (!frame->IsMaximized() && frame->GetRect() != placed)
        frame->CallAfter([frame, placed] { frame->SetSize(placed); });
    });
  }
  frame->Update();
}

void CheckPreviousRun(bool firstInstance) {
  s_crashMail.clear();
  // The check starts a new log: a second instance must leave the running one's alone.
  if (!firstInstance) return;
  std::string banner = std::string(kProductName) + " " + kProductVersion;
  s_crashMail = CheckCrashLog(banner.c_str());
}

void OfferCrashReport(bool firstInstance, wxWindow* parent, bool ask) {
  std::string mail;
  mail.swap(s_crashMail);
  if (!firstInstance || mail.empty() || !ask) return;
  auto& question = CTrailvaneDoc::DocDialogs().message;
  const wxString text = "Program crashed!\nPlease send to us bug report (via e-mail).\n\nSend report?";
  int answer = question ? question(text, wxYES_NO | wxICON_QUESTION)
                   : wxMessageBox(text, kProductName, wxYES_NO | wxICON_QUESTION, parent);
  if (answer != wxYES) return;
  OpenOrReport(mail, [](const wxString& failed) {
    auto& message = CTrailvaneDoc::DocDialogs().message;
    if (message) message(failed, wxOK | wxICON_EXCLAMATION);
    else wxMessageBox(failed, kProductName, wxOK | wxICON_EXCLAMATION);
  });
}

void StartCommandLineMode(int mode) {
  g_commandLineMode = mode;
  if (mode == kModeDownload) {
    // Nothing named and no last workspace (or one that did not open): there
    // is nothing to read again and nowhere to save it.
    if (!g_workspace.FileName()) {
      PrintEngineError("The download run failed: no workspace is open (name one on the command line)");
      s_exitStatus = 1;
      s_runFinished = true;
      CloseMainWindowLater();
      return;
    }
    g_unattended = true;
    SetTransferDeadline(kUnattendedTransferMs);
    RunInWorkerThread(DownloadModeThread, nullptr, DownloadModeDone);
  } else if (mode == kModeUpdate) {
    UpdateModeStart();
  } else {
    uint32_t kind = 0;
    if (tv::RegReadDword("WinAMenu", &kind)) {
      SwitchTopReport(static_cast<int>(kind));
      if (CRMenu* tree = Navigator()) tree->SelectReportInTree(true);
    }
  }
}

void SetUpdateProxy(const std::string& host, uint16_t port) {
  s_proxyHost = host;
  s_proxyPort = host.empty() ? 0 : port;
}

uint32_t UpdateFetchListThread(void*) {
  s_updateEntries = std::make_unique<std::vector<CUpdateEntry>>();
  bool failed = false;
  s_updateCount = CheckDatabaseUpdates(s_updateEntries.get(), s_proxyHost.empty() ? nullptr : s_proxyHost.c_str(),
                                       s_proxyPort, &failed);
  if (failed && g_commandLineMode == kModeUpdate) s_exitStatus = 1;
  SendJobDone();
  return 1;
}

int32_t UpdateListDone(int32_t) {
  if (s_updateCount > 0 && s_updateEntries) {
    if (RunUpdateListDialog(MainFrame(), s_updateEntries.get())) {
      RunInWorkerThread(UpdateDownloadThread, nullptr, UpdateDownloadDone);
    } else {
      // Cancelled: the user is there, so the program stays open for them. The
      // connection kept for the download is not needed any more.
      CloseInternetSessions();
      s_updateEntries.reset();
      s_updateCount = 0;
      // Cancelled by the program's end, the run did not do its work.
      if (!ProgramEnding()) g_commandLineMode = kModeInteractive;
    }
    return 0;
  }
  s_updateEntries.reset();
  s_updateCount = 0;
  if (g_commandLineMode != kModeInteractive) EndUnattendedRun();
  return 0;
}

void CloseMainWindowLater() {
  if (!wxTheApp) return;
  wxTheApp->CallAfter([] {
    if (CMainFrame* frame = MainFrame(); frame && !frame->Closed()) frame->Close();
  });
}

void ShowAboutBox(wxWindow* parent) {
  CAboutDlg dlg(parent);
  dlg.ShowModal();
}

bool StartProgram(const std::vector<std::string>& args) {
  g_workspaceOpened = false;
  g_logFileAdded = false;
  g_unattended = false;
  s_exitStatus = 0;
  s_runFinished = false;
  CommandLine line = ParseCommandLine(args);
  // Known from the first box on: no box of an unattended run waits for a person.
  g_commandLineMode = line.mode;
  SetUnattendedAnswers(line.mode == kModeInteractive ? std::function<int(wxDialog*)>() : &UnattendedAnswer);
  // A relative name is the start folder's. The document changes into the
  // file's folder, and what it keeps of the name must find the file later.
  line.file = tv::AbsolutePath(line.file);
  // wx's own errors (a lock or profile that cannot be written, say) would wait
  // in a box for nobody: an unattended run prints them. Replaced before anything
  // is logged, since the replaced target shows what it holds.
  if (line.mode != kModeInteractive && !s_logReplaced) {
    s_savedLog = wxLog::SetActiveTarget(new wxLogStderr);
    s_logReplaced = true;
  }
  // Known before anything is traced: a second instance writes nothing to the
  // running one's diagnostics log.
  s_instance = std::make_unique<wxSingleInstanceChecker>();
  s_firstInstance = !s_instance->Create("Trailvane.lock", tv::BytesToWx(tv::DataDir())) ||
                    !s_instance->IsAnotherRunning();
  SetBugLogEnabled(s_firstInstance);
  // The previous run's log is judged and replaced before this start traces a
  // line, so a start that ends early leaves a log of its own.
  CheckPreviousRun(s_firstInstance);

  g_unattended = line.mode == kModeDownload;
  InitProgramEngine(line.mode != kModeInteractive);
  SetPeriodDefaults();

  s_document = std::make_unique<CTrailvaneDoc>();
  SetTheDocument(s_document.get());
  auto* frame = new CMainFrame;
  frame->SetCleanupHook(&CleanupEnvironmentOnce);
  if (!frame->Create()) {
    WriteBugLog("The start-up ended: the main window could not be created.");
    delete frame;
    EndProgram();
    return false;
  }
  bool opened = line.file.empty() ? s_document->OnNewDocument() : s_document->OnOpenDocument(line.file);
  if (!opened) {
    // The document named the file in its message; the log says it too, and
    // then ends as any run does.
    WriteBugLog(("The start-up ended: '" + line.file + "' could not be opened.").c_str());
    // A crash of the run before is still offered: the new log no longer tells it.
    OfferCrashReport(s_firstInstance, frame, line.mode == kModeInteractive);
    frame->Destroy();
    EndProgram();
    return false;
  }
  // A log file builds an unnamed workspace: its name is no workspace's, for
  // the recent list or "LastWorkspace".
  if (!line.file.empty()) {
    if (IsLogFileName(line.file)) s_document->SetPathName(s_document->GetPathName(), false);
    else s_document->SetPathName(line.file, true);
  }

  wxMenuBar* menu = frame->LoadIconMenu();
  BindDocumentCommands(frame, menu && menu->GetMenuCount() ? menu->GetMenu(0) : nullptr);
  frame->Bind(wxEVT_MENU, [frame](wxCommandEvent&) { ShowAboutBox(frame); }, wxID_ABOUT);
  frame->Bind(wxEVT_MENU, [frame](wxCommandEvent&) { frame->Close(); }, wxID_EXIT);
  BindApplicationCommands(frame);

  if (!g_workspaceOpened) {
    std::string last;
    // A log there is no workspace (an earlier build stored the log a start was given).
    if (tv::RegReadString("LastWorkspace", &last, 4096) && !last.empty() && !IsLogFileName(last)) {
      if (s_document->OnOpenDocument(last)) s_document->SetPathName(last, true);
    }
  }
  LoadListColumnInfo();
  PlaceMainWindow(frame);
  // Nobody is there to answer in an unattended run.
  OfferCrashReport(s_firstInstance, frame, line.mode == kModeInteractive);
  if (wxWindow* pane = ReportPane(CurrentPaneSlot())) pane->SetFocus();
  StartCommandLineMode(line.mode);
  return true;
}

void EndProgram() {
  CloseInternetSessions();
  CleanupEnvironmentOnce();
  SetTheDocument(nullptr);
  s_document.reset();
  s_instance.reset();
  SetBugLogEnabled(true);
  SetTransferDeadline(0);
  SetUnattendedAnswers(nullptr);
  g_commandLineMode = kModeInteractive;
  if (s_logReplaced) {
    delete wxLog::SetActiveTarget(s_savedLog);
    s_savedLog = nullptr;
    s_logReplaced = false;
  }
  g_unattended = false;
}

// ---------------------------------------------------------------------------

namespace {

void AssertionToBugLog(const wxString& file, int line, const wxString& func, const wxString& cond,
                       const wxString& msg) {
  std::string text = "#ASSERT " + tv::WxToBytes(file) + ":" + std::to_string(line) + " " + tv::WxToBytes(func) +
                     ": " + tv::WxToBytes(cond);
  if (!msg.empty()) text += " - " + tv::WxToBytes(msg);
  WriteBugLog(text.c_str());
}

}  // namespace

void InstallAssertionLog() { wxSetAssertHandler(&AssertionToBugLog); }

bool CTrailvaneApp::OnInit() {
  // Nobody may have to click an assertion away: a scheduled run would never end.
  InstallAssertionLog();
  SetAppName("Trailvane");
  SetVendorName("Brindlecot");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tv::WxToBytes(argv[i]));
  // Before the start-up, so that an early SIGTERM still ends through the close.
  InstallProgramEndHandlers();
  if (!StartProgram(args)) {
    RemoveProgramEndHandlers();
    m_exitStatus = 1;
    return false;
  }
  return true;
}

int CTrailvaneApp::OnRun() {
  int rc = wxApp::OnRun();
  FailUnfinishedRun();
  return rc ? rc : ProgramExitStatus();
}

int CTrailvaneApp::OnExit() {
  RemoveProgramEndHandlers();
  EndProgram();
  return wxApp::OnExit();
}

void MarkModifiedBeforeCommand(const wxEvent& event) {
  if (event.GetEventType() == wxEVT_MENU && g_workspace.IsDirty())
    if (CTrailvaneDoc* doc = TheDocument()) doc->SetModifiedFlag(true);
}

int CTrailvaneApp::FilterEvent(wxEvent& event) {
  MarkModifiedBeforeCommand(event);
  return Event_Skip;
}
