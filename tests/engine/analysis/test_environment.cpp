#include "engine/analysis/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/msgsink.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"

namespace {

namespace fs = std::filesystem;

std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  size_t at = text.find_last_of('\n');
  return at == std::string::npos ? text : text.substr(at + 1);
}

class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* t = getenv("TMPDIR");
    tmpdir_ = t ? t : "";
    tv::ResetFolders();
  }
  void TearDown() override {
    setenv("TMPDIR", tmpdir_.c_str(), 1);
    tv::ResetFolders();
    SetEngineTrace(nullptr);
    std::error_code ec;
    fs::remove(tv::DataDir() + "os.dat", ec);
  }
  std::string tmpdir_;
};

TEST_F(EnvironmentTest, StartUpErrorsAndTheCleanExitReachTheDiagnosticsLog) {
  tv::RemoveFile(BugLogPath());
  tvtest::WriteFile(tv::DataDir() + "os.dat", "not a table at all");
  g_project.dns_lookup = g_project.ip_lookup = 1;
  tvtest::MessageCapture capture;
  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  EXPECT_EQ(ProgramFolder(), tv::ProgramDir());
  EXPECT_EQ(g_project.dns_lookup, 0u);
  EXPECT_EQ(g_project.ip_lookup, 0u);
  EXPECT_GE(EnvironmentToday().year, 2000);
  ASSERT_FALSE(capture.errors.empty()) << "the damaged table is refused";
  std::string log = tvtest::ReadFile(BugLogPath());
  EXPECT_NE(log.find(capture.errors[0]), std::string::npos) << log;

  // The files left for the shell go at clean-up.
  ASSERT_FALSE(TempFolder().empty());
  for (const char* name : {"TVNsite.url", "TVNletter.eml", "temp.eml"}) tvtest::WriteFile(TempFolder() + name, "x");
  CleanupEnvironment();
  for (const char* name : {"TVNsite.url", "TVNletter.eml", "temp.eml"})
    EXPECT_FALSE(fs::exists(TempFolder() + name)) << name;
  EXPECT_EQ(LastLine(tvtest::ReadFile(BugLogPath())), "#SYS normal shutdown.#");
}

TEST_F(EnvironmentTest, TemporaryFolderIsProbedAndFallsBackToTheCurrentFolder) {
  // Usable: the private folder, with no probe left, even after a probe a dead run left.
  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  EXPECT_EQ(TempFolder(), tv::TempDir());
  tvtest::WriteFile(TempFolder() + "test0Xr7_8.tmp", "stale");
  CleanupEnvironment();
  tv::ResetFolders();
  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  EXPECT_EQ(TempFolder(), tv::TempDir());
  EXPECT_FALSE(fs::exists(TempFolder() + "test0Xr7_8.tmp"));
  CleanupEnvironment();

  // Unusable: a temporary "folder" that is a file.
  std::string notAFolder = tvtest::Home() + "plainfile";
  tvtest::WriteFile(notAFolder, "x");
  setenv("TMPDIR", notAFolder.c_str(), 1);
  tv::ResetFolders();
  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  EXPECT_EQ(TempFolder(), "");
  EXPECT_FALSE(fs::exists("test0Xr7_8.tmp"));
  CleanupEnvironment();
}

}  // namespace
