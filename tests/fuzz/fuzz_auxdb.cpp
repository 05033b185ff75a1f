// Arbitrary bytes as an auxiliary database file of the type its header names:
// loading must never crash or read past the bytes; a packed geographic table
// that unpacks must give an installed table that loads; look-ups over whatever
// loaded must stay inside the tables.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/tables/auxdb.h"

namespace {

int LevelOf(uint8_t type) {
  switch (type) {
    case auxfile::kRegionRanges: case auxfile::kRegionNames: return kGeoRegion;
    case auxfile::kCityRanges: case auxfile::kCityNames: return kGeoCity;
    case auxfile::kCountryRanges: case auxfile::kCountryNames: return kGeoCountry;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t type = size > 2 ? data[2] : 0;
  LoadAuxTableBytes(type, data, size);
  int level = LevelOf(type);
  if (level >= 0) {
    bool ranges = type == auxfile::GeoRangeType(level);
    std::vector<uint8_t> installed;
    bool ok = ranges ? UnpackGeoRanges(level, data, size, &installed) : UnpackGeoNames(level, data, size, &installed);
    if (ok && !LoadAuxTableBytes(type, installed.data(), installed.size())) abort();
  }
  // Addresses from the input itself reach its blocks.
  for (size_t i = 0; i + 4 <= size && i < 64; i += 4) {
    uint32_t a = data[i] << 24 | data[i + 1] << 16 | data[i + 2] << 8 | data[i + 3];
    const char *country, *region, *city;
    for (int l : {kGeoRegion, kGeoCity, kGeoCountry, kGeoBest}) LookupGeoAddress(a, l, &country, &region, &city);
  }
  FindCountryByTld("host.us");
  FindOperatingSystem("Mozilla/5.0 (Windows NT 10.0)");
  FindBrowser("Mozilla/5.0 Firefox/147.0");
  AgentTableEntry(0);
  FeedCommitTables();
  FreeAuxDatabases();
  return 0;
}
