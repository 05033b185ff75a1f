// The report as a plain-text table with '|'-separated fixed-width columns, and
// the same table twice (text and HTML) in an unsent multipart mail message.
#pragma once
#include <string>

#include "engine/query/queryparams.h"
#include "engine/query/rowtable.h"

// Output modes of the table writer.
constexpr int kTableText = 0;
constexpr int kTableHtml = 1;  // key texts escaped, some as links

// Writes the table of kind (title line first) into out. Kind 31 runs the summary
// query for params; kind 43 writes the raw rows in stored order. Returns 1.
int WriteReportTable(std::string& out, int kind, const CRowTable& table, int mode, const CQueryParams& params,
                     SortCompareFn compare);

// "Export..." first, then the file. 0 when the file cannot be opened (nothing
// further shown) or cannot be written (an error is reported); else 1 after
// "Export successful".
int ExportReportToText(const char* fileName, int kind, const CRowTable& table, const CQueryParams& params,
                       SortCompareFn compare);
// The mail message (CRLF line ends, both parts quoted-printable). 0 when the file
// cannot be opened (nothing shown) or written (an error is reported), else 1.
int ExportReportToMail(const char* fileName, int kind, const CRowTable& table, const CQueryParams& params,
                       SortCompareFn compare);

// Where the e-mail command writes its message: "TVNletter.eml" in the private
// temporary folder; empty when that folder is refused.
std::string MailMessagePath();

inline int MaxInt(int a, int b) { return a > b ? a : b; }
