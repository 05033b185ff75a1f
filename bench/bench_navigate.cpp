// tvbench navigate FILE...: runs the analysis pass, then replays a drill-down
// as the navigation does it: Pages at the top, the row with most hits to
// Hosts, again to Browsers, Back, Back, Next, then Referrers at the top. Each
// step prints its query time and what showing the rows in a list costs (row
// index, default sort, the visible cells).
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "ui/core/navigationstate.h"
#include "ui/core/panetables.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

namespace {

constexpr int64_t kVisibleItems = 50;

// Shows the current level as a list would; selects the row with most hits.
void Show(const char* step, double query) {
  const int kind = GetCurrentReportType();
  CRowTable& table = GetCurrentQueryState();
  double t = BenchNow();
  CRowIndex rows;
  rows.Build(table);
  SortReportRows(rows, kColHits, false, kind, &table);
  std::vector<ReportColumnDef> columns = ReportColumnDefs(kind, GetCurrentLevel() ? LevelKind(GetCurrentLevel() - 1) : -1);
  uint32_t items = ReportItemCount(kind, &table);
  int64_t shown = items < kVisibleItems ? items : kVisibleItems;
  size_t chars = 0;
  for (int64_t item = 0; item < shown; ++item)
    for (size_t c = 0; c < columns.size(); ++c)
      chars += strlen(GetReportCellText(&table, rows, kind, columns[c].type, item, static_cast<int>(c)));
  double fill = BenchNow() - t;
  if (rows.Count() > 0) StoreLevelSelection(rows[0], 0, 0, nullptr);
  printf("%-10s\tlevel=%d\tkind=%d\trows=%d\tquery=%.4f\tfill=%.4f\tseconds=%.4f\n", step, GetCurrentLevel(), kind,
         table.RowCount(), query, fill, query + fill);
}

void Top(const char* step, int kind) {
  double t = BenchNow();
  g_nav.requestedKind = static_cast<uint16_t>(kind);
  RestartAtTopLevel();
  RunCurrentQuery();
  Show(step, BenchNow() - t);
}

void Drill(const char* step, int kind) {
  double t = BenchNow();
  DrillDownToReport(kind);
  Show(step, BenchNow() - t);
}

void Move(const char* step, int level) {
  double t = BenchNow();
  MoveToLevel(level);
  RunCurrentQuery();
  Show(step, BenchNow() - t);
}

}  // namespace

int BenchNavigate(int argc, char** argv) {
  std::vector<const char*> files(argv, argv + argc);
  if (files.empty()) {
    fprintf(stderr, "usage: tvbench navigate FILE...\n");
    return 2;
  }
  BenchUseScratchHome();
  BenchAnalyse(files, false);
  g_uiQuery = BenchEverythingParams();
  ResetNavigation(0);
  g_topReportKind = kNoTopReportKind;
  Top("top", kReportPage);
  Drill("drill", kReportHost);
  Drill("drill", kReportBrowser);
  Move("back", 1);
  Move("back", 0);
  Move("next", 1);
  Top("switch", kReportReferrer);
  FreeAuxDatabases();
  return 0;
}
