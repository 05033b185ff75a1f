#include "ui/widgets/menus.h"

#include <iterator>

#include "platform/wx/gtkmenu.h"
#include "ui/core/menutext.h"
#include "ui/core/reportcommands.h"
#include "ui/widgets/artwork.h"
#include "ui/widgets/commandids.h"

static_assert(Cmd(ReportCommandOf(1).commandId) == ID_GO_PAGES && Cmd(ReportCommandOf(2).commandId) == ID_GO_HOSTS &&
              Cmd(ReportCommandOf(29).commandId) == ID_GO_CHILD_PAGES &&
              Cmd(ReportCommandOf(43).commandId) == ID_GO_ITEMS &&
              Cmd(ReportCommandOf(0).commandId) == ID_HELP_INDEX,
              "the report command table and the menus use the same commands");

bool CIconMenu::flatLookXp = true;
bool CIconMenu::flatLookOther = true;

namespace {

// The texts are those of the historical tables, slips included: the
// builders turn each accelerator into the key it means.
constexpr MenuEntry kTable[] = {
    {kMenuPopup, 0, "&File", kInMenuBar},
    {kMenuItem, ID_FILE_NEW, "&New Workspace\tCtrl+N", kForAll},
    {kMenuItem, ID_FILE_OPEN, "&Open Workspace...\tCtrl+O", kForAll},
    {kMenuItem, ID_FILE_SAVE, "&Save Workspace\tCtrl+S", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_FILE_PRINT, "&Print...\tCtrl+P", kForAll},
    {kMenuItem, ID_FILE_PRINT_SETUP, "P&rint Setup...", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_APP_EXIT, "E&xit", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},

    {kMenuPopup, 0, "&Edit", kInMenuBar},
    {kMenuItem, ID_EDIT_COPY, "&Copy\tCtrl+C", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_EDIT_FIND_IN_REPORT, "&Find In Report\tCtrl+F", kForAll},
    {kMenuItem, ID_EDIT_FIND_AGAIN, "Find A&gain\tCtrl+G", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},

    // Chart and Table both claimed Ctrl+T: the key is the one toggle below.
    {kMenuPopup, 0, "&View", kInMenuBar},
    {kMenuCheck, ID_VIEW_CHART, "Char&t", kForAll},
    {kMenuCheck, ID_VIEW_TABLE, "Ta&ble", kForAll},
    {kMenuAccel, ID_VIEW_CHART_TABLE, "\tCtrl+T", kForAll},
    {kMenuItem, ID_VIEW_CHART_FRAME, "Chart &Frame\tCtrl+3", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_VIEW_SUBREPORT_TABLE, "S&ubreport (Table)\tCtrl+1", kForAll},
    {kMenuItem, ID_VIEW_SUBREPORT_CHART, "Subr&eport (Chart)\tCtrl+2", kForAll},
    {kMenuItem, ID_VIEW_CLOSE_SUBREPORT, "&Close Subreport\tCtrl+0", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_VIEW_CUSTOMIZE_COLUMN, "Customize column", kForAll},
    {kMenuItem, ID_VIEW_OPTIONS, "&Options...", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},

    {kMenuPopup, 0, "&Report", kInMenuBar},
    {kMenuItem, ID_REPORT_EXPORT_HTML, "Export To &HTML File", kForAll},
    {kMenuItem, ID_REPORT_EXPORT_TEXT, "Export To &Text File", kForAll},
    {kMenuItem, ID_REPORT_EXPORT_CSV, "Export To &CSV File (Excel)", kForAll},
    {kMenuItem, ID_REPORT_SEND_MAIL, "&Send To E-mail", kForAll},
    {kMenuItem, ID_REPORT_EXPORT_ALL_CSV, "Export All Logs To CSV File (Excel)", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_REPORT_RELOAD, "&Reload Log Files\tF5", kForAll},
    {kMenuItem, ID_REPORT_HOST_LOOKUP, "Host &Lookup\tCtrl+L", kForAll},
    {kMenuItem, ID_REPORT_FILTER_HISTORY, "Filter &History\tCtrl+H", kForAll},
    {kMenuItem, ID_REPORT_ENVIRONMENT_FILTERS, "&Environment Filters\tF4", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_REPORT_CONFIRM_SPIDERS, "Confirmation New Spiders", kForAll},
    {kMenuItem, ID_REPORT_LOG_FILE_REPORT, "Log Fille Report", kForAll},
    {kMenuItem, ID_REPORT_UPDATE_DATABASES, "&Update Auxiliary DataBases", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_REPORT_WORKSPACE_SETTINGS, "&Workspace Settings", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},

    {kMenuPopup, 0, "&Go", kInMenuBar},
    {kMenuItem, ID_GO_PREVIOUS, "&Previous\tAlt+<-", kForAll},
    {kMenuItem, ID_GO_NEXT, "&Next\tAlt+->", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_GO_PAGES, "&Pages\tAltr+P", kForAll},
    {kMenuItem, ID_GO_HOSTS, "Hos&ts\tAlt+T", kForAll},
    {kMenuItem, ID_GO_VISITORS, "&Visitors\tAlt+V", kForAll},
    {kMenuItem, ID_GO_PATHS, "Pat&hs\tAlt+H", kForAll},
    {kMenuItem, ID_GO_ARGUMENTS, "&Arguments\tAlt+A", kForAll},
    {kMenuItem, ID_GO_ITEMS, "Ite&ms\tAlt+M", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_GO_REFERRER_PAGES, "&Referrer Pages\tAtl+R", kForAll},
    {kMenuItem, ID_GO_REFERRING_SITES, "Referrin&g Sites\tAlt+G", kForAll},
    {kMenuItem, ID_GO_KEYWORDS, "&Keywords\tAlt+K", kForAll},
    {kMenuItem, ID_GO_SEARCH_ENGINES, "Search &Engines\tAlt+E", kForAll},
    {kMenuItem, ID_GO_TYPE_REFERRERS, "T&ype Referrers\tAlt+Y", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_GO_COUNTRIES, "&Countries\tAlt+C", kForAll},
    {kMenuItem, ID_GO_CITIES, "Cit&ies\tAlt+I", kForAll},
    {kMenuItem, ID_GO_REGIONS, "Regio&ns\tAlt+N", kForAll},
    {kMenuItem, ID_GO_SUBDOMAINS, "Subdomains", kForAll},
    {kMenuItem, ID_GO_USERS, "Users", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_GO_OPERATING_SYSTEMS, "&Operation Systems\tAlt+O", kForAll},
    {kMenuItem, ID_GO_BROWSERS, "&Browsers\tAlt+B", kForAll},
    {kMenuItem, ID_GO_SPIDERS, "&Spiders\tAlt+S", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_GO_BY_DAYS, "By &Days\tAlt+D", kForAll},
    {kMenuItem, ID_GO_BY_HOURS, "By Ho&urs\tAlt+U", kForAll},
    {kMenuItem, ID_GO_DAYS_OF_WEEK, "Days Of &Week\tAtt+W", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_GO_OPEN_IN_BROWSER, "Open Page In Browser", kForAll},
    {kMenuItem, ID_GO_WHOIS, "Whois (Browser)", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},

    {kMenuPopup, 0, "&Help", kInMenuBar},
    {kMenuItem, ID_HELP_INDEX, "&Help\tF1", kForAll},
    {kMenuItem, ID_HELP_LOG_FORMATS, "Supported &Log File Formats", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_HELP_SUPPORT, "&Support", kForAll},
    {kMenuItem, ID_HELP_BUG_REPORT, "Send &Bug Report", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_APP_ABOUT, "&About...", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},

    // The report list's context menu.
    {kMenuPopup, 0, "", kInReportContext},
    {kMenuItem, ID_GO_PREVIOUS, "&Back\tAlt+<-", kForAll},
    {kMenuItem, ID_GO_NEXT, "&Next\tAlt+->", kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuGoCommands, 0, nullptr, kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuPopup, 0, "Mor&e", kForAll},
    {kMenuGoMarked, 0, nullptr, kForAll},
    {kMenuSeparator, 0, nullptr, kForAll},
    {kMenuItem, ID_REPORT_EXPORT_HTML, "Export To &HTML File", kForAll},
    {kMenuItem, ID_REPORT_EXPORT_TEXT, "Export To &Text File", kForAll},
    {kMenuItem, ID_REPORT_EXPORT_CSV, "Export To &CSV File (Excel)", kForAll},
    {kMenuItem, ID_REPORT_SEND_MAIL, "&Send Via E-Mail", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},
    {kMenuItem, ID_EDIT_COPY, "Copy To Clipboard\t\tCtrl+C", kForAll},
    {kMenuItem, ID_HOST_COMMENT, "Host Comment", kForHosts},
    {kMenuItem, ID_GO_WHOIS, "Whois (Open In Browser)", kForHosts},
    {kMenuItem, ID_GO_OPEN_IN_BROWSER, "Open In Browser", kForPages},
    {kMenuEnd, 0, nullptr, kForAll},

    // The subreport frame's context menu.
    {kMenuPopup, 0, "", kInFrameContext},
    {kMenuItem, ID_VIEW_CLOSE_SUBREPORT, "&Close Frame\tCtrl+0", kForAll},
    {kMenuEnd, 0, nullptr, kForAll},
};

struct Context {
  int kind;
  bool cityData;
};

bool ShownFor(int shownFor, const Context* context) {
  if (!context) return true;
  int k = context->kind;
  switch (shownFor) {
    case kForHosts: return k == 2 || k == 19;
    case kForPages: return k == 1 || k == 3 || k == 6 || k == 11 || k == 12 || k == 30;
    default: return true;
  }
}

void AddGoCommands(CIconMenu* menu, const Context* context, int marked) {
  if (!context) return;
  ReportCommand table[kMaxReportCommands];
  int n = BuildReportCommandTable(context->kind, table, true, context->cityData);
  for (int i = 0; i < n; ++i)
    if (table[i].marked == marked)
      menu->AppendIconItem(Cmd(static_cast<int>(table[i].commandId)), wxString::FromUTF8(ReportCommandText(table[i])));
}

// Fills menu from the entries after a kMenuPopup up to its kMenuEnd; returns
// the index of that kMenuEnd.
size_t Fill(CIconMenu* menu, size_t at, const Context* context) {
  for (size_t i = at; i < std::size(kTable); ++i) {
    const MenuEntry& e = kTable[i];
    switch (e.kind) {
      case kMenuEnd: return i;
      case kMenuPopup: {
        auto* sub = new CIconMenu;
        i = Fill(sub, i + 1, context);
        menu->AppendSubMenu(sub, wxString::FromUTF8(e.text));
        break;
      }
      case kMenuItem:
        if (ShownFor(e.place, context)) menu->AppendIconItem(e.id, wxString::FromUTF8(e.text));
        break;
      case kMenuCheck: menu->AppendIconItem(e.id, wxString::FromUTF8(e.text), wxITEM_CHECK); break;
      case kMenuSeparator: menu->AppendSeparator(); break;
      case kMenuGoCommands: AddGoCommands(menu, context, 0); break;
      case kMenuGoMarked: AddGoCommands(menu, context, 1); break;
      case kMenuAccel: break;
    }
  }
  return std::size(kTable);
}

// The index of the top-level popup of place `place` (the first one).
size_t FindTop(int place) {
  int depth = 0;
  for (size_t i = 0; i < std::size(kTable); ++i) {
    if (kTable[i].kind == kMenuPopup && depth++ == 0 && kTable[i].place == place) return i;
    if (kTable[i].kind == kMenuEnd) --depth;
  }
  return std::size(kTable);
}

}  // namespace

const MenuEntry* MenuTable(size_t* count) {
  *count = std::size(kTable);
  return kTable;
}

CIconMenu::CIconMenu() {
  static bool shown = tv::ShowMenuImages();
  (void)shown;
}

namespace {

// GTK draws a menu item's image the same whether the item is enabled or
// not, so a disabled item swaps in the greyed image itself.
class CIconMenuItem : public wxMenuItem {
 public:
  CIconMenuItem(wxMenu* menu, int id, const wxString& label, wxItemKind kind, const wxBitmapBundle& image)
      : wxMenuItem(menu, id, label, wxString(), kind), m_image(image), m_greyed(GreyedBundle(image)) {
    if (m_image.IsOk()) SetBitmap(m_image);
  }

  void Enable(bool enable) override {
    const bool changed = enable != IsEnabled();
    wxMenuItem::Enable(enable);
    if (!m_image.IsOk()) {
      // GTK gives stock commands (Exit) a stock image of its own, in colour
      // even when disabled: a command without our image shows none.
      if (GetMenuItem() && !m_stockCleared) m_stockCleared = tv::SetNativeMenuItemImage(GetMenuItem(), wxNullBitmap);
      return;
    }
    if (!changed) return;
    SetBitmap(enable ? m_image : m_greyed);
    // A native item that exists already takes the new image now, at the
    // scale of the window it belongs to.
    if (GetMenuItem()) {
      wxWindow* window = GetMenu() ? GetMenu()->GetWindow() : nullptr;
      const wxBitmapBundle& image = enable ? m_image : m_greyed;
      tv::SetNativeMenuItemImage(GetMenuItem(), window ? image.GetBitmapFor(window) : image.GetBitmap(wxDefaultSize));
    }
  }

 private:
  wxBitmapBundle m_image, m_greyed;
  bool m_stockCleared = false;
};

}  // namespace

wxMenuItem* CIconMenu::AppendIconItem(int id, const wxString& text, wxItemKind kind) {
  if (id == 0) return AppendSeparator();
  wxString label = wxString::FromUTF8(NormalizeMenuText(text.ToStdString(wxConvUTF8)));
  wxBitmapBundle image = kind == wxITEM_NORMAL ? CommandBitmap(id, kMenuImageSize) : wxBitmapBundle();
  return Append(new CIconMenuItem(this, id, label, kind, image));
}

namespace {

// Calls add(title, popup) for each popup of the menu bar, in order.
template <typename Add>
void BuildBarPopups(Add add) {
  for (size_t i = 0; i < std::size(kTable); ++i) {
    const MenuEntry& e = kTable[i];
    if (e.kind != kMenuPopup) continue;
    if (e.place != kInMenuBar) break;
    auto* sub = new CIconMenu;
    i = Fill(sub, i + 1, nullptr);
    add(wxString::FromUTF8(e.text), sub);
  }
}

}  // namespace

CIconMenu* CIconMenu::LoadMenu(int resourceId) {
  if (resourceId != kMenuBarId) return nullptr;
  auto* menu = new CIconMenu;
  BuildBarPopups([menu](const wxString& title, CIconMenu* sub) { menu->AppendSubMenu(sub, title); });
  return menu;
}

wxMenuBar* CIconMenu::CreateMenuBar() {
  auto* bar = new wxMenuBar;
  BuildBarPopups([bar](const wxString& title, CIconMenu* sub) { bar->Append(sub, title); });
  return bar;
}

CIconMenu* CIconMenu::CreateReportContextMenu(int kind, bool inSubreportFrame, bool cityData) {
  size_t top = FindTop(inSubreportFrame ? kInFrameContext : kInReportContext);
  auto* menu = new CIconMenu;
  Context context{kind, cityData};
  if (top < std::size(kTable)) Fill(menu, top + 1, &context);
  return menu;
}

std::vector<wxAcceleratorEntry> CIconMenu::AcceleratorEntries() {
  std::vector<wxAcceleratorEntry> keys;
  for (const MenuEntry& e : kTable) {
    if (e.kind != kMenuAccel) continue;
    wxAcceleratorEntry key;
    if (key.FromString(wxString::FromUTF8(NormalizeMenuText(e.text)))) {
      key.Set(key.GetFlags(), key.GetKeyCode(), e.id);
      keys.push_back(key);
    }
  }
  return keys;
}

std::vector<wxAcceleratorEntry> CIconMenu::WindowAcceleratorEntries() {
  std::vector<wxAcceleratorEntry> keys;
  for (const MenuEntry& e : kTable) {
    if ((e.kind != kMenuItem && e.kind != kMenuCheck && e.kind != kMenuAccel) || !e.text) continue;
    const std::string accel = MenuAccelText(NormalizeMenuText(e.text));
    wxAcceleratorEntry key;
    if (accel.empty() || !key.FromString("\t" + wxString::FromUTF8(accel))) continue;
    bool known = false;
    for (const wxAcceleratorEntry& k : keys)
      known = known || (k.GetFlags() == key.GetFlags() && k.GetKeyCode() == key.GetKeyCode());
    if (known) continue;
    key.Set(key.GetFlags(), key.GetKeyCode(), e.id);
    keys.push_back(key);
  }
  return keys;
}
