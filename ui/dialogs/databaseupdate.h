// The two dialogs of the auxiliary database update. RunUpdateDialog() presets
// the proxy from http_proxy / HTTP_PROXY and, after OK, gives the proxy to use
// (an empty host without one). RunUpdateListDialog() offers the tables of the
// update check, all checked; after OK the unchecked ones have their selected
// flag cleared and it returns true.
#pragma once
#include <wx/dialog.h>
#include <wx/checklst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/sources/dbupdate.h"

class wxCheckBox;
class wxStaticBox;
class wxStaticText;
class wxTextCtrl;

bool RunUpdateDialog(wxWindow* parent, std::string* proxyHost, uint16_t* proxyPort);
bool RunUpdateListDialog(wxWindow* parent, std::vector<CUpdateEntry>* entries);

class CUpdateDlg : public wxDialog {
 public:
  enum { ID_USE_PROXY = 1017, ID_BOX = 1026, ID_HOST = 1015, ID_PORT = 1016 };

  explicit CUpdateDlg(wxWindow* parent);

  bool m_useProxy = false;
  std::string m_host;  // at most 249 characters
  uint16_t m_port = 0;

  bool TransferDataToWindow() override;
  // Refuses a port outside 0..65535 with a message while "Use proxy" is
  // ticked; without a proxy the port is not checked.
  bool TransferDataFromWindow() override;

 private:
  void OnUseProxy(wxCommandEvent& event);
  void OnUpdateProxy(wxUpdateUIEvent& event);

  wxCheckBox* m_useBox = nullptr;
  wxTextCtrl* m_hostEdit = nullptr;
  wxTextCtrl* m_portEdit = nullptr;
  wxDECLARE_EVENT_TABLE();
};

class CUpdateListDlg : public wxDialog {
 public:
  enum { ID_TREE = 1009 };

  CUpdateListDlg(wxWindow* parent, std::vector<CUpdateEntry>* entries);

  wxCheckListBox* List() const { return m_list; }
  bool TransferDataFromWindow() override;

 private:
  std::vector<CUpdateEntry>* m_entries;
  wxCheckListBox* m_list = nullptr;
};
