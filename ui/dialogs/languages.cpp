#include "ui/dialogs/languages.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/sizer.h>

#include <string.h>
#include <strings.h>

#include "base/msgsink.h"
#include "engine/display/vocab.h"
#include "engine/tables/auxdb.h"
#include "platform/launcher.h"
#include "platform/wx/wxtext.h"
#include "ui/core/dialogrules.h"
#include "ui/dialogs/textprompt.h"
#include "ui/widgets/dialogbuttons.h"
#include "ui/widgets/opener.h"

bool ChooseReportLanguage(wxWindow* parent, std::string* name) {
  CChooseLanguageDlg dlg(parent);
  dlg.m_selected = *name;
  if (dlg.ShowModal() != wxID_OK) return false;
  *name = dlg.ChosenLanguage();
  return true;
}

// Chooser

wxBEGIN_EVENT_TABLE(CChooseLanguageDlg, wxDialog)
  EVT_BUTTON(CChooseLanguageDlg::ID_EDIT, CChooseLanguageDlg::OnEdit)
  EVT_BUTTON(CChooseLanguageDlg::ID_NEW, CChooseLanguageDlg::OnNew)
  EVT_LISTBOX_DCLICK(CChooseLanguageDlg::ID_LIST, CChooseLanguageDlg::OnDoubleClick)
wxEND_EVENT_TABLE()

CChooseLanguageDlg::CChooseLanguageDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Choose language"), m_inUse(LanguageNameOfPath(g_language.FileName())) {
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  m_list = new wxListBox(this, ID_LIST, wxDefaultPosition, FromDIP(wxSize(200, 170)), 0, nullptr, wxLB_SINGLE);
  top->Add(m_list, 1, wxALL | wxEXPAND, 10);
  auto* side = new wxBoxSizer(wxVERTICAL);
  auto* ok = new wxButton(this, wxID_OK, "&OK");
  ok->SetDefault();
  side->Add(ok, 0, wxEXPAND | wxBOTTOM, 5);
  side->Add(new wxButton(this, wxID_CANCEL, "&Cancel"), 0, wxEXPAND | wxBOTTOM, 15);
  side->Add(new wxButton(this, ID_EDIT, "&Edit Language"), 0, wxEXPAND | wxBOTTOM, 5);
  side->Add(new wxButton(this, ID_NEW, "&New Language"), 0, wxEXPAND);
  top->Add(side, 0, wxTOP | wxRIGHT | wxBOTTOM, 10);
  SetSizerAndFit(top);
}

std::string CChooseLanguageDlg::ChosenLanguage() const {
  return m_selected == kDefaultLanguageLine ? std::string() : m_selected;
}

void CChooseLanguageDlg::Fill() {
  m_list->Clear();
  m_list->Append(kDefaultLanguageLine);
  for (const std::string& name : FindLanguageFiles()) m_list->Append(tv::BytesToWx(name));
  for (unsigned i = 1; i < m_list->GetCount(); ++i)
    if (strcasecmp(tv::WxToBytes(m_list->GetString(i)).c_str(), m_selected.c_str()) == 0) {
      m_list->SetSelection(static_cast<int>(i));
      break;
    }
}

bool CChooseLanguageDlg::TransferDataToWindow() {
  Fill();
  return true;
}

bool CChooseLanguageDlg::TransferDataFromWindow() {
  std::string line = SelectedLine();
  if (!line.empty()) m_selected = line;
  return true;
}

std::string CChooseLanguageDlg::SelectedLine() const {
  int n = m_list->GetSelection();
  return n == wxNOT_FOUND ? std::string() : tv::WxToBytes(m_list->GetString(static_cast<unsigned>(n)));
}

void CChooseLanguageDlg::RestoreLanguageInUse() { ApplyReportLanguage(m_inUse.c_str()); }

void CChooseLanguageDlg::OnEdit(wxCommandEvent&) {
  std::string name = SelectedLine();
  if (name.empty() || name == kDefaultLanguageLine) return;
  FreeLanguageTexts();
  if (!LoadLanguage(name.c_str())) {
    RestoreLanguageInUse();
    EngineErrorF("The language \"%s\" could not be loaded; the language in use stays.", name.c_str());
    return;
  }
  CLanguageEditDlg editor(this, name);
  editor.ShowModal();
  RestoreLanguageInUse();
}

void CChooseLanguageDlg::OnNew(wxCommandEvent&) {
  CPromptDlg prompt(this);
  if (prompt.ShowModal() != wxID_OK || prompt.m_answer.empty()) return;
  std::string name, error;
  if (!NewLanguageFileName(tv::WxToBytes(prompt.m_answer), &name, &error)) {
    EngineError(error.c_str());
    return;
  }
  FreeLanguageTexts();  // a new language starts with no translations
  CLanguageEditDlg editor(this, name);
  bool saved = editor.ShowModal() == wxID_OK;
  RestoreLanguageInUse();
  if (saved) {
    std::string keep = m_selected;
    m_selected = name;
    Fill();
    m_selected = keep;
  }
}

void CChooseLanguageDlg::OnDoubleClick(wxCommandEvent&) {
  wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
  ok.SetEventObject(FindWindow(wxID_OK));
  ProcessWindowEvent(ok);
}

// Editor

wxBEGIN_EVENT_TABLE(CLanguageEditDlg, wxDialog)
  EVT_NOTEBOOK_PAGE_CHANGED(CLanguageEditDlg::ID_TABS, CLanguageEditDlg::OnTabChanged)
  EVT_LIST_ITEM_ACTIVATED(wxID_ANY, CLanguageEditDlg::OnActivated)
  EVT_BUTTON(wxID_OK, CLanguageEditDlg::OnSave)
  EVT_UPDATE_UI(wxID_OK, CLanguageEditDlg::OnUpdateSave)
wxEND_EVENT_TABLE()

CLanguageEditDlg::CLanguageEditDlg(wxWindow* parent, const std::string& fileName)
    : wxDialog(parent, wxID_ANY, "Language", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_fileName(fileName) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_tabs = new wxNotebook(this, ID_TABS);
  const char* titles[2] = {"Words and Phrases", "Countries"};
  for (int i = 0; i < 2; ++i) {
    m_lists[i] = new wxListCtrl(m_tabs, ID_LIST + i, wxDefaultPosition, FromDIP(wxSize(380, 330)),
                                wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES);
    m_lists[i]->SetToolTip("Double click on item to edit");
    m_tabs->AddPage(m_lists[i], titles[i]);
  }
  top->Add(m_tabs, 1, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&Save", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
  FillWords();
}

long CLanguageEditDlg::LineNumber(long line) const { return static_cast<long>(m_list->GetItemData(line)); }

void CLanguageEditDlg::FillWords() {
  m_mode = 0;
  m_list = m_lists[0];
  m_list->ClearAll();
  m_list->AppendColumn("English", wxLIST_FORMAT_LEFT, FromDIP(175));
  m_list->AppendColumn(tv::BytesToWx(m_fileName), wxLIST_FORMAT_LEFT, FromDIP(175));
  for (int id = 0; id < kTermCount; ++id) {
    long line = m_list->InsertItem(id, tv::BytesToWx(GetTerm(id, 0)));
    m_list->SetItem(line, 1, tv::BytesToWx(GetTerm(id, 2)));
    m_list->SetItemData(line, id);
  }
}

void CLanguageEditDlg::FillCountries() {
  m_mode = 1;
  m_list = m_lists[1];
  m_list->ClearAll();
  m_list->AppendColumn("Domain", wxLIST_FORMAT_LEFT, FromDIP(50));
  m_list->AppendColumn("Countrie", wxLIST_FORMAT_LEFT, FromDIP(300));
  for (int n = 0, count = GetCountryCount(); n < count; ++n) {
    long line = m_list->InsertItem(n, tv::BytesToWx(std::string(GetCountryRecord(n), strnlen(GetCountryRecord(n), 3))));
    m_list->SetItem(line, 1, tv::BytesToWx(GetCountryName(n)));
    m_list->SetItemData(line, n);
  }
  if (m_list->GetItemCount() > 0)
    m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  m_list->SetFocus();
}

void CLanguageEditDlg::OnTabChanged(wxBookCtrlEvent& event) {
  if (event.GetSelection() == 1) FillCountries();
  else FillWords();
}

void CLanguageEditDlg::OnActivated(wxListEvent& event) { EditLine(event.GetIndex()); }

void CLanguageEditDlg::EditLine(long line) {
  if (line < 0 || line >= m_list->GetItemCount()) return;
  int n = static_cast<int>(LineNumber(line));
  const char* current = m_mode == 0 ? GetTerm(n, 2) : GetCountryName(n);
  CPromptDlg prompt(this, wxString(), tv::BytesToWx(current));
  if (prompt.ShowModal() != wxID_OK) return;
  std::string answer = tv::WxToBytes(prompt.m_answer);
  if (m_mode == 0) {
    m_changed += SetTerm(n, answer.c_str());
    m_list->SetItem(line, 1, tv::BytesToWx(GetTerm(n, 2)));
  } else {
    m_changed += g_language.SetCountryName(n, answer.c_str()) ? 1 : 0;
    m_list->SetItem(line, 1, tv::BytesToWx(GetCountryName(n)));
  }
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
}

void CLanguageEditDlg::OnUpdateSave(wxUpdateUIEvent& event) { event.Enable(m_changed != 0); }

void CLanguageEditDlg::OnSave(wxCommandEvent&) {
  if (!m_changed) return;
  int answer = wxMessageBox("Please send to us edited data (via e-mail).\n\nSend data?", "Language",
                            wxYES_NO | wxICON_QUESTION, this);
  if (answer == wxYES) {
    std::string mail = LanguageCorrection(m_fileName.c_str());
    // The editor is gone when the answer comes: the message has no owner.
    if (!mail.empty())
      OpenOrReport(mail, [](const wxString& failed) { wxMessageBox(failed, "Language", wxOK | wxICON_EXCLAMATION); });
  } else {
    SaveLanguage(m_fileName.c_str());
  }
  EndDialog(wxID_OK);
}
