// The trailvane program.
#include <wx/app.h>

#include "ui/app/application.h"
#include "ui/app/programend.h"

int main(int argc, char** argv) {
  // First: a service manager may end the program while wx is still starting.
  CatchProgramEndSignals();
  wxApp::SetInstance(new CTrailvaneApp);
  // wx gives -1 when the start-up ended early; the shell wants 0 or a small number.
  return wxEntry(argc, argv) == 0 ? 0 : 1;
}
