// Menus, toolbar, hideable splitter and hyperlink on real windows.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/datectrl.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/store/reportkind.h"
#include "platform/launcher.h"
#include "tests/common/fakeopener.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/core/menutext.h"
#include "ui/widgets/artwork.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/hyperlink.h"
#include "ui/widgets/menus.h"
#include "ui/widgets/splitter.h"
#include "ui/widgets/toolbar.h"

namespace {

std::unique_ptr<wxAcceleratorEntry> AccelOf(const wxMenuItem* item) {
  return std::unique_ptr<wxAcceleratorEntry>(item->GetAccel());
}

// The accelerator as flags and key, {0, 0} for none.
std::pair<int, int> Key(const wxMenuItem* item) {
  auto accel = AccelOf(item);
  return accel ? std::make_pair(accel->GetFlags(), accel->GetKeyCode()) : std::make_pair(0, 0);
}

std::pair<int, int> Key(const std::string& text) {
  wxAcceleratorEntry e;
  std::string accel = MenuAccelText(NormalizeMenuText(text));
  if (accel.empty() || !e.FromString(accel)) return {0, 0};
  return {e.GetFlags(), e.GetKeyCode()};
}

// Checks one table item against the built menu item.
void ExpectItem(const MenuEntry& e, const wxMenuItem* item) {
  ASSERT_NE(item, nullptr) << e.text;
  EXPECT_EQ(item->GetId(), e.id);
  EXPECT_EQ(item->GetItemLabel().ToStdString(), NormalizeMenuText(e.text)) << e.text;
  EXPECT_EQ(Key(item), Key(e.text)) << e.text;
  bool check = e.kind == kMenuCheck;
  EXPECT_EQ(item->IsCheckable(), check) << e.text;
  EXPECT_EQ(item->GetBitmapBundle().IsOk(), !check && CommandImage(e.id) != kImgNone) << e.text;
}

TEST(IconMenu, MenuBarHoldsEveryTableItemWithItsKeyAndImage) {
  std::unique_ptr<wxMenuBar> bar(CIconMenu::CreateMenuBar());
  ASSERT_EQ(bar->GetMenuCount(), 6u);
  const char* titles[] = {"&File", "&Edit", "&View", "&Report", "&Go", "&Help"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(bar->GetMenuLabel(i), titles[i]);

  size_t count = 0;
  const MenuEntry* table = MenuTable(&count);
  int depth = 0, items = 0;
  bool inBar = false;
  for (size_t i = 0; i < count; ++i) {
    const MenuEntry& e = table[i];
    if (e.kind == kMenuPopup && depth++ == 0) inBar = e.place == kInMenuBar;
    if (e.kind == kMenuEnd) --depth;
    if (!inBar || (e.kind != kMenuItem && e.kind != kMenuCheck)) continue;
    ExpectItem(e, bar->FindItem(e.id));
    ++items;
  }
  EXPECT_GT(items, 60);

  // The slips of the old tables are the keys they meant, and no two items
  // share a key: Chart and Table leave Ctrl+T to the one toggle.
  struct Case {
    int id;
    int flags;
    int key;
  } cases[] = {{ID_GO_PAGES, wxACCEL_ALT, 'P'},         {ID_GO_REFERRER_PAGES, wxACCEL_ALT, 'R'},
               {ID_GO_DAYS_OF_WEEK, wxACCEL_ALT, 'W'},  {ID_GO_PREVIOUS, wxACCEL_ALT, WXK_LEFT},
               {ID_GO_NEXT, wxACCEL_ALT, WXK_RIGHT},    {ID_REPORT_RELOAD, wxACCEL_NORMAL, WXK_F5},
               {ID_VIEW_CHART, 0, 0},                   {ID_VIEW_TABLE, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(Key(bar->FindItem(c.id)), std::make_pair(c.flags, c.key)) << c.id;
  std::set<std::pair<int, int>> keys;
  for (size_t m = 0; m < bar->GetMenuCount(); ++m)
    for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems())
      if (Key(item).second) {
        EXPECT_TRUE(keys.insert(Key(item)).second) << item->GetItemLabel();
      }
  std::vector<wxAcceleratorEntry> extra = CIconMenu::AcceleratorEntries();
  ASSERT_EQ(extra.size(), 1u);
  EXPECT_EQ(extra[0].GetCommand(), ID_VIEW_CHART_TABLE);
  EXPECT_EQ(std::make_pair(extra[0].GetFlags(), extra[0].GetKeyCode()), std::make_pair(int(wxACCEL_CTRL), int('T')));
  EXPECT_EQ(keys.count({wxACCEL_CTRL, 'T'}), 0u);
}

std::vector<std::string> Labels(const wxMenu* menu) {
  std::vector<std::string> labels;
  for (const wxMenuItem* item : menu->GetMenuItems())
    labels.push_back(item->IsSeparator() ? "-" : item->GetItemLabel().ToStdString());
  return labels;
}

TEST(IconMenu, ReportContextMenuFollowsTheKindShown) {
  std::unique_ptr<CIconMenu> hosts(CIconMenu::CreateReportContextMenu(kReportHost, false, true));
  std::vector<std::string> labels = Labels(hosts.get());
  ASSERT_EQ(labels.size(), 3u + 13u + 5u);
  EXPECT_EQ(labels[0], "&Back\tAlt+Left");
  EXPECT_EQ(labels[1], "&Next\tAlt+Right");
  EXPECT_EQ(labels[3], "Ite&ms\tAlt+M");
  EXPECT_EQ(labels[16], "-");
  EXPECT_EQ(labels[18], "Copy To Clipboard\tCtrl+C");
  EXPECT_EQ(labels[19], "Host Comment");
  EXPECT_EQ(labels[20], "Whois (Open In Browser)");
  EXPECT_EQ(Key(hosts->FindItem(ID_EDIT_COPY)), std::make_pair(int(wxACCEL_CTRL), int('C')));
  // Whois carries the same image here as in the Go menu.
  EXPECT_TRUE(hosts->FindItem(ID_GO_WHOIS)->GetBitmapBundle().IsOk());

  wxMenu* more = hosts->FindItemByPosition(17)->GetSubMenu();
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(hosts->FindItemByPosition(17)->GetItemLabel(), "Mor&e");
  std::vector<std::string> moreLabels = Labels(more);
  ASSERT_EQ(moreLabels.size(), 7u + 1u + 4u);
  EXPECT_EQ(moreLabels[0], "&Countries\tAlt+C");
  EXPECT_EQ(moreLabels[8], "Export To &HTML File");
  EXPECT_EQ(moreLabels[11], "&Send Via E-Mail");

  std::unique_ptr<CIconMenu> pages(CIconMenu::CreateReportContextMenu(kReportPage, false, false));
  EXPECT_NE(pages->FindItem(ID_GO_OPEN_IN_BROWSER), nullptr);
  EXPECT_EQ(pages->FindItem(ID_HOST_COMMENT), nullptr);
  EXPECT_EQ(pages->FindItem(ID_GO_PAGES), nullptr);  // the kind shown

  std::unique_ptr<CIconMenu> frame(CIconMenu::CreateReportContextMenu(kReportPage, true, false));
  EXPECT_EQ(Labels(frame.get()), std::vector<std::string>{"&Close Frame\tCtrl+0"});
}

// A test frame with the menu bar, the toolbar and a splitter as client.
class MenuFrame : public wxFrame {
 public:
  MenuFrame() : wxFrame(nullptr, wxID_ANY, "Trailvane", wxPoint(20, 20), wxSize(760, 460)) {
    SetIcons(AppIconBundle());
    SetMenuBar(CIconMenu::CreateMenuBar());
    toolbar = new CMainToolBar(this);
    toolbar->LoadButtons();
    from = new wxDatePickerCtrl(toolbar, ID_DATE_FROM, wxDefaultDateTime, wxDefaultPosition, wxSize(130, -1),
                                wxDP_DROPDOWN | wxDP_ALLOWNONE);
    to = new wxDatePickerCtrl(toolbar, ID_DATE_TO, wxDefaultDateTime, wxDefaultPosition, wxSize(130, -1),
                              wxDP_DROPDOWN | wxDP_ALLOWNONE);
    placedFrom = toolbar->PlaceControl(ID_DATE_FROM, from);
    placedTo = toolbar->PlaceControl(ID_DATE_TO, to);
    SetToolBar(toolbar);
    std::vector<wxAcceleratorEntry> keys = CIconMenu::AcceleratorEntries();
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));

    outer = new CHideSplitterWnd;
    outer->CreateStatic(this, 1, 2);
    auto* left = new wxPanel(outer);
    left->SetBackgroundColour(wxColour(235, 240, 250));
    new wxStaticText(left, wxID_ANY, "Navigator", wxPoint(8, 8));
    outer->CreateView(0, 0, left, wxSize(190, 0));
    inner = new CHideSplitterWnd;
    inner->CreateStatic(outer, 2, 1);
    outer->CreateView(0, 1, inner, wxSize(0, 0));
    top = new wxPanel(inner);
    top->SetBackgroundColour(*wxWHITE);
    link = new CHyperLink(top, wxID_ANY, "https://trailvane.test/help");
    link->Move(12, 12);
    bottom = new wxPanel(inner);
    bottom->SetBackgroundColour(wxColour(250, 245, 230));
    new wxStaticText(bottom, wxID_ANY, "Subreport", wxPoint(8, 8));
    inner->CreateView(0, 0, top, wxSize(0, 250));
    inner->CreateView(1, 0, bottom, wxSize(0, 0));
    Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent& e) {
      ++menusOpened;
      e.Skip();
    });
  }

  CMainToolBar* toolbar;
  wxDatePickerCtrl *from, *to;
  bool placedFrom, placedTo;
  CHideSplitterWnd *outer, *inner;
  wxPanel *top, *bottom;
  CHyperLink* link;
  int menusOpened = 0;
};

TEST(MainToolBar, ButtonsInOrderWithDatePickerSlotsAndGreyedDisabledImages) {
  auto* frame = new MenuFrame;
  frame->Show();
  CMainToolBar* tb = frame->toolbar;
  EXPECT_TRUE(frame->placedFrom);
  EXPECT_TRUE(frame->placedTo);

  const std::vector<int>& layout = CMainToolBar::ButtonLayout();
  ASSERT_EQ(tb->GetToolsCount(), layout.size());
  int images = 0;
  for (size_t i = 0; i < layout.size(); ++i) {
    const wxToolBarToolBase* tool = tb->GetToolByPos(static_cast<int>(i));
    if (!layout[i]) {
      EXPECT_TRUE(tool->IsSeparator()) << i;
      continue;
    }
    ++images;
    EXPECT_EQ(tool->GetId(), layout[i]);
    if (layout[i] == ID_DATE_FROM || layout[i] == ID_DATE_TO) {
      EXPECT_TRUE(tool->IsControl());
      continue;
    }
    EXPECT_TRUE(tool->GetNormalBitmapBundle().IsOk()) << layout[i];
    EXPECT_TRUE(tool->GetDisabledBitmapBundle().IsOk()) << layout[i];
  }
  EXPECT_EQ(images, kToolbarImageCount);
  EXPECT_EQ(tb->GetToolShortHelp(ID_REPORT_WORKSPACE_SETTINGS), "Workspace Settings");
  wxDatePickerCtrl stray(tb, wxID_ANY);
  EXPECT_FALSE(tb->PlaceControl(4242, &stray));
  EXPECT_FALSE(stray.IsShown());

  // Each button's disabled image is its normal image greyed: coloured
  // pixels there, none here.
  auto coloured = [](const wxBitmap& bitmap) {
    wxImage image = bitmap.ConvertToImage();
    int n = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
      for (int x = 0; x < image.GetWidth(); ++x) {
        if (image.HasAlpha() && image.GetAlpha(x, y) < 128) continue;
        int r = image.GetRed(x, y), g = image.GetGreen(x, y), b = image.GetBlue(x, y);
        if (std::max({r, g, b}) - std::min({r, g, b}) > 40) ++n;
      }
    return n;
  };
  int colouredNormal = 0;
  for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_REPORT_RELOAD, ID_REPORT_WORKSPACE_SETTINGS}) {
    const wxToolBarToolBase* tool = tb->FindById(id);
    colouredNormal += coloured(tool->GetNormalBitmapBundle().GetBitmap(wxSize(24, 24)));
    wxBitmap disabled = tool->GetDisabledBitmapBundle().GetBitmap(wxSize(24, 24));
    EXPECT_EQ(disabled.GetSize(), wxSize(24, 24)) << id;
    EXPECT_EQ(coloured(disabled), 0) << id;
    EXPECT_EQ(coloured(tool->GetDisabledBitmapBundle().GetBitmap(wxSize(48, 48))), 0) << id;
  }
  EXPECT_GT(colouredNormal, 100);
  frame->Destroy();
}

TEST(MainToolBar, DropDownButtonOpensTheFirstSubmenuForItsOwner) {
  auto* frame = new MenuFrame;
  int got = 0;
  auto* owner = new wxPanel(frame->top);
  owner->Bind(wxEVT_MENU, [&got](wxCommandEvent& e) { got = e.GetId(); });
  frame->toolbar->AddDropDownButton(ID_FILE_OPEN, CIconMenu::kMenuBarId, owner);
  frame->toolbar->AddDropDownButton(ID_FILE_SAVE, 999, owner);  // no such menu
  wxToolBarToolBase* tool = frame->toolbar->FindById(ID_FILE_OPEN);
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(tool->GetKind(), wxITEM_DROPDOWN);
  EXPECT_EQ(frame->toolbar->GetToolPos(ID_FILE_OPEN), 1);
  EXPECT_EQ(frame->toolbar->FindById(ID_FILE_SAVE)->GetKind(), wxITEM_NORMAL);
  wxMenu* menu = tool->GetDropdownMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Labels(menu), Labels(frame->GetMenuBar()->GetMenu(0)));
  wxCommandEvent pick(wxEVT_MENU, ID_FILE_PRINT);
  menu->ProcessEvent(pick);
  EXPECT_EQ(got, ID_FILE_PRINT);
  frame->Destroy();
}

// The screenshot as an image (empty when it could not be taken).
wxImage Screenshot(const std::string& name) {
  if (!wxtest::SaveWholeScreen(name)) return wxImage();
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  return wxImage(std::string(TV_UI_SCREENSHOT_DIR) + "/" + name + ".png", wxBITMAP_TYPE_PNG);
}

// Pixels of `now` that differ from `before` (what opened) and, among them,
// the coloured ones: the menu's images in colour.
struct Changed {
  int pixels = 0, coloured = 0;
};
// Only rows from `top` down count: the menu bar marks the open title in colour.
Changed ChangedPixels(const wxImage& before, const wxImage& now, int top) {
  Changed c;
  if (!before.IsOk() || !now.IsOk() || before.GetSize() != now.GetSize()) return c;
  top = std::max(top, 0);
  const size_t skip = static_cast<size_t>(top) * now.GetWidth() * 3;
  const unsigned char* a = before.GetData() + skip;
  const unsigned char* b = now.GetData() + skip;
  const size_t n = static_cast<size_t>(now.GetWidth()) * std::max(now.GetHeight() - top, 0);
  for (size_t i = 0; i < n; ++i, a += 3, b += 3) {
    if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) continue;
    ++c.pixels;
    int hi = std::max({b[0], b[1], b[2]}), lo = std::min({b[0], b[1], b[2]});
    if (hi - lo > 60) ++c.coloured;
  }
  return c;
}

// The File menu opened with a real click on its title: disabled items show
// their images greyed, enabled ones in colour; keys choose an item of the Go menu.
TEST(MenuFrame, DisabledItemsShowGreyImagesAndKeysChooseFromTheOpenMenu) {
  auto* frame = new MenuFrame;
  bool fileEnabled = false;
  for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT, ID_FILE_PRINT_SETUP, ID_APP_EXIT})
    frame->Bind(wxEVT_UPDATE_UI, [&fileEnabled](wxUpdateUIEvent& e) { e.Enable(fileEnabled); }, id);
  int chosen = 0;
  frame->Bind(wxEVT_MENU, [&chosen](wxCommandEvent& e) { chosen = e.GetId(); });
  wxMenu* shown = nullptr;
  frame->Bind(wxEVT_MENU_OPEN, [&shown](wxMenuEvent& e) {
    if (e.GetMenu()) shown = e.GetMenu();
    e.Skip();
  });
  frame->Show();
  frame->Raise();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return frame->IsShownOnScreen(); }));
  wxtest::Pump(200);
  EXPECT_TRUE(wxtest::SaveScreenshot("menus_toolbar"));
  wxMenuBar* bar = frame->GetMenuBar();
  wxRect rect = bar->GetScreenRect();
  wxUIActionSimulator sim;

  // Opens the File menu with the mouse and returns what it changed on screen.
  auto openFile = [&](const std::string& shot) {
    wxImage before = Screenshot(shot + "_before");
    shown = nullptr;
    sim.MouseMove(rect.x + 10, rect.y + rect.height / 2);
    wxtest::Pump(50);
    sim.MouseClick();
    EXPECT_TRUE(wxtest::PumpUntil([&] { return shown != nullptr; }, 3000)) << "the menu did not open";
    wxtest::Pump(300);
    Changed c = ChangedPixels(before, Screenshot(shot), rect.GetBottom() + 1);
    sim.Char(WXK_ESCAPE);
    wxtest::Pump(200);
    return c;
  };

  Changed disabled = openFile("menus_disabled");
  EXPECT_EQ(shown, bar->GetMenu(0));
  EXPECT_FALSE(bar->FindItem(ID_FILE_NEW)->IsEnabled());
  EXPECT_GT(disabled.pixels, 2000) << "no menu on screen";
  EXPECT_LT(disabled.coloured, 10) << "a disabled item shows its image in colour";

  fileEnabled = true;
  Changed enabled = openFile("menus_open");
  EXPECT_TRUE(bar->FindItem(ID_FILE_NEW)->IsEnabled());
  EXPECT_GT(enabled.pixels, 2000);
  EXPECT_GT(enabled.coloured, 100) << "the images of enabled items are missing";

  // Keys in the open menu: Right walks to the Go menu, Down highlights its
  // first item, Enter takes it.
  sim.MouseMove(rect.x + 10, rect.y + rect.height / 2);
  sim.MouseClick();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return shown == bar->GetMenu(0); }, 3000));
  for (int i = 0; i < 4; ++i) {
    sim.Char(WXK_RIGHT);
    wxtest::Pump(100);
  }
  EXPECT_EQ(shown, bar->GetMenu(4));
  EXPECT_TRUE(wxtest::SaveScreenshot("menus_go"));
  sim.Char(WXK_DOWN);
  wxtest::Pump(100);
  sim.Char(WXK_RETURN);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return chosen != 0; }, 3000)) << "no item was chosen";
  EXPECT_EQ(chosen, ID_GO_PREVIOUS);
  frame->Destroy();
  wxtest::Pump(50);
}

// Every drawing parses and paints something at the menu, toolbar and a
// large size; the sheet is kept as a screenshot.
TEST(Artwork, EveryImageRendersAtEverySize) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "artwork", wxPoint(10, 10), wxSize(kImageCount * 46 + 20, 150));
  auto* panel = new wxPanel(frame);
  panel->SetBackgroundColour(*wxWHITE);
  for (int image = 0; image < kImageCount; ++image) {
    int x = 10 + image * 46;
    int y = 10;
    for (int size : {kMenuImageSize, kToolbarImageSize, 48}) {
      wxBitmap bitmap = ImageBundle(image, size).GetBitmap(wxSize(size, size));
      ASSERT_TRUE(bitmap.IsOk()) << image;
      EXPECT_EQ(bitmap.GetSize(), wxSize(size, size));
      wxImage pixels = bitmap.ConvertToImage();
      int painted = 0;
      for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px)
          if (!pixels.HasAlpha() || pixels.GetAlpha(px, py) > 0) ++painted;
      EXPECT_GT(painted, size * size / 20) << "image " << image << " at " << size;
      EXPECT_LT(painted, size * size + 1);
      new wxStaticBitmap(panel, wxID_ANY, bitmap, wxPoint(x, y));
      y += size + 6;
    }
  }
  EXPECT_EQ(CommandImage(ID_GO_WHOIS), kImgWhois);
  EXPECT_EQ(CommandImage(ID_GO_PAGES), kImgNone);
  EXPECT_FALSE(ImageBundle(kImageCount, 16).IsOk());
  EXPECT_EQ(ToolbarStrip(24, false).GetSize(), wxSize(24 * kToolbarImageCount, 24));
  EXPECT_FALSE(AppIconBundle().IsEmpty());
  frame->Show();
  wxtest::PumpUntil([&] { return frame->IsShownOnScreen(); });
  EXPECT_TRUE(wxtest::SaveScreenshot("menus_artwork"));
  frame->Destroy();
}

// ---------------------------------------------------------------------------
// Splitter

struct SplitterFixture {
  explicit SplitterFixture(int rows) {
    frame = new wxFrame(nullptr, wxID_ANY, "splitter", wxPoint(30, 30), wxSize(400, 420));
    splitter = new CHideSplitterWnd;
    splitter->CreateStatic(frame, rows, 1);
    for (int r = 0; r < rows; ++r) {
      panes.push_back(new wxPanel(splitter));
      splitter->CreateView(r, 0, panes.back(), wxSize(0, r + 1 < rows ? 120 : 0));
    }
    frame->Show();
    wxtest::PumpUntil([&] { return splitter->GetClientSize().y > 300; });
    splitter->RecalcLayout();
  }
  ~SplitterFixture() { frame->Destroy(); }
  int Height() const { return splitter->GetClientSize().y; }
  wxFrame* frame;
  CHideSplitterWnd* splitter;
  std::vector<wxPanel*> panes;
};

TEST(HideSplitter, SecondRowHiddenAndShownKeepsItsPaneAndHeight) {
  SplitterFixture f(2);
  int before = f.panes[1]->GetSize().y;
  EXPECT_EQ(f.panes[0]->GetSize().y, 120);
  EXPECT_EQ(before, f.Height() - 120 - CHideSplitterWnd::kBarSize);

  f.splitter->HideRow(1);
  EXPECT_EQ(f.splitter->GetRowCount(), 1);
  EXPECT_EQ(f.panes[0]->GetSize().y, f.Height());
  EXPECT_FALSE(f.panes[1]->IsShown());
  EXPECT_EQ(f.panes[1]->GetId(), 0xE910);
  EXPECT_FALSE(f.splitter->IsPaneVisible(1, 0));

  // Hiding it again, hiding the last visible row, showing a row the splitter
  // does not have: nothing changes.
  for (int row : {1, 0}) f.splitter->HideRow(row);
  for (int row : {0, 5, -1}) f.splitter->ShowRow(row);
  EXPECT_EQ(f.splitter->GetRowCount(), 1);
  EXPECT_TRUE(f.panes[0]->IsShown());
  EXPECT_EQ(f.panes[0]->GetSize().y, f.Height());

  f.splitter->ShowRow(1);
  EXPECT_EQ(f.splitter->GetRowCount(), 2);
  EXPECT_TRUE(f.panes[1]->IsShown());
  EXPECT_EQ(f.panes[1]->GetSize().y, before);
  EXPECT_EQ(f.panes[0]->GetSize().y, 120);
  EXPECT_EQ(f.panes[1]->GetPosition().y, 120 + CHideSplitterWnd::kBarSize);
}

TEST(HideSplitter, HidingTheFirstOfThreeRenumbersAndMovesTheActivePane) {
  SplitterFixture f(3);
  f.splitter->SetActivePane(0, 0);
  f.splitter->HideRow(0);
  EXPECT_EQ(f.panes[1]->GetId(), 0xE900);
  EXPECT_EQ(f.panes[2]->GetId(), 0xE910);
  EXPECT_EQ(f.panes[0]->GetId(), 0xE920);
  EXPECT_FALSE(f.panes[0]->IsShown());
  int row = -1;
  EXPECT_EQ(f.splitter->GetActivePane(&row), f.panes[1]);
  EXPECT_EQ(row, 1);

  // The active pane in the last row: activity goes to the first row.
  f.splitter->SetActivePane(2, 0);
  f.splitter->HideRow(2);
  EXPECT_EQ(f.splitter->GetActivePane(&row), f.panes[1]);
  EXPECT_EQ(f.panes[1]->GetSize().y, f.Height());

  f.splitter->ShowRow(0);
  EXPECT_EQ(f.panes[0]->GetId(), 0xE900);
  EXPECT_EQ(f.panes[1]->GetId(), 0xE910);
  EXPECT_EQ(f.panes[2]->GetId(), 0xE920);
  EXPECT_EQ(f.panes[0]->GetSize().y, 120);
}

// ---------------------------------------------------------------------------
// Hyperlink

class HyperLink : public ::testing::Test {
 protected:
  void SetUp() override {
    m_launcher = tv::SetLauncher([this](const std::string& target) {
      opened.push_back(target);
      return launchWorks;
    });
    m_sink = CHyperLink::SetErrorSink([this](const wxString& m) { errors.push_back(m.ToStdString()); });
    frame = new wxFrame(nullptr, wxID_ANY, "link", wxPoint(40, 40), wxSize(360, 120));
    panel = new wxPanel(frame);
  }
  void TearDown() override {
    frame->Destroy();
    tv::SetLauncher(m_launcher);
    tv::SetAsyncLauncher(nullptr);
    CHyperLink::SetErrorSink(m_sink);
  }
  static void Send(CHyperLink* link, wxEventType type) {
    wxMouseEvent e(type);
    e.SetEventObject(link);
    link->GetEventHandler()->ProcessEvent(e);
  }
  static void Key(CHyperLink* link, int code) {
    wxKeyEvent e(wxEVT_KEY_DOWN);
    e.m_keyCode = code;
    e.SetEventObject(link);
    link->GetEventHandler()->ProcessEvent(e);
  }

  wxFrame* frame;
  wxPanel* panel;
  std::vector<std::string> opened, errors;
  bool launchWorks = true;

 private:
  tv::LaunchFn m_launcher;
  CHyperLink::ErrorSink m_sink;
};

TEST_F(HyperLink, ClickOpensTheAddressOnButtonUpAndTurnsVisited) {
  auto* link = new CHyperLink(panel, wxID_ANY, "https://trailvane.test/");
  auto* other = new wxPanel(panel, wxID_ANY, wxPoint(200, 0), wxSize(40, 40));
  frame->Show();
  wxtest::PumpUntil([&] { return link->IsShownOnScreen(); });
  EXPECT_EQ(link->GetURL(), "https://trailvane.test/");
  ASSERT_NE(link->GetToolTip(), nullptr);
  EXPECT_EQ(link->GetToolTip()->GetTip(), "https://trailvane.test/");
  EXPECT_TRUE(link->GetFont().GetUnderlined());
  EXPECT_TRUE(link->GetCursor().IsOk());
  EXPECT_EQ(link->GetSize(), link->GetBestSize());
  EXPECT_EQ(link->TextColour(), CHyperLink::kLinkColour);

  // The default style ignores the hover colour.
  Send(link, wxEVT_ENTER_WINDOW);
  EXPECT_TRUE(link->IsOver());
  EXPECT_EQ(link->TextColour(), CHyperLink::kLinkColour);
  Send(link, wxEVT_LEAVE_WINDOW);

  Send(link, wxEVT_LEFT_DOWN);
  EXPECT_TRUE(opened.empty());
  Send(link, wxEVT_LEFT_UP);
  ASSERT_EQ(opened, std::vector<std::string>{"https://trailvane.test/"});
  EXPECT_TRUE(link->IsVisited());
  other->SetFocus();
  wxFocusEvent lost(wxEVT_KILL_FOCUS);
  link->GetEventHandler()->ProcessEvent(lost);
  EXPECT_EQ(link->TextColour(), CHyperLink::kVisitedColour);
  wxtest::SaveScreenshot("menus_hyperlink");
}

TEST_F(HyperLink, SpaceKeyHoverStyleAndAFailingLauncher) {
  auto* link = new CHyperLink(panel, wxID_ANY, "About", "https://trailvane.test/about",
                              CHyperLink::kDefaultStyle | CHyperLink::kUseHover | CHyperLink::kNoHandCursor);
  EXPECT_EQ(link->GetLabel(), "About");
  EXPECT_FALSE(link->GetCursor().IsOk());
  Send(link, wxEVT_ENTER_WINDOW);
  EXPECT_EQ(link->TextColour(), CHyperLink::kHoverColour);
  Send(link, wxEVT_LEAVE_WINDOW);

  Key(link, 'A');
  EXPECT_TRUE(opened.empty());
  Key(link, WXK_SPACE);
  EXPECT_EQ(opened, std::vector<std::string>{"https://trailvane.test/about"});

  auto* broken = new CHyperLink(panel, wxID_ANY, "https://trailvane.test/x");
  launchWorks = false;
  broken->FollowLink();
  EXPECT_FALSE(broken->IsVisited());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Can't open link:\n\nThere is no application associated\nwith the given filename extension.");
  EXPECT_EQ(CHyperLink::ErrorText(77), "Can't open link:\n\nUnknown Error (77) occurred.");
}

// Fitted to its text, a link keeps the edge or the centre its alignment
// names, when it is made and when its text changes; a real click in the
// fitted rectangle opens it.
TEST_F(HyperLink, FitToTextKeepsTheAnchorTheAlignmentNames) {
  panel->SetBackgroundColour(*wxWHITE);
  const wxRect box(40, 10, 260, 30);
  struct Case {
    long alignment;
    const char* name;
  } cases[] = {{0, "left"},
               {wxALIGN_CENTRE_HORIZONTAL, "centre"},
               {wxALIGN_RIGHT, "right"},
               {wxALIGN_RIGHT | wxALIGN_CENTRE_VERTICAL, "right, centred vertically"}};
  std::vector<CHyperLink*> links;
  int row = 0;
  for (const Case& c : cases) {
    wxRect at = box;
    at.y += row++ * 34;
    // The box the link was given, drawn behind it for the screenshot.
    auto* guide = new wxPanel(panel, wxID_ANY, at.GetPosition(), at.GetSize());
    guide->SetBackgroundColour(wxColour(225, 235, 225));
    auto* link = new CHyperLink(panel, wxID_ANY, "Help", "https://trailvane.test/" + std::string(c.name),
                                CHyperLink::kDefaultStyle, at.GetPosition(), at.GetSize(), c.alignment);
    link->Raise();
    links.push_back(link);
  }
  frame->SetSize(wxSize(360, 190));
  frame->Show();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return links.back()->IsShownOnScreen(); }));

  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < links.size(); ++i) {
      SCOPED_TRACE(std::string(cases[i].name) + (pass ? " after a longer text" : ""));
      CHyperLink* link = links[i];
      wxClientDC dc(link);
      dc.SetFont(link->GetFont());
      wxSize text = dc.GetTextExtent(link->GetLabel());
      wxRect r = link->GetRect();
      wxRect given = box;
      given.y += static_cast<int>(i) * 34;
      EXPECT_EQ(r.width, text.x + 2);
      EXPECT_LT(r.width, given.width);
      const bool centredV = (cases[i].alignment & wxALIGN_CENTRE_VERTICAL) != 0;
      EXPECT_EQ(r.height, centredV ? given.height : text.y + 2);
      EXPECT_EQ(r.y, given.y);
      int expectedX = given.x;
      if (cases[i].alignment & wxALIGN_RIGHT) expectedX = given.GetRight() + 1 - r.width;
      else if (cases[i].alignment & wxALIGN_CENTRE_HORIZONTAL) expectedX = given.x + (given.width - r.width) / 2;
      // A centre kept twice may move by a pixel of rounding.
      EXPECT_LE(std::abs(r.x - expectedX), (cases[i].alignment & wxALIGN_CENTRE_HORIZONTAL) ? 1 : 0);
    }
    if (pass == 0) {
      EXPECT_TRUE(wxtest::SaveScreenshot("menus_hyperlink_anchors"));
      for (CHyperLink* link : links) link->SetLinkText("Help and usage");
      wxtest::Pump(50);
    }
  }

  // A click where the right-anchored link now stands opens it.
  wxRect r = links[2]->GetScreenRect();
  wxUIActionSimulator sim;
  frame->Raise();
  sim.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
  wxtest::Pump(50);
  sim.MouseClick();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return !opened.empty(); }, 3000));
  EXPECT_EQ(opened, std::vector<std::string>{"https://trailvane.test/right"});
}

// A real click on a link: it turns visited only when the opener reports
// success, and a failure shows the message box instead, whether the launcher
// answers at once or later from another thread.
TEST_F(HyperLink, ARealClickTurnsVisitedOnlyWhenTheOpenerSucceeds) {
  CHyperLink::SetErrorSink(nullptr);  // the real message box, caught by the script
  panel->SetBackgroundColour(*wxWHITE);
  auto* link = new CHyperLink(panel, wxID_ANY, "Trailvane on the web", "https://trailvane.test/", CHyperLink::kDefaultStyle,
                              wxPoint(20, 20));
  auto* other = new wxButton(panel, wxID_ANY, "Other", wxPoint(20, 60));
  frame->Show();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return link->IsShownOnScreen(); }));

  std::atomic<int> answersGiven{0};
  struct Joined {
    std::vector<std::thread> threads;
    ~Joined() {
      for (std::thread& t : threads) t.join();
    }
  } answering;
  auto answerLater = [&](const std::string& target, tv::LaunchDone done) {
    opened.push_back(target);
    answering.threads.emplace_back([done, &answersGiven, works = launchWorks] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      done(works ? tv::kLaunchOpened : tv::kLaunchNoHandler);
      ++answersGiven;
    });
  };
  const tv::LaunchFn quick = tv::SetLauncher(nullptr);
  struct Case {
    bool later, works;
    const char* screenshot;
  } cases[] = {{false, false, nullptr}, {true, false, "hyperlink_open_failed"}, {true, true, "hyperlink_open_succeeded"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.later ? "answers later, " : "answers at once, ") + (c.works ? "opens" : "fails"));
    launchWorks = c.works;
    if (c.later) tv::SetAsyncLauncher(answerLater);
    else tv::SetLauncher(quick);
    opened.clear();
    const int answersBefore = answersGiven;
    wxtest::DialogScript script;
    if (!c.works) script.Answer(wxID_OK);

    wxUIActionSimulator sim;
    frame->Raise();
    const wxRect r = link->GetScreenRect();
    sim.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
    // Past the double-click time, or the press comes as a double click.
    wxtest::Pump(600);
    sim.MouseClick();
    ASSERT_TRUE(wxtest::PumpUntil([&] { return !opened.empty(); }, 3000));
    EXPECT_EQ(opened, std::vector<std::string>{"https://trailvane.test/"});
    if (c.later) {
      EXPECT_FALSE(link->IsVisited()) << "visited before the opener answered";
      ASSERT_TRUE(wxtest::PumpUntil([&] { return answersGiven > answersBefore; }, 3000));
    }
    wxtest::Pump(50);
    EXPECT_EQ(link->IsVisited(), c.works);
    const std::vector<std::string> expected =
        c.works ? std::vector<std::string>{}
                : std::vector<std::string>{"Can't open link:\n\nThere is no application associated\nwith the given "
                                           "filename extension."};
    EXPECT_EQ(script.messages, expected);
    other->SetFocus();
    wxtest::Pump(50);
    EXPECT_EQ(link->TextColour(), c.works ? CHyperLink::kVisitedColour : CHyperLink::kLinkColour);
    if (c.screenshot) {
      EXPECT_TRUE(wxtest::SaveScreenshot(c.screenshot));
    }
    tv::SetAsyncLauncher(nullptr);
    tv::SetLauncher(nullptr);
  }
}

// With the desktop's opener itself (a stand-in script first on PATH): the
// windows go on while it runs, its exit status decides, and nothing of it is
// left afterwards.
TEST_F(HyperLink, TheDesktopOpenerAnswersWhileTheWindowsGoOn) {
  tvtest::FakeOpener opener;
  tv::SetLauncher(nullptr);
  CHyperLink::SetErrorSink(nullptr);
  const int childrenBefore = tvtest::ChildProcesses();
  auto* failing = new CHyperLink(panel, wxID_ANY, "slow", tvtest::FakeOpener::kSlowFail, CHyperLink::kDefaultStyle,
                                 wxPoint(20, 20));
  auto* working = new CHyperLink(panel, wxID_ANY, "works", tvtest::FakeOpener::kOpens, CHyperLink::kDefaultStyle,
                                 wxPoint(20, 60));
  frame->Show();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return working->IsShownOnScreen(); }));

  // The longest the event loop went without running the timer.
  using Clock = std::chrono::steady_clock;
  Clock::time_point last = Clock::now();
  long longestGapMs = 0;
  wxTimer ticker;
  ticker.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    const Clock::time_point now = Clock::now();
    longestGapMs = std::max<long>(longestGapMs, std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
    last = now;
  });

  for (CHyperLink* link : {failing, working}) {
    const bool works = link == working;
    SCOPED_TRACE(tv::WxToBytes(link->GetURL()));
    wxtest::DialogScript script;
    if (!works) script.Answer(wxID_OK);
    wxUIActionSimulator sim;
    frame->Raise();
    const wxRect r = link->GetScreenRect();
    sim.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
    wxtest::Pump(600);
    const Clock::time_point clicked = Clock::now();
    last = clicked;
    longestGapMs = 0;
    ticker.Start(20);
    sim.MouseClick();
    ASSERT_TRUE(wxtest::PumpUntil([&] { return works ? link->IsVisited() : !script.messages.empty(); }, 5000));
    ticker.Stop();
    const long tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - clicked).count();
    EXPECT_LT(longestGapMs, 300) << "the UI thread waited for the opener";
    if (!works) {
      EXPECT_GE(tookMs, 550) << "the failure came before the opener ended";
      EXPECT_EQ(script.messages, std::vector<std::string>{"Can't open link:\n\nThere is no application "
                                                          "associated\nwith the given filename extension."});
      EXPECT_FALSE(link->IsVisited());
    }
  }
  EXPECT_EQ(opener.Calls().size(), 2u);
  EXPECT_TRUE(wxtest::PumpUntil([&] { return tvtest::ChildProcesses() == childrenBefore; }, 3000));
}

}  // namespace
