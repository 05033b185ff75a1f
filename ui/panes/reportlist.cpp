#include "ui/panes/reportlist.h"

#include <string>
#include <vector>

#include "engine/store/reportkind.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

namespace {

// "ActiveListItem" restores the row selected when the program last closed,
// once per run.
bool s_activeItemFound = false;
constexpr size_t kActiveItemSize = 600;

}  // namespace

void ForgetActiveListItem() { s_activeItemFound = false; }

void ShowReportInList(int kind, CSortListCtrl* list, CRowTable* rowTable, wxListCtrl* groupsList, bool refreshOnly) {
  if (!g_lastQueryRan && list->reportKind == kind && list->level == g_navLevel) {
    if (refreshOnly) return;
    CurrentReportList = list;
    list->Refresh();
    return;
  }

  list->reportKind = kind;
  list->level = static_cast<int8_t>(g_navLevel);
  list->rowTable = rowTable;
  list->leadingRows = ReportLeadingRows(kind, rowTable);
  // The summary has no rows; keeping the old index would leave it pointing
  // into a table that may be gone.
  if (kind == kReportSummary || !rowTable) list->rows.Free();
  else list->rows.Build(*rowTable);
  list->SetItemCount(ReportItemCount(kind, rowTable));

  if (refreshOnly) {
    // The rows came back in table order: put them in the order on show.
    if (list->sortColumn >= 0) list->SetSortColumn(list->sortColumn, list->sortAscending != 0);
    list->RefreshItemCount();
    return;
  }

  SetupReportColumns(kind, list, groupsList);
  list->ResetSort();
  // Unsorted until an order applies (a stored column the report lacks gives
  // none): nothing is stored for the kind then, and a first header click
  // takes the column's own direction.
  list->sortColumn = -1;
  int column;
  bool ascending;
  if (ReportInitialSort(kind, &column, &ascending)) list->SetSortColumn(column, ascending);

  std::string active;
  if (!s_activeItemFound && tv::RegReadString("ActiveListItem", &active, kActiveItemSize)) {
    s_activeItemFound = true;
    list->SelectRowByText(active.c_str());
  } else {
    list->SelectOnly(0);
  }
  CurrentReportList = list;
  list->RefreshItemCount();
}

void SetupReportColumns(int kind, CSortListCtrl* list, wxListCtrl* groupsList) {
  list->DeleteAllColumns();
  int above = list->level > 0 && list->level < kNavigationLevels ? g_levelKinds[list->level - 1] : -1;
  for (const ReportColumnDef& def : ReportColumnDefs(kind, above))
    list->AddColumn(def.title.c_str(), def.format, def.type);
  if (groupsList) FillSideList(groupsList);
  list->SetWindowStyleFlag(list->GetWindowStyleFlag() | wxLC_HRULES | wxLC_VRULES);
}

void FillSideList(wxListCtrl* groupsList) {
  groupsList->SetImageList(ReportImages(), wxIMAGE_LIST_SMALL);
  groupsList->DeleteAllItems();
  if (groupsList->InReportView() && groupsList->GetColumnCount() == 0) groupsList->AppendColumn(wxString());
  long i = 0;
  for (const SideListItem& item : SideListItems()) groupsList->InsertItem(i++, tv::BytesToWx(item.text), item.image);
}
