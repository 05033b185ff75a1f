// The engine's process-wide environment, set up once at start-up (right after
// the message sink is installed) and released when the main frame goes.
#pragma once
#include <string>

#include "platform/clock.h"

// Stores the program folder, installs the diagnostics trace, loads the
// auxiliary databases, probes the temporary folder, finds the language files,
// sets up the DNS cache and loads the download cache's index. Returns 1.
int InitEnvironment(const char* programFolder);
// Saves and frees the DNS cache, deletes the temporary files left for the
// shell, frees the databases and the project, and marks the clean shutdown.
void CleanupEnvironment();

// As passed to InitEnvironment.
const std::string& ProgramFolder();
// Ends with '/'; empty when no safe temporary folder can be written (the
// start-up said why, and no temporary file is made).
const std::string& TempFolder();
// The local date at start-up.
const tv::CivilDate& EnvironmentToday();
