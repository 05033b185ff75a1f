#include "engine/analysis/analysis.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "base/msgsink.h"
#include "engine/analysis/dnscache.h"
#include "engine/display/display.h"
#include "engine/query/recordtree.h"
#include "engine/query/rowtable.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/logread.h"
#include "engine/sources/logload.h"
#include "engine/store/strpool.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/auxfile.h"

CAnalysisOptions g_analysisOptions;
CLogFileReportList g_logFileReport;

namespace {

SpiderConfirmFn g_confirmHook = nullptr;
LogFileReportFn g_reportHook = nullptr;

const char kRobotsPage[] = "/robots.txt";
constexpr size_t kMaxSpiderAgent = 250;  // characters a row holds
constexpr size_t kMaxSpiderHost = 127;

const char* AgentText(const CHitRecord* r) { return g_pools.agents.Text(r->GetUserAgent()); }
const char* HostText(const CHitRecord* r) {
  TextHandle h = r->GetHostName();
  return h ? g_pools.hosts.Text(h) : nullptr;
}

// Host, then agent; a missing agent last.
int CompareHostAgent(const CHitRecord* a, const CHitRecord* b, const CHitRecord*) {
  int c = CompareByHost(a, b);
  if (c) return c;
  TextHandle ah = a->GetUserAgent(), bh = b->GetUserAgent();
  if (ah == bh) return 0;
  if (!ah || !bh) return ah ? -1 : 1;
  int s = strcmp(AgentText(a), AgentText(b));
  return s < 0 ? -1 : s > 0;
}

uint64_t TotalHits(const CLogSourceList& sources) {
  uint64_t n = 0;
  for (int i = 0; i < sources.Count(); ++i) n += sources[i].records.RecordCount();
  return n;
}

// Latest first hit first; sources without hits last.
void SortSourcesLatestFirst(CLogSourceList& sources) {
  auto key = [](CLogSource& s) -> uint64_t {
    if (s.records.RecordCount() == 0) return 0;
    CHitRecord* r = s.records.First();
    return (static_cast<uint64_t>(r->PackedDate()) << 32 | r->Seconds()) + 1;
  };
  // Worked out once: reading a store's first hit moves its walk.
  std::unordered_map<const CLogSource*, uint64_t> byRecord;
  for (int i = 0; i < sources.Count(); ++i) byRecord[&sources[i]] = key(sources[i]);
  sources.Sort([&byRecord](const CLogSource& a, const CLogSource& b) { return byRecord[&a] > byRecord[&b]; });
}

// The first bytes of a text as a big-endian number: orders like strcmp as far
// as it goes.
uint64_t Prefix8(const char* text) {
  uint64_t v = 0;
  size_t i = 0;
  for (; i < 8 && text && text[i]; ++i) v = v << 8 | static_cast<unsigned char>(text[i]);
  return v << (8 * (8 - i));
}

bool g_visitorCookies = false;  // the visitor identity is the cookie when a hit has one

// A summary of the visitor identity that orders like CompareVisitors as far as
// it goes: hits with a cookie first, by the cookie's first bytes; then by
// address and the agent's first bytes (no agent last). Only sound while no hit
// has a host name, whose order against addresses the summary cannot follow.
uint64_t VisitorDigest(const CHitRecord* r) {
  TextHandle cookie = r->GetCookie();
  if (g_visitorCookies && cookie) return Prefix8(g_pools.cookies.Text(cookie)) >> 1;
  TextHandle agent = r->GetUserAgent();
  uint64_t agentBits = agent ? Prefix8(g_pools.agents.Text(agent)) >> 32 : 0xFFFFFFFFu;
  return 1ull << 63 | static_cast<uint64_t>(r->Address()) << 31 | agentBits >> 1;
}

// Every hit of a visit has the visit's identity, so its last hit serves for
// both the identity and the time: one record read instead of two.
int CompareWithVisit(const CHitRecord* record, const CHitRecord*, const CHitRecord* last) {
  return CompareVisitors(record, last, last);
}

bool AnyHostName(CLogSourceList& sources) {
  for (int i = 0; i < sources.Count(); ++i) {
    CHitStore& store = sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n; ++k, r = store.Next())
      if (r->GetHostName() != kNoText) return true;
  }
  return false;
}

// Some hit has both an address and a host name (a name resolved by an earlier pass).
bool AnyAddressWithName(CLogSourceList& sources) {
  for (int i = 0; i < sources.Count(); ++i) {
    CHitStore& store = sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n; ++k, r = store.Next())
      if (r->Address() && r->GetHostName() != kNoText) {
        const char* name = g_pools.hosts.Text(r->GetHostName());
        if (name && *name) return true;
      }
  }
  return false;
}

bool SameRowBytes(const AuxSpiderRow& a, const AuxSpiderRow& b) {
  return memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------

int CLogFileReportList::Add(const char* name, uint64_t size, uint32_t lines) {
  try {
    entries.push_back({name ? name : "", size, lines});
    return 1;
  } catch (const std::bad_alloc&) {
    EngineOutOfMemory(1563);
    Free();
    return 0;
  }
}

void CLogFileReportList::Free() { std::vector<Entry>().swap(entries); }

bool CLogFileReportList::HasEmptyFile() const {
  for (const Entry& e : entries)
    if (e.lines == 0) return true;
  return false;
}

void SetSpiderConfirmHook(SpiderConfirmFn fn) { g_confirmHook = fn; }
void SetLogFileReportHook(LogFileReportFn fn) { g_reportHook = fn; }

void InvalidateLogData(CProject& project) {
  g_logsStale = true;
  project.sources.ResetRecords();
}

// ---------------------------------------------------------------------------

namespace {

struct VisitorCounter {
  uint32_t saturatedAt = 0;
  bool saturated = false;
  // The record got a new number (g_visitorCounter was raised): keep it in 24 bits.
  void Check(CHitRecord* r) {
    if (g_visitorCounter <= kMaxVisitorId) return;
    g_visitorCounter = kMaxVisitorId;
    r->SetVisitorId(kMaxVisitorId);
    if (!saturated)
      EngineMessageF("Too many visitors: visitors after number %u are counted as one.", kMaxVisitorId);
    saturated = true;
  }
};

void Progress(uint64_t done) {
  if (done % 100 == 0) EngineProgress(static_cast<uint32_t>(done / 100), 0);
}

// The record tree: any order of hits, and hosts that compare in no one way.
void NumberWithTree(CLogSourceList& sources, VisitorCounter& counter) {
  CRecordTree tree;
  tree.SetCompare(CompareWithVisit, CRecordTree::kVisitors, AnyHostName(sources) ? nullptr : VisitorDigest);
  uint64_t done = 0;
  for (int i = 0; i < sources.Count() && !StopRequested(); ++i) {
    CHitStore& store = sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n; ++k, r = store.Next()) {
      uint32_t before = g_visitorCounter;
      if (!tree.FindOrInsert(r, nullptr)) break;
      if (g_visitorCounter != before) counter.Check(r);
      Progress(++done);
    }
    EngineProgress(static_cast<uint32_t>(done / 100), 0);
  }
  tree.FreeNodes();
}

uint64_t HashText(const char* t, uint64_t h) {
  for (; t && *t; ++t) h = (h ^ static_cast<unsigned char>(*t)) * 1099511628211ull;
  return h * 1099511628211ull;
}

// A hash of the visitor identity, equal for hits CompareVisitors calls the same
// visitor (unequal ones may collide), with the texts' hashes kept per handle.
class IdentityHash {
 public:
  uint64_t Of(const CHitRecord* r) {
    TextHandle cookie = r->GetCookie();
    if (g_visitorCookies && cookie) return Memo(m_cookies, g_pools.cookies, cookie, 1469598103934665603ull);
    uint32_t address = r->Address();
    return Memo(m_agents, g_pools.agents, r->GetUserAgent(), 7) ^
           (address ? address * 0x9E3779B97F4A7C15ull : Memo(m_hosts, g_pools.hosts, r->GetHostName(), 11) * 31);
  }

 private:
  using Map = std::unordered_map<TextHandle, uint64_t>;
  static uint64_t Memo(Map& m, const CStringPool& pool, TextHandle h, uint64_t seed) {
    if (!h) return seed;
    auto it = m.find(h);
    if (it == m.end()) {
      const char* text = pool.Text(h);
      it = m.emplace(h, text && *text ? HashText(text, seed) : seed).first;  // empty as none, as compared
    }
    return it->second;
  }
  Map m_agents, m_cookies, m_hosts;
};

// While every visitor's hits come in time order, a hit can only continue its
// visitor's latest visit, so the tree's answer is known from that visit alone.
// Returns false, having numbered nothing for good, when some visitor's hits go
// back in time; the sorted numbering then does the work.
bool NumberInTimeOrder(CLogSourceList& sources, VisitorCounter& counter) {
  struct Visit {
    CHitRecord* last;
    int64_t lastTime;
    int32_t next;  // another identity with the same hash
  };
  std::vector<Visit> visits;
  std::unordered_map<uint64_t, int32_t> byIdentity;
  IdentityHash identity;
  const int64_t limit = static_cast<int64_t>(g_project.session) * 60;
  uint64_t done = 0;
  for (int i = 0; i < sources.Count() && !StopRequested(); ++i) {
    CHitStore& store = sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n && !StopRequested(); ++k, r = store.Next()) {
      uint64_t key = identity.Of(r);
      int64_t time = HitTimeOf(r);
      auto slot = byIdentity.find(key);
      int32_t found = -1;
      for (int32_t v = slot == byIdentity.end() ? -1 : slot->second; v >= 0; v = visits[v].next)
        if (CompareVisitors(r, visits[v].last, nullptr) == 0) {
          found = v;
          break;
        }
      if (found >= 0) {
        Visit& visit = visits[found];
        if (time < visit.lastTime) return false;
        if (time - visit.lastTime <= limit) {
          r->SetVisitorId(visit.last->VisitorId());
        } else {
          r->SetVisitorId(++g_visitorCounter);
          counter.Check(r);
        }
        visit.last = r;
        visit.lastTime = time;
      } else {
        r->SetVisitorId(++g_visitorCounter);
        counter.Check(r);
        int32_t head = slot == byIdentity.end() ? -1 : slot->second;
        visits.push_back({r, time, head});
        byIdentity[key] = static_cast<int32_t>(visits.size() - 1);
      }
      Progress(++done);
    }
    EngineProgress(static_cast<uint32_t>(done / 100), 0);
  }
  return true;
}

// Hits in any order, across any number of sources: each visitor's hits sorted
// by time make one visit until a gap longer than the session length, so the
// visits do not depend on how the hits are split into files or sources, nor on
// the order those are read in. A visit's number is given where its first hit
// comes in list and store order, as the time-order walk gives it. Returns false,
// having numbered nothing for good, when memory runs out.
bool NumberBySortedVisits(CLogSourceList& sources, VisitorCounter& counter) {
  uint64_t total = TotalHits(sources);
  if (total >= UINT32_MAX) return false;
  struct Hit {
    int64_t time;
    uint32_t identity;
    uint32_t order;  // place in list and store order
  };
  std::vector<Hit> hits;
  hits.reserve(total);
  {
    std::vector<CHitRecord*> first;  // one hit of each identity
    std::vector<int32_t> next;       // another identity with the same hash
    std::unordered_map<uint64_t, int32_t> byHash;
    IdentityHash identity;
    uint32_t order = 0;
    for (int i = 0; i < sources.Count() && !StopRequested(); ++i) {
      CHitStore& store = sources[i].records;
      uint64_t n = store.RecordCount();
      CHitRecord* r = n ? store.First() : nullptr;
      for (uint64_t k = 0; k < n && !StopRequested(); ++k, r = store.Next()) {
        auto slot = byHash.try_emplace(identity.Of(r), -1).first;
        int32_t found = -1;
        for (int32_t v = slot->second; v >= 0 && found < 0; v = next[v])
          if (CompareVisitors(r, first[v], nullptr) == 0) found = v;
        if (found < 0) {
          found = static_cast<int32_t>(first.size());
          first.push_back(r);
          next.push_back(slot->second);
          slot->second = found;
        }
        hits.push_back({HitTimeOf(r), static_cast<uint32_t>(found), order++});
      }
    }
  }
  if (StopRequested()) return true;
  std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
    if (a.identity != b.identity) return a.identity < b.identity;
    return a.time != b.time ? a.time < b.time : a.order < b.order;
  });
  const int64_t limit = static_cast<int64_t>(g_project.session) * 60;
  std::vector<uint32_t> visitOf(hits.size());
  uint32_t visits = 0;
  for (size_t j = 0; j < hits.size(); ++j) {
    if (j == 0 || hits[j].identity != hits[j - 1].identity || hits[j].time - hits[j - 1].time > limit) ++visits;
    visitOf[hits[j].order] = visits - 1;
  }
  std::vector<Hit>().swap(hits);

  std::vector<uint32_t> number(visits, 0);
  uint64_t done = 0;
  uint32_t order = 0;
  for (int i = 0; i < sources.Count() && !StopRequested(); ++i) {
    CHitStore& store = sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n; ++k, r = store.Next()) {
      uint32_t& id = number[visitOf[order++]];
      if (id == 0) {
        r->SetVisitorId(++g_visitorCounter);
        counter.Check(r);
        id = r->VisitorId();
      } else {
        r->SetVisitorId(id);
      }
      Progress(++done);
    }
    EngineProgress(static_cast<uint32_t>(done / 100), 0);
  }
  return true;
}

}  // namespace

void NumberVisitors(CLogSourceList& sources, uint32_t start) {
  EngineInfo("Set visitors ID...");
  g_cookiesInUse = !LoadHasSingleCookie();
  g_visitorCookies = g_cookiesInUse && !g_project.display.not_use_cookie;
  VisitorCounter counter;
  g_visitorCounter = start;
  if (start >= kMaxVisitorId) g_visitorCounter = kMaxVisitorId, counter.saturated = true;
  const uint32_t first = g_visitorCounter;
  auto restart = [&]() {
    g_visitorCounter = first;  // the "too many" message stays said once
    EngineProgress(0, 0);
  };
  // With hosts that have both an address and a name (resolved by an earlier
  // pass) the identity is no one equivalence, so only the tree can follow it.
  bool done = false;
  if (!AnyAddressWithName(sources)) {
    try {
      done = NumberInTimeOrder(sources, counter);
    } catch (const std::bad_alloc&) {
      done = false;
    }
    if (!done && !StopRequested()) {
      restart();
      try {
        done = NumberBySortedVisits(sources, counter);
      } catch (const std::bad_alloc&) {
        done = false;
      }
    }
  }
  if (!done && !StopRequested()) {
    restart();
    NumberWithTree(sources, counter);
  }
  EngineInfo("");
}

// ---------------------------------------------------------------------------

void DetectSpiders(CProject& project) {
  CAuxDatabases& db = g_auxDatabases;
  db.newSpiderStart = -1;
  if (!g_analysisOptions.auto_robot) return;
  EngineInfo("Auto detection spiders/robots...");
  CRecordTree tree;
  tree.SetCompare(CompareHostAgent, CRecordTree::kCompareOnly);
  for (int i = 0; i < project.sources.Count() && !StopRequested(); ++i) {
    CHitStore& store = project.sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n && !StopRequested(); ++k, r = store.Next()) {
      if ((r->Flags() & kHitRobot) || !r->GetUserAgent()) continue;
      if (strcmp(r->PageText(), kRobotsPage) != 0) continue;
      if (!tree.FindOrInsert(r, nullptr)) break;
    }
  }
  if (tree.Count() > 0) {
    size_t former = db.autoRobots.size();
    try {
      db.autoRobots.reserve(former + tree.Count());
    } catch (const std::bad_alloc&) {
      EngineOutOfMemory(342);
      EngineInfo("");
      return;
    }
    for (const CTreeEntry* e = tree.SeekEnd(0); e; e = tree.Step(0)) {
      const CHitRecord* hit = e->KeyRecord();
      const char* agent = AgentText(hit);
      if (strlen(agent) > kMaxSpiderAgent) {
        EngineInfo(agent);
        continue;
      }
      uint32_t address = hit->Address();
      const char* host = address ? nullptr : HostText(hit);
      if (!address && (!host || !*host || strlen(host) > kMaxSpiderHost)) continue;
      AuxSpiderRow row = AuxSpiderRow::Make(address, agent, host);
      bool known = false;
      for (const AuxSpiderRow& x : db.excluded) known = known || SameRowBytes(x, row);
      for (const AuxSpiderRow& x : db.autoRobots) known = known || SameRowBytes(x, row);
      if (!known) db.autoRobots.push_back(row);
    }
    if (db.autoRobots.size() > former) {
      db.newSpiderStart = static_cast<int32_t>(former);
      FeedCommitTables();  // the next load knows them
    }
  }
  tree.FreeNodes();
  if (!g_analysisOptions.confirmation_robot) ApplyDetectedSpiders(project);
  EngineInfo("");
}

void ApplyDetectedSpiders() { ApplyDetectedSpiders(g_project); }

void ApplyDetectedSpiders(CProject& project) {
  const CAuxDatabases& db = g_auxDatabases;
  if (db.newSpiderStart < 0 || static_cast<size_t>(db.newSpiderStart) >= db.autoRobots.size()) return;
  const size_t first = static_cast<size_t>(db.newSpiderStart), end = db.autoRobots.size();
  const size_t robotRows = db.robots.size();
  // The rows whose agent equals the text of an agent handle, worked out once per agent.
  std::unordered_map<TextHandle, std::vector<uint32_t>> rowsOfAgent;
  for (int i = 0; i < project.sources.Count() && !StopRequested(); ++i) {
    CHitStore& store = project.sources[i].records;
    uint64_t n = store.RecordCount();
    CHitRecord* r = n ? store.First() : nullptr;
    for (uint64_t k = 0; k < n && !StopRequested(); ++k, r = store.Next()) {
      TextHandle agent = r->GetUserAgent();
      if ((r->Flags() & kHitRobot) || !agent) continue;
      auto it = rowsOfAgent.find(agent);
      if (it == rowsOfAgent.end()) {
        std::vector<uint32_t> rows;
        const char* text = g_pools.agents.Text(agent);
        for (size_t j = first; j < end; ++j)
          if (strcmp(db.autoRobots[j].Agent(), text) == 0) rows.push_back(static_cast<uint32_t>(j));
        it = rowsOfAgent.emplace(agent, std::move(rows)).first;
      }
      if (it->second.empty()) continue;
      // A row matches by the key it holds: its address, or its host name. The
      // DNS pass may since have given a hit logged by name an address.
      int64_t match = -1;
      const char* host = nullptr;
      bool hostRead = false;
      for (uint32_t j : it->second) {
        const AuxSpiderRow& row = db.autoRobots[j];
        bool same;
        if (row.Address()) {
          same = r->Address() == row.Address();
        } else {
          if (!hostRead) host = HostText(r), hostRead = true;
          same = host && strcmp(host, row.Host()) == 0;
        }
        if (same) match = j;  // the last matching row wins
      }
      if (match < 0) continue;
      size_t robot = robotRows + static_cast<size_t>(match);
      if (robot > 0xFFFF) continue;  // beyond what the record's robot number holds
      r->SetFlags(r->Flags() | kHitRobot);
      r->SetRobotIndex(static_cast<uint16_t>(robot));
    }
  }
}

// ---------------------------------------------------------------------------

int AnalyseLogs(CProject& project, uint32_t fromDate, uint32_t toDate, OdbcLoaderFn odbcLoader,
                const char* indexText) {
  CGroupMaskList masks;
  for (int g = 0; g < project.groups.Count(); ++g) {
    const CGroup& group = project.groups[g];
    // A mask that finds no memory leaves its pages untyped; the pass goes on.
    if (group.masks && *group.masks) masks.AddList(group.masks, static_cast<uint32_t>(g), group.type);
  }
  g_groupSlots = project.expand_groups ? static_cast<uint32_t>(project.groups.Count()) : 0;

  int result = LoadLogSources(project.sources, masks, fromDate, toDate, odbcLoader, indexText);
  // Every source still current (the file lists were looked at again, so a new
  // file under a wildcard is read): the results, their cache keys and the file
  // report all still stand.
  bool current = !result && project.sources.Count() > 0 && !StopRequested();
  for (int n = 0; current && n < project.sources.Count(); ++n) current = project.sources[n].loaded != 0;
  if (current) {
    ResetStringPools();
    return 0;
  }
  g_logFileReport.Free();
  for (const CLogFileRead& f : g_filesRead)
    if (!g_logFileReport.Add(f.name.c_str(), f.size, f.records)) break;
  if (!result) {
    ResetStringPools();
    return 0;
  }

  SortSourcesLatestFirst(project.sources);
  uint64_t total = TotalHits(project.sources);
  EngineProgress(static_cast<uint32_t>(total / 100), 1);
  EngineProgress(0, 0);
  NumberVisitors(project.sources, 0);
  DetectSpiders(project);
  RunDnsLookup(project);
  ResetStringPools();

  if (g_confirmHook && g_analysisOptions.auto_robot && g_analysisOptions.confirmation_robot &&
      g_auxDatabases.newSpiderStart >= 0 && !StopRequested()) {
    int32_t count = static_cast<int32_t>(g_auxDatabases.autoRobots.size()) - g_auxDatabases.newSpiderStart;
    if (g_confirmHook(g_auxDatabases.newSpiderStart, count)) ApplyDetectedSpiders(project);
  }
  if (g_reportHook && g_logFileReport.HasEmptyFile()) g_reportHook(g_logFileReport);
  return result;
}
