#include "engine/queryderive.h"

#include <algorithm>
#include <cctype>

namespace query_detail {

void FlatMap::Init(int bits) {
  m_slots.assign(size_t{1} << bits, Slot{kEmpty, 0});
  m_size = 0;
  m_shift = 64 - bits;
}

void FlatMap::Grow() {
  std::vector<Slot> old;
  old.swap(m_slots);
  Init(64 - m_shift + 1);
  size_t mask = m_slots.size() - 1;
  for (const Slot& o : old) {
    if (o.key == kEmpty) continue;
    size_t s = Home(o.key);
    while (m_slots[s].key != kEmpty) s = (s + 1) & mask;
    m_slots[s] = o;
    ++m_size;
  }
}

uint32_t& FlatMap::Get(uint64_t k, uint32_t fresh, bool* inserted) {
  if ((m_size + 1) * 2 > m_slots.size()) Grow();
  size_t mask = m_slots.size() - 1;
  size_t s = Home(k);
  while (m_slots[s].key != kEmpty) {
    if (m_slots[s].key == k) {
      *inserted = false;
      return m_slots[s].value;
    }
    s = (s + 1) & mask;
  }
  m_slots[s] = Slot{k, fresh};
  ++m_size;
  *inserted = true;
  return m_slots[s].value;
}

const uint32_t* FlatMap::Find(uint64_t k) const {
  size_t mask = m_slots.size() - 1;
  size_t s = Home(k);
  while (m_slots[s].key != kEmpty) {
    if (m_slots[s].key == k) return &m_slots[s].value;
    s = (s + 1) & mask;
  }
  return nullptr;
}

// LSD radix sort in 11-bit digits; digits in which every value agrees are
// skipped, so small row numbers and dense values cost few passes.
void DistinctSet::Compact() {
  const size_t n = m_values.size();
  if (n > 1) {
    constexpr int kBits = 11, kDigits = (64 + kBits - 1) / kBits;
    constexpr size_t kBuckets = size_t{1} << kBits;
    std::vector<size_t> counts(kDigits * kBuckets, 0);
    for (uint64_t v : m_values)
      for (int d = 0; d < kDigits; ++d) ++counts[d * kBuckets + ((v >> (d * kBits)) & (kBuckets - 1))];
    std::vector<uint64_t> tmp(n);
    for (int d = 0; d < kDigits; ++d) {
      size_t* c = &counts[d * kBuckets];
      if (c[(m_values[0] >> (d * kBits)) & (kBuckets - 1)] == n) continue;
      size_t sum = 0;
      for (size_t b = 0; b < kBuckets; ++b) {
        size_t k = c[b];
        c[b] = sum;
        sum += k;
      }
      for (uint64_t v : m_values) tmp[c[(v >> (d * kBits)) & (kBuckets - 1)]++] = v;
      m_values.swap(tmp);
    }
    m_values.erase(std::unique(m_values.begin(), m_values.end()), m_values.end());
  }
  m_compactAt = std::max(m_firstCompact, m_values.size() * 2);
}

uint32_t TextIds::Intern(const char* text, bool lower) {
  if (!text) return 0;
  m_scratch.assign(text);
  if (lower)
    for (char& c : m_scratch) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  auto it = m_ids.try_emplace(m_scratch, static_cast<uint32_t>(m_ids.size() + 1)).first;
  return it->second;
}

}  // namespace query_detail
