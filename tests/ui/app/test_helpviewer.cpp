// The help window: the book opened at a page from the program folder, and a
// plain message when the book is not there.
#include <gtest/gtest.h>
#include <wx/filefn.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>

#include <cstdio>
#include <string>

#include "platform/wx/wxtext.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/app/helpviewer.h"
#include "ui/core/helppages.h"

namespace {

std::string OpenedPage() {
  auto* frame = dynamic_cast<wxHtmlHelpFrame*>(HelpWindow());
  if (!frame || !frame->IsShown() || !frame->GetHelpWindow()) return "";
  wxHtmlWindow* html = frame->GetHelpWindow()->GetHtmlWindow();
  return html ? tv::WxToBytes(html->GetOpenedPage()) : "";
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(HelpWindow, OpensTheBookAtItsPages) {
  const std::string book = HelpBookPath();
  std::remove(book.c_str());
  {
    // No book in the program folder: the message names where it was looked for.
    wxtest::DialogScript script;
    script.Answer(wxID_OK);
    ShowHelpPage(kHelpLogFormats);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find(book), std::string::npos) << script.messages[0];
    EXPECT_EQ(OpenedPage(), "");
  }

  ASSERT_TRUE(wxCopyFile(TV_HELP_BOOK, tv::BytesToWx(book)));
  ShowHelpPage(kHelpLogFormats);
  ASSERT_TRUE(wxtest::PumpUntil([] { return EndsWith(OpenedPage(), kHelpLogFormats); })) << OpenedPage();
  HelpWindow()->SetSize(900, 700);
  HelpWindow()->Raise();
  EXPECT_TRUE(wxtest::SaveScreenshot("help_logfile"));
  // Down to the examples, to see how they show.
  auto* frame = dynamic_cast<wxHtmlHelpFrame*>(HelpWindow());
  ASSERT_NE(frame, nullptr);
  wxHtmlWindow* html = frame->GetHelpWindow()->GetHtmlWindow();
  EXPECT_TRUE(html->LoadPage(html->GetOpenedPage() + "#f4"));
  EXPECT_TRUE(wxtest::SaveScreenshot("help_logfile_examples"));

  // The same window moves to another page; null is the start page.
  ShowHelpPage(kHelpSupport);
  EXPECT_TRUE(wxtest::PumpUntil([] { return EndsWith(OpenedPage(), kHelpSupport); })) << OpenedPage();
  ShowHelpPage(nullptr);
  EXPECT_TRUE(wxtest::PumpUntil([] { return EndsWith(OpenedPage(), kHelpStart); })) << OpenedPage();

  HelpWindow()->Close(true);
  wxtest::Pump(100);
  std::remove(book.c_str());
}

}  // namespace
