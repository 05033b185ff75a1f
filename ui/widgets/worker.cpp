#include "ui/widgets/worker.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/thread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "base/msgsink.h"
#include "platform/wx/uithread.h"
#include "platform/wx/wxtext.h"

wxDEFINE_EVENT(EVT_JOB_DONE, wxThreadEvent);

namespace {

// Set from the start of a job until its end has been handled; read anywhere.
std::atomic<bool> g_busy{false};

// The rest belongs to the UI thread.
wxWindow* g_view = nullptr;
wxStatusBar* g_statusBar = nullptr;
CProgressDlg* g_dialog = nullptr;          // owned: the running job's dialog
CProgressDlg* g_callbackDialog = nullptr;  // what the engine callbacks write into
JobCompletion g_completion = nullptr;
bool g_failNextDialog = false;
bool g_refuseJobs = false;

// The hand-over at the end of a job. Each SendJobDone takes a ticket and waits
// until the UI thread has handled that ticket. Never freed: a worker may still
// be leaving the wait while the process ends.
struct JobEnd {
  std::mutex mutex;
  std::condition_variable cv;
  uint64_t requested = 0;
  uint64_t handled = 0;
};
JobEnd& End() {
  static JobEnd* end = new JobEnd;
  return *end;
}

thread_local bool t_jobDoneSent = false;

// The progress bar as the engine has set it, kept by the callers' threads and
// applied to the gauge by one queued call at a time, so a tight engine loop
// cannot flood the UI thread's queue.
struct ProgressState {
  std::mutex mutex;
  uint32_t range = 100;
  uint32_t position = 0;
  bool queued = false;
};
ProgressState& Progress() {
  static ProgressState* state = new ProgressState;
  return *state;
}

void ResetProgress() {
  ProgressState& p = Progress();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.range = 100;
  p.position = 0;
}

void ApplyProgress() {
  ProgressState& p = Progress();
  uint32_t range, position;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.queued = false;
    range = p.range;
    position = p.position;
  }
  // The gauge counts to 65,535 at most: a longer range (a log of 64 MB or more
  // counted in KB, a download in bytes) and its position are scaled down alike.
  int shift = 0;
  while ((range >> shift) > 0xFFFF) ++shift;
  if (g_callbackDialog) {
    g_callbackDialog->SetProgress(range >> shift, 1);
    g_callbackDialog->SetProgress(position >> shift, 0);
  }
}

void DropDialog(CProgressDlg* dlg, bool created) {
  g_callbackDialog = nullptr;
  g_dialog = nullptr;
  g_completion = nullptr;
  if (created) dlg->Destroy();
  else delete dlg;
  g_busy = false;
}

void WorkerMain(WorkerJob job, void* arg) {
  t_jobDoneSent = false;
  job(arg);
  // A job that forgot its end must not leave the dialog and the busy flag behind.
  if (!t_jobDoneSent) SendJobDone();
}

void ShowStatus(const wxString& text) {
  if (!g_statusBar || g_statusBar->GetFieldsCount() < 1) return;
  wxString line = text;
  while (!line.empty() && (line.Last() == '\n' || line.Last() == '\r')) line.RemoveLast();
  g_statusBar->SetStatusText(line, 0);
}

}  // namespace

void SetWorkerView(wxWindow* view) { g_view = view; }

void SetEngineStatusBar(wxStatusBar* bar) { g_statusBar = bar; }

bool IsWorkerBusy() { return g_busy.load(); }

void FailNextProgressDialog() { g_failNextDialog = true; }

void RefuseNewJobs(bool refuse) { g_refuseJobs = refuse; }

void RunInWorkerThread(WorkerJob job, void* arg, JobCompletion completion) {
  if (g_refuseJobs) return;
  bool idle = false;
  if (!g_busy.compare_exchange_strong(idle, true)) return;
  auto* dlg = new CProgressDlg;
  g_dialog = dlg;
  g_completion = completion;
  ClearStop();
  ResetProgress();
  bool fail = g_failNextDialog;
  g_failNextDialog = false;
  if (fail || !dlg->Create(g_view)) {
    DropDialog(dlg, false);
    return;
  }
  dlg->Show();
  try {
    std::thread(WorkerMain, job, arg).detach();
  } catch (const std::system_error&) {
    DropDialog(dlg, true);
  }
}

void SendJobDone() {
  if (wxIsMainThread()) {
    EndWorkerJob();
    return;
  }
  t_jobDoneSent = true;
  JobEnd& end = End();
  uint64_t ticket;
  {
    std::lock_guard<std::mutex> lock(end.mutex);
    ticket = ++end.requested;
  }
  // Through the same queue as the status lines, so the last of them still
  // reaches the dialog before it closes.
  bool queued = tv::PostToUiThread([ticket] {
    if (g_view) {
      wxThreadEvent event(EVT_JOB_DONE);
      event.SetEventObject(g_view);
      g_view->HandleWindowEvent(event);
    } else {
      EndWorkerJob();
    }
    JobEnd& e = End();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.handled = std::max(e.handled, ticket);
    e.cv.notify_all();
  });
  if (!queued) return;
  std::unique_lock<std::mutex> lock(end.mutex);
  end.cv.wait(lock, [&] { return end.handled >= ticket; });
}

void EndWorkerJob() {
  if (!g_dialog) return;
  // The callbacks lose the dialog before it goes.
  g_callbackDialog = nullptr;
  if (g_view) {
    g_view->Enable();
    if (wxWindow* top = wxGetTopLevelParent(g_view)) top->Raise();
  }
  CProgressDlg* dlg = g_dialog;
  g_dialog = nullptr;
  dlg->Destroy();
  JobCompletion completion = g_completion;
  g_completion = nullptr;
  g_busy = false;
  if (completion) completion(0);
}

void ShowEngineError(const char* text) {
  std::string copy = text ? text : "";
  tv::RunOnUiThread([&copy] {
    wxWindow* parent = g_callbackDialog ? static_cast<wxWindow*>(g_callbackDialog) : g_view;
    wxMessageBox(tv::BytesToWx(copy), "Trailvane", wxOK | wxICON_ERROR, parent);
  });
}

void AppendProgressText(const char* text) {
  bool ready = text == nullptr;
  std::string copy = text ? text : "";
  auto show = [ready, copy = std::move(copy)] {
    if (ready) {
      ShowStatus("Ready");
      return;
    }
    wxString line = tv::BytesToWx(copy);
    ShowStatus(line);
    if (g_callbackDialog) g_callbackDialog->AppendLine(line);
  };
  if (wxIsMainThread()) show();
  else tv::PostToUiThread(std::move(show));
}

void SetProgressBar(uint32_t value, uint32_t mode) {
  ProgressState& p = Progress();
  bool post;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    if (mode != 0) p.range = value;
    else p.position = value;
    p.position = std::min(p.position, p.range);
    post = !p.queued;
    p.queued = true;
  }
  if (wxIsMainThread()) ApplyProgress();
  else if (post && !tv::PostToUiThread(ApplyProgress)) {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.queued = false;
  }
}

void InstallUiEngineCallbacks() {
  SetEngineCallbacks(nullptr, ShowEngineError, nullptr, AppendProgressText, nullptr, SetProgressBar);
}

// The dialog.

CProgressDlg::CProgressDlg() { g_callbackDialog = this; }

CProgressDlg::~CProgressDlg() {
  // Also when it goes with its parent while a job still runs.
  if (g_callbackDialog == this) g_callbackDialog = nullptr;
  if (g_dialog == this) g_dialog = nullptr;
}

bool CProgressDlg::Create(wxWindow* parent) {
  if (!wxDialog::Create(parent, wxID_ANY, "Trailvane")) return false;
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(this, wxID_ANY, "To interrupt press Stop button."), 0, wxALL, 8);
  m_progress = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize, wxGA_HORIZONTAL | wxGA_SMOOTH);
  sizer->Add(m_progress, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  m_log = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, ConvertDialogToPixels(wxSize(214, 59)),
                         wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP);
  sizer->Add(m_log, 1, wxEXPAND | wxALL, 8);
  m_stop = new wxButton(this, wxID_ANY, "Stop");
  sizer->Add(m_stop, 0, wxALIGN_CENTER | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  SetSizerAndFit(sizer);
  // Esc and the close box stop the job like the button; the dialog itself
  // stays until the job has wound down.
  SetEscapeId(m_stop->GetId());
  m_stop->Bind(wxEVT_BUTTON, &CProgressDlg::OnStop, this);
  Bind(wxEVT_CLOSE_WINDOW, &CProgressDlg::OnClose, this);
  CentreOnParent();
  return true;
}

void CProgressDlg::OnStop(wxCommandEvent&) { RequestStop(); }

void CProgressDlg::OnClose(wxCloseEvent& event) {
  RequestStop();
  if (event.CanVeto()) event.Veto();
}

void CProgressDlg::AppendLine(const wxString& text) {
  if (text.empty()) return;
  wxString line = text;
  if (line.Last() != '\n') line += '\n';
  m_log->SetInsertionPointEnd();
  m_log->WriteText(line);
  m_log->ShowPosition(m_log->GetLastPosition());
}

void CProgressDlg::SetProgress(uint32_t value, uint32_t mode) {
  if (mode != 0) {
    int range = static_cast<int>(std::min<uint32_t>(value, 0xFFFF));
    if (m_progress->GetValue() > range) m_progress->SetValue(range);
    m_progress->SetRange(range);
  } else {
    m_progress->SetValue(static_cast<int>(std::min<uint32_t>(value, static_cast<uint32_t>(m_progress->GetRange()))));
  }
}
