// Long work (analysis, queries, report switches, database updates) runs as a
// job on one worker thread at a time, under a modeless progress dialog that
// shows the engine's status lines and progress and offers Stop.
//
// A job is a work function for the worker thread and an optional completion
// for the UI thread. The work function's last act is SendJobDone(), which
// hands the end of the job to the UI thread and waits there until the dialog
// is gone and the completion has returned. The engine's data belong to the
// worker while a job runs and to the UI thread otherwise.
#pragma once
#include <wx/dialog.h>
#include <wx/event.h>

#include <cstdint>

class wxButton;
class wxGauge;
class wxStatusBar;
class wxTextCtrl;

using WorkerJob = uint32_t (*)(void* arg);          // runs on the worker thread; returns 1
using JobCompletion = int32_t (*)(int32_t unused);  // runs on the UI thread after the job

// The end-of-job message to the view.
wxDECLARE_EVENT(EVT_JOB_DONE, wxThreadEvent);

// The view: parent of the progress dialog; it handles EVT_JOB_DONE by calling
// EndWorkerJob(). Set it to null before the view goes.
void SetWorkerView(wxWindow* view);

// On the UI thread. Starts a job; does nothing while one runs (the request
// is dropped). The engine's stop flag is cleared first. When the progress
// dialog cannot be opened the job does not run and nothing stays busy.
void RunInWorkerThread(WorkerJob job, void* arg, JobCompletion completion);

// The job's last act, on the worker thread: queues EVT_JOB_DONE to the view
// and blocks until EndWorkerJob has run. A job that returns without it is
// ended the same way when it returns.
void SendJobDone();

// On the UI thread. Closes the progress dialog, clears the busy flag and runs
// the completion. Does nothing when no job runs.
void EndWorkerJob();

bool IsWorkerBusy();

// While set, RunInWorkerThread starts nothing: the program is ending.
void RefuseNewJobs(bool refuse);

// For tests: the next progress dialog fails to open, as when the window
// system refuses it.
void FailNextProgressDialog();

// The engine's error, status and progress callbacks for the user interface.
// They may be called from any thread; windows are touched only on the UI thread.
void ShowEngineError(const char* text);     // modal error box; the caller waits until it is closed
void AppendProgressText(const char* text);  // status pane and the dialog's log; null: "Ready"
void SetProgressBar(uint32_t value, uint32_t mode);  // mode 0: position; else range 0..value
void InstallUiEngineCallbacks();

// The status bar whose first pane shows the engine's status line, or null.
void SetEngineStatusBar(wxStatusBar* bar);

class CProgressDlg : public wxDialog {
 public:
  CProgressDlg();
  ~CProgressDlg() override;
  bool Create(wxWindow* parent);

  wxGauge* ProgressBar() const { return m_progress; }
  wxTextCtrl* MessageLog() const { return m_log; }
  wxButton* StopButton() const { return m_stop; }

  // Adds a status line to the log, ending it with "\n" unless it is empty or has one.
  void AppendLine(const wxString& text);
  void SetProgress(uint32_t value, uint32_t mode);

 private:
  void OnStop(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);

  wxGauge* m_progress = nullptr;
  wxTextCtrl* m_log = nullptr;
  wxButton* m_stop = nullptr;
};
