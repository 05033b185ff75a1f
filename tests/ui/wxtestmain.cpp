// Test main of the window tests: wx runs on this (the main) thread, which is
// the UI thread of every test.
#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/wx/modalwatch.h"
#include "tests/common/testenv.h"
#include "tests/ui/wxtest.h"

namespace {

class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

wxGUIEventLoop* g_loop = nullptr;

void DispatchPending() {
  // Inside a modal dialog its own loop is the one running.
  wxEventLoopBase* loop = wxEventLoopBase::GetActive() ? wxEventLoopBase::GetActive() : g_loop;
  while (loop->Pending()) loop->Dispatch();
  if (wxTheApp) wxTheApp->ProcessPendingEvents();
  loop->ProcessIdle();
}

}  // namespace

namespace wxtest {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    DispatchPending();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void Pump(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  PumpUntil([&] { return std::chrono::steady_clock::now() > end; }, ms + 1000);
}

namespace {
bool SaveRoot(const std::string& name, bool trim) {
  Pump(200);
  std::string path = std::string(TV_UI_SCREENSHOT_DIR) + "/" + name + ".png";
  // ImageMagick reads the X server's root window, which under Xvfb holds just
  // our windows on a black screen; -trim cuts that black away, so menus and
  // popups outside the windows stay in the picture.
  std::string command = "import -window root " + std::string(trim ? "-trim +repage " : "") + "'" + path + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}
}  // namespace

bool SaveScreenshot(const std::string& name) { return SaveRoot(name, true); }
bool SaveWholeScreen(const std::string& name) { return SaveRoot(name, false); }

}  // namespace wxtest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tvtest::Home();
#ifdef TV_REPORT_IMAGES
  // The report images as the program folder has them, whichever test loads
  // them first, so every window and screenshot shows its row images.
  tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(TV_REPORT_IMAGES));
#endif
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) return 1;
  wxTheApp->CallOnInit();
  // Before any test's dialog script, as the program installs it before any
  // dialog: a script that answers a dialog first leaves the watch nothing to track.
  tv::InstallModalWatch();
  int rc;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    g_loop = &loop;
    rc = RUN_ALL_TESTS();
    // Windows destroyed by the tests go at idle time.
    DispatchPending();
    g_loop = nullptr;
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
