// Helpers for the decompressor tests: fixtures made with gzip and Python at test
// time, hand-written deflate streams, and the checks every case shares.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gztest {

// Runs a shell command; returns its exit status (-1 when it could not run).
int Shell(const std::string& command);
// Runs a Python 3 script given as text (in a file, so quoting is no concern).
void Python(const std::string& dir, const std::string& script);
// What `gzip -dc` writes for the file, whatever its exit status.
std::string GzipDc(const std::string& path);
std::string Quote(const std::string& path);

// Deterministic access-log-like text of `size` bytes.
std::string LogText(size_t size, unsigned seed = 1);
std::string RandomBytes(size_t size, unsigned seed);

uint32_t Crc32(const std::string& data);
// A gzip member around raw deflate data, with the trailer of `plain`.
std::string GzipMember(const std::string& deflate, const std::string& plain);

// Writes bits least significant first, as deflate packs them.
class BitWriter {
 public:
  void Bits(uint32_t value, int count);
  void Code(uint32_t code, int length);  // a Huffman code, first bit = its top bit
  void Align();
  std::string Finish();  // pads the last byte with zero bits

 private:
  std::string bytes_;
  uint32_t acc_ = 0;
  int count_ = 0;
};

std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths);

// A dynamic block header: the code-length code `codeLen` (19 lengths by symbol),
// then the code-length symbols `seq` ({symbol, extra bits value}).
void DynamicHeader(BitWriter& w, bool final, int nlit, int ndist, const std::vector<int>& codeLen,
                   const std::vector<std::pair<int, int>>& seq);
// The same with a complete code-length code and every length written as itself.
void DynamicHeader(BitWriter& w, bool final, const std::vector<int>& lit, const std::vector<int>& dist);

// Counts this process's open file descriptors.
int OpenDescriptors();

}  // namespace gztest
