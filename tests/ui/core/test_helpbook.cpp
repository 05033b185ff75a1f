// The help book as shipped: the example of every log format on its formats
// page goes through the real readers, its pages and links resolve, and the
// built book holds every file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/display/display.h"
#include "engine/readers/logread.h"
#include "engine/store/reportkind.h"
#include "tests/common/testenv.h"
#include "tests/engine/readtest.h"
#include "ui/core/helppages.h"

namespace {

const std::string kHelpDir = TV_HELP_SOURCE_DIR "/";

std::string Unescape(std::string s) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#x27;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [from, to] : kEntities) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + strlen(to)))
      s.replace(at, strlen(from), to);
  }
  return s;
}

std::vector<std::smatch> AllMatches(const std::string& text, const std::regex& re) {
  std::vector<std::smatch> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    out.push_back(*it);
  return out;
}

struct Example {
  std::string format;
  std::string text;
  int repeat = 1;
};

std::vector<Example> PageExamples(const std::string& page) {
  static const std::regex kPre(
      R"re(<pre class="example" data-format="([^"]*)"(?: data-repeat="([0-9]+)")?>([\s\S]*?)</pre>)re");
  std::vector<Example> out;
  for (const std::smatch& m : AllMatches(page, kPre))
    out.push_back({Unescape(m[1].str()), Unescape(m[3].str()), m[2].matched ? std::stoi(m[2].str()) : 1});
  return out;
}

// The file, with its header lines once and the last line (the example) repeated.
std::string LogOf(const Example& e) {
  std::string text = e.text;
  size_t lastStart = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
  lastStart = lastStart == std::string::npos ? 0 : lastStart + 1;
  std::string line = text.substr(lastStart);
  for (int i = 1; i < e.repeat; ++i) text += line;
  return text;
}

TEST(HelpLogFormats, EveryExampleIsReadAsOneHitOfItsFormat) {
  const std::string page = tvtest::ReadFile(kHelpDir + kHelpLogFormats);
  const std::vector<Example> examples = PageExamples(page);
  ASSERT_FALSE(examples.empty());

  // The page covers every format the readers tell apart.
  const char* const kFormats[] = {kLogFormatIis,      kLogFormatIsa,      kLogFormatNetscape, kLogFormatWebStarClf,
                                  kLogFormatWebStar,  kLogFormatWebStarExlf, kLogFormatMsProxy, kLogFormatSquid,
                                  kLogFormatIChain,   kLogFormatFirewall, kLogFormatIpv6,     kLogFormatFasthosts,
                                  kLogFormatMediaServer, kLogFormatHSphere, kLogFormatApache};
  std::set<std::string> shown;
  for (const Example& e : examples) shown.insert(e.format);
  for (const char* f : kFormats) EXPECT_TRUE(shown.count(f)) << "no example of " << f;

  const std::string dir = tvtest::NewDir("help-formats");
  int n = 0;
  for (const Example& e : examples) {
    SCOPED_TRACE(e.format + ": " + e.text);
    const std::string log = LogOf(e);
    readtest::ResetLoadState();
    const char* detected = DetectLogFormat(log.data(), log.size());
    EXPECT_STREQ(detected, e.format.c_str());
    const std::string path = dir + "example" + std::to_string(++n) + ".log";
    tvtest::WriteFile(path, log);
    CGroupMaskList masks;
    CHitStore store;
    tvtest::MessageCapture capture;
    ASSERT_EQ(ParseLogFile(path.c_str(), &store, nullptr, masks, "index.html", path.c_str(), log.size()), 1);
    EXPECT_EQ(store.RecordCount(), static_cast<uint64_t>(e.repeat));
    EXPECT_EQ(store.ignoredLines, 0u);
    EXPECT_TRUE(capture.errors.empty()) << capture.AllErrors();
    // The example's page is a real one, not the "-" of a line whose request was lost.
    for (CHitRecord* r : readtest::Records(store)) {
      EXPECT_NE(std::string(r->PageText()), "-");
      EXPECT_NE(r->Year(), 0u);
    }
  }
  readtest::ResetLoadState();
  std::remove(BugLogPath().c_str());
}

// The Local values of a contents or index file.
std::vector<std::string> SitemapTargets(const std::string& text) {
  static const std::regex kLocal(R"re(<param name="Local" value="([^"]*)">)re", std::regex::icase);
  std::vector<std::string> out;
  for (const std::smatch& m : AllMatches(text, kLocal)) out.push_back(m[1].str());
  return out;
}

// The pages the project file lists in its [FILES] section.
std::vector<std::string> ProjectFiles() {
  const std::string hhp = tvtest::ReadFile(kHelpDir + "trailvane.hhp");
  std::vector<std::string> out;
  size_t at = hhp.find("[FILES]");
  if (at == std::string::npos) return out;
  at = hhp.find('\n', at);
  while (at != std::string::npos && at + 1 < hhp.size()) {
    size_t end = hhp.find('\n', at + 1);
    std::string line = hhp.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '[') break;
    out.push_back(line);
    at = end;
  }
  return out;
}

bool Exists(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f) fclose(f);
  return f != nullptr;
}

// "page.html#anchor" resolves when the page exists and names the anchor.
void ExpectTargetResolves(const std::string& from, const std::string& target) {
  SCOPED_TRACE(from + " -> " + target);
  size_t hash = target.find('#');
  const std::string file = hash == std::string::npos ? target : target.substr(0, hash);
  const std::string path = kHelpDir + (file.empty() ? from : file);
  ASSERT_TRUE(Exists(path)) << "missing " << path;
  if (hash != std::string::npos) {
    const std::string anchor = target.substr(hash + 1);
    const std::string page = tvtest::ReadFile(path);
    EXPECT_TRUE(page.find("name=\"" + anchor + "\"") != std::string::npos ||
                page.find("id=\"" + anchor + "\"") != std::string::npos)
        << "no anchor " << anchor;
  }
}

TEST(HelpBook, PagesAndLinksResolve) {
  const std::vector<std::string> files = ProjectFiles();
  const std::set<std::string> listed(files.begin(), files.end());
  for (const char* page : kHelpPages) EXPECT_TRUE(listed.count(page)) << page << " not in trailvane.hhp";

  const std::vector<std::string> contents = SitemapTargets(tvtest::ReadFile(kHelpDir + "contents.hhc"));
  const std::set<std::string> inContents(contents.begin(), contents.end());
  for (const std::string& page : files) EXPECT_TRUE(inContents.count(page)) << page << " not in contents.hhc";
  for (const std::string& t : contents) ExpectTargetResolves("contents.hhc", t);
  for (const std::string& t : SitemapTargets(tvtest::ReadFile(kHelpDir + "index.hhk"))) ExpectTargetResolves("index.hhk", t);

  static const std::regex kHref(R"re(href="([^"]*)")re", std::regex::icase);
  for (const std::string& page : files) {
    const std::string text = tvtest::ReadFile(kHelpDir + page);
    EXPECT_NE(text.find("charset=utf-8"), std::string::npos) << page;
    EXPECT_NE(text.find("</html>"), std::string::npos) << page;
    for (const std::smatch& m : AllMatches(text, kHref)) {
      const std::string target = m[1].str();
      // The book has no addresses outside itself.
      EXPECT_EQ(target.find(':'), std::string::npos) << page << " links out: " << target;
      ExpectTargetResolves(page, target);
    }
  }
}

TEST(HelpBook, ReportsPageNamesEveryReport) {
  const std::string page = Unescape(tvtest::ReadFile(kHelpDir + kHelpReports));
  for (int kind = 1; kind <= kMaxReportKind; ++kind) {
    // Titles-only kinds, engine-only and unused numbers have no report of their own.
    if ((kind >= kReportSubfolder && kind <= kReportFile) || kind == kReportVisits || kind == 40 || kind == 42)
      continue;
    const std::string title = ColumnTerm(kind);
    EXPECT_NE(page.find(title), std::string::npos) << "kind " << kind << " \"" << title << "\"";
  }
}

uint32_t Le(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The names in a zip archive's central directory.
std::vector<std::string> ZipNames(const std::string& zip) {
  std::vector<std::string> names;
  size_t eocd = zip.size() >= 22 ? zip.rfind(std::string("PK\x05\x06", 4)) : std::string::npos;
  if (eocd == std::string::npos || eocd + 22 > zip.size()) return names;
  uint32_t count = Le(zip, eocd + 10, 2);
  size_t at = Le(zip, eocd + 16, 4);
  for (uint32_t i = 0; i < count && at + 46 <= zip.size() && Le(zip, at, 4) == 0x02014b50; ++i) {
    size_t nameLen = Le(zip, at + 28, 2), extra = Le(zip, at + 30, 2), comment = Le(zip, at + 32, 2);
    names.push_back(zip.substr(at + 46, nameLen));
    at += 46 + nameLen + extra + comment;
  }
  return names;
}

TEST(HelpBook, BuiltBookHoldsEveryFile) {
  const std::vector<std::string> names = ZipNames(tvtest::ReadFile(TV_HELP_BOOK));
  const std::set<std::string> inBook(names.begin(), names.end());
  std::vector<std::string> want = ProjectFiles();
  want.insert(want.end(), {"trailvane.hhp", "contents.hhc", "index.hhk"});
  for (const std::string& f : want) EXPECT_TRUE(inBook.count(f)) << f << " not in " << TV_HELP_BOOK;
  EXPECT_EQ(inBook.size(), want.size());
  EXPECT_EQ(HelpBookPath().substr(HelpBookPath().size() - strlen(kHelpBookName)), kHelpBookName);
}

}  // namespace
