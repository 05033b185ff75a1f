#include "platform/files.h"
#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <ctime>
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

const char kRunLock[] = "run.lock";
int g_runLock = -1;  // held shared while this process may have files in the temporary folder
std::string g_tempProblem;
std::set<std::string> g_madeHere;  // names MakeTempFile gave in this process

std::string ComputeTempDir() {
  const char* base = Env("TMPDIR");
  if (!base) base = Env("TEMP");
  if (!base) base = "/tmp";
  std::string dir = WithSlash(base) + "trailvane-" + std::to_string(geteuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    g_tempProblem = "'" + dir + "' cannot be created (" + strerror(errno) + ")";
    return {};
  }
  g_tempProblem = PrivateDirProblem(dir, geteuid());
  if (!g_tempProblem.empty()) return {};
  dir = WithSlash(dir);
  g_runLock = open((dir + kRunLock).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (g_runLock >= 0) flock(g_runLock, LOCK_SH);
  return dir;
}

// A file name MakeTempFile could have given with the prefix.
bool TempName(const std::string& name, const char* prefix) {
  size_t n = strlen(prefix);
  if (n == 0 || name.size() != n + 6 || name.compare(0, n, prefix) != 0) return false;
  for (size_t i = n; i < name.size(); ++i) {
    char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
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
  if (g_temp.empty() && g_tempProblem.empty()) g_temp = ComputeTempDir();
  return g_temp;
}

const std::string& TempDirProblem() {
  TempDir();
  return g_tempProblem;
}

std::string PrivateDirProblem(const std::string& dir, unsigned owner) {
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return "'" + dir + "' cannot be read (" + strerror(errno) + ")";
  if (S_ISLNK(st.st_mode)) return "'" + dir + "' is a symbolic link";
  if (!S_ISDIR(st.st_mode)) return "'" + dir + "' is not a folder";
  if (st.st_uid != owner) return "'" + dir + "' belongs to another user";
  // Someone who can list or enter it could read or replace what we put there.
  if ((st.st_mode & 077) != 0) return "'" + dir + "' is open to other users";
  if (access(dir.c_str(), W_OK | X_OK) != 0) return "'" + dir + "' cannot be written";
  return {};
}

std::string MakeTempFile(const char* prefix) {
  const std::string& dir = TempDir();
  if (dir.empty()) return {};
  std::string name = std::string(prefix && *prefix ? prefix : "tv") + "XXXXXX";
  std::string templ = dir + name;
  int fd = mkstemp(templ.data());
  if (fd < 0) return {};
  close(fd);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_madeHere.insert(templ.substr(dir.size()));
  return templ;
}

int RemoveStaleTempFiles(std::initializer_list<const char*> prefixes) {
  const std::string dir = TempDir();
  std::lock_guard<std::mutex> lock(g_mutex);
  // Alone only when no other run holds the folder; the shared hold is taken
  // again whatever the answer (a refused conversion may have dropped it).
  if (dir.empty() || g_runLock < 0) return 0;
  bool alone = flock(g_runLock, LOCK_EX | LOCK_NB) == 0;
  int removed = 0;
  if (alone) {
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        bool ours = false;
        for (const char* p : prefixes) ours = ours || (p && TempName(name, p));
        if (!ours || g_madeHere.count(name)) continue;
        struct stat st;
        std::string path = dir + name;
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) continue;
        if (unlink(path.c_str()) == 0) ++removed;
      }
      closedir(d);
    }
  }
  flock(g_runLock, LOCK_SH);
  return removed;
}

int RemoveStaleSaveFiles(const std::string& dir, const std::string& name) {
  if (dir.empty()) return 0;
  TempDir();  // the run lock lives there
  std::lock_guard<std::mutex> lock(g_mutex);
  bool alone = g_runLock >= 0 && flock(g_runLock, LOCK_EX | LOCK_NB) == 0;
  if (g_runLock >= 0) flock(g_runLock, LOCK_SH);
  // While another run may be saving, only what no save could still be writing.
  const time_t oldEnough = time(nullptr) - 3600;
  int removed = 0;
  std::string folder = WithSlash(dir);
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string entry = e->d_name;
      size_t tmp = entry.size() >= 10 ? entry.size() - 10 : std::string::npos;
      if (tmp == std::string::npos || tmp == 0 || entry.compare(tmp, 4, ".tmp") != 0) continue;
      if (!name.empty() && entry.compare(0, tmp, name) != 0) continue;
      if (!TempName(entry.substr(tmp + 1), "tmp")) continue;
      struct stat st;
      std::string path = folder + entry;
      if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) continue;
      if (!alone && st.st_mtime > oldEnough) continue;
      if (unlink(path.c_str()) == 0) ++removed;
    }
    closedir(d);
  }
  return removed;
}

void ResetFolders() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_program.clear();
  g_data.clear();
  g_temp.clear();
  g_tempProblem.clear();
  g_madeHere.clear();
  if (g_runLock >= 0) close(g_runLock);
  g_runLock = -1;
}

}  // namespace tv
