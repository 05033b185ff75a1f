#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <png.h>
#include <set>
#include <string>

#include "base/msgsink.h"
#include "base/textutil.h"
#include "engine/config/settings.h"
#include "engine/display/display.h"
#include "engine/query/query.h"
#include "engine/query/summary.h"
#include "engine/store/project.h"
#include "engine/store/reportkind.h"
#include "output/htmlexport.h"
#include "tests/common/testenv.h"
#include "tests/engine/queryfixture.h"

namespace {

std::string Section(const char* name, const std::string& tmpl) {
  std::string buffer = "old";
  return GetTemplateSection(name, tmpl, buffer, 0);
}

TEST(HtmlTemplateTest, SectionBodies) {
  const std::string tmpl = "[A]\r\n\nbody a\n[B]x[C]\nlast\n";
  EXPECT_EQ(Section("[A]", tmpl), "body a");  // the line break before "[B]" is dropped
  EXPECT_EQ(Section("[B]", tmpl), "");        // its one character goes too
  EXPECT_EQ(Section("[C]", tmpl), "last\n");  // the last section keeps everything
  EXPECT_EQ(Section("[D]", tmpl), "");
  EXPECT_EQ(Section("[a]", tmpl), "");  // names match case
  std::string buffer = "x";
  EXPECT_EQ(GetTemplateSection("[C]", tmpl, buffer, 1), "xlast\n");
}

TEST(HtmlTemplateTest, VariablesIgnoreCaseAndSelfNamingValuesStop) {
  std::string b = "<%label%|%LABEL%|%Label%>";
  ReplaceTemplateVariable({"%Label%", "L"}, b);
  EXPECT_EQ(b, "<L|L|L>");
  b = "%Text% and %text%";
  ReplaceTemplateVariable({"%Text%", "say %TEXT%"}, b);
  EXPECT_EQ(b, "say %TEXT% and %text%");
  b = "a%Link%b";
  ReplaceTemplateVariable({"%Link%", ""}, b);
  EXPECT_EQ(b, "ab");
}

class HtmlRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = tvtest::NewDir("htmlrows");
    FreeHtmlTemplate();
  }
  void TearDown() override { FreeHtmlTemplate(); }
  std::string Load(const std::string& tmpl) {
    tvtest::WriteFile(dir + "Template1.r_tmpl", tmpl);
    EXPECT_TRUE(LoadHtmlTemplate(dir.c_str()));
    return LoadedHtmlTemplate();
  }
  std::string dir;
};

TEST_F(HtmlRowsTest, RowsWrapCellsAndLeaveOtherVariables) {
  EXPECT_EQ(Load("[TableRow]\r\n<tr%Parameters%>%cells%%Label%</tr>\r\n[TableCell]<td%Parameters%>%TEXT%</td>\r\n"),
            "[TableRow]\n<tr%Parameters%>%cells%%Label%</tr>\n[TableCell]<td%Parameters%>%TEXT%</td>\n");
  std::string path = dir + "out.html";
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  g_templateVariables[kVarLabel].value = "lbl";
  // A logged text that looks like a variable stays as it is.
  g_templateVariables[kVarText].value = "%Label% %Parameters%";
  g_templateVariables[kVarParameters].value = FormatCellAttributes(1, 1, "Detail", false);
  OutputTemplateSection("[TableCell]", f, kSectionAppendCell);
  std::string attributes = FormatCellAttributes(1, 2, "Value", true);
  EXPECT_EQ(attributes, " colspan=2 class=\"Value\" valign=center");
  ASSERT_TRUE(WriteHtmlRow(f, attributes, "%Text%", "TableRow1"));
  fclose(f);
  EXPECT_EQ(tvtest::ReadFile(path),
            "<tr class=\"TableRow1\"><td class=\"Detail\">%Label% %Parameters%</td>\n"
            "<td colspan=2 class=\"Value\" valign=center>%Text%</td>\n%Label%</tr>");
  EXPECT_EQ(attributes, " class=\"TableRow1\"");
  EXPECT_EQ(FormatCellAttributes(3, 0, nullptr, false), " rowspan=3");
  EXPECT_EQ(FormatCellAttributes(0, 0, nullptr, false), "");
}

TEST_F(HtmlRowsTest, FallsBackToThePlainTemplate) {
  tvtest::WriteFile(dir + "dTempl.r_tmpl", "[PageHeader]plain");
  ASSERT_TRUE(LoadHtmlTemplate(dir.c_str()));
  EXPECT_EQ(LoadedHtmlTemplate(), "[PageHeader]plain");
  std::string empty = tvtest::NewDir("notemplate");
  tvtest::MessageCapture capture;
  EXPECT_FALSE(LoadHtmlTemplate(empty.c_str()));
  EXPECT_EQ(LoadedHtmlTemplate(), "");
  EXPECT_NE(capture.AllErrors().find("dTempl.r_tmpl"), std::string::npos);
}

TEST(HtmlTextTest, WrappableTextAndLinks) {
  std::string s;
  AppendWrappableText(s, "http://a.b/c?d=1&e<f>");
  EXPECT_EQ(s, "http://a.b /c ?d =1 &amp;e&lt;f&gt;");
  s.clear();
  AppendWrappableText(s, std::string(60, 'x').c_str());
  EXPECT_EQ(s, std::string(50, 'x') + " " + std::string(10, 'x'));

  g_project.Clear();
  s.clear();
  WriteHtmlLink(s, "/a\"b.html");
  EXPECT_EQ(s, "/a&quot;b.html");
  SetStr(&g_project.url, "http://www.site.com");
  s.clear();
  WriteHtmlLink(s, "/x\"><script>.html");
  EXPECT_EQ(s, "<A href=\"http://www.site.com/x&quot;&gt;&lt;script&gt;.html\" TARGET=\"_blank\">"
               "/x&quot;&gt;&lt;script&gt;.html</A>");
  s.clear();
  AppendSelfLink(s, "http://r.org/\"");
  EXPECT_EQ(s, "<A href=\"http://r.org/&quot;\" TARGET=\"_blank\">http://r.org /&quot;</A>");
  g_project.Clear();
}

}  // namespace

namespace {

// A template that marks every section, so the page's structure can be read back.
const char kMarkedTemplate[] =
    "[PageHeader]H(%PageTitle%)\n[TableTitle]T(%ReportName%|%Label%)\n[TableChart]C(%Link% %Width%x%Height%)\n"
    "[TableHeader]<table>\n[TableRow]<tr%Parameters%>%Cells%</tr>\n\n[TableCell]<td%Parameters%>%Text%</td>\n"
    "[TableFooter]</table>\n[PageFooter]F";

class HtmlExportTest : public queryfixture::QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    dir = tvtest::NewDir("htmlexport");
    std::string resource = tvtest::Home() + "Resource/";
    std::filesystem::create_directories(resource);
    tvtest::WriteFile(resource + "Template1.r_tmpl", kMarkedTemplate);
  }
  std::string Export(int kind, bool expectOk = true) {
    RunQuery(g_project, kind, table, All());
    std::string path = dir + "report.html";
    EXPECT_EQ(ExportReportToHtml(path.c_str(), kind, table, nullptr, All(), nullptr), expectOk);
    return tvtest::ReadFile(path);
  }
  std::string dir;
  CRowTable table;
};

TEST_F(HtmlExportTest, ReportTableWithChartBesideThePage) {
  // A logged page full of markup and a variable name.
  Add(0, 'r', {"/x<b>%Label%&.html", queryfixture::Ip(1, 2, 3, 4), nullptr, 8, 3, 2004, 100, 404, 0, 0, 1, 0,
               "http://evil.org/\"><script>", queryfixture::kFirefox}, 10);
  BumpQueryGeneration();
  tvtest::MessageCapture capture;
  std::string page = Export(kReportStatus);
  EXPECT_EQ(page.rfind("H(", 0), 0u);
  EXPECT_NE(page.find("C(response.png 512x300)"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir + "response.png"));
  EXPECT_FALSE(std::filesystem::exists("response.png"));
  EXPECT_NE(page.find("<tr class=\"TableRow1\"><td class=\"NumberCells\">1</td>"), std::string::npos);
  EXPECT_NE(page.find("<tr class=\"TableTotal\">"), std::string::npos);
  EXPECT_EQ(page.substr(page.size() - 9), "</table>F");
  ASSERT_GE(capture.infos.size(), 2u);
  EXPECT_EQ(capture.infos.back(), "Export successful");

  // Texts from the log are escaped and never filled in as variables.
  page = Export(kReportPage);
  EXPECT_NE(page.find(">/x&lt;b&gt;%Label % &amp;.html</A>"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_NE(page.find("href=\"http://www.site.com/x&lt;b&gt;%Label%&amp;.html\""), std::string::npos);
  page = Export(kReportReferrer);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("href=\"http://evil.org/&quot;&gt;&lt;script&gt;\""), std::string::npos);
}

TEST_F(HtmlExportTest, TotalsFollowTheHeaderColumns) {
  g_settings.add_proc_h = 0;
  g_settings.add_proc_u = 1;
  std::string page = Export(kReportOs);
  auto cellsOf = [&](const char* rowClass) {
    size_t at = page.find(std::string("<tr class=\"") + rowClass + "\">");
    EXPECT_NE(at, std::string::npos) << rowClass;
    size_t end = page.find("</tr>", at);
    size_t n = 0;
    for (size_t p = page.find("<td", at); p < end; p = page.find("<td", p + 1)) {
      size_t span = page.find("colspan=", p);
      n += (span != std::string::npos && span < page.find('>', p)) ? static_cast<size_t>(page[span + 8] - '0') : 1;
    }
    return n;
  };
  EXPECT_EQ(cellsOf("TableRow1"), cellsOf("TableTotal"));
}

TEST_F(HtmlExportTest, SummaryAndStoppedExport) {
  std::string page = Export(kReportSummary);
  EXPECT_NE(page.find("|-)"), std::string::npos);
  EXPECT_NE(page.find("<td rowspan=3>Date</td><td class=\"TableRow2\">Database Content</td>"), std::string::npos);
  EXPECT_NE(page.find("Total hits</td><td>17</td>"), std::string::npos);

  tvtest::MessageCapture capture;
  RunQuery(g_project, kReportPage, table, All());
  RequestStop();
  std::string path = dir + "stopped.html";
  EXPECT_FALSE(ExportReportToHtml(path.c_str(), kReportPage, table, nullptr, All(), nullptr));
  ClearStop();
  for (const std::string& info : capture.infos) EXPECT_NE(info, "Export successful");
  EXPECT_EQ(tvtest::ReadFile(path).back(), 'F');  // the footer is still written

  EXPECT_FALSE(ExportReportToHtml((dir + "no/such.html").c_str(), kReportPage, table, nullptr, All(), nullptr));
}

TEST_F(HtmlExportTest, WithoutATemplateThereIsNoPage) {
  RunQuery(g_project, kReportPage, table, All());
  std::string path = dir + "report.html";
  std::string missing = tvtest::NewDir("notemplate");
  std::string folders = tvtest::NewDir("foldertemplate");
  std::filesystem::create_directories(folders + "Template1.r_tmpl");
  std::filesystem::create_directories(folders + "dTempl.r_tmpl");
  // Templates without one section marker would write an empty page.
  std::string unmarked = tvtest::NewDir("unmarkedtemplate");
  tvtest::WriteFile(unmarked + "Template1.r_tmpl", "<html><body>%Text%</body></html>\n");
  tvtest::WriteFile(unmarked + "dTempl.r_tmpl", "PageHeader TableRow\n");
  for (const std::string& folder : {missing, folders, unmarked}) {
    SCOPED_TRACE(folder);
    // Neither made nor emptied when it is there from before.
    for (bool before : {false, true}) {
      if (before) tvtest::WriteFile(path, "old page");
      else std::filesystem::remove(path);
      tvtest::MessageCapture capture;
      EXPECT_FALSE(ExportReportToHtml(path.c_str(), kReportPage, table, nullptr, All(), nullptr, folder.c_str()));
      ASSERT_EQ(capture.errors.size(), 1u);
      EXPECT_NE(capture.errors[0].find(folder + "dTempl.r_tmpl"), std::string::npos) << capture.errors[0];
      EXPECT_TRUE(capture.infos.empty());
      EXPECT_EQ(std::filesystem::exists(path), before);
      if (before) {
        EXPECT_EQ(tvtest::ReadFile(path), "old page");
      }
    }
  }
}

TEST(HtmlPeriodTest, DaysOfThePeriod) {
  g_project.Clear();
  CSummaryStats st;
  std::string text;
  EXPECT_EQ(FormatReportPeriod(text, st), 1);
  EXPECT_EQ(text, "-");
  g_project.from_date = PackDate(1, 1, 2003);
  g_project.to_date = PackDate(31, 1, 2003);
  EXPECT_EQ(FormatReportPeriod(text, st), 31);
  g_project.from_date = PackDate(10, 2, 2003);
  EXPECT_EQ(FormatReportPeriod(text, st), 10);  // start after end: the distance
  g_project.to_date = 0;
  st.firstDate = PackDate(1, 1, 2003);
  EXPECT_EQ(FormatReportPeriod(text, st), 1);
  EXPECT_EQ(text.substr(text.size() - 4), " - -");
  g_project.Clear();
}

}  // namespace

namespace {

TEST(HtmlShippedTemplatesTest, EverySectionIsThere) {
  const std::filesystem::path resource = std::filesystem::path(TV_SOURCE_DIR) / "Resource";
  std::string plainOnly = tvtest::NewDir("plaintemplate");
  std::filesystem::copy_file(resource / "dTempl.r_tmpl", plainOnly + "dTempl.r_tmpl");
  for (const std::string& folder : {resource.string(), plainOnly}) {
    ASSERT_TRUE(LoadHtmlTemplate(folder.c_str())) << folder;
    for (const char* name : {"[PageHeader]", "[PageFooter]", "[TableTitle]", "[TableChart]", "[TableHeader]",
                             "[TableRow]", "[TableCell]", "[TableFooter]"}) {
      std::string body;
      EXPECT_FALSE(GetTemplateSection(name, LoadedHtmlTemplate(), body, 0).empty()) << folder << name;
    }
    std::string row;
    GetTemplateSection("[TableRow]", LoadedHtmlTemplate(), row, 0);
    EXPECT_NE(row.find("%Cells%"), std::string::npos);
    std::string chart;
    GetTemplateSection("[TableChart]", LoadedHtmlTemplate(), chart, 0);
    EXPECT_NE(chart.find("%Link%"), std::string::npos);
  }
  FreeHtmlTemplate();
}

}  // namespace

namespace {

// The shipped template, exported and rendered by a real browser, must show a page.
TEST_F(HtmlExportTest, ShippedTemplateRendersInABrowser) {
  const char* browser = "/usr/bin/chromium";
  if (!std::filesystem::exists(browser)) {
    if (std::getenv("CI")) FAIL() << "chromium is missing (tools/packages.txt installs it)";
    GTEST_SKIP() << "chromium is not installed";
  }
  std::filesystem::copy_file(std::string(TV_SOURCE_DIR) + "/Resource/Template1.r_tmpl",
                             tvtest::Home() + "Resource/Template1.r_tmpl",
                             std::filesystem::copy_options::overwrite_existing);
  std::string page = Export(kReportStatus);
  ASSERT_NE(page.find("response.png"), std::string::npos);

  std::string shot = dir + "shot.png";
  std::string profile = tvtest::NewDir("chromium-profile");
  std::string command = std::string(browser) +
                        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                        " --disable-background-networking --disable-component-update --disable-sync"
                        " --user-data-dir=" + profile + " --window-size=1024,768 --screenshot=" + shot +
                        " file://" + dir + "report.html >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, shot.c_str()), 0) << image.message;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr), 0) << image.message;
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 2 < pixels.size() && colours.size() < 50; i += 3)
    colours.insert(pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2]);
  EXPECT_GE(colours.size(), 20u) << "the rendered page looks blank";
}

}  // namespace
