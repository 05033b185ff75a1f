#include "engine/tables/auxfile.h"

#include <cstring>

namespace auxfile {

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutHeader(std::vector<uint8_t>& out, uint8_t type, uint8_t version, uint16_t value) {
  out.push_back('D');
  out.push_back('A');
  out.push_back(type);
  out.push_back(version);
  PutU16(out, value);
  out.push_back(0);
  out.push_back(0);
}

void PutText(std::vector<uint8_t>& out, const char* text, size_t field) {
  size_t len = text ? strlen(text) : 0;
  if (len > field - 1) len = field - 1;
  out.insert(out.end(), text, text + len);
  out.insert(out.end(), field - len, 0);
}

std::string FieldText(const uint8_t* p, size_t field) {
  const void* zero = memchr(p, 0, field);
  size_t len = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : field;
  return std::string(reinterpret_cast<const char*>(p), len);
}

bool ReadHeader(const uint8_t* data, size_t size, uint8_t type, Header* header) {
  if (size < kHeaderSize || data[0] != 'D' || data[1] != 'A' || data[2] != type) return false;
  header->type = data[2];
  header->version = data[3];
  header->value = GetU16(data + 4);
  return true;
}

void GeoRanges::Clear() {
  entries.clear();
  for (int i = 0; i < 256; ++i) {
    begin[i] = -1;
    count[i] = 0;
  }
}

bool ParseGeoRanges(const uint8_t* body, size_t size, GeoRanges* out) {
  out->Clear();
  if (size < kOffsetTable) return false;
  uint32_t offsets[256];
  for (int o = 0; o < 256; ++o) {
    offsets[o] = GetU32(body + 4 * o);
    uint32_t off = offsets[o];
    if (off == kNoBlock || off < kOffsetTable) continue;
    // Several octets may share one block; keep a single copy.
    int shared = -1;
    for (int p = 0; p < o && shared < 0; ++p)
      if (offsets[p] == off && out->begin[p] >= 0) shared = p;
    if (shared >= 0) {
      out->begin[o] = out->begin[shared];
      out->count[o] = out->count[shared];
      continue;
    }
    if (off > size || size - off < 4) return false;
    uint32_t n = GetU32(body + off);
    size_t room = (size - off - 4) / kGeoEntry;  // whole entries behind the count
    if (n >= room) return false;                 // n + 1 entries must fit
    if (out->entries.size() + n + 1 > 0x7FFFFFFF) return false;
    const uint8_t* p = body + off + 4;
    out->begin[o] = static_cast<int32_t>(out->entries.size());
    out->count[o] = n;
    for (uint32_t i = 0; i <= n; ++i, p += kGeoEntry) {
      GeoEntry e;
      e.start = GetU32(p);
      e.name = GetU16(p + 4);
      e.parent1 = GetU16(p + 6);
      e.parent2 = GetU16(p + 8);
      // The binary search needs rising starts; the end entry's start is not searched.
      if (i > 0 && i < n && e.start < out->entries.back().start) {
        out->Clear();
        return false;
      }
      out->entries.push_back(e);
    }
  }
  return true;
}

std::vector<uint8_t> BuildGeoRangeFile(const GeoRanges& ranges, uint8_t type, uint8_t version) {
  std::vector<uint8_t> out;
  PutHeader(out, type, version);
  out.insert(out.end(), kOffsetTable, 0xFF);  // every octet starts as "no block"
  for (int o = 0; o < 256; ++o) {
    if (ranges.begin[o] < 0) continue;
    SetU32(out, kHeaderSize + 4 * o, static_cast<uint32_t>(out.size() - kHeaderSize));
    PutU32(out, ranges.count[o]);
    for (uint32_t i = 0; i <= ranges.count[o]; ++i) {
      const GeoEntry& e = ranges.entries[static_cast<size_t>(ranges.begin[o]) + i];
      PutU32(out, e.start);
      PutU16(out, e.name);
      PutU16(out, e.parent1);
      PutU16(out, e.parent2);
    }
  }
  return out;
}

void AddGeoBlock(GeoRanges* ranges, int octet, const std::vector<GeoEntry>& entries) {
  ranges->begin[octet] = static_cast<int32_t>(ranges->entries.size());
  ranges->count[octet] = static_cast<uint32_t>(entries.size());
  ranges->entries.insert(ranges->entries.end(), entries.begin(), entries.end());
  GeoEntry end;
  end.start = static_cast<uint32_t>((static_cast<uint64_t>(octet) + 1) << 24);  // wraps for octet 255
  ranges->entries.push_back(end);
}

uint8_t GeoRangeType(int level) {
  return level == 0 ? kRegionRanges : level == 1 ? kCityRanges : kCountryRanges;
}

uint8_t GeoNameType(int level) { return level == 0 ? kRegionNames : level == 1 ? kCityNames : kCountryNames; }

}  // namespace auxfile
