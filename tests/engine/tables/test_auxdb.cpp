#include "engine/display/display.h"
#include "engine/tables/auxdb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/readers/linecommit.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxtables.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"

namespace {

// Table files written here byte by byte, apart from the engine's own writers.
struct Bytes {
  std::string s;
  Bytes& U8(unsigned v) {
    s += static_cast<char>(v);
    return *this;
  }
  Bytes& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  // The text and zeros up to the field's width (a text of the full width has no terminator).
  Bytes& Text(const std::string& t, size_t field) {
    s += t.substr(0, field);
    s.append(field - std::min(field, t.size()), '\0');
    return *this;
  }
  Bytes& Header(unsigned type, unsigned version = 1, unsigned value = 0) {
    return U8('D').U8('A').U8(type).U8(version).U16(value).U16(0);
  }
};

uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) { return (a << 24) | (b << 16) | (c << 8) | d; }

struct Entry {
  uint32_t start;
  unsigned name, parent1 = 0xFFFF, parent2 = 0xFFFF;
};
struct Block {
  unsigned octet;
  std::vector<Entry> entries;  // the end entry is added
};

// An installed range index. An octet listed in zeroOctets gets offset 0 instead of
// "no block", as earlier writers left it.
std::string RangeFile(unsigned type, const std::vector<Block>& blocks, unsigned version = 1,
                      const std::vector<unsigned>& zeroOctets = {}) {
  std::vector<uint32_t> offsets(256, 0xFFFFFFFF);
  for (unsigned o : zeroOctets) offsets[o] = 0;
  Bytes body;
  for (const Block& b : blocks) {
    offsets[b.octet] = static_cast<uint32_t>(1024 + body.s.size());
    body.U32(static_cast<uint32_t>(b.entries.size()));
    for (const Entry& e : b.entries) body.U32(e.start).U16(e.name).U16(e.parent1).U16(e.parent2);
    body.U32(static_cast<uint32_t>((b.octet + 1ull) << 24)).U16(0xFFFF).U16(0xFFFF).U16(0xFFFF);
  }
  Bytes f;
  f.Header(type, version);
  for (uint32_t o : offsets) f.U32(o);
  return f.s + body.s;
}

std::string CountryNames(const std::vector<std::pair<std::string, std::string>>& rows, unsigned version = 1) {
  Bytes f;
  f.Header(auxfile::kCountryNames, version, 200);
  for (auto& r : rows) f.Text(r.first, 2).U8(0).Text(r.second, 197);
  return f.s;
}

std::string Names(unsigned type, const std::vector<std::string>& rows, unsigned size = 40) {
  Bytes f;
  f.Header(type, 1, size);
  for (auto& r : rows) f.Text(r, size);
  return f.s;
}

// The packed range stream: gaps and indexes, least significant bit first.
struct Bits {
  std::string bytes;
  unsigned bit = 0;
  void Put(uint32_t v, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
      if (bit == 0) bytes += '\0';
      if (v & (1u << i)) bytes.back() = static_cast<char>(bytes.back() | (1 << bit));
      bit = (bit + 1) % 8;
    }
  }
  void Range(uint32_t gap, uint32_t index, unsigned w) {
    if (gap < 511) {
      Put(gap, 9);
    } else if (gap < 4096) {
      Put(511, 9), Put(0, 1), Put(gap, 12);
    } else if (gap < (1u << 17)) {
      Put(511, 9), Put(1, 1), Put(0, 1), Put(gap, 17);
    } else {
      Put(511, 9), Put(1, 1), Put(1, 1), Put(gap, 24);
    }
    Put(index, w);
  }
};

// A packed range file with one block per octet given; offsets count from the
// end of the offset table.
std::string PackedRanges(unsigned type, unsigned width, const std::vector<std::pair<unsigned, std::string>>& blocks,
                         unsigned version = 1) {
  std::vector<uint32_t> offsets(256, 0xFFFFFFFF);
  std::string streams;
  for (auto& b : blocks) {
    offsets[b.first] = static_cast<uint32_t>(streams.size());
    streams += b.second;
  }
  Bytes f;
  f.Header(type, version, width);
  for (uint32_t o : offsets) f.U32(o);
  return f.s + streams;
}

std::string PackedNames(unsigned type, unsigned recordSize, const std::vector<std::string>& texts,
                        unsigned version = 1) {
  Bytes f;
  f.Header(type, version, recordSize);
  for (auto& t : texts) f.s += t + '\0';
  return f.s;
}

// Each test runs in a program folder of its own.
class AuxDb : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tvtest::NewDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    setenv("TRAILVANE_HOME", dir_.c_str(), 1);
    tv::ResetFolders();
    FreeAuxDatabases();
    g_auxDatabases.saveAutoRobots = false;
  }
  void TearDown() override {
    FreeAuxDatabases();
    setenv("TRAILVANE_HOME", tvtest::Home().c_str(), 1);
    tv::ResetFolders();
  }
  void Write(const char* name, const std::string& bytes) { tvtest::WriteFile(dir_ + name, bytes); }
  std::string Read(const char* name) { return tvtest::ReadFile(dir_ + name); }

  std::string dir_;
};

struct Hit {
  uint8_t bytes[CHitRecord::kMaxSize] = {};
  CHitRecord* operator->() { return reinterpret_cast<CHitRecord*>(bytes); }
  CHitRecord* get() { return reinterpret_cast<CHitRecord*>(bytes); }
};

// A record carrying one optional text: the agent, or the host name.
Hit AgentHit(const char* agent) {
  Hit h;
  h->SetFlags(kHitAgent);
  h->Put<uint32_t>(CHitRecord::kHeadSize, g_pools.agents.Intern(agent));
  return h;
}
Hit HostHit(const char* host) {
  Hit h;
  h->SetStatusWord(kHitHostName);
  h->Put<uint32_t>(CHitRecord::kHeadSize, g_pools.hosts.Intern(host));
  return h;
}
Hit AddressHit(uint32_t a) {
  Hit h;
  h->SetAddress(a);
  return h;
}

// The robot row and search-engine site the line commit gives an agent and a referrer.
struct Classified {
  int robot = -1, engine = -1;
};
Classified Classify(const char* agent, const char* referrer) {
  Hit h;
  memset(&g_line, 0, sizeof g_line);
  if (agent) g_line.agent = agent, g_line.agentLen = strlen(agent);
  if (referrer) g_line.referrer = referrer, g_line.referrerLen = strlen(referrer);
  ClassifyLogLine(h.get());
  Classified c;
  if (h->Flags() & kHitRobot) c.robot = h->RobotIndex();
  if (h->Flags() & kHitSearchEngine) c.engine = h->RobotIndex();
  return c;
}

void WriteAgentTables(const std::string& dir) {
  auto write = [&dir](const char* name, const std::string& bytes) { tvtest::WriteFile(dir + name, bytes); };
  Bytes os;
  os.Header(auxfile::kOs, 7);
  os.Text("Windows NT 10.0", 16).Text("Windows 10", 16);
  os.Text("Windows", 16).Text("Windows", 16);
  os.Text("ABCDEFGHIJKLMNOP", 16).Text("Long", 16);  // no terminator inside the field
  write("os.dat", os.s);
  Bytes br;
  br.Header(auxfile::kBrowser);
  br.U8(1).Text("Wget/", 16).Text("Wget", 31);
  br.U8(0).Text("Firefox/", 16).Text("Firefox", 31);
  write("browser.dat", br.s);
  Bytes ro;
  ro.Header(auxfile::kRobot);
  ro.Text("Googlebot", 19).U8(1).Text("Googlebot", 44);
  ro.Text("Exact", 19).U8(0).Text("exact-agent", 44);
  write("robot.dat", ro.s);
}

TEST_F(AuxDb, AgentTablesMatchInOrderAndFeedTheCommit) {
  WriteAgentTables(dir_);
  AuxSpiderRow detected = AuxSpiderRow::Make(Ip(10, 0, 0, 1), "odd-agent", nullptr);
  tvtest::WriteFile(dir_ + "arobot.dat", Bytes().Header(12, 0).s +
                                             std::string(reinterpret_cast<char*>(detected.bytes), 384));
  LoadAuxDatabases(false);

  EXPECT_STREQ(FindOperatingSystem("Mozilla/5.0 (Windows NT 10.0; Win64)"), "Windows 10");
  EXPECT_STREQ(FindOperatingSystem("Mozilla/4.0 (Windows 98)"), "Windows");
  EXPECT_STREQ(FindOperatingSystem("x ABCDEFGHIJKLMNO y"), "Long");  // forced to 15 characters
  EXPECT_STREQ(FindOperatingSystem("curl/8"), "Unknown");
  EXPECT_EQ(AuxTableVersion(auxfile::kOs), 7);

  EXPECT_EQ(FindBrowser("Wget/1.21"), 1);
  EXPECT_EQ(FindBrowser("Gecko/20100101 Firefox/147.0"), 0);
  EXPECT_EQ(FindBrowser("Lynx"), -1);

  char buf[64];
  Hit wget = AgentHit("Wget/1.21");
  EXPECT_STREQ(FormatBrowser(wget.get(), buf, sizeof buf), "Wget (Download Manager)");
  EXPECT_STREQ(FormatBrowser(wget.get(), nullptr, 0), "Wget");
  Hit spider = AgentHit("Googlebot/2.1");
  spider->SetFlags(spider->Flags() | kHitRobot);
  spider->SetRobotIndex(0);
  EXPECT_STREQ(FormatBrowser(spider.get(), buf, sizeof buf), "Googlebot (Spider)");
  spider->SetRobotIndex(2);  // the first auto-robot row
  EXPECT_STREQ(FormatBrowser(spider.get(), nullptr, 0), "odd-agent");

  EXPECT_STREQ(AgentTableEntry(1), "Exact");
  EXPECT_STREQ(AgentTableEntry(2), "odd-agent");
  EXPECT_STREQ(AgentTableEntry(3), "");
  EXPECT_STREQ(AgentTableEntry(-1), "");

  // The commit sees the same rows: substring mode, whole-text mode, detected spiders.
  EXPECT_EQ(Classify("Mozilla/5.0 (compatible; Googlebot/2.1)", nullptr).robot, 0);
  EXPECT_EQ(Classify("exact-agent", nullptr).robot, 1);
  EXPECT_EQ(Classify("exact-agent/2", nullptr).robot, -1);
  ASSERT_EQ(g_auxTables.autoRobots.size(), 1u);
  EXPECT_EQ(g_auxTables.autoRobots[0].address, Ip(10, 0, 0, 1));
  EXPECT_EQ(g_auxTables.autoRobots[0].agent, "odd-agent");
}

TEST_F(AuxDb, SitesAndSearchEnginesAreCheckedAndSorted) {
  Bytes site;
  site.Header(auxfile::kSite);
  site.Text("Finder", 47).U8(0).Text("q=", 12).Text("", 12).Text("", 12).Text("", 12);
  site.Text("Looker", 47).U8(0).Text("", 12).Text("text=", 12).Text("", 12).Text("", 12);
  Write("site.dat", site.s);
  Bytes se;
  se.Header(auxfile::kSearchEngine);
  se.U16(1).U16(11).U16(0).Text("looker.org", 26);  // a stored length that is not the text's
  se.U16(0).U16(6).U16(1).Text("finder", 26);
  se.U16(9).U16(4).U16(0).Text("lost", 26);  // no such site row
  Write("se.dat", se.s);
  Bytes ads;
  ads.Header(auxfile::kAdHosts).Text("ads.example.net", 64);
  Write("adsense.dat", ads.s);
  LoadAuxDatabases(false);

  EXPECT_STREQ(SiteName(1), "Looker");
  EXPECT_STREQ(SiteName(2), "");
  EXPECT_TRUE(g_auxDatabases.adHostsLoaded);
  ASSERT_EQ(g_auxTables.searchEngines.size(), 2u);
  EXPECT_EQ(g_auxTables.searchEngines[0].domain, "finder");
  EXPECT_EQ(g_auxTables.searchEngines[1].domainLength, 10);

  EXPECT_EQ(Classify(nullptr, "http://www.finder.de/s?q=cheap+flights").engine, 0);
  EXPECT_EQ(Classify(nullptr, "http://www.looker.org/?text=x").engine, 1);
  EXPECT_EQ(Classify(nullptr, "http://www.lost/?q=x").engine, -1);
  char kw[64];
  EXPECT_STREQ(SearchKeyword(kw, sizeof kw, "http://www.finder.de/s?hl=en&q=Cheap+Flights+&x=1", 0), "cheap flights");
  EXPECT_STREQ(SearchKeyword(kw, sizeof kw, "http://www.looker.org/?a%3Db&text%3Dblue", 1), "blue");
  EXPECT_STREQ(SearchKeyword(kw, sizeof kw, "http://www.finder.de/", 0), "");
}

TEST_F(AuxDb, DamagedTableIsRefusedAndTheOthersStay) {
  Bytes good;
  good.Header(auxfile::kBrowser).U8(0).Text("Firefox/", 16).Text("Firefox", 31);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"wrong type", Bytes().Header(auxfile::kOs).s + good.s.substr(8)},
      {"wrong letters", "XA" + good.s.substr(2)},
      {"truncated record", good.s.substr(0, good.s.size() - 1)},
      {"shorter than the header", good.s.substr(0, 5)},
      {"zero length", ""},
      {"random", std::string("\x9c\x01\xff\x00garbage-bytes-of-no-table", 29)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteAgentTables(dir_);
    Write("browser.dat", c.bytes);
    tvtest::MessageCapture capture;
    LoadAuxDatabases(false);
    EXPECT_EQ(FindBrowser("Firefox/147.0"), -1);
    EXPECT_EQ(AuxTableVersion(auxfile::kBrowser), 0);
    EXPECT_STREQ(FindOperatingSystem("Windows NT 10.0"), "Windows 10");
    EXPECT_NE(capture.AllErrors().find("browser.dat"), std::string::npos) << capture.AllErrors();
  }
  // A missing table is no error.
  tv::RemoveFile(dir_ + "browser.dat");
  tvtest::MessageCapture capture;
  LoadAuxDatabases(false);
  EXPECT_TRUE(capture.errors.empty());
}

// Countries 0 "us", 1 "uk", 2 "de"; regions 0 "Bavaria" (in de), 1 "Scotland" (in uk);
// cities 0 "Munich" (Bavaria, Germany), 1 "Glasgow" (Scotland, no country).
void WriteGeo(const std::string& dir) {
  auto write = [&dir](const char* name, const std::string& bytes) { tvtest::WriteFile(dir + name, bytes); };
  write("cntr1.dat", CountryNames({{"us", "United States"}, {"uk", "United Kingdom"}, {"de", "Germany"}}));
  write("cntr0.dat", RangeFile(auxfile::kCountryRanges,
                               {{8, {{Ip(8, 0, 0, 0), 0}, {Ip(8, 128, 0, 0), 0xFFFF}, {Ip(8, 200, 0, 0), 1}}},
                                {81, {{Ip(81, 0, 0, 0), 1}, {Ip(81, 10, 0, 0), 2}}},
                                {90, {{Ip(90, 5, 0, 0), 7}}}},  // a name index past the table
                               1, {9}));
  write("reg1.dat", Names(auxfile::kRegionNames, {"Bavaria", "Scotland"}));
  write("reg0.dat", RangeFile(auxfile::kRegionRanges, {{81, {{Ip(81, 0, 0, 0), 1, 1}, {Ip(81, 10, 0, 0), 0, 2}}}}));
  write("city1.dat", Names(auxfile::kCityNames, {"Munich", "Glasgow"}));
  write("city0.dat", RangeFile(auxfile::kCityRanges,
                               {{81, {{Ip(81, 0, 0, 0), 1, 1, 0xFFFF}, {Ip(81, 10, 0, 0), 0, 0, 2}}}}));
}

std::string Geo(uint32_t a, int level) {
  const char *c, *r, *ci;
  LookupGeoAddress(a, level, &c, &r, &ci);
  return std::string(c) + "/" + r + "/" + ci;
}

TEST_F(AuxDb, GeographicLookups) {
  WriteGeo(dir_);
  LoadAuxDatabases(false);
  ASSERT_TRUE(g_auxDatabases.geoLoaded);

  EXPECT_EQ(Geo(Ip(8, 8, 8, 8), kGeoCountry), "United States//");
  EXPECT_EQ(Geo(Ip(8, 130, 0, 0), kGeoCountry), "//");            // a range of no country
  EXPECT_EQ(Geo(Ip(8, 255, 255, 255), kGeoCountry), "United Kingdom//");  // the last range of the block
  EXPECT_EQ(Geo(Ip(9, 1, 1, 1), kGeoCountry), "//");              // offset 0 is no block
  EXPECT_EQ(Geo(Ip(7, 1, 1, 1), kGeoCountry), "//");              // no block at all
  EXPECT_EQ(Geo(Ip(90, 1, 0, 0), kGeoCountry), "//");             // below the block's first start
  EXPECT_EQ(Geo(Ip(90, 6, 0, 0), kGeoCountry), "//");             // name index past the table

  EXPECT_EQ(Geo(Ip(81, 20, 0, 1), kGeoCity), "Germany/Bavaria/Munich");
  EXPECT_EQ(Geo(Ip(81, 20, 0, 1), kGeoRegion), "Germany/Bavaria/");
  EXPECT_EQ(Geo(Ip(81, 1, 0, 1), kGeoCity), "/Scotland/Glasgow");
  EXPECT_EQ(Geo(Ip(81, 1, 0, 1), kGeoBest), "United Kingdom/Scotland/Glasgow");
  EXPECT_EQ(Geo(Ip(8, 8, 8, 8), kGeoBest), "United States//");  // no city there

  char buf[128];
  Hit glasgow = AddressHit(Ip(81, 1, 0, 1));
  EXPECT_STREQ(GetCityRegionCountryOf(buf, sizeof buf, glasgow.get(), true), "Glasgow, Scotland, United Kingdom");
  EXPECT_STREQ(GetCityRegionCountryOf(buf, sizeof buf, glasgow.get(), false), "Glasgow");
  EXPECT_STREQ(GetRegionCountryOf(buf, sizeof buf, glasgow.get(), true), "Scotland, United Kingdom");
  EXPECT_STREQ(GetCountryOf(glasgow.get()), "United Kingdom");
  // An address no range holds has the label of a host without a country.
  for (uint32_t address : {Ip(7, 1, 1, 1), Ip(90, 1, 0, 0), Ip(90, 6, 0, 0)})
    EXPECT_STREQ(GetCountryOf(AddressHit(address).get()), "Unknown");

  // Without an address the host name's last label decides.
  Hit named = HostHit("mail.example.CO.UK");
  EXPECT_STREQ(GetCountryOf(named.get()), "United Kingdom");
  EXPECT_STREQ(FindCountryByTld("www.example.com"), "Unknown");
  EXPECT_STREQ(FindCountryByTld("localhost"), "Unknown");
  EXPECT_STREQ(FindCountryByTld("host.de"), "Germany");

  CountryNameEntry translated[] = {{"Deutschland", "DE"}, {"", "us"}, {"Nowhere", "zz"}};
  ApplyCountryNames(translated, 3);
  EXPECT_STREQ(GetCountryName(2), "Deutschland");
  EXPECT_STREQ(GetCountryName(0), "United States");
  EXPECT_STREQ(GetCountryRecord(2), "de");
  EXPECT_EQ(GetCountryCount(), 3);
  EXPECT_EQ(GetCountryName(3), nullptr);
  std::string longName(300, 'x');
  ASSERT_TRUE(SetCountryName(1, longName.c_str()));
  EXPECT_EQ(strlen(GetCountryName(1)), 196u);
}

TEST_F(AuxDb, DamagedGeographicTablesAreRefused) {
  std::string good = RangeFile(auxfile::kCountryRanges, {{8, {{Ip(8, 0, 0, 0), 0}}}});
  std::string pastEnd = good;
  pastEnd[8 + 4 * 8] = '\x50';  // the block's offset beyond the file
  std::string hugeCount = good;
  hugeCount[8 + 1024 + 3] = '\x7f';
  struct Case {
    const char* what;
    const char* file;
    std::string bytes;
    const char* country;  // what 81.20.0.1 still gets
    const char* city;
  } cases[] = {
      {"offset past the end", "cntr0.dat", pastEnd, "//", "Germany/Bavaria/Munich"},
      {"count past the end", "cntr0.dat", hugeCount, "//", "Germany/Bavaria/Munich"},
      {"no offset table", "cntr0.dat", good.substr(0, 500), "//", "Germany/Bavaria/Munich"},
      {"record size 0", "reg1.dat", Names(auxfile::kRegionNames, {}, 0) + "abc", "Germany//", "Germany//Munich"},
      {"partial record", "reg1.dat", Names(auxfile::kRegionNames, {"Bavaria"}) + "x", "Germany//",
       "Germany//Munich"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteGeo(dir_);
    Write(c.file, c.bytes);
    tvtest::MessageCapture capture;
    LoadAuxDatabases(false);
    EXPECT_NE(capture.AllErrors().find(c.file), std::string::npos) << capture.AllErrors();
    EXPECT_EQ(Geo(Ip(81, 20, 0, 1), kGeoCountry), c.country);
    EXPECT_EQ(Geo(Ip(81, 20, 0, 1), kGeoCity), c.city);
  }
}

TEST_F(AuxDb, PackedTablesAreUnpackedWhenTheirVersionDiffers) {
  // Countries "us", "fr"; index width 3: 1 and 2 name them, 7 is no country.
  Write("tmpcou1.dat", PackedNames(auxfile::kCountryNames, 0, {"usUnited States", "frFrance"}, 2));
  Bits b;
  b.Range(99, 1, 3);            // 8.0.0.0 - 8.0.0.99 us
  b.Range(4000, 7, 3);          // 12-bit gap, no country
  b.Range(100000, 2, 3);        // 17-bit gap, fr
  b.Range(0xFFFFFF, 1, 3);      // 24-bit gap: us up to the end of the octet
  b.Range(0, 0, 3);             // end of block
  Write("tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 3, {{8, b.bytes}}, 2));
  // Regions (width 2, 3 is none): "Ile-de-France" where France starts.
  Write("tmpreg1.dat", PackedNames(auxfile::kRegionNames, 30, {"Ile-de-France"}));
  Bits r;
  r.Range(4100, 3, 2);
  r.Range(50000, 1, 2);
  r.Range(0, 0, 2);
  Write("tmpreg0.dat", PackedRanges(auxfile::kRegionRanges, 2, {{8, r.bytes}}));
  LoadAuxDatabases(false);

  EXPECT_EQ(Geo(Ip(8, 0, 0, 99), kGeoCountry), "United States//");
  EXPECT_EQ(Geo(Ip(8, 0, 0, 100), kGeoCountry), "//");
  EXPECT_EQ(Geo(Ip(8, 0, 16, 4), kGeoCountry), "//");
  EXPECT_EQ(Geo(Ip(8, 0, 16, 5), kGeoCountry), "France//");  // 100 + 4001
  EXPECT_EQ(Geo(Ip(8, 200, 0, 0), kGeoCountry), "United States//");
  EXPECT_EQ(Geo(Ip(8, 0, 20, 0), kGeoRegion), "France/Ile-de-France/");  // parent found while unpacking
  EXPECT_EQ(Geo(Ip(8, 0, 0, 1), kGeoRegion), "United States//");  // no region, but a country
  std::string installed = Read("cntr0.dat");
  ASSERT_GT(installed.size(), 8u + 1024);
  EXPECT_EQ(installed[3], 2);  // the packed file's version
  for (int o : {0, 7, 9, 255}) EXPECT_EQ(auxfile::GetU32(reinterpret_cast<const uint8_t*>(installed.data()) + 8 + 4 * o), 0xFFFFFFFFu) << o;
  EXPECT_EQ(Read("cntr1.dat").size(), 8u + 2 * 200);

  // Same version: the installed table stays, whatever the packed one now says.
  Bits other;
  other.Range(0xFFFFFF, 2, 3);
  other.Range(0, 0, 3);
  Write("tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 3, {{8, other.bytes}}, 2));
  LoadAuxDatabases(false);
  EXPECT_EQ(Geo(Ip(8, 0, 0, 1), kGeoCountry), "United States//");
  // Only the version byte changed: the next load installs it.
  Write("tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 3, {{8, other.bytes}}, 3));
  LoadAuxDatabases(false);
  EXPECT_EQ(Geo(Ip(8, 0, 0, 1), kGeoCountry), "France//");
  EXPECT_EQ(AuxTableVersion(auxfile::kCountryRanges), 3);
}

TEST_F(AuxDb, DamagedPackedTablesAreNotInstalled) {
  Bits unterminated;
  unterminated.Range(5, 1, 4);
  Bits beyondOctet;
  beyondOctet.Range(0xFFFFFF, 1, 4);
  beyondOctet.Range(3, 1, 4);
  beyondOctet.Range(0, 0, 4);
  struct Case {
    const char* what;
    const char* file;
    std::string bytes;
  } cases[] = {
      {"stream without an end", "tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 4, {{8, unterminated.bytes}})},
      {"ranges past the octet", "tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 4, {{8, beyondOctet.bytes}})},
      {"offset past the end", "tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 4, {{8, ""}})},
      {"index width 0", "tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 0, {})},
      {"index width 17", "tmpcou0.dat", PackedRanges(auxfile::kCountryRanges, 17, {})},
      {"no offset table", "tmpcou0.dat", Bytes().Header(auxfile::kCountryRanges, 1, 4).s + "abc"},
      {"region record size 0", "tmpreg1.dat", PackedNames(auxfile::kRegionNames, 0, {"Bavaria"})},
      {"region record size 251", "tmpreg1.dat", PackedNames(auxfile::kRegionNames, 251, {"Bavaria"})},
      {"empty name file", "tmpreg1.dat", Bytes().Header(auxfile::kRegionNames, 1, 30).s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* f : {"cntr0.dat", "reg1.dat", "tmpcou0.dat", "tmpreg1.dat"}) tv::RemoveFile(dir_ + f);
    Write(c.file, c.bytes);
    tvtest::MessageCapture capture;
    LoadAuxDatabases(false);
    EXPECT_NE(capture.AllErrors().find(c.file), std::string::npos) << capture.AllErrors();
    EXPECT_FALSE(tv::FileExists(dir_ + (std::string(c.file) == "tmpcou0.dat" ? "cntr0.dat" : "reg1.dat")));
  }
}

TEST_F(AuxDb, SpiderTablesAreWrittenBackAndCleared) {
  g_auxDatabases.saveAutoRobots = true;
  LoadAuxDatabases(false);
  AuxSpiderRow confirmed = AuxSpiderRow::Make(Ip(10, 0, 0, 1), "keep-bot", "ignored.example");
  confirmed.bytes[0] = 1;
  AuxSpiderRow named = AuxSpiderRow::Make(0, "named-bot", "crawler.example");
  AuxSpiderRow unconfirmed = AuxSpiderRow::Make(Ip(10, 0, 0, 2), "drop-bot", nullptr);
  EXPECT_STREQ(confirmed.Host(), "");  // a host name only for clients without an address
  EXPECT_STREQ(named.Host(), "crawler.example");
  named.bytes[0] = 1;
  g_auxDatabases.autoRobots = {confirmed, unconfirmed, named};
  g_auxDatabases.newSpiderStart = 0;

  MoveUnconfirmedSpiders();
  ASSERT_EQ(g_auxDatabases.autoRobots.size(), 2u);
  EXPECT_STREQ(g_auxDatabases.autoRobots[1].Agent(), "named-bot");
  ASSERT_EQ(g_auxDatabases.excluded.size(), 1u);
  EXPECT_STREQ(g_auxDatabases.excluded[0].Agent(), "drop-bot");
  EXPECT_EQ(g_auxTables.autoRobots.size(), 2u);

  // A reload writes the detected spiders out first, so none is lost.
  LoadAuxDatabases(false);
  std::string arobot = Read("arobot.dat");
  ASSERT_EQ(arobot.size(), 8u + 2 * 384);
  EXPECT_EQ(arobot.substr(0, 8), std::string("DA\x0c\0\0\0\0\0", 8));
  EXPECT_EQ(Read("exclude.dat").size(), 8u + 384);
  ASSERT_EQ(g_auxDatabases.autoRobots.size(), 2u);
  EXPECT_EQ(g_auxDatabases.autoRobots[0].Address(), Ip(10, 0, 0, 1));
  EXPECT_EQ(g_auxDatabases.excluded.size(), 1u);
  EXPECT_EQ(g_auxDatabases.newSpiderStart, -1);

  // Without save_a_robot the detected spiders are not kept.
  g_auxDatabases.saveAutoRobots = false;
  g_auxDatabases.autoRobots.push_back(unconfirmed);
  g_auxDatabases.newSpiderStart = 2;
  SaveSpiderTables();
  EXPECT_EQ(Read("arobot.dat").size(), 8u + 2 * 384);

  ClearSpiderCache();
  EXPECT_TRUE(g_auxDatabases.autoRobots.empty());
  EXPECT_TRUE(g_auxDatabases.excluded.empty());
  EXPECT_FALSE(tv::FileExists(dir_ + "arobot.dat"));
  EXPECT_FALSE(tv::FileExists(dir_ + "exclude.dat"));
}

// ---------------------------------------------------------------------------
// The tables the build ships

class ShippedTables : public AuxDb {
 protected:
  void SetUp() override {
    AuxDb::SetUp();
    for (auto& e : std::filesystem::directory_iterator(TV_SHIPPED_DATA_DIR))
      if (e.path().extension() == ".dat") tv::CopyFileTo(e.path().string(), dir_ + e.path().filename().string());
    LoadAuxDatabases(false);
  }
};

TEST_F(ShippedTables, BrowsersSystemsRobotsAndSearchEngines) {
  struct Agent {
    const char* agent;
    const char* browser;
    const char* os;
  } agents[] = {
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/144.0.0.0 "
       "Safari/537.36",
       "Chrome", "Windows 10/11"},
      {"Mozilla/5.0 (Linux; Android 15; Pixel 9) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/144.0.0.0 Mobile "
       "Safari/537.36",
       "Chrome", "Android"},
      {"Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:147.0) Gecko/20100101 Firefox/147.0", "Firefox", "Ubuntu"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:147.0) Gecko/20100101 Firefox/147.0", "Firefox",
       "Windows 10/11"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/26.2 "
       "Safari/605.1.15",
       "Safari", "macOS"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 26_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
       "Version/26.2 Mobile/15E148 Safari/604.1",
       "Safari", "iOS"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/144.0.0.0 "
       "Safari/537.36 Edg/144.0.0.0",
       "Microsoft Edge", "Windows 10/11"},
      {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/144.0.0.0 Mobile "
       "Safari/537.36 EdgA/144.0.0.0",
       "Microsoft Edge", "Android"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 26_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
       "CriOS/144.0.0.0 Mobile/15E148 Safari/604.1",
       "Chrome", "iOS"},
      {"Mozilla/5.0 (iPad; CPU OS 26_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) FxiOS/147.0 "
       "Mobile/15E148 Safari/605.1.15",
       "Firefox", "iPadOS"},
      {"Mozilla/5.0 (Android 16; Mobile; rv:147.0) Gecko/147.0 Firefox/147.0", "Firefox", "Android"},
      {"Mozilla/5.0 (X11; CrOS x86_64 16328.0.0) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/144.0.0.0 "
       "Safari/537.36",
       "Chrome", "ChromeOS"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 26_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
       "GSA/400.0.0 Mobile/15E148 Safari/604.1",
       "Google App", "iOS"},
  };
  for (const Agent& a : agents) {
    SCOPED_TRACE(a.agent);
    Hit h = AgentHit(a.agent);
    EXPECT_STREQ(FormatBrowser(h.get(), nullptr, 0), a.browser);
    EXPECT_STREQ(FindOperatingSystem(a.agent), a.os);
    EXPECT_EQ(Classify(a.agent, nullptr).robot, -1);
  }
  struct Robot {
    const char* agent;
    const char* name;
  } robots[] = {
      {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "Googlebot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; Googlebot/2.1; "
       "+http://www.google.com/bot.html) Chrome/144.0.7559.132 Safari/537.36",
       "Googlebot"},
      {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "bingbot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; DuckAssistBot/1.2; "
       "+http://duckduckgo.com/duckassistbot.html)",
       "DuckAssistBot"},
      {"meta-externalfetcher/1.1 (+https://developers.facebook.com/docs/sharing/webmasters/crawler)",
       "Meta Fetcher"},
      {"meta-externalagent/1.1 (+https://developers.facebook.com/docs/sharing/webmasters/crawler)", "Meta AI"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.3; +https://openai.com/gptbot)",
       "GPTBot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; OAI-SearchBot/1.3; "
       "+https://openai.com/searchbot",
       "OAI-SearchBot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; ClaudeBot/1.0; +claudebot@anthropic.com)",
       "ClaudeBot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; PerplexityBot/1.0; "
       "+https://perplexity.ai/perplexitybot)",
       "PerplexityBot"},
      {"Mozilla/5.0 (Linux; Android 5.0) AppleWebKit/537.36 (KHTML, like Gecko) Mobile Safari/537.36 "
       "(compatible; Bytespider; spider-feedback@bytedance.com)",
       "Bytespider"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/13.1.1 "
       "Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
       "Applebot"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/8.0.2 "
       "Safari/600.2.5 (Amazonbot/0.1; +https://developer.amazon.com/support/amazonbot)",
       "Amazonbot"},
      {"CCBot/2.0 (https://commoncrawl.org/faq/)", "CCBot"},
  };
  for (const Robot& r : robots) {
    SCOPED_TRACE(r.agent);
    int row = Classify(r.agent, nullptr).robot;
    EXPECT_STREQ(AgentTableEntry(row), r.name);
  }
  struct Referrer {
    const char* url;
    const char* engine;
    const char* keyword;
  } referrers[] = {
      {"https://www.google.com/search?q=hiking+boots&sca_esv=1", "Google", "hiking boots"},
      {"https://www.google.co.uk/search?client=firefox-b-d&q=Trail+Maps", "Google", "trail maps"},
      {"https://www.google.de/url?sa=t&q=wanderwege", "Google", "wanderwege"},
      {"https://www.bing.com/search?q=weather+today&form=QBLH", "Bing", "weather today"},
      {"https://duckduckgo.com/?q=rust+borrow+checker&ia=web", "DuckDuckGo", "rust borrow checker"},
      {"https://yandex.ru/search/?text=pogoda&lr=213", "Yandex", "pogoda"},
      {"https://www.google.de/search?q=%25Text%25", "Google", "%text%"},  // decoded once
      // Engines that send only their address are still their referrals.
      {"https://www.google.com/", "Google", ""},
      {"https://www.google.co.uk/", "Google", ""},
      {"https://www.google.com/url?sa=t&rct=j&q=&esrc=s", "Google", ""},
      {"https://www.bing.com/", "Bing", ""},
      {"https://duckduckgo.com/", "DuckDuckGo", ""},
      {"https://ya.ru/", "Yandex", ""},
      {"https://ya.ru/search/?text=pogoda", "Yandex", "pogoda"},
      {"https://search.brave.com/", "Brave Search", ""},
      // Domains match whole labels.
      {"https://notgoogle.de/search?q=x", nullptr, nullptr},
      {"https://www.notgoogle.com/search?q=x", nullptr, nullptr},
      {"https://google.de.evil.com/search?q=x", nullptr, nullptr},
      {"https://maya.ru/", nullptr, nullptr},
  };
  for (const Referrer& r : referrers) {
    SCOPED_TRACE(r.url);
    int engine = Classify(nullptr, r.url).engine;
    if (!r.engine) {
      EXPECT_EQ(engine, -1);
      continue;
    }
    EXPECT_STREQ(SiteName(engine), r.engine);
    char kw[290];
    EXPECT_STREQ(FormatKeyText(kw, r.url, engine, sizeof kw), r.keyword);
  }
  EXPECT_TRUE(g_auxDatabases.adHostsLoaded);
  EXPECT_STREQ(FindCountryByTld("www.example.fr"), "France");
}

TEST_F(ShippedTables, CountriesByAddress) {
  if (!tv::FileExists(dir_ + "cntr0.dat")) GTEST_SKIP() << "built without tor-geoipdb";
  EXPECT_EQ(Geo(Ip(8, 8, 8, 8), kGeoBest), "United States//");
  EXPECT_EQ(Geo(Ip(10, 1, 2, 3), kGeoBest), "//");
}

TEST_F(ShippedTables, PackedCountryTablesUnpackToTheSameBytes) {
  if (!tv::FileExists(dir_ + "cntr0.dat")) GTEST_SKIP() << "built without tor-geoipdb";
  std::string packed = tvtest::NewDir("packed");
  std::string cmd = std::string(TV_AUXGEN) + " pack country " + dir_ + " " + packed + " --version 9";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::string ranges = Read("cntr0.dat"), names = Read("cntr1.dat");
  FreeAuxDatabases();
  tv::RemoveFile(dir_ + "cntr0.dat");
  tv::RemoveFile(dir_ + "cntr1.dat");
  tv::CopyFileTo(packed + "tmpcou0.dat", dir_ + "tmpcou0.dat");
  tv::CopyFileTo(packed + "tmpcou1.dat", dir_ + "tmpcou1.dat");
  LoadAuxDatabases(false);
  ranges[3] = names[3] = 9;
  EXPECT_TRUE(Read("cntr0.dat") == ranges);
  EXPECT_TRUE(Read("cntr1.dat") == names);
  EXPECT_EQ(Geo(Ip(8, 8, 8, 8), kGeoCountry), "United States//");
}

}  // namespace
