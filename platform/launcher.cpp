#include "platform/launcher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <thread>

extern char** environ;

namespace tv {
namespace {

std::mutex g_mutex;
LaunchFn g_launcher;

bool XdgOpen(const std::string& target) {
  std::string prog = "xdg-open";
  char* argv[] = {prog.data(), const_cast<char*>(target.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  // Reap it off the caller's thread: xdg-open may wait for its handler.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

}  // namespace

bool Launch(const std::string& target) {
  if (target.empty()) return false;
  LaunchFn fn;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_launcher;
  }
  return fn ? fn(target) : XdgOpen(target);
}

LaunchFn SetLauncher(LaunchFn fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  LaunchFn old = std::move(g_launcher);
  g_launcher = std::move(fn);
  return old;
}

}  // namespace tv
