// Golden files of the export tests: with TV_UPDATE_GOLDEN set, the files are
// rewritten from what the code writes now.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/common/testenv.h"

namespace golden {

inline void Expect(const std::string& actual, const char* name) {
  std::string path = std::string(TV_OUTPUT_TEST_DATA) + "/" + name;
  if (getenv("TV_UPDATE_GOLDEN")) {
    tvtest::WriteFile(path, actual);
    return;
  }
  EXPECT_EQ(actual, tvtest::ReadFile(path)) << "golden file " << path;
}

}  // namespace golden
