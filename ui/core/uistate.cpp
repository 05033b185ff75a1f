#include "ui/core/uistate.h"

bool g_runPending = false;
bool g_lastQueryRan = true;
int g_navLevel = 0;
int g_levelKinds[kNavigationLevels] = {};
CQueryParams g_uiQuery;
CSummaryStats g_summaryStats;
