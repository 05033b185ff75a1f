// Decoding of URL-encoded texts (search phrases, page names) into the
// single-byte text the reports show.
#pragma once
#include <cstddef>

// Decodes the %XX escapes of input into output (outputSize bytes, always
// terminated when outputSize > 0). A run of decoded bytes is copied as it is
// with raw, otherwise each UTF-8 sequence in it becomes one byte (see
// Utf8ToCp1251Char). A '%' without a hexadecimal digit behind it gives '?'.
// Returns output.
char* DecodeUrlText(const char* input, char* output, size_t outputSize, bool raw);

// Folds the UTF-8 sequence at sequence (of which available bytes may be read)
// into one byte: ASCII as it is; Cyrillic as Windows-1251; U+0080..U+00FF as
// the byte of that value; the further Central European letters as ISO 8859-2;
// a few Windows-1252 and Turkish letters; anything else '?'. Returns the bytes
// used (1 to 4, never more than available; 0 when available is 0).
int Utf8ToCp1251Char(const unsigned char* sequence, size_t available, unsigned char* output);
