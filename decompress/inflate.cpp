// Deflate decoding of gzip members: block headers, decoding tables and the code loop.
#include <bit>
#include <cstring>

#include "decompress/gunzip_state.h"

namespace tvgunzip {
namespace {

constexpr int kInflateOk = 0;
constexpr int kInflateBadData = 1;
constexpr int kInflateBadBlockType = 2;

constexpr uint32_t kMaxBits = 15;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLenOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct SymbolTables {
  HuffEntry litLen[288];
  HuffEntry dist[32];
  HuffEntry codeLen[19];
};

constexpr SymbolTables MakeSymbolTables() {
  SymbolTables s{};
  for (int i = 0; i < 256; ++i) s.litLen[i] = {0, kOpLiteral, uint16_t(i)};
  s.litLen[256] = {0, kOpEnd, 0};
  for (int i = 0; i < 29; ++i) s.litLen[257 + i] = {0, uint8_t(kOpBase | kLengthExtra[i]), kLengthBase[i]};
  s.litLen[286] = s.litLen[287] = {0, kOpInvalid, 0};
  for (int i = 0; i < 30; ++i) s.dist[i] = {0, uint8_t(kOpBase | kDistExtra[i]), kDistBase[i]};
  s.dist[30] = s.dist[31] = {0, kOpInvalid, 0};
  for (int i = 0; i < 19; ++i) s.codeLen[i] = {0, kOpLiteral, uint16_t(i)};
  return s;
}

constexpr SymbolTables kSymbols = MakeSymbolTables();

inline uint64_t Load64(const uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
  } else {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
  }
}

inline uint32_t Reverse(uint32_t code, uint32_t len) {
  uint32_t r = 0;
  for (uint32_t i = 0; i < len; ++i, code >>= 1) r = r << 1 | (code & 1);
  return r;
}

inline uint64_t LowBits(uint32_t n) { return (uint64_t(1) << n) - 1; }

// A code accepted although incomplete: one code of one bit (a block that uses a
// single distance, or only the end-of-block code).
bool SingleOneBitCode(const uint8_t* lengths, uint32_t count) {
  uint32_t used = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (lengths[i] > 1) return false;
    used += lengths[i];
  }
  return used == 1;
}

// Copies a match of `len` bytes from `dist` back; may write up to 7 bytes past the end.
inline uint8_t* CopyMatch(uint8_t* out, uint32_t dist, uint32_t len) {
  const uint8_t* src = out - dist;
  uint8_t* end = out + len;
  if (dist >= 8) {
    do {
      memcpy(out, src, 8);
      out += 8;
      src += 8;
    } while (out < end);
  } else if (dist == 1) {
    memset(out, src[0], len);
  } else {
    while (out < end) *out++ = *src++;
  }
  return end;
}

}  // namespace

int BuildHuffmanTable(const uint8_t* lengths, uint32_t count, const HuffEntry* symbols, uint32_t requestBits,
                      HuffTable* table) {
  uint32_t lenCount[kMaxBits + 1] = {};
  for (uint32_t i = 0; i < count; ++i) {
    if (lengths[i] > kMaxBits) return 2;
    ++lenCount[lengths[i]];
  }
  lenCount[0] = 0;
  uint32_t minLen = 0, maxLen = 0;
  for (uint32_t len = 1; len <= kMaxBits; ++len) {
    if (lenCount[len] == 0) continue;
    if (!minLen) minLen = len;
    maxLen = len;
  }
  HuffEntry* e = table->entries;
  const HuffEntry invalid = {0, kOpInvalid, 0};
  if (maxLen == 0) {
    table->rootBits = 1;
    e[0] = e[1] = invalid;
    return 0;
  }

  int left = 1;
  for (uint32_t len = 1; len <= kMaxBits; ++len) {
    left <<= 1;
    left -= int(lenCount[len]);
    if (left < 0) return 2;
  }

  uint32_t root = requestBits;
  if (root < minLen) root = minLen;
  if (root > maxLen) root = maxLen;
  // A first level above 9 bits only comes from a code too sparse to be complete.
  if (root > 9) return 2;
  const uint32_t rootSize = 1u << root;
  if (rootSize > table->capacity) return 2;

  // First canonical code of each length.
  uint32_t nextCode[kMaxBits + 2] = {};
  for (uint32_t len = 1, code = 0; len <= kMaxBits; ++len) {
    code = (code + lenCount[len - 1]) << 1;
    nextCode[len] = code;
  }

  // Longest code under each first-level prefix, to size the sub-tables.
  uint8_t longest[1u << 9] = {};
  if (maxLen > root) {
    uint32_t code[kMaxBits + 2];
    memcpy(code, nextCode, sizeof code);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t len = lengths[i];
      if (len <= root) {
        if (len) ++code[len];
        continue;
      }
      uint32_t prefix = Reverse(code[len]++ >> (len - root), root);
      if (len > longest[prefix]) longest[prefix] = uint8_t(len);
    }
  }

  for (uint32_t i = 0; i < rootSize; ++i) e[i] = invalid;
  uint32_t used = rootSize;
  for (uint32_t p = 0; p < rootSize && maxLen > root; ++p) {
    if (!longest[p]) continue;
    uint32_t subBits = longest[p] - root;
    uint32_t size = 1u << subBits;
    if (used + size > table->capacity) return 2;
    e[p] = {0, uint8_t(kOpLink | subBits), uint16_t(used)};
    for (uint32_t k = 0; k < size; ++k) e[used + k] = invalid;
    used += size;
  }

  for (uint32_t i = 0; i < count; ++i) {
    uint32_t len = lengths[i];
    if (!len) continue;
    HuffEntry entry = symbols[i];
    entry.bits = uint8_t(len);
    uint32_t rev = Reverse(nextCode[len]++, len);
    if (len <= root) {
      for (uint32_t k = rev; k < rootSize; k += 1u << len) e[k] = entry;
    } else {
      const HuffEntry& link = e[rev & (rootSize - 1)];
      uint32_t subSize = 1u << (link.op & 0x0F);
      HuffEntry* sub = e + link.val;
      for (uint32_t k = rev >> root; k < subSize; k += 1u << (len - root)) sub[k] = entry;
    }
  }
  table->rootBits = root;
  return left > 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Bit reader outside the fast loop. Input bytes enter the bit buffer one at a time.

bool GunzipState::PullBits(uint32_t need, bool endAllowed) {
  while (bitCount_ < need) {
    int c = inPos_ < inFill_ ? in_[inPos_++] : FillInputBuffer(endAllowed);
    if (c < 0) return false;
    bitBuf_ |= uint64_t(c) << bitCount_;
    bitCount_ += 8;
  }
  return true;
}

uint32_t GunzipState::GetBits(uint32_t n) {
  PullBits(n, false);
  uint32_t v = uint32_t(bitBuf_ & LowBits(n));
  bitBuf_ >>= n;
  bitCount_ -= n;
  return v;
}

HuffEntry GunzipState::DecodeSlow(const HuffTable& t) {
  // The last code of a stream may sit in fewer bits than the longest code.
  PullBits(kMaxBits, true);
  HuffEntry e = t.entries[bitBuf_ & LowBits(t.rootBits)];
  if (e.op & kOpLink) e = t.entries[e.val + ((bitBuf_ >> t.rootBits) & LowBits(e.op & 0x0F))];
  if (e.bits > bitCount_ || (e.op == kOpInvalid && inputEnded_ && bitCount_ < kMaxBits)) GunzipReadError(0);
  bitBuf_ >>= e.bits;
  bitCount_ -= e.bits;
  return e;
}

// Returns the whole bytes still in the bit buffer to the input, so that the
// trailer and the next member start at the right byte. After a refill some of
// them belong to the previous buffer fill; they are put back in front.
void GunzipState::GiveBackHeldBytes() {
  uint32_t skip = bitCount_ & 7;
  uint32_t back = bitCount_ >> 3;
  if (back <= inPos_) {
    inPos_ -= back;
  } else {
    memmove(in_ + back, in_ + inPos_, inFill_ - inPos_);
    inFill_ = inFill_ - inPos_ + back;
    inPos_ = 0;
    for (uint32_t i = 0; i < back; ++i) in_[i] = uint8_t(bitBuf_ >> (skip + 8 * i));
  }
  bitBuf_ = 0;
  bitCount_ = 0;
}

void GunzipState::WindowFull() {
  FlushWindow();
  if (winPos_ > kHistory) {
    memmove(window_, window_ + winPos_ - kHistory, kHistory);
    winPos_ = winWritten_ = kHistory;
  }
}

// ---------------------------------------------------------------------------

int GunzipState::DecodeDeflateMember() {
  UpdateCrc32(nullptr, 0);
  if (zipEntry_ && method_ == 0) {
    // Stored: as many bytes as the header's uncompressed size.
    winPos_ = winWritten_ = 0;
    for (uint32_t left = zipSize_; left > 0;) {
      if (winPos_ >= kWindowSize) WindowFull();
      if (inPos_ >= inFill_) {
        FillInputBuffer(false);
        inPos_ = 0;
      }
      uint32_t n = left;
      if (n > inFill_ - inPos_) n = inFill_ - inPos_;
      if (n > kWindowSize - winPos_) n = kWindowSize - winPos_;
      memcpy(window_ + winPos_, in_ + inPos_, n);
      winPos_ += n;
      inPos_ += n;
      left -= n;
    }
    FlushWindow();
  } else {
    int status = InflateMember();
    if (status != kInflateOk) {
      zipEntry_ = false;
      ReportFailure(status == kInflateBadBlockType ? "invalid block type" : "invalid compressed data");
      return 1;
    }
  }
  if (zipEntry_) {
    zipEntry_ = false;
    return ReadZipTrailer();
  }
  uint8_t trailer[8];
  for (uint8_t& b : trailer) b = uint8_t(GetByte());
  uint32_t crc = uint32_t(trailer[0]) | uint32_t(trailer[1]) << 8 | uint32_t(trailer[2]) << 16 | uint32_t(trailer[3]) << 24;
  uint32_t size = uint32_t(trailer[4]) | uint32_t(trailer[5]) << 8 | uint32_t(trailer[6]) << 16 | uint32_t(trailer[7]) << 24;
  if (crc != ~crc_) {
    ReportFailure("CRC-32 mismatch");
    return 1;
  }
  if (size != memberOut_) {
    ReportFailure("length mismatch");
    return 1;
  }
  return 0;
}

// The entry's CRC-32 and size come from its data descriptor or its local header;
// a second entry behind the first is refused.
int GunzipState::ReadZipTrailer() {
  uint32_t crc = zipCrc_, size = zipSize_;
  if (zipDescriptor_) {
    zipDescriptor_ = false;
    uint8_t d[16];
    for (uint8_t& b : d) b = uint8_t(GetByte());
    auto at = [&d](int i) {
      return uint32_t(d[i]) | uint32_t(d[i + 1]) << 8 | uint32_t(d[i + 2]) << 16 | uint32_t(d[i + 3]) << 24;
    };
    if (at(0) != 0x08074B50u) {
      ReportFailure("invalid zip data descriptor");
      return 1;
    }
    crc = at(4);
    size = at(12);
  }
  if (crc != ~crc_) {
    ReportFailure("CRC-32 mismatch");
    return 1;
  }
  // 0xFFFFFFFF: the size is in a zip64 field.
  if (size != memberOut_ && size != 0xFFFFFFFFu) {
    ReportFailure("length mismatch");
    return 1;
  }
  if (Lookahead(4) == 4 && memcmp(in_ + inPos_, "PK\x03\x04", 4) == 0) {
    ReportFailure("the zip archive holds more than one file");
    return 1;
  }
  return 0;
}

int GunzipState::InflateMember() {
  winPos_ = winWritten_ = 0;
  bitBuf_ = 0;
  bitCount_ = 0;
  bool last = false;
  do {
    int status = InflateBlock(&last);
    if (status != kInflateOk) return status;
  } while (!last);
  GiveBackHeldBytes();
  FlushWindow();
  return kInflateOk;
}

int GunzipState::InflateBlock(bool* last) {
  *last = GetBits(1) != 0;
  switch (GetBits(2)) {
    case 0:
      return InflateStoredBlock();
    case 1:
      return InflateFixedBlock();
    case 2:
      return InflateDynamicBlock();
    default:
      return kInflateBadBlockType;
  }
}

int GunzipState::InflateStoredBlock() {
  uint32_t skip = bitCount_ & 7;
  bitBuf_ >>= skip;
  bitCount_ -= skip;
  uint32_t len = GetBits(16);
  uint32_t nlen = GetBits(16);
  if (len != (~nlen & 0xFFFF)) return kInflateBadData;
  while (len > 0 && bitCount_ >= 8) {
    if (winPos_ >= kWindowSize) WindowFull();
    window_[winPos_++] = uint8_t(bitBuf_);
    bitBuf_ >>= 8;
    bitCount_ -= 8;
    --len;
  }
  if (len == 0) return kInflateOk;
  // The bit buffer is empty: what it held beyond its count is read again below.
  bitBuf_ = 0;
  while (len > 0) {
    if (winPos_ >= kWindowSize) WindowFull();
    if (inPos_ >= inFill_) {
      FillInputBuffer(false);
      inPos_ = 0;
    }
    uint32_t n = len;
    if (n > inFill_ - inPos_) n = inFill_ - inPos_;
    if (n > kWindowSize - winPos_) n = kWindowSize - winPos_;
    memcpy(window_ + winPos_, in_ + inPos_, n);
    winPos_ += n;
    inPos_ += n;
    len -= n;
  }
  return kInflateOk;
}

int GunzipState::InflateFixedBlock() {
  if (!fixedBuilt_) {
    uint8_t lengths[288];
    memset(lengths, 8, 144);
    memset(lengths + 144, 9, 112);
    memset(lengths + 256, 7, 24);
    memset(lengths + 280, 8, 8);
    fixedLit_ = {fixedLitEntries_, kFixedLitTableSize, 1};
    fixedDist_ = {fixedDistEntries_, kFixedDistTableSize, 1};
    if (BuildHuffmanTable(lengths, 288, kSymbols.litLen, 7, &fixedLit_) != 0) return kInflateBadData;
    memset(lengths, 5, 30);
    // 30 of 32 codes: incomplete by nature.
    if (BuildHuffmanTable(lengths, 30, kSymbols.dist, 5, &fixedDist_) > 1) return kInflateBadData;
    fixedBuilt_ = true;
  }
  return InflateCodes(fixedLit_, fixedDist_);
}

int GunzipState::InflateDynamicBlock() {
  uint32_t nlit = GetBits(5) + 257;
  uint32_t ndist = GetBits(5) + 1;
  uint32_t ncode = GetBits(4) + 4;
  if (nlit > 286 || ndist > 30) return kInflateBadData;

  uint8_t lengths[286 + 30] = {};
  for (uint32_t i = 0; i < ncode; ++i) lengths[kCodeLenOrder[i]] = uint8_t(GetBits(3));
  HuffTable codeLen = {codeLenEntries_, kCodeLenTableSize, 1};
  if (BuildHuffmanTable(lengths, 19, kSymbols.codeLen, 7, &codeLen) != 0) return kInflateBadData;

  memset(lengths, 0, 19);
  const uint32_t total = nlit + ndist;
  for (uint32_t i = 0; i < total;) {
    HuffEntry e = DecodeSlow(codeLen);
    if (e.op != kOpLiteral) return kInflateBadData;
    uint32_t sym = e.val;
    if (sym < 16) {
      lengths[i++] = uint8_t(sym);
      continue;
    }
    uint8_t value = 0;
    uint32_t repeat;
    if (sym == 16) {
      if (i == 0) return kInflateBadData;  // nothing to repeat
      value = lengths[i - 1];
      repeat = 3 + GetBits(2);
    } else if (sym == 17) {
      repeat = 3 + GetBits(3);
    } else {
      repeat = 11 + GetBits(7);
    }
    if (i + repeat > total) return kInflateBadData;
    memset(lengths + i, value, repeat);
    i += repeat;
  }
  if (lengths[256] == 0) return kInflateBadData;  // the block could never end

  HuffTable lit = {litEntries_, kLitLenTableSize, 1};
  int r = BuildHuffmanTable(lengths, nlit, kSymbols.litLen, 9, &lit);
  if (r > 1 || (r == 1 && !SingleOneBitCode(lengths, nlit))) return kInflateBadData;
  HuffTable dist = {distEntries_, kDistTableSize, 1};
  r = BuildHuffmanTable(lengths + nlit, ndist, kSymbols.dist, 6, &dist);
  if (r > 1 || (r == 1 && !SingleOneBitCode(lengths + nlit, ndist))) return kInflateBadData;
  return InflateCodes(lit, dist);
}

// The fast loop runs while at least 16 input bytes and room for a whole match are
// left, loading 8 bytes at a time; it returns -1 when it stops for either reason.
int GunzipState::FastCodes(const HuffTable& lit, const HuffTable& dist) {
  if (inFill_ < inPos_ + 16 || winPos_ >= kWindowSize) return -1;
  const HuffEntry* lt = lit.entries;
  const HuffEntry* dt = dist.entries;
  const uint32_t lroot = lit.rootBits, droot = dist.rootBits;
  const uint64_t lmask = LowBits(lroot), dmask = LowBits(droot);
  const uint8_t* ip = in_ + inPos_;
  const uint8_t* const ipLast = in_ + inFill_ - 16;
  uint8_t* op = window_ + winPos_;
  uint8_t* const opEnd = window_ + kWindowSize;
  uint64_t bb = bitBuf_;
  uint32_t bc = bitCount_;
  int status = -1;

  while (ip <= ipLast && op < opEnd) {
    // 56 to 63 bits afterwards: enough for a length, a distance and their extra bits.
    bb |= Load64(ip) << bc;
    ip += (63 - bc) >> 3;
    bc |= 56;

    HuffEntry e = lt[bb & lmask];
    if (e.op & kOpLink) e = lt[e.val + ((bb >> lroot) & LowBits(e.op & 0x0F))];
    bb >>= e.bits;
    bc -= e.bits;
    if (e.op == kOpLiteral) {
      *op++ = uint8_t(e.val);
      continue;
    }
    if (e.op & kOpBase) {
      uint32_t extra = e.op & 0x0F;
      uint32_t len = e.val + uint32_t(bb & LowBits(extra));
      bb >>= extra;
      bc -= extra;
      HuffEntry d = dt[bb & dmask];
      if (d.op & kOpLink) d = dt[d.val + ((bb >> droot) & LowBits(d.op & 0x0F))];
      bb >>= d.bits;
      bc -= d.bits;
      if (!(d.op & kOpBase)) {
        status = kInflateBadData;
        break;
      }
      extra = d.op & 0x0F;
      uint32_t distance = d.val + uint32_t(bb & LowBits(extra));
      bb >>= extra;
      bc -= extra;
      if (distance > uint32_t(op - window_)) {  // before the start of this member
        status = kInflateBadData;
        break;
      }
      op = CopyMatch(op, distance, len);
      continue;
    }
    status = (e.op & kOpEnd) ? kInflateOk : kInflateBadData;
    break;
  }
  inPos_ = uint32_t(ip - in_);
  winPos_ = uint32_t(op - window_);
  // Bits above the count stay valid: they are the bytes at the read position.
  bitBuf_ = bb;
  bitCount_ = bc;
  return status;
}

int GunzipState::InflateCodes(const HuffTable& lit, const HuffTable& dist) {
  for (;;) {
    int status = FastCodes(lit, dist);
    if (status >= 0) return status;
    if (winPos_ >= kWindowSize) {
      WindowFull();
      continue;
    }
    HuffEntry e = DecodeSlow(lit);
    if (e.op == kOpLiteral) {
      window_[winPos_++] = uint8_t(e.val);
      continue;
    }
    if (e.op & kOpBase) {
      uint32_t len = e.val + GetBits(e.op & 0x0F);
      HuffEntry d = DecodeSlow(dist);
      if (!(d.op & kOpBase)) return kInflateBadData;
      uint32_t distance = d.val + GetBits(d.op & 0x0F);
      if (distance > winPos_) return kInflateBadData;
      winPos_ = uint32_t(CopyMatch(window_ + winPos_, distance, len) - window_);
      continue;
    }
    return (e.op & kOpEnd) ? kInflateOk : kInflateBadData;
  }
}

}  // namespace tvgunzip
