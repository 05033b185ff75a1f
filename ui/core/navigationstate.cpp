#include "ui/core/navigationstate.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/msgsink.h"
#include "engine/analysis/analysis.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/query/summary.h"
#include "engine/store/project.h"
#include "engine/tables/urltext.h"
#include "output/chart.h"
#include "platform/launcher.h"
#include "ui/core/panetables.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"

CNavigation g_nav;

namespace {

bool IsPageKind(int kind) {
  return kind == kReportPage || kind == kReportEntry || kind == kReportExit || kind == kReportGroup;
}

void ClearLevel(int level, int kind) {
  g_uiQuery.levels[level] = CLevelFilter{};
  g_uiQuery.levels[level].kind = static_cast<uint32_t>(kind);
  g_uiQuery.levels[level].rowFlags = -1;
  g_nav.multi[level].clear();
  g_uiQuery.alternatives[level] = CLevelAlternatives{};
}

void SaveParameters() {
  g_nav.saved = g_uiQuery;
  g_nav.savedFlag = true;
}

// Everything of the block before the level entries: switches, dates, level count.
void RestoreSwitches() {
  CQueryParams& p = g_uiQuery;
  const CQueryParams& s = g_nav.saved;
  p.errorsOn = s.errorsOn;
  p.successOn = s.successOn;
  p.spidersOn = s.spidersOn;
  p.kind = s.kind;
  p.humansOn = s.humansOn;
  p.browserClass0On = s.browserClass0On;
  p.browserClass1On = s.browserClass1On;
  p.otherAgentsOn = s.otherAgentsOn;
  std::copy(std::begin(s.groupOn), std::end(s.groupOn), std::begin(p.groupOn));
  p.dateFromOn = s.dateFromOn;
  p.dateToOn = s.dateToOn;
  p.dateFrom = s.dateFrom;
  p.dateTo = s.dateTo;
  p.levelCount = s.levelCount;
  g_nav.savedFlag = false;
}

const CLevelFilter& CurrentEntry() { return g_uiQuery.levels[GetCurrentLevel()]; }

}  // namespace

int GetCurrentLevel() { return std::clamp(g_uiQuery.levelCount, 0, kMaxDrillLevel); }
int GetCurrentReportType() { return static_cast<int>(CurrentEntry().kind); }
int LevelKind(int level) { return static_cast<int>(g_uiQuery.levels[std::clamp(level, 0, kMaxDrillLevel)].kind); }

CRowTable& LevelTable(int level) {
  level = std::clamp(level, 0, kMaxDrillLevel);
  if (level > 0) return g_nav.levelTables[level];
  return g_nav.topTables[std::min<uint32_t>(g_uiQuery.levels[0].kind, kMaxReportKind)];
}
CRowTable& GetCurrentQueryState() { return LevelTable(GetCurrentLevel()); }

bool TopKindSet() { return g_topReportKind != kNoTopReportKind && g_uiQuery.levels[0].kind != 0; }

void SyncLevelState() {
  g_navLevel = GetCurrentLevel();
  for (int i = 0; i < kNavigationLevels; ++i) g_levelKinds[i] = static_cast<int>(g_uiQuery.levels[i].kind);
}

void ResetNavigation(int reload) {
  if (reload) {
    EngineInfo("Reload");
    g_nav.reloadNeeded = true;
    InvalidateLogData(g_project);
  }
  // The switches and dates stay, and so does the top-level kind: a reload
  // shows the same report again, from level 0 without a selection.
  const uint32_t top = g_uiQuery.levels[0].kind;
  g_uiQuery.levelCount = 0;
  for (int i = 0; i < kMaxQueryLevels; ++i) ClearLevel(i, 0);
  g_uiQuery.levels[0].kind = top;
  g_nav.highestLevel = 0;
  for (CRowTable& t : g_nav.topTables) t.queryKey.clear();
  for (CRowTable& t : g_nav.levelTables) t.queryKey.clear();
  g_runPending = true;
  SyncLevelState();
}

void SetLevelPane(int paneSlot, int kind) {
  int level = GetCurrentLevel();
  g_nav.levelPane[level] = paneSlot;
  ClearLevel(level, kind);
  // A report opened anew at a level starts with the default chart.
  g_nav.chartType[level] = 0;
  g_nav.chartSource[level] = 0;
  g_nav.highestLevel = level;
  SyncLevelState();
}

bool DrillDownToReport(int kind) {
  int level = GetCurrentLevel();
  if (level + 1 > kMaxDrillLevel) {
    EngineErrorF("Max levels=%d!", kMaxQueryLevels);
    return false;
  }
  if (level == 0) g_nav.savedByLevel0 = g_nav.savedFlag;
  g_uiQuery.levelCount = level + 1;
  int slot = DrillDownPaneSlot(kind);
  if (slot < 0) slot = g_nav.levelPane[level];
  SetLevelPane(slot, kind);
  RunCurrentQuery();
  return true;
}

int RestartAtTopLevel() {
  const int kind = g_nav.requestedKind;
  g_uiQuery.levelCount = 0;
  g_nav.highestLevel = 0;
  for (CRowTable& t : g_nav.levelTables) t.queryKey.clear();
  if (kind == g_topReportKind && g_uiQuery.levels[0].kind == static_cast<uint32_t>(kind)) {
    SyncLevelState();
    return 0;
  }
  if (g_nav.savedFlag) RestoreSwitches();
  g_uiQuery.levelCount = 0;
  g_nav.reportsShown = true;
  g_nav.previousPane = g_nav.levelPane[0];
  switch (kind) {
    case kReportGroup:
      SaveParameters();
      std::fill(std::begin(g_uiQuery.groupOn), std::end(g_uiQuery.groupOn), 1u);
      break;
    case kReportSpider:
      SaveParameters();
      g_uiQuery.errorsOn = g_uiQuery.successOn = g_uiQuery.spidersOn = g_uiQuery.humansOn = 1;
      std::fill(std::begin(g_uiQuery.groupOn), std::end(g_uiQuery.groupOn), 1u);
      g_uiQuery.browserClass0On = g_uiQuery.browserClass1On = 0;
      break;
    case kReportReferrerType:
      SaveParameters();
      g_uiQuery.spidersOn = g_uiQuery.humansOn = 1;
      break;
    default: break;
  }
  int slot = TopLevelPaneSlot(kind);
  SetLevelPane(slot, kind);
  g_topReportKind = static_cast<uint16_t>(kind);
  return 1;
}

bool MoveToLevel(int level) {
  if (level < 0 || level > g_nav.highestLevel) return false;
  g_uiQuery.levelCount = level;
  if (level == 0 && g_nav.savedFlag && !g_nav.savedByLevel0) {
    RestoreSwitches();
    g_uiQuery.levelCount = 0;
  }
  SyncLevelState();
  return true;
}

void RunCurrentQuery() {
  g_runPending = true;
  int kind = GetCurrentReportType();
  if (kind == kReportSummary) {
    g_lastQueryRan = RunSummaryQuery(g_project, g_summaryStats, g_uiQuery) != 0;
  } else if (kind > 0 && kind <= kMaxReportKind) {
    uint32_t extras[6];
    g_lastQueryRan = RunQuery(g_project, kind, GetCurrentQueryState(), g_uiQuery, ExtraQueryKinds(kind, extras)) != 0;
  }
  EngineInfo("End Query");
}

CRowTable* RunPreviewQuery() {
  const int level = GetCurrentLevel();
  const int kind = g_nav.previewKind;
  if (level >= kMaxDrillLevel || kind <= 0 || kind > kMaxReportKind || kind == kReportSummary) return nullptr;
  CRowTable& table = g_nav.previewTable;
  if (g_uiQuery.levels[level].rowFlags == -1 && g_nav.multi[level].size() < 2) {
    table.Free();
    table.queryKey.clear();
    return &table;
  }
  CQueryParams params = g_uiQuery;
  params.levelCount = level + 1;
  params.levels[level + 1] = CLevelFilter{};
  params.levels[level + 1].kind = static_cast<uint32_t>(kind);
  params.levels[level + 1].rowFlags = -1;
  params.alternatives[level + 1] = CLevelAlternatives{};
  uint32_t extras[6];
  RunQuery(g_project, kind, table, params, ExtraQueryKinds(kind, extras));
  return &table;
}

void StoreLevelSelection(const CRow* row, long item, int count, const CRow* const* rows) {
  int level = GetCurrentLevel();
  int kind = GetCurrentReportType();
  CLevelFilter& entry = g_uiQuery.levels[level];
  if (row && row->Record()) {
    entry = MakeLevelFilter(static_cast<uint32_t>(kind), row->Record(), row->Flags() & kRowFlagMask);
    g_nav.findPosition = static_cast<int32_t>(item);
  } else {
    ClearLevel(level, kind);
    g_nav.findPosition = 0;
  }
  g_nav.multi[level].clear();
  g_uiQuery.alternatives[level] = CLevelAlternatives{};
  if (count >= 2 && rows) {
    for (int i = 0; i < count; ++i)
      if (rows[i] && rows[i]->Record())
        g_nav.multi[level].push_back(
            MakeLevelFilter(static_cast<uint32_t>(kind), rows[i]->Record(), rows[i]->Flags() & kRowFlagMask));
    if (g_nav.multi[level].size() >= 2) {
      g_uiQuery.alternatives[level].count = static_cast<int32_t>(g_nav.multi[level].size());
      g_uiQuery.alternatives[level].filters = g_nav.multi[level].data();
    } else {
      g_nav.multi[level].clear();
    }
  }
}

bool HasSelectedRow() { return TopKindSet() && CurrentEntry().rowFlags != -1; }

bool CanDrillDown(int kind) {
  const int level = GetCurrentLevel();
  if (level + 1 >= kMaxQueryLevels || !TopKindSet() || g_runPending) return false;
  const CLevelFilter& entry = CurrentEntry();
  if (entry.rowFlags == -1 && g_uiQuery.alternatives[level].count < 2) return false;
  const int current = GetCurrentReportType();
  if (current == kind) return false;
  const int flags = entry.rowFlags == -1 ? 0 : entry.rowFlags;
  switch (kind) {
    case kReportSpider:
      if (current == kReportKeyword || current == kReportSearchEngine || current == kReportOs ||
          current == kReportBrowser)
        return false;
      return (flags & 2) != 0;
    case kReportKeyword:
    case kReportSearchEngine: return (flags & 4) != 0;
    case kReportArgument: return (flags & 1) != 0;
    default: break;
  }
  if (current == kReportItems) {
    switch (kind) {
      case kReportCountry: case kReportCity: case kReportRegion: case kReportArgument:
      case kReportKeyword: case kReportSearchEngine: case kReportOs: case kReportBrowser: return true;
      default: return false;
    }
  }
  return true;
}

bool GetCurrentSubreportKey(std::string* key) {
  key->clear();
  if (!TopKindSet() || CurrentEntry().rowFlags == -1) return false;
  const int kind = GetCurrentReportType();
  // The row of hits without a referrer shows a label, not an address.
  if ((kind == kReportReferrer || kind == kReportReferringSite) && CurrentEntry().Record()->GetReferrer() == 0)
    return false;
  char text[kUrlTextSize];
  const char* t = GetHitFieldText(kind, text, CurrentEntry().Record(), sizeof text, false);
  if (!t || !*t) return false;
  *key = t;
  return true;
}

std::string SelectedBrowserTarget() {
  std::string key;
  if (!HasSelectedRow()) return key;
  const CHitRecord* record = CurrentEntry().Record();
  char out[kUrlTextSize];
  const bool site = !IsSiteUrlUnset(g_project.url);
  switch (GetCurrentReportType()) {
    case kReportReferringSite: {
      if (!GetCurrentSubreportKey(&key)) return {};
      char bare[700];
      const char* host = CopyUrlWithoutScheme(bare, key.c_str(), sizeof bare, 0);
      if (!host || !*host) return {};
      // The handler needs a scheme to take the site for an address, not a file.
      return key.find("://") != std::string::npos ? key : std::string("http://") + host;
    }
    case kReportReferrer:
      if (!GetCurrentSubreportKey(&key)) return {};
      return key;
    case kReportPage:
    case kReportEntry:
    case kReportExit:
      if (!site) return {};
      return JoinSiteUrl(out, sizeof out, g_project.url, record->PageText() ? record->PageText() : "");
    case kReportArgument:
      if (!site) return {};
      return std::string(JoinSiteUrl(out, sizeof out, g_project.url, record->PageText() ? record->PageText() : "")) +
             "?" + QueryPartOfUrl(record->Page());
    default: return {};
  }
}

bool OpenSelectedInBrowser(tv::LaunchDone done) {
  std::string target = SelectedBrowserTarget();
  if (target.empty()) return false;
  tv::Launch(target, std::move(done));
  return true;
}

int PrepareSummaryRowReport(int row) {
  if (row < 0) return -1;
  if (!g_nav.savedFlag) SaveParameters();
  if (!g_project.send_receive && row >= 4) ++row;  // that summary has no Receive line
  CQueryParams& p = g_uiQuery;
  if (row == 13 || row == 14) {
    int groups = std::min(g_project.groups.Count(), 8);
    for (int g = 0; g < groups; ++g) p.groupOn[g] = g_project.groups[g].type == kGroupPages ? 1 : 0;
  }
  auto all = [&p](bool success) {
    p.errorsOn = p.spidersOn = p.humansOn = 1;
    p.successOn = success ? 1 : 0;
  };
  switch (row) {
    case 0: p.spidersOn = p.humansOn = 1; return kReportHost;
    case 1: p.spidersOn = p.humansOn = 1; return kReportVisitor;
    case 2:
    case 3:
    case 4:
    case 5: all(true); return kReportPage;
    case 6: all(false); return kReportPage;
    case 7: return kReportSearchEngine;
    case 8: return kReportKeyword;
    case 9: return kReportReferringSite;
    case 10: return kReportReferrer;
    case 11: return kReportCountry;
    case 12: all(true); p.groupOn[8] = 0; return kReportEntry;
    case 13: return kReportSpiderTree;
    case 14:
    case 15:
      p.errorsOn = p.successOn = p.humansOn = 1;
      p.spidersOn = p.groupOn[8] = 0;
      return kReportPage;
  }
  return -1;
}

bool CanOpenInBrowser() {
  if (!HasSelectedRow()) return false;
  const bool site = !IsSiteUrlUnset(g_project.url);
  switch (GetCurrentReportType()) {
    // The arguments are opened on the site's own address: without one there is nothing to open.
    case kReportArgument: return site;
    case kReportReferrer:
    case kReportReferringSite: return CurrentEntry().Record()->GetReferrer() != 0;
    case kReportPage:
    case kReportEntry:
    case kReportExit: return site;
    default: return false;
  }
}

bool CanEditHostName() {
  int kind = GetCurrentReportType();
  return HasSelectedRow() && (kind == kReportHost || kind == kReportVisitor);
}

bool CanShowChart() {
  int kind = GetCurrentReportType();
  // A kind without a picture would open an empty chart pane.
  return kind != 0 && kind != kReportSpiderTree && kind != kReportSummary && ChartPictureName(kind, nullptr);
}

bool IsNonPageReport(int kind) {
  bool current = kind == -1;
  if (current) kind = GetCurrentReportType();
  if (IsPageKind(kind)) return false;
  int level = GetCurrentLevel();
  if (current && level > 0 && IsPageKind(LevelKind(level - 1))) return false;
  return true;
}

std::string BuildMainTitle() {
  std::string title;
  if (TopKindSet()) {
    for (int i = 0; i <= GetCurrentLevel(); ++i) {
      if (i > 0) title += " / ";
      title += ColumnTerm(LevelKind(i));
    }
    title += " - ";
  }
  return title + "Trailvane";
}
