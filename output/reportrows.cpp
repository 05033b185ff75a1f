#include "output/reportrows.h"

#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/summary.h"
#include "engine/store/reportkind.h"

namespace {

const CRow* RowAt(const void* p) { return *static_cast<CRow* const*>(p); }

// Larger first.
int Descending(uint32_t a, uint32_t b) { return a > b ? -1 : a < b; }
template <typename T>
int Ascending(T a, T b) {
  return a > b ? 1 : a < b ? -1 : 0;
}

}  // namespace

int CompareByCount(const void* a, const void* b) { return Descending(RowAt(a)->Hits(), RowAt(b)->Hits()); }
int CompareByValue(const void* a, const void* b) { return Descending(RowAt(a)->Visitors(), RowAt(b)->Visitors()); }
int CompareByKey2(const void* a, const void* b) {
  return Ascending(RowAt(a)->Record()->PackedDate(), RowAt(b)->Record()->PackedDate());
}
int CompareByDayOfWeek(const void* a, const void* b) {
  return Ascending(DayOfWeek(RowAt(a)->Record()->PackedDate()), DayOfWeek(RowAt(b)->Record()->PackedDate()));
}
int CompareByMonth(const void* a, const void* b) {
  return Ascending(static_cast<int8_t>(RowAt(a)->Record()->Month()), static_cast<int8_t>(RowAt(b)->Record()->Month()));
}
int CompareByHour(const void* a, const void* b) {
  return Ascending(HourOfSeconds(RowAt(a)->Record()->Seconds()), HourOfSeconds(RowAt(b)->Record()->Seconds()));
}

void SetReportSortOrder(int kind, const CRowTable& table, CRowIndex& index, SortCompareFn compare) {
  index.Build(table);
  if (!compare) {
    switch (kind) {
      case kReportHour: compare = CompareByHour; break;
      case kReportWeekday: compare = CompareByDayOfWeek; break;
      case kReportMonth: compare = CompareByMonth; break;
      case kReportPath: compare = CompareByValue; break;
      case kReportDate: compare = CompareByKey2; break;
      default: compare = CompareByCount; break;
    }
  }
  if (index.Count() > 1) index.Sort(compare);
}

void GetReportColumns(int kind, uint32_t* showHits, uint32_t* showPages, uint32_t* showVisitors,
                      uint32_t* showBandwidth, uint32_t* showGroups, uint32_t* showRowNumber, uint32_t* longKeyText) {
  *showHits = *showPages = *showVisitors = *showBandwidth = *showRowNumber = *longKeyText = 1;
  switch (kind) {
    case kReportPath:
      *showHits = 0;
      *showPages = 0;
      return;
    case kReportPage:
    case kReportEntry:
    case kReportExit:
    case kReportGroup:
    case kReportPageName:
    case kReportFile:
      *showPages = 0;
      *showGroups = 0;
      break;
    case kReportError:
    case kReportErrorCode: *showBandwidth = *showVisitors = *showPages = *showGroups = 0; break;
    case kReportHost:
    case kReportVisitor:
    case kReportSpider: *showVisitors = 0; break;
    case kReportSpiderAgent:
      *showVisitors = 0;
      *showPages = 0;
      *longKeyText = 0;
      return;
  }
  if (kind == kReportHour || kind == kReportWeekday) *showRowNumber = 0;
  bool shortKey =
      kind == kReportHost || kind == kReportVisitor || kind == kReportSpider || kind == kReportDownloadManager;
  *longKeyText = shortKey ? 0 : 1;
}

void GetReportColumns(int kind, ReportColumns& c) {
  GetReportColumns(kind, &c.showHits, &c.showPages, &c.showVisitors, &c.showBandwidth, &c.showGroups, &c.showRowNumber,
                   &c.longKeyText);
}

std::vector<SummaryLine> SummaryLines(const CSummaryStats& s) {
  char size[64];
  FormatSize(size, sizeof size, static_cast<int64_t>(s.bytesSent));
  auto n = [](int term, uint32_t value) { return SummaryLine{term, std::to_string(value), true}; };
  return {n(kTermTtlHits, s.hits),        n(kTermHosts, s.hosts),
          n(kTermVisitors, s.visitors),   n(kTermHits, s.hits),
          {kTermBandwidth, size, false},  n(kTermPages, s.pages),
          n(kTermErrors, s.errors),       n(kTermSes, s.searchEngines),
          n(kTermKeywords, s.keywords),   n(kTermReferSites, s.referringSites),
          n(kTermRefers, s.referrers),    n(kTermContrys, s.countries),
          n(kTermEntrys, s.entryPages),   n(kTermRobots, s.spiders)};
}
