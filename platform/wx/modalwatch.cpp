#include "platform/wx/modalwatch.h"

#include <dlfcn.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tv {

namespace {

struct Running {
  wxDialog* dialog;
  bool answered;
};

// UI thread only: dialogs run and return there.
std::vector<Running> s_running;
ModalGate s_gate;

class CModalWatch : public wxModalDialogHook {
 protected:
  int Enter(wxDialog* dialog) override {
    if (s_gate) {
      const int answer = s_gate(dialog);
      if (answer != wxID_NONE) return answer;
    }
    s_running.push_back({dialog, false});
    return wxID_NONE;
  }
  void Exit(wxDialog* dialog) override {
    auto it = std::find_if(s_running.rbegin(), s_running.rend(),
                           [dialog](const Running& r) { return r.dialog == dialog; });
    if (it != s_running.rend()) s_running.erase(std::next(it).base());
  }
};

std::unique_ptr<CModalWatch> s_watch;

const wxMessageDialogBase* AsMessageBox(const wxDialog* dialog) {
  return dynamic_cast<const wxMessageDialogBase*>(dialog);
}

// GTK's response ids, as gtkdialog.h numbers them; looked up in the GTK that
// wx has loaded, so the build needs no GTK headers.
constexpr int kGtkResponseOk = -5, kGtkResponseCancel = -6, kGtkResponseYes = -8, kGtkResponseNo = -9;

bool RespondNative(wxDialog* dialog, int answer) {
  using TypeFn = unsigned long (*)();
  using IsAFn = int (*)(void*, unsigned long);
  using RespondFn = void (*)(void*, int);
  static auto dialogType = reinterpret_cast<TypeFn>(dlsym(RTLD_DEFAULT, "gtk_dialog_get_type"));
  static auto isA = reinterpret_cast<IsAFn>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
  static auto respond = reinterpret_cast<RespondFn>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
  void* widget = dialog->GetHandle();
  if (!widget || !dialogType || !isA || !respond || !isA(widget, dialogType())) return false;
  const int response = answer == wxID_YES ? kGtkResponseYes
                       : answer == wxID_NO ? kGtkResponseNo
                       : answer == wxID_OK ? kGtkResponseOk
                                           : kGtkResponseCancel;
  respond(widget, response);
  return true;
}

}  // namespace

void InstallModalWatch() {
  if (s_watch) return;
  s_watch = std::make_unique<CModalWatch>();
  s_watch->Register();
}

int OpenModalDialogs() { return static_cast<int>(s_running.size()); }

int SafeAnswer(const wxDialog* dialog) {
  const wxMessageDialogBase* box = AsMessageBox(dialog);
  if (!box) return wxID_CANCEL;
  const long style = box->GetMessageDialogStyle();
  if (style & wxCANCEL) return wxID_CANCEL;
  if (style & wxNO) return wxID_NO;
  return wxID_OK;
}

bool MessageBoxText(const wxDialog* dialog, wxString* text, long* style) {
  const wxMessageDialogBase* box = AsMessageBox(dialog);
  if (!box) return false;
  *text = box->GetMessage();
  if (!box->GetExtendedMessage().empty()) *text += "\n" + box->GetExtendedMessage();
  *style = box->GetMessageDialogStyle();
  return true;
}

bool AnswerInnermostModal() {
  if (s_running.empty() || s_running.back().answered) return false;
  Running& top = s_running.back();
  const int answer = SafeAnswer(top.dialog);
  // A wx dialog runs a loop of wx's; a native message box runs GTK's own.
  if (top.dialog->IsModal()) top.dialog->EndModal(answer);
  else if (!RespondNative(top.dialog, answer)) return false;
  top.answered = true;
  return true;
}

void SetModalGate(ModalGate gate) { s_gate = std::move(gate); }

}  // namespace tv
