#include "platform/launcher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

extern char** environ;

namespace tv {
namespace {

std::mutex g_mutex;
LaunchFn g_launcher;
AsyncLaunchFn g_asyncLauncher;

int StatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  return kLaunchFailed;
}

// Runs on its own thread: reports the opener's exit status, or success once
// it has run past the settle time, and reaps it in every case.
void AwaitOpener(pid_t pid, LaunchDone done) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point settled = Clock::now() + std::chrono::milliseconds(kLaunchSettleMs);
  std::chrono::milliseconds pause(2);
  for (;;) {
    int waitStatus = 0;
    const pid_t r = waitpid(pid, &waitStatus, WNOHANG);
    if (r == pid) {
      if (done) done(StatusOf(waitStatus));
      return;
    }
    if (r < 0 && errno != EINTR) {
      // Reaped behind our back (SIGCHLD ignored): the status is lost, and
      // nothing said it failed.
      if (done) done(kLaunchOpened);
      return;
    }
    if (Clock::now() >= settled) break;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  if (done) done(kLaunchOpened);
  done = nullptr;
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

void XdgOpen(const std::string& target, LaunchDone done) {
  std::string prog = "xdg-open";
  char* argv[] = {prog.data(), const_cast<char*>(target.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv, environ) != 0) {
    if (done) done(kLaunchNoHandler);
    return;
  }
  std::thread(AwaitOpener, pid, std::move(done)).detach();
}

}  // namespace

void Launch(const std::string& target, LaunchDone done) {
  if (target.empty()) {
    if (done) done(kLaunchNoSuchFile);
    return;
  }
  LaunchFn now;
  AsyncLaunchFn later;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    now = g_launcher;
    later = g_asyncLauncher;
  }
  if (now) {
    const bool opened = now(target);
    if (done) done(opened ? kLaunchOpened : kLaunchNoHandler);
  } else if (later) {
    later(target, std::move(done));
  } else {
    XdgOpen(target, std::move(done));
  }
}

LaunchFn SetLauncher(LaunchFn fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  LaunchFn old = std::move(g_launcher);
  g_launcher = std::move(fn);
  return old;
}

AsyncLaunchFn SetAsyncLauncher(AsyncLaunchFn fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  AsyncLaunchFn old = std::move(g_asyncLauncher);
  g_asyncLauncher = std::move(fn);
  return old;
}

}  // namespace tv
