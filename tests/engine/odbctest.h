// ODBC test support: the SQLite ODBC driver and statements run on a
// connection of the test's own (which may write).
#pragma once
#include <glob.h>
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

namespace odbctest {

inline std::string SqliteDriver() {
  glob_t g;
  std::string found;
  for (const char* pattern : {"/usr/lib/*/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so",
                              "/usr/local/lib/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so"}) {
    if (glob(pattern, 0, nullptr, &g) == 0 && g.gl_pathc > 0) found = g.gl_pathv[0];
    globfree(&g);
    if (!found.empty()) break;
  }
  return found;
}

inline void ExecAll(const char* dsn, const std::vector<std::string>& statements) {
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)));
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc)));
  std::string connect = std::string("DSN=") + dsn + ";";
  ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()), SQL_NTS,
                                             nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)));
  for (std::string s : statements)
    EXPECT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(s.data()), SQL_NTS))) << s;
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

}  // namespace odbctest
