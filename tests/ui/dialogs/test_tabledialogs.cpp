// The dialogs over tables: offered updates, new spiders, the files read and
// the additional columns.
#include <gtest/gtest.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>

#include <chrono>
#include <cstdio>

#include "engine/analysis/analysis.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/dialogs/databaseupdate.h"
#include "ui/dialogs/reportdialogs.h"

namespace {

using wxtest::Click;
using wxtest::DialogScript;

std::vector<std::string> TreeTexts(wxTreeListCtrl* tree) {
  std::vector<std::string> texts;
  for (wxTreeListItem i = tree->GetFirstItem(); i.IsOk(); i = tree->GetNextItem(i))
    texts.push_back(tv::WxToBytes(tree->GetItemText(i)));
  return texts;
}

// Unchecks the tree's line n as a click on its box does.
void Uncheck(wxTreeListCtrl* tree, int n) {
  wxTreeListItem item = tree->GetFirstItem();
  for (int i = 0; i < n; ++i) item = tree->GetNextItem(item);
  tree->CheckItem(item, wxCHK_UNCHECKED);
}

std::vector<std::string> ListTexts(wxCheckListBox* list) {
  std::vector<std::string> texts;
  for (unsigned i = 0; i < list->GetCount(); ++i) texts.push_back(tv::WxToBytes(list->GetString(i)));
  return texts;
}

TEST(UpdateListDialog, UncheckedTablesAreLeftOutOnOkOnly) {
  for (int ok : {0, 1}) {
    std::vector<CUpdateEntry> offers(3);
    offers[0].title = "Browsers";
    offers[0].size = 1;
    offers[1].title = "Cities";
    offers[1].size = 12;
    offers[2].title = "Robots";
    DialogScript script;
    script.Inside([ok](wxDialog* d) {
      wxCheckListBox* list = dynamic_cast<CUpdateListDlg*>(d)->List();
      EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"Browsers (1 MB)", "Cities (12 MB)", "Robots (0 MB)"}));
      for (unsigned i = 0; i < list->GetCount(); ++i) EXPECT_TRUE(list->IsChecked(i));
      list->Check(1, false);
      if (ok) {
        EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_update_list"));
      }
      Click(d, ok ? wxID_OK : wxID_CANCEL);
    });
    EXPECT_EQ(RunUpdateListDialog(nullptr, &offers), ok == 1);
    EXPECT_EQ(offers[0].selected, 1);
    EXPECT_EQ(offers[1].selected, ok ? 0 : 1);
    EXPECT_EQ(offers[2].selected, 1);
  }
}

// A long offer list comes up and goes back in one go; the times are printed.
TEST(UpdateListDialog, LongListsFillInOneBatch) {
  std::vector<CUpdateEntry> offers(2500);
  for (size_t i = 0; i < offers.size(); ++i) offers[i].title = "Table " + std::to_string(i);
  auto t0 = std::chrono::steady_clock::now();
  double shown = 0;
  DialogScript script;
  script.Inside([&](wxDialog* d) {
    shown = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    wxCheckListBox* list = dynamic_cast<CUpdateListDlg*>(d)->List();
    std::vector<std::string> texts = ListTexts(list);
    ASSERT_EQ(texts.size(), offers.size());
    EXPECT_EQ(texts.back(), "Table 2499 (0 MB)");
    list->Check(2498, false);
    Click(d, wxID_OK);
  });
  EXPECT_TRUE(RunUpdateListDialog(nullptr, &offers));
  double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  printf("[ timing ] 2500 offers: shown after %.3f s, answered after %.3f s\n", shown, total);
  EXPECT_EQ(offers[2498].selected, 0);
  EXPECT_EQ(offers[2499].selected, 1);
}

TEST(ConfirmSpidersDialog, ApplyConfirmsTheCheckedCandidates) {
  for (int ok : {0, 1}) {
    std::vector<AuxSpiderRow> rows = {
        AuxSpiderRow::Make(0xC0000201, "CrawlerOne/1.0", "crawl1.example"),
        AuxSpiderRow::Make(0, "NamedBot/2.0", "bot.example"),
        AuxSpiderRow::Make(0xC0000203, "OldBot", ""),
        AuxSpiderRow::Make(0xC0000204, "Unwanted/0.1", ""),
    };
    rows[2].bytes[0] = 1;  // confirmed before: not offered again
    DialogScript script;
    script.Inside([ok](wxDialog* d) {
      auto* dlg = dynamic_cast<CConfirmSpidersDlg*>(d);
      EXPECT_EQ(TreeTexts(dlg->Tree()), (std::vector<std::string>{"192.0.2.1 - CrawlerOne/1.0",
                                                                   "bot.example - NamedBot/2.0",
                                                                   "192.0.2.4 - Unwanted/0.1"}));
      Uncheck(dlg->Tree(), 2);
      if (ok) {
        EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_confirm_spiders"));
      }
      Click(d, ok ? wxID_OK : wxID_CANCEL);
    });
    CConfirmSpidersDlg dlg(nullptr, &rows);
    EXPECT_EQ(dlg.ShowModal(), ok ? wxID_OK : wxID_CANCEL);
    std::vector<int> status;
    for (const AuxSpiderRow& r : rows) status.push_back(r.bytes[0]);
    EXPECT_EQ(status, ok ? (std::vector<int>{1, 1, 1, 0}) : (std::vector<int>{0, 0, 1, 0}));
  }
}

TEST(LogFileReportDialog, TotalAndTheFilesThatGaveNoLine) {
  CLogFileReportList files;
  files.Add("/var/log/access.log", 3 * 1024 * 1024, 12000);
  files.Add("/var/log/empty.log", 0, 0);
  files.Add("/var/log/access.log.1", 512, 3);
  for (bool all : {false, true}) {
    CLogFileReportDlg dlg(nullptr, files, all);
    dlg.Show();
    ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg.IsShownOnScreen(); }));
    wxListCtrl* list = dlg.List();
    ASSERT_EQ(list->GetItemCount(), all ? 4 : 2);
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(0, 0)), "Total");
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(0, 1)), "12003");
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(1, 0)), all ? "/var/log/access.log" : "/var/log/empty.log");
    if (all) {
      EXPECT_EQ(tv::WxToBytes(list->GetItemText(1, 2)), "3.00 MB");
      EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_log_file_report"));
    }
  }
}

std::vector<std::string> Lines(wxListBox* list) {
  std::vector<std::string> lines;
  for (unsigned i = 0; i < list->GetCount(); ++i) lines.push_back(tv::WxToBytes(list->GetString(i)));
  return lines;
}

TEST(CustomizeColumnDialog, AddsMovesAndDeletesColumns) {
  DialogScript script;
  script.Inside([](wxDialog* d) {
    auto* dlg = dynamic_cast<CCustomizeColumnDlg*>(d);
    EXPECT_EQ(Lines(dlg->List()), (std::vector<std::string>{"Countries", "Hosts"}));
    EXPECT_EQ(dlg->List()->GetSelection(), 0) << "the first is selected";
    Click(d, CCustomizeColumnDlg::ID_ADD);  // the chooser adds Keywords
    EXPECT_EQ(Lines(dlg->List()), (std::vector<std::string>{"Countries", "Hosts", "Keywords"}));
    EXPECT_EQ(dlg->List()->GetSelection(), 2);
    Click(d, CCustomizeColumnDlg::ID_UP);
    EXPECT_EQ(dlg->m_choice.codes, (std::vector<int32_t>{7, 4, 2}));
    EXPECT_EQ(dlg->List()->GetSelection(), 1);
    wxtest::SelectLine(d, CCustomizeColumnDlg::ID_LIST, 0);
    Click(d, CCustomizeColumnDlg::ID_DELETE);
    EXPECT_EQ(dlg->m_choice.codes, (std::vector<int32_t>{4, 2}));
    EXPECT_EQ(dlg->List()->GetSelection(), 0);
    Click(d, CCustomizeColumnDlg::ID_ADD);  // the chooser is cancelled
    EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_customize_column"));
    Click(d, wxID_OK);
  });
  script.Inside([](wxDialog* d) {
    auto* chooser = dynamic_cast<CChooseColumnDlg*>(d);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(Lines(chooser->List()),
              (std::vector<std::string>{"Referrers", "Keywords", "Search Engines", "Referring Sites"}));
    wxtest::SelectLine(d, CChooseColumnDlg::ID_LIST, -1);
    EXPECT_FALSE(wxtest::Enabled(d, wxID_OK)) << "Add needs a selected line";
    wxtest::SelectLine(d, CChooseColumnDlg::ID_LIST, 1);
    EXPECT_TRUE(wxtest::Enabled(d, wxID_OK));
    EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_choose_column"));
    Click(d, wxID_OK);
  });
  script.Inside([](wxDialog* d) { Click(d, wxID_CANCEL); });

  CCustomizeColumnDlg dlg(nullptr);
  dlg.m_kind = 1;
  dlg.m_choice.codes = {7, 2};
  ASSERT_EQ(dlg.ShowModal(), wxID_OK);
  EXPECT_EQ(dlg.m_choice.codes, (std::vector<int32_t>{4, 2}));
}

}  // namespace
