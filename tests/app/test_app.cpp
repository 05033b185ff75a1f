// The whole program in this process: start-up on a workspace, a report, a
// drill-down with the subreport frame, an export, the close and a second
// start that finds the session again; the document's questions; and runs of
// the real program in its unattended mode.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/filehistory.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/workspace.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "platform/files.h"
#include "platform/launcher.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/listpick.h"
#include "tests/ui/wxtest.h"
#include "ui/app/application.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"
#include "ui/app/programend.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportpanes.h"
#include "ui/panes/workspacepane.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/toolbar.h"
#include "ui/widgets/worker.h"

namespace {

// The report images, as the program folder has them, so the windows look as
// a user sees them (row images, group check boxes).
class ShippedImages : public ::testing::Environment {
 public:
  void SetUp() override {
    tvtest::WriteFile(tvtest::Home() + "report_images.png",
                      tvtest::ReadFile(std::string(TV_SOURCE_DIR) + "/res/report_images.png"));
  }
};
const ::testing::Environment* const g_shippedImages = ::testing::AddGlobalTestEnvironment(new ShippedImages);

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

bool WaitJob() { return wxtest::PumpUntil([] { return !IsWorkerBusy(); }, 30000); }

// A scratch folder holding the fixture workspace and the sample log it names.
std::string FixtureWorkspace(const std::string& name) {
  std::string dir = tvtest::NewDir(name);
  tvtest::WriteFile(dir + "app.tv", tvtest::ReadFile(std::string(TV_APP_TEST_DATA_DIR) + "/app.tv"));
  tvtest::WriteFile(dir + "sample-w3c.log", tvtest::ReadFile(std::string(TV_SOURCE_DIR) + "/data/sample/sample-w3c.log"));
  return dir + "app.tv";
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs a shell command line; its exit status.
int Shell(const std::string& command) {
  int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string LastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  auto nl = t.rfind('\n');
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tv::SetLauncher([this](const std::string& target) {
      launched.push_back(target);
      return launchWorks;
    });
    CTrailvaneDoc::DocDialogs().message = [this](const wxString& text, long style) {
      messages.push_back(tv::WxToBytes(text));
      if (style & wxYES_NO) return answer;
      return wxOK;
    };
    CTrailvaneDoc::DocDialogs().fileDialog = [this](wxWindow*, bool, const wxString&) {
      return tv::BytesToWx(chosenFile);
    };
    // A clean profile and log for every test.
    std::remove(tv::ProfilePath().c_str());
    tvtest::WriteFile(BugLogPath(), "Trailvane\n#SYS normal shutdown.#\n");
  }

  void TearDown() override {
    CloseProgram();
    CTrailvaneDoc::DocDialogs() = {};
    CMainFrame::ExportPathChooser() = nullptr;
    tv::SetLauncher(nullptr);
  }

  bool Start(const std::vector<std::string>& args) {
    bool ok = StartProgram(args);
    started = ok;
    return ok;
  }

  // The normal close, then what the application's exit does.
  double CloseProgram() {
    if (!started) return 0;
    started = false;
    auto t0 = Clock::now();
    if (CMainFrame* frame = MainFrame()) frame->Close();
    EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 20000));
    wxtest::Pump(20);
    EndProgram();
    return Seconds(t0);
  }

  static CReportPane* ShownList() { return ListPane(CurrentPaneSlot()); }
  static void ChooseRow() {
    CSortListCtrl* list = ShownList()->reportList;
    ASSERT_TRUE(wxtest::ChooseListRow(list, static_cast<long>(list->leadingRows)));
  }
  static void Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(MainFrame());
    MainFrame()->GetEventHandler()->ProcessEvent(event);
  }

  bool started = false;
  int answer = wxYES;
  std::string chosenFile;
  std::vector<std::string> messages, launched;
  bool launchWorks = true;
};

TEST_F(AppTest, SessionIsAnalysedExportedClosedAndRestored) {
  const std::string workspace = FixtureWorkspace("session");
  auto t0 = Clock::now();
  ASSERT_TRUE(Start({workspace}));
  ASSERT_TRUE(wxtest::PumpUntil([] { return MainFrame()->IsShownOnScreen(); }, 5000));
  const double startSeconds = Seconds(t0);
  EXPECT_EQ(TheDocument()->GetPathName(), workspace);
  ASSERT_EQ(g_project.sources.Count(), 1);
  // Before any report: the workspace pane shows what was opened.
  EXPECT_EQ(WorkspacePane()->logList->GetCount(), 1u);
  EXPECT_EQ(WorkspacePane()->groupList->GetCount(), static_cast<unsigned>(g_workspace.groups.Count()) + 1);  // and the blank line for a new one
  EXPECT_TRUE(CWorkspaceDlg::PaneDialogs().editGroup) << "the workspace pane has no Group dialog";
  EXPECT_TRUE(messages.empty()) << messages[0];
  // No placement stored yet: a first size that holds the whole toolbar.
  EXPECT_GE(MainFrame()->GetSize().GetWidth(), MainFrame()->ToolBar()->GetBestSize().GetWidth());
  EXPECT_GE(MainFrame()->GetSize().GetHeight(), 455);
  MainFrame()->SetSize(33, 44, 1010, 730);
  wxtest::Pump(50);

  // A report from the navigator: the workspace is analysed first. Its filters
  // let every hit through, as tvbench's export does.
  g_uiQuery.errorsOn = g_uiQuery.spidersOn = g_uiQuery.otherAgentsOn = 1;
  for (uint32_t& g : g_uiQuery.groupOn) g = 1;
  SwitchTopReport(kReportPage);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentReportType(), kReportPage);
  ASSERT_GT(ShownList()->reportList->GetItemCount(), 1);

  // The text export of the window equals the one tvbench writes for the same log.
  const std::string ours = tvtest::Home() + "session/ours.txt";
  const std::string bench = tvtest::Home() + "session/bench.txt";
  CMainFrame::ExportPathChooser() = [&](wxWindow*, const wxString&) { return tv::BytesToWx(ours); };
  Command(ID_REPORT_EXPORT_TEXT);
  ASSERT_EQ(Shell(std::string(TV_BENCH) + " export " + Quote(tvtest::Home() + "session/sample-w3c.log") +
                " --kind 1 --text " + Quote(bench) + " 2>/dev/null"),
            0);
  EXPECT_FALSE(tvtest::ReadFile(ours).empty());
  EXPECT_TRUE(tvtest::ReadFile(ours) == tvtest::ReadFile(bench))
      << "diff " << ours << " " << bench;

  // Drill down to the hosts of the busiest page, then its subreports below.
  ChooseRow();
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentLevel(), 1);
  ChooseRow();
  EXPECT_TRUE(wxtest::SaveScreenshot("app_drilldown"));
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(MainFrame()->SubreportShown());
  EXPECT_TRUE(wxtest::SaveScreenshot("app_subreport"));

  const wxRect placed = MainFrame()->GetRect();
  const double closeSeconds = CloseProgram();
  EXPECT_EQ(LastLine(tvtest::ReadFile(BugLogPath())), "#SYS normal shutdown.#");
  EXPECT_TRUE(messages.empty()) << messages[0];
  // A figure, not a check: a loaded machine (or the sanitizer build) is slower.
  printf("[ timing ] window on screen %.3f s, close %.3f s\n", startSeconds, closeSeconds);

  // Started again without a file: the last workspace, the placement and the report come back.
  ASSERT_TRUE(Start({}));
  EXPECT_EQ(TheDocument()->GetPathName(), workspace);
  EXPECT_EQ(g_project.sources.Count(), 1);
  EXPECT_EQ(MainFrame()->GetRect(), placed);
  // On the recent list of the File menu.
  ASSERT_GE(TheDocument()->History()->GetCount(), 1u);
  EXPECT_EQ(tv::WxToBytes(TheDocument()->History()->GetHistoryFile(0)), workspace);
  EXPECT_NE(MainFrame()->GetMenuBar()->FindItem(wxID_FILE1), nullptr);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(g_topReportKind, kReportPage);
  EXPECT_EQ(GetCurrentReportType(), kReportPage);
}

TEST_F(AppTest, WorkspaceThatCannotBeOpenedIsNamedAndNeverOverwritten) {
  // Named on the command line and missing: start-up ends, the message names it.
  const std::string missing = tvtest::Home() + "nowhere/site.tv";
  EXPECT_FALSE(Start({missing}));
  EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 5000));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(missing), std::string::npos) << messages[0];

  // A damaged file opened in a running program: reported, its name not taken,
  // so saving asks for a name instead of writing over it.
  messages.clear();
  ASSERT_TRUE(Start({}));
  const std::string broken = tvtest::NewDir("broken") + "site.tv";
  const std::string text = "FormatVersion=1.0\n[Common]\nURL=\"http://x\n[logfile\n";
  tvtest::WriteFile(broken, text);
  EXPECT_FALSE(TheDocument()->OpenDocumentFile(broken));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(broken), std::string::npos) << messages[0];
  EXPECT_EQ(TheDocument()->GetPathName(), "");
  chosenFile = "";  // the save dialog is cancelled
  EXPECT_FALSE(TheDocument()->DoSave(false));
  EXPECT_EQ(tvtest::ReadFile(broken), text);

  // Saved under a name without extension: ".tv" is added and remembered.
  chosenFile = tvtest::Home() + "broken/mine";
  EXPECT_TRUE(TheDocument()->DoSave(false));
  EXPECT_EQ(TheDocument()->GetPathName(), chosenFile + ".tv");
  std::string last;
  EXPECT_TRUE(tv::RegReadString("LastWorkspace", &last, 4096));
  EXPECT_EQ(last, chosenFile + ".tv");
}

TEST_F(AppTest, LogFileIsAddedToTheWorkspaceOrToANewOne) {
  const std::string dir = tvtest::NewDir("logs");
  for (const char* name : {"a.log", "b.LOG", "c.log.gz"}) tvtest::WriteFile(dir + name, "");
  ASSERT_TRUE(Start({}));
  // An empty, unsaved workspace takes the log without a question.
  ASSERT_TRUE(TheDocument()->OpenDocumentFile(dir + "a.log"));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(g_project.sources.Count(), 1);
  EXPECT_EQ(TheDocument()->GetPathName(), "");

  // Now it holds a log: asked. Yes adds to it, No starts a new workspace.
  answer = wxYES;
  ASSERT_TRUE(TheDocument()->OpenDocumentFile(dir + "b.LOG"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Adding the log file '" + dir + "b.LOG" +
                             "' to current workspace?\nYes - adding to current workspace, No - adding to new workspace");
  EXPECT_EQ(g_project.sources.Count(), 2);
  // The workspace changed, so "save changes?" comes first; No, then No to the log question.
  answer = wxNO;
  ASSERT_TRUE(TheDocument()->OpenDocumentFile(dir + "c.log.gz"));
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[1].rfind("Save changes", 0), 0u) << messages[1];
  ASSERT_EQ(g_project.sources.Count(), 1);
  EXPECT_EQ(std::string(g_project.sources[0].file), dir + "c.log.gz");
  // Only log files were added: closing asks nothing.
  EXPECT_TRUE(TheDocument()->CanCloseFrame());
  EXPECT_EQ(messages.size(), 3u);
}

// A relative path on the command line names the file from the folder the
// program was started in, although the document changes into the file's
// folder; what it keeps of the name finds the file again from another folder.
TEST_F(AppTest, ARelativePathOnTheCommandLineIsTakenFromTheStartFolder) {
  const std::string workspace = FixtureWorkspace("relative/sub");
  const std::string top = tvtest::Home() + "relative/";
  const std::string here = tv::CurrentDir();

  // The download run of the real program, started in the folder above.
  const std::string home = tvtest::NewDir("relative-home");
  const std::string out = top + "out.txt";
  EXPECT_EQ(Shell("cd " + Quote(top) + " && TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM +
                  " -download sub/app.tv 2>" + Quote(out)),
            0)
      << tvtest::ReadFile(out);
  EXPECT_EQ(tvtest::ReadFile(workspace).find("download_dt=\"\""), std::string::npos) << "not saved";
  const std::string profile = tvtest::ReadFile(home + "profile.ini");
  EXPECT_NE(profile.find("LastWorkspace=" + workspace + "\n"), std::string::npos) << profile;

  // Opened interactively: the document, the recent list and "LastWorkspace" hold the full path.
  ASSERT_TRUE(tv::ChangeDir(top));
  const bool opened = Start({"sub/app.tv"});
  tv::ChangeDir(here);
  ASSERT_TRUE(opened) << (messages.empty() ? "" : messages[0]);
  EXPECT_TRUE(messages.empty()) << messages[0];
  EXPECT_EQ(TheDocument()->GetPathName(), workspace);
  EXPECT_EQ(g_project.sources.Count(), 1);
  ASSERT_GE(TheDocument()->History()->GetCount(), 1u);
  EXPECT_EQ(tv::WxToBytes(TheDocument()->History()->GetHistoryFile(0)), workspace);
  CloseProgram();
  std::string last;
  EXPECT_TRUE(tv::RegReadString("LastWorkspace", &last, 4096));
  EXPECT_EQ(last, workspace);

  // Started again from another folder: the last workspace is found.
  ASSERT_TRUE(tv::ChangeDir(tvtest::NewDir("relative-elsewhere")));
  const bool restarted = Start({});
  tv::ChangeDir(here);
  ASSERT_TRUE(restarted);
  EXPECT_TRUE(messages.empty()) << messages[0];
  EXPECT_EQ(TheDocument()->GetPathName(), workspace);
  EXPECT_EQ(g_project.sources.Count(), 1);
}

// A log file named on the command line builds an unnamed workspace: nothing
// of it is stored as a workspace path ("LastWorkspace", the recent list), and
// the next start does not build a workspace from it again.
TEST_F(AppTest, ALogFileFromTheCommandLineIsNoWorkspaceToRemember) {
  const std::string workspace = FixtureWorkspace("log-start");
  const std::string log = tv::DirectoryOf(workspace) + "sample-w3c.log";
  struct Case {
    const char* name;
    std::string lastBefore;  // "LastWorkspace" and the first recent file before the start
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"a log named, nothing remembered", "", {log}},
      {"a log named, a workspace remembered", workspace, {log}},
      // What a start on a log left in the profile before this was mended.
      {"a log left as the last workspace", log, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(tv::ProfilePath().c_str());
    if (!c.lastBefore.empty()) {
      tv::RegWriteString("LastWorkspace", c.lastBefore);
      if (c.lastBefore == workspace) tv::RegWriteString("File1", c.lastBefore);
    }
    // As in a new process: no workspace is left from an earlier session.
    SetWorkspaceDefaults();
    messages.clear();
    ASSERT_TRUE(Start(c.args));
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(TheDocument()->GetPathName(), "");
    EXPECT_EQ(g_project.sources.Count(), c.args.empty() ? 0 : 1);
    for (size_t i = 0; i < TheDocument()->History()->GetCount(); ++i)
      EXPECT_EQ(tv::WxToBytes(TheDocument()->History()->GetHistoryFile(i)), workspace);
    CloseProgram();
    std::string last = "unread";
    EXPECT_TRUE(tv::RegReadString("LastWorkspace", &last, 4096));
    EXPECT_EQ(last, "");
    const std::string profile = tvtest::ReadFile(tv::ProfilePath());
    EXPECT_EQ(profile.find("=" + log), std::string::npos) << profile;

    // The next start comes up with nothing built from the log.
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(TheDocument()->GetPathName(), "");
    EXPECT_EQ(g_project.sources.Count(), 0);
    CloseProgram();
  }
}

// A start that fails (a missing workspace on the command line) still starts
// the diagnostics log anew: the log says what failed and ends cleanly, so the
// next start offers no crash report.
TEST_F(AppTest, AStartThatFailsLeavesAFreshLogThatEndsCleanly) {
  const std::string banner = std::string(kProductName) + " " + kProductVersion;
  const std::string previous = banner + "\nline of the previous run\n#SYS normal shutdown.#\n";
  const std::string missing = tvtest::Home() + "nowhere/site.tv";
  auto check = [&](const std::string& log) {
    EXPECT_EQ(log.rfind(banner + "\n", 0), 0u) << log;
    EXPECT_EQ(log.find("line of the previous run"), std::string::npos) << log;
    EXPECT_NE(log.find(missing), std::string::npos) << log;
    EXPECT_EQ(LastLine(log), "#SYS normal shutdown.#") << log;
  };
  {
    SCOPED_TRACE("in this process");
    tvtest::WriteFile(BugLogPath(), previous);
    EXPECT_FALSE(Start({missing}));
    EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 5000));
    check(tvtest::ReadFile(BugLogPath()));
    messages.clear();
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_TRUE(launched.empty());
    CloseProgram();
  }
  {
    SCOPED_TRACE("the real program's download run");
    const std::string home = tvtest::NewDir("failed-start-home");
    tvtest::WriteFile(home + "logBug.txt", previous);
    EXPECT_EQ(Shell("TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " -download " + Quote(missing) +
                    " 2>/dev/null"),
              1);
    check(tvtest::ReadFile(home + "logBug.txt"));
  }
}

// The crash mail that does not open is said to have failed.
TEST_F(AppTest, ACrashMailTheDesktopCannotOpenIsReported) {
  tvtest::WriteFile(BugLogPath(), "Trailvane\nsomething went wrong\n");
  answer = wxYES;
  launchWorks = false;
  ASSERT_TRUE(Start({}));
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Program crashed!\nPlease send to us bug report (via e-mail).\n\nSend report?",
                          "Can't open link:\n\nThere is no application associated\nwith the given filename extension."}));
}

TEST_F(AppTest, CrashIsOfferedOnlyToTheFirstInstanceAndASecondLeavesTheLogAlone) {
  tvtest::WriteFile(BugLogPath(), "Trailvane\nsomething went wrong\n");
  answer = wxYES;
  ASSERT_TRUE(Start({}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Program crashed!\nPlease send to us bug report (via e-mail).\n\nSend report?");
  // Yes opens the prepared mail, which carries the old log.
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_NE(tvtest::ReadFile(launched[0]).find("something went wrong"), std::string::npos);

  // The real program started while this one runs: a second instance. It does
  // its download run and quits, and the running instance's log is untouched.
  const std::string workspace = FixtureWorkspace("second");
  const std::string before = tvtest::ReadFile(BugLogPath());
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(Shell("timeout 60 " + std::string(TV_PROGRAM) + " -download " + Quote(workspace) + " 2>/dev/null"), 0);
  EXPECT_EQ(tvtest::ReadFile(BugLogPath()), before);
  EXPECT_EQ(tvtest::ReadFile(workspace).find("download_dt=\"\""), std::string::npos);
}

TEST_F(AppTest, DownloadRunOfTheProgramQuitsThroughTheNormalClose) {
  // A home of its own: this is the only instance there.
  const std::string home = tvtest::NewDir("download-home");
  const std::string workspace = FixtureWorkspace("download");
  tvtest::WriteFile(home + "logBug.txt", "Trailvane\nold run\n");
  auto t0 = Clock::now();
  int rc = Shell("TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " /DOWNLOAD " + Quote(workspace) +
               " 2>/dev/null");
  printf("[ timing ] download run %.3f s\n", Seconds(t0));
  EXPECT_EQ(rc, 0);
  std::string saved = tvtest::ReadFile(workspace);
  auto at = saved.find("download_dt=\"");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(saved[at + 13], '"') << "the stamp is empty";
  EXPECT_EQ(LastLine(tvtest::ReadFile(home + "logBug.txt")), "#SYS normal shutdown.#");

  // Its log gone: the error is printed and traced, no box waits for anyone,
  // and the run fails so that whoever scheduled it can tell.
  tv::RemoveFile(tvtest::Home() + "download/sample-w3c.log");
  const std::string out = tvtest::Home() + "download/out.txt";
  rc = Shell("TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " -download " + Quote(workspace) +
             " 2>" + Quote(out));
  EXPECT_EQ(rc, 1);
  const std::string said = tvtest::ReadFile(out);
  EXPECT_NE(said.find("The download run failed: Cannot read the log file '"), std::string::npos) << said;
  EXPECT_NE(said.find("sample-w3c.log"), std::string::npos) << said;
  EXPECT_EQ(LastLine(tvtest::ReadFile(home + "logBug.txt")), "#SYS normal shutdown.#");
}

// Hostile files around an unattended run: each run ends by itself through the
// normal close, reads the files named and writes nothing it must not.
TEST_F(AppTest, DownloadRunsEndWithHostileFilesAround) {
  auto run = [](const std::string& home, const std::string& workspace, std::string* out) {
    const std::string err = home + "run.txt";
    int rc = Shell("TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " -download " + Quote(workspace) +
                   " 2>" + Quote(err));
    *out = tvtest::ReadFile(err);
    return rc;
  };
  std::string out;

  // '#' in the folder and the name: the cut names ("…/c", "…/c#dir/w") exist and stay untouched.
  {
    const std::string home = tvtest::NewDir("hostile-hash-home");
    const std::string fixture = FixtureWorkspace("hostile-hash");
    const std::string dir = tvtest::NewDir("c#dir");
    tvtest::WriteFile(dir + "w#1.tv", tvtest::ReadFile(fixture));
    tvtest::WriteFile(dir + "sample-w3c.log", tvtest::ReadFile(tv::DirectoryOf(fixture) + "sample-w3c.log"));
    tvtest::WriteFile(tvtest::Home() + "c", "decoy folder");
    tvtest::WriteFile(dir + "w", "decoy file");
    EXPECT_EQ(run(home, dir + "w#1.tv", &out), 0) << out;
    EXPECT_EQ(tvtest::ReadFile(dir + "w#1.tv").find("download_dt=\"\""), std::string::npos) << "not saved: " << out;
    EXPECT_EQ(tvtest::ReadFile(tvtest::Home() + "c"), "decoy folder");
    EXPECT_EQ(tvtest::ReadFile(dir + "w"), "decoy file");
    EXPECT_EQ(LastLine(tvtest::ReadFile(home + "logBug.txt")), "#SYS normal shutdown.#");
  }
  // A profile line with an empty name, and a FIFO where the settings file belongs.
  {
    const std::string home = tvtest::NewDir("hostile-profile-home");
    tvtest::WriteFile(home + "profile.ini", "LastWorkspace=nowhere.tv\n=x\n");
    ASSERT_EQ(mkfifo((home + "Trailvane.cfg").c_str(), 0600), 0);
    EXPECT_EQ(run(home, FixtureWorkspace("hostile-profile"), &out), 0) << out;
    EXPECT_EQ(LastLine(tvtest::ReadFile(home + "logBug.txt")), "#SYS normal shutdown.#");
    EXPECT_EQ(tvtest::ReadFile(home + "logBug.txt").find("#ASSERT"), std::string::npos);
  }
  // A read-only workspace is refused with a message and keeps its bytes and mode.
  {
    const std::string home = tvtest::NewDir("hostile-readonly-home");
    const std::string workspace = FixtureWorkspace("hostile-readonly");
    const std::string before = tvtest::ReadFile(workspace);
    ASSERT_EQ(chmod(workspace.c_str(), 0444), 0);
    run(home, workspace, &out);
    EXPECT_NE(out.find("is read-only: not saved"), std::string::npos) << out;
    EXPECT_EQ(tvtest::ReadFile(workspace), before);
    struct stat st {};
    ASSERT_EQ(stat(workspace.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    chmod(workspace.c_str(), 0644);
  }
}

// An assertion inside wx is traced in logBug.txt; no dialog waits for a click.
TEST_F(AppTest, AssertionsGoToTheBugLog) {
  wxAssertHandler_t old = wxSetAssertHandler(nullptr);
  InstallAssertionLog();
  wxFAIL_MSG("probe for the bug log");
  wxSetAssertHandler(old);
  std::string log = tvtest::ReadFile(BugLogPath());
  EXPECT_NE(log.find("#ASSERT"), std::string::npos) << log;
  EXPECT_NE(log.find("probe for the bug log"), std::string::npos) << log;
}

TEST_F(AppTest, TerminationSignalsEndThroughTheNormalCloseWithoutQuestions) {
  // In this process: a changed workspace, then the signal. Nobody is asked,
  // the file stays as it was, the engine's clean-up writes its line.
  for (int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGHUP");
    const std::string workspace = FixtureWorkspace(sig == SIGTERM ? "term" : "hup");
    const std::string before = tvtest::ReadFile(workspace);
    messages.clear();
    ASSERT_TRUE(Start({workspace}));
    ASSERT_TRUE(wxtest::PumpUntil([] { return MainFrame()->IsShownOnScreen(); }, 5000));
    InstallProgramEndHandlers();
    g_workspace.SetString(&g_workspace.common.URL, "http://changed.example.com");
    g_workspace.SetDirty();
    TheDocument()->SetModifiedFlag(true);
    ASSERT_EQ(kill(getpid(), sig), 0);
    EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 10000)) << "the window did not close";
    wxtest::Pump(20);
    EndProgram();
    started = false;
    RemoveProgramEndHandlers();
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(tvtest::ReadFile(workspace), before);
    EXPECT_EQ(LastLine(tvtest::ReadFile(BugLogPath())), "#SYS normal shutdown.#");
  }

  // The real program, as a desktop session or a service manager ends it.
  if (Shell("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
  const std::string home = tvtest::NewDir("term-home");
  const std::string workspace = FixtureWorkspace("term-real");
  const std::string before = tvtest::ReadFile(workspace);
  tvtest::WriteFile(home + "logBug.txt", "Trailvane\nold run\n#SYS normal shutdown.#\n");
  const std::string script = "TRAILVANE_HOME=" + Quote(home) + " " + TV_PROGRAM + " " + Quote(workspace) +
                             " 2>/dev/null & pid=$!; timeout 30 xdotool search --sync --onlyvisible --pid $pid "
                             ">/dev/null || exit 90; kill -TERM $pid; wait $pid";
  EXPECT_EQ(Shell("timeout 60 bash -c " + Quote(script)), 0);
  const std::string log = tvtest::ReadFile(home + "logBug.txt");
  EXPECT_EQ(LastLine(log), "#SYS normal shutdown.#") << log;
  EXPECT_EQ(tvtest::ReadFile(workspace), before);

  // Started again on that log: no crash is offered.
  tvtest::WriteFile(BugLogPath(), log);
  messages.clear();
  ASSERT_TRUE(Start({}));
  EXPECT_TRUE(messages.empty()) << messages[0];
  EXPECT_TRUE(launched.empty());
}

// The user's close while a job runs: the job is stopped and the close asks
// to save only once it is over; their Cancel keeps the program, which then
// runs jobs again, and their No closes it.
TEST_F(AppTest, CloseDuringAJobAsksToSaveAfterItAndCancelKeepsTheProgram) {
  const std::string workspace = FixtureWorkspace("close-job");
  ASSERT_TRUE(Start({workspace}));
  ASSERT_TRUE(wxtest::PumpUntil([] { return MainFrame()->IsShownOnScreen(); }, 5000));
  g_workspace.SetString(&g_workspace.common.URL, "http://changed.example.com");
  g_workspace.SetDirty();
  TheDocument()->SetModifiedFlag(true);
  SwitchTopReport(kReportPage);
  ASSERT_TRUE(IsWorkerBusy());
  answer = wxCANCEL;
  EXPECT_FALSE(MainFrame()->Close());
  EXPECT_TRUE(StopRequested());
  EXPECT_TRUE(messages.empty()) << "asked while the job ran: " << messages[0];
  ASSERT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy() && !ProgramEnding(); }, 20000));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("Save changes"), std::string::npos) << messages[0];
  ASSERT_NE(MainFrame(), nullptr);
  EXPECT_FALSE(MainFrame()->Closed());
  SwitchTopReport(kReportHost);
  EXPECT_TRUE(IsWorkerBusy()) << "no job starts after the cancelled close";
  ASSERT_TRUE(WaitJob());

  answer = wxNO;
  messages.clear();
  EXPECT_TRUE(MainFrame()->Close());
  EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 10000));
  started = false;
  wxtest::Pump(20);
  EndProgram();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(tvtest::ReadFile(workspace).find("changed.example.com"), std::string::npos);
  EXPECT_EQ(LastLine(tvtest::ReadFile(BugLogPath())), "#SYS normal shutdown.#");
}

TEST_F(AppTest, UnderAWindowManagerTheStoredPlacementComesBackAndTheRealOneIsStored) {
  if (Shell("command -v openbox >/dev/null && command -v xdotool >/dev/null") != 0)
    GTEST_SKIP() << "openbox or xdotool is not installed";
  const std::string home = tvtest::NewDir("wm-home");
  tvtest::WriteFile(home + "logBug.txt", "Trailvane\n#SYS normal shutdown.#\n");
  tvtest::WriteFile(home + "profile.ini", "MaxWin=0\nWinTop=150\nWinBotton=800\nWinLeft=200\nWinRight=1100\n");
  const std::string geometry = home + "geometry.txt";
  // The real program on this display under openbox: where the window is, then
  // moved by the window manager as a user drags it, then ended.
  const std::string script =
      "openbox >/dev/null 2>&1 & wm=$!; sleep 1; TRAILVANE_HOME=" + Quote(home) + " " + TV_PROGRAM +
      " 2>/dev/null & pid=$!; w=$(timeout 30 xdotool search --sync --onlyvisible --pid $pid | head -1); "
      "sleep 1; xdotool getwindowgeometry --shell $w > " + Quote(geometry) +
      "; xdotool windowmove $w 260 120; sleep 1; kill -TERM $pid; wait $pid; rc=$?; kill $wm; wait $wm; exit $rc";
  EXPECT_EQ(Shell("timeout 90 bash -c " + Quote(script)), 0);
  const std::string shown = tvtest::ReadFile(geometry);
  // The client area sits inside the frame's decorations, right of and below its corner.
  auto value = [&](const char* name) {
    auto at = shown.find(std::string(name) + "=");
    return at == std::string::npos ? -1 : std::atoi(shown.c_str() + at + strlen(name) + 1);
  };
  EXPECT_GE(value("X"), 200) << shown;
  EXPECT_LT(value("X"), 220) << shown;
  EXPECT_GE(value("Y"), 150) << shown;
  EXPECT_LT(value("Y"), 200) << shown;
  const std::string profile = tvtest::ReadFile(home + "profile.ini");
  EXPECT_NE(profile.find("WinLeft=260\n"), std::string::npos) << profile;
  EXPECT_NE(profile.find("WinTop=120\n"), std::string::npos) << profile;
  EXPECT_NE(profile.find("WinRight=1160\n"), std::string::npos) << profile;
  EXPECT_EQ(LastLine(tvtest::ReadFile(home + "logBug.txt")), "#SYS normal shutdown.#");
}

// The workspace cannot be saved at the end of the run: the run fails, says
// why, and the file on disk is the one it started from.
TEST_F(AppTest, DownloadRunWhoseSaveFailsExitsWithItsReason) {
  const std::string home = tvtest::NewDir("save-fails-home");
  struct Case {
    const char* name;
    std::string wrap;    // the command line around the program's run
    const char* reason;  // in the printed line
  };
  const std::string workspace = FixtureWorkspace("save-fails");
  const std::string dir = tv::DirectoryOf(workspace);
  std::vector<Case> cases;
  // No more room for a byte of a new file, as on a full disk (the signal is
  // ignored, so writes fail with EFBIG instead of killing the program).
  cases.push_back({"full", "(trap '' XFSZ; ulimit -f 0; exec %s)", "File too large"});
  // A folder the program may not write in: a read-only mount of it where the
  // test may mount (root ignores the folder's mode), else the folder's mode.
  if (geteuid() == 0 && Shell("unshare -m true 2>/dev/null") == 0)
    cases.push_back({"read-only", "unshare -m sh -c \"mount --bind -o ro " + Quote(dir) + " " + Quote(dir) + " && %s\"",
                     "Read-only file system"});
  else if (geteuid() != 0)
    cases.push_back({"read-only", "(chmod 0555 " + Quote(dir) + "; %s; rc=$?; chmod 0755 " + Quote(dir) + "; exit $rc)",
                     "Permission denied"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = tvtest::ReadFile(workspace);
    const std::string out = tvtest::Home() + "save-fails-out.txt";
    std::string line = c.wrap;
    line.replace(line.find("%s"), 2,
                 "env TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " -download " + Quote(workspace));
    // Through a pipe, which a file size limit does not cut off.
    Shell("{ " + line + " 2>&1 >/dev/null; echo $? >" + Quote(out + ".rc") + "; } | cat >" + Quote(out));
    EXPECT_EQ(tvtest::ReadFile(out + ".rc"), "1\n");
    const std::string said = tvtest::ReadFile(out);
    EXPECT_NE(said.find("The download run failed: the workspace '" + workspace + "' was not saved: " + c.reason),
              std::string::npos)
        << said;
    EXPECT_EQ(tvtest::ReadFile(workspace), before);
  }
}

// Unattended runs that cannot do their work: each ends by itself (no box
// waits), exits 1 and says why on standard error.
TEST_F(AppTest, UnattendedRunsThatFailSayWhyAndExitNonZero) {
  const std::string dir = tvtest::NewDir("unattended-fails");
  tvtest::WriteFile(dir + "damaged.tv", "/** workspace */\nFormatVersion=1.0\n[[[\n");
  // A workspace whose only log is a gzip file cut short.
  const std::string gzWorkspace = FixtureWorkspace("unattended-gz");
  const std::string gzDir = tv::DirectoryOf(gzWorkspace);
  ASSERT_EQ(Shell("gzip -c " + Quote(gzDir + "sample-w3c.log") + " | head -c 3000 > " + Quote(gzDir + "cut.log.gz")), 0);
  std::string text = tvtest::ReadFile(gzWorkspace);
  text.replace(text.find("file=\"sample-w3c.log\""), strlen("file=\"sample-w3c.log\""), "file=\"cut.log.gz\"");
  tvtest::WriteFile(gzWorkspace, text);
  struct Case {
    const char* name;
    std::string profile;  // profile.ini of the run
    std::string args;
    const char* said;
  };
  const std::vector<Case> cases = {
      {"no workspace at all", "", "-download", "The download run failed: no workspace is open"},
      {"last workspace missing", "LastWorkspace=" + dir + "gone.tv\n", "-download",
       "The download run failed: no workspace is open"},
      {"last workspace damaged", "LastWorkspace=" + dir + "damaged.tv\n", "-download", "bad workspace"},
      {"a log that does not decompress", "", "-download " + Quote(gzWorkspace),
       "The download run failed: Cannot decompress the log file '"},
      {"no update server", "", "-update", "No update server is set"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string home = tvtest::NewDir(std::string("unattended-home-") + c.name);
    tvtest::WriteFile(home + "profile.ini", c.profile);
    const std::string out = home + "out.txt";
    auto t0 = Clock::now();
    int rc = Shell("env -u TRAILVANE_UPDATE_SERVER TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " " +
                   c.args + " 2>" + Quote(out));
    EXPECT_EQ(rc, 1);
    EXPECT_LT(Seconds(t0), 30) << "a box waited";
    const std::string said = tvtest::ReadFile(out);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(LastLine(tvtest::ReadFile(home + "logBug.txt")), "#SYS normal shutdown.#");
  }
}

// A workspace with a syntax error: the unattended run prints the line the
// error is on, not only the diagnostics log.
TEST_F(AppTest, DownloadRunOfABadWorkspaceSaysWhichLine) {
  const std::string home = tvtest::NewDir("bad-ws-home");
  const std::string dir = tvtest::NewDir("bad-ws");
  tvtest::WriteFile(dir + "bad.tv", "/** workspace */\nFormatVersion=1.0\n[Common]\nURL==\"x\"\n");
  const std::string out = dir + "out.txt";
  int rc = Shell("TRAILVANE_HOME=" + Quote(home) + " timeout 60 " + TV_PROGRAM + " -download " + Quote(dir + "bad.tv") +
                 " 2>" + Quote(out));
  EXPECT_NE(rc, 0);
  const std::string said = tvtest::ReadFile(out);
  EXPECT_NE(said.find("bad config file (line 4)"), std::string::npos) << said;
  EXPECT_NE(said.find("bad workspace"), std::string::npos) << said;
}

}  // namespace
