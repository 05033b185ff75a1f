// The start-up's display-free rules: the command line, the stored window
// placement and the document's file names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/core/commandline.h"
#include "ui/core/documentnames.h"
#include "ui/core/windowplacement.h"

TEST(CommandLine, SwitchesInAnyCaseAndTheFirstFileName) {
  struct Case {
    std::vector<std::string> args;
    int mode;
    std::string file;
  } cases[] = {
      {{}, kModeInteractive, ""},
      {{"-download"}, kModeDownload, ""},
      {{"/DownLoad"}, kModeDownload, ""},
      {{"-UPDATE"}, kModeUpdate, ""},
      {{"/update", "site.tv"}, kModeUpdate, "site.tv"},
      {{"-download", "-update"}, kModeUpdate, ""},
      {{"-update", "/download"}, kModeDownload, ""},
      {{"download"}, kModeInteractive, "download"},  // no switch character: a file
      {{"a.tv", "b.tv"}, kModeInteractive, "a.tv"},
      {{"-x", "/home/u/site.tv", "-download"}, kModeDownload, "/home/u/site.tv"},
      {{"-downloads"}, kModeInteractive, ""},
  };
  for (const Case& c : cases) {
    CommandLine line = ParseCommandLine(c.args);
    std::string words;
    for (const std::string& a : c.args) words += a + " ";
    EXPECT_EQ(line.mode, c.mode) << words;
    EXPECT_EQ(line.file, c.file) << words;
  }
}

TEST(WindowPlacement, StoredRectangleOnlyWhenBelievable) {
  auto u = [](int v) { return static_cast<uint32_t>(v); };
  auto stored = [&](int top, int bottom, int left, int right) {
    StoredPlacement s;
    s.read = true;
    s.top = u(top);
    s.bottom = u(bottom);
    s.left = u(left);
    s.right = u(right);
    return s;
  };
  auto anywhere = [](const WindowRect&) { return true; };
  auto screen = [](const WindowRect& r) { return r.right > 0 && r.bottom > 0 && r.left < 1280 && r.top < 1024; };
  const WindowRect def{10, 20, 10 + kDefaultWindowWidth, 20 + kDefaultWindowHeight};
  struct Case {
    const char* what;
    StoredPlacement s;
    bool onScreenCheck;
    bool used;
  } cases[] = {
      {"usual", stored(50, 650, 40, 840), true, true},
      {"limits inclusive", stored(-3000, 2000, 7000, 14000), false, true},
      {"top past 5000", stored(5001, 5100, 0, 100), false, false},
      {"left below -5000", stored(0, 100, -5001, 100), false, false},
      {"width 7001", stored(0, 100, 0, 7001), false, false},
      {"height 5001", stored(0, 5001, 0, 100), false, false},
      {"zero width", stored(50, 650, 40, 40), false, false},
      {"negative height", stored(650, 50, 40, 840), false, false},
      {"off every screen", stored(3000, 3600, 4000, 4800), true, false},
  };
  for (const Case& c : cases) {
    WindowRect r = ChooseWindowRect(10, 20, c.s, c.onScreenCheck ? std::function<bool(const WindowRect&)>(screen)
                                                                 : std::function<bool(const WindowRect&)>(anywhere));
    WindowRect want = c.used ? WindowRect{static_cast<int32_t>(c.s.left), static_cast<int32_t>(c.s.top),
                                          static_cast<int32_t>(c.s.right), static_cast<int32_t>(c.s.bottom)}
                             : def;
    EXPECT_EQ(r.left, want.left) << c.what;
    EXPECT_EQ(r.top, want.top) << c.what;
    EXPECT_EQ(r.Width(), want.Width()) << c.what;
    EXPECT_EQ(r.Height(), want.Height()) << c.what;
  }
  StoredPlacement missing = stored(50, 650, 40, 840);
  missing.read = false;
  EXPECT_EQ(ChooseWindowRect(10, 20, missing, nullptr).Width(), kDefaultWindowWidth);
  // The size the program asks for, never below the least one.
  const WindowRect asked = ChooseWindowRect(10, 20, missing, nullptr, 1100, 300);
  EXPECT_EQ(asked.Width(), 1100);
  EXPECT_EQ(asked.Height(), kDefaultWindowHeight);
}

TEST(DocumentNames, WorkspaceExtensionAndLogFiles) {
  struct {
    const char* in;
    const char* saved;
  } names[] = {
      {"/w/site", "/w/site.tv"},         {"/w/site.tv", "/w/site.tv"}, {"/w/site.TV", "/w/site.TV"},
      {"/w/site.txt", "/w/site.txt.tv"}, {"/w/a.tv/site", "/w/a.tv/site.tv"}, {"/w/site.tvx", "/w/site.tvx.tv"},
  };
  for (const auto& n : names) EXPECT_EQ(WorkspaceSaveName(n.in), n.saved) << n.in;
  EXPECT_TRUE(IsLogFileName("/l/access.log"));
  EXPECT_TRUE(IsLogFileName("/l/ACCESS.LOG"));
  EXPECT_TRUE(IsLogFileName("/l/access.log.GZ"));
  EXPECT_FALSE(IsLogFileName("/l/site.tv"));
  EXPECT_FALSE(IsLogFileName("/l/catalog"));
}
