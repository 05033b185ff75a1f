// The main view: the panel that hosts the report panes (one shown at a time)
// and receives the end of every worker job.
#pragma once
#include <wx/panel.h>

#include <memory>

class CReportPanes;

class CTrailvaneView : public wxPanel {
 public:
  static constexpr int kMinPaneSize = 150;

  CTrailvaneView() = default;
  ~CTrailvaneView() override;
  // Makes the panes in the panel; false when the panel cannot be made.
  bool Create(wxWindow* parent);

  bool Created() const { return m_created; }
  // The largest least size its panes ask for (the workspace pane's buttons):
  // the splitter keeps the view no smaller.
  wxSize GetMinSize() const override;

 private:
  void OnSize(wxSizeEvent& event);
  void OnJobDone(wxThreadEvent& event);

  std::unique_ptr<CReportPanes> m_panes;
  bool m_created = false;
};

// A chart pane paints only its background while a job runs, since the
// worker may be writing the rows it draws.
void GuardChartPaint(wxWindow* chart);

// The view of the main window, or null.
CTrailvaneView* TheView();
