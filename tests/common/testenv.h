// Shared test support: every test binary runs in a fresh TRAILVANE_HOME, and
// tests can capture what the engine reports.
#pragma once
#include <string>
#include <vector>

namespace tvtest {

// The temporary home of this test binary (TRAILVANE_HOME), ending with '/'.
const std::string& Home();
// A new empty folder under Home(), ending with '/'.
std::string NewDir(const std::string& name);
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);

// Installs engine callbacks that collect errors, status texts and messages;
// restores empty callbacks when destroyed.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  std::vector<std::string> errors, infos, messages;
  std::string AllErrors() const;
};

}  // namespace tvtest
