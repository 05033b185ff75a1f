// A country table of (code, English name) rows, as the geographic loader keeps it.
#pragma once
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/tables/auxdb.h"
#include "engine/tables/auxfile.h"

namespace tvtest {

inline void SetCountries(const std::vector<std::pair<const char*, const char*>>& rows) {
  CGeoNames& n = g_auxDatabases.geo[kGeoCountry].names;
  n.recordSize = auxfile::kCountryRecord;
  n.count = static_cast<uint32_t>(rows.size());
  n.records.assign(n.recordSize * rows.size(), 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    uint8_t* r = n.records.data() + i * n.recordSize;
    memcpy(r, rows[i].first, 2);
    memcpy(r + 3, rows[i].second, strlen(rows[i].second));
  }
}

}  // namespace tvtest
