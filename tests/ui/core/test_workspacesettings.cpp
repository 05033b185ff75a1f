// The workspace settings dialog's zone lists and number fields.
#include <gtest/gtest.h>

#include "ui/core/workspacesettings.h"

namespace {

TEST(WorkspaceSettingsZones, OffsetsOutsideTheListShowGmt0) {
  const struct {
    int offset, index;
  } toIndex[] = {{-12, 0}, {-1, 11}, {0, 12}, {1, 13}, {13, 25}, {14, 12}, {-13, 12}, {-32768, 12}, {32767, 12}};
  for (const auto& c : toIndex) EXPECT_EQ(HourOffsetToIndex(c.offset), c.index) << c.offset;
  const struct {
    int index, offset;
  } toOffset[] = {{0, -12}, {11, -1}, {12, 0}, {25, 13}, {-1, 0}, {26, 0}, {1000, 0}};
  for (const auto& c : toOffset) EXPECT_EQ(IndexToHourOffset(c.index), c.offset) << c.index;
  for (int hours = -12; hours <= 13; ++hours) EXPECT_EQ(IndexToHourOffset(HourOffsetToIndex(hours)), hours);

  EXPECT_EQ(ZoneEntryText(0), "GMT -12:00");
  EXPECT_EQ(ZoneEntryText(11), "GMT -01:00");
  EXPECT_EQ(ZoneEntryText(12), "GMT 0");
  EXPECT_EQ(ZoneEntryText(13), "GMT +01:00");
  EXPECT_EQ(ZoneEntryText(kZoneListEntries - 1), "GMT +13:00");
}

TEST(WorkspaceSettingsNumbers, OnlyWholeNumbersInRange) {
  const struct {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"30", true, 30},       {" 0 ", true, 0},     {"32767", true, 32767}, {"32768", false, 0},
      {"99999", false, 0},    {"-1", false, 0},     {"", false, 0},         {"  ", false, 0},
      {"12a", false, 0},      {"1.5", false, 0},    {"+7", true, 7},        {"-", false, 0},
      {"99999999999999999999", false, 0},
  };
  for (const auto& c : cases) {
    int32_t value = -5;
    EXPECT_EQ(ParseIntInRange(c.text, 0, kMaxSessionMinutes, &value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : -5) << c.text;
  }
  EXPECT_EQ(IntegerRangeMessage(0, 999999), "Please enter an integer between 0 and 999999.");
}

}  // namespace
