// Byte strings (log texts, workspace values, language texts, kept as read)
// to and from the wx strings the windows show.
#pragma once
#include <wx/string.h>

#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace tv {

// Valid UTF-8 sequences as they are, every other byte as Windows-1252 (every
// byte maps to a character, so nothing is dropped).
wxString BytesToWx(std::string_view bytes);
wxString BytesToWx(const char* text);  // null gives ""

// The text as UTF-8.
std::string WxToBytes(const wxString& text);

}  // namespace tv
