#include "ui/panes/columnprofile.h"

#include <string>

#include "platform/wx/profile.h"
#include "ui/core/columnstate.h"

namespace {
// Far above what all report kinds' columns need; a larger value is damaged.
constexpr size_t kListColumnInfoBytes = 1 << 20;
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
