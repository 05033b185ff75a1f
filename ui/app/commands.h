// The program's commands that are not the main window's own: printing, copy,
// find, the dialogs of the View and Report menus, reload, the all-hits export,
// the database update, the Go commands on the selected row, host comments and
// the Help menu. Each handler checks what its update answer checks, so an
// accelerator or a synthetic event cannot run it where the menu would not.
#pragma once
#include <string>

class CMainFrame;

// Binds every handler below to the frame's menu events.
void BindApplicationCommands(CMainFrame* frame);

// Edit/Copy: the current report as text, as the text export writes it, on
// the clipboard (UTF-8 text). False when nothing was put there.
bool CopyReportToClipboard();
// The text Copy puts on the clipboard (empty without a report on show).
std::string CurrentReportText();

// The host comment of the selected host row: the prompt preset with the
// host's comment (or the host), OK with another text records it.
void EditHostComment(CMainFrame* frame);

// The subject of the bug report mail.
std::string BugReportSubject();
