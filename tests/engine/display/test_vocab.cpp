#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/config/settings.h"
#include "engine/display/vocab.h"
#include "engine/tables/auxdb.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "tests/common/countries.h"
#include "tests/common/testenv.h"

namespace {

const std::string kLanguageSources = std::string(TV_TEST_DATA_DIR) + "/../../../data/lang/";

// The quoted value of a key of a language file as written (our files hold no escapes).
bool FileValue(const std::string& text, const char* key, std::string* value) {
  std::string lead = std::string("\n") + key + "=\"";
  size_t at = text.find(lead);
  if (at == std::string::npos) return false;
  at += lead.size();
  *value = text.substr(at, text.find('"', at) - at);
  return true;
}

class VocabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallVocabulary();
    FreeLanguageTexts();
    tvtest::SetCountries({});
  }
  void TearDown() override {
    FreeLanguageTexts();
    tvtest::SetCountries({});
  }
};

TEST_F(VocabTest, TermsInEachMode) {
  struct Case {
    int id, mode;
    const char* expected;
  } english[] = {
      {0, 1, "Hits"},       {7, 1, "Page"},      {50, 0, "No Referrer"}, {68, 1, "Page(File)"},
      {110, 1, "Jan"},      {133, 1, "December"}, {140, 3, "Saturday"},  {141, 1, ""},
      {-1, 1, ""},          {1000, 2, ""},
  };
  for (const Case& c : english) EXPECT_STREQ(GetTerm(c.id, c.mode), c.expected) << c.id;
  EXPECT_EQ(GetTerm(7, 2), nullptr);
  EXPECT_STREQ(TermKey(0), "hits");
  EXPECT_STREQ(TermKey(140), "wday6");
  EXPECT_EQ(GetTermSlot(141), nullptr);
  EXPECT_EQ(GetTermSlot(-1), nullptr);

  EXPECT_EQ(SetTerm(7, "Seite"), 1);
  EXPECT_STREQ(GetTerm(7, 1), "Seite");
  EXPECT_STREQ(GetTerm(7, 2), "Seite");
  EXPECT_STREQ(GetTerm(7, 0), "Page");
  EXPECT_STREQ(*GetTermSlot(7), "Seite");
  EXPECT_EQ(SetTerm(7, "Seite"), 0);
  EXPECT_EQ(SetTerm(7, "Blatt"), 1);
  EXPECT_EQ(SetTerm(7, ""), 1);
  EXPECT_EQ(GetTerm(7, 2), nullptr);
  EXPECT_STREQ(GetTerm(7, 1), "Page");
  EXPECT_EQ(SetTerm(141, "x"), 0);
  EXPECT_EQ(SetTerm(-1, "x"), 0);
}

TEST_F(VocabTest, CopyTermKeepsToTheBufferAndStripsEntities) {
  SetTerm(kTermRefer, "R&eacute;f&eacuterent");
  char buf[64];
  EXPECT_STREQ(CopyTerm(kTermRefer, buf, sizeof buf), "Re;ferent");
  char small[8];
  memset(small, '#', sizeof small);
  CopyTerm(kTermNoRefer, small, 5);
  EXPECT_STREQ(small, "No R");
  EXPECT_EQ(small[5], '#');
  CopyTerm(kTermNoRefer, small, 0);
  EXPECT_EQ(small[0], 'N');

  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"&ocirc&eacute&ucirc&auml&aacute&iacute", "oeuaai"},
      {"caf&eacute;", "cafe;"},
      {"&&eacutee&", "&ee&"},
      {"&EACUTE &eacut", "&EACUTE &eacut"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    EXPECT_STREQ(StripAccentEntities(text.data()), c.out) << c.in;
  }
}

TEST(Vocab, AddLngExtension) {
  struct Case {
    const char* name;
    size_t size;
    const char* expected;
  } cases[] = {
      {"German", 64, "German.lng"},    {"German.LNG", 64, "German.LNG"},
      {"a.lng.txt", 64, "a.lng.txt.lng"}, {"x.lng", 64, "x.lng"},
      {"German", 8, "German."},          // cut to the buffer
  };
  for (const Case& c : cases) {
    char out[64];
    EXPECT_STREQ(AddLngExtension(out, c.size, c.name), c.expected) << c.name;
  }
}

TEST_F(VocabTest, LanguageFileRoundTripInKeyOrder) {
  tvtest::SetCountries({{"de", "Germany"}, {"fr", "France"}});
  SetTerm(kTermHits, "Zugriffe");
  SetTerm(kTermBandwidth, "Daten \"volumen\"");
  SetTerm(kTermWday6, "Samstag");
  g_language.common.engl_chart = 1;
  ASSERT_TRUE(g_language.SetCountryName(0, "Deutschland"));
  ASSERT_TRUE(SaveLanguage("Round.lng"));
  std::string text = tvtest::ReadFile(tv::DataDir() + "Round.lng");

  // "Common" keys: equiv first, then the terms in their file order, engl_chart last.
  std::vector<std::string> order = {"\n[Common]", "\nequiv=\"\"", "\nhits=\"Zugriffe\"", "\npages=\"\"",
                                    "\nbandwidth=\"Daten \\\"volumen\\\"\"", "\nall_other=",
                                    "\nrefer=",  "\nwday6=\"Samstag\"", "\ndb_cont=", "\nreceive=",
                                    "\nengl_chart=1", "\n[Language]\nname=\"Deutschland\"\ndomain=\"de\""};
  size_t at = 0;
  for (const std::string& piece : order) {
    size_t next = text.find(piece, at);
    ASSERT_NE(next, std::string::npos) << piece;
    at = next + 1;
  }

  FreeLanguageTexts();
  EXPECT_EQ(GetTerm(kTermHits, 2), nullptr);
  EXPECT_EQ(g_language.countries.Count(), 0);
  SetCountryName(0, "Germany");
  EXPECT_TRUE(LoadLanguage("Round.lng"));
  EXPECT_STREQ(GetTerm(kTermHits, 1), "Zugriffe");
  EXPECT_STREQ(GetTerm(kTermBandwidth, 1), "Daten \"volumen\"");
  EXPECT_STREQ(GetTerm(kTermPages, 1), "Pages");
  EXPECT_EQ(g_language.common.engl_chart, 1);
  EXPECT_STREQ(GetCountryName(0), "Deutschland");
  EXPECT_STREQ(GetCountryName(1), "France");
}

TEST_F(VocabTest, ShippedLanguagesShowEveryTermTheyTranslate) {
  for (const char* name : {"German.lng", "French.lng"}) {
    SCOPED_TRACE(name);
    std::string text = tvtest::ReadFile(kLanguageSources + name);
    ASSERT_FALSE(text.empty());
    tvtest::WriteFile(tv::ProgramDir() + name, text);
    tvtest::SetCountries({{"de", "Germany"}, {"uk", "United Kingdom"}, {"zz", "Nowhere"}});
    tvtest::MessageCapture capture;
    LoadLanguage(name);
    EXPECT_EQ(capture.AllErrors(), "");
    EXPECT_TRUE(capture.messages.empty());
    int translated = 0;
    for (int id = 0; id < kTermCount; ++id) {
      std::string value;
      if (!FileValue(text, TermKey(id), &value) || value.empty()) continue;
      ++translated;
      EXPECT_EQ(GetTerm(id, 1), value) << TermKey(id);
    }
    EXPECT_EQ(translated, kTermCount);
    EXPECT_STRNE(GetCountryName(0), "Germany");
    EXPECT_STRNE(GetCountryName(1), "United Kingdom");
    EXPECT_STREQ(GetCountryName(2), "Nowhere");
  }
  std::vector<std::string> files = FindLanguageFiles();
  EXPECT_NE(std::find(files.begin(), files.end(), "German.lng"), files.end());
  EXPECT_NE(std::find(files.begin(), files.end(), "French.lng"), files.end());
  EXPECT_EQ(LanguageFiles(), files);
}

TEST_F(VocabTest, UnreadableLanguageLeavesEnglish) {
  SetTerm(kTermPage, "Seite");
  LoadLanguage("");
  LoadLanguage(nullptr);
  EXPECT_STREQ(GetTerm(kTermPage, 1), "Seite") << "no name: nothing happens";

  {
    tvtest::MessageCapture capture;
    EXPECT_FALSE(LoadLanguage("Missing.lng"));
    EXPECT_NE(capture.AllErrors().find("Missing.lng"), std::string::npos);
  }
  EXPECT_EQ(GetTerm(kTermPage, 2), nullptr);

  tvtest::WriteFile(tv::ProgramDir() + "Broken.lng", "FormatVersion=1.0\n[Common]\nhits=\"Zugriffe\"\npage=Seite\n");
  tvtest::MessageCapture capture;
  EXPECT_FALSE(LoadLanguage("Broken.lng"));
  EXPECT_FALSE(capture.messages.empty()) << "the syntax error is reported";
  EXPECT_EQ(GetTerm(kTermHits, 2), nullptr) << "nothing of a broken file is kept";
}

TEST_F(VocabTest, LanguageNameIsOnlyAFileName) {
  std::string outside = tvtest::NewDir("outside");
  tvtest::WriteFile(outside + "Evil.lng", "FormatVersion=1.0\n[Common]\nhits=\"Evil\"\n");
  LoadLanguage((outside + "Evil.lng").c_str());
  EXPECT_EQ(GetTerm(kTermHits, 2), nullptr);
  LoadLanguage("outside/Evil.lng");
  EXPECT_EQ(GetTerm(kTermHits, 2), nullptr);

  tvtest::WriteFile(tv::ProgramDir() + "Evil.lng", "FormatVersion=1.0\n[Common]\nhits=\"Good\"\n");
  LoadLanguage("..\\outside\\Evil.lng");
  EXPECT_STREQ(GetTerm(kTermHits, 1), "Good");
  EXPECT_EQ(LanguageFilePath(".."), "");
  EXPECT_EQ(LanguageFilePath("a/"), "");
  EXPECT_EQ(LanguageFilePath("x/../Evil.lng"), tv::ProgramDir() + "Evil.lng");
}

TEST_F(VocabTest, ReportLanguageHookLoadsAndEmptyNameRestoresEnglish) {
  tvtest::WriteFile(tv::ProgramDir() + "Hook.lng", "FormatVersion=1.0\n[Common]\nunknow=\"Unbekannt\"\n");
  LoadReportLanguage("Hook.lng");
  EXPECT_STREQ(GetTerm(kTermUnknow, 1), "Unbekannt");
  g_auxDatabases.os.clear();
  EXPECT_STREQ(FindOperatingSystem("Mozilla"), "Unbekannt") << "the tables' words come from the vocabulary";
  LoadReportLanguage("");
  EXPECT_STREQ(GetTerm(kTermUnknow, 1), "Unknown");
}

TEST_F(VocabTest, SetCountryNameKeepsTableAndRecordsTogether) {
  tvtest::SetCountries({{"de", "Germany"}, {"fr", "France"}});
  EXPECT_FALSE(g_language.SetCountryName(0, ""));
  EXPECT_FALSE(g_language.SetCountryName(0, nullptr));
  EXPECT_FALSE(g_language.SetCountryName(2, "Nirgendwo"));
  EXPECT_STREQ(GetCountryName(0), "Germany");
  EXPECT_EQ(g_language.countries.Count(), 0);

  EXPECT_TRUE(g_language.SetCountryName(0, "Deutschland"));
  EXPECT_STREQ(GetCountryName(0), "Deutschland");
  ASSERT_EQ(g_language.countries.Count(), 1);
  EXPECT_STREQ(g_language.countries[0].domain, "de");
  EXPECT_FALSE(g_language.SetCountryName(0, "Deutschland"));

  // A record of the file whose domain differs only in case is the country's own.
  CLanguageCountry* fr = g_language.countries.AddEmpty();
  fr->name = strdup("Francia");
  fr->domain = strdup("FR");
  EXPECT_TRUE(g_language.SetCountryName(1, "Frankreich"));
  ASSERT_EQ(g_language.countries.Count(), 2);
  EXPECT_STREQ(g_language.countries[1].name, "Frankreich");
  EXPECT_STREQ(GetCountryName(1), "Frankreich");
}

TEST_F(VocabTest, LanguageCorrectionSavesAndWritesTheMail) {
  SetTerm(kTermHits, "Zugriffe");
  std::string mail = LanguageCorrection("Mine.lng");
  ASSERT_NE(mail, "");
  EXPECT_EQ(mail.substr(mail.rfind('/') + 1), "temp.eml");
  EXPECT_TRUE(tv::FileExists(tv::DataDir() + "Mine.lng"));
  std::string text = tvtest::ReadFile(mail);
  EXPECT_NE(text.find("Subject: Language Correct (Adding)\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n[Mine.lng]\r\n"), std::string::npos);
  EXPECT_NE(text.find("hits=\"Zugriffe\""), std::string::npos);
  EXPECT_EQ(LanguageCorrection(""), "");
}

}  // namespace
