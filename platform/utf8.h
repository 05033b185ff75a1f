// The one byte-text to UTF-8 conversion: log, workspace and language texts are
// kept as read, which is UTF-8 or, from older sites and the shipped language
// files, Windows-1252.
#pragma once
#include <string>
#include <string_view>

namespace tv {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Appends the text as UTF-8: kept when it is valid UTF-8, else read as
// Windows-1252 (every byte maps to a character, so nothing is dropped; the
// five unassigned bytes keep their C1 code points).
void AppendUtf8(std::string& out, std::string_view bytes);
std::string ToUtf8(std::string_view bytes);

}  // namespace tv
