#include "engine/config/sectionfile.h"

#include "base/msgsink.h"
#include "base/textutil.h"
#include "platform/files.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool SkipSettingsComments(const char** pos, const char* end) {
  const char*& p = *pos;
  for (;;) {
    while (p < end && IsBlank(*p)) ++p;
    if (end - p < 2) return true;
    if (p[0] == '/' && p[1] == '/') {
      // A line comment ends at the line end, LF or CR, so both line-end styles read alike.
      p += 2;
      while (p < end && *p != '\n' && *p != '\r') ++p;
    } else if (p[0] == '/' && p[1] == '*') {
      const char* q = p + 2;
      while (q + 1 < end && !(q[0] == '*' && q[1] == '/')) ++q;
      if (q + 1 >= end) return false;  // p stays at the comment's start
      p = q + 2;
    } else if (p[0] == '*' && p[1] == '/') {
      return false;
    } else {
      return true;
    }
  }
}

namespace {

constexpr size_t kMaxToken = 90;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool SameNameNoCase(const char* name, const char* text, size_t len) {
  return strlen(name) == len && strncasecmp(name, text, len) == 0;
}

enum class Tok { End, Bad, Version, Key, UnknownName, Number, String, Section, UnknownSection, Equals, Comma, Brace, Stray };

struct Token {
  Tok kind = Tok::End;
  const char* text = nullptr;
  size_t length = 0;
  int index = -1;  // key or section index
};

// Cuts the file text into tokens. Text that runs out inside a comment, string
// or header, and a "*/" outside a comment, give a Bad token and end the text.
class Tokenizer {
 public:
  Tokenizer(const char* text, size_t length, const SectionDef* sections, int32_t count)
      : m_begin(text), m_p(text), m_end(text + length), m_sections(sections), m_count(count) {}

  Token Next(const SectionDef* section) {
    Token t;
    if (!SkipBlanksAndComments()) return Bad(m_p);
    if (m_p >= m_end) return t;
    const char* s = m_p;
    char c = *s;
    if (IsDigit(c) || c == '.' || c == '-') {
      const char* p = s + 1;
      while (p < m_end && IsNumberChar(*p) && static_cast<size_t>(p - s) < kMaxToken) ++p;
      return Take(Tok::Number, s, p);
    }
    if (IsAsciiLetter(c) || c == '_') {
      const char* p = s + 1;
      while (p < m_end && *p && !IsSeparatorChar(*p) && static_cast<size_t>(p - s) < kMaxToken) ++p;
      t = Take(Tok::UnknownName, s, p);
      if (SameNameNoCase("FormatVersion", t.text, t.length)) {
        t.kind = Tok::Version;
      } else if (section) {
        for (int i = 0; i < section->keyCount; ++i) {
          if (SameNameNoCase(section->keys[i].name, t.text, t.length)) {
            t.kind = Tok::Key;
            t.index = i;
            break;
          }
        }
      }
      return t;
    }
    if (c == '"') {
      const char* p = s + 1;
      while (p < m_end && *p != '"') p += (*p == '\\' && p + 1 < m_end) ? 2 : 1;
      if (p >= m_end) return Bad(s);
      t = Take(Tok::String, s + 1, p);
      m_p = p + 1;
      return t;
    }
    if (c == '[') {
      const char* close = static_cast<const char*>(memchr(s + 1, ']', static_cast<size_t>(m_end - s - 1)));
      if (!close) return Bad(s);
      t = Take(Tok::UnknownSection, s + 1, close);
      m_p = close + 1;
      if (t.length <= kMaxToken) {
        for (int i = 0; i < m_count; ++i) {
          if (SameNameNoCase(m_sections[i].name, t.text, t.length)) {
            t.kind = Tok::Section;
            t.index = i;
            break;
          }
        }
      }
      return t;
    }
    Tok kind = c == '=' ? Tok::Equals : c == ',' ? Tok::Comma : (c == '{' || c == '}') ? Tok::Brace : Tok::Stray;
    return Take(kind, s, s + 1);
  }

  // The line of the cursor; after a broken construct, the line where it began.
  int Line() const {
    const char* at = m_badAt ? m_badAt : m_p;
    int line = 1;
    for (const char* p = m_begin; p < at; ++p) line += *p == '\n';
    return line;
  }

 private:
  Token Take(Tok kind, const char* s, const char* e) {
    m_p = e;
    Token t;
    t.kind = kind;
    t.text = s;
    t.length = static_cast<size_t>(e - s);
    return t;
  }
  Token Bad(const char* at) {
    m_badAt = at;
    m_p = m_end;
    Token t;
    t.kind = Tok::Bad;
    return t;
  }

  // False when the text breaks off inside a comment or holds a stray "*/".
  bool SkipBlanksAndComments() { return SkipSettingsComments(&m_p, m_end); }

  const char* m_begin;
  const char* m_p;
  const char* m_end;
  const char* m_badAt = nullptr;
  const SectionDef* m_sections;
  int32_t m_count;
};

double ParseVersion(const Token& t) {
  double v = 0;
  auto r = std::from_chars(t.text, t.text + t.length, v);
  return r.ec == std::errc() ? v : 0.0;
}

char* CopyText(const char* text, size_t length) {
  char* copy = static_cast<char*>(malloc(length + 1));
  if (!copy) {
    EngineError("Memory overflou");
    return nullptr;
  }
  memcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}

// Stores a key's default into its field; false when memory runs out.
bool StoreDefault(const KeyDef& key, void* owner) {
  switch (key.type) {
    case KeyString: {
      char** slot = key.text(owner);
      free(*slot);
      *slot = nullptr;
      if (key.defaultString && *key.defaultString) {
        *slot = CopyText(key.defaultString, strlen(key.defaultString));
        if (!*slot) return false;
      }
      return true;
    }
    case KeyShort:
      key.set(owner, key.defaultShort);
      return true;
    case KeyBits:
      key.set(owner, static_cast<int32_t>(key.defaultBits));
      return true;
    case KeyInt:
    case KeyIgnored:
      return true;
  }
  return true;
}

uint32_t ParseBits(const KeyDef& key, const Token& t) {
  uint32_t bits = 0;
  for (int32_t i = 0; i < key.bitCount; ++i) {
    bool set = static_cast<size_t>(i) < t.length ? t.text[i] == '1' : (key.defaultBits & key.bitTable[i]) != 0;
    if (set) bits |= key.bitTable[i];
  }
  return bits;
}

void AppendPaddedLine(std::string& out, const char* text, size_t width, const char* closer) {
  out += text;
  size_t used = strlen(text) + strlen(closer);
  if (used < width) out.append(width - used, ' ');
  out += closer;
  out += '\n';
}

void AppendQuoted(std::string& out, const char* name, const char* value) {
  out += '\n';
  out += name;
  out += "=\"";
  for (const char* p = value ? value : ""; *p; ++p) {
    if (*p == '"' || *p == '\\') out += '\\';
    out += *p;
  }
  out += '"';
}

void AppendNumber(std::string& out, const char* name, long value) {
  out += '\n';
  out += name;
  out += '=';
  out += std::to_string(value);
}

}  // namespace

int32_t ParseDecimalToken(const char* text, size_t length) {
  size_t i = 0;
  bool negative = length > 0 && text[0] == '-';
  if (negative) ++i;
  uint32_t value = 0;
  for (; i < length && IsDigit(text[i]); ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

CSectionFile::CSectionFile(const SectionDef* sections, int32_t sectionCount, double version)
    : m_sections(sections), m_sectionCount(sectionCount), m_version(version) {}

CSectionFile::~CSectionFile() { free(m_fileName); }

void CSectionFile::SetFileName(const char* fileName) {
  char* copy = nullptr;
  if (fileName) {
    copy = strdup(fileName);
    if (!copy) EngineError("Memory overflou");
  }
  free(m_fileName);
  m_fileName = copy;
}

int CSectionFile::Load(const char* fileName, int reportFlag) {
  std::string name(fileName ? fileName : "");
  char* text = nullptr;
  size_t length = 0;
  if (!ReadWholeFile(name.c_str(), &text, &length, reportFlag)) {
    for (int32_t i = 0; i < m_sectionCount; ++i)
      if (m_sections[i].accessor) m_sections[i].accessor->clear(*this);
    SetFileName(nullptr);
    EngineInfo("");
    return 0;
  }
  int ok = LoadText(name.c_str(), text, length);
  free(text);
  return ok;
}

int CSectionFile::LoadText(const char* fileName, const char* text, size_t length) {
  std::string name(fileName ? fileName : "");
  for (int32_t i = 0; i < m_sectionCount; ++i)
    if (m_sections[i].accessor) m_sections[i].accessor->clear(*this);
  SetFileName(name.c_str());
  if (!Parse(text ? text : "", text ? length : 0)) {
    SetFileName(nullptr);
    return 0;
  }
  EngineInfo("");
  m_dirty = 0;
  return 1;
}

int CSectionFile::Parse(const char* text, size_t length) {
  Tokenizer tk(text, length, m_sections, m_sectionCount);
  auto syntax = [&] {
    EngineMessageF("'%s' - bad config file (line %i)", m_fileName ? m_fileName : "", tk.Line());
    return 0;
  };

  Token t = tk.Next(nullptr);
  if (t.kind != Tok::Version) return syntax();
  if (tk.Next(nullptr).kind != Tok::Equals) return syntax();
  t = tk.Next(nullptr);
  if (t.kind != Tok::Number) return syntax();
  if (ParseVersion(t) != m_version) {
    EngineError("invalid version project file");
    return 0;
  }

  t = tk.Next(nullptr);
  std::vector<char> seen;
  while (t.kind != Tok::End) {
    if (t.kind != Tok::Section) return syntax();
    const SectionDef& sec = m_sections[t.index];
    void* owner = sec.accessor ? sec.accessor->append(*this) : sec.fields(*this);
    if (!owner) return syntax();
    seen.assign(static_cast<size_t>(sec.keyCount), 0);
    for (;;) {
      t = tk.Next(&sec);
      if (t.kind == Tok::End || t.kind == Tok::Section) break;
      if (t.kind != Tok::Key) return syntax();
      const KeyDef& key = sec.keys[t.index];
      seen[static_cast<size_t>(t.index)] = 1;
      if (key.type == KeyIgnored) {
        if (tk.Next(&sec).kind == Tok::Bad || tk.Next(&sec).kind == Tok::Bad) return syntax();
        continue;
      }
      if (tk.Next(&sec).kind != Tok::Equals) return syntax();
      Token v = tk.Next(&sec);
      if (key.type == KeyString) {
        if (v.kind != Tok::String) return syntax();
        char** slot = key.text(owner);
        free(*slot);
        *slot = nullptr;
        char* copy = CopyText(v.text, v.length);
        if (!copy) return 0;
        UnescapeBackslashes(copy);
        if (*copy) *slot = copy;
        else free(copy);
      } else {
        if (v.kind != Tok::Number) return syntax();
        if (key.type == KeyShort) key.set(owner, static_cast<int16_t>(ParseDecimalToken(v.text, v.length)));
        else if (key.type == KeyInt) key.set(owner, ParseDecimalToken(v.text, v.length));
        else key.set(owner, static_cast<int32_t>(ParseBits(key, v)));
      }
    }
    for (int32_t i = 0; i < sec.keyCount; ++i) {
      if (!seen[static_cast<size_t>(i)] && !StoreDefault(sec.keys[i], owner)) return 0;
    }
  }
  return 1;
}

std::string CSectionFile::FormatText(bool* holdsSecret) const {
  std::string out;
  AppendPaddedLine(out, "/** Trailvane Workspace File", 78, "**");
  AppendPaddedLine(out, " ** Trailvane Generated", 78, "**");
  AppendPaddedLine(out, " ** DO NOT EDIT THIS FILE", 79, "**/");
  out += "\nFormatVersion=";
  char version[32];
  auto r = std::to_chars(version, version + sizeof version, m_version, std::chars_format::fixed, 1);
  out.append(version, r.ptr);
  bool secret = false;

  auto& self = const_cast<CSectionFile&>(*this);
  for (int32_t s = 0; s < m_sectionCount; ++s) {
    const SectionDef& sec = m_sections[s];
    int32_t records = sec.accessor ? sec.accessor->count(self) : 1;
    for (int32_t r = 0; r < records; ++r) {
      void* owner = sec.accessor ? sec.accessor->record(self, r) : sec.fields(self);
      if (!owner) continue;
      out += "\n[";
      out += sec.name;
      out += ']';
      for (int32_t k = 0; k < sec.keyCount; ++k) {
        const KeyDef& key = sec.keys[k];
        switch (key.type) {
          case KeyString: {
            const char* value = *key.text(owner);
            bool empty = !value || !*value;
            if (sec.accessor && !key.defaultString && empty) break;
            if (key.secret && !empty) secret = true;
            AppendQuoted(out, key.name, value);
            break;
          }
          case KeyShort: {
            int16_t value = static_cast<int16_t>(key.get(owner));
            if (sec.accessor && value == key.defaultShort) break;
            AppendNumber(out, key.name, value);
            break;
          }
          case KeyBits: {
            uint32_t bits = static_cast<uint32_t>(key.get(owner));
            out += '\n';
            out += key.name;
            out += '=';
            for (int32_t i = 0; i < key.bitCount; ++i) out += (bits & key.bitTable[i]) ? '1' : '0';
            break;
          }
          case KeyInt:
            AppendNumber(out, key.name, key.get(owner));
            break;
          case KeyIgnored:
            break;
        }
      }
    }
  }
  if (holdsSecret) *holdsSecret = secret;
  return out;
}

int CSectionFile::SaveAs(const char* fileName) {
  SetFileName(fileName);
  return Save();
}

int CSectionFile::Save() {
  m_saveErrno = 0;
  if (!m_fileName || !*m_fileName) return 0;
  bool secret = false;
  std::string text = FormatText(&secret);
  std::string dir = tv::DirectoryOf(m_fileName);
  if (dir.empty()) dir = ".";
  if (tv::IsDirectory(m_fileName) || access(dir.c_str(), W_OK) != 0) {
    m_saveErrno = tv::IsDirectory(m_fileName) ? EISDIR : errno;
    EngineErrorF("can't open file '%s'", m_fileName);
    return 0;
  }
  // A file holding a password stays private; otherwise keep the mode the old file had.
  unsigned mode = 0644;
  struct stat st;
  if (stat(m_fileName, &st) == 0) {
    // The rename below would replace a file its owner made read-only (even
    // for root, who may write anything).
    if (!(st.st_mode & S_IWUSR) || access(m_fileName, W_OK) != 0) {
      EngineErrorF("'%s' is read-only: not saved", m_fileName);
      return 0;
    }
    mode = st.st_mode & 0777;
  }
  if (secret) mode = 0600;
  // The new text goes to a file beside the old one and replaces it only when complete.
  if (!tv::WriteFileReplacing(m_fileName, text.data(), text.size(), mode)) {
    m_saveErrno = errno;
    EngineError("write error in the file");
    return 0;
  }
  m_dirty = 0;
  return 1;
}

void CSectionFile::StoreFixedDefaults() {
  for (int32_t i = 0; i < m_sectionCount && !m_sections[i].accessor; ++i) {
    const SectionDef& sec = m_sections[i];
    void* owner = sec.fields(*this);
    for (int32_t k = 0; k < sec.keyCount; ++k) StoreDefault(sec.keys[k], owner);
  }
}

int CSectionFile::ResetToDefaults() {
  if (!m_sections) return 0;
  SetFileName(nullptr);
  for (int32_t i = 0; i < m_sectionCount; ++i)
    if (m_sections[i].accessor) m_sections[i].accessor->clear(*this);
  StoreFixedDefaults();
  return 1;
}

int CSectionFile::SetString(char** field, const char* text) {
  bool oldEmpty = !*field || !**field;
  if (!text || !*text) {
    free(*field);
    *field = nullptr;
    if (oldEmpty) return 0;
    m_dirty = 1;
    return 1;
  }
  if (!oldEmpty && strcmp(*field, text) == 0) return 0;
  char* copy = strdup(text);
  free(*field);
  *field = copy;
  if (!oldEmpty || copy) m_dirty = 1;
  if (!copy) {
    EngineError("Memory overflou");
    return 0;
  }
  return 1;
}

int CSectionFile::SetShort(int16_t* field, int16_t value) {
  if (*field == value) return 0;
  *field = value;
  m_dirty = 1;
  return 1;
}
