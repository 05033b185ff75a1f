// The period of an ODBC read. RunPeriodDialog() opens on the stored period
// (g_periodFrom, g_periodTo); after OK it stores the dates and gives their
// packed bounds (0 for an open end) and returns true; Cancel (false) leaves
// the stored period and cancels the analysis.
#pragma once
#include <wx/dialog.h>

#include <cstdint>

#include "ui/core/dialogrules.h"

class wxCheckBox;
class wxDatePickerCtrl;

bool RunPeriodDialog(wxWindow* parent, uint32_t* fromDate, uint32_t* toDate);

class CPeriodDlg : public wxDialog {
 public:
  enum { ID_FROM = 1018, ID_TO = 1039, ID_FROM_SET = 1100, ID_TO_SET = 1101 };

  explicit CPeriodDlg(wxWindow* parent);

  // Set before ShowModal; read after OK.
  CPeriodDate m_from, m_to;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

  wxDatePickerCtrl* Picker(int end) const { return m_pickers[end]; }
  wxCheckBox* HasDate(int end) const { return m_boxes[end]; }

 private:
  void OnCheck(wxCommandEvent& event);

  wxDatePickerCtrl* m_pickers[2] = {};
  wxCheckBox* m_boxes[2] = {};
  wxDECLARE_EVENT_TABLE();
};
