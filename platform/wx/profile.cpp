#include "platform/wx/profile.h"

#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

#include "platform/files.h"
#include "platform/folders.h"

namespace tv {
namespace {

std::mutex g_mutex;

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

// The file's bytes, or none when it is missing or no regular file (a FIFO
// there would block every read).
std::string ReadProfileBytes(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = OpenRegularStream(path.c_str())) {
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The profile without the lines the parser would stop at with an assertion:
// an entry with an empty name ("=x"), and a group named a second time, which
// is left out with its entries. A hand-damaged line is simply not there.
std::string WithoutDamagedLines(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::set<std::string> groups;
  bool skipping = false;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    size_t next = end == std::string::npos ? bytes.size() : end + 1;
    std::string_view line(bytes.data() + at, next - at);
    at = next;
    size_t p = 0;
    while (p < line.size() && IsBlankByte(line[p])) ++p;
    char first = p < line.size() ? line[p] : '\n';
    bool keep = true;
    if (first == '[') {
      size_t close = line.find(']', p);
      std::string name(line.substr(p + 1, close == std::string_view::npos ? std::string_view::npos : close - p - 1));
      skipping = !groups.insert(name).second;
      keep = !skipping;
    } else if (skipping) {
      keep = false;
    } else if (first == '=') {
      keep = false;
    }
    if (keep) out.append(line);
  }
  return out;
}

// The file is read and written as Latin-1 and every value is carried as one
// character per byte, so any byte string survives the trip unchanged (UTF-8
// texts stay readable in the file).
std::unique_ptr<wxFileConfig> Open() {
  std::string bytes = WithoutDamagedLines(ReadProfileBytes(ProfilePath()));
  wxLogNull quiet;  // a line the parser cannot use is just not there
  wxMemoryInputStream in(bytes.data(), bytes.size());
  auto config = std::make_unique<wxFileConfig>(in, wxConvISO8859_1);
  // "$HOME" or "%TEMP%" inside a stored path is text, not a variable.
  config->SetExpandEnvVars(false);
  return config;
}

bool ReadRaw(const char* name, std::string* out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto config = Open();
  wxString value;
  if (!config->Read(wxString::FromAscii(name), &value)) return false;
  wxCharBuffer bytes = value.To8BitData();
  *out = std::string(bytes.data(), bytes.length());
  return true;
}

// The whole file is written beside the old one and renamed over it, private.
bool WriteRaw(const char* name, const std::string& bytes) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto config = Open();
  wxLogNull quiet;
  if (!config->Write(wxString::FromAscii(name), wxString::From8BitData(bytes.data(), bytes.size()))) return false;
  wxMemoryOutputStream out;
  if (!config->Save(out, wxConvISO8859_1)) return false;
  std::string path = ProfilePath();
  auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
  // What a write that was killed left beside the file.
  if (slash != std::string::npos) RemoveStaleSaveFiles(path.substr(0, slash + 1), path.substr(slash + 1));
  const wxStreamBuffer* buffer = out.GetOutputStreamBuffer();
  return WriteFileReplacing(path, buffer->GetBufferStart(), buffer->GetIntPosition(), 0600);
}

}  // namespace

std::string ProfilePath() {
  if (const char* home = Env("TRAILVANE_HOME")) {
    std::string dir = home;
    if (dir.back() != '/') dir += '/';
    return dir + "profile.ini";
  }
  std::string base;
  if (const char* x = Env("XDG_CONFIG_HOME")) base = x;
  else if (const char* h = Env("HOME")) base = std::string(h) + "/.config";
  else base = ".";
  return base + "/Brindlecot/Trailvane/profile.ini";
}

bool RegReadString(const char* name, std::string* value, size_t size) {
  std::string text;
  if (!ReadRaw(name, &text) || text.size() >= size) return false;
  *value = std::move(text);
  return true;
}

bool RegWriteString(const char* name, const std::string& text) { return WriteRaw(name, text); }

bool RegReadDword(const char* name, uint32_t* value) {
  std::string text;
  if (!ReadRaw(name, &text) || text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long n = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || end == text.c_str()) return false;
  if (n < INT32_MIN || n > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(n);
  return true;
}

bool RegWriteDword(const char* name, uint32_t value) { return WriteRaw(name, std::to_string(value)); }

}  // namespace tv
