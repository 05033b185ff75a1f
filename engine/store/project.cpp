#include "engine/store/project.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/msgsink.h"
#include "base/textutil.h"

std::atomic<bool> g_logsStale{false};
CProject g_project;
uint32_t g_queryGeneration = 0;

namespace {

// SetStr, telling an allocation failure (already reported) from an equal text.
bool CopyText(char** field, const char* text) {
  SetStr(field, text);
  if (!text || !*text) return *field == nullptr;
  return *field && strcmp(*field, text) == 0;
}

void FreeText(char** field) {
  free(*field);
  *field = nullptr;
}

bool SameNoCase(const char* a, const char* b) { return a && b && strcasecmp(a, b) == 0; }

using SourceText = char* CLogSource::*;

// The texts a workspace stores; Add and Update copy exactly these.
constexpr SourceText kStoredTexts[] = {
    &CLogSource::file,      &CLogSource::db_dns,    &CLogSource::db_table,  &CLogSource::db_date,
    &CLogSource::db_host,   &CLogSource::db_page,   &CLogSource::db_refer,  &CLogSource::db_size,
    &CLogSource::db_sizer,  &CLogSource::db_status, &CLogSource::db_usera,  &CLogSource::db_cookie,
    &CLogSource::db_met,    &CLogSource::user,      &CLogSource::psw,       &CLogSource::url,
    &CLogSource::proxy,     &CLogSource::path,      &CLogSource::server,    &CLogSource::firewall,
};

void FreeSourceTexts(CLogSource* s) {
  for (SourceText t : kStoredTexts) FreeText(&(s->*t));
  FreeText(&s->files);
  FreeText(&s->display_names);
}

bool CopyStoredFields(CLogSource* dst, const CLogSource& src) {
  dst->type = src.type;
  dst->prop = src.prop;
  dst->port_proxy = src.port_proxy;
  dst->port = src.port;
  dst->port_fw = src.port_fw;
  bool ok = true;
  for (SourceText t : kStoredTexts) ok = CopyText(&(dst->*t), src.*t) && ok;
  return ok;
}

bool CopyFilter(CFilter* dst, const CFilter& src) {
  dst->type = src.type;
  dst->include = src.include;
  dst->ip1 = src.ip1;
  dst->ip2 = src.ip2;
  dst->status = src.status;
  dst->status2 = src.status2;
  dst->method = src.method;
  return CopyText(&dst->text, FilterUsesText(src.type) ? src.text : nullptr);
}

void SetAdword(CAdword* dst, const CAdword& src) {
  dst->type = src.type;
  SetStr(&dst->url, src.url);
  if (src.name && *src.name) SetStr(&dst->name, src.name);
}

}  // namespace

// ---------------------------------------------------------------------------
// Log sources

CLogSource::~CLogSource() { FreeSourceTexts(this); }

void CLogSourceList::InitEntry(CLogSource* s) {
  s->type = kSourceLocal;
  for (SourceText t : kStoredTexts) s->*t = nullptr;
  s->files = nullptr;
  s->display_names = nullptr;
  s->reserved = 0;
  s->prop = 0;
  s->port_proxy = 0;
  s->port = 0;
  s->port_fw = 0;
  s->records.Init();
  s->loaded = 0;
  s->remote = 0;
}

void CLogSourceList::FreeEntry(CLogSource* s) {
  FreeSourceTexts(s);
  s->records.Free();
  InitEntry(s);
}

CLogSource* CLogSourceList::Add(const CLogSource& source) {
  CLogSource* s = InsertNew(Count());
  if (!s) {
    EngineOutOfMemory(1284);
    return nullptr;
  }
  if (!CopyStoredFields(s, source)) {
    m_items.pop_back();
    return nullptr;
  }
  return s;
}

int CLogSourceList::AddFiles(const char* paths) {
  if (!paths) return 0;
  int added = 0;
  for (const char* p = paths;;) {
    const char* end = strchr(p, ';');
    std::string item(p, end ? static_cast<size_t>(end - p) : strlen(p));
    bool present = item.empty();
    for (int i = 0; i < Count() && !present; i++) present = SameNoCase((*this)[i].file, item.c_str());
    if (!present) {
      CLogSource* s = InsertNew(Count());
      if (!s) {
        EngineOutOfMemory(1284);
        return added;
      }
      s->type = kSourceLocal;
      if (!CopyText(&s->file, item.c_str())) {
        m_items.pop_back();
        return added;
      }
      added++;
    }
    if (!end) break;
    p = end + 1;
  }
  return added;
}

void CLogSourceList::Update(int n, const CLogSource& source) {
  CLogSource* s = Get(n);
  if (!s) return;
  if (s->type != source.type) {
    FreeText(&s->files);
    s->loaded = 0;
  }
  CopyStoredFields(s, source);
}

void CLogSourceList::ResetEntryRecords(int n) {
  CLogSource* s = Get(n);
  if (!s) return;
  s->records.Free();
  s->loaded = 0;
  s->reserved = 0;
}

void CLogSourceList::ResetRecords() {
  for (int i = 0; i < Count(); i++) ResetEntryRecords(i);
  g_logsStale = true;
}

// ---------------------------------------------------------------------------
// Groups

CGroup::~CGroup() {
  FreeText(&name);
  FreeText(&masks);
}

CGroup* CGroupList::AddEmpty() {
  if (Count() >= kMaxGroups) return nullptr;
  CGroup* g = InsertNew(Count());
  if (!g) EngineOutOfMemory(742);
  return g;
}

int CGroupList::Insert(int position, const char* name, const char* masks, uint16_t type) {
  if (Count() >= kMaxGroups || position < 0 || position > Count()) return 0;
  CGroup* g = InsertNew(position);
  if (!g) {
    EngineOutOfMemory(742);
    return 0;
  }
  g->type = type;
  if (!CopyText(&g->name, name) || !CopyText(&g->masks, masks)) {
    m_items.erase(m_items.begin() + position);
    return 0;
  }
  return 1;
}

void CGroupList::Set(int n, const char* name, const char* masks, uint16_t type) {
  CGroup* g = Get(n);
  if (!g) return;
  SetStr(&g->name, name);
  SetStr(&g->masks, masks);
  g->type = type;
}

int CGroupList::MoveUp(int n) {
  if (!Valid(n) || n == 0) return n;
  std::swap(m_items[n], m_items[n - 1]);
  return n - 1;
}

int CGroupList::MoveDown(int n) {
  if (!Valid(n) || n == Count() - 1) return n;
  std::swap(m_items[n], m_items[n + 1]);
  return n + 1;
}

void CGroupList::CopyFrom(const CGroupList& list) {
  if (&list == this) return;
  // Built aside so a failure leaves the list as it was.
  CGroupList copy;
  for (int i = 0; i < list.Count(); i++)
    if (!copy.Insert(i, list[i].name, list[i].masks, list[i].type)) return;
  *this = std::move(copy);
}

int CGroupMaskList::AddList(const char* masks, uint32_t group, uint16_t type) {
  if (type == kGroupPages && folder_group == kNoGroup) folder_group = group;
  if (!masks) return 1;
  for (const char* p = masks;;) {
    const char* end = strchr(p, ';');
    size_t len = end ? static_cast<size_t>(end - p) : strlen(p);
    if (len > 0) {
      CGroupMask m{};
      size_t keep = std::min(len, static_cast<size_t>(CGroupMask::kMaxMaskLen));
      memcpy(m.mask, p, keep);
      m.mask[keep] = '\0';
      m.group = group;
      m.downloads = type == kGroupDownloads;
      m.not_ext = p[0] != '.';
      try {
        entries.push_back(m);
      } catch (const std::bad_alloc&) {
        return 0;
      }
    }
    if (!end) break;
    p = end + 1;
  }
  return 1;
}

int CGroupMaskList::Build(const CGroupList& groups) {
  Clear();
  for (int i = 0; i < groups.Count(); i++)
    if (!AddList(groups[i].masks, static_cast<uint32_t>(i), groups[i].type)) return 0;
  return 1;
}

void CGroupMaskList::Clear() {
  entries.clear();
  folder_group = kNoGroup;
}

// ---------------------------------------------------------------------------
// Filters

bool FilterUsesText(uint16_t type) {
  return type == kFilterHost || type == kFilterPage || type == kFilterReferrer ||
         type == kFilterRefDomain || type == kFilterSite;
}

CFilter::~CFilter() { FreeText(&text); }

CFilter* CFilterList::Add(const CFilter& filter) {
  CFilter* f = InsertNew(Count());
  if (!f) return nullptr;
  if (!CopyFilter(f, filter)) {
    m_items.pop_back();
    return nullptr;
  }
  return f;
}

void CFilterList::Set(int n, const CFilter& filter) {
  if (CFilter* f = Get(n)) CopyFilter(f, filter);
}

void CFilterList::CopyFrom(const CFilterList& list) {
  if (&list == this) return;
  CFilterList copy;
  for (int i = 0; i < list.Count(); i++)
    if (!copy.Add(list[i])) return;
  *this = std::move(copy);
}

// ---------------------------------------------------------------------------
// Host comments

CHostComment::~CHostComment() {
  FreeText(&host);
  FreeText(&comment);
}

int CHostCommentList::IndexOf(const char* host) const {
  for (int i = 0; i < Count(); i++)
    if (SameNoCase((*this)[i].host, host)) return i;
  return -1;
}

void CHostCommentList::Set(const char* host, const char* comment) {
  if (!host || !*host) return;
  int i = IndexOf(host);
  if (!comment || !*comment) {
    Delete(i);
    return;
  }
  if (i >= 0) {
    SetStr(&(*this)[i].host, host);
    SetStr(&(*this)[i].comment, comment);
    return;
  }
  CHostComment* e = AddEmpty();
  if (e && !(CopyText(&e->host, host) && CopyText(&e->comment, comment))) m_items.pop_back();
}

const char* CHostCommentList::Find(const char* host) const {
  int i = IndexOf(host);
  return i >= 0 ? (*this)[i].comment : nullptr;
}

// ---------------------------------------------------------------------------
// Pay-per-click pages and column choices

CAdword::~CAdword() {
  FreeText(&url);
  FreeText(&name);
}

CAdword* CAdwordList::Add(const CAdword* entry) {
  CAdword* e = AddEmpty();
  if (e && entry) SetAdword(e, *entry);
  return e;
}

void CAdwordList::Set(int n, const CAdword& entry) {
  if (CAdword* e = Get(n)) SetAdword(e, entry);
}

void CAdwordList::CopyFrom(const CAdwordList& list) {
  if (&list == this) return;
  CAdwordList copy;
  for (int i = 0; i < list.Count(); i++)
    if (!copy.Add(&list[i])) return;
  *this = std::move(copy);
}

CColumnsCfg::~CColumnsCfg() { FreeText(&cfg); }

// ---------------------------------------------------------------------------
// Project

CProject::CProject() { Reset(); }

CProject::~CProject() { Clear(); }

bool CProject::NeedPeriodDialog(int always) {
  bool odbc = false;
  for (int n = 0; n < sources.Count(); ++n) odbc = odbc || sources[n].type == kSourceOdbc;
  if (!odbc) return false;
  if (always) return true;
  if (period_asked) return false;
  period_asked = true;
  return true;
}

void CProject::Reset() {
  sources.Clear();
  period_asked = false;
  groups.Clear();
  filters.Clear();
  host_comments.Clear();
  first_date = first_time = 0;
  last_date = last_time = 0;
  FreeText(&url);
  FreeText(&index);
  spare2 = 0;
  pass_flag = 0;
  analysis_mode = 0;
  session = 30;
  int_reff = 1;
  reff_se = 1;
  expand_groups = 1;
  subdomain = 0;
  options_copied = 0;
  from_date = from_spare = to_date = to_spare = 0;
  int16_t ignoreArgm = display.ignore_argm;  // not one of the options a reset clears
  display = CDisplayOptions{};
  display.ignore_argm = ignoreArgm;
}

void CProject::Clear() {
  adwords.Clear();
  Reset();
}
