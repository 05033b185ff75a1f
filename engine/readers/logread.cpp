#include "engine/readers/logread.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/msgsink.h"
#include "engine/readers/linecommit.h"
#include "engine/readers/linescan.h"
#include "engine/readers/proxyreader.h"
#include "engine/readers/w3creader.h"
#include "platform/files.h"

const char kLogFormatIis[] = "iis";
const char kLogFormatIsa[] = "isa";
const char kLogFormatNetscape[] = "sun/netscape";
const char kLogFormatWebStarClf[] = "WebSTAR(CLF)";
const char kLogFormatWebStar[] = "WebSTAR";
const char kLogFormatWebStarExlf[] = "WebSTAR(ExLF)";
const char kLogFormatMsProxy[] = "MSProxy2";
const char kLogFormatSquid[] = "Squid";
const char kLogFormatIChain[] = "iChain";
const char kLogFormatFirewall[] = "iMSFirewall";
const char kLogFormatIpv6[] = "IPv6";
const char kLogFormatFasthosts[] = "Fasthosts";
const char kLogFormatMediaServer[] = "WinMediaServ";
const char kLogFormatHSphere[] = "H-Sphere";
const char kLogFormatApache[] = "apache";

const char* g_logFormat = nullptr;
std::vector<CLogFileRead> g_filesRead;
uint64_t g_loadBytes = 0;
uint64_t g_loadRecords = 0;

void BeginLogLoad() {
  ResetCommitState();
  g_pools.pages.SetQueryMarker(true, g_project.display.ignore_argm != 0);
  g_loadBytes = 0;
  g_loadRecords = 0;
  g_filesRead.clear();
  bool anyLoaded = false;
  for (int i = 0; i < g_project.sources.Count(); ++i) anyLoaded = anyLoaded || g_project.sources[i].loaded;
  if (!anyLoaded) g_project.first_date = g_project.first_time = g_project.last_date = g_project.last_time = 0;
}

// ---------------------------------------------------------------------------
// Format detection

bool IsNetscapeLog(const char* block, size_t length) {
  const char* end = block + length;
  const char* p = SkipWhite(block, end);
  return end - p >= 7 && strncasecmp(p, "format=", 7) == 0;
}

const char* DetectWebStarLog(const char* block, size_t length) {
  if (ContainsText(block, length, "!!LOG_FORMAT"))
    return ContainsText(block, length, "COMMON_LOG_FORMAT") ? kLogFormatWebStarClf : kLogFormatWebStar;
  if (ContainsText(block, length, "#Software: WebSTAR/")) return kLogFormatWebStarExlf;
  return nullptr;
}

bool IsFasthostsLog(const char* block, size_t length) {
  const char* end = block + length;
  const char* p = SkipLineBreaks(block, end);
  int fits = 0;
  for (int i = 0; i < 9 && p < end; ++i) {
    const char* lineEnd = FindLineEnd(p, end);
    const char* t = p;
    while (t < lineEnd && *t != ' ' && *t != ':') ++t;
    if (t > p && lineEnd - t >= 3 && memcmp(t, ": [", 3) == 0) ++fits;
    p = SkipLineBreaks(lineEnd, end);
  }
  return fits > 3;
}

const char* DetectLogFormat(const char* block, size_t length) {
  if (ContainsText(block, length, "#Software: Microsoft Internet Information")) return kLogFormatIis;
  if (ContainsText(block, length, "#Software: Microsoft(R) Internet Security and Acceleration")) return kLogFormatIsa;
  if (IsNetscapeLog(block, length)) return kLogFormatNetscape;
  if (const char* webstar = DetectWebStarLog(block, length)) return webstar;
  if (IsMsProxyLog(block, length)) return kLogFormatMsProxy;
  if (IsSquidLog(block, length)) return kLogFormatSquid;
  if (length >= 17 && memcmp(block, "#Software: iChain", 17) == 0) return kLogFormatIChain;
  if (ContainsText(block, length, "#Software: Microsoft Windows Firewall")) return kLogFormatFirewall;
  if (ContainsText(block, length, "#Software: Microsoft Internet Connection Firewall")) return kLogFormatIpv6;
  if (IsFasthostsLog(block, length)) return kLogFormatFasthosts;
  if (ContainsText(block, length, "#Software: Windows Media Services")) return kLogFormatMediaServer;
  if (ContainsText(block, length, "#Software: H-Sphere ")) return kLogFormatHSphere;
  return kLogFormatApache;
}

// ---------------------------------------------------------------------------
// Reading

namespace {

// Reads up to n bytes, riding over short reads; -1 on a read error.
ssize_t ReadFully(int fd, char* buffer, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = read(fd, buffer + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return got ? static_cast<ssize_t>(got) : -1;
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

bool IsW3cFormat(const char* f) {
  return f == kLogFormatIis || f == kLogFormatWebStarExlf || f == kLogFormatFirewall || f == kLogFormatIpv6 ||
         f == kLogFormatMediaServer || f == kLogFormatHSphere;
}

int ReadBlock(const char* format, CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
              const CIndexNames& index) {
  if (IsW3cFormat(format)) return ReadW3cLog(store, block, end, masks, index, true);
  if (format == kLogFormatIsa || format == kLogFormatIChain) return ReadW3cLog(store, block, end, masks, index, false);
  if (format == kLogFormatNetscape) return ReadNetscapeLog(store, block, end, masks, index);
  if (format == kLogFormatMsProxy) return ReadMsProxyLog(store, block, end, masks, index);
  if (format == kLogFormatSquid) return ReadSquidLog(store, block, end, masks, index);
  return ParseCommonLogBlock(store, block, end, masks, index, format);
}

}  // namespace

namespace {

// Passes over the rest of a line that did not fit in one block, reading on to
// its line break. The bytes from that break on are left at the buffer's start;
// returns their count (0 when the file ended inside the line).
size_t SkipOverlongLine(uint64_t* remaining, char* buffer, int fd) {
  while (*remaining > 0) {
    size_t want = *remaining < kLogBlockSize ? static_cast<size_t>(*remaining) : kLogBlockSize;
    ssize_t r = ReadFully(fd, buffer, want);
    size_t got = r > 0 ? static_cast<size_t>(r) : 0;
    *remaining = got < want ? 0 : *remaining - got;
    const char* lineEnd = FindLineEnd(buffer, buffer + got);
    if (lineEnd < buffer + got) {
      size_t kept = static_cast<size_t>(buffer + got - lineEnd);
      memmove(buffer, lineEnd, kept);
      return kept;
    }
  }
  return 0;
}

}  // namespace

size_t ReadLogBlock(uint64_t* remaining, char* buffer, char** end, int fd, uint32_t* overlong) {
  size_t kept = 0;  // bytes already in the buffer: the line break behind a passed-over line and what follows
  for (;;) {
    size_t want = *remaining < kLogBlockSize - kept ? static_cast<size_t>(*remaining) : kLogBlockSize - kept;
    ssize_t r = ReadFully(fd, buffer + kept, want);
    size_t read = r > 0 ? static_cast<size_t>(r) : 0;
    // A file that ends early (or cannot be read on) ends here.
    *remaining = read < want ? 0 : *remaining - read;
    size_t got = kept + read;
    char* e = buffer + got;
    if (*remaining > 0) {
      char* last = e;
      while (last > buffer && !IsLineBreak(last[-1])) --last;
      if (last == buffer) {
        // Every block starts at a line, so this one is a line longer than a
        // block. It is ignored whole: its tail must not be read as a line of its own.
        if (overlong) ++*overlong;
        kept = SkipOverlongLine(remaining, buffer, fd);
        continue;
      }
      // The line break stays in this block; the cut line is read again next time.
      size_t back = static_cast<size_t>(e - last);
      if (back == 0 || lseek(fd, -static_cast<off_t>(back), SEEK_CUR) >= 0) {
        *remaining += back;
        e = last - 1;
      }
    }
    *e = ' ';
    *end = e;
    return got;
  }
}

int ParseLogFile(const char* path, CHitStore* store, CLogSource* /*source*/, const CGroupMaskList& masks,
                 const char* indexText, const char* displayName, uint64_t size) {
  if (StopRequested()) return 1;
  CIndexNames index;
  ParseIndexNames(indexText, &index);
  if (!path || !*path) return 0;
  if (!displayName || !*displayName) displayName = path;

  // Only a regular file: a FIFO, a device or a socket could block the load forever.
  int fd = tv::OpenRegularFile(path);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) != 0) {
    close(fd);
    fd = -1;
  }
  if (fd < 0) {
    EngineErrorF("Cannot open file '%s'", path);
    return 0;
  }
  uint64_t length = static_cast<uint64_t>(st.st_size);
  InitW3cReader();
  InitNetscapeReader();

  char* buffer = static_cast<char*>(malloc(kLogBufferSize));
  if (!buffer) {
    close(fd);
    FreeW3cReader();
    FreeNetscapeReader();
    if (!StopRequested()) EngineOutOfMemory(1430);
    RequestStop();
    return 0;
  }
  buffer[kLogBlockSize] = 0;
  buffer[kLogBlockSize + 1] = 0;

  uint64_t before = store->RecordCount();
  uint64_t remaining = length;
  char* end = buffer;
  uint32_t overlong = 0;
  size_t got = ReadLogBlock(&remaining, buffer, &end, fd, &overlong);
  g_logFormat = DetectLogFormat(buffer, static_cast<size_t>(end - buffer));
  char text[1024];
  snprintf(text, sizeof text, "[%s]=%s", g_logFormat, path);
  WriteBugLog(text);
  EngineProgress(static_cast<uint32_t>(length / 1024), 1);

  while (!StopRequested()) {
    if (got > 0 && !ReadBlock(g_logFormat, store, buffer, end, masks, index)) break;
    EngineProgress(static_cast<uint32_t>((length - remaining) / 1024), 0);
    if (remaining == 0) break;
    got = ReadLogBlock(&remaining, buffer, &end, fd, &overlong);
  }
  store->ignoredLines += overlong;

  uint64_t after = store->RecordCount();
  uint64_t added = after > before ? after - before : 0;
  g_loadBytes += length;
  g_loadRecords += added;
  snprintf(text, sizeof text, "# Log size=%" PRIu64 " string=%" PRIu64 " (ignore=%" PRIu64 ", head=%" PRIu64 ")",
           size, added, store->ignoredLines, store->headerLines);
  WriteBugLog(text);
  if (overlong)
    EngineInfoF("'%s': %u %s longer than 64 KB ignored", displayName, overlong, overlong == 1 ? "line" : "lines");
  if (added == 0) EngineInfoF("'%s' Incorrect or empty log file", displayName);

  free(buffer);
  close(fd);
  FreeW3cReader();
  FreeNetscapeReader();
  g_logFormat = nullptr;
  try {
    g_filesRead.push_back({displayName, size, static_cast<uint32_t>(added)});
  } catch (const std::bad_alloc&) {
  }
  EngineInfo("");
  return 1;
}
