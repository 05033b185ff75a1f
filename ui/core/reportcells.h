// What a report list shows: its columns per report kind, the text and image
// of every cell, the default column widths and the row order of a column.
// Plain C++ so that it is tested without a display.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/query/rowtable.h"

// Column types: 1-30 key columns (the type is the report kind whose key the
// column shows), 101-128 value columns, 200 + n extra column n, 255 unused.
enum : uint8_t {
  kColHits = 101,
  kColBytesSent = 102,
  kColVisitors = 103,
  kColPages = 104,
  kColBytesReceived = 105,
  kColStatus = 106,
  kColDateTime = 107,
  kColHitSent = 108,
  kColHitReceived = 109,
  kColUserAgent = 110,
  kColCookie = 111,
  kColGroupHits = 112,   // + 2g
  kColGroupBytes = 113,  // + 2g
  kColSummaryLabel = 126,
  kColSummaryValue = 127,
  kColSubdomain = 128,
  kColExtra = 200,  // + n
  kColUnused = 255,
};

// One column of a report list: title, alignment (0 left, 1 right) and type.
struct ReportColumnDef {
  std::string title;
  int format;
  int type;
};

// The columns of a kind in order, with the group columns of the side list
// (step 1 of filling it) and the extra columns of the kind's configuration.
// levelAboveKind is the kind of the navigation level above, -1 at the top.
std::vector<ReportColumnDef> ReportColumnDefs(int kind, int levelAboveKind);
// Just the extra columns / just the per-group columns, as above.
std::vector<ReportColumnDef> CustomColumnDefs(int kind);
// The configured ids (2-7) of the kind's extra columns, in order; returns how
// many (at most 5). Also the key kinds the query counts for them.
int ExtraColumnIds(int kind, int ids[5]);
// The same ids as the query's extra key kinds: zero-ended, for RunQuery.
const uint32_t* ExtraQueryKinds(int kind, uint32_t kinds[6]);
std::vector<ReportColumnDef> GroupColumnDefs(int kind, int levelAboveKind);

// The side list of groups: one item per workspace group ("..." for an empty
// name) and "All Others", each with image 27 (checked) or 28.
struct SideListItem {
  std::string text;
  int image;
};
std::vector<SideListItem> SideListItems();

// Items a list shows for a kind and table: 15 or 16 for the summary, else the
// rows plus a leading totals row when there are at least 2 and the kind is not 43.
uint32_t ReportItemCount(int kind, const CRowTable* table);
uint32_t ReportLeadingRows(int kind, const CRowTable* table);

// Cell texts live in one buffer of this size; longer texts are cut to fit.
constexpr size_t kCellTextSize = 700;

// The text of one cell; valid until the next call (one shared buffer).
const char* GetReportCellText(const CRowTable* rowTable, const CRowIndex& rows, int kind, int columnType, int64_t item,
                              int column);
// The text of one value or key cell of a row of table; row null for the totals
// row itself (the table's totals, no percentages, empty key cells). Valid until
// the next call, like GetReportCellText.
const char* FormatReportCell(int columnType, const CRowTable* table, const CRow* row);

// Indexes into the report image strip (36 images).
int GetReportRowImage(const CRowIndex& rows, int kind, int64_t item, uint32_t leadingRows);
int GetRecordImage(int kind, const CRow* row);

int GetDefaultColumnWidth(int columnType);
// The widest value a column's default width is made for (a count with its
// percentage, a size, "200 - OK"), or null when the width is not made for
// one value; the list widens the default to show it in its own font.
const char* DefaultColumnSample(int columnType);

// The sort parameters CompareReportRows reads; written before every sort.
// table gives the row layout (group slots, extra columns); without it those
// columns compare equal.
void SetReportSortParameters(int columnType, bool ascending, int kind, const CRowTable* table);
// Row comparator for CRowIndex::Sort: the addresses of two CRow* elements.
int CompareReportRows(const void* a, const void* b);
// Sorts rows as a stable sort with CompareReportRows would (it sets the sort
// parameters), making each row's key once per sort.
void SortReportRows(CRowIndex& rows, int columnType, bool ascending, int kind, const CRowTable* table);

// The sort state as stored under "Or": the column when ascending, its negative
// when descending, 500 for column 0 descending. False (nothing to store) for an
// unsorted list (column below 0): -1 would read back as column 1 descending.
bool EncodeSortState(int column, bool ascending, int* value);
// 500 and above: column 0 descending; -c: column c descending; else ascending.
void DecodeSortState(int value, int* column, bool* ascending);
// The order a freshly filled list gets: the state stored under "Or" for the
// kind, else column 1 (hits) descending. False when the list keeps row order
// (the summary always; kind 43 without a stored state).
bool ReportInitialSort(int kind, int* column, bool* ascending);
