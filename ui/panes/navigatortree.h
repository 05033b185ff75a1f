// The report navigator: every report kind in its five groups, and one child
// item per drill-down level under the top-level report's item. Selecting an
// item opens that report or returns to that level.
#pragma once
#include <wx/panel.h>
#include <wx/treectrl.h>

#include <utility>
#include <vector>

#include "engine/query/queryparams.h"

class CRMenu : public wxPanel {
 public:
  enum { ID_TREE = 1009 };

  bool Create(wxWindow* parent);
  ~CRMenu() override;

  // Builds the items once; later calls add nothing.
  void FillTree();
  // Brings the tree in line with the navigation (after every move).
  void SelectReportInTree(bool select);
  // Gives every item the text of the report language now in effect; does
  // nothing while the language is the one the items were labelled in.
  void RelabelTree();

  wxTreeCtrl* Tree() const { return m_tree; }
  // The width that shows every label of the filled tree whole, with room
  // for a vertical scroll bar; the main window's navigator is never narrower.
  int DefaultWidth() const;
  // The item of a report kind, or an invalid id.
  wxTreeItemId ItemOfKind(int kind) const;
  // The item of a drill-down level (0: the top-level report's) while shown.
  wxTreeItemId LevelItem(int level) const;
  int ShownLevels() const { return m_shownLevels; }

 private:
  void OnSelChanged(wxTreeEvent& event);
  void OnSize(wxSizeEvent& event);
  wxTreeItemId Append(wxTreeItemId parent, const char* text, int image, int kind);
  void Select(wxTreeItemId item);

  wxTreeCtrl* m_tree = nullptr;
  bool m_filled = false;
  bool m_selecting = false;  // a selection made here, not by the user
  std::vector<std::pair<wxTreeItemId, int>> m_items;
  std::vector<std::pair<wxTreeItemId, int>> m_groups;  // item, term
  unsigned m_labelledIn = 0;                           // language generation
  wxTreeItemId m_levels[kMaxQueryLevels];
  int m_shownLevels = 0;
};

// The navigator of the main window, or null.
CRMenu* Navigator();
// The image of a report kind in the report image strip.
int GetReportIcon(int kind);
