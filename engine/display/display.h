// Display formatting: the texts that reports show and compare, made from hit
// records and numbers. Words come from the report vocabulary, layout choices
// from the options copied in from the workspace (g_project.display for dates,
// times, hosts and pages; g_settings for add_contry and add_day_week).
//
// A text result is either the caller's buffer `out` or a text owned elsewhere
// (a pooled record text, the vocabulary, a table row), never a copy made for
// the caller. Functions taking `out` and `size` always terminate `out` when
// size > 0 and cut what does not fit.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/textutil.h"  // FormatSize
#include "engine/store/hitstore.h"
#include "engine/store/strpool.h"

// Buffers for URLs and report key texts; keywords are compared at 200.
constexpr size_t kUrlTextSize = 700;
constexpr size_t kKeywordSize = 200;

// Set by the visitor pass when some loaded hit carried a cookie.
extern bool g_cookiesInUse;

// ---------------------------------------------------------------------------
// Numbers, dates and times

// "hh:mm:ss", or with the 12-hour clock "hh:mm:ss AM|PM" (12 AM is midnight).
const char* FormatTimeOfDay(char* out, size_t size, const CHitRecord* record);
// The decimal hour, or with the 12-hour clock "%2i AM|PM".
const char* FormatHour(char* out, size_t size, int hour);
inline uint32_t HourOfSeconds(uint32_t seconds) { return seconds / 3600; }
const char* FormatHourOfSeconds(char* out, size_t size, uint32_t seconds);

// Packed dates: day in bits 0-7, month 8-15, year 16-31.
inline uint32_t PackDate(unsigned day, unsigned month, unsigned year) {
  return (day & 0xFF) | ((month & 0xFF) << 8) | (year << 16);
}
// 0 Sunday .. 6 Saturday, or with the Monday-first week 0 Monday .. 6 Sunday;
// 7 for a date that does not exist.
int DayOfWeek(uint32_t packedDate);
// The date moved by whole days; a date that does not exist stays as it is.
uint32_t AddDaysToDate(uint32_t packedDate, int days);
// Seconds since 1970-01-01 of the record's date and time of day (no time zone).
int64_t HitTimeOf(const CHitRecord* record);

// The weekday of index 0..6 in the current week order; "" for another index.
// mode 1 takes the translation when there is one, any other mode English.
const char* WeekdayName(int index, int mode = 1);
// The full name of month 1..12; "" for another number.
const char* MonthName(int month, int mode = 1);
// The date in the workspace's order, separator, year and month form; with
// withWeekday and add_day_week on, followed by " (weekday)".
const char* FormatDate(char* out, size_t size, uint32_t packedDate, bool withWeekday);
// "404 - Not Found" with withText for a code of the table, else "404".
const char* StatusCodeText(char* out, size_t size, int code, bool withText);
inline bool IsErrorStatus(int code) { return code >= 400 && code <= 599; }

// ---------------------------------------------------------------------------
// Hosts and visitors

// The host text by host_represnt (name, address, or both), replaced by the
// workspace's comment for it with withComment; with withGeo and add_contry on,
// the geography of the address added.
const char* FormatHostText(char* out, size_t size, const CHitRecord* record, bool withGeo, bool withComment);
// Addresses as numbers when both have one; else the resolved names (none
// first), two without names by address.
int CompareByHost(const CHitRecord* a, const CHitRecord* b);
// The visitor identity: cookies when in use, else host and user agent. With
// lastOfVisitor, equal identities further apart than the session length
// compare by time (a later: 1, earlier: -1). Fits the record tree's visitor mode.
int CompareVisitors(const CHitRecord* a, const CHitRecord* b, const CHitRecord* lastOfVisitor);
int CompareVisitorNumbers(const CHitRecord* a, const CHitRecord* b);

// ---------------------------------------------------------------------------
// URLs and pages (CopyUrlWithoutScheme and DomainOfUrl: engine/tables/urltext.h)

// None, "" or exactly "http://".
bool IsSiteUrlUnset(const char* url);
// The first of the ';'-separated site addresses and the page with exactly one
// '/' between them; "" when that address is unset or 700 characters or longer.
const char* JoinSiteUrl(char* out, size_t size, const char* siteUrl, const char* page);
// The host (after an optional "http://" or "https://") is four dot-separated
// groups of digits followed by '/' or the end.
bool IsIpHostUrl(const char* url);
// The scheme-and-host part of url equals (ignoring case and a trailing '/') one
// of the workspace's site addresses. buffer (size bytes) receives that part.
bool MatchUrlList(const char* url, char* buffer, size_t size);
// The query of a page: after its first '?', or (for pages loaded with ignore_argm
// on) the query the pool keeps behind the marked page text. "" when there is none.
const char* QueryPartOfUrl(TextHandle page);
// The text after the last '\' or '/'.
const char* FileNameOfPath(const char* path);
// The page up to and including its last '/' or '\' before any '?'; "" when none.
const char* FolderOfUrl(char* out, const char* page, size_t size);
// ".ext" of the page's last name (up to a '?'); a folder or a name without one
// takes the extension of the site's first default document name.
const char* ExtensionOfPath(char* out, const char* page, size_t size);
// The searched words of a search-engine referrer by the parameters of site row
// siteIndex, lowered, with '+' as blanks, then URL-decoded by the row's
// character-set code (twice while a '%' remains after the first).
const char* FormatKeyText(char* out, const char* referrer, int siteIndex, size_t size);

// ---------------------------------------------------------------------------
// Referrers and table rows

enum ReferrerClass : int {
  kRefNone = 0,
  kRefSearchEngine = 1,
  kRefSpider = 2,
  kRefPayPerClick = 3,
  kRefAdvert = 4,
  kRefInternal = 5,
  kRefExternal = 6,
};
int ClassifyReferrer(const CHitRecord* record);
const char* ReferrerTypeText(const CHitRecord* record);
// The name of workspace group i; "Other" for a number outside the groups.
const char* FileTypeGroupName(int group);

// ---------------------------------------------------------------------------
// Report texts

// The key text of a report row of that kind from its representative record;
// longForm adds the details (host geography, browser class, status text, the
// full city and region). The Path report (24) takes its text from the path list.
const char* GetHitFieldText(int kind, char* out, const CHitRecord* record, size_t size, bool longForm);
// The singular title of a kind ("" for a kind without one).
const char* ReportKindTitle(int kind);
// The plural name of a kind in GetTerm mode `mode`; "(*)" for a kind without one.
const char* ColumnTerm(int kind, int mode = 1);
// The titles of the general statistics' groups 0..7.
const char* ReportGroupTitle(int n);
