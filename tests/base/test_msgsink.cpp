#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/msgsink.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

void Trace(const char* t) { WriteBugLog(t); }

class BugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tv::ResetFolders();
    tvtest::Home();
    std::remove(BugLogPath().c_str());
    SetEngineTrace(Trace);
  }
  void TearDown() override { SetEngineTrace(nullptr); }
};

TEST_F(BugLogTest, WritesOneLineEachAndRuntimeErrorTwice) {
  tvtest::MessageCapture capture;
  WriteBugLog("already ends\n");
  WriteBugLog("");
  WriteBugLog(nullptr);
  EngineRuntimeError(157);
  EngineOutOfMemory(522);
  EngineProgress(5, 1);  // never traced
  EXPECT_EQ(tvtest::ReadFile(BugLogPath()),
            "already ends\nRuntime error #157\nRuntime error #157\nNot enough memory [522]\n");
  EXPECT_EQ(capture.errors, (std::vector<std::string>{"Runtime error #157", "Not enough memory [522]"}));
}

TEST_F(BugLogTest, SlotsReachCallbacksAndClearKeepsTrace) {
  {
    tvtest::MessageCapture capture;
    EngineInfo("status");
    EngineMessage("plain");
    EngineErrorF("bad %d", 7);
    EXPECT_EQ(capture.infos, std::vector<std::string>{"status"});
    EXPECT_EQ(capture.messages, std::vector<std::string>{"plain"});
    EXPECT_EQ(capture.errors, std::vector<std::string>{"bad 7"});
  }
  EngineInfo("after clear");
  EXPECT_EQ(tvtest::ReadFile(BugLogPath()), "status\nplain\nbad 7\nafter clear\n");
}

TEST_F(BugLogTest, ConcurrentWritersKeepWholeLines) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) WriteBugLog(("thread " + std::to_string(t) + " line " + std::to_string(i)).c_str());
    });
  for (auto& th : threads) th.join();
  std::string text = tvtest::ReadFile(BugLogPath());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1600);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    ASSERT_EQ(text.compare(start, 7, "thread "), 0) << text.substr(start, end - start);
    start = end + 1;
  }
}

TEST_F(BugLogTest, CrashLogDetection) {
  const char* banner = "Trailvane 3.02 (build 0299)";
  // No log: no crash report, a new log with the banner.
  EXPECT_EQ(CheckCrashLog(banner), "");
  EXPECT_EQ(tvtest::ReadFile(BugLogPath()), std::string(banner) + "\n");

  // The marker anywhere counts as a clean exit.
  tvtest::WriteFile(BugLogPath(), "x\n#SYS normal shutdown.#\nlater line\n");
  EXPECT_EQ(CheckCrashLog(banner), "");

  // No marker: a crash report mail with the old log as its body, CRLF line ends.
  tvtest::WriteFile(BugLogPath(), "banner\nlast words\n");
  std::string mail = CheckCrashLog(banner);
  ASSERT_NE(mail, "");
  std::string text = tvtest::ReadFile(mail);
  EXPECT_NE(text.find("Subject: [Trailvane 3.02 (build 0299)] Crash Report!\r\n"), std::string::npos);
  EXPECT_NE(text.find("X-Unsent: 1\r\n"), std::string::npos);
  EXPECT_NE(text.find("last words\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);
  EXPECT_EQ(tvtest::ReadFile(BugLogPath()), std::string(banner) + "\n");

  LogNormalShutdown();
  EXPECT_EQ(CheckCrashLog(banner), "");
}

// A FIFO where the log belongs is neither written nor waited on.
TEST_F(BugLogTest, FifoInPlaceOfTheLogDoesNotBlock) {
  ASSERT_EQ(mkfifo(BugLogPath().c_str(), 0600), 0);
  WriteBugLog("line");
  EXPECT_EQ(CheckCrashLog("banner"), "");
  struct stat st {};
  ASSERT_EQ(lstat(BugLogPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  std::remove(BugLogPath().c_str());
}

TEST_F(BugLogTest, SupportMailCarriesLabel) {
  std::string body = tvtest::Home() + "body.txt";
  tvtest::WriteFile(body, "abc");
  std::string mail = WriteSupportMail(body.c_str(), "Bug report", "subj");
  std::string text = tvtest::ReadFile(mail);
  EXPECT_NE(text.find("===============================================\r\n\r\n[Bug report]\r\nabc"), std::string::npos);
  EXPECT_EQ(WriteSupportMail((tvtest::Home() + "missing").c_str(), "", "s"), "");
}

}  // namespace
