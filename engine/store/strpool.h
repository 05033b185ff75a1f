// Interning pools for the texts of hit records. Records hold 32-bit handles;
// records with the same handle have the same text, but one text may have
// several handles: a load after the index was dropped stores it anew, and a
// page cut at its query keeps one handle per query.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using TextHandle = uint32_t;
constexpr TextHandle kNoText = 0;     // absent
constexpr TextHandle kEmptyText = 1;  // the shared empty text of every pool

class CStringPool {
 public:
  static constexpr int kMaxKeys = 16;   // keys of an index node at rest: 0..15
  static constexpr uint32_t kBlockRoom = 16384;
  static constexpr uint32_t kNodesPerPage = 16;

  CStringPool();
  ~CStringPool();
  CStringPool(const CStringPool&) = delete;
  CStringPool& operator=(const CStringPool&) = delete;

  void Init();
  // The pooled copy of the text (of len bytes, no NUL inside). A null text gives
  // kNoText; a text that cannot be stored gives kEmptyText.
  TextHandle Intern(const char* text, size_t len);
  TextHandle Intern(const char* text);

  const char* Text(TextHandle h) const {
    if (h == kNoText) return nullptr;
    return m_slotTable[h >> kSlotShift] + (h & kSlotMask);
  }
  // The marker byte in front of a text of a marked pool ('?' or 0).
  char Marker(TextHandle h) const { return m_marked && h > kEmptyText ? Text(h)[-1] : 0; }
  // Cuts the pooled text at its first '?' (the query stays behind the terminator).
  void CutAtQuery(TextHandle h);

  void FreeIndex();
  void FreeAll();

  // Page pool only: a marker byte before each text; with ignoreArgm a text that
  // holds '?' is marked '?' and compares as its whole text even after its cut.
  void SetQueryMarker(bool marked, bool ignoreArgm);
  bool QueryMarked() const { return m_marked; }

  uint32_t InternedCount() const { return m_interned; }
  // Texts stored now (FreeAll empties the pool; the interned count goes on).
  uint32_t StoredCount() const { return m_stored; }
  // Changes whenever the pool's texts do, and is never the same for two pools
  // or two fillings: what was worked out from the texts holds while it stays.
  uint64_t Version() const { return m_version; }
  // Every stored text with its handle, block by block (a page cut at its
  // query as its cut text). Not while another thread appends.
  template <typename F>
  void ForEachText(F f) const;
  int BlockCount() const { return static_cast<int>(m_blocks.size()); }
  size_t BytesUsed() const;   // text bytes in blocks
  size_t IndexBytes() const;  // bytes of index nodes and the lookup cache

  // Tree inspection (tests).
  int RootKeyCount() const { return m_root.count; }
  TextHandle RootKey(int i) const { return m_root.keys[i]; }
  int RootChildKeyCount(int i) const { return m_root.child[i] ? m_root.child[i]->count : -1; }

 private:
  static constexpr int kSlotShift = 14;
  static constexpr uint32_t kSlotSize = 1u << kSlotShift;
  static constexpr uint32_t kSlotMask = kSlotSize - 1;

  struct Node {
    uint8_t count;
    Node* child[kMaxKeys + 1];
    TextHandle keys[kMaxKeys + 1];
  };
  struct Block {
    char* base;
    int32_t room;
    uint32_t used;
    uint32_t firstSlot;
  };
  struct PathEntry {
    Node* node;
    uint8_t slot;
  };
  struct CacheEntry {
    uint32_t hash;
    TextHandle handle;
  };

  enum class Find { kFound, kMissing, kDamaged };
  static constexpr int kPathLimit = 24;  // deeper than any tree that fits the handle space

  int CompareKey(const char* text, size_t len, TextHandle key) const;
  Find FindPath(const char* text, size_t len, TextHandle* found);
  int SearchNode(const Node* node, const char* text, size_t len, bool* equal) const;
  TextHandle StoreText(const char* text, size_t len, char marker);
  bool InsertEntry(int depth, Node* child, TextHandle key);
  Node* NewNode();
  bool KeyEquals(TextHandle h, const char* text, size_t len) const;

  std::vector<Block> m_blocks;
  char** m_slotTable = nullptr;  // base pointer per 16 KB of handle space
  uint32_t m_nextSlot = 1;     // slot 0 holds the empty text
  size_t m_openBlock = 0;      // blocks before this one are full for small texts
  uint32_t m_depth = 0;
  PathEntry m_path[kPathLimit];
  Node m_root;
  std::vector<Node*> m_pages;
  uint32_t m_nodeCount = 0;
  bool m_marked = false;
  bool m_ignoreArgm = false;
  uint32_t m_interned = 0;
  uint32_t m_stored = 0;
  uint64_t m_version = 0;
  std::vector<CacheEntry> m_cache;  // direct-mapped front of the index
};

template <typename F>
void CStringPool::ForEachText(F f) const {
  for (const Block& b : m_blocks) {
    for (uint32_t at = 0; at < b.used;) {
      char marker = 0;
      if (m_marked) marker = b.base[at++];
      const char* text = b.base + at;
      size_t len = strlen(text);
      f(static_cast<TextHandle>((b.firstSlot << kSlotShift) + at), text);
      at += static_cast<uint32_t>(len + 1);
      // A text cut at its query keeps the query behind the cut.
      if (marker == '?' && !memchr(text, '?', len)) at += static_cast<uint32_t>(strlen(b.base + at) + 1);
    }
  }
}

// The seven pools of the hit record's texts.
struct CRecordPools {
  CStringPool pages, agents, referrers, cookies, users, hosts, subdomains;
};
extern CRecordPools g_pools;

// After every load: traces the page pool's size and drops the seven indexes.
void ResetStringPools();
