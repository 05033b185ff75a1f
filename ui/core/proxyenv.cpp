#include "ui/core/proxyenv.h"

#include <cstdlib>
#include <cstring>

bool ParseProxyValue(const char* value, std::string* host, uint16_t* port) {
  if (!value) return false;
  std::string text = value;
  size_t scheme = text.find("://");
  if (scheme != std::string::npos) text.erase(0, scheme + 3);
  size_t at = text.rfind('@', text.find('/'));  // user:password@ is not the host
  if (at != std::string::npos) text.erase(0, at + 1);
  text = text.substr(0, text.find('/'));
  size_t colon = text.find(':');
  std::string name = text.substr(0, colon);
  if (name.empty()) return false;
  unsigned long number = 0;
  if (colon != std::string::npos) {
    number = strtoul(text.c_str() + colon + 1, nullptr, 10);
    if (number > 65535) number = 0;
  }
  *host = name;
  *port = static_cast<uint16_t>(number);
  return true;
}

void GetProxySettings(std::string* host, uint16_t* port, bool* enabled) {
  const char* value = getenv("http_proxy");
  if (!value || !*value) value = getenv("HTTP_PROXY");
  std::string h;
  uint16_t p = 0;
  if (!ParseProxyValue(value, &h, &p)) return;
  *host = h;
  *port = p;
  *enabled = true;
}
