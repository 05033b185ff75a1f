// The workspace settings dialog: every page changed, then OK stores it all in
// the workspace (compared as saved with a golden file) and Trailvane.cfg;
// Cancel leaves the workspace file as it was.
#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/uiaction.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/config/workspace.h"
#include "engine/display/vocab.h"
#include "engine/sources/logcache.h"
#include "engine/store/project.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/core/dialogrules.h"
#include "ui/core/workspacesettings.h"
#include "ui/dialogs/languages.h"
#include "ui/dialogs/workspacesettings.h"
#include "ui/widgets/worker.h"

namespace {

using wxtest::Click;
using wxtest::DialogScript;
using wxtest::SetCheck;
using D = CWorkspaceSettingsDlg;

void Choose(wxWindow* page, int id) {
  auto* radio = wxtest::Control<wxRadioButton>(page, id);
  if (radio) radio->SetValue(true);
}
void Select(wxWindow* page, int id, int line) {
  auto* list = wxtest::Control<wxChoice>(page, id);
  if (list) list->SetSelection(line);
}
std::string Selected(wxWindow* page, int id) {
  auto* list = wxtest::Control<wxChoice>(page, id);
  return list ? tv::WxToBytes(list->GetStringSelection()) : "<none>";
}
bool Checked(wxWindow* page, int id) {
  auto* box = wxtest::Control<wxCheckBox>(page, id);
  return box && box->GetValue();
}

class WorkspaceSettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tvtest::NewDir("wsettings");
    tvtest::WriteFile(tv::DataDir() + "German.lng", "FormatVersion=1.0\n[Common]\nhits=\"Zugriffe\"\n");
    tv::RemoveFile(SettingsFilePath());
    g_settings = g_settingsWork = SettingsBlock();
    g_project.Clear();
    SetWorkspaceDefaults();
    // Zones the lists cannot show, and a language to go back from.
    SetStr(&g_workspace.common.language, "German.lng");
    g_workspace.common.zone_server = 14;
    g_workspace.common.zone_report = -13;
    CFilter filter;
    filter.type = kFilterPage;
    filter.text = const_cast<char*>("/admin/*");
    g_project.filters.Add(filter);
    filter.text = nullptr;
    CAdword adword;
    adword.url = const_cast<char*>("/spring.html");
    adword.name = const_cast<char*>("Spring");
    g_project.adwords.Add(&adword);
    adword.url = adword.name = nullptr;
    ASSERT_TRUE(SaveWorkspace((dir_ + "untouched.tv").c_str()));
    g_workspace.ClearDirty();
    adHostsLoaded_ = g_auxDatabases.adHostsLoaded;
  }
  void TearDown() override {
    g_auxDatabases.adHostsLoaded = adHostsLoaded_;
    g_project.Clear();
    SetWorkspaceDefaults();
    g_settings = g_settingsWork = SettingsBlock();
    tv::RemoveFile(SettingsFilePath());
    tv::RemoveFile(tv::DataDir() + "German.lng");
    FreeLanguageTexts();
  }

  // The same changes on every page; screenshots of each after its changes.
  static void ChangeEveryPage(D* d, bool shots) {
    wxNotebook* tabs = d->Tabs();
    auto shot = [&](int tab, const char* name) {
      tabs->SetSelection(static_cast<size_t>(tabs->FindPage(d->Page(tab))));
      wxtest::Pump(100);
      if (shots) {
        EXPECT_TRUE(wxtest::SaveScreenshot(std::string("wsettings_") + name));
      }
    };
    wxWindow* base = d->Page(D::kTabBase);
    EXPECT_EQ(wxtest::Text(base, CBasePage::ID_URL), "http://");
    EXPECT_EQ(wxtest::Text(base, CBasePage::ID_SESSION), "30");
    wxtest::SetText(base, CBasePage::ID_URL, "http://www.example.com;http://example.com");
    wxtest::SetText(base, CBasePage::ID_INDEX, "index.php;default.htm");
    wxtest::SetText(base, CBasePage::ID_SESSION, "45");
    Choose(base, CBasePage::ID_NOT_CASE_SENSITIVE);
    Choose(base, CBasePage::ID_LOGS_ALL);
    SetCheck(base, CBasePage::ID_NO_COOKIE, true);
    SetCheck(base, CBasePage::ID_SUBDOMAIN, true);
    shot(D::kTabBase, "base");

    wxWindow* reports = d->Page(D::kTabReports);
    EXPECT_TRUE(Checked(reports, CReportsPage::ID_IGNORE_ARGM));
    EXPECT_EQ(Selected(reports, CReportsPage::ID_HOST), "Domain");
    for (int id : {CReportsPage::ID_IGNORE_ARGM, CReportsPage::ID_INT_REFF, CReportsPage::ID_REFF_SE,
                   CReportsPage::ID_CASE_KWD, CReportsPage::ID_NO_REFER, CReportsPage::ID_ADD_COUNTRY,
                   CReportsPage::ID_DAY_OF_WEEK})
      SetCheck(reports, id, false);
    SetCheck(reports, CReportsPage::ID_EXPAND_GROUPS, true);
    Select(reports, CReportsPage::ID_HOST, 3);
    Choose(reports, CReportsPage::ID_SEND_RECEIVE);
    shot(D::kTabReports, "reports");

    wxWindow* intl = d->Page(D::kTabInternational);
    EXPECT_EQ(Selected(intl, CInternationalPage::ID_ZONE_SERVER), "GMT 0") << "+14 is past the list";
    EXPECT_EQ(Selected(intl, CInternationalPage::ID_ZONE_REPORT), "GMT 0") << "-13 is before it";
    EXPECT_EQ(wxtest::Text(intl, CInternationalPage::ID_LANGUAGE), "German.lng");
    EXPECT_FALSE(wxtest::Enabled(intl, CInternationalPage::ID_LANGUAGE));
    Select(intl, CInternationalPage::ID_DATE_FORMAT, 2);
    Select(intl, CInternationalPage::ID_SEPARATOR, 1);
    Choose(intl, CInternationalPage::ID_YEAR2);
    Choose(intl, CInternationalPage::ID_MONTH_NUMBER);
    Choose(intl, CInternationalPage::ID_TIME12);
    Choose(intl, CInternationalPage::ID_MONDAY);
    Select(intl, CInternationalPage::ID_ZONE_SERVER, kZoneListEntries - 1);
    EXPECT_EQ(Selected(intl, CInternationalPage::ID_ZONE_SERVER), "GMT +13:00");
    Select(intl, CInternationalPage::ID_ZONE_REPORT, 0);
    Click(intl, CInternationalPage::ID_CHOOSE_LANGUAGE);
    EXPECT_EQ(wxtest::Text(intl, CInternationalPage::ID_LANGUAGE), "") << "the built-in language";
    shot(D::kTabInternational, "international");

    // The list pages edit the working lists in place.
    wxWindow* filters = d->Page(D::kTabFilters);
    CFilter filter;
    filter.type = kFilterStatus;
    filter.include = 1;
    filter.status = 404;
    d->m_filters->Add(filter);
    filters->TransferDataToWindow();
    auto* lines = wxtest::Control<wxListBox>(filters, 1002);
    EXPECT_EQ(lines ? lines->GetCount() : 0u, 2u);
    shot(D::kTabFilters, "filters");

    wxWindow* dns = d->Page(D::kTabDns);
    EXPECT_EQ(wxtest::Text(dns, CDnsPage::ID_DAYS), "15");
    EXPECT_EQ(wxtest::Text(dns, CDnsPage::ID_WHOIS), kDefaultWhoisUrl);
    SetCheck(dns, CDnsPage::ID_DNS_LOOKUP, true);
    SetCheck(dns, CDnsPage::ID_IP_LOOKUP, true);
    wxtest::SetText(dns, CDnsPage::ID_DAYS, "30");
    wxtest::SetText(dns, CDnsPage::ID_WHOIS, "whois.example/lookup?q=[URL]");
    shot(D::kTabDns, "dns");

    wxWindow* spiders = d->Page(D::kTabSpiders);
    EXPECT_EQ(tv::WxToBytes(tabs->GetPageText(static_cast<size_t>(tabs->FindPage(spiders)))), "Spider");
    EXPECT_FALSE(Checked(spiders, CSpidersPage::ID_AUTO));
    EXPECT_FALSE(wxtest::Enabled(spiders, CSpidersPage::ID_CONFIRM));
    SetCheck(spiders, CSpidersPage::ID_AUTO, true);
    EXPECT_TRUE(wxtest::Enabled(spiders, CSpidersPage::ID_CONFIRM));
    EXPECT_TRUE(wxtest::Enabled(spiders, CSpidersPage::ID_SAVE));
    SetCheck(spiders, CSpidersPage::ID_CONFIRM, false);
    SetCheck(spiders, CSpidersPage::ID_AUTO, false);
    EXPECT_FALSE(wxtest::Enabled(spiders, CSpidersPage::ID_CONFIRM)) << "greyed at once";
    EXPECT_FALSE(wxtest::Enabled(spiders, CSpidersPage::ID_SAVE));
    shot(D::kTabSpiders, "spider");

    if (wxWindow* ppc = d->Page(D::kTabPayPerClick)) {
      CAdword adword;
      adword.url = const_cast<char*>("/offer");
      adword.type = 1;
      d->m_adwords->Add(&adword);
      adword.url = nullptr;
      ppc->TransferDataToWindow();
      shot(D::kTabPayPerClick, "payperclick");
    }
  }

  static void ChooseDefaultLanguage(DialogScript& script) {
    script.Inside([](wxDialog* chooser) {
      auto* list = wxtest::Control<wxListBox>(chooser, CChooseLanguageDlg::ID_LIST);
      ASSERT_NE(list, nullptr);
      wxtest::SelectLine(chooser, CChooseLanguageDlg::ID_LIST, list->FindString(kDefaultLanguageLine));
      Click(chooser, wxID_OK);
    });
  }

  std::string dir_;
  bool adHostsLoaded_ = false;
};

TEST_F(WorkspaceSettingsDialog, OkStoresEveryPageInTheWorkspaceAndTheSettingsFile) {
  g_auxDatabases.adHostsLoaded = true;
  {
    DialogScript script;
    script.Inside([](wxDialog* dialog) {
      auto* d = dynamic_cast<D*>(dialog);
      ASSERT_NE(d, nullptr);
      ASSERT_EQ(d->Tabs()->GetPageCount(), 7u);
      EXPECT_EQ(d->Tabs()->GetPageText(6), "pay-per-click");
      ChangeEveryPage(d, true);
      // The workspace keeps the time-out in 16 bits.
      wxtest::SetText(d->Page(D::kTabBase), CBasePage::ID_SESSION, "40000");
      Click(d, wxID_OK);
      EXPECT_TRUE(d->IsModal()) << "refused";
      EXPECT_EQ(d->Tabs()->GetCurrentPage(), d->Page(D::kTabBase)) << "the field's page is shown";
      wxtest::SetText(d->Page(D::kTabBase), CBasePage::ID_SESSION, "45");
      Click(d, wxID_OK);
    });
    ChooseDefaultLanguage(script);
    script.Answer(wxID_OK);
    ASSERT_TRUE(OnWorkspaceSettings(nullptr));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Please enter an integer between 0 and 32767.");
  }
  EXPECT_TRUE(g_workspace.IsDirty());
  EXPECT_EQ(g_project.filters.Count(), 2);
  EXPECT_EQ(g_project.adwords.Count(), 2);
  ASSERT_TRUE(SaveWorkspace((dir_ + "ok.tv").c_str()));
  EXPECT_EQ(tvtest::ReadFile(dir_ + "ok.tv"), tvtest::ReadFile(std::string(TV_UI_TEST_DATA_DIR) + "/wsettings_ok.tv"));

  EXPECT_EQ(g_settings.days_dns_cache, 30);
  g_settings = SettingsBlock();
  ASSERT_EQ(LoadConfig(), 1);
  EXPECT_EQ(g_settings.days_dns_cache, 30) << "written to Trailvane.cfg";
}

TEST_F(WorkspaceSettingsDialog, CancelStoresNothingButTheCacheClearsStay) {
  g_auxDatabases.adHostsLoaded = false;
  std::string copy = g_logCache.AddToCache("ftp://logs.example/access.log", 10, 1, 1);
  tvtest::WriteFile(copy, "x\n");
  ASSERT_EQ(g_logCache.Count(), 1);
  {
    DialogScript script;
    script.Inside([](wxDialog* dialog) {
      auto* d = dynamic_cast<D*>(dialog);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->Tabs()->GetPageCount(), 6u) << "no pay-per-click without the advertising hosts";
      EXPECT_EQ(d->Page(D::kTabPayPerClick), nullptr);
      ChangeEveryPage(d, false);
      Click(d->Page(D::kTabDns), CDnsPage::ID_CLEAR_FTP);
      Click(d, wxID_CANCEL);
    });
    ChooseDefaultLanguage(script);
    EXPECT_FALSE(OnWorkspaceSettings(nullptr));
  }
  EXPECT_FALSE(g_workspace.IsDirty());
  EXPECT_EQ(g_project.filters.Count(), 1);
  EXPECT_EQ(g_settings.days_dns_cache, 15);
  EXPECT_FALSE(tv::FileExists(SettingsFilePath())) << "Cancel writes nothing";
  ASSERT_TRUE(SaveWorkspace((dir_ + "cancel.tv").c_str()));
  EXPECT_EQ(tvtest::ReadFile(dir_ + "cancel.tv"), tvtest::ReadFile(dir_ + "untouched.tv"));
  EXPECT_EQ(g_logCache.Count(), 0) << "the cache clear acts at once";
  EXPECT_FALSE(tv::FileExists(copy));
}

// Keys typed in a page act on the whole dialog.
TEST_F(WorkspaceSettingsDialog, EnterAndEscapeInAPageCloseTheDialog) {
  const struct {
    int tab, edit, key;
    bool ok;
  } cases[] = {
      {D::kTabDns, CDnsPage::ID_WHOIS, WXK_RETURN, true},
      {D::kTabBase, CBasePage::ID_URL, WXK_ESCAPE, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    DialogScript script;
    script.Inside([c](wxDialog* dialog) {
      auto* d = dynamic_cast<D*>(dialog);
      ASSERT_NE(d, nullptr);
      d->Tabs()->SetSelection(static_cast<size_t>(d->Tabs()->FindPage(d->Page(c.tab))));
      wxWindow* edit = d->Page(c.tab)->FindWindow(c.edit);
      ASSERT_NE(edit, nullptr);
      edit->SetFocus();
      ASSERT_TRUE(wxtest::PumpUntil([edit] { return wxWindow::FindFocus() == edit; }, 3000));
      wxUIActionSimulator().Char(c.key);
      if (!wxtest::PumpUntil([d] { return !d->IsModal(); }, 3000)) {
        ADD_FAILURE() << "still open";
        d->EndModal(wxID_CANCEL);
      }
    });
    EXPECT_EQ(OnWorkspaceSettings(nullptr), c.ok);
  }
}

std::atomic<bool> g_releaseJob{false};

uint32_t WaitingJob(void*) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!g_releaseJob && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  SendJobDone();
  return 1;
}

TEST_F(WorkspaceSettingsDialog, NothingOpensWhileAJobRuns) {
  auto* view = new wxFrame(nullptr, wxID_ANY, "view");
  view->Bind(EVT_JOB_DONE, [](wxThreadEvent&) { EndWorkerJob(); });
  SetWorkerView(view);
  g_releaseJob = false;
  RunInWorkerThread(WaitingJob, nullptr, nullptr);
  ASSERT_TRUE(IsWorkerBusy());
  {
    DialogScript script;  // any dialog that opens fails the test
    EXPECT_FALSE(OnWorkspaceSettings(nullptr));
  }
  g_releaseJob = true;
  EXPECT_TRUE(wxtest::PumpUntil([] { return !IsWorkerBusy(); }));
  SetWorkerView(nullptr);
  view->Destroy();
  wxtest::Pump(20);
  EXPECT_FALSE(g_workspace.IsDirty());
}

}  // namespace
