// Runs one of the server scripts of this folder on 127.0.0.1 at a port the
// system picks, for the length of a test suite.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tvtest {

class TestServer {
 public:
  TestServer() = default;
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  ~TestServer() { Stop(); }

  // Starts the script with the arguments and waits for its "PORT <n>" line.
  bool Start(const std::string& script, const std::vector<std::string>& args, std::string* error) {
    Stop();
    // A compiler cache with a base folder makes __FILE__ relative to the
    // build folder, which is not where the tests run: the build names the folder.
#ifdef TV_TEST_SERVERS_DIR
    std::string path = (std::filesystem::path(TV_TEST_SERVERS_DIR) / script).string();
#else
    std::string path = (std::filesystem::path(__FILE__).parent_path() / script).string();
#endif
    // The system's interpreter, which is where the Debian packages put their modules.
    std::string python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return Fail(error, "pipe failed");
    pid_t pid = fork();
    if (pid < 0) return Fail(error, "fork failed");
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      dup2(out[1], 1);
      std::vector<char*> argv{python.data(), path.data()};
      std::vector<std::string> copies(args);
      for (std::string& a : copies) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    m_pid = pid;
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[128];
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<size_t>(n));
    }
    close(out[0]);
    if (line.compare(0, 5, "PORT ") != 0) {
      Stop();
      return Fail(error, "no port from " + script + " (is python3-pyftpdlib installed?)");
    }
    m_port = std::atoi(line.c_str() + 5);
    return m_port > 0 || Fail(error, "bad port line from " + script);
  }

  void Stop() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
      if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  int Port() const { return m_port; }

 private:
  bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
  }
  pid_t m_pid = -1;
  int m_port = 0;
};

// A socket on 127.0.0.1 that takes connections into its queue and never
// answers them; port() == 0 when it could not be made.
class SilentListener {
 public:
  SilentListener() {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(m_fd, 8) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    m_port = ntohs(a.sin_port);
  }
  ~SilentListener() {
    if (m_fd >= 0) close(m_fd);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return m_port; }

 private:
  int m_fd = -1;
  int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once, then let go).
inline int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace tvtest
