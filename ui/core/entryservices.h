// Small services of the dialogs: one entry of the language table (a report
// term or a country name) and the time-zone lists' positions.
#pragma once
#include <string>

// A country entry: the name of country record n ("" for no such record);
// otherwise the translation of term n only, "" when it has none (no English
// fall-back).
std::string GetLanguageEntryText(bool isCountry, int n);
// The country name of record n, or the translation of term n (an empty text
// removes the translation). True when the entry changed.
bool SetLanguageEntryText(bool isCountry, int n, const char* text);

// The time-zone lists hold the offsets -12 to +13 hours in this order.
constexpr int kFirstHourOffset = -12;
constexpr int kLastHourOffset = 13;
constexpr int kHourOffsetCount = kLastHourOffset - kFirstHourOffset + 1;

// offset + 12 for -12..13; any other offset gives the position of 0.
int HourOffsetToIndex(int offset);
// The offset at a list position; a position outside the list gives 0.
int IndexToHourOffset(int index);
