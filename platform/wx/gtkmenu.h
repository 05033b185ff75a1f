// GTK 3 hides the images of menu items unless its "gtk-menu-images" setting
// is on; the icon menus turn it on for this process. GTK also draws a menu
// image the same whether its item is enabled or not, so the menus can put
// another image on a native item.
#pragma once
#include <wx/bitmap.h>

namespace tv {

// True when the setting could be turned on (GTK is loaded and has a display).
bool ShowMenuImages();

// Puts bitmap as the image of a native GTK image menu item (the handle
// wxMenuItem::GetMenuItem gives), or takes its image away for a null
// bitmap; false when GTK or the item is missing.
bool SetNativeMenuItemImage(void* gtkMenuItem, const wxBitmap& bitmap);

}  // namespace tv
