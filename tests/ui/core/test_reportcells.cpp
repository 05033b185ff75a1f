// Report list columns, cell texts, images and row order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/query/recordtree.h"
#include "engine/store/reportkind.h"
#include "tests/engine/queryfixture.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

namespace {

using hitmaker::Hit;

class ReportCells : public queryfixture::QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    g_runPending = false;
    g_uiQuery = CQueryParams{};
    g_summaryStats = CSummaryStats{};
    g_workspace.columns.Clear();
    g_settings.add_proc_h = g_settings.add_proc_b = g_settings.add_proc_u = g_settings.add_proc_p = 0;
  }
  void TearDown() override {
    g_workspace.columns.Clear();
    g_project.send_receive = 0;
    QueryFixture::TearDown();
  }

  // A row of table for a new hit, with its counters.
  CRow* AddRow(CRowTable& table, const Hit& hit, uint32_t hits, uint64_t bytes = 0) {
    CRow* row = table.AddRow(made.Make(hit));
    row->SetHits(hits);
    row->SetBytesSent(bytes);
    table.totals.hits += hits;
    table.totals.bytesSent += bytes;
    return row;
  }
  std::string Cell(const CRowTable& table, int kind, int type, int64_t item, int column = 1) {
    index.Build(table);
    return GetReportCellText(&table, index, kind, type, item, column);
  }
  // The pages of the rows in the order the comparator gives.
  std::vector<std::string> Sorted(const CRowTable& table, int type, bool ascending, int kind = kReportPage) {
    index.Build(table);
    SetReportSortParameters(type, ascending, kind, &table);
    index.Sort(CompareReportRows);
    std::vector<std::string> pages;
    for (uint32_t i = 0; i < index.Count(); ++i) pages.push_back(index[i]->Record()->PageText());
    return pages;
  }

  hitmaker::Hits made;
  CRowIndex index;
};

TEST_F(ReportCells, ItemsAndTheTotalsRow) {
  CRowTable one, two;
  AddRow(one, {"/a"}, 4);
  AddRow(two, {"/a"}, 3);
  AddRow(two, {"/b"}, 1);
  CRowTable empty;
  struct Case {
    int kind;
    const CRowTable* table;
    uint32_t items, leading;
  } cases[] = {{kReportPage, &one, 1, 0},  {kReportPage, &two, 3, 1}, {kReportItems, &two, 2, 0},
               {kReportPage, &empty, 0, 0}, {kReportPage, nullptr, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(ReportItemCount(c.kind, c.table), c.items) << c.kind;
    EXPECT_EQ(ReportLeadingRows(c.kind, c.table), c.leading) << c.kind;
  }
  EXPECT_EQ(Cell(one, kReportPage, kReportPage, 0, 0), "/a");

  EXPECT_EQ(Cell(two, kReportPage, kReportPage, 0, 0), "Total [2]");
  EXPECT_EQ(Cell(two, kReportPage, kReportPage, 0, 3), "");  // a key column of the totals row
  EXPECT_EQ(Cell(two, kReportPage, kColHits, 0), "4");
  EXPECT_EQ(Cell(two, kReportPage, kReportPage, 2, 0), "/b");
  EXPECT_EQ(Cell(two, kReportPage, kColHits, 3), "");  // past the last item
  EXPECT_EQ(Cell(two, kReportItems, kReportPage, 0, 2), "/a");
  EXPECT_EQ(GetReportRowImage(index, kReportPage, 0, 1), 1);

  g_runPending = true;
  EXPECT_EQ(Cell(two, kReportPage, kReportPage, 1, 0), "");
  EXPECT_EQ(GetReportRowImage(index, kReportPage, 1, 1), 25);
}

TEST_F(ReportCells, ItemNumbersAreNotSixteenBit) {
  CRowTable table;
  for (int i = 0; i < 70000; ++i) table.AddRow(H('a'))->SetHits(1);
  table.AddRow(H('e'))->SetHits(2);
  EXPECT_EQ(ReportItemCount(kReportPage, &table), 70002u);
  EXPECT_EQ(Cell(table, kReportPage, kReportPage, 70001, 0), "/about.html");
  EXPECT_EQ(Cell(table, kReportPage, kReportPage, 0, 0), "Total [70001]");
}

TEST_F(ReportCells, SummaryRows) {
  g_summaryStats.hosts = 3;
  g_summaryStats.bytesSent = 2048;
  g_summaryStats.pages = 9;
  g_summaryStats.pageViews = 10;
  CRowIndex none;
  auto cell = [&](int64_t item, int column) {
    return std::string(GetReportCellText(nullptr, none, kReportSummary, column ? kColSummaryValue : kColSummaryLabel,
                                         item, column));
  };
  EXPECT_EQ(ReportItemCount(kReportSummary, nullptr), 15u);
  EXPECT_EQ(cell(3, 0), "Bandwidth");
  EXPECT_EQ(cell(3, 1), "2.00 KB");
  EXPECT_EQ(cell(4, 0), "Pages");
  EXPECT_EQ(cell(4, 1), "9");
  EXPECT_EQ(cell(14, 0), "Average Pageviews per Visitor");
  EXPECT_EQ(cell(14, 1), "-");
  EXPECT_EQ(cell(15, 0), "");

  g_project.send_receive = 1;
  g_summaryStats.visitors = 4;
  EXPECT_EQ(ReportItemCount(kReportSummary, nullptr), 16u);
  EXPECT_EQ(cell(0, 1), "3");
  EXPECT_EQ(cell(3, 0), "Send");
  EXPECT_EQ(cell(4, 0), "Receive");
  EXPECT_EQ(cell(14, 0), "Pageviews");
  EXPECT_EQ(cell(15, 1), "2.50");
}

TEST_F(ReportCells, PercentagesAndByteSums) {
  g_settings.add_proc_h = g_settings.add_proc_b = g_settings.add_proc_p = 1;
  CRowTable table;
  CRow* big = AddRow(table, {"/a"}, 3, 5ull << 30);
  AddRow(table, {"/b"}, 1, 1ull << 30);
  big->SetPages(2);  // the pages total stays 0
  index.Build(table);
  EXPECT_STREQ(FormatReportCell(kColHits, &table, big), "3 (75.00%)");
  EXPECT_STREQ(FormatReportCell(kColPages, &table, big), "2 (0.00%)");
  EXPECT_STREQ(FormatReportCell(kColBytesSent, &table, big), "5.00 GB (83.33%)");
  EXPECT_STREQ(FormatReportCell(kColBytesSent, &table, nullptr), "6.00 GB");  // no share on the totals row
  EXPECT_STREQ(FormatReportCell(kColBytesReceived, &table, big), "");
}

TEST_F(ReportCells, LongTextsAreCutToTheBuffer) {
  std::string page = "/" + std::string(2000, 'x');
  std::string agent;
  for (int i = 0; i < 600; ++i) agent += "\xc3\xa9";  // two bytes each
  CRowTable table;
  Hit hit{page.c_str()};
  hit.agent = agent.c_str();
  CRow* row = AddRow(table, hit, 1);
  std::string text = FormatReportCell(kReportPage, &table, row);
  EXPECT_EQ(text.size(), kCellTextSize - 1);
  text = FormatReportCell(kColUserAgent, &table, row);
  EXPECT_EQ(text.size(), kCellTextSize - 2);  // the cut fell inside a character
  EXPECT_EQ(text.substr(0, 2), "\xc3\xa9");
  EXPECT_EQ(text.substr(text.size() - 2), "\xc3\xa9");
}

TEST_F(ReportCells, ExtraColumnsBeyondTheConfigurationAreEmpty) {
  g_workspace.SetColumnsCfg(kReportPage, "+C002=+C005=");
  int ids[5];
  ASSERT_EQ(ExtraColumnIds(kReportPage, ids), 2);
  std::vector<ReportColumnDef> custom = CustomColumnDefs(kReportPage);
  ASSERT_EQ(custom.size(), 2u);
  EXPECT_EQ(custom[0].title, ColumnTerm(2));
  EXPECT_EQ(custom[1].type, kColExtra + 1);

  // The table was made with one extra column only.
  CRowTable table;
  uint32_t extras[] = {kPairHost, 0};
  RunQuery(g_project, kReportPage, table, All(), extras);
  ASSERT_EQ(table.KeyCount(), 1u);
  index.Build(table);
  SetReportSortParameters(kColExtra, false, kReportPage, &table);
  index.Sort(CompareReportRows);
  const CRow* top = index[0];
  EXPECT_STREQ(FormatReportCell(kColExtra, &table, top), std::to_string(*table.RowField(index[0], 0)).c_str());
  EXPECT_STREQ(FormatReportCell(kColExtra, &table, nullptr), std::to_string(table.totals.extra[0]).c_str());
  EXPECT_STREQ(FormatReportCell(kColExtra + 1, &table, top), "");
  EXPECT_STREQ(FormatReportCell(kColExtra + 4, &table, nullptr), "");
  for (uint32_t i = 1; i < index.Count(); ++i) EXPECT_GE(*table.RowField(index[i - 1], 0), *table.RowField(index[i], 0));
}

TEST_F(ReportCells, ColumnsOfAKind) {
  auto types = [](int kind, int above = -1) {
    std::vector<int> t;
    for (const ReportColumnDef& c : ReportColumnDefs(kind, above)) t.push_back(c.type);
    return t;
  };
  EXPECT_EQ(types(kReportPage), (std::vector<int>{1, kColHits, kColVisitors, kColBytesSent, kReportGroup}));
  EXPECT_EQ(types(kReportHost), (std::vector<int>{2, kColHits, kColPages, kColBytesSent}));
  g_project.send_receive = 1;
  EXPECT_EQ(types(kReportItems), (std::vector<int>{2, kColDateTime, 1, kColHitSent, kColHitReceived, kColStatus, 3,
                                                   kColUserAgent, kColCookie, kColSubdomain}));
  std::vector<ReportColumnDef> summary = ReportColumnDefs(kReportSummary, -1);
  ASSERT_EQ(summary.size(), 2u);
  EXPECT_EQ(summary[0].title, "Detail");
  EXPECT_EQ(summary[1].format, 1);
}

TEST_F(ReportCells, GroupColumnsCoverSevenGroupsTheSideListAll) {
  for (int g = 0; g < 8; ++g) g_project.groups.Insert(g, g == 2 ? "" : ("G" + std::to_string(g)).c_str(), ".x", 0);
  g_groupSlots = 8;
  g_uiQuery.groupOn[1] = 0;
  std::vector<ReportColumnDef> columns = GroupColumnDefs(kReportHost, -1);
  ASSERT_EQ(columns.size(), 12u);  // groups 0, 2-6
  EXPECT_EQ(columns[0].title, "H:G0");
  EXPECT_EQ(columns[1].title, "B:G0");
  EXPECT_EQ(columns[2].type, kColGroupHits + 4);
  EXPECT_EQ(columns.back().type, kColGroupBytes + 12);
  EXPECT_TRUE(GroupColumnDefs(kReportGroup, -1).empty());
  EXPECT_TRUE(GroupColumnDefs(kReportHost, kReportEntry).empty());
  EXPECT_EQ(GroupColumnDefs(kReportHost, kReportHost).size(), 12u);

  std::vector<SideListItem> side = SideListItems();
  ASSERT_EQ(side.size(), 9u);
  EXPECT_EQ(side[1].image, 28);
  EXPECT_EQ(side[2].text, "...");
  EXPECT_EQ(side[7].text, "G7");
  EXPECT_EQ(side[7].image, 27);
  EXPECT_EQ(side[8].text, "All Others");
  EXPECT_EQ(side[8].image, 28);

  g_groupSlots = 0;
  EXPECT_TRUE(GroupColumnDefs(kReportHost, -1).empty());
}

TEST_F(ReportCells, ComparatorByColumnType) {
  CRowTable table;
  Hit a{"/a"};
  a.referrer = "http://z.example/";
  a.user = "carol";
  Hit b{"/b"};
  b.user = "alice";
  Hit c{"/c"};
  c.referrer = "http://m.example/";
  AddRow(table, a, 5, 1ull << 33);
  AddRow(table, b, 9, 7);
  AddRow(table, c, 1, 1ull << 32);
  using V = std::vector<std::string>;
  struct Case {
    int type;
    bool ascending;
    V order;
  } cases[] = {
      {kColHits, false, {"/b", "/a", "/c"}},
      {kColHits, true, {"/c", "/a", "/b"}},
      {kColBytesSent, false, {"/a", "/c", "/b"}},  // 64-bit sums
      {kReportReferrer, true, {"/b", "/c", "/a"}},  // absent first ...
      {kReportReferrer, false, {"/b", "/a", "/c"}},  // ... in both directions
      {kReportUser, true, {"/c", "/b", "/a"}},      // absent first ascending
      {kReportUser, false, {"/a", "/b", "/c"}},     // and last descending
      {kReportPage, false, {"/c", "/b", "/a"}},
  };
  for (const Case& k : cases) EXPECT_EQ(Sorted(table, k.type, k.ascending), k.order) << k.type << k.ascending;

  // Page names: byte order, or without case with case_page.
  CRowTable pages;
  AddRow(pages, {"/b"}, 1);
  AddRow(pages, {"/B"}, 2);
  AddRow(pages, {"/a"}, 3);
  EXPECT_EQ(Sorted(pages, kReportPage, true), (V{"/B", "/a", "/b"}));
  g_project.display.case_page = 1;
  index.Build(pages);
  SetReportSortParameters(kReportPage, true, kReportPage, &pages);
  EXPECT_EQ(CompareReportRows(&index.Rows()[0], &index.Rows()[1]), 0);
  // Types without an order, and group slots the rows lack, compare equal.
  for (int type : {int{kColSummaryLabel}, kColGroupHits + 12, int{kColExtra}}) {
    SetReportSortParameters(type, true, kReportPage, &pages);
    EXPECT_EQ(CompareReportRows(&index.Rows()[0], &index.Rows()[2]), 0) << type;
  }
}

TEST_F(ReportCells, KeyedSortGivesTheStableOrderOfTheComparator) {
  // Clients known only by name or not at all, cookies, subdomains and users
  // beside the fixture's own hits.
  Hit named{"/shop.html", 0, "zeta.example"};
  named.cookie = "id=2";
  named.subdomain = "shop";
  named.user = "dora";
  Hit other{"/about.html", 0, "alpha.example"};
  other.cookie = "id=1";
  other.received = 70;
  Add(1, 'r', named, 300);
  Add(1, 's', other, 300);
  Add(1, 't', Hit{"/index.html"}, 300);
  BumpQueryGeneration();
  for (int kind = 1; kind <= kMaxReportKind; ++kind) {
    if (kind == kReportSummary) continue;
    CRowTable table;
    RunQuery(g_project, kind, table, All());
    std::vector<ReportColumnDef> columns = ReportColumnDefs(kind, -1);
    for (const ReportColumnDef& column : columns) {
      for (bool ascending : {true, false}) {
        CRowIndex plain;
        plain.Build(table);
        SetReportSortParameters(column.type, ascending, kind, &table);
        std::stable_sort(plain.Rows(), plain.Rows() + plain.Count(),
                         [](CRow* a, CRow* b) { return CompareReportRows(&a, &b) < 0; });
        index.Build(table);
        SortReportRows(index, column.type, ascending, kind, &table);
        ASSERT_EQ(index.Count(), plain.Count());
        EXPECT_TRUE(std::equal(plain.Rows(), plain.Rows() + plain.Count(), index.Rows()))
            << "kind " << kind << " column " << column.type << (ascending ? " ascending" : " descending");
      }
    }
  }
}

TEST_F(ReportCells, RecordImages) {
  g_project.groups.Insert(0, "Pages", ".html", kGroupPages);
  g_project.groups.Insert(1, "Downloads", ".zip", kGroupDownloads);
  CRowTable table;
  Hit robot{"/r"};
  robot.flags = kHitRobot;
  Hit error{"/e"};
  error.status = 404;
  Hit download{"/d.zip"};
  download.group = 1;
  Hit other{"/o"};
  other.group = 8;
  Hit odd{"/x"};
  odd.group = 3;
  CRow* rRobot = AddRow(table, robot, 1);
  rRobot->SetFlags(kHitRobot);
  CRow* rError = AddRow(table, error, 1);
  CRow* rDownload = AddRow(table, download, 1);
  CRow* rOther = AddRow(table, other, 1);
  CRow* rOdd = AddRow(table, odd, 1);
  CRow* rPlain = AddRow(table, {"/p"}, 1);
  struct Case {
    int kind;
    const CRow* row;
    int image;
  } cases[] = {{kReportPage, rRobot, 9},     {kReportGroup, rRobot, 2}, {kReportPage, rError, 8},
               {kReportPage, rDownload, 26}, {kReportPage, rOther, 29}, {kReportPage, rOdd, 31},
               {kReportPage, rPlain, 2},     {kReportHost, rRobot, 6},  {kReportVisitor, rPlain, 21},
               {kReportBrowser, rPlain, 32}, {kReportFolder, rError, 22}, {kReportSummary, rPlain, 25}};
  for (const Case& c : cases) EXPECT_EQ(GetRecordImage(c.kind, c.row), c.image) << c.kind;
}

TEST_F(ReportCells, QueriedTableSortsByHitsAndShowsItsTotal) {
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  ASSERT_GE(table.RowCount(), 2);
  index.Build(table);
  SetReportSortParameters(kColHits, false, kReportPage, &table);
  index.Sort(CompareReportRows);
  for (uint32_t i = 1; i < index.Count(); ++i) EXPECT_GE(index[i - 1]->Hits(), index[i]->Hits());
  std::string total = "Total [" + std::to_string(table.RowCount()) + "]";
  EXPECT_EQ(GetReportCellText(&table, index, kReportPage, kReportPage, 0, 0), total);
  EXPECT_EQ(GetReportCellText(&table, index, kReportPage, kColHits, 0, 1), std::to_string(table.totals.hits));
  EXPECT_STREQ(GetReportCellText(&table, index, kReportPage, kReportPage, 1, 0), index[0]->Record()->PageText());
}

}  // namespace
