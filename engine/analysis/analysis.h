// The analysis pass: loads the project's log sources, numbers the visitors,
// detects spiders from their requests for "/robots.txt", resolves host names
// and keeps the list of the files read for the log-file report.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/project.h"

// Workspace options of the pass the project does not hold; copied in with the
// others before each pass.
struct CAnalysisOptions {
  int16_t auto_robot = 0;          // detect spiders
  int16_t confirmation_robot = 1;  // new spiders wait for the user's answer
  int16_t save_a_robot = 1;        // keep detected spiders in the spider tables
};
extern CAnalysisOptions g_analysisOptions;

// The files read by the last pass.
class CLogFileReportList {
 public:
  struct Entry {
    std::string name;
    uint64_t size = 0;
    uint32_t lines = 0;
  };
  // 1, or 0 when memory ran out (reported; the list is then emptied).
  int Add(const char* name, uint64_t size, uint32_t lines);
  void Free();
  // Some file gave no line.
  bool HasEmptyFile() const;
  int32_t Count() const { return static_cast<int32_t>(entries.size()); }

  std::vector<Entry> entries;
};
extern CLogFileReportList g_logFileReport;

// Hooks the user interface fills; the engine opens no window. With no
// confirmation hook new spiders stay unapplied until ApplyDetectedSpiders is
// called; the hook answers whether to apply them now (after the DNS pass).
// The report hook is called when some file read gave no line.
using SpiderConfirmFn = bool (*)(int32_t firstNewRow, int32_t newRows);
using LogFileReportFn = void (*)(const CLogFileReportList& list);
void SetSpiderConfirmHook(SpiderConfirmFn fn);
void SetLogFileReportHook(LogFileReportFn fn);

// The whole pass. The arguments after the project go to LoadLogSources as they
// are. Returns the loader's result: 0 when nothing was loaded (nothing else
// runs then), else 1.
int AnalyseLogs(CProject& project, uint32_t fromDate, uint32_t toDate, OdbcLoaderFn odbcLoader,
                const char* indexText);

// Marks the loaded records stale and drops them.
void InvalidateLogData(CProject& project);

// Gives every hit of the sources, in list and store order, its visitor number,
// counting on from start (the pass starts at 0). Numbers stop at the largest
// the record holds; later visitors share it.
void NumberVisitors(CLogSourceList& sources, uint32_t start = 0);
constexpr uint32_t kMaxVisitorId = 0xFFFFFF;

// Adds one auto-robot row per new (host, agent) pair that asked for
// "/robots.txt" and applies them unless they need confirmation.
void DetectSpiders(CProject& project);
// Flags the hits of the rows the last detection added as spider hits.
void ApplyDetectedSpiders();
void ApplyDetectedSpiders(CProject& project);
