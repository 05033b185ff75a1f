#include "ui/core/colinfo.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

// Longer entries come from a damaged value; they are not read.
constexpr size_t kMaxEntryLength = 40;

std::string s_info;

// "\<prefix><kind>@<column>#": the '@' keeps kind 1 from matching kind 11.
std::string MakeKey(const char* prefix, int kind, int column) {
  char key[64];
  snprintf(key, sizeof key, "\\%s%i@%i#", prefix ? prefix : "", kind, column);
  return key;
}

}  // namespace

const std::string& ListColumnInfo() { return s_info; }

void SetListColumnInfoText(const std::string& text) {
  try {
    s_info = text;
  } catch (const std::bad_alloc&) {
    s_info.clear();
  }
}

void ClearListColumnInfo() {
  s_info.clear();
  s_info.shrink_to_fit();
}

void SetListColumnInfo(const char* prefix, int kind, int column, int value) {
  try {
    std::string key = MakeKey(prefix, kind, column);
    std::string entry = key + std::to_string(value);
    size_t at = s_info.empty() ? std::string::npos : s_info.find(key);
    if (at != std::string::npos) {
      size_t next = s_info.find('\\', at + 1);
      // The last entry is replaced where it stands; any other moves to the end.
      s_info.erase(at, next == std::string::npos ? std::string::npos : next - at);
    }
    s_info += entry;
  } catch (const std::bad_alloc&) {
    // No settings remain for this run rather than half an entry.
    ClearListColumnInfo();
  }
}

bool GetListColumnInfo(const char* prefix, int kind, int column, int* value) {
  *value = 0;
  std::string key = MakeKey(prefix, kind, column);
  size_t at = s_info.find(key);
  if (at == std::string::npos) return false;
  size_t next = s_info.find('\\', at + 1);
  if (next != std::string::npos && next - at > kMaxEntryLength) return false;
  const char* number = s_info.c_str() + at + key.size();
  long v = strtol(number, nullptr, 10);
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  *value = static_cast<int>(v);
  return true;
}
