// Printing a report list as a framed table: a title block, the header row,
// the rows as the list shows them and a footer with the page number and the
// date, scaled so that the list's full width fills the printable width.
#pragma once
#include <wx/font.h>
#include <wx/print.h>

#include "ui/core/printlayout.h"

class CSortListCtrl;

// The sum of the widths of the list's columns (screen pixels), 0 without columns.
int TotalColumnWidth(const CSortListCtrl& list);

// The print font: a serif face this machine has, else the roman family.
wxFont PrintFont(double pointSize, bool bold);

class CListPrintout : public wxPrintout {
 public:
  explicit CListPrintout(const CSortListCtrl& list);

  void OnPreparePrinting() override;
  bool OnBeginDocument(int startPage, int endPage) override;
  void GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) override;
  bool HasPage(int page) override;
  bool OnPrintPage(int page) override;

  // The font and the layout for dc (the printer's, or any other device the
  // same page is drawn on); nothing is prepared for an empty list.
  void PreparePrintFonts(wxDC& dc);
  // One page onto dc, with the layout PreparePrintFonts made for it.
  void PrintPage(wxDC& dc, int page);

  const CPrintLayout& Layout() const { return m_layout; }

 private:
  void PrintPageTitle(wxDC& dc);
  void PrintHeaderRow(wxDC& dc);
  void PrintHeaderCell(wxDC& dc, const wxRect& cell, const wxString& title);
  void PrintRows(wxDC& dc, int page);
  void PrintPageFooter(wxDC& dc, int page);
  // A text in a rectangle, single line, vertically centred (list units).
  void DrawCellText(wxDC& dc, const wxString& text, int left, int top, int right, int bottom, int align);

  const CSortListCtrl& m_list;
  CPrintLayout m_layout;
  wxFont m_font, m_boldFont;
  int m_firstPage = 1, m_lastPage = 0;
};

// The whole job for a report list: the print dialog (pages 1 to 9999), then
// the pages. An empty list prints nothing and says so. False when nothing was
// printed (cancelled, empty or failed).
bool Print(const CSortListCtrl* list, wxWindow* parent);

// The printer and paper of this run, shared by Print Setup and Print.
wxPrintData& ProgramPrintData();
