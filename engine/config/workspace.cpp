#include "engine/config/workspace.h"

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/config/settings.h"
#include "platform/files.h"
#include "platform/folders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr char kWhoisText[] = "https://www.whois.com/whois/[URL]";

using C = WorkspaceCommon;
constexpr KeyDef kCommonKeys[] = {
    StringKey<&C::URL>("URL", "http://"),
    StringKey<&C::index>("index", "index.html"),
    StringKey<&C::language>("language"),
    ShortKey<&C::dt_format>("dt_format"),
    ShortKey<&C::dt_separator>("dt_separator"),
    ShortKey<&C::dt_4year>("dt_4year"),
    ShortKey<&C::dt_fmnth>("dt_fmnth"),
    ShortKey<&C::dt_dweek>("dt_dweek"),
    ShortKey<&C::tm_format>("tm_format"),
    ShortKey<&C::zone_server>("zone_server"),
    ShortKey<&C::zone_report>("zone_report"),
    ShortKey<&C::add_countr>("add_countr", 1),
    ShortKey<&C::sh_no_refer>("sh_no_refer", 1),
    ShortKey<&C::add_day_week>("add_day_week", 1),
    ShortKey<&C::ignore_argm>("ignore_argm", 1),
    StringKey<&C::whois_url>("whois_url", kWhoisText),
    ShortKey<&C::send_receive>("send_receive"),
    ShortKey<&C::session>("session", 30),
    ShortKey<&C::int_reff>("int_reff", 1),
    ShortKey<&C::reff_se>("reff_se", 1),
    ShortKey<&C::dns_lookup>("dns_lookup"),
    ShortKey<&C::ip_lookup>("ip_lookup"),
    ShortKey<&C::case_page>("case_page"),
    ShortKey<&C::auto_robot>("auto_robot"),
    ShortKey<&C::save_a_robot>("save_a_robot", 1),
    ShortKey<&C::confirmation_robot>("confirmation_robot", 1),
    ShortKey<&C::not_use_cookie>("not_use_cookie"),
    ShortKey<&C::expand_groups>("expand_groups"),
    ShortKey<&C::subdomain>("subdomain"),
    ShortKey<&C::display_bad_file>("display_bad_file", 1),
    ShortKey<&C::case_kwd>("case_kwd", 1),
    ShortKey<&C::host_represnt>("host_represnt"),
    StringKey<&C::download_dt>("download_dt"),
    ShortKey<&C::memory>("memory"),
};

constexpr uint32_t kPropBits[] = {1, 2, 4, 8, 16};

using L = CLogSource;
constexpr KeyDef kLogKeys[] = {
    ShortKey<&L::type>("type"),
    StringKey<&L::file>("file"),
    StringKey<&L::db_dns>("db_dns"),
    StringKey<&L::db_table>("db_table"),
    StringKey<&L::db_date>("db_date"),
    StringKey<&L::db_host>("db_host"),
    StringKey<&L::db_page>("db_page"),
    StringKey<&L::db_refer>("db_refer"),
    StringKey<&L::db_size>("db_size"),
    StringKey<&L::db_sizer>("db_sizer"),
    StringKey<&L::db_status>("db_status"),
    StringKey<&L::db_usera>("db_usera"),
    StringKey<&L::db_cookie>("db_cookie"),
    StringKey<&L::db_met>("db_met"),
    StringKey<&L::user>("user"),
    StringKey<&L::psw>("psw", nullptr, true),
    BitsKey<&L::prop>("prop", kPropBits, 5),
    StringKey<&L::url>("url"),
    StringKey<&L::proxy>("proxy"),
    ShortKey<&L::port_proxy>("port_proxy"),
    StringKey<&L::path>("path"),
    StringKey<&L::server>("server"),
    ShortKey<&L::port>("port", 21),
    StringKey<&L::firewall>("firewall"),
    ShortKey<&L::port_fw>("port_fw", 21),
    IgnoredKey("tmp_file"),
};

constexpr KeyDef kGroupKeys[] = {
    StringKey<&CGroup::name>("file"),
    StringKey<&CGroup::masks>("ext"),
    ShortKey<&CGroup::type>("type"),
};

// The two addresses are stored as 16-bit halves, low half first.
template <uint32_t CFilter::*M, int Shift>
int32_t GetHalf(const void* owner) {
  return static_cast<int32_t>((static_cast<const CFilter*>(owner)->*M >> Shift) & 0xFFFFu);
}
template <uint32_t CFilter::*M, int Shift>
void SetHalf(void* owner, int32_t value) {
  uint32_t& field = static_cast<CFilter*>(owner)->*M;
  field = (field & ~(0xFFFFu << Shift)) | ((static_cast<uint32_t>(value) & 0xFFFFu) << Shift);
}

constexpr KeyDef kFilterKeys[] = {
    ShortKey<&CFilter::type>("type"),
    ShortKey<&CFilter::include>("include"),
    ShortKeyFn("p1ip", &GetHalf<&CFilter::ip1, 0>, &SetHalf<&CFilter::ip1, 0>),
    ShortKeyFn("p2ip", &GetHalf<&CFilter::ip1, 16>, &SetHalf<&CFilter::ip1, 16>),
    ShortKeyFn("p1ip2", &GetHalf<&CFilter::ip2, 0>, &SetHalf<&CFilter::ip2, 0>),
    ShortKeyFn("p2ip2", &GetHalf<&CFilter::ip2, 16>, &SetHalf<&CFilter::ip2, 16>),
    StringKey<&CFilter::text>("quer"),
    ShortKey<&CFilter::status>("status"),
    ShortKey<&CFilter::status2>("status2"),
    ShortKey<&CFilter::method>("method"),
};

constexpr KeyDef kAdwordKeys[] = {
    StringKey<&CAdword::url>("url"),
    StringKey<&CAdword::name>("name"),
    ShortKey<&CAdword::type>("type"),
};

constexpr KeyDef kColumnsKeys[] = {
    ShortKey<&CColumnsCfg::type>("type"),
    StringKey<&CColumnsCfg::cfg>("cfg"),
};

constexpr KeyDef kHostCommentKeys[] = {
    StringKey<&CHostComment::host>("host"),
    StringKey<&CHostComment::comment>("comment"),
};

CWorkspaceFile& Workspace(CSectionFile& f) { return static_cast<CWorkspaceFile&>(f); }
void* CommonFields(CSectionFile& f) { return &Workspace(f).common; }
CLogSourceList& Sources(CSectionFile&) { return g_project.sources; }
CGroupList& Groups(CSectionFile& f) { return Workspace(f).groups; }
CFilterList& Filters(CSectionFile&) { return g_project.filters; }
CAdwordList& Adwords(CSectionFile&) { return g_project.adwords; }
CColumnsCfgList& Columns(CSectionFile& f) { return Workspace(f).columns; }
CHostCommentList& HostComments(CSectionFile&) { return g_project.host_comments; }

template <class List, List& (*Get)(CSectionFile&)>
constexpr RecordAccessor kListAccess = {
    [](CSectionFile& f) -> int32_t { return Get(f).Count(); },
    [](CSectionFile& f, int32_t i) -> void* { return Get(f).Get(i); },
    [](CSectionFile& f) -> void* { return Get(f).AddEmpty(); },
    [](CSectionFile& f) { Get(f).Clear(); },
};

template <class T, size_t N>
constexpr int32_t Count(const T (&)[N]) {
  return static_cast<int32_t>(N);
}

constexpr SectionDef kSections[] = {
    {"Common", kCommonKeys, Count(kCommonKeys), nullptr, &CommonFields},
    {"logfile", kLogKeys, Count(kLogKeys), &kListAccess<CLogSourceList, &Sources>, nullptr},
    {"group", kGroupKeys, Count(kGroupKeys), &kListAccess<CGroupList, &Groups>, nullptr},
    {"filter", kFilterKeys, Count(kFilterKeys), &kListAccess<CFilterList, &Filters>, nullptr},
    {"adword", kAdwordKeys, Count(kAdwordKeys), &kListAccess<CAdwordList, &Adwords>, nullptr},
    {"columns", kColumnsKeys, Count(kColumnsKeys), &kListAccess<CColumnsCfgList, &Columns>, nullptr},
    {"hostcomm", kHostCommentKeys, Count(kHostCommentKeys), &kListAccess<CHostCommentList, &HostComments>, nullptr},
};

void AddDefaultGroupsTo(CGroupList& groups) {
  groups.Insert(groups.Count(), "Pages", ".html;.htm;.asp;.php;.cfm;.shtm;.shtml;.jsp", kGroupPages);
  groups.Insert(groups.Count(), "Downloads", ".exe;.zip;.mp3;.avi;.rar", kGroupDownloads);
}

void ResetWorkspace(CWorkspaceFile& ws) {
  ws.ResetToDefaults();
  ws.AddDefaultGroups();
}

}  // namespace

const char* const kDefaultWhoisUrl = kWhoisText;

CWorkspaceFile g_workspace;

CWorkspaceFile::CWorkspaceFile() : CSectionFile(kSections, Count(kSections), 1.0) { StoreFixedDefaults(); }

CWorkspaceFile::~CWorkspaceFile() {
  for (char** text : {&common.URL, &common.index, &common.whois_url, &common.language, &common.download_dt}) {
    free(*text);
    *text = nullptr;
  }
}

void CWorkspaceFile::AddDefaultGroups() { AddDefaultGroupsTo(groups); }

void CWorkspaceFile::ApplyWorkspaceSettings(const WorkspaceSettings& s) {
  WorkspaceCommon& c = common;
  SetString(&c.URL, s.URL.c_str());
  SetString(&c.index, s.index.c_str());
  SetString(&c.whois_url, s.whois_url.c_str());
  SetString(&c.language, s.language.c_str());
  const std::pair<int16_t*, int16_t> shorts[] = {
      {&c.dt_format, s.dt_format},
      {&c.dt_separator, s.dt_separator},
      {&c.dt_4year, s.dt_4year},
      {&c.dt_fmnth, s.dt_fmnth},
      {&c.dt_dweek, s.dt_dweek},
      {&c.tm_format, s.tm_format},
      {&c.zone_server, s.zone_server},
      {&c.zone_report, s.zone_report},
      {&c.add_countr, s.add_countr},
      {&c.sh_no_refer, s.sh_no_refer},
      {&c.add_day_week, s.add_day_week},
      {&c.ignore_argm, s.ignore_argm},
      {&c.send_receive, s.send_receive},
      {&c.session, s.session},
      {&c.int_reff, s.int_reff},
      {&c.reff_se, s.reff_se},
      {&c.dns_lookup, s.dns_lookup},
      {&c.ip_lookup, s.ip_lookup},
      {&c.case_page, s.case_page},
      {&c.auto_robot, s.auto_robot},
      {&c.save_a_robot, s.save_a_robot},
      {&c.confirmation_robot, s.confirmation_robot},
      {&c.not_use_cookie, s.not_use_cookie},
      {&c.expand_groups, s.expand_groups},
      {&c.subdomain, s.subdomain},
      {&c.display_bad_file, s.display_bad_file},
      {&c.case_kwd, s.case_kwd},
      {&c.host_represnt, s.host_represnt},
  };
  for (const auto& [field, value] : shorts) SetShort(field, value);
  LoadReportLanguage(c.language);
}

const char* CWorkspaceFile::GetColumnsCfg(uint16_t kind) const {
  for (int i = 0; i < columns.Count(); ++i)
    if (columns[i].type == kind) return columns[i].cfg;
  return nullptr;
}

int CWorkspaceFile::SetColumnsCfg(uint16_t kind, const char* text) {
  CColumnsCfg* record = nullptr;
  for (int i = 0; i < columns.Count() && !record; ++i)
    if (columns[i].type == kind) record = columns.Get(i);
  if (!record) {
    if (!text || !*text) return 0;
    record = columns.AddEmpty();
    if (!record) {
      EngineError("Memory overflou");
      return 0;
    }
    record->type = kind;
  }
  return SetString(&record->cfg, text);
}

CWorkspaceFile* SetWorkspaceDefaults() {
  ResetWorkspace(g_workspace);
  LoadReportLanguage(g_workspace.common.language);
  return &g_workspace;
}

CWorkspaceFile* LoadWorkspace(const char* fileName) {
  CWorkspaceFile& ws = g_workspace;
  // The name may be the workspace's own, which a reset frees.
  std::string name(fileName ? fileName : "");
  char* text = nullptr;
  size_t length = 0;
  if (name.empty() || !ReadWholeFile(name.c_str(), &text, &length, 1)) {
    ResetWorkspace(ws);
  } else if (memmem(text, length, "FormatVersion=", 14)) {
    ws.ResetToDefaults();
    if (ws.LoadText(name.c_str(), text, length)) tv::ChangeDir(tv::DirectoryOf(name));
    else ResetWorkspace(ws);
  } else {
    // Every path starts from the defaults, so nothing of the previous workspace survives.
    ws.ResetToDefaults();
    if (ReadOldWorkspace(name.c_str())) {
      ws.SetString(&ws.common.index, g_project.index);
      ws.SetString(&ws.common.URL, g_project.url);
      ws.groups = std::move(g_project.groups);
      g_project.groups.Clear();
      // Kept, so the next save writes the section form under the same name.
      ws.SetFileName(name.c_str());
      ws.ClearDirty();
      tv::ChangeDir(tv::DirectoryOf(name));
    } else {
      g_project.Clear();
      SetStr(&g_project.url, "http://");
      SetStr(&g_project.index, "index.html");
      AddDefaultGroupsTo(g_project.groups);
      ResetWorkspace(ws);
    }
  }
  free(text);
  if (ws.FileName()) {
    // What a save of this workspace that was killed left beside it.
    std::string dir = tv::DirectoryOf(name);
    tv::RemoveStaleSaveFiles(dir.empty() ? "." : dir, name.substr(dir.size()));
  }
  LoadReportLanguage(ws.common.language);
  return &ws;
}

CWorkspaceFile* SaveWorkspace(const char* fileName, int* ok) {
  int saved = g_workspace.SaveAs(fileName);
  if (ok) *ok = saved;
  return &g_workspace;
}

int ReadOldWorkspace(const char* fileName) {
  using K = KeywordTokenizer;
  g_project.Clear();
  auto bad = [fileName] {
    EngineErrorF("'%s' bad workspace", fileName ? fileName : "");
    return 0;
  };
  char* text = nullptr;
  size_t length = 0;
  if (!fileName || !ReadWholeFile(fileName, &text, &length, 0)) return bad();
  std::unique_ptr<char, void (*)(void*)> hold(text, &free);

  K tk(text, length);
  auto expect = [&tk](K::Kind kind, K::Token* out = nullptr) {
    K::Token t = tk.Next();
    if (out) *out = t;
    return t.kind == kind;
  };
  for (;;) {
    K::Token t = tk.Next();
    if (t.kind == K::End) break;
    K::Token a, b, n;
    if (t.Is("log", true)) {
      if (!expect(K::Equals) || !expect(K::String, &a)) return bad();
      CLogSource* source = g_project.sources.AddEmpty();
      if (!source) {
        EngineOutOfMemory(1284);
        return 0;
      }
      SetStr(&source->file, a.Text().c_str());
    } else if (t.Is("group", true)) {
      if (!expect(K::Equals) || !expect(K::LBrace) || !expect(K::String, &a) || !expect(K::Comma) ||
          !expect(K::String, &b) || !expect(K::Comma) || !expect(K::Number, &n) || !expect(K::RBrace))
        return bad();
      g_project.groups.Insert(g_project.groups.Count(), a.Text().c_str(), b.Text().c_str(),
                              static_cast<uint16_t>(ParseDecimalToken(n.text, n.length)));
    } else if (t.Is("url", true) || t.Is("index", true)) {
      if (!expect(K::Equals) || !expect(K::String, &a)) return bad();
      SetStr(t.Is("url", true) ? &g_project.url : &g_project.index, a.Text().c_str());
    } else {
      return bad();
    }
  }
  if (!g_project.index) SetStr(&g_project.index, "index.html");
  return 1;
}

int BuildColumnMarks(char* buffer, size_t size, const int* values, int n) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  size_t used = 0;
  int written = 0;
  for (int i = 0; i < n && values; ++i) {
    char mark[24];
    int len = snprintf(mark, sizeof mark, "+C%03i=", values[i]);
    if (len < 0 || used + static_cast<size_t>(len) + 1 > size) break;
    memcpy(buffer + used, mark, static_cast<size_t>(len) + 1);
    used += static_cast<size_t>(len);
    ++written;
  }
  return written;
}

int ParseColumnMarks(const char* text, int slots[5]) {
  for (int i = 0; i < 5; ++i) slots[i] = 0;
  if (!text) return 0;
  size_t length = strlen(text);
  int kept = 0;
  // A mark is six characters, "+C", three digits and '='; nothing beyond the text is read.
  for (size_t i = 0; i + 5 < length && kept < 5; ++i) {
    const char* m = text + i;
    if (m[0] != '+' || m[1] != 'C' || m[5] != '=') continue;
    bool digits = true;
    int value = 0;
    for (int k = 2; k < 5; ++k) {
      digits = digits && m[k] >= '0' && m[k] <= '9';
      value = value * 10 + (m[k] - '0');
    }
    if (digits && value >= 2 && value <= 7) slots[kept++] = value;
  }
  return kept;
}
