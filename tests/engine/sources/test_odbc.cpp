#include <dlfcn.h>
#include <glob.h>
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/textutil.h"
#include "engine/readers/linecommit.h"
#include "engine/sources/odbcload.h"
#include "tests/common/testenv.h"
#include "tests/engine/odbctest.h"
#include "tests/engine/readtest.h"

namespace {

using odbctest::ExecAll;
using odbctest::SqliteDriver;
using readtest::Records;
using readtest::Text;

constexpr uint32_t Packed(unsigned day, unsigned month, unsigned year) { return day | month << 8 | year << 16; }

const std::string kLongAgent = std::string(9000, 'a') + " Fetcher-bot";


// The driver manager's configuration and the fixture database, in this test
// binary's own folder; made once per process.
void PrepareDataSource() {
  static bool done = false;
  if (done) return;
  done = true;
  std::string driver = SqliteDriver();
  ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
  std::string dir = tvtest::NewDir("odbc");
  tvtest::WriteFile(dir + "odbcinst.ini", "[TvSQLite]\nDriver=" + driver + "\n");
  // Row by row (StepAPI), so that an error of a later row comes while fetching.
  tvtest::WriteFile(dir + "odbc.ini", "[tvlogs]\nDriver=TvSQLite\nDatabase=" + dir + "logs.db\nStepAPI=1\n");
  // The SQLite driver opens the configuration library for each connection and
  // closes it with its cache still allocated; held open, the cache stays reachable.
  dlopen("libodbcinst.so.2", RTLD_NOW);
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir + "odbc.ini").c_str(), 1);
  ExecAll("tvlogs",
          {
              "CREATE TABLE hits (ID INTEGER, HOST VARCHAR(40), PAGE VARCHAR(80), STAMP TIMESTAMP, "
              "REFERRER TEXT, AGENT TEXT, COOKIE TEXT, BYTES REAL, RECEIVED INTEGER, STATUS REAL, "
              "METHOD VARCHAR(8), NOTE TEXT)",
              "INSERT INTO hits VALUES (1, '10.0.0.1   ', '/shop/index.html?id=7   ', '2004-03-05 10:20:30', "
              "'http://www.example.org/', 'Mozilla/4.0+(compatible)', 'c1', 1234.9, 300, 200.0, 'POST  ', 'x')",
              "INSERT INTO hits VALUES (2, 'crawl.example ', '/img/a.GIF', '2004-03-06 00:00:01', '-', '" +
                  kLongAgent + "', NULL, NULL, NULL, 404.0, 'HEAD', NULL)",
              "INSERT INTO hits (ID, PAGE, STAMP) VALUES (3, '', '2004-03-05 00:00:00')",
              "INSERT INTO hits (ID, PAGE, STAMP) VALUES (4, '   ', '2004-03-05 00:00:00')",
              "INSERT INTO hits (ID, PAGE, STAMP) VALUES (5, NULL, '2004-03-05 00:00:00')",
              "INSERT INTO hits (ID, PAGE, STAMP) VALUES (6, '/old.html', '2003-12-31 23:59:59')",
              "INSERT INTO hits (ID, PAGE, STAMP) VALUES (7, '/undated.html', NULL)",
              // Addresses kept as numbers, unsigned and signed.
              "CREATE TABLE inthosts (host INTEGER, page TEXT)",
              "INSERT INTO inthosts VALUES (3232235777, '/u')",
              "INSERT INTO inthosts VALUES (-1062731519, '/s')",
              "CREATE TABLE nodate (page TEXT, status TEXT, size SMALLINT, received BIGINT)",
              "INSERT INTO nodate VALUES ('/a', '200', 512, 5000000000)",
              "INSERT INTO nodate VALUES ('/b', ' 301 ', -7, NULL)",
              // The third row fails in the driver.
              "CREATE TABLE seq (id INTEGER, page TEXT)",
              "INSERT INTO seq VALUES (1, '/1'), (2, '/2'), (3, '/3'), (4, '/4')",
              "CREATE VIEW broken AS SELECT id, page, "
              "CASE WHEN id = 3 THEN abs(-9223372036854775807 - 1) ELSE 0 END AS boom FROM seq",
          });
}

class Odbc : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareDataSource();
    readtest::ResetLoadState();
    CLogSourceList::InitEntry(&source);
    source.type = kSourceOdbc;
    // Keys in lower case: the table's columns are in upper case.
    Set(&source.db_dns, "tvlogs");
    Set(&source.db_table, "hits");
    Set(&source.db_host, "host");
    Set(&source.db_page, "page");
    Set(&source.db_date, "stamp");
    Set(&source.db_refer, "referrer");
    Set(&source.db_usera, "agent");
    Set(&source.db_cookie, "cookie");
    Set(&source.db_size, "bytes");
    Set(&source.db_sizer, "received");
    Set(&source.db_status, "status");
    Set(&source.db_met, "method");
    ParseIndexNames("index.html", &index);
    masks.AddList(".html", 0, kGroupPages);
    masks.AddList(".gif;.jpg", 1, kGroupOther);
  }
  void TearDown() override {
    CLogSourceList::FreeEntry(&source);
    readtest::ResetLoadState();
  }
  static void Set(char** field, const char* text) { SetStr(field, text); }
  // Only the given keys name columns.
  void Keys(const char* host, const char* page, const char* date) {
    for (char** f : {&source.db_host, &source.db_page, &source.db_date, &source.db_refer, &source.db_usera,
                     &source.db_cookie, &source.db_size, &source.db_sizer, &source.db_status, &source.db_met})
      Set(f, nullptr);
    Set(&source.db_host, host);
    Set(&source.db_page, page);
    Set(&source.db_date, date);
  }
  int Load(uint32_t from = 0, uint32_t to = 0) { return LoadOdbcTable(&source, masks, from, to, index); }
  std::vector<std::string> Pages() {
    std::vector<std::string> out;
    for (CHitRecord* r : Records(source.records)) out.push_back(r->PageText());
    return out;
  }

  CLogSource source;
  CGroupMaskList masks;
  CIndexNames index;
};

TEST_F(Odbc, RowsBecomeHitsThroughTheLineCommit) {
  tvtest::MessageCapture capture;
  g_project.send_receive = 1;
  g_auxTables.robots = {{"Fetcher-bot", false}};
  g_logFormat = kLogFormatIis;  // left over from a log file read before
  g_project.SetOdbcLoader(LoadOdbcTable);
  ASSERT_EQ(g_project.OdbcLoader()(&source, masks, Packed(1, 3, 2004), Packed(31, 3, 2004), index), 1);
  EXPECT_EQ(capture.AllErrors(), "");
  ASSERT_FALSE(capture.infos.empty());
  EXPECT_EQ(capture.infos.front(), "Loading ODBC data...");
  EXPECT_EQ(capture.infos.back(), "");

  // Empty, blank and NULL pages are not committed; the period drops rows 6 and 7.
  std::vector<CHitRecord*> recs = Records(source.records);
  ASSERT_EQ(recs.size(), 2u);

  const CHitRecord* a = recs[0];
  EXPECT_EQ(a->Address(), 0x0A000001u);
  EXPECT_EQ(a->GetHostName(), kNoText);
  EXPECT_STREQ(a->PageText(), "/shop/?id=7");  // blanks cut, default document cut, query kept
  EXPECT_TRUE(a->Flags() & kHitQuery);
  EXPECT_EQ(a->PageType(), 0);  // the folder group: the pages group
  EXPECT_EQ(a->Day(), 5);
  EXPECT_EQ(a->Month(), 3);
  EXPECT_EQ(a->Year(), 2004);
  EXPECT_EQ(a->Seconds(), 10u * 3600 + 20 * 60 + 30);
  EXPECT_EQ(Text(g_pools.referrers, a->GetReferrer()), "http://www.example.org/");
  EXPECT_EQ(Text(g_pools.agents, a->GetUserAgent()), "Mozilla/4.0+(compatible)");  // no format rule
  EXPECT_EQ(Text(g_pools.cookies, a->GetCookie()), "c1");
  EXPECT_EQ(a->BytesSent(), 1234u);  // a REAL, truncated
  EXPECT_EQ(a->GetBytesReceived(), 300u);
  EXPECT_EQ(a->Status(), 200);  // 200.0 stored as REAL
  EXPECT_TRUE(a->Flags() & kHitPost);
  EXPECT_FALSE(a->Flags() & (kHitRobot | kHitHead));

  const CHitRecord* b = recs[1];
  EXPECT_EQ(b->Address(), 0u);
  EXPECT_EQ(Text(g_pools.hosts, b->GetHostName()), "crawl.example");
  EXPECT_STREQ(b->PageText(), "/img/a.GIF");
  EXPECT_EQ(b->PageType(), 1);
  EXPECT_EQ(b->GetReferrer(), kNoText);  // "-"
  EXPECT_EQ(b->GetCookie(), kNoText);
  EXPECT_EQ(Text(g_pools.agents, b->GetUserAgent()), kLongAgent);  // read whole
  EXPECT_TRUE(b->Flags() & kHitRobot);
  EXPECT_TRUE(b->Flags() & kHitHead);
  EXPECT_EQ(b->Status(), 404);
  EXPECT_EQ(b->BytesSent(), 0u);

  EXPECT_EQ(g_project.first_date, Packed(5, 3, 2004));
  EXPECT_EQ(g_project.last_date, Packed(6, 3, 2004));
}

TEST_F(Odbc, WorkspaceOptionsAndFiltersApply) {
  g_project.display.ignore_argm = 1;
  BeginLogLoad();
  CFilter gifs;
  gifs.type = kFilterPage;
  gifs.text = strdup("*.gif");
  g_project.filters.Add(gifs);
  ASSERT_EQ(Load(), 1);
  // The period is open: the old and the undated rows come in, the picture does not.
  EXPECT_EQ(Pages(), (std::vector<std::string>{"/shop/", "/old.html", "/undated.html"}));
  CHitRecord* a = Records(source.records)[0];
  EXPECT_STREQ(a->PageText() + strlen("/shop/") + 1, "id=7");  // kept behind the path
}

TEST_F(Odbc, PeriodDropsRowsOutsideAndRowsWithoutADate) {
  struct Case {
    uint32_t from, to;
    std::vector<std::string> pages;
  } cases[] = {
      {0, 0, {"/shop/?id=7", "/img/a.GIF", "/old.html", "/undated.html"}},
      {Packed(6, 3, 2004), 0, {"/img/a.GIF"}},
      {0, Packed(5, 3, 2004), {"/shop/?id=7", "/old.html"}},
      {Packed(5, 3, 2004), Packed(5, 3, 2004), {"/shop/?id=7"}},
      {Packed(1, 1, 2005), 0, {}},
  };
  for (const Case& c : cases) {
    source.records.Free();
    source.records.Init();
    EXPECT_EQ(Load(c.from, c.to), 1);
    EXPECT_EQ(Pages(), c.pages) << c.from << ".." << c.to;
  }
}

TEST_F(Odbc, TableWithoutDateColumnAndNumericColumns) {
  Set(&source.db_table, "nodate");
  Keys(nullptr, "page", nullptr);
  Set(&source.db_status, "status");
  Set(&source.db_size, "size");
  Set(&source.db_sizer, "received");
  g_project.send_receive = 1;
  ASSERT_EQ(Load(Packed(1, 3, 2004), Packed(31, 3, 2004)), 1);  // every row, whatever the period
  std::vector<CHitRecord*> recs = Records(source.records);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0]->Status(), 200);
  EXPECT_EQ(recs[0]->BytesSent(), 512u);
  EXPECT_EQ(recs[0]->GetBytesReceived(), 0xFFFFFFFFu);  // beyond 32 bits
  EXPECT_EQ(recs[1]->Status(), 301);
  EXPECT_EQ(recs[1]->BytesSent(), 0u);  // negative

  Set(&source.db_table, "inthosts");
  Keys("HOST", "PAGE", nullptr);
  source.records.Free();
  source.records.Init();
  ASSERT_EQ(Load(), 1);
  recs = Records(source.records);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0]->Address(), 0xC0A80101u);
  EXPECT_EQ(recs[1]->Address(), 0xC0A80101u);
  EXPECT_EQ(recs[0]->GetHostName(), kNoText);
}

TEST_F(Odbc, BadSourcesReportAndKeepWhatWasRead) {
  struct Case {
    const char* dsn;
    const char* table;
    int result;
    const char* error;  // part of the one error reported, or "" for none
  } cases[] = {
      {"nosuchsource", "hits", 0, "Error: [unixODBC][Driver Manager]Data source name not found"},
      {"nosuchsource", "hits", 0, "\nState: IM002\n"},
      {"tvlogs", "nosuchtable", 0, "no such table: nosuchtable"},
      {"tvlogs", "nosuchtable", 0, "\nState: HY000\n"},
      {"tv\nlogs", "hits", 0, "Error: Control character in the data source name"},
      {"", "hits", 0, "needs a data source name and a table name"},
      {"tvlogs", "", 0, "needs a data source name and a table name"},
      {"tvlogs", "hits; DROP TABLE hits", 0, "ODBC table name 'hits; DROP TABLE hits' refused"},
      {"tvlogs", "hits WHERE 1=0", 0, "refused"},
      {"tvlogs", "'hits'", 0, "refused"},
      {"tvlogs", "\"hits\"", 0, "refused"},
      {"tvlogs", "hits\n", 0, "ODBC table name 'hits?' refused"},
      {"tvlogs", "hits--", 0, "refused"},
      {"tvlogs", "main.hits.x", 0, "refused"},
      {"tvlogs", "main..hits", 0, "refused"},
      {"tvlogs", " main.hits ", 1, ""},
  };
  for (const Case& c : cases) {
    tvtest::MessageCapture capture;
    Set(&source.db_dns, c.dsn);
    Set(&source.db_table, c.table);
    source.records.Free();
    source.records.Init();
    EXPECT_EQ(Load(), c.result) << c.table;
    if (*c.error) {
      ASSERT_EQ(capture.errors.size(), 1u) << c.table;
      EXPECT_NE(capture.errors[0].find(c.error), std::string::npos) << capture.errors[0];
    } else {
      EXPECT_EQ(capture.AllErrors(), "");
      EXPECT_EQ(source.records.RecordCount(), 4u);
    }
  }
  // A database error also goes to the status line.
  tvtest::MessageCapture capture;
  Set(&source.db_table, "nosuchtable");
  Load();
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_NE(std::find(capture.infos.begin(), capture.infos.end(), capture.errors[0]), capture.infos.end());
}

TEST_F(Odbc, WrongColumnNamesAreReported) {
  tvtest::MessageCapture capture;
  Set(&source.db_page, "PAGES");
  Set(&source.db_cookie, "crumb");
  EXPECT_EQ(Load(), 1);
  EXPECT_EQ(source.records.RecordCount(), 0u);  // no page, nothing committed
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_EQ(capture.errors[0], "ODBC table 'hits' has no column 'PAGES', 'crumb'");

  // A date column that holds texts: no row has a date within a period.
  tvtest::MessageCapture capture2;
  source.records.Free();
  source.records.Init();
  Keys(nullptr, "page", "note");
  EXPECT_EQ(Load(Packed(1, 1, 2000), 0), 1);
  EXPECT_EQ(source.records.RecordCount(), 0u);
  ASSERT_EQ(capture2.errors.size(), 1u);
  EXPECT_EQ(capture2.errors[0], "ODBC column 'NOTE' of table 'hits' holds no dates");
}

TEST_F(Odbc, DriverErrorWhileFetchingKeepsTheRowsRead) {
  tvtest::MessageCapture capture;
  Set(&source.db_table, "broken");
  Keys(nullptr, "page", nullptr);
  EXPECT_EQ(Load(), 0);
  EXPECT_EQ(Pages(), (std::vector<std::string>{"/1", "/2"}));
  ASSERT_EQ(capture.errors.size(), 1u);
  EXPECT_EQ(capture.errors[0].rfind("Error: ", 0), 0u);
  EXPECT_NE(capture.errors[0].find("integer overflow"), std::string::npos) << capture.errors[0];
}

TEST_F(Odbc, StopEndsTheReadAsDone) {
  RequestStop();
  EXPECT_EQ(Load(), 1);
  EXPECT_EQ(source.records.RecordCount(), 0u);
  ClearStop();
}

TEST(OdbcFields, ColumnRolesAndConversions) {
  CLogSource keys;
  CLogSourceList::InitEntry(&keys);
  SetStr(&keys.db_host, "client");
  SetStr(&keys.db_page, "CLIENT");  // the host takes a column that both name
  SetStr(&keys.db_size, "n");
  SetStr(&keys.db_met, "verb");
  EXPECT_EQ(OdbcColumnRole(keys, "Client"), OdbcRole::kHost);
  EXPECT_EQ(OdbcColumnRole(keys, "N"), OdbcRole::kSize);
  EXPECT_EQ(OdbcColumnRole(keys, "referrer"), OdbcRole::kNone);
  EXPECT_EQ(OdbcColumnRole(keys, ""), OdbcRole::kNone);  // empty keys match nothing

  struct Case {
    tv::OdbcType type;
    const char* text;
    int64_t integer;
    double real;
    uint32_t bytes;
  } cases[] = {
      {tv::OdbcType::Text, "1234", 0, 0, 1234},
      {tv::OdbcType::Text, " 12.9kB", 0, 0, 12},
      {tv::OdbcType::Text, "-", 0, 0, 0},
      {tv::OdbcType::Text, "-5", 0, 0, 0},
      {tv::OdbcType::Text, "99999999999999999999999", 0, 0, 0xFFFFFFFFu},
      {tv::OdbcType::Integer, "", -1, 0, 0},
      {tv::OdbcType::Integer, "", 4294967295LL, 0, 0xFFFFFFFFu},
      {tv::OdbcType::Real, "", 0, 7.99, 7},
      {tv::OdbcType::Real, "", 0, -3.5, 0},
      {tv::OdbcType::Real, "", 0, 1e300, 0xFFFFFFFFu},
      {tv::OdbcType::Real, "", 0, std::nan(""), 0},
      {tv::OdbcType::Timestamp, "", 0, 0, 77},  // not a number: left as it was
  };
  CGroupMaskList masks;
  CIndexNames index;
  tv::OdbcColumn column;
  column.name = "n";
  CHitStore store;
  for (const Case& c : cases) {
    CHitRecord* r = store.NewRecord();
    r->SetBytesSent(77);
    tv::OdbcValue v;
    v.null = false;
    v.type = c.type;
    v.text = c.text;
    v.integer = c.integer;
    v.real = c.real;
    ConvertOdbcField(r, keys, column, &v, masks, index);
    EXPECT_EQ(r->BytesSent(), c.bytes) << c.text << c.integer << ' ' << c.real;
  }

  // Methods: only the first letter counts, after the blanks are cut.
  column.name = "verb";
  for (auto [method, flags] : {std::pair{"  ", 0}, {"PUT", kHitPost}, {"HEAD ", kHitHead}, {"get", 0}}) {
    CHitRecord* r = store.NewRecord();
    tv::OdbcValue v;
    v.null = false;
    v.type = tv::OdbcType::Text;
    v.text = method;
    ConvertOdbcField(r, keys, column, &v, masks, index);
    EXPECT_EQ(r->Flags(), flags) << method;
  }
  CLogSourceList::FreeEntry(&keys);
}

TEST(OdbcFields, DateRangeAndBlanks) {
  tv::OdbcTimestamp d;
  d.year = 2004;
  d.month = 3;
  d.day = 5;
  d.hour = 23;
  EXPECT_TRUE(IsDateInFilterRange(d, 0, 0));
  EXPECT_TRUE(IsDateInFilterRange(d, Packed(5, 3, 2004), Packed(5, 3, 2004)));  // the time does not count
  EXPECT_FALSE(IsDateInFilterRange(d, Packed(6, 3, 2004), 0));
  EXPECT_FALSE(IsDateInFilterRange(d, 0, Packed(4, 3, 2004)));
  EXPECT_TRUE(IsDateInFilterRange(d, Packed(31, 12, 2003), 0));  // calendar order, not day order

  char text[] = "a b \t  ";
  EXPECT_STREQ(TrimTrailingBlanks(text), "a b \t");
  char blank[] = "   ";
  EXPECT_STREQ(TrimTrailingBlanks(blank), "");
  EXPECT_EQ(TrimTrailingBlanks(nullptr), nullptr);
}

}  // namespace
