// The menu commands of the whole program over the fixture workspace, menu by
// menu: each command sent as a menu event has its effect (a dialog that
// Cancel closes without a change, a report, a file, the clipboard, the help
// window, the launcher), and commands the current state does not allow are
// disabled. Then a picture of the window with each menu open.
#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/filefn.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/msgsink.h"
#include "engine/analysis/analysis.h"
#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "output/csvexport.h"
#include "output/textexport.h"
#include "platform/launcher.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "tests/app/appsession.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/listpick.h"
#include "tests/ui/wxtest.h"
#include "ui/app/application.h"
#include "ui/app/commands.h"
#include "ui/app/document.h"
#include "ui/app/exportalllogs.h"
#include "ui/app/helpviewer.h"
#include "ui/app/mainwindow.h"
#include "ui/core/helppages.h"
#include "ui/core/navigationstate.h"
#include "ui/core/uistate.h"
#include "ui/dialogs/about.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/dialogs/textprompt.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportpanes.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

namespace {

using wxtest::DialogScript;

bool WaitJob() { return wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending; }, 30000); }

// The tables the About box counts and the help book, from the build's data folder.
const char* const kShippedFiles[] = {"se.dat", "robot.dat", kHelpBookName};

// A picture of the screen cut to one window (and what lies over it).
void SaveShotOf(const std::string& name, const wxRect& rect) {
  EXPECT_TRUE(wxtest::SaveScreenshot(name));
  const std::string path = std::string(TV_UI_SCREENSHOT_DIR) + "/" + name + ".png";
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage shot(tv::BytesToWx(path), wxBITMAP_TYPE_PNG);
  if (!shot.IsOk()) return;
  const wxRect r = rect.Intersect(wxRect(0, 0, shot.GetWidth(), shot.GetHeight()));
  if (!r.IsEmpty()) shot.GetSubImage(r).SaveFile(tv::BytesToWx(path), wxBITMAP_TYPE_PNG);
}

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tv::SetLauncher([this](const std::string& target) {
      launched.push_back(target);
      return true;
    });
    CTrailvaneDoc::DocDialogs().message = [this](const wxString& text, long) {
      messages.push_back(tv::WxToBytes(text));
      return wxOK;
    };
    CMainFrame::FrameMessage() = [this](const wxString& text, long) {
      messages.push_back(tv::WxToBytes(text));
      return wxOK;
    };
    std::remove(tv::ProfilePath().c_str());
    tvtest::WriteFile(BugLogPath(), "Trailvane\n#SYS normal shutdown.#\n");
    for (const char* name : kShippedFiles)
      ASSERT_TRUE(wxCopyFile(tv::BytesToWx(std::string(TV_DATA_DIR) + "/" + name),
                             tv::BytesToWx(tvtest::Home() + name)));

    workspace = appsession::CopyFixtureWorkspace("commands");
    ASSERT_TRUE(appsession::Start(workspace, wxSize(1000, 700), &started));
  }

  void TearDown() override {
    if (started) appsession::Close();
    if (wxFrame* help = HelpWindow()) help->Close();
    for (const char* name : kShippedFiles) std::remove((tvtest::Home() + name).c_str());
    CTrailvaneDoc::DocDialogs() = {};
    CMainFrame::ExportPathChooser() = nullptr;
    CMainFrame::FrameMessage() = nullptr;
    tv::SetLauncher(nullptr);
    tv::SetAsyncLauncher(nullptr);
  }

  static void Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(MainFrame());
    MainFrame()->GetEventHandler()->ProcessEvent(event);
  }
  // What the menu would show for the command now.
  static bool Enabled(int id) {
    wxUpdateUIEvent event(id);
    event.SetEventObject(MainFrame());
    MainFrame()->GetEventHandler()->ProcessEvent(event);
    return !event.GetSetEnabled() || event.GetEnabled();
  }
  static void ExpectDisabled(std::initializer_list<int> ids, const char* state) {
    for (int id : ids) EXPECT_FALSE(Enabled(id)) << "command " << id << " enabled " << state;
  }

  static CSortListCtrl* List() { return ListPane(CurrentPaneSlot())->reportList; }
  static void Show(int kind) {
    SwitchTopReport(kind);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(GetCurrentReportType(), kind);
    ASSERT_GT(List()->GetItemCount(), 1);
  }
  static void ChooseRow(long item) {
    CSortListCtrl* list = List();
    item += static_cast<long>(list->leadingRows);
    ASSERT_TRUE(wxtest::ChooseListRow(list, item));
  }
  static std::string ClipboardText() {
    wxClipboardLocker locker;
    if (!locker || !wxTheClipboard->IsSupported(wxDF_UNICODETEXT)) return "<no text>";
    wxTextDataObject data;
    if (!wxTheClipboard->GetData(data)) return "<no data>";
    return tv::WxToBytes(data.GetText());
  }

  bool started = false;
  std::string workspace;
  std::vector<std::string> messages, launched;
};

TEST_F(CommandsTest, FileMenuPrintsOnlyAShownReport) {
  // The workspace is open and nothing runs.
  EXPECT_EQ(MainFrame()->GetStatusBar()->GetStatusText(0), "Ready");
  // Nothing shown yet: the report commands are off and Print opens nothing.
  ExpectDisabled({wxID_PRINT, ID_REPORT_EXPORT_TEXT, ID_REPORT_EXPORT_CSV, ID_REPORT_RELOAD,
                  ID_REPORT_EXPORT_ALL_CSV, wxID_COPY},
                 "before a report");
  {
    DialogScript script;
    Command(wxID_PRINT);
    EXPECT_TRUE(script.titles.empty());
  }
  {
    DialogScript script;
    script.Answer(wxID_CANCEL);
    Command(wxID_PRINT_SETUP);
    EXPECT_EQ(script.titles.size(), 1u);
  }
  Show(kReportPage);
  EXPECT_TRUE(Enabled(wxID_PRINT));
  {
    DialogScript script;
    script.Answer(wxID_CANCEL);
    Command(wxID_PRINT);
    EXPECT_EQ(script.titles.size(), 1u) << "the print dialog";
  }
  EXPECT_TRUE(messages.empty()) << messages[0];
}

TEST_F(CommandsTest, EditMenuCopiesTheReportAsTheTextExportWritesIt) {
  // A page named in Windows-1252, as old servers log it.
  const std::string log = tvtest::Home() + "commands/sample-w3c.log";
  const std::string line =
      "2024-03-01 00:07:04 W3SVC1 192.168.0.10 GET /caf\xe9.html - 80 - 10.1.2.3 HTTP/1.1 Mozilla/5.0 - - 200 0 0 "
      "100 50 10\n";
  tvtest::WriteFile(log, tvtest::ReadFile(log) + line + line);
  Show(kReportHost);
  ExpectDisabled({wxID_COPY}, "without a chosen row");
  // A host comment with letters outside ASCII, shown in the hosts report.
  ChooseRow(0);
  char host[kUrlTextSize];
  FormatHostText(host, sizeof host, g_uiQuery.levels[0].Record(), false, false);
  {
    DialogScript script;
    script.Inside([&](wxDialog* d) {
      EXPECT_EQ(wxtest::Text(d, CPromptDlg::ID_ANSWER), host) << "no comment yet: the host";
      wxtest::SetText(d, CPromptDlg::ID_ANSWER, "Zoë’s café");
      wxtest::Click(d, wxID_OK);
    });
    Command(ID_HOST_COMMENT);
  }
  ASSERT_NE(g_project.host_comments.Find(host), nullptr);
  EXPECT_STREQ(g_project.host_comments.Find(host), "Zoë’s café");
  EXPECT_TRUE(g_workspace.IsDirty());
  {
    // Asked again: the comment is offered; Cancel keeps it.
    DialogScript script;
    script.Inside([&](wxDialog* d) {
      EXPECT_EQ(wxtest::Text(d, CPromptDlg::ID_ANSWER), "Zoë’s café");
      wxtest::SetText(d, CPromptDlg::ID_ANSWER, "other");
      wxtest::Click(d, wxID_CANCEL);
    });
    Command(ID_HOST_COMMENT);
  }
  EXPECT_STREQ(g_project.host_comments.Find(host), "Zoë’s café");

  // Sorted by another column: Copy keeps the list's order, as the text export does.
  List()->SetSortColumn(0, true);
  const std::string exported = tvtest::Home() + "commands/hosts.txt";
  CMainFrame::ExportPathChooser() = [&](wxWindow*, const wxString&) { return tv::BytesToWx(exported); };
  Command(ID_REPORT_EXPORT_TEXT);
  const std::string file = tvtest::ReadFile(exported);
  ASSERT_NE(file.find("Zoë’s café"), std::string::npos);
  ASSERT_TRUE(Enabled(wxID_COPY));
  Command(wxID_COPY);
  EXPECT_TRUE(messages.empty()) << messages[0];
  const std::string copied = ClipboardText();
  EXPECT_TRUE(copied == file) << copied.substr(0, 300) << "\n---\n" << file.substr(0, 300);
  EXPECT_EQ(copied, CurrentReportText());

  // The other program reads Unicode: the page's byte is the letter it stands for.
  Show(kReportPage);
  ChooseRow(0);
  Command(wxID_COPY);
  const std::string pages = ClipboardText();
  EXPECT_NE(pages.find("/caf\xc3\xa9.html"), std::string::npos) << pages.substr(0, 600);
  EXPECT_EQ(pages, tv::WxToBytes(tv::BytesToWx(CurrentReportText())));

  // Find: the Search dialog, Cancel searches nothing; Find Again without a text only beeps.
  {
    DialogScript script;
    script.Answer(wxID_CANCEL);
    Command(ID_EDIT_FIND_IN_REPORT);
    EXPECT_EQ(script.titles, std::vector<std::string>{"Search"});
    Command(ID_EDIT_FIND_AGAIN);
  }
  // The log files report has no Find.
  SwitchTopReport(kReportSummary);
  ASSERT_TRUE(WaitJob());
  ExpectDisabled({ID_EDIT_FIND_IN_REPORT, ID_EDIT_FIND_AGAIN, ID_VIEW_CUSTOMIZE_COLUMN}, "on the summary");
  DialogScript none;
  Command(ID_EDIT_FIND_IN_REPORT);
}

TEST_F(CommandsTest, ViewMenuDialogsChangeNothingOnCancel) {
  Show(kReportPage);
  const char* before = g_workspace.GetColumnsCfg(kReportPage);
  const std::string columns = before ? before : "";
  const SettingsBlock settings = g_settings;
  {
    DialogScript script;
    script.Answer(wxID_CANCEL);
    script.Answer(wxID_CANCEL);
    Command(ID_VIEW_CUSTOMIZE_COLUMN);
    Command(ID_VIEW_OPTIONS);
    EXPECT_EQ(script.titles, (std::vector<std::string>{"Customize Column", "Options"}));
  }
  EXPECT_FALSE(IsWorkerBusy()) << "Cancel started a run";
  const char* after = g_workspace.GetColumnsCfg(kReportPage);
  EXPECT_EQ(after ? after : "", columns);
  EXPECT_EQ(memcmp(&settings, &g_settings, sizeof settings), 0);
  {
    // OK in Options: the settings file is written and the report made again.
    const std::string config = tvtest::Home() + "Trailvane.cfg";
    std::remove(config.c_str());
    DialogScript script;
    script.Answer(wxID_OK);
    Command(ID_VIEW_OPTIONS);
    EXPECT_TRUE(IsWorkerBusy());
    ASSERT_TRUE(WaitJob());
    EXPECT_TRUE(std::filesystem::exists(config));
    EXPECT_EQ(GetCurrentReportType(), kReportPage);
  }

  // OK in Customize Column: the workspace keeps the new column and the report shows it.
  const int columnsBefore = List()->columnCount;
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      wxtest::Click(d, CCustomizeColumnDlg::ID_ADD);
      wxtest::Click(d, wxID_OK);
    });
    script.Inside([](wxDialog* d) {
      wxtest::SelectLine(d, CChooseColumnDlg::ID_LIST, 0);
      wxtest::Click(d, wxID_OK);
    });
    Command(ID_VIEW_CUSTOMIZE_COLUMN);
  }
  ASSERT_TRUE(WaitJob());
  ASSERT_NE(g_workspace.GetColumnsCfg(kReportPage), nullptr);
  EXPECT_NE(std::string(g_workspace.GetColumnsCfg(kReportPage)), columns);
  EXPECT_EQ(List()->columnCount, columnsBefore + 1);
}

TEST_F(CommandsTest, ReportMenuDialogsReloadAndExportOfAllHits) {
  ExpectDisabled({ID_REPORT_RELOAD, ID_REPORT_EXPORT_ALL_CSV}, "before a report");
  // A log long enough for the export of its hits to be stopped halfway.
  const std::string log = tvtest::Home() + "commands/sample-w3c.log";
  const std::string sample = tvtest::ReadFile(log);
  std::string big;
  for (int i = 0; i < 100; ++i) big += sample;
  tvtest::WriteFile(log, big);
  Show(kReportPage);
  ASSERT_GT(g_logFileReport.Count(), 0);
  {
    DialogScript script;
    for (int i = 0; i < 7; ++i) script.Answer(wxID_CANCEL);
    for (int id : {ID_REPORT_HOST_LOOKUP, ID_REPORT_FILTER_HISTORY, ID_REPORT_ENVIRONMENT_FILTERS,
                   ID_REPORT_CONFIRM_SPIDERS, ID_REPORT_LOG_FILE_REPORT, ID_REPORT_UPDATE_DATABASES,
                   ID_REPORT_WORKSPACE_SETTINGS}) {
      Command(id);
      EXPECT_FALSE(IsWorkerBusy()) << "Cancel of command " << id << " started a job";
    }
    EXPECT_EQ(script.titles,
              (std::vector<std::string>{"Host Lookup", "Filter History", "Environment filters",
                                        "Confirmation new spiders", "Log file report", "Update",
                                        "Workspace settings"}));
  }
  EXPECT_FALSE(g_workspace.IsDirty());

  // OK in the filters and in the proxy dialog: the report runs again, the update asks
  // for its list (here without a server, so it says so).
  unsetenv("TRAILVANE_UPDATE_SERVER");
  for (int id : {ID_REPORT_ENVIRONMENT_FILTERS, ID_REPORT_UPDATE_DATABASES}) {
    DialogScript script;
    script.Answer(wxID_OK);
    if (id == ID_REPORT_UPDATE_DATABASES) script.Answer(wxID_OK);
    Command(id);
    EXPECT_TRUE(IsWorkerBusy()) << "no job after OK in command " << id;
    ASSERT_TRUE(WaitJob());
    if (id == ID_REPORT_UPDATE_DATABASES) {
      EXPECT_EQ(script.messages, std::vector<std::string>{
                                     "No update server is set (TRAILVANE_UPDATE_SERVER or update_server.txt in the "
                                     "data folder)."});
    }
  }
  EXPECT_EQ(GetCurrentReportType(), kReportPage);
  EXPECT_NE(MainFrame()->GetStatusBar()->GetStatusText(0).Find("No update server is set"), wxNOT_FOUND)
      << MainFrame()->GetStatusBar()->GetStatusText(0);

  // Reload reads the logs again and shows the same report.
  const long items = List()->GetItemCount();
  Command(ID_REPORT_RELOAD);
  EXPECT_TRUE(IsWorkerBusy());
  ExpectDisabled({ID_REPORT_RELOAD, ID_REPORT_EXPORT_ALL_CSV, ID_VIEW_OPTIONS, ID_REPORT_WORKSPACE_SETTINGS},
                 "while it runs");
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentReportType(), kReportPage);
  EXPECT_EQ(List()->GetItemCount(), items);

  // All hits: the save dialog proposes a CSV file; cancelled, nothing runs.
  std::string proposed;
  std::string path;
  CMainFrame::ExportPathChooser() = [&](wxWindow*, const wxString& extension) {
    proposed = tv::WxToBytes(extension);
    return tv::BytesToWx(path);
  };
  Command(ID_REPORT_EXPORT_ALL_CSV);
  EXPECT_EQ(proposed, "csv");
  EXPECT_FALSE(IsWorkerBusy());
  // A file that cannot be made is said at once, as the other exports say it,
  // and nothing is analysed.
  path = "/proc/x.csv";
  messages.clear();
  Command(ID_REPORT_EXPORT_ALL_CSV);
  EXPECT_FALSE(IsWorkerBusy()) << "the export ran for a file it cannot write";
  EXPECT_EQ(messages, std::vector<std::string>{"Cannot create the file '/proc/x.csv'."});
  EXPECT_NE(MainFrame()->GetStatusBar()->GetStatusText(0), "Export successful");
  path = tvtest::Home() + "commands/all.csv";
  Command(ID_REPORT_EXPORT_ALL_CSV);
  EXPECT_TRUE(IsWorkerBusy()) << "written by a job";
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(LastExportAllResult(), 1);
  const std::string engine = tvtest::Home() + "commands/engine.csv";
  ASSERT_EQ(ExportAllHitsToCsv(engine.c_str(), g_project), 1);
  EXPECT_FALSE(tvtest::ReadFile(path).empty());
  EXPECT_TRUE(tvtest::ReadFile(path) == tvtest::ReadFile(engine));
  EXPECT_EQ(MainFrame()->GetStatusBar()->GetStatusText(0), "Export successful");

  // Stopped while it writes: no file, and the status says so.
  std::remove(path.c_str());
  Command(ID_REPORT_EXPORT_ALL_CSV);
  auto partFile = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(tvtest::Home() + "commands"))
      if (entry.path().filename().string().find("all.csv.part") == 0) return true;
    return false;
  };
  ASSERT_TRUE(wxtest::PumpUntil(partFile, 20000));
  RequestStop();
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(LastExportAllResult(), 2);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(wxtest::PumpUntil([] {
    return MainFrame()->GetStatusBar()->GetStatusText(0) == "Export stopped: no file was written";
  }, 2000)) << MainFrame()->GetStatusBar()->GetStatusText(0);
}

TEST_F(CommandsTest, GoMenuOpensTheRowAndItsSubreports) {
  Show(kReportPage);
  ExpectDisabled({ID_GO_PREVIOUS, ID_GO_NEXT, ID_GO_OPEN_IN_BROWSER, ID_GO_WHOIS, ID_HOST_COMMENT, ID_GO_HOSTS},
                 "on pages without a row");
  Command(ID_GO_OPEN_IN_BROWSER);
  Command(ID_GO_WHOIS);
  EXPECT_TRUE(launched.empty());

  ChooseRow(0);
  ExpectDisabled({ID_GO_WHOIS, ID_HOST_COMMENT, ID_GO_PAGES}, "on a page row");
  ASSERT_TRUE(Enabled(ID_GO_OPEN_IN_BROWSER));
  Command(ID_GO_OPEN_IN_BROWSER);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0].rfind("http://www.example.com/", 0), 0u) << launched[0];
  CSortListCtrl* list = List();
  EXPECT_TRUE(list->RowOfItem(list->SelectionMark())->Flags() & kRowVisited);

  // The child pages without a site address: said, and shown all the same.
  char* url = g_project.url;
  char empty[] = "";
  g_project.url = empty;
  Command(ID_GO_CHILD_PAGES);
  g_project.url = url;
  EXPECT_EQ(messages, std::vector<std::string>{"Please enter a valid URL (workspase settings)"});
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 1);
  EXPECT_EQ(GetCurrentReportType(), kReportChildPages);
  Command(ID_GO_PREVIOUS);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 0);

  // A Go command to the hosts of the page, then Whois of a host.
  ChooseRow(0);
  Command(ID_GO_HOSTS);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentReportType(), kReportHost);
  ASSERT_EQ(GetCurrentLevel(), 1);
  ChooseRow(0);
  ASSERT_TRUE(Enabled(ID_GO_WHOIS));
  Command(ID_GO_WHOIS);
  ASSERT_EQ(launched.size(), 2u);
  EXPECT_EQ(launched[1].rfind("https://www.whois.com/whois/", 0), 0u) << launched[1];
  EXPECT_GT(launched[1].size(), std::string("https://www.whois.com/whois/").size());
}

// Every command that hands a page or a mail to the desktop says so when the
// desktop could not open it, and only then; the answer comes from the
// launcher's own thread.
TEST_F(CommandsTest, OpenersSayWhenTheDesktopCouldNotOpen) {
  bool works = false;
  std::vector<std::thread> answering;
  tv::SetLauncher(nullptr);
  tv::SetAsyncLauncher([&](const std::string& target, tv::LaunchDone done) {
    launched.push_back(target);
    answering.emplace_back([done, works] { done(works ? tv::kLaunchOpened : tv::kLaunchNoHandler); });
  });
  struct Case {
    const char* name;
    int kind;  // the report shown, 0 for none
    int command;
  } cases[] = {{"open page in browser", kReportPage, ID_GO_OPEN_IN_BROWSER},
               {"whois", kReportHost, ID_GO_WHOIS},
               {"send via e-mail", kReportPage, ID_REPORT_SEND_MAIL},
               {"bug report", 0, ID_HELP_BUG_REPORT}};
  const std::string failed = "Can't open link:\n\nThere is no application associated\nwith the given filename extension.";
  for (const Case& c : cases) {
    if (c.kind) {
      Show(c.kind);
      ChooseRow(0);
    }
    for (bool opens : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (opens ? ", opens" : ", fails"));
      works = opens;
      messages.clear();
      launched.clear();
      tvtest::WriteFile(BugLogPath(), "Trailvane\nsomething to report\n");
      ASSERT_TRUE(Enabled(c.command));
      Command(c.command);
      ASSERT_EQ(launched.size(), 1u);
      wxtest::PumpUntil([&] { return !messages.empty(); }, opens ? 300 : 3000);
      EXPECT_EQ(messages, opens ? std::vector<std::string>{} : std::vector<std::string>{failed});
    }
  }
  for (std::thread& t : answering) t.join();
  tv::SetAsyncLauncher(nullptr);
}

TEST_F(CommandsTest, HelpMenuOpensTheBookAndTheBugReport) {
  auto opened = [] {
    auto* frame = dynamic_cast<wxHtmlHelpFrame*>(HelpWindow());
    if (!frame || !frame->IsShown() || !frame->GetHelpWindow()) return std::string();
    wxHtmlWindow* html = frame->GetHelpWindow()->GetHtmlWindow();
    return html ? tv::WxToBytes(html->GetOpenedPage()) : std::string();
  };
  auto endsWith = [](const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
  };
  const std::pair<int, const char*> pages[] = {
      {ID_HELP_INDEX, kHelpStart}, {ID_HELP_LOG_FORMATS, kHelpLogFormats}, {ID_HELP_SUPPORT, kHelpSupport}};
  for (const auto& [id, page] : pages) {
    Command(id);
    EXPECT_TRUE(wxtest::PumpUntil([&] { return endsWith(opened(), page); })) << opened() << " for " << page;
  }
  EXPECT_TRUE(messages.empty()) << messages[0];
  EXPECT_TRUE(launched.empty()) << "Support is the book's page, no address";

  // The bug report: the unsent mail with the log, handed to the launcher.
  tvtest::WriteFile(BugLogPath(), "Trailvane\nsomething to report\n");
  Command(ID_HELP_BUG_REPORT);
  ASSERT_EQ(launched.size(), 1u);
  const std::string mail = tvtest::ReadFile(launched[0]);
  EXPECT_NE(mail.find("=[Trailvane 3.02 (build 0299)]= Bug Report!"), std::string::npos) << mail;
  EXPECT_NE(mail.find("something to report"), std::string::npos) << mail;
  // No log to send: nothing opens.
  std::remove(BugLogPath().c_str());
  Command(ID_HELP_BUG_REPORT);
  EXPECT_EQ(launched.size(), 1u);

  // About counts the loaded tables.
  HelpWindow()->Close();
  ASSERT_GT(g_auxDatabases.searchEngines.size(), 0u);
  ASSERT_GT(g_auxDatabases.robots.size(), 0u);
  const std::string line = "Supports - " + std::to_string(g_auxDatabases.searchEngines.size()) +
                           " search engines, " + std::to_string(g_auxDatabases.robots.size()) + " spiders/robots";
  DialogScript script;
  script.Inside([&](wxDialog* d) {
    auto* about = dynamic_cast<CAboutDlg*>(d);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(tv::WxToBytes(about->SupportsLine()->GetLabel()), line);
    SaveShotOf("commands_about", d->GetScreenRect());
    d->EndModal(wxID_OK);
  });
  Command(wxID_ABOUT);
}

TEST_F(CommandsTest, EachMenuOpensOnTheMenuBar) {
  Show(kReportPage);
  ChooseRow(0);
  wxFrame* frame = MainFrame();
  frame->SetSize(0, 0, 1000, 800);  // room for the longest menu
  int opened = 0, closed = 0;
  wxMenu* last = nullptr;
  frame->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& e) {
    ++opened;
    last = e.GetMenu();
    e.Skip();
  });
  frame->Bind(wxEVT_MENU_CLOSE, [&](wxMenuEvent& e) {
    ++closed;
    e.Skip();
  });
  frame->Raise();
  frame->SetFocus();
  wxtest::Pump(200);
  wxMenuBar* bar = frame->GetMenuBar();
  ASSERT_EQ(bar->GetMenuCount(), 6u);
  const char* names[] = {"file", "edit", "view", "report", "go", "help"};
  wxUIActionSimulator sim;
  // Clicks at x on the bar; the menu that opened, or null.
  auto clickAt = [&](int x) -> wxMenu* {
    const int before = opened;
    sim.MouseMove(bar->ClientToScreen(wxPoint(x, bar->GetSize().y / 2)));
    wxtest::Pump(30);
    sim.MouseClick();
    if (!wxtest::PumpUntil([&] { return opened > before; }, 2000)) return nullptr;
    return last;
  };
  auto closeMenu = [&] {
    const int before = closed;
    sim.Char(WXK_ESCAPE);
    wxtest::PumpUntil([&] { return closed > before; }, 2000);
    wxtest::Pump(50);
  };
  auto indexOf = [&](wxMenu* menu) {
    for (size_t j = 0; j < bar->GetMenuCount(); ++j)
      if (bar->GetMenu(j) == menu) return static_cast<int>(j);
    return -1;
  };
  int x = 10;
  for (int i = 0; i < 6; ++i) {
    // The titles sit side by side: step right from the last one until this one opens.
    wxMenu* menu = nullptr;
    for (int tries = 0; tries < 12; ++tries) {
      menu = clickAt(x);
      const int at = indexOf(menu);
      if (at == i) break;
      if (menu) closeMenu();
      x += at > i ? -6 : 12;
    }
    EXPECT_EQ(menu, bar->GetMenu(i)) << "menu " << names[i] << " did not open";
    if (menu != bar->GetMenu(i)) continue;
    // The open menu shows the update answers.
    for (wxMenuItem* item : menu->GetMenuItems()) {
      if (item->IsSeparator() || item->IsSubMenu() || item->GetId() == wxID_ANY) continue;
      EXPECT_EQ(item->IsEnabled(), Enabled(item->GetId())) << tv::WxToBytes(item->GetItemLabelText());
    }
    // Only the window and its open menu, not the empty screen around them.
    SaveShotOf(std::string("menu_") + names[i], frame->GetScreenRect());
    closeMenu();
  }
}

}  // namespace
