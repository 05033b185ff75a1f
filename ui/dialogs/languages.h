// Choosing, creating and translating report languages.
//
// Choosing: ChooseReportLanguage() runs the chooser preselected with *name
// (the empty name is the built-in language) and, after OK, stores the choice
// there, again the empty name for the built-in one. The language in use when
// the chooser opened stays loaded whatever is edited in it; the caller applies
// the choice.
#pragma once
#include <wx/dialog.h>

#include <string>

class wxListBox;
class wxListCtrl;
class wxListEvent;
class wxNotebook;
class wxBookCtrlEvent;

// Runs the chooser; true (and *name set) after OK.
bool ChooseReportLanguage(wxWindow* parent, std::string* name);

class CChooseLanguageDlg : public wxDialog {
 public:
  enum { ID_LIST = 1002, ID_EDIT = 1000, ID_NEW = 1031 };

  explicit CChooseLanguageDlg(wxWindow* parent);

  // The line's text: a language file name or kDefaultLanguageLine. Set before
  // ShowModal, read after OK (Cancel leaves it as it was set).
  std::string m_selected;
  // The choice as a setting: "" for the built-in language.
  std::string ChosenLanguage() const;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  void Fill();
  std::string SelectedLine() const;
  // The language in use when the dialog opened comes back after each edit.
  void RestoreLanguageInUse();
  void OnEdit(wxCommandEvent& event);
  void OnNew(wxCommandEvent& event);
  void OnDoubleClick(wxCommandEvent& event);

  wxListBox* m_list = nullptr;
  std::string m_inUse;
  wxDECLARE_EVENT_TABLE();
};

// Shows every report term and every country name with its translation and
// saves the language under its file name. Edits change the loaded language at
// once; Cancel only skips the save.
class CLanguageEditDlg : public wxDialog {
 public:
  enum { ID_TABS = 1002, ID_LIST = 1012 };

  CLanguageEditDlg(wxWindow* parent, const std::string& fileName);

  std::string m_fileName;
  int m_mode = 0;      // 0 words and phrases, 1 countries
  int m_changed = 0;   // set once a translation changed

  wxListCtrl* List() const { return m_list; }
  // The line's number: a term or a country.
  long LineNumber(long line) const;
  // Edits the line as a double click does.
  void EditLine(long line);

 private:
  void FillWords();
  void FillCountries();
  void OnTabChanged(wxBookCtrlEvent& event);
  void OnActivated(wxListEvent& event);
  void OnSave(wxCommandEvent& event);
  void OnUpdateSave(wxUpdateUIEvent& event);

  wxNotebook* m_tabs = nullptr;
  wxListCtrl* m_lists[2] = {};
  wxListCtrl* m_list = nullptr;
  wxDECLARE_EVENT_TABLE();
};
