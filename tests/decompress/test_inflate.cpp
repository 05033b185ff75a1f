// Hand-written deflate streams: the corner cases of block headers, code sets and
// matches that no ordinary compressor writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "decompress/gunzip.h"
#include "tests/common/testenv.h"
#include "tests/decompress/gz_support.h"

namespace {

using gztest::BitWriter;
using gztest::DynamicHeader;

// Code and length of a symbol in the fixed literal/length code.
void FixedLit(BitWriter& w, int sym) {
  if (sym < 144) w.Code(0x30 + uint32_t(sym), 8);
  else if (sym < 256) w.Code(0x190 + uint32_t(sym - 144), 9);
  else if (sym < 280) w.Code(uint32_t(sym - 256), 7);
  else w.Code(0xC0 + uint32_t(sym - 280), 8);
}

std::vector<int> Lengths(size_t count, std::initializer_list<std::pair<int, int>> set) {
  std::vector<int> v(count, 0);
  for (auto [sym, len] : set) v[size_t(sym)] = len;
  return v;
}

// A literal/length code of 'a' (1 bit), end of block and length 3 (2 bits each).
const std::vector<int> kSmallLit = Lengths(258, {{'a', 1}, {256, 2}, {257, 2}});

void Emit(BitWriter& w, const std::vector<int>& lengths, int sym) {
  w.Code(gztest::CanonicalCodes(lengths)[size_t(sym)], lengths[size_t(sym)]);
}

struct Stream {
  const char* name;
  std::function<void(BitWriter&)> write;
  std::string plain;  // expected output of a good stream
};

class CraftedStreams : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = tvtest::NewDir("inflate"); }
  std::string Write(const Stream& s, bool trailer = true) {
    BitWriter w;
    s.write(w);
    std::string deflate = w.Finish();
    std::string file = dir_ + "crafted.gz";
    std::string member = gztest::GzipMember(deflate, s.plain);
    tvtest::WriteFile(file, trailer ? member : member.substr(0, member.size() - 8));
    return file;
  }
  std::string dir_;
};

TEST_F(CraftedStreams, GoodStreamsDecodeLikeGzip) {
  const std::string stored = gztest::RandomBytes(40000, 11);
  std::string far = stored;
  for (int i = 0; i < 200; ++i) far += far.substr(far.size() - 32768, 258);
  const Stream kGood[] = {
      {"only literals, no distance codes",
       [](BitWriter& w) {
         auto lit = Lengths(257, {{'a', 1}, {256, 1}});
         DynamicHeader(w, true, lit, {0});
         Emit(w, lit, 'a');
         Emit(w, lit, 'a');
         Emit(w, lit, 256);
       },
       "aa"},
      {"a single one-bit distance code",
       [](BitWriter& w) {
         DynamicHeader(w, true, kSmallLit, {1});
         Emit(w, kSmallLit, 'a');
         Emit(w, kSmallLit, 257);
         w.Code(0, 1);
         Emit(w, kSmallLit, 256);
       },
       "aaaa"},
      {"repeat codes 16, 17 and 18",
       [](BitWriter& w) {
         // 'a'..'d' 3 bits (3, then 16 x3), 155 zeros (18, 18), 256 and 257 2 bits.
         std::vector<int> codeLen(19, 5);
         for (int i = 0; i < 13; ++i) codeLen[size_t(i)] = 4;
         DynamicHeader(w, true, 258, 2, codeLen,
                       {{18, 97 - 11}, {3, 0}, {16, 0}, {18, 127}, {18, 6}, {2, 0}, {2, 0}, {1, 0}, {1, 0}});
         auto lit = Lengths(258, {{'a', 3}, {'b', 3}, {'c', 3}, {'d', 3}, {256, 2}, {257, 2}});
         for (int c : {'a', 'b', 'c', 'd'}) Emit(w, lit, c);
         Emit(w, lit, 257);
         w.Code(0, 1);  // distance 1
         Emit(w, lit, 256);
       },
       "abcdddd"},
      {"empty stored block, then a fixed block",
       [](BitWriter& w) {
         w.Bits(0, 1);
         w.Bits(0, 2);
         w.Align();
         w.Bits(0, 16);
         w.Bits(0xFFFF, 16);
         w.Bits(1, 1);
         w.Bits(1, 2);
         FixedLit(w, 'z');
         FixedLit(w, 285);  // length 258
         w.Code(0, 5);      // distance 1
         FixedLit(w, 256);
       },
       std::string(259, 'z')},
      {"matches 32768 back, across window flushes",
       [&stored](BitWriter& w) {
         w.Bits(0, 1);
         w.Bits(0, 2);
         w.Align();
         w.Bits(uint32_t(stored.size()), 16);
         w.Bits(~uint32_t(stored.size()) & 0xFFFF, 16);
         for (unsigned char c : stored) w.Bits(c, 8);
         w.Bits(1, 1);
         w.Bits(1, 2);
         for (int i = 0; i < 200; ++i) {
           FixedLit(w, 285);
           w.Code(29, 5);
           w.Bits(8191, 13);
         }
         FixedLit(w, 256);
       },
       far},
  };
  for (const Stream& s : kGood) {
    SCOPED_TRACE(s.name);
    std::string file = Write(s);
    std::string out = dir_ + "out.txt";
    tvtest::MessageCapture capture;
    ASSERT_TRUE(GunzipFile(file.c_str(), out.c_str())) << capture.AllErrors();
    EXPECT_TRUE(tvtest::ReadFile(out) == s.plain);
    EXPECT_TRUE(gztest::GzipDc(file) == s.plain) << "gzip disagrees";
  }
}

TEST_F(CraftedStreams, BadStreamsFailCleanly) {
  std::vector<int> clComplete(19, 5);
  for (int i = 0; i < 13; ++i) clComplete[size_t(i)] = 4;
  auto fill = [](BitWriter& w) {
    for (int i = 0; i < 64; ++i) w.Bits(0, 8);
  };
  const Stream kBad[] = {
      {"block type 3", [](BitWriter& w) { w.Bits(7, 3); }, ""},
      {"stored length not matched by its complement",
       [](BitWriter& w) {
         w.Bits(1, 3);
         w.Align();
         w.Bits(5, 16);
         w.Bits(5, 16);
         for (char c : std::string("hello")) w.Bits(uint8_t(c), 8);
       },
       "hello"},
      {"287 literal/length codes", [&](BitWriter& w) { DynamicHeader(w, true, 287, 1, clComplete, {}); fill(w); }, ""},
      {"31 distance codes", [&](BitWriter& w) { DynamicHeader(w, true, 257, 31, clComplete, {}); fill(w); }, ""},
      {"repeat with no previous length",
       [&](BitWriter& w) { DynamicHeader(w, true, 257, 1, clComplete, {{16, 0}}); fill(w); }, ""},
      {"repeat past the last length",
       [&](BitWriter& w) { DynamicHeader(w, true, 257, 1, clComplete, {{18, 127}, {18, 127}}); fill(w); }, ""},
      {"over-subscribed code-length code",
       [&](BitWriter& w) { DynamicHeader(w, true, 257, 1, Lengths(19, {{0, 1}, {8, 1}, {18, 1}}), {}); fill(w); }, ""},
      {"incomplete code-length code",
       [&](BitWriter& w) { DynamicHeader(w, true, 257, 1, Lengths(19, {{0, 2}, {8, 2}, {18, 2}}), {}); fill(w); }, ""},
      {"incomplete literal/length code",
       [&](BitWriter& w) {
         std::vector<int> lit(257, 0);
         for (int i = 0; i < 128; ++i) lit[size_t(i)] = 8;
         lit[256] = 8;
         DynamicHeader(w, true, lit, {1, 1});
         fill(w);
       },
       ""},
      {"over-subscribed literal/length code",
       [&](BitWriter& w) {
         DynamicHeader(w, true, std::vector<int>(257, 8), {1, 1});
         fill(w);
       },
       ""},
      {"no end-of-block code",
       [&](BitWriter& w) {
         std::vector<int> lit(257, 8);
         lit[256] = 0;
         DynamicHeader(w, true, lit, {1, 1});
         fill(w);
       },
       ""},
      {"over-subscribed distance code", [&](BitWriter& w) { DynamicHeader(w, true, kSmallLit, {1, 1, 1}); fill(w); }, ""},
      {"incomplete distance code", [&](BitWriter& w) { DynamicHeader(w, true, kSmallLit, {2, 2, 2}); fill(w); }, ""},
      {"length code with no distance codes",
       [&](BitWriter& w) {
         DynamicHeader(w, true, kSmallLit, {0});
         Emit(w, kSmallLit, 'a');
         Emit(w, kSmallLit, 257);
         fill(w);
       },
       "aaaa"},
      {"distance before the start of the member",
       [&](BitWriter& w) {
         DynamicHeader(w, true, kSmallLit, {1, 1});
         Emit(w, kSmallLit, 'a');
         Emit(w, kSmallLit, 257);
         w.Code(1, 1);  // distance 2, one byte made so far
         Emit(w, kSmallLit, 256);
       },
       "aaaa"},
      {"fixed literal/length code 286",
       [&](BitWriter& w) {
         w.Bits(3, 3);
         FixedLit(w, 286);
         fill(w);
       },
       ""},
      {"fixed distance code 30",
       [&](BitWriter& w) {
         w.Bits(3, 3);
         FixedLit(w, 'a');
         FixedLit(w, 257);
         w.Code(30, 5);
         fill(w);
       },
       "aaaa"},
      {"last block missing",
       [](BitWriter& w) {
         w.Bits(2, 3);  // fixed, not last
         FixedLit(w, 'a');
         FixedLit(w, 256);
       },
       "a"},
  };
  const int fds = gztest::OpenDescriptors();
  for (const Stream& s : kBad) {
    SCOPED_TRACE(s.name);
    std::string file = Write(s, std::string(s.name) != "last block missing");
    std::string out = dir_ + "out.txt";
    tvtest::MessageCapture capture;
    EXPECT_FALSE(GunzipFile(file.c_str(), out.c_str()));
    EXPECT_FALSE(std::filesystem::exists(out));
    ASSERT_FALSE(capture.errors.empty());
    EXPECT_NE(capture.errors[0].find(file), std::string::npos) << capture.errors[0];
  }
  EXPECT_EQ(gztest::OpenDescriptors(), fds);
}

}  // namespace
