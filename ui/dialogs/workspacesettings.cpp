#include "ui/dialogs/workspacesettings.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "engine/analysis/dnscache.h"
#include "engine/config/settings.h"
#include "engine/display/vocab.h"
#include "engine/sources/logcache.h"
#include "engine/tables/auxdb.h"
#include "platform/wx/wxtext.h"
#include "ui/core/navigationstate.h"
#include "ui/core/workspacesettings.h"
#include "ui/dialogs/filterdialogs.h"
#include "ui/dialogs/languages.h"
#include "ui/panes/navigationjobs.h"
#include "ui/widgets/dialogbuttons.h"
#include "ui/widgets/worker.h"

namespace {

// The list page of a mode (0 filters, 1 pay-per-click) over the working lists,
// which it edits in place; it refills itself in TransferDataToWindow.
wxWindow* MakeFilterListPage(wxWindow* parent, int mode, CFilterList* filters, CAdwordList* adwords) {
  if (mode == 1) return new CFilterListPage(parent, *adwords);
  return new CFilterListPage(parent, *filters);
}

// A check box's value as the workspace keeps it.
int16_t Flag(wxCheckBox* box) { return box->GetValue() ? 1 : 0; }

// A static box with a vertical sizer; controls in it are children of the box.
wxStaticBoxSizer* Box(wxWindow* parent, const wxString& title) {
  return new wxStaticBoxSizer(wxVERTICAL, parent, title);
}

// A radio group: the first button starts the group.
void AddRadios(wxStaticBoxSizer* box, wxRadioButton** buttons, const int* ids, const char* const* texts, int n) {
  for (int i = 0; i < n; ++i) {
    buttons[i] = new wxRadioButton(box->GetStaticBox(), ids[i], texts[i], wxDefaultPosition, wxDefaultSize,
                                   i == 0 ? wxRB_GROUP : 0);
    box->Add(buttons[i], 0, wxALL, 3);
  }
}

// A list that shows an index: out of range selects nothing.
void SelectIndex(wxChoice* list, int index) {
  list->SetSelection(index >= 0 && index < static_cast<int>(list->GetCount()) ? index : wxNOT_FOUND);
}
// Unselected keeps the value the list was given.
int16_t SelectedIndex(wxChoice* list, int16_t previous) {
  int n = list->GetSelection();
  return n == wxNOT_FOUND ? previous : static_cast<int16_t>(n);
}

}  // namespace

bool OnWorkspaceSettings(wxWindow* parent) {
  // The lists and the workspace belong to the worker while a job runs.
  if (IsWorkerBusy()) return false;
  // The list pages edit copies, so Cancel leaves the project's lists as they were.
  CFilterList filters;
  filters.CopyFrom(g_project.filters);
  CAdwordList adwords;
  adwords.CopyFrom(g_project.adwords);

  WorkspaceCommon& common = g_workspace.common;
  CWorkspaceSettingsDlg dlg(parent, &filters, &adwords);
  dlg.m_values = WorkspaceSettingsOf(common);
  dlg.m_zoneServerIndex = HourOffsetToIndex(common.zone_server);
  dlg.m_zoneReportIndex = HourOffsetToIndex(common.zone_report);
  dlg.m_daysDnsCache = g_settings.days_dns_cache;
  if (dlg.ShowModal() != wxID_OK) return false;

  WorkspaceSettings values = dlg.m_values;
  values.zone_server = static_cast<int16_t>(IndexToHourOffset(dlg.m_zoneServerIndex));
  values.zone_report = static_cast<int16_t>(IndexToHourOffset(dlg.m_zoneReportIndex));
  g_workspace.ApplyWorkspaceSettings(values);
  g_project.filters.CopyFrom(filters);
  g_settings.days_dns_cache = g_settingsWork.days_dns_cache = dlg.m_daysDnsCache;
  SaveConfig();
  g_workspace.SetDirty();
  g_project.adwords.CopyFrom(adwords);
  ResetNavigation(1);
  if (TopKindSet()) RerunAllOnWorker(nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// The dialog

CWorkspaceSettingsDlg::CWorkspaceSettingsDlg(wxWindow* parent, CFilterList* filters, CAdwordList* adwords)
    : wxDialog(parent, wxID_ANY, "Workspace settings"), m_filters(filters), m_adwords(adwords) {
  m_tabs = new wxNotebook(this, ID_TABS);
  const char* spider = GetTerm(kTermRobot);
  m_pages[kTabBase] = new CBasePage(m_tabs, this);
  m_pages[kTabReports] = new CReportsPage(m_tabs, this);
  m_pages[kTabInternational] = new CInternationalPage(m_tabs, this);
  m_pages[kTabFilters] = MakeFilterListPage(m_tabs, 0, filters, adwords);
  m_pages[kTabDns] = new CDnsPage(m_tabs, this);
  m_pages[kTabSpiders] = new CSpidersPage(m_tabs, this);
  if (g_auxDatabases.adHostsLoaded) m_pages[kTabPayPerClick] = MakeFilterListPage(m_tabs, 1, filters, adwords);
  const wxString texts[7] = {"Base", "Reports", "International", "Filters", "DNS",
                             tv::BytesToWx(spider && *spider ? spider : "Spider"), "pay-per-click"};
  // GTK scrolls tabs that do not fit; the notebook's best size ignores them.
  int tabsWidth = 0;
  for (int i = 0; i < 7; ++i) {
    if (!m_pages[i]) continue;
    m_tabs->AddPage(m_pages[i], texts[i], i == kTabBase);
    tabsWidth += m_tabs->GetTextExtent(texts[i]).x + FromDIP(44);
  }
  m_tabs->SetMinSize(wxSize(std::max(m_tabs->GetBestSize().x, tabsWidth + FromDIP(16)), -1));

  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(m_tabs, 1, wxEXPAND | wxALL, 10);
  top->Add(OkCancelButtons(this, "&OK", "&Cancel"), 0, wxLEFT | wxRIGHT | wxBOTTOM | wxALIGN_RIGHT, 10);
  SetSizerAndFit(top);
}

wxWindow* CWorkspaceSettingsDlg::Page(int tab) const { return tab >= 0 && tab < 7 ? m_pages[tab] : nullptr; }

bool CWorkspaceSettingsDlg::TransferDataToWindow() {
  for (wxWindow* page : m_pages)
    if (page) page->TransferDataToWindow();
  return true;
}

bool CWorkspaceSettingsDlg::TransferDataFromWindow() {
  for (int tab : {kTabBase, kTabReports, kTabInternational, kTabDns, kTabSpiders}) {
    if (m_pages[tab]->TransferDataFromWindow()) continue;
    m_tabs->SetSelection(static_cast<size_t>(m_tabs->FindPage(m_pages[tab])));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Pages

CSettingsPage::CSettingsPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog)
    : wxPanel(parent), m_dialog(dialog), m_values(dialog->m_values) {}

int CSettingsPage::CheckedIndex(wxRadioButton* const* group, int n) {
  for (int i = 0; i < n; ++i)
    if (group[i]->GetValue()) return i;
  return 0;
}

void CSettingsPage::CheckIndex(wxRadioButton* const* group, int n, int index) {
  group[index >= 0 && index < n ? index : 0]->SetValue(true);
}

bool CSettingsPage::ReadNumber(wxTextCtrl* edit, int32_t lo, int32_t hi, int32_t* value) {
  if (ParseIntInRange(tv::WxToBytes(edit->GetValue()), lo, hi, value)) return true;
  wxWindow* page = this;
  if (auto* tabs = m_dialog->Tabs()) tabs->SetSelection(static_cast<size_t>(tabs->FindPage(page)));
  wxMessageBox(tv::BytesToWx(IntegerRangeMessage(lo, hi)), m_dialog->GetTitle(), wxOK | wxICON_EXCLAMATION, m_dialog);
  edit->SetFocus();
  edit->SelectAll();
  return false;
}

CBasePage::CBasePage(wxWindow* parent, CWorkspaceSettingsDlg* dialog) : CSettingsPage(parent, dialog) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  const wxSize wide = FromDIP(wxSize(330, -1));
  top->Add(new wxStaticText(this, wxID_ANY, "Url site:"));
  m_url = new wxTextCtrl(this, ID_URL, wxString(), wxDefaultPosition, wide);
  top->Add(m_url, 0, wxEXPAND | wxTOP, 2);
  top->Add(new wxStaticText(this, wxID_ANY, "Example: 'http://www.example.com;http://example.com'"), 0, wxTOP, 2);
  top->Add(new wxStaticText(this, wxID_ANY, "Index file:"), 0, wxTOP, 8);
  m_index = new wxTextCtrl(this, ID_INDEX, wxString(), wxDefaultPosition, wide);
  top->Add(m_index, 0, wxEXPAND | wxTOP, 2);
  top->Add(new wxStaticText(this, wxID_ANY, "Example: 'index.htm' or 'index.htm;Default.asp' etc."), 0, wxTOP, 2);

  auto* session = new wxBoxSizer(wxHORIZONTAL);
  session->Add(new wxStaticText(this, wxID_ANY, "Visitor session timeout"), 0, wxALIGN_CENTER_VERTICAL);
  m_session = new wxTextCtrl(this, ID_SESSION, wxString(), wxDefaultPosition, FromDIP(wxSize(70, -1)));
  session->Add(m_session, 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 5);
  session->Add(new wxStaticText(this, wxID_ANY, "minutes"), 0, wxALIGN_CENTER_VERTICAL);
  top->Add(session, 0, wxTOP, 10);

  auto* boxes = new wxBoxSizer(wxVERTICAL);
  auto* caseBox = Box(this, "The page names on the servers are:");
  static const int caseIds[] = {ID_CASE_SENSITIVE, ID_NOT_CASE_SENSITIVE};
  static const char* const caseTexts[] = {"Case sensitive (Unix)", "Not case sensitive (Windows)"};
  AddRadios(caseBox, m_case, caseIds, caseTexts, 2);
  boxes->Add(caseBox, 0, wxEXPAND | wxBOTTOM, 8);
  auto* logBox = Box(this, "Log files report");
  static const int logIds[] = {ID_LOGS_NONE, ID_LOGS_BAD, ID_LOGS_ALL};
  static const char* const logTexts[] = {"None", "Only bad files", "All files"};
  AddRadios(logBox, m_badFiles, logIds, logTexts, 3);
  boxes->Add(logBox, 0, wxEXPAND);
  top->Add(boxes, 0, wxEXPAND | wxTOP, 10);

  m_noCookie = new wxCheckBox(this, ID_NO_COOKIE, "Do not use cookie");
  top->Add(m_noCookie, 0, wxTOP, 10);
  m_subdomain = new wxCheckBox(this, ID_SUBDOMAIN, "Use subdomain field");
  top->Add(m_subdomain, 0, wxTOP, 6);

  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(top, 1, wxEXPAND | wxALL, 10);
  SetSizer(outer);
}

bool CBasePage::TransferDataToWindow() {
  m_url->ChangeValue(tv::BytesToWx(m_values.URL));
  m_index->ChangeValue(tv::BytesToWx(m_values.index));
  m_session->ChangeValue(wxString::Format("%d", m_values.session));
  CheckIndex(m_case, 2, m_values.case_page);
  CheckIndex(m_badFiles, 3, m_values.display_bad_file);
  m_noCookie->SetValue(m_values.not_use_cookie != 0);
  m_subdomain->SetValue(m_values.subdomain != 0);
  return true;
}

bool CBasePage::TransferDataFromWindow() {
  int32_t session = 0;
  if (!ReadNumber(m_session, 0, kMaxSessionMinutes, &session)) return false;
  m_values.URL = tv::WxToBytes(m_url->GetValue());
  m_values.index = tv::WxToBytes(m_index->GetValue());
  m_values.session = static_cast<int16_t>(session);
  m_values.case_page = static_cast<int16_t>(CheckedIndex(m_case, 2));
  m_values.display_bad_file = static_cast<int16_t>(CheckedIndex(m_badFiles, 3));
  m_values.not_use_cookie = Flag(m_noCookie);
  m_values.subdomain = Flag(m_subdomain);
  return true;
}

namespace {

struct ReportSwitch {
  int id;
  const char* text;
  int16_t WorkspaceSettings::*value;
};
const ReportSwitch kReportSwitches[CReportsPage::kSwitches] = {
    {CReportsPage::ID_IGNORE_ARGM, "&Do not display text after the question mark (?) in URL",
     &WorkspaceSettings::ignore_argm},
    {CReportsPage::ID_INT_REFF, "&Show internal referrers (Referrers, Sites report)", &WorkspaceSettings::int_reff},
    {CReportsPage::ID_REFF_SE, "Sho&w referrers from Search Engines", &WorkspaceSettings::reff_se},
    {CReportsPage::ID_CASE_KWD, "Match &case keywords", &WorkspaceSettings::case_kwd},
    {CReportsPage::ID_EXPAND_GROUPS, "&Expand groups column", &WorkspaceSettings::expand_groups},
    {CReportsPage::ID_NO_REFER, "Show \"No &Referrer\"", &WorkspaceSettings::sh_no_refer},
    {CReportsPage::ID_ADD_COUNTRY, "&Add country to IP", &WorkspaceSettings::add_countr},
    {CReportsPage::ID_DAY_OF_WEEK, "Add day of &week to date", &WorkspaceSettings::add_day_week},
};

}  // namespace

CReportsPage::CReportsPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog) : CSettingsPage(parent, dialog) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  for (int i = 0; i < kSwitches; ++i) {
    m_switch[i] = new wxCheckBox(this, kReportSwitches[i].id, kReportSwitches[i].text);
    top->Add(m_switch[i], 0, i ? wxTOP : 0, 6);
  }
  auto* host = new wxBoxSizer(wxHORIZONTAL);
  host->Add(new wxStaticText(this, wxID_ANY, "Host representation:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
  m_host = new wxChoice(this, ID_HOST);
  for (const char* entry : {"Domain", "IP", "Domain,IP", "IP,Domain"}) m_host->Append(entry);
  host->Add(m_host, 0, wxALIGN_CENTER_VERTICAL);
  top->Add(host, 0, wxTOP, 10);
  auto* bandwidth = Box(this, "Bandwidth");
  static const int ids[] = {ID_SEND_ONLY, ID_SEND_RECEIVE};
  static const char* const texts[] = {"Send &only", "Se&nd and receive (IIS)"};
  AddRadios(bandwidth, m_bandwidth, ids, texts, 2);
  top->Add(bandwidth, 0, wxEXPAND | wxTOP, 10);

  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(top, 1, wxEXPAND | wxALL, 10);
  SetSizer(outer);
}

bool CReportsPage::TransferDataToWindow() {
  for (int i = 0; i < kSwitches; ++i) m_switch[i]->SetValue(m_values.*kReportSwitches[i].value != 0);
  SelectIndex(m_host, m_values.host_represnt);
  CheckIndex(m_bandwidth, 2, m_values.send_receive);
  return true;
}

bool CReportsPage::TransferDataFromWindow() {
  for (int i = 0; i < kSwitches; ++i) m_values.*kReportSwitches[i].value = Flag(m_switch[i]);
  m_values.host_represnt = SelectedIndex(m_host, m_values.host_represnt);
  m_values.send_receive = static_cast<int16_t>(CheckedIndex(m_bandwidth, 2));
  return true;
}

wxBEGIN_EVENT_TABLE(CInternationalPage, CSettingsPage)
  EVT_BUTTON(CInternationalPage::ID_CHOOSE_LANGUAGE, CInternationalPage::OnChooseLanguage)
wxEND_EVENT_TABLE()

CInternationalPage::CInternationalPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog)
    : CSettingsPage(parent, dialog) {
  auto* grid = new wxFlexGridSizer(2, FromDIP(8), FromDIP(8));
  grid->AddGrowableCol(0);
  grid->AddGrowableCol(1);

  auto* date = Box(this, "Date format");
  auto* dateGrid = new wxFlexGridSizer(2, 4, 6);
  wxWindow* dateBox = date->GetStaticBox();
  dateGrid->Add(new wxStaticText(dateBox, wxID_ANY, "Format:"), 0, wxALIGN_CENTER_VERTICAL);
  m_format = new wxChoice(dateBox, ID_DATE_FORMAT);
  for (const char* entry : {"DMY", "YMD", "MDY"}) m_format->Append(entry);
  dateGrid->Add(m_format, 0, wxEXPAND);
  dateGrid->Add(new wxStaticText(dateBox, wxID_ANY, "Separator:"), 0, wxALIGN_CENTER_VERTICAL);
  m_separator = new wxChoice(dateBox, ID_SEPARATOR);
  for (const char* entry : {"  /", "  -", "  ."}) m_separator->Append(entry);
  dateGrid->Add(m_separator, 0, wxEXPAND);
  date->Add(dateGrid, 0, wxALL, 3);
  grid->Add(date, 0, wxEXPAND);

  auto* zone = Box(this, "Time zone");
  wxWindow* zoneBox = zone->GetStaticBox();
  auto* zoneGrid = new wxFlexGridSizer(2, 4, 6);
  wxArrayString zones;
  for (int i = 0; i < kZoneListEntries; ++i) zones.Add(ZoneEntryText(i));
  zoneGrid->Add(new wxStaticText(zoneBox, wxID_ANY, "Server time zone:"), 0, wxALIGN_CENTER_VERTICAL);
  m_zoneServer = new wxChoice(zoneBox, ID_ZONE_SERVER, wxDefaultPosition, wxDefaultSize, zones);
  zoneGrid->Add(m_zoneServer, 0, wxEXPAND);
  zoneGrid->Add(new wxStaticText(zoneBox, wxID_ANY, "Report time zone:"), 0, wxALIGN_CENTER_VERTICAL);
  m_zoneReport = new wxChoice(zoneBox, ID_ZONE_REPORT, wxDefaultPosition, wxDefaultSize, zones);
  zoneGrid->Add(m_zoneReport, 0, wxEXPAND);
  zone->Add(zoneGrid, 0, wxALL, 3);
  grid->Add(zone, 0, wxEXPAND);

  auto radios = [this, grid](const char* title, wxRadioButton** buttons, const int* ids, const char* const* texts) {
    auto* box = Box(this, title);
    AddRadios(box, buttons, ids, texts, 2);
    grid->Add(box, 0, wxEXPAND);
  };
  static const int yearIds[] = {ID_YEAR4, ID_YEAR2}, monthIds[] = {ID_MONTH_NAME, ID_MONTH_NUMBER},
                   timeIds[] = {ID_TIME24, ID_TIME12}, weekIds[] = {ID_SUNDAY, ID_MONDAY};
  static const char* const yearTexts[] = {"&4 digit", "&2 digit"};
  static const char* const monthTexts[] = {"&Mar", "&03"};
  static const char* const timeTexts[] = {"1&5:25:17", "03:25:17 &PM"};
  static const char* const weekTexts[] = {"&Sunday", "&Monday"};
  radios("Year format", m_year, yearIds, yearTexts);
  radios("Month format", m_month, monthIds, monthTexts);
  radios("Time format", m_time, timeIds, timeTexts);
  radios("First day of week", m_week, weekIds, weekTexts);

  auto* language = new wxBoxSizer(wxHORIZONTAL);
  language->Add(new wxStaticText(this, wxID_ANY, "Report Language:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
  m_language = new wxTextCtrl(this, ID_LANGUAGE, wxString(), wxDefaultPosition, FromDIP(wxSize(180, -1)),
                              wxTE_READONLY);
  m_language->Disable();
  language->Add(m_language, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 5);
  language->Add(new wxButton(this, ID_CHOOSE_LANGUAGE, "...", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT), 0,
                wxALIGN_CENTER_VERTICAL);

  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(grid, 0, wxEXPAND | wxALL, 10);
  outer->Add(language, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
  SetSizer(outer);
}

bool CInternationalPage::TransferDataToWindow() {
  SelectIndex(m_format, m_values.dt_format);
  SelectIndex(m_separator, m_values.dt_separator);
  CheckIndex(m_year, 2, m_values.dt_4year);
  CheckIndex(m_month, 2, m_values.dt_fmnth);
  CheckIndex(m_time, 2, m_values.tm_format);
  SelectIndex(m_zoneServer, m_dialog->m_zoneServerIndex);
  SelectIndex(m_zoneReport, m_dialog->m_zoneReportIndex);
  CheckIndex(m_week, 2, m_values.dt_dweek);
  m_shownLanguage = m_values.language;
  m_language->ChangeValue(tv::BytesToWx(m_shownLanguage));
  return true;
}

bool CInternationalPage::TransferDataFromWindow() {
  m_values.dt_format = SelectedIndex(m_format, m_values.dt_format);
  m_values.dt_separator = SelectedIndex(m_separator, m_values.dt_separator);
  m_values.dt_4year = static_cast<int16_t>(CheckedIndex(m_year, 2));
  m_values.dt_fmnth = static_cast<int16_t>(CheckedIndex(m_month, 2));
  m_values.tm_format = static_cast<int16_t>(CheckedIndex(m_time, 2));
  m_dialog->m_zoneServerIndex = m_zoneServer->GetSelection();
  m_dialog->m_zoneReportIndex = m_zoneReport->GetSelection();
  m_values.dt_dweek = static_cast<int16_t>(CheckedIndex(m_week, 2));
  m_values.language = m_shownLanguage;
  return true;
}

void CInternationalPage::OnChooseLanguage(wxCommandEvent&) {
  std::string name = m_shownLanguage;
  if (!ChooseReportLanguage(m_dialog, &name)) return;
  m_shownLanguage = name;
  m_language->ChangeValue(tv::BytesToWx(m_shownLanguage));
}

wxBEGIN_EVENT_TABLE(CDnsPage, CSettingsPage)
  EVT_BUTTON(CDnsPage::ID_CLEAR_DNS, CDnsPage::OnClearDns)
  EVT_BUTTON(CDnsPage::ID_CLEAR_FTP, CDnsPage::OnClearFtp)
wxEND_EVENT_TABLE()

CDnsPage::CDnsPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog) : CSettingsPage(parent, dialog) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_dnsLookup = new wxCheckBox(this, ID_DNS_LOOKUP, "&Lookup IP address by domain/host name");
  top->Add(m_dnsLookup);
  m_ipLookup = new wxCheckBox(this, ID_IP_LOOKUP, "Lookup domaim/host name by I&P address");
  top->Add(m_ipLookup, 0, wxTOP, 6);

  auto* cache = Box(this, "Cache settings");
  wxWindow* cacheBox = cache->GetStaticBox();
  auto* days = new wxBoxSizer(wxHORIZONTAL);
  days->Add(new wxStaticText(cacheBox, wxID_ANY, "&Information exires after"), 0, wxALIGN_CENTER_VERTICAL);
  m_days = new wxTextCtrl(cacheBox, ID_DAYS, wxString(), wxDefaultPosition, FromDIP(wxSize(80, -1)));
  days->Add(m_days, 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 5);
  days->Add(new wxStaticText(cacheBox, wxID_ANY, "days"), 0, wxALIGN_CENTER_VERTICAL);
  cache->Add(days, 0, wxALL, 3);
  cache->Add(new wxButton(cacheBox, ID_CLEAR_DNS, "&Clear DNS Cache"), 0, wxALL, 3);
  top->Add(cache, 0, wxEXPAND | wxTOP, 10);

  auto* whois = Box(this, "Whois server");
  wxWindow* whoisBox = whois->GetStaticBox();
  whois->Add(new wxStaticText(whoisBox, wxID_ANY, "Whois request:"), 0, wxLEFT | wxTOP | wxRIGHT, 3);
  m_whois = new wxTextCtrl(whoisBox, ID_WHOIS, wxString(), wxDefaultPosition, FromDIP(wxSize(330, -1)));
  whois->Add(m_whois, 0, wxEXPAND | wxALL, 3);
  top->Add(whois, 0, wxEXPAND | wxTOP, 10);
  top->Add(new wxButton(this, ID_CLEAR_FTP, "Clear FTP Cac&he"), 0, wxTOP, 10);

  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(top, 1, wxEXPAND | wxALL, 10);
  SetSizer(outer);
}

bool CDnsPage::TransferDataToWindow() {
  m_dnsLookup->SetValue(m_values.dns_lookup != 0);
  m_ipLookup->SetValue(m_values.ip_lookup != 0);
  m_days->ChangeValue(wxString::Format("%d", static_cast<int>(m_dialog->m_daysDnsCache)));
  m_whois->ChangeValue(tv::BytesToWx(m_values.whois_url));
  return true;
}

bool CDnsPage::TransferDataFromWindow() {
  int32_t days = 0;
  if (!ReadNumber(m_days, 0, kMaxDnsCacheDays, &days)) return false;
  m_values.dns_lookup = Flag(m_dnsLookup);
  m_values.ip_lookup = Flag(m_ipLookup);
  m_dialog->m_daysDnsCache = days;
  m_values.whois_url = tv::WxToBytes(m_whois->GetValue());
  return true;
}

void CDnsPage::OnClearDns(wxCommandEvent&) { ClearDnsCache(); }
void CDnsPage::OnClearFtp(wxCommandEvent&) { g_logCache.ClearCache(); }

wxBEGIN_EVENT_TABLE(CSpidersPage, CSettingsPage)
  EVT_CHECKBOX(CSpidersPage::ID_AUTO, CSpidersPage::OnAuto)
  EVT_BUTTON(CSpidersPage::ID_CLEAR, CSpidersPage::OnClear)
wxEND_EVENT_TABLE()

CSpidersPage::CSpidersPage(wxWindow* parent, CWorkspaceSettingsDlg* dialog) : CSettingsPage(parent, dialog) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  m_auto = new wxCheckBox(this, ID_AUTO, "Enable auto detection new spiders/robots");
  top->Add(m_auto);
  m_confirm = new wxCheckBox(this, ID_CONFIRM, "Confirmation new spiders");
  top->Add(m_confirm, 0, wxTOP | wxLEFT, 6);
  m_save = new wxCheckBox(this, ID_SAVE, "Save spiders cache");
  top->Add(m_save, 0, wxTOP | wxLEFT, 6);
  top->Add(new wxButton(this, ID_CLEAR, "&Clear Spiders Cache"), 0, wxTOP, 12);
  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(top, 1, wxEXPAND | wxALL, 10);
  SetSizer(outer);
}

bool CSpidersPage::TransferDataToWindow() {
  m_auto->SetValue(m_values.auto_robot != 0);
  m_confirm->SetValue(m_values.confirmation_robot != 0);
  m_save->SetValue(m_values.save_a_robot != 0);
  UpdateControls();
  return true;
}

bool CSpidersPage::TransferDataFromWindow() {
  // Greyed boxes keep their values.
  m_values.auto_robot = Flag(m_auto);
  m_values.confirmation_robot = Flag(m_confirm);
  m_values.save_a_robot = Flag(m_save);
  return true;
}

void CSpidersPage::UpdateControls() {
  bool on = m_auto->GetValue();
  m_confirm->Enable(on);
  m_save->Enable(on);
}

void CSpidersPage::OnAuto(wxCommandEvent&) { UpdateControls(); }
void CSpidersPage::OnClear(wxCommandEvent&) { ClearSpiderCache(); }
