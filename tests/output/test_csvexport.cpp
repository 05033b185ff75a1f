#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <algorithm>
#include <string>
#include <vector>

#include "base/msgsink.h"
#include "engine/store/reportkind.h"
#include "output/csvexport.h"
#include "output/reportrows.h"
#include "tests/common/testenv.h"
#include "tests/engine/queryfixture.h"
#include "tests/output/golden.h"

namespace {

using queryfixture::QueryFixture;

class CsvExportTest : public QueryFixture {
 protected:
  void SetUp() override {
    QueryFixture::SetUp();
    g_project.send_receive = 0;
  }
  void TearDown() override {
    g_project.send_receive = 0;
    QueryFixture::TearDown();
  }
  std::string Export(int kind, SortCompareFn compare = nullptr, const CSummaryStats* summary = nullptr) {
    CRowTable table;
    if (kind != kReportSummary) RunQuery(g_project, kind, table, All());
    std::string path = dir + "out.csv";
    EXPECT_EQ(ExportReportToCsv(path.c_str(), kind, table, All(), compare, summary), 1);
    return tvtest::ReadFile(path);
  }
  std::string dir = tvtest::NewDir("csvexport");
};

TEST_F(CsvExportTest, GoldenRowsAndHits) {
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  std::string rows = dir + "rows.csv";
  tvtest::MessageCapture capture;
  ASSERT_EQ(ExportReportToCsv(rows.c_str(), kReportPage, table, All(), nullptr), 1);
  EXPECT_EQ(capture.infos, (std::vector<std::string>{"Export...", "Export successful"}));
  golden::Expect(tvtest::ReadFile(rows), "pages.csv");
  std::string path = dir + "hits.csv";
  ASSERT_EQ(ExportAllHitsToCsv(path.c_str(), g_project), 1);
  std::string hits = tvtest::ReadFile(path);
  golden::Expect(hits, "hits.csv");
  EXPECT_EQ(std::count(hits.begin(), hits.end(), '\n'), 18);
}

TEST_F(CsvExportTest, SummaryLinesAndAGivenSummary) {
  std::string run = Export(kReportSummary, CompareByCount);
  EXPECT_EQ(run.substr(0, run.find('\n', run.find('\n') + 1) + 1), "\"Total hits\",17\n\"Hosts\",3\n");
  CSummaryStats given;
  given.hits = 4000000000u;
  given.cacheKey = "given";
  std::string out = Export(kReportSummary, nullptr, &given);
  char size[64];
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), "\"Total hits\",4000000000\n");
  EXPECT_NE(out.find("\"Bandwidth\",\"" + std::string(FormatSize(size, sizeof size, 0)) + "\"\n"), std::string::npos) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 14);
}

TEST_F(CsvExportTest, RawHitFieldsWithAndWithoutBytesReceived) {
  // The raw rows follow the comparator; every line has nine fields, ten with
  // bytes received recorded.
  for (uint32_t received : {0u, 1u}) {
    g_project.send_receive = received;
    std::string out = Export(kReportItems, CompareByCount);
    size_t lines = 0;
    size_t at = 0;
    for (size_t e; (e = out.find('\n', at)) != std::string::npos; at = e + 1, ++lines) {
      std::string line = out.substr(at, e - at);
      size_t fields = 0;
      for (size_t p = 0; (p = line.find("\",\"", p)) != std::string::npos; p += 3) ++fields;
      EXPECT_EQ(fields + 1, 9u + received) << line;
    }
    EXPECT_EQ(lines, 18u);
  }
}

TEST(CsvField, QuotesAreDoubled) {
  std::string out;
  AppendCsvField(out, "say \"hi\", ok");
  AppendCsvField(out, nullptr);
  EXPECT_EQ(out, "\"say \"\"hi\"\", ok\"\"\"");
}

TEST_F(CsvExportTest, FilesThatCannotBeWrittenAreErrors) {
  CRowTable table;
  RunQuery(g_project, kReportPage, table, All());
  {
    tvtest::MessageCapture capture;
    EXPECT_EQ(ExportReportToCsv((dir + "no/such.csv").c_str(), kReportPage, table, All(), nullptr), 0);
    EXPECT_TRUE(capture.infos.empty());
  }
  tvtest::MessageCapture capture;
  EXPECT_EQ(ExportReportToCsv("/dev/full", kReportPage, table, All(), nullptr), 0);
  EXPECT_EQ(ExportAllHitsToCsv("/dev/full", g_project), 0);
  EXPECT_EQ(std::count(capture.infos.begin(), capture.infos.end(), "Export successful"), 0);
  EXPECT_EQ(capture.errors.size(), 2u);
}

TEST_F(CsvExportTest, AllHitsAppearOnlyWhenComplete) {
  // A stopped export leaves nothing, and the file it would have replaced stays;
  // a finished one has the modes of a new file, not a temporary one's.
  const std::string path = dir + "hits.csv";
  tvtest::WriteFile(path, "older export\n");
  {
    tvtest::MessageCapture capture;
    RequestStop();
    EXPECT_EQ(ExportAllHitsToCsv(path.c_str(), g_project), 2);
    ClearStop();
    EXPECT_EQ(std::count(capture.infos.begin(), capture.infos.end(), "Export successful"), 0);
    EXPECT_TRUE(capture.errors.empty());
  }
  EXPECT_EQ(tvtest::ReadFile(path), "older export\n");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);

  std::filesystem::remove(path);
  const mode_t mask = umask(022);
  ASSERT_EQ(ExportAllHitsToCsv(path.c_str(), g_project), 1);
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(tvtest::ReadFile(path).substr(0, 1), "\"");
}

}  // namespace
