// The detail tree pane: the spider visits as a tree of dates, spiders and
// pages, in the order chosen in the "Detail" group.
#pragma once
#include <wx/panel.h>

#include "engine/query/rowtable.h"

class wxRadioButton;
class wxTreeCtrl;

class CDetailTreeDlg : public wxPanel {
 public:
  CDetailTreeDlg() = default;
  explicit CDetailTreeDlg(wxWindow* parent) { Create(parent); }
  bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

  // The rows of the detail report on show (navigation's current query).
  void SetDetailRows(CRowTable* rows) { detailRows = rows; }
  // Back to the first order and the tree built afresh.
  void RefreshDetailTree();
  void BuildDetailTree(int order);

  wxTreeCtrl* Tree() const { return m_tree; }
  wxRadioButton* OrderButton(int order) const { return m_order[order]; }
  int BuildCount() const { return m_builds; }

  CRowTable* detailRows = nullptr;
  int32_t order = -1;

 private:
  void OnOrder(wxCommandEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnSwallow(wxCommandEvent&) {}

  wxTreeCtrl* m_tree = nullptr;
  wxRadioButton* m_order[6] = {};
  int m_builds = 0;
};
