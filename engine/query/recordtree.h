// An ordered multiway search tree that gathers hit records into groups. One
// class serves every use, fixed when the tree is set up:
//
//   mode          set by                        key             payload       extra
//   rows          SetCompare(fn)                the group's row last record   first record
//   visitors      SetCompare(fn, kVisitors)     first record    last record   first record
//   compare-only  SetCompare(fn, kCompareOnly)  first record    first record  first record
//   text keys     SetTextKeys()                 CIndexedKey*    -             -
//   number keys   SetNumberKeys()               CIndexedKey*    -             -
//   pairs         Reset() or SetPairCompare()   owner (CRow*)   -             the value
//
// Comparisons are pure: whatever a search compares, the group's counters change
// once, on the element the search ends at. Nodes hold at most 31 keys at rest;
// an insertion that brings one to 32 splits it 16 / 15 with the middle key moving
// up; paths are at most 7 levels deep.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/query/rowtable.h"
#include "engine/store/hitstore.h"

// (new record, record the element's group began with, last record of the
// element) -> negative, zero or positive. Must not change anything.
using RecordCompareFn = int (*)(const CHitRecord* record, const CHitRecord* held, const CHitRecord* last);
// An optional summary of a record's key that orders like the comparator as far
// as it goes: Digest(a) < Digest(b) must mean compare(a, b) < 0; equal digests
// leave the answer to the comparator, unless the digest is the whole key (a
// number, or texts compared as handles). Kept in the node, it settles compares
// without reading the group's record, which may lie anywhere in the hit store.
using RecordDigestFn = uint64_t (*)(const CHitRecord* record);

// The engine's visitor counter: the last visitor number handed out. The
// visitor numbering sets it to 0 before it starts.
extern uint32_t g_visitorCounter;

// What the text-key and number-key modes compare: keys of those trees are
// objects that begin with these two fields (the DNS cache's entries).
struct CIndexedKey {
  uint32_t address;  // number keys: compared as unsigned numbers
  const char* name;  // text keys: compared ignoring case; null before any text
};

// Key kinds of the pairs mode: which value of a hit a pair tree counts.
enum : uint32_t {
  kPairVisitor = 0,      // visitor number
  kPairPage = 1,         // page text
  kPairHost = 2,         // host: address, else resolved name
  kPairReferrer = 3,     // referrer text, case-sensitive
  kPairKeyword = 4,      // search keyword of the referrer
  kPairRobot = 5,        // robot (agent-table) number
  kPairSite = 6,         // referring site
  kPairCountry = 7,      // country of the host
};

// The transient search key of the pairs mode.
struct CPairKey {
  uint32_t kind;       // kPair...
  CRow* owner;         // the report row
  CHitRecord* record;  // the hit
  uint32_t flags;      // the hit's flags
  TextHandle text;     // page (kind 1)
  TextHandle text2;    // referrer (kinds 3, 6)

  // The value an inserted pair keeps: the record, or for kinds 1, 3 and 6 the text.
  uintptr_t Value() const;
};

// Compares a search key's value with the value a pair keeps, by the key's kind.
using PairCompareFn = int (*)(const CPairKey& key, uintptr_t value);
// The built-in value comparison: visitor numbers, page texts (same text, or equal
// ignoring case with pagesIgnoreCase), hosts (address, else the resolved name),
// referrer texts and robot numbers. Kinds 4, 6 and 7 compare what needs the
// report formatting and the country tables; a tree of those kinds gets its
// comparison from SetPairCompare, else their values compare as the kept value.
int ComparePairValues(const CPairKey& key, uintptr_t value, bool pagesIgnoreCase);

struct CTreeNode;

// One key of a node with what it keeps.
struct CTreeEntry {
  CTreeNode* child;  // keys before this one; null in a leaf
  void* key;
  void* payload;
  uintptr_t extra;

  CRow* Row() const { return static_cast<CRow*>(key); }
  CHitRecord* KeyRecord() const { return static_cast<CHitRecord*>(key); }
  CHitRecord* Last() const { return static_cast<CHitRecord*>(payload); }
};

struct CTreeNode {
  static constexpr int kMaxKeys = 31;          // at rest
  static constexpr int kSlots = kMaxKeys + 1;  // the 32nd key waits here for the split
  uint8_t count;
  // The digests of the keys' records, apart from the entries so that a search
  // reads a few lines of them and then the one entry it ends at.
  uint64_t digest[kSlots + 1];  // the last one only keeps the copies in step with the entries
  // Keys 0..count-1; the child link of entry count is the rightmost subtree.
  CTreeEntry entries[kSlots + 1];
};

class CRecordTree {
 public:
  enum CompareMode { kRows, kVisitors, kCompareOnly };
  static constexpr int kMaxLevels = 7;
  static constexpr uint32_t kNodesPerPage = 8;

  CRecordTree() { Reset(); }
  ~CRecordTree() { FreeNodes(); }
  CRecordTree(const CRecordTree&) = delete;
  CRecordTree& operator=(const CRecordTree&) = delete;

  // Empties the tree (its pages are freed) and clears the mode: a pairs tree
  // with the built-in comparison, case-sensitive pages.
  void Reset();
  // Reset, then compare records with fn in the given mode, helped by digest.
  // With digestIsKey equal digests are equal keys and fn is not asked (not in
  // the visitors mode, whose comparator looks at the visit's last hit).
  void SetCompare(RecordCompareFn fn, CompareMode mode = kRows, RecordDigestFn digest = nullptr,
                  bool digestIsKey = false);
  void SetTextKeys();
  void SetNumberKeys();
  // Reset, then a pairs tree comparing values with fn (null: the built-in one).
  void SetPairCompare(PairCompareFn fn, bool pagesIgnoreCase = false);
  // Frees every node page; the tree is left empty and keeps its mode.
  void FreeNodes();

  // Sets the path at the first element equal to key and returns true, or at the
  // place the key would go and returns false. Key: a CHitRecord* in the record
  // modes, a CIndexedKey* for text and number keys; in the pairs mode a CPairKey*
  // with insertMode, else a CHitRecord* matched by visitor number alone.
  bool Find(const void* key, bool insertMode);
  // The element equal to key, inserted when there is none; returns its key
  // (the row in the rows mode). In the rows mode an existing group counts the
  // record and a new one gets a row of table (no table: nothing is inserted).
  // The visitors mode gives the record its visitor number. Null when the stop
  // flag is set or the insertion failed (which sets it or reports why).
  void* FindOrInsert(void* key, CRowTable* table);
  // Rows and pairs modes: the row of the record's group (pairs: the first pair
  // of its visitor) gets the record's bytes and group counters, not its hit.
  // Returns the element's key, null when there is none.
  void* AddRecord(const CHitRecord* record);
  // The key stored with the element equal to key, null when there is none.
  void* GetPayload(const void* key);

  // Walks: direction 0 forward, 1 backward. A walk shares the search path, so it
  // must not be interleaved with searches of the same tree.
  const CTreeEntry* SeekEnd(int direction);
  // Null after the last (first) element; the depth is then 0.
  const CTreeEntry* Step(int direction);

  uint32_t Count() const { return m_count; }
  uint32_t Depth() const { return m_depth; }
  uint32_t NodeCount() const { return m_nodeCount; }
  int32_t PageCount() const { return static_cast<int32_t>(m_pages.size()); }
  uint32_t Levels() const { return m_levels; }
  const CTreeNode& Root() const { return m_root; }

 private:
  enum class Mode { kRows, kVisitors, kCompareOnly, kText, kNumber, kPairs };
  struct PathSlot {
    CTreeNode* node;
    uint8_t index;
  };

  int ComparePair(const CPairKey& key, const CTreeNode* node, uint32_t i) const;
  // Searches from the root with compare(node, index) over the keys of each node
  // that narrow(node, &lo, &hi) leaves; with first, on down to the first of
  // several equal elements.
  static void AllKeys(const CTreeNode*, uint32_t*, uint32_t*) {}
  template <typename Compare, typename Narrow = decltype(&AllKeys)>
  bool Descend(const Compare& compare, bool first, const Narrow& narrow = &AllKeys);
  bool PositionIsElement() const {
    return m_pathValid && m_path[m_depth].index < m_path[m_depth].node->count;
  }
  CTreeNode* CurrentNode() const { return m_path[m_depth].node; }
  uint32_t CurrentIndex() const { return m_path[m_depth].index; }
  CTreeEntry& Current() const { return m_path[m_depth].node->entries[m_path[m_depth].index]; }
  // Inserts at the path position left by a failed Find. False when it could not.
  bool Insert(void* key, void* payload, uintptr_t extra, uint64_t digest = 0);
  bool ReserveNodes(uint32_t n);
  CTreeNode* NewNode();
  void Clear();

  uint32_t m_depth = 0;
  PathSlot m_path[kMaxLevels];
  bool m_pathValid = false;  // the path names a real position of the tree
  CTreeNode m_root;
  uint32_t m_levels = 1;  // levels the tree has (its leaves' depth + 1)
  std::vector<CTreeNode*> m_pages;
  uint32_t m_nodeCount = 0;
  Mode m_mode = Mode::kPairs;
  RecordCompareFn m_compare = nullptr;
  RecordDigestFn m_digest = nullptr;
  bool m_digestIsKey = false;
  uint64_t m_keyDigest = 0;  // of the record searched last
  PairCompareFn m_pairCompare = nullptr;
  bool m_pagesIgnoreCase = false;
  bool m_pairTexts = false;  // the pairs keep texts, not records
  const CRowTable* m_table = nullptr;  // the rows mode's table, once given
  uint32_t m_count = 0;
};
