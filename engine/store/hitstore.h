// Packed hit records (29 to 57 bytes) in 500,000-byte chunks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/store/strpool.h"

// Flag bits (offset 24).
enum : uint8_t {
  kHitQuery = 1,
  kHitRobot = 2,
  kHitSearchEngine = 4,
  kHitEntryExit = 8,
  kHitPost = 16,
  kHitHead = 32,
  kHitReferrer = 64,
  kHitAgent = 128,
};
// Presence bits in the status word (offset 20).
enum : uint16_t {
  kHitStatusMask = 0x07FF,
  kHitSubdomain = 0x0800,
  kHitCookie = 0x1000,
  kHitHostName = 0x2000,
  kHitUserName = 0x4000,
  kHitBytesReceived = 0x8000,
};

// A view over the bytes of one record; fields are read and written at their
// offsets, so records need no alignment.
struct CHitRecord {
  static constexpr size_t kHeadSize = 29;
  static constexpr size_t kMaxSize = 57;

  uint8_t bytes[kHeadSize];

  template <typename T>
  T Get(size_t off) const {
    T v;
    memcpy(&v, reinterpret_cast<const uint8_t*>(this) + off, sizeof v);
    return v;
  }
  template <typename T>
  void Put(size_t off, T v) {
    memcpy(reinterpret_cast<uint8_t*>(this) + off, &v, sizeof v);
  }

  TextHandle Page() const { return Get<uint32_t>(0); }
  void SetPage(TextHandle h) { Put<uint32_t>(0, h); }
  uint32_t Address() const { return Get<uint32_t>(4); }
  void SetAddress(uint32_t a) { Put<uint32_t>(4, a); }
  uint8_t Day() const { return bytes[8]; }
  uint8_t Month() const { return bytes[9]; }
  uint16_t Year() const { return Get<uint16_t>(10); }
  void SetDate(unsigned day, unsigned month, unsigned year) {
    bytes[8] = static_cast<uint8_t>(day);
    bytes[9] = static_cast<uint8_t>(month);
    Put<uint16_t>(10, static_cast<uint16_t>(year));
  }
  // Day in bits 0-7, month 8-15, year 16-31: compares in calendar order.
  uint32_t PackedDate() const {
    return bytes[8] | (static_cast<uint32_t>(bytes[9]) << 8) | (static_cast<uint32_t>(Year()) << 16);
  }
  uint32_t Seconds() const { return Get<uint32_t>(12); }
  void SetSeconds(uint32_t s) { Put<uint32_t>(12, s); }
  uint32_t BytesSent() const { return Get<uint32_t>(16); }
  void SetBytesSent(uint32_t b) { Put<uint32_t>(16, b); }
  uint16_t StatusWord() const { return Get<uint16_t>(20); }
  void SetStatusWord(uint16_t w) { Put<uint16_t>(20, w); }
  uint16_t Status() const { return StatusWord() & kHitStatusMask; }
  uint16_t RobotIndex() const { return Get<uint16_t>(22); }
  void SetRobotIndex(uint16_t i) { Put<uint16_t>(22, i); }
  uint8_t Flags() const { return bytes[24]; }
  void SetFlags(uint8_t f) { bytes[24] = f; }
  uint32_t VisitorId() const { return bytes[25] | (bytes[26] << 8) | (static_cast<uint32_t>(bytes[27]) << 16); }
  void SetVisitorId(uint32_t v) {
    bytes[25] = static_cast<uint8_t>(v);
    bytes[26] = static_cast<uint8_t>(v >> 8);
    bytes[27] = static_cast<uint8_t>(v >> 16);
  }
  uint8_t PageType() const { return bytes[28]; }
  void SetPageType(uint8_t t) { bytes[28] = t; }

  size_t GetSize() const { return kHeadSize + 4 * OptionalCount(); }

  // Optional fields, 0 when absent.
  TextHandle GetReferrer() const { return Optional(0); }
  TextHandle GetUserAgent() const { return Optional(1); }
  TextHandle GetCookie() const { return Optional(2); }
  TextHandle GetHostName() const { return Optional(3); }
  TextHandle GetUserName() const { return Optional(4); }
  uint32_t GetBytesReceived() const { return Optional(5); }
  TextHandle GetSubdomain() const { return Optional(6); }
  // Fills the host-name slot when the record has one.
  void SetHostName(TextHandle h);

  const char* PageText() const { return g_pools.pages.Text(Page()); }

 private:
  // Bit i set when optional field i (in storage order) is present.
  unsigned PresentMask() const {
    unsigned f = bytes[24], s = StatusWord();
    return ((f >> 6) & 3u) | (((s >> 12) & 0xFu) << 2) | (((s >> 11) & 1u) << 6);
  }
  // Bit counts of the 7-bit presence mask (no popcount instruction needed).
  static unsigned Bits(unsigned m) {
    static constexpr uint8_t kBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return kBits[m & 15] + kBits[m >> 4];
  }
  size_t OptionalCount() const { return Bits(PresentMask()); }
  uint32_t Optional(int field) const {
    unsigned m = PresentMask();
    if (!(m & (1u << field))) return 0;
    return Get<uint32_t>(kHeadSize + 4 * static_cast<size_t>(Bits(m & ((1u << field) - 1))));
  }
};

class CHitStore {
 public:
  static constexpr uint32_t kChunkSize = 500000;

  CHitStore() { Init(); }
  ~CHitStore() { Free(); }
  CHitStore(const CHitStore&) = delete;
  CHitStore& operator=(const CHitStore&) = delete;
  CHitStore(CHitStore&& other) noexcept;
  CHitStore& operator=(CHitStore&& other) noexcept;

  void Init();
  void Free();

  // Room for one record at the end, head zeroed; null after an allocation failure.
  CHitRecord* NewRecord();
  // Appends the current record (the caller has completed it).
  void CommitCurrent();
  void Trim();

  // Walk: First, then Next before each further record, RecordCount() records in all.
  CHitRecord* First();
  CHitRecord* Next();

  // The record under construction (null when none).
  CHitRecord* Current() const { return m_building; }
  CHitRecord* Last() const { return m_count ? reinterpret_cast<CHitRecord*>(At(m_lastPos)) : nullptr; }
  uint64_t RecordCount() const { return m_count; }
  uint64_t CursorOrdinal() const { return m_ordinal; }
  uint64_t BytesUsed() const { return m_used; }
  size_t ChunkCount() const { return m_chunks.size(); }
  size_t AllocatedBytes() const;

  uint64_t ignoredLines = 0;
  uint64_t headerLines = 0;

 private:
  uint64_t ChunkEnd(uint64_t pos) const { return (pos / kChunkSize + 1) * kChunkSize; }
  uint8_t* At(uint64_t pos) const { return m_chunks[pos / kChunkSize] + pos % kChunkSize; }

  std::vector<uint8_t*> m_chunks;
  std::vector<uint32_t> m_chunkBytes;  // allocated size of each chunk (Trim shrinks the last)
  uint64_t m_used = 0;      // where the next record goes
  uint64_t m_reserved = 0;  // used + largest record at the last reservation
  uint64_t m_cursor = 0;    // walk position, apart from the append position
  uint64_t m_ordinal = 0;
  uint64_t m_buildPos = 0;
  CHitRecord* m_building = nullptr;
  CHitRecord* m_cursorRec = nullptr;
  uint64_t m_lastPos = 0;
  uint64_t m_count = 0;
};

// Per-line values the readers collect for the line commit; cleared by NewRecord.
struct CLineValues {
  const char* page;  // raw page text in the reader's buffer, cut at '?'
  size_t pageLen;
  size_t pageQueryLen;  // with the '?' and the query, when the record has the query flag
  const char* host;  // client as a host name, null for a numeric address
  size_t hostLen;
  const char* referrer;
  size_t referrerLen;
  const char* agent;
  size_t agentLen;
  const char* cookie;
  size_t cookieLen;
  const char* user;
  size_t userLen;
  const char* subdomain;
  size_t subdomainLen;
  uint16_t status;
  uint32_t bytesReceived;
};
extern CLineValues g_line;

// The site's default document names ("index" setting).
struct CIndexNames {
  static constexpr int kMaxNames = 12;
  static constexpr int kMaxNameLen = 69;
  struct Slot {
    char name[kMaxNameLen + 1];
    int32_t length;
  };
  Slot slots[kMaxNames];
  int count = 0;
};
void ParseIndexNames(const char* text, CIndexNames* table);
// The length of the page once a default document name after its last '/' is cut off.
size_t CutIndexName(const char* page, size_t len, const CIndexNames& table);
