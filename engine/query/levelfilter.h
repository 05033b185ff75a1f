// Drill-down level filters: each level of a drill-down keeps the row the user
// chose as a copy of the row's representative record, and a query keeps only
// the hits that the level's kind would have gathered into that row. For the
// path kinds (the Path report and the path-building pass) a level is first
// tested against the whole visit of the hit.
#pragma once
#include <cstdint>
#include <cstring>

#include "engine/store/hitstore.h"

struct CLevelFilter {
  int32_t rowFlags = 0;  // navigation: the chosen row's low six flag bits, -1 for none
  uint32_t kind = 0;     // the report kind of the level
  uint32_t value = 0;    // kinds 10 and 13: the hour, the day of the week
  const char* text = nullptr;  // kinds 7, 8, 9 and 39: the country, OS or browser text
  uint32_t index = 0;          // the search-engine or robot table index of the row
  uint8_t record[CHitRecord::kMaxSize] = {};  // the whole representative record

  const CHitRecord* Record() const { return reinterpret_cast<const CHitRecord*>(record); }
  bool operator==(const CLevelFilter&) const = default;
};

// The level of a kind for the row whose representative record is given: the
// record copied whole, and the kind's key taken from it.
CLevelFilter MakeLevelFilter(uint32_t kind, const CHitRecord* record, int32_t rowFlags = 0);

// Tests a hit of a query of kind `kind` against one level: 0 the hit fails, 1 it
// passes, 2 it passes and the remaining levels are not tested. In the path-
// building pass (kind 41) a level of a path kind first adds the hit to its
// visitor's path (g_pathList).
int LevelFilterMatches(int kind, const CLevelFilter& filter, CHitRecord* record);
// The visit test of the path kinds. False when it takes no decision; true when
// it does, with *result 0 when the visit matches the level, else not 0.
bool PathLevelMatches(int kind, const CHitRecord* record, const CLevelFilter& filter, int32_t* result);
// The query kind is 24 or 41 and the level is one the path-building pass
// records in the path before testing (1, 3, 4, 5, 6, 11, 12, 16, 17, 32).
bool IsPathFilterKind(int kind, const CLevelFilter& filter);

// Pages byte for byte; for kind 30 with ignore_argm off a page carrying the
// query flag counts up to its '?'.
int ComparePagesForKind(int kind, const CHitRecord* a, const CHitRecord* b);
// The visits' paths (g_pathList) page by page, the longer path first; hits of
// one visitor, and visitors without a path, are equal.
int CompareRecordsByPath(const CHitRecord* a, const CHitRecord* b);
// The subdomain texts, a missing one taken as "-".
int CompareRecordsBySubdomain(const CHitRecord* a, const CHitRecord* b);
