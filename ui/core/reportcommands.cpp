#include "ui/core/reportcommands.h"

#include <cctype>
#include <initializer_list>

#include "engine/display/display.h"
#include "output/chart.h"

void AddReportCommand(int* count, ReportCommand* table, int kind) {
  if (*count < 0 || *count >= kMaxReportCommands) return;
  ReportCommandInfo info = ReportCommandOf(kind);
  table[*count] = ReportCommand{info.commandId, static_cast<uint8_t>(kind), 0, info.key};
  ++*count;
}

void MarkReportCommand(int count, ReportCommand* table, int kind) {
  for (int i = 0; i < count; ++i) {
    if (table[i].kind != kind) continue;
    ReportCommand entry = table[i];
    entry.marked = 1;
    for (int j = i; j + 1 < count; ++j) table[j] = table[j + 1];
    table[count - 1] = entry;
    return;
  }
}

namespace {

bool In(int k, std::initializer_list<int> kinds) {
  for (int v : kinds)
    if (v == k) return true;
  return false;
}

}  // namespace

int BuildReportCommandTable(int k, ReportCommand* table, bool allCommands, bool cityData) {
  int n = 0;
  auto add = [&](int kind) { AddReportCommand(&n, table, kind); };
  if (k != 43) add(43);
  if (!In(k, {1, 11, 12})) add(1);
  if (k != 2 && k != 19) {
    add(2);
    add(19);
  }
  if (k != 24) add(24);
  if (!In(k, {7, 20, 21})) add(7);
  if (k != 20 && cityData) add(20);
  if (k != 20 && k != 21 && cityData) add(21);
  for (int kind : {3, 6, 4, 5, 32, 22, 8, 9})
    if (k != kind) add(kind);
  if (!In(k, {26, 4, 5, 8, 9})) add(26);
  for (int kind : {27, 10, 13, 30})
    if (k != kind) add(kind);
  if (In(k, {1, 11, 12})) add(29);
  if (k != 28) add(28);

  auto mark = [&](std::initializer_list<int> kinds) {
    for (int kind : kinds) MarkReportCommand(n, table, kind);
  };
  if (In(k, {1, 11, 12, 14, 15, 16, 23, 24, 28, 29, 30})) mark({8, 9});
  else if (k == 2 || k == 19) mark({7, 20, 21, 3, 25, 8, 9});
  else if (In(k, {3, 4, 5, 22, 26})) mark({3, 25, 8, 9, 6});
  else if (k == 6) mark({25, 8, 9, 6});
  else if (In(k, {7, 8, 9, 10, 13, 17, 18, 27})) mark({3});
  else if (k == 20) mark({21, 7, 3});
  else if (k == 21) mark({7, 3});
  mark({28, 29});

  if (allCommands) return n;
  int kept = 0;
  for (int i = 0; i < n; ++i)
    if (ChartPictureName(table[i].kind, nullptr)) table[kept++] = table[i];
  return kept;
}

std::string ReportCommandText(const ReportCommand& entry) {
  std::string name = ColumnTerm(entry.kind);
  for (char& c : name)
    if (c == '/') c = ',';
  if (!entry.key) return name;
  int key = std::toupper(static_cast<unsigned char>(entry.key));
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) == key) {
      name.insert(i, 1, '&');
      break;
    }
  }
  return name + "\tAlt+" + static_cast<char>(key);
}

FilterFlags GetFilterFlagsForType(int k) {
  if (k == 0) return {false, false, false};
  return {!In(k, {25, 26, 40}), !In(k, {23, 36, 38, 40}), k != 14 && k != 40};
}
