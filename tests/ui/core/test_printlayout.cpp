// The page arithmetic of list printing.
#include <gtest/gtest.h>

#include "ui/core/printlayout.h"

namespace {

TEST(PrintLayout, ScaleRowsAndPages) {
  // 5-unit characters, 10 high, a 600-unit list on a 1000 x 1500 page:
  // list width 640, page height 960 units, row area 899, 89 rows a page.
  CPrintLayout l = ComputePrintLayout(5, 10, 1000, 1500, 600, 1000);
  EXPECT_EQ(l.listWidth, 640);
  EXPECT_EQ(l.logicalPageHeight, 960);
  EXPECT_EQ(l.rowArea, 899);
  EXPECT_EQ(l.rowsPerPage, 89);
  // The last row of a full page ends above the footer's line.
  EXPECT_LT(4 * l.charHeight + l.rowsPerPage * l.charHeight, l.logicalPageHeight - 2 * l.charHeight);
  struct Case {
    int64_t items;
    int pages;
  } cases[] = {{0, 0}, {1, 1}, {88, 1}, {89, 1}, {90, 2}, {178, 2}, {179, 3}, {1000, 12}};
  for (const Case& c : cases)
    EXPECT_EQ(ComputePrintLayout(5, 10, 1000, 1500, 600, c.items).pageCount, c.pages) << c.items;

  // Every item is on exactly one page, in order.
  int64_t next = 0;
  for (int page = 1; page <= l.pageCount; ++page) {
    int64_t first = 0, end = 0;
    ASSERT_TRUE(PageItems(l, page, &first, &end));
    EXPECT_EQ(first, next);
    EXPECT_EQ(PageOfItem(l, first), page);
    EXPECT_EQ(PageOfItem(l, end - 1), page);
    next = end;
  }
  EXPECT_EQ(next, 1000);
  int64_t first, end;
  EXPECT_FALSE(PageItems(l, 13, &first, &end));
  EXPECT_FALSE(PageItems(l, 0, &first, &end));
  EXPECT_EQ(PageOfItem(l, 1000), 0);
}

TEST(PrintLayout, WideListsScaleDownAndTinyPagesStillPrintEveryRow) {
  // Twice the columns: twice the units on the same page, twice the rows.
  CPrintLayout narrow = ComputePrintLayout(5, 10, 1000, 1500, 600, 1000);
  CPrintLayout wide = ComputePrintLayout(5, 10, 1000, 1500, 1240, 1000);
  EXPECT_EQ(wide.listWidth, 2 * narrow.listWidth);
  EXPECT_GT(wide.rowsPerPage, 2 * narrow.rowsPerPage - 2);
  // No room for a row below the header: one a page, never none.
  CPrintLayout tiny = ComputePrintLayout(5, 10, 1000, 50, 600, 7);
  EXPECT_EQ(tiny.rowsPerPage, 1);
  EXPECT_EQ(tiny.pageCount, 7);
  // No columns, no page size.
  EXPECT_EQ(ComputePrintLayout(5, 10, 1000, 1500, 0, 3).listWidth, 40);
  EXPECT_EQ(ComputePrintLayout(5, 10, 0, 1500, 600, 3).pageCount, 0);
}

TEST(PrintLayout, PageRangeOfTheDialog) {
  CPrintLayout three = ComputePrintLayout(5, 10, 1000, 1500, 600, 200);
  ASSERT_EQ(three.pageCount, 3);
  struct Case {
    bool pagesChosen;
    int from, to;
    bool prints;
    int first, last;
  } cases[] = {{false, 0, 0, true, 1, 3},   {true, 1, 9999, true, 1, 3}, {true, 2, 2, true, 2, 2},
               {true, 2, 9, true, 2, 3},    {true, 5, 9, false, 0, 0},   {true, 3, 3, true, 3, 3},
               {true, 3, 1, false, 0, 0}};
  for (const Case& c : cases) {
    int first = 0, last = 0;
    EXPECT_EQ(PrintPageRange(three, c.pagesChosen, c.from, c.to, &first, &last), c.prints) << c.from << "-" << c.to;
    if (c.prints) {
      EXPECT_EQ(first, c.first);
      EXPECT_EQ(last, c.last);
    }
  }
  int first, last;
  EXPECT_FALSE(PrintPageRange(ComputePrintLayout(5, 10, 1000, 1500, 600, 0), false, 1, 1, &first, &last));
}

}  // namespace
