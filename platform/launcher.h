// Opens a file or an address with the desktop's handler (xdg-open). Tests
// replace the launcher so no run ever opens a real browser or mail program.
#pragma once
#include <functional>
#include <string>

namespace tv {

using LaunchFn = std::function<bool(const std::string& target)>;

// Hands `target` (a path, an http(s): or mailto: address) to the launcher in
// use; false when it could not be started. Never waits for the handler.
bool Launch(const std::string& target);

// Replaces the launcher; returns the one it replaces. An empty function puts
// the desktop's handler back.
LaunchFn SetLauncher(LaunchFn fn);

}  // namespace tv
