#include "engine/queryderive.h"

#include <cctype>

namespace query_detail {

void FlatMap::Init(int bits) {
  m_keys.assign(size_t{1} << bits, kEmpty);
  m_values.assign(size_t{1} << bits, 0);
  m_size = 0;
  m_shift = 64 - bits;
}

void FlatMap::Grow() {
  std::vector<uint64_t> keys;
  std::vector<uint32_t> values;
  keys.swap(m_keys);
  values.swap(m_values);
  Init(64 - m_shift + 1);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == kEmpty) continue;
    size_t mask = m_keys.size() - 1;
    size_t s = Slot(keys[i]);
    while (m_keys[s] != kEmpty) s = (s + 1) & mask;
    m_keys[s] = keys[i];
    m_values[s] = values[i];
    ++m_size;
  }
}

uint32_t& FlatMap::Get(uint64_t k, uint32_t fresh, bool* inserted) {
  if ((m_size + 1) * 2 > m_keys.size()) Grow();
  size_t mask = m_keys.size() - 1;
  size_t s = Slot(k);
  while (m_keys[s] != kEmpty) {
    if (m_keys[s] == k) {
      *inserted = false;
      return m_values[s];
    }
    s = (s + 1) & mask;
  }
  m_keys[s] = k;
  m_values[s] = fresh;
  ++m_size;
  *inserted = true;
  return m_values[s];
}

const uint32_t* FlatMap::Find(uint64_t k) const {
  size_t mask = m_keys.size() - 1;
  size_t s = Slot(k);
  while (m_keys[s] != kEmpty) {
    if (m_keys[s] == k) return &m_values[s];
    s = (s + 1) & mask;
  }
  return nullptr;
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
