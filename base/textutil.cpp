#include "base/textutil.h"

#include "base/msgsink.h"
#include "platform/files.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

int SetStr(char** field, const char* text) {
  if (!text || !*text) {
    if (!*field) return 0;
    free(*field);
    *field = nullptr;
    return 1;
  }
  if (*field && strcmp(*field, text) == 0) return 0;
  char* copy = strdup(text);
  if (!copy) {
    EngineOutOfMemory(*field ? 161 : 143);
    return 0;
  }
  free(*field);
  *field = copy;
  return 1;
}

bool HasWildcard(const char* path) { return path && strpbrk(path, "*?") != nullptr; }

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDelimiter(int c) {
  if (c == 0) return false;
  return IsBlank(c) || strchr(";{}[]()<>!,=?:#+-*/%^&`'\"\\|", c) != nullptr;
}

bool IsSeparatorChar(int c) { return c == '.' || IsDelimiter(c); }

bool IsNumberChar(int c) { return (c >= '0' && c <= '9') || c == '.'; }

int UnescapeBackslashes(char* text) {
  if (!text) return 0;
  int removed = 0;
  char* w = text;
  for (char* r = text; *r; ++r) {
    if (*r == '\\' && r[1]) {
      ++r;
      ++removed;
    } else if (*r == '\\') {  // a lone backslash at the end
      ++removed;
      break;
    }
    *w++ = *r;
  }
  *w = 0;
  return removed;
}

char* TrimSpaces(char* text) {
  if (!text) return text;
  while (*text == ' ' || *text == '\t') ++text;
  size_t n = strlen(text);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  text[n] = 0;
  return text;
}

bool AppendChar(char* text, size_t size, char c) {
  size_t n = strnlen(text, size);
  if (n + 1 >= size) return false;
  text[n] = c;
  text[n + 1] = 0;
  return true;
}

void LowerCaseInPlace(char* text) {
  if (!text) return;
  for (; *text; ++text) *text = static_cast<char>(tolower(static_cast<unsigned char>(*text)));
}

const char* FindLastChar(const char* text, char c) { return text ? strrchr(text, c) : nullptr; }

namespace {

// Start and length of the n-th item separated by sep, or false.
bool FindItem(const char* list, int n, char sep, const char** start, size_t* len) {
  if (!list || n < 0) return false;
  const char* p = list;
  for (int i = 0; i < n; ++i) {
    p = strchr(p, sep);
    if (!p) return false;
    ++p;
  }
  const char* end = strchr(p, sep);
  *start = p;
  *len = end ? static_cast<size_t>(end - p) : strlen(p);
  return true;
}

}  // namespace

int NthSemicolonItem(char* out, size_t outSize, const char* list, int n) {
  const char* start;
  size_t len;
  if (!FindItem(list, n, ';', &start, &len)) return 0;
  if (outSize == 0) return 1;
  if (len >= outSize) len = outSize - 1;
  memcpy(out, start, len);
  out[len] = 0;
  return 1;
}

int NthMatchingFile(char* out, const char* list, int n, size_t max, char sep) {
  const char* start;
  size_t len;
  if (!FindItem(list, n, sep, &start, &len)) return 0;
  if (len > max) len = max;
  memcpy(out, start, len);
  out[len] = 0;
  return 1;
}

namespace {

inline int Lower(unsigned char c) { return tolower(c); }

bool StartsNoCase(const char* text, const char* pattern, size_t plen) {
  for (size_t i = 0; i < plen; ++i) {
    if (!text[i] || Lower(static_cast<unsigned char>(text[i])) != Lower(static_cast<unsigned char>(pattern[i])))
      return false;
  }
  return true;
}

}  // namespace

const char* FindNoCase(const char* text, const char* pattern) {
  if (!text || !*text || !pattern) return nullptr;
  size_t plen = strlen(pattern);
  if (plen == 0) return text;
  int first = Lower(static_cast<unsigned char>(pattern[0]));
  for (const char* p = text; *p; ++p) {
    if (Lower(static_cast<unsigned char>(*p)) == first && StartsNoCase(p, pattern, plen)) return p;
  }
  return nullptr;
}

int ReplaceAllNoCase(char* buffer, size_t size, const char* pattern, const char* replacement) {
  if (!buffer || !pattern || !*pattern || size == 0) return 0;
  if (!replacement) replacement = "";
  size_t plen = strlen(pattern), rlen = strlen(replacement);
  int count = 0;
  char* from = buffer;
  while (const char* hit = FindNoCase(from, pattern)) {
    char* at = buffer + (hit - buffer);
    size_t total = strlen(buffer);
    if (total - plen + rlen + 1 > size) break;  // no room: leave the rest as it is
    memmove(at + rlen, at + plen, total - static_cast<size_t>(at - buffer) - plen + 1);
    memcpy(at, replacement, rlen);
    from = at + rlen;
    ++count;
  }
  return count;
}

int ReadWholeFile(const char* path, char** text, size_t* length, int mode) {
  *text = nullptr;
  *length = 0;
  if (!path || !*path) return 0;
  // Only a regular file is read: a FIFO would block the caller, a device could act.
  struct stat st;
  bool present = stat(path, &st) == 0;
  FILE* f = tv::OpenRegularStream(path);
  if (!f) {
    const char* what = present && !S_ISREG(st.st_mode) ? "file '%s' is not a regular file\n" : "file '%s' not found\n";
    if (mode == 1) EngineErrorF(what, path);
    else if (mode != 0) EngineMessageF(what, path);
    return 0;
  }
  long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  if (size < 0 || fseek(f, 0, SEEK_SET) != 0) {
    EngineError("read error in the file");
    fclose(f);
    return 0;
  }
  char* buf = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
  if (!buf) {
    EngineError("Memory overflou");
    fclose(f);
    return 0;
  }
  size_t got = fread(buf, 1, static_cast<size_t>(size), f);
  fclose(f);
  if (size > 0 && got == 0) {
    EngineError("read error in the file");
    free(buf);
    return 0;
  }
  buf[got] = 0;
  *text = buf;
  *length = got;
  return 1;
}

int WriteFileChecked(FILE* file, const void* data, size_t length) {
  if (length == 0) return 1;
  if (fwrite(data, 1, length, file) != length) {
    EngineError("write error in the file");
    fclose(file);
    return 0;
  }
  return 1;
}

namespace {

struct Matcher {
  const unsigned char* text;
  const unsigned char* pattern;
  size_t textLen;
  bool exact;
  // Failed (star, text position) pairs, so several stars cannot go exponential.
  std::vector<bool> failed;
  size_t starCount = 0;

  bool Same(unsigned char a, unsigned char b) const { return exact ? a == b : Lower(a) == Lower(b); }

  bool Run(size_t pi, size_t ti, size_t star) {
    for (;;) {
      unsigned char pc = pattern[pi];
      if (pc == '*') {
        while (pattern[pi] == '*') ++pi;
        if (!pattern[pi]) return true;  // a trailing star takes the rest
        for (size_t k = ti;; ++k) {
          size_t slot = star * (textLen + 1) + k;
          if (!failed.empty() && failed[slot]) {
            // already known to fail from here
          } else {
            if (Run(pi, k, star + 1)) return true;
            if (!failed.empty()) failed[slot] = true;
          }
          if (k >= textLen || text[k] == '.') return false;  // a star never crosses '.'
        }
      }
      if (!pc) return ti == textLen;
      if (ti >= textLen) return false;
      if (pc != '?' && !Same(pc, text[ti])) return false;
      ++pi;
      ++ti;
    }
  }
};

}  // namespace

bool MatchPattern(const char* text, const char* pattern, int exact) {
  if (!text) text = "";
  if (!pattern) pattern = "";
  Matcher m;
  m.text = reinterpret_cast<const unsigned char*>(text);
  m.pattern = reinterpret_cast<const unsigned char*>(pattern);
  m.textLen = strlen(text);
  m.exact = exact != 0;
  size_t stars = 0;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '*' && p[1] != '*') ++stars;
  }
  if (stars > 1) m.failed.assign(stars * (m.textLen + 1), false);
  m.starCount = stars;
  return m.Run(0, 0, 0);
}

bool SameUrlIgnoringScheme(const char* url, const char* pattern) {
  if (!url) url = "";
  if (!pattern) pattern = "";
  if (pattern[0] != '*') return MatchPattern(url, pattern, 0);
  const char* p = pattern + 1;
  const char* rest = url;
  static const char* const kSchemes[] = {"https://", "http://", "ftp://"};
  for (const char* s : kSchemes) {
    size_t n = strlen(s);
    if (strlen(rest) >= n && StartsNoCase(rest, s, n)) {
      rest += n;
      break;
    }
  }
  const char* slash = strchr(rest, '/');
  std::string host(rest, slash ? static_cast<size_t>(slash - rest) + 1 : strlen(rest));
  const char* star = strchr(p, '*');
  std::string piece(p, star ? static_cast<size_t>(star - p) : strlen(p));
  const char* start = rest;
  if (!piece.empty()) {
    if (const char* hit = FindNoCase(host.c_str(), piece.c_str())) start = rest + (hit - host.c_str());
  }
  return MatchPattern(start, p, 0);
}

const char* FormatSize(char* out, size_t size, int64_t bytes) {
  static char empty[1] = "";
  if (!out || size == 0) return empty;
  static const struct {
    int64_t unit;
    const char* name;
  } kUnits[] = {{1LL << 30, "GB"}, {1LL << 20, "MB"}, {1LL << 10, "KB"}};
  for (const auto& u : kUnits) {
    if (bytes < u.unit) continue;
    // Numbers never take the user's locale.
    char number[64];
    auto r = std::to_chars(number, number + sizeof number - 1,
                           static_cast<double>(bytes) / static_cast<double>(u.unit), std::chars_format::fixed, 2);
    *r.ptr = 0;
    snprintf(out, size, "%s %s", number, u.name);
    return out;
  }
  snprintf(out, size, "%lld", static_cast<long long>(bytes));
  return out;
}

int FormatFileMaskInfo(char* out, size_t outSize, const char* mask, uint64_t* total) {
  int count = 0;
  uint64_t sum = 0;
  bool wildcard = HasWildcard(mask);
  if (mask && *mask) {
    if (wildcard) {
      for (const tv::FoundFile& f : tv::FindFiles(mask)) {
        ++count;
        sum += static_cast<uint64_t>(f.size);
      }
    } else if (tv::FileExists(mask)) {
      int64_t size = tv::FileSize(mask);
      count = 1;
      sum = size > 0 ? static_cast<uint64_t>(size) : 0;
    }
  }
  if (total) {
    *total = sum;
    return count;
  }
  if (!out || outSize == 0) return count;
  if (count == 0) {
    snprintf(out, outSize, "0 files");
  } else {
    char size[64];
    FormatSize(size, sizeof size, static_cast<int64_t>(sum));
    if (wildcard) snprintf(out, outSize, "%i files - %s", count, size);
    else snprintf(out, outSize, "%s", size);
  }
  return count;
}
