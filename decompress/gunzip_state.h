// Inside of the decompressor: the state of one GunzipFile call and the operations
// the frame offers its decoders. Not for use outside decompress/.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tvgunzip {

constexpr uint32_t kInputSize = 32768;
// Decoders may load a few bytes past the filled part; a give-back after a refill
// may also push up to 8 held bytes in front of the unread ones.
constexpr uint32_t kInputSpare = 64;

// Deflate keeps the last 32 KB as history; output collects above it and is written
// when the window is full, then the history slides down to the start.
constexpr uint32_t kHistory = 32768;
constexpr uint32_t kWindowSize = 65536;
// A match of 258 may start just below kWindowSize, and match copies move 8 bytes at a time.
constexpr uint32_t kWindowSpare = 320;

// One entry of a decoding table. `op` says what the entry is:
//   kOpLiteral          val is the byte
//   kOpBase | extra     val is a length or distance base, `extra` bits follow
//   kOpEnd              end of block
//   kOpLink | subBits   val is the offset of a sub-table indexed by subBits more bits
//   kOpInvalid          no code ends here
// `bits` is the full length of the code (0 for links and invalid entries).
struct HuffEntry {
  uint8_t bits;
  uint8_t op;
  uint16_t val;
};
constexpr uint8_t kOpLiteral = 0x00;
constexpr uint8_t kOpBase = 0x10;
constexpr uint8_t kOpEnd = 0x20;
constexpr uint8_t kOpLink = 0x40;
constexpr uint8_t kOpInvalid = 0x80;

struct HuffTable {
  HuffEntry* entries = nullptr;
  uint32_t capacity = 0;
  uint32_t rootBits = 1;
};

// Room for any complete code: a first level of at most 9 (literal/length) or 6
// (distance) bits plus one sub-table of up to 2^(15 - root) entries per longer code.
constexpr uint32_t kLitLenTableSize = 512 + 288 * 64;
constexpr uint32_t kDistTableSize = 64 + 32 * 512;
constexpr uint32_t kCodeLenTableSize = 128;
constexpr uint32_t kFixedLitTableSize = 1024;
constexpr uint32_t kFixedDistTableSize = 32;

// Builds a decoding table for `count` code lengths (each 0 to 15). `symbols` gives
// each symbol's op and val. `requestBits` is the wanted first level; it is raised to
// the shortest and lowered to the longest length present, and left in table->rootBits.
// Returns 0 for a complete code (an all-zero list gives a table of invalid entries),
// 1 for an incomplete one (built), 2 for an over-subscribed list or one that does not fit.
int BuildHuffmanTable(const uint8_t* lengths, uint32_t count, const HuffEntry* symbols,
                      uint32_t requestBits, HuffTable* table);

// Huffman code read most significant bit first (the LZH decoder), canonical and
// complete; codes of up to kMsbFastBits bits are found by one look-up.
constexpr uint32_t kMsbFastBits = 10;
constexpr uint32_t kMsbMaxSymbols = 510;
struct MsbCode {
  uint16_t fast[1u << kMsbFastBits];  // length << 10 | symbol; 0: a longer code
  uint32_t limit[17];                 // codes of length <= n lie below limit[n] << (16 - n)
  uint32_t first[17];                 // first code of each length
  uint16_t index[17];                 // position of that code's symbol in `sorted`
  uint16_t sorted[kMsbMaxSymbols];
  int single;  // >= 0: the only symbol, coded in no bits
};

// Adds `count` bytes to a running CRC-32 kept in complemented form.
uint32_t Crc32Add(uint32_t running, const uint8_t* buf, size_t count);

// Thrown by the abort path; only GunzipFile catches it.
struct GunzipAbort {};

class GunzipState {
 public:
  GunzipState(const char* inName, const char* outName, uint64_t maxOut = 0)
      : inName_(inName), outName_(outName), maxOut_(maxOut) {}
  GunzipState(const GunzipState&) = delete;
  GunzipState& operator=(const GunzipState&) = delete;
  ~GunzipState();

  bool Run();

  // --- the frame's services to the decoders ---
  int GetByte() { return inPos_ < inFill_ ? in_[inPos_++] : FillInputBuffer(false); }
  // Refills the input buffer and returns its first byte, read position 1. At the end
  // of the input: -1 when `endAllowed`, else the unexpected-end error.
  int FillInputBuffer(bool endAllowed);
  // Adds the pending window bytes to the CRC-32, writes them and counts them.
  void FlushWindow();
  void WriteAll(int fd, const uint8_t* buf, size_t count);
  // Null buffer: resets the running CRC-32 and returns 0. Else adds the bytes and
  // returns the finished value.
  uint32_t UpdateCrc32(const uint8_t* buf, size_t count);
  // Sends "Cannot decompress <input>: <reason>" to the engine's error sink.
  void ReportFailure(const char* reason);
  [[noreturn]] void GunzipError(const char* reason);
  [[noreturn]] void GunzipReadError(int err);  // err 0: the input ended
  [[noreturn]] void GunzipWriteError(int err);

  // --- decoders: 0 decoded, 1 refused ---
  int DecodeDeflateMember();  // inflate.cpp: gzip member or zip entry
  int InflateMember();
  int DecodeLzw();     // lzw.cpp
  int DecodePacked();  // unpack.cpp
  int DecodeLzh();     // lzh.cpp

 private:
  int DetectCompressionMethod();
  bool ReadGzipHeader();
  bool CheckZipLocalHeader();
  int DecodeMember();
  bool MoreInput();
  // Makes at least `n` unread bytes available when the input has them (n <= 64);
  // returns how many there are, at most n.
  uint32_t Lookahead(uint32_t n);
  int ReadZipTrailer();
  void AbortGunzip();

  int InflateBlock(bool* last);
  int InflateStoredBlock();
  int InflateFixedBlock();
  int InflateDynamicBlock();
  int InflateCodes(const HuffTable& lit, const HuffTable& dist);
  int FastCodes(const HuffTable& lit, const HuffTable& dist);

  // Bit reader for everything outside the fast loop.
  bool PullBits(uint32_t need, bool endAllowed);
  uint32_t GetBits(uint32_t n);
  HuffEntry DecodeSlow(const HuffTable& table);
  void GiveBackHeldBytes();
  void WindowFull();

  // Bit reader for pack and LZH: most significant bit first. Past the end of the
  // input it delivers zero bits and counts them in msbPad_.
  void MsbFill() {
    while (msbCount_ <= 56) {
      int c = inPos_ < inFill_ ? in_[inPos_++] : inputEnded_ ? -1 : FillInputBuffer(true);
      if (c < 0) {
        c = 0;
        msbPad_ += 8;
      }
      msbBuf_ = msbBuf_ << 8 | uint64_t(c);
      msbCount_ += 8;
    }
  }
  // The next n (1 to 32) bits; the buffer must hold them.
  uint32_t MsbPeek(uint32_t n) const { return uint32_t(msbBuf_ >> (msbCount_ - n)) & uint32_t((uint64_t(1) << n) - 1); }
  // Consumes n bits; false when some of them lay past the end of the input.
  bool MsbDrop(uint32_t n) {
    msbCount_ -= n;
    return msbCount_ >= msbPad_;
  }
  uint32_t MsbBits(uint32_t n);  // fills, peeks and drops; past the end: unexpected end
  void MsbGiveBack();

  // LZH (lzh.cpp)
  void LzhReadLengths(uint8_t* lengths, uint32_t size, uint32_t countBits, int special, MsbCode* code);
  void LzhReadCharLengths();
  void LzhBuildCode(const uint8_t* lengths, uint32_t count, MsbCode* code);
  uint32_t LzhDecode(const MsbCode& code);

  const char* inName_;
  const char* outName_;
  uint64_t maxOut_ = 0;   // 0: no limit on the output
  uint64_t written_ = 0;  // bytes written to the output
  int inFd_ = -1;
  int outFd_ = -1;
  bool outOpened_ = false;  // opened (and so maybe created or truncated) by this call
  bool inputEnded_ = false;

  alignas(8) uint8_t in_[kInputSize + kInputSpare];
  uint32_t inFill_ = 0;
  uint32_t inPos_ = 0;

  alignas(8) uint8_t window_[kWindowSize + kWindowSpare];
  uint32_t winPos_ = 0;      // next byte to produce
  uint32_t winWritten_ = 0;  // bytes below this are written

  uint64_t bytesIn_ = 0;
  uint64_t bytesOut_ = 0;
  uint32_t memberOut_ = 0;  // output of the current member, modulo 2^32
  uint32_t crc_ = 0xFFFFFFFFu;

  int method_ = -1;
  int memberCount_ = 0;
  bool lastMember_ = false;

  // The zip entry being decoded, from its local header.
  bool zipEntry_ = false;
  bool zipDescriptor_ = false;  // CRC-32 and sizes follow the data
  uint32_t zipCrc_ = 0;
  uint32_t zipSize_ = 0;  // uncompressed

  uint64_t msbBuf_ = 0;
  uint32_t msbCount_ = 0;
  uint32_t msbPad_ = 0;

  uint64_t bitBuf_ = 0;  // bits above bitCount_ are the next input bits or zero
  uint32_t bitCount_ = 0;

  HuffEntry litEntries_[kLitLenTableSize];
  HuffEntry distEntries_[kDistTableSize];
  HuffEntry codeLenEntries_[kCodeLenTableSize];
  HuffEntry fixedLitEntries_[kFixedLitTableSize];
  HuffEntry fixedDistEntries_[kFixedDistTableSize];
  HuffTable fixedLit_, fixedDist_;
  bool fixedBuilt_ = false;

  // LZW: the window holds the suffix bytes, this the prefix codes; strings are
  // unwound onto the stack and collected in the output buffer.
  static constexpr uint32_t kLzwOutSize = 16384;
  uint16_t lzwPrefix_[65536];
  uint8_t lzwStack_[65536];
  uint8_t lzwOut_[kLzwOutSize + 2048];

  // LZH: code-length code, character/length code, position code.
  uint8_t lzhCharLen_[kMsbMaxSymbols];
  MsbCode lzhLenCode_, lzhCharCode_, lzhPosCode_;
};

}  // namespace tvgunzip
