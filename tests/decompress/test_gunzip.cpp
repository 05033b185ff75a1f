// GunzipFile on files made by gzip and Python: every success must equal what
// `gzip -dc` makes of the same file; every failure leaves no output behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "decompress/gunzip.h"
#include "tests/common/testenv.h"
#include "tests/decompress/gz_support.h"

namespace {

using gztest::GzipDc;
using gztest::Quote;
using gztest::Shell;
namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

class GunzipFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = tvtest::NewDir("gunzip");
    text_ = gztest::LogText(300000);
    tvtest::WriteFile(dir_ + "text.txt", text_);
    tvtest::WriteFile(dir_ + "random.bin", gztest::RandomBytes(200000, 5));
    tvtest::WriteFile(dir_ + "w32k.txt", text_.substr(0, 32768));
    tvtest::WriteFile(dir_ + "w64k.txt", text_.substr(0, 65536));
    std::string sh = "cd " + Quote(dir_) + " && for n in 1 2 3 4 5 6 7 8 9; do gzip -$n -c text.txt > lvl$n.gz; done" +
                     " && gzip -6 -c random.bin > stored.gz && gzip -c w32k.txt > w32k.gz && gzip -c w64k.txt > w64k.gz" +
                     " && : | gzip -c > empty.gz && cat lvl1.gz stored.gz > two.gz";
    ASSERT_EQ(Shell(sh), 0);
    gztest::Python(dir_, R"(
import struct, zlib
text = open('text.txt', 'rb').read()
lvl6 = open('lvl6.gz', 'rb').read()
c = zlib.compressobj(9, zlib.DEFLATED, 31, 9, zlib.Z_FIXED)
open('fixed.gz', 'wb').write(c.compress(text) + c.flush())
raw = zlib.compressobj(6, zlib.DEFLATED, -15)
body = raw.compress(text[:50000]) + raw.flush()
head = b'\x1f\x8b\x08' + bytes([0x01 | 0x04 | 0x08 | 0x10]) + b'\0' * 6
head += struct.pack('<H', 7) + b'extra!!' + b'n' * 400 + b'\0' + b'a comment\0'
open('fields.gz', 'wb').write(head + body + struct.pack('<II', zlib.crc32(text[:50000]), 50000))
open('oldmagic.gz', 'wb').write(b'\x1f\x9e' + lvl6[2:])
open('stray.gz', 'wb').write(lvl6 + b'x')
open('strayzero.gz', 'wb').write(lvl6 + b'\0')
open('zeros.gz', 'wb').write(lvl6 + b'\0' * 1000)
open('garbage.gz', 'wb').write(lvl6 + b'not a member\n')
)");
  }

  static std::string Path(const std::string& name) { return dir_ + name; }
  std::string Out() const { return dir_ + "out.txt"; }

  // Decodes `name` and compares the output with gzip's own.
  void ExpectDecodes(const std::string& name, const std::string& out) {
    SCOPED_TRACE(name);
    std::string expect = GzipDc(Path(name));
    ASSERT_TRUE(!expect.empty() || name == "empty.gz") << "fixture not made";
    tvtest::MessageCapture capture;
    ASSERT_TRUE(GunzipFile(Path(name).c_str(), out.c_str())) << capture.AllErrors();
    EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
    std::string got = tvtest::ReadFile(out);
    EXPECT_EQ(got.size(), expect.size());
    EXPECT_TRUE(got == expect);
  }

  // Expects a failure that leaves nothing at `out`; an error message unless the
  // input is simply not compressed.
  void ExpectFails(const std::string& path, bool message, const std::string& out) {
    fs::remove(out);
    tvtest::MessageCapture capture;
    EXPECT_FALSE(GunzipFile(path.c_str(), out.c_str()));
    EXPECT_FALSE(Exists(out));
    if (message) {
      ASSERT_FALSE(capture.errors.empty());
      const std::string& text = capture.errors[0];
      EXPECT_TRUE(text.find(path) != std::string::npos || text.find(out) != std::string::npos) << text;
    } else {
      EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
    }
  }

  static std::string dir_;
  static std::string text_;
};

std::string GunzipFiles::dir_;
std::string GunzipFiles::text_;

TEST_F(GunzipFiles, DecodesWhatGzipDecodes) {
  const char* const kNames[] = {
      "lvl1.gz",  "lvl2.gz",   "lvl3.gz",     "lvl4.gz",      "lvl5.gz",  "lvl6.gz",      "lvl7.gz",
      "lvl8.gz",  "lvl9.gz",   "fixed.gz",    "stored.gz",    "two.gz",   "fields.gz",    "oldmagic.gz",
      "empty.gz", "w32k.gz",   "w64k.gz",     "stray.gz",     "strayzero.gz", "zeros.gz", "garbage.gz"};
  for (const char* name : kNames) ExpectDecodes(name, Out());
  EXPECT_EQ(tvtest::ReadFile(Out()), text_.substr(0, 300000));  // garbage.gz: the member's data only
}

// The first member ends at every offset around the end of the first 32 KB input
// block, so its last codes, the bytes held back from its bit buffer, its trailer
// and the next member's header straddle a refill.
TEST_F(GunzipFiles, MemberEndingAroundTheInputBlockBoundary) {
  std::string dir = tvtest::NewDir("gunzip-edge");
  gztest::Python(dir, R"(
import struct, zlib
text = open(')" + Path("text.txt") + R"(', 'rb').read()
def member(data, level, total):
    c = zlib.compressobj(level, zlib.DEFLATED, -15)
    body = c.compress(data) + c.flush()
    pad = total - (10 + 2 + len(body) + 8)
    head = b'\x1f\x8b\x08\x04' + b'\0' * 6 + struct.pack('<H', pad) + b'p' * pad
    return head + body + struct.pack('<II', zlib.crc32(data), len(data))
c = zlib.compressobj(9, zlib.DEFLATED, 31)
second = c.compress(text[200000:210000]) + c.flush()
for k in range(-40, 41):
    open('edge%d.gz' % (k + 40), 'wb').write(member(text[:60000], 6, 32768 + k) + second)
    open('fedge%d.gz' % (k + 40), 'wb').write(member(text[:30000], 1, 32768 + k) + second)
)");
  // With one-bit codes the end-of-block code is short, so after a refill up to two
  // whole bytes of the previous block can still be held when the stream ends.
  std::vector<int> lit(257, 0);
  lit['a'] = 1;
  lit[256] = 1;
  gztest::BitWriter w;
  gztest::DynamicHeader(w, true, lit, {0});
  for (int i = 0; i < 3001; ++i) w.Code(0, 1);
  w.Code(1, 1);
  const std::string body = w.Finish();
  const std::string plain(3001, 'a');
  const std::string second = tvtest::ReadFile(Path("lvl1.gz"));
  for (int k = -40; k <= 40; ++k) {
    size_t pad = 32768 + k - (12 + body.size() + 8);
    std::string m("\x1f\x8b\x08\x04\0\0\0\0\0\x03", 10);
    m += char(pad & 0xFF);
    m += char(pad >> 8);
    m += std::string(pad, 'p');
    std::string trailer = gztest::GzipMember("", plain).substr(10);
    tvtest::WriteFile(dir + "bedge" + std::to_string(k + 40) + ".gz", m + body + trailer + second);
  }

  std::string saved = dir_;
  dir_ = dir;
  for (int i = 0; i <= 80; ++i) {
    for (const char* series : {"edge", "fedge", "bedge"}) ExpectDecodes(series + std::to_string(i) + ".gz", Out());
  }
  dir_ = saved;
}

TEST_F(GunzipFiles, PlainInputFailsAtOnceWithoutOutputOrMessage) {
  tvtest::WriteFile(Path("plain.log"), text_.substr(0, 5000));
  tvtest::WriteFile(Path("noise.bin"), "\x20" + gztest::RandomBytes(5000, 9));
  tvtest::WriteFile(Path("magicthenplain.bin"), "\x1f" + text_.substr(0, 100));
  // Too short to be compressed: an empty log, or one byte of any kind.
  tvtest::WriteFile(Path("empty.log"), "");
  tvtest::WriteFile(Path("magicbyte.bin"), "\x1f");
  tvtest::WriteFile(Path("onebyte.log"), "x");
  for (const char* name :
       {"plain.log", "noise.bin", "magicthenplain.bin", "empty.log", "magicbyte.bin", "onebyte.log"}) {
    SCOPED_TRACE(name);
    ExpectFails(Path(name), false, Out());
  }
  ExpectFails(Path("missing.gz"), false, Out());
  ExpectFails(dir_, false, Out());  // a folder
  // A FIFO without a writer is refused without waiting for one.
  ASSERT_EQ(mkfifo(Path("pipe.gz").c_str(), 0600), 0);
  ExpectFails(Path("pipe.gz"), false, Out());
  // None of them looks compressed; every magic number does, whatever follows.
  for (const char* name : {"plain.log", "noise.bin", "magicthenplain.bin", "empty.log", "magicbyte.bin",
                           "onebyte.log", "missing.gz", "pipe.gz"})
    EXPECT_FALSE(LooksCompressed(Path(name).c_str())) << name;
  for (const std::string& magic : {std::string("\x1f\x8b"), std::string("\x1f\x9e"), std::string("\x1f\x1e"),
                                   std::string("\x1f\x9d"), std::string("\x1f\xa0"), std::string("PK\x03\x04")}) {
    tvtest::WriteFile(Path("magic.bin"), magic + "rest");
    EXPECT_TRUE(LooksCompressed(Path("magic.bin").c_str())) << magic;
  }
  EXPECT_FALSE(LooksCompressed(nullptr));
}

// Damaged files: every one a clean failure with a message and no output; no
// descriptor stays open.
TEST_F(GunzipFiles, DamagedFilesFailCleanly) {
  std::string good = tvtest::ReadFile(Path("lvl6.gz"));
  std::string two = tvtest::ReadFile(Path("two.gz"));
  const size_t n = good.size();
  auto with = [](std::string s, size_t at, char c) {
    s[at] = c;
    return s;
  };
  struct Case {
    std::string name, data;
  };
  std::vector<Case> cases = {
      {"magic only", "\x1f\x8b"},
      {"random after a header", good.substr(0, 10) + gztest::RandomBytes(20000, 3)},
      {"CRC-32 changed", with(good, n - 8, char(good[n - 8] ^ 0x01))},
      {"length changed", with(good, n - 4, char(good[n - 4] + 1))},
      {"second member refused", good + good.substr(0, 3) + "\x02" + good.substr(4)},
      {"second member header cut", good + good.substr(0, 6)},
      {"second member data cut", two.substr(0, two.size() - 100)},
  };
  for (size_t cut : {size_t(5), size_t(10), size_t(200), n / 2, n - 9, n - 8, n - 4, n - 1})
    cases.push_back({"cut at " + std::to_string(cut), good.substr(0, cut)});
  for (unsigned seed = 1; seed <= 4; ++seed)
    cases.push_back({"random with magic " + std::to_string(seed), "\x1f\x8b\x08" + std::string(1, char(0)) +
                                                                      gztest::RandomBytes(6 + 3000 * seed, seed)});

  const int fds = gztest::OpenDescriptors();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string in = Path("damaged.gz");
    tvtest::WriteFile(in, c.data);
    ExpectFails(in, true, Out());
  }
  EXPECT_EQ(gztest::OpenDescriptors(), fds);
}

// A flipped bit in the compressed data or trailer never passes as success with
// other data; in the dynamic-block file every one fails.
TEST_F(GunzipFiles, FlippedBitsNeverYieldWrongData) {
  for (const char* name : {"lvl6.gz", "fixed.gz", "stored.gz"}) {
    SCOPED_TRACE(name);
    std::string good = tvtest::ReadFile(Path(name));
    std::string plain = GzipDc(Path(name));
    const size_t n = good.size();
    const size_t start = (good[3] & 0x08) ? good.find('\0', 10) + 1 : 10;  // after the stored name
    std::vector<size_t> positions;
    for (size_t i = 0; i < 48; ++i) positions.push_back(start + (n - 10 - start) * i / 48);
    for (size_t i = n - 8; i < n; ++i) positions.push_back(i);  // trailer
    int failures = 0;
    for (size_t at : positions) {
      for (int bit : {0, 5}) {
        std::string bad = good;
        bad[at] = char(bad[at] ^ (1 << bit));
        tvtest::WriteFile(Path("flipped.gz"), bad);
        tvtest::MessageCapture capture;
        bool ok = GunzipFile(Path("flipped.gz").c_str(), Out().c_str());
        if (ok) {
          EXPECT_LT(at, n - 8) << "trailer damage passed";
          EXPECT_TRUE(tvtest::ReadFile(Out()) == plain) << "wrong data at " << at;
        } else {
          ++failures;
          EXPECT_FALSE(Exists(Out()));
          EXPECT_FALSE(capture.errors.empty());
        }
      }
    }
    if (std::string(name) == "lvl6.gz") {
      EXPECT_EQ(failures, int(positions.size() * 2));
    }
  }
}

TEST_F(GunzipFiles, RefusedFirstHeaderCreatesNothing) {
  std::string good = tvtest::ReadFile(Path("lvl6.gz"));
  const struct {
    const char* name;
    size_t at;
    char value;
  } kCases[] = {{"method 7", 2, 7}, {"header CRC flag", 3, 0x02}, {"reserved flag 0x20", 3, 0x20},
                {"reserved flag 0x80", 3, char(0x80)}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string bad = good;
    bad[c.at] = c.value;
    tvtest::WriteFile(Path("refused.gz"), bad);
    ExpectFails(Path("refused.gz"), true, Out());
  }
}

// The output file may exist already (the loader passes a fresh temporary file).
TEST_F(GunzipFiles, ExistingOutputFile) {
  const std::string old(400000, 'Z');
  tvtest::WriteFile(Out(), old);
  ExpectDecodes("lvl6.gz", Out());  // truncated and overwritten

  std::string bad = tvtest::ReadFile(Path("lvl6.gz"));
  bad.resize(bad.size() - 3);
  tvtest::WriteFile(Path("cut.gz"), bad);
  tvtest::WriteFile(Out(), old);
  EXPECT_FALSE(GunzipFile(Path("cut.gz").c_str(), Out().c_str()));
  EXPECT_FALSE(Exists(Out())) << "partial output left behind";

  tvtest::WriteFile(Out(), old);
  EXPECT_FALSE(GunzipFile(Path("text.txt").c_str(), Out().c_str()));
  EXPECT_TRUE(tvtest::ReadFile(Out()) == old) << "plain input must not touch the output";
}

TEST_F(GunzipFiles, OutputThatCannotBeCreatedFailsAndClosesTheInput) {
  const int fds = gztest::OpenDescriptors();
  ExpectFails(Path("lvl6.gz"), true, Path("no-such-folder/out.txt"));
  EXPECT_EQ(gztest::OpenDescriptors(), fds);
}

TEST_F(GunzipFiles, HardLinkedInputIsDecoded) {
  std::string link = Path("linked.gz");
  fs::remove(link);
  fs::create_hard_link(Path("lvl3.gz"), link);
  ExpectDecodes("linked.gz", Out());

  // Its other name as the output would be the input itself: refused, input kept.
  const std::string before = tvtest::ReadFile(link);
  tvtest::MessageCapture capture;
  EXPECT_FALSE(GunzipFile(link.c_str(), Path("lvl3.gz").c_str()));
  EXPECT_FALSE(capture.errors.empty());
  EXPECT_TRUE(tvtest::ReadFile(link) == before);
}

TEST_F(GunzipFiles, NamesLongerThan260Bytes) {
  std::string deep = dir_ + std::string(200, 'd') + "/" + std::string(200, 'e') + "/";
  fs::create_directories(deep);
  fs::copy_file(Path("lvl2.gz"), deep + std::string(100, 'f') + ".gz", fs::copy_options::overwrite_existing);
  std::string out = deep + std::string(100, 'o') + ".txt";
  ASSERT_GT(out.size(), 500u);
  std::string saved = dir_;
  dir_ = deep;
  ExpectDecodes(std::string(100, 'f') + ".gz", out);
  dir_ = saved;
}

// Each call keeps its own state, so calls may run side by side.
TEST_F(GunzipFiles, CallsRunConcurrently) {
  const char* const kNames[] = {"lvl1.gz", "lvl9.gz", "fixed.gz", "two.gz"};
  std::string expect[4];
  for (int i = 0; i < 4; ++i) expect[i] = GzipDc(Path(kNames[i]));
  bool ok[4] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      std::string out = Path("thread" + std::to_string(i) + ".txt");
      ok[i] = true;
      for (int round = 0; round < 3; ++round)
        ok[i] = ok[i] && GunzipFile(Path(kNames[i]).c_str(), out.c_str()) && tvtest::ReadFile(out) == expect[i];
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ok[i]) << kNames[i];
}

}  // namespace
