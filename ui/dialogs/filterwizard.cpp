#include "ui/dialogs/filterwizard.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <string>

#include "platform/wx/wxtext.h"
#include "ui/core/dialogrules.h"

namespace {

constexpr int kGap = 6;

wxRadioButton* AddRadio(wxWindow* parent, wxSizer* sizer, int id, const char* label, bool first = false) {
  auto* radio = new wxRadioButton(parent, id, label, wxDefaultPosition, wxDefaultSize, first ? wxRB_GROUP : 0);
  sizer->Add(radio, 0, wxALL, 3);
  return radio;
}

// The index of the set radio, -1 for none.
template <size_t N>
int RadioIndex(wxRadioButton* const (&radios)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (radios[i] && radios[i]->GetValue()) return static_cast<int>(i);
  return -1;
}

void SetRadio(wxRadioButton* radio) {
  if (radio) radio->SetValue(true);
}

bool Refuse(wxWindow* control, const wxString& text) {
  wxMessageBox(text, "Filter Wizard", wxOK | wxICON_EXCLAMATION, wxGetTopLevelParent(control));
  control->SetFocus();
  return false;
}

// An empty field is address 0, as an empty address control gives. Only a
// field that makes the filter (report) refuses a bad address.
bool ReadAddress(wxTextCtrl* edit, uint32_t* address, bool report) {
  std::string text = tv::WxToBytes(edit->GetValue());
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  if (text.empty()) {
    *address = 0;
    return true;
  }
  if (ParseDottedAddress(text, address)) return true;
  if (!report) return false;
  return Refuse(edit, "Enter an IP address of four numbers from 0 to 255, such as 192.168.0.1.");
}

bool ReadCode(wxTextCtrl* edit, unsigned* code) {
  std::string text = tv::WxToBytes(edit->GetValue());
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  unsigned value = 0;
  bool ok = !text.empty() && text.size() <= 3;
  for (char c : text) {
    if (c < '0' || c > '9') ok = false;
    else value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (!ok || value > kMaxResponseCode) return Refuse(edit, "Please enter an integer between 0 and 999.");
  *code = value;
  return true;
}

wxTextCtrl* AddressEdit(wxWindow* parent, int id) {
  auto* edit = new wxTextCtrl(parent, id);
  edit->SetMinSize(wxSize(edit->GetTextExtent("000.000.000.000").GetWidth() + 24, -1));
  return edit;
}

wxTextCtrl* CodeEdit(wxWindow* parent, int id) {
  auto* edit = new wxTextCtrl(parent, id);
  edit->SetMinSize(wxSize(edit->GetTextExtent("00000").GetWidth() + 24, -1));
  return edit;
}

}  // namespace

// ---------------------------------------------------------------------------

CFilterTypeDlg::CFilterTypeDlg(wxWindow* parent, CFilterWizardValues* values) : wxPanel(parent), m_values(values) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* typeBox = new wxStaticBoxSizer(wxVERTICAL, this, "Filter Type");
  static const struct {
    int id;
    const char* label;
  } kKinds[kFilterKindCount] = {{ID_HOST_IP, "&Host/IP"},      {ID_PAGE, "&Page/File"},
                                {ID_REFERRER, "&Referrer"},    {ID_TOP_DOMAIN, "&Top level domain"},
                                {ID_RESPONSE, "Response code"}, {ID_METHOD, "&Method"},
                                {ID_SITE, "Referring Sites "}};
  auto* grid = new wxFlexGridSizer(2, 0, 12);
  for (int i = 0; i < kFilterKindCount; ++i)
    m_kinds[i] = AddRadio(typeBox->GetStaticBox(), grid, kKinds[i].id, kKinds[i].label, i == 0);
  typeBox->Add(grid, 0, wxALL, 3);
  top->Add(typeBox, 0, wxEXPAND | wxALL, kGap);
  auto* includeBox = new wxStaticBoxSizer(wxVERTICAL, this, "Include or Exclude");
  m_include = AddRadio(includeBox->GetStaticBox(), includeBox, ID_INCLUDE, "&Include filter", true);
  m_exclude = AddRadio(includeBox->GetStaticBox(), includeBox, ID_EXCLUDE, "&Exclude filter");
  top->Add(includeBox, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap);
  SetSizer(top);
}

bool CFilterTypeDlg::TransferDataToWindow() {
  if (m_values->kind >= 0 && m_values->kind < kFilterKindCount) SetRadio(m_kinds[m_values->kind]);
  if (m_values->exclude == 0) SetRadio(m_include);
  else if (m_values->exclude == 1) SetRadio(m_exclude);
  return true;
}

bool CFilterTypeDlg::TransferDataFromWindow() {
  m_values->kind = -1;
  for (int i = 0; i < kFilterKindCount; ++i)
    if (m_kinds[i]->GetValue()) m_values->kind = i;
  m_values->exclude = m_include->GetValue() ? 0 : m_exclude->GetValue() ? 1 : -1;
  return true;
}

// ---------------------------------------------------------------------------

CHostFilterDlg::CHostFilterDlg(wxWindow* parent, CFilterWizardValues* values) : wxPanel(parent), m_values(values) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Host filter");
  wxWindow* in = box->GetStaticBox();
  auto* grid = new wxFlexGridSizer(2, kGap, kGap);
  grid->AddGrowableCol(1);
  m_kinds[0] = AddRadio(in, grid, ID_SINGLE, "&Single IP", true);
  m_address = AddressEdit(in, ID_ADDRESS);
  grid->Add(m_address, 0, wxALIGN_CENTER_VERTICAL);
  m_kinds[1] = AddRadio(in, grid, ID_RANGE, "&Range IP");
  auto* range = new wxBoxSizer(wxHORIZONTAL);
  m_fromLabel = new wxStaticText(in, ID_FROM_LABEL, "From:");
  range->Add(m_fromLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  m_from = AddressEdit(in, ID_FROM);
  range->Add(m_from, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  m_toLabel = new wxStaticText(in, ID_TO_LABEL, "To:");
  range->Add(m_toLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  m_to = AddressEdit(in, ID_TO);
  range->Add(m_to, 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(range, 0, wxALIGN_CENTER_VERTICAL);
  m_kinds[2] = AddRadio(in, grid, ID_DOMAIN, "&Domain name");
  m_domain = new wxTextCtrl(in, ID_DOMAIN_TEXT);
  grid->Add(m_domain, 1, wxEXPAND | wxALIGN_CENTER_VERTICAL);
  box->Add(grid, 1, wxEXPAND | wxALL, 3);
  top->Add(box, 0, wxEXPAND | wxALL, kGap);
  SetSizer(top);
  for (wxRadioButton* radio : m_kinds)
    radio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { UpdateEnabling(); });
}

int CHostFilterDlg::ChosenKind() const { return RadioIndex(m_kinds); }

void CHostFilterDlg::UpdateEnabling() {
  int kind = ChosenKind();
  m_address->Enable(kind == 0);
  for (wxWindow* w : {static_cast<wxWindow*>(m_from), static_cast<wxWindow*>(m_to),
                      static_cast<wxWindow*>(m_fromLabel), static_cast<wxWindow*>(m_toLabel)})
    w->Enable(kind == 1);
  m_domain->Enable(kind == 2);
}

bool CHostFilterDlg::TransferDataToWindow() {
  if (m_values->hostKind >= 0 && m_values->hostKind < 3) SetRadio(m_kinds[m_values->hostKind]);
  m_address->ChangeValue(DottedAddress(m_values->ip1));
  m_from->ChangeValue(DottedAddress(m_values->ip1));
  m_to->ChangeValue(DottedAddress(m_values->ip2));
  m_domain->ChangeValue(tv::BytesToWx(m_values->domain));
  UpdateEnabling();
  return true;
}

bool CHostFilterDlg::TransferDataFromWindow() {
  int kind = ChosenKind();
  bool used = m_values->kind == kKindHostIp;
  // Only the fields of the chosen kind are read.
  uint32_t a = m_values->ip1, b = m_values->ip2;
  if (kind == 0 && !ReadAddress(m_address, &a, used) && used) return false;
  if (kind == 1 && (!ReadAddress(m_from, &a, used) || !ReadAddress(m_to, &b, used)) && used) return false;
  m_values->hostKind = kind;
  m_values->ip1 = a;
  m_values->ip2 = b;
  m_values->domain = tv::WxToBytes(m_domain->GetValue());
  return true;
}

// ---------------------------------------------------------------------------

CMethodFilterDlg::CMethodFilterDlg(wxWindow* parent, CFilterWizardValues* values)
    : wxPanel(parent), m_values(values) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Methodt filter");
  m_get = new wxCheckBox(box->GetStaticBox(), ID_GET, "&GET");
  m_head = new wxCheckBox(box->GetStaticBox(), ID_HEAD, "&HEAD");
  m_post = new wxCheckBox(box->GetStaticBox(), ID_POST, "&POST");
  for (wxCheckBox* c : {m_get, m_head, m_post}) box->Add(c, 0, wxALL, 3);
  top->Add(box, 0, wxEXPAND | wxALL, kGap);
  SetSizer(top);
}

bool CMethodFilterDlg::TransferDataToWindow() {
  m_get->SetValue(m_values->get);
  m_head->SetValue(m_values->head);
  m_post->SetValue(m_values->post);
  return true;
}

bool CMethodFilterDlg::TransferDataFromWindow() {
  m_values->get = m_get->GetValue();
  m_values->head = m_head->GetValue();
  m_values->post = m_post->GetValue();
  return true;
}

// ---------------------------------------------------------------------------

CResponseCodeFilterDlg::CResponseCodeFilterDlg(wxWindow* parent, CFilterWizardValues* values)
    : wxPanel(parent), m_values(values) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Response code filter");
  wxWindow* in = box->GetStaticBox();
  auto* grid = new wxFlexGridSizer(2, kGap, kGap);
  m_kinds[0] = AddRadio(in, grid, ID_SINGLE, "&Single code", true);
  auto* single = new wxBoxSizer(wxHORIZONTAL);
  m_codeLabel = new wxStaticText(in, ID_CODE_LABEL, "Response code:");
  single->Add(m_codeLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  m_code = CodeEdit(in, ID_CODE);
  single->Add(m_code, 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(single, 0, wxALIGN_CENTER_VERTICAL);
  m_kinds[1] = AddRadio(in, grid, ID_RANGE, "&Range code");
  auto* range = new wxBoxSizer(wxHORIZONTAL);
  m_fromLabel = new wxStaticText(in, ID_FROM_LABEL, "From:");
  range->Add(m_fromLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  m_from = CodeEdit(in, ID_FROM);
  range->Add(m_from, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  m_toLabel = new wxStaticText(in, ID_TO_LABEL, "To:");
  range->Add(m_toLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  m_to = CodeEdit(in, ID_TO);
  range->Add(m_to, 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(range, 0, wxALIGN_CENTER_VERTICAL);
  box->Add(grid, 0, wxALL, 3);
  top->Add(box, 0, wxEXPAND | wxALL, kGap);
  SetSizer(top);
  for (wxRadioButton* radio : m_kinds)
    radio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { UpdateEnabling(); });
}

int CResponseCodeFilterDlg::ChosenKind() const { return RadioIndex(m_kinds); }

void CResponseCodeFilterDlg::UpdateEnabling() {
  int kind = ChosenKind();
  m_code->Enable(kind == 0);
  m_codeLabel->Enable(kind == 0);
  for (wxWindow* w : {static_cast<wxWindow*>(m_from), static_cast<wxWindow*>(m_to),
                      static_cast<wxWindow*>(m_fromLabel), static_cast<wxWindow*>(m_toLabel)})
    w->Enable(kind == 1);
}

bool CResponseCodeFilterDlg::TransferDataToWindow() {
  if (m_values->codeKind >= 0 && m_values->codeKind < 2) SetRadio(m_kinds[m_values->codeKind]);
  m_code->ChangeValue(std::to_string(m_values->code));
  m_from->ChangeValue(std::to_string(m_values->codeFrom));
  m_to->ChangeValue(std::to_string(m_values->codeTo));
  UpdateEnabling();
  return true;
}

bool CResponseCodeFilterDlg::TransferDataFromWindow() {
  int kind = ChosenKind();
  unsigned code = m_values->code, from = m_values->codeFrom, to = m_values->codeTo;
  if (m_values->kind == kKindResponse) {
    if (kind == 0 && !ReadCode(m_code, &code)) return false;
    if (kind == 1 && (!ReadCode(m_from, &from) || !ReadCode(m_to, &to))) return false;
  }
  m_values->codeKind = kind;
  m_values->code = code;
  m_values->codeFrom = from;
  m_values->codeTo = to;
  return true;
}

// ---------------------------------------------------------------------------

CTextFilterDlg::CTextFilterDlg(wxWindow* parent, CFilterWizardValues* values) : wxPanel(parent), m_values(values) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Referrer site filter");
  m_group = box->GetStaticBox();
  m_group->SetId(ID_GROUP);
  m_text = new wxTextCtrl(m_group, ID_TEXT);
  box->Add(m_text, 0, wxEXPAND | wxALL, 3);
  // Room for the longest example line, so none is cut.
  m_example = new wxStaticText(m_group, ID_EXAMPLE, TextPageLabels(kKindReferrer).example);
  m_example->SetMinSize(m_example->GetBestSize());
  box->Add(m_example, 0, wxALL, 3);
  top->Add(box, 0, wxEXPAND | wxALL, kGap);
  SetSizer(top);
}

void CTextFilterDlg::SetKind(int kind) {
  CTextPageLabels labels = TextPageLabels(kind);
  m_group->SetLabel(labels.caption);
  m_example->SetLabel(labels.example);
}

bool CTextFilterDlg::TransferDataToWindow() {
  m_text->ChangeValue(tv::BytesToWx(m_values->text));
  return true;
}

bool CTextFilterDlg::TransferDataFromWindow() {
  m_values->text = tv::WxToBytes(m_text->GetValue());
  return true;
}

// ---------------------------------------------------------------------------

CFilterWizardDlg::CFilterWizardDlg(wxWindow* parent, const CFilterWizardValues& values)
    : wxDialog(parent, wxID_ANY, "Filter Wizard"), m_values(values) {
  m_pages[kTypePage] = new CFilterTypeDlg(this, &m_values);
  m_pages[kHostPage] = new CHostFilterDlg(this, &m_values);
  m_pages[kMethodPage] = new CMethodFilterDlg(this, &m_values);
  m_pages[kResponsePage] = new CResponseCodeFilterDlg(this, &m_values);
  m_pages[kTextPage] = new CTextFilterDlg(this, &m_values);
  // Every page takes the room of the largest, so the wizard keeps its size.
  wxSize area;
  for (wxPanel* page : m_pages) area.IncTo(page->GetBestSize());
  auto* pages = new wxBoxSizer(wxVERTICAL);
  pages->SetMinSize(area);
  for (wxPanel* page : m_pages) {
    pages->Add(page, 1, wxEXPAND);
    page->TransferDataToWindow();
  }
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(pages, 1, wxEXPAND);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->AddStretchSpacer();
  auto* back = new wxButton(this, ID_BACK, "< &Back");
  auto* next = new wxButton(this, ID_NEXT, "&Finish >");
  buttons->Add(back, 0, wxRIGHT, kGap);
  buttons->Add(next, 0, wxRIGHT, 2 * kGap);
  buttons->Add(new wxButton(this, wxID_CANCEL, "&Cancel"), 0);
  top->Add(buttons, 0, wxEXPAND | wxALL, kGap);
  next->SetDefault();
  SetSizerAndFit(top);
  next->SetLabel("&Next >");
  ShowOnly(kTypePage);
  m_step = 0;
  Bind(wxEVT_BUTTON, &CFilterWizardDlg::OnNext, this, ID_NEXT);
  Bind(wxEVT_BUTTON, &CFilterWizardDlg::OnBack, this, ID_BACK);
  Bind(wxEVT_UPDATE_UI, &CFilterWizardDlg::OnUpdateNext, this, ID_NEXT);
  Bind(wxEVT_UPDATE_UI, &CFilterWizardDlg::OnUpdateBack, this, ID_BACK);
  CentreOnParent();
}

int CFilterWizardDlg::ShownPage() const {
  for (int i = 0; i < kPageCount; ++i)
    if (m_pages[i]->IsShown()) return i;
  return kPageCount;
}

void CFilterWizardDlg::ShowOnly(int page) {
  for (int i = 0; i < kPageCount; ++i) m_pages[i]->Show(i == page);
  Layout();
}

void CFilterWizardDlg::OnNext(wxCommandEvent&) {
  if (m_step == 1) {
    // Finish: the pages in order, the type page first so that the others
    // know which of their fields make the filter.
    for (wxPanel* page : m_pages)
      if (!page->TransferDataFromWindow()) return;
    EndModal(wxID_OK);
    return;
  }
  m_pages[kTypePage]->TransferDataFromWindow();
  m_step = 1;
  int page = kPageCount;
  switch (m_values.kind) {
    case kKindHostIp: page = kHostPage; break;
    case kKindResponse: page = kResponsePage; break;
    case kKindMethod: page = kMethodPage; break;
    case kKindPage:
    case kKindReferrer:
    case kKindTopDomain:
    case kKindSite:
      static_cast<CTextFilterDlg*>(m_pages[kTextPage])->SetKind(m_values.kind);
      page = kTextPage;
      break;
    default: break;
  }
  ShowOnly(page);
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
}

void CFilterWizardDlg::OnBack(wxCommandEvent&) {
  if (m_step != 1) return;
  ShowOnly(kTypePage);
  m_step = 0;
  UpdateWindowUI(wxUPDATE_UI_RECURSE);
}

void CFilterWizardDlg::OnUpdateNext(wxUpdateUIEvent& event) {
  event.SetText(m_step == 1 ? "&Finish >" : "&Next >");
}

void CFilterWizardDlg::OnUpdateBack(wxUpdateUIEvent& event) { event.Enable(m_step == 1); }
