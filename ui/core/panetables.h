// Which report pane shows a report kind, and what the panes' filters set in a
// query. The panes themselves are windows (ui/panes/reportpanes.h).
#pragma once
#include <cstdint>

#include "engine/query/queryparams.h"

// The panes in creation order; a pane's slot is its place in that order.
enum PaneClass : int {
  kPaneWorkspace,
  kPaneDetailTree,
  kPaneSummary,
  kPaneChart,
  kPaneAgent,
  kPaneReportList,
  kPaneUserList,
  kPaneSubreportList,
  kPaneStart,
  kPaneClassCount,
};

struct PaneSlotInfo {
  PaneClass cls;
  int number;  // 0-based among the panes of its class
};

constexpr int kReportListPanes = 2;
constexpr int kUserListPanes = 7;
constexpr int kSubreportListPanes = 8;
constexpr int kPaneSlotCount = 5 + kReportListPanes + kUserListPanes + kSubreportListPanes + 1;

// First slot of a class and the class and number of a slot.
int FirstPaneSlot(PaneClass cls);
PaneSlotInfo PaneSlot(int slot);

// The slot that shows kind when it becomes the top-level report (the start pane
// for the kinds without a pane of their own).
int TopLevelPaneSlot(int kind);
// The slot that shows kind opened at a deeper level; -1 when the kind has none
// (the current pane stays).
int DrillDownPaneSlot(int kind);

// The report kind navigation shows at the top level, kNoTopReportKind before any.
constexpr uint16_t kNoTopReportKind = 0xFFFF;
extern uint16_t g_topReportKind;

// Spider radio: 0 all, 1 without spiders, 2 spiders only. Response radio:
// 0 all requests, 1 successful, 2 errors.
void ApplySpiderChoice(int value, CQueryParams& params);
void ApplyResponseChoice(int value, CQueryParams& params);
int SpiderChoiceOf(const CQueryParams& params);
int ResponseChoiceOf(const CQueryParams& params);
