// The general statistics: one record of totals and distinct counts over every
// hit of the project, made in a single pass.
#pragma once
#include <cstdint>
#include <string>

#include "engine/query/queryparams.h"
#include "engine/store/project.h"

struct CSummaryStats {
  uint64_t bytesSent = 0;
  uint64_t bytesReceived = 0;
  CQueryParams params;  // of the run
  uint32_t hosts = 0;
  uint32_t hits = 0;
  uint32_t visitors = 0;
  uint32_t pages = 0;
  uint32_t errors = 0;
  uint32_t keywords = 0;
  uint32_t searchEngines = 0;
  uint32_t spiders = 0;
  uint32_t referringSites = 0;
  uint32_t countries = 0;
  uint32_t referrers = 0;
  uint32_t entryPages = 0;
  uint32_t unused = 0;
  uint32_t pageViews = 0;
  uint32_t firstDate = 0;
  uint32_t firstTime = 0;
  uint32_t lastDate = 0;
  uint32_t lastTime = 0;
  // What the held result was made from (empty: none).
  std::string cacheKey;
};

// 0 when stats already holds the result of these parameters (the levels play
// no part), 1 after a run.
int RunSummaryQuery(CProject& project, CSummaryStats& stats, const CQueryParams& params);

// The summary's keyword comparator: keyword texts of at most 200 characters,
// case-sensitive only with case_kwd on.
int CompareRecordsByKeywordText(const CHitRecord* a, const CHitRecord* b);
