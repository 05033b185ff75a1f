// The display-free side of the workspace settings dialog: its time-zone
// lists, the block it edits and the checks of its number fields.
#pragma once
#include <cstdint>
#include <string>

#include "engine/config/workspace.h"
#include "ui/core/entryservices.h"

// The zone lists run from "GMT -12:00" to "GMT +13:00"; their positions and
// offsets are HourOffsetToIndex / IndexToHourOffset.
constexpr int kZoneListEntries = kHourOffsetCount;

// The text of a zone list entry: "GMT -12:00" .. "GMT 0" .. "GMT +13:00".
std::string ZoneEntryText(int index);

// The workspace's values as the dialog edits them (the zones still in hours).
WorkspaceSettings WorkspaceSettingsOf(const WorkspaceCommon& common);

// The workspace holds the session time-out in 16 bits.
constexpr int32_t kMaxSessionMinutes = 32767;
constexpr int32_t kMaxDnsCacheDays = 999999;

// Decimal digits (blanks around allowed, an optional sign) in lo..hi.
bool ParseIntInRange(const std::string& text, int32_t lo, int32_t hi, int32_t* value);
// "Please enter an integer between <lo> and <hi>."
std::string IntegerRangeMessage(int32_t lo, int32_t hi);
