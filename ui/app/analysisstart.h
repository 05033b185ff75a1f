// Starting an analysis from the windows: the options copied into the engine,
// the period asked for database sources, downloaded logs kept or fetched
// again, old results dropped, the pass, then the spider confirmation and the
// log file report. Runs on the worker thread; its dialogs open on the UI thread.
#pragma once
#include <cstdint>
#include <functional>

enum AnalysisOutcome : int {
  kAnalysisCancelled = 0,  // the Period dialog was not closed with OK
  kAnalysisNothingNew = 1,  // every source was current: the results stand
  kAnalysisDone = 2,
};

// Also installs itself as the panes' analysis hook (InstallAnalysisStart).
AnalysisOutcome RunAnalysis(int force);
void InstallAnalysisStart();

// "Reload it?" for downloaded logs already on disk (never when unattended).
void AskReloadDownloadedLogs();

// Set for the unattended download run: nobody answers dialogs then.
extern bool g_unattended;
// Gets the first and last hit dates after an analysis (the toolbar's pickers).
extern std::function<void(uint32_t firstDate, uint32_t lastDate)> g_setDateFilterPickers;
