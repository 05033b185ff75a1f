#include "ui/core/reportcells.h"

#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/pathlist.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/urltext.h"
#include "ui/core/columnstate.h"
#include "ui/core/uistate.h"

namespace {

// Seven groups fit the column types 112 to 125.
constexpr int kGroupColumnGroups = 7;
constexpr int kSummaryRows = 16;

// Cells are asked for on the UI thread; an export sorting on the worker must
// not share the scratch space of the comparator with it.
thread_local char t_cell[kCellTextSize];
thread_local char t_scratch[kCellTextSize];

bool SendReceive() { return g_project.send_receive != 0; }

// The text of a pooled handle, null when absent or empty.
const char* PoolText(const CStringPool& pool, TextHandle h) {
  const char* t = pool.Text(h);
  return t && *t ? t : nullptr;
}
const char* ReferrerOf(const CHitRecord* r) { return PoolText(g_pools.referrers, r->GetReferrer()); }
const char* AgentOf(const CHitRecord* r) { return PoolText(g_pools.agents, r->GetUserAgent()); }
const char* CookieOf(const CHitRecord* r) { return PoolText(g_pools.cookies, r->GetCookie()); }
const char* UserOf(const CHitRecord* r) { return PoolText(g_pools.users, r->GetUserName()); }
const char* SubdomainOf(const CHitRecord* r) { return PoolText(g_pools.subdomains, r->GetSubdomain()); }
const char* PageOf(const CHitRecord* r) {
  const char* t = r->PageText();
  return t ? t : "";
}

// Copies text into the cell buffer, cut to fit; a cut never splits a UTF-8
// sequence (at most three continuation bytes are given back).
const char* CellText(const char* text) {
  if (!text) text = "";
  if (text == t_cell) return t_cell;
  size_t n = strlen(text);
  if (n >= kCellTextSize) {
    n = kCellTextSize - 1;
    for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80; ++back) --n;
  }
  memmove(t_cell, text, n);
  t_cell[n] = 0;
  return t_cell;
}

__attribute__((format(printf, 1, 2))) const char* CellPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(t_scratch, sizeof t_scratch, format, args);
  va_end(args);
  return CellText(t_scratch);
}

double Percent(uint64_t value, uint64_t total) {
  return total == 0 ? 0.0 : static_cast<double>(value) * 100.0 / static_cast<double>(total);
}

// A count, with its share of the total when the option is on and totals are given.
const char* CountCell(uint64_t value, uint64_t total, bool withPercent) {
  if (withPercent) return CellPrintf("%llu (%1.2lf%%)", static_cast<unsigned long long>(value), Percent(value, total));
  return CellPrintf("%llu", static_cast<unsigned long long>(value));
}
const char* SizeCell(uint64_t value, uint64_t total, bool withPercent) {
  char size[64];
  FormatSize(size, sizeof size, static_cast<int64_t>(std::min<uint64_t>(value, INT64_MAX)));
  if (withPercent) return CellPrintf("%s (%1.2lf%%)", size, Percent(value, total));
  return CellText(size);
}

// Extra columns that both the kind's configuration and the table's rows hold.
uint32_t UsableExtraColumns(const CRowTable* table) {
  if (!table) return 0;
  int ids[5];
  int configured = ExtraColumnIds(static_cast<int>(table->params.kind), ids);
  return std::min<uint32_t>(static_cast<uint32_t>(configured), table->KeyCount());
}

const char* KeyCell(int type, const CHitRecord* key) {
  if (type == kReportPath) {
    thread_local std::string path;
    if (!g_pathList.PathText(key->VisitorId(), &path)) return CellText("");
    return CellText(path.c_str());
  }
  return CellText(GetHitFieldText(type, t_scratch, key, sizeof t_scratch, true));
}

const char* SummaryCell(int64_t item, int column) {
  if (item >= kSummaryRows) return CellText("");
  int r = static_cast<int>(item);
  if (!SendReceive() && r >= 4) ++r;  // no Receive row
  if (r >= kSummaryRows) return CellText("");
  const CSummaryStats& s = g_summaryStats;
  static const int kLabels[kSummaryRows] = {kTermHosts,    kTermVisitors, kTermHits,        kTermBandwidth,
                                            kTermReceive,  kTermPages,    kTermErrors,      kTermSes,
                                            kTermKeywords, kTermReferSites, kTermRefers,    kTermContrys,
                                            kTermEntrys,   kTermRobots,   -1,               -1};
  if (column == 0) {
    if (r == 3 && SendReceive()) return CellText(GetTerm(kTermSend));
    if (r == 14) return CellText("Pageviews");
    if (r == 15) return CellText("Average Pageviews per Visitor");
    return CellText(GetTerm(kLabels[r]));
  }
  const uint32_t counts[kSummaryRows] = {s.hosts,    s.visitors,       s.hits,      0,         0,
                                         s.pages,    s.errors,         s.searchEngines, s.keywords, s.referringSites,
                                         s.referrers, s.countries,     s.entryPages, s.spiders, s.pageViews,
                                         0};
  switch (r) {
    case 3: return SizeCell(s.bytesSent, 0, false);
    case 4: return SizeCell(s.bytesReceived, 0, false);
    case 15:
      if (s.visitors == 0) return CellText("-");
      return CellPrintf("%4.2lf", static_cast<double>(s.pageViews) / static_cast<double>(s.visitors));
  }
  return CellPrintf("%u", counts[r]);
}

// ---------------------------------------------------------------------------
// Sorting

struct SortParameters {
  int type = kColHits;
  bool ascending = false;
  int kind = 0;
  uint32_t extraColumns = 0;
  uint32_t groupSlots = 0;  // of the rows: their layout for RowField
};
SortParameters s_sort;

int Sign(int c) { return c < 0 ? -1 : c > 0; }
template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : a > b;
}

uint32_t ExtraValue(const CRow* row, uint32_t n, uint32_t groupSlots) {
  return row->Get<uint32_t>(CRow::kHeadSize + 4 * (static_cast<size_t>(n) + 3 * groupSlots));
}

// Columns whose order comes from the row's representative record.
bool ReadsKey(int type) {
  return type < kColHits || type == kColStatus || type == kColDateTime || type == kColHitSent ||
         type == kColHitReceived || type == kColUserAgent || type == kColCookie || type == kColSubdomain;
}

// How a key column orders its rows by text: the comparison, and where a
// missing text goes (as "", first in both directions, or first ascending).
enum TextMode : uint8_t { kNotText, kCollate, kBytes, kBytesNoCase };
enum AbsentRule : uint8_t { kAbsentEmpty, kAbsentFirstFixed, kAbsentFirst };
struct TextRule {
  TextMode mode = kNotText;
  AbsentRule absent = kAbsentEmpty;
};

TextRule TextRuleOf(int type) {
  switch (type) {
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportChildPages: return {g_project.display.case_page ? kBytesNoCase : kBytes, kAbsentEmpty};
    case kReportReferrer:
    case kReportOs:
    case kReportBrowser:
    case kReportSpider:
    case kReportTopDomain:
    case kColCookie:
    case kColSubdomain: return {kCollate, kAbsentFirstFixed};
    case kReportUser: return {kCollate, kAbsentFirst};
    case kReportKeyword:
    case kReportSearchEngine:
    case kReportReferringSite:
    case kReportCountry:
    case kReportFileType:
    case kReportFolder:
    case kReportCity:
    case kReportRegion:
    case kReportPath:
    case kReportArgument:
    case kColUserAgent: return {kCollate, kAbsentEmpty};
    default: return {};
  }
}

// The text a key column sorts the record by, null when it has none; buf
// (kUrlTextSize) and path hold what is made for it.
const char* SortTextOf(int type, const CHitRecord* r, char* buf, std::string* path) {
  switch (type) {
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportChildPages: return PageOf(r);
    case kReportReferrer: return ReferrerOf(r);
    case kReportKeyword: return FormatKeyText(buf, ReferrerOf(r), r->RobotIndex(), kKeywordSize);
    case kReportSearchEngine: return SiteName(r->RobotIndex());
    case kReportReferringSite: {
      const char* x = ReferrerOf(r);
      return x ? CopyUrlWithoutScheme(buf, x, kUrlTextSize, 0) : "";
    }
    case kReportCountry: return GetCountryOf(r);
    case kReportOs: {
      const char* x = AgentOf(r);
      return x ? FindOperatingSystem(x) : nullptr;
    }
    // Without a buffer the names are the tables' own texts.
    case kReportBrowser:
    case kReportSpider: return AgentOf(r) ? FormatBrowser(r, nullptr, 0) : nullptr;
    case kReportFileType: return ExtensionOfPath(buf, PageOf(r), 151);
    case kReportFolder: return FolderOfUrl(buf, PageOf(r), kUrlTextSize);
    case kReportTopDomain: {
      const char* x = ReferrerOf(r);
      return x ? DomainOfUrl(buf, x, kUrlTextSize) : nullptr;
    }
    case kReportCity: return GetCityRegionCountryOf(buf, kUrlTextSize, r, true);
    case kReportRegion: return GetRegionCountryOf(buf, kUrlTextSize, r, true);
    case kReportUser: return UserOf(r);
    case kReportPath:
      g_pathList.PathText(r->VisitorId(), path);
      return path->c_str();
    case kReportArgument: return QueryPartOfUrl(r->Page());
    case kColUserAgent: return AgentOf(r);
    case kColCookie: return CookieOf(r);
    case kColSubdomain: return SubdomainOf(r);
    default: return nullptr;
  }
}

int CompareTexts(TextMode mode, const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  switch (mode) {
    case kBytes: return Sign(strcmp(a, b));
    case kBytesNoCase: return Sign(strcasecmp(a, b));
    default: return Sign(strcoll(a, b));
  }
}

int CompareKeys(int type, const CRow* ra, const CRow* rb, bool* fixed) {
  const CHitRecord* a = ra->Record();
  const CHitRecord* b = rb->Record();
  if (!a || !b) return Order(a != nullptr, b != nullptr);
  if (TextRule rule = TextRuleOf(type); rule.mode != kNotText) {
    thread_local char ba[kUrlTextSize], bb[kUrlTextSize];
    thread_local std::string pa, pb;
    const char* x = SortTextOf(type, a, ba, &pa);
    const char* y = SortTextOf(type, b, bb, &pb);
    if (rule.absent != kAbsentEmpty && (x == nullptr) != (y == nullptr)) {
      *fixed = rule.absent == kAbsentFirstFixed;
      return x ? 1 : -1;
    }
    return CompareTexts(rule.mode, x, y);
  }
  switch (type) {
    case kReportHost:
    case kReportVisitor: return CompareByHost(a, b);
    case kReportHour: return Order(HourOfSeconds(a->Seconds()), HourOfSeconds(b->Seconds()));
    case kReportWeekday: return Order(DayOfWeek(a->PackedDate()), DayOfWeek(b->PackedDate()));
    case kReportGroup: return Order(a->PageType(), b->PageType());
    case kReportMonth: return Order(static_cast<int8_t>(a->Month()), static_cast<int8_t>(b->Month()));
    case kReportStatus: return Order(a->StatusWord(), b->StatusWord());
    case kReportDate:
    case kColDateTime:
      if (int c = Order(a->PackedDate(), b->PackedDate())) return c;
      return Order(a->Seconds(), b->Seconds());
    case kColStatus: return Order(a->Status(), b->Status());
    case kColHitSent:
      if (int c = Order(a->BytesSent(), b->BytesSent())) return c;
      return Order(a->GetBytesReceived(), b->GetBytesReceived());
    case kColHitReceived: return Order(a->GetBytesReceived(), b->GetBytesReceived());
  }
  return 0;
}

int CompareValues(int type, const CRow* a, const CRow* b) {
  switch (type) {
    case kColHits: return Order(a->Hits(), b->Hits());
    case kColBytesSent: return Order(a->BytesSent(), b->BytesSent());
    case kColVisitors: return Order(a->Visitors(), b->Visitors());
    case kColPages: return Order(a->Pages(), b->Pages());
    case kColBytesReceived: return Order(a->BytesReceived(), b->BytesReceived());
  }
  if (type >= kColGroupHits && type < kColSummaryLabel) {
    uint32_t g = static_cast<uint32_t>(type - kColGroupHits) / 2;
    if (g >= std::min<uint32_t>(s_sort.groupSlots, kGroupColumnGroups)) return 0;
    if ((type - kColGroupHits) % 2 == 0) return Order(a->GroupHits(g), b->GroupHits(g));
    return Order(a->GroupBytes(g), b->GroupBytes(g));
  }
  if (type >= kColExtra && type < kColUnused) {
    uint32_t n = static_cast<uint32_t>(type - kColExtra);
    if (n >= s_sort.extraColumns) return 0;
    return Order(static_cast<int32_t>(ExtraValue(a, n, s_sort.groupSlots)),
                 static_cast<int32_t>(ExtraValue(b, n, s_sort.groupSlots)));
  }
  return 0;
}

// The order of a row by a number column as one number.
uint64_t ValueKey(int type, const CRow* row) {
  switch (type) {
    case kColHits: return row->Hits();
    case kColBytesSent: return row->BytesSent();
    case kColVisitors: return row->Visitors();
    case kColPages: return row->Pages();
    case kColBytesReceived: return row->BytesReceived();
  }
  if (type >= kColGroupHits && type < kColSummaryLabel) {
    uint32_t g = static_cast<uint32_t>(type - kColGroupHits) / 2;
    if (g >= std::min<uint32_t>(s_sort.groupSlots, kGroupColumnGroups)) return 0;
    return (type - kColGroupHits) % 2 == 0 ? row->GroupHits(g) : row->GroupBytes(g);
  }
  if (type >= kColExtra && type < kColUnused) {
    uint32_t n = static_cast<uint32_t>(type - kColExtra);
    if (n >= s_sort.extraColumns) return 0;
    // Signed values: the sign bit turned round orders them as unsigned.
    return ExtraValue(row, n, s_sort.groupSlots) ^ 0x80000000u;
  }
  return 0;
}

// The order of a record by a key column that is not a text, as one number.
uint64_t RecordKey(int type, const CHitRecord* r) {
  switch (type) {
    case kReportHour: return HourOfSeconds(r->Seconds());
    case kReportWeekday: return static_cast<uint64_t>(static_cast<int64_t>(DayOfWeek(r->PackedDate())) + INT32_MAX);
    case kReportGroup: return r->PageType();
    case kReportMonth: return static_cast<uint64_t>(static_cast<int8_t>(r->Month()) + 128);
    case kReportStatus: return r->StatusWord();
    case kReportDate:
    case kColDateTime: return static_cast<uint64_t>(r->PackedDate()) << 32 | r->Seconds();
    case kColStatus: return r->Status();
    case kColHitSent: return static_cast<uint64_t>(r->BytesSent()) << 32 | r->GetBytesReceived();
    case kColHitReceived: return r->GetBytesReceived();
  }
  return 0;
}

int KeyImage(int kind, const CRow* row, const CHitRecord* key) {
  bool robot = (row->Flags() & kHitRobot) != 0;
  bool error = IsErrorStatus(key->Status());
  bool searchHit = (key->Flags() & kHitSearchEngine) != 0;
  switch (kind) {
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportGroup:
    case kReportChildPages: {
      if (robot && kind != kReportGroup) return 9;
      if (error) return 8;
      uint8_t group = key->PageType();
      if (group == CGroupMaskList::kNoGroup) return 29;
      const CGroup* g = g_project.groups.Get(group);
      if (g && g->type == kGroupDownloads) return 26;
      return group % 2 ? 31 : 2;
    }
    case kReportHost: return robot ? 6 : 3;
    case kReportVisitor: return robot ? 6 : 21;
    case kReportReferrer: return searchHit ? 6 : 2;
    case kReportKeyword: return 5;
    case kReportSearchEngine: return 6;
    case kReportReferringSite: return searchHit ? 6 : 25;
    case kReportOs:
    case kReportBrowser: return AgentOf(key) ? 25 : 32;
    case kReportFolder: return error ? 22 : 17;
    case kReportUser: return 3;
    case kReportSpider: return 9;
    case kReportDate: return 16;
    case kReportArgument: return 30;
    case kReportReferrerType:
      switch (ClassifyReferrer(key)) {
        case kRefNone: return 32;
        case kRefSearchEngine: return 6;
        case kRefSpider: return 9;
        case kRefInternal: return 4;
        case kRefExternal: return 7;
      }
      return 25;
  }
  return 25;
}

ReportColumnDef Column(const char* title, int format, int type) { return {title ? title : "", format, type}; }

}  // namespace

// ---------------------------------------------------------------------------
// Columns

int ExtraColumnIds(int kind, int ids[5]) {
  if (kind < 0 || kind > 0xFFFF) {
    for (int i = 0; i < 5; ++i) ids[i] = 0;
    return 0;
  }
  return ParseColumnMarks(g_workspace.GetColumnsCfg(static_cast<uint16_t>(kind)), ids);
}

const uint32_t* ExtraQueryKinds(int kind, uint32_t kinds[6]) {
  int ids[5];
  int n = ExtraColumnIds(kind, ids);
  for (int i = 0; i < 6; ++i) kinds[i] = i < n ? static_cast<uint32_t>(ids[i]) : 0;
  return kinds;
}

std::vector<ReportColumnDef> CustomColumnDefs(int kind) {
  std::vector<ReportColumnDef> columns;
  int ids[5];
  int n = ExtraColumnIds(kind, ids);
  for (int i = 0; i < n; ++i) columns.push_back(Column(ColumnTerm(ids[i]), 1, kColExtra + i));
  return columns;
}

std::vector<ReportColumnDef> GroupColumnDefs(int kind, int levelAboveKind) {
  std::vector<ReportColumnDef> columns;
  auto pageKind = [](int k) { return k == kReportPage || k == kReportEntry || k == kReportExit || k == kReportGroup; };
  if (g_groupSlots == 0 || pageKind(kind) || (levelAboveKind >= 0 && pageKind(levelAboveKind))) return columns;
  int groups = std::min({g_project.groups.Count(), kGroupColumnGroups, static_cast<int>(g_groupSlots)});
  for (int g = 0; g < groups; ++g) {
    if (!g_uiQuery.groupOn[g]) continue;
    const char* name = g_project.groups[g].name ? g_project.groups[g].name : "";
    columns.push_back(Column((std::string("H:") + name).c_str(), 1, kColGroupHits + 2 * g));
    columns.push_back(Column((std::string("B:") + name).c_str(), 1, kColGroupBytes + 2 * g));
  }
  return columns;
}

std::vector<ReportColumnDef> ReportColumnDefs(int kind, int levelAboveKind) {
  std::vector<ReportColumnDef> c;
  const bool split = SendReceive();
  if (kind == kReportSummary) {
    c.push_back(Column(GetTerm(kTermDetail), 0, kColSummaryLabel));
    c.push_back(Column(GetTerm(kTermValue), 1, kColSummaryValue));
    return c;
  }
  if (kind == kReportItems) {
    c.push_back(Column(GetTerm(kTermHost), 0, kReportHost));
    c.push_back(Column(GetTerm(kTermDate), 0, kColDateTime));
    c.push_back(Column(GetTerm(kTermPage), 0, kReportPage));
    if (split) {
      c.push_back(Column(GetTerm(kTermSend), 1, kColHitSent));
      c.push_back(Column(GetTerm(kTermReceive), 1, kColHitReceived));
    } else {
      c.push_back(Column(GetTerm(kTermBandwidth), 1, kColHitSent));
    }
    c.push_back(Column(GetTerm(kTermStatus), 0, kColStatus));
    c.push_back(Column(GetTerm(kTermRefer), 0, kReportReferrer));
    c.push_back(Column(GetTerm(kTermUserAgent), 0, kColUserAgent));
    c.push_back(Column(GetTerm(kTermCookie), 0, kColCookie));
    c.push_back(Column(GetTerm(kTermSubdom), 0, kColSubdomain));
    return c;
  }
  c.push_back(Column(ReportKindTitle(kind), 0, kind));
  c.push_back(Column(GetTerm(kTermHits), 1, kColHits));
  if (kind != kReportHost && kind != kReportVisitor) c.push_back(Column(GetTerm(kTermXVisitors), 1, kColVisitors));
  if (kind != kReportPage && kind != kReportEntry && kind != kReportExit && kind != kReportFileType &&
      kind != kReportFolder)
    c.push_back(Column(GetTerm(kTermXPages), 1, kColPages));
  if (split) {
    c.push_back(Column(GetTerm(kTermSend), 1, kColBytesSent));
    c.push_back(Column(GetTerm(kTermReceive), 1, kColBytesReceived));
  } else {
    c.push_back(Column(GetTerm(kTermBandwidth), 1, kColBytesSent));
  }
  if (kind == kReportPage || kind == kReportFileType) c.push_back(Column(GetTerm(kTermType), 0, kReportGroup));
  for (ReportColumnDef& s : CustomColumnDefs(kind)) c.push_back(std::move(s));
  for (ReportColumnDef& s : GroupColumnDefs(kind, levelAboveKind)) c.push_back(std::move(s));
  return c;
}

std::vector<SideListItem> SideListItems() {
  std::vector<SideListItem> items;
  int groups = std::min(g_project.groups.Count(), CGroupList::kMaxGroups);
  for (int g = 0; g < groups; ++g) {
    const char* name = g_project.groups[g].name;
    items.push_back({name && *name ? name : "...", g_uiQuery.groupOn[g] ? 27 : 28});
  }
  items.push_back({GetTerm(kTermAllOther), g_uiQuery.groupOn[8] ? 27 : 28});
  return items;
}

// ---------------------------------------------------------------------------
// Items and cells

uint32_t ReportLeadingRows(int kind, const CRowTable* table) {
  if (kind == kReportSummary || kind == kReportItems || !table) return 0;
  return table->RowCount() >= 2 ? 1 : 0;
}

uint32_t ReportItemCount(int kind, const CRowTable* table) {
  if (kind == kReportSummary) return SendReceive() ? 16 : 15;
  if (!table || table->RowCount() <= 0) return 0;
  return static_cast<uint32_t>(table->RowCount()) + ReportLeadingRows(kind, table);
}

const char* FormatReportCell(int type, const CRowTable* table, const CRow* row) {
  if (!table) return CellText("");
  const CRowTotals& t = table->totals;
  const CHitRecord* key = row ? row->Record() : nullptr;
  const bool share = row != nullptr;  // never a share for the totals row itself
  if (type < kColHits) return key ? KeyCell(type, key) : CellText("");
  switch (type) {
    case kColHits: return CountCell(row ? row->Hits() : t.hits, t.hits, share && g_settings.add_proc_h);
    case kColBytesSent:
      return SizeCell(row ? row->BytesSent() : t.bytesSent, t.bytesSent, share && g_settings.add_proc_b);
    case kColVisitors:
      return CountCell(row ? row->Visitors() : t.visitors, t.visitors, share && g_settings.add_proc_u);
    case kColPages: return CountCell(row ? row->Pages() : t.pages, t.pages, share && g_settings.add_proc_p);
    case kColBytesReceived: {
      uint64_t v = row ? row->BytesReceived() : t.bytesReceived;
      if (v == 0) return CellText("");
      return SizeCell(v, t.bytesReceived, share && g_settings.add_proc_b);
    }
  }
  if (type >= kColGroupHits && type < kColSummaryLabel) {
    uint32_t g = static_cast<uint32_t>(type - kColGroupHits) / 2;
    if (g >= table->GroupSlots()) return CellText("");
    if ((type - kColGroupHits) % 2 == 0) {
      uint32_t v = row ? row->GroupHits(g) : t.groups[g].hits;
      if (v == 0) return CellText("");
      return CountCell(v, t.groups[g].hits, share && g_settings.add_proc_h);
    }
    uint64_t v = row ? row->GroupBytes(g) : t.groups[g].bytesSent;
    if (v == 0) return CellText("");
    return SizeCell(v, t.groups[g].bytesSent, share && g_settings.add_proc_b);
  }
  if (type >= kColExtra && type < kColUnused) {
    uint32_t n = static_cast<uint32_t>(type - kColExtra);
    if (n >= UsableExtraColumns(table)) return CellText("");
    uint32_t v = row ? *table->RowField(const_cast<CRow*>(row), n) : t.extra[n];
    return CellPrintf("%u", v);
  }
  if (!key) return CellText("");
  switch (type) {
    case kColStatus: return CellText(StatusCodeText(t_scratch, sizeof t_scratch, key->Status(), true));
    case kColDateTime: {
      char date[64], time[32];
      return CellPrintf("%s %s", FormatDate(date, sizeof date, key->PackedDate(), false),
                        FormatTimeOfDay(time, sizeof time, key));
    }
    case kColHitSent: return CellPrintf("%u", key->BytesSent());
    case kColHitReceived: return CellPrintf("%u", key->GetBytesReceived());
    case kColUserAgent: return CellText(AgentOf(key));
    case kColCookie: return CellText(CookieOf(key));
    case kColSubdomain: return CellText(SubdomainOf(key));
  }
  return CellText("");
}

const char* GetReportCellText(const CRowTable* table, const CRowIndex& rows, int kind, int columnType, int64_t item,
                              int column) {
  if (g_runPending || item < 0) return CellText("");
  if (kind == kReportSummary) return SummaryCell(item, column);
  if (!table || table->RowCount() <= 0) return CellText("");
  const uint32_t leading = ReportLeadingRows(kind, table);
  if (item < leading) {
    if (column == 0) return CellPrintf("%s [%i]", GetTerm(kTermTotal), table->RowCount());
    if (columnType < kColHits) return CellText("");
    return FormatReportCell(columnType, table, nullptr);
  }
  uint64_t index = static_cast<uint64_t>(item) - leading;
  if (index >= rows.Count()) return CellText("");
  return FormatReportCell(columnType, table, rows[static_cast<uint32_t>(index)]);
}

// ---------------------------------------------------------------------------
// Images and widths

int GetRecordImage(int kind, const CRow* row) {
  if (!row || !row->Record()) return 25;
  return KeyImage(kind, row, row->Record());
}

int GetReportRowImage(const CRowIndex& rows, int kind, int64_t item, uint32_t leadingRows) {
  if (g_runPending || item < 0) return 25;
  if (item < leadingRows) return 1;
  uint64_t index = static_cast<uint64_t>(item) - leadingRows;
  if (index >= rows.Count()) return 25;
  return GetRecordImage(kind, rows[static_cast<uint32_t>(index)]);
}

int GetDefaultColumnWidth(int type) {
  const bool ph = g_settings.add_proc_h != 0, pb = g_settings.add_proc_b != 0;
  switch (type) {
    case kReportPage: return 190;
    case kReportHost:
    case kReportVisitor: return 120;
    case kReportReferrer: return 220;
    case kReportKeyword: return 265;
    case kReportCountry:
    case kReportOs:
    case kReportBrowser:
    case kReportWeekday:
    case kReportGroup:
    case kReportTopDomain: return 110;
    case kReportHour:
    case kReportFileType:
    case kReportMonth: return 75;
    case kReportPath: return 350;
    case kReportDate: return g_settings.add_day_week ? 140 : 100;
    case kReportArgument: return 300;
    case kColHits:
    case kColVisitors:
    case kColPages: return ph ? 80 : 45;
    case kColBytesSent:
    case kColBytesReceived: return pb ? 112 : 80;
    case kColStatus: return 45;
    case kColDateTime: return 120;
    case kColHitSent:
    case kColHitReceived: return 55;
    case kColUserAgent: return 300;
    case kColCookie: return 250;
    case kColSummaryLabel: return 280;
    case kColSummaryValue: return 80;
  }
  if (type >= kColGroupHits && type < kColSummaryLabel)
    return (type - kColGroupHits) % 2 == 0 ? (ph ? 75 : 60) : (pb ? 105 : 75);
  if (type >= kColExtra) return 75;
  return 170;
}

const char* DefaultColumnSample(int type) {
  static constexpr const char* kCount[2] = {"12345", "12345 (100.00%)"};
  static constexpr const char* kSize[2] = {"1023.99 MB", "1023.99 MB (100.00%)"};
  const bool ph = g_settings.add_proc_h != 0, pb = g_settings.add_proc_b != 0;
  switch (type) {
    case kColHits: return kCount[ph];
    case kColVisitors: return kCount[g_settings.add_proc_u != 0];
    case kColPages: return kCount[g_settings.add_proc_p != 0];
    case kColBytesSent:
    case kColBytesReceived: return kSize[pb];
    case kColStatus: return "200 - OK";
  }
  if (type >= kColGroupHits && type < kColSummaryLabel) return (type - kColGroupHits) % 2 == 0 ? kCount[ph] : kSize[pb];
  return nullptr;
}

// ---------------------------------------------------------------------------
// Sort

void SetReportSortParameters(int columnType, bool ascending, int kind, const CRowTable* table) {
  s_sort.type = columnType;
  s_sort.ascending = ascending;
  s_sort.kind = kind;
  s_sort.groupSlots = table ? table->GroupSlots() : 0;
  s_sort.extraColumns = UsableExtraColumns(table);
}

int CompareReportRows(const void* a, const void* b) {
  const CRow* ra = *static_cast<CRow* const*>(a);
  const CRow* rb = *static_cast<CRow* const*>(b);
  const int type = s_sort.type;
  bool fixed = false;
  int c = ReadsKey(type) ? CompareKeys(type, ra, rb, &fixed) : CompareValues(type, ra, rb);
  return s_sort.ascending || fixed ? c : -c;
}

void SortReportRows(CRowIndex& rows, int columnType, bool ascending, int kind, const CRowTable* table) {
  SetReportSortParameters(columnType, ascending, kind, table);
  const uint32_t count = rows.Count();
  if (count < 2) return;
  // Each row's key is made once: a number, or the rank of its text among the
  // distinct texts of the column (those are sorted once, not per comparison).
  // Equal keys keep the rows' order before the sort.
  struct Keyed {
    uint64_t key;
    uint32_t place;
    uint8_t rank;  // 0 no record, 1 missing text, 2 a key
  };
  const TextRule rule = TextRuleOf(columnType);
  const bool host = columnType == kReportHost || columnType == kReportVisitor;
  const bool readsKey = ReadsKey(columnType);
  constexpr uint32_t kNoText = UINT32_MAX;
  std::vector<Keyed> keyed(count);
  std::vector<uint32_t> textOf;
  // The distinct texts: pooled texts by address (they stay put during the
  // sort), texts made in a buffer by a copy. Equal texts at two addresses
  // are told apart here and get one rank below.
  std::vector<const char*> texts;
  std::unordered_map<const char*, uint32_t> byAddress;
  std::deque<std::string> copies;
  std::unordered_map<std::string_view, uint32_t> byText;
  if (rule.mode != kNotText || host) textOf.assign(count, kNoText);
  auto stableId = [&](const char* text) {
    auto [at, added] = byAddress.try_emplace(text, static_cast<uint32_t>(texts.size()));
    if (added) texts.push_back(text);
    return at->second;
  };
  auto copiedId = [&](const char* text) {
    if (auto at = byText.find(std::string_view(text)); at != byText.end()) return at->second;
    texts.push_back(copies.emplace_back(text).c_str());
    return byText.emplace(std::string_view(copies.back()), static_cast<uint32_t>(texts.size() - 1)).first->second;
  };
  char buf[kUrlTextSize];
  std::string path;
  for (uint32_t i = 0; i < count; ++i) {
    const CRow* row = rows[i];
    Keyed& k = keyed[i];
    k = {0, i, 2};
    if (!readsKey) {
      k.key = ValueKey(columnType, row);
      continue;
    }
    const CHitRecord* r = row->Record();
    if (!r) {
      k.rank = 0;
    } else if (rule.mode != kNotText) {
      const char* text = SortTextOf(columnType, r, buf, &path);
      if (!text && rule.absent != kAbsentEmpty) k.rank = 1;
      else if (!text) textOf[i] = stableId("");
      else if ((text < buf || text >= buf + sizeof buf) && text != path.c_str()) textOf[i] = stableId(text);
      else textOf[i] = copiedId(text);
    } else if (host) {
      // An address orders by its number; a client known only by name comes
      // after every address, by name; one with neither comes first.
      const char* name = r->Address() ? nullptr : PoolText(g_pools.hosts, r->GetHostName());
      if (name) {
        k.key = 2ull << 40;
        textOf[i] = stableId(name);
      } else {
        k.key = r->Address() ? (1ull << 40 | r->Address()) : 0;
      }
    } else {
      k.key = RecordKey(columnType, r);
    }
  }
  if (!texts.empty()) {
    const TextMode mode = host ? kBytes : rule.mode;
    std::vector<uint32_t> order(texts.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return CompareTexts(mode, texts[a], texts[b]) < 0; });
    std::vector<uint32_t> rankOf(texts.size());
    uint32_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
      // Texts the comparison calls equal share a rank.
      if (i > 0 && CompareTexts(mode, texts[order[i - 1]], texts[order[i]]) != 0) ++rank;
      rankOf[order[i]] = rank;
    }
    for (uint32_t i = 0; i < count; ++i)
      if (textOf[i] != kNoText) keyed[i].key |= rankOf[textOf[i]];
  }
  const bool fixedAbsent = rule.absent == kAbsentFirstFixed;
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed& x, const Keyed& y) {
    if (x.rank != y.rank) {
      // A missing text of these columns comes first in both directions.
      if (fixedAbsent && x.rank + y.rank == 3) return x.rank == 1;
      return ascending ? x.rank < y.rank : x.rank > y.rank;
    }
    if (x.key != y.key) return ascending ? x.key < y.key : x.key > y.key;
    return x.place < y.place;
  });
  std::vector<CRow*> before(rows.Rows(), rows.Rows() + count);
  CRow** out = rows.Rows();
  for (uint32_t i = 0; i < count; ++i) out[i] = before[keyed[i].place];
}

bool EncodeSortState(int column, bool ascending, int* value) {
  if (column < 0) return false;
  *value = ascending ? column : column == 0 ? 500 : -column;
  return true;
}

void DecodeSortState(int value, int* column, bool* ascending) {
  if (value >= 500) {
    *column = 0;
    *ascending = false;
  } else if (value < 0) {
    *column = value == INT32_MIN ? INT32_MAX : -value;
    *ascending = false;
  } else {
    *column = value;
    *ascending = true;
  }
}

bool ReportInitialSort(int kind, int* column, bool* ascending) {
  *column = -1;
  *ascending = true;
  if (kind == kReportSummary) return false;
  int stored;
  if (GetListColumnInfo("Or", kind, 0, &stored)) {
    DecodeSortState(stored, column, ascending);
    return true;
  }
  if (kind == kReportItems) return false;
  *column = 1;
  *ascending = false;
  return true;
}
