// Calendar arithmetic of our own: no mktime, no daylight-saving shifts.
#pragma once
#include <cstdint>

namespace tv {

struct CivilDate {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
};

// Days since 1970-01-01 of a proleptic Gregorian date (negative before).
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);
// 0 = Sunday .. 6 = Saturday.
int DayOfWeek(int64_t days);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// The local date and time of day now.
CivilDate Today();
uint32_t SecondsOfDayNow();
// Seconds since 1970-01-01 UTC.
int64_t UnixNow();

}  // namespace tv
