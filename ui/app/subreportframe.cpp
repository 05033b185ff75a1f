#include "ui/app/subreportframe.h"

#include <wx/button.h>
#include <wx/notebook.h>

#include <algorithm>

#include "engine/display/display.h"
#include "engine/tables/auxdb.h"
#include "platform/wx/wxtext.h"
#include "ui/app/mainview.h"
#include "ui/app/mainwindow.h"
#include "ui/core/navigationstate.h"
#include "ui/core/reportcommands.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportpanes.h"

namespace {

constexpr int kRememberedKinds = 31;
int8_t s_tabMemory[2][kRememberedKinds] = {};

constexpr int kCloseWidth = 22;

}  // namespace

int CAuxFrame::RememberedTab(int mode, int kind) {
  if (kind < 0 || kind >= kRememberedKinds) return 0;
  return s_tabMemory[mode == kTableMode ? 1 : 0][kind];
}

bool CAuxFrame::Create(wxWindow* parent) {
  if (!wxPanel::Create(parent, wxID_ANY)) return false;
  m_close = new wxButton(this, ID_CLOSE, wxString::FromUTF8("\u00D7"), wxPoint(0, 0), wxSize(kCloseWidth, kCloseWidth),
                         wxBU_EXACTFIT | wxBORDER_NONE);
  m_close->SetToolTip("Close Frame");
  m_tabs = new wxNotebook(this, ID_TABS, wxPoint(kCloseWidth + 2, 0), wxDefaultSize, wxNB_TOP);
  m_list = new CSubreportListDlg;
  m_list->Create(this);
  m_list->reportList->inSubreportFrame = 1;
  m_chart = new CChartDlg(this);
  m_frameChart = new CChartDlg(this);
  GuardChartPaint(m_chart);
  GuardChartPaint(m_frameChart);
  HidePanes();
  Bind(wxEVT_SIZE, &CAuxFrame::OnSize, this);
  Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, &CAuxFrame::OnTabChanged, this, ID_TABS);
  Bind(wxEVT_BUTTON, &CAuxFrame::OnClose, this, ID_CLOSE);
  m_created = true;
  return true;
}

void CAuxFrame::HidePanes() {
  m_list->Hide();
  m_chart->Hide();
  m_frameChart->Hide();
}

void CAuxFrame::OnSize(wxSizeEvent& event) {
  event.Skip();
  if (!m_created) return;
  const wxSize size = GetClientSize();
  PlacePanes(size.GetWidth(), size.GetHeight());
}

void CAuxFrame::PlacePanes(int cx, int cy) {
  // The tab strip alone: its pages are empty, the panes lie below it.
  m_tabs->SetSize(kCloseWidth + 2, 0, std::max(cx - kCloseWidth - 6, 0), m_tabHeight);
  m_list->SetSize(0, m_tabHeight, cx, std::max(cy - m_tabHeight, 0));
  m_chart->SetSize(0, m_tabHeight, cx, std::max(cy - m_tabHeight, 0));
  m_frameChart->SetSize(kCloseWidth, 0, std::max(cx - kCloseWidth, 0), cy);
}

void CAuxFrame::OpenSubreport(int kind, int mode, int tab) {
  m_kind = kind;
  m_mode = mode == kChartMode ? kChartMode : kTableMode;
  m_chartFrame = false;
  if (tab == -1) {
    ReportCommand table[kMaxReportCommands];
    const bool cityData = g_auxDatabases.geoLoaded && g_auxDatabases.geo[kGeoCity].names.count > 0;
    const int count = BuildReportCommandTable(kind, table, m_mode == kTableMode, cityData);
    m_tabKinds.clear();
    // GTK selects the first page added, which is no choice of the user's.
    m_rebuilding = true;
    m_tabs->DeleteAllPages();
    for (int i = 0; i < count; ++i) {
      m_tabKinds.push_back(table[i].kind);
      auto* page = new wxPanel(m_tabs, wxID_ANY, wxDefaultPosition, wxSize(1, 1));
      m_tabs->AddPage(page, tv::BytesToWx(ColumnTerm(table[i].kind)));
    }
    m_rebuilding = false;
    if (count > 0) {
      // Tall enough for the tab titles, whatever the theme draws around them.
      m_tabHeight = std::max(27, m_tabs->GetBestSize().GetHeight());
      const wxSize size = GetClientSize();
      PlacePanes(size.GetWidth(), size.GetHeight());
    }
    if (kind >= 0 && kind < kRememberedKinds) tab = RememberedTab(m_mode, kind);
  }
  if (tab < 0 || tab >= static_cast<int>(m_tabKinds.size())) tab = 0;
  if (kind >= 0 && kind < kRememberedKinds) s_tabMemory[m_mode][kind] = static_cast<int8_t>(tab);
  m_tabs->Show();
  if (m_tabKinds.empty()) {
    HidePanes();
    PushLevelFrame(nullptr, 0, -1);
    return;
  }
  m_tabs->ChangeSelection(static_cast<size_t>(tab));
  ShowSubreportPage(m_tabKinds[static_cast<size_t>(tab)]);
}

void CAuxFrame::ShowSubreportPage(int kind) {
  HidePanes();
  if (m_mode == kTableMode) {
    CSortListCtrl* list = m_list->reportList;
    list->rowTable = nullptr;
    list->rows.Free();
    // Emptied, it shows no report: the page's result must fill it again even
    // when the query finds its result held from before.
    list->reportKind = -1;
    list->SetItemCount(0);
    list->Refresh();
    m_list->Show();
    PushLevelFrame(m_list, kind, 1);
  } else {
    m_chart->SetChartPaneData(-1, nullptr);
    m_chart->Show();
    PushLevelFrame(m_chart, kind, 0);
  }
}

bool CAuxFrame::ShowChartFrame() {
  if (g_nav.chartMode || !CanShowChart()) return false;
  m_rebuilding = true;
  m_tabs->DeleteAllPages();
  m_rebuilding = false;
  m_tabKinds.clear();
  m_tabs->Hide();
  HidePanes();
  m_frameChart->Show();
  m_chartFrame = true;
  UpdateChartFrame();
  return true;
}

void CAuxFrame::UpdateChartFrame() {
  if (!m_chartFrame) return;
  m_frameChart->SetChartPaneData(GetCurrentReportType(), &GetCurrentQueryState());
}

void CAuxFrame::OnTabChanged(wxBookCtrlEvent& event) {
  if (m_rebuilding || event.GetSelection() < 0) return;
  OpenSubreport(m_kind, m_mode, event.GetSelection());
}

void CAuxFrame::OnClose(wxCommandEvent&) {
  if (CMainFrame* frame = dynamic_cast<CMainFrame*>(wxGetTopLevelParent(this))) frame->ShowSubreportPane(0);
}
