#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/textutil.h"
#include "tests/common/testenv.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

TEST(TextUtil, SetStrReportsChanges) {
  char* field = nullptr;
  EXPECT_EQ(SetStr(&field, ""), 0);
  EXPECT_EQ(SetStr(&field, "a"), 1);
  EXPECT_EQ(SetStr(&field, "a"), 0);
  EXPECT_EQ(SetStr(&field, "b"), 1);
  EXPECT_STREQ(field, "b");
  EXPECT_EQ(SetStr(&field, nullptr), 1);
  EXPECT_EQ(field, nullptr);
  EXPECT_EQ(SetStr(&field, nullptr), 0);
}

struct MatchCase {
  const char* text;
  const char* pattern;
  int exact;
  bool expected;
};

TEST(TextUtil, MatchPattern) {
  const MatchCase cases[] = {
      {"index.html", "*.html", 0, true},
      {"a.b.html", "*.html", 0, false},  // a star never crosses '.'
      {"INDEX.HTML", "index.*", 0, true},
      {"index.html", "index", 0, false},  // the text must be used up
      {"anything.at.all", "*", 0, true},
      {"", "", 0, true},
      {"x", "", 0, false},
      {"aab", "*ab", 0, true},  // needs backtracking
      {"abcabd", "*abd", 0, true},
      {"ax.yb", "a*?*b", 0, true},  // an earlier star must give way
      {"Index.html", "index.html", 1, false},
      {"Index.html", "Index.?tml", 1, true},
      {"a.b", "a?b", 0, true},  // '?' may take a dot
      {"/img/x.gif", "/img/*", 0, true},  // a trailing star takes the rest, dots too
      {"ab", "a?b", 0, false},
  };
  for (const MatchCase& c : cases)
    EXPECT_EQ(MatchPattern(c.text, c.pattern, c.exact), c.expected) << c.text << " ~ " << c.pattern;
}

TEST(TextUtil, MatchPatternManyStarsStaysFast) {
  std::string text(3000, 'a');
  EXPECT_FALSE(MatchPattern(text.c_str(), "*a*a*a*a*a*a*a*a*b", 0));
}

TEST(TextUtil, SameUrlIgnoringScheme) {
  EXPECT_TRUE(SameUrlIgnoringScheme("https://www.example.com/a/b.html", "*example.com/*"));
  EXPECT_TRUE(SameUrlIgnoringScheme("http://example.com/", "*example.com/*"));
  EXPECT_TRUE(SameUrlIgnoringScheme("FTP://shop.Example.com/x", "*example.com/*"));
  EXPECT_FALSE(SameUrlIgnoringScheme("http://other.org/example.com/", "*example.com/*"));
  EXPECT_TRUE(SameUrlIgnoringScheme("http://a.org/x", "http://a.org/*"));
}

TEST(TextUtil, ItemsOfLists) {
  char out[8];
  EXPECT_EQ(NthSemicolonItem(out, sizeof out, "a;bb;ccc", 1), 1);
  EXPECT_STREQ(out, "bb");
  EXPECT_EQ(NthSemicolonItem(out, sizeof out, "a;b", 2), 0);
  EXPECT_EQ(NthSemicolonItem(out, sizeof out, nullptr, 0), 0);
  EXPECT_EQ(NthSemicolonItem(out, sizeof out, "averyveryverylongitem", 0), 1);
  EXPECT_STREQ(out, "averyve");  // cut to the buffer

  char list[] = "x;y;z";
  char file[4];
  EXPECT_EQ(NthMatchingFile(file, list, 3, 3, ';'), 0);
  EXPECT_STREQ(list, "x;y;z");
  EXPECT_EQ(NthMatchingFile(file, list, 2, 3, ';'), 1);
  EXPECT_STREQ(file, "z");
}

TEST(TextUtil, BoundedEditing) {
  char buf[4] = "ab";
  EXPECT_TRUE(AppendChar(buf, sizeof buf, 'c'));
  EXPECT_FALSE(AppendChar(buf, sizeof buf, 'd'));
  EXPECT_STREQ(buf, "abc");

  char blanks[] = "  \t ";
  EXPECT_STREQ(TrimSpaces(blanks), "");
  char padded[] = " \tname \t";
  EXPECT_STREQ(TrimSpaces(padded), "name");

  char link[64] = "see [URL] and [url]";
  EXPECT_EQ(ReplaceAllNoCase(link, sizeof link, "[URL]", "x[URL]x"), 2);  // no endless loop
  EXPECT_STREQ(link, "see x[URL]x and x[URL]x");
  char tight[12] = "aXaXa";
  EXPECT_EQ(ReplaceAllNoCase(tight, sizeof tight, "x", "yyy"), 2);  // the third would not fit
  EXPECT_STREQ(tight, "ayyyayyya");
  EXPECT_EQ(ReplaceAllNoCase(tight, sizeof tight, "", "q"), 0);

  char esc[] = "a\\;b\\\\c";
  EXPECT_EQ(UnescapeBackslashes(esc), 2);
  EXPECT_STREQ(esc, "a;b\\c");

  EXPECT_STREQ(FindNoCase("Hello World", "WORLD"), "World");
  EXPECT_EQ(FindNoCase("", "a"), nullptr);
}

TEST(TextUtil, ReadWholeFile) {
  tvtest::MessageCapture capture;
  std::string path = tvtest::Home() + "whole.txt";
  tvtest::WriteFile(path, std::string("a\0b\r\n", 5));
  char* text = nullptr;
  size_t len = 0;
  ASSERT_EQ(ReadWholeFile(path.c_str(), &text, &len, 1), 1);
  EXPECT_EQ(len, 5u);
  EXPECT_EQ(text[5], 0);
  free(text);
  EXPECT_EQ(ReadWholeFile("", &text, &len, 1), 0);
  EXPECT_EQ(ReadWholeFile((path + ".missing").c_str(), &text, &len, 0), 0);
  EXPECT_TRUE(capture.errors.empty());
  EXPECT_EQ(ReadWholeFile((path + ".missing").c_str(), &text, &len, 1), 0);
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_NE(capture.errors[0].find("not found"), std::string::npos);
}

// '#' and '?' are ordinary characters in a file name: the file read is the one
// named, never the one the name would be cut to.
TEST(TextUtil, ReadWholeFileTakesTheWholeName) {
  tvtest::MessageCapture capture;
  std::string dir = tvtest::NewDir("c#dir");
  tvtest::WriteFile(dir + "w", "short name");
  tvtest::WriteFile(tvtest::Home() + "c", "folder cut");
  for (const char* name : {"w#1.tv", "w?x=1", "w#"}) {
    SCOPED_TRACE(name);
    char* text = nullptr;
    size_t len = 0;
    EXPECT_EQ(ReadWholeFile((dir + name).c_str(), &text, &len, 1), 0);  // not there yet
    tvtest::WriteFile(dir + name, name);
    ASSERT_EQ(ReadWholeFile((dir + name).c_str(), &text, &len, 1), 1);
    EXPECT_EQ(std::string(text, len), name);
    free(text);
  }
  EXPECT_EQ(capture.errors.size(), 3u);
}

// A FIFO or a folder where a file is expected is refused at once: reading it
// would block the start or read garbage.
TEST(TextUtil, ReadWholeFileRefusesWhatIsNotARegularFile) {
  tvtest::MessageCapture capture;
  std::string fifo = tvtest::Home() + "pipe.cfg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string dir = tvtest::NewDir("folder.cfg");
  for (const std::string& path : {fifo, dir}) {
    char* text = nullptr;
    size_t len = 0;
    EXPECT_EQ(ReadWholeFile(path.c_str(), &text, &len, 1), 0) << path;
    EXPECT_EQ(text, nullptr);
  }
  ASSERT_EQ(capture.errors.size(), 2u);
  EXPECT_NE(capture.errors[0].find("not a regular file"), std::string::npos);
  unlink(fifo.c_str());
}

}  // namespace
