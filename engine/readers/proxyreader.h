// Line parsers of the MS Proxy 2 and Squid access logs. They only read: the
// format detection runs them to recognise a log, the readers copy what they
// found into a record.
#pragma once
#include <cstddef>
#include <cstdint>

struct CMsProxyLine {
  uint32_t address = 0;  // first octet in the high byte
  const char* user = nullptr;
  size_t userLen = 0;
  const char* agent = nullptr;  // the client agent column
  size_t agentLen = 0;
  unsigned month = 0, day = 0, year = 0;  // a two-digit year as written
  uint32_t seconds = 0;
  uint32_t bytesSent = 0;
  uint32_t bytesReceived = 0;
  bool post = false, head = false;
  const char* url = nullptr;  // with its scheme and host
  size_t urlLen = 0;
  uint16_t status = 0;
};

struct CSquidLine {
  uint64_t timestamp = 0;  // whole seconds since 1970, UTC
  uint32_t address = 0;
  const char* host = nullptr;  // a client that is no dotted address (a name, IPv6)
  size_t hostLen = 0;
  uint16_t status = 0;
  uint32_t bytesSent = 0;
  bool post = false, head = false;
  const char* url = nullptr;
  size_t urlLen = 0;
  const char* user = nullptr;  // the user column behind the URL, when there is one
  size_t userLen = 0;
};

// Each parses the line at *cursor (within [*cursor, end)) and returns true when
// it fits the format; *cursor is left where parsing stopped.
bool ParseMsProxyLine(const char** cursor, const char* end, CMsProxyLine* line);
bool ParseSquidLine(const char** cursor, const char* end, CSquidLine* line);

// Whether one of the first 12 lines of the block fits the format.
bool IsMsProxyLog(const char* block, size_t length);
bool IsSquidLog(const char* block, size_t length);
