// The host look-up tool against a fake resolver: answers come from another
// thread while the window keeps running, and failures say so.
#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "engine/analysis/dnscache.h"
#include "engine/tables/auxdb.h"
#include "engine/tables/auxfile.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/resolver.h"
#include "tests/common/testenv.h"
#include "tests/ui/dialogscript.h"
#include "tests/ui/wxtest.h"
#include "ui/dialogs/hostlookup.h"

namespace {

using wxtest::Click;
using wxtest::DialogScript;

constexpr uint32_t kAddress = 0xC000020A;  // 192.0.2.10

class FakeResolver : public tv::Resolver {
 public:
  bool NameOf(uint32_t address, std::string* name) override {
    Enter();
    if (address != kAddress) return false;
    *name = "www.example.test";
    return true;
  }
  bool AddressOf(const char* name, uint32_t* address) override {
    Enter();
    if (std::string(name) != "www.example.test") return false;
    *address = kAddress;
    return true;
  }
  // Names that fail for a given reason; any other goes to AddressOf.
  std::map<std::string, int> failures;
  bool AddressOfWithError(const char* name, uint32_t* address, int* error) override {
    auto it = failures.find(name);
    if (it == failures.end()) return Resolver::AddressOfWithError(name, address, error);
    Enter();
    *error = it->second;
    return false;
  }
  void Hold() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hold = true;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hold = false;
    m_wake.notify_all();
  }
  bool Waiting() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waiting;
  }
  int Calls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
  }
  bool OnUiThread() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onUiThread;
  }

 private:
  void Enter() {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_calls;
    if (std::this_thread::get_id() == m_uiThread) m_onUiThread = true;
    m_waiting = m_hold;
    m_wake.wait(lock, [this] { return !m_hold; });
    m_waiting = false;
  }
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_hold = false, m_waiting = false, m_onUiThread = false;
  int m_calls = 0;
  std::thread::id m_uiThread = std::this_thread::get_id();
};

// Little-endian table bytes.
struct Bytes {
  std::string s;
  Bytes& U16(unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8 & 0xFF);
    return *this;
  }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& Header(unsigned type, unsigned value) {
    s += "DA";
    s += static_cast<char>(type);
    s += '\1';
    return U16(value).U16(0);
  }
};

// A country table that puts 192.0.0.0/8 in Germany.
void WriteCountryTables() {
  Bytes names;
  names.Header(auxfile::kCountryNames, 200);
  names.s += std::string("de\0Germany", 10) + std::string(190, '\0');
  tvtest::WriteFile(tv::DataDir() + "cntr1.dat", names.s);
  Bytes ranges;
  ranges.Header(auxfile::kCountryRanges, 0);
  for (unsigned octet = 0; octet < 256; ++octet) ranges.U32(octet == 192 ? 1024 : 0xFFFFFFFF);
  ranges.U32(1).U32(0xC0000000).U16(0).U16(0xFFFF).U16(0xFFFF);
  ranges.U32(0xC1000000).U16(0xFFFF).U16(0xFFFF).U16(0xFFFF);
  tvtest::WriteFile(tv::DataDir() + "cntr0.dat", ranges.s);
}

// A city table that puts 192.0.0.0/8 in Berlin, Germany, with no region.
void WriteCityTables() {
  constexpr unsigned kRecord = 16;
  Bytes names;
  names.Header(auxfile::kCityNames, kRecord);
  names.s += std::string("Berlin") + std::string(kRecord - 6, '\0');
  tvtest::WriteFile(tv::DataDir() + "city1.dat", names.s);
  Bytes ranges;
  ranges.Header(auxfile::kCityRanges, 0);
  for (unsigned octet = 0; octet < 256; ++octet) ranges.U32(octet == 192 ? 1024 : 0xFFFFFFFF);
  ranges.U32(1).U32(0xC0000000).U16(0).U16(0xFFFF).U16(0);  // city 0, no region, country 0
  ranges.U32(0xC1000000).U16(0xFFFF).U16(0xFFFF).U16(0xFFFF);
  tvtest::WriteFile(tv::DataDir() + "city0.dat", ranges.s);
}

class HostLookup : public ::testing::Test {
 protected:
  void SetUp() override { old_ = SetDnsResolver(&fake_); }
  void TearDown() override { SetDnsResolver(old_); }

  CHostLookupDlg* Open() {
    auto* dlg = new CHostLookupDlg(nullptr);
    dlg->Show();
    EXPECT_TRUE(wxtest::PumpUntil([dlg] { return dlg->IsShownOnScreen(); }));
    return dlg;
  }
  void Lookup(CHostLookupDlg* dlg, const std::string& host, bool reverse) {
    wxtest::SetText(dlg, CHostLookupDlg::ID_HOST, host);
    wxtest::SetCheck(dlg, CHostLookupDlg::ID_REVERSE, reverse);
    int before = dlg->Finished();
    Click(dlg, CHostLookupDlg::ID_LOOKUP);
    EXPECT_TRUE(wxtest::PumpUntil([&] { return dlg->Finished() > before; }));
  }

  FakeResolver fake_;
  tv::Resolver* old_ = nullptr;
};

TEST_F(HostLookup, ForwardAndReverseLookUpsWithoutBlockingTheWindow) {
  CHostLookupDlg* dlg = Open();
  EXPECT_TRUE(wxtest::Control<wxCheckBox>(dlg, CHostLookupDlg::ID_REVERSE)->GetValue()) << "checked at first";

  fake_.Hold();
  wxtest::SetText(dlg, CHostLookupDlg::ID_HOST, " www.example.test ");
  Click(dlg, CHostLookupDlg::ID_LOOKUP);
  // The window keeps handling events while the resolver waits.
  ASSERT_TRUE(wxtest::PumpUntil([&] { return fake_.Waiting(); }));
  EXPECT_TRUE(dlg->Busy());
  EXPECT_FALSE(wxtest::Enabled(dlg, CHostLookupDlg::ID_LOOKUP)) << "one look-up at a time";
  Click(dlg, CHostLookupDlg::ID_LOOKUP);
  fake_.Release();
  ASSERT_TRUE(wxtest::PumpUntil([&] { return dlg->Finished() == 1; }));
  EXPECT_EQ(fake_.Calls(), 1);
  EXPECT_FALSE(fake_.OnUiThread());
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "192.0.2.10");
  EXPECT_TRUE(wxtest::Enabled(dlg, CHostLookupDlg::ID_LOOKUP));
  // Without geographic tables the places are unknown: empty, no lone commas.
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_COUNTRY), "");
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_REGION), "");
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_CITY), "");

  Lookup(dlg, "192.0.2.10", true);
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "www.example.test");
  EXPECT_EQ(fake_.Calls(), 2);

  Lookup(dlg, "192.0.2.10", false);
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "") << "no reverse look-up asked";
  EXPECT_EQ(fake_.Calls(), 2);

  Lookup(dlg, "192.0.2.99", true);  // an address without a name is no error
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "");

  WriteCountryTables();
  LoadGeoTables();
  Lookup(dlg, "www.example.test", true);
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_COUNTRY), "Germany");
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_REGION), "Germany") << "no region table";
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_CITY), "Germany");

  // A city whose region the tables leave empty.
  WriteCityTables();
  LoadGeoTables();
  Lookup(dlg, "192.0.2.10", true);
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "www.example.test");
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_COUNTRY), "Germany");
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_REGION), "Germany");
  EXPECT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_CITY), "Berlin, Germany");
  EXPECT_TRUE(wxtest::SaveScreenshot("dialogs_host_lookup"));
  for (CGeoLevel& level : g_auxDatabases.geo) level = CGeoLevel();
  g_auxDatabases.geoLoaded = false;
  for (const char* file : {"cntr0.dat", "cntr1.dat", "city0.dat", "city1.dat"}) tv::RemoveFile(tv::DataDir() + file);
  dlg->Destroy();
}

TEST_F(HostLookup, BadNamesShowTheErrorAndEmptyEveryField) {
  CHostLookupDlg* dlg = Open();
  Lookup(dlg, "www.example.test", true);
  ASSERT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "192.0.2.10");

  const char* names[] = {"unknown.example.test", "", "bad name!", "a..b"};
  int asked[] = {1, 0, 0, 0};  // only a well-formed name reaches the resolver
  for (size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(names[i]);
    DialogScript script;
    script.Answer(wxID_OK);
    int calls = fake_.Calls();
    wxtest::SetText(dlg, CHostLookupDlg::ID_HOST, names[i]);
    Click(dlg, CHostLookupDlg::ID_LOOKUP);
    ASSERT_TRUE(wxtest::PumpUntil([&] { return !script.messages.empty(); }));
    EXPECT_EQ(script.messages[0], "DNS lookup error! (error# 1: host not found)");
    EXPECT_EQ(fake_.Calls() - calls, asked[i]);
    for (int id : {CHostLookupDlg::ID_RESULT, CHostLookupDlg::ID_COUNTRY, CHostLookupDlg::ID_REGION,
                   CHostLookupDlg::ID_CITY})
      EXPECT_EQ(wxtest::Text(dlg, id), "") << id;
    EXPECT_TRUE(dlg->IsShown()) << "the dialog stays open";
  }

  // A window closed while its look-up runs gets no answer and is not touched.
  fake_.Hold();
  wxtest::SetText(dlg, CHostLookupDlg::ID_HOST, "www.example.test");
  Click(dlg, CHostLookupDlg::ID_LOOKUP);
  ASSERT_TRUE(wxtest::PumpUntil([&] { return fake_.Waiting(); }));
  delete dlg;
  int calls = fake_.Calls();
  fake_.Release();
  wxtest::Pump(100);
  EXPECT_EQ(fake_.Calls(), calls);
}

// Typed into the window: each failure shows the number of its own reason and
// the reason in words, and the fields are emptied first.
TEST_F(HostLookup, TheErrorNumberIsTheResolversReason) {
  fake_.failures = {{"gone.example.test", tv::Resolver::kHostNotFound},
                    {"busy.example.test", tv::Resolver::kTryAgain},
                    {"broken.example.test", tv::Resolver::kNoRecovery},
                    {"noaddr.example.test", tv::Resolver::kNoData},
                    {"odd.example.test", 7}};
  const struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"noaddr.example.test", "DNS lookup error! (error# 4: no address)"},
      {"busy.example.test", "DNS lookup error! (error# 2: temporary failure)"},
      {"broken.example.test", "DNS lookup error! (error# 3: no recovery)"},
      {"gone.example.test", "DNS lookup error! (error# 1: host not found)"},
      {"unknown.example.test", "DNS lookup error! (error# 1: host not found)"},  // a resolver that cannot tell
      {"odd.example.test", "DNS lookup error! (error# 7: unknown error)"},
  };
  CHostLookupDlg* dlg = Open();
  dlg->Raise();
  wxtest::Pump(100);
  auto* edit = wxtest::Control<wxTextCtrl>(dlg, CHostLookupDlg::ID_HOST);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lookup(dlg, "www.example.test", true);
    ASSERT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_RESULT), "192.0.2.10");
    DialogScript script;
    script.Answer(wxID_OK);
    edit->ChangeValue(wxString());
    edit->SetFocus();
    ASSERT_TRUE(wxtest::PumpUntil([edit] { return wxWindow::FindFocus() == edit; }, 3000));
    wxUIActionSimulator sim;
    sim.Text(c.name);
    wxtest::Pump(100);
    ASSERT_EQ(wxtest::Text(dlg, CHostLookupDlg::ID_HOST), c.name) << "typed";
    sim.Char(WXK_RETURN);  // the default button
    ASSERT_TRUE(wxtest::PumpUntil([&] { return !script.messages.empty(); }, 5000));
    EXPECT_EQ(script.messages[0], c.message);
    for (int id : {CHostLookupDlg::ID_RESULT, CHostLookupDlg::ID_COUNTRY, CHostLookupDlg::ID_REGION,
                   CHostLookupDlg::ID_CITY})
      EXPECT_EQ(wxtest::Text(dlg, id), "") << id;
    EXPECT_TRUE(dlg->IsShown()) << "the dialog stays open";
  }
  dlg->Destroy();
}

}  // namespace
