// The "-update" run against a local update server: the list is offered, the
// chosen table is installed and the program quits by itself; a cancelled
// list leaves it open for the user.
#include <gtest/gtest.h>
#include <wx/wx.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "platform/launcher.h"
#include "tests/common/testenv.h"
#include "tests/servers/testserver.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/app/application.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"
#include "ui/core/commandline.h"
#include "ui/dialogs/databaseupdate.h"
#include "ui/widgets/worker.h"

namespace {

class AppUpdate : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A newer operating-system table (version 7) on the server.
    std::string src = tvtest::NewDir("update-src");
    tvtest::WriteFile(src + "os.txt", "Xbox | NewBox\n");
    for (const char* f : {"browsers.txt", "robots.txt", "searchengines.txt", "sites.txt", "adhosts.txt", "countries.txt"})
      tvtest::WriteFile(src + f, "");
    built = tvtest::NewDir("update-built");
    root = tvtest::NewDir("update-root");
    tv::MakeDirs(root + "data");
    tv::MakeDirs(root + "tables");
    std::string cmd = std::string(TV_AUXGEN) + " build " + src + " " + built + " --version 7 >/dev/null 2>&1 && gzip -nc " +
                      built + "os.dat > " + root + "tables/os.dat.gz";
    if (std::system(cmd.c_str()) != 0) error = "tvauxgen failed";
    tvtest::WriteFile(root + "data/data_log.-",
                      "/** update list */\nFormatVersion=1.0\n[File]\nurl=\"http://127.0.0.1/tables/os.dat.gz\"\n"
                      "type=1\nversion=7\nmb=1");
    server = new tvtest::TestServer;
    port = server->Start("http_server.py", {"--root", root}, &error) ? server->Port() : 0;
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    ASSERT_GT(port, 0) << error;
    setenv("TRAILVANE_UPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    tv::RemoveFile(tvtest::Home() + "os.dat");
    tv::SetLauncher([](const std::string&) { return true; });
    CTrailvaneDoc::DocDialogs().message = [](const wxString&, long) { return wxNO; };
  }
  void TearDown() override {
    if (MainFrame()) MainFrame()->Close(true);
    wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 20000);
    EndProgram();
    unsetenv("TRAILVANE_UPDATE_SERVER");
    CTrailvaneDoc::DocDialogs() = {};
    tv::SetLauncher(nullptr);
  }

  static std::string root, built, error;
  static int port;
  static tvtest::TestServer* server;
};
std::string AppUpdate::root, AppUpdate::built, AppUpdate::error;
int AppUpdate::port = 0;
tvtest::TestServer* AppUpdate::server = nullptr;

TEST_F(AppUpdate, NewerTableIsInstalledAndTheProgramQuits) {
  wxtest::DialogScript script;
  script.Inside([](wxDialog* d) {
    // All offered tables come checked: OK as it stands.
    d->TransferDataFromWindow();
    d->EndModal(wxID_OK);
  });
  ASSERT_TRUE(StartProgram({"-update"}));
  EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 30000)) << "the program did not quit";
  ASSERT_EQ(script.titles.size(), 1u);
  // The clean-up of the close has freed the tables: the file is what tells.
  ASSERT_TRUE(tv::FileExists(tvtest::Home() + "os.dat"));
  EXPECT_EQ(tvtest::ReadFile(tvtest::Home() + "os.dat"), tvtest::ReadFile(built + "os.dat"));
  EXPECT_EQ(ProgramExitStatus(), 0);
}

// A chosen table that does not arrive: the user is told why, and the run's
// exit status says it failed.
TEST_F(AppUpdate, FailedTableIsReportedAndTheRunFails) {
  const std::string list = root + "data/data_log.-";
  const std::string good = tvtest::ReadFile(list);
  tvtest::WriteFile(list, "/** update list */\nFormatVersion=1.0\n[File]\nurl=\"http://127.0.0.1/tables/none.gz\"\n"
                          "type=1\nversion=7\nmb=1");
  wxtest::DialogScript script;
  script.Inside([](wxDialog* d) {
    d->TransferDataFromWindow();
    d->EndModal(wxID_OK);
  });
  // The failure goes to standard error: no box waits in the update run.
  testing::internal::CaptureStderr();
  ASSERT_TRUE(StartProgram({"-update"}));
  EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 30000)) << "the program did not quit";
  const std::string said = testing::internal::GetCapturedStderr();
  tvtest::WriteFile(list, good);
  EXPECT_EQ(script.messages.size(), 0u);
  EXPECT_NE(said.find("could not be downloaded: HTTP/1.1 404"), std::string::npos) << said;
  EXPECT_EQ(ProgramExitStatus(), 1);
  EXPECT_FALSE(tv::FileExists(tvtest::Home() + "os.dat"));
}

TEST_F(AppUpdate, CancelledListLeavesTheProgramOpen) {
  wxtest::DialogScript script;
  script.Answer(wxID_CANCEL);
  ASSERT_TRUE(StartProgram({"/UPDATE"}));
  ASSERT_TRUE(wxtest::PumpUntil([&] { return !script.titles.empty() && !IsWorkerBusy(); }, 30000));
  wxtest::Pump(200);
  EXPECT_NE(MainFrame(), nullptr);
  EXPECT_EQ(g_commandLineMode, kModeInteractive);
  EXPECT_FALSE(tv::FileExists(tvtest::Home() + "os.dat"));
}

}  // namespace
