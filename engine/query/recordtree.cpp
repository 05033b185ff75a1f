#include "engine/query/recordtree.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/msgsink.h"

uint32_t g_visitorCounter = 0;

namespace {

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Host names are ASCII; no locale may change how they compare.
int CompareNoCase(const char* a, const char* b) {
  if (!a || !b) return Order(a != nullptr, b != nullptr);
  for (;; ++a, ++b) {
    int x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
    if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
    if (x != y || x == 0) return x - y;
  }
}

// Address when both have one; otherwise the resolved names (one without a name
// first), and two without names by address.
int CompareHosts(const CHitRecord* a, const CHitRecord* b) {
  if (a->Address() && b->Address()) return Order(a->Address(), b->Address());
  TextHandle na = a->GetHostName(), nb = b->GetHostName();
  if (!na || !nb) {
    if (na || nb) return na ? 1 : -1;
    return Order(a->Address(), b->Address());
  }
  return Order(na, nb);  // one pool: the same text is the same handle
}

// Robot number of a hit; hits that are no robot share one value above any number.
uint32_t RobotNumber(const CHitRecord* r) { return (r->Flags() & kHitRobot) ? r->RobotIndex() : 0x10000u; }

const CHitRecord* AsRecord(uintptr_t v) { return reinterpret_cast<const CHitRecord*>(v); }

}  // namespace

uintptr_t CPairKey::Value() const {
  switch (kind) {
    case kPairPage:
      return text;
    case kPairReferrer:
    case kPairSite:
      return text2;
    default:
      return reinterpret_cast<uintptr_t>(record);
  }
}

int ComparePairValues(const CPairKey& key, uintptr_t value, bool pagesIgnoreCase) {
  switch (key.kind) {
    case kPairVisitor:
      return Order(key.record->VisitorId(), AsRecord(value)->VisitorId());
    case kPairPage: {
      TextHandle kept = static_cast<TextHandle>(value);
      if (key.text == kept) return 0;
      if (pagesIgnoreCase) return CompareNoCase(g_pools.pages.Text(key.text), g_pools.pages.Text(kept));
      return Order(key.text, kept);
    }
    case kPairHost:
      return CompareHosts(key.record, AsRecord(value));
    case kPairReferrer:
      return Order(key.text2, static_cast<TextHandle>(value));
    case kPairRobot:
      return Order(RobotNumber(key.record), RobotNumber(AsRecord(value)));
    default:
      return Order(key.Value(), value);
  }
}

// ---------------------------------------------------------------------------

void CRecordTree::Clear() {
  memset(static_cast<void*>(&m_root), 0, sizeof m_root);
  m_levels = 1;
  m_depth = 0;
  m_path[0] = {&m_root, 0};
  m_pathValid = false;
  m_count = 0;
}

void CRecordTree::FreeNodes() {
  for (CTreeNode* page : m_pages) free(page);
  m_pages.clear();
  m_pages.shrink_to_fit();
  m_nodeCount = 0;
  Clear();
}

void CRecordTree::Reset() {
  FreeNodes();
  m_mode = Mode::kPairs;
  m_compare = nullptr;
  m_digest = nullptr;
  m_digestIsKey = false;
  m_pairCompare = nullptr;
  m_pagesIgnoreCase = false;
  m_pairTexts = false;
  m_table = nullptr;
}

void CRecordTree::SetCompare(RecordCompareFn fn, CompareMode mode, RecordDigestFn digest, bool digestIsKey) {
  Reset();
  if (!fn) return;
  m_compare = fn;
  m_digest = digest;
  m_digestIsKey = digest && digestIsKey && mode != kVisitors;
  m_mode = mode == kVisitors ? Mode::kVisitors : mode == kCompareOnly ? Mode::kCompareOnly : Mode::kRows;
}

void CRecordTree::SetTextKeys() {
  Reset();
  m_mode = Mode::kText;
}

void CRecordTree::SetNumberKeys() {
  Reset();
  m_mode = Mode::kNumber;
}

void CRecordTree::SetPairCompare(PairCompareFn fn, bool pagesIgnoreCase) {
  Reset();
  m_pairCompare = fn;
  m_pagesIgnoreCase = pagesIgnoreCase;
}

// ---------------------------------------------------------------------------
// Search

int CRecordTree::ComparePair(const CPairKey& key, const CTreeNode* node, uint32_t i) const {
  uintptr_t value = node->entries[i].extra;
  int c = m_pairCompare ? m_pairCompare(key, value) : ComparePairValues(key, value, m_pagesIgnoreCase);
  if (c) return c;
  return Order(reinterpret_cast<uintptr_t>(key.owner), reinterpret_cast<uintptr_t>(node->entries[i].key));
}

template <typename Compare, typename Narrow>
bool CRecordTree::Descend(const Compare& compare, bool first, const Narrow& narrow) {
  int found = -1;
  CTreeNode* node = &m_root;
  uint32_t d = 0;
  for (;;) {
    // Lower bound: the first key not below the searched one.
    uint32_t lo = 0, hi = node->count;
    narrow(node, &lo, &hi);
    bool equal = false;
    while (lo < hi) {
      uint32_t mid = (lo + hi) / 2;
      int c = compare(node, mid);
      if (c > 0) {
        lo = mid + 1;
      } else {
        hi = mid;
        equal = c == 0;
        if (equal && !first) lo = mid;
      }
    }
    // equal tells whether the key at hi, where the bound ends, is equal.
    m_path[d] = {node, static_cast<uint8_t>(lo)};
    if (equal) {
      found = static_cast<int>(d);
      if (!first) break;
    }
    CTreeNode* child = node->entries[lo].child;
    if (!child) break;
    node = child;
    ++d;  // the tree never grows past its level limit, so d stays inside the path
  }
  m_pathValid = true;
  if (found >= 0) {
    m_depth = static_cast<uint32_t>(found);
    return true;
  }
  m_depth = d;
  return false;
}

bool CRecordTree::Find(const void* key, bool insertMode) {
  switch (m_mode) {
    case Mode::kRows:
    case Mode::kVisitors:
    case Mode::kCompareOnly: {
      auto* record = static_cast<const CHitRecord*>(key);
      RecordCompareFn fn = m_compare;
      bool again = m_count && PositionIsElement();  // runs of one group: the element met last is tried first
      if (!m_digest) {
        auto compare = [fn, record](const CTreeNode* n, uint32_t i) {
          return fn(record, AsRecord(n->entries[i].extra), static_cast<const CHitRecord*>(n->entries[i].payload));
        };
        if (again && compare(CurrentNode(), CurrentIndex()) == 0) return true;
        return Descend(compare, false);
      }
      uint64_t digest = m_keyDigest = m_digest(record);
      bool digestIsKey = m_digestIsKey;
      auto compare = [fn, record, digestIsKey](const CTreeNode* n, uint32_t i) {
        // Most likely the group sought: its row is wanted next, so fetch it while
        // the comparator waits for the group's record.
        __builtin_prefetch(n->entries[i].key, 1);
        if (digestIsKey) return 0;
        return fn(record, AsRecord(n->entries[i].extra), static_cast<const CHitRecord*>(n->entries[i].payload));
      };
      if (again && CurrentNode()->digest[CurrentIndex()] == digest && compare(CurrentNode(), CurrentIndex()) == 0)
        return true;
      // Digests rise with the keys, so the keys of the node whose digest equals
      // the searched one form one run, and only they need the comparator. One pass
      // over the digests asks for all their lines at once.
      auto narrow = [digest](const CTreeNode* n, uint32_t* lo, uint32_t* hi) {
        uint32_t below = 0, notAbove = 0;
        for (uint32_t i = 0; i < n->count; ++i) {
          below += n->digest[i] < digest;
          notAbove += n->digest[i] <= digest;
        }
        *lo = below;
        *hi = notAbove;
      };
      return Descend(compare, false, narrow);
    }
    case Mode::kText: {
      const char* name = static_cast<const CIndexedKey*>(key)->name;
      return Descend(
          [name](const CTreeNode* n, uint32_t i) {
            return CompareNoCase(name, static_cast<const CIndexedKey*>(n->entries[i].key)->name);
          },
          false);
    }
    case Mode::kNumber: {
      uint32_t address = static_cast<const CIndexedKey*>(key)->address;
      return Descend(
          [address](const CTreeNode* n, uint32_t i) {
            return Order(address, static_cast<const CIndexedKey*>(n->entries[i].key)->address);
          },
          false);
    }
    case Mode::kPairs:
      break;
  }
  if (insertMode) {
    const CPairKey& pk = *static_cast<const CPairKey*>(key);
    return Descend([this, &pk](const CTreeNode* n, uint32_t i) { return ComparePair(pk, n, i); }, false);
  }
  // By visitor number alone a visitor has several equal pairs: the search goes on
  // down to the first of them in order. Pairs that keep a text have no visitor.
  if (m_pairTexts) return false;
  uint32_t visitor = static_cast<const CHitRecord*>(key)->VisitorId();
  return Descend(
      [visitor](const CTreeNode* n, uint32_t i) { return Order(visitor, AsRecord(n->entries[i].extra)->VisitorId()); }, true);
}

// ---------------------------------------------------------------------------
// Insertion

bool CRecordTree::ReserveNodes(uint32_t n) {
  while (m_pages.size() * kNodesPerPage < static_cast<size_t>(m_nodeCount) + n) {
    try {
      m_pages.reserve(m_pages.size() + 1);
    } catch (const std::bad_alloc&) {
      EngineOutOfMemory(76);
      RequestStop();
      return false;
    }
    auto* page = static_cast<CTreeNode*>(calloc(kNodesPerPage, sizeof(CTreeNode)));
    if (!page) {
      EngineOutOfMemory(83);
      RequestStop();
      return false;
    }
    m_pages.push_back(page);
  }
  return true;
}

CTreeNode* CRecordTree::NewNode() {
  CTreeNode* node = m_pages[m_nodeCount / kNodesPerPage] + m_nodeCount % kNodesPerPage;
  ++m_nodeCount;
  return node;
}

namespace {

// Copies keys [from, from + n) of src to dst at `to`: digests and entries, the
// entries' child links included.
void CopyKeys(CTreeNode* dst, uint32_t to, const CTreeNode* src, uint32_t from, uint32_t n) {
  memmove(&dst->digest[to], &src->digest[from], n * sizeof src->digest[0]);
  memmove(&dst->entries[to], &src->entries[from], n * sizeof src->entries[0]);
}

}  // namespace

bool CRecordTree::Insert(void* key, void* payload, uintptr_t extra, uint64_t digest) {
  // Every node needed by the splits is allocated before the tree changes, so a
  // failure leaves it as it was.
  uint32_t splits = 0;
  for (int d = static_cast<int>(m_depth); d >= 0 && m_path[d].node->count == CTreeNode::kMaxKeys; --d) ++splits;
  bool rootSplits = splits == m_depth + 1;
  if (rootSplits && m_levels >= kMaxLevels) {
    EngineRuntimeError(237);
    return false;
  }
  if (!ReserveNodes(splits + (rootSplits ? 1 : 0))) return false;

  CTreeEntry e{nullptr, key, payload, extra};
  for (uint32_t d = m_depth;; --d) {
    CTreeNode* n = m_path[d].node;
    uint32_t i = m_path[d].index;
    // Entries i..count move up one; the last of them carries only the rightmost link.
    CopyKeys(n, i + 1, n, i, n->count - i + 1);
    n->digest[i] = digest;
    n->entries[i] = e;
    ++n->count;
    if (n->count <= CTreeNode::kMaxKeys) break;

    // 32 keys: 0-15 go to a new node, 16 moves up, 17-31 stay.
    m_pathValid = false;  // the new key has moved
    CTreeNode* left = NewNode();
    CopyKeys(left, 0, n, 0, 16);
    left->entries[16].child = n->entries[16].child;
    left->count = 16;
    digest = n->digest[16];
    e = n->entries[16];
    e.child = left;
    if (d == 0) {  // the root stays in place with the middle key alone
      CTreeNode* right = NewNode();
      CopyKeys(right, 0, n, 17, 16);
      right->count = 15;
      memset(static_cast<void*>(n), 0, sizeof *n);
      n->digest[0] = digest;
      n->entries[0] = e;
      n->entries[1].child = right;
      n->count = 1;
      ++m_levels;
      break;
    }
    CopyKeys(n, 0, n, 17, 16);
    n->count = 15;
  }
  ++m_count;
  return true;
}

void* CRecordTree::FindOrInsert(void* key, CRowTable* table) {
  if (StopRequested() || !key) return nullptr;
  bool found = Find(key, true);
  CTreeNode* n = CurrentNode();
  uint32_t i = CurrentIndex();
  switch (m_mode) {
    case Mode::kRows: {
      auto* record = static_cast<CHitRecord*>(key);
      if (table) m_table = table;
      uint32_t slots = m_table ? m_table->GroupSlots() : 0;
      if (found) {
        static_cast<CRow*>(n->entries[i].key)->AddHit(record, slots);
        n->entries[i].payload = record;
        return n->entries[i].key;
      }
      if (!table) return nullptr;
      CRow* row = table->AddRow(record);
      if (!row) return nullptr;
      row->AddHit(record, slots);
      return Insert(row, record, reinterpret_cast<uintptr_t>(record), m_keyDigest) ? row : nullptr;
    }
    case Mode::kVisitors: {
      auto* record = static_cast<CHitRecord*>(key);
      if (found) {
        record->SetVisitorId(static_cast<CHitRecord*>(n->entries[i].payload)->VisitorId());
        n->entries[i].payload = record;
        return n->entries[i].key;
      }
      if (!Insert(record, record, reinterpret_cast<uintptr_t>(record), m_keyDigest)) return nullptr;
      record->SetVisitorId(++g_visitorCounter);
      return record;
    }
    case Mode::kCompareOnly:
      if (found) return n->entries[i].key;
      return Insert(key, key, reinterpret_cast<uintptr_t>(key), m_keyDigest) ? key : nullptr;
    case Mode::kText:
    case Mode::kNumber:
      if (found) return n->entries[i].key;
      return Insert(key, nullptr, 0) ? key : nullptr;
    case Mode::kPairs: {
      if (found) return n->entries[i].key;
      const auto* pk = static_cast<const CPairKey*>(key);
      m_pairTexts = pk->kind == kPairPage || pk->kind == kPairReferrer || pk->kind == kPairSite;
      return Insert(pk->owner, nullptr, pk->Value()) ? pk->owner : nullptr;
    }
  }
  return nullptr;
}

void* CRecordTree::AddRecord(const CHitRecord* record) {
  if (!record || !Find(record, false)) return nullptr;
  auto* row = static_cast<CRow*>(Current().key);
  if (m_mode == Mode::kRows) {
    row->AddBytes(record, m_table ? m_table->GroupSlots() : 0);
  } else if (m_mode == Mode::kPairs) {
    // The rows belong to another tree's table, made under the same slot count.
    row->AddBytes(record, std::min(g_groupSlots, kMaxGroupSlots));
  }
  return row;
}

void* CRecordTree::GetPayload(const void* key) {
  if (!key || !Find(key, false)) return nullptr;
  return Current().key;
}

// ---------------------------------------------------------------------------
// Walks

const CTreeEntry* CRecordTree::SeekEnd(int direction) {
  m_depth = 0;
  if (m_root.count == 0) {
    m_path[0] = {&m_root, 0};
    m_pathValid = false;
    return nullptr;
  }
  CTreeNode* node = &m_root;
  for (;;) {
    uint8_t i = direction == 0 ? 0 : node->count;
    m_path[m_depth] = {node, i};
    CTreeNode* child = node->entries[i].child;
    if (!child) break;
    node = child;
    ++m_depth;
  }
  if (direction != 0) --m_path[m_depth].index;
  m_pathValid = true;
  return &Current();
}

const CTreeEntry* CRecordTree::Step(int direction) {
  if (!PositionIsElement()) {
    m_depth = 0;
    m_pathValid = false;
    return nullptr;
  }
  if (direction == 0) {
    PathSlot& s = m_path[m_depth];
    ++s.index;
    for (CTreeNode* child = s.node->entries[s.index].child; child; child = child->entries[0].child) m_path[++m_depth] = {child, 0};
    while (m_path[m_depth].index >= m_path[m_depth].node->count) {
      if (m_depth == 0) {
        m_pathValid = false;
        return nullptr;
      }
      --m_depth;
    }
    return &Current();
  }
  PathSlot& s = m_path[m_depth];
  CTreeNode* child = s.node->entries[s.index].child;
  if (child) {
    for (; child; child = child->entries[child->count].child) m_path[++m_depth] = {child, child->count};
    --m_path[m_depth].index;
    return &Current();
  }
  while (m_path[m_depth].index == 0) {
    if (m_depth == 0) {
      m_pathValid = false;
      return nullptr;
    }
    --m_depth;
  }
  --m_path[m_depth].index;
  return &Current();
}
