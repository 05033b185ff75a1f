// Line scanning shared by the log readers. A line ends at a line feed or a
// carriage return; blocks are not NUL-terminated, so every scan is bounded.
#pragma once
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

inline bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// The first byte in [p, end) that is a, b or c; end when there is none. Never
// reads outside [p, end). Most columns are short, so the first 16 bytes decide.
inline const char* FindAnyOf(const char* p, const char* end, char a, char b, char c) {
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
  while (end - p >= 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)), _mm_cmpeq_epi8(x, vc));
    if (int bits = _mm_movemask_epi8(m)) return p + __builtin_ctz(static_cast<unsigned>(bits));
    p += 16;
  }
#endif
  for (; p < end; ++p)
    if (*p == a || *p == b || *p == c) return p;
  return end;
}
inline char* FindAnyOf(char* p, char* end, char a, char b, char c) {
  return const_cast<char*>(FindAnyOf(static_cast<const char*>(p), static_cast<const char*>(end), a, b, c));
}

// The first CR or LF in [p, end), or end.
inline const char* FindLineEnd(const char* p, const char* end) { return FindAnyOf(p, end, '\n', '\r', '\r'); }
inline char* FindLineEnd(char* p, char* end) {
  return const_cast<char*>(FindLineEnd(static_cast<const char*>(p), static_cast<const char*>(end)));
}

template <typename Ch>
inline Ch* SkipLineBreaks(Ch* p, Ch* end) {
  while (p < end && IsLineBreak(*p)) ++p;
  return p;
}

// Blanks, tabs and line breaks.
template <typename Ch>
inline Ch* SkipWhite(Ch* p, Ch* end) {
  while (p < end && (*p == ' ' || *p == '\t' || IsLineBreak(*p))) ++p;
  return p;
}

// Whether the character at q is escaped by an odd run of backslashes in front of
// it, looking back no further than start (a server writes a quote inside a
// quoted field as \" and a backslash as \\).
inline bool BackslashEscaped(const char* start, const char* q) {
  const char* b = q;
  while (b > start && b[-1] == '\\') --b;
  return (q - b) % 2 != 0;
}

// Whether [p, end) holds pattern anywhere; NUL bytes in the text do not stop the search.
inline bool ContainsText(const char* p, size_t len, const char* pattern) {
  return memmem(p, len, pattern, strlen(pattern)) != nullptr;
}
