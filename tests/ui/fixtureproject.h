// The project the test windows analyse: one fixture log and three file groups.
#pragma once
#include <string>

#include "engine/store/project.h"

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

}  // namespace wxtest
