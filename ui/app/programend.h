// The program asked to end from outside: SIGTERM, SIGHUP, or the end of the
// desktop session. Nobody is there to answer a question, so the main window
// closes through its normal close (window state saved, engine clean-up, the
// normal-shutdown line) without asking to save, and the workspace file is
// left as it is.
#pragma once

// Installs the signal handlers and the UI-thread poll that acts on them, and
// binds the session's end on the application. Once per process.
void InstallProgramEndHandlers();
// Puts the signals' default actions back and stops the poll.
void RemoveProgramEndHandlers();
// On the UI thread: the close described above (what a signal leads to).
// Nothing when there is no main window.
void CloseProgramWithoutQuestions();
// A signal arrived and its close has not been done yet.
bool ProgramEndPending();
