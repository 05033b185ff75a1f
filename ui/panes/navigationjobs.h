// Moving between report levels in the windows: every query runs as a job on
// the worker thread, and panes, title and navigator change only in the jobs'
// completions on the UI thread. The state itself is ui/core/navigationstate.h.
#pragma once
#include <wx/menu.h>
#include <wx/toplevel.h>

#include <functional>

// Hooks the panes and the report lists to navigation; frame gets the title
// (null: none). Call once the panes exist.
void InstallNavigation(wxTopLevelWindow* frame);
void UninstallNavigation();

// The "&Go" commands: kind opened one level down (check: only when allowed).
void GoToReport(int kind, int check);
// Back (-1: one up) and the navigator's level items.
void GoBackToLevel(int level);
void GoForwardLevel();
// Makes kind the top-level report; nothing when it is already.
void SwitchTopReport(int kind);
// Analyses again when needed and re-runs the current level; callback after.
void RerunAllOnWorker(void (*callback)());
// The same with workerTail run on the worker after the query, inside the job.
void RerunAllOnWorkerThen(void (*workerTail)(), void (*callback)());
// New-workspace filter switches, then the top-level report run again.
void ResetPaneFilters();
// A workspace was opened: any running job is stopped and waited for first,
// then the state is reset and the report run again.
void RefreshAfterNewDocument();
// Stops a running job and dispatches events until it has ended.
void FinishRunningJob();

// Run after a move to another level or report has been shown (the main
// window brings its chart frame up to date or closes its subreport row).
// Empty: nothing.
void SetLevelMovedHook(std::function<void()> hook);

// Fills the current level's pane from its table.
void ShowQueryResult();
// 1: the level's chart pane instead of its table; 0: the table.
void ShowPane(int chart);
void UpdateMainTitle();

// Shows the next level of kind in frame while rows are chosen at this level:
// a report list pane (previewMode 1) or the chart pane (0). Each selection
// previews again; -1 ends the preview.
void PushLevelFrame(wxWindow* frame, int kind, int previewMode);
// The preview brought up to date with the current level's selection.
void GoDownAndRun();

// A double-click on a summary line opens that line's report one level down.
void OpenSummaryRowReport(long row);
// The report context menu of the kind on show (or of the subreport frame) at
// a screen position; its items send their commands to the frame.
void ShowReportContextMenu(const wxPoint& screenPos, bool inSubreportFrame);
// The popup waits for the user: tests replace it. Returns the one replaced;
// an empty function puts the real popup back.
using ContextMenuPopupFn = std::function<void(wxWindow* owner, wxMenu* menu, const wxPoint& clientPos)>;
ContextMenuPopupFn SetContextMenuPopup(ContextMenuPopupFn fn);
