#include "ui/dialogs/options.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cstring>

#include "platform/wx/wxtext.h"
#include "ui/dialogs/languages.h"
#include "ui/widgets/dialogbuttons.h"

namespace {

struct SwitchDef {
  int id;
  const char* text;
  int32_t SettingsBlock::*key;
};
const SwitchDef kSwitchDefs[COptionsPage::kSwitches] = {
    {COptionsPage::ID_PROC_HITS, "Add percent to &Hit Column", &SettingsBlock::add_proc_h},
    {COptionsPage::ID_PROC_VISITORS, "Add percent to Visitors  &Column", &SettingsBlock::add_proc_u},
    {COptionsPage::ID_PROC_BANDWIDTH, "Add percent to &Bandwidth", &SettingsBlock::add_proc_b},
    {COptionsPage::ID_PROC_PAGES, "Add percent to &Page Colomn", &SettingsBlock::add_proc_p},
    {COptionsPage::ID_COUNTRY, "&Add country to IP", &SettingsBlock::add_contry},
    {COptionsPage::ID_NO_REFER, "Show \"No &Referrer\"", &SettingsBlock::no_refer},
    {COptionsPage::ID_NO_AGENT, "Show \"No &User Agent\"", &SettingsBlock::no_user_a},
    {COptionsPage::ID_DAY_OF_WEEK, "Add Day Of &Week to Date", &SettingsBlock::add_day_week},
};

}  // namespace

bool RunOptionsDialog(wxWindow* parent) {
  COptionsDlg dlg(parent);
  dlg.SetFrom(g_settings);
  if (dlg.ShowModal() != wxID_OK) return false;
  g_settingsWork = g_settings;
  dlg.CopyTo(&g_settingsWork);
  SaveConfig();
  return true;
}

wxBEGIN_EVENT_TABLE(COptionsPage, wxPanel)
  EVT_BUTTON(COptionsPage::ID_CHOOSE_LANGUAGE, COptionsPage::OnChooseLanguage)
wxEND_EVENT_TABLE()

COptionsPage::COptionsPage(COptionsDlg* dialog) : wxPanel(dialog), m_dialog(dialog) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  for (int i = 0; i < kSwitches; ++i) {
    m_boxes[i] = new wxCheckBox(this, kSwitchDefs[i].id, kSwitchDefs[i].text);
    top->Add(m_boxes[i], 0, wxBOTTOM, 6);
  }
  top->Add(new wxStaticText(this, wxID_ANY, "Language for reports:"), 0, wxTOP, 6);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  m_languageEdit = new wxTextCtrl(this, ID_LANGUAGE, wxString(), wxDefaultPosition, FromDIP(wxSize(220, -1)),
                                  wxTE_READONLY);
  row->Add(m_languageEdit, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
  row->Add(new wxButton(this, ID_CHOOSE_LANGUAGE, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
           wxALIGN_CENTER_VERTICAL);
  top->Add(row, 0, wxEXPAND | wxTOP, 4);
  SetSizer(top);
}

bool COptionsPage::TransferDataToWindow() {
  for (int i = 0; i < kSwitches; ++i) m_boxes[i]->SetValue(m_switch[i] != 0);
  m_shownLanguage = m_language;
  m_languageEdit->ChangeValue(tv::BytesToWx(m_shownLanguage));
  return true;
}

bool COptionsPage::TransferDataFromWindow() {
  for (int i = 0; i < kSwitches; ++i) m_switch[i] = m_boxes[i]->GetValue() ? 1 : 0;
  m_language = m_shownLanguage;
  return true;
}

void COptionsPage::OnChooseLanguage(wxCommandEvent&) {
  std::string name = m_shownLanguage;
  if (!ChooseReportLanguage(m_dialog, &name)) return;
  m_shownLanguage = name;
  m_languageEdit->ChangeValue(tv::BytesToWx(m_shownLanguage));
}

COptionsDlg::COptionsDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Options") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_page = new COptionsPage(this);
  top->Add(m_page, 1, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "OK", "Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

void COptionsDlg::SetFrom(const SettingsBlock& settings) {
  for (int i = 0; i < COptionsPage::kSwitches; ++i) m_page->m_switch[i] = settings.*kSwitchDefs[i].key != 0;
  m_page->m_language = settings.Language;
}

void COptionsDlg::CopyTo(SettingsBlock* settings) const {
  for (int i = 0; i < COptionsPage::kSwitches; ++i) settings->*kSwitchDefs[i].key = m_page->m_switch[i];
  size_t n = std::min(m_page->m_language.size(), kMaxLanguageName);
  memcpy(settings->Language, m_page->m_language.data(), n);
  settings->Language[n] = 0;
}

bool COptionsDlg::TransferDataToWindow() { return m_page->TransferDataToWindow(); }
bool COptionsDlg::TransferDataFromWindow() { return m_page->TransferDataFromWindow(); }
