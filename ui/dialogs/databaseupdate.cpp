#include "ui/dialogs/databaseupdate.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/wx/wxtext.h"
#include "ui/core/dialogrules.h"
#include "ui/core/proxysetting.h"
#include "ui/widgets/dialogbuttons.h"

bool RunUpdateDialog(wxWindow* parent, std::string* proxyHost, uint16_t* proxyPort) {
  CUpdateDlg dlg(parent);
  ProxySetting proxy;
  if (ProxyFromEnvironment(&proxy) && proxy.host.size() <= kMaxProxyHost) {
    dlg.m_useProxy = true;
    dlg.m_host = proxy.host;
    dlg.m_port = proxy.port;
  }
  if (dlg.ShowModal() != wxID_OK) return false;
  *proxyHost = dlg.m_useProxy ? dlg.m_host : std::string();
  *proxyPort = dlg.m_useProxy ? dlg.m_port : 0;
  return true;
}

bool RunUpdateListDialog(wxWindow* parent, std::vector<CUpdateEntry>* entries) {
  CUpdateListDlg dlg(parent, entries);
  return dlg.ShowModal() == wxID_OK;
}

wxBEGIN_EVENT_TABLE(CUpdateDlg, wxDialog)
  EVT_CHECKBOX(CUpdateDlg::ID_USE_PROXY, CUpdateDlg::OnUseProxy)
  EVT_UPDATE_UI(CUpdateDlg::ID_BOX, CUpdateDlg::OnUpdateProxy)
  EVT_UPDATE_UI(CUpdateDlg::ID_HOST, CUpdateDlg::OnUpdateProxy)
  EVT_UPDATE_UI(CUpdateDlg::ID_PORT, CUpdateDlg::OnUpdateProxy)
wxEND_EVENT_TABLE()

CUpdateDlg::CUpdateDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Update") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(new wxStaticText(this, wxID_ANY, "Update auxiliary databases from our site?"), 0, wxALL, 10);
  m_useBox = new wxCheckBox(this, ID_USE_PROXY, "Use proxy");
  top->Add(m_useBox, 0, wxLEFT | wxRIGHT, 10);
  auto* box = new wxStaticBoxSizer(new wxStaticBox(this, ID_BOX, "Proxy settings"), wxHORIZONTAL);
  auto* name = new wxBoxSizer(wxVERTICAL);
  name->Add(new wxStaticText(box->GetStaticBox(), ID_HOST + 100, "Name:"));
  m_hostEdit = new wxTextCtrl(box->GetStaticBox(), ID_HOST, wxString(), wxDefaultPosition, FromDIP(wxSize(200, -1)));
  m_hostEdit->SetMaxLength(kMaxProxyHost);
  name->Add(m_hostEdit, 0, wxEXPAND);
  box->Add(name, 1, wxALL, 5);
  auto* port = new wxBoxSizer(wxVERTICAL);
  port->Add(new wxStaticText(box->GetStaticBox(), ID_PORT + 100, "Proxy:"));
  m_portEdit = new wxTextCtrl(box->GetStaticBox(), ID_PORT, wxString(), wxDefaultPosition, FromDIP(wxSize(70, -1)));
  m_portEdit->SetMaxLength(5);
  port->Add(m_portEdit, 0, wxEXPAND);
  box->Add(port, 0, wxALL, 5);
  top->Add(box, 0, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&Update", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

bool CUpdateDlg::TransferDataToWindow() {
  m_useBox->SetValue(m_useProxy);
  m_hostEdit->ChangeValue(tv::BytesToWx(m_host));
  m_portEdit->ChangeValue(wxString::Format("%u", static_cast<unsigned>(m_port)));
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
  return true;
}

bool CUpdateDlg::TransferDataFromWindow() {
  bool useProxy = m_useBox->GetValue();
  uint16_t port = m_port;
  bool portOk = ParsePort(tv::WxToBytes(m_portEdit->GetValue().Strip(wxString::both)), &port);
  // A greyed port is not used and the user cannot correct it, so only a port
  // that goes with the proxy is checked.
  if (useProxy && !portOk) {
    wxMessageBox("Please enter an integer between 0 and 65535.", "Update", wxOK | wxICON_EXCLAMATION, this);
    m_portEdit->SetFocus();
    return false;
  }
  m_useProxy = useProxy;
  std::string host = tv::WxToBytes(m_hostEdit->GetValue());
  if (host.size() > kMaxProxyHost) host.resize(kMaxProxyHost);
  m_host = host;
  m_port = port;
  return true;
}

void CUpdateDlg::OnUseProxy(wxCommandEvent&) { UpdateWindowUI(wxUPDATE_UI_RECURSE); }

void CUpdateDlg::OnUpdateProxy(wxUpdateUIEvent& event) { event.Enable(m_useBox->GetValue()); }

CUpdateListDlg::CUpdateListDlg(wxWindow* parent, std::vector<CUpdateEntry>* entries)
    : wxDialog(parent, wxID_ANY, "Update"), m_entries(entries) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  // The rows go in with one call: one at a time, a long list takes minutes.
  wxArrayString rows;
  rows.reserve(m_entries->size());
  for (const CUpdateEntry& e : *m_entries)
    rows.push_back(tv::BytesToWx(e.title) + wxString::Format(" (%i MB)", static_cast<int>(e.size)));
  m_list = new wxCheckListBox(this, ID_TREE, wxDefaultPosition, FromDIP(wxSize(320, 220)), rows);
  for (unsigned i = 0; i < rows.size(); ++i) m_list->Check(i);
  top->Add(m_list, 1, wxALL | wxEXPAND, 10);
  top->Add(OkCancelButtons(this, "&Update", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

bool CUpdateListDlg::TransferDataFromWindow() {
  for (unsigned i = 0; i < m_list->GetCount() && i < m_entries->size(); ++i)
    if (!m_list->IsChecked(i)) (*m_entries)[i].selected = 0;
  return true;
}
