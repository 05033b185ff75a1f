#include "engine/store/hitstore.h"

#include "base/msgsink.h"
#include "base/textutil.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>

CLineValues g_line;

void CHitRecord::SetHostName(TextHandle h) {
  unsigned m = PresentMask();
  if (!(m & (1u << 3))) return;
  Put<uint32_t>(kHeadSize + 4 * static_cast<size_t>(Bits(m & 7u)), h);
}

CHitStore::CHitStore(CHitStore&& o) noexcept { *this = std::move(o); }

CHitStore& CHitStore::operator=(CHitStore&& o) noexcept {
  if (this == &o) return *this;
  Free();
  m_chunks = std::move(o.m_chunks);
  m_chunkBytes = std::move(o.m_chunkBytes);
  m_used = o.m_used;
  m_reserved = o.m_reserved;
  m_cursor = o.m_cursor;
  m_ordinal = o.m_ordinal;
  m_buildPos = o.m_buildPos;
  m_building = o.m_building;
  m_cursorRec = o.m_cursorRec;
  m_lastPos = o.m_lastPos;
  m_count = o.m_count;
  ignoredLines = o.ignoredLines;
  headerLines = o.headerLines;
  o.m_chunks.clear();
  o.m_chunkBytes.clear();
  o.Init();
  return *this;
}

void CHitStore::Init() {
  m_chunks.clear();
  m_chunkBytes.clear();
  m_used = m_reserved = m_cursor = m_ordinal = m_buildPos = m_lastPos = 0;
  m_building = m_cursorRec = nullptr;
  m_count = 0;
  ignoredLines = headerLines = 0;
}

void CHitStore::Free() {
  for (uint8_t* c : m_chunks) free(c);
  m_chunks.clear();
  m_chunks.shrink_to_fit();
  m_chunkBytes.clear();
  m_chunkBytes.shrink_to_fit();
  Init();
}

size_t CHitStore::AllocatedBytes() const {
  size_t n = 0;
  for (uint32_t b : m_chunkBytes) n += b;
  return n;
}

CHitRecord* CHitStore::NewRecord() {
  memset(&g_line, 0, sizeof g_line);
  constexpr uint64_t M = CHitRecord::kMaxSize;
  uint64_t pos = m_used;
  size_t ci = static_cast<size_t>(pos / kChunkSize);
  // No record crosses a chunk's end: with fewer than M + 1 bytes left, go on in the next chunk.
  if (ci < m_chunks.size() && pos + M >= ChunkEnd(pos)) {
    pos = ChunkEnd(pos);
    ++ci;
  }
  auto fail = [this](int code) -> CHitRecord* {
    if (!StopRequested()) EngineOutOfMemory(code);
    RequestStop();
    m_count = 0;
    m_used = 0;
    m_building = nullptr;
    return nullptr;
  };
  if (ci >= m_chunks.size()) {
    if (m_chunks.size() == m_chunks.capacity()) {
      try {
        m_chunks.reserve(m_chunks.capacity() + 64);
        m_chunkBytes.reserve(m_chunks.capacity());
      } catch (const std::bad_alloc&) {
        return fail(522);
      }
    }
    uint8_t* chunk = static_cast<uint8_t*>(malloc(kChunkSize));
    if (!chunk) return fail(533);
    m_chunks.push_back(chunk);
    m_chunkBytes.push_back(kChunkSize);
  } else if (m_chunkBytes[ci] < kChunkSize) {
    // Appending after a trim: give the chunk its full size back.
    uint8_t* grown = static_cast<uint8_t*>(realloc(m_chunks[ci], kChunkSize));
    if (!grown) return fail(533);
    m_chunks[ci] = grown;
    m_chunkBytes[ci] = kChunkSize;
  }
  m_reserved = pos + M;
  m_buildPos = pos;
  m_building = reinterpret_cast<CHitRecord*>(At(pos));
  memset(m_building, 0, CHitRecord::kHeadSize);
  return m_building;
}

void CHitStore::CommitCurrent() {
  if (!m_building) return;
  m_used = m_buildPos + m_building->GetSize();
  m_lastPos = m_buildPos;
  m_building = nullptr;
  ++m_count;
}

void CHitStore::Trim() {
  m_building = nullptr;
  if (m_chunks.empty()) return;
  size_t ci = m_chunks.size() - 1;
  uint64_t start = static_cast<uint64_t>(ci) * kChunkSize;
  uint64_t keep = (m_used > start ? m_used - start : 0) + 24;
  if (keep >= m_chunkBytes[ci]) return;
  uint8_t* shrunk = static_cast<uint8_t*>(realloc(m_chunks[ci], keep));
  if (!shrunk) {
    if (!StopRequested()) EngineOutOfMemory(564);
    RequestStop();
    m_count = 0;
    return;
  }
  m_chunks[ci] = shrunk;
  m_chunkBytes[ci] = static_cast<uint32_t>(keep);
}

CHitRecord* CHitStore::First() {
  m_cursor = 0;
  m_ordinal = 0;
  m_cursorRec = m_count ? reinterpret_cast<CHitRecord*>(At(0)) : nullptr;
  return m_cursorRec;
}

CHitRecord* CHitStore::Next() {
  if (!m_cursorRec || m_ordinal + 1 >= m_count) return m_cursorRec = nullptr;
  m_cursor += m_cursorRec->GetSize();
  if (m_cursor + CHitRecord::kMaxSize >= ChunkEnd(m_cursor)) m_cursor = ChunkEnd(m_cursor);
  ++m_ordinal;
  m_cursorRec = reinterpret_cast<CHitRecord*>(At(m_cursor));
  return m_cursorRec;
}

void ParseIndexNames(const char* text, CIndexNames* table) {
  table->count = 0;
  if (!text) return;
  std::string copy(text);  // the setting itself stays as the user wrote it
  for (char& c : copy)
    if (c == ',') c = ';';
  size_t start = 0;
  while (start <= copy.size() && table->count < CIndexNames::kMaxNames) {
    size_t end = copy.find(';', start);
    if (end == std::string::npos) end = copy.size();
    std::string piece = copy.substr(start, end - start);
    char* name = TrimSpaces(piece.data());
    size_t len = strlen(name);
    if (len > 0) {
      if (len > CIndexNames::kMaxNameLen) len = CIndexNames::kMaxNameLen;
      CIndexNames::Slot& slot = table->slots[table->count++];
      memcpy(slot.name, name, len);
      slot.name[len] = 0;
      slot.length = static_cast<int32_t>(len);
    }
    start = end + 1;
  }
}

size_t CutIndexName(const char* page, size_t len, const CIndexNames& table) {
  for (int i = 0; i < table.count; ++i) {
    size_t n = static_cast<size_t>(table.slots[i].length);
    if (n == 0 || len < n + 1) continue;
    if (page[len - n - 1] == '/' && strncasecmp(page + len - n, table.slots[i].name, n) == 0) return len - n;
  }
  return len;
}
