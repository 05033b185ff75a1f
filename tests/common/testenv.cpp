#include "tests/common/testenv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/folders.h"


namespace tvtest {
namespace {

std::string g_home;

class HomeEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { Home(); }
  void TearDown() override {
    std::error_code ec;
    if (!g_home.empty() && !std::getenv("TV_KEEP_TEST_HOME")) std::filesystem::remove_all(g_home, ec);
  }
};

[[maybe_unused]] ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new HomeEnvironment);

}  // namespace

const std::string& Home() {
  if (g_home.empty()) {
    std::string templ = (std::filesystem::temp_directory_path() / "tvtest-XXXXXX").string();
    if (!mkdtemp(templ.data())) std::abort();
    g_home = templ + "/";
    setenv("TRAILVANE_HOME", g_home.c_str(), 1);
    std::string tmp = g_home + "tmp";
    std::filesystem::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);
    tv::ResetFolders();
  }
  return g_home;
}

std::string NewDir(const std::string& name) {
  std::string dir = Home() + name;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir);
  return dir + "/";
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

}  // namespace tvtest
