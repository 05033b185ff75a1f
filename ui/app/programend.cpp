#include "ui/app/programend.h"

#include <signal.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <atomic>
#include <memory>

#include "engine/config/workspace.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"

namespace {

// Written by the signal handler, read by the poll: lock-free, so setting it is
// async-signal-safe.
std::atomic<int> s_endSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSignals[] = {SIGTERM, SIGHUP};
constexpr int kPollMs = 100;

extern "C" void OnEndSignal(int sig) {
  s_endSignal.store(sig, std::memory_order_relaxed);
  // A second signal ends a program that cannot close any more.
  signal(sig, SIG_DFL);
}

class CEndPoll : public wxTimer {
 public:
  void Notify() override {
    if (s_endSignal.load(std::memory_order_relaxed) == 0) return;
    // Not before the start-up has made the window; the next tick looks again.
    if (!MainFrame()) return;
    s_endSignal.store(0, std::memory_order_relaxed);
    CloseProgramWithoutQuestions();
  }
};

std::unique_ptr<CEndPoll> s_poll;
bool s_sessionBound = false;

void OnEndSession(wxCloseEvent& event) {
  CloseProgramWithoutQuestions();
  event.Skip(false);
}

}  // namespace

bool ProgramEndPending() { return s_endSignal.load(std::memory_order_relaxed) != 0; }

void CloseProgramWithoutQuestions() {
  CMainFrame* frame = MainFrame();
  if (!frame) return;
  // The changes are dropped, never saved over the workspace file.
  if (CTrailvaneDoc* doc = TheDocument()) doc->SetModifiedFlag(false);
  g_workspace.ClearDirty();
  g_logFileAdded = false;
  // A dialog waiting for an answer is cancelled first; the window closes
  // once its modal loop has returned.
  for (wxWindow* top : wxTopLevelWindows) {
    auto* dialog = dynamic_cast<wxDialog*>(top);
    if (dialog && dialog->IsModal()) {
      dialog->EndModal(wxID_CANCEL);
      if (wxTheApp) wxTheApp->CallAfter([] { CloseProgramWithoutQuestions(); });
      return;
    }
  }
  // Forced: a running job is stopped and waited for, nothing can veto.
  frame->Close(true);
}

void InstallProgramEndHandlers() {
  if (!s_poll) {
    s_endSignal.store(0, std::memory_order_relaxed);
    struct sigaction action {};
    action.sa_handler = &OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) sigaction(sig, &action, nullptr);
    s_poll = std::make_unique<CEndPoll>();
    s_poll->Start(kPollMs);
  }
  if (wxTheApp && !s_sessionBound) {
    wxTheApp->Bind(wxEVT_END_SESSION, &OnEndSession);
    s_sessionBound = true;
  }
}

void RemoveProgramEndHandlers() {
  for (int sig : kSignals) signal(sig, SIG_DFL);
  if (s_poll) {
    s_poll->Stop();
    s_poll.reset();
  }
  if (wxTheApp && s_sessionBound) {
    wxTheApp->Unbind(wxEVT_END_SESSION, &OnEndSession);
    s_sessionBound = false;
  }
  s_endSignal.store(0, std::memory_order_relaxed);
}
