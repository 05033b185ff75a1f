// The "Group" dialog: one file-type group's name, its ';'-separated
// extensions or URL patterns, and its type (0 other, 1 downloads, 2 pages).
#pragma once
#include <wx/dialog.h>

#include <cstdint>
#include <string>

class wxRadioButton;
class wxTextCtrl;

class CGroupDlg : public wxDialog {
 public:
  enum { ID_NAME = 1015, ID_MASKS = 1016, ID_OTHER = 1003, ID_DOWNLOADS = 1005, ID_PAGES = 1004 };

  explicit CGroupDlg(wxWindow* parent);

  std::string m_name, m_masks;
  int m_type = 0;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

  wxTextCtrl* NameEdit() const { return m_nameEdit; }
  wxTextCtrl* MasksEdit() const { return m_masksEdit; }
  wxRadioButton* TypeRadio(int type) const { return m_radios[type]; }

 private:
  wxTextCtrl* m_nameEdit = nullptr;
  wxTextCtrl* m_masksEdit = nullptr;
  wxRadioButton* m_radios[3] = {};
};

// The workspace pane's group editor: the dialog on name, masks and type; true on OK.
bool EditGroupInDialog(wxWindow* parent, std::string& name, std::string& masks, uint16_t& type);
