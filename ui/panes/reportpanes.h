// The report panes of the main view: created once, exactly one visible at a
// time. List panes hold a report list and, by class, the filters of their
// report; a filter change re-runs the report on show.
#pragma once
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <functional>
#include <memory>

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

// A tip over a whole pane with its own delays (GTK takes no tooltip delays):
// it shows once the pointer has rested in the pane for the initial delay,
// stays while the pointer moves inside, goes after the pop-down delay or
// when the pointer leaves or a button goes down, and shows again after the
// re-show delay once the pointer came back.
class CPaneTip : public wxEvtHandler {
 public:
  CPaneTip(wxWindow* pane, const wxString& text, int initialMs, int popDownMs, int reshowMs);
  ~CPaneTip() override;

  bool IsShown() const;
  wxString Text() const { return m_text; }
  int InitialDelay() const { return m_initial; }
  int PopDownDelay() const { return m_popDown; }
  int ReshowDelay() const { return m_reshow; }
  // The tip's window while shown, else null.
  wxWindow* TipWindow() const;

 private:
  void Watch(wxWindow* window);
  void OnMotion(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnButton(wxMouseEvent& event);
  void OnShow(wxShowEvent& event);
  void Hide(bool untilLeft);
  void Show();

  wxWindow* m_pane;
  wxString m_text;
  int m_initial, m_popDown, m_reshow;
  wxTimer m_showTimer, m_popTimer;
  wxWeakRef<wxWindow> m_tip;  // goes with the pane
  bool m_shownBefore = false;
  bool m_waitForLeave = false;  // popped down: nothing until the pointer left
};

// Plain report lists: the list alone, with the tip over the whole pane.
class CSubreportListDlg : public CReportPane {
 public:
  bool Create(wxWindow* parent);
  CPaneTip* Tip() const { return m_tip.get(); }

 private:
  std::unique_ptr<CPaneTip> m_tip;
};

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
