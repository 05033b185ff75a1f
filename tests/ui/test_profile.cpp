// The per-user profile: values come back byte for byte, size limits and
// failed reads behave as the callers expect, and the list column settings
// go through it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include <wx/debug.h>

#include "platform/files.h"
#include "platform/wx/profile.h"
#include "tests/common/testenv.h"
#include "ui/core/columnstate.h"
#include "ui/panes/columnprofile.h"

namespace {

TEST(Profile, LivesInTheTestHomeAndKeepsEveryByteString) {
  EXPECT_EQ(tv::ProfilePath(), tvtest::Home() + "profile.ini");
  const std::string values[] = {
      "\\Cz1@5#120\\Or1@0#-3",           // the column settings are all backslashes
      "/home/u/$HOME/%TEMP%/site.tv",  // no variables are expanded
      "  blanks at both ends  ",
      "quote \" and ; and # and = and [x]",
      "line one\nline two\ttab\r",
      "caf\xe9 \x81\xff",          // not UTF-8
      "caf\xc3\xa9 \xe2\x82\xac",  // UTF-8
      "",
  };
  int n = 0;
  for (const std::string& v : values) {
    std::string name = "Value" + std::to_string(n++);
    ASSERT_TRUE(tv::RegWriteString(name.c_str(), v));
  }
  n = 0;
  for (const std::string& v : values) {
    std::string name = "Value" + std::to_string(n++);
    std::string got = "unset";
    EXPECT_TRUE(tv::RegReadString(name.c_str(), &got, 600)) << name;
    EXPECT_EQ(got, v) << name;
  }
  struct stat st {};
  ASSERT_EQ(stat(tv::ProfilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(Profile, FailedReadsLeaveTheValueAlone) {
  std::string got = "kept";
  EXPECT_FALSE(tv::RegReadString("NoSuchValue", &got, 600));
  EXPECT_EQ(got, "kept");

  // With its terminator a value must fit the caller's buffer.
  ASSERT_TRUE(tv::RegWriteString("Long", std::string(599, 'x')));
  EXPECT_TRUE(tv::RegReadString("Long", &got, 600));
  EXPECT_EQ(got.size(), 599u);
  ASSERT_TRUE(tv::RegWriteString("Long", std::string(600, 'y')));
  EXPECT_FALSE(tv::RegReadString("Long", &got, 600));
  EXPECT_EQ(got, std::string(599, 'x'));

  uint32_t number = 42;
  EXPECT_FALSE(tv::RegReadDword("NoSuchValue", &number));
  for (const char* bad : {"abc", "12x", "", "4294967296", "-2147483649"}) {
    ASSERT_TRUE(tv::RegWriteString("Number", bad));
    EXPECT_FALSE(tv::RegReadDword("Number", &number)) << bad;
    EXPECT_EQ(number, 42u) << bad;
  }
}

int g_assertions = 0;
void CountAssertion(const wxString&, int, const wxString&, const wxString&, const wxString&) { ++g_assertions; }

// Hand-damaged lines are left out without an assertion (whose dialog would
// wait for a click in an unattended run); the good values around them stay.
TEST(Profile, DamagedLinesAreIgnoredWithoutAnAssertion) {
  const std::string path = tv::ProfilePath();
  const std::string damaged[] = {
      "=x\n",
      "  =x\n",
      "\t=\n",
      "[g]\nk=1\n[g]\nk=2\n",
      "[g]\nk=1\n[h]\nj=2\n[g]\nk=3\n",
  };
  g_assertions = 0;
  wxAssertHandler_t old = wxSetAssertHandler(&CountAssertion);
  for (const std::string& text : damaged) {
    SCOPED_TRACE(text);
    tvtest::WriteFile(path, "Before=1\n" + text + "After=2\n");
    std::string got;
    // A group of the damaged text holds the value after it.
    EXPECT_TRUE(tv::RegReadString("Before", &got, 100));
    EXPECT_EQ(got, "1");
    ASSERT_TRUE(tv::RegWriteString("Written", "3"));
    EXPECT_TRUE(tv::RegReadString("Written", &got, 100));
    EXPECT_EQ(got, "3");
    EXPECT_TRUE(tv::RegReadString("Before", &got, 100));
  }
  wxSetAssertHandler(old);
  EXPECT_EQ(g_assertions, 0);
  tv::RemoveFile(path);
}

// A FIFO where the profile belongs reads as an empty profile at once.
TEST(Profile, FifoReadsAsEmptyWithoutBlocking) {
  const std::string path = tv::ProfilePath();
  tv::RemoveFile(path);
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::string got = "kept";
  EXPECT_FALSE(tv::RegReadString("LastWorkspace", &got, 100));
  EXPECT_EQ(got, "kept");
  uint32_t n = 5;
  EXPECT_FALSE(tv::RegReadDword("WinTop", &n));
  tv::RemoveFile(path);
}

// A write removes what a killed write left beside the file.
TEST(Profile, WriteRemovesTheLeftoverOfAKilledWrite) {
  const std::string left = tv::ProfilePath() + ".tmpAb3xZ9";
  tvtest::WriteFile(left, "half");
  ASSERT_TRUE(tv::RegWriteString("After", "1"));
  EXPECT_FALSE(tv::FileExists(left));
}

TEST(Profile, NumbersKeepAllThirtyTwoBits) {
  for (uint32_t v : {0u, 1u, 0xFFFFFFFFu, static_cast<uint32_t>(-3000)}) {
    ASSERT_TRUE(tv::RegWriteDword("WinTop", v));
    uint32_t got = 7;
    EXPECT_TRUE(tv::RegReadDword("WinTop", &got));
    EXPECT_EQ(got, v);
  }
  // A hand-edited negative number is the same window position.
  ASSERT_TRUE(tv::RegWriteString("WinLeft", "-5000"));
  uint32_t got = 0;
  EXPECT_TRUE(tv::RegReadDword("WinLeft", &got));
  EXPECT_EQ(static_cast<int32_t>(got), -5000);
}

TEST(Profile, ListColumnSettingsRoundTripWhateverTheirLength) {
  ClearListColumnInfo();
  SetListColumnInfo("Cz", 1, 5, 120);
  SetListColumnInfo("Or", 1, 0, -3);
  const std::string saved = ListColumnInfo();
  SaveListColumnInfo();
  EXPECT_TRUE(ListColumnInfo().empty());

  // Nothing to save: the stored settings stay.
  SaveListColumnInfo();
  LoadListColumnInfo();
  EXPECT_EQ(ListColumnInfo(), saved);
  int width = 0;
  EXPECT_TRUE(GetListColumnInfo("Cz", 1, 5, &width));
  EXPECT_EQ(width, 120);

  // Settings of many kinds: the later kinds' entries are read as well.
  std::string many;
  for (int kind = 1; kind <= 43; ++kind)
    for (int column = 1; column <= 8; ++column)
      many += "\\Cz" + std::to_string(kind) + "@" + std::to_string(column) + "#" + std::to_string(40 + column);
  ASSERT_GT(many.size(), 2000u);
  ASSERT_TRUE(tv::RegWriteString("ListColumnInfo", many));
  LoadListColumnInfo();
  EXPECT_EQ(ListColumnInfo(), many);
  EXPECT_TRUE(GetListColumnInfo("Cz", 43, 8, &width));
  EXPECT_EQ(width, 48);

  // A damaged value keeps its good entries only.
  ASSERT_TRUE(tv::RegWriteString("ListColumnInfo", std::string(600, '\\') + "\\Cz2@3#77\\Cz2@"));
  LoadListColumnInfo();
  EXPECT_EQ(ListColumnInfo(), "\\Cz2@3#77");
  ClearListColumnInfo();
}

}  // namespace
