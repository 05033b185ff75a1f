// Opening files and addresses from the windows: the launcher answers on a
// thread of its own, and the windows hear the answer on the UI thread.
#pragma once
#include <wx/string.h>

#include <functional>
#include <string>

#include "platform/launcher.h"

// A launch callback that runs then(status) on the UI thread: at once when
// the launcher answers on it, else queued to it. then may be copied and
// destroyed on the launcher's thread, so it must hold no window and no weak
// reference to one (see CHyperLink for a liveness flag instead).
tv::LaunchDone OnUiThread(std::function<void(int status)> then);

// Hands target to the launcher from the UI thread and returns at once;
// then(status) runs on the UI thread once the opener has answered.
void OpenFromUi(const std::string& target, std::function<void(int status)> then);

// A launch callback that hands report the failure message, on the UI thread,
// when the open failed; nothing when it opened.
tv::LaunchDone ReportFailure(std::function<void(const wxString& message)> report);
// Hands target to the launcher from the UI thread and returns at once; report
// hears of a failure as above.
void OpenOrReport(const std::string& target, std::function<void(const wxString& message)> report);

// The message for a launch that failed with that status: "Can't open link:"
// and the reason the shell would give.
wxString OpenFailureText(int status);
