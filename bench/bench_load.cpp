// tvbench load FILE...: reads each file as one log source would be read and
// prints the records, the speed and the memory the hits cost.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench.h"
#include "engine/hitstore.h"
#include "engine/logread.h"
#include "engine/msgsink.h"
#include "engine/project.h"
#include "engine/strpool.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

void PrintError(const char* text) { fprintf(stderr, "%s\n", text); }

// The format as the reader will see it, read aside so it costs no reading time.
const char* FormatOf(const char* path) {
  static char block[kLogBufferSize];
  int fd = open(path, O_RDONLY);
  if (fd < 0) return "-";
  ssize_t n = read(fd, block, kLogBlockSize);
  close(fd);
  return DetectLogFormat(block, n > 0 ? static_cast<size_t>(n) : 0);
}

CStringPool* const kPools[] = {&g_pools.pages,    &g_pools.agents, &g_pools.referrers, &g_pools.cookies,
                               &g_pools.users,    &g_pools.hosts,  &g_pools.subdomains};

}  // namespace

int BenchLoad(int argc, char** argv) {
  if (argc < 1) {
    fprintf(stderr, "usage: tvbench load FILE...\n");
    return 2;
  }
  // The diagnostics log goes to a scratch home unless one is given.
  std::string scratch;
  if (!getenv("TRAILVANE_HOME")) {
    std::string templ = (std::filesystem::temp_directory_path() / "tvbench-XXXXXX").string();
    if (mkdtemp(templ.data())) {
      scratch = templ;
      setenv("TRAILVANE_HOME", scratch.c_str(), 1);
      tv::ResetFolders();
    }
  }
  SetEngineCallbacks(nullptr, PrintError, nullptr, nullptr, nullptr, nullptr);

  // Typical file-type groups, so every page is typed as in a real analysis.
  CGroupMaskList masks;
  masks.AddList(".html;.htm;.asp;.aspx;.php;.shtml", 0, kGroupPages);
  masks.AddList(".gif;.jpg;.jpeg;.png;.ico;.svg", 1, kGroupOther);
  masks.AddList(".zip;.exe;.pdf;.msi", 2, kGroupDownloads);

  BeginLogLoad();
  CHitStore store;
  uint64_t bytes = 0;
  double seconds = 0;
  int failed = 0;
  for (int i = 0; i < argc; ++i) {
    const char* path = argv[i];
    int64_t size = tv::FileSize(path);
    const char* format = FormatOf(path);
    uint64_t records = store.RecordCount(), ignored = store.ignoredLines, headers = store.headerLines;
    double t0 = BenchNow();
    int ok = ParseLogFile(path, &store, nullptr, masks, "index.html", path, size < 0 ? 0 : static_cast<uint64_t>(size));
    seconds += BenchNow() - t0;
    if (!ok) ++failed;
    if (size > 0) bytes += static_cast<uint64_t>(size);
    printf("file=%s format=%s records=%llu ignored=%llu headers=%llu\n", path, format,
           static_cast<unsigned long long>(store.RecordCount() - records),
           static_cast<unsigned long long>(store.ignoredLines - ignored),
           static_cast<unsigned long long>(store.headerLines - headers));
  }
  store.Trim();
  size_t indexBytes = 0;
  for (CStringPool* p : kPools) indexBytes += p->IndexBytes();
  ResetStringPools();
  size_t poolBytes = 0;
  for (CStringPool* p : kPools) poolBytes += p->BytesUsed();
  uint64_t n = store.RecordCount();
  double memory = static_cast<double>(store.AllocatedBytes() + poolBytes);
  printf("total records=%llu ignored=%llu headers=%llu bytes=%llu seconds=%.3f mb_per_s=%.1f bytes_per_hit=%.2f "
         "bytes_per_hit_with_index=%.2f\n",
         static_cast<unsigned long long>(n), static_cast<unsigned long long>(store.ignoredLines),
         static_cast<unsigned long long>(store.headerLines), static_cast<unsigned long long>(bytes), seconds,
         seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0, n ? memory / static_cast<double>(n) : 0.0,
         n ? (memory + static_cast<double>(indexBytes)) / static_cast<double>(n) : 0.0);
  if (!scratch.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
  return failed ? 1 : 0;
}
