// The W3C extended log reader ("#Fields:" names the columns), with the page
// classification and client-address parsing that every reader shares, and the
// older IIS comma-separated line.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/store/hitstore.h"
#include "engine/store/project.h"

constexpr int kW3cMaxFields = 70;

// Per-file reader state: no fields declared, no default date.
void InitW3cReader();
void FreeW3cReader();

// Reads the lines of [block, end) with blank- or tab-separated columns. 1 at the
// block's end or on the stop flag; 0 when the reader is not prepared or no record
// could be reserved.
int ReadW3cLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks, const CIndexNames& index,
               bool blankSeparated);

// Handles the '#' line [line, lineEnd). 1 after a "#Fields:" line, else 0.
int ParseW3cDirective(const char* line, const char* lineEnd);
// Columns declared by the last "#Fields:" (trailing unknown columns not counted).
int W3cFieldCount();

// Finishes a record's page from the request text [page, page + len), which may
// hold a query: cuts it at the first '?' (setting the query flag), cuts a default
// document name, sets the page type from the groups and puts the query back
// unless ignore_argm is on. The text is rewritten in place when a default
// document is cut in front of a query. Fills g_line.page, pageLen, pageQueryLen.
void ClassifyRequestPage(CHitRecord* record, char* page, size_t len, const CGroupMaskList& masks,
                         const CIndexNames& index);

// The client column: a dotted IPv4 address (optionally ":port") becomes the
// record's address; anything else is kept as the line's host text.
void ParseIpAddress(const char* text, size_t len, CHitRecord* record);
// Keeps a non-numeric client as the line's host text.
void ParseHostName(CHitRecord* record, const char* text, size_t len);
// ParseIpAddress of a separate text of at most 10,000 characters; 0 for a null
// or longer text.
int ParseIpFromString(const char* text, CHitRecord* record);

// yyyy-mm-dd or yy-mm-dd ('/' for '-') filling the record's date; 0 when malformed.
int ParseW3cDate(const char* text, size_t len, CHitRecord* record);
// hh:mm:ss filling the record's seconds; 0 when malformed.
int ParseTimeOfDay(const char* text, size_t len, CHitRecord* record);

// The rest of an IIS comma-separated line after its client column ("client, user,
// date, time, service, server, server address, time taken, bytes received, bytes
// sent, status, Windows status, method, target, parameters,"). *cursor is just
// behind the client's ','. 1 when the line is complete, 0 when malformed.
int ParseIisLine(const CGroupMaskList& masks, CHitRecord* record, char** cursor, char* end,
                 const CIndexNames& index);
