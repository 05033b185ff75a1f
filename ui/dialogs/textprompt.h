// Asks for one line of text: a new language's name or one translation. The
// caller sets the prompt and the answer before ShowModal and reads the answer
// after wxID_OK.
#pragma once
#include <wx/dialog.h>
#include <wx/string.h>

class wxStaticText;
class wxTextCtrl;

class CPromptDlg : public wxDialog {
 public:
  enum { ID_PROMPT = 1026, ID_ANSWER = 1015 };

  explicit CPromptDlg(wxWindow* parent, const wxString& prompt = wxString(), const wxString& answer = wxString());

  wxString m_prompt;
  wxString m_answer;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  wxStaticText* m_promptText = nullptr;
  wxTextCtrl* m_answerEdit = nullptr;
};
