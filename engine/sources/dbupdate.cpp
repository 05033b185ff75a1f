#include "engine/sources/dbupdate.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <new>
#include <set>

#include "base/msgsink.h"
#include "decompress/gunzip.h"
#include "engine/display/vocab.h"
#include "engine/sources/remotelogs.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/auxfile.h"
#include "platform/files.h"
#include "platform/folders.h"

using namespace auxfile;

CUpdateList g_updateList;
const char* const kUpdateListPath = "/data/data_log.-";

namespace {

const char kNothingToUpdate[] = "Nothing to update";
const char kServerVariable[] = "TRAILVANE_UPDATE_SERVER";
const char kServerFile[] = "update_server.txt";
constexpr int kAttempts = 10;

DatabaseReloadRunner g_reloadRunner = nullptr;
uint64_t g_maxListBytes = 64ull << 20;
uint64_t g_maxTableBytes = 512ull << 20;

CUpdateList& List(CSectionFile& f) { return static_cast<CUpdateList&>(f); }

constexpr KeyDef kFileKeys[] = {
    StringKey<&CUpdateFile::url>("url"),          StringKey<&CUpdateFile::url2>("url2"),
    ShortKey<&CUpdateFile::type>("type"),         ShortKey<&CUpdateFile::id_file>("id_file"),
    ShortKey<&CUpdateFile::version>("version"),   ShortKey<&CUpdateFile::mb>("mb"),
};

constexpr RecordAccessor kFileAccess = {
    [](CSectionFile& f) -> int32_t { return List(f).files.Count(); },
    [](CSectionFile& f, int32_t i) -> void* { return List(f).files.Get(i); },
    [](CSectionFile& f) -> void* { return List(f).files.AddEmpty(); },
    [](CSectionFile& f) { List(f).files.Clear(); },
};

constexpr SectionDef kListSections[] = {
    {"File", kFileKeys, static_cast<int32_t>(sizeof kFileKeys / sizeof kFileKeys[0]), &kFileAccess, nullptr},
};

// What a row's type installs: one table, or a geographic level's range index
// and name table.
struct TableTarget {
  const char* file;   // the table, or the range index
  uint8_t type;       // its header type, whose loaded version the row's is compared with
  const char* names;  // the name table; null for a single table
  uint8_t namesType;
};

bool TargetOf(int type, TableTarget* t) {
  switch (type) {
    case kOs: *t = {"os.dat", kOs, nullptr, 0}; return true;
    case kBrowser: *t = {"browser.dat", kBrowser, nullptr, 0}; return true;
    case kSite: *t = {"site.dat", kSite, nullptr, 0}; return true;
    case kRobot: *t = {"robot.dat", kRobot, nullptr, 0}; return true;
    case kSearchEngine: *t = {"se.dat", kSearchEngine, nullptr, 0}; return true;
    case kCountryRanges:
    case kCountryNames: *t = {"cntr0.dat", kCountryRanges, "cntr1.dat", kCountryNames}; return true;
    case kCityRanges:
    case kCityNames: *t = {"city0.dat", kCityRanges, "city1.dat", kCityNames}; return true;
    case kRegionRanges:
    case kRegionNames: *t = {"reg0.dat", kRegionRanges, "reg1.dat", kRegionNames}; return true;
  }
  return false;
}

bool HasText(const char* s) { return s && *s; }

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

void RemoveIfNamed(std::string* path) {
  if (!path->empty()) tv::RemoveFile(*path);
  path->clear();
}

// Downloads the address's path from the open connection into a new "iNet"
// file; its name on success, else "" with nothing left behind.
std::string DownloadToTemp(const char* url, uint64_t maxBytes) {
  std::string target = tv::MakeTempFile("iNet");
  if (target.empty()) {
    EngineError("Cannot create a temporary file");
    return {};
  }
  uint32_t size = 0;
  CHttpFile* file = OpenRemoteFile(url, &size, nullptr);
  if (!file || !DownloadRemoteFile(url, size, target.c_str(), file, maxBytes)) {
    tv::RemoveFile(target);
    return {};
  }
  return target;
}

// "<what> could not be downloaded: <why>" as an error.
void DownloadFailed(const std::string& what) {
  std::string why = LastTransferFailure();
  EngineErrorF("%s could not be downloaded%s%s", what.c_str(), why.empty() ? "" : ": ", why.c_str());
}

// The bytes of a table as the loader would take them: its header and type, a
// body it can read, and at least one row (an empty table replaces nothing).
bool TableLoads(uint8_t type, const std::vector<uint8_t>& d) {
  Header h;
  if (!ReadHeader(d.data(), d.size(), type, &h)) return false;
  size_t body = d.size() - kHeaderSize;
  size_t record = 0;
  switch (type) {
    case kOs: record = kOsRecord; break;
    case kBrowser: record = kBrowserRecord; break;
    case kSite: record = kSiteRecord; break;
    case kRobot: record = kRobotRecord; break;
    case kSearchEngine: record = kSearchEngineRecord; break;
    case kCountryNames: record = h.value >= 4 ? h.value : 0; break;  // code, zero, at least the name's end
    case kCityNames:
    case kRegionNames: record = h.value; break;
    case kCountryRanges:
    case kCityRanges:
    case kRegionRanges:
      try {
        GeoRanges ranges;
        return ParseGeoRanges(d.data() + kHeaderSize, body, &ranges) && !ranges.Empty();
      } catch (const std::bad_alloc&) {
        return false;
      }
    default: return false;
  }
  return record > 0 && body > 0 && body % record == 0;
}

// Decompresses a downloaded file into a "tmpdb" file and reads the result.
bool Decompress(const char* in, std::string* temp, std::vector<uint8_t>* bytes) {
  if (!HasText(in) || !tv::FileExists(in)) return false;
  *temp = tv::MakeTempFile("tmpdb");
  if (temp->empty()) return false;
  if (!GunzipFile(in, temp->c_str(), g_maxTableBytes)) return false;
  std::ifstream f(*temp, std::ios::binary);
  try {
    bytes->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return !f.bad();
}

bool Replace(const char* name, const std::vector<uint8_t>& bytes) {
  std::string target = AuxWritePath(name);
  if (tv::WriteFileReplacing(target, bytes.data(), bytes.size())) return true;
  EngineErrorF("Cannot write the file %s", target.c_str());
  return false;
}

void Refused(const char* name) { EngineErrorF("The database file %s is damaged and was not installed", name); }

}  // namespace

CUpdateFile::~CUpdateFile() {
  free(url);
  free(url2);
}

CUpdateList::CUpdateList() : CSectionFile(kListSections, 1, 1.0) {}
CUpdateList::~CUpdateList() = default;

std::string UpdateServerAddress() {
  if (const char* env = getenv(kServerVariable)) {
    std::string s = Trim(env);
    if (!s.empty()) return s;
  }
  std::string line;
  if (std::FILE* f = tv::OpenRegularStream((tv::DataDir() + kServerFile).c_str())) {
    char buf[1024];
    if (std::fgets(buf, sizeof buf, f)) line = buf;
    std::fclose(f);
  }
  return Trim(line);
}

const char* GetUpdateTitle(int row) {
  const CUpdateFile* r = g_updateList.Row(row);
  if (!r || r->id_file > 0) return nullptr;
  TableTarget t{};
  if (!TargetOf(r->type, &t) || r->version <= AuxTableVersion(t.type)) return nullptr;
  switch (r->type) {
    case kOs: return GetTerm(kTermOss);
    case kBrowser: return GetTerm(kTermBrowsers);
    case kSite: return GetTerm(kTermReferSites);
    case kRobot: return "Robots";
    case kSearchEngine: return GetTerm(kTermSes);
    case kCountryRanges:
    case kCountryNames: return GetTerm(kTermContrys);
    case kCityRanges:
    case kCityNames: return GetTerm(kTermCitys);
    default: return GetTerm(kTermRegions);
  }
}

int CheckDatabaseUpdates(std::vector<CUpdateEntry>* entries, const char* proxyHost, uint16_t proxyPort,
                         bool* failed) {
  if (failed) *failed = false;
  entries->clear();
  g_updateList.ResetToDefaults();
  std::string server = UpdateServerAddress();
  bool ok = false;
  if (server.empty()) {
    // Said as what it is: there is no list to look at, not an empty one.
    const std::string why = std::string("No update server is set (") + kServerVariable + " or " + kServerFile +
                            " in the data folder).";
    EngineInfo(why.c_str());
    EngineError(why.c_str());
    if (failed) *failed = true;
    return 0;
  }
  TransferParams p;
  p.url = server.c_str();
  p.useProxy = HasText(proxyHost);
  p.proxy = proxyHost;
  p.proxyPort = proxyPort;
  if (ConnectToServer(kTransferHttp, p, kAttempts)) {
    std::string list = DownloadToTemp(kUpdateListPath, g_maxListBytes);
    if (!list.empty()) {
      ok = g_updateList.Load(list.c_str(), 1) != 0;
      tv::RemoveFile(list);
    }
  }
  if (!ok && !StopRequested()) {
    if (failed) *failed = true;
    DownloadFailed("The update list");
  }
  if (!ok) {
    // What a broken list got as far as giving is no offer.
    g_updateList.ResetToDefaults();
    CloseInternetSessions();
    EngineError(kNothingToUpdate);
    return 0;
  }
  for (int i = 0; i < g_updateList.Count() && !StopRequested(); ++i) {
    const char* title = GetUpdateTitle(i);
    if (!title) continue;
    CUpdateEntry e;
    e.title = title;
    e.size = g_updateList.Row(i)->mb;
    e.row = i;
    entries->push_back(std::move(e));
  }
  if (entries->empty()) {
    CloseInternetSessions();
    EngineError(kNothingToUpdate);
    return 0;
  }
  return static_cast<int>(entries->size());
}

int DownloadDatabaseUpdates(std::vector<CUpdateEntry>& entries, int* failed) {
  int failures = 0;
  if (failed) *failed = 0;
  if (StopRequested()) {
    CloseInternetSessions();
    return 1;
  }
  bool any = false;
  for (const CUpdateEntry& e : entries) any = any || e.selected;
  if (!any) {
    CloseInternetSessions();
    EngineInfo(kNothingToUpdate);
    return 1;
  }

  // One entry per installed table: the selected one of the newest version
  // (the first of equals). The others would only be written over by it.
  std::map<std::string, CUpdateEntry*> chosen;
  for (CUpdateEntry& e : entries) {
    const CUpdateFile* row = g_updateList.Row(e.row);
    TableTarget t{};
    if (!e.selected || !row || !TargetOf(row->type, &t)) continue;
    CUpdateEntry*& best = chosen[t.file];
    if (!best || row->version > g_updateList.Row(best->row)->version) best = &e;
  }
  std::set<const CUpdateEntry*> picked;
  for (const auto& target : chosen) picked.insert(target.second);
  std::vector<CUpdateEntry*> work;  // in list order
  for (CUpdateEntry& e : entries)
    if (picked.count(&e)) work.push_back(&e);

  for (CUpdateEntry* e : work) {
    if (StopRequested()) break;
    const CUpdateFile* row = g_updateList.Row(e->row);
    TableTarget t{};
    TargetOf(row->type, &t);
    bool ok = true;
    if (HasText(row->url)) ok = !(e->file1 = DownloadToTemp(row->url, g_maxTableBytes)).empty();
    // Only the geographic levels have a second file; an empty address names none.
    if (ok && t.names && HasText(row->url2)) ok = !(e->file2 = DownloadToTemp(row->url2, g_maxTableBytes)).empty();
    if (!ok && !StopRequested()) {
      DownloadFailed("The table " + e->title);
      ++failures;
    }
    if (!ok) e->selected = 0;
  }
  CloseInternetSessions();

  for (CUpdateEntry* e : work) {
    if (StopRequested()) break;
    if (!e->selected) continue;
    const CUpdateFile* row = g_updateList.Row(e->row);
    if (!InstallDatabaseFile(row->type, e->file1.empty() ? nullptr : e->file1.c_str(),
                             e->file2.empty() ? nullptr : e->file2.c_str()))
      ++failures;
  }
  if (failed) *failed = failures;
  // Stopped or not, no download outlives the step.
  for (CUpdateEntry& e : entries) {
    RemoveIfNamed(&e.file1);
    RemoveIfNamed(&e.file2);
  }
  if (StopRequested()) return 1;
  if (g_reloadRunner) g_reloadRunner(&ReloadUpdatedDatabases);
  else ReloadUpdatedDatabases();
  return 1;
}

bool InstallDatabaseFile(int type, const char* first, const char* second) {
  std::string temp1, temp2;
  std::vector<uint8_t> bytes1, bytes2;
  TableTarget t{};
  bool installed = false;
  // A geographic level needs both halves: ranges that index another name table are no good.
  if (TargetOf(type, &t) && HasText(first) && (!t.names || HasText(second))) {
    if (!Decompress(first, &temp1, &bytes1) || !TableLoads(t.type, bytes1)) Refused(t.file);
    else if (t.names && (!Decompress(second, &temp2, &bytes2) || !TableLoads(t.namesType, bytes2)))
      Refused(t.names);
    else installed = Replace(t.file, bytes1) && (!t.names || Replace(t.names, bytes2));
  }
  for (const char* f : {first, second})
    if (HasText(f)) tv::RemoveFile(f);
  RemoveIfNamed(&temp1);
  RemoveIfNamed(&temp2);
  return installed;
}

void SetDatabaseReloadRunner(DatabaseReloadRunner runner) { g_reloadRunner = runner; }

void SetUpdateSizeLimits(uint64_t listBytes, uint64_t tableBytes) {
  g_maxListBytes = listBytes;
  g_maxTableBytes = tableBytes;
}

void ReloadUpdatedDatabases() {
  LoadAuxDatabases(false);
  // The new country table comes in English; the current language names them again.
  std::vector<CountryNameEntry> names;
  for (int i = 0; i < g_language.countries.Count(); ++i)
    names.push_back({g_language.countries[i].name, g_language.countries[i].domain});
  if (!names.empty()) ApplyCountryNames(names.data(), static_cast<int>(names.size()));
}
