// A test window: analyses one log on the worker thread under the progress
// dialog, then shows the page report, the group side list and the summary.
#pragma once
#include <wx/frame.h>
#include <wx/listctrl.h>

#include <string>

#include "engine/query/rowtable.h"
#include "ui/widgets/reportlistctrl.h"

class TestReportWindow : public wxFrame {
 public:
  TestReportWindow();
  ~TestReportWindow() override;

  // Makes logPath the project's only source and starts the job.
  void Load(const std::string& logPath);
  bool Loaded() const { return m_loaded; }

  CSortListCtrl* reportList = nullptr;
  CSortListCtrl* summaryList = nullptr;
  wxListCtrl* groupsList = nullptr;
  CRowTable table;

 private:
  static uint32_t Job(void* arg);
  static int32_t Completion(int32_t unused);
  void OnJobDone(wxThreadEvent& event);

  bool m_loaded = false;
};
