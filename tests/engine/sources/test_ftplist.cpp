#include <gtest/gtest.h>

#include <string>

#include "engine/sources/remotelogs.h"

namespace {

struct ListCase {
  const char* line;
  FtpLine kind;
  const char* name;
  uint64_t size;
  char type;
  int year, month, day;
  uint32_t seconds;
};

// Listings read on 10 March 2024.
const tv::CivilDate kToday{2024, 3, 10};

TEST(FtpList, LinesOfTheKnownForms) {
  const ListCase cases[] = {
      // Unix, recent form: the year is this year or, for a date ahead of today, the last one.
      {"-rw-r--r--   1 owner    group        1234 Mar 04 05:06 access.log", FtpLine::Entry, "access.log", 1234, '-',
       2024, 3, 4, 5 * 3600 + 6 * 60},
      {"-rw-r--r--   1 owner    group          77 Dec 30 23:59 late.log", FtpLine::Entry, "late.log", 77, '-', 2023,
       12, 30, 23 * 3600 + 59 * 60},
      {"-rw-r--r--   1 owner    group          77 Mar 11 00:00 tz.log", FtpLine::Entry, "tz.log", 77, '-', 2024, 3,
       11, 0},
      {"-rw-r--r--   1 owner    group           5 Feb 29 12:00 leap.log", FtpLine::Entry, "leap.log", 5, '-', 2024,
       2, 29, 12 * 3600},
      // Unix, old form with the year and no time; CR LF line end.
      {"-rw-r--r--   1 owner    group     4294967296 Jul  4  2019 big.log\r\n", FtpLine::Entry, "big.log",
       4294967296ull, '-', 2019, 7, 4, 0},
      // Blanks inside and at the end of a name; no group column; numeric owner.
      {"-rw-r--r--   1 1000        12 Jan 02 03:04 with  two blanks.log ", FtpLine::Entry, "with  two blanks.log ",
       12, '-', 2024, 1, 2, 3 * 3600 + 4 * 60},
      // A link is named without its target; a folder keeps its type.
      {"lrwxrwxrwx   1 owner    group          10 Mar 01 10:00 current.log -> logs/a.log", FtpLine::Entry,
       "current.log", 10, 'l', 2024, 3, 1, 10 * 3600},
      {"drwxr-xr-x   2 owner    group        4096 Jan 05  2020 archive.log", FtpLine::Entry, "archive.log", 4096, 'd',
       2020, 1, 5, 0},
      // An owner called like a month does not fool the column search.
      {"-rw-r--r--   1 Jan      group          42 Feb 03 04:05 x.log", FtpLine::Entry, "x.log", 42, '-', 2024, 2, 3,
       4 * 3600 + 5 * 60},
      // DOS and IIS.
      {"03-04-24  05:06PM                 1234 iis log.log", FtpLine::Entry, "iis log.log", 1234, '-', 2024, 3, 4,
       17 * 3600 + 6 * 60},
      {"12-31-99  12:15AM       <DIR>          old stuff", FtpLine::Entry, "old stuff", 0, 'd', 1999, 12, 31,
       15 * 60},
      {"07-04-2019  13:45                   9 a.log", FtpLine::Entry, "a.log", 9, '-', 2019, 7, 4,
       13 * 3600 + 45 * 60},
      {"01-01-24  12:00PM                    1 noon.log", FtpLine::Entry, "noon.log", 1, '-', 2024, 1, 1, 12 * 3600},
      // Lines that are no entry.
      {"total 1234", FtpLine::Skip, "", 0, 0, 0, 0, 0, 0},
      {"   \r\n", FtpLine::Skip, "", 0, 0, 0, 0, 0, 0},
      {"", FtpLine::Skip, "", 0, 0, 0, 0, 0, 0},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.line);
    FtpListEntry e;
    ASSERT_EQ(ParseFtpListLine(c.line, kToday, &e), c.kind);
    if (c.kind != FtpLine::Entry) continue;
    EXPECT_EQ(e.name, c.name);
    EXPECT_EQ(e.size, c.size);
    EXPECT_EQ(e.type, c.type);
    EXPECT_EQ(e.year, c.year);
    EXPECT_EQ(e.month, c.month);
    EXPECT_EQ(e.day, c.day);
    EXPECT_EQ(e.seconds, c.seconds);
  }
}

TEST(FtpList, MalformedLinesAreUnknown) {
  const std::string lines[] = {
      "this line means nothing",
      "?????????? ? ? ? ? ? mystery.log",
      "-rw-r--r--   1 owner    group        1234 Mar 04 05:06",    // no name
      "-rw-r--r--   1 owner    group        1234 Mxy 04 05:06 a",  // no month
      "-rw-r--r--   1 owner    group        1234 Feb 30  2023 a",  // no such day
      "-rw-r--r--   1 owner    group        1234 Mar 04 25:06 a",  // no such hour
      "-rw-r--r--   1 owner    group   123456789012345678901 Mar 04 05:06 a",  // size overflows
      "-rw-r--r--   1 owner    group        12a4 Mar 04 05:06 a",
      "-rwXr--r--   1 owner    group        1234 Mar 04 05:06 a",  // not a mode
      "13-04-24  05:06PM                 1234 a.log",             // month 13
      "03-04-24  13:06PM                 1234 a.log",             // hour 13 PM
      "03-04-24  05:06PM                 12x4 a.log",
      "03-04-24  05:06PM                 1234",
      "total",
      "total 12 34",
      std::string(5000, 'x'),
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    FtpListEntry e;
    e.name = "untouched";
    EXPECT_EQ(ParseFtpListLine(line, kToday, &e), FtpLine::Unknown);
    EXPECT_EQ(e.name, "untouched");
  }
}

TEST(HttpDate, TheThreeFormsAndGarbage) {
  struct Case {
    const char* text;
    bool ok;
    int year, month, day;
    uint32_t seconds;
  };
  const Case cases[] = {
      {"Tue, 07 Mar 2023 10:20:30 GMT", true, 2023, 3, 7, 10 * 3600 + 20 * 60 + 30},
      {"Tuesday, 07-Mar-23 10:20:30 GMT", true, 2023, 3, 7, 10 * 3600 + 20 * 60 + 30},
      {"Tue Mar  7 10:20:30 2023", true, 2023, 3, 7, 10 * 3600 + 20 * 60 + 30},
      {"tue, 29 feb 2024 00:00:00 gmt", true, 2024, 2, 29, 0},
      {"Thu, 29 Feb 2023 00:00:00 GMT", false, 0, 0, 0, 0},
      {"Tue, 07 Mar 2023 24:20:30 GMT", false, 0, 0, 0, 0},
      {"yesterday", false, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ServerFileInfo d;
    ASSERT_EQ(ParseHttpDate(c.text, &d), c.ok);
    if (!c.ok) {
      EXPECT_EQ(d.PackedDate(), 0u);
      continue;
    }
    EXPECT_EQ(d.year, c.year);
    EXPECT_EQ(d.month, c.month);
    EXPECT_EQ(d.day, c.day);
    EXPECT_EQ(d.seconds, c.seconds);
    EXPECT_EQ(d.PackedDate(), uint32_t(c.day) | uint32_t(c.month) << 8 | uint32_t(c.year) << 16);
  }
}

}  // namespace
