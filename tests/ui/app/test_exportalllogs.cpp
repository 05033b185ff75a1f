// "Export All Logs To CSV" as a job: the file is written on the worker thread
// and equals the engine's export of the same hits; Stop leaves no file.
#include <gtest/gtest.h>
#include <wx/wx.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "base/msgsink.h"
#include "engine/config/workspace.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/csvexport.h"
#include "tests/common/testenv.h"
#include "tests/ui/navwindow.h"
#include "tests/ui/wxtest.h"
#include "ui/app/exportalllogs.h"
#include "ui/core/uistate.h"
#include "ui/widgets/worker.h"

namespace {

bool WaitJob() { return wxtest::PumpUntil([] { return TestNavWindow::Idle(); }, 60000); }

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(ExportAllLogs, WrittenOnTheWorkerAndStoppedWithoutAFile) {
  // A log big enough that writing its hits takes a while: the fixture 5,000 times.
  const std::string dir = tvtest::NewDir("exportall");
  const std::string fixture = tvtest::ReadFile(std::string(TV_UI_TEST_DATA_DIR) + "/panes.log");
  std::string big;
  for (int i = 0; i < 5000; ++i) big += fixture;
  const std::string log = dir + "big.log";
  tvtest::WriteFile(log, big);

  auto* window = new TestNavWindow;
  window->Show();
  window->Open(log, kReportPage);
  ASSERT_TRUE(WaitJob());

  const std::string out = dir + "all.csv";
  ExportAllLogsToCsv(out);
  EXPECT_TRUE(IsWorkerBusy());  // the writing is the job's, not the window's
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(LastExportAllResult(), 1);
  const std::string engine = dir + "engine.csv";
  ASSERT_EQ(ExportAllHitsToCsv(engine.c_str(), g_project), 1);
  const std::string written = tvtest::ReadFile(out);
  EXPECT_EQ(written, tvtest::ReadFile(engine));
  EXPECT_EQ(Lines(written), Lines(big) + 1);  // the header and one line per hit

  std::filesystem::remove(out);
  ExportAllLogsToCsv(out);
  // Stop once the writing has begun (the analysis before it starts afresh).
  auto partFile = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.path().filename().string().find("all.csv.part") == 0) return true;
    return false;
  };
  ASSERT_TRUE(wxtest::PumpUntil(partFile, 20000));
  RequestStop();
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(LastExportAllResult(), 2);
  EXPECT_FALSE(std::filesystem::exists(out));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u);  // the log and the engine's export: no part file left

  window->panes.reset();
  window->Destroy();
  wxtest::Pump(50);
  g_project.Reset();
  g_workspace.groups.Clear();
  g_uiQuery = CQueryParams{};
  g_topReportKind = kNoTopReportKind;
  ClearStop();  // the stop above must not reach the next suite's tables
}

}  // namespace
