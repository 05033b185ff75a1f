// GTK 3 hides the images of menu items unless its "gtk-menu-images" setting
// is on; the icon menus turn it on for this process.
#pragma once

namespace tv {

// True when the setting could be turned on (GTK is loaded and has a display).
bool ShowMenuImages();

}  // namespace tv
