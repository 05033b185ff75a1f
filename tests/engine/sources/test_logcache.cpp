#include "engine/sources/logcache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"

namespace {

const uint32_t kDate = 7 | 3 << 8 | 2023u << 16;  // 7 March 2023

class LogCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(CLogCache::CacheFolder());
    folder = CLogCache::CacheFolder();
  }
  void TearDown() override { std::filesystem::remove_all(CLogCache::CacheFolder()); }
  std::string folder;
  tvtest::MessageCapture capture;
};

// Directly inside the cache folder and not the index.
bool InCache(const std::string& path, const std::string& folder) {
  return path.compare(0, folder.size(), folder) == 0 && path.find('/', folder.size()) == std::string::npos &&
         path != CLogCache::IndexPath();
}

TEST_F(LogCacheTest, SameBaseNamesGetACounter) {
  CLogCache cache;
  EXPECT_EQ(cache.AddToCache("ftp://a.example/logs/access.log", 10, kDate, 60), folder + "access.log");
  EXPECT_EQ(cache.AddToCache("http://b.example/access.log", 20, kDate, 61), folder + "access.log.000000");
  // Names that differ only in case count as taken too.
  EXPECT_EQ(cache.AddToCache("ftp://c.example/ACCESS.LOG", 30, kDate, 62), folder + "ACCESS.LOG.000001");
  ASSERT_EQ(cache.Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tv::FileSize(cache.Record(i)->cache), 0);
  EXPECT_TRUE(cache.CacheChanged());
}

TEST_F(LogCacheTest, ChangedFileGoesIntoTheSameCopyAgain) {
  CLogCache cache;
  const char* name = "ftp://a.example/logs/access.log";
  std::string copy = cache.AddToCache(name, 10, kDate, 60);
  tvtest::WriteFile(copy, "0123456789");
  EXPECT_EQ(cache.FindCachedCopy("FTP://A.EXAMPLE/logs/access.log", 10, kDate, 60, 1), copy);
  EXPECT_EQ(cache.FindCachedCopy(name, 11, kDate, 60, 1), "");
  EXPECT_EQ(cache.FindCachedCopy(name, 10, kDate + 1, 60, 1), "");
  EXPECT_EQ(cache.FindCachedCopy(name, 10, kDate, 61, 1), "");
  EXPECT_EQ(cache.FindCachedCopy(name, 99, 1, 2, 0), copy);
  EXPECT_EQ(cache.FindCachedCopy("ftp://a.example/logs/other.log", 10, kDate, 60, 0), "");

  EXPECT_EQ(cache.AddToCache(name, 12, kDate, 70), copy);
  EXPECT_EQ(tv::FileSize(copy), 0);
  ASSERT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Record(0)->size, 12u);
  EXPECT_EQ(cache.FindCachedCopy(name, 12, kDate, 70, 1), copy);
}

TEST_F(LogCacheTest, UnknownSizeOrDateNeverMatchesStrictly) {
  CLogCache cache;
  const char* url = "http://b.example/access.log";
  std::string copy = cache.AddToCache(url, 0, 0, 0);
  EXPECT_EQ(cache.FindCachedCopy(url, 0, 0, 0, 1), "");
  cache.AddToCache(url, 0, kDate, 5);
  EXPECT_EQ(cache.FindCachedCopy(url, 0, kDate, 5, 1), "");
  cache.AddToCache(url, 100, 0, 0);
  EXPECT_EQ(cache.FindCachedCopy(url, 100, 0, 0, 1), "");
  EXPECT_EQ(cache.FindCachedCopy(url, 0, 0, 0, 0), copy);
}

TEST_F(LogCacheTest, MissingCopyIsDropped) {
  CLogCache cache;
  std::string copy = cache.AddToCache("ftp://a.example/x.log", 10, kDate, 1);
  ASSERT_EQ(cache.SaveCacheIndex(), 1);
  tv::RemoveFile(copy);
  EXPECT_EQ(cache.FindCachedCopy("ftp://a.example/x.log", 10, kDate, 1, 1), "");
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_TRUE(cache.CacheChanged());
  // Also when it goes while the program is not running.
  cache.AddToCache("ftp://a.example/y.log", 10, kDate, 1);
  ASSERT_EQ(cache.SaveCacheIndex(), 1);
  tv::RemoveFile(folder + "y.log");
  CLogCache reread;
  reread.LoadCacheIndex();
  EXPECT_EQ(reread.Count(), 0);
}

TEST_F(LogCacheTest, IndexKeepsItsFormAndRoundTrips) {
  CLogCache cache;
  std::string a = cache.AddToCache("ftp://a.example/logs/a \"quoted\" \\ name.log", 3000000000u, kDate, 86399);
  std::string b = cache.AddToCache("http://b.example/b.log", 5, 1 | 1 << 8 | 2024u << 16, 0);
  ASSERT_EQ(cache.SaveCacheIndex(), 1);
  EXPECT_FALSE(cache.CacheChanged());
  std::string text = tvtest::ReadFile(CLogCache::IndexPath());
  std::string expectB = "\n[cache]\nsfile=\"http://b.example/b.log\"\ncache=\"" + b + "\"\nsize=5\ndate=" +
                        std::to_string(1 | 1 << 8 | 2024 << 16) + "\ntime=0";
  EXPECT_NE(text.find("FormatVersion=1.0\n[cache]\nsfile=\"ftp://a.example/logs/a \\\"quoted\\\" \\\\ name.log\""),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.size() - expectB.size()), expectB);

  CLogCache reread;
  ASSERT_EQ(reread.LoadCacheIndex(), 1);
  ASSERT_EQ(reread.Count(), 2);
  EXPECT_STREQ(reread.Record(0)->sfile, "ftp://a.example/logs/a \"quoted\" \\ name.log");
  EXPECT_EQ(reread.Record(0)->cache, a);
  EXPECT_EQ(reread.Record(0)->size, 3000000000u);
  EXPECT_EQ(reread.Record(0)->date, kDate);
  EXPECT_EQ(reread.Record(0)->time, 86399u);
  EXPECT_EQ(reread.Record(1)->cache, b);
  EXPECT_FALSE(reread.CacheChanged());
  // Unchanged: nothing is written.
  tv::RemoveFile(CLogCache::IndexPath());
  EXPECT_EQ(reread.SaveCacheIndex(), 1);
  EXPECT_FALSE(tv::FileExists(CLogCache::IndexPath()));
}

TEST_F(LogCacheTest, ClearCacheDeletesCopiesAndLeavesTheHeader) {
  CLogCache cache;
  ASSERT_EQ(cache.LoadCacheIndex(), 0);  // none yet, and silent
  EXPECT_TRUE(capture.errors.empty() && capture.messages.empty());
  ASSERT_EQ(cache.ClearCache(), 1);
  std::string header = tvtest::ReadFile(CLogCache::IndexPath());
  EXPECT_EQ(header.substr(header.size() - 22), "**/\n\nFormatVersion=1.0");
  EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 4);

  std::string a = cache.AddToCache("ftp://a.example/a.log", 1, kDate, 1);
  std::string b = cache.AddToCache("ftp://a.example/b.log", 1, kDate, 1);
  ASSERT_EQ(cache.ClearCache(), 1);
  EXPECT_FALSE(tv::FileExists(a));
  EXPECT_FALSE(tv::FileExists(b));
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_EQ(tvtest::ReadFile(CLogCache::IndexPath()), header);
}

TEST_F(LogCacheTest, HandEditedIndexCannotReachOtherFiles) {
  std::string outside = tvtest::NewDir("outside") + "victim.log";
  tvtest::WriteFile(outside, "keep me");
  tv::MakeDirs(folder);
  tvtest::WriteFile(folder + "good.log", "good");
  tv::MakeDirs(folder + "sub");
  tvtest::WriteFile(folder + "sub/deep.log", "deep");
  std::string index = "FormatVersion=1.0\n";
  auto rec = [&](const std::string& name, const std::string& path) {
    index += "[cache]\nsfile=\"" + name + "\"\ncache=\"" + path + "\"\nsize=4\ndate=" + std::to_string(kDate) +
             "\ntime=1\n";
  };
  rec("r1", outside);
  rec("r2", folder + "../outside/victim.log");
  rec("r3", folder + "cache.cfg");
  rec("r4", folder + "sub/deep.log");
  rec("r5", folder + "missing.log");
  rec("good", folder + "good.log");
  rec("twin", folder + "GOOD.LOG");
  rec("twin2", folder + "good.log");
  index += "[cache]\ncache=\"" + folder + "good.log\"\n";  // no remote name
  tvtest::WriteFile(CLogCache::IndexPath(), index);

  CLogCache cache;
  ASSERT_EQ(cache.LoadCacheIndex(), 1) << capture.AllErrors();
  ASSERT_EQ(cache.Count(), 1);
  EXPECT_STREQ(cache.Record(0)->sfile, "good");
  EXPECT_TRUE(cache.CacheChanged());
  for (const char* name : {"r1", "r2", "r3", "r4", "r5", "twin", "twin2"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(cache.FindCachedCopy(name, 4, kDate, 1, 1), "");
    std::string fresh = cache.AddToCache(name, 4, kDate, 1);
    EXPECT_TRUE(InCache(fresh, folder)) << fresh;
  }
  ASSERT_EQ(cache.ClearCache(), 1);
  EXPECT_EQ(tvtest::ReadFile(outside), "keep me");
  EXPECT_EQ(tvtest::ReadFile(folder + "sub/deep.log"), "deep");
  EXPECT_FALSE(tv::FileExists(folder + "good.log"));
}

TEST_F(LogCacheTest, RemoteNamesThatAreNoPlainFileNames) {
  std::string outside = tvtest::NewDir("outside2") + "victim.log";
  tvtest::WriteFile(outside, "keep me");
  CLogCache cache;
  ASSERT_EQ(cache.ClearCache(), 1);
  std::string index = tvtest::ReadFile(CLogCache::IndexPath());
  const std::string names[] = {
      "http://h.example/",
      "ftp://h.example/dir/..",
      "ftp://h.example/.",
      "http://h.example/../../outside2/victim.log",
      "ftp://h.example/..\\..\\outside2\\victim.log",
      "ftp://h.example/cache.cfg",
      "http://h.example/" + std::string(300, 'n') + ".log",
      "ftp://h.example/evil;victim.log",
      "http://h.example/a;victim.log",
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string copy = cache.AddToCache(name.c_str(), 4, kDate, 1);
    EXPECT_TRUE(InCache(copy, folder)) << copy;
    EXPECT_TRUE(tv::FileExists(copy));
    EXPECT_EQ(copy.find(';'), std::string::npos) << copy;
  }
  EXPECT_EQ(cache.Count(), 9);
  EXPECT_EQ(tvtest::ReadFile(CLogCache::IndexPath()), index);
  EXPECT_EQ(tvtest::ReadFile(outside), "keep me");
}

TEST_F(LogCacheTest, WithoutACacheFolderTheDownloadGoesToATempFile) {
  // A plain file where the folder belongs.
  tvtest::WriteFile(folder.substr(0, folder.size() - 1), "in the way");
  CLogCache cache;
  std::string copy = cache.AddToCache("ftp://a.example/x.log", 1, kDate, 1);
  EXPECT_EQ(copy.compare(0, tv::TempDir().size() + 4, tv::TempDir() + "iCsh"), 0) << copy;
  EXPECT_TRUE(tv::FileExists(copy));
  EXPECT_EQ(cache.Count(), 0);
  tv::RemoveFile(copy);
  tv::RemoveFile(folder.substr(0, folder.size() - 1));
}

TEST(LocalCopies, PresentOnlyWhenEveryFileOpens) {
  std::string dir = tvtest::NewDir("copies");
  tvtest::WriteFile(dir + "a.log", "a");
  tvtest::WriteFile(dir + "b.log", "b");
  struct Case {
    std::string list;
    int present;
  };
  const Case cases[] = {
      {dir + "a.log", 1},
      {dir + "a.log;" + dir + "b.log", 1},
      {dir + "a.log;" + dir + "missing.log", 0},
      {dir + "a.log;", 0},
      {dir + "a.log;;" + dir + "b.log", 0},
      {dir, 0},  // a folder is no log
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(LocalCopiesPresent(c.list.c_str()), c.present);
  }
  EXPECT_EQ(LocalCopiesPresent(nullptr), 0);
  // A ';' inside a listed name is part of that name.
  tvtest::WriteFile(dir + "x;a.log", "x");
  EXPECT_EQ(LocalCopiesPresent(EscapeFileListItem(dir + "x;a.log").c_str()), 1);
  EXPECT_EQ(LocalCopiesPresent(EscapeFileListItem(dir + "x;missing.log").c_str()), 0);
}

TEST(FileLists, ItemsComeBackAsTheyWentIn) {
  const std::vector<std::vector<std::string>> lists = {
      {"/a/b.log"},
      {"ftp://h/evil;victim.log", "/c/d.log"},
      {"x\\;y", "\\", ";", ""},
      {"", "a"},
  };
  for (const auto& items : lists) {
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) joined += (i ? ";" : "") + EscapeFileListItem(items[i]);
    SCOPED_TRACE(joined);
    EXPECT_EQ(SplitFileList(joined.c_str()), items);
  }
  EXPECT_TRUE(SplitFileList(nullptr).empty());
}

}  // namespace
