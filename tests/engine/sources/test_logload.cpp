#include "engine/sources/logload.h"

#include <dlfcn.h>
#include <glob.h>
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/readers/logread.h"
#include "engine/sources/logcache.h"
#include "engine/sources/odbcload.h"
#include "engine/sources/remotelogs.h"
#include "engine/store/project.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"
#include "tests/engine/odbctest.h"
#include "tests/engine/readtest.h"
#include "tests/servers/testserver.h"

namespace {

namespace fs = std::filesystem;

// A W3C log of n lines whose pages are /<tag>/<i>.html.
std::string W3cLog(const std::string& tag, int n) {
  std::string s = "#Software: Microsoft Internet Information Services 6.0\n#Fields: date time c-ip cs-uri-stem\n";
  for (int i = 0; i < n; ++i)
    s += "2004-01-02 10:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i % 60) + " 10.0.0." +
         std::to_string(i % 200 + 1) + " /" + tag + "/" + std::to_string(i) + ".html\n";
  return s;
}

void Gzip(const std::string& path) {
  ASSERT_EQ(std::system(("gzip -n -f '" + path + "'").c_str()), 0) << "gzip is needed for the fixtures";
}

// Every page of the source's records, in store order.
std::vector<std::string> Pages(CLogSource& s) {
  std::vector<std::string> pages;
  for (CHitRecord* r : readtest::Records(s.records)) pages.push_back(readtest::Text(g_pools.pages, r->Page()));
  return pages;
}

struct Tag {
  std::string tag;
  int n;
};
// The source holds the pages of the tags, each exactly once, and nothing else.
void ExpectEveryRecordOnce(CLogSource& s, const std::vector<Tag>& tags) {
  std::vector<std::string> pages = Pages(s);
  std::multiset<std::string> got(pages.begin(), pages.end());
  size_t want = 0;
  for (const Tag& t : tags) {
    want += static_cast<size_t>(t.n);
    for (int i = 0; i < t.n; ++i)
      EXPECT_EQ(got.count("/" + t.tag + "/" + std::to_string(i) + ".html"), 1u) << t.tag << i;
  }
  EXPECT_EQ(got.size(), want);
}

bool HasText(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Files the loader's temporary copies would leave behind.
std::vector<std::string> LeftoverTemps() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(tv::TempDir()))
    if (e.path().filename().string().rfind("log", 0) == 0) names.push_back(e.path().string());
  return names;
}

class LogLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    readtest::ResetLoadState();
    g_project.keep_downloads = 0;
    fs::remove_all(CLogCache::CacheFolder());
    g_logCache.records.Clear();
    g_logCache.LoadCacheIndex();
    masks.AddList(".html", 0, kGroupPages);
    dir = tvtest::NewDir("logs");
  }
  void TearDown() override {
    g_project.sources.Clear();
    readtest::ResetLoadState();
  }
  CLogSource* AddLocal(const std::string& file) {
    CLogSource s;
    CLogSourceList::InitEntry(&s);
    SetStr(&s.file, file.c_str());
    return g_project.sources.Add(s);
  }
  int Load() {
    return LoadLogSources(g_project.sources, masks, 0, 0, LoadOdbcTable, "index.html");
  }
  std::vector<std::string> FilesRead() const {
    std::vector<std::string> names;
    for (const CLogFileRead& f : g_filesRead) names.push_back(f.name);
    return names;
  }

  CGroupMaskList masks;
  std::string dir;
  tvtest::MessageCapture capture;
};

TEST(LogLoadPaths, FtpPathSplitsIntoFolderAndMask) {
  struct Case {
    const char* path;
    const char* folder;
    const char* mask;
  } cases[] = {
      {nullptr, "", ""},
      {"", "", ""},
      {"logs/", "logs/", "*.*"},
      {"/*.log", "/", "*.log"},
      {"logs/*.log", "logs/", "*.log"},
      {"\\logs\\w3c\\ex*.log", "/logs/w3c/", "ex*.log"},
      {"ex??.log", "", "ex??.log"},
      {"*/x.log", "", "*/x.log"},
      {"/logs/a/b.log", "/logs/a/", "b.log"},
      {"access.log", "", "access.log"},
  };
  for (const Case& c : cases) {
    FtpPathParts p = SplitFtpPath(c.path);
    EXPECT_EQ(p.folder, c.folder) << (c.path ? c.path : "null");
    EXPECT_EQ(p.mask, c.mask) << (c.path ? c.path : "null");
  }
}

TEST(LogLoadPaths, RemoteNameHasOneSlashBetweenServerAndFolder) {
  EXPECT_EQ(FtpRemoteName("ftp.example", "logs/", "a.log"), "ftp.example/logs/a.log");
  EXPECT_EQ(FtpRemoteName("ftp.example/", "/logs/", "a.log"), "ftp.example/logs/a.log");
  EXPECT_EQ(FtpRemoteName("ftp.example", "/logs/", "a.log"), "ftp.example/logs/a.log");
  EXPECT_EQ(FtpRemoteName("ftp.example/", "logs/", "a.log"), "ftp.example/logs/a.log");
  EXPECT_EQ(FtpRemoteName("ftp.example", "", "a.log"), "ftp.example/a.log");
}

TEST(LogLoadPaths, FileMaskInfoCountsAndSums) {
  std::string d = tvtest::NewDir("maskinfo");
  tvtest::WriteFile(d + "a.log", std::string(1000, 'a'));
  tvtest::WriteFile(d + "b.log", std::string(2072, 'b'));
  fs::create_directory(d + "c.log");
  uint64_t total = 1;
  char out[64] = "x";
  EXPECT_EQ(FormatFileMaskInfo(out, sizeof out, (d + "*.log").c_str(), &total), 2);
  EXPECT_EQ(total, 3072u);
  EXPECT_STREQ(out, "x");  // with a total nothing is written
  FormatFileMaskInfo(out, sizeof out, (d + "*.log").c_str(), nullptr);
  EXPECT_STREQ(out, "2 files - 3.00 KB");
  FormatFileMaskInfo(out, sizeof out, (d + "a.log").c_str(), nullptr);
  EXPECT_STREQ(out, "1000");
  EXPECT_EQ(FormatFileMaskInfo(out, sizeof out, (d + "*.none").c_str(), nullptr), 0);
  EXPECT_STREQ(out, "0 files");
  EXPECT_EQ(FormatFileMaskInfo(out, sizeof out, (d + "c.log").c_str(), &total), 0);
  EXPECT_EQ(total, 0u);
}

TEST_F(LogLoad, ListsWildcardsAndCompressedFilesLoadOnceAndReloadOnlyWhatChanged) {
  tvtest::WriteFile(dir + "a.log", W3cLog("a", 30));
  tvtest::WriteFile(dir + "b.log", W3cLog("b", 20));
  std::string w = tvtest::NewDir("logs/w");
  tvtest::WriteFile(w + "2.log", W3cLog("w2", 15));
  tvtest::WriteFile(w + "1.log", W3cLog("w1", 25));
  Gzip(w + "1.log");
  tvtest::WriteFile(w + "3.log", W3cLog("w3", 5));
  fs::create_directory(w + "sub.log");  // a folder is no match
  CLogSource* list = AddLocal(dir + "a.log;" + dir + "b.log");
  CLogSource* wild = AddLocal(w + "*");

  ASSERT_EQ(Load(), 1) << capture.AllErrors();
  EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
  ExpectEveryRecordOnce(*list, {{"a", 30}, {"b", 20}});
  ExpectEveryRecordOnce(*wild, {{"w1", 25}, {"w2", 15}, {"w3", 5}});
  // Wildcard matches in name order, the compressed one under its own name.
  EXPECT_EQ(FilesRead(), (std::vector<std::string>{dir + "a.log", dir + "b.log", w + "1.log.gz", w + "2.log",
                                                    w + "3.log"}));
  EXPECT_EQ(g_filesRead[2].size, static_cast<uint64_t>(tv::FileSize(w + "1.log.gz")));
  EXPECT_EQ(g_filesRead[2].records, 25u);
  EXPECT_TRUE(HasText(capture.infos, "Parsing log file '" + w + "1.log.gz'..."));
  EXPECT_TRUE(LeftoverTemps().empty());
  EXPECT_EQ(g_loadRecords, 95u);
  EXPECT_TRUE(list->loaded && wild->loaded);
  EXPECT_NE(tvtest::ReadFile(BugLogPath()).find("TOTAL size log=" + std::to_string(g_loadBytes) + ", strings=95"),
            std::string::npos);

  // Nothing changed: nothing is read.
  capture.infos.clear();
  EXPECT_EQ(Load(), 0);
  EXPECT_TRUE(HasText(capture.infos, "Skip parsing..."));
  EXPECT_TRUE(g_filesRead.empty());
  EXPECT_EQ(list->records.RecordCount(), 50u);

  // A new match changes the wildcard source's list: only that source is read again.
  tvtest::WriteFile(w + "4.log", W3cLog("w4", 3));
  capture.infos.clear();
  EXPECT_EQ(Load(), 1);
  EXPECT_FALSE(HasText(capture.infos, "Skip parsing..."));
  EXPECT_EQ(FilesRead().size(), 4u);
  ExpectEveryRecordOnce(*wild, {{"w1", 25}, {"w2", 15}, {"w3", 5}, {"w4", 3}});
  EXPECT_EQ(list->records.RecordCount(), 50u);
}

// Without a safe temporary folder a compressed log cannot be decoded: each one
// is named, none is read as plain bytes, the plain logs still load.
TEST_F(LogLoad, CompressedLogsWithoutATemporaryFolderAreNamedNotReadRaw) {
  tvtest::WriteFile(dir + "p.log", W3cLog("p", 6));
  for (const char* name : {"z1.log", "z2.log"}) {
    tvtest::WriteFile(dir + name, W3cLog(name, 9));
    Gzip(dir + name);
  }
  const char* old = getenv("TMPDIR");
  const std::string saved = old ? old : "";
  tvtest::WriteFile(tvtest::Home() + "notafolder", "x");
  setenv("TMPDIR", (tvtest::Home() + "notafolder").c_str(), 1);
  tv::ResetFolders();
  ASSERT_TRUE(tv::TempDir().empty());
  CLogSource* s = AddLocal(dir + "*.*");
  int loaded = Load();
  if (old) setenv("TMPDIR", saved.c_str(), 1);
  else unsetenv("TMPDIR");
  tv::ResetFolders();
  EXPECT_EQ(loaded, 1);
  ExpectEveryRecordOnce(*s, {{"p", 6}});
  for (const char* name : {"z1.log.gz", "z2.log.gz"})
    EXPECT_TRUE(HasText(capture.errors, "cannot decompress " + dir + name + ": no safe temporary folder"))
        << capture.AllErrors();
  EXPECT_EQ(capture.errors.size(), 2u) << capture.AllErrors();
}

TEST_F(LogLoad, BadSourcesAreReportedAndTheOthersStillLoad) {
  tvtest::WriteFile(dir + "good.log", W3cLog("g", 12));
  tvtest::WriteFile(dir + "locked.log", W3cLog("l", 3));
  chmod((dir + "locked.log").c_str(), 0);
  tvtest::WriteFile(dir + "corrupt.log", W3cLog("c", 40));
  Gzip(dir + "corrupt.log");
  std::string gz = tvtest::ReadFile(dir + "corrupt.log.gz");
  tvtest::WriteFile(dir + "corrupt.log.gz", gz.substr(0, gz.size() / 2));
  fs::create_directories(dir + "only/folder.log");

  AddLocal(dir + "missing.log");
  AddLocal(dir + "only");                 // a folder
  AddLocal(dir + "locked.log");           // unreadable
  AddLocal(dir + "nothing/*.log");        // no such folder
  AddLocal(dir + "only/*.log");           // matches nothing but a folder
  AddLocal(dir + "corrupt.log.gz");       // a compressed file cut in half
  CLogSource* good = AddLocal(dir + "good.log");

  EXPECT_EQ(Load(), 1);
  ExpectEveryRecordOnce(*good, {{"g", 12}});
  for (const std::string& path : {dir + "missing.log", dir + "only", dir + "nothing/*.log", dir + "only/*.log"})
    EXPECT_TRUE(HasText(capture.errors, "Cannot open file '" + path + "'")) << path << capture.AllErrors();
  if (geteuid() != 0) {
    EXPECT_TRUE(HasText(capture.errors, "Cannot open file '" + dir + "locked.log'"));
  }
  // The wildcard sources that found no file have nothing to read.
  EXPECT_EQ(std::count(capture.infos.begin(), capture.infos.end(), "-no files-"), 2);
  // The corrupt file is reported by the decompressor, counted among the load's
  // problems, never read as text, and leaves no copy.
  EXPECT_TRUE(std::any_of(capture.errors.begin(), capture.errors.end(), [&](const std::string& e) {
    return e.rfind("Cannot decompress", 0) == 0 && e.find("corrupt.log.gz") != std::string::npos;
  })) << capture.AllErrors();
  EXPECT_TRUE(HasText(LogLoadProblems(), "Cannot decompress the log file '" + dir + "corrupt.log.gz'"));
  EXPECT_FALSE(HasText(capture.infos, "'" + dir + "corrupt.log.gz' Incorrect or empty log file"));
  EXPECT_TRUE(LeftoverTemps().empty());
  chmod((dir + "locked.log").c_str(), 0644);
}

TEST_F(LogLoad, TinyLogsAreEmptyLogsAndWhatIsNoFileIsRefusedAtOnce) {
  // Too short to be compressed: read as (empty) plain logs, with no error at all.
  std::vector<CLogSource*> tiny;
  for (const char* name : {"empty.log", "one.log", "magic.log"}) tiny.push_back(AddLocal(dir + name));
  tvtest::WriteFile(dir + "empty.log", "");
  tvtest::WriteFile(dir + "one.log", "x");
  tvtest::WriteFile(dir + "magic.log", "\x1f");

  // Nothing may wait in open: a FIFO without a writer, a device, a socket.
  const std::string fifo = dir + "pipe.log", sock = dir + "sock.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int sd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(sock.size(), sizeof addr.sun_path);
  memcpy(addr.sun_path, sock.c_str(), sock.size());
  ASSERT_EQ(bind(sd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), sock}) AddLocal(path);
  EXPECT_EQ(LocalCopiesPresent(fifo.c_str()), 0);

  EXPECT_EQ(Load(), 1);
  close(sd);
  for (const std::string& path : {fifo, std::string("/dev/zero"), sock})
    EXPECT_TRUE(HasText(capture.errors, "Cannot open file '" + path + "'")) << path << capture.AllErrors();
  EXPECT_EQ(capture.errors.size(), 3u) << capture.AllErrors();
  for (CLogSource* s : tiny) {
    EXPECT_TRUE(s->loaded);
    EXPECT_EQ(s->records.RecordCount(), 0u);
    EXPECT_TRUE(HasText(capture.infos, "'" + std::string(s->file) + "' Incorrect or empty log file"));
  }
  EXPECT_TRUE(LeftoverTemps().empty());
}

TEST_F(LogLoad, StopBeforeTheSecondPassLeavesSourcesToBeReadNextTime) {
  tvtest::WriteFile(dir + "a.log", W3cLog("a", 5));
  CLogSource* s = AddLocal(dir + "a.log");
  RequestStop();
  EXPECT_EQ(Load(), 0);
  EXPECT_FALSE(s->loaded);
  EXPECT_EQ(s->records.RecordCount(), 0u);
  ClearStop();
  EXPECT_EQ(Load(), 1);
  ExpectEveryRecordOnce(*s, {{"a", 5}});
}

// ---------------------------------------------------------------------------
// Remote and database sources against the test servers and the SQLite driver.


void Exec(const std::vector<std::string>& statements) { odbctest::ExecAll("tvlogs", statements); }

// The data source "tvlogs" laid out as the ODBC table tests lay it out (the
// driver manager keeps the first configuration path it sees for the whole
// process), with a table of this file's own.
void PrepareDataSource(int rows) {
  if (!getenv("ODBCSYSINI")) {
    std::string driver = odbctest::SqliteDriver();
    ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
    std::string d = tvtest::NewDir("odbc");
    tvtest::WriteFile(d + "odbcinst.ini", "[TvSQLite]\nDriver=" + driver + "\n");
    tvtest::WriteFile(d + "odbc.ini", "[tvlogs]\nDriver=TvSQLite\nDatabase=" + d + "logs.db\nStepAPI=1\n");
    dlopen("libodbcinst.so.2", RTLD_NOW);
    setenv("ODBCSYSINI", d.c_str(), 1);
    setenv("ODBCINI", (d + "odbc.ini").c_str(), 1);
  }
  std::vector<std::string> sql = {"DROP TABLE IF EXISTS loadhits",
                                  "CREATE TABLE loadhits (host TEXT, page TEXT, stamp TIMESTAMP)"};
  for (int i = 0; i < rows; ++i)
    sql.push_back("INSERT INTO loadhits VALUES ('10.1.0." + std::to_string(i + 1) + "', '/db/" + std::to_string(i) +
                  ".html', '2004-01-02 11:00:00')");
  Exec(sql);
}

class RemoteLoad : public LogLoad {
 protected:
  static void SetUpTestSuite() {
    root = tvtest::NewDir("servers");
    tv::MakeDirs(root + "ftp/alice/logs/");
    tv::MakeDirs(root + "ftp/alice/broken/");
    tv::MakeDirs(root + "ftp/anon/");
    tv::MakeDirs(root + "http/");
    ftp = new tvtest::TestServer;
    http = new tvtest::TestServer;
    if (!ftp->Start("ftp_server.py", {"--root", root + "ftp"}, &startError)) ftpPort = 0;
    else ftpPort = ftp->Port();
    if (!http->Start("http_server.py", {"--root", root + "http"}, &startError)) httpPort = 0;
    else httpPort = http->Port();
  }
  static void TearDownTestSuite() {
    delete ftp;
    delete http;
    ftp = http = nullptr;
  }
  void SetUp() override {
    if (!ftpPort || !httpPort) GTEST_SKIP() << startError;
    LogLoad::SetUp();
    SetTransferTimeout(3000);
  }
  void TearDown() override {
    CloseInternetSessions();
    SetTransferTimeout(30000);
    LogLoad::TearDown();
  }
  CLogSource* AddFtp(const char* path) {
    CLogSource s;
    CLogSourceList::InitEntry(&s);
    s.type = kSourceFtp;
    SetStr(&s.server, "127.0.0.1");
    s.port = static_cast<uint16_t>(ftpPort);
    SetStr(&s.user, "alice");
    SetStr(&s.psw, "secret");
    SetStr(&s.path, path);
    s.prop = 2;
    return g_project.sources.Add(s);
  }
  CLogSource* AddHttp(const std::string& object) {
    CLogSource s;
    CLogSourceList::InitEntry(&s);
    s.type = kSourceHttp;
    SetStr(&s.url, Url(object).c_str());
    return g_project.sources.Add(s);
  }
  CLogSource* AddOdbc() {
    CLogSource s;
    CLogSourceList::InitEntry(&s);
    s.type = kSourceOdbc;
    SetStr(&s.db_dns, "tvlogs");
    SetStr(&s.db_table, "loadhits");
    SetStr(&s.db_host, "host");
    SetStr(&s.db_page, "page");
    SetStr(&s.db_date, "stamp");
    return g_project.sources.Add(s);
  }
  static std::string Url(const std::string& object) {
    return "http://127.0.0.1:" + std::to_string(httpPort) + "/" + object;
  }
  static bool Cached(const std::string& remote) {
    for (int i = 0; i < g_logCache.Count(); ++i)
      if (remote == g_logCache.Record(i)->sfile) return true;
    return false;
  }
  // Files of the cache folder other than its index.
  static std::vector<std::string> CacheFiles() {
    std::vector<std::string> names;
    if (!fs::exists(CLogCache::CacheFolder())) return names;
    for (const auto& e : fs::directory_iterator(CLogCache::CacheFolder()))
      if (e.path().filename() != "cache.cfg") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string root, startError;
  static tvtest::TestServer *ftp, *http;
  static int ftpPort, httpPort;
};
std::string RemoteLoad::root, RemoteLoad::startError;
tvtest::TestServer *RemoteLoad::ftp = nullptr, *RemoteLoad::http = nullptr;
int RemoteLoad::ftpPort = 0, RemoteLoad::httpPort = 0;

TEST_F(RemoteLoad, OneSourceOfEachKindLoadsOnceSkipsWhenUnchangedAndFallsBackToTheCache) {
  std::string logs = root + "ftp/alice/logs/";
  tvtest::WriteFile(logs + "f1.log", W3cLog("f1", 20));
  tvtest::WriteFile(logs + "f2.log", W3cLog("f2", 10));
  Gzip(logs + "f2.log");
  tvtest::WriteFile(logs + "access_log", W3cLog("f3", 4));  // no dot: "*.*" still takes it
  tvtest::WriteFile(root + "http/h.log", W3cLog("h", 17));
  PrepareDataSource(6);
  tvtest::WriteFile(dir + "local.log", W3cLog("loc", 9));

  CLogSource* ftpSource = AddFtp("logs/");
  CLogSource* httpSource = AddHttp("h.log");
  CLogSource* local = AddLocal(dir + "local.log");
  CLogSource* db = AddOdbc();

  ASSERT_EQ(Load(), 1) << capture.AllErrors();
  EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
  ExpectEveryRecordOnce(*ftpSource, {{"f1", 20}, {"f2", 10}, {"f3", 4}});
  ExpectEveryRecordOnce(*httpSource, {{"h", 17}});
  ExpectEveryRecordOnce(*local, {{"loc", 9}});
  EXPECT_EQ(db->records.RecordCount(), 6u);
  for (CLogSource* s : {ftpSource, httpSource, local, db}) EXPECT_TRUE(s->loaded);
  std::string server = "127.0.0.1/logs/";
  EXPECT_TRUE(Cached(server + "f1.log") && Cached(server + "f2.log.gz") && Cached(server + "access_log"));
  EXPECT_TRUE(Cached(Url("h.log")));
  // Remote files are shown by their remote names; the local one by its path.
  std::vector<std::string> read = FilesRead();
  EXPECT_TRUE(HasText(read, server + "f2.log.gz"));
  EXPECT_TRUE(HasText(read, Url("h.log")));
  EXPECT_EQ(read.back(), dir + "local.log");
  EXPECT_TRUE(LeftoverTemps().empty());
  // Downloaded lists are forgotten, the records stay current.
  EXPECT_EQ(ftpSource->files, nullptr);
  EXPECT_EQ(httpSource->files, nullptr);
  EXPECT_NE(local->files, nullptr);

  capture.infos.clear();
  EXPECT_EQ(Load(), 0);
  EXPECT_TRUE(HasText(capture.infos, "Skip FTP..."));
  EXPECT_TRUE(HasText(capture.infos, "Skip HTTP..."));
  EXPECT_TRUE(HasText(capture.infos, "Skip parsing..."));
  EXPECT_EQ(ftpSource->records.RecordCount(), 34u);

  // Records dropped; the HTTP file is gone from the server by now.
  fs::remove(root + "http/h.log");
  for (CLogSource* s : {ftpSource, httpSource, local, db}) s->loaded = 0;
  capture.infos.clear();
  ASSERT_EQ(Load(), 1);
  EXPECT_TRUE(HasText(capture.infos, "'" + server + "f1.log' - Get from cache"));
  EXPECT_TRUE(HasText(capture.infos, "'" + Url("h.log") + "' - Get from cache"));
  ExpectEveryRecordOnce(*ftpSource, {{"f1", 20}, {"f2", 10}, {"f3", 4}});
  ExpectEveryRecordOnce(*httpSource, {{"h", 17}});
  EXPECT_EQ(db->records.RecordCount(), 6u);
}

// A remote name holding ';' is one remote file, never a remote part and a
// local file beside the current folder.
TEST_F(RemoteLoad, SemicolonInARemoteNameNeverReadsALocalFile) {
  tv::MakeDirs(root + "ftp/alice/semi/");
  tvtest::WriteFile(root + "ftp/alice/semi/evil;victim.log", W3cLog("ftp", 5));
  tvtest::WriteFile(root + "http/a;victim.log", W3cLog("web", 3));
  tvtest::WriteFile(dir + "victim.log", W3cLog("local", 7));
  tvtest::WriteFile(dir + "evil", W3cLog("local", 7));
  tvtest::WriteFile(dir + "semi;x.log", W3cLog("semi", 2));  // a local name with ';' found by a mask
  std::string here = tv::CurrentDir();
  ASSERT_TRUE(tv::ChangeDir(dir));
  CLogSource* ftpSource = AddFtp("semi/");
  CLogSource* httpSource = AddHttp("a;victim.log");
  CLogSource* local = AddLocal(dir + "semi*.log");
  int loaded = Load();
  tv::ChangeDir(here);
  ASSERT_EQ(loaded, 1) << capture.AllErrors();
  ExpectEveryRecordOnce(*ftpSource, {{"ftp", 5}});
  ExpectEveryRecordOnce(*httpSource, {{"web", 3}});
  ExpectEveryRecordOnce(*local, {{"semi", 2}});
  std::vector<std::string> read = FilesRead();
  EXPECT_TRUE(HasText(read, "127.0.0.1/semi/evil;victim.log"));
  EXPECT_TRUE(HasText(read, Url("a;victim.log")));
  EXPECT_FALSE(HasText(read, "victim.log"));
}

TEST_F(RemoteLoad, FailedTransfersLeaveNoCopyForALaterLoad) {
  tvtest::WriteFile(root + "ftp/alice/broken/cut.log", W3cLog("cut", 200));
  CLogSource* ftpSource = AddFtp("/broken/*.log");
  CLogSource* cut = AddHttp("cut.log");        // announces more than it sends
  CLogSource* missing = AddHttp("none.log");   // 404

  EXPECT_EQ(Load(), 0);
  EXPECT_TRUE(HasText(capture.infos, "!Stop FTP Connection"));
  EXPECT_TRUE(HasText(capture.messages, "Cannot open URL '" + Url("none.log") + "'"));
  for (CLogSource* s : {ftpSource, cut, missing}) {
    EXPECT_EQ(s->records.RecordCount(), 0u);
    EXPECT_EQ(s->files, nullptr);
  }
  EXPECT_EQ(g_logCache.Count(), 0);
  EXPECT_TRUE(CacheFiles().empty());

  // The next load, with the request failing too, finds no copy to take.
  capture.infos.clear();
  capture.messages.clear();
  EXPECT_EQ(Load(), 0);
  EXPECT_TRUE(HasText(capture.messages, "Cannot open URL '" + Url("none.log") + "'"));
  EXPECT_FALSE(HasText(capture.infos, "'" + Url("cut.log") + "' - Get from cache"));
  EXPECT_FALSE(HasText(capture.infos, "'" + Url("none.log") + "' - Get from cache"));
}

// Every source that could not be read is named with its reason, so an
// unattended run can fail on them; a server that trickles its listing or its
// log ends under the low-speed limit (shortened here to a second).
TEST_F(RemoteLoad, ProblemsOfTheLoadNameEachFailedSourceAndWhy) {
  tvtest::WriteFile(root + "ftp/alice/logs/f1.log", W3cLog("f1", 20));
  tvtest::WriteFile(dir + "good.log", W3cLog("g", 5));
  SetTransferLowSpeed(1024, 1000);
  AddLocal(dir + "missing.log");
  AddLocal(dir + "good.log");
  AddHttp("none.log");
  AddHttp("trickle.log");
  CLogSource* slow = AddFtp("/logs/*.log");
  SetStr(&slow->user, "slow");
  SetStr(&slow->psw, "slow");
  EXPECT_EQ(Load(), 1);
  SetTransferLowSpeed(1024, 60000);
  std::vector<std::string> problems = LogLoadProblems();
  std::string all;
  for (const std::string& p : problems) all += "  " + p + "\n";
  const std::string expected[] = {
      "Cannot list the folder '/logs/' on the FTP server '127.0.0.1': InternetException (getServerFiles): the "
      "transfer stayed below 1024 bytes a second for 1 s",
      "Cannot open URL '" + Url("none.log") + "': HTTP/1.1 404 Not Found",
      "Cannot download '" + Url("trickle.log") + "': the transfer stayed below 1024 bytes a second for 1 s",
      "Cannot read the log file '" + dir + "missing.log'",
  };
  ASSERT_EQ(problems.size(), std::size(expected)) << all;
  for (const std::string& e : expected)
    EXPECT_NE(std::find(problems.begin(), problems.end(), e), problems.end()) << e << "\n" << all;

  // A load where everything was read has none.
  g_project.sources.Clear();
  AddLocal(dir + "good.log");
  EXPECT_EQ(Load(), 1);
  EXPECT_TRUE(LogLoadProblems().empty());
}

TEST_F(RemoteLoad, CopyCutShortOutsideTheLoaderIsFetchedAgain) {
  tvtest::WriteFile(root + "http/whole.log", W3cLog("wh", 8));
  CLogSource* s = AddHttp("whole.log");
  ASSERT_EQ(Load(), 1);
  ASSERT_EQ(g_logCache.Count(), 1);
  // As a crash in the middle of a download would leave it.
  std::string copy = g_logCache.Record(0)->cache;
  tvtest::WriteFile(copy, tvtest::ReadFile(copy).substr(0, 100));
  fs::remove(root + "http/whole.log");
  s->loaded = 0;
  capture.messages.clear();
  EXPECT_EQ(Load(), 0);
  EXPECT_TRUE(HasText(capture.messages, "Cannot open URL '" + Url("whole.log") + "'"));
  EXPECT_EQ(s->records.RecordCount(), 0u);
}

}  // namespace
