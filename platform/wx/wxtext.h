// Byte strings (log texts, workspace values, language texts, kept as read)
// to and from the wx strings the windows show.
#pragma once
#include <wx/string.h>

#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace tv {

// UTF-8 when the bytes are valid UTF-8, else Windows-1252 (every byte maps
// to a character, so nothing is dropped).
wxString BytesToWx(std::string_view bytes);
wxString BytesToWx(const char* text);  // null gives ""

// The text as UTF-8.
std::string WxToBytes(const wxString& text);

}  // namespace tv
