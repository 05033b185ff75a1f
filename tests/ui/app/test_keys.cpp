// Every key of the main window's accelerator table pressed on the keyboard
// (XTest), each in a state where its command is enabled, with the effect the
// command has: the report or level on show, the dialog that opens, the file
// written, the chart or subreport shown. A key in the table without a case
// here fails, so a key added later cannot go untested.
#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "platform/launcher.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/fixtureproject.h"
#include "tests/ui/listpick.h"
#include "tests/ui/wxtest.h"
#include "ui/app/commands.h"
#include "ui/app/document.h"
#include "ui/app/helpviewer.h"
#include "ui/app/mainview.h"
#include "ui/app/mainwindow.h"
#include "ui/app/subreportframe.h"
#include "ui/core/findreport.h"
#include "ui/core/helppages.h"
#include "ui/core/menutext.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/panes/chartpane.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportpanes.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/menus.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/splitter.h"
#include "ui/widgets/worker.h"

namespace {

using wxtest::DialogScript;

std::string DataFile(const char* name) {
  // The build's data folder holds the help book and the shipped tables.
  return std::filesystem::path(TV_HELP_BOOK).parent_path().string() + "/" + name;
}
std::string StripPath() { return std::string(TV_UI_TEST_DATA_DIR) + "/../../../res/report_images.png"; }

// Hits that give rows every drill-down needs: /search.php has a query, hits
// referred by a search engine and a spider's hit; the others do not.
const char kLog[] =
    "203.0.113.5 - - [04/Mar/2024:08:10:00 +0000] \"GET /search.php?q=maps HTTP/1.1\" 200 1200 "
    "\"https://www.google.com/search?q=trail+maps\" \"Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 "
    "Firefox/123.0\"\n"
    "203.0.113.5 - - [04/Mar/2024:08:12:00 +0000] \"GET /index.html HTTP/1.1\" 200 3000 "
    "\"https://www.google.com/search?q=trail+maps\" \"Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 "
    "Firefox/123.0\"\n"
    "203.0.113.9 - - [04/Mar/2024:09:20:00 +0000] \"GET /search.php?q=hills HTTP/1.1\" 200 1100 "
    "\"https://www.bing.com/search?q=hill+walks\" \"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 "
    "(KHTML, like Gecko) Chrome/122.0.0.0 Safari/537.36\"\n"
    "203.0.113.9 - - [04/Mar/2024:09:21:00 +0000] \"GET /about.html HTTP/1.1\" 200 2500 "
    "\"https://www.example.org/links.html\" \"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 "
    "(KHTML, like Gecko) Chrome/122.0.0.0 Safari/537.36\"\n"
    "66.249.66.1 - - [04/Mar/2024:10:00:00 +0000] \"GET /search.php?q=maps HTTP/1.1\" 200 1200 \"-\" "
    "\"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)\"\n"
    "198.51.100.7 - - [05/Mar/2024:11:30:00 +0000] \"GET /missing.png HTTP/1.1\" 404 0 \"-\" \"Wget/1.21.3\"\n"
    "203.0.113.5 - - [05/Mar/2024:12:00:00 +0000] \"GET /search.php?q=maps HTTP/1.1\" 200 1200 "
    "\"https://www.google.com/search?q=maps\" \"Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 "
    "Firefox/123.0\"\n"
    "203.0.113.9 - - [06/Mar/2024:14:45:00 +0000] \"GET /index.html HTTP/1.1\" 200 3000 \"-\" "
    "\"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/122.0.0.0 "
    "Safari/537.36\"\n";
const char kMoreLine[] =
    "203.0.113.77 - - [06/Mar/2024:15:00:00 +0000] \"GET /about.html HTTP/1.1\" 200 2500 \"-\" \"Wget/1.21.3\"\n";

// A plain grouping of the fixture log: how many distinct values of one field
// the hits of a page have ('T' host, 'D' day, 'U' hour; 'M' counts the hits
// themselves, one item each). A page's level takes its hits whatever their
// agent, so the spider's hit counts too; error hits have rows of their own.
size_t DistinctInLog(const std::string& page, char field) {
  std::set<std::string> values;
  size_t hits = 0;
  std::istringstream log(kLog);
  for (std::string line; std::getline(log, line);) {
    const size_t get = line.find("\"GET ") + 5;
    std::string path = line.substr(get, line.find(' ', get) - get);
    path = path.substr(0, path.find('?'));
    const int status = std::atoi(line.c_str() + line.find("\" ", get) + 2);
    if (path != page || status >= 400) continue;
    ++hits;
    const size_t stamp = line.find('[') + 1;
    if (field == 'T') values.insert(line.substr(0, line.find(' ')));
    if (field == 'D') values.insert(line.substr(stamp, 11));
    if (field == 'U') values.insert(line.substr(stamp + 12, 2));
  }
  return field == 'M' ? hits : values.size();
}

bool WaitJob() { return wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending; }, 20000); }

bool WaitWorker() { return wxtest::PumpUntil([] { return !IsWorkerBusy(); }, 20000); }

std::string Title(wxFrame* frame) { return tv::WxToBytes(frame->GetTitle()); }

std::string TitleOf(std::initializer_list<int> kinds) {
  std::string title;
  for (int kind : kinds) title += (title.empty() ? "" : " / ") + std::string(ColumnTerm(kind));
  return title + " - Trailvane";
}

// The menu text of a command without its mnemonic, as the menus show it.
std::string CommandName(int id) {
  size_t count = 0;
  const MenuEntry* table = MenuTable(&count);
  for (size_t i = 0; i < count; ++i) {
    if (table[i].id != id || !table[i].text || (table[i].kind != kMenuItem && table[i].kind != kMenuCheck)) continue;
    std::string label = MenuLabelText(table[i].text);
    std::string plain;
    for (char c : label)
      if (c != '&') plain += c;
    return plain;
  }
  return id == ID_VIEW_CHART_TABLE ? "Chart/Table" : "command " + std::to_string(id);
}

std::string ClipboardText() {
  wxClipboardLocker locker;
  if (!locker || !wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) return "<no text>";
  wxTextDataObject data;
  if (!wxTheClipboard->GetData(data)) return "<no data>";
  return tv::WxToBytes(data.GetText());
}

std::string OpenedHelpPage() {
  auto* help = dynamic_cast<wxHtmlHelpFrame*>(HelpWindow());
  if (!help || !help->IsShown() || !help->GetHelpWindow()) return "";
  wxHtmlWindow* html = help->GetHelpWindow()->GetHtmlWindow();
  return html ? tv::WxToBytes(html->GetOpenedPage()) : "";
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Search engines, spiders, browsers and systems are known from the shipped tables.
const char* const kTables[] = {"se.dat", "site.dat", "robot.dat", "browser.dat", "os.dat"};

class KeyTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(StripPath()));
    for (const char* name : kTables)
      tvtest::WriteFile(tvtest::Home() + name, tvtest::ReadFile(DataFile(name)));
    LoadAuxDatabases(false);
  }
  static void TearDownTestSuite() {
    FreeAuxDatabases();
    for (const char* name : kTables) std::remove((tvtest::Home() + name).c_str());
  }

  void SetUp() override {
    cwd = std::filesystem::current_path();
    tv::SetLauncher([this](const std::string& target) {
      launched.push_back(target);
      return true;
    });
    dir = tvtest::NewDir("keys");
    log = dir + "keys.log";
    tvtest::WriteFile(log, kLog);
    document = std::make_unique<CTrailvaneDoc>();
    SetTheDocument(document.get());
    frame = new CMainFrame;
    ASSERT_TRUE(frame->Create());
    // The commands the program binds at its start.
    frame->LoadIconMenu();
    BindDocumentCommands(frame, nullptr);
    BindApplicationCommands(frame);
    frame->SetSize(10, 10, 1180, 940);
    frame->Show();
    wxtest::PumpUntil([&] { return frame->IsShownOnScreen(); }, 3000);
    wxtest::Pump(100);
  }

  void TearDown() override {
    FinishRunningJob();
    if (wxFrame* help = HelpWindow()) help->Close(true);
    if (frame) {
      frame->Destroy();
      frame = nullptr;
    }
    wxtest::Pump(50);
    SetTheDocument(nullptr);
    document.reset();
    std::remove(HelpBookPath().c_str());
    tv::SetLauncher(nullptr);
    CMainFrame::ExportPathChooser() = nullptr;
    g_project.Reset();
    g_workspace.groups.Clear();
    g_workspace.ClearDirty();
    g_uiQuery = CQueryParams{};
    g_topReportKind = kNoTopReportKind;
    g_searchText.clear();
    g_nav.findPosition = 0;
    // Opening a workspace made its folder the current one.
    std::filesystem::current_path(cwd);
  }

  static CSortListCtrl* List() {
    CReportPane* pane = ListPane(CurrentPaneSlot());
    return pane ? pane->reportList : nullptr;
  }

  // Back to the fixture workspace after a command replaced it.
  void ResetToFixture() {
    ASSERT_TRUE(WaitWorker());
    document->SetPathName("", false);
    document->SetModifiedFlag(false);
    wxtest::UseFixtureWorkspace(log);
    g_workspace.ClearDirty();
  }

  // The fixture log analysed, kind at the top level, in a table, nothing below.
  void ShowTop(int kind) {
    // A fresh workspace stays pending until its first report runs.
    ASSERT_TRUE(WaitWorker());
    if (frame->SubreportShown()) frame->ShowSubreportPane(0);
    if (g_nav.chartMode) {
      g_nav.chartMode = 0;
      if (TopKindSet()) ShowPane(0);
    }
    if (g_project.sources.Count() != 1) wxtest::UseFixtureWorkspace(log);
    if (TopKindSet() && GetCurrentLevel() > 0) {
      GoBackToLevel(0);
      ASSERT_TRUE(WaitJob());
    }
    SwitchTopReport(kind);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(GetCurrentReportType(), kind);
    ASSERT_EQ(GetCurrentLevel(), 0);
    ASSERT_NE(List(), nullptr);
    ASSERT_GT(List()->GetItemCount(), static_cast<int>(List()->leadingRows));
  }

  // Chooses the first row whose flags hold all of `flags`; its text.
  std::string ChooseRowWith(int flags = 0) {
    CSortListCtrl* list = List();
    if (!list) return "<no list>";
    for (long i = static_cast<long>(list->leadingRows); i < list->GetItemCount(); ++i) {
      CRow* row = list->RowOfItem(i);
      if (!row || (row->Flags() & flags) != flags) continue;
      EXPECT_TRUE(wxtest::ChooseListRow(list, i));
      return tv::WxToBytes(list->GetItemText(i, 0));
    }
    ADD_FAILURE() << "no row with flags " << flags << " in " << ColumnTerm(GetCurrentReportType());
    return "<none>";
  }

  // The keys go where a user's would: the report list has the focus.
  void FocusList() {
    frame->Raise();
    wxWindow* target = List() && List()->IsShownOnScreen() ? static_cast<wxWindow*>(List()) : frame->View();
    target->SetFocus();
    wxtest::PumpUntil([&] { return wxWindow::FindFocus() == target; }, 2000);
    wxtest::Pump(30);
  }

  void Press(int flags, int code) {
    int modifiers = 0;
    if (flags & wxACCEL_CTRL) modifiers |= wxMOD_CONTROL;
    if (flags & wxACCEL_ALT) modifiers |= wxMOD_ALT;
    if (flags & wxACCEL_SHIFT) modifiers |= wxMOD_SHIFT;
    const int key = code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code;
    sim.KeyDown(key, modifiers);
    sim.KeyUp(key, modifiers);
    wxtest::Pump(30);
  }

  // The frame's update answer for a command, as a menu or toolbar asks it.
  bool EnabledNow(int id) {
    wxUpdateUIEvent event(id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
    return !event.GetSetEnabled() || event.GetEnabled();
  }

  // No tip where the pointer happens to be.
  void Screenshot(const std::string& name) {
    sim.MouseMove(frame->GetScreenRect().GetRight() + 40, frame->GetScreenRect().GetBottom() + 40);
    wxtest::Pump(150);
    EXPECT_TRUE(wxtest::SaveScreenshot(name));
  }

  void SendMenu(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
  }

  CMainFrame* frame = nullptr;
  std::unique_ptr<CTrailvaneDoc> document;
  std::string dir, log;
  std::filesystem::path cwd;
  std::vector<std::string> launched;
  wxUIActionSimulator sim;
};

// Counts the failures reported while it lives.
class FailureCount : public ::testing::EmptyTestEventListener {
 public:
  FailureCount() { ::testing::UnitTest::GetInstance()->listeners().Append(this); }
  ~FailureCount() override { ::testing::UnitTest::GetInstance()->listeners().Release(this); }
  void OnTestPartResult(const ::testing::TestPartResult& result) override { count += result.failed() ? 1 : 0; }
  int count = 0;
};

// One key of the table: the command it must send and what pressing it does.
struct KeyCase {
  int flags;
  int code;
  std::string key;
  int command;
  // Brings about the state, presses the key, checks the effect and undoes it;
  // returns the effect seen (for the printed table).
  std::function<std::string()> run;
};

TEST_F(KeyTableTest, EveryAcceleratorRunsItsCommandFromTheKeyboard) {
  std::vector<KeyCase> cases;
  // The case being run: its key, pressed where the menu would offer its command.
  const KeyCase* current = nullptr;
  auto pressCurrent = [&] {
    EXPECT_TRUE(EnabledNow(current->command)) << current->key << ": the command is disabled here";
    Press(current->flags, current->code);
  };

  // A Go key from a row of `from` whose flags allow the report one level down.
  struct GoKey {
    char letter;
    int command;
    int kind;
    int from;
    int rowFlags;
  };
  const GoKey goKeys[] = {
      {'P', ID_GO_PAGES, kReportPage, kReportHost, 0},
      {'T', ID_GO_HOSTS, kReportHost, kReportPage, 0},
      {'V', ID_GO_VISITORS, kReportVisitor, kReportPage, 0},
      {'H', ID_GO_PATHS, kReportPath, kReportPage, 0},
      {'A', ID_GO_ARGUMENTS, kReportArgument, kReportPage, kHitQuery},
      {'M', ID_GO_ITEMS, kReportItems, kReportPage, 0},
      {'R', ID_GO_REFERRER_PAGES, kReportReferrer, kReportPage, 0},
      {'G', ID_GO_REFERRING_SITES, kReportReferringSite, kReportPage, 0},
      {'K', ID_GO_KEYWORDS, kReportKeyword, kReportPage, kHitSearchEngine},
      {'E', ID_GO_SEARCH_ENGINES, kReportSearchEngine, kReportReferringSite, kHitSearchEngine},
      {'Y', ID_GO_TYPE_REFERRERS, kReportReferrerType, kReportPage, 0},
      {'C', ID_GO_COUNTRIES, kReportCountry, kReportPage, 0},
      {'I', ID_GO_CITIES, kReportCity, kReportPage, 0},
      {'N', ID_GO_REGIONS, kReportRegion, kReportPage, 0},
      {'O', ID_GO_OPERATING_SYSTEMS, kReportOs, kReportPage, 0},
      {'B', ID_GO_BROWSERS, kReportBrowser, kReportPage, 0},
      {'S', ID_GO_SPIDERS, kReportSpider, kReportHost, kHitRobot},
      {'D', ID_GO_BY_DAYS, kReportDate, kReportPage, 0},
      {'U', ID_GO_BY_HOURS, kReportHour, kReportPage, 0},
      {'W', ID_GO_DAYS_OF_WEEK, kReportWeekday, kReportPage, 0},
  };
  for (const GoKey& g : goKeys) {
    cases.push_back({wxACCEL_ALT, g.letter, std::string("Alt+") + g.letter, g.command, [&, g]() -> std::string {
                       ShowTop(g.from);
                       const std::string row = ChooseRowWith(g.rowFlags);
                       if (!CanDrillDown(g.kind)) {
                         ADD_FAILURE() << ColumnTerm(g.kind) << " not enabled on the row " << row;
                         return "not enabled";
                       }
                       FocusList();
                       pressCurrent();
                       if (!wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending && GetCurrentLevel() == 1; },
                                              5000))
                         return "no level opened";
                       EXPECT_EQ(GetCurrentReportType(), g.kind);
                       EXPECT_EQ(Title(frame), TitleOf({g.from, g.kind}));
                       const long items = List() ? List()->GetItemCount() - static_cast<long>(List()->leadingRows) : 0;
                       EXPECT_GT(items, 0) << "an empty report below the row " << row;
                       if (g.from == kReportPage && std::string("TDUM").find(g.letter) != std::string::npos) {
                         EXPECT_EQ(static_cast<size_t>(items), DistinctInLog(row, g.letter))
                             << "rows below " << row << " against the log";
                       }
                       if (g.letter == 'K' || g.letter == 'S')
                         Screenshot(std::string("keys_alt_") + char(g.letter + 32) + "_" +
                                    (g.letter == 'K' ? "keywords" : "spiders"));
                       const std::string seen = "from " + std::string(ColumnTerm(g.from)) + " row " + row + ": \"" +
                                                Title(frame) + "\", " + std::to_string(items) + " rows";
                       GoBackToLevel(0);
                       EXPECT_TRUE(WaitJob());
                       return seen;
                     }});
  }

  cases.push_back({wxACCEL_ALT, WXK_LEFT, "Alt+Left", ID_GO_PREVIOUS, [&]() -> std::string {
                     ShowTop(kReportPage);
                     ChooseRowWith();
                     GoToReport(kReportHost, 1);
                     EXPECT_TRUE(WaitJob());
                     EXPECT_EQ(GetCurrentLevel(), 1);
                     FocusList();
                     pressCurrent();
                     if (!wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending && GetCurrentLevel() == 0; },
                                            5000))
                       return "still at level " + std::to_string(GetCurrentLevel());
                     EXPECT_EQ(GetCurrentReportType(), kReportPage);
                     EXPECT_EQ(Title(frame), TitleOf({kReportPage}));
                     return "level 1 -> 0: \"" + Title(frame) + "\"";
                   }});
  cases.push_back({wxACCEL_ALT, WXK_RIGHT, "Alt+Right", ID_GO_NEXT, [&]() -> std::string {
                     ShowTop(kReportPage);
                     ChooseRowWith();
                     GoToReport(kReportBrowser, 1);
                     EXPECT_TRUE(WaitJob());
                     GoBackToLevel(0);
                     EXPECT_TRUE(WaitJob());
                     EXPECT_EQ(GetCurrentLevel(), 0);
                     FocusList();
                     pressCurrent();
                     if (!wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending && GetCurrentLevel() == 1; },
                                            5000))
                       return "still at level " + std::to_string(GetCurrentLevel());
                     EXPECT_EQ(GetCurrentReportType(), kReportBrowser);
                     EXPECT_EQ(Title(frame), TitleOf({kReportPage, kReportBrowser}));
                     const std::string seen = "level 0 -> 1: \"" + Title(frame) + "\"";
                     GoBackToLevel(0);
                     EXPECT_TRUE(WaitJob());
                     return seen;
                   }});

  // File
  cases.push_back({wxACCEL_CTRL, 'N', "Ctrl+N", wxID_NEW, [&]() -> std::string {
                     ShowTop(kReportPage);
                     g_workspace.SetDirty();
                     DialogScript script;
                     script.Answer(wxID_NO);
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([&] { return !script.titles.empty(); }, 3000);
                     EXPECT_TRUE(WaitJob());
                     EXPECT_EQ(script.messages, std::vector<std::string>{"Save changes to Untitled?"});
                     EXPECT_EQ(g_project.sources.Count(), 0) << "the workspace's log source is still there";
                     // Nothing of the new workspace is changed: closing would ask nothing.
                     EXPECT_FALSE(g_workspace.IsDirty());
                     EXPECT_FALSE(document->IsModified());
                     const std::string seen = "asked \"" +
                                              (script.messages.empty() ? std::string() : script.messages[0]) +
                                              "\", No: a new workspace with " +
                                              std::to_string(g_project.sources.Count()) + " log sources, unchanged";
                     ResetToFixture();
                     return seen;
                   }});
  cases.push_back({wxACCEL_CTRL, 'O', "Ctrl+O", wxID_OPEN, [&]() -> std::string {
                     ShowTop(kReportPage);
                     const std::string saved = dir + "open.tv";
                     EXPECT_TRUE(document->OnSaveDocument(saved));
                     // Another workspace on show first, made as New Workspace makes
                     // it (the report on show goes before its hits): the one opened
                     // replaces it.
                     document->OnNewDocument();
                     DialogScript script;
                     std::string dialogTitle;
                     // GTK's file dialog goes through the hook twice: the second time it shows.
                     script.Answer(wxID_NONE);
                     script.Inside([&](wxDialog* d) {
                       auto* files = dynamic_cast<wxFileDialog*>(d);
                       if (!files) {
                         ADD_FAILURE() << "not a file dialog";
                         d->EndModal(wxID_CANCEL);
                         return;
                       }
                       // GTK keeps the file dialog's title as its message.
                       dialogTitle = tv::WxToBytes(files->GetMessage());
                       EXPECT_TRUE(files->HasFlag(wxFD_OPEN));
                       files->SetPath(tv::BytesToWx(saved));
                       wxtest::Pump(200);
                       d->EndModal(wxID_OK);
                     });
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([&] { return !dialogTitle.empty(); }, 3000);
                     EXPECT_TRUE(WaitJob());
                     EXPECT_EQ(dialogTitle, "Open");
                     EXPECT_EQ(document->GetPathName(), saved);
                     EXPECT_EQ(g_project.sources.Count(), 1);
                     const std::string seen = "the \"" + dialogTitle + "\" file dialog; open.tv chosen: " +
                                              std::to_string(g_project.sources.Count()) + " log source, path " +
                                              std::filesystem::path(document->GetPathName()).filename().string();
                     ResetToFixture();
                     return seen;
                   }});
  cases.push_back({wxACCEL_CTRL, 'S', "Ctrl+S", wxID_SAVE, [&]() -> std::string {
                     ShowTop(kReportPage);
                     const std::string path = dir + "saved.tv";
                     std::remove(path.c_str());
                     document->SetPathName(path, false);
                     g_workspace.SetDirty();
                     DialogScript none;
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([&] { return std::filesystem::exists(path); }, 3000);
                     const std::string text = std::filesystem::exists(path) ? tvtest::ReadFile(path) : "";
                     EXPECT_NE(text.find("FormatVersion="), std::string::npos) << "no workspace written";
                     EXPECT_NE(text.find("keys.log"), std::string::npos) << "the log source is not in it";
                     EXPECT_FALSE(g_workspace.IsDirty());
                     return "saved.tv written, " + std::to_string(text.size()) + " bytes";
                   }});
  cases.push_back({wxACCEL_CTRL, 'P', "Ctrl+P", wxID_PRINT, [&]() -> std::string {
                     ShowTop(kReportPage);
                     DialogScript script;
                     script.Answer(wxID_CANCEL);
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([&] { return !script.titles.empty(); }, 3000);
                     EXPECT_EQ(script.titles.size(), 1u) << "no print dialog";
                     EXPECT_TRUE(script.messages.empty());
                     return "the print dialog \"" + (script.titles.empty() ? std::string() : script.titles[0]) +
                            "\" (cancelled)";
                   }});

  // Edit
  cases.push_back({wxACCEL_CTRL, 'C', "Ctrl+C", wxID_COPY, [&]() -> std::string {
                     ShowTop(kReportPage);
                     ChooseRowWith();
                     {
                       wxClipboardLocker locker;
                       wxTheClipboard->SetData(new wxTextDataObject("before"));
                     }
                     FocusList();
                     pressCurrent();
                     const std::string expected = tv::WxToBytes(tv::BytesToWx(CurrentReportText()));
                     wxtest::PumpUntil([&] { return ClipboardText() != "before"; }, 3000);
                     const std::string copied = ClipboardText();
                     EXPECT_FALSE(expected.empty());
                     EXPECT_TRUE(copied == expected) << copied.substr(0, 200);
                     return "the report as text on the clipboard, " + std::to_string(copied.size()) + " bytes";
                   }});
  cases.push_back({wxACCEL_CTRL, 'F', "Ctrl+F", ID_EDIT_FIND_IN_REPORT, [&]() -> std::string {
                     ShowTop(kReportPage);
                     ChooseRowWith();
                     g_searchText.clear();
                     DialogScript script;
                     script.Inside([](wxDialog* d) {
                       wxtest::SetText(d, CSearchDlg::ID_TEXT, "about");
                       wxtest::Click(d, wxID_OK);
                     });
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([&] { return !script.titles.empty(); }, 3000);
                     wxtest::Pump(50);
                     EXPECT_EQ(script.titles, std::vector<std::string>{"Search"});
                     CSortListCtrl* list = List();
                     const long at = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
                     const std::string found = at >= 0 ? tv::WxToBytes(list->GetItemText(at, 0)) : "";
                     EXPECT_NE(found.find("about"), std::string::npos) << found;
                     EXPECT_EQ(tv::WxToBytes(frame->GetStatusBar()->GetStatusText(0)), "Found!");
                     return "the \"Search\" dialog; \"about\" found: row " + found;
                   }});
  cases.push_back({wxACCEL_CTRL, 'G', "Ctrl+G", ID_EDIT_FIND_AGAIN, [&]() -> std::string {
                     ShowTop(kReportPage);
                     ChooseRowWith();
                     // Every page's text holds "/": each press goes one row on.
                     g_searchText = "/";
                     g_searchMatchCase = false;
                     CSortListCtrl* list = List();
                     auto selected = [list] { return list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); };
                     const long start = selected();
                     std::vector<std::string> found;
                     for (long i = 1; i <= 2; ++i) {
                       const long before = selected();
                       FocusList();
                       pressCurrent();
                       wxtest::PumpUntil([&] { return selected() != before; }, 3000);
                       EXPECT_EQ(selected(), start + i) << "Find Again did not go on to the next row";
                       found.push_back(selected() >= 0 ? tv::WxToBytes(list->GetItemText(selected(), 0)) : "");
                     }
                     return "\"/\" found on the next rows: " + found[0] + ", then " + found[1];
                   }});

  // View
  cases.push_back({wxACCEL_CTRL, 'T', "Ctrl+T", ID_VIEW_CHART_TABLE, [&]() -> std::string {
                     ShowTop(kReportBrowser);
                     FocusList();
                     pressCurrent();
                     EXPECT_TRUE(wxtest::PumpUntil([] { return g_nav.chartMode != 0; }, 3000)) << "no chart";
                     EXPECT_EQ(CurrentPaneSlot(), FirstPaneSlot(kPaneChart));
                     Screenshot("keys_ctrl_t_chart");
                     const bool chart = g_nav.chartMode != 0;
                     pressCurrent();
                     EXPECT_TRUE(wxtest::PumpUntil([] { return g_nav.chartMode == 0; }, 3000)) << "no table";
                     EXPECT_EQ(CurrentPaneSlot(), g_nav.levelPane[0]);
                     return std::string(chart ? "the chart" : "no chart") + ", pressed again " +
                            (g_nav.chartMode == 0 ? "the table" : "still the chart");
                   }});
  cases.push_back({wxACCEL_CTRL, '3', "Ctrl+3", ID_VIEW_CHART_FRAME, [&]() -> std::string {
                     ShowTop(kReportDate);
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([&] { return frame->SubreportShown(); }, 3000);
                     EXPECT_TRUE(WaitJob());
                     EXPECT_TRUE(frame->SubreportShown());
                     EXPECT_TRUE(frame->AuxFrame()->ChartFrameInUse());
                     EXPECT_TRUE(frame->AuxFrame()->ChartFramePane()->IsShown());
                     const std::string seen = frame->AuxFrame()->ChartFrameInUse()
                                                  ? "the chart frame below the By Days table"
                                                  : "no chart frame";
                     frame->ShowSubreportPane(0);
                     return seen;
                   }});
  auto subreport = [&](int mode) -> std::string {
    ShowTop(kReportPage);
    ChooseRowWith();
    FocusList();
    pressCurrent();
    wxtest::PumpUntil([&] { return frame->SubreportShown(); }, 3000);
    EXPECT_TRUE(WaitJob());
    CAuxFrame* aux = frame->AuxFrame();
    EXPECT_TRUE(frame->SubreportShown());
    EXPECT_EQ(aux->DisplayMode(), mode);
    EXPECT_GT(aux->Tabs()->GetPageCount(), 0u);
    if (mode == CAuxFrame::kTableMode) EXPECT_TRUE(aux->ListPane()->IsShown());
    else EXPECT_TRUE(aux->SubreportChart()->IsShown());
    const std::string seen = std::string("the subreport frame as ") + (mode == CAuxFrame::kTableMode ? "table" : "chart") +
                             ", " + std::to_string(aux->Tabs()->GetPageCount()) + " tabs";
    frame->ShowSubreportPane(0);
    return seen;
  };
  cases.push_back({wxACCEL_CTRL, '1', "Ctrl+1", ID_VIEW_SUBREPORT_TABLE, [&] { return subreport(CAuxFrame::kTableMode); }});
  cases.push_back({wxACCEL_CTRL, '2', "Ctrl+2", ID_VIEW_SUBREPORT_CHART, [&] { return subreport(CAuxFrame::kChartMode); }});
  cases.push_back({wxACCEL_CTRL, '0', "Ctrl+0", ID_VIEW_CLOSE_SUBREPORT, [&]() -> std::string {
                     ShowTop(kReportPage);
                     ChooseRowWith();
                     SendMenu(ID_VIEW_SUBREPORT_TABLE);
                     EXPECT_TRUE(WaitJob());
                     EXPECT_TRUE(frame->SubreportShown());
                     FocusList();
                     pressCurrent();
                     EXPECT_TRUE(wxtest::PumpUntil([&] { return !frame->SubreportShown(); }, 3000));
                     EXPECT_FALSE(frame->InnerSplitter()->IsPaneVisible(1, 0));
                     return frame->SubreportShown() ? "the subreport frame stays" : "the subreport frame closed";
                   }});

  // Report
  cases.push_back({0, WXK_F5, "F5", ID_REPORT_RELOAD, [&]() -> std::string {
                     ShowTop(kReportPage);
                     const uint32_t before = GetCurrentQueryState().totals.hits;
                     // One more line in the log: only a new reading counts it.
                     tvtest::WriteFile(log, std::string(kLog) + kMoreLine);
                     FocusList();
                     pressCurrent();
                     wxtest::PumpUntil([] { return IsWorkerBusy() || g_runPending; }, 2000);
                     EXPECT_TRUE(WaitJob());
                     const uint32_t after = GetCurrentQueryState().totals.hits;
                     EXPECT_EQ(after, before + 1);
                     EXPECT_EQ(GetCurrentReportType(), kReportPage);
                     tvtest::WriteFile(log, kLog);
                     return "the logs read again: " + std::to_string(before) + " -> " + std::to_string(after) + " hits";
                   }});
  auto dialogKey = [&](const char* title, const char* shot) -> std::string {
    ShowTop(kReportPage);
    DialogScript script;
    script.Inside([shot](wxDialog* d) {
      wxtest::Pump(150);
      if (shot) {
        EXPECT_TRUE(wxtest::SaveScreenshot(shot));
      }
      d->EndModal(wxID_CANCEL);
    });
    FocusList();
    pressCurrent();
    wxtest::PumpUntil([&] { return !script.titles.empty(); }, 3000);
    wxtest::Pump(50);
    EXPECT_EQ(script.titles, std::vector<std::string>{title});
    EXPECT_FALSE(IsWorkerBusy()) << "Cancel started a job";
    return "the \"" + (script.titles.empty() ? std::string() : script.titles[0]) + "\" dialog (cancelled)";
  };
  cases.push_back({wxACCEL_CTRL, 'L', "Ctrl+L", ID_REPORT_HOST_LOOKUP, [&] { return dialogKey("Host Lookup", nullptr); }});
  cases.push_back({wxACCEL_CTRL, 'H', "Ctrl+H", ID_REPORT_FILTER_HISTORY,
                   [&] { return dialogKey("Filter History", nullptr); }});
  cases.push_back({0, WXK_F4, "F4", ID_REPORT_ENVIRONMENT_FILTERS,
                   [&] { return dialogKey("Environment filters", "keys_f4_environment_filters"); }});

  // Help
  cases.push_back({0, WXK_F1, "F1", ID_HELP_INDEX, [&]() -> std::string {
                     ShowTop(kReportPage);
                     EXPECT_TRUE(wxCopyFile(TV_HELP_BOOK, tv::BytesToWx(HelpBookPath())));
                     DialogScript none;
                     FocusList();
                     pressCurrent();
                     EXPECT_TRUE(wxtest::PumpUntil([] { return EndsWith(OpenedHelpPage(), kHelpStart); }, 5000))
                         << OpenedHelpPage();
                     const std::string page = OpenedHelpPage();
                     if (wxFrame* help = HelpWindow()) help->Close(true);
                     wxtest::Pump(100);
                     return "the help window at " + page.substr(page.find_last_of(":/") + 1);
                   }});

  // Every key of the window's table has its case, and every case its key.
  const std::vector<wxAcceleratorEntry> keys = CIconMenu::WindowAcceleratorEntries();
  std::vector<bool> used(cases.size(), false);
  for (const wxAcceleratorEntry& key : keys) {
    bool found = false;
    for (size_t i = 0; i < cases.size(); ++i) {
      if (cases[i].flags != key.GetFlags() || cases[i].code != key.GetKeyCode()) continue;
      found = used[i] = true;
      EXPECT_EQ(key.GetCommand(), cases[i].command) << cases[i].key << " sends another command";
    }
    EXPECT_TRUE(found) << "no test for the key " << tv::WxToBytes(key.ToString()) << " ("
                       << CommandName(key.GetCommand()) << ")";
  }
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_TRUE(used[i]) << cases[i].key << " is not in the table";

  FailureCount failures;
  for (const KeyCase& k : cases) {
    SCOPED_TRACE(k.key);
    current = &k;
    const int before = failures.count;
    const std::string seen = k.run();
    const bool ok = failures.count == before;
    std::printf("[key] %-9s %-28s %s%s\n", k.key.c_str(), CommandName(k.command).c_str(), ok ? "" : "FAILED: ",
                seen.c_str());
    std::fflush(stdout);
  }
}

// Export All Logs has no key: the Report menu opened and walked with keys
// (Alt+R is the Referrer Pages key, so the menu bar opens at File), to a file
// that cannot be made.
TEST_F(KeyTableTest, ExportAllLogsThroughTheMenuFromTheKeyboard) {
  ShowTop(kReportPage);
  CMainFrame::ExportPathChooser() = [](wxWindow*, const wxString& extension) {
    EXPECT_EQ(extension, "csv");
    return wxString("/proc/x.csv");
  };
  wxMenu* opened = nullptr;
  int highlighted = wxID_NONE;
  frame->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& e) {
    opened = e.GetMenu();
    e.Skip();
  });
  frame->Bind(wxEVT_MENU_HIGHLIGHT, [&](wxMenuEvent& e) {
    highlighted = e.GetMenuId();
    e.Skip();
  });
  wxMenuBar* bar = frame->GetMenuBar();
  ASSERT_NE(bar, nullptr);
  const int reportMenu = bar->FindMenu("Report");
  ASSERT_NE(reportMenu, wxNOT_FOUND);
  DialogScript script;
  script.Answer(wxID_OK);
  FocusList();
  Press(wxACCEL_ALT, 'F');
  ASSERT_TRUE(wxtest::PumpUntil([&] { return opened == bar->GetMenu(0); }, 3000)) << "Alt+F opened no File menu";
  for (int i = 0; i < reportMenu && opened != bar->GetMenu(static_cast<size_t>(reportMenu)); ++i) {
    Press(0, WXK_RIGHT);
    wxtest::PumpUntil([&] { return opened == bar->GetMenu(static_cast<size_t>(i + 1)); }, 2000);
  }
  ASSERT_EQ(opened, bar->GetMenu(static_cast<size_t>(reportMenu))) << "the Report menu did not open";
  for (int i = 0; i < 12 && highlighted != ID_REPORT_EXPORT_ALL_CSV; ++i) {
    const int before = highlighted;
    Press(0, WXK_DOWN);
    wxtest::PumpUntil([&] { return highlighted != before; }, 1000);
  }
  ASSERT_EQ(highlighted, ID_REPORT_EXPORT_ALL_CSV) << "the item was never reached";
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("keys_menu_export_all"));
  Press(0, WXK_RETURN);
  EXPECT_TRUE(wxtest::PumpUntil([&] { return !script.messages.empty(); }, 3000)) << "nothing said";
  EXPECT_EQ(script.messages, std::vector<std::string>{"Cannot create the file '/proc/x.csv'."});
  EXPECT_FALSE(IsWorkerBusy()) << "the export ran for a file it cannot write";
  EXPECT_FALSE(std::filesystem::exists("/proc/x.csv"));
  std::printf("[key] %-9s %-28s %s\n", "Alt+F...", CommandName(ID_REPORT_EXPORT_ALL_CSV).c_str(),
              ("Alt+F, Right to Report, Down to the item, Return: \"" +
               (script.messages.empty() ? std::string() : script.messages[0]) + "\"")
                  .c_str());
}

}  // namespace
