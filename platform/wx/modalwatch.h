// Every modal dialog of the process while it runs: wx's own dialogs and the
// native GTK message boxes alike. The program's end answers them instead of
// destroying windows under their loops, and the unattended runs let none wait
// for a person.
#pragma once
#include <functional>

class wxDialog;
class wxString;

namespace tv {

// Once per process, on the UI thread, after the application exists.
void InstallModalWatch();

// How many modal dialogs are running now (nested ones count each).
int OpenModalDialogs();

// The answer that loses nothing: Cancel where there is one, else No, else OK.
int SafeAnswer(const wxDialog* dialog);
// A message box's text (with its extended text) and style; false for other dialogs.
bool MessageBoxText(const wxDialog* dialog, wxString* text, long* style);

// Gives the innermost running dialog its safe answer. False when none runs,
// or when it has been answered and its loop has not returned yet: the caller
// looks again later, so an outer dialog is never ended under an inner one.
bool AnswerInnermostModal();

// Decides, as a dialog is about to run, whether it runs: wxID_NONE lets it
// run; any other id is what ShowModal returns at once, nothing shown. Empty:
// every dialog runs.
using ModalGate = std::function<int(wxDialog* dialog)>;
void SetModalGate(ModalGate gate);

}  // namespace tv
