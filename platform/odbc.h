// A thin read-only layer over unixODBC: a connection to a data source named in
// the driver manager's configuration, and forward-only queries whose values are
// fetched column by column, in column order. Nothing here ever prompts (the
// caller may be a worker thread) and nothing here writes the credentials anywhere.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tv {

// The first diagnostic record of a failed call.
struct OdbcError {
  std::string message;
  std::string state;  // SQLSTATE, five characters
};

// How a column's values are fetched.
enum class OdbcType {
  Other,      // not fetched (binary, bit, interval, ...)
  Text,       // character types, and decimal and numeric as their digits
  Integer,    // tiny, small, 32-bit and 64-bit integers
  Real,       // single and double floats
  Timestamp,  // dates and timestamps (a date alone has midnight)
};

struct OdbcColumn {
  std::string name;
  int sqlType = 0;  // the driver's SQL type code
  OdbcType type = OdbcType::Other;
};

struct OdbcTimestamp {
  int year = 0;
  unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct OdbcValue {
  bool null = true;
  OdbcType type = OdbcType::Other;
  std::string text;  // Text, read whole however long
  int64_t integer = 0;
  double real = 0;
  OdbcTimestamp timestamp;
};

class OdbcQuery;

// The names of the data sources the driver manager knows (user and system),
// sorted, each once. Empty when there are none or the driver manager fails.
std::vector<std::string> OdbcDataSources();

class OdbcConnection {
 public:
  // Connects to the data source (empty user and password are left out of the
  // connect string), asking for read-only access. Null on failure, with *error.
  static std::unique_ptr<OdbcConnection> Open(const std::string& dsn, const std::string& user,
                                              const std::string& password, OdbcError* error);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Runs a statement on a forward-only, read-only cursor. Null on failure. The
  // connection must outlive the query.
  std::unique_ptr<OdbcQuery> Query(const std::string& sql, OdbcError* error);

 private:
  OdbcConnection() = default;
  void* m_env = nullptr;
  void* m_dbc = nullptr;
  bool m_connected = false;
};

class OdbcQuery {
 public:
  ~OdbcQuery();
  OdbcQuery(const OdbcQuery&) = delete;
  OdbcQuery& operator=(const OdbcQuery&) = delete;

  const std::vector<OdbcColumn>& Columns() const { return m_columns; }
  // Moves to the next row: 1, 0 after the last row, -1 on error.
  int Fetch(OdbcError* error);
  // Value of a column (from 0) of the current row. Columns are read in
  // increasing order, each at most once per row; those of type Other give null.
  bool Get(size_t column, OdbcValue* value, OdbcError* error);

 private:
  friend class OdbcConnection;
  OdbcQuery() = default;
  void* m_stmt = nullptr;
  std::vector<OdbcColumn> m_columns;
};

}  // namespace tv
