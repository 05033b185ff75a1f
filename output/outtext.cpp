#include "output/outtext.h"

#include <cstdarg>
#include <cstring>
#include <strings.h>

#include <algorithm>

#include "platform/utf8.h"

namespace {
constexpr size_t kFlushSize = 1 << 16;
constexpr size_t kMaxQpLine = 76;
}  // namespace

COutFile::~COutFile() {
  if (m_file) fclose(m_file);
}

bool COutFile::Open(const char* path, bool crlf) {
  if (m_file) fclose(m_file);
  m_file = path && *path ? fopen(path, "wb+") : nullptr;
  m_crlf = crlf;
  m_failed = false;
  m_buffer.clear();
  return m_file != nullptr;
}

void COutFile::Put(const char* text) {
  if (text) Put(text, strlen(text));
}

void COutFile::Put(const char* text, size_t len) {
  if (!m_crlf) {
    m_buffer.append(text, len);
  } else {
    for (size_t i = 0; i < len; ++i) {
      if (text[i] == '\n') m_buffer += '\r';
      m_buffer += text[i];
    }
  }
  if (m_buffer.size() >= kFlushSize) Flush();
}

void COutFile::PutF(const char* format, ...) {
  char small[512];
  va_list ap;
  va_start(ap, format);
  int n = vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    Put(small, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, format);
  vsnprintf(big.data(), big.size(), format, ap);
  va_end(ap);
  Put(big.data(), static_cast<size_t>(n));
}

void COutFile::Flush() {
  if (!m_file) return;
  if (!m_buffer.empty() && fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) m_failed = true;
  m_buffer.clear();
}

bool COutFile::Close() {
  if (!m_file) return false;
  Flush();
  if (fflush(m_file) != 0 || ferror(m_file)) m_failed = true;
  if (fclose(m_file) != 0) m_failed = true;
  m_file = nullptr;
  return !m_failed;
}

void AppendF(std::string& out, const char* format, ...) {
  char small[512];
  va_list ap;
  va_start(ap, format);
  int n = vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  size_t at = out.size();
  out.resize(at + static_cast<size_t>(n) + 1);
  va_start(ap, format);
  vsnprintf(out.data() + at, static_cast<size_t>(n) + 1, format, ap);
  va_end(ap);
  out.resize(at + static_cast<size_t>(n));
}

namespace {

// Length of an entity at text ("&name;", "&#123;", "&#x1F;"), 0 when there is none.
size_t EntityLength(const char* text) {
  if (text[0] != '&') return 0;
  size_t i = 1;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto isHex = [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
  size_t start;
  if (text[i] == '#') {
    ++i;
    bool hex = text[i] == 'x' || text[i] == 'X';
    if (hex) ++i;
    start = i;
    while (text[i] && (hex ? isHex(text[i]) : isDigit(text[i]))) ++i;
  } else {
    start = i;
    while (text[i] && (isAlpha(text[i]) || (i > start && isDigit(text[i])))) ++i;
  }
  if (i == start || text[i] != ';') return 0;
  return i + 1;
}

bool IsPlainAscii(const char* text, size_t* length) {
  const char* p = text;
  while (static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) < 0x7F) ++p;
  *length = static_cast<size_t>(p - text);
  return *p == 0;
}

void AppendEscaped(std::string& out, const char* text, bool keepEntities) {
  if (!text) return;
  size_t length;
  std::string plain;
  if (!IsPlainAscii(text, &length)) {
    AppendPlainText(plain, text);
    text = plain.c_str();
  }
  for (const char* p = text; *p; ++p) {
    switch (*p) {
      case '&': {
        size_t n = keepEntities ? EntityLength(p) : 0;
        if (n) {
          out.append(p, n);
          p += n - 1;
        } else {
          out += "&amp;";
        }
        break;
      }
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *p;
    }
  }
}

}  // namespace

void AppendPlainText(std::string& out, const char* text) {
  if (!text) return;
  size_t length;
  if (IsPlainAscii(text, &length)) {
    out.append(text, length);
    return;
  }
  const std::string utf8 = tv::ToUtf8(text);
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) {
      out += ' ';
    } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      out += ' ';  // U+0080..U+009F
      ++i;
    } else if (c == 0xE2 && i + 2 < utf8.size() && utf8[i + 1] == '\x80' &&
               (utf8[i + 2] == '\xA8' || utf8[i + 2] == '\xA9')) {
      out += ' ';  // U+2028, U+2029: line and paragraph breaks to many viewers
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
}

std::string PlainText(const char* text) {
  std::string s;
  AppendPlainText(s, text);
  return s;
}

int TextWidth(const std::string& text) {
  int n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

void AppendPadded(std::string& out, const std::string& text, int width, bool right) {
  size_t pad = static_cast<size_t>(std::max(0, width - TextWidth(text)));
  if (right) out.append(pad, ' ');
  out += text;
  if (!right) out.append(pad, ' ');
}

bool IsWebAddress(const char* address) {
  if (!address) return false;
  while (*address == ' ' || *address == '\t') ++address;
  return strncasecmp(address, "http:", 5) == 0 || strncasecmp(address, "https:", 6) == 0;
}

void AppendHtmlEscaped(std::string& out, const char* text) { AppendEscaped(out, text, false); }
void AppendHtmlKeepEntities(std::string& out, const char* text) { AppendEscaped(out, text, true); }

std::string EncodeQuotedPrintable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t lineLen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += '\n';
      lineLen = 0;
      continue;
    }
    bool atLineEnd = i + 1 == text.size() || text[i + 1] == '\n';
    char token[3];
    size_t len = 1;
    bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
    if (literal) {
      token[0] = static_cast<char>(c);
    } else {
      token[0] = '=';
      token[1] = kHex[c >> 4];
      token[2] = kHex[c & 15];
      len = 3;
    }
    // Room for the token and, unless the line ends right after it, a soft break.
    size_t limit = atLineEnd ? kMaxQpLine : kMaxQpLine - 1;
    if (lineLen + len > limit) {
      out += "=\n";
      lineLen = 0;
    }
    out.append(token, len);
    lineLen += len;
  }
  return out;
}

std::string EncodeHeaderText(const std::string& text) {
  bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  if (ascii) return text;
  static const char kHex[] = "0123456789ABCDEF";
  // Encoded words of at most 75 characters, folded onto lines of their own,
  // never splitting a character.
  std::string out = "=?UTF-8?Q?";
  size_t wordStart = 0;
  const std::string plain = PlainText(text.c_str());
  for (size_t i = 0; i < plain.size(); ++i) {
    auto c = static_cast<unsigned char>(plain[i]);
    if ((c & 0xC0) != 0x80 && out.size() - wordStart > 50) {
      out += "?=\n =?UTF-8?Q?";
      wordStart = out.size() - 11;
    }
    if (c == ' ') {
      out += '_';
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      out += static_cast<char>(c);
    } else {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out + "?=";
}
