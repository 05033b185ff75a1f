#include "ui/panes/workspacepane.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/statbox.h>

#include <algorithm>
#include <vector>

#include "base/textutil.h"
#include "engine/config/workspace.h"
#include "platform/wx/wxtext.h"
#include "ui/core/workspaceoptions.h"
#include "ui/panes/reportpanes.h"

namespace {

enum {
  kIdUpdate = 1000,
  kIdLogList = 1002,
  kIdGroupList = 1012,
  kIdGroupsBox = 1013,
  kIdAdd = 1018,
  kIdDelete = 1019,
  kIdGroupAdd = 1020,
  kIdGroupDelete = 1021,
  kIdGroupUp = 1022,
  kIdGroupDown = 1023,
};

int ShowMessage(const wxString& text, long style) { return wxMessageBox(text, "Trailvane", style); }

void MarkChanged() { g_workspace.SetDirty(); }

}  // namespace

CSourceList::CSourceList(wxWindow* parent, wxWindowID id)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL | wxLC_NO_HEADER) {
  AppendColumn(wxString());
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    FitColumn();
    event.Skip();
  });
}

void CSourceList::Set(const wxArrayString& lines) {
  SetItemState(-1, 0, wxLIST_STATE_SELECTED);
  m_lines = lines;
  SetItemCount(static_cast<long>(m_lines.size()));
  FitColumn();
  Refresh();
}

// As wide as the list, or as its longest row (by length: measuring them all
// would cost what the virtual list saves).
void CSourceList::FitColumn() {
  size_t longest = 0;
  for (size_t i = 0; i < m_lines.size(); ++i)
    if (m_lines[i].length() > m_lines[longest].length()) longest = i;
  int width = m_lines.empty() ? 0 : GetTextExtent(m_lines[longest]).GetWidth() + 16;
  SetColumnWidth(0, std::max(width, GetClientSize().GetWidth()));
}

bool CSourceList::IsSelected(int n) const {
  return n >= 0 && n < static_cast<int>(m_lines.size()) && GetItemState(n, wxLIST_STATE_SELECTED) != 0;
}

void CSourceList::SetSelection(int n) {
  SetItemState(-1, 0, wxLIST_STATE_SELECTED);
  if (n < 0 || n >= static_cast<int>(m_lines.size())) return;
  SetItemState(n, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  EnsureVisible(n);
}

int CSourceList::GetSelections(wxArrayInt& rows) const {
  rows.clear();
  for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
       i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    rows.push_back(static_cast<int>(i));
  return static_cast<int>(rows.size());
}

wxString CSourceList::OnGetItemText(long item, long) const {
  return item >= 0 && static_cast<size_t>(item) < m_lines.size() ? m_lines[static_cast<size_t>(item)] : wxString();
}

CWorkspaceDlg::Dialogs& CWorkspaceDlg::PaneDialogs() {
  static Dialogs dialogs{nullptr, nullptr, ShowMessage};
  return dialogs;
}

bool CWorkspaceDlg::Create(wxWindow* parent) {
  if (!wxPanel::Create(parent, wxID_ANY)) return false;
  logList = new CSourceList(this, kIdLogList);
  m_add = new wxButton(this, kIdAdd, "Add");
  m_update = new wxButton(this, kIdUpdate, "Update");
  m_delete = new wxButton(this, kIdDelete, "Delete");
  m_groupsBox = new wxStaticBox(this, kIdGroupsBox, "Groups");
  groupList = new wxListBox(this, kIdGroupList, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxLB_SINGLE);
  const char* const texts[4] = {"Add", "Delete", "Up", "Down"};
  for (int i = 0; i < 4; ++i) m_groupButtons[i] = new wxButton(this, kIdGroupAdd + i, texts[i]);

  m_add->SetToolTip("Add log file to workspace");
  m_delete->SetToolTip("Remove selected file");
  m_groupButtons[0]->SetToolTip("Add log group");
  m_groupButtons[1]->SetToolTip("Remove selected group");
  m_groupButtons[2]->SetToolTip("Move group up");
  m_groupButtons[3]->SetToolTip("Move group down");

  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { AddLogSource(); }, kIdAdd);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { UpdateLogSource(); }, kIdUpdate);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { DeleteLogSources(); }, kIdDelete);
  Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { UpdateLogSource(); }, kIdLogList);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { AddGroup(); }, kIdGroupAdd);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { DeleteGroup(); }, kIdGroupDelete);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { MoveGroup(true); }, kIdGroupUp);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { MoveGroup(false); }, kIdGroupDown);
  Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { EditGroup(); }, kIdGroupList);
  Bind(wxEVT_BUTTON, &CWorkspaceDlg::OnSwallow, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CWorkspaceDlg::OnSwallow, this, wxID_CANCEL);
  logList->Bind(wxEVT_KEY_DOWN, &CWorkspaceDlg::OnLogKey, this);
  Bind(wxEVT_SIZE, &CWorkspaceDlg::OnSize, this);
  FillLogSourceList(0);
  FillGroupList(0);
  return true;
}

namespace {

constexpr int kGap = 5;
constexpr int kGroupListTop = 22;
constexpr int kGroupListHeight = 170;  // shorter when the pane is low, down to the least
constexpr int kLeastGroupList = 60;
constexpr int kLeastListWidth = 60;

int ButtonsWidth(std::initializer_list<wxButton*> buttons) {
  int width = 0;
  for (wxButton* b : buttons) width += b->GetBestSize().GetWidth() + kGap;
  return width - kGap;
}

}  // namespace

wxSize CWorkspaceDlg::LeastSize() const {
  // Each button at the width its label needs (the theme's padding included):
  // the log list's three under it, the group buttons in the box, two a row
  // when the pane is narrow.
  const int left = std::max(kLeastListWidth, ButtonsWidth({m_add, m_update, m_delete}));
  const int box = std::max(ButtonsWidth({m_groupButtons[0], m_groupButtons[1]}),
                           ButtonsWidth({m_groupButtons[2], m_groupButtons[3]})) + 20;
  const int buttonHeight = m_add->GetBestSize().GetHeight();
  return wxSize(left + 12 + 7 + box, kGroupListTop + kLeastGroupList + kGap + 2 * buttonHeight + kGap + 8 + 2);
}

void CWorkspaceDlg::OnSize(wxSizeEvent& event) {
  int cx = event.GetSize().GetWidth(), cy = event.GetSize().GetHeight();
  const int oneRow = ButtonsWidth({m_groupButtons[0], m_groupButtons[1], m_groupButtons[2], m_groupButtons[3]}) + 20;
  const int twoRows = std::max(ButtonsWidth({m_groupButtons[0], m_groupButtons[1]}),
                               ButtonsWidth({m_groupButtons[2], m_groupButtons[3]})) + 20;
  const int leastLeft = std::max(kLeastListWidth, ButtonsWidth({m_add, m_update, m_delete})) + 12;
  // The log list takes three fifths while the group box keeps room for its
  // buttons in one row; in a narrow pane the list gives way down to its own
  // buttons, and then the group buttons go two a row.
  int w = (cx - 5) / 5 * 3;
  w = std::max(std::min(w, cx - 7 - oneRow), leastLeft);
  const bool split = cx - w - 7 < oneRow;
  if (split) w = std::max(std::min((cx - 5) / 5 * 3, cx - 7 - twoRows), leastLeft);
  int buttonHeight = m_add->GetBestSize().GetHeight();
  logList->SetSize(0, 0, std::max(w - 12, 10), std::max(cy - buttonHeight - 8, 10));
  int x = 0;
  for (wxButton* b : {m_add, m_update, m_delete}) {
    int bw = b->GetBestSize().GetWidth();
    b->SetSize(x, cy - buttonHeight - 2, bw, buttonHeight);
    x += bw + kGap;
  }
  int boxWidth = std::max(cx - w - 7, split ? twoRows : oneRow);
  const int buttonRows = split ? 2 * buttonHeight + kGap : buttonHeight;
  const int listHeight = std::clamp(cy - kGroupListTop - kGap - buttonRows - 8 - 2, kLeastGroupList, kGroupListHeight);
  int by = kGroupListTop + listHeight + kGap, bx = w + 10, right = bx;
  for (int i = 0; i < 4; ++i) {
    wxButton* b = m_groupButtons[i];
    if (split && i == 2) {
      bx = w + 10;
      by += buttonHeight + kGap;
    }
    int bw = b->GetBestSize().GetWidth();
    b->SetSize(bx, by, bw, buttonHeight);
    bx += bw + kGap;
    right = std::max(right, bx);
  }
  boxWidth = std::max(boxWidth, right - w + 5);
  m_groupsBox->SetSize(w, 0, boxWidth, by + buttonHeight + 8);
  groupList->SetSize(w + 10, kGroupListTop, std::max(boxWidth - 18, 10), listHeight);
}

void CWorkspaceDlg::OnLogKey(wxKeyEvent& event) {
  switch (event.GetKeyCode()) {
    case WXK_INSERT: case WXK_NUMPAD_INSERT: AddLogSource(); break;
    case WXK_RETURN: case WXK_NUMPAD_ENTER: UpdateLogSource(); break;
    case WXK_DELETE: case WXK_NUMPAD_DELETE: DeleteLogSources(); break;
    default: event.Skip(); break;
  }
}

// The lists are filled in one call: an item at a time, a long list takes minutes.
void CWorkspaceDlg::FillLogSourceList(int select) {
  wxArrayString lines;
  lines.reserve(static_cast<size_t>(g_project.sources.Count()));
  for (int i = 0; i < g_project.sources.Count(); ++i) lines.push_back(tv::BytesToWx(LogSourceLine(g_project.sources[i])));
  logList->Set(lines);
  if (select >= 0 && select < static_cast<int>(logList->GetCount())) logList->SetSelection(select);
}

void CWorkspaceDlg::FillGroupList(int select) {
  wxArrayString lines;
  for (int i = 0; i < g_workspace.groups.Count(); ++i) lines.push_back(tv::BytesToWx(GroupLine(g_workspace.groups[i])));
  lines.push_back(wxString());
  groupList->Set(lines);
  if (select >= 0 && select < static_cast<int>(groupList->GetCount())) groupList->SetSelection(select);
}

void CWorkspaceDlg::AddLogSource() {
  if (!PaneDialogs().editSource) return;
  CLogSourceList fresh;  // one blank entry: the dialog presets the user's proxy on it
  CLogSource* source = fresh.AddEmpty();
  if (!source) return;
  CLogSourceList::InitEntry(source);
  bool added = false;
  // A local path may be a ';' list: each file becomes a source of its own.
  PaneDialogs().editSource(this, *source, [&](const CLogSource& result) {
    added = result.type == kSourceLocal ? g_project.sources.AddFiles(result.file) > 0
                                        : g_project.sources.Add(result) != nullptr;
  });
  if (!added) return;
  FillLogSourceList(g_project.sources.Count() - 1);
  MarkChanged();
  logList->Refresh();
}

void CWorkspaceDlg::UpdateLogSource() {
  wxArrayInt selected;
  if (logList->GetSelections(selected) == 0) return;
  // With several lines selected the one the user clicked last is edited.
  int n = *std::min_element(selected.begin(), selected.end());
  int focused = static_cast<int>(logList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED));
  if (logList->IsSelected(focused)) n = focused;
  CLogSource* source = g_project.sources.Get(n);
  if (!source || !PaneDialogs().editSource) return;
  bool replaced = false;
  PaneDialogs().editSource(this, *source, [&](const CLogSource& result) {
    g_project.sources.Update(n, result);
    replaced = true;
  });
  if (!replaced) return;
  FillLogSourceList(n);
  MarkChanged();
}

void CWorkspaceDlg::DeleteLogSources() {
  wxArrayInt selected;
  if (logList->GetSelections(selected) == 0) return;
  if (!PaneDialogs().message || PaneDialogs().message("Delete the selection log file(s) from workspace?", wxYES_NO | wxICON_QUESTION) != wxYES)
    return;
  std::vector<int> rows(selected.begin(), selected.end());
  std::sort(rows.begin(), rows.end());
  int focus = rows.front();
  bool removed = false;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) removed |= g_project.sources.Delete(*it) != 0;
  if (removed) MarkChanged();
  FillLogSourceList(std::min(focus, g_project.sources.Count() - 1));
  if (ReportPaneHooks().resetNavigation) ReportPaneHooks().resetNavigation(1);
}

void CWorkspaceDlg::GroupsChanged(int select) {
  g_project.groups.CopyFrom(g_workspace.groups);
  MarkChanged();
  FillGroupList(select);
}

void CWorkspaceDlg::AddGroup() {
  if (g_workspace.groups.Count() >= CGroupList::kMaxGroups) {
    if (PaneDialogs().message) PaneDialogs().message("Too many groups", wxOK | wxICON_EXCLAMATION);
    return;
  }
  if (!PaneDialogs().editGroup) return;
  std::string name, masks;
  uint16_t type = kGroupOther;
  if (!PaneDialogs().editGroup(this, name, masks, type)) return;
  int at = groupList->GetSelection();
  if (at < 0 || at > g_workspace.groups.Count()) at = g_workspace.groups.Count();
  if (!g_workspace.groups.Insert(at, name.c_str(), masks.c_str(), type)) return;
  GroupsChanged(at);
}

void CWorkspaceDlg::EditGroup() {
  int n = groupList->GetSelection();
  CGroup* group = g_workspace.groups.Get(n);
  if (!group || !PaneDialogs().editGroup) return;
  std::string name = group->name ? group->name : "", masks = group->masks ? group->masks : "";
  uint16_t type = group->type;
  if (!PaneDialogs().editGroup(this, name, masks, type)) return;
  g_workspace.groups.Set(n, name.c_str(), masks.c_str(), type);
  GroupsChanged(n);
}

void CWorkspaceDlg::DeleteGroup() {
  int n = groupList->GetSelection();
  if (!g_workspace.groups.Valid(n)) return;
  if (!PaneDialogs().message || PaneDialogs().message("Delete the selection group from workspace?", wxYES_NO | wxICON_QUESTION) != wxYES) return;
  g_workspace.groups.Delete(n);
  GroupsChanged(std::min(n, g_workspace.groups.Count()));
}

void CWorkspaceDlg::MoveGroup(bool up) {
  int n = groupList->GetSelection();
  if (!g_workspace.groups.Valid(n)) return;
  int moved = up ? g_workspace.groups.MoveUp(n) : g_workspace.groups.MoveDown(n);
  if (moved == n) return;
  GroupsChanged(moved);
}
