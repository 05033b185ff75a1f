#include "platform/odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace tv {
namespace {

// The first diagnostic record of the handle, or a text of our own when the
// driver left none.
void Diagnose(SQLSMALLINT type, SQLHANDLE handle, SQLRETURN rc, OdbcError* error) {
  if (!error) return;
  error->message.clear();
  error->state.clear();
  if (handle) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    std::string msg(512, '\0');
    SQLRETURN r = SQLGetDiagRec(type, handle, 1, state, &native, reinterpret_cast<SQLCHAR*>(msg.data()),
                                static_cast<SQLSMALLINT>(msg.size()), &len);
    if (SQL_SUCCEEDED(r) && len >= static_cast<SQLSMALLINT>(msg.size()) && len < 32767) {
      msg.assign(static_cast<size_t>(len) + 1, '\0');
      r = SQLGetDiagRec(type, handle, 1, state, &native, reinterpret_cast<SQLCHAR*>(msg.data()),
                        static_cast<SQLSMALLINT>(msg.size()), &len);
    }
    if (SQL_SUCCEEDED(r)) {
      msg.resize(strnlen(msg.c_str(), msg.size()));
      error->message = msg;
      error->state.assign(reinterpret_cast<const char*>(state), strnlen(reinterpret_cast<const char*>(state), 5));
      return;
    }
  }
  error->message = rc == SQL_INVALID_HANDLE ? "Invalid ODBC handle" : "ODBC call failed without a diagnostic";
}

void Fail(OdbcError* error, const char* message, const char* state) {
  if (!error) return;
  error->message = message;
  error->state = state;
}

// A connect-string value: in braces when it holds a character that the
// attribute syntax gives a meaning (a '}' inside is doubled).
bool AppendAttribute(std::string* out, const char* key, const std::string& value) {
  for (unsigned char c : value)
    if (c < 0x20 || c == 0x7F) return false;
  bool brace = !value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                                  value.find_first_of("[]{}(),;?*=!@") != std::string::npos);
  *out += key;
  *out += '=';
  if (!brace) {
    *out += value;
  } else {
    *out += '{';
    for (char c : value) {
      *out += c;
      if (c == '}') *out += '}';
    }
    *out += '}';
  }
  *out += ';';
  return true;
}

OdbcType TypeOf(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return OdbcType::Text;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return OdbcType::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return OdbcType::Real;
    case SQL_DATE:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
      return OdbcType::Timestamp;
    default:
      return OdbcType::Other;
  }
}

}  // namespace

std::unique_ptr<OdbcConnection> OdbcConnection::Open(const std::string& dsn, const std::string& user,
                                                     const std::string& password, OdbcError* error) {
  std::string connect;
  if (!AppendAttribute(&connect, "DSN", dsn) || (!user.empty() && !AppendAttribute(&connect, "UID", user)) ||
      (!password.empty() && !AppendAttribute(&connect, "PWD", password))) {
    Fail(error, "Control character in the data source name, user name or password", "HY000");
    return nullptr;
  }
  std::unique_ptr<OdbcConnection> c(new (std::nothrow) OdbcConnection);
  if (!c) {
    Fail(error, "Out of memory", "HY001");
    return nullptr;
  }
  SQLHANDLE env = SQL_NULL_HANDLE, dbc = SQL_NULL_HANDLE;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  if (!SQL_SUCCEEDED(rc)) {
    Fail(error, "Cannot start the ODBC driver manager", "HY001");
    return nullptr;
  }
  c->m_env = env;
  rc = SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(rc)) {
    Diagnose(SQL_HANDLE_ENV, env, rc, error);
    return nullptr;
  }
  rc = SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  if (!SQL_SUCCEEDED(rc)) {
    Diagnose(SQL_HANDLE_ENV, env, rc, error);
    return nullptr;
  }
  c->m_dbc = dbc;
  // A hint: drivers that cannot open read-only may ignore it.
  SQLSetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
  SQLSMALLINT outLen = 0;
  rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()), SQL_NTS, nullptr, 0, &outLen,
                        SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    Diagnose(SQL_HANDLE_DBC, dbc, rc, error);
    return nullptr;
  }
  c->m_connected = true;
  return c;
}

OdbcConnection::~OdbcConnection() {
  if (m_connected) SQLDisconnect(m_dbc);
  if (m_dbc) SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
  if (m_env) SQLFreeHandle(SQL_HANDLE_ENV, m_env);
}

std::unique_ptr<OdbcQuery> OdbcConnection::Query(const std::string& sql, OdbcError* error) {
  std::unique_ptr<OdbcQuery> q(new (std::nothrow) OdbcQuery);
  if (!q) {
    Fail(error, "Out of memory", "HY001");
    return nullptr;
  }
  SQLHANDLE stmt = SQL_NULL_HANDLE;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
  if (!SQL_SUCCEEDED(rc)) {
    Diagnose(SQL_HANDLE_DBC, m_dbc, rc, error);
    return nullptr;
  }
  q->m_stmt = stmt;
  // Both are the defaults; asked for anyway so that no driver builds a keyset.
  SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 0);
  std::string text = sql;
  rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    Diagnose(SQL_HANDLE_STMT, stmt, rc, error);
    return nullptr;
  }
  SQLSMALLINT count = 0;
  rc = SQLNumResultCols(stmt, &count);
  if (!SQL_SUCCEEDED(rc)) {
    Diagnose(SQL_HANDLE_STMT, stmt, rc, error);
    return nullptr;
  }
  try {
    q->m_columns.resize(static_cast<size_t>(count > 0 ? count : 0));
    for (SQLSMALLINT i = 0; i < count; ++i) {
      std::string name(256, '\0');
      SQLSMALLINT nameLen = 0, type = 0, decimals = 0, nullable = 0;
      SQLULEN size = 0;
      for (int attempt = 0; attempt < 2; ++attempt) {
        rc = SQLDescribeCol(stmt, static_cast<SQLUSMALLINT>(i + 1), reinterpret_cast<SQLCHAR*>(name.data()),
                            static_cast<SQLSMALLINT>(name.size()), &nameLen, &type, &size, &decimals, &nullable);
        if (!SQL_SUCCEEDED(rc)) {
          Diagnose(SQL_HANDLE_STMT, stmt, rc, error);
          return nullptr;
        }
        if (nameLen < static_cast<SQLSMALLINT>(name.size()) || nameLen >= 32767) break;
        name.assign(static_cast<size_t>(nameLen) + 1, '\0');
      }
      name.resize(strnlen(name.c_str(), name.size()));
      OdbcColumn& col = q->m_columns[static_cast<size_t>(i)];
      col.name = name;
      col.sqlType = type;
      col.type = TypeOf(type);
    }
  } catch (const std::bad_alloc&) {
    Fail(error, "Out of memory", "HY001");
    return nullptr;
  }
  return q;
}

OdbcQuery::~OdbcQuery() {
  if (m_stmt) {
    SQLFreeStmt(m_stmt, SQL_CLOSE);
    SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
  }
}

int OdbcQuery::Fetch(OdbcError* error) {
  SQLRETURN rc = SQLFetch(m_stmt);
  if (rc == SQL_NO_DATA) return 0;
  if (SQL_SUCCEEDED(rc)) return 1;
  Diagnose(SQL_HANDLE_STMT, m_stmt, rc, error);
  return -1;
}

bool OdbcQuery::Get(size_t column, OdbcValue* value, OdbcError* error) {
  value->null = true;
  value->text.clear();
  if (column >= m_columns.size()) {
    Fail(error, "Invalid column number", "07009");
    return false;
  }
  value->type = m_columns[column].type;
  SQLUSMALLINT n = static_cast<SQLUSMALLINT>(column + 1);
  SQLLEN ind = 0;
  SQLRETURN rc = SQL_SUCCESS;
  switch (value->type) {
    case OdbcType::Other:
      return true;
    case OdbcType::Integer: {
      SQLBIGINT v = 0;
      rc = SQLGetData(m_stmt, n, SQL_C_SBIGINT, &v, sizeof v, &ind);
      value->integer = v;
      break;
    }
    case OdbcType::Real: {
      SQLDOUBLE v = 0;
      rc = SQLGetData(m_stmt, n, SQL_C_DOUBLE, &v, sizeof v, &ind);
      value->real = v;
      break;
    }
    case OdbcType::Timestamp: {
      SQL_TIMESTAMP_STRUCT t = {};
      rc = SQLGetData(m_stmt, n, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
      value->timestamp = {t.year, t.month, t.day, t.hour, t.minute, t.second};
      break;
    }
    case OdbcType::Text: {
      // Read in pieces until the driver has given all: a long text arrives whole.
      char buf[4096];
      try {
        for (;;) {
          rc = SQLGetData(m_stmt, n, SQL_C_CHAR, buf, sizeof buf, &ind);
          if (rc == SQL_NO_DATA) {
            rc = SQL_SUCCESS;
            break;
          }
          if (!SQL_SUCCEEDED(rc) || ind == SQL_NULL_DATA) break;
          bool more = rc == SQL_SUCCESS_WITH_INFO &&
                      (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf));
          size_t got = more ? sizeof buf - 1
                  : ind >= 0 ? std::min(static_cast<size_t>(ind), sizeof buf - 1) : strnlen(buf, sizeof buf - 1);
          value->text.append(buf, got);
          value->null = false;
          if (!more) break;
        }
      } catch (const std::bad_alloc&) {
        value->text.clear();
        value->text.shrink_to_fit();
        Fail(error, "Out of memory", "HY001");
        return false;
      }
      if (!SQL_SUCCEEDED(rc)) {
        Diagnose(SQL_HANDLE_STMT, m_stmt, rc, error);
        return false;
      }
      value->null = ind == SQL_NULL_DATA;
      return true;
    }
  }
  if (!SQL_SUCCEEDED(rc)) {
    Diagnose(SQL_HANDLE_STMT, m_stmt, rc, error);
    return false;
  }
  value->null = ind == SQL_NULL_DATA;
  return true;
}

std::vector<std::string> OdbcDataSources() {
  std::vector<std::string> names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[256];
  SQLCHAR description[256];
  SQLSMALLINT nameLen = 0, descriptionLen = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    SQLRETURN rc = SQLDataSources(env, direction, name, sizeof name, &nameLen, description, sizeof description,
                                  &descriptionLen);
    if (!SQL_SUCCEEDED(rc)) break;
    std::string text(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), sizeof name));
    if (!text.empty()) names.push_back(std::move(text));
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace tv
