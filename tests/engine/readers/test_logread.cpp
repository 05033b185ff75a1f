#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/readers/logread.h"
#include "engine/readers/proxyreader.h"
#include "tests/common/testenv.h"
#include "tests/engine/readtest.h"

namespace {

TEST(DetectLogFormat, FirstTestThatHoldsNamesTheFormat) {
  const std::string proxyLine =
      "10.0.0.1, anonymous, Mozilla/4.0, N, 3/7/04, 10:00:00, W3Proxy, PROXY1, -, www.x.com, 1.2.3.4, 80, 10, "
      "300, 4000, http, TCP, GET, http://www.x.com/a.html, -, Inet, 200, 0\r\n";
  const std::string squidLine =
      "1066036250.608    120 192.168.0.5 TCP_MISS/200 1234 GET http://www.x.com/ - DIRECT/1.2.3.4 text/html\n";
  struct Case {
    std::string block;
    const char* format;
  } cases[] = {
      {"#Software: Microsoft Internet Information Services 6.0\r\n#Fields: date\r\n", kLogFormatIis},
      {"#Software: Microsoft(R) Internet Security and Acceleration Server 2004\r\n", kLogFormatIsa},
      {"\r\n \tFORMAT=%Ses->client.ip% - %SYSDATE%\n", kLogFormatNetscape},
      {"!!LOG_FORMAT COMMON_LOG_FORMAT\n", kLogFormatWebStarClf},
      {"!!LOG_FORMAT date time\n", kLogFormatWebStar},
      {"#Software: WebSTAR/4.0\n", kLogFormatWebStarExlf},
      {"# comment\n" + proxyLine, kLogFormatMsProxy},
      {squidLine, kLogFormatSquid},
      {"#Software: iChain 2.2\n", kLogFormatIChain},
      {"\n#Software: iChain 2.2\n", kLogFormatApache},  // only at the very start
      {"#Software: Microsoft Windows Firewall\n", kLogFormatFirewall},
      {"#Software: Microsoft Internet Connection Firewall\n", kLogFormatIpv6},
      {"a: [1]\nb: [2]\nc: [3]\nd: [4]\n", kLogFormatFasthosts},
      {"a: [1]\nb: [2]\nc: [3]\nd e: [4]\n", kLogFormatApache},  // only three lines fit
      {"#Software: Windows Media Services 9.0\n", kLogFormatMediaServer},
      {"#Software: H-Sphere 2.4\n", kLogFormatHSphere},
      {"1.2.3.4 - - [01/Mar/2024:00:00:01 +0000] \"GET / HTTP/1.1\" 200 5\n", kLogFormatApache},
      // A NUL byte before the marker does not hide it.
      {std::string("garbage\0more\n#Software: Microsoft Internet Information Services\n", 64), kLogFormatIis},
      {"", kLogFormatApache},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectLogFormat(c.block.data(), c.block.size()), c.format) << c.block;

  // The check parsers give what the proxy readers will store.
  const char* p = proxyLine.c_str();
  CMsProxyLine m;
  ASSERT_TRUE(ParseMsProxyLine(&p, proxyLine.c_str() + proxyLine.size(), &m));
  EXPECT_EQ(std::string(m.agent, m.agentLen), "Mozilla/4.0");
  EXPECT_EQ(std::string(m.url, m.urlLen), "http://www.x.com/a.html");
  EXPECT_EQ(m.status, 200);
  EXPECT_EQ(m.bytesSent, 300u);
  EXPECT_EQ(m.year, 4u);
  const std::string hostProxy = "proxy.example" + proxyLine.substr(8);
  p = hostProxy.c_str();
  EXPECT_FALSE(ParseMsProxyLine(&p, hostProxy.c_str() + hostProxy.size(), &m));
  p = squidLine.c_str();
  CSquidLine s;
  ASSERT_TRUE(ParseSquidLine(&p, squidLine.c_str() + squidLine.size(), &s));
  EXPECT_EQ(s.timestamp, 1066036250u);
  EXPECT_EQ(s.address, 0xC0A80005u);
  EXPECT_EQ(s.status, 200);
  EXPECT_EQ(std::string(s.url, s.urlLen), "http://www.x.com/");
}

class LogFile : public ::testing::Test {
 protected:
  static void OnInfo(const char* t) { s_infos.emplace_back(t ? t : ""); }
  static void OnError(const char* t) { s_errors.emplace_back(t ? t : ""); }
  static void OnProgress(uint32_t value, uint32_t mode) { s_progress.push_back({value, mode}); }

  void SetUp() override {
    readtest::ResetLoadState();
    s_infos.clear();
    s_errors.clear();
    s_progress.clear();
    SetEngineCallbacks(nullptr, OnError, nullptr, OnInfo, nullptr, OnProgress);
    dir = tvtest::NewDir("logread");
  }
  void TearDown() override {
    ClearEngineCallbacks();
    readtest::ResetLoadState();
  }
  int Parse(const std::string& path) {
    return ParseLogFile(path.c_str(), &store, nullptr, masks, "index.html", "shown.log",
                        static_cast<uint64_t>(tvtest::ReadFile(path).size()));
  }
  std::string Write(const std::string& name, const std::string& data) {
    tvtest::WriteFile(dir + name, data);
    return dir + name;
  }
  bool Informed(const std::string& text) const {
    for (const std::string& s : s_infos)
      if (s == text) return true;
    return false;
  }

  static std::vector<std::string> s_infos, s_errors;
  static std::vector<std::pair<uint32_t, uint32_t>> s_progress;
  std::string dir;
  CHitStore store;
  CGroupMaskList masks;
};
std::vector<std::string> LogFile::s_infos, LogFile::s_errors;
std::vector<std::pair<uint32_t, uint32_t>> LogFile::s_progress;

// n W3C lines, each of its own page "/pNNNNN" padded to about 120 bytes.
std::string W3cLog(int n, const char* lineEnd = "\r\n") {
  std::string s = std::string("#Software: Microsoft Internet Information Services 6.0") + lineEnd +
                  "#Fields: date time c-ip cs-uri-stem cs(User-Agent)" + lineEnd;
  char buf[200];
  for (int i = 0; i < n; ++i) {
    snprintf(buf, sizeof buf, "2004-01-02 10:%02d:%02d 10.0.%d.%d /p%05d Agent+%080d%s", i / 60 % 60, i % 60,
             i / 250 % 250, i % 250 + 1, i, i, lineEnd);
    s += buf;
  }
  return s;
}

TEST_F(LogFile, ReadsEveryLineAcrossBlocks) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    CHitStore fresh;
    store = std::move(fresh);
    std::string path = Write("big.log", W3cLog(3000, end));  // about 400 KB: seven blocks
    ASSERT_EQ(Parse(path), 1);
    auto recs = readtest::Records(store);
    ASSERT_EQ(recs.size(), 3000u);
    for (int i = 0; i < 3000; i += 499) {
      char page[16];
      snprintf(page, sizeof page, "/p%05d", i);
      EXPECT_STREQ(recs[static_cast<size_t>(i)]->PageText(), page);
    }
    EXPECT_EQ(store.ignoredLines, 0u);
    EXPECT_EQ(g_logFormat, nullptr);  // no format outlives its file
  }
  ASSERT_EQ(g_filesRead.size(), 3u);
  EXPECT_EQ(g_filesRead[0].name, "shown.log");
  EXPECT_EQ(g_filesRead[0].records, 3000u);
  EXPECT_EQ(g_loadRecords, 9000u);
  EXPECT_EQ(g_loadBytes, g_filesRead[0].size + g_filesRead[1].size + g_filesRead[2].size);
  EXPECT_EQ(s_progress.front(), std::make_pair(static_cast<uint32_t>(g_filesRead[0].size / 1024), 1u));
  EXPECT_TRUE(s_errors.empty());
}

TEST_F(LogFile, BlocksEndAtALineBreak) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += "line " + std::to_string(i) + " " + std::string(90, 'x') + "\n";
  std::string path = Write("blocks.txt", data);
  int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::vector<char> buffer(kLogBufferSize);
  uint64_t remaining = data.size();
  std::string joined;
  char* end = nullptr;
  while (remaining > 0) {
    size_t got = ReadLogBlock(&remaining, buffer.data(), &end, fd);
    ASSERT_GT(got, 0u);
    ASSERT_EQ(*end, ' ');
    std::string block(buffer.data(), static_cast<size_t>(end - buffer.data()));
    ASSERT_EQ(block.compare(0, 5, "line "), 0);  // every block starts at a line
    joined += block;
    if (remaining > 0) joined += '\n';  // the break that ended the block
  }
  close(fd);
  EXPECT_TRUE(joined == data);
}

TEST_F(LogFile, EmptyMissingAndOddFiles) {
  EXPECT_EQ(Parse(Write("empty.log", "")), 1);
  EXPECT_TRUE(Informed("'shown.log' Incorrect or empty log file"));
  EXPECT_EQ(store.RecordCount(), 0u);

  EXPECT_EQ(ParseLogFile((dir + "missing.log").c_str(), &store, nullptr, masks, "", "x", 0), 0);
  ASSERT_EQ(s_errors.size(), 1u);
  EXPECT_EQ(s_errors[0], "Cannot open file '" + dir + "missing.log'");
  EXPECT_EQ(ParseLogFile(dir.c_str(), &store, nullptr, masks, "", "x", 0), 0);  // a folder
  EXPECT_EQ(ParseLogFile("", &store, nullptr, masks, "", "x", 0), 0);

  // Binary bytes, then one 64 KB line without any break: nothing crashes and the
  // good lines around them are kept.
  std::string binary;
  uint32_t x = 7;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245u + 12345u;
    binary += static_cast<char>(x >> 24);
  }
  EXPECT_EQ(Parse(Write("binary.log", binary)), 1);
  EXPECT_EQ(Parse(Write("oneline.log", std::string(kLogBlockSize, 'z'))), 1);
  std::string mixed = W3cLog(5) + std::string(100000, 'q') + "\r\n" + binary.substr(0, 3000) + "\r\n" +
                      "2004-01-02 11:00:00 10.0.0.1 /last Agent";  // a truncated last line
  uint64_t before = store.RecordCount();
  EXPECT_EQ(Parse(Write("mixed.log", mixed)), 1);
  auto recs = readtest::Records(store);
  ASSERT_GE(store.RecordCount() - before, 6u);
  EXPECT_STREQ(recs[before]->PageText(), "/p00000");
  EXPECT_STREQ(recs.back()->PageText(), "/last");
  EXPECT_EQ(g_logFormat, nullptr);
}

TEST_F(LogFile, ProgressInKilobytesAndDiagnostics) {
  std::string data = W3cLog(20);
  data.resize(3000, '\n');
  ASSERT_EQ(Parse(Write("small.log", data)), 1);
  ASSERT_GE(s_progress.size(), 2u);
  EXPECT_EQ(s_progress[0], std::make_pair(2u, 1u));
  EXPECT_EQ(s_progress.back(), std::make_pair(2u, 0u));
  EXPECT_EQ(s_infos.back(), "");
  std::string bugLog = tvtest::ReadFile(BugLogPath());
  EXPECT_NE(bugLog.find("[iis]=" + dir + "small.log"), std::string::npos);
  EXPECT_NE(bugLog.find("# Log size=3000 string=20 (ignore=0, head=2)"), std::string::npos);
}

TEST_F(LogFile, FormatSeenOnlyInTheFirstBlock) {
  // The "#Software:" line behind the first 64 KB does not make the log an IIS log.
  std::string data = std::string(70000, '\n') + W3cLog(3);
  ASSERT_EQ(Parse(Write("late.log", data)), 1);
  EXPECT_NE(tvtest::ReadFile(BugLogPath()).find("[apache]=" + dir + "late.log"), std::string::npos);
}

TEST_F(LogFile, StopFlagEndsAtOnce) {
  RequestStop();
  EXPECT_EQ(Parse(Write("stopped.log", W3cLog(3))), 1);
  ClearStop();
  EXPECT_EQ(store.RecordCount(), 0u);
  EXPECT_TRUE(g_filesRead.empty());
}

}  // namespace
