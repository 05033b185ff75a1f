#include "ui/dialogs/hostlookup.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <thread>

#include "engine/analysis/dnscache.h"
#include "platform/resolver.h"
#include "platform/wx/uithread.h"
#include "platform/wx/wxtext.h"
#include "ui/core/dialogrules.h"

// The window, while it lives; answers that come back later find it gone.
struct CHostLookupDlg::Link {
  CHostLookupDlg* dialog;
};

wxBEGIN_EVENT_TABLE(CHostLookupDlg, wxDialog)
  EVT_BUTTON(CHostLookupDlg::ID_LOOKUP, CHostLookupDlg::OnLookup)
  EVT_UPDATE_UI(CHostLookupDlg::ID_LOOKUP, CHostLookupDlg::OnUpdateLookup)
wxEND_EVENT_TABLE()

CHostLookupDlg::CHostLookupDlg(wxWindow* parent, tv::Resolver* resolver)
    : wxDialog(parent, wxID_ANY, "Host Lookup"),
      m_resolver(resolver ? resolver : &DnsResolver()),
      m_link(std::make_shared<Link>(Link{this})) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(2, 6, 8);
  grid->AddGrowableCol(1);
  grid->Add(new wxStaticText(this, wxID_ANY, "Host:"), 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
  m_hostEdit = new wxTextCtrl(this, ID_HOST, wxString(), wxDefaultPosition, FromDIP(wxSize(240, -1)));
  grid->Add(m_hostEdit, 1, wxEXPAND);
  grid->AddSpacer(0);
  grid->Add(new wxStaticText(this, wxID_ANY, "(e.g. 192.0.2.10 or www.example.com)"));
  grid->AddSpacer(0);
  m_reverseBox = new wxCheckBox(this, ID_REVERSE, "IP lookup");
  grid->Add(m_reverseBox);
  const char* labels[4] = {"IP/Host:", "Country:", "Region:", "City:"};
  const int ids[4] = {ID_RESULT, ID_COUNTRY, ID_REGION, ID_CITY};
  for (int i = 0; i < 4; ++i) {
    grid->Add(new wxStaticText(this, wxID_ANY, labels[i]), 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
    m_fields[i] = new wxTextCtrl(this, ids[i], wxString(), wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    grid->Add(m_fields[i], 1, wxEXPAND);
  }
  top->Add(grid, 1, wxALL | wxEXPAND, 10);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* lookup = new wxButton(this, ID_LOOKUP, "&Lookup");
  lookup->SetDefault();
  buttons->Add(lookup, 0, wxRIGHT, 6);
  buttons->Add(new wxButton(this, wxID_CANCEL, "&Cancel"));
  top->Add(buttons, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
  SetEscapeId(wxID_CANCEL);
}

CHostLookupDlg::~CHostLookupDlg() { m_link->dialog = nullptr; }

bool CHostLookupDlg::TransferDataToWindow() {
  m_hostEdit->ChangeValue(tv::BytesToWx(m_host));
  m_reverseBox->SetValue(m_reverse);
  ShowFields();
  return true;
}

void CHostLookupDlg::ShowFields() {
  const std::string* values[4] = {&m_result, &m_country, &m_region, &m_city};
  for (int i = 0; i < 4; ++i) m_fields[i]->ChangeValue(tv::BytesToWx(*values[i]));
}

bool CHostLookupDlg::TransferDataFromWindow() {
  m_host = tv::WxToBytes(m_hostEdit->GetValue());
  m_reverse = m_reverseBox->GetValue();
  return true;
}

void CHostLookupDlg::OnUpdateLookup(wxUpdateUIEvent& event) { event.Enable(!m_busy); }

void CHostLookupDlg::OnLookup(wxCommandEvent&) { StartLookup(); }

void CHostLookupDlg::StartLookup() {
  if (m_busy) return;
  TransferDataFromWindow();
  std::string host = m_host;
  // Blanks around a pasted name are no part of it.
  size_t first = host.find_first_not_of(" \t"), last = host.find_last_not_of(" \t");
  host = first == std::string::npos ? std::string() : host.substr(first, last - first + 1);
  Answer request;
  request.reverse = ParseDottedAddress(host, &request.address);
  if (!request.reverse && !IsLookupHostName(host)) {
    Fail(kHostNotFound);
    return;
  }
  m_result.clear();
  m_fields[0]->ChangeValue(wxString());
  if (request.reverse && !m_reverse) {  // nothing to ask the network
    request.found = true;
    Done(request);
    return;
  }
  m_busy = true;
  SetCursor(wxCursor(wxCURSOR_WAIT));
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
  std::thread([link = m_link, resolver = m_resolver, request, host]() mutable {
    Answer answer = request;
    if (answer.reverse) answer.found = resolver->NameOf(answer.address, &answer.name);
    else answer.found = resolver->AddressOfWithError(host.c_str(), &answer.address, &answer.error);
    tv::PostToUiThread([link, answer] {
      if (link->dialog) link->dialog->Done(answer);
    });
  }).detach();
}

void CHostLookupDlg::Done(const Answer& answer) {
  m_busy = false;
  SetCursor(wxNullCursor);
  ++m_finished;
  if (!answer.reverse && !answer.found) {
    Fail(answer.error ? answer.error : kHostNotFound);
    return;
  }
  m_result = answer.reverse ? (answer.found ? answer.name : std::string()) : DottedAddress(answer.address);
  ShowGeography(answer.address);
  wxBell();
  ShowFields();
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
}

void CHostLookupDlg::Fail(int error) {
  m_result.clear();
  m_country.clear();
  m_region.clear();
  m_city.clear();
  ShowFields();
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
  wxMessageBox(tv::BytesToWx(DnsErrorText(error)), "Host Lookup", wxOK | wxICON_ERROR, this);
}

void CHostLookupDlg::ShowGeography(uint32_t address) {
  CHostGeography geo = AddressGeography(address);
  m_country = geo.country;
  m_region = geo.region;
  m_city = geo.city;
}
