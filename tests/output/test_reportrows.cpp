#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/display/display.h"
#include "engine/query/rowtable.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/reportrows.h"

namespace {

// Rows whose representative records are made here, each with its own date,
// time of day, hits and visitors.
class ReportRowsTest : public ::testing::Test {
 protected:
  void SetUp() override { g_project.display = CDisplayOptions{}; }

  void AddRow(uint32_t packedDate, uint32_t seconds, uint32_t hits, uint32_t visitors) {
    records.emplace_back();
    auto* r = reinterpret_cast<CHitRecord*>(records.back().data());
    r->SetDate(packedDate & 0xFF, (packedDate >> 8) & 0xFF, packedDate >> 16);
    r->SetSeconds(seconds);
    CRow* row = table.AddRow(r);
    row->SetHits(hits);
    row->SetVisitors(visitors);
  }
  // The rows' hits in the order the index holds them.
  std::vector<uint32_t> Order(int kind, SortCompareFn compare = nullptr) {
    CRowIndex index;
    SetReportSortOrder(kind, table, index, compare);
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < index.Count(); ++i) out.push_back(index[i]->Hits());
    return out;
  }

  std::vector<std::array<uint8_t, CHitRecord::kMaxSize>> records;  // reserved: rows point into it
  CRowTable table;
};

TEST_F(ReportRowsTest, DefaultOrderByKind) {
  records.reserve(8);
  AddRow(PackDate(10, 3, 2004), 7200, 1, 30);  // Wednesday, hour 2
  AddRow(PackDate(1, 1, 2005), 3599, 3, 10);   // Saturday, hour 0
  AddRow(PackDate(2, 2, 2003), 3600, 2, 20);   // Sunday, hour 1
  EXPECT_EQ(Order(kReportPage), (std::vector<uint32_t>{3, 2, 1}));
  EXPECT_EQ(Order(kReportPath), (std::vector<uint32_t>{1, 2, 3}));  // by visitors
  EXPECT_EQ(Order(kReportHour), (std::vector<uint32_t>{3, 2, 1}));
  EXPECT_EQ(Order(kReportDate), (std::vector<uint32_t>{2, 1, 3}));
  EXPECT_EQ(Order(kReportMonth), (std::vector<uint32_t>{3, 2, 1}));
  EXPECT_EQ(Order(kReportWeekday), (std::vector<uint32_t>{2, 1, 3}));
  // A comparator of the caller's wins for every kind.
  for (int kind : {kReportHour, kReportWeekday, kReportMonth, kReportPath, kReportDate})
    EXPECT_EQ(Order(kind, CompareByCount), (std::vector<uint32_t>{3, 2, 1})) << kind;
}

TEST_F(ReportRowsTest, ComparatorEdges) {
  records.reserve(8);
  AddRow(PackDate(5, 3, 2003), 0, 1, 0);
  AddRow(PackDate(9, 3, 2004), 3599, 2, 0);
  AddRow(PackDate(31, 2, 2004), 3600, 3, 0);  // no such day
  AddRow(PackDate(7, 3, 2004), 0, 4, 0);      // Sunday
  CRow* r[4];
  for (int i = 0; i < 4; ++i) r[i] = table.GetRow(i);
  EXPECT_EQ(CompareByMonth(&r[0], &r[1]), 0);  // March of two years
  EXPECT_EQ(CompareByHour(&r[0], &r[1]), 0);   // 0 and 3,599 seconds
  EXPECT_EQ(CompareByHour(&r[2], &r[1]), 1);
  EXPECT_EQ(CompareByHour(&r[1], &r[2]), -1);
  EXPECT_EQ(CompareByDayOfWeek(&r[2], &r[3]), 1);  // the bad date sorts last
  EXPECT_EQ(Order(kReportWeekday).back(), 3u);
  EXPECT_EQ(CompareByCount(&r[3], &r[0]), -1);
  EXPECT_EQ(CompareByKey2(&r[0], &r[1]), -1);
}

TEST_F(ReportRowsTest, EmptyTableGivesEmptyIndex) {
  EXPECT_TRUE(Order(kReportPage).empty());
  EXPECT_TRUE(Order(kReportPage, [](const void*, const void*) -> int {
                ADD_FAILURE() << "comparator called";
                return 0;
              }).empty());
}

TEST(ReportColumns, ByKind) {
  // hits, pages, visitors, bandwidth, groups (preset 1), row number, long key text
  struct Case {
    std::vector<int> kinds;
    ReportColumns want;
  } cases[] = {
      {{1, 11, 12, 14, 34, 35}, {1, 0, 1, 1, 0, 1, 1}},
      {{2, 19, 26}, {1, 1, 0, 1, 1, 1, 0}},
      {{10, 13}, {1, 1, 1, 1, 1, 0, 1}},
      {{24}, {0, 0, 1, 1, 1, 1, 1}},
      {{36, 38}, {1, 0, 0, 0, 0, 1, 1}},
      {{37}, {1, 0, 0, 1, 1, 1, 0}},
      {{39}, {1, 1, 1, 1, 1, 1, 0}},
      {{3, 4, 9, 15, 18, 20, 23, 25, 27, 33, 40, 43}, {1, 1, 1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    for (int kind : c.kinds) {
      SCOPED_TRACE(kind);
      ReportColumns got;
      got.showPages = got.showRowNumber = 0;  // every other switch is written
      GetReportColumns(kind, got);
      EXPECT_EQ(got.showHits, c.want.showHits);
      EXPECT_EQ(got.showPages, c.want.showPages);
      EXPECT_EQ(got.showVisitors, c.want.showVisitors);
      EXPECT_EQ(got.showBandwidth, c.want.showBandwidth);
      EXPECT_EQ(got.showGroups, c.want.showGroups);
      EXPECT_EQ(got.showRowNumber, c.want.showRowNumber);
      EXPECT_EQ(got.longKeyText, c.want.longKeyText);
      ReportColumns off;
      off.showGroups = 0;
      GetReportColumns(kind, off);
      EXPECT_EQ(off.showGroups, 0u);
    }
  }
}

}  // namespace
