#include "ui/widgets/splitter.h"

#include <wx/settings.h>

#include <algorithm>

bool CHideSplitterWnd::CreateStatic(wxWindow* parent, int rows, int cols, long style, wxWindowID id) {
  if (rows < 1 || cols < 1 || rows > 16 || cols > 16) return false;
  if (!wxWindow::Create(parent, id, wxDefaultPosition, wxDefaultSize, style | wxFULL_REPAINT_ON_RESIZE)) return false;
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE));
  m_maxRows = m_rows = rows;
  m_maxCols = m_cols = cols;
  m_grid.assign(static_cast<size_t>(rows * cols), nullptr);
  for (int r = 0; r < rows; ++r) m_visibleRows.push_back(r);
  for (int c = 0; c < cols; ++c) m_visibleCols.push_back(c);
  m_rowInfo.assign(static_cast<size_t>(rows), Info());
  m_colInfo.assign(static_cast<size_t>(cols), Info());
  m_savedRows.assign(static_cast<size_t>(rows), Info());
  m_savedCols.assign(static_cast<size_t>(cols), Info());
  Bind(wxEVT_SIZE, &CHideSplitterWnd::OnSize, this);
  Bind(wxEVT_LEFT_DOWN, &CHideSplitterWnd::OnMouse, this);
  Bind(wxEVT_LEFT_UP, &CHideSplitterWnd::OnMouse, this);
  Bind(wxEVT_MOTION, &CHideSplitterWnd::OnMouse, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_dragRow = m_dragCol = -1; });
  Bind(wxEVT_CHILD_FOCUS, &CHideSplitterWnd::OnChildFocus, this);
  return true;
}

bool CHideSplitterWnd::CreateView(int row, int col, wxWindow* pane, const wxSize& initial) {
  if (!pane || row < 0 || col < 0 || row >= m_maxRows || col >= m_maxCols || pane->GetParent() != this) return false;
  m_grid[static_cast<size_t>(row * m_maxCols + col)] = pane;
  // Created before any row is hidden, so places are the row and column.
  if (initial.y > 0) m_rowInfo[static_cast<size_t>(row)].ideal = initial.y;
  if (initial.x > 0) m_colInfo[static_cast<size_t>(col)].ideal = initial.x;
  pane->SetId(kFirstPaneId + 16 * row + col);
  RecalcLayout();
  return true;
}

wxWindow* CHideSplitterWnd::GetPane(int row, int col) const {
  if (row < 0 || col < 0 || row >= m_maxRows || col >= m_maxCols) return nullptr;
  return m_grid[static_cast<size_t>(row * m_maxCols + col)];
}

int CHideSplitterWnd::RowAt(int place) const {
  int visible = static_cast<int>(m_visibleRows.size());
  return place < visible ? m_visibleRows[static_cast<size_t>(place)]
                         : m_hiddenRows[static_cast<size_t>(place - visible)];
}

int CHideSplitterWnd::ColAt(int place) const {
  int visible = static_cast<int>(m_visibleCols.size());
  return place < visible ? m_visibleCols[static_cast<size_t>(place)]
                         : m_hiddenCols[static_cast<size_t>(place - visible)];
}

bool CHideSplitterWnd::IsPaneVisible(int row, int col) const {
  return std::find(m_visibleRows.begin(), m_visibleRows.end(), row) != m_visibleRows.end() &&
         std::find(m_visibleCols.begin(), m_visibleCols.end(), col) != m_visibleCols.end();
}

void CHideSplitterWnd::RenumberPanes() {
  for (int p = 0; p < m_maxRows; ++p) {
    for (int q = 0; q < m_maxCols; ++q) {
      int row = RowAt(p), col = ColAt(q);
      wxWindow* pane = GetPane(row, col);
      if (!pane) continue;
      pane->SetId(kFirstPaneId + 16 * p + q);
      pane->Show(IsPaneVisible(row, col));
    }
  }
}

wxWindow* CHideSplitterWnd::GetActivePane(int* row, int* col) const {
  for (int r = 0; r < m_maxRows; ++r) {
    for (int c = 0; c < m_maxCols; ++c) {
      if (m_active && GetPane(r, c) == m_active) {
        if (row) *row = r;
        if (col) *col = c;
        return m_active;
      }
    }
  }
  return nullptr;
}

void CHideSplitterWnd::SetActivePane(int row, int col) {
  wxWindow* pane = GetPane(row, col);
  if (!pane) return;
  m_active = pane;
  if (pane->IsShown()) pane->SetFocus();
}

void CHideSplitterWnd::OnChildFocus(wxChildFocusEvent& event) {
  // The pane that holds the focused window becomes the active one.
  for (wxWindow* w = event.GetWindow(); w && w != this; w = w->GetParent()) {
    if (w->GetParent() == this) {
      m_active = w;
      break;
    }
  }
  event.Skip();
}

void CHideSplitterWnd::HideRow(int row) {
  auto it = std::find(m_visibleRows.begin(), m_visibleRows.end(), row);
  // The last visible row stays: an empty splitter would have nothing to lay out.
  if (it == m_visibleRows.end() || m_visibleRows.size() <= 1) return;
  int p = static_cast<int>(it - m_visibleRows.begin());
  int activeRow = -1, activeCol = 0;
  if (GetActivePane(&activeRow, &activeCol) && RowAt(p) == activeRow) {
    int next = p + 1 < m_rows ? p + 1 : 0;
    SetActivePane(RowAt(next), activeCol);
  }
  m_visibleRows.erase(it);
  m_hiddenRows.push_back(row);
  --m_rows;
  RenumberPanes();
  m_savedRows[static_cast<size_t>(row)] = m_rowInfo[static_cast<size_t>(p)];
  m_rowInfo.erase(m_rowInfo.begin() + p);
  m_rowInfo.push_back(Info());
  RecalcLayout();
}

void CHideSplitterWnd::ShowRow(int row) {
  auto hidden = std::find(m_hiddenRows.begin(), m_hiddenRows.end(), row);
  // Only a hidden row of this splitter comes back.
  if (hidden == m_hiddenRows.end()) return;
  int p = static_cast<int>(std::count_if(m_visibleRows.begin(), m_visibleRows.end(), [row](int r) { return r <= row; }));
  ++m_rows;
  m_visibleRows.push_back(row);
  std::sort(m_visibleRows.begin(), m_visibleRows.end());
  m_hiddenRows.erase(hidden);
  RenumberPanes();
  m_rowInfo.pop_back();
  m_rowInfo.insert(m_rowInfo.begin() + p, m_savedRows[static_cast<size_t>(row)]);
  RecalcLayout();
}

int CHideSplitterWnd::PlaceMinimum(bool rows, int place) const {
  const std::vector<Info>& infos = rows ? m_rowInfo : m_colInfo;
  int minimum = infos[static_cast<size_t>(place)].minimum;
  const int across = rows ? m_cols : m_rows;
  for (int other = 0; other < across; ++other) {
    wxWindow* pane = rows ? GetPane(RowAt(place), ColAt(other)) : GetPane(RowAt(other), ColAt(place));
    if (!pane) continue;
    const wxSize least = pane->GetMinSize();
    minimum = std::max(minimum, rows ? least.y : least.x);
  }
  return minimum;
}

wxSize CHideSplitterWnd::GetMinSize() const {
  wxSize own = wxWindow::GetMinSize();
  int width = 0, height = 0;
  for (int q = 0; q < m_cols; ++q) width += PlaceMinimum(false, q) + (q ? kBarSize : 0);
  for (int p = 0; p < m_rows; ++p) height += PlaceMinimum(true, p) + (p ? kBarSize : 0);
  return wxSize(std::max(own.x, width), std::max(own.y, height));
}

namespace {

// Sizes of the visible places: each its ideal size, the last taking the rest;
// none below its minimum while the room allows, so a pane is never
// squeezed to nothing by the one before it.
void Distribute(std::vector<int>* sizes, int count, int total, const std::vector<int>& ideals,
                const std::vector<int>& minimums) {
  sizes->assign(static_cast<size_t>(count), 0);
  int left = total - CHideSplitterWnd::kBarSize * (count - 1);
  for (int i = 0; i < count; ++i) {
    int later = 0;
    for (int j = i + 1; j < count; ++j) later += minimums[static_cast<size_t>(j)];
    int size = i + 1 == count ? left : std::min(ideals[static_cast<size_t>(i)], left - later);
    size = std::max(size, minimums[static_cast<size_t>(i)]);
    size = std::max(std::min(size, left), 0);
    (*sizes)[static_cast<size_t>(i)] = size;
    left -= size;
  }
}

}  // namespace

void CHideSplitterWnd::RecalcLayout() {
  if (m_rows < 1 || m_cols < 1) return;
  wxSize client = GetClientSize();
  std::vector<int> idealRows, idealCols, minRows, minCols, heights, widths;
  for (int p = 0; p < m_rows; ++p) {
    Info& info = m_rowInfo[static_cast<size_t>(p)];
    idealRows.push_back(info.ideal > 0 ? info.ideal : client.y / m_rows);
    minRows.push_back(PlaceMinimum(true, p));
  }
  for (int q = 0; q < m_cols; ++q) {
    Info& info = m_colInfo[static_cast<size_t>(q)];
    idealCols.push_back(info.ideal > 0 ? info.ideal : client.x / m_cols);
    minCols.push_back(PlaceMinimum(false, q));
  }
  Distribute(&heights, m_rows, client.y, idealRows, minRows);
  Distribute(&widths, m_cols, client.x, idealCols, minCols);
  int y = 0;
  for (int p = 0; p < m_rows; ++p) {
    int x = 0;
    m_rowInfo[static_cast<size_t>(p)].current = heights[static_cast<size_t>(p)];
    for (int q = 0; q < m_cols; ++q) {
      m_colInfo[static_cast<size_t>(q)].current = widths[static_cast<size_t>(q)];
      if (wxWindow* pane = GetPane(RowAt(p), ColAt(q)))
        pane->SetSize(x, y, widths[static_cast<size_t>(q)], heights[static_cast<size_t>(p)]);
      x += widths[static_cast<size_t>(q)] + kBarSize;
    }
    y += heights[static_cast<size_t>(p)] + kBarSize;
  }
  Refresh();
}

void CHideSplitterWnd::OnSize(wxSizeEvent& event) {
  RecalcLayout();
  event.Skip();
}

int CHideSplitterWnd::RowBarAt(int y) const {
  int top = 0;
  for (int p = 0; p + 1 < m_rows; ++p) {
    top += m_rowInfo[static_cast<size_t>(p)].current;
    if (y >= top && y < top + kBarSize) return p;
    top += kBarSize;
  }
  return -1;
}

int CHideSplitterWnd::ColBarAt(int x) const {
  int left = 0;
  for (int q = 0; q + 1 < m_cols; ++q) {
    left += m_colInfo[static_cast<size_t>(q)].current;
    if (x >= left && x < left + kBarSize) return q;
    left += kBarSize;
  }
  return -1;
}

void CHideSplitterWnd::OnMouse(wxMouseEvent& event) {
  wxPoint at = event.GetPosition();
  if (event.LeftDown()) {
    m_dragRow = RowBarAt(at.y);
    m_dragCol = m_dragRow < 0 ? ColBarAt(at.x) : -1;
    if ((m_dragRow >= 0 || m_dragCol >= 0) && !HasCapture()) CaptureMouse();
  } else if (event.LeftUp()) {
    m_dragRow = m_dragCol = -1;
    if (HasCapture()) ReleaseMouse();
  } else if (event.Dragging() && (m_dragRow >= 0 || m_dragCol >= 0)) {
    // The bar follows the mouse: the place before it takes the new size.
    int start = 0;
    bool rows = m_dragRow >= 0;
    int place = rows ? m_dragRow : m_dragCol;
    for (int i = 0; i < place; ++i)
      start += (rows ? m_rowInfo : m_colInfo)[static_cast<size_t>(i)].current + kBarSize;
    Info& info = (rows ? m_rowInfo : m_colInfo)[static_cast<size_t>(place)];
    // The bar stays inside the window and leaves every pane its minimum, on
    // both sides: a pane dragged to nothing would also hide the bar.
    const int count = rows ? m_rows : m_cols;
    const int total = rows ? GetClientSize().y : GetClientSize().x;
    int after = 0;
    for (int i = place + 1; i < count; ++i) after += kBarSize + PlaceMinimum(rows, i);
    const int least = PlaceMinimum(rows, place);
    const int most = std::max(least, total - start - after);
    info.ideal = std::clamp((rows ? at.y : at.x) - start, least, most);
    RecalcLayout();
  } else {
    bool onRow = RowBarAt(at.y) >= 0, onCol = !onRow && ColBarAt(at.x) >= 0;
    SetCursor(onRow ? wxCursor(wxCURSOR_SIZENS) : onCol ? wxCursor(wxCURSOR_SIZEWE) : wxNullCursor);
  }
}
