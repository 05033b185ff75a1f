// tvbench chart FILE... --kind K [--type T] [--source S] [--width W] [--height H]
// [--runs N]: runs the analysis pass and the query of a kind, then times what
// the chart pane does for one draw: the chart written as a PNG picture in the
// temporary folder, converted to a BMP, read back, and both files removed.
// Type and source are the pane's choices (0 default, 1 pie / hits, 2 bars /
// bandwidth, 3 visitors); width and height the pane's size.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "engine/query/query.h"
#include "engine/query/rowtable.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "output/chart.h"
#include "output/pngbmp.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "ui/core/chartlayout.h"

namespace {

// The BMP read back whole, as the pane's image loader does.
size_t ReadBack(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::vector<char> buffer(1 << 16);
  size_t total = 0;
  for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), f)) > 0;) total += n;
  fclose(f);
  return total;
}

}  // namespace

int BenchChart(int argc, char** argv) {
  std::vector<const char*> files;
  int kind = -1, type = 0, source = 0, width = 800, height = 560, runs = 10;
  for (int i = 0; i < argc; ++i) {
    auto next = [&](int* value) {
      if (i + 1 < argc) *value = atoi(argv[++i]);
    };
    if (strcmp(argv[i], "--kind") == 0) next(&kind);
    else if (strcmp(argv[i], "--type") == 0) next(&type);
    else if (strcmp(argv[i], "--source") == 0) next(&source);
    else if (strcmp(argv[i], "--width") == 0) next(&width);
    else if (strcmp(argv[i], "--height") == 0) next(&height);
    else if (strcmp(argv[i], "--runs") == 0) next(&runs);
    else files.push_back(argv[i]);
  }
  if (files.empty() || !ChartPictureName(kind, nullptr) || runs < 1) {
    fprintf(stderr, "usage: tvbench chart FILE... --kind K [--type T] [--source S] [--width W] [--height H] [--runs N]\n"
                    "  K: a kind with a chart (5, 7, 8, 9, 10, 13, 14, 15, 17, 18, 20, 21, 23, 26, 27, 32, 38, 39)\n");
    return 2;
  }
  BenchUseScratchHome();
  BenchAnalyse(files, false);

  CRowTable table;
  double t = BenchNow();
  RunQuery(g_project, kind, table, BenchEverythingParams());
  fprintf(stderr, "query kind %d: %d rows in %.2f s\n", kind, table.RowCount(), BenchNow() - t);

  ChartPlacement place = PlaceChart(width - kChartLeft, height);
  std::string png = tv::TempDir() + "chart.png", bmp = tv::TempDir() + "chart.bmp";
  double best = 1e9, worst = 0, sum = 0, picture = 0, convert = 0;
  size_t bytes = 0;
  for (int run = 0; run < runs; ++run) {
    int w = place.width, h = place.height;
    double t0 = BenchNow();
    bool ok = BuildReportChart(kind, table, &w, &h, nullptr, png.c_str(), nullptr, ChartStyleOf(type, source)).has_value();
    double t1 = BenchNow();
    ok = ok && ConvertPngToBmp(png.c_str(), bmp.c_str());
    bytes = ok ? ReadBack(bmp) : 0;
    tv::RemoveFile(png);
    tv::RemoveFile(bmp);
    double t2 = BenchNow();
    if (!ok) {
      fprintf(stderr, "no chart drawn\n");
      FreeAuxDatabases();
      return 1;
    }
    picture += t1 - t0;
    convert += t2 - t1;
    double s = t2 - t0;
    sum += s;
    best = s < best ? s : best;
    worst = s > worst ? s : worst;
  }
  printf("%-12s\tkind=%d\ttype=%d\tsource=%d\tsize=%dx%d\tbmpbytes=%zu\n", "chart", kind, type, source, place.width,
         place.height, bytes);
  printf("%-12s\truns=%d\tpicture=%.4f\tconvert=%.4f\tmean=%.4f\tbest=%.4f\tworst=%.4f\n", "draw", runs,
         picture / runs, convert / runs, sum / runs, best, worst);
  FreeAuxDatabases();
  return 0;
}
