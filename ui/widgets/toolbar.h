// The main window's toolbar: the buttons of toolbar 128 with their normal and
// disabled images, slots for the two date pickers, and drop-down buttons that
// open the first submenu of a menu under the button. GTK has no separate hot
// image: a hot strip is checked but not shown.
#pragma once
#include <wx/toolbar.h>

#include <vector>

class CMainToolBar : public wxToolBar {
 public:
  CMainToolBar(wxWindow* parent, wxWindowID id = wxID_ANY,
               long style = wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);

  // Adds the buttons in order with their images at imageSize and realizes.
  void LoadButtons(int imageSize = 24);

  enum ImageList { kNormal, kHot, kDisabled };
  // Each strip holds the images side by side in button order; a null hot or
  // disabled strip leaves that look as it is. False as soon as one fails.
  bool SetImageLists(int imageWidth, const wxBitmap& normal, const wxBitmap& hot, const wxBitmap& disabled);
  // One strip: width / imageWidth images (remainder columns are dropped).
  bool LoadImageList(ImageList which, const wxBitmap& strip, int imageWidth);

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
