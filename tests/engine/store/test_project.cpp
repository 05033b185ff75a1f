#include "engine/store/project.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/textutil.h"
#include "tests/common/testenv.h"

namespace {

std::string Str(const char* s) { return s ? s : "<null>"; }

std::vector<std::string> Files(const CLogSourceList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); i++) out.push_back(Str(list[i].file));
  return out;
}

std::vector<std::string> GroupNames(const CGroupList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); i++) out.push_back(Str(list[i].name));
  return out;
}

void AddRecord(CLogSource& s) {
  ASSERT_NE(s.records.NewRecord(), nullptr);
  s.records.CommitCurrent();
}

int DummyLoader(CLogSource*, const CGroupMaskList&, uint32_t, uint32_t, const CIndexNames&) { return 1; }

TEST(LogSourceList, AddFilesSkipsPresentItemsAndKeepsTheRest) {
  tvtest::MessageCapture capture;
  CLogSourceList list;
  ASSERT_EQ(list.AddFiles("/logs/b.log"), 1);
  // A duplicate in the middle (other case), a repeat within the list, an empty item.
  EXPECT_EQ(list.AddFiles("/logs/a.log;/LOGS/B.LOG;;/logs/c.log;/logs/A.log"), 2);
  EXPECT_EQ(Files(list), (std::vector<std::string>{"/logs/b.log", "/logs/a.log", "/logs/c.log"}));
  EXPECT_EQ(list.AddFiles("/logs/b.log;/logs/c.log"), 0);
  EXPECT_EQ(list.AddFiles(nullptr), 0);
  for (int i = 0; i < list.Count(); i++) EXPECT_EQ(list[i].type, kSourceLocal);
  EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
}

TEST(LogSourceList, AddCopiesStoredFieldsOnly) {
  CLogSource src;
  src.type = kSourceFtp;
  SetStr(&src.file, "x.log");
  SetStr(&src.db_met, "method");
  SetStr(&src.psw, "secret");
  SetStr(&src.firewall, "fw.example");
  SetStr(&src.files, "/tmp/copy.log");
  SetStr(&src.display_names, "ftp://h/x.log");
  src.prop = 16 | 2;
  src.port_proxy = 8080;
  src.port = 2121;
  src.port_fw = 21;
  src.loaded = 1;
  src.remote = 1;
  src.reserved = 7;

  CLogSourceList list;
  CLogSource* s = list.Add(src);
  ASSERT_NE(s, nullptr);
  SetStr(&src.psw, "changed");  // the copy owns its own texts
  EXPECT_EQ(s->type, kSourceFtp);
  EXPECT_EQ(Str(s->file), "x.log");
  EXPECT_EQ(Str(s->db_met), "method");
  EXPECT_EQ(Str(s->psw), "secret");
  EXPECT_EQ(Str(s->firewall), "fw.example");
  EXPECT_EQ(s->prop, 18u);
  EXPECT_EQ(s->port_proxy, 8080);
  EXPECT_EQ(s->port, 2121);
  EXPECT_EQ(s->port_fw, 21);
  EXPECT_EQ(s->files, nullptr);
  EXPECT_EQ(s->display_names, nullptr);
  EXPECT_EQ(s->loaded, 0);
  EXPECT_EQ(s->remote, 0);
  EXPECT_EQ(s->reserved, 0u);
}

TEST(LogSourceList, UpdateDropsFileListOnlyWhenTypeChanges) {
  CLogSourceList list;
  ASSERT_EQ(list.AddFiles("a.log"), 1);
  CLogSource& s = list[0];
  SetStr(&s.files, "a.log");
  s.loaded = 1;

  CLogSource edit;
  SetStr(&edit.file, "b.log");
  list.Update(0, edit);
  EXPECT_EQ(Str(s.file), "b.log");
  EXPECT_EQ(Str(s.files), "a.log");
  EXPECT_EQ(s.loaded, 1);

  edit.type = kSourceHttp;
  SetStr(&edit.url, "http://127.0.0.1/log");
  list.Update(0, edit);
  EXPECT_EQ(s.type, kSourceHttp);
  EXPECT_EQ(Str(s.url), "http://127.0.0.1/log");
  EXPECT_EQ(s.files, nullptr);
  EXPECT_EQ(s.loaded, 0);

  list.Update(1, edit);  // bad indexes do nothing
  list.Update(-1, edit);
  EXPECT_EQ(list.Delete(1), 0);
  EXPECT_EQ(list.Delete(-1), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Delete(0), 1);
  EXPECT_EQ(list.Count(), 0);
}

TEST(LogSourceList, ResetRecordsDropsRecordsAndMarksLogsStale) {
  CLogSourceList list;
  ASSERT_EQ(list.AddFiles("a.log;b.log"), 2);
  for (int i = 0; i < 2; i++) {
    AddRecord(list[i]);
    list[i].loaded = 1;
    list[i].reserved = 5;
  }
  list.ResetEntryRecords(5);  // out of range: nothing
  g_logsStale = false;
  list.ResetEntryRecords(0);
  EXPECT_EQ(list[0].records.RecordCount(), 0u);
  EXPECT_EQ(list[0].loaded, 0);
  EXPECT_EQ(list[0].reserved, 0u);
  EXPECT_EQ(list[1].records.RecordCount(), 1u);
  EXPECT_FALSE(g_logsStale);

  list.ResetRecords();
  EXPECT_EQ(list[1].records.RecordCount(), 0u);
  EXPECT_EQ(list[1].loaded, 0);
  EXPECT_TRUE(g_logsStale);
  g_logsStale = false;

  // FreeEntry leaves a zeroed record that can be filled again.
  AddRecord(list[1]);
  SetStr(&list[1].server, "h");
  CLogSourceList::FreeEntry(&list[1]);
  EXPECT_EQ(list[1].file, nullptr);
  EXPECT_EQ(list[1].server, nullptr);
  EXPECT_EQ(list[1].records.RecordCount(), 0u);
}

TEST(GroupList, NinthGroupIsRefusedSilently) {
  tvtest::MessageCapture capture;
  CGroupList list;
  for (int i = 0; i < 8; i++) ASSERT_EQ(list.Insert(i, ("g" + std::to_string(i)).c_str(), ".x", 0), 1);
  EXPECT_EQ(list.Insert(0, "ninth", ".y", 0), 0);
  EXPECT_EQ(list.AddEmpty(), nullptr);
  EXPECT_EQ(list.Count(), 8);
  EXPECT_EQ(Str(list[0].name), "g0");
  EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
}

TEST(GroupList, InsertSetMoveAndCopy) {
  CGroupList list;
  EXPECT_EQ(list.Insert(1, "bad", nullptr, 0), 0);  // beyond the end
  ASSERT_EQ(list.Insert(0, "B", ".b", 1), 1);
  ASSERT_EQ(list.Insert(0, "A", ".a", 2), 1);
  ASSERT_EQ(list.Insert(2, "C", ".c", 0), 1);
  EXPECT_EQ(GroupNames(list), (std::vector<std::string>{"A", "B", "C"}));

  EXPECT_EQ(list.MoveUp(0), 0);
  EXPECT_EQ(list.MoveDown(2), 2);
  EXPECT_EQ(list.MoveDown(7), 7);
  EXPECT_EQ(list.MoveUp(2), 1);
  EXPECT_EQ(GroupNames(list), (std::vector<std::string>{"A", "C", "B"}));
  EXPECT_EQ(list.MoveDown(0), 1);
  EXPECT_EQ(GroupNames(list), (std::vector<std::string>{"C", "A", "B"}));

  list.Set(1, "A2", nullptr, 0);
  list.Set(3, "none", ".n", 0);
  EXPECT_EQ(Str(list[1].name), "A2");
  EXPECT_EQ(list[1].masks, nullptr);
  EXPECT_EQ(list[1].type, 0);

  CGroupList copy;
  ASSERT_EQ(copy.Insert(0, "old", ".o", 0), 1);
  copy.CopyFrom(list);
  list.Set(0, "changed", ".z", 0);
  EXPECT_EQ(GroupNames(copy), (std::vector<std::string>{"C", "A2", "B"}));
  EXPECT_EQ(Str(copy[0].masks), ".c");
  EXPECT_EQ(copy[2].type, 1);
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.Count(), 3);

  EXPECT_EQ(list.Delete(3), 0);
  EXPECT_EQ(list.Delete(0), 1);
  EXPECT_EQ(GroupNames(list), (std::vector<std::string>{"A2", "B"}));
}

TEST(GroupMaskList, FlattensMasksWithFolderGroup) {
  CGroupList groups;
  const std::string longMask = "*" + std::string(45, 'x');
  ASSERT_EQ(groups.Insert(0, "Other", (".txt;" + longMask).c_str(), kGroupOther), 1);
  ASSERT_EQ(groups.Insert(1, "Empty pages", nullptr, kGroupPages), 1);
  ASSERT_EQ(groups.Insert(2, "Pages", ".html;.htm", kGroupPages), 1);
  ASSERT_EQ(groups.Insert(3, "Downloads", ".zip;;", kGroupDownloads), 1);
  const std::string before = groups[0].masks;

  CGroupMaskList masks;
  ASSERT_EQ(masks.Build(groups), 1);
  EXPECT_EQ(masks.folder_group, 1u);  // the first pages group, masks or not
  ASSERT_EQ(masks.Count(), 5);
  struct Want {
    std::string mask;
    uint32_t group, downloads, not_ext;
  };
  const Want want[] = {{".txt", 0, 0, 0},
                       {longMask.substr(0, 38), 0, 0, 1},
                       {".html", 2, 0, 0},
                       {".htm", 2, 0, 0},
                       {".zip", 3, 1, 0}};
  for (int i = 0; i < 5; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(masks[i].mask, want[i].mask);
    EXPECT_EQ(masks[i].group, want[i].group);
    EXPECT_EQ(masks[i].downloads, want[i].downloads);
    EXPECT_EQ(masks[i].not_ext, want[i].not_ext);
  }
  EXPECT_EQ(groups[0].masks, before);

  groups.Delete(2);
  groups.Delete(1);
  ASSERT_EQ(masks.Build(groups), 1);
  EXPECT_EQ(masks.folder_group, CGroupMaskList::kNoGroup);
  EXPECT_EQ(masks.Count(), 3);
}

TEST(HostCommentList, SetFindReplaceAndDelete) {
  CHostCommentList list;
  list.Set("gw.example.org", "gateway");
  list.Set("10.0.0.1", "router");
  EXPECT_EQ(Str(list.Find("GW.Example.ORG")), "gateway");
  EXPECT_EQ(list.Find("other"), nullptr);
  EXPECT_EQ(list.Find(nullptr), nullptr);

  list.Set("GW.EXAMPLE.ORG", "main gateway");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Str(list[0].host), "GW.EXAMPLE.ORG");
  EXPECT_EQ(Str(list[0].comment), "main gateway");

  list.Set("gw.example.org", "");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Find("gw.example.org"), nullptr);
  list.Set("10.0.0.1", nullptr);
  list.Set("absent", nullptr);
  EXPECT_EQ(list.Count(), 0);

  CHostComment* e = list.AddEmpty();  // the workspace reader fills it field by field
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->host, nullptr);
  EXPECT_EQ(list.Find("x"), nullptr);
}

TEST(FilterList, CopiesTextOnlyForTextTypes) {
  CFilterList list;
  CFilter page;
  page.type = kFilterPage;  // no text: kept as it is, the reader skips it
  page.include = 1;
  ASSERT_NE(list.Add(page), nullptr);
  EXPECT_EQ(list[0].text, nullptr);

  CFilter status;
  status.type = kFilterStatusRange;
  status.status = 400;
  status.status2 = 499;
  SetStr(&status.text, "stray");
  ASSERT_NE(list.Add(status), nullptr);
  EXPECT_EQ(list[1].text, nullptr);
  EXPECT_EQ(list[1].status2, 499);

  CFilter host;
  host.type = kFilterHost;
  host.ip1 = 0x0A000001;
  SetStr(&host.text, "bot.example");
  list.Set(0, host);
  list.Set(9, host);
  EXPECT_EQ(Str(list[0].text), "bot.example");
  EXPECT_EQ(list[0].ip1, 0x0A000001u);
  EXPECT_EQ(list[0].include, 0);

  CFilterList copy;
  copy.CopyFrom(list);
  list.Clear();
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(Str(copy[0].text), "bot.example");
  EXPECT_EQ(copy[1].type, kFilterStatusRange);

  for (uint16_t t : {1, 2, 64, 128, 256}) EXPECT_FALSE(FilterUsesText(t)) << t;
  for (uint16_t t : {4, 8, 16, 32, 512}) EXPECT_TRUE(FilterUsesText(t)) << t;
}

TEST(AdwordList, SetKeepsNameWhenNewNameIsEmpty) {
  CAdwordList list;
  CAdword e;
  SetStr(&e.url, "/landing");
  SetStr(&e.name, "Spring sale");
  e.type = 1;
  ASSERT_NE(list.Add(&e), nullptr);
  ASSERT_NE(list.Add(nullptr), nullptr);
  EXPECT_EQ(list[1].url, nullptr);

  CAdword edit;
  SetStr(&edit.url, "/landing2");
  list.Set(0, edit);
  EXPECT_EQ(Str(list[0].url), "/landing2");
  EXPECT_EQ(Str(list[0].name), "Spring sale");
  EXPECT_EQ(list[0].type, 0);

  CAdwordList copy;
  copy.CopyFrom(list);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(Str(copy[0].name), "Spring sale");
}

TEST(Project, ClearFreesEverythingAndRestoresDefaults) {
  CProject p;
  EXPECT_EQ(p.session, 30u);
  EXPECT_EQ(p.expand_groups, 1u);
  EXPECT_EQ(p.display.case_kwd, 1);

  p.SetOdbcLoader(DummyLoader);
  ASSERT_EQ(p.sources.AddFiles("a.log;b.log"), 2);
  AddRecord(p.sources[0]);
  SetStr(&p.sources[0].psw, "pw");
  ASSERT_EQ(p.groups.Insert(0, "Pages", ".html", kGroupPages), 1);
  CFilter f;
  f.type = kFilterPage;
  SetStr(&f.text, "*.gif");
  ASSERT_NE(p.filters.Add(f), nullptr);
  p.host_comments.Set("h", "c");
  CAdword a;
  SetStr(&a.url, "/ppc");
  SetStr(&a.name, "n");
  ASSERT_NE(p.adwords.Add(&a), nullptr);
  SetStr(&p.url, "http://127.0.0.1/");
  SetStr(&p.index, "index.html");
  p.first_date = 0x07E70101;
  p.last_time = 100;
  p.session = 5;
  p.int_reff = p.reff_se = p.expand_groups = 0;
  p.subdomain = p.options_copied = p.pass_flag = p.analysis_mode = 1;
  p.from_date = p.to_date = 0x07E70101;
  p.display.dt_format = 2;
  p.display.zone_report = -3;
  p.display.case_kwd = 0;
  p.display.not_use_cookie = 1;
  p.display.language = "Deutsch";
  p.dns_lookup = 1;

  p.Clear();
  EXPECT_EQ(p.sources.Count(), 0);
  EXPECT_EQ(p.groups.Count(), 0);
  EXPECT_EQ(p.filters.Count(), 0);
  EXPECT_EQ(p.host_comments.Count(), 0);
  EXPECT_EQ(p.adwords.Count(), 0);
  EXPECT_EQ(p.url, nullptr);
  EXPECT_EQ(p.index, nullptr);
  EXPECT_EQ(p.first_date, 0u);
  EXPECT_EQ(p.last_time, 0u);
  EXPECT_EQ(p.session, 30u);
  EXPECT_EQ(p.int_reff, 1u);
  EXPECT_EQ(p.reff_se, 1u);
  EXPECT_EQ(p.expand_groups, 1u);
  EXPECT_EQ(p.subdomain, 0u);
  EXPECT_EQ(p.options_copied, 0u);
  EXPECT_EQ(p.pass_flag, 0u);
  EXPECT_EQ(p.analysis_mode, 0u);
  EXPECT_EQ(p.from_date, 0u);
  EXPECT_EQ(p.to_date, 0u);
  EXPECT_EQ(p.display.dt_format, 0);
  EXPECT_EQ(p.display.zone_report, 0);
  EXPECT_EQ(p.display.case_kwd, 1);
  EXPECT_EQ(p.display.not_use_cookie, 0);
  EXPECT_TRUE(p.display.language.empty());
  EXPECT_EQ(p.OdbcLoader(), &DummyLoader);  // set once at start-up, outlives workspaces

  // Reset alone keeps the pay-per-click pages.
  ASSERT_NE(p.adwords.Add(&a), nullptr);
  p.Reset();
  EXPECT_EQ(p.adwords.Count(), 1);
}

}  // namespace
