// Set-up shared by the subcommands that analyse whole logs.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "engine/analysis.h"
#include "engine/auxdb.h"
#include "engine/msgsink.h"
#include "engine/odbcload.h"
#include "engine/project.h"
#include "engine/query.h"
#include "platform/folders.h"

namespace {

std::string g_scratch;

void PrintError(const char* text) { fprintf(stderr, "%s\n", text); }

void RemoveScratch() {
  std::error_code ec;
  if (!g_scratch.empty()) std::filesystem::remove_all(g_scratch, ec);
}

}  // namespace

void BenchUseScratchHome() {
  // The shipped tables, so agents, robots, search engines and addresses are
  // classified; read before the scratch home hides the program folder.
  LoadAuxDatabases(false);
  if (!getenv("TRAILVANE_HOME")) {
    std::string templ = (std::filesystem::temp_directory_path() / "tvbench-XXXXXX").string();
    if (mkdtemp(templ.data())) {
      setenv("TRAILVANE_HOME", templ.c_str(), 1);
      tv::ResetFolders();
      g_scratch = templ;
      atexit(RemoveScratch);
    }
  }
  SetEngineCallbacks(nullptr, PrintError, nullptr, nullptr, nullptr, nullptr);
}

uint64_t BenchAnalyse(const std::vector<const char*>& files, bool dns) {
  g_project.Reset();
  for (const char* f : files) {
    CLogSource source;
    CLogSourceList::InitEntry(&source);
    source.file = const_cast<char*>(f);
    g_project.sources.Add(source);
    source.file = nullptr;
  }
  g_project.groups.Insert(0, "Pages", ".html;.htm;.asp;.aspx;.php;.shtml", kGroupPages);
  g_project.groups.Insert(1, "Images", ".gif;.jpg;.jpeg;.png;.ico;.svg", kGroupOther);
  g_project.groups.Insert(2, "Downloads", ".zip;.exe;.pdf;.msi", kGroupDownloads);
  g_project.expand_groups = 1;  // a slot per group
  g_project.dns_lookup = dns ? 1 : 0;
  g_analysisOptions.auto_robot = 1;
  g_analysisOptions.confirmation_robot = 0;
  double t0 = BenchNow();
  AnalyseLogs(g_project, 0, 0, LoadOdbcTable, "index.html");
  BumpQueryGeneration();
  uint64_t records = 0;
  for (int s = 0; s < g_project.sources.Count(); ++s) records += g_project.sources[s].records.RecordCount();
  fprintf(stderr, "loaded %llu records in %.2f s\n", static_cast<unsigned long long>(records), BenchNow() - t0);
  return records;
}

CQueryParams BenchEverythingParams() {
  CQueryParams p;
  for (uint32_t& g : p.groupOn) g = 1;
  return p;
}
