#include "ui/core/mainwindowrules.h"

#include <algorithm>

#include "engine/analysis/analysis.h"
#include "engine/display/display.h"
#include "engine/store/reportkind.h"
#include "platform/clock.h"
#include "ui/core/commandnumbers.h"
#include "ui/core/findreport.h"
#include "ui/core/navigationstate.h"
#include "ui/core/reportcommands.h"
#include "ui/core/uistate.h"

using namespace command;

uint32_t PickerDate(uint32_t packed) {
  const int day = static_cast<int>(packed & 0xFF);
  const int month = static_cast<int>((packed >> 8) & 0xFF);
  const int year = static_cast<int>(packed >> 16);
  if (!tv::IsValidDate(year, month, day)) return 0;
  const int shown = std::clamp(year, kPickerFirstYear, kPickerLastYear);
  // 29 February moved into a year that is not a leap year.
  const int shownDay = std::min(day, tv::DaysInMonth(shown, month));
  return PackDate(static_cast<unsigned>(shownDay), static_cast<unsigned>(month), static_cast<unsigned>(shown));
}

namespace {

// The kinds of the "Go" commands; visitors are answered as hosts.
constexpr int kGoKinds[] = {27, 2, 19, 24, 30, 1, 3, 4, 5, 6, 7, 20, 21, 43, 8, 9, 10, 13, 28, 26, 32, 22};

int GoKindOf(int command) {
  for (int kind : kGoKinds)
    if (static_cast<int>(ReportCommandOf(kind).commandId) == command) return kind == kReportVisitor ? kReportHost : kind;
  return -1;
}

bool IsOneOf(int kind, std::initializer_list<int> kinds) {
  return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

bool SubreportAllowed(int kind) { return !IsOneOf(kind, {0, 25, 31}) && !g_nav.chartMode; }

}  // namespace

const std::vector<int>& FrameUiCommands() {
  static const std::vector<int> commands = [] {
    std::vector<int> ids = {kHostComment,    kPrevious,       kNext,          kDateFrom,         kDateTo,
                            kOpenInBrowser,  kOptions,        kFilterHistory, kSendMail,         kExportHtml,
                            kExportText,     kChart,          kFind,          kFindAgain,        kChildPages,
                            kTable,          kWorkspaceSettings, kReload,     kUpdateDatabases,  kWhois,
                            kExportCsv,      kConfirmSpiders, kExportAllCsv,  kSubreportChart,   kSubreportTable,
                            kCloseSubreport, kChartFrame,     kLogFileReport, kCustomizeColumn,  kFileNew,
                            kFileOpen,       kFileSave,       kFilePrint,     kEditCopy};
    for (int kind : kGoKinds) ids.push_back(static_cast<int>(ReportCommandOf(kind).commandId));
    return ids;
  }();
  return commands;
}

bool FrameCommandUi(int command, const FrameUiContext& context, CommandUiAnswer* answer) {
  CommandUiAnswer a;
  const bool pending = g_runPending;
  const int kind = GetCurrentReportType();
  const int level = GetCurrentLevel();
  if (int goKind = GoKindOf(command); goKind >= 0) {
    a.enabled = CanDrillDown(goKind);
    *answer = a;
    return true;
  }
  switch (command) {
    case kPrevious: a.enabled = level > 0 && !pending; break;
    case kNext: a.enabled = g_nav.highestLevel > level && !pending; break;
    case kOpenInBrowser: a.enabled = CanOpenInBrowser(); break;
    case kHostComment: a.enabled = CanEditHostName(); break;
    case kChildPages: a.enabled = HasSelectedRow(); break;
    case kChart:
      a.enabled = CanShowChart() && !pending;
      a.checked = g_nav.chartMode ? 1 : 0;
      break;
    case kChartFrame: a.enabled = CanShowChart() && !pending; break;
    case kTable:
      a.enabled = !pending;
      a.checked = g_nav.chartMode ? 0 : 1;
      break;
    case kSendMail:
    case kFilePrint:
    case kExportHtml:
    case kExportText:
    case kExportCsv: a.enabled = kind != 0 && kind != kReportSpiderTree && !pending; break;
    case kFilterHistory:
    case kWorkspaceSettings:
    case kFileNew:
    case kFileOpen:
    case kFileSave:
    case kDateFrom:
    case kDateTo:
    case kConfirmSpiders:
    case kUpdateDatabases:
    case kOptions: a.enabled = !pending; break;
    case kFind:
    case kFindAgain:
      a.enabled = FindInReportAllowed(kind, context.reportListCurrent, false);
      break;
    case kEditCopy: a.enabled = HasSelectedRow(); break;
    case kSubreportTable:
      a.enabled = SubreportAllowed(kind) && (!context.subreportShown || g_nav.previewMode == 0);
      break;
    case kSubreportChart:
      a.enabled = SubreportAllowed(kind) && (!context.subreportShown || g_nav.previewMode == 1);
      break;
    case kCloseSubreport: a.enabled = context.subreportShown; break;
    case kReload:
    case kExportAllCsv: a.enabled = TopKindSet() && !pending; break;
    case kCustomizeColumn: a.enabled = !IsOneOf(kind, {0, 25, 31}); break;
    case kWhois: a.enabled = CanEditHostName(); break;  // the same rows
    case kLogFileReport: a.enabled = g_logFileReport.Count() > 0; break;
    default: return false;
  }
  *answer = a;
  return true;
}
