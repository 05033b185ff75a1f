#include "engine/display/urldecode.h"

#include <cstdint>
#include <string>

namespace {

struct CharByte {
  uint16_t code;
  uint8_t byte;
};

// ISO 8859-2 letters and signs beyond U+00FF.
constexpr CharByte kLatin2[] = {
    {0x0104, 0xA1}, {0x02D8, 0xA2}, {0x0141, 0xA3}, {0x013D, 0xA5}, {0x015A, 0xA6}, {0x0160, 0xA9},
    {0x015E, 0xAA}, {0x0164, 0xAB}, {0x0179, 0xAC}, {0x017D, 0xAE}, {0x017B, 0xAF}, {0x0105, 0xB1},
    {0x02DB, 0xB2}, {0x0142, 0xB3}, {0x013E, 0xB5}, {0x015B, 0xB6}, {0x02C7, 0xB7}, {0x0161, 0xB9},
    {0x015F, 0xBA}, {0x0165, 0xBB}, {0x017A, 0xBC}, {0x02DD, 0xBD}, {0x017E, 0xBE}, {0x017C, 0xBF},
    {0x0154, 0xC0}, {0x0102, 0xC3}, {0x0139, 0xC5}, {0x0106, 0xC6}, {0x010C, 0xC8}, {0x0118, 0xCA},
    {0x011A, 0xCC}, {0x010E, 0xCF}, {0x0110, 0xD0}, {0x0143, 0xD1}, {0x0147, 0xD2}, {0x0150, 0xD5},
    {0x0158, 0xD8}, {0x016E, 0xD9}, {0x0170, 0xDB}, {0x0162, 0xDE}, {0x0155, 0xE0}, {0x0103, 0xE3},
    {0x013A, 0xE5}, {0x0107, 0xE6}, {0x010D, 0xE8}, {0x0119, 0xEA}, {0x011B, 0xEC}, {0x010F, 0xEF},
    {0x0111, 0xF0}, {0x0144, 0xF1}, {0x0148, 0xF2}, {0x0151, 0xF5}, {0x0159, 0xF8}, {0x016F, 0xF9},
    {0x0171, 0xFB}, {0x0163, 0xFE}, {0x02D9, 0xFF},
};

// Windows-1252 letters and signs, and the Turkish letters, that the tables above miss.
constexpr CharByte kFurther[] = {
    {0x0192, 0x83}, {0x02C6, 0x88}, {0x0152, 0x8C}, {0x02DC, 0x98}, {0x0153, 0x9C},
    {0x0178, 0x9F}, {0x011E, 0xD0}, {0x0130, 0xDD}, {0x011F, 0xF0}, {0x0131, 0xFD},
};

// The byte of a two-byte character, or '?' when no table holds it.
unsigned char FoldTwoByte(unsigned code) {
  if (code == 0x0401) return 0xA8;  // Cyrillic in Windows-1251
  if (code >= 0x0410 && code <= 0x044F) return static_cast<unsigned char>(0xC0 + (code - 0x0410));
  if (code == 0x0451) return 0xB8;
  if (code >= 0x0080 && code <= 0x00FF) return static_cast<unsigned char>(code);
  for (const CharByte& r : kLatin2)
    if (r.code == code) return r.byte;
  for (const CharByte& r : kFurther)
    if (r.code == code) return r.byte;
  return '?';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Writer {
 public:
  Writer(char* out, size_t size, bool raw) : m_out(out), m_room(size ? size - 1 : 0), m_raw(raw) {}

  bool Full() const { return m_used >= m_room; }

  // A decoded byte joins the pending run; a run longer than the output is cut.
  void AddPending(unsigned char b) {
    if (m_pending.size() < m_room) m_pending.push_back(static_cast<char>(b));
  }

  void Flush() {
    const auto* p = reinterpret_cast<const unsigned char*>(m_pending.data());
    size_t n = m_pending.size();
    for (size_t i = 0; i < n && !Full();) {
      unsigned char b = p[i];
      if (m_raw) {
        ++i;
      } else {
        i += static_cast<size_t>(Utf8ToCp1251Char(p + i, n - i, &b));
      }
      m_out[m_used++] = static_cast<char>(b);
    }
    m_pending.clear();
  }

  void Put(char c) {
    Flush();
    if (!Full()) m_out[m_used++] = c;
  }

  void Finish() {
    Flush();
    m_out[m_used] = 0;
  }

 private:
  char* m_out;
  size_t m_room;
  bool m_raw;
  size_t m_used = 0;
  std::string m_pending;
};

}  // namespace

int Utf8ToCp1251Char(const unsigned char* sequence, size_t available, unsigned char* output) {
  if (available == 0) return 0;
  unsigned char lead = sequence[0];
  if (lead < 0x80) {
    *output = lead;
    return 1;
  }
  *output = '?';
  // A sequence cut short by the end of its run uses what is there and no more.
  if (lead >= 0xF0) return static_cast<int>(available < 4 ? available : 4);
  if (lead >= 0xE0) return static_cast<int>(available < 3 ? available : 3);
  if (available < 2) return 1;
  unsigned char next = sequence[1];
  if (lead >= 0xC0 && next >= 0x80 && next <= 0xBF)
    *output = FoldTwoByte((static_cast<unsigned>(lead & 0x1F) << 6) | (next & 0x3Fu));
  return 2;
}

char* DecodeUrlText(const char* input, char* output, size_t outputSize, bool raw) {
  if (!output || outputSize == 0) return output;
  Writer w(output, outputSize, raw);
  const char* p = input ? input : "";
  while (*p && !w.Full()) {
    if (*p != '%') {
      w.Put(*p++);
      continue;
    }
    int high = HexValue(p[1]);
    if (high < 0) {
      // Not an escape: the '%' and the character behind it give one '?'.
      w.Put('?');
      p += p[1] ? 2 : 1;
      continue;
    }
    int low = p[2] ? HexValue(p[2]) : -1;
    if (low >= 0) {
      w.AddPending(static_cast<unsigned char>(high * 16 + low));
      p += 3;
    } else {
      // One digit: its value, and the character behind it is swallowed.
      w.AddPending(static_cast<unsigned char>(high));
      p += p[2] ? 3 : 2;
    }
  }
  w.Finish();
  return output;
}
