#include "ui/core/printlayout.h"

#include <algorithm>

CPrintLayout ComputePrintLayout(int charWidth, int charHeight, int pageWidth, int pageHeight, int totalColumnWidth,
                                int64_t itemCount) {
  CPrintLayout l;
  l.charWidth = std::max(charWidth, 1);
  l.charHeight = std::max(charHeight, 1);
  l.pageWidth = pageWidth;
  l.pageHeight = pageHeight;
  l.itemCount = std::max<int64_t>(itemCount, 0);
  l.listWidth = std::max(totalColumnWidth, 0) + 8 * l.charWidth;
  if (pageWidth <= 0 || pageHeight <= 0 || l.itemCount == 0) return l;
  const int64_t scaled = static_cast<int64_t>(l.listWidth) * pageHeight;
  l.logicalPageHeight = static_cast<int>((scaled + pageWidth / 2) / pageWidth);
  l.rowArea = l.logicalPageHeight - 6 * l.charHeight - 1;
  // Counting from one line down, an item whose line passes the row area is
  // still the page's last: it ends just above the footer. A page too small
  // for any row still takes one, so that every item is printed.
  l.rowsPerPage = std::max(l.rowArea / l.charHeight, 1);
  // The last, partly filled page counts too.
  const int64_t pages = (l.itemCount + l.rowsPerPage - 1) / l.rowsPerPage;
  l.pageCount = static_cast<int>(std::min<int64_t>(pages, INT32_MAX));
  return l;
}

bool PageItems(const CPrintLayout& layout, int page, int64_t* first, int64_t* end) {
  if (page < 1 || page > layout.pageCount) return false;
  *first = static_cast<int64_t>(page - 1) * layout.rowsPerPage;
  *end = std::min(*first + layout.rowsPerPage, layout.itemCount);
  return true;
}

int PageOfItem(const CPrintLayout& layout, int64_t item) {
  if (item < 0 || item >= layout.itemCount || layout.rowsPerPage <= 0) return 0;
  return static_cast<int>(item / layout.rowsPerPage) + 1;
}

bool PrintPageRange(const CPrintLayout& layout, bool pagesChosen, int from, int to, int* first, int* last) {
  if (layout.pageCount <= 0) return false;
  if (!pagesChosen) {
    *first = 1;
    *last = layout.pageCount;
    return true;
  }
  if (from < 1) from = 1;
  if (from > layout.pageCount || to < from) return false;
  *first = from;
  *last = std::min(to, layout.pageCount);
  return true;
}
