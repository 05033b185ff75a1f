// The user's web proxy, from the environment (http_proxy, else HTTP_PROXY),
// which presets the proxy of new HTTP log sources.
#pragma once
#include <cstdint>
#include <string>

// host:port, with or without a scheme before it and a path after it; port 0
// when none is given. Nothing is changed when no proxy is set.
void GetProxySettings(std::string* host, uint16_t* port, bool* enabled);
// The same reading of one value; false when it names no host.
bool ParseProxyValue(const char* value, std::string* host, uint16_t* port);
