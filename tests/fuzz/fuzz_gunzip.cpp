// Arbitrary bytes as a compressed file: GunzipFile must never crash, and a
// failure must never leave an output file. Inputs starting with 0xF0 to 0xF5 get
// the start of a gzip, zip, compress, pack or lh5 file in place of that byte, so
// that every decoder sees mostly well-formed headers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <unistd.h>

#include "decompress/gunzip.h"

namespace {

std::string g_dir, g_in, g_out;

const std::string kPrefixes[] = {
    std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10),
    // zip local headers up to the CRC-32: deflated, and stored with a data descriptor
    std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00\x00\x00\x00\x00", 14),
    std::string("PK\x03\x04\x14\x00\x08\x00\x00\x00\x00\x00\x00\x00", 14),
    std::string("\x1f\x9d\x90", 3),
    std::string("\x1f\x1e", 2),
    std::string("\x1f\xa0", 2),
};

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
  if (size && data[0] >= 0xF0 && data[0] < 0xF0 + std::size(kPrefixes)) {
    const std::string& prefix = kPrefixes[data[0] - 0xF0];
    if (fwrite(prefix.data(), 1, prefix.size(), f) != prefix.size()) abort();
    ++data;
    --size;
  }
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
  bool ok = GunzipFile(g_in.c_str(), g_out.c_str());
  bool exists = access(g_out.c_str(), F_OK) == 0;
  if (ok != exists) abort();
  unlink(g_out.c_str());
  return 0;
}
