// The document: the open workspace (a ".tv" file, or log files added to
// it), its modified flag, new/open/save, the "save changes?" question and
// the list of the last four workspaces.
#pragma once
#include <wx/string.h>

#include <functional>
#include <string>

class wxFileHistory;
class wxWindow;
class wxFrame;
class wxMenu;

class CTrailvaneDoc {
 public:
  // The document's dialogs; tests put their own in. message: a message box
  // (wxYES, wxNO, wxCANCEL or wxOK). fileDialog: the path chosen, "" when cancelled.
  struct Dialogs {
    std::function<int(const wxString& text, long style)> message;
    std::function<wxString(wxWindow* parent, bool save, const wxString& proposed)> fileDialog;
  };
  static Dialogs& DocDialogs();

  CTrailvaneDoc();
  ~CTrailvaneDoc();

  bool OnNewDocument();
  bool OnOpenDocument(const std::string& path);
  bool OnSaveDocument(const std::string& path);
  void DeleteContents();
  void SetPathName(const std::string& path, bool addToRecent = true);
  const std::string& GetPathName() const { return m_path; }
  bool IsModified() const { return m_modified; }
  void SetModifiedFlag(bool modified = true) { m_modified = modified; }
  // Asks to save a modified workspace; false when the user cancels.
  bool SaveModified();
  bool CanCloseFrame();
  // Save (with a file dialog when there is no path, or always with saveAs).
  bool DoSave(bool saveAs);

  wxFileHistory* History() const { return m_history; }
  // The File menu commands.
  void OnFileNew();
  void OnFileOpen();
  // Opens a workspace (or adds a log file) as the Open command does; false
  // when it could not be opened.
  bool OpenDocumentFile(const std::string& path);

 private:
  std::string m_path;
  bool m_modified = false;
  wxFileHistory* m_history = nullptr;
};

// The document of the program, or null before start-up made it.
CTrailvaneDoc* TheDocument();
// Set by OnOpenDocument: start-up then does not reopen the last workspace.
extern bool g_workspaceOpened;
// Set when a log file was added through the document: closing then asks nothing.
extern bool g_logFileAdded;

void SetTheDocument(CTrailvaneDoc* doc);

// New, Open, Save, Save As and the recent workspaces of the frame's menu.
void BindDocumentCommands(wxFrame* frame, wxMenu* fileMenu);
