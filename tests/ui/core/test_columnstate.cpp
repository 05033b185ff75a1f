// Column settings string and the stored sort state.
#include <gtest/gtest.h>

#include <string>

#include "ui/core/columnstate.h"
#include "ui/core/reportcells.h"

namespace {

class ColumnInfo : public ::testing::Test {
 protected:
  void SetUp() override { ClearListColumnInfo(); }
  void TearDown() override { ClearListColumnInfo(); }
  static int Get(const char* prefix, int kind, int column, bool* found) {
    int v = -99;
    *found = GetListColumnInfo(prefix, kind, column, &v);
    return v;
  }
};

TEST_F(ColumnInfo, LastEntryIsReplacedInPlaceOthersMoveToTheEnd) {
  SetListColumnInfo("Cz", 1, 5, 120);
  EXPECT_EQ(ListColumnInfo(), "\\Cz1@5#120");
  SetListColumnInfo("Cz", 1, 5, 80);
  EXPECT_EQ(ListColumnInfo(), "\\Cz1@5#80");

  SetListColumnInfo("Or", 1, 0, -3);
  SetListColumnInfo("Cz", 2, 101, 60);
  SetListColumnInfo("Cz", 1, 5, 95);
  EXPECT_EQ(ListColumnInfo(), "\\Or1@0#-3\\Cz2@101#60\\Cz1@5#95");

  bool found;
  EXPECT_EQ(Get("Or", 1, 0, &found), -3);
  EXPECT_TRUE(found);
  EXPECT_EQ(Get("Cz", 1, 5, &found), 95);
  EXPECT_TRUE(found);
}

TEST_F(ColumnInfo, KeyEndsWithTheSeparatorsSoKindsAndColumnsStayApart) {
  SetListColumnInfo("Cz", 11, 5, 70);
  SetListColumnInfo("Cz", 1, 15, 40);
  bool found;
  EXPECT_EQ(Get("Cz", 1, 5, &found), 0);
  EXPECT_FALSE(found);
  EXPECT_EQ(Get("Cz", 11, 5, &found), 70);
  EXPECT_TRUE(found);
  EXPECT_EQ(Get("Cz", 1, 1, &found), 0);
  EXPECT_FALSE(found);
  EXPECT_EQ(Get("Or", 11, 5, &found), 0);
  EXPECT_FALSE(found);
}

TEST_F(ColumnInfo, EntryOverFortyCharactersIsNotFound) {
  std::string longEntry = "\\Cz1@5#" + std::string(34, '1');  // 41 characters
  SetListColumnInfoText(longEntry + "\\Cz1@6#" + std::string(33, '2') + "\\Or1@0#2");
  bool found;
  EXPECT_EQ(Get("Cz", 1, 5, &found), 0);
  EXPECT_FALSE(found);
  Get("Cz", 1, 6, &found);  // exactly 40
  EXPECT_TRUE(found);
  EXPECT_EQ(Get("Or", 1, 0, &found), 2);
  EXPECT_TRUE(found);
}

TEST(SortState, StoredFormRoundTrips) {
  struct Case {
    int column;
    bool ascending;
    int stored;
  } cases[] = {{0, false, 500}, {3, false, -3}, {0, true, 0}, {4, true, 4}};
  for (const Case& c : cases) {
    int v = 0;
    ASSERT_TRUE(EncodeSortState(c.column, c.ascending, &v));
    EXPECT_EQ(v, c.stored) << c.column;
    int column = -1;
    bool ascending = !c.ascending;
    DecodeSortState(c.stored, &column, &ascending);
    EXPECT_EQ(column, c.column);
    EXPECT_EQ(ascending, c.ascending);
  }
  int column = -1;
  bool ascending = true;
  DecodeSortState(731, &column, &ascending);
  EXPECT_EQ(column, 0);
  EXPECT_FALSE(ascending);
  // An unsorted list stores nothing: -1 would come back as column 1 descending.
  int v = 7;
  EXPECT_FALSE(EncodeSortState(-1, true, &v));
  EXPECT_EQ(v, 7);
}

TEST_F(ColumnInfo, InitialSortOfAFreshList) {
  struct Case {
    int kind;
    int stored;  // 1000: none
    bool sorted;
    int column;
    bool ascending;
  } cases[] = {{1, 1000, true, 1, false}, {43, 1000, false, -1, true}, {43, 500, true, 0, false},
               {31, 2, false, -1, true},  {2, -3, true, 3, false},   {2, 4, true, 4, true}};
  for (const Case& c : cases) {
    ClearListColumnInfo();
    if (c.stored != 1000) SetListColumnInfo("Or", c.kind, 0, c.stored);
    int column = 99;
    bool ascending = false;
    EXPECT_EQ(ReportInitialSort(c.kind, &column, &ascending), c.sorted) << c.kind << " " << c.stored;
    EXPECT_EQ(column, c.column) << c.kind << " " << c.stored;
    EXPECT_EQ(ascending, c.ascending) << c.kind << " " << c.stored;
  }
}

TEST_F(ColumnInfo, DamagedStoredValueKeepsItsGoodEntriesOnly) {
  struct Case {
    const char* stored;
    const char* kept;
  } cases[] = {
      {"\\Cz1@5#120\\Or1@0#-3", "\\Cz1@5#120\\Or1@0#-3"},
      {"junk\\Cz1@5#120", "\\Cz1@5#120"},                 // text before the first entry
      {"\\Cz1@5#120\\Cz2@3#", "\\Cz1@5#120"},           // cut after the key
      {"\\Cz1@5", ""},                                     // cut inside the key
      {"\\Cz1@5#12#7\\Cz1@6@2#7\\Cz2@1#9", "\\Cz2@1#9"},  // too many fields
      {"\\Cz1@5#-\\Cz1@6#+4\\Cz1@7#4 ", ""},              // no number
      {"\\Cz999@5#1\\Cz1@99999999#1\\Xy1@5#1\\Cz-1@5#1", ""},  // out of range, unknown prefix
      {"\\Cz1@5#1\\Cz1@5#2", "\\Cz1@5#1"},              // a repeated key: the first one counts
      {"\\Cz01@5#1\\Cz1@05#1\\Cz0@0#007", "\\Cz0@0#007"},  // keys are never written with zeros in front
      {"\\\\\\", ""},
  };
  for (const Case& c : cases) {
    SetListColumnInfoText(c.stored);
    EXPECT_EQ(ListColumnInfo(), c.kept) << c.stored;
  }
  // After a repeat was dropped, a new value is the one read back.
  SetListColumnInfoText("\\Cz1@5#1\\Cz1@5#2");
  SetListColumnInfo("Cz", 1, 5, 3);
  bool found;
  EXPECT_EQ(Get("Cz", 1, 5, &found), 3);
  // A width beyond the 32-bit range is read as the nearest bound.
  SetListColumnInfoText("\\Cz1@5#99999999999\\Cz1@6#-99999999999");
  EXPECT_EQ(Get("Cz", 1, 5, &found), 2147483647);
  EXPECT_EQ(Get("Cz", 1, 6, &found), -2147483647 - 1);
}

}  // namespace
