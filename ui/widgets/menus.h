// The menus of the program: the menu bar and the report context menus, built
// from one table, each command item carrying its image from the artwork
// registry. GTK draws menus itself, so the flat and classic looks are kept
// as settings only; the native menus show the images.
#pragma once
#include <wx/accel.h>
#include <wx/menu.h>

#include <cstddef>
#include <vector>

// One line of the menu table.
enum MenuEntryKind {
  kMenuPopup,      // opens a submenu, closed by kMenuEnd
  kMenuEnd,
  kMenuItem,       // a command with its image
  kMenuCheck,      // a command with a check mark and no image
  kMenuSeparator,
  kMenuAccel,      // a key with no menu item
  kMenuGoCommands, // context menu: the report command table's unmarked entries
  kMenuGoMarked,   // context menu: its marked entries
};

// Where a top-level popup of the table goes.
enum MenuPlace { kInMenuBar, kInReportContext, kInFrameContext };

// Which report kinds a context menu item is for.
enum MenuShownFor { kForAll, kForHosts, kForPages };

struct MenuEntry {
  MenuEntryKind kind;
  int id;
  const char* text;  // as written; the builders normalise the accelerator
  int place;         // kMenuPopup at top level: MenuPlace; items: MenuShownFor
};

// The whole table.
const MenuEntry* MenuTable(size_t* count);

class CIconMenu : public wxMenu {
 public:
  CIconMenu();

  // The menu bar (the main window's menu 128).
  static wxMenuBar* CreateMenuBar();
  // The top-level popups of the menu bar as submenus of one menu, the form
  // the toolbar's drop-down buttons take; null for an unknown resource id.
  static CIconMenu* LoadMenu(int resourceId);
  // The report context menu for the kind shown, or the subreport frame's.
  static CIconMenu* CreateReportContextMenu(int kind, bool inSubreportFrame, bool cityData);
  // The keys that have no menu item (Ctrl+T toggles chart and table).
  static std::vector<wxAcceleratorEntry> AcceleratorEntries();
  // Every key of the table, the menu items' ones too, once each: the window
  // runs them before any control or the menu bar's mnemonics sees the key.
  static std::vector<wxAcceleratorEntry> WindowAcceleratorEntries();

  // Appends a command (id 0 gives a separator): its text normalised and,
  // unless it is a check item, the command's registered image.
  wxMenuItem* AppendIconItem(int id, const wxString& text, wxItemKind kind = wxITEM_NORMAL);

  // Looks kept for the settings; GTK draws its own menus, so neither is drawn.
  static bool flatLookXp;
  static bool flatLookOther;

  static constexpr int kMenuBarId = 128;
};
