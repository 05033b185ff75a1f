#include "platform/utf8.h"

#include <cstdint>

namespace tv {
namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendCodePoint(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

size_t Utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  size_t left = bytes.size() - at;
  if (left == 0) return 0;
  unsigned char c = *p;
  if (c < 0x80) return 1;
  size_t extra;
  uint32_t cp, min;
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (left <= extra) return 0;
  for (size_t i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

bool IsValidUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    size_t n = Utf8SequenceLength(bytes, at);
    if (n == 0) return false;
    at += n;
  }
  return true;
}

void AppendUtf8(std::string& out, std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    out.append(bytes);
    return;
  }
  out.reserve(out.size() + bytes.size() + bytes.size() / 2);
  for (size_t at = 0; at < bytes.size();) {
    size_t n = Utf8SequenceLength(bytes, at);
    if (n > 0) {
      out.append(bytes.substr(at, n));
      at += n;
      continue;
    }
    auto b = static_cast<unsigned char>(bytes[at++]);
    AppendCodePoint(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
  }
}

std::string ToUtf8(std::string_view bytes) {
  std::string out;
  AppendUtf8(out, bytes);
  return out;
}

}  // namespace tv
