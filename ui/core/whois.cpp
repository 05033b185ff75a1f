#include "ui/core/whois.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "engine/store/hitstore.h"
#include "engine/store/strpool.h"
#include "platform/curltransfer.h"
#include "platform/launcher.h"

namespace {

bool IsPlaceholderAt(const std::string& t, size_t at) {
  static const char kPlaceholder[] = "[url]";
  if (t.size() - at < sizeof kPlaceholder - 1) return false;
  for (size_t i = 0; i + 1 < sizeof kPlaceholder; ++i)
    if (std::tolower(static_cast<unsigned char>(t[at + i])) != kPlaceholder[i]) return false;
  return true;
}

}  // namespace

std::string WhoisHostText(const std::string& name, uint32_t address) {
  if (address == 0) return name;
  char dotted[16];
  snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255, (address >> 8) & 255,
           address & 255);
  return dotted;
}

std::string FillWhoisTemplate(const std::string& templ, const std::string& host) {
  if (templ.empty() || host.empty()) return std::string();
  const std::string encoded = tv::UrlEscape(host);
  std::string out;
  for (size_t i = 0; i < templ.size();) {
    if (templ[i] == '[' && IsPlaceholderAt(templ, i)) {
      out += encoded;
      i += 5;
    } else {
      out += templ[i++];
    }
  }
  return out;
}

bool OpenWhois(const std::string& templ, const std::string& name, uint32_t address, tv::LaunchDone done) {
  std::string url = FillWhoisTemplate(templ, WhoisHostText(name, address));
  if (url.empty()) return false;
  tv::Launch(url, std::move(done));
  return true;
}

bool OpenWhois(const std::string& templ, const CHitRecord* record, tv::LaunchDone done) {
  if (!record) return false;
  std::string name;
  if (TextHandle h = record->GetHostName()) {
    const char* text = g_pools.hosts.Text(h);
    if (text) name = text;
  }
  return OpenWhois(templ, name, record->Address(), std::move(done));
}
