// The decompressor frame: files, method detection, input and output buffers,
// the running CRC-32 and the abort path.
#include "decompress/gunzip.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "base/msgsink.h"
#include "decompress/gunzip_state.h"
#include "platform/files.h"

namespace tvgunzip {
namespace {

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

// Slicing-by-8: table k advances a byte that sits k bytes before the end of a word.
constexpr CrcTables MakeCrcTables() {
  CrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

inline uint32_t Load16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

inline uint32_t Load32(const uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
  } else {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
}

constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
constexpr uint8_t kFlagsRefused = 0x20 | kFlagHeaderCrc | 0xC0;

}  // namespace

uint32_t Crc32Add(uint32_t crc, const uint8_t* p, size_t n) {
  while (n >= 8) {
    uint32_t one = Load32(p) ^ crc;
    uint32_t two = Load32(p + 4);
    crc = kCrc[7][one & 0xFF] ^ kCrc[6][(one >> 8) & 0xFF] ^ kCrc[5][(one >> 16) & 0xFF] ^ kCrc[4][one >> 24] ^
          kCrc[3][two & 0xFF] ^ kCrc[2][(two >> 8) & 0xFF] ^ kCrc[1][(two >> 16) & 0xFF] ^ kCrc[0][two >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) crc = kCrc[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

GunzipState::~GunzipState() {
  if (outFd_ >= 0) close(outFd_);
  if (inFd_ >= 0) close(inFd_);
}

uint32_t GunzipState::UpdateCrc32(const uint8_t* buf, size_t count) {
  if (!buf) {
    crc_ = 0xFFFFFFFFu;
    return 0;
  }
  crc_ = Crc32Add(crc_, buf, count);
  return ~crc_;
}

void GunzipState::ReportFailure(const char* reason) { EngineErrorF("Cannot decompress %s: %s", inName_, reason); }

void GunzipState::GunzipError(const char* reason) {
  ReportFailure(reason);
  throw GunzipAbort{};
}

void GunzipState::GunzipReadError(int err) {
  if (err == 0) GunzipError("unexpected end of the file");
  EngineErrorF("Cannot read %s: %s", inName_, strerror(err));
  throw GunzipAbort{};
}

void GunzipState::GunzipWriteError(int err) {
  EngineErrorF("Cannot write %s: %s", outName_, strerror(err));
  throw GunzipAbort{};
}

int GunzipState::FillInputBuffer(bool endAllowed) {
  uint32_t got = 0;
  while (got < kInputSize) {
    ssize_t r = read(inFd_, in_ + got, kInputSize - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      // A failure after some bytes ends this refill; the next one reports it.
      if (got > 0) break;
      GunzipReadError(errno);
    }
    if (r == 0) break;
    got += static_cast<uint32_t>(r);
  }
  if (got == 0) {
    inputEnded_ = true;
    if (endAllowed) return -1;
    GunzipReadError(0);
  }
  bytesIn_ += got;
  inFill_ = got;
  inPos_ = 1;
  return in_[0];
}

bool GunzipState::MoreInput() {
  if (inPos_ < inFill_) return true;
  if (FillInputBuffer(true) < 0) return false;
  inPos_ = 0;
  return true;
}

void GunzipState::WriteAll(int fd, const uint8_t* buf, size_t count) {
  written_ += count;
  if (maxOut_ && written_ > maxOut_) {
    EngineErrorF("Cannot decompress %s: it expands to more than %llu bytes", inName_,
                 static_cast<unsigned long long>(maxOut_));
    throw GunzipAbort{};
  }
  while (count > 0) {
    ssize_t r = write(fd, buf, count);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) GunzipWriteError(r < 0 ? errno : ENOSPC);
    buf += r;
    count -= static_cast<size_t>(r);
  }
}

void GunzipState::FlushWindow() {
  if (winPos_ <= winWritten_) return;
  uint32_t n = winPos_ - winWritten_;
  UpdateCrc32(window_ + winWritten_, n);
  WriteAll(outFd_, window_ + winWritten_, n);
  memberOut_ += n;
  bytesOut_ += n;
  winWritten_ = winPos_;
}

bool GunzipState::ReadGzipHeader() {
  int method = GetByte();
  int flags = GetByte();
  if (method != 8 || (flags & kFlagsRefused)) {
    EngineErrorF("Cannot decompress %s: unsupported header (method %d, flags 0x%02X)", inName_, method, flags);
    return false;
  }
  for (int i = 0; i < 6; ++i) GetByte();  // modification time, extra flags, operating system
  if (flags & kFlagExtra) {
    uint32_t len = uint32_t(GetByte());
    len |= uint32_t(GetByte()) << 8;
    while (len--) GetByte();
  }
  if (flags & kFlagName) {
    while (GetByte() != 0) {
    }
  }
  if (flags & kFlagComment) {
    while (GetByte() != 0) {
    }
  }
  return true;
}

// The local header of a zip archive's first entry; it lies whole in the first
// buffer fill. Afterwards the read position is at the entry's data.
bool GunzipState::CheckZipLocalHeader() {
  const uint8_t* h = in_;
  auto refuse = [this](const char* why) {
    EngineErrorF("Cannot decompress %s: unsupported zip entry (%s)", inName_, why);
    return false;
  };
  if (inFill_ < 30) return refuse("header cut short");
  if (Load32(h) != 0x04034B50u) return refuse("no local header");
  const uint32_t flags = Load16(h + 6);
  const uint32_t method = Load16(h + 8);
  const uint32_t dataAt = 30 + Load16(h + 26) + Load16(h + 28);
  if (dataAt > inFill_) return refuse("header cut short");
  if (method != 0 && method != 8) return refuse("compression method not supported");
  if (flags & 0x0001) return refuse("encrypted");
  zipDescriptor_ = (flags & 0x0008) != 0;
  zipCrc_ = Load32(h + 14);
  zipSize_ = Load32(h + 22);
  // Without the sizes a stored entry's end cannot be found.
  if (method == 0 && zipDescriptor_ && zipSize_ == 0) return refuse("stored with unknown size");
  method_ = int(method);
  zipEntry_ = true;
  inPos_ = dataAt;
  return true;
}

// -1: not a compressed file (first member) or a refused header; -2: what follows
// the last member is not a member; else the method.
int GunzipState::DetectCompressionMethod() {
  // A file too short to hold a magic number is not compressed, and one stray
  // byte after a member is trailing data, not a truncated member.
  int first = MoreInput() ? GetByte() : -1;
  int second = first >= 0 && MoreInput() ? GetByte() : -1;
  method_ = -1;
  ++memberCount_;
  lastMember_ = false;
  if (second < 0) return memberCount_ == 1 ? -1 : -2;
  if (first == 0x1F && (second == 0x8B || second == 0x9E)) {
    if (!ReadGzipHeader()) return -1;
    method_ = 8;
    return method_;
  }
  // A zip archive is only taken from the start of the input.
  if (first == 'P' && second == 'K' && memberCount_ == 1 && inPos_ == 2 && inFill_ >= 4 && in_[2] == 3 &&
      in_[3] == 4) {
    if (!CheckZipLocalHeader()) return -1;
    lastMember_ = true;
    return method_;
  }
  if (first == 0x1F) {
    switch (second) {
      case 0x1E:
        return method_ = 2;
      case 0x9D:
        lastMember_ = true;
        return method_ = 1;
      case 0xA0:
        lastMember_ = true;
        return method_ = 3;
    }
  }
  return memberCount_ == 1 ? -1 : -2;
}

int GunzipState::DecodeMember() {
  switch (method_) {
    case 1:
      return DecodeLzw();
    case 2:
      return DecodePacked();
    case 3:
      return DecodeLzh();
    default:
      return DecodeDeflateMember();
  }
}

uint32_t GunzipState::Lookahead(uint32_t n) {
  uint32_t have = inFill_ - inPos_;
  if (have >= n || inputEnded_) return have < n ? have : n;
  memmove(in_, in_ + inPos_, have);
  inFill_ = have;
  inPos_ = 0;
  while (inFill_ < n) {
    ssize_t r = read(inFd_, in_ + inFill_, kInputSize - inFill_);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) GunzipReadError(errno);
    if (r == 0) {
      inputEnded_ = true;
      break;
    }
    inFill_ += uint32_t(r);
    bytesIn_ += uint64_t(r);
  }
  return inFill_ < n ? inFill_ : n;
}

uint32_t GunzipState::MsbBits(uint32_t n) {
  if (msbCount_ < n) MsbFill();
  uint32_t v = MsbPeek(n);
  if (!MsbDrop(n)) GunzipReadError(0);
  return v;
}

// Returns the whole bytes still held to the input, as GiveBackHeldBytes does for
// the deflate bit buffer; zero bits made up past the end are dropped.
void GunzipState::MsbGiveBack() {
  uint32_t real = msbCount_ > msbPad_ ? msbCount_ - msbPad_ : 0;
  uint32_t back = real >> 3;
  if (back <= inPos_) {
    inPos_ -= back;
  } else {
    memmove(in_ + back, in_ + inPos_, inFill_ - inPos_);
    inFill_ = inFill_ - inPos_ + back;
    inPos_ = 0;
    // The oldest held byte sits highest in the buffer.
    for (uint32_t i = 0; i < back; ++i) in_[i] = uint8_t(msbBuf_ >> (msbPad_ + 8 * (back - 1 - i)));
  }
  msbBuf_ = 0;
  msbCount_ = 0;
  msbPad_ = 0;
}

void GunzipState::AbortGunzip() {
  if (outFd_ >= 0) {
    close(outFd_);
    outFd_ = -1;
  }
  // Delete whatever this call wrote, also when the file was there before.
  if (outOpened_) unlink(outName_);
  if (inFd_ >= 0) {
    close(inFd_);
    inFd_ = -1;
  }
}

bool GunzipState::Run() {
  // Only a regular file: a FIFO or a device is not compressed input.
  inFd_ = tv::OpenRegularFile(inName_);
  struct stat st;
  if (inFd_ < 0) return false;
  if (fstat(inFd_, &st) != 0) {
    close(inFd_);
    inFd_ = -1;
    return false;
  }
  try {
    if (DetectCompressionMethod() < 0) {
      close(inFd_);
      inFd_ = -1;
      return false;
    }
    // Truncating the input itself would lose it, and the failure path would delete it.
    struct stat outSt;
    if (stat(outName_, &outSt) == 0 && outSt.st_dev == st.st_dev && outSt.st_ino == st.st_ino) {
      EngineErrorF("Cannot decompress %s into itself", inName_);
      close(inFd_);
      inFd_ = -1;
      return false;
    }
    outFd_ = open(outName_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (outFd_ < 0) {
      EngineErrorF("Cannot create %s: %s", outName_, strerror(errno));
      close(inFd_);
      inFd_ = -1;
      return false;
    }
    outOpened_ = true;
    bool failed = false;
    for (;;) {
      if (DecodeMember() != 0) {
        failed = true;
        break;
      }
      if (lastMember_ || !MoreInput()) break;
      int m = DetectCompressionMethod();
      if (m == -1) {
        failed = true;
        break;
      }
      if (m == -2) break;
      memberOut_ = 0;
    }
    close(inFd_);
    inFd_ = -1;
    int fd = outFd_;
    outFd_ = -1;
    if (close(fd) != 0) {
      EngineErrorF("Cannot write %s: %s", outName_, strerror(errno));
      failed = true;
    }
    if (failed) {
      unlink(outName_);
      return false;
    }
    return true;
  } catch (const GunzipAbort&) {
    AbortGunzip();
    return false;
  }
}

}  // namespace tvgunzip

bool GunzipFile(const char* in, const char* out) { return GunzipFile(in, out, 0); }

bool GunzipFile(const char* in, const char* out, unsigned long long maxOut) {
  if (!in || !out || !*in || !*out) return false;
  std::unique_ptr<tvgunzip::GunzipState> state(new (std::nothrow) tvgunzip::GunzipState(in, out, maxOut));
  if (!state) {
    EngineOutOfMemory(0);
    return false;
  }
  return state->Run();
}

bool LooksCompressed(const char* in) {
  int fd = in ? tv::OpenRegularFile(in) : -1;
  if (fd < 0) return false;
  unsigned char b[4] = {};
  ssize_t n;
  do {
    n = read(fd, b, sizeof b);
  } while (n < 0 && errno == EINTR);
  close(fd);
  if (n < 2) return false;
  if (b[0] == 0x1F) return b[1] == 0x8B || b[1] == 0x9E || b[1] == 0x1E || b[1] == 0x9D || b[1] == 0xA0;
  return n == 4 && b[0] == 'P' && b[1] == 'K' && b[2] == 3 && b[3] == 4;
}
