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
    for (size_t i = 0; i < m_keys.size(); ++i)
      if (m_keys[i] != kEmpty) f(m_keys[i], m_values[i]);
  }

 private:
  static constexpr uint64_t kEmpty = ~0ull;
  void Init(int bits);
  size_t Slot(uint64_t k) const { return (k * 0x9E3779B97F4A7C15ull) >> m_shift; }
  void Grow();
  std::vector<uint64_t> m_keys;
  std::vector<uint32_t> m_values;
  size_t m_size = 0;
  int m_shift = 60;
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
