// Huffman data of the Unix pack format (magic 1F 1E). The tree is stored as the
// number of leaves at each depth and the leaf bytes in order; at every depth the
// internal nodes take the smaller codes, the leaves the larger ones.
#include <cstring>

#include "decompress/gunzip_state.h"

namespace tvgunzip {
namespace {

constexpr uint32_t kMaxDepth = 25;
constexpr uint32_t kMaxPeek = 12;

}  // namespace

int GunzipState::DecodePacked() {
  uint32_t length = 0;
  for (int i = 0; i < 4; ++i) length = length << 8 | uint32_t(GetByte());
  const uint32_t depth = uint32_t(GetByte());
  if (depth == 0 || depth > kMaxDepth) GunzipError("invalid Huffman tree (depth)");

  uint32_t leaves[kMaxDepth + 1] = {};
  uint32_t total = 0;
  for (uint32_t d = 1; d <= depth; ++d) {
    leaves[d] = uint32_t(GetByte());
    total += leaves[d];
  }
  // The deepest count leaves out two codes: one more stored byte and the
  // end-of-block code, which has no byte.
  ++total;
  if (total > 256) GunzipError("invalid Huffman tree (too many leaves)");
  ++leaves[depth];
  uint8_t leafByte[256];
  uint32_t leafStart[kMaxDepth + 1];
  for (uint32_t d = 1, k = 0; d <= depth; ++d) {
    leafStart[d] = k;
    for (uint32_t i = 0; i < leaves[d]; ++i) leafByte[k++] = uint8_t(GetByte());
  }
  ++leaves[depth];
  const uint32_t endCode = total;  // leaf number of the end-of-block code

  // Internal nodes per depth, from the bottom up; the tree must be complete.
  uint32_t inner[kMaxDepth + 2] = {};
  for (uint32_t d = depth; d >= 1; --d) {
    uint32_t nodes = inner[d] + leaves[d];
    if (d == 1 ? nodes != 2 : (nodes & 1) != 0) GunzipError("invalid Huffman tree");
    inner[d - 1] = nodes / 2;
  }

  // Codes of up to `peek` bits by one look-up: depth << 9 | leaf number; 0 for a
  // prefix of a longer code.
  const uint32_t peek = depth < kMaxPeek ? depth : kMaxPeek;
  uint16_t table[1u << kMaxPeek];
  memset(table, 0, sizeof(uint16_t) << peek);
  for (uint32_t d = 1; d <= peek; ++d) {
    for (uint32_t i = 0; i < leaves[d]; ++i) {
      uint32_t code = inner[d] + i;
      uint16_t entry = uint16_t(d << 9 | (leafStart[d] + i));
      for (uint32_t k = code << (peek - d), end = (code + 1) << (peek - d); k < end; ++k) table[k] = entry;
    }
  }

  msbBuf_ = 0;
  msbCount_ = 0;
  msbPad_ = 0;
  winPos_ = winWritten_ = 0;
  for (;;) {
    if (msbCount_ < kMaxDepth) MsbFill();
    uint32_t leaf;
    uint32_t entry = table[MsbPeek(peek)];
    if (entry) {
      leaf = entry & 0x1FF;
      if (!MsbDrop(entry >> 9)) GunzipReadError(0);
    } else {
      uint32_t code = MsbPeek(peek);
      if (!MsbDrop(peek)) GunzipReadError(0);
      uint32_t d = peek;
      do {
        code = code << 1 | MsbPeek(1);
        if (!MsbDrop(1)) GunzipReadError(0);
        ++d;
      } while (code < inner[d]);
      leaf = leafStart[d] + code - inner[d];
    }
    if (leaf == endCode) break;
    window_[winPos_++] = leafByte[leaf];
    if (winPos_ == kHistory) {
      FlushWindow();
      winPos_ = winWritten_ = 0;
    }
  }
  FlushWindow();
  MsbGiveBack();
  if (memberOut_ != length) GunzipError("length mismatch");
  return 0;
}

}  // namespace tvgunzip
