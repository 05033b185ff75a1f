// tvbench export FILE... --kind K [--language NAME] --text OUT | --csv OUT | --mail OUT | --html OUT |
// --csv-hits OUT: loads the files as log sources, runs one report kind and writes it as a text
// table, a CSV file, a mail message or an HTML page with its chart; --csv-hits
// writes every loaded hit. The templates and language files are the shipped
// ones, found from the program's folder wherever tvbench runs from.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "engine/display/vocab.h"
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

namespace {

// The first folder holding file: the program folder, then, from the folder of
// the executable up to the root, each of the places a build, an install or
// the source tree keeps shipped files in. "" when there is none.
std::string FindShippedFolder(const std::string& programDir, const char* file, std::vector<std::string> places) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_regular_file(programDir + file, ec)) return programDir;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  for (fs::path dir = exe.parent_path(); !dir.empty(); dir = dir.parent_path()) {
    for (const std::string& place : places) {
      std::string folder = (dir / place).string() + "/";
      if (fs::is_regular_file(folder + file, ec)) return folder;
    }
    if (dir == dir.root_path()) break;
  }
  return {};
}

}  // namespace

int BenchExport(int argc, char** argv) {
  std::vector<const char*> files;
  int kind = -1;
  const char* out = nullptr;
  const char* language = nullptr;
  enum { kNone, kText, kCsv, kMail, kHtml, kCsvHits } what = kNone;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--kind") == 0 && i + 1 < argc) {
      kind = atoi(argv[++i]);
    } else if (strcmp(argv[i], "--language") == 0 && i + 1 < argc) {
      language = argv[++i];
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
    fprintf(stderr,
            "usage: tvbench export FILE... --kind K [--language NAME] --text OUT | --csv OUT | --mail OUT | --html OUT | "
            "--csv-hits OUT\n");
    return 2;
  }
  // Found before the scratch home hides the program folder.
  const std::string programDir = tv::ProgramDir();
  std::string templates =
      FindShippedFolder(programDir + "Resource/", "Template1.r_tmpl", {"Resource", "share/trailvane/Resource"});
  if (templates.empty())
    templates = FindShippedFolder(programDir + "Resource/", "dTempl.r_tmpl", {"Resource", "share/trailvane/Resource"});
  std::string languageFile;
  if (language) {
    char name[256];
    AddLngExtension(name, sizeof name, language);
    std::string folder = FindShippedFolder(programDir, name, {"data/lang", "share/trailvane"});
    if (folder.empty()) {
      fprintf(stderr, "no language file %s\n", name);
      return 2;
    }
    languageFile = folder + name;
  }
  BenchUseScratchHome();
  BenchAnalyse(files, false);

  if (language) {
    // Read from the scratch data folder, where the engine looks first.
    std::string name = std::filesystem::path(languageFile).filename().string();
    std::error_code ec;
    std::filesystem::copy_file(languageFile, tv::DataDir() + name, std::filesystem::copy_options::overwrite_existing, ec);
    LoadLanguage(name.c_str());
  }
  const CQueryParams params = BenchEverythingParams();
  CRowTable table;
  double t0 = BenchNow();
  if (what != kCsvHits && kind != kReportSummary) RunQuery(g_project, kind, table, params);
  int ok = 0;
  switch (what) {
    case kText: ok = ExportReportToText(out, kind, table, params, nullptr); break;
    case kCsv: ok = ExportReportToCsv(out, kind, table, params, nullptr); break;
    case kMail: ok = ExportReportToMail(out, kind, table, params, nullptr); break;
    case kHtml:
      ok = ExportReportToHtml(out, kind, table, nullptr, params, nullptr, templates.empty() ? nullptr : templates.c_str());
      break;
    default: ok = ExportAllHitsToCsv(out, g_project); break;
  }
  fprintf(stderr, "%s %s in %.2f s (%d rows)\n", ok ? "wrote" : "failed to write", out, BenchNow() - t0,
          table.RowCount());
  FreeAuxDatabases();
  return ok ? 0 : 1;
}
