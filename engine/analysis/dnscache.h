// The DNS cache ("dns_cache.dat" in the data folder) and the pool of resolver
// threads behind the DNS pass: hits logged by name get an address, hits logged
// by address a host name. Answers are kept for days_dns_cache days.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/query/recordtree.h"
#include "engine/store/hitstore.h"
#include "platform/clock.h"

class CProject;
namespace tv {
class Resolver;
}

// One name or address. Begins with the key the cache's two indexes compare.
struct CDnsEntry : CIndexedKey {
  uint32_t stamp;  // day of the look-up, packed like a hit's date
  // In memory only.
  uint32_t pass;         // the DNS pass that asked for it: 0 from the file, all ones not yet
  TextHandle pooled;     // name in the host-name pool, valid during pass pooledPass
  uint32_t pooledPass;
};

// Owns every entry: blocks of 16 zero-filled entries that never move.
class CDnsRequestList {
 public:
  static constexpr int kBlockEntries = 16;

  CDnsRequestList() = default;
  ~CDnsRequestList() { Free(); }
  CDnsRequestList(const CDnsRequestList&) = delete;
  CDnsRequestList& operator=(const CDnsRequestList&) = delete;

  void Init();
  void Free();
  // A zero entry holding a copy of name (null: no name); null when memory runs out.
  CDnsEntry* Add(const char* name);
  int32_t Count() const { return m_count; }

 private:
  std::vector<CDnsEntry*> m_blocks;
  int32_t m_count = 0;
};

// One record of the file: 70 bytes of name (zero-padded), address, day stamp, zero.
constexpr size_t kDnsRecordSize = 82;
constexpr size_t kDnsNameField = 70;
constexpr size_t kDnsMaxName = kDnsNameField - 1;

std::string DnsCachePath();
// Day stamp of a date: day in the low byte, then month, year in the high 16 bits.
uint32_t DnsDayStamp(const tv::CivilDate& date);
// The date new entries are stamped with and the expiry counts from. Unless set,
// CreateDnsCache takes it from the clock.
void SetDnsToday(uint32_t stamp);
uint32_t DnsToday();

// At engine start-up: empty indexes and list, then LoadDnsCache.
void CreateDnsCache();
// At engine clean-up (after SaveDnsCache): stops the pool, frees every entry.
void FreeDnsCache();
// Adds the file's records that are not older than days_dns_cache days; a
// missing, short or damaged file gives what whole records it has.
void LoadDnsCache();
// Writes the file anew when either index holds entries: every entry with an
// address and a name of at most 69 characters. An unwritable file is skipped.
void SaveDnsCache();
// Deletes the file and empties the cache.
void ClearDnsCache();

// The resolver every look-up asks; null restores the system's. Returns the
// previous one (null for the system's). Not while a pass runs.
tv::Resolver* SetDnsResolver(tv::Resolver* resolver);
// The resolver look-ups ask now: the replacement when one is set, else the system's.
tv::Resolver& DnsResolver();

// The DNS pass over every log source of the project, by its dns_lookup and
// ip_lookup options.
void RunDnsLookup(CProject& project);
// The same over the given stores.
void RunDnsLookup(std::span<CHitStore* const> stores, bool dnsLookup, bool ipLookup);

// The resolver pool. A slot belongs to the pass while idle and to its thread
// while busy; the pass reads an entry only after its slot went idle again.
constexpr int kResolverSlots = 50;
void StartResolverPool();
// Waits for every look-up in flight, then ends and joins the threads.
void StopResolverPool();
// Hands the entry to an idle slot, waiting for one when all are busy. The first
// look-up after the pool starts runs on the calling thread. False when the stop
// flag or the shutdown refused the entry.
bool QueueLookup(CDnsEntry* entry);
// Asks the resolver: the name of an entry without one, else the address of its
// name's last two labels. Writes nothing but the entry's answer.
void ResolveAddress(CDnsEntry* entry);
// The body of the thread of a slot (0-based).
void ResolverThreadProc(int slot);
bool ResolverPoolStarted();
