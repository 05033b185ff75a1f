// Putting one report into a report list: item count, rows, columns, the
// order and the selection, and the pane's side list of file-type groups.
#pragma once
#include <wx/listctrl.h>

#include "engine/query/rowtable.h"
#include "ui/widgets/reportlistctrl.h"

// Shows the report of kind (rows of rowTable; null for the summary) in list.
// groupsList is the pane's side list of groups, or null. refreshOnly keeps the
// columns, the order and the selection (the rows are taken afresh).
void ShowReportInList(int kind, CSortListCtrl* list, CRowTable* rowTable, wxListCtrl* groupsList, bool refreshOnly);

// Rebuilds the columns of list for kind and refills the side list.
void SetupReportColumns(int kind, CSortListCtrl* list, wxListCtrl* groupsList);

// Refills the side list: one item per workspace group and "All Others", each
// checked or not, with the report image strip.
void FillSideList(wxListCtrl* groupsList);

// For tests: the next fill reads "ActiveListItem" again.
void ForgetActiveListItem();
