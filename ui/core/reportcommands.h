// The report command table: the "Go" commands that lead from the report
// kind shown to the other kinds, from which the report context menu and the
// subreport frame build their items.
#pragma once
#include <cstdint>
#include <string>

#include "ui/core/commandnumbers.h"

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
    case 1: return {command::kGoPages, 'P'};
    case 2: return {command::kGoHosts, 'T'};
    case 3: return {command::kGoReferrerPages, 'R'};
    case 4: return {command::kGoKeywords, 'K'};
    case 5: return {command::kGoSearchEngines, 'E'};
    case 6: return {command::kGoReferringSites, 'G'};
    case 7: return {command::kGoCountries, 'C'};
    case 8: return {command::kGoOperatingSystems, 'O'};
    case 9: return {command::kGoBrowsers, 'B'};
    case 10: return {command::kGoByHours, 'U'};
    case 13: return {command::kGoDaysOfWeek, 'W'};
    case 19: return {command::kGoVisitors, 'V'};
    case 20: return {command::kGoCities, 'I'};
    case 21: return {command::kGoRegions, 'N'};
    case 22: return {command::kGoUsers, 0};
    case 24: return {command::kGoPaths, 'H'};
    case 26: return {command::kGoSpiders, 'S'};
    case 27: return {command::kGoByDays, 'D'};
    case 28: return {command::kGoSubdomains, 0};
    case 29: return {command::kChildPages, 0};
    case 30: return {command::kGoArguments, 'A'};
    case 32: return {command::kGoTypeReferrers, 'Y'};
    case 43: return {command::kGoItems, 'M'};
    default: return {command::kHelpIndex, 0};
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
