// The report command table: the "Go" commands that lead from the report
// kind shown to the other kinds, from which the report context menu and the
// subreport frame build their items.
#pragma once
#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct ReportCommand {
  uint32_t commandId;
  uint8_t kind;
  uint8_t marked;  // 1: among the kinds most related to the one shown
  char key;        // the letter of the command's Alt accelerator, or 0
};
#pragma pack(pop)
static_assert(sizeof(ReportCommand) == 7, "stored packed");

constexpr int kMaxReportCommands = 23;

// The Go command of a kind and its accelerator letter (0 for none); kinds
// without a command get the help command's id, which the table never asks for.
struct ReportCommandInfo {
  uint32_t commandId;
  char key;
};
constexpr ReportCommandInfo ReportCommandOf(int kind) {
  switch (kind) {
    case 1: return {32788, 'P'};
    case 2: return {32784, 'T'};
    case 3: return {32789, 'R'};
    case 4: return {32791, 'K'};
    case 5: return {32790, 'E'};
    case 6: return {32793, 'G'};
    case 7: return {32794, 'C'};
    case 8: return {32797, 'O'};
    case 9: return {32798, 'B'};
    case 10: return {32799, 'U'};
    case 13: return {32804, 'W'};
    case 19: return {32810, 'V'};
    case 20: return {32814, 'I'};
    case 21: return {32815, 'N'};
    case 22: return {32849, 0};
    case 24: return {32820, 'H'};
    case 26: return {32822, 'S'};
    case 27: return {32783, 'D'};
    case 28: return {32837, 0};
    case 29: return {32809, 0};
    case 30: return {32787, 'A'};
    case 32: return {32848, 'Y'};
    case 43: return {32795, 'M'};
    default: return {32777, 0};
  }
}

// Appends the entry of kind (unmarked); nothing when the table is full.
void AddReportCommand(int* count, ReportCommand* table, int kind);
// Marks the first entry of kind and moves it behind all others.
void MarkReportCommand(int count, ReportCommand* table, int kind);
// Fills table (room for kMaxReportCommands) for the kind shown and returns
// the number of entries. Without allCommands only kinds with a chart remain.
int BuildReportCommandTable(int kind, ReportCommand* table, bool allCommands, bool cityData);

// The menu text of an entry: the kind's plural name, "/" turned into ",",
// with "&" before the accelerator letter and "\tAlt+<letter>" after it.
std::string ReportCommandText(const ReportCommand& entry);

// Which filters of the environment filters dialog apply to a report kind.
struct FilterFlags {
  bool spiders;
  bool responses;
  bool groups;
};
FilterFlags GetFilterFlagsForType(int kind);
