// Arbitrary bytes as a section file (the workspace schema covers every key
// type): loading must never crash or read past the text, and whatever loads
// must save to a text that loads back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/config/settings.h"
#include "engine/config/workspace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  if (g_workspace.LoadText("fuzz.tv", text, size)) {
    std::string saved = g_workspace.FormatText();
    if (!g_workspace.LoadText("fuzz.tv", saved.data(), saved.size())) abort();
    if (g_workspace.FormatText() != saved) abort();
  }
  // The keyword form (settings file, older workspaces) over the same bytes.
  KeywordTokenizer tk(text, size);
  for (size_t n = 0; tk.Next().kind != KeywordTokenizer::End; ++n)
    if (n > size) abort();
  return 0;
}
