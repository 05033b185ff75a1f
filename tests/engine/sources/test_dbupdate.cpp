#include "engine/sources/dbupdate.h"

#include <gtest/gtest.h>

#include <chrono>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/display/vocab.h"
#include "engine/sources/remotelogs.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/auxfile.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"
#include "tests/servers/testserver.h"

namespace {

struct Capture {
  static Capture* active;
  std::vector<std::string> infos, errors, messages;
  void (*onProgress)(uint32_t value, uint32_t mode) = nullptr;

  Capture() {
    active = this;
    SetEngineCallbacks(&OnMessage, &OnError, nullptr, &OnInfo, nullptr, &OnProgress);
  }
  ~Capture() {
    ClearEngineCallbacks();
    active = nullptr;
  }
  static void OnInfo(const char* t) { active->infos.emplace_back(t ? t : ""); }
  static void OnError(const char* t) { active->errors.emplace_back(t ? t : ""); }
  static void OnMessage(const char* t) { active->messages.emplace_back(t ? t : ""); }
  static void OnProgress(uint32_t v, uint32_t m) {
    if (active->onProgress) active->onProgress(v, m);
  }
  int Count(const std::vector<std::string>& texts, const std::string& prefix) const {
    int n = 0;
    for (const std::string& t : texts) n += t.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
  bool Mentions(const std::string& text) const {
    for (const auto* list : {&infos, &errors, &messages})
      for (const std::string& t : *list)
        if (t.find(text) != std::string::npos) return true;
    return false;
  }
  // Requests for files: those that came, and those the server refused.
  int Requests() const { return Count(infos, "Downloading the file") + Count(infos, "HTTP/1.1 404"); }
  std::string All() const {
    std::string s;
    for (auto& t : errors) s += "E: " + t + "\n";
    for (auto& t : messages) s += "M: " + t + "\n";
    for (auto& t : infos) s += "I: " + t + "\n";
    return s;
  }
};
Capture* Capture::active = nullptr;

uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) { return (a << 24) | (b << 16) | (c << 8) | d; }

const char* CountryOf(uint32_t address) {
  const char *country = "", *region = "", *city = "";
  LookupGeoAddress(address, kGeoCountry, &country, &region, &city);
  return country;
}

// The text tables of one table set, built into OUT with the given version.
bool BuildTables(const std::string& name, const std::string& os, const std::string& countries,
                 const std::string& geoip, int version, std::string* out) {
  std::string src = tvtest::NewDir(name + "-src");
  tvtest::WriteFile(src + "os.txt", os);
  tvtest::WriteFile(src + "browsers.txt", "0 | Firefox | Firefox\n");
  tvtest::WriteFile(src + "robots.txt", "Googlebot | contains | Googlebot\n");
  tvtest::WriteFile(src + "searchengines.txt", "Google | 0 | q= | google.com\n");
  tvtest::WriteFile(src + "sites.txt", "");
  tvtest::WriteFile(src + "adhosts.txt", "ads.example.com\n");
  tvtest::WriteFile(src + "countries.txt", countries);
  tvtest::WriteFile(src + "geoip", geoip);
  *out = tvtest::NewDir(name);
  std::string cmd = std::string(TV_AUXGEN) + " build " + src + " " + *out + " --geoip " + src + "geoip --version " +
                    std::to_string(version);
  return std::system(cmd.c_str()) == 0;
}

bool Gzip(const std::string& in, const std::string& out) {
  return std::system(("gzip -nc '" + in + "' > '" + out + "'").c_str()) == 0;
}

const char* const kTables[] = {"os.dat", "browser.dat", "robot.dat", "site.dat",
                               "se.dat", "adsense.dat", "cntr0.dat", "cntr1.dat"};

// Update files left in the temporary folder.
int Leftovers() {
  int n = 0;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(tv::TempDir(), ec)) {
    std::string f = e.path().filename().string();
    n += f.rfind("iNet", 0) == 0 || f.rfind("tmpdb", 0) == 0;
  }
  return n;
}

void (*g_pendingReload)() = nullptr;
int g_runnerCalls = 0;
void HoldReload(void (*reload)()) {
  ++g_runnerCalls;
  g_pendingReload = reload;
}

class DbUpdate : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!BuildTables("old-tables", "Xbox | OldBox\n", "de | Germany\nfr | France\n", "16777216,16777471,DE\n", 1,
                     &oldDir) ||
        !BuildTables("new-tables", "Xbox | NewBox\nZune | Zune OS\n", "de | Germany\nfr | France\nnl | Netherlands\n",
                     "16777216,16777471,FR\n", 2, &newDir)) {
      startError = "tvauxgen failed";
      return;
    }
    root = tvtest::NewDir("update-root");
    tv::MakeDirs(root + "data");
    tv::MakeDirs(root + "tables");
    for (const char* t : kTables)
      if (!Gzip(newDir + t, root + "tables/" + t + ".gz")) startError = "gzip failed";
    server = new tvtest::TestServer;
    port = server->Start("http_server.py", {"--root", root}, &startError) ? server->Port() : 0;
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    ASSERT_GT(port, 0) << startError;
    home = tvtest::NewDir(std::string("home-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    setenv("TRAILVANE_HOME", home.c_str(), 1);
    tv::ResetFolders();
    InstallOldTables();
    ServeFrom(port);
    ClearStop();
    SetTransferTimeout(3000);
    ASSERT_EQ(AuxTableVersion(auxfile::kOs), 1);
    ASSERT_STREQ(FindOperatingSystem("Xbox One"), "OldBox");
    leftovers = Leftovers();
  }
  void TearDown() override {
    CloseInternetSessions();
    SetDatabaseReloadRunner(nullptr);
    FreeLanguageTexts();
    FreeAuxDatabases();
    g_updateList.ResetToDefaults();
    unsetenv("TRAILVANE_UPDATE_SERVER");
    setenv("TRAILVANE_HOME", tvtest::Home().c_str(), 1);
    tv::ResetFolders();
    ClearStop();
    SetTransferTimeout(30000);
  }

  void InstallOldTables() {
    for (const char* t : kTables) tv::CopyFileTo(oldDir + t, home + t);
    LoadAuxDatabases(false);
  }
  static void ServeFrom(int p) {
    setenv("TRAILVANE_UPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(p)).c_str(), 1);
  }
  static void SetList(const std::string& text) { tvtest::WriteFile(root + "data/data_log.-", text); }
  // A list row; an address starting with '/' is a path on the update server.
  static std::string Row(const std::string& url, int type, int version, const std::string& more = "") {
    return "\n[File]\nurl=\"http://127.0.0.1" + url + "\"\ntype=" + std::to_string(type) +
           "\nversion=" + std::to_string(version) + "\nmb=2" + more;
  }
  // The installed tables are the older set.
  void ExpectOldTables() {
    for (const char* t : kTables) EXPECT_EQ(tvtest::ReadFile(home + t), tvtest::ReadFile(oldDir + t)) << t;
    EXPECT_EQ(AuxTableVersion(auxfile::kOs), 1);
    EXPECT_STREQ(FindOperatingSystem("Xbox One"), "OldBox");
    EXPECT_STREQ(CountryOf(Ip(1, 0, 0, 5)), "Germany");
    EXPECT_EQ(Leftovers(), leftovers);
  }

  std::string home;
  int leftovers = 0;
  static std::string oldDir, newDir, root, startError;
  static int port;
  static tvtest::TestServer* server;
};
std::string DbUpdate::oldDir, DbUpdate::newDir, DbUpdate::root, DbUpdate::startError;
int DbUpdate::port = 0;
tvtest::TestServer* DbUpdate::server = nullptr;

const char kHead[] = "/** update list */\nFormatVersion=1.0";

TEST_F(DbUpdate, OffersTheNewerTablesAndInstallsThem) {
  Capture cap;
  // The current language renames a country; the new country table keeps that name.
  std::string lng = home + "Test.lng";
  tvtest::WriteFile(lng, "FormatVersion=1.0\n[Language]\nname=\"Frankreich\"\ndomain=\"fr\"\n");
  LoadLanguage(lng.c_str());
  ASSERT_STREQ(FindCountryByTld("x.fr"), "Frankreich");

  SetList(std::string(kHead) + Row("/tables/os.dat.gz", 1, 2) + Row("/tables/browser.dat.gz", 2, 1) +
          Row("/tables/robot.dat.gz", 4, 9, "\nid_file=3") +
          Row("/tables/cntr0.dat.gz", 6, 2, "\nurl2=\"/tables/cntr1.dat.gz\"") + Row("/x", 12, 9) +
          Row("/tables/se.dat.gz", 5, 0));
  std::vector<CUpdateEntry> entries;
  ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 2) << cap.All();
  EXPECT_EQ(entries[0].title, "Operating Systems");
  EXPECT_EQ(entries[0].row, 0);
  EXPECT_EQ(entries[1].title, "Countries");
  EXPECT_EQ(entries[1].row, 3);
  for (const CUpdateEntry& e : entries) {
    EXPECT_EQ(e.size, 2);
    EXPECT_EQ(e.selected, 1);
  }

  // The reload waits for the runner; until it runs, the loaded tables stay as they were.
  g_runnerCalls = 0;
  g_pendingReload = nullptr;
  SetDatabaseReloadRunner(&HoldReload);
  EXPECT_EQ(DownloadDatabaseUpdates(entries), 1);
  EXPECT_TRUE(cap.errors.empty()) << cap.All();
  ASSERT_EQ(g_runnerCalls, 1);
  EXPECT_EQ(tvtest::ReadFile(home + "os.dat"), tvtest::ReadFile(newDir + "os.dat"));
  EXPECT_EQ(tvtest::ReadFile(home + "cntr0.dat"), tvtest::ReadFile(newDir + "cntr0.dat"));
  EXPECT_EQ(tvtest::ReadFile(home + "cntr1.dat"), tvtest::ReadFile(newDir + "cntr1.dat"));
  EXPECT_EQ(tvtest::ReadFile(home + "browser.dat"), tvtest::ReadFile(oldDir + "browser.dat"));
  EXPECT_EQ(AuxTableVersion(auxfile::kOs), 1);
  ASSERT_NE(g_pendingReload, nullptr);
  g_pendingReload();

  EXPECT_EQ(AuxTableVersion(auxfile::kOs), 2);
  EXPECT_EQ(AuxTableVersion(auxfile::kCountryRanges), 2);
  EXPECT_EQ(AuxTableVersion(auxfile::kBrowser), 1);
  EXPECT_STREQ(FindOperatingSystem("Xbox One"), "NewBox");
  EXPECT_STREQ(FindOperatingSystem("Zune HD"), "Zune OS");
  EXPECT_STREQ(CountryOf(Ip(1, 0, 0, 5)), "Frankreich");
  EXPECT_STREQ(FindCountryByTld("x.nl"), "Netherlands");
  EXPECT_EQ(Leftovers(), leftovers);

  // Now nothing is newer.
  cap.errors.clear();
  EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 0);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(cap.errors, std::vector<std::string>{"Nothing to update"});
}

TEST_F(DbUpdate, TitlesFollowTypeIdAndVersion) {
  std::string list = kHead;
  struct Case {
    int type, version, id;
    const char* title;
  };
  const Case cases[] = {
      {1, 2, 0, "Operating Systems"},
      {1, 1, 0, nullptr},  // the loaded version
      {1, 2, 1, nullptr},  // id_file set
      {1, 2, -1, "Operating Systems"},
      {2, 2, 0, "Browsers"},
      {3, 2, 0, "Referring Sites"},
      {4, 2, 0, "Robots"},
      {5, 2, 0, "Search Engines"},
      {6, 2, 0, "Countries"},
      {7, 2, 0, "Countries"},
      {7, 1, 0, nullptr},  // compared with the range index's version
      {8, 1, 0, "Cities"},  // never loaded: version 0
      {9, 1, 0, "Cities"},
      {10, 1, 0, "Regions"},
      {11, 1, 0, "Regions"},
      {10, 0, 0, nullptr},
      {10, -1, 0, nullptr},
      {0, 9, 0, nullptr},
      {12, 9, 0, nullptr},
      {13, 9, 0, nullptr},
      {-3, 9, 0, nullptr},
  };
  for (const Case& c : cases) list += Row("/t", c.type, c.version, "\nid_file=" + std::to_string(c.id));
  ASSERT_EQ(g_updateList.LoadText("list", list.data(), list.size()), 1);
  ASSERT_EQ(g_updateList.Count(), static_cast<int>(std::size(cases)));
  for (int i = 0; i < g_updateList.Count(); ++i) {
    SCOPED_TRACE(i);
    const char* title = GetUpdateTitle(i);
    if (cases[i].title) EXPECT_STREQ(title, cases[i].title);
    else EXPECT_EQ(title, nullptr);
  }
  EXPECT_EQ(GetUpdateTitle(-1), nullptr);
  EXPECT_EQ(GetUpdateTitle(g_updateList.Count()), nullptr);
}

TEST_F(DbUpdate, ABadListOrServerOffersNothing) {
  struct Case {
    const char* name;
    std::string list;  // "" : no list on the server
  };
  const Case cases[] = {
      {"not a section file", "<html>hello</html>"},
      {"another format version", "FormatVersion=2.0" + Row("/tables/os.dat.gz", 1, 2)},
      // What parsed before the error is not offered either.
      {"breaks off after a good row", std::string(kHead) + Row("/tables/os.dat.gz", 1, 2) + "\n[File]\nurl=="},
      {"no rows", kHead},
      {"missing", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Capture cap;
    if (c.list.empty()) tv::RemoveFile(root + "data/data_log.-");
    else SetList(c.list);
    std::vector<CUpdateEntry> entries(3);
    EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 0);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(g_updateList.Count(), 0);
    EXPECT_EQ(cap.errors.back(), "Nothing to update") << cap.All();
    // The connection is closed: a download now fetches nothing.
    EXPECT_EQ(OpenRemoteFile("/tables/os.dat.gz", nullptr, nullptr), nullptr);
    ExpectOldTables();
  }

  SetList(std::string(kHead) + Row("/tables/os.dat.gz", 1, 2));
  std::vector<CUpdateEntry> entries;
  {
    // A server that takes the connection and never answers.
    Capture cap;
    tvtest::SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    ServeFrom(silent.port());
    SetTransferTimeout(500);
    EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 0);
    EXPECT_EQ(cap.errors.back(), "Nothing to update");
  }
  {
    // No address set: nothing is asked of anyone, and the run says why.
    Capture cap;
    unsetenv("TRAILVANE_UPDATE_SERVER");
    bool failed = false;
    EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0, &failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(cap.errors, std::vector<std::string>{
                              "No update server is set (TRAILVANE_UPDATE_SERVER or update_server.txt in the data folder)."});
    EXPECT_EQ(cap.Count(cap.infos, "Connecting to:"), 0);
  }
  ExpectOldTables();
}

TEST_F(DbUpdate, TheAddressComesFromTheEnvironmentOrTheDataFolder) {
  SetList(std::string(kHead) + Row("/tables/os.dat.gz", 1, 2));
  std::vector<CUpdateEntry> entries;
  std::string address = "http://127.0.0.1:" + std::to_string(port);
  unsetenv("TRAILVANE_UPDATE_SERVER");
  tvtest::WriteFile(home + "update_server.txt", "  " + address + "  \nignored\n");
  EXPECT_EQ(UpdateServerAddress(), address);
  EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 1);

  // The environment wins; here it points where nothing listens.
  setenv("TRAILVANE_UPDATE_SERVER", ("http://127.0.0.1:" + std::to_string(tvtest::ClosedPort())).c_str(), 1);
  Capture cap;
  EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 0);

  // Through a proxy the request names the whole address; the test server answers
  // such requests with a text that is no list.
  cap.messages.clear();
  EXPECT_EQ(CheckDatabaseUpdates(&entries, "127.0.0.1", static_cast<uint16_t>(port)), 0);
  ASSERT_FALSE(cap.messages.empty()) << cap.All();
  EXPECT_NE(cap.messages[0].find("bad config file"), std::string::npos) << cap.All();
}

TEST_F(DbUpdate, BadDownloadsLeaveTheInstalledTables) {
  std::string bad = tvtest::NewDir("bad-src");
  std::string os = tvtest::ReadFile(newDir + "os.dat");
  std::string gz = tvtest::ReadFile(root + "tables/os.dat.gz");
  std::string corrupt = gz;
  corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x55);
  tvtest::WriteFile(root + "tables/plain.dat", os);
  tvtest::WriteFile(root + "tables/half.gz", gz.substr(0, gz.size() / 2));
  tvtest::WriteFile(root + "tables/corrupt.gz", corrupt);
  auto gzipped = [&](const char* name, const std::string& content) {
    tvtest::WriteFile(bad + name, content);
    Gzip(bad + name, root + "tables/" + name + ".gz");
  };
  gzipped("text", "hello, this is no table\n");
  gzipped("partial", os.substr(0, os.size() - 5));
  gzipped("empty", os.substr(0, auxfile::kHeaderSize));

  struct Case {
    const char* name;
    std::string row;
    int downloads;  // requests the download step makes
    bool selected;  // the entry is still selected after the download phase
  };
  const Case cases[] = {
      {"404", Row("/tables/none.gz", 1, 2), 1, false},
      {"cut transfer", Row("/cut.log", 1, 2), 1, false},
      {"not compressed", Row("/tables/plain.dat", 1, 2), 1, true},
      {"truncated gzip", Row("/tables/half.gz", 1, 2), 1, true},
      {"corrupt gzip", Row("/tables/corrupt.gz", 1, 2), 1, true},
      {"no table inside", Row("/tables/text.gz", 1, 2), 1, true},
      {"another table type", Row("/tables/browser.dat.gz", 1, 2), 1, true},
      {"a partial record", Row("/tables/partial.gz", 1, 2), 1, true},
      {"no rows", Row("/tables/empty.gz", 1, 2), 1, true},
      {"geography without names", Row("/tables/cntr0.dat.gz", 6, 2, "\nurl2=\"\""), 1, true},
      {"geography with bad names", Row("/tables/cntr0.dat.gz", 6, 2, "\nurl2=\"/tables/text.gz\""), 2, true},
      {"geography with missing names", Row("/tables/cntr0.dat.gz", 7, 2, "\nurl2=\"/nothing\""), 2, false},
      {"geography with names as ranges", Row("/tables/cntr1.dat.gz", 6, 2, "\nurl2=\"/tables/cntr1.dat.gz\""), 2,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallOldTables();
    Capture cap;
    SetList(std::string(kHead) + c.row);
    std::vector<CUpdateEntry> entries;
    ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 1) << cap.All();
    cap.infos.clear();
    EXPECT_EQ(DownloadDatabaseUpdates(entries), 1);
    EXPECT_EQ(cap.Requests(), c.downloads) << cap.All();
    EXPECT_EQ(entries[0].selected != 0, c.selected);
    ExpectOldTables();
  }
}

// A table that does not arrive or does not install is an error with its
// reason, and the step counts it, so the update run can fail.
TEST_F(DbUpdate, FailedTablesAreReportedAndCounted) {
  struct Case {
    const char* name;
    const char* path;
    const char* said;  // in the error
  };
  const Case cases[] = {
      {"server error", "/broken.log", "could not be downloaded: HTTP/1.1 500"},
      {"truncated", "/cut.log", "could not be downloaded: transfer closed with 3000 bytes remaining"},
      {"redirect loop", "/loop.log", "could not be downloaded: Maximum (10) redirects followed"},
      {"missing", "/tables/none.gz", "could not be downloaded: HTTP/1.1 404"},
      {"no table", "/access.log", "damaged and was not installed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallOldTables();
    Capture cap;
    SetList(std::string(kHead) + Row(c.path, 1, 2));
    std::vector<CUpdateEntry> entries;
    ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 1) << cap.All();
    int failed = -1;
    EXPECT_EQ(DownloadDatabaseUpdates(entries, &failed), 1);
    EXPECT_EQ(failed, 1);
    ASSERT_FALSE(cap.errors.empty()) << cap.All();
    EXPECT_NE(cap.errors[0].find(c.said), std::string::npos) << cap.All();
    ExpectOldTables();
  }
  // A list that cannot be had is a failure too; one with nothing newer is not.
  for (const char* list : {"", kHead}) {
    Capture cap;
    if (!*list) tv::RemoveFile(root + "data/data_log.-");
    else SetList(list);
    std::vector<CUpdateEntry> entries;
    bool failed = !*list;
    EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0, &failed), 0);
    EXPECT_EQ(failed, !*list) << cap.All();
    if (!*list) {
      ASSERT_FALSE(cap.errors.empty());
      EXPECT_NE(cap.errors[0].find("The update list could not be downloaded: HTTP/1.1 404"), std::string::npos)
          << cap.All();
    }
  }
}

// A list or a table bigger than any real one is refused while it arrives or
// decompresses, not read into memory or onto the disk whole.
TEST_F(DbUpdate, OversizedListsAndTablesAreRefused) {
  SetUpdateSizeLimits(8192, 65536);
  std::string bomb = tvtest::NewDir("bomb");
  // 1 MB that gzip packs into about a kilobyte.
  tvtest::WriteFile(bomb + "big", tvtest::ReadFile(newDir + "os.dat") + std::string(1 << 20, '\0'));
  ASSERT_TRUE(Gzip(bomb + "big", root + "tables/big.gz"));
  ASSERT_LT(tv::FileSize(root + "tables/big.gz"), 8192);
  {
    Capture cap;
    std::string list = kHead;
    while (list.size() < 9000) list += Row("/tables/os.dat.gz", 1, 2);
    SetList(list);
    std::vector<CUpdateEntry> entries;
    bool failed = false;
    EXPECT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0, &failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(cap.Mentions("is larger than 8192 bytes and was refused")) << cap.All();
  }
  {
    Capture cap;
    SetList(std::string(kHead) + Row("/tables/big.gz", 1, 2));
    std::vector<CUpdateEntry> entries;
    ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 1) << cap.All();
    int failed = 0;
    DownloadDatabaseUpdates(entries, &failed);
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(cap.Mentions("expands to more than 65536 bytes")) << cap.All();
  }
  SetUpdateSizeLimits(64ull << 20, 512ull << 20);
  ExpectOldTables();
}

// A long list whose rows name the same table: it is fetched and installed
// once, the newest version of it.
TEST_F(DbUpdate, EachTableIsFetchedOnce) {
  std::string list = kHead;
  for (int i = 0; i < 2500; ++i) list += Row(i == 1200 ? "/tables/os.dat.gz" : "/tables/none.gz", 1, i == 1200 ? 3 : 2);
  SetList(list);
  Capture cap;
  auto t0 = std::chrono::steady_clock::now();
  std::vector<CUpdateEntry> entries;
  ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 2500) << cap.All();
  cap.infos.clear();
  auto t1 = std::chrono::steady_clock::now();
  int failed = -1;
  EXPECT_EQ(DownloadDatabaseUpdates(entries, &failed), 1);
  auto t2 = std::chrono::steady_clock::now();
  printf("[ timing ] 2500 entries: check %.3f s, download %.3f s\n",
         std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(cap.Requests(), 1) << cap.All();
  EXPECT_TRUE(cap.errors.empty()) << cap.All();
  EXPECT_EQ(tvtest::ReadFile(home + "os.dat"), tvtest::ReadFile(newDir + "os.dat"));
}

TEST_F(DbUpdate, StoppingDuringTheDownloadChangesNothing) {
  SetList(std::string(kHead) + Row("/tables/os.dat.gz", 1, 2) +
          Row("/tables/cntr0.dat.gz", 6, 2, "\nurl2=\"/tables/cntr1.dat.gz\""));
  Capture cap;
  std::vector<CUpdateEntry> entries;
  ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 2);
  cap.infos.clear();
  g_runnerCalls = 0;
  SetDatabaseReloadRunner(&HoldReload);
  cap.onProgress = [](uint32_t, uint32_t mode) {
    if (mode == 1) RequestStop();
  };
  EXPECT_EQ(DownloadDatabaseUpdates(entries), 1);
  EXPECT_EQ(cap.Requests(), 1) << cap.All();
  EXPECT_EQ(g_runnerCalls, 0);
  ExpectOldTables();

  // With the stop flag already set the step does nothing at all.
  cap.infos.clear();
  EXPECT_EQ(DownloadDatabaseUpdates(entries), 1);
  EXPECT_EQ(cap.Requests(), 0);
  EXPECT_EQ(g_runnerCalls, 0);
}

TEST_F(DbUpdate, AServerGoneBeforeTheDownloadChangesNothing) {
  tvtest::TestServer own;
  std::string error;
  ASSERT_TRUE(own.Start("http_server.py", {"--root", root}, &error)) << error;
  ServeFrom(own.Port());
  SetList(std::string(kHead) + Row("/tables/os.dat.gz", 1, 2));
  std::vector<CUpdateEntry> entries;
  ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 1);
  own.Stop();
  Capture cap;
  EXPECT_EQ(DownloadDatabaseUpdates(entries), 1);
  EXPECT_EQ(entries[0].selected, 0);
  ExpectOldTables();
}

TEST_F(DbUpdate, LongListsAreOfferedWhole) {
  std::string list = kHead;
  for (int i = 0; i < 45; ++i) list += Row("/tables/os.dat.gz", 1, 2 + i);
  SetList(list);
  std::vector<CUpdateEntry> entries;
  ASSERT_EQ(CheckDatabaseUpdates(&entries, nullptr, 0), 45);
  EXPECT_EQ(entries.back().row, 44);

  // None chosen: nothing is fetched and the connection is closed.
  for (CUpdateEntry& e : entries) e.selected = 0;
  Capture cap;
  EXPECT_EQ(DownloadDatabaseUpdates(entries), 1);
  EXPECT_EQ(cap.Count(cap.infos, "Nothing to update"), 1);
  EXPECT_EQ(cap.Requests(), 0);
  EXPECT_EQ(OpenRemoteFile("/tables/os.dat.gz", nullptr, nullptr), nullptr);
  ExpectOldTables();
}

}  // namespace
