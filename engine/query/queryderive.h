// Derived keys of hit records for the query engine: each texts-derived key is
// computed once per distinct pooled text (or table index) in one query and
// handed out as a small number, so aggregation compares numbers.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/store/hitstore.h"
#include "engine/store/strpool.h"

namespace query_detail {

// Open-addressing map of 64-bit keys (never ~0) to 32-bit values.
class FlatMap {
 public:
  FlatMap() { Init(4); }
  void Clear() { Init(4); }
  size_t Size() const { return m_size; }
  // The value of k, inserted as `fresh` when absent (*inserted tells which).
  uint32_t& Get(uint64_t k, uint32_t fresh, bool* inserted);
  const uint32_t* Find(uint64_t k) const;
  bool Insert(uint64_t k) {
    bool inserted;
    Get(k, 0, &inserted);
    return inserted;
  }
  template <typename F>
  void ForEach(F f) const {
    for (const Slot& s : m_slots)
      if (s.key != kEmpty) f(s.key, s.value);
  }

 private:
  static constexpr uint64_t kEmpty = ~0ull;
  // Key and value side by side: a probe touches one cache line.
  struct Slot {
    uint64_t key;
    uint32_t value;
  };
  void Init(int bits);
  size_t Home(uint64_t k) const { return (k * 0x9E3779B97F4A7C15ull) >> m_shift; }
  void Grow();
  std::vector<Slot> m_slots;
  size_t m_size = 0;
  int m_shift = 60;
};

// Distinct 64-bit values (row << 32 | value pairs of the distinct counts):
// appended as they come and sorted once, which is far cheaper on big logs
// than a hash set whose every insert misses the cache.
class DistinctSet {
 public:
  // Collected values are sorted down whenever their number reaches
  // firstCompact, or twice what the last sort left.
  explicit DistinctSet(size_t firstCompact = size_t{1} << 22) : m_firstCompact(firstCompact), m_compactAt(firstCompact) {}
  void Add(uint64_t v) {
    if (v == m_last && !m_values.empty()) return;
    m_last = v;
    m_values.push_back(v);
    if (m_values.size() >= m_compactAt) Compact();
  }
  // Each distinct value once, in ascending order.
  template <typename F>
  void ForEach(F f) {
    Compact();
    for (uint64_t v : m_values) f(v);
  }
  size_t Count() {
    Compact();
    return m_values.size();
  }
  void Clear() {
    m_values.clear();
    m_compactAt = m_firstCompact;
  }

 private:
  void Compact();
  std::vector<uint64_t> m_values;
  uint64_t m_last = 0;
  size_t m_firstCompact;
  size_t m_compactAt;
};

// Texts to dense ids from 1; 0 is kept for "no value".
class TextIds {
 public:
  uint32_t Intern(const char* text, bool lower);
  size_t Size() const { return m_ids.size(); }

 private:
  std::unordered_map<std::string, uint32_t> m_ids;
  std::string m_scratch;
};

// One derivation memoised by an input number (a pooled handle, an index, ...).
struct Memo {
  FlatMap byInput;
  TextIds texts;
  template <typename Make>
  uint32_t Get(uint64_t input, Make make) {
    bool inserted;
    uint32_t& v = byInput.Get(input, 0, &inserted);
    if (inserted) v = make(texts);
    return v;
  }
};

// Which handles of a pool share their text with another handle, under one
// comparison rule. A pool gives one text a new handle in every load, and a
// page cut at its query keeps a handle per query; the texts the reports
// compare are the same.
class TextCanon {
 public:
  TextCanon(const CStringPool& pool, bool lower);
  // Every stored text has a handle of its own.
  bool Distinct() const { return m_others.empty(); }
  // The first handle of h's text (kEmptyText for the empty text).
  TextHandle Of(TextHandle h) const {
    if (m_others.empty()) return h;
    for (size_t s = Home(h);; s = (s + 1) & m_mask) {
      const Other& o = m_others[s];
      if (o.handle == h) return o.first;
      if (o.handle == kNoText) return h;
    }
  }

 private:
  // Every handle after the first of its text, with the first, in a table of
  // eight-byte slots (kNoText: empty): small enough to stay in the cache.
  struct Other {
    TextHandle handle, first;
  };
  size_t Home(TextHandle h) const { return (h * 0x9E3779B1u) >> m_shift & m_mask; }
  std::vector<Other> m_others;
  size_t m_mask = 0;
  int m_shift = 0;
};

// The canon of the pool as it is now: worked out by one scan of the pool's
// texts, then shared by every query until the pool stores another text.
std::shared_ptr<const TextCanon> CanonOf(const CStringPool& pool, bool lower);

// A hit's text as a number that is equal exactly for equal texts: the first
// handle of the text. While every text has one handle this is the handle
// itself, at no cost; otherwise one look-up in the canon.
class PooledTextIds {
 public:
  // lower: texts equal without regard to case. emptyIsNone: an empty text is
  // no text (kNoText). pages: no text reads as the empty text, as pages do.
  PooledTextIds(const CStringPool& pool, bool lower, bool emptyIsNone = false, bool pages = false)
      : m_pool(pool), m_lower(lower), m_noText(pages ? kEmptyText : kNoText), m_empty(emptyIsNone ? kNoText : kEmptyText) {}
  uint32_t Id(TextHandle h) {
    if (h <= kEmptyText) return h == kNoText ? m_noText : m_empty;
    if (m_distinct) return h;
    return Lookup(h);
  }
  // Every text of the pool has one handle: Id is the handle, or 0 or 1.
  bool Distinct() {
    Attach();
    return m_distinct;
  }

 private:
  void Attach();
  uint32_t Lookup(TextHandle h);
  const CStringPool& m_pool;
  bool m_lower;
  TextHandle m_noText, m_empty;
  bool m_distinct = false;
  std::shared_ptr<const TextCanon> m_canon;
};

}  // namespace query_detail
