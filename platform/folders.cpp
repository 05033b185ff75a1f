#include "platform/files.h"
#include "platform/folders.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {
namespace {

std::mutex g_mutex;
std::string g_program, g_data, g_temp;

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string ExeDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = 0;
  std::string p(buf);
  auto slash = p.rfind('/');
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

std::string ComputeProgramDir() {
  if (const char* home = Env("TRAILVANE_HOME")) return WithSlash(home);
  std::string exe = ExeDir();
  if (!exe.empty() && IsDirectory(exe + "../share/trailvane")) return exe + "../share/trailvane/";
  if (IsDirectory(TV_BUILD_DATA_DIR)) return WithSlash(TV_BUILD_DATA_DIR);
  return WithSlash(TV_INSTALL_DATA_DIR);
}

std::string ComputeDataDir() {
  if (const char* home = Env("TRAILVANE_HOME")) {
    MakeDirs(home);
    return WithSlash(home);
  }
  std::string base;
  if (const char* x = Env("XDG_DATA_HOME")) base = x;
  else if (const char* h = Env("HOME")) base = std::string(h) + "/.local/share";
  else base = ".";
  std::string dir = WithSlash(base) + "trailvane";
  MakeDirs(dir);
  return WithSlash(dir);
}

// A folder we own, not a link, not open to others.
bool UsablePrivateDir(const std::string& dir) {
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) {
    if (mkdir(dir.c_str(), 0700) != 0) return false;
    if (lstat(dir.c_str(), &st) != 0) return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
  if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) return false;
  return access(dir.c_str(), W_OK) == 0;
}

std::string ComputeTempDir() {
  const char* base = Env("TMPDIR");
  if (!base) base = Env("TEMP");
  if (!base) base = "/tmp";
  std::string dir = WithSlash(base) + "trailvane-" + std::to_string(geteuid());
  if (UsablePrivateDir(dir)) return WithSlash(dir);
  return "./";
}

}  // namespace

const std::string& ProgramDir() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_program.empty()) g_program = ComputeProgramDir();
  return g_program;
}

const std::string& DataDir() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_data.empty()) g_data = ComputeDataDir();
  return g_data;
}

const std::string& TempDir() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_temp.empty()) g_temp = ComputeTempDir();
  return g_temp;
}

std::string MakeTempFile(const char* prefix) {
  std::string templ = TempDir() + (prefix && *prefix ? prefix : "tv") + "XXXXXX";
  int fd = mkstemp(templ.data());
  if (fd < 0) return {};
  close(fd);
  return templ;
}

void ResetFolders() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_program.clear();
  g_data.clear();
  g_temp.clear();
}

}  // namespace tv
