// The report as a comma-separated file, and raw hit records one per line.
#pragma once
#include <string>

#include "engine/query/queryparams.h"
#include "engine/query/rowtable.h"
#include "engine/query/summary.h"
#include "engine/store/hitstore.h"
#include "engine/store/project.h"

// Appends text (as AppendPlainText: UTF-8, controls as blanks) in double
// quotes; a double quote inside is doubled.
void AppendCsvField(std::string& out, const char* text);
// The same for a text taken from a log: one that starts with '=', '+', '-', '@',
// a tab or a CR gets a leading apostrophe, so a spreadsheet shows it as text
// and never runs it as a formula.
void AppendCsvLogField(std::string& out, const char* text);

// The header line of kind (kind 43: the raw hit fields). Returns 1.
int WriteCsvHeader(std::string& out, int kind);
// The line of one hit record. Returns 1.
int WriteCsvRecord(std::string& out, const CHitRecord* record);

// Kind 31 writes the general statistics (summary, when given, is used as it is;
// otherwise the summary query runs for params); kind 43 the raw hits of the
// rows; every other kind its rows in the comparator's order. 0 when the file
// cannot be opened (nothing shown) or written (an error is reported), else 1.
int ExportReportToCsv(const char* fileName, int kind, const CRowTable& table, const CQueryParams& params,
                      SortCompareFn compare, const CSummaryStats* summary = nullptr);

// The raw-hit header, then every hit of every log source of the project.
// 1 written, 0 failed (reported unless the file cannot be made), 2 stopped by
// the stop flag: then no file is left and an older one is untouched.
int ExportAllHitsToCsv(const char* fileName, CProject& project);
