// The HTTP proxy a new log source starts with: the desktop's proxy setting as
// the http_proxy / HTTP_PROXY environment variables give it.
#pragma once
#include <cstdint>
#include <string>

struct ProxySetting {
  std::string host;
  uint16_t port = 0;  // 0 when the setting names none (or a bad one)
};

// Reads "host:port", also in the address form "http://user@host:port/" (the
// user part is dropped) and with an IPv6 host in brackets. False when the text
// names no host.
bool ParseProxySetting(const char* text, ProxySetting* out);

// http_proxy, else HTTP_PROXY (an empty variable counts as unset).
bool ProxyFromEnvironment(ProxySetting* out);
