// LZW data of the Unix compress format (magic 1F 9D): codes of 9 up to 16 bits,
// least significant bit first, with an optional clear code.
#include <cstring>

#include "decompress/gunzip_state.h"

namespace tvgunzip {
namespace {

constexpr uint32_t kBlockMode = 0x80;
constexpr uint32_t kWidthMask = 0x1F;
constexpr uint32_t kClear = 256;

}  // namespace

int GunzipState::DecodeLzw() {
  const uint32_t flags = uint32_t(GetByte());
  const uint32_t maxWidth = flags & kWidthMask;
  const bool blockMode = (flags & kBlockMode) != 0;
  if (maxWidth > 16 || maxWidth < 9) {
    ReportFailure(maxWidth > 16 ? "compressed with more than 16 bits" : "compressed with fewer than 9 bits");
    return 1;
  }
  const uint32_t maxCodes = 1u << maxWidth;
  uint8_t* const suffix = window_;
  uint16_t* const prefix = lzwPrefix_;
  for (uint32_t c = 0; c < 256; ++c) suffix[c] = uint8_t(c);

  uint32_t width = 9;
  auto largestCode = [&] { return width == maxWidth ? maxCodes : (1u << width) - 1; };
  uint32_t largest = largestCode();
  uint32_t nextFree = blockMode ? 257 : 256;
  int prev = -1;
  uint8_t firstByte = 0;
  uint32_t outFill = 0;

  uint64_t bits = 0;
  uint32_t bitCount = 0;
  uint32_t codesInGroup = 0;  // codes read since the last width change, modulo 8
  bool ended = false;
  // Next code of `width` bits; false when the input holds no whole code more.
  auto readCode = [&](uint32_t* code) {
    while (bitCount < width && !ended) {
      int c = inPos_ < inFill_ ? in_[inPos_++] : FillInputBuffer(true);
      if (c < 0) {
        ended = true;
        break;
      }
      bits |= uint64_t(c) << bitCount;
      bitCount += 8;
    }
    if (bitCount < width) return false;
    *code = uint32_t(bits) & ((1u << width) - 1);
    bits >>= width;
    bitCount -= width;
    codesInGroup = (codesInGroup + 1) & 7;
    return true;
  };
  // The compressor writes codes in groups of eight of one width; a width change
  // or a clear starts a new group.
  auto skipRestOfGroup = [&] {
    uint32_t code;
    while (codesInGroup != 0 && readCode(&code)) {
    }
    codesInGroup = 0;
  };

  for (;;) {
    if (nextFree > largest) {
      skipRestOfGroup();
      ++width;
      largest = largestCode();
    }
    uint32_t code;
    if (!readCode(&code)) break;
    if (prev < 0) {
      if (code >= 256) GunzipError("invalid compressed data (first code)");
      prev = int(code);
      firstByte = uint8_t(code);
      lzwOut_[outFill++] = firstByte;
      continue;
    }
    if (code == kClear && blockMode) {
      skipRestOfGroup();
      nextFree = 256;
      width = 9;
      largest = largestCode();
      continue;
    }
    // Unwind the string from its last byte backwards.
    uint8_t* const stackEnd = lzwStack_ + sizeof lzwStack_;
    uint8_t* sp = stackEnd;
    uint32_t c = code;
    if (c >= nextFree) {
      if (c > nextFree) GunzipError("invalid compressed data (code out of range)");
      *--sp = firstByte;  // the previous string and its own first byte
      c = uint32_t(prev);
    }
    while (c >= 256) {
      if (sp == lzwStack_) GunzipError("invalid compressed data (string too long)");
      *--sp = suffix[c];
      c = prefix[c];
    }
    if (sp == lzwStack_) GunzipError("invalid compressed data (string too long)");
    *--sp = firstByte = uint8_t(c);

    for (uint32_t len = uint32_t(stackEnd - sp); len > 0;) {
      uint32_t n = len < kLzwOutSize - outFill ? len : kLzwOutSize - outFill;
      memcpy(lzwOut_ + outFill, sp, n);
      outFill += n;
      sp += n;
      len -= n;
      if (outFill >= kLzwOutSize) {
        WriteAll(outFd_, lzwOut_, outFill);
        outFill = 0;
      }
    }
    if (nextFree < maxCodes) {
      prefix[nextFree] = uint16_t(prev);
      suffix[nextFree] = firstByte;
      ++nextFree;
    }
    prev = int(code);
  }
  WriteAll(outFd_, lzwOut_, outFill);
  return 0;
}

}  // namespace tvgunzip
