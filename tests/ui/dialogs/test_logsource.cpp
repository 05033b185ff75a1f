// The log file dialog on every kind of source: what OK gives back, what
// Cancel leaves, the enable rules, the browse button and the port checks.
#include <glob.h>
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <cstdlib>
#include <algorithm>
#include <string>
#include <vector>

#include "base/textutil.h"
#include "engine/store/project.h"
#include "platform/wx/wxtext.h"
#include "tests/common/testenv.h"
#include "tests/ui/wxtest.h"
#include "ui/dialogs/logsource.h"

namespace {

// The SQLite ODBC driver of the system (libsqliteodbc).
std::string SqliteDriver() {
  std::string found;
  for (const char* pattern : {"/usr/lib/*/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so",
                              "/usr/local/lib/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so"}) {
    glob_t g;
    if (glob(pattern, 0, nullptr, &g) == 0 && g.gl_pathc > 0) found = g.gl_pathv[0];
    globfree(&g);
    if (!found.empty()) break;
  }
  return found;
}

// Every stored field, so that whole records compare.
std::string Dump(const CLogSource& s) {
  auto t = [](const char* text) { return std::string(text ? text : "(null)"); };
  return "type=" + std::to_string(s.type) + " file=" + t(s.file) + " dns=" + t(s.db_dns) + " table=" + t(s.db_table) +
         " date=" + t(s.db_date) + " host=" + t(s.db_host) + " page=" + t(s.db_page) + " refer=" + t(s.db_refer) +
         " size=" + t(s.db_size) + " sizer=" + t(s.db_sizer) + " status=" + t(s.db_status) +
         " usera=" + t(s.db_usera) + " cookie=" + t(s.db_cookie) + " met=" + t(s.db_met) + " user=" + t(s.user) +
         " psw=" + t(s.psw) + " prop=" + std::to_string(s.prop) + " url=" + t(s.url) + " proxy=" + t(s.proxy) +
         " port_proxy=" + std::to_string(s.port_proxy) + " path=" + t(s.path) + " server=" + t(s.server) +
         " port=" + std::to_string(s.port) + " firewall=" + t(s.firewall) + " port_fw=" + std::to_string(s.port_fw);
}

// An FTP source with every field set, one option bit the pages do not show
// (64) among them.
void FillFtpSource(CLogSource* s) {
  s->type = kSourceFtp;
  SetStr(&s->file, "/var/log/old.log");
  SetStr(&s->db_dns, "olddsn");
  SetStr(&s->db_table, "oldtable");
  SetStr(&s->db_met, "METHOD");
  SetStr(&s->user, "joe");
  SetStr(&s->psw, "s3cret");
  s->prop = 64 | 16 | 2;  // anonymous, passive
  SetStr(&s->url, "http://old.example/log");
  SetStr(&s->proxy, "oldproxy");
  s->port_proxy = 8080;
  SetStr(&s->path, "/logs/*.log");
  SetStr(&s->server, "ftp.example.com");
  s->port = 21;
  SetStr(&s->firewall, "fw.example.com");
  s->port_fw = 2121;
}

void Type(wxTextCtrl* edit, const char* text) { edit->SetValue(tv::BytesToWx(text)); }

void Click(wxRadioButton* button) {
  button->SetValue(true);
  wxCommandEvent event(wxEVT_RADIOBUTTON, button->GetId());
  event.SetEventObject(button);
  event.SetInt(1);
  button->GetEventHandler()->ProcessEvent(event);
}

void Click(wxCheckBox* box, bool checked) {
  box->SetValue(checked);
  wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
  event.SetEventObject(box);
  event.SetInt(checked);
  box->GetEventHandler()->ProcessEvent(event);
}

void Press(wxDialog* dialog, int id) {
  wxWindow* button = dialog->FindWindow(id);
  ASSERT_NE(button, nullptr);
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(event);
}

// Answers every modal dialog without showing it, keeping what it asked.
class DialogCatcher : public wxModalDialogHook {
 public:
  explicit DialogCatcher(int answer) : m_answer(answer) { Register(); }
  ~DialogCatcher() override { Unregister(); }
  int Enter(wxDialog* dialog) override {
    if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) messages.push_back(tv::WxToBytes(box->GetMessage()));
    if (auto* files = dynamic_cast<wxFileDialog*>(dialog)) {
      fileStyle = files->GetWindowStyle();
      wildcard = tv::WxToBytes(files->GetWildcard());
    }
    return m_answer;
  }
  void Exit(wxDialog*) override {}

  std::vector<std::string> messages;
  long fileStyle = 0;
  std::string wildcard;

 private:
  int m_answer;
};

std::vector<std::string> g_picked;
bool FakePicker(wxWindow*, wxArrayString* paths) {
  for (const std::string& p : g_picked) paths->Add(tv::BytesToWx(p));
  return true;
}

class LogFileDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The driver manager's configuration with one SQLite data source.
    std::string driver = SqliteDriver();
    ASSERT_FALSE(driver.empty()) << "the SQLite ODBC driver (libsqliteodbc) is not installed";
    std::string dir = tvtest::NewDir("logfiledlg_odbc");
    tvtest::WriteFile(dir + "odbcinst.ini", "[TvSQLite]\nDriver=" + driver + "\n");
    tvtest::WriteFile(dir + "odbc.ini", "[tvlogs]\nDriver=TvSQLite\nDatabase=" + dir + "logs.db\n");
    setenv("ODBCSYSINI", dir.c_str(), 1);
    setenv("ODBCINI", (dir + "odbc.ini").c_str(), 1);
  }
  void SetUp() override {
    setenv("http_proxy", "http://proxy.example:3128/", 1);
    CLogSourceList::InitEntry(&ftp);
    FillFtpSource(&ftp);
  }
  void TearDown() override {
    unsetenv("http_proxy");
    CLocalLogPage::Picker() = &CLocalLogPage::PickLogFiles;
    wxtest::Pump(20);
  }
  static void Shot(CLogFileDlg* dialog, const char* name) {
    dialog->Show();
    wxtest::Pump(100);
    EXPECT_TRUE(wxtest::SaveScreenshot(name));
  }

  CLogSource ftp;
};

TEST_F(LogFileDialog, NewSourceStartsLocalWithTheEnvironmentProxyAndBrowseGivesTheList) {
  CLogSource blank;
  CLogFileDlg dialog(nullptr, blank);
  EXPECT_EQ(dialog.GetKind(), kSourceLocal);
  EXPECT_TRUE(dialog.kindButtons[0]->GetValue());
  EXPECT_TRUE(dialog.localPage->IsShown());
  EXPECT_EQ(dialog.httpPage->proxy->GetValue(), "proxy.example");
  EXPECT_EQ(dialog.httpPage->proxyPort->GetValue(), "3128");
  EXPECT_TRUE(dialog.httpPage->useProxy->GetValue());
  // The local page's example names Linux paths, whole within the page.
  std::vector<std::string> labels;
  for (wxWindow* w : dialog.localPage->GetChildren())
    if (auto* label = dynamic_cast<wxStaticText*>(w)) {
      labels.push_back(tv::WxToBytes(label->GetLabel()));
      if (labels.back().rfind("Example", 0) == 0) {
        EXPECT_LE(label->GetRect().GetRight(), dialog.localPage->GetClientSize().GetWidth());
      }
    }
  EXPECT_NE(std::find(labels.begin(), labels.end(), "Example: /var/log/apache2/access.log;/var/log/apache2/*.gz"),
            labels.end());
  for (const std::string& l : labels) EXPECT_EQ(l.find(":\\"), std::string::npos) << l;

  CLocalLogPage::Picker() = &FakePicker;
  g_picked = {"/data/a.log", "/data/b.log.gz", "/other/c.log"};
  Press(&dialog, CLocalLogPage::ID_BROWSE);
  EXPECT_EQ(dialog.localPage->file->GetValue(), "/data/a.log;/data/b.log.gz;/other/c.log");
  g_picked = {"/data/x.log", "/data/y.log"};
  Press(&dialog, CLocalLogPage::ID_BROWSE);  // replaces, does not append
  EXPECT_EQ(dialog.localPage->file->GetValue(), "/data/x.log;/data/y.log");
  Shot(&dialog, "logfiledlg_local");

  Press(&dialog, wxID_OK);
  EXPECT_EQ(dialog.GetReturnCode(), wxID_OK);
  const CLogSource& s = dialog.GetSource();
  EXPECT_EQ(s.type, kSourceLocal);
  EXPECT_STREQ(s.file, "/data/x.log;/data/y.log");
  EXPECT_STREQ(s.proxy, "proxy.example");
  EXPECT_EQ(s.port_proxy, 3128);
  EXPECT_EQ(s.prop, 8u);
}

TEST_F(LogFileDialog, BrowseOpensAMultipleSelectionChooserAndCancelChangesNothing) {
  CLogSource blank;
  CLogFileDlg dialog(nullptr, blank);
  Type(dialog.localPage->file, "/keep/me.log");
  DialogCatcher catcher(wxID_CANCEL);
  Press(&dialog, CLocalLogPage::ID_BROWSE);
  EXPECT_TRUE(catcher.fileStyle & wxFD_MULTIPLE);
  EXPECT_TRUE(catcher.fileStyle & wxFD_OPEN);
  EXPECT_FALSE(catcher.fileStyle & wxFD_CHANGE_DIR);
  EXPECT_EQ(catcher.wildcard.rfind("Log and GZip (*.log;*.gz)|*.log;*.gz|", 0), 0u) << catcher.wildcard;
  EXPECT_EQ(dialog.localPage->file->GetValue(), "/keep/me.log");
}

TEST_F(LogFileDialog, OdbcPageOffersTheDataSourcesAndStoresTheColumns) {
  CLogFileDlg dialog(nullptr, ftp);
  Click(dialog.kindButtons[kSourceOdbc]);
  EXPECT_EQ(dialog.GetKind(), kSourceOdbc);
  EXPECT_TRUE(dialog.odbcPage->IsShown());
  EXPECT_FALSE(dialog.ftpPage->IsShown());
  COdbcLogPage* page = dialog.odbcPage;
  EXPECT_NE(page->dns->FindString("tvlogs"), wxNOT_FOUND);
  EXPECT_EQ(page->dns->GetValue(), "olddsn");
  EXPECT_EQ(page->columns[COdbcLogPage::kMet]->GetValue(), "METHOD");
  page->dns->SetValue("tvlogs");
  Type(page->table, "hits");
  const char* names[] = {"PAGE", "STAMP", "HOST", "REFERRER", "BYTES", "RECEIVED", "AGENT", "COOKIE", "STATUS", ""};
  for (int i = 0; i < COdbcLogPage::kColumns; i++) Type(page->columns[i], names[i]);
  Shot(&dialog, "logfiledlg_odbc");

  Press(&dialog, wxID_OK);
  const CLogSource& s = dialog.GetSource();
  EXPECT_EQ(s.type, kSourceOdbc);
  EXPECT_STREQ(s.db_dns, "tvlogs");
  EXPECT_STREQ(s.db_table, "hits");
  EXPECT_STREQ(s.db_page, "PAGE");
  EXPECT_STREQ(s.db_date, "STAMP");
  EXPECT_STREQ(s.db_host, "HOST");
  EXPECT_STREQ(s.db_refer, "REFERRER");
  EXPECT_STREQ(s.db_size, "BYTES");
  EXPECT_STREQ(s.db_sizer, "RECEIVED");
  EXPECT_STREQ(s.db_usera, "AGENT");
  EXPECT_STREQ(s.db_cookie, "COOKIE");
  EXPECT_STREQ(s.db_status, "STATUS");
  EXPECT_EQ(s.db_met, nullptr);
  // The ODBC login is the one the FTP page holds.
  EXPECT_STREQ(s.user, "joe");
  EXPECT_STREQ(s.psw, "s3cret");
}

TEST_F(LogFileDialog, FtpPageEnableRulesAndOptionBits) {
  CLogSource before;
  CLogSourceList::InitEntry(&before);
  FillFtpSource(&before);
  CLogFileDlg dialog(nullptr, ftp);
  CFtpLogPage* page = dialog.ftpPage;
  EXPECT_EQ(dialog.GetKind(), kSourceFtp);
  EXPECT_TRUE(page->IsShown());
  // Filled from the source; no environment proxy for an existing source.
  EXPECT_EQ(page->server->GetValue(), "ftp.example.com");
  EXPECT_EQ(page->port->GetValue(), "21");
  EXPECT_EQ(page->firewallPort->GetValue(), "2121");
  EXPECT_EQ(dialog.httpPage->proxy->GetValue(), "oldproxy");
  EXPECT_FALSE(dialog.httpPage->useProxy->GetValue());
  EXPECT_TRUE(page->password->HasFlag(wxTE_PASSWORD));
  EXPECT_TRUE(dialog.httpPage->password->HasFlag(wxTE_PASSWORD));

  // Anonymous greys user and password but keeps their texts.
  EXPECT_TRUE(page->anonymous->GetValue());
  EXPECT_TRUE(page->passive->GetValue());
  for (wxWindow* w : {(wxWindow*)page->userLabel, (wxWindow*)page->user, (wxWindow*)page->passwordLabel,
                      (wxWindow*)page->password})
    EXPECT_FALSE(w->IsEnabled());
  EXPECT_EQ(page->user->GetValue(), "joe");
  wxWindow* firewallControls[] = {page->firewallBox,  page->firewallLabel,     page->firewall,
                                  page->firewallPort, page->firewallPortLabel, page->firewallPassive};
  for (wxWindow* w : firewallControls) EXPECT_FALSE(w->IsEnabled());

  Click(page->useFirewall, true);
  for (wxWindow* w : firewallControls) EXPECT_TRUE(w->IsEnabled());
  Click(page->firewallPassive, true);
  Shot(&dialog, "logfiledlg_ftp");
  Click(page->anonymous, false);
  EXPECT_TRUE(page->user->IsEnabled());
  EXPECT_TRUE(page->password->IsEnabled());
  Click(page->passive, false);
  Type(page->path, "/");
  Type(page->port, "2100");
  Type(page->user, "ann");

  Press(&dialog, wxID_OK);
  const CLogSource& s = dialog.GetSource();
  EXPECT_EQ(s.type, kSourceFtp);
  EXPECT_EQ(s.prop, 64u | 1u | 4u);  // the bit no page shows is kept
  EXPECT_STREQ(s.path, "/");
  EXPECT_EQ(s.port, 2100);
  EXPECT_EQ(s.port_fw, 2121);
  EXPECT_STREQ(s.user, "ann");
  EXPECT_STREQ(s.psw, "s3cret");
  // What the FTP edit did not touch is as it was.
  EXPECT_STREQ(s.file, before.file);
  EXPECT_STREQ(s.db_dns, before.db_dns);
  EXPECT_STREQ(s.url, before.url);
  EXPECT_EQ(s.port_proxy, before.port_proxy);
}

TEST_F(LogFileDialog, UpdateWithoutChangesKeepsEveryField) {
  CLogFileDlg dialog(nullptr, ftp);
  Press(&dialog, wxID_OK);
  EXPECT_EQ(dialog.GetReturnCode(), wxID_OK);
  EXPECT_EQ(Dump(dialog.GetSource()), Dump(ftp));
}

TEST_F(LogFileDialog, HttpPageKeepsItsTextsAcrossKindsAndGivesItsLogin) {
  CLogFileDlg dialog(nullptr, ftp);
  CHttpLogPage* page = dialog.httpPage;
  Click(dialog.kindButtons[kSourceHttp]);
  EXPECT_TRUE(page->IsShown());
  EXPECT_FALSE(page->proxyBox->IsEnabled());
  EXPECT_FALSE(page->proxy->IsEnabled());
  Type(page->url, "http://www.example.com/logs/access.log");
  Type(page->user, "webuser");
  Type(page->password, "webpass");
  Click(dialog.kindButtons[kSourceFtp]);
  EXPECT_FALSE(page->IsShown());
  Type(dialog.ftpPage->user, "ftpuser");
  Click(dialog.kindButtons[kSourceHttp]);
  EXPECT_EQ(page->url->GetValue(), "http://www.example.com/logs/access.log");
  Click(page->useProxy, true);
  for (wxWindow* w : {(wxWindow*)page->proxyLabel, (wxWindow*)page->proxy, (wxWindow*)page->proxyPortLabel,
                      (wxWindow*)page->proxyPort})
    EXPECT_TRUE(w->IsEnabled());
  Type(page->proxyPort, "3129");
  Shot(&dialog, "logfiledlg_http");
  dialog.Hide();

  // The modal way the workspace pane uses it.
  dialog.CallAfter([&dialog] { Press(&dialog, wxID_OK); });
  ASSERT_EQ(dialog.ShowModal(), wxID_OK);
  const CLogSource& s = dialog.GetSource();
  EXPECT_EQ(s.type, kSourceHttp);
  EXPECT_STREQ(s.url, "http://www.example.com/logs/access.log");
  EXPECT_STREQ(s.user, "webuser");
  EXPECT_STREQ(s.psw, "webpass");
  EXPECT_EQ(s.port_proxy, 3129);
  EXPECT_EQ(s.prop, 64u | 16u | 8u | 2u);
  // The FTP page's other texts are kept too.
  EXPECT_STREQ(s.server, "ftp.example.com");
}

TEST_F(LogFileDialog, CancelLeavesTheSourceAsItWas) {
  CLogFileDlg dialog(nullptr, ftp);
  Click(dialog.kindButtons[kSourceHttp]);
  Type(dialog.httpPage->url, "http://changed.example/");
  Type(dialog.ftpPage->server, "changed.example");
  Click(dialog.ftpPage->anonymous, false);
  dialog.CallAfter([&dialog] { Press(&dialog, wxID_CANCEL); });
  EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
  EXPECT_EQ(Dump(dialog.GetSource()), Dump(ftp));
}

TEST_F(LogFileDialog, APortThatIsNoPortNumberKeepsTheDialogOpen) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"70000", "Please enter an integer between 0 and 65535."},
      {"99999999999999999999", "Please enter an integer between 0 and 65535."},
      {"", "Please enter an integer."},
  };
  for (const Case& c : cases) {
    CLogFileDlg dialog(nullptr, ftp);
    Click(dialog.kindButtons[kSourceLocal]);
    dialog.SetReturnCode(0);
    Type(dialog.ftpPage->firewallPort, c.text);
    DialogCatcher catcher(wxID_OK);
    Press(&dialog, wxID_OK);
    ASSERT_EQ(catcher.messages.size(), 1u) << c.text;
    EXPECT_EQ(catcher.messages[0], c.message);
    EXPECT_EQ(dialog.GetReturnCode(), 0) << c.text;
    EXPECT_EQ(dialog.GetKind(), kSourceFtp);  // the page of the field is shown
    EXPECT_EQ(Dump(dialog.GetSource()), Dump(ftp));
  }
}

}  // namespace
