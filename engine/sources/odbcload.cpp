#include "engine/sources/odbcload.h"

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/logread.h"
#include "engine/readers/w3creader.h"

namespace {

bool Empty(const char* text) { return !text || !*text; }

// The keys in the order in which they claim a column whose name equals several.
struct RoleKey {
  OdbcRole role;
  char* CLogSource::*key;
};
constexpr RoleKey kRoleKeys[] = {
    {OdbcRole::kHost, &CLogSource::db_host},       {OdbcRole::kPage, &CLogSource::db_page},
    {OdbcRole::kReferrer, &CLogSource::db_refer},  {OdbcRole::kAgent, &CLogSource::db_usera},
    {OdbcRole::kCookie, &CLogSource::db_cookie},   {OdbcRole::kDate, &CLogSource::db_date},
    {OdbcRole::kSize, &CLogSource::db_size},       {OdbcRole::kSizeReceived, &CLogSource::db_sizer},
    {OdbcRole::kStatus, &CLogSource::db_status},   {OdbcRole::kMethod, &CLogSource::db_met},
};

void TrimTrailingBlanks(std::string* text) {
  size_t n = text->size();
  while (n > 0 && (*text)[n - 1] == ' ') --n;
  text->resize(n);
}

// A number of bytes or a status from a text of decimal digits, an integer or a
// float (truncated); negatives give 0 and values beyond 32 bits the largest.
bool NumberOf(const tv::OdbcValue& v, uint32_t* out) {
  constexpr uint32_t kMax = 0xFFFFFFFFu;
  switch (v.type) {
    case tv::OdbcType::Text: {
      const char* p = v.text.c_str();
      while (*p == ' ' || *p == '\t') ++p;
      if (*p == '+') ++p;
      uint64_t n = 0;
      for (; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + static_cast<unsigned>(*p - '0');
        if (n > kMax) n = kMax + 1ull;  // stays above the limit without overflowing
      }
      *out = n > kMax ? kMax : static_cast<uint32_t>(n);
      return true;
    }
    case tv::OdbcType::Integer:
      *out = v.integer < 0 ? 0 : v.integer > static_cast<int64_t>(kMax) ? kMax : static_cast<uint32_t>(v.integer);
      return true;
    case tv::OdbcType::Real:
      // Also NaN gives 0: converting an out-of-range float is undefined.
      *out = !(v.real >= 0) ? 0 : v.real >= 4294967295.0 ? kMax : static_cast<uint32_t>(v.real);
      return true;
    default:
      return false;
  }
}

void ConvertByRole(CHitRecord* record, OdbcRole role, tv::OdbcValue* value, const CGroupMaskList& masks,
                   const CIndexNames& index) {
  if (value->null) return;
  const tv::OdbcType type = value->type;
  std::string& text = value->text;
  uint32_t number = 0;
  switch (role) {
    case OdbcRole::kNone:
      return;
    case OdbcRole::kHost:
      if (type == tv::OdbcType::Text) {
        TrimTrailingBlanks(&text);
        ParseIpFromString(text.c_str(), record);
      } else if (type == tv::OdbcType::Integer) {
        // A 32-bit address, whether the table keeps it signed or unsigned.
        record->SetAddress(static_cast<uint32_t>(value->integer));
        g_line.host = nullptr;
        g_line.hostLen = 0;
      }
      return;
    case OdbcRole::kPage:
      if (type != tv::OdbcType::Text) return;
      TrimTrailingBlanks(&text);
      if (!text.empty()) ClassifyRequestPage(record, text.data(), text.size(), masks, index);
      return;
    case OdbcRole::kReferrer:
      if (type != tv::OdbcType::Text) return;
      g_line.referrer = text.data();
      g_line.referrerLen = text.size();
      return;
    case OdbcRole::kAgent:
      if (type != tv::OdbcType::Text) return;
      g_line.agent = text.data();
      g_line.agentLen = text.size();
      return;
    case OdbcRole::kCookie:
      if (type != tv::OdbcType::Text) return;
      g_line.cookie = text.data();
      g_line.cookieLen = text.size();
      return;
    case OdbcRole::kDate: {
      if (type != tv::OdbcType::Timestamp) return;
      const tv::OdbcTimestamp& t = value->timestamp;
      unsigned year = t.year < 0 ? 0 : static_cast<unsigned>(t.year);
      record->SetDate(t.day, t.month, year);
      // The commit repairs what no clock shows; only keep the sum from wrapping.
      unsigned h = t.hour > 99 ? 99 : t.hour, m = t.minute > 99 ? 99 : t.minute, s = t.second > 99 ? 99 : t.second;
      record->SetSeconds(h * 3600 + m * 60 + s);
      return;
    }
    case OdbcRole::kSize:
      if (NumberOf(*value, &number)) record->SetBytesSent(number);
      return;
    case OdbcRole::kSizeReceived:
      if (NumberOf(*value, &number)) g_line.bytesReceived = number;
      return;
    case OdbcRole::kStatus:
      if (NumberOf(*value, &number)) g_line.status = static_cast<uint16_t>(number);
      return;
    case OdbcRole::kMethod:
      if (type != tv::OdbcType::Text) return;
      TrimTrailingBlanks(&text);
      if (text.empty()) return;
      if (text[0] == 'P') record->SetFlags(record->Flags() | kHitPost);
      else if (text[0] == 'H') record->SetFlags(record->Flags() | kHitHead);
      return;
  }
}

int ReportDatabaseError(const tv::OdbcError& error) {
  char text[4096];
  snprintf(text, sizeof text, "Error: %s\nState: %s\n", error.message.c_str(), error.state.c_str());
  EngineInfo(text);
  EngineError(text);
  return 0;
}

bool IsNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#' || c == '@' || c >= 0x80;
}

// Tells the user once which keys name no column of the table and whether the
// date column holds no dates, since either silently loses data.
void ReportColumnMismatches(const CLogSource& source, const char* table, const std::vector<tv::OdbcColumn>& columns,
                            const std::vector<OdbcRole>& roles) {
  std::string missing;
  for (const RoleKey& rk : kRoleKeys) {
    const char* key = source.*rk.key;
    if (Empty(key)) continue;
    bool found = false;
    for (const tv::OdbcColumn& c : columns)
      if (strcasecmp(c.name.c_str(), key) == 0) found = true;
    if (found) continue;
    if (!missing.empty()) missing += ", ";
    missing += '\'';
    missing += key;
    missing += '\'';
  }
  if (!missing.empty()) EngineErrorF("ODBC table '%s' has no column %s", table, missing.c_str());
  for (size_t i = 0; i < columns.size(); ++i)
    if (roles[i] == OdbcRole::kDate && columns[i].type != tv::OdbcType::Timestamp)
      EngineErrorF("ODBC column '%s' of table '%s' holds no dates", columns[i].name.c_str(), table);
}

}  // namespace

char* TrimTrailingBlanks(char* text) {
  if (!text) return text;
  size_t n = strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = 0;
  return text;
}

bool IsDateInFilterRange(const tv::OdbcTimestamp& date, uint32_t fromDate, uint32_t toDate) {
  uint32_t year = date.year < 0 ? 0 : static_cast<uint32_t>(date.year) & 0xFFFF;
  uint32_t packed = (date.day & 0xFF) | ((date.month & 0xFF) << 8) | (year << 16);
  if (fromDate && packed < fromDate) return false;
  if (toDate && packed > toDate) return false;
  return true;
}

bool IsPlainTableName(const char* name) {
  if (!name) return false;
  int parts = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
  for (;;) {
    const unsigned char* start = p;
    while (IsNameByte(*p)) ++p;
    if (p == start) return false;
    ++parts;
    if (*p == 0) return true;
    if (*p != '.' || parts == 2) return false;
    ++p;
  }
}

OdbcRole OdbcColumnRole(const CLogSource& keys, const char* name) {
  if (!name) return OdbcRole::kNone;
  for (const RoleKey& rk : kRoleKeys) {
    const char* key = keys.*rk.key;
    if (!Empty(key) && strcasecmp(key, name) == 0) return rk.role;
  }
  return OdbcRole::kNone;
}

void ConvertOdbcField(CHitRecord* record, const CLogSource& keys, const tv::OdbcColumn& column, tv::OdbcValue* value,
                      const CGroupMaskList& masks, const CIndexNames& index) {
  ConvertByRole(record, OdbcColumnRole(keys, column.name.c_str()), value, masks, index);
}

int LoadOdbcTable(CLogSource* source, const CGroupMaskList& masks, uint32_t fromDate, uint32_t toDate,
                  const CIndexNames& index) {
  EngineInfo("Loading ODBC data...");
  // Rules that belong to the format of the last log file read do not apply here.
  g_logFormat = nullptr;
  if (!source || Empty(source->db_dns) || Empty(source->db_table)) {
    EngineError("An ODBC log source needs a data source name and a table name");
    return 0;
  }
  // The name goes into the query as it stands, so nothing but a name may pass.
  std::string table = source->db_table;
  while (!table.empty() && table.front() == ' ') table.erase(0, 1);
  TrimTrailingBlanks(&table);
  if (!IsPlainTableName(table.c_str())) {
    std::string shown = source->db_table;
    for (char& c : shown)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    EngineErrorF(
        "ODBC table name '%s' refused: only a name or schema.name of letters, digits, '_', '$', '#' and '@' is accepted",
        shown.c_str());
    return 0;
  }

  tv::OdbcError error;
  std::unique_ptr<tv::OdbcConnection> db =
      tv::OdbcConnection::Open(source->db_dns, source->user ? source->user : "", source->psw ? source->psw : "",
                               &error);
  if (!db) return ReportDatabaseError(error);
  std::unique_ptr<tv::OdbcQuery> query = db->Query("SELECT * FROM " + table, &error);
  if (!query) return ReportDatabaseError(error);

  const std::vector<tv::OdbcColumn>& columns = query->Columns();
  std::vector<OdbcRole> roles(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) roles[i] = OdbcColumnRole(*source, columns[i].name.c_str());
  ReportColumnMismatches(*source, table.c_str(), columns, roles);
  const bool period = fromDate != 0 || toDate != 0;
  // The texts of a row live here until its commit.
  std::vector<tv::OdbcValue> values(columns.size());
  CHitStore* store = &source->records;

  for (;;) {
    if (StopRequested()) break;
    int fetched = query->Fetch(&error);
    if (fetched == 0) break;
    if (fetched < 0) return ReportDatabaseError(error);
    CHitRecord* rec = store->NewRecord();
    if (!rec) return 0;  // reported by the store
    bool drop = false;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (roles[i] == OdbcRole::kNone) continue;
      const bool dated = roles[i] == OdbcRole::kDate && period;
      // A row without a date has no place in a period.
      if (dated && columns[i].type != tv::OdbcType::Timestamp) {
        drop = true;
        break;
      }
      if (columns[i].type == tv::OdbcType::Other) continue;
      if (!query->Get(i, &values[i], &error)) return ReportDatabaseError(error);
      if (dated && (values[i].null || !IsDateInFilterRange(values[i].timestamp, fromDate, toDate))) {
        drop = true;
        break;
      }
      ConvertByRole(rec, roles[i], &values[i], masks, index);
    }
    if (!drop && g_line.page && g_line.pageQueryLen > 0) CommitLogLine(store);
  }
  EngineInfo("");
  return 1;
}
