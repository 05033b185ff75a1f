#include "ui/panes/navigatortree.h"

#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/store/reportkind.h"
#include "platform/wx/wxtext.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/panes/navigationjobs.h"
#include "ui/widgets/reportlistctrl.h"

namespace {

CRMenu* s_navigator = nullptr;

constexpr int kGroupImage = 25;

struct Group {
  int term;
  std::vector<int> kinds;
};
const Group kGroups[] = {
    {kTermStAccess, {1, 11, 12, 24, 15, 16, 22, 23, 14, 28}},
    {kTermStAccess + 1, {2, 19, 7, 21, 20}},
    {kTermStAccess + 2, {3, 6, 4, 5, 17, 32}},
    {kTermStAccess + 3, {8, 9, 26, 25}},
    {kTermStAccess + 4, {10, 13, 18, 27}},
};

std::string KindText(int kind) {
  if (kind == 0) return "Log files";
  if (kind == kReportSpiderTree) return std::string(ReportKindTitle(kind)) + " (Tree)";
  return ColumnTerm(kind);
}

}  // namespace

CRMenu* Navigator() { return s_navigator; }

int GetReportIcon(int kind) {
  static constexpr int kIcons[] = {0,  2,  3,  4,  5,  6,  7,  24, 10, 11, 12, 13, 14, 16, 15, 19,
                                   17, 18, 35, 21, 25, 25, 3,  23, 34, 9,  9,  20, 25, 25, 30, 1};
  if (kind >= 0 && kind < static_cast<int>(std::size(kIcons))) return kIcons[kind];
  return 25;
}

bool CRMenu::Create(wxWindow* parent) {
  if (!wxPanel::Create(parent, wxID_ANY)) return false;
  m_tree = new wxTreeCtrl(this, ID_TREE, wxDefaultPosition, wxDefaultSize,
                          wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE);
  Bind(wxEVT_TREE_SEL_CHANGED, &CRMenu::OnSelChanged, this, ID_TREE);
  Bind(wxEVT_SIZE, &CRMenu::OnSize, this);
  s_navigator = this;
  FillTree();
  return true;
}

CRMenu::~CRMenu() {
  if (s_navigator == this) s_navigator = nullptr;
}

wxTreeItemId CRMenu::Append(wxTreeItemId parent, const char* text, int image, int kind) {
  wxTreeItemId item = parent.IsOk() ? m_tree->AppendItem(parent, tv::BytesToWx(text), image, image)
                                    : m_tree->AddRoot(tv::BytesToWx(text), image, image);
  if (kind >= 0 && m_items.size() < 31) m_items.emplace_back(item, kind);
  return item;
}

void CRMenu::FillTree() {
  if (m_filled || !m_tree) return;
  m_filled = true;
  m_labelledIn = LanguageGeneration();
  m_tree->SetImageList(ReportImages());
  wxTreeItemId root = Append(wxTreeItemId(), KindText(0).c_str(), GetReportIcon(0), 0);
  Append(root, KindText(kReportSummary).c_str(), GetReportIcon(kReportSummary), kReportSummary);
  std::vector<wxTreeItemId> groups;
  for (const Group& g : kGroups) {
    wxTreeItemId group = Append(root, GetTerm(g.term), kGroupImage, -1);
    groups.push_back(group);
    m_groups.emplace_back(group, g.term);
    for (int kind : g.kinds) Append(group, KindText(kind).c_str(), GetReportIcon(kind), kind);
  }
  for (wxTreeItemId group : groups) m_tree->Expand(group);
  m_tree->Expand(root);
}

void CRMenu::RelabelTree() {
  if (!m_filled || m_labelledIn == LanguageGeneration()) return;
  m_labelledIn = LanguageGeneration();
  auto relabel = [this](wxTreeItemId item, const std::string& text) {
    const wxString label = tv::BytesToWx(text);
    if (item.IsOk() && m_tree->GetItemText(item) != label) m_tree->SetItemText(item, label);
  };
  for (const auto& [item, kind] : m_items) relabel(item, KindText(kind));
  for (const auto& [item, term] : m_groups) relabel(item, GetTerm(term));
  for (int i = 1; i <= m_shownLevels && i < kMaxQueryLevels; ++i) relabel(m_levels[i], ColumnTerm(LevelKind(i)));
}

int CRMenu::DefaultWidth() const {
  if (!m_tree) return 0;
  // The generic tree puts an item at (level + 1) indents plus the spacing,
  // its image and a 4-pixel gap before the text; it lays items out only
  // when painted, so the width is worked out here before the window shows.
  int imageWidth = 0, imageHeight = 0;
  if (wxImageList* images = m_tree->GetImageList()) images->GetSize(0, imageWidth, imageHeight);
  int widest = 0;
  std::vector<std::pair<wxTreeItemId, int>> items{{m_tree->GetRootItem(), 0}};
  while (!items.empty()) {
    auto [item, level] = items.back();
    items.pop_back();
    if (!item.IsOk()) continue;
    int text = m_tree->GetTextExtent(m_tree->GetItemText(item)).GetWidth();
    widest = std::max(widest, (level + 1) * static_cast<int>(m_tree->GetIndent()) +
                                  static_cast<int>(m_tree->GetSpacing()) + imageWidth + 4 + text);
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = m_tree->GetFirstChild(item, cookie); child.IsOk();
         child = m_tree->GetNextChild(item, cookie))
      items.emplace_back(child, level + 1);
  }
  int scrollBar = std::max(wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, m_tree), 0);
  // The tree sits 2 pixels narrower than the pane (OnSize) and keeps a small
  // margin right of the text.
  return widest + scrollBar + 2 + 8;
}

wxTreeItemId CRMenu::ItemOfKind(int kind) const {
  for (const auto& [item, k] : m_items)
    if (k == kind) return item;
  return wxTreeItemId();
}

wxTreeItemId CRMenu::LevelItem(int level) const {
  if (level < 0 || level > m_shownLevels || level >= kMaxQueryLevels) return wxTreeItemId();
  return m_levels[level];
}

void CRMenu::Select(wxTreeItemId item) {
  if (!item.IsOk() || m_tree->GetSelection() == item) return;
  m_selecting = true;
  m_tree->SelectItem(item);
  m_selecting = false;
}

void CRMenu::SelectReportInTree(bool select) {
  wxTreeItemId top = ItemOfKind(g_topReportKind);
  if (!top.IsOk()) return;
  if (top != m_levels[0]) {
    // Another top-level report: the level items hang under the old one.
    for (int i = m_shownLevels; i >= 1; --i)
      if (m_levels[i].IsOk()) m_tree->Delete(m_levels[i]);
    m_shownLevels = 0;
    m_levels[0] = top;
  }
  if (select) Select(top);
  const int levels = GetCurrentLevel();
  for (int i = m_shownLevels; i > levels; --i) {
    if (m_levels[i].IsOk()) m_tree->Delete(m_levels[i]);
    m_levels[i] = wxTreeItemId();
  }
  for (int i = std::min(m_shownLevels, levels) + 1; i <= levels; ++i) {
    int kind = LevelKind(i);
    wxTreeItemId parent = m_levels[i - 1];
    m_levels[i] = m_tree->AppendItem(parent, tv::BytesToWx(ColumnTerm(kind)), GetReportIcon(kind),
                                     GetReportIcon(kind));
    m_tree->Expand(parent);
  }
  if (levels >= 1) Select(m_levels[levels]);
  else if (!select) Select(top);
  m_shownLevels = levels;
}

void CRMenu::OnSelChanged(wxTreeEvent& event) {
  if (m_selecting) return;
  wxTreeItemId item = event.GetItem();
  if (!item.IsOk()) return;
  for (int i = 1; i <= m_shownLevels; ++i) {
    if (m_levels[i] == item) {
      if (i <= GetCurrentLevel() || i <= g_nav.highestLevel) GoBackToLevel(i);
      return;
    }
  }
  for (const auto& [it, kind] : m_items) {
    if (it != item) continue;
    if (kind == g_topReportKind) {
      if (GetCurrentLevel() > 0) GoBackToLevel(0);
    } else {
      SwitchTopReport(kind);
    }
    return;
  }
}

void CRMenu::OnSize(wxSizeEvent& event) {
  wxSize size = event.GetSize();
  if (m_tree) m_tree->SetSize(0, 0, std::max(size.GetWidth(), 50) - 2, std::max(size.GetHeight(), 50));
}
