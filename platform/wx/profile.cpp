#include "platform/wx/profile.h"

#include <wx/fileconf.h>
#include <wx/log.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/files.h"

namespace tv {
namespace {

std::mutex g_mutex;

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

// The file is read and written as Latin-1 and every value is carried as one
// character per byte, so any byte string survives the trip unchanged (UTF-8
// texts stay readable in the file).
std::unique_ptr<wxFileConfig> Open() {
  std::string path = ProfilePath();
  auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
  wxLogNull quiet;  // a missing or unreadable file is just empty
  auto config = std::make_unique<wxFileConfig>("Trailvane", "Brindlecot", wxString::From8BitData(path.c_str()),
                                               wxString(), wxCONFIG_USE_LOCAL_FILE, wxConvISO8859_1);
  // "$HOME" or "%TEMP%" inside a stored path is text, not a variable.
  config->SetExpandEnvVars(false);
  config->SetUmask(077);
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

bool WriteRaw(const char* name, const std::string& bytes) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto config = Open();
  wxLogNull quiet;
  if (!config->Write(wxString::FromAscii(name), wxString::From8BitData(bytes.data(), bytes.size()))) return false;
  return config->Flush();
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
