// A stand-in for the desktop's opener: an `xdg-open` script put first on PATH
// that answers by the target it is given, so the real launcher can be tried
// without opening anything.
#pragma once
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/testenv.h"

namespace tvtest {

class FakeOpener {
 public:
  // Targets naming how the opener answers.
  static constexpr const char* kOpens = "https://trailvane.test/opens";
  static constexpr const char* kMissing = "/nowhere/missing.eml";        // exit 2
  static constexpr const char* kNoHandler = "https://trailvane.test/nohandler";  // exit 3
  static constexpr const char* kSlowFail = "https://trailvane.test/slowfail";    // 0.6 s, exit 4
  static constexpr const char* kKilled = "https://trailvane.test/killed";
  static constexpr const char* kForeground = "https://trailvane.test/foreground";  // past the settle time, exit 3

  FakeOpener() : m_dir(NewDir("fake-opener")) {
    WriteFile(m_dir + "xdg-open",
              "#!/bin/sh\n"
              "printf '%s|%s\\n' \"$#\" \"$1\" >> '" + m_dir + "calls'\n"
              "case \"$1\" in\n"
              "  *opens) exit 0 ;;\n"
              "  *missing.eml) exit 2 ;;\n"
              "  *nohandler) exit 3 ;;\n"
              "  *slowfail) sleep 0.6; exit 4 ;;\n"
              "  *killed) kill -9 $$ ;;\n"
              "  *foreground) sleep 4.5; exit 3 ;;\n"
              "esac\n"
              "exit 1\n");
    chmod((m_dir + "xdg-open").c_str(), 0755);
    const char* path = getenv("PATH");
    m_oldPath = path ? path : "";
    setenv("PATH", (m_dir + ":" + m_oldPath).c_str(), 1);
  }
  ~FakeOpener() { setenv("PATH", m_oldPath.c_str(), 1); }
  FakeOpener(const FakeOpener&) = delete;
  FakeOpener& operator=(const FakeOpener&) = delete;

  // One "argument count|first argument" line per run, in order of start.
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(m_dir + "calls");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::string m_dir, m_oldPath;
};

// The processes this one started that still exist, running or unreaped.
inline int ChildProcesses() {
  int count = 0;
  DIR* proc = opendir("/proc");
  if (!proc) return -1;
  while (dirent* e = readdir(proc)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    char state = 0;
    long parent = 0;
    rest >> state >> parent;
    if (parent == static_cast<long>(getpid())) ++count;
  }
  closedir(proc);
  return count;
}

}  // namespace tvtest
