#include "engine/config/workspace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/settings.h"
#include "platform/files.h"
#include "tests/common/testenv.h"

namespace {

std::vector<std::string> g_languages;
void RecordLanguage(const char* name) { g_languages.emplace_back(name); }

std::string Fixture(const char* name) { return tvtest::ReadFile(std::string(TV_TEST_DATA_DIR) + "/" + name); }

std::string ToCrlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

unsigned Mode(const std::string& path) {
  struct stat st{};
  stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

class Workspace : public ::testing::Test {
 protected:
  void SetUp() override {
    m_cwd = tv::CurrentDir();
    m_dir = tvtest::NewDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    SetLanguageLoader(&RecordLanguage);
    SetWorkspaceDefaults();
    g_project.Clear();
    g_languages.clear();
  }
  void TearDown() override {
    SetLanguageLoader(nullptr);
    tv::ChangeDir(m_cwd);
  }
  // Writes text into the test's folder and loads it as a workspace.
  CWorkspaceFile* LoadText(const std::string& name, const std::string& text) {
    tvtest::WriteFile(m_dir + name, text);
    return LoadWorkspace((m_dir + name).c_str());
  }
  std::string SaveText(const std::string& name) {
    int ok = 0;
    SaveWorkspace((m_dir + name).c_str(), &ok);
    EXPECT_EQ(ok, 1);
    return tvtest::ReadFile(m_dir + name);
  }
  std::string m_cwd, m_dir;
};

TEST_F(Workspace, DefaultWorkspaceIsSavedByteForByte) {
  EXPECT_EQ(SaveText("default.tv"), Fixture("default_workspace.tv"));
  EXPECT_EQ(Mode(m_dir + "default.tv"), 0644u);
  EXPECT_FALSE(g_workspace.IsDirty());
}

TEST_F(Workspace, FullWorkspaceRoundTrips) {
  const std::string full = Fixture("full_workspace.tv");
  for (const std::string& text : {full, ToCrlf(full)}) {
    SetWorkspaceDefaults();
    g_languages.clear();
    tvtest::MessageCapture cap;
    CWorkspaceFile* ws = LoadText("full.tv", text);
    ASSERT_EQ(ws, &g_workspace);
    EXPECT_EQ(cap.AllErrors(), "");
    EXPECT_STREQ(ws->FileName(), (m_dir + "full.tv").c_str());
    EXPECT_FALSE(ws->IsDirty());
    EXPECT_EQ(tv::CurrentDir() + "/", m_dir) << "a loaded workspace's folder becomes current";
    EXPECT_EQ(g_languages, std::vector<std::string>{"Deutsch"});

    const WorkspaceCommon& c = ws->common;
    EXPECT_STREQ(c.URL, "http://www.example.com;http://example.com");
    EXPECT_STREQ(c.download_dt, "12/03/2004 10:15");
    EXPECT_EQ(c.zone_server, -5);
    EXPECT_EQ(c.session, 45);
    EXPECT_EQ(c.host_represnt, 3);
    EXPECT_EQ(c.memory, 1);

    ASSERT_EQ(g_project.sources.Count(), 4);
    const CLogSource& local = g_project.sources[0];
    EXPECT_EQ(local.type, kSourceLocal);
    EXPECT_EQ(local.port, 21) << "missing ports take their default";
    EXPECT_EQ(local.port_fw, 21);
    EXPECT_STREQ(g_project.sources[1].db_met, "method");
    const CLogSource& ftp = g_project.sources[2];
    EXPECT_STREQ(ftp.psw, "s3cr\"et\\");
    EXPECT_EQ(ftp.prop, 1u | 4u | 8u);
    EXPECT_EQ(ftp.port, 0);
    EXPECT_EQ(ftp.port_fw, 1080);
    EXPECT_EQ(g_project.sources[3].prop, 2u);

    ASSERT_EQ(ws->groups.Count(), 2);
    EXPECT_STREQ(ws->groups[1].masks, ".gif;.jpg;.png");
    EXPECT_EQ(ws->groups[1].type, kGroupOther);
    ASSERT_EQ(g_project.filters.Count(), 4);
    EXPECT_EQ(g_project.filters[0].ip1, 0x0001C0A8u);
    EXPECT_EQ(g_project.filters[0].ip2, 0x00FFC0A8u);
    EXPECT_EQ(g_project.filters[2].status2, 499);
    ASSERT_EQ(g_project.adwords.Count(), 2);
    EXPECT_EQ(g_project.adwords[1].type, 1);
    ASSERT_EQ(g_project.host_comments.Count(), 1);
    EXPECT_STREQ(ws->GetColumnsCfg(3), "+C007=");
    EXPECT_EQ(ws->GetColumnsCfg(4), nullptr);

    EXPECT_EQ(SaveText("again.tv"), full);
    EXPECT_EQ(Mode(m_dir + "again.tv"), 0600u) << "a workspace holding a password is private";
  }
}

TEST_F(Workspace, StoredFormDetails) {
  std::string text = Fixture("default_workspace.tv") +
                     "\n[logfile]\nfile=\"a.log\"\ntmp_file=\"C:\\\\temp\\\\x.tmp\"\nport=21\nport_fw=0\nprop=1";
  LoadText("details.tv", text);
  ASSERT_EQ(g_project.sources.Count(), 1);
  EXPECT_EQ(g_project.sources[0].prop, 1u);
  std::string expected = Fixture("default_workspace.tv");
  expected.insert(expected.find("\n[group]"), "\n[logfile]\nfile=\"a.log\"\nprop=10000\nport_fw=0");
  EXPECT_EQ(SaveText("details.tv"), expected) << "tmp_file dropped, port 21 left out, port 0 written";
}

// Opening a workspace removes the new copies its killed saves left beside it,
// and nothing else of the folder.
TEST_F(Workspace, OpenRemovesWhatAKilledSaveLeftBesideIt) {
  SaveText("site.tv");
  const std::vector<std::string> stale = {"site.tv.tmpAb3xZ9", "site.tv.tmp000000"};
  const std::vector<std::string> others = {"other.tv.tmpAb3xZ9", "site.tv.tmpAb3xZ", "site.tv.tmp", "xsite.tv.tmpAb3xZ9"};
  for (const std::string& n : stale) tvtest::WriteFile(m_dir + n, "left by a killed save");
  for (const std::string& n : others) tvtest::WriteFile(m_dir + n, "not ours");
  LoadWorkspace((m_dir + "site.tv").c_str());
  for (const std::string& n : stale) EXPECT_FALSE(tv::FileExists(m_dir + n)) << n;
  for (const std::string& n : others) EXPECT_TRUE(tv::FileExists(m_dir + n)) << n;
}

TEST_F(Workspace, OldKeywordFormatLoads) {
  // Start from a filled workspace: nothing of it may survive the old-format load.
  LoadText("full.tv", Fixture("full_workspace.tv"));
  g_languages.clear();
  std::string sub = tvtest::NewDir("old_format_sub");
  tvtest::WriteFile(sub + "old.tv", Fixture("old_workspace.tv"));
  tvtest::MessageCapture cap;
  CWorkspaceFile* ws = LoadWorkspace((sub + "old.tv").c_str());
  EXPECT_EQ(cap.AllErrors(), "");

  ASSERT_EQ(g_project.sources.Count(), 2);
  EXPECT_STREQ(g_project.sources[0].file, "/var/log/old_access.log");
  EXPECT_STREQ(g_project.sources[1].file, "C:\\logs\\ex*.log") << "strings are taken raw";
  EXPECT_EQ(g_project.sources[1].type, kSourceLocal);
  EXPECT_EQ(g_project.groups.Count(), 0) << "the groups move to the workspace";
  ASSERT_EQ(ws->groups.Count(), 2);
  EXPECT_STREQ(ws->groups[1].name, "Archives");
  EXPECT_EQ(ws->groups[1].type, kGroupDownloads);
  EXPECT_STREQ(ws->common.URL, "http://www.example.org");
  EXPECT_STREQ(ws->common.index, "index.htm;index.html");
  EXPECT_EQ(ws->common.session, 30);
  EXPECT_EQ(ws->common.language, nullptr);
  EXPECT_EQ(g_project.filters.Count(), 0);
  EXPECT_EQ(g_project.adwords.Count(), 0);
  EXPECT_EQ(ws->columns.Count(), 0);
  EXPECT_STREQ(ws->FileName(), (sub + "old.tv").c_str());
  EXPECT_FALSE(ws->IsDirty());
  EXPECT_EQ(tv::CurrentDir() + "/", sub);

  // Saved again, it is in the section form and loads as such.
  int ok = 0;
  SaveWorkspace(ws->FileName(), &ok);
  ASSERT_EQ(ok, 1);
  LoadWorkspace((sub + "old.tv").c_str());
  EXPECT_EQ(g_project.sources.Count(), 2);
  EXPECT_STREQ(g_workspace.common.URL, "http://www.example.org");

  LoadText("noindex.tv", "log=\"x.log\"");
  EXPECT_STREQ(g_workspace.common.index, "index.html");
  EXPECT_EQ(g_workspace.common.URL, nullptr);
}

TEST_F(Workspace, BadFilesLeaveTheDefaults) {
  const std::string defaults = Fixture("default_workspace.tv");
  const std::string full = Fixture("full_workspace.tv");
  std::string nine = defaults;
  for (int i = 0; i < 7; ++i) nine += "\n[group]\nfile=\"g\"";
  struct Case {
    std::string text;
    std::string error;    // expected error text, %s for the path
    std::string message;  // expected start of the first message
  } cases[] = {
      {full.substr(0, full.find("s3cr") + 2), "", "'%s' - bad config file (line "},
      {defaults + "\n[Common]\nbogus=1", "", "'%s' - bad config file (line 50)"},
      {defaults + "\n[nosuch]", "", "'%s' - bad config file (line 49)"},
      {"FormatVersion=2.0\n[Common]\nsession=1", "invalid version project file\n", ""},
      {defaults + "\n[Common]\n/* open", "", "'%s' - bad config file (line 50)"},
      {defaults + "\n[Common]\nsession=1\n*/", "", "'%s' - bad config file (line 51)"},
      {defaults + "\n[Common]\n" + std::string(10000, 'k') + "=1", "", "'%s' - bad config file (line 50)"},
      {"FormatVersion=1.0\n[Common]\nsession=\x01\xfe\xff\x80", "", "'%s' - bad config file (line 3)"},
      {nine, "", "'%s' - bad config file (line 61)"},
      {std::string("\x1f\x8b\x08\0\xde\xad\xbe\xef", 8), "'%s' bad workspace\n", ""},
      {"FormatVersion = 1.0\n[Common]", "'%s' bad workspace\n", ""},
      {"group={\"a\",\"b\",2", "'%s' bad workspace\n", ""},
      {"url=\"open", "'%s' bad workspace\n", ""},
      {"log=\"a\" */", "'%s' bad workspace\n", ""},
  };
  auto fill = [](const std::string& f, const std::string& path) {
    std::string out = f;
    auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, path);
    return out;
  };
  for (const auto& c : cases) {
    LoadText("full.tv", full);
    ASSERT_EQ(g_project.sources.Count(), 4);
    tvtest::MessageCapture cap;
    LoadText("bad.tv", c.text);
    const std::string path = m_dir + "bad.tv";
    const std::string label = c.text.substr(0, 50);
    EXPECT_EQ(cap.AllErrors(), fill(c.error, path)) << label;
    if (!c.message.empty()) {
      ASSERT_FALSE(cap.messages.empty()) << label;
      EXPECT_EQ(cap.messages[0].substr(0, fill(c.message, path).size()), fill(c.message, path)) << label;
    }
    EXPECT_EQ(g_workspace.FileName(), nullptr) << label;
    EXPECT_EQ(g_workspace.FormatText(), defaults) << label;
  }

  // A failed old-format read also leaves the project with a site and the default groups.
  EXPECT_STREQ(g_project.url, "http://");
  EXPECT_STREQ(g_project.index, "index.html");
  EXPECT_EQ(g_project.groups.Count(), 2);

  tvtest::MessageCapture cap;
  LoadWorkspace((m_dir + "missing.tv").c_str());
  EXPECT_EQ(cap.AllErrors(), "file '" + m_dir + "missing.tv' not found\n\n");
  EXPECT_EQ(g_workspace.FormatText(), defaults);
}

TEST_F(Workspace, PasswordsStayOutOfTheTrace) {
  SetEngineTrace([](const char* t) { WriteBugLog(t); });
  tvtest::MessageCapture cap;
  LoadText("secret.tv", Fixture("default_workspace.tv") +
                            "\n[logfile]\ntype=2\nuser=\"u\"\npsw=\"Xyzzy-pass\"\nport=x");
  LoadText("secret_old.tv", "log=\"Xyzzy-old\" psw=\"Xyzzy-old\"");
  SetEngineTrace(nullptr);
  EXPECT_FALSE(cap.messages.empty());
  EXPECT_FALSE(cap.errors.empty());
  std::string all = cap.AllErrors();
  for (const auto& m : cap.messages) all += m;
  for (const auto& m : cap.infos) all += m;
  all += tvtest::ReadFile(BugLogPath());
  EXPECT_EQ(all.find("Xyzzy"), std::string::npos) << all;
}

TEST_F(Workspace, SettingsBlockAndColumns) {
  WorkspaceSettings s;
  s.URL = "http://";
  s.index = "index.html";
  s.whois_url = kDefaultWhoisUrl;
  s.dt_format = 0;
  s.add_countr = s.sh_no_refer = s.add_day_week = s.ignore_argm = 1;
  s.session = 30;
  s.int_reff = s.reff_se = s.save_a_robot = s.confirmation_robot = s.display_bad_file = s.case_kwd = 1;
  g_workspace.ClearDirty();
  g_workspace.ApplyWorkspaceSettings(s);
  EXPECT_FALSE(g_workspace.IsDirty()) << "the defaults again change nothing";
  EXPECT_EQ(g_languages, std::vector<std::string>{""});

  s.language = "Svenska";
  s.host_represnt = 2;
  g_workspace.ApplyWorkspaceSettings(s);
  EXPECT_TRUE(g_workspace.IsDirty());
  EXPECT_STREQ(g_workspace.common.language, "Svenska");
  EXPECT_EQ(g_workspace.common.host_represnt, 2);
  EXPECT_EQ(g_languages.back(), "Svenska");

  g_workspace.ClearDirty();
  EXPECT_EQ(g_workspace.SetColumnsCfg(7, "+C002="), 1);
  EXPECT_TRUE(g_workspace.IsDirty());
  g_workspace.ClearDirty();
  EXPECT_EQ(g_workspace.SetColumnsCfg(7, "+C002="), 0);
  EXPECT_FALSE(g_workspace.IsDirty());
  EXPECT_EQ(g_workspace.SetColumnsCfg(7, "+C003="), 1);
  EXPECT_EQ(g_workspace.SetColumnsCfg(9, ""), 0);
  EXPECT_EQ(g_workspace.columns.Count(), 1);
  EXPECT_STREQ(g_workspace.GetColumnsCfg(7), "+C003=");

  struct {
    const char* text;
    std::vector<int> want;
  } marks[] = {
      {"+C002=+C009=+C003=", {2, 3}},
      {"+C002=+C003=+C004=+C005=+C006=+C007=", {2, 3, 4, 5, 6}},
      {"x+C07=+C005", {}},
      {"+C", {}},
      {"+C00", {}},
      {"+C0a2=+C-02=+C002", {}},
      {"", {}},
  };
  for (const auto& m : marks) {
    int slots[5] = {9, 9, 9, 9, 9};
    int n = ParseColumnMarks(m.text, slots);
    EXPECT_EQ(std::vector<int>(slots, slots + n), m.want) << m.text;
    for (int i = n; i < 5; ++i) EXPECT_EQ(slots[i], 0) << m.text;
  }
  // Exact-size copy so a read past the end shows under the address sanitizer.
  std::unique_ptr<char[]> tail(new char[3]{'+', 'C', 0});
  int slots[5];
  EXPECT_EQ(ParseColumnMarks(tail.get(), slots), 0);

  char buf[32];
  const int values[] = {2, 5, 7};
  EXPECT_EQ(BuildColumnMarks(buf, sizeof buf, values, 3), 3);
  EXPECT_STREQ(buf, "+C002=+C005=+C007=");
  EXPECT_EQ(BuildColumnMarks(buf, 12, values, 3), 1) << "only what fits, always terminated";
  EXPECT_STREQ(buf, "+C002=");
}

}  // namespace
