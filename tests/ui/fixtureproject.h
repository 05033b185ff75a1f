// The project the test windows analyse: one fixture log and three file groups.
#pragma once
#include <string>

#include "engine/config/workspace.h"
#include "engine/store/project.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"

namespace wxtest {

inline void InsertFixtureGroups(CGroupList& groups) {
  groups.Insert(0, "Pages", ".html;.htm;.php", kGroupPages);
  groups.Insert(1, "Images", ".gif;.jpg;.png", kGroupOther);
  groups.Insert(2, "Downloads", ".zip;.pdf", kGroupDownloads);
}

// A fresh project whose only source is the log.
inline void UseFixtureLog(const std::string& logPath) {
  g_project.Reset();
  g_project.sources.AddFiles(logPath.c_str());
}

// The log as the only source with the fixture groups, no look-ups and no
// spider detection, and no report yet: the next top-level report analyses it.
inline void UseFixtureWorkspace(const std::string& logPath) {
  UseFixtureLog(logPath);
  g_workspace.groups.Clear();
  InsertFixtureGroups(g_workspace.groups);
  g_workspace.common.dns_lookup = 0;
  g_workspace.common.auto_robot = 0;
  g_workspace.common.display_bad_file = 0;
  g_workspace.common.expand_groups = 1;
  g_uiQuery = CQueryParams{};
  ResetNavigation(0);
  g_topReportKind = kNoTopReportKind;
}

}  // namespace wxtest
