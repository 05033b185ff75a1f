// Derived keys of hit records for the query engine: each texts-derived key is
// computed once per distinct pooled text (or table index) in one query and
// handed out as a small number, so aggregation compares numbers.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/hitstore.h"

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

}  // namespace query_detail
