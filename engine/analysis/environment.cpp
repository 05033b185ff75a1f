#include "engine/analysis/environment.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/msgsink.h"
#include "engine/analysis/dnscache.h"
#include "engine/display/vocab.h"
#include "engine/sources/logcache.h"
#include "engine/sources/remotelogs.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

std::string g_programFolder;
std::string g_tempFolder;
tv::CivilDate g_today;

const char kProbeName[] = "test0Xr7_8.tmp";

// The prefixes of the engine's temporary files: decompressed logs and
// databases, downloads and downloads the cache could not keep.
constexpr std::initializer_list<const char*> kTempPrefixes = {"log", "tmpdb", "iNet", "iCsh"};

// The private temporary folder when a file can be made in it, else "". The
// probe is created exclusively, so it never opens a file someone else put there.
std::string ProbeTempFolder() {
  std::string dir = tv::TempDir();
  if (dir.empty()) {
    EngineErrorF("The temporary folder is not used: %s", tv::TempDirProblem().c_str());
    return {};
  }
  std::string probe = dir + kProbeName;
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = open(probe.c_str(), O_RDWR | O_CREAT | O_EXCL | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      unlink(probe.c_str());
      return dir;
    }
    // A probe left by a run that died: the folder is ours, so it may go.
    if (errno != EEXIST || unlink(probe.c_str()) != 0) break;
  }
  return {};
}

}  // namespace

int InitEnvironment(const char* programFolder) {
  g_project.dns_lookup = 0;
  g_project.ip_lookup = 0;
  g_programFolder = programFolder ? programFolder : "";
  // The trace first, so whatever the start-up reports reaches the diagnostics log.
  SetEngineTrace([](const char* text) { WriteBugLog(text); });
  InstallVocabulary();
  LoadAuxDatabases(true);
  g_tempFolder = ProbeTempFolder();
  // A decompressed copy left by a run that was killed can be gigabytes.
  if (!g_tempFolder.empty()) tv::RemoveStaleTempFiles(kTempPrefixes);
  // So can the half-written new copy of the DNS cache a killed save leaves.
  tv::RemoveStaleSaveFiles(tv::DataDir(), "");
  tv::RemoveStaleSaveFiles(CLogCache::CacheFolder(), "");
  g_today = tv::Today();
  FindLanguageFiles();
  SetDnsToday(DnsDayStamp(g_today));
  CreateDnsCache();
  g_logCache.LoadCacheIndex();
  return 1;
}

void CleanupEnvironment() {
  // Closed while the folders and the trace still exist: left to the end of
  // the process, a session would say goodbye through freed names.
  CloseInternetSessions();
  SaveDnsCache();
  FreeDnsCache();
  // Without the folder the names would be the current folder's files.
  if (!g_tempFolder.empty())
    for (const char* name : {"TVNsite.url", "TVNletter.eml", "temp.eml"}) tv::RemoveFile(g_tempFolder + name);
  FreeAuxDatabases();
  g_project.Clear();
  LogNormalShutdown();
}

const std::string& ProgramFolder() { return g_programFolder; }
const std::string& TempFolder() { return g_tempFolder; }
const tv::CivilDate& EnvironmentToday() { return g_today; }
