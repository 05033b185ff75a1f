// A whole program session over a copy of the fixture workspace, as the
// command and contents tests drive it.
#pragma once
#include <wx/gdicmn.h>

#include <string>

#include "engine/config/workspace.h"
#include "engine/query/query.h"
#include "tests/common/testenv.h"
#include "tests/ui/wxtest.h"
#include "ui/app/application.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/uistate.h"
#include "ui/panes/navigationjobs.h"

namespace appsession {

// The fixture workspace and its log copied into a new folder; the workspace's path.
inline std::string CopyFixtureWorkspace(const std::string& folder) {
  const std::string dir = tvtest::NewDir(folder);
  tvtest::WriteFile(dir + "app.tv", tvtest::ReadFile(std::string(TV_APP_TEST_DATA_DIR) + "/app.tv"));
  tvtest::WriteFile(dir + "sample-w3c.log",
                    tvtest::ReadFile(std::string(TV_SOURCE_DIR) + "/data/sample/sample-w3c.log"));
  return dir + "app.tv";
}

// The program started on workspace with its window at size; every hit counts,
// as in the engine's exports. *started tells whether there is a program to
// close; false when it did not start or show.
inline bool Start(const std::string& workspace, const wxSize& size, bool* started) {
  // A fresh process has no report yet; earlier tests of this one left theirs.
  g_uiQuery = CQueryParams{};
  g_topReportKind = kNoTopReportKind;
  *started = StartProgram({workspace});
  if (!*started) return false;
  MainFrame()->SetSize(0, 0, size.x, size.y);
  if (!wxtest::PumpUntil([] { return MainFrame()->IsShownOnScreen(); }, 5000)) return false;
  g_uiQuery.errorsOn = g_uiQuery.spidersOn = g_uiQuery.otherAgentsOn = 1;
  for (uint32_t& g : g_uiQuery.groupOn) g = 1;
  return true;
}

// The normal close with nothing left to save, then the program's end.
inline void Close() {
  FinishRunningJob();
  if (CTrailvaneDoc* doc = TheDocument()) doc->SetModifiedFlag(false);
  g_workspace.ClearDirty();
  MainFrame()->Close();
  EXPECT_TRUE(wxtest::PumpUntil([] { return MainFrame() == nullptr; }, 20000));
  wxtest::Pump(20);
  EndProgram();
}

}  // namespace appsession
