#include "ui/panes/detailtreepane.h"

#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/treectrl.h>
#include <wx/utils.h>

#include "platform/wx/wxtext.h"
#include "ui/core/detailtree.h"
#include "ui/widgets/reportlistctrl.h"

namespace {

constexpr int kIdTree = 1009;
constexpr int kIdFirstOrder = 1003;
constexpr int kRadioColumn = 130;

const char* const kOrderTexts[kDetailOrders] = {"&Date->SE->Page", "Da&te->Page->SE", "&SE->Date->Page",
                                                "S&E->Page->Date", "&Page->Date->SE", "P&age->SE->Date"};

}  // namespace

bool CDetailTreeDlg::Create(wxWindow* parent, wxWindowID id) {
  if (!wxPanel::Create(parent, id)) return false;
  m_tree = new wxTreeCtrl(this, kIdTree, wxDefaultPosition, wxDefaultSize,
                          wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE);
  auto* box = new wxStaticBox(this, wxID_ANY, "Detail");
  auto* boxSizer = new wxStaticBoxSizer(box, wxVERTICAL);
  for (int i = 0; i < kDetailOrders; ++i) {
    m_order[i] = new wxRadioButton(box, kIdFirstOrder + i, kOrderTexts[i], wxDefaultPosition, wxDefaultSize,
                                   i == 0 ? wxRB_GROUP : 0);
    boxSizer->Add(m_order[i], 0, wxALL, 2);
    Bind(wxEVT_RADIOBUTTON, &CDetailTreeDlg::OnOrder, this, kIdFirstOrder + i);
  }
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(m_tree, 1, wxEXPAND | wxBOTTOM, 4);
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(boxSizer, 0, wxEXPAND | wxALL, 4);
  column->SetMinSize(wxSize(kRadioColumn, -1));
  row->Add(column, 0, wxEXPAND);
  SetSizer(row);
  Bind(wxEVT_SIZE, &CDetailTreeDlg::OnSize, this);
  Bind(wxEVT_BUTTON, &CDetailTreeDlg::OnSwallow, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CDetailTreeDlg::OnSwallow, this, wxID_CANCEL);
  return true;
}

void CDetailTreeDlg::OnSize(wxSizeEvent& event) {
  event.Skip();
  Layout();
}

void CDetailTreeDlg::RefreshDetailTree() {
  wxBusyCursor wait;
  order = 0;
  BuildDetailTree(order);
  m_order[0]->SetValue(true);
}

void CDetailTreeDlg::BuildDetailTree(int newOrder) {
  ++m_builds;
  m_tree->SetImageList(ReportImages());
  m_tree->Freeze();
  m_tree->DeleteAllItems();
  wxTreeItemId root = m_tree->AddRoot(wxString());
  wxTreeItemId parents[2];
  if (detailRows) {
    WalkDetailTree(*detailRows, newOrder, [&](const DetailNode& node) {
      wxTreeItemId under = node.level == 0 ? root : parents[node.level - 1];
      wxTreeItemId item = m_tree->AppendItem(under, tv::BytesToWx(node.text), node.image, node.image);
      if (node.level < 2) parents[node.level] = item;
    });
  }
  m_tree->Thaw();
}

void CDetailTreeDlg::OnOrder(wxCommandEvent&) {
  int chosen = order;
  for (int i = 0; i < kDetailOrders; ++i)
    if (m_order[i]->GetValue()) chosen = i;
  if (chosen == order) return;
  order = chosen;
  wxBusyCursor wait;
  BuildDetailTree(order);
}
