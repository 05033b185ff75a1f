// The application: the start-up of the engine and the main window in a fixed
// order, the last session restored, the crash offer, and the two unattended
// modes of the command line. The steps are plain functions so tests can run
// a whole start-up and close in their own process.
#pragma once
#include <wx/app.h>

#include <string>
#include <vector>

class CMainFrame;

class CTrailvaneApp : public wxApp {
 public:
  bool OnInit() override;
  int OnRun() override;  // the status ProgramExitStatus gives once the loop ends
  int OnExit() override;
  // Before a command is routed, a changed workspace marks the document modified.
  int FilterEvent(wxEvent& event) override;
  int GetExitStatus() const { return m_exitStatus; }

 private:
  int m_exitStatus = 0;
};

// The whole start-up with the words after the program's name; false when it
// ended early (a workspace named on the command line that cannot be opened),
// the frame then gone. The main window is on screen when it returns true.
bool StartProgram(const std::vector<std::string>& args);
// Releases what StartProgram took (single-instance lock, document) and runs
// the engine's clean-up, once. After the main window is gone.
void EndProgram();
// The engine's clean-up, once per start however many callers ask for it.
void CleanupEnvironmentOnce();

// Steps of the start-up, in their order.
// Callbacks (unattended: errors printed, no box), environment, ODBC loader, settings.
void InitProgramEngine(bool unattended = false);
void SetPeriodDefaults();  // the ODBC period: first of this month to today
void PlaceMainWindow(CMainFrame* frame);  // stored placement, "MaxWin", shown
// First in the start-up, before anything is traced: the previous run's
// diagnostics log is checked for its clean end (a crash mail prepared when it
// lacks it), then a new log is started. Only in the first instance.
void CheckPreviousRun(bool firstInstance);
// The crash mail that check prepared is offered only in the first instance,
// which asks unless told not to.
void OfferCrashReport(bool firstInstance, wxWindow* parent, bool ask = true);
void StartCommandLineMode(int mode);

// This process holds the single-instance lock.
bool IsFirstInstance();
// 0, or 1 once an unattended run failed (a log not loaded, the workspace not
// saved, a table not updated); the reason went to the engine's error sink.
int ProgramExitStatus();
// The main window closes through its normal close (engine clean-up, state
// saved), after the current event.
void CloseMainWindowLater();

// Jobs of the update: the list fetch (shared with the Update command) and its
// completion that offers the list and downloads the chosen tables.
uint32_t UpdateFetchListThread(void* arg);
int32_t UpdateListDone(int32_t unused);
// The proxy the update uses (host "" for none).
void SetUpdateProxy(const std::string& host, uint16_t port);

void ShowAboutBox(wxWindow* parent);
// wx assertions are written to logBug.txt instead of opening a dialog.
void InstallAssertionLog();
// A command is about to be routed: a changed workspace marks the document modified.
void MarkModifiedBeforeCommand(const wxEvent& event);
