#include "ui/dialogs/odbcperiod.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/datectrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "ui/widgets/dialogbuttons.h"

bool RunPeriodDialog(wxWindow* parent, uint32_t* fromDate, uint32_t* toDate) {
  CPeriodDlg dlg(parent);
  dlg.m_from = g_periodFrom;
  dlg.m_to = g_periodTo;
  if (dlg.ShowModal() != wxID_OK) return false;
  g_periodFrom = dlg.m_from;
  g_periodTo = dlg.m_to;
  *fromDate = g_periodFrom.Packed();
  *toDate = g_periodTo.Packed();
  return true;
}

wxBEGIN_EVENT_TABLE(CPeriodDlg, wxDialog)
  EVT_CHECKBOX(CPeriodDlg::ID_FROM_SET, CPeriodDlg::OnCheck)
  EVT_CHECKBOX(CPeriodDlg::ID_TO_SET, CPeriodDlg::OnCheck)
wxEND_EVENT_TABLE()

CPeriodDlg::CPeriodDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Period") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(3, 6, 8);
  const char* labels[2] = {"From:", "To:"};
  const int ids[2] = {ID_FROM, ID_TO}, boxIds[2] = {ID_FROM_SET, ID_TO_SET};
  for (int i = 0; i < 2; ++i) {
    grid->Add(new wxStaticText(this, wxID_ANY, labels[i]), 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
    m_boxes[i] = new wxCheckBox(this, boxIds[i], wxString());
    grid->Add(m_boxes[i], 0, wxALIGN_CENTER_VERTICAL);
    m_pickers[i] = new wxDatePickerCtrl(this, ids[i], wxDefaultDateTime, wxDefaultPosition, wxDefaultSize,
                                        wxDP_DROPDOWN | wxDP_SHOWCENTURY);
    grid->Add(m_pickers[i], 0, wxALIGN_CENTER_VERTICAL | wxEXPAND);
  }
  grid->AddGrowableCol(2);
  top->Add(grid, 0, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&OK", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

bool CPeriodDlg::TransferDataToWindow() {
  const CPeriodDate* ends[2] = {&m_from, &m_to};
  for (int i = 0; i < 2; ++i) {
    const CPeriodDate& d = *ends[i];
    bool has = d.valid && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
               d.day <= wxDateTime::GetNumberOfDays(static_cast<wxDateTime::Month>(d.month - 1), d.year);
    wxDateTime date = wxDateTime::Today();
    if (has) date.Set(static_cast<wxDateTime::wxDateTime_t>(d.day), static_cast<wxDateTime::Month>(d.month - 1), static_cast<int>(d.year));
    m_pickers[i]->SetValue(date);
    m_boxes[i]->SetValue(has);
    m_pickers[i]->Enable(has);
  }
  return true;
}

bool CPeriodDlg::TransferDataFromWindow() {
  CPeriodDate* ends[2] = {&m_from, &m_to};
  for (int i = 0; i < 2; ++i) {
    *ends[i] = CPeriodDate();
    wxDateTime date = m_pickers[i]->GetValue();
    if (!m_boxes[i]->GetValue() || !date.IsValid()) continue;
    ends[i]->day = static_cast<uint8_t>(date.GetDay());
    ends[i]->month = static_cast<uint8_t>(date.GetMonth() + 1);
    ends[i]->year = static_cast<uint16_t>(date.GetYear());
    ends[i]->valid = true;
  }
  return true;
}

void CPeriodDlg::OnCheck(wxCommandEvent& event) {
  int i = event.GetId() == ID_FROM_SET ? 0 : 1;
  m_pickers[i]->Enable(m_boxes[i]->GetValue());
}
