// GunzipFile on zip archives, compress (LZW), pack and lh5 files. Fixtures are made
// at test time with zip, compress and the encoders in tools/; every success must
// equal what `gzip -dc` makes of the same file, every failure leaves no output.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "decompress/gunzip.h"
#include "tests/common/testenv.h"
#include "tests/decompress/gz_support.h"

namespace {

using gztest::GzipDc;
using gztest::Quote;
using gztest::Shell;
namespace fs = std::filesystem;

// Writes bits most significant first, as pack and lh5 do.
class MsbWriter {
 public:
  MsbWriter& Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc_ = uint8_t(acc_ << 1 | ((value >> i) & 1));
      if (++n_ == 8) {
        bytes_ += char(acc_);
        acc_ = 0;
        n_ = 0;
      }
    }
    return *this;
  }
  std::string Finish() {
    if (n_) Put(0, 8 - n_);
    return bytes_;
  }

 private:
  std::string bytes_;
  uint8_t acc_ = 0;
  int n_ = 0;
};

// `s` with the bytes at `at` replaced by `bytes`.
std::string Patch(std::string s, size_t at, const std::string& bytes) { return s.replace(at, bytes.size(), bytes); }

std::string Be32(uint32_t v) {
  return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

class MethodFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* tool : {"zip", "compress", "gzip", "python3"}) {
      ASSERT_EQ(Shell(std::string("command -v ") + tool + " >/dev/null"), 0)
          << tool << " is not installed (tools/packages.txt lists the packages the tests need)";
    }
    dir_ = tvtest::NewDir("methods");
    const std::string text = gztest::LogText(300000, 3);
    // Text and random stretches by turns, so that compress clears its table.
    std::string varied;
    for (unsigned i = 0; i < 14; ++i) varied += gztest::LogText(60000, 10 + i) + gztest::RandomBytes(30000, 40 + i);
    tvtest::WriteFile(Path("text.txt"), text);
    tvtest::WriteFile(Path("varied.bin"), varied);
    tvtest::WriteFile(Path("random.bin"), gztest::RandomBytes(100000, 8));
    tvtest::WriteFile(Path("short.txt"), text.substr(0, 400));
    // With 9 bits compress writes what neither it nor gzip reads once its table is
    // full, so only a short input.
    tvtest::WriteFile(Path("tiny.txt"), text.substr(0, 200));
    tvtest::WriteFile(Path("one.txt"), std::string(5000, 'a'));
    tvtest::WriteFile(Path("byte.txt"), "x");
    tvtest::WriteFile(Path("empty.txt"), "");
    const std::string tools = TV_TOOLS_DIR;
    const std::string sh =
        "cd " + Quote(dir_) + " && zip -q deflated.zip text.txt && zip -q -0 stored.zip text.txt" +
        " && zip -q -fd descriptor.zip text.txt && zip -q -0 -fd storeddesc.zip random.bin" +
        " && cat text.txt | zip -q - - > stdin.zip && zip -q emptyentry.zip empty.txt" +
        " && zip -q -P secret encrypted.zip text.txt && zip -q -Z bzip2 bzip2.zip text.txt" +
        " && zip -q two.zip text.txt short.txt" +
        " && for b in 10 11 12 13 14 15 16; do compress -b$b -c varied.bin > v$b.Z; done" +
        " && compress -b9 -c tiny.txt > tiny9.Z && compress -c text.txt > text.Z" +
        " && for f in text.txt random.bin one.txt byte.txt; do python3 " + Quote(tools + "/mkpack.py") +
        " $f ${f%.*}.z; done" +
        " && cat text.z one.z > twopack.z && gzip -c short.txt > short.gz && cat one.z short.gz > packgz.z" +
        " && (cat one.z; echo trailing) > packjunk.z" +
        " && m=" + Quote(tools + "/mklh5.py") + " && python3 $m text.txt text.lzh" +
        " && python3 $m --no-end text.txt noend.lzh && python3 $m --block 3000 varied.bin varied.lzh" +
        " && python3 $m one.txt one.lzh && python3 $m byte.txt byte.lzh && python3 $m empty.txt empty.lzh" +
        " && python3 $m --no-end empty.txt bare.lzh";
    ASSERT_EQ(Shell(sh), 0) << "fixtures not made";
    gztest::Python(dir_, R"(
import io, zipfile
class Stream(io.RawIOBase):  # not seekable: zipfile writes data descriptors, sizes 0
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
s = Stream()
with zipfile.ZipFile(s, 'w', zipfile.ZIP_STORED) as z:
    z.writestr('a.txt', b'stored behind unknown sizes\n' * 100)
open('nosize.zip', 'wb').write(bytes(s.data))
s = Stream()
with zipfile.ZipFile(s, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('a.txt', b'deflated behind unknown sizes\n' * 100)
open('streamed.zip', 'wb').write(bytes(s.data))
)");
  }

  static std::string Path(const std::string& name) { return dir_ + name; }
  static std::string Out() { return dir_ + "out.bin"; }

  static void ExpectDecodes(const std::string& path, const std::string& expect) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(GzipDc(path) == expect) << "gzip reads it otherwise";
    tvtest::MessageCapture capture;
    ASSERT_TRUE(GunzipFile(path.c_str(), Out().c_str())) << capture.AllErrors();
    EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
    std::string got = tvtest::ReadFile(Out());
    EXPECT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect);
  }

  // A failure with a message naming the input, and no output file.
  static void ExpectFails(const std::string& name, const std::string& data) {
    SCOPED_TRACE(name);
    const std::string in = Path("damaged");
    tvtest::WriteFile(in, data);
    fs::remove(Out());
    tvtest::MessageCapture capture;
    EXPECT_FALSE(GunzipFile(in.c_str(), Out().c_str()));
    EXPECT_FALSE(fs::exists(Out()));
    ASSERT_FALSE(capture.errors.empty());
    EXPECT_NE(capture.errors[0].find(in), std::string::npos) << capture.errors[0];
  }

  static std::string Read(const std::string& name) { return tvtest::ReadFile(Path(name)); }

  static std::string dir_;
};

std::string MethodFiles::dir_;

TEST_F(MethodFiles, DecodesWhatGzipDecodes) {
  const std::string text = Read("text.txt"), varied = Read("varied.bin"), one = Read("one.txt");
  const std::string random = Read("random.bin"), shortText = Read("short.txt");
  std::string streamed;
  for (int i = 0; i < 100; ++i) streamed += "deflated behind unknown sizes\n";
  const struct {
    const char* name;
    std::string expect;
  } kCases[] = {
      // zip: deflated, stored, sizes after the data, a zip64 header, an empty entry
      {"deflated.zip", text},
      {"stored.zip", text},
      {"descriptor.zip", text},
      {"storeddesc.zip", random},
      {"streamed.zip", streamed},
      {"stdin.zip", text},
      {"emptyentry.zip", ""},
      // compress with every code width; the varied input clears the table
      {"v10.Z", varied},
      {"v11.Z", varied},
      {"v12.Z", varied},
      {"v13.Z", varied},
      {"v14.Z", varied},
      {"v15.Z", varied},
      {"v16.Z", varied},
      {"tiny9.Z", text.substr(0, 200)},
      {"text.Z", text},
      // pack: all 256 byte values, one byte value, members one behind the other
      {"text.z", text},
      {"random.z", random},
      {"one.z", one},
      {"byte.z", "x"},
      {"twopack.z", text + one},
      {"packgz.z", one + shortText},
      {"packjunk.z", one},
      // lh5: with and without the final empty block, many blocks, one-code tables
      {"text.lzh", text},
      {"noend.lzh", text},
      {"varied.lzh", varied},
      {"one.lzh", one},
      {"byte.lzh", "x"},
      {"empty.lzh", ""},
      {"bare.lzh", ""},
  };
  for (const auto& c : kCases) ExpectDecodes(Path(c.name), c.expect);
}

// Pack members ending on every byte around the end of the first 32 KB input block:
// what the decoder read ahead must be given back to the next member.
TEST_F(MethodFiles, PackMemberEndingAroundTheInputBlockBoundary) {
  const std::string dir = tvtest::NewDir("pack-edge");
  gztest::Python(dir, R"(
import random, sys
sys.path.insert(0, ')" + std::string(TV_TOOLS_DIR) + R"(')
import mkpack
data = random.Random(7).randbytes(40000)
lo, hi = 30000, 40000
while lo < hi:  # first length whose member is at least 32758 bytes
    mid = (lo + hi) // 2
    if len(mkpack.pack(data[:mid])) < 32758: lo = mid + 1
    else: hi = mid
sizes = set()
n = lo
while len(sizes) < 21 and n < lo + 200:
    p = mkpack.pack(data[:n])
    if 32758 <= len(p) <= 32778 and len(p) not in sizes:
        sizes.add(len(p))
        open('edge%d.z' % (len(p) - 32758), 'wb').write(p)
        open('edge%d.plain' % (len(p) - 32758), 'wb').write(data[:n])
    n += 1
)");
  const std::string second = Read("one.z");
  int made = 0;
  for (int k = 0; k <= 20; ++k) {
    const std::string name = dir + "edge" + std::to_string(k);
    if (!fs::exists(name + ".z")) continue;
    ++made;
    tvtest::WriteFile(name + ".two.z", tvtest::ReadFile(name + ".z") + second);
    ExpectDecodes(name + ".two.z", tvtest::ReadFile(name + ".plain") + Read("one.txt"));
  }
  EXPECT_GE(made, 15);
}

// Zip files whose first entry cannot be taken count as not compressed.
TEST_F(MethodFiles, RefusedZipEntriesMakeNoOutput) {
  const std::string deflated = Read("deflated.zip");
  ExpectFails("encrypted", Read("encrypted.zip"));
  ExpectFails("bzip2 method", Read("bzip2.zip"));
  ExpectFails("stored, sizes only in the data descriptor", Read("nosize.zip"));
  ExpectFails("method 0x0108", Patch(deflated, 9, "\x01"));
  ExpectFails("header cut", deflated.substr(0, 25));
  ExpectFails("extra field past the first block", Patch(deflated, 28, "\xFF\xFF"));
}

TEST_F(MethodFiles, DamagedZipFilesFail) {
  std::string deflated = Read("deflated.zip"), stored = Read("stored.zip"), desc = Read("descriptor.zip");
  auto flip = [](std::string s, size_t at) {
    s[at] = char(s[at] ^ 0x10);
    return s;
  };
  const size_t descAt = desc.find("PK\x07\x08");
  ASSERT_NE(descAt, std::string::npos);
  ExpectFails("two entries", Read("two.zip"));
  ExpectFails("CRC-32 in the header", flip(deflated, 14));
  ExpectFails("size in the header", flip(deflated, 22));
  ExpectFails("stored data", flip(stored, 5000));
  ExpectFails("stored data cut", stored.substr(0, 200000));
  ExpectFails("deflate data", flip(deflated, 200));
  ExpectFails("deflate data cut", deflated.substr(0, deflated.size() / 2));
  ExpectFails("descriptor signature", flip(desc, descAt));
  ExpectFails("descriptor CRC-32", flip(desc, descAt + 4));
  ExpectFails("descriptor cut", desc.substr(0, descAt + 10));

  // A second entry is found however the first one ends against the input blocks.
  const std::string dir = tvtest::NewDir("zip-edge");
  gztest::Python(dir, R"(
import zipfile
for k in range(-8, 9):
    with zipfile.ZipFile('two%d.zip' % (k + 8), 'w', zipfile.ZIP_STORED) as z:
        z.writestr('a', bytes(32768 - 31 + k))
        z.writestr('b', b'second')
)");
  for (int k = 0; k <= 16; ++k) {
    const std::string name = "two" + std::to_string(k) + ".zip";
    ExpectFails("second entry in " + name, tvtest::ReadFile(dir + name));
  }
}

TEST_F(MethodFiles, LzwCodeStreams) {
  // 'a', 'b', then 256: a string of the table without block mode, a clear with it.
  auto stream = [](uint8_t flags, std::initializer_list<uint32_t> codes) {
    gztest::BitWriter w;
    for (uint32_t c : codes) w.Bits(c, 9);
    return std::string("\x1f\x9d") + char(flags) + w.Finish();
  };
  const struct {
    const char* name;
    std::string data;
    const char* expect;
  } kGood[] = {
      {"256 without block mode", stream(0x10, {'a', 'b', 256}), "abab"},
      // After a clear the rest of its group of eight codes is skipped.
      {"256 in block mode", stream(0x90, {'a', 256, 1, 2, 3, 4, 5, 6, 'b', 'c', 257}), "abcbc"},
  };
  for (const auto& c : kGood) {
    SCOPED_TRACE(c.name);
    tvtest::WriteFile(Path("crafted.Z"), c.data);
    tvtest::MessageCapture capture;
    ASSERT_TRUE(GunzipFile(Path("crafted.Z").c_str(), Out().c_str())) << capture.AllErrors();
    EXPECT_EQ(tvtest::ReadFile(Out()), c.expect);
  }

  const std::string v16 = Read("v16.Z");
  ExpectFails("17 bits", Patch(v16, 2, "\x91"));
  ExpectFails("8 bits", stream(0x88, {'a', 'b', 'c'}));
  ExpectFails("0 bits", stream(0x80, {'a', 'b', 'c'}));
  ExpectFails("first code 256", stream(0x90, {256, 'a'}));
  ExpectFails("first code 300", stream(0x10, {300, 'a'}));
  ExpectFails("code above the next free one", stream(0x90, {'a', 'b', 259}));
  ExpectFails("random codes", "\x1f\x9d\x90" + gztest::RandomBytes(5000, 4));
}

TEST_F(MethodFiles, DamagedPackFilesFail) {
  const std::string text = Read("text.z");
  const std::string junk = gztest::RandomBytes(600, 6);
  auto header = [&junk](uint32_t length, std::string depthAndCounts, std::string leaves) {
    return "\x1f\x1e" + Be32(length) + depthAndCounts + leaves + junk;
  };
  const std::string longLength = Patch(text, 5, std::string(1, char(text[5] + 1)));
  // 254 leaves of 8 bits and 3 + the end code of 9 bits: complete, but 257 stored.
  std::string tooMany = std::string("\x09", 1) + std::string(7, '\0') + "\xFE\x02";
  ExpectFails("stored length", longLength);
  ExpectFails("depth 0", header(5, std::string(1, '\0'), ""));
  ExpectFails("depth 26", header(5, "\x1a" + std::string(25, '\0') + "\x01", "ab"));
  ExpectFails("257 leaves", header(5, tooMany, std::string(257, 'x')));
  ExpectFails("over-subscribed", header(5, std::string("\x02\x02\x00", 3), "abc"));
  ExpectFails("odd count", header(5, std::string("\x03\x01\x00\x01", 4), "abc"));
  ExpectFails("incomplete", header(5, std::string("\x02\x00\x00", 3), "a"));
  for (size_t cut : {size_t(3), size_t(7), size_t(40), text.size() / 2, text.size() - 1})
    ExpectFails("cut at " + std::to_string(cut), text.substr(0, cut));
  ExpectFails("random after the tree", text.substr(0, 300) + gztest::RandomBytes(20000, 5));
  ExpectFails("second member cut", Read("twopack.z").substr(0, Read("twopack.z").size() - 2));
}

TEST_F(MethodFiles, DamagedLzhStreamsFail) {
  auto lzh = [](MsbWriter& w) { return "\x1f\xa0" + w.Finish() + std::string(64, '\0'); };
  // A code-length code with a complete code for lengths 0 and 1: codes 0 and 1.
  auto lengthCode = [](MsbWriter& w) { w.Put(4, 5).Put(1, 3).Put(0, 3).Put(0, 3).Put(0, 2).Put(1, 3); };
  std::vector<std::pair<std::string, std::string>> cases;
  {
    MsbWriter w;  // four one-bit codes fill the code space twice
    w.Put(1, 16).Put(4, 5).Put(1, 3).Put(1, 3).Put(1, 3).Put(0, 2).Put(1, 3);
    cases.push_back({"over-subscribed by a whole code space", lzh(w)});
  }
  {
    MsbWriter w;
    w.Put(1, 16).Put(2, 5).Put(1, 3).Put(0, 3);
    cases.push_back({"incomplete", lzh(w)});
  }
  {
    MsbWriter w;
    w.Put(1, 16).Put(20, 5);
    cases.push_back({"20 code lengths", lzh(w)});
  }
  {
    MsbWriter w;
    w.Put(1, 16);
    lengthCode(w);
    w.Put(511, 9);
    cases.push_back({"511 character codes", lzh(w)});
  }
  {
    MsbWriter w;
    w.Put(1, 16).Put(1, 5).Put(7, 3).Put(0x3FF, 10).Put(0, 1);
    cases.push_back({"length 17", lzh(w)});
  }
  {
    MsbWriter w;  // zero-run code 2 (code 11) with 20 + 511 zeros
    w.Put(1, 16).Put(3, 5).Put(1, 3).Put(2, 3).Put(2, 3).Put(0, 2).Put(510, 9).Put(3, 2).Put(511, 9);
    cases.push_back({"zero run past the table", lzh(w)});
  }
  {
    MsbWriter w;
    w.Put(1, 16).Put(0, 5).Put(25, 5);
    cases.push_back({"single code-length symbol 25", lzh(w)});
  }
  {
    MsbWriter w;
    w.Put(1, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put('a', 9).Put(0, 4).Put(14, 4);
    cases.push_back({"single position symbol 14", lzh(w)});
  }
  {
    MsbWriter w;  // one match of 3 bytes from 2 back, with nothing decoded yet
    w.Put(1, 16).Put(0, 5).Put(0, 5).Put(0, 9).Put(256, 9).Put(0, 4).Put(1, 4);
    cases.push_back({"distance before the start", lzh(w)});
  }
  const std::string text = Read("noend.lzh");
  for (size_t cut : {size_t(3), size_t(100), text.size() / 2, text.size() - 1})
    cases.push_back({"cut at " + std::to_string(cut), text.substr(0, cut)});
  cases.push_back({"another block begun", Read("byte.lzh").substr(0, Read("byte.lzh").size() - 2) + "\x01"});

  const int fds = gztest::OpenDescriptors();
  for (const auto& [name, data] : cases) ExpectFails(name, data);
  EXPECT_EQ(gztest::OpenDescriptors(), fds);
}

// Each call keeps its own tables, so calls of every method may run side by side.
TEST_F(MethodFiles, CallsRunConcurrently) {
  const char* const kNames[] = {"deflated.zip", "v16.Z", "text.z", "varied.lzh"};
  std::string expect[4];
  for (int i = 0; i < 4; ++i) expect[i] = GzipDc(Path(kNames[i]));
  bool ok[4] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      std::string out = Path("thread" + std::to_string(i) + ".bin");
      ok[i] = true;
      for (int round = 0; round < 3; ++round)
        ok[i] = ok[i] && GunzipFile(Path(kNames[i]).c_str(), out.c_str()) && tvtest::ReadFile(out) == expect[i];
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ok[i]) << kNames[i];
}

}  // namespace
