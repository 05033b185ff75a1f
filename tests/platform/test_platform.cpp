#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"

#include <sys/stat.h>

namespace {

TEST(Clock, CivilDaysRoundTrip) {
  EXPECT_EQ(tv::DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(tv::DaysFromCivil(2000, 3, 1), 11017);
  EXPECT_EQ(tv::DayOfWeek(tv::DaysFromCivil(2026, 12, 10)), 4);  // a Thursday
  for (int64_t d = -800000; d < 800000; d += 997) {
    tv::CivilDate c = tv::CivilFromDays(d);
    ASSERT_EQ(tv::DaysFromCivil(c.year, c.month, c.day), d);
  }
  EXPECT_TRUE(tv::IsValidDate(2024, 2, 29));
  EXPECT_FALSE(tv::IsValidDate(1900, 2, 29));
  EXPECT_FALSE(tv::IsValidDate(2023, 13, 1));
}

TEST(Folders, HomeOverrideAndPrivateTemp) {
  tv::ResetFolders();
  const std::string& home = tvtest::Home();
  EXPECT_EQ(tv::ProgramDir(), home);
  EXPECT_EQ(tv::DataDir(), home);
  const std::string& tmp = tv::TempDir();
  ASSERT_EQ(tmp.back(), '/');
  struct stat st;
  ASSERT_EQ(stat(tmp.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  std::string t1 = tv::MakeTempFile("x"), t2 = tv::MakeTempFile("x");
  EXPECT_NE(t1, t2);
  EXPECT_TRUE(tv::FileExists(t1));
  EXPECT_EQ(t1.rfind(tmp, 0), 0u);
}

TEST(Files, FindFilesAndReplacingWrite) {
  std::string dir = tvtest::NewDir("find");
  tvtest::WriteFile(dir + "a.log", "1");
  tvtest::WriteFile(dir + "b.log", "22");
  tvtest::WriteFile(dir + "c.txt", "333");
  auto found = tv::FindFiles(dir + "*.log");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].path, dir + "b.log");
  EXPECT_EQ(found[1].size, 2);
  EXPECT_TRUE(tv::FindFiles(dir + "none*").empty());

  std::string target = dir + "w.cfg";
  tvtest::WriteFile(target, "old");
  ASSERT_TRUE(tv::WriteFileReplacing(target, "new", 3, 0600));
  EXPECT_EQ(tvtest::ReadFile(target), "new");
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A folder that cannot be written leaves nothing behind and reports failure.
  EXPECT_FALSE(tv::WriteFileReplacing(dir + "nodir/x", "y", 1));
}

}  // namespace
