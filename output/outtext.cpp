#include "output/outtext.h"

#include <cstdarg>
#include <cstring>

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

void AppendEscaped(std::string& out, const char* text, bool keepEntities) {
  if (!text) return;
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
