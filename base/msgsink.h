// The engine's message sink: every error, status line and progress step of the
// engine goes through here, and everything but progress also reaches the trace
// ("logBug.txt").
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

using EngineTextFn = void (*)(const char* text);
using EngineProgressFn = void (*)(uint32_t value, uint32_t mode);

int SetEngineCallbacks(EngineTextFn message, EngineTextFn error, EngineTextFn reserved3,
                       EngineTextFn status, EngineTextFn reserved5, EngineProgressFn progress);
int SetEngineTrace(EngineTextFn trace);
void ClearEngineCallbacks();  // the trace slot stays

void EngineMessage(const char* text);
void EngineError(const char* text);
void EngineInfo(const char* text);
// mode 1: a new range 0..value; mode 0: position value inside it. Never traced.
void EngineProgress(uint32_t value, uint32_t mode);

// printf-style conveniences; the text is cut at 4 KB.
void EngineErrorF(const char* format, ...) __attribute__((format(printf, 1, 2)));
void EngineInfoF(const char* format, ...) __attribute__((format(printf, 1, 2)));
void EngineMessageF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "Runtime error #%i": sent as an error and traced a second time.
void EngineRuntimeError(int code);
// "Not enough memory [%i]". Does not set the stop flag: callers that must wind
// the analysis down call RequestStop() themselves.
void EngineOutOfMemory(int code);

// The diagnostics log in the data folder. Safe from any thread; opens and closes
// the file for every line so it is complete whenever the process dies.
int WriteBugLog(const char* text);
void LogNormalShutdown();
// Off: nothing reaches the log file (a second instance of the program must
// leave the running one's log alone). On by default.
void SetBugLogEnabled(bool enabled);
void LogQueryType(int kind);
std::string BugLogPath();

// At start-up: returns the path of a prepared crash-report mail when the last run
// did not end cleanly (else ""), then starts a new log with the banner line.
std::string CheckCrashLog(const char* banner);

// Writes an unsent plain-text mail to support with the file's text as its body;
// returns the message file's path, or "" when the file cannot be read or written.
std::string WriteSupportMail(const char* filePath, const char* label, const char* subject);

extern const char* const kProductName;     // "Trailvane"
extern const char* const kProductVersion;  // "3.02 (build 0299)"
extern const char* const kSupportAddress;

// The process-wide stop flag that every long engine loop polls.
extern std::atomic<bool> g_stopFlag;
inline bool StopRequested() { return g_stopFlag.load(std::memory_order_relaxed); }
inline void RequestStop() { g_stopFlag.store(true, std::memory_order_relaxed); }
inline void ClearStop() { g_stopFlag.store(false, std::memory_order_relaxed); }
