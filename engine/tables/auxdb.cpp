#include "engine/tables/auxdb.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxdb_internal.h"
#include "engine/tables/auxtables.h"
#include "platform/files.h"
#include "platform/folders.h"

using namespace auxfile;
using auxdb::Term;
using auxdb::kTermUnknown;
using auxdb::kTermSpider;
using auxdb::kTermDownloadManager;

CAuxDatabases g_auxDatabases;

namespace {

AuxTermFn g_term = nullptr;

// A text field copied into a char array of the same width, forced to end inside it.
template <size_t N>
void CopyField(char (&out)[N], const uint8_t* p) {
  memcpy(out, p, N);
  out[N - 1] = 0;
}

struct TableFile {
  const char* name;
  uint8_t type;
  size_t record;
};
const TableFile kTables[] = {
    {"site.dat", kSite, kSiteRecord},   {"se.dat", kSearchEngine, kSearchEngineRecord},
    {"adsense.dat", kAdHosts, kAdHostRecord}, {"robot.dat", kRobot, kRobotRecord},
    {"os.dat", kOs, kOsRecord},         {"browser.dat", kBrowser, kBrowserRecord},
};

const char* const kAutoRobotFile = "arobot.dat";
const char* const kExcludeFile = "exclude.dat";

// Fixed-size records of a table file: the header's type, the body a whole number of records.
bool RecordsOf(const uint8_t* data, size_t size, uint8_t type, size_t record, Header* h, size_t* count) {
  if (!ReadHeader(data, size, type, h)) return false;
  size_t body = size - kHeaderSize;
  if (body % record != 0) return false;
  *count = body / record;
  return true;
}

template <typename Row, typename Parse>
int LoadRows(std::vector<Row>* rows, uint8_t type, size_t record, const uint8_t* data, size_t size, Parse parse) {
  rows->clear();
  Header h;
  size_t n = 0;
  if (!RecordsOf(data, size, type, record, &h, &n)) return 0;
  try {
    std::vector<Row> out(n);
    for (size_t i = 0; i < n; ++i) parse(&out[i], data + kHeaderSize + i * record);
    rows->swap(out);
  } catch (const std::bad_alloc&) {
    rows->clear();
    return 0;
  }
  if (type < kTypeCount) g_auxDatabases.versions[type] = h.version;
  return 1;
}

void ParseOs(AuxOsRow* r, const uint8_t* p) {
  CopyField(r->match, p);
  CopyField(r->name, p + kOsMatch);
}

void ParseBrowser(AuxBrowserRow* r, const uint8_t* p) {
  r->kind = p[0];
  CopyField(r->match, p + 1);
  CopyField(r->name, p + 1 + kBrowserMatch);
}

void ParseSite(AuxSiteRow* r, const uint8_t* p) {
  CopyField(r->name, p);
  r->charset = p[kSiteName];
  for (size_t k = 0; k < kSiteKeywords; ++k) CopyField(r->keywords[k], p + kSiteName + 1 + k * kSiteKeyword);
}

void ParseRobot(AuxRobotRow* r, const uint8_t* p) {
  CopyField(r->name, p);
  r->mode = p[kRobotName];
  CopyField(r->match, p + kRobotName + 1);
}

void ParseSearchEngine(AuxSearchEngineRow* r, const uint8_t* p) {
  r->site = static_cast<int16_t>(GetU16(p));
  r->countrySuffix = GetU16(p + 4);
  CopyField(r->domain, p + 6);
  // The stored length decides where the commit's scan stops: it must be the text's.
  r->domainLength = static_cast<int16_t>(strlen(r->domain));
}

void ParseAdHost(AuxAdHostRow* r, const uint8_t* p) { CopyField(r->host, p); }

void ParseSpider(AuxSpiderRow* r, const uint8_t* p) {
  memcpy(r->bytes, p, kSpiderRecord);
  r->bytes[5 + kSpiderAgent - 1] = 0;
  r->bytes[256 + kSpiderHost - 1] = 0;
}

int LoadFixedTable(uint8_t type, const uint8_t* data, size_t size) {
  CAuxDatabases& db = g_auxDatabases;
  switch (type) {
    case kOs: return LoadRows(&db.os, type, kOsRecord, data, size, ParseOs);
    case kBrowser: return LoadRows(&db.browsers, type, kBrowserRecord, data, size, ParseBrowser);
    case kSite: return LoadRows(&db.sites, type, kSiteRecord, data, size, ParseSite);
    case kRobot: return LoadRows(&db.robots, type, kRobotRecord, data, size, ParseRobot);
    case kSearchEngine: {
      int ok = LoadRows(&db.searchEngines, type, kSearchEngineRecord, data, size, ParseSearchEngine);
      // The commit stops at the first domain longer than the host, so the order must hold.
      std::stable_sort(db.searchEngines.begin(), db.searchEngines.end(),
                       [](const AuxSearchEngineRow& a, const AuxSearchEngineRow& b) {
                         return a.domainLength < b.domainLength;
                       });
      return ok;
    }
    case kAdHosts: {
      int ok = LoadRows(&db.adHosts, type, kAdHostRecord, data, size, ParseAdHost);
      db.adHostsLoaded = ok != 0;
      return ok;
    }
    case kSpiders: return LoadRows(&db.autoRobots, type, kSpiderRecord, data, size, ParseSpider);
  }
  return 0;
}

// Reads a table from the folders; refused tables are named in a message.
void LoadTableFile(const char* name, uint8_t type) {
  std::vector<uint8_t> data;
  std::string path = AuxReadPath(name);
  int r = auxdb::ReadBytes(path, &data);
  if (r < 0) return;
  if (r == 0 || !LoadFixedTable(type, data.data(), data.size())) auxdb::ReportRefused(path, false);
}

std::vector<AuxSpiderRow> LoadSpiderFile(const char* name) {
  std::vector<AuxSpiderRow> rows;
  std::vector<uint8_t> data;
  std::string path = tv::DataDir() + name;
  int r = auxdb::ReadBytes(path, &data);
  if (r < 0) return rows;
  if (r == 0 || !LoadRows(&rows, kSpiders, kSpiderRecord, data.data(), data.size(), ParseSpider))
    auxdb::ReportRefused(path, false);
  return rows;
}

bool SaveSpiderFile(const char* name, const std::vector<AuxSpiderRow>& rows) {
  std::vector<uint8_t> out;
  PutHeader(out, kSpiders, 0);
  for (const AuxSpiderRow& r : rows) out.insert(out.end(), r.bytes, r.bytes + kSpiderRecord);
  std::string path = tv::DataDir() + name;
  if (tv::WriteFileReplacing(path, out.data(), out.size())) return true;
  EngineErrorF("Cannot write the file %s", path.c_str());
  return false;
}

bool Contains(const char* text, const char* match) { return *match && strstr(text, match) != nullptr; }

}  // namespace

namespace auxdb {

const char* Term(int term) {
  if (g_term) {
    const char* t = g_term(term);
    if (t) return t;
  }
  switch (term) {
    case kTermUnknown: return "Unknown";
    case kTermSpider: return "Spider";
    case kTermDownloadManager: return "Download Manager";
  }
  return "";
}

int ReadBytes(const std::string& path, std::vector<uint8_t>* data) {
  data->clear();
  FILE* f = tv::OpenRegularStream(path.c_str());
  if (!f) return -1;
  int ok = 1;
  try {
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
    if (ferror(f)) ok = 0;
  } catch (const std::bad_alloc&) {
    ok = 0;
  }
  fclose(f);
  if (!ok) data->clear();
  return ok;
}

void ReportRefused(const std::string& path, bool packed) {
  EngineErrorF(packed ? "The database file %s is damaged and was not installed"
                      : "The database file %s is damaged and was not loaded",
               path.c_str());
}

}  // namespace auxdb

AuxSpiderRow AuxSpiderRow::Make(uint32_t address, const char* agent, const char* host) {
  AuxSpiderRow r;
  memset(r.bytes, 0, sizeof r.bytes);
  for (int i = 0; i < 4; ++i) r.bytes[1 + i] = static_cast<uint8_t>(address >> (8 * i));
  if (agent) strncpy(reinterpret_cast<char*>(r.bytes + 5), agent, kSpiderAgent - 1);
  if (address == 0 && host) strncpy(reinterpret_cast<char*>(r.bytes + 256), host, kSpiderHost - 1);
  return r;
}

std::string AuxReadPath(const char* name) {
  std::string data = tv::DataDir() + name;
  if (tv::FileExists(data)) return data;
  return tv::ProgramDir() + name;
}

std::string AuxWritePath(const char* name) { return tv::DataDir() + name; }

void SetAuxTermSource(AuxTermFn fn) { g_term = fn; }

int LoadAuxTableBytes(uint8_t type, const uint8_t* data, size_t size) {
  if (type >= kCountryRanges && type <= kRegionNames) return auxdb::LoadGeoBytes(type, data, size);
  return LoadFixedTable(type, data, size);
}

void LoadAuxDatabases(bool withSettings) {
  FreeAuxDatabases();
  for (const TableFile& t : kTables) LoadTableFile(t.name, t.type);
  LoadGeoTables();
  LoadSpiderTables();
  FeedCommitTables();
  if (withSettings) LoadConfig();
}

void FreeAuxDatabases() {
  SaveSpiderTables();
  CAuxDatabases& db = g_auxDatabases;
  bool keep = db.saveAutoRobots;
  db = CAuxDatabases();
  db.saveAutoRobots = keep;
  FeedCommitTables();
}

uint8_t AuxTableVersion(uint8_t type) { return type < kTypeCount ? g_auxDatabases.versions[type] : 0; }

void FeedCommitTables() {
  const CAuxDatabases& db = g_auxDatabases;
  CAuxTables t;
  t.robots.reserve(db.robots.size());
  for (const AuxRobotRow& r : db.robots) t.robots.push_back({r.match, (r.mode & 1) == 0});
  t.autoRobots.reserve(db.autoRobots.size());
  for (const AuxSpiderRow& r : db.autoRobots) t.autoRobots.push_back({r.Address(), r.Agent(), r.Host()});
  t.keywords.resize(db.sites.size());
  for (size_t i = 0; i < db.sites.size(); ++i)
    for (size_t k = 0; k < kSiteKeywords; ++k) t.keywords[i].patterns[k] = db.sites[i].keywords[k];
  for (const AuxSearchEngineRow& r : db.searchEngines) {
    // An engine without a site row has no keyword patterns to try.
    if (r.site < 0 || static_cast<size_t>(r.site) >= db.sites.size()) continue;
    t.searchEngines.push_back({static_cast<uint16_t>(r.site), static_cast<uint16_t>(r.domainLength),
                               r.countrySuffix != 0, r.domain});
  }
  g_auxTables = std::move(t);
}

const char* FindOperatingSystem(const char* agent) {
  if (agent)
    for (const AuxOsRow& r : g_auxDatabases.os)
      if (Contains(agent, r.match)) return r.name;
  return Term(kTermUnknown);
}

namespace {
const AuxBrowserRow* MatchBrowser(const char* agent) {
  if (agent)
    for (const AuxBrowserRow& r : g_auxDatabases.browsers)
      if (Contains(agent, r.match)) return &r;
  return nullptr;
}
}  // namespace

int FindBrowser(const char* agent) {
  const AuxBrowserRow* r = MatchBrowser(agent);
  if (!r) return -1;
  return r->kind == 1 ? 1 : 0;
}

const char* FormatBrowser(const CHitRecord* record, char* buffer, size_t size) {
  if (!buffer) size = 0;
  if (record->Flags() & kHitRobot) {
    const char* name = AgentTableEntry(record->RobotIndex());
    if (size == 0) return name;
    snprintf(buffer, size, "%s (%s)", name, Term(kTermSpider));
    return buffer;
  }
  const AuxBrowserRow* r = MatchBrowser(g_pools.agents.Text(record->GetUserAgent()));
  if (!r) return Term(kTermUnknown);
  if (size == 0 || r->kind != 1) return r->name;
  snprintf(buffer, size, "%s (%s)", r->name, Term(kTermDownloadManager));
  return buffer;
}

const char* AgentTableEntry(int index) {
  const CAuxDatabases& db = g_auxDatabases;
  if (index < 0) return "";
  size_t i = static_cast<size_t>(index);
  if (i < db.robots.size()) return db.robots[i].name;
  i -= db.robots.size();
  if (i < db.autoRobots.size()) return db.autoRobots[i].Agent();
  return "";
}

const char* SiteName(int row) {
  if (row < 0 || static_cast<size_t>(row) >= g_auxDatabases.sites.size()) return "";
  return g_auxDatabases.sites[static_cast<size_t>(row)].name;
}

namespace {

// The value of the parameter that starts at p, cut and folded.
void CopyKeyword(char* out, size_t size, const char* p) {
  size_t n = 0;
  while (*p && *p != '&' && strncasecmp(p, "%26", 3) != 0 && n + 1 < size) {
    char c = *p++ == '+' ? ' ' : p[-1];
    out[n++] = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  }
  while (n > 0 && out[n - 1] == ' ') --n;
  out[n] = 0;
}

const char* FindParameter(const char* referrer, const std::string& name) {
  for (const char* lead : {"&", "?"}) {
    std::string key = lead + name;
    if (const char* p = strstr(referrer, key.c_str())) return p + key.size();
  }
  std::string escaped = "&";
  for (char c : name) escaped += c == '=' ? std::string("%3D") : std::string(1, c);
  const char* p = strstr(referrer, escaped.c_str());
  return p ? p + escaped.size() : nullptr;
}

}  // namespace

const char* SearchKeyword(char* out, size_t size, const char* referrer, int site) {
  if (!out || size == 0) return "";
  out[0] = 0;
  if (!referrer || site < 0 || static_cast<size_t>(site) >= g_auxDatabases.sites.size()) return out;
  for (const char* name : g_auxDatabases.sites[static_cast<size_t>(site)].keywords) {
    if (!*name) continue;
    const char* p = nullptr;
    if (strcmp(name, "/") != 0) p = FindParameter(referrer, name);
    // Words written as the last part of the path; a referrer with a query
    // ("/url?sa=t") holds none there.
    else if (!strchr(referrer, '?') && (p = strrchr(referrer, '/')) != nullptr) ++p;
    if (p) CopyKeyword(out, size, p);
    if (out[0]) break;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Spider tables

void LoadSpiderTables() {
  CAuxDatabases& db = g_auxDatabases;
  db.autoRobots = LoadSpiderFile(kAutoRobotFile);
  db.excluded = LoadSpiderFile(kExcludeFile);
  db.newSpiderStart = -1;
  db.excludeChanged = false;
}

void SaveSpiderTables() {
  CAuxDatabases& db = g_auxDatabases;
  if (db.saveAutoRobots && db.newSpiderStart != -1) SaveSpiderFile(kAutoRobotFile, db.autoRobots);
  if (db.excludeChanged && SaveSpiderFile(kExcludeFile, db.excluded)) db.excludeChanged = false;
}

void ClearSpiderCache() {
  CAuxDatabases& db = g_auxDatabases;
  db.autoRobots.clear();
  db.excluded.clear();
  db.newSpiderStart = -1;
  db.excludeChanged = false;
  tv::RemoveFile(tv::DataDir() + kAutoRobotFile);
  tv::RemoveFile(tv::DataDir() + kExcludeFile);
  FeedCommitTables();
}

void MoveUnconfirmedSpiders() {
  CAuxDatabases& db = g_auxDatabases;
  std::vector<AuxSpiderRow> kept;
  for (const AuxSpiderRow& r : db.autoRobots) {
    if (r.Confirmed()) kept.push_back(r);
    else db.excluded.push_back(r);
  }
  db.autoRobots.swap(kept);
  db.excludeChanged = true;
  FeedCommitTables();
}
