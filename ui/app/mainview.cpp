#include "ui/app/mainview.h"

#include <wx/dcclient.h>
#include <wx/sizer.h>

#include <algorithm>

#include "ui/app/mainwindow.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/reportpanes.h"
#include "ui/widgets/worker.h"

namespace {

CTrailvaneView* s_view = nullptr;

}  // namespace

CTrailvaneView* TheView() { return s_view; }

// While a job runs the worker may be writing the rows a chart would be drawn
// from: the pane shows its background until the job has ended.
void GuardChartPaint(wxWindow* chart) {
  if (!chart) return;
  chart->Bind(wxEVT_PAINT, [chart](wxPaintEvent& event) {
    if (!IsWorkerBusy()) {
      event.Skip();
      return;
    }
    wxPaintDC dc(chart);
    dc.SetBackground(wxBrush(chart->GetBackgroundColour()));
    dc.Clear();
  });
}

CTrailvaneView::~CTrailvaneView() {
  if (s_view == this) s_view = nullptr;
  // The panes are children of this panel: they go before it does.
  m_panes.reset();
}

bool CTrailvaneView::Create(wxWindow* parent) {
  if (!wxPanel::Create(parent, wxID_ANY)) return false;
  m_panes = std::make_unique<CReportPanes>();
  CreateReportPaneWindows(this);
  GuardChartPaint(ChartPane());
  Bind(wxEVT_SIZE, &CTrailvaneView::OnSize, this);
  Bind(EVT_JOB_DONE, &CTrailvaneView::OnJobDone, this);
  m_created = true;
  s_view = this;
  return true;
}

wxSize CTrailvaneView::GetMinSize() const {
  wxSize least(kMinPaneSize, kMinPaneSize);
  for (const wxWindow* pane : GetChildren()) {
    if (pane->IsTopLevel()) continue;
    least.IncTo(pane->GetMinSize());
    // A pane keeps the height its filters need (its list gives way in width).
    if (pane->GetSizer()) least.y = std::max(least.y, pane->GetSizer()->GetMinSize().y);
  }
  least.IncTo(wxPanel::GetMinSize());
  return least;
}

void CTrailvaneView::OnSize(wxSizeEvent& event) {
  event.Skip();
  if (!m_created) return;
  const wxSize size = GetClientSize();
  ResizeReportPanes(0, std::max(size.GetWidth(), kMinPaneSize), std::max(size.GetHeight(), kMinPaneSize));
}

void CTrailvaneView::OnJobDone(wxThreadEvent&) {
  EndWorkerJob();
  if (CMainFrame* frame = dynamic_cast<CMainFrame*>(wxGetTopLevelParent(this))) frame->JobEnded();
}
