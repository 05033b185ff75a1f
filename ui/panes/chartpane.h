// The chart pane: the chart of a report, drawn by the report output as a
// picture in the temporary folder and painted right of the "Type" and
// "Source" choices.
#pragma once
#include <wx/bitmap.h>
#include <wx/panel.h>

#include <functional>
#include <string>

#include "engine/query/rowtable.h"

class wxRadioButton;

// The chart type and source of the current report, as the choices last set them.
extern uint16_t g_chartType;
extern uint16_t g_chartSource;

class CChartDlg : public wxPanel {
 public:
  CChartDlg() = default;
  explicit CChartDlg(wxWindow* parent) { Create(parent); }
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // The report to chart: its kind and the rows of its level. Repaints.
  void SetChartPaneData(int kind, CRowTable* table);
  // Puts chartType and chartSource into the choices.
  void TransferToChoices();

  // Draws the chart of the report into dc in the room w x h right of the
  // choices. False, with nothing painted, when no picture could be made.
  bool DrawReportChart(wxDC& dc, int w, int h);

  // The picture of the last draw and where it was painted (for tests).
  const wxBitmap& ChartBitmap() const { return m_bitmap; }
  wxPoint ChartPosition() const { return m_position; }
  int DrawCount() const { return m_draws; }
  // Where the room right of the choices begins: kChartLeft, or more when the
  // choices need it on this display.
  int ChartLeft() const;

  // Called after a choice changed; navigation redraws the chart of the level.
  // Unset, the pane repaints itself.
  std::function<void()> redrawLevel;

  int32_t chartType = 0;    // 0 default, 1 pie, 2 bars
  int32_t chartSource = 0;  // 0 default, 1 hits, 2 bandwidth, 3 visitors
  int reportKind = -1;
  CRowTable* queryState = nullptr;
  int paneHeight = 0;
  int paneWidth = 0;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnTypeChoice(wxCommandEvent& event);
  void OnSourceChoice(wxCommandEvent& event);
  void OnSwallow(wxCommandEvent&) {}
  void Redraw();

  wxSizer* m_choices = nullptr;
  wxRadioButton* m_type[3] = {};
  wxRadioButton* m_source[4] = {};
  wxBitmap m_bitmap;
  wxPoint m_position;
  int m_draws = 0;
};

// Reads the chart picture at pngPath into bitmap through a BMP file beside it;
// both files are gone afterwards. False when the picture cannot be read.
bool LoadChartBitmap(const std::string& pngPath, wxBitmap& bitmap);
