// Arbitrary bytes as the first block of a log: the format detection and the
// W3C reader must never crash or read outside the block. The first byte picks
// the separator and whether a "#Fields:" line goes in front, so the column
// handlers are reached without the fuzzer having to find the directive.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/logread.h"
#include "engine/w3creader.h"

namespace {

std::string g_home;

void RemoveHome() {
  std::error_code ec;
  std::filesystem::remove_all(g_home, ec);
}

const char kFields[] =
    "#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query sc-status sc-bytes cs-bytes "
    "cs(User-Agent) cs(Cookie) cs(Referer)\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string templ = (std::filesystem::temp_directory_path() / "tvfuzz-XXXXXX").string();
  if (!mkdtemp(templ.data())) abort();
  g_home = templ;
  atexit(RemoveHome);
  setenv("TRAILVANE_HOME", g_home.c_str(), 1);
  BeginLogLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t mode = data[0];
  ++data;
  --size;
  std::vector<char> block;
  if (mode & 2) block.insert(block.end(), kFields, kFields + strlen(kFields));
  block.insert(block.end(), data, data + size);
  if (block.size() > kLogBlockSize) block.resize(kLogBlockSize);
  size_t length = block.size();
  // Exactly the block, so any read past its end is caught.
  char* buffer = static_cast<char*>(malloc(length + 1));
  if (!buffer) return 0;
  if (length) memcpy(buffer, block.data(), length);
  buffer[length] = ' ';
  g_logFormat = DetectLogFormat(buffer, length);
  g_project.display.ignore_argm = (mode & 4) ? 1 : 0;
  CGroupMaskList masks;
  if (mode & 8) masks.AddList(".html;.gif;/a/*", 0, kGroupPages);
  CIndexNames index;
  ParseIndexNames("index.html", &index);
  CHitStore store;
  InitW3cReader();
  ReadW3cLog(&store, buffer, buffer + length, masks, index, (mode & 1) == 0);
  FreeW3cReader();
  g_logFormat = nullptr;
  free(buffer);
  return 0;
}
