// The main window's toolbar: the buttons of toolbar 128 with their normal and
// disabled images, slots for the two date pickers, and drop-down buttons that
// open the first submenu of a menu under the button. The images come from the
// artwork at every scale, so no image strips are loaded; GTK draws the hot look.
#pragma once
#include <wx/toolbar.h>

#include <vector>

class CMainToolBar : public wxToolBar {
 public:
  CMainToolBar(wxWindow* parent, wxWindowID id = wxID_ANY,
               long style = wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);

  // Adds the buttons in order with their images at imageSize (the disabled
  // ones greyed) and realizes.
  void LoadButtons(int imageSize = 24);

  // Puts control (a child of the toolbar) where the slot button stands;
  // false, and the control hidden, when there is no such button.
  bool PlaceControl(int slotId, wxControl* control);

  // Makes the button a drop-down that opens the first submenu of menu
  // resource menuId; owner receives the commands chosen there.
  void AddDropDownButton(int commandId, int menuId, wxWindow* owner);

  // The command ids of the buttons in image order; 0 stands for a separator.
  static const std::vector<int>& ButtonLayout();

 private:
  struct DropDown {
    int command;
    int menu;
    wxWindow* owner;
  };
  std::vector<DropDown> m_dropDowns;
};
