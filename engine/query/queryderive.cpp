#include "engine/query/queryderive.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

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

namespace {

uint64_t HashOf(const char* t, bool lower) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (; *t; ++t) {
    unsigned char c = static_cast<unsigned char>(*t);
    if (lower) c = static_cast<unsigned char>(tolower(c));
    h = (h ^ c) * 0x100000001B3ull;
  }
  return h ^ (h >> 29);
}

}  // namespace

TextCanon::TextCanon(const CStringPool& pool, bool lower) {
  // Open addressing over (hash, first handle); texts are compared in the pool.
  struct Entry {
    uint32_t hash;
    TextHandle first;
  };
  size_t size = 64;
  while (size < 2 * (size_t{pool.StoredCount()} + 1)) size *= 2;
  std::vector<Entry> table(size, Entry{0, kNoText});
  std::vector<Other> others;
  const size_t mask = size - 1;
  auto same = [lower](const char* a, const char* b) { return (lower ? strcasecmp(a, b) : strcmp(a, b)) == 0; };
  auto place = [&](TextHandle h, const char* text) {
    uint32_t hash = static_cast<uint32_t>(HashOf(text, lower));
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
      Entry& e = table[s];
      if (e.first == kNoText) {
        e = Entry{hash, h};
        return;
      }
      if (e.hash == hash && same(pool.Text(e.first), text)) {
        others.push_back({h, e.first});
        return;
      }
    }
  };
  place(kEmptyText, "");
  size_t placed = 1;
  pool.ForEachText([&](TextHandle h, const char* text) {
    // More texts than the count promised: never in a sound pool, but the table must not fill.
    if (++placed * 2 > size) return;
    place(h, text);
  });
  if (others.empty()) return;
  size_t slots = 16;
  int bits = 4;
  while (slots < 2 * others.size()) slots *= 2, ++bits;
  m_others.assign(slots, Other{kNoText, kNoText});
  m_mask = slots - 1;
  m_shift = 32 - bits;
  for (const Other& o : others) {
    size_t s = Home(o.handle);
    while (m_others[s].handle != kNoText) s = (s + 1) & m_mask;
    m_others[s] = o;
  }
}

std::shared_ptr<const TextCanon> CanonOf(const CStringPool& pool, bool lower) {
  struct Held {
    const CStringPool* pool;
    bool lower;
    uint64_t version;
    std::shared_ptr<const TextCanon> canon;
  };
  static std::mutex mutex;
  static std::vector<Held> held;
  std::lock_guard<std::mutex> lock(mutex);
  // The pool's version changes with its texts and is never reused, so an equal
  // version means the same texts, even for another pool at the same address.
  for (Held& h : held) {
    if (h.pool != &pool || h.lower != lower) continue;
    if (h.version != pool.Version()) {
      h.canon = std::make_shared<const TextCanon>(pool, lower);
      h.version = pool.Version();
    }
    return h.canon;
  }
  held.push_back({&pool, lower, pool.Version(), std::make_shared<const TextCanon>(pool, lower)});
  return held.back().canon;
}

void PooledTextIds::Attach() {
  if (m_canon) return;
  m_canon = CanonOf(m_pool, m_lower);
  m_distinct = m_canon->Distinct();
}

uint32_t PooledTextIds::Lookup(TextHandle h) {
  if (!m_canon) {
    Attach();
    if (m_distinct) return h;
  }
  TextHandle first = m_canon->Of(h);
  return first == kEmptyText ? m_empty : first;
}

}  // namespace query_detail
