// The query engine: turns the hit records of every log source into the rows of
// one report kind, with distinct visitors and pages per row and up to five
// extra distinct-count columns.
#pragma once
#include <cstdint>
#include <string>

#include "engine/query/queryparams.h"
#include "engine/query/rowtable.h"
#include "engine/store/hitstore.h"
#include "engine/store/project.h"

// Fills table with the rows of kind. extraKinds: up to five pair key kinds
// (1-7, kPair...), ended by 0 or by the fifth entry; null for none. Returns 0
// when the table already held this result (nothing done), 1 after a run.
int RunQuery(CProject& project, int kind, CRowTable& table, const CQueryParams& params,
             const uint32_t* extraKinds = nullptr);

// The per-kind test of a hit and the common filter.
bool RecordMatchesKind(int kind, const CHitRecord* record, const CQueryParams& params);
// Every spider hit of the store inside the enabled date limits becomes a row.
void WalkRecordsInPeriod(CHitStore& store, CRowTable& table, const CQueryParams& params);

// Comparators of the report kinds: negative, zero or positive. A missing value
// (no referrer, no agent, ...) sorts after every present one.
int CompareRecordsByPage(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByReferrer(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByKeyword(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsBySearchEngine(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByReferringSite(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByCountry(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByOperatingSystem(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByBrowser(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByHour(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByWeekday(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByGroup(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByFileType(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByFolder(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByReferringDomain(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByMonth(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByCity(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByRegion(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByUserName(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByStatus(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByDate(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByArguments(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByReferrerType(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsByError(const CHitRecord* a, const CHitRecord* b);
int CompareRecordsBySpider(const CHitRecord* a, const CHitRecord* b);
// The comparator of a kind, null for the kinds without aggregation.
using QueryCompareFn = int (*)(const CHitRecord* a, const CHitRecord* b);
QueryCompareFn QueryComparatorOf(int kind);

// Internal to the engine: what every cached result of the given parameters
// depends on besides the levels (the options held outside the block, the loaded
// records). Shared with the summary query.
void AppendQueryOptionsKey(std::string& key, const CQueryParams& params);
