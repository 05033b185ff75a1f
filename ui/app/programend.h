// The program's end. Every way of ending (the window's close, File > Exit,
// SIGTERM, SIGHUP, the end of the desktop session) takes one path, on the UI
// thread, which never waits for the worker there: the stop flag is set, no
// new job starts, every open modal box gets its safe answer (Cancel, No, or
// OK for a notice) so that a worker waiting on one goes on, the running job
// ends through its own completion, and only then does the main window close.
// A box that opens meanwhile is answered before it shows.
#pragma once

#include <functional>

class wxDialog;

// Catches SIGTERM and SIGHUP, keeping them for the poll below; safe before wx
// has started, so that a signal during the start-up still ends the program
// through its close.
void CatchProgramEndSignals();
// Catches the signals, starts the UI-thread poll that acts on them, and binds
// the session's end. Once per process.
void InstallProgramEndHandlers();
// Puts the signals' default actions back and stops the poll.
void RemoveProgramEndHandlers();

// Starts the end described above. Quiet (a signal, the session's end): nobody
// is asked anything, the workspace's changes are dropped, never saved over
// its file. Otherwise (the user's close or Exit) the close may still ask to
// save once the job is over; the user's Cancel there keeps the program open.
// Nothing when there is no main window.
void RequestProgramEnd(bool quiet);
// An end is on its way.
bool ProgramEnding();

// Asked as a dialog is about to run while no end is on its way: wxID_NONE
// lets it run, any other id is its answer at once (the unattended runs).
void SetUnattendedAnswers(std::function<int(wxDialog*)> answer);
