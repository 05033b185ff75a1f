// The report list on a real page report: order on header clicks, the
// selection through a re-sort, the visited tint, stored widths and order.
#include <gtest/gtest.h>
#include <wx/wx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/config/settings.h"
#include "engine/query/query.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/testwindow.h"
#include "tests/ui/wxtest.h"
#include "ui/core/columnstate.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"
#include "ui/panes/reportlist.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

namespace {

// Page report columns: page, hits, visitors, bandwidth, type.
constexpr int kPageColumn = 0, kHitsColumn = 1, kBandwidthColumn = 3;

void ClickHeader(CSortListCtrl* list, int column) {
  wxListEvent event(wxEVT_LIST_COL_CLICK, list->GetId());
  event.SetEventObject(list);
  event.m_col = column;
  list->GetEventHandler()->ProcessEvent(event);
}

std::string StripPath() { return std::string(TV_UI_TEST_DATA_DIR) + "/../../../res/report_images.png"; }

std::string Text(wxListCtrl* list, long item, int column = 0) {
  return tv::WxToBytes(list->GetItemText(item, column));
}

class ReportListWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ClearListColumnInfo();
    // The strip is read from the program folder, which the test home stands in for.
    tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(StripPath()));
    window = new TestReportWindow;
    window->Show();
    window->Load(std::string(TV_UI_TEST_DATA_DIR) + "/combined.log");
    ASSERT_TRUE(wxtest::PumpUntil([] { return window->Loaded(); }, 30000));
    wxtest::Pump(100);
  }
  static void TearDownTestSuite() {
    window->Destroy();
    window = nullptr;
    wxtest::Pump(50);
    g_project.Reset();
    ClearListColumnInfo();
    ReportListNavigation() = ReportListHooks();
  }
  void SetUp() override { ASSERT_NE(window, nullptr); }
  // The list back as loaded: sorted by hits, descending, item 0 selected.
  void TearDown() override {
    ReportListNavigation() = ReportListHooks();
    ClearListColumnInfo();
    g_lastQueryRan = true;
    ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  }

  static CSortListCtrl* list() { return window->reportList; }
  // Whether the rows are in the order of key, given the direction.
  template <typename Key>
  static bool Ordered(bool ascending, Key key) {
    for (uint32_t i = 1; i < list()->rows.Count(); ++i) {
      auto a = key(list()->rows[i - 1]), b = key(list()->rows[i]);
      if (ascending ? b < a : a < b) return false;
    }
    return true;
  }
  static long ItemOfRow(const CRow* row) {
    for (uint32_t i = 0; i < list()->rows.Count(); ++i)
      if (list()->rows[i] == row) return static_cast<long>(i + list()->leadingRows);
    return -1;
  }

  static TestReportWindow* window;
};
TestReportWindow* ReportListWindow::window = nullptr;

TEST_F(ReportListWindow, ShowsThePageReportWithItsTotalsRowSortedByHits) {
  const int32_t rows = window->table.RowCount();
  ASSERT_GE(rows, 2);
  EXPECT_EQ(list()->GetItemCount(), rows + 1);
  EXPECT_EQ(list()->leadingRows, 1u);
  EXPECT_EQ(Text(list(), 0), "Total [" + std::to_string(rows) + "]");
  EXPECT_EQ(Text(list(), 0, kHitsColumn), std::to_string(window->table.totals.hits));
  EXPECT_EQ(list()->GetColumnCount(), 5);

  // Hits descending, with the arrow on that column; item 0 selected.
  EXPECT_EQ(list()->sortColumn, kHitsColumn);
  EXPECT_EQ(list()->GetSortIndicator(), kHitsColumn);
  EXPECT_FALSE(list()->IsAscendingSortIndicator());
  EXPECT_TRUE(Ordered(false, [](const CRow* r) { return r->Hits(); }));
  EXPECT_EQ(Text(list(), 1), "/");  // the index page
  EXPECT_EQ(Text(list(), 1, kHitsColumn).rfind("9 ", 0), 0u);
  EXPECT_EQ(list()->SelectionMark(), 0);
  EXPECT_EQ(CurrentReportList, list());

  // Three groups and "All Others"; the unchecked ones show the empty box.
  wxListCtrl* side = window->groupsList;
  ASSERT_EQ(side->GetItemCount(), 4);
  std::vector<std::string> texts;
  std::vector<int> images;
  for (long i = 0; i < 4; ++i) {
    wxListItem item;
    item.SetId(i);
    item.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_IMAGE);
    side->GetItem(item);
    texts.push_back(tv::WxToBytes(item.GetText()));
    images.push_back(item.GetImage());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"Pages", "Images", "Downloads", "All Others"}));
  EXPECT_EQ(images, (std::vector<int>{27, 28, 27, 28}));

  // The summary: 15 fixed lines, unsorted.
  EXPECT_EQ(window->summaryList->GetItemCount(), 15);
  EXPECT_EQ(Text(window->summaryList, 2), "Hits");
  EXPECT_EQ(Text(window->summaryList, 2, 1), std::to_string(g_summaryStats.hits));
  EXPECT_GT(g_summaryStats.hits, 0u);
  EXPECT_EQ(window->summaryList->GetSortIndicator(), -1);
}

TEST_F(ReportListWindow, HeaderClicksSortByTheColumnsOwnDirectionThenTurnIt) {
  ClickHeader(list(), kBandwidthColumn);  // numbers: descending first
  EXPECT_EQ(list()->sortColumn, kBandwidthColumn);
  EXPECT_EQ(list()->sortAscending, 0u);
  EXPECT_EQ(list()->GetSortIndicator(), kBandwidthColumn);
  EXPECT_FALSE(list()->IsAscendingSortIndicator());
  EXPECT_TRUE(Ordered(false, [](const CRow* r) { return r->BytesSent(); }));
  EXPECT_EQ(Text(list(), 1), "/downloads/manual.pdf");

  ClickHeader(list(), kBandwidthColumn);
  EXPECT_EQ(list()->sortAscending, 1u);
  EXPECT_TRUE(list()->IsAscendingSortIndicator());
  EXPECT_TRUE(Ordered(true, [](const CRow* r) { return r->BytesSent(); }));

  ClickHeader(list(), kPageColumn);  // text: ascending first
  EXPECT_EQ(list()->sortColumn, kPageColumn);
  EXPECT_EQ(list()->sortAscending, 1u);
  EXPECT_TRUE(Ordered(true, [](const CRow* r) { return std::string(r->Record()->PageText()); }));
  EXPECT_EQ(Text(list(), 0).rfind("Total [", 0), 0u);  // the totals row stays on top

  // The summary list is never sorted.
  CSortListCtrl* summary = window->summaryList;
  std::vector<std::string> before;
  for (long i = 0; i < summary->GetItemCount(); ++i) before.push_back(Text(summary, i));
  ClickHeader(summary, 1);
  ClickHeader(summary, 0);
  std::vector<std::string> after;
  for (long i = 0; i < summary->GetItemCount(); ++i) after.push_back(Text(summary, i));
  EXPECT_EQ(after, before);
  EXPECT_EQ(summary->sortColumn, -1);
  EXPECT_EQ(summary->GetSortIndicator(), -1);
}

TEST_F(ReportListWindow, TheSelectedRowStaysSelectedAndInViewAfterAResort) {
  // Few lines in view, the second-to-last row selected: bandwidth puts it on top.
  window->SetSize(1000, 115);
  wxtest::Pump(100);
  ASSERT_LT(list()->GetCountPerPage(), list()->GetItemCount() - 2);
  const long last = list()->GetItemCount() - 2;
  CRow* chosen = list()->RowOfItem(last);
  ASSERT_NE(chosen, nullptr);
  list()->SelectOnly(last);
  wxtest::Pump(50);
  ASSERT_FALSE(list()->IsVisible(1));

  ClickHeader(list(), kBandwidthColumn);
  wxtest::Pump(100);
  long now = ItemOfRow(chosen);
  EXPECT_NE(now, last);
  EXPECT_EQ(list()->SelectionMark(), now);
  EXPECT_EQ(list()->GetSelectedItemCount(), 1);
  EXPECT_TRUE(list()->IsVisible(now));

  // Through a second re-sort as well.
  ClickHeader(list(), kPageColumn);
  wxtest::Pump(50);
  EXPECT_EQ(list()->SelectionMark(), ItemOfRow(chosen));
  EXPECT_TRUE(list()->IsVisible(ItemOfRow(chosen)));

  // The totals row selected: nothing to follow, the selection stays on item 0.
  list()->SelectOnly(0);
  ClickHeader(list(), kHitsColumn);
  EXPECT_EQ(list()->SelectionMark(), 0);

  window->SetSize(1000, 560);
  wxtest::Pump(100);
}

TEST_F(ReportListWindow, VisitedRowsAreTintedButNotTheTotalsRowNorWhileResultsAreRebuilt) {
  const wxColour tint(210, 225, 255);
  list()->SelectOnly(2);
  list()->MarkSelectedRow();
  CRow* visited = list()->RowOfItem(2);
  EXPECT_TRUE(visited->Flags() & kRowVisited);
  EXPECT_EQ(list()->GetItemBackgroundColour(2), tint);
  EXPECT_EQ(list()->GetItemTextColour(2), *wxBLACK);
  EXPECT_NE(list()->GetItemBackgroundColour(3), tint);

  // The totals row is never marked.
  list()->SelectOnly(0);
  list()->MarkSelectedRow();
  EXPECT_NE(list()->GetItemBackgroundColour(0), tint);

  g_runPending = true;
  list()->RefreshItemCount();
  EXPECT_NE(list()->GetItemBackgroundColour(2), tint);
  EXPECT_EQ(Text(list(), 2), "");
  // Nor is the table read for a header click then.
  ClickHeader(list(), kBandwidthColumn);
  EXPECT_EQ(list()->sortColumn, kHitsColumn);
  EXPECT_EQ(list()->RowOfItem(2), visited);
  g_runPending = false;
  list()->RefreshItemCount();
  EXPECT_EQ(list()->GetItemBackgroundColour(2), tint);

  // Visible in the picture: a tinted row and another one selected.
  list()->SelectOnly(4);
  window->Raise();
  wxtest::Pump(200);
  EXPECT_TRUE(wxtest::SaveScreenshot("reportlist"));
  visited->SetFlags(static_cast<uint8_t>(visited->Flags() & ~kRowVisited));
}

TEST_F(ReportListWindow, ColumnStateIsStoredAndReadBack) {
  const int pageWidth = list()->DefaultColumnWidth(kReportPage);
  int value = 0;
  // A dragged width is kept; dragged back to the default it replaces the old one.
  list()->SetColumnWidth(kPageColumn, pageWidth + 60);
  list()->SaveColumnState();
  ASSERT_TRUE(GetListColumnInfo("Cz", kReportPage, kReportPage, &value));
  EXPECT_EQ(value, pageWidth + 60);
  list()->SetColumnWidth(kPageColumn, pageWidth);
  list()->SaveColumnState();
  ASSERT_TRUE(GetListColumnInfo("Cz", kReportPage, kReportPage, &value));
  EXPECT_EQ(value, pageWidth);
  EXPECT_FALSE(GetListColumnInfo("Cz", kReportPage, kColHits, &value));  // never moved

  // Sort state: -c for column c descending, 500 for column 0 descending.
  ClickHeader(list(), kBandwidthColumn);
  list()->SaveColumnState();
  ASSERT_TRUE(GetListColumnInfo("Or", kReportPage, 0, &value));
  EXPECT_EQ(value, -kBandwidthColumn);
  ClickHeader(list(), kPageColumn);
  ClickHeader(list(), kPageColumn);
  list()->SelectOnly(3);
  std::string selected = list()->SaveColumnState();
  EXPECT_EQ(selected, Text(list(), 3));
  ASSERT_TRUE(GetListColumnInfo("Or", kReportPage, 0, &value));
  EXPECT_EQ(value, 500);

  // A fresh fill takes the stored width and order.
  list()->SetColumnWidth(kPageColumn, 77);
  SetListColumnInfo("Cz", kReportPage, kReportPage, 250);
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  EXPECT_EQ(list()->GetColumnWidth(kPageColumn), 250);
  EXPECT_EQ(list()->sortColumn, kPageColumn);
  EXPECT_EQ(list()->sortAscending, 0u);
  EXPECT_TRUE(Ordered(false, [](const CRow* r) { return std::string(r->Record()->PageText()); }));

  // A stored column the report does not have leaves the rows as they are.
  SetListColumnInfo("Or", kReportPage, 0, -40);
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  EXPECT_EQ(list()->GetItemCount(), window->table.RowCount() + 1);
  EXPECT_EQ(list()->sortColumn, -1);

  // The hit list is shown in row order; never sorted, it stores no order even
  // though the list was sorted for the page report before.
  ClearListColumnInfo();
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  ASSERT_EQ(list()->sortColumn, kHitsColumn);
  CRowTable items;
  RunQuery(g_project, kReportItems, items, g_uiQuery);
  ShowReportInList(kReportItems, list(), &items, nullptr, false);
  EXPECT_EQ(list()->leadingRows, 0u);
  EXPECT_EQ(list()->GetItemCount(), items.RowCount());
  EXPECT_EQ(list()->GetSortIndicator(), -1);
  list()->SaveColumnState();
  EXPECT_FALSE(GetListColumnInfo("Or", kReportItems, 0, &value));
  // Its first header click is the column's own direction (host: ascending).
  ClickHeader(list(), 0);
  EXPECT_EQ(list()->sortAscending, 1u);
  list()->SaveColumnState();
  EXPECT_TRUE(GetListColumnInfo("Or", kReportItems, 0, &value));
  EXPECT_EQ(value, 0);
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
}

// Every cell text of the items shown fits its column with the cell's margins.
void ExpectCellsFit(CSortListCtrl* list, const std::vector<int>& columns) {
  const long shown = std::min<long>(list->GetItemCount(), 40);
  for (int c : columns) {
    const int width = list->GetColumnWidth(c);
    for (long item = 0; item < shown; ++item) {
      wxString text = list->GetItemText(item, c);
      EXPECT_LE(list->GetTextExtent(text).GetWidth() + 8, width)
          << "column " << c << ", item " << item << ": \"" << text << "\" is cut";
    }
  }
}

// The default widths hold the values they are made for in the list's own
// font: counts with their percentages, sizes, the response text; a width
// the user stored still wins.
TEST_F(ReportListWindow, DefaultWidthsShowTheValuesTheyAreMadeFor) {
  ClearListColumnInfo();
  ASSERT_EQ(g_settings.add_proc_h, 1);
  ASSERT_EQ(g_settings.add_proc_b, 1);
  ASSERT_EQ(g_settings.add_proc_u, 1);
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  // The rows show their percentages (the totals row none).
  EXPECT_NE(Text(list(), 1, kHitsColumn).find("%)"), std::string::npos);
  for (int c = 0; c < list()->GetColumnCount(); ++c) {
    const char* sample = DefaultColumnSample(list()->columns[c].type);
    if (!sample) continue;
    EXPECT_GE(list()->GetColumnWidth(c), list()->GetTextExtent(sample).GetWidth() + 8) << sample;
  }
  ExpectCellsFit(list(), {kHitsColumn, 2, kBandwidthColumn});
  EXPECT_EQ(std::string(DefaultColumnSample(kColHits)), "12345 (100.00%)");
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("reportlist_widths"));

  // The hit list's Response Code column.
  CRowTable items;
  RunQuery(g_project, kReportItems, items, g_uiQuery);
  ShowReportInList(kReportItems, list(), &items, nullptr, false);
  int response = -1;
  for (int c = 0; c < list()->GetColumnCount(); ++c)
    if (list()->columns[c].type == kColStatus) response = c;
  ASSERT_GE(response, 0);
  // The column is made for the common answer; longer ones may be cut.
  int ok = 0;
  for (long item = 0; item < list()->GetItemCount(); ++item) {
    if (Text(list(), item, response) != "200 - OK") continue;
    ++ok;
    EXPECT_LE(list()->GetTextExtent("200 - OK").GetWidth() + 8, list()->GetColumnWidth(response));
  }
  EXPECT_GT(ok, 0) << "no \"200 - OK\" row in the fixture";
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("reportlist_response"));

  // Without percentages the count columns are narrower, still whole.
  g_settings.add_proc_h = 0;
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  const int narrow = list()->GetColumnWidth(kHitsColumn);
  ExpectCellsFit(list(), {kHitsColumn});
  g_settings.add_proc_h = 1;
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  EXPECT_GT(list()->GetColumnWidth(kHitsColumn), narrow);

  // The user's stored width wins, even where it cuts the text.
  SetListColumnInfo("Cz", kReportPage, kColHits, 33);
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  EXPECT_EQ(list()->GetColumnWidth(kHitsColumn), 33);
}

TEST_F(ReportListWindow, LargeTablesKeepTheirSelectionAndOrderThroughRefreshes) {
  // More rows than 16 bits count, all of the same page, told apart by hits.
  constexpr uint32_t kRows = 70000;
  CRowTable big;
  CHitRecord* key = window->table.GetRow(0)->Record();
  for (uint32_t i = 0; i < kRows; ++i) {
    CRow* row = big.AddRow(key);
    ASSERT_NE(row, nullptr);
    row->SetHits(kRows - i);  // table order is descending
    big.totals.hits += kRows - i;
  }
  ShowReportInList(kReportPage, list(), &big, nullptr, false);
  ASSERT_EQ(list()->GetItemCount(), static_cast<long>(kRows) + 1);
  CRow* most = list()->RowOfItem(1);
  EXPECT_EQ(most->Hits(), kRows);
  list()->SelectOnly(1);
  ClickHeader(list(), kHitsColumn);  // ascending: the row goes last
  EXPECT_EQ(list()->SelectionMark(), static_cast<long>(kRows));
  EXPECT_EQ(list()->RowOfItem(kRows), most);

  // A refresh takes the rows afresh and keeps them in the order on show.
  ShowReportInList(kReportPage, list(), &big, nullptr, true);
  EXPECT_EQ(list()->RowOfItem(kRows), most);
  EXPECT_TRUE(Ordered(true, [](const CRow* r) { return r->Hits(); }));
  EXPECT_TRUE(list()->IsAscendingSortIndicator());
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
}

TEST_F(ReportListWindow, TheRowSelectedAtLastCloseIsSelectedOnce) {
  ASSERT_TRUE(tv::RegWriteString("ActiveListItem", "/contact.html"));
  ForgetActiveListItem();
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  long mark = list()->SelectionMark();
  EXPECT_EQ(Text(list(), mark), "/contact.html");
  EXPECT_EQ(list()->GetSelectedItemCount(), 1);
  // Found once: the next fill starts at item 0.
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  EXPECT_EQ(list()->SelectionMark(), 0);
  EXPECT_EQ(list()->GetSelectedItemCount(), 1);
  // No such row: item 0.
  ASSERT_TRUE(tv::RegWriteString("ActiveListItem", "/gone.html"));
  ForgetActiveListItem();
  ShowReportInList(kReportPage, list(), &window->table, window->groupsList, false);
  EXPECT_EQ(list()->SelectionMark(), 0);
}

TEST_F(ReportListWindow, ClicksHandTheRowToNavigation) {
  struct Call {
    CRow* row;
    long item;
    size_t selected;
  };
  std::vector<Call> keys;
  int menus = 0;
  std::vector<long> summaryRows;
  ReportListHooks& hooks = ReportListNavigation();
  hooks.setSubreportKey = [&](CRow* row, long item, bool, const std::vector<CRow*>& selected) {
    keys.push_back({row, item, selected.size()});
  };
  hooks.showReportContextMenu = [&](const wxPoint&, bool) { ++menus; };
  hooks.openSummaryRowReport = [&](long item) { summaryRows.push_back(item); };

  auto mouse = [](CSortListCtrl* target, wxEventType type, long item) {
    wxRect rect;
    ASSERT_TRUE(target->GetItemRect(item, rect));
    // The control passes on the mouse events of its body, below the header.
    wxWindow* body = nullptr;
    for (wxWindow* child : target->GetChildren())
      if (!body || child->GetSize().y > body->GetSize().y) body = child;
    wxMouseEvent event(type);
    event.SetPosition(wxPoint(rect.x + 20, rect.y + rect.height / 2) - body->GetPosition());
    event.SetEventObject(target);
    target->GetEventHandler()->ProcessEvent(event);
  };

  // Double-click on a row: its key, then the context menu.
  list()->SelectOnly(2);
  keys.clear();
  mouse(list(), wxEVT_LEFT_DCLICK, 2);
  wxtest::Pump(50);
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.back().row, list()->RowOfItem(2));
  EXPECT_EQ(keys.back().item, 2);
  EXPECT_EQ(menus, 1);
  EXPECT_TRUE(summaryRows.empty());

  // A click on the totals row hands on no row.
  mouse(list(), wxEVT_LEFT_UP, 0);
  EXPECT_EQ(keys.back().row, nullptr);
  EXPECT_EQ(keys.back().item, 0);

  // Double-click on a summary line opens its report; no key, no menu.
  CSortListCtrl* summary = window->summaryList;
  summary->SelectOnly(5);
  keys.clear();
  mouse(summary, wxEVT_LEFT_DCLICK, 5);
  wxtest::Pump(50);
  EXPECT_EQ(summaryRows, (std::vector<long>{5}));
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(CurrentReportList, summary);  // it was the last one chosen
}

TEST(ReportImageStrip, HasItsImagesAndBlankOnesWithoutTheFile) {
  wxImageList images;
  EXPECT_TRUE(LoadReportImages(StripPath(), &images));
  EXPECT_EQ(images.GetImageCount(), kReportImageCount);
  wxImage sum = images.GetBitmap(1).ConvertToImage();
  bool drawn = false;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) drawn = drawn || !sum.IsTransparent(x, y);
  EXPECT_TRUE(drawn);

  EXPECT_FALSE(LoadReportImages(tvtest::Home() + "no_such_strip.png", &images));
  EXPECT_EQ(images.GetImageCount(), kReportImageCount);
  std::string bad = tvtest::Home() + "bad_strip.png";
  tvtest::WriteFile(bad, "\x89PNG\r\n\x1a\n not really");
  EXPECT_FALSE(LoadReportImages(bad, &images));
  EXPECT_EQ(images.GetImageCount(), kReportImageCount);
  wxImage blank = images.GetBitmap(1).ConvertToImage();
  EXPECT_TRUE(blank.IsTransparent(8, 8));
}

}  // namespace
