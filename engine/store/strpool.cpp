#include "engine/store/strpool.h"

#include "base/msgsink.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

CRecordPools g_pools;

namespace {

// Handle 1 of every pool points at the second byte here: the shared empty text.
char g_emptySlot[2] = {0, 0};

constexpr uint32_t kMaxSlots = 1u << 18;  // 2^18 slots of 16 KB: a 4 GB handle space
constexpr size_t kCacheSize = 1u << 14;   // direct-mapped lookup cache entries

inline uint64_t Mix(uint64_t h, uint64_t w) {
  h ^= w;
  h *= 0xbf58476d1ce4e5b9ULL;
  return h ^ (h >> 31);
}

uint32_t HashText(const char* s, size_t len) {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ (len * 0x94d049bb133111ebULL);
  while (len >= 8) {
    uint64_t w;
    memcpy(&w, s, 8);
    h = Mix(h, w);
    s += 8;
    len -= 8;
  }
  if (len) {
    uint64_t w = 0;
    memcpy(&w, s, len);
    h = Mix(h, w + 1);
  }
  return static_cast<uint32_t>(h ^ (h >> 32));
}

std::atomic<uint64_t> g_nextPoolVersion{1};
uint64_t NextVersion() { return g_nextPoolVersion.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

CStringPool::CStringPool() { Init(); }

CStringPool::~CStringPool() {
  FreeAll();
  free(m_slotTable);
  m_slotTable = nullptr;
}

void CStringPool::Init() {
  m_blocks.clear();
  m_stored = 0;
  m_version = NextVersion();
  m_nextSlot = 1;
  m_openBlock = SIZE_MAX;
  m_depth = 0;
  memset(&m_root, 0, sizeof m_root);
  m_pages.clear();
  m_nodeCount = 0;
  m_marked = false;
  m_ignoreArgm = false;
  m_cache.clear();
  if (!m_slotTable) {
    // Never reallocated, so texts can be read while another thread appends.
    m_slotTable = static_cast<char**>(calloc(kMaxSlots, sizeof(char*)));
  }
  if (m_slotTable) m_slotTable[0] = g_emptySlot;
}

void CStringPool::SetQueryMarker(bool marked, bool ignoreArgm) {
  // Switching layouts invalidates what the index compares against.
  if (marked != m_marked || ignoreArgm != m_ignoreArgm) FreeIndex();
  m_marked = marked;
  m_ignoreArgm = ignoreArgm;
}

size_t CStringPool::BytesUsed() const {
  size_t n = 0;
  for (const Block& b : m_blocks) n += b.used + static_cast<size_t>(b.room);
  return n;
}

size_t CStringPool::IndexBytes() const {
  return m_pages.size() * kNodesPerPage * sizeof(Node) + m_cache.size() * sizeof(CacheEntry);
}

// Walks a pooled key as the text it was interned from: in a marked pool with
// marker '?', the first '?' or the terminator written over it reads as '?'.
namespace {
struct KeyWalker {
  const unsigned char* p;
  bool queryKey;
  bool pastCut = false;
  unsigned Next() {
    unsigned c = *p;
    if (queryKey && !pastCut && (c == 0 || c == '?')) {
      pastCut = true;
      ++p;
      return '?';
    }
    if (c) ++p;
    return c;
  }
};
}  // namespace

int CStringPool::CompareKey(const char* text, size_t len, TextHandle key) const {
  const char* stored = Text(key);
  KeyWalker w{reinterpret_cast<const unsigned char*>(stored), Marker(key) == '?'};
  for (size_t i = 0;; ++i) {
    unsigned a = i < len ? static_cast<unsigned char>(text[i]) : 0u;
    unsigned b = w.Next();
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}

bool CStringPool::KeyEquals(TextHandle h, const char* text, size_t len) const {
  const char* stored = Text(h);
  if (Marker(h) != '?') return strncmp(stored, text, len) == 0 && stored[len] == 0;
  return CompareKey(text, len, h) == 0;
}

int CStringPool::SearchNode(const Node* node, const char* text, size_t len, bool* equal) const {
  int lo = 0, hi = node->count;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = CompareKey(text, len, node->keys[mid]);
    if (c == 0) {
      *equal = true;
      return mid;
    }
    if (c < 0) hi = mid;
    else lo = mid + 1;
  }
  *equal = false;
  return lo;
}

CStringPool::Find CStringPool::FindPath(const char* text, size_t len, TextHandle* found) {
  Node* node = &m_root;
  for (uint32_t depth = 0;; ++depth) {
    if (node->count > kMaxKeys || depth >= static_cast<uint32_t>(kPathLimit)) {
      EngineRuntimeError(157);
      return Find::kDamaged;
    }
    bool equal = false;
    int slot = SearchNode(node, text, len, &equal);
    m_path[depth] = {node, static_cast<uint8_t>(slot)};
    m_depth = depth;
    if (equal) {
      *found = node->keys[slot];
      return Find::kFound;
    }
    Node* child = node->child[slot];
    if (!child) return Find::kMissing;
    node = child;
  }
}

CStringPool::Node* CStringPool::NewNode() {
  if (m_nodeCount % kNodesPerPage == 0) {
    Node* page = static_cast<Node*>(calloc(kNodesPerPage, sizeof(Node)));
    if (!page) return nullptr;
    try {
      m_pages.push_back(page);
    } catch (const std::bad_alloc&) {
      free(page);
      return nullptr;
    }
  }
  Node* n = m_pages.back() + (m_nodeCount % kNodesPerPage);
  ++m_nodeCount;
  return n;
}

TextHandle CStringPool::StoreText(const char* text, size_t len, char marker) {
  if (!m_slotTable) return kNoText;
  size_t need = len + 1 + (m_marked ? 1 : 0);
  Block* b = m_openBlock < m_blocks.size() ? &m_blocks[m_openBlock] : nullptr;
  if (!b || static_cast<size_t>(b->room) < need) {
    size_t room = need > kBlockRoom ? need : kBlockRoom;
    size_t bytes = room + 1;
    size_t slots = (bytes + kSlotSize - 1) / kSlotSize;
    if (room > 0x7FFFFFFF || m_nextSlot + slots > kMaxSlots) return kNoText;
    char* base = static_cast<char*>(malloc(bytes));
    if (!base) return kNoText;
    try {
      m_blocks.push_back({base, static_cast<int32_t>(room), 0, m_nextSlot});
    } catch (const std::bad_alloc&) {
      free(base);
      return kNoText;
    }
    for (size_t i = 0; i < slots; ++i) m_slotTable[m_nextSlot + i] = base + i * kSlotSize;
    m_nextSlot += static_cast<uint32_t>(slots);
    // A text larger than a standard block gets a block of its own; small texts
    // keep filling the open block.
    if (need <= kBlockRoom || !b) m_openBlock = m_blocks.size() - 1;
    b = &m_blocks.back();
  }
  char* at = b->base + b->used;
  if (m_marked) *at++ = marker;
  memcpy(at, text, len);
  at[len] = 0;
  TextHandle h = (b->firstSlot << kSlotShift) + static_cast<uint32_t>(at - b->base);
  b->used += static_cast<uint32_t>(need);
  b->room -= static_cast<int32_t>(need);
  return h;
}

bool CStringPool::InsertEntry(int depth, Node* child, TextHandle key) {
  Node* node = m_path[depth].node;
  int slot = m_path[depth].slot;
  if (node->count >= kMaxKeys) {
    if (!StopRequested()) EngineRuntimeError(285);
    return false;
  }
  // Entry i is {child i, key i}; the child after the last key sits in entry count.
  for (int i = node->count; i >= slot; --i) {
    node->child[i + 1] = node->child[i];
    node->keys[i + 1] = node->keys[i];
  }
  node->child[slot] = child;
  node->keys[slot] = key;
  ++node->count;
  if (node->count < kMaxKeys) return true;

  constexpr int kHalf = kMaxKeys / 2;  // key 8 moves up
  if (node == &m_root) {
    Node* left = NewNode();
    Node* right = NewNode();
    if (!left || !right) return false;
    for (int i = 0; i < kHalf; ++i) {
      left->child[i] = node->child[i];
      left->keys[i] = node->keys[i];
    }
    left->child[kHalf] = node->child[kHalf];
    left->count = kHalf;
    for (int i = kHalf + 1; i < kMaxKeys; ++i) {
      right->child[i - kHalf - 1] = node->child[i];
      right->keys[i - kHalf - 1] = node->keys[i];
    }
    right->child[kMaxKeys - kHalf - 1] = node->child[kMaxKeys];
    right->count = kMaxKeys - kHalf - 1;
    TextHandle up = node->keys[kHalf];
    memset(node, 0, sizeof *node);
    node->count = 1;
    node->keys[0] = up;
    node->child[0] = left;
    node->child[1] = right;
    return true;
  }
  Node* left = NewNode();
  if (!left) return false;
  for (int i = 0; i < kHalf; ++i) {
    left->child[i] = node->child[i];
    left->keys[i] = node->keys[i];
  }
  left->child[kHalf] = node->child[kHalf];
  left->count = kHalf;
  TextHandle up = node->keys[kHalf];
  int keep = kMaxKeys - kHalf - 1;
  for (int i = 0; i < keep; ++i) {
    node->child[i] = node->child[kHalf + 1 + i];
    node->keys[i] = node->keys[kHalf + 1 + i];
  }
  node->child[keep] = node->child[kMaxKeys];
  for (int i = keep + 1; i <= kMaxKeys; ++i) {
    node->child[i] = nullptr;
    node->keys[i] = 0;
  }
  node->count = static_cast<uint8_t>(keep);
  return InsertEntry(depth - 1, left, up);
}

TextHandle CStringPool::Intern(const char* text) { return text ? Intern(text, strlen(text)) : kNoText; }

TextHandle CStringPool::Intern(const char* text, size_t len) {
  if (!text) return kNoText;
  uint32_t hash = HashText(text, len);
  if (m_cache.empty()) {
    try {
      m_cache.assign(kCacheSize, CacheEntry{0, kNoText});
    } catch (const std::bad_alloc&) {
      // Runs without the cache.
    }
  }
  CacheEntry* ce = m_cache.empty() ? nullptr : &m_cache[hash & (kCacheSize - 1)];
  if (ce && ce->handle != kNoText && ce->hash == hash && KeyEquals(ce->handle, text, len)) return ce->handle;

  TextHandle found = kNoText;
  Find where = FindPath(text, len, &found);
  if (where == Find::kFound) {
    if (ce) *ce = {hash, found};
    return found;
  }
  if (where == Find::kDamaged) return kEmptyText;
  char marker = 0;
  if (m_marked && m_ignoreArgm && memchr(text, '?', len)) marker = '?';
  TextHandle h = StoreText(text, len, marker);
  if (h == kNoText) return kEmptyText;
  ++m_interned;
  ++m_stored;
  m_version = NextVersion();
  if (!InsertEntry(static_cast<int>(m_depth), nullptr, h)) {
    // A node that could not be split stays full but searchable; the load stops.
    if (!StopRequested()) EngineOutOfMemory(1041);
    RequestStop();
    return h;
  }
  if (ce) *ce = {hash, h};
  return h;
}

void CStringPool::CutAtQuery(TextHandle h) {
  if (h <= kEmptyText) return;
  char* t = m_slotTable[h >> kSlotShift] + (h & kSlotMask);  // our own block, writable
  if (char* q = strchr(t, '?')) *q = 0;
}

void CStringPool::FreeIndex() {
  for (Node* page : m_pages) free(page);
  m_pages.clear();
  m_nodeCount = 0;
  memset(&m_root, 0, sizeof m_root);
  m_depth = 0;
  m_cache.clear();
  m_cache.shrink_to_fit();
}

void CStringPool::FreeAll() {
  FreeIndex();
  for (Block& b : m_blocks) free(b.base);
  m_blocks.clear();
  if (m_slotTable) memset(m_slotTable, 0, kMaxSlots * sizeof(char*));
  bool marked = m_marked, ignore = m_ignoreArgm;
  Init();
  m_marked = marked;
  m_ignoreArgm = ignore;
}

void ResetStringPools() {
  char buf[64];
  snprintf(buf, sizeof buf, "pg sz=%i,%i", static_cast<int>(g_pools.pages.InternedCount()),
           g_pools.pages.BlockCount());
  WriteBugLog(buf);
  CStringPool* pools[] = {&g_pools.pages, &g_pools.agents, &g_pools.referrers, &g_pools.cookies,
                          &g_pools.users, &g_pools.hosts, &g_pools.subdomains};
  for (CStringPool* p : pools) p->FreeIndex();
}
