// What a report query counts: status, spider and agent switches, file-type
// groups, a date range and the drill-down levels in force.
#pragma once
#include <cstdint>

#include "engine/query/levelfilter.h"

constexpr int kMaxQueryLevels = 6;

// Several rows chosen at one level: a hit passes the level when it matches any.
struct CLevelAlternatives {
  int32_t count = 0;
  CLevelFilter* filters = nullptr;
};

struct CQueryParams {
  uint32_t errorsOn = 1;   // hits with an error status (400-599)
  uint32_t successOn = 1;  // hits with other statuses
  uint32_t spidersOn = 1;
  uint32_t kind = 0;  // set by RunQuery
  uint32_t humansOn = 1;
  // Agent classes of the browser table (0 browsers, 1 download managers, other).
  // On by default so that a block nobody set counts every agent.
  uint32_t browserClass0On = 1;
  uint32_t browserClass1On = 1;
  uint32_t unused1 = 0;
  uint32_t otherAgentsOn = 1;
  uint32_t groupOn[9] = {1, 1, 1, 1, 1, 1, 1, 1, 0};  // slot 8: hits in no group
  uint32_t dateFromOn = 0;
  uint32_t dateToOn = 0;
  uint32_t dateFrom = 0;  // packed date
  uint32_t unused2 = 0;
  uint32_t dateTo = 0;
  uint32_t unused3 = 0;
  int32_t levelCount = 0;
  CLevelFilter levels[kMaxQueryLevels];
  CLevelAlternatives alternatives[kMaxQueryLevels];
};
