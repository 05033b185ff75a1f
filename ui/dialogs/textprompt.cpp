#include "ui/dialogs/textprompt.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/widgets/dialogbuttons.h"

CPromptDlg::CPromptDlg(wxWindow* parent, const wxString& prompt, const wxString& answer)
    : wxDialog(parent, wxID_ANY, wxString()), m_prompt(prompt), m_answer(answer) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_promptText = new wxStaticText(this, ID_PROMPT, m_prompt);
  top->Add(m_promptText, 0, wxLEFT | wxRIGHT | wxTOP | wxEXPAND, 10);
  m_answerEdit = new wxTextCtrl(this, ID_ANSWER, wxString(), wxDefaultPosition, wxSize(FromDIP(320), -1));
  top->Add(m_answerEdit, 0, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&OK", "&Cancel"), 0, wxALL | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
  m_answerEdit->SetFocus();
}

bool CPromptDlg::TransferDataToWindow() {
  m_promptText->SetLabel(m_prompt);
  m_promptText->Show(!m_prompt.empty());
  m_answerEdit->ChangeValue(m_answer);
  m_answerEdit->SelectAll();
  GetSizer()->SetSizeHints(this);  // no room kept for a hidden prompt
  return true;
}

bool CPromptDlg::TransferDataFromWindow() {
  m_answer = m_answerEdit->GetValue();
  return true;
}
