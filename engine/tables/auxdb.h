// The auxiliary databases: reference tables that classify hits (operating
// systems, browsers, sites, robots, search engines, advertising hosts), the
// geographic tables that map IPv4 addresses to countries, regions and cities,
// and the detected and rejected spiders the program writes back.
//
// Tables are read from the data folder when a file of that name is there (an
// installed update or an unpacked geographic table), else from the program
// folder. A missing table stays empty without a word; a damaged one is refused
// with a message and the others still load.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/hitstore.h"
#include "engine/tables/auxfile.h"

// Rows as loaded. Every text ends inside its field.
struct AuxOsRow {
  char match[auxfile::kOsMatch];
  char name[auxfile::kOsName];
};
struct AuxBrowserRow {
  uint8_t kind;  // 1: download manager
  char match[auxfile::kBrowserMatch];
  char name[auxfile::kBrowserName];
};
struct AuxSiteRow {
  char name[auxfile::kSiteName];
  uint8_t charset;  // character-set code of the site's keywords, for the URL text decoding
  char keywords[auxfile::kSiteKeywords][auxfile::kSiteKeyword];
};
struct AuxRobotRow {
  char name[auxfile::kRobotName];
  uint8_t mode;  // bit 0: 1 the agent contains the match text, 0 the agent equals it
  char match[auxfile::kRobotMatch];
};
struct AuxSearchEngineRow {
  int16_t site;           // the site row of the engine
  int16_t domainLength;   // always the length of domain
  uint16_t countrySuffix; // non-zero: a ".xx" country suffix may follow the domain
  char domain[auxfile::kSearchEngineDomain];
};
struct AuxAdHostRow {
  char host[auxfile::kAdHostRecord];
};

// A detected or rejected spider, kept as its 384 stored bytes: byte 0 confirmed
// by the user, bytes 1-4 the address, 5-255 the agent, 256-383 the host name.
struct AuxSpiderRow {
  uint8_t bytes[auxfile::kSpiderRecord];
  static AuxSpiderRow Make(uint32_t address, const char* agent, const char* host);
  bool Confirmed() const { return bytes[0] != 0; }
  uint32_t Address() const { return auxfile::GetU32(bytes + 1); }
  const char* Agent() const { return reinterpret_cast<const char*>(bytes + 5); }
  const char* Host() const { return reinterpret_cast<const char*>(bytes + 256); }
};

// Look-up levels of the geographic tables.
enum GeoLevel : int {
  kGeoRegion = 0,
  kGeoCity = 1,
  kGeoCountry = 2,
  kGeoBest = 4,  // the city level once the geographic load has run, else the country
};

struct CGeoNames {
  std::vector<uint8_t> records;
  uint16_t recordSize = 0;
  uint32_t count = 0;
};
struct CGeoLevel {
  CGeoNames names;
  auxfile::GeoRanges ranges;
};

struct CAuxDatabases {
  std::vector<AuxOsRow> os;
  std::vector<AuxBrowserRow> browsers;
  std::vector<AuxSiteRow> sites;
  std::vector<AuxRobotRow> robots;
  std::vector<AuxSearchEngineRow> searchEngines;  // ascending domain length
  std::vector<AuxAdHostRow> adHosts;
  std::vector<AuxSpiderRow> autoRobots;
  std::vector<AuxSpiderRow> excluded;
  CGeoLevel geo[3];  // by GeoLevel 0..2
  uint8_t versions[auxfile::kTypeCount] = {};  // version byte per table type, 0 when not loaded
  bool geoLoaded = false;
  bool adHostsLoaded = false;   // the pay-per-click settings are offered only then
  int32_t newSpiderStart = -1;  // first auto-robot row of the last pass; -1: nothing new to save
  bool excludeChanged = false;
  bool saveAutoRobots = false;  // the workspace's save_a_robot, as the engine holds it
};
extern CAuxDatabases g_auxDatabases;

// Frees everything (saving the spider tables first), loads every table and the
// geographic tables, then hands the commit's rows over (FeedCommitTables). With
// withSettings the settings file is read again as well.
void LoadAuxDatabases(bool withSettings);
void FreeAuxDatabases();
// The version byte of the loaded table of that header type; 0 when none loaded.
uint8_t AuxTableVersion(uint8_t type);
// Fills the line commit's rows (engine/tables/auxtables.h) from the loaded tables.
void FeedCommitTables();

// Where a table is read from, and where the program writes one.
std::string AuxReadPath(const char* name);
std::string AuxWritePath(const char* name);

// Report terms: the vocabulary installs its GetTerm here; until then English.
using AuxTermFn = const char* (*)(int term);
void SetAuxTermSource(AuxTermFn fn);

// Agents, robots and sites.
const char* FindOperatingSystem(const char* agent);  // "Unknown" when no row matches
// 1 download manager, 0 another browser, -1 none or no table.
int FindBrowser(const char* agent);
// The spider's name for a spider hit, else the browser's; with a buffer (size
// bytes) spiders and download managers get their class added.
const char* FormatBrowser(const CHitRecord* record, char* buffer, size_t size);
// Robot rows first, then the agent texts of the auto-robot rows; else "".
const char* AgentTableEntry(int index);
const char* SiteName(int row);  // "" beyond the table
// The searched words of a search-engine referrer by the site row's keyword
// parameters: behind "&name", "?name" or "&name" with '=' as %3D, up to '&' or
// %26, '+' as a blank, in lower case; "/" takes the text after the last '/' of a
// referrer without query.
// The first non-empty result, still URL-encoded; "" when none.
const char* SearchKeyword(char* out, size_t size, const char* referrer, int site);

// Geography.
struct GeoMatch {
  uint16_t name = auxfile::kNoName;
  uint16_t parent1 = auxfile::kNoName;
  uint16_t parent2 = auxfile::kNoName;
};
// The range of the level's index holding address; false when there is none.
bool LookupIpRange(uint32_t address, int level, GeoMatch* match);
// The name of index n of a level's name table (a country's name); null for none.
const char* GeoName(int level, uint16_t n);
// The three names of an address ("" when unknown).
void LookupGeoAddress(uint32_t address, int level, const char** country, const char** region,
                      const char** city);
// As above for a record; a record without an address takes its country from its host name.
void LookupGeo(const char** country, const char** region, const char** city, const CHitRecord* record,
               int level);
const char* GetCountryOf(const CHitRecord* record);
const char* GetCityRegionCountryOf(char* buffer, size_t size, const CHitRecord* record, bool formatted);
const char* GetRegionCountryOf(char* buffer, size_t size, const CHitRecord* record, bool formatted);
// The country whose code equals the host's last label (any case); else "Unknown".
const char* FindCountryByTld(const char* host);

// The country table: record n (its code, then the name from byte 3).
const char* GetCountryRecord(int n);
const char* GetCountryName(int n);
int GetCountryCount();
bool SetCountryName(int n, const char* text);
// A translated country name of the language file, by its top-level-domain code.
struct CountryNameEntry {
  const char* name;
  const char* domain;
};
void ApplyCountryNames(const CountryNameEntry* entries, int count);

// The geographic tables, level by level, unpacking packed tables first when they
// are newer than the installed ones.
void LoadGeoTables();
// part 0 the ranges, 1 the names. True when the level's packed file should be
// installed: it has a valid header and the installed file is missing, invalid or
// of another version.
bool IsGeoUpdateValid(int level, int part);
bool InstallGeoUpdate0(int level);  // ranges
bool InstallGeoUpdate1(int level);  // names
// The installed and packed file names of a level's part.
const char* GeoFileName(int level, int part);
const char* GeoPackedFileName(int level, int part);

// Spider tables (arobot.dat and exclude.dat in the data folder).
void LoadSpiderTables();
void SaveSpiderTables();
void ClearSpiderCache();
void MoveUnconfirmedSpiders();

// The loaders behind LoadAuxDatabases, on bytes already read (the fuzz target
// calls them). 1 loaded, 0 refused; a refused table is left empty.
int LoadAuxTableBytes(uint8_t type, const uint8_t* data, size_t size);
// Unpacks a packed level part into the bytes of the installed file; false when refused.
bool UnpackGeoRanges(int level, const uint8_t* data, size_t size, std::vector<uint8_t>* installed);
bool UnpackGeoNames(int level, const uint8_t* data, size_t size, std::vector<uint8_t>* installed);
