#include "base/msgsink.h"

#include "base/textutil.h"
#include "platform/files.h"
#include "platform/folders.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

const char* const kProductName = "Trailvane";
const char* const kProductVersion = "3.02 (build 0299)";
const char* const kSupportAddress = "support@trailvane.invalid";

std::atomic<bool> g_stopFlag{false};

namespace {

std::atomic<EngineTextFn> g_message{nullptr};
std::atomic<EngineTextFn> g_error{nullptr};
std::atomic<EngineTextFn> g_reserved3{nullptr};
std::atomic<EngineTextFn> g_status{nullptr};
std::atomic<EngineTextFn> g_reserved5{nullptr};
std::atomic<EngineProgressFn> g_progress{nullptr};
std::atomic<EngineTextFn> g_trace{nullptr};

std::mutex g_bugLogMutex;

void Send(const std::atomic<EngineTextFn>& slot, const char* text) {
  if (EngineTextFn fn = slot.load()) fn(text);
  if (EngineTextFn tr = g_trace.load()) tr(text);
}

void SendV(const std::atomic<EngineTextFn>& slot, const char* format, va_list ap) {
  char buf[4096];
  vsnprintf(buf, sizeof buf, format, ap);
  Send(slot, buf);
}

}  // namespace

int SetEngineCallbacks(EngineTextFn message, EngineTextFn error, EngineTextFn reserved3,
                       EngineTextFn status, EngineTextFn reserved5, EngineProgressFn progress) {
  g_message = message;
  g_error = error;
  g_reserved3 = reserved3;
  g_status = status;
  g_reserved5 = reserved5;
  g_progress = progress;
  return 1;
}

int SetEngineTrace(EngineTextFn trace) {
  g_trace = trace;
  return 1;
}

void ClearEngineCallbacks() { SetEngineCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }

void EngineMessage(const char* text) { Send(g_message, text); }
void EngineError(const char* text) { Send(g_error, text); }
void EngineInfo(const char* text) { Send(g_status, text); }

void EngineProgress(uint32_t value, uint32_t mode) {
  if (EngineProgressFn fn = g_progress.load()) fn(value, mode);
}

void EngineErrorF(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  SendV(g_error, format, ap);
  va_end(ap);
}

void EngineInfoF(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  SendV(g_status, format, ap);
  va_end(ap);
}

void EngineMessageF(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  SendV(g_message, format, ap);
  va_end(ap);
}

void EngineRuntimeError(int code) {
  char buf[60];
  snprintf(buf, sizeof buf, "Runtime error #%i", code);
  EngineError(buf);
  if (EngineTextFn tr = g_trace.load()) tr(buf);
}

void EngineOutOfMemory(int code) {
  char buf[60];
  snprintf(buf, sizeof buf, "Not enough memory [%i]", code);
  EngineError(buf);
}

std::string BugLogPath() { return tv::DataDir() + "logBug.txt"; }

namespace {
std::atomic<bool> g_bugLogEnabled{true};
}

void SetBugLogEnabled(bool enabled) { g_bugLogEnabled = enabled; }

int WriteBugLog(const char* text) {
  if (!text || !*text || !g_bugLogEnabled) return 1;
  std::lock_guard<std::mutex> lock(g_bugLogMutex);
  FILE* f = tv::OpenRegularForWriting(BugLogPath().c_str(), true);
  if (!f) return 1;
  size_t len = strlen(text);
  fwrite(text, 1, len, f);
  if (text[len - 1] != '\n') fputc('\n', f);
  fclose(f);
  return 1;
}

void LogNormalShutdown() { WriteBugLog("#SYS normal shutdown.#"); }

void LogQueryType(int kind) {
  char buf[32];
  snprintf(buf, sizeof buf, "## Type=%i", kind);
  WriteBugLog(buf);
}

std::string CheckCrashLog(const char* banner) {
  std::string path = BugLogPath();
  std::string mail;
  char* text = nullptr;
  size_t length = 0;
  if (ReadWholeFile(path.c_str(), &text, &length, 0)) {
    if (!memmem(text, length, "#SYS normal shutdown.#", 22)) {
      char subject[400];
      snprintf(subject, sizeof subject, "[%s] Crash Report!", banner ? banner : "");
      mail = WriteSupportMail(path.c_str(), "", subject);
    }
    free(text);
  }
  std::lock_guard<std::mutex> lock(g_bugLogMutex);
  if (!g_bugLogEnabled) return mail;
  if (FILE* f = tv::OpenRegularForWriting(path.c_str(), false)) {
    fprintf(f, "%s\n", banner ? banner : "");
    fclose(f);
  }
  return mail;
}

std::string WriteSupportMail(const char* filePath, const char* label, const char* subject) {
  char* text = nullptr;
  size_t length = 0;
  if (tv::TempDir().empty() || !ReadWholeFile(filePath, &text, &length, 0)) return {};
  std::string out = tv::TempDir() + "temp.eml";
  FILE* f = fopen(out.c_str(), "wb");
  if (!f) {
    free(text);
    return {};
  }
  // Mail files use CRLF line ends.
  std::string body;
  body += "To: <";
  body += kSupportAddress;
  body += ">\nSubject: ";
  body += subject ? subject : "";
  body +=
      "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=iso-8859-1\n"
      "Content-Transfer-Encoding: 7bit\nX-Priority: 3\nX-MSMail-Priority: Normal\nX-Unsent: 1\n\n"
      "Description of the bug:\n\n===============================================\n";
  if (label && *label) {
    body += "\n[";
    body += label;
    body += "]";
  }
  body += "\n";
  body.append(text, length);
  free(text);
  std::string crlf;
  crlf.reserve(body.size() + body.size() / 16);
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\n' && (i == 0 || body[i - 1] != '\r')) crlf += '\r';
    crlf += body[i];
  }
  bool ok = fwrite(crlf.data(), 1, crlf.size(), f) == crlf.size();
  ok = (fclose(f) == 0) && ok;
  if (!ok) {
    tv::RemoveFile(out);
    return {};
  }
  return out;
}
