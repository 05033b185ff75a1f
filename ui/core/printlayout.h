// The page arithmetic of printing a report list, without a device: the
// table is laid out in list units (screen pixels of the columns) and scaled
// so that its width fills the printable width.
#pragma once
#include <cstdint>

struct CPrintLayout {
  int charWidth = 0;   // of the print font, list units
  int charHeight = 0;
  int pageWidth = 0;   // printable area, device pixels
  int pageHeight = 0;
  int listWidth = 0;   // the columns plus 4 characters each side
  int logicalPageHeight = 0;  // the page height in list units
  int rowArea = 0;     // the height of a page's rows, counted from one line down
  int rowsPerPage = 0;
  int pageCount = 0;   // 0: nothing to print
  int64_t itemCount = 0;
};

// The layout for a list of itemCount items whose columns are
// totalColumnWidth wide. No pages for an empty list or an unusable page.
CPrintLayout ComputePrintLayout(int charWidth, int charHeight, int pageWidth, int pageHeight, int totalColumnWidth,
                                int64_t itemCount);

// The items of a page (1-based): [*first, *end). False for a page the
// layout does not have.
bool PageItems(const CPrintLayout& layout, int page, int64_t* first, int64_t* end);
// The page (1-based) an item prints on; 0 for no such item.
int PageOfItem(const CPrintLayout& layout, int64_t item);

// The pages to print: with pagesChosen from..min(to, page count); else all.
// False when nothing is to be printed (no pages, or from past the last page).
bool PrintPageRange(const CPrintLayout& layout, bool pagesChosen, int from, int to, int* first, int* last);
