#include "tests/decompress/gz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/wait.h>

#include "tests/common/testenv.h"

namespace gztest {

std::string Quote(const std::string& path) {
  std::string q = "'";
  for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int Shell(const std::string& command) {
  int r = std::system(command.c_str());
  return r < 0 ? -1 : WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

void Python(const std::string& dir, const std::string& script) {
  std::string file = dir + "make_fixture.py";
  tvtest::WriteFile(file, script);
  Shell("cd " + Quote(dir) + " && python3 make_fixture.py");
}

std::string GzipDc(const std::string& path) {
  std::string out = path + ".gzipdc";
  Shell("gzip -dc < " + Quote(path) + " > " + Quote(out) + " 2>/dev/null");
  std::string data = tvtest::ReadFile(out);
  std::filesystem::remove(out);
  return data;
}

std::string LogText(size_t size, unsigned seed) {
  static const char* const kPaths[] = {"/", "/index.html", "/img/logo.png", "/css/site.css", "/shop/item",
                                       "/search?q=", "/blog/post", "/api/v1/order/"};
  static const char* const kAgents[] = {"Mozilla/5.0 (X11; Linux x86_64)", "Mozilla/5.0 (Windows NT 10.0)",
                                        "curl/8.1", "ExampleBot/2.1 (+http://bot.example/)"};
  static const int kStatus[] = {200, 200, 200, 304, 404, 301, 500};
  std::mt19937 gen(seed);
  auto rng = [&gen] { return unsigned(gen()); };
  std::string s;
  char line[400];
  while (s.size() < size) {
    snprintf(line, sizeof line,
             "10.%u.%u.%u - - [%02u/Mar/2024:%02u:%02u:%02u +0000] \"GET %s%u HTTP/1.1\" %d %u \"-\" \"%s\"\n",
             rng() % 256, rng() % 256, rng() % 256, 1 + rng() % 28, rng() % 24, rng() % 60, rng() % 60,
             kPaths[rng() % 8], rng() % 5000, kStatus[rng() % 7], rng() % 90000, kAgents[rng() % 4]);
    s += line;
  }
  s.resize(size);
  return s;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = char(rng() & 0xFF);
  return s;
}

uint32_t Crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

static void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
}

std::string GzipMember(const std::string& deflate, const std::string& plain) {
  std::string m("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  m += deflate;
  Put32(m, Crc32(plain));
  Put32(m, uint32_t(plain.size()));
  return m;
}

void BitWriter::Bits(uint32_t value, int count) {
  for (int i = 0; i < count; ++i) {
    acc_ |= ((value >> i) & 1u) << count_;
    if (++count_ == 8) {
      bytes_ += char(acc_);
      acc_ = 0;
      count_ = 0;
    }
  }
}

void BitWriter::Code(uint32_t code, int length) {
  for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1u, 1);
}

void BitWriter::Align() {
  if (count_) Bits(0, 8 - count_);
}

std::string BitWriter::Finish() {
  Align();
  return bytes_;
}

std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
  int count[16] = {};
  for (int l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[16] = {};
  for (uint32_t len = 1, code = 0; len < 16; ++len) {
    code = (code + uint32_t(count[len - 1])) << 1;
    next[len] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i]) codes[i] = next[lengths[i]]++;
  return codes;
}

void DynamicHeader(BitWriter& w, bool final, int nlit, int ndist, const std::vector<int>& codeLen,
                   const std::vector<std::pair<int, int>>& seq) {
  static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  static const int kExtra[3] = {2, 3, 7};
  w.Bits(final ? 1 : 0, 1);
  w.Bits(2, 2);
  w.Bits(uint32_t(nlit - 257), 5);
  w.Bits(uint32_t(ndist - 1), 5);
  w.Bits(19 - 4, 4);
  for (int sym : kOrder) w.Bits(uint32_t(codeLen[size_t(sym)]), 3);
  std::vector<uint32_t> codes = CanonicalCodes(codeLen);
  for (auto [sym, extra] : seq) {
    w.Code(codes[size_t(sym)], codeLen[size_t(sym)]);
    if (sym >= 16) w.Bits(uint32_t(extra), kExtra[sym - 16]);
  }
}

void DynamicHeader(BitWriter& w, bool final, const std::vector<int>& lit, const std::vector<int>& dist) {
  // 13 codes of 4 bits and 6 of 5 bits: complete.
  std::vector<int> codeLen(19, 5);
  for (int i = 0; i < 13; ++i) codeLen[size_t(i)] = 4;
  std::vector<std::pair<int, int>> seq;
  for (int l : lit) seq.push_back({l, 0});
  for (int l : dist) seq.push_back({l, 0});
  DynamicHeader(w, final, int(lit.size()), int(dist.size()), codeLen, seq);
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

}  // namespace gztest
