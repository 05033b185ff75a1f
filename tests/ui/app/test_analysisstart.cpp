// "Reload it?" before an analysis over downloaded logs whose copies are on disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/textutil.h"
#include "engine/config/workspace.h"
#include "engine/store/project.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "ui/app/analysisstart.h"

namespace {

class ReloadQuestion : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tvtest::NewDir("reload");
    tvtest::WriteFile(dir_ + "copy.log", "x\n");
    g_project.Reset();
    SetWorkspaceDefaults();
    SetStr(&g_workspace.common.download_dt, "2026-12-01 04:00");
    ASSERT_TRUE(SaveWorkspace((dir_ + "site.tvw").c_str()));
    g_workspace.ClearDirty();
    CLogSource s;
    CLogSourceList::InitEntry(&s);
    s.type = kSourceFtp;
    g_project.sources.Add(s);
    CLogSourceList::InitEntry(&s);
    g_project.sources.Add(s);  // a local source is never asked about
    SetStr(&g_project.sources[0].files, (dir_ + "copy.log").c_str());
    SetStr(&g_project.sources[1].file, (dir_ + "copy.log").c_str());
  }
  void TearDown() override {
    g_unattended = false;
    g_project.Reset();
    SetWorkspaceDefaults();
  }
  std::string dir_;
};

TEST_F(ReloadQuestion, NoKeepsTheCopiesYesForgetsThemAndTheStamp) {
  {
    wxtest::DialogScript script;
    script.Answer(wxID_NO);
    AskReloadDownloadedLogs();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Log files already loaded: 2026-12-01 04:00.\nReload it?");
  }
  EXPECT_STREQ(g_project.sources[0].files, (dir_ + "copy.log").c_str());
  EXPECT_STREQ(g_workspace.common.download_dt, "2026-12-01 04:00");
  ASSERT_NE(tvtest::ReadFile(dir_ + "site.tvw").find("2026-12-01 04:00"), std::string::npos);

  {
    wxtest::DialogScript script;
    script.Answer(wxID_YES);
    AskReloadDownloadedLogs();
  }
  EXPECT_EQ(g_project.sources[0].files, nullptr);
  EXPECT_STREQ(g_project.sources[1].file, (dir_ + "copy.log").c_str());
  EXPECT_TRUE(g_workspace.common.download_dt == nullptr || !*g_workspace.common.download_dt);
  // Saved at once, since it had no other change: the stamp is gone from the file too.
  EXPECT_EQ(tvtest::ReadFile(dir_ + "site.tvw").find("2026-12-01 04:00"), std::string::npos);

  // Nothing on disk any more: no question.
  wxtest::DialogScript none;
  AskReloadDownloadedLogs();
}

TEST_F(ReloadQuestion, NobodyIsAskedInTheDownloadRun) {
  g_unattended = true;
  wxtest::DialogScript none;
  AskReloadDownloadedLogs();
  EXPECT_STREQ(g_project.sources[0].files, (dir_ + "copy.log").c_str());
}

}  // namespace
