#include "ui/panes/reportpanes.h"

#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/popupwin.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include <algorithm>

#include "engine/query/query.h"
#include "engine/store/project.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"
#include "ui/core/workspaceoptions.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/detailtreepane.h"
#include "ui/panes/reportlist.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/worker.h"

namespace {

enum {
  kIdReportList = 1002,
  kIdSpiderAll = 1003,  // 1003..1005
  kIdResponseAll = 1009,  // 1009..1011
  kIdGroups = 1012,
  kIdChooseText = 1053,
};
constexpr int kAgentIds[4] = {1017, 1020, 1021, 1022};
constexpr int kFilterColumn = 110;
const char kListTip[] = "Double click on item to detail report";

// The panes by slot. A pane's window goes with its parent; the weak reference
// then reads null, so the holder never deletes a window twice.
wxWeakRef<wxWindow> s_panes[kPaneSlotCount];
bool s_windowsMade = false;
int s_current = -1;

// The list pane whose report the worker re-runs; one job runs at a time.
CReportPane* s_rerunPane = nullptr;
int s_rerunKind = -1;
CRowTable* s_rerunTable = nullptr;

uint32_t RerunJob(void*) {
  uint32_t extras[6];
  if (s_rerunTable)
    g_lastQueryRan =
        RunQuery(g_project, s_rerunKind, *s_rerunTable, g_uiQuery, ExtraQueryKinds(s_rerunKind, extras)) != 0;
  SendJobDone();
  return 1;
}

int32_t RerunDone(int32_t) {
  CReportPane* pane = s_rerunPane;
  s_rerunPane = nullptr;
  g_runPending = false;
  if (pane && s_rerunTable) pane->ShowReport(s_rerunKind, s_rerunTable, true);
  return 0;
}

wxStaticBoxSizer* RadioGroup(wxWindow* parent, const char* title, int firstId, const char* const texts[3],
                             wxRadioButton* buttons[3]) {
  auto* box = new wxStaticBoxSizer(wxVERTICAL, parent, title);
  for (int i = 0; i < 3; ++i) {
    buttons[i] = new wxRadioButton(box->GetStaticBox(), firstId + i, texts[i], wxDefaultPosition, wxDefaultSize,
                                   i == 0 ? wxRB_GROUP : 0);
    box->Add(buttons[i], 0, wxALL, 1);
  }
  return box;
}

int ChosenOf(wxRadioButton* const buttons[3], int fallback) {
  for (int i = 0; i < 3; ++i)
    if (buttons[i]->GetValue()) return i;
  return fallback;
}

}  // namespace

PaneHooks& ReportPaneHooks() {
  static PaneHooks hooks;
  return hooks;
}

void RerunAllOnWorker() {
  if (ReportPaneHooks().rerunAll) {
    ReportPaneHooks().rerunAll();
    return;
  }
  CReportPane* pane = ListPane(s_current);
  if (!pane || !pane->shownTable || pane->shownKind < 0 || IsWorkerBusy()) return;
  s_rerunPane = pane;
  s_rerunKind = pane->shownKind;
  s_rerunTable = pane->shownTable;
  g_runPending = true;
  pane->reportList->Refresh();
  RunInWorkerThread(RerunJob, nullptr, RerunDone);
}

void ReanalyzeWorkspace() {
  g_runPending = true;
  if (g_topReportKind == kNoTopReportKind) return;
  LoadDocumentOptions();
  if (ReportPaneHooks().runAnalysis) ReportPaneHooks().runAnalysis(0);
}

// ---------------------------------------------------------------------------
// List panes

bool CReportPane::Create(wxWindow* parent) {
  if (!wxPanel::Create(parent, wxID_ANY)) return false;
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  long style = wxLC_REPORT | wxLC_VIRTUAL;
  reportList = new CSortListCtrl(this, kIdReportList, wxDefaultPosition, wxDefaultSize, style);
  if (ListImages()) reportList->SetImageList(ReportImages(), wxIMAGE_LIST_SMALL);
  reportList->SetToolTip(kListTip);
  row->Add(reportList, 1, wxEXPAND);

  auto* column = new wxBoxSizer(wxVERTICAL);
  AddFilters(this, column);
  if (HasGroupsList()) {
    column->Add(new wxStaticText(this, wxID_ANY, "Groups:"), 0, wxLEFT | wxTOP, 4);
    groupsList = new wxListCtrl(this, kIdGroups, wxDefaultPosition, wxSize(kFilterColumn, -1),
                                wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL);
    // It scrolls: in a low window it gives way before the radio groups do.
    groupsList->SetMinSize(wxSize(kFilterColumn, 60));
    groupsList->Bind(wxEVT_LEFT_UP, &CReportPane::OnGroupsClick, this);
    column->Add(groupsList, 1, wxEXPAND | wxALL, 4);
  }
  if (column->IsEmpty()) {
    delete column;
  } else {
    column->SetMinSize(wxSize(kFilterColumn, -1));
    row->Add(column, 0, wxEXPAND | wxLEFT | wxRIGHT, 4);
  }
  SetSizer(row);
  Bind(wxEVT_BUTTON, &CReportPane::OnSwallow, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CReportPane::OnSwallow, this, wxID_CANCEL);
  return true;
}

void CReportPane::AddFilters(wxWindow*, wxSizer*) {}

// ---------------------------------------------------------------------------
// The whole-pane tip

CPaneTip::CPaneTip(wxWindow* pane, const wxString& text, int initialMs, int popDownMs, int reshowMs)
    : m_pane(pane), m_text(text), m_initial(initialMs), m_popDown(popDownMs), m_reshow(reshowMs) {
  m_showTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Show(); });
  m_popTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Hide(true); });
  // A pane put away takes its tip with it.
  pane->Bind(wxEVT_SHOW, &CPaneTip::OnShow, this);
  Watch(pane);
}

CPaneTip::~CPaneTip() {
  m_showTimer.Stop();
  m_popTimer.Stop();
  if (m_tip) m_tip->Destroy();
}

void CPaneTip::Watch(wxWindow* window) {
  // Mouse events stay with the window under the pointer: every part of the
  // pane (the list's header and rows are windows of their own) reports here.
  window->Bind(wxEVT_MOTION, &CPaneTip::OnMotion, this);
  window->Bind(wxEVT_ENTER_WINDOW, &CPaneTip::OnMotion, this);
  window->Bind(wxEVT_LEAVE_WINDOW, &CPaneTip::OnLeave, this);
  for (const wxEventTypeTag<wxMouseEvent>& type :
       {wxEVT_LEFT_DOWN, wxEVT_RIGHT_DOWN, wxEVT_MIDDLE_DOWN, wxEVT_MOUSEWHEEL})
    window->Bind(type, &CPaneTip::OnButton, this);
  for (wxWindow* child : window->GetChildren()) Watch(child);
}

bool CPaneTip::IsShown() const { return m_tip && m_tip->IsShown(); }

wxWindow* CPaneTip::TipWindow() const { return IsShown() ? m_tip.get() : nullptr; }

void CPaneTip::OnMotion(wxMouseEvent& event) {
  event.Skip();
  if (m_waitForLeave || IsShown() || !m_pane->IsShownOnScreen()) return;
  // The pointer must rest: every move starts the delay again.
  m_showTimer.StartOnce(m_shownBefore ? m_reshow : m_initial);
}

void CPaneTip::OnLeave(wxMouseEvent& event) {
  event.Skip();
  // Leaving one part of the pane for another is no leaving.
  if (m_pane->GetScreenRect().Contains(wxGetMousePosition())) return;
  m_waitForLeave = false;
  Hide(false);
}

void CPaneTip::OnShow(wxShowEvent& event) {
  event.Skip();
  if (!event.IsShown()) Hide(false);
}

void CPaneTip::OnButton(wxMouseEvent& event) {
  event.Skip();
  Hide(true);
}

void CPaneTip::Hide(bool untilLeft) {
  m_showTimer.Stop();
  m_popTimer.Stop();
  if (untilLeft) m_waitForLeave = true;
  if (m_tip) m_tip->Hide();
}

void CPaneTip::Show() {
  if (m_waitForLeave || !m_pane->IsShownOnScreen()) return;
  wxPoint at = wxGetMousePosition();
  if (!m_pane->GetScreenRect().Contains(at)) return;
  if (!m_tip) {
    auto* tip = new wxPopupWindow(m_pane, wxBORDER_SIMPLE);
    tip->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_INFOBK));
    auto* label = new wxStaticText(tip, wxID_ANY, m_text);
    label->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_INFOTEXT));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(label, 0, wxALL, 4);
    tip->SetSizerAndFit(sizer);
    m_tip = tip;
  }
  // Below the pointer, kept on the pane's display.
  wxRect screen = wxDisplay(wxDisplay::GetFromWindow(m_pane) == wxNOT_FOUND ? 0u
                                : static_cast<unsigned>(wxDisplay::GetFromWindow(m_pane)))
                      .GetGeometry();
  wxSize size = m_tip->GetSize();
  at += wxPoint(0, 20);
  at.x = std::max(screen.x, std::min(at.x, screen.GetRight() - size.x));
  if (at.y + size.y > screen.GetBottom()) at.y -= size.y + 28;
  m_tip->Move(at);
  m_tip->Show();
  m_tip->Raise();
  m_shownBefore = true;
  m_popTimer.StartOnce(m_popDown);
}

bool CSubreportListDlg::Create(wxWindow* parent) {
  if (!CReportPane::Create(parent)) return false;
  // Here the tip covers the whole pane, with its own delays, instead of the list's.
  reportList->UnsetToolTip();
  m_tip = std::make_unique<CPaneTip>(this, kListTip, 200, 32767, 200);
  return true;
}

void CReportPane::ShowReport(int kind, CRowTable* table, bool refreshOnly) {
  shownKind = kind;
  shownTable = table;
  TransferFromQuery();
  ShowReportInList(kind, reportList, table, groupsList, refreshOnly);
  if (groupsList && groupsList->GetColumnCount() > 0)
    groupsList->SetColumnWidth(0, std::max(groupsList->GetClientSize().GetWidth(), 40));
}

void CReportPane::OnGroupsClick(wxMouseEvent& event) {
  event.Skip();
  int flags = 0;
  long item = groupsList->HitTest(event.GetPosition(), flags);
  if (item >= 0) ToggleGroupItem(item);
}

void CReportPane::ToggleGroupItem(long item) {
  if (!groupsList || item < 0 || item >= groupsList->GetItemCount()) return;
  int groups = std::min(g_project.groups.Count(), CGroupList::kMaxGroups);
  uint32_t& on = item < groups ? g_uiQuery.groupOn[item] : g_uiQuery.groupOn[CGroupMaskList::kNoGroup];
  on = on ? 0 : 1;
  groupsList->SetItemImage(item, on ? 27 : 28);
  RerunAllOnWorker();
}

void CReportListDlg::AddFilters(wxWindow* column, wxSizer* sizer) {
  const char* const spiders[3] = {"All requests", "Without spiders", "Spiders only"};
  const char* const response[3] = {"All requests", "Successful", "Errors"};
  sizer->Add(RadioGroup(column, "Spiders", kIdSpiderAll, spiders, m_spiders), 0, wxEXPAND | wxALL, 2);
  sizer->Add(RadioGroup(column, "Response", kIdResponseAll, response, m_response), 0, wxEXPAND | wxALL, 2);
  for (int i = 0; i < 3; ++i) {
    Bind(wxEVT_RADIOBUTTON, &CReportListDlg::OnSpiders, this, kIdSpiderAll + i);
    Bind(wxEVT_RADIOBUTTON, &CReportListDlg::OnResponse, this, kIdResponseAll + i);
  }
}

void CReportListDlg::TransferFromQuery() {
  spiders = SpiderChoiceOf(g_uiQuery);
  response = ResponseChoiceOf(g_uiQuery);
  m_spiders[spiders]->SetValue(true);
  m_response[response]->SetValue(true);
}

void CReportListDlg::OnSpiders(wxCommandEvent&) {
  int v = ChosenOf(m_spiders, spiders);
  if (v == spiders) return;
  spiders = v;
  ApplySpiderChoice(v, g_uiQuery);
  RerunAllOnWorker();
}

void CReportListDlg::OnResponse(wxCommandEvent&) {
  int v = ChosenOf(m_response, response);
  if (v == response) return;
  response = v;
  ApplyResponseChoice(v, g_uiQuery);
  RerunAllOnWorker();
}

void CUserListDlg::AddFilters(wxWindow* column, wxSizer* sizer) {
  const char* const spiders[3] = {"All users", "Without spiders", "Spiders only"};
  sizer->Add(RadioGroup(column, "Spiders", kIdSpiderAll, spiders, m_spiders), 0, wxEXPAND | wxALL, 2);
  for (int i = 0; i < 3; ++i) Bind(wxEVT_RADIOBUTTON, &CUserListDlg::OnSpiders, this, kIdSpiderAll + i);
}

void CUserListDlg::TransferFromQuery() {
  spiders = SpiderChoiceOf(g_uiQuery);
  m_spiders[spiders]->SetValue(true);
}

void CUserListDlg::OnSpiders(wxCommandEvent&) {
  int v = ChosenOf(m_spiders, spiders);
  if (v == spiders) return;
  spiders = v;
  ApplySpiderChoice(v, g_uiQuery);
  RerunAllOnWorker();
}

void CAgentListDlg::AddFilters(wxWindow* column, wxSizer* sizer) {
  const char* const texts[4] = {"&Browsers", "&Download man.", "&Spiders", "All &Other"};
  auto* box = new wxStaticBoxSizer(wxVERTICAL, column, "Type agent");
  for (int i = 0; i < 4; ++i) {
    m_agents[i] = new wxCheckBox(box->GetStaticBox(), kAgentIds[i], texts[i]);
    box->Add(m_agents[i], 0, wxALL, 1);
    Bind(wxEVT_CHECKBOX, &CAgentListDlg::OnAgent, this, kAgentIds[i]);
  }
  sizer->Add(box, 0, wxEXPAND | wxALL, 2);
}

void CAgentListDlg::TransferFromQuery() {
  m_agents[0]->SetValue(g_uiQuery.browserClass0On != 0);
  m_agents[1]->SetValue(g_uiQuery.browserClass1On != 0);
  m_agents[2]->SetValue(g_uiQuery.spidersOn != 0);
  m_agents[3]->SetValue(g_uiQuery.otherAgentsOn != 0);
}

void CAgentListDlg::OnAgent(wxCommandEvent&) {
  g_uiQuery.browserClass0On = m_agents[0]->GetValue();
  g_uiQuery.browserClass1On = m_agents[1]->GetValue();
  g_uiQuery.spidersOn = m_agents[2]->GetValue();
  g_uiQuery.otherAgentsOn = m_agents[3]->GetValue();
  RerunAllOnWorker();
}

// ---------------------------------------------------------------------------
// Start pane

bool CChooseReportDlg::Create(wxWindow* parent) {
  if (!wxPanel::Create(parent, wxID_ANY)) return false;
  m_text = new wxStaticText(this, kIdChooseText, "Choose the report");
  m_text->SetFont(wxFont(wxSize(0, 24), wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
  m_text->SetSize(m_text->GetBestSize());
  Bind(wxEVT_SIZE, &CChooseReportDlg::OnSize, this);
  Bind(wxEVT_BUTTON, &CChooseReportDlg::OnSwallow, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CChooseReportDlg::OnSwallow, this, wxID_CANCEL);
  return true;
}

void CChooseReportDlg::OnSize(wxSizeEvent& event) {
  wxSize text = m_text->GetSize();
  int cx = event.GetSize().GetWidth(), cy = event.GetSize().GetHeight();
  m_text->Move(std::max((cx - text.GetWidth()) / 2, 0), std::max(cy / 2 - text.GetHeight(), 0));
}

// ---------------------------------------------------------------------------
// The holder

CReportPanes::CReportPanes() {
  int slot = 0;
  s_panes[slot++] = new CWorkspaceDlg;
  s_panes[slot++] = new CDetailTreeDlg;
  s_panes[slot++] = new CSimpleListDlg;
  s_panes[slot++] = new CChartDlg;
  s_panes[slot++] = new CAgentListDlg;
  for (int i = 0; i < kReportListPanes; ++i) s_panes[slot++] = new CReportListDlg;
  for (int i = 0; i < kUserListPanes; ++i) s_panes[slot++] = new CUserListDlg;
  for (int i = 0; i < kSubreportListPanes; ++i) s_panes[slot++] = new CSubreportListDlg;
  s_panes[slot++] = new CChooseReportDlg;
  s_windowsMade = false;
  s_current = -1;
  g_topReportKind = kNoTopReportKind;
}

CReportPanes::~CReportPanes() {
  for (auto& pane : s_panes) {
    wxWindow* window = pane.get();
    pane.Release();
    if (!window) continue;
    if (window->GetHandle()) window->Destroy();
    else delete window;
  }
  s_windowsMade = false;
  s_current = -1;
  s_rerunPane = nullptr;
}

wxWindow* ReportPane(int slot) { return slot >= 0 && slot < kPaneSlotCount ? s_panes[slot].get() : nullptr; }

CReportPane* ListPane(int slot) { return dynamic_cast<CReportPane*>(ReportPane(slot)); }
CWorkspaceDlg* WorkspacePane() { return dynamic_cast<CWorkspaceDlg*>(ReportPane(FirstPaneSlot(kPaneWorkspace))); }
CDetailTreeDlg* DetailTreePane() { return dynamic_cast<CDetailTreeDlg*>(ReportPane(FirstPaneSlot(kPaneDetailTree))); }
CChartDlg* ChartPane() { return dynamic_cast<CChartDlg*>(ReportPane(FirstPaneSlot(kPaneChart))); }

void CreateReportPaneWindows(wxWindow* view) {
  for (int slot = 0; slot < kPaneSlotCount; ++slot) {
    wxWindow* pane = ReportPane(slot);
    if (!pane) continue;
    switch (PaneSlot(slot).cls) {
      case kPaneWorkspace: static_cast<CWorkspaceDlg*>(pane)->Create(view); break;
      case kPaneDetailTree: static_cast<CDetailTreeDlg*>(pane)->Create(view); break;
      case kPaneChart: static_cast<CChartDlg*>(pane)->Create(view); break;
      case kPaneStart: static_cast<CChooseReportDlg*>(pane)->Create(view); break;
      case kPaneSubreportList: static_cast<CSubreportListDlg*>(pane)->Create(view); break;
      default: static_cast<CReportPane*>(pane)->Create(view); break;
    }
    pane->Move(0, 0);
    pane->Hide();
  }
  s_windowsMade = true;
  if (ReportPaneHooks().resetNavigation) ReportPaneHooks().resetNavigation(0);
  s_current = -1;
  ShowPaneSlot(FirstPaneSlot(kPaneWorkspace));
}

void ResizeReportPanes(int, int cx, int cy) {
  for (auto& pane : s_panes)
    if (pane && pane->GetHandle()) pane->SetSize(0, 0, cx, cy);
}

void ShowPaneSlot(int slot) {
  wxWindow* next = ReportPane(slot);
  if (!next || !s_windowsMade) return;
  if (wxWindow* shown = ReportPane(s_current); shown && shown != next) shown->Hide();
  s_current = slot;
  next->Show();
  next->Refresh();
}

int CurrentPaneSlot() { return s_current; }
