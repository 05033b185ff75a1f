// The drill-down state: the current query's six level entries (g_uiQuery),
// Back/Next, the saved switches some kinds change, the pane of every level and
// the result tables. No windows here: the state changes and queries may run on
// the worker thread; ui/panes/navigationjobs.h shows the results in the completions.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/query/queryparams.h"
#include "engine/query/rowtable.h"
#include "engine/store/reportkind.h"
#include "platform/launcher.h"

struct CNavigation {
  CQueryParams saved;        // the switches before a kind changed them
  bool savedFlag = false;
  bool savedByLevel0 = false;  // saved while level 0 was current
  int highestLevel = 0;        // for Next
  int levelPane[kMaxQueryLevels] = {-1, -1, -1, -1, -1, -1};
  int previousPane = -1;
  uint16_t requestedKind = 0;  // of SwitchTopReport
  uint16_t goKind = 0;         // of GoToReport
  int32_t findPosition = 0;  // of Find In Report: the item after which it searches
  int16_t previewMode = -1;  // -1 none, 0 chart, 1 table
  int previewKind = 0;       // of the level below the current one
  bool reportsShown = false;
  bool reloadNeeded = false;
  bool chartMode = false;
  // The chart choices (type, source) made for the report of each level.
  int32_t chartType[kMaxQueryLevels] = {};
  int32_t chartSource[kMaxQueryLevels] = {};
  // Rows of several selected items per level (g_uiQuery.alternatives point here).
  std::vector<CLevelFilter> multi[kMaxQueryLevels];
  CRowTable topTables[kMaxReportKind + 1];  // level 0, by kind
  CRowTable levelTables[kMaxQueryLevels];   // levels 1..5
  // The preview's own: a drill-down into the level below must not pull the
  // rows from under the preview's list.
  CRowTable previewTable;
};
extern CNavigation g_nav;

constexpr int kMaxDrillLevel = kMaxQueryLevels - 1;

int GetCurrentLevel();
int GetCurrentReportType();
int LevelKind(int level);
// The table of the current level (level 0: the level-0 kind's table).
CRowTable& GetCurrentQueryState();
CRowTable& LevelTable(int level);
// A report (not the log files) is shown at the top level.
bool TopKindSet();

// Clears the query and marks every table not computed; with reload the logs
// are read again at the next analysis (records dropped now).
void ResetNavigation(int reload);
// Copies the level state into what the report lists read (g_navLevel, g_levelKinds).
void SyncLevelState();
// Records the pane of the current level and clears its selection.
void SetLevelPane(int paneSlot, int kind);

// One level down to kind. False (error reported, nothing changed) past the
// sixth level.
bool DrillDownToReport(int kind);
// Level 0 with the requested kind (g_nav.requestedKind); its switches set.
// Returns 0 when the kind is already shown at level 0 (nothing to run), else 1.
int RestartAtTopLevel();
// The state part of Back: the target level current, the saved switches back
// at level 0. False when there is no such level.
bool MoveToLevel(int level);
// Runs the current level's query into its table (the summary into its block).
void RunCurrentQuery();
// The preview of the next level (g_nav.previewKind) into g_nav.previewTable,
// for the current level's selection; the table is emptied when nothing is
// selected. The level entries stay as they are, so Next still finds its
// level. Null at the deepest level.
CRowTable* RunPreviewQuery();

// The chosen row of the current level (null: none) and the rows of a
// multi-selection (used when count >= 2).
void StoreLevelSelection(const CRow* row, long item, int count, const CRow* const* rows);

// The key text of the current level's selected row; false when no row is
// selected or the row has no such text.
bool GetCurrentSubreportKey(std::string* key);
// What Open In Browser opens for the current level's row; empty when nothing.
std::string SelectedBrowserTarget();
// Hands that address to the launcher, which tells done how the opening went;
// false (done never called) when there is none.
bool OpenSelectedInBrowser(tv::LaunchDone done = {});
// A double-click on a summary line: the switches of its report set (the old
// ones saved for Back); returns the kind to open, -1 for none.
int PrepareSummaryRowReport(int row);

bool HasSelectedRow();
bool CanDrillDown(int kind);
bool CanOpenInBrowser();
bool CanEditHostName();
bool CanShowChart();
// -1: the current kind (and, below level 0, the kind above).
bool IsNonPageReport(int kind);

// "Pages / Hosts - Trailvane", or "Trailvane" without a top-level report.
std::string BuildMainTitle();
