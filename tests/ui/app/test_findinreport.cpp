// Find In Report and Find Again on a report list: the "Search" dialog, the
// case rule, going on after a hit, the miss that keeps the selection, and a
// hit past item 32,767 scrolled into view.
#include <gtest/gtest.h>
#include <wx/wx.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/store/reportkind.h"
#include "platform/wx/wxtext.h"
#include "tests/engine/hitmaker.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/app/findinreport.h"
#include "ui/core/findreport.h"
#include "ui/core/navigationstate.h"
#include "ui/core/uistate.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/panes/reportlist.h"
#include "ui/widgets/reportlistctrl.h"
#include "ui/widgets/worker.h"

namespace {

using wxtest::DialogScript;

class FindInReportWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new wxFrame(nullptr, wxID_ANY, "Find", wxDefaultPosition, wxSize(700, 400));
    frame->CreateStatusBar();
    list = new CSortListCtrl(frame);
    frame->Show();
    SetEngineStatusBar(frame->GetStatusBar());
    g_runPending = false;
    g_lastQueryRan = true;
    g_uiQuery = CQueryParams{};
    g_uiQuery.levels[0].kind = kReportPage;
    g_searchText.clear();
    g_searchMatchCase = false;
    g_nav.findPosition = 0;
  }
  void TearDown() override {
    SetEngineStatusBar(nullptr);
    frame->Destroy();
    wxtest::Pump(50);
    table.Free();
    g_uiQuery = CQueryParams{};
    g_searchText.clear();
    g_nav.findPosition = 0;
  }
  // Rows in the given order (the list sorts by hits, descending).
  void Show(const std::vector<std::string>& pages) {
    table.Free();
    uint32_t hits = static_cast<uint32_t>(pages.size()) + 1;
    for (const std::string& page : pages) {
      table.AddRow(made.Make(hitmaker::Hit{page.c_str()}))->SetHits(hits);
      table.totals.hits += hits--;
    }
    ShowReportInList(kReportPage, list, &table, nullptr, false);
    ASSERT_EQ(CurrentReportList, list);
    wxtest::Pump(50);
  }
  std::string Status() const { return tv::WxToBytes(frame->GetStatusBar()->GetStatusText(0)); }
  std::vector<long> Selected() const {
    std::vector<long> items;
    for (long i = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
         i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
      items.push_back(i);
    return items;
  }
  // Answers the "Search" dialog with a text and the case switch; checks its preset.
  void Search(DialogScript& script, const std::string& text, bool matchCase, const std::string& preset = "",
              bool presetCase = false, bool ok = true) {
    script.Inside([=](wxDialog* d) {
      EXPECT_EQ(tv::WxToBytes(d->GetTitle()), "Search");
      EXPECT_EQ(wxtest::Text(d, CSearchDlg::ID_TEXT), preset);
      auto* box = wxtest::Control<wxCheckBox>(d, CSearchDlg::ID_CASE);
      if (box) {
        EXPECT_EQ(box->GetValue(), presetCase);
      }
      wxtest::SetText(d, CSearchDlg::ID_TEXT, text);
      wxtest::SetCheck(d, CSearchDlg::ID_CASE, matchCase);
      wxtest::Click(d, ok ? wxID_OK : wxID_CANCEL);
    });
  }

  wxFrame* frame = nullptr;
  CSortListCtrl* list = nullptr;
  CRowTable table;
  hitmaker::Hits made;
};

TEST_F(FindInReportWindow, FindThenFindAgainUntilTheLastMatch) {
  Show({"/index.html", "/shop.html", "/about.html", "/Shop/cart.html"});
  // Item 0 is the totals row; the rows follow in the given order.
  ASSERT_EQ(tv::WxToBytes(list->GetItemText(2)), "/shop.html");
  EXPECT_TRUE(CanFindInReport(false));
  EXPECT_FALSE(CanFindInReport(true));  // no search text yet
  OnFindAgain();                        // a beep, nothing else
  EXPECT_EQ(g_nav.findPosition, 0);

  {
    DialogScript script;
    Search(script, "SHOP", false);
    OnFindInReport();
  }
  EXPECT_EQ(g_searchText, "SHOP");
  EXPECT_EQ(Status(), "Found!");
  EXPECT_EQ(Selected(), std::vector<long>{2});
  EXPECT_EQ(g_nav.findPosition, 2);
  EXPECT_TRUE(wxtest::SaveScreenshot("find_in_report"));

  OnFindAgain();
  EXPECT_EQ(Status(), "Found!");
  EXPECT_EQ(Selected(), std::vector<long>{4});
  OnFindAgain();  // no wrap: the last match was the last
  EXPECT_EQ(Status(), "Not found");
  EXPECT_EQ(Selected(), std::vector<long>{4});
  EXPECT_EQ(g_nav.findPosition, 4);

  // The dialog opens with the last text; Cancel keeps it and searches nothing.
  {
    DialogScript script;
    Search(script, "about", false, "SHOP", false, false);
    OnFindInReport();
  }
  EXPECT_EQ(g_searchText, "SHOP");
  EXPECT_EQ(Selected(), std::vector<long>{4});

  // Case counts when asked: "Shop" from the top finds only "/Shop/cart.html".
  g_nav.findPosition = 0;
  {
    DialogScript script;
    Search(script, "Shop", true, "SHOP", false);
    OnFindInReport();
  }
  EXPECT_TRUE(g_searchMatchCase);
  EXPECT_EQ(Selected(), std::vector<long>{4});
}

TEST_F(FindInReportWindow, NothingToSearchWithoutAListOrWhileAResultIsPending) {
  Show({"/index.html", "/shop.html"});
  g_searchText = "shop";
  g_runPending = true;
  EXPECT_FALSE(CanFindInReport(false));
  g_runPending = false;
  g_uiQuery.levels[0].kind = kReportSummary;
  EXPECT_FALSE(CanFindInReport(false));
  g_uiQuery.levels[0].kind = kReportPage;
  CurrentReportList = nullptr;
  EXPECT_FALSE(CanFindInReport(true));
  OnFindInReport();  // a beep, no dialog (the script would fail on one)
  CurrentReportList = list;
  EXPECT_TRUE(CanFindInReport(true));
  g_nav.findPosition = -1;  // no position: nothing happens
  FindInReport();
  EXPECT_EQ(Status(), "Search start");
  EXPECT_EQ(g_nav.findPosition, -1);
}

TEST_F(FindInReportWindow, AHitPastItem32767IsSelectedAndShown) {
  std::vector<std::string> pages;
  char page[32];
  for (int i = 0; i < 40000; ++i) {
    snprintf(page, sizeof page, "/p%05d.html", i);
    pages.push_back(page);
  }
  Show(pages);
  g_searchText = "/p39990";
  g_nav.findPosition = 33000;
  OnFindAgain();
  EXPECT_EQ(Status(), "Found!");
  EXPECT_EQ(g_nav.findPosition, 39991);
  EXPECT_EQ(Selected(), std::vector<long>{39991});
  wxtest::Pump(100);
  const long top = list->GetTopItem();
  EXPECT_LE(top, 39991);
  EXPECT_GT(top + list->GetCountPerPage(), 39991);
  // From there on nothing further matches and the search does not start over.
  OnFindAgain();
  EXPECT_EQ(Status(), "Not found");
}

}  // namespace
