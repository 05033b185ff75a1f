// The language chooser, the prompt and the language editor on real windows.
#include <gtest/gtest.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>

#include <cstring>

#include "engine/display/vocab.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/auxfile.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/launcher.h"
#include "tests/common/countries.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/core/dialogrules.h"
#include "ui/dialogs/languages.h"
#include "ui/dialogs/textprompt.h"

namespace {

using wxtest::Click;
using wxtest::DialogScript;

std::vector<std::string> Lines(wxListBox* list) {
  std::vector<std::string> lines;
  for (unsigned i = 0; i < list->GetCount(); ++i) lines.push_back(tv::WxToBytes(list->GetString(i)));
  return lines;
}

std::string Cell(wxListCtrl* list, long line, int column) { return tv::WxToBytes(list->GetItemText(line, column)); }

// Answers the next prompt with text, checking the value it was opened with.
void AnswerPrompt(DialogScript& script, const std::string& expectOpening, const std::string& answer,
                  const char* screenshot = nullptr) {
  script.Inside([=](wxDialog* d) {
    EXPECT_EQ(wxtest::Text(d, CPromptDlg::ID_ANSWER), expectOpening);
    wxtest::SetText(d, CPromptDlg::ID_ANSWER, answer);
    if (screenshot) {
      EXPECT_TRUE(wxtest::SaveScreenshot(screenshot));
    }
    Click(d, wxID_OK);
  });
}

class LanguageDialogs : public ::testing::Test {
 protected:
  static void RemoveFiles() {
    for (const char* name : {"German.lng", "Broken.lng", "Swiss.lng"}) tv::RemoveFile(tv::DataDir() + name);
  }
  void SetUp() override {
    RemoveFiles();
    tvtest::WriteFile(tv::DataDir() + "German.lng", "FormatVersion=1.0\n[Common]\nhits=\"Zugriffe\"\n");
    tvtest::WriteFile(tv::DataDir() + "Broken.lng", "FormatVersion=1.0\n[Common]\nhits=\"Kaputt\"\npage=Seite\n");
    tvtest::SetCountries({{"de", "Germany"}, {"fr", "France"}});
    old_ = tv::SetLauncher([this](const std::string& target) {
      launched_.push_back(target);
      return launchWorks_;
    });
    ASSERT_TRUE(LoadLanguage("German.lng"));  // the language in use
  }
  void TearDown() override {
    tv::SetLauncher(old_);
    RemoveFiles();
    FreeLanguageTexts();
    tvtest::SetCountries({});
  }
  tv::LaunchFn old_;
  std::vector<std::string> launched_;
  bool launchWorks_ = true;
};

TEST_F(LanguageDialogs, ChooserListsFilesAndTakesTheChoiceOnOkOnly) {
  std::string name = "german.LNG";
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      auto* list = wxtest::Control<wxListBox>(d, CChooseLanguageDlg::ID_LIST);
      EXPECT_EQ(Lines(list), (std::vector<std::string>{kDefaultLanguageLine, "Broken.lng", "German.lng"}));
      EXPECT_EQ(list->GetSelection(), 2) << "the current name matches in any case";
      EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_choose_language"));
      wxtest::SelectLine(d, CChooseLanguageDlg::ID_LIST, 0);
      Click(d, CChooseLanguageDlg::ID_EDIT);  // nothing on the built-in language
      Click(d, wxID_OK);
    });
    ASSERT_TRUE(ChooseReportLanguage(nullptr, &name));
    EXPECT_EQ(script.titles, (std::vector<std::string>{"Choose language"}));
  }
  EXPECT_EQ(name, "") << "the built-in language is the empty name";

  name = "German.lng";
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      wxtest::SelectLine(d, CChooseLanguageDlg::ID_LIST, 1);
      Click(d, wxID_CANCEL);
    });
    EXPECT_FALSE(ChooseReportLanguage(nullptr, &name));
  }
  EXPECT_EQ(name, "German.lng") << "Cancel keeps the name";

  name = "";
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      EXPECT_EQ(wxtest::Control<wxListBox>(d, CChooseLanguageDlg::ID_LIST)->GetSelection(), wxNOT_FOUND);
      wxtest::SelectLine(d, CChooseLanguageDlg::ID_LIST, 1, true);  // a double click is OK
    });
    EXPECT_TRUE(ChooseReportLanguage(nullptr, &name));
  }
  EXPECT_EQ(name, "Broken.lng");
}

TEST_F(LanguageDialogs, EditingLeavesTheLanguageInUseLoaded) {
  DialogScript script;
  std::vector<std::string> errors;
  script.Inside([&](wxDialog* chooser) {
    {
      tvtest::MessageCapture capture;
      wxtest::SelectLine(chooser, CChooseLanguageDlg::ID_LIST, 1);  // Broken.lng fails to load
      Click(chooser, CChooseLanguageDlg::ID_EDIT);
      errors = capture.errors;
    }
    EXPECT_STREQ(GetTerm(kTermHits, 1), "Zugriffe") << "a failed load keeps the language in use";

    wxtest::SelectLine(chooser, CChooseLanguageDlg::ID_LIST, 2);
    Click(chooser, CChooseLanguageDlg::ID_EDIT);  // edit, then Cancel
    EXPECT_STREQ(GetTerm(kTermHits, 1), "Zugriffe") << "Cancel brings back the language in use";

    Click(chooser, CChooseLanguageDlg::ID_EDIT);  // edit, then Save without mail
    Click(chooser, wxID_CANCEL);
  });
  script.Inside([](wxDialog* d) {
    auto* editor = dynamic_cast<CLanguageEditDlg*>(d);
    ASSERT_NE(editor, nullptr);
    wxListCtrl* list = editor->List();
    ASSERT_EQ(list->GetItemCount(), kTermCount);
    EXPECT_EQ(Cell(list, 0, 0), "Hits");
    EXPECT_EQ(Cell(list, 0, 1), "Zugriffe");
    EXPECT_EQ(Cell(list, 1, 1), "") << "no translation";
    EXPECT_FALSE(wxtest::Enabled(d, wxID_OK)) << "Save stays grey until a change";
    editor->EditLine(0);
    EXPECT_EQ(Cell(list, 0, 1), "Treffer");
    EXPECT_TRUE(wxtest::Enabled(d, wxID_OK));
    EXPECT_STREQ(GetTerm(kTermHits, 1), "Treffer") << "edits apply at once";
    EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_language_edit"));
    Click(d, wxID_CANCEL);
  });
  AnswerPrompt(script, "Zugriffe", "Treffer", "dialogs_prompt");
  script.Inside([](wxDialog* d) {
    auto* editor = dynamic_cast<CLanguageEditDlg*>(d);
    ASSERT_NE(editor, nullptr);
    editor->EditLine(0);  // an empty text removes the translation
    EXPECT_EQ(Cell(editor->List(), 0, 1), "");
    Click(d, wxID_OK);
  });
  AnswerPrompt(script, "Zugriffe", "");
  script.Answer(wxID_NO);  // the send question

  CChooseLanguageDlg chooser(nullptr);
  chooser.m_selected = "German.lng";
  chooser.ShowModal();

  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors.back().find("Broken.lng"), std::string::npos) << errors.back();
  ASSERT_FALSE(script.messages.empty());
  EXPECT_EQ(script.messages.back(), "Please send to us edited data (via e-mail).\n\nSend data?");
  EXPECT_TRUE(launched_.empty()) << "No sends nothing";
  EXPECT_EQ(tvtest::ReadFile(tv::DataDir() + "German.lng").find("Zugriffe"), std::string::npos)
      << "No still saves the file";
  EXPECT_EQ(GetTerm(kTermHits, 2), nullptr) << "the saved language in use, reloaded";
}

TEST_F(LanguageDialogs, NewLanguageIsNamedCheckedEditedAndSent) {
  DialogScript script;
  std::vector<std::string> errors;
  script.Inside([&](wxDialog* chooser) {
    {
      tvtest::MessageCapture capture;
      Click(chooser, CChooseLanguageDlg::ID_NEW);  // refused: leaves the folder
      errors = capture.errors;
    }
    Click(chooser, CChooseLanguageDlg::ID_NEW);  // edited and cancelled
    EXPECT_STREQ(GetTerm(kTermHits, 1), "Zugriffe");
    Click(chooser, CChooseLanguageDlg::ID_NEW);  // edited and saved
    auto* list = wxtest::Control<wxListBox>(chooser, CChooseLanguageDlg::ID_LIST);
    ASSERT_NE(list->GetSelection(), wxNOT_FOUND);
    EXPECT_EQ(tv::WxToBytes(list->GetStringSelection()), "Swiss.lng") << "the list shows the new file, selected";
    Click(chooser, wxID_OK);
  });
  AnswerPrompt(script, "", "../Evil");
  AnswerPrompt(script, "", "Swiss");
  script.Inside([](wxDialog* d) {
    auto* editor = dynamic_cast<CLanguageEditDlg*>(d);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Cell(editor->List(), 0, 1), "") << "a new language starts empty";
    Click(d, wxID_CANCEL);
  });
  AnswerPrompt(script, "", "Swiss");
  script.Inside([](wxDialog* d) {
    auto* editor = dynamic_cast<CLanguageEditDlg*>(d);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->m_fileName, "Swiss.lng");
    wxtest::Control<wxNotebook>(d, CLanguageEditDlg::ID_TABS)->SetSelection(1);
    EXPECT_EQ(editor->m_mode, 1);
    wxListCtrl* list = editor->List();
    ASSERT_EQ(list->GetItemCount(), 2);
    EXPECT_EQ(Cell(list, 0, 0), "de");
    EXPECT_EQ(Cell(list, 1, 1), "France");
    EXPECT_EQ(list->GetItemState(0, wxLIST_STATE_SELECTED), wxLIST_STATE_SELECTED);
    editor->EditLine(0);  // empty: refused
    EXPECT_EQ(Cell(list, 0, 1), "Germany");
    EXPECT_FALSE(wxtest::Enabled(d, wxID_OK));
    editor->EditLine(0);
    EXPECT_EQ(Cell(list, 0, 1), "Deutschland");
    Click(d, wxID_OK);
  });
  AnswerPrompt(script, "Germany", "");
  AnswerPrompt(script, "Germany", "Deutschland");
  script.Answer(wxID_YES);

  std::string name = "German.lng";
  ASSERT_TRUE(ChooseReportLanguage(nullptr, &name));
  EXPECT_EQ(name, "Swiss.lng");
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors.back().find("../Evil"), std::string::npos) << errors.back();
  EXPECT_FALSE(tv::FileExists(tv::DataDir() + "../Evil.lng"));
  EXPECT_NE(tvtest::ReadFile(tv::DataDir() + "Swiss.lng").find("Deutschland"), std::string::npos);
  ASSERT_EQ(launched_.size(), 1u) << "Yes hands the mail to the launcher";
  EXPECT_NE(tvtest::ReadFile(launched_[0]).find("Swiss.lng"), std::string::npos);
  EXPECT_STREQ(GetTerm(kTermHits, 1), "Zugriffe") << "the language in use stays loaded";
}

// A correction mail the desktop cannot open is said to have failed, after
// the editor has closed and the language is saved.
TEST_F(LanguageDialogs, AMailTheDesktopCannotOpenIsReported) {
  launchWorks_ = false;
  DialogScript script;
  script.Inside([](wxDialog* d) {
    auto* editor = dynamic_cast<CLanguageEditDlg*>(d);
    ASSERT_NE(editor, nullptr);
    editor->EditLine(0);
    Click(d, wxID_OK);
  });
  AnswerPrompt(script, "Zugriffe", "Treffer");
  script.Answer(wxID_YES);  // send
  script.Answer(wxID_OK);   // the failure
  {
    CLanguageEditDlg editor(nullptr, "German.lng");
    EXPECT_EQ(editor.ShowModal(), wxID_OK);
  }
  ASSERT_EQ(launched_.size(), 1u);
  EXPECT_NE(tvtest::ReadFile(tv::DataDir() + "German.lng").find("Treffer"), std::string::npos);
  EXPECT_EQ(script.messages,
            (std::vector<std::string>{"Please send to us edited data (via e-mail).\n\nSend data?",
                                      "Can't open link:\n\nThere is no application associated\nwith the given "
                                      "filename extension."}));
  EXPECT_EQ(script.titles.back(), "Language");
}

}  // namespace
