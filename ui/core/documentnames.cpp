#include "ui/core/documentnames.h"

#include <string.h>
#include <strings.h>

namespace {

bool EndsWithNoCase(const std::string& text, const char* end) {
  size_t n = strlen(end);
  return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, end) == 0;
}

}  // namespace

std::string WorkspaceSaveName(const std::string& path) {
  auto dot = path.rfind('.');
  auto slash = path.rfind('/');
  bool hasTv = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
               strcasecmp(path.c_str() + dot, ".tv") == 0;
  return hasTv ? path : path + ".tv";
}

bool IsLogFileName(const std::string& path) { return EndsWithNoCase(path, ".log") || EndsWithNoCase(path, ".gz"); }
