// The document: the open workspace (a ".tv" file, or log files added to
// it), its modified flag, new/open/save, the "save changes?" question and
// the list of the last four workspaces.
#pragma once
#include <string>

class wxFileHistory;
class wxFrame;
class wxMenu;

class CTrailvaneDoc {
 public:
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

 private:
  std::string m_path;
  bool m_modified = false;
  wxFileHistory* m_history = nullptr;
};

// The document of the program, or null before start-up made it.
CTrailvaneDoc* TheDocument();
void SetTheDocument(CTrailvaneDoc* doc);

// New, Open, Save, Save As and the recent workspaces of the frame's menu.
void BindDocumentCommands(wxFrame* frame, wxMenu* fileMenu);
