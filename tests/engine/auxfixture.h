// Small auxiliary tables for the formatting and filter tests, put straight
// into the loaded tables.
#pragma once
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/tables/auxdb.h"

namespace auxfixture {

// Names of a geographic level; country names are "code", zero, name.
inline void SetGeoNames(int level, const std::vector<std::string>& names) {
  CGeoNames& n = g_auxDatabases.geo[level].names;
  n.recordSize = auxfile::kCountryRecord;
  n.count = static_cast<uint32_t>(names.size());
  n.records.assign(static_cast<size_t>(n.recordSize) * names.size(), 0);
  for (size_t i = 0; i < names.size(); ++i) {
    uint8_t* r = n.records.data() + i * n.recordSize;
    if (level == kGeoCountry) {
      memcpy(r, names[i].data(), 2);
      memcpy(r + 3, names[i].data() + 2, names[i].size() - 2);
    } else {
      memcpy(r, names[i].data(), names[i].size());
    }
  }
}

// One range per entry, within the block of the entries' first octet.
inline void SetGeoRanges(int level, int octet, const std::vector<auxfile::GeoEntry>& entries) {
  auxfile::GeoRanges& r = g_auxDatabases.geo[level].ranges;
  r.Clear();
  auxfile::AddGeoBlock(&r, octet, entries);
}

inline AuxSiteRow Site(const char* name, uint8_t charset, std::vector<const char*> keywords) {
  AuxSiteRow row{};
  snprintf(row.name, sizeof row.name, "%s", name);
  row.charset = charset;
  for (size_t i = 0; i < keywords.size() && i < auxfile::kSiteKeywords; ++i)
    snprintf(row.keywords[i], sizeof row.keywords[i], "%s", keywords[i]);
  return row;
}

inline AuxOsRow Os(const char* match, const char* name) {
  AuxOsRow row{};
  snprintf(row.match, sizeof row.match, "%s", match);
  snprintf(row.name, sizeof row.name, "%s", name);
  return row;
}

inline AuxBrowserRow Browser(uint8_t kind, const char* match, const char* name) {
  AuxBrowserRow row{};
  row.kind = kind;
  snprintf(row.match, sizeof row.match, "%s", match);
  snprintf(row.name, sizeof row.name, "%s", name);
  return row;
}

inline AuxRobotRow Robot(const char* name, const char* match) {
  AuxRobotRow row{};
  snprintf(row.name, sizeof row.name, "%s", name);
  row.mode = 1;
  snprintf(row.match, sizeof row.match, "%s", match);
  return row;
}

}  // namespace auxfixture
