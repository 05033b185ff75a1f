#include "ui/dialogs/filterdialogs.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "base/textutil.h"
#include "engine/display/vocab.h"
#include "platform/wx/wxtext.h"
#include "ui/dialogs/filterwizard.h"
#include "ui/panes/navigationjobs.h"
#include "ui/widgets/dialogbuttons.h"
#include "ui/widgets/reportlistctrl.h"

namespace {

constexpr int kGap = 6;
constexpr int kGroupOnImage = 27;
constexpr int kGroupOffImage = 28;

}  // namespace

// ---------------------------------------------------------------------------
// Filter list page

CFilterListPage::CFilterListPage(wxWindow* parent, CFilterList& filters) : wxPanel(parent), m_filters(&filters) {
  Build();
}

CFilterListPage::CFilterListPage(wxWindow* parent, CAdwordList& adwords) : wxPanel(parent), m_adwords(&adwords) {
  Build();
}

void CFilterListPage::Build() {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_list = new wxListBox(this, ID_LIST, wxDefaultPosition, wxSize(380, 200), 0, nullptr, wxLB_SINGLE | wxLB_HSCROLL);
  top->Add(m_list, 1, wxEXPAND | wxALL, kGap);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(new wxButton(this, ID_ADD, "&Add"), 0, wxRIGHT, kGap);
  buttons->Add(new wxButton(this, ID_UPDATE, "&Update"), 0, wxRIGHT, kGap);
  buttons->Add(new wxButton(this, ID_DELETE, "&Delete"), 0);
  top->Add(buttons, 0, wxLEFT | wxRIGHT | wxBOTTOM, kGap);
  SetSizerAndFit(top);
  Bind(wxEVT_BUTTON, &CFilterListPage::OnAdd, this, ID_ADD);
  Bind(wxEVT_BUTTON, &CFilterListPage::OnUpdate, this, ID_UPDATE);
  Bind(wxEVT_LISTBOX_DCLICK, &CFilterListPage::OnUpdate, this, ID_LIST);
  Bind(wxEVT_BUTTON, &CFilterListPage::OnDelete, this, ID_DELETE);
  Refill(0);
}

int CFilterListPage::Count() const { return m_adwords ? m_adwords->Count() : m_filters->Count(); }

int CFilterListPage::Selected() const {
  int n = m_list->GetSelection();
  return n >= 0 && n < Count() ? n : -1;
}

void CFilterListPage::Refill(int select) {
  m_list->Clear();
  wxArrayString lines;
  for (int n = 0; n < Count(); ++n)
    lines.Add(tv::BytesToWx(m_adwords ? AdwordListText((*m_adwords)[n]) : FilterListText((*m_filters)[n])));
  if (!lines.empty()) m_list->Append(lines);
  if (select >= 0 && select < Count()) m_list->SetSelection(select);
}

bool CFilterListPage::TransferDataToWindow() {
  Refill(0);
  return true;
}

void CFilterListPage::OnAdd(wxCommandEvent&) {
  if (m_adwords) {
    CPayPerClickDlg dlg(this);
    dlg.m_matchType = 0;
    if (dlg.ShowModal() != wxID_OK) return;
    CAdword entry;
    SetStr(&entry.url, dlg.m_url.c_str());
    SetStr(&entry.name, dlg.m_name.c_str());
    entry.type = static_cast<uint16_t>(dlg.m_matchType);
    if (!m_adwords->Add(&entry)) return;
  } else {
    CFilterWizardDlg wizard(this, NewFilterWizardValues());
    if (wizard.ShowModal() != wxID_OK) return;
    CFilter filter;
    if (!BuildFilter(wizard.Values(), &filter) || !m_filters->Add(filter)) return;
  }
  Refill(Count() - 1);
}

void CFilterListPage::OnUpdate(wxCommandEvent&) {
  int n = Selected();
  if (n < 0) return;
  if (m_adwords) {
    const CAdword& old = (*m_adwords)[n];
    CPayPerClickDlg dlg(this);
    dlg.m_url = old.url ? old.url : "";
    dlg.m_name = old.name ? old.name : "";
    dlg.m_matchType = old.type ? 1 : 0;
    if (dlg.ShowModal() != wxID_OK) return;
    CAdword entry;
    SetStr(&entry.url, dlg.m_url.c_str());
    SetStr(&entry.name, dlg.m_name.c_str());
    entry.type = static_cast<uint16_t>(dlg.m_matchType);
    m_adwords->Set(n, entry);
  } else {
    CFilterWizardDlg wizard(this, WizardValuesOf((*m_filters)[n]));
    if (wizard.ShowModal() != wxID_OK) return;
    CFilter filter;
    if (!BuildFilter(wizard.Values(), &filter)) return;
    m_filters->Set(n, filter);
  }
  Refill(n);
}

void CFilterListPage::OnDelete(wxCommandEvent&) {
  int n = Selected();
  if (n < 0) return;
  const char* question = m_adwords ? "Delete the AdWords?" : "Delete the filter?";
  wxMessageDialog ask(this, question, "Trailvane", wxYES_NO | wxICON_QUESTION);
  if (ask.ShowModal() != wxID_YES) return;
  if (m_adwords) m_adwords->Delete(n);
  else m_filters->Delete(n);
  Refill(std::min(n, Count() - 1));
}

// ---------------------------------------------------------------------------
// Pay-per-click settings

CPayPerClickDlg::CPayPerClickDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Pay-per-click settings") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* radios = new wxBoxSizer(wxHORIZONTAL);
  m_whole = new wxRadioButton(this, ID_WHOLE, "&Whole URL", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
  m_substring = new wxRadioButton(this, ID_SUBSTRING, "&Substring URL");
  radios->Add(m_whole, 0, wxRIGHT, 2 * kGap);
  radios->Add(m_substring, 0);
  top->Add(radios, 0, wxALL, kGap);
  auto* grid = new wxFlexGridSizer(2, kGap, kGap);
  grid->AddGrowableCol(1);
  grid->Add(new wxStaticText(this, wxID_ANY, "URL:"), 0, wxALIGN_CENTER_VERTICAL);
  m_urlEdit = new wxTextCtrl(this, ID_URL, wxString(), wxDefaultPosition, wxSize(320, -1));
  grid->Add(m_urlEdit, 1, wxEXPAND);
  grid->AddSpacer(0);
  m_example = new wxStaticText(this, ID_EXAMPLE, PayPerClickExample(0));
  grid->Add(m_example, 0);
  grid->Add(new wxStaticText(this, wxID_ANY, "Name:"), 0, wxALIGN_CENTER_VERTICAL);
  m_nameEdit = new wxTextCtrl(this, ID_NAME);
  grid->Add(m_nameEdit, 1, wxEXPAND);
  top->Add(grid, 0, wxEXPAND | wxLEFT | wxRIGHT, kGap);
  top->Add(OkCancelButtons(this, "&OK", "&Cancel"), 0, wxEXPAND | wxALL, kGap);
  SetSizerAndFit(top);
  for (wxRadioButton* radio : {m_whole, m_substring})
    radio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { ShowExample(); });
  CentreOnParent();
}

void CPayPerClickDlg::ShowExample() { m_example->SetLabel(PayPerClickExample(m_substring->GetValue() ? 1 : 0)); }

bool CPayPerClickDlg::TransferDataToWindow() {
  if (m_matchType == 0) m_whole->SetValue(true);
  else if (m_matchType == 1) m_substring->SetValue(true);
  m_urlEdit->ChangeValue(tv::BytesToWx(m_url));
  m_nameEdit->ChangeValue(tv::BytesToWx(m_name));
  ShowExample();
  return true;
}

bool CPayPerClickDlg::TransferDataFromWindow() {
  // An entry without an address would match every page (as a substring) or
  // none, so it is not taken.
  if (m_urlEdit->GetValue().Strip(wxString::both).empty()) {
    wxMessageBox("Please enter the URL of the page.", "Pay-per-click settings", wxOK | wxICON_EXCLAMATION, this);
    m_urlEdit->SetFocus();
    return false;
  }
  m_matchType = m_substring->GetValue() ? 1 : 0;
  m_url = tv::WxToBytes(m_urlEdit->GetValue());
  m_name = tv::WxToBytes(m_nameEdit->GetValue());
  return true;
}

// ---------------------------------------------------------------------------
// Environment filters

CEnvironmentFiltersDlg::CEnvironmentFiltersDlg(wxWindow* parent, CQueryParams& params, int kind,
                                               const CGroupList& groups)
    : wxDialog(parent, wxID_ANY, "Environment filters"),
      m_params(params),
      m_state(EnvironmentFiltersOf(params, kind)),
      m_groupCount(std::min(groups.Count(), CGroupList::kMaxGroups)) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* boxes = new wxBoxSizer(wxHORIZONTAL);
  auto radioBox = [&](int boxId, const char* caption, const int (&ids)[3], const char* const (&labels)[3],
                      wxRadioButton* (&radios)[3], int chosen, bool applies) {
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, caption);
    box->GetStaticBox()->SetId(boxId);
    for (int i = 0; i < 3; ++i) {
      radios[i] = new wxRadioButton(box->GetStaticBox(), ids[i], labels[i], wxDefaultPosition, wxDefaultSize,
                                    i == 0 ? wxRB_GROUP : 0);
      box->Add(radios[i], 0, wxALL, 3);
    }
    radios[chosen]->SetValue(true);
    box->GetStaticBox()->Enable(applies);
    return box;
  };
  static const int kResponseIds[3] = {ID_ALL_REQUESTS, ID_SUCCESSFUL, ID_ERRORS};
  static const char* const kResponseLabels[3] = {"All Requests", "Successful", "Errors"};
  static const int kSpiderIds[3] = {ID_ALL_SPIDERS, ID_WITHOUT_SPIDERS, ID_SPIDERS_ONLY};
  static const char* const kSpiderLabels[3] = {"All request", "Without Spiders", "Spiders only"};
  boxes->Add(radioBox(ID_RESPONSE_BOX, "Response", kResponseIds, kResponseLabels, m_response, m_state.response,
                      m_state.responseApplies),
             1, wxEXPAND | wxRIGHT, kGap);
  boxes->Add(radioBox(ID_SPIDERS_BOX, "Spiders", kSpiderIds, kSpiderLabels, m_spiders, m_state.spiders,
                      m_state.spidersApply),
             1, wxEXPAND);
  top->Add(boxes, 0, wxEXPAND | wxALL, kGap);
  auto* label = new wxStaticText(this, ID_GROUPS_LABEL, "Groups:");
  top->Add(label, 0, wxLEFT | wxRIGHT, kGap);
  m_groups = new wxListCtrl(this, ID_GROUPS, wxDefaultPosition, wxSize(-1, 130),
                            wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL);
  m_groups->SetImageList(ReportImages(), wxIMAGE_LIST_SMALL);
  m_groups->InsertColumn(0, wxString());
  auto image = [this](int line) {
    return m_state.groupOn[line < m_groupCount ? line : 8] ? kGroupOnImage : kGroupOffImage;
  };
  for (int g = 0; g < m_groupCount; ++g) {
    const char* name = groups[g].name;
    m_groups->InsertItem(g, tv::BytesToWx(name && *name ? name : GetTerm(kTermAllOther)), image(g));
  }
  m_groups->InsertItem(m_groupCount, tv::BytesToWx(GetTerm(kTermAllOther)), image(m_groupCount));
  label->Enable(m_state.groupsApply);
  m_groups->Enable(m_state.groupsApply);
  top->Add(m_groups, 1, wxEXPAND | wxALL, kGap);
  top->Add(OkCancelButtons(this, "OK", "Cancel"), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap);
  SetSizerAndFit(top);
  m_groups->SetColumnWidth(0, std::max(m_groups->GetClientSize().GetWidth(), 60));
  m_groups->Bind(wxEVT_LEFT_DOWN, &CEnvironmentFiltersDlg::OnGroupsClick, this);
  CentreOnParent();
}

void CEnvironmentFiltersDlg::OnGroupsClick(wxMouseEvent& event) {
  event.Skip();
  int flags = 0;
  long line = m_groups->HitTest(event.GetPosition(), flags);
  if (line >= 0) ToggleLine(line);
}

void CEnvironmentFiltersDlg::ToggleLine(long line) {
  if (line < 0 || line >= m_groups->GetItemCount()) return;
  bool on = ToggleEnvironmentGroup(m_state, static_cast<int>(line), m_groupCount);
  m_groups->SetItemImage(line, on ? kGroupOnImage : kGroupOffImage);
}

bool CEnvironmentFiltersDlg::TransferDataFromWindow() {
  for (int i = 0; i < 3; ++i) {
    if (m_response[i]->GetValue()) m_state.response = i;
    if (m_spiders[i]->GetValue()) m_state.spiders = i;
  }
  ApplyEnvironmentFilters(m_state, m_params);
  return true;
}

// ---------------------------------------------------------------------------
// Filter history

CFilterHistoryDlg::CFilterHistoryDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Filter History") {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_list = new wxListCtrl(this, ID_LIST, wxDefaultPosition, wxSize(-1, 220),
                          wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES);
  // Never narrower than the header on a wider desktop font.
  auto width = [this](const char* header, int least) {
    return std::max(least, m_list->GetTextExtent(header).GetWidth() + 16);
  };
  const int widths[3] = {width("Level", 40), width("Filter", 90), width("Value", 210)};
  m_list->InsertColumn(0, "Level", wxLIST_FORMAT_LEFT, widths[0]);
  m_list->InsertColumn(1, "Filter", wxLIST_FORMAT_LEFT, widths[1]);
  m_list->InsertColumn(2, "Value", wxLIST_FORMAT_LEFT, widths[2]);
  m_list->SetMinSize(wxSize(widths[0] + widths[1] + widths[2] + 8, 220));
  for (const CFilterHistoryLine& line : FilterHistoryLines()) {
    long item = m_list->InsertItem(m_lines++, tv::BytesToWx(line.level));
    m_list->SetItem(item, 1, tv::BytesToWx(line.title));
    m_list->SetItem(item, 2, tv::BytesToWx(line.value));
  }
  if (m_lines > 0) {
    m_list->SetItemState(m_lines - 1, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    m_list->EnsureVisible(m_lines - 1);
  }
  top->Add(m_list, 1, wxEXPAND | wxALL, kGap);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->AddStretchSpacer();
  auto* go = new wxButton(this, ID_GO, "&Go");
  go->SetDefault();
  buttons->Add(go, 0, wxRIGHT, kGap);
  buttons->Add(new wxButton(this, wxID_CANCEL, "&Close"), 0);
  top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap);
  SetSizerAndFit(top);
  Bind(wxEVT_BUTTON, &CFilterHistoryDlg::OnGo, this, ID_GO);
  Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Enable(m_lines > 0); }, ID_GO);
  m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CFilterHistoryDlg::OnActivated, this);
  CentreOnParent();
}

void CFilterHistoryDlg::OnGo(wxCommandEvent&) { GoToSelected(); }

void CFilterHistoryDlg::OnActivated(wxListEvent&) { GoToSelected(); }

void CFilterHistoryDlg::GoToSelected() {
  // Without a selection there is no level to go to (GoBackToLevel would take
  // -1 for one level up).
  long line = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  if (line < 0 || line >= m_lines) return;
  m_chosen = static_cast<int>(line);
  GoBackToLevel(m_chosen);
  EndModal(wxID_OK);
}
