#include "ui/widgets/reportlistctrl.h"

#include <wx/app.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/log.h>
#include <wx/module.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstring>

#include "engine/store/reportkind.h"
#include "platform/folders.h"
#include "platform/wx/wxtext.h"
#include "ui/core/columnstate.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

CSortListCtrl* CurrentReportList = nullptr;

ReportListHooks& ReportListNavigation() {
  static ReportListHooks hooks;
  return hooks;
}

// ---------------------------------------------------------------------------
// The report image strip

namespace {

constexpr int kImageSize = 16;
wxImageList* s_reportImages = nullptr;

wxImage BlankImage() {
  wxImage image(kImageSize, kImageSize);
  image.InitAlpha();
  memset(image.GetAlpha(), 0, kImageSize * kImageSize);
  return image;
}

// Frees the shared strip while the toolkit is still up.
class ReportImagesModule : public wxModule {
 public:
  bool OnInit() override { return true; }
  void OnExit() override {
    delete s_reportImages;
    s_reportImages = nullptr;
  }

 private:
  wxDECLARE_DYNAMIC_CLASS(ReportImagesModule);
};
wxIMPLEMENT_DYNAMIC_CLASS(ReportImagesModule, wxModule);

}  // namespace

bool LoadReportImages(const std::string& path, wxImageList* images) {
  images->RemoveAll();
  images->Create(kImageSize, kImageSize, false, kReportImageCount);
  wxImage strip;
  wxString file = tv::BytesToWx(path);
  if (wxFileExists(file)) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    wxLogNull quiet;  // a bad file gives blank images, not a log window
    strip.LoadFile(file, wxBITMAP_TYPE_PNG);
  }
  bool usable = strip.IsOk() && strip.GetHeight() == kImageSize;
  if (usable && !strip.HasAlpha()) strip.InitAlpha();
  int inStrip = usable ? strip.GetWidth() / kImageSize : 0;
  for (int i = 0; i < kReportImageCount; ++i) {
    wxImage image = i < inStrip ? strip.GetSubImage(wxRect(i * kImageSize, 0, kImageSize, kImageSize)) : BlankImage();
    images->Add(wxBitmap(image));
  }
  return usable && inStrip >= kReportImageCount;
}

wxImageList* ReportImages() {
  if (!s_reportImages) {
    s_reportImages = new wxImageList(kImageSize, kImageSize, false, kReportImageCount);
    LoadReportImages(tv::ProgramDir() + "report_images.png", s_reportImages);
  }
  return s_reportImages;
}

// ---------------------------------------------------------------------------
// The list

CSortListCtrl::CSortListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style)
    : wxListCtrl(parent, id, pos, size, style | wxLC_REPORT | wxLC_VIRTUAL) {
  m_visitedAttr.SetTextColour(*wxBLACK);
  m_visitedAttr.SetBackgroundColour(wxColour(210, 225, 255));
  Bind(wxEVT_LIST_COL_CLICK, &CSortListCtrl::OnColumnClick, this);
  Bind(wxEVT_LIST_ITEM_SELECTED, &CSortListCtrl::OnItemSelected, this);
  Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, &CSortListCtrl::OnRightClick, this);
  // The control hands its mouse events to us before it acts on them.
  Bind(wxEVT_LEFT_UP, &CSortListCtrl::OnLeftUp, this);
  Bind(wxEVT_LEFT_DCLICK, &CSortListCtrl::OnLeftDoubleClick, this);
}

CSortListCtrl::~CSortListCtrl() {
  if (CurrentReportList == this) CurrentReportList = nullptr;
}

int CSortListCtrl::DefaultColumnWidth(int type) const {
  const int digits = GetTextExtent("0123456789").GetWidth();
  int width = GetDefaultColumnWidth(type);
  if (digits > 60) width = width * digits / 60;
  // The widths were made for a smaller font: the value a column is made for
  // must still show whole, with the cell's margins.
  if (const char* sample = DefaultColumnSample(type))
    width = std::max(width, GetTextExtent(wxString::FromUTF8(sample)).GetWidth() + kCellMargin);
  return width;
}

int CSortListCtrl::AddColumn(const char* title, int format, int type) {
  if (columnCount >= kMaxColumns) {
    wxMessageBox("Too many columns (CSortListCtrl)", wxTheApp ? wxTheApp->GetAppDisplayName() : wxString(),
                 wxOK | wxICON_EXCLAMATION, this);
    return columnCount;
  }
  int width;
  if (!GetListColumnInfo("Cz", reportKind, type, &width)) width = DefaultColumnWidth(type);
  InsertColumn(columnCount, tv::BytesToWx(title), format == 1 ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, width);
  Column& c = columns[columnCount];
  c.title = title ? title : "";
  c.type = static_cast<uint8_t>(type);
  c.defaultAscending = format == 0 ? 1 : 0;
  return ++columnCount;
}

bool CSortListCtrl::DeleteAllColumns() {
  for (Column& c : columns) c = Column();
  columnCount = 0;
  RemoveSortIndicator();
  while (GetColumnCount() > 0) DeleteColumn(0);
  return true;
}

void CSortListCtrl::SetSortColumn(int column, bool ascending) {
  if (reportKind == kReportSummary) return;
  // A stored sort state may name a column this report no longer has.
  if (column < 0 || column >= columnCount) return;
  sortColumn = column;
  sortAscending = ascending ? 1 : 0;
  UpdateSortImages(true);
  SortReportRows(rows, columns[column].type, ascending, reportKind, rowTable);
}

void CSortListCtrl::ResetSort() {
  sortAscending = 1;
  UpdateSortImages(false);
}

void CSortListCtrl::UpdateSortImages(bool show) {
  RemoveSortIndicator();
  if (show && sortColumn >= 0 && sortColumn < GetColumnCount()) ShowSortIndicator(sortColumn, sortAscending != 0);
}

void CSortListCtrl::RefreshItemCount() {
  SetItemCount(GetItemCount());
  Refresh();
}

void CSortListCtrl::MarkSelectedRow() {
  if (reportKind == kReportSummary || g_runPending) return;
  CRow* row = RowOfItem(SelectionMark());
  if (!row) return;
  row->SetFlags(static_cast<uint8_t>(row->Flags() | kRowVisited));
  RefreshItemCount();
}

void CSortListCtrl::SelectRowByText(const char* text) {
  if (!text) return;
  const long count = GetItemCount();
  for (long i = 0; i < count; ++i) {
    if (strcmp(FirstColumnText(i), text) == 0) {
      SelectOnly(i);
      return;
    }
  }
  SelectOnly(0);
}

std::string CSortListCtrl::SaveColumnState() {
  if (reportKind >= 0) {
    for (int c = 0; c < columnCount; ++c) {
      const int type = columns[c].type;
      const int width = GetColumnWidth(c);
      // A width dragged back to the default must replace an older stored one.
      int stored;
      bool has = GetListColumnInfo("Cz", reportKind, type, &stored);
      if (width != DefaultColumnWidth(type) || (has && stored != width))
        SetListColumnInfo("Cz", reportKind, type, width);
    }
    int value;
    if (EncodeSortState(sortColumn, sortAscending != 0, &value)) SetListColumnInfo("Or", reportKind, 0, value);
  }
  long mark = SelectionMark();
  return mark >= 0 ? std::string(FirstColumnText(mark)) : std::string();
}

long CSortListCtrl::SelectionMark() const {
  long focused = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
  if (focused >= 0 && GetItemState(focused, wxLIST_STATE_SELECTED)) return focused;
  return GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
}

CRow* CSortListCtrl::RowOfItem(long item) const {
  if (item < 0 || static_cast<uint64_t>(item) < leadingRows) return nullptr;
  uint64_t index = static_cast<uint64_t>(item) - leadingRows;
  return index < rows.Count() ? rows[static_cast<uint32_t>(index)] : nullptr;
}

void CSortListCtrl::SelectOnly(long item) {
  if (item < 0 || item >= GetItemCount()) return;
  for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
       i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
    if (i != item) SetItemState(i, 0, wxLIST_STATE_SELECTED);
  }
  SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  EnsureVisible(item);
}

const char* CSortListCtrl::FirstColumnText(long item) const {
  return GetReportCellText(rowTable, rows, reportKind, columns[0].type, item, 0);
}

wxString CSortListCtrl::OnGetItemText(long item, long column) const {
  if (column < 0 || column >= columnCount) return wxString();
  return tv::BytesToWx(GetReportCellText(rowTable, rows, reportKind, columns[column].type, item,
                                         static_cast<int>(column)));
}

int CSortListCtrl::OnGetItemImage(long item) const {
  return GetReportRowImage(rows, reportKind, item, leadingRows);
}

wxItemAttr* CSortListCtrl::OnGetItemAttr(long item) const {
  if (g_runPending || reportKind == kReportSummary) return nullptr;
  CRow* row = RowOfItem(item);
  if (!row || !(row->Flags() & kRowVisited)) return nullptr;
  return &m_visitedAttr;
}

void CSortListCtrl::OnColumnClick(wxListEvent& event) {
  const int c = event.GetColumn();
  // While results are rebuilt the rows may point into a table being refilled.
  if (c < 0 || c >= columnCount || g_runPending) return;
  wxBusyCursor wait;
  const long oldItem = SelectionMark();
  CRow* remembered = RowOfItem(oldItem);
  bool ascending = c != sortColumn ? columns[c].defaultAscending != 0 : sortAscending == 0;
  SetSortColumn(c, ascending);
  RefreshItemCount();
  if (!remembered) return;
  for (uint32_t i = 0; i < rows.Count(); ++i) {
    if (rows[i] != remembered) continue;
    long item = static_cast<long>(i + leadingRows);
    if (item != oldItem) SelectOnly(item);
    break;
  }
}

void CSortListCtrl::SelectItem(long item) {
  const ReportListHooks& hooks = ReportListNavigation();
  const bool rowsValid =
      !g_runPending || (!inSubreportFrame && hooks.rowsHeldWhilePending && hooks.rowsHeldWhilePending());
  std::vector<CRow*> selected;
  if (GetSelectedItemCount() >= 2 && rowsValid) {
    for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
         i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
      if (CRow* row = RowOfItem(i)) selected.push_back(row);
    }
  }
  if (!inSubreportFrame) CurrentReportList = this;
  if (reportKind == kReportSummary || !rowsValid) return;
  if (hooks.setSubreportKey) hooks.setSubreportKey(RowOfItem(item), item, inSubreportFrame != 0, selected);
}

long CSortListCtrl::ItemAt(const wxPoint& pos) const {
  int flags = 0;
  return HitTest(pos, flags);
}

void CSortListCtrl::OnItemSelected(wxListEvent& event) {
  event.Skip();
  SelectItem(event.GetIndex());
}

void CSortListCtrl::OnLeftUp(wxMouseEvent& event) {
  event.Skip();
  if (reportKind != kReportSummary) SelectItem(ItemAt(event.GetPosition()));
}

// Navigation may open a window or a menu; it runs once the control is done
// with the mouse event.
void CSortListCtrl::OnLeftDoubleClick(wxMouseEvent& event) {
  event.Skip();
  if (reportKind == kReportSummary) {
    long mark = SelectionMark();
    CallAfter([mark] {
      if (ReportListNavigation().openSummaryRowReport) ReportListNavigation().openSummaryRowReport(mark);
    });
    return;
  }
  SelectItem(ItemAt(event.GetPosition()));
  bool subreport = inSubreportFrame != 0;
  wxPoint at = wxGetMousePosition();
  CallAfter([at, subreport] {
    if (ReportListNavigation().showReportContextMenu) ReportListNavigation().showReportContextMenu(at, subreport);
  });
}

void CSortListCtrl::OnRightClick(wxListEvent& event) {
  SelectItem(event.GetIndex());
  bool subreport = inSubreportFrame != 0;
  wxPoint at = wxGetMousePosition();
  CallAfter([at, subreport] {
    if (ReportListNavigation().showReportContextMenu) ReportListNavigation().showReportContextMenu(at, subreport);
  });
}
