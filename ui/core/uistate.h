// Process-wide state of the user interface that the report lists read. It
// belongs to the UI thread; the worker touches it only while a job runs, when
// the UI thread leaves it alone.
#pragma once
#include <cstdint>

#include "engine/query/queryparams.h"
#include "engine/query/summary.h"

// Set while a query or analysis is pending or running and whenever the
// loaded records are dropped: lists then show empty cells and image 25.
extern bool g_runPending;
// 0 when the last query reused its previous result.
extern bool g_lastQueryRan;
// The navigation level on show (0 to 5) and the report kind of every level.
constexpr int kNavigationLevels = 6;
extern int g_navLevel;
extern int g_levelKinds[kNavigationLevels];
// The current query's parameters; groupOn holds the group selection.
extern CQueryParams g_uiQuery;
// The general statistics shown by the summary list.
extern CSummaryStats g_summaryStats;
