// Choosing a report list's row in a test as a click does, so navigation
// records the selection.
#pragma once
#include <wx/listctrl.h>

#include "ui/core/navigationstate.h"
#include "ui/widgets/reportlistctrl.h"

namespace wxtest {

// Selects item alone; true when navigation has a selected row then.
inline bool ChooseListRow(CSortListCtrl* list, long item) {
  list->SelectOnly(item);
  if (!HasSelectedRow()) {
    wxListEvent event(wxEVT_LIST_ITEM_SELECTED, list->GetId());
    event.SetEventObject(list);
    event.m_itemIndex = item;
    list->GetEventHandler()->ProcessEvent(event);
  }
  return HasSelectedRow();
}

}  // namespace wxtest
