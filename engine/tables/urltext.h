// Parts of URLs that filters and reports compare.
#pragma once
#include <cstddef>

// The site part of url: behind "http://", "https://" or "ftp://" (any case) the
// host up to the first '/', with the scheme kept in front when keepScheme is set;
// a url without one of these schemes is copied whole. The result always ends with
// '/' and fits in size bytes. No url gives "".
const char* CopyUrlWithoutScheme(char* out, const char* url, size_t size, int keepScheme);

// The top-level domain of url's host in lower case with its dot (".com"), or "-"
// for a numeric host, a host without a dot, a last label longer than 8 letters or
// an empty one. A port is cut.
const char* DomainOfUrl(char* out, const char* url, size_t size);
