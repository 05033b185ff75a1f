#include "ui/core/columnstate.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>

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

// Reads an unsigned decimal of 1 to maxDigits digits no larger than limit,
// written as the key is written (no leading zeros), so a lookup can find it.
bool ReadNumber(const char*& p, const char* end, int maxDigits, long long limit, long long* out) {
  if (end - p >= 2 && p[0] == '0' && p[1] >= '0' && p[1] <= '9') return false;
  long long v = 0;
  int digits = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    if (++digits > maxDigits) return false;
    v = v * 10 + (*p++ - '0');
  }
  if (digits == 0 || v > limit) return false;
  *out = v;
  return true;
}

// One entry "\<prefix><kind>@<column>#<value>" exactly, nothing after it;
// the key ("\Cz1@5#") goes to *key.
bool IsWellFormedEntry(const char* p, const char* end, std::string* key) {
  const char* begin = p;
  if (end - p > static_cast<long>(kMaxEntryLength) || end - p < 7 || *p++ != '\\') return false;
  if (!((p[0] == 'C' && p[1] == 'z') || (p[0] == 'O' && p[1] == 'r'))) return false;
  p += 2;
  long long n;
  if (!ReadNumber(p, end, 3, 255, &n) || p == end || *p++ != '@') return false;
  if (!ReadNumber(p, end, 5, 65535, &n) || p == end || *p++ != '#') return false;
  key->assign(begin, p);
  // A value beyond the 32-bit range is read as its nearest bound.
  if (p < end && *p == '-') ++p;
  const char* digits = p;
  while (p < end && *p >= '0' && *p <= '9') ++p;
  return p > digits && p == end;
}

}  // namespace

std::string CleanListColumnInfo(const std::string& text) {
  std::string out;
  std::string key;
  std::set<std::string> seen;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* next = p + 1;
    while (next < end && *next != '\\') ++next;
    if (IsWellFormedEntry(p, next, &key) && seen.insert(key).second) out.append(p, next);
    p = next;
  }
  return out;
}

const std::string& ListColumnInfo() { return s_info; }

void SetListColumnInfoText(const std::string& text) {
  try {
    s_info = CleanListColumnInfo(text);
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
