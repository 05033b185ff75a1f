#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/rowtable.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/chart.h"
#include "output/pngbmp.h"
#include "tests/common/testenv.h"

namespace {

class ChartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_project.display = CDisplayOptions{};
    FreeLanguageTexts();
    records.reserve(100);
  }

  // A row whose record has the date, time and status given; totals follow.
  CRow* AddRow(uint32_t hits, uint32_t visitors = 0, uint64_t bytes = 0, uint32_t packedDate = PackDate(1, 1, 2004),
               uint32_t seconds = 0, uint16_t status = 200) {
    records.emplace_back();
    auto* r = reinterpret_cast<CHitRecord*>(records.back().data());
    r->SetDate(packedDate & 0xFF, (packedDate >> 8) & 0xFF, packedDate >> 16);
    r->SetSeconds(seconds);
    r->SetStatusWord(status);
    CRow* row = table.AddRow(r);
    row->SetHits(hits);
    row->SetVisitors(visitors);
    row->SetBytesSent(bytes);
    table.totals.hits += hits;
    table.totals.visitors += visitors;
    table.totals.bytesSent += bytes;
    return row;
  }
  ChartData Build(int kind, unsigned style = 137) {
    ChartData data;
    EXPECT_TRUE(BuildChartData(kind, table, style, nullptr, data));
    return data;
  }
  static std::vector<uint64_t> Firsts(const ChartData& d) {
    std::vector<uint64_t> v;
    for (int i = 0; i < d.count; ++i) v.push_back(d.points[i].first);
    return v;
  }

  std::vector<std::array<uint8_t, CHitRecord::kMaxSize>> records;
  CRowTable table;
};

TEST_F(ChartTest, PictureNamesAndTypes) {
  int type = 0;
  EXPECT_EQ(ChartPictureName(kReportCountry, &type), "country.png");
  EXPECT_EQ(type, kChartPie);
  EXPECT_EQ(ChartPictureName(kReportDate, &type), "daily.png");
  EXPECT_EQ(type, kChartBar);
  EXPECT_EQ(ChartPictureName(kReportDownloadManager, &type), "speeders.png");
  EXPECT_EQ(ChartPictureName(kReportPage, &type), std::nullopt);
  EXPECT_EQ(type, -1);
  ChartData data;
  EXPECT_FALSE(BuildChartData(kReportPage, table, 137, nullptr, data));
}

TEST_F(ChartTest, PieTakesTheTopTenAndTheRestIsOther) {
  for (uint32_t i = 0; i < 12; ++i) AddRow(1000 - 10 * i, 0, 0, PackDate(1, 1, 2004), 0, static_cast<uint16_t>(200 + i));
  ChartData d = Build(kReportStatus);
  EXPECT_EQ(d.type, kChartPie);
  EXPECT_EQ(d.seriesCount, 1);
  ASSERT_EQ(d.count, 10);
  EXPECT_EQ(d.points[0].first, 1000u);
  EXPECT_EQ(d.points[0].label, "200");
  EXPECT_EQ(d.remaining, 900u + 890u);
  EXPECT_EQ(d.othersLabel, "Other");
  EXPECT_EQ(d.seriesLabel, "Visitors,Hits");

  // Nine slices and "Other", which holds the tenth point as well.
  std::vector<PieSlice> slices = ChartPieSlices(d);
  ASSERT_EQ(slices.size(), 10u);
  EXPECT_EQ(slices[9].label, "Other");
  EXPECT_EQ(slices[9].explode, 12);
  EXPECT_FLOAT_EQ(slices[9].value, 910 + 900 + 890);
  EXPECT_EQ(slices[0].colour, 0x6699FFu);
  EXPECT_EQ(slices[8].explode, 0);
}

TEST_F(ChartTest, PieSlicesOfSmallAndEmptyCharts) {
  ChartData d;
  d.type = kChartPie;
  d.othersLabel = "Other";
  for (int i = 0; i < 10; ++i) d.points[i].first = 10;
  d.count = 10;
  EXPECT_EQ(ChartPieSlices(d).size(), 10u);  // nothing left over: ten slices, no "Other"
  EXPECT_NE(ChartPieSlices(d).back().label, "Other");
  d.count = 1;
  std::vector<PieSlice> one = ChartPieSlices(d);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_FLOAT_EQ(one[1].value, 0.05f);
  EXPECT_EQ(one[1].colour, one[0].colour);
  d.count = 0;
  EXPECT_TRUE(ChartPieSlices(d).empty());
  d.count = 3;
  for (int i = 0; i < 3; ++i) d.points[i].first = 0;
  EXPECT_TRUE(ChartPieSlices(d).empty());
  d.remaining = 4;
  ASSERT_FALSE(ChartPieSlices(d).empty());
  EXPECT_EQ(ChartPieSlices(d).back().label, "Other");
  EXPECT_FLOAT_EQ(ChartPieSlices(d).back().value, 4);
}

TEST_F(ChartTest, SmallSlicesFoldIntoOther) {
  AddRow(500, 0, 0, PackDate(1, 1, 2004), 0, 200);
  AddRow(480, 0, 0, PackDate(1, 1, 2004), 0, 404);
  AddRow(10, 0, 0, PackDate(1, 1, 2004), 0, 301);  // 1% of the pie
  AddRow(10, 0, 0, PackDate(1, 1, 2004), 0, 500);
  ChartData d = Build(kReportStatus);
  EXPECT_EQ(Firsts(d), (std::vector<uint64_t>{500, 480}));
  EXPECT_EQ(d.points[1].label, "404");
  EXPECT_EQ(d.remaining, 20u);
}

TEST_F(ChartTest, SourceFlagsPickTheMeasureAndItsRemainder) {
  const uint64_t big = 5000000000ull;  // above 32 bits
  for (int i = 0; i < 11; ++i) AddRow(10, 3, big + static_cast<uint64_t>(i), PackDate(1, 1, 2004), 0, static_cast<uint16_t>(200 + i));
  ChartData bytes = Build(kReportStatus, 137 | kChartBytes);
  EXPECT_EQ(bytes.seriesLabel, "Bandwidth");
  EXPECT_GE(bytes.points[0].first, big);
  EXPECT_GE(bytes.remaining, big);  // one row left out
  ChartData visitors = Build(kReportStatus, 137 | kChartVisitors);
  EXPECT_EQ(visitors.seriesLabel, "Visitors");
  EXPECT_EQ(visitors.points[0].first, 3u);
  EXPECT_EQ(visitors.remaining, 3u);
  // Totals below the rows' sum never wrap around.
  table.totals.hits = 5;
  ChartData hits = Build(kReportStatus, 137 | kChartHits);
  EXPECT_EQ(hits.seriesLabel, "Hits");
  EXPECT_EQ(hits.remaining, 0u);
}

TEST_F(ChartTest, BarsOfWeekdayMonthAndHourHaveEverySlot) {
  AddRow(4, 1, 0, PackDate(5, 3, 2004), 3 * 3600);   // Friday, March, 3h
  AddRow(6, 2, 0, PackDate(5, 3, 2005), 3 * 3600);   // Saturday, March, 3h
  AddRow(7, 3, 0, PackDate(31, 2, 2004), 90000);     // no such date, hour 25
  AddRow(8, 4, 0, PackDate(1, 13, 2004), 23 * 3600); // no such month
  ChartData week = Build(kReportWeekday);
  EXPECT_EQ(week.type, kChartBar);
  EXPECT_EQ(week.seriesCount, 2);
  ASSERT_EQ(week.count, 7);
  EXPECT_EQ(week.points[0].label, WeekdayName(0, 137));
  EXPECT_EQ(week.points[5].first, 1u);   // visitors first
  EXPECT_EQ(week.points[5].second, 4u);  // hits second
  EXPECT_EQ(week.points[6].second, 6u);
  uint64_t sum = 0;
  for (int i = 0; i < 7; ++i) sum += week.points[i].second;
  EXPECT_EQ(sum, 4u + 6u);  // dates that do not exist are left out

  ChartData month = Build(kReportMonth, 137 | kChartHits);
  ASSERT_EQ(month.count, 12);
  EXPECT_EQ(month.points[2].first, 10u);
  EXPECT_EQ(month.points[1].first, 7u);
  EXPECT_EQ(month.points[11].label, "December");
  EXPECT_EQ(month.seriesCount, 1);

  ChartData hours = Build(kReportHour, 137 | kChartHits);
  ASSERT_EQ(hours.count, 24);
  EXPECT_EQ(hours.points[3].first, 10u);
  EXPECT_EQ(hours.points[23].first, 8u);
  EXPECT_EQ(hours.points[0].first, 0u);
  char h[16];
  EXPECT_EQ(hours.points[23].label, FormatHour(h, sizeof h, 23));
}

TEST_F(ChartTest, DateChartShowsTheLastThirtyDays) {
  for (uint32_t day = 0; day < 45; ++day) AddRow(day + 1, 1, 0, AddDaysToDate(PackDate(1, 1, 2004), static_cast<int>(day)));
  ChartData d = Build(kReportDate);
  ASSERT_EQ(d.count, 30);
  EXPECT_EQ(d.points[0].second, 16u);
  EXPECT_EQ(d.points[29].second, 45u);
  char text[64];
  EXPECT_EQ(d.points[29].label, FormatDate(text, sizeof text, PackDate(14, 2, 2004), false));
}

TEST_F(ChartTest, BuildReportChartWritesAPicture) {
  std::string dir = tvtest::NewDir("chart");
  for (int i = 0; i < 4; ++i) AddRow(10 * (i + 1), 1, 0, PackDate(1, 1, 2004), 0, static_cast<uint16_t>(200 + i));
  int w = 0, h = 0;
  auto name = BuildReportChart(kReportStatus, table, &w, &h, dir.c_str(), nullptr, "second line", 137);
  ASSERT_EQ(name, "response.png");
  EXPECT_EQ(w, 512);
  EXPECT_EQ(h, 300);
  RgbImage image;
  ASSERT_TRUE(LoadPngFile((dir + "response.png").c_str(), image));
  EXPECT_EQ(image.width, 512u);
  EXPECT_EQ(image.height, 300u);

  // An explicit path wins; bar charts keep the size asked for.
  w = 300, h = 200;
  std::string path = dir + "chart.png";
  EXPECT_EQ(BuildReportChart(kReportHour, table, &w, &h, dir.c_str(), path.c_str(), nullptr, 137), "hours.png");
  ASSERT_TRUE(LoadPngFile(path.c_str(), image));
  EXPECT_EQ(image.width, 300u);
  EXPECT_EQ(image.height, 200u);

  // No chart for the kind: no file.
  EXPECT_EQ(BuildReportChart(kReportPage, table, &w, &h, dir.c_str(), nullptr, nullptr, 137), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir + "page.png"));
}

TEST_F(ChartTest, EmptyChartsDrawThePlaceholderPicture) {
  std::string dir = tvtest::NewDir("emptychart");
  for (int kind : {kReportStatus, kReportDate}) {
    int w = 0, h = 0;
    auto name = BuildReportChart(kind, table, &w, &h, dir.c_str(), nullptr, nullptr, 137);
    ASSERT_TRUE(name);
    RgbImage image;
    EXPECT_TRUE(LoadPngFile((dir + *name).c_str(), image)) << *name;
    EXPECT_EQ(image.width, 512u);
  }
  AddRow(0, 0, 0, PackDate(1, 1, 2004), 0, 200);  // one row, nothing to show
  int w = 0, h = 0;
  BuildReportChart(kReportStatus, table, &w, &h, dir.c_str(), (dir + "zero.png").c_str(), nullptr, 137);
  RgbImage image;
  EXPECT_TRUE(LoadPngFile((dir + "zero.png").c_str(), image));
}

}  // namespace
