// Small dialogs around the reports: new spiders to confirm, the files read by
// the last analysis, the Find In Report search and the additional columns.
// Each is filled through its constructor or members and read after OK.
#pragma once
#include <wx/dialog.h>
#include <wx/treelist.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/tables/auxdb.h"
#include "ui/core/dialogrules.h"

class wxCheckBox;
class wxListBox;
class wxListCtrl;
class wxTextCtrl;
class CLogFileReportList;

// Lists the unconfirmed candidates of the spider table, all checked. "&Apply"
// confirms the checked ones and unconfirms the others; Cancel changes nothing.
class CConfirmSpidersDlg : public wxDialog {
 public:
  enum { ID_TREE = 1014 };

  CConfirmSpidersDlg(wxWindow* parent, std::vector<AuxSpiderRow>* candidates);

  wxTreeListCtrl* Tree() const { return m_tree; }
  // The candidate index of each listed item.
  const std::vector<std::pair<wxTreeListItem, size_t>>& Listed() const { return m_listed; }
  bool TransferDataFromWindow() override;

 private:
  std::vector<AuxSpiderRow>* m_candidates;
  wxTreeListCtrl* m_tree = nullptr;
  std::vector<std::pair<wxTreeListItem, size_t>> m_listed;
};

// The files read by the last analysis: all of them, or with showAll false only
// those that gave no line, below the total line.
class CLogFileReportDlg : public wxDialog {
 public:
  enum { ID_LIST = 1002 };

  CLogFileReportDlg(wxWindow* parent, const CLogFileReportList& files, bool showAll = true);

  wxListCtrl* List() const { return m_list; }

 private:
  wxListCtrl* m_list = nullptr;
};

// The text to find and whether case counts; read both after OK.
class CSearchDlg : public wxDialog {
 public:
  enum { ID_TEXT = 1015, ID_CASE = 1017 };

  explicit CSearchDlg(wxWindow* parent);

  wxString m_text;
  bool m_caseSensitive = false;

  bool TransferDataToWindow() override;
  bool TransferDataFromWindow() override;

 private:
  wxTextCtrl* m_edit = nullptr;
  wxCheckBox* m_caseBox = nullptr;
};

// Offers candidate column codes; after OK m_chosen is the one picked.
class CChooseColumnDlg : public wxDialog {
 public:
  enum { ID_LIST = 1002 };

  CChooseColumnDlg(wxWindow* parent, const std::vector<int32_t>& candidates);

  std::vector<int32_t> m_candidates;  // at most five
  int32_t m_chosen = 0;

  wxListBox* List() const { return m_list; }

 private:
  void OnAdd(wxCommandEvent& event);
  void OnUpdateAdd(wxUpdateUIEvent& event);
  void OnDoubleClick(wxCommandEvent& event);

  wxListBox* m_list = nullptr;
  wxDECLARE_EVENT_TABLE();
};

// The additional columns of one report kind, in order: set m_kind and
// m_choice.codes from the workspace's entry before ShowModal and write
// m_choice.codes back after OK. Cancel leaves the caller's codes alone.
class CCustomizeColumnDlg : public wxDialog {
 public:
  enum { ID_LIST = 1002, ID_ADD = 1000, ID_DELETE = 1001, ID_UP = 1003, ID_DOWN = 1004 };

  explicit CCustomizeColumnDlg(wxWindow* parent);

  int m_kind = 0;
  CColumnChoice m_choice;

  wxListBox* List() const { return m_list; }
  bool TransferDataToWindow() override;

 private:
  void Fill();
  void OnAdd(wxCommandEvent& event);
  void OnDelete(wxCommandEvent& event);
  void OnUp(wxCommandEvent& event);
  void OnDown(wxCommandEvent& event);
  void OnSelect(wxCommandEvent& event);

  wxListBox* m_list = nullptr;
  wxDECLARE_EVENT_TABLE();
};
