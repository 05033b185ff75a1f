// Hands work to the user-interface thread. Only that thread touches windows;
// other threads queue calls to it, and wait where they need the answer
// (an error box, a question).
#pragma once
#include <functional>

namespace tv {

// Runs fn on the UI thread and returns once it has finished; runs it at once
// when called on the UI thread. Queued calls run in the order they were made.
// False (fn not run) when there is no application to run it.
bool RunOnUiThread(const std::function<void()>& fn);

// Queues fn to run on the UI thread, after everything queued before it, and
// returns at once. False (fn dropped) when there is no application.
bool PostToUiThread(std::function<void()> fn);

}  // namespace tv
