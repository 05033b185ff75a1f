#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/launcher.h"
#include "tests/common/fakeopener.h"
#include "tests/common/testenv.h"

namespace {

using Clock = std::chrono::steady_clock;
using tvtest::FakeOpener;

long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Collects launch answers from whatever thread gives them.
struct Answers {
  struct Answer {
    int status = -1;
    long afterMs = 0;
    std::thread::id thread;
  };
  std::mutex mutex;
  std::condition_variable cv;
  std::map<std::string, Answer> got;
  std::map<std::string, int> calls;

  tv::LaunchDone For(const std::string& target, Clock::time_point start) {
    return [this, target, start](int status) {
      std::lock_guard<std::mutex> lock(mutex);
      got[target] = Answer{status, MsSince(start), std::this_thread::get_id()};
      ++calls[target];
      cv.notify_all();
    };
  }
  bool WaitFor(size_t count, int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return got.size() >= count; });
  }
};

// The desktop's opener decides by its exit status; the caller never waits for
// it, and every opener run is reaped, the one still running past the settle
// time too.
TEST(Launcher, TheDesktopOpenersExitStatusDecides) {
  FakeOpener opener;
  struct Case {
    const char* target;
    int status;
    long atLeastMs, atMostMs;
  } cases[] = {
      {FakeOpener::kOpens, tv::kLaunchOpened, 0, 2000},
      {FakeOpener::kMissing, tv::kLaunchNoSuchFile, 0, 2000},
      {FakeOpener::kNoHandler, tv::kLaunchNoHandler, 0, 2000},
      {FakeOpener::kSlowFail, tv::kLaunchFailed, 550, 2500},
      {FakeOpener::kKilled, tv::kLaunchFailed, 0, 2000},
      // Still running at the settle time: the handler took it.
      {FakeOpener::kForeground, tv::kLaunchOpened, tv::kLaunchSettleMs - 50, tv::kLaunchSettleMs + 1000},
  };
  ASSERT_EQ(tvtest::ChildProcesses(), 0);
  Answers answers;
  const Clock::time_point start = Clock::now();
  for (const Case& c : cases) tv::Launch(c.target, answers.For(c.target, start));
  EXPECT_LT(MsSince(start), 400) << "the caller waited for an opener";

  ASSERT_TRUE(answers.WaitFor(std::size(cases), tv::kLaunchSettleMs + 3000));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const Answers::Answer& a = answers.got[c.target];
    EXPECT_EQ(a.status, c.status);
    EXPECT_GE(a.afterMs, c.atLeastMs);
    EXPECT_LE(a.afterMs, c.atMostMs);
    EXPECT_NE(a.thread, std::this_thread::get_id());
    EXPECT_EQ(answers.calls[c.target], 1);
  }
  // The target reached the opener as its one argument.
  std::vector<std::string> calls = opener.Calls();
  std::sort(calls.begin(), calls.end());
  std::vector<std::string> expected;
  for (const Case& c : cases) expected.push_back(std::string("1|") + c.target);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(calls, expected);

  // The foreground one ends 4.5 s in; then nothing of ours is left, not even a zombie.
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(6);
  while (tvtest::ChildProcesses() != 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(tvtest::ChildProcesses(), 0);
}

TEST(Launcher, NoOpenerOrNoTargetFailsAtOnce) {
  const std::string empty = tvtest::NewDir("no-opener");
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", empty.c_str(), 1);
  std::vector<int> got;
  tv::Launch("https://trailvane.test/", [&](int status) { got.push_back(status); });
  setenv("PATH", oldPath.c_str(), 1);
  tv::Launch("", [&](int status) { got.push_back(status); });
  EXPECT_EQ(got, (std::vector<int>{tv::kLaunchNoHandler, tv::kLaunchNoSuchFile}));
  EXPECT_EQ(tvtest::ChildProcesses(), 0);
}

// Tests replace the launcher: one that answers at once goes before one that
// answers later, and taking both out puts the desktop's opener back.
TEST(Launcher, ReplacementsAnswerAndPutBack) {
  FakeOpener opener;
  std::vector<std::string> quick, later;
  tv::LaunchDone pending;
  tv::SetAsyncLauncher([&](const std::string& target, tv::LaunchDone done) {
    later.push_back(target);
    pending = std::move(done);
  });
  tv::LaunchFn before = tv::SetLauncher([&](const std::string& target) {
    quick.push_back(target);
    return target == "a";
  });
  std::vector<int> got;
  auto record = [&](int status) { got.push_back(status); };
  tv::Launch("a", record);
  tv::Launch("b", record);
  EXPECT_EQ(got, (std::vector<int>{tv::kLaunchOpened, tv::kLaunchNoHandler}));
  EXPECT_FALSE(before);
  EXPECT_TRUE(tv::SetLauncher(before));

  tv::Launch("c", record);
  EXPECT_EQ(later, std::vector<std::string>{"c"});
  EXPECT_EQ(got.size(), 2u) << "the answer comes when the launcher gives it";
  pending(tv::kLaunchFailed);
  EXPECT_EQ(got.back(), tv::kLaunchFailed);
  EXPECT_TRUE(tv::SetAsyncLauncher(nullptr));

  EXPECT_EQ(quick, (std::vector<std::string>{"a", "b"}));
  Answers answers;
  tv::Launch(FakeOpener::kOpens, answers.For("opens", Clock::now()));
  ASSERT_TRUE(answers.WaitFor(1, 5000));
  EXPECT_EQ(answers.got["opens"].status, tv::kLaunchOpened);
  EXPECT_EQ(opener.Calls(), std::vector<std::string>{std::string("1|") + FakeOpener::kOpens});
}

}  // namespace
