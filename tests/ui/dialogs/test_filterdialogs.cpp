// The filter dialogs: filters built with the wizard from the list page and
// applied to the fixture log keep exactly the lines they say; Cancel changes
// nothing; the environment filters and the filter history.
#include <gtest/gtest.h>
#include <wx/uiaction.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/wx.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <tuple>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/config/workspace.h"
#include "engine/display/display.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "engine/tables/auxdb.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/fixtureproject.h"
#include "tests/ui/listpick.h"
#include "tests/ui/navwindow.h"
#include "tests/ui/wxtest.h"
#include "ui/core/dialogrules.h"
#include "ui/core/navigationstate.h"
#include "ui/core/uistate.h"
#include "ui/dialogs/filterdialogs.h"
#include "ui/dialogs/filterwizard.h"
#include "ui/panes/navigationjobs.h"
#include "ui/panes/reportpanes.h"
#include "ui/widgets/reportlistctrl.h"

namespace {

using wxtest::Click;
using wxtest::DialogScript;
using Page = CFilterWizardDlg::Page;

std::string FixturePath() { return std::string(TV_UI_TEST_DATA_DIR) + "/combined.log"; }
bool WaitJob() { return wxtest::PumpUntil([] { return TestNavWindow::Idle(); }, 20000); }

// A radio chosen as a click does.
void ChooseRadio(wxWindow* parent, int id) {
  auto* radio = wxtest::Control<wxRadioButton>(parent, id);
  ASSERT_NE(radio, nullptr);
  radio->SetValue(true);
  wxCommandEvent e(wxEVT_RADIOBUTTON, id);
  e.SetEventObject(radio);
  e.SetInt(1);
  radio->GetEventHandler()->ProcessEvent(e);
}

bool RadioSet(wxWindow* parent, int id) {
  auto* radio = wxtest::Control<wxRadioButton>(parent, id);
  return radio && radio->GetValue();
}

wxWindow* PageOf(wxDialog* d, Page page) { return static_cast<CFilterWizardDlg*>(d)->PageWindow(page); }

std::string Label(wxWindow* parent, int id) {
  wxWindow* w = parent->FindWindow(id);
  return w ? tv::WxToBytes(w->GetLabel()) : "<none>";
}

std::vector<std::string> Lines(wxListBox* list) {
  std::vector<std::string> lines;
  for (unsigned i = 0; i < list->GetCount(); ++i) lines.push_back(tv::WxToBytes(list->GetString(i)));
  return lines;
}

// A frame holding a list page, as the settings dialog will.
struct ListPageFrame {
  explicit ListPageFrame(CFilterList& filters) { Make([&](wxWindow* p) { return new CFilterListPage(p, filters); }); }
  explicit ListPageFrame(CAdwordList& adwords) { Make([&](wxWindow* p) { return new CFilterListPage(p, adwords); }); }
  ~ListPageFrame() {
    frame->Destroy();
    wxtest::Pump(20);
  }
  template <typename F>
  void Make(F make) {
    frame = new wxFrame(nullptr, wxID_ANY, "Filters", wxPoint(0, 0));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    page = make(frame);
    sizer->Add(page, 1, wxEXPAND);
    frame->SetSizerAndFit(sizer);
    frame->Show();
    wxtest::Pump(50);
  }
  std::vector<std::string> ListLines() const { return Lines(page->List()); }
  int Selection() const { return page->List()->GetSelection(); }

  wxFrame* frame = nullptr;
  CFilterListPage* page = nullptr;
};

// The fixture log's lines as address, page and status.
struct LogLine {
  uint32_t address;
  std::string page;
  int status;
  bool operator==(const LogLine&) const = default;
  bool operator<(const LogLine& o) const {
    return std::tie(address, page, status) < std::tie(o.address, o.page, o.status);
  }
};

std::multiset<LogLine> ReadFixtureLines() {
  std::multiset<LogLine> lines;
  std::ifstream in(FixturePath());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string host, dash1, dash2, date, zone, method, page, protocol;
    int status = 0;
    fields >> host >> dash1 >> dash2 >> date >> zone >> method >> page >> protocol >> status;
    uint32_t address = 0;
    EXPECT_TRUE(ParseDottedAddress(host, &address)) << host;
    // The workspace's default document stands for its folder.
    const std::string index = "/index.html";
    if (page.size() >= index.size() && page.compare(page.size() - index.size(), index.size(), index) == 0)
      page.resize(page.size() - index.size() + 1);
    lines.insert({address, page, status});
  }
  return lines;
}

std::multiset<LogLine> AnalysedLines() {
  std::multiset<LogLine> lines;
  for (int n = 0; n < g_project.sources.Count(); ++n) {
    CHitStore& store = g_project.sources[n].records;
    CHitRecord* r = store.First();
    for (uint64_t i = 0; r && i < store.RecordCount(); ++i, r = store.Next())
      lines.insert({r->Address(), r->PageText() ? r->PageText() : "", r->Status()});
  }
  return lines;
}

class FilterDialogs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    window = TestNavWindow::OpenForSuite(FixturePath(), kReportPage);
    ASSERT_NE(window, nullptr);
  }
  static void TearDownTestSuite() { TestNavWindow::CloseForSuite(window); }
  // The analysis again with the workspace's filters, as after the settings' OK.
  static void Reanalyse(const CFilterList& filters) {
    g_project.filters.CopyFrom(filters);
    g_nav.reloadNeeded = true;
    RerunAllOnWorker(nullptr);
    ASSERT_TRUE(WaitJob());
  }

  static TestNavWindow* window;
};
TestNavWindow* FilterDialogs::window = nullptr;

TEST_F(FilterDialogs, WizardFiltersKeepExactlyTheirLines) {
  CFilterList working;
  {
    ListPageFrame list(working);
    DialogScript script;
    // An address range to include.
    script.Inside([](wxDialog* d) {
      wxWindow* type = PageOf(d, CFilterWizardDlg::kTypePage);
      EXPECT_TRUE(RadioSet(type, CFilterTypeDlg::ID_HOST_IP)) << "a new filter starts on Host/IP";
      EXPECT_TRUE(RadioSet(type, CFilterTypeDlg::ID_EXCLUDE)) << "and excludes";
      EXPECT_EQ(Label(d, CFilterWizardDlg::ID_NEXT), "&Next >");
      EXPECT_FALSE(wxtest::Enabled(d, CFilterWizardDlg::ID_BACK));
      EXPECT_TRUE(wxtest::SaveScreenshot("filterwizard_page1"));
      ChooseRadio(type, CFilterTypeDlg::ID_INCLUDE);
      Click(d, CFilterWizardDlg::ID_NEXT);
      auto* wizard = static_cast<CFilterWizardDlg*>(d);
      EXPECT_EQ(wizard->ShownPage(), CFilterWizardDlg::kHostPage);
      EXPECT_TRUE(wxtest::Enabled(d, CFilterWizardDlg::ID_BACK));
      EXPECT_EQ(Label(d, CFilterWizardDlg::ID_NEXT), "&Finish >");
      wxWindow* host = PageOf(d, CFilterWizardDlg::kHostPage);
      EXPECT_TRUE(RadioSet(host, CHostFilterDlg::ID_SINGLE));
      EXPECT_TRUE(wxtest::Enabled(host, CHostFilterDlg::ID_ADDRESS));
      EXPECT_FALSE(wxtest::Enabled(host, CHostFilterDlg::ID_FROM));
      ChooseRadio(host, CHostFilterDlg::ID_RANGE);
      EXPECT_FALSE(wxtest::Enabled(host, CHostFilterDlg::ID_ADDRESS));
      EXPECT_TRUE(wxtest::Enabled(host, CHostFilterDlg::ID_FROM));
      EXPECT_TRUE(wxtest::Enabled(host, CHostFilterDlg::ID_TO_LABEL));
      EXPECT_FALSE(wxtest::Enabled(host, CHostFilterDlg::ID_DOMAIN_TEXT));
      wxtest::SetText(host, CHostFilterDlg::ID_FROM, "192.0.2.1");
      wxtest::SetText(host, CHostFilterDlg::ID_TO, "192.0.2.5");
      EXPECT_TRUE(wxtest::SaveScreenshot("filterwizard_page2"));
      Click(d, CFilterWizardDlg::ID_NEXT);
    });
    // Pages under /images/ to exclude, after a trip back to the type page.
    script.Inside([](wxDialog* d) {
      wxWindow* type = PageOf(d, CFilterWizardDlg::kTypePage);
      Click(d, CFilterWizardDlg::ID_NEXT);
      Click(d, CFilterWizardDlg::ID_BACK);
      auto* wizard = static_cast<CFilterWizardDlg*>(d);
      EXPECT_EQ(wizard->ShownPage(), CFilterWizardDlg::kTypePage);
      EXPECT_EQ(wizard->Step(), 0);
      ChooseRadio(type, CFilterTypeDlg::ID_PAGE);
      Click(d, CFilterWizardDlg::ID_NEXT);
      EXPECT_EQ(wizard->ShownPage(), CFilterWizardDlg::kTextPage);
      wxWindow* text = PageOf(d, CFilterWizardDlg::kTextPage);
      EXPECT_EQ(Label(text, CTextFilterDlg::ID_GROUP), "Page/File filter");
      EXPECT_EQ(Label(text, CTextFilterDlg::ID_EXAMPLE), "Example: /faq.html OR /out/*");
      wxtest::SetText(text, CTextFilterDlg::ID_TEXT, "/images/*");
      EXPECT_TRUE(wxtest::SaveScreenshot("filterwizard_page5"));
      Click(d, CFilterWizardDlg::ID_NEXT);
    });
    // Response code 404 to exclude.
    script.Inside([](wxDialog* d) {
      ChooseRadio(PageOf(d, CFilterWizardDlg::kTypePage), CFilterTypeDlg::ID_RESPONSE);
      Click(d, CFilterWizardDlg::ID_NEXT);
      wxWindow* codes = PageOf(d, CFilterWizardDlg::kResponsePage);
      EXPECT_TRUE(RadioSet(codes, CResponseCodeFilterDlg::ID_SINGLE));
      EXPECT_TRUE(wxtest::Enabled(codes, CResponseCodeFilterDlg::ID_CODE));
      EXPECT_FALSE(wxtest::Enabled(codes, CResponseCodeFilterDlg::ID_FROM));
      wxtest::SetText(codes, CResponseCodeFilterDlg::ID_CODE, "404");
      EXPECT_TRUE(wxtest::SaveScreenshot("filterwizard_page4"));
      Click(d, CFilterWizardDlg::ID_NEXT);
    });
    for (int i = 0; i < 3; ++i) Click(list.page, CFilterListPage::ID_ADD);
    EXPECT_EQ(list.ListLines(), (std::vector<std::string>{"Host - 192.0.2.1 : 192.0.2.5 (Include)",
                                                          "Page(File) - /images/* (Exclude)",
                                                          "Response Code - 404 (Exclude)"}));
    EXPECT_EQ(list.Selection(), 2) << "the new filter is selected";
    EXPECT_TRUE(wxtest::SaveScreenshot("filterlist"));
  }

  Reanalyse(working);
  std::multiset<LogLine> expected;
  for (const LogLine& l : ReadFixtureLines()) {
    bool inRange = l.address >= 0xC0000201 && l.address <= 0xC0000205;
    if (inRange && l.page.rfind("/images/", 0) != 0 && l.status != 404) expected.insert(l);
  }
  ASSERT_FALSE(expected.empty());
  EXPECT_LT(expected.size(), ReadFixtureLines().size());
  EXPECT_TRUE(AnalysedLines() == expected) << AnalysedLines().size() << " lines kept, " << expected.size()
                                           << " expected";

  CFilterList none;
  Reanalyse(none);
  EXPECT_TRUE(AnalysedLines() == ReadFixtureLines());
}

TEST_F(FilterDialogs, CancelAndNoStoreNothing) {
  CFilterList working;
  CFilter method;
  method.type = kFilterMethod;
  method.method = kMethodGet | kMethodPost;
  working.Add(method);
  ListPageFrame list(working);
  EXPECT_EQ(list.ListLines(), std::vector<std::string>{"Method - GET POST (Exclude)"});
  DialogScript script;
  script.Inside([](wxDialog* d) {
    ChooseRadio(PageOf(d, CFilterWizardDlg::kTypePage), CFilterTypeDlg::ID_METHOD);
    Click(d, CFilterWizardDlg::ID_NEXT);
    wxtest::SetCheck(PageOf(d, CFilterWizardDlg::kMethodPage), CMethodFilterDlg::ID_HEAD, true);
    Click(d, wxID_CANCEL);
  });
  script.Inside([](wxDialog* d) {
    wxWindow* type = PageOf(d, CFilterWizardDlg::kTypePage);
    EXPECT_TRUE(RadioSet(type, CFilterTypeDlg::ID_METHOD));
    EXPECT_TRUE(RadioSet(type, CFilterTypeDlg::ID_EXCLUDE));
    Click(d, CFilterWizardDlg::ID_NEXT);
    wxWindow* methods = PageOf(d, CFilterWizardDlg::kMethodPage);
    EXPECT_TRUE(wxtest::Control<wxCheckBox>(methods, CMethodFilterDlg::ID_GET)->GetValue());
    EXPECT_FALSE(wxtest::Control<wxCheckBox>(methods, CMethodFilterDlg::ID_HEAD)->GetValue());
    EXPECT_TRUE(wxtest::Control<wxCheckBox>(methods, CMethodFilterDlg::ID_POST)->GetValue());
    wxtest::SetCheck(methods, CMethodFilterDlg::ID_GET, false);
    EXPECT_TRUE(wxtest::SaveScreenshot("filterwizard_page3"));
    Click(d, wxID_CANCEL);
  });
  script.Answer(wxID_NO);  // "Delete the filter?"
  Click(list.page, CFilterListPage::ID_ADD);
  wxtest::SelectLine(list.page, CFilterListPage::ID_LIST, 0, true);
  Click(list.page, CFilterListPage::ID_DELETE);
  ASSERT_EQ(working.Count(), 1);
  EXPECT_EQ(working[0].method, kMethodGet | kMethodPost);
  EXPECT_EQ(list.ListLines(), std::vector<std::string>{"Method - GET POST (Exclude)"});
  ASSERT_EQ(script.messages.size(), 1u);
  EXPECT_EQ(script.messages[0], "Delete the filter?");
}

TEST_F(FilterDialogs, UpdateKeepsARangeAndDeleteMovesTheSelection) {
  CFilterList working;
  CFilter range, host;
  range.type = kFilterStatusRange;
  range.include = 1;
  range.status = 400;
  range.status2 = 499;
  working.Add(range);
  host.type = kFilterHost;
  SetStr(&host.text, "crawler.example");
  working.Add(host);
  working.Add(host);
  ListPageFrame list(working);
  DialogScript script;
  script.Inside([](wxDialog* d) {
    wxWindow* type = PageOf(d, CFilterWizardDlg::kTypePage);
    EXPECT_TRUE(RadioSet(type, CFilterTypeDlg::ID_RESPONSE));
    EXPECT_TRUE(RadioSet(type, CFilterTypeDlg::ID_INCLUDE));
    Click(d, CFilterWizardDlg::ID_NEXT);
    wxWindow* codes = PageOf(d, CFilterWizardDlg::kResponsePage);
    EXPECT_TRUE(RadioSet(codes, CResponseCodeFilterDlg::ID_RANGE));
    EXPECT_EQ(wxtest::Text(codes, CResponseCodeFilterDlg::ID_FROM), "400");
    EXPECT_EQ(wxtest::Text(codes, CResponseCodeFilterDlg::ID_TO), "499");
    Click(d, CFilterWizardDlg::ID_NEXT);
  });
  // The second host filter becomes a single address: the text it shared a
  // spelling with stays with the other one.
  script.Inside([](wxDialog* d) {
    Click(d, CFilterWizardDlg::ID_NEXT);
    wxWindow* hostPage = PageOf(d, CFilterWizardDlg::kHostPage);
    EXPECT_TRUE(RadioSet(hostPage, CHostFilterDlg::ID_DOMAIN));
    EXPECT_EQ(wxtest::Text(hostPage, CHostFilterDlg::ID_DOMAIN_TEXT), "crawler.example");
    ChooseRadio(hostPage, CHostFilterDlg::ID_SINGLE);
    wxtest::SetText(hostPage, CHostFilterDlg::ID_ADDRESS, "198.51.100.7");
    Click(d, CFilterWizardDlg::ID_NEXT);
  });
  wxtest::SelectLine(list.page, CFilterListPage::ID_LIST, 0);
  Click(list.page, CFilterListPage::ID_UPDATE);
  EXPECT_EQ(working[0].type, kFilterStatusRange) << "saved unchanged it stays a range";
  EXPECT_EQ(working[0].status2, 499);
  EXPECT_EQ(list.Selection(), 0);
  wxtest::SelectLine(list.page, CFilterListPage::ID_LIST, 2, true);
  EXPECT_EQ(working[2].type, kFilterIp);
  EXPECT_EQ(working[2].ip1, 0xC6336407u);
  EXPECT_EQ(working[2].text, nullptr);
  ASSERT_NE(working[1].text, nullptr);
  EXPECT_STREQ(working[1].text, "crawler.example");
  EXPECT_EQ(list.Selection(), 2);

  script.Answer(wxID_YES);
  script.Answer(wxID_YES);
  script.Answer(wxID_YES);
  Click(list.page, CFilterListPage::ID_DELETE);
  EXPECT_EQ(list.ListLines(), (std::vector<std::string>{"Response Code - 400 : 499 (Include)",
                                                        "Host - crawler.example (Exclude)"}));
  EXPECT_EQ(list.Selection(), 1) << "the last one gone, the one before is selected";
  wxtest::SelectLine(list.page, CFilterListPage::ID_LIST, 0);
  Click(list.page, CFilterListPage::ID_DELETE);
  EXPECT_EQ(list.Selection(), 0);
  Click(list.page, CFilterListPage::ID_DELETE);
  EXPECT_EQ(working.Count(), 0);
  EXPECT_TRUE(list.ListLines().empty());
  Click(list.page, CFilterListPage::ID_DELETE);  // nothing left: no question
  Click(list.page, CFilterListPage::ID_UPDATE);
}

// Empty, wildcard-only and very long texts are taken as typed; bad codes and
// addresses keep the wizard open with a message; a filter the engine cannot
// use is reported when the analysis starts.
TEST_F(FilterDialogs, BadInput) {
  CFilterList working;
  const std::string longText(10000, 'x');
  {
    ListPageFrame list(working);
    DialogScript script;
    for (const std::string& text : {std::string(), std::string("***?*"), longText}) {
      script.Inside([text](wxDialog* d) {
        ChooseRadio(PageOf(d, CFilterWizardDlg::kTypePage), CFilterTypeDlg::ID_REFERRER);
        Click(d, CFilterWizardDlg::ID_NEXT);
        wxtest::SetText(PageOf(d, CFilterWizardDlg::kTextPage), CTextFilterDlg::ID_TEXT, text);
        Click(d, CFilterWizardDlg::ID_NEXT);
      });
    }
    script.Inside([](wxDialog* d) {
      ChooseRadio(PageOf(d, CFilterWizardDlg::kTypePage), CFilterTypeDlg::ID_RESPONSE);
      Click(d, CFilterWizardDlg::ID_NEXT);
      wxWindow* codes = PageOf(d, CFilterWizardDlg::kResponsePage);
      for (const char* bad : {"1000", "abc", "", "-1"}) {
        wxtest::SetText(codes, CResponseCodeFilterDlg::ID_CODE, bad);
        Click(d, CFilterWizardDlg::ID_NEXT);
        EXPECT_TRUE(d->IsModal()) << bad;
      }
      wxtest::SetText(codes, CResponseCodeFilterDlg::ID_CODE, "999");
      Click(d, CFilterWizardDlg::ID_NEXT);
    });
    for (int i = 0; i < 4; ++i) script.Answer(wxID_OK);
    script.Inside([](wxDialog* d) {
      Click(d, CFilterWizardDlg::ID_NEXT);
      wxWindow* host = PageOf(d, CFilterWizardDlg::kHostPage);
      wxtest::SetText(host, CHostFilterDlg::ID_ADDRESS, "300.1.2.3");
      Click(d, CFilterWizardDlg::ID_NEXT);
      EXPECT_TRUE(d->IsModal());
      wxtest::SetText(host, CHostFilterDlg::ID_ADDRESS, "");
      Click(d, CFilterWizardDlg::ID_NEXT);
    });
    script.Answer(wxID_OK);
    for (int i = 0; i < 5; ++i) Click(list.page, CFilterListPage::ID_ADD);
    ASSERT_EQ(working.Count(), 5);
    EXPECT_EQ(working[0].text, nullptr);
    EXPECT_STREQ(working[1].text, "***?*");
    EXPECT_EQ(std::string(working[2].text), longText);
    EXPECT_EQ(working[3].status, 999);
    EXPECT_EQ(working[4].type, kFilterIp);
    EXPECT_EQ(working[4].ip1, 0u);
    for (const char* m : {"integer between 0 and 999", "IP address"})
      EXPECT_TRUE(std::any_of(script.messages.begin(), script.messages.end(),
                              [m](const std::string& s) { return s.find(m) != std::string::npos; }))
          << m;
  }
  tvtest::MessageCapture capture;
  Reanalyse(working);
  EXPECT_NE(capture.AllErrors().find("Filter 1 has no text and is ignored."), std::string::npos)
      << capture.AllErrors();
  CFilterList none;
  Reanalyse(none);
}

TEST_F(FilterDialogs, PayPerClickEntries) {
  CAdwordList working;
  ListPageFrame list(working);
  DialogScript script;
  script.Inside([](wxDialog* d) {
    EXPECT_TRUE(RadioSet(d, CPayPerClickDlg::ID_WHOLE));
    EXPECT_EQ(Label(d, CPayPerClickDlg::ID_EXAMPLE), "Example: /index.html?in=AdWords1");
    ChooseRadio(d, CPayPerClickDlg::ID_SUBSTRING);
    EXPECT_EQ(Label(d, CPayPerClickDlg::ID_EXAMPLE), "Example: ?in=AdWords1");
    wxtest::SetText(d, CPayPerClickDlg::ID_URL, "?in=spring");
    EXPECT_TRUE(wxtest::SaveScreenshot("ppc"));
    Click(d, wxID_OK);
  });
  script.Inside([](wxDialog* d) {
    EXPECT_TRUE(RadioSet(d, CPayPerClickDlg::ID_SUBSTRING));
    EXPECT_EQ(wxtest::Text(d, CPayPerClickDlg::ID_URL), "?in=spring");
    wxtest::SetText(d, CPayPerClickDlg::ID_NAME, "Spring sale");
    Click(d, wxID_CANCEL);
  });
  script.Inside([](wxDialog* d) {
    wxtest::SetText(d, CPayPerClickDlg::ID_NAME, "Spring sale");
    Click(d, wxID_OK);
  });
  script.Answer(wxID_YES);
  Click(list.page, CFilterListPage::ID_ADD);
  EXPECT_EQ(list.ListLines(), std::vector<std::string>{"?in=spring (substring)"});
  Click(list.page, CFilterListPage::ID_UPDATE);
  EXPECT_EQ(list.ListLines(), std::vector<std::string>{"?in=spring (substring)"});
  Click(list.page, CFilterListPage::ID_UPDATE);
  EXPECT_EQ(list.ListLines(), std::vector<std::string>{"Spring sale"});
  Click(list.page, CFilterListPage::ID_DELETE);
  EXPECT_EQ(working.Count(), 0);
  EXPECT_EQ(script.messages, std::vector<std::string>{"Delete the AdWords?"});
}

// Typed and clicked: OK with no address, or only blanks, is refused with a
// message and the dialog stays; with an address the entry is added.
TEST_F(FilterDialogs, PayPerClickEntryNeedsAnAddress) {
  CAdwordList working;
  ListPageFrame list(working);
  DialogScript script;
  bool reached = false;
  script.Inside([&](wxDialog* d) {
    d->Raise();
    ASSERT_TRUE(wxtest::PumpUntil([d] { return d->IsShownOnScreen(); }));
    wxtest::Pump(100);
    wxUIActionSimulator sim;
    auto* url = wxtest::Control<wxTextCtrl>(d, CPayPerClickDlg::ID_URL);
    auto* name = wxtest::Control<wxTextCtrl>(d, CPayPerClickDlg::ID_NAME);
    auto clickOn = [&](wxWindow* w) {
      sim.MouseMove(w->ClientToScreen(wxPoint(w->GetSize().x / 2, w->GetSize().y / 2)));
      wxtest::Pump(30);
      sim.MouseClick();
      wxtest::Pump(100);
    };
    wxWindow* ok = d->FindWindow(wxID_OK);
    ASSERT_NE(ok, nullptr);
    clickOn(name);
    sim.Text("Spring sale");
    wxtest::Pump(50);
    ASSERT_EQ(wxtest::Text(d, CPayPerClickDlg::ID_NAME), "Spring sale");
    for (const char* typed : {"", "   "}) {
      SCOPED_TRACE(typed);
      size_t shown = script.messages.size();
      clickOn(url);
      if (*typed) sim.Text(typed);
      wxtest::Pump(50);
      ASSERT_EQ(wxtest::Text(d, CPayPerClickDlg::ID_URL), typed);
      clickOn(ok);
      ASSERT_TRUE(wxtest::PumpUntil([&] { return script.messages.size() > shown; }, 3000));
      EXPECT_EQ(script.messages.back(), "Please enter the URL of the page.");
      EXPECT_TRUE(d->IsModal()) << "the dialog stays";
      EXPECT_EQ(wxWindow::FindFocus(), url);
      url->ChangeValue(wxString());
    }
    clickOn(url);
    sim.Text("/landing.html");
    wxtest::Pump(50);
    wxtest::SaveScreenshot("ppc_address");
    clickOn(ok);
    reached = true;
    if (!wxtest::PumpUntil([d] { return !d->IsModal(); }, 3000)) {
      ADD_FAILURE() << "OK did not close the dialog";
      d->EndModal(wxID_CANCEL);
    }
  });
  script.Answer(wxID_OK);
  script.Answer(wxID_OK);
  Click(list.page, CFilterListPage::ID_ADD);
  EXPECT_TRUE(reached);
  ASSERT_EQ(working.Count(), 1);
  EXPECT_STREQ(working[0].url, "/landing.html");
  EXPECT_EQ(list.ListLines(), std::vector<std::string>{"Spring sale"});
}

TEST_F(FilterDialogs, EnvironmentFilters) {
  g_project.groups.Clear();
  wxtest::InsertFixtureGroups(g_project.groups);
  CQueryParams params;
  for (int ok : {0, 1}) {
    SCOPED_TRACE(ok);
    DialogScript script;
    script.Inside([ok](wxDialog* d) {
      auto* dlg = static_cast<CEnvironmentFiltersDlg*>(d);
      EXPECT_TRUE(RadioSet(d, CEnvironmentFiltersDlg::ID_ALL_REQUESTS));
      EXPECT_TRUE(RadioSet(d, CEnvironmentFiltersDlg::ID_ALL_SPIDERS));
      wxListCtrl* groups = dlg->Groups();
      ASSERT_EQ(groups->GetItemCount(), 4);
      EXPECT_EQ(tv::WxToBytes(groups->GetItemText(3)), "All Others");
      EXPECT_TRUE(groups->IsEnabled());
      dlg->ToggleLine(1);
      dlg->ToggleLine(3);
      dlg->ToggleLine(9);
      ChooseRadio(d, CEnvironmentFiltersDlg::ID_ERRORS);
      ChooseRadio(d, CEnvironmentFiltersDlg::ID_SPIDERS_ONLY);
      if (ok) {
        EXPECT_TRUE(wxtest::SaveScreenshot("envfilters"));
      }
      Click(d, ok ? wxID_OK : wxID_CANCEL);
    });
    CEnvironmentFiltersDlg dlg(window, params, kReportPage, g_project.groups);
    EXPECT_EQ(dlg.ShowModal(), ok ? wxID_OK : wxID_CANCEL);
    CQueryParams untouched;
    if (!ok) {
      EXPECT_TRUE(std::equal(std::begin(params.groupOn), std::end(params.groupOn), std::begin(untouched.groupOn)))
          << "Cancel changes nothing";
      EXPECT_EQ(params.successOn + params.errorsOn + params.spidersOn + params.humansOn, 4u);
      continue;
    }
    EXPECT_EQ(params.groupOn[1], 0u);
    EXPECT_EQ(params.groupOn[0], 1u);
    EXPECT_EQ(params.groupOn[8], 1u) << "from off to on";
    EXPECT_EQ(params.successOn, 0u);
    EXPECT_EQ(params.errorsOn, 1u);
    EXPECT_EQ(params.humansOn, 0u);
    EXPECT_EQ(params.spidersOn, 1u);
  }
  // The group report greys the group list; the spider reports the spider box.
  CEnvironmentFiltersDlg group(window, params, kReportGroup, g_project.groups);
  EXPECT_FALSE(group.Groups()->IsEnabled());
  EXPECT_TRUE(group.FindWindow(CEnvironmentFiltersDlg::ID_SPIDERS_BOX)->IsEnabled());
  CEnvironmentFiltersDlg spiders(window, params, kReportSpider, g_project.groups);
  EXPECT_FALSE(spiders.FindWindow(CEnvironmentFiltersDlg::ID_SPIDERS_BOX)->IsEnabled());
  EXPECT_TRUE(spiders.Groups()->IsEnabled());
}

TEST_F(FilterDialogs, FilterHistoryGoesBackToALevel) {
  // One level down from the page with the most hits.
  CReportPane* pane = ListPane(CurrentPaneSlot());
  ASSERT_NE(pane, nullptr);
  CSortListCtrl* rows = pane->reportList;
  long item = static_cast<long>(rows->leadingRows);
  ASSERT_TRUE(wxtest::ChooseListRow(rows, item));
  std::string page = rows->RowOfItem(item)->Record()->PageText();
  GoToReport(kReportHost, 1);
  ASSERT_TRUE(WaitJob());
  ASSERT_EQ(GetCurrentLevel(), 1);

  DialogScript script;
  script.Inside([&page](wxDialog* d) {
    auto* dlg = static_cast<CFilterHistoryDlg*>(d);
    wxListCtrl* list = dlg->List();
    ASSERT_EQ(list->GetItemCount(), 2);
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(0, 0)), "1");
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(0, 1)), ReportKindTitle(kReportPage));
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(0, 2)), page);
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(1, 0)), "2");
    EXPECT_EQ(tv::WxToBytes(list->GetItemText(1, 1)), ReportKindTitle(kReportHost));
    EXPECT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 1) << "the last line";
    EXPECT_TRUE(wxtest::SaveScreenshot("filterhistory"));
    // No line chosen: "Go" does nothing.
    list->SetItemState(1, 0, wxLIST_STATE_SELECTED);
    Click(d, CFilterHistoryDlg::ID_GO);
    EXPECT_TRUE(d->IsModal());
    EXPECT_EQ(dlg->ChosenLevel(), -1);
    EXPECT_TRUE(TestNavWindow::Idle()) << "nothing runs";
    EXPECT_EQ(GetCurrentLevel(), 1);
    list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Click(d, CFilterHistoryDlg::ID_GO);
  });
  CFilterHistoryDlg dlg(window);
  EXPECT_EQ(dlg.ShowModal(), wxID_OK);
  EXPECT_EQ(dlg.ChosenLevel(), 0);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 0);
  EXPECT_EQ(GetCurrentReportType(), kReportPage);

  // At the top level: one line, and "Go" returns to it.
  script.Inside([](wxDialog* d) {
    auto* dlg = static_cast<CFilterHistoryDlg*>(d);
    EXPECT_EQ(dlg->List()->GetItemCount(), 1);
    Click(d, CFilterHistoryDlg::ID_GO);
  });
  CFilterHistoryDlg top(window);
  EXPECT_EQ(top.ShowModal(), wxID_OK);
  EXPECT_EQ(top.ChosenLevel(), 0);
  ASSERT_TRUE(WaitJob());
  EXPECT_EQ(GetCurrentLevel(), 0);
}

}  // namespace
