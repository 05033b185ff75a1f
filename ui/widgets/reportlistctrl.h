// The list control every report is shown in: a virtual report view whose
// items are the rows of a row table through a sortable row index.
#pragma once
#include <wx/imaglist.h>
#include <wx/listctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/query/rowtable.h"

class CSortListCtrl;

// The list that was filled or clicked last (a click in the subreport frame's
// list does not count); Find, Print, Copy and the context commands act on it.
extern CSortListCtrl* CurrentReportList;

// Set by navigation; every hook may be empty (nothing happens then).
struct ReportListHooks {
  // The row of the chosen item (null for the totals row or no row), its item
  // index, whether the list is the subreport frame's, and the rows of all
  // selected items when two or more are selected.
  std::function<void(CRow* row, long item, bool inSubreportFrame, const std::vector<CRow*>& selected)> setSubreportKey;
  // A double-click on a line of the summary list.
  std::function<void(long item)> openSummaryRowReport;
  // The report context menu at a screen position.
  std::function<void(const wxPoint& screenPos, bool inSubreportFrame)> showReportContextMenu;
  // True while the run that is pending leaves the report lists' rows in place
  // (the subreport frame's query): a row chosen then is still handed on.
  std::function<bool()> rowsHeldWhilePending;
};
ReportListHooks& ReportListNavigation();

// The report image strip (36 images of 16x16), loaded once from the program
// folder. Shared by every list; never delete it.
wxImageList* ReportImages();
// Fills images with the 36 images of the strip at path; blank images for a
// missing or unreadable file or for what the file lacks. False then.
bool LoadReportImages(const std::string& path, wxImageList* images);
constexpr int kReportImageCount = 36;

// Flag bit of a row that the user has drilled into, opened or looked up.
constexpr uint8_t kRowVisited = 0x80;

class CSortListCtrl : public wxListCtrl {
 public:
  static constexpr int kMaxColumns = 25;

  struct Column {
    std::string title;
    uint8_t type = 255;  // 255: unused
    uint8_t defaultAscending = 1;
  };

  // Report view, virtual; add wxLC_SINGLE_SEL for a single selection.
  CSortListCtrl(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxLC_REPORT | wxLC_VIRTUAL);
  ~CSortListCtrl() override;

  // Appends a column (format 0 left, 1 right) and returns the column count.
  int AddColumn(const char* title, int format, int type);
  // The default width of a column type in this list's font: the table's widths
  // fit an 8-point font whose digits are 6 pixels wide; a column made for a
  // value (DefaultColumnSample) is at least as wide as that value with the
  // cell's margins.
  int DefaultColumnWidth(int type) const;
  // What a cell's text leaves free of its column: the generic list control
  // keeps 4 pixels each side and cuts a text that does not fit with "...".
  static constexpr int kCellMargin = 12;
  // Also forgets the columns' titles and types.
  bool DeleteAllColumns() override;
  // Sorts the rows by a column (nothing for the summary kind or a column the
  // list does not have).
  void SetSortColumn(int column, bool ascending);
  void ResetSort();
  void UpdateSortImages(bool show);
  // Drops the control's idea of the items and repaints them all.
  void RefreshItemCount();
  // Marks the row at the selection mark as visited.
  void MarkSelectedRow();
  void SelectRowByText(const char* text);
  // Stores the column widths and the sort state of the kind on show; returns
  // the first-column text of the item at the selection mark.
  std::string SaveColumnState();

  // The item the selection hangs on: the focused item when it is selected,
  // else the first selected one; -1 when nothing is selected.
  long SelectionMark() const;
  // The row an item shows, null for the totals row and outside the rows.
  CRow* RowOfItem(long item) const;
  // Deselects everything, then selects and focuses item and scrolls it into view.
  void SelectOnly(long item);

  int32_t columnCount = 0;
  CRowTable* rowTable = nullptr;
  int32_t reportKind = -1;
  Column columns[kMaxColumns];
  uint32_t leadingRows = 0;
  int32_t sortColumn = -1;
  uint32_t sortAscending = 1;
  CRowIndex rows;
  uint32_t inSubreportFrame = 0;
  int8_t level = 0;

 protected:
  wxString OnGetItemText(long item, long column) const override;
  int OnGetItemImage(long item) const override;
  wxItemAttr* OnGetItemAttr(long item) const override;

 private:
  void OnColumnClick(wxListEvent& event);
  void OnItemSelected(wxListEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnLeftDoubleClick(wxMouseEvent& event);
  void OnRightClick(wxListEvent& event);
  // Hands the chosen item to navigation.
  void SelectItem(long item);
  long ItemAt(const wxPoint& pos) const;
  const char* FirstColumnText(long item) const;

  mutable wxItemAttr m_visitedAttr;
};
