// The "Workspace settings" dialog: tabs over the pages that edit the open
// workspace's common values, its filter and pay-per-click lists and the DNS
// cache lifetime of Trailvane.cfg. The dialog edits nothing itself: its caller
// fills the values before ShowModal and reads them back after OK.
#pragma once
#include <wx/dialog.h>
#include <wx/panel.h>

#include <cstdint>
#include <string>

#include "engine/config/workspace.h"
#include "engine/store/project.h"

class wxCheckBox;
class wxChoice;
class wxNotebook;
class wxRadioButton;
class wxTextCtrl;
class CWorkspaceSettingsDlg;

// The Workspace Settings command: fills the dialog from the workspace and, after
// OK, stores its values through ApplyWorkspaceSettings, copies the edited lists
// back, writes Trailvane.cfg and reruns the report on show. Cancel stores
// nothing. Nothing opens while a job runs. True after OK.
bool OnWorkspaceSettings(wxWindow* parent);

class CWorkspaceSettingsDlg : public wxDialog {
 public:
  enum { ID_TABS = 1001 };
  enum Tab { kTabBase, kTabReports, kTabInternational, kTabFilters, kTabDns, kTabSpiders, kTabPayPerClick };

  // The pay-per-click tab exists only when the advertising-host table is loaded.
  CWorkspaceSettingsDlg(wxWindow* parent, CFilterList* filters, CAdwordList* adwords);

  // Every value but the zones, which are list positions here.
  WorkspaceSettings m_values;
  int m_zoneServerIndex = 12;
  int m_zoneReportIndex = 12;
  int32_t m_daysDnsCache = 15;
  CFilterList* m_filters;
  CAdwordList* m_adwords;

  wxNotebook* Tabs() const { return m_tabs; }
  // The page of a tab, null when the dialog has no such tab.
  wxWindow* Page(int tab) const;

  bool TransferDataToWindow() override;
  // Base, Reports, International, DNS and Spider in that order; false (with a
  // message, the page shown) when a number is out of range.
  bool TransferDataFromWindow() override;

 private:
  wxNotebook* m_tabs = nullptr;
  wxWindow* m_pages[7] = {};
};

// The pages read and write the dialog's values.
class CSettingsPage : public wxPanel {
 public:
  CSettingsPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog);

 protected:
  // The radio button of a group that is checked, by its position in the group.
  static int CheckedIndex(wxRadioButton* const* group, int n);
  static void CheckIndex(wxRadioButton* const* group, int n, int index);
  // Reads a number field; a message and the focus on it when out of range.
  bool ReadNumber(wxTextCtrl* edit, int32_t lo, int32_t hi, int32_t* value);

  CWorkspaceSettingsDlg* m_dialog;
  WorkspaceSettings& m_values;
};

class CBasePage : public CSettingsPage {
 public:
  enum {
    ID_URL = 1016, ID_INDEX = 1018, ID_SESSION = 1015, ID_CASE_SENSITIVE = 1003, ID_NOT_CASE_SENSITIVE = 1004,
    ID_LOGS_NONE = 1007, ID_LOGS_BAD = 1005, ID_LOGS_ALL = 1006, ID_NO_COOKIE = 1025, ID_SUBDOMAIN = 1017,
  };
  CBasePage(wxWindow* parent, CWorkspaceSettingsDlg* dialog);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  wxTextCtrl* m_url;
  wxTextCtrl* m_index;
  wxTextCtrl* m_session;
  wxRadioButton* m_case[2];
  wxRadioButton* m_badFiles[3];
  wxCheckBox* m_noCookie;
  wxCheckBox* m_subdomain;
};

class CReportsPage : public CSettingsPage {
 public:
  enum {
    ID_IGNORE_ARGM = 1017, ID_INT_REFF = 1020, ID_REFF_SE = 1022, ID_CASE_KWD = 1018, ID_EXPAND_GROUPS = 1025,
    ID_NO_REFER = 1024, ID_ADD_COUNTRY = 1021, ID_DAY_OF_WEEK = 1027, ID_HOST = 1023, ID_SEND_ONLY = 1005,
    ID_SEND_RECEIVE = 1006,
  };
  static constexpr int kSwitches = 8;
  CReportsPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  wxCheckBox* m_switch[kSwitches];
  wxChoice* m_host;
  wxRadioButton* m_bandwidth[2];
};

class CInternationalPage : public CSettingsPage {
 public:
  enum {
    ID_DATE_FORMAT = 1025, ID_SEPARATOR = 1026, ID_YEAR4 = 1007, ID_YEAR2 = 1008, ID_MONTH_NAME = 1009,
    ID_MONTH_NUMBER = 1010, ID_TIME24 = 1006, ID_TIME12 = 1005, ID_ZONE_SERVER = 1023, ID_ZONE_REPORT = 1024,
    ID_SUNDAY = 1003, ID_MONDAY = 1004, ID_LANGUAGE = 1015, ID_CHOOSE_LANGUAGE = 1000,
  };
  CInternationalPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  void OnChooseLanguage(wxCommandEvent& event);

  wxChoice* m_format;
  wxChoice* m_separator;
  wxRadioButton* m_year[2];
  wxRadioButton* m_month[2];
  wxRadioButton* m_time[2];
  wxChoice* m_zoneServer;
  wxChoice* m_zoneReport;
  wxRadioButton* m_week[2];
  wxTextCtrl* m_language;
  std::string m_shownLanguage;  // in the edit until OK
  wxDECLARE_EVENT_TABLE();
};

class CDnsPage : public CSettingsPage {
 public:
  enum { ID_DNS_LOOKUP = 1017, ID_IP_LOOKUP = 1018, ID_DAYS = 1015, ID_CLEAR_DNS = 1000, ID_WHOIS = 1016,
         ID_CLEAR_FTP = 1031 };
  CDnsPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  void OnClearDns(wxCommandEvent& event);
  void OnClearFtp(wxCommandEvent& event);

  wxCheckBox* m_dnsLookup;
  wxCheckBox* m_ipLookup;
  wxTextCtrl* m_days;
  wxTextCtrl* m_whois;
  wxDECLARE_EVENT_TABLE();
};

class CSpidersPage : public CSettingsPage {
 public:
  enum { ID_AUTO = 1017, ID_CONFIRM = 1020, ID_SAVE = 1021, ID_CLEAR = 1000 };
  CSpidersPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog);
  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  void OnAuto(wxCommandEvent& event);
  void OnClear(wxCommandEvent& event);
  void UpdateControls();

  wxCheckBox* m_auto;
  wxCheckBox* m_confirm;
  wxCheckBox* m_save;
  wxDECLARE_EVENT_TABLE();
};
