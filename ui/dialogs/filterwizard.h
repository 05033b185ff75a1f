// The "Filter Wizard": a type page, then the page of the chosen kind (host or
// address, method, response code, or a text). Filled from its values before
// it runs; Values() holds the choices after wxID_OK only.
#pragma once
#include <wx/dialog.h>
#include <wx/panel.h>

#include <array>

#include "ui/core/filterrules.h"

class wxButton;
class wxCheckBox;
class wxRadioButton;
class wxStaticBox;
class wxStaticText;
class wxTextCtrl;

// The pages read their controls into the wizard's values; false (and a
// message) when a control holds what the filter cannot take.
class CFilterTypeDlg : public wxPanel {
 public:
  enum { ID_HOST_IP = 1003, ID_PAGE = 1004, ID_REFERRER = 1005, ID_TOP_DOMAIN = 1006, ID_RESPONSE = 1007,
         ID_METHOD = 1008, ID_SITE = 1011, ID_INCLUDE = 1009, ID_EXCLUDE = 1010 };
  CFilterTypeDlg(wxWindow* parent, CFilterWizardValues* values);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  CFilterWizardValues* m_values;
  std::array<wxRadioButton*, kFilterKindCount> m_kinds{};
  wxRadioButton* m_include = nullptr;
  wxRadioButton* m_exclude = nullptr;
};

class CHostFilterDlg : public wxPanel {
 public:
  enum { ID_SINGLE = 1003, ID_RANGE = 1004, ID_DOMAIN = 1005, ID_ADDRESS = 1032, ID_FROM = 1033, ID_TO = 1034,
         ID_FROM_LABEL = 1013, ID_TO_LABEL = 1030, ID_DOMAIN_TEXT = 1015 };
  CHostFilterDlg(wxWindow* parent, CFilterWizardValues* values);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;
  // Only the controls of the chosen kind are enabled.
  void UpdateEnabling();

 private:
  int ChosenKind() const;
  CFilterWizardValues* m_values;
  wxRadioButton* m_kinds[3] = {};
  wxTextCtrl* m_address = nullptr;
  wxTextCtrl* m_from = nullptr;
  wxTextCtrl* m_to = nullptr;
  wxStaticText* m_fromLabel = nullptr;
  wxStaticText* m_toLabel = nullptr;
  wxTextCtrl* m_domain = nullptr;
};

class CMethodFilterDlg : public wxPanel {
 public:
  enum { ID_GET = 1017, ID_HEAD = 1020, ID_POST = 1021 };
  CMethodFilterDlg(wxWindow* parent, CFilterWizardValues* values);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  CFilterWizardValues* m_values;
  wxCheckBox* m_get = nullptr;
  wxCheckBox* m_head = nullptr;
  wxCheckBox* m_post = nullptr;
};

class CResponseCodeFilterDlg : public wxPanel {
 public:
  enum { ID_SINGLE = 1003, ID_RANGE = 1004, ID_CODE_LABEL = 1030, ID_CODE = 1015, ID_FROM_LABEL = 1026,
         ID_FROM = 1016, ID_TO_LABEL = 1013, ID_TO = 1017 };
  CResponseCodeFilterDlg(wxWindow* parent, CFilterWizardValues* values);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;
  void UpdateEnabling();

 private:
  int ChosenKind() const;
  CFilterWizardValues* m_values;
  wxRadioButton* m_kinds[2] = {};
  wxTextCtrl* m_code = nullptr;
  wxTextCtrl* m_from = nullptr;
  wxTextCtrl* m_to = nullptr;
  wxStaticText* m_codeLabel = nullptr;
  wxStaticText* m_fromLabel = nullptr;
  wxStaticText* m_toLabel = nullptr;
};

class CTextFilterDlg : public wxPanel {
 public:
  enum { ID_GROUP = 1026, ID_TEXT = 1015, ID_EXAMPLE = 1013 };
  CTextFilterDlg(wxWindow* parent, CFilterWizardValues* values);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;
  // The caption and example line of the kind.
  void SetKind(int kind);

 private:
  CFilterWizardValues* m_values;
  wxStaticBox* m_group = nullptr;
  wxTextCtrl* m_text = nullptr;
  wxStaticText* m_example = nullptr;
};

class CFilterWizardDlg : public wxDialog {
 public:
  enum { ID_NEXT = 1114, ID_BACK = 1115 };
  enum Page { kTypePage, kHostPage, kMethodPage, kResponsePage, kTextPage, kPageCount };

  CFilterWizardDlg(wxWindow* parent, const CFilterWizardValues& values);

  const CFilterWizardValues& Values() const { return m_values; }
  int Step() const { return m_step; }
  wxPanel* PageWindow(Page page) const { return m_pages[page]; }
  // The page on show, kPageCount for none.
  int ShownPage() const;

 private:
  void OnNext(wxCommandEvent& event);
  void OnBack(wxCommandEvent& event);
  void OnUpdateNext(wxUpdateUIEvent& event);
  void OnUpdateBack(wxUpdateUIEvent& event);
  void ShowOnly(int page);

  CFilterWizardValues m_values;  // the pages' choices, read after OK
  std::array<wxPanel*, kPageCount> m_pages{};
  int m_step = 0;
};
