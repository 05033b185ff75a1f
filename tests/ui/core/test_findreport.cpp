// Find In Report's search rule, and the dialogs' small services: language
// table entries and the time-zone list positions.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/pathlist.h"
#include "engine/store/reportkind.h"
#include "tests/engine/auxfixture.h"
#include "tests/engine/queryfixture.h"
#include "ui/core/entryservices.h"
#include "ui/core/findreport.h"
#include "ui/core/navigationstate.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

namespace {

using hitmaker::Hit;

class FindReport : public queryfixture::QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    g_runPending = false;
    g_searchText.clear();
    g_searchMatchCase = false;
  }
  void TearDown() override {
    g_searchText.clear();
    g_pathList.Clear();
    QueryFixture::TearDown();
  }
  // A list of pages in this order below a totals row.
  void Pages(std::initializer_list<const char*> pages) {
    table.Free();
    for (const char* page : pages) table.AddRow(made.Make(Hit{page}))->SetHits(1);
    index.Build(table);
    leading = ReportLeadingRows(kReportPage, &table);
  }
  FindOutcome Find(int kind, const std::string& text, bool matchCase, int32_t* position) {
    return FindNextReportItem(kind, &table, index, leading, text, matchCase, position);
  }

  hitmaker::Hits made;
  CRowTable table;
  CRowIndex index;
  uint32_t leading = 0;
};

TEST_F(FindReport, NextRowAfterThePositionByTheCaseRuleWithoutWrapping) {
  Pages({"/index.html", "/Shop.html", "/about.html", "/shop/cart.html"});
  ASSERT_EQ(leading, 1u);  // item 0 is the totals row "Total [4]"
  struct Case {
    const char* text;
    bool matchCase;
    int32_t from;
    FindOutcome outcome;
    int32_t position;  // after the step
  } cases[] = {
      {"INDEX", false, 0, FindOutcome::kFound, 1},
      {"INDEX", true, 0, FindOutcome::kNotFound, 0},
      {"shop", false, 0, FindOutcome::kFound, 2},
      {"shop", false, 2, FindOutcome::kFound, 4},   // Find Again goes on after the hit
      {"shop", false, 4, FindOutcome::kNotFound, 4},  // no wrap to the top; the position stays
      {"shop", true, 0, FindOutcome::kFound, 4},
      {"Total", false, 0, FindOutcome::kNotFound, 0},  // never the totals row
      {"html", false, 3, FindOutcome::kFound, 4},
      {"", false, 0, FindOutcome::kSkipped, 0},
      {"index", false, -1, FindOutcome::kSkipped, -1},  // no position
  };
  for (const Case& c : cases) {
    int32_t position = c.from;
    EXPECT_EQ(Find(kReportPage, c.text, c.matchCase, &position), c.outcome) << c.text << " from " << c.from;
    EXPECT_EQ(position, c.position) << c.text << " from " << c.from;
  }
  // After a miss Find Again searches the same range and misses again.
  int32_t position = 4;
  EXPECT_EQ(Find(kReportPage, "index", false, &position), FindOutcome::kNotFound);
  EXPECT_EQ(Find(kReportPage, "index", false, &position), FindOutcome::kNotFound);
}

TEST_F(FindReport, APathRowIsSearchedInTheWholePathItShows) {
  hitmaker::Hits hits;
  auto visit = [&](uint32_t visitor, std::initializer_list<const char*> pages) {
    CHitRecord* first = nullptr;
    for (const char* page : pages) {
      Hit h{page};
      h.visitor = visitor;
      CHitRecord* r = hits.Make(h);
      g_pathList.AddHit(visitor, r);
      if (!first) first = r;
    }
    table.AddRow(first)->SetHits(static_cast<uint32_t>(pages.size()));
  };
  table.Free();
  visit(1, {"/index.html", "/shop.html", "/cart.html"});
  visit(2, {"/cart.html"});
  index.Build(table);
  leading = ReportLeadingRows(kReportPath, &table);
  ASSERT_EQ(std::string(FindKeyText(kReportPath, &table, index[0])), "/index.html -> /shop.html -> /cart.html");

  int32_t position = 0;
  EXPECT_EQ(Find(kReportPath, "shop.html -> /CART", false, &position), FindOutcome::kFound);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(Find(kReportPath, "/cart", false, &position), FindOutcome::kFound);
  EXPECT_EQ(position, 2);
}

TEST_F(FindReport, PositionsPast32767) {
  static_assert(sizeof(g_nav.findPosition) >= 4, "find positions are 32-bit");
  table.Free();
  char page[32];
  for (int i = 0; i < 40000; ++i) {
    snprintf(page, sizeof page, "/p%d.html", i);
    table.AddRow(made.Make(Hit{page}))->SetHits(1);
  }
  index.Build(table);
  leading = ReportLeadingRows(kReportPage, &table);
  int32_t position = 0;
  ASSERT_EQ(Find(kReportPage, "/p39000.html", true, &position), FindOutcome::kFound);
  EXPECT_EQ(position, 39001);
  g_nav.findPosition = position;
  EXPECT_EQ(g_nav.findPosition, 39001);
  // Searching on from there does not start over at the top.
  EXPECT_EQ(Find(kReportPage, "/p1.html", true, &position), FindOutcome::kNotFound);
  EXPECT_EQ(Find(kReportPage, "/p39999.html", true, &position), FindOutcome::kFound);
  EXPECT_EQ(position, 40000);

  // A selection sets the position, whatever the item.
  g_uiQuery = CQueryParams{};
  g_uiQuery.levels[0].kind = kReportPage;
  StoreLevelSelection(index[35000], 35001, 1, nullptr);
  EXPECT_EQ(g_nav.findPosition, 35001);
  g_uiQuery = CQueryParams{};
}

TEST_F(FindReport, WhenTheCommandsMayRun) {
  struct Case {
    int kind;
    bool haveList, pending, textTest;
    const char* text;
    bool allowed;
  } cases[] = {
      {kReportPage, true, false, false, "", true},   {kReportPage, true, false, true, "", false},
      {kReportPage, true, false, true, "x", true},   {kReportPage, false, false, false, "x", false},
      {kReportPage, true, true, false, "x", false},  {kReportNone, true, false, false, "x", false},
      {kReportSpiderTree, true, false, false, "x", false}, {kReportSummary, true, false, false, "x", false},
      {kReportItems, true, false, false, "x", false}, {kReportPath, true, false, true, "x", true},
  };
  for (const Case& c : cases) {
    g_runPending = c.pending;
    g_searchText = c.text;
    EXPECT_EQ(FindInReportAllowed(c.kind, c.haveList, c.textTest), c.allowed) << c.kind << " " << c.text;
  }
  g_runPending = false;
}

TEST(HourOffsets, ListPositionsStayInTheList) {
  struct Case {
    int offset, index;
  } toIndex[] = {{-12, 0}, {-1, 11}, {0, 12}, {1, 13}, {13, 25}, {14, 12}, {-13, 12}, {-100, 12}, {1000, 12}};
  for (const Case& c : toIndex) EXPECT_EQ(HourOffsetToIndex(c.offset), c.index) << c.offset;
  struct Back {
    int index, offset;
  } toOffset[] = {{0, -12}, {11, -1}, {12, 0}, {13, 1}, {25, 13}, {26, 0}, {40, 0}, {-1, 0}, {-30, 0}};
  for (const Back& c : toOffset) EXPECT_EQ(IndexToHourOffset(c.index), c.offset) << c.index;
  for (int i = 0; i < kHourOffsetCount; ++i) EXPECT_EQ(HourOffsetToIndex(IndexToHourOffset(i)), i);
}

TEST_F(FindReport, LanguageEntries) {
  auxfixture::SetGeoNames(kGeoCountry, {"deGermany", "frFrance"});
  EXPECT_EQ(GetLanguageEntryText(true, 1), "France");
  EXPECT_EQ(GetLanguageEntryText(true, 7), "");
  EXPECT_EQ(GetLanguageEntryText(false, kTermHits), "");  // no translation, no English
  EXPECT_TRUE(SetLanguageEntryText(true, 1, "Frankreich"));
  EXPECT_EQ(GetLanguageEntryText(true, 1), "Frankreich");
  EXPECT_FALSE(SetLanguageEntryText(true, 1, "Frankreich"));
  EXPECT_FALSE(SetLanguageEntryText(true, 7, "Nowhere"));
  EXPECT_TRUE(SetLanguageEntryText(false, kTermHits, "Zugriffe"));
  EXPECT_EQ(GetLanguageEntryText(false, kTermHits), "Zugriffe");
  EXPECT_EQ(std::string(GetTerm(kTermHits)), "Zugriffe");
  EXPECT_TRUE(SetLanguageEntryText(false, kTermHits, ""));
  EXPECT_EQ(GetLanguageEntryText(false, kTermHits), "");
  EXPECT_EQ(GetLanguageEntryText(false, 500), "");
  EXPECT_FALSE(SetLanguageEntryText(false, 500, "x"));
  FreeLanguageTexts();
}

}  // namespace
