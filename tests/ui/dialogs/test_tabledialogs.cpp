// The dialogs over tables: offered updates, new spiders, the files read and
// the additional columns.
#include <gtest/gtest.h>
#include <wx/imaglist.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>

#include <chrono>
#include <cstdio>

#include "engine/analysis/analysis.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/dialogs/databaseupdate.h"
#include "ui/dialogs/reportdialogs.h"
#include "ui/widgets/reportlistctrl.h"

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

// The report images as the program folder holds them, whichever test loaded
// the shared strip first.
void LoadRealReportImages() {
  const std::string strip = std::string(TV_UI_TEST_DATA_DIR) + "/../../../res/report_images.png";
  tvtest::WriteFile(tvtest::Home() + "report_images.png", tvtest::ReadFile(strip));
  ASSERT_TRUE(LoadReportImages(tvtest::Home() + "report_images.png", ReportImages()));
}

// Pixels and alpha of an image list's image, for comparing two lists.
std::string Pixels(wxImageList* images, int n) {
  wxImage image = images->GetBitmap(n).ConvertToImage();
  if (!image.IsOk()) return std::string();
  std::string bytes(reinterpret_cast<const char*>(image.GetData()), image.GetWidth() * image.GetHeight() * 3);
  if (image.HasAlpha())
    bytes.append(reinterpret_cast<const char*>(image.GetAlpha()), image.GetWidth() * image.GetHeight());
  return bytes;
}

struct LogReportRow {
  const char* name;
  const char* lines;
  const char* size;
  int image;  // 0 a file with lines, 1 one without (or unreadable), 2 the total
};

int ImageOf(wxListCtrl* list, long item) {
  wxListItem info;
  info.SetId(item);
  info.SetMask(wxLIST_MASK_IMAGE);
  return list->GetItem(info) ? info.GetImage() : -99;
}

// The list draws a cell's text in its width less 8 pixels, and less the image
// with its 5-pixel gap where the cell has one: that much must hold the text.
constexpr int kTextInset = 8, kImageRoom = 16 + 5;

void ExpectColumnsHoldTheirTexts(wxListCtrl* list, const std::vector<LogReportRow>& rows) {
  const char* titles[3] = {"Log file", "Lines", "File size"};
  const int least[3] = {270, 70, 70};
  for (int c = 0; c < 3; ++c) {
    SCOPED_TRACE(titles[c]);
    int width = list->GetColumnWidth(c);
    EXPECT_GE(width, list->FromDIP(least[c]));
    EXPECT_GE(width, list->GetTextExtent(titles[c]).GetWidth() + kTextInset);
    for (const LogReportRow& r : rows) {
      const char* text = c == 0 ? r.name : c == 1 ? r.lines : r.size;
      const int room = kTextInset + (c == 0 ? kImageRoom : 0);
      EXPECT_GE(width, list->GetTextExtent(wxString::FromUTF8(text)).GetWidth() + room) << text;
    }
  }
}

TEST(LogFileReportDialog, RowsCarryTheirTextsAndImagesInColumnsThatHoldThem) {
  LoadRealReportImages();
  CLogFileReportList files;
  files.Add("/var/log/access.log", 3 * 1024 * 1024, 12000);
  files.Add("/var/log/empty.log", 0, 0);
  files.Add("/var/log/access.log.1", 512, 3);
  files.Add("/var/log/locked.log", 4096, 0);  // could not be read: no line
  files.Add("/var/log/archive/access-2024-05.log", 999999999, 4000000000u);
  const std::vector<LogReportRow> all = {
      {"Total", "4000012003", "956.68 MB", 2},
      {"/var/log/access.log", "12000", "3.00 MB", 0},
      {"/var/log/empty.log", "0", "0", 1},
      {"/var/log/access.log.1", "3", "512", 0},
      {"/var/log/locked.log", "0", "4.00 KB", 1},
      {"/var/log/archive/access-2024-05.log", "4000000000", "953.67 MB", 0},
  };
  const std::vector<LogReportRow> bad = {all[0], all[2], all[4]};
  CLogFileReportList one;
  one.Add("/var/log/archive/access-2024-05.log", 999999999, 4000000000u);
  const struct {
    const char* what;
    const CLogFileReportList* files;
    bool showAll;
    std::vector<LogReportRow> rows;
  } cases[] = {
      {"all files", &files, true, all},
      {"only the files that gave no line", &files, false, bad},
      {"one file: no total line", &one, true, {all[5]}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CLogFileReportDlg dlg(nullptr, *c.files, c.showAll);
    dlg.Show();
    ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg.IsShownOnScreen(); }));
    wxtest::Pump(100);
    wxListCtrl* list = dlg.List();
    ASSERT_EQ(list->GetItemCount(), static_cast<int>(c.rows.size()));
    for (size_t i = 0; i < c.rows.size(); ++i) {
      const LogReportRow& r = c.rows[i];
      long item = static_cast<long>(i);
      EXPECT_EQ(tv::WxToBytes(list->GetItemText(item, 0)), r.name) << i;
      EXPECT_EQ(tv::WxToBytes(list->GetItemText(item, 1)), r.lines) << i;
      EXPECT_EQ(tv::WxToBytes(list->GetItemText(item, 2)), r.size) << i;
      EXPECT_EQ(ImageOf(list, item), r.image) << i;
    }
    ExpectColumnsHoldTheirTexts(list, c.rows);
    // Nothing to scroll to: every column is in view, the dialog holds the list.
    int total = 0;
    for (int col = 0; col < 3; ++col) total += list->GetColumnWidth(col);
    EXPECT_GE(list->GetClientSize().GetWidth(), total);
    EXPECT_TRUE(wxRect(dlg.GetClientSize()).Contains(list->GetRect()));
    if (c.showAll && c.rows.size() > 1) {
      EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_log_file_report"));
    }
  }
}

// The images are the report strip's page, struck-out page and sum sign.
TEST(LogFileReportDialog, ImagesComeFromTheReportStrip) {
  LoadRealReportImages();
  CLogFileReportList files;
  files.Add("a.log", 10, 1);
  CLogFileReportDlg dlg(nullptr, files, true);
  wxImageList* images = dlg.List()->GetImageList(wxIMAGE_LIST_SMALL);
  ASSERT_NE(images, nullptr);
  ASSERT_EQ(images->GetImageCount(), 3);
  const int artwork[3] = {2, 8, 1};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    std::string pixels = Pixels(images, i);
    EXPECT_EQ(pixels, Pixels(ReportImages(), artwork[i]));
    EXPECT_NE(pixels.find_first_not_of('\0', 16 * 16 * 3), std::string::npos) << "something opaque";
  }
}

// A file name wider than the screen scrolls; the dialog stays on the screen
// and the numbers' columns still hold their texts.
TEST(LogFileReportDialog, AVeryLongNameScrollsInsteadOfWideningTheDialog) {
  LoadRealReportImages();
  const std::string name = "/srv/" + std::string(600, 'w') + "/access.log";
  CLogFileReportList files;
  files.Add(name.c_str(), 999999999, 4000000000u);
  files.Add("/var/log/empty.log", 0, 0);
  CLogFileReportDlg dlg(nullptr, files, true);
  dlg.Show();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg.IsShownOnScreen(); }));
  ExpectColumnsHoldTheirTexts(dlg.List(), {{"Total", "4000000000", "953.67 MB", 2},
                                           {name.c_str(), "4000000000", "953.67 MB", 0},
                                           {"/var/log/empty.log", "0", "0", 1}});
  EXPECT_LE(dlg.GetSize().GetWidth(), wxGetDisplaySize().GetWidth());
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
