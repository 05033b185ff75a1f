#include "ui/app/exportalllogs.h"

#include "engine/store/project.h"
#include "output/csvexport.h"
#include "ui/panes/navigationjobs.h"
#include "ui/widgets/worker.h"

namespace {

std::string s_path;
int s_result = -1;

void WriteAllHits() { s_result = ExportAllHitsToCsv(s_path.c_str(), g_project); }

// The report shown again ends with "Ready": the export's outcome is the last word.
void ShowOutcome() {
  if (s_result == 1) AppendProgressText("Export successful");
  else if (s_result == 2) AppendProgressText("Export stopped: no file was written");
  else if (s_result == 0) AppendProgressText("Export failed: no file was written");
}

}  // namespace

void ExportAllLogsToCsv(const std::string& path) {
  if (IsWorkerBusy()) return;
  s_path = path;
  s_result = -1;
  RerunAllOnWorkerThen(WriteAllHits, ShowOutcome);
}

int LastExportAllResult() { return s_result; }
