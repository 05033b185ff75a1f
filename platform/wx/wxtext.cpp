#include "platform/wx/wxtext.h"

namespace tv {

wxString BytesToWx(std::string_view bytes) {
  std::string utf8 = ToUtf8(bytes);
  return wxString::FromUTF8Unchecked(utf8.data(), utf8.size());
}

wxString BytesToWx(const char* text) { return text ? BytesToWx(std::string_view(text)) : wxString(); }

std::string WxToBytes(const wxString& text) {
  wxScopedCharBuffer utf8 = text.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

}  // namespace tv
