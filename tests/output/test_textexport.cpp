#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/config/settings.h"
#include "engine/store/reportkind.h"
#include "output/outtext.h"
#include "output/reportrows.h"
#include "output/textexport.h"
#include "tests/common/testenv.h"
#include "tests/engine/queryfixture.h"
#include "tests/output/golden.h"

namespace {

using queryfixture::QueryFixture;

std::vector<std::string> Lines(const std::string& text, const char* end = "\n") {
  std::vector<std::string> out;
  size_t at = 0, n = strlen(end);
  for (size_t e; (e = text.find(end, at)) != std::string::npos; at = e + n) out.push_back(text.substr(at, e - at));
  if (at < text.size()) out.push_back(text.substr(at));
  return out;
}

// Undoes quoted-printable: soft breaks and =XX.
std::string DecodeQp(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
    } else if (text.compare(i + 1, 2, "\r\n") == 0) {
      i += 2;
    } else if (text.compare(i + 1, 1, "\n") == 0) {
      i += 1;
    } else {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

class TextExportTest : public QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    g_project.send_receive = 0;
  }
  void TearDown() override {
    g_project.send_receive = 0;
    QueryFixture::TearDown();
  }
  std::string Table(int kind, SortCompareFn compare = nullptr, int mode = kTableText) {
    CRowTable table;
    if (kind != kReportSummary) RunQuery(g_project, kind, table, All());
    std::string out;
    EXPECT_EQ(WriteReportTable(out, kind, table, mode, All(), compare), 1);
    return out;
  }
  std::string dir = tvtest::NewDir("textexport");
};

TEST_F(TextExportTest, GoldenTablesOverTheFixture) {
  std::string path = dir + "pages.txt";
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  tvtest::MessageCapture capture;
  ASSERT_EQ(ExportReportToText(path.c_str(), kReportPage, table, All(), nullptr), 1);
  EXPECT_EQ(capture.infos, (std::vector<std::string>{"Export...", "Export successful"}));
  golden::Expect(tvtest::ReadFile(path), "pages.txt");
  golden::Expect(Table(kReportSummary), "summary.txt");
  golden::Expect(Table(kReportItems), "items.txt");
}

TEST_F(TextExportTest, RawHitsKeepStoredOrderAndSummaryIgnoresComparator) {
  EXPECT_EQ(Table(kReportItems, CompareByCount), Table(kReportItems));
  EXPECT_EQ(Table(kReportSummary, CompareByCount), Table(kReportSummary));
  // Every raw line has as many cells as the header and lines up with it.
  std::vector<std::string> lines = Lines(Table(kReportItems));
  ASSERT_EQ(lines.size(), 4u + 17u);
  for (size_t i = 4; i < lines.size(); ++i) {
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '|'), std::count(lines[2].begin(), lines[2].end(), '|'));
    EXPECT_EQ(lines[i].find('|'), lines[2].find('|'));
  }
}

TEST_F(TextExportTest, SharesColumnsAndUnsignedCounts) {
  CRowTable table;
  table.Reset(0);
  CRow* big = table.AddRow(H('a'));
  big->SetHits(3000000000u);
  big->SetVisitors(0);
  CRow* none = table.AddRow(H('b'));
  none->SetHits(0);
  table.totals.hits = 3000000000u;
  table.totals.bytesSent = 0;  // bandwidth total 0: shares 0.00
  std::string out;
  WriteReportTable(out, kReportPage, table, kTableText, All(), nullptr);
  std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 8u);
  const std::string tail = "+-----------------------";
  EXPECT_EQ(lines[1], "-+" + std::string(15, '-') + "+" + std::string(12, '-') + "+" + std::string(14, '-') + tail);
  EXPECT_EQ(lines[4], "1|3000000000|100.00|      0| 0.00|        0| 0.00|/index.html");
  EXPECT_EQ(lines[5], "2|         0| 0.00|      0| 0.00|        0| 0.00|/shop.html");
  EXPECT_EQ(lines[7], " |3000000000|     |      0|     |        0|     | Total");

  // Without the hits share the separator has no five-dash segment after hits.
  g_settings.add_proc_h = 0;
  out.clear();
  WriteReportTable(out, kReportPage, table, kTableText, All(), nullptr);
  lines = Lines(out);
  EXPECT_EQ(lines[1], "-+" + std::string(10, '-') + "+" + std::string(12, '-') + "+" + std::string(14, '-') + tail);
  EXPECT_EQ(lines[4], "1|3000000000|      0| 0.00|        0| 0.00|/index.html");

  // Bytes received recorded: a Send and a Receive column, each with its share.
  g_project.send_receive = 1;
  none->SetBytesReceived(5);
  table.totals.bytesReceived = 5;
  out.clear();
  WriteReportTable(out, kReportPage, table, kTableText, All(), nullptr);
  lines = Lines(out);
  EXPECT_EQ(lines[2], " |      Hits|Visitor|  %  |Send|  %  |Receive|  %  |Page(File)");
  EXPECT_EQ(lines[5], "2|         0|      0| 0.00|   0| 0.00|      5|100.00|/shop.html");
  g_project.send_receive = 0;
}

TEST_F(TextExportTest, MailMessage) {
  std::string path = dir + "mail.eml";
  CRowTable table;
  RunQuery(g_project, kReportReferrer, table, All());
  tvtest::MessageCapture capture;
  ASSERT_EQ(ExportReportToMail(path.c_str(), kReportReferrer, table, All(), nullptr), 1);
  EXPECT_EQ(capture.infos, (std::vector<std::string>{"Export...", "Export successful"}));
  std::string mail = tvtest::ReadFile(path);
  golden::Expect(mail, "mail.eml");

  // CRLF everywhere, no bare LF, and no line longer than quoted-printable allows.
  for (size_t i = 0; i < mail.size(); ++i)
    if (mail[i] == '\n') {
      ASSERT_TRUE(i > 0 && mail[i - 1] == '\r') << "bare LF at " << i;
    }
  for (const std::string& line : Lines(mail, "\r\n")) EXPECT_LE(line.size(), 76u) << line;
  const std::string boundary = "------=_NextPart_000_000A_010D020C.76543210";
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t e; (e = mail.find(boundary, at)) != std::string::npos; at = e + boundary.size())
    parts.push_back(mail.substr(at, e - at));
  // The bodies, past each part's headers.
  for (std::string& part : parts) part = part.substr(std::min(part.size(), part.find("\r\n\r\n") + 4));
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(mail.substr(mail.size() - boundary.size() - 4), boundary + "--\r\n");
  // Each part decodes to the table that the text export writes.
  std::string text = DecodeQp(parts[1]);
  std::string plain = Table(kReportReferrer);
  std::string plainCrlf;
  for (char c : plain) plainCrlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(text, plainCrlf + "\r\n");
  std::string html = DecodeQp(parts[2]);
  EXPECT_NE(html.find("<META http-equiv=Content-Type content=\"text/html; charset=utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("<A href=\"http://www.google.de/search?q=Red+Shoes\">http://www.google.de/search?q=Red+Shoes</A>"),
            std::string::npos);
  EXPECT_NE(html.find("|No Referrer\r\n"), std::string::npos);
}

TEST_F(TextExportTest, HtmlPartEscapesLogTextsAndLinksPages) {
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  std::string html;
  WriteReportTable(html, kReportPage, table, kTableHtml, All(), nullptr);
  EXPECT_NE(html.find("<TD><A href=\"http://www.site.com/find.html?q=a\" TARGET=\"_blank\">/find.html?q=a</A></TD>\n"),
            std::string::npos);
  SetStr(&g_project.url, "");
  html.clear();
  WriteReportTable(html, kReportPage, table, kTableHtml, All(), nullptr);
  EXPECT_NE(html.find("|<TD>/index.html</TD>\n"), std::string::npos);

  std::string out;
  AppendHtmlEscaped(out, "/a?x=1&y=<b>\"&amp;");
  EXPECT_EQ(out, "/a?x=1&amp;y=&lt;b&gt;&quot;&amp;amp;");
  out.clear();
  AppendHtmlKeepEntities(out, "Fran&ccedil;ais &#233; & &x=1 <i>");
  EXPECT_EQ(out, "Fran&ccedil;ais &#233; &amp; &amp;x=1 &lt;i&gt;");
}

TEST(QuotedPrintable, Encoding) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a=b\n", "a=3Db\n"},
      {"caf\xE9\n", "caf=E9\n"},
      {"end \nx\t\n", "end=20\nx=09\n"},
      {"tab\there ok\n", "tab\there ok\n"},
      {std::string(80, 'x') + "\n", std::string(75, 'x') + "=\n" + std::string(5, 'x') + "\n"},
      {std::string(76, 'x') + "\n", std::string(76, 'x') + "\n"},
      {std::string(74, 'x') + "=\n", std::string(74, 'x') + "=\n=3D\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeQuotedPrintable(c.in), c.out) << c.in;
  // Any text survives the round trip, and no line passes 76 characters.
  std::string text;
  for (int i = 0; i < 600; ++i) text += static_cast<char>(i % 7 == 6 ? '\n' : (i * 37) % 256 == 10 ? 'q' : (i * 37) % 256);
  std::string encoded = EncodeQuotedPrintable(text);
  EXPECT_EQ(DecodeQp(encoded), text);
  for (const std::string& line : Lines(encoded)) EXPECT_LE(line.size(), 76u);
}

TEST_F(TextExportTest, FilesThatCannotBeWrittenAreErrors) {
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  std::string missing = dir + "no/such/folder.txt";
  {
    tvtest::MessageCapture capture;
    EXPECT_EQ(ExportReportToText(missing.c_str(), kReportPage, table, All(), nullptr), 0);
    EXPECT_EQ(capture.infos, (std::vector<std::string>{"Export..."}));
  }
  {
    tvtest::MessageCapture capture;
    EXPECT_EQ(ExportReportToMail(missing.c_str(), kReportPage, table, All(), nullptr), 0);
    EXPECT_TRUE(capture.infos.empty());
  }
  for (int mail = 0; mail < 2; ++mail) {
    tvtest::MessageCapture capture;
    int r = mail ? ExportReportToMail("/dev/full", kReportPage, table, All(), nullptr)
                 : ExportReportToText("/dev/full", kReportPage, table, All(), nullptr);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(capture.infos, (std::vector<std::string>{"Export..."}));
    EXPECT_EQ(capture.errors.size(), 1u);
  }
}

}  // namespace
