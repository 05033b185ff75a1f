#include "ui/app/programend.h"

#include <signal.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include <atomic>
#include <memory>

#include "base/msgsink.h"
#include "engine/config/workspace.h"
#include "platform/wx/modalwatch.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"
#include "ui/widgets/worker.h"

namespace {

// Written by the signal handler, read by the poll: lock-free, so setting it is
// async-signal-safe.
std::atomic<int> s_endSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSignals[] = {SIGTERM, SIGHUP};
constexpr int kPollMs = 100;
constexpr int kStepMs = 50;

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
    RequestProgramEnd(true);
  }
};

std::unique_ptr<CEndPoll> s_poll;
bool s_sessionBound = false;

// The end on its way (UI thread only).
bool s_ending = false;
bool s_quiet = false;
// Inside the window's close. Not quiet, it may ask its own question (save the
// workspace?): that box is the user's to answer.
bool s_inClose = false;
std::function<int(wxDialog*)> s_unattended;

void Step();

class CEndSteps : public wxTimer {
 public:
  void Notify() override { Step(); }
};
std::unique_ptr<CEndSteps> s_steps;

void StopSteps() {
  if (s_steps) s_steps->Stop();
}

void DropChanges() {
  if (CTrailvaneDoc* doc = TheDocument()) doc->SetModifiedFlag(false);
  g_workspace.ClearDirty();
  g_logFileAdded = false;
}

// The end answers boxes now: all of them, but the user's save question.
bool EndAnswersBoxes() { return s_ending && (s_quiet || !s_inClose); }

// The main window while it has not closed, else null.
CMainFrame* OpenFrame() {
  CMainFrame* frame = MainFrame();
  return frame && !frame->Closed() && !frame->IsBeingDeleted() ? frame : nullptr;
}

int Gate(wxDialog* dialog) {
  if (EndAnswersBoxes()) return tv::SafeAnswer(dialog);
  if (s_unattended) return s_unattended(dialog);
  return wxID_NONE;
}

void EnsureWatch() {
  tv::InstallModalWatch();
  tv::SetModalGate(&Gate);
}

// Jobs stay refused once the window has closed; a new window takes them again.
void EndOver() {
  s_ending = false;
  s_quiet = false;
  StopSteps();
  if (OpenFrame()) RefuseNewJobs(false);
}

// One step of the end; the timer repeats it until the window is gone.
void Step() {
  if (!s_ending) {
    StopSteps();
    return;
  }
  CMainFrame* frame = OpenFrame();
  if (!frame) {
    EndOver();
    return;
  }
  RequestStop();
  // The innermost box first: an outer dialog ends only after the box over it
  // has returned, and no window goes while a loop over it runs.
  if (tv::OpenModalDialogs() > 0) {
    if (EndAnswersBoxes()) tv::AnswerInnermostModal();
    return;
  }
  if (s_inClose) return;
  // The job winds down and its completion runs; then the next step closes.
  if (IsWorkerBusy()) return;
  // Not from inside a yield: its caller would come back to freed windows.
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive(); loop && loop->IsYielding()) return;
  if (s_quiet) DropChanges();
  s_inClose = true;
  frame->Close(s_quiet);
  s_inClose = false;
  if (frame->Closed()) {
    EndOver();
    return;
  }
  // The user kept the program open at the save question; a signal that came
  // meanwhile still ends it at the next step.
  if (!s_quiet) EndOver();
}

void OnEndSession(wxCloseEvent& event) {
  RequestProgramEnd(true);
  event.Skip(false);
}

}  // namespace

bool ProgramEnding() { return s_ending; }

void RequestProgramEnd(bool quiet) {
  if (!OpenFrame()) return;
  EnsureWatch();
  s_quiet = s_quiet || quiet;
  if (s_quiet) DropChanges();
  RequestStop();
  RefuseNewJobs(true);
  if (!s_ending) {
    s_ending = true;
    if (!s_steps) s_steps = std::make_unique<CEndSteps>();
  }
  // An open box is answered at once; the rest follows on the timer, never
  // from inside the caller (a close handler, a completion).
  if (tv::OpenModalDialogs() > 0 && EndAnswersBoxes()) tv::AnswerInnermostModal();
  if (!s_steps->IsRunning()) s_steps->Start(kStepMs);
}

void SetUnattendedAnswers(std::function<int(wxDialog*)> answer) {
  s_unattended = std::move(answer);
  EnsureWatch();
}

void CatchProgramEndSignals() {
  struct sigaction action {};
  action.sa_handler = &OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : kSignals) sigaction(sig, &action, nullptr);
}

void InstallProgramEndHandlers() {
  EnsureWatch();
  if (!s_poll) {
    // A signal caught before (while wx started) is acted on by the poll.
    CatchProgramEndSignals();
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
  EndOver();
  s_steps.reset();
}
