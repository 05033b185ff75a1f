#include "ui/panes/reportprint.h"

#include <wx/app.h>
#include <wx/datetime.h>
#include <wx/dc.h>
#include <wx/fontenum.h>
#include <wx/msgdlg.h>
#include <wx/printdlg.h>

#include <algorithm>
#include <vector>

#include "engine/display/display.h"
#include "platform/wx/wxtext.h"
#include "ui/widgets/reportlistctrl.h"

namespace {

// Drawing is done in tenths of a list unit: printer fonts are sized in whole
// points, and a 9-unit font at one logical unit per list unit would be far
// below a point on a fine printer.
constexpr int kSub = 10;
// The print font's line height in list units: characters 9 units high with
// their leading.
constexpr int kLineUnits = 11;
const char kSample[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ";

wxString PrintFaceName() {
  static const wxString face = [] {
    for (const char* name : {"DejaVu Serif", "Liberation Serif", "Nimbus Roman", "FreeSerif"})
      if (wxFontEnumerator::IsValidFacename(name)) return wxString(name);
    return wxString();
  }();
  return face;
}

}  // namespace

int TotalColumnWidth(const CSortListCtrl& list) {
  int width = 0;
  for (int c = 0, n = list.GetColumnCount(); c < n; ++c) width += list.GetColumnWidth(c);
  return width;
}

wxFont PrintFont(double pointSize, bool bold) {
  wxFontInfo info(pointSize);
  info.Family(wxFONTFAMILY_ROMAN);
  const wxString face = PrintFaceName();
  if (!face.empty()) info.FaceName(face);
  if (bold) info.Bold();
  return wxFont(info);
}

CListPrintout::CListPrintout(const CSortListCtrl& list) : wxPrintout(wxString()), m_list(list) {}

void CListPrintout::PreparePrintFonts(wxDC& dc) {
  m_layout = CPrintLayout();
  const long items = m_list.GetItemCount();
  if (items <= 0) return;
  dc.SetMapMode(wxMM_TEXT);
  dc.SetUserScale(1.0, 1.0);
  dc.SetLogicalOrigin(0, 0);
  // Devices size fonts their own way (a PostScript device measures them at
  // screen resolution, whatever its own): the size is found by measuring.
  constexpr double kTrialPoints = 100.0;
  wxCoord w = 0, h = 0;
  dc.SetFont(PrintFont(kTrialPoints, false));
  dc.GetTextExtent(wxString(kSample).Left(52), &w, &h);
  const double points = h > 0 ? kTrialPoints * kLineUnits * kSub / h : kTrialPoints;
  m_font = PrintFont(points, false);
  m_boldFont = PrintFont(points, true);
  dc.SetFont(m_font);
  dc.GetTextExtent(wxString(kSample).Left(52), &w, &h);
  const int charWidth = static_cast<int>(w / kSub) / 52;
  const int charHeight = static_cast<int>((h + kSub / 2) / kSub);
  const wxSize page = dc.GetSize();
  m_layout = ComputePrintLayout(charWidth, charHeight, page.x, page.y, TotalColumnWidth(m_list), items);
  m_firstPage = 1;
  m_lastPage = m_layout.pageCount;
}

void CListPrintout::OnPreparePrinting() {
  if (wxDC* dc = GetDC()) PreparePrintFonts(*dc);
}

bool CListPrintout::OnBeginDocument(int startPage, int endPage) {
  if (!wxPrintout::OnBeginDocument(startPage, endPage)) return false;
  if (!PrintPageRange(m_layout, true, startPage, endPage, &m_firstPage, &m_lastPage)) {
    m_firstPage = 1;
    m_lastPage = 0;
  }
  return true;
}

void CListPrintout::GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) {
  *minPage = 1;
  *maxPage = m_layout.pageCount;
  *pageFrom = 1;
  *pageTo = m_layout.pageCount;
}

bool CListPrintout::HasPage(int page) { return page >= 1 && page <= m_layout.pageCount; }

bool CListPrintout::OnPrintPage(int page) {
  wxDC* dc = GetDC();
  if (!dc || !HasPage(page)) return false;
  if (page >= m_firstPage && page <= m_lastPage) PrintPage(*dc, page);
  return true;
}

void CListPrintout::PrintPage(wxDC& dc, int page) {
  const CPrintLayout& l = m_layout;
  if (!HasPage(page) || l.listWidth <= 0 || l.logicalPageHeight <= 0) return;
  dc.SetMapMode(wxMM_TEXT);
  dc.SetUserScale(static_cast<double>(l.pageWidth) / (static_cast<double>(l.listWidth) * kSub),
                  static_cast<double>(l.pageHeight) / (static_cast<double>(l.logicalPageHeight) * kSub));
  dc.SetLogicalOrigin(-4 * l.charWidth * kSub, 0);
  dc.SetPen(wxPen(*wxBLACK, kSub));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(*wxBLACK);
  dc.SetFont(m_font);
  PrintPageTitle(dc);
  PrintHeaderRow(dc);
  PrintRows(dc, page);
  PrintPageFooter(dc, page);
}

void CListPrintout::DrawCellText(wxDC& dc, const wxString& text, int left, int top, int right, int bottom, int align) {
  const int width = (right - left) * kSub;
  if (width <= 0 || text.empty()) return;
  wxString shown = text;
  // Tabs and line breaks would not stay on the line.
  shown.Replace("\t", " ");
  shown.Replace("\r", " ");
  shown.Replace("\n", " ");
  wxCoord tw = 0, th = 0;
  dc.GetTextExtent(shown, &tw, &th);
  if (tw > width) {
    // What does not fit the cell is cut, as the list cuts it.
    wxArrayInt widths;
    size_t n = 0;
    if (dc.GetPartialTextExtents(shown, widths)) {
      while (n < widths.size() && widths[n] <= width) ++n;
    }
    shown.Truncate(n);
    dc.GetTextExtent(shown, &tw, &th);
  }
  int x = left * kSub;
  if (align == wxALIGN_RIGHT) x = right * kSub - tw;
  else if (align == wxALIGN_CENTER_HORIZONTAL) x = left * kSub + (width - tw) / 2;
  const int y = top * kSub + ((bottom - top) * kSub - th) / 2;
  dc.DrawText(shown, x, y);
}

void CListPrintout::PrintPageTitle(wxDC& dc) {
  const CPrintLayout& l = m_layout;
  const int right = l.listWidth - 8 * l.charWidth;
  const int bottom = 2 * l.charHeight;
  dc.SetFont(m_boldFont);
  DrawCellText(dc, "Trailvane", 0, 0, right, bottom, wxALIGN_RIGHT);
  DrawCellText(dc, tv::BytesToWx(ColumnTerm(m_list.reportKind)), 0, 0, right, bottom, wxALIGN_CENTER_HORIZONTAL);
  dc.SetFont(m_font);
  dc.DrawLine(0, bottom * kSub, right * kSub, bottom * kSub);
}

void CListPrintout::PrintHeaderCell(wxDC& dc, const wxRect& cell, const wxString& title) {
  // A sunken inner edge: shadow at the top and left, light at the bottom and right.
  const wxPen old = dc.GetPen();
  const int x0 = cell.GetLeft() * kSub, y0 = cell.GetTop() * kSub;
  const int x1 = (cell.GetRight() + 1) * kSub, y1 = (cell.GetBottom() + 1) * kSub;
  dc.SetPen(wxPen(wxColour(128, 128, 128), kSub));
  dc.DrawLine(x0, y0, x1, y0);
  dc.DrawLine(x0, y0, x0, y1);
  dc.SetPen(wxPen(wxColour(224, 224, 224), kSub));
  dc.DrawLine(x0, y1, x1, y1);
  dc.DrawLine(x1, y0, x1, y1);
  dc.SetPen(old);
  wxRect inner = cell;
  inner.Deflate(1 + 4, 1);
  dc.SetFont(m_boldFont);
  DrawCellText(dc, title, inner.GetLeft(), inner.GetTop(), inner.GetRight() + 1, inner.GetBottom() + 1,
               wxALIGN_CENTER_HORIZONTAL);
  dc.SetFont(m_font);
}

void CListPrintout::PrintHeaderRow(wxDC& dc) {
  const CPrintLayout& l = m_layout;
  const int top = 3 * l.charHeight, bottom = top + l.charHeight;
  int x = 0;
  for (int c = 0, n = m_list.GetColumnCount(); c < n; ++c) {
    const int width = m_list.GetColumnWidth(c);
    wxListItem info;
    info.SetMask(wxLIST_MASK_TEXT);
    m_list.GetColumn(c, info);
    PrintHeaderCell(dc, wxRect(x, top, width, l.charHeight), info.GetText());
    dc.DrawLine(x * kSub, top * kSub, x * kSub, bottom * kSub);
    x += width;
  }
  dc.DrawLine(x * kSub, top * kSub, x * kSub, bottom * kSub);
  dc.DrawLine(0, top * kSub, x * kSub, top * kSub);
  dc.DrawLine(0, bottom * kSub, x * kSub, bottom * kSub);
}

void CListPrintout::PrintRows(wxDC& dc, int page) {
  const CPrintLayout& l = m_layout;
  int64_t first = 0, end = 0;
  if (!PageItems(l, page, &first, &end) || end <= first) return;
  const int n = m_list.GetColumnCount();
  std::vector<int> lefts(static_cast<size_t>(n) + 1, 0);
  for (int c = 0; c < n; ++c) lefts[c + 1] = lefts[c] + m_list.GetColumnWidth(c);
  const int top = 4 * l.charHeight;
  for (int64_t item = first; item < end; ++item) {
    const int y = top + static_cast<int>(item - first) * l.charHeight;
    for (int c = 0; c < n; ++c) {
      // Text columns sort ascending first and read from the left.
      const bool left = c >= m_list.columnCount || m_list.columns[c].defaultAscending != 0;
      DrawCellText(dc, m_list.GetItemText(static_cast<long>(item), c), lefts[c] + 2, y, lefts[c + 1] - 2,
                   y + l.charHeight, left ? wxALIGN_LEFT : wxALIGN_RIGHT);
    }
    dc.DrawLine(0, (y + l.charHeight) * kSub, lefts[n] * kSub, (y + l.charHeight) * kSub);
  }
  const int bottom = top + static_cast<int>(end - first) * l.charHeight;
  for (int c = 0; c <= n; ++c) dc.DrawLine(lefts[c] * kSub, top * kSub, lefts[c] * kSub, bottom * kSub);
}

void CListPrintout::PrintPageFooter(wxDC& dc, int page) {
  const CPrintLayout& l = m_layout;
  const int right = l.listWidth - 8 * l.charWidth;
  const int top = l.logicalPageHeight - 2 * l.charHeight;
  dc.DrawLine(0, top * kSub, right * kSub, top * kSub);
  const int textTop = top + l.charHeight / 2;
  dc.SetFont(m_boldFont);
  DrawCellText(dc, wxString::Format("Page %d of %d", page, l.pageCount), 0, textTop, right, textTop + l.charHeight,
               wxALIGN_LEFT);
  DrawCellText(dc, wxDateTime::Now().Format("%c"), 0, textTop, right, textTop + l.charHeight, wxALIGN_RIGHT);
  dc.SetFont(m_font);
}

bool Print(const CSortListCtrl* list, wxWindow* parent) {
  if (!list) return false;
  if (list->GetItemCount() <= 0) {
    wxMessageBox("The report is empty: there is nothing to print.", "Trailvane", wxOK | wxICON_INFORMATION, parent);
    return false;
  }
  wxPrintDialogData data(ProgramPrintData());
  data.EnablePageNumbers(true);
  data.SetMinPage(1);
  data.SetMaxPage(9999);
  data.SetFromPage(1);
  data.SetToPage(9999);
  wxPrinter printer(&data);
  CListPrintout printout(*list);
  if (!printer.Print(parent, &printout, true)) return false;
  // The printer and paper chosen stay for the next print.
  ProgramPrintData() = printer.GetPrintDialogData().GetPrintData();
  return true;
}

wxPrintData& ProgramPrintData() {
  static wxPrintData data;
  return data;
}
