// Edit/Find In Report and Find Again on the report list on show
// (CurrentReportList); the search rule is in ui/core/findreport.h.
#pragma once

// Whether the commands may run: a report kind that can be searched, a list
// and no result pending; with textTest also a search text.
bool CanFindInReport(bool textTest);

// One search step from the row after the find position; reports through the
// status text ("Search start", "Found!", "Not found" with a beep).
void FindInReport();

// Find In Report: a beep when it cannot run, else the "Search" dialog with the
// last text and case switch; OK stores both and searches.
void OnFindInReport();
// Find Again: a beep without a search text, else the next step.
void OnFindAgain();
