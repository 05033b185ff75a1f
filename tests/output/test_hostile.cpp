// Hostile log texts through every export: links only to web addresses, no
// markup from a log, UTF-8 everywhere, no broken row or record, no formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/display/vocab.h"
#include "engine/store/reportkind.h"
#include "output/csvexport.h"
#include "output/htmlexport.h"
#include "output/outtext.h"
#include "output/textexport.h"
#include "platform/utf8.h"
#include "tests/common/testenv.h"
#include "tests/engine/queryfixture.h"

namespace {

using queryfixture::Ip;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t e; (e = text.find('\n', at)) != std::string::npos; at = e + 1) out.push_back(text.substr(at, e - at));
  return out;
}

bool HasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c != '\n' && static_cast<unsigned char>(c) < 0x20; });
}

// Every href of the page, as written.
std::vector<std::string> Links(const std::string& page) {
  std::vector<std::string> out;
  for (size_t at = 0; (at = page.find("href=\"", at)) != std::string::npos; at += 6)
    out.push_back(page.substr(at + 6, page.find('"', at + 6) - at - 6));
  return out;
}

class HostileExportTest : public queryfixture::QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    g_project.send_receive = 0;
    queryfixture::Hit r{"/caf\xe9<i>.html", Ip(1, 1, 1, 1), nullptr, 8, 3, 2004, 100, 200, 0, 0, 4, 0,
                        "  JavaScript:alert(1).x", "=cmd|' /C calc'!A0"};
    r.cookie = "@x\r\ny";
    r.user = "=1+1";
    Add(0, 'r', r, 10);
    // Long enough to be wrapped, in dashes of three bytes each.
    static const std::string data = "data:text/html,<script>x</script>" + std::string(60, '\x97');
    Add(0, 's', {"/a\r\nb\x01.html", Ip(1, 1, 1, 1), nullptr, 8, 3, 2004, 200, 404, 0, 0, 4, 0, data.c_str(),
                 "-2+3\tz"}, 20);
    Add(0, 't', {"/ok.html", Ip(1, 1, 1, 1), nullptr, 8, 3, 2004, 300, 404, 0, 0, 4, 0, "HTTPS://ok.example.org/<b>",
                 "+SUM(1)"}, 30);
    BumpQueryGeneration();
  }
  void TearDown() override {
    FreeLanguageTexts();
    FreeHtmlTemplate();
    QueryFixture::TearDown();
  }
  std::string Html(int kind, const char* templates = nullptr) {
    CRowTable table;
    if (kind != kReportSummary) RunQuery(g_project, kind, table, All());
    std::string path = dir + "page.html";
    EXPECT_TRUE(ExportReportToHtml(path.c_str(), kind, table, nullptr, All(), nullptr, templates));
    return tvtest::ReadFile(path);
  }
  std::string Text(int kind, int mode = kTableText) {
    CRowTable table;
    RunQuery(g_project, kind, table, All());
    std::string out;
    WriteReportTable(out, kind, table, mode, All(), nullptr);
    rows = table.RowCount();
    return out;
  }
  std::string dir = tvtest::NewDir("hostile");
  std::string shipped = std::string(TV_SOURCE_DIR) + "/Resource";
  int32_t rows = 0;
};

// What a log text becomes in a text, CSV or mail export: UTF-8, nothing a
// viewer would take for a line break.
TEST(PlainText, UnicodeStaysControlsAndSeparatorsBecomeBlanks) {
  struct Case {
    const char* bytes;
    const char* plain;
  } cases[] = {
      {"Gr\xc3\xbc\xc3\x9f" "e", "Gr\xc3\xbc\xc3\x9f" "e"},
      {"Gr\xc3\xbc\xc3\x9f" "e \xe9", "Gr\xc3\xbc\xc3\x9f" "e \xc3\xa9"},  // one stray byte
      {"a\xe2\x80\xa8" "b\xe2\x80\xa9" "c", "a b c"},                      // U+2028, U+2029
      {"a\xe2\x80\xa7" "b\xe2\x80\xaa", "a\xe2\x80\xa7" "b\xe2\x80\xaa"},    // their neighbours stay
      {"x\xc2\x85y\r\n\tz\x7f", "x y   z "},
      {"\x85", "\xe2\x80\xa6"},  // alone, the Windows-1252 ellipsis
  };
  for (const Case& c : cases) EXPECT_EQ(PlainText(c.bytes), c.plain) << c.bytes;
}

TEST(WebAddress, OnlyHttpAndHttps) {
  struct Case {
    const char* address;
    bool web;
  } cases[] = {
      {"http://a.org/", true},     {"HTTPS://a.org/", true},       {"  hTTp://a.org/", true},
      {"\thttps:x", true},         {"javascript:alert(1)", false}, {" JavaScript:alert(1)", false},
      {"data:text/html,x", false}, {"vbscript:x", false},          {"file:///etc/passwd", false},
      {"httpx://a.org", false},    {"/relative.html", false},      {"www.a.org", false},
      {"", false},                 {nullptr, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWebAddress(c.address), c.web) << (c.address ? c.address : "null");
}

TEST_F(HostileExportTest, HtmlLinksOnlyToWebAddressesAndEscapesEveryLogText) {
  for (int kind : {kReportPage, kReportReferrer, kReportReferringSite, kReportError, kReportItems, kReportBrowser}) {
    SCOPED_TRACE(kind);
    std::string page = Html(kind, shipped.c_str());
    EXPECT_TRUE(tv::IsValidUtf8(page));
    EXPECT_FALSE(HasControl(page));
    for (const char* markup : {"<script", "<i>", "<b>"}) EXPECT_EQ(page.find(markup), std::string::npos) << markup;
    for (const std::string& link : Links(page)) EXPECT_TRUE(IsWebAddress(link.c_str())) << link;
  }
  // Other schemes stay as text; a web address in any case is still a link.
  std::string page = Html(kReportReferrer, shipped.c_str());
  EXPECT_NE(page.find("JavaScript :alert(1).x"), std::string::npos);  // with its wrapping blank
  EXPECT_NE(page.find("data:text/html,&lt;script&gt;x&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("href=\"HTTPS://ok.example.org/&lt;b&gt;\""), std::string::npos);
  EXPECT_NE(Html(kReportPage, shipped.c_str()).find("/caf\xc3\xa9"), std::string::npos);  // Windows-1252 from the log
  // Nor does a site address of another scheme make links of the pages.
  SetStr(&g_project.url, "javascript:alert(2)//");
  EXPECT_TRUE(Links(Html(kReportPage, shipped.c_str())).empty());
  std::string mail;
  CRowTable table;
  RunQuery(g_project, kReportReferrer, table, All());
  WriteReportTable(mail, kReportReferrer, table, kTableHtml, All(), nullptr);
  for (const std::string& link : Links(mail)) EXPECT_TRUE(IsWebAddress(link.c_str())) << link;
  EXPECT_EQ(mail.find("<script"), std::string::npos);
}

TEST_F(HostileExportTest, TextTablesKeepOneLinePerRow) {
  // Title, two separators and the header, then the rows; the report tables
  // add a separator and the totals.
  for (int kind : {kReportItems, kReportPage, kReportReferrer, kReportBrowser, kReportUser}) {
    for (int mode : {kTableText, kTableHtml}) {
      SCOPED_TRACE(std::to_string(kind) + " " + std::to_string(mode));
      std::string text = Text(kind, mode);
      EXPECT_FALSE(HasControl(text));
      EXPECT_TRUE(tv::IsValidUtf8(text));
      EXPECT_EQ(Lines(text).size(), static_cast<size_t>(rows) + (kind == kReportItems ? 4 : 6));
    }
  }
  std::string items = Text(kReportItems);
  EXPECT_NE(items.find("|/a  b .html"), std::string::npos);
  EXPECT_NE(items.find("|@x  y"), std::string::npos);
}

TEST_F(HostileExportTest, CsvLogTextsNeverRunAsFormulas) {
  std::string path = dir + "hits.csv";
  ASSERT_EQ(ExportAllHitsToCsv(path.c_str(), g_project), 1);
  std::string hits = tvtest::ReadFile(path);
  EXPECT_FALSE(HasControl(hits));
  EXPECT_EQ(Lines(hits).size(), 21u);  // the header and twenty hits
  for (const char* field : {"\"'=cmd|' /C calc'!A0\"", "\"'@x  y\"", "\"'-2+3 z\"", "\"'+SUM(1)\"",
                            "\"  JavaScript:alert(1).x\"", "\"/caf\xc3\xa9<i>.html\""})
    EXPECT_NE(hits.find(field), std::string::npos) << field;
  // Dates, times, counts and the no-referrer mark stay as they are.
  EXPECT_NE(hits.find(",\"08/Mar/2004\",\"00:03:20\",\"20\",\"404 - Not Found\",\"/a  b .html\","), std::string::npos);
  EXPECT_NE(hits.find(",\"-\","), std::string::npos);

  CRowTable table;
  RunQuery(g_project, kReportUser, table, All());
  ASSERT_EQ(ExportReportToCsv(path.c_str(), kReportUser, table, All(), nullptr), 1);
  EXPECT_NE(tvtest::ReadFile(path).find("\n\"'=1+1\",\"1\","), std::string::npos);
  RunQuery(g_project, kReportDate, table, All());
  ASSERT_EQ(ExportReportToCsv(path.c_str(), kReportDate, table, All(), nullptr), 1);
  std::string dates = tvtest::ReadFile(path);
  EXPECT_NE(dates.find("\n\"08/Mar/2004 (Monday)\",\"3\","), std::string::npos) << dates;
}

TEST_F(HostileExportTest, ShippedLanguagesExportUtf8) {
  struct Case {
    const char* language;
    const char* items;  // the title of the hits list, in UTF-8
    const char* host;
  } cases[] = {
      {"French", "\xc3\x89l\xc3\xa9ments", "H\xc3\xb4te"},
      {"German", "Eintr\xc3\xa4ge", "Host"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    std::filesystem::copy_file(std::string(TV_SOURCE_DIR) + "/data/lang/" + c.language + ".lng",
                               tvtest::Home() + c.language + ".lng", std::filesystem::copy_options::overwrite_existing);
    LoadLanguage((std::string(c.language) + ".lng").c_str());
    ASSERT_NE(std::string(GetTerm(kTermItems)), "Items");
    std::string page = Html(kReportItems, shipped.c_str());
    EXPECT_TRUE(tv::IsValidUtf8(page));
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find(c.items), std::string::npos);
    EXPECT_NE(page.find(c.host), std::string::npos);

    // The text table counts characters, not bytes: the columns stay in line.
    std::vector<std::string> lines = Lines(Text(kReportItems));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], c.items);
    auto bars = [](const std::string& line) {
      std::vector<int> at;
      int column = 0;
      for (size_t i = 0; i < line.size() && at.size() < 4; ++i) {
        if (line[i] == '|') at.push_back(column);
        column += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
      }
      return at;
    };
    EXPECT_EQ(bars(lines[2]), bars(lines[4]));

    CRowTable table;
    RunQuery(g_project, kReportItems, table, All());
    std::string path = dir + "mail.eml";
    ASSERT_EQ(ExportReportToMail(path.c_str(), kReportItems, table, All(), nullptr), 1);
    std::string mail = tvtest::ReadFile(path);
    EXPECT_EQ(mail.find("iso-8859"), std::string::npos);
    EXPECT_NE(mail.find("charset=\"utf-8\""), std::string::npos);
    std::string subject = mail.substr(0, mail.find("\r\n"));
    EXPECT_EQ(subject.rfind("Subject: =?UTF-8?Q?", 0), 0u) << subject;
    EXPECT_TRUE(std::all_of(mail.begin(), mail.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; }));
  }
}

// A huge language term is written where it stands but does not widen every
// row: the export grows by about the term, not by the term times the rows.
TEST_F(HostileExportTest, HugeTermDoesNotWidenEveryRow) {
  const std::string huge(1 << 20, 'H');
  tvtest::WriteFile(tvtest::Home() + "Huge.lng", "FormatVersion=1.0\n[Common]\nhits=\"" + huge + "\"\nhost=\"" + huge +
                                                     "\"\npage=\"" + huge + "\"\n");
  ASSERT_TRUE(LoadLanguage("Huge.lng"));
  ASSERT_EQ(strlen(GetTerm(kTermHits)), huge.size());
  for (int kind : {kReportPage, kReportItems, kReportHost}) {
    SCOPED_TRACE(kind);
    std::string text = Text(kind);
    EXPECT_LT(text.size(), 4u * huge.size()) << "rows " << rows;
    EXPECT_NE(text.find(huge), std::string::npos);
    EXPECT_FALSE(HasControl(text));
  }
}

// Addresses no country range holds form one row labelled as the unknown
// host names are, in every export.
TEST_F(HostileExportTest, CountryRowsAlwaysHaveALabel) {
  std::vector<std::string> lines = Lines(Text(kReportCountry));
  ASSERT_EQ(rows, 1);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[4].substr(lines[4].rfind('|') + 1), "Unknown") << lines[4];
  EXPECT_NE(Html(kReportCountry, shipped.c_str()).find("Unknown"), std::string::npos);
}

TEST(HeaderText, AsciiStaysAndOtherTextsBecomeEncodedWords) {
  EXPECT_EQ(EncodeHeaderText("Referrers"), "Referrers");
  EXPECT_EQ(EncodeHeaderText("Mots cl\xe9s"), "=?UTF-8?Q?Mots_cl=C3=A9s?=");
  // Long texts fold into several words, none past 75 characters.
  std::string folded = EncodeHeaderText(std::string(40, '\xe9'));
  size_t at = 0;
  int words = 0;
  for (size_t e; at < folded.size(); at = e + 2, ++words) {
    e = std::min(folded.find("\n ", at), folded.size());
    std::string word = folded.substr(at, e - at);
    EXPECT_LE(word.size(), 75u);
    EXPECT_EQ(word.rfind("=?UTF-8?Q?", 0), 0u);
    EXPECT_EQ(word.substr(word.size() - 2), "?=");
  }
  EXPECT_GT(words, 1);
}

}  // namespace
