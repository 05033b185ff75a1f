// The "Log file" dialog: one log source of the workspace, entered as a local
// path, an ODBC table, an FTP location or an HTTP address. Four radio buttons
// choose the kind; under them the page of that kind is shown. Every page keeps
// what was typed while another kind is shown.
#pragma once
#include <wx/arrstr.h>
#include <wx/dialog.h>
#include <wx/panel.h>

#include <functional>

#include "engine/store/project.h"

class wxButton;
class wxCheckBox;
class wxComboBox;
class wxRadioButton;
class wxSimplebook;
class wxStaticBox;
class wxStaticText;
class wxTextCtrl;

class CLocalLogPage;
class COdbcLogPage;
class CFtpLogPage;
class CHttpLogPage;

class CLogFileDlg : public wxDialog {
 public:
  enum {
    ID_KIND_LOCAL = 1003,
    ID_KIND_ODBC = 1004,
    ID_KIND_FTP = 1005,
    ID_KIND_HTTP = 1006,
  };

  // Fills the pages from source. A blank source (a new one: kind local,
  // no texts, no numbers) gets the HTTP proxy of the environment.
  CLogFileDlg(wxWindow* parent, const CLogSource& source);
  ~CLogFileDlg() override;

  // The edited copy; valid after ShowModal() == wxID_OK. It holds the stored
  // fields of the source given (loading state and records are not copied);
  // OK replaces those the pages show and keeps every other one as it was.
  const CLogSource& GetSource() const;

  // The kind shown now (kSourceLocal .. kSourceHttp), as the radio buttons
  // choose it.
  int GetKind() const { return m_kind; }
  void SelectKind(int kind);

  CLocalLogPage* localPage = nullptr;
  COdbcLogPage* odbcPage = nullptr;
  CFtpLogPage* ftpPage = nullptr;
  CHttpLogPage* httpPage = nullptr;
  wxRadioButton* kindButtons[4] = {};

 private:
  void OnKind(wxCommandEvent& event);
  void OnOK(wxCommandEvent& event);
  // Reads the three port fields; false (after telling the user and showing the
  // field) when one holds no port number.
  bool ReadPorts(uint16_t* port, uint16_t* portFw, uint16_t* portProxy);

  CLogSourceList m_copy;  // one entry: the source being edited
  CLogSource m_blank;     // stands in when the copy could not be made
  int m_kind = kSourceLocal;
  wxSimplebook* m_book = nullptr;

  wxDECLARE_EVENT_TABLE();
};

class CLocalLogPage : public wxPanel {
 public:
  enum { ID_BROWSE = 1000, ID_FILE = 1015 };
  // Asks for log files; true with the chosen full paths, false on Cancel.
  using FilePicker = bool (*)(wxWindow* parent, wxArrayString* paths);
  // The picker the browse button uses (a multiple-selection file dialog);
  // tests put their own in its place.
  static FilePicker& Picker();
  static bool PickLogFiles(wxWindow* parent, wxArrayString* paths);

  explicit CLocalLogPage(wxWindow* parent);
  void Load(const CLogSource& source);
  void Store(CLogSource* source) const;

  wxTextCtrl* file = nullptr;
  wxButton* browse = nullptr;

 private:
  void OnBrowse(wxCommandEvent& event);
  wxDECLARE_EVENT_TABLE();
};

class COdbcLogPage : public wxPanel {
 public:
  // The column fields, in the order of the labels on the page.
  enum Column { kPage, kDate, kHost, kRefer, kSize, kSizer, kUsera, kCookie, kStatus, kMet, kColumns };

  explicit COdbcLogPage(wxWindow* parent);
  void Load(const CLogSource& source);
  void Store(CLogSource* source) const;

  wxComboBox* dns = nullptr;  // offers the data sources the driver manager knows
  wxTextCtrl* table = nullptr;
  wxTextCtrl* columns[kColumns] = {};
};

class CFtpLogPage : public wxPanel {
 public:
  enum {
    ID_ANONYMOUS = 1014,
    ID_FIREWALL = 1021,
    ID_PASSIVE = 1020,
    ID_FIREWALL_PASSIVE = 1022,
  };

  explicit CFtpLogPage(wxWindow* parent);
  void Load(const CLogSource& source);
  // The texts and option bits of the page; user and password only when
  // withUser (the HTTP page gives them for an HTTP source).
  void Store(CLogSource* source, bool withUser) const;
  // User and password follow Anonymous, the firewall settings Use firewall.
  void UpdateControls();

  wxTextCtrl* path = nullptr;
  wxTextCtrl* server = nullptr;
  wxTextCtrl* port = nullptr;
  wxCheckBox* anonymous = nullptr;
  wxStaticText* userLabel = nullptr;
  wxTextCtrl* user = nullptr;
  wxStaticText* passwordLabel = nullptr;
  wxTextCtrl* password = nullptr;
  wxCheckBox* useFirewall = nullptr;
  wxCheckBox* passive = nullptr;
  wxStaticBox* firewallBox = nullptr;
  wxStaticText* firewallLabel = nullptr;
  wxTextCtrl* firewall = nullptr;
  wxStaticText* firewallPortLabel = nullptr;
  wxTextCtrl* firewallPort = nullptr;
  wxCheckBox* firewallPassive = nullptr;

 private:
  void OnBox(wxCommandEvent& event);
  wxDECLARE_EVENT_TABLE();
};

class CHttpLogPage : public wxPanel {
 public:
  enum { ID_USE_PROXY = 1020 };

  explicit CHttpLogPage(wxWindow* parent);
  void Load(const CLogSource& source);
  // Fills the proxy fields and checks Use proxy from the environment's proxy.
  void PresetProxy();
  void Store(CLogSource* source, bool withUser) const;
  // The proxy settings follow Use proxy.
  void UpdateControls();

  wxTextCtrl* url = nullptr;
  wxTextCtrl* user = nullptr;
  wxTextCtrl* password = nullptr;
  wxCheckBox* useProxy = nullptr;
  wxStaticBox* proxyBox = nullptr;
  wxStaticText* proxyLabel = nullptr;
  wxTextCtrl* proxy = nullptr;
  wxStaticText* proxyPortLabel = nullptr;
  wxTextCtrl* proxyPort = nullptr;

 private:
  void OnBox(wxCommandEvent& event);
  wxDECLARE_EVENT_TABLE();
};

// The dialog for initial; on OK its source goes to take. The workspace pane's
// source editor.
bool ShowLogFileDialog(wxWindow* parent, const CLogSource& initial, const std::function<void(const CLogSource&)>& take);
