// The filter dialogs: the list page of the workspace filters or pay-per-click
// pages (a page of the workspace settings dialog), the "Pay-per-click
// settings" dialog, the "Environment filters" of the report on show and the
// "Filter History" of the drill-down levels.
#pragma once
#include <wx/dialog.h>
#include <wx/panel.h>

#include "engine/query/queryparams.h"
#include "engine/store/project.h"
#include "ui/core/filterrules.h"

class wxListBox;
class wxListCtrl;
class wxListEvent;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

// Edits the list it is given in place, at once: Add and Update run the filter
// wizard (or the pay-per-click dialog), Delete asks first. The settings
// dialog hands it its working copy and stores that copy on OK.
class CFilterListPage : public wxPanel {
 public:
  enum { ID_LIST = 1002, ID_ADD = 1020, ID_DELETE = 1021, ID_UPDATE = 1022 };

  CFilterListPage(wxWindow* parent, CFilterList& filters);
  CFilterListPage(wxWindow* parent, CAdwordList& adwords);

  bool PayPerClickMode() const { return m_adwords != nullptr; }
  wxListBox* List() const { return m_list; }
  // Refills the list selecting line select (0 after a plain refresh).
  void Refill(int select);
  bool TransferDataToWindow() override;

 private:
  void Build();
  int Selected() const;
  int Count() const;
  void OnAdd(wxCommandEvent& event);
  void OnUpdate(wxCommandEvent& event);
  void OnDelete(wxCommandEvent& event);

  CFilterList* m_filters = nullptr;
  CAdwordList* m_adwords = nullptr;
  wxListBox* m_list = nullptr;
};

// One pay-per-click landing page: URL, name and match type (0 whole URL, 1 a
// substring). Read the members after wxID_OK.
class CPayPerClickDlg : public wxDialog {
 public:
  enum { ID_WHOLE = 1003, ID_SUBSTRING = 1004, ID_URL = 1015, ID_EXAMPLE = 1026, ID_NAME = 1016 };

  explicit CPayPerClickDlg(wxWindow* parent);

  std::string m_url;
  std::string m_name;
  int m_matchType = -1;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  void ShowExample();
  wxRadioButton* m_whole = nullptr;
  wxRadioButton* m_substring = nullptr;
  wxTextCtrl* m_urlEdit = nullptr;
  wxTextCtrl* m_nameEdit = nullptr;
  wxStaticText* m_example = nullptr;
};

// The response classes, spiders and page groups of the report kind on show.
// OK writes them into params; Cancel changes nothing.
class CEnvironmentFiltersDlg : public wxDialog {
 public:
  enum { ID_RESPONSE_BOX = 1026, ID_ALL_REQUESTS = 1009, ID_SUCCESSFUL = 1010, ID_ERRORS = 1014,
         ID_SPIDERS_BOX = 1013, ID_ALL_SPIDERS = 1011, ID_WITHOUT_SPIDERS = 1007, ID_SPIDERS_ONLY = 1008,
         ID_GROUPS_LABEL = 1042, ID_GROUPS = 1012 };

  CEnvironmentFiltersDlg(wxWindow* parent, CQueryParams& params, int kind, const CGroupList& groups);

  wxListCtrl* Groups() const { return m_groups; }
  const CEnvironmentFilters& Working() const { return m_state; }
  // A click on a line of the groups list.
  void ToggleLine(long line);
  bool TransferDataFromWindow() override;

 private:
  void OnGroupsClick(wxMouseEvent& event);

  CQueryParams& m_params;
  CEnvironmentFilters m_state;
  int m_groupCount = 0;
  wxRadioButton* m_response[3] = {};
  wxRadioButton* m_spiders[3] = {};
  wxListCtrl* m_groups = nullptr;
};

// The drill-down levels, top first; "&Go" returns to the selected one.
class CFilterHistoryDlg : public wxDialog {
 public:
  enum { ID_GO = 1000, ID_LIST = 1002 };

  explicit CFilterHistoryDlg(wxWindow* parent);

  wxListCtrl* List() const { return m_list; }
  // The level "&Go" returned to, -1 when none.
  int ChosenLevel() const { return m_chosen; }

 private:
  void OnGo(wxCommandEvent& event);
  void OnActivated(wxListEvent& event);
  void GoToSelected();

  wxListCtrl* m_list = nullptr;
  int m_lines = 0;
  int m_chosen = -1;
};
