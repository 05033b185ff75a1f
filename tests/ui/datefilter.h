// What the report on show counts under a date filter, worked out by the
// engine apart from the windows: the figure a date picker's re-run must show.
#pragma once
#include <cstdint>

#include "engine/query/query.h"
#include "engine/store/project.h"
#include "ui/core/navigationstate.h"
#include "ui/core/uistate.h"

namespace wxtest {

// The hits of the current report between from and to (0: that bound off).
inline uint32_t HitsBetween(uint32_t from, uint32_t to) {
  CQueryParams params = g_uiQuery;
  params.dateFromOn = from ? 1 : 0;
  params.dateToOn = to ? 1 : 0;
  if (from) params.dateFrom = from;
  if (to) params.dateTo = to;
  CRowTable expected;
  RunQuery(g_project, GetCurrentReportType(), expected, params);
  return expected.totals.hits;
}

}  // namespace wxtest
