// Set-up shared by the subcommands that analyse whole logs.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "bench/bench.h"
#include "engine/analysis/analysis.h"
#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/query/query.h"
#include "engine/sources/odbcload.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "platform/folders.h"
#include "ui/core/workspaceoptions.h"

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

namespace {

void AddSource(const char* file) {
  CLogSource source;
  CLogSourceList::InitEntry(&source);
  source.file = const_cast<char*>(file);
  g_project.sources.Add(source);
  source.file = nullptr;
}

}  // namespace

uint64_t BenchAnalyse(const std::vector<const char*>& files, const BenchLoadOptions& options) {
  g_project.Reset();
  if (options.defaults) {
    // A new workspace's options, copied into the engine as the window does.
    LoadDocumentOptions(*SetWorkspaceDefaults(), g_project);
  } else {
    g_project.groups.Insert(0, "Pages", ".html;.htm;.asp;.aspx;.php;.shtml", kGroupPages);
    g_project.groups.Insert(1, "Images", ".gif;.jpg;.jpeg;.png;.ico;.svg", kGroupOther);
    g_project.groups.Insert(2, "Downloads", ".zip;.exe;.pdf;.msi", kGroupDownloads);
    g_project.expand_groups = 1;  // a slot per group
    g_analysisOptions.auto_robot = 1;
    g_analysisOptions.confirmation_robot = 0;
  }
  g_project.dns_lookup = options.dns ? 1 : 0;
  const char* index = g_project.index && *g_project.index ? g_project.index : "index.html";
  double t0 = BenchNow();
  size_t first = options.reload && files.size() > 1 ? 1 : files.size();
  for (size_t i = 0; i < first; ++i) AddSource(files[i]);
  AnalyseLogs(g_project, 0, 0, LoadOdbcTable, index);
  if (first < files.size()) {
    // The pools forgot their indexes: the new sources store their texts anew.
    for (size_t i = first; i < files.size(); ++i) AddSource(files[i]);
    AnalyseLogs(g_project, 0, 0, LoadOdbcTable, index);
  }
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

CQueryParams BenchNewWorkspaceParams(int kind) {
  CQueryParams p;
  p.successOn = p.humansOn = p.browserClass0On = p.browserClass1On = 1;
  p.errorsOn = p.spidersOn = p.otherAgentsOn = 0;
  switch (kind) {
    case kReportGroup:
      for (uint32_t& g : p.groupOn) g = 1;
      break;
    case kReportSpider:
      p.errorsOn = p.successOn = p.spidersOn = p.humansOn = 1;
      for (uint32_t& g : p.groupOn) g = 1;
      p.browserClass0On = p.browserClass1On = 0;
      break;
    case kReportReferrerType: p.spidersOn = p.humansOn = 1; break;
  }
  return p;
}
