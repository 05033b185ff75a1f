#include "engine/analysis/environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/sources/logcache.h"
#include "engine/sources/remotelogs.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"
#include "tests/servers/testserver.h"

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

TEST_F(EnvironmentTest, TemporaryFolderIsProbedAndAnUnsafeOneIsRefusedAloud) {
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

  // Unsafe or unusable: said so, and nothing temporary is made anywhere, least
  // of all in the current folder.
  const std::string mine = "trailvane-" + std::to_string(geteuid());
  const struct {
    const char* name;
    std::function<std::string()> make;  // returns the TMPDIR to use
    const char* why;
  } kCases[] = {
      {"a file for a base",
       [] {
         tvtest::WriteFile(tvtest::Home() + "plainfile", "x");
         return tvtest::Home() + "plainfile";
       },
       "cannot be created"},
      {"a symbolic link",
       [&] {
         std::string base = tvtest::NewDir("link"), real = tvtest::NewDir("link-target");
         chmod(real.c_str(), 0700);
         fs::create_directory_symlink(real, base + mine);
         return base;
       },
       "is a symbolic link"},
      {"open to the group",
       [&] {
         std::string base = tvtest::NewDir("shared");
         fs::create_directory(base + mine);
         chmod((base + mine).c_str(), 0750);
         return base;
       },
       "is open to other users"},
      {"a file in its place",
       [&] {
         std::string base = tvtest::NewDir("file");
         tvtest::WriteFile(base + mine, "x");
         return base;
       },
       "is not a folder"},
  };
  const std::string body = tvtest::Home() + "mailbody.txt", home = tv::CurrentDir();
  tvtest::WriteFile(body, "a body");
  const std::string cwd = tvtest::NewDir("cwd");
  ASSERT_TRUE(tv::ChangeDir(cwd));
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    setenv("TMPDIR", c.make().c_str(), 1);
    tv::ResetFolders();
    tvtest::MessageCapture capture;
    ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
    EXPECT_EQ(TempFolder(), "");
    EXPECT_EQ(tv::TempDir(), "");
    ASSERT_EQ(capture.errors.size(), 1u) << capture.AllErrors();
    EXPECT_EQ(capture.errors[0].rfind("The temporary folder is not used: ", 0), 0u) << capture.errors[0];
    EXPECT_NE(capture.errors[0].find(c.why), std::string::npos) << capture.errors[0];
    EXPECT_EQ(tv::MakeTempFile("log"), "");
    EXPECT_EQ(WriteSupportMail(body.c_str(), "", "x"), "");
    tvtest::WriteFile(cwd + "temp.eml", "someone's");
    CleanupEnvironment();
    EXPECT_EQ(tvtest::ReadFile(cwd + "temp.eml"), "someone's");
    fs::remove(cwd + "temp.eml");
    EXPECT_TRUE(fs::is_empty(cwd));
  }
  ASSERT_TRUE(tv::ChangeDir(home));
  // The group's access was not quietly taken away either.
  struct stat st;
  ASSERT_EQ(stat((tvtest::Home() + "shared/" + mine).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);

  // Another user's folder (which a test cannot make without being root).
  std::string own = tvtest::NewDir("own");
  chmod(own.c_str(), 0700);
  EXPECT_EQ(tv::PrivateDirProblem(own, geteuid()), "");
  EXPECT_EQ(tv::PrivateDirProblem(own, geteuid() + 1), "'" + own + "' belongs to another user");
}

TEST_F(EnvironmentTest, StartUpRemovesOnlyTheTemporaryFilesADeadRunLeft) {
  const std::string tmp = tv::TempDir();
  ASSERT_FALSE(tmp.empty());
  const std::string inUse = tv::MakeTempFile("log");  // this run's own
  const std::string outside = tvtest::NewDir("outside") + "kept.txt";
  tvtest::WriteFile(outside, "x");
  const std::vector<std::string> stale = {"logAb3xZ9", "tmpdb000000", "iNetqwerty", "iCshZZZZZZ"};
  const std::vector<std::string> others = {"logAb3xZ", "logAb3xZ9Q", "log-b3xZ9", "logAb3.Z9", "notes.txt",
                                           "cache.cfg", "xlogAb3xZ9"};
  for (const std::string& n : stale) tvtest::WriteFile(tmp + n, "left by a killed run");
  for (const std::string& n : others) tvtest::WriteFile(tmp + n, "not a temporary file");
  fs::create_symlink(outside, tmp + "logLINK00");
  fs::create_directory(tmp + "logDIR000");
  auto exists = [&](const std::string& n) { return fs::exists(fs::symlink_status(tmp + n)); };

  // While another run holds the folder nothing goes.
  {
    int other = open((tmp + "run.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_SH), 0);
    ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
    CleanupEnvironment();
    close(other);
    for (const std::string& n : stale) EXPECT_TRUE(exists(n)) << n;
  }

  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  CleanupEnvironment();
  for (const std::string& n : stale) EXPECT_FALSE(exists(n)) << n;
  for (const std::string& n : others) EXPECT_TRUE(exists(n)) << n;
  for (const char* n : {"logLINK00", "logDIR000"}) EXPECT_TRUE(exists(n)) << n;
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_TRUE(fs::exists(inUse));
  for (const std::string& n : others) fs::remove(tmp + n);
  for (const char* n : {"logLINK00", "logDIR000"}) fs::remove(tmp + n);
  fs::remove(inUse);
}

// The new copy a killed save leaves beside a data file (the DNS cache can be
// tens of megabytes) goes at the next start, unless another run may still be
// writing it; nothing else of the data folder does.
TEST_F(EnvironmentTest, StartUpRemovesTheSaveLeftoversOfTheDataFolder) {
  const std::string data = tv::DataDir();
  const std::string cache = CLogCache::CacheFolder();
  tv::MakeDirs(cache);
  const std::vector<std::string> stale = {data + "dns_cache.dat.tmpAb3xZ9", data + "Trailvane.cfg.tmp000000",
                                          cache + "cache.cfg.tmpqwerty"};
  const std::vector<std::string> others = {data + "dns_cache.dat.tmpAb3xZ", data + "dns_cache.dat.tmp-b3xZ9",
                                           data + "notes.tmp", data + ".tmpAb3xZ9", data + "x.tmpAb3xZ9.bak"};
  for (const std::string& n : stale) tvtest::WriteFile(n, "left by a killed save");
  for (const std::string& n : others) tvtest::WriteFile(n, "not a leftover");
  // Left a day ago: no save is still writing it, whoever holds the folder.
  const std::string old = data + "dns_cache.dat.tmpOLD000";
  tvtest::WriteFile(old, "long dead");
  fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(24));
  {
    int other = open((tv::TempDir() + "run.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_SH), 0);
    ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
    CleanupEnvironment();
    close(other);
    for (const std::string& n : stale) EXPECT_TRUE(fs::exists(n)) << n;
    EXPECT_FALSE(fs::exists(old));
  }
  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  CleanupEnvironment();
  for (const std::string& n : stale) EXPECT_FALSE(fs::exists(n)) << n;
  for (const std::string& n : others) EXPECT_TRUE(fs::exists(n)) << n;
  for (const std::string& n : others) fs::remove(n);
}

}  // namespace

namespace {

TEST(EnvironmentSessions, CleanUpClosesAnOpenConnectionBeforeTheLastLine) {
  tvtest::TestServer server;
  std::string error;
  ASSERT_TRUE(server.Start("http_server.py", {}, &error)) << error;
  ASSERT_EQ(InitEnvironment(tv::ProgramDir().c_str()), 1);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/access.log";
  TransferParams params;
  params.url = url.c_str();
  ASSERT_EQ(ConnectToServer(kTransferHttp, params, 3), 1);
  CleanupEnvironment();
  const std::string log = tvtest::ReadFile(BugLogPath());
  const size_t closed = log.rfind("Closing existing HTTP session...");
  ASSERT_NE(closed, std::string::npos) << log;
  EXPECT_LT(closed, log.rfind("#SYS normal shutdown.#"));
  EXPECT_EQ(LastLine(log), "#SYS normal shutdown.#");
  // Nothing is left open for the end of the process.
  tvtest::MessageCapture capture;
  CloseInternetSessions();
  EXPECT_TRUE(capture.infos.empty());
}

}  // namespace
