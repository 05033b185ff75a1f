// Arbitrary bytes as a compressed file: GunzipFile must never crash, and a
// failure must never leave an output file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "decompress/gunzip.h"

namespace {

std::string g_dir, g_in, g_out;

void RemoveDir() {
  std::error_code ec;
  std::filesystem::remove_all(g_dir, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string templ = (std::filesystem::temp_directory_path() / "tvfuzz-XXXXXX").string();
  if (!mkdtemp(templ.data())) abort();
  g_dir = templ;
  g_in = g_dir + "/in.gz";
  g_out = g_dir + "/out.txt";
  atexit(RemoveDir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = fopen(g_in.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
  bool ok = GunzipFile(g_in.c_str(), g_out.c_str());
  bool exists = access(g_out.c_str(), F_OK) == 0;
  if (ok != exists) abort();
  unlink(g_out.c_str());
  return 0;
}
