#include "ui/widgets/opener.h"

#include <wx/thread.h>

#include "platform/wx/uithread.h"
#include "ui/widgets/hyperlink.h"

namespace {

// The shell's error codes the desktop opener's failures amount to.
constexpr int kFileNotFound = 2;
constexpr int kNoAssociation = 31;

}  // namespace

tv::LaunchDone OnUiThread(std::function<void(int status)> then) {
  return [then = std::move(then)](int status) {
    if (!then) return;
    if (wxIsMainThread()) then(status);
    else tv::PostToUiThread([then, status] { then(status); });
  };
}

void OpenFromUi(const std::string& target, std::function<void(int status)> then) {
  tv::Launch(target, OnUiThread(std::move(then)));
}

tv::LaunchDone ReportFailure(std::function<void(const wxString& message)> report) {
  return OnUiThread([report = std::move(report)](int status) {
    if (status != tv::kLaunchOpened && report) report(OpenFailureText(status));
  });
}

void OpenOrReport(const std::string& target, std::function<void(const wxString& message)> report) {
  tv::Launch(target, ReportFailure(std::move(report)));
}

wxString OpenFailureText(int status) {
  return CHyperLink::ErrorText(status == tv::kLaunchNoSuchFile ? kFileNotFound : kNoAssociation);
}
