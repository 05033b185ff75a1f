// What the reports show over the whole program, driven by real clicks and
// keys: the extra columns chosen in Customize Column hold the query's values
// (also after a reload and in the subreport frame), and the subreport frame
// shows its rows whenever it opens again, at every level; the navigator
// speaks the language of the reports; a day picked in the calendar filters
// the report.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/calctrl.h>
#include <wx/combo.h>
#include <wx/datectrl.h>
#include <wx/filefn.h>
#include <wx/listbox.h>
#include <wx/notebook.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/config/workspace.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/display/vocab.h"
#include "engine/query/query.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "platform/folders.h"
#include "platform/launcher.h"
#include "platform/wx/profile.h"
#include "platform/wx/wxtext.h"
#include "tests/app/appsession.h"
#include "tests/common/testenv.h"
#include "tests/ui/datefilter.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/app/application.h"
#include "ui/app/document.h"
#include "ui/app/mainwindow.h"
#include "ui/app/subreportframe.h"
#include "ui/core/navigationstate.h"
#include "ui/core/reportcells.h"
#include "ui/core/uistate.h"
#include "ui/dialogs/languages.h"
#include "ui/dialogs/options.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/navigatortree.h"
#include "ui/panes/reportpanes.h"
#include "ui/widgets/commandids.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

namespace {

using wxtest::DialogScript;

bool WaitJob() { return wxtest::PumpUntil([] { return !IsWorkerBusy() && !g_runPending; }, 30000); }

using wxtest::ComboOf;
using wxtest::HitsBetween;

// A real click (XTest) at a point of a window, centre by default.
void RealClick(wxWindow* w, wxPoint at = wxDefaultPosition, bool twice = false) {
  ASSERT_NE(w, nullptr);
  if (at == wxDefaultPosition) at = wxPoint(w->GetClientSize().GetWidth() / 2, w->GetClientSize().GetHeight() / 2);
  wxGetTopLevelParent(w)->Raise();
  wxtest::Pump(30);
  wxUIActionSimulator sim;
  sim.MouseMove(w->ClientToScreen(at));
  wxtest::Pump(30);
  if (twice) sim.MouseDblClick();
  else sim.MouseClick();
  wxtest::Pump(80);
}

void RealKey(int key) {
  wxUIActionSimulator sim;
  sim.Char(key);
  wxtest::Pump(60);
}

// Clicks a report list's item as a user does, and waits for what it starts.
void ClickListItem(CSortListCtrl* list, long item) {
  wxRect r;
  ASSERT_TRUE(list->GetItemRect(item, r)) << "item " << item;
  list->EnsureVisible(item);
  wxtest::Pump(30);
  ASSERT_TRUE(list->GetItemRect(item, r));
  RealClick(list, wxPoint(r.x + 30, r.y + r.height / 2));
  ASSERT_TRUE(WaitJob());
  ASSERT_TRUE(list->GetItemState(item, wxLIST_STATE_SELECTED) & wxLIST_STATE_SELECTED) << "item " << item;
}

int ColumnOfType(const CSortListCtrl* list, int type) {
  for (int c = 0; c < list->columnCount; ++c)
    if (list->columns[c].type == type) return c;
  return -1;
}

// Row texts (key, then each extra column) as a list shows them and as the
// engine's table holds them, both sorted.
using Lines = std::vector<std::vector<std::string>>;
Lines ShownLines(CSortListCtrl* list, int extras) {
  Lines lines;
  std::vector<int> columns{0};
  for (int e = 0; e < extras; ++e) columns.push_back(ColumnOfType(list, kColExtra + e));
  for (long i = static_cast<long>(list->leadingRows); i < list->GetItemCount(); ++i) {
    std::vector<std::string> line;
    for (int c : columns) line.push_back(c < 0 ? "<no column>" : tv::WxToBytes(list->GetItemText(i, c)));
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}
Lines ExpectedLines(int kind, CRowTable& table, int extras) {
  Lines lines;
  for (int32_t r = 0; r < table.RowCount(); ++r) {
    CRow* row = table.GetRow(r);
    std::vector<std::string> line{FormatReportCell(kind, &table, row)};
    for (int e = 0; e < extras; ++e) line.push_back(std::to_string(*table.RowField(row, static_cast<uint32_t>(e))));
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}
bool AnyValue(const Lines& lines) {
  for (const auto& l : lines)
    for (size_t c = 1; c < l.size(); ++c)
      if (!l[c].empty() && l[c] != "0") return true;
  return false;
}

class ContentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tv::SetLauncher([](const std::string&) { return true; });
    CTrailvaneDoc::DocDialogs().message = [](const wxString&, long) { return wxOK; };
    CMainFrame::FrameMessage() = [](const wxString&, long) { return wxOK; };
    std::remove(tv::ProfilePath().c_str());
    tvtest::WriteFile(BugLogPath(), "Trailvane\n#SYS normal shutdown.#\n");
    ASSERT_TRUE(appsession::Start(appsession::CopyFixtureWorkspace("contents"), wxSize(1100, 800), &started));
  }

  void TearDown() override {
    if (!started) return;
    appsession::Close();
    CTrailvaneDoc::DocDialogs() = {};
    CMainFrame::FrameMessage() = nullptr;
    tv::SetLauncher(nullptr);
  }

  static void Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(MainFrame());
    MainFrame()->GetEventHandler()->ProcessEvent(event);
  }
  static CSortListCtrl* List() { return ListPane(CurrentPaneSlot())->reportList; }
  static void Show(int kind) {
    SwitchTopReport(kind);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(GetCurrentReportType(), kind);
    ASSERT_GT(List()->GetItemCount(), 1);
  }

  bool started = false;
};

TEST_F(ContentsTest, ExtraColumnsShowTheQueryValuesAlsoAfterReloadAndInTheSubreportFrame) {
  Show(kReportPage);
  // Hosts, then Keywords, added in the dialogs by clicks and keys.
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      RealClick(d->FindWindow(CCustomizeColumnDlg::ID_ADD));
      RealClick(d->FindWindow(CCustomizeColumnDlg::ID_ADD));
      RealClick(d->FindWindow(wxID_OK));
      if (d->IsModal()) d->EndModal(wxID_CANCEL);
    });
    auto choose = [](int line) {
      return [line](wxDialog* d) {
        auto* list = dynamic_cast<wxListBox*>(d->FindWindow(CChooseColumnDlg::ID_LIST));
        ASSERT_NE(list, nullptr);
        RealClick(list, wxPoint(20, 8));
        for (int i = 0; i < line; ++i) RealKey(WXK_DOWN);
        EXPECT_EQ(list->GetSelection(), line);
        RealClick(d->FindWindow(wxID_OK));
        if (d->IsModal()) d->EndModal(wxID_CANCEL);
      };
    };
    script.Inside(choose(0));  // Hosts, first of 2-6
    script.Inside(choose(1));  // Keywords, after Referrers among 3-7
    Command(ID_VIEW_CUSTOMIZE_COLUMN);
    EXPECT_EQ(script.titles, (std::vector<std::string>{"Customize Column", "Chose column", "Chose column"}));
  }
  ASSERT_TRUE(WaitJob());
  int ids[5];
  ASSERT_EQ(ExtraColumnIds(kReportPage, ids), 2);
  EXPECT_EQ(ids[0], 2);
  EXPECT_EQ(ids[1], 4);

  uint32_t extras[] = {2, 4, 0};
  auto expectPages = [&](const char* when) {
    CRowTable expected;
    RunQuery(g_project, kReportPage, expected, g_uiQuery, extras);
    CSortListCtrl* list = List();
    ASSERT_EQ(list->reportKind, kReportPage) << when;
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(0, ColumnOfType(list, kColExtra))),
              std::to_string(expected.totals.extra[0]))
        << when << ": the totals row";
    const Lines shown = ShownLines(list, 2);
    EXPECT_EQ(shown, ExpectedLines(kReportPage, expected, 2)) << when;
    EXPECT_TRUE(AnyValue(shown)) << when << ": every extra cell blank";
  };
  expectPages("after the dialog");
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("contents_extra_columns"));

  Command(ID_REPORT_RELOAD);
  ASSERT_TRUE(WaitJob());
  expectPages("after a reload");

  // The subreport frame below a host shows the pages with the same columns.
  Show(kReportHost);
  ClickListItem(List(), static_cast<long>(List()->leadingRows));
  const CLevelFilter hostLevel = g_uiQuery.levels[0];
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  CAuxFrame* aux = MainFrame()->AuxFrame();
  int pagesTab = -1;
  for (size_t i = 0; i < aux->Tabs()->GetPageCount(); ++i)
    if (tv::WxToBytes(aux->Tabs()->GetPageText(i)) == ColumnTerm(kReportPage)) pagesTab = static_cast<int>(i);
  ASSERT_GE(pagesTab, 0);
  aux->Tabs()->SetSelection(static_cast<size_t>(pagesTab));
  ASSERT_TRUE(WaitJob());
  CQueryParams params = g_uiQuery;
  params.levelCount = 1;
  params.levels[0] = hostLevel;
  params.levels[1] = CLevelFilter{};
  params.levels[1].kind = kReportPage;
  params.levels[1].rowFlags = -1;
  params.alternatives[1] = CLevelAlternatives{};
  CRowTable expected;
  RunQuery(g_project, kReportPage, expected, params, extras);
  CSortListCtrl* sub = aux->ListPane()->reportList;
  ASSERT_GT(expected.RowCount(), 0);
  const Lines shown = ShownLines(sub, 2);
  EXPECT_EQ(shown, ExpectedLines(kReportPage, expected, 2));
  EXPECT_TRUE(AnyValue(shown));
  wxtest::Pump(100);
  EXPECT_TRUE(wxtest::SaveScreenshot("contents_extra_columns_subreport"));
  Command(ID_VIEW_CLOSE_SUBREPORT);
}

// The subreport's rows for the level's selected row, from the engine.
int32_t ExpectedSubreportRows(int kind) {
  const int level = GetCurrentLevel();
  CQueryParams params = g_uiQuery;
  params.levelCount = level + 1;
  params.levels[level + 1] = CLevelFilter{};
  params.levels[level + 1].kind = static_cast<uint32_t>(kind);
  params.levels[level + 1].rowFlags = -1;
  params.alternatives[level + 1] = CLevelAlternatives{};
  CRowTable expected;
  RunQuery(g_project, kind, expected, params);
  return expected.RowCount();
}

TEST_F(ContentsTest, SubreportFrameReopenedShowsItsRowsAtEveryLevel) {
  Show(kReportPage);
  CAuxFrame* aux = MainFrame()->AuxFrame();
  auto checkReopen = [&](const std::string& where) {
    SCOPED_TRACE(where);
    ClickListItem(List(), static_cast<long>(List()->leadingRows));
    for (int round = 0; round < 3; ++round) {
      Command(ID_VIEW_SUBREPORT_TABLE);
      ASSERT_TRUE(WaitJob());
      ASSERT_TRUE(MainFrame()->SubreportShown());
      CSortListCtrl* sub = aux->ListPane()->reportList;
      const int kind = sub->reportKind;
      ASSERT_GT(kind, 0) << "round " << round;
      const int32_t rows = ExpectedSubreportRows(kind);
      ASSERT_GT(rows, 0);
      EXPECT_EQ(sub->GetItemCount() - static_cast<long>(sub->leadingRows), rows) << "round " << round;
      EXPECT_EQ(sub->rows.Count(), static_cast<uint32_t>(rows)) << "round " << round;
      if (round == 0) {
        wxtest::Pump(80);
        EXPECT_TRUE(wxtest::SaveScreenshot("contents_subreport_" + std::to_string(GetCurrentLevel())));
      }
      Command(ID_VIEW_CLOSE_SUBREPORT);
      ASSERT_FALSE(MainFrame()->SubreportShown());
      // A level result taken from the one held, as Back and Next give it.
      if (round == 1 && GetCurrentLevel() > 0) {
        Command(ID_GO_PREVIOUS);
        ASSERT_TRUE(WaitJob());
        Command(ID_GO_NEXT);
        ASSERT_TRUE(WaitJob());
      }
    }
  };
  checkReopen("pages at the top");
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentLevel(), 1);
  checkReopen("hosts below a page");
  GoToReport(kReportBrowser, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentLevel(), 2);
  checkReopen("browsers below a host");
  Show(kReportHost);
  checkReopen("hosts at the top");
}

// A host chosen while the frame's query for the one before runs is the one
// the frame shows, not the one before.
TEST_F(ContentsTest, SubreportFollowsARowChosenWhileItsQueryRuns) {
  Show(kReportHost);
  CSortListCtrl* list = List();
  const long first = static_cast<long>(list->leadingRows);
  ClickListItem(list, first);
  Command(ID_VIEW_SUBREPORT_TABLE);
  ASSERT_TRUE(WaitJob());
  CAuxFrame* aux = MainFrame()->AuxFrame();
  CSortListCtrl* sub = aux->ListPane()->reportList;
  // Browsers: every hit of the host has one, so the rows add up to the host's hits.
  for (size_t i = 0; i < aux->Tabs()->GetPageCount(); ++i)
    if (tv::WxToBytes(aux->Tabs()->GetPageText(i)) == ColumnTerm(kReportBrowser)) aux->Tabs()->SetSelection(i);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(sub->reportKind, kReportBrowser);
  const int kind = sub->reportKind;
  for (int step = 0; step < 3; ++step) {
    // The click starts the frame's query; the key follows before its end.
    // (Apart in time, so no two clicks make a double click.)
    wxtest::Pump(700);
    wxRect r;
    ASSERT_TRUE(list->GetItemRect(first + 1, r));
    wxUIActionSimulator sim;
    sim.MouseMove(list->ClientToScreen(wxPoint(r.x + 30, r.y + r.height / 2)));
    wxtest::Pump(30);
    sim.MouseClick();
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(WaitJob());
    wxtest::Pump(100);
    ASSERT_TRUE(WaitJob());
    ASSERT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), first + 2);
    ASSERT_NE(sub->rowTable, nullptr);
    EXPECT_EQ(sub->rowTable->totals.hits, list->RowOfItem(first + 2)->Hits()) << "step " << step;
    EXPECT_EQ(sub->GetItemCount() - static_cast<long>(sub->leadingRows), ExpectedSubreportRows(kind));
    EXPECT_EQ(sub->rows.Count(), static_cast<uint32_t>(ExpectedSubreportRows(kind)));
  }
  Command(ID_VIEW_CLOSE_SUBREPORT);
}

// What a user reads: the navigator's group, Pages and Browsers items and the
// shown list's Hits column title.
struct Labels {
  std::string group, pages, browsers, column;
  bool operator==(const Labels&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Labels& l) {
  return out << l.group << " | " << l.pages << " | " << l.browsers << " | " << l.column;
}
Labels Shown(CSortListCtrl* list) {
  CRMenu* nav = Navigator();
  wxTreeCtrl* tree = nav->Tree();
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT);
  list->GetColumn(ColumnOfType(list, kColHits), column);
  return {tv::WxToBytes(tree->GetItemText(tree->GetItemParent(nav->ItemOfKind(kReportPage)))),
          tv::WxToBytes(tree->GetItemText(nav->ItemOfKind(kReportPage))),
          tv::WxToBytes(tree->GetItemText(nav->ItemOfKind(kReportBrowser))), tv::WxToBytes(column.GetText())};
}
Labels InEffect() {
  return {GetTerm(kTermStAccess), ColumnTerm(kReportPage), ColumnTerm(kReportBrowser), GetTerm(kTermHits)};
}

TEST_F(ContentsTest, NavigatorSpeaksTheLanguageOfTheReportsAfterOptionsAndAfterARestart) {
  tvtest::WriteFile(tv::DataDir() + "German.lng",
                    tvtest::ReadFile(std::string(TV_SOURCE_DIR) + "/data/lang/German.lng"));
  const std::string workspace = g_workspace.FileName();
  Show(kReportPage);
  const Labels english = Shown(List());
  EXPECT_EQ(english, InEffect());
  EXPECT_EQ(english.group, "Access Stats");

  // German chosen in Options, with clicks on its buttons.
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      RealClick(d->FindWindow(COptionsPage::ID_CHOOSE_LANGUAGE));
      EXPECT_EQ(wxtest::Text(d, COptionsPage::ID_LANGUAGE), "German.lng");
      RealClick(d->FindWindow(wxID_OK));
      if (d->IsModal()) d->EndModal(wxID_OK);
    });
    script.Inside([](wxDialog* chooser) {
      auto* list = wxtest::Control<wxListBox>(chooser, CChooseLanguageDlg::ID_LIST);
      wxtest::SelectLine(chooser, CChooseLanguageDlg::ID_LIST, list->FindString("German.lng"));
      RealClick(chooser->FindWindow(wxID_OK));
      if (chooser->IsModal()) chooser->EndModal(wxID_OK);
    });
    Command(ID_VIEW_OPTIONS);
    EXPECT_EQ(script.titles, (std::vector<std::string>{"Options", "Choose language"}));
  }
  ASSERT_TRUE(WaitJob());
  wxtest::Pump(100);
  const Labels german = Shown(List());
  EXPECT_EQ(german.group, "Zugriffsstatistik");
  EXPECT_NE(german.pages, english.pages);
  EXPECT_EQ(german.browsers, "Browser");
  EXPECT_EQ(german, InEffect()) << "the tree and the list speak one language";
  EXPECT_EQ(german.column, "Zugriffe");
  EXPECT_TRUE(wxtest::SaveScreenshot("contents_navigator_german"));

  // Restarted with German in the settings and no language in the workspace:
  // the workspace's choice (English) labels both.
  appsession::Close();
  started = false;
  ASSERT_STREQ(g_settings.Language, "German.lng");
  ASSERT_TRUE(appsession::Start(workspace, wxSize(1100, 800), &started));
  Show(kReportPage);
  wxtest::Pump(100);
  EXPECT_EQ(Shown(List()), InEffect());
  EXPECT_EQ(Shown(List()), english);

  std::remove(SettingsFilePath().c_str());
  std::remove((tv::DataDir() + "German.lng").c_str());
  g_settings = g_settingsWork = SettingsBlock();
}

// A window manager (openbox) on the test display while it lives; without
// one, GTK maps the calendar popup but never draws it or gives it the pointer.
class WindowManager {
 public:
  WindowManager() {
    if (std::system("command -v openbox >/dev/null && command -v xprop >/dev/null") != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execlp("openbox", "openbox", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100 && m_pid > 0 && !Running(); ++i) wxtest::Pump(50);
    wxtest::Pump(300);
  }
  ~WindowManager() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    wxtest::Pump(200);
  }
  // It names its own window on the root window; one left by an earlier
  // manager of this display names a window that is gone.
  bool Running() const {
    return m_pid > 0 &&
           std::system("w=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}'); "
                       "[ -n \"$w\" ] && xprop -id \"$w\" _NET_WM_NAME >/dev/null 2>&1") == 0;
  }

 private:
  pid_t m_pid = -1;
};

// A click on a day of the calendar is the pick: the calendar closes and the
// report runs to that day. "To" first, then "From" on the same day.
TEST_F(ContentsTest, CalendarPickClosesItAndRunsTheReportToThatDay) {
  WindowManager wm;
  if (!wm.Running()) GTEST_SKIP() << "openbox or xprop is not installed";
  Show(kReportPage);
  const uint32_t all = GetCurrentQueryState().totals.hits;
  CMainFrame* frame = MainFrame();
  frame->Raise();
  wxtest::Pump(300);
  auto pick = [&](wxDatePickerCtrl* picker, const char* shot) {
    wxComboCtrl* combo = ComboOf(picker);
    ASSERT_NE(combo, nullptr);
    // The drop-down button at the combo's right end, then a day in the
    // middle rows, which always hold days of the month shown.
    RealClick(combo, wxPoint(combo->GetSize().x - 8, combo->GetSize().y / 2));
    ASSERT_TRUE(wxtest::PumpUntil([&] { return combo->IsPopupShown(); }, 3000)) << "the calendar did not open";
    wxtest::Pump(300);
    if (shot) {
      EXPECT_TRUE(wxtest::SaveScreenshot(shot));
    }
    wxCalendarCtrl* calendar = picker->GetCalendar();
    ASSERT_NE(calendar, nullptr);
    RealClick(calendar, wxPoint(calendar->GetSize().x / 2, calendar->GetSize().y * 6 / 10));
    EXPECT_TRUE(wxtest::PumpUntil([&] { return !combo->IsPopupShown(); }, 3000)) << "the calendar stayed open";
    ASSERT_TRUE(WaitJob());
  };
  const wxDateTime shown = frame->ToPicker()->GetValue();
  pick(frame->ToPicker(), "contents_calendar_open");
  const wxDateTime day = frame->ToPicker()->GetValue();
  ASSERT_TRUE(day.IsValid());
  EXPECT_FALSE(day.IsSameDate(shown)) << "no day was picked";
  EXPECT_EQ(day.GetMonth(), shown.GetMonth());
  const uint32_t packed = PackDate(static_cast<unsigned>(day.GetDay()), static_cast<unsigned>(day.GetMonth()) + 1,
                                   static_cast<unsigned>(day.GetYear()));
  EXPECT_EQ(g_uiQuery.dateToOn, 1u);
  EXPECT_EQ(g_uiQuery.dateTo, packed);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, HitsBetween(0, packed));

  pick(frame->FromPicker(), nullptr);
  EXPECT_TRUE(frame->FromPicker()->GetValue().IsSameDate(day));
  EXPECT_EQ(g_uiQuery.dateFromOn, 1u);
  EXPECT_EQ(g_uiQuery.dateFrom, packed);
  EXPECT_EQ(GetCurrentQueryState().totals.hits, HitsBetween(packed, packed));
  EXPECT_NE(GetCurrentQueryState().totals.hits, all) << "the picked days filter nothing";
  EXPECT_TRUE(wxtest::SaveScreenshot("contents_calendar_picked"));
}

}  // namespace
