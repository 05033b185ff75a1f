#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/sources/logcache.h"
#include "engine/sources/remotelogs.h"
#include "engine/store/project.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/common/testenv.h"
#include "tests/servers/testserver.h"

namespace {

// Collects status texts, errors and progress steps.
struct Capture {
  static Capture* active;
  std::vector<std::string> infos, errors;
  std::vector<std::pair<uint32_t, uint32_t>> progress;
  std::function<void(uint32_t, uint32_t)> onProgress;

  Capture() {
    active = this;
    SetEngineCallbacks(nullptr, &OnError, nullptr, &OnInfo, nullptr, &OnProgress);
  }
  ~Capture() {
    ClearEngineCallbacks();
    active = nullptr;
  }
  static void OnInfo(const char* t) { active->infos.emplace_back(t ? t : ""); }
  static void OnError(const char* t) { active->errors.emplace_back(t ? t : ""); }
  static void OnProgress(uint32_t v, uint32_t m) {
    active->progress.emplace_back(v, m);
    if (active->onProgress) active->onProgress(v, m);
  }

  // Index of the first status text starting with the prefix, or -1.
  int Find(const std::string& prefix, int from = 0) const {
    for (size_t i = static_cast<size_t>(from); i < infos.size(); ++i)
      if (infos[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    return -1;
  }
  bool Has(const std::string& prefix) const { return Find(prefix) >= 0; }
  bool Mentions(const std::string& text) const {
    for (auto& i : infos)
      if (i.find(text) != std::string::npos) return true;
    for (auto& e : errors)
      if (e.find(text) != std::string::npos) return true;
    return false;
  }
  std::string All() const {
    std::string s;
    for (auto& i : infos) s += "  " + i + "\n";
    for (auto& e : errors) s += "  error: " + e + "\n";
    return s;
  }
};
Capture* Capture::active = nullptr;

void SetMtime(const std::string& path, time_t t) {
  timespec times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

ServerFileInfo DateOf(time_t t) {
  ServerFileInfo d;
  tv::CivilDate c = tv::CivilFromDays(t / 86400);
  d.year = static_cast<uint16_t>(c.year);
  d.month = static_cast<uint8_t>(c.month);
  d.day = static_cast<uint8_t>(c.day);
  d.seconds = static_cast<uint32_t>(t % 86400);
  return d;
}

std::map<std::string, ServerFileInfo> ByName(const CServerFileList& list) {
  std::map<std::string, ServerFileInfo> m;
  for (int i = 0; i < list.Count(); ++i) m[list[i].name] = list[i];
  return m;
}

void ExpectDate(const ServerFileInfo& got, const ServerFileInfo& want) {
  EXPECT_EQ(got.year, want.year);
  EXPECT_EQ(got.month, want.month);
  EXPECT_EQ(got.day, want.day);
  EXPECT_EQ(got.seconds, want.seconds);
}

// 2023-03-04 05:06:07 UTC: old enough to be listed with its year.
const time_t kOldTime = 1677906367;

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearStop();
    SetTransferTimeout(3000);
  }
  void TearDown() override {
    CloseInternetSessions();
    ClearStop();
    SetTransferTimeout(30000);
    SetTransferLowSpeed(1024, 60000);
    SetTransferDeadline(0);
  }
  TransferParams Ftp(const std::string& server, int port, const char* user, const char* password) {
    m_server = server;
    TransferParams p;
    p.server = m_server.c_str();
    p.port = static_cast<uint16_t>(port);
    p.user = user;
    p.password = password;
    p.passive = true;
    return p;
  }
  TransferParams Http(const std::string& url) {
    m_url = url;
    TransferParams p;
    p.url = m_url.c_str();
    return p;
  }
  std::string m_server, m_url;
};

// ---------------------------------------------------------------------------
// FTP

class FtpTest : public TransferTest {
 protected:
  static void SetUpTestSuite() {
    root = tvtest::NewDir("ftp-root");
    control = tvtest::NewDir("ftp-control");
    std::string logs = root + "alice/logs/";
    std::filesystem::create_directories(logs + "archive.log");
    std::filesystem::create_directories(root + "alice/odd/sub");
    std::filesystem::create_directories(root + "anon");
    access = std::string(3000, 'a') + "\n";
    tvtest::WriteFile(logs + "access.log", access);
    tvtest::WriteFile(logs + "error.log", "err\n");
    tvtest::WriteFile(logs + "with blank.log", "blank\n");
    tvtest::WriteFile(logs + "notes.txt", "notes\n");
    tvtest::WriteFile(logs + "cut.log", std::string(5000, 'c'));
    tvtest::WriteFile(logs + "archive.log/inner.log", "inner\n");
    tvtest::WriteFile(root + "alice/odd/mystery.log", "mystery\n");
    tvtest::WriteFile(root + "anon/pub.log", "pub\n");
    std::filesystem::create_symlink("access.log", logs + "current.log");
    SetMtime(logs + "access.log", kOldTime);
    SetMtime(root + "alice/odd/mystery.log", kOldTime + 1);
    recent = time(nullptr) / 60 * 60 - 2 * 86400;
    SetMtime(logs + "error.log", recent);
    server = new tvtest::TestServer;
    if (!server->Start("ftp_server.py", {"--root", root, "--control", control}, &startError)) port = 0;
    else port = server->Port();
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    TransferTest::SetUp();
    ASSERT_GT(port, 0) << startError;
  }
  TransferParams Alice() { return Ftp("127.0.0.1", port, "alice", "secret"); }

  static std::string root, control, access, startError;
  static time_t recent;
  static int port;
  static tvtest::TestServer* server;
};
std::string FtpTest::root, FtpTest::control, FtpTest::access, FtpTest::startError;
time_t FtpTest::recent = 0;
int FtpTest::port = 0;
tvtest::TestServer* FtpTest::server = nullptr;

TEST_F(FtpTest, ListsMatchingFilesWithSizesAndDatesButNoFolders) {
  Capture cap;
  ASSERT_EQ(ConnectToServer(kTransferFtp, Alice(), 10), 1) << cap.All();
  EXPECT_TRUE(cap.Has("Connecting to: 127.0.0.1 (Attempt 1 of 10)"));
  EXPECT_TRUE(cap.Has("Successfully connected to: '127.0.0.1'."));
  EXPECT_TRUE(cap.Has("Connected to server!"));

  CServerFileList list;
  ASSERT_EQ(getServerFiles(list, "logs/", "*.log"), 1) << cap.All();
  auto files = ByName(list);
  std::vector<std::string> names;
  for (auto& [name, info] : files) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"access.log", "current.log", "cut.log", "error.log", "with blank.log"}));
  EXPECT_TRUE(cap.Has("Mask: *.log, Dir: logs/"));
  EXPECT_TRUE(cap.Has("Found files: 5"));

  // Listed with its year only.
  EXPECT_EQ(files["access.log"].size, access.size());
  ServerFileInfo old = DateOf(kOldTime);
  old.seconds = 0;
  ExpectDate(files["access.log"], old);
  ExpectDate(files["error.log"], DateOf(recent));
  // A link: the size and date of the file behind it, to the second.
  EXPECT_EQ(files["current.log"].size, access.size());
  ExpectDate(files["current.log"], DateOf(kOldTime));

  // The folder listed last stays the current one; "/" starts from the root.
  ASSERT_EQ(getServerFiles(list, nullptr, "*.txt"), 1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].name, "notes.txt");
  ASSERT_EQ(getServerFiles(list, "/logs", nullptr), 1);
  EXPECT_EQ(list.Count(), 6);
  EXPECT_EQ(ByName(list).count("archive.log"), 0u);

  cap.infos.clear();
  EXPECT_EQ(CloseInternetSessions(), 1);
  EXPECT_EQ(cap.infos.front(), "Closing existing FTP session...");
  EXPECT_EQ(cap.infos.back(), "Closing existing Internet Session...");
  EXPECT_FALSE(cap.Has("Closing existing HTTP session..."));
}

TEST_F(FtpTest, FallsBackToNamesSizesAndDatesWhenTheListingIsUnreadable) {
  Capture cap;
  ASSERT_EQ(ConnectToServer(kTransferFtp, Alice(), 1), 1) << cap.All();
  CServerFileList list;
  ASSERT_EQ(getServerFiles(list, "/odd/", nullptr), 1) << cap.All();
  ASSERT_EQ(list.Count(), 1) << cap.All();  // the folder "sub" has no size
  EXPECT_EQ(list[0].name, "mystery.log");
  EXPECT_EQ(list[0].size, 8u);
  ExpectDate(list[0], DateOf(kOldTime + 1));
}

TEST_F(FtpTest, DownloadsListedFilesWithProgress) {
  Capture cap;
  ASSERT_EQ(ConnectToServer(kTransferFtp, Alice(), 1), 1);
  CServerFileList list;
  ASSERT_EQ(getServerFiles(list, "logs/", "*.log"), 1);
  std::string dir = tvtest::NewDir("ftp-download");

  ASSERT_TRUE(DownloadRemoteFile("with blank.log", 6, (dir + "blank").c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "blank"), "blank\n");

  cap.progress.clear();
  uint32_t size = static_cast<uint32_t>(access.size());
  ASSERT_TRUE(DownloadRemoteFile("access.log", size, (dir + "access").c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "access"), access);
  ASSERT_GE(cap.progress.size(), 3u);
  EXPECT_EQ(cap.progress.front(), std::make_pair(size, 1u));
  EXPECT_EQ(cap.progress[cap.progress.size() - 2], std::make_pair(size, 0u));
  EXPECT_EQ(cap.progress.back(), std::make_pair(0u, 0u));
  EXPECT_TRUE(cap.Has("Downloading the file 'access.log'."));
  EXPECT_TRUE(cap.Has("Target file: " + dir + "access"));
  EXPECT_TRUE(cap.Has("Finished!"));
}

TEST_F(FtpTest, FailedDownloadsLeaveNoFile) {
  Capture cap;
  ASSERT_EQ(ConnectToServer(kTransferFtp, Alice(), 1), 1);
  CServerFileList list;
  ASSERT_EQ(getServerFiles(list, "logs/", nullptr), 1);
  std::string dir = tvtest::NewDir("ftp-failed");
  // Broken off by the server, missing, outside the folder, a folder.
  for (const char* name : {"cut.log", "missing.log", "../../etc/passwd", "archive.log"}) {
    SCOPED_TRACE(name);
    std::string target = dir + "target";
    EXPECT_FALSE(DownloadRemoteFile(name, 0, target.c_str(), nullptr)) << cap.All();
    EXPECT_FALSE(tv::FileExists(target));
  }
  // A shorter file than the listing promised is no copy either.
  EXPECT_FALSE(DownloadRemoteFile("error.log", 400, (dir + "short").c_str(), nullptr));
  EXPECT_FALSE(tv::FileExists(dir + "short"));
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  // The connection still works afterwards.
  EXPECT_TRUE(DownloadRemoteFile("error.log", 4, (dir + "ok").c_str(), nullptr)) << cap.All();
}

// A server that sends its listing a few bytes a second would keep the load
// alive for ever under a one-byte-a-second rule; under the low-speed limit
// (shortened here from a minute to a second) the listing fails.
TEST_F(FtpTest, TrickledListingFailsUnderTheLowSpeedLimit) {
  Capture cap;
  SetTransferLowSpeed(1024, 1000);
  ASSERT_EQ(ConnectToServer(kTransferFtp, Ftp("127.0.0.1", port, "slow", "slow"), 1), 1) << cap.All();
  auto t0 = std::chrono::steady_clock::now();
  CServerFileList list;
  EXPECT_EQ(getServerFiles(list, "logs/", "*.log"), 0) << cap.All();
  double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  printf("[ timing ] trickled listing given up after %.1f s\n", took);
  EXPECT_LT(took, 20.0);
  EXPECT_NE(LastTransferFailure().find("below 1024 bytes a second for 1 s"), std::string::npos) << cap.All();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(FtpTest, AnonymousAndFirewallLogins) {
  Capture cap;
  CServerFileList list;
  // No user name: anonymous, into its own folder.
  ASSERT_EQ(ConnectToServer(kTransferFtp, Ftp("127.0.0.1", port, nullptr, "ignored"), 1), 1) << cap.All();
  ASSERT_EQ(getServerFiles(list, nullptr, nullptr), 1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].name, "pub.log");

  // Through a firewall the user name names the server (with its port unless 21);
  // the server itself is never looked up.
  struct Case {
    const char* server;
    int serverPort;
    const char* user;
    const char* password;
  };
  const Case cases[] = {
      {"logs.example", 2121, "fwuser", "fwpass"},       // fwuser@logs.example:2121
      {"ftp://logs.example/", 21, "fwuser", "fwpass"},  // fwuser@logs.example
      {"logs.example:2121", 21, "fwuser", "fwpass"},    // the port written in the address counts
      {"logs.example", 0, nullptr, nullptr},            // anonymous@logs.example
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    TransferParams p = Ftp(c.server, c.serverPort, c.user, c.password);
    p.useFirewall = true;
    p.firewall = "127.0.0.1";
    p.firewallPort = static_cast<uint16_t>(port);
    p.passiveFirewall = true;
    p.passive = false;
    ASSERT_EQ(ConnectToServer(kTransferFtp, p, 1), 1) << cap.All();
    EXPECT_TRUE(cap.Has("Successfully connected to: '127.0.0.1'."));
    ASSERT_EQ(getServerFiles(list, "logs/", "access.log"), 1);
    EXPECT_EQ(list.Count(), 1);
  }

  CloseInternetSessions();
  TransferParams p = Alice();
  p.useFirewall = true;
  p.firewall = "";
  cap.infos.clear();
  EXPECT_EQ(ConnectToServer(kTransferFtp, p, 3), 0);
  EXPECT_EQ(cap.infos, (std::vector<std::string>{"Please enter a valid name of firewall.", "Connection could not be made."}));
}

TEST_F(FtpTest, PortInTheAddressAndActiveMode) {
  Capture cap;
  TransferParams p = Ftp("ftp://127.0.0.1:" + std::to_string(port), 21, "alice", "secret");
  p.passive = false;
  ASSERT_EQ(ConnectToServer(kTransferFtp, p, 1), 1) << cap.All();
  std::string target = tvtest::NewDir("ftp-active") + "error";
  CServerFileList list;
  ASSERT_EQ(getServerFiles(list, "logs/", nullptr), 1);
  EXPECT_TRUE(DownloadRemoteFile("error.log", 4, target.c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(target), "err\n");
}

TEST_F(FtpTest, RefusedLoginIsNotRetried) {
  Capture cap;
  EXPECT_EQ(ConnectToServer(kTransferFtp, Ftp("127.0.0.1", port, "alice", "wrongpass"), 10), 0);
  EXPECT_TRUE(cap.Has("Connecting to: 127.0.0.1 (Attempt 1 of 10)"));
  EXPECT_FALSE(cap.Has("Connecting to: 127.0.0.1 (Attempt 2 of 10)")) << cap.All();
  EXPECT_TRUE(cap.Has("530 ")) << cap.All();
  EXPECT_EQ(cap.infos.back(), "Connection could not be made.");
  EXPECT_FALSE(cap.Mentions("wrongpass"));
}

TEST_F(FtpTest, DroppedConnectionIsTriedAgain) {
  Capture cap;
  tvtest::WriteFile(control + "drop", "");
  ASSERT_EQ(ConnectToServer(kTransferFtp, Alice(), 10), 1) << cap.All();
  EXPECT_FALSE(tv::FileExists(control + "drop"));
  int first = cap.Find("Connecting to: 127.0.0.1 (Attempt 1 of 10)");
  int second = cap.Find("Connecting to: 127.0.0.1 (Attempt 2 of 10)");
  int done = cap.Find("Successfully connected to: '127.0.0.1'.");
  ASSERT_GE(first, 0) << cap.All();
  ASSERT_GT(second, first);
  EXPECT_GT(done, second);
  // The failure is told between the two attempts, by libcurl's own words.
  bool told = false;
  for (int i = first + 1; i < second; ++i) told |= cap.infos[i].find("Connect") != 0 && cap.infos[i].find("Clos") != 0;
  EXPECT_TRUE(told) << cap.All();
  EXPECT_FALSE(cap.Mentions("secret"));
}

TEST_F(FtpTest, StopEndsTheAttempts) {
  Capture cap;
  RequestStop();
  EXPECT_EQ(ConnectToServer(kTransferFtp, Alice(), 10), 0);
  EXPECT_FALSE(cap.Has("Connecting to:"));
  EXPECT_EQ(cap.infos.back(), "Connection could not be made.");
}

// ---------------------------------------------------------------------------
// No server, or one that never answers

TEST_F(TransferTest, UnreachableAndSilentServersFailQuickly) {
  Capture cap;
  int closed = tvtest::ClosedPort();
  ASSERT_GT(closed, 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectToServer(kTransferFtp, Ftp("127.0.0.1", closed, "alice", "secret"), 3), 0);
  EXPECT_TRUE(cap.Has("Connecting to: 127.0.0.1 (Attempt 3 of 3)"));
  EXPECT_EQ(cap.infos.back(), "Connection could not be made.");

  // Accepts the connection and says nothing: the time-out ends it.
  tvtest::SilentListener silent;
  ASSERT_GT(silent.port(), 0);
  SetTransferTimeout(500);
  cap.infos.clear();
  EXPECT_EQ(ConnectToServer(kTransferFtp, Ftp("127.0.0.1", silent.port(), "alice", "secret"), 1), 0);
  EXPECT_EQ(cap.infos.back(), "Connection could not be made.");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

TEST_F(TransferTest, BadAddressesAreRefusedBeforeAnyAttempt) {
  Capture cap;
  for (const char* server : {"", "ftp://", "ftp://127.0.0.1:99999", "ftp://127.0.0.1:x", "http://127.0.0.1:1",
                             "ftp://bad host", "ftp://[::1"}) {
    SCOPED_TRACE(server);
    cap.infos.clear();
    EXPECT_EQ(ConnectToServer(kTransferFtp, Ftp(server, 21, "alice", "secret"), 3), 0);
    EXPECT_TRUE(cap.Has("Please enter a valid URL.")) << cap.All();
    EXPECT_FALSE(cap.Has("Connecting to:"));
  }
  for (const char* url : {"", "http://", "http://127.0.0.1:0/x"}) {
    SCOPED_TRACE(url);
    cap.infos.clear();
    EXPECT_EQ(ConnectToServer(kTransferHttp, Http(url), 3), 0);
    EXPECT_TRUE(cap.Has("Please enter a valid URL."));
  }
}

TEST_F(TransferTest, NothingToDoWithoutAConnection) {
  Capture cap;
  CServerFileList list;
  EXPECT_EQ(getServerFiles(list, "logs/", "*.log"), 0);
  uint32_t size = 7;
  ServerFileInfo date;
  EXPECT_EQ(OpenRemoteFile("http://127.0.0.1/x.log", &size, &date), nullptr);
  EXPECT_EQ(size, 0u);
  std::string target = tvtest::NewDir("no-connection") + "x";
  EXPECT_FALSE(DownloadRemoteFile("x.log", 0, target.c_str(), nullptr));
  EXPECT_FALSE(tv::FileExists(target));
  CloseRemoteFile(nullptr);
  EXPECT_EQ(CloseInternetSessions(), 1);
  EXPECT_FALSE(cap.Has("Closing existing"));
}

TEST(TransferSession, StatusTexts) {
  Capture cap;
  CTransferSession session;
  for (int status : {10, 11, 20, 21, 30, 31, 40, 41, 50, 51, 60, 70, 100, 110, 200, 7})
    session.OnStatusCallback(status, "logs.example");
  EXPECT_EQ(cap.infos, (std::vector<std::string>{
                           "resolving name for logs.example", "resolved name for logs.example!",
                           "Connecting to server...", "Connected to server!", "Closing connection...",
                           "Connection close!", "Connection created!", "Closing Connection...", "request complete",
                           "Redirected to URL", "Busy", "Unknown status: 7"}));
}

TEST(TransferSession, ParamsOfALogSource) {
  CLogSource s;
  s.type = kSourceFtp;
  SetStr(&s.user, "alice");
  SetStr(&s.psw, "pw");
  s.prop = 1 | 4 | 16;
  TransferParams p = TransferParamsOf(s);
  EXPECT_EQ(p.user, nullptr);
  EXPECT_TRUE(p.useFirewall && p.passiveFirewall);
  EXPECT_FALSE(p.passive || p.useProxy);
  s.type = kSourceHttp;
  s.prop = 2 | 8 | 16;
  p = TransferParamsOf(s);
  EXPECT_STREQ(p.user, "alice");
  EXPECT_TRUE(p.passive && p.useProxy);
  EXPECT_FALSE(p.useFirewall);
}

// ---------------------------------------------------------------------------
// HTTP

std::string AccessBody() {
  std::string s;
  char line[128];
  for (int i = 0; i < 200; ++i) {
    snprintf(line, sizeof line, "127.0.0.1 - - [07/Mar/2023:10:20:%02d +0000] \"GET /p%d HTTP/1.0\" 200 12\n", i % 60, i);
    s += line;
  }
  return s;
}

class HttpTest : public TransferTest {
 protected:
  static void SetUpTestSuite() {
    server = new tvtest::TestServer;
    port = server->Start("http_server.py", {}, &startError) ? server->Port() : 0;
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    TransferTest::SetUp();
    ASSERT_GT(port, 0) << startError;
    dir = tvtest::NewDir("http");
  }
  std::string Url(const std::string& path) { return "http://127.0.0.1:" + std::to_string(port) + path; }

  std::string dir;
  static std::string startError;
  static int port;
  static tvtest::TestServer* server;
};
std::string HttpTest::startError;
int HttpTest::port = 0;
tvtest::TestServer* HttpTest::server = nullptr;

TEST_F(HttpTest, GetGivesLengthDateAndBody) {
  Capture cap;
  std::string url = Url("/access.log");
  ASSERT_EQ(ConnectToServer(kTransferHttp, Http(url), 10), 1) << cap.All();
  uint32_t size = 0;
  ServerFileInfo date;
  CHttpFile* file = OpenRemoteFile(url.c_str(), &size, &date);
  ASSERT_NE(file, nullptr) << cap.All();
  std::string body = AccessBody();
  EXPECT_EQ(size, body.size());
  EXPECT_EQ(date.year, 2023);
  EXPECT_EQ(date.month, 3);
  EXPECT_EQ(date.day, 7);
  EXPECT_EQ(date.seconds, 10u * 3600 + 20 * 60 + 30);

  ASSERT_TRUE(DownloadRemoteFile(url.c_str(), size, (dir + "access").c_str(), file)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "access"), body);
  // Progress in kilobytes.
  ASSERT_GE(cap.progress.size(), 3u);
  EXPECT_EQ(cap.progress.front(), std::make_pair(size / 1024, 1u));
  EXPECT_EQ(cap.progress[cap.progress.size() - 2], std::make_pair(size / 1024, 0u));
  EXPECT_EQ(cap.progress.back(), std::make_pair(0u, 0u));

  // The same connection serves the next request, here one the download opens itself.
  EXPECT_TRUE(DownloadRemoteFile(url.c_str(), 0, (dir + "again").c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "again"), body);
}

TEST_F(HttpTest, ReplyWithoutLengthOrDate) {
  Capture cap;
  std::string url = Url("/nolength.log");
  ASSERT_EQ(ConnectToServer(kTransferHttp, Http(url), 1), 1);
  uint32_t size = 99;
  ServerFileInfo date;
  date.year = 1999;
  CHttpFile* file = OpenRemoteFile(url.c_str(), &size, &date);
  ASSERT_NE(file, nullptr) << cap.All();
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(date.PackedDate(), 0u);
  ASSERT_TRUE(DownloadRemoteFile(url.c_str(), size, (dir + "nolength").c_str(), file)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "nolength").size(), 1500u);
  EXPECT_EQ(cap.progress, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}}));
}

TEST_F(HttpTest, ErrorRepliesAndBrokenBodiesAreFailures) {
  Capture cap;
  ASSERT_EQ(ConnectToServer(kTransferHttp, Http(Url("/")), 1), 1);
  uint32_t size = 0;
  ServerFileInfo date;
  EXPECT_EQ(OpenRemoteFile(Url("/missing.log").c_str(), &size, &date), nullptr);
  EXPECT_TRUE(cap.Mentions("404")) << cap.All();
  EXPECT_EQ(OpenRemoteFile(Url("/private.log").c_str(), &size, &date), nullptr);
  EXPECT_TRUE(cap.Mentions("401")) << cap.All();
  for (const char* path : {"/missing.log", "/private.log", "/cut.log"}) {
    SCOPED_TRACE(path);
    std::string target = dir + "target";
    EXPECT_FALSE(DownloadRemoteFile(Url(path).c_str(), 0, target.c_str(), nullptr)) << cap.All();
    EXPECT_FALSE(tv::FileExists(target));
  }
  // Still usable after the failures.
  EXPECT_NE(OpenRemoteFile(Url("/access.log").c_str(), &size, &date), nullptr) << cap.All();
}

// A trickling body fails under the low-speed limit, a steady one that would
// outlast the unattended run's deadline at the deadline; a quick one under
// the same limits arrives whole.
TEST_F(HttpTest, TrickledBodyAndTheDeadlineEndTheDownload) {
  struct Case {
    const char* path;
    uint32_t lowBytes, lowMs, deadlineMs;
    const char* why;  // "" when the download succeeds
  };
  const Case cases[] = {
      {"/access.log", 1024, 1000, 5000, ""},
      {"/trickle.log", 1024, 1000, 0, "below 1024 bytes a second for 1 s"},
      {"/slow.log", 0, 0, 1500, "the time allowed for the transfers ran out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Capture cap;
    SetTransferLowSpeed(c.lowBytes, c.lowMs);
    SetTransferDeadline(c.deadlineMs);
    ASSERT_EQ(ConnectToServer(kTransferHttp, Http(Url("/")), 1), 1) << cap.All();
    std::string target = dir + "target";
    auto t0 = std::chrono::steady_clock::now();
    bool ok = DownloadRemoteFile(Url(c.path).c_str(), 0, target.c_str(), nullptr);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    printf("[ timing ] %s ended after %.1f s\n", c.path, took);
    CloseInternetSessions();
    if (!*c.why) {
      EXPECT_TRUE(ok) << cap.All();
      EXPECT_EQ(tvtest::ReadFile(target), AccessBody());
      continue;
    }
    EXPECT_FALSE(ok);
    EXPECT_LT(took, 20.0);
    EXPECT_FALSE(tv::FileExists(target));
    EXPECT_NE(LastTransferFailure().find(c.why), std::string::npos) << cap.All();
    EXPECT_TRUE(cap.Mentions(c.why)) << cap.All();
  }
}

TEST_F(HttpTest, CredentialsRedirectAndProxy) {
  Capture cap;
  TransferParams p = Http(Url("/private.log"));
  p.user = "bob";
  p.password = "s3cret";
  ASSERT_EQ(ConnectToServer(kTransferHttp, p, 1), 1);
  ASSERT_TRUE(DownloadRemoteFile(Url("/private.log").c_str(), 0, (dir + "private").c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "private"), "private log\n");
  EXPECT_FALSE(cap.Mentions("s3cret"));

  ASSERT_TRUE(DownloadRemoteFile(Url("/moved.log").c_str(), 0, (dir + "moved").c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "moved"), AccessBody());
  EXPECT_TRUE(cap.Has("Redirected to URL"));

  // Through the proxy the server is named, not looked up.
  std::string url = "http://logs.example/access.log";
  p = Http(url);
  p.useProxy = true;
  p.proxy = "127.0.0.1";
  p.proxyPort = static_cast<uint16_t>(port);
  ASSERT_EQ(ConnectToServer(kTransferHttp, p, 1), 1);
  ASSERT_TRUE(DownloadRemoteFile(url.c_str(), 0, (dir + "proxied").c_str(), nullptr)) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "proxied"), "proxied " + url + "\n");
}

TEST_F(HttpTest, ProxyOfTheEnvironmentIsNotUsed) {
  Capture cap;
  // Were these honoured, the server would answer as a proxy.
  std::string proxy = "http://127.0.0.1:" + std::to_string(port);
  for (const char* var : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) setenv(var, proxy.c_str(), 1);
  std::string url = Url("/private.log");
  TransferParams p = Http(url);
  p.user = "bob";
  p.password = "s3cret";
  bool connected = ConnectToServer(kTransferHttp, p, 1) == 1;
  bool fetched = connected && DownloadRemoteFile(url.c_str(), 0, (dir + "direct").c_str(), nullptr);
  for (const char* var : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(var);
  ASSERT_TRUE(fetched) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(dir + "direct"), "private log\n");
}

TEST_F(HttpTest, StopDuringADownloadRemovesTheTarget) {
  Capture cap;
  std::string url = Url("/slow.log");
  ASSERT_EQ(ConnectToServer(kTransferHttp, Http(url), 1), 1);
  uint32_t size = 0;
  ServerFileInfo date;
  CHttpFile* file = OpenRemoteFile(url.c_str(), &size, &date);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(size, 100000u);
  cap.onProgress = [](uint32_t value, uint32_t mode) {
    if (mode == 0 && value >= 1) RequestStop();
  };
  auto start = std::chrono::steady_clock::now();
  std::string target = dir + "slow";
  EXPECT_FALSE(DownloadRemoteFile(url.c_str(), size, target.c_str(), file));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(tv::FileExists(target));
  EXPECT_TRUE(cap.Has("Finished(stop)"));
  EXPECT_FALSE(cap.Has("Finished!"));
  EXPECT_EQ(cap.progress.back(), std::make_pair(0u, 0u));
}

TEST_F(HttpTest, UnreachableServerFailsAtTheRequest) {
  Capture cap;
  std::string url = "http://127.0.0.1:" + std::to_string(tvtest::ClosedPort()) + "/access.log";
  ASSERT_EQ(ConnectToServer(kTransferHttp, Http(url), 10), 1);
  uint32_t size = 0;
  ServerFileInfo date;
  EXPECT_EQ(OpenRemoteFile(url.c_str(), &size, &date), nullptr);
  EXPECT_TRUE(cap.Mentions("127.0.0.1")) << cap.All();
}

TEST_F(HttpTest, FailedDownloadLeavesNoCacheRecord) {
  Capture cap;
  CLogCache cache;
  ASSERT_EQ(ConnectToServer(kTransferHttp, Http(Url("/")), 1), 1);
  std::string good = Url("/access.log"), cut = Url("/cut.log");
  std::string goodCopy = cache.AddToCache(good.c_str(), 1, 0x07E70307, 5);
  ASSERT_TRUE(DownloadRemoteFile(good.c_str(), 0, goodCopy.c_str(), nullptr));
  std::string cutCopy = cache.AddToCache(cut.c_str(), 4000, 0x07E70307, 5);
  EXPECT_FALSE(DownloadRemoteFile(cut.c_str(), 4000, cutCopy.c_str(), nullptr));
  EXPECT_FALSE(tv::FileExists(cutCopy));
  ASSERT_EQ(cache.SaveCacheIndex(), 1);

  CLogCache reread;
  ASSERT_EQ(reread.LoadCacheIndex(), 1);
  ASSERT_EQ(reread.Count(), 1);
  EXPECT_EQ(std::string(reread.Record(0)->sfile), good);
  EXPECT_EQ(reread.FindCachedCopy(cut.c_str(), 0, 0, 0, 0), "");
  cache.ClearCache();
}

}  // namespace
