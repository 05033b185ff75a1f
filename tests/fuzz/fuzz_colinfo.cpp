// Arbitrary bytes as the stored list column settings: reading must never
// crash or read past the value, what is kept must be kept again unchanged,
// and every kept entry must be found with its key.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/core/columnstate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetListColumnInfoText(std::string(reinterpret_cast<const char*>(data), size));
  const std::string kept = ListColumnInfo();
  if (CleanListColumnInfo(kept) != kept) abort();
  int value = 0;
  for (int kind : {0, 1, 2, 11, 43, 255})
    for (const char* prefix : {"Cz", "Or"}) GetListColumnInfo(prefix, kind, kind == 0 ? 0 : 5, &value);
  // Each kept entry reads back.
  for (size_t at = kept.find('\\'); at != std::string::npos;) {
    size_t next = kept.find('\\', at + 1);
    std::string entry = kept.substr(at, next == std::string::npos ? std::string::npos : next - at);
    int kind = -1, column = -1;
    char prefix[3] = {entry[1], entry[2], 0};
    if (sscanf(entry.c_str() + 3, "%d@%d#", &kind, &column) != 2) abort();
    if (!GetListColumnInfo(prefix, kind, column, &value)) abort();
    at = next;
  }
  SetListColumnInfo("Cz", 1, 5, 120);
  if (!GetListColumnInfo("Cz", 1, 5, &value) || value != 120) abort();
  ClearListColumnInfo();
  return 0;
}
