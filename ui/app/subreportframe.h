// The subreport frame below the view: tabs of the reports one level below the
// selected row, each shown as a list or a chart as the selection changes, and
// the chart frame (the level's chart beside its table).
#pragma once
#include <wx/panel.h>

#include <cstdint>
#include <vector>

class wxButton;
class wxNotebook;
class wxBookCtrlEvent;
class CChartDlg;
class CSubreportListDlg;

class CAuxFrame : public wxPanel {
 public:
  enum { ID_TABS = 1001, ID_CLOSE = 1056 };
  enum Mode { kChartMode = 0, kTableMode = 1 };

  CAuxFrame() = default;
  bool Create(wxWindow* parent);

  // The tabs of the kinds below kind (tab -1: rebuilt, the tab last chosen for
  // kind in that mode selected), then that tab's page.
  void OpenSubreport(int kind, int mode, int tab);
  // The page of a tab's kind: the level below previewed in the list or chart.
  void ShowSubreportPage(int kind);
  // The current level's chart alone, without tabs; false when it has none
  // (chart mode on, or the kind has no chart).
  bool ShowChartFrame();
  bool ChartFrameInUse() const { return m_chartFrame; }
  void ForgetChartFrame() { m_chartFrame = false; }
  // The chart frame takes the level on show.
  void UpdateChartFrame();

  int Kind() const { return m_kind; }
  int DisplayMode() const { return m_mode; }
  const std::vector<int>& TabKinds() const { return m_tabKinds; }
  wxNotebook* Tabs() const { return m_tabs; }
  wxButton* CloseButton() const { return m_close; }
  CSubreportListDlg* ListPane() const { return m_list; }
  CChartDlg* SubreportChart() const { return m_chart; }
  CChartDlg* ChartFramePane() const { return m_frameChart; }
  // The tab last chosen for a kind below 31 in a mode, 0 before any.
  static int RememberedTab(int mode, int kind);

 private:
  void OnSize(wxSizeEvent& event);
  void OnTabChanged(wxBookCtrlEvent& event);
  void OnClose(wxCommandEvent& event);
  void PlacePanes(int cx, int cy);
  void HidePanes();

  wxNotebook* m_tabs = nullptr;
  int m_kind = 0;
  int m_mode = kTableMode;
  bool m_created = false;
  bool m_chartFrame = false;
  bool m_rebuilding = false;
  CSubreportListDlg* m_list = nullptr;
  CChartDlg* m_chart = nullptr;       // the chart subreport
  CChartDlg* m_frameChart = nullptr;  // the chart frame
  wxButton* m_close = nullptr;
  std::vector<int> m_tabKinds;
  int m_tabHeight = 27;
};
