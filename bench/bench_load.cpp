// tvbench load [--dns] [--load-only] FILE... | --workspace FILE.tv: runs the
// analysis pass over the files as the local sources of one project (each
// argument one source, so ';' lists, wildcards and compressed files work), or
// every source of a workspace, and prints the records, the speed and the memory
// the hits cost. --dns adds the DNS pass; --load-only runs the loader alone.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "engine/analysis/analysis.h"
#include "engine/config/workspace.h"
#include "engine/query/recordtree.h"
#include "engine/readers/logread.h"
#include "engine/sources/logcache.h"
#include "engine/sources/logload.h"
#include "engine/sources/odbcload.h"
#include "engine/store/hitstore.h"
#include "engine/store/project.h"
#include "engine/store/strpool.h"
#include "platform/folders.h"

namespace {

int g_errors = 0;

void PrintError(const char* text) {
  ++g_errors;
  fprintf(stderr, "%s\n", text);
}

// One line per file read, from what the load reports: the status text names
// the file, the progress range comes once its format is known.
struct FileLine {
  std::string name;
  const char* format = "-";
  uint64_t records = 0, ignored = 0, headers = 0;
};
std::vector<FileLine> g_lines;
bool g_lineOpen = false;
double g_loadEnd = 0;  // when the visitor numbering began
size_t g_indexBytes = 0;  // of the pools' indexes then, before the pass drops them
size_t PoolIndexBytes();

void SourceTotals(uint64_t* records, uint64_t* ignored, uint64_t* headers) {
  *records = *ignored = *headers = 0;
  for (int i = 0; i < g_project.sources.Count(); ++i) {
    const CHitStore& st = g_project.sources[i].records;
    *records += st.RecordCount();
    *ignored += st.ignoredLines;
    *headers += st.headerLines;
  }
}

// The counters grow only while a file is read, so each line takes the growth
// since its file began.
void CloseLine() {
  if (!g_lineOpen) return;
  g_lineOpen = false;
  uint64_t r, i, h;
  SourceTotals(&r, &i, &h);
  FileLine& l = g_lines.back();
  l.records = r - l.records;
  l.ignored = i - l.ignored;
  l.headers = h - l.headers;
}

void OnStatus(const char* text) {
  static const char kParsing[] = "Parsing log file '";
  static const char kTail[] = "'...";
  size_t len = text ? strlen(text) : 0;
  if (len && strcmp(text, "Set visitors ID...") == 0 && g_loadEnd == 0) {
    g_loadEnd = BenchNow();
    g_indexBytes = PoolIndexBytes();
  }
  if (len < sizeof kParsing - 1 + sizeof kTail - 1 || strncmp(text, kParsing, sizeof kParsing - 1) != 0 ||
      strcmp(text + len - (sizeof kTail - 1), kTail) != 0)
    return;
  CloseLine();
  FileLine l;
  l.name.assign(text + sizeof kParsing - 1, len - (sizeof kParsing - 1) - (sizeof kTail - 1));
  SourceTotals(&l.records, &l.ignored, &l.headers);
  g_lines.push_back(std::move(l));
  g_lineOpen = true;
}

void OnProgress(uint32_t, uint32_t mode) {
  if (mode == 1 && g_lineOpen && g_logFormat) g_lines.back().format = g_logFormat;
}

CStringPool* const kPools[] = {&g_pools.pages,    &g_pools.agents, &g_pools.referrers, &g_pools.cookies,
                               &g_pools.users,    &g_pools.hosts,  &g_pools.subdomains};

size_t PoolIndexBytes() {
  size_t n = 0;
  for (CStringPool* p : kPools) n += p->IndexBytes();
  return n;
}

}  // namespace

int BenchLoad(int argc, char** argv) {
  bool dns = false, loadOnly = false;
  while (argc > 0 && (strcmp(argv[0], "--dns") == 0 || strcmp(argv[0], "--load-only") == 0)) {
    (strcmp(argv[0], "--dns") == 0 ? dns : loadOnly) = true;
    ++argv;
    --argc;
  }
  const char* workspace = nullptr;
  if (argc == 2 && strcmp(argv[0], "--workspace") == 0) workspace = argv[1];
  if (argc < 1 || (!workspace && strcmp(argv[0], "--workspace") == 0)) {
    fprintf(stderr, "usage: tvbench load [--dns] [--load-only] FILE... | tvbench load [--dns] --workspace FILE.tv\n");
    return 2;
  }
  // The diagnostics log and the download cache go to a scratch home unless one is given.
  std::string scratch;
  if (!getenv("TRAILVANE_HOME")) {
    std::string templ = (std::filesystem::temp_directory_path() / "tvbench-XXXXXX").string();
    if (mkdtemp(templ.data())) {
      scratch = templ;
      setenv("TRAILVANE_HOME", scratch.c_str(), 1);
      tv::ResetFolders();
    }
  }
  SetEngineCallbacks(PrintError, PrintError, nullptr, OnStatus, nullptr, OnProgress);
  g_logCache.LoadCacheIndex();

  CGroupMaskList masks;
  const char* index = "index.html";
  if (workspace) {
    CWorkspaceFile* ws = LoadWorkspace(workspace);
    g_project.groups.CopyFrom(ws->groups);
    if (ws->common.index) index = ws->common.index;
  } else {
    g_project.Reset();
    for (int i = 0; i < argc; ++i) {
      CLogSource source;
      CLogSourceList::InitEntry(&source);
      source.file = argv[i];
      g_project.sources.Add(source);
      source.file = nullptr;
    }
  }
  if (g_project.groups.Count() == 0) {
    // Typical file-type groups, so every page is typed as in a real analysis.
    g_project.groups.Insert(0, "Pages", ".html;.htm;.asp;.aspx;.php;.shtml", kGroupPages);
    g_project.groups.Insert(1, "Images", ".gif;.jpg;.jpeg;.png;.ico;.svg", kGroupOther);
    g_project.groups.Insert(2, "Downloads", ".zip;.exe;.pdf;.msi", kGroupDownloads);
  }
  g_project.dns_lookup = dns ? 1 : 0;
  // Spiders are detected and marked at once, as an unattended analysis does.
  g_analysisOptions.auto_robot = 1;
  g_analysisOptions.confirmation_robot = 0;

  double t0 = BenchNow();
  if (loadOnly) {
    masks.Build(g_project.groups);
    LoadLogSources(g_project.sources, masks, g_project.from_date, g_project.to_date, LoadOdbcTable, index);
  } else {
    AnalyseLogs(g_project, g_project.from_date, g_project.to_date, LoadOdbcTable, index);
  }
  double seconds = BenchNow() - t0;
  if (!loadOnly && g_loadEnd > 0)
    printf("pass load_seconds=%.3f analysis_seconds=%.3f visitors=%u dns=%d\n", g_loadEnd - t0, t0 + seconds - g_loadEnd,
           g_visitorCounter, dns ? 1 : 0);
  CloseLine();
  for (const FileLine& l : g_lines)
    printf("file=%s format=%s records=%llu ignored=%llu headers=%llu\n", l.name.c_str(), l.format,
           static_cast<unsigned long long>(l.records), static_cast<unsigned long long>(l.ignored),
           static_cast<unsigned long long>(l.headers));

  size_t indexBytes = loadOnly ? PoolIndexBytes() : g_indexBytes;
  ResetStringPools();
  size_t poolBytes = 0;
  for (CStringPool* p : kPools) poolBytes += p->BytesUsed();
  uint64_t n = 0, ignored = 0, headers = 0;
  SourceTotals(&n, &ignored, &headers);
  size_t storeBytes = 0;
  for (int i = 0; i < g_project.sources.Count(); ++i) storeBytes += g_project.sources[i].records.AllocatedBytes();
  uint64_t bytes = g_loadBytes;
  double memory = static_cast<double>(storeBytes + poolBytes);
  printf("total records=%llu ignored=%llu headers=%llu bytes=%llu seconds=%.3f mb_per_s=%.1f bytes_per_hit=%.2f "
         "bytes_per_hit_with_index=%.2f\n",
         static_cast<unsigned long long>(n), static_cast<unsigned long long>(ignored),
         static_cast<unsigned long long>(headers), static_cast<unsigned long long>(bytes), seconds,
         seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0, n ? memory / static_cast<double>(n) : 0.0,
         n ? (memory + static_cast<double>(indexBytes)) / static_cast<double>(n) : 0.0);
  g_project.Clear();
  ClearEngineCallbacks();
  if (!scratch.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
  return g_errors ? 1 : 0;
}
