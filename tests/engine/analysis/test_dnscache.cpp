#include "engine/analysis/dnscache.h"

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <ostream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/store/project.h"
#include "engine/store/strpool.h"
#include "platform/files.h"
#include "platform/resolver.h"
#include "tests/common/testenv.h"

namespace {

uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) { return a << 24 | b << 16 | c << 8 | d; }

std::string Dotted(uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." + std::to_string(a >> 8 & 255) + "." +
         std::to_string(a & 255);
}

// The address the fake gives a name: the same for the same name, never 0.
uint32_t FakeAddress(const std::string& name) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return Ip(10, 200, 0, 0) | (h & 0xFFFF) | 1;
}

// Answers after a delay. Addresses whose last octet is a multiple of 4 and names
// beginning with "bad" have no answer. Counts what it is asked and how many
// look-ups run at once.
class FakeResolver : public tv::Resolver {
 public:
  std::atomic<int> delayMs{0};
  std::atomic<int> stopAtCall{-1};  // sets the stop flag when this call begins
  std::map<uint32_t, std::string> names;  // answers that replace the made-up ones
  std::map<uint32_t, int> slowMs;         // delays that replace delayMs
  std::atomic<int> inFlight{0}, maxInFlight{0}, calls{0};

  bool NameOf(uint32_t address, std::string* name) override {
    auto slow = slowMs.find(address);
    Begin("r:" + Dotted(address), slow != slowMs.end() ? slow->second : delayMs.load());
    bool ok = (address & 255) % 4 != 0;
    if (ok) {
      auto it = names.find(address);
      *name = it != names.end() ? it->second : "h" + Dotted(address) + ".example";
    }
    End();
    return ok;
  }
  bool AddressOf(const char* name, uint32_t* address) override {
    Begin(name, delayMs);
    bool ok = strncmp(name, "bad", 3) != 0;
    if (ok) *address = FakeAddress(name);
    End();
    return ok;
  }
  std::vector<std::string> Asked() {
    std::lock_guard<std::mutex> lk(m_lock);
    std::vector<std::string> v = m_asked;
    std::sort(v.begin(), v.end());
    return v;
  }

 private:
  void Begin(const std::string& what, int delay) {
    {
      std::lock_guard<std::mutex> lk(m_lock);
      m_asked.push_back(what);
    }
    if (++calls == stopAtCall) RequestStop();
    int now = ++inFlight;
    for (int seen = maxInFlight; now > seen && !maxInFlight.compare_exchange_weak(seen, now);) {
    }
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  }
  void End() { --inFlight; }

  std::mutex m_lock;
  std::vector<std::string> m_asked;
};

// A hit as the line commit leaves it with ip_lookup on: the host-name slot is
// there even for a client logged by address.
void AddHit(CHitStore& store, uint32_t address, const char* host) {
  CHitRecord* r = store.NewRecord();
  ASSERT_NE(r, nullptr);
  r->SetPage(kEmptyText);
  r->SetAddress(address);
  r->SetDate(1, 2, 2024);
  r->SetStatusWord(200 | kHitHostName);
  r->Put<uint32_t>(CHitRecord::kHeadSize, host ? g_pools.hosts.Intern(host) : kNoText);
  store.CommitCurrent();
}

std::vector<CHitRecord*> Hits(CHitStore& store) {
  std::vector<CHitRecord*> v;
  CHitRecord* r = store.First();
  for (uint64_t i = 0; i < store.RecordCount(); ++i) {
    v.push_back(r);
    if (i + 1 < store.RecordCount()) r = store.Next();
  }
  return v;
}

std::string HostOf(const CHitRecord* r) {
  const char* t = g_pools.hosts.Text(r->GetHostName());
  return t ? t : "";
}

struct FileRecord {
  std::string name;
  uint32_t address, stamp, spare;
  bool operator==(const FileRecord&) const = default;
  friend void PrintTo(const FileRecord& r, std::ostream* os) {
    *os << "{" << r.name << ", " << Dotted(r.address) << ", " << std::hex << r.stamp << ", " << r.spare << std::dec << "}";
  }
};

uint32_t LE32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
  return v;
}

std::string Le32Bytes(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  return s;
}

// The name field as stored: zero-padded to 70 bytes (a 70-byte name fills it).
std::string RecordBytes(const std::string& name, uint32_t address, uint32_t stamp) {
  std::string r = name.substr(0, 70);
  r.resize(70, '\0');
  return r + Le32Bytes(address) + Le32Bytes(stamp) + Le32Bytes(0);
}

std::vector<FileRecord> ReadCacheFile() {
  std::string data = tvtest::ReadFile(DnsCachePath());
  EXPECT_EQ(data.size() % kDnsRecordSize, 0u);
  std::vector<FileRecord> v;
  for (size_t at = 0; at + kDnsRecordSize <= data.size(); at += kDnsRecordSize) {
    std::string field = data.substr(at, 70);
    std::string name = field.substr(0, field.find('\0'));
    EXPECT_EQ(field.find_first_not_of('\0', name.size()), std::string::npos) << "padding of " << name;
    v.push_back({name, LE32(data, at + 70), LE32(data, at + 74), LE32(data, at + 78)});
  }
  return v;
}

double CpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

const tv::CivilDate kToday{2024, 3, 10};

class DnsCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearStop();
    tv::RemoveFile(DnsCachePath());
    g_settings.days_dns_cache = 15;
    SetDnsToday(DnsDayStamp(kToday));
    CreateDnsCache();
    SetDnsResolver(&fake);
  }
  void TearDown() override {
    SetDnsResolver(nullptr);
    FreeDnsCache();
    ClearStop();
    tv::RemoveFile(DnsCachePath());
  }
  void Run(CHitStore& store, bool dns, bool ip) {
    CHitStore* stores[] = {&store};
    RunDnsLookup(stores, dns, ip);
  }

  FakeResolver fake;
  const uint32_t today = DnsDayStamp(kToday);
};

TEST_F(DnsCacheTest, PassOverTheProjectAnswersEachClientOnceAndKeepsTheAnswers) {
  CLogSource* a = g_project.sources.AddEmpty();
  CLogSource* b = g_project.sources.AddEmpty();
  ASSERT_TRUE(a && b);
  for (int i = 0; i < 3; ++i) {
    AddHit(a->records, Ip(10, 0, 0, 1), nullptr);
    AddHit(a->records, Ip(10, 0, 0, 4), nullptr);  // no answer
    AddHit(b->records, 0, "www.Example.com");
    AddHit(b->records, 0, "WWW.example.COM");  // the same name to the cache
    AddHit(b->records, 0, "bad.host");         // no answer
  }
  g_project.dns_lookup = g_project.ip_lookup = 1;
  tvtest::MessageCapture capture;
  RunDnsLookup(g_project);
  g_project.dns_lookup = g_project.ip_lookup = 0;

  // Every client asked once, failures included; a forward look-up asks for the domain.
  EXPECT_EQ(fake.Asked(), (std::vector<std::string>{"Example.com", "bad.host", "r:10.0.0.1", "r:10.0.0.4"}));
  EXPECT_EQ(capture.infos, (std::vector<std::string>{"DNS lookup...", "-DNS-L.1-", "-DNS-L.2-", "-DNS-L.3-"}));

  // The answers fill in what the log lacked and never replace what it gave.
  for (CHitRecord* r : Hits(a->records)) {
    if (r->Address() == Ip(10, 0, 0, 1)) EXPECT_EQ(HostOf(r), "h10.0.0.1.example");
    else EXPECT_EQ(r->GetHostName(), kNoText);
  }
  const uint32_t example = FakeAddress("Example.com");
  for (CHitRecord* r : Hits(b->records)) {
    std::string host = HostOf(r);
    EXPECT_EQ(r->Address(), host == "bad.host" ? 0u : example) << host;
    EXPECT_TRUE(host == "bad.host" || host == "www.Example.com" || host == "WWW.example.COM") << host;
  }

  // Only answers are written, stamped today, in the name index first.
  EXPECT_EQ(ReadCacheFile(), (std::vector<FileRecord>{{"www.Example.com", example, today, 0},
                                                      {"h10.0.0.1.example", Ip(10, 0, 0, 1), today, 0}}));

  // Next start: the answers come from the file; failures are asked again.
  FreeDnsCache();
  CreateDnsCache();
  FakeResolver again;
  SetDnsResolver(&again);
  CHitStore fresh;
  AddHit(fresh, Ip(10, 0, 0, 1), nullptr);
  AddHit(fresh, Ip(10, 0, 0, 4), nullptr);
  AddHit(fresh, 0, "www.example.com");
  AddHit(fresh, 0, "bad.host");
  Run(fresh, true, true);
  EXPECT_EQ(again.Asked(), (std::vector<std::string>{"bad.host", "r:10.0.0.4"}));
  std::vector<CHitRecord*> hits = Hits(fresh);
  EXPECT_EQ(HostOf(hits[0]), "h10.0.0.1.example");
  EXPECT_EQ(hits[2]->Address(), example);
  g_project.sources.Clear();
}

TEST_F(DnsCacheTest, LoadKeepsWholeRecordsNotOlderThanTheCacheDays) {
  const uint32_t d15 = DnsDayStamp({2024, 2, 24}), d16 = DnsDayStamp({2024, 2, 23});
  std::string file = RecordBytes("fresh.example", Ip(1, 1, 1, 1), today) +
                     RecordBytes("edge.example", Ip(1, 1, 1, 2), d15) +
                     RecordBytes("old.example", Ip(1, 1, 1, 3), d16) +
                     RecordBytes(std::string(70, 'x'), Ip(1, 1, 1, 5), today) +  // no terminator
                     RecordBytes("zero.example", 0, today) +                      // no answer: ignored
                     RecordBytes("cut.example", Ip(1, 1, 1, 6), today).substr(0, 50);
  tvtest::WriteFile(DnsCachePath(), file);
  CreateDnsCache();

  CHitStore store;
  for (const char* name : {"fresh.example", "edge.example", "old.example", "zero.example", "cut.example"})
    AddHit(store, 0, name);
  AddHit(store, 0, std::string(69, 'x').c_str());
  for (unsigned last : {1, 2, 3, 5, 6}) AddHit(store, Ip(1, 1, 1, last), nullptr);
  Run(store, true, true);

  EXPECT_EQ(fake.Asked(), (std::vector<std::string>{"cut.example", "old.example", "r:1.1.1.3", "r:1.1.1.6",
                                                     "zero.example"}));
  std::vector<CHitRecord*> hits = Hits(store);
  EXPECT_EQ(hits[0]->Address(), Ip(1, 1, 1, 1));
  EXPECT_EQ(hits[1]->Address(), Ip(1, 1, 1, 2));
  EXPECT_EQ(hits[2]->Address(), FakeAddress("old.example"));
  EXPECT_EQ(hits[5]->Address(), Ip(1, 1, 1, 5));
  EXPECT_EQ(HostOf(hits[6]), "fresh.example");
  EXPECT_EQ(HostOf(hits[7]), "edge.example");
  EXPECT_EQ(HostOf(hits[8]), "h1.1.1.3.example");
}

// Two addresses share a name: the hit logged by the second keeps its address,
// though the name's entry holds the first; a pass over filled hits changes nothing.
TEST_F(DnsCacheTest, AnswersNeverReplaceWhatTheLogGave) {
  tvtest::WriteFile(DnsCachePath(), RecordBytes("shared.example", Ip(1, 1, 1, 1), today) +
                                        RecordBytes("shared.example", Ip(1, 1, 1, 2), today));
  CreateDnsCache();
  CHitStore store;
  AddHit(store, Ip(1, 1, 1, 2), nullptr);
  AddHit(store, 0, "shared.example");
  for (int pass = 0; pass < 2; ++pass) {
    Run(store, true, true);
    std::vector<CHitRecord*> hits = Hits(store);
    EXPECT_EQ(hits[0]->Address(), Ip(1, 1, 1, 2));
    EXPECT_EQ(HostOf(hits[0]), "shared.example");
    EXPECT_EQ(hits[1]->Address(), Ip(1, 1, 1, 1));
    EXPECT_EQ(HostOf(hits[1]), "shared.example");
  }
  EXPECT_EQ(fake.calls, 0);
}

TEST_F(DnsCacheTest, GarbageFileLoadsWithoutHarm) {
  std::mt19937 rng(7);
  std::string junk(kDnsRecordSize * 40 + 31, '\0');
  for (char& c : junk) c = static_cast<char>(rng());
  tvtest::WriteFile(DnsCachePath(), junk);
  CreateDnsCache();
  CHitStore store;
  AddHit(store, Ip(10, 1, 1, 1), nullptr);
  Run(store, false, true);
  EXPECT_EQ(tvtest::ReadFile(DnsCachePath()).size() % kDnsRecordSize, 0u);
  for (const FileRecord& r : ReadCacheFile()) {
    EXPECT_LE(r.name.size(), kDnsMaxName);
    EXPECT_NE(r.address, 0u);
  }
}

TEST_F(DnsCacheTest, NamesOfSeventyCharactersOrMoreAreNeverWritten) {
  auto nameOf = [](size_t length) { return std::string(length - 8, 'n') + ".example"; };
  fake.names[Ip(10, 0, 0, 1)] = nameOf(69);
  fake.names[Ip(10, 0, 0, 2)] = nameOf(70);
  fake.names[Ip(10, 0, 0, 3)] = nameOf(300);
  CHitStore store;
  for (unsigned last : {1, 2, 3}) AddHit(store, Ip(10, 0, 0, last), nullptr);
  std::string f69 = "f" + nameOf(68), f70 = "f" + nameOf(69);
  AddHit(store, 0, f69.c_str());
  AddHit(store, 0, f70.c_str());
  Run(store, true, true);

  std::set<std::string> written;
  for (const FileRecord& r : ReadCacheFile()) written.insert(r.name);
  EXPECT_EQ(written, (std::set<std::string>{nameOf(69), f69}));
  // The hits still take the long answers.
  std::vector<CHitRecord*> hits = Hits(store);
  EXPECT_EQ(HostOf(hits[1]), nameOf(70));
  EXPECT_EQ(HostOf(hits[2]), nameOf(300));
  EXPECT_EQ(hits[4]->Address(), FakeAddress(f70));
}

TEST_F(DnsCacheTest, ForwardLookupAsksForTheLastTwoLabels) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"www.example.com", "example.com"},
      {"a.b.c.example.org", "example.org"},
      {"example.net", "example.net"},
      {"intranet", "intranet"},
  };
  CHitStore store;
  for (const auto& c : cases) AddHit(store, 0, c.first);
  Run(store, true, false);
  std::vector<std::string> expected;
  for (const auto& c : cases) expected.push_back(c.second);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(fake.Asked(), expected);
  std::vector<CHitRecord*> hits = Hits(store);
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(hits[i]->Address(), FakeAddress(cases[i].second)) << i;
}

TEST_F(DnsCacheTest, BothOptionsOffDoNothing) {
  tvtest::WriteFile(DnsCachePath(), "not a cache");
  CHitStore store;
  AddHit(store, Ip(10, 0, 0, 1), nullptr);
  AddHit(store, 0, "www.example.com");
  tvtest::MessageCapture capture;
  Run(store, false, false);
  EXPECT_TRUE(fake.Asked().empty());
  EXPECT_TRUE(capture.infos.empty());
  EXPECT_EQ(tvtest::ReadFile(DnsCachePath()), "not a cache");
  EXPECT_EQ(Hits(store)[0]->GetHostName(), kNoText);
  EXPECT_EQ(Hits(store)[1]->Address(), 0u);
}

TEST_F(DnsCacheTest, ClearDeletesTheFileAndTheNextPassAsksAgain) {
  CHitStore store;
  AddHit(store, Ip(10, 0, 0, 1), nullptr);
  AddHit(store, 0, "www.example.com");
  Run(store, true, true);
  ASSERT_TRUE(tv::FileExists(DnsCachePath()));
  CHitStore same;
  AddHit(same, Ip(10, 0, 0, 1), nullptr);
  AddHit(same, 0, "www.example.com");
  Run(same, true, true);
  EXPECT_EQ(fake.calls, 2);  // the second pass needed nobody

  ClearDnsCache();
  EXPECT_FALSE(tv::FileExists(DnsCachePath()));
  CHitStore fresh;
  AddHit(fresh, Ip(10, 0, 0, 1), nullptr);
  AddHit(fresh, 0, "www.example.com");
  Run(fresh, true, true);
  EXPECT_EQ(fake.calls, 4);
  EXPECT_EQ(HostOf(Hits(fresh)[0]), "h10.0.0.1.example");
  EXPECT_TRUE(tv::FileExists(DnsCachePath()));
}

// Many hits per client, interleaved, so the first walk meets entries whose
// look-ups are still running (a thread sanitizer build checks the hand-over).
TEST_F(DnsCacheTest, PoolRunsFiftyLookupsAtOnceAndEndsIdle) {
  fake.delayMs = 20;
  CHitStore store;
  const unsigned kClients = 400;
  for (int round = 0; round < 3; ++round)
    for (unsigned i = 0; i < kClients; ++i) AddHit(store, Ip(10, 1, i / 250, i % 250 + 1), nullptr);
  Run(store, false, true);

  EXPECT_EQ(fake.maxInFlight, kResolverSlots);
  EXPECT_EQ(fake.inFlight, 0);
  EXPECT_FALSE(ResolverPoolStarted());
  std::vector<std::string> asked = fake.Asked();
  EXPECT_EQ(asked.size(), kClients);
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), kClients);
  for (CHitRecord* r : Hits(store)) {
    std::string want = (r->Address() & 255) % 4 ? "h" + Dotted(r->Address()) + ".example" : "";
    ASSERT_EQ(HostOf(r), want);
  }
}

// The pass waits for a free slot, then for the last look-ups: it must sleep.
TEST_F(DnsCacheTest, WaitingCostsNoProcessorTime) {
  // Two passes that differ only in how long each answer takes: the fixed cost
  // (threads, store, sanitizer overhead) is the same in both, so what the
  // longer wait adds must be time spent asleep, not polling.
  auto passCpu = [&](int delayMs, unsigned net, double* wall) {
    fake.delayMs = delayMs;
    CHitStore store;
    for (unsigned i = 1; i <= 2 * kResolverSlots + 1; ++i) AddHit(store, Ip(10, 3, net, i), nullptr);
    double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    Run(store, false, true);
    *wall = WallSeconds() - wall0;
    return CpuSeconds() - cpu0;
  };
  double wallShort = 0, wall = 0;
  double cpuShort = passCpu(100, 1, &wallShort);
  double cpu = passCpu(400, 2, &wall);
  EXPECT_GE(wall, 1.2);
  EXPECT_LT(cpu - cpuShort, 0.2 * (wall - wallShort))
      << "cpu " << cpu << " s over " << wall << " s, against " << cpuShort << " s over " << wallShort << " s";
}

TEST_F(DnsCacheTest, StopFlagEndsThePassWithEverySlotIdle) {
  fake.delayMs = 100;
  fake.stopAtCall = 2 * kResolverSlots;
  CHitStore store;
  const unsigned kClients = 2000;
  for (unsigned i = 0; i < kClients; ++i) AddHit(store, Ip(10, 2, i / 250, i % 250 + 1), nullptr);
  double wall0 = WallSeconds();
  Run(store, false, true);
  double wall = WallSeconds() - wall0;
  // The whole pass takes 4 s (2000 names, 50 slots, 100 ms each); half of it
  // leaves a loaded machine room without letting an ignored stop pass.
  EXPECT_LT(wall, 2.0);
  EXPECT_EQ(fake.inFlight, 0);
  EXPECT_FALSE(ResolverPoolStarted());
  size_t askedFirst = fake.Asked().size();
  EXPECT_LT(askedFirst, kClients / 4);

  // What the stopped pass never asked is asked by the next; nothing twice.
  ClearStop();
  fake.delayMs = 0;
  fake.stopAtCall = -1;
  Run(store, false, true);
  std::vector<std::string> asked = fake.Asked();
  EXPECT_EQ(asked.size(), kClients);
  EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), kClients);
}

TEST_F(DnsCacheTest, LoopbackResolvesForReal) {
  SetDnsResolver(nullptr);
  std::string name;
  ASSERT_TRUE(tv::SystemResolver().NameOf(Ip(127, 0, 0, 1), &name));
  EXPECT_FALSE(name.empty());
  CHitStore store;
  AddHit(store, Ip(127, 0, 0, 1), nullptr);
  Run(store, false, true);
  EXPECT_EQ(HostOf(Hits(store)[0]), name);
}

}  // namespace
