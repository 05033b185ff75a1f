// tvbench export FILE... --kind K --text OUT | --csv OUT | --mail OUT | --html OUT | --csv-hits OUT:
// loads the files as log sources, runs one report kind and writes it as a text
// table, a CSV file, a mail message or an HTML page with its chart; --csv-hits
// writes every loaded hit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/sources/logload.h"
#include "engine/sources/odbcload.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "output/csvexport.h"
#include "output/htmlexport.h"
#include "output/textexport.h"
#include "platform/folders.h"

int BenchExport(int argc, char** argv) {
  std::vector<const char*> files;
  int kind = -1;
  const char* out = nullptr;
  enum { kNone, kText, kCsv, kMail, kHtml, kCsvHits } what = kNone;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--kind") == 0 && i + 1 < argc) {
      kind = atoi(argv[++i]);
    } else if (i + 1 < argc && (strcmp(argv[i], "--text") == 0 || strcmp(argv[i], "--csv") == 0 ||
                                strcmp(argv[i], "--mail") == 0 || strcmp(argv[i], "--html") == 0 ||
                                strcmp(argv[i], "--csv-hits") == 0)) {
      what = strcmp(argv[i], "--text") == 0  ? kText
             : strcmp(argv[i], "--csv") == 0 ? kCsv
             : strcmp(argv[i], "--mail") == 0 ? kMail
             : strcmp(argv[i], "--html") == 0 ? kHtml
                                               : kCsvHits;
      out = argv[++i];
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty() || what == kNone || (what != kCsvHits && (kind < 1 || kind > kMaxReportKind))) {
    fprintf(stderr, "usage: tvbench export FILE... --kind K --text OUT | --csv OUT | --mail OUT | --html OUT | --csv-hits OUT\n");
    return 2;
  }
  BenchUseScratchHome();
  BenchAnalyse(files, false);

  const CQueryParams params = BenchEverythingParams();
  CRowTable table;
  double t0 = BenchNow();
  if (what != kCsvHits && kind != kReportSummary) RunQuery(g_project, kind, table, params);
  int ok = 0;
  switch (what) {
    case kText: ok = ExportReportToText(out, kind, table, params, nullptr); break;
    case kCsv: ok = ExportReportToCsv(out, kind, table, params, nullptr); break;
    case kMail: ok = ExportReportToMail(out, kind, table, params, nullptr); break;
    case kHtml: ok = ExportReportToHtml(out, kind, table, nullptr, params, nullptr); break;
    default: ok = ExportAllHitsToCsv(out, g_project); break;
  }
  fprintf(stderr, "%s %s in %.2f s (%d rows)\n", ok ? "wrote" : "failed to write", out, BenchNow() - t0,
          table.RowCount());
  FreeAuxDatabases();
  return ok ? 0 : 1;
}
