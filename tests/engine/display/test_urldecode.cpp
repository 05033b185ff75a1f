#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/display/urldecode.h"

namespace {

std::string Decode(const char* in, size_t size, bool raw) {
  std::vector<char> out(size + 8, '#');
  DecodeUrlText(in, out.data(), size, raw);
  EXPECT_EQ(out[size], '#') << "wrote past the output for " << in;
  return out.data();
}

TEST(UrlDecode, EscapesAndFolding) {
  struct Case {
    const char* input;
    size_t size;
    bool raw;
    const char* expected;
  } cases[] = {
      {"%D0%96", 64, false, "\xC6"},          // Cyrillic Zhe in Windows-1251
      {"%d0%96", 64, false, "\xC6"},          // hex digits in either case
      {"%D0%96", 64, true, "\xD0\x96"},       // raw: the UTF-8 bytes as they are
      {"x%D0%96y+z", 64, false, "x\xC6y+z"},  // plain characters copied, '+' too
      {"%D0%81%D1%8F%D1%91", 64, false, "\xA8\xFF\xB8"},
      {"%C3%A9t%C3%A9", 64, false, "\xE9t\xE9"},        // U+00E9: the byte of the same value
      {"%C4%85%C5%81%C5%BB", 64, false, "\xB1\xA3\xAF"},  // ISO 8859-2 letters
      {"%C5%92%C4%B0%C4%9F", 64, false, "\x8C\xDD\xF0"},  // Windows-1252 and Turkish
      {"%CE%B1", 64, false, "?"},                       // Greek: in no table
      {"%E2%82%AC!", 64, false, "?!"},                  // three-byte sequence
      {"%F0%9F%98%80x", 64, false, "?x"},               // four-byte sequence
      {"%41%42", 64, false, "AB"},
      {"100%25", 64, false, "100%"},
      {"abc%", 64, false, "abc?"},   // '%' at the end
      {"%zz", 64, false, "?z"},      // '%' and the character behind it give one '?'
      {"%4g.", 64, true, "\x04."},   // one digit: its value, the 'g' is swallowed
      {"%D0", 64, false, "?"},       // a lead byte at the end of its run reads no further
      {"%E2%82", 64, false, "?"},    // nor does a cut three-byte sequence
      {"%D0abc", 64, false, "?abc"},
      {"abcdef", 3, false, "ab"},
      {"%D0%96", 1, false, ""},  // room for the terminator only
      {"%D0%96%D0%96%D0%96", 4, false, "\xC6?"},  // a run is cut at the output's size
      {"", 8, false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.input, c.size, c.raw), c.expected) << c.input;
}

TEST(UrlDecode, FoldingUsesOnlyTheBytesItIsGiven) {
  const unsigned char lead[] = {0xD0, 0x96};
  unsigned char out = 0;
  EXPECT_EQ(Utf8ToCp1251Char(lead, 1, &out), 1);
  EXPECT_EQ(out, '?');
  EXPECT_EQ(Utf8ToCp1251Char(lead, 2, &out), 2);
  EXPECT_EQ(out, 0xC6);
  const unsigned char four[] = {0xF0, 0x9F};
  EXPECT_EQ(Utf8ToCp1251Char(four, 2, &out), 2);
  EXPECT_EQ(Utf8ToCp1251Char(four, 0, &out), 0);
}

}  // namespace
