// tvbench: speed and memory figures of the engine. Prints figures; never a test.
#include <cstdio>
#include <cstring>

#include "bench/bench.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;
};

const Command kCommands[] = {
    {"store", BenchStore, "store N            append and walk N synthetic hit records"},
    {"gunzip", BenchGunzip, "gunzip IN OUT      decompress one file"},
    {"tree", BenchTree, "tree N             insert N records with 100 to 1,000,000 distinct keys"},
    {"load", BenchLoad, "load FILE...       read log files into a hit store"},
    {"lookup", BenchLookup, "lookup --agent T | --referrer U | --ip A   classify with the shipped tables"},
    {"dns", BenchDns, "dns N DELAY_MS     DNS pass over N addresses against a resolver taking DELAY_MS"},
    {"query", BenchQuery, "query FILE... --kind K [--top N] | --all   run report queries over the files"},
    {"export", BenchExport, "export FILE... --kind K --text|--csv|--mail|--html|--csv-hits OUT   write an export"},
    {"listfill", BenchListFill, "listfill FILE... [--kind K] [--sort COLUMN]   fill a report list: item count, index, sort, cells; a filter's re-run"},
    {"navigate", BenchNavigate, "navigate FILE...   replay a drill-down: Pages, Hosts, Browsers, Back, Back, Next, a new top report"},
    {"chart", BenchChart, "chart FILE... --kind K [--type T] [--source S] [--width W] [--height H]   draw a chart pane's picture"},
};

void Usage() {
  fprintf(stderr, "usage: tvbench COMMAND ...\n");
  for (const Command& c : kCommands) fprintf(stderr, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  for (const Command& c : kCommands) {
    if (strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  Usage();
  return 2;
}
