// The program's options: the report switches and the report language of
// Trailvane.cfg. RunOptionsDialog() fills the dialog from the settings in
// effect and, after OK, stores its values as the settings to save and writes
// the file (which applies them and loads the language); true then, and the
// caller refreshes the reports. Cancel changes nothing.
#pragma once
#include <wx/dialog.h>
#include <wx/panel.h>

#include <string>

#include "engine/config/settings.h"

class wxCheckBox;
class wxTextCtrl;
class COptionsDlg;

bool RunOptionsDialog(wxWindow* parent);

class COptionsPage : public wxPanel {
 public:
  enum {
    ID_PROC_HITS = 1020, ID_PROC_VISITORS = 1022, ID_PROC_BANDWIDTH = 1021, ID_PROC_PAGES = 1029,
    ID_COUNTRY = 1017, ID_NO_REFER = 1024, ID_NO_AGENT = 1025, ID_DAY_OF_WEEK = 1027,
    ID_LANGUAGE = 1015, ID_CHOOSE_LANGUAGE = 1000,
  };
  static constexpr int kSwitches = 8;

  COptionsPage(COptionsDlg* dialog);

  // The switches in the order of the ids above, 0 or 1, and the language ("" built-in).
  int32_t m_switch[kSwitches] = {};
  std::string m_language;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  void OnChooseLanguage(wxCommandEvent& event);

  COptionsDlg* m_dialog;
  wxCheckBox* m_boxes[kSwitches] = {};
  wxTextCtrl* m_languageEdit = nullptr;
  std::string m_shownLanguage;  // in the edit until OK
  wxDECLARE_EVENT_TABLE();
};

class COptionsDlg : public wxDialog {
 public:
  explicit COptionsDlg(wxWindow* parent);

  // The page's values from a settings block, and back into one (only the
  // switches and the language).
  void SetFrom(const SettingsBlock& settings);
  void CopyTo(SettingsBlock* settings) const;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

  COptionsPage* m_page = nullptr;
};
