#include "platform/wx/uithread.h"

#include <wx/app.h>
#include <wx/thread.h>

#include <condition_variable>
#include <mutex>

namespace tv {

bool PostToUiThread(std::function<void()> fn) {
  wxAppConsole* app = wxAppConsole::GetInstance();
  if (!app) return false;
  // One queue for every caller keeps calls in order: a status line queued
  // before an error box appears before it.
  app->CallAfter(std::move(fn));
  return true;
}

bool RunOnUiThread(const std::function<void()>& fn) {
  if (wxIsMainThread()) {
    fn();
    return true;
  }
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool queued = PostToUiThread([&] {
    fn();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    cv.notify_all();
  });
  if (!queued) return false;
  std::unique_lock<std::mutex> lock(mutex);
  cv.wait(lock, [&] { return done; });
  return true;
}

}  // namespace tv
