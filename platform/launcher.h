// Opens a file or an address with the desktop's handler (xdg-open). Tests
// replace the launcher so no run ever opens a real browser or mail program.
#pragma once
#include <functional>
#include <string>

namespace tv {

// What became of a launch: 0 when the handler took the target, else the
// desktop opener's exit status (xdg-open: 1 bad arguments, 2 no such file,
// 3 no handler or tool found, 4 the handler failed).
enum LaunchStatus : int {
  kLaunchOpened = 0,
  kLaunchNoSuchFile = 2,
  kLaunchNoHandler = 3,  // also: the opener itself could not be started
  kLaunchFailed = 4,     // also: the opener was killed
};

// Learns the status of one launch, once, on whichever thread learnt it: the
// caller's when the answer is known at once, else another one.
using LaunchDone = std::function<void(int status)>;

// A launcher that answers at once: true when the target opened.
using LaunchFn = std::function<bool(const std::string& target)>;
// A launcher that answers later: calls done once, from any thread.
using AsyncLaunchFn = std::function<void(const std::string& target, LaunchDone done)>;

// How long the desktop's opener may run before the launch counts as opened:
// a handler started in the foreground keeps xdg-open running until it ends,
// while a missing handler or file makes it fail at once.
constexpr int kLaunchSettleMs = 3000;

// Hands `target` (a path, an http(s): or mailto: address) to the launcher in
// use and returns at once; done (may be empty) gets the status. The desktop's
// opener is waited for and reaped on a thread of its own, and an empty target
// fails at once with kLaunchNoSuchFile.
void Launch(const std::string& target, LaunchDone done);

// Replace the launcher; each returns the one it replaces, and an empty
// function takes it out again. While an answer-at-once launcher is set it is
// used; else the answer-later one; else the desktop's handler.
LaunchFn SetLauncher(LaunchFn fn);
AsyncLaunchFn SetAsyncLauncher(AsyncLaunchFn fn);

}  // namespace tv
