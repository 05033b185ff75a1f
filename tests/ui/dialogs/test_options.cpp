// The options, period, search and update dialogs: filled by their callers,
// read back after OK, and left alone by Cancel.
#include <gtest/gtest.h>
#include <wx/datectrl.h>
#include <wx/listbox.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <cstring>

#include "engine/config/settings.h"
#include "engine/display/vocab.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/dialogs/databaseupdate.h"
#include "ui/dialogs/languages.h"
#include "ui/dialogs/odbcperiod.h"
#include "ui/dialogs/options.h"
#include "ui/dialogs/reportdialogs.h"

namespace {

using wxtest::Click;
using wxtest::DialogScript;
using wxtest::SetCheck;

TEST(OptionsDialog, StoresAndWritesTheSettingsOnOkOnly) {
  tvtest::WriteFile(tv::DataDir() + "German.lng", "FormatVersion=1.0\n[Common]\nhits=\"Zugriffe\"\n");
  tv::RemoveFile(SettingsFilePath());
  g_settings = SettingsBlock();
  g_settings.no_refer = 0;
  g_settingsWork = g_settings;
  FreeLanguageTexts();

  // The same changes, first cancelled, then confirmed.
  for (int ok : {0, 1}) {
    SCOPED_TRACE(ok);
    DialogScript script;
    script.Inside([ok](wxDialog* d) {
      EXPECT_TRUE(wxtest::Control<wxCheckBox>(d, COptionsPage::ID_PROC_HITS)->GetValue());
      EXPECT_FALSE(wxtest::Control<wxCheckBox>(d, COptionsPage::ID_NO_REFER)->GetValue());
      EXPECT_EQ(wxtest::Text(d, COptionsPage::ID_LANGUAGE), "");
      SetCheck(d, COptionsPage::ID_PROC_HITS, false);
      SetCheck(d, COptionsPage::ID_NO_REFER, true);
      SetCheck(d, COptionsPage::ID_DAY_OF_WEEK, false);
      Click(d, COptionsPage::ID_CHOOSE_LANGUAGE);
      EXPECT_EQ(wxtest::Text(d, COptionsPage::ID_LANGUAGE), "German.lng");
      if (ok) {
        EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_options"));
      }
      Click(d, ok ? wxID_OK : wxID_CANCEL);
    });
    script.Inside([](wxDialog* chooser) {
      auto* list = wxtest::Control<wxListBox>(chooser, CChooseLanguageDlg::ID_LIST);
      wxtest::SelectLine(chooser, CChooseLanguageDlg::ID_LIST, list->FindString("German.lng"));
      Click(chooser, wxID_OK);
    });
    EXPECT_EQ(RunOptionsDialog(nullptr), ok == 1);
    if (!ok) {
      EXPECT_EQ(g_settings.add_proc_h, 1);
      EXPECT_EQ(g_settings.no_refer, 0);
      EXPECT_STREQ(g_settings.Language, "");
      EXPECT_EQ(g_settingsWork.add_proc_h, 1);
      EXPECT_FALSE(tv::FileExists(SettingsFilePath())) << "Cancel writes nothing";
      EXPECT_EQ(GetTerm(kTermHits, 2), nullptr) << "nor loads the language";
    }
  }
  EXPECT_EQ(g_settings.add_proc_h, 0);
  EXPECT_EQ(g_settings.no_refer, 1);
  EXPECT_EQ(g_settings.add_day_week, 0);
  EXPECT_EQ(g_settings.add_proc_b, 1);
  EXPECT_STREQ(g_settings.Language, "German.lng");
  EXPECT_STREQ(GetTerm(kTermHits, 1), "Zugriffe") << "the new language is in effect";

  g_settings = SettingsBlock();
  ASSERT_EQ(LoadConfig(), 1);
  EXPECT_EQ(g_settings.add_proc_h, 0) << "written to the settings file";
  EXPECT_EQ(g_settings.no_refer, 1);
  EXPECT_STREQ(g_settings.Language, "German.lng");

  g_settings = g_settingsWork = SettingsBlock();
  tv::RemoveFile(SettingsFilePath());
  tv::RemoveFile(tv::DataDir() + "German.lng");
  FreeLanguageTexts();
}

wxDateTime Date(int day, int month, int year) {
  return wxDateTime(static_cast<wxDateTime::wxDateTime_t>(day), static_cast<wxDateTime::Month>(month - 1), year);
}

TEST(PeriodDialog, EndsMayHoldNoDateAndCancelKeepsThePeriod) {
  g_periodFrom = {5, 3, 1980, true};
  g_periodTo = CPeriodDate();
  uint32_t from = 9, to = 9;
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      auto* dlg = dynamic_cast<CPeriodDlg*>(d);
      ASSERT_NE(dlg, nullptr);
      EXPECT_TRUE(dlg->HasDate(0)->GetValue());
      EXPECT_TRUE(dlg->Picker(0)->GetValue().IsSameDate(Date(5, 3, 1980)));
      EXPECT_FALSE(dlg->HasDate(1)->GetValue());
      EXPECT_FALSE(dlg->Picker(1)->IsEnabled());
      SetCheck(d, CPeriodDlg::ID_TO_SET, true);
      EXPECT_TRUE(dlg->Picker(1)->IsEnabled());
      dlg->Picker(1)->SetValue(Date(19, 1, 2038));
      Click(d, wxID_CANCEL);
    });
    EXPECT_FALSE(RunPeriodDialog(nullptr, &from, &to));
  }
  EXPECT_EQ(from, 9u);
  EXPECT_TRUE(g_periodFrom.valid);
  EXPECT_EQ(g_periodFrom.year, 1980);
  EXPECT_FALSE(g_periodTo.valid) << "Cancel leaves the stored period";

  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      auto* dlg = dynamic_cast<CPeriodDlg*>(d);
      ASSERT_NE(dlg, nullptr);
      dlg->Picker(0)->SetValue(Date(31, 12, 2037));
      SetCheck(d, CPeriodDlg::ID_TO_SET, true);
      dlg->Picker(1)->SetValue(Date(19, 1, 2038));
      EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_period"));
      Click(d, wxID_OK);
    });
    ASSERT_TRUE(RunPeriodDialog(nullptr, &from, &to));
  }
  EXPECT_EQ(from, 31u | 12u << 8 | 2037u << 16);
  EXPECT_EQ(to, 19u | 1u << 8 | 2038u << 16);
  EXPECT_EQ(g_periodTo.year, 2038);

  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      SetCheck(d, CPeriodDlg::ID_FROM_SET, false);
      Click(d, wxID_OK);
    });
    ASSERT_TRUE(RunPeriodDialog(nullptr, &from, &to));
  }
  EXPECT_EQ(from, 0u) << "an end without a date is open";
  EXPECT_FALSE(g_periodFrom.valid);
  EXPECT_EQ(to, 19u | 1u << 8 | 2038u << 16);
  g_periodFrom = g_periodTo = CPeriodDate();
}

TEST(SearchDialog, GivesTextAndCaseAfterOk) {
  for (int ok : {0, 1}) {
    CSearchDlg dlg(nullptr);
    dlg.m_text = "old";
    dlg.Show();
    ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg.IsShownOnScreen(); }));
    EXPECT_EQ(wxtest::Text(&dlg, CSearchDlg::ID_TEXT), "old");
    wxtest::SetText(&dlg, CSearchDlg::ID_TEXT, "/Index.HTML");
    SetCheck(&dlg, CSearchDlg::ID_CASE, true);
    if (ok) {
      EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_search"));
    }
    Click(&dlg, ok ? wxID_OK : wxID_CANCEL);
    EXPECT_FALSE(dlg.IsShown()) << "closed";
    EXPECT_EQ(tv::WxToBytes(dlg.m_text), ok ? "/Index.HTML" : "old");
    EXPECT_EQ(dlg.m_caseSensitive, ok == 1);
  }
}

TEST(UpdateDialog, ProxyFromTheEnvironmentAndPortsUpTo65535) {
  const char* saved = getenv("http_proxy");
  std::string keep = saved ? saved : "";
  setenv("http_proxy", "http://proxy.example:3128/", 1);
  std::string host;
  uint16_t port = 1;
  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      EXPECT_TRUE(wxtest::Control<wxCheckBox>(d, CUpdateDlg::ID_USE_PROXY)->GetValue());
      EXPECT_EQ(wxtest::Text(d, CUpdateDlg::ID_HOST), "proxy.example");
      EXPECT_EQ(wxtest::Text(d, CUpdateDlg::ID_PORT), "3128");
      EXPECT_TRUE(wxtest::Enabled(d, CUpdateDlg::ID_HOST));
      wxtest::SetText(d, CUpdateDlg::ID_PORT, "65536");
      Click(d, wxID_OK);  // refused with a message; the dialog stays
      EXPECT_TRUE(d->IsModal());
      wxtest::SetText(d, CUpdateDlg::ID_PORT, "65535");
      EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_update"));
      Click(d, wxID_OK);
    });
    script.Answer(wxID_OK);
    ASSERT_TRUE(RunUpdateDialog(nullptr, &host, &port));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find("65535"), std::string::npos);
  }
  EXPECT_EQ(host, "proxy.example");
  EXPECT_EQ(port, 65535);

  {
    DialogScript script;
    script.Inside([](wxDialog* d) {
      SetCheck(d, CUpdateDlg::ID_USE_PROXY, false);
      EXPECT_FALSE(wxtest::Enabled(d, CUpdateDlg::ID_HOST));
      EXPECT_FALSE(wxtest::Enabled(d, CUpdateDlg::ID_PORT));
      Click(d, wxID_OK);
    });
    ASSERT_TRUE(RunUpdateDialog(nullptr, &host, &port));
  }
  EXPECT_EQ(host, "") << "no proxy: an empty host";
  EXPECT_EQ(port, 0);
  {
    DialogScript script;
    script.Inside([](wxDialog* d) { Click(d, wxID_CANCEL); });
    host = "kept";
    EXPECT_FALSE(RunUpdateDialog(nullptr, &host, &port));
    EXPECT_EQ(host, "kept");
  }
  if (saved) setenv("http_proxy", keep.c_str(), 1);
  else unsetenv("http_proxy");
}

// Real clicks and keys: the port emptied while "Use proxy" was ticked is
// greyed once it is unticked, and is then no reason to refuse Update; ticked
// again, the same empty port is refused and its field gets the focus.
TEST(UpdateDialog, AnEmptyPortCountsOnlyWhileTheProxyIsUsed) {
  const char* names[] = {"http_proxy", "HTTP_PROXY"};
  std::string kept[2];
  bool had[2];
  for (int i = 0; i < 2; ++i) {
    const char* v = getenv(names[i]);
    had[i] = v != nullptr;
    kept[i] = v ? v : "";
    unsetenv(names[i]);
  }
  auto clickOn = [](wxWindow* w) {
    wxUIActionSimulator sim;
    sim.MouseMove(w->ClientToScreen(wxPoint(8, w->GetSize().y / 2)));
    wxtest::Pump(30);
    sim.MouseClick();
    wxtest::Pump(100);
  };
  for (bool tickAgain : {false, true}) {
    SCOPED_TRACE(tickAgain);
    std::string host = "old";
    uint16_t port = 7;
    bool ok = false;
    DialogScript script;
    script.Inside([&](wxDialog* d) {
      d->Raise();
      ASSERT_TRUE(wxtest::PumpUntil([d] { return d->IsShownOnScreen(); }));
      wxtest::Pump(100);
      auto* use = wxtest::Control<wxCheckBox>(d, CUpdateDlg::ID_USE_PROXY);
      auto* portEdit = wxtest::Control<wxTextCtrl>(d, CUpdateDlg::ID_PORT);
      ASSERT_FALSE(use->GetValue());
      clickOn(use);
      ASSERT_TRUE(use->GetValue()) << "the click ticks the box";
      ASSERT_TRUE(wxtest::Enabled(d, CUpdateDlg::ID_PORT));
      clickOn(portEdit);
      portEdit->SetFocus();  // without a window manager the click may not move wx's focus
      ASSERT_TRUE(wxtest::PumpUntil([portEdit] { return wxWindow::FindFocus() == portEdit; }, 3000))
          << "the click gives the port the keys";
      wxUIActionSimulator sim;
      sim.KeyDown(WXK_END);
      sim.KeyUp(WXK_END);
      for (int i = 0; i < 5; ++i) sim.Char(WXK_BACK);
      wxtest::Pump(100);
      ASSERT_EQ(portEdit->GetValue(), "") << "the keys emptied the port";
      clickOn(use);
      ASSERT_FALSE(use->GetValue());
      EXPECT_FALSE(wxtest::Enabled(d, CUpdateDlg::ID_PORT));
      if (tickAgain) clickOn(use);
      wxtest::SaveScreenshot(tickAgain ? "dialogs_update_empty_port_proxy" : "dialogs_update_empty_port");
      clickOn(wxtest::Control<wxWindow>(d, wxID_OK));
      if (tickAgain) {
        ASSERT_TRUE(wxtest::PumpUntil([&] { return !script.messages.empty(); }, 3000));
        EXPECT_TRUE(d->IsModal()) << "refused";
        EXPECT_EQ(wxWindow::FindFocus(), portEdit);
        d->EndModal(wxID_CANCEL);
      } else if (!wxtest::PumpUntil([d] { return !d->IsModal(); }, 3000)) {
        ADD_FAILURE() << "Update did not close the dialog";
        d->EndModal(wxID_CANCEL);
      }
    });
    if (tickAgain) script.Answer(wxID_OK);
    ok = RunUpdateDialog(nullptr, &host, &port);
    if (tickAgain) {
      EXPECT_FALSE(ok);
      ASSERT_EQ(script.messages.size(), 1u);
      EXPECT_EQ(script.messages[0], "Please enter an integer between 0 and 65535.");
    } else {
      EXPECT_TRUE(ok);
      EXPECT_TRUE(script.messages.empty()) << script.messages[0];
      EXPECT_EQ(host, "") << "no proxy: an empty host";
      EXPECT_EQ(port, 0);
    }
  }
  for (int i = 0; i < 2; ++i)
    if (had[i]) setenv(names[i], kept[i].c_str(), 1);
}

}  // namespace
