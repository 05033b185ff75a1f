// The date filter as tests drive it: the parts of a date picker a user types
// in and drops down, and what the report on show counts under a date filter,
// worked out by the engine apart from the windows.
#pragma once
// Before the date picker: on GTK the calendar class is a name for the native one.
#include <wx/calctrl.h>
#include <wx/combo.h>
#include <wx/datectrl.h>

#include <cstdint>

#include "engine/query/query.h"
#include "engine/store/project.h"
#include "ui/core/navigationstate.h"
#include "ui/core/uistate.h"

namespace wxtest {

// The combo of a date picker (GTK has no native picker): its text field and
// its drop-down calendar.
inline wxComboCtrl* ComboOf(wxDatePickerCtrl* picker) {
  for (wxWindow* child : picker->GetChildren())
    if (auto* combo = dynamic_cast<wxComboCtrl*>(child)) return combo;
  return nullptr;
}

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
