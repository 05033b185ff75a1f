// A test window hosting the report panes in a view, as the main window will:
// analyses one log on the worker thread, then runs a report's query there and
// shows the result in the report's pane.
#pragma once
#include <wx/frame.h>

#include <memory>
#include <string>

#include "engine/query/rowtable.h"
#include "engine/store/reportkind.h"
#include "ui/panes/reportpanes.h"

class TestPaneWindow : public wxFrame {
 public:
  TestPaneWindow();
  ~TestPaneWindow() override;

  // Makes logPath the project's only source (groups Pages, Images, Downloads)
  // and starts the analysis.
  void Load(const std::string& logPath);
  // Runs the query of kind and shows it in its top-level pane, or in the chart pane.
  void ShowKind(int kind, bool chart = false);
  // No job runs and the last one has been shown.
  bool Idle() const;

  wxPanel* view = nullptr;
  std::unique_ptr<CReportPanes> panes;
  CRowTable tables[kMaxReportKind + 1];

 private:
  static uint32_t LoadJob(void* arg);
  static uint32_t QueryJob(void* arg);
  static int32_t QueryDone(int32_t unused);
  static int32_t LoadDone(int32_t unused);
  void OnJobDone(wxThreadEvent& event);

  int m_kind = -1;
  bool m_chart = false;
  bool m_waiting = false;
};
