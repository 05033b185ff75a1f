// Arbitrary bytes as the first block of a log: the format detection and every
// block reader must never crash or read outside the block. The first byte picks
// the reader (bits 4-6), the W3C separator, whether a "#Fields:" or "format="
// line goes in front (so the field handlers are reached without the fuzzer
// having to find the directive), ignore_argm and the group masks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/readers/logread.h"
#include "engine/readers/w3creader.h"

namespace {

std::string g_home;

void RemoveHome() {
  std::error_code ec;
  std::filesystem::remove_all(g_home, ec);
}

const char kFields[] =
    "#Fields: date time c-ip cs-username cs-method cs-uri-stem cs-uri-query sc-status sc-bytes cs-bytes "
    "cs(User-Agent) cs(Cookie) cs(Referer)\n";
const char kFormat[] =
    "format=%Ses->client.ip% - %Req->vars.auth-user% [%SYSDATE%] \"%Req->reqpb.clf-request%\" "
    "%Req->srvhdrs.clf-status% %Req->srvhdrs.content-length% \"%Req->headers.referer%\" "
    "\"%Req->headers.user-agent%\" %Req->headers.cookie.name%\n";

enum Reader { kW3c, kCommon, kFasthosts, kNetscape, kMsProxy, kSquid, kDetected, kCommonSubdomain };

int ReadAs(int reader, const char* format, CHitStore* store, char* block, char* end, const CGroupMaskList& masks,
           const CIndexNames& index, bool blanks) {
  switch (reader) {
    case kW3c:
      return ReadW3cLog(store, block, end, masks, index, blanks);
    case kFasthosts:
      return ParseCommonLogBlock(store, block, end, masks, index, kLogFormatFasthosts);
    case kNetscape:
      return ReadNetscapeLog(store, block, end, masks, index);
    case kMsProxy:
      return ReadMsProxyLog(store, block, end, masks, index);
    case kSquid:
      return ReadSquidLog(store, block, end, masks, index);
    case kDetected:
      if (format == kLogFormatNetscape) return ReadNetscapeLog(store, block, end, masks, index);
      if (format == kLogFormatMsProxy) return ReadMsProxyLog(store, block, end, masks, index);
      if (format == kLogFormatSquid) return ReadSquidLog(store, block, end, masks, index);
      if (format == kLogFormatApache || format == kLogFormatFasthosts || format == kLogFormatWebStar ||
          format == kLogFormatWebStarClf)
        return ParseCommonLogBlock(store, block, end, masks, index, format);
      return ReadW3cLog(store, block, end, masks, index, format != kLogFormatIsa && format != kLogFormatIChain);
    default:
      return ParseCommonLogBlock(store, block, end, masks, index, kLogFormatApache);
  }
}

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
  int reader = (mode >> 4) & 7;
  std::vector<char> block;
  if (mode & 2) {
    const char* prefix = reader == kNetscape ? kFormat : kFields;
    block.insert(block.end(), prefix, prefix + strlen(prefix));
  }
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
  g_project.subdomain = reader == kCommonSubdomain ? 1 : 0;
  CGroupMaskList masks;
  if (mode & 8) masks.AddList(".html;.gif;/a/*", 0, kGroupPages);
  CIndexNames index;
  ParseIndexNames("index.html", &index);
  CHitStore store;
  InitW3cReader();
  InitNetscapeReader();
  ReadAs(reader, g_logFormat, &store, buffer, buffer + length, masks, index, (mode & 1) == 0);
  FreeNetscapeReader();
  FreeW3cReader();
  g_logFormat = nullptr;
  free(buffer);
  return 0;
}
