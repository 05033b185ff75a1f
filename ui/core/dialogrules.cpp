#include "ui/core/dialogrules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/textutil.h"
#include "engine/analysis/analysis.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/tables/auxdb.h"

const char* const kDefaultLanguageLine = "<<Default Language>>";

CPeriodDate g_periodFrom, g_periodTo;

bool NewLanguageFileName(const std::string& answer, std::string* fileName, std::string* error) {
  error->clear();
  if (answer.empty()) {
    *error = "The language needs a name.";
    return false;
  }
  // The file goes into the language folder and nowhere else.
  if (answer.find_first_of("/\\") != std::string::npos || answer == "." || answer == ".." ||
      answer.find('\0') != std::string::npos) {
    *error = "\"" + answer + "\" is not a language name: it may not hold '/' or '\\' or name a folder.";
    return false;
  }
  std::vector<char> buffer(answer.size() + 5);
  *fileName = AddLngExtension(buffer.data(), buffer.size(), answer.c_str());
  return true;
}

std::string LanguageNameOfPath(const char* path) {
  if (!path || !*path) return {};
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

bool ParsePort(const std::string& text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

uint32_t CPeriodDate::Packed() const {
  if (!valid) return 0;
  return day | static_cast<uint32_t>(month) << 8 | static_cast<uint32_t>(year) << 16;
}

std::string DottedAddress(uint32_t a) {
  char text[16];
  snprintf(text, sizeof text, "%i.%i.%i.%i", static_cast<int>(a >> 24), static_cast<int>(a >> 16 & 0xFF),
           static_cast<int>(a >> 8 & 0xFF), static_cast<int>(a & 0xFF));
  return text;
}

bool ParseDottedAddress(const std::string& text, uint32_t* address) {
  uint32_t result = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t start = i;
    uint32_t value = 0;
    while (i < text.size() && i - start < 3 && isdigit(static_cast<unsigned char>(text[i])))
      value = value * 10 + static_cast<uint32_t>(text[i++] - '0');
    if (i == start || value > 255) return false;
    result = result << 8 | value;
    ++parts;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  *address = result;
  return true;
}

bool IsLookupHostName(const std::string& name) {
  if (name.empty() || name.size() > 253) return false;
  size_t label = 0;
  for (char c : name) {
    if (c == '.') {
      if (label == 0) return false;
      label = 0;
      continue;
    }
    if (!isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
    if (++label > 63) return false;
  }
  return true;
}

std::string DnsErrorText(int error) {
  // The resolver's reasons (h_errno's numbers).
  static const char* const kReasons[] = {"host not found", "temporary failure", "no recovery", "no address"};
  const char* reason = error >= 1 && error <= 4 ? kReasons[error - 1] : "unknown error";
  char text[96];
  snprintf(text, sizeof text, "DNS lookup error! (error# %d: %s)", error, reason);
  return text;
}

std::string JoinPlaceParts(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += ", ";
    joined += part;
  }
  return joined;
}

CHostGeography AddressGeography(uint32_t address) {
  const char *country, *region, *city, *unused1, *unused2;
  LookupGeoAddress(address, kGeoCountry, &country, &unused1, &unused2);
  CHostGeography geo;
  geo.country = country;
  const char *regionCountry, *cityCountry, *cityRegion;
  LookupGeoAddress(address, kGeoRegion, &regionCountry, &region, &unused1);
  LookupGeoAddress(address, kGeoCity, &cityCountry, &cityRegion, &city);
  // A region or city table that knows no country leaves it to the country table.
  if (!*regionCountry) regionCountry = country;
  if (!*cityCountry) cityCountry = country;
  geo.region = JoinPlaceParts({region, regionCountry});
  geo.city = JoinPlaceParts({city, cityRegion, cityCountry});
  return geo;
}

std::vector<CLogReportLine> LogReportLines(const CLogFileReportList& list, bool showAll) {
  std::vector<CLogReportLine> lines;
  char size[64];
  uint64_t totalLines = 0, totalSize = 0;
  for (const auto& e : list.entries) {
    totalLines += e.lines;
    totalSize += e.size;
  }
  if (list.entries.size() > 1) {
    FormatSize(size, sizeof size, static_cast<int64_t>(totalSize));
    lines.push_back({GetTerm(kTermTotal, 1), std::to_string(totalLines), size, 2});
  }
  for (const auto& e : list.entries) {
    if (!showAll && e.lines != 0) continue;
    FormatSize(size, sizeof size, static_cast<int64_t>(e.size));
    lines.push_back({e.name, std::to_string(e.lines), size, e.lines == 0 ? 1 : 0});
  }
  return lines;
}

std::vector<int32_t> CColumnChoice::Candidates() const {
  std::vector<int32_t> result;
  for (int32_t code = 2; code <= 7 && result.size() < kMaxExtraColumns; ++code)
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) result.push_back(code);
  return result;
}

bool CColumnChoice::CanAdd() const { return codes.size() < kMaxExtraColumns && !Candidates().empty(); }

void CColumnChoice::Add(int32_t code) {
  if (codes.size() >= kMaxExtraColumns) return;
  codes.push_back(code);
  selected = static_cast<int>(codes.size()) - 1;
}

void CColumnChoice::Delete() {
  if (selected < 0 || selected >= static_cast<int>(codes.size())) return;
  codes.erase(codes.begin() + selected);
  if (selected >= static_cast<int>(codes.size())) selected = static_cast<int>(codes.size()) - 1;
}

void CColumnChoice::Up() {
  if (selected < 1 || selected >= static_cast<int>(codes.size())) return;
  std::swap(codes[selected], codes[selected - 1]);
  --selected;
}

void CColumnChoice::Down() {
  if (selected < 0 || selected + 1 >= static_cast<int>(codes.size())) return;
  std::swap(codes[selected], codes[selected + 1]);
  ++selected;
}

std::string ColumnCodeTitle(int32_t code) { return ColumnTerm(code, 1); }
