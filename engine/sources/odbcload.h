// Log tables in ODBC data sources: every row of a source's table becomes one hit,
// its columns matched by name against the source's db_ keys, and goes through the
// same line commit as the lines of log files.
#pragma once
#include <cstdint>

#include "engine/store/hitstore.h"
#include "engine/store/project.h"
#include "platform/odbc.h"

enum class OdbcRole : uint8_t {
  kNone,
  kHost,
  kPage,
  kReferrer,
  kAgent,
  kCookie,
  kDate,
  kSize,
  kSizeReceived,
  kStatus,
  kMethod,
};

// The role of a table column: the first key, in the order host, page, referrer,
// user agent, cookie, date, bytes sent, bytes received, status, method, that
// equals the name ignoring case. Empty keys match nothing.
OdbcRole OdbcColumnRole(const CLogSource& keys, const char* name);

// Reads every row of the source's table (db_dns, db_table) into its store; the
// period (packed dates, 0 open) drops rows by the date column. 1 when the table
// was read to its end or a stop ended the read; 0 without a data source or
// table name, for a table name that is not a plain name, on a database error
// (the rows committed before it stay) or when no record could be reserved.
int LoadOdbcTable(CLogSource* source, const CGroupMaskList& masks, uint32_t fromDate, uint32_t toDate,
                  const CIndexNames& index);

// Stores one column's value by its role into the record and g_line; values of
// other types than the role takes are ignored. Texts stay in *value, which must
// live until the line is committed; the page text is rewritten in place.
void ConvertOdbcField(CHitRecord* record, const CLogSource& keys, const tv::OdbcColumn& column, tv::OdbcValue* value,
                      const CGroupMaskList& masks, const CIndexNames& index);

// Whether the date lies within the bounds (packed dates, 0 open; time ignored).
bool IsDateInFilterRange(const tv::OdbcTimestamp& date, uint32_t fromDate, uint32_t toDate);

// Cuts trailing ' ' in place (tabs stay). Returns text; null stays null.
char* TrimTrailingBlanks(char* text);

// Whether the text can go into a query unquoted as a table: a name or
// schema.name made of letters, digits, '_', '$', '#', '@' and bytes beyond ASCII.
bool IsPlainTableName(const char* name);
