#include "engine/tables/urltext.h"

#include <strings.h>

#include <cctype>
#include <cstring>

namespace {

// Length of the scheme at the start of url ("http://", "https://", "ftp://"), or 0.
size_t SchemeLength(const char* url) {
  static const char* const kSchemes[] = {"http://", "https://", "ftp://"};
  for (const char* s : kSchemes) {
    size_t n = strlen(s);
    if (strncasecmp(url, s, n) == 0) return n;
  }
  return 0;
}

void CopyCut(char* out, size_t size, const char* text, size_t len) {
  if (len >= size) len = size - 1;
  memcpy(out, text, len);
  out[len] = 0;
}

}  // namespace

const char* CopyUrlWithoutScheme(char* out, const char* url, size_t size, int keepScheme) {
  if (size == 0) return out;
  out[0] = 0;
  if (!url || size < 2) return out;
  size_t scheme = SchemeLength(url);
  size_t len;
  if (scheme) {
    const char* host = url + scheme;
    len = strcspn(host, "/") + scheme;
    if (!keepScheme) {
      url = host;
      len -= scheme;
    }
  } else {
    len = strlen(url);
  }
  CopyCut(out, size - 1, url, len);  // room for the '/'
  len = strlen(out);
  if (len == 0 || out[len - 1] != '/') {
    out[len] = '/';
    out[len + 1] = 0;
  }
  return out;
}

const char* DomainOfUrl(char* out, const char* url, size_t size) {
  if (size == 0) return out;
  CopyCut(out, size, "-", 1);
  if (!url) return out;
  const char* host = url + SchemeLength(url);
  size_t hostLen = strcspn(host, "/:?");  // the port and anything after the host go
  const char* dot = nullptr;
  bool numeric = true;
  for (size_t i = 0; i < hostLen; ++i) {
    if (host[i] == '.') dot = host + i;
    else if (!isdigit(static_cast<unsigned char>(host[i]))) numeric = false;
  }
  if (!dot || numeric) return out;
  size_t tld = static_cast<size_t>(host + hostLen - dot);  // with its dot
  if (tld < 2 || tld > 9) return out;
  CopyCut(out, size, dot, tld);
  for (char* p = out; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
  return out;
}
