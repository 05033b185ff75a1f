#include "engine/analysis/dnscache.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "engine/store/project.h"
#include "engine/store/strpool.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/resolver.h"

namespace {

struct DnsCache {
  CRecordTree names;      // text keys, ignoring case
  CRecordTree addresses;  // number keys
  CDnsRequestList list;
  bool changed = false;
  bool created = false;
};
DnsCache g_dns;

uint32_t g_today = 0;
uint32_t g_passCounter = 0;  // entries from the file keep pass 0
tv::Resolver* g_resolver = nullptr;

tv::Resolver& ActiveResolver() { return g_resolver ? *g_resolver : tv::SystemResolver(); }

// The trees keep CIndexedKey pointers; every one of them is an entry's base.
void* AsKey(CDnsEntry* e) { return static_cast<CIndexedKey*>(e); }
CDnsEntry* EntryOf(void* key) { return key ? static_cast<CDnsEntry*>(static_cast<CIndexedKey*>(key)) : nullptr; }

uint32_t ReadLE32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void WriteLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void MakeIndexes() {
  if (g_dns.created) return;
  g_dns.names.SetTextKeys();
  g_dns.addresses.SetNumberKeys();
  g_dns.list.Init();
  g_dns.changed = false;
  g_dns.created = true;
}

// Records stamped before this day have expired.
uint32_t CutOff() {
  int day = static_cast<int>(g_today & 0xFF), month = static_cast<int>(g_today >> 8 & 0xFF);
  int year = static_cast<int>(g_today >> 16);
  if (!tv::IsValidDate(year, month, day)) return 0;
  int64_t days = std::clamp<int64_t>(g_settings.days_dns_cache, 0, 1000000);
  tv::CivilDate cut = tv::CivilFromDays(tv::DaysFromCivil(year, month, day) - days);
  return cut.year < 0 ? 0 : DnsDayStamp(cut);
}

// Forward look-ups ask for the domain: the last two labels of the name.
const char* LastTwoLabels(const char* name) {
  const char* last = strrchr(name, '.');
  if (!last) return name;
  for (const char* p = last; p > name;) {
    if (*--p == '.') return p + 1;
  }
  return name;
}

// The entry's name in the host-name pool. Interned here, on the pass's thread,
// once per pass: the resolver threads never touch the pools.
TextHandle PooledName(CDnsEntry* e, uint32_t pass) {
  if (e->pooledPass != pass) {
    e->pooled = g_pools.hosts.Intern(e->name);
    e->pooledPass = pass;
  }
  return e->pooled;
}

// The entries of the hits met last, so that runs of one client cost no search.
struct Memo {
  TextHandle host = kNoText;
  CDnsEntry* byName = nullptr;
  uint32_t address = 0;
  CDnsEntry* byAddress = nullptr;

  CDnsEntry* FindName(TextHandle h, const char* text) {
    if (byName && h == host) return byName;
    CIndexedKey key{0, text};
    CDnsEntry* e = EntryOf(g_dns.names.GetPayload(&key));
    if (e) {
      host = h;
      byName = e;
    }
    return e;
  }
  CDnsEntry* FindAddress(uint32_t a) {
    if (byAddress && a == address) return byAddress;
    CIndexedKey key{a, nullptr};
    CDnsEntry* e = EntryOf(g_dns.addresses.GetPayload(&key));
    if (e) {
      address = a;
      byAddress = e;
    }
    return e;
  }
};

// Entries a stopping pass could not hand to the pool; a later pass asks them.
constexpr uint32_t kNeverAsked = UINT32_MAX;

// A new entry for a name or address the cache lacks.
CDnsEntry* AddEntry(const char* name, uint32_t address, CRecordTree& index) {
  CDnsEntry* e = g_dns.list.Add(name);
  if (!e) return nullptr;
  e->address = address;
  e->stamp = g_today;
  e->pass = kNeverAsked;
  if (!index.FindOrInsert(AsKey(e), nullptr)) return nullptr;
  g_dns.changed = true;
  return e;
}

// Marked first: the pass must not read an entry of its own before the pool stopped.
void Ask(CDnsEntry* e, uint32_t pass) {
  e->pass = pass;
  if (!QueueLookup(e)) e->pass = kNeverAsked;
}

template <typename Visit>
void WalkHits(std::span<CHitStore* const> stores, bool progress, const Visit& visit) {
  uint64_t done = 0;
  for (CHitStore* store : stores) {
    if (StopRequested()) break;
    uint64_t n = store ? store->RecordCount() : 0;
    CHitRecord* r = n ? store->First() : nullptr;
    for (uint64_t i = 0; i < n && r; ++i) {
      if (StopRequested()) break;
      visit(r);
      if (progress && ++done % 100 == 0) EngineProgress(static_cast<uint32_t>(done / 100), 0);
      if (i + 1 < n) r = store->Next();
    }
    if (progress) EngineProgress(static_cast<uint32_t>(done / 100), 0);
  }
}

// ---------------------------------------------------------------------------
// Resolver pool

struct ResolverSlot {
  uint32_t number = 0;  // slot number + 1 once it has a thread
  bool busy = false;
  CDnsEntry* request = nullptr;
  std::condition_variable wake;
  std::thread thread;
};

// Everything here is guarded by lock; an entry handed to a slot belongs to the
// slot's thread until the thread clears busy under the lock.
struct ResolverPool {
  std::mutex lock;
  std::condition_variable idle;  // a slot went idle
  std::unique_ptr<ResolverSlot[]> slots;
  int busy = 0;
  bool started = false;
  bool shutdown = false;
};
ResolverPool g_pool;

// How often a pass waiting for a free slot looks at the stop flag.
constexpr auto kStopCheck = std::chrono::milliseconds(50);

}  // namespace

// ---------------------------------------------------------------------------

void CDnsRequestList::Init() {
  m_blocks.clear();
  m_count = 0;
}

void CDnsRequestList::Free() {
  for (int32_t i = 0; i < m_count; ++i) {
    free(const_cast<char*>(m_blocks[static_cast<size_t>(i / kBlockEntries)][i % kBlockEntries].name));
  }
  for (CDnsEntry* block : m_blocks) free(block);
  m_blocks.clear();
  m_blocks.shrink_to_fit();
  Init();
}

CDnsEntry* CDnsRequestList::Add(const char* name) {
  if (m_count % kBlockEntries == 0 && static_cast<size_t>(m_count / kBlockEntries) == m_blocks.size()) {
    try {
      m_blocks.reserve(m_blocks.size() + 1);
    } catch (const std::bad_alloc&) {
      EngineOutOfMemory(67);
      return nullptr;
    }
    auto* block = static_cast<CDnsEntry*>(calloc(kBlockEntries, sizeof(CDnsEntry)));
    if (!block) {
      EngineOutOfMemory(73);
      return nullptr;
    }
    m_blocks.push_back(block);
  }
  char* copy = nullptr;
  if (name && !(copy = strdup(name))) {
    EngineOutOfMemory(84);
    return nullptr;
  }
  CDnsEntry* e = &m_blocks[static_cast<size_t>(m_count / kBlockEntries)][m_count % kBlockEntries];
  e->name = copy;
  ++m_count;
  return e;
}

std::string DnsCachePath() { return tv::DataDir() + "dns_cache.dat"; }

uint32_t DnsDayStamp(const tv::CivilDate& date) {
  return static_cast<uint32_t>(date.day & 0xFF) | static_cast<uint32_t>(date.month & 0xFF) << 8 |
         static_cast<uint32_t>(date.year & 0xFFFF) << 16;
}

tv::Resolver& DnsResolver() { return ActiveResolver(); }

void SetDnsToday(uint32_t stamp) { g_today = stamp; }
uint32_t DnsToday() { return g_today; }

tv::Resolver* SetDnsResolver(tv::Resolver* resolver) {
  tv::Resolver* old = g_resolver;
  g_resolver = resolver;
  return old;
}

void CreateDnsCache() {
  if (!g_today) g_today = DnsDayStamp(tv::Today());
  FreeDnsCache();
  MakeIndexes();
  LoadDnsCache();
}

void FreeDnsCache() {
  StopResolverPool();
  g_dns.names.FreeNodes();
  g_dns.addresses.FreeNodes();
  g_dns.list.Free();
  g_dns.changed = false;
  g_dns.created = false;
}

void LoadDnsCache() {
  MakeIndexes();
  FILE* f = tv::OpenRegularStream(DnsCachePath().c_str());
  if (!f) return;
  uint32_t cutoff = CutOff();
  uint8_t rec[kDnsRecordSize];
  // A short last record is dropped with whatever follows.
  while (fread(rec, 1, sizeof rec, f) == sizeof rec) {
    char name[kDnsNameField];
    memcpy(name, rec, sizeof name);
    name[kDnsMaxName] = 0;
    uint32_t address = ReadLE32(rec + kDnsNameField);
    uint32_t stamp = ReadLE32(rec + kDnsNameField + 4);
    // No save writes a record without an answer; such a one would pin a
    // failure for the cache's lifetime.
    if (stamp < cutoff || address == 0 || name[0] == 0) continue;
    CIndexedKey key{address, name};
    bool inNames = g_dns.names.Find(&key, false);
    bool inAddresses = g_dns.addresses.Find(&key, false);
    if (inNames && inAddresses) continue;
    CDnsEntry* e = g_dns.list.Add(name);
    if (!e) break;
    e->address = address;
    e->stamp = stamp;
    if (!inNames) g_dns.names.FindOrInsert(AsKey(e), nullptr);
    if (!inAddresses) g_dns.addresses.FindOrInsert(AsKey(e), nullptr);
  }
  fclose(f);
}

void SaveDnsCache() {
  if (!g_dns.created || (g_dns.names.Count() == 0 && g_dns.addresses.Count() == 0)) return;
  std::vector<uint8_t> out;
  try {
    for (CRecordTree* index : {&g_dns.names, &g_dns.addresses}) {
      for (const CTreeEntry* t = index->SeekEnd(0); t; t = index->Step(0)) {
        const CDnsEntry* e = EntryOf(t->key);
        if (!e->address || !e->name) continue;
        size_t len = strlen(e->name);
        if (len == 0 || len > kDnsMaxName) continue;
        uint8_t rec[kDnsRecordSize] = {};
        memcpy(rec, e->name, len);
        WriteLE32(rec + kDnsNameField, e->address);
        WriteLE32(rec + kDnsNameField + 4, e->stamp);
        out.insert(out.end(), rec, rec + sizeof rec);
      }
    }
  } catch (const std::bad_alloc&) {
    return;  // not saved; the file keeps what it had
  }
  if (tv::WriteFileReplacing(DnsCachePath(), out.data(), out.size())) g_dns.changed = false;
}

void ClearDnsCache() {
  tv::RemoveFile(DnsCachePath());
  bool created = g_dns.created;
  FreeDnsCache();
  if (created) MakeIndexes();
}

// ---------------------------------------------------------------------------

void RunDnsLookup(CProject& project) {
  std::vector<CHitStore*> stores;
  for (int i = 0; i < project.sources.Count(); ++i) stores.push_back(&project.sources[i].records);
  RunDnsLookup(stores, project.dns_lookup != 0, project.ip_lookup != 0);
}

void RunDnsLookup(std::span<CHitStore* const> stores, bool dnsLookup, bool ipLookup) {
  if (!dnsLookup && !ipLookup) return;
  if (!g_dns.created) CreateDnsCache();
  const uint32_t pass = ++g_passCounter;

  EngineInfo("DNS lookup...");
  uint64_t total = 0;
  for (CHitStore* s : stores) total += s ? s->RecordCount() : 0;
  EngineProgress(static_cast<uint32_t>(total / 100), 1);
  EngineProgress(0, 0);

  // A hit is logged with a name or with an address; the pass fills in the other
  // and never replaces what the log gave, which the spider rows match by.
  // First walk: known answers go straight into the hits; the rest are asked.
  // Entries asked in this pass are not read until the pool has stopped.
  Memo memo;
  WalkHits(stores, true, [&](CHitRecord* r) {
    TextHandle host = r->GetHostName();
    if (host) {
      if (!dnsLookup || r->Address()) return;
      const char* text = g_pools.hosts.Text(host);
      if (!text || !*text) return;
      CDnsEntry* e = memo.FindName(host, text);
      if (!e && (e = AddEntry(text, 0, g_dns.names))) {
        memo.host = host;
        memo.byName = e;
      }
      if (!e) return;
      if (e->pass == kNeverAsked) Ask(e, pass);
      else if (e->pass != pass && e->address) r->SetAddress(e->address);
    } else if (ipLookup && r->Address()) {
      uint32_t a = r->Address();
      CDnsEntry* e = memo.FindAddress(a);
      if (!e && (e = AddEntry(nullptr, a, g_dns.addresses))) {
        memo.address = a;
        memo.byAddress = e;
      }
      if (!e) return;
      if (e->pass == kNeverAsked) Ask(e, pass);
      else if (e->pass != pass && e->name) r->SetHostName(PooledName(e, pass));
    }
  });
  StopResolverPool();

  // Second walk: every answer is the pass's again.
  EngineInfo("-DNS-L.1-");
  memo = Memo();
  WalkHits(stores, false, [&](CHitRecord* r) {
    TextHandle host = r->GetHostName();
    if (host) {
      if (!dnsLookup || r->Address()) return;
      const char* text = g_pools.hosts.Text(host);
      if (!text || !*text) return;
      CDnsEntry* e = memo.FindName(host, text);
      if (e && e->address) r->SetAddress(e->address);
    } else if (ipLookup && r->Address()) {
      CDnsEntry* e = memo.FindAddress(r->Address());
      if (e && e->name) r->SetHostName(PooledName(e, pass));
    }
  });

  EngineInfo("-DNS-L.2-");
  if (g_dns.changed) SaveDnsCache();
  EngineInfo("-DNS-L.3-");
}

// ---------------------------------------------------------------------------

bool ResolverPoolStarted() {
  std::lock_guard<std::mutex> lk(g_pool.lock);
  return g_pool.started;
}

void StartResolverPool() {
  std::lock_guard<std::mutex> lk(g_pool.lock);
  if (g_pool.started) return;
  g_pool.slots = std::make_unique<ResolverSlot[]>(kResolverSlots);
  g_pool.busy = 0;
  g_pool.shutdown = false;
  g_pool.started = true;
}

void StopResolverPool() {
  std::unique_lock<std::mutex> lk(g_pool.lock);
  g_pool.shutdown = true;
  if (!g_pool.started) return;
  // Every thread clears its busy flag when its look-up returns, stopping or not.
  g_pool.idle.wait(lk, [] { return g_pool.busy == 0; });
  for (int i = 0; i < kResolverSlots; ++i) g_pool.slots[i].wake.notify_one();
  lk.unlock();
  for (int i = 0; i < kResolverSlots; ++i) {
    if (g_pool.slots[i].thread.joinable()) g_pool.slots[i].thread.join();
  }
  lk.lock();
  g_pool.started = false;
  g_pool.slots.reset();  // no thread is left to use them
}

bool QueueLookup(CDnsEntry* entry) {
  std::unique_lock<std::mutex> lk(g_pool.lock);
  if (!g_pool.started) {
    lk.unlock();
    StartResolverPool();
    ResolveAddress(entry);
    return true;
  }
  for (;;) {
    if (StopRequested() || g_pool.shutdown) return false;
    for (int i = 0; i < kResolverSlots; ++i) {
      ResolverSlot& s = g_pool.slots[i];
      if (s.busy) continue;
      s.request = entry;
      s.busy = true;
      ++g_pool.busy;
      if (s.number != 0) {
        s.wake.notify_one();
        return true;
      }
      try {
        s.thread = std::thread(ResolverThreadProc, i);
        s.number = static_cast<uint32_t>(i + 1);
        return true;
      } catch (const std::system_error&) {
        // No thread to be had: this one is asked here instead.
        s.request = nullptr;
        s.busy = false;
        --g_pool.busy;
        lk.unlock();
        ResolveAddress(entry);
        return true;
      }
    }
    g_pool.idle.wait_for(lk, kStopCheck);
  }
}

void ResolveAddress(CDnsEntry* entry) {
  tv::Resolver& resolver = ActiveResolver();
  if (!entry->name) {
    std::string name;
    if (resolver.NameOf(entry->address, &name) && !name.empty()) entry->name = strdup(name.c_str());
    return;
  }
  entry->address = 0;
  uint32_t address = 0;
  if (resolver.AddressOf(LastTwoLabels(entry->name), &address)) entry->address = address;
}

void ResolverThreadProc(int slot) {
  std::unique_lock<std::mutex> lk(g_pool.lock);
  ResolverSlot& s = g_pool.slots[slot];
  for (;;) {
    s.wake.wait(lk, [&s] { return s.busy || g_pool.shutdown; });
    if (!s.busy) return;
    CDnsEntry* entry = s.request;
    lk.unlock();
    ResolveAddress(entry);
    lk.lock();
    s.request = nullptr;
    s.busy = false;
    --g_pool.busy;
    g_pool.idle.notify_all();
  }
}
