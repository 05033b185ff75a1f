// The workspace pane: the log sources and the file-type groups of the open
// workspace, with the buttons that edit them.
#pragma once
#include <wx/listctrl.h>
#include <wx/panel.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/store/project.h"

class wxButton;
class wxListBox;
class wxStaticBox;

// The log sources' list: virtual, so that a workspace of any size shows at
// once, with the list box calls the pane uses. Several rows may be selected.
class CSourceList : public wxListCtrl {
 public:
  CSourceList(wxWindow* parent, wxWindowID id);
  // Replaces the rows, none selected.
  void Set(const wxArrayString& lines);
  unsigned GetCount() const { return static_cast<unsigned>(m_lines.size()); }
  wxString GetString(unsigned n) const { return n < m_lines.size() ? m_lines[n] : wxString(); }
  bool IsSelected(int n) const;
  // Selects row n alone and shows it.
  void SetSelection(int n);
  int GetSelections(wxArrayInt& rows) const;

 protected:
  wxString OnGetItemText(long item, long column) const override;

 private:
  void FitColumn();
  wxArrayString m_lines;
};

class CWorkspaceDlg : public wxPanel {
 public:
  // The dialogs the pane opens: the application puts in the real ones, tests
  // their own. editSource shows the log file dialog for initial and, on OK,
  // hands its source to take.
  using TakeSource = std::function<void(const CLogSource&)>;
  struct Dialogs {
    std::function<bool(wxWindow* parent, const CLogSource& initial, const TakeSource& take)> editSource;
    // The "Group" dialog: name, masks and type, edited in place; true on OK.
    std::function<bool(wxWindow* parent, std::string& name, std::string& masks, uint16_t& type)> editGroup;
    // A message box: wxYES, wxNO or wxOK.
    std::function<int(const wxString& text, long style)> message;
  };
  static Dialogs& PaneDialogs();

  CWorkspaceDlg() = default;
  bool Create(wxWindow* parent);
  // The least size at which no part covers another and every button shows
  // its whole label.
  wxSize LeastSize() const;
  wxSize GetMinSize() const override { return LeastSize(); }

  void FillLogSourceList(int select);
  void FillGroupList(int select);

  void AddLogSource();
  void UpdateLogSource();
  void DeleteLogSources();
  void AddGroup();
  void EditGroup();
  void DeleteGroup();
  void MoveGroup(bool up);

  CSourceList* logList = nullptr;
  wxListBox* groupList = nullptr;

 private:
  void OnSize(wxSizeEvent& event);
  void OnLogKey(wxKeyEvent& event);
  void OnSwallow(wxCommandEvent&) {}
  // The groups changed: the engine takes them, the workspace is marked.
  void GroupsChanged(int select);

  wxButton* m_add = nullptr;
  wxButton* m_update = nullptr;
  wxButton* m_delete = nullptr;
  wxStaticBox* m_groupsBox = nullptr;
  wxButton* m_groupButtons[4] = {};
};
