#include "ui/app/helpviewer.h"

#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>
#include <wx/log.h>
#include <wx/module.h>
#include <wx/msgdlg.h>

#include "platform/wx/wxtext.h"
#include "ui/core/helppages.h"

namespace {

wxHtmlHelpController* s_help = nullptr;
bool s_loaded = false;

// The controller goes with wx itself: after the windows, before the library.
class HelpModule : public wxModule {
 public:
  bool OnInit() override { return true; }
  void OnExit() override {
    delete s_help;
    s_help = nullptr;
    s_loaded = false;
  }

 private:
  wxDECLARE_DYNAMIC_CLASS(HelpModule);
};
wxIMPLEMENT_DYNAMIC_CLASS(HelpModule, wxModule);

wxHtmlHelpController* Controller() {
  if (!s_help) {
    // The book is a zip archive: the file system must be able to look inside.
    static bool archives = false;
    if (!archives) {
      wxFileSystem::AddHandler(new wxArchiveFSHandler);
      archives = true;
    }
    s_help = new wxHtmlHelpController(wxHF_DEFAULT_STYLE);
  }
  return s_help;
}

}  // namespace

void ShowHelpPage(const char* page) {
  wxHtmlHelpController* help = Controller();
  const std::string path = HelpBookPath();
  if (!s_loaded) {
    // AddBook logs its own complaint; the message box below says it plainly.
    wxLogNull quiet;
    s_loaded = wxFileName::FileExists(tv::BytesToWx(path)) && help->AddBook(wxFileName(tv::BytesToWx(path)));
  }
  if (!s_loaded) {
    wxMessageBox(tv::BytesToWx("Cannot open the help file '" + path + "'."), "Trailvane", wxOK | wxICON_ERROR);
    return;
  }
  help->Display(tv::BytesToWx(page && *page ? page : kHelpStart));
}

wxFrame* HelpWindow() { return s_help ? s_help->GetFrame() : nullptr; }
