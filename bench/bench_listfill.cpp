// tvbench listfill FILE... [--kind K] [--sort COLUMN]: runs the analysis pass and one report
// query, then times what showing the result in a virtual list costs: the item
// count, the row index, the default sort (hits, descending) and the cell texts
// of the first 50 items. Then times what a pane's filter change costs: the
// query run again with the new switches ("Spiders only", then "Errors") and
// the list filled anew. With --sort, times a click on that column's header:
// the comparator alone, then the sort that makes each row's key once.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "ui/core/reportcells.h"

namespace {

constexpr int64_t kVisibleItems = 50;

void Step(const char* name, double seconds, uint64_t rows) {
  printf("%-12s\trows=%llu\tseconds=%.4f\n", name, static_cast<unsigned long long>(rows), seconds);
}

// The list filled from table: item count, index, sort and the visible cells.
// Prints each step when print is set; returns the seconds taken.
double FillList(int kind, const CRowTable& table, bool print) {
  double total = 0;
  double t = BenchNow();
  uint32_t items = ReportItemCount(kind, &table);
  uint32_t leading = ReportLeadingRows(kind, &table);
  double s = BenchNow() - t;
  total += s;
  if (print) Step("itemcount", s, items);

  CRowIndex rows;
  t = BenchNow();
  rows.Build(table);
  s = BenchNow() - t;
  total += s;
  if (print) Step("index", s, rows.Count());

  t = BenchNow();
  SetReportSortParameters(kColHits, false, kind, &table);
  rows.Sort(CompareReportRows);
  s = BenchNow() - t;
  total += s;
  if (print) Step("sort", s, rows.Count());

  std::vector<ReportColumnDef> columns = ReportColumnDefs(kind, -1);
  size_t chars = 0;
  int64_t shown = items < kVisibleItems ? items : kVisibleItems;
  t = BenchNow();
  for (int64_t item = 0; item < shown; ++item) {
    for (size_t c = 0; c < columns.size(); ++c)
      chars += strlen(GetReportCellText(&table, rows, kind, columns[c].type, item, static_cast<int>(c)));
    GetReportRowImage(rows, kind, item, leading);
  }
  s = BenchNow() - t;
  total += s;
  if (print)
    printf("%-12s\titems=%lld\tcolumns=%zu\tchars=%zu\tseconds=%.4f\n", "cells", static_cast<long long>(shown),
           columns.size(), chars, s);
  return total;
}

// A filter change: the query again with params, then the list filled anew.
void Rerun(const char* name, int kind, CRowTable& table, const CQueryParams& params) {
  double t = BenchNow();
  RunQuery(g_project, kind, table, params);
  double query = BenchNow() - t;
  double fill = FillList(kind, table, false);
  printf("%-12s\trows=%d\tquery=%.4f\tfill=%.4f\tseconds=%.4f\n", name, table.RowCount(), query, fill, query + fill);
}

// A header click on column: each direction with the plain comparator and with
// the keyed sort.
void SortByColumn(int kind, const CRowTable& table, int column) {
  std::vector<ReportColumnDef> columns = ReportColumnDefs(kind, -1);
  if (column < 0 || column >= static_cast<int>(columns.size())) {
    fprintf(stderr, "column %d: the report has %zu columns\n", column, columns.size());
    return;
  }
  const int type = columns[static_cast<size_t>(column)].type;
  CRowIndex rows;
  for (bool ascending : {true, false}) {
    rows.Build(table);
    double t = BenchNow();
    SetReportSortParameters(type, ascending, kind, &table);
    rows.Sort(CompareReportRows);
    double plain = BenchNow() - t;
    rows.Build(table);
    t = BenchNow();
    SortReportRows(rows, type, ascending, kind, &table);
    double keyed = BenchNow() - t;
    printf("%-12s\tcolumn=%d\ttype=%d\t%s\trows=%u\tcomparator=%.4f\tseconds=%.4f\n", "sortcolumn", column, type,
           ascending ? "asc" : "desc", rows.Count(), plain, keyed);
  }
}

}  // namespace

int BenchListFill(int argc, char** argv) {
  std::vector<const char*> files;
  int kind = kReportItems;
  int sortColumn = -1;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--kind") == 0 && i + 1 < argc)
      kind = atoi(argv[++i]);
    else if (strcmp(argv[i], "--sort") == 0 && i + 1 < argc)
      sortColumn = atoi(argv[++i]);
    else
      files.push_back(argv[i]);
  }
  if (files.empty() || kind < 1 || kind > kMaxReportKind || kind == kReportSummary) {
    fprintf(stderr, "usage: tvbench listfill FILE... [--kind K] [--sort COLUMN]\n");
    return 2;
  }
  BenchUseScratchHome();
  BenchAnalyse(files, false);

  CRowTable table;
  double t = BenchNow();
  RunQuery(g_project, kind, table, BenchEverythingParams());
  fprintf(stderr, "query kind %d: %d rows in %.2f s\n", kind, table.RowCount(), BenchNow() - t);

  double total = FillList(kind, table, true);
  printf("%-12s\trows=%d\tseconds=%.4f\n", "total", table.RowCount(), total);
  if (sortColumn >= 0) SortByColumn(kind, table, sortColumn);

  CQueryParams params = BenchEverythingParams();
  params.humansOn = 0;  // "Spiders only"
  Rerun("spidersonly", kind, table, params);
  params = BenchEverythingParams();
  params.successOn = 0;  // "Errors"
  Rerun("errors", kind, table, params);
  Rerun("all", kind, table, BenchEverythingParams());
  FreeAuxDatabases();
  return 0;
}
