#include "ui/listcolumns.h"

#include <string>

#include "platform/wx/profile.h"
#include "ui/core/colinfo.h"

namespace {
constexpr size_t kListColumnInfoBytes = 600;
}

void LoadListColumnInfo() {
  std::string text;
  if (tv::RegReadString("ListColumnInfo", &text, kListColumnInfoBytes)) SetListColumnInfoText(text);
  else ClearListColumnInfo();
}

void SaveListColumnInfo() {
  if (ListColumnInfo().empty()) return;
  tv::RegWriteString("ListColumnInfo", ListColumnInfo());
  ClearListColumnInfo();
}
