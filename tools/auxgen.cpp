// tvauxgen: writes the auxiliary database files from the curated text tables in
// data/ and the country address ranges of a tor-geoipdb file, and packs
// installed geographic tables into the form the program unpacks at start-up.
//
//   tvauxgen build DATA_DIR OUT_DIR [--geoip FILE] [--version N]
//   tvauxgen pack country|region|city IN_DIR OUT_DIR [--version N]
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/tables/auxfile.h"
#include "platform/files.h"

using namespace auxfile;

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string item;
  std::istringstream in(s);
  while (std::getline(in, item, sep)) out.push_back(Trim(item));
  if (!s.empty() && s.back() == sep) out.push_back({});
  return out;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

struct Line {
  int number;
  std::vector<std::string> fields;
};

class Source {
 public:
  explicit Source(std::string path) : m_path(std::move(path)) {}

  // The '|'-separated rows, comments and blank lines skipped. False when unreadable.
  bool Read(std::vector<Line>* lines) const {
    std::ifstream in(m_path);
    if (!in) {
      fprintf(stderr, "tvauxgen: cannot read %s\n", m_path.c_str());
      return false;
    }
    std::string text;
    for (int n = 1; std::getline(in, text); ++n) {
      std::string t = Trim(text);
      if (t.empty() || t[0] == '#') continue;
      lines->push_back({n, Split(t, '|')});
    }
    return true;
  }

  // Reports a bad row; the build stops on it so a curation mistake cannot ship.
  bool Fail(const Line& line, const std::string& what) const {
    fprintf(stderr, "%s:%d: %s\n", m_path.c_str(), line.number, what.c_str());
    return false;
  }

  bool Fits(const Line& line, const std::string& text, size_t field, const char* what) const {
    if (text.size() < field) return true;
    return Fail(line, std::string(what) + " \"" + text + "\" is longer than " + std::to_string(field - 1));
  }

 private:
  std::string m_path;
};

bool WriteTable(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (tv::WriteFileReplacing(path, bytes.data(), bytes.size())) return true;
  fprintf(stderr, "tvauxgen: cannot write %s\n", path.c_str());
  return false;
}

struct Options {
  uint8_t version = 1;
};

bool BuildOs(const std::string& data, const std::string& out, const Options& o) {
  Source src(data + "os.txt");
  std::vector<Line> lines;
  if (!src.Read(&lines)) return false;
  std::vector<uint8_t> bytes;
  PutHeader(bytes, kOs, o.version);
  for (const Line& l : lines) {
    if (l.fields.size() != 2 || l.fields[0].empty()) return src.Fail(l, "expected: match text | name");
    if (!src.Fits(l, l.fields[0], kOsMatch, "match text") || !src.Fits(l, l.fields[1], kOsName, "name")) return false;
    PutText(bytes, l.fields[0].c_str(), kOsMatch);
    PutText(bytes, l.fields[1].c_str(), kOsName);
  }
  return WriteTable(out + "os.dat", bytes);
}

bool BuildBrowsers(const std::string& data, const std::string& out, const Options& o) {
  Source src(data + "browsers.txt");
  std::vector<Line> lines;
  if (!src.Read(&lines)) return false;
  std::vector<uint8_t> bytes;
  PutHeader(bytes, kBrowser, o.version);
  for (const Line& l : lines) {
    if (l.fields.size() != 3 || (l.fields[0] != "0" && l.fields[0] != "1") || l.fields[1].empty())
      return src.Fail(l, "expected: 0 or 1 | match text | name");
    if (!src.Fits(l, l.fields[1], kBrowserMatch, "match text") ||
        !src.Fits(l, l.fields[2], kBrowserName, "name"))
      return false;
    bytes.push_back(static_cast<uint8_t>(l.fields[0][0] - '0'));
    PutText(bytes, l.fields[1].c_str(), kBrowserMatch);
    PutText(bytes, l.fields[2].c_str(), kBrowserName);
  }
  return WriteTable(out + "browser.dat", bytes);
}

bool BuildRobots(const std::string& data, const std::string& out, const Options& o) {
  Source src(data + "robots.txt");
  std::vector<Line> lines;
  if (!src.Read(&lines)) return false;
  std::vector<uint8_t> bytes;
  PutHeader(bytes, kRobot, o.version);
  for (const Line& l : lines) {
    if (l.fields.size() != 3 || (l.fields[1] != "contains" && l.fields[1] != "equals") || l.fields[2].empty())
      return src.Fail(l, "expected: name | contains or equals | match text");
    if (!src.Fits(l, l.fields[0], kRobotName, "name") || !src.Fits(l, l.fields[2], kRobotMatch, "match text"))
      return false;
    PutText(bytes, l.fields[0].c_str(), kRobotName);
    bytes.push_back(l.fields[1] == "contains" ? 1 : 0);
    PutText(bytes, l.fields[2].c_str(), kRobotMatch);
  }
  return WriteTable(out + "robot.dat", bytes);
}

struct EngineDomain {
  int16_t site;
  std::string domain;
  bool countrySuffix;
};

// searchengines.txt and sites.txt together make the site table and the domain table.
bool BuildSites(const std::string& data, const std::string& out, const Options& o) {
  std::vector<uint8_t> sites;
  PutHeader(sites, kSite, o.version);
  std::vector<EngineDomain> domains;
  int row = 0;
  for (const char* name : {"searchengines.txt", "sites.txt"}) {
    Source src(data + name);
    std::vector<Line> lines;
    if (!src.Read(&lines)) return false;
    for (const Line& l : lines) {
      if (l.fields.size() != 4 || l.fields[0].empty())
        return src.Fail(l, "expected: name | charset | keyword parameters | domains");
      char* end = nullptr;
      long charset = strtol(l.fields[1].c_str(), &end, 10);
      if (l.fields[1].empty() || *end || charset < 0 || charset > 255) return src.Fail(l, "bad charset code");
      std::vector<std::string> keywords = Words(l.fields[2]);
      std::vector<std::string> hosts = Words(l.fields[3]);
      if (keywords.size() > kSiteKeywords) return src.Fail(l, "more than four keyword parameters");
      if (hosts.empty()) return src.Fail(l, "no domain");
      if (row > 0x7FFF) return src.Fail(l, "too many sites");
      if (!src.Fits(l, l.fields[0], kSiteName, "name")) return false;
      PutText(sites, l.fields[0].c_str(), kSiteName);
      sites.push_back(static_cast<uint8_t>(charset));
      for (size_t k = 0; k < kSiteKeywords; ++k) {
        std::string kw = k < keywords.size() ? keywords[k] : std::string();
        if (!src.Fits(l, kw, kSiteKeyword, "keyword parameter")) return false;
        PutText(sites, kw.c_str(), kSiteKeyword);
      }
      for (std::string h : hosts) {
        bool suffix = h.size() > 3 && h.compare(h.size() - 3, 3, ".cc") == 0;
        if (suffix) h.resize(h.size() - 3);
        if (!src.Fits(l, h, kSearchEngineDomain, "domain")) return false;
        domains.push_back({static_cast<int16_t>(row), h, suffix});
      }
      ++row;
    }
  }
  // The line commit stops at the first domain longer than the referrer's host.
  std::stable_sort(domains.begin(), domains.end(),
                   [](const EngineDomain& a, const EngineDomain& b) { return a.domain.size() < b.domain.size(); });
  std::vector<uint8_t> se;
  PutHeader(se, kSearchEngine, o.version);
  for (const EngineDomain& d : domains) {
    PutU16(se, static_cast<uint16_t>(d.site));
    PutU16(se, static_cast<uint16_t>(d.domain.size()));
    PutU16(se, d.countrySuffix ? 1 : 0);
    PutText(se, d.domain.c_str(), kSearchEngineDomain);
  }
  return WriteTable(out + "site.dat", sites) && WriteTable(out + "se.dat", se);
}

bool BuildAdHosts(const std::string& data, const std::string& out, const Options& o) {
  Source src(data + "adhosts.txt");
  std::vector<Line> lines;
  if (!src.Read(&lines)) return false;
  std::vector<uint8_t> bytes;
  PutHeader(bytes, kAdHosts, o.version);
  for (const Line& l : lines) {
    if (l.fields.size() != 1) return src.Fail(l, "expected one host name");
    if (!src.Fits(l, l.fields[0], kAdHostRecord, "host")) return false;
    PutText(bytes, l.fields[0].c_str(), kAdHostRecord);
  }
  return WriteTable(out + "adsense.dat", bytes);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

// Writes cntr1.dat; codes maps every code and other code (lower case) to its row.
bool BuildCountryNames(const std::string& data, const std::string& out, const Options& o,
                       std::map<std::string, uint16_t>* codes) {
  Source src(data + "countries.txt");
  std::vector<Line> lines;
  if (!src.Read(&lines)) return false;
  std::vector<uint8_t> bytes;
  PutHeader(bytes, kCountryNames, o.version, kCountryRecord);
  uint16_t row = 0;
  for (const Line& l : lines) {
    if (l.fields.size() < 2 || l.fields.size() > 3 || l.fields[0].size() != 2)
      return src.Fail(l, "expected: two-letter code | name [| other codes]");
    if (!src.Fits(l, l.fields[1], kCountryRecord - 3, "name")) return false;
    std::vector<std::string> all = {l.fields[0]};
    if (l.fields.size() == 3)
      for (const std::string& w : Words(l.fields[2])) all.push_back(w);
    for (const std::string& c : all)
      if (!codes->emplace(Lower(c), row).second) return src.Fail(l, "code " + c + " listed twice");
    bytes.push_back(static_cast<uint8_t>(l.fields[0][0]));
    bytes.push_back(static_cast<uint8_t>(l.fields[0][1]));
    bytes.push_back(0);
    PutText(bytes, l.fields[1].c_str(), kCountryRecord - 3);
    ++row;
  }
  return WriteTable(out + "cntr1.dat", bytes);
}

struct Segment {
  uint64_t start;
  uint16_t name;
};

// The whole address space as runs of one country (kNoName where none is known).
std::vector<Segment> Cover(std::vector<std::pair<uint64_t, std::pair<uint64_t, uint16_t>>>& ranges) {
  std::sort(ranges.begin(), ranges.end());
  std::vector<Segment> segs;
  auto push = [&segs](uint64_t start, uint16_t name) {
    if (!segs.empty() && segs.back().start == start) segs.pop_back();
    if (segs.empty() || segs.back().name != name) segs.push_back({start, name});
  };
  uint64_t cursor = 0;
  for (auto& r : ranges) {
    uint64_t first = std::max(r.first, cursor), last = r.second.first;
    if (last < first) continue;  // overlaps what came before
    if (first > cursor) push(cursor, kNoName);
    push(first, r.second.second);
    cursor = last + 1;
  }
  if (cursor < (1ull << 32)) push(cursor, kNoName);
  return segs;
}

// Converts the "first,last,CC" lines of a tor-geoipdb file into cntr0.dat.
bool BuildCountryRanges(const std::string& geoip, const std::string& out, const Options& o,
                        const std::map<std::string, uint16_t>& codes) {
  std::ifstream in(geoip);
  if (!in) {
    fprintf(stderr, "tvauxgen: warning: %s not found, no country ranges written\n", geoip.c_str());
    return true;
  }
  std::vector<std::pair<uint64_t, std::pair<uint64_t, uint16_t>>> ranges;
  std::map<std::string, int> unknown;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    char cc[8] = {};
    unsigned long long first = 0, last = 0;
    if (sscanf(line.c_str(), "%llu,%llu,%7s", &first, &last, cc) != 3 || first > last || last > 0xFFFFFFFFull) {
      fprintf(stderr, "%s:%d: bad range line\n", geoip.c_str(), n);
      return false;
    }
    uint16_t name = kNoName;
    auto it = codes.find(Lower(cc));
    if (it != codes.end()) name = it->second;
    else if (strcmp(cc, "??") != 0) ++unknown[cc];
    ranges.push_back({first, {last, name}});
  }
  for (auto& u : unknown)
    fprintf(stderr, "tvauxgen: warning: country code %s (%d ranges) not in countries.txt\n", u.first.c_str(),
            u.second);
  std::vector<Segment> segs = Cover(ranges);
  GeoRanges index;
  size_t j = 0;
  for (int octet = 0; octet < 256; ++octet) {
    uint64_t lo = static_cast<uint64_t>(octet) << 24, hi = lo + (1u << 24);
    while (j + 1 < segs.size() && segs[j + 1].start <= lo) ++j;
    std::vector<GeoEntry> entries;
    GeoEntry e;
    e.start = static_cast<uint32_t>(lo);
    e.name = segs[j].name;
    entries.push_back(e);
    bool any = e.name != kNoName;
    size_t k = j + 1;
    for (; k < segs.size() && segs[k].start < hi; ++k) {
      e.start = static_cast<uint32_t>(segs[k].start);
      e.name = segs[k].name;
      entries.push_back(e);
      any = any || e.name != kNoName;
    }
    j = k - 1;
    if (any) AddGeoBlock(&index, octet, entries);
  }
  return WriteTable(out + "cntr0.dat", BuildGeoRangeFile(index, kCountryRanges, o.version));
}

// ---------------------------------------------------------------------------
// Packing

class BitWriter {
 public:
  void Put(uint32_t value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) {
      if (m_bit == 0) m_bytes.push_back(0);
      if (value & (1u << i)) m_bytes.back() |= static_cast<uint8_t>(1u << m_bit);
      m_bit = (m_bit + 1) % 8;
    }
  }
  void PutGap(uint32_t gap) {
    if (gap < 511) {
      Put(gap, 9);
    } else if (gap < (1u << 12)) {
      Put(511, 9);
      Put(0, 1);
      Put(gap, 12);
    } else if (gap < (1u << 17)) {
      Put(511, 9);
      Put(1, 1);
      Put(0, 1);
      Put(gap, 17);
    } else {
      Put(511, 9);
      Put(1, 1);
      Put(1, 1);
      Put(gap, 24);
    }
  }
  // The stream so far, padded to a whole byte; the writer starts afresh.
  std::vector<uint8_t> Take() {
    m_bit = 0;
    return std::move(m_bytes);
  }

 private:
  std::vector<uint8_t> m_bytes;
  unsigned m_bit = 0;
};

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "tvauxgen: cannot read %s\n", path.c_str());
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool Pack(int level, const std::string& inDir, const std::string& outDir, int version) {
  static const char* const kInstalled[3][2] = {{"reg0.dat", "reg1.dat"}, {"city0.dat", "city1.dat"},
                                               {"cntr0.dat", "cntr1.dat"}};
  static const char* const kPacked[3][2] = {{"tmpreg0.dat", "tmpreg1.dat"}, {"tmpcity0.dat", "tmpcity1.dat"},
                                            {"tmpcou0.dat", "tmpcou1.dat"}};
  std::vector<uint8_t> rangeFile, nameFile;
  if (!ReadFileBytes(inDir + kInstalled[level][0], &rangeFile) ||
      !ReadFileBytes(inDir + kInstalled[level][1], &nameFile))
    return false;
  Header rh, nh;
  GeoRanges ranges;
  if (!ReadHeader(rangeFile.data(), rangeFile.size(), GeoRangeType(level), &rh) ||
      !ParseGeoRanges(rangeFile.data() + kHeaderSize, rangeFile.size() - kHeaderSize, &ranges)) {
    fprintf(stderr, "tvauxgen: %s is not a valid range table\n", kInstalled[level][0]);
    return false;
  }
  size_t record = 0;
  if (ReadHeader(nameFile.data(), nameFile.size(), GeoNameType(level), &nh)) record = nh.value;
  bool country = level == 2;
  if (record < (country ? 4u : 1u) || (nameFile.size() - kHeaderSize) % record != 0) {
    fprintf(stderr, "tvauxgen: %s is not a valid name table\n", kInstalled[level][1]);
    return false;
  }
  size_t names = (nameFile.size() - kHeaderSize) / record;
  unsigned width = 1;
  while (width <= kMaxIndexWidth && (1u << width) - 2 < names) ++width;
  if (width > kMaxIndexWidth) {
    fprintf(stderr, "tvauxgen: too many names for a 16-bit index\n");
    return false;
  }
  uint8_t rv = version >= 0 ? static_cast<uint8_t>(version) : rh.version;
  uint8_t nv = version >= 0 ? static_cast<uint8_t>(version) : nh.version;

  // Names: zero-terminated texts, a country's as its code followed by its name.
  std::vector<uint8_t> packedNames;
  PutHeader(packedNames, GeoNameType(level), nv, static_cast<uint16_t>(country ? kCountryRecord : record));
  for (size_t i = 0; i < names; ++i) {
    const uint8_t* r = nameFile.data() + kHeaderSize + i * record;
    std::string text;
    if (country) {
      std::string code = FieldText(r, 2);
      if (code.size() != 2) {
        fprintf(stderr, "tvauxgen: country %zu has no two-letter code\n", i);
        return false;
      }
      text = code + FieldText(r + 3, record - 3);
    } else {
      text = FieldText(r, record);
    }
    packedNames.insert(packedNames.end(), text.begin(), text.end());
    packedNames.push_back(0);
  }

  // Ranges: each block from its octet's first address, as gaps and indexes.
  std::vector<uint8_t> packedRanges;
  PutHeader(packedRanges, GeoRangeType(level), rv, static_cast<uint16_t>(width));
  packedRanges.insert(packedRanges.end(), kOffsetTable, 0xFF);
  const uint32_t none = (1u << width) - 1;
  BitWriter bits;
  size_t streamStart = packedRanges.size();
  for (int o = 0; o < 256; ++o) {
    if (ranges.begin[o] < 0 || ranges.count[o] == 0) continue;
    const GeoEntry* e = ranges.entries.data() + ranges.begin[o];
    uint64_t lo = static_cast<uint64_t>(o) << 24, hi = lo + (1u << 24);
    // (start, name) runs covering the whole octet.
    std::vector<std::pair<uint64_t, uint16_t>> runs;
    if (e[0].start > lo) runs.push_back({lo, kNoName});
    for (uint32_t i = 0; i < ranges.count[o]; ++i) {
      if (e[i].start < lo || e[i].start >= hi) continue;
      if (!runs.empty() && runs.back().first == e[i].start) runs.pop_back();
      runs.push_back({e[i].start, e[i].name});
    }
    if (runs.empty()) continue;
    for (size_t i = 0; i < runs.size(); ++i) {
      uint64_t next = i + 1 < runs.size() ? runs[i + 1].first : hi;
      bits.PutGap(static_cast<uint32_t>(next - runs[i].first - 1));
      uint16_t name = runs[i].second;
      bits.Put(name == kNoName || name >= names ? none : name + 1u, width);
    }
    bits.Put(0, 9);
    bits.Put(0, width);
    SetU32(packedRanges, kHeaderSize + 4 * o, static_cast<uint32_t>(packedRanges.size() - streamStart));
    std::vector<uint8_t> block = bits.Take();
    packedRanges.insert(packedRanges.end(), block.begin(), block.end());
  }
  return WriteTable(outDir + kPacked[level][0], packedRanges) && WriteTable(outDir + kPacked[level][1], packedNames);
}

std::string Dir(std::string d) {
  if (!d.empty() && d.back() != '/') d += '/';
  return d;
}

int Usage() {
  fprintf(stderr,
          "usage: tvauxgen build DATA_DIR OUT_DIR [--geoip FILE] [--version N]\n"
          "       tvauxgen pack country|region|city IN_DIR OUT_DIR [--version N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  std::string command = argv[1];
  std::vector<std::string> rest(argv + 2, argv + argc);
  std::string geoip;
  int version = -1;
  std::vector<std::string> positional;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--geoip" && i + 1 < rest.size()) geoip = rest[++i];
    else if (rest[i] == "--version" && i + 1 < rest.size()) version = atoi(rest[++i].c_str()) & 0xFF;
    else positional.push_back(rest[i]);
  }
  if (command == "build" && positional.size() == 2) {
    std::string data = Dir(positional[0]), out = Dir(positional[1]);
    if (!tv::MakeDirs(out)) {
      fprintf(stderr, "tvauxgen: cannot create %s\n", out.c_str());
      return 1;
    }
    Options o;
    if (version >= 0) o.version = static_cast<uint8_t>(version);
    std::map<std::string, uint16_t> codes;
    bool ok = BuildOs(data, out, o) && BuildBrowsers(data, out, o) && BuildRobots(data, out, o) &&
              BuildSites(data, out, o) && BuildAdHosts(data, out, o) && BuildCountryNames(data, out, o, &codes) &&
              (geoip.empty() || BuildCountryRanges(geoip, out, o, codes));
    return ok ? 0 : 1;
  }
  if (command == "pack" && positional.size() == 3) {
    const std::string& l = positional[0];
    int level = l == "region" ? 0 : l == "city" ? 1 : l == "country" ? 2 : -1;
    if (level < 0) return Usage();
    return Pack(level, Dir(positional[1]), Dir(positional[2]), version) ? 0 : 1;
  }
  return Usage();
}
