#include "ui/widgets/toolbar.h"

#include "ui/widgets/artwork.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/menus.h"

namespace {

struct Button {
  int id;
  const char* tip;
};

// Toolbar 128; the tips are the commands' short texts.
constexpr Button kButtons[] = {
    {ID_FILE_NEW, "New Workspace"},
    {ID_FILE_OPEN, "Open Workspace"},
    {ID_FILE_SAVE, "Save Workspace"},
    {0, nullptr},
    {ID_VIEW_CHART, "Chart"},
    {ID_VIEW_TABLE, "Table"},
    {0, nullptr},
    {ID_REPORT_RELOAD, "Reload Log Files"},
    {ID_GO_PREVIOUS, "Previous"},
    {ID_GO_NEXT, "Next"},
    {0, nullptr},
    {ID_DATE_FROM, "From (filter on date)"},
    {ID_DATE_TO, "To (filter on date)"},
    {0, nullptr},
    {ID_REPORT_WORKSPACE_SETTINGS, "Workspace Settings"},
};

}  // namespace

CMainToolBar::CMainToolBar(wxWindow* parent, wxWindowID id, long style)
    : wxToolBar(parent, id, wxDefaultPosition, wxDefaultSize, style) {}

const std::vector<int>& CMainToolBar::ButtonLayout() {
  static const std::vector<int> layout = [] {
    std::vector<int> ids;
    for (const Button& b : kButtons) ids.push_back(b.id);
    return ids;
  }();
  return layout;
}

void CMainToolBar::LoadButtons(int imageSize) {
  SetToolBitmapSize(wxSize(imageSize, imageSize));
  int image = 0;
  for (const Button& b : kButtons) {
    if (!b.id) {
      AddSeparator();
      continue;
    }
    wxBitmapBundle normal = ImageBundle(image++, imageSize);
    wxBitmapBundle disabled = GreyedBundle(normal);
    wxItemKind kind = b.id == ID_VIEW_CHART || b.id == ID_VIEW_TABLE ? wxITEM_CHECK : wxITEM_NORMAL;
    AddTool(b.id, wxString(), normal, disabled, kind, b.tip);
  }
  Realize();
}

bool CMainToolBar::PlaceControl(int slotId, wxControl* control) {
  int pos = GetToolPos(slotId);
  if (pos == wxNOT_FOUND) {
    control->Hide();
    return false;
  }
  DeleteTool(slotId);
  InsertControl(static_cast<size_t>(pos), control);
  control->Show();
  Realize();
  return true;
}

void CMainToolBar::AddDropDownButton(int commandId, int menuId, wxWindow* owner) {
  wxToolBarToolBase* tool = FindById(commandId);
  if (!tool || !tool->IsButton()) return;
  wxMenu* all = CIconMenu::LoadMenu(menuId);
  if (!all || all->GetMenuItemCount() == 0) {
    delete all;
    return;
  }
  // The first submenu is taken out of its menu and given to the button.
  wxMenuItem* first = all->FindItemByPosition(0);
  wxMenu* sub = first->GetSubMenu();
  if (!sub) {
    delete all;
    return;
  }
  all->Remove(first);
  first->SetSubMenu(nullptr);
  delete first;
  delete all;
  if (owner) {
    sub->Bind(wxEVT_MENU, [owner](wxCommandEvent& event) { owner->GetEventHandler()->ProcessEvent(event); });
  }
  // Re-add the button as a drop-down at its place; GTK opens the menu under it.
  int pos = GetToolPos(commandId);
  wxBitmapBundle normal = tool->GetNormalBitmapBundle();
  wxBitmapBundle disabled = tool->GetDisabledBitmapBundle();
  wxString tip = tool->GetShortHelp();
  DeleteTool(commandId);
  InsertTool(static_cast<size_t>(pos), commandId, wxString(), normal, disabled, wxITEM_DROPDOWN, tip);
  SetDropdownMenu(commandId, sub);
  m_dropDowns.push_back(DropDown{commandId, menuId, owner});
  Realize();
}
