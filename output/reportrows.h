// The row order and the numeric columns every report writer shares.
#pragma once
#include <string>
#include <vector>
#include <cstdint>

#include "engine/query/rowtable.h"

struct ReportColumns {
  uint32_t showHits = 1;
  uint32_t showPages = 1;
  uint32_t showVisitors = 1;
  uint32_t showBandwidth = 1;
  uint32_t showGroups = 1;  // preset by the caller; only ever cleared
  uint32_t showRowNumber = 1;
  uint32_t longKeyText = 1;
};

// Fills index with every row of table, sorted by compare, or when it is null by
// the kind's default order.
void SetReportSortOrder(int kind, const CRowTable& table, CRowIndex& index, SortCompareFn compare = nullptr);

// The columns of a kind. showGroups is in/out: the caller's value is kept or cleared.
void GetReportColumns(int kind, uint32_t* showHits, uint32_t* showPages, uint32_t* showVisitors,
                      uint32_t* showBandwidth, uint32_t* showGroups, uint32_t* showRowNumber, uint32_t* longKeyText);
// The same into a ReportColumns whose showGroups holds the caller's preset.
void GetReportColumns(int kind, ReportColumns& columns);

// Row comparators over the addresses of two CRow* elements.
int CompareByCount(const void* a, const void* b);  // hits, larger first
int CompareByValue(const void* a, const void* b);  // visitors, larger first
int CompareByKey2(const void* a, const void* b);   // packed date, ascending
int CompareByDayOfWeek(const void* a, const void* b);
int CompareByMonth(const void* a, const void* b);  // month alone, ascending
int CompareByHour(const void* a, const void* b);

// The lines of the general statistics, in the order every export writes them:
// a report term and its value as text (numbers plain, sizes formatted).
struct CSummaryStats;
struct SummaryLine {
  int term;
  std::string value;
  bool isNumber;
};
std::vector<SummaryLine> SummaryLines(const CSummaryStats& stats);
