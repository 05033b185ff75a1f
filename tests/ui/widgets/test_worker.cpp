// Jobs on the worker thread under the progress dialog, and the engine
// callbacks that reach the dialog from the worker.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/msgsink.h"
#include "tests/ui/wxtest.h"
#include "ui/widgets/worker.h"

namespace {

std::atomic<int> g_jobRuns{0};
std::atomic<int> g_release{0};  // jobs wait until this reaches their step
std::atomic<int> g_reached{0};  // how far the job has got
std::atomic<bool> g_jobOnMainThread{false};
int g_completions = 0;
int g_otherCompletions = 0;
bool g_completionOnUiThread = false;
bool g_dialogGoneInCompletion = false;

// Waits, on the worker, until the test lets the job go on past step.
void WaitFor(int step) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (g_release.load() < step && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

CProgressDlg* ShownProgressDialog() {
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* dlg = dynamic_cast<CProgressDlg*>(w); dlg && dlg->IsShown()) return dlg;
  return nullptr;
}

uint32_t GatedJob(void*) {
  g_jobOnMainThread = wxIsMainThread();
  ++g_jobRuns;
  g_reached = 1;
  WaitFor(1);
  SendJobDone();
  return 1;
}

// Runs until the stop flag is seen, then takes its time to wind down.
uint32_t StoppableJob(void*) {
  ++g_jobRuns;
  g_reached = 1;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!StopRequested() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  g_reached = 2;
  WaitFor(1);
  SendJobDone();
  return 1;
}

uint32_t ForgetfulJob(void*) {
  ++g_jobRuns;
  return 1;  // no SendJobDone
}

uint32_t StatusJob(void*) {
  AppendProgressText("Reading access.log");
  AppendProgressText("Done\n");
  AppendProgressText("");
  AppendProgressText("caf\xe9");
  g_reached = 1;
  WaitFor(1);
  SendJobDone();
  return 1;
}

int32_t CountCompletion(int32_t) {
  ++g_completions;
  g_completionOnUiThread = wxIsMainThread();
  g_dialogGoneInCompletion = ShownProgressDialog() == nullptr && !IsWorkerBusy();
  return 0;
}

int32_t OtherCompletion(int32_t) {
  ++g_otherCompletions;
  return 0;
}

// Starts the next job from inside the first one's end, as completions may.
int32_t ChainCompletion(int32_t) {
  ++g_completions;
  RunInWorkerThread(GatedJob, nullptr, OtherCompletion);
  return 0;
}

int32_t LateStatusCompletion(int32_t) {
  ++g_completions;
  AppendProgressText("late line");  // the dialog is gone: only the status pane
  return 0;
}

class Worker : public ::testing::Test {
 protected:
  void SetUp() override {
    g_jobRuns = 0;
    g_release = 0;
    g_reached = 0;
    g_completions = g_otherCompletions = 0;
    g_completionOnUiThread = g_dialogGoneInCompletion = false;
    view_ = new wxFrame(nullptr, wxID_ANY, "Trailvane view", wxDefaultPosition, wxSize(600, 400));
    view_->CreateStatusBar();
    view_->Bind(EVT_JOB_DONE, [](wxThreadEvent&) { EndWorkerJob(); });
    view_->Show();
    SetWorkerView(view_);
    SetEngineStatusBar(view_->GetStatusBar());
    InstallUiEngineCallbacks();
  }
  void TearDown() override {
    g_release = 1000;
    RequestStop();
    EXPECT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy(); }));
    ClearEngineCallbacks();
    SetEngineStatusBar(nullptr);
    SetWorkerView(nullptr);
    view_->Destroy();
    wxtest::Pump(20);
  }
  static bool Idle() { return !IsWorkerBusy() && ShownProgressDialog() == nullptr; }

  wxFrame* view_ = nullptr;
};

TEST_F(Worker, SecondRequestWhileBusyIsDroppedAndCompletionRunsOnUiThread) {
  RunInWorkerThread(GatedJob, nullptr, CountCompletion);
  RunInWorkerThread(GatedJob, nullptr, OtherCompletion);
  ASSERT_TRUE(wxtest::PumpUntil([] { return g_reached.load() == 1; }));
  RunInWorkerThread(GatedJob, nullptr, OtherCompletion);
  EXPECT_TRUE(IsWorkerBusy());
  CProgressDlg* dlg = ShownProgressDialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->GetTitle(), "Trailvane");
  EXPECT_EQ(dlg->GetParent(), view_);
  EXPECT_FALSE(g_jobOnMainThread.load());

  g_release = 1;
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_jobRuns.load(), 1);
  EXPECT_EQ(g_completions, 1);
  EXPECT_EQ(g_otherCompletions, 0);
  EXPECT_TRUE(g_completionOnUiThread);
  EXPECT_TRUE(g_dialogGoneInCompletion);

  // Idle again: the next request runs.
  RunInWorkerThread(GatedJob, nullptr, CountCompletion);
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_jobRuns.load(), 2);
  EXPECT_EQ(g_completions, 2);
}

TEST_F(Worker, CompletionMayStartTheNextJob) {
  g_release = 1;
  RunInWorkerThread(GatedJob, nullptr, ChainCompletion);
  ASSERT_TRUE(wxtest::PumpUntil([] { return g_otherCompletions == 1; }));
  EXPECT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_jobRuns.load(), 2);
  EXPECT_EQ(g_completions, 1);
}

TEST_F(Worker, StopLeavesTheDialogUpUntilTheJobWindsDown) {
  struct Way {
    const char* name;
    std::function<void(CProgressDlg*)> stop;
  };
  const std::vector<Way> ways = {
      {"Stop button",
       [](CProgressDlg* dlg) {
         EXPECT_EQ(dlg->StopButton()->GetLabel(), "Stop");
         wxCommandEvent click(wxEVT_BUTTON, dlg->StopButton()->GetId());
         click.SetEventObject(dlg->StopButton());
         dlg->StopButton()->GetEventHandler()->ProcessEvent(click);
       }},
      {"Esc",
       [](CProgressDlg* dlg) {
         wxKeyEvent key(wxEVT_CHAR_HOOK);
         key.m_keyCode = WXK_ESCAPE;
         key.SetEventObject(dlg);
         dlg->GetEventHandler()->ProcessEvent(key);
       }},
      {"close box", [](CProgressDlg* dlg) { dlg->Close(); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    g_release = 0;
    g_reached = 0;
    g_completions = 0;
    RequestStop();  // a stale stop from earlier work must not end the new job
    RunInWorkerThread(StoppableJob, nullptr, CountCompletion);
    ASSERT_TRUE(wxtest::PumpUntil([] { return g_reached.load() == 1; }));
    EXPECT_FALSE(StopRequested());
    CProgressDlg* dlg = ShownProgressDialog();
    ASSERT_NE(dlg, nullptr);
    if (&way == &ways.front()) {
      EXPECT_TRUE(wxtest::SaveScreenshot("progress-dialog"));
    }

    way.stop(dlg);
    EXPECT_TRUE(StopRequested());
    ASSERT_TRUE(wxtest::PumpUntil([] { return g_reached.load() == 2; }));
    wxtest::Pump(30);
    EXPECT_EQ(ShownProgressDialog(), dlg);
    EXPECT_TRUE(IsWorkerBusy());
    EXPECT_EQ(g_completions, 0);

    g_release = 1;
    ASSERT_TRUE(wxtest::PumpUntil(Idle));
    EXPECT_EQ(g_completions, 1);
  }
}

// The dialog is as large as its controls need, no larger: on the screen
// (over a dark view, so its edges show) the Stop button and the log end one
// margin from its edges.
TEST_F(Worker, ProgressDialogIsSizedToItsControls) {
  const wxColour dark(40, 40, 40);
  view_->SetBackgroundColour(dark);
  view_->Refresh();
  g_release = 0;
  g_reached = 0;
  RequestStop();
  RunInWorkerThread(StoppableJob, nullptr, CountCompletion);
  ASSERT_TRUE(wxtest::PumpUntil([] { return g_reached.load() == 1; }));
  CProgressDlg* dlg = ShownProgressDialog();
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg->IsShownOnScreen(); }));
  wxtest::Pump(200);

  ASSERT_NE(dlg->GetSizer(), nullptr);
  const wxSize client = dlg->GetClientSize();
  const wxSize need = dlg->GetSizer()->GetMinSize();
  EXPECT_LE(std::abs(client.x - need.x), 2) << client.x << " wide for " << need.x;
  EXPECT_LE(std::abs(client.y - need.y), 2) << client.y << " high for " << need.y;
  wxButton* stop = nullptr;
  wxTextCtrl* log = nullptr;
  for (wxWindow* w : dlg->GetChildren()) {
    if (auto* b = dynamic_cast<wxButton*>(w)) stop = b;
    if (auto* t = dynamic_cast<wxTextCtrl*>(w)) log = t;
  }
  ASSERT_NE(stop, nullptr);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(stop->GetLabel(), "Stop");
  EXPECT_LE(client.y - stop->GetRect().GetBottom() - 1, 10);
  EXPECT_LE(client.x - log->GetRect().GetRight() - 1, 10);

  ASSERT_TRUE(wxtest::SaveScreenshot("progress-dialog-size"));
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage shot(std::string(TV_UI_SCREENSHOT_DIR) + "/progress-dialog-size.png", wxBITMAP_TYPE_PNG);
  ASSERT_TRUE(shot.IsOk());
  auto isDark = [&](int x, int y) {
    return shot.GetRed(x, y) < 80 && shot.GetGreen(x, y) < 80 && shot.GetBlue(x, y) < 80;
  };
  // From the button down and from the log right to where the dialog ends.
  wxRect button = stop->GetScreenRect();
  int x = button.x + button.width / 2, y = button.GetBottom() + 1;
  while (y < shot.GetHeight() && !isDark(x, y)) ++y;
  EXPECT_LE(y - button.GetBottom() - 1, 16) << "room below the Stop button";
  wxRect text = log->GetScreenRect();
  y = text.y + text.height / 2;
  x = text.GetRight() + 1;
  while (x < shot.GetWidth() && !isDark(x, y)) ++x;
  EXPECT_LE(x - text.GetRight() - 1, 16) << "room right of the log";

  RequestStop();
  g_release = 1;
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
}

TEST_F(Worker, JobWithoutCompletionOrEndStillClosesTheDialog) {
  g_release = 1;
  RunInWorkerThread(GatedJob, nullptr, nullptr);
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_jobRuns.load(), 1);

  // A job that returns without ending itself is ended when it returns.
  RunInWorkerThread(ForgetfulJob, nullptr, CountCompletion);
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_jobRuns.load(), 2);
  EXPECT_EQ(g_completions, 1);
}

TEST_F(Worker, DialogThatCannotOpenRunsNothingAndLeavesNothingBusy) {
  FailNextProgressDialog();
  RunInWorkerThread(GatedJob, nullptr, CountCompletion);
  EXPECT_FALSE(IsWorkerBusy());
  wxtest::Pump(50);
  EXPECT_EQ(ShownProgressDialog(), nullptr);
  EXPECT_EQ(g_jobRuns.load(), 0);
  EXPECT_EQ(g_completions, 0);

  g_release = 1;
  RunInWorkerThread(GatedJob, nullptr, CountCompletion);
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_jobRuns.load(), 1);
  EXPECT_EQ(g_completions, 1);
}

TEST_F(Worker, StatusLinesReachTheLogOnceEachAndTheStatusPane) {
  RunInWorkerThread(StatusJob, nullptr, LateStatusCompletion);
  ASSERT_TRUE(wxtest::PumpUntil([] { return g_reached.load() == 1; }));
  CProgressDlg* dlg = ShownProgressDialog();
  ASSERT_NE(dlg, nullptr);
  const wxString expected = wxString::FromUTF8("Reading access.log\nDone\ncaf\xc3\xa9\n");
  ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg->MessageLog()->GetValue() == expected; }))
      << dlg->MessageLog()->GetValue();
  EXPECT_EQ(view_->GetStatusBar()->GetStatusText(0), wxString::FromUTF8("caf\xc3\xa9"));

  // No text: "Ready" in the status pane, the log untouched.
  AppendProgressText(nullptr);
  EXPECT_EQ(view_->GetStatusBar()->GetStatusText(0), "Ready");
  EXPECT_EQ(dlg->MessageLog()->GetValue(), expected);

  g_release = 1;
  ASSERT_TRUE(wxtest::PumpUntil(Idle));
  EXPECT_EQ(g_completions, 1);
  EXPECT_EQ(view_->GetStatusBar()->GetStatusText(0), "late line");
}

// The progress bar after each step of the engine's progress calls.
struct ProgressStep {
  uint32_t value, mode;
  int range, position;
};
const ProgressStep kSteps[] = {
    {200, 1, 200, 0},
    {50, 0, 200, 50},
    {0x10064, 1, 0x8032, 25},     // past 16 bits range and position are scaled, not cut
    {0x8032, 0, 0x8032, 0x4019},  // half the work is half the bar
    {0xFFFFFFFF, 1, 0xFFFF, 0},   // the widest range still fits the gauge
    {0xFFFFFFFF, 0, 0xFFFF, 0xFFFF},
    {100, 1, 100, 100},  // a shorter range pulls the position in
    {500, 0, 100, 100},  // past the end: the bar is full
    {30, 1, 30, 30},
    {0, 1, 0, 0},
    {7, 0, 0, 0},
};
std::atomic<int> g_steps{0};

uint32_t ProgressJob(void*) {
  for (int i = 0; i < g_steps.load(); ++i) {
    EngineProgress(kSteps[i].value, kSteps[i].mode);
    g_reached = i + 1;
    WaitFor(i + 1);
  }
  SendJobDone();
  return 1;
}

TEST_F(Worker, GaugeFollowsTheEngineProgress) {
  g_steps = static_cast<int>(std::size(kSteps));
  RunInWorkerThread(ProgressJob, nullptr, nullptr);
  for (int i = 0; i < g_steps.load(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(wxtest::PumpUntil([&] { return g_reached.load() == i + 1; }));
    CProgressDlg* dlg = ShownProgressDialog();
    ASSERT_NE(dlg, nullptr);
    wxGauge* gauge = dlg->ProgressBar();
    EXPECT_TRUE(wxtest::PumpUntil(
        [&] { return gauge->GetRange() == kSteps[i].range && gauge->GetValue() == kSteps[i].position; }, 2000))
        << gauge->GetRange() << " " << gauge->GetValue();
    g_release = i + 1;
  }
  EXPECT_TRUE(wxtest::PumpUntil(Idle));
}

// Sees the error box come up and closes it after a while, checking meanwhile
// that the worker is still held.
class ErrorBoxCloser : public wxModalDialogHook, public wxTimer {
 public:
  ErrorBoxCloser() { Register(); }
  ~ErrorBoxCloser() override { Unregister(); }

  wxMessageDialog* box = nullptr;
  wxString message, caption;
  long style = 0;
  int ticksWhileOpen = 0;
  bool workerRanOnWhileOpen = false;
  bool closed = false;
  bool screenshot = false;

 protected:
  int Enter(wxDialog* dialog) override {
    if (auto* md = dynamic_cast<wxMessageDialog*>(dialog)) {
      box = md;
      message = md->GetMessage();
      caption = md->GetCaption();
      style = md->GetMessageDialogStyle();
      Start(20);
    }
    return wxID_NONE;  // show it
  }
  void Exit(wxDialog*) override {}
  void Notify() override {
    if (!box || closed) return;
    if (g_reached.load() == 2) workerRanOnWhileOpen = true;
    if (++ticksWhileOpen < 10) return;
    screenshot = wxtest::SaveScreenshot("error-box");
    // The box is the toolkit's own modal dialog: answer it as a click on OK would.
    using Respond = void (*)(void*, int);
    auto respond = reinterpret_cast<Respond>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    ASSERT_NE(respond, nullptr);
    closed = true;
    Stop();
    respond(box->GetHandle(), -5 /* GTK_RESPONSE_OK */);
  }
};

uint32_t ErrorJob(void*) {
  g_reached = 1;
  EngineError("Cannot open \"access.log\"");
  g_reached = 2;
  SendJobDone();
  return 1;
}

TEST_F(Worker, ErrorBoxFromTheWorkerHoldsItUntilClosed) {
  ErrorBoxCloser closer;
  RunInWorkerThread(ErrorJob, nullptr, CountCompletion);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return closer.closed && Idle(); }, 20000));
  EXPECT_FALSE(closer.workerRanOnWhileOpen);
  EXPECT_GE(closer.ticksWhileOpen, 10);
  EXPECT_EQ(closer.message, "Cannot open \"access.log\"");
  EXPECT_EQ(closer.caption, "Trailvane");
  EXPECT_TRUE(closer.style & wxICON_ERROR);
  EXPECT_EQ(g_reached.load(), 2);
  EXPECT_EQ(g_completions, 1);
  EXPECT_TRUE(closer.screenshot);
}

}  // namespace
