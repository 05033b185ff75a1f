#include "ui/app/document.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filehistory.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include <cstdio>
#include <cstring>

#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/store/project.h"
#include "platform/files.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "ui/app/analysisstart.h"
#include "ui/core/documentnames.h"
#include "ui/panes/navigationjobs.h"

bool g_workspaceOpened = false;
bool g_logFileAdded = false;

namespace {

CTrailvaneDoc* s_document = nullptr;
constexpr int kRecentCount = 4;
const char kWorkspaceFilter[] = "Trailvane workspace (*.tv)|*.tv|All Files (*.*)|*.*";

int Ask(const wxString& text, long style) {
  auto& dialogs = CTrailvaneDoc::DocDialogs();
  if (dialogs.message) return dialogs.message(text, style);
  // An unattended run has nobody to answer: the text goes to the terminal, the answer is No.
  if (g_unattended) {
    fprintf(stderr, "trailvane: %s\n", tv::WxToBytes(text).c_str());
    return (style & wxYES_NO) ? wxNO : wxOK;
  }
  return wxMessageBox(text, "Trailvane", style, wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
}

// A fresh default workspace with the program-wide switches it starts from.
void NewWorkspace() {
  CWorkspaceFile* ws = SetWorkspaceDefaults();
  ws->common.add_countr = static_cast<int16_t>(g_settings.add_contry);
  ws->common.sh_no_refer = static_cast<int16_t>(g_settings.no_refer);
  ws->common.add_day_week = static_cast<int16_t>(g_settings.add_day_week);
}

std::string RecentKey(int i) { return "File" + std::to_string(i + 1); }

void SaveHistory(wxFileHistory* history) {
  for (int i = 0; i < kRecentCount; ++i) {
    std::string path = i < static_cast<int>(history->GetCount()) ? tv::WxToBytes(history->GetHistoryFile(i)) : "";
    tv::RegWriteString(RecentKey(i).c_str(), path);
  }
}

void LoadHistory(wxFileHistory* history) {
  // Oldest first, so the newest ends on top.
  for (int i = kRecentCount - 1; i >= 0; --i) {
    std::string path;
    if (tv::RegReadString(RecentKey(i).c_str(), &path, 4096) && !path.empty())
      history->AddFileToHistory(tv::BytesToWx(path));
  }
}

// Whether the file is the section form; older files name themselves when they fail.
bool IsSectionForm(const std::string& path) {
  FILE* f = tv::OpenRegularStream(path.c_str());
  if (!f) return false;
  std::string head(4096, '\0');
  size_t n = fread(head.data(), 1, head.size(), f);
  fclose(f);
  return head.substr(0, n).find("FormatVersion=") != std::string::npos;
}

bool IsReadableFile(const std::string& path) {
  if (!tv::FileExists(path)) return false;
  FILE* f = tv::OpenRegularStream(path.c_str());
  if (!f) return false;
  fclose(f);
  return true;
}

}  // namespace

CTrailvaneDoc::Dialogs& CTrailvaneDoc::DocDialogs() {
  static Dialogs dialogs;
  return dialogs;
}

CTrailvaneDoc::CTrailvaneDoc() {
  m_history = new wxFileHistory(kRecentCount);
  LoadHistory(m_history);
}

CTrailvaneDoc::~CTrailvaneDoc() {
  if (s_document == this) s_document = nullptr;
  delete m_history;
}

CTrailvaneDoc* TheDocument() { return s_document; }
void SetTheDocument(CTrailvaneDoc* doc) { s_document = doc; }

bool CTrailvaneDoc::OnNewDocument() {
  DeleteContents();  // a fresh default workspace
  // The defaults replaced a changed workspace: nothing of this one is changed yet.
  g_workspace.ClearDirty();
  m_modified = false;
  m_path.clear();
  g_logFileAdded = false;
  ResetPaneFilters();
  RefreshAfterNewDocument();
  return true;
}

bool CTrailvaneDoc::OnOpenDocument(const std::string& path) {
  tv::ChangeDir(tv::DirectoryOf(path));
  m_modified = false;
  if (IsLogFileName(path)) {
    RefreshAfterNewDocument();
    if (!g_workspace.FileName() && g_project.sources.Count() == 0) {
      NewWorkspace();
    } else {
      wxString text = wxString::Format(
          "Adding the log file '%s' to current workspace?\nYes - adding to current workspace, No - adding to new "
          "workspace",
          tv::BytesToWx(path));
      if (Ask(text, wxYES_NO | wxICON_QUESTION) == wxNO) {
        NewWorkspace();
        m_path.clear();
      } else {
        m_modified = true;
      }
    }
    g_project.sources.AddFiles(path.c_str());
    g_logFileAdded = true;
  } else {
    g_logFileAdded = false;
    // A file that cannot be read or parsed leaves defaults; the user must hear
    // of it, and the document must not take its name, or the next save would
    // write the defaults over the user's file.
    bool ok = false;
    if (!IsReadableFile(path)) {
      Ask(wxString::Format("Can't open the workspace '%s'.", tv::BytesToWx(path)), wxOK | wxICON_ERROR);
      NewWorkspace();
    } else {
      CWorkspaceFile* ws = LoadWorkspace(path.c_str());
      ok = ws->FileName() && path == ws->FileName();
      if (!ok && IsSectionForm(path))
        Ask(wxString::Format("'%s' bad workspace", tv::BytesToWx(path)), wxOK | wxICON_ERROR);
    }
    if (!ok) {
      std::string last;
      if (tv::RegReadString("LastWorkspace", &last, 4096) && last == path) tv::RegWriteString("LastWorkspace", "");
      m_path.clear();
      ResetPaneFilters();
      RefreshAfterNewDocument();
      return false;
    }
  }
  g_workspaceOpened = true;
  ResetPaneFilters();
  RefreshAfterNewDocument();
  return true;
}

bool CTrailvaneDoc::OnSaveDocument(const std::string& path) {
  std::string name = WorkspaceSaveName(path);
  int ok = 0;
  SaveWorkspace(name.c_str(), &ok);
  // The engine said why; a failed save is no save.
  if (!ok) return false;
  tv::RegWriteString("LastWorkspace", name);
  m_modified = false;
  g_logFileAdded = false;
  m_path = name;
  return true;
}

void CTrailvaneDoc::DeleteContents() {
  if (g_workspace.IsDirty()) m_modified = true;
  NewWorkspace();
}

void CTrailvaneDoc::SetPathName(const std::string& path, bool addToRecent) {
  if (g_workspace.IsDirty()) m_modified = true;
  m_path = path;
  if (addToRecent && !path.empty()) {
    m_history->AddFileToHistory(tv::BytesToWx(path));
    SaveHistory(m_history);
  }
  UpdateMainTitle();
}

bool CTrailvaneDoc::CanCloseFrame() {
  if (g_workspace.IsDirty()) m_modified = true;
  // Only log files added: nothing the user would want to keep as a workspace.
  if (g_logFileAdded) m_modified = false;
  return SaveModified();
}

bool CTrailvaneDoc::SaveModified() {
  if (g_workspace.IsDirty() && !g_logFileAdded) m_modified = true;
  if (!m_modified) return true;
  wxString name = m_path.empty() ? wxString("Untitled") : tv::BytesToWx(m_path);
  int answer = Ask(wxString::Format("Save changes to %s?", name), wxYES_NO | wxCANCEL | wxICON_EXCLAMATION);
  if (answer == wxCANCEL) return false;
  if (answer == wxNO) return true;
  return DoSave(false);
}

bool CTrailvaneDoc::DoSave(bool saveAs) {
  std::string path = m_path;
  if (saveAs || path.empty() || IsLogFileName(path)) {
    wxString proposed = path.empty() ? wxString("Untitled") : tv::BytesToWx(path);
    wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    wxString chosen;
    auto& dialogs = DocDialogs();
    if (dialogs.fileDialog) {
      chosen = dialogs.fileDialog(parent, true, proposed);
    } else {
      wxFileDialog dlg(parent, "Save As", wxEmptyString, proposed, kWorkspaceFilter,
                       wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
      if (dlg.ShowModal() == wxID_OK) chosen = dlg.GetPath();
    }
    if (chosen.empty()) return false;
    path = tv::WxToBytes(chosen);
  }
  if (!OnSaveDocument(path)) return false;
  SetPathName(m_path, true);
  return true;
}

bool CTrailvaneDoc::OpenDocumentFile(const std::string& path) {
  if (!SaveModified()) return false;
  if (!OnOpenDocument(path)) return false;
  // A log file joins the workspace: its name is no workspace's name.
  if (IsLogFileName(path)) SetPathName(m_path, false);
  else SetPathName(path, true);
  return true;
}

void CTrailvaneDoc::OnFileNew() {
  if (!SaveModified()) return;
  OnNewDocument();
  SetPathName("", false);
}

void CTrailvaneDoc::OnFileOpen() {
  wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  wxString chosen;
  auto& dialogs = DocDialogs();
  if (dialogs.fileDialog) {
    chosen = dialogs.fileDialog(parent, false, wxString());
  } else {
    wxFileDialog dlg(parent, "Open", wxEmptyString, wxEmptyString, kWorkspaceFilter,
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dlg.ShowModal() == wxID_OK) chosen = dlg.GetPath();
  }
  if (!chosen.empty()) OpenDocumentFile(tv::WxToBytes(chosen));
}

void BindDocumentCommands(wxFrame* frame, wxMenu* fileMenu) {
  CTrailvaneDoc* doc = TheDocument();
  if (!frame || !doc) return;
  frame->Bind(wxEVT_MENU, [](wxCommandEvent&) { if (TheDocument()) TheDocument()->OnFileNew(); }, wxID_NEW);
  frame->Bind(wxEVT_MENU, [](wxCommandEvent&) { if (TheDocument()) TheDocument()->OnFileOpen(); }, wxID_OPEN);
  frame->Bind(wxEVT_MENU, [](wxCommandEvent&) { if (TheDocument()) TheDocument()->DoSave(false); }, wxID_SAVE);
  frame->Bind(wxEVT_MENU, [](wxCommandEvent&) { if (TheDocument()) TheDocument()->DoSave(true); }, wxID_SAVEAS);
  if (fileMenu) {
    doc->History()->UseMenu(fileMenu);
    doc->History()->AddFilesToMenu(fileMenu);
  }
  frame->Bind(
      wxEVT_MENU,
      [](wxCommandEvent& event) {
        CTrailvaneDoc* d = TheDocument();
        if (!d) return;
        size_t n = static_cast<size_t>(event.GetId() - wxID_FILE1);
        if (n >= d->History()->GetCount()) return;
        std::string path = tv::WxToBytes(d->History()->GetHistoryFile(n));
        if (!d->OpenDocumentFile(path) && !tv::FileExists(path)) {
          d->History()->RemoveFileFromHistory(n);
          SaveHistory(d->History());
        }
      },
      wxID_FILE1, wxID_FILE1 + kRecentCount - 1);
}
