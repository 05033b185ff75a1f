// The one byte-text to UTF-8 conversion: log, workspace and language texts are
// kept as read, which is UTF-8 or, from older sites and the shipped language
// files, Windows-1252.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tv {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// The length of the valid UTF-8 sequence at `at` (1 for ASCII), 0 when the
// byte there starts none.
size_t Utf8SequenceLength(std::string_view bytes, size_t at);

// Appends the text as UTF-8: valid UTF-8 sequences are kept, and only the
// bytes that belong to none are read as Windows-1252 (every byte maps to a
// character, so nothing is dropped; the five unassigned bytes keep their C1
// code points).
void AppendUtf8(std::string& out, std::string_view bytes);
std::string ToUtf8(std::string_view bytes);

}  // namespace tv
