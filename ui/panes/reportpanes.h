// The report panes of the main view: created once, exactly one visible at a
// time. List panes hold a report list and, by class, the filters of their
// report; a filter change re-runs the report on show.
#pragma once
#include <wx/listctrl.h>
#include <wx/panel.h>

#include <functional>

#include "engine/query/rowtable.h"
#include "ui/core/panetables.h"
#include "ui/widgets/reportlistctrl.h"

class wxCheckBox;
class wxRadioButton;
class wxStaticText;
class CChartDlg;
class CDetailTreeDlg;
class CWorkspaceDlg;

// What a pane asks of navigation; every hook may be empty.
struct PaneHooks {
  // Re-runs the report on show with the current query switches. Unset, the
  // current list pane re-runs its own report on the worker thread.
  std::function<void()> rerunAll;
  // Resets the navigation state (1: the logs are read again at the next analysis).
  std::function<void(int)> resetNavigation;
  // The analysis of the workspace (force flag), on the worker thread.
  std::function<void(int)> runAnalysis;
};
PaneHooks& ReportPaneHooks();

void RerunAllOnWorker();
// Marks a result pending and, when a report is open, copies the workspace's
// options into the engine and analyses again. On the worker thread.
void ReanalyzeWorkspace();

// A pane with a report list.
class CReportPane : public wxPanel {
 public:
  bool Create(wxWindow* parent);

  // Fills the list with the report of kind (rows of table, null for the
  // summary); the pane's filters take the values of the current query first.
  void ShowReport(int kind, CRowTable* table, bool refreshOnly);
  // The group side list's item clicked: its switch flips and the report re-runs.
  void ToggleGroupItem(long item);

  CSortListCtrl* reportList = nullptr;
  wxListCtrl* groupsList = nullptr;
  int shownKind = -1;
  CRowTable* shownTable = nullptr;

 protected:
  // Adds the pane's controls to the sizer right of the list (none by default).
  virtual void AddFilters(wxWindow* column, wxSizer* sizer);
  // Puts the query's switches into the filters.
  virtual void TransferFromQuery() {}
  virtual bool HasGroupsList() const { return false; }
  virtual bool ListImages() const { return true; }

  void OnSwallow(wxCommandEvent&) {}
  void OnGroupsClick(wxMouseEvent& event);
};

// The summary: the list alone, without row images.
class CSimpleListDlg : public CReportPane {
 protected:
  bool ListImages() const override { return false; }
};

// Plain report lists: the list alone.
class CSubreportListDlg : public CReportPane {};

// Pages and their relatives: spiders and response filters and the groups.
class CReportListDlg : public CReportPane {
 public:
  wxRadioButton* SpiderButton(int v) const { return m_spiders[v]; }
  wxRadioButton* ResponseButton(int v) const { return m_response[v]; }
  int32_t spiders = 0;
  int32_t response = 0;

 protected:
  void AddFilters(wxWindow* column, wxSizer* sizer) override;
  void TransferFromQuery() override;
  bool HasGroupsList() const override { return true; }

 private:
  void OnSpiders(wxCommandEvent& event);
  void OnResponse(wxCommandEvent& event);
  wxRadioButton* m_spiders[3] = {};
  wxRadioButton* m_response[3] = {};
};

// Hosts, visitors and places: the spiders filter and the groups.
class CUserListDlg : public CReportPane {
 public:
  wxRadioButton* SpiderButton(int v) const { return m_spiders[v]; }
  int32_t spiders = 0;

 protected:
  void AddFilters(wxWindow* column, wxSizer* sizer) override;
  void TransferFromQuery() override;
  bool HasGroupsList() const override { return true; }

 private:
  void OnSpiders(wxCommandEvent& event);
  wxRadioButton* m_spiders[3] = {};
};

// Browsers: the agent types and the groups.
class CAgentListDlg : public CReportPane {
 public:
  // 0 browsers, 1 download managers, 2 spiders, 3 all other.
  wxCheckBox* AgentBox(int i) const { return m_agents[i]; }

 protected:
  void AddFilters(wxWindow* column, wxSizer* sizer) override;
  void TransferFromQuery() override;
  bool HasGroupsList() const override { return true; }

 private:
  void OnAgent(wxCommandEvent& event);
  wxCheckBox* m_agents[4] = {};
};

// The pane of the kinds without a pane of their own: an invitation to choose.
class CChooseReportDlg : public wxPanel {
 public:
  bool Create(wxWindow* parent);
  wxStaticText* Text() const { return m_text; }

 private:
  void OnSize(wxSizeEvent& event);
  void OnSwallow(wxCommandEvent&) {}
  wxStaticText* m_text = nullptr;
};

// The one holder of the panes: the objects live from its construction to its
// end; their windows are made by CreateReportPaneWindows.
class CReportPanes {
 public:
  CReportPanes();
  ~CReportPanes();
  CReportPanes(const CReportPanes&) = delete;
  CReportPanes& operator=(const CReportPanes&) = delete;
};

// The pane of a slot (see ui/core/panetables.h), null before CReportPanes.
wxWindow* ReportPane(int slot);
CReportPane* ListPane(int slot);  // null for a slot without a report list
CWorkspaceDlg* WorkspacePane();
CDetailTreeDlg* DetailTreePane();
CChartDlg* ChartPane();

// Makes every pane's window in view, shows the workspace pane.
void CreateReportPaneWindows(wxWindow* view);
// Every pane takes the view's new client size.
void ResizeReportPanes(int type, int cx, int cy);
// Hides the current pane and shows the one of slot; the pane on show.
void ShowPaneSlot(int slot);
int CurrentPaneSlot();
