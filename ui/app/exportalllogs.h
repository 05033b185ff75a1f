// "Export All Logs To CSV": the workspace analysed again when needed, then
// every hit of every log written on the worker thread, under the progress
// dialog, so the window stays responsive and Stop ends it.
#pragma once
#include <string>

// Starts the job (nothing when one runs). The file appears only once it is
// complete; a stopped export leaves none.
void ExportAllLogsToCsv(const std::string& path);
// What the last export gave: 1 written, 2 stopped, 0 failed, -1 none yet.
int LastExportAllResult();
