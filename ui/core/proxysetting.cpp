#include "ui/core/proxysetting.h"

#include <cstdlib>
#include <string_view>

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

uint16_t ParsePort(std::string_view s) {
  if (s.empty() || s.size() > 5) return 0;
  unsigned value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

}  // namespace

bool ParseProxySetting(const char* text, ProxySetting* out) {
  *out = ProxySetting();
  if (!text) return false;
  std::string_view s = Trim(text);
  if (size_t scheme = s.find("://"); scheme != std::string_view::npos) s.remove_prefix(scheme + 3);
  s = s.substr(0, s.find('/'));
  // A password may sit in the user part: it is never kept.
  if (size_t at = s.rfind('@'); at != std::string_view::npos) s.remove_prefix(at + 1);
  std::string_view host = s, port;
  if (!s.empty() && s.front() == '[') {
    size_t close = s.find(']');
    if (close == std::string_view::npos) return false;
    host = s.substr(1, close - 1);
    std::string_view rest = s.substr(close + 1);
    if (!rest.empty() && rest.front() == ':') port = rest.substr(1);
  } else if (size_t colon = s.find(':'); colon != std::string_view::npos) {
    host = s.substr(0, colon);
    port = s.substr(colon + 1);
  }
  if (host.empty()) return false;
  out->host.assign(host);
  out->port = ParsePort(port);
  return true;
}

bool ProxyFromEnvironment(ProxySetting* out) {
  for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
    const char* value = getenv(name);
    if (value && *value) return ParseProxySetting(value, out);
  }
  *out = ProxySetting();
  return false;
}
