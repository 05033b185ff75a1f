// lh5 data behind the magic 1F A0: an 8 KB dictionary, matches of 3 to 256 bytes,
// and blocks that each carry three Huffman codes, all read most significant bit first.
#include <cstring>

#include "decompress/gunzip_state.h"

namespace tvgunzip {
namespace {

constexpr uint32_t kDictSize = 8192;
constexpr uint32_t kCharCodes = 510;  // 256 bytes and the match lengths 3 to 256
constexpr uint32_t kLenCodes = 19;    // code lengths 0 to 16 and three zero-run codes
constexpr uint32_t kPosCodes = 14;    // distance bit counts 0 to 13
constexpr uint32_t kMaxLength = 16;

}  // namespace

// The code must be complete: its codes fill the 16-bit code space exactly.
void GunzipState::LzhBuildCode(const uint8_t* lengths, uint32_t count, MsbCode* code) {
  uint32_t perLength[kMaxLength + 1] = {};
  for (uint32_t i = 0; i < count; ++i) ++perLength[lengths[i]];
  uint32_t space = 0;
  for (uint32_t len = 1; len <= kMaxLength; ++len) space += perLength[len] << (kMaxLength - len);
  if (space != 1u << kMaxLength) GunzipError("invalid Huffman table");

  code->single = -1;
  uint32_t next = 0, index = 0;
  for (uint32_t len = 1; len <= kMaxLength; ++len) {
    code->first[len] = next;
    code->index[len] = uint16_t(index);
    next += perLength[len];
    code->limit[len] = next;
    index += perLength[len];
    next <<= 1;
  }
  uint32_t position[kMaxLength + 1], nextCode[kMaxLength + 1];
  for (uint32_t len = 1; len <= kMaxLength; ++len) {
    position[len] = code->index[len];
    nextCode[len] = code->first[len];
  }
  memset(code->fast, 0, sizeof code->fast);
  for (uint32_t sym = 0; sym < count; ++sym) {
    uint32_t len = lengths[sym];
    if (!len) continue;
    code->sorted[position[len]++] = uint16_t(sym);
    uint32_t c = nextCode[len]++;
    if (len <= kMsbFastBits) {
      uint32_t shift = kMsbFastBits - len;
      for (uint32_t k = c << shift, end = (c + 1) << shift; k < end; ++k) code->fast[k] = uint16_t(len << 10 | sym);
    }
  }
}

uint32_t GunzipState::LzhDecode(const MsbCode& code) {
  if (code.single >= 0) return uint32_t(code.single);
  if (msbCount_ < kMaxLength) MsbFill();
  uint32_t sym, len;
  uint32_t entry = code.fast[MsbPeek(kMsbFastBits)];
  if (entry) {
    len = entry >> 10;
    sym = entry & 0x3FF;
  } else {
    uint32_t bits = MsbPeek(kMaxLength);
    len = kMsbFastBits + 1;
    while ((bits >> (kMaxLength - len)) >= code.limit[len]) ++len;  // the code is complete: ends by 16
    sym = code.sorted[code.index[len] + (bits >> (kMaxLength - len)) - code.first[len]];
  }
  if (!MsbDrop(len)) GunzipReadError(0);
  return sym;
}

// Lengths of the code-length code or of the position code: a count, then each
// length in 3 bits, 7 and above as 7 plus a run of one bits ended by a zero.
// After the third length of the code-length code, 2 bits give a run of zeros.
void GunzipState::LzhReadLengths(uint8_t* lengths, uint32_t size, uint32_t countBits, int special, MsbCode* code) {
  uint32_t n = MsbBits(countBits);
  if (n == 0) {
    uint32_t sym = MsbBits(countBits);
    if (sym >= size) GunzipError("invalid Huffman table");
    code->single = int(sym);
    return;
  }
  if (n > size) GunzipError("invalid Huffman table (count)");
  uint32_t i = 0;
  while (i < n) {
    uint32_t len = MsbBits(3);
    if (len == 7) {
      while (MsbBits(1)) {
        if (++len > kMaxLength) GunzipError("invalid Huffman table (length)");
      }
    }
    lengths[i++] = uint8_t(len);
    if (int(i) == special) {
      uint32_t zeros = MsbBits(2);
      if (i + zeros > size) GunzipError("invalid Huffman table (run)");
      while (zeros--) lengths[i++] = 0;
    }
  }
  while (i < size) lengths[i++] = 0;
  LzhBuildCode(lengths, size, code);
}

// Lengths of the character/length code, coded with the code-length code: 0 one
// zero, 1 a run of 3 to 18 zeros, 2 a run of 20 to 531 zeros, n+2 the length n.
void GunzipState::LzhReadCharLengths() {
  uint32_t n = MsbBits(9);
  if (n == 0) {
    uint32_t sym = MsbBits(9);
    if (sym >= kCharCodes) GunzipError("invalid Huffman table");
    lzhCharCode_.single = int(sym);
    return;
  }
  if (n > kCharCodes) GunzipError("invalid Huffman table (count)");
  uint32_t i = 0;
  while (i < n) {
    uint32_t c = LzhDecode(lzhLenCode_);
    if (c > 2) {
      lzhCharLen_[i++] = uint8_t(c - 2);
      continue;
    }
    uint32_t zeros = c == 0 ? 1 : c == 1 ? 3 + MsbBits(4) : 20 + MsbBits(9);
    if (i + zeros > kCharCodes) GunzipError("invalid Huffman table (run)");
    while (zeros--) lzhCharLen_[i++] = 0;
  }
  while (i < kCharCodes) lzhCharLen_[i++] = 0;
  LzhBuildCode(lzhCharLen_, kCharCodes, &lzhCharCode_);
}

int GunzipState::DecodeLzh() {
  msbBuf_ = 0;
  msbCount_ = 0;
  msbPad_ = 0;
  uint8_t* const dict = window_;
  uint32_t pos = 0;        // next byte of the dictionary
  uint64_t produced = 0;   // bytes decoded so far
  uint8_t lengths[kLenCodes];
  for (;;) {
    // Past the end of the input the block size reads as 0: the stream ends
    // after its last whole block also without an empty block.
    if (msbCount_ < 16) MsbFill();
    uint32_t blockSize = MsbPeek(16);
    msbCount_ -= 16;
    if (blockSize == 0) break;
    if (msbCount_ < msbPad_) GunzipReadError(0);
    LzhReadLengths(lengths, kLenCodes, 5, 3, &lzhLenCode_);
    LzhReadCharLengths();
    LzhReadLengths(lengths, kPosCodes, 4, -1, &lzhPosCode_);
    while (blockSize--) {
      uint32_t c = LzhDecode(lzhCharCode_);
      if (c < 256) {
        dict[pos++] = uint8_t(c);
        ++produced;
        if (pos == kDictSize) {
          WriteAll(outFd_, dict, kDictSize);
          pos = 0;
        }
        continue;
      }
      uint32_t len = c - 253;
      // Position code n: a distance of 1 for n = 0, else 2^(n-1) + (n-1 more bits) + 1.
      uint32_t bits = LzhDecode(lzhPosCode_);
      uint32_t dist = bits == 0 ? 1 : bits == 1 ? 2 : (1u << (bits - 1)) + MsbBits(bits - 1) + 1;
      if (dist > produced) GunzipError("invalid compressed data (distance too far back)");
      produced += len;
      uint32_t from = (pos - dist) & (kDictSize - 1);
      while (len--) {
        dict[pos++] = dict[from];
        from = (from + 1) & (kDictSize - 1);
        if (pos == kDictSize) {
          WriteAll(outFd_, dict, kDictSize);
          pos = 0;
        }
      }
    }
  }
  WriteAll(outFd_, dict, pos);
  return 0;
}

}  // namespace tvgunzip
