// Printing a report list: a 1,000-row report to a PostScript file through the
// print framework (pages, rows in order, header and footer on every page), the
// dialog's page range, a picture of page 1 and the empty list.
#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/generic/printps.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/modalhook.h>
#include <wx/generic/prntdlgg.h>
#include <wx/printdlg.h>
#include <wx/radiobox.h>
#include <wx/wx.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/display/display.h"
#include "engine/store/reportkind.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/engine/hitmaker.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/core/uistate.h"
#include "ui/panes/reportlist.h"
#include "ui/panes/reportprint.h"
#include "ui/widgets/reportlistctrl.h"

namespace {

// The strings a wxPostScriptDC page shows, in drawing order.
std::vector<std::vector<std::string>> PostScriptPages(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string ps = buffer.str();
  std::vector<std::vector<std::string>> pages;
  const std::string marker = ") (\\n) strsplit";
  size_t at = 0;
  for (;;) {
    size_t page = ps.find("%%Page:", at);
    size_t text = ps.find(marker, at);
    if (text == std::string::npos && page == std::string::npos) break;
    if (page != std::string::npos && (text == std::string::npos || page < text)) {
      pages.emplace_back();
      at = page + 7;
      continue;
    }
    // The string runs back to its unescaped '(' at the start of the line.
    size_t open = ps.rfind('\n', text);
    open = open == std::string::npos ? 0 : open + 1;
    std::string s;
    for (size_t i = open + 1; i < text; ++i) {
      char c = ps[i];
      if (c == '\\' && i + 1 < text) {
        char n = ps[++i];
        if (n >= '0' && n <= '7') {
          int v = n - '0';
          for (int k = 0; k < 2 && i + 1 < text && ps[i + 1] >= '0' && ps[i + 1] <= '7'; ++k) v = v * 8 + (ps[++i] - '0');
          s += static_cast<char>(v);
        } else {
          s += n;
        }
      } else {
        s += c;
      }
    }
    if (!pages.empty()) pages.back().push_back(s);
    at = text + marker.size();
  }
  return pages;
}

class ListPrint : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    frame = new wxFrame(nullptr, wxID_ANY, "Print", wxDefaultPosition, wxSize(800, 500));
    list = new CSortListCtrl(frame);
    frame->Show();
    made = new hitmaker::Hits;
    char page[32];
    for (int i = 0; i < 1000; ++i) {
      snprintf(page, sizeof page, "/page%04d.html", i);
      CRow* row = table.AddRow(made->Make(hitmaker::Hit{page}));
      row->SetHits(static_cast<uint32_t>(1 + i % 97));
      row->SetBytesSent(static_cast<uint64_t>(i) * 1000);
      table.totals.hits += row->Hits();
      table.totals.bytesSent += row->BytesSent();
    }
    g_runPending = false;
    g_lastQueryRan = true;
    ShowReportInList(kReportPage, list, &table, nullptr, false);
    wxtest::Pump(50);
  }
  static void TearDownTestSuite() {
    frame->Destroy();
    frame = nullptr;
    list = nullptr;
    wxtest::Pump(50);
    table.Free();
    delete made;
    made = nullptr;
  }

  // Prints the list to a PostScript file with the framework's own loop.
  static std::vector<std::vector<std::string>> PrintToFile(const std::string& name, int from, int to,
                                                          CListPrintout* printout) {
    const std::string path = tvtest::Home() + name;
    std::remove(path.c_str());
    wxPrintData data;
    data.SetPrintMode(wxPRINT_MODE_FILE);
    data.SetFilename(tv::BytesToWx(path));
    data.SetPaperId(wxPAPER_A4);
    wxPrintDialogData dialogData(data);
    dialogData.SetFromPage(from);
    dialogData.SetToPage(to);
    wxPostScriptPrinter printer(&dialogData);
    EXPECT_TRUE(printer.Print(frame, printout, false));
    return PostScriptPages(path);
  }

  // The texts of every cell the list shows for an item, as printed (empty cells print nothing).
  static std::vector<std::string> ItemTexts(long item) {
    std::vector<std::string> texts;
    for (int c = 0; c < list->GetColumnCount(); ++c) {
      std::string t = tv::WxToBytes(list->GetItemText(item, c));
      if (!t.empty()) texts.push_back(t);
    }
    return texts;
  }

  static wxFrame* frame;
  static CSortListCtrl* list;
  static CRowTable table;
  static hitmaker::Hits* made;
};
wxFrame* ListPrint::frame = nullptr;
CSortListCtrl* ListPrint::list = nullptr;
CRowTable ListPrint::table;
hitmaker::Hits* ListPrint::made = nullptr;

TEST_F(ListPrint, AThousandRowsOnTheirPagesInListOrderWithHeaderAndFooter) {
  ASSERT_EQ(list->GetItemCount(), 1001);  // the totals row and the rows
  CListPrintout printout(*list);
  const auto pages = PrintToFile("report.ps", 1, 9999, &printout);
  const CPrintLayout& l = printout.Layout();
  ASSERT_GT(l.rowsPerPage, 10);
  EXPECT_EQ(l.pageCount, static_cast<int>((1001 + l.rowsPerPage - 1) / l.rowsPerPage));
  ASSERT_EQ(static_cast<int>(pages.size()), l.pageCount);
  ASSERT_GT(l.pageCount, 5);

  std::vector<std::string> titles;
  for (int c = 0; c < list->GetColumnCount(); ++c) {
    wxListItem info;
    info.SetMask(wxLIST_MASK_TEXT);
    list->GetColumn(c, info);
    titles.push_back(tv::WxToBytes(info.GetText()));
  }
  long item = 0;
  for (int p = 0; p < l.pageCount; ++p) {
    const std::vector<std::string>& s = pages[p];
    // Title block, header row, rows, footer: page number and date.
    ASSERT_GE(s.size(), 2 + titles.size() + 2) << "page " << p + 1;
    EXPECT_EQ(s[0], "Trailvane");
    EXPECT_EQ(s[1], ColumnTerm(kReportPage));
    for (size_t c = 0; c < titles.size(); ++c) EXPECT_EQ(s[2 + c], titles[c]) << "page " << p + 1;
    EXPECT_EQ(s[s.size() - 2], "Page " + std::to_string(p + 1) + " of " + std::to_string(l.pageCount));
    EXPECT_FALSE(s.back().empty());
    std::vector<std::string> rows(s.begin() + 2 + static_cast<long>(titles.size()), s.end() - 2);
    std::vector<std::string> expected;
    for (int r = 0; r < l.rowsPerPage && item < 1001; ++r, ++item)
      for (std::string& t : ItemTexts(item)) expected.push_back(t);
    EXPECT_EQ(rows, expected) << "page " << p + 1;
  }
  EXPECT_EQ(item, 1001);  // every row printed, once
}

TEST_F(ListPrint, OnlyTheChosenPagesAndNothingPastTheLast) {
  CListPrintout some(*list);
  const auto pages = PrintToFile("range.ps", 2, 3, &some);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0][pages[0].size() - 2], "Page 2 of " + std::to_string(some.Layout().pageCount));
}

TEST_F(ListPrint, PictureOfTheFirstPage) {
  // An A4 page at 100 dots per inch.
  wxBitmap bitmap(827, 1169, 24);
  {
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    CListPrintout printout(*list);
    printout.PreparePrintFonts(dc);
    ASSERT_GT(printout.Layout().pageCount, 0);
    // The table fills the width: four characters of margin each side.
    EXPECT_EQ(printout.Layout().listWidth, TotalColumnWidth(*list) + 8 * printout.Layout().charWidth);
    printout.PrintPage(dc, 1);
  }
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage image = bitmap.ConvertToImage();
  EXPECT_TRUE(image.SaveFile(TV_UI_SCREENSHOT_DIR "/print_page1.png", wxBITMAP_TYPE_PNG));
  // Ink near the left and the right margin: the table spans the page.
  auto inkInColumn = [&](int x) {
    for (int y = 0; y < image.GetHeight(); ++y)
      if (image.GetRed(x, y) < 128) return true;
    return false;
  };
  bool left = false, right = false;
  for (int x = 0; x < 80; ++x) left = left || inkInColumn(x);
  for (int x = image.GetWidth() - 80; x < image.GetWidth(); ++x) right = right || inkInColumn(x);
  EXPECT_TRUE(left);
  EXPECT_TRUE(right);
}

TEST_F(ListPrint, AnEmptyListPrintsNothingAndSaysSo) {
  auto* empty = new CSortListCtrl(frame);
  CRowTable none;
  ShowReportInList(kReportPage, empty, &none, nullptr, false);
  ASSERT_EQ(empty->GetItemCount(), 0);
  CListPrintout printout(*empty);
  wxBitmap bitmap(100, 100, 24);
  {
    wxMemoryDC dc(bitmap);
    printout.PreparePrintFonts(dc);
  }
  EXPECT_EQ(printout.Layout().pageCount, 0);
  EXPECT_FALSE(printout.HasPage(1));
  {
    wxtest::DialogScript script;
    script.Answer(wxID_OK);
    EXPECT_FALSE(Print(empty, frame));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find("nothing to print"), std::string::npos);
  }
  EXPECT_FALSE(Print(nullptr, frame));
  empty->Destroy();
  ShowReportInList(kReportPage, list, &table, nullptr, false);
}

// The print dialog offers pages 1 to 9999, all preset; Cancel prints nothing.
class PrintDialogAnswer : public wxModalDialogHook {
 public:
  PrintDialogAnswer() { Register(); }
  ~PrintDialogAnswer() override { Unregister(); }
  int opened = 0, minPage = 0, maxPage = 0, fromPage = 0, toPage = 0;

 protected:
  int Enter(wxDialog* d) override {
    ++opened;
    if (auto* print = dynamic_cast<wxPrintDialogBase*>(d)) {
      const wxPrintDialogData& data = print->GetPrintDialogData();
      minPage = data.GetMinPage();
      maxPage = data.GetMaxPage();
      fromPage = data.GetFromPage();
      toPage = data.GetToPage();
    }
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

TEST_F(ListPrint, CancelInThePrintDialogPrintsNothing) {
  PrintDialogAnswer answer;
  EXPECT_FALSE(Print(list, frame));
  EXPECT_EQ(answer.opened, 1);
  EXPECT_EQ(answer.minPage, 1);
  EXPECT_EQ(answer.maxPage, 9999);
  EXPECT_EQ(answer.fromPage, 1);
  EXPECT_EQ(answer.toPage, 9999);
}

// Printed through the print dialog to a file: a range that starts past the
// last page writes no page; one that runs past it stops at the last.
TEST_F(ListPrint, ThroughTheDialogNoPagePastTheLastIsWritten) {
  // The pages the list fills on A4 PostScript, printed without the dialog.
  CListPrintout all(*list);
  const int last = static_cast<int>(PrintToFile("all.ps", 1, 9999, &all).size());
  ASSERT_GT(last, 1);

  // wx's own print dialog and PostScript printer stand in for GTK's, whose
  // dialog a test cannot fill in. The GTK factory cannot be put back, so
  // this test comes last.
  wxPrintFactory::SetPrintFactory(new wxNativePrintFactory);
  const std::string path = tvtest::Home() + "dialog.ps";
  wxPrintData saved = ProgramPrintData();
  struct Range {
    int from, to;
    size_t pages;
  } ranges[] = {{last + 1, last + 5, 0}, {last, last + 3, 1}};
  for (const Range& r : ranges) {
    SCOPED_TRACE(std::to_string(r.from) + "-" + std::to_string(r.to));
    std::remove(path.c_str());
    ProgramPrintData().SetPrintMode(wxPRINT_MODE_FILE);
    ProgramPrintData().SetFilename(tv::BytesToWx(path));
    ProgramPrintData().SetPaperId(wxPAPER_A4);
    wxtest::DialogScript script;
    script.Inside([&r](wxDialog* d) {
      auto* dialog = dynamic_cast<wxGenericPrintDialog*>(d);
      ASSERT_NE(dialog, nullptr) << "not the print dialog";
      // "Pages" in the range box, then the range typed into its two fields.
      std::vector<wxTextCtrl*> fields;
      for (wxWindow* w : d->GetChildren()) {
        if (auto* box = dynamic_cast<wxRadioBox*>(w)) {
          box->SetSelection(1);
          wxCommandEvent e(wxEVT_RADIOBOX, box->GetId());
          e.SetEventObject(box);
          e.SetInt(1);
          box->GetEventHandler()->ProcessEvent(e);
        }
        if (auto* t = dynamic_cast<wxTextCtrl*>(w)) fields.push_back(t);
      }
      ASSERT_GE(fields.size(), 2u);
      fields[0]->SetValue(std::to_string(r.from));
      fields[1]->SetValue(std::to_string(r.to));
      wxtest::Click(d, wxID_OK);
    });
    bool printed = Print(list, frame);
    ASSERT_EQ(script.titles.size(), 1u);
    std::ifstream in(path);
    if (r.pages == 0) {
      // Nothing printed, or an empty document: no page either way.
      EXPECT_TRUE(!in || PostScriptPages(path).empty()) << (printed ? "printed" : "refused");
    } else {
      EXPECT_TRUE(printed);
      const auto got = PostScriptPages(path);
      ASSERT_EQ(got.size(), r.pages);
      EXPECT_EQ(got[0][got[0].size() - 2], "Page " + std::to_string(last) + " of " + std::to_string(last));
    }
  }
  ProgramPrintData() = saved;
}

}  // namespace
