// What the main window decides without a display: the dates its pickers show
// after an analysis, and the update answers of the commands it serves.
#pragma once
#include <cstdint>
#include <vector>

// The years a date picker shows as they are; a year outside is moved to the
// nearer end. The upper end is as far as a four-digit year goes.
constexpr int kPickerFirstYear = 1980;
constexpr int kPickerLastYear = 9999;

// The packed date (day, month, year) a picker shows for an analysed bound:
// the year moved into the range above, the day kept within its month. 0 for
// no date or a day or month that does not exist.
uint32_t PickerDate(uint32_t packed);

// What the frame knows of its own windows that the answers need.
struct FrameUiContext {
  bool subreportShown = false;
  bool reportListCurrent = false;  // a report list (not the subreport frame's) is current
};

struct CommandUiAnswer {
  bool enabled = true;
  int checked = -1;  // -1: no check mark to set; else 0 or 1
};

// The answer for a command, known by its historical number (32773 Previous,
// 57634 Copy, ...); false for a command the frame does not answer.
bool FrameCommandUi(int command, const FrameUiContext& context, CommandUiAnswer* answer);
// Every command FrameCommandUi answers.
const std::vector<int>& FrameUiCommands();
