#include "ui/dialogs/logsource.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/simplebook.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include <iterator>
#include <string>

#include "base/textutil.h"
#include "platform/odbc.h"
#include "platform/wx/wxtext.h"
#include "ui/core/proxysetting.h"

namespace {

// Option bits of a network source.
constexpr uint32_t kPropFirewall = 1, kPropPassive = 2, kPropFirewallPassive = 4, kPropProxy = 8,
                   kPropAnonymous = 16;

constexpr int kGap = 5;

wxString Text(const char* field) { return tv::BytesToWx(field); }

void Put(char** field, const wxTextCtrl* control) { SetStr(field, tv::WxToBytes(control->GetValue()).c_str()); }

void PutBit(uint32_t* prop, uint32_t bit, const wxCheckBox* box) {
  if (box->GetValue())
    *prop |= bit;
  else
    *prop &= ~bit;
}

wxTextCtrl* NumberEdit(wxWindow* parent, int id = wxID_ANY) {
  auto* edit = new wxTextCtrl(parent, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                              wxTextValidator(wxFILTER_DIGITS));
  edit->SetInitialSize(edit->GetSizeFromTextSize(edit->GetTextExtent("000000")));
  return edit;
}

wxStaticText* Label(wxWindow* parent, const wxString& text) { return new wxStaticText(parent, wxID_ANY, text); }

bool IsBlankSource(const CLogSource& s) {
  const char* texts[] = {s.file,      s.db_dns,    s.db_table, s.db_date,  s.db_host, s.db_page,  s.db_refer,
                         s.db_size,   s.db_sizer,  s.db_status, s.db_usera, s.db_cookie, s.db_met, s.user,
                         s.psw,       s.url,       s.proxy,    s.path,     s.server,  s.firewall};
  for (const char* t : texts)
    if (t && *t) return false;
  return s.type == kSourceLocal && s.prop == 0 && s.port == 0 && s.port_fw == 0 && s.port_proxy == 0;
}

enum class PortCheck { Ok, NotNumber, OutOfRange };

PortCheck ParsePort(const wxString& text, uint16_t* port) {
  wxString t = text;
  t.Trim(true).Trim(false);
  if (t.empty()) return PortCheck::NotNumber;
  unsigned long value = 0;
  for (wxUniChar c : t)
    if (c < '0' || c > '9') return PortCheck::NotNumber;
  if (!t.ToULong(&value) || value > 65535) return PortCheck::OutOfRange;
  *port = static_cast<uint16_t>(value);
  return PortCheck::Ok;
}

}  // namespace

// ---------------------------------------------------------------------------
// The dialog

wxBEGIN_EVENT_TABLE(CLogFileDlg, wxDialog)
  EVT_RADIOBUTTON(CLogFileDlg::ID_KIND_LOCAL, CLogFileDlg::OnKind)
  EVT_RADIOBUTTON(CLogFileDlg::ID_KIND_ODBC, CLogFileDlg::OnKind)
  EVT_RADIOBUTTON(CLogFileDlg::ID_KIND_FTP, CLogFileDlg::OnKind)
  EVT_RADIOBUTTON(CLogFileDlg::ID_KIND_HTTP, CLogFileDlg::OnKind)
  EVT_BUTTON(wxID_OK, CLogFileDlg::OnOK)
wxEND_EVENT_TABLE()

CLogFileDlg::CLogFileDlg(wxWindow* parent, const CLogSource& source)
    : wxDialog(parent, wxID_ANY, "Log file", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
  m_copy.Add(source);
  const CLogSource& s = GetSource();

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  auto* kindBox = new wxStaticBoxSizer(wxHORIZONTAL, this, "Log location");
  const wxString kindTexts[] = {"Local &path", "&Database (ODBC)", "&FTP", "&HTTP"};
  for (int k = 0; k < 4; k++) {
    kindButtons[k] = new wxRadioButton(kindBox->GetStaticBox(), ID_KIND_LOCAL + k, kindTexts[k], wxDefaultPosition,
                                       wxDefaultSize, k == 0 ? wxRB_GROUP : 0);
    kindBox->Add(kindButtons[k], 0, wxALL | wxALIGN_CENTER_VERTICAL, kGap);
  }
  top->Add(kindBox, 1, wxALL | wxEXPAND, kGap);
  auto* buttons = new wxBoxSizer(wxVERTICAL);
  auto* ok = new wxButton(this, wxID_OK, "OK");
  ok->SetDefault();
  buttons->Add(ok, 0, wxBOTTOM | wxEXPAND, kGap);
  buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxEXPAND);
  top->Add(buttons, 0, wxALL, kGap);

  // The book is as large as its largest page, so the dialog keeps its size
  // while the kind changes.
  m_book = new wxSimplebook(this);
  localPage = new CLocalLogPage(m_book);
  odbcPage = new COdbcLogPage(m_book);
  ftpPage = new CFtpLogPage(m_book);
  httpPage = new CHttpLogPage(m_book);
  m_book->AddPage(localPage, wxEmptyString);
  m_book->AddPage(odbcPage, wxEmptyString);
  m_book->AddPage(ftpPage, wxEmptyString);
  m_book->AddPage(httpPage, wxEmptyString);

  localPage->Load(s);
  odbcPage->Load(s);
  ftpPage->Load(s);
  httpPage->Load(s);
  if (IsBlankSource(s)) httpPage->PresetProxy();

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(top, 0, wxEXPAND);
  sizer->Add(m_book, 1, wxALL | wxEXPAND, kGap);
  SetSizerAndFit(sizer);

  SelectKind(s.type);
}

CLogFileDlg::~CLogFileDlg() = default;

const CLogSource& CLogFileDlg::GetSource() const {
  const CLogSource* s = m_copy.Get(0);
  return s ? *s : m_blank;
}

void CLogFileDlg::SelectKind(int kind) {
  if (kind < kSourceLocal || kind > kSourceHttp) kind = kSourceLocal;
  m_kind = kind;
  kindButtons[kind]->SetValue(true);
  m_book->ChangeSelection(static_cast<size_t>(kind));
  m_book->GetPage(static_cast<size_t>(kind))->SetFocus();
}

void CLogFileDlg::OnKind(wxCommandEvent& event) { SelectKind(event.GetId() - ID_KIND_LOCAL); }

bool CLogFileDlg::ReadPorts(uint16_t* port, uint16_t* portFw, uint16_t* portProxy) {
  struct Field {
    wxTextCtrl* edit;
    uint16_t* value;
    int kind;
  } fields[] = {{ftpPage->port, port, kSourceFtp},
                {ftpPage->firewallPort, portFw, kSourceFtp},
                {httpPage->proxyPort, portProxy, kSourceHttp}};
  for (const Field& f : fields) {
    PortCheck check = ParsePort(f.edit->GetValue(), f.value);
    if (check == PortCheck::Ok) continue;
    // Show the field first, so the message is about something the user sees.
    SelectKind(f.kind);
    wxMessageBox(check == PortCheck::NotNumber ? "Please enter an integer."
                                               : "Please enter an integer between 0 and 65535.",
                 wxTheApp ? wxTheApp->GetAppDisplayName() : wxString(), wxOK | wxICON_EXCLAMATION, this);
    f.edit->SetFocus();
    f.edit->SelectAll();
    return false;
  }
  return true;
}

void CLogFileDlg::OnOK(wxCommandEvent&) {
  CLogSource* s = m_copy.Get(0);
  uint16_t port = 0, portFw = 0, portProxy = 0;
  if (!s || !ReadPorts(&port, &portFw, &portProxy)) return;
  // Every page is taken whatever the kind, as the workspace stores them all.
  s->type = static_cast<uint16_t>(m_kind);
  localPage->Store(s);
  odbcPage->Store(s);
  ftpPage->Store(s, m_kind != kSourceHttp);
  httpPage->Store(s, m_kind == kSourceHttp);
  s->port = port;
  s->port_fw = portFw;
  s->port_proxy = portProxy;
  SetReturnCode(wxID_OK);  // EndDialog sets it only for a modal dialog
  EndDialog(wxID_OK);
}

// ---------------------------------------------------------------------------
// Local path page

wxBEGIN_EVENT_TABLE(CLocalLogPage, wxPanel)
  EVT_BUTTON(CLocalLogPage::ID_BROWSE, CLocalLogPage::OnBrowse)
wxEND_EVENT_TABLE()

CLocalLogPage::FilePicker& CLocalLogPage::Picker() {
  static FilePicker picker = &CLocalLogPage::PickLogFiles;
  return picker;
}

bool CLocalLogPage::PickLogFiles(wxWindow* parent, wxArrayString* paths) {
  // "*" rather than "*.*" for all files: names without a dot are common here.
  wxFileDialog dialog(parent, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                      "Log and GZip (*.log;*.gz)|*.log;*.gz|Log file (*.log)|*.log|GZip file (*.gz)|*.gz|"
                      "All Files (*.*)|*",
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_MULTIPLE);
  if (dialog.ShowModal() != wxID_OK) return false;
  dialog.GetPaths(*paths);
  return true;
}

CLocalLogPage::CLocalLogPage(wxWindow* parent) : wxPanel(parent) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(Label(this, "Log file:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, kGap);
  file = new wxTextCtrl(this, ID_FILE);
  row->Add(file, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, kGap);
  browse = new wxButton(this, ID_BROWSE, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
  row->Add(browse, 0, wxALIGN_CENTER_VERTICAL);
  sizer->Add(row, 0, wxALL | wxEXPAND, kGap);
  sizer->Add(Label(this, "Enter name of log file. The program can read logs packed"), 0, wxLEFT | wxRIGHT | wxTOP,
             kGap);
  sizer->Add(Label(this, "as GZip(gz)."), 0, wxLEFT | wxRIGHT, kGap);
  sizer->Add(Label(this, "Example: /var/log/apache2/access.log;/var/log/apache2/*.gz"), 0, wxALL, kGap);
  SetSizer(sizer);
}

void CLocalLogPage::Load(const CLogSource& source) { file->ChangeValue(Text(source.file)); }

void CLocalLogPage::Store(CLogSource* source) const { Put(&source->file, file); }

void CLocalLogPage::OnBrowse(wxCommandEvent&) {
  wxArrayString paths;
  if (!Picker()(this, &paths)) return;
  wxString list;
  for (const wxString& p : paths) {
    if (!list.empty()) list += ';';
    list += p;
  }
  file->ChangeValue(list);
}

// ---------------------------------------------------------------------------
// ODBC page

namespace {

struct OdbcField {
  const char* label;
  char* CLogSource::*key;
};

// In the order of COdbcLogPage::Column.
constexpr OdbcField kOdbcFields[] = {
    {"Requested file:", &CLogSource::db_page},  {"DateTime:", &CLogSource::db_date},
    {"Host:", &CLogSource::db_host},            {"Referrer:", &CLogSource::db_refer},
    {"Bandwidth send:", &CLogSource::db_size},  {"Bandwidth recive:", &CLogSource::db_sizer},
    {"User agent:", &CLogSource::db_usera},     {"Cookie:", &CLogSource::db_cookie},
    {"Status code:", &CLogSource::db_status},   {"Method:", &CLogSource::db_met},
};
static_assert(std::size(kOdbcFields) == COdbcLogPage::kColumns);

}  // namespace

COdbcLogPage::COdbcLogPage(wxWindow* parent) : wxPanel(parent) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(2, kGap, kGap);
  grid->AddGrowableCol(1);
  grid->Add(Label(this, "ODBC DNS name:"), 0, wxALIGN_CENTER_VERTICAL);
  wxArrayString names;
  for (const std::string& name : tv::OdbcDataSources()) names.Add(tv::BytesToWx(name));
  dns = new wxComboBox(this, 1015, wxEmptyString, wxDefaultPosition, wxDefaultSize, names, wxCB_DROPDOWN);
  grid->Add(dns, 1, wxEXPAND);
  grid->Add(Label(this, "Table name:"), 0, wxALIGN_CENTER_VERTICAL);
  table = new wxTextCtrl(this, 1016);
  grid->Add(table, 1, wxEXPAND);
  sizer->Add(grid, 0, wxALL | wxEXPAND, kGap);

  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Fields name");
  auto* fields = new wxFlexGridSizer(4, kGap, kGap);
  fields->AddGrowableCol(1);
  fields->AddGrowableCol(3);
  for (int i = 0; i < kColumns; i++) {
    fields->Add(Label(box->GetStaticBox(), kOdbcFields[i].label), 0, wxALIGN_CENTER_VERTICAL);
    columns[i] = new wxTextCtrl(box->GetStaticBox(), wxID_ANY);
    fields->Add(columns[i], 1, wxEXPAND);
  }
  box->Add(fields, 0, wxALL | wxEXPAND, kGap);
  sizer->Add(box, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, kGap);
  SetSizer(sizer);
}

void COdbcLogPage::Load(const CLogSource& source) {
  dns->SetValue(Text(source.db_dns));
  table->ChangeValue(Text(source.db_table));
  for (int i = 0; i < kColumns; i++) columns[i]->ChangeValue(Text(source.*kOdbcFields[i].key));
}

void COdbcLogPage::Store(CLogSource* source) const {
  SetStr(&source->db_dns, tv::WxToBytes(dns->GetValue()).c_str());
  Put(&source->db_table, table);
  for (int i = 0; i < kColumns; i++) Put(&(source->*kOdbcFields[i].key), columns[i]);
}

// ---------------------------------------------------------------------------
// FTP page

wxBEGIN_EVENT_TABLE(CFtpLogPage, wxPanel)
  EVT_CHECKBOX(CFtpLogPage::ID_ANONYMOUS, CFtpLogPage::OnBox)
  EVT_CHECKBOX(CFtpLogPage::ID_FIREWALL, CFtpLogPage::OnBox)
wxEND_EVENT_TABLE()

CFtpLogPage::CFtpLogPage(wxWindow* parent) : wxPanel(parent) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(2, kGap, kGap);
  grid->AddGrowableCol(1);

  grid->Add(Label(this, "File path:"), 0, wxALIGN_CENTER_VERTICAL);
  path = new wxTextCtrl(this, 1016);
  grid->Add(path, 1, wxEXPAND);
  grid->AddSpacer(0);
  grid->Add(Label(this, "Example: \"/\" , \"/logs/*.log\" or \"/logs/*.*\""));

  grid->Add(Label(this, "FTP Server:"), 0, wxALIGN_CENTER_VERTICAL);
  auto* serverRow = new wxBoxSizer(wxHORIZONTAL);
  server = new wxTextCtrl(this, 1015);
  serverRow->Add(server, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, kGap);
  serverRow->Add(Label(this, "Port:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, kGap);
  port = NumberEdit(this, 1037);
  serverRow->Add(port, 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(serverRow, 1, wxEXPAND);
  grid->AddSpacer(0);
  grid->Add(Label(this, "Example: ftp.example.com or ftp://ftp.example.com"));

  grid->AddSpacer(0);
  anonymous = new wxCheckBox(this, ID_ANONYMOUS, "Anonymo&us");
  grid->Add(anonymous);
  userLabel = Label(this, "User:");
  grid->Add(userLabel, 0, wxALIGN_CENTER_VERTICAL);
  user = new wxTextCtrl(this, 1017);
  grid->Add(user, 1, wxEXPAND);
  passwordLabel = Label(this, "Password:");
  grid->Add(passwordLabel, 0, wxALIGN_CENTER_VERTICAL);
  password = new wxTextCtrl(this, 1018, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
  grid->Add(password, 1, wxEXPAND);

  grid->AddSpacer(0);
  auto* boxes = new wxBoxSizer(wxHORIZONTAL);
  useFirewall = new wxCheckBox(this, ID_FIREWALL, "Use &firewall");
  boxes->Add(useFirewall, 0, wxRIGHT, 4 * kGap);
  passive = new wxCheckBox(this, ID_PASSIVE, "&Passive mode");
  boxes->Add(passive);
  grid->Add(boxes);
  sizer->Add(grid, 0, wxALL | wxEXPAND, kGap);

  auto* box = new wxStaticBoxSizer(wxHORIZONTAL, this, "Firewall settings");
  firewallBox = box->GetStaticBox();
  firewallLabel = Label(firewallBox, "Firewall:");
  box->Add(firewallLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, kGap);
  firewall = new wxTextCtrl(firewallBox, 1035);
  box->Add(firewall, 1, wxALIGN_CENTER_VERTICAL | wxTOP | wxBOTTOM, kGap);
  firewallPortLabel = Label(firewallBox, "Port:");
  box->Add(firewallPortLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, kGap);
  firewallPort = NumberEdit(firewallBox, 1036);
  box->Add(firewallPort, 0, wxALIGN_CENTER_VERTICAL | wxTOP | wxBOTTOM, kGap);
  firewallPassive = new wxCheckBox(firewallBox, ID_FIREWALL_PASSIVE, "&Passive mode");
  box->Add(firewallPassive, 0, wxALIGN_CENTER_VERTICAL | wxALL, kGap);
  sizer->Add(box, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, kGap);
  SetSizer(sizer);
}

void CFtpLogPage::Load(const CLogSource& s) {
  path->ChangeValue(Text(s.path));
  server->ChangeValue(Text(s.server));
  port->ChangeValue(wxString::Format("%u", s.port));
  user->ChangeValue(Text(s.user));
  password->ChangeValue(Text(s.psw));
  firewall->ChangeValue(Text(s.firewall));
  firewallPort->ChangeValue(wxString::Format("%u", s.port_fw));
  passive->SetValue(s.prop & kPropPassive);
  useFirewall->SetValue(s.prop & kPropFirewall);
  anonymous->SetValue(s.prop & kPropAnonymous);
  firewallPassive->SetValue(s.prop & kPropFirewallPassive);
  UpdateControls();
}

void CFtpLogPage::Store(CLogSource* s, bool withUser) const {
  Put(&s->path, path);
  Put(&s->server, server);
  Put(&s->firewall, firewall);
  if (withUser) {
    Put(&s->user, user);
    Put(&s->psw, password);
  }
  PutBit(&s->prop, kPropFirewall, useFirewall);
  PutBit(&s->prop, kPropPassive, passive);
  PutBit(&s->prop, kPropFirewallPassive, firewallPassive);
  PutBit(&s->prop, kPropAnonymous, anonymous);
}

void CFtpLogPage::UpdateControls() {
  // Greyed, not cleared: the texts are kept and saved.
  bool named = !anonymous->GetValue();
  for (wxWindow* w : {static_cast<wxWindow*>(userLabel), static_cast<wxWindow*>(user),
                      static_cast<wxWindow*>(passwordLabel), static_cast<wxWindow*>(password)})
    w->Enable(named);
  // The box holds its labels, edits and passive-mode box.
  firewallBox->Enable(useFirewall->GetValue());
}

void CFtpLogPage::OnBox(wxCommandEvent&) { UpdateControls(); }

// ---------------------------------------------------------------------------
// HTTP page

wxBEGIN_EVENT_TABLE(CHttpLogPage, wxPanel)
  EVT_CHECKBOX(CHttpLogPage::ID_USE_PROXY, CHttpLogPage::OnBox)
wxEND_EVENT_TABLE()

CHttpLogPage::CHttpLogPage(wxWindow* parent) : wxPanel(parent) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  auto* grid = new wxFlexGridSizer(2, kGap, kGap);
  grid->AddGrowableCol(1);
  grid->Add(Label(this, "Url:"), 0, wxALIGN_CENTER_VERTICAL);
  url = new wxTextCtrl(this, 1015);
  grid->Add(url, 1, wxEXPAND);
  grid->AddSpacer(0);
  grid->Add(Label(this, "Example: http://www.example.com/logs/access.log"));
  grid->Add(Label(this, "User:"), 0, wxALIGN_CENTER_VERTICAL);
  user = new wxTextCtrl(this, 1016);
  grid->Add(user, 1, wxEXPAND);
  grid->Add(Label(this, "Password:"), 0, wxALIGN_CENTER_VERTICAL);
  password = new wxTextCtrl(this, 1017, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
  grid->Add(password, 1, wxEXPAND);
  grid->AddSpacer(0);
  useProxy = new wxCheckBox(this, ID_USE_PROXY, "Use proxy");
  grid->Add(useProxy);
  sizer->Add(grid, 0, wxALL | wxEXPAND, kGap);

  auto* box = new wxStaticBoxSizer(wxHORIZONTAL, this, "Proxy settings");
  proxyBox = box->GetStaticBox();
  proxyLabel = Label(proxyBox, "Proxy:");
  box->Add(proxyLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, kGap);
  proxy = new wxTextCtrl(proxyBox, 1018);
  box->Add(proxy, 1, wxALIGN_CENTER_VERTICAL | wxTOP | wxBOTTOM, kGap);
  proxyPortLabel = Label(proxyBox, "Port:");
  box->Add(proxyPortLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, kGap);
  proxyPort = NumberEdit(proxyBox, 1035);
  box->Add(proxyPort, 0, wxALIGN_CENTER_VERTICAL | wxTOP | wxBOTTOM | wxRIGHT, kGap);
  sizer->Add(box, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, kGap);
  SetSizer(sizer);
}

void CHttpLogPage::Load(const CLogSource& s) {
  url->ChangeValue(Text(s.url));
  user->ChangeValue(Text(s.user));
  password->ChangeValue(Text(s.psw));
  proxy->ChangeValue(Text(s.proxy));
  proxyPort->ChangeValue(wxString::Format("%u", s.port_proxy));
  useProxy->SetValue(s.prop & kPropProxy);
  UpdateControls();
}

void CHttpLogPage::PresetProxy() {
  ProxySetting setting;
  if (!ProxyFromEnvironment(&setting)) return;
  proxy->ChangeValue(tv::BytesToWx(setting.host));
  proxyPort->ChangeValue(wxString::Format("%u", setting.port));
  useProxy->SetValue(true);
  UpdateControls();
}

void CHttpLogPage::Store(CLogSource* s, bool withUser) const {
  Put(&s->url, url);
  Put(&s->proxy, proxy);
  if (withUser) {
    Put(&s->user, user);
    Put(&s->psw, password);
  }
  PutBit(&s->prop, kPropProxy, useProxy);
}

void CHttpLogPage::UpdateControls() { proxyBox->Enable(useProxy->GetValue()); }

void CHttpLogPage::OnBox(wxCommandEvent&) { UpdateControls(); }

bool ShowLogFileDialog(wxWindow* parent, const CLogSource& initial, const std::function<void(const CLogSource&)>& take) {
  CLogFileDlg dialog(parent, initial);
  if (dialog.ShowModal() != wxID_OK) return false;
  take(dialog.GetSource());
  return true;
}
