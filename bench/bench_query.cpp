// tvbench query [--dns] [--defaults] [--reload] FILE... --kind K [--top N] | --all:
// runs the analysis pass over the files as log sources (--dns: with the DNS
// pass), then one report kind (printing its top rows) or every kind (printing
// each kind's time and row count). --defaults: a new workspace's options and
// report switches instead of everything on. --reload: the first file is
// analysed alone, then the others are added as new sources and analysed again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "engine/analysis/analysis.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/query/summary.h"
#include "engine/sources/odbcload.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "output/reportrows.h"
#include "platform/folders.h"

namespace {

void PrintSummary(const CSummaryStats& s) {
  printf(
      "hits\t%u\nvisitors\t%u\nhosts\t%u\npages\t%u\npageViews\t%u\nerrors\t%u\nkeywords\t%u\n"
      "searchEngines\t%u\nspiders\t%u\nreferringSites\t%u\nreferrers\t%u\ncountries\t%u\nentryPages\t%u\n"
      "bytesSent\t%llu\nbytesReceived\t%llu\n",
      s.hits, s.visitors, s.hosts, s.pages, s.pageViews, s.errors, s.keywords, s.searchEngines, s.spiders,
      s.referringSites, s.referrers, s.countries, s.entryPages, static_cast<unsigned long long>(s.bytesSent),
      static_cast<unsigned long long>(s.bytesReceived));
}

bool IsQueryKind(int kind) {
  return kind >= 1 && kind <= kMaxReportKind && kind != 31 && kind != 33 && kind != 34 && kind != 35 && kind != 40 &&
         kind != 42;
}

}  // namespace

int BenchQuery(int argc, char** argv) {
  std::vector<const char*> files;
  int kind = -1, top = 20;
  bool all = false;
  BenchLoadOptions load;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--dns") == 0)
      load.dns = true;
    else if (strcmp(argv[i], "--defaults") == 0)
      load.defaults = true;
    else if (strcmp(argv[i], "--reload") == 0)
      load.reload = true;
    else if (strcmp(argv[i], "--kind") == 0 && i + 1 < argc)
      kind = atoi(argv[++i]);
    else if (strcmp(argv[i], "--top") == 0 && i + 1 < argc)
      top = atoi(argv[++i]);
    else if (strcmp(argv[i], "--all") == 0)
      all = true;
    else
      files.push_back(argv[i]);
  }
  if (files.empty() || (!all && kind < 1)) {
    fprintf(stderr,
            "usage: tvbench query [--dns] [--defaults] [--reload] FILE... --kind K [--top N] | --all\n");
    return 2;
  }
  if (load.reload && files.size() < 2) {
    fprintf(stderr, "--reload needs two files or more\n");
    return 2;
  }
  BenchUseScratchHome();
  BenchAnalyse(files, load);

  auto paramsOf = [&](int k) { return load.defaults ? BenchNewWorkspaceParams(k) : BenchEverythingParams(); };
  if (all) {
    double total = 0, worst = 0;
    int worstKind = 0;
    for (int k = 1; k <= kMaxReportKind; ++k) {
      if (k != kReportSummary && !IsQueryKind(k)) continue;
      double start = BenchNow();
      int32_t rows = 1;
      const CQueryParams params = paramsOf(k);
      if (k == kReportSummary) {
        CSummaryStats stats;
        RunSummaryQuery(g_project, stats, params);
      } else {
        CRowTable table;
        RunQuery(g_project, k, table, params);
        rows = table.RowCount();
      }
      double sec = BenchNow() - start;
      total += sec;
      if (sec > worst) {
        worst = sec;
        worstKind = k;
      }
      printf("kind=%d\tseconds=%.3f\trows=%d\n", k, sec, rows);
    }
    printf("total\tseconds=%.3f\tslowest=%d (%.3f s)\n", total, worstKind, worst);
    FreeAuxDatabases();
    return 0;
  }
  const CQueryParams params = paramsOf(kind);
  if (kind == kReportSummary) {
    CSummaryStats stats;
    RunSummaryQuery(g_project, stats, params);
    PrintSummary(stats);
    return 0;
  }
  if (!IsQueryKind(kind)) {
    fprintf(stderr, "kind %d has no rows\n", kind);
    return 2;
  }
  CRowTable table;
  RunQuery(g_project, kind, table, params);
  CRowIndex index;
  SetReportSortOrder(kind, table, index);
  char text[kUrlTextSize];
  for (uint32_t i = 0; i < index.Count() && static_cast<int>(i) < top; ++i) {
    CRow* row = index[i];
    printf("%s\t%u\t%u\t%u\t%llu\n", GetHitFieldText(kind, text, row->Record(), sizeof text, false), row->Hits(),
           row->Visitors(), row->Pages(), static_cast<unsigned long long>(row->BytesSent()));
  }
  printf("total\t%u\t%u\t%u\t%llu\trows=%d\n", table.totals.hits, table.totals.visitors, table.totals.pages,
         static_cast<unsigned long long>(table.totals.bytesSent), table.RowCount());
  return 0;
}
