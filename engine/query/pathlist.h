// Every visit's click path: its hits in the order the query met them. Visitor
// numbers are dense (1, 2, 3, ...), so paths are indexed by visitor number.
#pragma once
#include <cstdint>
#include <string>

#include "engine/store/hitstore.h"

struct CPathEntry {
  uint32_t visitor;
  int32_t count;        // hits in the path
  uint32_t capacity;    // room in hits
  CHitRecord** hits;    // in path order
};

class CPathList {
 public:
  CPathList() = default;
  ~CPathList() { Clear(); }
  CPathList(const CPathList&) = delete;
  CPathList& operator=(const CPathList&) = delete;

  void Clear();

  // The visitor's path, null when it has none. Valid until the next AddHit or Clear.
  const CPathEntry* FindVisitor(uint32_t visitor) const {
    if (visitor >= m_size || m_entries[visitor].count == 0) return nullptr;
    return &m_entries[visitor];
  }
  // Appends the hit to its visitor's path, unless the path's last hit is on the
  // same page (a reload). Out of memory: reported, and the hit is not added.
  void AddHit(uint32_t visitor, CHitRecord* record);
  // The path's page texts joined by " -> "; empty for a visitor without a path.
  // False (and no text) when the text cannot be allocated.
  bool PathText(uint32_t visitor, std::string* text) const;

  int32_t Count() const { return m_count; }
  int32_t MaxVisitor() const { return m_maxVisitor; }

 private:
  CPathEntry* m_entries = nullptr;  // slot v holds visitor v
  uint32_t m_size = 0;              // slots allocated
  int32_t m_count = 0;              // visitors with a path
  int32_t m_maxVisitor = 0;
};

// The engine's one path list, refilled by every Path query.
extern CPathList g_pathList;
