#include "ui/core/panetables.h"

#include "engine/store/reportkind.h"

uint16_t g_topReportKind = kNoTopReportKind;

namespace {

constexpr int kFirstSlot[kPaneClassCount] = {
    0, 1, 2, 3, 4, 5, 5 + kReportListPanes, 5 + kReportListPanes + kUserListPanes,
    5 + kReportListPanes + kUserListPanes + kSubreportListPanes,
};

int Slot(PaneClass cls, int number = 0) { return kFirstSlot[cls] + number; }

// User list panes 1 to 7 show these kinds, one each, at both depths.
constexpr int kUserListKinds[kUserListPanes] = {kReportHost,  kReportVisitor, kReportCountry, kReportCity,
                                                kReportRegion, kReportReferrer, kReportReferringSite};

int UserListSlot(int kind) {
  for (int i = 0; i < kUserListPanes; ++i)
    if (kUserListKinds[i] == kind) return Slot(kPaneUserList, i);
  return -1;
}

}  // namespace

int FirstPaneSlot(PaneClass cls) { return kFirstSlot[cls]; }

PaneSlotInfo PaneSlot(int slot) {
  for (int c = kPaneClassCount - 1; c >= 0; --c)
    if (slot >= kFirstSlot[c]) return {static_cast<PaneClass>(c), slot - kFirstSlot[c]};
  return {kPaneWorkspace, 0};
}

int TopLevelPaneSlot(int kind) {
  int user = UserListSlot(kind);
  if (user >= 0) return user;
  switch (kind) {
    case kReportNone: return Slot(kPaneWorkspace);
    case kReportSpiderTree: return Slot(kPaneDetailTree);
    case kReportSummary: return Slot(kPaneSummary);
    case kReportBrowser: return Slot(kPaneAgent);
    case kReportPage: return Slot(kPaneReportList, 0);
    case kReportEntry: case kReportExit: case kReportFileType: case kReportFolder:
      return Slot(kPaneReportList, 1);
    case kReportKeyword: return Slot(kPaneSubreportList, 0);
    case kReportSearchEngine: return Slot(kPaneSubreportList, 1);
    case kReportOs: case kReportHour: case kReportWeekday: case kReportGroup: case kReportTopDomain:
    case kReportMonth: case kReportStatus: case kReportSpider: case kReportDate: case kReportSubdomain:
    case kReportReferrerType:
      return Slot(kPaneSubreportList, 2);
    case kReportUser: return Slot(kPaneSubreportList, 3);
    case kReportPath: return Slot(kPaneSubreportList, 4);
    default: return Slot(kPaneStart);
  }
}

int DrillDownPaneSlot(int kind) {
  int user = UserListSlot(kind);
  if (user >= 0) return user;
  switch (kind) {
    case kReportSpiderTree: return Slot(kPaneDetailTree);
    case kReportBrowser: return Slot(kPaneAgent);
    case kReportPage: return Slot(kPaneReportList, 0);
    case kReportEntry: case kReportExit: case kReportChildPages: return Slot(kPaneReportList, 1);
    case kReportKeyword: return Slot(kPaneSubreportList, 0);
    case kReportSearchEngine: return Slot(kPaneSubreportList, 1);
    case kReportOs: case kReportHour: case kReportWeekday: case kReportUser: case kReportSpider:
    case kReportSubdomain: case kReportReferrerType:
      return Slot(kPaneSubreportList, 2);
    case kReportPath: return Slot(kPaneSubreportList, 4);
    case kReportArgument: return Slot(kPaneSubreportList, 5);
    case kReportDate: return Slot(kPaneSubreportList, 6);
    case kReportItems: return Slot(kPaneSubreportList, 7);
    default: return -1;
  }
}

void ApplySpiderChoice(int value, CQueryParams& params) {
  params.spidersOn = value != 1;
  params.humansOn = value < 2;
}

void ApplyResponseChoice(int value, CQueryParams& params) {
  params.errorsOn = value != 1;
  params.successOn = value < 2;
}

int SpiderChoiceOf(const CQueryParams& params) {
  if (!params.humansOn) return 2;
  return params.spidersOn ? 0 : 1;
}

int ResponseChoiceOf(const CQueryParams& params) {
  if (!params.successOn) return 2;
  return params.errorsOn ? 0 : 1;
}
