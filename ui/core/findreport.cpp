#include "ui/core/findreport.h"

#include <cstring>

#include "base/textutil.h"
#include "engine/store/reportkind.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

std::string g_searchText;
bool g_searchMatchCase = false;

bool FindInReportAllowed(int kind, bool haveList, bool textTest) {
  if (kind == kReportNone || kind == kReportSpiderTree || kind == kReportSummary || kind == kReportItems) return false;
  if (!haveList || g_runPending) return false;
  return !textTest || !g_searchText.empty();
}

const char* FindKeyText(int kind, const CRowTable* table, const CRow* row) {
  // The key cell of the kind is what the list's first column shows.
  return FormatReportCell(kind, table, row);
}

bool KeyTextMatches(const char* key, const std::string& text, bool matchCase) {
  if (!key || text.empty()) return false;
  return matchCase ? strstr(key, text.c_str()) != nullptr : FindNoCase(key, text.c_str()) != nullptr;
}

FindOutcome FindNextReportItem(int kind, const CRowTable* table, const CRowIndex& rows, uint32_t leadingRows,
                               const std::string& text, bool matchCase, int32_t* position) {
  if (text.empty() || *position < 0) return FindOutcome::kSkipped;
  const int64_t end = static_cast<int64_t>(leadingRows) + rows.Count();
  for (int64_t item = static_cast<int64_t>(*position) + 1; item < end; ++item) {
    if (item < leadingRows) continue;  // the totals row
    const CRow* row = rows[static_cast<uint32_t>(item - leadingRows)];
    if (!row || !row->Record()) continue;
    if (KeyTextMatches(FindKeyText(kind, table, row), text, matchCase)) {
      *position = static_cast<int32_t>(item);
      return FindOutcome::kFound;
    }
  }
  return FindOutcome::kNotFound;
}
