// Programs the ending tests start: the program under test, xdotool, a window
// manager. Each child leads a process group of its own, which is killed
// whenever its owner goes, so nothing outlives the test.
#pragma once
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ending {

class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Kill(); }

  // argv[0] is looked up in PATH when it has no '/'. env: variables set (a
  // value) or removed (nullopt) on top of this process's environment.
  // stderr goes to errPath and stdout to outPath ("": /dev/null); stdin is
  // /dev/null.
  bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
             const std::string& errPath, const std::string& outPath = "");

  pid_t Pid() const { return m_pid; }
  bool Running();
  // Waits up to seconds for the child to end; its wait status, or nullopt
  // when it is still running.
  std::optional<int> Wait(double seconds);
  // Sends sig to the child alone (as a service manager or a session would).
  bool Signal(int sig) const;
  // SIGKILL to the whole group, then reaps the child.
  void Kill();
  std::optional<int> Status() const { return m_status; }

 private:
  pid_t m_pid = -1;
  std::optional<int> m_status;
};

// Runs a short helper (xdotool, import) to its end; its exit status, -1 when
// it did not start, died or took longer than seconds (it is killed then).
int RunTool(const std::vector<std::string>& argv, double seconds = 10);

bool OnPath(const std::string& program);

// "exit 1", "signal 11 (Segmentation fault)", ...
std::string DescribeStatus(int status);

}  // namespace ending
