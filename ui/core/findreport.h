// Find In Report and Find Again without a window: the search text of the
// "Search" dialog, when the commands may run and which row they find.
#pragma once
#include <cstdint>
#include <string>

#include "engine/query/rowtable.h"

// Set by the "Search" dialog on OK.
extern std::string g_searchText;
extern bool g_searchMatchCase;

// False for the log files, the spider tree, the summary and the items list,
// without a report list or while a result is pending; with textTest also for
// an empty search text.
bool FindInReportAllowed(int kind, bool haveList, bool textTest);

// The text a row is searched in: its key as the list shows it (for a path
// report the whole path, not its first page), at most kCellTextSize - 1 bytes.
// Valid until the next cell text is made.
const char* FindKeyText(int kind, const CRowTable* table, const CRow* row);

// Whether text occurs in key, exactly or ignoring case.
bool KeyTextMatches(const char* key, const std::string& text, bool matchCase);

enum class FindOutcome { kSkipped, kFound, kNotFound };

// One search step over the items of a list (leadingRows totals items, then
// rows): the first item after *position whose row's key text holds text
// becomes *position (kFound). A miss keeps *position. Nothing is searched
// (kSkipped) for an empty text or no position (-1).
FindOutcome FindNextReportItem(int kind, const CRowTable* table, const CRowIndex& rows, uint32_t leadingRows,
                               const std::string& text, bool matchCase, int32_t* position);
