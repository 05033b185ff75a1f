#include "engine/query/pathlist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/msgsink.h"
#include "engine/store/hittext.h"

CPathList g_pathList;

void CPathList::Clear() {
  for (uint32_t v = 0; v < m_size; ++v) free(m_entries[v].hits);
  free(m_entries);
  m_entries = nullptr;
  m_size = 0;
  m_count = 0;
  m_maxVisitor = 0;
}

void CPathList::AddHit(uint32_t visitor, CHitRecord* record) {
  if (!record || visitor > 0xFFFFFF) return;  // visitor numbers are 24-bit
  if (visitor >= m_size) {
    size_t size = std::max<size_t>({static_cast<size_t>(visitor) + 1, 2 * static_cast<size_t>(m_size), 64});
    auto* grown = static_cast<CPathEntry*>(realloc(m_entries, size * sizeof(CPathEntry)));
    if (!grown) {
      EngineOutOfMemory(576);
      return;
    }
    memset(static_cast<void*>(grown + m_size), 0, (size - m_size) * sizeof(CPathEntry));
    m_entries = grown;
    m_size = static_cast<uint32_t>(size);
  }
  CPathEntry& e = m_entries[visitor];
  if (e.count > 0 && SamePageText(e.hits[e.count - 1], record)) return;  // a reload
  if (static_cast<uint32_t>(e.count) == e.capacity) {
    uint32_t capacity = std::max<uint32_t>(4, 2 * e.capacity);
    auto* grown = static_cast<CHitRecord**>(realloc(e.hits, capacity * sizeof(CHitRecord*)));
    if (!grown) {
      EngineOutOfMemory(576);
      return;
    }
    e.hits = grown;
    e.capacity = capacity;
  }
  if (e.count == 0) {
    e.visitor = visitor;
    ++m_count;
    m_maxVisitor = std::max(m_maxVisitor, static_cast<int32_t>(visitor));
  }
  e.hits[e.count++] = record;
}

bool CPathList::PathText(uint32_t visitor, std::string* text) const {
  text->clear();
  const CPathEntry* e = FindVisitor(visitor);
  if (!e) return true;
  static const char kSeparator[] = " -> ";
  size_t length = 4 * static_cast<size_t>(e->count - 1);
  for (int32_t i = 0; i < e->count; ++i) length += strlen(PageOf(e->hits[i]));
  try {
    text->reserve(length);
    for (int32_t i = 0; i < e->count; ++i) {
      if (i) text->append(kSeparator);
      text->append(PageOf(e->hits[i]));
    }
  } catch (const std::bad_alloc&) {
    text->clear();
    return false;
  }
  return true;
}
