// Byte layout of the auxiliary database files, shared by the engine's loader and
// the build-time table generator. Every field is read and written one by one,
// little-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace auxfile {

constexpr size_t kHeaderSize = 8;

// Header byte 2.
enum TableType : uint8_t {
  kOs = 1,
  kBrowser = 2,
  kSite = 3,
  kRobot = 4,
  kSearchEngine = 5,
  kCountryRanges = 6,
  kCountryNames = 7,
  kCityRanges = 8,
  kCityNames = 9,
  kRegionRanges = 10,
  kRegionNames = 11,
  kSpiders = 12,
  kAdHosts = 13,
  kTypeCount = 14,
};

// Fixed record sizes and the field widths inside them.
constexpr size_t kOsRecord = 32, kOsMatch = 16, kOsName = 16;
constexpr size_t kBrowserRecord = 48, kBrowserMatch = 16, kBrowserName = 31;
constexpr size_t kSiteRecord = 96, kSiteName = 47, kSiteKeyword = 12, kSiteKeywords = 4;
constexpr size_t kRobotRecord = 64, kRobotName = 19, kRobotMatch = 44;
constexpr size_t kSearchEngineRecord = 32, kSearchEngineDomain = 26;
constexpr size_t kSpiderRecord = 384, kSpiderAgent = 251, kSpiderHost = 128;
constexpr size_t kAdHostRecord = 64;
constexpr uint16_t kCountryRecord = 200;    // record size of installed country names
constexpr uint16_t kMaxPackedRecord = 250;  // largest record size a packed name file may ask for
constexpr unsigned kMaxIndexWidth = 16;     // wider indexes cannot name a 16-bit name index

constexpr uint16_t kNoName = 0xFFFF;
constexpr uint32_t kNoBlock = 0xFFFFFFFF;
constexpr size_t kOffsetTable = 256 * 4;
constexpr size_t kGeoEntry = 10;

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutU16(std::vector<uint8_t>& out, uint16_t v);
void PutU32(std::vector<uint8_t>& out, uint32_t v);
void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v);
// 'D', 'A', type, version, value (bytes 4-5), two zero bytes.
void PutHeader(std::vector<uint8_t>& out, uint8_t type, uint8_t version, uint16_t value = 0);
// The text zero-padded to field bytes; cut to field - 1 so it always ends inside.
void PutText(std::vector<uint8_t>& out, const char* text, size_t field);
// The text of a field, stopping at its first zero or at the field's end.
std::string FieldText(const uint8_t* p, size_t field);

struct Header {
  uint8_t type = 0;
  uint8_t version = 0;
  uint16_t value = 0;
};
// True when the bytes start with a header of that type.
bool ReadHeader(const uint8_t* data, size_t size, uint8_t type, Header* header);

// One range of a geographic range index: from start up to the next entry's start.
struct GeoEntry {
  uint32_t start = 0;
  uint16_t name = kNoName;
  uint16_t parent1 = kNoName;
  uint16_t parent2 = kNoName;
};

// A range index in memory. Block o (first octet o) is entries[begin[o]] ..
// entries[begin[o] + count[o]], the last of them being the end entry; begin is -1
// for an octet without a block.
struct GeoRanges {
  GeoRanges() { Clear(); }
  void Clear();
  bool Empty() const { return entries.empty(); }
  std::vector<GeoEntry> entries;
  int32_t begin[256];
  uint32_t count[256];
};

// Parses the body of a range index (the file after its header). False when an
// offset or count reaches past the body or a block's starts go down; an offset
// inside the offset table itself counts as no block.
bool ParseGeoRanges(const uint8_t* body, size_t size, GeoRanges* out);
// The whole installed file for ranges.
std::vector<uint8_t> BuildGeoRangeFile(const GeoRanges& ranges, uint8_t type, uint8_t version);
// Appends a block for octet from its real entries (the end entry is added here).
void AddGeoBlock(GeoRanges* ranges, int octet, const std::vector<GeoEntry>& entries);

// Range and name file types of a geographic level (0 region, 1 city, 2 country).
uint8_t GeoRangeType(int level);
uint8_t GeoNameType(int level);

}  // namespace auxfile
