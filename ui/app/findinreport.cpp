#include "ui/app/findinreport.h"

#include <wx/toplevel.h>
#include <wx/utils.h>

#include "platform/wx/wxtext.h"
#include "ui/core/findreport.h"
#include "ui/core/navigationstate.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

bool CanFindInReport(bool textTest) {
  return FindInReportAllowed(GetCurrentReportType(), CurrentReportList != nullptr, textTest);
}

void FindInReport() {
  AppendProgressText("Search start");
  CSortListCtrl* list = CurrentReportList;
  if (g_searchText.empty() || g_nav.findPosition == -1 || !list) return;
  int32_t position = g_nav.findPosition;
  switch (FindNextReportItem(list->reportKind, list->rowTable, list->rows, list->leadingRows, g_searchText,
                             g_searchMatchCase, &position)) {
    case FindOutcome::kFound:
      AppendProgressText("Found!");
      g_nav.findPosition = position;
      list->SelectOnly(position);
      list->Refresh();
      break;
    case FindOutcome::kNotFound:
      AppendProgressText("Not found");
      wxBell();
      break;
    case FindOutcome::kSkipped: break;
  }
}

void OnFindInReport() {
  if (!CanFindInReport(false)) {
    wxBell();
    return;
  }
  CSearchDlg dialog(wxGetTopLevelParent(CurrentReportList));
  dialog.m_text = tv::BytesToWx(g_searchText);
  dialog.m_caseSensitive = g_searchMatchCase;
  if (dialog.ShowModal() != wxID_OK) return;
  g_searchText = tv::WxToBytes(dialog.m_text);
  g_searchMatchCase = dialog.m_caseSensitive;
  FindInReport();
}

void OnFindAgain() {
  if (!CanFindInReport(true)) {
    wxBell();
    return;
  }
  FindInReport();
}
