#include "ui/core/entryservices.h"

#include "engine/display/vocab.h"
#include "engine/tables/auxdb.h"

std::string GetLanguageEntryText(bool isCountry, int n) {
  const char* text = isCountry ? GetCountryName(n) : GetTerm(n, 2);
  return text ? text : "";
}

bool SetLanguageEntryText(bool isCountry, int n, const char* text) {
  if (isCountry) return g_language.SetCountryName(n, text);
  return SetTerm(n, text) != 0;
}

int HourOffsetToIndex(int offset) {
  if (offset < kFirstHourOffset || offset > kLastHourOffset) offset = 0;
  return offset - kFirstHourOffset;
}

// A stored offset may come from an older list or a hand-edited file: a
// position past the list must not turn into an offset the list cannot show.
int IndexToHourOffset(int index) {
  if (index < 0 || index >= kHourOffsetCount) return 0;
  return index + kFirstHourOffset;
}
