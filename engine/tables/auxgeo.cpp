// The geographic tables: range indexes and name tables per level, their packed
// form and its unpacking, and the look-ups of an address.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/msgsink.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/auxdb_internal.h"
#include "platform/files.h"

using namespace auxfile;

namespace {

struct GeoFiles {
  const char* installed[2];  // [part]: 0 ranges, 1 names
  const char* packed[2];
};
const GeoFiles kGeoFiles[3] = {
    {{"reg0.dat", "reg1.dat"}, {"tmpreg0.dat", "tmpreg1.dat"}},
    {{"city0.dat", "city1.dat"}, {"tmpcity0.dat", "tmpcity1.dat"}},
    {{"cntr0.dat", "cntr1.dat"}, {"tmpcou0.dat", "tmpcou1.dat"}},
};

constexpr size_t kCountryNameAt = 3;    // a country record: code, zero, name
constexpr size_t kMaxCountryName = 196;

bool ValidLevel(int level) { return level >= 0 && level <= 2; }
uint8_t TypeOf(int level, int part) { return part == 0 ? GeoRangeType(level) : GeoNameType(level); }

// Level and part of a geographic header type.
bool LevelOfType(uint8_t type, int* level, int* part) {
  for (int l = 0; l < 3; ++l)
    for (int p = 0; p < 2; ++p)
      if (TypeOf(l, p) == type) {
        *level = l;
        *part = p;
        return true;
      }
  return false;
}

bool FileHeader(const std::string& path, uint8_t type, Header* h) {
  FILE* f = tv::OpenRegularStream(path.c_str());
  if (!f) return false;
  uint8_t buf[kHeaderSize];
  bool ok = fread(buf, 1, sizeof buf, f) == sizeof buf && ReadHeader(buf, sizeof buf, type, h);
  fclose(f);
  return ok;
}

int LoadGeoRanges(int level, const uint8_t* data, size_t size) {
  CGeoLevel& g = g_auxDatabases.geo[level];
  g.ranges.Clear();
  Header h;
  if (!ReadHeader(data, size, GeoRangeType(level), &h)) return 0;
  try {
    if (!ParseGeoRanges(data + kHeaderSize, size - kHeaderSize, &g.ranges)) return 0;
  } catch (const std::bad_alloc&) {
    g.ranges.Clear();
    return 0;
  }
  g_auxDatabases.versions[GeoRangeType(level)] = h.version;
  return 1;
}

int LoadGeoNames(int level, const uint8_t* data, size_t size) {
  CGeoNames& names = g_auxDatabases.geo[level].names;
  names = CGeoNames();
  Header h;
  if (!ReadHeader(data, size, GeoNameType(level), &h)) return 0;
  size_t record = h.value;
  size_t least = level == kGeoCountry ? kCountryNameAt + 1 : 1;
  size_t body = size - kHeaderSize;
  if (record < least || body % record != 0) return 0;
  try {
    names.records.assign(data + kHeaderSize, data + size);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  names.recordSize = h.value;
  names.count = static_cast<uint32_t>(body / record);
  for (size_t i = 0; i < names.count; ++i) {
    uint8_t* r = names.records.data() + i * record;
    r[record - 1] = 0;
    if (level == kGeoCountry) r[2] = 0;
  }
  g_auxDatabases.versions[GeoNameType(level)] = h.version;
  return 1;
}

// -1 missing, 0 refused, 1 loaded.
int LoadInstalled(int level, int part, std::string* path) {
  *path = AuxReadPath(kGeoFiles[level].installed[part]);
  std::vector<uint8_t> data;
  int r = auxdb::ReadBytes(*path, &data);
  if (r < 0) return -1;
  if (r == 0) return 0;
  return auxdb::LoadGeoBytes(TypeOf(level, part), data.data(), data.size());
}

// Reads the stream of one packed block, least significant bit first.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  // k is at most 24, so the bits wanted always lie in the 32-bit word at the byte.
  uint32_t Read(unsigned k) {
    if (m_bad || (m_size - m_byte) * 8 < m_bit + k) {
      m_bad = true;
      return 0;
    }
    uint32_t word = 0;
    for (size_t i = 0; i < 4 && m_byte + i < m_size; ++i) word |= static_cast<uint32_t>(m_data[m_byte + i]) << (8 * i);
    uint32_t v = (word >> m_bit) & ((1u << k) - 1);
    m_bit += k;
    m_byte += m_bit / 8;
    m_bit %= 8;
    return v;
  }
  uint32_t ReadGap() {
    uint32_t g = Read(9);
    if (g != 511) return g;
    if (Read(1) == 0) return Read(12);
    return Read(1) ? Read(24) : Read(17);
  }
  bool Bad() const { return m_bad; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_byte = 0;
  unsigned m_bit = 0;
  bool m_bad = false;
};

const char* OrEmpty(const char* text) { return text ? text : ""; }

void ByLevel(uint32_t address, int level, const char** country, const char** region, const char** city) {
  GeoMatch m;
  if (!LookupIpRange(address, level, &m)) return;
  const char* own = OrEmpty(GeoName(level, m.name));
  bool parents = g_auxDatabases.geoLoaded;
  if (level == kGeoCountry) {
    *country = own;
  } else if (level == kGeoRegion) {
    *region = own;
    if (parents) *country = OrEmpty(GeoName(kGeoCountry, m.parent1));
  } else {
    *city = own;
    if (parents) {
      *region = OrEmpty(GeoName(kGeoRegion, m.parent1));
      *country = OrEmpty(GeoName(kGeoCountry, m.parent2));
    }
  }
}

}  // namespace

int auxdb::LoadGeoBytes(uint8_t type, const uint8_t* data, size_t size) {
  int level = 0, part = 0;
  if (!LevelOfType(type, &level, &part)) return 0;
  return part == 0 ? LoadGeoRanges(level, data, size) : LoadGeoNames(level, data, size);
}

const char* GeoFileName(int level, int part) {
  return ValidLevel(level) && (part == 0 || part == 1) ? kGeoFiles[level].installed[part] : "";
}

const char* GeoPackedFileName(int level, int part) {
  return ValidLevel(level) && (part == 0 || part == 1) ? kGeoFiles[level].packed[part] : "";
}

bool LookupIpRange(uint32_t address, int level, GeoMatch* match) {
  if (!ValidLevel(level)) return false;
  const GeoRanges& r = g_auxDatabases.geo[level].ranges;
  unsigned octet = address >> 24;
  if (r.begin[octet] < 0 || r.count[octet] == 0) return false;
  const GeoEntry* first = r.entries.data() + r.begin[octet];
  const GeoEntry* last = first + r.count[octet];  // one past the real entries
  if (address < first->start) return false;
  // The last real entry runs to the end of the octet, whatever its end entry says.
  const GeoEntry* e = std::upper_bound(first, last, address,
                                       [](uint32_t a, const GeoEntry& x) { return a < x.start; }) - 1;
  match->name = e->name;
  match->parent1 = e->parent1;
  match->parent2 = e->parent2;
  return true;
}

const char* GeoName(int level, uint16_t n) {
  if (!ValidLevel(level) || n == kNoName) return nullptr;
  const CGeoNames& names = g_auxDatabases.geo[level].names;
  if (n >= names.count) return nullptr;
  const char* r = reinterpret_cast<const char*>(names.records.data()) + static_cast<size_t>(n) * names.recordSize;
  return level == kGeoCountry ? r + kCountryNameAt : r;
}

void LookupGeoAddress(uint32_t address, int level, const char** country, const char** region,
                      const char** city) {
  *country = *region = *city = "";
  bool best = level == kGeoBest;
  if (best) level = g_auxDatabases.geoLoaded ? kGeoCity : kGeoCountry;
  ByLevel(address, level, country, region, city);
  // Without a city table (or a city without its country) the country level still knows.
  if (best && !**country && level != kGeoCountry) {
    const char* unused1;
    const char* unused2;
    ByLevel(address, kGeoCountry, country, &unused1, &unused2);
  }
}

void LookupGeo(const char** country, const char** region, const char** city, const CHitRecord* record,
               int level) {
  if (record->Address() != 0) {
    LookupGeoAddress(record->Address(), level, country, region, city);
    return;
  }
  *region = *city = "";
  *country = FindCountryByTld(g_pools.hosts.Text(record->GetHostName()));
}

const char* GetCountryOf(const CHitRecord* record) {
  const char *country, *region, *city;
  LookupGeo(&country, &region, &city, record, kGeoCountry);
  // An address outside every range (private, loopback, a gap of the table) is
  // as unknown as a host name without a country's domain: one row, one label.
  return *country ? country : auxdb::Term(auxdb::kTermUnknown);
}

const char* GetCityRegionCountryOf(char* buffer, size_t size, const CHitRecord* record, bool formatted) {
  const char *country, *region, *city;
  LookupGeo(&country, &region, &city, record, kGeoCity);
  if (!formatted || !buffer || size == 0) return city;
  if (!*country) country = GetCountryOf(record);
  snprintf(buffer, size, "%s, %s, %s", city, region, country);
  return buffer;
}

const char* GetRegionCountryOf(char* buffer, size_t size, const CHitRecord* record, bool formatted) {
  const char *country, *region, *city;
  LookupGeo(&country, &region, &city, record, kGeoRegion);
  if (!formatted || !buffer || size == 0) return region;
  if (!*country) country = GetCountryOf(record);
  snprintf(buffer, size, "%s, %s", region, country);
  return buffer;
}

const char* GetCountryRecord(int n) {
  const CGeoNames& names = g_auxDatabases.geo[kGeoCountry].names;
  if (n < 0 || static_cast<uint32_t>(n) >= names.count) return nullptr;
  return reinterpret_cast<const char*>(names.records.data()) + static_cast<size_t>(n) * names.recordSize;
}

const char* GetCountryName(int n) {
  const char* r = GetCountryRecord(n);
  return r ? r + kCountryNameAt : nullptr;
}

int GetCountryCount() { return static_cast<int>(g_auxDatabases.geo[kGeoCountry].names.count); }

const char* FindCountryByTld(const char* host) {
  const char* dot = host ? strrchr(host, '.') : nullptr;
  if (dot) {
    for (int n = 0, count = GetCountryCount(); n < count; ++n) {
      const char* code = GetCountryRecord(n);
      if (*code && strcasecmp(code, dot + 1) == 0) return code + kCountryNameAt;
    }
  }
  return auxdb::Term(auxdb::kTermUnknown);
}

bool SetCountryName(int n, const char* text) {
  const char* r = GetCountryRecord(n);
  if (!r || !text) return false;
  CGeoNames& names = g_auxDatabases.geo[kGeoCountry].names;
  size_t room = std::min(kMaxCountryName, static_cast<size_t>(names.recordSize) - kCountryNameAt - 1);
  char* name = reinterpret_cast<char*>(names.records.data()) + static_cast<size_t>(n) * names.recordSize + kCountryNameAt;
  size_t len = std::min(strlen(text), room);
  memcpy(name, text, len);
  name[len] = 0;
  return true;
}

void ApplyCountryNames(const CountryNameEntry* entries, int count) {
  for (int i = 0; i < count; ++i) {
    const CountryNameEntry& e = entries[i];
    if (!e.name || !*e.name || !e.domain) continue;
    for (int n = 0, c = GetCountryCount(); n < c; ++n)
      if (strcasecmp(GetCountryRecord(n), e.domain) == 0) SetCountryName(n, e.name);
  }
}

// ---------------------------------------------------------------------------
// Packed tables

bool UnpackGeoRanges(int level, const uint8_t* data, size_t size, std::vector<uint8_t>* installed) {
  Header h;
  if (!ValidLevel(level) || !ReadHeader(data, size, GeoRangeType(level), &h)) return false;
  unsigned width = h.value;
  if (width < 1 || width > kMaxIndexWidth) return false;
  if (size - kHeaderSize < kOffsetTable) return false;
  const uint8_t* table = data + kHeaderSize;
  const uint8_t* stream = table + kOffsetTable;
  size_t streamSize = size - kHeaderSize - kOffsetTable;
  const uint32_t none = (1u << width) - 1;
  GeoRanges ranges;
  std::vector<GeoEntry> block;
  for (int o = 0; o < 256; ++o) {
    uint32_t off = GetU32(table + 4 * o);
    if (off == kNoBlock) continue;
    if (off >= streamSize) return false;
    BitReader bits(stream + off, streamSize - off);
    uint64_t start = static_cast<uint64_t>(o) << 24;
    const uint64_t limit = start + (1u << 24);
    block.clear();
    for (;;) {
      uint32_t gap = bits.ReadGap();
      uint32_t index = bits.Read(width);
      if (bits.Bad()) return false;
      if (index == 0) break;
      if (start >= limit) return false;  // the ranges ran past their octet
      GeoEntry e;
      e.start = static_cast<uint32_t>(start);
      e.name = index == none ? kNoName : static_cast<uint16_t>(index - 1);
      GeoMatch m;
      if (level == kGeoRegion) {
        if (LookupIpRange(e.start, kGeoCountry, &m)) e.parent1 = m.name;
      } else if (level == kGeoCity) {
        if (LookupIpRange(e.start, kGeoRegion, &m)) e.parent1 = m.name;
        if (LookupIpRange(e.start, kGeoCountry, &m)) e.parent2 = m.name;
      }
      block.push_back(e);
      start += static_cast<uint64_t>(gap) + 1;
    }
    if (!block.empty()) AddGeoBlock(&ranges, o, block);
  }
  *installed = BuildGeoRangeFile(ranges, GeoRangeType(level), h.version);
  return true;
}

bool UnpackGeoNames(int level, const uint8_t* data, size_t size, std::vector<uint8_t>* installed) {
  Header h;
  if (!ValidLevel(level) || !ReadHeader(data, size, GeoNameType(level), &h)) return false;
  bool country = level == kGeoCountry;
  size_t record = country ? kCountryRecord : h.value;
  if (record == 0 || record > kMaxPackedRecord || size == kHeaderSize) return false;
  std::vector<uint8_t>& out = *installed;
  out.clear();
  PutHeader(out, GeoNameType(level), h.version, static_cast<uint16_t>(record));
  const char* p = reinterpret_cast<const char*>(data) + kHeaderSize;
  const char* end = reinterpret_cast<const char*>(data) + size;
  while (p < end) {
    size_t len = strnlen(p, static_cast<size_t>(end - p));
    std::string text(p, len);
    if (country) {
      // Code, a zero, then the name from byte 3.
      std::string code = text.substr(0, std::min<size_t>(2, len));
      code.resize(2, 0);
      out.insert(out.end(), code.begin(), code.end());
      out.push_back(0);
      PutText(out, len > 2 ? text.c_str() + 2 : "", record - kCountryNameAt);
    } else {
      PutText(out, text.c_str(), record);
    }
    p += len + 1;
  }
  return true;
}

namespace {

bool Install(int level, int part) {
  std::string path = AuxReadPath(kGeoFiles[level].packed[part]);
  std::vector<uint8_t> data, installed;
  int r = auxdb::ReadBytes(path, &data);
  if (r < 0) return false;
  bool ok = false;
  try {
    ok = r > 0 && (part == 0 ? UnpackGeoRanges(level, data.data(), data.size(), &installed)
                             : UnpackGeoNames(level, data.data(), data.size(), &installed));
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) {
    auxdb::ReportRefused(path, true);
    return false;
  }
  std::string target = AuxWritePath(kGeoFiles[level].installed[part]);
  if (!tv::WriteFileReplacing(target, installed.data(), installed.size())) {
    EngineErrorF("Cannot write the file %s", target.c_str());
    return false;
  }
  return true;
}

void LoadGeoPart(int level, int part) {
  bool tried = false;
  if (IsGeoUpdateValid(level, part)) {
    tried = true;
    Install(level, part);
  }
  std::string path;
  int r = LoadInstalled(level, part, &path);
  if (r != 1 && !tried && Install(level, part)) r = LoadInstalled(level, part, &path);
  if (r == 0) auxdb::ReportRefused(path, false);
}

}  // namespace

bool InstallGeoUpdate0(int level) { return ValidLevel(level) && Install(level, 0); }
bool InstallGeoUpdate1(int level) { return ValidLevel(level) && Install(level, 1); }

bool IsGeoUpdateValid(int level, int part) {
  if (!ValidLevel(level) || (part != 0 && part != 1)) return false;
  uint8_t type = TypeOf(level, part);
  Header packed, current;
  if (!FileHeader(AuxReadPath(kGeoFiles[level].packed[part]), type, &packed)) return false;
  if (!FileHeader(AuxReadPath(kGeoFiles[level].installed[part]), type, &current)) return true;
  return packed.version != current.version;
}

void LoadGeoTables() {
  // Coarser levels first: unpacking a finer level looks its parents up in them.
  for (int level : {kGeoCountry, kGeoRegion, kGeoCity}) {
    LoadGeoPart(level, 1);
    LoadGeoPart(level, 0);
  }
  g_auxDatabases.geoLoaded = true;
}
