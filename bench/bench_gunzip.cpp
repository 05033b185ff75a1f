// tvbench gunzip IN OUT: decompresses one file and prints its sizes and the time taken.
#include <cstdio>

#include "base/msgsink.h"
#include "bench/bench.h"
#include "decompress/gunzip.h"
#include "platform/files.h"

namespace {
void PrintError(const char* text) { fprintf(stderr, "%s\n", text); }
}  // namespace

int BenchGunzip(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: tvbench gunzip IN OUT\n");
    return 2;
  }
  SetEngineCallbacks(nullptr, PrintError, nullptr, nullptr, nullptr, nullptr);
  double start = BenchNow();
  bool ok = GunzipFile(argv[0], argv[1]);
  double seconds = BenchNow() - start;
  long long in = tv::FileSize(argv[0]);
  long long out = ok ? tv::FileSize(argv[1]) : 0;
  printf("bytes_in=%lld bytes_out=%lld seconds=%.3f\n", in < 0 ? 0 : in, out < 0 ? 0 : out, seconds);
  return ok ? 0 : 1;
}
