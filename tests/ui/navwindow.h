// A test frame laid out as the main window: the report navigator on the left,
// the report panes in a view on the right, navigation hooked to both, over a
// workspace whose only source is one log file.
#pragma once
#include <wx/frame.h>

#include <memory>
#include <string>

#include "ui/panes/navigatortree.h"
#include "ui/panes/reportpanes.h"

class TestNavWindow : public wxFrame {
 public:
  TestNavWindow();
  ~TestNavWindow() override;

  // Makes logPath the only source (groups Pages, Images, Downloads) and opens
  // kind at the top level, which analyses the log first.
  void Open(const std::string& logPath, int kind);
  // No job runs.
  static bool Idle();

  // For a test suite: the report images and the tables in place, a window
  // shown with kind open over the log (null when the analysis did not end),
  // and everything put back at the end.
  static TestNavWindow* OpenForSuite(const std::string& logPath, int kind);
  static void CloseForSuite(TestNavWindow*& window);

  CRMenu* navigator = nullptr;
  wxPanel* view = nullptr;
  std::unique_ptr<CReportPanes> panes;

 private:
  void OnJobDone(wxThreadEvent& event);
};
