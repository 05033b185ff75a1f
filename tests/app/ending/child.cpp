#include "tests/app/ending/child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace ending {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::optional<std::string>>& env) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (!env.count(name)) out.push_back(entry);
  }
  for (const auto& [name, value] : env)
    if (value) out.push_back(name + "=" + *value);
  return out;
}

}  // namespace

bool Child::Start(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
                  const std::string& errPath, const std::string& outPath) {
  Kill();
  m_status.reset();
  if (argv.empty()) return false;
  // Everything the child needs is made before the fork: only async-signal-safe
  // calls between fork and exec.
  std::vector<std::string> envStrings = MergedEnvironment(env);
  std::vector<char*> envp, args;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings = argv;
  for (std::string& s : argStrings) args.push_back(s.data());
  args.push_back(nullptr);
  std::string program = argv[0];
  std::vector<std::string> candidates;
  if (program.find('/') != std::string::npos) {
    candidates.push_back(program);
  } else if (const char* path = std::getenv("PATH")) {
    std::string p = path;
    for (size_t at = 0; at <= p.size();) {
      size_t end = p.find(':', at);
      if (end == std::string::npos) end = p.size();
      candidates.push_back((end > at ? p.substr(at, end - at) : std::string(".")) + "/" + program);
      at = end + 1;
    }
  }
  const std::string err = errPath.empty() ? "/dev/null" : errPath;
  const std::string outFile = outPath.empty() ? "/dev/null" : outPath;
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    // The test may die without running its destructors: the child goes with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || errFd < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(errFd, 2);
    // Signals the test blocks or ignores stay out of the child's way.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGPIPE}) signal(sig, SIG_DFL);
    for (const std::string& c : candidates) execve(c.c_str(), args.data(), envp.data());
    _exit(127);
  }
  // Also here, so the group exists before the first kill whoever runs first.
  setpgid(pid, pid);
  m_pid = pid;
  return true;
}

bool Child::Running() {
  if (m_pid <= 0) return false;
  // Seen ended but not reaped yet: while it is a zombie its group id cannot
  // be taken by another process, so helpers it left there can still go.
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  if (info.si_pid != m_pid) return true;
  kill(-m_pid, SIGKILL);
  int status = 0;
  if (waitpid(m_pid, &status, 0) == m_pid) m_status = status;
  m_pid = -1;
  return false;
}

std::optional<int> Child::Wait(double seconds) {
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  while (Running()) {
    if (Clock::now() >= until) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return m_status;
}

bool Child::Signal(int sig) const { return m_pid > 0 && kill(m_pid, sig) == 0; }

void Child::Kill() {
  if (m_pid <= 0) return;
  kill(-m_pid, SIGKILL);
  kill(m_pid, SIGKILL);
  int status = 0;
  if (waitpid(m_pid, &status, 0) == m_pid && !m_status) m_status = status;
  m_pid = -1;
}

int RunTool(const std::vector<std::string>& argv, double seconds) {
  Child child;
  if (!child.Start(argv, {}, "")) return -1;
  std::optional<int> status = child.Wait(seconds);
  if (!status) return -1;
  return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string p = path;
  for (size_t at = 0; at <= p.size();) {
    size_t end = p.find(':', at);
    if (end == std::string::npos) end = p.size();
    std::string file = (end > at ? p.substr(at, end - at) : std::string(".")) + "/" + program;
    if (access(file.c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

std::string DescribeStatus(int status) {
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  return "status " + std::to_string(status);
}

}  // namespace ending
