#include "ui/panes/chartpane.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

#include <algorithm>

#include "output/chart.h"
#include "output/pngbmp.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "ui/core/chartlayout.h"

uint16_t g_chartType = 0;
uint16_t g_chartSource = 0;

namespace {

enum {
  kIdPie = 1003,
  kIdGraph = 1004,
  kIdHits = 1005,
  kIdBandwidth = 1006,
  kIdVisitors = 1007,
  kIdDefaultType = 1008,
  kIdDefaultSource = 1009,
};

}  // namespace

bool CChartDlg::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxFULL_REPAINT_ON_RESIZE))
    return false;
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  auto* column = new wxBoxSizer(wxVERTICAL);
  auto* type = new wxStaticBoxSizer(wxVERTICAL, this, "Type");
  const struct { int id; const char* text; } types[] = {{kIdDefaultType, "&Default"}, {kIdPie, "&Pie"}, {kIdGraph, "&Graph"}};
  for (int i = 0; i < 3; ++i) {
    m_type[i] = new wxRadioButton(type->GetStaticBox(), types[i].id, types[i].text, wxDefaultPosition, wxDefaultSize,
                                  i == 0 ? wxRB_GROUP : 0);
    type->Add(m_type[i], 0, wxALL, 2);
  }
  auto* source = new wxStaticBoxSizer(wxVERTICAL, this, "Source");
  const struct { int id; const char* text; } sources[] = {
      {kIdDefaultSource, "Def&ault"}, {kIdHits, "&Hits"}, {kIdBandwidth, "&Bandwidth"}, {kIdVisitors, "&Visitors"}};
  for (int i = 0; i < 4; ++i) {
    m_source[i] = new wxRadioButton(source->GetStaticBox(), sources[i].id, sources[i].text, wxDefaultPosition,
                                    wxDefaultSize, i == 0 ? wxRB_GROUP : 0);
    source->Add(m_source[i], 0, wxALL, 2);
  }
  column->Add(type, 0, wxEXPAND | wxALL, 2);
  column->Add(source, 0, wxEXPAND | wxALL, 2);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(column, 0, wxEXPAND);
  m_choices = column;
  row->AddStretchSpacer();
  SetSizer(row);

  for (int i = 0; i < 3; ++i) Bind(wxEVT_RADIOBUTTON, &CChartDlg::OnTypeChoice, this, types[i].id);
  for (int i = 0; i < 4; ++i) Bind(wxEVT_RADIOBUTTON, &CChartDlg::OnSourceChoice, this, sources[i].id);
  Bind(wxEVT_PAINT, &CChartDlg::OnPaint, this);
  Bind(wxEVT_SIZE, &CChartDlg::OnSize, this);
  // Enter and Esc never close a pane.
  Bind(wxEVT_BUTTON, &CChartDlg::OnSwallow, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CChartDlg::OnSwallow, this, wxID_CANCEL);
  return true;
}

void CChartDlg::SetChartPaneData(int kind, CRowTable* table) {
  reportKind = kind;
  queryState = table;
  Refresh();
}

void CChartDlg::TransferToChoices() {
  if (chartType >= 0 && chartType < 3) m_type[chartType]->SetValue(true);
  if (chartSource >= 0 && chartSource < 4) m_source[chartSource]->SetValue(true);
}

void CChartDlg::OnSize(wxSizeEvent& event) {
  paneWidth = event.GetSize().GetWidth();
  paneHeight = event.GetSize().GetHeight();
  Layout();
  Refresh();
}

void CChartDlg::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  // Under the choices the pane shows its own background.
  dc.SetBackground(wxBrush(GetBackgroundColour()));
  dc.Clear();
  DrawReportChart(dc, paneWidth - ChartLeft(), paneHeight);
}

bool CChartDlg::DrawReportChart(wxDC& dc, int w, int h) {
  if (reportKind < 0 || !queryState) return false;
  ++m_draws;
  int left = ChartLeft();
  ChartPlacement place = PlaceChart(w, h, left);
  // Without the private folder the picture would land in the current one.
  if (tv::TempDir().empty()) return false;
  std::string png = tv::TempDir() + "chart.png";
  int width = place.width, height = place.height;
  if (!BuildReportChart(reportKind, *queryState, &width, &height, nullptr, png.c_str(), nullptr,
                        ChartStyleOf(chartType, chartSource)))
    return false;
  wxBitmap bitmap;
  if (!LoadChartBitmap(png, bitmap)) return false;
  m_bitmap = bitmap;
  wxSize client = GetClientSize();
  dc.SetBrush(wxBrush(GetBackgroundColour()));
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.DrawRectangle(left, 0, std::max(client.GetWidth() - left, 0), client.GetHeight());
  m_position = wxPoint(place.x, place.y);
  dc.DrawBitmap(m_bitmap, m_position);
  return true;
}

int CChartDlg::ChartLeft() const {
  return m_choices ? std::max(kChartLeft, m_choices->GetMinSize().GetWidth() + 4) : kChartLeft;
}

void CChartDlg::Redraw() {
  if (redrawLevel) redrawLevel();
  else Refresh();
}

void CChartDlg::OnTypeChoice(wxCommandEvent&) {
  for (int i = 0; i < 3; ++i)
    if (m_type[i]->GetValue()) chartType = i;
  g_chartType = static_cast<uint16_t>(chartType);
  Redraw();
}

void CChartDlg::OnSourceChoice(wxCommandEvent&) {
  for (int i = 0; i < 4; ++i)
    if (m_source[i]->GetValue()) chartSource = i;
  g_chartSource = static_cast<uint16_t>(chartSource);
  Redraw();
}

bool LoadChartBitmap(const std::string& pngPath, wxBitmap& bitmap) {
  std::string bmp = pngPath.substr(0, pngPath.rfind('.')) + ".bmp";
  bool ok = ConvertPngToBmp(pngPath.c_str(), bmp.c_str());
  if (ok) {
    wxImage image;
    ok = image.LoadFile(wxString::FromUTF8(bmp), wxBITMAP_TYPE_BMP) && image.IsOk();
    if (ok) bitmap = wxBitmap(image);
  }
  tv::RemoveFile(pngPath);
  tv::RemoveFile(bmp);
  return ok && bitmap.IsOk();
}
