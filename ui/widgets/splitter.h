// A static splitter of rows and columns whose rows can be taken out of the
// layout and put back without destroying their panes. Panes are children of
// the splitter; each gets the id 0xE900 + 16 x row place + column place.
#pragma once
#include <wx/window.h>

#include <vector>

class CHideSplitterWnd : public wxWindow {
 public:
  static constexpr int kBarSize = 5;
  static constexpr int kFirstPaneId = 0xE900;

  CHideSplitterWnd() = default;
  bool CreateStatic(wxWindow* parent, int rows, int cols, long style = 0, wxWindowID id = wxID_ANY);
  // Puts pane (created with this splitter as parent) at row, col with its
  // first size.
  bool CreateView(int row, int col, wxWindow* pane, const wxSize& initial);

  void HideRow(int row);
  void ShowRow(int row);
  bool IsPaneVisible(int row, int col) const;
  void RenumberPanes();

  wxWindow* GetPane(int row, int col) const;
  int GetRowCount() const { return m_rows; }
  int GetColumnCount() const { return m_cols; }
  // The pane that had the focus last (or was made active), null for none.
  wxWindow* GetActivePane(int* row = nullptr, int* col = nullptr) const;
  void SetActivePane(int row, int col);

  // The current height of the row at place p (or width of the column).
  int GetRowSize(int place) const { return m_rowInfo[static_cast<size_t>(place)].current; }
  int GetColumnSize(int place) const { return m_colInfo[static_cast<size_t>(place)].current; }
  // Lays the panes out again.
  void RecalcLayout();
  // The least height of the row at place p: its panes' minimum, at least
  // the row's own (columns alike, by width).
  int RowMinimum(int place) const { return PlaceMinimum(true, place); }
  int ColumnMinimum(int place) const { return PlaceMinimum(false, place); }
  // Every visible row and column at its least size, with the bars between.
  wxSize GetMinSize() const override;

 private:
  struct Info {
    int minimum = 10;
    int ideal = 0;
    int current = 0;
  };

  int PlaceMinimum(bool rows, int place) const;
  int RowAt(int place) const;
  int ColAt(int place) const;
  // The row place whose bar (below it) holds y, or -1; columns alike.
  int RowBarAt(int y) const;
  int ColBarAt(int x) const;
  void OnSize(wxSizeEvent& event);
  void OnMouse(wxMouseEvent& event);
  void OnChildFocus(wxChildFocusEvent& event);

  int m_maxRows = 0, m_maxCols = 0, m_rows = 0, m_cols = 0;
  std::vector<int> m_visibleRows, m_hiddenRows, m_visibleCols, m_hiddenCols;
  std::vector<wxWindow*> m_grid;  // by creation row and column
  std::vector<Info> m_rowInfo, m_colInfo;  // by place
  std::vector<Info> m_savedRows, m_savedCols;  // by row / column number
  wxWindow* m_active = nullptr;
  int m_dragRow = -1, m_dragCol = -1;
};
