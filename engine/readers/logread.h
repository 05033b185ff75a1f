// Reading one local log file: 64 KB blocks that end at a line break, the format
// recognised once from the first block, every block handed to that format's reader.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/hitstore.h"
#include "engine/store/project.h"

// Format names. Formats are told apart by the identity of these texts.
extern const char kLogFormatIis[];          // "iis"
extern const char kLogFormatIsa[];          // "isa"
extern const char kLogFormatNetscape[];     // "sun/netscape"
extern const char kLogFormatWebStarClf[];   // "WebSTAR(CLF)"
extern const char kLogFormatWebStar[];      // "WebSTAR"
extern const char kLogFormatWebStarExlf[];  // "WebSTAR(ExLF)"
extern const char kLogFormatMsProxy[];      // "MSProxy2"
extern const char kLogFormatSquid[];        // "Squid"
extern const char kLogFormatIChain[];       // "iChain"
extern const char kLogFormatFirewall[];     // "iMSFirewall"
extern const char kLogFormatIpv6[];         // "IPv6"
extern const char kLogFormatFasthosts[];    // "Fasthosts"
extern const char kLogFormatMediaServer[];  // "WinMediaServ"
extern const char kLogFormatHSphere[];      // "H-Sphere"
extern const char kLogFormatApache[];       // "apache"

// The format of the file being read; null between files (so lines committed
// from elsewhere, such as ODBC tables, get no format-specific rule).
extern const char* g_logFormat;

constexpr size_t kLogBlockSize = 65536;
// Data plus the blank after it and a final 0.
constexpr size_t kLogBufferSize = kLogBlockSize + 2;

// One file read by the current load.
struct CLogFileRead {
  std::string name;  // as shown to the user
  uint64_t size = 0;
  uint32_t records = 0;
};
extern std::vector<CLogFileRead> g_filesRead;
// Totals of the current load.
extern uint64_t g_loadBytes;
extern uint64_t g_loadRecords;

// Start of a load: resets the totals, the list of files read, the commit's
// per-load state and the page pool's query marker; clears the project's first
// and last hit unless some source still holds records.
void BeginLogLoad();

// Reads one local file into store. 1 when the file was read (records or not),
// 0 when it could not be opened, is no regular file, or memory ran out.
int ParseLogFile(const char* path, CHitStore* store, CLogSource* source, const CGroupMaskList& masks,
                 const char* indexText, const char* displayName, uint64_t size);

// Reads the next block of at most 64 KB from fd into buffer. Unless the file's
// end was reached, the block is cut back to its last line break and the bytes
// after it are left in the file for the next block. A line longer than a block
// is passed over whole, up to its line break, and counted in *overlong. *end
// gets the byte after the data, where a blank is written. Returns the count of
// bytes in the block.
size_t ReadLogBlock(uint64_t* remaining, char* buffer, char** end, int fd, uint32_t* overlong = nullptr);

// The format of a log from its first block (one of the names above).
const char* DetectLogFormat(const char* block, size_t length);
bool IsNetscapeLog(const char* block, size_t length);
// One of the three WebSTAR names, or null.
const char* DetectWebStarLog(const char* block, size_t length);
bool IsFasthostsLog(const char* block, size_t length);

// Block readers: each reads the lines of [block, end) into store and returns 1
// at the block's end or on the stop flag, 0 when the file cannot go on (no
// record could be reserved).
int ParseCommonLogBlock(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                        const CIndexNames& index, const char* format);
int ReadNetscapeLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                    const CIndexNames& index);
int ReadMsProxyLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                   const CIndexNames& index);
int ReadSquidLog(CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
                 const CIndexNames& index);
// Per-file state of the custom-format reader.
void InitNetscapeReader();
void FreeNetscapeReader();
