#include "ui/dialogs/filetypegroup.h"

#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/wx/wxtext.h"
#include "ui/widgets/dialogbuttons.h"

CGroupDlg::CGroupDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Group") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(2, wxSize(8, 8));
  grid->AddGrowableCol(1);
  grid->Add(new wxStaticText(this, wxID_ANY, "Name:"), 0, wxALIGN_CENTER_VERTICAL);
  m_nameEdit = new wxTextCtrl(this, ID_NAME, wxString(), wxDefaultPosition, wxSize(FromDIP(260), -1));
  grid->Add(m_nameEdit, 1, wxEXPAND);
  grid->Add(new wxStaticText(this, wxID_ANY, "Exension file:"), 0, wxALIGN_CENTER_VERTICAL);
  m_masksEdit = new wxTextCtrl(this, ID_MASKS);
  grid->Add(m_masksEdit, 1, wxEXPAND);
  top->Add(grid, 0, wxALL | wxEXPAND, 10);

  auto* box = new wxStaticBoxSizer(wxHORIZONTAL, this, "Type");
  // Index order is the group type: other, downloads, pages.
  m_radios[0] = new wxRadioButton(box->GetStaticBox(), ID_OTHER, "&Other", wxDefaultPosition, wxDefaultSize,
                                  wxRB_GROUP);
  m_radios[1] = new wxRadioButton(box->GetStaticBox(), ID_DOWNLOADS, "&Downloads");
  m_radios[2] = new wxRadioButton(box->GetStaticBox(), ID_PAGES, "&Pages");
  for (wxRadioButton* radio : m_radios) box->Add(radio, 0, wxALL, 5);
  top->Add(box, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "OK", "Cancel"), 0, wxALL | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
  m_nameEdit->SetFocus();
}

bool CGroupDlg::TransferDataToWindow() {
  m_nameEdit->ChangeValue(tv::BytesToWx(m_name));
  m_masksEdit->ChangeValue(tv::BytesToWx(m_masks));
  m_radios[(m_type >= 0 && m_type <= 2) ? m_type : 0]->SetValue(true);
  return true;
}

bool CGroupDlg::TransferDataFromWindow() {
  m_name = tv::WxToBytes(m_nameEdit->GetValue());
  m_masks = tv::WxToBytes(m_masksEdit->GetValue());
  for (int i = 0; i < 3; ++i)
    if (m_radios[i]->GetValue()) m_type = i;
  return true;
}

bool EditGroupInDialog(wxWindow* parent, std::string& name, std::string& masks, uint16_t& type) {
  CGroupDlg dlg(parent);
  dlg.m_name = name;
  dlg.m_masks = masks;
  dlg.m_type = type;
  if (dlg.ShowModal() != wxID_OK) return false;
  name = dlg.m_name;
  masks = dlg.m_masks;
  type = static_cast<uint16_t>(dlg.m_type);
  return true;
}
