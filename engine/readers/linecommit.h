// The line commit: every reader hands each parsed line here. It repairs the date,
// applies the date range and the workspace filters, classifies robots and
// search-engine referrals, interns the texts, shifts the time zone and appends
// the record, or drops the line.
#pragma once
#include <cstdint>

#include "engine/store/hitstore.h"
#include "engine/store/project.h"

// Completes the store's current record from its fields and g_line and appends
// it, or drops the line (the record is then reused). A store without a current
// record is left alone.
void CommitLogLine(CHitStore* store);

// Drops "-" and empty texts of g_line, then sets the robot or search-engine flag
// and index of the record.
void ClassifyLogLine(CHitRecord* record);

// Tells through the message sink about each workspace filter that the commit
// skips (a text filter without text, an unknown type) or that can match no
// line (a reversed range, a method filter without a method). Returns how many.
int ReportUnusableFilters(const CFilterList& filters);

// Start of a load: no previous year, no previous cookie, single cookie so far.
void ResetCommitState();
// True while every committed line of the load carried the same cookie as the one
// before it (read by the visitor pass).
bool LoadHasSingleCookie();
