// Byte strings to display strings: UTF-8 sequences kept, other bytes Windows-1252,
// never losing a byte.
#include <gtest/gtest.h>

#include <string>

#include "platform/wx/wxtext.h"

namespace {

TEST(WxText, BytesBecomeCharacters) {
  struct Case {
    std::string bytes;
    const char* utf8;  // the expected text, as UTF-8
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"caf\xe9", "caf\xc3\xa9"},
      {"\x80 \x93q\x94 \x9f", "\xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d \xc5\xb8"},
      {"\x81\x8d\x8f\x90\x9d", "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d"},  // unassigned in 1252, still kept
      {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                                   // overlong: not UTF-8
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac"},                   // surrogate: not UTF-8
      {"ab\xe2\x82", "ab\xc3\xa2\xe2\x80\x9a"},                           // cut short: not UTF-8
      {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xe2\x82\xac\xe2\x82\xac"},   // above U+10FFFF
      // Valid UTF-8 with one stray byte: only that byte is read as Windows-1252.
      {"Gr\xc3\xbc\xc3\x9f" "e \xe9", "Gr\xc3\xbc\xc3\x9f" "e \xc3\xa9"},
      {"\x93" "caf\xc3\xa9\x94", "\xe2\x80\x9c" "caf\xc3\xa9\xe2\x80\x9d"},
      {"\xe2\x82\xac\xe2\x82", "\xe2\x82\xac\xc3\xa2\xe2\x80\x9a"},
      {std::string("a\0b", 3), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    wxString text = tv::BytesToWx(c.bytes);
    if (c.utf8) {
      EXPECT_EQ(tv::WxToBytes(text), c.utf8);
    } else {
      EXPECT_EQ(text.length(), 3u);
      EXPECT_EQ(tv::WxToBytes(text), c.bytes);
    }
  }
  EXPECT_TRUE(tv::BytesToWx(static_cast<const char*>(nullptr)).empty());
}

}  // namespace
